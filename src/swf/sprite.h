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
  uint8_t SWFVersion = 5;
  // The body ended without an End tag when read; it is written back so.
  bool WithoutEndTag = false;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void SetReadContext(const TSWFReadContext& context) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(SpriteID); }
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;

 private:
  int FNesting = 0;
};

}  // namespace tw::swf
