// The frame reader on streams built frame by frame: frame lengths, the first-frame window, VBR
// headers, the frame list and its ends, and hostile input.
#include "audio/mpeg_frames.h"

#include <cstring>
#include <random>

#include "audio/audio_fixtures.h"

namespace tw::test {
namespace {
using namespace tw::audio;

// Frame headers with their lengths from the standard's formulas, worked out by hand.
struct HeaderCase {
  const char* name;
  uint8_t b1, b2, b3;
  int length;
  int samples;
};
const HeaderCase kHeaders[] = {
    {"MPEG 1 Layer III 128 kbit/s 44100 Hz", 0xFB, 0x90, 0x00, 417, 1152},
    {"the same with padding", 0xFB, 0x92, 0x00, 418, 1152},
    {"MPEG 1 Layer III 128 kbit/s 44100 Hz mono", 0xFB, 0x90, 0xC0, 417, 1152},
    {"MPEG 2 Layer III 64 kbit/s 22050 Hz", 0xF3, 0x80, 0x00, 208, 576},
    {"MPEG 2.5 Layer III 8 kbit/s 8000 Hz mono", 0xE3, 0x18, 0xC0, 72, 576},
    {"MPEG 1 Layer II 192 kbit/s 48000 Hz", 0xFD, 0xA4, 0x00, 576, 1152},
    {"MPEG 2 Layer II 64 kbit/s 22050 Hz (1152 samples)", 0xF5, 0x80, 0xC0, 417, 1152},
    {"MPEG 1 Layer I 32 kbit/s 44100 Hz (4-byte slots)", 0xFF, 0x10, 0xC0, 32, 384},
    {"the same with a padding slot", 0xFF, 0x12, 0xC0, 36, 384},
};

Bytes Frame(uint8_t b1, uint8_t b2, uint8_t b3, int length, uint8_t fill = 0) {
  Bytes f(static_cast<size_t>(length), fill);
  f[0] = 0xFF;
  f[1] = b1;
  f[2] = b2;
  f[3] = b3;
  return f;
}

Bytes Frames(const HeaderCase& h, int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const Bytes f = Frame(h.b1, h.b2, h.b3, h.length);
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

TMPEGaudio Analyse(const Bytes& file) {
  TSourceStream s = TSourceStream::OpenMemory(file);
  TMPEGaudio m;
  EXPECT_TRUE(m.Analyze(s));
  return m;
}

TEST(MpegFrames, FrameLengthsFollowTheStandard) {
  for (const auto& h : kHeaders) {
    SCOPED_TRACE(h.name);
    const uint8_t bytes[4] = {0xFF, h.b1, h.b2, h.b3};
    ASSERT_TRUE(IsUsableFrameHeader(bytes));
    TMPEGFrameHeader header;
    header.Decode(bytes);
    EXPECT_EQ(header.FrameLength(), h.length);
    EXPECT_EQ(header.SamplesPerFrame(), h.samples);
    const TMPEGaudio m = Analyse(Frames(h, 20));
    EXPECT_EQ(m.FrameList.size(), 20u);
    EXPECT_EQ(m.AudioFrameCount, 20u);
  }
}

// ffmpeg decodes silent frames of every layer; it must count as many packets as we list.
TEST(MpegFrames, SilentFramesOfEveryLayerAgreeWithFfprobe) {
  TempDir dir;
  for (const auto& h : kHeaders) {
    SCOPED_TRACE(h.name);
    const fs::path file = dir / "frames.mp3";
    WriteBytes(file, Frames(h, 30));
    EXPECT_EQ(Probe(file).packets, 30);
    EXPECT_EQ(Analyse(ReadBytes(file)).FrameList.size(), 30u);
  }
}

TEST(MpegFrames, HeadersThatAreNotAccepted) {
  const Bytes rejected[] = {
      {0xFF, 0xFB, 0x00, 0x00},  // free format
      {0xFF, 0xFB, 0xF0, 0x00},  // bit rate index 15
      {0xFF, 0xFB, 0x9C, 0x00},  // sample rate index 3
      {0xFF, 0xEB, 0x90, 0x00},  // reserved version
      {0xFF, 0xF9, 0x90, 0x00},  // reserved layer
      {0xFF, 0xFB, 0x90, 0x02},  // emphasis 2
      {0xFE, 0xFB, 0x90, 0x00},  // no sync
  };
  for (const auto& b : rejected) {
    SCOPED_TRACE(ToHex(b));
    EXPECT_FALSE(IsUsableFrameHeader(b.data()));
    Bytes stream;
    for (int i = 0; i < 40; ++i) {
      Bytes f = b;
      f.resize(417, 0);
      stream.insert(stream.end(), f.begin(), f.end());
    }
    const TMPEGaudio m = Analyse(stream);
    EXPECT_FALSE(m.FirstFrame.Found);
    EXPECT_TRUE(m.FrameList.empty());
    EXPECT_EQ(m.Duration(), 0);
    EXPECT_EQ(m.BitRate(), 0);
  }
}

TEST(MpegFrames, FirstFrameWindow) {
  for (size_t at : {size_t{0}, size_t{1000}, size_t{1729}, size_t{1730}}) {
    SCOPED_TRACE(at);
    Bytes window(TMPEGaudio::kWindowSize, 0);
    const Bytes frames = Frames(kHeaders[0], 3);
    std::copy_n(frames.begin(), std::min(frames.size(), window.size() - at),
                window.begin() + static_cast<ptrdiff_t>(at));
    TVBRHeader vbr;
    const TMPEGFrameHeader h = TMPEGaudio::FindFirstFrame(window, vbr);
    EXPECT_EQ(h.Found, at <= 1729);
    if (h.Found) {
      EXPECT_EQ(h.Position, int64_t(at));
      EXPECT_EQ(h.Size, 417);
      EXPECT_TRUE(h.Empty);
    }
  }
  // A header is accepted only when another one follows a frame length later.
  Bytes lone(TMPEGaudio::kWindowSize, 0);
  const Bytes one = Frame(0xFB, 0x90, 0x00, 4);
  std::copy(one.begin(), one.end(), lone.begin() + 10);
  TVBRHeader vbr;
  EXPECT_FALSE(TMPEGaudio::FindFirstFrame(lone, vbr).Found);
  EXPECT_FALSE(TMPEGaudio::FindFirstFrame(Bytes(100, 0xFF), vbr).Found);
}

// A first frame that holds a VBR header at the given offset.
Bytes VBRFrame(uint8_t b1, uint8_t b2, uint8_t b3, int length, size_t offset, std::string_view tag,
               uint32_t frames, uint32_t bytes, uint8_t flags = 0x0F) {
  Bytes f = Frame(b1, b2, b3, length);
  Bytes v;
  PutText(v, tag);
  if (tag == "VBRI") {
    v.insert(v.end(), {0, 1, 0, 0, 0, 42});
    PutBE32(v, bytes);
    PutBE32(v, frames);
  } else {
    v.insert(v.end(), {0, 0, 0, flags});
    PutBE32(v, frames);
    PutBE32(v, bytes);
    v.resize(119, 0);
    v.push_back(77);  // quality
    PutText(v, "LAME3.10");
  }
  std::copy(v.begin(), v.end(), f.begin() + static_cast<ptrdiff_t>(offset));
  return f;
}

TEST(MpegFrames, VBRHeaders) {
  struct Case {
    const char* name;
    Bytes first;
    const HeaderCase* audio;
    const char* tag;
    uint32_t frameTotal;
    uint32_t byteTotal;
    int bitRate;
    double duration;
  };
  const HeaderCase& mpeg1 = kHeaders[0];
  const HeaderCase& mpeg1Mono = kHeaders[2];
  const HeaderCase& mpeg2 = kHeaders[3];
  const Case cases[] = {
      {"Xing in MPEG 1 stereo at byte 36: average bit rate from the totals",
       VBRFrame(0xFB, 0x90, 0x00, 417, 36, "Xing", 100, 41800), &mpeg1, "Xing", 100, 41800, 128,
       100 * 1152 / 44100.0},
      {"Xing in MPEG 1 mono at byte 21", VBRFrame(0xFB, 0x90, 0xC0, 417, 21, "Xing", 50, 10450),
       &mpeg1Mono, "Xing", 50, 10450, 64, 50 * 1152 / 44100.0},
      {"Xing in MPEG 2 stereo at byte 21: 576 samples a frame",
       VBRFrame(0xF3, 0x80, 0x00, 208, 21, "Xing", 1000, 208000), &mpeg2, "Xing", 1000, 208000, 64,
       1000 * 576 / 22050.0},
      {"Info with a frame count only: the frame's own bit rate",
       VBRFrame(0xFB, 0x90, 0x00, 417, 36, "Info", 30, 12345, 0x01), &mpeg1, "Info", 30, 0, 128,
       30 * 1152 / 44100.0},
      {"VBRI at byte 36", VBRFrame(0xFB, 0x90, 0x00, 417, 36, "VBRI", 200, 83600), &mpeg1, "VBRI",
       200, 83600, 128, 200 * 1152 / 44100.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = c.first;
    const Bytes rest = Frames(*c.audio, 9);
    file.insert(file.end(), rest.begin(), rest.end());
    TMPEGaudio m = Analyse(file);
    ASSERT_TRUE(m.FirstFrame.Found);
    EXPECT_TRUE(m.VBRHeader.Found);
    EXPECT_EQ(m.VBRHeader.Tag, c.tag);
    EXPECT_EQ(m.VBRHeader.FrameTotal, c.frameTotal);
    EXPECT_EQ(m.VBRHeader.ByteTotal, c.byteTotal);
    EXPECT_EQ(m.BitRate(), c.bitRate);
    EXPECT_DOUBLE_EQ(m.Duration(), c.duration);
    // The header frame is listed, not audio; the count is the list's.
    ASSERT_EQ(m.FrameList.size(), 10u);
    EXPECT_FALSE(m.FrameList[0].IsAudio);
    EXPECT_EQ(m.AudioFrameCount, 9u);
    EXPECT_EQ(m.FrameCount(), 10u);
    m.FrameList.clear();
    EXPECT_EQ(m.FrameCount(), c.frameTotal);
  }
  // A Xing header with no frames gives no average and no duration from it.
  Bytes zero = VBRFrame(0xFB, 0x90, 0x00, 417, 36, "Xing", 0, 0);
  const Bytes rest = Frames(mpeg1, 9);
  zero.insert(zero.end(), rest.begin(), rest.end());
  const TMPEGaudio m = Analyse(zero);
  EXPECT_EQ(m.BitRate(), 128);
  EXPECT_DOUBLE_EQ(m.Duration(), zero.size() * 8 / 128000.0);
}

TEST(MpegFrames, ListEndsAndTags) {
  const HeaderCase& h = kHeaders[0];
  {
    SCOPED_TRACE("a junk byte ends the list");
    Bytes file = Frames(h, 5);
    file.push_back(0x00);
    const Bytes more = Frames(h, 5);
    file.insert(file.end(), more.begin(), more.end());
    const TMPEGaudio m = Analyse(file);
    EXPECT_EQ(m.FrameList.size(), 5u);
  }
  {
    SCOPED_TRACE("a truncated last frame is still listed");
    Bytes file = Frames(h, 5);
    file.resize(file.size() - 300);
    const TMPEGaudio m = Analyse(file);
    ASSERT_EQ(m.FrameList.size(), 5u);
    EXPECT_GT(m.FrameList.back().Position + m.FrameList.back().Size, file.size());
  }
  {
    SCOPED_TRACE("the ID3v1 tag is not scanned; the estimates count it");
    Bytes file = Frames(h, 5);
    Bytes tag(128, 0);
    PutText(tag, "");
    tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
    file.insert(file.end(), tag.begin(), tag.end());
    const TMPEGaudio m = Analyse(file);
    EXPECT_EQ(m.ID3v1.TagSize, 128u);
    EXPECT_EQ(m.FrameList.size(), 5u);
    EXPECT_DOUBLE_EQ(m.Duration(), file.size() * 8 / 128000.0);
  }
  {
    SCOPED_TRACE("an ID3v2 tag is skipped; positions are absolute in the list");
    Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x76};  // 1014 + 10 bytes
    file.resize(1024, 0);
    file[500] = 0xFF, file[501] = 0xFB, file[502] = 0x90;  // a false sync inside the tag
    const Bytes frames = Frames(h, 4);
    file.insert(file.end(), frames.begin(), frames.end());
    const TMPEGaudio m = Analyse(file);
    EXPECT_EQ(m.ID3v2.Size, 1024u);
    EXPECT_EQ(m.FirstFrame.Position, 0);
    EXPECT_EQ(m.FirstFrameOffset(), 1024u);
    ASSERT_EQ(m.FrameList.size(), 4u);
    EXPECT_EQ(m.FrameList[1].Position, 1024u + 417);
    EXPECT_EQ(m.FrameCount(), 4u);
  }
  {
    SCOPED_TRACE("an ID3v2 size beyond the file: searched from the start");
    Bytes file = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    file.resize(200, 0);
    const Bytes frames = Frames(h, 4);
    file.insert(file.end(), frames.begin(), frames.end());
    const TMPEGaudio m = Analyse(file);
    EXPECT_TRUE(m.ID3v2.Exists);
    EXPECT_EQ(m.ID3v2.Size, 0u);
    EXPECT_EQ(m.FirstFrameOffset(), 200u);
    EXPECT_EQ(m.FrameList.size(), 4u);
  }
  {
    SCOPED_TRACE("junk longer than the window: the scan goes on to the first frame");
    Bytes file(3000, 0x41);
    const Bytes frames = Frames(h, 20);
    file.insert(file.end(), frames.begin(), frames.end());
    const TMPEGaudio m = Analyse(file);
    ASSERT_TRUE(m.FirstFrame.Found);
    EXPECT_EQ(m.FirstFrameOffset(), 3000u);
    EXPECT_EQ(m.FrameList.size(), 20u);
  }
  {
    SCOPED_TRACE("a second ID3v2 tag behind the first, larger than the window (cover art)");
    Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 100};  // 100 + 10 bytes
    file.resize(110, 0);
    Bytes second = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x27, 0x76};  // 5110 + 10 bytes
    second.resize(5120, 0);
    // Picture bytes that look like frames: sync words one frame length apart.
    for (size_t i = 1000; i + 4 < second.size(); i += 417) second[i] = 0xFF, second[i + 1] = 0xFB, second[i + 2] = 0x90;
    file.insert(file.end(), second.begin(), second.end());
    const Bytes frames = Frames(h, 20);
    file.insert(file.end(), frames.begin(), frames.end());
    const TMPEGaudio m = Analyse(file);
    ASSERT_TRUE(m.FirstFrame.Found);
    EXPECT_EQ(m.FirstFrameOffset(), 110u + 5120);
    EXPECT_EQ(m.FrameList.size(), 20u);
    EXPECT_EQ(m.FrameCount(), 20u);
  }
}

// A song many times the read buffer: the list read from the file, whose buffer moves on at every
// frame whose first bytes it does not hold whole, is the list of the bytes in memory, and both
// are the frames written. Frames of two lengths shift the buffer's edges through every part of
// a frame; header frames are scattered through it, mono ones among them with their tag just
// after the side information; the last frame is cut short and an ID3v1 tag follows.
TEST(MpegFrames, ListFromAFileLargerThanItsBufferIsTheListFromMemory) {
  Bytes file;
  std::vector<TMP3FrameInfo> written;
  uint32_t audio = 0;
  std::mt19937 random(17);
  for (int i = 0; i < 6000; ++i) {
    const HeaderCase& h = kHeaders[random() % 3];  // 417 or 418 bytes, stereo or mono
    Bytes f = Frame(h.b1, h.b2, h.b3, h.length, static_cast<uint8_t>(random()));
    const bool header = i % 97 == 5;
    if (header) std::memcpy(f.data() + (h.b3 == 0xC0 && i % 2 ? 21 : 36), "Info", 4);
    TMP3FrameInfo info;
    info.Position = file.size();
    info.Size = static_cast<uint16_t>(h.length);
    info.IsAudio = !header;
    audio += !header;
    std::memcpy(info.Header.data(), f.data(), 4);
    written.push_back(info);
    file.insert(file.end(), f.begin(), f.end());
  }
  file.resize(file.size() - 100);
  Bytes tag(128, 0);
  tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
  file.insert(file.end(), tag.begin(), tag.end());
  ASSERT_GT(file.size(), 30 * 64 * 1024u);

  TempDir dir;
  WriteBytes(dir / "long.mp3", file);
  TSourceStream stream = TSourceStream::OpenFile(dir / "long.mp3");
  TMPEGaudio fromFile;
  ASSERT_TRUE(fromFile.Analyze(stream));
  const TMPEGaudio fromMemory = Analyse(file);
  const TMPEGaudio* const lists[] = {&fromFile, &fromMemory};
  for (const TMPEGaudio* m : lists) {
    SCOPED_TRACE(m == &fromFile ? "file" : "memory");
    ASSERT_EQ(m->FrameList.size(), written.size());
    EXPECT_EQ(m->AudioFrameCount, audio);
    for (size_t i = 0; i < written.size(); ++i) {
      const TMP3FrameInfo& a = m->FrameList[i];
      const TMP3FrameInfo& b = written[i];
      ASSERT_TRUE(a.Position == b.Position && a.Size == b.Size && a.IsAudio == b.IsAudio &&
                  a.Header == b.Header)
          << "frame " << i;
    }
  }
}

TEST(MpegFrames, HostileStreamsNeitherCrashNorHang) {
  const Bytes cases[] = {
      {},
      {0xFF},
      {0xFF, 0xFB, 0x90},
      Bytes(5000, 0xFF),
      Bytes(5000, 0x00),
      {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F},
      {'I', 'D', '3', 3, 0, 0x40, 0, 0, 0, 20, 0xFF, 0xFF, 0xFF, 0xFF},
  };
  for (const auto& c : cases) {
    const TMPEGaudio m = Analyse(c);
    EXPECT_LE(m.FrameList.size(), c.size() / 24 + 1);
  }
  // Random bytes dense in sync patterns, and frames with random bytes spliced in.
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    Bytes file = Frames(kHeaders[round % std::size(kHeaders)], 1 + round % 7);
    const size_t junk = random() % 4000;
    for (size_t i = 0; i < junk; ++i) {
      const uint32_t r = random();
      file.insert(file.begin() + static_cast<ptrdiff_t>(r % (file.size() + 1)),
                  (r >> 24) < 64 ? uint8_t{0xFF} : static_cast<uint8_t>(r >> 16));
    }
    const TMPEGaudio m = Analyse(file);
    EXPECT_LE(m.FrameList.size(), file.size() / 24 + 1);
    for (const auto& f : m.FrameList) EXPECT_LT(f.Position, file.size());
  }
}

}  // namespace
}  // namespace tw::test
