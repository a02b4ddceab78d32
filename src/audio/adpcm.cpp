#include "audio/adpcm.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace tw::audio {
namespace {

// Step index changes by code (sign bit removed), for code sizes 2 to 5.
constexpr int8_t kIndex2[2] = {-1, 2};
constexpr int8_t kIndex3[4] = {-1, -1, 2, 4};
constexpr int8_t kIndex4[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int8_t kIndex5[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int8_t* kIndexTables[4] = {kIndex2, kIndex3, kIndex4, kIndex5};

constexpr int16_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                       768, 614, 512, 409, 307, 230, 230, 230};
constexpr int16_t kMsStandardCoef[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                           {240, 0}, {460, -208}, {392, -232}};

int32_t Clamp16(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -32768, 32767)); }

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

const int16_t kAdpcmStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// ---- SWF ADPCM encoder -----------------------------------------------------------------------

TSwfAdpcmEncoder::TSwfAdpcmEncoder(swf::TBitsEngine& be, uint8_t codeSize, bool stereo,
                                   bool sixteenBit)
    : FBe(be),
      FCodeSize(std::clamp<uint8_t>(codeSize, 2, 5)),
      FChannels(stereo ? 2 : 1),
      FSixteenBit(sixteenBit) {}

void TSwfAdpcmEncoder::Begin(bool continuation) {
  if (!continuation) FBe.WriteBits(uint32_t{FCodeSize} - 2u, 2);
  FSampleNumber = 0;
  FPendingStart = false;
  FCarryLength = 0;
}

void TSwfAdpcmEncoder::PutBytes(std::span<const uint8_t> bytes) {
  const size_t sampleBytes = FSixteenBit ? 2 : 1;
  const size_t frameBytes = sampleBytes * static_cast<size_t>(FChannels);
  auto decodeFrame = [&](const uint8_t* p) {
    int32_t frame[2];
    for (int c = 0; c < FChannels; ++c) {
      frame[c] = FSixteenBit ? static_cast<int16_t>(Le16(p + 2 * c)) : p[c] * 256 - 32768;
    }
    PutFrame(frame);
  };
  size_t i = 0;
  if (FCarryLength > 0) {
    while (FCarryLength < frameBytes && i < bytes.size()) FCarry[FCarryLength++] = bytes[i++];
    if (FCarryLength < frameBytes) return;
    decodeFrame(FCarry.data());
    FCarryLength = 0;
  }
  for (; i + frameBytes <= bytes.size(); i += frameBytes) decodeFrame(bytes.data() + i);
  while (i < bytes.size()) FCarry[FCarryLength++] = bytes[i++];
}

void TSwfAdpcmEncoder::PutSamples(std::span<const int16_t> samples) {
  const size_t n = static_cast<size_t>(FChannels);
  for (size_t i = 0; i + n <= samples.size(); i += n) {
    int32_t frame[2] = {samples[i], n > 1 ? samples[i + 1] : 0};
    PutFrame(frame);
  }
}

void TSwfAdpcmEncoder::End(bool flush) {
  // A packet of one sample: its step index comes from a difference of 0.
  if (FPendingStart) WritePacketStart(FFirst.data());
  FPendingStart = false;
  if (flush) FBe.FlushBits(true);
}

void TSwfAdpcmEncoder::PutFrame(const int32_t* frame) {
  if (FSampleNumber % kAdpcmPacketSamples == 0) {
    FPendingStart = true;
    for (int c = 0; c < FChannels; ++c) FFirst[c] = frame[c];
    ++FSampleNumber;
    return;
  }
  if (FPendingStart) {
    WritePacketStart(frame);
    FPendingStart = false;
  }
  for (int c = 0; c < FChannels; ++c) Code(c, frame[c]);
  ++FSampleNumber;
}

void TSwfAdpcmEncoder::WritePacketStart(const int32_t* next) {
  for (int c = 0; c < FChannels; ++c) {
    const int32_t diff = std::abs(next[c] - FFirst[c]);
    int index = 0;
    while (index < 63 && kAdpcmStepTable[index] < diff) ++index;
    FBe.WriteBits(static_cast<uint32_t>(FFirst[c]) & 0xFFFFu, 16);
    FBe.WriteBits(static_cast<uint32_t>(index), 6);
    FPredictor[c] = FFirst[c];
    FIndex[c] = index;
  }
}

void TSwfAdpcmEncoder::Code(int c, int32_t sample) {
  const int bits = FCodeSize;
  int32_t d = sample - FPredictor[c];
  uint32_t sign = 0;
  if (d < 0) {
    sign = 1u << (bits - 1);
    d = -d;
  }
  int32_t step = kAdpcmStepTable[FIndex[c]];
  int32_t vpdiff = step >> (bits - 1);
  uint32_t code = 0;
  for (int k = bits - 2; k >= 0; --k) {
    if (d >= step) {
      code |= 1u << k;
      vpdiff += step;
      d -= step;
    }
    step >>= 1;
  }
  FPredictor[c] = Clamp16(sign ? int64_t{FPredictor[c]} - vpdiff : int64_t{FPredictor[c]} + vpdiff);
  FIndex[c] = std::clamp(FIndex[c] + kIndexTables[bits - 2][code], 0, 88);
  FBe.WriteBits(sign | code, static_cast<unsigned>(bits));
}

void EncodeADPCM(swf::TBitsEngine& be, std::span<const uint8_t> source, bool flushAtEnd,
                 bool continuation, bool stereo, bool sixteenBit, uint8_t codeSize) {
  TSwfAdpcmEncoder encoder(be, codeSize, stereo, sixteenBit);
  encoder.Begin(continuation);
  encoder.PutBytes(source);
  encoder.End(flushAtEnd);
}

// ---- Microsoft ADPCM decoder -----------------------------------------------------------------

TMsAdpcmFormat TMsAdpcmFormat::Parse(std::span<const uint8_t> chunk) {
  uint8_t b[50] = {};
  std::copy_n(chunk.begin(), std::min<size_t>(chunk.size(), 50), b);
  TMsAdpcmFormat f;
  f.FormatTag = Le16(b);
  f.Channels = Le16(b + 2);
  f.SampleRate = Le32(b + 4);
  f.AvgBytesPerSec = Le32(b + 8);
  f.BlockAlign = Le16(b + 12);
  f.BitsPerSample = Le16(b + 14);
  f.ExtraSize = Le16(b + 16);
  f.SamplesPerBlock = Le16(b + 18);
  f.NumCoef = Le16(b + 20);
  for (size_t i = 0; i < 7; ++i) {
    const size_t at = 22 + 4 * i;
    const bool inFile = i < f.NumCoef && at + 4 <= chunk.size();
    f.Coef[i][0] = inFile ? static_cast<int16_t>(Le16(b + at)) : kMsStandardCoef[i][0];
    f.Coef[i][1] = inFile ? static_cast<int16_t>(Le16(b + at + 2)) : kMsStandardCoef[i][1];
  }
  return f;
}

uint32_t TMsAdpcmFormat::BlockSamples(size_t blockBytes) const {
  if (!IsUsable() || blockBytes < 7u * Channels) return 0;
  const size_t held = 2 + (blockBytes - 7u * Channels) * 2 / Channels;
  // The block's own count, but never more than its bytes hold.
  if (SamplesPerBlock >= 2) return static_cast<uint32_t>(std::min<size_t>(held, SamplesPerBlock));
  return static_cast<uint32_t>(held);
}

uint64_t TMsAdpcmFormat::DataSamples(uint64_t dataBytes) const {
  if (!IsUsable()) return 0;
  return dataBytes / BlockAlign * BlockSamples(BlockAlign) +
         BlockSamples(static_cast<size_t>(dataBytes % BlockAlign));
}

size_t DecodeMsAdpcmBlock(const TMsAdpcmFormat& format, std::span<const uint8_t> block,
                          std::vector<int16_t>& out) {
  const size_t n = format.BlockSamples(block.size());
  if (n == 0) return 0;
  const int ch = format.Channels;
  const uint8_t* p = block.data();
  struct Channel {
    int32_t coef1, coef2, delta, sample1, sample2;
  } state[2];
  bool valid = true;
  for (int c = 0; c < ch; ++c) {
    const uint8_t predictor = p[c];
    if (predictor >= 7) {
      valid = false;
      break;
    }
    state[c].coef1 = format.Coef[predictor][0];
    state[c].coef2 = format.Coef[predictor][1];
    state[c].delta = static_cast<int16_t>(Le16(p + ch + 2 * c));
    state[c].sample1 = static_cast<int16_t>(Le16(p + 3 * ch + 2 * c));
    state[c].sample2 = static_cast<int16_t>(Le16(p + 5 * ch + 2 * c));
  }
  if (!valid) {
    out.insert(out.end(), n * static_cast<size_t>(ch), 0);
    return n;
  }
  out.reserve(out.size() + n * static_cast<size_t>(ch));
  for (int c = 0; c < ch; ++c) out.push_back(static_cast<int16_t>(state[c].sample2));
  for (int c = 0; c < ch; ++c) out.push_back(static_cast<int16_t>(state[c].sample1));
  const uint8_t* codes = p + 7 * ch;
  const size_t nibbles = (n - 2) * static_cast<size_t>(ch);
  for (size_t i = 0; i < nibbles; ++i) {
    const uint8_t byte = codes[i / 2];
    // The table takes the code as 0..15; the prediction takes it as -8..7.
    const int code = (i % 2 == 0) ? byte >> 4 : byte & 15;
    const int signedCode = code >= 8 ? code - 16 : code;
    Channel& s = state[i % static_cast<size_t>(ch)];
    const int64_t predicted = (int64_t{s.sample1} * s.coef1 + int64_t{s.sample2} * s.coef2) / 256 +
                              int64_t{signedCode} * s.delta;
    s.sample2 = s.sample1;
    s.sample1 = Clamp16(predicted);
    int64_t delta = (int64_t{kMsAdaptation[code]} * s.delta) >> 8;
    s.delta = static_cast<int32_t>(std::clamp<int64_t>(delta, 16, INT_MAX / 768));
    out.push_back(static_cast<int16_t>(s.sample1));
  }
  return n;
}

}  // namespace tw::audio
