// Morph shapes: the DefineMorphShape or DefineMorphShape2 the two ends make, read back by our
// reader from the saved movie (styles, paired edges, bounds, version), and the ends that do not
// pair up refused with a clear message.
#include <gtest/gtest.h>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "swf/errors.h"
#include "swf/shape_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

struct TPixelMovie : TFlashMovie {
  TPixelMovie() : TFlashMovie(0, 0, 200, 100, 12, TSystemCoord::Pix) { SetVersion(3); }
};

// "m" for a move, "l" for a line, "c" for a curve, per record (end records left out).
std::string Kinds(const TShapeRecordList& records) {
  std::string out;
  for (const auto& r : records)
    if (r->Kind != TShapeRecordKind::End) out += "?mlc"[static_cast<int>(r->Kind)];
  return out;
}

TEST(MorphShape, SolidSquareIntoWideRectangle) {
  TPixelMovie movie;
  TFlashMorphShape& morph = movie.AddMorphShape();
  TFlashShape& a = morph.StartShape();
  a.SetSolidColor(TSWFRGB{255, 0, 0});
  a.AddLineStyle(2, TSWFRGB{0, 0, 0});
  a.Edges().MoveTo(10, 10);
  a.Edges().Rectangle(20, 20);
  TFlashShape& b = morph.EndShape();
  b.SetSolidColor(Rgba(0, 0, 255, 128));
  b.AddLineStyle(4, TSWFRGB{0, 0, 0});
  b.Edges().MoveTo(0, 30);
  b.Edges().Rectangle(100, 10);
  movie.PlaceObject(morph, 1).Ratio(32768);

  auto read = Reread(movie);
  EXPECT_EQ(read->Version(), 3);
  auto* tag = FindTag<TSWFDefineMorphShape>(*read, 46);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->ID, morph.CharacterId());
  ASSERT_EQ(tag->FillStyles.size(), 1u);
  const auto& fill = dynamic_cast<const TSWFMorphColorFill&>(*tag->FillStyles[0]);
  EXPECT_EQ(fill.StartColor.GetRGBA(), MakeRGBA(255, 0, 0, 255));
  EXPECT_EQ(fill.EndColor.GetRGBA(), MakeRGBA(0, 0, 255, 128));
  ASSERT_EQ(tag->LineStyles.size(), 1u);
  EXPECT_EQ(tag->LineStyles[0]->StartWidth, 40);
  EXPECT_EQ(tag->LineStyles[0]->EndWidth, 80);
  EXPECT_EQ(Kinds(tag->StartEdges), "mllll");
  EXPECT_EQ(Kinds(tag->EndEdges), "mllll");
  // The end's move carries its own position; the start's move keeps the styles.
  const auto& startMove = static_cast<const TSWFStyleChangeRecord&>(*tag->StartEdges[0]);
  const auto& endMove = static_cast<const TSWFStyleChangeRecord&>(*tag->EndEdges[0]);
  EXPECT_EQ(startMove.X, 200);
  EXPECT_EQ(startMove.Y, 200);
  EXPECT_EQ(startMove.Fill1(), 1);
  EXPECT_EQ(startMove.Line(), 1);
  EXPECT_EQ(endMove.X, 0);
  EXPECT_EQ(endMove.Y, 600);
  // Bounds of the edges, widened by half the line.
  EXPECT_EQ(tag->StartBounds, TSWFRect(180, 180, 620, 620));
  EXPECT_EQ(tag->EndBounds, TSWFRect(-40, 560, 2040, 840));
}

TEST(MorphShape, StylesChooseTheTagAndVersion) {
  struct TCase {
    const char* What;
    void (*Style)(TFlashShape&, bool end);
    uint16_t Code;
    int Version;
  };
  const TCase cases[] = {
      {"linear gradient",
       [](TFlashShape& s, bool end) { s.SetLinearGradient(0xFF0000FFu, end ? 0xFF00FF00u : 0xFFFF0000u, 0); }, 46, 3},
      {"radial gradient",
       [](TFlashShape& s, bool) { s.SetRadialGradient(0xFF0000FFu, 0xFFFF0000u, 50, 50); }, 46, 3},
      {"focal gradient",
       [](TFlashShape& s, bool end) {
         auto focal = std::make_unique<TSWFFocalGradientFill>();
         focal->GradientColor(1).SetRGBA(0xFF0000FFu);
         focal->GradientColor(2).SetRGBA(0xFFFF0000u);
         focal->SetGradientRatio(2, 255);
         focal->SetFocalPointF(end ? -0.5 : 0.5);
         s.AddFillStyle(std::move(focal));
       },
       84, 8},
      {"line with round joins",
       [](TFlashShape& s, bool) {
         s.SetSolidColor(TSWFRGB{0, 0, 0});
         auto line = std::make_unique<TSWFLineStyle2>();
         line->Width = 60;
         line->JoinStyle = 1;
         line->NoHScaleFlag = true;
         s.AddLineStyle(std::move(line));
       },
       84, 8},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TPixelMovie movie;
    TFlashMorphShape& morph = movie.AddMorphShape();
    for (bool end : {false, true}) {
      TFlashShape& s = end ? morph.EndShape() : morph.StartShape();
      s.SetBounds(0, 0, 50, 50);
      c.Style(s, end);
      s.Edges().Rectangle(50, 50);
    }
    EXPECT_EQ(morph.NeedsMorphShape2(), c.Code == 84);
    auto read = Reread(movie);
    EXPECT_EQ(read->Version(), c.Version);
    auto* tag = FindTag<TSWFDefineMorphShape>(*read, c.Code);
    ASSERT_TRUE(tag);
    ASSERT_EQ(tag->FillStyles.size(), 1u);
    EXPECT_EQ(tag->FillStyles[0]->FillType, morph.StartShape().FillStyles[0]->FillType);
    if (auto* g = dynamic_cast<TSWFMorphGradientFill*>(tag->FillStyles[0].get())) {
      const auto& start = static_cast<const TSWFGradientFill&>(*morph.StartShape().FillStyles[0]);
      const auto& end = static_cast<const TSWFGradientFill&>(*morph.EndShape().FillStyles[0]);
      ASSERT_EQ(g->Count, 2);
      EXPECT_EQ(g->Record(2).StartColor.GetRGBA(), start.Record(2).Color.GetRGBA());
      EXPECT_EQ(g->Record(2).EndColor.GetRGBA(), end.Record(2).Color.GetRGBA());
      EXPECT_EQ(g->StartMatrix, start.Matrix);
    }
    if (auto* f = dynamic_cast<TSWFMorphFocalGradientFill*>(tag->FillStyles[0].get())) {
      EXPECT_NEAR(f->StartFocalPointF(), 0.5, 0.01);
      EXPECT_NEAR(f->EndFocalPointF(), -0.5, 0.01);
    }
    if (auto* t2 = dynamic_cast<TSWFDefineMorphShape2*>(tag)) {
      EXPECT_EQ(t2->StartEdgeBounds, TSWFRect(0, 0, 1000, 1000));
      if (!t2->LineStyles.empty()) {
        const auto& line = dynamic_cast<const TSWFMorphLineStyle2&>(*t2->LineStyles[0]);
        EXPECT_EQ(line.JoinStyle, 1);
        EXPECT_TRUE(t2->UsesNonScalingStrokes);
        EXPECT_EQ(t2->StartBounds, TSWFRect(-30, -30, 1030, 1030));
      }
    }
  }
}

TEST(MorphShape, BitmapFillMorphsItsMatrixAndPrecedesTheImage) {
  TPixelMovie movie;
  TFlashMorphShape& morph = movie.AddMorphShape();
  TFlashImage& image = movie.AddImage();
  // A BMP of one red pixel.
  image.LoadDataFromStream(Hex("424d3a00000000000000360000002800000001000000010000000100200000000000040000"
                               "00000000000000000000000000000000000000ffff"));
  morph.StartShape().SetBounds(0, 0, 10, 10);
  morph.StartShape().SetImageFill(image, ifmFit);
  morph.StartShape().Edges().Rectangle(10, 10);
  morph.EndShape().SetBounds(0, 0, 40, 20);
  morph.EndShape().SetImageFill(image, ifmFit);
  morph.EndShape().Edges().Rectangle(40, 20);
  auto read = Reread(movie);
  ASSERT_GE(read->TagList.size(), 2u);
  EXPECT_EQ(read->TagList[1]->TagCode, 46);  // after the bitmap
  auto* tag = FindTag<TSWFDefineMorphShape>(*read, 46);
  ASSERT_TRUE(tag);
  const auto& fill = dynamic_cast<const TSWFMorphImageFill&>(*tag->FillStyles.at(0));
  EXPECT_EQ(fill.ID, image.CharacterId());
  EXPECT_NEAR(fill.StartMatrix.ScaleXf(), 200, 0.01);
  EXPECT_NEAR(fill.EndMatrix.ScaleXf(), 800, 0.01);
  EXPECT_NEAR(fill.EndMatrix.ScaleYf(), 400, 0.01);
}

// A line at one end against a curve at the other: both written as curves, the line's control
// point halfway along it.
TEST(MorphShape, LineAgainstCurveBecomesTwoCurves) {
  TPixelMovie movie;
  TFlashMorphShape& morph = movie.AddMorphShape();
  morph.StartShape().SetSolidColor(TSWFRGB{0, 0, 0});
  morph.StartShape().Edges().LineTo(10, 0);
  morph.StartShape().Edges().LineTo(0, 0);
  morph.EndShape().SetSolidColor(TSWFRGB{0, 0, 0});
  morph.EndShape().Edges().CurveTo(5, 5, 10, 0);
  morph.EndShape().Edges().LineTo(0, 0);
  const auto tag = morph.BuildTag();
  EXPECT_EQ(Kinds(tag->StartEdges), "mcl");
  EXPECT_EQ(Kinds(tag->EndEdges), "mcl");
  const auto& line = static_cast<const TSWFCurvedEdgeRecord&>(*tag->StartEdges[1]);
  EXPECT_EQ(line.ControlX, 100);
  EXPECT_EQ(line.ControlY, 0);
  EXPECT_EQ(line.AnchorX, 100);
}

TEST(MorphShape, EndsThatDoNotPairUpAreRefused) {
  struct TCase {
    const char* What;
    void (*End)(TFlashShape&);
    const char* Message;
  };
  const TCase cases[] = {
      {"one edge more",
       [](TFlashShape& s) {
         s.SetSolidColor(TSWFRGB{0, 0, 0});
         s.Edges().Rectangle(10, 10);
         s.Edges().LineDelta(5, 5);
       },
       "the start has 5 edges and moves, the end 6"},
      {"a move for an edge",
       [](TFlashShape& s) {
         s.SetSolidColor(TSWFRGB{0, 0, 0});
         s.Edges().LineDelta(10, 0);
         s.Edges().MoveTo(3, 3);
         s.Edges().LineDelta(0, 10);
         s.Edges().LineDelta(-10, 0);
       },
       "record 3 is a move at one end and an edge at the other"},
      {"no fill",
       [](TFlashShape& s) { s.Edges().Rectangle(10, 10); },
       "the start has 1 fill styles, the end 0"},
      {"a gradient for a colour",
       [](TFlashShape& s) {
         s.SetLinearGradient(0xFF000000u, 0xFFFFFFFFu, 0);
         s.Edges().Rectangle(10, 10);
       },
       "fill style 1 is of another kind at the end"},
      {"a line style more",
       [](TFlashShape& s) {
         s.SetSolidColor(TSWFRGB{0, 0, 0});
         s.AddLineStyle(1, TSWFRGB{0, 0, 0});
         s.Edges().Rectangle(10, 10);
       },
       "the start has 0 line styles, the end 1"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TPixelMovie movie;
    TFlashMorphShape& morph = movie.AddMorphShape();
    morph.StartShape().SetSolidColor(TSWFRGB{0, 0, 0});
    morph.StartShape().Edges().Rectangle(10, 10);
    c.End(morph.EndShape());
    try {
      movie.BuildBody();
      ADD_FAILURE() << "built";
    } catch (const ESWFError& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("The start and end shapes of the morph shape do not match: ") + c.Message);
    }
  }
}

TEST(MorphShape, AssignCopiesBothEnds) {
  TPixelMovie movie;
  TFlashMorphShape& morph = movie.AddMorphShape();
  morph.StartShape().SetSolidColor(TSWFRGB{1, 2, 3});
  morph.StartShape().Edges().Rectangle(10, 10);
  morph.EndShape().SetSolidColor(TSWFRGB{4, 5, 6});
  morph.EndShape().Edges().MoveTo(5, 5);
  morph.EndShape().Edges().Rectangle(20, 20);
  TFlashMorphShape copy(&movie);
  copy.Assign(morph);
  EXPECT_EQ(copy.CharacterId(), morph.CharacterId());
  EXPECT_EQ(WriteBody(*morph.BuildTag()), WriteBody(*copy.BuildTag()));
  // Drawing on in the copy leaves the original alone and continues from the copied pen.
  copy.EndShape().Edges().LineDelta(1, 0);
  EXPECT_EQ(copy.EndShape().Edges().CurrentPos, (TPoint{120, 100}));
  EXPECT_EQ(morph.EndShape().Records.size() + 1, copy.EndShape().Records.size());
}

}  // namespace
}  // namespace tw::builder
