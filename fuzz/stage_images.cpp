// Any bytes as a PNG and as a GIF file given to the stage: loading either succeeds and the bitmap
// tag can be written, or it fails with a clear error; it never crashes, leaks or allocates
// without bound. The images are files to the stage, so the bytes go through one.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/stage_movie.h"
#include "builder/image.h"
#include "builder/movie.h"
#include "swf/errors.h"

namespace {

// One file per process, removed at its end.
struct TScratchFile {
  std::string Name = "/tmp/fuzz_stage_images." + std::to_string(getpid());
  ~TScratchFile() { std::remove(Name.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TScratchFile file;
  if (FILE* f = std::fopen(file.Name.c_str(), "wb")) {
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    if (!written) return 0;
  } else {
    return 0;
  }
  using LoadImage = tw::builder::TFlashImage& (*)(tw::builder::TFlashMovie&, const std::string&);
  for (LoadImage load : {&tw::app::LoadPngImage, &tw::app::LoadGifImage}) {
    try {
      tw::builder::TFlashMovie movie(0, 0, 100, 100, 12, tw::swf::TSystemCoord::Pix);
      tw::builder::TFlashImage& image = load(movie, file.Name);
      tw::swf::TMemoryStream out;
      tw::swf::TBitsEngine be(out);
      image.WriteToStream(be);
    } catch (const tw::swf::ESWFError&) {
    }
  }
  return 0;
}
