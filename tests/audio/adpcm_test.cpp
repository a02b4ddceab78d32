// SWF ADPCM as ffmpeg's decoder reads it, its bit layout, and Microsoft ADPCM decoded exactly
// as ffmpeg decodes it; through the sound source for event and stream sounds.
#include "audio/adpcm.h"
#include "audio/wave_info.h"

#include "audio/audio_fixtures.h"
#include "audio/wave_reader.h"

namespace tw::test {
namespace {
using namespace tw::audio;

class BitReader {
 public:
  explicit BitReader(const Bytes& bytes) : FBytes(bytes) {}
  uint32_t Read(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++FPos)
      v = (v << 1) | ((FBytes.at(FPos / 8) >> (7 - FPos % 8)) & 1);
    return v;
  }
  int32_t ReadSigned16() { return static_cast<int16_t>(Read(16)); }
  void Skip(size_t bits) { FPos += bits; }
  size_t Left() const { return FBytes.size() * 8 - FPos; }

 private:
  const Bytes& FBytes;
  size_t FPos = 0;
};

Bytes Encode(const std::vector<int16_t>& samples, bool stereo, int bits,
             bool continuation = false) {
  swf::TMemoryStream s;
  swf::TBitsEngine be(s);
  TSwfAdpcmEncoder encoder(be, static_cast<uint8_t>(bits), stereo, true);
  encoder.Begin(continuation);
  encoder.PutSamples(samples);
  encoder.End(true);
  return s.Release();
}

TEST(SwfAdpcm, PacketLayoutOf4097Samples) {
  std::vector<int16_t> samples(4097);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>((i * 37) % 2000);
  const Bytes out = Encode(samples, false, 4);
  // 2 + 16 + 6 + 4095 x 4 bits, then a packet of 16 + 6 bits, then zero bits to the byte.
  const size_t bits = 2 + 22 + 4095 * 4 + 22;
  ASSERT_EQ(out.size(), (bits + 7) / 8);
  BitReader r(out);
  EXPECT_EQ(r.Read(2), 2u);
  EXPECT_EQ(r.ReadSigned16(), samples[0]);
  EXPECT_EQ(r.Read(6), 17u);  // step 37 is the first of at least 37
  r.Skip(4095 * 4);
  EXPECT_EQ(r.ReadSigned16(), samples[4096]);
  EXPECT_EQ(r.Read(6), 0u);  // a packet of one sample
  EXPECT_EQ(r.Read(static_cast<int>(r.Left())), 0u);
}

TEST(SwfAdpcm, FirstStepIndex) {
  const struct {
    int16_t s1, s2;
    uint32_t index;
  } cases[] = {{1000, 1010, 3}, {1000, 1000, 0}, {0, 7, 0},     {0, 8, 1},
               {5, -5, 3},      {0, 3660, 63},   {0, 3661, 63}, {-32768, 32767, 63}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.s1) + " " + std::to_string(c.s2));
    const Bytes out = Encode({c.s1, c.s2}, false, 4);
    BitReader r(out);
    EXPECT_EQ(r.Read(2), 2u);
    EXPECT_EQ(r.ReadSigned16(), c.s1);
    EXPECT_EQ(r.Read(6), c.index);
  }
}

TEST(SwfAdpcm, StereoEightBitAndContinuation) {
  {
    SCOPED_TRACE("stereo: left sample and index, then right");
    const Bytes out = Encode({100, -200, 110, -200}, true, 3);
    BitReader r(out);
    EXPECT_EQ(r.Read(2), 1u);
    EXPECT_EQ(r.ReadSigned16(), 100);
    EXPECT_EQ(r.Read(6), 3u);
    EXPECT_EQ(r.ReadSigned16(), -200);
    EXPECT_EQ(r.Read(6), 0u);
  }
  {
    SCOPED_TRACE("8-bit unsigned samples: s x 256 - 32768");
    swf::TMemoryStream s;
    swf::TBitsEngine be(s);
    const Bytes pcm = {0, 128, 255};
    EncodeADPCM(be, pcm, true, false, false, false, 5);
    const Bytes out = s.Release();
    BitReader r(out);
    EXPECT_EQ(r.Read(2), 3u);
    EXPECT_EQ(r.ReadSigned16(), -32768);
    EXPECT_EQ(r.Read(6), 63u);
  }
  {
    SCOPED_TRACE("a continuation has no code-size field");
    const Bytes out = Encode({1000, 1010}, false, 4, true);
    BitReader r(out);
    EXPECT_EQ(r.ReadSigned16(), 1000);
    EXPECT_EQ(r.Read(6), 3u);
  }
}

// An FLV file of SWF ADPCM audio tags, which ffmpeg reads with its own decoder.
Bytes Flv(const std::vector<Bytes>& chunks, int rate, bool stereo,
          const std::vector<size_t>& samplesPerChunk) {
  Bytes f = {'F', 'L', 'V', 1, 4, 0, 0, 0, 9, 0, 0, 0, 0};
  const int rateCode = rate == 44100 ? 3 : rate == 22050 ? 2 : rate == 11025 ? 1 : 0;
  const uint8_t flags = static_cast<uint8_t>((1 << 4) | (rateCode << 2) | (1 << 1) | stereo);
  uint64_t samples = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    const uint32_t size = static_cast<uint32_t>(chunks[i].size() + 1);
    const uint32_t ms = static_cast<uint32_t>(samples * 1000 / rate);
    f.push_back(8);
    for (int s = 16; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(size >> s));
    for (int s = 16; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(ms >> s));
    f.insert(f.end(), {static_cast<uint8_t>(ms >> 24), 0, 0, 0, flags});
    f.insert(f.end(), chunks[i].begin(), chunks[i].end());
    PutBE32(f, size + 11);
    samples += samplesPerChunk[i];
  }
  return f;
}

// ffmpeg counts the samples of a chunk from its length, so zero bits that complete the last
// byte may come out as extra samples at the end of each chunk.
size_t FfmpegSamples(size_t bytes, int bits, int channels) {
  const size_t bufBits = bytes * 8 - 2;
  const size_t header = 22 * size_t(channels);
  const size_t packet = header + size_t(bits * channels) * 4095;
  const size_t packets = bufBits / packet;
  const size_t left = bufBits - packets * packet;
  size_t n = packets * 4096;
  if (left >= header) n += 1 + (left - header) / size_t(bits * channels);
  return n;
}

// ffmpeg's output of FLV chunks, with the extra samples of each chunk removed.
std::vector<int16_t> DecodeChunks(const std::vector<Bytes>& chunks,
                                  const std::vector<size_t>& samples, int rate, int channels,
                                  int bits) {
  TempDir dir;
  const fs::path flv = dir / "adpcm.flv";
  WriteBytes(flv, Flv(chunks, rate, channels == 2, samples));
  const std::vector<int16_t> decoded = FfmpegDecode(flv);
  std::vector<int16_t> out;
  size_t at = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    const size_t take = samples[i] * size_t(channels);
    const size_t has = FfmpegSamples(chunks[i].size(), bits, channels) * size_t(channels);
    EXPECT_GE(has, take) << "chunk " << i;
    if (at + take > decoded.size()) break;
    out.insert(out.end(), decoded.begin() + ptrdiff_t(at), decoded.begin() + ptrdiff_t(at + take));
    at += has;
  }
  EXPECT_EQ(at, decoded.size());
  return out;
}

std::vector<int16_t> RawSignal(int rate, int channels, double seconds) {
  const fs::path raw =
      MakeAudio("signal-" + std::to_string(rate) + "-" + std::to_string(channels) + ".raw",
                {{"sox",
                  "-q",
                  "-n",
                  "-r",
                  std::to_string(rate),
                  "-c",
                  std::to_string(channels),
                  "-b",
                  "16",
                  "-e",
                  "signed-integer",
                  "-t",
                  "raw",
                  "{out}",
                  "synth",
                  std::to_string(seconds),
                  "sine",
                  "440",
                  "sine",
                  "1320",
                  "synth",
                  "pinknoise",
                  "mix",
                  "vol",
                  "0.6"}});
  const Bytes bytes = ReadBytes(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The least signal-to-noise ratio (dB) expected of each code size on tones mixed with noise
// (measured: about 17-21, 23-26, 28-31 and 31-34 dB for 2 to 5 bits).
constexpr double kMinSnr[6] = {0, 0, 12, 18, 20, 24};

TEST(SwfAdpcm, FfmpegDecodesOurChunks) {
  for (int channels : {1, 2}) {
    const int rate = channels == 1 ? 22050 : 44100;
    const std::vector<int16_t> source = RawSignal(rate, channels, 1.3);
    double previous = 0;
    for (int bits = 2; bits <= 5; ++bits) {
      SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(bits) + " bits");
      // One chunk with many packets, and chunks of a SWF frame's samples at 12 fps.
      const size_t frames = source.size() / size_t(channels);
      for (size_t perChunk : {frames, size_t(rate / 12)}) {
        std::vector<Bytes> chunks;
        std::vector<size_t> counts;
        for (size_t start = 0; start < frames; start += perChunk) {
          const size_t n = std::min(perChunk, frames - start);
          chunks.push_back(
              Encode(std::vector<int16_t>(source.begin() + ptrdiff_t(start * channels),
                                          source.begin() + ptrdiff_t((start + n) * channels)),
                     channels == 2, bits));
          counts.push_back(n);
        }
        const std::vector<int16_t> decoded = DecodeChunks(chunks, counts, rate, channels, bits);
        ASSERT_EQ(decoded.size(), source.size());
        const double snr = SignalToNoise(source, decoded);
        EXPECT_GE(snr, kMinSnr[bits]) << "SNR " << snr << " dB";
        // Each bit more codes more closely.
        if (perChunk == frames) {
          EXPECT_GT(snr, previous + 2);
          previous = snr;
        }
        // Every packet starts with its sample as it is.
        for (size_t p = 0; p < frames; p += perChunk)
          for (size_t q = p; q < std::min(p + perChunk, frames); q += 4096)
            for (int c = 0; c < channels; ++c)
              EXPECT_EQ(decoded[q * channels + c], source[q * channels + c]);
      }
    }
  }
}

// Microsoft ADPCM files as sox and ffmpeg make them.
struct MsCase {
  const char* name;
  int rate, channels;
  bool bySox;
};
const MsCase kMsCases[] = {
    {"ms-adpcm-sox-mono.wav", 22050, 1, true},
    {"ms-adpcm-sox-stereo.wav", 44100, 2, true},
    {"ms-adpcm-ffmpeg-mono.wav", 11025, 1, false},
    {"ms-adpcm-ffmpeg-stereo.wav", 22050, 2, false},
};

fs::path MakeMsAdpcm(const MsCase& c) {
  std::vector<CommandLine> recipe = {SoxSignal("{tmp}", c.rate, c.channels, 1.7)};
  if (c.bySox)
    recipe.push_back({"sox", "-q", "{tmp}", "-e", "ms-adpcm", "{out}"});
  else
    recipe.push_back(
        {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", "{tmp}", "-c:a", "adpcm_ms", "{out}"});
  return MakeAudio(c.name, recipe);
}

// All blocks of a file decoded by our decoder.
std::vector<int16_t> DecodeAll(const fs::path& file) {
  TWaveReader reader(file);
  const TMsAdpcmFormat& format = reader.AdpcmFormat();
  const Bytes bytes = ReadBytes(file);
  std::vector<int16_t> out;
  for (uint64_t pos = reader.DataOffset; pos < reader.DataOffset + reader.DataSize;
       pos += format.BlockAlign) {
    const size_t n =
        std::min<uint64_t>(format.BlockAlign, reader.DataOffset + reader.DataSize - pos);
    DecodeMsAdpcmBlock(format, std::span<const uint8_t>(bytes.data() + pos, n), out);
  }
  return out;
}

TEST(MsAdpcm, DecodesExactlyAsFfmpeg) {
  for (const auto& c : kMsCases) {
    SCOPED_TRACE(c.name);
    const fs::path file = MakeMsAdpcm(c);
    ASSERT_FALSE(file.empty());
    TWaveReader reader(file);
    EXPECT_EQ(reader.FormatTag, kWaveFormatMsAdpcm);
    EXPECT_EQ(reader.Channels, c.channels);
    EXPECT_TRUE(reader.HasSource());
    const std::vector<int16_t> ours = DecodeAll(file);
    const std::vector<int16_t> theirs = FfmpegDecode(file);
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_TRUE(ours == theirs);
    // The music list's duration counts the samples of the blocks (sox also names its exact
    // count in a "fact" chunk, shorter than its last block).
    const auto info = ReadWaveFormatInfo(file);
    ASSERT_TRUE(info.has_value());
    if (!c.bySox) {
      EXPECT_DOUBLE_EQ(info->Duration, double(theirs.size()) / c.channels / c.rate);
    }
    // A real decoder output, not silence.
    EXPECT_GT(SignalToNoise(theirs, std::vector<int16_t>(theirs.size(), 0)), -1);
  }
}

TEST(MsAdpcm, EventSoundAsSwfAdpcm) {
  for (const auto& c : kMsCases) {
    SCOPED_TRACE(c.name);
    const fs::path file = MakeMsAdpcm(c);
    const std::vector<int16_t> reference = FfmpegDecode(file);
    TWaveReader reader(file);
    swf::TMemoryStream s;
    swf::TBitsEngine be(s);
    reader.WriteADPCMAll(be, 0);  // 0: the source's 4 bits
    const Bytes chunk = s.Release();
    const size_t frames = reference.size() / size_t(c.channels);
    const auto decoded = DecodeChunks({chunk}, {frames}, c.rate, c.channels, 4);
    ASSERT_EQ(decoded.size(), reference.size());
    EXPECT_GE(SignalToNoise(reference, decoded), kMinSnr[4]);
  }
}

TEST(MsAdpcm, StreamBlocksLoopOrPad) {
  const MsCase& c = kMsCases[1];
  const fs::path file = MakeMsAdpcm(c);
  const std::vector<int16_t> reference = FfmpegDecode(file);
  const size_t frames = reference.size() / 2;
  const size_t perBlock = c.rate / 12;
  for (bool loop : {true, false}) {
    SCOPED_TRACE(loop ? "loop" : "no loop");
    TWaveReader reader(file);
    std::vector<Bytes> chunks;
    std::vector<size_t> counts;
    const size_t blocks = (frames * 3 / 2) / perBlock;
    for (size_t i = 0; i < blocks; ++i) {
      swf::TMemoryStream s;
      swf::TBitsEngine be(s);
      reader.WriteADPCMStreamBlock(be, static_cast<uint32_t>(perBlock), loop, 3);
      chunks.push_back(s.Release());
      counts.push_back(perBlock);
    }
    const auto decoded = DecodeChunks(chunks, counts, c.rate, 2, 3);
    ASSERT_EQ(decoded.size(), blocks * perBlock * 2);
    std::vector<int16_t> expected = reference;
    if (loop) expected.insert(expected.end(), reference.begin(), reference.end());
    expected.resize(decoded.size(), 0);
    EXPECT_GE(SignalToNoise(expected, decoded), kMinSnr[3]);
    if (!loop) {
      // After the end: silence.
      for (size_t i = reference.size() + 2 * 4096; i < decoded.size(); ++i)
        ASSERT_LE(std::abs(decoded[i]), 64) << i;
    }
  }
}

// A Microsoft ADPCM file built by hand.
Bytes MsWave(uint16_t channels, uint16_t blockAlign, uint16_t samplesPerBlock, const Bytes& data) {
  Bytes fmt;
  PutLE16(fmt, 2);
  PutLE16(fmt, channels);
  PutLE32(fmt, 8000);
  PutLE32(fmt, 4000);
  PutLE16(fmt, blockAlign);
  PutLE16(fmt, 4);
  PutLE16(fmt, 32);
  PutLE16(fmt, samplesPerBlock);
  PutLE16(fmt, 7);
  for (int16_t c : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
    PutLE16(fmt, static_cast<uint16_t>(c));
  Bytes body;
  PutText(body, "WAVEfmt ");
  PutLE32(body, static_cast<uint32_t>(fmt.size()));
  body.insert(body.end(), fmt.begin(), fmt.end());
  PutText(body, "data");
  PutLE32(body, static_cast<uint32_t>(data.size()));
  body.insert(body.end(), data.begin(), data.end());
  Bytes file;
  PutText(file, "RIFF");
  PutLE32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// A mono block: predictor, delta, sample 1, sample 2, then codes.
Bytes MsBlock(uint8_t predictor, int16_t delta, const Bytes& codes) {
  Bytes b = {predictor};
  PutLE16(b, static_cast<uint16_t>(delta));
  PutLE16(b, 100);
  PutLE16(b, 50);
  b.insert(b.end(), codes.begin(), codes.end());
  return b;
}

TEST(MsAdpcm, HostileBlocks) {
  TempDir dir;
  struct Case {
    const char* name;
    Bytes file;
    bool usable;
    size_t samples;  // decoded by WriteADPCMAll's decoder
  };
  const Bytes good = MsBlock(0, 16, Bytes(249, 0x12));
  const Bytes growing = MsBlock(1, 32767, Bytes(249, 0x88));  // codes 8: the delta grows
  const Case cases[] = {
      {"a sound block", MsWave(1, 256, 500, good), true, 500},
      {"a predictor index beyond the 7 pairs: silence",
       MsWave(1, 256, 500, MsBlock(9, 16, Bytes(249, 0x12))), true, 500},
      {"codes that grow the delta without bound", MsWave(1, 256, 500, growing), true, 500},
      {"more samples a block than its bytes hold", MsWave(1, 256, 65535, good), true, 500},
      {"no samples a block given", MsWave(1, 256, 0, good), true, 500},
      {"a short last block", MsWave(1, 256, 500, Bytes(good.begin(), good.begin() + 107)), true,
       202},
      {"a block too short for its header", MsWave(1, 256, 500, Bytes(5, 0)), true, 0},
      {"block align 0", MsWave(1, 0, 500, good), false, 0},
      {"block align below the header", MsWave(2, 10, 500, good), false, 0},
      {"three channels", MsWave(3, 256, 500, good), false, 0},
      {"no channels", MsWave(0, 256, 500, good), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / "ms.wav";
    WriteBytes(file, c.file);
    TWaveReader reader(file);
    EXPECT_EQ(reader.FormatTag, kWaveFormatMsAdpcm);
    EXPECT_EQ(reader.HasSource(), c.usable);
    swf::TMemoryStream all;
    swf::TBitsEngine be(all);
    reader.WriteADPCMAll(be, 4);
    EXPECT_EQ(all.Size(), (2 + (c.samples > 0 ? 22 + (c.samples - 1) * 4 : 0) + 7) / 8);
    // Stream blocks of 700 samples a channel whatever the data holds.
    const size_t channels = reader.AdpcmFormat().Channels == 2 ? 2 : 1;
    for (int i = 0; i < 3; ++i) {
      swf::TMemoryStream block;
      swf::TBitsEngine bb(block);
      reader.WriteADPCMStreamBlock(bb, 700, i % 2 == 0, 4);
      EXPECT_EQ(block.Size(), (2 + (22 + 699 * 4) * channels + 7) / 8);
    }
  }
  // The silent block decodes to zeros, the growing one stays in range.
  std::vector<int16_t> out;
  const Bytes wave = MsWave(1, 256, 500, good);
  const TMsAdpcmFormat format =
      TMsAdpcmFormat::Parse(std::span<const uint8_t>(wave.data() + 20, 50));
  const Bytes bad = MsBlock(9, 16, Bytes(249, 0x12));
  EXPECT_EQ(DecodeMsAdpcmBlock(format, bad, out), 500u);
  EXPECT_EQ(out, std::vector<int16_t>(500, 0));
  out.clear();
  EXPECT_EQ(DecodeMsAdpcmBlock(format, growing, out), 500u);
}

}  // namespace
}  // namespace tw::test
