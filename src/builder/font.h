// TFlashFont: the characters the texts of a movie use, with their outlines and metrics from the
// platform's font engine, written as one DefineFont2. TFlashChar is one glyph of it.
// TFlashFontList is the movie's list of its fonts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builder/edges.h"
#include "builder/font_engine.h"
#include "builder/objects.h"
#include "swf/shape_records.h"

namespace tw::builder {

class TFlashChar {
 public:
  // wideCode: the character's UTF-16 unit (see TFlashFont::AddChar).
  TFlashChar(uint16_t code, bool wide, uint16_t wideCode);
  TFlashChar(const TFlashChar&) = delete;
  TFlashChar& operator=(const TFlashChar&) = delete;

  uint16_t Code;      // as added: an 8-bit code, or a UTF-16 unit in wide mode
  int32_t Advance = 0;  // font units
  bool Used = true;
  swf::TShapeRecordList ShapeRecords;  // the outline, font units, y down
  bool Loaded = false;
  bool Wide;
  uint16_t WideCode;

  // Takes coordinates as given: glyphs are in font units.
  TFlashEdges& Edges() { return FEdges; }

 private:
  TFlashEdges FEdges;
};

enum class TFontUsage : uint8_t { StaticText = 1, DynamicText = 2 };

class TFlashFont : public TFlashIDObject {
 public:
  explicit TFlashFont(TFlashMovie* owner) : TFlashIDObject(owner) {}

  int16_t Ascent = 0, Descent = 0, Leading = 0;  // font units
  bool Device = true;  // glyphs are embedded only for static texts or once this is cleared
  bool Bold = false, Italic = false;
  uint8_t EncodingType = 0;  // 0 ANSI, 1 ShiftJIS, 2 Unicode
  TLogFont LogFont;          // used as it stands when its face name is set
  uint8_t LanguageCode = 0;
  std::string Name;          // UTF-8
  bool SmallText = false;
  uint8_t Usage = 0;         // TFontUsage bits
  bool Wide = false;         // codes are UTF-16 units

  const std::vector<std::unique_ptr<TFlashChar>>& Chars() const { return FChars; }

  bool Layout() const { return FLayout; }
  // Turning the layout on reads the metrics.
  void SetLayout(bool value);
  uint16_t Size() const { return FSize; }
  // In the owner's units.
  void SetSize(int32_t value);
  void SetSizeTwips(uint16_t twips) { FSize = twips; }
  void AddUsage(TFontUsage usage) { Usage |= static_cast<uint8_t>(usage); }
  bool Uses(TFontUsage usage) const { return Usage & static_cast<uint8_t>(usage); }

  // 8-bit codes are Windows-1252.
  void AddChars(std::string_view text);
  void AddChars(std::u16string_view text);
  // True when a new glyph was made.
  bool AddChar(uint16_t code);
  TFlashChar* FindChar(uint16_t code) const;
  bool HasWideChars() const;
  // In twips at Size.
  TTextExtent GetTextExtent(std::string_view text) const;
  TTextExtent GetTextExtent(std::u16string_view text) const;
  void ReadMetrics();
  void LoadGlyphs();
  void SetFromLogFont(const TLogFont& logFont);
  // The used glyphs in the order they are written: a static text's glyph indices count in it.
  std::vector<TFlashChar*> WrittenGlyphs() const;

  void Assign(const swf::TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  bool IsResource() const override { return true; }
  void WriteToStream(swf::TBitsEngine& be) override;

 private:
  // The record the platform is asked for: LogFont when it names a face, else Name with the
  // styles.
  TLogFont ResolvedLogFont() const;
  void ReadMetrics(const TPlatformFont& font);
  bool WritesWideCodes() const { return EncodingType == 2 || HasWideChars(); }
  uint16_t KeyOf(uint16_t code) const;

  std::vector<std::unique_ptr<TFlashChar>> FChars;
  bool FLayout = false;
  uint16_t FSize = 0;
};

// What a desktop font control describes: face, styles and size (in the movie's units).
struct TFontDescription {
  std::string Name;
  bool Bold = false, Italic = false;
  int32_t Size = 0;
};

class TFlashFontList : public TFlashObjectList<TFlashFont> {
 public:
  // The first font of the same name and styles (and size, when asked), or null.
  TFlashFont* FindByFont(const TFontDescription& font, bool checkSize) const;
};

}  // namespace tw::builder
