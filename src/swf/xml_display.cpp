// Display-list and button tags as XML.
#include "swf/button_tags.h"
#include "swf/display_tags.h"
#include "swf/xml.h"
#include "swf/xml_actions.h"
#include "swf/xml_media.h"
#include "swf/xml_records.h"

namespace tw::swf {

namespace {

std::string BlendModeName(uint8_t mode) {
  static constexpr const char* kNames[] = {"0",       "normal",     "layer",    "multiply", "screen",
                                           "lighten", "darken",     "difference", "add",    "subtract",
                                           "invert",  "alpha",      "erase",    "overlay",  "hardlight"};
  return mode < std::size(kNames) ? kNames[mode] : std::to_string(mode);
}

// Action lists written without their End code say so; the End code is the rule.
void WriteEndCodeXml(TSWFXmlWriter& xml, bool endCode) {
  if (!endCode) xml.Bool("EndCode", false);
}
bool ReadEndCodeXml(const TSWFXmlNode& node) { return node.Has("EndCode") ? node.Bool("EndCode") : true; }

std::string ClipEventName(uint32_t events) { return ClipEventNames(events); }
std::string ConditionName(uint32_t conditions) {
  return ButtonConditionNames(static_cast<uint16_t>(conditions));
}
constexpr unsigned kClipEventCount = 19, kButtonConditionCount = 9;
constexpr uint32_t kReservedClipEvents = 0xFFF80000;

void WriteClipActionsXml(TSWFXmlWriter& xml, const TSWFClipActions& clip) {
  xml.Open("ClipActions");
  xml.String("AllEventFlags", ClipEventNames(clip.AllEventFlags));
  if (clip.Reserved != 0) xml.Int("Reserved", clip.Reserved);
  for (const auto& record : clip.Records) {
    xml.Open("ClipActionRecord");
    xml.String("EventFlags", ClipEventNames(record->EventFlags));
    if (record->EventFlags & ceKeyPress) xml.Int("KeyCode", record->KeyCode);
    WriteEndCodeXml(xml, record->EndCode);
    WriteActionListXml(xml, record->Actions);
    xml.Close();
  }
  xml.DataElement("Trailing", clip.Trailing);
  xml.Close();
}

// Events up to version 5 have 16 bits in the file: the later ones cannot be written there.
uint32_t ReadClipEventsXml(const TSWFXmlNode& node, std::string_view attribute, uint8_t version) {
  const uint32_t events = ReadNameSetXml(node, attribute, kClipEventCount, ClipEventName, kReservedClipEvents);
  if (version < 6 && ClipEventsToWire(events) > 0xFFFF)
    node.Fail(std::string(attribute) + "=\"" + ClipEventNames(events) +
              "\" holds events a movie of version " + std::to_string(version) + " cannot carry (it has 16 bits)");
  return events;
}

void ReadClipActionsXml(const TSWFXmlNode& node, TSWFClipActions& clip, uint8_t version) {
  clip.AllEventFlags = ReadClipEventsXml(node, "AllEventFlags", version);
  clip.Reserved = node.Get<uint16_t>("Reserved", 0);
  clip.WrittenWhenEmpty = true;
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() == "Trailing") {
      clip.Trailing = child.Base64();
      continue;
    }
    if (child.Name() != "ClipActionRecord") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    auto record = std::make_unique<TSWFClipActionRecord>();
    record->EventFlags = ReadClipEventsXml(child, "EventFlags", version);
    // A record without events would end the list in the file.
    if (record->EventFlags == 0) child.Fail("a <ClipActionRecord> needs at least one event");
    if (record->EventFlags & ceKeyPress) record->KeyCode = child.Get<uint8_t>("KeyCode");
    record->EndCode = ReadEndCodeXml(child);
    ReadActionListXml(child, record->Actions);
    clip.Records.push_back(std::move(record));
  }
}

// The fields PlaceObject2 and PlaceObject3 share, with those of PlaceObject3 when extras is set.
void WritePlacementXml(TSWFXmlWriter& xml, const TSWFPlaceObject2& place, const TSWFPlaceObject3* extras) {
  xml.Int("Depth", place.Depth);
  if (place.HasCharacter) xml.Int("CharacterId", place.CharacterId);
  xml.Flag("PlaceFlagMove", place.Move);
  if (place.HasRatio) xml.Int("Ratio", place.Ratio);
  if (place.HasName) xml.String("Name", place.Name);
  if (place.HasClipDepth) xml.Int("ClipDepth", place.ClipDepth);
  if (extras) {
    if (extras->HasClassName) xml.String("ClassName", extras->ClassName);
    xml.Flag("PlaceFlagHasImage", extras->HasImage);
    if (extras->HasBlendMode) WriteCodeXml(xml, "BlendMode", extras->BlendMode, BlendModeName);
    if (extras->CacheAsBitmap) xml.Int("BitmapCache", extras->BitmapCache);
    if (extras->HasVisible) xml.Int("Visible", extras->Visible);
    if (extras->HasOpaqueBackground) xml.Color("BackgroundColor", extras->OpaqueBackground);
    xml.Flag("Reserved", extras->Reserved);
  }
  if (place.HasMatrix) WriteMatrixXml(xml, "Matrix", place.FindMatrix() ? *place.FindMatrix() : TSWFMatrix{});
  if (place.HasColorTransform)
    WriteColorTransformXml(xml, "ColorTransform",
                           place.FindColorTransform() ? *place.FindColorTransform() : TSWFColorTransform{}, true);
  if (extras && extras->HasFilterList && extras->FindFilters() && !extras->FindFilters()->Empty())
    WriteFilterListXml(xml, "SurfaceFilterList", *extras->FindFilters());
  if (place.WritesClipActions()) WriteClipActionsXml(xml, *place.FindClipActions());
}

}  // namespace

// ---- placements ----------------------------------------------------------------------------------

void TSWFPlaceObject::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", CharacterId);
  xml.Int("Depth", Depth);
  WriteMatrixXml(xml, "Matrix", Matrix);
  if (HasColorTransform || ColorTransform.HasAdd || ColorTransform.HasMult)
    WriteColorTransformXml(xml, "ColorTransform", ColorTransform, false);
}
void TSWFPlaceObject::ReadXml(const TSWFXmlNode& node) {
  CharacterId = node.Get<uint16_t>("CharacterId");
  Depth = node.Get<uint16_t>("Depth");
  ReadMatrixXml(node.Child("Matrix"), Matrix);
  const auto transform = node.FindChild("ColorTransform");
  HasColorTransform = transform.has_value();
  ColorTransform = TSWFColorTransform{};
  if (transform) ReadColorTransformXml(*transform, ColorTransform, false);
}

void TSWFPlaceObject2::WriteXml(TSWFXmlWriter& xml) { WritePlacementXml(xml, *this, nullptr); }

void TSWFPlaceObject2::ReadXml(const TSWFXmlNode& node) {
  Depth = node.Get<uint16_t>("Depth");
  HasCharacter = node.Has("CharacterId");
  CharacterId = node.Get<uint16_t>("CharacterId", 0);
  Move = node.Flag("PlaceFlagMove");
  HasRatio = node.Has("Ratio");
  Ratio = node.Get<uint16_t>("Ratio", 0);
  HasName = node.Has("Name");
  Name = HasName ? node.CString("Name") : std::string();
  HasClipDepth = node.Has("ClipDepth");
  ClipDepth = node.Get<uint16_t>("ClipDepth", 0);
  FMatrix.reset();
  HasMatrix = false;
  if (const auto matrix = node.FindChild("Matrix")) ReadMatrixXml(*matrix, Matrix());
  FColorTransform.reset();
  HasColorTransform = false;
  if (const auto transform = node.FindChild("ColorTransform"))
    ReadColorTransformXml(*transform, ColorTransform(), true);
  FClipActions.reset();
  HasClipActions = false;
  if (const auto clip = node.FindChild("ClipActions")) ReadClipActionsXml(*clip, ClipActions(), FReadVersion);
}

void TSWFPlaceObject3::WriteXml(TSWFXmlWriter& xml) {
  WritePlacementXml(xml, *this, SaveAsPlaceObject2 ? nullptr : this);
}

void TSWFPlaceObject3::ReadXml(const TSWFXmlNode& node) {
  TSWFPlaceObject2::ReadXml(node);
  SaveAsPlaceObject2 = false;
  HasClassName = node.Has("ClassName");
  ClassName = HasClassName ? node.CString("ClassName") : std::string();
  HasImage = node.Flag("PlaceFlagHasImage");
  HasBlendMode = node.Has("BlendMode");
  BlendMode = HasBlendMode ? ReadCodeXml(node, "BlendMode", 255, BlendModeName) : 0;
  CacheAsBitmap = node.Has("BitmapCache");
  BitmapCache = node.Get<uint8_t>("BitmapCache", 1);
  HasVisible = node.Has("Visible");
  Visible = node.Get<uint8_t>("Visible", 1);
  HasOpaqueBackground = node.Has("BackgroundColor");
  OpaqueBackground.SetRGBA(0);
  OpaqueBackground.HasAlpha = true;
  if (HasOpaqueBackground) node.Color("BackgroundColor", OpaqueBackground);
  Reserved = node.Flag("Reserved");
  FFilters.reset();
  HasFilterList = false;
  if (const auto filters = node.FindChild("SurfaceFilterList")) ReadFilterListXml(*filters, Filters());
}

// ---- removals ------------------------------------------------------------------------------------

void TSWFRemoveObject::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", CharacterId);
  xml.Int("Depth", Depth);
}
void TSWFRemoveObject::ReadXml(const TSWFXmlNode& node) {
  CharacterId = node.Get<uint16_t>("CharacterId");
  Depth = node.Get<uint16_t>("Depth");
}

void TSWFRemoveObject2::WriteXml(TSWFXmlWriter& xml) { xml.Int("Depth", Depth); }
void TSWFRemoveObject2::ReadXml(const TSWFXmlNode& node) { Depth = node.Get<uint16_t>("Depth"); }

// ---- buttons -------------------------------------------------------------------------------------

namespace {

struct TStateField {
  std::string_view Name;
  uint8_t State;
};
constexpr TStateField kStates[] = {{"ButtonStateHitTest", bsHitTest},
                                   {"ButtonStateDown", bsDown},
                                   {"ButtonStateOver", bsOver},
                                   {"ButtonStateUp", bsUp}};

// Extended: the record of DefineButton2, which always has a colour transform and may have
// filters and a blend mode.
void WriteButtonRecordXml(TSWFXmlWriter& xml, const TSWFButtonRecord& record, bool extended) {
  xml.Open("ButtonRecord");
  xml.Int("CharacterId", record.CharacterId);
  xml.Int("PlaceDepth", record.PlaceDepth);
  for (const auto& s : kStates) xml.Flag(s.Name, record.States & s.State);
  if (record.HasBlendMode) WriteCodeXml(xml, "BlendMode", record.BlendMode, BlendModeName);
  if (record.ReservedFlags != 0) xml.Hex("Reserved", record.ReservedFlags);
  WriteMatrixXml(xml, "Matrix", record.Matrix);
  if (extended) {
    const TSWFColorTransform* transform = record.HasColorTransform ? record.FindColorTransform() : nullptr;
    WriteColorTransformXml(xml, "ColorTransform", transform ? *transform : TSWFColorTransform{}, true);
  }
  if (record.HasFilterList) {
    const TSWFFilterList none;
    WriteFilterListXml(xml, "FilterList", record.FindFilters() ? *record.FindFilters() : none);
  }
  xml.Close();
}

std::unique_ptr<TSWFButtonRecord> ReadButtonRecordXml(const TSWFXmlNode& node, bool extended) {
  auto record = std::make_unique<TSWFButtonRecord>(node.Get<uint16_t>("CharacterId"));
  record->PlaceDepth = node.Get<uint16_t>("PlaceDepth");
  for (const auto& s : kStates)
    if (node.Flag(s.Name)) record->States |= s.State;
  // The bits of the flags byte that hold no field in this tag.
  const uint8_t reserved = extended ? 0xC0 : 0xF0;
  record->ReservedFlags = static_cast<uint8_t>(node.Has("Reserved") ? node.Int("Reserved", 0, 255) : 0);
  if ((record->ReservedFlags & ~reserved) != 0)
    node.Fail("Reserved=" + std::to_string(record->ReservedFlags) + " holds bits other than the reserved " +
              std::to_string(reserved));
  ReadMatrixXml(node.Child("Matrix"), record->Matrix);
  if (extended) {
    record->HasBlendMode = node.Has("BlendMode");
    if (record->HasBlendMode) record->BlendMode = ReadCodeXml(node, "BlendMode", 255, BlendModeName);
    ReadColorTransformXml(node.Child("ColorTransform"), record->ColorTransform(), true);
    if (const auto filters = node.FindChild("FilterList")) ReadFilterListXml(*filters, record->Filters());
  }
  // A zero flags byte would end the records in the file.
  if ((record->ReservedFlags | record->States | record->HasBlendMode | record->HasFilterList) == 0)
    node.Fail("a <ButtonRecord> shows its character in no state");
  return record;
}

}  // namespace

void TSWFDefineButton::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("ButtonId", ButtonId);
  WriteEndCodeXml(xml, EndCode);
  for (const auto& record : Records) WriteButtonRecordXml(xml, *record, false);
  WriteActionListXml(xml, Actions);
}

// The records come first, then the actions.
void TSWFDefineButton::ReadXml(const TSWFXmlNode& node) {
  ButtonId = node.Get<uint16_t>("ButtonId");
  EndCode = ReadEndCodeXml(node);
  Records.clear();
  Actions.Clear();
  const auto children = node.Elements();
  size_t i = 0;
  for (; i < children.size() && children[i].Name() == "ButtonRecord"; ++i)
    Records.push_back(ReadButtonRecordXml(children[i], false));
  for (size_t k = i; k < children.size(); ++k)
    if (children[k].Name() == "ButtonRecord") children[k].Fail("a <ButtonRecord> after the actions");
  ReadActionListXml(std::span(children).subspan(i), Actions);
}

void TSWFDefineButton2::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("ButtonId", ButtonId);
  xml.Flag("TrackAsMenu", TrackAsMenu);
  if (ReservedFlags != 0) xml.Hex("Reserved", ReservedFlags);
  for (const auto& record : Records) WriteButtonRecordXml(xml, *record, true);
  for (const auto& action : CondActions) {
    xml.Open("ButtonCondAction");
    xml.String("Conditions", ButtonConditionNames(action->Conditions));
    if (action->KeyPress != 0) xml.Int("KeyPress", action->KeyPress);
    WriteEndCodeXml(xml, action->EndCode);
    WriteActionListXml(xml, action->Actions);
    xml.Close();
  }
}

void TSWFDefineButton2::ReadXml(const TSWFXmlNode& node) {
  ButtonId = node.Get<uint16_t>("ButtonId");
  TrackAsMenu = node.Flag("TrackAsMenu");
  ReservedFlags = static_cast<uint8_t>(node.Has("Reserved") ? node.Int("Reserved", 0, 0xFE) : 0);
  if (ReservedFlags & 1) node.Fail("Reserved holds the bit of TrackAsMenu");
  Records.clear();
  CondActions.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() == "ButtonRecord") {
      if (!CondActions.empty()) child.Fail("a <ButtonRecord> after the condition actions");
      Records.push_back(ReadButtonRecordXml(child, true));
      continue;
    }
    if (child.Name() != "ButtonCondAction") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    auto action = std::make_unique<TSWFButtonCondAction>();
    action->Conditions = static_cast<uint16_t>(
        ReadNameSetXml(child, "Conditions", kButtonConditionCount, ConditionName, 0));
    action->KeyPress = static_cast<uint8_t>(child.Has("KeyPress") ? child.Int("KeyPress", 0, 127) : 0);
    action->EndCode = ReadEndCodeXml(child);
    ReadActionListXml(child, action->Actions);
    CondActions.push_back(std::move(action));
  }
}

// One transform per button record, in the order of the records.
void TSWFDefineButtonCxform::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("ButtonId", ButtonId);
  WriteColorTransformXml(xml, "ColorTransform", ColorTransform, false);
  for (const auto& transform : FurtherTransforms) WriteColorTransformXml(xml, "ColorTransform", transform, false);
}

void TSWFDefineButtonCxform::ReadXml(const TSWFXmlNode& node) {
  ButtonId = node.Get<uint16_t>("ButtonId");
  FurtherTransforms.clear();
  const auto children = node.Elements();
  if (children.empty()) node.Fail("<DefineButtonCxform> lacks its <ColorTransform> element");
  for (const TSWFXmlNode& child : children) {
    if (child.Name() != "ColorTransform") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    TSWFColorTransform transform;
    ReadColorTransformXml(child, transform, false);
    if (&child == &children.front()) ColorTransform = transform;
    else FurtherTransforms.push_back(transform);
  }
}

}  // namespace tw::swf
