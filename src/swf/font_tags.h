// Font tags: DefineFont, DefineFontInfo, DefineFontInfo2, DefineFont2, DefineFont3,
// DefineFontAlignZones, DefineFontName. Glyph outlines are lists of shape records.
#pragma once

#include <string>
#include <vector>

#include "swf/shape_records.h"
#include "swf/tag.h"

namespace tw::swf {

class TSWFDefineFont : public TSWFObject {
 public:
  TSWFDefineFont() : TSWFObject(10) {}

  uint16_t FontId = 0;
  std::vector<TShapeRecordList> GlyphShapeTable;  // one outline per glyph

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(FontId); }
  // The texts that follow may use the font's glyphs.
  void UpdateReadContext(TSWFReadContext& context) const override {
    context.FontGlyphs[FontId] = GlyphCount();
  }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFDefineFont(uint16_t tagID) : TSWFObject(tagID) {}
  virtual size_t GlyphCount() const { return GlyphShapeTable.size(); }
  // While it lives, a glyph whose first style change selects no fill (or fill 0) starts by
  // selecting fill 1 instead, as DefineFont2 writes it; the glyph's own record goes back in
  // place however the scope ends.
  class TFill1Selection {
   public:
    TFill1Selection(TShapeRecordList& glyph, bool select);
    ~TFill1Selection();
    TFill1Selection(const TFill1Selection&) = delete;
    TFill1Selection& operator=(const TFill1Selection&) = delete;

   private:
    TShapeRecordList& FGlyph;
    std::unique_ptr<TSWFShapeRecord> FHeld;
  };
  // Reads the glyphs at the given offsets from the offset table at position table; a glyph ends
  // where the next begins, the last one at end (all positions in the body).
  static void ReadGlyphs(TBitsEngine& be, size_t table, const std::vector<uint32_t>& offsets,
                         size_t end, std::vector<TShapeRecordList>& glyphs);
  // Writes a glyph with the narrowest style-index widths its records allow (one fill bit and
  // no line bits for any real glyph). selectFill1: a first style change that selects no fill
  // is written as selecting fill 1.
  static void WriteGlyph(TBitsEngine& be, TShapeRecordList& glyph, bool selectFill1);
};

class TSWFDefineFontInfo : public TSWFObject {
 public:
  TSWFDefineFontInfo() : TSWFObject(13) {}

  std::vector<uint16_t> CodeTable;
  bool ANSI = false, Bold = false, Italic = false, ShiftJIS = false, SmallText = false;
  bool WideCodes = false;
  uint16_t FontId = 0;
  std::string FontName;  // the bytes of the file

  void Assign(const TBasedSWFObject& source) override;
  // How long the name is in the file depends on the version (UTF-8 from 6 on).
  void SetReadContext(const TSWFReadContext& context) override { FReadVersion = context.Version; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(FontId); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFDefineFontInfo(uint16_t tagID) : TSWFObject(tagID) {}
  uint8_t FlagsByte(bool wideCodes) const;
  void SetFlags(uint8_t flags);
  uint8_t FReadVersion = 5;  // the version of the movie being read
};

class TSWFDefineFontInfo2 : public TSWFDefineFontInfo {
 public:
  TSWFDefineFontInfo2() : TSWFDefineFontInfo(62) {}

  uint8_t LanguageCode = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 6; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// A glyph's bounds as stored. Authoring tools mark a glyph without outline by an inverted
// rectangle (XMin above XMax); a normalising TSWFRect would turn that mark into a huge box.
struct TSWFGlyphBounds {
  int32_t XMin = 0, XMax = 0, YMin = 0, YMax = 0;
  void Read(TBitsEngine& be);
  void Write(TBitsEngine& be) const { be.WriteRect({XMin, XMax, YMin, YMax}); }
  bool operator==(const TSWFGlyphBounds&) const = default;
};

struct TSWFKerningRecord {
  int16_t KerningAdjustment = 0;
  uint16_t KerningCode1 = 0;
  uint16_t KerningCode2 = 0;
  bool operator==(const TSWFKerningRecord&) const = default;
};

class TSWFDefineFont2 : public TSWFDefineFont {
 public:
  TSWFDefineFont2() : TSWFDefineFont(48) {}

  std::vector<uint16_t> CodeTable;       // one code per glyph
  std::vector<int16_t> FontAdvanceTable;  // with HasLayout: one per glyph
  uint16_t FontAscent = 0;
  std::vector<TSWFGlyphBounds> FontBoundsTable;  // with HasLayout: one per glyph
  uint16_t FontDescent = 0;
  bool ANSI = false, Bold = false, HasLayout = false, Italic = false, ShiftJIS = false;
  bool SmallText = false, WideCodes = false;
  // Chosen on writing: wide when there are more than 128 glyphs or the glyph data does not fit
  // 16-bit offsets.
  bool WideOffsets = false;
  std::vector<TSWFKerningRecord> KerningTable;
  int16_t FontLeading = 0;
  std::string FontName;  // the bytes of the file, a terminating zero included when it has one
  uint8_t LanguageCode = 0;

  size_t KerningCount() const { return KerningTable.size(); }

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  // How long the name is in the file depends on the version (UTF-8 from 6 on).
  void SetReadContext(const TSWFReadContext& context) override { FReadVersion = context.Version; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFDefineFont2(uint16_t tagID) : TSWFDefineFont(tagID) {}
  size_t GlyphCount() const override { return CodeTable.size(); }
  // Whether a code or a kerning code cannot be written in one byte.
  bool NeedsWideCodes() const;
  // The code width the writer uses: WideCodes, or wider when a code needs it.
  bool WritesWideCodes() const { return WideCodes || NeedsWideCodes(); }
  uint8_t FReadVersion = 5;  // the version of the movie being read
};

class TSWFDefineFont3 : public TSWFDefineFont2 {
 public:
  TSWFDefineFont3() : TSWFDefineFont2(75) { WideCodes = true; }
  int MinVersion() const override { return 8; }
};

struct TSWFZoneData {
  uint16_t AlignmentCoordinate = 0;  // a half-precision float, kept as stored
  uint16_t Range = 0;                // likewise
  bool operator==(const TSWFZoneData&) const = default;
};

struct TSWFZoneRecord {
  std::vector<TSWFZoneData> ZoneData;  // NumZoneData items
  bool MaskX = false, MaskY = false;
  size_t NumZoneData() const { return ZoneData.size(); }
  bool operator==(const TSWFZoneRecord&) const = default;
};

class TSWFDefineFontAlignZones : public TSWFObject {
 public:
  TSWFDefineFontAlignZones() : TSWFObject(73) {}

  uint8_t CSMTableHint = 0;  // 2 bits
  uint16_t FontId = 0;
  std::vector<TSWFZoneRecord> ZoneTable;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(FontId); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFDefineFontName : public TSWFObject {
 public:
  TSWFDefineFontName() : TSWFObject(88) {}

  uint16_t FontId = 0;
  std::string FontName;
  std::string FontCopyright;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 9; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(FontId); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// A font in the compact font format of the text engine of later players, kept as its bytes.
class TSWFDefineFont4 : public TSWFObject {
 public:
  TSWFDefineFont4() : TSWFObject(91) {}

  uint16_t FontID = 0;
  bool HasFontData = false, Italic = false, Bold = false;
  uint8_t Reserved = 0;  // the five bits above the flags, kept as read
  std::string FontName;  // the bytes of the file
  std::vector<uint8_t> FontData;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 10; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(FontID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

}  // namespace tw::swf
