#include "support/glyph_ink.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace tw::test {

void TInk::Add(int x, int y) {
  Left = std::min(Left, x);
  Top = std::min(Top, y);
  Right = std::max(Right, x);
  Bottom = std::max(Bottom, y);
}

std::ostream& operator<<(std::ostream& o, const TInk& i) {
  return o << "(" << i.Left << "," << i.Top << ")-(" << i.Right << "," << i.Bottom << ")";
}

TInk FreeTypeInk(const std::string& faceFile, std::u16string_view text, int sizePx, double x,
                 double baseline) {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  TInk ink;
  if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, faceFile.c_str(), 0, &face) != 0) {
    ADD_FAILURE() << "FreeType cannot open " << faceFile;
    if (lib) FT_Done_FreeType(lib);
    return ink;
  }
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(sizePx));
  const double scale = 1024.0 / face->units_per_EM;
  for (char16_t c : text) {
    FT_Vector delta{std::lround((x - std::floor(x)) * 64), 0};
    FT_Set_Transform(face, nullptr, &delta);
    FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
    const FT_Bitmap& bm = face->glyph->bitmap;
    const int left = int(std::floor(x)) + face->glyph->bitmap_left;
    const int top = int(std::lround(baseline)) - face->glyph->bitmap_top;
    for (unsigned row = 0; row < bm.rows; ++row)
      for (unsigned col = 0; col < bm.width; ++col)
        if (bm.buffer[row * bm.pitch + col] >= 128) ink.Add(left + int(col), top + int(row));
    FT_Load_Char(face, c, FT_LOAD_NO_SCALE);
    x += std::nearbyint(double(face->glyph->advance.x) * scale / 1024 * sizePx * 20) / 20;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return ink;
}

void ExpectInkNear(const TInk& drawn, const TInk& freeType, const std::string& what, int tolerance) {
  SCOPED_TRACE(what + ": runtime " + ::testing::PrintToString(drawn) + ", FreeType " +
               ::testing::PrintToString(freeType));
  EXPECT_NEAR(drawn.Left, freeType.Left, tolerance);
  EXPECT_NEAR(drawn.Top, freeType.Top, tolerance);
  EXPECT_NEAR(drawn.Right, freeType.Right, tolerance);
  EXPECT_NEAR(drawn.Bottom, freeType.Bottom, tolerance);
}

}  // namespace tw::test
