// DefineSprite: a character with a timeline of its own, held as a list of tag objects.
#pragma once

#include "swf/tag.h"

namespace tw::swf {

// Sprites never nest in a valid movie; a hostile one may nest them without end.
constexpr int kMaxSpriteNesting = 64;

class TSWFDefineSprite : public TSWFObject {
 public:
  TSWFDefineSprite() : TSWFObject(39) {}

  std::vector<std::unique_ptr<TSWFObject>> ControlTags;
  uint16_t FrameCount = 0;
  bool ParseActions = false;
  uint16_t SpriteID = 0;
  // Real movies carry sprites without an End tag, and bytes after it; both are kept as found so
  // that a copy writes the sprite as it was.
  bool EndTagMissing = false;
  std::vector<uint8_t> TrailingBytes;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void SetReadContext(const TSWFReadContext& context) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(SpriteID); }
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 private:
  // What the movie being read tells the inner tags; writing takes the write context instead.
  uint8_t FReadVersion = 5;
  int FNesting = 0;
};

}  // namespace tw::swf
