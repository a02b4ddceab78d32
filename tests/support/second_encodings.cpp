#include "support/second_encodings.h"

#include <algorithm>

#include "swf/abc.h"
#include "swf/display_fields.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/shape_tags.h"
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


using StyleChangeTest = std::function<bool(const TSWFStyleChangeRecord&)>;

bool AnyStyleChange(const TShapeRecordList& records, const StyleChangeTest& test) {
  return std::any_of(records.begin(), records.end(), [&](const auto& r) {
    return r->Kind == TShapeRecordKind::StyleChange &&
           test(static_cast<const TSWFStyleChangeRecord&>(*r));
  });
}

bool AnyGlyphRecord(const TSWFObject& tag, const StyleChangeTest& test) {
  const auto* font = dynamic_cast<const TSWFDefineFont*>(&tag);
  return font && std::any_of(font->GlyphShapeTable.begin(), font->GlyphShapeTable.end(),
                             [&](const TShapeRecordList& glyph) {
                               return AnyStyleChange(glyph, test);
                             });
}

// Whether a fill of the list, or of the new styles of the shape's records, has a matrix whose
// scale is (0, 0).
bool AnyZeroScaleFill(const TFillStyleList& fills) {
  return std::any_of(fills.begin(), fills.end(), [](const auto& fill) {
    const TSWFMatrix* m = nullptr;
    if (const auto* image = dynamic_cast<const TSWFImageFill*>(fill.get())) m = &image->Matrix;
    if (const auto* gradient = dynamic_cast<const TSWFGradientFill*>(fill.get()))
      m = &gradient->Matrix;
    return m && m->HasScale && m->ScaleX == 0 && m->ScaleY == 0;
  });
}

// The bytes of the RECT at byte `at` of a body; 0 when the body ends first.
size_t RectSize(std::span<const uint8_t> body, size_t at) {
  if (at >= body.size()) return 0;
  const size_t bits = 5 + 4 * static_cast<size_t>(body[at] >> 3);
  return (bits + 7) / 8;
}

// Each named case says what in the source our writer settles otherwise: the check that the
// source has it and that our bytes are what settling it gives, given the tag as read from the
// source and as read from our bytes.
struct NamedCheck {
  const char* reason;
  std::function<bool(const TSWFObject& asRead, const TSWFObject& back,
                     std::span<const uint8_t> source, std::span<const uint8_t> written)>
      holds;
};

const NamedCheck kNamedChecks[] = {
    // The pair takes 2 bits in the source and none in ours: our bytes are never more.
    {kZeroMoveTo,
     [](const TSWFObject& tag, auto&, auto source, auto written) {
       const auto* shape = dynamic_cast<const TSWFDefineShape*>(&tag);
       return shape && written.size() <= source.size() &&
              AnyStyleChange(shape->Edges, [](const TSWFStyleChangeRecord& r) {
                return r.StateMoveTo && r.X == 0 && r.Y == 0;
              });
     }},
    {kZeroScale,
     [](const TSWFObject& tag, auto&, auto source, auto written) {
       const auto* shape = dynamic_cast<const TSWFDefineShape*>(&tag);
       return shape && written.size() <= source.size() &&
              (AnyZeroScaleFill(shape->FillStyles) ||
               AnyStyleChange(shape->Edges, [](const TSWFStyleChangeRecord& r) {
                 return r.StateNewStyles && AnyZeroScaleFill(r.NewFillStyles());
               }));
     }},
    // Exactly the bounds differ: ours are the one byte of a 0-bit RECT.
    {kEmptyBounds,
     [](const TSWFObject& tag, auto&, auto source, auto written) {
       const auto* shape = dynamic_cast<const TSWFDefineShape*>(&tag);
       if (!shape || !(shape->ShapeBounds == TSWFRect())) return false;
       const size_t rect = RectSize(source, 2);
       if (rect == 0 || written.size() + rect - 1 != source.size()) return false;
       std::vector<uint8_t> settled(source.begin(), source.begin() + 2);
       settled.push_back(0);
       settled.insert(settled.end(), source.begin() + 2 + static_cast<ptrdiff_t>(rect),
                      source.end());
       return std::equal(settled.begin(), settled.end(), written.begin(), written.end());
     }},
};

bool NamedDifferenceHolds(const char* reason, const TSWFObject& asRead, const TSWFObject& back,
                          std::span<const uint8_t> source, std::span<const uint8_t> written) {
  for (const auto& check : kNamedChecks)
    if (check.reason == reason) return check.holds(asRead, back, source, written);
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
    // Up to the offset table the bodies differ by the WideOffsets bit of the flags alone (the
    // offsets themselves follow the outlines, which other rules may settle too).
    {"glyph offsets: 32-bit exactly for more than 128 glyphs",
     [](const TSWFObject& tag, const TSWFObject& back, auto source, auto written) {
       const auto* font = dynamic_cast<const TSWFDefineFont2*>(&tag);
       const auto* ours = dynamic_cast<const TSWFDefineFont2*>(&back);
       if (!font || !ours || font->CodeTable.empty() || source.size() < 5) return false;
       const bool wide = font->CodeTable.size() > 128;
       const size_t table = 5 + size_t{source[4]} + 2;  // id, flags, language, name, count
       if (font->WideOffsets == wide || ours->WideOffsets != wide || written.size() < table ||
           source.size() < table)
         return false;
       std::vector<uint8_t> settled(source.begin(), source.begin() + static_cast<ptrdiff_t>(table));
       settled[2] ^= 0x08;
       return std::equal(settled.begin(), settled.end(), written.begin());
     }},
    {"a font without glyphs carries its code table offset",
     [](const TSWFObject& tag, auto&, auto source, auto written) {
       const auto* font = dynamic_cast<const TSWFDefineFont2*>(&tag);
       return font && font->CodeTable.empty() && written.size() == source.size() + 2;
     }},
    {"glyph outlines: style indices in one fill bit and no line bits",
     [](const TSWFObject& tag, const TSWFObject& back, auto, auto) {
       auto otherWidths = [](const TSWFStyleChangeRecord& r) {
         return r.FillBits != 1 || r.LineBits != 0;
       };
       return AnyGlyphRecord(tag, otherWidths) && !AnyGlyphRecord(back, otherWidths);
     }},
    {"glyph bounds: an all-zero RECT is written in 0 bits",
     [](const TSWFObject& tag, auto&, auto source, auto written) {
       const auto* font = dynamic_cast<const TSWFDefineFont2*>(&tag);
       return font && font->HasLayout && written.size() < source.size() &&
              std::any_of(font->FontBoundsTable.begin(), font->FontBoundsTable.end(),
                          [](const TSWFGlyphBounds& r) { return r == TSWFGlyphBounds(); });
     }},
    {"a placement matrix gives a pair of zero terms a field width",
     [](const TSWFObject& tag, auto&, auto source, auto written) {
       const auto* place = dynamic_cast<const TSWFPlaceObject2*>(&tag);
       if (!place || !place->HasMatrix) return false;
       size_t at = 3 + (place->HasCharacter ? 2 : 0);
       if (const auto* p3 = dynamic_cast<const TSWFPlaceObject3*>(&tag); p3 && !p3->SaveAsPlaceObject2)
         at += 1 + (p3->HasClassName ? p3->ClassName.size() + 1 : 0);
       return written.size() <= source.size() && MatrixHasWideZeroPair(source, at) &&
              !MatrixHasWideZeroPair(written, at);
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

bool SecondEncodingHolds(const SecondEncoding& named, const TSWFObject& asRead,
                         const TSWFObject& back, std::span<const uint8_t> source,
                         std::span<const uint8_t> written) {
  return NamedDifferenceHolds(named.reason, asRead, back, source, written);
}

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
  // Whatever names the difference, it must be one of encoding alone, and the one it names.
  if (!tag || !back || !SameFields(*tag, *back)) return nullptr;
  if (const auto* e = FindSecondEncoding(file, where))
    return e->code == code && NamedDifferenceHolds(e->reason, *tag, *back, source, written)
               ? e->reason
               : nullptr;
  for (const auto& rule : kRules)
    if (rule.applies(*tag, *back, source, written)) return rule.name;
  return nullptr;
}

}  // namespace tw::test
