// Real MP3 (and MP2) files made by lame and ffmpeg, and the corpus songs, against ffprobe: sample
// rate, channels, duration, and the frame list against the packets ffprobe counts.
#include <cmath>

#include "audio/audio_fixtures.h"
#include "audio/mpeg_frames.h"
#include "audio/mpeg_info.h"
#include "audio/wave_info.h"
#include "audio/wave_reader.h"

namespace tw::test {
namespace {
using namespace tw::audio;

struct SongCase {
  const char* name;
  int rate;
  int channels;
  std::vector<CommandLine> encode;  // after the sox signal in {tmp}
  const char* version;
  const char* layer;
  const char* vbrTag;  // "" when the first frame holds no VBR header
};

CommandLine Lame(std::initializer_list<const char*> options) {
  CommandLine c = {"lame", "--quiet"};
  c.insert(c.end(), options.begin(), options.end());
  c.insert(c.end(), {"{tmp}", "{out}"});
  return c;
}

CommandLine Ffmpeg(std::initializer_list<const char*> options) {
  CommandLine c = {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", "{tmp}"};
  c.insert(c.end(), options.begin(), options.end());
  c.push_back("{out}");
  return c;
}

const std::vector<SongCase>& Songs() {
  static const std::vector<SongCase> songs = {
      {"cbr128-joint-info.mp3", 44100, 2, {Lame({"-b", "128", "-m", "j"})}, "1", "III", "Info"},
      {"cbr64-stereo-noheader.mp3",
       44100,
       2,
       {Lame({"-b", "64", "-m", "s", "-t", "--resample", "44.1"})},
       "1",
       "III",
       ""},
      {"vbr-xing-joint.mp3", 44100, 2, {Lame({"-V", "4", "-m", "j"})}, "1", "III", "Xing"},
      {"cbr96-mono.mp3", 44100, 1, {Lame({"-b", "96", "-m", "m"})}, "1", "III", "Info"},
      {"vbr-mono-48k.mp3", 48000, 1, {Lame({"-V", "6", "-m", "m"})}, "1", "III", "Xing"},
      // At these small frame sizes lame writes no header frame.
      {"mpeg2-cbr32-mono.mp3", 22050, 1, {Lame({"-b", "32", "-m", "m"})}, "2", "III", ""},
      {"mpeg2-vbr-stereo-24k.mp3", 24000, 2, {Lame({"-V", "5", "-m", "s"})}, "2", "III", "Xing"},
      {"mpeg2-cbr-noheader-16k.mp3",
       16000,
       2,
       {Lame({"-b", "48", "-m", "j", "-t"})},
       "2",
       "III",
       ""},
      {"mpeg25-cbr16-mono-8k.mp3", 8000, 1, {Lame({"-b", "16", "-m", "m"})}, "2.5", "III", ""},
      {"mpeg25-vbr-joint-11k.mp3", 11025, 2, {Lame({"-V", "7", "-m", "j"})}, "2.5", "III", "Xing"},
      {"mpeg25-cbr-stereo-12k.mp3",
       12000,
       2,
       {Lame({"-b", "24", "-m", "s", "--resample", "12"})},
       "2.5",
       "III",
       ""},
      {"id3v1.mp3",
       44100,
       2,
       {Lame({"-b", "128", "--id3v1-only", "--tt", "Tune Title", "--ta", "Some Artist", "--tl",
              "An Album"})},
       "1",
       "III",
       "Info"},
      {"id3v2-lame.mp3",
       44100,
       1,
       {Lame(
           {"-b", "112", "-m", "m", "--id3v2-only", "--tt", "Tune Title", "--ta", "Some Artist"})},
       "1",
       "III",
       "Info"},
      {"id3v24-ffmpeg.mp3",
       44100,
       2,
       {Ffmpeg({"-c:a", "libmp3lame", "-b:a", "160k", "-id3v2_version", "4", "-metadata",
                "title=Tune Title", "-metadata", "artist=Some Artist"})},
       "1",
       "III",
       "Info"},
      {"id3v23-ffmpeg-v1.mp3",
       32000,
       2,
       {Ffmpeg({"-c:a", "libmp3lame", "-b:a", "96k", "-id3v2_version", "3", "-write_id3v1", "1",
                "-metadata", "title=Tune Title", "-metadata", "album=An Album"})},
       "1",
       "III",
       "Info"},
      {"ffmpeg-vbr.mp3",
       44100,
       2,
       {Ffmpeg({"-c:a", "libmp3lame", "-q:a", "5"})},
       "1",
       "III",
       "Xing"},
      {"mpeg1-layer2.mp2", 48000, 2, {Ffmpeg({"-c:a", "mp2", "-b:a", "192k"})}, "1", "II", ""},
      {"mpeg2-layer2.mp2", 22050, 1, {Ffmpeg({"-c:a", "mp2", "-b:a", "64k"})}, "2", "II", ""},
  };
  return songs;
}

fs::path MakeSong(const SongCase& c) {
  std::vector<CommandLine> recipe = {SoxSignal("{tmp}", c.rate, c.channels, 3)};
  recipe.insert(recipe.end(), c.encode.begin(), c.encode.end());
  return MakeAudio(c.name, recipe);
}

// The checks every MPEG audio file passes against ffprobe.
void CheckAgainstProbe(const fs::path& file) {
  const ProbeInfo probe = Probe(file);
  TSourceStream stream = TSourceStream::OpenFile(file);
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.Analyze(stream));
  ASSERT_TRUE(mpeg.FirstFrame.Found);
  const TMPEGFrameHeader& first = mpeg.FirstFrame;
  EXPECT_EQ(int(mpeg.SampleRate()), probe.sampleRate);
  EXPECT_EQ(first.ChannelMode == kChannelModeMono ? 1 : 2, probe.channels);

  // Frames: ffprobe does not count a frame that holds a VBR header; the list does, marked.
  size_t headerFrames = 0;
  for (size_t i = 0; i < mpeg.FrameList.size(); ++i) {
    if (!mpeg.FrameList[i].IsAudio) {
      ++headerFrames;
      EXPECT_EQ(i, 0u) << "only the first frame holds a header";
    }
  }
  EXPECT_EQ(long(mpeg.AudioFrameCount), probe.packets);
  EXPECT_EQ(long(mpeg.FrameList.size() - headerFrames), probe.packets);
  EXPECT_EQ(headerFrames, mpeg.VBRHeader.Found ? 1u : 0u);
  EXPECT_EQ(mpeg.FrameCount(), mpeg.FrameList.size());
  EXPECT_EQ(mpeg.FrameList.front().Position, mpeg.FirstFrameOffset());

  // Duration: within one frame, plus the share of an ID3v1 tag that the estimate counts.
  const double frameTime = double(first.SamplesPerFrame()) / mpeg.SampleRate();
  const double id3v1Time =
      mpeg.VBRHeader.Found ? 0 : mpeg.ID3v1.TagSize * 8.0 / (mpeg.BitRate() * 1000.0);
  EXPECT_NEAR(mpeg.Duration(), probe.duration, frameTime + id3v1Time + 1e-6);

  // The music list's whole seconds.
  TMPEGAudio info;
  info.SetFileName(file.string());
  ASSERT_FALSE(info.Failed());
  EXPECT_EQ(int(info.SampleRate()), probe.sampleRate);
  EXPECT_NEAR(info.Duration(), probe.duration, 1.0);
  EXPECT_EQ(info.ModeName(), probe.channels == 1 ? "Mono" : "Stereo");
  if (mpeg.VBRHeader.Found && mpeg.VBRHeader.Tag == "Xing") {
    EXPECT_EQ(info.BitRate(), -1);
  } else {
    EXPECT_GT(info.BitRate(), 0);
  }

  // The sound source sees the same song.
  TWaveReader reader(file.extension() == ".mp3" ? file : fs::path());
  if (file.extension() == ".mp3") {
    EXPECT_EQ(reader.FormatTag, kFormatMP3File);
    EXPECT_EQ(int(reader.SampleRate), probe.sampleRate);
    EXPECT_EQ(int(reader.Channels), probe.channels);
    EXPECT_EQ(reader.FrameCount, mpeg.FrameList.size());
    EXPECT_EQ(reader.DataOffset, mpeg.FirstFrameOffset());
    EXPECT_EQ(reader.SamplesPerFrame, first.SamplesPerFrame());
    EXPECT_NEAR(reader.SampleCount, probe.duration * probe.sampleRate,
                first.SamplesPerFrame() * (1 + id3v1Time / frameTime) + 1);
  }
}

TEST(MpegConformance, GeneratedSongsAgreeWithFfprobe) {
  for (const auto& c : Songs()) {
    SCOPED_TRACE(c.name);
    const fs::path file = MakeSong(c);
    ASSERT_FALSE(file.empty());
    CheckAgainstProbe(file);
    TSourceStream stream = TSourceStream::OpenFile(file);
    TMPEGaudio mpeg;
    mpeg.Analyze(stream);
    EXPECT_EQ(mpeg.FirstFrame.VersionName(), c.version);
    EXPECT_EQ(mpeg.FirstFrame.LayerName(), c.layer);
    EXPECT_EQ(mpeg.VBRHeader.Tag, c.vbrTag);
    EXPECT_EQ(mpeg.SampleRate(), uint32_t(c.rate));
  }
}

TEST(MpegConformance, CorpusSongsAgreeWithFfprobe) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(CorpusDir() / "audio")) {
    if (entry.path().extension() != ".mp3") continue;
    SCOPED_TRACE(entry.path().filename().string());
    CheckAgainstProbe(entry.path());
    ++count;
  }
  EXPECT_GE(count, 12u);
}

TEST(MpegConformance, CorpusWavesAgreeWithFfprobe) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(CorpusDir() / "audio")) {
    if (entry.path().extension() != ".wav") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const ProbeInfo probe = Probe(entry.path());
    const auto info = ReadWaveFormatInfo(entry.path());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(int(info->SampleRate), probe.sampleRate);
    EXPECT_EQ(int(info->Channels), probe.channels);
    EXPECT_NEAR(info->Duration, probe.duration, 1e-3);
    TWaveReader reader(entry.path());
    EXPECT_TRUE(reader.HasSource());
    EXPECT_EQ(int(reader.Channels), probe.channels);
    EXPECT_EQ(uint64_t(reader.SampleCount) * reader.Channels * reader.BitsPerSample / 8,
              reader.DataSize);
    ++count;
  }
  EXPECT_EQ(count, 2u);
}

}  // namespace
}  // namespace tw::test
