#include "swf/xml_actions.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <map>
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

void WriteParameters(TSWFXmlWriter& xml, const std::vector<std::string>& names) {
  for (const auto& name : names) {
    xml.Open("Parameter");
    xml.String("Name", name);
    xml.Close();
  }
}

void WriteRecordXml(TSWFXmlWriter& xml, const TSWFAction& a) {
  const uint8_t code = a.ActionCode;
  if (code == kActionMarker) return;
  if (code == kActionByteCode) {
    WriteRawXml(xml, static_cast<const TSWFActionByteCode&>(a));
    return;
  }
  xml.Open(RecordName(code));
  switch (code) {
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
    case 0x99:
    case 0x9D: xml.Int("Offset", static_cast<const TSWFActionJump&>(a).BranchOffset()); break;
    case 0x94: xml.Int("Size", static_cast<const TSWFActionWith&>(a).BlockSize()); break;
    case 0x9B: {
      const auto& r = static_cast<const TSWFActionDefineFunction&>(a);
      if (!r.Name.empty()) xml.String("Name", r.Name);
      xml.Int("CodeSize", r.CodeSize());
      WriteParameters(xml, r.Params);
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
      xml.Int("CodeSize", r.CodeSize());
      for (const auto& p : r.Params) {
        xml.Open("Parameter");
        if (p.Register != 0) xml.Int("Register", p.Register);
        xml.String("Name", p.Name);
        xml.Close();
      }
      break;
    }
    case 0x8F: {
      const auto& r = static_cast<const TSWFActionTry&>(a);
      if (r.CatchInRegister) xml.Int("CatchRegister", r.CatchRegister);
      else xml.String("CatchName", r.CatchName);
      xml.Flag("HasCatch", r.HasCatch);
      xml.Flag("HasFinally", r.HasFinally);
      xml.Int("TrySize", r.TrySize());
      xml.Int("CatchSize", r.CatchSize());
      xml.Int("FinallySize", r.FinallySize());
      break;
    }
    default: break;  // a record without fields
  }
  xml.Close();
}

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

std::vector<std::string> ReadParameters(const TSWFXmlNode& node) {
  std::vector<std::string> names;
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "Parameter") Unknown(child);
    if (names.size() == 0xFFFF) child.Fail("a function has more than 65535 parameters");
    names.push_back(child.CString("Name"));
  }
  return names;
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
    case 0x99:
    case 0x9D: static_cast<TSWFActionJump&>(a).SetBranchOffset(node.Get<int16_t>("Offset")); break;
    case 0x94: static_cast<TSWFActionWith&>(a).SetBlockSize(node.Get<uint16_t>("Size")); break;
    case 0x9B: {
      auto& r = static_cast<TSWFActionDefineFunction&>(a);
      r.Name = OptionalCString(node, "Name");
      r.SetCodeSize(node.Get<uint16_t>("CodeSize"));
      r.Params = ReadParameters(node);
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
      r.SetCodeSize(node.Get<uint16_t>("CodeSize"));
      for (const TSWFXmlNode& child : node.Elements()) {
        if (child.Name() != "Parameter") Unknown(child);
        if (r.Params.size() == 0xFFFF) child.Fail("a function has more than 65535 parameters");
        r.AddParam(child.CString("Name"), child.Get<uint8_t>("Register", 0));
      }
      break;
    }
    case 0x8F: {
      auto& r = static_cast<TSWFActionTry&>(a);
      r.CatchInRegister = node.Has("CatchRegister");
      if (r.CatchInRegister) r.CatchRegister = node.Get<uint8_t>("CatchRegister");
      else r.CatchName = node.CString("CatchName");
      r.HasCatch = node.Flag("HasCatch");
      r.HasFinally = node.Flag("HasFinally");
      r.SetTrySize(node.Get<uint16_t>("TrySize"));
      r.SetCatchSize(node.Get<uint16_t>("CatchSize"));
      r.SetFinallySize(node.Get<uint16_t>("FinallySize"));
      break;
    }
    default: break;
  }
  return action;
}

}  // namespace

void WriteActionListXml(TSWFXmlWriter& xml, const TSWFActionList& list) {
  for (const auto& record : list) WriteRecordXml(xml, *record);
}

void ReadActionListXml(std::span<const TSWFXmlNode> elements, TSWFActionList& list) {
  for (const TSWFXmlNode& node : elements) list.Add(ReadRecordXml(node));
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
