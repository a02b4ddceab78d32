#include "audio/wave_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/riff.h"
#include "util/text.h"

namespace tw::audio {
namespace {

constexpr size_t kChunk = 64 * 1024;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

TWaveReader::TWaveReader(const std::filesystem::path& fileName) : FFileName(fileName.string()) {
  const std::string ext = ToLowerAscii(fileName.extension().string());
  if (ext == ".mp3") {
    FSource = TSourceStream::OpenFile(fileName);
    ReadMPEGInfo(FSource, true);
  } else if (ext == ".wav") {
    TSourceStream stream = TSourceStream::OpenFile(fileName);
    ReadWaveInfo(stream);
    bool usable = false;
    switch (FormatTag) {
      case kWaveFormatPCM:
        usable = Channels > 0 && SampleRate > 0 && BitsPerSample > 0;
        break;
      case kWaveFormatMsAdpcm:
        usable = FAdpcmFormat.IsUsable() && SampleRate > 0;
        break;
      case kWaveFormatMPEG:
      case kWaveFormatMPEGLayer3:
        // Kept open so that the frames can be copied like those of an MP3 file.
        usable = FMPEGInfo && FMPEGInfo->FirstFrame.Found;
        break;
      default:
        break;
    }
    if (usable) {
      FSource = std::move(stream);
      FSource.Seek(DataOffset);
    }
  }
}

TMPEGaudio& TWaveReader::MPEGInfo() {
  if (!FMPEGInfo) FMPEGInfo = std::make_unique<TMPEGaudio>();
  return *FMPEGInfo;
}

void TWaveReader::ReadWaveInfo(TSourceStream& stream) {
  const auto form = FindRiffForm(stream, "WAVE");
  if (!form) return;
  const auto fmt = FindRiffChunk(stream, *form, "fmt ");
  if (!fmt) return;
  FormatOffset = fmt->Offset;
  FormatSize = fmt->Size;
  const auto data = FindRiffChunk(stream, *form, "data");
  if (!data) return;
  DataOffset = data->Offset;
  DataSize = data->Size;

  uint8_t chunk[50] = {};
  const size_t have = std::min<size_t>(FormatSize, sizeof chunk);
  stream.Seek(FormatOffset);
  stream.ReadZeroFilled(chunk, have);
  FormatTag = Le16(chunk);
  switch (FormatTag) {
    case kWaveFormatMsAdpcm: {
      FAdpcmFormat = TMsAdpcmFormat::Parse({chunk, have});
      Channels = FAdpcmFormat.Channels;
      SampleRate = FAdpcmFormat.SampleRate;
      BitsPerSample = FAdpcmFormat.BitsPerSample;
      if (FAdpcmFormat.BlockAlign > 0) {
        const uint64_t samples =
            uint64_t{FAdpcmFormat.SamplesPerBlock} * DataSize / FAdpcmFormat.BlockAlign;
        SampleCount = static_cast<uint32_t>(samples > 2 ? samples - 2 : 0);
      }
      break;
    }
    case kWaveFormatMPEG:
    case kWaveFormatMPEGLayer3:
      ReadMPEGInfo(stream, false);
      break;
    default: {
      Channels = Le16(chunk + 2);
      SampleRate = Le32(chunk + 4);
      BitsPerSample = Le16(chunk + 14);
      const uint64_t frameBits = uint64_t{BitsPerSample} * Channels;
      if (frameBits > 0) SampleCount = static_cast<uint32_t>(uint64_t{DataSize} * 8 / frameBits);
      break;
    }
  }
  if (Duration == 0 && SampleRate > 0) Duration = static_cast<double>(SampleCount) / SampleRate;
}

void TWaveReader::ReadMPEGInfo(TSourceStream& stream, bool setOffsets) {
  FMPEGInfo = std::make_unique<TMPEGaudio>();
  TMPEGaudio& m = *FMPEGInfo;
  m.Analyze(stream);
  if (setOffsets) {
    FormatTag = kFormatMP3File;
    DataOffset = m.FirstFrame.Found ? m.FirstFrameOffset() : 0;
    const uint64_t end = m.FileLength > m.ID3v1.TagSize ? m.FileLength - m.ID3v1.TagSize : 0;
    DataSize = static_cast<uint32_t>(
        std::min<uint64_t>(end > DataOffset ? end - DataOffset : 0, UINT32_MAX));
  }
  Channels = m.FirstFrame.ChannelMode == kChannelModeMono ? 1 : 2;
  SampleRate = m.SampleRate();
  BitsPerSample = 16;
  // A VBR header may claim billions of frames: the count stops at what 32 bits hold.
  SampleCount = static_cast<uint32_t>(
      std::min(std::nearbyint(SampleRate * m.Duration()), double{UINT32_MAX}));
  FrameSize = m.FirstFrame.Size;
  FrameCount = m.FrameCount();
  BitRate = m.BitRate();
  SamplesPerFrame = m.FirstFrame.SamplesPerFrame();
  // Frames that would run past the end of the file are not counted. For a listed frame that
  // is where its own bytes end: frames differ in length (VBR files, or a LAME header frame at a
  // higher bit rate), so the first one's length says nothing about the others. Only an
  // estimated count is bounded by the first frame's length.
  if (!m.FrameList.empty()) {
    while (FrameCount > 0 &&
           m.FrameList[FrameCount - 1].Position + m.FrameList[FrameCount - 1].Size > m.FileLength)
      --FrameCount;
  } else if (FrameSize > 0 && m.FileLength < uint64_t{FrameSize} * FrameCount) {
    FrameCount = static_cast<uint32_t>(m.FileLength / FrameSize);
  }
  Duration = m.Duration();
}

void TWaveReader::SeekSource(uint64_t position) {
  if (FSource.IsOpen()) FSource.Seek(position);
}

void TWaveReader::CopySource(swf::TBitsEngine& be, uint64_t count) {
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, kChunk));
    FScratch.resize(n);
    if (FSource.IsOpen())
      FSource.ReadZeroFilled(FScratch.data(), n);
    else
      std::fill(FScratch.begin(), FScratch.end(), 0);
    be.WriteBytes(FScratch);
    count -= n;
  }
}

void TWaveReader::WriteZeros(swf::TBitsEngine& be, uint64_t count) {
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, kChunk));
    FScratch.assign(n, 0);
    be.WriteBytes(FScratch);
    count -= n;
  }
}

template <class Consumer>
void TWaveReader::StreamPCM(uint64_t count, bool loop, Consumer&& consume) {
  const uint64_t dataEnd = DataOffset + DataSize;
  // Silence of unsigned 8-bit samples is 128, of signed 16-bit ones 0.
  const uint8_t silence = BitsPerSample == 8 ? 0x80 : 0;
  while (count > 0) {
    const uint64_t pos = FSource.IsOpen() ? FSource.Position() : dataEnd;
    const uint64_t available = pos < dataEnd ? dataEnd - pos : 0;
    if (available == 0) {
      if (loop && DataSize > 0 && FSource.IsOpen()) {
        FSource.Seek(DataOffset);
        continue;
      }
      while (count > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, kChunk));
        FScratch.assign(n, silence);
        consume(std::span<const uint8_t>(FScratch));
        count -= n;
      }
      return;
    }
    const size_t n = static_cast<size_t>(std::min({count, available, uint64_t{kChunk}}));
    FScratch.resize(n);
    FSource.ReadZeroFilled(FScratch.data(), n);
    consume(std::span<const uint8_t>(FScratch));
    count -= n;
  }
}

void TWaveReader::WriteWaveData(swf::TBitsEngine& be, uint32_t byteCount, bool loop,
                                uint8_t codeSize) {
  if (codeSize == 0) {
    StreamPCM(byteCount, loop, [&](std::span<const uint8_t> bytes) { be.WriteBytes(bytes); });
    return;
  }
  TSwfAdpcmEncoder encoder(be, codeSize, Channels == 2, BitsPerSample > 8);
  encoder.Begin(false);
  StreamPCM(byteCount, loop, [&](std::span<const uint8_t> bytes) { encoder.PutBytes(bytes); });
  encoder.End(true);
}

uint8_t TWaveReader::AdpcmCodeSize(uint8_t codeSize) const {
  const uint8_t bits = BitsPerSample >= 2 && BitsPerSample <= 5 ? BitsPerSample : 4;
  if (codeSize == 0 || codeSize > bits) codeSize = bits;
  return std::clamp<uint8_t>(codeSize, 2, 5);
}

void TWaveReader::FillPCMBuffer(size_t frames, bool loop) {
  const size_t channels = std::max<size_t>(FAdpcmFormat.Channels, 1);
  const size_t wanted = frames * channels;
  if (!FSource.IsOpen() || !FAdpcmFormat.IsUsable()) {
    if (FPCMBuffer.size() < wanted) FPCMBuffer.resize(wanted, 0);
    return;
  }
  const uint64_t dataEnd = DataOffset + DataSize;
  // Looping over data that yields no samples would never end.
  bool decodedSinceRestart = true;
  while (FPCMBuffer.size() < wanted) {
    const uint64_t pos = FSource.Position();
    if (pos >= dataEnd) {
      if (loop && decodedSinceRestart) {
        FSource.Seek(DataOffset);
        decodedSinceRestart = false;
        continue;
      }
      FPCMBuffer.resize(wanted, 0);
      return;
    }
    const size_t length =
        static_cast<size_t>(std::min<uint64_t>(FAdpcmFormat.BlockAlign, dataEnd - pos));
    FScratch.resize(length);
    FSource.ReadZeroFilled(FScratch.data(), length);
    if (DecodeMsAdpcmBlock(FAdpcmFormat, FScratch, FPCMBuffer) > 0) decodedSinceRestart = true;
  }
}

void TWaveReader::WriteADPCMStreamBlock(swf::TBitsEngine& be, uint32_t sampleCount, bool loop,
                                        uint8_t codeSize) {
  const size_t channels = FAdpcmFormat.Channels == 2 ? 2 : 1;
  FillPCMBuffer(sampleCount, loop);
  const size_t n = size_t{sampleCount} * channels;
  TSwfAdpcmEncoder encoder(be, AdpcmCodeSize(codeSize), channels == 2, true);
  encoder.Begin(false);
  encoder.PutSamples(std::span<const int16_t>(FPCMBuffer.data(), std::min(n, FPCMBuffer.size())));
  encoder.End(true);
  FPCMBuffer.erase(FPCMBuffer.begin(),
                   FPCMBuffer.begin() + static_cast<ptrdiff_t>(std::min(n, FPCMBuffer.size())));
}

void TWaveReader::WriteADPCMAll(swf::TBitsEngine& be, uint8_t codeSize) {
  const bool stereo = FAdpcmFormat.Channels == 2;
  TSwfAdpcmEncoder encoder(be, AdpcmCodeSize(codeSize), stereo, true);
  encoder.Begin(false);
  if (FSource.IsOpen() && FAdpcmFormat.IsUsable()) {
    const uint64_t dataEnd = DataOffset + DataSize;
    std::vector<int16_t> samples;
    FSource.Seek(DataOffset);
    while (FSource.Position() < dataEnd) {
      const size_t length = static_cast<size_t>(
          std::min<uint64_t>(FAdpcmFormat.BlockAlign, dataEnd - FSource.Position()));
      FScratch.resize(length);
      FSource.ReadZeroFilled(FScratch.data(), length);
      samples.clear();
      DecodeMsAdpcmBlock(FAdpcmFormat, FScratch, samples);
      encoder.PutSamples(samples);
    }
  }
  encoder.End(true);
}

uint32_t TWaveReader::AudioFrameCount() const {
  if (!FMPEGInfo) return 0;
  const auto& frames = FMPEGInfo->FrameList;
  const size_t limit = std::min<size_t>(FrameCount, frames.size());
  return static_cast<uint32_t>(std::count_if(frames.begin(), frames.begin() + static_cast<ptrdiff_t>(limit),
                                             [](const TMP3FrameInfo& f) { return f.IsAudio; }));
}

uint32_t TWaveReader::WriteMP3Frames(swf::TBitsEngine& be, uint32_t first, bool loop,
                                     uint32_t count) {
  const std::vector<TMP3FrameInfo> empty;
  const auto& frames = FMPEGInfo ? FMPEGInfo->FrameList : empty;
  const uint32_t limit = static_cast<uint32_t>(std::min<size_t>(FrameCount, frames.size()));
  // Looping over frames of which none is audio would never end.
  const bool canLoop = loop && FSource.IsOpen() &&
                       std::any_of(frames.begin(), frames.begin() + limit,
                                   [](const TMP3FrameInfo& f) { return f.IsAudio; });
  uint32_t index = first;
  uint32_t written = 0;
  while (written < count) {
    if (index < limit) {
      const TMP3FrameInfo& frame = frames[index];
      if (frame.IsAudio) {
        SeekSource(frame.Position);
        CopySource(be, frame.Size);
        ++written;
      }
      ++index;
    } else if (canLoop) {
      index = 0;
    } else {
      WriteZeros(be, uint64_t{count - written} * FrameSize);
      break;
    }
  }
  return index;
}

}  // namespace tw::audio
