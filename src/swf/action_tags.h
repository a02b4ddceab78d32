// The tags that hold a plain action list: DoAction (frame actions) and DoInitAction (the
// initialisation actions of a sprite).
#pragma once

#include <memory>
#include <vector>

#include "swf/actions.h"
#include "swf/tag.h"

namespace tw::swf {

class TSWFDoAction : public TSWFObject {
 public:
  // With its own list.
  TSWFDoAction() : TSWFDoAction(12) {}
  // Over a list its creator keeps owning (the builder's action script writes itself so).
  explicit TSWFDoAction(TSWFActionList& actions) : TSWFObject(12), FActions(&actions) {}

  // Decode the records when reading, or keep them as one raw record.
  bool ParseActions = false;
  // The list ends with its End code; a list read without one is written without one (the
  // builder's lists always have it).
  bool EndCode = true;

  // The records, decoded on the first call after a read (const or not). Until then the tag
  // keeps the bytes it read and writes them back as they were: a movie that is only copied
  // never builds its scripts' records.
  TSWFActionList& Actions() {
    if (FPending) Decode();
    return *FActions;
  }
  const TSWFActionList& Actions() const {
    if (FPending) Decode();
    return *FActions;
  }
  bool ActionsDecoded() const { return !FPending; }
  bool OwnsActions() const { return FOwnedActions != nullptr; }

  // Copies ParseActions and the records (CopyActionList) into this tag's list.
  void Assign(const TBasedSWFObject& source) override;
  // The largest MinVersion of the records, at least 3.
  int MinVersion() const override;
  void SetReadContext(const TSWFReadContext& context) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFDoAction(uint16_t tagID)
      : TSWFObject(tagID),
        FOwnedActions(std::make_unique<TSWFActionList>()),
        FActions(FOwnedActions.get()) {}
  void ReadActions(TBitsEngine& be);

 private:
  void Decode() const;

  std::unique_ptr<TSWFActionList> FOwnedActions;
  TSWFActionList* FActions;
  // The action bytes as read while they are not decoded, with the mode and End code they were
  // read with.
  mutable std::vector<uint8_t> FBody;
  mutable bool FPending = false;
  bool FBodyParsed = false;
  bool FBodyEndCode = false;
};

class TSWFDoInitAction : public TSWFDoAction {
 public:
  TSWFDoInitAction() : TSWFDoAction(59) {}

  uint16_t SpriteID = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 6; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(SpriteID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

}  // namespace tw::swf
