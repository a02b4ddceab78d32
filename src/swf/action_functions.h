// The function definitions: DefineFunction and DefineFunction2. The function body follows the
// record; CodeSize is its length, stored or computed from the record's marker placed after it.
#pragma once

#include <string>
#include <vector>

#include "swf/actions.h"

namespace tw::swf {

class TSWFActionDefineFunction : public TSWFBranchAction {
 public:
  TSWFActionDefineFunction() : TSWFBranchAction(0x9B, 1) {}

  std::string Name;                 // empty for an anonymous function
  std::vector<std::string> Params;

  uint16_t CodeSize() const { return FCodeSize; }
  void SetCodeSize(uint16_t value) {
    FCodeSize = value;
    StaticOffset = true;
  }

  void Assign(const TSWFAction& source) override;
  int MinVersion() const override { return 5; }
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;

 private:
  uint16_t FCodeSize = 0;
};

// A parameter of DefineFunction2: its name and the register it is kept in (0: none).
struct TSWFRegisterParam {
  uint8_t Register = 0;
  std::string Name;
  bool operator==(const TSWFRegisterParam&) const = default;
};

class TSWFActionDefineFunction2 : public TSWFBranchAction {
 public:
  TSWFActionDefineFunction2() : TSWFBranchAction(0x8E, 1) {}

  std::string Name;
  std::vector<TSWFRegisterParam> Params;
  uint8_t RegisterCount = 0;
  bool PreloadParent = false;
  bool PreloadRoot = false;
  bool SuppressSuper = false;
  bool PreloadSuper = false;
  bool SuppressArguments = false;
  bool PreloadArguments = false;
  bool SuppressThis = false;
  bool PreloadThis = false;
  bool PreloadGlobal = false;

  // Appends a parameter kept in a register (0: in a variable of its name).
  void AddParam(std::string name, uint8_t reg = 0) { Params.push_back({reg, std::move(name)}); }

  uint16_t CodeSize() const { return FCodeSize; }
  void SetCodeSize(uint16_t value) {
    FCodeSize = value;
    StaticOffset = true;
  }

  void Assign(const TSWFAction& source) override;
  int MinVersion() const override { return 7; }
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;

 private:
  uint16_t FCodeSize = 0;
};

}  // namespace tw::swf
