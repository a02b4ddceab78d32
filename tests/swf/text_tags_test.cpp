// Text tags against bytes cut out of real movies, and the layouts that writing must get right.
#include "swf/text_tags.h"

#include "tag_case_table.h"

namespace tw::test {
namespace {
using namespace tw::swf;

TEST(TextTags, ReadAndWriteRealBytes) {
  const TagCase<TSWFDefineText> texts[] = {
      {"DefineText \"-_-\" in one record", "swfcrate__DefineFont-MX.swf", 3,
       [](const TSWFDefineText& t) {
         EXPECT_EQ(t.CharacterId, 2);
         EXPECT_EQ(t.TextBounds, TSWFRect(24, 82, 773, 369));
         EXPECT_EQ(t.GlyphBits, 1);
         EXPECT_EQ(t.AdvanceBits, 9);
         ASSERT_EQ(t.TextRecords.size(), 1u);
         const TSWFTextRecord& r = t.TextRecords[0];
         EXPECT_TRUE(r.HasFont && r.HasColor && r.HasYOffset);
         EXPECT_FALSE(r.HasXOffset);
         EXPECT_EQ(r.FontId(), 1);
         EXPECT_EQ(r.TextHeight(), 320);
         EXPECT_EQ(r.YOffset(), 322);
         EXPECT_EQ(r.GlyphEntries,
                   (std::vector<TSWFGlyphEntry>{{145, 0}, {203, 1}, {145, 0}}));
       }},
      {"DefineText whose second record only adds glyphs", "avm2__statictext_text__test.swf", 2,
       [](const TSWFDefineText& t) {
         EXPECT_EQ(t.CharacterId, 2);
         ASSERT_EQ(t.TextRecords.size(), 2u);
         EXPECT_EQ(t.TextRecords[0].FontId(), 5);
         EXPECT_EQ(t.TextRecords[0].GlyphEntries, (std::vector<TSWFGlyphEntry>{{200, 1}}));
         const TSWFTextRecord& second = t.TextRecords[1];
         EXPECT_FALSE(second.HasFont || second.HasColor || second.HasXOffset || second.HasYOffset);
         EXPECT_EQ(second.GlyphEntries, (std::vector<TSWFGlyphEntry>{{0, 2}}));
       }},
  };
  CheckTagCases<TSWFDefineText>(texts);

  const TagCase<TSWFDefineText2> texts2[] = {
      {"DefineText2 with a translucent colour", "swfcrate__DefineText2-MX.swf", 3,
       [](const TSWFDefineText2& t) {
         EXPECT_TRUE(t.HasAlpha);
         ASSERT_EQ(t.TextRecords.size(), 1u);
         const TSWFRGBA& c = t.TextRecords[0].GetTextColor();
         EXPECT_EQ(c.R, 0xF0);
         EXPECT_EQ(c.A, 0x80);
         EXPECT_EQ(t.MinVersion(), 3);
       }},
      {"DefineText2 of three records, no advance bits", "avm2__statictext_text__test.swf", 9,
       [](const TSWFDefineText2& t) {
         EXPECT_EQ(t.AdvanceBits, 0);
         ASSERT_EQ(t.TextRecords.size(), 3u);
         EXPECT_EQ(t.TextRecords[1].FontId(), 50);
         EXPECT_EQ(t.TextRecords[1].TextHeight(), 200);
         EXPECT_EQ(t.TextRecords[2].GlyphEntries, (std::vector<TSWFGlyphEntry>{{0, 1}}));
       }},
  };
  CheckTagCases<TSWFDefineText2>(texts2);

  const TagCase<TSWFDefineEditText> edits[] = {
      {"HTML text authored as a static text", "swfcrate__DefineFont3-CS6.swf", 5,
       [](const TSWFDefineEditText& t) {
         EXPECT_TRUE(t.WasStatic);
         EXPECT_TRUE(t.HTML && t.UseOutlines && t.HasLayout && t.ReadOnly && t.Multiline);
         EXPECT_FALSE(t.HasFontClass || t.WordWrap || t.AutoSize);
         EXPECT_EQ(t.FontID, 1);
         EXPECT_EQ(t.FontHeight, 360);
         EXPECT_EQ(t.Align, 3);
         EXPECT_EQ(t.LeftMargin, 60);
         EXPECT_EQ(t.RightMargin, 80);
         EXPECT_EQ(t.Indent, 20);
         EXPECT_EQ(t.Leading, 40);
         EXPECT_TRUE(t.VariableName.empty());
         EXPECT_EQ(t.InitialText.substr(0, 19), "<p align=\"justify\">");
       }},
      {"variable and text of a version 4 movie", "swfcrate__DefineEditText-MX.swf", 2,
       [](const TSWFDefineEditText& t) {
         EXPECT_FALSE(t.WasStatic);
         EXPECT_TRUE(t.Border);
         EXPECT_EQ(t.GetTextColor().GetRGBA(), MakeRGBA(0, 0xFF, 0, 0xFF));
         EXPECT_EQ(t.VariableName, "foo");
         EXPECT_EQ(t.InitialText, "-_-");
         EXPECT_EQ(t.MinVersion(), 4);
       }},
  };
  CheckTagCases<TSWFDefineEditText>(edits);

  const TagCase<TSWFCSMTextSettings> settings[] = {
      {"subpixel grid fit", "swfcrate__DefineFont3-CS6.swf", 6,
       [](const TSWFCSMTextSettings& t) {
         EXPECT_EQ(t.TextID, 2);
         EXPECT_EQ(t.UseFlashType, 1);
         EXPECT_EQ(t.GridFit, 2);  // all three bits
         EXPECT_EQ(t.Thickness, 1.0f);
         EXPECT_EQ(t.Sharpness, 2.0f);
       }},
      {"pixel grid fit", "avm1__selection__test.swf", 13,
       [](const TSWFCSMTextSettings& t) {
         EXPECT_EQ(t.TextID, 4);
         EXPECT_EQ(t.GridFit, 1);
       }},
  };
  CheckTagCases<TSWFCSMTextSettings>(settings);
}

TEST(TextTags, TextRecordsWriteOnlyWhatTheySet) {
  struct Case {
    const char* name;
    std::function<void(TSWFTextRecord&)> set;
    bool alpha;
    const char* bytes;
  };
  const Case cases[] = {
      {"only a colour", [](TSWFTextRecord& r) { r.TextColor().SetRGB({1, 2, 3}); }, false,
       "84 01 02 03 00"},
      {"only a colour, with alpha",
       [](TSWFTextRecord& r) { r.TextColor().SetRGBA(MakeRGBA(1, 2, 3, 4)); }, true,
       "84 01 02 03 04 00"},
      {"font and height", [](TSWFTextRecord& r) { r.SetFontId(3); r.SetTextHeight(240); }, false,
       "88 03 00 F0 00 00"},
      {"both offsets", [](TSWFTextRecord& r) { r.SetXOffset(-1); r.SetYOffset(2); }, false,
       "83 FF FF 02 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFTextRecord r;
    r.HasAlpha = c.alpha;
    c.set(r);
    TMemoryStream s;
    TBitsEngine be(s);
    r.Write(be, 0, 0);
    EXPECT_EQ(ToHex(s.Bytes()), c.bytes);
  }
}

TEST(TextTags, GlyphWidthsNeverCutAnEntry) {
  TSWFDefineText text;
  TSWFTextRecord& r = text.TextRecords.emplace_back();
  r.GlyphEntries = {{-3, 5}, {100, 0}};
  text.GlyphBits = 1;  // too narrow for index 5
  text.AdvanceBits = 8;
  const auto back = ReadTag<TSWFDefineText>(WriteBody(text));
  EXPECT_EQ(back->GlyphBits, 3);
  EXPECT_EQ(back->AdvanceBits, 8);  // wide enough as set
  EXPECT_EQ(back->TextRecords.at(0).GlyphEntries, r.GlyphEntries);
}

TEST(TextTags, EditTextFontClassByVersion) {
  struct Case {
    const char* name;
    uint8_t version;
    const char* fontClass;
    bool hasFont;
    const char* bytes;
  };
  const Case cases[] = {
      // id, empty RECT, flags 01 (HasFont) and 00, font 3, height 240, variable "", no text
      {"version 9 without a class", 9, "", true, "01 00 00 01 00 03 00 F0 00 00"},
      // A class is written only from version 9 on; below, the font id stands alone.
      {"version 8 ignores a class", 8, "F", true, "01 00 00 01 00 03 00 F0 00 00"},
      // flags 00 and 80 (HasFontClass), the class, then the height that goes with it
      {"version 10 names its font by class", 10, "F", false, "01 00 00 00 80 46 00 F0 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFDefineEditText t;
    t.CharacterId = 1;
    t.FontClass = c.fontClass;
    t.HasFont = c.hasFont;
    t.FontID = 3;
    t.FontHeight = 240;
    const Bytes body = WriteBody(t, {.Version = c.version});
    EXPECT_EQ(ToHex(body), c.bytes);
    TSWFReadContext context;
    context.Version = c.version;
    const auto back = ReadTag<TSWFDefineEditText>(body, context);
    EXPECT_EQ(back->FontHeight, 240);
    EXPECT_EQ(back->HasFontClass, c.version >= 9 && *c.fontClass);
    EXPECT_EQ(back->MinVersion(), back->HasFontClass ? 9 : 4);
  }
}

TEST(TextTags, EditTextStringsAreUTF8FromVersion6ExceptHTML) {
  struct Case {
    const char* name;
    uint8_t version;
    bool html;
    const char* text;  // the bytes after the variable name
  };
  const Case cases[] = {
      {"version 5: as stored", 5, false, "E9 00"},
      {"version 6: UTF-8", 6, false, "C3 A9 00"},
      {"version 6, HTML: as stored", 6, true, "E9 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFDefineEditText t;
    t.HTML = c.html;
    t.HasText = true;
    t.InitialText = "\xE9";
    const Bytes body = WriteBody(t, {.Version = c.version});
    // id, RECT, two flag bytes, empty variable name
    EXPECT_EQ(ToHex(Bytes(body.begin() + 6, body.end())), c.text);
  }
  TSWFDefineEditText wide;
  wide.HasText = true;
  wide.InitialText = "ignored";
  wide.WideInitialText.push_back(u'\u263A');  // the smiling face
  const Bytes body = WriteBody(wide);
  EXPECT_EQ(ToHex(Bytes(body.begin() + 6, body.end())), "E2 98 BA 00");
}

TEST(TextTags, IdsForRenumbering) {
  TSWFDefineText text;
  text.CharacterId = 4;
  text.TextRecords.emplace_back().SetFontId(1);
  text.TextRecords.emplace_back();  // sets no font: nothing to renumber
  std::vector<uint16_t> defined, referenced;
  text.VisitDefinedIDs([&](uint16_t& id) { defined.push_back(id); });
  text.VisitReferencedIDs([&](uint16_t& id) { referenced.push_back(id); id = 9; });
  EXPECT_EQ(defined, (std::vector<uint16_t>{4}));
  EXPECT_EQ(referenced, (std::vector<uint16_t>{1}));
  EXPECT_EQ(text.TextRecords[0].FontId(), 9);

  TSWFDefineEditText edit;
  edit.FontID = 7;
  referenced.clear();
  edit.VisitReferencedIDs([&](uint16_t& id) { referenced.push_back(id); });
  EXPECT_TRUE(referenced.empty()) << "a text without a font refers to none";
}

}  // namespace
}  // namespace tw::test
