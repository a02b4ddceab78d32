// Player movies played in a Flash runtime (Ruffle in headless Chromium, tests/e2e): the
// template's own script traces the variables the rebuilt movie hands it, and they must be
// exactly the values injected.
#include <filesystem>
#include <fstream>

#include "app/app_support.h"
#include "app/player_movie.h"
#include "app/playlist.h"
#include "support/template_movies.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

const fs::path kRunMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/run-movie.mjs";

// Plays a movie until it traced its last expected line, then a little longer so that a repeated
// line shows, and compares every line traced.
void ExpectTraces(const fs::path& movie, const std::vector<std::string>& lines) {
  const fs::path expected = movie.string() + ".traces";
  {
    std::ofstream out(expected, std::ios::binary);
    for (const std::string& l : lines) out << l << "\n";
  }
  // The last line may be too long for a command line: its start, as a pattern, does as well.
  std::string until = "^";
  for (char ch : TruncateUtf16(lines.back(), 40)) {
    if (std::string_view("\\^$.|?*+()[]{}/").find(ch) != std::string_view::npos) until += '\\';
    until += ch;
  }
  const CommandResult r = RunCommand({"node", kRunMovie.string(), movie.string(), "--until-match",
                                      until, "--wait", "600", "--timeout", "30000",
                                      "--expect-traces", expected.string(), "--no-errors"});
  if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  EXPECT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 4000);
}

struct Song {
  std::string file, title;
};

std::unique_ptr<TMusicFileList> Chain(const std::vector<Song>& songs) {
  std::unique_ptr<TMusicFileList> first;
  std::unique_ptr<TMusicFileList>* slot = &first;
  int n = 0;
  for (const Song& s : songs) {
    *slot = std::make_unique<TMusicFileList>();
    (*slot)->FileName = s.file;
    (*slot)->Title = s.title;
    (*slot)->Artist = "Ensemble Ö";
    (*slot)->Position = ++n;
    slot = &(*slot)->Next;
  }
  return first;
}

TEST(PlayerMovieInFlash, TheTemplatesScriptSeesTheInjectedValues) {
  TempDir dir;
  const std::string folder = (dir / "player").string();
  fs::create_directories(folder);
  WriteTemplate(dir / "player" / "skin.swf", TTemplateMovie{{UsualDefinition()}});
  auto info = ReadTemplateInfo(folder + "/skin.swf");
  ASSERT_TRUE(info);
  FindParam(*info, "Py.Title")->Value = "Ünïcødé 漢字 🎵";
  TStageSettings settings;
  settings.TemplateName = "skin.swf";
  settings.Template = info.get();
  settings.FrameRate = 15;
  settings.PlayPercent = 40;

  auto songs = Chain({{"/music/Für Elise.mp3", "Für Elise"}, {"/music/b & c.wav", "<b> & 'c'"}});
  std::vector<Song> many;
  for (int i = 0; i < 1200; ++i)
    many.push_back({"/music/track " + std::to_string(i) + ".mp3", "Über – a long title " + std::to_string(i)});
  auto longList = Chain(many);

  struct Case {
    const char* name;
    bool withMusic, preview;
    const TMusicFileList* songs;
  };
  const Case cases[] = {
      {"player and music files", false, false, nullptr},
      {"single player", true, false, songs.get()},
      {"preview", true, true, songs.get()},
      {"a playlist longer than one Push record", true, false, longList.get()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    auto movie = BuildPlayerMovie(settings, c.withMusic, c.songs, c.preview, host, folder);
    ASSERT_TRUE(movie);
    const fs::path file = dir / (std::string(c.name) + ".swf");
    movie->SaveToFile(file);

    const std::string autostart = c.preview ? "No" : "Yes";
    const std::string params =
        "<ParamsValue><Py.MovieFPS>15</Py.MovieFPS><Py.PlayPercent>40</Py.PlayPercent>"
        "<Py.Autostart>" + autostart + "</Py.Autostart><Py.Loop>" + autostart + "</Py.Loop>"
        "<Py.Volume>80</Py.Volume><Py.Color>0x336699</Py.Color><Py.Skin>dark</Py.Skin>"
        "<Py.Title>Ünïcødé 漢字 🎵</Py.Title></ParamsValue>";
    const std::string trackList =
        c.withMusic ? BuildTrackListXml(c.songs, host) : std::string("undefined");
    // The sprite placed before the main script in the frame runs its own script first.
    ExpectTraces(file, {"sprite", params, "60", c.withMusic ? "true" : "false", trackList});
  }
}

TEST(PlayerMovieInFlash, ThePreloadersScriptSeesItsParameters) {
  TempDir dir;
  const std::string folder = (dir / "preloader").string();
  fs::create_directories(folder);
  TTemplateMovie movie;
  movie.Constants = {Definition({{"Bg.Color", R"(type="color" default="0xFF8000")"},
                                 {"Bg.Label", "type=\"text\" default=\"Lädt …\""}})};
  movie.Traced = {"ParamsValue", "MAXWAITFRAME"};
  movie.SpriteTrace = "bar";
  WriteTemplate(dir / "preloader" / "bar.swf", movie);
  TPreloaderParams table;
  ASSERT_TRUE(ReadPreloaderParams(folder + "/bar.swf", table));
  table.Params[0].Value = "0x00CC00";
  TStageSettings settings;
  settings.PreloaderName = "bar.swf";
  settings.Preloader = &table;
  auto built = BuildPreloaderMovie(settings, folder);
  const fs::path file = dir / "preloader.swf";
  built->SaveToFile(file);
  ExpectTraces(file, {"bar", "<ParamsValue><Bg.Color>0x00CC00</Bg.Color><Bg.Label>Lädt …</Bg.Label></ParamsValue>",
                      "undefined"});
}

}  // namespace
}  // namespace tw::test
