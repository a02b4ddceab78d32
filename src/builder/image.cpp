#include "builder/image.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

#include "builder/jpeg.h"
#include "swf/bitmap_tags.h"
#include "swf/errors.h"
#include "util/files.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

// No JPEG the builder takes comes near this; the cap keeps a wrong file from being read whole.
constexpr uint64_t kMaxJPEGFileSize = uint64_t{1} << 28;

constexpr uint8_t kJPEGPrefix[4] = {0xFF, 0xD9, 0xFF, 0xD8};

std::vector<uint8_t> CompressZlib(std::span<const uint8_t> bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    throw ESWFError("Compression error: zlib failed");
  out.resize(size);
  return out;
}

// A colour premultiplied by its alpha, as lossless bitmaps with alpha hold their colours.
uint8_t Premultiply(uint8_t c, uint8_t a) { return static_cast<uint8_t>((c * a + 127) / 255); }

std::vector<uint8_t> ReadJPEGFile(const std::filesystem::path& fileName) {
  return ReadWholeFile(fileName, kMaxJPEGFileSize);
}

}  // namespace

std::string ImageExtension(const std::filesystem::path& fileName) {
  std::string ext = fileName.extension().string();
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  for (char& ch : ext) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return ext;
}

TFlashImage::TFlashImage(TFlashMovie* owner, const std::filesystem::path& fileName)
    : TFlashIDObject(owner) {
  if (!fileName.empty()) LoadDataFromFile(fileName);
}

TFlashImage::~TFlashImage() = default;

TBMPReader& TFlashImage::Reader() {
  if (!FReader) FReader = std::make_unique<TBMPReader>();
  return *FReader;
}

// ---- loading ---------------------------------------------------------------------------------

void TFlashImage::LoadDataFromFile(const std::filesystem::path& fileName) {
  const std::string ext = ImageExtension(fileName);
  if (ext == "JPG" || ext == "JPEG") {
    LoadJPEGFile(fileName);
  } else if (ext == "BMP") {
    auto reader = std::make_unique<TBMPReader>();
    reader->LoadFromFile(fileName);
    TakePixels(std::move(reader));
  } else {
    throw ESWFError("Image format \"" + ext + "\" not supported!");
  }
  FFileName = fileName;
}

void TFlashImage::LoadJPEGFile(const std::filesystem::path& fileName) {
  std::vector<uint8_t> bytes = ReadJPEGFile(fileName);
  TJPEGFrame frame;
  const bool found = ScanJPEGFrame(bytes, frame);
  std::vector<uint8_t> data;
  TImageDataState state;
  if (found && (frame.Sequential() || !FConvertProgressive)) {
    // The bytes go into the movie as they are, so they are checked here: a player shows a
    // file cut short as a broken picture.
    CheckBitmapSize(frame.Width, frame.Height);
    if (!JPEGIsWhole(bytes)) throw ESWFError("The JPEG image is damaged: the file is cut short");
    state = idsJPEGFile;
  } else {
    // Progressive files, and any other a player may not take, become a baseline JPEG.
    const TDecodedJPEG decoded = DecodeJPEG(bytes);
    frame.Width = static_cast<uint16_t>(decoded.Width);
    frame.Height = static_cast<uint16_t>(decoded.Height);
    data = EncodeJPEG(decoded.RGB, decoded.Width, decoded.Height, kDefaultJPEGQuality);
    state = idsJPEGData;
  }
  FAsJPEG = true;
  FHasAlpha = false;
  FAlphaData.clear();
  FData = std::move(data);
  FDataState = state;
  FWidth = frame.Width;
  FHeight = frame.Height;
  FRowWidth = 0;
  FFormat = ifNone;
  FColorCount = 0;
}

void TFlashImage::LoadDataFromStream(std::span<const uint8_t> bmp) {
  auto reader = std::make_unique<TBMPReader>();
  reader->LoadFromStream(bmp);
  TakePixels(std::move(reader));
}

void TFlashImage::LoadDataFromHandle(const TBitmap& bitmap) {
  auto reader = std::make_unique<TBMPReader>();
  reader->LoadFromHandle(bitmap);
  TakePixels(std::move(reader));
}

void TFlashImage::TakePixels(std::unique_ptr<TBMPReader> reader) {
  FReader = std::move(reader);
  FAsJPEG = false;
  FData.clear();
  FAlphaData.clear();
  TakePixelFields();
}

void TFlashImage::TakePixelFields() {
  TBMPReader& r = Reader();
  FWidth = static_cast<uint16_t>(r.Width());
  FHeight = static_cast<uint16_t>(r.Height());
  FColorCount = 0;
  FHasAlpha = false;
  FData.clear();
  FDataState = idsPixels;
  switch (r.BitCount()) {
    case 1: case 4: case 8:
      FFormat = ifPalette;
      FRowWidth = (FWidth + 3u) & ~3u;
      FColorCount = r.ColorCount();
      if (r.TransparentIndex >= 0) {
        FHasAlpha = true;
        SetAlphaIndex(r.TransparentIndex, 0);
      }
      break;
    case 16:
      FFormat = ifRGB15;
      FRowWidth = (FWidth + 1u) & ~1u;
      break;
    case 24:
      FFormat = ifRGB;
      FRowWidth = FWidth;
      break;
    default:
      FFormat = ifARGB;
      FRowWidth = FWidth;
      FHasAlpha = true;
      break;
  }
}

void TFlashImage::LoadDataFromNativeStream(std::span<const uint8_t> data, bool asJPEG,
                                           bool hasAlpha, int colorCount, uint8_t format,
                                           uint16_t height, uint16_t width) {
  CheckBitmapSize(width, height);
  if (data.empty()) throw ESWFError("The image data is empty");
  if (!asJPEG) {
    if (format != ifPalette && format != ifRGB15 && format != ifRGB && format != ifARGB)
      throw ESWFError("Lossless format " + std::to_string(format) + " is not supported");
    if (format == ifPalette && (colorCount < 1 || colorCount > 256))
      throw ESWFError("A palette image needs 1 to 256 colours");
  }
  FData.assign(data.begin(), data.end());
  FAlphaData.clear();
  FAsJPEG = asJPEG;
  FWidth = width;
  FHeight = height;
  if (asJPEG) {
    FHasAlpha = false;
    FDataState = idsJPEGData;
  } else {
    FRowWidth = width;
    FFormat = format;
    FHasAlpha = hasAlpha;
    FColorCount = colorCount;
    FDataState = idsData;
  }
}

// ---- alpha -----------------------------------------------------------------------------------

void TFlashImage::LoadAlphaFromFile(const std::filesystem::path& fileName) {
  const std::string ext = ImageExtension(fileName);
  if (ext != "BMP") throw ESWFError("Image format \"" + ext + "\" for alpha not supported!");
  TBMPReader mask;
  mask.LoadFromFile(fileName);
  SetAlphaFromReader(mask);
}

void TFlashImage::LoadAlphaFromStream(std::span<const uint8_t> bmp) {
  TBMPReader mask;
  mask.LoadFromStream(bmp);
  SetAlphaFromReader(mask);
}

void TFlashImage::SetAlphaFromReader(const TBMPReader& mask) {
  if (mask.Width() != FWidth || mask.Height() != FHeight)
    throw ESWFError("The alpha image must have the image's size (" + std::to_string(FWidth) +
                    " x " + std::to_string(FHeight) + " pixels)");
  if (FAsJPEG) {
    std::vector<uint8_t> alpha(size_t{FWidth} * FHeight);
    uint8_t* out = alpha.data();
    for (int32_t y = 0; y < FHeight; ++y)
      for (int32_t x = 0; x < FWidth; ++x) *out++ = mask.AlphaOf(x, y);
    FAlphaData = std::move(alpha);
    FHasAlpha = true;
    return;
  }
  // Only the pixels' own 32-bit form has room for alpha per pixel: other depths are widened.
  if (FDataState != idsPixels)
    throw ESWFError("Ready lossless data cannot take an alpha image");
  TBMPReader& r = Reader();
  r.ConvertTo32();
  r.CopyAlphaFrom(mask);
  TakePixelFields();
}

void TFlashImage::SetAlphaColor(const TSWFRGBA& color) {
  if (FFormat != ifPalette || FDataState != idsPixels) return;
  FHasAlpha = true;
  for (TBGRA& e : Reader().Palette()) {
    if (e.R != color.R || e.G != color.G || e.B != color.B) continue;
    e.A = color.A;
    if (color.A == 0) e.R = e.G = e.B = 0;
  }
  FData.clear();
}

void TFlashImage::SetAlphaIndex(int index, uint8_t alpha) {
  if (FFormat != ifPalette || FDataState != idsPixels || index < 0 || index >= FColorCount) return;
  FHasAlpha = true;
  TBGRA& e = Reader().Palette()[static_cast<size_t>(index)];
  e.A = alpha;
  if (alpha == 0) e.R = e.G = e.B = 0;
  FData.clear();
}

// ---- conversions -----------------------------------------------------------------------------

void TFlashImage::SetAsJPEG(bool value) {
  if (value == FAsJPEG) return;
  if (value) {
    if (FDataState != idsPixels) return;
    TBMPReader& r = Reader();
    std::vector<uint8_t> jpeg = EncodeJPEG(r.ToRGB(), r.Width(), r.Height(), kBestJPEGQuality);
    // Transparency of the pixels travels as the alpha data of a DefineBitsJPEG3.
    std::vector<uint8_t> alpha;
    if (FHasAlpha) {
      alpha.resize(size_t{FWidth} * FHeight);
      uint8_t* out = alpha.data();
      for (int32_t y = 0; y < FHeight; ++y)
        for (int32_t x = 0; x < FWidth; ++x) *out++ = r.Pixel(x, y).A;
    }
    FData = std::move(jpeg);
    FAlphaData = std::move(alpha);
    FDataState = idsJPEGData;
    FAsJPEG = true;
  } else {
    if (FDataState != idsJPEGFile && FDataState != idsJPEGData && FDataState != idsJPEGFileData)
      return;
    DecodeToPixels();
  }
}

void TFlashImage::DecodeToPixels() {
  const TDecodedJPEG decoded = DecodeJPEG(JPEGBytes());
  // Alpha data of the JPEG's size stays with the pixels.
  const bool alpha = FAlphaData.size() == static_cast<size_t>(decoded.Width) * static_cast<size_t>(decoded.Height);
  TBitmap bitmap = TBitmap::Make(decoded.Width, decoded.Height, alpha ? 32 : 24);
  const uint8_t* in = decoded.RGB.data();
  const uint8_t* a = FAlphaData.data();
  for (int32_t y = 0; y < bitmap.Height; ++y) {
    uint8_t* row = bitmap.Row(y);
    for (int32_t x = 0; x < bitmap.Width; ++x, in += 3) {
      uint8_t* px = row + x * (alpha ? 4 : 3);
      px[0] = in[2];
      px[1] = in[1];
      px[2] = in[0];
      if (alpha) px[3] = *a++;
    }
  }
  auto reader = std::make_unique<TBMPReader>();
  reader->LoadFromHandle(bitmap);
  TakePixels(std::move(reader));
}

void TFlashImage::SetConvertProgressive(bool value) {
  const bool was = FConvertProgressive;
  FConvertProgressive = value;
  if (was || !value || FDataState != idsJPEGFile) return;
  std::vector<uint8_t> bytes = ReadJPEGFile(FFileName);
  TJPEGFrame frame;
  if (ScanJPEGFrame(bytes, frame) && frame.Sequential()) {
    FData = std::move(bytes);
    FDataState = idsJPEGFileData;
    return;
  }
  const TDecodedJPEG decoded = DecodeJPEG(bytes);
  FData = EncodeJPEG(decoded.RGB, decoded.Width, decoded.Height, kDefaultJPEGQuality);
  FWidth = static_cast<uint16_t>(decoded.Width);
  FHeight = static_cast<uint16_t>(decoded.Height);
  FDataState = idsJPEGData;
}

std::vector<uint8_t> TFlashImage::JPEGBytes() const {
  if (FDataState != idsJPEGFile) return FData;
  // The file is read again at each write, so it must still be there and still whole.
  std::vector<uint8_t> bytes = ReadJPEGFile(FFileName);
  if (!JPEGIsWhole(bytes))
    throw ESWFError("The JPEG image is damaged: " + FFileName.string() + " is no longer whole");
  return bytes;
}

// ---- lossless data ---------------------------------------------------------------------------

void TFlashImage::MakeLosslessData() {
  if (!FReader || FReader->Width() == 0) throw ESWFError("The image has no pixels to write");
  TBMPReader& r = *FReader;
  if (FFormat == ifNone) TakePixelFields();
  std::vector<uint8_t> raw;
  const size_t w = FWidth, h = FHeight;
  switch (FFormat) {
    case ifPalette: {
      const size_t entry = FHasAlpha ? 4 : 3;
      raw.reserve(FColorCount * entry + size_t{FRowWidth} * h);
      for (int i = 0; i < FColorCount; ++i) {
        const TBGRA& c = r.Palette()[static_cast<size_t>(i)];
        if (FHasAlpha) {
          raw.insert(raw.end(), {Premultiply(c.R, c.A), Premultiply(c.G, c.A), Premultiply(c.B, c.A), c.A});
        } else {
          raw.insert(raw.end(), {c.R, c.G, c.B});
        }
      }
      for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) raw.push_back(r.Index(static_cast<int32_t>(x), static_cast<int32_t>(y)));
        raw.resize(raw.size() + (FRowWidth - w), 0);
      }
      break;
    }
    case ifRGB15:
      raw.reserve(size_t{FRowWidth} * h * 2);
      for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = r.Bitmap().Row(static_cast<int32_t>(y));
        for (size_t x = 0; x < w; ++x) raw.insert(raw.end(), {row[2 * x + 1], row[2 * x]});
        raw.resize(raw.size() + (FRowWidth - w) * 2, 0);
      }
      break;
    default:
      // 24 and 32 bits: alpha, red, green, blue per pixel; colours premultiplied by alpha.
      raw.resize(w * h * 4);
      for (size_t y = 0; y < h; ++y) {
        uint8_t* out = raw.data() + y * w * 4;
        for (size_t x = 0; x < w; ++x, out += 4) {
          const TBGRA p = r.Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
          const uint8_t a = FFormat == ifARGB ? p.A : 255;
          out[0] = a;
          out[1] = Premultiply(p.R, a);
          out[2] = Premultiply(p.G, a);
          out[3] = Premultiply(p.B, a);
        }
      }
      if (FFormat == ifARGB) FHasAlpha = true;
      break;
  }
  FData = CompressZlib(raw);
}

// ---- writing ---------------------------------------------------------------------------------

void TFlashImage::WriteToStream(TBitsEngine& be) {
  if (FDataState == idsNone) throw ESWFError("The image has no data");
  if (FAsJPEG) {
    std::vector<uint8_t> fileBytes;
    std::span<const uint8_t> jpeg = FData;
    if (FDataState == idsJPEGFile) {
      fileBytes = JPEGBytes();
      jpeg = fileBytes;
    }
    auto writeJPEG = [jpeg](TSWFDataObject&, TBitsEngine& out) {
      out.WriteBytes(kJPEGPrefix);
      out.WriteBytes(jpeg);
    };
    if (!FAlphaData.empty()) {
      TSWFDefineBitsJPEG3 tag;
      tag.ID = CharacterId();
      tag.OnDataWrite = writeJPEG;
      tag.AlphaData = CompressZlib(FAlphaData);
      tag.WriteToStream(be);
    } else {
      TSWFDefineBitsJPEG2 tag;
      tag.ID = CharacterId();
      tag.OnDataWrite = writeJPEG;
      tag.WriteToStream(be);
    }
    return;
  }
  if (FData.empty()) MakeLosslessData();
  std::unique_ptr<TSWFDefineBitsLossless> tag;
  if (FHasAlpha) tag = std::make_unique<TSWFDefineBitsLossless2>();
  else tag = std::make_unique<TSWFDefineBitsLossless>();
  tag->ID = CharacterId();
  tag->BitmapFormat = FFormat == ifARGB ? uint8_t{ifRGB} : FFormat;
  tag->BitmapWidth = FWidth;
  tag->BitmapHeight = FHeight;
  if (FFormat == ifPalette) tag->BitmapColorTableSize = static_cast<uint8_t>(FColorCount - 1);
  tag->OnDataWrite = [this](TSWFDataObject&, TBitsEngine& out) { out.WriteBytes(FData); };
  tag->WriteToStream(be);
}

void TFlashImage::Assign(const TBasedSWFObject& source) {
  TFlashIDObject::Assign(source);
  const auto& s = SourceAs<TFlashImage>(source);
  if (&s == this) return;
  FAlphaData = s.FAlphaData;
  FAsJPEG = s.FAsJPEG;
  FReader = s.FReader ? std::make_unique<TBMPReader>(*s.FReader) : nullptr;
  FColorCount = s.FColorCount;
  FConvertProgressive = s.FConvertProgressive;
  FData = s.FData;
  FDataState = s.FDataState;
  FFileName = s.FFileName;
  FHasAlpha = s.FHasAlpha;
  FHeight = s.FHeight;
  FRowWidth = s.FRowWidth;
  FWidth = s.FWidth;
  FFormat = s.FFormat;
}

}  // namespace tw::builder
