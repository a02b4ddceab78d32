// The tags that hold a plain action list: DoAction (frame actions) and DoInitAction (the
// initialisation actions of a sprite).
#pragma once

#include <memory>

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

  TSWFActionList& Actions() { return *FActions; }
  const TSWFActionList& Actions() const { return *FActions; }
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
  std::unique_ptr<TSWFActionList> FOwnedActions;
  TSWFActionList* FActions;
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
