#include "builder/action_script.h"

#include <algorithm>
#include <exception>

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

bool TFlashActionScript::CompileScript(TMemoryStream& source) {
  TFlashMovie* movie = Owner();
  if (!movie) throw ESWFError("A script without a movie cannot be compiled");
  source.SetPosition(0);
  const std::string_view text(reinterpret_cast<const char*>(source.Data()), source.Size());
  TCompileContext* context = movie->CompileContext();
  if (!context) {
    movie->AppendError(kNoCompilerMessage);
    return false;
  }
  try {
    context->Compile(text, *this);
  } catch (const std::exception& e) {
    movie->AppendError(e.what());
    return false;
  }
  return true;
}

bool TFlashActionScript::CompileScript(std::string_view text) {
  TMemoryStream source;
  source.WriteBuffer(text.data(), text.size());
  return CompileScript(source);
}

bool TFlashActionScript::CompileScriptFile(const std::filesystem::path& fileName) {
  TMemoryStream source(ReadWholeFile(fileName));
  return CompileScript(source);
}

}  // namespace tw::builder
