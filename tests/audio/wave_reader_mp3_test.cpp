// The sound source for MP3 songs: whole frames for SWF sound blocks, header frames skipped,
// looping and padding, frame counts, and MPEG audio inside a WAV file.
#include "audio/audio_fixtures.h"
#include "audio/wave_reader.h"

namespace tw::test {
namespace {
using namespace tw::audio;

// A frame of the given header whose body bytes are all fill.
Bytes Frame(uint8_t b2, size_t length, uint8_t fill, uint8_t b3 = 0xC0) {
  Bytes f(length, fill);
  f[0] = 0xFF, f[1] = 0xFB, f[2] = b2, f[3] = b3;
  return f;
}

// A mono MPEG 1 frame holding a Xing header at byte 21.
Bytes XingFrame(uint8_t b2, size_t length, uint32_t frames) {
  Bytes f = Frame(b2, length, 0);
  const uint8_t tag[] = {'X',
                         'i',
                         'n',
                         'g',
                         0,
                         0,
                         0,
                         1,
                         uint8_t(frames >> 24),
                         uint8_t(frames >> 16),
                         uint8_t(frames >> 8),
                         uint8_t(frames)};
  std::copy(std::begin(tag), std::end(tag), f.begin() + 21);
  return f;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

template <class F>
Bytes Written(F&& write) {
  swf::TMemoryStream s;
  swf::TBitsEngine be(s);
  write(be);
  return s.Release();
}

TEST(WaveReaderMp3, WritesWholeAudioFrames) {
  TempDir dir;
  const fs::path file = dir / "song.mp3";
  // 128 kbit/s frames of 417 bytes, numbered by their fill bytes 1 to 5.
  const Bytes frames[] = {Frame(0x90, 417, 1), Frame(0x90, 417, 2), Frame(0x90, 417, 3),
                          Frame(0x90, 417, 4), Frame(0x90, 417, 5)};
  WriteBytes(file, Concat({XingFrame(0x90, 417, 5), frames[0], frames[1], frames[2], frames[3],
                           frames[4]}));
  {
    TWaveReader reader(file);
    EXPECT_EQ(reader.FormatTag, kFormatMP3File);
    EXPECT_EQ(reader.Channels, 1);
    EXPECT_EQ(reader.SampleRate, 44100u);
    EXPECT_EQ(reader.FrameCount, 6u);
    EXPECT_EQ(reader.FrameSize, 417);
    EXPECT_EQ(reader.SamplesPerFrame, 1152);
    uint32_t next = 0;
    // Asked for 3 frames with the Xing frame first: the next 3 audio frames.
    EXPECT_EQ(Written([&](swf::TBitsEngine& be) { next = reader.WriteMP3Frames(be, 0, false, 3); }),
              Concat({frames[0], frames[1], frames[2]}));
    EXPECT_EQ(next, 4u);
    // At the end without loop: zero bytes for the frames missing.
    EXPECT_EQ(
        Written([&](swf::TBitsEngine& be) { next = reader.WriteMP3Frames(be, next, false, 3); }),
        Concat({frames[3], frames[4], Bytes(417, 0)}));
    EXPECT_EQ(next, 6u);
    // With loop: from the first audio frame again.
    EXPECT_EQ(Written([&](swf::TBitsEngine& be) { next = reader.WriteMP3Frames(be, 4, true, 4); }),
              Concat({frames[3], frames[4], frames[0], frames[1]}));
    EXPECT_EQ(next, 3u);
    // An event sound copies all the data between the tags.
    reader.SeekSource(reader.DataOffset);
    EXPECT_EQ(Written([&](swf::TBitsEngine& be) { reader.CopySource(be, reader.DataSize); }),
              ReadBytes(file));
  }
}

TEST(WaveReaderMp3, FrameCounts) {
  TempDir dir;
  const fs::path file = dir / "song.mp3";
  struct Case {
    const char* name;
    Bytes bytes;
    uint32_t frameCount;
    size_t hundredFrames;  // the bytes of 100 frames asked for: the frames, then zeros
  };
  Bytes truncated = Concat({Frame(0x90, 417, 1), Frame(0x90, 417, 2), Frame(0x90, 417, 3)});
  truncated.resize(truncated.size() - 100);
  Bytes vbr = XingFrame(0x90, 417, 20);
  for (int i = 0; i < 20; ++i) {
    const Bytes f = Frame(0x10, 104, uint8_t(i + 1));  // 32 kbit/s
    vbr.insert(vbr.end(), f.begin(), f.end());
  }
  Bytes tagged = Concat({Frame(0x90, 417, 1), Frame(0x90, 417, 2), Bytes(128, 0)});
  std::copy_n("TAG", 3, tagged.end() - 128);
  const Case cases[] = {
      {"a last frame cut short is not counted", truncated, 2, 100 * 417},
      {"a VBR file whose header frame is larger than its frames keeps them all", vbr, 21,
       20 * 104 + 80 * 417},
      {"an ID3v1 tag is not data", tagged, 2, 100 * 417},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(file, c.bytes);
    TWaveReader reader(file);
    EXPECT_EQ(reader.FrameCount, c.frameCount);
    EXPECT_LE(reader.DataOffset + reader.DataSize, c.bytes.size());
    // Writing all the frames never hangs, never reads beyond the file.
    const Bytes out = Written([&](swf::TBitsEngine& be) {
      EXPECT_EQ(reader.WriteMP3Frames(be, 0, false, 100), reader.FrameCount);
    });
    EXPECT_EQ(out.size(), c.hundredFrames);
  }
  // A VBR header that claims more frames than 32 bits of samples hold.
  Bytes huge = XingFrame(0x90, 417, 0xFFFFFFFF);
  huge.insert(huge.end(), vbr.begin() + 417, vbr.end());
  WriteBytes(file, huge);
  EXPECT_EQ(TWaveReader(file).SampleCount, UINT32_MAX);
  // Frames of which none is audio: looping ends with zero bytes.
  WriteBytes(file, Concat({XingFrame(0x90, 417, 1), XingFrame(0x90, 417, 1)}));
  TWaveReader reader(file);
  EXPECT_EQ(Written([&](swf::TBitsEngine& be) { reader.WriteMP3Frames(be, 0, true, 2); }),
            Bytes(834, 0));
}

// All audio frames written as SWF sound data form an MP3 stream ffmpeg reads like the song.
TEST(WaveReaderMp3, CopiedFramesAreTheSong) {
  TempDir dir;
  const std::vector<std::pair<std::string, CommandLine>> songs = {
      {"copy-vbr.mp3",
       {"lame", "--quiet", "-V", "5", "--tt", "T", "--add-id3v2", "{tmp}", "{out}"}},
      {"copy-mpeg25.mp3",
       {"lame", "--quiet", "-b", "16", "--resample", "11.025", "{tmp}", "{out}"}},
      {"copy-mp3-in.wav",
       {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", "{tmp}", "-c:a", "libmp3lame", "-b:a",
        "64k", "{out}"}},
  };
  for (const auto& [name, encode] : songs) {
    SCOPED_TRACE(name);
    const fs::path song = MakeAudio(name, {SoxSignal("{tmp}", 44100, 2, 2), encode});
    ASSERT_FALSE(song.empty());
    TWaveReader reader(song);
    ASSERT_TRUE(reader.HasSource());
    EXPECT_EQ(reader.FormatTag,
              song.extension() == ".wav" ? kWaveFormatMPEGLayer3 : kFormatMP3File);
    const uint32_t audio = reader.MPEGInfo().AudioFrameCount;
    const fs::path copy = dir / "copy.mp3";
    WriteBytes(copy, Written([&](swf::TBitsEngine& be) {
                 EXPECT_EQ(reader.WriteMP3Frames(be, 0, false, audio), reader.FrameCount);
               }));
    const ProbeInfo original = Probe(song);
    const ProbeInfo copied = Probe(copy);
    EXPECT_EQ(copied.packets, long(audio));
    EXPECT_EQ(copied.packets, original.packets);
    EXPECT_EQ(copied.sampleRate, original.sampleRate);
    EXPECT_EQ(copied.channels, original.channels);
    // Whole frames of sound (the song itself may be trimmed by its encoder delay).
    EXPECT_EQ(FfmpegDecode(copy).size(), size_t{audio} * reader.SamplesPerFrame * reader.Channels);
  }
}

}  // namespace
}  // namespace tw::test
