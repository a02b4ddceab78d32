// Where FreeType's own rendering of a string puts its ink: what the browser tests compare a
// text drawn by the Flash runtime with.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace tw::test {

// A box of pixels, both corners inclusive; empty until a pixel is added.
struct TInk {
  int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
  void Add(int x, int y);
  bool Empty() const { return Right < Left; }
};
std::ostream& operator<<(std::ostream& o, const TInk& ink);

// The pixels of at least half coverage when FreeType renders the string from the face file at
// an em of sizePx pixels, unhinted, the pen starting at x on the baseline (pixels); each advance
// rounded to twips, as a text of the builder writes it.
TInk FreeTypeInk(const std::string& faceFile, std::u16string_view text, int sizePx, double x,
                 double baseline);

// Expects the two boxes to agree within tolerance pixels on every side.
void ExpectInkNear(const TInk& drawn, const TInk& freeType, const std::string& what, int tolerance = 2);

}  // namespace tw::test
