// TFlashImage: the builder's bitmap character. It takes a JPEG or BMP file, an in-memory bitmap
// or ready lossless data, keeps it as JPEG bytes or as pixels, optionally with alpha, and writes
// DefineBitsJPEG2, DefineBitsJPEG3, DefineBitsLossless or DefineBitsLossless2.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "builder/bmp_reader.h"
#include "builder/objects.h"

namespace tw::builder {

// Where an image's data is.
enum TImageDataState : uint8_t {
  idsNone = 0,        // no image yet
  idsData = 1,        // ready lossless data in Data
  idsPixels = 2,      // pixels in Reader; the lossless data is made when first written
  idsJPEGFile = 3,    // a JPEG file by name, read each time the image is written
  idsJPEGData = 4,    // JPEG bytes in Data
  idsJPEGFileData = 5,  // the bytes of a JPEG file read into Data
};

// Lossless pixel formats; 1 (32 bits with alpha) is written as format 5.
enum TImageFormat : uint8_t { ifNone = 0, ifARGB = 1, ifPalette = 3, ifRGB15 = 4, ifRGB = 5 };

class TFlashImage : public TFlashIDObject {
 public:
  // With a file name the file is loaded at once.
  explicit TFlashImage(TFlashMovie* owner, const std::filesystem::path& fileName = {});
  ~TFlashImage() override;

  // By extension: .jpg and .jpeg are kept as JPEG bytes (a file that is not sequential is
  // turned into a baseline JPEG while ConvertProgressive is on); .bmp becomes pixels. Other
  // extensions, damaged files and oversized images throw swf::ESWFError; the image then stays
  // as it was.
  void LoadDataFromFile(const std::filesystem::path& fileName);
  // The bytes of a BMP file.
  void LoadDataFromStream(std::span<const uint8_t> bmp);
  // An in-memory bitmap (a decoded GIF, say).
  void LoadDataFromHandle(const TBitmap& bitmap);
  // Ready data: JPEG bytes, or the zlib-compressed body of a lossless bitmap of the format
  // (palette first, then rows of rowWidth pixels; colours premultiplied by alpha when hasAlpha).
  void LoadDataFromNativeStream(std::span<const uint8_t> data, bool asJPEG, bool hasAlpha,
                                int colorCount, uint8_t format, uint16_t height, uint16_t width);

  // Alpha from a second image of the same size: a BMP file (any other extension throws),
  // the bytes of one, or a bitmap. A 32-bit mask gives its alpha bytes, any other its grey
  // level (an 8-bit grey mask: its index).
  void LoadAlphaFromFile(const std::filesystem::path& fileName);
  void LoadAlphaFromStream(std::span<const uint8_t> bmp);
  void SetAlphaFromReader(const TBMPReader& mask);
  // Palette images: every entry of the colour gets its alpha (alpha 0 also makes it black).
  void SetAlphaColor(const swf::TSWFRGBA& color);
  // Palette images: the entry gets the alpha (0 also makes it black).
  void SetAlphaIndex(int index, uint8_t alpha);

  bool AsJPEG() const { return FAsJPEG; }
  // true: pixels become a JPEG at the best quality (with their alpha as alpha data); false: a
  // JPEG becomes pixels.
  void SetAsJPEG(bool value);
  bool ConvertProgressive() const { return FConvertProgressive; }
  // Turning it on converts a JPEG held by file that is not sequential.
  void SetConvertProgressive(bool value);

  uint16_t Width() const { return FWidth; }
  uint16_t Height() const { return FHeight; }
  uint32_t RowWidth() const { return FRowWidth; }
  uint8_t Format() const { return FFormat; }
  int ColorCount() const { return FColorCount; }
  bool HasAlpha() const { return FHasAlpha; }
  TImageDataState DataState() const { return FDataState; }
  const std::filesystem::path& FileName() const { return FFileName; }
  // JPEG bytes or compressed lossless data (empty until made or loaded).
  std::span<const uint8_t> Data() const { return FData; }
  // One alpha byte per pixel, rows from the top, for a JPEG with alpha.
  std::span<const uint8_t> AlphaData() const { return FAlphaData; }
  // The pixels, made on first request.
  TBMPReader& Reader();

  // The lossless data of the pixels, zlib-compressed into Data.
  void MakeLosslessData();

  void Assign(const swf::TBasedSWFObject& source) override;
  int MinVersion() const override { return FHasAlpha ? 3 : 2; }
  void WriteToStream(swf::TBitsEngine& be) override;
  bool IsResource() const override { return true; }

 private:
  void LoadJPEGFile(const std::filesystem::path& fileName);
  void TakePixels(std::unique_ptr<TBMPReader> reader);
  void TakePixelFields();
  void DecodeToPixels();
  std::vector<uint8_t> JPEGBytes() const;

  std::vector<uint8_t> FAlphaData;
  bool FAsJPEG = false;
  std::unique_ptr<TBMPReader> FReader;
  int FColorCount = 0;
  bool FConvertProgressive = true;
  std::vector<uint8_t> FData;
  TImageDataState FDataState = idsNone;
  std::filesystem::path FFileName;
  bool FHasAlpha = false;
  uint16_t FHeight = 0;
  uint32_t FRowWidth = 0;  // padded: wider than 16 bits for the widest bitmaps
  uint16_t FWidth = 0;
  uint8_t FFormat = ifNone;
};

// The upper-cased extension of a file name without its dot ("JPG"), as the image messages
// quote it.
std::string ImageExtension(const std::filesystem::path& fileName);

}  // namespace tw::builder
