// DoAction and DoInitAction: decoded or raw by the reading context, inside sprites too, written
// over a list they do not own, copied deeply.
#include "support/action_testing.h"
#include "swf/action_push.h"
#include "swf/action_functions.h"
#include "swf/action_records.h"
#include "swf/action_tags.h"
#include "swf/sprite.h"

namespace tw::test {
namespace {
using namespace tw::swf;

TSWFReadContext Parse(bool parse) {
  TSWFReadContext context;
  context.ParseActions = parse;
  return context;
}

TEST(DoAction, ReadsDecodedOrRawAndWritesBack) {
  struct Case {
    const char* name;
    const char* body;
    bool parse;
    const char* shape;
    const char* written;  // null: the body
  };
  const Case cases[] = {
      {"raw: the records without the End code", "07 06 00", false, "[07 06]", nullptr},
      {"raw: an End code inside", "07 00 00", false, "[07 00]", nullptr},
      {"raw: only the End code", "00", false, "[]", nullptr},
      {"raw: a body without End code stays without", "07", false, "[07]", nullptr},
      {"raw: a jump past an inner End code", "99 02 00 02 00 07 00 06 00", false,
       "[99 02 00 02 00 07 00 06]", nullptr},
      {"decoded", "07 06 00", true, "07 06", nullptr},
      {"decoded: a jump past an inner End code", "99 02 00 02 00 07 00 06 00", true, "99 07 [00] M 06", nullptr},
      {"decoded: a body without End code stays without", "07", true, "07", nullptr},
      {"decoded: an empty body stays empty", "", true, "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes body = Hex(c.body);
    auto tag = ReadTag<TSWFDoAction>(body, Parse(c.parse));
    EXPECT_EQ(tag->ParseActions, c.parse);
    EXPECT_EQ(Shape(tag->Actions()), c.shape);
    EXPECT_EQ(ToHex(WriteBody(*tag)), ToHex(c.written ? Hex(c.written) : body));
  }
}

// A copied movie never looks at its scripts: a tag decodes its records only when they are asked
// for, writes the bytes it read until then, and from then on writes its records.
TEST(DoAction, DecodesOnlyWhenItsActionsAreAskedFor) {
  struct Case {
    const char* name;
    const char* body;
    bool parse;
    const char* shape;
    bool endCode;
    const char* withStop;  // written after a Stop is added
  };
  const Case cases[] = {
      {"decoded", "96 03 00 00 61 00 1C 00", true, "96 1C", true, "96 03 00 00 61 00 1C 07 00"},
      {"decoded: a jump past an inner End code", "99 02 00 02 00 07 00 06 00", true,
       "99 07 [00] M 06", true, "99 02 00 02 00 07 00 06 07 00"},
      {"decoded: without End code", "07", true, "07", false, "07 07"},
      {"raw", "07 06 00", false, "[07 06]", true, "07 06 07 00"},
      {"raw: without End code", "07 00 07", false, "[07 00 07]", false, "07 00 07 07"},
      {"empty", "", true, "", false, "07"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes body = Hex(c.body);
    auto tag = ReadTag<TSWFDoAction>(body, Parse(c.parse));
    EXPECT_FALSE(tag->ActionsDecoded());
    EXPECT_EQ(tag->EndCode, c.endCode);
    EXPECT_EQ(ToHex(WriteBody(*tag)), ToHex(body));
    auto copy = CloneTag(*tag);
    auto& copied = static_cast<TSWFDoAction&>(*copy);
    EXPECT_FALSE(tag->ActionsDecoded()) << "copying decoded the source";
    EXPECT_FALSE(copied.ActionsDecoded());
    EXPECT_EQ(ToHex(WriteBody(copied)), ToHex(body));

    // Asked through a const view, the records are those an eager read gives.
    const TSWFDoAction& view = *tag;
    EXPECT_EQ(Shape(view.Actions()), c.shape);
    EXPECT_TRUE(tag->ActionsDecoded());
    EXPECT_EQ(ToHex(WriteBody(*tag)), ToHex(body));

    // A change to the records is written, not the bytes read.
    copied.Actions().Add<TSWFActionStop>();
    EXPECT_EQ(ToHex(WriteBody(copied)), ToHex(Hex(c.withStop)));
  }
  // So is a changed End code of a tag never decoded.
  auto tag = ReadTag<TSWFDoAction>(Hex("07 06 00"), Parse(true));
  tag->EndCode = false;
  EXPECT_EQ(ToHex(WriteBody(*tag)), "07 06");
}

TEST(DoAction, MinVersionIsTheLargestOfItsRecordsAndAtLeastThree) {
  TSWFDoAction tag;
  EXPECT_EQ(tag.MinVersion(), 3);
  tag.Actions().Add<TSWFActionPush>().AddValue("a");
  EXPECT_EQ(tag.MinVersion(), 4);
  tag.Actions().Add<TSWFActionDefineFunction2>();
  EXPECT_EQ(tag.MinVersion(), 7);
  TSWFDoInitAction init;
  EXPECT_EQ(init.MinVersion(), 6);
}

TEST(DoAction, WritesOverAListItDoesNotOwn) {
  // Two values pushed by one record, then SetVariable: the builder's way to hand a value over.
  TSWFActionList list;
  const std::string value = "<p/>";
  auto& push = list.Add<TSWFActionPush>();
  push.AddValue("ParamsValue");
  push.AddValue(value);
  list.Add<TSWFActionSetVariable>();
  {
    TSWFDoAction tag(list);
    EXPECT_FALSE(tag.OwnsActions());
    const Bytes whole = WriteWhole(tag);
    Bytes body = Hex("96");
    body.push_back(static_cast<uint8_t>(15 + value.size()));
    body.push_back(0);
    const Bytes entries = Hex("00 50 61 72 61 6D 73 56 61 6C 75 65 00  00 3C 70 2F 3E 00  1D 00");
    body.insert(body.end(), entries.begin(), entries.end());
    Bytes expected = {static_cast<uint8_t>((12 << 6) | body.size()), static_cast<uint8_t>(12 >> 2)};
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(ToHex(whole), ToHex(expected));
  }
  EXPECT_EQ(list.Count(), 2u) << "the list outlives the tag";
  EXPECT_TRUE(TSWFDoAction().OwnsActions());
  // An empty list is the End code alone.
  TSWFActionList empty;
  TSWFDoAction tag(empty);
  EXPECT_EQ(WriteBody(tag), Hex("00"));
}

TEST(DoAction, CopiesAreDeep) {
  auto tag = ReadTag<TSWFDoAction>(Hex("99 02 00 01 00 07 06 00"), Parse(true));
  auto copy = CloneTag(*tag);
  auto& actions = static_cast<TSWFDoAction&>(*copy).Actions();
  EXPECT_TRUE(static_cast<TSWFDoAction&>(*copy).ParseActions);
  EXPECT_EQ(Shape(actions), "99 07 M 06");
  actions.Add<TSWFActionStop>();
  EXPECT_EQ(Shape(tag->Actions()), "99 07 M 06");
  EXPECT_EQ(WriteBody(*tag), Hex("99 02 00 01 00 07 06 00"));
}

TEST(DoInitAction, ReadsItsSpriteFirstAndRenumbersIt) {
  for (bool parse : {false, true}) {
    SCOPED_TRACE(parse);
    auto tag = ReadTag<TSWFDoInitAction>(Hex("05 00 07 00"), Parse(parse));
    EXPECT_EQ(tag->SpriteID, 5);
    EXPECT_EQ(Shape(tag->Actions()), parse ? "07" : "[07]");
    tag->VisitReferencedIDs([](uint16_t& id) { id = 9; });
    EXPECT_EQ(WriteBody(*tag), Hex("09 00 07 00"));
    auto copy = CloneTag(*tag);
    EXPECT_EQ(static_cast<TSWFDoInitAction&>(*copy).SpriteID, 9);
    TSWFFields fields;
    tag->Describe(fields);
    EXPECT_EQ(fields.front(), (std::pair<std::string, std::string>("sprite", "9")));
  }
  EXPECT_THROW(ReadTag<TSWFDoInitAction>(Hex("05"), Parse(true)), ESWFError);
}

// A movie whose sprites end without an End tag, each holding a DoAction.
constexpr const char* kSpriteMovie = "avm1__target_paths__swf4__test.swf";

std::vector<const TSWFDoAction*> SpriteActions(const TSWFStreamReader& reader) {
  std::vector<const TSWFDoAction*> found;
  for (const auto& info : reader.TagList) {
    const auto* sprite = dynamic_cast<const TSWFDefineSprite*>(info->TagObject());
    if (!sprite) continue;
    for (const auto& tag : sprite->ControlTags)
      if (const auto* a = dynamic_cast<const TSWFDoAction*>(tag.get())) found.push_back(a);
  }
  return found;
}

TEST(DoAction, TheReadingContextReachesActionsInsideSprites) {
  TSWFStreamReader reader(CorpusFile("swf", kSpriteMovie));
  reader.ParseTags(true, true);
  auto inner = SpriteActions(reader);
  ASSERT_FALSE(inner.empty());
  for (const auto* a : inner) {
    EXPECT_TRUE(a->ParseActions);
    EXPECT_GT(a->Actions().Count(), 1u);
  }
  reader.ParseTags(true, false);
  inner = SpriteActions(reader);
  ASSERT_FALSE(inner.empty());
  for (const auto* a : inner) EXPECT_EQ(Shape(a->Actions()).front(), '[');
}

TEST(DefineSprite, ASpriteWithoutEndTagIsReadAndWrittenBackAsItWas) {
  TSWFStreamReader reader(CorpusFile("swf", kSpriteMovie));
  const Bytes original(reader.BodyStream().Bytes().begin(), reader.BodyStream().Bytes().end());
  reader.ParseTags(true, true);
  size_t withoutEnd = 0;
  for (const auto& info : reader.TagList) {
    const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(info->TagObject());
    EXPECT_FALSE(raw && raw->RawTagID == 39) << "a sprite kept raw: " << raw->Text;
    if (const auto* s = dynamic_cast<const TSWFDefineSprite*>(info->TagObject())) withoutEnd += s->EndTagMissing;
  }
  EXPECT_EQ(withoutEnd, 2u);
  reader.BuildBody();
  EXPECT_EQ(Bytes(reader.BodyStream().Bytes().begin(), reader.BodyStream().Bytes().end()), original);
}

}  // namespace
}  // namespace tw::test
