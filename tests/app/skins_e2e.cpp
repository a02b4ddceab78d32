// The bundled player skins played in a Flash runtime (Ruffle in headless Chromium, tests/e2e):
// a player movie made by BuildPlayerMovie from a built skin, with the songs inside as exported
// sprites (silent ones: what counts here is the player's timeline logic), reports through its
// trace lines what it plays; the buttons are clicked where the skin draws them.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdio>

#include "app/app_support.h"
#include "app/player_movie.h"
#include "app/templates.h"
#include "builder/external_movie.h"
#include "builder/font_engine.h"
#include "builder/movie.h"
#include "support/glyph_ink.h"
#include "swf/control_tags.h"
#include "swf/sprite.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using namespace tw::swf;

const fs::path kRunMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/run-movie.mjs";

struct Song {
  std::string file, title;
};

std::unique_ptr<TMusicFileList> Chain(const std::vector<Song>& songs) {
  std::unique_ptr<TMusicFileList> first;
  std::unique_ptr<TMusicFileList>* slot = &first;
  int n = 0;
  for (const Song& s : songs) {
    *slot = std::make_unique<TMusicFileList>();
    (*slot)->FileName = "/music/" + s.file + ".mp3";
    (*slot)->Title = s.title;
    (*slot)->Artist = "Ensemble";
    (*slot)->Position = ++n;
    slot = &(*slot)->Next;
  }
  return first;
}

// The player movie of a bundled skin ("compact.swf") with each song as an exported sprite of
// `frames` frames, named as the stage exports its music movies ("name.swf"). A staged player is
// embedded in a stage as publishing embeds it: a sprite whose fonts are renamed.
fs::path SkinPlayer(const fs::path& dir, const std::string& skin, const std::string& name,
                    const std::vector<Song>& songs, int frames, bool preview, const std::string& loop,
                    bool staged = false) {
  fs::create_directories(dir / "player");
  fs::copy_file(ProgramDir() / "player" / skin, dir / "player" / skin,
                fs::copy_options::overwrite_existing);
  const std::string folder = (dir / "player").string() + "/";
  auto info = ReadTemplateInfo(folder + skin);
  if (!info) throw std::runtime_error(skin + " has no parameters");
  for (TTemplateParam* p = info->FirstParam.get(); p; p = p->Next.get())
    if (p->Name == "Py.Loop") p->Value = loop;
  TStageSettings settings;
  settings.TemplateName = skin;
  settings.Template = info.get();
  settings.FrameRate = 24;
  auto chain = Chain(songs);
  RecordingHost host;
  auto movie = BuildPlayerMovie(settings, true, chain.get(), preview, host, folder);
  if (!movie) throw std::runtime_error("no player movie");

  std::vector<std::unique_ptr<TBasedSWFObject>> front;
  uint16_t id = 2000;
  for (const Song& s : songs) {
    auto sprite = std::make_unique<TSWFDefineSprite>();
    sprite->SpriteID = id;
    sprite->FrameCount = static_cast<uint16_t>(frames);
    for (int f = 0; f < frames; ++f) sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
    sprite->ControlTags.push_back(std::make_unique<TSWFEnd>());
    auto exported = std::make_unique<TSWFExportAssets>();
    exported->AddAsset(s.file + ".swf", id++);
    front.push_back(std::move(sprite));
    front.push_back(std::move(exported));
  }
  movie->ObjectList.insert(movie->ObjectList.begin(), std::make_move_iterator(front.begin()),
                           std::make_move_iterator(front.end()));
  movie->BuildBody();
  const fs::path file = dir / (name + ".swf");
  if (!staged) {
    movie->SaveToFile(file);
    return file;
  }
  swf::TMemoryStream bytes;
  movie->SaveToStream(bytes);
  const TRect& frame = movie->FrameRect();
  builder::TFlashMovie stage(0, 0, frame.Right - frame.Left, frame.Bottom - frame.Top, 24,
                             TSystemCoord::Twips);
  stage.SetVersion(movie->Version());
  builder::TFlashExternalMovie& player = stage.AddExternalMovie(bytes.Bytes(), builder::emSprite, true);
  player.SetFontPrefixSeed(1);
  stage.PlaceObject(*player.Sprite(), 1);
  stage.BuildBody();
  stage.SaveToFile(file);
  if (player.FontPrefix().empty()) throw std::runtime_error("the staged player's fonts kept their names");
  return file;
}

struct Played {
  int status;
  std::string out, err;
};

// With untilExpected the run goes on after waitMs until the expected lines came (or it times out).
Played Play(const fs::path& movie, int waitMs, const std::vector<std::string>& clicks,
            const std::vector<std::string>& expected, bool untilExpected = false) {
  std::vector<std::string> cmd = {"node", kRunMovie.string(), movie.string(), "--wait",
                                  std::to_string(waitMs), "--timeout", "30000", "--no-errors"};
  if (untilExpected) cmd.push_back("--until-expected");
  for (const std::string& c : clicks) {
    cmd.push_back("--click");
    cmd.push_back(c);
  }
  for (const std::string& e : expected) {
    cmd.push_back("--expect-trace");
    cmd.push_back(e);
  }
  const CommandResult r = RunCommand(cmd);
  return {r.status, r.out, r.err};
}

// The movie played until it traced `line` (or for 1.5 seconds, whichever is later), with a
// screenshot at the end written to png.
CommandResult PlayAndShoot(const fs::path& movie, const std::string& line, const fs::path& png) {
  return RunCommand({"node", kRunMovie.string(), movie.string(), "--wait", "1500", "--timeout", "30000",
                     "--until-expected", "--no-errors", "--expect-trace", line, "--screenshot", png.string()});
}

// A PNG's pixels as RGBA bytes, read by ffmpeg; empty when it cannot read it.
std::vector<uint8_t> RgbaOf(const fs::path& png) {
  const std::string raw = png.string() + ".rgba";
  if (RunCommand({"ffmpeg", "-v", "error", "-y", "-i", png.string(), "-f", "rawvideo", "-pix_fmt", "rgba", raw})
          .status != 0)
    return {};
  return ReadWholeFile(raw, 1u << 24);
}

const std::vector<Song> kSongs = {{"first song", "Alpha"}, {"second", "Bravo Ü"}, {"third", "Charlie"}};

TEST(SkinsInFlash, CompactBarListsPlaysAndFollowsItsButtons) {
  TempDir dir;
  // Songs of five seconds: long enough that only the clicks change the song.
  const fs::path movie = SkinPlayer(dir.path(), "compact.swf", "buttons", kSongs, 120, false, "Yes");
  const Played p = Play(movie, 4000, {"90,30@1500", "22,30@3000"},
                        {"tw: skin compact", "tw: track 1 Alpha", "tw: track 2 Bravo Ü",
                         "tw: track 3 Charlie", "tw: ready 3 autostart=yes loop=yes shuffle=no",
                         "tw: loading 1 first song.swf", "tw: playing 1 Alpha",
                         "tw: loading 2 second.swf", "tw: playing 2 Bravo Ü",
                         "tw: loading 1 first song.swf", "tw: playing 1 Alpha"});
  if (p.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  EXPECT_EQ(p.status, 0) << p.err << "\n" << p.out.substr(0, 4000);
  EXPECT_EQ(p.out.find("tw: ended"), std::string::npos);
}

TEST(SkinsInFlash, APreviewBuildDoesNotStartUntilPlayIsClicked) {
  TempDir dir;
  const fs::path movie = SkinPlayer(dir.path(), "compact.swf", "preview", kSongs, 120, true, "Yes");
  const Played idle = Play(movie, 1500, {}, {"tw: ready 3 autostart=no loop=no shuffle=no", "tw: idle 1"});
  if (idle.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  EXPECT_EQ(idle.status, 0) << idle.err << "\n" << idle.out.substr(0, 4000);
  EXPECT_EQ(idle.out.find("tw: playing"), std::string::npos);
  EXPECT_EQ(idle.out.find("tw: loading"), std::string::npos);

  const Played clicked = Play(movie, 2500, {"56,30@1000", "56,30@2000"},
                              {"tw: idle 1", "tw: playing 1 Alpha", "tw: paused 1"});
  EXPECT_EQ(clicked.status, 0) << clicked.err << "\n" << clicked.out.substr(0, 4000);
}

TEST(SkinsInFlash, TheEndOfTheLastSongWrapsWithLoopAndStopsWithout) {
  for (const std::string loop : {"Yes", "No"}) {
    SCOPED_TRACE(loop);
    TempDir dir;
    // Half a second a song.
    const fs::path movie = SkinPlayer(dir.path(), "compact.swf", "end", kSongs, 12, false, loop);
    std::vector<std::string> expected = {"tw: playing 1 Alpha", "tw: ended 1", "tw: playing 2 Bravo Ü",
                                         "tw: ended 2", "tw: playing 3 Charlie", "tw: ended 3"};
    expected.push_back(loop == "Yes" ? "tw: playing 1 Alpha" : "tw: stopped");
    const Played p = Play(movie, 3500, {}, expected);
    if (p.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    EXPECT_EQ(p.status, 0) << p.err << "\n" << p.out.substr(0, 4000);
    if (loop == "No") {
      EXPECT_EQ(p.out.find("tw: loading 1", p.out.find("tw: ended 3")), std::string::npos);
    }
  }
}

// A screenshot (RGBA, width x height) of a skin's player, staged as publishing stages it,
// playing one song with this title.
void ShootTitle(const std::string& skin, const std::u16string& title, int width, int height,
                std::vector<uint8_t>& rgba) {
  TempDir dir;
  const std::string utf8 = Utf16ToUtf8(title);
  const fs::path movie = SkinPlayer(dir.path(), skin, "title", {{"song", utf8}}, 120, false, "Yes", true);
  const fs::path png = dir.path() / "title.png";
  const CommandResult r = PlayAndShoot(movie, "tw: playing 1 " + utf8, png);
  if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  ASSERT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 4000);
  rgba = RgbaOf(png);
  ASSERT_EQ(rgba.size(), size_t(width) * height * 4);
}

// The pixels of a box of a screenshot that are ink: light (green at least 128) or dark.
std::vector<std::pair<int, int>> InkIn(const std::vector<uint8_t>& rgba, int width, const TInk& box, bool light) {
  std::vector<std::pair<int, int>> ink;
  for (int y = box.Top; y <= box.Bottom; ++y)
    for (int x = box.Left; x <= box.Right; ++x)
      if ((rgba[(size_t(y) * width + x) * 4 + 1] >= 128) == light) ink.emplace_back(x, y);
  return ink;
}

// The bundled skins carry the glyphs of their texts: an accented title is drawn in the skin's
// own DejaVu Sans, where and as large as FreeType draws it, in the fields the skin defines and in
// the playlist's rows, which its script makes at run time. The players are embedded as publishing
// embeds them, with their fonts renamed, so that a row that looks its font up under the skin's own
// name would fall back to the runtime's font.
TEST(SkinsInFlash, AnAccentedTitleShowsInTheSkinsOwnFont) {
  struct Case {
    std::string skin;
    int width, height;
    TInk field;            // the pixels searched for ink
    bool lightInk;         // light text on a dark ground, else dark on light
    int weight, size;      // of the face and in pixels
    double penX, top;      // the text's origin: the field's position plus its gutter of 2 pixels
    std::u16string shown;  // what the field shows of the title
  };
  const std::u16string title = u"\u00DCn\u00EFc\u00F8d\u00E9 S\u00F3ng";
  const std::vector<Case> cases = {
      // The title field: 172 x 19 pixels at (116, 5), white on the dark bar; the artist's line
      // begins below row 25.
      {"compact.swf", 360, 60, {116, 5, 287, 24}, true, 700, 13, 118, 7, title},
      // The first row's title: a field of 152 x 18 pixels at (4, 1) in the row at (8, 64), dark
      // on the marked row of the current song; the artist's field follows at x 164.
      {"playlist.swf", 320, 232, {12, 65, 163, 82}, false, 400, 12, 14, 67, u"1. " + title},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.skin);
    std::vector<uint8_t> rgba;
    ASSERT_NO_FATAL_FAILURE(ShootTitle(c.skin, title, c.width, c.height, rgba));

    TInk drawn;
    for (const auto& [x, y] : InkIn(rgba, c.width, c.field, c.lightInk)) drawn.Add(x, y);
    const builder::TPlatformFont face(builder::TLogFont{"DejaVu Sans", 0, c.weight});
    const double ascent = std::nearbyint(face.Ascent() / 1024.0 * c.size * 20) / 20;
    ExpectInkNear(drawn, FreeTypeInk(face.FileName(), c.shown, c.size, c.penX, c.top + ascent), "title");
  }
}

// Twelve songs of ten seconds: more than the playlist player shows at once.
std::vector<Song> TwelveSongs() {
  std::vector<Song> songs;
  for (int i = 1; i <= 12; ++i) songs.push_back({"s" + std::to_string(i), "Song " + std::to_string(i)});
  return songs;
}

// The controls followed by the pointer: drags ("X1,Y1>X2,Y2@MS": pressed, moved, released),
// the wheel ("X,Y~DY@MS") and clicks, at a time or once a line was traced ("@/REGEX/"), with the lines the player must trace in order and lines
// it must not trace. Songs of ten seconds: a drag to the middle of a seek bar is five seconds
// in whichever pixel it ends.
TEST(SkinsInFlash, TheControlsFollowThePointer) {
  struct Case {
    std::string name, skin;
    std::vector<Song> songs;
    std::vector<std::string> gestures, expected, absent;
  };
  const std::vector<Case> cases = {
      // The seek bar (116..286 at y 44) follows a drag and seeks once, where it is released.
      {"compact seek drag", "compact.swf", kSongs, {"130,47>201,47@/^tw: playing 1 /"},
       {"tw: playing 1 Alpha", "tw: seek 1 5"}, {"tw: seek 1 1"}},
      // Mute (304,47) and the volume bar (314..354): mute remembers the volume it silenced; a
      // drag past the bar's end is the full volume.
      {"compact volume and mute", "compact.swf", kSongs,
       {"304,47@/^tw: playing 1 /", "304,47@/^tw: volume 0$/", "320,47>359,47@/^tw: volume 80$/",
        "304,47@/^tw: volume 100$/", "304,47@/^tw: volume 0$/"},
       {"tw: playing 1 Alpha", "tw: volume 0", "tw: volume 80", "tw: volume 15", "tw: volume 100",
        "tw: volume 0", "tw: volume 100"},
       {}},
      {"playlist seek drag", "playlist.swf", kSongs, {"120,48>181,48@/^tw: playing 1 /"},
       {"tw: playing 1 Alpha", "tw: seek 1 5"}, {"tw: seek 1 0"}},
      {"playlist volume and mute", "playlist.swf", kSongs,
       {"262,48@/^tw: playing 1 /", "262,48@/^tw: volume 0$/", "278,48>319,48@/^tw: volume 80$/"},
       {"tw: volume 0", "tw: volume 80", "tw: volume 15", "tw: volume 100"}, {}},
      // Rows of 20 pixels from y 64: the wheel scrolls the list to its end, where the first row
      // is the fifth song and the last row (y 214) the twelfth.
      {"playlist wheel", "playlist.swf", TwelveSongs(), {"160,150~2000@/^tw: playing 1 /", "60,214@/^tw: scroll 5$/"},
       {"tw: playing 1 Song 1", "tw: scroll 5", "tw: playing 12 Song 12"}, {"tw: loading 8 "}},
      // The scroll bar (x 302..312) dragged from its top to its bottom does the same.
      {"playlist scroll bar drag", "playlist.swf", TwelveSongs(), {"307,70>307,223@/^tw: playing 1 /", "60,214@/^tw: scroll 5$/"},
       {"tw: playing 1 Song 1", "tw: scroll 5", "tw: playing 12 Song 12"}, {"tw: loading 8 "}},
      // Scrolled to the end, the list scrolls back to show the song that next starts: the
      // second song is then the first row, the third the second.
      {"playlist follows the song", "playlist.swf", TwelveSongs(),
       {"160,150~2000@/^tw: playing 1 /", "90,28@/^tw: scroll 5$/", "60,94@/^tw: scroll 2$/"},
       {"tw: scroll 5", "tw: loading 2 s2.swf", "tw: scroll 2", "tw: playing 3 Song 3"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path movie = SkinPlayer(dir.path(), c.skin, "controls", c.songs, 240, false, "Yes");
    const Played p = Play(movie, 3500, c.gestures, c.expected, true);
    if (p.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    EXPECT_EQ(p.status, 0) << p.err << "\n" << p.out.substr(0, 4000);
    for (const std::string& line : c.absent) EXPECT_EQ(p.out.find(line), std::string::npos) << line;
  }
}

// The round player has no room for a title but while the pointer is over its button: a light
// band then covers the dark ring's lower part (at 14,64) and holds the title in dark ink.
TEST(SkinsInFlash, TheRoundPlayerShowsTheTitleWhileThePointerIsOverIt) {
  TempDir dir;
  const fs::path movie = SkinPlayer(dir.path(), "round.swf", "round", kSongs, 240, false, "Yes");
  const fs::path png = dir.path() / "over.png";
  const CommandResult r =
      RunCommand({"node", (fs::path(TW_SOURCE_DIR) / "tests/e2e/pointer-movie.mjs").string(), movie.string(),
                  "14,64", "move:40,20", "shot:" + png.string(), "move:79,2"});
  if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<int> green;  // the green channel at 14,64: before, over the button, after
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    int red = 0, g = 0, blue = 0;
    if (std::sscanf(line.c_str(), "colors %d,%d,%d", &red, &g, &blue) == 3) green.push_back(g);
  }
  ASSERT_EQ(green.size(), 3u) << r.out;
  EXPECT_LT(green[0], 80) << "the ring";
  EXPECT_GT(green[1], 180) << "the band";
  EXPECT_LT(green[2], 80) << "the ring again";
  EXPECT_NE(r.out.find("trace tw: playing 1 Alpha"), std::string::npos) << r.out;

  const std::vector<uint8_t> rgba = RgbaOf(png);
  ASSERT_EQ(rgba.size(), size_t(80) * 80 * 4);
  TInk ink;  // dark pixels on the band
  for (int y = 58; y <= 70; ++y)
    for (int x = 6; x <= 74; ++x)
      if (rgba[(size_t(y) * 80 + x) * 4 + 1] < 100) ink.Add(x, y);
  EXPECT_FALSE(ink.Empty()) << "no title on the band";
}

// A title wider than its field is shortened with an ellipsis that fits inside the field: the
// ink ends within the field, its last columns are the ellipsis's dots on the baseline (not a
// letter cut by the field's edge), and it is where FreeType draws the longest start of the
// title that fits with the ellipsis.
TEST(SkinsInFlash, ALongTitleEndsInAnEllipsisWithinItsField) {
  struct Case {
    std::string skin;
    int width, height;
    TInk field;            // the field's pixels
    bool lightInk;         // light text on a dark ground, else dark on light
    double penX, top;      // the text's origin: the field's position plus its gutter of 2 pixels
  };
  const std::u16string title = u"Wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww";
  const std::vector<Case> cases = {
      {"compact.swf", 360, 60, {116, 5, 287, 21}, true, 118, 7},
      {"playlist.swf", 320, 232, {116, 6, 311, 22}, false, 118, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.skin);
    std::vector<uint8_t> rgba;
    ASSERT_NO_FATAL_FAILURE(ShootTitle(c.skin, title, c.width, c.height, rgba));

    TInk drawn;
    const std::vector<std::pair<int, int>> pixels = InkIn(rgba, c.width, c.field, c.lightInk);
    for (const auto& [x, y] : pixels) drawn.Add(x, y);
    const builder::TPlatformFont face(builder::TLogFont{"DejaVu Sans", 0, 700});
    const double baseline = c.top + std::nearbyint(face.Ascent() / 1024.0 * 13 * 20) / 20;
    const int inner = c.field.Right - 2;
    EXPECT_LE(drawn.Right, inner) << drawn;
    for (const auto& [x, y] : pixels) {
      if (x > drawn.Right - 3) {
        EXPECT_GE(y, baseline - 4) << x << "," << y << " is not a dot of the ellipsis";
      }
    }

    TInk expected;
    for (size_t n = title.size(); n > 0 && expected.Empty(); --n) {
      const TInk ink = FreeTypeInk(face.FileName(), title.substr(0, n) + u"\u2026", 13, c.penX, baseline);
      if (ink.Right <= inner) expected = ink;
    }
    ExpectInkNear(drawn, expected, "shortened title");
  }
}

}  // namespace
}  // namespace tw::test
