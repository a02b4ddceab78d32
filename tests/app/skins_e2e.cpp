// The bundled player skins played in a Flash runtime (Ruffle in headless Chromium, tests/e2e):
// a player movie made by BuildPlayerMovie from a built skin reports through its trace lines what
// it plays; the buttons are clicked where the skin draws them. Songs inside the movie are silent
// exported sprites (what counts is the player's timeline logic); songs beside it are short MP3
// files made by sox and lame, listed in the playlist file publishing writes.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/app_support.h"
#include "app/player_movie.h"
#include "app/playlist.h"
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

// What a song of the playlist is: a sprite inside the movie, or a file beside it; or nothing
// (listed, but neither exported nor written), or bytes that are no song at all.
enum class Source { Sprite, Mp3, Missing, Garbage };

struct Song {
  std::string file, title;
  Source source = Source::Sprite;
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

struct Player {
  std::string skin;                                         // "compact.swf"
  std::vector<Song> songs;
  int frames = 120;                                         // of every sprite song, at 24 fps
  std::vector<std::pair<std::string, std::string>> params = {};  // template parameters set
  bool preview = false;
  bool outer = false;  // the songs lie beside the movie
  int playPercent = 0;
  bool staged = false;  // embedded in a stage as publishing embeds it, its fonts renamed
  TMusicFormat format = TMusicFormat::MP3;  // of the songs beside it
};

// A second of a tone as an MP3 file, made by sox and lame.
void WriteMp3(const fs::path& file) {
  const fs::path wav = file.string() + ".wav";
  const CommandResult tone = RunCommand({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav.string(),
                                         "synth", "1", "sine", "440", "vol", "0.1"});
  if (tone.status != 0) throw std::runtime_error("sox: " + tone.err);
  const CommandResult mp3 = RunCommand({"lame", "--quiet", "-b", "64", wav.string(), file.string()});
  if (mp3.status != 0) throw std::runtime_error("lame: " + mp3.err);
  fs::remove(wav);
}

// The player movie of a bundled skin (named `name`.swf in dir). Songs inside are exported
// sprites named as the stage exports its music movies ("name.swf"); songs beside it are listed
// in `name`.xml as publishing writes it.
fs::path SkinPlayer(const fs::path& dir, const std::string& name, const Player& spec) {
  fs::create_directories(dir / "player");
  fs::copy_file(ProgramDir() / "player" / spec.skin, dir / "player" / spec.skin,
                fs::copy_options::overwrite_existing);
  const std::string folder = (dir / "player").string() + "/";
  auto info = ReadTemplateInfo(folder + spec.skin);
  if (!info) throw std::runtime_error(spec.skin + " has no parameters");
  for (const auto& [param, value] : spec.params) {
    TTemplateParam* p = info->FirstParam.get();
    while (p && p->Name != param) p = p->Next.get();
    if (!p) throw std::runtime_error(spec.skin + " has no parameter " + param);
    p->Value = value;
  }
  TStageSettings settings;
  settings.TemplateName = spec.skin;
  settings.Template = info.get();
  settings.FrameRate = 24;
  settings.PlayPercent = spec.playPercent;
  auto chain = Chain(spec.songs);
  RecordingHost host;
  auto movie = BuildPlayerMovie(settings, !spec.outer, chain.get(), spec.preview, host, folder);
  if (!movie) throw std::runtime_error("no player movie");

  if (spec.outer) {
    TConvertOption options;
    options.Music = Chain(spec.songs);
    options.MusicFormat = spec.format;
    WritePlaylistFile((dir / (name + ".xml")).string(), options, host);
    if (!host.Errors.empty()) throw std::runtime_error(host.Errors.front());
  }
  std::vector<std::unique_ptr<TBasedSWFObject>> front;
  uint16_t id = 2000;
  for (const Song& s : spec.songs) {
    const fs::path beside = dir / SongFileName(s.file, spec.format);
    if (s.source == Source::Mp3) {
      if (spec.format != TMusicFormat::MP3) throw std::runtime_error("only MP3 songs are made");
      WriteMp3(beside);
    }
    if (s.source == Source::Garbage) {
      const std::string junk(20000, 'x');
      WriteWholeFile(beside, std::span(reinterpret_cast<const uint8_t*>(junk.data()), junk.size()));
    }
    if (s.source != Source::Sprite) continue;
    auto sprite = std::make_unique<TSWFDefineSprite>();
    sprite->SpriteID = id;
    sprite->FrameCount = static_cast<uint16_t>(spec.frames);
    for (int f = 0; f < spec.frames; ++f) sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
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
  if (!spec.staged) {
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

// Plays the movie for waitMs with clicks ("X,Y@MS"), expecting these trace lines in this order
// (waiting on for them up to half a minute on a slow machine).
Played Play(const fs::path& movie, int waitMs, const std::vector<std::string>& clicks,
            const std::vector<std::string>& expected, bool noErrors = true) {
  std::vector<std::string> cmd = {"node", kRunMovie.string(), movie.string(), "--wait",
                                  std::to_string(waitMs), "--timeout", "30000", "--until-expected"};
  if (noErrors) cmd.push_back("--no-errors");
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

// The traced lines of run-movie's JSON report ("traces": [...]), as they stand in it.
std::string TracesOf(const std::string& report) {
  const size_t from = report.find("\"traces\"");
  const size_t to = report.find(']', from);
  return from == std::string::npos ? std::string() : report.substr(from, to - from);
}

const std::vector<Song> kSongs = {{"first song", "Alpha"}, {"second", "Bravo Ü"}, {"third", "Charlie"}};

// Every bundled player, clicked and left to play: the lines it must trace, in this order, and a
// line it must not trace after a given one (or at all).
TEST(SkinsInFlash, ThePlayersFollowTheirButtonsAndTheirList) {
  struct Never {
    std::string after;  // from the start when empty
    std::string line;   // a line starting so must not follow
  };
  struct Case {
    std::string what;
    Player player;
    int waitMs;  // at least; then until the expected lines came
    std::vector<std::string> clicks;  // as run-movie takes them: "X,Y@MS", "X,Y@/REGEX/", drags
    std::vector<std::string> expected;
    Never never;
  };
  const std::vector<std::pair<std::string, std::string>> noLoop = {{"Py.Loop", "No"}};
  // A song fails inside the movie when it is not exported, beside it when it is not there or
  // holds no song.
  const std::vector<Song> gap = {{"first song", "Alpha"}, {"second", "Bravo Ü", Source::Missing}, {"third", "Charlie"}};
  const std::vector<Song> beside = {{"one", "One", Source::Mp3},
                                    {"gone", "Gone", Source::Missing},
                                    {"junk", "Junk", Source::Garbage},
                                    {"two", "Two", Source::Mp3}};
  const std::vector<Song> lost = {{"gone", "Gone", Source::Missing}, {"junk", "Junk", Source::Garbage}};
  const std::vector<Case> cases = {
      // Songs of five seconds: only the clicks change the song.
      {"next and previous",
       {"compact.swf", kSongs},
       4000,
       {"90,30@1500", "22,30@3000"},
       {"tw: skin compact", "tw: track 1 Alpha", "tw: track 2 Bravo Ü", "tw: track 3 Charlie",
        "tw: ready 3 autostart=yes loop=yes shuffle=no", "tw: loading 1 first song.swf", "tw: playing 1 Alpha",
        "tw: loading 2 second.swf", "tw: playing 2 Bravo Ü", "tw: loading 1 first song.swf", "tw: playing 1 Alpha"},
       {"", "tw: ended"}},
      {"a preview waits for play, then pauses",
       {"compact.swf", kSongs, 120, {}, true},
       2500,
       {"56,30@1000", "56,30@2000"},
       {"tw: ready 3 autostart=no loop=no shuffle=no", "tw: idle 1", "tw: loading 1 first song.swf",
        "tw: playing 1 Alpha", "tw: paused 1"},
       {"", "tw: loading 2"}},
      {"a playlist row plays its song",
       {"playlist.swf", kSongs},
       2500,
       {"60,114@1500"},
       {"tw: skin playlist", "tw: playing 1 Alpha", "tw: loading 3 third.swf", "tw: playing 3 Charlie"},
       {"", "tw: loading 2"}},
      {"the round button pauses",
       {"round.swf", kSongs},
       2500,
       {"40,40@1500"},
       {"tw: skin round", "tw: playing 1 Alpha", "tw: paused 1"},
       {"", "tw: loading 2"}},
      {"the round button set to the next song",
       {"round.swf", kSongs, 120, {{"Py.Click", "Next song"}}},
       2500,
       {"40,40@1500"},
       {"tw: playing 1 Alpha", "tw: loading 2 second.swf", "tw: playing 2 Bravo Ü"},
       {"", "tw: paused"}},
      // Songs of two seconds.
      {"the time that remains",
       {"compact.swf", kSongs, 48, {{"Py.TimeDisplay", "Remaining"}}},
       500,
       {},
       {"tw: playing 1 Alpha", "tw: time -0:02 / 0:02", "tw: time -0:01 / 0:02"},
       {"", "tw: time 0:01"}},
      {"the time gone by",
       {"playlist.swf", kSongs, 48},
       500,
       {},
       {"tw: playing 1 Alpha", "tw: time 0:00 / 0:02", "tw: time 0:01 / 0:02"},
       {"", "tw: time -"}},
      // Half a second a song.
      {"the end of the list wraps with Loop",
       {"compact.swf", kSongs, 12},
       1000,
       {},
       {"tw: playing 1 Alpha", "tw: ended 1", "tw: playing 2 Bravo Ü", "tw: ended 2", "tw: playing 3 Charlie",
        "tw: ended 3", "tw: loading 1 first song.swf", "tw: playing 1 Alpha"},
       {"", "tw: stopped"}},
      {"the end of the list stops without Loop",
       {"compact.swf", kSongs, 12, noLoop},
       1000,
       {},
       {"tw: playing 1 Alpha", "tw: ended 1", "tw: playing 2 Bravo Ü", "tw: ended 2", "tw: playing 3 Charlie",
        "tw: ended 3", "tw: stopped"},
       {"tw: ended 3", "tw: loading"}},
      {"a song missing from the movie is skipped",
       {"compact.swf", gap, 12, noLoop},
       1000,
       {},
       {"tw: playing 1 Alpha", "tw: ended 1", "tw: loading 2 second.swf", "tw: error 2 no sprite second.swf",
        "tw: notice Cannot play Bravo Ü", "tw: loading 3 third.swf", "tw: playing 3 Charlie", "tw: ended 3",
        "tw: stopped"},
       {"", "tw: playing 2"}},
      // Outer songs of a second, each played once half of it arrived.
      {"songs beside the movie stream; a missing and an unreadable one are skipped",
       {"playlist.swf", beside, 0, noLoop, false, true, 50},
       1000,
       {},
       {"tw: loading 1 one.mp3", "tw: playing 1 One", "tw: ended 1", "tw: loading 2 gone.mp3",
        "tw: error 2 cannot load gone.mp3", "tw: notice Cannot play Gone", "tw: loading 3 junk.mp3",
        "tw: error 3 cannot load junk.mp3", "tw: notice Cannot play Junk", "tw: loading 4 two.mp3",
        "tw: playing 4 Two", "tw: ended 4", "tw: stopped"},
       {"", "tw: playing 2"}},
      {"a movie song that is no movie is skipped",
       {.skin = "round.swf", .songs = lost, .params = noLoop, .outer = true, .format = TMusicFormat::SWF},
       1000,
       {},
       {"tw: loading 1 gone.swf", "tw: error 1 nothing arrived from gone.swf", "tw: notice Cannot play Gone",
        "tw: loading 2 junk.swf", "tw: error 2 nothing arrived from junk.swf", "tw: notice No song could be played", "tw: stopped"},
       {"", "tw: playing"}},
      {"when no song can be played the player stops with a notice",
       {"compact.swf", lost, 0, {}, false, true},
       1000,
       {},
       {"tw: ready 2 autostart=yes loop=yes shuffle=no", "tw: error 1 cannot load gone.mp3",
        "tw: notice Cannot play Gone", "tw: error 2 cannot load junk.mp3", "tw: notice No song could be played",
        "tw: stopped"},
       {"tw: stopped", "tw: loading"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path movie = SkinPlayer(dir.path(), "player", c.player);
    // A song that is not there is reported by the runtime or the browser as an error.
    const bool lacksSongs = std::ranges::any_of(c.player.songs, [](const Song& s) { return s.source == Source::Missing; });
    const Played p = Play(movie, c.waitMs, c.clicks, c.expected, !lacksSongs);
    if (p.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    EXPECT_EQ(p.status, 0) << p.err << "\n" << p.out.substr(0, 4000);
    const std::string traces = TracesOf(p.out);
    const size_t after = c.never.after.empty() ? 0 : traces.find("\"" + c.never.after + "\"");
    ASSERT_NE(after, std::string::npos) << traces;
    EXPECT_EQ(traces.find("\"" + c.never.line, after), std::string::npos) << traces;
  }
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
      // The first row: a field of 296 x 18 pixels at (4, 1) in the row at (8, 64), dark on the
      // marked row of the current song.
      {"playlist.swf", 320, 232, {12, 65, 307, 82}, false, 400, 12, 14, 67, u"1. " + title},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.skin);
    TempDir dir;
    const std::string utf8 = Utf16ToUtf8(title);
    const fs::path movie = SkinPlayer(dir.path(), "title", {.skin = c.skin, .songs = {{"song", utf8}}, .staged = true});
    const fs::path png = dir.path() / "title.png";
    const CommandResult r =
        RunCommand({"node", kRunMovie.string(), movie.string(), "--wait", "1500", "--timeout", "30000",
                    "--no-errors", "--expect-trace", "tw: playing 1 " + utf8, "--screenshot", png.string()});
    if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    ASSERT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 4000);
    ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-y", "-i", png.string(), "-f", "rawvideo", "-pix_fmt",
                          "rgba", (png.string() + ".rgba")}).status, 0);
    const std::vector<uint8_t> rgba = ReadWholeFile(png.string() + ".rgba", 1u << 24);
    ASSERT_EQ(rgba.size(), size_t(c.width) * c.height * 4);

    TInk drawn;
    for (int y = c.field.Top; y <= c.field.Bottom; ++y)
      for (int x = c.field.Left; x <= c.field.Right; ++x)
        if ((rgba[(size_t(y) * c.width + x) * 4 + 1] >= 128) == c.lightInk) drawn.Add(x, y);
    const builder::TPlatformFont face(builder::TLogFont{"DejaVu Sans", 0, c.weight});
    const double ascent = std::nearbyint(face.Ascent() / 1024.0 * c.size * 20) / 20;
    ExpectInkNear(drawn, FreeTypeInk(face.FileName(), c.shown, c.size, c.penX, c.top + ascent), "title");
  }
}

}  // namespace
}  // namespace tw::test
