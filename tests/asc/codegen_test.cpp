// The records of small constructs, exactly: each script is compiled, written to bytes, read back
// and listed, so the listing shows where every written branch offset and block size lands.
#include "asc/asc_support.h"
#include "support/action_testing.h"
#include "swf/action_push.h"

namespace tw::test {
namespace {

struct TCase {
  const char* Name;
  int Version;
  const char* Source;
  const char* Records;
};

const TCase kCases[] = {
    {"if and else", 8, "if (a) b(); else c();", R"(ConstantPool "a", "b", "c"
Push constant 0 "a"
GetVariable
Not
If label_1
Push int 0, constant 1 "b"
CallFunction
Pop
Jump label_2
label_1:
Push int 0, constant 2 "c"
CallFunction
Pop
label_2:
)"},
    // The left value stays when it decides; the right one replaces it otherwise.
    {"&& as a value", 8, "x = a && b;", R"(ConstantPool "x", "a", "b"
Push constant 0 "x", constant 1 "a"
GetVariable
PushDuplicate
Not
If label_1
Pop
Push constant 2 "b"
GetVariable
label_1:
SetVariable
)"},
    // Parameters and locals in registers after nothing preloaded; this, arguments and super
    // are not made at all.
    {"a function's locals in registers", 8, "function f(a, b) { var c = a + b; return c; }",
     R"(DefineFunction2 "f" (r1 a, r2 b) registers 4, suppress super, suppress arguments, suppress this {
Push register 1, register 2
Add2
StoreRegister 3
Pop
Push register 3
Return
}
)"},
    // Preloaded values come first, in the player's order.
    {"preloaded registers", 8, "function f(a) { return this.n + arguments.length + _root._x + a; }",
     R"(ConstantPool "n", "length", "_x"
DefineFunction2 "f" (r4 a) registers 5, preload root, suppress super, preload arguments, preload this {
Push register 1, constant 0 "n"
GetMember
Push register 2, constant 1 "length"
GetMember
Add2
Push register 3, constant 2 "_x"
GetMember
Add2
Push register 4
Add2
Return
}
)"},
    // A local an inner function reads lives in the scope object, declared when the function starts.
    {"a captured local", 8, "function f() { var x = 1; return function () { return x; }; }",
     R"(ConstantPool "x"
DefineFunction2 "f" () registers 1, suppress super, suppress arguments, suppress this {
Push constant 0 "x"
DefineLocal2
Push constant 0 "x", int 1
SetVariable
DefineFunction2 "" () registers 1, suppress super, suppress arguments, suppress this {
Push constant 0 "x"
GetVariable
Return
}
Return
}
)"},
    {"Flash 6 functions", 6, "function f(a) { var b = a; return b; }", R"(ConstantPool "b", "a"
DefineFunction "f" (a) {
Push constant 0 "b"
DefineLocal2
Push constant 0 "b", constant 1 "a"
GetVariable
SetVariable
Push constant 0 "b"
GetVariable
Return
}
)"},
    // break takes the names still on the stack off it, up to the end mark.
    {"for..in and break", 8, "for (var k in o) { if (k) break; }", R"(ConstantPool "k", "o"
Push constant 1 "o"
GetVariable
Enumerate2
label_5:
PushDuplicate
Push null
Equals2
If label_1
Push constant 0 "k"
StackSwap
SetVariable
Push constant 0 "k"
GetVariable
Not
If label_2
label_3:
Push null
Equals2
Not
If label_3
Jump label_4
label_2:
Jump label_5
label_1:
Pop
label_4:
)"},
    {"for..in before Flash 6", 5, "for (k in o) trace(k);", R"(ConstantPool "k", "o"
Push constant 1 "o"
Enumerate
label_2:
PushDuplicate
Push null
Equals2
If label_1
Push constant 0 "k"
StackSwap
SetVariable
Push constant 0 "k"
GetVariable
Trace
Jump label_2
label_1:
Pop
)"},
    // The bodies follow one another, so a case without break falls through.
    {"switch", 8, "switch (x) { case 1: a(); case 2: b(); break; default: c(); }",
     R"(ConstantPool "x", "a", "b", "c"
Push constant 0 "x"
GetVariable
PushDuplicate
Push int 1
StrictEquals
If label_1
PushDuplicate
Push int 2
StrictEquals
If label_2
Pop
Jump label_3
label_1:
Pop
Jump label_4
label_2:
Pop
Jump label_5
label_4:
Push int 0, constant 1 "a"
CallFunction
Pop
label_5:
Push int 0, constant 2 "b"
CallFunction
Pop
Jump label_6
label_3:
Push int 0, constant 3 "c"
CallFunction
Pop
label_6:
)"},
    {"try, catch and finally", 7, "try { f(); } catch (e) { g(e); } finally { h(); }",
     R"(ConstantPool "f", "e", "g", "h"
Try {
Push int 0, constant 0 "f"
CallFunction
Pop
} catch "e" {
Push constant 1 "e"
GetVariable
Push int 1, constant 2 "g"
CallFunction
Pop
} finally {
Push int 0, constant 3 "h"
CallFunction
Pop
}
)"},
    {"a caught value in a register", 8, "function f() { try { g(); } catch (e) { return e; } }",
     R"(ConstantPool "g"
DefineFunction2 "f" () registers 2, suppress super, suppress arguments, suppress this {
Try {
Push int 0, constant 0 "g"
CallFunction
Pop
} catch register 1 {
Push register 1
Return
}
}
)"},
    // A jump cannot leave the block of a With record: it ends the block with a flag in a
    // register, which the code after the statement reads to jump on.
    {"break out of with", 8, "while (i) { with (o) { break; } }", R"(ConstantPool "i", "o"
label_6:
Push constant 0 "i"
GetVariable
Not
If label_1
Push constant 1 "o"
GetVariable
With {
Push int 1
StoreRegister 0
Pop
Jump label_3
Push int 0
StoreRegister 0
Pop
label_3:
}
Push register 0, int 1
Equals2
Not
If label_4
Jump label_5
label_4:
Jump label_6
label_5:
label_1:
)"},
    {"break out of try in a function", 7,
     "function f() { for (var i = 0; i < 2; i++) { try { if (i) break; } finally { g(); } } }",
     R"(ConstantPool "g"
DefineFunction2 "f" () registers 3, suppress super, suppress arguments, suppress this {
Push int 0
StoreRegister 1
Pop
label_7:
Push register 1, int 2
Less2
Not
If label_2
Push int 0
StoreRegister 2
Pop
Try {
Push register 1
Not
If label_4
Push int 1
StoreRegister 2
Pop
Jump +0
label_4:
} finally {
Push int 0, constant 0 "g"
CallFunction
Pop
}
Push register 2, int 1
Equals2
Not
If label_5
Jump label_6
label_5:
Push register 1
Increment
StoreRegister 1
Pop
Jump label_7
label_6:
label_2:
}
)"},
    // Simple object and key expressions are evaluated twice; the postfix value is the old one
    // as a number.
    {"postfix on a member", 8, "trace(o.p++);", R"(ConstantPool "o", "p"
Push constant 0 "o"
GetVariable
Push constant 1 "p"
GetMember
ToNumber
PushDuplicate
Increment
Push constant 0 "o"
GetVariable
StackSwap
Push constant 1 "p"
StackSwap
SetMember
Trace
)"},
    // Anything else is kept in registers after the locals.
    {"compound assignment to a computed member", 8, "function f(o) { return o[g()] += 1; }",
     R"(ConstantPool "g"
DefineFunction2 "f" (r1 o) registers 4, suppress super, suppress arguments, suppress this {
Push register 1
StoreRegister 2
Push int 0, constant 0 "g"
CallFunction
StoreRegister 3
Push register 2, register 3
GetMember
Push int 1
Add2
StoreRegister 2
SetMember
Push register 2
Return
}
)"},
    // The strings used most get the smallest indexes.
    {"the constant pool", 8, "var s = 'x'; s = s + 'y' + 'x'; trace('z');",
     R"(ConstantPool "s", "x", "y", "z"
Push constant 0 "s", constant 1 "x"
DefineLocal
Push constant 0 "s", constant 0 "s"
GetVariable
Push constant 2 "y"
Add2
Push constant 1 "x"
Add2
SetVariable
Push constant 3 "z"
Trace
)"},
    {"global functions as records", 6,
     "gotoAndPlay(3); gotoAndStop('end'); getURL('a.html', '_blank'); loadMovie('m.swf', t);"
     "x = getProperty(t, _alpha); fscommand('quit'); x = random(6) + int(2.5); stopAllSounds();",
     R"(ConstantPool "t", "x", "m.swf"
GotoFrame 2
Play
GoToLabel "end"
GetUrl "a.html", "_blank"
Push constant 2 "m.swf", constant 0 "t"
GetVariable
GetURL2 method none, load target
Push constant 1 "x", constant 0 "t"
GetVariable
Push int 6
GetProperty
SetVariable
GetUrl "FSCommand:quit", ""
Push constant 1 "x", int 6
RandomNumber
Push double 2.5
ToInteger
Add2
SetVariable
StopSounds
)"},
    // Printing: GetURL2 to "print:#" or "printasbitmap:#" and the bounding box, with the clip as
    // a target (the flag set) or a level as a window name.
    {"printing", 8, "print(mc, \"bmovie\"); printAsBitmapNum(2, \"bframe\");", R"(ConstantPool "print:#bmovie", "mc", "printasbitmap:#bframe", "_level2"
Push constant 0 "print:#bmovie", constant 1 "mc"
GetVariable
GetURL2 method none, load target
Push constant 2 "printasbitmap:#bframe", constant 3 "_level2"
GetURL2 method none
)"},
    // tellTarget: SetTarget for a path given as a string, SetTarget2 for any other value, and
    // back to the movie's own timeline after the body.
    {"tellTarget", 8, "tellTarget(\"/box\") play(); tellTarget(mc) { stop(); }", R"(ConstantPool "mc"
SetTarget "/box"
Play
SetTarget ""
Push constant 0 "mc"
GetVariable
SetTarget2
Stop
SetTarget ""
)"},
    // Leaving a tellTarget by break or return goes back to the movie's own timeline first, as
    // its end does; a return's value is still the told clip's.
    {"tellTarget left early", 8,
     "while (a) { tellTarget(\"/box\") { if (b) break; play(); } } function f() { tellTarget(\"/box\") return _name; }",
     R"(ConstantPool "_name", "a", "b"
DefineFunction2 "f" () registers 1, suppress super, suppress arguments, suppress this {
SetTarget "/box"
Push constant 0 "_name"
GetVariable
SetTarget ""
Return
SetTarget ""
}
label_5:
Push constant 1 "a"
GetVariable
Not
If label_2
SetTarget "/box"
Push constant 2 "b"
GetVariable
Not
If label_3
SetTarget ""
Jump label_4
label_3:
Play
SetTarget ""
Jump label_5
label_4:
label_2:
)"},
    // ifFrameLoaded: WaitForFrame for a frame number (counted from 0 in the record), WaitForFrame2
    // for any other value; the record skips the body's records.
    {"ifFrameLoaded", 8, "ifFrameLoaded(3) { play(); x = 1; } ifFrameLoaded(\"end\") stop(); trace(1);", R"(ConstantPool "x", "end"
WaitForFrame 2, skip 3
Play
Push constant 0 "x", int 1
SetVariable
Push constant 1 "end"
WaitForFrame2 skip 1
Stop
Push int 1
Trace
)"},
    // Slash paths are names the player resolves: got and set by their path.
    {"slash paths", 8, "/:x = 1; trace(_root/clip:y); ../:n++;", R"(ConstantPool "../:n", "/:x", "_root/clip:y"
Push constant 1 "/:x", int 1
SetVariable
Push constant 2 "_root/clip:y"
GetVariable
Trace
Push constant 0 "../:n", constant 0 "../:n"
GetVariable
Increment
SetVariable
)"},
    // A function statement is defined before the code that calls it.
    {"hoisting", 8, "trace(f()); function f() { return 1; }", R"(ConstantPool "f"
DefineFunction2 "f" () registers 1, suppress super, suppress arguments, suppress this {
Push int 1
Return
}
Push int 0, constant 0 "f"
CallFunction
Trace
)"},
};

TEST(CodeGen, WritesTheRecordsOfEachConstruct) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(CompileToText(c.Source, c.Version), c.Records);
  }
}

// A Push record holds at most 65535 bytes: long runs of values are split over several, and the
// list is written and read back whole.
TEST(CodeGen, SplitsPushesThatOutgrowTheirRecord) {
  std::string source = "x = [";
  for (int i = 0; i < 20000; ++i) source += std::to_string(i) + ".5,";
  source += "0];";
  auto list = CompileToList(source);
  size_t pushes = 0, values = 0;
  for (const auto& r : *list) {
    if (r->ActionCode != 0x96) continue;
    ++pushes;
    values += static_cast<const swf::TSWFActionPush&>(*r).Values.size();
  }
  EXPECT_GE(pushes, 3u);
  EXPECT_EQ(values, 20001u + 1 + 1);  // the elements, the count and the name x
  const Bytes bytes = WriteList(*list);
  EXPECT_EQ(WriteList(*ReadList(bytes)), bytes);
}

// The pool takes as many strings as its record holds; the rest are pushed as they are.
TEST(CodeGen, PushesStringsThePoolCannotHoldDirectly) {
  std::string source;
  for (int i = 0; i < 8000; ++i) source += "trace('string number " + std::to_string(i) + "');\n";
  auto list = CompileToList(source);
  ASSERT_GT(list->Count(), 0u);
  ASSERT_EQ((*list)[0].ActionCode, 0x88);
  const auto& pool = static_cast<const swf::TSWFActionConstantPool&>((*list)[0]);
  EXPECT_GT(pool.Constants.size(), 2000u);
  EXPECT_LT(pool.Constants.size(), 8000u);
  size_t inline_ = 0, constants = 0;
  for (const auto& r : *list) {
    if (r->ActionCode != 0x96) continue;
    for (const auto& v : static_cast<const swf::TSWFActionPush&>(*r).Values) {
      if (v.ValueType == swf::kPushString) ++inline_;
      if (v.ValueType == swf::kPushConstant8 || v.ValueType == swf::kPushConstant16) ++constants;
    }
  }
  EXPECT_EQ(inline_ + constants, 8000u);
  EXPECT_EQ(constants, pool.Constants.size());
  const Bytes bytes = WriteList(*list);
  EXPECT_EQ(WriteList(*ReadList(bytes)), bytes);
}

// The two strings a Push record would read as null and undefined go through the pool and stay
// strings.
TEST(CodeGen, KeepsStringsThatLookLikePushTypesStrings) {
  auto list = CompileToList("a = 'FlashVar_null'; b = 'FlashVar_undefined';");
  const auto& pool = static_cast<const swf::TSWFActionConstantPool&>((*list)[0]);
  EXPECT_EQ(pool.Constants[0], "FlashVar_null");
  EXPECT_EQ(pool.Constants[1], "FlashVar_undefined");
}

}  // namespace
}  // namespace tw::test
