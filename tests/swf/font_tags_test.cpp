// Font tags against bytes cut out of real movies, and the cases where writing must choose.
#include "swf/font_tags.h"

#include "tag_case_table.h"

namespace tw::test {
namespace {
using namespace tw::swf;

const TSWFStyleChangeRecord& StyleChange(const TShapeRecordList& glyph, size_t i) {
  return dynamic_cast<const TSWFStyleChangeRecord&>(*glyph.at(i));
}

TEST(FontTags, ReadAndWriteRealBytes) {
  const TagCase<TSWFDefineFont> fonts[] = {
      {"DefineFont of two glyphs", "swfcrate__DefineFont-MX.swf", 1,
       [](const TSWFDefineFont& t) {
         EXPECT_EQ(t.FontId, 1);
         ASSERT_EQ(t.GlyphShapeTable.size(), 2u);
         // The outline starts at (389, -280) selecting fill 1, and ends with an end record.
         const auto& first = StyleChange(t.GlyphShapeTable[0], 0);
         EXPECT_TRUE(first.StateMoveTo);
         EXPECT_EQ(first.X, 389);
         EXPECT_EQ(first.Y, -280);
         EXPECT_TRUE(first.StateFillStyle1);
         EXPECT_EQ(first.Fill1(), 1);
         EXPECT_EQ(t.GlyphShapeTable[0].back()->Kind, TShapeRecordKind::End);
       }},
  };
  CheckTagCases<TSWFDefineFont>(fonts);

  const TagCase<TSWFDefineFontInfo> infos[] = {
      {"DefineFontInfo of a version 1 movie", "swfcrate__DefineFont-MX.swf", 2,
       [](const TSWFDefineFontInfo& t) {
         EXPECT_EQ(t.FontId, 1);
         EXPECT_EQ(t.FontName, "Verdana");
         EXPECT_TRUE(t.ShiftJIS);
         EXPECT_FALSE(t.ANSI || t.Bold || t.Italic || t.SmallText || t.WideCodes);
         EXPECT_EQ(t.CodeTable, (std::vector<uint16_t>{'-', '_'}));
       }},
  };
  CheckTagCases<TSWFDefineFontInfo>(infos);

  const TagCase<TSWFDefineFontInfo2> infos2[] = {
      {"DefineFontInfo2 with 16-bit codes", "swfcrate__DefineText2-MX.swf", 2,
       [](const TSWFDefineFontInfo2& t) {
         EXPECT_EQ(t.FontName, "Verdana");
         EXPECT_EQ(t.LanguageCode, 1);
         EXPECT_TRUE(t.Bold && t.Italic && t.WideCodes);
         EXPECT_EQ(t.CodeTable, (std::vector<uint16_t>{'-', '_'}));
         EXPECT_EQ(t.MinVersion(), 6);
       }},
  };
  CheckTagCases<TSWFDefineFontInfo2>(infos2);

  const TagCase<TSWFDefineFont2> fonts2[] = {
      {"DefineFont2 whose empty glyphs have inverted bounds", "avm2__statictext_text__test.swf",
       10,
       [](const TSWFDefineFont2& t) {
         EXPECT_EQ(t.FontId, 5);
         EXPECT_EQ(t.FontName, "NS");
         EXPECT_TRUE(t.HasLayout);
         EXPECT_FALSE(t.WideCodes || t.WideOffsets || t.ANSI);
         ASSERT_EQ(t.CodeTable.size(), 27u);
         EXPECT_EQ(t.CodeTable[0], ' ');
         EXPECT_EQ(t.CodeTable[1], 'A');
         EXPECT_EQ(t.FontAscent, 1095);
         EXPECT_EQ(t.FontDescent, 300);
         EXPECT_EQ(t.FontLeading, 371);
         EXPECT_EQ(t.FontAdvanceTable.at(0), 266);
         // The space has no outline: bounds from 2^30 - 1 down to 0, kept as they are.
         EXPECT_EQ(t.FontBoundsTable.at(0), (TSWFGlyphBounds{0x3FFFFFFF, 0, 0x3FFFFFFF, 0}));
         EXPECT_EQ(t.FontBoundsTable.at(1), (TSWFGlyphBounds{0, 653, -734, 0}));
         EXPECT_EQ(t.KerningCount(), 0u);
         // Its outline selects fill 0 only and ends.
         const auto& space = t.GlyphShapeTable.at(0);
         ASSERT_EQ(space.size(), 2u);
         EXPECT_TRUE(StyleChange(space, 0).StateFillStyle0);
         EXPECT_FALSE(StyleChange(space, 0).StateFillStyle1);
       }},
      {"DefineFont2 without glyphs, with its code table offset", "swfcrate__DefineEditText-MX.swf",
       1,
       [](const TSWFDefineFont2& t) {
         EXPECT_EQ(t.FontName, "Verdana");
         EXPECT_TRUE(t.ANSI);
         EXPECT_TRUE(t.CodeTable.empty());
         EXPECT_TRUE(t.GlyphShapeTable.empty());
       }},
      {"DefineFont2 with a zero bounds RECT: written in 0 bits instead of 1",
       "swfcrate__DefineFont2-CS6.swf", 1,
       [](const TSWFDefineFont2& t) {
         EXPECT_EQ(t.FontName, std::string("Verdana\0", 8));  // the zero is part of the name
         EXPECT_EQ(t.CodeTable, (std::vector<uint16_t>{'!'}));
         EXPECT_EQ(t.FontAdvanceTable, (std::vector<int16_t>{403}));
         EXPECT_EQ(t.FontBoundsTable.at(0), TSWFGlyphBounds());
       },
       EraseBytes({58})},
  };
  CheckTagCases<TSWFDefineFont2>(fonts2);

  const TagCase<TSWFDefineFont3> fonts3[] = {
      {"DefineFont3 with inverted bounds", "text__br_at_start__test.swf", 4,
       [](const TSWFDefineFont3& t) {
         EXPECT_EQ(t.FontName, std::string("Times New Roman\0", 16));
         EXPECT_EQ(t.LanguageCode, 1);
         EXPECT_TRUE(t.WideCodes);
         EXPECT_EQ(t.CodeTable.size(), 27u);
         EXPECT_EQ(t.FontAscent, 21900);
         EXPECT_EQ(t.FontBoundsTable.at(1), (TSWFGlyphBounds{1020, 10640, -11180, 200}));
         EXPECT_EQ(t.MinVersion(), 8);
       }},
      {"DefineFont3 with kerning; two zero bounds RECTs written in 0 bits",
       "swfcrate__DefineFont3-CS6.swf", 2,
       [](const TSWFDefineFont3& t) {
         EXPECT_EQ(t.CodeTable, (std::vector<uint16_t>{'A', 'B'}));
         ASSERT_EQ(t.KerningCount(), 4u);
         EXPECT_EQ(t.KerningTable[0], (TSWFKerningRecord{-5000, 'A', 'A'}));
       },
       EraseBytes({69, 71})},
      {"DefineFont3 without glyphs gains its code table offset",
       "avm1__selection__test.swf", 10,
       [](const TSWFDefineFont3& t) {
         EXPECT_EQ(t.FontName, std::string("Arial\0", 6));
         EXPECT_TRUE(t.CodeTable.empty());
         // A Unicode font without glyphs is not re-labelled ANSI.
         EXPECT_FALSE(t.ANSI);
       },
       AppendBytes(Hex("02 00"))},
  };
  CheckTagCases<TSWFDefineFont3>(fonts3);

  const TagCase<TSWFDefineFontAlignZones> zones[] = {
      {"two zones of two items", "swfcrate__DefineFont3-CS6.swf", 3,
       [](const TSWFDefineFontAlignZones& t) {
         EXPECT_EQ(t.FontId, 1);
         EXPECT_EQ(t.CSMTableHint, 0);
         ASSERT_EQ(t.ZoneTable.size(), 2u);
         EXPECT_EQ(t.ZoneTable[0].ZoneData,
                   (std::vector<TSWFZoneData>{{0x332A, 0}, {0, 0x42CE}}));
         EXPECT_TRUE(t.ZoneTable[0].MaskX && t.ZoneTable[0].MaskY);
       }},
      {"a table hint and no zones", "avm1__selection__test.swf", 11,
       [](const TSWFDefineFontAlignZones& t) {
         EXPECT_EQ(t.FontId, 3);
         EXPECT_EQ(t.CSMTableHint, 1);
         EXPECT_TRUE(t.ZoneTable.empty());
       }},
  };
  CheckTagCases<TSWFDefineFontAlignZones>(zones);

  const TagCase<TSWFDefineFontName> names[] = {
      {"name and copyright", "swfcrate__DefineFont3-CS6.swf", 4,
       [](const TSWFDefineFontName& t) {
         EXPECT_EQ(t.FontId, 1);
         EXPECT_EQ(t.FontName, "Dummy");
         EXPECT_EQ(t.FontCopyright, "Typeface \xC2\xA9 (your company). 2017. All Rights Reserved");
       }},
  };
  CheckTagCases<TSWFDefineFontName>(names);
}

// A glyph: a move selecting fill 1, one edge, the end.
TShapeRecordList Glyph(int32_t dx, int32_t dy, int edges = 1) {
  TShapeRecordList glyph;
  auto move = std::make_unique<TSWFStyleChangeRecord>();
  move->SetMoveTo(10, 20);
  move->SetFill1(1);
  glyph.push_back(std::move(move));
  for (int i = 0; i < edges; ++i)
    glyph.push_back(std::make_unique<TSWFStraightEdgeRecord>(dx, dy));
  glyph.push_back(std::make_unique<TSWFEndShapeRecord>());
  return glyph;
}

void AddGlyphs(TSWFDefineFont2& font, size_t codes, int edgesPerGlyph = 1) {
  for (size_t i = 0; i < codes; ++i) {
    font.CodeTable.push_back(static_cast<uint16_t>(i));
    font.GlyphShapeTable.push_back(Glyph(100, 0, edgesPerGlyph));
  }
}

TEST(FontTags, OffsetWidthFollowsGlyphCountAndSize) {
  struct Case {
    const char* name;
    size_t codes;
    int edgesPerGlyph;
    bool wide;
  };
  const Case cases[] = {
      {"128 glyphs: 16-bit offsets", 128, 1, false},
      {"129 glyphs: 32-bit offsets", 129, 1, true},
      // Two glyphs of 20000 edges: 75 KB of outlines do not fit 16-bit offsets.
      {"more than 64 KB of outlines in two glyphs: 32-bit offsets", 2, 20000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFDefineFont2 font;
    AddGlyphs(font, c.codes, c.edgesPerGlyph);
    const Bytes body = WriteBody(font);
    EXPECT_FALSE(font.WideOffsets) << "the width is the write's choice; the field stays";
    EXPECT_EQ((body[2] & 0x08) != 0, c.wide);  // the flags byte
    // The first offset is the length of the offset table, which holds a code table offset too.
    const size_t table = 7;  // id, flags, language, empty name, glyph count
    const uint32_t first = c.wide ? body[table] | body[table + 1] << 8 | body[table + 2] << 16
                                  : body[table] | body[table + 1] << 8;
    EXPECT_EQ(first, (c.codes + 1) * (c.wide ? 4 : 2));
    const auto back = ReadTag<TSWFDefineFont2>(body);
    const FieldComparison same = CompareFields(font, *back);
    EXPECT_TRUE(same.Same()) << same.Difference();
  }
}

TEST(FontTags, AFontWithoutGlyphsIsMarkedANSIWithoutLayout) {
  TSWFDefineFont2 font;
  font.FontId = 1;
  font.HasLayout = true;
  EXPECT_EQ(ToHex(WriteBody(font)), "01 00 10 00 00 00 00 02 00");
  // Unless it names another encoding.
  font.WideCodes = true;
  EXPECT_EQ(ToHex(WriteBody(font)), "01 00 04 00 00 00 00 02 00");
}

TEST(FontTags, AFirstStyleChangeWithoutFillSelectsFillOne) {
  TSWFDefineFont2 font;
  font.CodeTable = {'a'};
  TShapeRecordList glyph;
  auto move = std::make_unique<TSWFStyleChangeRecord>();
  move->SetMoveTo(5, 5);
  glyph.push_back(std::move(move));
  glyph.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 40));
  glyph.push_back(std::make_unique<TSWFEndShapeRecord>());
  font.GlyphShapeTable.push_back(std::move(glyph));
  const auto back = ReadTag<TSWFDefineFont2>(WriteBody(font));
  const auto& first = StyleChange(back->GlyphShapeTable.at(0), 0);
  EXPECT_TRUE(first.StateFillStyle1);
  EXPECT_EQ(first.Fill1(), 1);
  EXPECT_FALSE(first.StateFillStyle0);
  EXPECT_TRUE(first.StateLineStyle);
  EXPECT_TRUE(first.StateMoveTo);
  EXPECT_EQ(first.X, 5);
  // The object itself keeps its record as it was.
  EXPECT_FALSE(StyleChange(font.GlyphShapeTable[0], 0).StateFillStyle1);
}

TEST(FontTags, GlyphIndicesWiderThanOneBitAreKept) {
  TSWFDefineFont font;
  TShapeRecordList glyph = Glyph(0, 30);
  static_cast<TSWFStyleChangeRecord&>(*glyph[0]).SetFill1(3);
  font.GlyphShapeTable.push_back(std::move(glyph));
  const Bytes body = WriteBody(font);
  EXPECT_EQ(body[4], 0x20);  // two fill bits, no line bits
  const auto back = ReadTag<TSWFDefineFont>(body);
  EXPECT_EQ(StyleChange(back->GlyphShapeTable.at(0), 0).Fill1(), 3);
}

TEST(FontTags, IndicesAfterNewStylesTakeTheWidthsTheyBring) {
  // Glyphs read from a movie may carry new styles; a reader takes the widths those set for the
  // records after them, so a writer has to write those records with the same widths.
  TSWFDefineFont font;
  TShapeRecordList glyph = Glyph(0, 30);
  auto restyle = std::make_unique<TSWFStyleChangeRecord>();
  for (int i = 0; i < 5; ++i) restyle->NewFillStyles().push_back(std::make_unique<TSWFColorFill>());
  glyph.insert(glyph.end() - 1, std::move(restyle));
  auto select = std::make_unique<TSWFStyleChangeRecord>();
  select->SetFill1(5);
  glyph.insert(glyph.end() - 1, std::move(select));
  glyph.insert(glyph.end() - 1, std::make_unique<TSWFStraightEdgeRecord>(7, 0));
  font.GlyphShapeTable.push_back(std::move(glyph));
  const Bytes body = WriteBody(font);
  const auto back = ReadTag<TSWFDefineFont>(body);
  ASSERT_EQ(back->GlyphShapeTable.at(0).size(), 6u);
  EXPECT_EQ(StyleChange(back->GlyphShapeTable[0], 3).Fill1(), 5);
  EXPECT_EQ(WriteBody(*back), body);
}

TEST(FontTags, FontInfoNameIsUTF8FromVersion6) {
  struct Case {
    uint8_t version;
    const char* body;
  };
  const Case cases[] = {
      {5, "02 00 02 43 E9 00"},       // "Cé" as stored, 2 bytes
      {6, "02 00 03 43 C3 A9 00"},    // converted to UTF-8, 3 bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int{c.version});
    TSWFDefineFontInfo info;
    info.FontId = 2;
    info.FontName = "C\xE9";
    EXPECT_EQ(ToHex(WriteBody(info, {.Version = c.version})), c.body);
  }
  TSWFDefineFontInfo2 info2;
  info2.FontName = "C\xE9";
  info2.CodeTable = {'a'};
  EXPECT_EQ(ToHex(WriteBody(info2)), "00 00 03 43 C3 A9 01 00 61 00");
}

TEST(FontTags, EachFontInfoReadsTheCodesOfItsOwnFont) {
  TSWFDefineFont three, one;
  three.FontId = 1;
  one.FontId = 2;
  for (int i = 0; i < 3; ++i) three.GlyphShapeTable.push_back(Glyph(40, 0));
  one.GlyphShapeTable.push_back(Glyph(40, 0));
  TSWFDefineFontInfo info;
  info.FontId = 1;
  info.FontName = "Three";
  info.CodeTable = {'a', 'b', 'c'};
  // The info follows a font of another glyph count; a lone info has no font before it at all.
  for (const auto& tags : {std::vector<TSWFObject*>{&three, &one, &info},
                           std::vector<TSWFObject*>{&info}}) {
    TSWFStreamReader reader(MovieOf(tags));
    reader.ParseTags(true, false);
    const auto* read = dynamic_cast<const TSWFDefineFontInfo*>(
        reader.TagList.at(tags.size() - 1)->TagObject());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->CodeTable, info.CodeTable);
  }
}

TEST(FontTags, OverlappingGlyphOffsetsFailInsteadOfRereading) {
  // Two glyphs whose offsets run backwards: the second would start before the first.
  const Bytes body = Hex("01 00  04 00 02 00  10 00");
  EXPECT_THROW(ReadTag<TSWFDefineFont>(body), ESWFError);
}

TEST(FontTags, CopiesShareNoGlyphs) {
  auto font = std::make_unique<TSWFDefineFont3>();
  AddGlyphs(*font, 3);
  font->KerningTable.push_back({-20, 0, 1});
  font->HasLayout = true;
  font->FontBoundsTable.resize(3, TSWFGlyphBounds{0x3FFFFFFF, 0, 0x3FFFFFFF, 0});
  const Bytes expected = WriteBody(*font);
  auto copy = CloneTag(*font);
  font.reset();
  EXPECT_EQ(WriteBody(*copy), expected);
}

}  // namespace
}  // namespace tw::test
