#include "builder/objects_support.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "util/files.h"

namespace tw::test {

namespace fs = std::filesystem;

TRGBAImage Pattern(int width, int height) {
  TRGBAImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.Pixels.data() + (size_t(y) * width + x) * 4;
      p[0] = static_cast<uint8_t>(x * 53 + y * 17);
      p[1] = static_cast<uint8_t>(x * 29 + y * 71 + 40);
      p[2] = static_cast<uint8_t>(255 - x * 11 - y * 37);
      p[3] = 255;
    }
  return image;
}

bool RunOk(const std::vector<std::string>& argv) {
  const CommandResult r = RunCommand(argv);
  if (r.status != 0) {
    std::string line;
    for (const auto& a : argv) line += a + " ";
    ADD_FAILURE() << line << "failed (" << r.status << "): " << r.err.substr(0, 2000);
    return false;
  }
  return true;
}

void WritePPM(const fs::path& file, const TRGBAImage& image) {
  std::ofstream out(file, std::ios::binary);
  out << "P6\n" << image.Width << " " << image.Height << "\n255\n";
  for (size_t i = 0; i < image.Pixels.size(); i += 4)
    out.write(reinterpret_cast<const char*>(&image.Pixels[i]), 3);
}

TRGBAImage ReadPNM(const fs::path& file) {
  const Bytes bytes = ReadWholeFile(file, 1u << 28);
  std::string text(bytes.begin(), bytes.end());
  std::istringstream in(text);
  std::string magic;
  int width = 0, height = 0, max = 0;
  in >> magic >> width >> height >> max;
  in.get();
  const size_t at = static_cast<size_t>(in.tellg());
  const int channels = magic == "P6" ? 3 : 1;
  TRGBAImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
  if ((magic != "P6" && magic != "P5") || bytes.size() < at + size_t(width) * height * channels) {
    ADD_FAILURE() << "not a binary PNM: " << file;
    return {};
  }
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    const uint8_t* s = bytes.data() + at + i * channels;
    uint8_t* d = image.Pixels.data() + i * 4;
    d[0] = s[0];
    d[1] = s[channels == 3 ? 1 : 0];
    d[2] = s[channels == 3 ? 2 : 0];
    d[3] = 255;
  }
  return image;
}

TRGBAImage DecodeWithFFmpeg(const fs::path& file, int width, int height) {
  const fs::path raw = file.string() + ".rgba";
  if (!RunOk({"ffmpeg", "-v", "error", "-y", "-i", file.string(), "-f", "rawvideo", "-pix_fmt",
            "rgba", raw.string()}))
    return {};
  TRGBAImage image{width, height, ReadWholeFile(raw, 1u << 28)};
  EXPECT_EQ(image.Pixels.size(), size_t(width) * height * 4) << file;
  return image;
}

fs::path MakeWithFFmpeg(const fs::path& file, const TRGBAImage& image, const std::string& pixelFormat) {
  const fs::path raw = file.string() + ".source.rgba";
  {
    std::ofstream out(raw, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.Pixels.data()), std::streamsize(image.Pixels.size()));
  }
  RunOk({"ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
       std::to_string(image.Width) + "x" + std::to_string(image.Height), "-i", raw.string(),
       "-frames:v", "1", "-pix_fmt", pixelFormat, file.string()});
  return file;
}

std::vector<TRawTag> SplitTags(std::span<const uint8_t> body) {
  std::vector<TRawTag> tags;
  size_t at = 0;
  while (at + 2 <= body.size()) {
    const uint16_t head = static_cast<uint16_t>(body[at] | body[at + 1] << 8);
    at += 2;
    size_t length = head & 0x3F;
    if (length == 0x3F) {
      if (at + 4 > body.size()) break;
      length = body[at] | body[at + 1] << 8 | body[at + 2] << 16 | size_t(body[at + 3]) << 24;
      at += 4;
    }
    if (at + length > body.size()) {
      ADD_FAILURE() << "a tag runs past the body";
      break;
    }
    tags.push_back({static_cast<uint16_t>(head >> 6), Bytes(body.begin() + at, body.begin() + at + length)});
    at += length;
  }
  return tags;
}

std::vector<TRawTag> TagsOf(swf::TBasedSWFObject& object) {
  const Bytes whole = WriteWhole(object);
  return SplitTags(whole);
}

Bytes Inflate(std::span<const uint8_t> data, size_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  Bytes out;
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  int rc = Z_OK;
  uint8_t chunk[65536];
  while (rc == Z_OK && out.size() < limit) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
  }
  inflateEnd(&z);
  EXPECT_EQ(rc, Z_STREAM_END) << "the zlib stream is not whole";
  return out;
}

TRGBAImage DecodeLossless(uint16_t code, std::span<const uint8_t> body) {
  if (body.size() < 7) {
    ADD_FAILURE() << "a lossless body of " << body.size() << " bytes";
    return {};
  }
  const bool alpha = code == 36;
  const uint8_t format = body[2];
  const int width = body[3] | body[4] << 8, height = body[5] | body[6] << 8;
  size_t at = 7;
  int colors = 0;
  if (format == 3) colors = body[at++] + 1;
  const Bytes raw = Inflate(body.subspan(at));
  TRGBAImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
  auto unpremultiply = [alpha](uint8_t c, uint8_t a) -> uint8_t {
    if (!alpha || a == 255) return c;
    return a == 0 ? 0 : static_cast<uint8_t>(std::min(255, (c * 255 + a / 2) / a));
  };
  const size_t entry = alpha ? 4 : 3;
  size_t need = 0, rowBytes = 0;
  if (format == 3) rowBytes = (size_t(width) + 3) & ~size_t{3}, need = colors * entry + rowBytes * height;
  if (format == 4) rowBytes = ((size_t(width) + 1) & ~size_t{1}) * 2, need = rowBytes * height;
  if (format == 5) rowBytes = size_t(width) * 4, need = rowBytes * height;
  if (need == 0 || raw.size() != need) {
    ADD_FAILURE() << "format " << int(format) << ": " << raw.size() << " bytes of pixel data, " << need
                  << " expected";
    return {};
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* d = image.Pixels.data() + (size_t(y) * width + x) * 4;
      if (format == 3) {
        const uint8_t index = raw[colors * entry + y * rowBytes + x];
        const uint8_t* c = raw.data() + size_t(index) * entry;
        if (index >= colors) ADD_FAILURE() << "index " << int(index) << " past the palette";
        const uint8_t a = alpha ? c[3] : 255;
        d[0] = unpremultiply(c[0], a), d[1] = unpremultiply(c[1], a), d[2] = unpremultiply(c[2], a), d[3] = a;
      } else if (format == 4) {
        const uint16_t v = static_cast<uint16_t>(raw[y * rowBytes + 2 * x] << 8 | raw[y * rowBytes + 2 * x + 1]);
        auto expand = [](int five) { return static_cast<uint8_t>(five << 3 | five >> 2); };
        d[0] = expand(v >> 10 & 31), d[1] = expand(v >> 5 & 31), d[2] = expand(v & 31), d[3] = 255;
      } else {
        const uint8_t* s = raw.data() + y * rowBytes + 4 * x;
        const uint8_t a = alpha ? s[0] : 255;
        d[0] = unpremultiply(s[1], a), d[1] = unpremultiply(s[2], a), d[2] = unpremultiply(s[3], a), d[3] = a;
      }
    }
  return image;
}

int MaxDifference(const TRGBAImage& a, const TRGBAImage& b, bool ignoreAlpha) {
  if (a.Width != b.Width || a.Height != b.Height || a.Pixels.size() != b.Pixels.size()) return 255;
  int worst = 0;
  for (size_t i = 0; i < a.Pixels.size(); ++i) {
    if (ignoreAlpha && i % 4 == 3) continue;
    worst = std::max(worst, std::abs(int(a.Pixels[i]) - int(b.Pixels[i])));
  }
  return worst;
}

std::unique_ptr<swf::TSWFStreamReader> Reread(builder::TFlashMovie& movie, bool parseActions) {
  movie.BuildBody();
  swf::TMemoryStream out;
  movie.SaveToStream(out);
  auto reader = std::make_unique<swf::TSWFStreamReader>(out.Bytes());
  reader->ParseTags(true, parseActions);
  return reader;
}

std::string TagCodes(const swf::TSWFStreamReader& r) {
  std::string out;
  for (const auto& t : r.TagList) out += (out.empty() ? "" : " ") + std::to_string(t->TagCode);
  return out;
}

namespace {
const std::filesystem::path kRunMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/run-movie.mjs";

}  // namespace

void ExpectColour(const TRGBAImage& shot, int x, int y, TColour c, int tolerance, const char* what) {
  SCOPED_TRACE(std::string(what) + " at " + std::to_string(x) + "," + std::to_string(y));
  ASSERT_FALSE(shot.Pixels.empty());
  const uint8_t* p = shot.At(x, y);
  EXPECT_NEAR(p[0], c.R, tolerance);
  EXPECT_NEAR(p[1], c.G, tolerance);
  EXPECT_NEAR(p[2], c.B, tolerance);
}

TInk DarkInk(const TRGBAImage& picture, int fromRow, int toRow) {
  TInk ink;
  for (int y = std::max(fromRow, 0); y < std::min(toRow, picture.Height); ++y)
    for (int x = 0; x < picture.Width; ++x)
      if (picture.At(x, y)[1] < 128) ink.Add(x, y);
  return ink;
}

// The stage as the runtime drew it after a short while.
TRGBAImage Screenshot(const std::filesystem::path& movie, int width, int height) {
  const std::filesystem::path png = movie.string() + ".png";
  const CommandResult r = RunCommand({"node", kRunMovie.string(), movie.string(), "--wait", "800",
                                      "--timeout", "30000", "--screenshot", png.string(), "--no-errors"});
  if (r.status == -1) {
    ADD_FAILURE() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    return {};
  }
  EXPECT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 2000);
  return DecodeWithFFmpeg(png, width, height);
}

}  // namespace tw::test
