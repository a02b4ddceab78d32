// Fonts against FreeType itself: the outlines, advances and metrics a written DefineFont2
// carries, read back with our reader, are those FreeType gives for the same face; and the rules
// by which a font collects, orders and writes its glyphs.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_FONT_FORMATS_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <string>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "swf/font_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

struct TPt {
  double X = 0, Y = 0;
};
using TContours = std::vector<std::vector<TPt>>;

constexpr int kSteps = 64;  // points per curve when outlines are flattened

void AddQuadratic(std::vector<TPt>& c, TPt p0, TPt q, TPt p1) {
  for (int i = 1; i <= kSteps; ++i) {
    const double t = double(i) / kSteps, s = 1 - t;
    c.push_back({s * s * p0.X + 2 * s * t * q.X + t * t * p1.X, s * s * p0.Y + 2 * s * t * q.Y + t * t * p1.Y});
  }
}

// A glyph of a written font flattened: one polyline per contour, em square 1024, y down.
TContours Flatten(const TShapeRecordList& records) {
  TContours out;
  TPt p;
  for (const auto& r : records) {
    switch (r->Kind) {
      case TShapeRecordKind::StyleChange: {
        const auto& s = static_cast<const TSWFStyleChangeRecord&>(*r);
        if (!s.StateMoveTo) break;
        p = {double(s.X), double(s.Y)};
        out.push_back({p});
        break;
      }
      case TShapeRecordKind::StraightEdge: {
        const auto& s = static_cast<const TSWFStraightEdgeRecord&>(*r);
        p = {p.X + s.X, p.Y + s.Y};
        if (out.empty()) out.push_back({{0, 0}});
        out.back().push_back(p);
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*r);
        const TPt q{p.X + c.ControlX, p.Y + c.ControlY};
        const TPt a{q.X + c.AnchorX, q.Y + c.AnchorY};
        if (out.empty()) out.push_back({{0, 0}});
        AddQuadratic(out.back(), p, q, a);
        p = a;
        break;
      }
      case TShapeRecordKind::End:
        break;
    }
  }
  return out;
}

// FreeType's own face, opened apart from the engine under test.
struct TFreeType {
  FT_Library Library = nullptr;
  FT_Face Face = nullptr;
  explicit TFreeType(const std::string& file) {
    EXPECT_EQ(FT_Init_FreeType(&Library), 0);
    EXPECT_EQ(FT_New_Face(Library, file.c_str(), 0, &Face), 0);
  }
  ~TFreeType() {
    if (Face) FT_Done_Face(Face);
    FT_Done_FreeType(Library);
  }
  double Scale() const { return 1024.0 / Face->units_per_EM; }
  std::string Format() const { return FT_Get_Font_Format(Face); }
  double Advance(char32_t c) const {
    FT_Fixed a = 0;
    FT_Get_Advance(Face, FT_Get_Char_Index(Face, c), FT_LOAD_NO_SCALE, &a);
    return double(a) * Scale();
  }

  struct TSink {
    TContours Out;
    double Scale;
    TPt Last;
    TPt At(const FT_Vector* v) const { return {double(v->x) * Scale, -double(v->y) * Scale}; }
  };
  // The glyph outline flattened, em square 1024, y down.
  TContours Outline(unsigned glyphIndex) const {
    EXPECT_EQ(FT_Load_Glyph(Face, glyphIndex, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING), 0);
    FT_Outline_Funcs f{};
    f.move_to = [](const FT_Vector* to, void* u) {
      auto& s = *static_cast<TSink*>(u);
      s.Last = s.At(to);
      s.Out.push_back({s.Last});
      return 0;
    };
    f.line_to = [](const FT_Vector* to, void* u) {
      auto& s = *static_cast<TSink*>(u);
      s.Last = s.At(to);
      s.Out.back().push_back(s.Last);
      return 0;
    };
    f.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
      auto& s = *static_cast<TSink*>(u);
      AddQuadratic(s.Out.back(), s.Last, s.At(c), s.At(to));
      s.Last = s.At(to);
      return 0;
    };
    f.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
      auto& s = *static_cast<TSink*>(u);
      const TPt p0 = s.Last, p1 = s.At(c1), p2 = s.At(c2), p3 = s.At(to);
      for (int i = 1; i <= kSteps; ++i) {
        const double t = double(i) / kSteps, m = 1 - t;
        const double a = m * m * m, b = 3 * m * m * t, cc = 3 * m * t * t, d = t * t * t;
        s.Out.back().push_back({a * p0.X + b * p1.X + cc * p2.X + d * p3.X, a * p0.Y + b * p1.Y + cc * p2.Y + d * p3.Y});
      }
      s.Last = p3;
      return 0;
    };
    TSink sink{{}, Scale(), {}};
    EXPECT_EQ(FT_Outline_Decompose(&Face->glyph->outline, &f, &sink), 0);
    return sink.Out;
  }
};

double SegmentDistance(TPt p, TPt a, TPt b) {
  const double dx = b.X - a.X, dy = b.Y - a.Y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.X - (a.X + t * dx), p.Y - (a.Y + t * dy));
}

// The largest distance from a point of one outline to the nearest edge of the other, both ways.
double OutlineDistance(const TContours& a, const TContours& b) {
  auto oneWay = [](const TContours& from, const TContours& to) {
    double worst = 0;
    for (const auto& c : from)
      for (TPt p : c) {
        double best = 1e18;
        for (const auto& d : to)
          for (size_t i = 0; i < d.size(); ++i)
            best = std::min(best, SegmentDistance(p, d[i], d[(i + 1) % d.size()]));
        worst = std::max(worst, best);
      }
    return worst;
  };
  return std::max(oneWay(a, b), oneWay(b, a));
}

std::unique_ptr<TSWFDefineFont2> WrittenFont(TFlashFont& font) {
  auto tags = TagsOf(font);
  EXPECT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags.at(0).Code, 48);
  return ReadTag<TSWFDefineFont2>(tags.at(0).Body, {.Version = 8});
}

struct TPixelMovie : TFlashMovie {
  explicit TPixelMovie(uint8_t version = 8) : TFlashMovie(0, 0, 400, 300, 12, TSystemCoord::Pix) {
    SetVersion(version);
  }
};

TEST(FontAgainstFreeType, OutlinesAdvancesAndLayoutMatchTheFace) {
  struct TCase {
    const char* face;
    const char* format;
    char16_t code;
    size_t contours;
  } const cases[] = {
      {"DejaVu Sans", "TrueType", u'O', 2},  // an outer and an inner contour
      {"DejaVu Sans", "TrueType", u'i', 2},  // the stem and the dot
      {"DejaVu Sans", "TrueType", u'\u00E9', 3},  // a composite: e and its accent
      {"Nimbus Sans", "CFF", u'S', 1},       // cubic curves, approximated
      {"Nimbus Sans", "CFF", u'O', 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.face) + " " + std::to_string(int(c.code)));
    TPixelMovie movie;
    TFlashFont& font = movie.AddFont();
    font.Name = c.face;
    font.Device = false;
    font.SetLayout(true);
    font.AddChar(c.code);
    auto tag = WrittenFont(font);
    ASSERT_EQ(tag->GlyphShapeTable.size(), 1u);
    EXPECT_EQ(tag->CodeTable, std::vector<uint16_t>{c.code});

    const TPlatformFont platform(TLogFont{c.face});
    EXPECT_EQ(platform.FamilyName(), c.face);
    TFreeType ft(platform.FileName());
    EXPECT_EQ(ft.Format(), c.format);
    const TContours theirs = ft.Outline(FT_Get_Char_Index(ft.Face, c.code));
    const TContours ours = Flatten(tag->GlyphShapeTable[0]);
    EXPECT_EQ(ours.size(), c.contours);
    EXPECT_EQ(theirs.size(), c.contours);
    // One font unit of the 1024 em is one twip of a text 1024 twips high.
    EXPECT_LE(OutlineDistance(ours, theirs), 1.0);

    ASSERT_TRUE(tag->HasLayout);
    EXPECT_EQ(tag->FontAdvanceTable.at(0), std::nearbyint(ft.Advance(c.code)));
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft.Face, FT_SFNT_OS2));
    ASSERT_NE(os2, nullptr);
    EXPECT_EQ(tag->FontAscent, std::nearbyint(os2->usWinAscent * ft.Scale()));
    EXPECT_EQ(tag->FontDescent, std::nearbyint(os2->usWinDescent * ft.Scale()));
    EXPECT_EQ(tag->FontLeading, tag->FontAscent + tag->FontDescent - 1024);
  }
}

TEST(FontAgainstFreeType, ACharacterTheFaceLacksGetsItsMissingGlyph) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont();
  font.Name = "DejaVu Sans";
  font.Device = false;
  font.AddChar(0xE000);  // a private-use code no face of the tests maps
  auto tag = WrittenFont(font);
  ASSERT_EQ(tag->GlyphShapeTable.size(), 1u);
  TFreeType ft(TPlatformFont(TLogFont{"DejaVu Sans"}).FileName());
  const TContours missing = ft.Outline(0);
  ASSERT_FALSE(missing.empty());
  EXPECT_LE(OutlineDistance(Flatten(tag->GlyphShapeTable[0]), missing), 1.0);
}

TEST(FontEngine, AFaceThatIsNotInstalledIsSubstituted) {
  const TPlatformFont font(TLogFont{"No Such Face Anywhere"});
  EXPECT_FALSE(font.FamilyName().empty());
  EXPECT_GT(font.Advance(u'M'), 0);
  EXPECT_GT(font.Ascent(), 0);
  EXPECT_NEAR(font.TextExtent(u"MM").Width, 2 * font.Advance(u'M'), 1);
}

TEST(Font, ANewFontIsWrittenWithItsNameTheAnsiFlagAndNoGlyphs) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont();
  font.Name = "Arial";
  auto tag = WrittenFont(font);
  EXPECT_EQ(tag->FontName, "Arial");
  EXPECT_TRUE(tag->ANSI);
  EXPECT_FALSE(tag->HasLayout);
  EXPECT_TRUE(tag->CodeTable.empty());
  EXPECT_EQ(font.CharacterId(), 1);
  EXPECT_EQ(movie.Fonts.Count(), 1u);
}

TEST(Font, CollectsEachCharacterOnceInAscendingOrder) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont();
  font.AddChars(std::string_view("abc"));
  EXPECT_FALSE(font.AddChar('a'));
  EXPECT_EQ(font.Chars().size(), 3u);
  // 8-bit codes above 127 are Windows-1252: 0x80 is the euro sign, above every Latin-1 letter.
  font.AddChars(std::string_view("\x80\xE9\xC0"));
  std::vector<uint16_t> codes;
  for (const auto& g : font.Chars()) codes.push_back(g->Code);
  EXPECT_EQ(codes, (std::vector<uint16_t>{'a', 'b', 'c', 0xC0, 0xE9, 0x80}));
  EXPECT_EQ(font.Chars().back()->WideCode, 0x20AC);
  EXPECT_FALSE(font.Wide);
}

TEST(Font, AWideCharacterRaisesAVersion5MovieTo6) {
  TPixelMovie movie(5);
  TFlashFont& font = movie.AddFont();
  EXPECT_TRUE(font.AddChar(0x263A));
  EXPECT_TRUE(font.Wide);
  EXPECT_EQ(movie.Version(), 6);
}

TEST(Font, ADeviceFontOfEditTextsOnlyIsWrittenWithoutGlyphs) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont();
  font.Name = "DejaVu Sans";
  movie.AddDynamicText("title", u"Hi", 0xFF000000, &font, {0, 0, 100, 20});
  EXPECT_EQ(font.Usage, uint8_t(TFontUsage::DynamicText));
  auto tag = WrittenFont(font);
  EXPECT_TRUE(tag->CodeTable.empty());
  EXPECT_FALSE(tag->HasLayout);  // dropped by the tag: there are no codes
}

TEST(Font, SetFromLogFont) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont(TLogFont{"DejaVu Sans", -16, 800, true, 128}, false);
  EXPECT_FALSE(font.Bold);
  EXPECT_TRUE(font.Italic);
  EXPECT_EQ(font.Size(), 320);
  EXPECT_EQ(font.LanguageCode, 2);
  EXPECT_EQ(font.EncodingType, 1);
  EXPECT_EQ(font.LogFont.Height, -1024);
  EXPECT_FALSE(font.Device);
  EXPECT_EQ(movie.Fonts.FindByFont({"DejaVu Sans", false, true, 16}, true), &font);
  EXPECT_EQ(movie.Fonts.FindByFont({"DejaVu Sans", false, true, 17}, true), nullptr);
  EXPECT_EQ(movie.Fonts.FindByFont({"DejaVu Sans", true, true, 16}, false), nullptr);
}

TEST(Font, TextExtentComesFromTheAdvancesAtTheSize) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont();
  font.Name = "DejaVu Sans";
  font.SetSize(20);  // 400 twips
  const TPlatformFont platform(TLogFont{"DejaVu Sans"});
  const TTextExtent e = font.GetTextExtent(std::string_view("Wave"));
  const int32_t units = platform.TextExtent(u"Wave").Width;
  EXPECT_EQ(e.Width, std::nearbyint(units / 1024.0 * 400));
  EXPECT_EQ(e.Height, std::nearbyint((platform.Ascent() + platform.Descent()) / 1024.0 * 400));
}

TEST(Font, ACopyHasTheGlyphsAndTheirOutlines) {
  TPixelMovie movie;
  TFlashFont& font = movie.AddFont();
  font.Name = "DejaVu Sans";
  font.Device = false;
  font.AddChars(std::u16string_view(u"Ok"));
  font.LoadGlyphs();
  TFlashFont& copy = movie.AddFont();
  copy.Assign(font);
  ASSERT_EQ(copy.Chars().size(), 2u);
  EXPECT_TRUE(copy.Chars()[0]->Loaded);
  EXPECT_EQ(copy.Chars()[0]->Advance, font.Chars()[0]->Advance);
  EXPECT_EQ(copy.Chars()[0]->ShapeRecords.size(), font.Chars()[0]->ShapeRecords.size());
  EXPECT_EQ(Flatten(copy.Chars()[1]->ShapeRecords).size(), 1u);
}

}  // namespace
}  // namespace tw::builder
