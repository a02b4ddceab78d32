#include "support/second_encodings.h"

#include <algorithm>

#include "swf/abc.h"
#include "swf/display_fields.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/text_sound_fields.h"

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

// Whether the MATRIX at byte `at` of a body gives a pair of zero terms (scale, skew or
// translation) a nonzero field width: our writer gives such a pair no bits at all.
bool MatrixHasWideZeroPair(std::span<const uint8_t> body, size_t at) {
  size_t bit = at * 8;
  auto read = [&](unsigned n) -> int64_t {
    int64_t v = 0;
    for (unsigned i = 0; i < n; ++i, ++bit) {
      if (bit / 8 >= body.size()) return -1;
      v = v << 1 | (body[bit / 8] >> (7 - bit % 8) & 1);
    }
    return v;
  };
  auto zeroPair = [&](unsigned n) {
    const int64_t a = read(n), b = read(n);
    return n > 0 && a == 0 && b == 0;
  };
  bool wide = false;
  if (read(1) == 1) wide |= zeroPair(static_cast<unsigned>(read(5)));  // scale
  if (read(1) == 1) wide |= zeroPair(static_cast<unsigned>(read(5)));  // skew
  return wide | zeroPair(static_cast<unsigned>(read(5)));               // translation
}

// Fonts, ABC files, placements and buttons: our writer settles a few choices its own way where
// the format allows two.
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
    {"a placement matrix gives a pair of zero terms a field width",
     [](const TSWFObject& tag, auto source, auto) {
       const auto* place = dynamic_cast<const TSWFPlaceObject2*>(&tag);
       if (!place || !place->HasMatrix) return false;
       size_t at = 3 + (place->HasCharacter ? 2 : 0);
       if (const auto* p3 = dynamic_cast<const TSWFPlaceObject3*>(&tag); p3 && !p3->SaveAsPlaceObject2)
         at += 1 + (p3->HasClassName ? p3->ClassName.size() + 1 : 0);
       return MatrixHasWideZeroPair(source, at);
     }},
};

// Reads a tag of the code from body bytes; null when they do not read.
std::unique_ptr<TSWFObject> ReadAs(uint16_t code, const TSWFReadContext& context,
                                   std::span<const uint8_t> body) {
  auto tag = CreateTagObject(code);
  tag->SetReadContext(context);
  tag->BodySize = static_cast<int32_t>(body.size());
  TMemoryStream view = TMemoryStream::View(body);
  TBitsEngine be(view);
  try {
    tag->ReadFromStream(be);
  } catch (const ESWFError&) {
    return nullptr;
  }
  return tag;
}

// A second encoding changes how fields are stored, never what they hold: what the written bytes
// read back to must have every field the source had. The families with a field-by-field
// comparison use it; the others compare what they describe of themselves.
bool SameFields(const TSWFObject& source, const TSWFObject& written) {
  const FieldComparison same = CompareFields(source, written);
  if (same.Difference().rfind("no comparison", 0) != 0) return same.Same();
  if (DisplayFieldsText(source) != DisplayFieldsText(written)) return false;
  TSWFFields a, b;
  source.Describe(a);
  written.Describe(b);
  return a == b;
}

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
  return ExplainSecondEncoding(file, "tag " + std::to_string(index), code, context, source,
                               written);
}

const char* ExplainSecondEncoding(std::string_view file, std::string_view where, uint16_t code,
                                  const TSWFReadContext& context, std::span<const uint8_t> source,
                                  std::span<const uint8_t> written) {
  const auto tag = ReadAs(code, context, source);
  const auto back = ReadAs(code, context, written);
  // Whatever names the difference, it must be one of encoding alone.
  if (!tag || !back || !SameFields(*tag, *back)) return nullptr;
  if (const auto* e = FindSecondEncoding(file, where)) return e->reason;
  for (const auto& rule : kRules)
    if (rule.applies(*tag, source, written)) return rule.name;
  return nullptr;
}

}  // namespace tw::test
