// The assembly listing of action lists.
#include "support/action_testing.h"
#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_disasm.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "swf/action_records.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// A list with a record of every kind of operand, blocks inside blocks and a loop.
std::unique_ptr<TSWFActionList> SampleList() {
  auto l = std::make_unique<TSWFActionList>();
  l->Add<TSWFActionConstantPool>().Constants = {"x", "caf\xE9"};
  auto& f = l->Add<TSWFActionDefineFunction2>();
  f.Name = "f";
  f.RegisterCount = 2;
  f.PreloadThis = true;
  f.SuppressSuper = true;
  f.AddParam("a", 1);
  f.AddParam("b");
  auto& push = l->Add<TSWFActionPush>();
  push.ValueInfo(push.AddValue(1)).SetValueType(kPushRegister);
  push.ValueInfo(push.AddValue(1)).SetValueType(kPushConstant8);
  auto& skip = l->Add<TSWFActionIf>();
  auto& values = l->Add<TSWFActionPush>();
  values.AddValue(0.1f);
  values.AddValue(0.1);
  values.AddValue(-3);
  values.AddValue(true);
  values.AddValue(TPushNullValue{});
  values.AddValue(TPushUndefinedValue{});
  values.AddValue("say \"hi\"\n");
  values.ValueInfo(values.AddValue(300)).SetValueType(kPushConstant16);
  l->AddMarker(skip.TakeMarker(), false).Label = "done";
  l->Add<TSWFActionReturn>();
  l->AddMarker(f.TakeMarker(), false);
  auto& loop = l->AddMarker();
  loop.Label = "loop";
  auto& t = l->Add<TSWFActionTry>();
  t.HasCatch = t.HasFinally = true;
  t.CatchName = "e";
  l->Add<TSWFActionThrow>();
  l->AddMarker(t.TakeMarker(TSWFActionTry::kTrySlot), false);
  auto& with = l->Add<TSWFActionWith>();
  l->Add<TSWFActionTrace>();
  l->AddMarker(with.TakeMarker(), false);
  l->AddMarker(t.TakeMarker(TSWFActionTry::kCatchSlot), false);
  l->Add<TSWFActionStop>();
  l->AddMarker(t.TakeMarker(TSWFActionTry::kFinallySlot), false);
  l->Add<TSWFActionGetUrl>().URL = "http://a/";
  auto& url2 = l->Add<TSWFActionGetURL2>();
  url2.Method = 2;
  url2.LoadTargetFlag = true;
  auto& frame = l->Add<TSWFActionGotoFrame2>();
  frame.PlayFlag = frame.SceneBiasFlag = true;
  frame.SceneBias = 2;
  l->Add<TSWFActionWaitForFrame2>().SkipCount = 1;
  l->Add<TSWFActionJump>().SetMarker(&loop);
  l->Add<TSWFActionByteCode>().SetHexText("00");
  l->Add<TSWFActionByteCode>().SetHexText("16");
  l->Add<TSWFActionByteCode>().SetHexText("810300010203");
  return l;
}

TEST(ActionListing, ShowsOperandsTypesLabelsAndBlocks) {
  auto list = SampleList();
  const std::string expected =
      ">  ConstantPool    \"x\", \"caf\xC3\xA9\"\n"
      ">  DefineFunction2 \"f\" (r1 a, b) registers 2, suppress super, preload this {\n"
      ">    Push            register 1, constant 1 \"caf\xC3\xA9\"\n"
      ">    If              done\n"
      ">    Push            float 0.1, double 0.1, int -3, true, null, undefined, \"say \\\"hi\\\"\\n\", "
      "constant16 300\n"
      ">  done:\n"
      ">    Return\n"
      ">  }\n"
      ">loop:\n"
      ">  Try {\n"
      ">    Throw\n"
      ">  } catch \"e\" {\n"
      ">    With {\n"
      ">      Trace\n"
      ">    }\n"
      ">  } finally {\n"
      ">    Stop\n"
      ">  }\n"
      ">  GetUrl          \"http://a/\", \"\"\n"
      ">  GetURL2         method POST, load target\n"
      ">  GotoFrame2      play, scene bias 2\n"
      ">  WaitForFrame2   skip 1\n"
      ">  Jump            loop\n"
      ">  End             ; the list goes on after it\n"
      ">  Bytes           16 ; unknown action code 0x16\n"
      ">  Bytes           81 03 00 01 02 03 ; GotoFrame, kept as bytes\n";
  EXPECT_EQ(DisassembleActions(*list, ">"), expected);
}

TEST(ActionListing, ShowsWhatDoesNotResolve) {
  struct Case {
    const char* name;
    const char* bytes;
    const char* listing;
  };
  const Case cases[] = {
      {"read labels", "99 02 00 01 00 07 06", "  Jump            label_1\n  Stop\nlabel_1:\n  Play\n"},
      {"a jump out of the list", "99 02 00 10 00",
       "  Jump            +16 ; lands outside the list or inside a record\n"},
      {"an empty function", "9B 05 00 00 00 00 00 00 07", "  DefineFunction \"\" () { }\n  Stop\n"},
      {"a function that runs out of the list", "9B 05 00 00 00 00 09 00 07",
       "  DefineFunction \"\" () size 9 ; the block does not end inside the list\n  Stop\n"},
      {"a Try with an empty try block", "8F 09 00 01 00 00 01 00 00 00 65 00 07",
       "  Try {\n  } catch \"e\" {\n    Stop\n  }\n"},
      {"a Try that runs out of the list", "8F 09 00 01 05 00 01 00 00 00 65 00 07",
       "  Try             sizes 5, 1, 0, catch \"e\" ; the blocks do not end inside the list\n  Stop\n"},
      {"blocks that overlap", "94 02 00 09 00  9B 05 00 00 00 00 02 00  07  07  06",
       "  With {\n"
       "    DefineFunction \"\" () {\n"
       "      Stop\n"
       "    ; end of the With block opened before the enclosing block\n"
       "    Stop\n"
       "  }\n"
       "  Play\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DisassembleActions(*ReadList(Hex(c.bytes))), c.listing);
  }
  // A block whose marker lies before it never closes.
  TSWFActionList list;
  auto& m = list.AddMarker();
  list.Add<TSWFActionWith>().SetMarker(&m);
  list.Add<TSWFActionStop>();
  EXPECT_EQ(DisassembleActions(list), "marker_1:\n  With {\n    Stop\n  } ; the end of the block was not found after it\n");
}

}  // namespace
}  // namespace tw::test
