#include "audio/wave_info.h"

#include "audio/riff.h"
#include "audio/source_stream.h"

namespace tw::audio {

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
    if (info.BitsPerSample > 0) {
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
