#include "swf/action_body_records.h"

#include "util/text.h"

namespace tw::swf {

// Reserved bits that are set make a body that would not be written back as it was; such a
// record is kept as raw bytes by the list reader.
static void CheckReserved(uint8_t bits) {
  if (bits) throw ESWFError("Reserved bits are set in an action record");
}

// ---- GotoFrame -------------------------------------------------------------------------------

void TSWFActionGotoFrame::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  Frame = SourceAs<TSWFActionGotoFrame>(source).Frame;
}
void TSWFActionGotoFrame::ReadActionBody(TBitsEngine& be) { Frame = be.ReadWord(); }
void TSWFActionGotoFrame::WriteActionBody(TBitsEngine& be) { be.WriteWord(Frame); }

// ---- GetUrl ----------------------------------------------------------------------------------

void TSWFActionGetUrl::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& s = SourceAs<TSWFActionGetUrl>(source);
  URL = s.URL;
  Target = s.Target;
}
void TSWFActionGetUrl::ReadActionBody(TBitsEngine& be) {
  URL = be.ReadString();
  // The URL is written as UTF-8. Bytes of another code page (movies before version 6) would be
  // converted and the copy would ask for another address: such a record stays raw bytes.
  if (!IsValidUtf8(URL)) throw ESWFError("The URL of a GetUrl record is not UTF-8");
  Target = be.ReadString();
}
void TSWFActionGetUrl::WriteActionBody(TBitsEngine& be) {
  be.WriteString(URL, true, true);
  be.WriteString(Target);
}

// ---- StoreRegister ---------------------------------------------------------------------------

void TSWFActionStoreRegister::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  RegisterNumber = SourceAs<TSWFActionStoreRegister>(source).RegisterNumber;
}
void TSWFActionStoreRegister::ReadActionBody(TBitsEngine& be) { RegisterNumber = be.ReadByte(); }
void TSWFActionStoreRegister::WriteActionBody(TBitsEngine& be) { be.WriteByte(RegisterNumber); }

// ---- WaitForFrame ----------------------------------------------------------------------------

void TSWFActionWaitForFrame::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& s = SourceAs<TSWFActionWaitForFrame>(source);
  Frame = s.Frame;
  SkipCount = s.SkipCount;
}
void TSWFActionWaitForFrame::ReadActionBody(TBitsEngine& be) {
  Frame = be.ReadWord();
  SkipCount = be.ReadByte();
}
void TSWFActionWaitForFrame::WriteActionBody(TBitsEngine& be) {
  be.WriteWord(Frame);
  be.WriteByte(SkipCount);
}

// ---- SetTarget, GoToLabel --------------------------------------------------------------------

void TSWFActionSetTarget::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  TargetName = SourceAs<TSWFActionSetTarget>(source).TargetName;
}
void TSWFActionSetTarget::ReadActionBody(TBitsEngine& be) { TargetName = be.ReadString(); }
void TSWFActionSetTarget::WriteActionBody(TBitsEngine& be) { be.WriteString(TargetName); }

void TSWFActionGoToLabel::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  Label = SourceAs<TSWFActionGoToLabel>(source).Label;
}
void TSWFActionGoToLabel::ReadActionBody(TBitsEngine& be) { Label = be.ReadString(); }
void TSWFActionGoToLabel::WriteActionBody(TBitsEngine& be) { be.WriteString(Label); }

// ---- WaitForFrame2 ---------------------------------------------------------------------------

void TSWFActionWaitForFrame2::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  SkipCount = SourceAs<TSWFActionWaitForFrame2>(source).SkipCount;
}
void TSWFActionWaitForFrame2::ReadActionBody(TBitsEngine& be) { SkipCount = be.ReadByte(); }
void TSWFActionWaitForFrame2::WriteActionBody(TBitsEngine& be) { be.WriteByte(SkipCount); }

// ---- GetURL2 ---------------------------------------------------------------------------------

void TSWFActionGetURL2::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& s = SourceAs<TSWFActionGetURL2>(source);
  LoadVariablesFlag = s.LoadVariablesFlag;
  LoadTargetFlag = s.LoadTargetFlag;
  Method = s.Method;
}
void TSWFActionGetURL2::ReadActionBody(TBitsEngine& be) {
  const uint8_t b = be.ReadByte();
  CheckReserved(b & 0x3C);
  LoadVariablesFlag = b & 0x80;
  LoadTargetFlag = b & 0x40;
  Method = b & 0x03;
}
void TSWFActionGetURL2::WriteActionBody(TBitsEngine& be) {
  be.WriteByte(static_cast<uint8_t>((LoadVariablesFlag ? 0x80 : 0) | (LoadTargetFlag ? 0x40 : 0) |
                                    (Method & 0x03)));
}

// ---- GotoFrame2 ------------------------------------------------------------------------------

void TSWFActionGotoFrame2::Assign(const TSWFAction& source) {
  TSWFAction::Assign(source);
  const auto& s = SourceAs<TSWFActionGotoFrame2>(source);
  PlayFlag = s.PlayFlag;
  SceneBiasFlag = s.SceneBiasFlag;
  SceneBias = s.SceneBias;
}
void TSWFActionGotoFrame2::ReadActionBody(TBitsEngine& be) {
  const uint8_t b = be.ReadByte();
  CheckReserved(b & 0xFC);
  SceneBiasFlag = b & 0x02;
  PlayFlag = b & 0x01;
  if (SceneBiasFlag) SceneBias = be.ReadWord();
}
void TSWFActionGotoFrame2::WriteActionBody(TBitsEngine& be) {
  be.WriteByte(static_cast<uint8_t>((SceneBiasFlag ? 0x02 : 0) | (PlayFlag ? 0x01 : 0)));
  if (SceneBiasFlag) be.WriteWord(SceneBias);
}

}  // namespace tw::swf
