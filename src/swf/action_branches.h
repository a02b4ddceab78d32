// The branch records of the code: Jump, If, With and Try. Their numbers are either stored
// (StaticOffset) or computed from their markers when written; see TSWFBranchAction.
#pragma once

#include <string>

#include "swf/actions.h"

namespace tw::swf {

// BranchOffset counts from the end of the record; negative jumps back.
class TSWFActionJump : public TSWFBranchAction {
 public:
  TSWFActionJump() : TSWFActionJump(0x99) {}

  int16_t BranchOffset() const { return FBranchOffset; }
  void SetBranchOffset(int16_t value) {
    FBranchOffset = value;
    StaticOffset = true;
  }

  void Assign(const TSWFAction& source) override;
  int MinVersion() const override { return 4; }
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;

 protected:
  explicit TSWFActionJump(uint8_t code) : TSWFBranchAction(code, 1) {}

 private:
  int16_t FBranchOffset = 0;
};

// Jumps when the value taken from the stack is true.
class TSWFActionIf : public TSWFActionJump {
 public:
  TSWFActionIf() : TSWFActionJump(0x9D) {}
};

// BlockSize: the bytes of the block that follows the record.
class TSWFActionWith : public TSWFBranchAction {
 public:
  TSWFActionWith() : TSWFBranchAction(0x94, 1) {}

  uint16_t BlockSize() const { return FBlockSize; }
  void SetBlockSize(uint16_t value) {
    FBlockSize = value;
    StaticOffset = true;
  }

  void Assign(const TSWFAction& source) override;
  int MinVersion() const override { return 5; }
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;

 private:
  uint16_t FBlockSize = 0;
};

// The try block follows the record, then the catch block and the finally block when present.
// With markers, the try marker is placed after the try block, the catch marker after the catch
// block and the finally marker after the finally block.
class TSWFActionTry : public TSWFBranchAction {
 public:
  static constexpr size_t kTrySlot = 0, kCatchSlot = 1, kFinallySlot = 2;

  TSWFActionTry() : TSWFBranchAction(0x8F, 3) {}

  bool CatchInRegister = false;
  bool HasFinally = false;
  bool HasCatch = false;
  uint8_t CatchRegister = 0;  // when CatchInRegister
  std::string CatchName;      // otherwise

  uint16_t TrySize() const { return FTrySize; }
  uint16_t CatchSize() const { return FCatchSize; }
  uint16_t FinallySize() const { return FFinallySize; }
  void SetTrySize(uint16_t value) { FTrySize = value; StaticOffset = true; }
  void SetCatchSize(uint16_t value) { FCatchSize = value; StaticOffset = true; }
  void SetFinallySize(uint16_t value) { FFinallySize = value; StaticOffset = true; }

  // Created on first access.
  TSWFTryOffsetMarker& TryMarker() { return BlockMarker(kTrySlot); }
  TSWFTryOffsetMarker& CatchMarker() { return BlockMarker(kCatchSlot); }
  TSWFTryOffsetMarker& FinallyMarker() { return BlockMarker(kFinallySlot); }

  void Assign(const TSWFAction& source) override;
  int MinVersion() const override { return 7; }
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;

 protected:
  std::unique_ptr<TSWFOffsetMarker> NewMarker() const override;

 private:
  TSWFTryOffsetMarker& BlockMarker(size_t slot);
  uint16_t FTrySize = 0, FCatchSize = 0, FFinallySize = 0;
};

}  // namespace tw::swf
