// Vector shapes: the records the drawing operations make, the figures, the approximation of
// cubic curves, styles and fills, and the DefineShape2/3 tags written, read back by our reader.
#include <gtest/gtest.h>

#include <cmath>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "swf/shape_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

// A 400 x 300 pixel movie of the version.
struct TPixelMovie : TFlashMovie {
  explicit TPixelMovie(uint8_t version = 6) : TFlashMovie(0, 0, 400, 300, 12, TSystemCoord::Pix) {
    SetVersion(version);
  }
};

// A record as text: "S" style change (with "m x,y" when it moves), "L dx,dy", "C cx,cy,ax,ay", "E".
std::string Describe(const TShapeRecordList& records) {
  std::string out;
  for (const auto& r : records) {
    if (!out.empty()) out += " ";
    switch (r->Kind) {
      case TShapeRecordKind::StyleChange: {
        const auto& s = static_cast<const TSWFStyleChangeRecord&>(*r);
        out += "S";
        if (s.StateMoveTo) out += " m" + std::to_string(s.X) + "," + std::to_string(s.Y);
        break;
      }
      case TShapeRecordKind::StraightEdge: {
        const auto& s = static_cast<const TSWFStraightEdgeRecord&>(*r);
        out += "L" + std::to_string(s.X) + "," + std::to_string(s.Y);
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*r);
        out += "C" + std::to_string(c.ControlX) + "," + std::to_string(c.ControlY) + "," +
               std::to_string(c.AnchorX) + "," + std::to_string(c.AnchorY);
        break;
      }
      case TShapeRecordKind::End:
        out += "E";
        break;
    }
  }
  return out;
}

// Every point the records reach (move targets, ends of edges), in twips.
std::vector<TPoint> Points(const TShapeRecordList& records) {
  std::vector<TPoint> points;
  TPoint p;
  for (const auto& r : records) {
    if (r->Kind == TShapeRecordKind::StyleChange) {
      const auto& s = static_cast<const TSWFStyleChangeRecord&>(*r);
      if (s.StateMoveTo) p = {s.X, s.Y};
    } else if (r->Kind == TShapeRecordKind::StraightEdge) {
      const auto& s = static_cast<const TSWFStraightEdgeRecord&>(*r);
      p.X += s.X, p.Y += s.Y;
    } else if (r->Kind == TShapeRecordKind::CurvedEdge) {
      const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*r);
      p.X += c.ControlX + c.AnchorX, p.Y += c.ControlY + c.AnchorY;
    } else {
      continue;
    }
    points.push_back(p);
  }
  return points;
}

std::unique_ptr<TSWFDefineShape> ReadBack(TFlashShape& shape) {
  auto tags = TagsOf(shape);
  EXPECT_EQ(tags.size(), 1u);
  if (tags.empty()) return nullptr;
  std::unique_ptr<TSWFDefineShape> tag;
  if (tags[0].Code == 83) tag = ReadTag<TSWFDefineShape4>(tags[0].Body);
  else if (tags[0].Code == 32) tag = ReadTag<TSWFDefineShape3>(tags[0].Body);
  else if (tags[0].Code == 22) tag = ReadTag<TSWFDefineShape2>(tags[0].Body);
  else ADD_FAILURE() << "tag code " << tags[0].Code;
  return tag;
}

TEST(Shape, RectangleOfAPixelMovie) {
  TPixelMovie movie;
  TFlashShape& shape = movie.AddRectangle(0, 0, 100, 50);
  shape.SetSolidColor(TSWFRGB{255, 0, 0});
  EXPECT_EQ(shape.Bounds.XMax(), 2000);
  EXPECT_EQ(shape.Bounds.YMax(), 1000);
  EXPECT_EQ(shape.Width(), 100);
  EXPECT_EQ(shape.Height(true), 1000);
  EXPECT_EQ(Describe(shape.Records), "S L2000,0 L0,1000 L-2000,0 L0,-1000 E");
  EXPECT_TRUE(static_cast<TSWFStyleChangeRecord&>(*shape.Records[0]).StateFillStyle1);
  EXPECT_EQ(shape.MinVersion(), 2);

  auto tag = ReadBack(shape);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->TagID, 22);
  EXPECT_EQ(tag->ID, shape.CharacterId());
  EXPECT_EQ(tag->ShapeBounds.XMax(), 2000);
  EXPECT_EQ(Describe(tag->Edges), "S L2000,0 L0,1000 L-2000,0 L0,-1000 E");
  ASSERT_EQ(tag->FillStyles.size(), 1u);
  EXPECT_EQ(static_cast<TSWFColorFill&>(*tag->FillStyles[0]).Color.R, 255);

  // An offset rectangle moves first; a translucent colour makes DefineShape3.
  TFlashShape& moved = movie.AddRectangle(10, 20, 110, 70);
  EXPECT_EQ(Describe(moved.Records), "S m200,400 L2000,0 L0,1000 L-2000,0 L0,-1000 E");
  moved.SetSolidColor(Rgba(0, 0, 255, 128));
  EXPECT_TRUE(moved.HasAlpha);
  EXPECT_EQ(moved.MinVersion(), 3);
  tag = ReadBack(moved);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->TagID, 32);
  EXPECT_EQ(static_cast<TSWFColorFill&>(*tag->FillStyles[0]).Color.A, 128);
}

TEST(Shape, EdgeOperations) {
  struct Case {
    const char* name;
    std::function<void(TFlashEdges&)> draw;
    const char* records;
  };
  const Case cases[] = {
      {"a long line is cut into pieces of at most 65535", [](TFlashEdges& e) { e.LineDelta(200000, 0); },
       "S L50000,0 L50000,0 L50000,0 L50000,0"},
      {"the pieces sum exactly (halves rounded to even)", [](TFlashEdges& e) { e.LineDelta(70001, -3); }, "S L35000,-2 L35001,-1"},
      {"nothing for a zero line", [](TFlashEdges& e) { e.LineDelta(0, 0); e.LineTo(0, 0); }, "S"},
      {"a curve with no control is a line", [](TFlashEdges& e) { e.CurveDelta(0, 0, 30, 40); }, "S L30,40"},
      {"a curve with no anchor is a line", [](TFlashEdges& e) { e.CurveDelta(30, 40, 0, 0); }, "S L30,40"},
      {"a flat curve is a line", [](TFlashEdges& e) { e.CurveDelta(30, 0, 20, 0); }, "S L50,0"},
      {"an upright curve is a line", [](TFlashEdges& e) { e.CurveDelta(0, -30, 0, -20); }, "S L0,-50"},
      {"a curve", [](TFlashEdges& e) { e.CurveTo(10, 0, 10, 10); }, "S C10,0,0,10"},
      {"a curve to the pen adds nothing", [](TFlashEdges& e) { e.CurveTo(10, 10, 0, 0); }, "S"},
      {"moves share the style record", [](TFlashEdges& e) { e.MoveTo(5, 5); e.MoveDelta(1, 2); e.LineTo(0, 0); },
       "S m6,7 L-6,-7"},
      {"a move after edges starts a record", [](TFlashEdges& e) { e.LineTo(5, 0); e.MoveTo(9, 9); e.LineDelta(1, 0); },
       "S L5,0 S m9,9 L1,0"},
      {"close goes back to the last move", [](TFlashEdges& e) { e.MoveTo(3, 4); e.LineTo(10, 4); e.LineTo(10, 9); e.CloseShape(); },
       "S m3,4 L7,0 L0,5 L-7,-5"},
      {"a diamond from its top vertex", [](TFlashEdges& e) { e.Diamond(7, 4); }, "S L3,2 L-3,2 L-3,-2 L3,-2"},
      {"mirror negates every value", [](TFlashEdges& e) { e.MoveTo(3, 4); e.LineDelta(5, -6); e.CurveDelta(1, 2, 3, 4); e.Mirror(true, true); },
       "S m-3,-4 L-5,6 C-1,-2,-3,-4"},
      {"offset moves the moves", [](TFlashEdges& e) { e.MoveTo(3, 4); e.LineDelta(5, 6); e.OffsetEdges(10, 20, true); },
       "S m13,24 L5,6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TShapeRecordList records;
    TFlashEdges edges(records, nullptr);
    c.draw(edges);
    EXPECT_EQ(Describe(records), c.records);
  }
}

TEST(Shape, ClosedFiguresReturnToTheirStartAndFillTheirBox) {
  struct Case {
    const char* name;
    std::function<void(TFlashEdges&)> draw;
    TSWFRect box;  // twips
    int tolerance;
    size_t curves;
  };
  const Case cases[] = {
      {"rectangle", [](TFlashEdges& e) { e.MoveTo(10, 20); e.Rectangle(100, 50); }, {200, 400, 2200, 1400}, 0, 0},
      {"ellipse", [](TFlashEdges& e) { e.MoveTo(10, 20); e.Ellipse(100, 50); }, {200, 400, 2200, 1400}, 30, 8},
      {"circle", [](TFlashEdges& e) { e.MoveTo(0, 0); e.Ellipse(40, 40); }, {0, 0, 800, 800}, 15, 8},
      {"rounded rectangle", [](TFlashEdges& e) { e.MoveTo(0, 0); e.RoundRect(100, 60, 10, 10); }, {0, 0, 2000, 1200}, 10, 8},
      {"pie, quarter", [](TFlashEdges& e) { e.MoveTo(50, 50); e.Pie(40, 40, 0, 90, true); }, {1000, 1000, 1800, 1800}, 15, 2},
      {"star", [](TFlashEdges& e) { e.Star(100, 100, 50, 20, 5, false); }, {1049, 1000, 2951, 2810}, 6, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPixelMovie movie;
    TFlashShape& shape = movie.AddShape();
    c.draw(shape.Edges());
    const std::vector<TPoint> points = Points(shape.Records);
    ASSERT_FALSE(points.empty());
    // The outline ends where the figure's last move put the pen: it is closed.
    TPoint start;
    for (const auto& r : shape.Records)
      if (r->Kind == TShapeRecordKind::StyleChange)
        if (auto& s = static_cast<TSWFStyleChangeRecord&>(*r); s.StateMoveTo) start = {s.X, s.Y};
    EXPECT_EQ(points.back(), start);
    EXPECT_EQ(points.back(), shape.Edges().CurrentPos);
    size_t curves = 0;
    for (const auto& r : shape.Records) curves += r->Kind == TShapeRecordKind::CurvedEdge;
    EXPECT_EQ(curves, c.curves);
    shape.CalcBounds();
    // Control points widen the computed bounds a little past the curve itself.
    EXPECT_NEAR(shape.Bounds.XMin(), c.box.XMin(), c.tolerance);
    EXPECT_NEAR(shape.Bounds.YMin(), c.box.YMin(), c.tolerance);
    EXPECT_NEAR(shape.Bounds.XMax(), c.box.XMax(), c.tolerance);
    EXPECT_NEAR(shape.Bounds.YMax(), c.box.YMax(), c.tolerance);
  }
}

TEST(Shape, StarPointsAreLimited) {
  for (const auto& [points, edges] : std::vector<std::pair<int, size_t>>{{1, 4}, {5, 10}, {500, 720}}) {
    SCOPED_TRACE(points);
    TShapeRecordList records;
    TFlashEdges e(records, nullptr);
    e.Star(0, 0, 1000, 400, points, false);
    size_t lines = 0;
    for (const auto& r : records) lines += r->Kind == TShapeRecordKind::StraightEdge;
    EXPECT_EQ(lines, edges);
    // It ends on its top point.
    EXPECT_EQ(e.CurrentPos, (TPoint{0, -1000}));
  }
}

// The quadratic pieces follow the cubic curve: every anchor lies on it and the last one is its
// end point.
TEST(Shape, CubicBezierFollowsTheCurve) {
  struct Case {
    TPoint p0, p1, p2, p3;
  };
  const Case cases[] = {
      {{0, 0}, {0, 100}, {100, 100}, {100, 0}},
      {{10, 10}, {200, 0}, {-50, 80}, {150, 150}},  // a loop
      {{0, 0}, {30, 30}, {60, 60}, {90, 90}},        // straight
      {{0, 0}, {100, 0}, {0, 100}, {100, 100}},      // an inflection
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.p1.X) + "," + std::to_string(c.p1.Y));
    TPixelMovie movie;
    TFlashShape& shape = movie.AddCubicBezier(c.p0, c.p1, c.p2, c.p3);
    EXPECT_EQ(shape.Bounds.XMin(), 20 * std::min({c.p0.X, c.p1.X, c.p2.X, c.p3.X}));
    EXPECT_EQ(shape.Bounds.YMax(), 20 * std::max({c.p0.Y, c.p1.Y, c.p2.Y, c.p3.Y}));
    const std::vector<TPoint> points = Points(shape.Records);
    EXPECT_EQ(points.back(), (TPoint{c.p3.X * 20, c.p3.Y * 20}));
    EXPECT_GE(points.size(), 4u);
    auto at = [&](double t) {
      const double u = 1 - t;
      auto f = [&](int a, int b, int cc, int d) {
        return 20 * (u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * cc + t * t * t * d);
      };
      return std::pair{f(c.p0.X, c.p1.X, c.p2.X, c.p3.X), f(c.p0.Y, c.p1.Y, c.p2.Y, c.p3.Y)};
    };
    for (const TPoint& p : points) {
      double best = 1e9;
      for (int i = 0; i <= 4000; ++i) {
        const auto [x, y] = at(i / 4000.0);
        best = std::min(best, std::hypot(x - p.X, y - p.Y));
      }
      EXPECT_LE(best, 3.0) << p.X << "," << p.Y;
    }
  }
}

TEST(Shape, LineStylesWidenTheWrittenBounds) {
  TPixelMovie movie;
  TFlashShape& shape = movie.AddLine(10, 10, 60, 10);
  shape.AddLineStyle(2, TSWFRGB{0, 0, 0});
  EXPECT_EQ(shape.LineStyleIndex(), 1);
  shape.Edges().EndEdges();
  auto tag = ReadBack(shape);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->ShapeBounds.XMin(), 180);
  EXPECT_EQ(tag->ShapeBounds.XMax(), 1220);
  EXPECT_EQ(tag->ShapeBounds.YMin(), 180);
  EXPECT_EQ(tag->ShapeBounds.YMax(), 220);
  ASSERT_EQ(tag->LineStyles.size(), 1u);
  EXPECT_EQ(tag->LineStyles[0]->Width, 40);
  EXPECT_EQ(shape.Bounds.XMin(), 200);  // the shape's own bounds stay
}

// A wide line style (caps, joins, a fill) and the nonzero winding rule exist only in
// DefineShape4; a shape with either is written as one, and only then.
TEST(Shape, WideLinesAndTheNonzeroRuleNeedDefineShape4) {
  struct Case {
    const char* name;
    bool wideLine, nonzero;
    int tagId, version;
  };
  const Case cases[] = {
      {"plain line, even-odd", false, false, 22, 2},
      {"wide line", true, false, 83, 8},
      {"nonzero rule", false, true, 83, 8},
      {"both", true, true, 83, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPixelMovie movie(8);
    TFlashShape& shape = movie.AddRectangle(10, 10, 60, 40);
    shape.SetSolidColor(TSWFRGB{255, 0, 0});
    if (c.wideLine) {
      auto wide = std::make_unique<TSWFLineStyle2>();
      wide->Width = 80;
      wide->JoinStyle = 2;
      wide->MiterLimitFactor = 3;
      wide->StartCapStyle = wide->EndCapStyle = 2;
      wide->Color.SetRGBA(0xFF0000FF);
      shape.AddLineStyle(std::move(wide));
    } else {
      shape.AddLineStyle(4, TSWFRGB{0, 0, 0});
    }
    shape.NonzeroWinding = c.nonzero;
    EXPECT_EQ(shape.MinVersion(), c.version);
    auto tag = ReadBack(shape);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->TagID, c.tagId);
    EXPECT_EQ(Describe(tag->Edges), "S m200,200 L1000,0 L0,600 L-1000,0 L0,-600 E");
    ASSERT_EQ(tag->LineStyles.size(), 1u);
    ASSERT_EQ(tag->FillStyles.size(), 1u);
    if (c.tagId != 83) continue;
    const auto& shape4 = static_cast<const TSWFDefineShape4&>(*tag);
    EXPECT_EQ(shape4.UsesFillWindingRule, c.nonzero);
    // The edge bounds leave out the lines, the shape bounds take them in.
    EXPECT_EQ(shape4.EdgeBounds.XMin(), 200);
    EXPECT_EQ(shape4.EdgeBounds.YMax(), 800);
    EXPECT_EQ(shape4.ShapeBounds.XMin(), 160);
    const auto* line = dynamic_cast<const TSWFLineStyle2*>(tag->LineStyles[0].get());
    ASSERT_TRUE(line);
    if (!c.wideLine) continue;
    EXPECT_EQ(line->Width, 80);
    EXPECT_EQ(line->JoinStyle, 2);
    EXPECT_FLOAT_EQ(line->MiterLimitFactor, 3);
    EXPECT_EQ(line->StartCapStyle, 2);
    EXPECT_EQ(line->Color.GetRGBA(), 0xFF0000FFu);
  }
}

TEST(Shape, ImageFillsCorrectedUpToVersion7) {
  for (const uint8_t version : {6, 8}) {
    SCOPED_TRACE(int(version));
    TPixelMovie movie(version);
    TFlashShape& early = movie.AddShape();
    early.SetBounds(0, 0, 100, 50);
    TBitmap bitmap = TBitmap::Make(100, 50, 24);
    TFlashImage& image = movie.AddImage();
    image.LoadDataFromHandle(bitmap);
    EXPECT_EQ(movie.ObjectList[0].get(), &early);
    TSWFImageFill& fit = early.SetImageFill(image, ifmFit);
    // The image now stands before the shape that shows it.
    EXPECT_EQ(movie.ObjectList[0].get(), &image);
    EXPECT_EQ(movie.ObjectList[1].get(), &early);
    EXPECT_EQ(fit.FillType, 0x41);
    EXPECT_EQ(fit.ID, image.CharacterId());
    const bool corrected = version == 6;
    EXPECT_EQ(fit.Matrix.TranslateX, corrected ? -5 : 0);
    EXPECT_EQ(fit.Matrix.TranslateY, corrected ? -5 : 0);
    EXPECT_NEAR(fit.Matrix.ScaleXf(), corrected ? 20.0036621 : 20.0, 1e-4);
    EXPECT_NEAR(fit.Matrix.ScaleYf(), corrected ? 20.0036621 : 20.0, 1e-4);

    TFlashShape& tiled = movie.AddShapeImage(image);
    EXPECT_EQ(tiled.Bounds.XMax(), 2000);
    TSWFImageFill& tile = tiled.SetImageFill(image, ifmTile, 0.5, 2);
    EXPECT_EQ(tile.FillType, 0x40);
    EXPECT_NEAR(tile.Matrix.ScaleXf(), 10, 1e-4);
    EXPECT_NEAR(tile.Matrix.ScaleYf(), 40, 1e-4);
    EXPECT_EQ(tiled.FillStyles.size(), 2u);
    EXPECT_EQ(tiled.Fill1Index(), 2);
  }
}

TEST(Shape, Gradients) {
  TPixelMovie movie;
  TFlashShape& shape = movie.AddRectangle(0, 0, 100, 40);
  const std::vector<uint32_t> ten = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005,
                                     0xFF000006, 0xFF000007, 0xFF000008, 0xFF000009, 0xFF00000A};
  TSWFGradientFill& radial = shape.SetRadialGradient(ten, 50, 25);
  EXPECT_EQ(radial.FillType, 0x12);
  EXPECT_EQ(radial.Count, 8);
  EXPECT_EQ(radial.Record(8).Color.R, 8);
  EXPECT_EQ(radial.Record(8).Ratio, 255);
  EXPECT_EQ(radial.Record(2).Ratio, 36);  // 255 / 7
  EXPECT_EQ(radial.Matrix.TranslateX, 1000);
  EXPECT_EQ(radial.Matrix.TranslateY, 200);
  EXPECT_NEAR(radial.Matrix.ScaleXf(), 2000 / 32768.0, 1e-4);
  EXPECT_FALSE(shape.HasAlpha);

  TSWFGradientFill& linear = shape.SetLinearGradient(0xFF0000FF, 0x80FF0000, 90);
  EXPECT_EQ(linear.FillType, 0x10);
  EXPECT_EQ(linear.Count, 2);
  EXPECT_EQ(linear.Record(1).Ratio, 0);
  EXPECT_EQ(linear.Record(2).Ratio, 255);
  EXPECT_TRUE(shape.HasAlpha);
  EXPECT_NEAR(linear.Matrix.ScaleXf(), 0, 1e-4);
  EXPECT_NEAR(linear.Matrix.SkewXf(), 2000 / 32768.0, 1e-4);
  EXPECT_NEAR(linear.Matrix.SkewYf(), -800 / 32768.0, 1e-4);
  EXPECT_EQ(linear.Matrix.TranslateX, 1000);
  EXPECT_EQ(linear.Matrix.TranslateY, 400);
  EXPECT_EQ(shape.Fill1Index(), 2);

  auto tag = ReadBack(shape);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->TagID, 32);
  ASSERT_EQ(tag->FillStyles.size(), 2u);
  EXPECT_EQ(static_cast<TSWFGradientFill&>(*tag->FillStyles[1]).Record(2).Color.A, 0x80);
}

// Where a point of the gradient's square (-16384..16384) lands in the shape, in twips.
TPoint Through(const TSWFMatrix& m, double gx, double gy) {
  return {static_cast<int32_t>(std::lround(m.ScaleXf() * gx + m.SkewXf() * gy + m.TranslateX)),
          static_cast<int32_t>(std::lround(m.SkewYf() * gx + m.ScaleYf() * gy + m.TranslateY))};
}

// A gradient over a figure's own box, not the shape's bounds: its start and end reach the sides
// of the box the angle names; a radial one is centred where asked and reaches the box's edge.
TEST(Shape, GradientsOverABoxKeepTheirStopsAndReachAcrossIt) {
  const TRect box{200, 400, 2200, 1400};  // 100 x 50 pixels at (10, 20)
  const TGradientStop stops[] = {{0, 0xFF0000FF}, {64, 0x80FFFFFF}, {255, 0xFFFF0000}};
  struct TCase {
    double angle;
    TPoint start, end;
  } const cases[] = {
      {0, {200, 900}, {2200, 900}},       // left to right
      {90, {1200, 400}, {1200, 1400}},    // top to bottom
      {180, {2200, 900}, {200, 900}},     // right to left
      {270, {1200, 1400}, {1200, 400}},   // bottom to top
      // Corner to corner: the reach is the box's extent along the diagonal direction.
      {45, {1200 - 750, 900 - 750}, {1200 + 750, 900 + 750}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.angle);
    auto fill = LinearGradientIn(box, stops, c.angle);
    EXPECT_EQ(fill->FillType, kFillLinearGradient);
    ASSERT_EQ(fill->Count, 3);
    EXPECT_EQ(fill->Record(2).Ratio, 64);
    EXPECT_EQ(fill->Record(2).Color.A, 0x80);
    const TPoint start = Through(fill->Matrix, -16384, 0), end = Through(fill->Matrix, 16384, 0);
    EXPECT_NEAR(start.X, c.start.X, 2);
    EXPECT_NEAR(start.Y, c.start.Y, 2);
    EXPECT_NEAR(end.X, c.end.X, 2);
    EXPECT_NEAR(end.Y, c.end.Y, 2);
  }

  auto radial = RadialGradientIn(box, stops, 50, 0);
  EXPECT_EQ(radial->FillType, kFillRadialGradient);
  EXPECT_EQ(Through(radial->Matrix, 0, 0), (TPoint{1200, 400}));
  EXPECT_EQ(Through(radial->Matrix, 16384, 0), (TPoint{2200, 400}));
  EXPECT_EQ(Through(radial->Matrix, 0, 16384), (TPoint{1200, 900}));
  // A centre beyond any stage stays within the matrix's fields.
  auto far = RadialGradientIn(box, stops, 1e12, -1e12);
  EXPECT_EQ(far->Matrix.TranslateX, 1 << 28);
  EXPECT_EQ(far->Matrix.TranslateY, -(1 << 28));

  // Shape tags below DefineShape4 hold eight stops; stops out of order or none are refused.
  std::vector<TGradientStop> ten;
  for (uint8_t i = 0; i < 10; ++i) ten.push_back({static_cast<uint8_t>(i * 25), 0xFF000000u + i});
  EXPECT_EQ(LinearGradientIn(box, ten, 0)->Count, 8);
  const TGradientStop backwards[] = {{200, 0xFF000000}, {100, 0xFFFFFFFF}};
  EXPECT_THROW(LinearGradientIn(box, backwards, 0), ESWFError);
  EXPECT_THROW(RadialGradientIn(box, std::span<const TGradientStop>(), 50, 50), ESWFError);
}

// Figures that each select their own styles: appending a style leaves the first figure's
// selection alone, and a colour below full alpha, in a fill, a gradient or a line, makes the
// shape a DefineShape3.
TEST(Shape, AppendedStylesAreSelectedByTheirFigures) {
  const struct {
    const char* what;
    uint32_t fill, gradient, line;
    int tag;
  } cases[] = {
      {"opaque", 0xFF336699, 0xFFFFFFFF, 0xFF000000, 22},
      {"a translucent fill", 0x80336699, 0xFFFFFFFF, 0xFF000000, 32},
      {"a translucent stop", 0xFF336699, 0x40FFFFFF, 0xFF000000, 32},
      {"a translucent line", 0xFF336699, 0xFFFFFFFF, 0x10000000, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TPixelMovie movie;
    TFlashShape& shape = movie.AddShape();
    auto solid = std::make_unique<TSWFColorFill>();
    solid->Color.SetRGBA(c.fill);
    const uint16_t first = shape.AppendFillStyle(std::move(solid));
    TSWFRGBA lineColor(true);
    lineColor.SetRGBA(c.line);
    const uint16_t line = shape.AppendLineStyle(2, lineColor);
    const TGradientStop stops[] = {{0, c.gradient}, {255, 0xFF000000}};
    const uint16_t second = shape.AppendFillStyle(LinearGradientIn({0, 0, 400, 400}, stops, 90));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(line, 1);
    TSWFStyleChangeRecord& a = shape.Edges().MoveTo(0, 0);
    a.SetFill1(first);
    a.SetLine(line);
    shape.Edges().Rectangle(20, 20);
    shape.Edges().MoveTo(30, 0).SetFill1(second);
    shape.Edges().Rectangle(20, 20);
    shape.Edges().EndEdges();
    shape.CalcBounds();
    EXPECT_EQ(shape.Fill1Index(), 0);

    auto tag = ReadBack(shape);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->TagID, c.tag);
    ASSERT_EQ(tag->FillStyles.size(), 2u);
    EXPECT_EQ(tag->FillStyles[1]->FillType, kFillLinearGradient);
    ASSERT_EQ(tag->LineStyles.size(), 1u);
    EXPECT_EQ(tag->LineStyles[0]->Width, 40);
    std::vector<uint16_t> fills;
    for (const auto& r : tag->Edges)
      if (r->Kind == TShapeRecordKind::StyleChange) {
        const auto& s = static_cast<const TSWFStyleChangeRecord&>(*r);
        if (s.StateFillStyle1) fills.push_back(static_cast<uint16_t>(s.Fill1()));
      }
    EXPECT_EQ(fills, (std::vector<uint16_t>{1, 2}));
    EXPECT_EQ(Describe(tag->Edges), "S L400,0 L0,400 L-400,0 L0,-400 S m600,0 L400,0 L0,400 L-400,0 L0,-400 E");
  }
}

TEST(Shape, DashedOutlineDrawsDashesAndGaps) {
  TPixelMovie movie;
  TFlashShape& shape = movie.AddLine(0, 0, 100, 0);
  shape.AddLineStyle(1, TSWFRGB{0, 0, 0});
  shape.Edges().EndEdges();
  TFlashLineStyle& pattern = shape.DashPattern();
  pattern.SetCount(2);
  pattern.SetItems(0, 10);
  pattern.SetItems(1, 5);
  auto tag = ReadBack(shape);
  ASSERT_TRUE(tag);
  // 100 pixels of 10-pixel dashes and 5-pixel gaps: 7 dashes (the last 10 long, ending at 100).
  size_t dashes = 0, dashed = 0;
  for (const auto& r : tag->Edges)
    if (r->Kind == TShapeRecordKind::StraightEdge) ++dashes, dashed += static_cast<TSWFStraightEdgeRecord&>(*r).X;
  EXPECT_EQ(dashes, 7u);
  EXPECT_EQ(dashed, 7u * 200);
  // The shape's own records stay as they were.
  EXPECT_EQ(Describe(shape.Records), "S L2000,0 E");
}

}  // namespace
}  // namespace tw::builder
