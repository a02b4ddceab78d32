#include "swf/video_tags.h"

namespace tw::swf {

// ---- DefineVideoStream -----------------------------------------------------------------------

void TSWFDefineVideoStream::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineVideoStream>(source);
  ID = s.ID;
  Codec = s.Codec;
  Height = s.Height;
  NumFrames = s.NumFrames;
  VideoFlagsDeblocking = s.VideoFlagsDeblocking;
  VideoFlagsSmoothing = s.VideoFlagsSmoothing;
  VideoFlagsReserved = s.VideoFlagsReserved;
  Width = s.Width;
}

void TSWFDefineVideoStream::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  NumFrames = be.ReadWord();
  Width = be.ReadWord();
  Height = be.ReadWord();
  const uint8_t flags = be.ReadByte();
  VideoFlagsDeblocking = (flags >> 1) & 7;
  VideoFlagsSmoothing = flags & 1;
  VideoFlagsReserved = flags >> 4;
  Codec = be.ReadByte();
}

void TSWFDefineVideoStream::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  be.WriteWord(NumFrames);
  be.WriteWord(Width);
  be.WriteWord(Height);
  be.WriteByte(
      static_cast<uint8_t>((VideoFlagsReserved & 15) << 4 | (VideoFlagsDeblocking & 7) << 1 |
                           (VideoFlagsSmoothing ? 1 : 0)));
  be.WriteByte(Codec);
}

void TSWFDefineVideoStream::Describe(TSWFFields& f) const {
  static constexpr const char* kCodecs[] = {"", "", "H.263", "ScreenVideo", "VP6", "VP6Alpha",
                                            "ScreenVideo2"};
  f.emplace_back("id", std::to_string(ID));
  f.emplace_back("size", std::to_string(Width) + "x" + std::to_string(Height));
  f.emplace_back("frames", std::to_string(NumFrames));
  f.emplace_back("codec", Codec >= 2 && Codec <= 6 ? kCodecs[Codec] : std::to_string(Codec));
  f.emplace_back("deblocking", std::to_string(VideoFlagsDeblocking));
  if (VideoFlagsSmoothing) f.emplace_back("smoothing", "yes");
}

// ---- VideoFrame ------------------------------------------------------------------------------

void TSWFVideoFrame::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& s = SourceAs<TSWFVideoFrame>(source);
  FrameNum = s.FrameNum;
  ID = s.ID;
}

void TSWFVideoFrame::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  FrameNum = be.ReadWord();
  const auto bytes = be.ReadBytes(be.Stream.Remaining());
  Data.assign(bytes.begin(), bytes.end());
}

void TSWFVideoFrame::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  be.WriteWord(FrameNum);
  WriteData(be);
}

void TSWFVideoFrame::Describe(TSWFFields& f) const {
  f.emplace_back("stream", std::to_string(ID));
  f.emplace_back("frame", std::to_string(FrameNum));
  f.emplace_back("bytes", std::to_string(DataSize()));
}

}  // namespace tw::swf
