// Placements and removals: tags cut out of corpus movies, read with their movie's version and
// written back; then the layouts and rules that the corpus does not show (flag widths by version,
// key codes, the PlaceObject2 form of a PlaceObject3, colour transforms beyond the usual range).
#include <functional>

#include "display_fields.h"
#include "support/testing.h"

namespace tw::test {
namespace {
using namespace tw::swf;

template <class T>
struct Case {
  const char* name;
  const char* file;
  size_t index;     // the tag's index at the top level
  uint8_t version;  // the movie's
  std::function<void(const T&)> check;
  // The body our writer gives, when it is a second encoding of the same fields.
  const char* written = nullptr;
};

// Reads each row with its movie's version (actions decoded), checks it, writes it back, and
// copies it; a second encoding must read back to the same fields.
template <class T>
void CheckCases(std::span<const Case<T>> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t version = 0;
    const Bytes body = TagBodyFromCorpus(c.file, c.index, &version);
    ASSERT_EQ(version, c.version);
    TSWFReadContext context;
    context.Version = version;
    context.ParseActions = true;
    const auto tag = ReadTag<T>(body, context);
    c.check(*tag);
    const std::string fields = DisplayFieldsText(*tag);  // as read, before writing
    const Bytes written = WriteBody(*tag, WriteContextOf(context));
    EXPECT_EQ(ToHex(written), ToHex(c.written ? Hex(c.written) : body));
    if (c.written) {
      EXPECT_EQ(DisplayFieldsText(*ReadTag<T>(written, context)), fields);
    }
    auto copy = CloneTag(*tag);
    EXPECT_EQ(WriteBody(*copy, WriteContextOf(context)), written);
  }
}

// The bytes a list of actions writes, End code included.
std::string ActionBytes(const TSWFActionList& list) {
  TMemoryStream s;
  TBitsEngine be(s);
  WriteActionList(be, const_cast<TSWFActionList&>(list));
  return ToHex(s.Bytes());
}

// ---- real tags -------------------------------------------------------------------------------

const Case<TSWFPlaceObject> kPlaceObjectCases[] = {
    {"a button placed by a version 1 movie", "swfcrate__DefineButton-MX.swf", 4, 1,
     [](const TSWFPlaceObject& t) {
       EXPECT_EQ(t.CharacterId, 3);
       EXPECT_EQ(t.Depth, 1);
       EXPECT_EQ(t.Matrix.TranslateX, 750);
       EXPECT_EQ(t.Matrix.TranslateY, 460);
       EXPECT_FALSE(t.Matrix.HasScale);
       EXPECT_FALSE(t.HasColorTransform) << "no bytes left for one";
     }},
};

const Case<TSWFPlaceObject2> kPlaceObject2Cases[] = {
    {"a name and a colour transform that adds and multiplies", "avm1__color__test.swf", 6, 15,
     [](const TSWFPlaceObject2& t) {
       EXPECT_EQ(t.Depth, 3);
       EXPECT_TRUE(t.HasCharacter);
       EXPECT_EQ(t.CharacterId, 2);
       EXPECT_FALSE(t.Move);
       EXPECT_EQ(t.Name, "mc2");
       ASSERT_NE(t.FindColorTransform(), nullptr);
       const TSWFColorTransform& c = *t.FindColorTransform();
       EXPECT_EQ(std::vector<int>({c.MultR, c.MultG, c.MultB, c.MultA}),
                 std::vector<int>({192, 128, 64, 256}));
       EXPECT_EQ(std::vector<int>({c.AddR, c.AddG, c.AddB, c.AddA}),
                 std::vector<int>({255, 128, 64, -64}));
       EXPECT_FALSE(t.HasClipActions);
     }},
    {"three clip actions of a version 11 movie, one for a key",
     "swfcrate__PlaceObject2-ClipActions-CS6.swf", 4, 11,
     [](const TSWFPlaceObject2& t) {
       ASSERT_TRUE(t.HasClipActions);
       const TSWFClipActions& clip = *t.FindClipActions();
       EXPECT_EQ(clip.AllEventFlags, uint32_t{ceEnterFrame | ceRelease | cePress | ceKeyPress});
       ASSERT_EQ(clip.Count(), 3u);
       EXPECT_EQ(clip.Records[0]->EventFlags, uint32_t{ceRelease | cePress});
       EXPECT_EQ(ActionBytes(clip.Records[0]->Actions), "96 03 00 00 41 00 26 00");  // trace("A")
       EXPECT_EQ(clip.Records[1]->EventFlags, uint32_t{ceKeyPress});
       EXPECT_EQ(clip.Records[1]->KeyCode, 'c');
       EXPECT_EQ(clip.Records[2]->EventFlags, uint32_t{ceEnterFrame});
       EXPECT_EQ(t.MinVersion(), 6) << "a key press came with 6";
     }},
    {"a clip action of a version 5 movie: two-byte event flags",
     "swfcrate__PlaceObject2-ClipActionsV5-CS6.swf", 3, 5,
     [](const TSWFPlaceObject2& t) {
       const TSWFClipActions& clip = *t.FindClipActions();
       EXPECT_EQ(clip.AllEventFlags, uint32_t{ceEnterFrame});
       ASSERT_EQ(clip.Count(), 1u);
       EXPECT_EQ(ActionBytes(clip.Records[0]->Actions), "96 06 00 00 63 6C 69 70 00 26 00");
       EXPECT_EQ(t.MinVersion(), 5);
     }},
    {"clip actions without actions or End code: a key press with only its key code, a key up "
     "of size 0",
     "timeline__clip_action_no_key_code__original.swf", 4, 8,
     [](const TSWFPlaceObject2& t) {
       EXPECT_EQ(t.Name, "patch1");
       const TSWFClipActions& clip = *t.FindClipActions();
       EXPECT_EQ(clip.AllEventFlags, 0u);
       ASSERT_EQ(clip.Count(), 2u);
       EXPECT_EQ(clip.Records[0]->EventFlags, uint32_t{ceKeyPress});
       EXPECT_EQ(clip.Records[0]->KeyCode, 0);
       EXPECT_FALSE(clip.Records[0]->EndCode);
       EXPECT_EQ(clip.Records[1]->EventFlags, uint32_t{ceKeyUp});
       EXPECT_FALSE(clip.Records[1]->EndCode);
       EXPECT_TRUE(clip.Records[1]->Actions.Empty());
     }},
    {"a skew of zero in 1-bit fields comes back without bits",
     "avm1__clip_event_propagation_order__test.swf", 19, 8,
     [](const TSWFPlaceObject2& t) {
       ASSERT_NE(t.FindMatrix(), nullptr);
       EXPECT_TRUE(t.FindMatrix()->HasSkew);
       EXPECT_EQ(t.FindMatrix()->SkewX, 0);
       EXPECT_EQ(t.FindMatrix()->ScaleX, 65536);
       EXPECT_TRUE(t.HasRatio);
       EXPECT_EQ(t.Name, "main_mc");
     },
     "36 00 00 04 00 C9 00 00 40 00 20 00 00 00 6D 61 69 6E 5F 6D 63 00"},
};

const Case<TSWFPlaceObject3> kPlaceObject3Cases[] = {
    {"every field: clip actions, three filters, blend mode, cache, visibility, background",
     "swfcrate__PlaceObject3-theworks.swf", 4, 11,
     [](const TSWFPlaceObject3& t) {
       EXPECT_EQ(t.Depth, 1);
       EXPECT_EQ(t.CharacterId, 2);
       EXPECT_EQ(t.FindMatrix()->ScaleX, 2 * 65536);
       EXPECT_EQ(t.Name, "test");
       EXPECT_EQ(t.FindColorTransform()->MultA, 256);
       EXPECT_EQ(t.FindColorTransform()->AddA, 80);
       EXPECT_TRUE(t.HasBlendMode);
       EXPECT_EQ(t.BlendMode, 7);  // difference
       EXPECT_TRUE(t.CacheAsBitmap);
       EXPECT_EQ(t.BitmapCache, 1);
       EXPECT_TRUE(t.HasVisible);
       EXPECT_EQ(t.Visible, 0);
       EXPECT_TRUE(t.HasOpaqueBackground);
       EXPECT_EQ(FieldText(t.OpaqueBackground), "#FF0000FF");
       ASSERT_NE(t.FindFilters(), nullptr);
       ASSERT_EQ(t.FindFilters()->Count(), 3u);
       const auto& bevel = dynamic_cast<const TSWFGradientBevelFilter&>(t.FindFilters()->Filter(0));
       ASSERT_EQ(bevel.Stops.size(), 3u);
       EXPECT_EQ(FieldText(bevel.Stops[0].Color), "#FF0000FF");
       EXPECT_EQ(bevel.Stops[1].Ratio, 128);
       EXPECT_EQ(bevel.Stops[2].Ratio, 255);
       EXPECT_EQ(bevel.BlurX, 5.0);
       EXPECT_EQ(bevel.Angle, 0xC90F / 65536.0);  // pi / 4
       EXPECT_EQ(bevel.Strength, 1.0);
       EXPECT_TRUE(bevel.InnerShadow && bevel.Knockout && bevel.CompositeSource);
       EXPECT_FALSE(bevel.OnTop);
       EXPECT_EQ(bevel.Passes, 3);
       EXPECT_EQ(t.FindFilters()->Filter(1).FilterID, fidGradientGlow);
       const auto& blur = dynamic_cast<const TSWFBlurFilter&>(t.FindFilters()->Filter(2));
       EXPECT_EQ(blur.BlurX, 30.0);
       EXPECT_EQ(blur.BlurY, 20.0);
       EXPECT_EQ(blur.Passes, 2);
       EXPECT_EQ(t.FindClipActions()->AllEventFlags,
                 uint32_t{ceRollOver | ceReleaseOutside | ceData});
       EXPECT_EQ(t.FindClipActions()->Count(), 2u);
       EXPECT_EQ(t.MinVersion(), 8);
     }},
    {"the image flag with a character and no class name, version 15",
     "swfcrate__PlaceObject3-Image.swf", 5, 15,
     [](const TSWFPlaceObject3& t) {
       EXPECT_TRUE(t.HasImage);
       EXPECT_FALSE(t.HasClassName);
       EXPECT_EQ(t.CharacterId, 1);
       EXPECT_EQ(t.MinVersion(), 9);
     }},
    {"two blurs", "avm2__blur_filter__test.swf", 6, 15,
     [](const TSWFPlaceObject3& t) {
       ASSERT_EQ(t.FindFilters()->Count(), 2u);
       const auto& blur = dynamic_cast<const TSWFBlurFilter&>(t.FindFilters()->Filter(0));
       EXPECT_EQ(blur.BlurX, 5.0);
       EXPECT_EQ(blur.BlurY, 5.0);
       EXPECT_EQ(blur.Passes, 1);
     }},
    {"a glow and a blur over an added red", "from_shumway__acid__acid-filter-2__test.swf", 5, 27,
     [](const TSWFPlaceObject3& t) {
       EXPECT_EQ(t.FindColorTransform()->AddR, 255);
       const auto& glow = dynamic_cast<const TSWFGlowFilter&>(t.FindFilters()->Filter(0));
       EXPECT_EQ(FieldText(glow.Color), "#000000FF");
       EXPECT_EQ(glow.BlurX, 50.0);
       EXPECT_EQ(glow.Strength, 1.0);
       EXPECT_EQ(glow.Passes, 1);
       EXPECT_TRUE(glow.CompositeSource);
       EXPECT_EQ(t.FindFilters()->Filter(1).FilterID, fidBlur);
     }},
    {"an inner drop shadow at an angle of a full turn",
     "visual__filters__drop_shadow_angles__test.swf", 9, 15,
     [](const TSWFPlaceObject3& t) {
       const auto& shadow = dynamic_cast<const TSWFDropShadowFilter&>(t.FindFilters()->Filter(0));
       EXPECT_EQ(shadow.BlurX, 5.0);
       EXPECT_EQ(shadow.Angle, 0x6487E / 65536.0);  // 2 pi in 16.16
       EXPECT_EQ(shadow.Distance, -21.0);
       EXPECT_EQ(shadow.Strength, 1.0);
       EXPECT_TRUE(shadow.InnerShadow);
       EXPECT_TRUE(shadow.CompositeSource);
       EXPECT_EQ(shadow.Passes, 1);
     }},
    {"a colour matrix twice", "avm2__color_matrix_filter__test.swf", 6, 15,
     [](const TSWFPlaceObject3& t) {
       const auto& m = dynamic_cast<const TSWFColorMatrixFilter&>(t.FindFilters()->Filter(0));
       EXPECT_EQ(m.Values[0], 1.0f);
       EXPECT_EQ(m.Values[1], 0.0f);
     }},
    {"blend mode darken", "visual__blend_modes__darken__test.swf", 23, 15,
     [](const TSWFPlaceObject3& t) {
       EXPECT_TRUE(t.HasBlendMode);
       EXPECT_EQ(t.BlendMode, 6);
       EXPECT_EQ(t.FindFilters(), nullptr);
     }},
    {"bitmap caching with its value byte", "visual__cache_as_bitmap__masks__test.swf", 10, 15,
     [](const TSWFPlaceObject3& t) {
       EXPECT_TRUE(t.CacheAsBitmap);
       EXPECT_EQ(t.BitmapCache, 1);
       EXPECT_EQ(t.Name, "circles_2");
     }},
};

TEST(PlaceObject, ReadsAndWritesRealTags) { CheckCases<TSWFPlaceObject>(kPlaceObjectCases); }
TEST(PlaceObject2, ReadsAndWritesRealTags) { CheckCases<TSWFPlaceObject2>(kPlaceObject2Cases); }
TEST(PlaceObject3, ReadsAndWritesRealTags) { CheckCases<TSWFPlaceObject3>(kPlaceObject3Cases); }

TEST(RemoveObject2, ReadsAndWritesRealTags) {
  const Bytes body = TagBodyFromCorpus("avm1__goto_frame__test.swf", 16);
  const auto tag = ReadTag<TSWFRemoveObject2>(body);
  EXPECT_EQ(tag->Depth, 1);
  EXPECT_EQ(WriteBody(*tag), body);
  EXPECT_EQ(tag->MinVersion(), 3);
}

// ---- layouts the corpus does not show --------------------------------------------------------

TEST(PlaceObject2, WritesTheFieldsInTheirOrder) {
  struct Row {
    const char* name;
    std::function<void(TSWFPlaceObject2&)> build;
    const char* body;
  };
  const Row rows[] = {
      {"a move of depth 1 and nothing else", [](TSWFPlaceObject2& t) {
         t.Depth = 1;
         t.Move = true;
       }, "01 01 00"},
      {"character, ratio, name, clip depth: the name after the ratio, before the clip depth",
       [](TSWFPlaceObject2& t) {
         t.Depth = 2;
         t.SetCharacterId(7);
         t.SetRatio(3);
         t.SetName("a");
         t.SetClipDepth(9);
       },
       "72 02 00 07 00 03 00 61 00 09 00"},
      {"a translation and an empty colour transform", [](TSWFPlaceObject2& t) {
         t.Depth = 1;
         t.Matrix().SetTranslate(20, -20);
         t.ColorTransform();
       }, "0C 01 00 0C A5 80 00"},
      {"an empty name clears its flag", [](TSWFPlaceObject2& t) {
         t.Depth = 1;
         t.SetName("x");
         t.SetName("");
       }, "00 01 00"},
      {"clip actions present but empty are not written", [](TSWFPlaceObject2& t) {
         t.Depth = 1;
         t.ClipActions();
       }, "00 01 00"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TSWFPlaceObject2 tag;
    row.build(tag);
    EXPECT_EQ(ToHex(WriteBody(tag)), ToHex(Hex(row.body)));
  }
}

// Event flags take two bytes before version 6 and four from then on; a key press writes its key
// code after the size, which counts it.
TEST(PlaceObject2, ClipEventWidthsFollowTheVersion) {
  struct Row {
    uint8_t version;
    const char* body;
  };
  const Row rows[] = {
      // flags, depth 1; reserved word; all events; record (KeyUp): flags, size 2, Stop + End;
      // end flag
      {5, "80 01 00  00 00  80 00  80 00 02 00 00 00 07 00  00 00"},
      {6, "80 01 00  00 00  80 00 00 00  80 00 00 00 02 00 00 00 07 00  00 00 00 00"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(int{row.version});
    TSWFPlaceObject2 tag;
    tag.Depth = 1;
    tag.ClipActions().AddClipAction(ceKeyUp).Actions.Add(CreateActionByCode(0x07));
    EXPECT_EQ(ToHex(WriteBody(tag, {.Version = row.version})), ToHex(Hex(row.body)));
    TSWFReadContext context;
    context.Version = row.version;
    context.ParseActions = true;
    const auto back = ReadTag<TSWFPlaceObject2>(Hex(row.body), context);
    EXPECT_EQ(DisplayFieldsText(*back), DisplayFieldsText(tag));
  }

  TSWFPlaceObject2 key;
  key.Depth = 1;
  TSWFClipActionRecord& record = key.ClipActions().AddClipAction(0, 13);
  EXPECT_EQ(record.EventFlags, uint32_t{ceKeyPress}) << "a key code sets the key press event";
  EXPECT_EQ(key.FindClipActions()->AllEventFlags, uint32_t{ceKeyPress});
  // all events, then the record: its events, size 2 (key code and End), key code 13, End
  EXPECT_EQ(ToHex(WriteBody(key, {.Version = 6})), ToHex(Hex("80 01 00 00 00 00 00 02 00 00 00 02 00 02 00 00 00"
                                             " 0D 00 00 00 00 00")));
  record.SetKeyCode(0);
  EXPECT_EQ(record.EventFlags, 0u);

  // Clip actions need 5; an event that came with 6 needs 6.
  TSWFPlaceObject2 old;
  EXPECT_EQ(old.MinVersion(), 3);
  old.ClipActions().AddClipAction(ceLoad);
  EXPECT_EQ(old.MinVersion(), 5);
  old.ClipActions().AddClipAction(ceConstruct);
  EXPECT_EQ(old.MinVersion(), 6);

  // The width follows the movie written into, not the one read from: a PlaceObject3 read from a
  // version 5 movie writes narrow flags into a version 5 movie and wide ones into a version 8 one.
  const Bytes narrow = Hex("80 00 01 00  00 00  80 00  80 00 02 00 00 00 07 00  00 00");
  const Bytes wide =
      Hex("80 00 01 00  00 00  80 00 00 00  80 00 00 00 02 00 00 00 07 00  00 00 00 00");
  TSWFReadContext version5;
  version5.Version = 5;
  const auto placed = ReadTag<TSWFPlaceObject3>(narrow, version5);
  EXPECT_EQ(ToHex(WriteBody(*placed, {.Version = 5})), ToHex(narrow));
  EXPECT_EQ(ToHex(WriteBody(*placed, {.Version = 8})), ToHex(wide));
}

// Clip actions are written back as they were read: the reserved word, a list without a record
// and the bytes after the end flag, also after a class name that is not UTF-8. Read with version
// 16 and decoded actions, written for 16, twice and from a copy.
TEST(PlaceObject3, ClipActionsWriteBackAsRead) {
  struct Row {
    const char* name;
    const char* body;
  };
  const Row rows[] = {
      // flags, second flags, depth 1; reserved word; all events (Load); record: Load, size 1,
      // End; end flag
      {"a nonzero reserved word",
       "80 00 01 00  FB 00  01 00 00 00  01 00 00 00 01 00 00 00 00  00 00 00 00"},
      {"a class name that is not UTF-8",
       "80 08 01 00 FF FE 00  00 00  01 00 00 00  01 00 00 00 01 00 00 00 00  00 00 00 00"},
      {"no record, bytes after the end flag",
       "80 00 01 00  01 00  3B 00 00 00  00 00 00 00  31 00"},
  };
  TSWFReadContext context;
  context.Version = 16;
  context.ParseActions = true;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes body = Hex(row.body);
    const auto tag = ReadTag<TSWFPlaceObject3>(body, context);
    EXPECT_EQ(ToHex(WriteBody(*tag, WriteContextOf(context))), ToHex(body));
    EXPECT_EQ(ToHex(WriteBody(*tag, WriteContextOf(context))), ToHex(body));
    EXPECT_EQ(ToHex(WriteBody(*CloneTag(*tag), WriteContextOf(context))), ToHex(body));
  }
}

TEST(PlaceObject2, ClipEventsMapToTheirWireBits) {
  // KeyUp is the top bit of the first byte, Data the lowest of the second, DragOut the lowest
  // of the third; the reserved bits keep their places.
  EXPECT_EQ(ClipEventsToWire(ceKeyUp), 0x80u);
  EXPECT_EQ(ClipEventsToWire(ceLoad), 0x01u);
  EXPECT_EQ(ClipEventsToWire(ceDragOver), 0x8000u);
  EXPECT_EQ(ClipEventsToWire(ceData), 0x0100u);
  EXPECT_EQ(ClipEventsToWire(ceConstruct), 0x040000u);
  EXPECT_EQ(ClipEventsToWire(ceKeyPress), 0x020000u);
  EXPECT_EQ(ClipEventsToWire(ceDragOut), 0x010000u);
  EXPECT_EQ(ClipEventsToWire(0x80000000u), 0x80000000u);
  for (uint32_t bit = 1; bit; bit <<= 1) EXPECT_EQ(ClipEventsFromWire(ClipEventsToWire(bit)), bit);
  EXPECT_EQ(ClipEventNames(ceEnterFrame | ceKeyPress | 0x100000u), "EnterFrame,KeyPress,0x100000");
}

// A file may multiply a colour by more than 1 (a multiply of 512 doubles it) or add beyond
// 255: the record's setters clamp, so reading, copying and writing go around them.
TEST(PlaceObject2, ColourTransformsKeepTheFileValues) {
  TSWFPlaceObject2 source;
  source.Depth = 1;
  TSWFColorTransform& c = source.ColorTransform();
  c.HasMult = c.HasAdd = true;
  c.MultR = 512;
  c.MultG = c.MultB = c.MultA = 256;
  c.AddR = -300;
  c.AddG = c.AddB = c.AddA = 0;
  const Bytes body = WriteBody(source);
  const auto read = ReadTag<TSWFPlaceObject2>(body);
  EXPECT_EQ(read->FindColorTransform()->MultR, 512);
  EXPECT_EQ(read->FindColorTransform()->AddR, -300);
  auto copy = CloneTag(*read);
  EXPECT_EQ(WriteBody(*copy), body);

  const Bytes place1 = Hex("01 00 02 00 00 6D 00 00 00 00");  // CXFORM: mult 512,0,0 in 11 bits
  const auto p1 = ReadTag<TSWFPlaceObject>(place1);
  EXPECT_EQ(p1->ColorTransform.MultR, 512);
  EXPECT_EQ(WriteBody(*CloneTag(*p1)), place1);
}

// A colour transform is written in the width it was read with, also one without terms (whose
// width field is there all the same); a term the program sets takes the smallest width again.
TEST(PlaceObject2, ColourTransformsKeepTheWidthTheyWereReadWith) {
  struct Row {
    const char* name;
    uint16_t code;
    const char* body;
    std::function<void(TSWFColorTransform&)> change = nullptr;
    const char* changed = nullptr;  // the body after the change
  };
  const Row rows[] = {
      {"no terms, a width of 15", 26, "08 01 00  3C"},
      {"add terms 1, 2, 3, 4 in 15 bits", 26, "08 01 00  BC 00 08 00 20 00 60 01 00",
       [](TSWFColorTransform& c) { c.SetAddR(5); }, "08 01 00  91 48 D0"},
      {"a PlaceObject: multiply terms without alpha in 12 bits", 4,
       "01 00 01 00 00  70 40 04 00 20 00"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes body = Hex(row.body);
    if (row.code == 4) {
      const auto tag = ReadTag<TSWFPlaceObject>(body);
      EXPECT_EQ(ToHex(WriteBody(*tag)), ToHex(body));
      EXPECT_EQ(ToHex(WriteBody(*CloneTag(*tag))), ToHex(body));
      continue;
    }
    const auto tag = ReadTag<TSWFPlaceObject2>(body);
    EXPECT_EQ(ToHex(WriteBody(*tag)), ToHex(body));
    EXPECT_EQ(ToHex(WriteBody(*CloneTag(*tag))), ToHex(body));
    if (row.change) {
      row.change(tag->ColorTransform());
      EXPECT_EQ(ToHex(WriteBody(*tag)), ToHex(Hex(row.changed)));
    }
  }
}

TEST(PlaceObject3, SecondFlagsAndTheFieldsTheyAnnounce) {
  TSWFPlaceObject3 tag;
  tag.Depth = 3;
  tag.SetCharacterId(4);
  tag.SetClassName("Pic");
  tag.HasImage = true;
  tag.SetBlendMode(3);
  tag.Filters().Add<TSWFBlurFilter>();
  tag.CacheAsBitmap = true;
  const char* body =
      "02 1F 03 00 50 69 63 00 04 00"      // character; image, class, cache, blend, filters;
                                           // depth, class name, character
      " 01 01 00 00 00 00 00 00 00 00 08"  // one blur: 0, 0, passes 1
      " 03 01";                            // multiply; cache
  EXPECT_EQ(ToHex(WriteBody(tag)), ToHex(Hex(body)));
  EXPECT_EQ(tag.MinVersion(), 9);
  TSWFReadContext version10;
  version10.Version = 10;
  const auto back = ReadTag<TSWFPlaceObject3>(Hex(body), version10);
  EXPECT_TRUE(back->HasImage) << "read in every version";
  EXPECT_EQ(back->ClassName, "Pic");
  EXPECT_EQ(DisplayFieldsText(*back), DisplayFieldsText(tag));

  // The PlaceObject2 form: no second flags byte, class name, filters, blend mode or cache.
  tag.SaveAsPlaceObject2 = true;
  EXPECT_EQ(ToHex(WriteBody(tag)), ToHex(Hex("02 03 00 04 00")));

  // A mode of 0 or 1 (normal) does not mark the blend mode present.
  TSWFPlaceObject3 normal;
  normal.SetBlendMode(1);
  EXPECT_FALSE(normal.HasBlendMode);
  EXPECT_EQ(normal.MinVersion(), 8);
}

// A copy shares nothing: changing it leaves the source as it was.
TEST(PlaceObject3, AssignCopiesDeeply) {
  uint8_t version = 0;
  const Bytes body = TagBodyFromCorpus("swfcrate__PlaceObject3-theworks.swf", 4, &version);
  TSWFReadContext context;
  context.Version = version;
  context.ParseActions = true;
  const auto source = ReadTag<TSWFPlaceObject3>(body, context);
  const std::string before = DisplayFieldsText(*source);
  TSWFPlaceObject3 copy;
  copy.Assign(*source);
  EXPECT_EQ(DisplayFieldsText(copy), before);
  copy.Matrix().TranslateX = 1;
  copy.ColorTransform().MultR = 1;
  dynamic_cast<TSWFBlurFilter&>(copy.Filters().Filter(2)).BlurX = 99;
  copy.ClipActions().Records[0]->Actions.Clear();
  copy.ClipActions().AddClipAction(ceLoad);
  EXPECT_EQ(DisplayFieldsText(*source), before);
  EXPECT_EQ(WriteBody(*source, WriteContextOf(context)), body);

  // What the source lacks, the copy loses.
  TSWFPlaceObject3 bare;
  copy.Assign(bare);
  EXPECT_EQ(copy.FindMatrix(), nullptr);
  EXPECT_EQ(copy.FindFilters(), nullptr);
  EXPECT_EQ(copy.FindClipActions(), nullptr);
  EXPECT_EQ(ToHex(WriteBody(copy)), "00 00 00 00");
}

TEST(Removals, WriteTheirFieldsAndReferToTheCharacter) {
  TSWFRemoveObject remove;
  remove.CharacterId = 5;
  remove.Depth = 2;
  EXPECT_EQ(ToHex(WriteBody(remove)), "05 00 02 00");
  remove.VisitReferencedIDs([](uint16_t& id) { id = 50; });
  EXPECT_EQ(remove.CharacterId, 50);
  EXPECT_EQ(remove.MinVersion(), 1);
  const auto back = ReadTag<TSWFRemoveObject>(Hex("05 00 02 00"));
  EXPECT_EQ(back->CharacterId, 5);
  EXPECT_EQ(back->Depth, 2);

  // A placement without a character refers to none.
  TSWFPlaceObject2 move;
  move.Move = true;
  int visited = 0;
  move.VisitReferencedIDs([&](uint16_t&) { ++visited; });
  EXPECT_EQ(visited, 0);
}

// Bytes a movie carries after the end of its clip actions are kept and written back, by every
// kind of placement with clip actions and in both widths of event flags.
TEST(PlaceObject2, BytesAfterTheClipActionsAreKept) {
  struct Row {
    const char* name;
    uint16_t code;
    uint8_t version;
    const char* body;
  };
  const Row rows[] = {
      {"two-byte flags", 26, 5, "80 01 00  00 00  80 00  80 00 02 00 00 00 07 00  00 00  EE"},
      {"four-byte flags", 26, 6,
       "80 01 00  00 00  80 00 00 00  80 00 00 00 02 00 00 00 07 00  00 00 00 00  AB CD"},
      {"a PlaceObject3", 70, 8,
       "80 00 01 00  00 00  80 00 00 00  80 00 00 00 02 00 00 00 07 00  00 00 00 00  01 02 03"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TSWFReadContext context;
    context.Version = row.version;
    context.ParseActions = true;
    std::unique_ptr<TSWFPlaceObject2> tag;
    if (row.code == 70) tag = ReadTag<TSWFPlaceObject3>(Hex(row.body), context);
    else tag = ReadTag<TSWFPlaceObject2>(Hex(row.body), context);
    ASSERT_NE(tag->FindClipActions(), nullptr);
    EXPECT_EQ(tag->FindClipActions()->Count(), 1u);
    EXPECT_EQ(ToHex(WriteBody(*tag, WriteContextOf(context))), ToHex(Hex(row.body)));
    EXPECT_EQ(ToHex(WriteBody(*CloneTag(*tag), WriteContextOf(context))), ToHex(Hex(row.body)));
  }
}

// Damaged clip actions fail the read (the reader then keeps the tag raw), they never read past
// the body.
TEST(PlaceObject2, DamagedClipActionsFail) {
  const char* bodies[] = {
      "80 01 00 00 00 80 00 80 00 09 00 00 00 07 00",  // a size beyond the body
      "80 01 00 00",                                    // cut in the reserved word
      "80 01 00 00 00 80 00 80 00 02",                  // cut in the size
  };
  TSWFReadContext context;
  context.ParseActions = true;
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    EXPECT_THROW(ReadTag<TSWFPlaceObject2>(Hex(body), context), ESWFError);
  }
}

}  // namespace
}  // namespace tw::test
