#include "builder/video.h"

#include <algorithm>
#include <cmath>

#include "swf/display_tags.h"
#include "swf/errors.h"
#include "swf/video_tags.h"

namespace tw::builder {

using namespace tw::swf;
using audio::EAudioError;
using audio::TFLVReader;

TFlashVideo::TFlashVideo(TFlashMovie* owner, const std::filesystem::path& fileName)
    : TFlashVisualObject(owner) {
  if (!fileName.empty()) LoadFromFile(fileName);
}

void TFlashVideo::LoadFromFile(const std::filesystem::path& fileName) {
  LoadFromFLV(TFLVReader::FromFile(fileName));
}

void TFlashVideo::LoadFromFLV(const TFLVReader& flv) {
  if (flv.VideoFrames.empty()) throw EAudioError(audio::kFLVNoVideo);
  const uint8_t codec = flv.VideoCodec();
  if (codec < audio::kFLVCodecH263 || codec > audio::kFLVCodecVP6Alpha)
    throw EAudioError("The FLV file's video (" + audio::FLVVideoCodecName(codec) +
                      ") cannot be embedded in a SWF movie");
  for (const auto& frame : flv.VideoFrames)
    if (frame.Codec != codec)
      throw EAudioError("The FLV file's video changes from " + audio::FLVVideoCodecName(codec) +
                        " to " + audio::FLVVideoCodecName(frame.Codec));
  // Frame numbers and the placement's ratio are 16-bit.
  if (flv.VideoFrames.size() > 65535)
    throw EAudioError("The FLV file has more video frames (" +
                      std::to_string(flv.VideoFrames.size()) + ") than a SWF movie can number");
  const audio::TFLVPictureSize size = flv.PictureSize();
  std::vector<std::vector<uint8_t>> frames;
  frames.reserve(flv.VideoFrames.size());
  for (const auto& frame : flv.VideoFrames) frames.push_back(frame.Data);
  Frames = std::move(frames);
  Codec = codec;
  Width = size.Width;
  Height = size.Height;
  FrameRate = flv.FrameRate();
}

void TFlashVideo::WriteFrame(TBitsEngine& be, uint16_t index) const {
  TSWFVideoFrame tag;
  tag.ID = CharacterId();
  tag.FrameNum = index;
  const std::vector<uint8_t>& data = Frames.at(index);
  // The payload goes straight from the frame into the body, uncopied.
  tag.OnDataWrite = [&data](TSWFDataObject&, TBitsEngine& out) { out.WriteBytes(data); };
  tag.WriteToStream(be);
}

void TFlashVideo::Assign(const TBasedSWFObject& source) {
  TFlashVisualObject::Assign(source);
  const auto& s = SourceAs<TFlashVideo>(source);
  Codec = s.Codec;
  Width = s.Width;
  Height = s.Height;
  Deblocking = s.Deblocking;
  Smoothing = s.Smoothing;
  FrameRate = s.FrameRate;
  Frames = s.Frames;
}

int TFlashVideo::MinVersion() const {
  switch (Codec) {
    case audio::kFLVCodecScreenVideo: return 7;
    case audio::kFLVCodecVP6: case audio::kFLVCodecVP6Alpha: return 8;
    default: return 6;
  }
}

void TFlashVideo::WriteToStream(TBitsEngine& be) {
  TSWFDefineVideoStream tag;
  tag.ID = CharacterId();
  tag.NumFrames = FrameCount();
  tag.Width = Width;
  tag.Height = Height;
  tag.VideoFlagsDeblocking = Deblocking & 7;
  tag.VideoFlagsSmoothing = Smoothing;
  tag.Codec = Codec;
  tag.WriteToStream(be);
}

// ---- placement -------------------------------------------------------------------------------

TFlashPlaceVideo::TFlashPlaceVideo(TFlashMovie* owner, TFlashVideo& video, uint16_t depth,
                                   int32_t startFrame)
    : TFlashPlaceObject(owner, depth, &video), FVideo(&video), FStartFrame(startFrame) {
  Ratio(0);
}

void TFlashPlaceVideo::WriteFrame(TBitsEngine& be, int32_t frameNumber) {
  const int32_t index = frameNumber - FStartFrame;
  if (index < 0 || index >= FVideo->FrameCount()) return;
  const auto frame = static_cast<uint16_t>(index);
  FVideo->WriteFrame(be, frame);
  if (frame == 0) {
    WriteToStream(be);
    return;
  }
  // The ratio of the placement chooses the frame the player shows.
  TSWFPlaceObject3 move;
  move.Depth = Depth();
  move.Move = true;
  move.SetRatio(frame);
  move.SaveAsPlaceObject2 = true;
  move.TagID = 26;
  move.WriteToStream(be);
}

void TFlashPlaceVideo::Assign(const TBasedSWFObject& source) {
  TFlashPlaceObject::Assign(source);
  const auto& s = SourceAs<TFlashPlaceVideo>(source);
  FVideo = s.FVideo;
  FStartFrame = s.FStartFrame;
}

int TFlashPlaceVideo::MinVersion() const {
  return std::max(TFlashPlaceObject::MinVersion(), FVideo->MinVersion());
}

void WritePlacedVideoFrames(TPlacedVideoList& list, TBitsEngine& be, int32_t frameNumber) {
  for (const auto& placement : list) placement->WriteFrame(be, frameNumber);
}

int PlacedVideosMinVersion(const TPlacedVideoList& list) {
  int version = 1;
  for (const auto& placement : list) version = std::max(version, placement->MinVersion());
  return version;
}

}  // namespace tw::builder
