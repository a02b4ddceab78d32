// Morph shapes built by the builder, placed three times at the ratios 0, one half and 1 and
// played in a Flash runtime (Ruffle in headless Chromium, tests/e2e): each placement shows the
// outline and colours of its stage between the two ends, for a solid fill and a gradient.
#include <gtest/gtest.h>

#include <filesystem>

#include "builder/movie.h"
#include "builder/objects_support.h"

namespace tw::builder {
namespace {

namespace fs = std::filesystem;
using namespace tw::swf;
using namespace tw::test;

TEST(MorphShapeInFlash, ShowsTheStageOfItsRatio) {
  TempDir dir;
  TFlashMovie movie(0, 0, 300, 200, 12, TSystemCoord::Pix);
  movie.SetVersion(6);
  movie.BgColor() = {255, 255, 255};
  // From a red 20 x 20 square at (10, 40) to a blue 80 x 80 square at (10, 10); half way it is
  // a purple 50 x 50 square at (10, 25).
  TFlashMorphShape& morph = movie.AddMorphShape();
  morph.StartShape().SetSolidColor(TSWFRGB{255, 0, 0});
  morph.StartShape().Edges().MoveTo(10, 40);
  morph.StartShape().Edges().Rectangle(20, 20);
  morph.EndShape().SetSolidColor(TSWFRGB{0, 0, 255});
  morph.EndShape().Edges().MoveTo(10, 10);
  morph.EndShape().Edges().Rectangle(80, 80);
  // Below it, an 80 x 80 square whose gradient runs from black to white at the start and from
  // white to black at the end: grey throughout half way.
  TFlashMorphShape& gradient = movie.AddMorphShape();
  for (bool end : {false, true}) {
    TFlashShape& s = end ? gradient.EndShape() : gradient.StartShape();
    s.SetBounds(10, 110, 90, 190);
    s.SetLinearGradient(end ? 0xFFFFFFFFu : 0xFF000000u, end ? 0xFF000000u : 0xFFFFFFFFu, 0);
    s.Edges().MoveTo(10, 110);
    s.Edges().Rectangle(80, 80);
  }
  const uint16_t ratios[] = {0, 32768, 65535};
  uint16_t depth = 1;
  for (TFlashMorphShape* m : {&morph, &gradient})
    for (uint16_t i = 0; i < 3; ++i) {
      TFlashPlaceObject& place = movie.PlaceObject(*m, depth++);
      place.SetPosition(100 * i, 0);
      place.Ratio(ratios[i]);
    }
  movie.ShowFrame();
  movie.BuildBody();
  const fs::path file = dir / "morph.swf";
  movie.SaveToFile(file);
  const TRGBAImage shot = Screenshot(file, 300, 200);
  ASSERT_EQ(shot.Pixels.size(), 300u * 200 * 4);

  const TColour kRed{255, 0, 0}, kPurple{128, 0, 128}, kBlue{0, 0, 255}, kWhite{255, 255, 255};
  const TColour kDark{16, 16, 16}, kGrey{128, 128, 128}, kLight{239, 239, 239};
  const struct {
    int X, Y;
    TColour Colour;
    const char* What;
  } points[] = {
      {20, 50, kRed, "ratio 0, inside"},
      {35, 50, kWhite, "ratio 0, right of the small square"},
      {20, 35, kWhite, "ratio 0, above it"},
      {120, 30, kPurple, "ratio 1/2, near its top left"},
      {155, 70, kPurple, "ratio 1/2, near its bottom right"},
      {165, 50, kWhite, "ratio 1/2, right of it"},
      {120, 20, kWhite, "ratio 1/2, above it"},
      {215, 15, kBlue, "ratio 1, top left"},
      {285, 85, kBlue, "ratio 1, bottom right"},
      {205, 50, kWhite, "ratio 1, left of it"},
  };
  for (const auto& p : points) ExpectColour(shot, p.X, p.Y, p.Colour, 10, p.What);
  // Near the left and right ends of each gradient (a twentieth of the way in).
  const struct {
    int X;
    TColour Left, Right;
    const char* What;
  } gradients[] = {
      {0, kDark, kLight, "gradient at ratio 0"},
      {100, kGrey, kGrey, "gradient at ratio 1/2"},
      {200, kLight, kDark, "gradient at ratio 1"},
  };
  for (const auto& g : gradients) {
    ExpectColour(shot, g.X + 14, 150, g.Left, 24, g.What);
    ExpectColour(shot, g.X + 85, 150, g.Right, 24, g.What);
  }
}

}  // namespace
}  // namespace tw::builder
