// Hostile FLV files: the container, the metadata, the key frame headers and the movie built of
// the video must neither crash nor read out of bounds; a file that cannot be used throws.
#include <cstdint>
#include <span>

#include "audio/flv.h"
#include "builder/movie.h"

using namespace tw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const audio::TFLVReader flv(std::span<const uint8_t>(data, size));
    (void)flv.PictureSize();
    (void)flv.FrameRate();
    for (const auto& frame : flv.VideoFrames) (void)audio::VideoFrameSize(frame);
    builder::TFlashMovie movie(0, 0, 100, 100, 12, swf::TSystemCoord::Pix);
    builder::TFlashVideo& video = movie.AddVideo();
    video.LoadFromFLV(flv);
    movie.PlaceVideo(video, 1);
    movie.ShowFrame(static_cast<uint16_t>(std::min<int>(video.FrameCount(), 64)));
    movie.BuildBody();
  } catch (const audio::EAudioError&) {
  }
  return 0;
}
