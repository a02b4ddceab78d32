#include "support/second_encodings.h"

namespace tw::test {
namespace {

constexpr const char* kZeroMoveTo = "a shape's move to (0, 0) with 1-bit coordinates";
constexpr const char* kZeroScale = "a fill matrix with a scale of (0, 0) in 1-bit terms";
constexpr const char* kEmptyBounds = "empty shape bounds with 1-bit coordinates";

constexpr SecondEncoding kSecondEncodings[] = {
    {"avm1__movieclip_invalid_get_bounds_6__BoundsChild8.swf", "tag 196", 22, kZeroMoveTo},
    {"avm1__movieclip_invalid_get_bounds_6__BoundsChild8.swf", "tag 199", 22, kZeroMoveTo},
    {"avm1__movieclip_invalid_get_bounds_6__BoundsChild8.swf", "tag 202", 22, kZeroMoveTo},
    {"from_gnash__misc-ming.all__attachMovieLoopingTest__test.swf", "tag 2", 32, kZeroMoveTo},
    {"from_gnash__misc-ming.all__register_class__RegisterClassTest3__test.swf", "tag 1", 32,
     kEmptyBounds},
    {"from_gnash__misc-ming.all__reverse_execute_PlaceObject2_test2__test.swf", "tag 6", 32,
     kZeroMoveTo},
    {"from_shumway__acid__acid-mask__test.swf", "tag 3", 22, kZeroMoveTo},
    {"from_shumway__acid__acid-mask__test.swf", "tag 7", 22, kZeroMoveTo},
    {"from_shumway__acid__acid-mask__test.swf", "tag 9", 22, kZeroMoveTo},
    {"from_shumway__bitmapbuttons__test.swf", "tag 11", 22, kZeroMoveTo},
    {"from_shumway__bitmapbuttons__test.swf", "tag 18", 22, kZeroMoveTo},
    {"from_shumway__bitmapbuttons__test.swf", "tag 23", 22, kZeroMoveTo},
    {"from_shumway__slider_component__test.swf", "tag 7", 32, kZeroScale},
    {"from_shumway__slider_component__test.swf", "tag 9", 32, kZeroScale},
    {"from_shumway__slider_component__test.swf", "tag 11", 2, kZeroScale},
    {"from_shumway__slider_component__test.swf", "tag 13", 32, kZeroScale},
    {"visual__blend_modes__darken__test.swf", "tag 8", 83, kZeroScale},
    {"visual__blend_modes__multiply__test.swf", "tag 8", 83, kZeroScale},
    {"visual__cache_as_bitmap__masks__test.swf", "tag 13", 83, kZeroMoveTo},
};

}  // namespace

std::span<const SecondEncoding> SecondEncodings() { return kSecondEncodings; }

const SecondEncoding* FindSecondEncoding(std::string_view file, std::string_view where) {
  for (const auto& e : kSecondEncodings) {
    if (file == e.file && where == e.where) return &e;
  }
  return nullptr;
}

}  // namespace tw::test
