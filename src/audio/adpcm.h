// The SWF ADPCM encoder and the Microsoft ADPCM decoder.
//
// SWF ADPCM: a 2-bit code size (code bits - 2) at the start of a chunk, then packets of 4096
// samples per channel: per channel the first sample raw (16 bits) and a 6-bit step index, then
// 4095 codes per channel, interleaved. The step and index tables are those of IMA ADPCM.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "swf/bits.h"

namespace tw::audio {

inline constexpr int kAdpcmPacketSamples = 4096;

extern const int16_t kAdpcmStepTable[89];

class TSwfAdpcmEncoder {
 public:
  // codeSize is kept in 2..5; stereo interleaves left and right; sixteenBit takes signed 16-bit
  // little-endian samples, else unsigned 8-bit ones.
  TSwfAdpcmEncoder(swf::TBitsEngine& be, uint8_t codeSize, bool stereo, bool sixteenBit);

  // Starts a chunk: the code size unless this continues one; the next sample starts a packet.
  void Begin(bool continuation);
  // Samples as bytes in the source format; a sample frame split between calls is carried over.
  void PutBytes(std::span<const uint8_t> bytes);
  // Interleaved 16-bit samples.
  void PutSamples(std::span<const int16_t> samples);
  // Ends the chunk: writes a packet start still waiting for its second sample, and with flush
  // completes the last byte with zero bits.
  void End(bool flush);

  uint8_t CodeSize() const { return FCodeSize; }

 private:
  void PutFrame(const int32_t* frame);
  void WritePacketStart(const int32_t* next);
  void Code(int channel, int32_t sample);

  swf::TBitsEngine& FBe;
  uint8_t FCodeSize;
  int FChannels;
  bool FSixteenBit;
  uint32_t FSampleNumber = 0;
  bool FPendingStart = false;
  std::array<int32_t, 2> FFirst{};
  std::array<int32_t, 2> FPredictor{};
  std::array<int, 2> FIndex{};
  // A sample frame whose bytes arrived only in part.
  std::array<uint8_t, 4> FCarry{};
  size_t FCarryLength = 0;
};

// Encodes byteCount bytes of samples as one call of the encoder.
void EncodeADPCM(swf::TBitsEngine& be, std::span<const uint8_t> source, bool flushAtEnd,
                 bool continuation, bool stereo, bool sixteenBit, uint8_t codeSize);

// The "fmt " chunk of a Microsoft ADPCM file (the first 50 bytes: 7 coefficient pairs).
struct TMsAdpcmFormat {
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t AvgBytesPerSec = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  uint16_t ExtraSize = 0;
  uint16_t SamplesPerBlock = 0;
  uint16_t NumCoef = 0;
  // Pairs the chunk does not hold keep the published standard values.
  std::array<std::array<int16_t, 2>, 7> Coef{};

  static TMsAdpcmFormat Parse(std::span<const uint8_t> chunk);
  // True when blocks can be decoded: one or two channels and a block that holds its header.
  bool IsUsable() const { return (Channels == 1 || Channels == 2) && BlockAlign >= 7 * Channels; }
  // Samples per channel in a block of blockBytes bytes.
  uint32_t BlockSamples(size_t blockBytes) const;
  // Samples per channel in a data chunk of dataBytes bytes: its whole blocks and a shorter last.
  uint64_t DataSamples(uint64_t dataBytes) const;
};

// Decodes one block (a short last block decodes what it holds) and appends its interleaved
// samples; returns the samples per channel appended. A block naming a coefficient pair that
// does not exist decodes as silence of its length.
size_t DecodeMsAdpcmBlock(const TMsAdpcmFormat& format, std::span<const uint8_t> block,
                          std::vector<int16_t>& out);

}  // namespace tw::audio
