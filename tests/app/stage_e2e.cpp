// Stage movies played in a Flash runtime (Ruffle in headless Chromium, tests/e2e): the pixels of
// screenshots show the background, the images at their positions, the turned player and the
// preloader where the stage composition puts them, and a transparent stage shows its page.
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app_support.h"
#include "app/playlist.h"
#include "app/stage_movie.h"
#include "app/templates.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

const fs::path kE2e = fs::path(TW_SOURCE_DIR) / "tests/e2e";

using Rgb = std::array<int, 3>;

struct Pixel {
  const char* what;
  int x, y;
  Rgb colour;
  int tolerance = 6;
};

// Colours of a screenshot, read by the harness's own PNG reader.
std::vector<Rgb> ReadPixels(const fs::path& png, const std::vector<Pixel>& at) {
  const std::string script =
      "import fs from 'node:fs';"
      "import { readPng } from '" + (kE2e / "lib/png.mjs").string() + "';"
      "const p = readPng(fs.readFileSync(process.argv[1]));"
      "for (const a of process.argv.slice(2)) {"
      "  const [x, y] = a.split(',').map(Number);"
      "  console.log(p.rgba(x, y).slice(0, 3).join(' '));"
      "}";
  std::vector<std::string> cmd = {"node", "--input-type=module", "-e", script, png.string()};
  for (const Pixel& p : at) cmd.push_back(std::to_string(p.x) + "," + std::to_string(p.y));
  const CommandResult r = RunCommand(cmd);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<Rgb> colours;
  std::istringstream lines(r.out);
  Rgb c{};
  while (lines >> c[0] >> c[1] >> c[2]) colours.push_back(c);
  return colours;
}

void ExpectPixels(const fs::path& png, const std::vector<Pixel>& want) {
  SCOPED_TRACE(png.filename().string());
  const std::vector<Rgb> got = ReadPixels(png, want);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(got[i][c], want[i].colour[c], want[i].tolerance)
          << want[i].what << " at (" << want[i].x << ", " << want[i].y << "): got "
          << ::testing::PrintToString(got[i]) << ", want " << ::testing::PrintToString(want[i].colour);
}

struct Played {
  int status;
  std::string out, err;
};

struct PlayOptions {
  int waitMs = 1000;
  std::string until;                             // then wait for this trace line
  std::vector<std::pair<fs::path, int>> shots;   // at ms after ready; -1: at the end
  std::vector<std::string> expected;             // trace lines, in this order
  std::string renderer;
};

// Plays a movie or page with run-movie.mjs.
Played Play(const fs::path& movie, const PlayOptions& o) {
  std::vector<std::string> cmd = {"node", (kE2e / "run-movie.mjs").string(), movie.string(),
                                  "--wait", std::to_string(o.waitMs), "--timeout", "30000",
                                  "--no-errors"};
  if (!o.until.empty()) cmd.insert(cmd.end(), {"--until", o.until});
  if (!o.renderer.empty()) cmd.insert(cmd.end(), {"--renderer", o.renderer});
  for (const auto& [file, atMs] : o.shots)
    cmd.insert(cmd.end(), {"--screenshot", file.string() + (atMs < 0 ? "" : "@" + std::to_string(atMs))});
  for (const std::string& e : o.expected) cmd.insert(cmd.end(), {"--expect-trace", e});
  const CommandResult r = RunCommand(cmd);
  return {r.status, r.out, r.err};
}

// A play that ran and whose expectations held; else why not.
::testing::AssertionResult PlayedWell(const Played& p) {
  if (p.status == -1)
    return ::testing::AssertionFailure() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  if (p.status != 0) return ::testing::AssertionFailure() << p.err << "\n" << p.out.substr(0, 4000);
  return ::testing::AssertionSuccess();
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

const TStageFolders& Bundled() {
  static const TStageFolders folders = BundledStageFolders();
  return folders;
}

const Rgb kBackground = {0x99, 0x66, 0x33};
const Rgb kPlayerFace = {0xE0, 0xC0, 0x20};
const Rgb kPreloader = {0x40, 0xC0, 0x80};

struct StageInFlash : StageFixture {
  std::vector<std::unique_ptr<TImageEntry>> entries;
  std::unique_ptr<TMusicFileList> song;

  StageInFlash() : StageFixture(400, 300) {
    s.PlayerPosition = TPlayerPosition::Custom;
    s.FgImagesOn = s.BgImagesOn = true;
    // The player's face in a colour of its own (the skin tints it from this parameter).
    for (TTemplateParam* p = info->FirstParam.get(); p; p = p->Next.get())
      if (p->Name == "Py.BgColor") p->Value = "0xE0C020";
  }
  TPreloaderParams pre;
  // The bar preloader, 220 x 44, on a background of its own colour.
  void UsePreloader() {
    ASSERT_TRUE(ReadPreloaderParams(Bundled().Preloader + "bar.swf", pre));
    for (TPreloaderParam& p : pre.Params)
      if (p.Name == "Bg.BgColor") p.Value = "0x40C080";
    s.PreloaderOn = true;
    s.PreloaderName = "bar.swf";
    s.Preloader = &pre;
  }
  TImageEntry& Entry(const fs::path& file, TImagePosition position) {
    entries.push_back(std::make_unique<TImageEntry>());
    entries.back()->File = file.string();
    entries.back()->Position = position;
    return *entries.back();
  }
  // With a short song inside, as a single player carries its songs: the player then looks for
  // no playlist beside it.
  fs::path Build(const std::string& name) {
    const fs::path target = dir / name;
    if (!song) {
      song = std::make_unique<TMusicFileList>();
      song->FileName = (dir / "song.wav").string();
      song->Title = "Song";
      song->Position = 1;
      MakeSong(song->FileName, 1);
    }
    options.FrameRate = s.FrameRate;
    BuildStageMovie(s, target.string(), true, song.get(), dir.path().string() + "/", false,
                    options, ctx, Bundled());
    EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
    return target;
  }
};


// The preloader's frame, the first: its colour over the whole stage. At one frame a second it
// lasts long enough to be seen.
TEST_F(StageInFlash, PreloaderShowsInTheFirstFrame) {
  UsePreloader();
  s.FrameRate = 1;
  const fs::path movie = Build("slow.swf");
  const fs::path shot = dir / "first.png";
  PlayOptions o;
  o.waitMs = 0;
  o.until = "tw: preloader done";
  o.shots = {{shot, -1}};
  const Played p = Play(movie, o);
  ASSERT_TRUE(PlayedWell(p));
  ExpectPixels(shot, {{"preloader background", 5, 5, kPreloader},
                      {"preloader background", 395, 295, kPreloader},
                      {"preloader background, not the player yet", 110, 30, kPreloader}});
}

// The stage after its preloader, staying on its frame: images at Center (a PNG, half of it at
// 40 % alpha) and Custom (a GIF, half of it its transparent colour, twice its size), the player
// at half its size turned by 90 degrees. WebGL draws the partly transparent pixels as Flash does.
TEST_F(StageInFlash, BackgroundImagesAndTurnedPlayerAfterThePreloader) {
  const fs::path png = dir / "halves.png", gif = dir / "half.gif";
  std::vector<std::string> args = FlatColour("C82828FF", 30, 40);
  for (std::string& a : FlatColour("28C82866", 30, 40)) args.push_back(a);
  args.insert(args.end(), {"-filter_complex", "[0][1]hstack=2,format=rgba", "-update", "1",
                           png.string()});
  Ffmpeg(args);
  args = FlatColour("1E3CDCFF", 20, 20);
  for (std::string& a : FlatColour("00000000", 20, 20)) args.push_back(a);
  args.insert(args.end(), {"-filter_complex",
                           "[0][1]hstack=2,split[a][b];[a]palettegen=reserve_transparent=1[p];"
                           "[b][p]paletteuse",
                           gif.string()});
  Ffmpeg(args);

  UsePreloader();
  s.Left = 340;
  s.Top = 250;
  s.XScale = s.YScale = 50;
  s.Rotation = 90;
  TImageEntry& custom = Entry(gif, TImagePosition::Custom);
  custom.Left = custom.Top = 20;
  custom.XScale = custom.YScale = 200;
  s.FgImages = {&Entry(png, TImagePosition::Center), &custom};
  const fs::path movie = Build("stage.swf");

  const fs::path shot = dir / "stage.png";
  PlayOptions o;
  o.waitMs = 1500;
  o.shots = {{shot, -1}};
  o.expected = {"tw: skin compact"};
  o.renderer = "webgl";
  const Played p = Play(movie, o);
  ASSERT_TRUE(PlayedWell(p));
  // Once in 36 frames: the stage does not go back to the preloader's frame (which leaves as
  // soon as the stage's frame has arrived, whatever percent it showed).
  EXPECT_EQ(Count(p.out, "\"tw: skin compact\""), 1u) << p.out.substr(0, 4000);
  EXPECT_LT(p.out.find("\"tw: preloader "), p.out.find("\"tw: skin compact\"")) << p.out.substr(0, 4000);

  // 40 % of (40, 200, 40) over the background.
  const Rgb blended = {static_cast<int>(0.4 * 40 + 0.6 * 0x99), static_cast<int>(0.4 * 200 + 0.6 * 0x66),
                       static_cast<int>(0.4 * 40 + 0.6 * 0x33)};
  ExpectPixels(shot, {
      {"empty corner", 5, 295, kBackground},
      {"empty corner", 395, 5, kBackground},
      // Center: 60 x 40 at (170, 130).
      {"centred image, opaque half", 180, 150, {200, 40, 40}},
      {"centred image, 40 % half", 220, 150, blended},
      {"left of the centred image", 165, 150, kBackground},
      {"below the centred image", 200, 175, kBackground},
      // Custom: 80 x 40 at (20, 20); its right half is the GIF's transparent colour.
      {"custom GIF, opaque half", 40, 40, {0x1E, 0x3C, 0xDC}},
      {"custom GIF, transparent half", 80, 40, kBackground},
      {"right of the custom GIF", 105, 40, kBackground},
      // The player, 180 x 30 after its half scale, turned: its (x, y) lands at
      // (340 + y / 2, 250 - x / 2), from x 340 to 370 and y 70 to 250.
      {"turned player face", 355, 195, kPlayerFace},
      {"turned player face", 356, 104, kPlayerFace},
      {"left of the turned player", 330, 150, kBackground},
      {"below the turned player", 355, 260, kBackground},
  });
}

// Stretch and Tile: a BMP stretched over the whole stage below the player, a PNG tiled above it
// (a small opaque square in a transparent tile), a JPEG in the middle above both.
TEST_F(StageInFlash, StretchedAndTiledImages) {
  const fs::path bmp = dir / "back.bmp", tile = dir / "tile.png", jpeg = dir / "middle.jpg";
  std::vector<std::string> args = FlatColour("C87828FF", 40, 30);
  args.insert(args.end(), {"-pix_fmt", "bgr24", "-update", "1", bmp.string()});
  Ffmpeg(args);
  args = FlatColour("1414C8FF", 10, 10);
  args.insert(args.end(), {"-vf", "pad=50:50:0:0:color=0x00000000,format=rgba", "-update", "1",
                           tile.string()});
  Ffmpeg(args);
  args = FlatColour("1EC8C8FF", 40, 40);
  args.insert(args.end(), {"-update", "1", jpeg.string()});
  Ffmpeg(args);

  s.Left = 0;
  s.Top = 240;  // the player lies along the bottom, out of the way
  s.BgImages = {&Entry(bmp, TImagePosition::Stretch)};
  s.FgImages = {&Entry(tile, TImagePosition::Tile), &Entry(jpeg, TImagePosition::Center)};
  const fs::path movie = Build("images.swf");
  const fs::path shot = dir / "images.png";
  PlayOptions o;
  o.shots = {{shot, -1}};
  const Played p = Play(movie, o);
  ASSERT_TRUE(PlayedWell(p));

  const Rgb stretched = {200, 120, 40}, square = {20, 20, 200};
  ExpectPixels(shot, {
      // The tile's square every 50 pixels, from the stage's corner.
      {"tile square", 5, 5, square},
      {"tile square", 55, 5, square},
      {"tile square", 355, 105, square},
      {"tile square", 105, 205, square},
      {"tile square", 395 - 40, 5, square},
      // Between them the stretched picture, to the stage's edges.
      {"stretched picture", 30, 30, stretched, 10},
      {"stretched picture", 392, 8, stretched, 10},
      {"stretched picture", 75, 125, stretched, 10},
      {"stretched picture", 392, 292, stretched, 10},
      {"stretched picture", 395, 235, stretched, 10},
      {"centred JPEG over the tiles", 200, 150, {0x1E, 0xC8, 0xC8}, 12},
      {"player", 110, 270, kPlayerFace},
  });
}

// A transparent stage on its page, the embed element as published (wmode transparent): where
// nothing is drawn, the page's own colour shows.
TEST_F(StageInFlash, TransparentStageShowsThePage) {
  s.SolidBackground = 0;
  s.Left = 0;
  s.Top = 0;
  Build("clear.swf");
  const fs::path page = dir / "clear.html";
  WriteHtmlPage("clear.swf", page.string(), true, s.Width, s.Height);
  std::string html = ReadText(page);
  ASSERT_NE(html.find("transparent"), std::string::npos) << html;
  const size_t body = html.find("<body>");
  ASSERT_NE(body, std::string::npos) << html;
  html.replace(body, 6, "<body style=\"background: #2a9d3c; margin: 0\">");
  std::ofstream(page, std::ios::binary) << html;

  const fs::path shot = dir / "clear.png";
  PlayOptions o;
  o.shots = {{shot, -1}};
  const Played p = Play(page, o);
  ASSERT_TRUE(PlayedWell(p));
  const Rgb pageColour = {0x2a, 0x9d, 0x3c};
  ExpectPixels(shot, {{"page through the stage", 200, 200, pageColour},
                      {"page through the stage", 395, 295, pageColour},
                      {"player", 110, 30, kPlayerFace}});
}

}  // namespace
}  // namespace tw::test
