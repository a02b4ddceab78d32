#include "asc/emitter.h"

namespace tw::asc {
using namespace tw::swf;

void TActionListEmitter::Simple(TOp op) {
  auto record = CreateActionByCode(static_cast<uint8_t>(op));
  if (!record) throw std::logic_error("no action record for an emitter operation");
  FList.Add(std::move(record));
}

TSWFActionPush& TActionListEmitter::PushTarget() {
  if (TSWFAction* last = FList.Last(); last && last->ActionCode == 0x96)
    return static_cast<TSWFActionPush&>(*last);
  return FList.Add<TSWFActionPush>();
}

TSWFActionPush& TActionListEmitter::Push(std::span<const TPushValue> values,
                                         std::span<const uint8_t> types) {
  TSWFActionPush& push = PushTarget();
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t entry = push.AddValue(values[i]);
    push.ValueInfo(entry).SetValueType(i < types.size() ? types[i] : uint8_t{kPushKeepType});
  }
  return push;
}

TSWFActionPush& TActionListEmitter::PushConstant(uint16_t index) {
  TSWFActionPush& push = PushTarget();
  const size_t entry = push.AddValue(int64_t{index});
  push.ValueInfo(entry).SetValueType(index < 256 ? kPushConstant8 : kPushConstant16);
  return push;
}

TSWFActionConstantPool& TActionListEmitter::ConstantPool(std::span<const std::string> strings) {
  auto& a = FList.Add<TSWFActionConstantPool>();
  a.Constants.assign(strings.begin(), strings.end());
  return a;
}

void TActionListEmitter::StoreRegister(uint8_t registerNumber) {
  FList.Add<TSWFActionStoreRegister>().RegisterNumber = registerNumber;
}

void TActionListEmitter::GotoFrame(uint16_t frame) { FList.Add<TSWFActionGotoFrame>().Frame = frame; }

void TActionListEmitter::GotoFrame2(uint8_t playFlag, uint16_t sceneBias) {
  auto& a = FList.Add<TSWFActionGotoFrame2>();
  a.PlayFlag = playFlag != 0;
  a.SceneBias = sceneBias;
  a.SceneBiasFlag = sceneBias > 0;
}

void TActionListEmitter::GoToLabel(std::string_view label) {
  FList.Add<TSWFActionGoToLabel>().Label = label;
}

void TActionListEmitter::GetURL(std::string_view url, std::string_view target) {
  auto& a = FList.Add<TSWFActionGetUrl>();
  a.URL = url;
  a.Target = target;
}

void TActionListEmitter::GetURL2(uint8_t loadTargetFlag, uint8_t loadVariablesFlag, uint8_t method) {
  auto& a = FList.Add<TSWFActionGetURL2>();
  a.LoadTargetFlag = loadTargetFlag != 0;
  a.LoadVariablesFlag = loadVariablesFlag != 0;
  a.Method = method;
}

void TActionListEmitter::SetTarget(std::string_view targetName) {
  FList.Add<TSWFActionSetTarget>().TargetName = targetName;
}

TSWFActionDefineFunction& TActionListEmitter::DefineFunction(std::string_view name,
                                                             std::span<const std::string> params) {
  auto& a = FList.Add<TSWFActionDefineFunction>();
  a.Name = name;
  a.Params.assign(params.begin(), params.end());
  return a;
}

TSWFActionDefineFunction2& TActionListEmitter::DefineFunction2(std::string_view name,
                                                               std::span<const std::string> params,
                                                               uint8_t registerCount) {
  auto& a = FList.Add<TSWFActionDefineFunction2>();
  a.Name = name;
  for (const std::string& p : params) a.AddParam(p);
  a.RegisterCount = registerCount;
  return a;
}

}  // namespace tw::asc
