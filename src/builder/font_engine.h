// The platform's font engine: fontconfig finds the file of a face by name, weight and slant,
// FreeType reads its outlines and metrics. Every value is in units of an em square of 1024.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw::builder {

class TFlashEdges;

// What names a font, in place of the desktop platforms' logical-font record.
struct TLogFont {
  std::string FaceName;  // UTF-8; empty for none
  int32_t Height = 0;    // negative: the character height (em); only its size is used
  int32_t Weight = 0;    // 400 regular, 700 bold; 0 counts as regular
  bool Italic = false;
  uint8_t CharSet = 0;   // 0 ANSI, 1 default, 2 symbol, 128 ShiftJIS, ...
  bool operator==(const TLogFont&) const = default;
};

struct TTextExtent {
  int32_t Width = 0, Height = 0;
};

// One loaded face. A name that is not installed resolves to fontconfig's substitute; the
// constructor throws only when no face at all can be loaded.
class TPlatformFont {
 public:
  static constexpr int kEmSize = 1024;

  explicit TPlatformFont(const TLogFont& font);
  ~TPlatformFont();
  TPlatformFont(const TPlatformFont&) = delete;
  TPlatformFont& operator=(const TPlatformFont&) = delete;

  const std::string& FileName() const { return FFileName; }
  std::string FamilyName() const;
  bool HasGlyph(char32_t code) const;

  int32_t Ascent() const { return FAscent; }
  int32_t Descent() const { return FDescent; }
  // The part of ascent plus descent above the em square.
  int32_t InternalLeading() const { return FAscent + FDescent - kEmSize; }

  // The advance width of a character; a character the face lacks has its missing glyph's.
  int32_t Advance(char32_t code) const;
  // Width: the advances of the string summed before rounding; height: ascent plus descent.
  TTextExtent TextExtent(std::u16string_view text) const;
  // Appends the character's outline (the missing glyph's when the face lacks it) to edges,
  // which must take coordinates as given: one move per contour, quadratic curves as they stand,
  // cubic ones approximated; y points down as in a movie. False when it has no outline.
  bool Outline(char32_t code, TFlashEdges& edges) const;

 private:
  struct TFace;
  unsigned GlyphIndex(char32_t code) const;
  double Scale() const;

  std::unique_ptr<TFace> FFace;
  std::string FFileName;
  int32_t FAscent = 0, FDescent = 0;
};

}  // namespace tw::builder
