#include "builder/action_script.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

#include "builder/compile_context.h"
#include "builder/movie.h"
#include "swf/action_tags.h"
#include "util/files.h"

namespace tw::builder {

using namespace tw::swf;

TFlashActionScript::TFlashActionScript(TFlashMovie* owner, TSWFActionList* list)
    : TFlashObject(owner) {
  if (list) {
    FActions = list;
  } else {
    FOwnedActions = std::make_unique<TSWFActionList>();
    FActions = FOwnedActions.get();
  }
}

void TFlashActionScript::SetActions(TSWFActionList& list) {
  if (&list == FActions) return;
  FActions = &list;
  FOwnedActions.reset();
}

void TFlashActionScript::Assign(const TBasedSWFObject& source) {
  TFlashObject::Assign(source);
  const auto& s = SourceAs<TFlashActionScript>(source);
  if (&s.Actions() == FActions) return;
  // Ownership follows the list the script holds: taking over the source's flag would make a
  // script free a list it does not own, or never free its own.
  FActions->Clear();
  CopyActionList(s.Actions(), *FActions);
}

int TFlashActionScript::MinVersion() const { return std::max(1, FActions->MinVersion()); }

void TFlashActionScript::WriteToStream(TBitsEngine& be) {
  TSWFDoAction tag(*FActions);
  tag.WriteToStream(be);
}

// ---- records without fields, by code ----------------------------------------------------------

void TFlashActionScript::Simple(asc::TOp op) {
  using asc::TOp;
  switch (op) {
    case TOp::NextFrame: return NextFrame();
    case TOp::PreviousFrame: return PreviousFrame();
    case TOp::Play: return Play();
    case TOp::Stop: return Stop();
    case TOp::ToggleQuality: return ToggleQuality();
    case TOp::StopSounds: return StopSounds();
    case TOp::Not: return Not();
    case TOp::StringLength: return StringLength();
    case TOp::StringExtract: return StringExtract();
    case TOp::Pop: return Pop();
    case TOp::ToInteger: return ToInteger();
    case TOp::GetVariable: return GetVariable();
    case TOp::SetVariable: return SetVariable();
    case TOp::SetTarget2: return SetTarget2();
    case TOp::GetProperty: return GetProperty();
    case TOp::SetProperty: return SetProperty();
    case TOp::CloneSprite: return CloneSprite();
    case TOp::RemoveSprite: return RemoveSprite();
    case TOp::Trace: return Trace();
    case TOp::StartDrag: return StartDrag();
    case TOp::EndDrag: return EndDrag();
    case TOp::Throw: return Throw();
    case TOp::RandomNumber: return RandomNumber();
    case TOp::MBStringLength: return MBStringLength();
    case TOp::CharToAscii: return CharToAscii();
    case TOp::AsciiToChar: return AsciiToChar();
    case TOp::GetTime: return GetTime();
    case TOp::MBStringExtract: return MBStringExtract();
    case TOp::MBCharToAscii: return MBCharToAscii();
    case TOp::MBAsciiToChar: return MBAsciiToChar();
    case TOp::Delete: return Delete();
    case TOp::Delete2: return Delete2();
    case TOp::DefineLocal: return DefineLocal();
    case TOp::CallFunction: return CallFunction();
    case TOp::Return: return Return();
    case TOp::Modulo: return Modulo();
    case TOp::NewObject: return NewObject();
    case TOp::DefineLocal2: return DefineLocal2();
    case TOp::InitArray: return InitArray();
    case TOp::InitObject: return InitObject();
    case TOp::TypeOf: return TypeOf();
    case TOp::TargetPath: return TargetPath();
    case TOp::Enumerate: return Enumerate();
    case TOp::Add2: return Add2();
    case TOp::Less2: return Less2();
    case TOp::Equals2: return Equals2();
    case TOp::ToNumber: return ToNumber();
    case TOp::ToString: return ToString();
    case TOp::PushDuplicate: return PushDuplicate();
    case TOp::StackSwap: return StackSwap();
    case TOp::GetMember: return GetMember();
    case TOp::SetMember: return SetMember();
    case TOp::Increment: return Increment();
    case TOp::Decrement: return Decrement();
    case TOp::CallMethod: return CallMethod();
    case TOp::NewMethod: return NewMethod();
    case TOp::InstanceOf: return InstanceOf();
    case TOp::Enumerate2: return Enumerate2();
    case TOp::BitAnd: return BitAnd();
    case TOp::BitOr: return BitOr();
    case TOp::BitXor: return BitXor();
    case TOp::BitLShift: return BitLShift();
    case TOp::BitRShift: return BitRShift();
    case TOp::BitURShift: return BitURShift();
    case TOp::StrictEquals: return StrictEquals();
    case TOp::Greater: return Greater();
    case TOp::Subtract: return Subtract();
    case TOp::Multiply: return Multiply();
    case TOp::Divide: return Divide();
    case TOp::Call: return Call();
    case TOp::CastOp: return CastOp();
    case TOp::ImplementsOp: return ImplementsOp();
    case TOp::Extends: return Extends();
  }
  throw std::logic_error("no append operation for the action code " +
                         std::to_string(static_cast<int>(op)));
}

// ---- records with fields ---------------------------------------------------------------------

void TFlashActionScript::GotoFrame(uint16_t frame) { Append<TSWFActionGotoFrame>().Frame = frame; }

void TFlashActionScript::GotoFrame2(uint8_t playFlag, uint16_t sceneBias) {
  auto& a = Append<TSWFActionGotoFrame2>();
  a.PlayFlag = playFlag != 0;
  a.SceneBias = sceneBias;
  a.SceneBiasFlag = sceneBias > 0;
}

void TFlashActionScript::GoToLabel(std::string_view label) {
  Append<TSWFActionGoToLabel>().Label = label;
}

void TFlashActionScript::GetURL(std::string_view url, std::string_view target) {
  auto& a = Append<TSWFActionGetUrl>();
  a.URL = url;
  a.Target = target;
}

void TFlashActionScript::FSCommand(std::string_view command, std::string_view args) {
  GetURL("FSCommand:" + std::string(command), args);
}

void TFlashActionScript::GetURL2(uint8_t loadTargetFlag, uint8_t loadVariablesFlag,
                                 uint8_t method) {
  auto& a = Append<TSWFActionGetURL2>();
  a.LoadTargetFlag = loadTargetFlag != 0;
  a.LoadVariablesFlag = loadVariablesFlag != 0;
  a.Method = method;
}

void TFlashActionScript::WaitForFrame(uint16_t frame, uint8_t skipCount) {
  auto& a = Append<TSWFActionWaitForFrame>();
  a.Frame = frame;
  a.SkipCount = skipCount;
}

void TFlashActionScript::WaitForFrame2(uint8_t skipCount) {
  Append<TSWFActionWaitForFrame2>().SkipCount = skipCount;
}

void TFlashActionScript::SetTarget(std::string_view targetName) {
  Append<TSWFActionSetTarget>().TargetName = targetName;
}

void TFlashActionScript::StoreRegister(uint8_t registerNumber) {
  Append<TSWFActionStoreRegister>().RegisterNumber = registerNumber;
}

TSWFActionConstantPool& TFlashActionScript::ConstantPool(std::span<const std::string> strings) {
  auto& a = Append<TSWFActionConstantPool>();
  a.Constants.assign(strings.begin(), strings.end());
  return a;
}

TSWFActionConstantPool& TFlashActionScript::ConstantPool(std::initializer_list<std::string> strings) {
  return ConstantPool(std::span<const std::string>(strings.begin(), strings.size()));
}

TSWFActionDefineFunction& TFlashActionScript::DefineFunction(std::string_view name,
                                                             std::span<const std::string> params) {
  auto& a = Append<TSWFActionDefineFunction>();
  a.Name = name;
  a.Params.assign(params.begin(), params.end());
  return a;
}

TSWFActionDefineFunction2& TFlashActionScript::DefineFunction2(std::string_view name,
                                                               std::span<const std::string> params,
                                                               uint8_t registerCount) {
  auto& a = Append<TSWFActionDefineFunction2>();
  a.Name = name;
  for (const std::string& p : params) a.AddParam(p);
  a.RegisterCount = registerCount;
  return a;
}

TSWFActionByteCode& TFlashActionScript::ByteCode(std::string_view hexText) {
  auto& a = Append<TSWFActionByteCode>();
  a.SetHexText(hexText);
  return a;
}

// ---- markers ---------------------------------------------------------------------------------

TSWFOffsetMarker& TFlashActionScript::AddMarker(std::unique_ptr<TSWFOffsetMarker> marker,
                                                bool backward) {
  if (!marker) return FActions->AddMarker(std::make_unique<TSWFOffsetMarker>(), true);
  return FActions->AddMarker(std::move(marker), backward);
}

TSWFOffsetMarker& TFlashActionScript::AddMarker(TSWFBranchAction& branch, size_t slot) {
  // A marker handed over before comes back as null, which the list refuses: placing a new
  // marker instead would leave the branch without its target.
  return FActions->AddMarker(branch.TakeMarker(slot), false);
}

// ---- Push ------------------------------------------------------------------------------------

TSWFActionPush& TFlashActionScript::PushTarget() {
  if (TSWFAction* last = FActions->Last(); last && last->ActionCode == 0x96)
    return static_cast<TSWFActionPush&>(*last);
  return Append<TSWFActionPush>();
}

TSWFActionPush& TFlashActionScript::Push(std::span<const TPushValue> values,
                                         std::span<const uint8_t> types) {
  TSWFActionPush& push = PushTarget();
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t entry = push.AddValue(values[i]);
    push.ValueInfo(entry).SetValueType(i < types.size() ? types[i] : uint8_t{kPushKeepType});
  }
  return push;
}

TSWFActionPush& TFlashActionScript::Push(std::initializer_list<TPushValue> values,
                                         std::initializer_list<uint8_t> types) {
  return Push(std::span<const TPushValue>(values.begin(), values.size()),
              std::span<const uint8_t>(types.begin(), types.size()));
}

TSWFActionPush& TFlashActionScript::PushConstants(std::span<const uint16_t> indexes) {
  TSWFActionPush& push = PushTarget();
  for (uint16_t index : indexes) {
    const size_t entry = push.AddValue(int64_t{index});
    push.ValueInfo(entry).SetValueType(index < 256 ? kPushConstant8 : kPushConstant16);
  }
  return push;
}

TSWFActionPush& TFlashActionScript::PushConstant(uint16_t index) {
  return PushConstants(std::span<const uint16_t>(&index, 1));
}

// ---- compiling -------------------------------------------------------------------------------

bool TFlashActionScript::CompileScript(TMemoryStream& source) { return Compile(source, {}); }

bool TFlashActionScript::CompileScript(std::string_view text) {
  TMemoryStream source;
  source.WriteBuffer(text.data(), text.size());
  return CompileScript(source);
}

bool TFlashActionScript::CompileScriptFile(const std::filesystem::path& fileName) {
  TMemoryStream source(ReadWholeFile(fileName));
  return Compile(source, fileName.string());
}

bool TFlashActionScript::CompileScripts(std::span<const TScriptSource> sources) {
  TFlashMovie* movie = Owner();
  if (!movie) throw ESWFError("A script without a movie cannot be compiled");
  try {
    movie->CompileContext().Compile(sources, *this);
  } catch (const std::exception& e) {
    movie->AppendError(e.what());
    return false;
  }
  return true;
}

bool TFlashActionScript::Compile(TMemoryStream& source, std::string_view sourceName) {
  TFlashMovie* movie = Owner();
  if (!movie) throw ESWFError("A script without a movie cannot be compiled");
  source.SetPosition(0);
  const std::string_view text(reinterpret_cast<const char*>(source.Data()), source.Size());
  try {
    movie->CompileContext().Compile(text, sourceName, *this);
  } catch (const std::exception& e) {
    movie->AppendError(e.what());
    return false;
  }
  return true;
}

}  // namespace tw::builder
