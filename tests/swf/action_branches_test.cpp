// Branch records and markers: targets found when a list is read, numbers computed from markers
// when a builder's list is written, and copies that keep their links.
#include <functional>

#include "support/action_testing.h"
#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "swf/action_records.h"
#include "swf/action_tags.h"
#include "swf/sprite.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// For every branch record in order and each of its markers that lies in the list and not right
// after it (a distance of 0 places no marker when read): the number of records (markers not
// counted) before the marker. Equal for two lists when their branches land on the same records.
std::vector<int> Targets(const TSWFActionList& list) {
  auto recordsBefore = [&](size_t at) {
    int records = 0;
    for (size_t i = 0; i < at; ++i) records += list[i].ActionCode != kActionMarker;
    return records;
  };
  std::vector<int> targets;
  for (size_t b = 0; b < list.Count(); ++b) {
    const auto* branch = dynamic_cast<const TSWFBranchAction*>(&list[b]);
    if (!branch) continue;
    for (size_t slot = 0; slot < branch->MarkerCount(); ++slot) {
      const int at = IndexOf(list, branch->FindMarker(slot));
      if (at < 0) continue;
      const int target = recordsBefore(static_cast<size_t>(at));
      if (target != recordsBefore(b) + 1) targets.push_back(target);
    }
  }
  return targets;
}

const TSWFOffsetMarker& MarkerAt(const TSWFActionList& list, size_t index) {
  return dynamic_cast<const TSWFOffsetMarker&>(list[index]);
}

// ---- reading ---------------------------------------------------------------------------------

struct ReadCase {
  const char* name;
  const char* bytes;
  const char* shape;
  std::function<void(const TSWFActionList&)> check;
};

TEST(ActionBranches, ReadingPlacesInactiveMarkersAtTheTargets) {
  const ReadCase cases[] = {
      {"NextFrame, Jump -1: the search steps over the Jump itself and fails", "04 99 02 00 FF FF", "04 99",
       [](const TSWFActionList& l) {
         const auto& jump = dynamic_cast<const TSWFActionJump&>(l[1]);
         ASSERT_NE(jump.FindMarker(), nullptr);
         EXPECT_EQ(jump.FindMarker()->Label, "Error Size offset: -1");
         EXPECT_FALSE(jump.FindMarker()->Placed);
         EXPECT_TRUE(jump.OwnsMarker());
       }},
      {"a jump with offset 0 places no marker", "99 02 00 00 00 07", "99 07", nullptr},
      {"forward over two records", "99 02 00 02 00 07 07 06", "99 07 07 M 06",
       [](const TSWFActionList& l) {
         const auto& m = MarkerAt(l, 3);
         EXPECT_EQ(dynamic_cast<const TSWFActionJump&>(l[0]).FindMarker(), &m);
         EXPECT_EQ(m.Label, "label 1");
         EXPECT_FALSE(m.Backward);
         EXPECT_FALSE(m.Active);
         EXPECT_TRUE(m.Placed);
       }},
      {"backward to the first record", "07 07 07 99 02 00 F8 FF", "M 07 07 07 99",
       [](const TSWFActionList& l) { EXPECT_TRUE(MarkerAt(l, 0).Backward); }},
      {"a jump to itself", "99 02 00 FB FF", "M 99", nullptr},
      {"a target at the end of the list", "99 02 00 01 00 07", "99 07 M", nullptr},
      {"a target inside a record", "99 02 00 01 00 81 02 00 05 00", "99 81",
       [](const TSWFActionList& l) {
         EXPECT_EQ(dynamic_cast<const TSWFActionJump&>(l[0]).FindMarker()->Label, "Error Size offset: 1");
       }},
      {"a target past the end", "9D 02 00 10 00 07", "9D 07",
       [](const TSWFActionList& l) {
         EXPECT_EQ(dynamic_cast<const TSWFActionIf&>(l[0]).FindMarker()->Label, "Error Size offset: 16");
       }},
      {"a target before the start", "07 99 02 00 F0 FF", "07 99", nullptr},
      {"a With block", "94 02 00 02 00 07 07 06", "94 07 07 M 06", nullptr},
      {"a function body", "9B 05 00 00 00 00 01 00 3E 07", "9B 3E M 07",
       [](const TSWFActionList& l) { EXPECT_FALSE(MarkerAt(l, 2).Backward); }},
      {"functions that end together: the inner one's marker comes first",
       "9B 05 00 00 00 00 09 00  9B 05 00 00 00 00 01 00  07", "9B 9B 07 M M",
       [](const TSWFActionList& l) {
         EXPECT_EQ(dynamic_cast<const TSWFActionDefineFunction&>(l[1]).FindMarker(), &l[3]);
         EXPECT_EQ(dynamic_cast<const TSWFActionDefineFunction&>(l[0]).FindMarker(), &l[4]);
       }},
      {"a forward and a backward marker at one boundary: the forward one first",
       "99 02 00 01 00 07 06 99 02 00 FA FF", "99 07 M M 06 99",
       [](const TSWFActionList& l) {
         EXPECT_EQ(dynamic_cast<const TSWFActionJump&>(l[0]).FindMarker(), &l[2]);
         EXPECT_EQ(dynamic_cast<const TSWFActionJump&>(l[5]).FindMarker(), &l[3]);
       }},
      {"Try with catch and finally", "8F 09 00 03 02 00 01 00 01 00 65 00 07 07 06 04",
       "8F 07 07 M 06 M 04 M",
       [](const TSWFActionList& l) {
         const auto& t = dynamic_cast<const TSWFActionTry&>(l[0]);
         EXPECT_EQ(t.FindMarker(TSWFActionTry::kTrySlot), &l[3]);
         EXPECT_EQ(t.FindMarker(TSWFActionTry::kCatchSlot), &l[5]);
         EXPECT_EQ(t.FindMarker(TSWFActionTry::kFinallySlot), &l[7]);
         EXPECT_EQ(MarkerAt(l, 3).Label, "Try 1");
         EXPECT_EQ(MarkerAt(l, 5).Label, "Catch 1");
         EXPECT_EQ(MarkerAt(l, 7).Label, "Finally 1");
         EXPECT_NE(dynamic_cast<const TSWFTryOffsetMarker*>(&l[3]), nullptr);
       }},
      {"Try without catch: the finally block follows the try block",
       "8F 09 00 02 01 00 05 00 01 00 65 00 07 06", "8F 07 M 06 M", nullptr},
      {"one label counter for jumps and tries", "99 02 00 01 00 07 8F 09 00 01 01 00 01 00 00 00 65 00 07 06",
       "99 07 M 8F 07 M 06 M",
       [](const TSWFActionList& l) {
         EXPECT_EQ(MarkerAt(l, 2).Label, "label 1");
         EXPECT_EQ(MarkerAt(l, 5).Label, "Try 2");
         EXPECT_EQ(MarkerAt(l, 7).Label, "Catch 2");
       }},
      {"a jump into code after an inner End code", "99 02 00 02 00 07 00 06", "99 07 [00] M 06", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = Hex(c.bytes);
    auto list = ReadList(bytes);
    EXPECT_EQ(Shape(*list), c.shape);
    if (c.check) c.check(*list);
    // Read numbers are static: the list is written back as it was.
    Bytes expected = bytes;
    expected.push_back(0);
    EXPECT_EQ(ToHex(WriteList(*list)), ToHex(expected));
  }
}

// ---- writing from markers --------------------------------------------------------------------

struct BuildCase {
  const char* name;
  std::function<void(TSWFActionList&)> build;
  const char* bytes;  // the list written, End code included
};

TSWFActionPush& PushString(TSWFActionList& l, const char* s) {
  auto& p = l.Add<TSWFActionPush>();
  p.AddValue(s);
  return p;
}

TEST(ActionBranches, BuilderListsWriteTheOffsetsOfTheirMarkers) {
  const BuildCase cases[] = {
      {"Push, Jump forward with the marker after two more records",
       [](TSWFActionList& l) {
         PushString(l, "a");
         auto& jump = l.Add<TSWFActionJump>();
         l.Add<TSWFActionStop>();
         l.Add<TSWFActionGotoFrame>().Frame = 3;
         l.AddMarker(jump.TakeMarker(), false);
       },
       "96 03 00 00 61 00  99 02 00 06 00  07  81 02 00 03 00  00"},
      {"a backward marker before three one-byte records, then a Jump",
       [](TSWFActionList& l) {
         auto& m = l.AddMarker();
         for (int i = 0; i < 3; ++i) l.Add<TSWFActionStop>();
         l.Add<TSWFActionJump>().SetMarker(&m);
       },
       "07 07 07  99 02 00 F8 FF  00"},
      {"a loop: If forward out of it, Jump back to its start",
       [](TSWFActionList& l) {
         auto& top = l.AddMarker();
         l.Add<TSWFActionPush>().AddValue(1);
         auto& exit = l.Add<TSWFActionIf>();
         l.Add<TSWFActionTrace>();
         l.Add<TSWFActionJump>().SetMarker(&top);
         l.AddMarker(exit.TakeMarker(), false);
         l.Add<TSWFActionStop>();
       },
       "96 05 00 07 01 00 00 00  9D 02 00 06 00  26  99 02 00 ED FF  07  00"},
      {"a function body",
       [](TSWFActionList& l) {
         auto& f = l.Add<TSWFActionDefineFunction>();
         f.Name = "f";
         f.Params = {"a"};
         PushString(l, "x");
         l.Add<TSWFActionTrace>();
         l.AddMarker(f.TakeMarker(), false);
       },
       "9B 08 00 66 00 01 00 61 00 07 00  96 03 00 00 78 00  26  00"},
      {"a With block inside a DefineFunction2 with a jump inside",
       [](TSWFActionList& l) {
         auto& f = l.Add<TSWFActionDefineFunction2>();
         f.Name = "g";
         f.RegisterCount = 2;
         f.PreloadThis = true;
         f.AddParam("a", 1);
         l.Add<TSWFActionPushDuplicate>();
         auto& with = l.Add<TSWFActionWith>();
         auto& skip = l.Add<TSWFActionJump>();
         l.Add<TSWFActionStop>();
         l.AddMarker(skip.TakeMarker(), false);
         l.AddMarker(with.TakeMarker(), false);
         l.Add<TSWFActionReturn>();
         l.AddMarker(f.TakeMarker(), false);
       },
       "8E 0C 00 67 00 01 00 02 01 00 01 61 00 0D 00  4C  94 02 00 06 00  99 02 00 01 00  07  3E  00"},
      {"Try with catch and finally",
       [](TSWFActionList& l) {
         auto& t = l.Add<TSWFActionTry>();
         t.HasCatch = t.HasFinally = true;
         t.CatchName = "e";
         l.Add<TSWFActionStop>();
         l.AddMarker(t.TakeMarker(TSWFActionTry::kTrySlot), false);
         l.Add<TSWFActionPlay>();
         l.Add<TSWFActionPlay>();
         l.AddMarker(t.TakeMarker(TSWFActionTry::kCatchSlot), false);
         l.Add<TSWFActionNextFrame>();
         l.AddMarker(t.TakeMarker(TSWFActionTry::kFinallySlot), false);
       },
       "8F 09 00 03 01 00 02 00 01 00 65 00  07  06 06  04  00"},
      {"Try with finally only: the catch size is 0",
       [](TSWFActionList& l) {
         auto& t = l.Add<TSWFActionTry>();
         t.HasFinally = true;
         l.Add<TSWFActionStop>();
         l.AddMarker(t.TakeMarker(TSWFActionTry::kTrySlot), false);
         l.Add<TSWFActionNextFrame>();
         l.AddMarker(t.TakeMarker(TSWFActionTry::kFinallySlot), false);
       },
       "8F 08 00 02 01 00 00 00 01 00 00  07  04  00"},
      {"Try with an empty try block, catching into a register",
       [](TSWFActionList& l) {
         auto& t = l.Add<TSWFActionTry>();
         t.HasCatch = t.CatchInRegister = true;
         t.CatchRegister = 1;
         l.AddMarker(t.TakeMarker(TSWFActionTry::kTrySlot), false);
         l.Add<TSWFActionStop>();
         l.AddMarker(t.TakeMarker(TSWFActionTry::kCatchSlot), false);
       },
       "8F 08 00 05 00 00 01 00 00 00 01  07  00"},
      {"a branch whose marker is never placed writes its stored number",
       [](TSWFActionList& l) {
         auto& jump = l.Add<TSWFActionJump>();
         jump.SetBranchOffset(5);
         jump.StaticOffset = false;
         jump.Marker();
       },
       "99 02 00 05 00  00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFActionList list;
    c.build(list);
    const Bytes written = WriteList(list);
    EXPECT_EQ(ToHex(written), ToHex(Hex(c.bytes)));
    // Writing again gives the same bytes.
    EXPECT_EQ(WriteList(list), written);
    // Read back, the branches land on the same records.
    auto read = ReadList(written);
    EXPECT_EQ(Targets(*read), Targets(list));
    // Written from the markers the reader placed, the bytes stay the same.
    LinkBranchesToMarkers(*read);
    EXPECT_EQ(WriteList(*read), written);
  }
}

TEST(ActionBranches, StaticBranchesKeepTheirNumberAndTheirMarkerPatchesNothing) {
  TSWFActionList list;
  auto& jump = list.Add<TSWFActionJump>();
  list.Add<TSWFActionStop>();
  list.AddMarker(jump.TakeMarker(), false);
  list.Add<TSWFActionStop>();
  list.Add<TSWFActionStop>();
  jump.SetBranchOffset(3);
  EXPECT_EQ(ToHex(WriteList(list)), ToHex(Hex("99 02 00 03 00  07 07 07  00")));
  jump.StaticOffset = false;
  EXPECT_EQ(ToHex(WriteList(list)), ToHex(Hex("99 02 00 01 00  07 07 07  00")));
}

TEST(ActionBranches, MistakesFailTheWriteInsteadOfWritingWrongNumbers) {
  {
    TSWFActionList list;
    auto& jump = list.Add<TSWFActionJump>();
    PushString(list, std::string(40000, 'x').c_str());
    list.AddMarker(jump.TakeMarker(), false);
    EXPECT_THROW(WriteList(list), ESWFError);
  }
  {
    TSWFActionList list;
    auto& top = list.AddMarker();
    PushString(list, std::string(40000, 'x').c_str());
    list.Add<TSWFActionJump>().SetMarker(&top);
    EXPECT_THROW(WriteList(list), ESWFError);
  }
  {
    // A body longer than its 16-bit length can say.
    TSWFActionList list;
    list.Add<TSWFActionConstantPool>().Constants.assign(2, std::string(40000, 'c'));
    EXPECT_THROW(WriteList(list), ESWFError);
  }
  {
    // A forward marker placed before its branch.
    TSWFActionList list;
    auto jump = std::make_unique<TSWFActionJump>();
    list.AddMarker(jump->TakeMarker(), false);
    list.Add(std::move(jump));
    EXPECT_THROW(WriteList(list), ESWFError);
  }
  {
    // A backward marker placed after its branch.
    TSWFActionList list;
    auto& jump = list.Add<TSWFActionJump>();
    list.AddMarker(jump.TakeMarker(), true);
    EXPECT_THROW(WriteList(list), ESWFError);
  }
  {
    // Two forward branches to one marker: the first one's placeholder would stay.
    TSWFActionList list;
    auto& first = list.Add<TSWFActionJump>();
    auto& second = list.Add<TSWFActionIf>();
    auto& m = list.AddMarker(first.TakeMarker(), false);
    second.SetMarker(&m);
    EXPECT_THROW(WriteList(list), ESWFError);
  }
  {
    // The catch block's marker placed before the try block's.
    TSWFActionList list;
    auto& t = list.Add<TSWFActionTry>();
    t.HasCatch = true;
    list.AddMarker(t.TakeMarker(TSWFActionTry::kCatchSlot), false);
    list.Add<TSWFActionStop>();
    list.AddMarker(t.TakeMarker(TSWFActionTry::kTrySlot), false);
    EXPECT_THROW(WriteList(list), ESWFError);
  }
}

TEST(ActionBranches, MarkersWorkWhereverTheTagLiesInTheStream) {
  // The tag writer writes a short body four bytes further than where it ends up, and a sprite
  // writes its tags after its own header: the patched numbers must move with the body.
  for (int stops : {2, 80}) {
    SCOPED_TRACE(stops);
    TSWFActionList list;
    auto& jump = list.Add<TSWFActionIf>();
    for (int i = 0; i < stops; ++i) list.Add<TSWFActionStop>();
    list.AddMarker(jump.TakeMarker(), false);
    auto& top = list.AddMarker();
    list.Add<TSWFActionJump>().SetMarker(&top);
    const Bytes body = WriteList(list);
    ASSERT_EQ(body[3], stops);
    ASSERT_EQ(body.size(), 3u + 2 + stops + 5 + 1);

    TSWFDefineSprite sprite;
    sprite.SpriteID = 1;
    sprite.ControlTags.push_back(std::make_unique<TSWFDoAction>(list));
    const Bytes spriteBody = WriteBody(sprite);
    const size_t header = body.size() > 62 ? 6 : 2;
    ASSERT_EQ(spriteBody.size(), 4 + header + body.size() + 2);
    EXPECT_EQ(Bytes(spriteBody.begin() + 4 + static_cast<ptrdiff_t>(header), spriteBody.end() - 2), body);
  }
}

// ---- copying ---------------------------------------------------------------------------------

TEST(ActionBranches, CopiesLinkTheirBranchesToTheirOwnMarkers) {
  auto source = std::make_unique<TSWFActionList>();
  auto& top = source->AddMarker();
  auto& t = source->Add<TSWFActionTry>();
  t.HasCatch = t.HasFinally = true;
  t.CatchName = "e";
  auto& exit = source->Add<TSWFActionIf>();
  source->Add<TSWFActionStop>();
  source->AddMarker(exit.TakeMarker(), false);
  source->AddMarker(t.TakeMarker(TSWFActionTry::kTrySlot), false);
  source->Add<TSWFActionPlay>();
  source->AddMarker(t.TakeMarker(TSWFActionTry::kCatchSlot), false);
  source->Add<TSWFActionJump>().SetMarker(&top);
  source->AddMarker(t.TakeMarker(TSWFActionTry::kFinallySlot), false);
  const Bytes expected = WriteList(*source);

  TSWFActionList copy;
  copy.Add<TSWFActionNextFrame>();  // records are appended after what the list holds
  CopyActionList(*source, copy);
  ASSERT_EQ(copy.Count(), source->Count() + 1);
  for (size_t i = 0; i < source->Count(); ++i) {
    const auto* branch = dynamic_cast<const TSWFBranchAction*>(&(*source)[i]);
    if (!branch) continue;
    const auto& copied = dynamic_cast<const TSWFBranchAction&>(copy[i + 1]);
    for (size_t slot = 0; slot < branch->MarkerCount(); ++slot) {
      if (!branch->FindMarker(slot)) continue;
      EXPECT_EQ(IndexOf(copy, copied.FindMarker(slot)), IndexOf(*source, branch->FindMarker(slot)) + 1);
    }
  }
  EXPECT_NE(dynamic_cast<TSWFTryOffsetMarker*>(copy.Last()), nullptr) << "a Try's marker stays one";
  source.reset();
  Bytes withPrefix = Hex("04");
  withPrefix.insert(withPrefix.end(), expected.begin(), expected.end());
  EXPECT_EQ(ToHex(WriteList(copy)), ToHex(withPrefix));
}

TEST(ActionBranches, LinkedListsOfAFileKeepTheirBranchesAcrossEdits) {
  // If over a Stop, then a Jump back to the start.
  auto list = ReadList(Hex("9D 02 00 01 00  07  99 02 00 F5 FF"));
  ASSERT_EQ(Shape(*list), "M 9D 07 M 99");
  LinkBranchesToMarkers(*list);
  list->Insert(2, std::make_unique<TSWFActionTrace>());
  EXPECT_EQ(ToHex(WriteList(*list)), ToHex(Hex("9D 02 00 02 00  26 07  99 02 00 F4 FF  00")));
}

}  // namespace
}  // namespace tw::test
