// The engines with Debian's real lame and ffmpeg, on songs made by sox.
#include <chrono>
#include <fstream>

#include "app/app_support.h"
#include "app/engines.h"
#include "app/paths.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

// What ffprobe says of a file: "key=value" lines.
std::string Probe(const fs::path& file) {
  auto r = RunCommand({"ffprobe", "-v", "error", "-show_entries",
                       "stream=codec_name,sample_rate,channels:format=format_name", "-of",
                       "default=nw=1", file.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

// The output split after every line break, as a pipe read line by line would deliver it.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i + 1 - start));
      start = i + 1;
    }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TEST(RealEngineOutput, HandlersFollowWhatTheProgramsPrint) {
  TempDir dir;
  MakeSong(dir / "song.wav", 30);
  auto lame = RunCommand({"lame", "--resample", "22.05", "-b", "24", "-m", "m",
                          (dir / "song.wav").string(), (dir / "out.mp3").string()});
  ASSERT_EQ(lame.status, 0) << lame.err;
  std::vector<int> percents;
  for (const std::string& line : Lines(lame.err))
    if (auto p = EncoderChunkProgress(line)) percents.push_back(p->Percent);
  ASSERT_GE(percents.size(), 2u) << lame.err;
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
  EXPECT_EQ(EncoderChunkProgress(lame.err)->Percent, 100);  // everything in one chunk

  for (const char* input : {"song.wav", "out.mp3"}) {
    SCOPED_TRACE(input);
    auto ffmpeg = RunCommand({"ffmpeg", "-y", "-i", (dir / input).string(), "-ar", "22050", "-ab",
                              "24k", "-ac", "1", (dir / "out.flv").string()});
    ASSERT_EQ(ffmpeg.status, 0) << ffmpeg.err;
    TConverterProgress progress;
    int last = -1;
    for (const std::string& line : Lines(ffmpeg.err))
      if (auto p = progress.Chunk(line); p && progress.Duration() > 0) last = p->Percent;
    EXPECT_EQ(progress.Duration(), 30) << ffmpeg.err;
    EXPECT_EQ(last, 100) << ffmpeg.err;
  }
}

struct RealEngines : ::testing::Test {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx{host};
  TConvertOption options;
  void SetUp() override {
    options.LameSampleRate = "22.05";
    options.LameBitRate = "24";
    options.LameMode = "m";
    options.FfmpegSampleRate = "22050";
    options.FfmpegBitRate = "24k";
    options.FfmpegChannels = "1";
  }
  int LastPercent() const {
    return host.Progress.empty() ? -1 : host.Progress.back().SinglePercent;
  }
};

TEST_F(RealEngines, EncodeMp3) {
  MakeSong(dir / "My Song.wav", 3);
  const fs::path target = dir / "encode1.mp3";
  ASSERT_EQ(EncodeMp3((dir / "My Song.wav").string(), target.string(), options, ctx),
            TEngineResult::Done);
  EXPECT_EQ(Probe(target), "codec_name=mp3\nsample_rate=22050\nchannels=1\nformat_name=mp3\n");
  EXPECT_EQ(LastPercent(), 100);
  EXPECT_EQ(host.Progress.back().SingleProcessing, "100%");
  EXPECT_TRUE(host.Errors.empty());
  EXPECT_EQ(user.Files(), std::vector<std::string>{});  // the working copy is gone
  EXPECT_EQ(ctx.EngineRuns, 1);
}

TEST_F(RealEngines, ConvertToFlvFromWavAndMp3) {
  MakeSong(dir / "a.wav", 4);
  MakeSong(dir / "b.mp3", 4);
  options.FfmpegSampleRate = "11025";
  options.FfmpegChannels = "2";
  for (const char* song : {"a.wav", "b.mp3"}) {
    SCOPED_TRACE(song);
    host = RecordingHost{};
    const fs::path target = dir / (std::string(song) + ".flv");
    ASSERT_EQ(ConvertToFlv((dir / song).string(), target.string(), options, true, ctx),
              TEngineResult::Done);
    EXPECT_EQ(Probe(target), "codec_name=mp3\nsample_rate=11025\nchannels=2\nformat_name=flv\n");
    // The duration was read from today's output, so the bar ends full.
    EXPECT_EQ(LastPercent(), 100);
    EXPECT_TRUE(host.Errors.empty());
    EXPECT_EQ(user.Files(), std::vector<std::string>{});
  }
}

TEST_F(RealEngines, FailuresLeaveNoOutput) {
  const fs::path bad = dir / "not audio.mp3";
  std::ofstream(bad) << std::string(5000, 'x');
  const fs::path encoded = dir / "encode1.mp3", flv = dir / "x.flv";
  EXPECT_EQ(EncodeMp3(bad.string(), encoded.string(), options, ctx), TEngineResult::Failed);
  EXPECT_EQ(ConvertToFlv(bad.string(), flv.string(), options, true, ctx), TEngineResult::Failed);
  EXPECT_FALSE(fs::exists(encoded));
  EXPECT_FALSE(fs::exists(flv));
  ASSERT_EQ(host.Errors.size(), 2u);
  EXPECT_TRUE(host.Errors[0].starts_with("Error: lame failed on \"not audio.mp3\"")) << host.Errors[0];
  EXPECT_TRUE(host.Errors[1].starts_with("Error: ffmpeg failed on \"not audio.mp3\"")) << host.Errors[1];
  EXPECT_EQ(user.Files(), std::vector<std::string>{});
}

TEST_F(RealEngines, CancelStopsTheConverterAndWritesNoTarget) {
  MakeSong(dir / "long.wav", 900, true);
  host.OnMessages = [](RecordingHost& h) {
    if (!h.Progress.empty() && h.Progress.back().SinglePercent > 0) h.Cancel = true;
  };
  const fs::path target = dir / "long.flv";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConvertToFlv((dir / "long.wav").string(), target.string(), options, true, ctx),
            TEngineResult::Cancelled);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(fs::exists(target));  // never the half-made file
  EXPECT_EQ(user.Files(), std::vector<std::string>{});
  EXPECT_TRUE(host.Errors.empty());
  EXPECT_LT(LastPercent(), 100);
  EXPECT_LT(took, std::chrono::seconds(20));
}

}  // namespace
}  // namespace tw::test
