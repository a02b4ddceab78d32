#include "swf/tag.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

namespace tw::swf {

bool AlwaysLongHeader(uint16_t tagCode) {
  return tagCode == 19 || tagCode == 20 || tagCode == 36 || tagCode == 60;
}

void WriteTagHeader(TBitsEngine& be, uint16_t tagCode, uint32_t bodySize, bool forceLong) {
  if (forceLong || bodySize > 62) {
    be.WriteWord(static_cast<uint16_t>(tagCode * 64 + 63));
    be.WriteDWord(bodySize);
  } else {
    be.WriteWord(static_cast<uint16_t>(tagCode * 64 + bodySize));
  }
}

void WriteTagFromStream(TMemoryStream& dest, uint16_t tagCode, std::span<const uint8_t> source,
                        size_t length) {
  const size_t n = length == 0 ? source.size() : std::min(length, source.size());
  TBitsEngine be(dest);
  // Unlike a tag object, this helper does not force the long header for SoundStreamBlock.
  WriteTagHeader(be, tagCode, static_cast<uint32_t>(n), tagCode == 20 || tagCode == 36 || tagCode == 60);
  dest.WriteBuffer(source.data(), n);
}

// ---- TSWFObject ------------------------------------------------------------------------------

void TSWFObject::Assign(const TBasedSWFObject& source) {
  BodySize = SourceAs<TSWFObject>(source).BodySize;
}

void TSWFObject::WriteToStream(TBitsEngine& be) {
  if (TagID == 0 || TagID == 1) {
    be.WriteWord(static_cast<uint16_t>(TagID * 64));
    return;
  }
  be.FlushBits(true);
  TMemoryStream& out = be.Stream;
  if (!out.IsView() && out.Position() == out.Size()) {
    // Fast path: the body is written in place after room for the long header; a short header
    // then moves the (at most 62-byte) body four bytes down.
    const size_t start = out.Size();
    static constexpr uint8_t kRoom[6] = {};
    out.WriteBuffer(kRoom, 6);
    TBitsEngine body(out, be.Context);
    WriteTagBody(body);
    body.FlushBits(true);
    const size_t end = out.Size();
    const size_t size = end - start - 6;
    BodySize = static_cast<int32_t>(size);
    auto& buf = out.Buffer();
    if (size > 62 || AlwaysLongHeader(TagID)) {
      const uint16_t word = static_cast<uint16_t>(TagID * 64 + 63);
      buf[start] = static_cast<uint8_t>(word);
      buf[start + 1] = static_cast<uint8_t>(word >> 8);
      for (int i = 0; i < 4; ++i) buf[start + 2 + i] = static_cast<uint8_t>(size >> (8 * i));
    } else {
      const uint16_t word = static_cast<uint16_t>(TagID * 64 + size);
      buf[start] = static_cast<uint8_t>(word);
      buf[start + 1] = static_cast<uint8_t>(word >> 8);
      std::memmove(buf.data() + start + 2, buf.data() + start + 6, size);
      buf.resize(end - 4);
    }
    out.SetPosition(buf.size());
    return;
  }
  // The body goes to its own buffer first: the header in front of it must carry its length.
  TMemoryStream temp;
  TBitsEngine body(temp, be.Context);
  WriteTagBody(body);
  body.FlushBits(true);
  BodySize = static_cast<int32_t>(temp.Size());
  WriteTagHeader(be, TagID, static_cast<uint32_t>(temp.Size()), AlwaysLongHeader(TagID));
  out.WriteBuffer(temp.Bytes());
}

// ---- TSWFDataObject --------------------------------------------------------------------------

void TSWFDataObject::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDataObject>(source);
  if (s.OnDataWrite) {
    OnDataWrite = s.OnDataWrite;
    Data.clear();
  } else {
    OnDataWrite = nullptr;
    Data = s.Data;
  }
}

void TSWFDataObject::WriteData(TBitsEngine& be) {
  if (OnDataWrite) OnDataWrite(*this, be);
  else if (!Data.empty()) be.WriteBytes(Data);
}

// ---- TSWFByteCodeTag -------------------------------------------------------------------------

void TSWFByteCodeTag::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& s = SourceAs<TSWFByteCodeTag>(source);
  // The raw code is what the copy writes; without it the copy would be written as code 240.
  RawTagID = s.RawTagID;
  Text = s.Text;
}

void TSWFByteCodeTag::WriteToStream(TBitsEngine& be) {
  TagID = RawTagID;
  try {
    TSWFObject::WriteToStream(be);
  } catch (...) {
    TagID = kByteCodeTagID;
    throw;
  }
  TagID = kByteCodeTagID;
}

void TSWFByteCodeTag::ReadFromStream(TBitsEngine& be) {
  const auto bytes = be.ReadBytes(static_cast<size_t>(std::max(BodySize, 0)));
  Data.assign(bytes.begin(), bytes.end());
}

void TSWFByteCodeTag::WriteTagBody(TBitsEngine& be) {
  if (!Data.empty()) be.WriteBytes(Data);
}

namespace {

// Raw tags whose first field is the character id they define or refer to: renumbering patches
// them in place, so that a tag that could not be read as an object cannot clash with its host.
bool DefinesIDFirst(uint16_t code) {
  switch (code) {
    case 2: case 22: case 32: case 83:                  // shapes
    case 6: case 20: case 21: case 35: case 36: case 90:  // bitmaps
    case 7: case 34:                                      // buttons
    case 10: case 48: case 75: case 91:                   // fonts
    case 11: case 33: case 37:                            // texts
    case 14: case 39: case 46: case 84: case 60: case 87:
      return true;
    default:
      return false;
  }
}

bool RefersToIDFirst(uint16_t code) {
  switch (code) {
    case 5: case 13: case 15: case 17: case 23: case 59: case 61: case 62: case 73: case 74:
    case 78: case 88:
      return true;
    default:
      return false;
  }
}

void VisitFirstWord(std::vector<uint8_t>& data, const TIDVisitor& visit) {
  if (data.size() < 2) return;
  uint16_t id = static_cast<uint16_t>(data[0] | (data[1] << 8));
  visit(id);
  data[0] = static_cast<uint8_t>(id);
  data[1] = static_cast<uint8_t>(id >> 8);
}

}  // namespace

void TSWFByteCodeTag::VisitDefinedIDs(const TIDVisitor& visit) {
  if (DefinesIDFirst(RawTagID)) VisitFirstWord(Data, visit);
}

void TSWFByteCodeTag::VisitReferencedIDs(const TIDVisitor& visit) {
  // PlaceObject (4) carries its character id first as well.
  if (RefersToIDFirst(RawTagID) || RawTagID == 4) VisitFirstWord(Data, visit);
}

void TSWFByteCodeTag::Describe(TSWFFields& fields) const {
  fields.emplace_back("raw", std::to_string(RawTagID));
  fields.emplace_back("note", Text);
}

// ---- names -----------------------------------------------------------------------------------

const char* TagCodeName(uint16_t code) {
  static constexpr const char* kNames[] = {
      "End", "ShowFrame", "DefineShape", "FreeCharacter", "PlaceObject", "RemoveObject",
      "DefineBits", "DefineButton", "JPEGTables", "SetBackgroundColor", "DefineFont",
      "DefineText", "DoAction", "DefineFontInfo", "DefineSound", "StartSound", "StopSound",
      "DefineButtonSound", "SoundStreamHead", "SoundStreamBlock", "DefineBitsLossless",
      "DefineBitsJPEG2", "DefineShape2", "DefineButtonCxform", "Protect", "PathsArePostScript",
      "PlaceObject2", "Unknown27", "RemoveObject2", "SyncFrame", "Unknown30", "FreeAll",
      "DefineShape3", "DefineText2", "DefineButton2", "DefineBitsJPEG3", "DefineBitsLossless2",
      "DefineEditText", "DefineVideo", "DefineSprite", "NameCharacter", "ProductInfo",
      "DefineTextFormat", "FrameLabel", "DefineBehavior", "SoundStreamHead2",
      "DefineMorphShape", "GenerateFrame", "DefineFont2", "GeneratorCommand",
      "DefineCommandObject", "CharacterSet", "ExternalFont", "DefineFunction", "PlaceFunction",
      "GenTagObject", "ExportAssets", "ImportAssets", "EnableDebugger", "DoInitAction",
      "DefineVideoStream", "VideoFrame", "DefineFontInfo2", "DebugID", "EnableDebugger2",
      "ScriptLimits", "SetTabIndex", "Unknown67", "Unknown68", "FileAttributes",
      "PlaceObject3", "ImportAssets2", "DoABCDefine", "DefineFontAlignZones",
      "CSMTextSettings", "DefineFont3", "SymbolClass", "Metadata", "DefineScalingGrid",
      "Unknown79", "Unknown80", "Unknown81", "DoABC", "DefineShape4", "DefineMorphShape2",
      "Unknown85", "DefineSceneAndFrameLabelData", "DefineBinaryData", "DefineFontName",
      "StartSound2", "DefineBitsJPEG4", "DefineFont4", "Unknown92", "EnableTelemetry",
      "PlaceObject4"};
  if (code < std::size(kNames)) return kNames[code];
  if (code == kByteCodeTagID) return "ByteCode";
  return "Unknown";
}

std::string TagClassName(const TSWFObject& tag) {
  const char* mangled = typeid(tag).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : mangled;
  const size_t colon = name.rfind("::");
  return colon == std::string::npos ? name : name.substr(colon + 2);
}

std::unique_ptr<TSWFObject> CloneTag(const TSWFObject& source) {
  auto copy = CreateTagObject(source.TagID);
  copy->Assign(source);
  return copy;
}

}  // namespace tw::swf
