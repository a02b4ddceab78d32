#include "swf/display_tags.h"

#include <cstdio>

#include "swf/errors.h"

namespace tw::swf {

// ---- clip events -----------------------------------------------------------------------------

namespace {

// Our bit for each bit of the file's CLIPEVENTFLAGS (first byte lowest): the first byte holds
// KeyUp in its top bit down to Load, the second DragOver down to Data, the third Construct,
// KeyPress and DragOut in its low bits. The bits the format reserves keep their places, above
// the named events.
constexpr uint32_t kNamedWireBits = 0x0007FFFF;

uint32_t MapEvents(uint32_t from, bool toWire) {
  uint32_t out = from & ~kNamedWireBits;
  for (int i = 0; i < 8; ++i) {
    const int ours = i, wire = 7 - i;            // first byte
    const int ours2 = 8 + i, wire2 = 15 - i;     // second byte
    if (toWire) {
      if (from >> ours & 1) out |= 1u << wire;
      if (from >> ours2 & 1) out |= 1u << wire2;
    } else {
      if (from >> wire & 1) out |= 1u << ours;
      if (from >> wire2 & 1) out |= 1u << ours2;
    }
  }
  for (int k = 0; k < 3; ++k) {  // Construct, KeyPress, DragOut
    const int ours = 16 + k, wire = 18 - k;
    if (toWire ? (from >> ours & 1) : (from >> wire & 1)) out |= 1u << (toWire ? wire : ours);
  }
  return out;
}

}  // namespace

uint32_t ClipEventsToWire(uint32_t events) { return MapEvents(events, true); }
uint32_t ClipEventsFromWire(uint32_t wire) { return MapEvents(wire, false); }

std::string ClipEventNames(uint32_t events) {
  static constexpr const char* kNames[] = {
      "KeyUp",    "KeyDown", "MouseUp",        "MouseDown", "MouseMove", "Unload",    "EnterFrame",
      "Load",     "DragOver", "RollOut",       "RollOver",  "ReleaseOutside", "Release", "Press",
      "Initialize", "Data",  "Construct",      "KeyPress",  "DragOut"};
  std::string s;
  for (size_t i = 0; i < std::size(kNames); ++i) {
    if (!(events >> i & 1)) continue;
    if (!s.empty()) s += ",";
    s += kNames[i];
  }
  if (const uint32_t other = events & ~kNamedWireBits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", other);
    if (!s.empty()) s += ",";
    s += buf;
  }
  return s.empty() ? "none" : s;
}

void TSWFClipActionRecord::SetKeyCode(uint8_t code) {
  KeyCode = code;
  if (code) EventFlags |= ceKeyPress;
  else EventFlags &= ~uint32_t{ceKeyPress};
}

void TSWFClipActionRecord::Assign(const TSWFClipActionRecord& source) {
  EventFlags = source.EventFlags;
  KeyCode = source.KeyCode;
  EndCode = source.EndCode;
  Actions.Clear();
  CopyActionList(source.Actions, Actions);
}

TSWFClipActionRecord& TSWFClipActions::AddClipAction(uint32_t flags, uint8_t keyCode) {
  auto record = std::make_unique<TSWFClipActionRecord>();
  record->EventFlags = flags;
  record->SetKeyCode(keyCode);
  // The record's events, the key press a key code adds included: a player looks at this set
  // before it looks for a record.
  AllEventFlags |= record->EventFlags;
  Records.push_back(std::move(record));
  return *Records.back();
}

TSWFClipActionRecord* TSWFClipActions::FindClipAction(uint32_t events) {
  for (const auto& r : Records)
    if ((r->EventFlags & events) == events) return r.get();
  return nullptr;
}

void TSWFClipActions::Assign(const TSWFClipActions& source) {
  if (&source == this) return;
  Reserved = source.Reserved;
  AllEventFlags = source.AllEventFlags;
  WrittenWhenEmpty = source.WrittenWhenEmpty;
  Trailing = source.Trailing;
  Records.clear();
  Records.reserve(source.Records.size());
  for (const auto& r : source.Records) {
    auto copy = std::make_unique<TSWFClipActionRecord>();
    copy->Assign(*r);
    Records.push_back(std::move(copy));
  }
}

// ---- text for the dump -----------------------------------------------------------------------

namespace {

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

template <class T>
std::unique_ptr<T> CloneOrNull(const std::unique_ptr<T>& source) {
  return source ? std::make_unique<T>(*source) : nullptr;
}

}  // namespace

std::string MatrixText(const TSWFMatrix& m) {
  std::string s = std::to_string(m.TranslateX) + "," + std::to_string(m.TranslateY);
  if (m.HasScale) s += " scale " + Number(m.ScaleXf()) + "," + Number(m.ScaleYf());
  if (m.HasSkew) s += " skew " + Number(m.SkewXf()) + "," + Number(m.SkewYf());
  return s;
}

std::string ColorTransformText(const TSWFColorTransform& c) {
  std::string s;
  if (c.HasMult) {
    s += "mult " + std::to_string(c.MultR) + "," + std::to_string(c.MultG) + "," +
         std::to_string(c.MultB);
    if (c.HasAlpha) s += "," + std::to_string(c.MultA);
  }
  if (c.HasAdd) {
    if (!s.empty()) s += " ";
    s += "add " + std::to_string(c.AddR) + "," + std::to_string(c.AddG) + "," +
         std::to_string(c.AddB);
    if (c.HasAlpha) s += "," + std::to_string(c.AddA);
  }
  return s.empty() ? "identity" : s;
}

TSWFColorTransform ReadColorTransformAsIs(TBitsEngine& be, bool hasAlpha) {
  TSWFColorTransform c;
  c.SetAsRead(be.ReadColorTransform(hasAlpha));
  return c;
}

// ---- action lists in tags --------------------------------------------------------------------

namespace {

// Whether decoded bytes end with an End code of their own. The records are walked by their
// lengths as the list reader walks them: a zero byte inside a record's body is no End code. A
// record that runs past the end is kept raw, and a raw record gives back a final zero byte as
// the End code.
bool EndsWithEndCode(std::span<const uint8_t> b) {
  size_t p = 0;
  bool end = false;
  while (p < b.size()) {
    const uint8_t code = b[p];
    end = code == kActionEnd;
    if (code < 0x80) {
      ++p;
      continue;
    }
    const size_t left = b.size() - p;
    if (left < 3 || size_t{static_cast<uint16_t>(b[p + 1] | b[p + 2] << 8)} > left - 3)
      return b.back() == kActionEnd;
    p += 3 + size_t{static_cast<uint16_t>(b[p + 1] | b[p + 2] << 8)};
  }
  return end;
}

}  // namespace

bool TagActionsEndCode(std::span<const uint8_t> bytes, bool parse) {
  return parse ? EndsWithEndCode(bytes) : !bytes.empty() && bytes.back() == kActionEnd;
}

bool ReadTagActions(std::span<const uint8_t> bytes, TSWFActionList& list, bool parse) {
  if (parse) {
    TMemoryStream view = TMemoryStream::View(bytes);
    TBitsEngine be(view);
    ReadActionList(be, list, bytes.size());
  } else if (auto raw = RawActions(bytes); !raw->RawData.empty()) {
    list.Add(std::move(raw));  // a raw record never holds the final End code: the writer adds it
  }
  return TagActionsEndCode(bytes, parse);
}

void WriteTagActions(TBitsEngine& be, TSWFActionList& list, bool endCode) {
  be.FlushBits(true);
  if (endCode) {
    WriteActionList(be, list);
    return;
  }
  // The list writer always ends with the End code; a list that had none goes through a buffer
  // of its own, without its last byte.
  TMemoryStream temp;
  TBitsEngine tempEngine(temp);
  WriteActionList(tempEngine, list);
  be.WriteBytes(temp.Bytes().first(temp.Size() - 1));
}

// ---- TSWFBasedPlaceObject, TSWFPlaceObject ---------------------------------------------------

void TSWFBasedPlaceObject::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFBasedPlaceObject>(source);
  CharacterId = s.CharacterId;
  Depth = s.Depth;
}

void TSWFPlaceObject::Assign(const TBasedSWFObject& source) {
  TSWFBasedPlaceObject::Assign(source);
  const auto& s = SourceAs<TSWFPlaceObject>(source);
  ColorTransform = s.ColorTransform;  // as it is: Assign of the record would clamp
  HasColorTransform = s.HasColorTransform;
  Matrix = s.Matrix;
}

void TSWFPlaceObject::ReadFromStream(TBitsEngine& be) {
  CharacterId = be.ReadWord();
  Depth = be.ReadWord();
  Matrix.Read(be);
  HasColorTransform = be.Stream.Remaining() > 0;
  if (HasColorTransform) ColorTransform = ReadColorTransformAsIs(be, false);
  else ColorTransform = TSWFColorTransform{};
}

void TSWFPlaceObject::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(CharacterId);
  be.WriteWord(Depth);
  Matrix.Write(be);
  if (HasColorTransform || ColorTransform.HasAdd || ColorTransform.HasMult) {
    TCXFormRec c = ColorTransform.GetRec();
    c.HasAlpha = false;
    be.WriteColorTransform(c);
  }
}

void TSWFPlaceObject::Describe(TSWFFields& f) const {
  f.emplace_back("depth", std::to_string(Depth));
  f.emplace_back("character", std::to_string(CharacterId));
  f.emplace_back("matrix", MatrixText(Matrix));
  if (HasColorTransform) f.emplace_back("cxform", ColorTransformText(ColorTransform));
}

// ---- TSWFPlaceObject2 ------------------------------------------------------------------------

TSWFClipActions& TSWFPlaceObject2::ClipActions() {
  if (!FClipActions) FClipActions = std::make_unique<TSWFClipActions>();
  HasClipActions = true;
  return *FClipActions;
}

TSWFColorTransform& TSWFPlaceObject2::ColorTransform() {
  if (!FColorTransform) {
    FColorTransform = std::make_unique<TSWFColorTransform>();
    FColorTransform->HasAlpha = true;
  }
  HasColorTransform = true;
  return *FColorTransform;
}

TSWFMatrix& TSWFPlaceObject2::Matrix() {
  if (!FMatrix) FMatrix = std::make_unique<TSWFMatrix>();
  HasMatrix = true;
  return *FMatrix;
}

void TSWFPlaceObject2::SetCharacterId(uint16_t id) {
  CharacterId = id;
  HasCharacter = true;
}

bool TSWFPlaceObject2::WritesClipActions() const {
  return HasClipActions && FClipActions &&
         (!FClipActions->Empty() || FClipActions->WrittenWhenEmpty);
}

void TSWFPlaceObject2::Assign(const TBasedSWFObject& source) {
  TSWFBasedPlaceObject::Assign(source);
  const auto& s = SourceAs<TSWFPlaceObject2>(source);
  if (&s == this) return;
  ClipDepth = s.ClipDepth;
  Name = s.Name;
  ParseActions = s.ParseActions;
  HasCharacter = s.HasCharacter;
  HasClipActions = s.HasClipActions;
  HasClipDepth = s.HasClipDepth;
  HasColorTransform = s.HasColorTransform;
  HasMatrix = s.HasMatrix;
  HasName = s.HasName;
  HasRatio = s.HasRatio;
  Move = s.Move;
  Ratio = s.Ratio;
  FReadVersion = s.FReadVersion;
  FColorTransform = CloneOrNull(s.FColorTransform);  // copied as they are, never clamped
  FMatrix = CloneOrNull(s.FMatrix);
  FClipActions.reset();
  if (s.FClipActions) {
    FClipActions = std::make_unique<TSWFClipActions>();
    FClipActions->Assign(*s.FClipActions);
  }
}

int TSWFPlaceObject2::MinVersion() const {
  if (!WritesClipActions()) return 3;
  uint32_t events = FClipActions->AllEventFlags;
  for (const auto& record : FClipActions->Records) events |= record->EventFlags;
  return events & (ceConstruct | ceKeyPress | ceDragOut) ? 6 : 5;
}

void TSWFPlaceObject2::SetReadContext(const TSWFReadContext& context) {
  FReadVersion = context.Version;
  ParseActions = context.ParseActions;
}

void TSWFPlaceObject2::ReadFromStream(TBitsEngine& be) {
  const uint8_t flags = be.ReadByte();
  HasClipActions = flags & 0x80;
  HasClipDepth = flags & 0x40;
  HasName = flags & 0x20;
  HasRatio = flags & 0x10;
  HasColorTransform = flags & 0x08;
  HasMatrix = flags & 0x04;
  HasCharacter = flags & 0x02;
  Move = flags & 0x01;
  ReadExtrasAfterFlags(be);
  Depth = be.ReadWord();
  ReadExtrasAfterDepth(be);
  CharacterId = HasCharacter ? be.ReadWord() : 0;
  FMatrix.reset();
  if (HasMatrix) Matrix().Read(be);
  FColorTransform.reset();
  if (HasColorTransform) ColorTransform() = ReadColorTransformAsIs(be, true);
  Ratio = HasRatio ? be.ReadWord() : 0;
  Name = HasName ? be.ReadString() : std::string();
  ClipDepth = HasClipDepth ? be.ReadWord() : 0;
  ReadExtrasAfterClipDepth(be);
  FClipActions.reset();
  if (HasClipActions) ReadClipActions(be);
}

void TSWFPlaceObject2::WriteTagBody(TBitsEngine& be) {
  const bool clipActions = WritesClipActions();
  be.WriteByte(static_cast<uint8_t>((clipActions ? 0x80 : 0) | (HasClipDepth ? 0x40 : 0) |
                                    (HasName ? 0x20 : 0) | (HasRatio ? 0x10 : 0) |
                                    (HasColorTransform ? 0x08 : 0) | (HasMatrix ? 0x04 : 0) |
                                    (HasCharacter ? 0x02 : 0) | (Move ? 0x01 : 0)));
  WriteExtrasAfterFlags(be);
  be.WriteWord(Depth);
  WriteExtrasAfterDepth(be);
  if (HasCharacter) be.WriteWord(CharacterId);
  if (HasMatrix) (FMatrix ? *FMatrix : TSWFMatrix{}).Write(be);
  if (HasColorTransform) {
    TCXFormRec c = FColorTransform ? FColorTransform->GetRec() : TCXFormRec{};
    c.HasAlpha = true;
    be.WriteColorTransform(c);
  }
  if (HasRatio) be.WriteWord(Ratio);
  if (HasName) be.WriteString(Name);
  if (HasClipDepth) be.WriteWord(ClipDepth);
  WriteExtrasAfterClipDepth(be);
  if (clipActions) WriteClipActions(be);
}

void TSWFPlaceObject2::ReadClipActions(TBitsEngine& be) {
  const bool wide = FReadVersion >= 6;
  auto readFlags = [&] { return ClipEventsFromWire(wide ? be.ReadDWord() : be.ReadWord()); };
  auto& clip = ClipActions();
  clip.Reserved = be.ReadWord();
  clip.AllEventFlags = readFlags();
  while (be.Stream.Remaining() > 0) {
    const uint32_t events = readFlags();
    if (events == 0) break;
    auto record = std::make_unique<TSWFClipActionRecord>();
    record->EventFlags = events;
    uint32_t size = be.ReadDWord();
    if (events & ceKeyPress) {
      record->KeyCode = be.ReadByte();  // counted in the size
      size = size ? size - 1 : 0;
    }
    record->EndCode = ReadTagActions(be.ReadBytes(size), record->Actions, ParseActions);
    clip.Records.push_back(std::move(record));
  }
  const auto rest = be.ReadBytes(be.Stream.Remaining());
  clip.Trailing.assign(rest.begin(), rest.end());
  clip.WrittenWhenEmpty = true;
}

void TSWFPlaceObject2::WriteClipActions(TBitsEngine& be) {
  // The width of the event flags follows the version of the movie the tag is written into,
  // whatever kind of placement carries them.
  const bool wide = be.Context.Version >= 6;
  auto writeFlags = [&](uint32_t events) {
    const uint32_t wire = ClipEventsToWire(events);
    if (wide) be.WriteDWord(wire);
    else be.WriteWord(static_cast<uint16_t>(wire));
  };
  be.WriteWord(FClipActions->Reserved);
  writeFlags(FClipActions->AllEventFlags);
  TMemoryStream& s = be.Stream;
  for (const auto& record : FClipActions->Records) {
    writeFlags(record->EventFlags);
    const size_t sizeAt = s.Position();
    be.WriteDWord(uint32_t{0});
    if (record->EventFlags & ceKeyPress) be.WriteByte(record->KeyCode);
    WriteTagActions(be, record->Actions, record->EndCode);
    const size_t end = s.Position();
    s.SetPosition(sizeAt);
    be.WriteDWord(static_cast<uint32_t>(end - sizeAt - 4));
    s.SetPosition(end);
  }
  writeFlags(0);
  be.WriteBytes(FClipActions->Trailing);
}

void TSWFPlaceObject2::VisitReferencedIDs(const TIDVisitor& visit) {
  if (HasCharacter) visit(CharacterId);
}

void TSWFPlaceObject2::Describe(TSWFFields& f) const {
  f.emplace_back("depth", std::to_string(Depth));
  if (Move) f.emplace_back("move", "1");
  if (HasCharacter) f.emplace_back("character", std::to_string(CharacterId));
  if (HasMatrix) f.emplace_back("matrix", MatrixText(FMatrix ? *FMatrix : TSWFMatrix{}));
  if (HasColorTransform)
    f.emplace_back("cxform",
                   ColorTransformText(FColorTransform ? *FColorTransform : TSWFColorTransform{}));
  if (HasRatio) f.emplace_back("ratio", std::to_string(Ratio));
  if (HasName) f.emplace_back("name", "\"" + Name + "\"");
  if (HasClipDepth) f.emplace_back("clipdepth", std::to_string(ClipDepth));
  if (FClipActions) {
    f.emplace_back("clipactions", std::to_string(FClipActions->Count()));
    f.emplace_back("events", ClipEventNames(FClipActions->AllEventFlags));
  }
}

// ---- TSWFPlaceObject3 ------------------------------------------------------------------------

TSWFFilterList& TSWFPlaceObject3::Filters() {
  if (!FFilters) FFilters = std::make_unique<TSWFFilterList>();
  HasFilterList = true;
  return *FFilters;
}

void TSWFPlaceObject3::Assign(const TBasedSWFObject& source) {
  TSWFPlaceObject2::Assign(source);
  const auto& s = SourceAs<TSWFPlaceObject3>(source);
  if (&s == this) return;
  BlendMode = s.BlendMode;
  CacheAsBitmap = s.CacheAsBitmap;
  BitmapCache = s.BitmapCache;
  HasBlendMode = s.HasBlendMode;
  HasFilterList = s.HasFilterList;
  SaveAsPlaceObject2 = s.SaveAsPlaceObject2;
  HasImage = s.HasImage;
  HasClassName = s.HasClassName;
  ClassName = s.ClassName;
  HasVisible = s.HasVisible;
  Visible = s.Visible;
  HasOpaqueBackground = s.HasOpaqueBackground;
  OpaqueBackground = s.OpaqueBackground;
  Reserved = s.Reserved;
  FFilters.reset();
  if (s.FFilters) {
    FFilters = std::make_unique<TSWFFilterList>();
    FFilters->Assign(*s.FFilters);
  }
}

void TSWFPlaceObject3::ReadExtrasAfterFlags(TBitsEngine& be) {
  // The image and class-name bits are taken in every version: movies of version 10 and later
  // use them as well, and dropping them would change what the copy places.
  const uint8_t flags = be.ReadByte();
  Reserved = flags & 0x80;
  HasOpaqueBackground = flags & 0x40;
  HasVisible = flags & 0x20;
  HasImage = flags & 0x10;
  HasClassName = flags & 0x08;
  CacheAsBitmap = flags & 0x04;
  HasBlendMode = flags & 0x02;
  HasFilterList = flags & 0x01;
}

void TSWFPlaceObject3::ReadExtrasAfterDepth(TBitsEngine& be) {
  // Only the class-name bit announces a class name: real movies set the image bit with a
  // character and no name.
  ClassName = HasClassName ? be.ReadString() : std::string();
}

void TSWFPlaceObject3::ReadExtrasAfterClipDepth(TBitsEngine& be) {
  FFilters.reset();
  if (HasFilterList) Filters().ReadFromStream(be);
  BlendMode = HasBlendMode ? be.ReadByte() : 0;
  BitmapCache = CacheAsBitmap ? be.ReadByte() : 1;
  Visible = HasVisible ? be.ReadByte() : 1;
  if (HasOpaqueBackground) OpaqueBackground.SetRGBA(be.ReadRGBA());
  else OpaqueBackground.SetRGBA(0);
  OpaqueBackground.HasAlpha = true;
}

void TSWFPlaceObject3::WriteExtrasAfterFlags(TBitsEngine& be) {
  if (SaveAsPlaceObject2) return;
  be.WriteByte(static_cast<uint8_t>((Reserved ? 0x80 : 0) | (HasOpaqueBackground ? 0x40 : 0) |
                                    (HasVisible ? 0x20 : 0) | (HasImage ? 0x10 : 0) |
                                    (HasClassName ? 0x08 : 0) | (CacheAsBitmap ? 0x04 : 0) |
                                    (HasBlendMode ? 0x02 : 0) | (WritesFilters() ? 0x01 : 0)));
}

void TSWFPlaceObject3::WriteExtrasAfterDepth(TBitsEngine& be) {
  if (!SaveAsPlaceObject2 && HasClassName) be.WriteString(ClassName);
}

void TSWFPlaceObject3::WriteExtrasAfterClipDepth(TBitsEngine& be) {
  if (SaveAsPlaceObject2) return;
  if (WritesFilters()) FFilters->WriteToStream(be);
  if (HasBlendMode) be.WriteByte(BlendMode);
  if (CacheAsBitmap) be.WriteByte(BitmapCache);
  if (HasVisible) be.WriteByte(Visible);
  if (HasOpaqueBackground) be.WriteRGBA(OpaqueBackground.GetRGBA());
}

void TSWFPlaceObject3::Describe(TSWFFields& f) const {
  TSWFPlaceObject2::Describe(f);
  if (HasClassName) f.emplace_back("class", "\"" + ClassName + "\"");
  if (HasImage) f.emplace_back("image", "1");
  if (HasBlendMode) f.emplace_back("blend", std::to_string(BlendMode));
  if (FFilters) {
    std::string names;
    for (const auto& filter : *FFilters) {
      if (!names.empty()) names += ",";
      names += FilterName(filter->FilterID);
    }
    f.emplace_back("filters", names.empty() ? "none" : names);
  }
  if (CacheAsBitmap) f.emplace_back("cache", std::to_string(BitmapCache));
  if (HasVisible) f.emplace_back("visible", std::to_string(Visible));
  if (HasOpaqueBackground) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", OpaqueBackground.R, OpaqueBackground.G,
                  OpaqueBackground.B, OpaqueBackground.A);
    f.emplace_back("background", buf);
  }
}

// ---- removals --------------------------------------------------------------------------------

void TSWFRemoveObject::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFRemoveObject>(source);
  CharacterId = s.CharacterId;
  Depth = s.Depth;
}

void TSWFRemoveObject::ReadFromStream(TBitsEngine& be) {
  CharacterId = be.ReadWord();
  Depth = be.ReadWord();
}

void TSWFRemoveObject::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(CharacterId);
  be.WriteWord(Depth);
}

void TSWFRemoveObject::Describe(TSWFFields& f) const {
  f.emplace_back("character", std::to_string(CharacterId));
  f.emplace_back("depth", std::to_string(Depth));
}

void TSWFRemoveObject2::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Depth = SourceAs<TSWFRemoveObject2>(source).Depth;
}

void TSWFRemoveObject2::ReadFromStream(TBitsEngine& be) { Depth = be.ReadWord(); }

void TSWFRemoveObject2::WriteTagBody(TBitsEngine& be) { be.WriteWord(Depth); }

void TSWFRemoveObject2::Describe(TSWFFields& f) const {
  f.emplace_back("depth", std::to_string(Depth));
}

}  // namespace tw::swf
