#include "swf/abc.h"

#include <algorithm>
#include <bit>

namespace tw::swf {
namespace {

uint32_t ReadIndex(TBitsEngine& be) { return be.ReadEncodedU32(); }
void WriteIndex(TBitsEngine& be, size_t value) {
  if (value > 0xFFFFFFFFu) throw ESWFError("An ABC count exceeds 32 bits");
  be.WriteEncodedU32(static_cast<uint32_t>(value));
}

// Room for at most as many entries as the rest of the body can hold, at minSize bytes each.
template <class T>
void ReserveFor(TBitsEngine& be, std::vector<T>& list, size_t count, size_t minSize) {
  list.reserve(std::min(count, be.Stream.Remaining() / minSize));
}

void ReadIndexList(TBitsEngine& be, TSWFIntegerList& list, size_t count) {
  list.clear();
  ReserveFor(be, list, count, 1);
  for (size_t i = 0; i < count; ++i) list.push_back(ReadIndex(be));
}

void WriteIndexList(TBitsEngine& be, const TSWFIntegerList& list) {
  for (uint32_t v : list) WriteIndex(be, v);
}

// A pool is stored with its count plus one (entry 0 is implicit); 0 and 1 both mean empty.
// The pools are counted with their implicit entry 0, so an empty one is 0 or 1; which one the
// file used is kept in `ones`, a bit per pool.
size_t ReadPoolCount(TBitsEngine& be, uint8_t& ones, int pool) {
  const uint32_t count = ReadIndex(be);
  if (count == 1) ones |= static_cast<uint8_t>(1u << pool);
  return count > 0 ? count - 1 : 0;
}

void WritePoolCount(TBitsEngine& be, size_t size, uint8_t ones, int pool) {
  WriteIndex(be, size > 0 ? size + 1 : (ones >> pool & 1));
}

void ReadTraits(TBitsEngine& be, TSWFAS3Traits& traits) {
  const uint32_t count = ReadIndex(be);
  traits.clear();
  ReserveFor(be, traits, count, 4);
  for (uint32_t i = 0; i < count; ++i) {
    TSWFAS3Trait& t = traits.emplace_back();
    t.Name = ReadIndex(be);
    const uint8_t kind = be.ReadByte();
    t.TraitType = kind & 15;
    t.IsFinal = kind & 0x10;
    t.IsOverride = kind & 0x20;
    t.HasMetadata = kind & 0x40;
    t.SpecID = ReadIndex(be);
    t.Index = ReadIndex(be);
    if (t.TraitType == 0 || t.TraitType == 6) {
      t.VIndex = ReadIndex(be);
      if (t.VIndex > 0) t.VKind = be.ReadByte();
    }
    if (t.HasMetadata) ReadIndexList(be, t.Metadata, ReadIndex(be));
  }
}

void WriteTraits(TBitsEngine& be, const TSWFAS3Traits& traits) {
  WriteIndex(be, traits.size());
  for (const auto& t : traits) {
    WriteIndex(be, t.Name);
    be.WriteByte(static_cast<uint8_t>((t.TraitType & 15) | (t.IsFinal ? 0x10 : 0) |
                                      (t.IsOverride ? 0x20 : 0) | (t.HasMetadata ? 0x40 : 0)));
    WriteIndex(be, t.SpecID);
    WriteIndex(be, t.Index);
    if (t.TraitType == 0 || t.TraitType == 6) {
      WriteIndex(be, t.VIndex);
      if (t.VIndex > 0) be.WriteByte(t.VKind);
    }
    if (t.HasMetadata) {
      WriteIndex(be, t.Metadata.size());
      WriteIndexList(be, t.Metadata);
    }
  }
}

void ReadConstantPool(TBitsEngine& be, TSWFAS3ConstantPool& pool) {
  pool.EmptyCountsOfOne = 0;
  size_t n = ReadPoolCount(be, pool.EmptyCountsOfOne, 0);
  pool.Int.clear();
  ReserveFor(be, pool.Int, n, 1);
  for (size_t i = 0; i < n; ++i) pool.Int.push_back(static_cast<int32_t>(ReadIndex(be)));

  n = ReadPoolCount(be, pool.EmptyCountsOfOne, 1);
  pool.UInt.clear();
  ReserveFor(be, pool.UInt, n, 1);
  for (size_t i = 0; i < n; ++i) pool.UInt.push_back(ReadIndex(be));

  n = ReadPoolCount(be, pool.EmptyCountsOfOne, 2);
  pool.Double.clear();
  ReserveFor(be, pool.Double, n, 8);
  for (size_t i = 0; i < n; ++i) pool.Double.push_back(be.ReadDouble());

  n = ReadPoolCount(be, pool.EmptyCountsOfOne, 3);
  pool.Strings.clear();
  ReserveFor(be, pool.Strings, n, 1);
  for (size_t i = 0; i < n; ++i) {
    const auto bytes = be.ReadBytes(ReadIndex(be));
    pool.Strings.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  n = ReadPoolCount(be, pool.EmptyCountsOfOne, 4);
  pool.Namespaces.clear();
  ReserveFor(be, pool.Namespaces, n, 2);
  for (size_t i = 0; i < n; ++i) {
    TSWFNameSpaceObject& ns = pool.Namespaces.emplace_back();
    ns.Kind = be.ReadByte();
    ns.Name = ReadIndex(be);
  }

  n = ReadPoolCount(be, pool.EmptyCountsOfOne, 5);
  pool.NamespaceSets.clear();
  ReserveFor(be, pool.NamespaceSets, n, 1);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t count = ReadIndex(be);
    ReadIndexList(be, pool.NamespaceSets.emplace_back(), count);
  }

  n = ReadPoolCount(be, pool.EmptyCountsOfOne, 6);
  pool.Multinames.clear();
  ReserveFor(be, pool.Multinames, n, 1);
  for (size_t i = 0; i < n; ++i) {
    auto mn = CreateMultiname(be.ReadByte());
    mn->Read(be);
    pool.Multinames.push_back(std::move(mn));
  }
}

void WriteConstantPool(TBitsEngine& be, const TSWFAS3ConstantPool& pool) {
  WritePoolCount(be, pool.Int.size(), pool.EmptyCountsOfOne, 0);
  for (int32_t v : pool.Int) WriteIndex(be, static_cast<uint32_t>(v));
  WritePoolCount(be, pool.UInt.size(), pool.EmptyCountsOfOne, 1);
  for (uint32_t v : pool.UInt) WriteIndex(be, v);
  WritePoolCount(be, pool.Double.size(), pool.EmptyCountsOfOne, 2);
  for (double v : pool.Double) be.WriteDouble(v);
  WritePoolCount(be, pool.Strings.size(), pool.EmptyCountsOfOne, 3);
  for (const auto& s : pool.Strings) {
    WriteIndex(be, s.size());
    be.WriteChars(s.data(), s.size());
  }
  WritePoolCount(be, pool.Namespaces.size(), pool.EmptyCountsOfOne, 4);
  for (const auto& ns : pool.Namespaces) {
    be.WriteByte(ns.Kind);
    WriteIndex(be, ns.Name);
  }
  WritePoolCount(be, pool.NamespaceSets.size(), pool.EmptyCountsOfOne, 5);
  for (const auto& set : pool.NamespaceSets) {
    WriteIndex(be, set.size());
    WriteIndexList(be, set);
  }
  WritePoolCount(be, pool.Multinames.size(), pool.EmptyCountsOfOne, 6);
  for (const auto& mn : pool.Multinames) {
    be.WriteByte(mn->Kind);
    mn->Write(be);
  }
}

void ReadMethod(TBitsEngine& be, TSWFAS3Method& m) {
  const uint32_t params = ReadIndex(be);
  m.ReturnType = ReadIndex(be);
  ReadIndexList(be, m.ParamTypes, params);
  m.Name = ReadIndex(be);
  m.Flags = be.ReadByte();
  m.Options.clear();
  if (m.Flags & TSWFAS3Method::kHasOptional) {
    const uint32_t count = ReadIndex(be);
    ReserveFor(be, m.Options, count, 2);
    for (uint32_t i = 0; i < count; ++i) {
      TSWFAS3MethodOption& o = m.Options.emplace_back();
      o.Value = ReadIndex(be);
      o.Kind = be.ReadByte();
    }
  }
  m.ParamNames.clear();
  if (m.Flags & TSWFAS3Method::kHasParamNames) ReadIndexList(be, m.ParamNames, params);
}

void WriteMethod(TBitsEngine& be, const TSWFAS3Method& m) {
  const bool names = m.Flags & TSWFAS3Method::kHasParamNames;
  if (names && m.ParamNames.size() != m.ParamTypes.size())
    throw ESWFError("A method has not one name per parameter");
  WriteIndex(be, m.ParamTypes.size());
  WriteIndex(be, m.ReturnType);
  WriteIndexList(be, m.ParamTypes);
  WriteIndex(be, m.Name);
  be.WriteByte(m.Flags);
  if (m.Flags & TSWFAS3Method::kHasOptional) {
    WriteIndex(be, m.Options.size());
    for (const auto& o : m.Options) {
      WriteIndex(be, o.Value);
      be.WriteByte(o.Kind);
    }
  }
  if (names) WriteIndexList(be, m.ParamNames);
}

// The items of a metadata entry are stored as all their keys, then all their values.
void ReadMetadataInfo(TBitsEngine& be, TSWFAS3MetadataInfo& info) {
  info.Name = ReadIndex(be);
  const uint32_t count = ReadIndex(be);
  info.Items.clear();
  ReserveFor(be, info.Items, count, 2);
  for (uint32_t i = 0; i < count; ++i) info.Items.emplace_back().Key = ReadIndex(be);
  for (auto& item : info.Items) item.Value = ReadIndex(be);
}

void WriteMetadataInfo(TBitsEngine& be, const TSWFAS3MetadataInfo& info) {
  WriteIndex(be, info.Name);
  WriteIndex(be, info.Items.size());
  for (const auto& item : info.Items) WriteIndex(be, item.Key);
  for (const auto& item : info.Items) WriteIndex(be, item.Value);
}

void ReadInstance(TBitsEngine& be, TSWFAS3InstanceItem& inst) {
  inst.Name = ReadIndex(be);
  inst.SuperName = ReadIndex(be);
  inst.Flags = be.ReadByte();
  inst.ProtectedNs = 0;
  if (inst.Flags & TSWFAS3InstanceItem::kClassProtectedNs) inst.ProtectedNs = ReadIndex(be);
  ReadIndexList(be, inst.Interfaces, ReadIndex(be));
  inst.Iinit = ReadIndex(be);
  ReadTraits(be, inst.Traits);
}

void WriteInstance(TBitsEngine& be, const TSWFAS3InstanceItem& inst) {
  WriteIndex(be, inst.Name);
  WriteIndex(be, inst.SuperName);
  be.WriteByte(inst.Flags);
  if (inst.Flags & TSWFAS3InstanceItem::kClassProtectedNs) WriteIndex(be, inst.ProtectedNs);
  WriteIndex(be, inst.Interfaces.size());
  WriteIndexList(be, inst.Interfaces);
  WriteIndex(be, inst.Iinit);
  WriteTraits(be, inst.Traits);
}

void ReadClassInfo(TBitsEngine& be, TSWFAS3ClassInfo& info) {
  info.Init = ReadIndex(be);
  ReadTraits(be, info.Traits);
}

void WriteClassInfo(TBitsEngine& be, const TSWFAS3ClassInfo& info) {
  WriteIndex(be, info.Init);
  WriteTraits(be, info.Traits);
}

void ReadMethodBody(TBitsEngine& be, TSWFAS3MethodBodyInfo& body) {
  body.Method = ReadIndex(be);
  body.MaxStack = ReadIndex(be);
  body.LocalCount = ReadIndex(be);
  body.InitScopeDepth = ReadIndex(be);
  body.MaxScopeDepth = ReadIndex(be);
  const auto code = be.ReadBytes(ReadIndex(be));
  body.Code.assign(code.begin(), code.end());
  const uint32_t count = ReadIndex(be);
  body.Exceptions.clear();
  ReserveFor(be, body.Exceptions, count, 5);
  for (uint32_t i = 0; i < count; ++i) {
    TSWFAS3Exception& e = body.Exceptions.emplace_back();
    e.From = ReadIndex(be);
    e.To = ReadIndex(be);
    e.Target = ReadIndex(be);
    e.ExcType = ReadIndex(be);
    e.VarName = ReadIndex(be);
  }
  ReadTraits(be, body.Traits);
}

void WriteMethodBody(TBitsEngine& be, const TSWFAS3MethodBodyInfo& body) {
  WriteIndex(be, body.Method);
  WriteIndex(be, body.MaxStack);
  WriteIndex(be, body.LocalCount);
  WriteIndex(be, body.InitScopeDepth);
  WriteIndex(be, body.MaxScopeDepth);
  WriteIndex(be, body.Code.size());
  be.WriteBytes(body.Code);
  WriteIndex(be, body.Exceptions.size());
  for (const auto& e : body.Exceptions) {
    WriteIndex(be, e.From);
    WriteIndex(be, e.To);
    WriteIndex(be, e.Target);
    WriteIndex(be, e.ExcType);
    WriteIndex(be, e.VarName);
  }
  WriteTraits(be, body.Traits);
}

// Reads count entries with read, each taking at least minSize bytes.
template <class T, class F>
void ReadList(TBitsEngine& be, std::vector<T>& list, size_t count, size_t minSize, F read) {
  list.clear();
  ReserveFor(be, list, count, minSize);
  for (size_t i = 0; i < count; ++i) read(be, list.emplace_back());
}

}  // namespace

// ---- multinames ------------------------------------------------------------------------------

std::unique_ptr<TSWFBasedMultiNameObject> TSWFBasedMultiNameObject::Clone() const {
  return std::make_unique<TSWFBasedMultiNameObject>(*this);
}

std::unique_ptr<TSWFBasedMultiNameObject> TSWFmnQName::Clone() const {
  return std::make_unique<TSWFmnQName>(*this);
}
void TSWFmnQName::Read(TBitsEngine& be) {
  NS = ReadIndex(be);
  Name = ReadIndex(be);
}
void TSWFmnQName::Write(TBitsEngine& be) const {
  WriteIndex(be, NS);
  WriteIndex(be, Name);
}
bool TSWFmnQName::Equals(const TSWFBasedMultiNameObject& other) const {
  const auto* o = dynamic_cast<const TSWFmnQName*>(&other);
  return o && Kind == o->Kind && NS == o->NS && Name == o->Name;
}

std::unique_ptr<TSWFBasedMultiNameObject> TSWFmnMultiname::Clone() const {
  return std::make_unique<TSWFmnMultiname>(*this);
}
void TSWFmnMultiname::Read(TBitsEngine& be) {
  Name = ReadIndex(be);
  NSSet = ReadIndex(be);
}
void TSWFmnMultiname::Write(TBitsEngine& be) const {
  WriteIndex(be, Name);
  WriteIndex(be, NSSet);
}
bool TSWFmnMultiname::Equals(const TSWFBasedMultiNameObject& other) const {
  const auto* o = dynamic_cast<const TSWFmnMultiname*>(&other);
  return o && Kind == o->Kind && Name == o->Name && NSSet == o->NSSet;
}

std::unique_ptr<TSWFBasedMultiNameObject> TSWFmnRTQName::Clone() const {
  return std::make_unique<TSWFmnRTQName>(*this);
}
void TSWFmnRTQName::Read(TBitsEngine& be) { Name = ReadIndex(be); }
void TSWFmnRTQName::Write(TBitsEngine& be) const { WriteIndex(be, Name); }
bool TSWFmnRTQName::Equals(const TSWFBasedMultiNameObject& other) const {
  const auto* o = dynamic_cast<const TSWFmnRTQName*>(&other);
  return o && Kind == o->Kind && Name == o->Name;
}

std::unique_ptr<TSWFBasedMultiNameObject> TSWFmnMultinameL::Clone() const {
  return std::make_unique<TSWFmnMultinameL>(*this);
}
void TSWFmnMultinameL::Read(TBitsEngine& be) { NSSet = ReadIndex(be); }
void TSWFmnMultinameL::Write(TBitsEngine& be) const { WriteIndex(be, NSSet); }
bool TSWFmnMultinameL::Equals(const TSWFBasedMultiNameObject& other) const {
  const auto* o = dynamic_cast<const TSWFmnMultinameL*>(&other);
  return o && Kind == o->Kind && NSSet == o->NSSet;
}

std::unique_ptr<TSWFBasedMultiNameObject> TSWFmnTypeName::Clone() const {
  return std::make_unique<TSWFmnTypeName>(*this);
}
void TSWFmnTypeName::Read(TBitsEngine& be) {
  QName = ReadIndex(be);
  ReadIndexList(be, Params, ReadIndex(be));
}
void TSWFmnTypeName::Write(TBitsEngine& be) const {
  WriteIndex(be, QName);
  WriteIndex(be, Params.size());
  WriteIndexList(be, Params);
}
bool TSWFmnTypeName::Equals(const TSWFBasedMultiNameObject& other) const {
  const auto* o = dynamic_cast<const TSWFmnTypeName*>(&other);
  return o && Kind == o->Kind && QName == o->QName && Params == o->Params;
}

std::unique_ptr<TSWFBasedMultiNameObject> CreateMultiname(uint8_t kind) {
  switch (kind) {
    case 0x07: case 0x0D: return std::make_unique<TSWFmnQName>(kind);
    case 0x09: case 0x0E: return std::make_unique<TSWFmnMultiname>(kind);
    case 0x0F: case 0x10: return std::make_unique<TSWFmnRTQName>(kind);
    case 0x11: case 0x12: return std::make_unique<TSWFBasedMultiNameObject>(kind);
    case 0x1D: return std::make_unique<TSWFmnTypeName>();
    default: return std::make_unique<TSWFmnMultinameL>(kind);
  }
}

// ---- constant pool ---------------------------------------------------------------------------

TSWFAS3ConstantPool& TSWFAS3ConstantPool::operator=(const TSWFAS3ConstantPool& source) {
  if (this == &source) return *this;
  Int = source.Int;
  UInt = source.UInt;
  Double = source.Double;
  Strings = source.Strings;
  Namespaces = source.Namespaces;
  NamespaceSets = source.NamespaceSets;
  EmptyCountsOfOne = source.EmptyCountsOfOne;
  Multinames.clear();
  Multinames.reserve(source.Multinames.size());
  for (const auto& mn : source.Multinames) Multinames.push_back(mn->Clone());
  return *this;
}

bool TSWFAS3ConstantPool::operator==(const TSWFAS3ConstantPool& other) const {
  auto sameBits = [](double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
  };
  return Int == other.Int && UInt == other.UInt &&
         std::equal(Double.begin(), Double.end(), other.Double.begin(), other.Double.end(),
                    sameBits) &&
         Strings == other.Strings && Namespaces == other.Namespaces &&
         NamespaceSets == other.NamespaceSets &&
         std::equal(Multinames.begin(), Multinames.end(), other.Multinames.begin(),
                    other.Multinames.end(),
                    [](const auto& a, const auto& b) { return a->Equals(*b); });
}

// ---- DoABC -----------------------------------------------------------------------------------

void TSWFDoABC::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDoABC>(source);
  LazyInitializeFlag = s.LazyInitializeFlag;
  ReservedFlags = s.ReservedFlags;
  Name = s.Name;
  MinorVersion = s.MinorVersion;
  MajorVersion = s.MajorVersion;
  ParseActions = s.ParseActions;
  RawData = s.RawData;
  ConstantPool = s.ConstantPool;
  Methods = s.Methods;
  Metadata = s.Metadata;
  Instances = s.Instances;
  Classes = s.Classes;
  Scripts = s.Scripts;
  MethodBodies = s.MethodBodies;
}

void TSWFDoABC::ReadABC(TBitsEngine& be) {
  ReadConstantPool(be, ConstantPool);
  ReadList(be, Methods, ReadIndex(be), 4, ReadMethod);
  ReadList(be, Metadata, ReadIndex(be), 2, ReadMetadataInfo);
  const uint32_t classes = ReadIndex(be);
  ReadList(be, Instances, classes, 6, ReadInstance);
  ReadList(be, Classes, classes, 2, ReadClassInfo);
  ReadList(be, Scripts, ReadIndex(be), 2, ReadClassInfo);
  ReadList(be, MethodBodies, ReadIndex(be), 9, ReadMethodBody);
}

void TSWFDoABC::WriteABC(TBitsEngine& be) const {
  if (Instances.size() != Classes.size())
    throw ESWFError("An ABC file has not one instance per class");
  WriteConstantPool(be, ConstantPool);
  WriteIndex(be, Methods.size());
  for (const auto& m : Methods) WriteMethod(be, m);
  WriteIndex(be, Metadata.size());
  for (const auto& m : Metadata) WriteMetadataInfo(be, m);
  WriteIndex(be, Classes.size());
  for (const auto& i : Instances) WriteInstance(be, i);
  for (const auto& c : Classes) WriteClassInfo(be, c);
  WriteIndex(be, Scripts.size());
  for (const auto& s : Scripts) WriteClassInfo(be, s);
  WriteIndex(be, MethodBodies.size());
  for (const auto& b : MethodBodies) WriteMethodBody(be, b);
}

void TSWFDoABC::ReadFromStream(TBitsEngine& be) {
  const uint32_t flags = be.ReadDWord();
  LazyInitializeFlag = flags & 1;
  ReservedFlags = flags & ~1u;
  Name = be.ReadString();
  MinorVersion = be.ReadWord();
  MajorVersion = be.ReadWord();
  RawData.clear();
  if (ParseActions) {
    ReadABC(be);
    // Bytes the structures do not account for would be lost on writing: keep the tag raw.
    if (be.Stream.Remaining()) throw ESWFError("Bytes follow the ABC file");
  } else {
    const auto bytes = be.ReadBytes(be.Stream.Remaining());
    RawData.assign(bytes.begin(), bytes.end());
  }
}

void TSWFDoABC::WriteTagBody(TBitsEngine& be) {
  be.WriteDWord((ReservedFlags & ~1u) | (LazyInitializeFlag ? 1u : 0u));
  be.WriteString(Name, true);
  be.WriteWord(MinorVersion);
  be.WriteWord(MajorVersion);
  if (ParseActions) WriteABC(be);
  else be.WriteBytes(RawData);
}

void TSWFDoABC::Describe(TSWFFields& f) const {
  f.emplace_back("name", "\"" + Name + "\"");
  if (LazyInitializeFlag) f.emplace_back("lazy", "yes");
  f.emplace_back("abc", std::to_string(MajorVersion) + "." + std::to_string(MinorVersion));
  const TSWFDoABC* parsed = this;
  TSWFDoABC decoded;
  if (!ParseActions) {
    f.emplace_back("bytes", std::to_string(RawData.size()));
    // The structures are shown all the same, from a decoded copy.
    TMemoryStream view = TMemoryStream::View(RawData);
    TBitsEngine be(view);
    try {
      decoded.ReadABC(be);
    } catch (const ESWFError&) {
      return;
    }
    parsed = &decoded;
  }
  f.emplace_back("methods", std::to_string(parsed->Methods.size()));
  f.emplace_back("scripts", std::to_string(parsed->Scripts.size()));
  f.emplace_back("classes", std::to_string(parsed->Classes.size()));
  // The names of the first classes, as far as they are plain qualified names.
  const auto& pool = parsed->ConstantPool;
  std::string names;
  for (size_t i = 0; i < parsed->Instances.size() && i < 4; ++i) {
    const uint32_t mn = parsed->Instances[i].Name;
    const auto* q = mn > 0 && mn <= pool.Multinames.size()
                        ? dynamic_cast<const TSWFmnQName*>(pool.Multinames[mn - 1].get())
                        : nullptr;
    if (!q || q->Name == 0 || q->Name > pool.Strings.size()) continue;
    if (!names.empty()) names += ",";
    names += pool.Strings[q->Name - 1];
  }
  if (parsed->Instances.size() > 4) names += ",...";
  if (!names.empty()) f.emplace_back("names", names);
}

}  // namespace tw::swf
