// What a visitor gets: songs made by sox and lame, published by tunewright-cli publish as a user
// runs it, for every publish option and music format, and the published HTML page opened in a
// Flash runtime (Ruffle in headless Chromium, tests/e2e). The bundled compact bar reports what it
// does through its trace lines ("tw: ...", skins/README.md); its buttons are clicked where the
// stage shows them, and the page is looked at where it shows the bar.
#include <filesystem>
#include <optional>

#include "support/testing.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

const fs::path kRunMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/run-movie.mjs";
std::string Cli() { return (ProgramDir() / "tunewright-cli").string(); }

// The compact bar's buttons on its own stage (skins/README.md), and its size.
struct Point {
  int x, y;
};
constexpr Point kPrevious{22, 30}, kPlay{56, 30}, kNext{90, 30};
constexpr int kBarWidth = 360, kBarHeight = 60;
// A point of the bar's own background, away from its buttons, texts and bars.
constexpr Point kBarBackground{105, 50};

// Three songs of two seconds: two MP3 files with an ID3 title, and a WAV file, whose title is its
// file name. A name with a space shows the underscores of the outer file names.
struct Song {
  std::string file, title;
};
const std::vector<Song> kSongs = {{"first song.mp3", "Alpha"}, {"second.mp3", "Bravo Ü"}, {"third.wav", "third"}};
// Of a song's two seconds, what must have played before it ends.
constexpr double kLeastPlayMs = 1500;

void MakeSongs(const fs::path& dir) {
  int tone = 330;
  for (const Song& s : kSongs) {
    const fs::path song = dir / s.file;
    const bool mp3 = song.extension() == ".mp3";
    const fs::path wav = mp3 ? fs::path(song.string() + ".wav") : song;
    auto r = RunCommand({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav.string(), "synth",
                         "2", "sine", std::to_string(tone += 110)});
    ASSERT_EQ(r.status, 0) << r.err;
    if (!mp3) continue;
    r = RunCommand({"lame", "--silent", "-b", "64", wav.string(), song.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    fs::remove(wav);
    r = RunCommand({Cli(), "tag", song.string(), "--title", s.title, "--artist", "Ensemble"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
}

// One trace line of run-movie's report, with the time it came (ms since the movie was ready).
struct Traced {
  std::string line;
  double ms;
};

// Reads a JSON string literal at `at` (its opening quote) as JSON.stringify writes it.
std::optional<std::string> JsonString(const std::string& json, size_t& at) {
  if (at >= json.size() || json[at] != '"') return std::nullopt;
  std::string out;
  for (++at; at < json.size(); ++at) {
    char c = json[at];
    if (c == '"') {
      ++at;
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++at >= json.size()) break;
    switch (c = json[at]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'u': {
        if (at + 4 >= json.size()) return std::nullopt;
        const unsigned u = static_cast<unsigned>(std::stoul(json.substr(at + 1, 4), nullptr, 16));
        at += 4;
        // Only control characters are escaped; they are single UTF-8 bytes.
        out += u < 0x80 ? static_cast<char>(u) : '?';
        break;
      }
      default: out += c;
    }
  }
  return std::nullopt;
}

// The "traces" and "traceTimes" arrays of run-movie's report.
std::vector<Traced> TracesOf(const std::string& json) {
  std::vector<Traced> traced;
  size_t at = json.find("\"traces\": [");
  if (at == std::string::npos) return traced;
  at = json.find('[', at) + 1;
  while (true) {
    at = json.find_first_not_of(" \n,", at);
    if (at == std::string::npos || json[at] != '"') break;
    auto line = JsonString(json, at);
    if (!line) break;
    traced.push_back({*line, -1});
  }
  at = json.find("\"traceTimes\": [");
  if (at == std::string::npos) return traced;
  at = json.find('[', at) + 1;
  for (Traced& t : traced) {
    at = json.find_first_not_of(" \n,", at);
    if (at == std::string::npos || json[at] == ']') break;
    size_t used = 0;
    t.ms = std::stod(json.substr(at, 32), &used);
    at += used;
  }
  return traced;
}

struct Played {
  int status;
  std::string out, err;
  std::vector<Traced> traces;
  // How many lines start with `prefix`.
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const Traced& t : traces) n += t.line.rfind(prefix, 0) == 0;
    return n;
  }
  std::string Report() const { return err + "\n" + out.substr(0, 6000); }
};

// Opens a published page and plays it until every expected line came, in order.
Played PlayPage(const fs::path& page, const std::vector<std::string>& expected,
                const std::vector<std::string>& clicks, const std::vector<std::string>& pixels,
                int waitMs) {
  std::vector<std::string> cmd = {"node", kRunMovie.string(), page.string(), "--wait", std::to_string(waitMs),
                                  // The machine may be busy: loading and every awaited line get time.
                                  "--timeout", "60000", "--until-expected", "--no-errors"};
  for (const std::string& c : clicks) cmd.insert(cmd.end(), {"--click", c});
  for (const std::string& e : expected) cmd.insert(cmd.end(), {"--expect-trace", e});
  for (const std::string& p : pixels) cmd.insert(cmd.end(), {"--expect-pixel", p});
  const CommandResult r = RunCommand(cmd);
  return {r.status, r.out, r.err, TracesOf(r.out)};
}

// What a case looks for once the page plays.
enum class Check {
  // Autostart and Loop on: the first song plays; next and previous (clicked when a song
  // plays) change it; the end of the last song wraps to the first.
  ButtonsAndWrap,
  // Autostart and Loop off: the player waits on the first song until play is clicked, then
  // plays the list once and stops.
  IdleThenStop,
  // A page of one song (music-files): it plays and, with Loop, again.
  OneSongLoops,
};

struct Case {
  const char* name;
  std::string option;                // --option
  std::string format = {};           // --format, of player-and-music
  std::vector<std::string> options;  // more for tunewright-cli publish, beyond the songs
  std::string page;                  // the page opened, in the output folder
  Check check;
  Point offset = {0, 0};             // where the stage shows the bar's top left corner
  std::string preloader = {};        // "bar" or "percent" when one is chosen
  std::vector<std::string> pixels = {};  // --expect-pixel checks of the page's end
};

// The published file names, as the playlist or the movie names the songs.
std::vector<std::string> Files(const std::string& option, const std::string& format) {
  if (option == "single") return {"first song.swf", "second.swf", "third.swf"};
  return {"first_song." + format, "second." + format, "third." + format};
}

std::string At(Point p, Point offset, const std::string& when) {
  return std::to_string(p.x + offset.x) + "," + std::to_string(p.y + offset.y) + "@" + when;
}

std::string Pixel(Point p, Point offset, const std::string& colour) {
  return std::to_string(p.x + offset.x) + "," + std::to_string(p.y + offset.y) + "=" + colour;
}

// A regular expression for a line that starts with `text`.
std::string StartsWith(const std::string& text) {
  std::string re = "^";
  for (char ch : text) {
    if (std::string_view("\\^$.|?*+()[]{}/").find(ch) != std::string_view::npos) re += '\\';
    re += ch;
  }
  return re;
}

std::vector<std::string> TrackLines() {
  std::vector<std::string> lines = {"tw: skin compact"};
  for (size_t i = 0; i < kSongs.size(); ++i)
    lines.push_back("tw: track " + std::to_string(i + 1) + " " + kSongs[i].title);
  return lines;
}

std::string Playing(size_t i) { return "tw: playing " + std::to_string(i + 1) + " " + kSongs[i].title; }
std::string Ended(size_t i) { return "tw: ended " + std::to_string(i + 1); }

const std::string kBarColor = "0x2E7D4F";  // the bar's background, tinted by its parameter
const std::string kStageColor = "0x663300";
// A stage larger than the bar, with the bar placed in its centre.
constexpr int kStageWidth = 400, kStageHeight = 120;
constexpr Point kCentred{(kStageWidth - kBarWidth) / 2, (kStageHeight - kBarHeight) / 2};

const Case kCases[] = {
    // The songs inside the player; a preloader; a stage larger than the bar with the bar in its
    // centre, where the clicks go and where the page shows the bar's colour.
    {.name = "single",
     .option = "single",
     .options = {"--ruffle", "off", "--preloader", "bar.swf", "--custom-size", "--width",
                 std::to_string(kStageWidth), "--height", std::to_string(kStageHeight),
                 "--player-position", "center", "--background", kStageColor, "--param",
                 "Py.BgColor=" + kBarColor},
     .page = "player.html",
     .check = Check::ButtonsAndWrap,
     .offset = kCentred,
     .preloader = "bar",
     .pixels = {Pixel(kBarBackground, kCentred, kBarColor), Pixel({5, 5}, {}, kStageColor),
                Pixel({kStageWidth - 5, kStageHeight - 5}, {}, kStageColor)}},
    {.name = "swf",
     .option = "player-and-music",
     .format = "swf",
     .options = {"--ruffle", "off"},
     .page = "player.html",
     .check = Check::ButtonsAndWrap},
    // The emulator copied beside the page: the page plays in its own copy.
    {.name = "mp3",
     .option = "player-and-music",
     .format = "mp3",
     .options = {"--ruffle", "copy", "--param", "Py.BgColor=" + kBarColor},
     .page = "player.html",
     .check = Check::ButtonsAndWrap,
     .pixels = {Pixel(kBarBackground, {}, kBarColor)}},
    {.name = "flv",
     .option = "player-and-music",
     .format = "flv",
     .options = {"--ruffle", "off", "--preloader", "percent.swf"},
     .page = "player.html",
     .check = Check::ButtonsAndWrap,
     .preloader = "percent"},
    {.name = "swf_idle_then_stop",
     .option = "player-and-music",
     .format = "swf",
     .options = {"--ruffle", "off", "--param", "Py.Autostart=No", "--param", "Py.Loop=No", "--name",
                 "idle.swf"},
     .page = "idle.html",
     .check = Check::IdleThenStop},
    {.name = "music_files",
     .option = "music-files",
     .options = {"--ruffle", "off"},
     .page = "second.html",
     .check = Check::OneSongLoops},
};

class PublishInFlash : public ::testing::TestWithParam<Case> {
 protected:
  TempDir dir;

  void SetUp() override { MakeSongs(dir.path()); }

  // tunewright-cli publish with the user's folders inside the temporary folder.
  fs::path Publish(const Case& c) {
    const fs::path out = dir / "out";
    std::vector<std::string> cmd = {"/usr/bin/env", "HOME=" + (dir / "home").string(),
                                    "XDG_DOCUMENTS_DIR=" + (dir / "docs").string(),
                                    "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                    Cli(), "publish"};
    for (const Song& s : kSongs) cmd.push_back((dir / s.file).string());
    cmd.insert(cmd.end(), {"--output-folder", out.string(), "--template", "compact.swf",
                           "--option", c.option});
    if (!c.format.empty()) cmd.insert(cmd.end(), {"--format", c.format});
    cmd.insert(cmd.end(), c.options.begin(), c.options.end());
    const CommandResult r = RunCommand(cmd);
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    return out / c.page;
  }
};

TEST_P(PublishInFlash, ThePagePlaysTheSongsAndFollowsTheButtons) {
  const Case& c = GetParam();
  const fs::path page = Publish(c);
  ASSERT_TRUE(fs::is_regular_file(page)) << page;

  std::vector<std::string> expected, clicks;
  if (!c.preloader.empty()) expected = {"tw: preloader done"};
  int waitMs = 0;
  const std::vector<std::string> files = Files(c.option, c.format.empty() ? "swf" : c.format);
  auto loading = [&](size_t i) { return "tw: loading " + std::to_string(i + 1) + " " + files[i]; };
  switch (c.check) {
    case Check::ButtonsAndWrap:
      for (const std::string& l : TrackLines()) expected.push_back(l);
      expected.insert(expected.end(), {"tw: ready 3 autostart=yes loop=yes shuffle=no", loading(0),
                                       Playing(0), loading(1), Playing(1), loading(0), Playing(0),
                                       Ended(0), loading(1), Playing(1), Ended(1), loading(2),
                                       Playing(2), Ended(2), loading(0), Playing(0)});
      clicks = {At(kNext, c.offset, "/" + StartsWith("tw: playing 1 ") + "/"),
                At(kPrevious, c.offset, "/" + StartsWith("tw: playing 2 ") + "/")};
      break;
    case Check::IdleThenStop:
      for (const std::string& l : TrackLines()) expected.push_back(l);
      expected.insert(expected.end(), {"tw: ready 3 autostart=no loop=no shuffle=no", "tw: idle 1",
                                       loading(0), Playing(0), Ended(0), Playing(1), Ended(1),
                                       Playing(2), Ended(2), "tw: stopped"});
      // Long enough after the start that a player starting on its own would have started.
      waitMs = 3000;
      clicks = {At(kPlay, c.offset, std::to_string(waitMs))};
      break;
    case Check::OneSongLoops:
      expected = {"tw: skin compact", "tw: track 1 " + kSongs[1].title,
                  "tw: ready 1 autostart=yes loop=yes shuffle=no", "tw: loading 1 second.swf",
                  "tw: playing 1 " + kSongs[1].title, "tw: ended 1", "tw: loading 1 second.swf",
                  "tw: playing 1 " + kSongs[1].title};
      break;
  }
  const Played p = PlayPage(page, expected, clicks, c.pixels, waitMs);
  if (p.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
  EXPECT_EQ(p.status, 0) << p.Report();
  // The player starts once: nothing (a stage timeline that loops, say) puts it there again.
  EXPECT_EQ(p.Count("tw: skin "), 1) << p.Report();
  EXPECT_EQ(p.Count("tw: error"), 0) << p.Report();
  // A song ends when it has played: of two seconds, most must have passed (a late end is only a
  // slow machine; an early one is a player that took another song's end for its own).
  double started = -1;
  for (const Traced& t : p.traces) {
    if (t.line.rfind("tw: playing ", 0) == 0) started = t.ms;
    if (t.line.rfind("tw: ended ", 0) == 0) {
      EXPECT_GE(t.ms - started, kLeastPlayMs) << t.line << " came too early\n" << p.Report();
    }
  }
  if (!c.preloader.empty()) {
    // The preloader showed before the player and went away: it reports nothing after it.
    std::optional<size_t> done, skin, lastPreloader;
    for (size_t i = 0; i < p.traces.size(); ++i) {
      if (p.traces[i].line == "tw: preloader done") done = i;
      if (p.traces[i].line == "tw: skin compact") skin = i;
      if (p.traces[i].line.rfind("tw: preloader ", 0) == 0) lastPreloader = i;
    }
    ASSERT_TRUE(done && skin) << p.Report();
    EXPECT_LT(*done, *skin) << p.Report();
    EXPECT_EQ(lastPreloader, done) << p.Report();
  }
  if (c.check == Check::IdleThenStop) {
    for (const Traced& t : p.traces) {
      if (t.line.rfind("tw: loading", 0) != 0) continue;
      // The first song loads only after the click.
      EXPECT_GE(t.ms, waitMs - 100) << t.line << "\n" << p.Report();
      break;
    }
    // After the last song nothing more is loaded.
    bool stopped = false;
    for (const Traced& t : p.traces) {
      if (t.line == "tw: stopped") stopped = true;
      EXPECT_FALSE(stopped && t.line.rfind("tw: loading", 0) == 0) << t.line;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OptionsAndFormats, PublishInFlash, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tw::test
