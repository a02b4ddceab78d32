#include "swf/font_tags.h"

#include <algorithm>

#include "util/text.h"

namespace tw::swf {
namespace {

// A name as the dump shows it: the terminating zero some writers count in the length is dropped.
std::string Quoted(std::string_view s) {
  while (!s.empty() && s.back() == '\0') s.remove_suffix(1);
  return "\"" + std::string(s) + "\"";
}

std::string FlagList(std::initializer_list<std::pair<bool, const char*>> flags) {
  std::string out;
  for (const auto& [on, name] : flags) {
    if (!on) continue;
    if (!out.empty()) out += ",";
    out += name;
  }
  return out.empty() ? "none" : out;
}

// A length byte and the name without terminator.
void WriteFontName(TBitsEngine& be, const std::string& name, bool utf8) {
  const std::string bytes = utf8 ? ToUtf8(name) : name;
  if (bytes.size() > 255) throw ESWFError("A font name is longer than 255 bytes");
  be.WriteByte(static_cast<uint8_t>(bytes.size()));
  be.WriteChars(bytes.data(), bytes.size());
}

std::string ReadFontName(TBitsEngine& be) {
  const auto bytes = be.ReadBytes(be.ReadByte());
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

// ---- DefineFont ------------------------------------------------------------------------------

void TSWFDefineFont::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineFont>(source);
  FontId = s.FontId;
  GlyphShapeTable.clear();
  GlyphShapeTable.reserve(s.GlyphShapeTable.size());
  for (const auto& glyph : s.GlyphShapeTable) GlyphShapeTable.push_back(CloneShapeRecords(glyph));
}

void TSWFDefineFont::ReadGlyphs(TBitsEngine& be, size_t table,
                                const std::vector<uint32_t>& offsets, size_t end,
                                std::vector<TShapeRecordList>& glyphs) {
  // Each glyph is read from a view of its own bytes: offsets that overlap or run backwards cannot
  // make the same bytes be read (and their records made) over and over.
  const auto body = be.Stream.Bytes();
  glyphs.clear();
  glyphs.resize(offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    const size_t from = table + offsets[i];
    const size_t to = i + 1 < offsets.size() ? table + offsets[i + 1] : end;
    if (from > to || to > body.size()) throw ESWFError("The glyph offsets are out of order");
    if (from == to) continue;  // a glyph without bytes has no outline
    TMemoryStream view = TMemoryStream::View(body.subspan(from, to - from));
    TBitsEngine ge(view);
    const uint8_t bits = ge.ReadByte();
    ReadShapeRecords(ge, glyphs[i], bits >> 4, bits & 15, TShapeStyleFormat{});
  }
}

TSWFDefineFont::TFill1Selection::TFill1Selection(TShapeRecordList& glyph, bool select)
    : FGlyph(glyph) {
  if (!select || glyph.empty() || glyph.front()->Kind != TShapeRecordKind::StyleChange) return;
  const auto& first = static_cast<const TSWFStyleChangeRecord&>(*glyph.front());
  if ((first.StateFillStyle0 || first.StateFillStyle1) &&
      !(first.StateFillStyle1 && first.Fill1() == 0))
    return;
  auto copy = std::make_unique<TSWFStyleChangeRecord>();
  copy->Assign(first);
  copy->SetFill0(0);
  copy->StateFillStyle0 = false;
  copy->SetFill1(1);
  copy->StateLineStyle = true;
  FHeld = std::move(copy);
  FGlyph.front().swap(FHeld);
}

TSWFDefineFont::TFill1Selection::~TFill1Selection() {
  if (FHeld) FGlyph.front().swap(FHeld);
}

void TSWFDefineFont::WriteGlyph(TBitsEngine& be, TShapeRecordList& glyph,
                                bool selectFill1) {
  const TFill1Selection selection(glyph, selectFill1);
  // One fill bit and no line bits, unless a record holds an index those cannot carry; after new
  // styles the widths they set apply, as a reader takes them.
  const TIndexBits bits = IndexBitsFor(glyph, 0, 1, 0);
  be.FlushBits(true);
  be.WriteByte(static_cast<uint8_t>(bits.Fill << 4 | bits.Line));
  TShapeRecordsWriting how;
  how.KeepEmptyIndices = true;
  WriteShapeRecords(be, glyph, bits, how);
}

void TSWFDefineFont::ReadFromStream(TBitsEngine& be) {
  const size_t start = be.Stream.Position();
  FontId = be.ReadWord();
  GlyphShapeTable.clear();
  const size_t table = be.Stream.Position();
  // The first offset is also the length of the offset table.
  const uint16_t first = be.Stream.Remaining() >= 2 ? be.ReadWord() : 0;
  std::vector<uint32_t> offsets;
  if (first >= 2) {
    offsets.reserve(std::min<size_t>(first / 2, be.Stream.Remaining() / 2 + 1));
    offsets.push_back(first);
    for (size_t i = 1; i < first / 2u; ++i) offsets.push_back(be.ReadWord());
  }
  const size_t end = start + static_cast<size_t>(std::max(BodySize, 0));
  ReadGlyphs(be, table, offsets, std::min(end, be.Stream.Size()), GlyphShapeTable);
  be.Stream.SetPosition(end);
}

void TSWFDefineFont::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontId);
  if (GlyphShapeTable.empty()) {
    be.WriteWord(0);
    return;
  }
  // The glyphs go to their own buffer first: the offset table in front of them needs their sizes.
  TMemoryStream glyphs;
  TBitsEngine ge(glyphs, be.Context);
  const size_t tableSize = 2 * GlyphShapeTable.size();
  std::vector<size_t> offsets;
  offsets.reserve(GlyphShapeTable.size());
  for (auto& glyph : GlyphShapeTable) {
    offsets.push_back(tableSize + glyphs.Size());
    WriteGlyph(ge, glyph, false);
  }
  if (offsets.back() > 0xFFFF) throw ESWFError("The glyphs of a DefineFont exceed 64 KB");
  for (size_t offset : offsets) be.WriteWord(static_cast<uint16_t>(offset));
  be.WriteBytes(glyphs.Bytes());
}

void TSWFDefineFont::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(FontId));
  f.emplace_back("glyphs", std::to_string(GlyphShapeTable.size()));
}

// ---- DefineFontInfo, DefineFontInfo2 ---------------------------------------------------------

void TSWFDefineFontInfo::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineFontInfo>(source);
  CodeTable = s.CodeTable;
  ANSI = s.ANSI;
  Bold = s.Bold;
  Italic = s.Italic;
  ShiftJIS = s.ShiftJIS;
  SmallText = s.SmallText;
  WideCodes = s.WideCodes;
  FontId = s.FontId;
  FontName = s.FontName;
  FReadVersion = s.FReadVersion;
}

uint8_t TSWFDefineFontInfo::FlagsByte(bool wideCodes) const {
  return static_cast<uint8_t>((SmallText ? 0x20 : 0) | (ShiftJIS ? 0x10 : 0) | (ANSI ? 0x08 : 0) |
                              (Italic ? 0x04 : 0) | (Bold ? 0x02 : 0) | (wideCodes ? 0x01 : 0));
}

void TSWFDefineFontInfo::SetFlags(uint8_t flags) {
  SmallText = flags & 0x20;
  ShiftJIS = flags & 0x10;
  ANSI = flags & 0x08;
  Italic = flags & 0x04;
  Bold = flags & 0x02;
  WideCodes = flags & 0x01;
}

namespace {

// The code table fills the rest of the body: one code per glyph of the font the tag describes.
// Its length comes from the tag itself, so no glyph count has to be remembered between tags.
void ReadCodes(TBitsEngine& be, std::vector<uint16_t>& codes, bool wide) {
  const size_t left = be.Stream.Remaining();
  if (wide && left % 2) throw ESWFError("The code table ends in half a code");
  codes.clear();
  codes.reserve(wide ? left / 2 : left);
  while (be.Stream.Remaining()) codes.push_back(wide ? be.ReadWord() : be.ReadByte());
}

}  // namespace

void TSWFDefineFontInfo::ReadFromStream(TBitsEngine& be) {
  FontId = be.ReadWord();
  FontName = ReadFontName(be);
  SetFlags(be.ReadByte());
  ReadCodes(be, CodeTable, WideCodes);
}

void TSWFDefineFontInfo::WriteTagBody(TBitsEngine& be) {
  // A code above 255 cannot be written in one byte.
  const bool wide = WideCodes || std::any_of(CodeTable.begin(), CodeTable.end(),
                                             [](uint16_t c) { return c > 255; });
  be.WriteWord(FontId);
  WriteFontName(be, FontName, be.Context.Version >= 6);
  be.WriteByte(FlagsByte(wide));
  for (uint16_t code : CodeTable) {
    if (wide) be.WriteWord(code);
    else be.WriteByte(static_cast<uint8_t>(code));
  }
}

void TSWFDefineFontInfo::Describe(TSWFFields& f) const {
  f.emplace_back("font", std::to_string(FontId));
  f.emplace_back("name", Quoted(FontName));
  f.emplace_back("codes", std::to_string(CodeTable.size()));
  f.emplace_back("flags", FlagList({{ANSI, "ANSI"}, {ShiftJIS, "ShiftJIS"},
                                    {SmallText, "SmallText"}, {Italic, "Italic"}, {Bold, "Bold"},
                                    {WideCodes, "WideCodes"}}));
}

void TSWFDefineFontInfo2::Assign(const TBasedSWFObject& source) {
  TSWFDefineFontInfo::Assign(source);
  LanguageCode = SourceAs<TSWFDefineFontInfo2>(source).LanguageCode;
}

void TSWFDefineFontInfo2::ReadFromStream(TBitsEngine& be) {
  FontId = be.ReadWord();
  FontName = ReadFontName(be);
  SetFlags(be.ReadByte());
  LanguageCode = be.ReadByte();
  ReadCodes(be, CodeTable, true);
}

void TSWFDefineFontInfo2::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontId);
  WriteFontName(be, FontName, true);
  be.WriteByte(FlagsByte(true));
  be.WriteByte(LanguageCode);
  for (uint16_t code : CodeTable) be.WriteWord(code);
}

void TSWFDefineFontInfo2::Describe(TSWFFields& f) const {
  TSWFDefineFontInfo::Describe(f);
  f.emplace_back("language", std::to_string(LanguageCode));
}

// ---- DefineFont2, DefineFont3 ----------------------------------------------------------------

void TSWFGlyphBounds::Read(TBitsEngine& be) {
  const TRect r = be.ReadRect();  // Left = XMin, Right = XMax, Top = YMin, Bottom = YMax
  XMin = r.Left;
  XMax = r.Right;
  YMin = r.Top;
  YMax = r.Bottom;
}

void TSWFDefineFont2::Assign(const TBasedSWFObject& source) {
  TSWFDefineFont::Assign(source);
  const auto& s = SourceAs<TSWFDefineFont2>(source);
  CodeTable = s.CodeTable;
  FontAdvanceTable = s.FontAdvanceTable;
  FontAscent = s.FontAscent;
  FontBoundsTable = s.FontBoundsTable;
  FontDescent = s.FontDescent;
  ANSI = s.ANSI;
  Bold = s.Bold;
  HasLayout = s.HasLayout;
  Italic = s.Italic;
  ShiftJIS = s.ShiftJIS;
  SmallText = s.SmallText;
  WideCodes = s.WideCodes;
  WideOffsets = s.WideOffsets;
  KerningTable = s.KerningTable;
  FontLeading = s.FontLeading;
  FontName = s.FontName;
  LanguageCode = s.LanguageCode;
  FReadVersion = s.FReadVersion;
}

void TSWFDefineFont2::ReadFromStream(TBitsEngine& be) {
  const size_t start = be.Stream.Position();
  FontId = be.ReadWord();
  const uint8_t flags = be.ReadByte();
  HasLayout = flags & 0x80;
  ShiftJIS = flags & 0x40;
  SmallText = flags & 0x20;
  ANSI = flags & 0x10;
  WideOffsets = flags & 0x08;
  WideCodes = flags & 0x04;
  Italic = flags & 0x02;
  Bold = flags & 0x01;
  LanguageCode = be.ReadByte();
  FontName = ReadFontName(be);
  const uint16_t numGlyphs = be.ReadWord();

  const size_t table = be.Stream.Position();
  const size_t offsetSize = WideOffsets ? 4 : 2;
  auto readOffset = [&] { return WideOffsets ? be.ReadDWord() : uint32_t{be.ReadWord()}; };
  std::vector<uint32_t> offsets;
  uint32_t codeTableOffset = 0;
  if (numGlyphs > 0) {
    offsets.reserve(std::min<size_t>(numGlyphs, be.Stream.Remaining() / offsetSize));
    for (size_t i = 0; i < numGlyphs; ++i) offsets.push_back(readOffset());
    codeTableOffset = readOffset();
  } else if (be.Stream.Remaining() >= offsetSize) {
    // A font without glyphs may or may not carry its code table offset, which then points just
    // behind itself; anything else is the layout block.
    if (readOffset() != offsetSize) be.Stream.SetPosition(table);
  }

  ReadGlyphs(be, table, offsets, table + codeTableOffset, GlyphShapeTable);
  CodeTable.clear();
  if (numGlyphs > 0) {
    be.Stream.SetPosition(table + codeTableOffset);
    CodeTable.reserve(numGlyphs);
    for (size_t i = 0; i < numGlyphs; ++i)
      CodeTable.push_back(WideCodes ? be.ReadWord() : be.ReadByte());
  }

  FontAdvanceTable.clear();
  FontBoundsTable.clear();
  KerningTable.clear();
  FontAscent = FontDescent = 0;
  FontLeading = 0;
  if (HasLayout) {
    FontAscent = be.ReadWord();
    FontDescent = be.ReadWord();
    FontLeading = static_cast<int16_t>(be.ReadWord());
    FontAdvanceTable.reserve(numGlyphs);
    for (size_t i = 0; i < numGlyphs; ++i)
      FontAdvanceTable.push_back(static_cast<int16_t>(be.ReadWord()));
    FontBoundsTable.resize(numGlyphs);
    for (auto& bounds : FontBoundsTable) bounds.Read(be);
    const uint16_t kerningCount = be.ReadWord();
    KerningTable.reserve(
        std::min<size_t>(kerningCount, be.Stream.Remaining() / (WideCodes ? 6 : 4)));
    for (size_t i = 0; i < kerningCount; ++i) {
      TSWFKerningRecord k;
      k.KerningCode1 = WideCodes ? be.ReadWord() : be.ReadByte();
      k.KerningCode2 = WideCodes ? be.ReadWord() : be.ReadByte();
      k.KerningAdjustment = static_cast<int16_t>(be.ReadWord());
      KerningTable.push_back(k);
    }
  }
  be.Stream.SetPosition(start + static_cast<size_t>(std::max(BodySize, 0)));
}

bool TSWFDefineFont2::NeedsWideCodes() const {
  // The kerning codes count only where the layout, which holds them, is written.
  const bool layout = HasLayout && !CodeTable.empty();
  return std::any_of(CodeTable.begin(), CodeTable.end(), [](uint16_t c) { return c > 255; }) ||
         (layout && std::any_of(KerningTable.begin(), KerningTable.end(), [](const TSWFKerningRecord& k) {
           return k.KerningCode1 > 255 || k.KerningCode2 > 255;
         }));
}

void TSWFDefineFont2::WriteTagBody(TBitsEngine& be) {
  const size_t numGlyphs = CodeTable.size();
  if (numGlyphs > 0xFFFF) throw ESWFError("A font holds more than 65535 glyphs");
  const bool wideCodes = WritesWideCodes();
  const bool layout = HasLayout && numGlyphs > 0;
  // A font without codes is marked ANSI unless it names another encoding.
  const bool ansi = ANSI || (numGlyphs == 0 && !ShiftJIS && !wideCodes);

  // One glyph per code; the glyphs go to their own buffer first, since the width of the offsets
  // in front of them depends on their size.
  TMemoryStream glyphs;
  TBitsEngine ge(glyphs, be.Context);
  std::vector<size_t> glyphOffsets;
  glyphOffsets.reserve(numGlyphs);
  TShapeRecordList noOutline;
  for (size_t i = 0; i < numGlyphs; ++i) {
    glyphOffsets.push_back(glyphs.Size());
    WriteGlyph(ge, i < GlyphShapeTable.size() ? GlyphShapeTable[i] : noOutline, true);
  }
  // The width is this write's choice; WideOffsets keeps what was read.
  const bool wideOffsets = numGlyphs > 128 || 2 * (numGlyphs + 1) + glyphs.Size() > 0xFFFF;
  const size_t tableSize = (wideOffsets ? 4 : 2) * (numGlyphs + 1);
  if (tableSize + glyphs.Size() > 0xFFFFFFFFu) throw ESWFError("The glyphs of a font exceed 4 GB");

  be.WriteWord(FontId);
  be.WriteByte(static_cast<uint8_t>((layout ? 0x80 : 0) | (ShiftJIS ? 0x40 : 0) |
                                    (SmallText ? 0x20 : 0) | (ansi ? 0x10 : 0) |
                                    (wideOffsets ? 0x08 : 0) | (wideCodes ? 0x04 : 0) |
                                    (Italic ? 0x02 : 0) | (Bold ? 0x01 : 0)));
  be.WriteByte(LanguageCode);
  WriteFontName(be, FontName, be.Context.Version >= 6);
  be.WriteWord(static_cast<uint16_t>(numGlyphs));
  auto writeOffset = [&](size_t offset) {
    if (wideOffsets) be.WriteDWord(static_cast<uint32_t>(offset));
    else be.WriteWord(static_cast<uint16_t>(offset));
  };
  for (size_t offset : glyphOffsets) writeOffset(tableSize + offset);
  writeOffset(tableSize + glyphs.Size());  // the code table offset
  be.WriteBytes(glyphs.Bytes());
  for (uint16_t code : CodeTable) {
    if (wideCodes) be.WriteWord(code);
    else be.WriteByte(static_cast<uint8_t>(code));
  }
  if (!layout) return;
  be.WriteWord(FontAscent);
  be.WriteWord(FontDescent);
  be.WriteWord(static_cast<uint16_t>(FontLeading));
  // Exactly one advance and one bounds rectangle per glyph, whatever the tables hold.
  for (size_t i = 0; i < numGlyphs; ++i)
    be.WriteWord(static_cast<uint16_t>(i < FontAdvanceTable.size() ? FontAdvanceTable[i] : 0));
  for (size_t i = 0; i < numGlyphs; ++i)
    (i < FontBoundsTable.size() ? FontBoundsTable[i] : TSWFGlyphBounds()).Write(be);
  if (KerningTable.size() > 0xFFFF) throw ESWFError("A font holds more than 65535 kerning pairs");
  be.WriteWord(static_cast<uint16_t>(KerningTable.size()));
  for (const auto& k : KerningTable) {
    if (wideCodes) {
      be.WriteWord(k.KerningCode1);
      be.WriteWord(k.KerningCode2);
    } else {
      be.WriteByte(static_cast<uint8_t>(k.KerningCode1));
      be.WriteByte(static_cast<uint8_t>(k.KerningCode2));
    }
    be.WriteWord(static_cast<uint16_t>(k.KerningAdjustment));
  }
}

void TSWFDefineFont2::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(FontId));
  f.emplace_back("name", Quoted(FontName));
  f.emplace_back("glyphs", std::to_string(CodeTable.size()));
  f.emplace_back("flags", FlagList({{HasLayout, "Layout"}, {ANSI, "ANSI"}, {ShiftJIS, "ShiftJIS"},
                                    {SmallText, "SmallText"}, {Italic, "Italic"}, {Bold, "Bold"},
                                    {WideCodes, "WideCodes"}, {WideOffsets, "WideOffsets"}}));
  f.emplace_back("language", std::to_string(LanguageCode));
  if (HasLayout) {
    f.emplace_back("ascent", std::to_string(FontAscent));
    f.emplace_back("descent", std::to_string(FontDescent));
    f.emplace_back("leading", std::to_string(FontLeading));
    f.emplace_back("kerning", std::to_string(KerningTable.size()));
  }
}

// ---- DefineFontAlignZones --------------------------------------------------------------------

void TSWFDefineFontAlignZones::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineFontAlignZones>(source);
  CSMTableHint = s.CSMTableHint;
  FontId = s.FontId;
  ZoneTable = s.ZoneTable;
}

void TSWFDefineFontAlignZones::ReadFromStream(TBitsEngine& be) {
  FontId = be.ReadWord();
  CSMTableHint = be.ReadByte() >> 6;
  ZoneTable.clear();
  // A zone record takes at least two bytes.
  ZoneTable.reserve(be.Stream.Remaining() / 2);
  while (be.Stream.Remaining()) {
    TSWFZoneRecord zone;
    const uint8_t count = be.ReadByte();
    zone.ZoneData.reserve(std::min<size_t>(count, be.Stream.Remaining() / 4));
    for (size_t i = 0; i < count; ++i) {
      TSWFZoneData d;
      d.AlignmentCoordinate = be.ReadWord();
      d.Range = be.ReadWord();
      zone.ZoneData.push_back(d);
    }
    const uint8_t mask = be.ReadByte();
    zone.MaskY = mask & 0x02;
    zone.MaskX = mask & 0x01;
    ZoneTable.push_back(std::move(zone));
  }
}

void TSWFDefineFontAlignZones::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontId);
  be.WriteByte(static_cast<uint8_t>((CSMTableHint & 3) << 6));
  for (const auto& zone : ZoneTable) {
    if (zone.ZoneData.size() > 255) throw ESWFError("An alignment zone holds more than 255 items");
    be.WriteByte(static_cast<uint8_t>(zone.ZoneData.size()));
    for (const auto& d : zone.ZoneData) {
      be.WriteWord(d.AlignmentCoordinate);
      be.WriteWord(d.Range);
    }
    be.WriteByte(static_cast<uint8_t>((zone.MaskY ? 0x02 : 0) | (zone.MaskX ? 0x01 : 0)));
  }
}

void TSWFDefineFontAlignZones::Describe(TSWFFields& f) const {
  f.emplace_back("font", std::to_string(FontId));
  f.emplace_back("hint", std::to_string(CSMTableHint));
  f.emplace_back("zones", std::to_string(ZoneTable.size()));
}

// ---- DefineFontName --------------------------------------------------------------------------

void TSWFDefineFontName::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineFontName>(source);
  FontId = s.FontId;
  FontName = s.FontName;
  FontCopyright = s.FontCopyright;
}

void TSWFDefineFontName::ReadFromStream(TBitsEngine& be) {
  FontId = be.ReadWord();
  FontName = be.ReadString();
  FontCopyright = be.ReadString();
}

void TSWFDefineFontName::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontId);
  be.WriteString(FontName, true);
  be.WriteString(FontCopyright, true);
}

void TSWFDefineFontName::Describe(TSWFFields& f) const {
  f.emplace_back("font", std::to_string(FontId));
  f.emplace_back("name", Quoted(FontName));
  std::string copyright = FontCopyright.substr(0, FontCopyright.find_first_of("\r\n"));
  if (copyright.size() > 60) copyright = std::string(TruncateUtf16(ToUtf8(copyright), 57)) + "...";
  f.emplace_back("copyright", Quoted(copyright));
}

// ---- DefineFont4 -----------------------------------------------------------------------------

void TSWFDefineFont4::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineFont4>(source);
  FontID = s.FontID;
  HasFontData = s.HasFontData;
  Italic = s.Italic;
  Bold = s.Bold;
  Reserved = s.Reserved;
  FontName = s.FontName;
  FontData = s.FontData;
}

void TSWFDefineFont4::ReadFromStream(TBitsEngine& be) {
  FontID = be.ReadWord();
  const uint8_t flags = be.ReadByte();
  Reserved = flags >> 3;
  HasFontData = flags & 0x04;
  Italic = flags & 0x02;
  Bold = flags & 0x01;
  FontName = be.ReadString();
  const auto data = be.ReadBytes(be.Stream.Remaining());
  FontData.assign(data.begin(), data.end());
}

void TSWFDefineFont4::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontID);
  be.WriteByte(static_cast<uint8_t>((Reserved & 31) << 3 | (HasFontData ? 0x04 : 0) |
                                    (Italic ? 0x02 : 0) | (Bold ? 0x01 : 0)));
  be.WriteString(FontName, true);
  if (!FontData.empty()) be.WriteBytes(FontData);
}

void TSWFDefineFont4::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(FontID));
  f.emplace_back("name", Quoted(FontName));
  f.emplace_back("flags", FlagList({{HasFontData, "HasFontData"}, {Italic, "Italic"}, {Bold, "Bold"}}));
  f.emplace_back("data", std::to_string(FontData.size()));
}

}  // namespace tw::swf
