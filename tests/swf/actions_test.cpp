// Action records: the code table, each record family against exact bytes, push values, and
// reading and writing whole lists.
#include <cxxabi.h>

#include <cmath>
#include <functional>
#include <set>
#include <sstream>

#include "support/action_testing.h"
#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "swf/action_records.h"

namespace tw::test {
namespace {
using namespace tw::swf;

std::string ClassName(const TSWFAction& a) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(typeid(a).name(), nullptr, nullptr, &status), std::free);
  std::string s = status == 0 && name ? name.get() : typeid(a).name();
  return s.substr(s.rfind("::") + 2);
}

// The code table of the action records as the format defines it: code, name, version.
constexpr const char* kCodeTable =
    "04 NextFrame 3, 05 PreviousFrame 3, 06 Play 3, 07 Stop 3, 08 ToggleQuality 3, "
    "09 StopSounds 3, 0A Add 4, 0B Subtract 4, 0C Multiply 4, 0D Divide 4, 0E Equals 4, "
    "0F Less 4, 10 And 4, 11 Or 4, 12 Not 4, 13 StringEquals 4, 14 StringLength 4, "
    "15 StringExtract 4, 17 Pop 4, 18 ToInteger 4, 1C GetVariable 4, 1D SetVariable 4, "
    "20 SetTarget2 4, 21 StringAdd 4, 22 GetProperty 4, 23 SetProperty 4, 24 CloneSprite 4, "
    "25 RemoveSprite 4, 26 Trace 4, 27 StartDrag 4, 28 EndDrag 4, 29 StringLess 4, 2A Throw 7, "
    "2B CastOp 7, 2C ImplementsOp 7, 2D FSCommand2 4, 30 RandomNumber 4, 31 MBStringLength 4, "
    "32 CharToAscii 4, 33 AsciiToChar 4, 34 GetTime 4, 35 MBStringExtract 4, "
    "36 MBCharToAscii 4, 37 MBAsciiToChar 4, 3A Delete 5, 3B Delete2 5, 3C DefineLocal 5, "
    "3D CallFunction 5, 3E Return 5, 3F Modulo 5, 40 NewObject 5, 41 DefineLocal2 5, "
    "42 InitArray 5, 43 InitObject 5, 44 TypeOf 5, 45 TargetPath 5, 46 Enumerate 5, 47 Add2 5, "
    "48 Less2 5, 49 Equals2 5, 4A ToNumber 5, 4B ToString 5, 4C PushDuplicate 5, "
    "4D StackSwap 5, 4E GetMember 5, 4F SetMember 5, 50 Increment 5, 51 Decrement 5, "
    "52 CallMethod 5, 53 NewMethod 5, 54 InstanceOf 6, 55 Enumerate2 6, 60 BitAnd 5, "
    "61 BitOr 5, 62 BitXor 5, 63 BitLShift 5, 64 BitRShift 5, 65 BitURShift 5, "
    "66 StrictEquals 6, 67 Greater 6, 68 StringGreater 6, 69 Extends 7, 81 GotoFrame 3, "
    "83 GetUrl 3, 87 StoreRegister 5, 88 ConstantPool 5, 8A WaitForFrame 3, 8B SetTarget 3, "
    "8C GoToLabel 3, 8D WaitForFrame2 4, 8E DefineFunction2 7, 8F Try 7, 94 With 5, 96 Push 4, "
    "99 Jump 4, 9A GetURL2 4, 9B DefineFunction 5, 9D If 4, 9E Call 4, 9F GotoFrame2 4";

TEST(ActionFactory, MapsEveryCodeOfTheTableAndNoOther) {
  std::set<int> codes;
  std::istringstream table(kCodeTable);
  std::string entry;
  while (std::getline(table, entry, ',')) {
    std::istringstream fields(entry);
    std::string hex, name;
    int version = 0;
    fields >> hex >> name >> version;
    const int code = std::stoi(hex, nullptr, 16);
    SCOPED_TRACE(name);
    codes.insert(code);
    auto a = CreateActionByCode(static_cast<uint8_t>(code));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ActionCode, code);
    EXPECT_EQ(ClassName(*a), "TSWFAction" + name);
    EXPECT_STREQ(ActionCodeName(static_cast<uint8_t>(code)), name.c_str());
    EXPECT_EQ(a->MinVersion(), version);
    // A new record occupies its code, and for codes from 0x80 on an empty length.
    EXPECT_EQ(a->RecordSize(), code < 0x80 ? 1u : 3u);
  }
  EXPECT_EQ(codes.size(), 100u);
  auto raw = CreateActionByCode(254);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(ClassName(*raw), "TSWFActionByteCode");
  EXPECT_EQ(raw->MinVersion(), 4);
  auto marker = CreateActionByCode(255);
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(ClassName(*marker), "TSWFOffsetMarker");
  EXPECT_EQ(marker->RecordSize(), 0u);
  for (int code = 0; code < 254; ++code)
    if (!codes.contains(code)) {
      EXPECT_EQ(CreateActionByCode(static_cast<uint8_t>(code)), nullptr) << code;
    }
}

// ---- records with bodies ---------------------------------------------------------------------

struct RecordCase {
  const char* name;
  const char* bytes;  // the whole record
  std::function<void(const TSWFAction&)> check;
};

template <class T>
const T& As(const TSWFAction& a) {
  return dynamic_cast<const T&>(a);
}

TEST(ActionRecords, ReadAndWriteEachFamilyExactly) {
  const RecordCase cases[] = {
      {"GotoFrame", "81 02 00 05 00",
       [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionGotoFrame>(a).Frame, 5); }},
      {"GetUrl with a target", "83 0A 00 61 2E 73 77 66 00 5F 6C 31 00",
       [](const TSWFAction& a) {
         EXPECT_EQ(As<TSWFActionGetUrl>(a).URL, "a.swf");
         EXPECT_EQ(As<TSWFActionGetUrl>(a).Target, "_l1");
       }},
      {"GetUrl with UTF-8 text", "83 06 00 C3 A9 2E 61 00 00",
       [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionGetUrl>(a).URL, "\xC3\xA9.a"); }},
      {"StoreRegister", "87 01 00 03",
       [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionStoreRegister>(a).RegisterNumber, 3); }},
      {"ConstantPool", "88 07 00 02 00 61 00 62 63 00",
       [](const TSWFAction& a) {
         EXPECT_EQ(As<TSWFActionConstantPool>(a).Constants, (std::vector<std::string>{"a", "bc"}));
       }},
      {"ConstantPool keeps bytes that are not UTF-8", "88 04 00 01 00 E9 00",
       [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionConstantPool>(a).Constants[0], "\xE9"); }},
      {"WaitForFrame", "8A 03 00 07 00 02",
       [](const TSWFAction& a) {
         EXPECT_EQ(As<TSWFActionWaitForFrame>(a).Frame, 7);
         EXPECT_EQ(As<TSWFActionWaitForFrame>(a).SkipCount, 2);
       }},
      {"SetTarget", "8B 04 00 5F 6D 63 00",
       [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionSetTarget>(a).TargetName, "_mc"); }},
      {"GoToLabel", "8C 03 00 6C 31 00",
       [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionGoToLabel>(a).Label, "l1"); }},
      {"WaitForFrame2 keeps its skip count", "8D 01 00 04",
       [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionWaitForFrame2>(a).SkipCount, 4); }},
      {"GetURL2 POST, load target and variables", "9A 01 00 C2",
       [](const TSWFAction& a) {
         const auto& r = As<TSWFActionGetURL2>(a);
         EXPECT_TRUE(r.LoadVariablesFlag);
         EXPECT_TRUE(r.LoadTargetFlag);
         EXPECT_EQ(r.Method, 2);
       }},
      {"GotoFrame2 play", "9F 01 00 01",
       [](const TSWFAction& a) {
         EXPECT_TRUE(As<TSWFActionGotoFrame2>(a).PlayFlag);
         EXPECT_FALSE(As<TSWFActionGotoFrame2>(a).SceneBiasFlag);
       }},
      {"GotoFrame2 with a scene bias", "9F 03 00 02 02 01",
       [](const TSWFAction& a) {
         EXPECT_FALSE(As<TSWFActionGotoFrame2>(a).PlayFlag);
         EXPECT_TRUE(As<TSWFActionGotoFrame2>(a).SceneBiasFlag);
         EXPECT_EQ(As<TSWFActionGotoFrame2>(a).SceneBias, 0x0102);
       }},
      {"Call has an empty body", "9E 00 00", [](const TSWFAction& a) { EXPECT_EQ(a.ActionCode, 0x9E); }},
      {"Push of every type",
       // "a", float 1.5, null, undefined, register 1, true, double 0.1 (high half first),
       // int -2, constant 5, constant 300
       "96 21 00  00 61 00  01 00 00 C0 3F  02  03  04 01  05 01  06 99 99 B9 3F 9A 99 99 99 "
       "07 FE FF FF FF  08 05  09 2C 01",
       [](const TSWFAction& a) {
         const auto& v = As<TSWFActionPush>(a).Values;
         ASSERT_EQ(v.size(), 10u);
         const uint8_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
         for (size_t i = 0; i < 10; ++i) EXPECT_EQ(v[i].ValueType, types[i]) << i;
         EXPECT_EQ(std::get<std::string>(v[0].Value), "a");
         EXPECT_EQ(std::get<float>(v[1].Value), 1.5f);
         EXPECT_EQ(std::get<std::string>(v[2].Value), "null");
         EXPECT_EQ(std::get<std::string>(v[3].Value), "undefined");
         EXPECT_EQ(std::get<int64_t>(v[4].Value), 1);
         EXPECT_EQ(std::get<int64_t>(v[5].Value), 1);
         EXPECT_EQ(std::get<double>(v[6].Value), 0.1);
         EXPECT_EQ(std::get<int64_t>(v[7].Value), -2);
         EXPECT_EQ(std::get<int64_t>(v[8].Value), 5);
         EXPECT_EQ(std::get<int64_t>(v[9].Value), 300);
         EXPECT_EQ(a.MinVersion(), 5);
       }},
      {"Push of strings and floats needs version 4", "96 08 00 00 61 00 01 00 00 80 3F",
       [](const TSWFAction& a) { EXPECT_EQ(a.MinVersion(), 4); }},
      {"Push keeps a boolean byte that is neither 0 nor 1", "96 02 00 05 02",
       [](const TSWFAction& a) { EXPECT_EQ(std::get<int64_t>(As<TSWFActionPush>(a).Values[0].Value), 2); }},
      {"Push of the string FlashVar_null stays that string",
       "96 0F 00 00 46 6C 61 73 68 56 61 72 5F 6E 75 6C 6C 00",
       [](const TSWFAction& a) {
         const auto& v = As<TSWFActionPush>(a).Values[0];
         EXPECT_EQ(v.ValueType, kPushString);
         EXPECT_EQ(std::get<std::string>(v.Value), "FlashVar_null");
       }},
      {"Push without values", "96 00 00",
       [](const TSWFAction& a) { EXPECT_TRUE(As<TSWFActionPush>(a).Values.empty()); }},
      {"Jump", "99 02 00 00 00",
       [](const TSWFAction& a) {
         EXPECT_EQ(As<TSWFActionJump>(a).BranchOffset(), 0);
         EXPECT_TRUE(As<TSWFActionJump>(a).StaticOffset);
       }},
      {"If is a Jump", "9D 02 00 00 00",
       [](const TSWFAction& a) { EXPECT_NE(dynamic_cast<const TSWFActionJump*>(&a), nullptr); }},
      {"With", "94 02 00 00 00", [](const TSWFAction& a) { EXPECT_EQ(As<TSWFActionWith>(a).BlockSize(), 0); }},
      {"DefineFunction", "9B 0A 00 66 00 02 00 61 00 62 00 00 00",
       [](const TSWFAction& a) {
         const auto& f = As<TSWFActionDefineFunction>(a);
         EXPECT_EQ(f.Name, "f");
         EXPECT_EQ(f.Params, (std::vector<std::string>{"a", "b"}));
         EXPECT_EQ(f.CodeSize(), 0);
       }},
      {"DefineFunction2 with every other flag and a register parameter",
       "8E 0C 00 67 00 01 00 03 95 01 01 78 00 00 00",
       [](const TSWFAction& a) {
         const auto& f = As<TSWFActionDefineFunction2>(a);
         EXPECT_EQ(f.Name, "g");
         EXPECT_EQ(f.RegisterCount, 3);
         EXPECT_TRUE(f.PreloadParent && f.PreloadSuper && f.PreloadArguments && f.PreloadThis &&
                     f.PreloadGlobal);
         EXPECT_FALSE(f.PreloadRoot || f.SuppressSuper || f.SuppressArguments || f.SuppressThis);
         ASSERT_EQ(f.Params.size(), 1u);
         EXPECT_EQ(f.Params[0], (TSWFRegisterParam{1, "x"}));
       }},
      {"Try catching into a register, with finally", "8F 08 00 07 00 00 00 00 00 00 02",
       [](const TSWFAction& a) {
         const auto& t = As<TSWFActionTry>(a);
         EXPECT_TRUE(t.CatchInRegister && t.HasCatch && t.HasFinally);
         EXPECT_EQ(t.CatchRegister, 2);
       }},
      {"Try catching into a variable", "8F 09 00 01 00 00 00 00 00 00 65 00",
       [](const TSWFAction& a) {
         const auto& t = As<TSWFActionTry>(a);
         EXPECT_TRUE(t.HasCatch && !t.HasFinally && !t.CatchInRegister);
         EXPECT_EQ(t.CatchName, "e");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = Hex(c.bytes);
    auto list = ReadList(bytes);
    ASSERT_EQ(list->Count(), 1u);
    ASSERT_NE(list->Action(0).ActionCode, kActionByteCode) << "not decoded";
    EXPECT_EQ(list->Action(0).RecordSize(), bytes.size());
    c.check(list->Action(0));
    Bytes expected = bytes;
    expected.push_back(0);
    EXPECT_EQ(ToHex(WriteList(*list)), ToHex(expected));
    // A copy writes the same bytes.
    TSWFActionList copy;
    CopyActionList(*list, copy);
    EXPECT_EQ(ToHex(WriteList(copy)), ToHex(expected));
  }
}

// ---- push values -----------------------------------------------------------------------------

TEST(ActionPush, AddValueChoosesTheTypeFromTheValue) {
  struct Case {
    const char* name;
    std::function<size_t(TSWFActionPush&)> add;
    uint8_t type;
    TPushValue value;
  };
  const Case cases[] = {
      {"empty", [](TSWFActionPush& p) { return p.AddValue(TPushUndefinedValue{}); }, 3, TPushUndefinedValue{}},
      {"null", [](TSWFActionPush& p) { return p.AddValue(TPushNullValue{}); }, 2, TPushNullValue{}},
      {"boolean", [](TSWFActionPush& p) { return p.AddValue(true); }, 5, true},
      {"16-bit word", [](TSWFActionPush& p) { return p.AddValue(uint16_t{60000}); }, 7, int64_t{60000}},
      {"64-bit integer", [](TSWFActionPush& p) { return p.AddValue(int64_t{-7}); }, 7, int64_t{-7}},
      {"single", [](TSWFActionPush& p) { return p.AddValue(2.5f); }, 1, 2.5f},
      {"double", [](TSWFActionPush& p) { return p.AddValue(2.5); }, 6, 2.5},
      {"string", [](TSWFActionPush& p) { return p.AddValue("abc"); }, 0, std::string("abc")},
      {"FlashVar_null", [](TSWFActionPush& p) { return p.AddValue("FlashVar_null"); }, 2, std::string("null")},
      {"FlashVar_undefined", [](TSWFActionPush& p) { return p.AddValue(std::string("FlashVar_undefined")); },
       3, std::string("undefined")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFActionPush push;
    push.AddValue("first");
    EXPECT_EQ(c.add(push), 1u);
    EXPECT_EQ(push.ValueInfo(1).ValueType, c.type);
    EXPECT_EQ(push.ValueInfo(1).Value, c.value);
    EXPECT_TRUE(push.ValueInfo(1).IsValid);
  }
}

TEST(ActionPush, WritesForcedTypesFromTheValue) {
  struct Case {
    const char* name;
    std::function<void(TSWFActionPush&)> fill;
    const char* body;
  };
  const Case cases[] = {
      {"integer 60", [](TSWFActionPush& p) { p.AddValue(60); }, "07 3C 00 00 00"},
      {"boolean true", [](TSWFActionPush& p) { p.AddValue(true); }, "05 01"},
      {"FlashVar_null keeps null", [](TSWFActionPush& p) { p.ValueInfo(p.AddValue("FlashVar_null")).SetValueType(10); },
       "02"},
      {"FlashVar_null forced to a string is the string null",
       [](TSWFActionPush& p) { p.ValueInfo(p.AddValue("FlashVar_null")).SetValueType(0); }, "00 6E 75 6C 6C 00"},
      {"constant 255 in one byte", [](TSWFActionPush& p) { p.ValueInfo(p.AddValue(255)).SetValueType(8); }, "08 FF"},
      {"constant 256 in two bytes", [](TSWFActionPush& p) { p.ValueInfo(p.AddValue(256)).SetValueType(9); },
       "09 00 01"},
      {"register from an integer", [](TSWFActionPush& p) { p.ValueInfo(p.AddValue(3)).SetValueType(4); }, "04 03"},
      {"double, high half first", [](TSWFActionPush& p) { p.AddValue(0.1); }, "06 99 99 B9 3F 9A 99 99 99"},
      {"integer forced to a string", [](TSWFActionPush& p) { p.ValueInfo(p.AddValue(42)).SetValueType(0); },
       "00 34 32 00"},
      {"string forced to a double", [](TSWFActionPush& p) { p.ValueInfo(p.AddValue("1.5")).SetValueType(6); },
       "06 00 00 F8 3F 00 00 00 00"},
      {"invalid entries are not written",
       [](TSWFActionPush& p) {
         p.AddValue(1);
         p.ValueInfo(p.AddValue(2)).IsValid = false;
       },
       "07 01 00 00 00"},
      {"strings are written as their bytes", [](TSWFActionPush& p) { p.AddValue("\xE9"); }, "00 E9 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFActionList list;
    c.fill(list.Add<TSWFActionPush>());
    const Bytes body = Hex(c.body);
    Bytes expected = Hex("96");
    expected.push_back(static_cast<uint8_t>(body.size()));
    expected.push_back(0);
    expected.insert(expected.end(), body.begin(), body.end());
    expected.push_back(0);
    EXPECT_EQ(ToHex(WriteList(list)), ToHex(expected));
    EXPECT_EQ(list.Action(0).BodyLength, body.size());
  }
  TPushValueInfo info;
  EXPECT_THROW(info.SetValueType(11), ESWFError);
}

TEST(ActionPush, MinVersionFollowsTheTypes) {
  TSWFActionPush push;
  push.AddValue("a");
  push.AddValue(1.5f);
  EXPECT_EQ(push.MinVersion(), 4);
  push.AddValue(1);
  EXPECT_EQ(push.MinVersion(), 5);
}

TEST(ActionPush, CopyKeepsEachEntryAsItIs) {
  TSWFActionPush push;
  push.Values.push_back({std::string("FlashVar_null"), kPushString, true});
  push.ValueInfo(push.AddValue(7)).SetValueType(kPushRegister);
  TSWFActionPush copy;
  copy.Assign(push);
  EXPECT_EQ(copy.Values, push.Values);
}

// ---- raw bytes -------------------------------------------------------------------------------

TEST(ActionByteCode, HexTextAndBytes) {
  TSWFActionByteCode raw;
  raw.SetHexText("07 0a ff");
  EXPECT_EQ(raw.RawData, Hex("07 0A FF"));
  EXPECT_EQ(raw.HexText(), "070AFF");
  EXPECT_EQ(raw.RecordSize(), 3u);
  raw.SetSize(2);
  raw.SetByte(1, 0x26);
  EXPECT_EQ(raw.Byte(1), 0x26);
  EXPECT_EQ(raw.HexText(), "0026");
  EXPECT_THROW(raw.SetHexText("0"), ESWFError);
  EXPECT_THROW(raw.SetHexText("0g"), ESWFError);
  TSWFActionList list;
  list.Add<TSWFActionByteCode>().SetHexText("0726");
  EXPECT_EQ(WriteList(list), Hex("07 26 00"));
}

// ---- whole lists -----------------------------------------------------------------------------

TEST(ActionList, FindActionListEnd) {
  struct Case {
    const char* name;
    const char* bytes;
    size_t from;
    size_t end;
  };
  const Case cases[] = {
      {"after the End code, skipping record bodies", "07 96 02 00 00 00 00 06", 0, 7},
      {"from a later position", "FF 07 00", 1, 3},
      {"no End code gives the start", "07 06", 0, 0},
      {"a length that runs past the end gives the start", "96 05 00 00", 0, 0},
      {"a cut length gives the start", "07 96 05", 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = Hex(c.bytes);
    TMemoryStream s = TMemoryStream::View(bytes);
    s.SetPosition(c.from);
    TBitsEngine be(s);
    EXPECT_EQ(FindActionListEnd(be), c.end);
    EXPECT_EQ(s.Position(), c.from);
  }
}

TEST(ActionList, ReadingStopsAtTheLimitAndLeavesTheStreamAfterIt) {
  const Bytes bytes = Hex("07 06 00 04 05");
  TMemoryStream s = TMemoryStream::View(bytes);
  TBitsEngine be(s);
  TSWFActionList list;
  ReadActionList(be, list, 3);
  EXPECT_EQ(Shape(list), "07 06");
  EXPECT_EQ(s.Position(), 3u);
  // A limit beyond the stream is the end of the stream.
  TSWFActionList rest;
  ReadActionList(be, rest, 100);
  EXPECT_EQ(Shape(rest), "04 05");
  EXPECT_EQ(s.Position(), 5u);
}

TEST(ActionList, OwnsItsRecordsAndForgetsRemovedMarkers) {
  TSWFActionList list;
  auto& target = list.AddMarker();
  list.Add<TSWFActionStop>();
  auto& jump = list.Add<TSWFActionJump>();
  jump.SetMarker(&target);
  EXPECT_EQ(list.MinVersion(), 4);
  EXPECT_EQ(list.ByteSize(), 1u + 3u);  // a record's size counts once it is written
  auto removed = list.Extract(0);
  EXPECT_EQ(jump.FindMarker(), nullptr);
  EXPECT_FALSE(static_cast<TSWFOffsetMarker&>(*removed).Placed);
  list.Insert(0, std::move(removed));
  jump.SetMarker(&static_cast<TSWFOffsetMarker&>(list[0]));
  list.SetAction(0, std::make_unique<TSWFActionPlay>());
  EXPECT_EQ(jump.FindMarker(), nullptr);
  EXPECT_EQ(Shape(list), "06 07 99");
  EXPECT_THROW(list.AddMarker(nullptr, false), ESWFError);
  // A marker in a list is placed, however it came in.
  auto& added = static_cast<TSWFOffsetMarker&>(list.Add(std::make_unique<TSWFOffsetMarker>()));
  EXPECT_TRUE(added.Placed);
}

}  // namespace
}  // namespace tw::test
