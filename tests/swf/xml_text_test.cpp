// Text and font tags as XML: forms the corpus lacks compile to a movie whose XML is the text
// again, hand edits reach the movie, and bad edits are refused with their line.
#include <sstream>

#include "support/testing.h"
#include "swf/font_tags.h"
#include "swf/text_tags.h"
#include "swf/xml_movie.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// A one-frame movie of the given version around the given tags (each indented by two spaces).
std::string MovieXml(int version, std::string_view tags) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SWF Version=\"" + std::to_string(version) +
         "\" Compressed=\"false\" FrameRate=\"12\" FrameCount=\"1\">\n"
         "  <FrameSize Xmin=\"0\" Xmax=\"8000\" Ymin=\"0\" Ymax=\"6000\"/>\n" +
         std::string(tags) + "  <ShowFrame/>\n  <End/>\n</SWF>\n";
}

// The movie compiled from a text, read back from its bytes.
std::unique_ptr<TSWFStreamReader> CompiledAndRead(const std::string& text) {
  auto compiled = ReadMovieXml(text, "movie.xml");
  TMemoryStream out;
  compiled->SaveToStream(out);
  auto movie = std::make_unique<TSWFStreamReader>(out.Release());
  movie->ParseTags(true, true);
  return movie;
}

std::string ToXml(TSWFStreamReader& movie) {
  std::ostringstream out;
  WriteMovieXml(movie, out);
  return out.str();
}

template <class T>
T& FirstTag(TSWFStreamReader& movie) {
  for (const auto& info : movie.TagList)
    if (auto* tag = dynamic_cast<T*>(info->TagObject())) return *tag;
  throw std::runtime_error("no such tag in the movie");
}

TEST(XmlText, FormsTheCorpusLacksCompileToAMovieWhoseXmlIsTheTextAgain) {
  struct Case {
    int version;
    std::string_view tags;
  };
  const Case cases[] = {
      // Every field of an edit text at once, and a text of spaces only (XML drops blank text).
      {6, R"(  <DefineEditText CharacterId="3" FontID="1" FontHeight="240" TextColor="#10203040" MaxLength="12" Align="2" LeftMargin="20" RightMargin="40" Indent="-60" Leading="-2" VariableName="_root.title" WordWrap="true" Multiline="true" Password="true" ReadOnly="true" AutoSize="true" NoSelect="true" Border="true" WasStatic="true" HTML="true" UseOutlines="true">
    <Bounds Xmin="-40" Xmax="2000" Ymin="0" Ymax="400"/>
    <InitialText>&lt;p&gt;caf\xE9&lt;/p&gt;\nline\ttab \\ end</InitialText>
  </DefineEditText>
)"},
      {6, R"(  <DefineEditText CharacterId="4">
    <Bounds Xmin="0" Xmax="100" Ymin="0" Ymax="100"/>
    <InitialText>\x20  </InitialText>
  </DefineEditText>
)"},
      {6, R"(  <DefineEditText CharacterId="5">
    <Bounds Xmin="0" Xmax="100" Ymin="0" Ymax="100"/>
    <InitialText/>
  </DefineEditText>
)"},
      {5, R"(  <DefineEditText CharacterId="6" VariableName="caf\xE9">
    <Bounds Xmin="0" Xmax="100" Ymin="0" Ymax="100"/>
    <InitialText>caf\xE9</InitialText>
  </DefineEditText>
)"},
      {9, R"(  <DefineEditText CharacterId="7" FontClass="Fonts.Body" FontHeight="200">
    <Bounds Xmin="0" Xmax="100" Ymin="0" Ymax="100"/>
  </DefineEditText>
)"},
      // A NaN keeps its payload as bits; the reserved bits are kept.
      {8, R"(  <CSMTextSettings TextID="3" UseFlashType="1" GridFit="2" Thickness="-0.25" Sharpness="0x7FC00001" ReservedBits="5" Reserved="7"/>
)"},
      {8, R"(  <CSMTextSettings TextID="3" UseFlashType="0" GridFit="0" Thickness="inf" Sharpness="1e-45"/>
)"},
      // Half-precision zone values: the largest, a subnormal, minus zero, infinity, a NaN.
      {8, R"(  <DefineFontAlignZones FontId="1" CSMTableHint="2">
    <ZoneRecord MaskX="true" MaskY="true">
      <ZoneData AlignmentCoordinate="65504" Range="5.960464477539063e-08"/>
      <ZoneData AlignmentCoordinate="-0" Range="-inf"/>
    </ZoneRecord>
    <ZoneRecord>
      <ZoneData AlignmentCoordinate="0x7E01" Range="0.5"/>
    </ZoneRecord>
    <ZoneRecord MaskY="true"/>
  </DefineFontAlignZones>
)"},
      {5, R"(  <DefineFontInfo FontId="1" FontName="Caf\xE9" SmallText="true" ShiftJIS="true" ANSI="true" Italic="true" Bold="true">
    <CodeTable>32 65 255</CodeTable>
  </DefineFontInfo>
)"},
      {6, R"(  <DefineFontInfo FontId="1" FontName="Sans\x00" WideCodes="true">
    <CodeTable>32 8364</CodeTable>
  </DefineFontInfo>
)"},
      {6, R"(  <DefineFontInfo2 FontId="2" FontName="Serif" Bold="true" LanguageCode="1">
    <CodeTable>65 66 20320</CodeTable>
  </DefineFontInfo2>
  <DefineFontInfo2 FontId="3" FontName="" LanguageCode="0"/>
)"},
      {9, R"(  <DefineFontName FontId="1" FontName="Sans" FontCopyright="(c) someone\nline two"/>
)"},
      // Widths wider than the entries need are kept; records of every form; alpha in DefineText2.
      {6, R"(  <DefineText CharacterId="8" GlyphBits="9" AdvanceBits="20">
    <TextBounds Xmin="0" Xmax="400" Ymin="-200" Ymax="40"/>
    <TextMatrix TranslateX="0" TranslateY="0"/>
    <TextRecord FontId="1" TextHeight="240" TextColor="#FF0000" XOffset="-20" YOffset="200">
      <Glyph Index="0" Advance="120"/>
      <Glyph Index="3" Advance="-7"/>
    </TextRecord>
    <TextRecord XOffset="10"/>
    <TextRecord TextColor="#00FF00">
      <Glyph Index="1" Advance="0"/>
    </TextRecord>
  </DefineText>
  <DefineText2 CharacterId="9">
    <TextBounds Xmin="0" Xmax="400" Ymin="-200" Ymax="40"/>
    <TextMatrix TranslateX="20" TranslateY="40"/>
    <TextRecord FontId="1" TextHeight="240" TextColor="#00000080">
      <Glyph Index="2" Advance="100"/>
    </TextRecord>
  </DefineText2>
)"},
      // Glyph outlines; a glyph without one.
      {6, R"(  <DefineFont FontId="1">
    <Glyph>
      <StyleChange MoveX="20" MoveY="-400" FillStyle1="1"/>
      <StraightEdge DX="300" DY="0"/>
      <CurvedEdge ControlDX="10" ControlDY="10" AnchorDX="-10" AnchorDY="10"/>
      <StraightEdge DX="-300" DY="380"/>
    </Glyph>
    <Glyph/>
  </DefineFont>
)"},
      // Layout with advances, bounds (an inverted box marks a glyph without outline) and kerning;
      // codes wider than a byte; a name ending in a zero byte.
      {6, R"(  <DefineFont2 FontId="2" FontName="Sans\x00" ShiftJIS="true" SmallText="true" Italic="true" Bold="true" LanguageCode="2" HasLayout="true" FontAscent="900" FontDescent="200" FontLeading="-20">
    <Glyph Code="65" Advance="640" Xmin="0" Xmax="600" Ymin="-700" Ymax="0">
      <StyleChange MoveX="0" MoveY="0" FillStyle1="1"/>
      <StraightEdge DX="600" DY="-700"/>
    </Glyph>
    <Glyph Code="8364" Advance="-3" Xmin="1" Xmax="-1" Ymin="0" Ymax="0"/>
    <Glyph Code="32" Advance="250"/>
    <KerningRecord KerningCode1="65" KerningCode2="8364" KerningAdjustment="-40"/>
    <KerningRecord KerningCode1="32" KerningCode2="65" KerningAdjustment="7"/>
  </DefineFont2>
)"},
      // Wide codes where the codes fit a byte, kept; a font without glyphs is ANSI.
      {5, R"(  <DefineFont2 FontId="3" FontName="Caf\xE9" ANSI="true" WideCodes="true" LanguageCode="0">
    <Glyph Code="97"/>
  </DefineFont2>
  <DefineFont2 FontId="4" FontName="" ANSI="true" LanguageCode="0"/>
)"},
      // DefineFont3 has wide codes unless it says otherwise; kerning codes wider than a byte make
      // the codes wide.
      {8, R"(  <DefineFont3 FontId="5" FontName="Serif" WideCodes="false" LanguageCode="1">
    <Glyph Code="98"/>
  </DefineFont3>
  <DefineFont3 FontId="6" FontName="Serif" LanguageCode="1" HasLayout="true" FontAscent="1" FontDescent="2" FontLeading="3">
    <Glyph Code="99" Advance="10"/>
    <KerningRecord KerningCode1="99" KerningCode2="300" KerningAdjustment="1"/>
  </DefineFont3>
  <DefineFont2 FontId="7" FontName="Serif" LanguageCode="1" HasLayout="true" FontAscent="1" FontDescent="2" FontLeading="3">
    <Glyph Code="99" Advance="10"/>
    <KerningRecord KerningCode1="99" KerningCode2="300" KerningAdjustment="1"/>
  </DefineFont2>
)"},
      {10, R"(  <DefineFont4 FontID="4" FontName="Sans" HasFontData="true" Bold="true" Reserved="17">
    <FontData>T1RUTwAJAIAAAwAQQ0ZGIA==</FontData>
  </DefineFont4>
  <DefineFont4 FontID="5" FontName="Device" Italic="true"/>
)"},
  };
  for (const auto& c : cases) {
    const std::string text = MovieXml(c.version, c.tags);
    try {
      auto movie = CompiledAndRead(text);
      EXPECT_EQ(ToXml(*movie), text);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what() << "\n" << c.tags;
    }
  }
}

TEST(XmlText, HandEditsReachTheCompiledMovie) {
  const std::string text = MovieXml(6, R"(  <DefineEditText CharacterId="3" VariableName="title">
    <Bounds Xmin="0" Xmax="2000" Ymin="0" Ymax="400"/>
    <InitialText>Hello</InitialText>
  </DefineEditText>
)");
  auto plain = CompiledAndRead(text);
  EXPECT_EQ(FirstTag<TSWFDefineEditText>(*plain).InitialText, "Hello");
  std::string edited = text;
  edited.replace(edited.find("Hello"), 5, "Gr\xC3\xBC\xC3\x9F" "e &amp; more\\n");
  auto movie = CompiledAndRead(edited);
  const auto& edit = FirstTag<TSWFDefineEditText>(*movie);
  EXPECT_TRUE(edit.HasText);
  EXPECT_EQ(edit.InitialText, "Gr\xC3\xBC\xC3\x9F" "e & more\n");
  EXPECT_EQ(edit.VariableName, "title");
}

TEST(XmlText, AnEditedTextRecordColourReachesTheCompiledMovie) {
  const std::string text = MovieXml(6, R"(  <DefineText2 CharacterId="9">
    <TextBounds Xmin="0" Xmax="400" Ymin="-200" Ymax="40"/>
    <TextMatrix TranslateX="0" TranslateY="0"/>
    <TextRecord FontId="1" TextHeight="240" TextColor="#000000FF">
      <Glyph Index="2" Advance="100"/>
    </TextRecord>
  </DefineText2>
)");
  std::string edited = text;
  edited.replace(edited.find("#000000FF"), 9, "#3366997F");
  auto movie = CompiledAndRead(edited);
  const auto& records = FirstTag<TSWFDefineText2>(*movie).TextRecords;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].HasColor);
  EXPECT_EQ(records[0].GetTextColor().GetRGBA(), MakeRGBA(0x33, 0x66, 0x99, 0x7F));
  EXPECT_EQ(records[0].FontId(), 1);
  EXPECT_EQ(records[0].GlyphEntries, (std::vector<TSWFGlyphEntry>{{100, 2}}));
}

TEST(XmlText, EditedFontLayoutReachesTheCompiledMovie) {
  const std::string text = MovieXml(8, R"(  <DefineFont3 FontId="1" FontName="Sans" LanguageCode="0" HasLayout="true" FontAscent="900" FontDescent="200" FontLeading="0">
    <Glyph Code="65" Advance="640"/>
    <Glyph Code="86" Advance="600"/>
    <KerningRecord KerningCode1="65" KerningCode2="86" KerningAdjustment="-40"/>
  </DefineFont3>
)");
  struct Case {
    std::string_view from, to;
    std::vector<int16_t> advances;
    std::vector<TSWFKerningRecord> kerning;
  };
  const Case cases[] = {
      {"", "", {640, 600}, {{-40, 65, 86}}},
      {"Advance=\"600\"", "Advance=\"-12\"", {640, -12}, {{-40, 65, 86}}},
      {"KerningAdjustment=\"-40\"", "KerningAdjustment=\"25\"", {640, 600}, {{25, 65, 86}}},
      {"KerningCode1=\"65\" KerningCode2=\"86\"", "KerningCode1=\"86\" KerningCode2=\"65\"",
       {640, 600}, {{-40, 86, 65}}},
  };
  for (const auto& c : cases) {
    std::string edited = text;
    if (!c.from.empty()) edited.replace(edited.find(c.from), c.from.size(), c.to);
    auto movie = CompiledAndRead(edited);
    const auto& font = FirstTag<TSWFDefineFont3>(*movie);
    EXPECT_EQ(font.CodeTable, (std::vector<uint16_t>{65, 86})) << c.to;
    EXPECT_EQ(font.FontAdvanceTable, c.advances) << c.to;
    EXPECT_EQ(font.KerningTable, c.kerning) << c.to;
  }
}

TEST(XmlText, BadEditsNameTheFileAndLine) {
  struct Case {
    int version;
    std::string tags;
    std::string_view message;
  };
  const Case cases[] = {
      {6, "  <DefineEditText CharacterId=\"3\" Bold=\"true\">\n    <Bounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n  </DefineEditText>\n",
       "movie.xml:4: unknown attribute Bold of <DefineEditText>"},
      {6, "  <DefineEditText CharacterId=\"3\" FontHeight=\"200\">\n    <Bounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n  </DefineEditText>\n",
       "movie.xml:4: FontHeight needs a FontID or a FontClass"},
      {8, "  <DefineEditText CharacterId=\"3\" FontClass=\"Body\" FontHeight=\"200\">\n    <Bounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n  </DefineEditText>\n",
       "movie.xml:4: FontClass needs a movie of version 9 or later"},
      {6, "  <DefineEditText CharacterId=\"3\" Align=\"1\">\n    <Bounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n  </DefineEditText>\n",
       "movie.xml:4: <DefineEditText> lacks the attribute LeftMargin"},
      {6, "  <DefineEditText CharacterId=\"3\" TextColor=\"#102030\">\n    <Bounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n  </DefineEditText>\n",
       "movie.xml:4: TextColor=\"#102030\" is not a colour #RRGGBBAA"},
      {6, "  <DefineEditText CharacterId=\"3\">\n    <Bounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n    <InitialText>a\\x00b</InitialText>\n  </DefineEditText>\n",
       "movie.xml:6: <InitialText> may not hold the byte \\x00"},
      {9, "  <DefineFontName FontId=\"1\" FontName=\"Sans\\x00Serif\" FontCopyright=\"\"/>\n",
       "movie.xml:4: FontName may not hold the byte \\x00"},
      {6, "  <DefineFontInfo FontId=\"1\" FontName=\"Sans\">\n    <CodeTable>32 65536</CodeTable>\n  </DefineFontInfo>\n",
       "movie.xml:5: \"65536\" in <CodeTable> is not a code (0 to 65535)"},
      {6, "  <DefineFontInfo2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"1\" WideCodes=\"true\"/>\n",
       "movie.xml:4: unknown attribute WideCodes of <DefineFontInfo2>"},
      {6, "  <DefineFontInfo FontId=\"1\" FontName=\"" + std::string(256, 'x') + "\"/>\n",
       "movie.xml:4: FontName is longer than 255 bytes"},
      {8, "  <CSMTextSettings TextID=\"1\" UseFlashType=\"4\" GridFit=\"0\" Thickness=\"0\" Sharpness=\"0\"/>\n",
       "movie.xml:4: UseFlashType=4 is out of range (0 to 3)"},
      {8, "  <CSMTextSettings TextID=\"1\" UseFlashType=\"1\" GridFit=\"0\" Thickness=\"1e39\" Sharpness=\"0\"/>\n",
       "movie.xml:4: Thickness=1e39 is out of the range of a 32-bit float"},
      {8, "  <DefineFontAlignZones FontId=\"1\" CSMTableHint=\"0\">\n    <ZoneRecord>\n      <ZoneData AlignmentCoordinate=\"0.1\" Range=\"0\"/>\n    </ZoneRecord>\n  </DefineFontAlignZones>\n",
       "movie.xml:6: AlignmentCoordinate=0.1 is not a half-precision number"},
      {8, "  <DefineFontAlignZones FontId=\"1\" CSMTableHint=\"0\">\n    <Zone/>\n  </DefineFontAlignZones>\n",
       "movie.xml:5: unknown element <Zone>"},
      // Font 1 has two glyphs; a later record without a font still draws with it.
      {6, "  <DefineFont FontId=\"1\">\n    <Glyph/>\n    <Glyph/>\n  </DefineFont>\n"
          "  <DefineText CharacterId=\"2\">\n    <TextBounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n"
          "    <TextMatrix TranslateX=\"0\" TranslateY=\"0\"/>\n"
          "    <TextRecord FontId=\"1\" TextHeight=\"20\">\n      <Glyph Index=\"1\" Advance=\"0\"/>\n    </TextRecord>\n"
          "    <TextRecord XOffset=\"5\">\n      <Glyph Index=\"2\" Advance=\"0\"/>\n    </TextRecord>\n  </DefineText>\n",
       "movie.xml:15: Index=2 is beyond the 2 glyphs of font 1"},
      {6, "  <DefineText CharacterId=\"2\">\n    <TextBounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n"
          "    <TextMatrix TranslateX=\"0\" TranslateY=\"0\"/>\n    <TextRecord FontId=\"1\"/>\n  </DefineText>\n",
       "movie.xml:7: <TextRecord> lacks the attribute TextHeight"},
      {6, "  <DefineText2 CharacterId=\"2\">\n    <TextBounds Xmin=\"0\" Xmax=\"1\" Ymin=\"0\" Ymax=\"1\"/>\n"
          "    <TextMatrix TranslateX=\"0\" TranslateY=\"0\"/>\n    <TextRecord TextColor=\"#FFFFFF\"/>\n  </DefineText2>\n",
       "movie.xml:7: TextColor=\"#FFFFFF\" is not a colour #RRGGBBAA"},
      {6, "  <DefineFont FontId=\"1\">\n    <Glyph/>\n    <Shape/>\n  </DefineFont>\n",
       "movie.xml:6: unknown element <Shape>"},
      // A glyph fills with fill style 1 and draws no line.
      {6, "  <DefineFont FontId=\"1\">\n    <Glyph>\n      <StyleChange LineStyle=\"1\"/>\n    </Glyph>\n  </DefineFont>\n",
       "movie.xml:6: LineStyle=1"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\">\n    <Glyph/>\n  </DefineFont2>\n",
       "movie.xml:5: <Glyph> lacks the attribute Code"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\">\n    <Glyph Code=\"65536\"/>\n  </DefineFont2>\n",
       "movie.xml:5: Code=65536 is out of range (0 to 65535)"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\">\n    <Glyph Code=\"65\" Advance=\"10\"/>\n  </DefineFont2>\n",
       "movie.xml:5: unknown attribute Advance of <Glyph>"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\" HasLayout=\"true\" FontAscent=\"1\" FontDescent=\"1\" FontLeading=\"0\">\n"
          "    <Glyph Code=\"65\"/>\n  </DefineFont2>\n",
       "movie.xml:5: <Glyph> lacks the attribute Advance"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\" HasLayout=\"true\" FontAscent=\"1\" FontDescent=\"1\" FontLeading=\"0\">\n"
          "    <Glyph Code=\"65\" Advance=\"32768\"/>\n  </DefineFont2>\n",
       "movie.xml:5: Advance=32768 is out of range (-32768 to 32767)"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\" HasLayout=\"true\" FontAscent=\"1\" FontDescent=\"1\" FontLeading=\"0\">\n"
          "    <Glyph Code=\"65\" Advance=\"1\" Xmin=\"0\"/>\n  </DefineFont2>\n",
       "movie.xml:5: <Glyph> lacks the attribute Xmax"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\" HasLayout=\"true\">\n  </DefineFont2>\n",
       "movie.xml:4: <DefineFont2> lacks the attribute FontAscent"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\">\n"
          "    <KerningRecord KerningCode1=\"1\" KerningCode2=\"2\" KerningAdjustment=\"3\"/>\n  </DefineFont2>\n",
       "movie.xml:5: a <KerningRecord> needs HasLayout=\"true\""},
      {8, "  <DefineFont3 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\" HasLayout=\"true\" FontAscent=\"1\" FontDescent=\"1\" FontLeading=\"0\">\n"
          "    <KerningRecord KerningCode1=\"1\" KerningCode2=\"2\" KerningAdjustment=\"-32769\"/>\n  </DefineFont3>\n",
       "movie.xml:5: KerningAdjustment=-32769 is out of range"},
      {8, "  <DefineFont3 FontId=\"1\" FontName=\"Sans\" LanguageCode=\"0\" HasLayout=\"true\" FontAscent=\"1\" FontDescent=\"1\" FontLeading=\"0\">\n"
          "    <KerningRecord KerningCode1=\"1\" KerningCode2=\"2\" KerningAdjustment=\"0\"/>\n    <Glyph Code=\"1\" Advance=\"0\"/>\n  </DefineFont3>\n",
       "movie.xml:6: a <Glyph> comes before the <KerningRecord> elements"},
      {6, "  <DefineFont2 FontId=\"1\" FontName=\"" + std::string(256, 'x') + "\" LanguageCode=\"0\"/>\n",
       "movie.xml:4: FontName is longer than 255 bytes"},
      {10, "  <DefineFont4 FontID=\"1\" FontName=\"Sans\" Reserved=\"32\"/>\n",
       "movie.xml:4: Reserved=32 is out of range (0 to 31)"},
  };
  for (const auto& c : cases) {
    try {
      ReadMovieXml(MovieXml(c.version, c.tags), "movie.xml");
      ADD_FAILURE() << "accepted: " << c.tags;
    } catch (const ESWFXmlError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, c.message.size()), c.message) << e.what();
    }
  }
}

}  // namespace
}  // namespace tw::test
