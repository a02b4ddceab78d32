#include "swf/text_tags.h"

#include <algorithm>
#include <cstdio>

#include "util/text.h"

namespace tw::swf {
namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// A long text shortened for a one-line dump, never cutting a character in half.
std::string Shortened(const std::string& s) {
  std::string utf8 = ToUtf8(s);
  for (char& c : utf8)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  if (Utf16Length(utf8) <= 40) return Quoted(utf8);
  return Quoted(std::string(TruncateUtf16(utf8, 37)) + "...");
}

std::string RectText(const TSWFRect& r) {
  return std::to_string(r.XMin()) + "," + std::to_string(r.YMin()) + "-" +
         std::to_string(r.XMax()) + "," + std::to_string(r.YMax());
}

std::string ColorText(const TSWFRGBA& c, bool alpha) {
  char buf[16];
  if (alpha) std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", c.R, c.G, c.B, c.A);
  else std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.R, c.G, c.B);
  return buf;
}

// The fewest bits that hold a signed value (none for zero).
uint8_t SignedBits(int32_t v) {
  if (v == 0) return 0;
  return static_cast<uint8_t>(BitsNeeded(static_cast<uint32_t>(v < 0 ? ~v : v)) + 1);
}

}  // namespace

// ---- text records ----------------------------------------------------------------------------

void TSWFTextRecord::Read(TBitsEngine& be, uint8_t flags, uint8_t glyphBits, uint8_t advanceBits) {
  HasFont = flags & 0x08;
  HasColor = flags & 0x04;
  HasYOffset = flags & 0x02;
  HasXOffset = flags & 0x01;
  if (HasFont) FFontId = be.ReadWord();
  if (HasColor) {
    if (HasAlpha) FTextColor.SetRGBA(be.ReadRGBA());
    else FTextColor.SetRGB(be.ReadRGB());
  }
  if (HasXOffset) FXOffset = static_cast<int16_t>(be.ReadWord());
  if (HasYOffset) FYOffset = static_cast<int16_t>(be.ReadWord());
  if (HasFont) FTextHeight = be.ReadWord();
  const uint8_t count = be.ReadByte();
  GlyphEntries.resize(count);
  for (auto& g : GlyphEntries) {
    g.GlyphIndex = static_cast<uint16_t>(be.ReadUBits(glyphBits));
    g.GlyphAdvance = be.ReadSBits(advanceBits);
  }
  be.FlushBits(false);
}

void TSWFTextRecord::Write(TBitsEngine& be, uint8_t glyphBits, uint8_t advanceBits) const {
  if (GlyphEntries.size() > 255) throw ESWFError("A text record holds more than 255 glyphs");
  be.WriteByte(static_cast<uint8_t>(0x80 | (HasFont ? 0x08 : 0) | (HasColor ? 0x04 : 0) |
                                    (HasYOffset ? 0x02 : 0) | (HasXOffset ? 0x01 : 0)));
  if (HasFont) be.WriteWord(FFontId);
  if (HasColor) {
    if (HasAlpha) be.WriteRGBA(FTextColor.GetRGBA());
    else be.WriteRGB(FTextColor.GetRGB());
  }
  if (HasXOffset) be.WriteWord(static_cast<uint16_t>(FXOffset));
  if (HasYOffset) be.WriteWord(static_cast<uint16_t>(FYOffset));
  if (HasFont) be.WriteWord(FTextHeight);
  be.WriteByte(static_cast<uint8_t>(GlyphEntries.size()));
  for (const auto& g : GlyphEntries) {
    be.WriteBits(static_cast<uint32_t>(g.GlyphIndex), glyphBits);
    be.WriteBits(g.GlyphAdvance, advanceBits);
  }
  be.FlushBits(true);
}

// ---- DefineText, DefineText2 -----------------------------------------------------------------

void TSWFDefineText::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineText>(source);
  AdvanceBits = s.AdvanceBits;
  CharacterId = s.CharacterId;
  GlyphBits = s.GlyphBits;
  HasAlpha = s.HasAlpha;
  TextBounds.Assign(s.TextBounds);
  TextMatrix.Assign(s.TextMatrix);
  TextRecords = s.TextRecords;
}

void TSWFDefineText::ReadFromStream(TBitsEngine& be) {
  FFontGlyphs.clear();
  const size_t start = be.Stream.Position();
  CharacterId = be.ReadWord();
  TextBounds.Read(be);
  TextMatrix.Read(be);
  GlyphBits = be.ReadByte();
  AdvanceBits = be.ReadByte();
  TextRecords.clear();
  for (uint8_t flags = be.ReadByte(); flags != 0; flags = be.ReadByte()) {
    TSWFTextRecord& r = TextRecords.emplace_back();
    r.HasAlpha = HasAlpha;
    r.Read(be, flags, GlyphBits, AdvanceBits);
  }
  be.Stream.SetPosition(start + static_cast<size_t>(std::max(BodySize, 0)));
}

std::pair<uint8_t, uint8_t> TSWFDefineText::NeededBits() const {
  uint8_t glyphBits = 0, advanceBits = 0;
  for (const auto& r : TextRecords) {
    for (const auto& g : r.GlyphEntries) {
      glyphBits = std::max(glyphBits, BitsNeeded(g.GlyphIndex));
      advanceBits = std::max(advanceBits, SignedBits(g.GlyphAdvance));
    }
  }
  return {glyphBits, advanceBits};
}

void TSWFDefineText::WriteTagBody(TBitsEngine& be) {
  // The widths are written as set, but never narrower than the entries need: a narrower field
  // would cut their values.
  const auto [neededGlyphBits, neededAdvanceBits] = NeededBits();
  const uint8_t glyphBits = std::max(GlyphBits, neededGlyphBits);
  const uint8_t advanceBits = std::max(AdvanceBits, neededAdvanceBits);
  be.WriteWord(CharacterId);
  TextBounds.Write(be);
  TextMatrix.Write(be);
  be.WriteByte(glyphBits);
  be.WriteByte(advanceBits);
  for (auto& r : TextRecords) {
    r.HasAlpha = HasAlpha;
    r.Write(be, glyphBits, advanceBits);
  }
  be.WriteByte(0);
}

void TSWFDefineText::VisitReferencedIDs(const TIDVisitor& visit) {
  for (auto& r : TextRecords) r.VisitFontID(visit);
}

void TSWFDefineText::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(CharacterId));
  f.emplace_back("bounds", RectText(TextBounds));
  f.emplace_back("records", std::to_string(TextRecords.size()));
  size_t glyphs = 0;
  std::string fonts;
  for (const auto& r : TextRecords) {
    glyphs += r.GlyphEntries.size();
    if (!r.HasFont) continue;
    const std::string font = std::to_string(r.FontId()) + "@" + std::to_string(r.TextHeight());
    if (!fonts.empty()) fonts += ",";
    fonts += font;
  }
  f.emplace_back("glyphs", std::to_string(glyphs));
  if (!fonts.empty()) f.emplace_back("fonts", fonts);
}

// ---- DefineEditText --------------------------------------------------------------------------

void TSWFDefineEditText::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineEditText>(source);
  Align = s.Align;
  AutoSize = s.AutoSize;
  Border = s.Border;
  CharacterId = s.CharacterId;
  FontHeight = s.FontHeight;
  FontID = s.FontID;
  HasFont = s.HasFont;
  HasFontClass = s.HasFontClass;
  HasLayout = s.HasLayout;
  HasMaxLength = s.HasMaxLength;
  HasText = s.HasText;
  HasTextColor = s.HasTextColor;
  HTML = s.HTML;
  Indent = s.Indent;
  InitialText = s.InitialText;
  WideInitialText = s.WideInitialText;
  Leading = s.Leading;
  LeftMargin = s.LeftMargin;
  MaxLength = s.MaxLength;
  Multiline = s.Multiline;
  NoSelect = s.NoSelect;
  Password = s.Password;
  ReadOnly = s.ReadOnly;
  RightMargin = s.RightMargin;
  FReadVersion = s.FReadVersion;
  FTextColor.Assign(s.FTextColor);
  UseOutlines = s.UseOutlines;
  VariableName = s.VariableName;
  WasStatic = s.WasStatic;
  WordWrap = s.WordWrap;
  FontClass = s.FontClass;
  Bounds.Assign(s.Bounds);
}

void TSWFDefineEditText::ReadFromStream(TBitsEngine& be) {
  CharacterId = be.ReadWord();
  Bounds.Read(be);
  const uint8_t flags1 = be.ReadByte();
  HasText = flags1 & 0x80;
  WordWrap = flags1 & 0x40;
  Multiline = flags1 & 0x20;
  Password = flags1 & 0x10;
  ReadOnly = flags1 & 0x08;
  HasTextColor = flags1 & 0x04;
  HasMaxLength = flags1 & 0x02;
  HasFont = flags1 & 0x01;
  const uint8_t flags2 = be.ReadByte();
  HasFontClass = FReadVersion >= 9 && (flags2 & 0x80);
  AutoSize = flags2 & 0x40;
  HasLayout = flags2 & 0x20;
  NoSelect = flags2 & 0x10;
  Border = flags2 & 0x08;
  WasStatic = flags2 & 0x04;
  HTML = flags2 & 0x02;
  UseOutlines = flags2 & 0x01;
  if (HasFont) FontID = be.ReadWord();
  if (HasFontClass) FontClass = be.ReadString();
  // A text that names its font by class has a height as well.
  if (HasFont || HasFontClass) FontHeight = be.ReadWord();
  if (HasTextColor) FTextColor.SetRGBA(be.ReadRGBA());
  if (HasMaxLength) MaxLength = be.ReadWord();
  if (HasLayout) {
    Align = be.ReadByte();
    LeftMargin = be.ReadWord();
    RightMargin = be.ReadWord();
    Indent = static_cast<int16_t>(be.ReadWord());
    Leading = static_cast<int16_t>(be.ReadWord());
  }
  VariableName = be.ReadString();
  if (HasText) InitialText = be.ReadString();
}

void TSWFDefineEditText::WriteTagBody(TBitsEngine& be) {
  // A font class exists from 9 on; the flag follows the class, not what was read.
  const bool hasFontClass = be.Context.Version > 8 && !FontClass.empty();
  be.WriteWord(CharacterId);
  Bounds.Write(be);
  be.WriteByte(static_cast<uint8_t>((HasText ? 0x80 : 0) | (WordWrap ? 0x40 : 0) |
                                    (Multiline ? 0x20 : 0) | (Password ? 0x10 : 0) |
                                    (ReadOnly ? 0x08 : 0) | (HasTextColor ? 0x04 : 0) |
                                    (HasMaxLength ? 0x02 : 0) | (HasFont ? 0x01 : 0)));
  be.WriteByte(static_cast<uint8_t>((hasFontClass ? 0x80 : 0) | (AutoSize ? 0x40 : 0) |
                                    (HasLayout ? 0x20 : 0) | (NoSelect ? 0x10 : 0) |
                                    (Border ? 0x08 : 0) | (WasStatic ? 0x04 : 0) |
                                    (HTML ? 0x02 : 0) | (UseOutlines ? 0x01 : 0)));
  if (HasFont) be.WriteWord(FontID);
  if (hasFontClass) be.WriteString(FontClass, true);
  if (HasFont || hasFontClass) be.WriteWord(FontHeight);
  if (HasTextColor) be.WriteRGBA(FTextColor.GetRGBA());
  if (HasMaxLength) be.WriteWord(MaxLength);
  if (HasLayout) {
    be.WriteByte(Align);
    be.WriteWord(LeftMargin);
    be.WriteWord(RightMargin);
    be.WriteWord(static_cast<uint16_t>(Indent));
    be.WriteWord(static_cast<uint16_t>(Leading));
  }
  be.WriteString(VariableName, true, be.Context.Version > 5);
  if (!HasText) return;
  if (!WideInitialText.empty()) {
    std::string bytes;
    bytes.reserve(WideInitialText.size() * 2);
    for (char16_t c : WideInitialText) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    be.WriteString(Utf16ToUtf8(bytes, false), true);
  } else {
    be.WriteString(InitialText, true, be.Context.Version > 5 && !HTML);
  }
}

void TSWFDefineEditText::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(CharacterId));
  f.emplace_back("bounds", RectText(Bounds));
  if (HasFont) f.emplace_back("font", std::to_string(FontID));
  if (HasFontClass) f.emplace_back("fontclass", Quoted(FontClass));
  if (HasFont || HasFontClass) f.emplace_back("height", std::to_string(FontHeight));
  if (HasTextColor) f.emplace_back("color", ColorText(FTextColor, true));
  if (HasMaxLength) f.emplace_back("maxlength", std::to_string(MaxLength));
  if (!VariableName.empty()) f.emplace_back("variable", Quoted(ToUtf8(VariableName)));
  std::string flags;
  auto add = [&](bool on, const char* name) {
    if (!on) return;
    if (!flags.empty()) flags += ",";
    flags += name;
  };
  add(WordWrap, "WordWrap");
  add(Multiline, "Multiline");
  add(Password, "Password");
  add(ReadOnly, "ReadOnly");
  add(AutoSize, "AutoSize");
  add(NoSelect, "NoSelect");
  add(Border, "Border");
  add(WasStatic, "WasStatic");
  add(HTML, "HTML");
  add(UseOutlines, "UseOutlines");
  f.emplace_back("flags", flags.empty() ? "none" : flags);
  if (HasLayout) {
    static constexpr const char* kAlign[] = {"left", "right", "center", "justify"};
    f.emplace_back("align", Align < 4 ? kAlign[Align] : std::to_string(Align));
  }
  if (HasText) f.emplace_back("text", Shortened(InitialText));
}

// ---- CSMTextSettings -------------------------------------------------------------------------

void TSWFCSMTextSettings::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFCSMTextSettings>(source);
  GridFit = s.GridFit;
  Sharpness = s.Sharpness;
  TextID = s.TextID;
  Thickness = s.Thickness;
  UseFlashType = s.UseFlashType;
  ReservedBits = s.ReservedBits;
  Reserved = s.Reserved;
}

void TSWFCSMTextSettings::ReadFromStream(TBitsEngine& be) {
  TextID = be.ReadWord();
  UseFlashType = static_cast<uint8_t>(be.ReadUBits(2));
  GridFit = static_cast<uint8_t>(be.ReadUBits(3));
  ReservedBits = static_cast<uint8_t>(be.ReadUBits(3));
  be.FlushBits(false);
  Thickness = be.ReadSingle();
  Sharpness = be.ReadSingle();
  Reserved = be.Stream.Remaining() ? be.ReadByte() : 0;
}

void TSWFCSMTextSettings::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(TextID);
  be.WriteBits(static_cast<uint32_t>(UseFlashType), 2);
  be.WriteBits(static_cast<uint32_t>(GridFit), 3);
  be.WriteBits(static_cast<uint32_t>(ReservedBits), 3);
  be.FlushBits(true);
  be.WriteSingle(Thickness);
  be.WriteSingle(Sharpness);
  be.WriteByte(Reserved);
}

void TSWFCSMTextSettings::Describe(TSWFFields& f) const {
  static constexpr const char* kGridFit[] = {"none", "pixel", "subpixel"};
  f.emplace_back("text", std::to_string(TextID));
  f.emplace_back("flashtype", std::to_string(UseFlashType));
  f.emplace_back("gridfit", GridFit < 3 ? kGridFit[GridFit] : std::to_string(GridFit));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(Thickness));
  f.emplace_back("thickness", buf);
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(Sharpness));
  f.emplace_back("sharpness", buf);
}

}  // namespace tw::swf
