#include "builder/font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <vector>

#include "builder/edges.h"
#include "swf/bits.h"
#include "swf/errors.h"

namespace tw::builder {
namespace {

struct TPatternFree {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using TPattern = std::unique_ptr<FcPattern, TPatternFree>;
struct TFontSetFree {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

int32_t Round(double v) { return static_cast<int32_t>(swf::RoundHalfEven(v)); }

// A face file fontconfig offers: its path and the index of the face inside it.
struct TFaceFile {
  std::string Path;
  int Index = 0;
};

TFaceFile FaceFileOf(FcPattern* pattern) {
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(pattern, FC_FILE, 0, &file) != FcResultMatch || !file) return {};
  FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
  return {reinterpret_cast<const char*>(file), index};
}

// The candidates in fontconfig's order of preference for the name, weight and slant: the best
// match first, then the rest of its sorted list, so that a file that fails to load is skipped.
std::vector<TFaceFile> Candidates(const TLogFont& font) {
  TPattern pattern(FcPatternCreate());
  if (!pattern) return {};
  if (!font.FaceName.empty())
    FcPatternAddString(pattern.get(), FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(font.FaceName.c_str()));
  const int weight = font.Weight > 0 ? font.Weight : 400;
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern.get(), FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());

  std::vector<TFaceFile> files;
  FcResult result = FcResultNoMatch;
  if (TPattern match{FcFontMatch(nullptr, pattern.get(), &result)}) {
    TFaceFile f = FaceFileOf(match.get());
    if (!f.Path.empty()) files.push_back(f);
  }
  std::unique_ptr<FcFontSet, TFontSetFree> set(FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result));
  if (set)
    for (int i = 0; i < set->nfont; ++i) {
      TFaceFile f = FaceFileOf(set->fonts[i]);
      if (!f.Path.empty()) files.push_back(f);
    }
  return files;
}

// Scaled coordinates of a FreeType point in font units, y up.
struct TOutlineWriter {
  TFlashEdges& Edges;
  double Scale;
  bool Open = false;

  TPoint At(const FT_Vector* v) const {
    return {Round(static_cast<double>(v->x) * Scale), Round(static_cast<double>(v->y) * Scale)};
  }

  static TOutlineWriter& Of(void* user) { return *static_cast<TOutlineWriter*>(user); }
  static int MoveTo(const FT_Vector* to, void* user) {
    TOutlineWriter& w = Of(user);
    if (w.Open) w.Edges.CloseShape();
    const TPoint p = w.At(to);
    w.Edges.MoveTo(p.X, p.Y);
    w.Open = true;
    return 0;
  }
  static int LineTo(const FT_Vector* to, void* user) {
    TOutlineWriter& w = Of(user);
    const TPoint p = w.At(to);
    w.Edges.LineTo(p.X, p.Y);
    return 0;
  }
  static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    TOutlineWriter& w = Of(user);
    const TPoint c = w.At(control), a = w.At(to);
    w.Edges.CurveTo(c.X, c.Y, a.X, a.Y);
    return 0;
  }
  static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    TOutlineWriter& w = Of(user);
    w.Edges.CubicBezier(w.At(c1), w.At(c2), w.At(to), 4);
    return 0;
  }
};

}  // namespace

struct TPlatformFont::TFace {
  FT_Library Library = nullptr;
  FT_Face Face = nullptr;
  ~TFace() {
    if (Face) FT_Done_Face(Face);
    if (Library) FT_Done_FreeType(Library);
  }
};

TPlatformFont::TPlatformFont(const TLogFont& font) : FFace(std::make_unique<TFace>()) {
  if (FT_Init_FreeType(&FFace->Library) != 0) throw swf::ESWFError("The font engine could not be started");
  for (const TFaceFile& file : Candidates(font)) {
    FT_Face face = nullptr;
    if (FT_New_Face(FFace->Library, file.Path.c_str(), file.Index, &face) != 0) continue;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
      FT_Done_Face(face);
      continue;
    }
    FFace->Face = face;
    FFileName = file.Path;
    break;
  }
  if (!FFace->Face)
    throw swf::ESWFError("No font could be loaded for \"" + font.FaceName + "\"");
  FT_Select_Charmap(FFace->Face, FT_ENCODING_UNICODE);

  // The Windows metrics of the OS/2 table are what desktop text engines take for a line's
  // ascent and descent; faces without them give the horizontal header's.
  const FT_Face f = FFace->Face;
  double ascent = f->ascender, descent = -f->descender;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
      os2 && os2->version != 0xFFFF && (os2->usWinAscent || os2->usWinDescent)) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  }
  FAscent = Round(ascent * Scale());
  FDescent = Round(descent * Scale());
}

TPlatformFont::~TPlatformFont() = default;

double TPlatformFont::Scale() const { return static_cast<double>(kEmSize) / FFace->Face->units_per_EM; }

std::string TPlatformFont::FamilyName() const {
  return FFace->Face->family_name ? FFace->Face->family_name : "";
}

unsigned TPlatformFont::GlyphIndex(char32_t code) const {
  // 0 is the face's missing glyph, which stands in for every character it lacks.
  return FT_Get_Char_Index(FFace->Face, code);
}

bool TPlatformFont::HasGlyph(char32_t code) const { return GlyphIndex(code) != 0; }

int32_t TPlatformFont::Advance(char32_t code) const {
  FT_Fixed advance = 0;
  if (FT_Get_Advance(FFace->Face, GlyphIndex(code), FT_LOAD_NO_SCALE, &advance) != 0) return 0;
  return Round(static_cast<double>(advance) * Scale());
}

TTextExtent TPlatformFont::TextExtent(std::u16string_view text) const {
  double width = 0;
  for (char16_t c : text) {
    FT_Fixed advance = 0;
    if (FT_Get_Advance(FFace->Face, GlyphIndex(c), FT_LOAD_NO_SCALE, &advance) == 0)
      width += static_cast<double>(advance);
  }
  return {Round(width * Scale()), FAscent + FDescent};
}

bool TPlatformFont::Outline(char32_t code, TFlashEdges& edges) const {
  const FT_Face f = FFace->Face;
  if (FT_Load_Glyph(f, GlyphIndex(code), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
    return false;
  if (f->glyph->format != FT_GLYPH_FORMAT_OUTLINE || f->glyph->outline.n_contours <= 0) return false;
  FT_Outline_Funcs funcs{};
  funcs.move_to = &TOutlineWriter::MoveTo;
  funcs.line_to = &TOutlineWriter::LineTo;
  funcs.conic_to = &TOutlineWriter::ConicTo;
  funcs.cubic_to = &TOutlineWriter::CubicTo;
  TOutlineWriter writer{edges, Scale()};
  if (FT_Outline_Decompose(&f->glyph->outline, &funcs, &writer) != 0) return false;
  if (writer.Open) edges.CloseShape();
  edges.Mirror(false, true);
  return true;
}

}  // namespace tw::builder
