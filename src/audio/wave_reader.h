// TWaveReader: the sound source of the SWF sound builder. It opens a WAV or MP3 file, reports the
// values the builder needs, and writes sound data into a tag body: PCM as it is, PCM or
// Microsoft ADPCM as SWF ADPCM, or whole MP3 frames. The source stays open between calls and its
// position is the streaming position: each call continues where the previous one stopped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/adpcm.h"
#include "audio/mpeg_frames.h"
#include "audio/source_stream.h"
#include "swf/bits.h"

namespace tw::audio {

// Format tags: PCM, Microsoft ADPCM, MPEG audio inside a WAV file, and an MP3 file.
inline constexpr uint16_t kWaveFormatPCM = 1;
inline constexpr uint16_t kWaveFormatMsAdpcm = 2;
inline constexpr uint16_t kWaveFormatMPEG = 80;
inline constexpr uint16_t kWaveFormatMPEGLayer3 = 85;
inline constexpr uint16_t kFormatMP3File = 336;

class TWaveReader {
 public:
  // An empty reader.
  TWaveReader() = default;
  // Opens a ".wav" or ".mp3" file (by extension, any case); other extensions give an empty
  // reader. Throws EAudioError when the file cannot be opened.
  explicit TWaveReader(const std::filesystem::path& fileName);

  const std::string& FileName() const { return FFileName; }
  // The MPEG analysis; created on first use.
  TMPEGaudio& MPEGInfo();
  bool HasMPEGInfo() const { return FMPEGInfo != nullptr; }
  // The "fmt " chunk of a Microsoft ADPCM file.
  const TMsAdpcmFormat& AdpcmFormat() const { return FAdpcmFormat; }
  // True when a source is open to write sound data from.
  bool HasSource() const { return FSource.IsOpen(); }

  double Duration = 0;  // seconds
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BitsPerSample = 0;
  uint32_t SampleCount = 0;  // samples per channel
  uint64_t FormatOffset = 0;
  uint32_t FormatSize = 0;
  uint64_t DataOffset = 0;
  uint32_t DataSize = 0;
  // MPEG sources.
  uint16_t SamplesPerFrame = 0;
  uint16_t FrameSize = 0;
  uint32_t FrameCount = 0;
  uint16_t BitRate = 0;

  // Reads the WAVE form of a RIFF file: format, data position, sample count and duration.
  void ReadWaveInfo(TSourceStream& stream);
  // Analyses an MPEG audio stream; with setOffsets, the data is all frames between the tags.
  void ReadMPEGInfo(TSourceStream& stream, bool setOffsets);

  // PCM: byteCount bytes from the streaming position, as they are (codeSize 0) or as one SWF
  // ADPCM chunk with its own code-size header. At the end of the data the bytes continue from
  // its start (loop) or are zeros.
  void WriteWaveData(swf::TBitsEngine& be, uint32_t byteCount, bool loop, uint8_t codeSize);
  // Microsoft ADPCM: the next sampleCount samples per channel as one SWF ADPCM chunk; decoded
  // samples beyond them are kept for the next call.
  void WriteADPCMStreamBlock(swf::TBitsEngine& be, uint32_t sampleCount, bool loop,
                             uint8_t codeSize);
  // Microsoft ADPCM: all the data as one SWF ADPCM chunk.
  void WriteADPCMAll(swf::TBitsEngine& be, uint8_t codeSize);
  // MPEG: the next count audio frames from frame index first (frames holding a VBR or encoder
  // header are skipped and not counted); returns the next frame index.
  uint32_t WriteMP3Frames(swf::TBitsEngine& be, uint32_t first, bool loop, uint32_t count);

  // True when the streaming position has passed the data and no decoded samples wait.
  bool AtDataEnd() const {
    return FPCMBuffer.empty() && (!FSource.IsOpen() || FSource.Position() >= DataOffset + DataSize);
  }
  // Forgets decoded samples kept for the next block: a new streaming pass begins.
  void ResetStreaming() { FPCMBuffer.clear(); }
  // MPEG: the audio frames of the file (those WriteMP3Frames copies and counts).
  uint32_t AudioFrameCount() const;

  // The streaming position, and a copy of raw bytes from it (zeros past the end of the file).
  void SeekSource(uint64_t position);
  uint64_t SourcePosition() const { return FSource.Position(); }
  void CopySource(swf::TBitsEngine& be, uint64_t count);

 private:
  uint8_t AdpcmCodeSize(uint8_t codeSize) const;
  void WriteZeros(swf::TBitsEngine& be, uint64_t count);
  // Decodes blocks until PCMBuffer holds at least frames sample frames.
  void FillPCMBuffer(size_t frames, bool loop);
  // Streams count bytes of the PCM data (looping or zero-padded at its end) to a consumer.
  template <class Consumer>
  void StreamPCM(uint64_t count, bool loop, Consumer&& consume);

  std::string FFileName;
  std::unique_ptr<TMPEGaudio> FMPEGInfo;
  TSourceStream FSource;
  TMsAdpcmFormat FAdpcmFormat;
  std::vector<int16_t> FPCMBuffer;  // decoded samples not yet written, interleaved
  std::vector<uint8_t> FScratch;
};

}  // namespace tw::audio
