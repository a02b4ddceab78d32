// Texts with an embedded font played in the browser tests' Flash runtime: the ink of a static
// text, of an edit text and of a dynamic text showing its variable lies where, and is as large
// as, FreeType draws the same strings of the same face at the same size.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <string>

#include "builder/movie.h"
#include "builder/objects_support.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

struct TInk {
  int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;  // inclusive pixels
  void Add(int x, int y) {
    Left = std::min(Left, x), Top = std::min(Top, y), Right = std::max(Right, x), Bottom = std::max(Bottom, y);
  }
};

std::ostream& operator<<(std::ostream& o, const TInk& i) {
  return o << "(" << i.Left << "," << i.Top << ")-(" << i.Right << "," << i.Bottom << ")";
}

// The dark pixels of the screenshot between two rows.
TInk InkOf(const TRGBAImage& shot, int fromRow, int toRow) {
  TInk ink;
  for (int y = fromRow; y < std::min(toRow, shot.Height); ++y)
    for (int x = 0; x < shot.Width; ++x)
      if (shot.At(x, y)[1] < 128) ink.Add(x, y);
  return ink;
}

// Where FreeType's rendering of the string puts at least half coverage, the pen starting at x
// on the baseline y (pixels), each advance rounded to twips as a text writes it.
TInk FreeTypeInk(const std::string& file, std::u16string_view text, int sizePx, double x, double baseline) {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  TInk ink;
  if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, file.c_str(), 0, &face) != 0) {
    ADD_FAILURE() << "FreeType cannot open " << file;
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
    const double twips = std::nearbyint(face->glyph->advance.x * scale / 1024 * sizePx * 20);
    x += twips / 20;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return ink;
}

void ExpectInkNear(const TInk& ours, const TInk& theirs, const char* what) {
  SCOPED_TRACE(std::string(what) + ": runtime " + ::testing::PrintToString(ours) + ", FreeType " +
               ::testing::PrintToString(theirs));
  EXPECT_NEAR(ours.Left, theirs.Left, 2);
  EXPECT_NEAR(ours.Top, theirs.Top, 2);
  EXPECT_NEAR(ours.Right, theirs.Right, 2);
  EXPECT_NEAR(ours.Bottom, theirs.Bottom, 2);
}

TEST(TextsInFlash, DrawnWhereAndAsLargeAsFreeTypeDrawsThem) {
  TempDir dir;
  TFlashMovie movie(0, 0, 400, 200, 12, TSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BgColor() = {255, 255, 255};
  TFlashFont& font = movie.AddFont();
  font.Name = "DejaVu Sans";
  font.Device = false;
  font.SetSize(32);

  const std::u16string still = u"Wave \u00DCn\u00EFc\u00F8d\u00E9", edit = u"S\u00F3ng 12", shown = u"Ok 42";
  TFlashText& staticText = movie.AddText(still, 0xFF000000, &font, {20, 10}, 0);
  movie.PlaceObject(staticText, 1);
  TFlashText& editText = movie.AddText(edit, 0xFF000000, &font, TRect{20, 70, 380, 120});
  editText.SetDynamic(true);
  editText.SetUseOutlines(true);
  movie.PlaceObject(editText, 2);
  TFlashText& dynamicText = movie.AddDynamicText("shown", u"", 0xFF000000, &font, {20, 130, 380, 190});
  dynamicText.SetUseOutlines(true);
  font.AddChars(std::u16string_view(shown));
  movie.PlaceObject(dynamicText, 3);
  ASSERT_TRUE(movie.FrameActions().CompileScript("shown = \"Ok 42\";")) << movie.ErrorText();
  movie.ShowFrame();
  const auto file = dir / "texts.swf";
  movie.BuildBody();
  movie.SaveToFile(file);

  const TPlatformFont face(TLogFont{"DejaVu Sans"});
  const double ascentPx = std::nearbyint(face.Ascent() / 1024.0 * 640) / 20;
  const TRGBAImage shot = Screenshot(file, 400, 200);
  ASSERT_FALSE(shot.Pixels.empty());
  ExpectInkNear(InkOf(shot, 0, 65), FreeTypeInk(face.FileName(), still, 32, 20, 10 + ascentPx), "static text");
  // An edit text keeps a gutter of 2 pixels inside its bounds.
  ExpectInkNear(InkOf(shot, 66, 125), FreeTypeInk(face.FileName(), edit, 32, 22, 72 + ascentPx), "edit text");
  ExpectInkNear(InkOf(shot, 126, 200), FreeTypeInk(face.FileName(), shown, 32, 22, 132 + ascentPx),
                "dynamic text");
}

}  // namespace
}  // namespace tw::builder
