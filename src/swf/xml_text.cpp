// The text and font tags as XML: named fields in place of their bodies. Strings are written as
// the writer puts them into the file (converted to UTF-8 where the version asks for it), so that
// the text of a compiled movie is the text it was compiled from.
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "swf/font_tags.h"
#include "swf/xml_records.h"
#include "swf/text_tags.h"
#include "swf/xml.h"
#include "util/text.h"

namespace tw::swf {

namespace {

std::string AsWritten(const std::string& s, bool utf8) { return utf8 ? ToUtf8(s) : s; }

// A colour that carries an alpha exactly when the record does, whatever the colour object says.
void WriteColorXml(TSWFXmlWriter& xml, std::string_view name, const TSWFRGBA& color, bool alpha) {
  if (!alpha) return xml.Color(name, static_cast<const TSWFRGB&>(color));
  TSWFRGBA withAlpha(true);
  withAlpha.SetRGBA(color.GetRGBA());
  withAlpha.HasAlpha = true;
  xml.Color(name, withAlpha);
}

void ReadColorXml(const TSWFXmlNode& node, std::string_view name, TSWFRGBA& color, bool alpha) {
  TSWFRGBA value(alpha);
  node.Color(name, value);
  if (alpha) color.SetRGBA(value.GetRGBA());
  else color.SetRGB(value.GetRGB());
}

// A float as a decimal number that reads back to the same value; a NaN, whose payload a number
// cannot carry, as its bits in hex.
void WriteFloatXml(TSWFXmlWriter& xml, std::string_view name, float value) {
  if (std::isnan(value)) return xml.Hex(name, std::bit_cast<uint32_t>(value));
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);  // the shortest form of the float
  xml.String(name, {buf, static_cast<size_t>(r.ptr - buf)});
}

float ReadFloatXml(const TSWFXmlNode& node, std::string_view name) {
  const std::string text = node.String(name);
  if (text.starts_with("0x") || text.starts_with("0X"))
    return std::bit_cast<float>(static_cast<uint32_t>(node.Int(name, 0, 0xFFFFFFFF)));
  float value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec == std::errc::result_out_of_range)
    node.Fail(std::string(name) + "=" + text + " is out of the range of a 32-bit float");
  if (r.ec != std::errc() || r.ptr != text.data() + text.size())
    node.Fail(std::string(name) + "=\"" + text + "\" is not a number");
  return value;
}

// Half-precision values (alignment zones) as numbers; a NaN as its bits in hex.
double HalfToDouble(uint16_t bits) {
  const int exponent = (bits >> 10) & 31;
  const int mantissa = bits & 1023;
  double value;
  if (exponent == 0) value = std::ldexp(mantissa, -24);
  else if (exponent == 31) value = mantissa == 0 ? std::numeric_limits<double>::infinity() : NAN;
  else value = std::ldexp(1024 + mantissa, exponent - 25);
  return bits & 0x8000 ? -value : value;
}

// The half with exactly this value, or nullopt when there is none.
std::optional<uint16_t> DoubleToHalf(double value) {
  const uint16_t sign = std::signbit(value) ? 0x8000 : 0;
  const double a = std::fabs(value);
  if (std::isinf(a)) return sign | 0x7C00;
  if (a == 0) return sign;
  int e;
  std::frexp(a, &e);  // a = m * 2^e with m in [0.5, 1)
  const int exponent = e - 1 + 15;
  if (exponent >= 31) return std::nullopt;
  const double mantissa = exponent <= 0 ? std::ldexp(a, 24) : (std::ldexp(a, 1 - e) - 1) * 1024;
  if (mantissa != std::floor(mantissa) || mantissa >= 1024) return std::nullopt;
  return static_cast<uint16_t>(sign | (exponent <= 0 ? 0 : exponent << 10) | static_cast<int>(mantissa));
}

void WriteHalfXml(TSWFXmlWriter& xml, std::string_view name, uint16_t bits) {
  const double value = HalfToDouble(bits);
  if (std::isnan(value)) xml.Hex(name, bits);
  else xml.Number(name, value);
}

uint16_t ReadHalfXml(const TSWFXmlNode& node, std::string_view name) {
  const std::string text = node.String(name);
  if (text.starts_with("0x") || text.starts_with("0X"))
    return static_cast<uint16_t>(node.Int(name, 0, 0xFFFF));
  const auto half = DoubleToHalf(node.Number(name));
  if (!half) node.Fail(std::string(name) + "=" + text + " is not a half-precision number");
  return *half;
}

// A code table as the element text: the codes in decimal, separated by spaces.
void WriteCodeTableXml(TSWFXmlWriter& xml, const std::vector<uint16_t>& codes) {
  if (codes.empty()) return;
  std::string text;
  text.reserve(codes.size() * 6);
  for (const uint16_t code : codes) {
    if (!text.empty()) text += ' ';
    text += std::to_string(code);
  }
  xml.Open("CodeTable");
  xml.Text(text);
  xml.Close();
}

std::vector<uint16_t> ReadCodeTableXml(const TSWFXmlNode& node) {
  std::vector<uint16_t> codes;
  const auto table = node.FindChild("CodeTable");
  if (!table) return codes;
  const std::string text = table->Text();
  size_t i = 0;
  while (true) {
    i = text.find_first_not_of(" \t\r\n", i);
    if (i == std::string::npos) break;
    const size_t end = std::min(text.find_first_of(" \t\r\n", i), text.size());
    uint16_t code = 0;
    const auto r = std::from_chars(text.data() + i, text.data() + end, code);
    if (r.ec != std::errc() || r.ptr != text.data() + end)
      table->Fail("\"" + text.substr(i, end - i) + "\" in <CodeTable> is not a code (0 to 65535)");
    codes.push_back(code);
    i = end;
  }
  return codes;
}

bool AnyWide(const std::vector<uint16_t>& codes) {
  return std::any_of(codes.begin(), codes.end(), [](uint16_t c) { return c > 255; });
}

// A font name goes to the file behind a length byte.
std::string ReadFontNameXml(const TSWFXmlNode& node, bool utf8) {
  std::string name = node.String("FontName");
  if (AsWritten(name, utf8).size() > 255) node.Fail("FontName is longer than 255 bytes");
  return name;
}

}  // namespace

// ---- DefineEditText --------------------------------------------------------------------------

void TSWFDefineEditText::WriteXml(TSWFXmlWriter& xml) {
  const uint8_t version = xml.Context.Version;
  const bool hasFontClass = version > 8 && !FontClass.empty();
  xml.Int("CharacterId", CharacterId);
  if (HasFont) xml.Int("FontID", FontID);
  if (hasFontClass) xml.String("FontClass", FontClass);
  if (HasFont || hasFontClass) xml.Int("FontHeight", FontHeight);
  if (HasTextColor) WriteColorXml(xml, "TextColor", FTextColor, true);
  if (HasMaxLength) xml.Int("MaxLength", MaxLength);
  if (HasLayout) {
    xml.Int("Align", Align);
    xml.Int("LeftMargin", LeftMargin);
    xml.Int("RightMargin", RightMargin);
    xml.Int("Indent", Indent);
    xml.Int("Leading", Leading);
  }
  if (!VariableName.empty()) xml.String("VariableName", AsWritten(VariableName, version > 5));
  xml.Flag("WordWrap", WordWrap);
  xml.Flag("Multiline", Multiline);
  xml.Flag("Password", Password);
  xml.Flag("ReadOnly", ReadOnly);
  xml.Flag("AutoSize", AutoSize);
  xml.Flag("NoSelect", NoSelect);
  xml.Flag("Border", Border);
  xml.Flag("WasStatic", WasStatic);
  xml.Flag("HTML", HTML);
  xml.Flag("UseOutlines", UseOutlines);
  WriteRectXml(xml, "Bounds", Bounds);
  if (!HasText) return;
  const std::string text = WideInitialText.empty() ? AsWritten(InitialText, version > 5 && !HTML)
                                                    : Utf16ToUtf8(WideInitialText);
  xml.Open("InitialText");
  if (!text.empty()) xml.Text(text);
  xml.Close();
}

void TSWFDefineEditText::ReadXml(const TSWFXmlNode& node) {
  CharacterId = node.Get<uint16_t>("CharacterId");
  ReadRectXml(node.Child("Bounds"), Bounds);
  HasFont = node.Has("FontID");
  FontID = node.Get<uint16_t>("FontID", 0);
  FontClass = node.Has("FontClass") ? node.CString("FontClass") : std::string();
  if (node.Has("FontClass") && FontClass.empty()) node.Fail("FontClass may not be empty");
  if (!FontClass.empty() && FReadVersion < 9) node.Fail("FontClass needs a movie of version 9 or later");
  HasFontClass = !FontClass.empty();
  if (!HasFont && !HasFontClass && node.Has("FontHeight")) node.Fail("FontHeight needs a FontID or a FontClass");
  FontHeight = HasFont || HasFontClass ? node.Get<uint16_t>("FontHeight") : 0;
  HasTextColor = node.Has("TextColor");
  FTextColor = TSWFRGBA(true);
  if (HasTextColor) ReadColorXml(node, "TextColor", FTextColor, true);
  HasMaxLength = node.Has("MaxLength");
  MaxLength = node.Get<uint16_t>("MaxLength", 0);
  HasLayout = false;
  for (const char* name : {"Align", "LeftMargin", "RightMargin", "Indent", "Leading"})
    HasLayout = HasLayout || node.Has(name);
  Align = HasLayout ? node.Get<uint8_t>("Align") : 0;
  LeftMargin = HasLayout ? node.Get<uint16_t>("LeftMargin") : 0;
  RightMargin = HasLayout ? node.Get<uint16_t>("RightMargin") : 0;
  Indent = HasLayout ? node.Get<int16_t>("Indent") : 0;
  Leading = HasLayout ? node.Get<int16_t>("Leading") : 0;
  VariableName = node.Has("VariableName") ? node.CString("VariableName") : std::string();
  WordWrap = node.Flag("WordWrap");
  Multiline = node.Flag("Multiline");
  Password = node.Flag("Password");
  ReadOnly = node.Flag("ReadOnly");
  AutoSize = node.Flag("AutoSize");
  NoSelect = node.Flag("NoSelect");
  Border = node.Flag("Border");
  WasStatic = node.Flag("WasStatic");
  HTML = node.Flag("HTML");
  UseOutlines = node.Flag("UseOutlines");
  WideInitialText.clear();
  const auto text = node.FindChild("InitialText");
  HasText = text.has_value();
  InitialText = HasText ? text->Text() : std::string();
  if (InitialText.find('\0') != std::string::npos)
    text->Fail("<InitialText> may not hold the byte \\x00 (the file ends the text with it)");
}

// ---- CSMTextSettings -------------------------------------------------------------------------

void TSWFCSMTextSettings::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("TextID", TextID);
  xml.Int("UseFlashType", UseFlashType);
  xml.Int("GridFit", GridFit);
  WriteFloatXml(xml, "Thickness", Thickness);
  WriteFloatXml(xml, "Sharpness", Sharpness);
  if (ReservedBits != 0) xml.Int("ReservedBits", ReservedBits);
  if (Reserved != 0) xml.Int("Reserved", Reserved);
}

void TSWFCSMTextSettings::ReadXml(const TSWFXmlNode& node) {
  TextID = node.Get<uint16_t>("TextID");
  UseFlashType = static_cast<uint8_t>(node.Int("UseFlashType", 0, 3));
  GridFit = static_cast<uint8_t>(node.Int("GridFit", 0, 7));
  Thickness = ReadFloatXml(node, "Thickness");
  Sharpness = ReadFloatXml(node, "Sharpness");
  ReservedBits = node.Has("ReservedBits") ? static_cast<uint8_t>(node.Int("ReservedBits", 0, 7)) : 0;
  Reserved = node.Get<uint8_t>("Reserved", 0);
}

// ---- DefineFontInfo, DefineFontInfo2 ---------------------------------------------------------

namespace {

// The flags both forms share, in the order of their flags byte.
template <class TFont>
void WriteFontFlagsXml(TSWFXmlWriter& xml, const TFont& font) {
  xml.Flag("SmallText", font.SmallText);
  xml.Flag("ShiftJIS", font.ShiftJIS);
  xml.Flag("ANSI", font.ANSI);
  xml.Flag("Italic", font.Italic);
  xml.Flag("Bold", font.Bold);
}

template <class TFont>
void ReadFontFlagsXml(const TSWFXmlNode& node, TFont& font) {
  font.SmallText = node.Flag("SmallText");
  font.ShiftJIS = node.Flag("ShiftJIS");
  font.ANSI = node.Flag("ANSI");
  font.Italic = node.Flag("Italic");
  font.Bold = node.Flag("Bold");
}

}  // namespace

void TSWFDefineFontInfo::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("FontId", FontId);
  xml.String("FontName", AsWritten(FontName, xml.Context.Version >= 6));
  WriteFontFlagsXml(xml, *this);
  xml.Flag("WideCodes", WideCodes || AnyWide(CodeTable));
  WriteCodeTableXml(xml, CodeTable);
}

void TSWFDefineFontInfo::ReadXml(const TSWFXmlNode& node) {
  FontId = node.Get<uint16_t>("FontId");
  FontName = ReadFontNameXml(node, FReadVersion >= 6);
  ReadFontFlagsXml(node, *this);
  CodeTable = ReadCodeTableXml(node);
  WideCodes = node.Flag("WideCodes") || AnyWide(CodeTable);
}

// Always wide codes and a UTF-8 name: neither is written as a choice.
void TSWFDefineFontInfo2::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("FontId", FontId);
  xml.String("FontName", AsWritten(FontName, true));
  WriteFontFlagsXml(xml, *this);
  xml.Int("LanguageCode", LanguageCode);
  WriteCodeTableXml(xml, CodeTable);
}

void TSWFDefineFontInfo2::ReadXml(const TSWFXmlNode& node) {
  FontId = node.Get<uint16_t>("FontId");
  FontName = ReadFontNameXml(node, true);
  ReadFontFlagsXml(node, *this);
  LanguageCode = node.Get<uint8_t>("LanguageCode");
  CodeTable = ReadCodeTableXml(node);
  WideCodes = true;
}

// ---- DefineFontAlignZones --------------------------------------------------------------------

void TSWFDefineFontAlignZones::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("FontId", FontId);
  xml.Int("CSMTableHint", CSMTableHint & 3);
  for (const auto& zone : ZoneTable) {
    xml.Open("ZoneRecord");
    xml.Flag("MaskX", zone.MaskX);
    xml.Flag("MaskY", zone.MaskY);
    for (const auto& d : zone.ZoneData) {
      xml.Open("ZoneData");
      WriteHalfXml(xml, "AlignmentCoordinate", d.AlignmentCoordinate);
      WriteHalfXml(xml, "Range", d.Range);
      xml.Close();
    }
    xml.Close();
  }
}

void TSWFDefineFontAlignZones::ReadXml(const TSWFXmlNode& node) {
  FontId = node.Get<uint16_t>("FontId");
  CSMTableHint = static_cast<uint8_t>(node.Int("CSMTableHint", 0, 3));
  ZoneTable.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "ZoneRecord") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    TSWFZoneRecord& zone = ZoneTable.emplace_back();
    zone.MaskX = child.Flag("MaskX");
    zone.MaskY = child.Flag("MaskY");
    for (const TSWFXmlNode& item : child.Elements()) {
      if (item.Name() != "ZoneData") item.Fail("unknown element <" + std::string(item.Name()) + ">");
      if (zone.ZoneData.size() == 255) item.Fail("a zone record holds at most 255 <ZoneData>");
      zone.ZoneData.push_back({ReadHalfXml(item, "AlignmentCoordinate"), ReadHalfXml(item, "Range")});
    }
  }
}

// ---- DefineFontName --------------------------------------------------------------------------

void TSWFDefineFontName::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("FontId", FontId);
  xml.String("FontName", FontName);
  xml.String("FontCopyright", FontCopyright);
}

void TSWFDefineFontName::ReadXml(const TSWFXmlNode& node) {
  FontId = node.Get<uint16_t>("FontId");
  FontName = node.CString("FontName");
  FontCopyright = node.CString("FontCopyright");
}


// ---- DefineText, DefineText2 -----------------------------------------------------------------

namespace {

void WriteTextRecordXml(TSWFXmlWriter& xml, const TSWFTextRecord& record, bool hasAlpha) {
  xml.Open("TextRecord");
  if (record.HasFont) {
    xml.Int("FontId", record.FontId());
    xml.Int("TextHeight", record.TextHeight());
  }
  if (record.HasColor) WriteColorXml(xml, "TextColor", record.GetTextColor(), hasAlpha);
  if (record.HasXOffset) xml.Int("XOffset", static_cast<int16_t>(record.XOffset()));
  if (record.HasYOffset) xml.Int("YOffset", static_cast<int16_t>(record.YOffset()));
  for (const auto& g : record.GlyphEntries) {
    xml.Open("Glyph");
    xml.Int("Index", g.GlyphIndex);
    xml.Int("Advance", g.GlyphAdvance);
    xml.Close();
  }
  xml.Close();
}

// glyphCount: the glyphs of the record's font when the movie defined it before, else nullopt.
void ReadTextRecordXml(const TSWFXmlNode& node, TSWFTextRecord& record, bool hasAlpha,
                       const std::map<uint16_t, size_t>& fontGlyphs, std::optional<uint16_t>& font) {
  record.HasAlpha = hasAlpha;
  if (node.Has("FontId") || node.Has("TextHeight")) {
    record.SetFontId(node.Get<uint16_t>("FontId"));
    record.SetTextHeight(node.Get<uint16_t>("TextHeight"));
    font = record.FontId();
  }
  if (node.Has("TextColor")) ReadColorXml(node, "TextColor", record.TextColor(), hasAlpha);
  if (node.Has("XOffset")) record.SetXOffset(node.Get<int16_t>("XOffset"));
  if (node.Has("YOffset")) record.SetYOffset(node.Get<int16_t>("YOffset"));
  // A record without a font draws with the font of the records before it.
  const auto known = font ? fontGlyphs.find(*font) : fontGlyphs.end();
  for (const TSWFXmlNode& glyph : node.Elements()) {
    if (glyph.Name() != "Glyph") glyph.Fail("unknown element <" + std::string(glyph.Name()) + ">");
    if (record.GlyphEntries.size() == 255) glyph.Fail("a text record holds at most 255 glyphs");
    TSWFGlyphEntry& g = record.GlyphEntries.emplace_back();
    g.GlyphIndex = glyph.Get<uint16_t>("Index");
    g.GlyphAdvance = glyph.Get<int32_t>("Advance");
    if (known != fontGlyphs.end() && g.GlyphIndex >= known->second)
      glyph.Fail("Index=" + std::to_string(g.GlyphIndex) + " is beyond the " +
                 std::to_string(known->second) + " glyphs of font " + std::to_string(*font));
  }
}

}  // namespace

void TSWFDefineText::SetReadContext(const TSWFReadContext& context) {
  FFontGlyphs = context.FontGlyphs;
}

void TSWFDefineText::WriteXml(TSWFXmlWriter& xml) {
  const auto [glyphBits, advanceBits] = NeededBits();
  xml.Int("CharacterId", CharacterId);
  if (GlyphBits > glyphBits) xml.Int("GlyphBits", GlyphBits);
  if (AdvanceBits > advanceBits) xml.Int("AdvanceBits", AdvanceBits);
  WriteRectXml(xml, "TextBounds", TextBounds);
  WriteMatrixXml(xml, "TextMatrix", TextMatrix);
  for (const auto& r : TextRecords) WriteTextRecordXml(xml, r, HasAlpha);
}

void TSWFDefineText::ReadXml(const TSWFXmlNode& node) {
  CharacterId = node.Get<uint16_t>("CharacterId");
  ReadRectXml(node.Child("TextBounds"), TextBounds);
  TextMatrix = TSWFMatrix();
  ReadMatrixXml(node.Child("TextMatrix"), TextMatrix);
  TextRecords.clear();
  std::optional<uint16_t> font;
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() == "TextBounds" || child.Name() == "TextMatrix") continue;
    if (child.Name() != "TextRecord") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    ReadTextRecordXml(child, TextRecords.emplace_back(), HasAlpha, FFontGlyphs, font);
  }
  FFontGlyphs.clear();
  // As the writer writes them: never narrower than the entries need.
  const auto [glyphBits, advanceBits] = NeededBits();
  GlyphBits = std::max(node.Get<uint8_t>("GlyphBits", 0), glyphBits);
  AdvanceBits = std::max(node.Get<uint8_t>("AdvanceBits", 0), advanceBits);
}

// ---- DefineFont, DefineFont2, DefineFont3 ---------------------------------------------------

void TSWFDefineFont::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("FontId", FontId);
  for (const auto& glyph : GlyphShapeTable) WriteShapeXml(xml, "Glyph", glyph);
}

void TSWFDefineFont::ReadXml(const TSWFXmlNode& node) {
  FontId = node.Get<uint16_t>("FontId");
  GlyphShapeTable.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "Glyph") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    // The offsets in front of the glyphs are 16 bits wide.
    if (GlyphShapeTable.size() == 0x7FFF) child.Fail("a DefineFont holds at most 32767 glyphs");
    ReadShapeXml(child, GlyphShapeTable.emplace_back());
  }
}

namespace {

TRect GlyphRect(const TSWFGlyphBounds& b) {
  TRect r;
  r.Left = b.XMin;
  r.Right = b.XMax;
  r.Top = b.YMin;
  r.Bottom = b.YMax;
  return r;
}

}  // namespace

// The writer's choices are not written: the offset width, the layout of a font without glyphs
// and the code width where the codes decide it. What is written is what the file will hold.
void TSWFDefineFont2::WriteXml(TSWFXmlWriter& xml) {
  const size_t numGlyphs = CodeTable.size();
  const bool wideCodes = WritesWideCodes();
  const bool layout = HasLayout && numGlyphs > 0;
  xml.Int("FontId", FontId);
  xml.String("FontName", AsWritten(FontName, xml.Context.Version >= 6));
  xml.Flag("ShiftJIS", ShiftJIS);
  xml.Flag("SmallText", SmallText);
  xml.Flag("ANSI", ANSI || (numGlyphs == 0 && !ShiftJIS && !wideCodes));
  xml.Flag("Italic", Italic);
  xml.Flag("Bold", Bold);
  if (wideCodes != (TagID == 75 || NeedsWideCodes())) xml.Bool("WideCodes", wideCodes);
  xml.Int("LanguageCode", LanguageCode);
  if (layout) {
    xml.Bool("HasLayout", true);
    xml.Int("FontAscent", FontAscent);
    xml.Int("FontDescent", FontDescent);
    xml.Int("FontLeading", FontLeading);
  }
  TShapeRecordList noOutline;
  for (size_t i = 0; i < numGlyphs; ++i) {
    TShapeRecordList& glyph = i < GlyphShapeTable.size() ? GlyphShapeTable[i] : noOutline;
    const TFill1Selection selection(glyph, true);
    WriteShapeXml(xml, "Glyph", glyph, [&] {
      xml.Int("Code", CodeTable[i]);
      if (!layout) return;
      xml.Int("Advance", i < FontAdvanceTable.size() ? FontAdvanceTable[i] : 0);
      const TSWFGlyphBounds bounds = i < FontBoundsTable.size() ? FontBoundsTable[i] : TSWFGlyphBounds();
      if (bounds != TSWFGlyphBounds()) WriteRectFields(xml, GlyphRect(bounds));
    });
  }
  if (!layout) return;
  for (const auto& k : KerningTable) {
    xml.Open("KerningRecord");
    xml.Int("KerningCode1", k.KerningCode1);
    xml.Int("KerningCode2", k.KerningCode2);
    xml.Int("KerningAdjustment", k.KerningAdjustment);
    xml.Close();
  }
}

void TSWFDefineFont2::ReadXml(const TSWFXmlNode& node) {
  FontId = node.Get<uint16_t>("FontId");
  FontName = ReadFontNameXml(node, FReadVersion >= 6);
  ShiftJIS = node.Flag("ShiftJIS");
  SmallText = node.Flag("SmallText");
  ANSI = node.Flag("ANSI");
  Italic = node.Flag("Italic");
  Bold = node.Flag("Bold");
  WideCodes = node.Has("WideCodes") ? node.Bool("WideCodes") : TagID == 75;
  WideOffsets = false;
  LanguageCode = node.Get<uint8_t>("LanguageCode");
  HasLayout = node.Flag("HasLayout");
  FontAscent = HasLayout ? node.Get<uint16_t>("FontAscent") : 0;
  FontDescent = HasLayout ? node.Get<uint16_t>("FontDescent") : 0;
  FontLeading = HasLayout ? node.Get<int16_t>("FontLeading") : 0;
  GlyphShapeTable.clear();
  CodeTable.clear();
  FontAdvanceTable.clear();
  FontBoundsTable.clear();
  KerningTable.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() == "Glyph") {
      if (!KerningTable.empty()) child.Fail("a <Glyph> comes before the <KerningRecord> elements");
      if (CodeTable.size() == 0xFFFF) child.Fail("a font holds at most 65535 glyphs");
      CodeTable.push_back(child.Get<uint16_t>("Code"));
      if (HasLayout) {
        FontAdvanceTable.push_back(child.Get<int16_t>("Advance"));
        TSWFGlyphBounds& b = FontBoundsTable.emplace_back();
        if (child.Has("Xmin") || child.Has("Xmax") || child.Has("Ymin") || child.Has("Ymax")) {
          const TRect r = ReadRectFields(child);
          b = {r.Left, r.Right, r.Top, r.Bottom};
        }
      }
      ReadShapeXml(child, GlyphShapeTable.emplace_back());
    } else if (child.Name() == "KerningRecord") {
      if (!HasLayout) child.Fail("a <KerningRecord> needs HasLayout=\"true\"");
      if (KerningTable.size() == 0xFFFF) child.Fail("a font holds at most 65535 kerning records");
      TSWFKerningRecord& k = KerningTable.emplace_back();
      k.KerningCode1 = child.Get<uint16_t>("KerningCode1");
      k.KerningCode2 = child.Get<uint16_t>("KerningCode2");
      k.KerningAdjustment = child.Get<int16_t>("KerningAdjustment");
    } else {
      child.Fail("unknown element <" + std::string(child.Name()) + ">");
    }
  }
}

// ---- DefineFont4 -----------------------------------------------------------------------------

void TSWFDefineFont4::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("FontID", FontID);
  xml.String("FontName", FontName);
  xml.Flag("HasFontData", HasFontData);
  xml.Flag("Italic", Italic);
  xml.Flag("Bold", Bold);
  if (Reserved != 0) xml.Int("Reserved", Reserved);
  xml.DataElement("FontData", FontData);
}

void TSWFDefineFont4::ReadXml(const TSWFXmlNode& node) {
  FontID = node.Get<uint16_t>("FontID");
  FontName = node.CString("FontName");
  HasFontData = node.Flag("HasFontData");
  Italic = node.Flag("Italic");
  Bold = node.Flag("Bold");
  Reserved = node.Has("Reserved") ? static_cast<uint8_t>(node.Int("Reserved", 0, 31)) : 0;
  FontData = node.DataElement("FontData");
}

}  // namespace tw::swf
