#include "builder/bmp_reader.h"

#include <algorithm>
#include <bit>
#include <string>

#include "swf/errors.h"
#include "util/files.h"

namespace tw::builder {

using swf::ESWFError;

namespace {

// A BMP file is never larger than its pixels and a few headers; a file much larger than the
// biggest bitmap taken is not read into memory at all.
constexpr uint64_t kMaxBMPFileSize = uint64_t{kMaxBitmapPixels} * 4 + (1u << 20);

[[noreturn]] void Damaged(const std::string& why) { throw ESWFError("The BMP image is damaged: " + why); }

uint32_t LE32(std::span<const uint8_t> b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t LE16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// One channel of a bit-field mask scaled to 8 bits (0 when the mask is empty).
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  int Bits = 0;
  explicit TChannel(uint32_t mask) : Mask(mask) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Bits = std::popcount(mask >> Shift);
  }
  uint8_t Get(uint32_t v) const {
    if (Bits == 0) return 0;
    const uint32_t x = (v & Mask) >> Shift;
    if (Bits >= 8) return static_cast<uint8_t>(x >> (Bits - 8));
    const uint32_t max = (1u << Bits) - 1;
    return static_cast<uint8_t>((x * 255 + max / 2) / max);
  }
};

}  // namespace

void CheckBitmapSize(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) throw ESWFError("The image has no pixels");
  if (width > kMaxBitmapSide || height > kMaxBitmapSide || width * height > kMaxBitmapPixels)
    throw ESWFError("The image is too large: " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels");
}

size_t RowBytes(int32_t width, uint8_t bitCount) {
  return (static_cast<size_t>(width) * bitCount + 7) / 8;
}

size_t AlignedRowBytes(int32_t width, uint8_t bitCount) {
  return (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
}

TBitmap TBitmap::Make(int32_t width, int32_t height, uint8_t bitCount) {
  CheckBitmapSize(width, height);
  TBitmap b;
  b.Width = width;
  b.Height = height;
  b.BitCount = bitCount;
  b.Stride = AlignedRowBytes(width, bitCount);
  b.Pixels.assign(b.Stride * static_cast<size_t>(height), 0);
  return b;
}

// ---- reading ---------------------------------------------------------------------------------

void TBMPReader::LoadFromFile(const std::filesystem::path& fileName) {
  LoadFromStream(ReadWholeFile(fileName, kMaxBMPFileSize));
}

void TBMPReader::LoadFromStream(std::span<const uint8_t> b) {
  if (b.size() < 18 || b[0] != 'B' || b[1] != 'M') Damaged("it does not start with a BMP header");
  const uint32_t pixelOffset = LE32(b, 10);
  const uint32_t headerSize = LE32(b, 14);
  if (headerSize != 12 && headerSize < 40) Damaged("unknown header size " + std::to_string(headerSize));
  if (b.size() < 14 + uint64_t{headerSize}) Damaged("the header is cut short");

  int64_t width, height;
  uint16_t bitCount;
  uint32_t compression = 0, colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  bool hasMasks = false;
  size_t paletteAt = 14 + headerSize;
  size_t paletteEntrySize = 4;
  if (headerSize == 12) {  // the old core header: 16-bit sides, 3-byte palette entries
    width = LE16(b, 18);
    height = static_cast<int16_t>(LE16(b, 20));
    bitCount = LE16(b, 24);
    paletteEntrySize = 3;
  } else {
    width = static_cast<int32_t>(LE32(b, 18));
    height = static_cast<int32_t>(LE32(b, 22));
    bitCount = LE16(b, 28);
    compression = LE32(b, 30);
    colorsUsed = LE32(b, 46);
    if (compression == 3 || compression == 6) {  // bit fields, after a short header
      hasMasks = true;
      const size_t count = compression == 6 ? 4 : 3;
      if (headerSize >= 52) {
        for (size_t i = 0; i < 3; ++i) masks[i] = LE32(b, 54 + 4 * i);
        if (headerSize >= 56) masks[3] = LE32(b, 66);
      } else {
        if (b.size() < paletteAt + 4 * count) Damaged("the bit-field masks are cut short");
        for (size_t i = 0; i < count; ++i) masks[i] = LE32(b, paletteAt + 4 * i);
        paletteAt += 4 * count;
      }
    } else if (compression != 0) {
      throw ESWFError("BMP compression " + std::to_string(compression) + " is not supported");
    }
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    throw ESWFError("BMP images of " + std::to_string(bitCount) + " bits are not supported");
  if (hasMasks && bitCount != 16 && bitCount != 32) Damaged("bit-field masks on a palette image");
  const bool topDown = height < 0;
  if (topDown) height = -height;
  CheckBitmapSize(width, height);

  // The palette: as many entries as the header says, at most what the depth can index.
  std::vector<TBGRA> palette;
  if (bitCount <= 8) {
    const uint32_t max = 1u << bitCount;
    const uint32_t count = colorsUsed == 0 || colorsUsed > max ? max : colorsUsed;
    if (b.size() < paletteAt + size_t{count} * paletteEntrySize) Damaged("the palette is cut short");
    palette.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = paletteAt + i * paletteEntrySize;
      palette[i] = {b[at], b[at + 1], b[at + 2], paletteEntrySize == 4 ? b[at + 3] : uint8_t{0}};
    }
  }

  const size_t stride = AlignedRowBytes(static_cast<int32_t>(width), static_cast<uint8_t>(bitCount));
  const size_t need = stride * static_cast<size_t>(height);
  if (pixelOffset > b.size() || b.size() - pixelOffset < need)
    Damaged("the pixels are cut short (" + std::to_string(width) + " x " + std::to_string(height) +
            " pixels need " + std::to_string(need) + " bytes)");

  // 16-bit pixels are kept as 5-5-5 words and 32-bit pixels as blue-green-red-alpha, whatever
  // masks the file used.
  const uint8_t depth = static_cast<uint8_t>(bitCount);
  TBitmap bitmap = TBitmap::Make(static_cast<int32_t>(width), static_cast<int32_t>(height), depth);
  const size_t rowBytes = RowBytes(bitmap.Width, depth);
  const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
  const bool plain555 = !hasMasks || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F);
  const bool plain32 = !hasMasks || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
                                     (masks[3] == 0 || masks[3] == 0xFF000000u));
  for (int32_t y = 0; y < bitmap.Height; ++y) {
    const int32_t fileRow = topDown ? y : bitmap.Height - 1 - y;
    const uint8_t* src = b.data() + pixelOffset + static_cast<size_t>(fileRow) * stride;
    uint8_t* dst = bitmap.Row(y);
    if (depth == 16 && !plain555) {
      for (int32_t x = 0; x < bitmap.Width; ++x) {
        const uint32_t v = src[2 * x] | src[2 * x + 1] << 8;
        const uint16_t w = static_cast<uint16_t>((red.Get(v) >> 3) << 10 | (green.Get(v) >> 3) << 5 |
                                                 blue.Get(v) >> 3);
        dst[2 * x] = static_cast<uint8_t>(w);
        dst[2 * x + 1] = static_cast<uint8_t>(w >> 8);
      }
    } else if (depth == 32 && !plain32) {
      for (int32_t x = 0; x < bitmap.Width; ++x) {
        const uint32_t v = LE32(std::span<const uint8_t>(src, rowBytes), 4 * static_cast<size_t>(x));
        dst[4 * x] = blue.Get(v);
        dst[4 * x + 1] = green.Get(v);
        dst[4 * x + 2] = red.Get(v);
        dst[4 * x + 3] = masks[3] ? alpha.Get(v) : 255;
      }
    } else {
      std::copy(src, src + rowBytes, dst);
    }
  }
  // 32-bit pixels without an alpha mask carry alpha only when some of it is set: writers leave
  // the byte zero when they do not use it, which would make the whole image invisible.
  if (depth == 32 && plain32 && masks[3] == 0) {
    bool anyAlpha = false;
    for (int32_t y = 0; y < bitmap.Height && !anyAlpha; ++y)
      for (int32_t x = 0; x < bitmap.Width && !anyAlpha; ++x) anyAlpha = bitmap.Row(y)[4 * x + 3] != 0;
    if (!anyAlpha)
      for (int32_t y = 0; y < bitmap.Height; ++y)
        for (int32_t x = 0; x < bitmap.Width; ++x) bitmap.Row(y)[4 * x + 3] = 255;
  }
  FBitmap = std::move(bitmap);
  SetPalette(palette);
  FindTransparentIndex();
}

void TBMPReader::LoadFromHandle(const TBitmap& bitmap) {
  const uint8_t d = bitmap.BitCount;
  if (d != 1 && d != 4 && d != 8 && d != 16 && d != 24 && d != 32)
    throw ESWFError("Bitmaps of " + std::to_string(d) + " bits are not supported");
  CheckBitmapSize(bitmap.Width, bitmap.Height);
  if (bitmap.Stride < RowBytes(bitmap.Width, d) ||
      bitmap.Pixels.size() / bitmap.Stride < static_cast<size_t>(bitmap.Height))
    throw ESWFError("The bitmap holds fewer pixels than its size needs");
  if (bitmap.Palette.size() > 256) throw ESWFError("The bitmap's palette has more than 256 entries");
  // Rows are copied into 4-byte aligned ones, as every bitmap the reader holds.
  TBitmap copy = TBitmap::Make(bitmap.Width, bitmap.Height, d);
  const size_t rowBytes = RowBytes(bitmap.Width, d);
  for (int32_t y = 0; y < bitmap.Height; ++y)
    std::copy(bitmap.Row(y), bitmap.Row(y) + rowBytes, copy.Row(y));
  FBitmap = std::move(copy);
  SetPalette(d <= 8 ? std::span<const TBGRA>(bitmap.Palette) : std::span<const TBGRA>());
  FindTransparentIndex();
}

void TBMPReader::SetPalette(std::span<const TBGRA> entries) {
  FPalette.fill(TBGRA{});
  std::copy(entries.begin(), entries.end(), FPalette.begin());
  FPaletteSize = entries.size();
  FBitmap.Palette.clear();
}

void TBMPReader::FindTransparentIndex() {
  TransparentIndex = -1;
  const size_t n = FPaletteSize;
  if (FBitmap.BitCount == 8) {
    bool opaque = false, clear = false;
    for (size_t i = 0; i < n; ++i) {
      opaque |= FPalette[i].A == 255;
      clear |= FPalette[i].A == 0;
    }
    if (opaque && clear) {
      for (size_t i = 0; i < n; ++i)
        if (FPalette[i].A == 0) {
          TransparentIndex = static_cast<int>(i);
          break;
        }
      return;
    }
  }
  for (TBGRA& e : FPalette) e.A = 255;
}

// ---- pixels ----------------------------------------------------------------------------------

uint8_t TBMPReader::Index(int32_t x, int32_t y) const {
  const uint8_t* row = FBitmap.Row(y);
  switch (FBitmap.BitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8: return row[x];
    default: return 0;
  }
}

TBGRA TBMPReader::Pixel(int32_t x, int32_t y) const {
  const uint8_t* row = FBitmap.Row(y);
  switch (FBitmap.BitCount) {
    case 16: {
      const uint16_t v = static_cast<uint16_t>(row[2 * x] | row[2 * x + 1] << 8);
      auto five = [](uint32_t c) { return static_cast<uint8_t>(c << 3 | c >> 2); };
      return {five(v & 31), five((v >> 5) & 31), five((v >> 10) & 31), 255};
    }
    case 24: return {row[3 * x], row[3 * x + 1], row[3 * x + 2], 255};
    case 32: return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
    default: return FPalette[Index(x, y)];
  }
}

uint8_t TBMPReader::AlphaOf(int32_t x, int32_t y) const {
  const TBGRA p = Pixel(x, y);
  if (FBitmap.BitCount == 32) return p.A;
  return static_cast<uint8_t>((p.R + p.G + p.B + 1) / 3);
}

std::vector<uint8_t> TBMPReader::ToRGB() const {
  std::vector<uint8_t> rgb(static_cast<size_t>(FBitmap.Width) * static_cast<size_t>(FBitmap.Height) * 3);
  uint8_t* out = rgb.data();
  for (int32_t y = 0; y < FBitmap.Height; ++y)
    for (int32_t x = 0; x < FBitmap.Width; ++x) {
      const TBGRA p = Pixel(x, y);
      *out++ = p.R;
      *out++ = p.G;
      *out++ = p.B;
    }
  return rgb;
}

void TBMPReader::ConvertTo32() {
  if (FBitmap.BitCount == 32) return;
  TBitmap b = TBitmap::Make(FBitmap.Width, FBitmap.Height, 32);
  for (int32_t y = 0; y < b.Height; ++y) {
    uint8_t* dst = b.Row(y);
    for (int32_t x = 0; x < b.Width; ++x) {
      const TBGRA p = Pixel(x, y);
      dst[4 * x] = p.B;
      dst[4 * x + 1] = p.G;
      dst[4 * x + 2] = p.R;
      dst[4 * x + 3] = p.A;
    }
  }
  FBitmap = std::move(b);
  SetPalette({});
  TransparentIndex = -1;
}

void TBMPReader::CopyAlphaFrom(const TBMPReader& other) {
  if (FBitmap.BitCount != 32 || other.Width() != Width() || other.Height() != Height()) return;
  for (int32_t y = 0; y < FBitmap.Height; ++y) {
    uint8_t* row = FBitmap.Row(y);
    for (int32_t x = 0; x < FBitmap.Width; ++x) row[4 * x + 3] = other.AlphaOf(x, y);
  }
}

// ---- palette compaction ----------------------------------------------------------------------

int TBMPReader::ColorCount() {
  const uint8_t depth = FBitmap.BitCount;
  if (depth > 8 || FBitmap.Pixels.empty()) return 0;
  std::array<bool, 256> used{};
  for (int32_t y = 0; y < FBitmap.Height; ++y)
    for (int32_t x = 0; x < FBitmap.Width; ++x) used[Index(x, y)] = true;
  if (depth == 1) return used[1] ? 2 : 1;
  const int count = static_cast<int>(std::count(used.begin(), used.end(), true));
  if (depth == 8 && count == 1 && used[1]) return 2;

  std::array<uint8_t, 256> newIndex{};
  std::array<TBGRA, 256> palette{};
  int next = 0;
  for (int i = 0; i < 256; ++i) {
    if (!used[i]) continue;
    newIndex[i] = static_cast<uint8_t>(next);
    palette[next++] = FPalette[i];
  }
  for (int32_t y = 0; y < FBitmap.Height; ++y) {
    uint8_t* row = FBitmap.Row(y);
    for (int32_t x = 0; x < FBitmap.Width; ++x) {
      const uint8_t v = newIndex[Index(x, y)];
      if (depth == 8) {
        row[x] = v;
      } else {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(15 << shift)) | v << shift);
      }
    }
  }
  // The transparent entry moves with the others; unused, it is gone.
  if (TransparentIndex >= 0)
    TransparentIndex = used[static_cast<size_t>(TransparentIndex)] ? newIndex[static_cast<size_t>(TransparentIndex)] : -1;
  FPalette = palette;
  FPaletteSize = static_cast<size_t>(count);
  return count;
}

}  // namespace tw::builder
