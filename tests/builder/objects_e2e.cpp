// Movies built from shapes, images, placements and an embedded corpus movie, played in a Flash
// runtime (Ruffle in headless Chromium, tests/e2e); the screenshot is checked pixel by pixel at
// known points, and the embedded movie against a screenshot of the same movie alone.
#include <gtest/gtest.h>

#include <filesystem>

#include "builder/movie.h"
#include "builder/objects_support.h"

namespace tw::builder {
namespace {

namespace fs = std::filesystem;
using namespace tw::swf;
using namespace tw::test;

const fs::path kRunMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/run-movie.mjs";

// A BMP file of 32-bit pixels (rows from the top in the picture, bottom-up in the file).
Bytes BMP32(const TRGBAImage& image) {
  Bytes b = {'B', 'M'};
  auto le32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const uint32_t size = uint32_t(image.Width) * image.Height * 4;
  le32(54 + size), le32(0), le32(54), le32(40), le32(uint32_t(image.Width)), le32(uint32_t(image.Height));
  b.insert(b.end(), {1, 0, 32, 0});
  for (int i = 0; i < 6; ++i) le32(0);
  for (int y = image.Height - 1; y >= 0; --y)
    for (int x = 0; x < image.Width; ++x) {
      const uint8_t* p = image.At(x, y);
      b.insert(b.end(), {p[2], p[1], p[0], p[3]});
    }
  return b;
}

TEST(ObjectsInFlash, ShapesImagesPlacementsAndAnEmbeddedMovie) {
  TempDir dir;
  const fs::path corpusMovie = CorpusFile("swf", "swfcrate__PlaceObject2-ClipActionsV5-CS6.swf");
  const TRGBAImage alone = Screenshot(corpusMovie, 550, 400);

  TFlashMovie movie(0, 0, 400, 300, 12, TSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BgColor() = {255, 255, 255};
  uint16_t depth = 1;

  // A 100 x 50 red rectangle at (10, 20).
  TFlashShape& red = movie.AddRectangle(10, 20, 110, 70);
  red.SetSolidColor(TSWFRGB{255, 0, 0});
  movie.PlaceObject(red, depth++);

  // A 2 x 2 picture, stretched to 80 x 80 and tiled at 10 pixels a pixel.
  TRGBAImage four{2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 0, 255}};
  TFlashImage& picture = movie.AddImage();
  picture.LoadDataFromStream(BMP32(four));
  TFlashShape& stretched = movie.AddRectangle(200, 20, 280, 100);
  stretched.SetImageFill(picture, ifmFit);
  movie.PlaceObject(stretched, depth++);
  TFlashShape& tiled = movie.AddRectangle(300, 20, 380, 60);
  tiled.SetImageFill(picture, ifmTile, 10, 10);
  movie.PlaceObject(tiled, depth++);

  // A 20 x 10 green bar at (60, 150), scaled 200 % and turned by 90 degrees.
  TFlashShape& bar = movie.AddRectangle(0, 0, 20, 10);
  bar.SetSolidColor(TSWFRGB{0, 160, 0});
  TFlashPlaceObject& turned = movie.PlaceObject(bar, depth++);
  turned.SetPosition(60, 150);
  turned.SetScale(2, 2);
  turned.SetRotate(90);

  // Green pixels, the right half of them transparent, over a blue square.
  TFlashShape& blue = movie.AddRectangle(150, 130, 250, 230);
  blue.SetSolidColor(TSWFRGB{0, 0, 255});
  movie.PlaceObject(blue, depth++);
  TRGBAImage glass{40, 40, {}};
  for (int i = 0; i < 40 * 40; ++i)
    glass.Pixels.insert(glass.Pixels.end(), {0, 255, 0, static_cast<uint8_t>(i % 40 < 20 ? 255 : 0)});
  TFlashImage& translucent = movie.AddImage();
  translucent.LoadDataFromStream(BMP32(glass));
  EXPECT_TRUE(translucent.HasAlpha());
  TFlashShape& glassShape = movie.AddShapeImage(translucent);
  movie.PlaceObject(glassShape, depth++).SetPosition(180, 160);

  // The corpus movie as a sprite at (280, 150).
  TFlashExternalMovie& external = movie.AddExternalMovie(corpusMovie, emSprite, true);
  movie.PlaceObject(*external.Sprite(), depth++).SetPosition(280, 150);
  movie.ShowFrame();

  movie.BuildBody();
  const fs::path file = dir / "objects.swf";
  movie.SaveToFile(file);
  const TRGBAImage shot = Screenshot(file, 400, 300);
  ASSERT_EQ(shot.Pixels.size(), 400u * 300 * 4);

  // The rectangle covers exactly its 100 x 50 pixels.
  int redPixels = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 150; ++x) {
      const uint8_t* p = shot.At(x, y);
      const bool inside = x >= 10 && x < 110 && y >= 20 && y < 70;
      const bool isRed = p[0] > 250 && p[1] < 5 && p[2] < 5;
      redPixels += isRed;
      if (inside != isRed) ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
    }
  EXPECT_EQ(redPixels, 5000);

  const TColour kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0}, kWhite{255, 255, 255};
  ExpectColour(shot, 220, 40, kRed, 24, "stretched, top left");
  ExpectColour(shot, 260, 40, kGreen, 24, "stretched, top right");
  ExpectColour(shot, 220, 80, kBlue, 24, "stretched, bottom left");
  ExpectColour(shot, 260, 80, kYellow, 24, "stretched, bottom right");
  ExpectColour(shot, 290, 60, kWhite, 4, "beside the stretched image");
  for (int tile = 0; tile < 4; ++tile) {
    const int x = 300 + tile * 20;
    ExpectColour(shot, x + 5, 25, kRed, 40, "tile, red");
    ExpectColour(shot, x + 15, 25, kGreen, 40, "tile, green");
    ExpectColour(shot, x + 5, 35, kBlue, 40, "tile, blue");
    ExpectColour(shot, x + 15, 55, kYellow, 40, "tile, yellow (second row)");
  }

  // The matrix turns positive angles counter-clockwise on the screen: the 40 x 20 bar stands
  // upright, 20 wide right of its origin and 40 tall above it.
  const TColour kBar{0, 160, 0};
  int barPixels = 0;
  for (int y = 90; y < 170; ++y)
    for (int x = 30; x < 100; ++x) {
      const uint8_t* p = shot.At(x, y);
      const bool inside = x >= 60 && x < 80 && y >= 110 && y < 150;
      const bool isBar = p[0] < 5 && std::abs(p[1] - 160) < 5 && p[2] < 5;
      barPixels += isBar;
      if (inside != isBar) ADD_FAILURE() << "bar pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
    }
  EXPECT_EQ(barPixels, 800);
  ExpectColour(shot, 70, 130, kBar, 4, "turned bar");

  // The image's opaque half covers the blue square, its transparent half shows it.
  ExpectColour(shot, 190, 180, {0, 255, 0}, 4, "opaque half of the image");
  ExpectColour(shot, 210, 180, kBlue, 4, "transparent half of the image");
  ExpectColour(shot, 160, 140, kBlue, 4, "blue beside the image");

  // The embedded movie looks as it does alone.
  ASSERT_EQ(alone.Pixels.size(), 550u * 400 * 4);
  int differing = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) {
      const uint8_t* a = alone.At(x, y);
      const uint8_t* b = shot.At(280 + x, 150 + y);
      if (std::abs(a[0] - b[0]) > 8 || std::abs(a[1] - b[1]) > 8 || std::abs(a[2] - b[2]) > 8) ++differing;
    }
  EXPECT_EQ(differing, 0);
  const uint8_t* pink = alone.At(25, 25);
  EXPECT_GT(pink[0], 200);  // it drew something: the square is pink
  EXPECT_LT(pink[1], 200);
}

// The lines a movie traces within a second of play.
std::string Traces(const fs::path& movie) {
  const CommandResult r = RunCommand(
      {"sh", "-c",
       "node \"$0\" \"$1\" --wait 1500 --timeout 30000 | node -e '"
       "let s=\"\";process.stdin.on(\"data\",d=>s+=d).on(\"end\",()=>"
       "process.stdout.write(JSON.parse(s).traces.join(\"\\n\")))'",
       kRunMovie.string(), movie.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

// AVM1 test movies whose scripts do not depend on being the root trace the same lines inside a
// host, embedded as a sprite with renumbered ids, as alone.
TEST(ObjectsInFlash, EmbeddedScriptsTraceAsAlone) {
  TempDir dir;
  for (const char* name : {"avm1__add2__test.swf", "avm1__greater_swf6__test.swf"}) {
    SCOPED_TRACE(name);
    const fs::path source = CorpusFile("swf", name);
    const std::string alone = Traces(source);
    ASSERT_GT(alone.size(), 100u);

    TFlashMovie host(0, 0, 200, 200, 12, TSystemCoord::Pix);
    host.AddRectangle(0, 0, 10, 10).SetSolidColor(TSWFRGB{0, 0, 0});
    TFlashExternalMovie& external = host.AddExternalMovie(source, emSprite, true);
    // The player runs a movie's scripts by the version of the root movie.
    host.SetVersion(external.Reader().Version());
    host.PlaceObject(*host.Shapes[0], 1);
    host.PlaceObject(*external.Sprite(), 2);
    host.ShowFrame();
    host.BuildBody();
    const fs::path file = dir / name;
    host.SaveToFile(file);
    EXPECT_EQ(Traces(file), alone);
  }
}

}  // namespace
}  // namespace tw::builder
