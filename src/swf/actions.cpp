#include "swf/actions.h"

#include "util/text.h"

#include <algorithm>
#include <unordered_map>

#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "swf/action_records.h"

namespace tw::swf {

// ---- TSWFAction ------------------------------------------------------------------------------

void TSWFAction::Assign(const TSWFAction& source) { BodyLength = source.BodyLength; }

void TSWFAction::WriteToStream(TBitsEngine& be) {
  be.FlushBits(true);
  if (ActionCode >= kActionByteCode) {
    WriteActionBody(be);
    return;
  }
  be.WriteByte(ActionCode);
  if (ActionCode < 0x80) return;
  TMemoryStream& s = be.Stream;
  const size_t lengthAt = s.Position();
  be.WriteWord(0);
  WriteActionBody(be);
  be.FlushBits(true);
  const size_t end = s.Position();
  const size_t length = end - lengthAt - 2;
  // A longer body cannot be described by the 16-bit length; writing it would corrupt the list.
  if (length > 0xFFFF) {
    const char* name = ActionCodeName(ActionCode);
    throw ESWFError("The body of the action record " + (name ? std::string(name) : std::to_string(ActionCode)) +
                    " is longer than 65535 bytes");
  }
  BodyLength = static_cast<uint16_t>(length);
  s.SetPosition(lengthAt);
  be.WriteWord(BodyLength);
  s.SetPosition(end);
}

size_t TSWFAction::RecordSize() const {
  if (ActionCode == kActionMarker) return 0;
  if (ActionCode == kActionByteCode)
    return static_cast<const TSWFActionByteCode*>(this)->RawData.size();
  if (ActionCode < 0x80) return 1;
  return 3 + size_t{BodyLength};
}

// ---- TSWFActionByteCode ----------------------------------------------------------------------

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void TSWFActionByteCode::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  RawData = SourceAs<TSWFActionByteCode>(source).RawData;
}

void TSWFActionByteCode::WriteActionBody(TBitsEngine& be) { be.WriteBytes(RawData); }

std::string TSWFActionByteCode::HexText() const { return tw::HexBytes(RawData, ""); }

void TSWFActionByteCode::SetHexText(std::string_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  int high = -1;
  for (char c : text) {
    if (c == ' ') continue;
    const int v = HexDigit(c);
    if (v < 0) throw ESWFError("Invalid hexadecimal text: \"" + std::string(text) + "\"");
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) throw ESWFError("Invalid hexadecimal text: \"" + std::string(text) + "\"");
  RawData = std::move(bytes);
}

// ---- markers ---------------------------------------------------------------------------------
//
// The branch protocol. A branch writing its number field at position P asks its marker through
// TakeField. A backward marker was written already and remembers its position in
// MarkerPosition: the number is MarkerPosition minus the position the number counts from. A
// forward marker takes P as MarkerPosition, a placeholder is written, and the marker patches
// the field when it is written itself. Both must be written into the same stream.

void TSWFOffsetMarker::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& s = SourceAs<TSWFOffsetMarker>(source);
  Placed = s.Placed;
  Backward = s.Backward;
  Label = s.Label;
  OffsetSize = s.OffsetSize;
  Active = s.Active;
}

namespace {

std::string MarkerName(const TSWFOffsetMarker& m) {
  return m.Label.empty() ? std::string("(a marker)") : "\"" + m.Label + "\"";
}

}  // namespace

int64_t TSWFOffsetMarker::TakeField(size_t fieldPosition, size_t base, uint8_t size,
                                    int64_t minValue, int64_t maxValue) {
  FieldPosition = fieldPosition;
  OffsetSize = size;
  FMinValue = minValue;
  FMaxValue = maxValue;
  if (Backward) {
    FPending = false;
    if (MarkerPosition == kNotWritten || MarkerPosition > fieldPosition)
      throw ESWFError("The backward branch target " + MarkerName(*this) +
                      " is not written before its branch");
    const int64_t value = static_cast<int64_t>(MarkerPosition) - static_cast<int64_t>(base);
    CheckRange(value);
    return value;
  }
  // One placeholder at a time: a second branch would leave the first one's unpatched.
  if (FPending) throw ESWFError("The forward branch target " + MarkerName(*this) +
                                " serves more than one branch");
  MarkerPosition = fieldPosition;
  FBase = base;
  FPending = true;
  return 0;
}

void TSWFOffsetMarker::CheckRange(int64_t value) const {
  // A number that does not fit its field would send the branch somewhere else.
  if (value < FMinValue || value > FMaxValue) {
    throw ESWFError("The branch to " + MarkerName(*this) +
                    " spans " + std::to_string(value) + " bytes, more than its field can hold");
  }
}

void TSWFOffsetMarker::Patch(TBitsEngine& be, int64_t value) {
  CheckRange(value);
  FPending = false;
  TMemoryStream& s = be.Stream;
  const size_t back = s.Position();
  s.SetPosition(FieldPosition);
  if (OffsetSize == 4) be.WriteDWord(static_cast<uint32_t>(value));
  else be.WriteWord(static_cast<uint16_t>(value));
  s.SetPosition(back);
}

void TSWFOffsetMarker::StartWriting() {
  FPending = false;
  MarkerPosition = kNotWritten;
}

void TSWFTryOffsetMarker::StartWriting() {
  TSWFOffsetMarker::StartWriting();
  BlockEnd = kNotWritten;
}

void TSWFOffsetMarker::WriteActionBody(TBitsEngine& be) {
  Placed = true;
  if (!Active) return;
  const size_t position = be.Stream.Position();
  if (Backward) {
    MarkerPosition = position;
  } else if (FPending) {
    Patch(be, static_cast<int64_t>(position) - static_cast<int64_t>(FBase));
  }
}

void TSWFTryOffsetMarker::WriteActionBody(TBitsEngine& be) {
  Placed = true;
  const size_t position = be.Stream.Position();
  BlockEnd = position;
  if (!Active || !FPending) return;
  size_t base = FBase;
  if (PreviousMarker) {
    if (PreviousMarker->BlockEnd == kNotWritten)
      throw ESWFError("The block markers of a Try record are placed out of order");
    base = PreviousMarker->BlockEnd;
  }
  Patch(be, static_cast<int64_t>(position) - static_cast<int64_t>(base));
}

// ---- TSWFBranchAction ------------------------------------------------------------------------

void TSWFBranchAction::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  StaticOffset = SourceAs<TSWFBranchAction>(source).StaticOffset;
}

void TSWFBranchAction::WriteToStream(TBitsEngine& be) {
  be.FlushBits(true);
  RecordStart = be.Stream.Position();
  TSWFAction::WriteToStream(be);
}

std::unique_ptr<TSWFOffsetMarker> TSWFBranchAction::NewMarker() const {
  return std::make_unique<TSWFOffsetMarker>();
}

TSWFOffsetMarker& TSWFBranchAction::Marker(size_t slot) {
  TSlot& s = FSlots.at(slot);
  if (!s.Marker) {
    s.Owned = NewMarker();
    s.Marker = s.Owned.get();
  }
  return *s.Marker;
}

TSWFOffsetMarker* TSWFBranchAction::FindMarker(size_t slot) const {
  return slot < FMarkerCount ? FSlots[slot].Marker : nullptr;
}

void TSWFBranchAction::SetMarker(TSWFOffsetMarker* placed, size_t slot) {
  TSlot& s = FSlots.at(slot);
  if (s.Owned.get() != placed) s.Owned.reset();
  s.Marker = placed;
}

std::unique_ptr<TSWFOffsetMarker> TSWFBranchAction::TakeMarker(size_t slot) {
  Marker(slot);
  return std::move(FSlots[slot].Owned);
}

TSWFOffsetMarker* TSWFBranchAction::UsableMarker(size_t slot) const {
  TSWFOffsetMarker* m = FindMarker(slot);
  return m && m->Active && m->Placed ? m : nullptr;
}

void TSWFBranchAction::WriteBranchNumber(TBitsEngine& be, size_t slot, int32_t stored,
                                         bool isSigned) {
  int64_t value = stored;
  if (TSWFOffsetMarker* m = StaticOffset ? nullptr : UsableMarker(slot)) {
    const size_t p = be.Stream.Position();
    value = m->TakeField(p, p + 2, 2, isSigned ? INT16_MIN : 0, isSigned ? INT16_MAX : UINT16_MAX);
  }
  be.WriteWord(static_cast<uint16_t>(value));
}

// ---- TSWFActionList --------------------------------------------------------------------------

namespace {

// A record entering a list; a marker in a list is placed.
std::unique_ptr<TSWFAction> Entering(std::unique_ptr<TSWFAction> action) {
  if (!action) throw ESWFError("No action record to add");
  if (action->ActionCode == kActionMarker) static_cast<TSWFOffsetMarker&>(*action).Placed = true;
  return action;
}

}  // namespace

TSWFAction& TSWFActionList::Add(std::unique_ptr<TSWFAction> action) {
  FItems.push_back(Entering(std::move(action)));
  return *FItems.back();
}

TSWFAction& TSWFActionList::Insert(size_t index, std::unique_ptr<TSWFAction> action) {
  if (index > FItems.size()) throw std::out_of_range("action list index");
  return **FItems.insert(FItems.begin() + static_cast<ptrdiff_t>(index), Entering(std::move(action)));
}

void TSWFActionList::SetAction(size_t index, std::unique_ptr<TSWFAction> action) {
  action = Entering(std::move(action));
  auto& item = FItems.at(index);
  if (item->ActionCode == kActionMarker) ForgetMarker(item.get());
  item = std::move(action);
}

std::unique_ptr<TSWFAction> TSWFActionList::Extract(size_t index) {
  auto item = std::move(FItems.at(index));
  FItems.erase(FItems.begin() + static_cast<ptrdiff_t>(index));
  if (item->ActionCode == kActionMarker) {
    ForgetMarker(item.get());
    static_cast<TSWFOffsetMarker&>(*item).Placed = false;
  }
  return item;
}

void TSWFActionList::Clear() {
  FItems.clear();
  FLabelCounter = 0;
}

void TSWFActionList::ForgetMarker(const TSWFAction* marker) {
  for (auto& item : FItems) {
    auto* branch = AsBranch(*item);
    if (!branch) continue;
    for (size_t slot = 0; slot < branch->MarkerCount(); ++slot)
      if (branch->FindMarker(slot) == marker) branch->SetMarker(nullptr, slot);
  }
}

TSWFOffsetMarker& TSWFActionList::AddMarker(std::unique_ptr<TSWFOffsetMarker> marker,
                                            bool backward) {
  if (!marker) throw ESWFError("The marker was placed in a list before");
  marker->Backward = backward;
  return static_cast<TSWFOffsetMarker&>(Add(std::move(marker)));
}

int TSWFActionList::MinVersion() const {
  int v = 0;
  for (const auto& item : FItems) v = std::max(v, item->MinVersion());
  return v;
}

size_t TSWFActionList::ByteSize() const {
  size_t n = 0;
  for (const auto& item : FItems) n += item->RecordSize();
  return n;
}

// ---- the factory -----------------------------------------------------------------------------

namespace {

struct TActionKind {
  const char* Name = nullptr;
  std::unique_ptr<TSWFAction> (*Create)() = nullptr;
};

template <class T>
std::unique_ptr<TSWFAction> Make() {
  return std::make_unique<T>();
}

// One table drives the factory and the names.
constexpr std::array<TActionKind, 256> kKinds = [] {
  std::array<TActionKind, 256> k{};
  k[0x04] = {"NextFrame", &Make<TSWFActionNextFrame>};
  k[0x05] = {"PreviousFrame", &Make<TSWFActionPreviousFrame>};
  k[0x06] = {"Play", &Make<TSWFActionPlay>};
  k[0x07] = {"Stop", &Make<TSWFActionStop>};
  k[0x08] = {"ToggleQuality", &Make<TSWFActionToggleQuality>};
  k[0x09] = {"StopSounds", &Make<TSWFActionStopSounds>};
  k[0x0A] = {"Add", &Make<TSWFActionAdd>};
  k[0x0B] = {"Subtract", &Make<TSWFActionSubtract>};
  k[0x0C] = {"Multiply", &Make<TSWFActionMultiply>};
  k[0x0D] = {"Divide", &Make<TSWFActionDivide>};
  k[0x0E] = {"Equals", &Make<TSWFActionEquals>};
  k[0x0F] = {"Less", &Make<TSWFActionLess>};
  k[0x10] = {"And", &Make<TSWFActionAnd>};
  k[0x11] = {"Or", &Make<TSWFActionOr>};
  k[0x12] = {"Not", &Make<TSWFActionNot>};
  k[0x13] = {"StringEquals", &Make<TSWFActionStringEquals>};
  k[0x14] = {"StringLength", &Make<TSWFActionStringLength>};
  k[0x15] = {"StringExtract", &Make<TSWFActionStringExtract>};
  k[0x17] = {"Pop", &Make<TSWFActionPop>};
  k[0x18] = {"ToInteger", &Make<TSWFActionToInteger>};
  k[0x1C] = {"GetVariable", &Make<TSWFActionGetVariable>};
  k[0x1D] = {"SetVariable", &Make<TSWFActionSetVariable>};
  k[0x20] = {"SetTarget2", &Make<TSWFActionSetTarget2>};
  k[0x21] = {"StringAdd", &Make<TSWFActionStringAdd>};
  k[0x22] = {"GetProperty", &Make<TSWFActionGetProperty>};
  k[0x23] = {"SetProperty", &Make<TSWFActionSetProperty>};
  k[0x24] = {"CloneSprite", &Make<TSWFActionCloneSprite>};
  k[0x25] = {"RemoveSprite", &Make<TSWFActionRemoveSprite>};
  k[0x26] = {"Trace", &Make<TSWFActionTrace>};
  k[0x27] = {"StartDrag", &Make<TSWFActionStartDrag>};
  k[0x28] = {"EndDrag", &Make<TSWFActionEndDrag>};
  k[0x29] = {"StringLess", &Make<TSWFActionStringLess>};
  k[0x2A] = {"Throw", &Make<TSWFActionThrow>};
  k[0x2B] = {"CastOp", &Make<TSWFActionCastOp>};
  k[0x2C] = {"ImplementsOp", &Make<TSWFActionImplementsOp>};
  k[0x2D] = {"FSCommand2", &Make<TSWFActionFSCommand2>};
  k[0x30] = {"RandomNumber", &Make<TSWFActionRandomNumber>};
  k[0x31] = {"MBStringLength", &Make<TSWFActionMBStringLength>};
  k[0x32] = {"CharToAscii", &Make<TSWFActionCharToAscii>};
  k[0x33] = {"AsciiToChar", &Make<TSWFActionAsciiToChar>};
  k[0x34] = {"GetTime", &Make<TSWFActionGetTime>};
  k[0x35] = {"MBStringExtract", &Make<TSWFActionMBStringExtract>};
  k[0x36] = {"MBCharToAscii", &Make<TSWFActionMBCharToAscii>};
  k[0x37] = {"MBAsciiToChar", &Make<TSWFActionMBAsciiToChar>};
  k[0x3A] = {"Delete", &Make<TSWFActionDelete>};
  k[0x3B] = {"Delete2", &Make<TSWFActionDelete2>};
  k[0x3C] = {"DefineLocal", &Make<TSWFActionDefineLocal>};
  k[0x3D] = {"CallFunction", &Make<TSWFActionCallFunction>};
  k[0x3E] = {"Return", &Make<TSWFActionReturn>};
  k[0x3F] = {"Modulo", &Make<TSWFActionModulo>};
  k[0x40] = {"NewObject", &Make<TSWFActionNewObject>};
  k[0x41] = {"DefineLocal2", &Make<TSWFActionDefineLocal2>};
  k[0x42] = {"InitArray", &Make<TSWFActionInitArray>};
  k[0x43] = {"InitObject", &Make<TSWFActionInitObject>};
  k[0x44] = {"TypeOf", &Make<TSWFActionTypeOf>};
  k[0x45] = {"TargetPath", &Make<TSWFActionTargetPath>};
  k[0x46] = {"Enumerate", &Make<TSWFActionEnumerate>};
  k[0x47] = {"Add2", &Make<TSWFActionAdd2>};
  k[0x48] = {"Less2", &Make<TSWFActionLess2>};
  k[0x49] = {"Equals2", &Make<TSWFActionEquals2>};
  k[0x4A] = {"ToNumber", &Make<TSWFActionToNumber>};
  k[0x4B] = {"ToString", &Make<TSWFActionToString>};
  k[0x4C] = {"PushDuplicate", &Make<TSWFActionPushDuplicate>};
  k[0x4D] = {"StackSwap", &Make<TSWFActionStackSwap>};
  k[0x4E] = {"GetMember", &Make<TSWFActionGetMember>};
  k[0x4F] = {"SetMember", &Make<TSWFActionSetMember>};
  k[0x50] = {"Increment", &Make<TSWFActionIncrement>};
  k[0x51] = {"Decrement", &Make<TSWFActionDecrement>};
  k[0x52] = {"CallMethod", &Make<TSWFActionCallMethod>};
  k[0x53] = {"NewMethod", &Make<TSWFActionNewMethod>};
  k[0x54] = {"InstanceOf", &Make<TSWFActionInstanceOf>};
  k[0x55] = {"Enumerate2", &Make<TSWFActionEnumerate2>};
  k[0x60] = {"BitAnd", &Make<TSWFActionBitAnd>};
  k[0x61] = {"BitOr", &Make<TSWFActionBitOr>};
  k[0x62] = {"BitXor", &Make<TSWFActionBitXor>};
  k[0x63] = {"BitLShift", &Make<TSWFActionBitLShift>};
  k[0x64] = {"BitRShift", &Make<TSWFActionBitRShift>};
  k[0x65] = {"BitURShift", &Make<TSWFActionBitURShift>};
  k[0x66] = {"StrictEquals", &Make<TSWFActionStrictEquals>};
  k[0x67] = {"Greater", &Make<TSWFActionGreater>};
  k[0x68] = {"StringGreater", &Make<TSWFActionStringGreater>};
  k[0x69] = {"Extends", &Make<TSWFActionExtends>};
  k[0x81] = {"GotoFrame", &Make<TSWFActionGotoFrame>};
  k[0x83] = {"GetUrl", &Make<TSWFActionGetUrl>};
  k[0x87] = {"StoreRegister", &Make<TSWFActionStoreRegister>};
  k[0x88] = {"ConstantPool", &Make<TSWFActionConstantPool>};
  k[0x8A] = {"WaitForFrame", &Make<TSWFActionWaitForFrame>};
  k[0x8B] = {"SetTarget", &Make<TSWFActionSetTarget>};
  k[0x8C] = {"GoToLabel", &Make<TSWFActionGoToLabel>};
  k[0x8D] = {"WaitForFrame2", &Make<TSWFActionWaitForFrame2>};
  k[0x8E] = {"DefineFunction2", &Make<TSWFActionDefineFunction2>};
  k[0x8F] = {"Try", &Make<TSWFActionTry>};
  k[0x94] = {"With", &Make<TSWFActionWith>};
  k[0x96] = {"Push", &Make<TSWFActionPush>};
  k[0x99] = {"Jump", &Make<TSWFActionJump>};
  k[0x9A] = {"GetURL2", &Make<TSWFActionGetURL2>};
  k[0x9B] = {"DefineFunction", &Make<TSWFActionDefineFunction>};
  k[0x9D] = {"If", &Make<TSWFActionIf>};
  k[0x9E] = {"Call", &Make<TSWFActionCall>};
  k[0x9F] = {"GotoFrame2", &Make<TSWFActionGotoFrame2>};
  k[kActionByteCode] = {"ByteCode", &Make<TSWFActionByteCode>};
  k[kActionMarker] = {"OffsetMarker", &Make<TSWFOffsetMarker>};
  return k;
}();

}  // namespace

std::unique_ptr<TSWFAction> CreateActionByCode(uint8_t code) {
  const auto create = kKinds[code].Create;
  return create ? create() : nullptr;
}

const char* ActionCodeName(uint8_t code) { return kKinds[code].Name; }

// ---- reading ---------------------------------------------------------------------------------

namespace {

std::unique_ptr<TSWFAction> RawRecord(std::span<const uint8_t> bytes) {
  return std::make_unique<TSWFActionByteCode>(bytes);
}

// A record with a body, decoded from exactly its declared bytes. A body its fields do not fill
// exactly, or that ends before its fields do, is kept as the record's bytes: written back as it
// was, it keeps its meaning.
std::unique_ptr<TSWFAction> DecodeRecord(uint8_t code, std::span<const uint8_t> body,
                                         std::span<const uint8_t> whole) {
  // 254 and 255 name records that exist only in memory: in a file they are unknown codes.
  auto action = code < kActionByteCode ? CreateActionByCode(code) : nullptr;
  if (action) {
    action->BodyLength = static_cast<uint16_t>(body.size());
    TMemoryStream view = TMemoryStream::View(body);
    TBitsEngine sub(view);
    try {
      action->ReadActionBody(sub);
      if (view.Remaining() == 0) return action;
    } catch (const std::exception&) {
    }
  }
  return RawRecord(whole);
}

}  // namespace

std::unique_ptr<TSWFActionByteCode> RawActions(std::span<const uint8_t> bytes) {
  if (!bytes.empty() && bytes.back() == kActionEnd) bytes = bytes.first(bytes.size() - 1);
  return std::make_unique<TSWFActionByteCode>(bytes);
}

void ReadActionList(TBitsEngine& be, TSWFActionList& list, size_t byteLimit) {
  be.FlushBits(false);
  TMemoryStream& s = be.Stream;
  const size_t start = s.Position();
  const size_t limit = start + std::min(byteLimit, s.Remaining());
  const auto bytes = s.Bytes();
  const size_t first = list.Count();
  while (s.Position() < limit) {
    const size_t at = s.Position();
    const uint8_t code = bytes[at];
    s.Skip(1);
    if (code == kActionEnd) {
      if (s.Position() == limit) break;
      // An End code before the end of the list: the code after it is still part of the list,
      // and branches may land there. It stays as a one-byte raw record.
      list.Add(RawRecord(bytes.subspan(at, 1)));
      continue;
    }
    if (code < 0x80) {
      auto action = CreateActionByCode(code);
      list.Add(action ? std::move(action) : RawRecord(bytes.subspan(at, 1)));
      continue;
    }
    const size_t left = limit - s.Position();
    const size_t length = left >= 2 ? (bytes[at + 1] | (bytes[at + 2] << 8)) : 0;
    if (left < 2 || length > left - 2) {
      // The record runs past the end of the list: the rest is kept as it is.
      list.Add(RawActions(bytes.subspan(at, limit - at)));
      s.SetPosition(limit);
      break;
    }
    s.Skip(2 + length);
    list.Add(DecodeRecord(code, bytes.subspan(at + 3, length), bytes.subspan(at, 3 + length)));
  }
  list.ResolveBranchTargets(first);
}

namespace {

// A marker found at a record boundary (the index of the record that starts there, or the record
// count for the end), with the order in which it was found.
struct TPlacement {
  size_t Boundary;
  bool Backward;
  size_t Order;
  size_t Record;  // the branch record the marker belongs to
  std::unique_ptr<TSWFOffsetMarker> Marker;
};

// The byte distances, counted from the end of the record, of the targets of a branch record,
// with the label of each marker (empty: the next "label n").
struct TTarget {
  size_t Slot;
  int64_t Distance;
  std::string Label;
};

std::vector<TTarget> BranchTargets(TSWFAction& action, TSWFActionList& list) {
  switch (action.ActionCode) {
    case 0x99:
    case 0x9D:
      return {{0, static_cast<TSWFActionJump&>(action).BranchOffset(), {}}};
    case 0x94:
      return {{0, static_cast<TSWFActionWith&>(action).BlockSize(), {}}};
    case 0x9B:
      return {{0, static_cast<TSWFActionDefineFunction&>(action).CodeSize(), {}}};
    case 0x8E:
      return {{0, static_cast<TSWFActionDefineFunction2&>(action).CodeSize(), {}}};
    case 0x8F: {
      auto& t = static_cast<TSWFActionTry&>(action);
      const std::string n = std::to_string(list.NextLabelNumber());
      std::vector<TTarget> targets{{TSWFActionTry::kTrySlot, t.TrySize(), "Try " + n}};
      if (t.HasCatch)
        targets.push_back({TSWFActionTry::kCatchSlot, int64_t{t.TrySize()} + t.CatchSize(),
                           "Catch " + n});
      if (t.HasFinally)
        targets.push_back({TSWFActionTry::kFinallySlot,
                           int64_t{t.TrySize()} + (t.HasCatch ? t.CatchSize() : 0) + t.FinallySize(),
                           "Finally " + n});
      return targets;
    }
    default:
      return {};
  }
}

}  // namespace

void TSWFActionList::ResolveBranchTargets(size_t first) {
  if (first >= FItems.size()) return;
  const size_t n = FItems.size() - first;
  // starts[k]: byte position of record first + k; starts[n]: the end of the records.
  std::vector<size_t> starts(n + 1, 0);
  for (size_t k = 0; k < n; ++k) starts[k + 1] = starts[k] + FItems[first + k]->RecordSize();
  std::vector<TPlacement> placements;
  for (size_t k = 0; k < n; ++k) {
    auto* branch = AsBranch(*FItems[first + k]);
    if (!branch) continue;
    for (auto& target : BranchTargets(*branch, *this)) {
      // A marker that lies elsewhere already is left where it is.
      if (branch->FindMarker(target.Slot) && !branch->OwnsMarker(target.Slot)) continue;
      TSWFOffsetMarker& marker = branch->Marker(target.Slot);
      marker.Active = false;
      marker.Backward = target.Distance < 0;
      if (!target.Label.empty()) marker.Label = std::move(target.Label);
      if (target.Distance == 0) continue;
      // The target must be a record boundary inside the list.
      const int64_t at = static_cast<int64_t>(starts[k + 1]) + target.Distance;
      const auto it = at < 0 || at > static_cast<int64_t>(starts[n])
                          ? starts.end()
                          : std::lower_bound(starts.begin(), starts.end(), static_cast<size_t>(at));
      if (it == starts.end() || *it != static_cast<size_t>(at)) {
        marker.Label = "Error Size offset: " + std::to_string(target.Distance);
        continue;
      }
      if (marker.Label.empty()) marker.Label = "label " + std::to_string(NextLabelNumber());
      marker.Placed = true;
      placements.push_back({static_cast<size_t>(it - starts.begin()), marker.Backward,
                            placements.size(), k, branch->TakeMarker(target.Slot)});
    }
  }
  if (placements.empty()) return;
  // Markers that share a boundary lie as if each had been inserted in turn: a forward one right
  // after the record before the boundary (so the latest comes first), a backward one right
  // before the record after it (so the latest comes last).
  std::sort(placements.begin(), placements.end(), [](const TPlacement& a, const TPlacement& b) {
    if (a.Boundary != b.Boundary) return a.Boundary < b.Boundary;
    if (a.Backward != b.Backward) return !a.Backward;
    // The blocks of one Try record end in their own order, even where a block is empty.
    if (a.Record == b.Record) return a.Order < b.Order;
    return a.Backward ? a.Order < b.Order : a.Order > b.Order;
  });
  std::vector<std::unique_ptr<TSWFAction>> items;
  items.reserve(FItems.size() + placements.size());
  for (size_t k = 0; k < first; ++k) items.push_back(std::move(FItems[k]));
  auto p = placements.begin();
  for (size_t b = 0; b <= n; ++b) {
    for (; p != placements.end() && p->Boundary == b; ++p) items.push_back(std::move(p->Marker));
    if (b < n) items.push_back(std::move(FItems[first + b]));
  }
  FItems = std::move(items);
}

size_t FindActionListEnd(TBitsEngine& be) {
  const TMemoryStream& s = be.Stream;
  const auto bytes = s.Bytes();
  const size_t start = s.Position();
  size_t p = start;
  while (p < bytes.size()) {
    const uint8_t code = bytes[p++];
    if (code == kActionEnd) return p;
    if (code < 0x80) continue;
    if (bytes.size() - p < 2) break;
    p += 2 + size_t{static_cast<uint16_t>(bytes[p] | (bytes[p + 1] << 8))};
  }
  return start;
}

// ---- copying and writing ---------------------------------------------------------------------

namespace {

std::unique_ptr<TSWFAction> CloneAction(const TSWFAction& source) {
  // A Try's block marker stays one, so that the copied Try can still be written from markers.
  std::unique_ptr<TSWFAction> copy;
  if (dynamic_cast<const TSWFTryOffsetMarker*>(&source)) copy = std::make_unique<TSWFTryOffsetMarker>();
  else copy = CreateActionByCode(source.ActionCode);
  if (!copy) throw ESWFError("Cannot copy an action record with code " + std::to_string(source.ActionCode));
  copy->Assign(source);
  return copy;
}

}  // namespace

void CopyActionList(const TSWFActionList& source, TSWFActionList& destination) {
  const size_t base = destination.Count();
  std::unordered_map<const TSWFAction*, size_t> markerIndex;
  for (size_t k = 0; k < source.Count(); ++k) {
    const TSWFAction& record = source[k];
    if (record.ActionCode == kActionMarker) markerIndex.emplace(&record, k);
    destination.Add(CloneAction(record));
  }
  for (size_t k = 0; k < source.Count(); ++k) {
    const auto* branch = AsBranch(source[k]);
    if (!branch || branch->StaticOffset) continue;
    auto& copy = static_cast<TSWFBranchAction&>(destination[base + k]);
    for (size_t slot = 0; slot < branch->MarkerCount(); ++slot) {
      const auto it = markerIndex.find(branch->FindMarker(slot));
      if (it != markerIndex.end())
        copy.SetMarker(&static_cast<TSWFOffsetMarker&>(destination[base + it->second]), slot);
    }
  }
}

void WriteActionList(TBitsEngine& be, TSWFActionList& list) {
  for (const auto& record : list)
    if (record->ActionCode == kActionMarker) static_cast<TSWFOffsetMarker&>(*record).StartWriting();
  for (const auto& record : list) record->WriteToStream(be);
  be.WriteByte(kActionEnd);
  // A placeholder nobody patched would send the branch to the record after it.
  for (const auto& record : list) {
    const auto* branch = AsBranch(*record);
    if (!branch) continue;
    for (size_t slot = 0; slot < branch->MarkerCount(); ++slot) {
      const TSWFOffsetMarker* m = branch->FindMarker(slot);
      if (m && m->PatchPending())
        throw ESWFError("The forward branch target " + MarkerName(*m) +
                        " is not written after its branch");
    }
  }
}

void LinkBranchesToMarkers(TSWFActionList& list) {
  for (const auto& record : list) {
    auto* branch = AsBranch(*record);
    if (!branch) continue;
    branch->StaticOffset = false;
    for (size_t slot = 0; slot < branch->MarkerCount(); ++slot)
      if (TSWFOffsetMarker* m = branch->FindMarker(slot); m && m->Placed) m->Active = true;
  }
}

}  // namespace tw::swf
