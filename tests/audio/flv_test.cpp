// The FLV reader over clips made by ffmpeg (checked against ffprobe), over a VP6 file built from
// the frame of a corpus movie, and over damaged files, which must throw and never crash.
#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/flv.h"
#include "audio/audio_fixtures.h"
#include "support/flv_fixtures.h"

namespace tw::test {
namespace {

using namespace tw::audio;

// A value of ffprobe's "key=value" output for the first stream of the kind ("v" or "a"), or of
// the format when the kind is empty.
std::string ProbeValue(const fs::path& file, const std::string& kind, const std::string& key) {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  if (kind.empty()) {
    argv.insert(argv.end(), {"-show_entries", "format=" + key});
  } else {
    argv.insert(argv.end(), {"-select_streams", kind + ":0", "-count_frames", "-show_entries",
                             "stream=" + key});
  }
  argv.insert(argv.end(), {"-of", "default=noprint_wrappers=1:nokey=1", file.string()});
  const CommandResult r = RunCommand(argv);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out.substr(0, r.out.find('\n'));
}

struct ClipCase {
  const char* name;
  const char* videoCodec;  // ffmpeg's
  const char* audioCodec;
  int audioRate;
  uint8_t codec;      // ours
  uint8_t soundFormat;
};

const ClipCase kClips[] = {
    {"Sorenson H.263 with MP3", "flv", "libmp3lame", 44100, kFLVCodecH263, kFLVSoundMP3},
    {"Screen Video with PCM", "flashsv", "pcm_s16le", 22050, kFLVCodecScreenVideo, kFLVSoundPCMLE},
};

TEST(FLVReader, ClipsOfFFmpegAgreeWithFFprobe) {
  TempDir dir;
  for (const ClipCase& c : kClips) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / (std::string(c.videoCodec) + ".flv");
    ASSERT_TRUE(MakeColourClip(file, {"red", "lime", "blue"}, 4, c.videoCodec, c.audioCodec, c.audioRate));
    const TFLVReader flv = TFLVReader::FromFile(file);

    EXPECT_TRUE(flv.HeaderHasVideo);
    EXPECT_TRUE(flv.HeaderHasAudio);
    EXPECT_EQ(flv.VideoCodec(), c.codec);
    EXPECT_EQ(flv.MetaData.VideoCodecId(), c.codec);
    EXPECT_EQ(flv.MetaData.AudioCodecId(), c.soundFormat);
    EXPECT_EQ(std::to_string(flv.VideoFrames.size()), ProbeValue(file, "v", "nb_read_frames"));
    EXPECT_EQ(std::to_string(flv.PictureSize().Width), ProbeValue(file, "v", "width"));
    EXPECT_EQ(std::to_string(flv.PictureSize().Height), ProbeValue(file, "v", "height"));
    EXPECT_DOUBLE_EQ(flv.FrameRate(), 4);
    EXPECT_NEAR(*flv.MetaData.Duration(), std::atof(ProbeValue(file, "", "duration").c_str()), 0.05);
    EXPECT_EQ(flv.VideoFrames.front().FrameType, kFLVKeyFrame);

    ASSERT_FALSE(flv.AudioPackets.empty());
    size_t audioBytes = 0;
    for (const auto& p : flv.AudioPackets) {
      EXPECT_EQ(p.Format, c.soundFormat);
      audioBytes += p.Data.size();
    }
    EXPECT_EQ(std::to_string(flv.AudioPackets.size()), ProbeValue(file, "a", "nb_read_frames"));
    if (c.soundFormat == kFLVSoundPCMLE) {  // three seconds of 16-bit mono samples
      EXPECT_EQ(audioBytes, 3u * c.audioRate * 2);
      EXPECT_EQ(flv.AudioPackets.front().RateCode, 2);
      EXPECT_TRUE(flv.AudioPackets.front().SixteenBit);
    }
  }
}

// ffmpeg has no VP6 encoder: the file is built around the key frame of a corpus movie.
TEST(FLVReader, VP6FromACorpusMovieAndVP6WithAlphaHeaders) {
  TempDir dir;
  const Bytes frame = CorpusVP6Frame();
  {
    SCOPED_TRACE("VP6");
    TFLVBuilder b;
    b.MetaData({{"duration", 0.04}, {"width", 640}, {"height", 480}, {"framerate", 25}, {"videocodecid", 4}});
    b.Video(0, kFLVKeyFrame, kFLVCodecVP6, frame);
    const fs::path file = dir / "vp6.flv";
    WriteBytes(file, b.bytes());
    const TFLVReader flv = TFLVReader::FromFile(file);
    ASSERT_EQ(flv.VideoFrames.size(), 1u);
    EXPECT_EQ(flv.VideoFrames[0].Data, frame);
    EXPECT_EQ(flv.VideoCodec(), kFLVCodecVP6);
    const auto size = VideoFrameSize(flv.VideoFrames[0]);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->Width, 640);
    EXPECT_EQ(size->Height, 480);
    EXPECT_EQ(ProbeValue(file, "v", "codec_name"), "vp6f");
    EXPECT_EQ(ProbeValue(file, "v", "width"), "640");
    EXPECT_EQ(ProbeValue(file, "v", "nb_read_frames"), "1");
  }
  {
    SCOPED_TRACE("VP6 with alpha");
    // The alpha offset, the colour frame, and the same frame again as the alpha plane.
    Bytes alpha = {uint8_t(frame.size() >> 16), uint8_t(frame.size() >> 8), uint8_t(frame.size())};
    alpha.insert(alpha.end(), frame.begin(), frame.end());
    alpha.insert(alpha.end(), frame.begin(), frame.end());
    TFLVBuilder b;
    b.MetaData({{"width", 320}, {"height", 240}, {"framerate", 15}, {"videocodecid", 5}});
    b.Video(0, kFLVKeyFrame, kFLVCodecVP6Alpha, alpha);
    const TFLVReader flv(b.bytes());
    EXPECT_EQ(flv.VideoCodec(), kFLVCodecVP6Alpha);
    EXPECT_EQ(flv.MetaData.VideoCodecId(), 5);
    EXPECT_EQ(flv.MetaData.Width(), 320);
    EXPECT_DOUBLE_EQ(flv.FrameRate(), 15);
    // The frame's own header wins over the metadata.
    EXPECT_EQ(flv.PictureSize().Width, 640);
    EXPECT_EQ(flv.PictureSize().Height, 480);
  }
}

TEST(FLVReader, FallsBackToMetadataAndFrameTimes) {
  // An inter frame tells no size, and no frame rate is given: 3 frames over 200 ms.
  TFLVBuilder b;
  b.MetaData({{"width", 96}, {"height", 64}});
  for (uint32_t t : {0u, 100u, 200u}) b.Video(t, kFLVInterFrame, kFLVCodecH263, {0, 0, 0x84});
  b.Video(250, kFLVCommandFrame, kFLVCodecH263, {0});
  const TFLVReader flv(b.bytes());
  EXPECT_EQ(flv.VideoFrames.size(), 3u);  // the command frame is no picture
  EXPECT_EQ(flv.PictureSize().Width, 96);
  EXPECT_EQ(flv.PictureSize().Height, 64);
  EXPECT_DOUBLE_EQ(flv.FrameRate(), 10);
}

// The H.263 picture sizes of the header: coded, and from the table.
TEST(FLVReader, ReadsTheSizeOfH263KeyFrames) {
  struct {
    Bytes header;
    uint16_t width, height;
  } cases[] = {
      // start code, version 0, temporal reference 0, size 0: 8-bit width 40 and height 30
      {{0x00, 0x00, 0x80, 0x00, 0x14, 0x0F, 0x00}, 40, 30},
      // size 1: 16-bit width 1000 and height 700
      {{0x00, 0x00, 0x80, 0x00, 0x81, 0xF4, 0x01, 0x5E, 0x00}, 1000, 700},
      {{0x00, 0x00, 0x80, 0x02, 0x80}, 320, 240},  // size 5
  };
  for (const auto& c : cases) {
    TFLVVideoFrame frame;
    frame.Codec = kFLVCodecH263;
    frame.Data = c.header;
    const auto size = VideoFrameSize(frame);
    ASSERT_TRUE(size) << ToHex(c.header);
    EXPECT_EQ(size->Width, c.width) << ToHex(c.header);
    EXPECT_EQ(size->Height, c.height) << ToHex(c.header);
  }
}

TEST(FLVReader, DamagedFilesThrowClearErrors) {
  const Bytes good = TFLVBuilder().MetaData({{"width", 8}}).Video(0, 1, 2, {1, 2, 3}).bytes();
  auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes b = good;
    for (uint8_t x : bytes) b.at(at++) = x;
    return b;
  };
  // The metadata tag starts at 13; its data at 24: type 2, length 10, "onMetaData", type 8, the
  // count, then the name "width" (its length at 42) and its value (the type at 49).
  Bytes deep = TFLVBuilder().bytes();
  {
    Bytes data;
    TFLVBuilder::AmfString(data, "onMetaData");
    for (int i = 0; i < 200; ++i) {  // arrays in arrays, each the value of a property "a"
      data.insert(data.end(), {8, 0, 0, 0, 1});
      TFLVBuilder::AmfName(data, "a");
    }
    deep = TFLVBuilder().Tag(18, 0, data).bytes();
  }
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"not an FLV file", Hex("46575308"), "not an FLV file"},
      {"the header points past the file", with(5, {0, 0, 0x10, 0}), "start of its tags"},
      {"the header points into itself", with(5, {0, 0, 0, 4}), "start of its tags"},
      {"cut inside a tag header", Bytes(good.begin(), good.begin() + 20), "inside the header"},
      {"cut inside a tag", Bytes(good.begin(), good.end() - 6), "past the end"},
      {"a tag size larger than the file", with(14, {0x7F, 0xFF, 0xFF}), "past the end"},
      {"an encrypted tag", with(13, {0x32}), "encrypted"},
      {"a metadata string longer than its tag", with(42, {0xFF, 0xFF}), "past the end of its tag"},
      {"a metadata value of unknown type", with(49, {0x42}), "unknown type"},
      {"metadata nested without end", deep, "nests too deep"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      TFLVReader flv(c.bytes);
      ADD_FAILURE() << "no error";
    } catch (const EAudioError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

// Every cut of a real clip either reads or throws the reader's error.
TEST(FLVReader, EveryCutOfAClipReadsOrThrows) {
  TempDir dir;
  const fs::path file = dir / "clip.flv";
  ASSERT_TRUE(MakeColourClip(file, {"red", "blue"}, 2, "flv", "libmp3lame"));
  const Bytes bytes = ReadBytes(file);
  EXPECT_EQ(TFLVReader(bytes).VideoFrames.size(), 4u);  // two colours, a second each
  size_t thrown = 0;
  for (size_t n = 0; n < bytes.size(); n += 7) {
    try {
      TFLVReader flv(std::span<const uint8_t>(bytes).first(n));
    } catch (const EAudioError&) {
      ++thrown;
    }
  }
  EXPECT_GT(thrown, bytes.size() / 7 / 2);
}

}  // namespace
}  // namespace tw::test
