// The format information of a WAV file that the music list shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tw::audio {

struct TWaveFormatInfo {
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BitsPerSample = 0;
  uint64_t DataOffset = 0;
  uint32_t DataSize = 0;
  double Duration = 0;  // seconds
};

// The format of a WAV file; nothing when it has no "WAVE" form, "fmt " or "data" chunk, or a
// format that cannot be played (no channels, no sample rate).
std::optional<TWaveFormatInfo> ReadWaveFormatInfo(const std::filesystem::path& path);

}  // namespace tw::audio
