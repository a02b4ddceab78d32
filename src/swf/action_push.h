// The records that put values on the stack: Push with its typed values, and ConstantPool, the
// strings that Push values of the constant types refer to.
#pragma once

#include <concepts>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "swf/actions.h"

namespace tw::swf {

// Push types.
enum : uint8_t {
  kPushString = 0,
  kPushFloat = 1,
  kPushNull = 2,
  kPushUndefined = 3,
  kPushRegister = 4,
  kPushBoolean = 5,
  kPushDouble = 6,
  kPushInteger = 7,
  kPushConstant8 = 8,
  kPushConstant16 = 9,
  kPushKeepType = 10,  // for SetValueType: keep the type AddValue chose
};

struct TPushUndefinedValue {
  bool operator==(const TPushUndefinedValue&) const = default;
};
struct TPushNullValue {
  bool operator==(const TPushNullValue&) const = default;
};

// A value to push: empty, null, a boolean, an integer, a single or double float, or a string
// (the bytes, as in the file).
using TPushValue = std::variant<TPushUndefinedValue, TPushNullValue, bool, int64_t, float, double,
                                std::string>;

struct TPushValueInfo {
  TPushValue Value;
  uint8_t ValueType = kPushUndefined;
  bool IsValid = true;  // entries that are not valid are kept but not written

  // Forces a push type (0 to 9); kPushKeepType keeps the current one.
  void SetValueType(uint8_t type);
  bool operator==(const TPushValueInfo&) const = default;
};

// The value converted as a push type writes it.
std::string PushValueToString(const TPushValue& value);
double PushValueToDouble(const TPushValue& value);
int64_t PushValueToInteger(const TPushValue& value);

class TSWFActionPush : public TSWFAction4 {
 public:
  TSWFActionPush() : TSWFAction4(0x96) {}

  std::vector<TPushValueInfo> Values;

  uint16_t ValueCount() const { return static_cast<uint16_t>(Values.size()); }
  TPushValueInfo& ValueInfo(size_t index) { return Values.at(index); }
  const TPushValueInfo& ValueInfo(size_t index) const { return Values.at(index); }

  // Appends a value with the push type chosen from it: undefined 3, null 2, integers 7,
  // single 1, double 6, boolean 5, strings 0, except "FlashVar_null" (null, 2) and
  // "FlashVar_undefined" (undefined, 3). Returns the index of the entry.
  size_t AddValue(const TPushValue& value);
  size_t AddValue(const char* s) { return AddValue(TPushValue(std::string(s))); }
  size_t AddValue(std::string_view s) { return AddValue(TPushValue(std::string(s))); }
  size_t AddValue(const std::string& s) { return AddValue(TPushValue(s)); }
  template <std::integral T>
  size_t AddValue(T v) {
    if constexpr (std::same_as<T, bool>) return AddValue(TPushValue(v));
    else return AddValue(TPushValue(static_cast<int64_t>(v)));
  }

  void Assign(const TSWFAction& source) override;
  // 5 when any entry has a type above float, else 4.
  int MinVersion() const override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionConstantPool : public TSWFAction5 {
 public:
  TSWFActionConstantPool() : TSWFAction5(0x88) {}

  std::vector<std::string> Constants;  // the bytes of each string, in order

  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

}  // namespace tw::swf
