#include "swf/action_branches.h"

namespace tw::swf {

// ---- Jump, If --------------------------------------------------------------------------------

void TSWFActionJump::Assign(const TSWFAction& source) {
  TSWFBranchAction::Assign(source);
  FBranchOffset = SourceAs<TSWFActionJump>(source).FBranchOffset;
}

void TSWFActionJump::ReadActionBody(TBitsEngine& be) {
  SetBranchOffset(static_cast<int16_t>(be.ReadWord()));
}

void TSWFActionJump::WriteActionBody(TBitsEngine& be) {
  WriteBranchNumber(be, 0, FBranchOffset, true);
}

// ---- With ------------------------------------------------------------------------------------

void TSWFActionWith::Assign(const TSWFAction& source) {
  TSWFBranchAction::Assign(source);
  FBlockSize = SourceAs<TSWFActionWith>(source).FBlockSize;
}

void TSWFActionWith::ReadActionBody(TBitsEngine& be) { SetBlockSize(be.ReadWord()); }

void TSWFActionWith::WriteActionBody(TBitsEngine& be) {
  WriteBranchNumber(be, 0, FBlockSize, false);
}

// ---- Try -------------------------------------------------------------------------------------

std::unique_ptr<TSWFOffsetMarker> TSWFActionTry::NewMarker() const {
  return std::make_unique<TSWFTryOffsetMarker>();
}

TSWFTryOffsetMarker& TSWFActionTry::BlockMarker(size_t slot) {
  if (auto* m = dynamic_cast<TSWFTryOffsetMarker*>(FindMarker(slot))) return *m;
  // A plain marker set into the slot cannot chain the blocks; it gives way to a block marker.
  SetMarker(nullptr, slot);
  return static_cast<TSWFTryOffsetMarker&>(Marker(slot));
}

void TSWFActionTry::Assign(const TSWFAction& source) {
  TSWFBranchAction::Assign(source);
  const auto& s = SourceAs<TSWFActionTry>(source);
  CatchInRegister = s.CatchInRegister;
  HasFinally = s.HasFinally;
  HasCatch = s.HasCatch;
  CatchRegister = s.CatchRegister;
  CatchName = s.CatchName;
  FTrySize = s.FTrySize;
  FCatchSize = s.FCatchSize;
  FFinallySize = s.FFinallySize;
}

void TSWFActionTry::ReadActionBody(TBitsEngine& be) {
  const uint8_t flags = be.ReadByte();
  if (flags & 0xF8) throw ESWFError("Reserved bits are set in an action record");
  CatchInRegister = flags & 0x04;
  HasFinally = flags & 0x02;
  HasCatch = flags & 0x01;
  SetTrySize(be.ReadWord());
  SetCatchSize(be.ReadWord());
  SetFinallySize(be.ReadWord());
  if (CatchInRegister) CatchRegister = be.ReadByte();
  else CatchName = be.ReadString();
}

void TSWFActionTry::WriteActionBody(TBitsEngine& be) {
  be.WriteByte(static_cast<uint8_t>((CatchInRegister ? 0x04 : 0) | (HasFinally ? 0x02 : 0) |
                                    (HasCatch ? 0x01 : 0)));
  // The sizes come from the markers only when every block present has a usable one.
  TSWFTryOffsetMarker* markers[3] = {};
  bool fromMarkers = !StaticOffset;
  const bool present[3] = {true, HasCatch, HasFinally};
  for (size_t slot = 0; slot < 3 && fromMarkers; ++slot) {
    if (!present[slot]) continue;
    markers[slot] = dynamic_cast<TSWFTryOffsetMarker*>(UsableMarker(slot));
    fromMarkers = markers[slot] != nullptr;
  }
  if (!fromMarkers) {
    be.WriteWord(FTrySize);
    be.WriteWord(FCatchSize);
    be.WriteWord(FFinallySize);
  } else {
    // The try block counts from the end of this record, each later block from the end of the
    // block before it.
    const size_t nameSize = CatchInRegister ? 1 : CatchName.size() + 1;
    const size_t recordEnd = be.Stream.Position() + 6 + nameSize;
    TSWFTryOffsetMarker* previous = nullptr;
    for (size_t slot = 0; slot < 3; ++slot) {
      TSWFTryOffsetMarker* m = markers[slot];
      const size_t p = be.Stream.Position();
      if (m) {
        m->Backward = false;
        m->PreviousMarker = previous;
        m->BlockEnd = TSWFTryOffsetMarker::kNotWritten;
        m->TakeField(p, recordEnd, 2, 0, UINT16_MAX);
        previous = m;
      }
      be.WriteWord(0);  // a placeholder, or the size of an absent block
    }
  }
  if (CatchInRegister) be.WriteByte(CatchRegister);
  else be.WriteString(CatchName);
}

}  // namespace tw::swf
