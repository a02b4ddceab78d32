#include "builder/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

#include "builder/bmp_reader.h"
#include "swf/errors.h"

namespace tw::builder {

using swf::ESWFError;

namespace {

uint16_t BE16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

bool IsFrameMarker(uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Steps over the marker at p (which must be FF) and its fill bytes; gives the marker byte and
// leaves p after it. False at the end of the bytes or when p holds no marker.
bool NextMarker(std::span<const uint8_t> b, size_t& p, uint8_t& marker) {
  if (p >= b.size() || b[p] != 0xFF) return false;
  while (p + 1 < b.size() && b[p + 1] == 0xFF) ++p;
  if (p + 1 >= b.size()) return false;
  marker = b[p + 1];
  p += 2;
  return true;
}

bool HasNoLength(uint8_t m) { return m == 0x01 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7); }

// ---- libjpeg glue ----------------------------------------------------------------------------
// libjpeg reports fatal errors through a callback that must not return. The calls run in
// functions that hold no objects with destructors, and longjmp leaves through libjpeg's own C
// frames only; everything that outlives the jump lives in a heap context.

// A progressive file may hold any number of scans, each a full pass over the image; real files
// have about ten.
constexpr int kMaxScans = 1000;
// Backing store is not available, so this caps what one image may allocate.
constexpr long kMaxJPEGMemory = 512L << 20;

struct TJPEGError {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX] = {};
};

extern "C" void JPEGErrorExit(j_common_ptr info) {
  auto* e = reinterpret_cast<TJPEGError*>(info->err);
  (*info->err->format_message)(info, e->Message);
  std::longjmp(e->Jump, 1);
}

// Warnings are dropped, except the one that says the data ended early: the library would
// then paint the rest grey and call the image good.
extern "C" void JPEGEmitMessage(j_common_ptr info, int level) {
  if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF) JPEGErrorExit(info);
}

struct TDecodeContext {
  jpeg_decompress_struct Info{};
  TJPEGError Error;
  jpeg_progress_mgr Progress{};
  TDecodedJPEG Result;
  std::vector<uint8_t> Row;  // one CMYK row
  bool TooLarge = false;
  int64_t HeaderWidth = 0, HeaderHeight = 0;
};

extern "C" void JPEGProgress(j_common_ptr info) {
  auto* d = reinterpret_cast<jpeg_decompress_struct*>(info);
  if (d->is_decompressor && d->input_scan_number > kMaxScans) {
    auto* e = reinterpret_cast<TJPEGError*>(info->err);
    std::snprintf(e->Message, sizeof e->Message, "more than %d scans", kMaxScans);
    std::longjmp(e->Jump, 1);
  }
}

bool RunDecode(TDecodeContext& c, std::span<const uint8_t> bytes) {
  c.Info.err = jpeg_std_error(&c.Error.Pub);
  c.Error.Pub.error_exit = JPEGErrorExit;
  c.Error.Pub.emit_message = JPEGEmitMessage;
  if (setjmp(c.Error.Jump)) {
    jpeg_destroy_decompress(&c.Info);
    return false;
  }
  jpeg_create_decompress(&c.Info);
  c.Info.mem->max_memory_to_use = kMaxJPEGMemory;
  c.Progress.progress_monitor = JPEGProgress;
  c.Info.progress = &c.Progress;
  jpeg_mem_src(&c.Info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&c.Info, TRUE);
  c.HeaderWidth = c.Info.image_width;
  c.HeaderHeight = c.Info.image_height;
  const int64_t w = c.HeaderWidth, h = c.HeaderHeight;
  if (w <= 0 || h <= 0 || w > kMaxBitmapSide || h > kMaxBitmapSide || w * h > kMaxBitmapPixels) {
    c.TooLarge = true;
    jpeg_destroy_decompress(&c.Info);
    return false;
  }
  const bool cmyk = c.Info.jpeg_color_space == JCS_CMYK || c.Info.jpeg_color_space == JCS_YCCK;
  c.Info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  c.Result.Progressive = jpeg_has_multiple_scans(&c.Info);
  jpeg_start_decompress(&c.Info);
  c.Result.Width = static_cast<int32_t>(c.Info.output_width);
  c.Result.Height = static_cast<int32_t>(c.Info.output_height);
  const size_t width = c.Info.output_width;
  c.Result.RGB.resize(width * c.Info.output_height * 3);
  if (cmyk) c.Row.resize(width * 4);
  while (c.Info.output_scanline < c.Info.output_height) {
    uint8_t* out = c.Result.RGB.data() + size_t{c.Info.output_scanline} * width * 3;
    JSAMPROW row = cmyk ? c.Row.data() : out;
    jpeg_read_scanlines(&c.Info, &row, 1);
    if (cmyk) {
      // Adobe's CMYK files store the inks inverted, which is the only kind in common use.
      for (size_t x = 0; x < width; ++x) {
        const unsigned k = c.Row[4 * x + 3];
        for (size_t i = 0; i < 3; ++i) out[3 * x + i] = static_cast<uint8_t>(c.Row[4 * x + i] * k / 255);
      }
    }
  }
  jpeg_finish_decompress(&c.Info);
  jpeg_destroy_decompress(&c.Info);
  return true;
}

struct TEncodeContext {
  jpeg_compress_struct Info{};
  TJPEGError Error;
  unsigned char* Buffer = nullptr;  // made by libjpeg with malloc
  unsigned long Size = 0;
  ~TEncodeContext() { std::free(Buffer); }
};

bool RunEncode(TEncodeContext& c, std::span<const uint8_t> rgb, int32_t width, int32_t height,
               int quality) {
  c.Info.err = jpeg_std_error(&c.Error.Pub);
  c.Error.Pub.error_exit = JPEGErrorExit;
  if (setjmp(c.Error.Jump)) {
    jpeg_destroy_compress(&c.Info);
    return false;
  }
  jpeg_create_compress(&c.Info);
  jpeg_mem_dest(&c.Info, &c.Buffer, &c.Size);
  c.Info.image_width = static_cast<JDIMENSION>(width);
  c.Info.image_height = static_cast<JDIMENSION>(height);
  c.Info.input_components = 3;
  c.Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c.Info);
  jpeg_set_quality(&c.Info, quality, TRUE);
  jpeg_start_compress(&c.Info, TRUE);
  const size_t stride = static_cast<size_t>(width) * 3;
  while (c.Info.next_scanline < c.Info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(rgb.data()) + size_t{c.Info.next_scanline} * stride;
    jpeg_write_scanlines(&c.Info, &row, 1);
  }
  jpeg_finish_compress(&c.Info);
  jpeg_destroy_compress(&c.Info);
  return true;
}

}  // namespace

bool ScanJPEGFrame(std::span<const uint8_t> b, TJPEGFrame& frame) {
  if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xD8) return false;
  size_t p = 2;
  uint8_t m = 0;
  while (NextMarker(b, p, m)) {
    if (HasNoLength(m)) continue;
    if (m == 0xD9 || m == 0xDA || p + 2 > b.size()) return false;
    const uint16_t length = BE16(b, p);
    if (length < 2) return false;
    if (IsFrameMarker(m)) {
      if (p + 7 > b.size()) return false;
      frame.Height = BE16(b, p + 3);
      frame.Width = BE16(b, p + 5);
      frame.Marker = m;
      return true;
    }
    p += length;
  }
  return false;
}

bool JPEGIsWhole(std::span<const uint8_t> b) {
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return false;
  size_t p = 2;
  uint8_t m = 0;
  while (NextMarker(b, p, m)) {
    if (HasNoLength(m)) continue;
    if (m == 0xD9 || p + 2 > b.size()) return false;
    const uint16_t length = BE16(b, p);
    if (length < 2) return false;
    p += length;
    if (m != 0xDA) continue;
    for (size_t i = b.size() - 1; i > p; --i)
      if (b[i] == 0xD9 && b[i - 1] == 0xFF) return true;
    return false;
  }
  return false;
}

TDecodedJPEG DecodeJPEG(std::span<const uint8_t> bytes) {
  auto c = std::make_unique<TDecodeContext>();
  if (!RunDecode(*c, bytes)) {
    if (c->TooLarge) CheckBitmapSize(c->HeaderWidth, c->HeaderHeight);  // throws with the size
    throw ESWFError(std::string("The JPEG image is damaged: ") + c->Error.Message);
  }
  return std::move(c->Result);
}

std::vector<uint8_t> EncodeJPEG(std::span<const uint8_t> rgb, int32_t width, int32_t height,
                                int quality) {
  CheckBitmapSize(width, height);
  if (rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
    throw ESWFError("JPEG encoding: fewer pixels than the size needs");
  auto c = std::make_unique<TEncodeContext>();
  if (!RunEncode(*c, rgb, width, height, quality))
    throw ESWFError(std::string("JPEG encoding failed: ") + c->Error.Message);
  return std::vector<uint8_t>(c->Buffer, c->Buffer + c->Size);
}

}  // namespace tw::builder
