// DoABC as XML: the ABC file's structures element by element, every index a number into its pool
// as the file holds it, the code of each method body as base64. Indexes are checked against the
// pools they point into, so a hand edit cannot send one past its pool; a file read from a movie
// whose indexes already do is kept as its bytes, which still compile back unchanged.
#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "swf/abc.h"
#include "swf/xml.h"

namespace tw::swf {

namespace {

struct TKindName {
  uint8_t Kind;
  std::string_view Name;
};

// The kinds of constants (method options, slot values) and of namespaces.
constexpr TKindName kConstantKinds[] = {
    {0x00, "Undefined"},         {0x01, "Utf8"},
    {0x03, "Int"},               {0x04, "UInt"},
    {0x05, "PrivateNs"},         {0x06, "Double"},
    {0x08, "Namespace"},         {0x0A, "False"},
    {0x0B, "True"},              {0x0C, "Null"},
    {0x16, "PackageNamespace"},  {0x17, "PackageInternalNs"},
    {0x18, "ProtectedNamespace"}, {0x19, "ExplicitNamespace"},
    {0x1A, "StaticProtectedNs"},
};

// Multinames are elements named after their kind; a kind outside this table is a <MultinameL>
// with its Kind, as the reader takes it.
constexpr TKindName kMultinameKinds[] = {
    {0x07, "QName"},     {0x0D, "QNameA"},     {0x0F, "RTQName"},     {0x10, "RTQNameA"},
    {0x11, "RTQNameL"},  {0x12, "RTQNameLA"},  {0x09, "Multiname"},   {0x0E, "MultinameA"},
    {0x1B, "MultinameL"}, {0x1C, "MultinameLA"}, {0x1D, "TypeName"},
};
constexpr uint8_t kMultinameL = 0x1B;

constexpr std::string_view kTraitKinds[] = {"Slot", "Method", "Getter", "Setter",
                                            "Class", "Function", "Const"};

template <size_t N>
std::optional<std::string_view> NameOfKind(const TKindName (&table)[N], uint8_t kind) {
  for (const auto& k : table)
    if (k.Kind == kind) return k.Name;
  return std::nullopt;
}

template <size_t N>
std::optional<uint8_t> KindOfName(const TKindName (&table)[N], std::string_view name) {
  for (const auto& k : table)
    if (k.Name == name) return k.Kind;
  return std::nullopt;
}

bool IsSlot(uint8_t traitType) { return traitType == 0 || traitType == 6; }

// ---- what indexes point into ---------------------------------------------------------------------

enum class EPool { Int, UInt, Double, String, Namespace, NamespaceSet, Multiname, Method, Metadata, Class };

// The pool an option's or a slot's value index points into, by the constant's kind; none for the
// kinds whose value is the kind itself (true, false, null, undefined).
std::optional<EPool> PoolOfConstant(uint8_t kind) {
  switch (kind) {
    case 0x01: return EPool::String;
    case 0x03: return EPool::Int;
    case 0x04: return EPool::UInt;
    case 0x06: return EPool::Double;
    case 0x05: case 0x08: case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A:
      return EPool::Namespace;
    default: return std::nullopt;
  }
}

// Checks indexes against the sizes of what they point into and keeps the first one beyond its
// pool as a message naming the attribute. Constant pools count their implicit entry 0; methods,
// metadata and classes are counted from 0.
class TIndexCheck {
 public:
  TIndexCheck(const TSWFAS3ConstantPool& pool, size_t methods, size_t metadata, size_t classes)
      : FSizes{pool.Int.size(),        pool.UInt.size(),          pool.Double.size(),
               pool.Strings.size(),    pool.Namespaces.size(),    pool.NamespaceSets.size(),
               pool.Multinames.size(), methods,                   metadata,
               classes} {}

  const std::string& Fault() const { return FFault; }

  void Index(std::string_view field, uint32_t value, EPool pool) {
    if (!FFault.empty()) return;
    static constexpr std::string_view kNames[] = {
        "the int pool", "the uint pool",      "the double pool", "the string pool",
        "the namespace pool", "the namespace-set pool", "the multiname pool",
        "the methods", "the metadata", "the classes"};
    const auto p = static_cast<size_t>(pool);
    const size_t size = FSizes[p];
    const bool implicitZero = pool < EPool::Method;
    if (implicitZero ? value <= size : value < size) return;
    const std::string name(kNames[p]);
    FFault = std::string(field) + "=" + std::to_string(value) + " is beyond " + name +
             (implicitZero ? " (0 to " + std::to_string(size) + ")"
              : size == 0  ? " (there are none)"
                           : " (0 to " + std::to_string(size - 1) + ")");
  }
  void List(std::string_view field, const TSWFIntegerList& list, EPool pool) {
    for (uint32_t v : list) Index(field, v, pool);
  }
  void Constant(std::string_view field, uint32_t value, uint8_t kind) {
    if (const auto pool = PoolOfConstant(kind)) Index(field, value, *pool);
  }

  void Multiname(const TSWFBasedMultiNameObject& mn) {
    if (const auto* q = dynamic_cast<const TSWFmnQName*>(&mn)) {
      Index("NS", q->NS, EPool::Namespace);
      Index("Name", q->Name, EPool::String);
    } else if (const auto* m = dynamic_cast<const TSWFmnMultiname*>(&mn)) {
      Index("Name", m->Name, EPool::String);
      Index("NSSet", m->NSSet, EPool::NamespaceSet);
    } else if (const auto* r = dynamic_cast<const TSWFmnRTQName*>(&mn)) {
      Index("Name", r->Name, EPool::String);
    } else if (const auto* l = dynamic_cast<const TSWFmnMultinameL*>(&mn)) {
      Index("NSSet", l->NSSet, EPool::NamespaceSet);
    } else if (const auto* t = dynamic_cast<const TSWFmnTypeName*>(&mn)) {
      Index("QName", t->QName, EPool::Multiname);
      List("Params", t->Params, EPool::Multiname);
    }
  }
  void Method(const TSWFAS3Method& m) {
    Index("Name", m.Name, EPool::String);
    Index("ReturnType", m.ReturnType, EPool::Multiname);
    List("ParamTypes", m.ParamTypes, EPool::Multiname);
    List("ParamNames", m.ParamNames, EPool::String);
  }
  void Option(const TSWFAS3MethodOption& o) { Constant("Value", o.Value, o.Kind); }
  void MetadataInfo(const TSWFAS3MetadataInfo& info) {
    Index("Name", info.Name, EPool::String);
    for (const auto& item : info.Items) Item(item);
  }
  void Item(const TSWFAS3MetadataItem& item) {
    Index("Key", item.Key, EPool::String);
    Index("Value", item.Value, EPool::String);
  }
  // Trait types 7 to 15 have no form of their own: nothing can check them.
  void Trait(const TSWFAS3Trait& t) {
    if (!FFault.empty()) return;
    if (t.TraitType >= std::size(kTraitKinds)) {
      FFault = "trait kind " + std::to_string(t.TraitType) + " is unknown";
      return;
    }
    Index("Name", t.Name, EPool::Multiname);
    switch (t.TraitType) {
      case 0: case 6:
        Index("Index", t.Index, EPool::Multiname);
        if (t.VIndex > 0) Constant("VIndex", t.VIndex, t.VKind);
        break;
      case 4: Index("Index", t.Index, EPool::Class); break;
      default: Index("Index", t.Index, EPool::Method);
    }
    if (t.HasMetadata) List("Metadata", t.Metadata, EPool::Metadata);
  }
  void Instance(const TSWFAS3InstanceItem& inst) {
    Index("Name", inst.Name, EPool::Multiname);
    Index("SuperName", inst.SuperName, EPool::Multiname);
    if (inst.Flags & TSWFAS3InstanceItem::kClassProtectedNs)
      Index("ProtectedNs", inst.ProtectedNs, EPool::Namespace);
    List("Interfaces", inst.Interfaces, EPool::Multiname);
    Index("Iinit", inst.Iinit, EPool::Method);
  }
  void Body(const TSWFAS3MethodBodyInfo& body) { Index("Method", body.Method, EPool::Method); }
  void Exception(const TSWFAS3Exception& e) {
    Index("ExcType", e.ExcType, EPool::Multiname);
    Index("VarName", e.VarName, EPool::Multiname);
  }

  // The whole file, for the writer's choice between fields and bytes.
  bool Passes(const TSWFDoABC& abc) {
    const auto& pool = abc.ConstantPool;
    for (const auto& ns : pool.Namespaces) Index("Name", ns.Name, EPool::String);
    for (const auto& set : pool.NamespaceSets) List("Namespaces", set, EPool::Namespace);
    for (const auto& mn : pool.Multinames) Multiname(*mn);
    for (const auto& m : abc.Methods) {
      Method(m);
      for (const auto& o : m.Options) Option(o);
    }
    for (const auto& info : abc.Metadata) MetadataInfo(info);
    auto traits = [this](const TSWFAS3Traits& list) {
      for (const auto& t : list) Trait(t);
    };
    for (const auto& inst : abc.Instances) {
      Instance(inst);
      traits(inst.Traits);
    }
    for (const auto* list : {&abc.Classes, &abc.Scripts}) {
      for (const auto& info : *list) {
        Index("Init", info.Init, EPool::Method);
        traits(info.Traits);
      }
    }
    for (const auto& body : abc.MethodBodies) {
      Body(body);
      for (const auto& e : body.Exceptions) Exception(e);
      traits(body.Traits);
    }
    return FFault.empty();
  }

 private:
  size_t FSizes[10];
  std::string FFault;
};

// Each read structure is checked at once, so the message carries its element's line.
void Check(const TSWFXmlNode& node, const TIndexCheck& check) {
  if (!check.Fault().empty()) node.Fail(check.Fault());
}

[[noreturn]] void Unknown(const TSWFXmlNode& child, std::string_view parent) {
  child.Fail("unknown element <" + std::string(child.Name()) + "> in <" + std::string(parent) + ">");
}

// ---- small fields ----------------------------------------------------------------------------

// Index lists are numbers separated by spaces: "3 7 12".
void WriteIndexList(TSWFXmlWriter& xml, std::string_view name, const TSWFIntegerList& list) {
  std::string text;
  for (uint32_t v : list) {
    if (!text.empty()) text += ' ';
    text += std::to_string(v);
  }
  xml.String(name, text);
}

TSWFIntegerList ReadIndexList(const TSWFXmlNode& node, std::string_view name) {
  const std::string text = node.String(name);
  TSWFIntegerList list;
  const char* p = text.data();
  const char* const end = p + text.size();
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (true) {
    while (p < end && space(*p)) ++p;
    if (p == end) return list;
    uint32_t value = 0;
    const auto r = std::from_chars(p, end, value);
    if (r.ec != std::errc() || (r.ptr < end && !space(*r.ptr)))
      node.Fail(std::string(name) + "=\"" + text +
                "\" is not a list of whole numbers from 0 to 4294967295");
    list.push_back(value);
    p = r.ptr;
  }
}

TSWFIntegerList ReadOptionalIndexList(const TSWFXmlNode& node, std::string_view name) {
  return node.Has(name) ? ReadIndexList(node, name) : TSWFIntegerList{};
}

uint32_t ReadIndex(const TSWFXmlNode& node, std::string_view name) {
  return node.Get<uint32_t>(name);
}

// A constant or namespace kind: its name, or a number for a kind without one.
void WriteConstantKind(TSWFXmlWriter& xml, std::string_view name, uint8_t kind) {
  if (const auto known = NameOfKind(kConstantKinds, kind)) xml.String(name, *known);
  else xml.Hex(name, kind);
}

uint8_t ReadConstantKind(const TSWFXmlNode& node, std::string_view name) {
  const std::string text = node.String(name);
  if (const auto kind = KindOfName(kConstantKinds, text)) return *kind;
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0]))))
    node.Fail(std::string(name) + "=\"" + text + "\" is not a constant kind (Utf8, Int, UInt, " +
              "Double, True, False, Null, Undefined, a namespace kind, or a number)");
  return node.Get<uint8_t>(name);
}

// Flag bits without names of their own, kept as read; a bit that has a name is refused here.
uint8_t ReadReservedFlags(const TSWFXmlNode& node, uint8_t named) {
  if (!node.Has("ReservedFlags")) return 0;
  const auto value = node.Get<uint8_t>("ReservedFlags");
  if (value & named) node.Fail("ReservedFlags may only hold the bits without a name of their own");
  return value;
}

// ---- the constant pool -----------------------------------------------------------------------

void WriteDoubleXml(TSWFXmlWriter& xml, double value) {
  xml.Open("Double");
  if (std::isnan(value)) {
    // A NaN's payload has no decimal form: its bits keep it.
    char buf[19] = "0x";
    const auto bits = std::bit_cast<uint64_t>(value);
    for (int i = 0; i < 16; ++i) buf[2 + i] = "0123456789ABCDEF"[bits >> (60 - 4 * i) & 15];
    xml.String("Bits", {buf, 18});
  } else {
    xml.Number("Value", value);
  }
  xml.Close();
}

double ReadDoubleXml(const TSWFXmlNode& node) {
  if (!node.Has("Bits")) return node.Number("Value");
  const std::string text = node.String("Bits");
  uint64_t bits = 0;
  const char* const end = text.data() + text.size();
  const auto r = text.size() > 2 && text.starts_with("0x")
                     ? std::from_chars(text.data() + 2, end, bits, 16)
                     : std::from_chars_result{text.data(), std::errc::invalid_argument};
  if (r.ec != std::errc() || r.ptr != end)
    node.Fail("Bits=\"" + text + "\" is not a 64-bit number in hex (0x7FF8000000000000)");
  return std::bit_cast<double>(bits);
}

void WriteMultinameXml(TSWFXmlWriter& xml, const TSWFBasedMultiNameObject& mn) {
  const auto name = NameOfKind(kMultinameKinds, mn.Kind);
  xml.Open(name ? *name : "MultinameL");
  if (!name) xml.Hex("Kind", mn.Kind);
  if (const auto* q = dynamic_cast<const TSWFmnQName*>(&mn)) {
    xml.Int("NS", q->NS);
    xml.Int("Name", q->Name);
  } else if (const auto* m = dynamic_cast<const TSWFmnMultiname*>(&mn)) {
    xml.Int("Name", m->Name);
    xml.Int("NSSet", m->NSSet);
  } else if (const auto* r = dynamic_cast<const TSWFmnRTQName*>(&mn)) {
    xml.Int("Name", r->Name);
  } else if (const auto* l = dynamic_cast<const TSWFmnMultinameL*>(&mn)) {
    xml.Int("NSSet", l->NSSet);
  } else if (const auto* t = dynamic_cast<const TSWFmnTypeName*>(&mn)) {
    xml.Int("QName", t->QName);
    WriteIndexList(xml, "Params", t->Params);
  }
  xml.Close();
}

// Null when the element names no multiname kind.
std::unique_ptr<TSWFBasedMultiNameObject> ReadMultinameXml(const TSWFXmlNode& node) {
  auto kind = KindOfName(kMultinameKinds, node.Name());
  if (!kind) return nullptr;
  if (*kind == kMultinameL && node.Has("Kind")) {
    // Only a kind the reader takes as MultinameL reads back as one.
    kind = node.Get<uint8_t>("Kind");
    if (const auto own = NameOfKind(kMultinameKinds, *kind); own && *kind != kMultinameL)
      node.Fail("Kind=" + std::to_string(*kind) + " has an element of its own: <" +
                std::string(*own) + ">");
  }
  auto mn = CreateMultiname(*kind);
  if (auto* q = dynamic_cast<TSWFmnQName*>(mn.get())) {
    q->NS = ReadIndex(node, "NS");
    q->Name = ReadIndex(node, "Name");
  } else if (auto* m = dynamic_cast<TSWFmnMultiname*>(mn.get())) {
    m->Name = ReadIndex(node, "Name");
    m->NSSet = ReadIndex(node, "NSSet");
  } else if (auto* r = dynamic_cast<TSWFmnRTQName*>(mn.get())) {
    r->Name = ReadIndex(node, "Name");
  } else if (auto* l = dynamic_cast<TSWFmnMultinameL*>(mn.get())) {
    l->NSSet = ReadIndex(node, "NSSet");
  } else if (auto* t = dynamic_cast<TSWFmnTypeName*>(mn.get())) {
    t->QName = ReadIndex(node, "QName");
    t->Params = ReadIndexList(node, "Params");
  }
  return mn;
}

void WriteConstantPoolXml(TSWFXmlWriter& xml, const TSWFAS3ConstantPool& pool) {
  xml.Open("ConstantPool");
  if (pool.EmptyCountsOfOne != 0) xml.Hex("EmptyCountsOfOne", pool.EmptyCountsOfOne);
  for (int32_t v : pool.Int) {
    xml.Open("Int");
    xml.Int("Value", v);
    xml.Close();
  }
  for (uint32_t v : pool.UInt) {
    xml.Open("UInt");
    xml.Int("Value", v);
    xml.Close();
  }
  for (double v : pool.Double) WriteDoubleXml(xml, v);
  for (const auto& s : pool.Strings) {
    xml.Open("String");
    xml.String("Value", s);
    xml.Close();
  }
  for (const auto& ns : pool.Namespaces) {
    xml.Open("Namespace");
    WriteConstantKind(xml, "Kind", ns.Kind);
    xml.Int("Name", ns.Name);
    xml.Close();
  }
  for (const auto& set : pool.NamespaceSets) {
    xml.Open("NamespaceSet");
    WriteIndexList(xml, "Namespaces", set);
    xml.Close();
  }
  for (const auto& mn : pool.Multinames) WriteMultinameXml(xml, *mn);
  xml.Close();
}

// The pools in any order of their elements; each pool's entries in order, from index 1.
void ReadConstantPoolXml(const TSWFXmlNode& node, TSWFAS3ConstantPool& pool, size_t methods,
                         size_t metadata, size_t classes) {
  std::vector<TSWFXmlNode> namespaces, sets, multinames;
  for (const TSWFXmlNode& child : node.Elements()) {
    const std::string_view name = child.Name();
    if (name == "Int") {
      pool.Int.push_back(child.Get<int32_t>("Value"));
    } else if (name == "UInt") {
      pool.UInt.push_back(child.Get<uint32_t>("Value"));
    } else if (name == "Double") {
      pool.Double.push_back(ReadDoubleXml(child));
    } else if (name == "String") {
      pool.Strings.push_back(child.String("Value"));
    } else if (name == "Namespace") {
      pool.Namespaces.push_back({ReadConstantKind(child, "Kind"), ReadIndex(child, "Name")});
      namespaces.push_back(child);
    } else if (name == "NamespaceSet") {
      pool.NamespaceSets.push_back(ReadIndexList(child, "Namespaces"));
      sets.push_back(child);
    } else if (auto mn = ReadMultinameXml(child)) {
      pool.Multinames.push_back(std::move(mn));
      multinames.push_back(child);
    } else {
      Unknown(child, "ConstantPool");
    }
  }
  // The marks of pools that have entries would not be written: they are dropped now.
  const size_t sizes[] = {pool.Int.size(),        pool.UInt.size(),       pool.Double.size(),
                          pool.Strings.size(),    pool.Namespaces.size(), pool.NamespaceSets.size(),
                          pool.Multinames.size()};
  uint8_t ones = node.Has("EmptyCountsOfOne") ? node.Get<uint8_t>("EmptyCountsOfOne") : 0;
  if (ones > 0x7F) node.Fail("EmptyCountsOfOne has a bit per pool: 0 to 0x7F");
  for (int i = 0; i < 7; ++i)
    if (sizes[i] > 0) ones &= static_cast<uint8_t>(~(1u << i));
  pool.EmptyCountsOfOne = ones;

  TIndexCheck check(pool, methods, metadata, classes);
  for (size_t i = 0; i < namespaces.size(); ++i) {
    check.Index("Name", pool.Namespaces[i].Name, EPool::String);
    Check(namespaces[i], check);
  }
  for (size_t i = 0; i < sets.size(); ++i) {
    check.List("Namespaces", pool.NamespaceSets[i], EPool::Namespace);
    Check(sets[i], check);
  }
  for (size_t i = 0; i < multinames.size(); ++i) {
    check.Multiname(*pool.Multinames[i]);
    Check(multinames[i], check);
  }
}

// ---- methods, metadata, traits ---------------------------------------------------------------

constexpr uint8_t kMethodNamedFlags =
    TSWFAS3Method::kNeedArguments | TSWFAS3Method::kNeedActivation | TSWFAS3Method::kNeedRest |
    TSWFAS3Method::kHasOptional | TSWFAS3Method::kSetDxns | TSWFAS3Method::kHasParamNames;

void WriteMethodXml(TSWFXmlWriter& xml, const TSWFAS3Method& m) {
  xml.Open("Method");
  xml.Int("Name", m.Name);
  xml.Int("ReturnType", m.ReturnType);
  if (!m.ParamTypes.empty()) WriteIndexList(xml, "ParamTypes", m.ParamTypes);
  // Present, even empty, exactly when the method carries its parameter names.
  if (m.Flags & TSWFAS3Method::kHasParamNames) WriteIndexList(xml, "ParamNames", m.ParamNames);
  xml.Flag("NeedArguments", m.NeedArguments());
  xml.Flag("NeedActivation", m.NeedActivation());
  xml.Flag("NeedRest", m.NeedRest());
  xml.Flag("SetDxns", m.SetDxns());
  // Options stand for their flag; it needs saying only for an empty list.
  xml.Flag("HasOptional", (m.Flags & TSWFAS3Method::kHasOptional) && m.Options.empty());
  if (const uint8_t reserved = m.Flags & ~kMethodNamedFlags) xml.Hex("ReservedFlags", reserved);
  for (const auto& o : m.Options) {
    xml.Open("Option");
    xml.Int("Value", o.Value);
    WriteConstantKind(xml, "Kind", o.Kind);
    xml.Close();
  }
  xml.Close();
}

TSWFAS3Method ReadMethodXml(const TSWFXmlNode& node, TIndexCheck& check) {
  TSWFAS3Method m;
  m.Name = ReadIndex(node, "Name");
  m.ReturnType = ReadIndex(node, "ReturnType");
  m.ParamTypes = ReadOptionalIndexList(node, "ParamTypes");
  m.Flags = ReadReservedFlags(node, kMethodNamedFlags);
  if (node.Has("ParamNames")) {
    m.Flags |= TSWFAS3Method::kHasParamNames;
    m.ParamNames = ReadIndexList(node, "ParamNames");
    if (m.ParamNames.size() != m.ParamTypes.size())
      node.Fail("ParamNames has " + std::to_string(m.ParamNames.size()) + " names for " +
                std::to_string(m.ParamTypes.size()) + " parameters");
  }
  if (node.Flag("NeedArguments")) m.Flags |= TSWFAS3Method::kNeedArguments;
  if (node.Flag("NeedActivation")) m.Flags |= TSWFAS3Method::kNeedActivation;
  if (node.Flag("NeedRest")) m.Flags |= TSWFAS3Method::kNeedRest;
  if (node.Flag("SetDxns")) m.Flags |= TSWFAS3Method::kSetDxns;
  if (node.Flag("HasOptional")) m.Flags |= TSWFAS3Method::kHasOptional;
  check.Method(m);
  Check(node, check);
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "Option") Unknown(child, "Method");
    const auto& o = m.Options.emplace_back(
        TSWFAS3MethodOption{ReadIndex(child, "Value"), ReadConstantKind(child, "Kind")});
    check.Option(o);
    Check(child, check);
  }
  if (!m.Options.empty()) m.Flags |= TSWFAS3Method::kHasOptional;
  return m;
}

void WriteMetadataXml(TSWFXmlWriter& xml, const TSWFAS3MetadataInfo& info) {
  xml.Open("Metadata");
  xml.Int("Name", info.Name);
  for (const auto& item : info.Items) {
    xml.Open("Item");
    xml.Int("Key", item.Key);
    xml.Int("Value", item.Value);
    xml.Close();
  }
  xml.Close();
}

TSWFAS3MetadataInfo ReadMetadataXml(const TSWFXmlNode& node, TIndexCheck& check) {
  TSWFAS3MetadataInfo info;
  info.Name = ReadIndex(node, "Name");
  check.Index("Name", info.Name, EPool::String);
  Check(node, check);
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "Item") Unknown(child, "Metadata");
    const auto& item = info.Items.emplace_back(
        TSWFAS3MetadataItem{ReadIndex(child, "Key"), ReadIndex(child, "Value")});
    check.Item(item);
    Check(child, check);
  }
  return info;
}

void WriteTraitXml(TSWFXmlWriter& xml, const TSWFAS3Trait& t) {
  xml.Open("Trait");
  xml.String("Kind", kTraitKinds[t.TraitType]);
  xml.Int("Name", t.Name);
  xml.Int("SpecID", t.SpecID);
  xml.Int("Index", t.Index);
  if (IsSlot(t.TraitType) && t.VIndex > 0) {
    xml.Int("VIndex", t.VIndex);
    WriteConstantKind(xml, "VKind", t.VKind);
  }
  xml.Flag("IsFinal", t.IsFinal);
  xml.Flag("IsOverride", t.IsOverride);
  if (t.HasMetadata) WriteIndexList(xml, "Metadata", t.Metadata);
  xml.Close();
}

void WriteTraitsXml(TSWFXmlWriter& xml, const TSWFAS3Traits& traits) {
  for (const auto& t : traits) WriteTraitXml(xml, t);
}

TSWFAS3Trait ReadTraitXml(const TSWFXmlNode& node, TIndexCheck& check) {
  TSWFAS3Trait t;
  const std::string kind = node.String("Kind");
  const auto* found = std::find(std::begin(kTraitKinds), std::end(kTraitKinds), kind);
  if (found == std::end(kTraitKinds))
    node.Fail("Kind=\"" + kind +
              "\" is not a trait kind (Slot, Method, Getter, Setter, Class, Function, Const)");
  t.TraitType = static_cast<uint8_t>(found - std::begin(kTraitKinds));
  t.Name = ReadIndex(node, "Name");
  t.SpecID = ReadIndex(node, "SpecID");
  t.Index = ReadIndex(node, "Index");
  if (IsSlot(t.TraitType) && node.Has("VIndex")) {
    t.VIndex = ReadIndex(node, "VIndex");
    if (t.VIndex > 0) t.VKind = ReadConstantKind(node, "VKind");
  }
  t.IsFinal = node.Flag("IsFinal");
  t.IsOverride = node.Flag("IsOverride");
  t.HasMetadata = node.Has("Metadata");
  if (t.HasMetadata) t.Metadata = ReadIndexList(node, "Metadata");
  check.Trait(t);
  Check(node, check);
  return t;
}

// Elements holding nothing but traits: instances, classes and scripts.
void ReadTraitsXml(const TSWFXmlNode& node, TSWFAS3Traits& traits, TIndexCheck& check) {
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "Trait") Unknown(child, node.Name());
    traits.push_back(ReadTraitXml(child, check));
  }
}

// ---- instances, classes, scripts, bodies -----------------------------------------------------

constexpr uint8_t kInstanceNamedFlags =
    TSWFAS3InstanceItem::kClassSealed | TSWFAS3InstanceItem::kClassFinal |
    TSWFAS3InstanceItem::kClassInterface | TSWFAS3InstanceItem::kClassProtectedNs;

void WriteInstanceXml(TSWFXmlWriter& xml, const TSWFAS3InstanceItem& inst) {
  xml.Open("Instance");
  xml.Int("Name", inst.Name);
  xml.Int("SuperName", inst.SuperName);
  xml.Flag("ClassSealed", inst.Flags & TSWFAS3InstanceItem::kClassSealed);
  xml.Flag("ClassFinal", inst.Flags & TSWFAS3InstanceItem::kClassFinal);
  xml.Flag("ClassInterface", inst.Flags & TSWFAS3InstanceItem::kClassInterface);
  if (const uint8_t reserved = inst.Flags & ~kInstanceNamedFlags) xml.Hex("ReservedFlags", reserved);
  if (inst.Flags & TSWFAS3InstanceItem::kClassProtectedNs) xml.Int("ProtectedNs", inst.ProtectedNs);
  if (!inst.Interfaces.empty()) WriteIndexList(xml, "Interfaces", inst.Interfaces);
  xml.Int("Iinit", inst.Iinit);
  WriteTraitsXml(xml, inst.Traits);
  xml.Close();
}

TSWFAS3InstanceItem ReadInstanceXml(const TSWFXmlNode& node, TIndexCheck& check) {
  TSWFAS3InstanceItem inst;
  inst.Name = ReadIndex(node, "Name");
  inst.SuperName = ReadIndex(node, "SuperName");
  inst.Flags = ReadReservedFlags(node, kInstanceNamedFlags);
  if (node.Flag("ClassSealed")) inst.Flags |= TSWFAS3InstanceItem::kClassSealed;
  if (node.Flag("ClassFinal")) inst.Flags |= TSWFAS3InstanceItem::kClassFinal;
  if (node.Flag("ClassInterface")) inst.Flags |= TSWFAS3InstanceItem::kClassInterface;
  if (node.Has("ProtectedNs")) {
    inst.Flags |= TSWFAS3InstanceItem::kClassProtectedNs;
    inst.ProtectedNs = ReadIndex(node, "ProtectedNs");
  }
  inst.Interfaces = ReadOptionalIndexList(node, "Interfaces");
  inst.Iinit = ReadIndex(node, "Iinit");
  check.Instance(inst);
  Check(node, check);
  ReadTraitsXml(node, inst.Traits, check);
  return inst;
}

void WriteClassInfoXml(TSWFXmlWriter& xml, std::string_view element, const TSWFAS3ClassInfo& info) {
  xml.Open(element);
  xml.Int("Init", info.Init);
  WriteTraitsXml(xml, info.Traits);
  xml.Close();
}

TSWFAS3ClassInfo ReadClassInfoXml(const TSWFXmlNode& node, TIndexCheck& check) {
  TSWFAS3ClassInfo info;
  info.Init = ReadIndex(node, "Init");
  check.Index("Init", info.Init, EPool::Method);
  Check(node, check);
  ReadTraitsXml(node, info.Traits, check);
  return info;
}

void WriteMethodBodyXml(TSWFXmlWriter& xml, const TSWFAS3MethodBodyInfo& body) {
  xml.Open("MethodBody");
  xml.Int("Method", body.Method);
  xml.Int("MaxStack", body.MaxStack);
  xml.Int("LocalCount", body.LocalCount);
  xml.Int("InitScopeDepth", body.InitScopeDepth);
  xml.Int("MaxScopeDepth", body.MaxScopeDepth);
  xml.DataElement("Code", body.Code);
  for (const auto& e : body.Exceptions) {
    xml.Open("Exception");
    xml.Int("From", e.From);
    xml.Int("To", e.To);
    xml.Int("Target", e.Target);
    xml.Int("ExcType", e.ExcType);
    xml.Int("VarName", e.VarName);
    xml.Close();
  }
  WriteTraitsXml(xml, body.Traits);
  xml.Close();
}

TSWFAS3MethodBodyInfo ReadMethodBodyXml(const TSWFXmlNode& node, TIndexCheck& check) {
  TSWFAS3MethodBodyInfo body;
  body.Method = ReadIndex(node, "Method");
  body.MaxStack = ReadIndex(node, "MaxStack");
  body.LocalCount = ReadIndex(node, "LocalCount");
  body.InitScopeDepth = ReadIndex(node, "InitScopeDepth");
  body.MaxScopeDepth = ReadIndex(node, "MaxScopeDepth");
  check.Body(body);
  Check(node, check);
  body.Code = node.DataElement("Code");
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() == "Code") continue;
    if (child.Name() == "Trait") {
      body.Traits.push_back(ReadTraitXml(child, check));
    } else if (child.Name() == "Exception") {
      const auto& e = body.Exceptions.emplace_back(TSWFAS3Exception{
          ReadIndex(child, "From"), ReadIndex(child, "To"), ReadIndex(child, "Target"),
          ReadIndex(child, "ExcType"), ReadIndex(child, "VarName")});
      check.Exception(e);
      Check(child, check);
    } else {
      Unknown(child, "MethodBody");
    }
  }
  return body;
}

constexpr std::string_view kABCData = "ABCData";

}  // namespace

void TSWFDoABC::WriteXml(TSWFXmlWriter& xml) {
  xml.String("Name", Name);
  xml.Flag("LazyInitialize", LazyInitializeFlag);
  if (const uint32_t reserved = ReservedFlags & ~1u) xml.Hex("ReservedFlags", reserved);
  xml.Int("MinorVersion", MinorVersion);
  xml.Int("MajorVersion", MajorVersion);
  const bool fields =
      ParseActions && TIndexCheck(ConstantPool, Methods.size(), Metadata.size(), Classes.size())
                          .Passes(*this);
  if (!fields) {
    TMemoryStream bytes;
    TBitsEngine be(bytes, xml.Context);
    if (ParseActions) WriteABC(be);
    else be.WriteBytes(RawData);
    xml.Open(kABCData);
    xml.Base64(bytes.Bytes());
    xml.Close();
    return;
  }
  WriteConstantPoolXml(xml, ConstantPool);
  for (const auto& m : Methods) WriteMethodXml(xml, m);
  for (const auto& m : Metadata) WriteMetadataXml(xml, m);
  for (const auto& i : Instances) WriteInstanceXml(xml, i);
  for (const auto& c : Classes) WriteClassInfoXml(xml, "Class", c);
  for (const auto& s : Scripts) WriteClassInfoXml(xml, "Script", s);
  for (const auto& b : MethodBodies) WriteMethodBodyXml(xml, b);
}

void TSWFDoABC::ReadXml(const TSWFXmlNode& node) {
  Name = node.CString("Name");
  LazyInitializeFlag = node.Flag("LazyInitialize");
  ReservedFlags = node.Has("ReservedFlags") ? node.Get<uint32_t>("ReservedFlags") : 0;
  if (ReservedFlags & 1) node.Fail("ReservedFlags may not hold bit 0: that is LazyInitialize");
  MinorVersion = node.Get<uint16_t>("MinorVersion");
  MajorVersion = node.Get<uint16_t>("MajorVersion");
  // Empty structures to read into, as a read from bytes starts with.
  RawData.clear();
  ConstantPool = {};
  Methods.clear();
  Metadata.clear();
  Instances.clear();
  Classes.clear();
  Scripts.clear();
  MethodBodies.clear();
  if (const auto raw = node.FindChild(kABCData)) {
    ParseActions = false;
    RawData = raw->Base64();
    return;  // anything beside the bytes is left unread, and so refused
  }
  ParseActions = true;

  std::optional<TSWFXmlNode> pool;
  std::vector<TSWFXmlNode> methods, metadata, instances, classes, scripts, bodies;
  for (const TSWFXmlNode& child : node.Elements()) {
    const std::string_view name = child.Name();
    if (name == "ConstantPool") {
      if (pool) child.Fail("a second <ConstantPool>");
      pool = child;
    } else if (name == "Method") {
      methods.push_back(child);
    } else if (name == "Metadata") {
      metadata.push_back(child);
    } else if (name == "Instance") {
      instances.push_back(child);
    } else if (name == "Class") {
      classes.push_back(child);
    } else if (name == "Script") {
      scripts.push_back(child);
    } else if (name == "MethodBody") {
      bodies.push_back(child);
    } else {
      Unknown(child, "DoABC");
    }
  }
  if (instances.size() != classes.size()) {
    const auto& unpaired = instances.size() > classes.size() ? instances[classes.size()]
                                                             : classes[instances.size()];
    unpaired.Fail("<DoABC> has " + std::to_string(instances.size()) + " <Instance> and " +
              std::to_string(classes.size()) + " <Class> elements: one instance per class");
  }
  if (pool) ReadConstantPoolXml(*pool, ConstantPool, methods.size(), metadata.size(), classes.size());
  TIndexCheck check(ConstantPool, methods.size(), metadata.size(), classes.size());
  for (const auto& n : methods) Methods.push_back(ReadMethodXml(n, check));
  for (const auto& n : metadata) Metadata.push_back(ReadMetadataXml(n, check));
  for (const auto& n : instances) Instances.push_back(ReadInstanceXml(n, check));
  for (const auto& n : classes) Classes.push_back(ReadClassInfoXml(n, check));
  for (const auto& n : scripts) Scripts.push_back(ReadClassInfoXml(n, check));
  for (const auto& n : bodies) MethodBodies.push_back(ReadMethodBodyXml(n, check));
}

}  // namespace tw::swf
