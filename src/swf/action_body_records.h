// The action records with small fixed bodies: GotoFrame, GetUrl, StoreRegister, WaitForFrame,
// SetTarget, GoToLabel, WaitForFrame2, GetURL2 and GotoFrame2.
#pragma once

#include <string>

#include "swf/actions.h"

namespace tw::swf {

class TSWFActionGotoFrame : public TSWFAction {
 public:
  TSWFActionGotoFrame() : TSWFAction(0x81) {}
  uint16_t Frame = 0;
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionGetUrl : public TSWFAction {
 public:
  TSWFActionGetUrl() : TSWFAction(0x83) {}
  std::string URL;     // written as UTF-8
  std::string Target;  // written as stored
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionStoreRegister : public TSWFAction5 {
 public:
  TSWFActionStoreRegister() : TSWFAction5(0x87) {}
  uint8_t RegisterNumber = 0;
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionWaitForFrame : public TSWFAction {
 public:
  TSWFActionWaitForFrame() : TSWFAction(0x8A) {}
  uint16_t Frame = 0;
  uint8_t SkipCount = 0;  // records to skip while the frame is not loaded
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionSetTarget : public TSWFAction {
 public:
  TSWFActionSetTarget() : TSWFAction(0x8B) {}
  std::string TargetName;
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionGoToLabel : public TSWFAction {
 public:
  TSWFActionGoToLabel() : TSWFAction(0x8C) {}
  std::string Label;
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

// The frame comes from the stack; the body holds the number of records to skip while it is not
// loaded. Dropping that byte would change the length of the list and with it every branch
// across the record, so it is kept.
class TSWFActionWaitForFrame2 : public TSWFAction4 {
 public:
  TSWFActionWaitForFrame2() : TSWFAction4(0x8D) {}
  uint8_t SkipCount = 0;
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionGetURL2 : public TSWFAction4 {
 public:
  TSWFActionGetURL2() : TSWFAction4(0x9A) {}
  bool LoadVariablesFlag = false;
  bool LoadTargetFlag = false;
  uint8_t Method = 0;  // 0 none, 1 GET, 2 POST
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

class TSWFActionGotoFrame2 : public TSWFAction4 {
 public:
  TSWFActionGotoFrame2() : TSWFAction4(0x9F) {}
  bool PlayFlag = false;
  bool SceneBiasFlag = false;  // SceneBias follows in the body
  uint16_t SceneBias = 0;
  void Assign(const TSWFAction& source) override;
  void ReadActionBody(TBitsEngine& be) override;
  void WriteActionBody(TBitsEngine& be) override;
};

}  // namespace tw::swf
