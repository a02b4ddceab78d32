// Helpers of the builder object tests: images made by outside programs (ffmpeg, cjpeg, djpeg),
// decoding what a bitmap tag holds, and reading back the movie a builder made.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "builder/movie.h"
#include "support/glyph_ink.h"
#include "support/testing.h"
#include "swf/stream.h"

namespace tw::test {

// Pixels as red, green, blue, alpha, rows from the top.
struct TRGBAImage {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;
  const uint8_t* At(int x, int y) const { return Pixels.data() + (size_t(y) * Width + x) * 4; }
};

// The box of the dark pixels (green below 128) of the picture between two rows.
TInk DarkInk(const TRGBAImage& picture, int fromRow, int toRow);

// A test picture of the size: every pixel a different colour that changes sharply from one to
// the next (so row padding or a swapped channel shows), alpha 255.
TRGBAImage Pattern(int width, int height);

// A colour with alpha.
inline swf::TSWFRGBA Rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  swf::TSWFRGBA c(true);
  c.R = r, c.G = g, c.B = b;
  c.SetAlpha(a);
  return c;
}

// Runs the command and fails the test (returning false) unless it succeeds.
bool RunOk(const std::vector<std::string>& argv);

// Writes the picture's colours as a binary PPM.
void WritePPM(const std::filesystem::path& file, const TRGBAImage& image);
// Reads a binary PPM (P6) or PGM (P5) into RGBA.
TRGBAImage ReadPNM(const std::filesystem::path& file);
// What ffmpeg decodes from an image file (its opinion of the pixels), as RGBA.
TRGBAImage DecodeWithFFmpeg(const std::filesystem::path& file, int width, int height);
// An image file made by ffmpeg from the picture, in ffmpeg's pixel format (BMP: bgr24, bgra,
// pal8, rgb555, monob, gray).
std::filesystem::path MakeWithFFmpeg(const std::filesystem::path& file, const TRGBAImage& image,
                                     const std::string& pixelFormat);

// The tags of a body (top level): code and body bytes.
struct TRawTag {
  uint16_t Code = 0;
  Bytes Body;
};
std::vector<TRawTag> SplitTags(std::span<const uint8_t> body);
// The tags a builder object writes.
std::vector<TRawTag> TagsOf(swf::TBasedSWFObject& object);

// The pixels of a DefineBitsLossless or DefineBitsLossless2 body (palette and 15-bit formats
// expanded; alpha undone from its premultiplied form).
TRGBAImage DecodeLossless(uint16_t code, std::span<const uint8_t> body);
// The zlib stream inflated (of at most limit bytes).
Bytes Inflate(std::span<const uint8_t> data, size_t limit = size_t{1} << 28);

// The largest difference of any channel between two pictures of the same size (255 when the
// sizes differ), alpha left out when ignoreAlpha.
int MaxDifference(const TRGBAImage& a, const TRGBAImage& b, bool ignoreAlpha = false);

// An opaque colour on the stage.
struct TColour {
  int R, G, B;
};
// Each channel of the pixel is within the tolerance of the colour.
void ExpectColour(const TRGBAImage& shot, int x, int y, TColour c, int tolerance, const char* what);

// The stage of a movie file as the browser tests' Flash runtime drew it after a short while.
TRGBAImage Screenshot(const std::filesystem::path& movie, int width, int height);

// A movie written to bytes and read again with its tags parsed (and their actions, when asked).
std::unique_ptr<swf::TSWFStreamReader> Reread(builder::TFlashMovie& movie, bool parseActions = false);

// The nth top-level tag of the code in a parsed movie, as its class; null when there is none.
template <class T>
T* FindTag(swf::TSWFStreamReader& r, uint16_t code, size_t nth = 0) {
  for (const auto& t : r.TagList)
    if (t->TagCode == code && nth-- == 0) return dynamic_cast<T*>(t->TagObject());
  return nullptr;
}
// The codes of the top-level tags of a parsed movie, in order, separated by spaces.
std::string TagCodes(const swf::TSWFStreamReader& r);

}  // namespace tw::test
