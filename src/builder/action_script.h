// TFlashActionScript: a list of action records that is written as a DoAction tag. Every piece of
// action code the builder makes goes through its append operations: the frame actions of a
// movie, the clip and initialisation actions of placements and sprites, and the compiler, whose
// emitter the script is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "asc/emitter.h"
#include "builder/compile_context.h"
#include "builder/objects.h"
#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "swf/action_records.h"

namespace tw::builder {

class TFlashActionScript : public TFlashObject, public asc::TEmitter {
 public:
  // With no list the script makes and owns its own; a given list stays its creator's (a
  // placement passes the list of the clip action being filled).
  explicit TFlashActionScript(TFlashMovie* owner, swf::TSWFActionList* list = nullptr);

  swf::TSWFActionList& Actions() override { return *FActions; }
  const swf::TSWFActionList& Actions() const { return *FActions; }
  bool OwnsActions() const { return FOwnedActions != nullptr; }
  // Points the script at a list its creator keeps owning; an own list is freed.
  void SetActions(swf::TSWFActionList& list);
  swf::TSWFAction& Action(size_t index) { return FActions->Action(index); }

  // The records are replaced by copies of the source's; the list stays this script's.
  void Assign(const swf::TBasedSWFObject& source) override;
  // The largest MinVersion of the records, at least 1.
  int MinVersion() const override;
  // A DoAction tag over the records (End code included).
  void WriteToStream(swf::TBitsEngine& be) override;

  // ---- records without fields
  void Add() { Append<swf::TSWFActionAdd>(); }
  void Add2() { Append<swf::TSWFActionAdd2>(); }
  void Subtract() { Append<swf::TSWFActionSubtract>(); }
  void Multiply() { Append<swf::TSWFActionMultiply>(); }
  void Divide() { Append<swf::TSWFActionDivide>(); }
  void Modulo() { Append<swf::TSWFActionModulo>(); }
  void Increment() { Append<swf::TSWFActionIncrement>(); }
  void Decrement() { Append<swf::TSWFActionDecrement>(); }

  void Equals() { Append<swf::TSWFActionEquals>(); }
  void Equals2() { Append<swf::TSWFActionEquals2>(); }
  void StrictEquals() { Append<swf::TSWFActionStrictEquals>(); }
  void Less() { Append<swf::TSWFActionLess>(); }
  void Less2() { Append<swf::TSWFActionLess2>(); }
  void Greater() { Append<swf::TSWFActionGreater>(); }
  void And() { Append<swf::TSWFActionAnd>(); }
  void Or() { Append<swf::TSWFActionOr>(); }
  void Not() { Append<swf::TSWFActionNot>(); }

  void BitAnd() { Append<swf::TSWFActionBitAnd>(); }
  void BitOr() { Append<swf::TSWFActionBitOr>(); }
  void BitXor() { Append<swf::TSWFActionBitXor>(); }
  void BitLShift() { Append<swf::TSWFActionBitLShift>(); }
  void BitRShift() { Append<swf::TSWFActionBitRShift>(); }
  void BitURShift() { Append<swf::TSWFActionBitURShift>(); }

  void StringAdd() { Append<swf::TSWFActionStringAdd>(); }
  void StringEquals() { Append<swf::TSWFActionStringEquals>(); }
  void StringExtract() { Append<swf::TSWFActionStringExtract>(); }
  void StringLength() { Append<swf::TSWFActionStringLength>(); }
  void StringLess() { Append<swf::TSWFActionStringLess>(); }
  void StringGreater() { Append<swf::TSWFActionStringGreater>(); }
  void MBStringLength() { Append<swf::TSWFActionMBStringLength>(); }
  void MBStringExtract() { Append<swf::TSWFActionMBStringExtract>(); }
  void MBCharToAscii() { Append<swf::TSWFActionMBCharToAscii>(); }
  void MBAsciiToChar() { Append<swf::TSWFActionMBAsciiToChar>(); }
  void CharToAscii() { Append<swf::TSWFActionCharToAscii>(); }
  void AsciiToChar() { Append<swf::TSWFActionAsciiToChar>(); }

  void ToInteger() { Append<swf::TSWFActionToInteger>(); }
  void ToNumber() { Append<swf::TSWFActionToNumber>(); }
  void ToString() { Append<swf::TSWFActionToString>(); }
  void TypeOf() { Append<swf::TSWFActionTypeOf>(); }
  void CastOp() { Append<swf::TSWFActionCastOp>(); }
  void InstanceOf() { Append<swf::TSWFActionInstanceOf>(); }
  void ImplementsOp() { Append<swf::TSWFActionImplementsOp>(); }
  void Extends() { Append<swf::TSWFActionExtends>(); }

  void GetVariable() { Append<swf::TSWFActionGetVariable>(); }
  void SetVariable() { Append<swf::TSWFActionSetVariable>(); }
  void DefineLocal() { Append<swf::TSWFActionDefineLocal>(); }
  void DefineLocal2() { Append<swf::TSWFActionDefineLocal2>(); }
  void Delete() { Append<swf::TSWFActionDelete>(); }
  void Delete2() { Append<swf::TSWFActionDelete2>(); }
  void GetMember() { Append<swf::TSWFActionGetMember>(); }
  void SetMember() { Append<swf::TSWFActionSetMember>(); }
  void GetProperty() { Append<swf::TSWFActionGetProperty>(); }
  void SetProperty() { Append<swf::TSWFActionSetProperty>(); }
  void TargetPath() { Append<swf::TSWFActionTargetPath>(); }

  void CallFunction() { Append<swf::TSWFActionCallFunction>(); }
  void CallMethod() { Append<swf::TSWFActionCallMethod>(); }
  void NewObject() { Append<swf::TSWFActionNewObject>(); }
  void NewMethod() { Append<swf::TSWFActionNewMethod>(); }
  void InitArray() { Append<swf::TSWFActionInitArray>(); }
  void InitObject() { Append<swf::TSWFActionInitObject>(); }
  void Return() { Append<swf::TSWFActionReturn>(); }
  void Enumerate() { Append<swf::TSWFActionEnumerate>(); }
  void Enumerate2() { Append<swf::TSWFActionEnumerate2>(); }

  void Pop() { Append<swf::TSWFActionPop>(); }
  void PushDuplicate() { Append<swf::TSWFActionPushDuplicate>(); }
  void StackSwap() { Append<swf::TSWFActionStackSwap>(); }

  void NextFrame() { Append<swf::TSWFActionNextFrame>(); }
  void PreviousFrame() { Append<swf::TSWFActionPreviousFrame>(); }
  void Play() { Append<swf::TSWFActionPlay>(); }
  void Stop() { Append<swf::TSWFActionStop>(); }
  void StopSounds() { Append<swf::TSWFActionStopSounds>(); }
  void ToggleQuality() { Append<swf::TSWFActionToggleQuality>(); }
  void Call() { Append<swf::TSWFActionCall>(); }
  void SetTarget2() { Append<swf::TSWFActionSetTarget2>(); }
  void CloneSprite() { Append<swf::TSWFActionCloneSprite>(); }
  void RemoveSprite() { Append<swf::TSWFActionRemoveSprite>(); }
  void StartDrag() { Append<swf::TSWFActionStartDrag>(); }
  void EndDrag() { Append<swf::TSWFActionEndDrag>(); }
  void GetTime() { Append<swf::TSWFActionGetTime>(); }
  void RandomNumber() { Append<swf::TSWFActionRandomNumber>(); }
  void Trace() { Append<swf::TSWFActionTrace>(); }
  void FSCommand2() { Append<swf::TSWFActionFSCommand2>(); }
  void Throw() { Append<swf::TSWFActionThrow>(); }
  // The operation above of the record with the code: how the compiler appends them.
  void Simple(asc::TOp op) override;

  // ---- records with fields
  void GotoFrame(uint16_t frame) override;
  // The scene-bias flag is set when SceneBias is above 0.
  void GotoFrame2(uint8_t playFlag, uint16_t sceneBias) override;
  void GoToLabel(std::string_view label) override;
  void GetURL(std::string_view url, std::string_view target) override;
  // A GetUrl record whose URL is "FSCommand:" followed by the command.
  void FSCommand(std::string_view command, std::string_view args);
  void GetURL2(uint8_t loadTargetFlag, uint8_t loadVariablesFlag, uint8_t method) override;
  void WaitForFrame(uint16_t frame, uint8_t skipCount);
  void WaitForFrame2(uint8_t skipCount);
  void SetTarget(std::string_view targetName) override;
  void StoreRegister(uint8_t registerNumber) override;
  swf::TSWFActionConstantPool& ConstantPool(std::span<const std::string> strings) override;
  swf::TSWFActionConstantPool& ConstantPool(std::initializer_list<std::string> strings);
  swf::TSWFActionDefineFunction& DefineFunction(std::string_view name,
                                                std::span<const std::string> params) override;
  // Every parameter lives in a variable (register 0); preload and suppress flags are false.
  swf::TSWFActionDefineFunction2& DefineFunction2(std::string_view name,
                                                  std::span<const std::string> params,
                                                  uint8_t registerCount) override;
  // Raw record bytes from hexadecimal text.
  swf::TSWFActionByteCode& ByteCode(std::string_view hexText);

  // Branches; the caller links them to their targets with markers.
  swf::TSWFActionJump& Jump() override { return Append<swf::TSWFActionJump>(); }
  swf::TSWFActionIf& If() override { return Append<swf::TSWFActionIf>(); }
  swf::TSWFActionWith& With() override { return Append<swf::TSWFActionWith>(); }
  swf::TSWFActionTry& Try() override { return Append<swf::TSWFActionTry>(); }

  // Places a branch target here. A given marker (a forward branch's own, from TakeMarker) gets
  // the direction; without one a new marker is made for a branch that comes later, and is
  // backward whatever the argument says.
  swf::TSWFOffsetMarker& AddMarker(std::unique_ptr<swf::TSWFOffsetMarker> marker = nullptr,
                                   bool backward = true) override;
  // Places the target of a branch made before: its own marker of the slot, forward.
  swf::TSWFOffsetMarker& AddMarker(swf::TSWFBranchAction& branch, size_t slot = 0) override;

  // Pushes the values, the type of each forced by the type at the same index (kPushKeepType, or
  // a missing type, keeps the type chosen from the value). A Push record that ends the list is
  // extended instead of starting a new one.
  swf::TSWFActionPush& Push(std::span<const swf::TPushValue> values,
                            std::span<const uint8_t> types) override;
  swf::TSWFActionPush& Push(std::initializer_list<swf::TPushValue> values,
                            std::initializer_list<uint8_t> types);
  // Constant indexes: one byte below 256, two bytes from 256 on; the same reuse rule.
  swf::TSWFActionPush& PushConstant(uint16_t index) override;
  swf::TSWFActionPush& PushConstants(std::span<const uint16_t> indexes);

  // Compiles ActionScript source into this script through the owner movie's compiler context.
  // A compile error (its text with file, line and column) is appended to the owner's ErrorStream
  // and gives false; the records appended before the error stay. The stream is read from its
  // start; a script from a file names the file in its messages.
  bool CompileScript(swf::TMemoryStream& source);
  bool CompileScript(std::string_view text);
  bool CompileScriptFile(const std::filesystem::path& fileName);
  // Several sources as one script (functions of each seen by all), each named in messages.
  bool CompileScripts(std::span<const TScriptSource> sources);

 private:
  template <class T>
  T& Append() {
    return FActions->Add<T>();
  }
  swf::TSWFActionPush& PushTarget();
  bool Compile(swf::TMemoryStream& source, std::string_view sourceName);

  std::unique_ptr<swf::TSWFActionList> FOwnedActions;
  swf::TSWFActionList* FActions;
};

}  // namespace tw::builder
