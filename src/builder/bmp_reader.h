// TBitmap, the in-memory bitmap the image builder works on, and TBMPReader, which reads BMP
// files into one and offers what a bitmap character needs of it: size, depth, palette, rows,
// the colours in use and the transparent palette entry.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace tw::builder {

// A palette entry or a 32-bit pixel as BMP files hold them.
struct TBGRA {
  uint8_t B = 0, G = 0, R = 0, A = 0;
  bool operator==(const TBGRA&) const = default;
};

// The largest bitmap the builder takes: a bitmap tag's 16-bit sides, and at most 16 777 216
// pixels (64 MiB at 32 bits), so that a hostile header cannot ask for an enormous buffer.
constexpr int32_t kMaxBitmapSide = 65535;
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 24;

// Throws when a bitmap of this size cannot be taken: no pixels, or too many.
void CheckBitmapSize(int64_t width, int64_t height);

// Rows run from the top. Pixels are encoded as in BMP files: 1- and 4-bit indices packed with
// the leftmost pixel in the highest bits, 8-bit indices, 16-bit little-endian words of 5-5-5
// red, green and blue, 24-bit blue-green-red, 32-bit blue-green-red-alpha. Each row takes
// Stride bytes (at least what its pixels need).
struct TBitmap {
  int32_t Width = 0, Height = 0;
  uint8_t BitCount = 24;
  std::vector<TBGRA> Palette;  // for 1, 4 and 8 bits; alpha 255 is opaque
  size_t Stride = 0;
  std::vector<uint8_t> Pixels;

  // An empty bitmap of the size and depth with 4-byte aligned rows (all zero).
  static TBitmap Make(int32_t width, int32_t height, uint8_t bitCount);
  uint8_t* Row(int32_t y) { return Pixels.data() + static_cast<size_t>(y) * Stride; }
  const uint8_t* Row(int32_t y) const { return Pixels.data() + static_cast<size_t>(y) * Stride; }
};

// The bytes a row of pixels of this depth needs, and that rounded up to 4 bytes.
size_t RowBytes(int32_t width, uint8_t bitCount);
size_t AlignedRowBytes(int32_t width, uint8_t bitCount);

class TBMPReader {
 public:
  // A BMP file or the bytes of one: the 40-byte information header or a larger one (V4, V5),
  // 1, 4, 8, 16, 24 or 32 bits, uncompressed or with bit-field masks; rows bottom-up or
  // top-down. Damaged or oversized files throw swf::ESWFError.
  void LoadFromFile(const std::filesystem::path& fileName);
  void LoadFromStream(std::span<const uint8_t> bytes);
  // Takes a copy of an in-memory bitmap; the palette is widened to 256 entries.
  void LoadFromHandle(const TBitmap& bitmap);

  int32_t Width() const { return FBitmap.Width; }
  int32_t Height() const { return FBitmap.Height; }
  uint8_t BitCount() const { return FBitmap.BitCount; }
  // 256 entries; those past the bitmap's own are black.
  std::array<TBGRA, 256>& Palette() { return FPalette; }
  const std::array<TBGRA, 256>& Palette() const { return FPalette; }
  // Row I of the stored bitmap as BMP numbers them: from the bottom, so row Height - 1 is the
  // top one.
  uint8_t* Rows(int32_t i) { return FBitmap.Row(FBitmap.Height - 1 - i); }
  const uint8_t* Rows(int32_t i) const { return FBitmap.Row(FBitmap.Height - 1 - i); }
  // The size, depth and pixels; the palette is Palette().
  const TBitmap& Bitmap() const { return FBitmap; }

  // The palette entries in use. 8- and 4-bit bitmaps are compacted: the entries in use move to
  // the front, keeping their order, and the pixels (and TransparentIndex) are renumbered; an
  // 8-bit bitmap that only uses index 1 reports 2 and stays as it is. A 1-bit bitmap reports 1
  // when every pixel is 0, else 2. Other depths report 0.
  int ColorCount();
  // The palette entry that is transparent, or -1. Found when an 8-bit bitmap is read whose
  // palette alpha bytes include both 255 and 0 (the first entry of alpha 0); otherwise every
  // palette alpha byte is made 255.
  int TransparentIndex = -1;

  // The colour of a pixel, rows from the top; alpha 255 for depths without alpha.
  TBGRA Pixel(int32_t x, int32_t y) const;
  // The index of a pixel of a palette bitmap, rows from the top.
  uint8_t Index(int32_t x, int32_t y) const;
  // The pixels as 8-bit red, green and blue, rows from the top, without padding.
  std::vector<uint8_t> ToRGB() const;
  // Turns the bitmap into 32 bits, keeping every pixel's colour and alpha.
  void ConvertTo32();
  // A 32-bit bitmap takes each pixel's alpha byte from the matching pixel of another bitmap of
  // its size, as AlphaOf gives it (for an 8-bit grey mask, the index).
  void CopyAlphaFrom(const TBMPReader& other);
  // The alpha a pixel of this bitmap stands for when the bitmap is an alpha mask: the alpha
  // byte of a 32-bit pixel, else the grey level of its colour (for a grey palette, the index).
  uint8_t AlphaOf(int32_t x, int32_t y) const;

 private:
  void SetPalette(std::span<const TBGRA> entries);
  void FindTransparentIndex();

  TBitmap FBitmap;  // its own Palette stays empty
  std::array<TBGRA, 256> FPalette{};
  size_t FPaletteSize = 0;  // the entries the image brought
};

}  // namespace tw::builder
