// Bitmap characters: BMP files of every depth and JPEG files made by ffmpeg and cjpeg, decoded
// back from the tags the image writes and compared with what ffmpeg and djpeg decode from the
// same files; alpha, conversions and hostile files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>

#include "builder/image.h"
#include "builder/jpeg.h"
#include "builder/objects_support.h"
#include "swf/errors.h"
#include "util/files.h"

namespace tw::builder {
namespace {

namespace fs = std::filesystem;
using namespace tw::test;
using swf::ESWFError;

TRGBAImage Smooth(int width, int height) {
  TRGBAImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.Pixels.data() + (size_t(y) * width + x) * 4;
      p[0] = static_cast<uint8_t>(x * 255 / width);
      p[1] = static_cast<uint8_t>(y * 255 / height);
      p[2] = 128;
      p[3] = 255;
    }
  return image;
}

// The image's single tag, decoded.
TRGBAImage WrittenPixels(TFlashImage& image, uint16_t expectedCode) {
  auto tags = TagsOf(image);
  EXPECT_EQ(tags.size(), 1u);
  if (tags.empty()) return {};
  EXPECT_EQ(tags[0].Code, expectedCode);
  EXPECT_EQ(tags[0].Body[0] | tags[0].Body[1] << 8, image.CharacterId());
  return DecodeLossless(tags[0].Code, tags[0].Body);
}

// What the JPEG bytes of a DefineBitsJPEG2/3 body (after the id and the FF D9 FF D8 pair) decode
// to with djpeg.
TRGBAImage DecodeSWFJPEG(std::span<const uint8_t> jpeg, const fs::path& scratch) {
  {
    std::ofstream out(scratch, std::ios::binary);
    out.write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
  }
  const fs::path pnm = scratch.string() + ".pnm";
  if (!RunOk({"djpeg", "-pnm", "-outfile", pnm.string(), scratch.string()})) return {};
  return ReadPNM(pnm);
}

TEST(Image, BMPFilesOfEveryDepthDecodeToFFmpegsPixels) {
  TempDir dir;
  struct Case {
    const char* pixelFormat;
    int width, height;
    uint8_t format;  // the lossless format written
    uint16_t code;
    bool varyAlpha;
    int tolerance;
  };
  // Odd widths need row padding in the file (and, for palettes, in the tag).
  const Case cases[] = {
      {"bgr24", 5, 3, 5, 20, false, 0},        {"bgr24", 3, 2, 5, 20, false, 0},
      {"bgra", 7, 4, 5, 36, true, 2},          {"rgb555le", 5, 3, 4, 20, false, 0},
      {"rgb565le", 6, 3, 4, 20, false, 8},     {"rgb8", 9, 5, 3, 20, false, 0},
      {"pal8", 13, 7, 3, 20, false, 0},        {"gray", 5, 5, 3, 20, false, 0},
      {"rgb4_byte", 11, 3, 3, 20, false, 0},   {"monob", 19, 4, 3, 20, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pixelFormat) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
    TRGBAImage source = Pattern(c.width, c.height);
    if (c.varyAlpha)
      for (size_t i = 3; i < source.Pixels.size(); i += 4) source.Pixels[i] = static_cast<uint8_t>(128 + i * 7 % 128);
    const fs::path file = MakeWithFFmpeg(dir / (std::string(c.pixelFormat) + std::to_string(c.width) + ".bmp"), source, c.pixelFormat);
    const TRGBAImage expected = DecodeWithFFmpeg(file, c.width, c.height);

    TFlashImage image(nullptr, file);
    image.SetCharacterId(7);
    EXPECT_EQ(image.Width(), c.width);
    EXPECT_EQ(image.Height(), c.height);
    EXPECT_FALSE(image.AsJPEG());
    EXPECT_EQ(image.DataState(), idsPixels);
    EXPECT_EQ(image.Format(), c.format == 5 && c.varyAlpha ? uint8_t{ifARGB} : c.format);
    EXPECT_EQ(image.MinVersion(), c.code == 36 ? 3 : 2);
    const TRGBAImage written = WrittenPixels(image, c.code);
    EXPECT_LE(MaxDifference(written, expected), c.tolerance);
    if (c.format == 3) {
      EXPECT_LE(image.ColorCount(), c.pixelFormat == std::string("monob") ? 2 : 256);
    }
  }
}

// Pixel data before compression, exactly.
TEST(Image, LosslessDataLayout) {
  TempDir dir;
  // 3 x 2 at 24 bits: FF R G B per pixel, no row padding.
  const TRGBAImage source = Pattern(3, 2);
  TFlashImage rgb(nullptr, MakeWithFFmpeg(dir / "a.bmp", source, "bgr24"));
  rgb.SetCharacterId(1);
  auto tags = TagsOf(rgb);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(ToHex(std::span(tags[0].Body).first(7)), ToHex(Hex("01 00 05 03 00 02 00")));
  Bytes raw = Inflate(std::span(tags[0].Body).subspan(7));
  ASSERT_EQ(raw.size(), 24u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(raw[i * 4], 0xFF);
    EXPECT_EQ(raw[i * 4 + 1], source.Pixels[i * 4]);
    EXPECT_EQ(raw[i * 4 + 3], source.Pixels[i * 4 + 2]);
  }

  // An 8-bit bitmap using only entries 7 and 9: two colours, renumbered, rows padded to 4.
  TBitmap bitmap = TBitmap::Make(3, 2, 8);
  bitmap.Palette.resize(256);
  bitmap.Palette[7] = {10, 20, 30, 255};
  bitmap.Palette[9] = {40, 50, 60, 255};
  const uint8_t indices[2][3] = {{7, 9, 9}, {9, 7, 7}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) bitmap.Row(y)[x] = indices[y][x];
  TFlashImage palette(nullptr);
  palette.LoadDataFromHandle(bitmap);
  palette.SetCharacterId(2);
  EXPECT_EQ(palette.ColorCount(), 2);
  EXPECT_EQ(palette.RowWidth(), 4);
  tags = TagsOf(palette);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].Code, 20);
  EXPECT_EQ(ToHex(std::span(tags[0].Body).first(8)), ToHex(Hex("02 00 03 03 00 02 00 01")));
  raw = Inflate(std::span(tags[0].Body).subspan(8));
  EXPECT_EQ(ToHex(raw), ToHex(Hex("1E 14 0A 3C 32 28  00 01 01 00  01 00 00 00")));
}

// The rows of the widest palette and 16-bit bitmaps are padded past 65,535: no pixel may be lost
// to a row width that wraps.
TEST(Image, WidestRowsKeepEveryPixel) {
  struct Case {
    int32_t width;
    uint8_t depth;
  };
  for (const Case c : {Case{65533, 8}, Case{65535, 8}, Case{65535, 16}}) {
    SCOPED_TRACE(std::to_string(c.width) + " at " + std::to_string(c.depth) + " bits");
    TBitmap bitmap = TBitmap::Make(c.width, 1, c.depth);
    if (c.depth == 8) {
      bitmap.Palette = {{0, 0, 0, 255}, {30, 20, 200, 255}};
      bitmap.Row(0)[c.width - 1] = 1;
    } else {
      bitmap.Row(0)[2 * (c.width - 1) + 1] = 0x7C;  // pure red in 5-5-5
    }
    TFlashImage image(nullptr);
    image.LoadDataFromHandle(bitmap);
    image.SetCharacterId(1);
    const TRGBAImage pixels = WrittenPixels(image, 20);
    ASSERT_EQ(pixels.Width, c.width);
    ASSERT_EQ(pixels.Pixels.size(), size_t(c.width) * 4);
    const uint8_t* last = pixels.Pixels.data() + size_t(c.width - 1) * 4;
    EXPECT_GE(last[0], 200) << "the last pixel is red";
    EXPECT_EQ(pixels.Pixels[0], 0) << "the first is black";
  }
}

TEST(Image, PaletteTransparency) {
  // Palette alpha bytes mixing 255 and 0: the first entry of alpha 0 is transparent.
  TBitmap bitmap = TBitmap::Make(2, 1, 8);
  bitmap.Palette = {{1, 2, 3, 255}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  bitmap.Row(0)[0] = 0;
  bitmap.Row(0)[1] = 1;
  TFlashImage image(nullptr);
  image.LoadDataFromHandle(bitmap);
  EXPECT_TRUE(image.HasAlpha());
  EXPECT_EQ(image.MinVersion(), 3);
  auto tags = TagsOf(image);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].Code, 36);
  Bytes raw = Inflate(std::span(tags[0].Body).subspan(8));
  EXPECT_EQ(ToHex(std::span(raw).first(8)), ToHex(Hex("03 02 01 FF 00 00 00 00")));

  // Alpha all 0 (a writer that leaves the byte unused): opaque, no transparency.
  bitmap.Palette = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  TFlashImage opaque(nullptr);
  opaque.LoadDataFromHandle(bitmap);
  EXPECT_FALSE(opaque.HasAlpha());
  EXPECT_EQ(TagsOf(opaque)[0].Code, 20);

  // A GIF-like bitmap given its transparent colour: that entry becomes 0, 0, 0, 0.
  bitmap.Palette = {{1, 2, 3, 255}, {4, 5, 6, 255}};
  TFlashImage gif(nullptr);
  gif.LoadDataFromHandle(bitmap);
  gif.SetAlphaColor(Rgba(6, 5, 4, 0));
  tags = TagsOf(gif);
  ASSERT_EQ(tags[0].Code, 36);
  raw = Inflate(std::span(tags[0].Body).subspan(8));
  EXPECT_EQ(ToHex(std::span(raw).first(8)), ToHex(Hex("03 02 01 FF 00 00 00 00")));

  // Not a palette image: SetAlphaColor and SetAlphaIndex change nothing.
  TBitmap rgb = TBitmap::Make(1, 1, 24);
  TFlashImage truecolour(nullptr);
  truecolour.LoadDataFromHandle(rgb);
  truecolour.SetAlphaColor(Rgba(0, 0, 0, 0));
  truecolour.SetAlphaIndex(0, 0);
  EXPECT_FALSE(truecolour.HasAlpha());
}

TEST(Image, JPEGFilesBaselineKeptProgressiveConverted) {
  TempDir dir;
  const TRGBAImage source = Smooth(200, 100);
  WritePPM(dir / "s.ppm", source);
  const fs::path baseline = dir / "baseline.jpg", progressive = dir / "progressive.JPEG";
  ASSERT_TRUE(RunOk({"cjpeg", "-quality", "85", "-outfile", baseline.string(), (dir / "s.ppm").string()}));
  ASSERT_TRUE(RunOk({"cjpeg", "-progressive", "-outfile", progressive.string(), (dir / "s.ppm").string()}));

  TFlashImage image(nullptr, baseline);
  image.SetCharacterId(3);
  EXPECT_TRUE(image.AsJPEG());
  EXPECT_EQ(image.Width(), 200);
  EXPECT_EQ(image.Height(), 100);
  EXPECT_EQ(image.DataState(), idsJPEGFile);
  EXPECT_EQ(image.MinVersion(), 2);
  auto tags = TagsOf(image);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].Code, 21);
  const Bytes file = ReadWholeFile(baseline, 1u << 24);
  Bytes expected = Hex("03 00 FF D9 FF D8");
  expected.insert(expected.end(), file.begin(), file.end());
  EXPECT_EQ(ToHex(tags[0].Body), ToHex(expected));

  TFlashImage converted(nullptr, progressive);
  EXPECT_EQ(converted.DataState(), idsJPEGData);
  EXPECT_EQ(converted.Width(), 200);
  EXPECT_EQ(converted.Height(), 100);
  tags = TagsOf(converted);
  ASSERT_EQ(tags.size(), 1u);
  TJPEGFrame frame;
  const std::span<const uint8_t> jpeg = std::span(tags[0].Body).subspan(6);
  ASSERT_TRUE(ScanJPEGFrame(jpeg, frame));
  EXPECT_TRUE(frame.Sequential());
  const TRGBAImage original = DecodeSWFJPEG(ReadWholeFile(progressive, 1u << 24), dir / "o.jpg");
  EXPECT_LE(MaxDifference(DecodeSWFJPEG(jpeg, dir / "c.jpg"), original), 12);

  // Kept as it is when asked, and converted when the switch comes back on.
  TFlashImage kept(nullptr);
  kept.SetConvertProgressive(false);
  kept.LoadDataFromFile(progressive);
  EXPECT_EQ(kept.DataState(), idsJPEGFile);
  kept.SetConvertProgressive(true);
  EXPECT_EQ(kept.DataState(), idsJPEGData);
  EXPECT_TRUE(ScanJPEGFrame(kept.Data(), frame) && frame.Sequential());

  // Back to pixels: DefineBitsLossless of the decoded picture.
  image.SetAsJPEG(false);
  EXPECT_FALSE(image.AsJPEG());
  EXPECT_LE(MaxDifference(WrittenPixels(image, 20), DecodeSWFJPEG(file, dir / "b.jpg")), 1);
}

TEST(Image, PixelsToJPEGKeepTheirAlpha) {
  TempDir dir;
  TRGBAImage source = Smooth(16, 8);
  TFlashImage rgb(nullptr, MakeWithFFmpeg(dir / "rgb.bmp", source, "bgr24"));
  rgb.SetAsJPEG(true);
  EXPECT_EQ(rgb.DataState(), idsJPEGData);
  auto tags = TagsOf(rgb);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].Code, 21);
  EXPECT_LE(MaxDifference(DecodeSWFJPEG(std::span(tags[0].Body).subspan(6), dir / "a.jpg"), source), 20);

  for (size_t i = 3; i < source.Pixels.size(); i += 4) source.Pixels[i] = static_cast<uint8_t>(i);
  TFlashImage rgba(nullptr, MakeWithFFmpeg(dir / "rgba.bmp", source, "bgra"));
  rgba.SetAsJPEG(true);
  tags = TagsOf(rgba);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].Code, 35);
  const Bytes& body = tags[0].Body;
  const size_t alphaAt = 6 + (body[2] | body[3] << 8 | body[4] << 16 | size_t(body[5]) << 24);
  ASSERT_LT(alphaAt, body.size());
  const Bytes alpha = Inflate(std::span(body).subspan(alphaAt));
  ASSERT_EQ(alpha.size(), 16u * 8);
  for (size_t i = 0; i < alpha.size(); ++i) EXPECT_EQ(alpha[i], source.Pixels[i * 4 + 3]) << i;
}

TEST(Image, AlphaFromASecondImage) {
  TempDir dir;
  TRGBAImage mask = Pattern(6, 3);
  for (size_t i = 0; i < mask.Pixels.size(); i += 4) mask.Pixels[i] = mask.Pixels[i + 1] = mask.Pixels[i + 2] = static_cast<uint8_t>(i * 3);
  const fs::path maskFile = MakeWithFFmpeg(dir / "mask.bmp", mask, "gray");
  const TRGBAImage colours = Pattern(6, 3);

  TFlashImage image(nullptr, MakeWithFFmpeg(dir / "c.bmp", colours, "bgr24"));
  image.LoadAlphaFromFile(maskFile);
  EXPECT_TRUE(image.HasAlpha());
  const TRGBAImage written = WrittenPixels(image, 36);
  ASSERT_EQ(written.Pixels.size(), colours.Pixels.size());
  for (size_t i = 0; i < written.Pixels.size(); i += 4) {
    SCOPED_TRACE(i / 4);
    EXPECT_EQ(written.Pixels[i + 3], mask.Pixels[i]);
    // Colours come back from their premultiplied form to within the rounding of the alpha.
    if (mask.Pixels[i] >= 64) {
      EXPECT_NEAR(written.Pixels[i], colours.Pixels[i], 4);
    }
  }

  try {
    image.LoadAlphaFromFile(dir / "mask.png");
    FAIL() << "a PNG alpha file was taken";
  } catch (const ESWFError& e) {
    EXPECT_STREQ(e.what(), "Image format \"PNG\" for alpha not supported!");
  }
  TFlashImage other(nullptr);
  try {
    other.LoadDataFromFile(dir / "x.gif");
    FAIL() << "a GIF file was taken";
  } catch (const ESWFError& e) {
    EXPECT_STREQ(e.what(), "Image format \"GIF\" not supported!");
  }
  EXPECT_EQ(other.DataState(), idsNone);
}

TEST(Image, ReadyLosslessDataIsWrittenAsGiven) {
  const Bytes pixels = Hex("FF 10 20 30  80 40 00 00");
  uLongf size = compressBound(8);
  Bytes z(size);
  compress2(z.data(), &size, pixels.data(), 8, 6);
  z.resize(size);
  TFlashImage image(nullptr);
  image.LoadDataFromNativeStream(z, false, true, 0, ifRGB, 1, 2);
  image.SetCharacterId(9);
  auto tags = TagsOf(image);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].Code, 36);
  Bytes expected = Hex("09 00 05 02 00 01 00");
  expected.insert(expected.end(), z.begin(), z.end());
  EXPECT_EQ(ToHex(tags[0].Body), ToHex(expected));
}

TEST(Image, HostileFilesGiveClearErrors) {
  TempDir dir;
  auto le32 = [](Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto bmpHeader = [&](int32_t w, int32_t h, uint16_t bits, size_t pixelBytes) {
    Bytes b = {'B', 'M'};
    le32(b, 54 + uint32_t(pixelBytes));
    le32(b, 0);
    le32(b, 54);
    le32(b, 40);
    le32(b, uint32_t(w));
    le32(b, uint32_t(h));
    b.push_back(1), b.push_back(0), b.push_back(uint8_t(bits)), b.push_back(0);
    for (int i = 0; i < 6; ++i) le32(b, 0);
    b.resize(b.size() + pixelBytes, 0x55);
    return b;
  };
  TempDir files;
  const TRGBAImage s = Smooth(64, 32);
  WritePPM(files / "s.ppm", s);
  ASSERT_TRUE(RunOk({"cjpeg", "-outfile", (files / "whole.jpg").string(), (files / "s.ppm").string()}));
  ASSERT_TRUE(RunOk({"cjpeg", "-progressive", "-outfile", (files / "p.jpg").string(), (files / "s.ppm").string()}));
  const Bytes whole = ReadWholeFile(files / "whole.jpg", 1u << 20);
  const Bytes prog = ReadWholeFile(files / "p.jpg", 1u << 20);
  auto save = [&](const char* name, const Bytes& bytes) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return dir / name;
  };
  struct Case {
    const char* name;
    fs::path file;
    const char* message;  // the start of the error
  };
  const Case cases[] = {
      {"huge", save("huge.bmp", bmpHeader(100000, 100000, 24, 16)), "The image is too large: 100000 x 100000"},
      {"huge, top-down", save("neg.bmp", bmpHeader(60000, -60000, 32, 16)), "The image is too large"},
      {"zero width", save("zero.bmp", bmpHeader(0, 5, 24, 16)), "The image has no pixels"},
      {"pixels cut short", save("short.bmp", bmpHeader(50, 50, 24, 100)), "The BMP image is damaged"},
      {"12 bits", save("bits.bmp", bmpHeader(2, 2, 12, 16)), "BMP images of 12 bits"},
      {"no header", save("empty.bmp", Bytes{'B', 'M', 1}), "The BMP image is damaged"},
      {"truncated baseline", save("cut.jpg", Bytes(whole.begin(), whole.begin() + whole.size() / 2)), "The JPEG image is damaged"},
      {"truncated progressive", save("cutp.jpg", Bytes(prog.begin(), prog.begin() + prog.size() / 2)), "The JPEG image is damaged"},
      {"zero-size JPEG", save("z.jpg", Hex("FF D8 FF C0 00 0B 08 00 00 00 00 01 01 11 00 FF D9")), "The image has no pixels"},
      {"not a JPEG", save("text.jpg", Bytes{'h', 'i'}), "The JPEG image is damaged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashImage image(nullptr);
    try {
      image.LoadDataFromFile(c.file);
      FAIL() << "taken";
    } catch (const ESWFError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
    EXPECT_EQ(image.DataState(), idsNone);
  }
  TFlashImage empty(nullptr);
  EXPECT_THROW(empty.LoadDataFromNativeStream(Bytes{1}, false, false, 0, ifRGB, 0, 10), ESWFError);
}

}  // namespace
}  // namespace tw::builder
