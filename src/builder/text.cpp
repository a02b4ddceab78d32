#include "builder/text.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "builder/font.h"
#include "builder/movie.h"
#include "swf/text_tags.h"
#include "util/text.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

int32_t Round(double v) { return static_cast<int32_t>(RoundHalfEven(v)); }

int32_t Mul(int32_t v, int32_t units) {
  const int64_t r = static_cast<int64_t>(v) * units;
  return static_cast<int32_t>(std::clamp<int64_t>(r, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

template <class T>
T Narrow(int32_t v) {
  return static_cast<T>(std::clamp<int32_t>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

}  // namespace

TFlashText::TFlashText(TFlashMovie* owner) : TFlashVisualObject(owner) { FColor.A = 255; }

TFlashText::TFlashText(TFlashMovie* owner, std::u16string_view text, uint32_t color, TFlashFont* font,
                       TPoint position, uint8_t align)
    : TFlashText(owner) {
  Init(text, color, font);
  Position = {Mul(position.X, Units()), Mul(position.Y, Units())};
  SetAlign(align);
  AutoSize = true;
  AtPosition = true;
  Height = font ? font->Size() : 0;
  FUseOutlines = font && !font->Device;
}

TFlashText::TFlashText(TFlashMovie* owner, std::u16string_view text, uint32_t color, TFlashFont* font,
                       const TRect& bounds)
    : TFlashText(owner) {
  Init(text, color, font);
  FBounds.SetRect({Mul(bounds.Left, Units()), Mul(bounds.Top, Units()), Mul(bounds.Right, Units()),
                   Mul(bounds.Bottom, Units())});
  AtPosition = false;
  Height = font ? font->Size() : 0;
  FUseOutlines = font && !font->Device;
}

TFlashText::~TFlashText() = default;

void TFlashText::Init(std::u16string_view text, uint32_t color, TFlashFont* font) {
  SetFont(font);
  SetWideText(text);
  SetText(Utf16ToCp1252(text));
  CharSpacing = 0;
  Color().SetRGBA(color);
}

// ---- properties ------------------------------------------------------------------------------

void TFlashText::SetAlign(uint8_t value) {
  FAlign = value;
  SetHasLayout(true);
}

TSWFRGBA& TFlashText::Color() {
  HasColor = true;
  return FColor;
}

void TFlashText::SetDynamic(bool value) {
  FDynamic = value;
  if (value) {
    ReadOnly = false;
    NoSelect = false;
  }
}

void TFlashText::SetFont(TFlashFont* font) {
  FFont = font;
  if (font) font->AddUsage(FDynamic ? TFontUsage::DynamicText : TFontUsage::StaticText);
}

void TFlashText::SetHasLayout(bool value) {
  FHasLayout = value;
  if (FFont) FFont->SetLayout(value);
}

void TFlashText::SetHTML(bool value) {
  FHTML = value;
  if (value) FDynamic = true;
}

int32_t TFlashText::Indent() const { return FIndent / Units(); }
void TFlashText::SetIndent(int32_t value) { FIndent = Mul(value, Units()); SetHasLayout(true); }
int32_t TFlashText::Leading() const { return FLeading / Units(); }
void TFlashText::SetLeading(int32_t value) { FLeading = Mul(value, Units()); SetHasLayout(true); }
int32_t TFlashText::LeftMargin() const { return FLeftMargin / Units(); }
void TFlashText::SetLeftMargin(int32_t value) { FLeftMargin = Mul(value, Units()); SetHasLayout(true); }
int32_t TFlashText::RightMargin() const { return FRightMargin / Units(); }
void TFlashText::SetRightMargin(int32_t value) { FRightMargin = Mul(value, Units()); SetHasLayout(true); }

void TFlashText::SetMaxLength(int32_t value) {
  FMaxLength = value;
  HasMaxLength = true;
}

TSWFMatrix& TFlashText::Matrix() {
  if (!FMatrix) FMatrix = std::make_unique<TSWFMatrix>();
  return *FMatrix;
}

void TFlashText::SetText(std::string_view value) {
  if (value == FText) return;
  FText = value;
  if (FFont) FFont->AddChars(std::string_view(FText));
}

void TFlashText::SetWideText(std::u16string_view value) {
  if (value == FWideText) return;
  FWideText = value;
  if (FFont) FFont->AddChars(std::u16string_view(FWideText));
}

void TFlashText::SetUseOutlines(bool value) {
  FUseOutlines = value;
  if (FFont) FFont->Device = false;
}

void TFlashText::Assign(const TBasedSWFObject& source) {
  const auto& s = SourceAs<TFlashText>(source);
  TFlashVisualObject::Assign(source);
  FAlign = s.FAlign;
  AutoSize = s.AutoSize;
  Border = s.Border;
  FBounds = s.FBounds;
  FDynamic = s.FDynamic;
  if (Owner() == s.Owner()) FFont = s.FFont;
  SetHasLayout(s.FHasLayout);
  if (s.FHasLayout) {
    FIndent = s.FIndent;
    FLeading = s.FLeading;
    FLeftMargin = s.FLeftMargin;
    FRightMargin = s.FRightMargin;
  }
  FHTML = s.FHTML;
  if (s.FMatrix) Matrix() = *s.FMatrix;
  Multiline = s.Multiline;
  NoSelect = s.NoSelect;
  Password = s.Password;
  Position = s.Position;
  ReadOnly = s.ReadOnly;
  SetText(s.FText);
  Height = s.Height;
  SetUseOutlines(s.FUseOutlines);
  Variable = s.Variable;
  WordWrap = s.WordWrap;
  if (s.HasColor) Color() = s.FColor;
  if (s.HasMaxLength) SetMaxLength(s.FMaxLength);
}

// ---- writing ---------------------------------------------------------------------------------

TRect TFlashText::StaticBounds(std::u16string_view wide, std::string_view narrow) const {
  if (!AtPosition) return FBounds.GetRect();
  int32_t w = 0, h = 0;
  if (FFont && !wide.empty()) {
    const TTextExtent e = FFont->GetTextExtent(wide);
    w = e.Width;
    h = e.Height;
  } else if (FFont && FFont->Size() != 0) {
    // The extent at the font's size, scaled to the text's height.
    const TTextExtent e = FFont->GetTextExtent(narrow);
    w = Round(static_cast<double>(e.Width) / FFont->Size() * Height);
    h = Round(static_cast<double>(e.Height) / FFont->Size() * Height);
  } else if (FFont) {
    // A font of size 0 has no extent to scale from: the text is measured at its own height.
    TFlashFont atHeight(nullptr);
    atHeight.Name = FFont->Name;
    atHeight.Bold = FFont->Bold;
    atHeight.Italic = FFont->Italic;
    atHeight.LogFont = FFont->LogFont;
    atHeight.SetSizeTwips(Height);
    const TTextExtent e = atHeight.GetTextExtent(narrow);
    w = e.Width;
    h = e.Height;
  }
  TRect r{Position.X, Position.Y, Position.X + w, Position.Y + h};
  int32_t shift = 0;
  if (FAlign == 1) shift = -w;
  else if (FAlign == 2 || FAlign == 3) shift = -(w / 2);
  r.Left += shift;
  r.Right += shift;
  return r;
}

void TFlashText::WriteToStream(TBitsEngine& be) {
  if (FDynamic) WriteEdit(be);
  else WriteStatic(be);
}

void TFlashText::WriteStatic(TBitsEngine& be) {
  const bool widePath = !FWideText.empty();
  if (!widePath && FText.empty()) return;

  std::unique_ptr<TSWFDefineText> tag =
      FColor.A == 255 ? std::make_unique<TSWFDefineText>() : std::make_unique<TSWFDefineText2>();
  tag->CharacterId = CharacterId();
  if (FFont) FFont->LoadGlyphs();
  const TRect r = StaticBounds(widePath ? std::u16string_view(FWideText) : std::u16string_view(),
                               widePath ? std::string_view() : std::string_view(FText));
  tag->TextBounds.SetRect(r);
  if (FMatrix) tag->TextMatrix = *FMatrix;
  tag->GlyphBits = 0;
  tag->AdvanceBits = 0;

  // Without a font there is nothing to draw with: the text keeps its id and bounds, no glyphs.
  if (FFont) {
    TSWFTextRecord record;
    record.HasAlpha = tag->HasAlpha;
    record.SetFontId(FFont->CharacterId());
    record.TextColor() = FColor;
    record.SetTextHeight(Height);
    record.SetYOffset(Round(static_cast<double>(FFont->Ascent) / TPlatformFont::kEmSize * Height) + r.Top);
    if (r.Left != 0) record.SetXOffset(r.Left);

    std::unordered_map<const TFlashChar*, uint16_t> indices;
    const std::vector<TFlashChar*> order = FFont->WrittenGlyphs();
    for (size_t i = 0; i < order.size(); ++i) indices[order[i]] = static_cast<uint16_t>(i);
    auto add = [&](uint16_t code) {
      // A character the font never received (the font was set after the string) is left out.
      const TFlashChar* glyph = FFont->FindChar(code);
      const auto index = glyph ? indices.find(glyph) : indices.end();
      if (index == indices.end()) return;
      TSWFGlyphEntry entry;
      entry.GlyphIndex = index->second;
      entry.GlyphAdvance = Round(static_cast<double>(glyph->Advance) / TPlatformFont::kEmSize * Height) + CharSpacing;
      tag->GlyphBits = std::max(tag->GlyphBits, BitsNeeded(entry.GlyphIndex));
      tag->AdvanceBits = std::max(tag->AdvanceBits, GetBitsCount(entry.GlyphAdvance, 1));
      record.GlyphEntries.push_back(entry);
    };
    if (widePath) for (char16_t c : FWideText) add(c);
    else for (char c : FText) add(static_cast<uint8_t>(c));
    tag->TextRecords.push_back(std::move(record));
  }
  tag->WriteToStream(be);
}

void TFlashText::WriteEdit(TBitsEngine& be) {
  TSWFDefineEditText tag;
  tag.CharacterId = CharacterId();
  if (AtPosition) tag.Bounds.SetRect({Position.X, Position.Y, Position.X, Position.Y});
  else tag.Bounds = FBounds;
  tag.AutoSize = AutoSize;
  tag.Border = Border;
  tag.HTML = FHTML;
  tag.Multiline = Multiline;
  tag.NoSelect = NoSelect;
  tag.Password = Password;
  tag.ReadOnly = ReadOnly;
  tag.WordWrap = WordWrap;
  tag.UseOutlines = FUseOutlines || (FFont && !FFont->Device);
  if (FFont) {
    tag.HasFont = true;
    tag.FontID = FFont->CharacterId();
    tag.FontHeight = Height;
  }
  if (HasColor) tag.TextColor() = FColor;
  if (HasMaxLength) {
    tag.HasMaxLength = true;
    tag.MaxLength = Narrow<uint16_t>(FMaxLength);
  }
  if (FHasLayout) {
    tag.HasLayout = true;
    tag.Align = FAlign;
    tag.LeftMargin = Narrow<uint16_t>(FLeftMargin);
    tag.RightMargin = Narrow<uint16_t>(FRightMargin);
    tag.Indent = Narrow<int16_t>(FIndent);
    tag.Leading = Narrow<int16_t>(FLeading);
  }
  tag.VariableName = Variable;

  std::u16string open, close;
  if (FHTML && FFont) {
    open = u"<font face=\"" + Utf8ToUtf16(FFont->Name) + u"\">";
    if (FFont->Bold) open += u"<b>";
    if (FFont->Italic) open += u"<i>";
    if (FFont->Italic) close += u"</i>";
    if (FFont->Bold) close += u"</b>";
    close += u"</font>";
  }
  if (FFont && FFont->HasWideChars()) {
    if (!FWideText.empty()) {
      tag.HasText = true;
      tag.WideInitialText = open + FWideText + close;
    }
  } else if (!FText.empty()) {
    tag.HasText = true;
    tag.InitialText = Utf16ToCp1252(open) + FText + Utf16ToCp1252(close);
  }
  tag.WriteToStream(be);
}

}  // namespace tw::builder
