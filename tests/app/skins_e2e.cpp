// The bundled player skins played in a Flash runtime (Ruffle in headless Chromium, tests/e2e):
// a player movie made by BuildPlayerMovie from a built skin, with the songs inside as exported
// sprites (silent ones: what counts here is the player's timeline logic), reports through its
// trace lines what it plays; the buttons are clicked where the skin draws them.
#include <filesystem>
#include <fstream>

#include "app/app_support.h"
#include "app/player_movie.h"
#include "app/templates.h"
#include "builder/font_engine.h"
#include "support/glyph_ink.h"
#include "swf/control_tags.h"
#include "swf/sprite.h"
#include "util/files.h"

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

// The player movie of the compact bar with each song as an exported sprite of `frames` frames,
// named as the stage exports its music movies ("name.swf").
fs::path CompactPlayer(const fs::path& dir, const std::string& name, const std::vector<Song>& songs,
                       int frames, bool preview, const std::string& loop) {
  fs::create_directories(dir / "player");
  fs::copy_file(ProgramDir() / "player" / "compact.swf", dir / "player" / "compact.swf",
                fs::copy_options::overwrite_existing);
  const std::string folder = (dir / "player").string() + "/";
  auto info = ReadTemplateInfo(folder + "compact.swf");
  if (!info) throw std::runtime_error("compact.swf has no parameters");
  for (TTemplateParam* p = info->FirstParam.get(); p; p = p->Next.get())
    if (p->Name == "Py.Loop") p->Value = loop;
  TStageSettings settings;
  settings.TemplateName = "compact.swf";
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
  movie->SaveToFile(file);
  return file;
}

struct Played {
  int status;
  std::string out, err;
};

Played Play(const fs::path& movie, int waitMs, const std::vector<std::string>& clicks,
            const std::vector<std::string>& expected) {
  std::vector<std::string> cmd = {"node", kRunMovie.string(), movie.string(), "--wait",
                                  std::to_string(waitMs), "--timeout", "30000", "--no-errors"};
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

const std::vector<Song> kSongs = {{"first song", "Alpha"}, {"second", "Bravo Ü"}, {"third", "Charlie"}};

TEST(SkinsInFlash, CompactBarListsPlaysAndFollowsItsButtons) {
  TempDir dir;
  // Songs of five seconds: long enough that only the clicks change the song.
  const fs::path movie = CompactPlayer(dir.path(), "buttons", kSongs, 120, false, "Yes");
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
  const fs::path movie = CompactPlayer(dir.path(), "preview", kSongs, 120, true, "Yes");
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
    const fs::path movie = CompactPlayer(dir.path(), "end", kSongs, 12, false, loop);
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

// The bundled skin carries the glyphs of its title: an accented title is drawn in the skin's
// own DejaVu Sans Bold, where and as large as FreeType draws it.
TEST(SkinsInFlash, AnAccentedTitleShowsInTheSkinsOwnFont) {
  TempDir dir;
  const std::string title = "\u00DCn\u00EFc\u00F8d\u00E9 S\u00F3ng";
  const fs::path movie = CompactPlayer(dir.path(), "title", {{"song", title}}, 120, false, "Yes");
  const fs::path png = dir.path() / "title.png";
  const CommandResult r =
      RunCommand({"node", kRunMovie.string(), movie.string(), "--wait", "1500", "--timeout", "30000",
                  "--no-errors", "--expect-trace", "tw: playing 1 " + title, "--screenshot", png.string()});
  if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  ASSERT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 4000);
  ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-y", "-i", png.string(), "-f", "rawvideo", "-pix_fmt",
                        "rgba", (png.string() + ".rgba")}).status, 0);
  const std::vector<uint8_t> rgba = ReadWholeFile(png.string() + ".rgba", 1u << 24);
  constexpr int kWidth = 360;
  ASSERT_EQ(rgba.size(), size_t(kWidth) * 60 * 4);

  // The title field: 172 x 19 pixels at (116, 5), white on the dark bar; the artist's line
  // begins below row 25.
  TInk drawn;
  for (int y = 5; y < 25; ++y)
    for (int x = 116; x < 288; ++x)
      if (rgba[(size_t(y) * kWidth + x) * 4 + 1] >= 128) drawn.Add(x, y);
  const builder::TPlatformFont bold(builder::TLogFont{"DejaVu Sans", 0, 700});
  const double ascent = std::nearbyint(bold.Ascent() / 1024.0 * 260) / 20;
  // An edit text keeps a gutter of 2 pixels inside its bounds.
  ExpectInkNear(drawn, FreeTypeInk(bold.FileName(), u"\u00DCn\u00EFc\u00F8d\u00E9 S\u00F3ng", 13, 118, 7 + ascent),
                "title");
}

}  // namespace
}  // namespace tw::test
