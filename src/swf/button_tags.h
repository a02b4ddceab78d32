// Button tags: DefineButton and DefineButton2 with the button records they share and the
// condition actions of DefineButton2, DefineButtonCxform and DefineButtonSound.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "swf/actions.h"
#include "swf/filters.h"
#include "swf/sound_tags.h"
#include "swf/tag.h"

namespace tw::swf {

// The states a record shows its character in, as a record keeps them (the file orders them
// HitTest, Down, Over, Up from the top bit of the low half of the flags byte).
enum TSWFButtonState : uint8_t { bsUp = 1, bsDown = 2, bsOver = 4, bsHitTest = 8 };

// One character shown in some states of a button.
class TSWFButtonRecord {
 public:
  explicit TSWFButtonRecord(uint16_t characterId = 0) : CharacterId(characterId) {}

  uint8_t BlendMode = 0;
  bool HasBlendMode = false, HasFilterList = false;
  uint8_t States = 0;  // TSWFButtonState bits
  uint16_t CharacterId;
  bool HasColorTransform = false;
  uint16_t PlaceDepth = 0;
  TSWFMatrix Matrix;
  // The bits of the flags byte that carry no field in the tag the record was read from, kept
  // as found.
  uint8_t ReservedFlags = 0;

  // Created on first access, which sets the presence flag; Find* gives null when absent.
  TSWFColorTransform& ColorTransform();  // with alpha
  const TSWFColorTransform* FindColorTransform() const { return FColorTransform.get(); }
  TSWFFilterList& Filters();
  const TSWFFilterList* FindFilters() const { return FFilters.get(); }

  void Assign(const TSWFButtonRecord& source);
  // The record after its flags byte, which the caller has read (a zero byte ends the records).
  // Extended: the layout of DefineButton2 (colour transform, filters and blend mode).
  void ReadFromStream(TBitsEngine& be, uint8_t flags, bool extended);
  // DefineButton2 writes a colour transform for every record, the identity when it has none.
  void WriteToStream(TBitsEngine& be, bool extended) const;

 private:
  std::unique_ptr<TSWFColorTransform> FColorTransform;
  std::unique_ptr<TSWFFilterList> FFilters;
};

// Button state transitions as a condition action keeps them.
enum TSWFButtonCondition : uint16_t {
  bcIdleToOverUp = 0x1,
  bcOverUpToIdle = 0x2,
  bcOverUpToOverDown = 0x4,
  bcOverDownToOverUp = 0x8,
  bcOutDownToOverDown = 0x10,
  bcOverDownToOutDown = 0x20,
  bcOutDownToIdle = 0x40,
  bcIdleToOverDown = 0x80,
  bcOverDownToIdle = 0x100,
};

// "IdleToOverUp,Press..."-style names of a condition set.
std::string ButtonConditionNames(uint16_t conditions);

// The actions of DefineButton2 that run on some transitions or on a key.
class TSWFButtonCondAction {
 public:
  uint16_t Conditions = 0;  // TSWFButtonCondition bits
  uint8_t KeyPress = 0;     // 7-bit key code, 0 for none
  TSWFActionList Actions;
  bool EndCode = true;  // the actions end with their End code (see ReadTagActions)

  void Assign(const TSWFButtonCondAction& source);
};

class TSWFBasedButton : public TSWFObject {
 public:
  uint16_t ButtonId = 0;
  std::vector<std::unique_ptr<TSWFButtonRecord>> Records;
  bool ParseActions = false;

  TSWFButtonRecord& AddRecord(uint16_t characterId, uint8_t states, uint16_t depth);

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void SetReadContext(const TSWFReadContext& context) override {
    ParseActions = context.ParseActions;
  }
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(ButtonId); }
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;

 protected:
  using TSWFObject::TSWFObject;
  // Records up to the zero byte that ends them, which is consumed.
  void ReadRecords(TBitsEngine& be, bool extended);
  void WriteRecords(TBitsEngine& be, bool extended) const;
  // Action records of the next size bytes (see ReadTagActions); true when they end with the
  // End code.
  bool ReadActions(TBitsEngine& be, TSWFActionList& list, size_t size) const;
};

class TSWFDefineButton : public TSWFBasedButton {
 public:
  TSWFDefineButton() : TSWFBasedButton(7) {}

  TSWFActionList Actions;
  // The actions end with their End code; a body that ends after the records has none, and is
  // written so again.
  bool EndCode = true;

  void Assign(const TBasedSWFObject& source) override;
  // The largest MinVersion of the actions, at least 3.
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFDefineButton2 : public TSWFBasedButton {
 public:
  TSWFDefineButton2() : TSWFBasedButton(34) {}

  bool TrackAsMenu = false;
  uint8_t ReservedFlags = 0;  // the other 7 bits of the flags byte, kept as found
  std::vector<std::unique_ptr<TSWFButtonCondAction>> CondActions;

  TSWFButtonCondAction& AddCondAction(uint16_t conditions, uint8_t keyPress = 0);

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFDefineButtonCxform : public TSWFObject {
 public:
  TSWFDefineButtonCxform() : TSWFObject(23) {}

  uint16_t ButtonId = 0;
  TSWFColorTransform ColorTransform;  // without alpha
  // Movies carry one transform per button record, in the order of the records; ColorTransform
  // is the first record's, these are the others'.
  std::vector<TSWFColorTransform> FurtherTransforms;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 2; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(ButtonId); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// The sounds a button plays on four transitions, in the order of the file.
enum TSWFButtonSoundEntry : uint8_t {
  bseOverUpToIdle = 0,
  bseIdleToOverUp = 1,
  bseOverUpToOverDown = 2,
  bseOverDownToOverUp = 3,
};

class TSWFDefineButtonSound : public TSWFObject {
 public:
  TSWFDefineButtonSound() : TSWFObject(17) {}

  uint16_t ButtonId = 0;

  // Created on first access, which marks the entry present; Find gives null when absent.
  TSWFStartSound& Sound(TSWFButtonSoundEntry entry);
  const TSWFStartSound* FindSound(TSWFButtonSoundEntry entry) const;
  TSWFStartSound& OverUpToIdle() { return Sound(bseOverUpToIdle); }
  TSWFStartSound& IdleToOverUp() { return Sound(bseIdleToOverUp); }
  TSWFStartSound& OverUpToOverDown() { return Sound(bseOverUpToOverDown); }
  TSWFStartSound& OverDownToOverUp() { return Sound(bseOverDownToOverUp); }

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 2; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 private:
  std::array<std::unique_ptr<TSWFStartSound>, 4> FSounds;
};

}  // namespace tw::swf
