// Texts with an embedded font played in the browser tests' Flash runtime: the ink of a static
// text, of an edit text and of a dynamic text showing its variable lies where, and is as large
// as, FreeType draws the same strings of the same face at the same size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "support/glyph_ink.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

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
  ExpectInkNear(DarkInk(shot, 0, 65), FreeTypeInk(face.FileName(), still, 32, 20, 10 + ascentPx), "static text");
  // An edit text keeps a gutter of 2 pixels inside its bounds.
  ExpectInkNear(DarkInk(shot, 66, 125), FreeTypeInk(face.FileName(), edit, 32, 22, 72 + ascentPx), "edit text");
  ExpectInkNear(DarkInk(shot, 126, 200), FreeTypeInk(face.FileName(), shown, 32, 22, 132 + ascentPx),
                "dynamic text");
}

}  // namespace
}  // namespace tw::builder
