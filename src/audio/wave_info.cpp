#include "audio/wave_info.h"

#include <algorithm>

#include "audio/adpcm.h"
#include "audio/riff.h"
#include "audio/wave_reader.h"
#include "audio/source_stream.h"

namespace tw::audio {
namespace {

// The samples per channel of a Microsoft ADPCM file: as its "fact" chunk counts them (the
// encoder's own count; the last block may be padded), else as its blocks hold them.
uint64_t MsAdpcmSamples(TSourceStream& stream, const TRiffForm& form, const TRiffChunk& fmt,
                        uint32_t dataSize) {
  uint8_t b[50] = {};
  stream.Seek(fmt.Offset);
  const size_t have = stream.ReadZeroFilled(b, std::min<size_t>(fmt.Size, sizeof b));
  const TMsAdpcmFormat format = TMsAdpcmFormat::Parse({b, have});
  const uint64_t held = format.DataSamples(dataSize);
  if (const auto fact = FindRiffChunk(stream, form, "fact"); fact && fact->Size >= 4) {
    uint8_t c[4];
    stream.Seek(fact->Offset);
    if (stream.Read(c, 4) == 4) {
      const uint32_t counted = c[0] | (uint32_t{c[1]} << 8) | (uint32_t{c[2]} << 16) |
                               (uint32_t{c[3]} << 24);
      if (counted > 0 && counted <= held) return counted;
    }
  }
  return held;
}

}  // namespace

std::optional<TWaveFormatInfo> ReadWaveFormatInfo(const std::filesystem::path& path) {
  try {
    TSourceStream stream = TSourceStream::OpenFile(path);
    const auto form = FindRiffForm(stream, "WAVE");
    if (!form) return std::nullopt;
    const auto fmt = FindRiffChunk(stream, *form, "fmt ");
    const auto data = FindRiffChunk(stream, *form, "data");
    // 16 bytes hold every field used here: the common PCM chunk has no more.
    if (!fmt || !data || fmt->Size < 16) return std::nullopt;
    uint8_t b[16];
    stream.Seek(fmt->Offset);
    if (stream.Read(b, 16) < 16) return std::nullopt;
    TWaveFormatInfo info;
    info.FormatTag = static_cast<uint16_t>(b[0] | (b[1] << 8));
    info.Channels = static_cast<uint16_t>(b[2] | (b[3] << 8));
    info.SampleRate =
        b[4] | (uint32_t{b[5]} << 8) | (uint32_t{b[6]} << 16) | (uint32_t{b[7]} << 24);
    const uint32_t bytesPerSecond =
        b[8] | (uint32_t{b[9]} << 8) | (uint32_t{b[10]} << 16) | (uint32_t{b[11]} << 24);
    info.BitsPerSample = static_cast<uint16_t>(b[14] | (b[15] << 8));
    info.DataOffset = data->Offset;
    info.DataSize = data->Size;
    if (info.Channels == 0 || info.SampleRate == 0) return std::nullopt;
    if (info.FormatTag == kWaveFormatMsAdpcm) {
      // Every block starts with a header of whole samples: the bytes do not count samples.
      info.Duration = double(MsAdpcmSamples(stream, *form, *fmt, info.DataSize)) / info.SampleRate;
    } else if (info.BitsPerSample > 0) {
      const uint64_t samples =
          uint64_t{info.DataSize} * 8 / (uint64_t{info.BitsPerSample} * info.Channels);
      info.Duration = double(samples) / info.SampleRate;
    } else if (bytesPerSecond > 0) {
      // Compressed formats (MPEG audio inside a WAV file) name no sample size.
      info.Duration = static_cast<double>(info.DataSize) / bytesPerSecond;
    } else {
      return std::nullopt;
    }
    return info;
  } catch (const EAudioError&) {
    return std::nullopt;
  }
}

}  // namespace tw::audio
