// Control tags: End, ShowFrame, SetBackgroundColor, Protect and the debugger tags, FrameLabel,
// ExportAssets, ImportAssets, SymbolClass, ScriptLimits, SetTabIndex, FileAttributes, Metadata,
// ProductInfo, DefineScalingGrid, DefineSceneAndFrameLabelData, DefineBinaryData.
#pragma once

#include <functional>

#include "swf/tag.h"

namespace tw::swf {

class TSWFEnd : public TSWFObject {
 public:
  TSWFEnd() : TSWFObject(0) {}
};

class TSWFShowFrame : public TSWFObject {
 public:
  TSWFShowFrame() : TSWFObject(1) {}
};

class TSWFSetBackgroundColor : public TSWFObject {
 public:
  TSWFSetBackgroundColor() : TSWFObject(9) {}
  TSWFRGB Color;
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// The random source of a new salt; tests fix it to get the same bytes every time.
using TSaltSource = std::function<uint32_t()>;

class TSWFProtect : public TSWFObject {
 public:
  TSWFProtect() : TSWFObject(24) {}
  std::string Hash;      // MD5-crypt: "$1$" salt "$" digest
  std::string Password;  // when set, Hash is recomputed from it on writing
  uint16_t Reserved = 0;  // the word before the hash, kept as found (some movies set it)
  TSaltSource SaltSource;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFProtect(uint16_t id) : TSWFObject(id) {}
};

class TSWFEnableDebugger : public TSWFProtect {
 public:
  TSWFEnableDebugger() : TSWFProtect(58) {}
  int MinVersion() const override { return 5; }
};

class TSWFEnableDebugger2 : public TSWFProtect {
 public:
  TSWFEnableDebugger2() : TSWFProtect(64) {}
  int MinVersion() const override { return 6; }
};

class TSWFFrameLabel : public TSWFObject {
 public:
  TSWFFrameLabel() : TSWFObject(43) {}
  explicit TSWFFrameLabel(std::string name) : TSWFObject(43), Name(std::move(name)) {}
  bool isAnchor = false;
  std::string Name;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return isAnchor ? 6 : 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

struct TSWFAsset {
  std::string Name;
  uint16_t ID = 0;
  bool operator==(const TSWFAsset&) const = default;
};

class TSWFExportAssets : public TSWFObject {
 public:
  TSWFExportAssets() : TSWFObject(56) {}
  std::vector<TSWFAsset> Assets;
  // Sets the id of the entry of that name, or appends a new entry.
  void AddAsset(std::string_view name, uint16_t id);
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 5; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFExportAssets(uint16_t id) : TSWFObject(id) {}
  void ReadAssets(TBitsEngine& be);
  void WriteAssets(TBitsEngine& be) const;
};

class TSWFImportAssets : public TSWFExportAssets {
 public:
  TSWFImportAssets() : TSWFExportAssets(57) {}
  std::string URL;
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override;
  void VisitReferencedIDs(const TIDVisitor&) override {}
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFImportAssets(uint16_t id) : TSWFExportAssets(id) {}
};

class TSWFImportAssets2 : public TSWFImportAssets {
 public:
  TSWFImportAssets2() : TSWFImportAssets(71) {}
  // The two reserved bytes after the URL (1 and 0 when we make them), first byte lowest; kept
  // as read.
  uint16_t Reserved = 1;

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFSymbolClass : public TSWFExportAssets {
 public:
  TSWFSymbolClass() : TSWFExportAssets(76) {}
  int MinVersion() const override { return 9; }
};

class TSWFScriptLimits : public TSWFObject {
 public:
  TSWFScriptLimits() : TSWFObject(65) {}
  uint16_t MaxRecursionDepth = 0;
  uint16_t ScriptTimeoutSeconds = 0;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 7; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFSetTabIndex : public TSWFObject {
 public:
  TSWFSetTabIndex() : TSWFObject(66) {}
  uint16_t Depth = 0;
  uint16_t TabIndex = 0;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 7; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// The flags byte keeps every bit the format defines: a copied movie must keep both its
// ActionScript 3 flag and its metadata flag, which are different bits.
class TSWFFileAttributes : public TSWFObject {
 public:
  TSWFFileAttributes() : TSWFObject(69) {}
  bool UseDirectBlit = false;         // 40 hex
  bool UseGPU = false;                // 20 hex
  bool HasMetadata = false;           // 10 hex
  bool ActionScript3 = false;         // 08 hex
  bool NoCrossDomainCache = false;    // 04 hex: the third flag
  bool SWFRelativeURLs = false;       // 02 hex
  bool UseNetwork = false;            // 01 hex
  uint8_t ReservedBits = 0;           // 80 hex, kept as found
  uint8_t Reserved[3] = {0, 0, 0};    // the three bytes after the flags, kept as found
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFMetadata : public TSWFObject {
 public:
  TSWFMetadata() : TSWFObject(77) {}
  std::string Value;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFProductInfo : public TSWFObject {
 public:
  TSWFProductInfo() : TSWFObject(41) {}
  uint32_t BuildNumberLow = 0, BuildNumberHigh = 0;
  uint8_t Date[8] = {};
  uint32_t Edition = 0;
  uint8_t MinorVersion = 0, MajorVersion = 0;
  uint32_t ProductId = 0;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 9; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFDefineScalingGrid : public TSWFObject {
 public:
  TSWFDefineScalingGrid() : TSWFObject(78) {}
  uint16_t ID = 0;
  TSWFRect Splitter;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(ID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

struct TSWFSceneLabel {
  uint32_t Frame = 0;  // a scene's frame offset, or a label's frame number
  std::string Name;
  bool operator==(const TSWFSceneLabel&) const = default;
};

class TSWFDefineSceneAndFrameLabelData : public TSWFObject {
 public:
  TSWFDefineSceneAndFrameLabelData() : TSWFObject(86) {}
  std::vector<TSWFSceneLabel> Scenes;
  std::vector<TSWFSceneLabel> Labels;
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 9; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFDefineBinaryData : public TSWFDataObject {
 public:
  TSWFDefineBinaryData() : TSWFDataObject(87) {}
  uint16_t ID = 0;
  uint32_t Reserved = 0;  // kept as found; zero in a new tag
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(ID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

}  // namespace tw::swf
