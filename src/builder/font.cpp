#include "builder/font.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "builder/movie.h"
#include "swf/font_tags.h"
#include "util/text.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

int32_t Round(double v) { return static_cast<int32_t>(RoundHalfEven(v)); }

int16_t Clamp16(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

// A length in font units at a size in twips.
int32_t ToTwips(int32_t units, uint16_t size) {
  return Round(static_cast<double>(units) / TPlatformFont::kEmSize * size);
}

std::u16string WidenCp1252(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide.push_back(Cp1252ToUtf16(static_cast<uint8_t>(c)));
  return wide;
}

}  // namespace

TFlashChar::TFlashChar(uint16_t code, bool wide, uint16_t wideCode)
    : Code(code), Wide(wide), WideCode(wideCode), FEdges(ShapeRecords, nullptr) {
  FEdges.NoUnits = true;
}

// ---- font ------------------------------------------------------------------------------------

void TFlashFont::SetLayout(bool value) {
  if (value && !FLayout) ReadMetrics();
  FLayout = value;
}

void TFlashFont::SetSize(int32_t value) {
  const int64_t twips = static_cast<int64_t>(value) * TwipsPerUnit();
  FSize = static_cast<uint16_t>(std::clamp<int64_t>(twips, 0, std::numeric_limits<uint16_t>::max()));
}

uint16_t TFlashFont::KeyOf(uint16_t code) const {
  return Wide || code > 255 ? code : Cp1252ToUtf16(static_cast<uint8_t>(code));
}

void TFlashFont::AddChars(std::string_view text) {
  for (char c : text) AddChar(static_cast<uint8_t>(c));
}

void TFlashFont::AddChars(std::u16string_view text) {
  if (text.empty()) return;
  Wide = true;
  for (char16_t c : text) AddChar(c);
}

bool TFlashFont::AddChar(uint16_t code) {
  if (code > 255) Wide = true;
  const uint16_t key = KeyOf(code);
  auto make = [&] { return std::make_unique<TFlashChar>(code, Wide, key); };

  bool made = true;
  auto it = FChars.begin();
  for (; it != FChars.end(); ++it) {
    const uint16_t existing = code < 128 ? (*it)->Code : (*it)->WideCode;
    if (key == existing) {
      (*it)->Used = true;
      made = false;
      break;
    }
    if (key < existing) break;
  }
  if (made) FChars.insert(it, make());

  if (Wide && Owner() && Owner()->Version() < 6) Owner()->SetVersion(6);
  return made;
}

TFlashChar* TFlashFont::FindChar(uint16_t code) const {
  for (const auto& glyph : FChars)
    if (glyph->Code == code) return glyph.get();
  return nullptr;
}

bool TFlashFont::HasWideChars() const {
  if (Wide) return true;
  return !Device && std::any_of(FChars.begin(), FChars.end(), [](const auto& g) { return g->Wide; });
}

TLogFont TFlashFont::ResolvedLogFont() const {
  if (!LogFont.FaceName.empty()) return LogFont;
  TLogFont font;
  font.FaceName = Name;
  font.Height = -TPlatformFont::kEmSize;
  font.Weight = Bold ? 700 : 400;
  font.Italic = Italic;
  return font;
}

TTextExtent TFlashFont::GetTextExtent(std::string_view text) const {
  return GetTextExtent(std::u16string_view(WidenCp1252(text)));
}

TTextExtent TFlashFont::GetTextExtent(std::u16string_view text) const {
  const TTextExtent units = TPlatformFont(ResolvedLogFont()).TextExtent(text);
  return {ToTwips(units.Width, FSize), ToTwips(units.Height, FSize)};
}

void TFlashFont::ReadMetrics(const TPlatformFont& font) {
  Ascent = Clamp16(font.Ascent());
  Descent = Clamp16(font.Descent());
  Leading = Clamp16(font.InternalLeading());
}

void TFlashFont::ReadMetrics() { ReadMetrics(TPlatformFont(ResolvedLogFont())); }

void TFlashFont::LoadGlyphs() {
  if (FChars.empty()) return;
  const TPlatformFont font(ResolvedLogFont());
  ReadMetrics(font);
  for (const auto& glyph : FChars) {
    if (!glyph->Used || glyph->Loaded) continue;
    glyph->Loaded = true;
    // A character without an outline (a space) keeps its advance and has no records.
    if (!font.Outline(glyph->WideCode, glyph->Edges())) glyph->ShapeRecords.clear();
    glyph->Advance = font.Advance(glyph->WideCode);
  }
}

void TFlashFont::SetFromLogFont(const TLogFont& logFont) {
  LogFont = logFont;
  Bold = logFont.Weight == 700;
  Name = logFont.FaceName;
  Italic = logFont.Italic;
  SetSize(std::abs(logFont.Height));
  switch (logFont.CharSet) {
    case 0: case 2: LanguageCode = 0; EncodingType = 0; break;
    case 1: LanguageCode = 0; EncodingType = 2; break;
    case 128: LanguageCode = 2; EncodingType = 1; break;
    case 129: LanguageCode = 3; break;
    case 134: LanguageCode = 4; break;
    case 136: LanguageCode = 5; break;
    default: LanguageCode = 64; EncodingType = 2; break;
  }
  LogFont.Height = -TPlatformFont::kEmSize;
}

std::vector<TFlashChar*> TFlashFont::WrittenGlyphs() const {
  std::vector<TFlashChar*> glyphs;
  for (const auto& glyph : FChars)
    if (glyph->Used) glyphs.push_back(glyph.get());
  const bool wideCodes = WritesWideCodes();
  std::stable_sort(glyphs.begin(), glyphs.end(), [wideCodes](const TFlashChar* a, const TFlashChar* b) {
    return wideCodes ? a->WideCode < b->WideCode : a->Code < b->Code;
  });
  return glyphs;
}

void TFlashFont::Assign(const TBasedSWFObject& source) {
  const auto& s = SourceAs<TFlashFont>(source);
  TFlashIDObject::Assign(source);
  Ascent = s.Ascent;
  Device = s.Device;
  Bold = s.Bold;
  Descent = s.Descent;
  EncodingType = s.EncodingType;
  Italic = s.Italic;
  LanguageCode = s.LanguageCode;
  Leading = s.Leading;
  Name = s.Name;
  FSize = s.FSize;
  SmallText = s.SmallText;
  Usage = s.Usage;
  SetLayout(s.FLayout);
  for (const auto& g : s.FChars) {
    auto glyph = std::make_unique<TFlashChar>(g->Code, g->Wide, s.KeyOf(g->Code));
    glyph->Loaded = g->Loaded;
    if (g->Loaded) {
      glyph->Advance = g->Advance;
      glyph->ShapeRecords = CloneShapeRecords(g->ShapeRecords);
    }
    FChars.push_back(std::move(glyph));
  }
}

void TFlashFont::WriteToStream(TBitsEngine& be) {
  TSWFDefineFont2 tag;
  tag.FontId = CharacterId();
  tag.HasLayout = FLayout || Uses(TFontUsage::DynamicText);
  tag.ShiftJIS = EncodingType == 1;
  tag.SmallText = SmallText;
  tag.ANSI = EncodingType == 0;
  tag.WideCodes = WritesWideCodes();
  tag.Italic = Italic;
  tag.Bold = Bold;
  tag.LanguageCode = LanguageCode;
  tag.FontName = Name;
  if ((tag.HasLayout || !FChars.empty()) && Ascent == 0 && Descent == 0 && Leading == 0) ReadMetrics();
  if (tag.HasLayout) {
    tag.FontAscent = static_cast<uint16_t>(Ascent);
    tag.FontDescent = static_cast<uint16_t>(Descent);
    tag.FontLeading = Leading;
  }

  std::vector<TFlashChar*> glyphs;
  if ((!Device || Uses(TFontUsage::StaticText)) && !FChars.empty()) {
    LoadGlyphs();
    glyphs = WrittenGlyphs();
  }
  // The glyphs' own records are lent to the tag and taken back, whatever happens.
  for (TFlashChar* glyph : glyphs) {
    tag.GlyphShapeTable.push_back(std::move(glyph->ShapeRecords));
    tag.CodeTable.push_back(tag.WideCodes ? glyph->WideCode : glyph->Code);
    if (tag.HasLayout) {
      tag.FontAdvanceTable.push_back(Clamp16(glyph->Advance));
      tag.FontBoundsTable.emplace_back();
    }
  }
  struct TGiveBack {
    std::vector<TFlashChar*>& Glyphs;
    TSWFDefineFont2& Tag;
    ~TGiveBack() {
      for (size_t i = 0; i < Glyphs.size(); ++i) Glyphs[i]->ShapeRecords = std::move(Tag.GlyphShapeTable[i]);
    }
  } giveBack{glyphs, tag};
  tag.WriteToStream(be);
}

// ---- list ------------------------------------------------------------------------------------

TFlashFont* TFlashFontList::FindByFont(const TFontDescription& font, bool checkSize) const {
  for (TFlashFont* item : *this) {
    if (item->Name != font.Name || item->Bold != font.Bold || item->Italic != font.Italic) continue;
    if (checkSize && item->Size() / item->TwipsPerUnit() != font.Size) continue;
    return item;
  }
  return nullptr;
}

}  // namespace tw::builder
