// A button built by the builder, played in a Flash runtime (Ruffle in headless Chromium,
// tests/e2e): the mouse moves over it, presses and releases, and the stage shows the state the
// button is in while its scripts trace the events.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "builder/movie.h"
#include "builder/objects_support.h"

namespace tw::builder {
namespace {

namespace fs = std::filesystem;
using namespace tw::swf;
using namespace tw::test;

const fs::path kPointerMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/pointer-movie.mjs";

// What pointer-movie.mjs saw: the colours of the points per sample, the traces and errors.
struct TPointerRun {
  std::vector<std::vector<TColour>> Samples;
  std::vector<std::string> Traces, Errors;
};

TPointerRun RunPointer(const fs::path& movie, const std::string& points, const std::vector<std::string>& steps) {
  std::vector<std::string> argv = {"node", kPointerMovie.string(), movie.string(), points};
  argv.insert(argv.end(), steps.begin(), steps.end());
  const CommandResult r = RunCommand(argv);
  EXPECT_EQ(r.status, 0) << r.err;
  TPointerRun run;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("colors ", 0) == 0) {
      std::istringstream colours(line.substr(7));
      std::vector<TColour>& sample = run.Samples.emplace_back();
      for (std::string c; colours >> c;) {
        TColour colour{};
        char comma;
        std::istringstream(c) >> colour.R >> comma >> colour.G >> comma >> colour.B;
        sample.push_back(colour);
      }
    } else if (line.rfind("trace ", 0) == 0) {
      run.Traces.push_back(line.substr(6));
    } else if (line.rfind("error ", 0) == 0) {
      run.Errors.push_back(line.substr(6));
    }
  }
  return run;
}

bool Near(TColour a, TColour b) {
  return std::abs(a.R - b.R) <= 8 && std::abs(a.G - b.G) <= 8 && std::abs(a.B - b.B) <= 8;
}

std::string Text(TColour c) {
  return std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B);
}

TEST(ButtonInFlash, ShowsItsStatesAndRunsItsScripts) {
  TempDir dir;
  TFlashMovie movie(0, 0, 200, 100, 24, TSystemCoord::Pix);
  movie.SetVersion(6);
  movie.BgColor() = {255, 255, 255};
  TFlashButton& button = movie.AddButton();
  // Up: a red 100 x 50 rectangle, which is also the hit area. Over: the same rectangle turned
  // green by a colour transform. Down: a blue sprite 10 pixels to the right.
  TFlashShape& red = movie.AddRectangle(0, 0, 100, 50);
  red.SetSolidColor(TSWFRGB{255, 0, 0});
  TFlashShape& blue = movie.AddRectangle(0, 0, 100, 50);
  blue.SetSolidColor(TSWFRGB{0, 0, 255});
  TFlashSprite& blueSprite = movie.AddSprite(&blue);
  button.AddRecord(red, bsUp | bsHitTest);
  TSWFColorTransform& green = button.AddRecord(red, bsOver).ColorTransform();
  green.SetMultR(0), green.SetMultG(256), green.SetMultB(256), green.SetMultA(256);
  green.SetAddG(255);
  button.AddRecord(blueSprite, bsDown, 10, 0);
  ASSERT_TRUE(button.CompileActions("on(rollOver) { trace(\"over\"); }\n"
                                    "on(press) { trace(\"press\"); }\n"
                                    "on(release) { trace(\"release \" + (20 + 22)); }\n"
                                    "on(rollOut) { trace(\"out\"); }"))
      << movie.ErrorText();
  movie.PlaceObject(button, 1).SetPosition(50, 25);
  movie.ShowFrame();
  movie.BuildBody();
  const fs::path file = dir / "button.swf";
  movie.SaveToFile(file);

  // Inside the button, right of it where only the shifted down state reaches, and outside.
  const TPointerRun run = RunPointer(file, "100,50;155,50;20,50",
                                     {"move:100,50", "down", "up", "move:20,80"});
  EXPECT_TRUE(run.Errors.empty()) << run.Errors.front();
  const TColour kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};
  const struct {
    const char* State;
    TColour Inside, Right;
  } expected[] = {
      {"up, mouse away", kRed, kWhite},
      {"over", kGreen, kWhite},
      {"down", kBlue, kBlue},
      {"released: over again", kGreen, kWhite},
      {"mouse gone: up", kRed, kWhite},
  };
  ASSERT_EQ(run.Samples.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].State);
    ASSERT_EQ(run.Samples[i].size(), 3u);
    EXPECT_TRUE(Near(run.Samples[i][0], expected[i].Inside)) << Text(run.Samples[i][0]);
    EXPECT_TRUE(Near(run.Samples[i][1], expected[i].Right)) << Text(run.Samples[i][1]);
    EXPECT_TRUE(Near(run.Samples[i][2], kWhite)) << Text(run.Samples[i][2]);
  }
  EXPECT_EQ(run.Traces, (std::vector<std::string>{"over", "press", "release 42", "out"}));
}

// A button whose up state is a text of an embedded font and whose over (and down) state is
// another: hovering draws the other string where FreeType draws it, pressing runs the script.
TEST(ButtonInFlash, TextStatesChangeOnHover) {
  TempDir dir;
  TFlashMovie movie(0, 0, 300, 100, 24, TSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BgColor() = {255, 255, 255};
  TFlashFont& font = movie.AddFont();
  font.Name = "DejaVu Sans";
  font.Device = false;
  font.SetSize(32);
  const std::u16string up = u"Play", over = u"Stop now";
  TFlashText& upText = movie.AddText(up, 0xFF000000, &font, {20, 10}, 0);
  TFlashText& overText = movie.AddText(over, 0xFF000000, &font, {20, 10}, 0);
  // The hit area: the whole stage, so the pointer is over the button wherever the glyphs are.
  TFlashShape& area = movie.AddRectangle(0, 0, 300, 100);
  area.SetSolidColor(TSWFRGB{0, 0, 0});
  TFlashButton& button = movie.AddButton();
  button.AddRecord(upText, bsUp);
  button.AddRecord(overText, bsOver | bsDown);
  button.AddRecord(area, bsHitTest);
  ASSERT_TRUE(button.CompileActions("on(press) { trace(\"pressed\"); }")) << movie.ErrorText();
  movie.PlaceObject(button, 1);
  movie.ShowFrame();
  movie.BuildBody();
  const fs::path file = dir / "text-button.swf";
  movie.SaveToFile(file);

  const fs::path shots = fs::path(TW_SCREENSHOT_DIR) / "text-button";
  fs::create_directories(shots);
  const struct {
    const char* State;
    std::string Step;
    std::u16string Text;
  } states[] = {
      {"up", "", up},
      {"over", "move:150,50", over},
      {"down", "down", over},
  };
  std::vector<std::string> steps;
  for (const auto& s : states) {
    if (!s.Step.empty()) steps.push_back(s.Step);
    steps.push_back("shot:" + (shots / (std::string(s.State) + ".png")).string());
  }
  const TPointerRun run = RunPointer(file, "150,50", steps);
  EXPECT_TRUE(run.Errors.empty()) << run.Errors.front();
  EXPECT_EQ(run.Traces, (std::vector<std::string>{"pressed"}));

  const TPlatformFont face(TLogFont{"DejaVu Sans"});
  const double ascentPx = std::nearbyint(face.Ascent() / 1024.0 * 640) / 20;
  const TInk upInk = FreeTypeInk(face.FileName(), up, 32, 20, 10 + ascentPx);
  const TInk overInk = FreeTypeInk(face.FileName(), over, 32, 20, 10 + ascentPx);
  ASSERT_GT(overInk.Right - upInk.Right, 40);  // the strings tell apart by their width
  for (const auto& s : states) {
    SCOPED_TRACE(s.State);
    const TRGBAImage shot = DecodeWithFFmpeg(shots / (std::string(s.State) + ".png"), 300, 100);
    ASSERT_FALSE(shot.Pixels.empty());
    ExpectInkNear(DarkInk(shot, 0, 100), FreeTypeInk(face.FileName(), s.Text, 32, 20, 10 + ascentPx), s.State);
  }
}

}  // namespace
}  // namespace tw::builder
