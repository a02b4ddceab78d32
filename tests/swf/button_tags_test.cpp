// Buttons: tags cut out of corpus movies, read with their movie's version and written back; the
// condition layout, offsets and sizes, the colour transform every DefineButton2 record carries,
// and the button sound entries.
#include <cstring>
#include <functional>

#include "display_fields.h"
#include "support/testing.h"

namespace tw::test {
namespace {
using namespace tw::swf;

struct Case {
  const char* name;
  const char* file;
  size_t index;     // the tag's index at the top level
  uint8_t version;  // the movie's
  std::function<void(const TSWFObject&)> check;
  const char* written = nullptr;  // our body, when it is a second encoding of the same fields
};

std::unique_ptr<TSWFObject> ReadCorpusTag(const Case& c, Bytes& body) {
  uint8_t version = 0;
  body = TagBodyFromCorpus(c.file, c.index, &version);
  EXPECT_EQ(version, c.version);
  TSWFStreamReader reader(CorpusFile("swf", c.file));
  reader.ParseTags(false, false);
  auto tag = CreateTagObject(reader.TagInfo(c.index).TagCode);
  TSWFReadContext context;
  context.Version = version;
  context.ParseActions = true;
  tag->SetReadContext(context);
  tag->BodySize = static_cast<int32_t>(body.size());
  TMemoryStream view = TMemoryStream::View(body);
  TBitsEngine be(view);
  tag->ReadFromStream(be);
  return tag;
}

std::string ActionBytes(const TSWFActionList& list) {
  TMemoryStream s;
  TBitsEngine be(s);
  WriteActionList(be, const_cast<TSWFActionList&>(list));
  return ToHex(s.Bytes());
}

// trace("<text>"): Push of the string, Trace, End.
std::string TraceBytes(const std::string& text) {
  Bytes b = {0x96, static_cast<uint8_t>(text.size() + 2), 0, 0};
  b.insert(b.end(), text.begin(), text.end());
  b.insert(b.end(), {0, 0x26, 0});
  return ToHex(b);
}

const Case kCases[] = {
    {"DefineButton of a version 2 movie: three records of one shape, no actions",
     "swfcrate__DefineButtonCxformSound-MX.swf", 4, 2,
     [](const TSWFObject& tag) {
       const auto& b = dynamic_cast<const TSWFDefineButton&>(tag);
       EXPECT_EQ(b.ButtonId, 3);
       ASSERT_EQ(b.Records.size(), 3u);
       EXPECT_EQ(b.Records[0]->States, bsUp);
       EXPECT_EQ(b.Records[1]->States, bsOver);
       EXPECT_EQ(b.Records[2]->States, bsDown | bsHitTest);
       EXPECT_EQ(b.Records[2]->CharacterId, 1);
       EXPECT_EQ(b.Records[2]->PlaceDepth, 1);
       EXPECT_EQ(b.Records[2]->Matrix.TranslateX, 650);
       EXPECT_FALSE(b.Records[0]->HasColorTransform);
       EXPECT_TRUE(b.Actions.Empty());
       EXPECT_TRUE(b.EndCode);
       EXPECT_EQ(b.MinVersion(), 3);
     }},
    {"DefineButton whose body ends after its records",
     "avm1__tab_ordering_properties__test.swf", 6, 8,
     [](const TSWFObject& tag) {
       const auto& b = dynamic_cast<const TSWFDefineButton&>(tag);
       EXPECT_TRUE(b.Records.empty());
       EXPECT_FALSE(b.EndCode);
     }},
    {"DefineButtonCxform with a transform for each of the three records",
     "swfcrate__DefineButtonCxformSound-MX.swf", 5, 2,
     [](const TSWFObject& tag) {
       const auto& c = dynamic_cast<const TSWFDefineButtonCxform&>(tag);
       EXPECT_EQ(c.ButtonId, 3);
       EXPECT_EQ(ColorTransformText(c.ColorTransform), "mult 256,0,0 add 1,0,0");
       ASSERT_EQ(c.FurtherTransforms.size(), 2u);
       EXPECT_EQ(ColorTransformText(c.FurtherTransforms[0]), "mult 0,256,0 add 0,1,0");
       EXPECT_EQ(ColorTransformText(c.FurtherTransforms[1]), "mult 0,0,256 add 0,0,1");
     }},
    {"DefineButtonSound: a sound on two transitions, one with loops",
     "swfcrate__DefineButtonCxformSound-MX.swf", 6, 2,
     [](const TSWFObject& tag) {
       const auto& s = dynamic_cast<const TSWFDefineButtonSound&>(tag);
       EXPECT_EQ(s.ButtonId, 3);
       EXPECT_EQ(s.FindSound(bseOverUpToIdle), nullptr);
       ASSERT_NE(s.FindSound(bseIdleToOverUp), nullptr);
       EXPECT_EQ(s.FindSound(bseIdleToOverUp)->ID, 2);
       const TSWFStartSound* press = s.FindSound(bseOverUpToOverDown);
       ASSERT_NE(press, nullptr);
       EXPECT_TRUE(press->SyncNoMultiple);
       EXPECT_EQ(press->LoopCount(), 2);
       EXPECT_EQ(s.FindSound(bseOverDownToOverUp), nullptr);
     }},
    {"DefineButton2 tracked as a menu: blend mode, a filter, two condition actions, one a key",
     "swfcrate__DefineButton2-CS6.swf", 5, 8,
     [](const TSWFObject& tag) {
       const auto& b = dynamic_cast<const TSWFDefineButton2&>(tag);
       EXPECT_EQ(b.ButtonId, 4);
       EXPECT_TRUE(b.TrackAsMenu);
       ASSERT_EQ(b.Records.size(), 2u);
       const TSWFButtonRecord& up = *b.Records[0];
       EXPECT_EQ(up.States, bsUp | bsOver);
       EXPECT_EQ(up.CharacterId, 2);
       EXPECT_TRUE(up.HasBlendMode);
       EXPECT_EQ(up.BlendMode, 7);
       ASSERT_NE(up.FindFilters(), nullptr);
       EXPECT_EQ(up.FindFilters()->Filter(0).FilterID, fidBlur);
       EXPECT_EQ(up.FindColorTransform()->AddR, 200);
       EXPECT_EQ(b.Records[1]->States, bsDown | bsHitTest);
       EXPECT_EQ(b.Records[1]->FindColorTransform()->MultG, 256);
       ASSERT_EQ(b.CondActions.size(), 2u);
       EXPECT_EQ(b.CondActions[0]->Conditions, bcOverDownToOverUp);
       EXPECT_EQ(ActionBytes(b.CondActions[0]->Actions), TraceBytes("A"));
       EXPECT_EQ(b.CondActions[1]->Conditions, 0);
       EXPECT_EQ(b.CondActions[1]->KeyPress, 3);
       EXPECT_EQ(ActionBytes(b.CondActions[1]->Actions), TraceBytes("B"));
     }},
    {"DefineButton2 with a condition for each transition and two keys",
     "avm1__button_key_events__test.swf", 3, 8,
     [](const TSWFObject& tag) {
       const auto& b = dynamic_cast<const TSWFDefineButton2&>(tag);
       // Each action traces the event its condition stands for.
       const std::pair<uint16_t, const char*> expected[] = {
           {bcIdleToOverDown, "dragOver"},     {bcOutDownToIdle, "releaseOutside"},
           {bcOutDownToOverDown, "dragOver 2"}, {bcOverDownToOutDown, "dragOut"},
           {bcOverDownToOverUp, "release"},    {bcOverUpToOverDown, "press"},
           {bcOverDownToOutDown, "dragOut 2"}};
       ASSERT_EQ(b.CondActions.size(), 9u);
       for (size_t i = 0; i < std::size(expected); ++i) {
         EXPECT_EQ(b.CondActions[i]->Conditions, expected[i].first) << i;
         EXPECT_NE(ActionBytes(b.CondActions[i]->Actions).find(ToHex(Bytes(
                       expected[i].second, expected[i].second + std::strlen(expected[i].second)))),
                   std::string::npos)
             << expected[i].second;
       }
       EXPECT_EQ(b.CondActions[7]->KeyPress, 'a');
       EXPECT_EQ(b.CondActions[8]->KeyPress, 'b');
     }},
    {"DefineButton2 of a version 5 movie without condition actions",
     "avm1__button_v5__test.swf", 7, 5,
     [](const TSWFObject& tag) {
       const auto& b = dynamic_cast<const TSWFDefineButton2&>(tag);
       ASSERT_EQ(b.Records.size(), 2u);
       EXPECT_EQ(b.Records[0]->States, bsUp | bsOver | bsDown);
       EXPECT_EQ(b.Records[1]->States, bsHitTest);
       EXPECT_TRUE(b.CondActions.empty());
     }},
};

TEST(Buttons, ReadAndWriteRealTags) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Bytes body;
    const auto tag = ReadCorpusTag(c, body);
    c.check(*tag);
    const std::string fields = DisplayFieldsText(*tag);  // as read, before writing
    const Bytes written = WriteBody(*tag);
    EXPECT_EQ(ToHex(written), ToHex(c.written ? Hex(c.written) : body));
    if (written != body) {
      auto again = CreateTagObject(tag->TagID);
      TSWFReadContext context;
      context.Version = c.version;
      context.ParseActions = true;
      again->SetReadContext(context);
      TMemoryStream view = TMemoryStream::View(written);
      TBitsEngine be(view);
      again->ReadFromStream(be);
      EXPECT_EQ(DisplayFieldsText(*again), fields);
    }
    EXPECT_EQ(WriteBody(*CloneTag(*tag)), written);
  }
}

TEST(DefineButton2, OffsetsAndSizesLeadToTheNextPart) {
  TSWFDefineButton2 button;
  button.ButtonId = 9;
  button.AddRecord(1, bsUp | bsOver, 1);  // no colour transform: the identity is written
  // Without condition actions the offset is 0 and the body ends after the records.
  EXPECT_EQ(ToHex(WriteBody(button)), ToHex(Hex("09 00 00 00 00  03 01 00 01 00 00 00  00")));
  button.Records[0]->ColorTransform();  // as a read record has it: the same bytes

  button.AddCondAction(bcOverDownToOverUp).Actions.Add(CreateActionByCode(0x07));  // Stop
  button.AddCondAction(0, 13);                                                      // Enter key
  const Bytes body = WriteBody(button);
  EXPECT_EQ(ToHex(body), ToHex(Hex("09 00 00 0A 00  03 01 00 01 00 00 00  00"
                                   "  06 00 08 00 07 00"      // size 6 leads to the next
                                   "  00 00 00 1A 00")));     // the last: size 0; 13 << 1
  const auto back = ReadTag<TSWFDefineButton2>(body, {5, true});
  EXPECT_EQ(DisplayFieldsText(*back), DisplayFieldsText(button));

  // OverDownToIdle is the low bit of the second condition byte, beside the key.
  TSWFDefineButton2 idle;
  idle.AddCondAction(bcOverDownToIdle | bcOutDownToOverDown, 1);
  EXPECT_EQ(ToHex(WriteBody(idle)), ToHex(Hex("00 00 00 03 00 00  00 00 20 03 00")));

  // A record that shows its character in no state would end the records: it is not written.
  TSWFDefineButton2 none;
  none.AddRecord(1, 0, 1);
  EXPECT_THROW(WriteBody(none), ESWFError);
}

TEST(DefineButton, ActionsEndTheBodyAndSetTheVersion) {
  TSWFDefineButton button;
  button.ButtonId = 2;
  button.AddRecord(5, bsHitTest, 3).ColorTransform();  // set: a DefineButton record carries it
  button.Actions.Add(CreateActionByCode(0x07));
  EXPECT_EQ(ToHex(WriteBody(button)), ToHex(Hex("02 00  08 05 00 03 00 00 00  00  07 00")));
  EXPECT_EQ(button.MinVersion(), 3);
  button.Actions.Add(CreateActionByCode(0x44));  // TypeOf, a version 5 record
  EXPECT_EQ(button.MinVersion(), 5);

  // Without decoding, the actions up to their End code are one raw record, and bytes after
  // the End code are not actions.
  const auto raw = ReadTag<TSWFDefineButton>(Hex("02 00 01 05 00 03 00 00 00 07 07 00 FF"));
  ASSERT_EQ(raw->Actions.Count(), 1u);
  EXPECT_EQ(raw->Actions[0].ActionCode, kActionByteCode);
  EXPECT_EQ(ToHex(WriteBody(*raw)), "02 00 01 05 00 03 00 00 00 07 07 00");
}

TEST(DefineButtonSound, AbsentEntriesAreZeroWords) {
  TSWFDefineButtonSound sound;
  sound.ButtonId = 4;
  sound.IdleToOverUp().ID = 6;
  EXPECT_EQ(ToHex(WriteBody(sound)), ToHex(Hex("04 00  00 00  06 00 00  00 00  00 00")));
  sound.OverUpToIdle();  // present, but with sound 0: still a zero word, and not copied
  TSWFDefineButtonSound copy;
  copy.Assign(sound);
  EXPECT_EQ(copy.FindSound(bseOverUpToIdle), nullptr);
  EXPECT_EQ(WriteBody(copy), WriteBody(sound));
  int ids = 0;
  copy.VisitReferencedIDs([&](uint16_t& id) {
    id = static_cast<uint16_t>(id + 100);
    ++ids;
  });
  EXPECT_EQ(ids, 2);
  EXPECT_EQ(copy.ButtonId, 104);
  EXPECT_EQ(copy.FindSound(bseIdleToOverUp)->ID, 106);
}

TEST(Buttons, RecordsCopyDeeplyAndKeepTheFileTransform) {
  TSWFDefineButton2 source;
  TSWFButtonRecord& record = source.AddRecord(1, bsUp, 1);
  record.ColorTransform().HasMult = true;
  record.ColorTransform().MultR = 600;  // beyond what the setters allow
  record.Filters().Add<TSWFGlowFilter>();
  record.HasBlendMode = true;
  record.BlendMode = 3;
  const Bytes body = WriteBody(source);
  TSWFDefineButton2 copy;
  copy.Assign(source);
  copy.Records[0]->ColorTransform().MultR = 1;
  copy.Records[0]->Filters().Clear();
  EXPECT_EQ(source.Records[0]->FindColorTransform()->MultR, 600);
  EXPECT_EQ(WriteBody(source), body);
  const auto back = ReadTag<TSWFDefineButton2>(body);
  EXPECT_EQ(back->Records[0]->FindColorTransform()->MultR, 600);
  EXPECT_EQ(DisplayFieldsText(*back), DisplayFieldsText(source));
}

}  // namespace
}  // namespace tw::test
