// The drawing canvas: paths, curves, arcs, transforms, saved states and paints replayed into
// shapes, checked on the movie our reader reads back (outlines sampled as points in twips).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <numbers>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "swf/display_tags.h"
#include "swf/errors.h"
#include "swf/shape_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

constexpr double kPi = std::numbers::pi;
// What the curves may stray by, and half a twip of rounding on each axis besides.
constexpr double kAllowed = TFlashCanvas::kCurveTolerance + 1;

struct TPt {
  double X, Y;
};

double Distance(TPt a, TPt b) { return std::hypot(a.X - b.X, a.Y - b.Y); }

// A movie of 400 x 300 pixels (or twips).
struct TCanvasMovie : TFlashMovie {
  explicit TCanvasMovie(TSystemCoord coord = TSystemCoord::Pix)
      : TFlashMovie(0, 0, 400, 300, 12, coord) {}
};

// The shapes of a movie read back, in file order.
struct TReadBack {
  std::unique_ptr<TSWFStreamReader> Reader;
  std::vector<TSWFDefineShape*> Shapes;
  std::vector<TSWFPlaceObject2*> Places;
};

TReadBack Read(TFlashMovie& movie) {
  TReadBack r{Reread(movie), {}, {}};
  for (const auto& info : r.Reader->TagList) {
    if (auto* shape = dynamic_cast<TSWFDefineShape*>(info->TagObject())) r.Shapes.push_back(shape);
    if (auto* place = dynamic_cast<TSWFPlaceObject2*>(info->TagObject())) r.Places.push_back(place);
  }
  return r;
}

// The outline of a shape as pieces of points: every edge sampled densely, each move starting
// a new piece. Corners (ends of edges) are kept apart too.
struct TOutline {
  std::vector<std::vector<TPt>> Pieces;
  std::vector<TPt> Ends;  // where each edge ends, in order
  std::vector<TPt> Moves;
};

TOutline OutlineOf(const TSWFDefineShape& shape) {
  TOutline o;
  TPt pen{0, 0};
  auto piece = [&]() -> std::vector<TPt>& {
    if (o.Pieces.empty()) o.Pieces.push_back({pen});
    return o.Pieces.back();
  };
  for (const auto& r : shape.Edges) {
    switch (r->Kind) {
      case TShapeRecordKind::StyleChange: {
        const auto& s = static_cast<const TSWFStyleChangeRecord&>(*r);
        if (!s.StateMoveTo) break;
        pen = {double(s.X), double(s.Y)};
        o.Pieces.push_back({pen});
        o.Moves.push_back(pen);
        break;
      }
      case TShapeRecordKind::StraightEdge: {
        const auto& s = static_cast<const TSWFStraightEdgeRecord&>(*r);
        const TPt to{pen.X + s.X, pen.Y + s.Y};
        for (int i = 1; i <= 16; ++i)
          piece().push_back({pen.X + (to.X - pen.X) * i / 16, pen.Y + (to.Y - pen.Y) * i / 16});
        pen = to;
        o.Ends.push_back(pen);
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*r);
        const TPt q{pen.X + c.ControlX, pen.Y + c.ControlY};
        const TPt to{q.X + c.AnchorX, q.Y + c.AnchorY};
        for (int i = 1; i <= 64; ++i) {
          const double t = i / 64.0, s = 1 - t;
          piece().push_back({s * s * pen.X + 2 * s * t * q.X + t * t * to.X,
                             s * s * pen.Y + 2 * s * t * q.Y + t * t * to.Y});
        }
        pen = to;
        o.Ends.push_back(pen);
        break;
      }
      default:
        break;
    }
  }
  return o;
}

// The distance from a point to the nearest segment between samples of the outline.
double DistanceToOutline(const TOutline& o, TPt p) {
  double best = INFINITY;
  for (const auto& piece : o.Pieces)
    for (size_t i = 0; i + 1 < piece.size(); ++i) {
      const TPt a = piece[i], b = piece[i + 1];
      const double dx = b.X - a.X, dy = b.Y - a.Y, len = dx * dx + dy * dy;
      const double t = len == 0 ? 0 : std::clamp(((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len, 0.0, 1.0);
      best = std::min(best, Distance(p, {a.X + dx * t, a.Y + dy * t}));
    }
  return best;
}

// The largest distance between the outline and the curve (given by samples of its parameter)
// in either direction: every point of each lies that close to the other.
double Deviation(const TOutline& o, const std::function<TPt(double)>& curve) {
  std::vector<TPt> samples;
  for (int i = 0; i <= 2000; ++i) samples.push_back(curve(i / 2000.0));
  double worst = 0;
  for (TPt p : samples) worst = std::max(worst, DistanceToOutline(o, p));
  TOutline reference;
  reference.Pieces.push_back(samples);
  for (const auto& piece : o.Pieces)
    for (TPt p : piece) worst = std::max(worst, DistanceToOutline(reference, p));
  return worst;
}

// ---- curves ----------------------------------------------------------------------------------

// Cubic curves of every kind become quadratic curves that stay within the tolerance, end
// exactly where the cubic ends, and are few where the curve is gentle.
TEST(Canvas, CubicCurvesStayWithinTheTolerance) {
  struct TCase {
    const char* name;
    TPt p0, p1, p2, p3;  // twips
    size_t maxEdges;
  } cases[] = {
      {"an S curve", {0, 0}, {2000, 0}, {0, 2000}, {2000, 2000}, 16},
      {"a loop", {0, 0}, {6000, 3000}, {-2000, 3000}, {4000, 0}, 40},
      {"a cusp", {0, 0}, {3000, 2000}, {0, 2000}, {3000, 0}, 40},
      {"almost straight", {100, 100}, {1100, 110}, {2100, 90}, {3100, 100}, 2},
      {"a control point on its anchor", {0, 0}, {0, 0}, {1000, 3000}, {4000, 4000}, 16},
      {"wider than one edge record", {0, 0}, {90000, 0}, {90000, 90000}, {0, 90000}, 200},
      {"a point", {500, 500}, {500, 500}, {500, 500}, {500, 500}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCanvasMovie movie(TSystemCoord::Twips);
    TFlashCanvas& canvas = movie.Canvas();
    canvas.MoveTo(c.p0.X, c.p0.Y);
    canvas.BezierCurveTo(c.p1.X, c.p1.Y, c.p2.X, c.p2.Y, c.p3.X, c.p3.Y);
    TFlashShape* shape = canvas.Stroke();
    if (c.maxEdges == 0) {
      // Nothing to see: the shape is there, with no edge.
      ASSERT_TRUE(shape);
    }
    const TReadBack r = Read(movie);
    ASSERT_EQ(r.Shapes.size(), 1u);
    const TOutline o = OutlineOf(*r.Shapes[0]);
    EXPECT_LE(o.Ends.size(), c.maxEdges);
    if (c.maxEdges == 0) continue;
    ASSERT_FALSE(o.Ends.empty());
    EXPECT_EQ(o.Ends.back().X, c.p3.X);
    EXPECT_EQ(o.Ends.back().Y, c.p3.Y);
    const double deviation = Deviation(o, [&](double t) {
      const double s = 1 - t;
      const double a = s * s * s, b = 3 * s * s * t, d = 3 * s * t * t, e = t * t * t;
      return TPt{a * c.p0.X + b * c.p1.X + d * c.p2.X + e * c.p3.X,
                 a * c.p0.Y + b * c.p1.Y + d * c.p2.Y + e * c.p3.Y};
    });
    EXPECT_LE(deviation, kAllowed);
  }
}

// A quadratic curve is kept as it is: one curved edge with its own control point.
TEST(Canvas, QuadraticCurvesAreKept) {
  TCanvasMovie movie;
  movie.Canvas().MoveTo(10, 10);
  movie.Canvas().QuadraticCurveTo(50, 90, 90, 10);
  movie.Canvas().Stroke();
  const TReadBack r = Read(movie);
  ASSERT_EQ(r.Shapes.size(), 1u);
  ASSERT_EQ(r.Shapes[0]->Edges.size(), 3u);  // style change, curve, end
  const auto* curve = dynamic_cast<const TSWFCurvedEdgeRecord*>(r.Shapes[0]->Edges[1].get());
  ASSERT_TRUE(curve);
  EXPECT_EQ(curve->ControlX, 800);
  EXPECT_EQ(curve->ControlY, 1600);
  EXPECT_EQ(curve->AnchorX, 800);
  EXPECT_EQ(curve->AnchorY, -1600);
}

// ---- arcs ------------------------------------------------------------------------------------

// Arcs start and end on the angles given, turn the way asked, keep to the circle (or ellipse)
// and join the path with a line.
TEST(Canvas, ArcsEndWhereTheAnglesSay) {
  struct TCase {
    const char* name;
    std::function<void(TFlashCanvas&)> draw;   // pixels
    TPt first, last;                           // twips
    TPt through, notThrough;                   // a point the arc passes and one it must not
    std::function<double(TPt)> offCurve;       // how far a point lies from the figure, twips
  };
  const auto circle = [](double cx, double cy, double r) {
    return [=](TPt p) { return std::abs(std::hypot(p.X - cx, p.Y - cy) - r); };
  };
  const TCase cases[] = {
      {"a quarter, clockwise on the screen",
       [](TFlashCanvas& c) { c.Arc(100, 100, 50, 0, kPi / 2); },
       {3000, 2000}, {2000, 3000}, {2000 + 1000 * std::sqrt(0.5), 2000 + 1000 * std::sqrt(0.5)},
       {2000 - 1000 * std::sqrt(0.5), 2000 - 1000 * std::sqrt(0.5)}, circle(2000, 2000, 1000)},
      {"the same angles anticlockwise: the other three quarters",
       [](TFlashCanvas& c) { c.Arc(100, 100, 50, 0, kPi / 2, true); },
       {3000, 2000}, {2000, 3000}, {2000 - 1000 * std::sqrt(0.5), 2000 - 1000 * std::sqrt(0.5)},
       {2000 + 1000 * std::sqrt(0.5), 2000 + 1000 * std::sqrt(0.5)}, circle(2000, 2000, 1000)},
      {"more than a turn is one whole circle",
       [](TFlashCanvas& c) { c.Arc(100, 100, 50, kPi, 5 * kPi); },
       {1000, 2000}, {1000, 2000}, {3000, 2000}, {2000, 2000}, circle(2000, 2000, 1000)},
      {"an end below the start goes on to it the next turn",
       [](TFlashCanvas& c) { c.Arc(100, 100, 50, kPi / 2, 0); },
       {2000, 3000}, {3000, 2000}, {1000, 2000}, {2000 + 1000 * std::sqrt(0.5), 2000 + 1000 * std::sqrt(0.5)},
       circle(2000, 2000, 1000)},
      {"an ellipse turned by a quarter",
       [](TFlashCanvas& c) { c.Ellipse(100, 100, 80, 20, kPi / 2, 0, kPi); },
       {2000, 3600}, {2000, 400}, {1600, 2000}, {2400, 2000},
       [](TPt p) {
         // Upright after the turn: 20 wide, 80 tall (pixels).
         const double x = (p.X - 2000) / 400, y = (p.Y - 2000) / 1600;
         return std::abs(std::hypot(x, y) - 1) * 400;
       }},
      {"a rounded corner between two lines",
       [](TFlashCanvas& c) {
         c.MoveTo(0, 0);
         c.ArcTo(100, 0, 100, 100, 20);
       },
       {0, 0}, {2000, 400}, {2000 - 400 + 400 * std::sqrt(0.5), 400 - 400 * std::sqrt(0.5)},
       {2000, 0},
       [](TPt p) {
         // The straight run, then a quarter circle about (80, 20) pixels.
         if (p.X <= 1600) return std::abs(p.Y);
         return std::abs(std::hypot(p.X - 1600, p.Y - 400) - 400);
       }},
      {"a large radius on a scaled canvas keeps to its circle",
       [](TFlashCanvas& c) {
         c.Scale(4, 4);
         c.Arc(100, 100, 90, 0, 2 * kPi);
       },
       {15200, 8000}, {15200, 8000}, {8000, 15200}, {8000, 8000}, circle(8000, 8000, 7200)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCanvasMovie movie;
    c.draw(movie.Canvas());
    movie.Canvas().Stroke();
    const TReadBack r = Read(movie);
    ASSERT_EQ(r.Shapes.size(), 1u);
    const TOutline o = OutlineOf(*r.Shapes[0]);
    ASSERT_FALSE(o.Ends.empty());
    const TPt first = o.Moves.empty() ? TPt{0, 0} : o.Moves.front();
    EXPECT_NEAR(first.X, c.first.X, 1);
    EXPECT_NEAR(first.Y, c.first.Y, 1);
    EXPECT_NEAR(o.Ends.back().X, c.last.X, 1);
    EXPECT_NEAR(o.Ends.back().Y, c.last.Y, 1);
    EXPECT_LE(DistanceToOutline(o, c.through), kAllowed);
    EXPECT_GT(DistanceToOutline(o, c.notThrough), 100);
    double worst = 0;
    for (const auto& piece : o.Pieces)
      for (TPt p : piece) worst = std::max(worst, c.offCurve(p));
    EXPECT_LE(worst, kAllowed);
  }
}

// A line joins an arc to the path before it; corners that have no arc are lines.
TEST(Canvas, ArcsJoinThePathAndDegenerateCornersAreLines) {
  TCanvasMovie movie;
  TFlashCanvas& canvas = movie.Canvas();
  canvas.MoveTo(0, 0);
  canvas.Arc(100, 100, 50, 0, kPi / 2);     // a line to (150, 100) first
  canvas.ArcTo(200, 250, 300, 350, 10);    // on one line: a line to (200, 250)
  canvas.ArcTo(300, 300, 300, 300, 10);    // the same point twice: a line to it
  canvas.ArcTo(350, 300, 300, 200, 0);     // no radius: a line to the corner
  canvas.Stroke();
  const TReadBack r = Read(movie);
  const TOutline o = OutlineOf(*r.Shapes.at(0));
  const auto* firstEdge = dynamic_cast<const TSWFStraightEdgeRecord*>(r.Shapes[0]->Edges[1].get());
  ASSERT_TRUE(firstEdge);
  EXPECT_EQ(firstEdge->X, 3000);
  EXPECT_EQ(firstEdge->Y, 2000);
  ASSERT_GE(o.Ends.size(), 4u);
  const size_t n = o.Ends.size();
  EXPECT_EQ(o.Ends[n - 3].X, 4000);
  EXPECT_EQ(o.Ends[n - 3].Y, 5000);
  EXPECT_EQ(o.Ends[n - 2].X, 6000);
  EXPECT_EQ(o.Ends[n - 2].Y, 6000);
  EXPECT_EQ(o.Ends[n - 1].X, 7000);
  EXPECT_EQ(o.Ends[n - 1].Y, 6000);
}

// ---- transforms and saved states -------------------------------------------------------------

// The transform as it stands at each command moves the points of a square of 10 pixels.
TEST(Canvas, TransformsMoveThePath) {
  struct TCase {
    const char* name;
    std::function<void(TFlashCanvas&)> transform;
    TPt corners[4];  // (0, 0), (10, 0), (10, 10), (0, 10) in twips
  } cases[] = {
      {"none", [](TFlashCanvas&) {}, {{0, 0}, {200, 0}, {200, 200}, {0, 200}}},
      {"translate then scale",
       [](TFlashCanvas& c) { c.Translate(10, 20); c.Scale(2, 3); },
       {{200, 400}, {600, 400}, {600, 1000}, {200, 1000}}},
      {"scale then translate: the move is scaled",
       [](TFlashCanvas& c) { c.Scale(2, 3); c.Translate(10, 20); },
       {{400, 1200}, {800, 1200}, {800, 1800}, {400, 1800}}},
      {"a quarter turn: clockwise on the screen",
       [](TFlashCanvas& c) { c.Rotate(kPi / 2); },
       {{0, 0}, {0, 200}, {-200, 200}, {-200, 0}}},
      {"set replaces what was there",
       [](TFlashCanvas& c) { c.Scale(5, 5); c.SetTransform(1, 0, 0, 1, 100, 0); },
       {{2000, 0}, {2200, 0}, {2200, 200}, {2000, 200}}},
      {"a skew through transform",
       [](TFlashCanvas& c) { c.Transform(1, 0, 0.5, 1, 0, 0); },
       {{0, 0}, {200, 0}, {300, 200}, {100, 200}}},
      {"reset after a rotation", [](TFlashCanvas& c) { c.Rotate(1); c.ResetTransform(); },
       {{0, 0}, {200, 0}, {200, 200}, {0, 200}}},
      {"values that are not finite are ignored",
       [](TFlashCanvas& c) {
         c.Translate(NAN, 1);
         c.Scale(INFINITY, 1);
         c.Rotate(NAN);
         c.SetTransform(1, 0, 0, 1, NAN, 0);
       },
       {{0, 0}, {200, 0}, {200, 200}, {0, 200}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCanvasMovie movie;
    TFlashCanvas& canvas = movie.Canvas();
    c.transform(canvas);
    canvas.Rect(0, 0, 10, 10);
    canvas.Fill();
    const TReadBack r = Read(movie);
    const TOutline o = OutlineOf(*r.Shapes.at(0));
    std::vector<TPt> corners = o.Moves;
    if (corners.empty()) corners.push_back({0, 0});  // a path starting at the pen's origin
    for (size_t i = 0; i + 1 < o.Ends.size(); ++i) corners.push_back(o.Ends[i]);
    ASSERT_EQ(corners.size(), 4u);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(corners[i].X, c.corners[i].X) << "corner " << i;
      EXPECT_EQ(corners[i].Y, c.corners[i].Y) << "corner " << i;
    }
    // The square is closed.
    EXPECT_EQ(o.Ends.back().X, corners[0].X);
    EXPECT_EQ(o.Ends.back().Y, corners[0].Y);
  }
}

uint32_t FillColour(const TSWFDefineShape& shape) {
  const auto* fill = dynamic_cast<const TSWFColorFill*>(shape.FillStyles.at(0).get());
  return fill ? fill->Color.GetRGBA() : 0;
}

// Restore brings back the transform and styles saved, in stack order; the path is no part of
// the state; a restore without a save does nothing.
TEST(Canvas, SaveAndRestoreKeepTransformAndStyles) {
  TCanvasMovie movie;
  TFlashCanvas& canvas = movie.Canvas();
  const uint32_t red = MakeRGBA(255, 0, 0, 255), blue = MakeRGBA(0, 0, 255, 255);
  canvas.SetFillStyle(red);
  canvas.SetLineWidth(3);
  canvas.Save();
  canvas.Translate(100, 0);
  canvas.SetFillStyle(blue);
  canvas.SetStrokeStyle(blue);
  canvas.SetLineWidth(7);
  canvas.Save();
  canvas.Scale(2, 2);
  canvas.Restore();
  canvas.FillRect(0, 0, 10, 10);   // blue, moved by 100
  canvas.Rect(0, 0, 10, 10);       // the path keeps this square through the restore
  canvas.Restore();
  canvas.Restore();                // nothing saved: nothing changes
  canvas.SetLineWidth(-2);         // ignored
  canvas.SetLineWidth(NAN);        // ignored
  canvas.Fill();                   // red, in place, the square of the path moved by 100
  canvas.StrokeRect(0, 0, 10, 10); // black, 3 wide
  EXPECT_EQ(canvas.LineWidth(), 3);
  EXPECT_EQ(canvas.CurrentTransform(), TCanvasMatrix{});

  const TReadBack r = Read(movie);
  ASSERT_EQ(r.Shapes.size(), 3u);
  EXPECT_EQ(FillColour(*r.Shapes[0]), blue);
  EXPECT_EQ(OutlineOf(*r.Shapes[0]).Moves.at(0).X, 2000);
  EXPECT_EQ(FillColour(*r.Shapes[1]), red);
  EXPECT_EQ(OutlineOf(*r.Shapes[1]).Moves.at(0).X, 2000);
  ASSERT_EQ(r.Shapes[2]->LineStyles.size(), 1u);
  EXPECT_EQ(r.Shapes[2]->LineStyles[0]->Width, 60);
  EXPECT_EQ(r.Shapes[2]->LineStyles[0]->Color.GetRGBA(), MakeRGBA(0, 0, 0, 255));
  EXPECT_TRUE(r.Shapes[2]->FillStyles.empty());
}

// ---- paints ----------------------------------------------------------------------------------

// Each fill and stroke is a shape of its own, placed above all that was placed before, in the
// movie or in the sprite the canvas draws into; the shapes are defined before the sprite.
TEST(Canvas, EachPaintIsAShapePlacedAtTheNextDepth) {
  TCanvasMovie movie;
  TFlashShape& before = movie.AddRectangle(0, 0, 5, 5);
  movie.PlaceObject(before, 3);
  TFlashCanvas& canvas = movie.Canvas();
  canvas.Rect(10, 10, 20, 20);
  TFlashShape* filled = canvas.Fill();
  TFlashShape* stroked = canvas.Stroke();
  ASSERT_TRUE(filled && stroked);
  TFSpriteCanvas& sprite = movie.AddSpriteCanvas();
  EXPECT_EQ(movie.Sprites.Last(), &sprite);
  sprite.Canvas().SetLineWidth(2);
  sprite.Canvas().MoveTo(0, 0);
  sprite.Canvas().LineTo(10, 0);
  TFlashShape* inSprite = sprite.Canvas().Stroke();
  sprite.Canvas().FillRect(0, 0, 4, 4);
  movie.PlaceObject(sprite, 9);
  movie.ShowFrame();

  const TReadBack r = Read(movie);
  std::vector<int> depths;
  for (auto* p : r.Places) depths.push_back(p->Depth);
  EXPECT_EQ(depths, (std::vector<int>{3, 4, 5, 9}));
  EXPECT_EQ(r.Places[1]->CharacterId, filled->CharacterId());
  EXPECT_EQ(r.Places[2]->CharacterId, stroked->CharacterId());
  // The sprite's own timeline: its two shapes at depths 1 and 2, both defined before it.
  const TSWFTagInfo* spriteTag = nullptr;
  size_t spriteIndex = 0;
  for (size_t i = 0; i < r.Reader->TagList.size(); ++i)
    if (r.Reader->TagList[i]->TagCode == 39) spriteTag = r.Reader->TagList[i].get(), spriteIndex = i;
  ASSERT_TRUE(spriteTag);
  std::vector<int> inner;
  for (const auto& sub : spriteTag->SubTags)
    if (auto* p = dynamic_cast<TSWFPlaceObject2*>(sub->TagObject())) inner.push_back(p->Depth);
  EXPECT_EQ(inner, (std::vector<int>{1, 2}));
  size_t shapeIndex = 0;
  for (size_t i = 0; i < r.Reader->TagList.size(); ++i)
    if (auto* s = dynamic_cast<TSWFDefineShape*>(r.Reader->TagList[i]->TagObject()); s && s->ID == inSprite->CharacterId())
      shapeIndex = i;
  EXPECT_LT(shapeIndex, spriteIndex);
}

// Where a gradient's matrix takes a point of the gradient square, in twips.
TPt Through(const TSWFMatrix& m, double x, double y) {
  return {m.ScaleXf() * x + m.SkewXf() * y + m.TranslateX, m.SkewYf() * x + m.ScaleYf() * y + m.TranslateY};
}

// Gradients span the line or circles they were made with, through the transform at the time
// of the fill; their colours keep their order and alpha.
TEST(Canvas, GradientsSpanTheirPointsAndCircles) {
  const uint32_t red = MakeRGBA(255, 0, 0, 255), blue = MakeRGBA(0, 0, 255, 255);
  const uint32_t clear = MakeRGBA(0, 255, 0, 128);
  using TStops = std::vector<std::pair<double, uint32_t>>;
  struct TCase {
    const char* name;
    bool radial;
    std::array<double, 6> geometry;  // x0, y0, x1, y1; or x0, y0, r0, x1, y1, r1
    TStops stops;                    // in the order added
    std::function<void(TFlashCanvas&)> transform;
    TPt left, right, top;     // where (-16384, 0), (16384, 0) and (0, -16384) go, twips
    std::vector<int> ratios;  // of the records, in order
    std::vector<uint32_t> colours;
  } cases[] = {
      {"linear, left to right", false, {0, 0, 100, 0}, {{0, red}, {1, blue}},
       [](TFlashCanvas&) {}, {0, 0}, {2000, 0}, {1000, -1000}, {0, 255}, {red, blue}},
      {"linear, downwards and moved with the canvas", false, {0, 0, 0, 50}, {{0.5, blue}, {0.25, red}},
       [](TFlashCanvas& c) { c.Translate(10, 10); }, {200, 200}, {200, 1200}, {700, 700}, {64, 128},
       {red, blue}},
      {"radial from the centre", true, {50, 50, 0, 50, 50, 40}, {{0, red}, {1, clear}},
       [](TFlashCanvas&) {}, {200, 1000}, {1800, 1000}, {1000, 200}, {0, 255}, {red, clear}},
      {"radial between two circles: the stops move out to the inner radius", true,
       {50, 50, 20, 50, 50, 40}, {{0, red}, {1, blue}}, [](TFlashCanvas& c) { c.Scale(2, 2); },
       {400, 2000}, {3600, 2000}, {2000, 400}, {128, 255}, {red, blue}},
      {"radial shrinking inwards: the stops turn round", true, {50, 50, 40, 50, 50, 0},
       {{0, red}, {1, blue}}, [](TFlashCanvas&) {}, {200, 1000}, {1800, 1000}, {1000, 200},
       {0, 255}, {blue, red}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCanvasMovie movie;
    TFlashCanvas& canvas = movie.Canvas();
    c.transform(canvas);
    const auto& g = c.geometry;
    auto gradient = c.radial ? TFlashCanvasGradient::Radial(g[0], g[1], g[2], g[3], g[4], g[5])
                             : TFlashCanvasGradient::Linear(g[0], g[1], g[2], g[3]);
    for (const auto& [offset, colour] : c.stops) gradient.AddColorStop(offset, colour);
    canvas.SetFillStyle(gradient);
    canvas.FillRect(0, 0, 100, 100);
    const TReadBack r = Read(movie);
    ASSERT_EQ(r.Shapes.size(), 1u);
    const bool alpha = std::any_of(c.colours.begin(), c.colours.end(), [](uint32_t v) { return v >> 24 != 255; });
    EXPECT_EQ(r.Shapes[0]->TagID, alpha ? 32 : 22);
    const auto* fill = dynamic_cast<const TSWFGradientFill*>(r.Shapes[0]->FillStyles.at(0).get());
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->FillType, c.radial ? kFillRadialGradient : kFillLinearGradient);
    for (auto [at, want] : {std::pair{Through(fill->Matrix, -16384, 0), c.left},
                            std::pair{Through(fill->Matrix, 16384, 0), c.right},
                            std::pair{Through(fill->Matrix, 0, -16384), c.top}}) {
      EXPECT_NEAR(at.X, want.X, 2);
      EXPECT_NEAR(at.Y, want.Y, 2);
    }
    ASSERT_EQ(fill->Count, c.ratios.size());
    for (size_t i = 0; i < c.ratios.size(); ++i) {
      EXPECT_EQ(fill->Record(int(i + 1)).Ratio, c.ratios[i]);
      EXPECT_EQ(fill->Record(int(i + 1)).Color.GetRGBA(), c.colours[i]);
    }
  }
}

// More than eight stops are thinned to eight, the first and the last kept; a gradient
// without stops or extent, and an empty path, paint nothing.
TEST(Canvas, GradientLimitsAndEmptyPaints) {
  TCanvasMovie movie;
  TFlashCanvas& canvas = movie.Canvas();
  auto many = TFlashCanvasGradient::Linear(0, 0, 100, 0);
  for (int i = 0; i <= 10; ++i) many.AddColorStop(i / 10.0, MakeRGBA(uint8_t(i * 20), 0, 0, 255));
  canvas.SetFillStyle(many);
  ASSERT_TRUE(canvas.FillRect(0, 0, 10, 10));

  EXPECT_EQ(canvas.Fill(), nullptr);  // no path yet
  canvas.MoveTo(5, 5);
  EXPECT_EQ(canvas.Stroke(), nullptr);  // a point alone
  canvas.LineTo(20, 20);
  canvas.SetFillStyle(TFlashCanvasGradient::Linear(0, 0, 100, 0));
  EXPECT_EQ(canvas.Fill(), nullptr);
  auto flat = TFlashCanvasGradient::Linear(5, 5, 5, 5);
  flat.AddColorStop(0, MakeRGBA(0, 0, 0, 255));
  canvas.SetFillStyle(flat);
  EXPECT_EQ(canvas.Fill(), nullptr);
  EXPECT_EQ(canvas.FillRect(0, 0, 0, 10), nullptr);
  EXPECT_EQ(movie.Shapes.Count(), 1u);

  const TReadBack r = Read(movie);
  const auto* fill = dynamic_cast<const TSWFGradientFill*>(r.Shapes.at(0)->FillStyles.at(0).get());
  ASSERT_TRUE(fill);
  ASSERT_EQ(fill->Count, 8);
  EXPECT_EQ(fill->Record(1).Ratio, 0);
  EXPECT_EQ(fill->Record(1).Color.R, 0);
  EXPECT_EQ(fill->Record(8).Ratio, 255);
  EXPECT_EQ(fill->Record(8).Color.R, 200);
  for (int i = 2; i <= 8; ++i) EXPECT_GT(fill->Record(i).Ratio, fill->Record(i - 1).Ratio);
}

// A stroke keeps the plain line of every version while its caps and joins are round and its
// style a colour; butt or square caps, bevel or miter joins (the limit held to 1 to 255) and
// a gradient make a wide line style of DefineShape4.
TEST(Canvas, StrokeCapsJoinsAndGradientsAreWideLines) {
  const uint32_t red = MakeRGBA(255, 0, 0, 255), blue = MakeRGBA(0, 0, 255, 255);
  struct TCase {
    const char* name;
    std::function<void(TFlashCanvas&)> style;
    int tag, cap, join;
    float miter;
    bool gradient;
  } cases[] = {
      {"round and a colour", [](TFlashCanvas&) {}, 22, 0, 0, 0, false},
      {"butt caps", [](TFlashCanvas& c) { c.SetLineCap(lcButt); }, 83, 1, 0, 0, false},
      {"square caps, bevel joins", [](TFlashCanvas& c) { c.SetLineCap(lcSquare), c.SetLineJoin(ljBevel); },
       83, 2, 1, 0, false},
      {"miter joins of the canvas's limit", [](TFlashCanvas& c) { c.SetLineJoin(ljMiter); }, 83, 0, 2, 10, false},
      {"a limit of 2.5; zero and NaN ignored",
       [](TFlashCanvas& c) { c.SetLineJoin(ljMiter), c.SetMiterLimit(2.5), c.SetMiterLimit(0), c.SetMiterLimit(NAN); },
       83, 0, 2, 2.5f, false},
      {"a limit beyond the file's", [](TFlashCanvas& c) { c.SetLineJoin(ljMiter), c.SetMiterLimit(1000); }, 83, 0, 2, 255, false},
      {"caps restored with the state",
       [](TFlashCanvas& c) { c.Save(), c.SetLineCap(lcButt), c.SetLineJoin(ljBevel), c.Restore(); }, 22, 0, 0, 0, false},
      {"a gradient",
       [&](TFlashCanvas& c) {
         auto g = TFlashCanvasGradient::Linear(0, 0, 100, 0);
         g.AddColorStop(0, red);
         g.AddColorStop(1, blue);
         c.SetStrokeStyle(g);
       },
       83, 0, 0, 0, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCanvasMovie movie;
    TFlashCanvas& canvas = movie.Canvas();
    canvas.SetLineWidth(4);
    c.style(canvas);
    canvas.MoveTo(10, 10);
    canvas.LineTo(60, 10);
    canvas.LineTo(60, 40);
    ASSERT_TRUE(canvas.Stroke());
    const TReadBack r = Read(movie);
    ASSERT_EQ(r.Shapes.size(), 1u);
    EXPECT_EQ(r.Shapes[0]->TagID, c.tag);
    if (c.tag == 83) {
      EXPECT_GE(r.Reader->Version(), 8);
    }
    ASSERT_EQ(r.Shapes[0]->LineStyles.size(), 1u);
    EXPECT_EQ(r.Shapes[0]->LineStyles[0]->Width, 80);
    EXPECT_EQ(OutlineOf(*r.Shapes[0]).Ends.size(), 2u);
    if (c.tag != 83) continue;
    const auto* line = dynamic_cast<const TSWFLineStyle2*>(r.Shapes[0]->LineStyles[0].get());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->StartCapStyle, c.cap);
    EXPECT_EQ(line->EndCapStyle, c.cap);
    EXPECT_EQ(line->JoinStyle, c.join);
    EXPECT_FLOAT_EQ(line->MiterLimitFactor, c.miter);
    EXPECT_EQ(line->HasFillFlag, c.gradient);
    if (!c.gradient) {
      EXPECT_EQ(line->Color.GetRGBA(), MakeRGBA(0, 0, 0, 255));
      continue;
    }
    const auto* fill = dynamic_cast<const TSWFGradientFill*>(line->FillStyle());
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->FillType, kFillLinearGradient);
    ASSERT_EQ(fill->Count, 2);
    EXPECT_EQ(fill->Record(1).Color.GetRGBA(), red);
    EXPECT_EQ(fill->Record(2).Color.GetRGBA(), blue);
    // The gradient's square spans its line from (0, 0) to (100, 0) pixels.
    EXPECT_NEAR(Through(fill->Matrix, -16384, 0).X, 0, 2);
    EXPECT_NEAR(Through(fill->Matrix, 16384, 0).X, 2000, 2);
  }
}

// A fill follows the nonzero rule by default. Where no point is wound around twice (one simple
// closed curve, or such curves with boxes apart) both rules fill alike and the shape stays
// DefineShape2; a star crossing itself, overlapping or nested subpaths get the rule's flag.
TEST(Canvas, NonzeroRuleWhereTheOutlineWindsTwice) {
  using TDraw = std::function<void(TFlashCanvas&)>;
  auto star = [](TFlashCanvas& c) {
    for (int i = 0; i < 5; ++i) {
      const double a = -kPi / 2 + i * 4 * kPi / 5;
      if (i == 0) c.MoveTo(100 + 80 * std::cos(a), 100 + 80 * std::sin(a));
      else c.LineTo(100 + 80 * std::cos(a), 100 + 80 * std::sin(a));
    }
    c.ClosePath();
  };
  struct TCase {
    const char* name;
    TDraw draw;
    TCanvasFillRule rule;
    bool flagged;
  } cases[] = {
      {"a rectangle", [](TFlashCanvas& c) { c.Rect(10, 10, 50, 50); }, frNonzero, false},
      {"a circle", [](TFlashCanvas& c) { c.Arc(100, 100, 50, 0, 2 * kPi); }, frNonzero, false},
      {"a concave arrow", [](TFlashCanvas& c) {
         c.MoveTo(0, 0), c.LineTo(100, 50), c.LineTo(0, 100), c.LineTo(40, 50);
       }, frNonzero, false},
      {"two rectangles apart", [](TFlashCanvas& c) { c.Rect(10, 10, 50, 50), c.Rect(100, 10, 50, 50); },
       frNonzero, false},
      {"a five-pointed star", star, frNonzero, true},
      {"the star, even-odd", star, frEvenOdd, false},
      {"two overlapping rectangles", [](TFlashCanvas& c) { c.Rect(10, 10, 100, 60), c.Rect(50, 40, 100, 60); },
       frNonzero, true},
      {"a hole inside a rectangle", [](TFlashCanvas& c) { c.Rect(10, 10, 100, 100), c.Rect(40, 40, 20, 20); },
       frNonzero, true},
      {"a curve crossing a side", [](TFlashCanvas& c) {
         c.MoveTo(0, 0), c.LineTo(100, 0), c.LineTo(100, 100), c.QuadraticCurveTo(50, -150, 0, 100);
       }, frNonzero, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TCanvasMovie movie;
    TFlashCanvas& canvas = movie.Canvas();
    c.draw(canvas);
    TFlashShape* shape = canvas.Fill(c.rule);
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->NonzeroWinding, c.flagged);
    const TReadBack r = Read(movie);
    ASSERT_EQ(r.Shapes.size(), 1u);
    EXPECT_EQ(r.Shapes[0]->TagID, c.flagged ? 83 : 22);
    if (const auto* shape4 = dynamic_cast<const TSWFDefineShape4*>(r.Shapes[0])) {
      EXPECT_TRUE(shape4->UsesFillWindingRule);
    }
  }
}

// Bad values never break the movie: non-finite points are ignored, negative radii and stop
// offsets outside 0 to 1 are refused with a message, far points are held to what a shape
// can carry, and a canvas can run out of depths.
TEST(Canvas, BadValuesAreIgnoredOrRefused) {
  TCanvasMovie movie;
  TFlashCanvas& canvas = movie.Canvas();
  canvas.MoveTo(10, 10);
  canvas.LineTo(NAN, 5);
  canvas.QuadraticCurveTo(INFINITY, 0, 1, 1);
  canvas.BezierCurveTo(0, 0, 0, 0, NAN, 0);
  canvas.Arc(0, 0, 10, 0, INFINITY);
  canvas.Rect(NAN, 0, 1, 1);
  canvas.LineTo(20, 10);
  EXPECT_THROW(canvas.Arc(0, 0, -1, 0, 1), ESWFError);
  EXPECT_THROW(canvas.Ellipse(0, 0, 1, -1, 0, 0, 1), ESWFError);
  EXPECT_THROW(canvas.ArcTo(0, 0, 1, 1, -1), ESWFError);
  EXPECT_THROW(TFlashCanvasGradient::Radial(0, 0, -1, 0, 0, 1), ESWFError);
  auto g = TFlashCanvasGradient::Linear(0, 0, 1, 0);
  EXPECT_THROW(g.AddColorStop(1.5, 0), ESWFError);
  EXPECT_THROW(g.AddColorStop(NAN, 0), ESWFError);
  canvas.Stroke();
  canvas.BeginPath();
  canvas.MoveTo(-1e15, 0);
  canvas.BezierCurveTo(1e15, 1e15, -1e15, 1e15, 1e15, 0);
  canvas.Arc(0, 0, 1e12, 0, 6);
  canvas.Fill();
  // A transform that overflows to infinity.
  canvas.Save();
  canvas.Scale(1e200, 1e200);
  canvas.Scale(1e200, 1e200);
  canvas.Rotate(1);
  canvas.BeginPath();
  canvas.MoveTo(1, 1);
  canvas.BezierCurveTo(2, 3, 4, 5, 6, 7);
  canvas.ArcTo(8, 9, 10, 11, 3);
  canvas.Arc(1, 1, 1, 0, 1);
  canvas.Stroke();
  auto wide = TFlashCanvasGradient::Radial(0, 0, 0, 0, 0, 1);
  wide.AddColorStop(0, MakeRGBA(0, 0, 0, 255));
  canvas.SetFillStyle(wide);
  canvas.Fill();
  canvas.Restore();

  const TReadBack r = Read(movie);
  ASSERT_EQ(r.Shapes.size(), 4u);
  const TOutline line = OutlineOf(*r.Shapes[0]);
  ASSERT_EQ(line.Ends.size(), 1u);
  EXPECT_EQ(line.Ends[0].X, 400);
  EXPECT_EQ(line.Ends[0].Y, 200);

  TCanvasMovie full;
  full.PlaceObject(full.AddShape(), 65535);
  full.Canvas().Rect(0, 0, 1, 1);
  EXPECT_THROW(full.Canvas().Fill(), ESWFError);
}

// After painting, the bitmaps of the frame stand at its start, ahead of the shapes.
TEST(Canvas, PaintingGathersTheFramesResources) {
  TCanvasMovie movie;
  TFlashShape& first = movie.AddRectangle(0, 0, 1, 1);
  movie.PlaceObject(first, 1);
  TFlashImage& image = movie.AddImage();
  movie.Canvas().FillRect(0, 0, 10, 10);
  ASSERT_GE(movie.ObjectList.size(), 3u);
  EXPECT_EQ(movie.ObjectList[0].get(), &image);
  EXPECT_EQ(movie.ObjectList[1].get(), &first);
}

}  // namespace
}  // namespace tw::builder
