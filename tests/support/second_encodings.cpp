#include "support/second_encodings.h"

#include <algorithm>

#include "swf/abc.h"
#include "swf/font_tags.h"

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

using namespace tw::swf;


bool AnyGlyphRecord(const TSWFObject& tag,
                    const std::function<bool(const TSWFStyleChangeRecord&)>& test) {
  const auto* font = dynamic_cast<const TSWFDefineFont*>(&tag);
  if (!font) return false;
  for (const auto& glyph : font->GlyphShapeTable) {
    for (const auto& r : glyph) {
      if (r->Kind == TShapeRecordKind::StyleChange &&
          test(static_cast<const TSWFStyleChangeRecord&>(*r)))
        return true;
    }
  }
  return false;
}

// Fonts and ABC files: our writer settles a few choices its own way where the format allows two.
const SecondEncodingRule kRules[] = {
    {"glyph offsets: 32-bit exactly for more than 128 glyphs",
     [](const TSWFObject& tag, auto, auto) {
       const auto* font = dynamic_cast<const TSWFDefineFont2*>(&tag);
       return font && font->WideOffsets != (font->CodeTable.size() > 128);
     }},
    {"a font without glyphs carries its code table offset",
     [](const TSWFObject& tag, auto source, auto written) {
       const auto* font = dynamic_cast<const TSWFDefineFont2*>(&tag);
       return font && font->CodeTable.empty() && written.size() == source.size() + 2;
     }},
    {"glyph outlines: style indices in one fill bit and no line bits",
     [](const TSWFObject& tag, auto, auto) {
       return AnyGlyphRecord(tag, [](const TSWFStyleChangeRecord& r) {
         return r.FillBits != 1 || r.LineBits != 0;
       });
     }},
    {"glyph bounds: an all-zero RECT is written in 0 bits",
     [](const TSWFObject& tag, auto, auto) {
       const auto* font = dynamic_cast<const TSWFDefineFont2*>(&tag);
       return font && font->HasLayout &&
              std::any_of(font->FontBoundsTable.begin(), font->FontBoundsTable.end(),
                          [](const TSWFGlyphBounds& r) { return r == TSWFGlyphBounds(); });
     }},
    {"an empty int, uint or double pool stored with count 1 is written with count 0",
     [](const TSWFObject& tag, auto source, auto written) {
       const auto* abc = dynamic_cast<const TSWFDoABC*>(&tag);
       return abc && abc->ParseActions && written.size() == source.size() &&
              (abc->ConstantPool.Int.empty() || abc->ConstantPool.UInt.empty() ||
               abc->ConstantPool.Double.empty());
     }},
};

}  // namespace

std::span<const SecondEncoding> SecondEncodings() { return kSecondEncodings; }

const SecondEncoding* FindSecondEncoding(std::string_view file, std::string_view where) {
  for (const auto& e : kSecondEncodings) {
    if (file == e.file && where == e.where) return &e;
  }
  return nullptr;
}

std::span<const SecondEncodingRule> SecondEncodingRules() { return kRules; }

const char* ExplainSecondEncoding(std::string_view file, size_t index, uint16_t code,
                                  const TSWFReadContext& context, std::span<const uint8_t> source,
                                  std::span<const uint8_t> written) {
  if (const auto* e = FindSecondEncoding(file, "tag " + std::to_string(index))) return e->reason;
  auto tag = CreateTagObject(code);
  tag->SetReadContext(context);
  tag->BodySize = static_cast<int32_t>(source.size());
  TMemoryStream view = TMemoryStream::View(source);
  TBitsEngine be(view);
  try {
    tag->ReadFromStream(be);
  } catch (const ESWFError&) {
    return nullptr;
  }
  for (const auto& rule : kRules)
    if (rule.applies(*tag, source, written)) return rule.name;
  return nullptr;
}

}  // namespace tw::test
