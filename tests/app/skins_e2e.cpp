// The bundled player skins played in a Flash runtime (Ruffle in headless Chromium, tests/e2e):
// a player movie made by BuildPlayerMovie from a built skin reports through its trace lines what
// it plays; the buttons are clicked where the skin draws them. Songs inside the movie are silent
// exported sprites (what counts is the player's timeline logic); songs beside it are short MP3
// files made by sox and lame, listed in the playlist file publishing writes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdio>
#include <cstdlib>

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
fs::path SkinPlayer(const fs::path& dir, const std::string& name, const Player& setup) {
  fs::create_directories(dir / "player");
  fs::copy_file(ProgramDir() / "player" / setup.skin, dir / "player" / setup.skin,
                fs::copy_options::overwrite_existing);
  const std::string folder = (dir / "player").string() + "/";
  auto info = ReadTemplateInfo(folder + setup.skin);
  if (!info) throw std::runtime_error(setup.skin + " has no parameters");
  for (const auto& [param, value] : setup.params) {
    TTemplateParam* p = info->FirstParam.get();
    while (p && p->Name != param) p = p->Next.get();
    if (!p) throw std::runtime_error(setup.skin + " has no parameter " + param);
    p->Value = value;
  }
  TStageSettings settings;
  settings.TemplateName = setup.skin;
  settings.Template = info.get();
  settings.FrameRate = 24;
  settings.PlayPercent = setup.playPercent;
  auto chain = Chain(setup.songs);
  RecordingHost host;
  auto movie = BuildPlayerMovie(settings, !setup.outer, chain.get(), setup.preview, host, folder);
  if (!movie) throw std::runtime_error("no player movie");

  if (setup.outer) {
    TConvertOption options;
    options.Music = Chain(setup.songs);
    options.MusicFormat = setup.format;
    WritePlaylistFile((dir / (name + ".xml")).string(), options, host);
    if (!host.Errors.empty()) throw std::runtime_error(host.Errors.front());
  }
  std::vector<std::unique_ptr<TBasedSWFObject>> front;
  uint16_t id = 2000;
  for (const Song& s : setup.songs) {
    const fs::path beside = dir / SongFileName(s.file, setup.format);
    if (s.source == Source::Mp3) {
      if (setup.format != TMusicFormat::MP3) throw std::runtime_error("only MP3 songs are made");
      WriteMp3(beside);
    }
    if (s.source == Source::Garbage) {
      const std::string junk(20000, 'x');
      WriteWholeFile(beside, std::span(reinterpret_cast<const uint8_t*>(junk.data()), junk.size()));
    }
    if (s.source != Source::Sprite) continue;
    auto sprite = std::make_unique<TSWFDefineSprite>();
    sprite->SpriteID = id;
    sprite->FrameCount = static_cast<uint16_t>(setup.frames);
    for (int f = 0; f < setup.frames; ++f) sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
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
  if (!setup.staged) {
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

// Twelve songs of ten seconds: more than the playlist player shows at once.
std::vector<Song> TwelveSongs() {
  std::vector<Song> songs;
  for (int i = 1; i <= 12; ++i) songs.push_back({"s" + std::to_string(i), "Song " + std::to_string(i)});
  return songs;
}

// Every bundled player, clicked and left to play: the lines it must trace, in this order, and a
// line it must not trace after a given one (or at all).
TEST(SkinsInFlash, ThePlayersFollowTheirButtonsAndTheirList) {
  struct Never {
    std::string after;  // from the start when empty
    std::string line;   // a line starting so must not follow (none when empty)
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
      // The controls that follow the pointer, on songs of ten seconds (a drag to the middle of a
      // seek bar is five seconds in whichever pixel it ends): drags "X1,Y1>X2,Y2" (pressed,
      // moved, released) and the wheel "X,Y~DY", each once the player traced what it follows.
      // The seek bar (116..286 at y 44) follows a drag and seeks once, where it is released.
      {"compact seek drag",
       {.skin = "compact.swf", .songs = kSongs, .frames = 240},
       3500,
       {"130,47>201,47@/^tw: playing 1 /"},
       {"tw: playing 1 Alpha", "tw: seek 1 5"},
       {"", "tw: seek 1 1"}},
      // Mute (304,47) and the volume bar (314..354): mute remembers the volume it silenced; a
      // drag past the bar's end is the full volume.
      {"compact volume and mute",
       {.skin = "compact.swf", .songs = kSongs, .frames = 240},
       3500,
       {"304,47@/^tw: playing 1 /", "304,47@/^tw: volume 0$/", "320,47>359,47@/^tw: volume 80$/",
        "304,47@/^tw: volume 100$/", "304,47@/^tw: volume 0$/"},
       {"tw: playing 1 Alpha", "tw: volume 0", "tw: volume 80", "tw: volume 15", "tw: volume 100",
        "tw: volume 0", "tw: volume 100"},
       {}},
      {"playlist seek drag",
       {.skin = "playlist.swf", .songs = kSongs, .frames = 240},
       3500,
       {"120,48>181,48@/^tw: playing 1 /"},
       {"tw: playing 1 Alpha", "tw: seek 1 5"},
       {"", "tw: seek 1 0"}},
      {"playlist volume and mute",
       {.skin = "playlist.swf", .songs = kSongs, .frames = 240},
       3500,
       {"262,48@/^tw: playing 1 /", "262,48@/^tw: volume 0$/", "278,48>319,48@/^tw: volume 80$/"},
       {"tw: volume 0", "tw: volume 80", "tw: volume 15", "tw: volume 100"},
       {}},
      // The modern card: previous (122,76), play/pause (164,76), next (206,76), mute (282,76),
      // the volume bar 296..344 at y 76 and the seek bar 16..250 at y 108.
      {"modern next and previous",
       {"modern.swf", kSongs},
       4000,
       {"206,76@1500", "122,76@3000"},
       {"tw: skin modern", "tw: track 1 Alpha", "tw: track 2 Bravo Ü", "tw: track 3 Charlie",
        "tw: ready 3 autostart=yes loop=yes shuffle=no", "tw: loading 1 first song.swf", "tw: playing 1 Alpha",
        "tw: loading 2 second.swf", "tw: playing 2 Bravo Ü", "tw: loading 1 first song.swf", "tw: playing 1 Alpha"},
       {"", "tw: ended"}},
      {"modern play button pauses and resumes",
       {"modern.swf", kSongs},
       2500,
       {"164,76@/^tw: playing 1 /", "164,76@/^tw: paused 1$/"},
       {"tw: playing 1 Alpha", "tw: paused 1", "tw: resumed 1"},
       {"", "tw: loading 2"}},
      // Half of 234 pixels from the bar's start is five seconds of ten.
      {"modern seek drag",
       {.skin = "modern.swf", .songs = kSongs, .frames = 240},
       3500,
       {"30,108>133,108@/^tw: playing 1 /"},
       {"tw: playing 1 Alpha", "tw: seek 1 5"},
       {"", "tw: seek 1 0"}},
      // A press a quarter into the volume bar is 25; a drag past its end the full volume.
      {"modern volume and mute",
       {.skin = "modern.swf", .songs = kSongs, .frames = 240},
       3500,
       {"282,76@/^tw: playing 1 /", "282,76@/^tw: volume 0$/", "308,76>356,76@/^tw: volume 80$/",
        "282,76@/^tw: volume 100$/", "282,76@/^tw: volume 0$/"},
       {"tw: playing 1 Alpha", "tw: volume 0", "tw: volume 80", "tw: volume 25", "tw: volume 100",
        "tw: volume 0", "tw: volume 100"},
       {}},
      {"modern time that remains",
       {"modern.swf", kSongs, 48, {{"Py.TimeDisplay", "Remaining"}}},
       500,
       {},
       {"tw: playing 1 Alpha", "tw: time -0:02 / 0:02", "tw: time -0:01 / 0:02"},
       {"", "tw: time 0:01"}},
      {"modern skips a song missing from the movie",
       {"modern.swf", gap, 12, noLoop},
       1000,
       {},
       {"tw: playing 1 Alpha", "tw: ended 1", "tw: loading 2 second.swf", "tw: error 2 no sprite second.swf",
        "tw: notice Cannot play Bravo Ü", "tw: loading 3 third.swf", "tw: playing 3 Charlie", "tw: ended 3",
        "tw: stopped"},
       {"", "tw: playing 2"}},
      // Rows of 20 pixels from y 64: the wheel scrolls the list to its end, where the first row
      // is the fifth song and the last row (y 214) the twelfth.
      {"playlist wheel",
       {.skin = "playlist.swf", .songs = TwelveSongs(), .frames = 240},
       3500,
       {"160,150~2000@/^tw: playing 1 /", "60,214@/^tw: scroll 5$/"},
       {"tw: playing 1 Song 1", "tw: scroll 5", "tw: playing 12 Song 12"},
       {"", "tw: loading 8 "}},
      // The scroll bar (x 302..312) dragged from its top to its bottom does the same.
      {"playlist scroll bar drag",
       {.skin = "playlist.swf", .songs = TwelveSongs(), .frames = 240},
       3500,
       {"307,70>307,223@/^tw: playing 1 /", "60,214@/^tw: scroll 5$/"},
       {"tw: playing 1 Song 1", "tw: scroll 5", "tw: playing 12 Song 12"},
       {"", "tw: loading 8 "}},
      // Scrolled to the end, the list scrolls back to show the song that next starts: the
      // second song is then the first row, the third the second.
      {"playlist follows the song",
       {.skin = "playlist.swf", .songs = TwelveSongs(), .frames = 240},
       3500,
       {"160,150~2000@/^tw: playing 1 /", "90,28@/^tw: scroll 5$/", "60,94@/^tw: scroll 2$/"},
       {"tw: scroll 5", "tw: loading 2 s2.swf", "tw: scroll 2", "tw: playing 3 Song 3"},
       {}},
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
    if (c.never.line.empty()) continue;
    ASSERT_NE(after, std::string::npos) << traces;
    EXPECT_EQ(traces.find("\"" + c.never.line, after), std::string::npos) << traces;
  }
}

// A screenshot (RGBA, width x height) of a skin's player, staged as publishing stages it,
// playing one song with this title.
void ShootTitle(const std::string& skin, const std::u16string& title, int width, int height,
                std::vector<uint8_t>& rgba) {
  TempDir dir;
  const std::string utf8 = Utf16ToUtf8(title);
  const fs::path movie = SkinPlayer(dir.path(), "title", {.skin = skin, .songs = {{"song", utf8}}, .staged = true});
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
      // The modern card's title: 244 x 22 pixels at (102, 16) in bold 16 pixels, light on the
      // dark card; the artist's line begins at row 40.
      {"modern.swf", 360, 128, {102, 16, 345, 38}, true, 700, 16, 104, 18, title},
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


// The modern card's gradients drawn in white and grey are multiplied by its colour parameters:
// the card is its background colour at the top, darker towards the bottom; the play button's
// face is the accent colour. Pixels are taken right of the light that falls from the top left.
TEST(SkinsInFlash, TheModernCardIsShadedInItsColours) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> params;
    uint32_t bg, accent;
  };
  const std::vector<Case> cases = {
      {{}, 0x272B45, 0x7B61FF},
      {{{"Py.BgColor", "0x336699"}, {"Py.AccentColor", "0xFF8000"}}, 0x336699, 0xFF8000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bg);
    TempDir dir;
    const fs::path movie = SkinPlayer(dir.path(), "modern", {.skin = "modern.swf", .songs = kSongs, .frames = 240,
                                                             .params = c.params});
    const fs::path png = dir.path() / "modern.png";
    const CommandResult r = PlayAndShoot(movie, "tw: playing 1 Alpha", png);
    if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    ASSERT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 4000);
    // TW_SHOTS=DIR keeps the screenshots there, for a person to look at.
    if (const char* shots = std::getenv("TW_SHOTS"))
      fs::copy_file(png, fs::path(shots) / ("modern-" + std::to_string(c.bg) + ".png"),
                    fs::copy_options::overwrite_existing);
    const std::vector<uint8_t> rgba = RgbaOf(png);
    ASSERT_EQ(rgba.size(), size_t(360) * 128 * 4);
    // The colour times the gradient's shade there, channel by channel.
    auto expectShade = [&](int x, int y, uint32_t colour, double shade, const char* what) {
      for (int channel = 0; channel < 3; ++channel) {
        const double expected = ((colour >> (16 - 8 * channel)) & 0xFF) * shade;
        EXPECT_NEAR(rgba[(size_t(y) * 360 + x) * 4 + channel], expected, 14)
            << what << " at " << x << "," << y << " channel " << channel;
      }
    };
    // The card runs from white to 0x8A (54 %) from row 0 to row 128.
    expectShade(330, 6, c.bg, 1 - 0.46 * 6.5 / 128, "the card's top");
    expectShade(330, 121, c.bg, 1 - 0.46 * 121.5 / 128, "the card's bottom");
    // The face runs from white to 0xB4 (71 %) over its 40 pixels from row 56.
    expectShade(164, 61, c.accent, 1 - 0.29 * 5.5 / 40, "the play button");
  }
}

// The round player has no room for a title but while the pointer is over its button: a light
// band then covers the dark ring's lower part (at 14,64) and holds the title in dark ink.
TEST(SkinsInFlash, TheRoundPlayerShowsTheTitleWhileThePointerIsOverIt) {
  TempDir dir;
  const fs::path movie = SkinPlayer(dir.path(), "round", {.skin = "round.swf", .songs = kSongs, .frames = 240});
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
    int size = 13;         // of the bold title, in pixels
  };
  const std::u16string title = u"Wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww";
  const std::vector<Case> cases = {
      {"compact.swf", 360, 60, {116, 5, 287, 21}, true, 118, 7},
      {"playlist.swf", 320, 232, {116, 6, 311, 22}, false, 118, 8},
      {"modern.swf", 360, 128, {102, 16, 345, 37}, true, 104, 18, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.skin);
    std::vector<uint8_t> rgba;
    ASSERT_NO_FATAL_FAILURE(ShootTitle(c.skin, title, c.width, c.height, rgba));

    TInk drawn;
    const std::vector<std::pair<int, int>> pixels = InkIn(rgba, c.width, c.field, c.lightInk);
    for (const auto& [x, y] : pixels) drawn.Add(x, y);
    const builder::TPlatformFont face(builder::TLogFont{"DejaVu Sans", 0, 700});
    const double baseline = c.top + std::nearbyint(face.Ascent() / 1024.0 * c.size * 20) / 20;
    const int inner = c.field.Right - 2;
    EXPECT_LE(drawn.Right, inner) << drawn;
    for (const auto& [x, y] : pixels) {
      if (x > drawn.Right - 3) {
        EXPECT_GE(y, baseline - 4) << x << "," << y << " is not a dot of the ellipsis";
      }
    }

    TInk expected;
    for (size_t n = title.size(); n > 0 && expected.Empty(); --n) {
      const TInk ink = FreeTypeInk(face.FileName(), title.substr(0, n) + u"\u2026", c.size, c.penX, baseline);
      if (ink.Right <= inner) expected = ink;
    }
    ExpectInkNear(drawn, expected, "shortened title");
  }
}

}  // namespace
}  // namespace tw::test
