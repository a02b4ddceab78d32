// JPEG files for bitmap characters: the frame size read from the markers, a check that the
// file is whole, and decoding and baseline encoding with libjpeg-turbo.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tw::builder {

// The JPEG library's default quality, used when a progressive file is turned into a baseline
// one; pixels become JPEG at the highest quality.
constexpr int kDefaultJPEGQuality = 90;
constexpr int kBestJPEGQuality = 100;

struct TJPEGFrame {
  uint16_t Width = 0, Height = 0;
  uint8_t Marker = 0;  // the frame marker: C0 baseline, C1 extended, C2 progressive, ...
  // A baseline or extended sequential frame: the bytes can go into a movie as they are.
  bool Sequential() const { return Marker == 0xC0 || Marker == 0xC1; }
};

// Walks the markers of a JPEG file from its FF D8 up to the frame header. False when the bytes
// do not start as a JPEG or end before a frame header.
bool ScanJPEGFrame(std::span<const uint8_t> bytes, TJPEGFrame& frame);

// Whether the bytes hold a scan and the end-of-image marker after it: a file cut short lacks
// the end marker, which entropy-coded data can never contain.
bool JPEGIsWhole(std::span<const uint8_t> bytes);

struct TDecodedJPEG {
  int32_t Width = 0, Height = 0;
  bool Progressive = false;
  std::vector<uint8_t> RGB;  // red, green, blue per pixel, rows from the top
};

// Decodes a JPEG into RGB pixels (grey and CMYK images too). Damaged, truncated or oversized
// images throw swf::ESWFError.
TDecodedJPEG DecodeJPEG(std::span<const uint8_t> bytes);

// A baseline JPEG of RGB pixels (rows from the top, 3 bytes per pixel, no padding).
std::vector<uint8_t> EncodeJPEG(std::span<const uint8_t> rgb, int32_t width, int32_t height,
                                int quality);

}  // namespace tw::builder
