#include "swf/button_tags.h"

#include <algorithm>

#include "swf/display_tags.h"
#include "swf/errors.h"

namespace tw::swf {

// ---- button records --------------------------------------------------------------------------

namespace {

// Down and Over trade places between our bits and the file's.
uint8_t StatesToWire(uint8_t states) {
  return static_cast<uint8_t>((states & (bsUp | bsHitTest)) | ((states & bsDown) ? 4 : 0) |
                              ((states & bsOver) ? 2 : 0));
}

uint8_t StatesFromWire(uint8_t wire) {
  return static_cast<uint8_t>((wire & 9) | ((wire & 4) ? bsDown : 0) | ((wire & 2) ? bsOver : 0));
}

}  // namespace

TSWFColorTransform& TSWFButtonRecord::ColorTransform() {
  if (!FColorTransform) {
    FColorTransform = std::make_unique<TSWFColorTransform>();
    FColorTransform->HasAlpha = true;
  }
  HasColorTransform = true;
  return *FColorTransform;
}

TSWFFilterList& TSWFButtonRecord::Filters() {
  if (!FFilters) FFilters = std::make_unique<TSWFFilterList>();
  HasFilterList = true;
  return *FFilters;
}

void TSWFButtonRecord::Assign(const TSWFButtonRecord& source) {
  if (&source == this) return;
  BlendMode = source.BlendMode;
  HasBlendMode = source.HasBlendMode;
  HasFilterList = source.HasFilterList;
  States = source.States;
  CharacterId = source.CharacterId;
  HasColorTransform = source.HasColorTransform;
  PlaceDepth = source.PlaceDepth;
  Matrix = source.Matrix;
  ReservedFlags = source.ReservedFlags;
  // The transform as it is: the record's Assign would clamp what a file may hold.
  FColorTransform = source.FColorTransform
                        ? std::make_unique<TSWFColorTransform>(*source.FColorTransform)
                        : nullptr;
  FFilters.reset();
  if (source.FFilters) {
    FFilters = std::make_unique<TSWFFilterList>();
    FFilters->Assign(*source.FFilters);
  }
}

void TSWFButtonRecord::ReadFromStream(TBitsEngine& be, uint8_t flags, bool extended) {
  States = StatesFromWire(flags & 0x0F);
  HasBlendMode = extended && (flags & 0x20);
  HasFilterList = extended && (flags & 0x10);
  ReservedFlags = flags & (extended ? 0xC0 : 0xF0);
  CharacterId = be.ReadWord();
  PlaceDepth = be.ReadWord();
  Matrix.Read(be);
  FColorTransform.reset();
  HasColorTransform = false;
  if (extended) ColorTransform() = ReadColorTransformAsIs(be, true);
  FFilters.reset();
  if (HasFilterList) Filters().ReadFromStream(be);
  BlendMode = HasBlendMode ? be.ReadByte() : 0;
}

void TSWFButtonRecord::WriteToStream(TBitsEngine& be, bool extended) const {
  be.WriteByte(static_cast<uint8_t>(ReservedFlags | (HasBlendMode ? 0x20 : 0) |
                                    (HasFilterList ? 0x10 : 0) | StatesToWire(States & 0x0F)));
  be.WriteWord(CharacterId);
  be.WriteWord(PlaceDepth);
  Matrix.Write(be);
  if (extended || HasColorTransform) {
    TCXFormRec c = HasColorTransform && FColorTransform ? FColorTransform->GetRec() : TCXFormRec{};
    c.HasAlpha = true;
    be.WriteColorTransform(c);
  }
  if (HasFilterList) {
    if (FFilters) FFilters->WriteToStream(be);
    else be.WriteByte(0);
  }
  if (HasBlendMode) be.WriteByte(BlendMode);
}

// ---- condition actions -----------------------------------------------------------------------

namespace {

// The first condition byte of the file holds, from its top bit, IdleToOverDown, OutDownToIdle,
// OutDownToOverDown, OverDownToOutDown, OverDownToOverUp, OverUpToOverDown, OverUpToIdle and
// IdleToOverUp: our bits but for the two "out down" ones, which trade places.
uint8_t ConditionsToWire(uint16_t c) {
  uint8_t wire = static_cast<uint8_t>(c & 0xCF);
  if (c & bcOutDownToOverDown) wire |= 0x20;
  if (c & bcOverDownToOutDown) wire |= 0x10;
  return wire;
}

uint16_t ConditionsFromWire(uint8_t first, uint8_t second) {
  uint16_t c = first & 0xCF;
  if (first & 0x20) c |= bcOutDownToOverDown;
  if (first & 0x10) c |= bcOverDownToOutDown;
  if (second & 1) c |= bcOverDownToIdle;
  return c;
}

}  // namespace

std::string ButtonConditionNames(uint16_t conditions) {
  static constexpr const char* kNames[] = {
      "IdleToOverUp",      "OverUpToIdle",      "OverUpToOverDown", "OverDownToOverUp",
      "OutDownToOverDown", "OverDownToOutDown", "OutDownToIdle",    "IdleToOverDown",
      "OverDownToIdle"};
  std::string s;
  for (size_t i = 0; i < std::size(kNames); ++i) {
    if (!(conditions >> i & 1)) continue;
    if (!s.empty()) s += ",";
    s += kNames[i];
  }
  return s.empty() ? "none" : s;
}

void TSWFButtonCondAction::Assign(const TSWFButtonCondAction& source) {
  Conditions = source.Conditions;
  KeyPress = source.KeyPress;
  EndCode = source.EndCode;
  Actions.Clear();
  CopyActionList(source.Actions, Actions);
}

// ---- TSWFBasedButton -------------------------------------------------------------------------

TSWFButtonRecord& TSWFBasedButton::AddRecord(uint16_t characterId, uint8_t states,
                                             uint16_t depth) {
  auto record = std::make_unique<TSWFButtonRecord>(characterId);
  record->States = states;
  record->PlaceDepth = depth;
  Records.push_back(std::move(record));
  return *Records.back();
}

void TSWFBasedButton::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFBasedButton>(source);
  if (&s == this) return;
  ButtonId = s.ButtonId;
  ParseActions = s.ParseActions;
  Records.clear();
  Records.reserve(s.Records.size());
  for (const auto& r : s.Records) {
    auto copy = std::make_unique<TSWFButtonRecord>();
    copy->Assign(*r);
    Records.push_back(std::move(copy));
  }
}

void TSWFBasedButton::VisitReferencedIDs(const TIDVisitor& visit) {
  for (auto& r : Records) visit(r->CharacterId);
}

void TSWFBasedButton::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ButtonId));
  std::string records;
  for (const auto& r : Records) {
    if (!records.empty()) records += ",";
    records += std::to_string(r->CharacterId) + "@" + std::to_string(r->PlaceDepth) + ":";
    static constexpr char kStates[] = "udoh";  // up, down, over, hit test
    for (int i = 0; i < 4; ++i)
      if (r->States >> i & 1) records += kStates[i];
  }
  f.emplace_back("records", records.empty() ? "none" : records);
}

void TSWFBasedButton::ReadRecords(TBitsEngine& be, bool extended) {
  Records.clear();
  for (;;) {
    const uint8_t flags = be.ReadByte();
    if (flags == 0) break;
    auto record = std::make_unique<TSWFButtonRecord>();
    record->ReadFromStream(be, flags, extended);
    Records.push_back(std::move(record));
  }
}

void TSWFBasedButton::WriteRecords(TBitsEngine& be, bool extended) const {
  for (const auto& r : Records) {
    if ((r->ReservedFlags | r->States | r->HasBlendMode | r->HasFilterList) == 0)
      throw ESWFError("A button record shows its character in no state");
    r->WriteToStream(be, extended);
  }
  be.WriteByte(0);
}

bool TSWFBasedButton::ReadActions(TBitsEngine& be, TSWFActionList& list, size_t size) const {
  return ReadTagActions(be.ReadBytes(size), list, ParseActions);
}

// ---- DefineButton ----------------------------------------------------------------------------

void TSWFDefineButton::Assign(const TBasedSWFObject& source) {
  TSWFBasedButton::Assign(source);
  const auto& s = SourceAs<TSWFDefineButton>(source);
  if (&s == this) return;
  EndCode = s.EndCode;
  Actions.Clear();
  CopyActionList(s.Actions, Actions);
}

int TSWFDefineButton::MinVersion() const { return std::max(3, Actions.MinVersion()); }

void TSWFDefineButton::ReadFromStream(TBitsEngine& be) {
  ButtonId = be.ReadWord();
  ReadRecords(be, false);
  Actions.Clear();
  // The actions end at their End code; a list without one runs to the end of the body.
  const size_t start = be.Stream.Position();
  const size_t end = FindActionListEnd(be);
  EndCode = ReadActions(be, Actions, end > start ? end - start : be.Stream.Remaining());
}

void TSWFDefineButton::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ButtonId);
  WriteRecords(be, false);
  WriteTagActions(be, Actions, EndCode);
}

void TSWFDefineButton::Describe(TSWFFields& f) const {
  TSWFBasedButton::Describe(f);
  size_t records = 0;
  for (const auto& a : Actions) records += a->ActionCode != kActionMarker;
  f.emplace_back("actions", std::to_string(records));
}

// ---- DefineButton2 ---------------------------------------------------------------------------

TSWFButtonCondAction& TSWFDefineButton2::AddCondAction(uint16_t conditions, uint8_t keyPress) {
  auto action = std::make_unique<TSWFButtonCondAction>();
  action->Conditions = conditions;
  action->KeyPress = keyPress & 0x7F;
  CondActions.push_back(std::move(action));
  return *CondActions.back();
}

void TSWFDefineButton2::Assign(const TBasedSWFObject& source) {
  TSWFBasedButton::Assign(source);
  const auto& s = SourceAs<TSWFDefineButton2>(source);
  if (&s == this) return;
  TrackAsMenu = s.TrackAsMenu;
  ReservedFlags = s.ReservedFlags;
  CondActions.clear();
  CondActions.reserve(s.CondActions.size());
  for (const auto& a : s.CondActions) {
    auto copy = std::make_unique<TSWFButtonCondAction>();
    copy->Assign(*a);
    CondActions.push_back(std::move(copy));
  }
}

void TSWFDefineButton2::ReadFromStream(TBitsEngine& be) {
  ButtonId = be.ReadWord();
  const uint8_t flags = be.ReadByte();
  TrackAsMenu = flags & 1;
  ReservedFlags = flags & 0xFE;
  const uint16_t actionOffset = be.ReadWord();
  ReadRecords(be, true);
  CondActions.clear();
  if (actionOffset == 0) return;
  while (be.Stream.Remaining() > 0) {
    const uint16_t size = be.ReadWord();
    const uint8_t first = be.ReadByte();
    const uint8_t second = be.ReadByte();
    auto action = std::make_unique<TSWFButtonCondAction>();
    action->Conditions = ConditionsFromWire(first, second);
    action->KeyPress = second >> 1;
    // The size leads to the next condition action; the last one (size 0) runs to the end.
    if (size != 0 && size < 4) throw ESWFError("A button condition action is too short");
    action->EndCode =
        ReadActions(be, action->Actions, size == 0 ? be.Stream.Remaining() : size - 4u);
    CondActions.push_back(std::move(action));
    if (size == 0) break;
  }
}

void TSWFDefineButton2::WriteTagBody(TBitsEngine& be) {
  TMemoryStream& s = be.Stream;
  be.WriteWord(ButtonId);
  be.WriteByte(static_cast<uint8_t>((ReservedFlags & 0xFE) | (TrackAsMenu ? 1 : 0)));
  const size_t offsetAt = s.Position();
  be.WriteWord(uint16_t{0});
  WriteRecords(be, true);
  if (CondActions.empty()) return;
  auto patch = [&](size_t at, size_t value, const char* what) {
    if (value > 0xFFFF) throw ESWFError(std::string(what) + " exceeds 65535 bytes");
    const size_t end = s.Position();
    s.SetPosition(at);
    be.WriteWord(static_cast<uint16_t>(value));
    s.SetPosition(end);
  };
  patch(offsetAt, s.Position() - offsetAt, "The button records");
  for (size_t i = 0; i < CondActions.size(); ++i) {
    const auto& action = *CondActions[i];
    const size_t sizeAt = s.Position();
    be.WriteWord(uint16_t{0});
    be.WriteByte(ConditionsToWire(action.Conditions));
    be.WriteByte(static_cast<uint8_t>((action.KeyPress & 0x7F) << 1 |
                                      ((action.Conditions & bcOverDownToIdle) ? 1 : 0)));
    WriteTagActions(be, CondActions[i]->Actions, action.EndCode);
    if (i + 1 < CondActions.size()) patch(sizeAt, s.Position() - sizeAt, "A condition action");
  }
}

void TSWFDefineButton2::Describe(TSWFFields& f) const {
  TSWFBasedButton::Describe(f);
  if (TrackAsMenu) f.emplace_back("menu", "1");
  f.emplace_back("condactions", std::to_string(CondActions.size()));
}

// ---- DefineButtonCxform ----------------------------------------------------------------------

void TSWFDefineButtonCxform::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineButtonCxform>(source);
  ButtonId = s.ButtonId;
  ColorTransform = s.ColorTransform;  // as it is: the record's Assign would clamp
  FurtherTransforms = s.FurtherTransforms;
}

void TSWFDefineButtonCxform::ReadFromStream(TBitsEngine& be) {
  ButtonId = be.ReadWord();
  ColorTransform = ReadColorTransformAsIs(be, false);
  FurtherTransforms.clear();
  while (be.Stream.Remaining() > 0) FurtherTransforms.push_back(ReadColorTransformAsIs(be, false));
}

void TSWFDefineButtonCxform::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ButtonId);
  for (size_t i = 0; i <= FurtherTransforms.size(); ++i) {
    TCXFormRec c = (i == 0 ? ColorTransform : FurtherTransforms[i - 1]).GetRec();
    c.HasAlpha = false;
    be.WriteColorTransform(c);
  }
}

void TSWFDefineButtonCxform::Describe(TSWFFields& f) const {
  f.emplace_back("button", std::to_string(ButtonId));
  f.emplace_back("cxform", ColorTransformText(ColorTransform));
  for (const auto& c : FurtherTransforms) f.emplace_back("cxform", ColorTransformText(c));
}

// ---- DefineButtonSound -----------------------------------------------------------------------

TSWFStartSound& TSWFDefineButtonSound::Sound(TSWFButtonSoundEntry entry) {
  auto& sound = FSounds.at(entry);
  if (!sound) sound = std::make_unique<TSWFStartSound>();
  return *sound;
}

const TSWFStartSound* TSWFDefineButtonSound::FindSound(TSWFButtonSoundEntry entry) const {
  return FSounds.at(entry).get();
}

void TSWFDefineButtonSound::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineButtonSound>(source);
  if (&s == this) return;
  ButtonId = s.ButtonId;
  for (size_t i = 0; i < FSounds.size(); ++i) {
    FSounds[i].reset();
    if (s.FSounds[i] && s.FSounds[i]->ID != 0) {
      FSounds[i] = std::make_unique<TSWFStartSound>();
      FSounds[i]->Assign(*s.FSounds[i]);
    }
  }
}

void TSWFDefineButtonSound::ReadFromStream(TBitsEngine& be) {
  ButtonId = be.ReadWord();
  for (auto& sound : FSounds) {
    sound.reset();
    const size_t at = be.Stream.Position();
    if (be.ReadWord() == 0) continue;
    be.Stream.SetPosition(at);
    sound = std::make_unique<TSWFStartSound>();
    sound->ReadFromStream(be);
  }
}

void TSWFDefineButtonSound::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ButtonId);
  for (auto& sound : FSounds) {
    if (sound && sound->ID != 0) sound->WriteTagBody(be);
    else be.WriteWord(uint16_t{0});
  }
}

void TSWFDefineButtonSound::VisitReferencedIDs(const TIDVisitor& visit) {
  visit(ButtonId);
  for (auto& sound : FSounds)
    if (sound && sound->ID != 0) visit(sound->ID);
}

void TSWFDefineButtonSound::Describe(TSWFFields& f) const {
  static constexpr const char* kNames[] = {"overuptoidle", "idletooverup", "overuptooverdown",
                                           "overdowntooverup"};
  f.emplace_back("button", std::to_string(ButtonId));
  for (size_t i = 0; i < FSounds.size(); ++i)
    if (FSounds[i] && FSounds[i]->ID != 0) f.emplace_back(kNames[i], std::to_string(FSounds[i]->ID));
}

}  // namespace tw::swf
