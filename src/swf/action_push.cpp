#include "swf/action_push.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace tw::swf {

// ---- values ----------------------------------------------------------------------------------

void TPushValueInfo::SetValueType(uint8_t type) {
  if (type == kPushKeepType) return;
  if (type > kPushConstant16) throw ESWFError("Unknown push type " + std::to_string(type));
  ValueType = type;
}

namespace {

// The shortest text that reads back as the same number, in the value's own precision.
template <class T>
std::string FormatNumber(T v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

double ParseDouble(const std::string& s) {
  double v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() ? v : 0.0;
}

int64_t RoundToInteger(double v) {
  if (std::isnan(v)) return 0;
  constexpr double kMax = 9.2233720368547748e18;
  if (v >= kMax) return std::numeric_limits<int64_t>::max();
  if (v <= -kMax) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(RoundHalfEven(v));
}

template <class... F>
struct TOverloaded : F... {
  using F::operator()...;
};
template <class... F>
TOverloaded(F...) -> TOverloaded<F...>;

}  // namespace

std::string PushValueToString(const TPushValue& value) {
  return std::visit(
      TOverloaded{[](TPushUndefinedValue) { return std::string("undefined"); },
                  [](TPushNullValue) { return std::string("null"); },
                  [](bool b) { return std::string(b ? "true" : "false"); },
                  [](int64_t i) { return std::to_string(i); },
                  [](float f) { return FormatNumber(f); },
                  [](double d) { return FormatNumber(d); },
                  [](const std::string& s) { return s; }},
      value);
}

double PushValueToDouble(const TPushValue& value) {
  return std::visit(TOverloaded{[](TPushUndefinedValue) { return 0.0; },
                                [](TPushNullValue) { return 0.0; },
                                [](bool b) { return b ? 1.0 : 0.0; },
                                [](int64_t i) { return static_cast<double>(i); },
                                [](float f) { return static_cast<double>(f); },
                                [](double d) { return d; },
                                [](const std::string& s) { return ParseDouble(s); }},
                    value);
}

int64_t PushValueToInteger(const TPushValue& value) {
  return std::visit(TOverloaded{[](TPushUndefinedValue) { return int64_t{0}; },
                                [](TPushNullValue) { return int64_t{0}; },
                                [](bool b) { return int64_t{b ? 1 : 0}; },
                                [](int64_t i) { return i; },
                                [](float f) { return RoundToInteger(f); },
                                [](double d) { return RoundToInteger(d); },
                                [](const std::string& s) {
                                  int64_t i = 0;
                                  const auto r = std::from_chars(s.data(), s.data() + s.size(), i);
                                  if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return i;
                                  return RoundToInteger(ParseDouble(s));
                                }},
                    value);
}

// ---- Push ------------------------------------------------------------------------------------

size_t TSWFActionPush::AddValue(const TPushValue& value) {
  TPushValueInfo info;
  info.Value = value;
  switch (value.index()) {
    case 0: info.ValueType = kPushUndefined; break;
    case 1: info.ValueType = kPushNull; break;
    case 2: info.ValueType = kPushBoolean; break;
    case 3: info.ValueType = kPushInteger; break;
    case 4: info.ValueType = kPushFloat; break;
    case 5: info.ValueType = kPushDouble; break;
    default: {
      const auto& s = std::get<std::string>(value);
      if (s == "FlashVar_undefined" || s == "FlashVar_null") {
        info.ValueType = s == "FlashVar_null" ? kPushNull : kPushUndefined;
        info.Value = s.substr(9);
      } else {
        info.ValueType = kPushString;
      }
    }
  }
  Values.push_back(std::move(info));
  return Values.size() - 1;
}

void TSWFActionPush::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  // The entries are copied as they are: adding them again would turn a pushed string
  // "FlashVar_null" into "null".
  Values = SourceAs<TSWFActionPush>(source).Values;
}

int TSWFActionPush::MinVersion() const {
  for (const auto& v : Values)
    if (v.ValueType > kPushFloat) return 5;
  return 4;
}

void TSWFActionPush::ReadActionBody(TBitsEngine& be) {
  Values.clear();
  // Values are stored with the type they were read with, never through AddValue's choice of
  // type, so that a string that reads "FlashVar_null" stays that string.
  while (be.Stream.Remaining() > 0) {
    const uint8_t type = be.ReadByte();
    TPushValue value;
    switch (type) {
      case kPushString: value = be.ReadString(); break;
      case kPushFloat: value = be.ReadSingle(); break;
      case kPushNull: value = std::string("null"); break;
      case kPushUndefined: value = std::string("undefined"); break;
      case kPushRegister:
      case kPushBoolean:
      case kPushConstant8: value = int64_t{be.ReadByte()}; break;
      case kPushDouble: {
        // The high half of the little-endian double comes first.
        const uint64_t high = be.ReadDWord();
        const uint64_t low = be.ReadDWord();
        value = std::bit_cast<double>((high << 32) | low);
        break;
      }
      case kPushInteger: value = int64_t{static_cast<int32_t>(be.ReadDWord())}; break;
      case kPushConstant16: value = int64_t{be.ReadWord()}; break;
      default:
        // The data of an unknown type has no known length: the record stays raw bytes.
        throw ESWFError("Unknown push type " + std::to_string(type));
    }
    Values.push_back({std::move(value), type, true});
  }
}

void TSWFActionPush::WriteActionBody(TBitsEngine& be) {
  for (const auto& v : Values) {
    if (!v.IsValid) continue;
    be.WriteByte(v.ValueType);
    switch (v.ValueType) {
      case kPushString:
        // Most pushed strings are held as strings: write them where they lie, no copy.
        if (const auto* s = std::get_if<std::string>(&v.Value)) be.WriteString(*s);
        else be.WriteString(PushValueToString(v.Value));
        break;
      case kPushFloat: be.WriteSingle(static_cast<float>(PushValueToDouble(v.Value))); break;
      case kPushNull:
      case kPushUndefined: break;
      case kPushRegister:
      case kPushBoolean:
      case kPushConstant8: be.WriteByte(static_cast<uint8_t>(PushValueToInteger(v.Value))); break;
      case kPushDouble: {
        const uint64_t bits = std::bit_cast<uint64_t>(PushValueToDouble(v.Value));
        be.WriteDWord(static_cast<uint32_t>(bits >> 32));
        be.WriteDWord(static_cast<uint32_t>(bits));
        break;
      }
      case kPushInteger: be.WriteDWord(static_cast<uint32_t>(PushValueToInteger(v.Value))); break;
      case kPushConstant16: be.WriteWord(static_cast<uint16_t>(PushValueToInteger(v.Value))); break;
      default: break;
    }
  }
}

// ---- ConstantPool ----------------------------------------------------------------------------

void TSWFActionConstantPool::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  Constants = SourceAs<TSWFActionConstantPool>(source).Constants;
}

void TSWFActionConstantPool::ReadActionBody(TBitsEngine& be) {
  const uint16_t count = be.ReadWord();
  Constants.clear();
  // Each string takes at least its terminating byte.
  Constants.reserve(std::min<size_t>(count, be.Stream.Remaining()));
  for (uint16_t i = 0; i < count; ++i) Constants.push_back(be.ReadString());
}

void TSWFActionConstantPool::WriteActionBody(TBitsEngine& be) {
  if (Constants.size() > 0xFFFF) throw ESWFError("A constant pool holds more than 65535 strings");
  be.WriteWord(static_cast<uint16_t>(Constants.size()));
  for (const auto& s : Constants) be.WriteString(s);
}

}  // namespace tw::swf
