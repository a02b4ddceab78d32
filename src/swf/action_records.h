// The action records without fields: one class per code, each fixing its code and version.
#pragma once

#include "swf/actions.h"

namespace tw::swf {

class TSWFActionNextFrame : public TSWFActionOf<0x04, TSWFAction> {};
class TSWFActionPreviousFrame : public TSWFActionOf<0x05, TSWFAction> {};
class TSWFActionPlay : public TSWFActionOf<0x06, TSWFAction> {};
class TSWFActionStop : public TSWFActionOf<0x07, TSWFAction> {};
class TSWFActionToggleQuality : public TSWFActionOf<0x08, TSWFAction> {};
class TSWFActionStopSounds : public TSWFActionOf<0x09, TSWFAction> {};
class TSWFActionAdd : public TSWFActionOf<0x0A, TSWFAction4> {};
class TSWFActionSubtract : public TSWFActionOf<0x0B, TSWFAction4> {};
class TSWFActionMultiply : public TSWFActionOf<0x0C, TSWFAction4> {};
class TSWFActionDivide : public TSWFActionOf<0x0D, TSWFAction4> {};
class TSWFActionEquals : public TSWFActionOf<0x0E, TSWFAction4> {};
class TSWFActionLess : public TSWFActionOf<0x0F, TSWFAction4> {};
class TSWFActionAnd : public TSWFActionOf<0x10, TSWFAction4> {};
class TSWFActionOr : public TSWFActionOf<0x11, TSWFAction4> {};
class TSWFActionNot : public TSWFActionOf<0x12, TSWFAction4> {};
class TSWFActionStringEquals : public TSWFActionOf<0x13, TSWFAction4> {};
class TSWFActionStringLength : public TSWFActionOf<0x14, TSWFAction4> {};
class TSWFActionStringExtract : public TSWFActionOf<0x15, TSWFAction4> {};
class TSWFActionPop : public TSWFActionOf<0x17, TSWFAction4> {};
class TSWFActionToInteger : public TSWFActionOf<0x18, TSWFAction4> {};
class TSWFActionGetVariable : public TSWFActionOf<0x1C, TSWFAction4> {};
class TSWFActionSetVariable : public TSWFActionOf<0x1D, TSWFAction4> {};
class TSWFActionSetTarget2 : public TSWFActionOf<0x20, TSWFAction4> {};
class TSWFActionStringAdd : public TSWFActionOf<0x21, TSWFAction4> {};
class TSWFActionGetProperty : public TSWFActionOf<0x22, TSWFAction4> {};
class TSWFActionSetProperty : public TSWFActionOf<0x23, TSWFAction4> {};
class TSWFActionCloneSprite : public TSWFActionOf<0x24, TSWFAction4> {};
class TSWFActionRemoveSprite : public TSWFActionOf<0x25, TSWFAction4> {};
class TSWFActionTrace : public TSWFActionOf<0x26, TSWFAction4> {};
class TSWFActionStartDrag : public TSWFActionOf<0x27, TSWFAction4> {};
class TSWFActionEndDrag : public TSWFActionOf<0x28, TSWFAction4> {};
class TSWFActionStringLess : public TSWFActionOf<0x29, TSWFAction4> {};
class TSWFActionThrow : public TSWFActionOf<0x2A, TSWFAction7> {};
class TSWFActionCastOp : public TSWFActionOf<0x2B, TSWFAction7> {};
class TSWFActionImplementsOp : public TSWFActionOf<0x2C, TSWFAction7> {};
class TSWFActionFSCommand2 : public TSWFActionOf<0x2D, TSWFAction4> {};
class TSWFActionRandomNumber : public TSWFActionOf<0x30, TSWFAction4> {};
class TSWFActionMBStringLength : public TSWFActionOf<0x31, TSWFAction4> {};
class TSWFActionCharToAscii : public TSWFActionOf<0x32, TSWFAction4> {};
class TSWFActionAsciiToChar : public TSWFActionOf<0x33, TSWFAction4> {};
class TSWFActionGetTime : public TSWFActionOf<0x34, TSWFAction4> {};
class TSWFActionMBStringExtract : public TSWFActionOf<0x35, TSWFAction4> {};
class TSWFActionMBCharToAscii : public TSWFActionOf<0x36, TSWFAction4> {};
class TSWFActionMBAsciiToChar : public TSWFActionOf<0x37, TSWFAction4> {};
class TSWFActionDelete : public TSWFActionOf<0x3A, TSWFAction5> {};
class TSWFActionDelete2 : public TSWFActionOf<0x3B, TSWFAction5> {};
class TSWFActionDefineLocal : public TSWFActionOf<0x3C, TSWFAction5> {};
class TSWFActionCallFunction : public TSWFActionOf<0x3D, TSWFAction5> {};
class TSWFActionReturn : public TSWFActionOf<0x3E, TSWFAction5> {};
class TSWFActionModulo : public TSWFActionOf<0x3F, TSWFAction5> {};
class TSWFActionNewObject : public TSWFActionOf<0x40, TSWFAction5> {};
class TSWFActionDefineLocal2 : public TSWFActionOf<0x41, TSWFAction5> {};
class TSWFActionInitArray : public TSWFActionOf<0x42, TSWFAction5> {};
class TSWFActionInitObject : public TSWFActionOf<0x43, TSWFAction5> {};
class TSWFActionTypeOf : public TSWFActionOf<0x44, TSWFAction5> {};
class TSWFActionTargetPath : public TSWFActionOf<0x45, TSWFAction5> {};
class TSWFActionEnumerate : public TSWFActionOf<0x46, TSWFAction5> {};
class TSWFActionAdd2 : public TSWFActionOf<0x47, TSWFAction5> {};
class TSWFActionLess2 : public TSWFActionOf<0x48, TSWFAction5> {};
class TSWFActionEquals2 : public TSWFActionOf<0x49, TSWFAction5> {};
class TSWFActionToNumber : public TSWFActionOf<0x4A, TSWFAction5> {};
class TSWFActionToString : public TSWFActionOf<0x4B, TSWFAction5> {};
class TSWFActionPushDuplicate : public TSWFActionOf<0x4C, TSWFAction5> {};
class TSWFActionStackSwap : public TSWFActionOf<0x4D, TSWFAction5> {};
class TSWFActionGetMember : public TSWFActionOf<0x4E, TSWFAction5> {};
class TSWFActionSetMember : public TSWFActionOf<0x4F, TSWFAction5> {};
class TSWFActionIncrement : public TSWFActionOf<0x50, TSWFAction5> {};
class TSWFActionDecrement : public TSWFActionOf<0x51, TSWFAction5> {};
class TSWFActionCallMethod : public TSWFActionOf<0x52, TSWFAction5> {};
class TSWFActionNewMethod : public TSWFActionOf<0x53, TSWFAction5> {};
class TSWFActionInstanceOf : public TSWFActionOf<0x54, TSWFAction6> {};
class TSWFActionEnumerate2 : public TSWFActionOf<0x55, TSWFAction6> {};
class TSWFActionBitAnd : public TSWFActionOf<0x60, TSWFAction5> {};
class TSWFActionBitOr : public TSWFActionOf<0x61, TSWFAction5> {};
class TSWFActionBitXor : public TSWFActionOf<0x62, TSWFAction5> {};
class TSWFActionBitLShift : public TSWFActionOf<0x63, TSWFAction5> {};
class TSWFActionBitRShift : public TSWFActionOf<0x64, TSWFAction5> {};
class TSWFActionBitURShift : public TSWFActionOf<0x65, TSWFAction5> {};
class TSWFActionStrictEquals : public TSWFActionOf<0x66, TSWFAction6> {};
class TSWFActionGreater : public TSWFActionOf<0x67, TSWFAction6> {};
class TSWFActionStringGreater : public TSWFActionOf<0x68, TSWFAction6> {};
class TSWFActionExtends : public TSWFActionOf<0x69, TSWFAction7> {};
// A code of 0x80 and above with an empty body: written as the code and the length 0.
class TSWFActionCall : public TSWFActionOf<0x9E, TSWFAction4> {};

}  // namespace tw::swf
