#include "asc/assembler.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "swf/action_body_records.h"
#include "swf/errors.h"

namespace tw::asc {
using namespace tw::swf;

namespace {

// Pushes longer than this start a new Push record: a record body holds at most 65535 bytes.
constexpr size_t kMaxPushBody = 65535;
// A constant pool holds its count and its strings in one record body.
constexpr size_t kMaxPoolBody = 65535;

}  // namespace

TAssembler::TAssembler(TEmitter& target, int version, TSourceNames sources)
    : E(target), FVersion(version), FSources(std::move(sources)), FBase(target.Actions().Count()) {}

void TAssembler::Fail(TSourcePos pos, std::string message) const {
  throw ECompileError(FSources, pos, std::move(message));
}

void TAssembler::Track() {
  const size_t count = E.Actions().Count();
  while (FBase + FPositions.size() < count) FPositions.push_back(FPos);
}

// ---- pushes ----------------------------------------------------------------------------------

void TAssembler::ConstantPool(std::vector<std::string> strings) {
  if (strings.empty()) return;
  std::vector<std::string> pool;
  size_t bytes = 2;
  for (auto& s : strings) {
    if (pool.size() == 0xFFFF) break;
    if (bytes + s.size() + 1 > kMaxPoolBody) continue;
    bytes += s.size() + 1;
    FPool.emplace(s, static_cast<uint16_t>(pool.size()));
    pool.push_back(std::move(s));
  }
  E.ConstantPool(pool);
  Track();
}

void TAssembler::BeforePush(size_t bytes) {
  const TSWFAction* last = E.Actions().Last();
  if (last != FLastPush || !last) FPushBytes = 0;
  // A zero-length marker between two pushes keeps them apart, so that neither grows past what
  // its length field holds.
  if (FPushBytes > 0 && FPushBytes + bytes > kMaxPushBody) {
    E.AddMarker();
    FPushBytes = 0;
  }
}

void TAssembler::AfterPush(const TSWFActionPush& push, size_t bytes) {
  FLastPush = &push;
  FPushBytes += bytes;
  Track();
}

void TAssembler::PushString(std::string_view s) {
  std::string key(s);
  auto [use, added] = FStringIndex.emplace(key, FStringUses.size());
  if (added) FStringUses.emplace_back(key, 0);
  ++FStringUses[use->second].second;
  if (auto it = FPool.find(key); it != FPool.end()) {
    const uint16_t index = it->second;
    const size_t bytes = index < 256 ? 2 : 3;
    BeforePush(bytes);
    AfterPush(E.PushConstant(index), bytes);
    return;
  }
  // The two names the push record reads as null and undefined are always in the pool (see the
  // code generator), so what arrives here is pushed as it is.
  const TPushValue v{std::string(s)};
  const uint8_t type = kPushString;
  const size_t bytes = s.size() + 2;
  BeforePush(bytes);
  AfterPush(E.Push({&v, 1}, {&type, 1}), bytes);
}

void TAssembler::PushNumber(double v) {
  const bool integral = v == std::floor(v) && v >= std::numeric_limits<int32_t>::min() &&
                        v <= std::numeric_limits<int32_t>::max() && !(v == 0 && std::signbit(v));
  TPushValue value;
  uint8_t type;
  size_t bytes;
  if (integral) {
    value = static_cast<int64_t>(v);
    type = kPushInteger;
    bytes = 5;
  } else {
    value = v;
    type = kPushDouble;
    bytes = 9;
  }
  BeforePush(bytes);
  AfterPush(E.Push({&value, 1}, {&type, 1}), bytes);
}

void TAssembler::PushBool(bool b) {
  const TPushValue v{b};
  const uint8_t type = kPushBoolean;
  BeforePush(2);
  AfterPush(E.Push({&v, 1}, {&type, 1}), 2);
}

void TAssembler::PushNull() {
  const TPushValue v{TPushNullValue{}};
  const uint8_t type = kPushNull;
  BeforePush(1);
  AfterPush(E.Push({&v, 1}, {&type, 1}), 1);
}

void TAssembler::PushUndefined() {
  const TPushValue v{TPushUndefinedValue{}};
  const uint8_t type = kPushUndefined;
  BeforePush(1);
  AfterPush(E.Push({&v, 1}, {&type, 1}), 1);
}

void TAssembler::PushRegister(uint8_t r) {
  const TPushValue v{int64_t{r}};
  const uint8_t type = kPushRegister;
  BeforePush(2);
  AfterPush(E.Push({&v, 1}, {&type, 1}), 2);
}

// ---- other records ---------------------------------------------------------------------------

void TAssembler::Op(TOp op) {
  E.Simple(op);
  Track();
}

void TAssembler::StoreRegister(uint8_t r) {
  E.StoreRegister(r);
  Track();
}

void TAssembler::GotoFrame(uint16_t frame) {
  E.GotoFrame(frame);
  Track();
}

void TAssembler::GotoFrame2(bool play) {
  E.GotoFrame2(play ? 1 : 0, 0);
  Track();
}

void TAssembler::GoToLabel(std::string_view label) {
  E.GoToLabel(label);
  Track();
}

void TAssembler::SetTarget(std::string_view target) {
  E.SetTarget(target);
  Track();
}

TSWFAction& TAssembler::WaitForFrame(uint16_t frame) {
  auto& record = E.Actions().Add<TSWFActionWaitForFrame>();
  record.Frame = frame;
  Track();
  return record;
}

TSWFAction& TAssembler::WaitForFrame2() {
  auto& record = E.Actions().Add<TSWFActionWaitForFrame2>();
  Track();
  return record;
}

void TAssembler::EndWaitForFrame(TSWFAction& record) {
  const TSWFActionList& list = E.Actions();
  size_t at = list.Count();
  while (at > FBase && &list[at - 1] != &record) --at;
  if (at == FBase) throw std::logic_error("the end of an ifFrameLoaded body without its record");
  size_t skipped = 0;
  for (size_t i = at; i < list.Count(); ++i)
    if (list[i].ActionCode != kActionMarker) ++skipped;
  if (skipped > 255)
    Fail(FPos, "the body of ifFrameLoaded compiles to " + std::to_string(skipped) +
                   " actions, and at most 255 can be skipped: move it into a function");
  const auto count = static_cast<uint8_t>(skipped);
  if (record.ActionCode == TSWFActionWaitForFrame().ActionCode)
    static_cast<TSWFActionWaitForFrame&>(record).SkipCount = count;
  else
    static_cast<TSWFActionWaitForFrame2&>(record).SkipCount = count;
  // A push after the body must not join one inside it: the skipped records are counted.
  E.AddMarker();
  Track();
}

void TAssembler::GetURL(std::string_view url, std::string_view target) {
  E.GetURL(url, target);
  Track();
}

void TAssembler::GetURL2(bool loadTarget, bool loadVariables, uint8_t method) {
  E.GetURL2(loadTarget ? 1 : 0, loadVariables ? 1 : 0, method);
  Track();
}

TSWFActionDefineFunction& TAssembler::DefineFunction(std::string_view name,
                                                     std::span<const std::string> params) {
  auto& r = E.DefineFunction(name, params);
  Track();
  return r;
}

TSWFActionDefineFunction2& TAssembler::DefineFunction2(std::string_view name,
                                                       std::span<const std::string> params,
                                                       uint8_t registerCount) {
  auto& r = E.DefineFunction2(name, params, registerCount);
  Track();
  return r;
}

TSWFActionWith& TAssembler::With() {
  auto& r = E.With();
  Track();
  return r;
}

TSWFActionTry& TAssembler::Try() {
  auto& r = E.Try();
  Track();
  return r;
}

void TAssembler::EndBlock(TSWFBranchAction& record, size_t slot) {
  E.AddMarker(record, slot);
  Track();
}

// ---- labels ----------------------------------------------------------------------------------

TLabel TAssembler::NewLabel() {
  FLabels.emplace_back();
  return FLabels.size() - 1;
}

TLabel TAssembler::Here() {
  const TLabel label = NewLabel();
  FLabels[label].Backward = &E.AddMarker();
  FLabels[label].Bound = true;
  Track();
  return label;
}

void TAssembler::Bind(TLabel label) {
  // Every forward branch has a marker of its own: a marker patches one branch.
  std::vector<TSWFBranchAction*> pending = std::move(FLabels.at(label).Pending);
  for (TSWFBranchAction* branch : pending) E.AddMarker(*branch, 0);
  FLabels[label].Pending.clear();
  FLabels[label].Bound = true;
  Track();
}

void TAssembler::Branch(TSWFBranchAction& branch, TLabel label) {
  TLabelState& l = FLabels.at(label);
  if (!l.Bound) {
    l.Pending.push_back(&branch);
  } else if (l.Backward) {
    branch.SetMarker(l.Backward);
  } else {
    throw std::logic_error("a backward branch to a label without a marker");
  }
}

void TAssembler::Jump(TLabel label) {
  auto& j = E.Jump();
  Track();
  Branch(j, label);
}

void TAssembler::If(TLabel label) {
  auto& j = E.If();
  Track();
  Branch(j, label);
}

// ---- the final check -------------------------------------------------------------------------

size_t TAssembler::RecordBytes(TSWFAction& record, TBitsEngine& scratch, TSourcePos pos) const {
  const uint8_t code = record.ActionCode;
  if (code == kActionMarker) return 0;
  if (code == kActionByteCode) return record.RecordSize();
  if (code < 0x80) return 1;
  scratch.Stream.Clear();
  try {
    // A branch's copy has no markers and writes its stored numbers, which take the same room.
    if (IsBranchCode(code)) {
      auto copy = CreateActionByCode(code);
      copy->Assign(record);
      copy->WriteToStream(scratch);
    } else {
      // Writing sets nothing but the body length, which the real write sets the same way.
      record.WriteToStream(scratch);
    }
  } catch (const ESWFError& e) {
    Fail(pos, std::string(e.what()));
  }
  return scratch.Stream.Size();
}

void TAssembler::Finish() {
  for (const auto& l : FLabels)
    if (!l.Pending.empty()) throw std::logic_error("a branch to a label that was never bound");
  TSWFActionList& list = E.Actions();
  const size_t count = list.Count();
  Track();

  // Where every record starts, counted from the first one appended.
  std::vector<size_t> start(count - FBase + 1, 0);
  std::unordered_map<const TSWFAction*, size_t> markers;
  TMemoryStream scratchStream;
  TBitsEngine scratch(scratchStream);
  for (size_t i = FBase; i < count; ++i) {
    TSWFAction& r = list[i];
    const TSourcePos pos = FPositions[i - FBase];
    if (r.MinVersion() > FVersion) {
      const char* name = ActionCodeName(r.ActionCode);
      Fail(pos, "this needs the action " + std::string(name ? name : "?") + ", which Flash Player " +
                    std::to_string(r.MinVersion()) + " introduced; the script is compiled for "
                    "version " + std::to_string(FVersion));
    }
    if (r.ActionCode == kActionMarker) markers.emplace(&r, i);
    start[i - FBase + 1] = start[i - FBase] + RecordBytes(r, scratch, pos);
  }

  auto at = [&](const TSWFOffsetMarker* m) -> size_t {
    auto it = m ? markers.find(m) : markers.end();
    if (it == markers.end()) throw std::logic_error("a branch whose target is not in the script");
    return start[it->second - FBase];
  };
  for (size_t i = FBase; i < count; ++i) {
    const TSWFAction& r = list[i];
    const auto* branch = AsBranch(r);
    if (!branch) continue;
    const TSourcePos pos = FPositions[i - FBase];
    const auto end = static_cast<int64_t>(start[i - FBase + 1]);
    auto blockSize = [&](int64_t size, const char* what) {
      if (size < 0) throw std::logic_error("a block that ends before it starts");
      if (size > 0xFFFF)
        Fail(pos, std::string(what) + " is " + std::to_string(size) +
                      " bytes of code; the player takes at most 65535 there");
    };
    switch (r.ActionCode) {
      case 0x99:
      case 0x9D: {
        const int64_t d = static_cast<int64_t>(at(branch->FindMarker())) - end;
        if (d < INT16_MIN || d > INT16_MAX)
          Fail(pos, "this branch spans " + std::to_string(d < 0 ? -d : d) +
                        " bytes of code; a jump reaches at most 32767 bytes (move code into "
                        "functions)");
        break;
      }
      case 0x94:
        blockSize(static_cast<int64_t>(at(branch->FindMarker())) - end, "the with block");
        break;
      case 0x9B:
      case 0x8E:
        blockSize(static_cast<int64_t>(at(branch->FindMarker())) - end, "the function's body");
        break;
      case 0x8F: {
        const auto& t = static_cast<const TSWFActionTry&>(r);
        const auto tryEnd = static_cast<int64_t>(at(branch->FindMarker(TSWFActionTry::kTrySlot)));
        blockSize(tryEnd - end, "the try block");
        int64_t previous = tryEnd;
        if (t.HasCatch) {
          const auto catchEnd = static_cast<int64_t>(at(branch->FindMarker(TSWFActionTry::kCatchSlot)));
          blockSize(catchEnd - tryEnd, "the catch block");
          previous = catchEnd;
        }
        if (t.HasFinally) {
          const auto finallyEnd =
              static_cast<int64_t>(at(branch->FindMarker(TSWFActionTry::kFinallySlot)));
          blockSize(finallyEnd - previous, "the finally block");
        }
        break;
      }
      default: break;
    }
  }
}

}  // namespace tw::asc
