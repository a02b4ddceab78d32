#include "swf/control_tags.h"

#include <random>

#include "swf/md5.h"

namespace tw::swf {
namespace {

std::string Hex(uint32_t v, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, v >>= 4) s[static_cast<size_t>(i)] = kDigits[v & 15];
  return s;
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Bytes left in the tag body being read.
size_t BodyLeft(const TBitsEngine& be) { return be.Stream.Remaining(); }

}  // namespace

// ---- SetBackgroundColor ----------------------------------------------------------------------

void TSWFSetBackgroundColor::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Color.Assign(SourceAs<TSWFSetBackgroundColor>(source).Color);
}
void TSWFSetBackgroundColor::ReadFromStream(TBitsEngine& be) { Color.SetRGB(be.ReadRGB()); }
void TSWFSetBackgroundColor::WriteTagBody(TBitsEngine& be) { be.WriteRGB(Color.GetRGB()); }
void TSWFSetBackgroundColor::Describe(TSWFFields& f) const {
  f.emplace_back("color", "#" + Hex(Color.R, 2) + Hex(Color.G, 2) + Hex(Color.B, 2));
}

// ---- Protect, EnableDebugger, EnableDebugger2 ------------------------------------------------

void TSWFProtect::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFProtect>(source);
  Hash = s.Hash;
  Password = s.Password;
  Reserved = s.Reserved;
  SaltSource = s.SaltSource;
}

int TSWFProtect::MinVersion() const { return Hash.empty() && Password.empty() ? 2 : 5; }

void TSWFProtect::ReadFromStream(TBitsEngine& be) {
  if (BodySize <= 0) return;
  Reserved = be.ReadWord();
  const auto bytes = be.ReadBytes(static_cast<size_t>(BodySize - 2));
  const auto* zero = static_cast<const uint8_t*>(std::memchr(bytes.data(), 0, bytes.size()));
  Hash.assign(reinterpret_cast<const char*>(bytes.data()),
              zero ? static_cast<size_t>(zero - bytes.data()) : bytes.size());
  Password.clear();
}

void TSWFProtect::WriteTagBody(TBitsEngine& be) {
  if (Hash.empty() && Password.empty()) return;
  be.WriteWord(Reserved);
  if (!Password.empty()) {
    static constexpr char kAlphabet[] =
        "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::random_device device;
    auto next = SaltSource ? SaltSource : TSaltSource([&device] { return device(); });
    const char salt[2] = {kAlphabet[next() % 64], kAlphabet[next() % 64]};
    Hash = MD5Crypt(Password, std::string_view(salt, 2));
  }
  be.WriteString(Hash, true);
}

void TSWFProtect::Describe(TSWFFields& f) const {
  if (!Hash.empty()) f.emplace_back("hash", Hash);
}

// ---- FrameLabel ------------------------------------------------------------------------------

void TSWFFrameLabel::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFFrameLabel>(source);
  isAnchor = s.isAnchor;
  Name = s.Name;
}

void TSWFFrameLabel::ReadFromStream(TBitsEngine& be) {
  Name = be.ReadString();
  if (BodyLeft(be) == 1) isAnchor = be.ReadByte() != 0;
}

void TSWFFrameLabel::WriteTagBody(TBitsEngine& be) {
  be.WriteString(Name, true);
  if (isAnchor) be.WriteByte(1);
}

void TSWFFrameLabel::Describe(TSWFFields& f) const {
  f.emplace_back("name", Quoted(Name));
  if (isAnchor) f.emplace_back("anchor", "yes");
}

// ---- ExportAssets, ImportAssets, ImportAssets2, SymbolClass ----------------------------------

void TSWFExportAssets::AddAsset(std::string_view name, uint16_t id) {
  for (auto& a : Assets) {
    if (a.Name == name) {
      a.ID = id;
      return;
    }
  }
  Assets.push_back({std::string(name), id});
}

void TSWFExportAssets::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Assets = SourceAs<TSWFExportAssets>(source).Assets;
}

void TSWFExportAssets::ReadAssets(TBitsEngine& be) {
  const uint16_t count = be.ReadWord();
  Assets.clear();
  // Every entry takes at least three bytes, so a count the body cannot hold stops at its end.
  Assets.reserve(std::min<size_t>(count, BodyLeft(be) / 3));
  for (uint16_t i = 0; i < count; ++i) {
    TSWFAsset a;
    a.ID = be.ReadWord();
    a.Name = be.ReadString();
    Assets.push_back(std::move(a));
  }
}

void TSWFExportAssets::WriteAssets(TBitsEngine& be) const {
  be.WriteWord(static_cast<uint16_t>(Assets.size()));
  for (const auto& a : Assets) {
    be.WriteWord(a.ID);
    be.WriteString(a.Name, true);
  }
}

void TSWFExportAssets::ReadFromStream(TBitsEngine& be) { ReadAssets(be); }
void TSWFExportAssets::WriteTagBody(TBitsEngine& be) { WriteAssets(be); }

void TSWFExportAssets::VisitReferencedIDs(const TIDVisitor& visit) {
  for (auto& a : Assets) visit(a.ID);
}

void TSWFExportAssets::Describe(TSWFFields& f) const {
  f.emplace_back("count", std::to_string(Assets.size()));
  std::string list;
  for (size_t i = 0; i < Assets.size() && i < 8; ++i) {
    if (i) list += ", ";
    list += std::to_string(Assets[i].ID) + ":" + Quoted(Assets[i].Name);
  }
  if (Assets.size() > 8) list += ", ...";
  if (!list.empty()) f.emplace_back("entries", list);
}

void TSWFImportAssets::Assign(const TBasedSWFObject& source) {
  TSWFExportAssets::Assign(source);
  URL = SourceAs<TSWFImportAssets>(source).URL;
}

void TSWFImportAssets::ReadFromStream(TBitsEngine& be) {
  URL = be.ReadString();
  ReadAssets(be);
}

void TSWFImportAssets::WriteTagBody(TBitsEngine& be) {
  be.WriteString(URL, true);
  WriteAssets(be);
}

void TSWFImportAssets::VisitDefinedIDs(const TIDVisitor& visit) {
  for (auto& a : Assets) visit(a.ID);
}

void TSWFImportAssets::Describe(TSWFFields& f) const {
  f.emplace_back("url", Quoted(URL));
  TSWFExportAssets::Describe(f);
}

void TSWFImportAssets2::Assign(const TBasedSWFObject& source) {
  TSWFImportAssets::Assign(source);
  Reserved = SourceAs<TSWFImportAssets2>(source).Reserved;
}

void TSWFImportAssets2::ReadFromStream(TBitsEngine& be) {
  URL = be.ReadString();
  Reserved = be.ReadWord();
  ReadAssets(be);
}

void TSWFImportAssets2::WriteTagBody(TBitsEngine& be) {
  be.WriteString(URL, true);
  be.WriteWord(Reserved);
  WriteAssets(be);
}

// ---- ScriptLimits, SetTabIndex ---------------------------------------------------------------

void TSWFScriptLimits::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFScriptLimits>(source);
  MaxRecursionDepth = s.MaxRecursionDepth;
  ScriptTimeoutSeconds = s.ScriptTimeoutSeconds;
}
void TSWFScriptLimits::ReadFromStream(TBitsEngine& be) {
  MaxRecursionDepth = be.ReadWord();
  ScriptTimeoutSeconds = be.ReadWord();
}
void TSWFScriptLimits::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(MaxRecursionDepth);
  be.WriteWord(ScriptTimeoutSeconds);
}
void TSWFScriptLimits::Describe(TSWFFields& f) const {
  f.emplace_back("recursion", std::to_string(MaxRecursionDepth));
  f.emplace_back("timeout", std::to_string(ScriptTimeoutSeconds));
}

void TSWFSetTabIndex::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFSetTabIndex>(source);
  Depth = s.Depth;
  TabIndex = s.TabIndex;
}
void TSWFSetTabIndex::ReadFromStream(TBitsEngine& be) {
  Depth = be.ReadWord();
  TabIndex = be.ReadWord();
}
void TSWFSetTabIndex::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(Depth);
  be.WriteWord(TabIndex);
}
void TSWFSetTabIndex::Describe(TSWFFields& f) const {
  f.emplace_back("depth", std::to_string(Depth));
  f.emplace_back("tabindex", std::to_string(TabIndex));
}

// ---- FileAttributes --------------------------------------------------------------------------

void TSWFFileAttributes::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFFileAttributes>(source);
  UseDirectBlit = s.UseDirectBlit;
  UseGPU = s.UseGPU;
  HasMetadata = s.HasMetadata;
  ActionScript3 = s.ActionScript3;
  NoCrossDomainCache = s.NoCrossDomainCache;
  SWFRelativeURLs = s.SWFRelativeURLs;
  UseNetwork = s.UseNetwork;
  ReservedBits = s.ReservedBits;
  std::copy(std::begin(s.Reserved), std::end(s.Reserved), Reserved);
}

void TSWFFileAttributes::ReadFromStream(TBitsEngine& be) {
  const uint8_t flags = be.ReadByte();
  ReservedBits = flags & 0x80;
  UseDirectBlit = flags & 0x40;
  UseGPU = flags & 0x20;
  HasMetadata = flags & 0x10;
  ActionScript3 = flags & 0x08;
  NoCrossDomainCache = flags & 0x04;
  SWFRelativeURLs = flags & 0x02;
  UseNetwork = flags & 0x01;
  // Short bodies occur in real movies; what is missing reads as zero.
  for (auto& r : Reserved) r = BodyLeft(be) ? be.ReadByte() : 0;
}

void TSWFFileAttributes::WriteTagBody(TBitsEngine& be) {
  be.WriteByte(static_cast<uint8_t>(ReservedBits | (UseDirectBlit ? 0x40 : 0) |
                                    (UseGPU ? 0x20 : 0) | (HasMetadata ? 0x10 : 0) |
                                    (ActionScript3 ? 0x08 : 0) | (NoCrossDomainCache ? 0x04 : 0) |
                                    (SWFRelativeURLs ? 0x02 : 0) | (UseNetwork ? 0x01 : 0)));
  for (auto r : Reserved) be.WriteByte(r);
}

void TSWFFileAttributes::Describe(TSWFFields& f) const {
  std::string flags;
  auto add = [&](bool on, const char* name) {
    if (!on) return;
    if (!flags.empty()) flags += ",";
    flags += name;
  };
  add(UseDirectBlit, "DirectBlit");
  add(UseGPU, "GPU");
  add(HasMetadata, "Metadata");
  add(ActionScript3, "AS3");
  add(NoCrossDomainCache, "NoCrossDomainCache");
  add(SWFRelativeURLs, "RelativeURLs");
  add(UseNetwork, "Network");
  f.emplace_back("flags", flags.empty() ? "none" : flags);
}

// ---- Metadata --------------------------------------------------------------------------------

void TSWFMetadata::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Value = SourceAs<TSWFMetadata>(source).Value;
}
void TSWFMetadata::ReadFromStream(TBitsEngine& be) { Value = be.ReadString(); }
void TSWFMetadata::WriteTagBody(TBitsEngine& be) { be.WriteString(Value, true, true); }
void TSWFMetadata::Describe(TSWFFields& f) const {
  f.emplace_back("length", std::to_string(Value.size()));
}

// ---- ProductInfo -----------------------------------------------------------------------------

void TSWFProductInfo::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFProductInfo>(source);
  BuildNumberLow = s.BuildNumberLow;
  BuildNumberHigh = s.BuildNumberHigh;
  std::copy(std::begin(s.Date), std::end(s.Date), Date);
  Edition = s.Edition;
  MinorVersion = s.MinorVersion;
  MajorVersion = s.MajorVersion;
  ProductId = s.ProductId;
}

void TSWFProductInfo::ReadFromStream(TBitsEngine& be) {
  ProductId = be.ReadDWord();
  Edition = be.ReadDWord();
  MajorVersion = be.ReadByte();
  MinorVersion = be.ReadByte();
  BuildNumberLow = be.ReadDWord();
  BuildNumberHigh = be.ReadDWord();
  be.Stream.ReadBuffer(Date, 8);
}

void TSWFProductInfo::WriteTagBody(TBitsEngine& be) {
  be.WriteDWord(ProductId);
  be.WriteDWord(Edition);
  be.WriteByte(MajorVersion);
  be.WriteByte(MinorVersion);
  be.WriteDWord(BuildNumberLow);
  be.WriteDWord(BuildNumberHigh);
  be.WriteBytes(Date);
}

void TSWFProductInfo::Describe(TSWFFields& f) const {
  f.emplace_back("product", std::to_string(ProductId));
  f.emplace_back("version", std::to_string(MajorVersion) + "." + std::to_string(MinorVersion) +
                                "." + std::to_string(BuildNumberLow));
}

// ---- DefineScalingGrid -----------------------------------------------------------------------

void TSWFDefineScalingGrid::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineScalingGrid>(source);
  ID = s.ID;
  Splitter.Assign(s.Splitter);
}
void TSWFDefineScalingGrid::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  Splitter.Read(be);
}
void TSWFDefineScalingGrid::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  Splitter.Write(be);
}
void TSWFDefineScalingGrid::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ID));
  f.emplace_back("splitter", std::to_string(Splitter.XMin()) + "," +
                                 std::to_string(Splitter.YMin()) + "-" +
                                 std::to_string(Splitter.XMax()) + "," +
                                 std::to_string(Splitter.YMax()));
}

// ---- DefineSceneAndFrameLabelData ------------------------------------------------------------

void TSWFDefineSceneAndFrameLabelData::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineSceneAndFrameLabelData>(source);
  Scenes = s.Scenes;
  Labels = s.Labels;
}

namespace {

void ReadSceneLabels(TBitsEngine& be, std::vector<TSWFSceneLabel>& list) {
  const uint32_t count = be.ReadEncodedU32();
  list.clear();
  // An entry takes at least two bytes: a count the body cannot hold fails at its end.
  list.reserve(std::min<size_t>(count, be.Stream.Remaining() / 2));
  for (uint32_t i = 0; i < count; ++i) {
    TSWFSceneLabel e;
    e.Frame = be.ReadEncodedU32();
    e.Name = be.ReadString();
    list.push_back(std::move(e));
  }
}

void WriteSceneLabels(TBitsEngine& be, const std::vector<TSWFSceneLabel>& list) {
  be.WriteEncodedU32(static_cast<uint32_t>(list.size()));
  for (const auto& e : list) {
    be.WriteEncodedU32(e.Frame);
    be.WriteString(e.Name, true);
  }
}

}  // namespace

void TSWFDefineSceneAndFrameLabelData::ReadFromStream(TBitsEngine& be) {
  ReadSceneLabels(be, Scenes);
  ReadSceneLabels(be, Labels);
}

void TSWFDefineSceneAndFrameLabelData::WriteTagBody(TBitsEngine& be) {
  WriteSceneLabels(be, Scenes);
  WriteSceneLabels(be, Labels);
}

void TSWFDefineSceneAndFrameLabelData::Describe(TSWFFields& f) const {
  f.emplace_back("scenes", std::to_string(Scenes.size()));
  f.emplace_back("labels", std::to_string(Labels.size()));
}

// ---- DefineBinaryData ------------------------------------------------------------------------

void TSWFDefineBinaryData::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineBinaryData>(source);
  ID = s.ID;
  Reserved = s.Reserved;
}

void TSWFDefineBinaryData::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  Reserved = be.ReadDWord();
  const auto bytes = be.ReadBytes(BodyLeft(be));
  Data.assign(bytes.begin(), bytes.end());
}

void TSWFDefineBinaryData::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  be.WriteDWord(Reserved);
  WriteData(be);
}

void TSWFDefineBinaryData::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ID));
  f.emplace_back("bytes", std::to_string(DataSize()));
}

}  // namespace tw::swf
