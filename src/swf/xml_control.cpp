// The control tags as XML: named fields in place of their bodies.
#include "swf/control_tags.h"
#include "swf/xml.h"

namespace tw::swf {

void TSWFSetBackgroundColor::WriteXml(TSWFXmlWriter& xml) { xml.Color("Color", Color); }
void TSWFSetBackgroundColor::ReadXml(const TSWFXmlNode& node) { node.Color("Color", Color); }

// An empty body (no hash) is the plain form of these tags.
void TSWFProtect::WriteXml(TSWFXmlWriter& xml) {
  if (Hash.empty() && Password.empty()) return;
  if (!Password.empty()) {
    // The hash is made with a fresh salt when the tag is written: make it now, so the text
    // holds what the movie would.
    TMemoryStream scratch;
    TBitsEngine be(scratch, xml.Context);
    WriteTagBody(be);
  }
  if (Reserved != 0) xml.Int("Reserved", Reserved);
  xml.String("Hash", Hash);
}
void TSWFProtect::ReadXml(const TSWFXmlNode& node) {
  Password.clear();
  Hash = node.Has("Hash") ? node.CString("Hash") : std::string();
  Reserved = node.Get<uint16_t>("Reserved", 0);
}

void TSWFFrameLabel::WriteXml(TSWFXmlWriter& xml) {
  xml.String("Name", Name);
  xml.Flag("Anchor", isAnchor);
}
void TSWFFrameLabel::ReadXml(const TSWFXmlNode& node) {
  Name = node.CString("Name");
  isAnchor = node.Flag("Anchor");
}

void TSWFExportAssets::WriteXml(TSWFXmlWriter& xml) {
  for (const auto& a : Assets) {
    xml.Open("Asset");
    xml.Int("ID", a.ID);
    xml.String("Name", a.Name);
    xml.Close();
  }
}
void TSWFExportAssets::ReadXml(const TSWFXmlNode& node) {
  Assets.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "Asset") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    if (Assets.size() == 65535) child.Fail("more than 65535 assets");
    Assets.push_back({child.CString("Name"), child.Get<uint16_t>("ID")});
  }
}

void TSWFImportAssets::WriteXml(TSWFXmlWriter& xml) {
  xml.String("URL", URL);
  TSWFExportAssets::WriteXml(xml);
}
void TSWFImportAssets::ReadXml(const TSWFXmlNode& node) {
  URL = node.CString("URL");
  TSWFExportAssets::ReadXml(node);
}

void TSWFImportAssets2::WriteXml(TSWFXmlWriter& xml) {
  xml.String("URL", URL);
  xml.Int("Reserved", Reserved);
  TSWFExportAssets::WriteXml(xml);
}
void TSWFImportAssets2::ReadXml(const TSWFXmlNode& node) {
  URL = node.CString("URL");
  Reserved = node.Get<uint16_t>("Reserved");
  TSWFExportAssets::ReadXml(node);
}

void TSWFScriptLimits::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("MaxRecursionDepth", MaxRecursionDepth);
  xml.Int("ScriptTimeoutSeconds", ScriptTimeoutSeconds);
}
void TSWFScriptLimits::ReadXml(const TSWFXmlNode& node) {
  MaxRecursionDepth = node.Get<uint16_t>("MaxRecursionDepth");
  ScriptTimeoutSeconds = node.Get<uint16_t>("ScriptTimeoutSeconds");
}

void TSWFSetTabIndex::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("Depth", Depth);
  xml.Int("TabIndex", TabIndex);
}
void TSWFSetTabIndex::ReadXml(const TSWFXmlNode& node) {
  Depth = node.Get<uint16_t>("Depth");
  TabIndex = node.Get<uint16_t>("TabIndex");
}

void TSWFFileAttributes::WriteXml(TSWFXmlWriter& xml) {
  xml.Flag("UseDirectBlit", UseDirectBlit);
  xml.Flag("UseGPU", UseGPU);
  xml.Flag("HasMetadata", HasMetadata);
  xml.Flag("ActionScript3", ActionScript3);
  xml.Flag("NoCrossDomainCache", NoCrossDomainCache);
  xml.Flag("SWFRelativeURLs", SWFRelativeURLs);
  xml.Flag("UseNetwork", UseNetwork);
  if (ReservedBits != 0) xml.Hex("ReservedBits", ReservedBits);
  const uint32_t reserved = Reserved[0] | Reserved[1] << 8 | Reserved[2] << 16;
  if (reserved != 0) xml.Hex("Reserved", reserved);
}
void TSWFFileAttributes::ReadXml(const TSWFXmlNode& node) {
  UseDirectBlit = node.Flag("UseDirectBlit");
  UseGPU = node.Flag("UseGPU");
  HasMetadata = node.Flag("HasMetadata");
  ActionScript3 = node.Flag("ActionScript3");
  NoCrossDomainCache = node.Flag("NoCrossDomainCache");
  SWFRelativeURLs = node.Flag("SWFRelativeURLs");
  UseNetwork = node.Flag("UseNetwork");
  ReservedBits = node.Has("ReservedBits") ? static_cast<uint8_t>(node.Int("ReservedBits", 0x80, 0x80)) : 0;
  const auto reserved = node.Has("Reserved") ? node.Int("Reserved", 0, 0xFFFFFF) : 0;
  for (int i = 0; i < 3; ++i) Reserved[i] = static_cast<uint8_t>(reserved >> (8 * i));
}

// The metadata is an XML text itself: it goes as element text.
void TSWFMetadata::WriteXml(TSWFXmlWriter& xml) { xml.Text(Value); }
void TSWFMetadata::ReadXml(const TSWFXmlNode& node) {
  Value = node.Text();
  if (Value.find('\0') != std::string::npos) node.Fail("the metadata may not hold the byte \\x00");
}

void TSWFProductInfo::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("ProductId", ProductId);
  xml.Int("Edition", Edition);
  xml.Int("MajorVersion", MajorVersion);
  xml.Int("MinorVersion", MinorVersion);
  xml.Int("BuildNumberLow", BuildNumberLow);
  xml.Int("BuildNumberHigh", BuildNumberHigh);
  uint64_t date = 0;
  for (int i = 7; i >= 0; --i) date = date << 8 | Date[i];
  // Milliseconds since 1970; a hostile value with the top bit set still fits the hex form.
  xml.Hex("CompilationDateLow", static_cast<uint32_t>(date));
  xml.Hex("CompilationDateHigh", static_cast<uint32_t>(date >> 32));
}
void TSWFProductInfo::ReadXml(const TSWFXmlNode& node) {
  ProductId = node.Get<uint32_t>("ProductId");
  Edition = node.Get<uint32_t>("Edition");
  MajorVersion = node.Get<uint8_t>("MajorVersion");
  MinorVersion = node.Get<uint8_t>("MinorVersion");
  BuildNumberLow = node.Get<uint32_t>("BuildNumberLow");
  BuildNumberHigh = node.Get<uint32_t>("BuildNumberHigh");
  const uint64_t date = node.Get<uint32_t>("CompilationDateLow") |
                        uint64_t{node.Get<uint32_t>("CompilationDateHigh")} << 32;
  for (int i = 0; i < 8; ++i) Date[i] = static_cast<uint8_t>(date >> (8 * i));
}

void TSWFDefineScalingGrid::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", ID);
  WriteRectXml(xml, "Splitter", Splitter);
}
void TSWFDefineScalingGrid::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("CharacterId");
  ReadRectXml(node.Child("Splitter"), Splitter);
}

namespace {

void WriteSceneLabelsXml(TSWFXmlWriter& xml, std::string_view element,
                         const std::vector<TSWFSceneLabel>& list, std::string_view frameName) {
  for (const auto& e : list) {
    xml.Open(element);
    xml.Int(frameName, e.Frame);
    xml.String("Name", e.Name);
    xml.Close();
  }
}

}  // namespace

void TSWFDefineSceneAndFrameLabelData::WriteXml(TSWFXmlWriter& xml) {
  WriteSceneLabelsXml(xml, "Scene", Scenes, "Offset");
  WriteSceneLabelsXml(xml, "FrameLabel", Labels, "FrameNum");
}
void TSWFDefineSceneAndFrameLabelData::ReadXml(const TSWFXmlNode& node) {
  Scenes.clear();
  Labels.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    const bool scene = child.Name() == "Scene";
    if (!scene && child.Name() != "FrameLabel")
      child.Fail("unknown element <" + std::string(child.Name()) + ">");
    (scene ? Scenes : Labels)
        .push_back({child.Get<uint32_t>(scene ? "Offset" : "FrameNum"), child.CString("Name")});
  }
}

void TSWFDefineBinaryData::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", ID);
  if (Reserved != 0) xml.Int("Reserved", Reserved);
  if (OnDataWrite) {
    TMemoryStream data;
    TBitsEngine be(data, xml.Context);
    WriteData(be);
    be.FlushBits(true);
    xml.Base64(data.Bytes());
  } else {
    xml.Base64(Data);
  }
}
void TSWFDefineBinaryData::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("CharacterId");
  Reserved = node.Get<uint32_t>("Reserved", 0);
  OnDataWrite = nullptr;
  Data = node.Base64();
}

}  // namespace tw::swf
