// Video tags: DefineVideoStream announces an embedded video, VideoFrame carries one frame of it.
#pragma once

#include "swf/tag.h"

namespace tw::swf {

class TSWFDefineVideoStream : public TSWFObject {
 public:
  TSWFDefineVideoStream() : TSWFObject(60) {}

  uint16_t ID = 0;
  uint8_t Codec = 0;  // 2 H.263, 3 screen video, 4 VP6, 5 VP6 with alpha, 6 screen video 2
  uint16_t Height = 0;
  uint16_t NumFrames = 0;
  uint8_t VideoFlagsDeblocking = 0;  // 3 bits
  bool VideoFlagsSmoothing = false;
  uint8_t VideoFlagsReserved = 0;  // the 4 high bits of the flags byte, kept as read
  uint16_t Width = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return Codec == 3 ? 7 : 6; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(ID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFVideoFrame : public TSWFDataObject {
 public:
  TSWFVideoFrame() : TSWFDataObject(61) {}

  uint16_t FrameNum = 0;
  uint16_t ID = 0;  // the stream

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 6; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(ID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

}  // namespace tw::swf
