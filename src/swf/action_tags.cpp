#include "swf/action_tags.h"

#include <algorithm>

#include "swf/display_tags.h"

namespace tw::swf {

void TSWFDoAction::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDoAction>(source);
  ParseActions = s.ParseActions;
  EndCode = s.EndCode;
  if (s.FActions == FActions) return;
  FActions->Clear();
  FPending = s.FPending;
  if (FPending) {  // an undecoded source stays undecoded in its copy
    FBody = s.FBody;
    FBodyParsed = s.FBodyParsed;
    FBodyEndCode = s.FBodyEndCode;
    return;
  }
  FBody.clear();
  CopyActionList(*s.FActions, *FActions);
}

int TSWFDoAction::MinVersion() const { return std::max(3, Actions().MinVersion()); }

void TSWFDoAction::SetReadContext(const TSWFReadContext& context) {
  ParseActions = context.ParseActions;
}

void TSWFDoAction::ReadActions(TBitsEngine& be) {
  FActions->Clear();
  const auto bytes = be.ReadBytes(be.Stream.Remaining());
  FBody.assign(bytes.begin(), bytes.end());
  FBodyParsed = ParseActions;
  FBodyEndCode = EndCode = TagActionsEndCode(bytes, ParseActions);
  FPending = true;
}

void TSWFDoAction::Decode() const {
  FPending = false;
  const std::vector<uint8_t> body = std::move(FBody);
  FBody = {};
  if (FBodyParsed) {
    ReadTagActions(body, *FActions, true);
  } else {
    FActions->Add(RawActions(body));  // without its final End code, which EndCode keeps
  }
}

void TSWFDoAction::ReadFromStream(TBitsEngine& be) { ReadActions(be); }

void TSWFDoAction::WriteTagBody(TBitsEngine& be) {
  if (FPending && EndCode == FBodyEndCode) {
    be.FlushBits(true);
    be.WriteBytes(FBody);
    return;
  }
  WriteTagActions(be, Actions(), EndCode);
}

void TSWFDoAction::Describe(TSWFFields& f) const {
  size_t records = 0;
  for (const auto& a : Actions()) records += a->ActionCode != kActionMarker;
  const bool raw = records == 1 && Actions().Count() == 1 && Actions()[0].ActionCode == kActionByteCode;
  if (raw) {
    f.emplace_back("raw", std::to_string(Actions()[0].RecordSize()) + " bytes");
  } else {
    f.emplace_back("records", std::to_string(records));
  }
}

// ---- DoInitAction ----------------------------------------------------------------------------

void TSWFDoInitAction::Assign(const TBasedSWFObject& source) {
  TSWFDoAction::Assign(source);
  SpriteID = SourceAs<TSWFDoInitAction>(source).SpriteID;
}

void TSWFDoInitAction::ReadFromStream(TBitsEngine& be) {
  SpriteID = be.ReadWord();
  ReadActions(be);
}

void TSWFDoInitAction::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(SpriteID);
  TSWFDoAction::WriteTagBody(be);
}

void TSWFDoInitAction::Describe(TSWFFields& f) const {
  f.emplace_back("sprite", std::to_string(SpriteID));
  TSWFDoAction::Describe(f);
}

}  // namespace tw::swf
