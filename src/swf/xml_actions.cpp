#include "swf/xml_actions.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <unordered_map>
#include <string>

#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "swf/action_records.h"
#include "swf/action_tags.h"
#include "util/text.h"

namespace tw::swf {

namespace {

constexpr std::string_view kRawRecord = "Action";  // one record the library keeps as bytes
constexpr std::string_view kByteCode = "ByteCode";  // bytes that are not one whole record

std::string_view RecordName(uint8_t code) {
  if (code == 0x83) return "GetURL";  // the format's spelling
  const char* name = ActionCodeName(code);
  return name ? std::string_view(name) : std::string_view();
}

// Element names of the records, for reading; the in-memory codes 254 and 255 have none.
const std::map<std::string, uint8_t, std::less<>>& CodesByName() {
  static const std::map<std::string, uint8_t, std::less<>> table = [] {
    std::map<std::string, uint8_t, std::less<>> t;
    for (int code = 1; code < kActionByteCode; ++code) {
      const auto name = RecordName(static_cast<uint8_t>(code));
      if (!name.empty()) t.emplace(name, static_cast<uint8_t>(code));
    }
    return t;
  }();
  return table;
}

std::string HexBits(uint64_t bits, int digits) {
  std::string text(static_cast<size_t>(digits) + 2, '0');
  text[1] = 'x';
  for (int i = 0; i < digits; ++i) text[text.size() - 1 - i] = "0123456789ABCDEF"[(bits >> (4 * i)) & 15];
  return text;
}

// A float or double as the shortest text that reads back in its own precision; a NaN, whose
// payload no text keeps, as its bits.
template <class T>
void WriteReal(TSWFXmlWriter& xml, T value) {
  using TBits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  if (std::isnan(value)) {
    xml.String("Bits", HexBits(std::bit_cast<TBits>(value), 2 * sizeof(T)));
    return;
  }
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  xml.String("Value", std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

template <class T>
T ReadReal(const TSWFXmlNode& node) {
  using TBits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  if (node.Has("Bits")) {
    const std::string text = node.String("Bits");
    TBits bits = 0;
    const bool hex = text.size() == 2 + 2 * sizeof(T) && (text.starts_with("0x") || text.starts_with("0X"));
    const auto r = hex ? std::from_chars(text.data() + 2, text.data() + text.size(), bits, 16)
                       : std::from_chars_result{text.data(), std::errc::invalid_argument};
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
      node.Fail("Bits=\"" + text + "\" is not " + std::to_string(2 * sizeof(T)) + " hex digits after 0x");
    return std::bit_cast<T>(bits);
  }
  const std::string text = node.String("Value");
  T value{};
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size())
    node.Fail("Value=\"" + text + "\" is not a number");
  return value;
}

// ---- writing ---------------------------------------------------------------------------------

void WritePushValue(TSWFXmlWriter& xml, const TPushValueInfo& v) {
  if (!v.IsValid) return;  // not written to the movie either
  switch (v.ValueType) {
    case kPushString:
      xml.Open("String");
      if (const auto* s = std::get_if<std::string>(&v.Value)) xml.String("Value", *s);
      else xml.String("Value", PushValueToString(v.Value));
      break;
    case kPushFloat:
      xml.Open("Float");
      WriteReal(xml, static_cast<float>(PushValueToDouble(v.Value)));
      break;
    case kPushNull: xml.Open("Null"); break;
    case kPushUndefined: xml.Open("Undefined"); break;
    case kPushRegister:
      xml.Open("Register");
      xml.Int("Number", static_cast<uint8_t>(PushValueToInteger(v.Value)));
      break;
    case kPushBoolean: {
      xml.Open("Boolean");
      const auto b = static_cast<uint8_t>(PushValueToInteger(v.Value));
      if (b <= 1) xml.Bool("Value", b == 1);
      else xml.Int("Value", b);  // a byte other than 0 and 1, kept as it is
      break;
    }
    case kPushDouble:
      xml.Open("Double");
      WriteReal(xml, PushValueToDouble(v.Value));
      break;
    case kPushInteger:
      xml.Open("Integer");
      xml.Int("Value", static_cast<int32_t>(PushValueToInteger(v.Value)));
      break;
    case kPushConstant8:
    case kPushConstant16: {
      xml.Open("Constant");
      const auto index = v.ValueType == kPushConstant8 ? static_cast<uint8_t>(PushValueToInteger(v.Value))
                                                       : static_cast<uint16_t>(PushValueToInteger(v.Value));
      xml.Int("Index", index);
      // The writer picks the 8-bit form for the first 256 constants.
      xml.Flag("Wide", v.ValueType == kPushConstant16 && index < 256);
      break;
    }
    default: return;
  }
  xml.Close();
}

// A record kept as bytes: one whole record names its code, anything else is plain bytes.
void WriteRawXml(TSWFXmlWriter& xml, const TSWFActionByteCode& raw) {
  const auto& bytes = raw.RawData;
  const bool one = !bytes.empty() &&
                   (bytes[0] < 0x80 ? bytes.size() == 1
                                    : bytes.size() >= 3 && size_t(bytes[1] | bytes[2] << 8) == bytes.size() - 3);
  if (!one) {
    xml.Open(kByteCode);
    xml.Base64(bytes);
    xml.Close();
    return;
  }
  xml.Open(kRawRecord);
  xml.Hex("Code", bytes[0]);
  if (bytes[0] >= 0x80) xml.Base64(std::span(bytes).subspan(3));
  xml.Close();
}

// The attributes of a record and, for records without blocks, its children. The sizes and
// blocks of the branch records are TListXmlWriter's.
void WriteFields(TSWFXmlWriter& xml, const TSWFAction& a) {
  switch (a.ActionCode) {
    case 0x81: xml.Int("Frame", static_cast<const TSWFActionGotoFrame&>(a).Frame); break;
    case 0x83: {
      const auto& r = static_cast<const TSWFActionGetUrl&>(a);
      xml.String("URL", r.URL);
      xml.String("Target", r.Target);
      break;
    }
    case 0x87: xml.Int("RegisterNumber", static_cast<const TSWFActionStoreRegister&>(a).RegisterNumber); break;
    case 0x88:
      for (const auto& s : static_cast<const TSWFActionConstantPool&>(a).Constants) {
        xml.Open("Constant");
        xml.String("Value", s);
        xml.Close();
      }
      break;
    case 0x8A: {
      const auto& r = static_cast<const TSWFActionWaitForFrame&>(a);
      xml.Int("Frame", r.Frame);
      xml.Int("SkipCount", r.SkipCount);
      break;
    }
    case 0x8B: xml.String("TargetName", static_cast<const TSWFActionSetTarget&>(a).TargetName); break;
    case 0x8C: xml.String("Label", static_cast<const TSWFActionGoToLabel&>(a).Label); break;
    case 0x8D: xml.Int("SkipCount", static_cast<const TSWFActionWaitForFrame2&>(a).SkipCount); break;
    case 0x9A: {
      const auto& r = static_cast<const TSWFActionGetURL2&>(a);
      if (r.Method != 0) xml.Int("Method", r.Method & 3);
      xml.Flag("LoadTargetFlag", r.LoadTargetFlag);
      xml.Flag("LoadVariablesFlag", r.LoadVariablesFlag);
      break;
    }
    case 0x9F: {
      const auto& r = static_cast<const TSWFActionGotoFrame2&>(a);
      xml.Flag("PlayFlag", r.PlayFlag);
      if (r.SceneBiasFlag) xml.Int("SceneBias", r.SceneBias);
      break;
    }
    case 0x96:
      for (const auto& v : static_cast<const TSWFActionPush&>(a).Values) WritePushValue(xml, v);
      break;
    case 0x9B: {
      const auto& r = static_cast<const TSWFActionDefineFunction&>(a);
      if (!r.Name.empty()) xml.String("Name", r.Name);
      break;
    }
    case 0x8E: {
      const auto& r = static_cast<const TSWFActionDefineFunction2&>(a);
      if (!r.Name.empty()) xml.String("Name", r.Name);
      xml.Int("RegisterCount", r.RegisterCount);
      xml.Flag("PreloadParent", r.PreloadParent);
      xml.Flag("PreloadRoot", r.PreloadRoot);
      xml.Flag("SuppressSuper", r.SuppressSuper);
      xml.Flag("PreloadSuper", r.PreloadSuper);
      xml.Flag("SuppressArguments", r.SuppressArguments);
      xml.Flag("PreloadArguments", r.PreloadArguments);
      xml.Flag("SuppressThis", r.SuppressThis);
      xml.Flag("PreloadThis", r.PreloadThis);
      xml.Flag("PreloadGlobal", r.PreloadGlobal);
      break;
    }
    case 0x8F: {
      const auto& r = static_cast<const TSWFActionTry&>(a);
      if (r.CatchInRegister) xml.Int("CatchRegister", r.CatchRegister);
      else if (!r.CatchName.empty()) xml.String("CatchName", r.CatchName);
      break;
    }
    default: break;  // a record without fields
  }
}

void WriteParameters(TSWFXmlWriter& xml, const TSWFAction& a) {
  if (a.ActionCode == 0x9B) {
    for (const auto& name : static_cast<const TSWFActionDefineFunction&>(a).Params) {
      xml.Open("Parameter");
      xml.String("Name", name);
      xml.Close();
    }
    return;
  }
  for (const auto& p : static_cast<const TSWFActionDefineFunction2&>(a).Params) {
    xml.Open("Parameter");
    if (p.Register != 0) xml.Int("Register", p.Register);
    xml.String("Name", p.Name);
    xml.Close();
  }
}

// Blocks nest no deeper in the text: hostile lists may nest without end. Deeper blocks keep
// their sizes as numbers.
constexpr int kMaxNesting = 48;

// Writes a list with its branch targets as labels and the blocks of With, the functions and
// Try nested. Positions are counted in boundaries: the number of records (markers aside)
// before a place, which is what a target means in the bytes.
class TListXmlWriter {
 public:
  TListXmlWriter(TSWFXmlWriter& xml, const TSWFActionList& list) : FXml(xml), FList(list) {
    bool jumps = false;
    FBoundary.reserve(list.Count());
    size_t b = 0;
    for (const auto& record : list) {
      FBoundary.push_back(b);
      if (record->ActionCode == kActionMarker) {
        FMarkers.emplace(record.get(), FBoundary.size() - 1);
      } else {
        jumps |= record->ActionCode == 0x99 || record->ActionCode == 0x9D;
        ++b;
      }
    }
    if (!jumps) return;
    // Labels are named in the order of their places, so that the text follows the bytes.
    FLabel.assign(b + 1, 0);
    for (size_t i = 0; i < list.Count(); ++i) {
      const uint8_t code = list[i].ActionCode;
      if (code != 0x99 && code != 0x9D) continue;
      if (const auto target = JumpTarget(static_cast<const TSWFActionJump&>(list[i]), i)) FLabel[*target] = 1;
    }
    uint32_t next = 0;
    for (auto& label : FLabel)
      if (label) label = ++next;
    FLabelWritten.assign(FLabel.size(), false);
  }

  void Run() {
    size_t index = 0;
    WriteRange(index, SIZE_MAX, 0);
    if (!FLabel.empty()) WriteLabel(FLabel.size() - 1);
  }

 private:
  // The boundary of a branch's marker when the writer computes the branch's number from it,
  // or the stored number is the marker's place as the reader found it.
  std::optional<size_t> Target(const TSWFBranchAction& branch, size_t slot) const {
    const TSWFOffsetMarker* m = branch.FindMarker(slot);
    if (!m || (branch.StaticOffset ? m->Active : !m->Active)) return std::nullopt;
    const auto it = FMarkers.find(m);
    if (it == FMarkers.end()) return std::nullopt;
    return FBoundary[it->second];
  }
  // A jump of 0 bytes has no marker (the reader places none): its label is the next record's.
  std::optional<size_t> JumpTarget(const TSWFActionJump& jump, size_t index) const {
    if (const auto target = Target(jump, 0)) return target;
    if (jump.StaticOffset && jump.BranchOffset() == 0 && !FMarkers.contains(jump.FindMarker()))
      return FBoundary[index] + 1;
    return std::nullopt;
  }
  bool AfterRecord(const TSWFBranchAction& branch, size_t slot, size_t index) const {
    const auto it = FMarkers.find(branch.FindMarker(slot));
    return it != FMarkers.end() && it->second > index;
  }

  static std::string LabelName(uint32_t number) { return "L" + std::to_string(number); }

  void WriteLabel(size_t boundary) {
    if (FLabel.empty() || !FLabel[boundary] || FLabelWritten[boundary]) return;
    FLabelWritten[boundary] = true;
    FXml.Open("Label");
    FXml.String("Name", LabelName(FLabel[boundary]));
    FXml.Close();
  }

  // The records from index on whose boundaries lie before end.
  void WriteRange(size_t& index, size_t end, int depth) {
    while (index < FList.Count() && FBoundary[index] < end) {
      const TSWFAction& a = FList[index];
      const size_t at = index++;
      WriteLabel(FBoundary[at]);
      if (a.ActionCode == kActionMarker) continue;
      if (a.ActionCode == kActionByteCode) {
        WriteRawXml(FXml, static_cast<const TSWFActionByteCode&>(a));
        continue;
      }
      FXml.Open(RecordName(a.ActionCode));
      WriteFields(FXml, a);
      if (IsBranchCode(a.ActionCode)) WriteBranch(static_cast<const TSWFBranchAction&>(a), at, index, end, depth);
      FXml.Close();
    }
  }

  void WriteBranch(const TSWFBranchAction& a, size_t at, size_t& index, size_t end, int depth) {
    const auto ends = depth < kMaxNesting ? BlockEnds(a, at, end) : std::nullopt;
    switch (a.ActionCode) {
      case 0x99:
      case 0x9D:
        if (const auto target = FLabel.empty() ? std::nullopt : JumpTarget(static_cast<const TSWFActionJump&>(a), at))
          FXml.String("Label", LabelName(FLabel[*target]));
        else FXml.Int("Offset", static_cast<const TSWFActionJump&>(a).BranchOffset());
        return;
      case 0x94:
        if (!ends) {
          FXml.Int("Size", static_cast<const TSWFActionWith&>(a).BlockSize());
          return;
        }
        WriteRange(index, (*ends)[0], depth + 1);
        return;
      case 0x9B:
      case 0x8E: {
        if (!ends) {
          FXml.Int("CodeSize", a.ActionCode == 0x9B ? static_cast<const TSWFActionDefineFunction&>(a).CodeSize()
                                                    : static_cast<const TSWFActionDefineFunction2&>(a).CodeSize());
          WriteParameters(FXml, a);
          return;
        }
        WriteParameters(FXml, a);
        FXml.Open("Body");
        WriteRange(index, (*ends)[0], depth + 1);
        FXml.Close();
        return;
      }
      case 0x8F: {
        const auto& t = static_cast<const TSWFActionTry&>(a);
        if (!ends) {
          FXml.Flag("HasCatch", t.HasCatch);
          FXml.Flag("HasFinally", t.HasFinally);
          FXml.Int("TrySize", t.TrySize());
          FXml.Int("CatchSize", t.CatchSize());
          FXml.Int("FinallySize", t.FinallySize());
          return;
        }
        const bool present[3] = {true, t.HasCatch, t.HasFinally};
        constexpr std::string_view kBlocks[3] = {"Body", "Catch", "Finally"};
        for (size_t slot = 0; slot < 3; ++slot) {
          if (!present[slot]) continue;
          FXml.Open(kBlocks[slot]);
          WriteRange(index, (*ends)[slot], depth + 1);
          FXml.Close();
        }
        return;
      }
      default: return;
    }
  }

  // The end boundaries of the blocks of a record at index, when its bytes come back from the
  // blocks nested inside the enclosing block that ends at end; nullopt keeps the numbers.
  std::optional<std::array<size_t, 3>> BlockEnds(const TSWFBranchAction& a, size_t index, size_t end) const {
    std::array<int64_t, 3> sizes{};  // the stored size of each block
    std::array<bool, 3> present{true, false, false};
    switch (a.ActionCode) {
      case 0x94: sizes[0] = static_cast<const TSWFActionWith&>(a).BlockSize(); break;
      case 0x9B: sizes[0] = static_cast<const TSWFActionDefineFunction&>(a).CodeSize(); break;
      case 0x8E: sizes[0] = static_cast<const TSWFActionDefineFunction2&>(a).CodeSize(); break;
      case 0x8F: {
        const auto& t = static_cast<const TSWFActionTry&>(a);
        sizes = {t.TrySize(), t.CatchSize(), t.FinallySize()};
        present = {true, t.HasCatch, t.HasFinally};
        break;
      }
      default: return std::nullopt;
    }
    std::array<size_t, 3> ends{};
    size_t previous = FBoundary[index] + 1;
    int64_t distance = 0;
    for (size_t slot = 0; slot < 3; ++slot) {
      ends[slot] = previous;
      if (!present[slot]) {
        // The writer writes 0 for an absent block: a stored size other than that stays a number.
        if (a.StaticOffset && sizes[slot] != 0) return std::nullopt;
        continue;
      }
      distance += sizes[slot];
      if (const auto target = Target(a, slot); target && AfterRecord(a, slot, index)) {
        ends[slot] = *target;
      } else if (!(a.StaticOffset && distance == 0)) {
        return std::nullopt;  // a size that does not end at a record, or no marker to compute it
      }
      if (ends[slot] < previous || ends[slot] > end) return std::nullopt;
      previous = ends[slot];
    }
    return ends;
  }

  TSWFXmlWriter& FXml;
  const TSWFActionList& FList;
  std::vector<size_t> FBoundary;                                // of each record
  std::unordered_map<const TSWFAction*, size_t> FMarkers;      // marker -> its index
  std::vector<uint32_t> FLabel;                                 // of each boundary; 0: none
  std::vector<bool> FLabelWritten;
};

// ---- reading ---------------------------------------------------------------------------------

[[noreturn]] void Unknown(const TSWFXmlNode& node) {
  node.Fail("unknown element <" + std::string(node.Name()) + ">");
}

// A string field the file ends with a zero byte; absent means empty.
std::string OptionalCString(const TSWFXmlNode& node, std::string_view attribute) {
  return node.Has(attribute) ? node.CString(attribute) : std::string();
}

TPushValueInfo ReadPushValue(const TSWFXmlNode& node) {
  const std::string_view name = node.Name();
  TPushValueInfo v;
  if (name == "String") {
    v = {node.CString("Value"), kPushString, true};
  } else if (name == "Float") {
    v = {ReadReal<float>(node), kPushFloat, true};
  } else if (name == "Null") {
    v = {std::string("null"), kPushNull, true};
  } else if (name == "Undefined") {
    v = {std::string("undefined"), kPushUndefined, true};
  } else if (name == "Register") {
    v = {int64_t{node.Get<uint8_t>("Number")}, kPushRegister, true};
  } else if (name == "Boolean") {
    const std::string text = node.String("Value");
    int64_t b = text == "true" ? 1 : 0;
    if (text != "true" && text != "false") {
      const auto r = std::from_chars(text.data(), text.data() + text.size(), b);
      if (r.ec != std::errc() || r.ptr != text.data() + text.size() || b < 0 || b > 255)
        node.Fail("Value=\"" + text + "\" is neither true nor false");
    }
    v = {b, kPushBoolean, true};
  } else if (name == "Double") {
    v = {ReadReal<double>(node), kPushDouble, true};
  } else if (name == "Integer") {
    v = {int64_t{node.Get<int32_t>("Value")}, kPushInteger, true};
  } else if (name == "Constant") {
    const uint16_t index = node.Get<uint16_t>("Index");
    v = {int64_t{index}, index < 256 && !node.Flag("Wide") ? kPushConstant8 : kPushConstant16, true};
  } else {
    node.Fail("unknown pushed value <" + std::string(name) + ">");
  }
  return v;
}

std::unique_ptr<TSWFAction> ReadRawXml(const TSWFXmlNode& node) {
  if (node.Name() == kByteCode) {
    auto raw = std::make_unique<TSWFActionByteCode>(node.Base64());
    if (raw->RawData.empty()) node.Fail("<ByteCode> holds no bytes");
    return raw;
  }
  const auto code = node.Get<uint8_t>("Code");
  auto body = node.Base64();
  auto raw = std::make_unique<TSWFActionByteCode>();
  raw->RawData.push_back(code);
  if (code < 0x80) {
    if (!body.empty()) node.Fail("an action code below 0x80 has no body");
    return raw;
  }
  if (body.size() > 0xFFFF) node.Fail("the body of an action record is longer than 65535 bytes");
  raw->RawData.push_back(static_cast<uint8_t>(body.size()));
  raw->RawData.push_back(static_cast<uint8_t>(body.size() >> 8));
  raw->RawData.insert(raw->RawData.end(), body.begin(), body.end());
  return raw;
}

std::unique_ptr<TSWFAction> ReadRecordXml(const TSWFXmlNode& node) {
  const std::string_view name = node.Name();
  if (name == kRawRecord || name == kByteCode) return ReadRawXml(node);
  const auto& codes = CodesByName();
  const auto it = codes.find(name);
  if (it == codes.end()) node.Fail("unknown action <" + std::string(name) + ">");
  auto action = CreateActionByCode(it->second);
  TSWFAction& a = *action;
  switch (it->second) {
    case 0x81: static_cast<TSWFActionGotoFrame&>(a).Frame = node.Get<uint16_t>("Frame"); break;
    case 0x83: {
      auto& r = static_cast<TSWFActionGetUrl&>(a);
      r.URL = node.CString("URL");
      // The writer would convert other bytes to UTF-8 and ask for another address.
      if (!IsValidUtf8(r.URL)) node.Fail("URL is not UTF-8 text");
      r.Target = node.CString("Target");
      break;
    }
    case 0x87: static_cast<TSWFActionStoreRegister&>(a).RegisterNumber = node.Get<uint8_t>("RegisterNumber"); break;
    case 0x88: {
      auto& r = static_cast<TSWFActionConstantPool&>(a);
      for (const TSWFXmlNode& child : node.Elements()) {
        if (child.Name() != "Constant") Unknown(child);
        if (r.Constants.size() == 0xFFFF) child.Fail("a constant pool holds more than 65535 strings");
        r.Constants.push_back(child.CString("Value"));
      }
      break;
    }
    case 0x8A: {
      auto& r = static_cast<TSWFActionWaitForFrame&>(a);
      r.Frame = node.Get<uint16_t>("Frame");
      r.SkipCount = node.Get<uint8_t>("SkipCount");
      break;
    }
    case 0x8B: static_cast<TSWFActionSetTarget&>(a).TargetName = node.CString("TargetName"); break;
    case 0x8C: static_cast<TSWFActionGoToLabel&>(a).Label = node.CString("Label"); break;
    case 0x8D: static_cast<TSWFActionWaitForFrame2&>(a).SkipCount = node.Get<uint8_t>("SkipCount"); break;
    case 0x9A: {
      auto& r = static_cast<TSWFActionGetURL2&>(a);
      r.Method = static_cast<uint8_t>(node.Has("Method") ? node.Int("Method", 0, 3) : 0);
      r.LoadTargetFlag = node.Flag("LoadTargetFlag");
      r.LoadVariablesFlag = node.Flag("LoadVariablesFlag");
      break;
    }
    case 0x9F: {
      auto& r = static_cast<TSWFActionGotoFrame2&>(a);
      r.PlayFlag = node.Flag("PlayFlag");
      r.SceneBiasFlag = node.Has("SceneBias");
      r.SceneBias = node.Get<uint16_t>("SceneBias", 0);
      break;
    }
    case 0x96: {
      auto& r = static_cast<TSWFActionPush&>(a);
      for (const TSWFXmlNode& child : node.Elements()) r.Values.push_back(ReadPushValue(child));
      break;
    }
    case 0x8E: {
      auto& r = static_cast<TSWFActionDefineFunction2&>(a);
      r.Name = OptionalCString(node, "Name");
      r.RegisterCount = node.Get<uint8_t>("RegisterCount");
      r.PreloadParent = node.Flag("PreloadParent");
      r.PreloadRoot = node.Flag("PreloadRoot");
      r.SuppressSuper = node.Flag("SuppressSuper");
      r.PreloadSuper = node.Flag("PreloadSuper");
      r.SuppressArguments = node.Flag("SuppressArguments");
      r.PreloadArguments = node.Flag("PreloadArguments");
      r.SuppressThis = node.Flag("SuppressThis");
      r.PreloadThis = node.Flag("PreloadThis");
      r.PreloadGlobal = node.Flag("PreloadGlobal");
      break;
    }
    case 0x9B: static_cast<TSWFActionDefineFunction&>(a).Name = OptionalCString(node, "Name"); break;
    case 0x8F: {
      auto& r = static_cast<TSWFActionTry&>(a);
      r.CatchInRegister = node.Has("CatchRegister");
      if (r.CatchInRegister) r.CatchRegister = node.Get<uint8_t>("CatchRegister");
      else r.CatchName = OptionalCString(node, "CatchName");
      break;
    }
    default: break;
  }
  return action;
}

// Reads a list, blocks and all, into the flat form of the library: a block becomes its record,
// the records of the block and the marker after them; a label becomes a marker for each branch
// that needs one of its own (a forward branch), placed once the whole list is known.
class TListXmlReader {
 public:
  void Read(std::span<const TSWFXmlNode> elements, int depth) {
    for (const TSWFXmlNode& node : elements) Element(node, depth);
  }

  void Finish(TSWFActionList& list) {
    struct TInsert {
      size_t Position;
      std::unique_ptr<TSWFOffsetMarker> Marker;
    };
    std::vector<TInsert> inserts;
    std::map<std::string_view, TSWFOffsetMarker*> backward;  // one serves every branch after it
    for (const TRef& ref : FRefs) {
      const auto label = FLabels.find(ref.Name);
      if (label == FLabels.end()) ref.Node.Fail("no <Label Name=\"" + ref.Name + "\"> in this action list");
      const bool isBackward = label->second <= ref.Index;
      TSWFOffsetMarker* marker = isBackward ? backward[label->first] : nullptr;
      if (!marker) {
        auto created = std::make_unique<TSWFOffsetMarker>();
        created->Backward = isBackward;
        created->Label = ref.Name;
        marker = created.get();
        if (isBackward) backward[label->first] = marker;
        inserts.push_back({label->second, std::move(created)});
      }
      ref.Branch->SetMarker(marker);
      ref.Branch->StaticOffset = false;
    }
    std::stable_sort(inserts.begin(), inserts.end(),
                     [](const TInsert& x, const TInsert& y) { return x.Position < y.Position; });
    auto next = inserts.begin();
    for (size_t k = 0; k <= FItems.size(); ++k) {
      for (; next != inserts.end() && next->Position == k; ++next) list.Add(std::move(next->Marker));
      if (k < FItems.size()) list.Add(std::move(FItems[k]));
    }
  }

 private:
  struct TRef {
    TSWFBranchAction* Branch;
    size_t Index;  // of the branch
    std::string Name;
    TSWFXmlNode Node;
  };

  void Element(const TSWFXmlNode& node, int depth) {
    const std::string_view name = node.Name();
    if (name == "Label") {
      std::string label = node.String("Name");
      if (!FLabels.emplace(std::move(label), FItems.size()).second)
        node.Fail("a second <Label Name=\"" + node.String("Name") + "\">");
      return;
    }
    auto action = ReadRecordXml(node);
    const uint8_t code = action->ActionCode;
    auto* branch = IsBranchCode(code) ? static_cast<TSWFBranchAction*>(action.get()) : nullptr;
    const size_t index = FItems.size();
    FItems.push_back(std::move(action));
    if (!branch) return;
    if (code == 0x99 || code == 0x9D) {
      if (node.Has("Offset")) static_cast<TSWFActionJump*>(branch)->SetBranchOffset(node.Get<int16_t>("Offset"));
      else FRefs.push_back({branch, index, node.String("Label"), node});
      return;
    }
    if (depth >= kMaxNesting && !node.Elements().empty()) node.Fail("blocks are nested too deeply");
    switch (code) {
      case 0x94:
        if (node.Has("Size")) {
          static_cast<TSWFActionWith*>(branch)->SetBlockSize(node.Get<uint16_t>("Size"));
          NoBlocks(node, "Size");
          return;
        }
        Read(node.Elements(), depth + 1);
        EndBlock(*branch, 0);
        return;
      case 0x9B:
      case 0x8E: {
        std::optional<TSWFXmlNode> body;
        for (const TSWFXmlNode& child : node.Elements()) {
          if (child.Name() == "Body") {
            if (body) child.Fail("a second <Body>");
            body = child;
          } else if (child.Name() == "Parameter") {
            Parameter(*branch, child);
          } else {
            Unknown(child);
          }
        }
        if (node.Has("CodeSize")) {
          if (body) body->Fail("a function with a CodeSize has no <Body>");
          const auto size = node.Get<uint16_t>("CodeSize");
          if (code == 0x9B) static_cast<TSWFActionDefineFunction*>(branch)->SetCodeSize(size);
          else static_cast<TSWFActionDefineFunction2*>(branch)->SetCodeSize(size);
          return;
        }
        if (body) Read(body->Elements(), depth + 1);
        EndBlock(*branch, 0);
        return;
      }
      case 0x8F: {
        auto& t = static_cast<TSWFActionTry&>(*branch);
        if (node.Has("TrySize")) {
          t.HasCatch = node.Flag("HasCatch");
          t.HasFinally = node.Flag("HasFinally");
          t.SetTrySize(node.Get<uint16_t>("TrySize"));
          t.SetCatchSize(node.Get<uint16_t>("CatchSize"));
          t.SetFinallySize(node.Get<uint16_t>("FinallySize"));
          NoBlocks(node, "TrySize");
          return;
        }
        constexpr std::string_view kBlocks[3] = {"Body", "Catch", "Finally"};
        std::array<std::optional<TSWFXmlNode>, 3> blocks;
        for (const TSWFXmlNode& child : node.Elements()) {
          const auto it = std::find(std::begin(kBlocks), std::end(kBlocks), child.Name());
          if (it == std::end(kBlocks)) Unknown(child);
          auto& block = blocks[static_cast<size_t>(it - std::begin(kBlocks))];
          if (block) child.Fail("a second <" + std::string(child.Name()) + ">");
          block = child;
        }
        t.HasCatch = blocks[1].has_value();
        t.HasFinally = blocks[2].has_value();
        for (size_t slot = 0; slot < 3; ++slot) {
          if (slot > 0 && !blocks[slot]) continue;
          if (blocks[slot]) Read(blocks[slot]->Elements(), depth + 1);
          EndBlock(t, slot);
        }
        return;
      }
      default: return;
    }
  }

  static void NoBlocks(const TSWFXmlNode& node, std::string_view sizeName) {
    const auto children = node.Elements();
    if (!children.empty())
      children.front().Fail("a record with a " + std::string(sizeName) + " holds no blocks");
  }

  static void Parameter(TSWFBranchAction& function, const TSWFXmlNode& child) {
    if (function.ActionCode == 0x9B) {
      auto& f = static_cast<TSWFActionDefineFunction&>(function);
      if (f.Params.size() == 0xFFFF) child.Fail("a function has more than 65535 parameters");
      f.Params.push_back(child.CString("Name"));
      return;
    }
    auto& f = static_cast<TSWFActionDefineFunction2&>(function);
    if (f.Params.size() == 0xFFFF) child.Fail("a function has more than 65535 parameters");
    f.AddParam(child.CString("Name"), child.Get<uint8_t>("Register", 0));
  }

  // The marker after a block, from which the writer computes the block's size.
  void EndBlock(TSWFBranchAction& branch, size_t slot) {
    auto marker = branch.TakeMarker(slot);
    marker->Backward = false;
    marker->Active = true;
    branch.StaticOffset = false;
    FItems.push_back(std::move(marker));
  }

  std::vector<std::unique_ptr<TSWFAction>> FItems;
  std::map<std::string, size_t, std::less<>> FLabels;  // name -> the position of its place
  std::vector<TRef> FRefs;
};

}  // namespace

void WriteActionListXml(TSWFXmlWriter& xml, const TSWFActionList& list) {
  TListXmlWriter(xml, list).Run();
}

void ReadActionListXml(std::span<const TSWFXmlNode> elements, TSWFActionList& list) {
  TListXmlReader reader;
  reader.Read(elements, 0);
  reader.Finish(list);
}

void ReadActionListXml(const TSWFXmlNode& parent, TSWFActionList& list) {
  const auto elements = parent.Elements();
  ReadActionListXml(elements, list);
}

// ---- the tags that hold a list -----------------------------------------------------------------

void TSWFDoAction::WriteXml(TSWFXmlWriter& xml) {
  if (!EndCode) xml.Bool("EndCode", false);
  WriteActionListXml(xml, Actions());
}

void TSWFDoAction::ReadXml(const TSWFXmlNode& node) {
  EndCode = !node.Has("EndCode") || node.Bool("EndCode");
  Actions().Clear();
  ReadActionListXml(node, Actions());
}

void TSWFDoInitAction::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("SpriteID", SpriteID);
  TSWFDoAction::WriteXml(xml);
}

void TSWFDoInitAction::ReadXml(const TSWFXmlNode& node) {
  SpriteID = node.Get<uint16_t>("SpriteID");
  TSWFDoAction::ReadXml(node);
}

}  // namespace tw::swf
