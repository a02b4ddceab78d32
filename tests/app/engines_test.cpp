// The engines' progress texts, and running a child the way the engines are run. The children
// here are small shell scripts; the real lame and ffmpeg run in the slow tests.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/app_support.h"
#include "app/engines.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

// Chunks as Debian's lame 3.100 prints them (captured from `lame --resample 22.05 -b 24 -m m`).
const struct {
  const char* name;
  std::string chunk;
  int percent;  // -1: no progress line, the bar stays
  const char* text;
} kLameChunks[] = {
    {"banner, no progress yet",
     "LAME 3.100 64bits (http://lame.sf.net)\nAutoconverting from stereo to mono. Setting "
     "encoding to mono mode.\nResampling:  input 44.1 kHz  output 22.05 kHz\n",
     -1, ""},
    {"table head and the first line",
     "\r    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA \n     0/   "
     "    ( 0%)|    0:00/     :  |    0:00/     :  |         x|     :  \r\n01:00-----------\x1b[K\n",
     0, "0%"},
    {"one line with its histogram",
     "\x1b[A\x1b[A\x1b[A\r   100/2299   ( 4%)|    0:00/    0:00|    0:00/    0:00|   326.00x|    "
     "0:00 \n----00:57-----\x1b[K\n   kbps       mono %   \x1b[K\n",
     4, "4%"},
    {"two lines in one chunk: the newer counts",
     "\r   100/194    (52%)|    0:00/    0:00|    0:00/    0:00|   332.39x|    0:00 \n---00:02--"
     "\x1b[K\n\x1b[A\r   194/194   (100%)|    0:00/    0:00|    0:00/    0:00|   319.31x|    0:00 "
     "\n-------\x1b[K\n",
     100, "100%"},
    {"the line of the old manual", "  1520/11489  (13%)| 0:02/ 0:15| 0:02/ 0:15| 16.6x| 0:13 ", 13,
     "13%"},
    {"(100%)| too near the start to look back", "(100%)|", -1, ""},
    {"a zero byte ends the text", std::string("   12/99 (", 10) + std::string(1, '\0') + "12%)|", -1, ""},
    {"no number between the brackets", "   frames (abc%)|", 0, "abc%"},
};

TEST(EngineProgress, EncoderChunks) {
  for (const auto& c : kLameChunks) {
    SCOPED_TRACE(c.name);
    const auto p = EncoderChunkProgress(c.chunk);
    if (c.percent < 0) {
      EXPECT_FALSE(p.has_value());
      continue;
    }
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->Percent, c.percent);
    EXPECT_EQ(p->Text, c.text);
  }
}

// Chunks in the order a converter prints them; each row is fed to the same progress object.
struct ConverterStep {
  std::string chunk;
  int percent;   // -1: no elapsed time, the bar stays
  int duration;  // known after this chunk (-1: not yet)
};

void RunConverterSteps(const char* name, const std::vector<ConverterStep>& steps) {
  SCOPED_TRACE(name);
  TConverterProgress progress;
  int row = 0;
  for (const ConverterStep& s : steps) {
    SCOPED_TRACE(++row);
    const auto p = progress.Chunk(s.chunk);
    EXPECT_EQ(progress.Duration(), s.duration);
    if (s.percent < 0) {
      EXPECT_FALSE(p.has_value());
      continue;
    }
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->Percent, s.percent);
    EXPECT_EQ(p->Text, std::to_string(s.percent) + "%");
  }
}

TEST(EngineProgress, ConverterChunks) {
  // Debian's ffmpeg 5.1 on a WAV input: no ", start:" on the duration line, hh:mm:ss times.
  RunConverterSteps(
      "ffmpeg 5.1, WAV input",
      {{"Input #0, wav, from '/w/convertflvin.wav':\n  Duration: 00:10:00.00, bitrate: 2822 kb/s\n"
        "  Stream #0:0: Audio: pcm_s32le ([1][0][0][0] / 0x0001), 44100 Hz, stereo, s32, 2822 kb/s\n"
        "Press [q] to stop, [?] for help\nsize=       0kB time=00:00:00.00 bitrate=N/A speed=N/A    \r",
        0, 600},
       {"size=     153kB time=00:00:43.39 bitrate=  29.0kbits/s speed=82.6x    \r", 7, 600},
       {"size=     256kB time=00:01:34.82 bitrate=  22.1kbits/s speed=91.4x    \rsize=     512kB "
        "time=00:02:42.95 bitrate=  25.7kbits/s speed= 105x    \r",
        27, 600},
       {"size=    2117kB time=00:10:00.00 bitrate=  28.9kbits/s speed= 161x    \n", 100, 600},
       {"video:0kB audio:1758kB subtitle:0kB other streams:0kB global headers:0kB muxing "
        "overhead: 20.428947%\n",
        -1, 600}});
  // A short song: the header, the progress and the summary in one chunk.
  RunConverterSteps(
      "ffmpeg 5.1, everything at once",
      {{"Input #0, wav, from 'x.wav':\n  Duration: 00:00:04.00, bitrate: 705 kb/s\n"
        "size=       0kB time=00:00:00.00 bitrate=N/A speed=N/A    \rsize=      14kB "
        "time=00:00:04.00 bitrate=  29.5kbits/s speed= 380x    \nvideo:0kB audio:12kB\n",
        100, 4}});
  // The same converter on an MP3 input keeps ", start:".
  RunConverterSteps("ffmpeg 5.1, MP3 input",
                    {{"  Duration: 00:01:00.03, start: 0.025057, bitrate: 128 kb/s\n", 0, 60},
                     {"size=     212kB time=00:00:30.00 bitrate=  29.0kbits/s speed= 366x    \r", 50, 60},
                     {"size=     212kB time=00:01:00.00 bitrate=  29.0kbits/s speed= 366x    \r", 100, 60}});
  // The old form with the time in seconds.
  RunConverterSteps("old converter",
                    {{"  Duration: 00:03:25.67, start: 0.000000, bitrate: 64 kb/s\n", 0, 205},
                     {"size=     800kB time=102.50 bitrate=  64.0kbits/s    \r", 49, 205},
                     {"[mp3 @ 0x55d0] Estimating duration from bitrate\n", -1, 205},
                     {"size=  1600kB time=205.67 bitrate=  64.0kbits/s    \r", 100, 205}});
  RunConverterSteps("a song of 40 seconds",
                    {{"  Duration: 00:00:40.12, start: 0.000000, bitrate: 128 kb/s\n", 0, 40},
                     {"time=00:00:10.00 ", 25, 40}});
  // Written in pieces (the converter prints the line in several writes): still found.
  RunConverterSteps("duration line split over chunks",
                    {{"Input #0, mp3, from 'x':\n  Duration: 00:0", 0, -1},
                     {"2:00.00, start: 0.025057, bitrate: 64 kb/s\n", 0, 120},
                     {"time=00:01:00.00 bitrate=", 50, 120}});
  RunConverterSteps("no duration: no progress",
                    {{"  Duration: N/A, bitrate: N/A\n", 0, -1},
                     {"size=  1kB time=00:00:10.00 bitrate=", 0, -1},
                     {"nothing at all", 0, -1}});
  RunConverterSteps("times that do not read",
                    {{"Duration: 00:01:40.00, start: 0\n", 0, 100},
                     {"time=N/A bitrate=N/A", 0, 100},
                     {"time=-577014:32:22.77 bitrate=N/A", 0, 100},
                     {"time=00:03:20.00 (beyond the end)", 100, 100}});
}

// A shell script standing in for an engine.
fs::path Script(const TempDir& dir, const std::string& name, const std::string& body) {
  const fs::path path = dir / name;
  std::ofstream(path) << "#!/bin/sh\n" << body;
  fs::permissions(path, fs::perms::owner_all);
  return path;
}

TEST(FindEngine, SearchesPathForExecutables) {
  TempDir a, b;
  std::ofstream(a / "lame") << "not executable";
  Script(b, "lame", "exit 0\n");
  {
    EnvGuard path("PATH", "relative/dir:" + a.path().string() + "::" + b.path().string());
    EXPECT_EQ(FindEngine("lame"), (b / "lame").string());
    EXPECT_EQ(FindEngine("ffmpeg"), "");
  }
  EnvGuard path("PATH", "");
  EXPECT_EQ(FindEngine("lame"), "");
}

struct RunFixture : ::testing::Test {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx{host};
};

TEST_F(RunFixture, ChildGetsNullInputItsOwnGroupAndNoBlockedSignals) {
  // The run's caller may block SIGINT (the terminal host does): the child must not inherit that.
  sigset_t intOnly, old;
  sigemptyset(&intOnly);
  sigaddset(&intOnly, SIGINT);
  pthread_sigmask(SIG_BLOCK, &intOnly, &old);
  const fs::path report = dir / "report";
  // The masks are read first and by the shell itself: while it starts a command of its own it
  // blocks its signals for a moment.
  const fs::path script = Script(dir, "engine",
                                 "while read -r line; do case $line in\n"
                                 "  SigBlk*|SigIgn*) echo \"$line\" ;; esac; done < /proc/$$/status > \"$1\"\n"
                                 "readlink /proc/$$/fd/0 >> \"$1\"\n"
                                 "echo $$ >> \"$1\"\n"
                                 "cut -d' ' -f5 /proc/$$/stat >> \"$1\"\n");
  const TEngineRun run = RunEngine({script.string(), report.string()}, TEngineKind::Encoder, ctx);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  EXPECT_TRUE(run.Succeeded());
  std::ifstream in(report);
  std::string input, pid, group, blocked, ignored;
  std::getline(in, blocked);
  std::getline(in, ignored);
  std::getline(in, input);
  std::getline(in, pid);
  std::getline(in, group);
  EXPECT_EQ(input, "/dev/null");
  EXPECT_EQ(pid, group);
  EXPECT_NE(std::to_string(getpgrp()), group);
  EXPECT_EQ(blocked, "SigBlk:\t0000000000000000");
  // None of the standard signals ignored (the C library keeps its own real-time ones to itself).
  ASSERT_TRUE(ignored.starts_with("SigIgn:\t")) << ignored;
  EXPECT_EQ(std::stoull(ignored.substr(8), nullptr, 16) & 0x7FFFFFFFull, 0u) << ignored;
}

TEST_F(RunFixture, ProgressIsShownOnTheCallingThreadUpTo100) {
  const auto self = std::this_thread::get_id();
  struct ThreadCheck : RecordingHost {
    std::thread::id expected;
    bool elsewhere = false;
    void ProgressChanged(const TProgressState& s) override {
      if (std::this_thread::get_id() != expected) elsewhere = true;
      RecordingHost::ProgressChanged(s);
    }
  } checking;
  checking.expected = self;
  TRunContext context(checking);
  const fs::path script = Script(dir, "engine",
                                 "for p in 10 35 60; do\n"
                                 "  printf '  %d/100  (%d%%)| 0:01/ 0:02|\\r' $p $p >&2\n"
                                 "  sleep 0.25\n"
                                 "done\n"
                                 "printf '  100/100 (100%%)|\\n'\n");
  const TEngineRun run = RunEngine({script.string()}, TEngineKind::Encoder, context);
  EXPECT_TRUE(run.Succeeded());
  EXPECT_FALSE(checking.elsewhere);
  std::vector<int> seen;
  for (const auto& s : checking.Progress)
    if (seen.empty() || seen.back() != s.SinglePercent) seen.push_back(s.SinglePercent);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);  // what the child wrote last is read after its end
  EXPECT_GE(seen.size(), 3u) << "progress while the child ran";
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GE(checking.MessageRuns, 5);  // the message queue ran while waiting
}

TEST_F(RunFixture, ExitStatusAndLastLine) {
  const fs::path script =
      Script(dir, "engine",
             "echo 'working'\nprintf 'Unsupported audio format\\033[K\\n\\033[A\\n' >&2\nexit 3\n");
  const TEngineRun run = RunEngine({script.string()}, TEngineKind::Converter, ctx);
  EXPECT_FALSE(run.Succeeded());
  EXPECT_FALSE(run.Cancelled);
  EXPECT_EQ(run.ExitStatus, 3);
  EXPECT_EQ(run.LastLine, "Unsupported audio format");
  EXPECT_THROW(RunEngine({(dir / "missing").string()}, TEngineKind::Encoder, ctx),
               std::runtime_error);
}

TEST_F(RunFixture, CancelTerminatesTheChildAtOnce) {
  const fs::path pidFile = dir / "pid";
  const fs::path script = Script(dir, "engine", "echo $$ > \"$1\"\nexec sleep 30\n");
  host.OnMessages = [&](RecordingHost& h) {
    if (fs::exists(pidFile) && fs::file_size(pidFile) > 0) h.Cancel = true;
  };
  const auto start = std::chrono::steady_clock::now();
  const TEngineRun run = RunEngine({script.string(), pidFile.string()}, TEngineKind::Encoder, ctx);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(run.Cancelled);
  EXPECT_EQ(run.Signal, SIGTERM);
  int pid = 0;
  std::ifstream(pidFile) >> pid;
  ASSERT_GT(pid, 0);
  EXPECT_NE(::kill(pid, 0), 0);  // reaped: gone
}

TEST_F(RunFixture, ChildThatIgnoresTerminateIsKilled) {
  const fs::path ready = dir / "ready";
  const fs::path script =
      Script(dir, "engine", "trap '' TERM\ntouch \"$1\"\nwhile :; do sleep 0.05; done\n");
  host.OnMessages = [&](RecordingHost& h) {
    if (fs::exists(ready)) h.Cancel = true;
  };
  const TEngineRun run = RunEngine({script.string(), ready.string()}, TEngineKind::Encoder, ctx);
  EXPECT_TRUE(run.Cancelled);
  EXPECT_EQ(run.Signal, SIGKILL);
}

TEST_F(RunFixture, EndsWithTheChildEvenWhenADescendantHoldsThePipe) {
  // The child leaves a background process holding its output: the run still ends with the child.
  const fs::path script = Script(dir, "engine", "sleep 3 &\necho started\nexit 0\n");
  const auto start = std::chrono::steady_clock::now();
  const TEngineRun run = RunEngine({script.string()}, TEngineKind::Encoder, ctx);
  EXPECT_TRUE(run.Succeeded());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
}

TEST_F(RunFixture, FailedEncoderLeavesNoOutputAndNoCopy) {
  // A fake lame that writes half a file and fails.
  TempDir bin;
  Script(bin, "lame", "for last; do :; done\nprintf 'partial' > \"$last\"\nexit 1\n");
  EnvGuard path("PATH", bin.path().string());
  const fs::path song = dir / "song.wav";
  std::ofstream(song) << "RIFF";
  const fs::path target = dir / "encode1.mp3";
  TConvertOption o;
  o.LameSampleRate = "22.05";
  o.LameBitRate = "24";
  o.LameMode = "m";
  EXPECT_EQ(EncodeMp3(song.string(), target.string(), o, ctx), TEngineResult::Failed);
  EXPECT_FALSE(fs::exists(target));
  ASSERT_EQ(host.Errors.size(), 1u);
  EXPECT_TRUE(host.Errors[0].starts_with("Error: lame failed on \"song.wav\" (exit status 1)"))
      << host.Errors[0];
  EXPECT_EQ(user.Files(), std::vector<std::string>{});  // the working copy is gone
}

TEST_F(RunFixture, MissingProgramsGiveTheirMessages) {
  EnvGuard path("PATH", dir.path().string());
  const fs::path song = dir / "song.wav";
  std::ofstream(song) << "RIFF";
  TConvertOption o;
  EXPECT_EQ(EncodeMp3(song.string(), (dir / "e.mp3").string(), o, ctx), TEngineResult::Missing);
  EXPECT_EQ(ConvertToFlv(song.string(), (dir / "s.flv").string(), o, true, ctx),
            TEngineResult::Missing);
  EXPECT_EQ(host.Errors, (std::vector<std::string>{std::string(kLameMissing),
                                                    std::string(kFfmpegMissing)}));
  EXPECT_EQ(FolderFiles(dir.path()), std::vector<std::string>{"song.wav"});
  EXPECT_EQ(user.Files(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tw::test
