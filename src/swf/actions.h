// Action records (the bytecode of DoAction, DoInitAction, clip actions and button actions):
// TSWFAction and its family bases, the offset markers that stand for branch targets, the branch
// records' common base, raw action bytes, TSWFActionList and the operations on whole lists.
// The record classes live in action_records.h, action_body_records.h, action_push.h,
// action_branches.h and action_functions.h.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "swf/bits.h"

namespace tw::swf {

constexpr uint8_t kActionEnd = 0x00;
constexpr uint8_t kActionByteCode = 254;  // raw bytes; exists only in memory
constexpr uint8_t kActionMarker = 255;    // a branch target; occupies no bytes

class TSWFAction {
 public:
  explicit TSWFAction(uint8_t code) : ActionCode(code) {}
  virtual ~TSWFAction() = default;
  TSWFAction(const TSWFAction&) = delete;
  TSWFAction& operator=(const TSWFAction&) = delete;

  const uint8_t ActionCode;
  // The body length of a record with a code of 0x80 and above: as read, then as last written.
  uint16_t BodyLength = 0;

  // Copies the fields of a record of the same class (the code comes from the constructor).
  virtual void Assign(const TSWFAction& source);
  virtual int MinVersion() const { return 3; }
  // Reads the body from an engine over exactly the BodyLength bytes of the body.
  virtual void ReadActionBody(TBitsEngine& be) { (void)be; }
  virtual void WriteActionBody(TBitsEngine& be) { (void)be; }
  // Writes the whole record. The body is written in place, so that a branch record knows the
  // real stream position of its number fields while it writes them.
  virtual void WriteToStream(TBitsEngine& be);

  // The bytes the record occupies in a file, as last read or written.
  size_t RecordSize() const;

 protected:
  template <class T>
  static const T& SourceAs(const TSWFAction& source) {
    return dynamic_cast<const T&>(source);
  }
};

// Family bases: they only fix the version that introduced their records.
class TSWFAction4 : public TSWFAction {
 public:
  using TSWFAction::TSWFAction;
  int MinVersion() const override { return 4; }
};
class TSWFAction5 : public TSWFAction {
 public:
  using TSWFAction::TSWFAction;
  int MinVersion() const override { return 5; }
};
class TSWFAction6 : public TSWFAction {
 public:
  using TSWFAction::TSWFAction;
  int MinVersion() const override { return 6; }
};
class TSWFAction7 : public TSWFAction {
 public:
  using TSWFAction::TSWFAction;
  int MinVersion() const override { return 7; }
};

// A record class with a fixed code, for the records without fields.
template <uint8_t Code, class Family>
class TSWFActionOf : public Family {
 public:
  TSWFActionOf() : Family(Code) {}
};

// ---- raw bytes -------------------------------------------------------------------------------

// Whole records kept as bytes: an unknown code, a record that does not decode, or an undecoded
// list. Written verbatim.
class TSWFActionByteCode : public TSWFAction {
 public:
  TSWFActionByteCode() : TSWFAction(kActionByteCode) {}
  explicit TSWFActionByteCode(std::span<const uint8_t> bytes)
      : TSWFAction(kActionByteCode), RawData(bytes.begin(), bytes.end()) {}

  std::vector<uint8_t> RawData;

  void Assign(const TSWFAction& source) override;
  int MinVersion() const override { return 4; }
  void WriteActionBody(TBitsEngine& be) override;

  // Two upper-case hexadecimal digits per byte; setting accepts either case and ignores spaces.
  std::string HexText() const;
  void SetHexText(std::string_view text);
  void SetSize(size_t size) { RawData.assign(size, 0); }
  void SetByte(size_t index, uint8_t value) { RawData.at(index) = value; }
  uint8_t Byte(size_t index) const { return RawData.at(index); }
};

// ---- markers ---------------------------------------------------------------------------------

// A branch target: a record of no bytes placed in a list where a branch lands. When written it
// remembers its position (a target before its branch) or patches the number of the branch that
// jumps forward to it.
class TSWFOffsetMarker : public TSWFAction {
 public:
  static constexpr size_t kNotWritten = SIZE_MAX;

  TSWFOffsetMarker() : TSWFAction(kActionMarker) {}

  bool Placed = false;    // in a list, which then owns it
  bool Backward = true;   // precedes its branch
  bool Active = true;     // computes its branch's number when written; read markers are not
  std::string Label;
  size_t FieldPosition = 0;              // stream position of the number field it serves
  uint8_t OffsetSize = 2;                // width of that field: 2 or 4
  size_t MarkerPosition = kNotWritten;   // see the branch protocol in actions.cpp

  // Copies Placed, Backward, Label, OffsetSize and Active.
  void Assign(const TSWFAction& source) override;
  void WriteActionBody(TBitsEngine& be) override;

  // Called by a branch that writes its number field at fieldPosition; base is the position the
  // number counts from. For a target already written the number is returned; otherwise a
  // placeholder is due (the result is 0) and the marker patches it when it is written.
  int64_t TakeField(size_t fieldPosition, size_t base, uint8_t size, int64_t minValue,
                    int64_t maxValue);
  // A branch waits for this marker to patch its number.
  bool PatchPending() const { return FPending; }
  // Forgets the positions of an earlier write, before the list is written again.
  virtual void StartWriting();

 protected:
  void Patch(TBitsEngine& be, int64_t value);
  void CheckRange(int64_t value) const;

  bool FPending = false;  // a placeholder awaits this marker
  size_t FBase = 0;       // the position the pending number counts from
  int64_t FMinValue = 0, FMaxValue = 0;
};

// A marker of one block of a Try record; its number counts from the end of the previous block.
class TSWFTryOffsetMarker : public TSWFOffsetMarker {
 public:
  TSWFTryOffsetMarker() { Backward = false; }

  TSWFTryOffsetMarker* PreviousMarker = nullptr;  // set while the Try is written
  size_t BlockEnd = kNotWritten;                  // where it was written in the current write

  void WriteActionBody(TBitsEngine& be) override;
  void StartWriting() override;
};

// ---- branch records --------------------------------------------------------------------------

// The common part of the records that carry branch targets (Jump, If, With, DefineFunction,
// DefineFunction2, Try): the offset mode and the markers their numbers come from.
//
// A marker is created on first access and owned by its record until it is placed in a list;
// from then on the list owns it and the record only refers to it. A record refers only to
// markers of its own list.
class TSWFBranchAction : public TSWFAction {
 public:
  // True: the stored numbers are written as they are (set by reading, by the number setters and
  // by Assign from a static record). False: the numbers come from the markers.
  bool StaticOffset = false;
  size_t RecordStart = 0;  // stream position of the code byte, taken when written

  void Assign(const TSWFAction& source) override;
  void WriteToStream(TBitsEngine& be) override;

  // Slot 0 is the only marker of a Jump, If, With or function, and the try marker of a Try.
  size_t MarkerCount() const { return FMarkerCount; }
  TSWFOffsetMarker& Marker(size_t slot = 0);            // created on first access
  TSWFOffsetMarker* FindMarker(size_t slot = 0) const;  // null when there is none
  // True while the record owns the marker of the slot (it is not placed in a list).
  bool OwnsMarker(size_t slot = 0) const { return slot < FMarkerCount && FSlots[slot].Owned; }
  // Refers to a marker placed in this record's list (or none); frees an unplaced own marker.
  void SetMarker(TSWFOffsetMarker* placed, size_t slot = 0);
  // Hands over the record's own marker (created on demand) for placing in a list; the record
  // keeps referring to it. Null when the marker was handed over or set before.
  std::unique_ptr<TSWFOffsetMarker> TakeMarker(size_t slot = 0);

 protected:
  TSWFBranchAction(uint8_t code, size_t markerCount) : TSWFAction(code), FMarkerCount(markerCount) {}
  virtual std::unique_ptr<TSWFOffsetMarker> NewMarker() const;
  // A marker that computes a number: present, active and placed.
  TSWFOffsetMarker* UsableMarker(size_t slot) const;
  // Writes a 16-bit number counted from the end of its own field: from the marker of the slot
  // when the offsets are not static and the marker is usable, else the stored number.
  void WriteBranchNumber(TBitsEngine& be, size_t slot, int32_t stored, bool isSigned);

 private:
  struct TSlot {
    std::unique_ptr<TSWFOffsetMarker> Owned;
    TSWFOffsetMarker* Marker = nullptr;
  };
  std::array<TSlot, 3> FSlots;
  size_t FMarkerCount;
};

// The branch record behind a record, or null: by its code, which is cheaper than a cast on the
// paths that walk every record of a list.
inline bool IsBranchCode(uint8_t code) {
  return code == 0x99 || code == 0x9D || code == 0x94 || code == 0x9B || code == 0x8E || code == 0x8F;
}
inline TSWFBranchAction* AsBranch(TSWFAction& a) {
  return IsBranchCode(a.ActionCode) ? static_cast<TSWFBranchAction*>(&a) : nullptr;
}
inline const TSWFBranchAction* AsBranch(const TSWFAction& a) {
  return IsBranchCode(a.ActionCode) ? static_cast<const TSWFBranchAction*>(&a) : nullptr;
}

// ---- lists -----------------------------------------------------------------------------------

class TSWFActionList {
 public:
  TSWFActionList() = default;
  TSWFActionList(TSWFActionList&&) = default;
  TSWFActionList& operator=(TSWFActionList&&) = default;

  size_t Count() const { return FItems.size(); }
  bool Empty() const { return FItems.empty(); }
  TSWFAction& Action(size_t index) { return *FItems.at(index); }
  const TSWFAction& Action(size_t index) const { return *FItems.at(index); }
  TSWFAction& operator[](size_t index) { return *FItems[index]; }
  const TSWFAction& operator[](size_t index) const { return *FItems[index]; }
  TSWFAction* Last() { return FItems.empty() ? nullptr : FItems.back().get(); }
  const TSWFAction* Last() const { return FItems.empty() ? nullptr : FItems.back().get(); }
  // Replaces a record; branches of the list that referred to a replaced marker lose it.
  void SetAction(size_t index, std::unique_ptr<TSWFAction> action);

  // A marker that enters the list by any of these becomes Placed.
  TSWFAction& Add(std::unique_ptr<TSWFAction> action);
  template <class T, class... Args>
  T& Add(Args&&... args) {
    return static_cast<T&>(Add(std::make_unique<T>(std::forward<Args>(args)...)));
  }
  TSWFAction& Insert(size_t index, std::unique_ptr<TSWFAction> action);
  // Removes a record and hands it back; branches that referred to it (a marker) lose it.
  std::unique_ptr<TSWFAction> Extract(size_t index);
  void Clear();

  // Appends a marker at the current end (a branch target) with its direction: backward when its
  // branch comes later in the list, forward when the branch came before.
  TSWFOffsetMarker& AddMarker(std::unique_ptr<TSWFOffsetMarker> marker, bool backward);
  // Appends a new backward marker, for a branch that comes later.
  TSWFOffsetMarker& AddMarker() { return AddMarker(std::make_unique<TSWFOffsetMarker>(), true); }

  // The largest MinVersion of the records; 0 for an empty list.
  int MinVersion() const;
  // The bytes the records occupy, without an End code.
  size_t ByteSize() const;
  // The next number of the labels the reader gives markers ("label 1", "Try 2", ...).
  int NextLabelNumber() { return ++FLabelCounter; }
  // Turns the stored numbers of the branch records from index first on into inactive markers
  // placed at their targets (ReadActionList does this). A target that is not a record boundary
  // inside that part of the list leaves its marker unplaced, labelled "Error Size offset: " and
  // the distance.
  void ResolveBranchTargets(size_t first);

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  void ForgetMarker(const TSWFAction* marker);

  std::vector<std::unique_ptr<TSWFAction>> FItems;
  int FLabelCounter = 0;
};

// ---- operations ------------------------------------------------------------------------------

// A new record of the class of a code, including 254 and 255; null for any other code.
std::unique_ptr<TSWFAction> CreateActionByCode(uint8_t code);
// The record's name without prefix ("GetVariable"), or null for a code without a class.
const char* ActionCodeName(uint8_t code);

// Reads the records of a list of byteLimit bytes (its extent: the End code included) from the
// engine's position into the list, then turns branch numbers into placed, inactive markers.
// Never fails on bad input: records that cannot be decoded are kept as raw bytes. The engine
// is left after the list (or at the end of the stream when it is shorter).
void ReadActionList(TBitsEngine& be, TSWFActionList& list, size_t byteLimit);

// The position just after the first End code from the engine's position (walking the records
// by their lengths), or the starting position when there is none; the position is restored.
size_t FindActionListEnd(TBitsEngine& be);

// Appends copies of the source's records and links the copies' branches to the copied markers.
void CopyActionList(const TSWFActionList& source, TSWFActionList& destination);

// Writes the records in order, then the End code. A list never holds its own End code: the
// reader consumes it and RawActions leaves it out. A branch that computes its number from a
// marker placed on the wrong side of it (a forward marker before it, a backward one after it)
// fails the write instead of writing a wrong number.
void WriteActionList(TBitsEngine& be, TSWFActionList& list);

// The bytes of a whole list (End code included) as one raw record, for a list kept undecoded:
// a final End code is left out, as WriteActionList writes it back.
std::unique_ptr<TSWFActionByteCode> RawActions(std::span<const uint8_t> bytes);

// Lets the branches of a list read from a file compute their numbers from their markers again,
// so that records can be inserted or removed before the list is written. Branches whose target
// was not found keep their stored numbers.
void LinkBranchesToMarkers(TSWFActionList& list);

}  // namespace tw::swf
