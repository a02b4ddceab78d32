// Texts: the static text tags (bounds, offsets, glyph indices and advances) and the edit text
// tags a text writes, read back with our reader; and texts that lack what they need.
#include <gtest/gtest.h>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "swf/text_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

struct TPixelMovie : TFlashMovie {
  TPixelMovie() : TFlashMovie(0, 0, 400, 300, 12, TSystemCoord::Pix) { SetVersion(8); }
};

TFlashFont& DejaVu(TFlashMovie& movie, int32_t size = 20) {
  TFlashFont& font = movie.AddFont();
  font.Name = "DejaVu Sans";
  font.SetSize(size);
  return font;
}

std::unique_ptr<TSWFDefineText> StaticTag(TFlashText& text, uint16_t code = 11) {
  auto tags = TagsOf(text);
  EXPECT_EQ(tags.size(), 1u);
  if (tags.size() != 1) return nullptr;
  EXPECT_EQ(tags[0].Code, code);
  if (tags[0].Code == 33) return ReadTag<TSWFDefineText2>(tags[0].Body);
  return ReadTag<TSWFDefineText>(tags[0].Body);
}

std::unique_ptr<TSWFDefineEditText> EditTag(TFlashText& text) {
  auto tags = TagsOf(text);
  EXPECT_EQ(tags.size(), 1u);
  if (tags.size() != 1) return nullptr;
  EXPECT_EQ(tags[0].Code, 37);
  return ReadTag<TSWFDefineEditText>(tags[0].Body, {.Version = 8});
}

TEST(StaticText, AdvancesIndicesAndBitsFollowTheFontsWrittenOrder) {
  TPixelMovie movie;
  TFlashFont& font = DejaVu(movie);
  TFlashText& text = movie.AddText();
  text.SetFont(&font);
  text.Height = 200;
  text.SetText("\xE9\xC0");  // Windows-1252: written as codes C0, E9
  font.LoadGlyphs();
  for (const auto& g : font.Chars()) g->Advance = 512;
  auto tag = StaticTag(text);
  ASSERT_EQ(tag->TextRecords.size(), 1u);
  const auto& entries = tag->TextRecords[0].GlyphEntries;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].GlyphIndex, 1);
  EXPECT_EQ(entries[1].GlyphIndex, 0);
  EXPECT_EQ(entries[0].GlyphAdvance, 100);  // 512 of 1024 at 200 twips
  EXPECT_EQ(tag->GlyphBits, 1);
  EXPECT_EQ(tag->TextRecords[0].FontId(), font.CharacterId());
  EXPECT_EQ(tag->TextRecords[0].TextHeight(), 200);
}

TEST(StaticText, AtAPointTheAlignmentPlacesTheBounds) {
  TPixelMovie movie;
  TFlashFont& font = DejaVu(movie);
  const int32_t width = font.GetTextExtent(std::u16string_view(u"A")).Width;
  struct TCase {
    uint8_t align;
    int32_t left;
  } const cases[] = {{0, 2000}, {1, 2000 - width}, {2, 2000 - width / 2}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.align));
    TFlashText& text = movie.AddText(u"A", 0xFF000000, &font, {100, 50}, c.align);
    auto tag = StaticTag(text);
    EXPECT_EQ(tag->TextBounds.XMin(), c.left);
    EXPECT_EQ(tag->TextBounds.XMax(), c.left + width);
    EXPECT_EQ(tag->TextBounds.YMin(), 1000);
    EXPECT_EQ(tag->GlyphBits, 0);  // one glyph, the first of the font
    EXPECT_EQ(tag->TextRecords[0].XOffset(), c.left);
    EXPECT_EQ(tag->TextRecords[0].YOffset(), 1000 + std::lround(font.Ascent / 1024.0 * 400));
  }
}

TEST(StaticText, AnOpaqueColourMakesADefineTextAndATranslucentOneADefineText2) {
  TPixelMovie movie;
  TFlashFont& font = DejaVu(movie);
  StaticTag(movie.AddText(u"A", 0xFF0000FF, &font, {0, 0}, 0), 11);
  auto tag = StaticTag(movie.AddText(u"A", 0x800000FF, &font, {0, 0}, 0), 33);
  EXPECT_EQ(tag->TextRecords[0].GetTextColor().A, 0x80);
  EXPECT_EQ(tag->TextRecords[0].GetTextColor().R, 0xFF);
}

// Mended: the 8-bit extent is scaled from the font's size to the text's, and a size of 0 divided
// by zero; such a text is measured at its own height.
TEST(StaticText, AFontOfSizeZeroIsMeasuredAtTheTextsHeight) {
  TPixelMovie movie;
  TFlashFont& font = DejaVu(movie, 0);
  TFlashText& text = movie.AddText();
  text.SetFont(&font);
  text.AtPosition = true;
  text.Height = 400;
  text.SetText("Wave");
  font.SetSize(20);
  const TTextExtent expected = font.GetTextExtent(std::string_view("Wave"));
  font.SetSize(0);
  auto tag = StaticTag(text);
  EXPECT_NEAR(tag->TextBounds.Width(), expected.Width, 1);
  EXPECT_NEAR(tag->TextBounds.Height(), expected.Height, 1);
}

// Mended: a text without a font keeps its id defined and draws nothing; an edit text without a
// font has no font fields.
TEST(Text, WithoutAFontNothingIsDrawnAndNothingBreaks) {
  TPixelMovie movie;
  TFlashText& still = movie.AddText(u"Hi", 0xFF000000, nullptr, {10, 10}, 1);
  auto tag = StaticTag(still);
  EXPECT_TRUE(tag->TextRecords.empty());
  EXPECT_EQ(tag->TextBounds.XMin(), 200);

  TFlashText& edit = movie.AddDynamicText("v", u"Hi", 0xFF000000, nullptr, {0, 0, 50, 20});
  auto editTag = EditTag(edit);
  EXPECT_FALSE(editTag->HasFont);
  EXPECT_EQ(editTag->InitialText, "Hi");
}

// A text whose font was set after its string holds characters the font never received: they
// are left out instead of pointing at another glyph.
TEST(StaticText, CharactersTheFontNeverReceivedAreLeftOut) {
  TPixelMovie movie;
  TFlashFont& font = DejaVu(movie);
  font.AddChar('a');
  TFlashText& text = movie.AddText();
  text.SetText("ba");
  text.SetFont(&font);
  auto tag = StaticTag(text);
  ASSERT_EQ(tag->TextRecords.size(), 1u);
  ASSERT_EQ(tag->TextRecords[0].GlyphEntries.size(), 1u);
  EXPECT_EQ(tag->TextRecords[0].GlyphEntries[0].GlyphIndex, 0);
}

TEST(EditText, AtAPointItIsAnEmptyAutoSizedRectangleThere) {
  TPixelMovie movie;
  TFlashFont& font = DejaVu(movie);
  TFlashText& text = movie.AddText(u"Hi", 0xFF000000, &font, {10, 20}, 0);
  text.SetDynamic(true);
  auto tag = EditTag(text);
  EXPECT_EQ(tag->Bounds, TSWFRect(200, 400, 200, 400));
  EXPECT_TRUE(tag->AutoSize);
  EXPECT_TRUE(tag->HasFont);
  EXPECT_EQ(tag->FontHeight, 400);
  EXPECT_EQ(text.MinVersion(), 4);
}

TEST(EditText, HtmlWrapsTheTextInTheFontsFaceAndStyles) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont();
  font.Name = "Arial";
  font.Bold = true;
  font.Italic = true;
  TFlashText& text = movie.AddText();
  text.SetFont(&font);
  text.SetHTML(true);
  text.SetText("Hi");
  auto tag = EditTag(text);
  EXPECT_TRUE(tag->HTML);
  EXPECT_EQ(tag->InitialText, "<font face=\"Arial\"><b><i>Hi</i></b></font>");
}

TEST(EditText, AWideTextIsWrittenAsUtf8AndItsVariableNamed) {
  TPixelMovie movie;
  TFlashFont& font = DejaVu(movie);
  TFlashText& text = movie.AddDynamicText("title", u"\u00DCn\u00EFc\u00F8d\u00E9", 0xFF336699, &font,
                                          {0, 0, 200, 30});
  EXPECT_EQ(font.Usage, uint8_t(TFontUsage::DynamicText));
  auto tag = EditTag(text);
  EXPECT_EQ(tag->VariableName, "title");
  EXPECT_EQ(tag->InitialText, "\u00DCn\u00EFc\u00F8d\u00E9");
  EXPECT_EQ(tag->Bounds, TSWFRect(0, 0, 4000, 600));
  EXPECT_EQ(tag->GetTextColor().R, 0x99);  // packed with red in the low byte
  EXPECT_FALSE(tag->ReadOnly);
}

}  // namespace
}  // namespace tw::builder
