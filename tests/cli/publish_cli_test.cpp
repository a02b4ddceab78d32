// tunewright-cli publish, run as a user runs it, with the user's folders in a temporary folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <optional>
#include <thread>

#include <map>
#include <regex>

#include "support/testing.h"
#include "swf/control_tags.h"
#include "swf/stream.h"
#include "util/files.h"

extern char** environ;

namespace tw::test {
namespace {
namespace fs = std::filesystem;

std::string Cli() { return (ProgramDir() / "tunewright-cli").string(); }

std::string Text(const fs::path& p) {
  const Bytes b = ReadWholeFile(p);
  return std::string(b.begin(), b.end());
}

std::vector<std::string> Files(const fs::path& folder) {
  std::vector<std::string> files;
  if (fs::is_directory(folder))
    for (const auto& e : fs::directory_iterator(folder))
      if (e.is_regular_file()) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Everything in a folder, folders included.
std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void Sox(const fs::path& wav, const char* seconds) {
  auto r = RunCommand({"sox", "-n", "-r", "22050", "-c", "1", "-b", "16", wav.string(), "synth",
                       seconds, "sine", "440"});
  ASSERT_EQ(r.status, 0) << r.err;
}

struct PublishCli : ::testing::Test {
  TempDir dir;
  fs::path out = dir / "out";
  fs::path Home() const { return dir / "home"; }
  // The program with HOME and the XDG folders inside the temporary folder.
  std::vector<std::string> Command(std::vector<std::string> args, const std::string& path = "") {
    std::vector<std::string> cmd = {"/usr/bin/env", "HOME=" + Home().string(),
                                    "XDG_DOCUMENTS_DIR=" + (dir / "docs").string(),
                                    "XDG_CONFIG_HOME=" + (dir / "config").string()};
    if (!path.empty()) cmd.push_back("PATH=" + path);
    cmd.push_back(Cli());
    cmd.push_back("publish");
    cmd.insert(cmd.end(), args.begin(), args.end());
    return cmd;
  }
};

TEST_F(PublishCli, Mp3CopiesWithPlaylistAndPage) {
  for (const char* s : {"song1.mp3", "song2.mp3"}) std::ofstream(dir / s) << "mp3 bytes of " << s;
  auto r = RunCommand(Command({"--format", "mp3", "--no-reencode", (dir / "song1.mp3").string(),
                               (dir / "song2.mp3").string(), "--output-folder", out.string()}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Files(out), (std::vector<std::string>{"player.html", "player.swf", "player.xml",
                                                   "song1.mp3", "song2.mp3"}));
  EXPECT_EQ(Text(out / "song2.mp3"), "mp3 bytes of song2.mp3");
  EXPECT_NE(Text(out / "player.xml").find("<file>song2.mp3</file>"), std::string::npos);
  // What the result window shows: every file written.
  EXPECT_NE(r.out.find("Generated files:\n  1. player.html\n  2. player.swf\n"
                       "  3. player.xml\n  4. song1.mp3\n  5. song2.mp3\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Output folder: " + out.string() + "/\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Embed code:\n<embed src=\"player.swf\""), std::string::npos) << r.out;
  EXPECT_EQ(r.err.find("Error: "), std::string::npos) << r.err;
  // Not a terminal: no progress drawing on stderr.
  EXPECT_EQ(r.err.find("\x1b["), std::string::npos);
}

TEST_F(PublishCli, SongsCarryTheirTitles) {
  const auto song = CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__click.mp3");
  auto r = RunCommand(Command({"--format", "mp3", "--no-reencode", song.string(),
                               "--output-folder", out.string()}));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string xml = Text(out / "player.xml");
  EXPECT_NE(xml.find("<title>Clicky</title>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<artist>Benjamin Wolsey</artist>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<album>Gnash</album>"), std::string::npos) << xml;
}

TEST_F(PublishCli, JsonResult) {
  std::ofstream(dir / "a b.mp3") << "x";
  auto r = RunCommand(Command({"--option", "music-files", "--no-reencode", "--json", "--transparent",
                               "--width", "320", "--height", "40", (dir / "a b.mp3").string(),
                               "--output-folder", out.string()}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"status\": \"finished\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"option\": \"music-files\""), std::string::npos) << r.out;
  // The song is no audio: reported, and the stage is written without it.
  EXPECT_NE(r.out.find("\"name\": \"a_b.swf\",\n      \"state\": \"written\",\n"
                       "      \"written\": true"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"name\": \"a_b.html\",\n      \"state\": \"written\",\n"
                       "      \"written\": true"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("WMODE=\\\"transparent\\\" width=\\\"320\\\" height=\\\"40\\\""),
            std::string::npos)
      << r.out;
}

TEST_F(PublishCli, TheEmulatorOnThePage) {
  std::ofstream(dir / "a.mp3") << "x";
  const std::string song = (dir / "a.mp3").string();
  struct Case {
    std::vector<std::string> args;
    std::string script;  // the page's line after the title, "" for none
  } cases[] = {
      // The shipped start-up project links the emulator's public release.
      {{}, "<script src=\"https://unpkg.com/@ruffle-rs/ruffle\"></script>\r\n"},
      {{"--ruffle", "off"}, ""},
      {{"--ruffle", "link", "--ruffle-url", "https://cdn.example.org/r.js?v=1&x=2"},
       "<script src=\"https://cdn.example.org/r.js?v=1&amp;x=2\"></script>\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    std::vector<std::string> args = {"--option", "single", "--no-reencode", song,
                                     "--output-folder", out.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto r = RunCommand(Command(args));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(Text(out / "player.html")
                  .find("<title>Dovetek Tunewright</title>\r\n" + c.script + "</head>\r\n"),
              std::string::npos)
        << Text(out / "player.html");
    EXPECT_EQ(Files(out), (std::vector<std::string>{"player.html", "player.swf"}));
    EXPECT_FALSE(fs::exists(out / "ruffle"));
  }
  auto r = RunCommand(Command({"--ruffle", "inline", song, "--output-folder", out.string()}));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("--ruffle"), std::string::npos) << r.err;
}

TEST_F(PublishCli, TheEmulatorCopiedBesideThePage) {
  const fs::path shipped = ProgramDir() / "ruffle";
  if (!fs::exists(shipped / "ruffle.js"))
    GTEST_SKIP() << "the npm package @ruffle-rs/ruffle is not installed (scripts/ruffle.sh)";
  // What the build ships: the script, its chunks and WebAssembly modules, the licences.
  const std::vector<std::string> files = Files(shipped);
  EXPECT_TRUE(std::count_if(files.begin(), files.end(), [](const std::string& f) {
                return f.ends_with(".wasm");
              }) >= 1);
  EXPECT_TRUE(std::count(files.begin(), files.end(), "LICENSE_MIT") == 1);
  EXPECT_TRUE(std::none_of(files.begin(), files.end(),
                           [](const std::string& f) { return f.ends_with(".map"); }));

  std::ofstream(dir / "a.mp3") << "x";
  auto r = RunCommand(Command({"--option", "single", "--no-reencode", "--ruffle", "copy", "--json",
                               (dir / "a.mp3").string(), "--output-folder", out.string()}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Files(out / "ruffle"), files);
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    EXPECT_TRUE(ReadWholeFile(out / "ruffle" / f) == ReadWholeFile(shipped / f));
    EXPECT_NE(r.out.find("\"name\": \"ruffle/" + f + "\",\n      \"state\": \"written\",\n" +
                         "      \"written\": true"),
              std::string::npos)
        << r.out;
  }
  EXPECT_NE(Text(out / "player.html").find("<script src=\"ruffle/ruffle.js\"></script>"),
            std::string::npos);
  EXPECT_EQ(r.err.find("Ruffle"), std::string::npos) << r.err;
}

TEST_F(PublishCli, NothingToPublish) {
  auto r = RunCommand(Command({"--output-folder", out.string()}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Please add music file!"), std::string::npos) << r.err;
  EXPECT_EQ(Files(out), std::vector<std::string>{});
  r = RunCommand(Command({"--background", "red", (dir / "x.mp3").string()}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("0xRRGGBB"), std::string::npos) << r.err;
  r = RunCommand(Command({"--bit-rate", "100", (dir / "x.mp3").string()}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("8 kbps, 16 kbps"), std::string::npos) << r.err;
}

TEST_F(PublishCli, MissingEnginesAreReportedAndTheRunFinishes) {
  Sox(dir / "a.wav", "0.5");
  Sox(dir / "b.wav", "0.5");
  fs::create_directory(dir / "empty");
  auto r = RunCommand(Command({"--format", "flv", (dir / "a.wav").string(),
                               (dir / "b.wav").string(), "--output-folder", out.string()},
                              (dir / "empty").string()));
  // Finished, but two planned files are not there: not a success.
  EXPECT_EQ(r.status, 2) << r.err;
  auto count = [&](const std::string& part) {
    size_t n = 0;
    for (size_t p = r.err.find(part); p != std::string::npos; p = r.err.find(part, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Error: Lame encoding engine isn't in the right directory"), 2u) << r.err;
  EXPECT_EQ(count("Error: Ffmpeg converting engine isn't in the right directory"), 2u) << r.err;
  EXPECT_EQ(Files(out), (std::vector<std::string>{"player.html", "player.swf", "player.xml"}));

  // The JSON result gives every planned file with its state.
  r = RunCommand(Command({"--format", "flv", "--json", (dir / "a.wav").string(),
                          (dir / "b.wav").string(), "--output-folder", out.string()},
                         (dir / "empty").string()));
  EXPECT_EQ(r.status, 2) << r.err;
  for (const auto& [name, state] : std::map<std::string, std::string>{
           {"player.swf", "written"}, {"a.flv", "not written"}, {"b.flv", "not written"}})
    EXPECT_NE(r.out.find("\"name\": \"" + name + "\",\n      \"state\": \"" + state + "\""),
              std::string::npos)
        << name << "\n" << r.out;
}

TEST_F(PublishCli, AMissingSongIsReportedOnce) {
  Sox(dir / "a.wav", "0.3");
  const std::string gone = (dir / "gone.mp3").string();
  auto r = RunCommand(Command({"--option", "single", "--no-reencode", (dir / "a.wav").string(),
                               gone, "--output-folder", out.string()}));
  EXPECT_EQ(r.status, 0) << r.err;  // the player is written with the song that is there
  size_t n = 0;
  for (size_t p = r.err.find(gone); p != std::string::npos; p = r.err.find(gone, p + 1)) ++n;
  EXPECT_EQ(n, 1u) << r.err;
  EXPECT_EQ(Files(out), (std::vector<std::string>{"player.html", "player.swf"}));
}

// Spawns the program in a process group of its own, as a shell starts a foreground job.
pid_t SpawnJob(const std::vector<std::string>& argv, const fs::path& stdoutFile,
               const fs::path& stderrFile) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, args[0], &fa, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  return rc == 0 ? pid : -1;
}

// Processes whose command line mentions the text.
int ProcessesMentioning(const std::string& text) {
  int n = 0;
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::ifstream in(e.path() / "cmdline");
    std::string cmd((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (cmd.find(text) != std::string::npos) ++n;
  }
  return n;
}

TEST_F(PublishCli, CtrlCIsCancelAndReachesTheRunNotTheEngine) {
  // A stand-in encoder: quick for ordinary songs; for a song holding "slow" it says it is ready
  // and waits, noting each signal it gets.
  fs::create_directory(dir / "bin");
  const fs::path log = dir / "signals.log", ready = dir / "ready";
  {
    std::ofstream s(dir / "bin" / "lame");
    s << "#!/bin/sh\n"
      << "if grep -q slow \"$7\"; then\n"
      << "  trap 'echo INT >> " << log.string() << "' INT\n"
      << "  trap 'echo TERM >> " << log.string() << "; exit 143' TERM\n"
      << "  touch " << ready.string() << "\n"
      << "  while :; do sleep 0.05; done\n"
      << "fi\n"
      << "cp \"$7\" \"$8\"\n";
  }
  fs::permissions(dir / "bin" / "lame", fs::perms::owner_all);
  std::ofstream(dir / "a.mp3") << "quick";
  std::ofstream(dir / "b.mp3") << "slow";
  std::ofstream(dir / "c.mp3") << "quick";
  // One song after another: c is not started while b waits.
  const pid_t pid = SpawnJob(
      Command({"--format", "mp3", "--jobs", "1", (dir / "a.mp3").string(), (dir / "b.mp3").string(),
               (dir / "c.mp3").string(), "--output-folder", out.string()},
              (dir / "bin").string() + ":/usr/bin:/bin"),
      dir / "stdout", dir / "stderr");
  ASSERT_GT(pid, 0);
  for (int i = 0; i < 200 && !fs::exists(ready); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(fs::exists(ready)) << Text(dir / "stderr");
  ::kill(-pid, SIGINT);  // what Ctrl-C at a terminal does to the foreground job
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(Text(dir / "stderr").find("Cancelled."), std::string::npos) << Text(dir / "stderr");
  EXPECT_EQ(Text(log), "TERM\n");  // terminated by the run; the Ctrl-C itself never reached it
  EXPECT_EQ(Files(out), std::vector<std::string>{"a.mp3"});
  EXPECT_EQ(ProcessesMentioning((dir / "bin").string()), 0);
  EXPECT_EQ(ProcessesMentioning(dir.path().string() + "/docs"), 0);
  // The working folder holds no temporaries.
  // Each run's private working folder went with it.
  EXPECT_EQ(Entries(dir / "docs" / "Dovetek Software" / "Tunewright"), std::vector<std::string>{});
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// The names a stage movie exports its music sprites under.
std::vector<std::string> StageExports(const fs::path& movie) {
  swf::TSWFStreamReader reader(movie);
  reader.ParseTags(true, false);
  std::vector<std::string> names;
  for (const auto& info : reader.TagList)
    if (auto* e = dynamic_cast<swf::TSWFExportAssets*>(info->TagObject()))
      for (const auto& a : e->Assets) names.push_back(a.Name);
  return names;
}

// The first group of every match of `pattern` in `text`, in order.
std::vector<std::string> Captures(const std::string& text, const std::regex& pattern) {
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it)
    found.push_back((*it)[1]);
  return found;
}

// The <file> values of a playlist, in order, wherever the XML lies (a file, or a player movie's
// inner playlist among its action bytes).
std::vector<std::string> PlaylistFiles(const std::string& text) {
  return Captures(text, std::regex("<file>([^<]*)</file>"));
}

std::string MovieBody(const fs::path& movie) {
  swf::TSWFStreamReader reader(movie);
  const auto body = reader.BodyStream().Bytes();
  return std::string(body.begin(), body.end());
}

// The files the result lists, each marked written.
std::vector<std::string> ResultFiles(const std::string& json) {
  auto files = Captures(
      json, std::regex("\"name\": \"([^\"]*)\",\\s*\"state\": \"written\",\\s*\"written\": true"));
  std::sort(files.begin(), files.end());
  return files;
}

// Real songs through every publish option, with the songs re-encoded by lame and ffmpeg and
// without: the result lists exactly the files on disk; the stage movies carry the songs exactly
// when the songs travel inside them, under the names of the inner playlist; a playlist beside the
// player names the song files written.
TEST_F(PublishCli, EveryOptionWritesEveryFile) {
  using Names = std::vector<std::string>;
  Sox(dir / "b c.wav", "1");
  Sox(dir / "tmp.wav", "1");
  auto lame = RunCommand({"lame", "--silent", (dir / "tmp.wav").string(), (dir / "a.mp3").string()});
  ASSERT_EQ(lame.status, 0) << lame.err;
  struct Case {
    const char* option;
    const char* format;
    Names files;
    std::map<std::string, Names> exports;
    const char* playlist;  // the playlist file beside the player, if any
  };
  const std::vector<Case> cases = {
      {"single", "swf", {"player.html", "player.swf"}, {{"player.swf", {"a.swf", "b c.swf"}}}, ""},
      {"player-and-music", "swf",
       {"a.swf", "b_c.swf", "player.html", "player.swf", "player.xml"}, {{"player.swf", {}}},
       "player.xml"},
      {"player-and-music", "mp3",
       {"a.mp3", "b_c.mp3", "player.html", "player.swf", "player.xml"}, {{"player.swf", {}}},
       "player.xml"},
      {"player-and-music", "flv",
       {"a.flv", "b_c.flv", "player.html", "player.swf", "player.xml"}, {{"player.swf", {}}},
       "player.xml"},
      {"music-files", "swf", {"a.html", "a.swf", "b_c.html", "b_c.swf"},
       {{"a.swf", {"a.swf"}}, {"b_c.swf", {"b c.swf"}}}, ""},
  };
  for (const bool reencode : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.option) + " " + c.format + (reencode ? " re-encoded" : ""));
      fs::remove_all(out);
      auto r = RunCommand(Command({"--option", c.option, "--format", c.format,
                                   reencode ? "--reencode" : "--no-reencode", "--json",
                                   (dir / "a.mp3").string(), (dir / "b c.wav").string(),
                                   "--output-folder", out.string()}));
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out.find("Error: "), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("\"written\": false"), std::string::npos) << r.out;
      if (reencode) {
        EXPECT_EQ(r.out.find("\"runs\": 0,"), std::string::npos) << r.out;
      }
      EXPECT_EQ(Files(out), c.files);
      EXPECT_EQ(ResultFiles(r.out), c.files) << r.out;
      for (const auto& [movie, exports] : c.exports) {
        EXPECT_EQ(StageExports(out / movie), exports) << movie;
        // A player that carries songs names them in its inner playlist as it exports them.
        if (!exports.empty()) {
          EXPECT_EQ(PlaylistFiles(MovieBody(out / movie)), exports) << movie;
        }
      }
      if (*c.playlist) {
        Names songs;
        for (const std::string& f : c.files)
          if (f.rfind("player.", 0) != 0) songs.push_back(f);
        EXPECT_EQ(PlaylistFiles(Text(out / c.playlist)), songs);
      }
    }
  }
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// Every regular file of a folder with its bytes.
std::map<std::string, Bytes> FolderBytes(const fs::path& folder) {
  std::map<std::string, Bytes> files;
  for (const std::string& name : Files(folder)) files[name] = ReadWholeFile(folder / name);
  return files;
}

std::vector<std::string> Names(const std::map<std::string, Bytes>& files) {
  std::vector<std::string> names;
  for (const auto& entry : files) names.push_back(entry.first);
  return names;
}

// Two publishes of one user at once, over projects whose songs bear the same names, each give
// the files they give when run one after the other: neither takes the other's working files.
TEST_F(PublishCli, TwoRunsOfOneUserAtOnceKeepToTheirOwnFiles) {
  const std::vector<std::string> projects = {"first", "second"};
  std::map<std::string, std::vector<std::string>> songs;
  for (size_t p = 0; p < projects.size(); ++p) {
    const fs::path folder = dir / projects[p];
    fs::create_directories(folder);
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
      // The songs of each project last differently, so that their movies differ.
      const std::string seconds = std::to_string(1 + p * 2 + songs[projects[p]].size());
      Sox(folder / name, seconds.c_str());
      songs[projects[p]].push_back((folder / name).string());
    }
  }
  auto command = [&](const std::string& project, const fs::path& output) {
    std::vector<std::string> args = {"--option", "player-and-music", "--format", "swf",
                                     "--reencode", "--output-folder", output.string()};
    args.insert(args.end(), songs[project].begin(), songs[project].end());
    return Command(args);
  };

  std::map<std::string, std::map<std::string, Bytes>> alone;
  for (const std::string& project : projects) {
    const fs::path output = dir / ("alone-" + project);
    auto r = RunCommand(command(project, output));
    ASSERT_EQ(r.status, 0) << r.err;
    alone[project] = FolderBytes(output);
  }
  ASSERT_NE(alone["first"], alone["second"]);

  std::map<std::string, pid_t> jobs;
  for (const std::string& project : projects)
    jobs[project] = SpawnJob(command(project, dir / ("together-" + project)),
                             dir / (project + ".out"), dir / (project + ".err"));
  for (const std::string& project : projects) {
    SCOPED_TRACE(project);
    ASSERT_GT(jobs[project], 0);
    int status = 0;
    ASSERT_EQ(::waitpid(jobs[project], &status, 0), jobs[project]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Text(dir / (project + ".err"));
    const std::map<std::string, Bytes> together = FolderBytes(dir / ("together-" + project));
    EXPECT_EQ(Names(together), Names(alone[project]));
    for (const auto& [name, bytes] : alone[project]) {
      const auto it = together.find(name);
      EXPECT_TRUE(it != together.end() && it->second == bytes) << name << " differs";
    }
  }
  // Each run's private working folder went with it.
  EXPECT_EQ(Entries(dir / "docs" / "Dovetek Software" / "Tunewright"), std::vector<std::string>{});
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// A stand-in encoder that copies a song holding "quick" at once and takes forever over any other,
// noting its process id as a file of the folder pids.
void WaitingLame(const fs::path& bin, const fs::path& pids) {
  fs::create_directories(bin);
  fs::create_directories(pids);
  {
    std::ofstream s(bin / "lame");
    s << "#!/bin/sh\n"
      << "if grep -q quick \"$7\"; then cp \"$7\" \"$8\"; exit 0; fi\n"
      << "touch " << pids.string() << "/$$\n"
      << "while :; do sleep 0.05; done\n";
  }
  fs::permissions(bin / "lame", fs::perms::owner_all);
}

std::vector<pid_t> Pids(const fs::path& folder) {
  std::vector<pid_t> pids;
  for (const auto& e : fs::directory_iterator(folder)) pids.push_back(std::stoi(e.path().filename()));
  std::sort(pids.begin(), pids.end());
  return pids;
}

// Waits up to ten seconds for the folder to name n processes.
bool WaitForPids(const fs::path& folder, size_t n) {
  for (int i = 0; i < 200 && Pids(folder).size() < n; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return Pids(folder).size() >= n;
}

int Wait(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The JSON result without what differs from run to run: the engines' times, and the names of the
// working folders in a message.
std::string Comparable(const std::string& json) {
  std::string text = std::regex_replace(json, std::regex("\"engines\": \\{[^}]*\\}"), "");
  return std::regex_replace(text, std::regex("run-[A-Za-z0-9]{6}/"), "");
}

// Real songs (and one that is no song) re-encoded and converted side by side give the files, the
// bytes, the result and the messages they give one after another.
TEST_F(PublishCli, SongsAtWorkSideBySideGiveWhatOneAfterAnotherGives) {
  std::vector<std::string> songs;
  for (int i = 1; i <= 4; ++i) {
    const fs::path wav = dir / ("song " + std::to_string(i) + ".wav");
    auto r = RunCommand({"sox", "-n", "-r", "22050", "-c", "1", "-b", "16", wav.string(), "synth",
                         std::to_string(0.5 * i), "sine", std::to_string(300 + 100 * i)});
    ASSERT_EQ(r.status, 0) << r.err;
    songs.push_back(wav.string());
  }
  std::ofstream(dir / "broken.mp3") << "ID3 but no song at all, just words";
  songs.insert(songs.begin() + 2, (dir / "broken.mp3").string());
  const std::vector<std::vector<std::string>> cases = {
      {"--option", "player-and-music", "--format", "swf"},
      {"--option", "player-and-music", "--format", "flv"},
      {"--option", "music-files", "--format", "swf"},
  };
  for (const auto& options : cases) {
    SCOPED_TRACE(options[1] + " " + options[3]);
    std::optional<CommandResult> oneByOne;
    std::map<std::string, Bytes> oneByOneFiles;
    for (const char* jobs : {"1", "2", "4"}) {
      SCOPED_TRACE(std::string("--jobs ") + jobs);
      fs::remove_all(out);
      std::vector<std::string> args = options;
      args.insert(args.end(), {"--reencode", "--json", "--jobs", jobs, "--output-folder", out.string()});
      args.insert(args.end(), songs.begin(), songs.end());
      const CommandResult r = RunCommand(Command(args));
      // The broken song is reported, in its place among the songs.
      EXPECT_TRUE(r.status == 0 || r.status == 2) << r.err;
      EXPECT_NE(r.out.find("lame failed on \\\"broken.mp3\\\""), std::string::npos) << r.out;
      EXPECT_EQ(Entries(dir / "docs" / "Dovetek Software" / "Tunewright"), std::vector<std::string>{});
      if (!oneByOne) {
        oneByOne = r;
        oneByOneFiles = FolderBytes(out);
        EXPECT_GE(oneByOneFiles.size(), 7u);
        continue;
      }
      EXPECT_EQ(r.status, oneByOne->status);
      EXPECT_EQ(Comparable(r.out), Comparable(oneByOne->out));
      const std::map<std::string, Bytes> files = FolderBytes(out);
      EXPECT_EQ(Names(files), Names(oneByOneFiles));
      for (const auto& [name, bytes] : oneByOneFiles) {
        const auto it = files.find(name);
        EXPECT_TRUE(it != files.end() && it->second == bytes) << name << " differs";
      }
    }
  }
}

TEST_F(PublishCli, JobsFromOneToSixtyFour) {
  std::ofstream(dir / "a.mp3") << "mp3 bytes";
  for (const char* jobs : {"0", "65", "two", "1.5", "", "007x"}) {
    SCOPED_TRACE(jobs);
    auto r = RunCommand(Command({"--jobs", jobs, "--format", "mp3", "--no-reencode",
                                 (dir / "a.mp3").string(), "--output-folder", out.string()}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--jobs " + std::string(jobs) +
                         ": give the number of songs at work at once, from 1 to 64"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Files(out), std::vector<std::string>{});
  }
  auto r = RunCommand(Command({"--jobs", "64", "--format", "mp3", "--no-reencode",
                               (dir / "a.mp3").string(), "--output-folder", out.string()}));
  EXPECT_EQ(r.status, 0) << r.err;
}

// Ctrl-C while three songs are at work stops every one of their children: none is left, by its
// process id; the fourth song never starts; no song file, no working folder stays.
TEST_F(PublishCli, CtrlCStopsEverySongAtWork) {
  const fs::path pids = dir / "pids";
  WaitingLame(dir / "bin", pids);
  std::vector<std::string> args = {"--format", "mp3", "--jobs", "3", "--output-folder", out.string()};
  for (const char* s : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
    std::ofstream(dir / s) << "slow";
    args.push_back((dir / s).string());
  }
  const pid_t pid =
      SpawnJob(Command(args, (dir / "bin").string() + ":/usr/bin:/bin"), dir / "stdout", dir / "stderr");
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitForPids(pids, 3)) << Text(dir / "stderr");
  ::kill(-pid, SIGINT);
  EXPECT_EQ(Wait(pid), 1);
  EXPECT_NE(Text(dir / "stderr").find("Cancelled."), std::string::npos) << Text(dir / "stderr");
  const std::vector<pid_t> children = Pids(pids);
  EXPECT_EQ(children.size(), 3u);
  for (const pid_t child : children) EXPECT_TRUE(::kill(child, 0) == -1 && errno == ESRCH) << child;
  EXPECT_EQ(ProcessesMentioning((dir / "bin").string()), 0);
  EXPECT_EQ(Files(out), std::vector<std::string>{});
  EXPECT_EQ(Entries(dir / "docs" / "Dovetek Software" / "Tunewright"), std::vector<std::string>{});
}

// A run killed (SIGKILL) while it works leaves its working folder; the next run removes it, and
// keeps the folder of a run that still lives.
TEST_F(PublishCli, AKilledRunsWorkingFolderGoesWithTheNextRun) {
  const fs::path pids = dir / "pids";
  const fs::path work = dir / "docs" / "Dovetek Software" / "Tunewright";
  const std::string path = (dir / "bin").string() + ":/usr/bin:/bin";
  WaitingLame(dir / "bin", pids);
  std::ofstream(dir / "slow1.mp3") << "slow";
  std::ofstream(dir / "slow2.mp3") << "slow";
  std::ofstream(dir / "quick.mp3") << "quick";
  auto publish = [&](const std::string& song, const std::string& name) {
    return Command({"--format", "mp3", (dir / song).string(), "--output-folder", (dir / name).string()},
                   path);
  };

  const pid_t killed = SpawnJob(publish("slow1.mp3", "out1"), dir / "killed.out", dir / "killed.err");
  ASSERT_GT(killed, 0);
  ASSERT_TRUE(WaitForPids(pids, 1)) << Text(dir / "killed.err");
  ::kill(killed, SIGKILL);
  EXPECT_EQ(Wait(killed), 128 + SIGKILL);
  // Its encoder, left without its run, is ended here.
  for (const pid_t orphan : Pids(pids)) ::kill(orphan, SIGKILL);
  const std::vector<std::string> left = Entries(work);
  ASSERT_EQ(left.size(), 1u);

  const pid_t live = SpawnJob(publish("slow2.mp3", "out2"), dir / "live.out", dir / "live.err");
  ASSERT_GT(live, 0);
  ASSERT_TRUE(WaitForPids(pids, 2)) << Text(dir / "live.err");
  std::vector<std::string> liveFolder = Entries(work);
  std::erase(liveFolder, left[0]);
  ASSERT_EQ(liveFolder.size(), 1u);

  auto r = RunCommand(publish("quick.mp3", "out3"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Entries(work), liveFolder);

  ::kill(-live, SIGINT);
  EXPECT_EQ(Wait(live), 1);
  EXPECT_EQ(Entries(work), std::vector<std::string>{});
  EXPECT_EQ(ProcessesMentioning((dir / "bin").string()), 0);
}

}  // namespace
}  // namespace tw::test
