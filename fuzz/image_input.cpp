// Any bytes as a BMP file, as a JPEG file and as an alpha mask: loading either succeeds and the
// bitmap tag can be written, or it fails with a clear error; it never crashes or allocates
// without bound.
#include <cstdint>
#include <exception>

#include "builder/image.h"
#include "builder/jpeg.h"
#include "swf/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  using tw::builder::TFlashImage;
  auto writeOut = [](TFlashImage& image) {
    tw::swf::TMemoryStream out;
    tw::swf::TBitsEngine be(out);
    image.WriteToStream(be);
  };
  try {
    TFlashImage image(nullptr);
    image.LoadDataFromStream(bytes);
    image.SetAlphaColor(tw::swf::TSWFRGBA(true));  // black, transparent
    writeOut(image);
    image.LoadAlphaFromStream(bytes);
    writeOut(image);
  } catch (const tw::swf::ESWFError&) {
  }
  try {
    tw::builder::TJPEGFrame frame;
    tw::builder::ScanJPEGFrame(bytes, frame);
    tw::builder::JPEGIsWhole(bytes);
    const tw::builder::TDecodedJPEG decoded = tw::builder::DecodeJPEG(bytes);
    TFlashImage image(nullptr);
    image.LoadDataFromNativeStream(bytes, true, false, 0, 0, static_cast<uint16_t>(decoded.Height),
                                   static_cast<uint16_t>(decoded.Width));
    image.SetAsJPEG(false);
    writeOut(image);
  } catch (const tw::swf::ESWFError&) {
  }
  return 0;
}
