// The assembler between the code generator and the emitter: pushes through the script's
// constant pool, labels that become offset markers (a forward branch gets its own marker, a
// backward target one shared marker), the source position of every record, and the final check
// that every branch reaches its target and every record fits its version and its length fields.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "asc/emitter.h"
#include "asc/source.h"

namespace tw::asc {

using TLabel = size_t;

class TAssembler {
 public:
  // Messages name the source of each position.
  TAssembler(TEmitter& target, int version, TSourceNames sources);

  int Version() const { return FVersion; }
  [[noreturn]] void Fail(TSourcePos pos, std::string message) const;

  // The records appended from now on stem from this place in the source.
  void At(TSourcePos pos) { FPos = pos; }
  TSourcePos Pos() const { return FPos; }

  // The script's one constant pool; strings pushed later refer to it when they are in it.
  void ConstantPool(std::vector<std::string> strings);

  void PushString(std::string_view s);
  // Every string pushed so far with the number of its pushes, in order of first use.
  const std::vector<std::pair<std::string, size_t>>& StringUses() const { return FStringUses; }
  void PushNumber(double v);
  void PushBool(bool v);
  void PushNull();
  void PushUndefined();
  void PushRegister(uint8_t r);

  void Op(TOp op);
  void StoreRegister(uint8_t r);
  void GotoFrame(uint16_t frame);
  void GotoFrame2(bool play);
  void GoToLabel(std::string_view label);
  void SetTarget(std::string_view target);
  void GetURL(std::string_view url, std::string_view target);
  void GetURL2(bool loadTarget, bool loadVariables, uint8_t method);
  swf::TSWFActionDefineFunction& DefineFunction(std::string_view name,
                                                std::span<const std::string> params);
  swf::TSWFActionDefineFunction2& DefineFunction2(std::string_view name,
                                                  std::span<const std::string> params,
                                                  uint8_t registerCount);
  // ifFrameLoaded: the frame's record (the frame from 0, or from the stack), and the end of its
  // body, which sets how many records the record skips.
  swf::TSWFAction& WaitForFrame(uint16_t frame);
  swf::TSWFAction& WaitForFrame2();
  void EndWaitForFrame(swf::TSWFAction& record);
  swf::TSWFActionWith& With();
  swf::TSWFActionTry& Try();
  // Ends a block of a function, With or Try record: the record's marker of the slot goes here.
  void EndBlock(swf::TSWFBranchAction& record, size_t slot = 0);

  // A label for forward branches, bound later.
  TLabel NewLabel();
  // A label bound here, for branches that come later (a loop's head).
  TLabel Here();
  void Bind(TLabel label);
  void Jump(TLabel label);
  void If(TLabel label);

  // Checks what was appended: every record within its version and length fields, every branch
  // within reach of its target. Throws ECompileError at the source of the first that is not.
  void Finish();

 private:
  struct TLabelState {
    bool Bound = false;
    swf::TSWFOffsetMarker* Backward = nullptr;      // the shared marker of a bound label
    std::vector<swf::TSWFBranchAction*> Pending;    // forward branches waiting for Bind
  };

  void Branch(swf::TSWFBranchAction& branch, TLabel label);
  void Track();
  void BeforePush(size_t bytes);
  void AfterPush(const swf::TSWFActionPush& push, size_t bytes);
  size_t RecordBytes(swf::TSWFAction& record, swf::TBitsEngine& scratch, TSourcePos pos) const;

  TEmitter& E;
  const int FVersion;
  TSourceNames FSources;
  TSourcePos FPos;
  const size_t FBase;                    // records before this index were there before
  std::vector<TSourcePos> FPositions;    // of the records from FBase on
  std::unordered_map<std::string, uint16_t> FPool;
  std::unordered_map<std::string, size_t> FStringIndex;
  std::vector<std::pair<std::string, size_t>> FStringUses;
  std::vector<TLabelState> FLabels;
  const swf::TSWFAction* FLastPush = nullptr;
  size_t FPushBytes = 0;
};

}  // namespace tw::asc
