// TFlashVideo: an embedded video, the frames of an FLV file written as a DefineVideoStream
// character and one VideoFrame tag per frame. TFlashPlaceVideo: a video on a timeline; it is
// kept apart from the timeline's objects and shows the video's next frame at every frame the
// timeline closes, from the frame it was placed in on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "audio/flv.h"
#include "builder/objects.h"
#include "builder/place_object.h"

namespace tw::builder {

class TFlashVideo : public TFlashVisualObject {
 public:
  // Loads the FLV file when a name is given.
  explicit TFlashVideo(TFlashMovie* owner, const std::filesystem::path& fileName = {});

  // Takes the video frames of an FLV file. Throws audio::EAudioError when the file cannot be
  // read, holds no video, uses a codec a SWF movie cannot embed or changes codec midway.
  void LoadFromFile(const std::filesystem::path& fileName);
  void LoadFromFLV(const audio::TFLVReader& flv);

  uint8_t Codec = 0;  // the FLV codec ids, which DefineVideoStream shares
  uint16_t Width = 0, Height = 0;
  uint8_t Deblocking = 0;  // 0: as the frames say
  bool Smoothing = false;
  double FrameRate = 0;  // of the FLV file, 0 when unknown
  // The payloads, as VideoFrame tags carry them.
  std::vector<std::vector<uint8_t>> Frames;

  uint16_t FrameCount() const { return static_cast<uint16_t>(Frames.size()); }
  // The VideoFrame tag of one frame.
  void WriteFrame(swf::TBitsEngine& be, uint16_t index) const;

  void Assign(const swf::TBasedSWFObject& source) override;
  // Screen video came with version 7 and VP6 with version 8; Sorenson H.263 with version 6.
  int MinVersion() const override;
  // The DefineVideoStream tag.
  void WriteToStream(swf::TBitsEngine& be) override;
};

using TFlashVideoList = TFlashObjectList<TFlashVideo>;

class TFlashPlaceVideo : public TFlashPlaceObject {
 public:
  // The video's first frame shows in timeline frame startFrame (counting from 0).
  TFlashPlaceVideo(TFlashMovie* owner, TFlashVideo& video, uint16_t depth, int32_t startFrame);

  TFlashVideo& Video() const { return *FVideo; }
  int32_t StartFrame() const { return FStartFrame; }

  // What the timeline writes before it closes frame N: the video frame N - StartFrame and the
  // placement that shows it (the first places the video, the others move its ratio on). Nothing
  // outside the video's frames: the last frame stays on the stage.
  void WriteFrame(swf::TBitsEngine& be, int32_t frameNumber);

  void Assign(const swf::TBasedSWFObject& source) override;
  int MinVersion() const override;

 private:
  TFlashVideo* FVideo;  // refers to; lives in the movie's ObjectList
  int32_t FStartFrame;
};

// The video placements of a timeline (a movie's, a sprite's).
using TPlacedVideoList = std::vector<std::unique_ptr<TFlashPlaceVideo>>;
void WritePlacedVideoFrames(TPlacedVideoList& list, swf::TBitsEngine& be, int32_t frameNumber);
int PlacedVideosMinVersion(const TPlacedVideoList& list);

}  // namespace tw::builder
