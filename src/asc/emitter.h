// The emitter: the narrow interface the code generator appends action records through. The movie
// builder's action script object implements it with its own append operations (the names and
// arguments are theirs; records without fields come by their code), so a compiled script is made
// the way every other script of a movie is. The compiler knows nothing of the builder: the
// builder uses the compiler, never the other way round.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "swf/actions.h"

namespace tw::asc {

// The records without fields the compiler appends, named as the script object's operations.
enum class TOp : uint8_t {
  NextFrame = 0x04, PreviousFrame = 0x05, Play = 0x06, Stop = 0x07, ToggleQuality = 0x08,
  StopSounds = 0x09, Not = 0x12, StringLength = 0x14, StringExtract = 0x15, Pop = 0x17,
  ToInteger = 0x18, GetVariable = 0x1C, SetVariable = 0x1D, SetTarget2 = 0x20,
  GetProperty = 0x22, SetProperty = 0x23, CloneSprite = 0x24, RemoveSprite = 0x25, Trace = 0x26,
  StartDrag = 0x27, EndDrag = 0x28, Throw = 0x2A, RandomNumber = 0x30, MBStringLength = 0x31,
  CharToAscii = 0x32, AsciiToChar = 0x33, GetTime = 0x34, MBStringExtract = 0x35,
  MBCharToAscii = 0x36, MBAsciiToChar = 0x37, Delete = 0x3A, Delete2 = 0x3B, DefineLocal = 0x3C,
  CallFunction = 0x3D, Return = 0x3E, Modulo = 0x3F, NewObject = 0x40, DefineLocal2 = 0x41,
  InitArray = 0x42, InitObject = 0x43, TypeOf = 0x44, TargetPath = 0x45, Enumerate = 0x46,
  Add2 = 0x47, Less2 = 0x48, Equals2 = 0x49, ToNumber = 0x4A, ToString = 0x4B,
  PushDuplicate = 0x4C, StackSwap = 0x4D, GetMember = 0x4E, SetMember = 0x4F, Increment = 0x50,
  Decrement = 0x51, CallMethod = 0x52, NewMethod = 0x53, InstanceOf = 0x54, Enumerate2 = 0x55,
  BitAnd = 0x60, BitOr = 0x61, BitXor = 0x62, BitLShift = 0x63, BitRShift = 0x64,
  BitURShift = 0x65, StrictEquals = 0x66, Greater = 0x67, Subtract = 0x0B, Multiply = 0x0C,
  Divide = 0x0D, Call = 0x9E, CastOp = 0x2B, ImplementsOp = 0x2C, Extends = 0x69,
};

class TEmitter {
 public:
  virtual ~TEmitter() = default;

  // The list the records go to; the compiler reads it to check what it appended.
  virtual swf::TSWFActionList& Actions() = 0;

  virtual void Simple(TOp op) = 0;
  // Values with their push types (kPushKeepType: the type chosen from the value). A Push record
  // that ends the list takes the values instead of a new one.
  virtual swf::TSWFActionPush& Push(std::span<const swf::TPushValue> values,
                                    std::span<const uint8_t> types) = 0;
  virtual swf::TSWFActionPush& PushConstant(uint16_t index) = 0;
  virtual swf::TSWFActionConstantPool& ConstantPool(std::span<const std::string> strings) = 0;
  virtual void StoreRegister(uint8_t registerNumber) = 0;
  virtual void GotoFrame(uint16_t frame) = 0;
  virtual void GotoFrame2(uint8_t playFlag, uint16_t sceneBias) = 0;
  virtual void GoToLabel(std::string_view label) = 0;
  virtual void GetURL(std::string_view url, std::string_view target) = 0;
  virtual void GetURL2(uint8_t loadTargetFlag, uint8_t loadVariablesFlag, uint8_t method) = 0;
  virtual void SetTarget(std::string_view targetName) = 0;
  virtual swf::TSWFActionDefineFunction& DefineFunction(std::string_view name,
                                                        std::span<const std::string> params) = 0;
  virtual swf::TSWFActionDefineFunction2& DefineFunction2(std::string_view name,
                                                          std::span<const std::string> params,
                                                          uint8_t registerCount) = 0;
  virtual swf::TSWFActionJump& Jump() = 0;
  virtual swf::TSWFActionIf& If() = 0;
  virtual swf::TSWFActionWith& With() = 0;
  virtual swf::TSWFActionTry& Try() = 0;
  // Without a marker: a target for branches that come later, a new marker placed here. With
  // one (a forward branch's own): that marker placed here with the given direction.
  virtual swf::TSWFOffsetMarker& AddMarker(std::unique_ptr<swf::TSWFOffsetMarker> marker = nullptr,
                                           bool backward = true) = 0;
  // The target of a branch made before: its own marker of the slot, placed here.
  virtual swf::TSWFOffsetMarker& AddMarker(swf::TSWFBranchAction& branch, size_t slot = 0) = 0;
};

// An emitter that appends to a bare action list, as the script object does to its own: the
// compiler's first pass (which only counts strings) and tools without a movie use it.
class TActionListEmitter : public TEmitter {
 public:
  explicit TActionListEmitter(swf::TSWFActionList& list) : FList(list) {}

  swf::TSWFActionList& Actions() override { return FList; }
  void Simple(TOp op) override;
  swf::TSWFActionPush& Push(std::span<const swf::TPushValue> values,
                            std::span<const uint8_t> types) override;
  swf::TSWFActionPush& PushConstant(uint16_t index) override;
  swf::TSWFActionConstantPool& ConstantPool(std::span<const std::string> strings) override;
  void StoreRegister(uint8_t registerNumber) override;
  void GotoFrame(uint16_t frame) override;
  void GotoFrame2(uint8_t playFlag, uint16_t sceneBias) override;
  void GoToLabel(std::string_view label) override;
  void GetURL(std::string_view url, std::string_view target) override;
  void GetURL2(uint8_t loadTargetFlag, uint8_t loadVariablesFlag, uint8_t method) override;
  void SetTarget(std::string_view targetName) override;
  swf::TSWFActionDefineFunction& DefineFunction(std::string_view name,
                                                std::span<const std::string> params) override;
  swf::TSWFActionDefineFunction2& DefineFunction2(std::string_view name,
                                                  std::span<const std::string> params,
                                                  uint8_t registerCount) override;
  swf::TSWFActionJump& Jump() override { return FList.Add<swf::TSWFActionJump>(); }
  swf::TSWFActionIf& If() override { return FList.Add<swf::TSWFActionIf>(); }
  swf::TSWFActionWith& With() override { return FList.Add<swf::TSWFActionWith>(); }
  swf::TSWFActionTry& Try() override { return FList.Add<swf::TSWFActionTry>(); }
  swf::TSWFOffsetMarker& AddMarker(std::unique_ptr<swf::TSWFOffsetMarker> marker = nullptr,
                                   bool backward = true) override {
    if (!marker) return FList.AddMarker();
    return FList.AddMarker(std::move(marker), backward);
  }
  swf::TSWFOffsetMarker& AddMarker(swf::TSWFBranchAction& branch, size_t slot = 0) override {
    return FList.AddMarker(branch.TakeMarker(slot), false);
  }

 private:
  swf::TSWFActionPush& PushTarget();

  swf::TSWFActionList& FList;
};

}  // namespace tw::asc
