// Track information of the music list and the tag editor: duration, format, ID3v1 reading and
// writing, failures.
#include "audio/mpeg_info.h"

#include "audio/audio_fixtures.h"

namespace tw::test {
namespace {
using namespace tw::audio;

Bytes Frame(uint8_t b1, uint8_t b2, uint8_t b3, size_t length) {
  Bytes f(length, 0);
  f[0] = 0xFF, f[1] = b1, f[2] = b2, f[3] = b3;
  return f;
}

// 128 kbit/s, 44100 Hz, joint stereo frames of 417 bytes.
Bytes Frames(int count, uint8_t b3 = 0x40) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const Bytes f = Frame(0xFB, 0x90, b3, 417);
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

// A first frame holding a Xing header with the given frame count.
Bytes XingFrame(uint8_t b1, uint8_t b2, uint8_t b3, size_t length, size_t offset, uint32_t frames,
                uint32_t flags = 0x0F, std::string_view tag = "Xing") {
  Bytes f = Frame(b1, b2, b3, length);
  Bytes x;
  PutText(x, tag);
  PutBE32(x, flags);
  PutBE32(x, frames);
  PutBE32(x, 123456);
  std::copy(x.begin(), x.end(), f.begin() + static_cast<ptrdiff_t>(offset));
  return f;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Id3v1(std::string_view title, std::string_view artist, uint8_t genre) {
  Bytes t(128, 0);
  std::copy_n("TAG", 3, t.begin());
  std::copy(title.begin(), title.end(), t.begin() + 3);
  std::copy(artist.begin(), artist.end(), t.begin() + 33);
  t[127] = genre;
  return t;
}

TMPEGAudio Read(const fs::path& file) {
  TMPEGAudio a;
  a.SetFileName(file.string());
  return a;
}

TEST(MpegInfo, DurationBitRateAndMode) {
  TempDir dir;
  struct Case {
    const char* name;
    Bytes file;
    uint32_t duration;
    int bitRate;
    const char* mode;
    int version;
  };
  Bytes fourMillion = Frames(2);
  fourMillion.resize(4000000, 0);
  Bytes bigTag = {'I', 'D', '3', 3, 0, 0, 0, 0x0C, 0x35, 0x00};  // 203392 + 10 bytes
  bigTag.resize(203402, 0);
  const Case cases[] = {
      {"128 kbit/s, 4,000,000 bytes", fourMillion, 250, 128, "Stereo", 1},
      {"Xing at 44100 Hz with 1000 frames",
       Concat({XingFrame(0xFB, 0x90, 0x40, 417, 36, 1000), Frames(3)}), 26, -1, "Stereo", 1},
      {"Xing in MPEG 2 (576 samples a frame) at 22050 Hz with 1000 frames",
       Concat({XingFrame(0xF3, 0x80, 0xC0, 208, 13, 1000), Frame(0xF3, 0x80, 0xC0, 208),
               Frame(0xF3, 0x80, 0xC0, 208)}),
       26, -1, "Mono", 2},
      {"Xing without frames: the estimate from the bit rate",
       Concat({XingFrame(0xFB, 0x90, 0x40, 417, 36, 0, 0x00), Frames(299)}), 7, 128, "Stereo", 1},
      {"an Info frame at a higher bit rate: the next frame's rate",
       Concat({XingFrame(0xFB, 0x90, 0xC0, 417, 21, 1000, 0x0F, "Info"),
               Frame(0xFB, 0x10, 0xC0, 104), Frame(0xFB, 0x10, 0xC0, 104)}),
       26, 32, "Mono", 1},
      {"a large ID3v2 tag is not sound", Concat({bigTag, Frames(300)}), 7, 128, "Stereo", 1},
      {"dual channel is stereo", Frames(300, 0x80), 7, 128, "Stereo", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / "song.mp3";
    WriteBytes(file, c.file);
    const TMPEGAudio a = Read(file);
    ASSERT_FALSE(a.Failed());
    EXPECT_EQ(a.Duration(), c.duration);
    EXPECT_DOUBLE_EQ(a.DurationAsTime(), c.duration / 86400.0);
    EXPECT_EQ(a.BitRate(), c.bitRate);
    EXPECT_EQ(a.ModeName(), c.mode);
    EXPECT_EQ(a.Version(), c.version);
    EXPECT_EQ(a.Layer(), 3);
    EXPECT_EQ(a.Length(), c.file.size());
  }
}

TEST(MpegInfo, ScanFromTheStart) {
  TempDir dir;
  // A false sync inside the ID3v2 tag: the bytes a frame length later are not a header.
  Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x03, 0x6A};  // 490 + 10 bytes
  tag.resize(500, 0);
  tag[100] = 0xFF, tag[101] = 0xFB, tag[102] = 0x90, tag[103] = 0x40;
  const fs::path file = dir / "tagged.mp3";
  WriteBytes(file, Concat({tag, Frames(10)}));
  const TMPEGAudio a = Read(file);
  ASSERT_FALSE(a.Failed());
  EXPECT_EQ(a.HeaderPosition(), 500u);
  EXPECT_EQ(a.SampleRate(), 44100u);
  EXPECT_EQ(a.FrameLength(), 417u);
}

TEST(MpegInfo, SearchLimitEndsTheScan) {
  TempDir dir;
  const fs::path file = dir / "late.mp3";
  WriteBytes(file, Concat({Bytes(3000, 0x11), Frames(10)}));
  struct Case {
    uint64_t limit;
    bool found;
  };
  for (const Case c : {Case{0, true}, Case{3000, true}, Case{2999, false}}) {
    SCOPED_TRACE(c.limit);
    TMPEGAudio a;
    a.AutoLoad = false;
    a.SearchLimit = c.limit;
    int blocks = 0;
    a.OnProcessMessages = [&] { ++blocks; };
    a.SetFileName(file.string());
    a.ReadFileInfo();
    EXPECT_EQ(a.Failed(), !c.found);
    EXPECT_EQ(a.HeaderPosition(), c.found ? 3000u : 0u);
    // A scan that ends empty-handed let the window's messages run on its way.
    if (!c.found) {
      EXPECT_GT(blocks, 0);
    }
  }
}

TEST(MpegInfo, LayerOneFramesCountInFourByteSlots) {
  TempDir dir;
  // MPEG 1 Layer I, 288 kbit/s, 44100 Hz: 78 slots of 4 bytes.
  Bytes frames;
  for (int i = 0; i < 300; ++i) {
    const Bytes f = Frame(0xFF, 0x90, 0x40, 312);
    frames.insert(frames.end(), f.begin(), f.end());
  }
  const fs::path file = dir / "layer1.mp3";
  WriteBytes(file, frames);
  const TMPEGAudio a = Read(file);
  ASSERT_FALSE(a.Failed());
  EXPECT_EQ(a.Layer(), 1);
  EXPECT_EQ(a.FrameLength(), 312u);
  EXPECT_EQ(a.HeaderPosition(), 0u);
  EXPECT_EQ(a.Duration(), 2u);  // 93600 bytes at 288 kbit/s
}

TEST(MpegInfo, Failures) {
  TempDir dir;
  struct Case {
    const char* name;
    std::optional<Bytes> file;  // none: missing
    const char* title;
  };
  const Case cases[] = {
      {"missing file", std::nullopt, "[not found: song.mp3]"},
      {"5 bytes", Bytes{0xFF, 0xFB, 0x90, 0x40, 0}, ""},
      {"empty", Bytes{}, ""},
      {"no frame pair", Concat({Frame(0xFB, 0x90, 0x40, 417), Bytes(2000, 0x33)}), ""},
      {"garbage", Bytes(10000, 0xFF), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / "song.mp3";
    fs::remove(file);
    if (c.file) WriteBytes(file, *c.file);
    int calls = 0;
    TMPEGAudio a;
    a.OnReadError = [&](TMPEGAudio& self) {
      EXPECT_EQ(self.ReadErrorText(), "Error openning file: " + file.string());
      // The first answer asks for another try.
      return ++calls == 1 ? 4 : 2;
    };
    a.SetFileName(file.string());
    EXPECT_TRUE(a.Failed());
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(a.Title(), c.title);
    EXPECT_EQ(a.Duration(), 0u);
    EXPECT_EQ(a.SampleRate(), 0u);
  }
}

TEST(MpegInfo, ReadsTheId3v1Tag) {
  TempDir dir;
  const fs::path tagged = dir / "tagged.mp3";
  WriteBytes(tagged, Concat({Frames(10), Id3v1("Caf\xE9", "Band  ", 17)}));
  TMPEGAudio a = Read(tagged);
  EXPECT_TRUE(a.HasTag());
  EXPECT_EQ(a.TagSignature(), "TAG");
  EXPECT_EQ(a.Title(), "Caf\xC3\xA9");
  EXPECT_EQ(a.Artist(), "Band");
  EXPECT_EQ(a.GenreNr(), 17);
  EXPECT_EQ(a.Genre(), "Rock");

  const fs::path untagged = dir / "a song with a rather long file name.mp3";
  WriteBytes(untagged, Frames(10));
  TMPEGAudio b;
  b.SetFileName(untagged.string());
  EXPECT_FALSE(b.HasTag());
  EXPECT_EQ(b.TagSignature(), "BAD");
  EXPECT_EQ(b.Title(), "a song with a rather long file");
  EXPECT_EQ(b.Year(), "    ");
  EXPECT_EQ(b.GenreNr(), 255);
  b.DefaultTitle = "Default";
  b.DefaultArtist = "Someone";
  EXPECT_EQ(b.Title(), "Default");
  EXPECT_EQ(b.Artist(), "Someone");
  a.DefaultTitle = "Default";
  EXPECT_EQ(a.Title(), "Caf\xC3\xA9");
}

TEST(MpegInfo, WritesAndRemovesTheId3v1Tag) {
  TempDir dir;
  const fs::path file = dir / "song.mp3";
  const Bytes audio = Frames(10);
  WriteBytes(file, audio);
  TMPEGAudio a = Read(file);
  a.SetTitle("Caf\xC3\xA9 \xE2\x82\xAC");
  a.SetArtist(std::string(40, 'x'));
  a.SetAlbum("\xE6\x97\xA5\xE6\x9C\xAC");
  a.WriteTag();
  EXPECT_FALSE(a.Failed());
  Bytes bytes = ReadBytes(file);
  ASSERT_EQ(bytes.size(), audio.size() + 128);
  const Bytes tag(bytes.end() - 128, bytes.end());
  EXPECT_EQ(ToHex(Bytes(tag.begin(), tag.begin() + 9)), ToHex(Hex("54 41 47 43 61 66 E9 20 80")));
  EXPECT_EQ(Bytes(tag.begin() + 33, tag.begin() + 63), Bytes(30, 'x'));
  EXPECT_EQ(ToHex(Bytes(tag.begin() + 63, tag.begin() + 70)), ToHex(Hex("E6 97 A5 E6 9C AC 00")));
  EXPECT_EQ(ToHex(Bytes(tag.begin() + 93, tag.begin() + 97)), ToHex(Hex("20 20 20 20")));
  EXPECT_EQ(tag[127], 255);
  // Analysed again: the texts come back.
  EXPECT_EQ(a.Title(), "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(a.Artist(), std::string(30, 'x'));
  EXPECT_EQ(a.Album(), "\xE6\x97\xA5\xE6\x9C\xAC");

  // Writing again replaces the tag: the file grows only the first time.
  a.SetTitle("Second");
  a.WriteTag();
  EXPECT_EQ(fs::file_size(file), audio.size() + 128);
  EXPECT_EQ(Read(file).Title(), "Second");
  EXPECT_EQ(Read(file).Artist(), std::string(30, 'x'));

  a.RemoveTag();
  EXPECT_EQ(ReadBytes(file), audio);
  a.RemoveTag();
  EXPECT_EQ(ReadBytes(file), audio);
}

TEST(MpegInfo, FormatsDurations) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0:00:00"}, {245, "0:04:05"}, {3725, "1:02:05"}, {90000, "25:00:00"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatDuration(seconds), text);
}

}  // namespace
}  // namespace tw::test
