// WAV files: the RIFF walk, the format information of the music list, and the PCM sound data
// of the sound source, on files made by sox and files built chunk by chunk, hostile ones too.
#include <optional>

#include "audio/audio_fixtures.h"
#include "audio/riff.h"
#include "audio/wave_info.h"
#include "audio/wave_reader.h"

namespace tw::test {
namespace {
using namespace tw::audio;

Bytes Chunk(std::string_view id, const Bytes& body, std::optional<uint32_t> declared = {}) {
  Bytes c;
  PutText(c, id);
  PutLE32(c, declared.value_or(static_cast<uint32_t>(body.size())));
  c.insert(c.end(), body.begin(), body.end());
  if (body.size() % 2) c.push_back(0);
  return c;
}

Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t size = 16) {
  Bytes b;
  PutLE16(b, tag);
  PutLE16(b, channels);
  PutLE32(b, rate);
  PutLE32(b, rate * channels * bits / 8);
  PutLE16(b, static_cast<uint32_t>(channels * bits / 8));
  PutLE16(b, bits);
  b.resize(size, 0);
  return Chunk("fmt ", b);
}

Bytes Riff(std::initializer_list<Bytes> chunks, std::optional<uint32_t> declared = {}) {
  Bytes body;
  PutText(body, "WAVE");
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body, declared);
}

Bytes Samples16(std::initializer_list<int16_t> values) {
  Bytes b;
  for (int16_t v : values) PutLE16(b, static_cast<uint16_t>(v));
  return b;
}

Bytes Truncated(Bytes b, size_t size) {
  b.resize(size);
  return b;
}

// The bytes a write produces.
template <class F>
Bytes Written(F&& write) {
  swf::TMemoryStream s;
  swf::TBitsEngine be(s);
  write(be);
  be.FlushBits(true);
  return s.Release();
}

TEST(Wave, FormatInformation) {
  TempDir dir;
  const Bytes tenSamples = Samples16({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  struct Case {
    const char* name;
    Bytes file;
    bool ok;
    int channels;
    uint32_t rate;
    int bits;
    uint64_t dataOffset;
    uint32_t dataSize;
    double duration;
  };
  const Case cases[] = {
      {"PCM with the common 16-byte format chunk",
       Riff({Fmt(1, 1, 10, 16), Chunk("data", tenSamples)}), true, 1, 10, 16, 44, 20, 1.0},
      {"a list chunk before the data, an odd chunk padded",
       Riff({Fmt(1, 2, 8000, 8), Chunk("LIST", Bytes(7, 1)), Chunk("data", Bytes(16000, 128))}),
       true, 2, 8000, 8, 60, 16000, 1.0},
      {"an 18-byte format chunk", Riff({Fmt(1, 1, 4, 16, 18), Chunk("data", Bytes(8, 0))}), true, 1,
       4, 16, 46, 8, 1.0},
      {"a RIFF size of 4 GB", Riff({Fmt(1, 1, 10, 16), Chunk("data", tenSamples)}, 0xFFFFFFFF),
       true, 1, 10, 16, 44, 20, 1.0},
      {"a data size beyond the file is cut to it",
       Riff({Fmt(1, 1, 10, 16), Chunk("data", tenSamples, 0xFFFFFFF0)}), true, 1, 10, 16, 44, 20,
       1.0},
      {"a 2-byte format chunk", Riff({Chunk("fmt ", {1, 0}), Chunk("data", tenSamples)}), false, 0,
       0, 0, 0, 0, 0},
      {"no channels", Riff({Fmt(1, 0, 10, 16), Chunk("data", tenSamples)}), false, 0, 0, 0, 0, 0,
       0},
      {"no sample rate", Riff({Fmt(1, 1, 0, 16), Chunk("data", tenSamples)}), false, 0, 0, 0, 0, 0,
       0},
      {"no data chunk", Riff({Fmt(1, 1, 10, 16)}), false, 0, 0, 0, 0, 0, 0},
      {"no format chunk", Riff({Chunk("data", tenSamples)}), false, 0, 0, 0, 0, 0, 0},
      {"not a WAVE form", Chunk("RIFF", Bytes{'A', 'V', 'I', ' '}), false, 0, 0, 0, 0, 0, 0},
      {"truncated in the format chunk", Truncated(Riff({Fmt(1, 1, 10, 16)}), 30), false, 0, 0, 0, 0,
       0, 0},
      {"empty", Bytes{}, false, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / "song.wav";
    WriteBytes(file, c.file);
    const auto info = ReadWaveFormatInfo(file);
    ASSERT_EQ(info.has_value(), c.ok);
    if (c.ok) {
      EXPECT_EQ(info->FormatTag, 1);
      EXPECT_EQ(info->Channels, c.channels);
      EXPECT_EQ(info->SampleRate, c.rate);
      EXPECT_EQ(info->BitsPerSample, c.bits);
      EXPECT_EQ(info->DataOffset, c.dataOffset);
      EXPECT_EQ(info->DataSize, c.dataSize);
      EXPECT_DOUBLE_EQ(info->Duration, c.duration);
    }
    // The sound source never trusts a size beyond the file, and can always be asked for data.
    TWaveReader reader(file);
    EXPECT_LE(reader.DataOffset + reader.DataSize, c.file.size());
    EXPECT_EQ(reader.HasSource(), c.ok);
    if (!c.ok) {
      EXPECT_EQ(reader.Duration, 0);
    }
    EXPECT_EQ(Written([&](swf::TBitsEngine& be) { reader.WriteWaveData(be, 64, true, 0); }).size(),
              64u);
    EXPECT_FALSE(
        Written([&](swf::TBitsEngine& be) { reader.WriteWaveData(be, 64, false, 4); }).empty());
  }
}

// WAV files as sox writes them, against ffprobe.
TEST(Wave, SoxFilesAgreeWithFfprobe) {
  struct Case {
    const char* name;
    int rate, channels, bits;
    const char* encoding;
  };
  const Case cases[] = {
      {"u8-mono.wav", 11025, 1, 8, "unsigned-integer"},
      {"s16-stereo.wav", 44100, 2, 16, "signed-integer"},
      {"s24-stereo-extensible.wav", 48000, 2, 24, "signed-integer"},
      {"ms-adpcm-stereo.wav", 22050, 2, 4, "ms-adpcm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = MakeAudio(
        c.name,
        {{"sox", "-q", "-n", "-r", std::to_string(c.rate), "-c", std::to_string(c.channels), "-b",
          std::to_string(c.bits), "-e", c.encoding, "{out}", "synth", "1.5", "sine", "440"}});
    ASSERT_FALSE(file.empty());
    const ProbeInfo probe = Probe(file);
    const auto info = ReadWaveFormatInfo(file);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(int(info->SampleRate), probe.sampleRate);
    EXPECT_EQ(int(info->Channels), probe.channels);
    EXPECT_EQ(info->BitsPerSample, c.bits);
    // Microsoft ADPCM blocks carry headers: the samples are counted, not the bytes.
    EXPECT_NEAR(info->Duration, probe.duration, 1e-3);
    TWaveReader reader(file);
    // Sound data comes from PCM and Microsoft ADPCM; sox writes 24-bit samples with the
    // extensible format tag, which SWF sound cannot carry.
    EXPECT_EQ(reader.HasSource(), reader.FormatTag == 1 || reader.FormatTag == 2);
    EXPECT_EQ(reader.FormatTag, c.bits == 24 ? 0xFFFE : c.bits == 4 ? 2 : 1);
    EXPECT_EQ(int(reader.Channels), probe.channels);
    EXPECT_NEAR(reader.Duration, probe.duration, 0.05);
  }
}

TEST(Wave, PcmDataLoopsOrPads) {
  TempDir dir;
  const fs::path file = dir / "ten.wav";
  WriteBytes(file,
             Riff({Fmt(1, 1, 10, 16), Chunk("data", Samples16({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})),
                   Chunk("LIST", Bytes(20, 0x77))}));
  for (bool loop : {true, false}) {
    SCOPED_TRACE(loop ? "loop" : "no loop");
    TWaveReader reader(file);
    EXPECT_EQ(reader.SampleCount, 10u);
    auto next = [&](uint32_t bytes) {
      return Written([&](swf::TBitsEngine& be) { reader.WriteWaveData(be, bytes, loop, 0); });
    };
    EXPECT_EQ(next(8), Samples16({1, 2, 3, 4}));
    EXPECT_EQ(next(8), Samples16({5, 6, 7, 8}));
    // At the end: the start again, or zeros; never the chunk that follows the data.
    EXPECT_EQ(next(8), loop ? Samples16({9, 10, 1, 2}) : Samples16({9, 10, 0, 0}));
    EXPECT_EQ(next(24), loop ? Samples16({3, 4, 5, 6, 7, 8, 9, 10, 1, 2, 3, 4}) : Bytes(24, 0));
  }
  // Eight-bit silence is 128.
  const fs::path eight = dir / "eight.wav";
  WriteBytes(eight, Riff({Fmt(1, 1, 10, 8), Chunk("data", Bytes{1, 2, 3})}));
  TWaveReader reader(eight);
  EXPECT_EQ(Written([&](swf::TBitsEngine& be) { reader.WriteWaveData(be, 5, false, 0); }),
            (Bytes{1, 2, 3, 0x80, 0x80}));
  reader.SeekSource(reader.DataOffset);
  EXPECT_EQ(Written([&](swf::TBitsEngine& be) { reader.CopySource(be, 3); }), (Bytes{1, 2, 3}));
}

TEST(Wave, PcmAsAdpcmChunks) {
  TempDir dir;
  const fs::path file = dir / "ten.wav";
  WriteBytes(file, Riff({Fmt(1, 1, 10, 16), Chunk("data", Samples16({1000, 1010, 1020, 1030}))}));
  TWaveReader reader(file);
  // Code size 4: "10", sample 1000, step index 3 (10 is the first step of at least 10), then
  // three 4-bit codes.
  const Bytes chunk = Written([&](swf::TBitsEngine& be) { reader.WriteWaveData(be, 8, false, 4); });
  ASSERT_EQ(chunk.size(), 5u);  // 2 + 22 + 12 bits
  EXPECT_EQ(chunk[0] >> 6, 2);
  EXPECT_EQ(((chunk[0] & 0x3F) << 10) | (chunk[1] << 2) | (chunk[2] >> 6), 1000);
  EXPECT_EQ(chunk[2] & 0x3F, 3);
  // Past the end: a chunk of silence, still a whole chunk with its header.
  const Bytes silence =
      Written([&](swf::TBitsEngine& be) { reader.WriteWaveData(be, 8, false, 2); });
  EXPECT_EQ(silence.size(), 4u);  // 2 + 22 + 3 x 2 bits
  EXPECT_EQ(silence[0] >> 6, 0);
}

TEST(Wave, RiffWalkerCutsSizesToTheFile) {
  const Bytes file = Riff({Fmt(1, 1, 10, 16), Chunk("data", Bytes(10, 1), 0x7FFFFFFF)});
  TSourceStream s = TSourceStream::OpenMemory(file);
  const auto form = FindRiffForm(s, "WAVE");
  ASSERT_TRUE(form.has_value());
  EXPECT_EQ(form->Offset, 12u);
  EXPECT_EQ(form->End, file.size());
  const auto data = FindRiffChunk(s, *form, "data");
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->Offset, 44u);
  EXPECT_EQ(data->DeclaredSize, 0x7FFFFFFFu);
  EXPECT_EQ(data->Size, 10u);
  EXPECT_FALSE(FindRiffChunk(s, *form, "cue ").has_value());
  EXPECT_FALSE(FindRiffForm(s, "AVI ").has_value());
}

}  // namespace
}  // namespace tw::test
