// Text tags: the static texts DefineText and DefineText2 with their text records, the edit text
// DefineEditText and CSMTextSettings.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "swf/tag.h"

namespace tw::swf {

struct TSWFGlyphEntry {
  int32_t GlyphAdvance = 0;
  uint16_t GlyphIndex = 0;
  bool operator==(const TSWFGlyphEntry&) const = default;
};

// One run of glyphs in one style. The owning tag tells it whether colours carry alpha.
class TSWFTextRecord {
 public:
  std::vector<TSWFGlyphEntry> GlyphEntries;
  bool HasColor = false, HasFont = false, HasXOffset = false, HasYOffset = false;
  bool HasAlpha = false;

  uint16_t FontId() const { return FFontId; }
  void SetFontId(uint16_t id) { FFontId = id; HasFont = true; }
  uint16_t TextHeight() const { return FTextHeight; }
  void SetTextHeight(uint16_t height) { FTextHeight = height; HasFont = true; }
  int32_t XOffset() const { return FXOffset; }
  void SetXOffset(int32_t x) { FXOffset = x; HasXOffset = true; }
  int32_t YOffset() const { return FYOffset; }
  void SetYOffset(int32_t y) { FYOffset = y; HasYOffset = true; }
  // The colour; asking for it to change it sets HasColor.
  TSWFRGBA& TextColor() { HasColor = true; return FTextColor; }
  const TSWFRGBA& GetTextColor() const { return FTextColor; }

  void Assign(const TSWFTextRecord& source) { *this = source; }
  // Reads the record whose flags byte has just been read.
  void Read(TBitsEngine& be, uint8_t flags, uint8_t glyphBits, uint8_t advanceBits);
  void Write(TBitsEngine& be, uint8_t glyphBits, uint8_t advanceBits) const;
  void VisitFontID(const TIDVisitor& visit) {
    if (HasFont) visit(FFontId);
  }

 private:
  uint16_t FFontId = 0;
  uint16_t FTextHeight = 0;
  int32_t FXOffset = 0, FYOffset = 0;
  TSWFRGBA FTextColor;
};

class TSWFDefineText : public TSWFObject {
 public:
  TSWFDefineText() : TSWFObject(11) {}

  uint8_t AdvanceBits = 0;
  uint16_t CharacterId = 0;
  uint8_t GlyphBits = 0;
  bool HasAlpha = false;
  TSWFRect TextBounds;
  TSWFMatrix TextMatrix;
  std::vector<TSWFTextRecord> TextRecords;

  // The widths the glyph entries need: the writer never writes narrower fields.
  std::pair<uint8_t, uint8_t> NeededBits() const;

  void Assign(const TBasedSWFObject& source) override;
  void SetReadContext(const TSWFReadContext& context) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(CharacterId); }
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFDefineText(uint16_t tagID) : TSWFObject(tagID) {}

 private:
  std::map<uint16_t, size_t> FFontGlyphs;  // the fonts before the tag, while it is read
};

class TSWFDefineText2 : public TSWFDefineText {
 public:
  TSWFDefineText2() : TSWFDefineText(33) { HasAlpha = true; }
  int MinVersion() const override { return 3; }
};

class TSWFDefineEditText : public TSWFObject {
 public:
  TSWFDefineEditText() : TSWFObject(37) {}

  uint8_t Align = 0;  // 0 left, 1 right, 2 center, 3 justify
  bool AutoSize = false, Border = false;
  uint16_t CharacterId = 0;
  uint16_t FontHeight = 0;
  uint16_t FontID = 0;
  bool HasFont = false, HasFontClass = false, HasLayout = false, HasMaxLength = false;
  bool HasText = false, HasTextColor = false;
  bool HTML = false;
  int16_t Indent = 0;
  std::string InitialText;          // the bytes of the file
  std::u16string WideInitialText;   // written instead of InitialText when not empty
  int16_t Leading = 0;
  uint16_t LeftMargin = 0;
  uint16_t MaxLength = 0;
  bool Multiline = false, NoSelect = false, Password = false, ReadOnly = false;
  uint16_t RightMargin = 0;
  bool UseOutlines = false;
  std::string VariableName;
  bool WasStatic = false;  // authored as a static text; kept so that a copy keeps it
  bool WordWrap = false;
  std::string FontClass;
  TSWFRect Bounds;

  // The colour; asking for it to change it sets HasTextColor.
  TSWFRGBA& TextColor() { HasTextColor = true; return FTextColor; }
  const TSWFRGBA& GetTextColor() const { return FTextColor; }

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override {
    return HasFontClass || !FontClass.empty() ? 9 : (AutoSize ? 6 : 4);
  }
  // Whether a font class can be present depends on the version read; how strings are written
  // depends on the version written for.
  void SetReadContext(const TSWFReadContext& context) override { FReadVersion = context.Version; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(CharacterId); }
  void VisitReferencedIDs(const TIDVisitor& visit) override {
    if (HasFont) visit(FontID);
  }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 private:
  TSWFRGBA FTextColor{true};
  uint8_t FReadVersion = 5;  // the version of the movie being read
};

class TSWFCSMTextSettings : public TSWFObject {
 public:
  TSWFCSMTextSettings() : TSWFObject(74) {}

  uint8_t GridFit = 0;  // 3 bits: 0 none, 1 pixel, 2 subpixel
  float Sharpness = 0;
  uint16_t TextID = 0;
  float Thickness = 0;
  uint8_t UseFlashType = 0;  // 2 bits
  // The 3 reserved bits after GridFit and the reserved byte that ends the tag, kept as read.
  uint8_t ReservedBits = 0;
  uint8_t Reserved = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(TextID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

}  // namespace tw::swf
