// The ID3v1 genre names, codes 0 to 125, spelt as the product has always shown them.
#pragma once

#include <cstdint>
#include <string_view>

namespace tw::audio {

inline constexpr int kGenreCount = 126;

// The name of a genre code; "Unknown" above 125.
std::string_view GenreName(uint8_t code);

}  // namespace tw::audio
