// DoABC and the structures of the ActionScript 3 bytecode file it carries: the constant pool with
// its multinames, methods, metadata, instances, classes, scripts and method bodies. Nothing here
// interprets the code; the model exists so that a movie read from a file is written back as it
// was. Every "index" is a variable-length unsigned number (EncodedU32).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "swf/tag.h"

namespace tw::swf {

using TSWFIntegerList = std::vector<uint32_t>;

struct TSWFNameSpaceObject {
  uint8_t Kind = 0;
  uint32_t Name = 0;  // string index
  bool operator==(const TSWFNameSpaceObject&) const = default;
};

// Multinames, one class per kind byte. This base is the class of the kinds without data
// (11 and 12 hex, RTQNameL and RTQNameLA).
class TSWFBasedMultiNameObject {
 public:
  explicit TSWFBasedMultiNameObject(uint8_t kind) : Kind(kind) {}
  virtual ~TSWFBasedMultiNameObject() = default;
  uint8_t Kind;
  virtual std::unique_ptr<TSWFBasedMultiNameObject> Clone() const;
  virtual void Read(TBitsEngine& be) { (void)be; }
  virtual void Write(TBitsEngine& be) const { (void)be; }
  virtual bool Equals(const TSWFBasedMultiNameObject& other) const { return Kind == other.Kind; }
};

// 07 and 0D hex.
class TSWFmnQName : public TSWFBasedMultiNameObject {
 public:
  using TSWFBasedMultiNameObject::TSWFBasedMultiNameObject;
  uint32_t NS = 0, Name = 0;
  std::unique_ptr<TSWFBasedMultiNameObject> Clone() const override;
  void Read(TBitsEngine& be) override;
  void Write(TBitsEngine& be) const override;
  bool Equals(const TSWFBasedMultiNameObject& other) const override;
};

// 09 and 0E hex.
class TSWFmnMultiname : public TSWFBasedMultiNameObject {
 public:
  using TSWFBasedMultiNameObject::TSWFBasedMultiNameObject;
  uint32_t Name = 0, NSSet = 0;
  std::unique_ptr<TSWFBasedMultiNameObject> Clone() const override;
  void Read(TBitsEngine& be) override;
  void Write(TBitsEngine& be) const override;
  bool Equals(const TSWFBasedMultiNameObject& other) const override;
};

// 0F and 10 hex.
class TSWFmnRTQName : public TSWFBasedMultiNameObject {
 public:
  using TSWFBasedMultiNameObject::TSWFBasedMultiNameObject;
  uint32_t Name = 0;
  std::unique_ptr<TSWFBasedMultiNameObject> Clone() const override;
  void Read(TBitsEngine& be) override;
  void Write(TBitsEngine& be) const override;
  bool Equals(const TSWFBasedMultiNameObject& other) const override;
};

// 1B and 1C hex (MultinameL, MultinameLA), and any kind without a class of its own.
class TSWFmnMultinameL : public TSWFBasedMultiNameObject {
 public:
  using TSWFBasedMultiNameObject::TSWFBasedMultiNameObject;
  uint32_t NSSet = 0;
  std::unique_ptr<TSWFBasedMultiNameObject> Clone() const override;
  void Read(TBitsEngine& be) override;
  void Write(TBitsEngine& be) const override;
  bool Equals(const TSWFBasedMultiNameObject& other) const override;
};

// 1D hex: a generic type applied to parameters (Vector.<int>): the multiname of the generic type
// and the multinames of its parameters.
class TSWFmnTypeName : public TSWFBasedMultiNameObject {
 public:
  TSWFmnTypeName() : TSWFBasedMultiNameObject(0x1D) {}
  uint32_t QName = 0;
  TSWFIntegerList Params;
  std::unique_ptr<TSWFBasedMultiNameObject> Clone() const override;
  void Read(TBitsEngine& be) override;
  void Write(TBitsEngine& be) const override;
  bool Equals(const TSWFBasedMultiNameObject& other) const override;
};

// A new multiname object of the class for a kind byte.
std::unique_ptr<TSWFBasedMultiNameObject> CreateMultiname(uint8_t kind);

// Each pool leaves out entry 0, which is implicit.
class TSWFAS3ConstantPool {
 public:
  TSWFAS3ConstantPool() = default;
  TSWFAS3ConstantPool(const TSWFAS3ConstantPool& source) { *this = source; }
  TSWFAS3ConstantPool& operator=(const TSWFAS3ConstantPool& source);
  TSWFAS3ConstantPool(TSWFAS3ConstantPool&&) = default;
  TSWFAS3ConstantPool& operator=(TSWFAS3ConstantPool&&) = default;
  bool operator==(const TSWFAS3ConstantPool& other) const;

  std::vector<int32_t> Int;
  std::vector<uint32_t> UInt;
  std::vector<double> Double;       // kept bit for bit
  std::vector<std::string> Strings;  // the bytes of the file
  std::vector<TSWFNameSpaceObject> Namespaces;
  std::vector<TSWFIntegerList> NamespaceSets;
  std::vector<std::unique_ptr<TSWFBasedMultiNameObject>> Multinames;
  // A bit per pool, in the order above, for an empty pool the file counts as 1 (its implicit
  // entry alone) instead of 0: written so again while it stays empty. An encoding, not a value:
  // pools compare without it.
  uint8_t EmptyCountsOfOne = 0;
};

struct TSWFAS3MethodOption {
  uint32_t Value = 0;
  uint8_t Kind = 0;
  bool operator==(const TSWFAS3MethodOption&) const = default;
};
using TSWFAS3MethodOptions = std::vector<TSWFAS3MethodOption>;

struct TSWFAS3Method {
  static constexpr uint8_t kNeedArguments = 0x01, kNeedActivation = 0x02, kNeedRest = 0x04,
                           kHasOptional = 0x08, kSetDxns = 0x40, kHasParamNames = 0x80;
  TSWFIntegerList ParamTypes;  // one per parameter
  uint32_t ReturnType = 0;
  uint32_t Name = 0;
  uint8_t Flags = 0;  // every bit kept; options and names are present by their flags
  TSWFAS3MethodOptions Options;
  TSWFIntegerList ParamNames;  // with kHasParamNames, one per parameter

  bool NeedArguments() const { return Flags & kNeedArguments; }
  bool NeedActivation() const { return Flags & kNeedActivation; }
  bool NeedRest() const { return Flags & kNeedRest; }
  bool SetDxns() const { return Flags & kSetDxns; }
  bool operator==(const TSWFAS3Method&) const = default;
};
using TSWFAS3Methods = std::vector<TSWFAS3Method>;

struct TSWFAS3MetadataItem {
  uint32_t Key = 0, Value = 0;
  bool operator==(const TSWFAS3MetadataItem&) const = default;
};

struct TSWFAS3MetadataInfo {
  uint32_t Name = 0;
  std::vector<TSWFAS3MetadataItem> Items;
  bool operator==(const TSWFAS3MetadataInfo&) const = default;
};
using TSWFAS3Metadata = std::vector<TSWFAS3MetadataInfo>;

struct TSWFAS3Trait {
  // Trait types: 0 slot, 1 method, 2 getter, 3 setter, 4 class, 5 function, 6 const.
  uint32_t Name = 0;
  uint8_t TraitType = 0;  // the low four bits of the kind byte
  bool IsFinal = false, IsOverride = false, HasMetadata = false;
  uint32_t SpecID = 0;  // slot or dispatch id
  uint32_t Index = 0;   // type name, class, function or method index
  uint32_t VIndex = 0;  // slots and constants
  uint8_t VKind = 0;    // when VIndex > 0
  TSWFIntegerList Metadata;
  bool operator==(const TSWFAS3Trait&) const = default;
};
using TSWFAS3Traits = std::vector<TSWFAS3Trait>;

struct TSWFAS3InstanceItem {
  static constexpr uint8_t kClassSealed = 0x01, kClassFinal = 0x02, kClassInterface = 0x04,
                           kClassProtectedNs = 0x08;
  uint32_t Name = 0;
  uint32_t SuperName = 0;
  uint8_t Flags = 0;
  uint32_t ProtectedNs = 0;  // with kClassProtectedNs
  TSWFIntegerList Interfaces;
  uint32_t Iinit = 0;
  TSWFAS3Traits Traits;
  bool operator==(const TSWFAS3InstanceItem&) const = default;
};
using TSWFAS3Instance = std::vector<TSWFAS3InstanceItem>;

// A class's static side; scripts have the same form.
struct TSWFAS3ClassInfo {
  uint32_t Init = 0;
  TSWFAS3Traits Traits;
  bool operator==(const TSWFAS3ClassInfo&) const = default;
};
using TSWFAS3Classes = std::vector<TSWFAS3ClassInfo>;
using TSWFAS3Scripts = std::vector<TSWFAS3ClassInfo>;

struct TSWFAS3Exception {
  uint32_t From = 0, To = 0, Target = 0, ExcType = 0, VarName = 0;
  bool operator==(const TSWFAS3Exception&) const = default;
};

struct TSWFAS3MethodBodyInfo {
  uint32_t Method = 0;
  uint32_t MaxStack = 0, LocalCount = 0, InitScopeDepth = 0, MaxScopeDepth = 0;
  std::vector<uint8_t> Code;
  std::vector<TSWFAS3Exception> Exceptions;
  TSWFAS3Traits Traits;
  bool operator==(const TSWFAS3MethodBodyInfo&) const = default;
};
using TSWFAS3MethodBodies = std::vector<TSWFAS3MethodBodyInfo>;

class TSWFDoABC : public TSWFObject {
 public:
  TSWFDoABC() : TSWFObject(82) {}

  bool LazyInitializeFlag = false;
  uint32_t ReservedFlags = 0;  // the flag bits besides the lazy one, kept as read
  std::string Name;
  uint16_t MinorVersion = 16, MajorVersion = 46;
  // Decode the ABC file into the structures below, or keep it as RawData.
  bool ParseActions = false;
  std::vector<uint8_t> RawData;

  TSWFAS3ConstantPool ConstantPool;
  TSWFAS3Methods Methods;
  TSWFAS3Metadata Metadata;
  TSWFAS3Instance Instances;  // one per class
  TSWFAS3Classes Classes;
  TSWFAS3Scripts Scripts;
  TSWFAS3MethodBodies MethodBodies;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 9; }
  void SetReadContext(const TSWFReadContext& context) override {
    ParseActions = context.ParseActions;
  }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  // Field by field (xml_abc.cpp); a file whose indexes the text could not check is kept as bytes.
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

  // The ABC file alone (what follows the versions), in both directions.
  void ReadABC(TBitsEngine& be);
  void WriteABC(TBitsEngine& be) const;
};

}  // namespace tw::swf
