// The shared records as XML.
#include "swf/xml_records.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "swf/xml_fields.h"

namespace tw::swf {

namespace xmlfields {
namespace {

// A float's shortest text; a NaN, whose payload no text keeps, as its bits in hex.
std::string FloatText(float value) {
  char buf[32];
  if (std::isnan(value)) {
    buf[0] = '0';
    buf[1] = 'x';
    const auto r = std::to_chars(buf + 2, buf + sizeof buf, std::bit_cast<uint32_t>(value), 16);
    std::transform(buf + 2, r.ptr, buf + 2, [](char c) { return c >= 'a' ? c - 'a' + 'A' : c; });
    return {buf, r.ptr};
  }
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return {buf, r.ptr};
}

std::string NumberText(double value) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return {buf, r.ptr};
}

std::optional<float> ParseFloat(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) {
    uint32_t bits = 0;
    const auto r = std::from_chars(text.data() + 2, text.data() + text.size(), bits, 16);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || text.size() == 2)
      return std::nullopt;
    return std::bit_cast<float>(bits);
  }
  float value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

// Digits, signs and letters need no escape: the string form writes the text as it is.
void TXmlOut::Float(std::string_view name, float value) { Xml.String(name, FloatText(value)); }

void TXmlIn::Float(std::string_view name, float& value) {
  const auto parsed = ParseFloat(Node.String(name));
  if (!parsed) Node.Fail(std::string(name) + " is not a number");
  value = *parsed;
}

double TXmlIn::ReadFixed(std::string_view name, double scale, double min, double max) {
  const double steps = RoundHalfEven(Node.Number(name) * scale);
  if (!(steps >= min * scale && steps <= max * scale))
    Node.Fail(std::string(name) + " is out of range (" + NumberText(min) + " to " +
              NumberText(max) + ")");
  return steps / scale;
}

}  // namespace xmlfields

namespace {
using xmlfields::TXmlIn;
using xmlfields::TXmlOut;

// MATRIX fields are signed and at most 31 bits wide.
constexpr int64_t kFieldMin = -(int64_t{1} << 30), kFieldMax = (int64_t{1} << 30) - 1;

void WriteFixed16(TSWFXmlWriter& xml, std::string_view name, int32_t value) {
  xml.Number(name, Fixed16ToFloat(value));
}

// A scale or skew term: a number rounded to the nearest 1/65536, so that a hand-written 0.3
// is taken as the closest term the file can hold.
int32_t ReadFixed16(const TSWFXmlNode& node, std::string_view name) {
  const double raw = RoundHalfEven(node.Number(name) * 65536.0);
  if (!(raw >= static_cast<double>(kFieldMin) && raw <= static_cast<double>(kFieldMax)))
    node.Fail(std::string(name) + " is out of range (-16384 to 16383.99998)");
  return static_cast<int32_t>(raw);
}

// The terms of a colour transform in the order of the record, by name.
struct TermField {
  std::string_view Name;
  int16_t TCXFormRec::*Term;
  bool Alpha;
};
constexpr std::array<TermField, 4> kMultTerms{{{"RedMultTerm", &TCXFormRec::MultR, false},
                                               {"GreenMultTerm", &TCXFormRec::MultG, false},
                                               {"BlueMultTerm", &TCXFormRec::MultB, false},
                                               {"AlphaMultTerm", &TCXFormRec::MultA, true}}};
constexpr std::array<TermField, 4> kAddTerms{{{"RedAddTerm", &TCXFormRec::AddR, false},
                                              {"GreenAddTerm", &TCXFormRec::AddG, false},
                                              {"BlueAddTerm", &TCXFormRec::AddB, false},
                                              {"AlphaAddTerm", &TCXFormRec::AddA, true}}};

// The width the writer picks for the terms alone (see TBitsEngine::WriteColorTransform).
unsigned SmallestTermBits(const TCXFormRec& c) {
  const unsigned addBits =
      c.HasAdd ? SignedFieldBits({c.AddR, c.AddG, c.AddB, c.HasAlpha ? c.AddA : int16_t{0}}, 15) : 0;
  const unsigned multBits =
      c.HasMult ? SignedFieldBits({c.MultR, c.MultG, c.MultB, c.HasAlpha ? c.MultA : int16_t{0}}, 15)
                : 0;
  return std::max(addBits, multBits);
}

void WriteTerms(TSWFXmlWriter& xml, const TCXFormRec& c, const std::array<TermField, 4>& terms) {
  for (const auto& t : terms)
    if (!t.Alpha || c.HasAlpha) xml.Int(t.Name, c.*t.Term);
}

// Present when any of its terms is written; a term left out is the one that changes nothing.
bool ReadTerms(const TSWFXmlNode& node, TCXFormRec& c, const std::array<TermField, 4>& terms,
               int16_t neutral) {
  bool any = false;
  for (const auto& t : terms) {
    if (t.Alpha && !c.HasAlpha) continue;
    // Terms are at most 15 bits wide: the width field has 4 bits.
    if (node.Has(t.Name)) any = true;
    c.*t.Term = node.Has(t.Name) ? static_cast<int16_t>(node.Int(t.Name, -16384, 16383)) : neutral;
  }
  return any;
}

}  // namespace

void WriteMatrixXml(TSWFXmlWriter& xml, std::string_view element, const TSWFMatrix& matrix) {
  xml.Open(element);
  xml.Int("TranslateX", matrix.TranslateX);
  xml.Int("TranslateY", matrix.TranslateY);
  if (matrix.HasScale) {
    WriteFixed16(xml, "ScaleX", matrix.ScaleX);
    WriteFixed16(xml, "ScaleY", matrix.ScaleY);
  }
  // The record holds the skew terms in this order: RotateSkew0 first.
  if (matrix.HasSkew) {
    WriteFixed16(xml, "RotateSkew0", matrix.SkewY);
    WriteFixed16(xml, "RotateSkew1", matrix.SkewX);
  }
  xml.Close();
}

void ReadMatrixXml(const TSWFXmlNode& node, TSWFMatrix& matrix) {
  TSWFMatrix m;
  m.TranslateX = static_cast<int32_t>(node.Has("TranslateX") ? node.Int("TranslateX", kFieldMin, kFieldMax) : 0);
  m.TranslateY = static_cast<int32_t>(node.Has("TranslateY") ? node.Int("TranslateY", kFieldMin, kFieldMax) : 0);
  // A pair comes whole: one term alone would leave the other to a guess.
  m.HasScale = node.Has("ScaleX") || node.Has("ScaleY");
  if (m.HasScale) {
    m.ScaleX = ReadFixed16(node, "ScaleX");
    m.ScaleY = ReadFixed16(node, "ScaleY");
  }
  m.HasSkew = node.Has("RotateSkew0") || node.Has("RotateSkew1");
  if (m.HasSkew) {
    m.SkewY = ReadFixed16(node, "RotateSkew0");
    m.SkewX = ReadFixed16(node, "RotateSkew1");
  }
  matrix = m;
}

void WriteColorTransformXml(TSWFXmlWriter& xml, std::string_view element,
                            const TSWFColorTransform& transform, bool hasAlpha) {
  TCXFormRec c = transform.GetRec();
  c.HasAlpha = hasAlpha;
  xml.Open(element);
  if (c.HasMult) WriteTerms(xml, c, kMultTerms);
  if (c.HasAdd) WriteTerms(xml, c, kAddTerms);
  if (c.Bits <= 15 && c.Bits > SmallestTermBits(c)) xml.Int("Nbits", c.Bits);
  xml.Close();
}

void ReadColorTransformXml(const TSWFXmlNode& node, TSWFColorTransform& transform, bool hasAlpha) {
  TCXFormRec c;
  c.HasAlpha = hasAlpha;
  c.HasMult = ReadTerms(node, c, kMultTerms, 256);
  if (!c.HasMult) c.MultR = c.MultG = c.MultB = c.MultA = 0;
  c.HasAdd = ReadTerms(node, c, kAddTerms, 0);
  const unsigned smallest = SmallestTermBits(c);
  c.Bits = static_cast<uint8_t>(smallest);
  if (node.Has("Nbits")) {
    c.Bits = static_cast<uint8_t>(node.Int("Nbits", 0, 15));
    if (c.Bits < smallest)
      node.Fail("Nbits=" + std::to_string(c.Bits) + " is too narrow for the terms (they need " +
                std::to_string(smallest) + ")");
  }
  transform.SetAsRead(c);
}

// ---- filters ---------------------------------------------------------------------------------

namespace {

// The ranges of the fixed-point fields of filters: 16.16 and 8.8, both signed.
constexpr double kFixed16Min = -32768.0, kFixed16Max = 2147483647.0 / 65536.0;
constexpr double kFixed8Min = -128.0, kFixed8Max = 32767.0 / 256.0;

// A filter seen as its class, const where the filter is.
template <class T, class F>
auto& As(F& filter) {
  if constexpr (std::is_const_v<F>) return static_cast<const T&>(filter);
  else return static_cast<T&>(filter);
}

template <class Io, class F>
void BlurFields(Io& io, F& f) {
  io.Fixed("BlurX", f.BlurX, xmlfields::kFixed16Scale, kFixed16Min, kFixed16Max);
  io.Fixed("BlurY", f.BlurY, xmlfields::kFixed16Scale, kFixed16Min, kFixed16Max);
}

template <class Io, class F>
void AngleFields(Io& io, F& f) {
  io.Fixed("Angle", f.Angle, xmlfields::kFixed16Scale, kFixed16Min, kFixed16Max);
  io.Fixed("Distance", f.Distance, xmlfields::kFixed16Scale, kFixed16Min, kFixed16Max);
}

template <class Io, class F>
void StrengthField(Io& io, F& f) {
  io.Fixed("Strength", f.Strength, xmlfields::kFixed8Scale, kFixed8Min, kFixed8Max);
}

// The flags byte of shadows, glows and bevels; Passes has 5 bits, or 4 beside OnTop.
template <class Io, class F>
void ShadowFlagFields(Io& io, F& f, auto& inner, std::string_view innerName) {
  io.Flag(innerName, inner);
  io.Flag("Knockout", f.Knockout);
  io.Flag("CompositeSource", f.CompositeSource);
  if constexpr (requires { f.OnTop; }) {
    io.Flag("OnTop", f.OnTop);
    io.Int("Passes", f.Passes, 0, 15);
  } else {
    io.Int("Passes", f.Passes, 0, 31);
  }
}

template <class Io, class F>
void Fields(Io& io, F& f, std::type_identity<TSWFDropShadowFilter>) {
  io.Color("DropShadowColor", f.Color);
  BlurFields(io, f);
  AngleFields(io, f);
  StrengthField(io, f);
  ShadowFlagFields(io, f, f.InnerShadow, "InnerShadow");
}

template <class Io, class F>
void Fields(Io& io, F& f, std::type_identity<TSWFBlurFilter>) {
  BlurFields(io, f);
  io.Int("Passes", f.Passes, 0, 31);
  io.Optional("Reserved", f.ReservedBits, uint8_t{0}, 0, 7);
}

template <class Io, class F>
void Fields(Io& io, F& f, std::type_identity<TSWFGlowFilter>) {
  io.Color("GlowColor", f.Color);
  BlurFields(io, f);
  StrengthField(io, f);
  ShadowFlagFields(io, f, f.InnerGlow, "InnerGlow");
}

template <class Io, class F>
void Fields(Io& io, F& f, std::type_identity<TSWFBevelFilter>) {
  io.Color("ShadowColor", f.ShadowColor);
  io.Color("HighlightColor", f.HighlightColor);
  BlurFields(io, f);
  AngleFields(io, f);
  StrengthField(io, f);
  ShadowFlagFields(io, f, f.InnerShadow, "InnerShadow");
}

void GradientStops(TXmlOut& io, const std::vector<TSWFGradientStop>& stops) {
  for (const auto& stop : stops) {
    io.Xml.Open("GradientStop");
    io.Xml.Color("Color", stop.Color);
    io.Xml.Int("Ratio", stop.Ratio);
    io.Xml.Close();
  }
}

void GradientStops(TXmlIn& io, std::vector<TSWFGradientStop>& stops) {
  stops.clear();
  for (const TSWFXmlNode& child : io.Node.Elements()) {
    if (child.Name() != "GradientStop")
      child.Fail("unknown element <" + std::string(child.Name()) + "> in <" +
                 std::string(io.Node.Name()) + ">");
    if (stops.size() == 255) child.Fail("a gradient filter holds at most 255 colours");
    TSWFGradientStop& stop = stops.emplace_back();
    child.Color("Color", stop.Color);
    stop.Ratio = child.Get<uint8_t>("Ratio");
  }
}

template <class Io, class F>
void Fields(Io& io, F& f, std::type_identity<TSWFGradientGlowFilter>) {
  BlurFields(io, f);
  AngleFields(io, f);
  StrengthField(io, f);
  ShadowFlagFields(io, f, f.InnerShadow, "InnerShadow");
  GradientStops(io, f.Stops);  // elements, after every attribute
}

// A matrix of floats as one attribute, the values apart by spaces, row by row.
void FloatList(TXmlOut& io, std::string_view name, std::span<const float> values) {
  std::string text;
  for (float v : values) {
    if (!text.empty()) text += ' ';
    text += xmlfields::FloatText(v);
  }
  io.Xml.String(name, text);
}

template <class List>
void FloatList(TXmlIn& io, std::string_view name, List& values, size_t count) {
  const std::string text = io.Node.String(name);
  std::vector<float> read;
  size_t at = 0;
  while ((at = text.find_first_not_of(" \t\r\n", at)) != std::string::npos) {
    const size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
    const auto v = xmlfields::ParseFloat(std::string_view(text).substr(at, end - at));
    if (!v) io.Node.Fail(std::string(name) + " holds \"" + text.substr(at, end - at) + "\", not a number");
    if (read.size() == count)
      io.Node.Fail(std::string(name) + " holds more than " + std::to_string(count) + " values");
    read.push_back(*v);
    at = end;
  }
  if (read.size() != count)
    io.Node.Fail(std::string(name) + " holds " + std::to_string(read.size()) + " values, " +
                 std::to_string(count) + " are needed");
  if constexpr (requires { values.assign(read.begin(), read.end()); }) {
    values.assign(read.begin(), read.end());
  } else {
    std::copy(read.begin(), read.end(), values.begin());
  }
}

template <class Io, class F>
void Fields(Io& io, F& f, std::type_identity<TSWFConvolutionFilter>) {
  io.Int("MatrixX", f.MatrixX, 0, 255);
  io.Int("MatrixY", f.MatrixY, 0, 255);
  io.Float("Divisor", f.Divisor);
  io.Float("Bias", f.Bias);
  if constexpr (std::is_same_v<Io, TXmlOut>) FloatList(io, "Matrix", f.Matrix);
  else FloatList(io, "Matrix", f.Matrix, size_t{f.MatrixX} * f.MatrixY);
  io.Color("DefaultColor", f.DefaultColor);
  io.Flag("Clamp", f.Clamp);
  io.Flag("PreserveAlpha", f.PreserveAlpha);
  io.Optional("Reserved", f.ReservedBits, uint8_t{0}, 0, 63);
}

template <class Io, class F>
void Fields(Io& io, F& f, std::type_identity<TSWFColorMatrixFilter>) {
  if constexpr (std::is_same_v<Io, TXmlOut>) FloatList(io, "Matrix", f.Values);
  else FloatList(io, "Matrix", f.Values, f.Values.size());
}

// The fields of a filter of any class, by its id.
template <class Io, class F>
void FilterFields(Io& io, F& filter) {
  switch (filter.FilterID) {
    case fidDropShadow:
      return Fields(io, As<TSWFDropShadowFilter>(filter), std::type_identity<TSWFDropShadowFilter>());
    case fidBlur: return Fields(io, As<TSWFBlurFilter>(filter), std::type_identity<TSWFBlurFilter>());
    case fidGlow: return Fields(io, As<TSWFGlowFilter>(filter), std::type_identity<TSWFGlowFilter>());
    case fidBevel: return Fields(io, As<TSWFBevelFilter>(filter), std::type_identity<TSWFBevelFilter>());
    case fidGradientGlow:
    case fidGradientBevel:
      return Fields(io, As<TSWFGradientGlowFilter>(filter),
                    std::type_identity<TSWFGradientGlowFilter>());
    case fidConvolution:
      return Fields(io, As<TSWFConvolutionFilter>(filter), std::type_identity<TSWFConvolutionFilter>());
    case fidColorMatrix:
      return Fields(io, As<TSWFColorMatrixFilter>(filter), std::type_identity<TSWFColorMatrixFilter>());
    default: throw ESWFError("Unknown filter id " + std::to_string(filter.FilterID));
  }
}

std::string FilterElement(uint8_t filterID) { return std::string(FilterName(filterID)) + "Filter"; }

}  // namespace

void WriteFilterListXml(TSWFXmlWriter& xml, std::string_view element, const TSWFFilterList& filters) {
  xml.Open(element);
  TXmlOut out(xml);
  for (const auto& filter : filters) {
    xml.Open(FilterElement(filter->FilterID));
    FilterFields(out, std::as_const(*filter));
    xml.Close();
  }
  xml.Close();
}

void ReadFilterListXml(const TSWFXmlNode& node, TSWFFilterList& filters) {
  TSWFFilterList list;
  for (const TSWFXmlNode& child : node.Elements()) {
    std::unique_ptr<TSWFFilter> filter;
    for (uint8_t id = fidDropShadow; id <= fidGradientBevel && !filter; ++id)
      if (child.Name() == FilterElement(id)) filter = CreateFilter(id);
    if (!filter)
      child.Fail("unknown element <" + std::string(child.Name()) + "> in <" +
                 std::string(node.Name()) + ">");
    if (list.Count() == 255) child.Fail("a filter list holds at most 255 filters");
    TXmlIn in(child);
    FilterFields(in, *filter);
    list.Add(std::move(filter));
  }
  filters.Assign(list);
}

// ---- fill and line styles ---------------------------------------------------------------------

namespace xmlfields {
namespace {

struct TFillElementName {
  std::string_view Name;
  uint8_t Type;
};
constexpr TFillElementName kFillElements[] = {
    {"SolidFill", kFillSolid},
    {"LinearGradient", kFillLinearGradient},
    {"RadialGradient", kFillRadialGradient},
    {"FocalGradient", kFillFocalGradient},
    {"RepeatingBitmap", kFillRepeatingBitmap},
    {"ClippedBitmap", kFillClippedBitmap},
    {"NonSmoothedRepeatingBitmap", kFillNonSmoothedRepeatingBitmap},
    {"NonSmoothedClippedBitmap", kFillNonSmoothedClippedBitmap},
};

}  // namespace

std::string_view FillElement(uint8_t fillType) {
  for (const auto& e : kFillElements)
    if (e.Type == fillType) return e.Name;
  throw ESWFError("Unknown fill style type " + std::to_string(fillType));
}

bool IsFillElement(std::string_view name) {
  return std::ranges::any_of(kFillElements, [&](const auto& e) { return e.Name == name; });
}

uint8_t FillTypeOf(const TSWFXmlNode& node) {
  for (const auto& e : kFillElements)
    if (e.Name == node.Name()) return e.Type;
  node.Fail("<" + std::string(node.Name()) + "> is no fill style");
}

std::optional<TSWFXmlNode> LineFillElement(const TSWFXmlNode& node) {
  const auto children = node.Elements();
  if (children.empty()) return std::nullopt;
  if (!IsFillElement(children[0].Name())) UnknownElement(children[0], node);
  if (children.size() > 1) children[1].Fail("a line style has one fill");
  if (node.Has("Color") || node.Has("StartColor"))
    node.Fail("a line style has a fill or its colours, not both");
  return children[0];
}

void ReadGradientRecords(const TSWFXmlNode& node, uint8_t& spreadMode, uint8_t& interpolationMode,
                         std::initializer_list<std::string_view> matrices,
                         const std::function<void(const TSWFXmlNode&, int)>& read) {
  spreadMode = static_cast<uint8_t>(node.Has("SpreadMode") ? node.Int("SpreadMode", 0, 3) : 0);
  interpolationMode =
      static_cast<uint8_t>(node.Has("InterpolationMode") ? node.Int("InterpolationMode", 0, 3) : 0);
  int count = 0;
  for (const TSWFXmlNode& child : node.Elements()) {
    if (std::ranges::find(matrices, child.Name()) != matrices.end()) continue;
    if (child.Name() != "GradRecord") UnknownElement(child, node);
    if (count == kMaxGradientRecords)
      child.Fail("a gradient holds at most " + std::to_string(kMaxGradientRecords) + " records");
    read(child, ++count);
  }
}

void UnknownElement(const TSWFXmlNode& child, const TSWFXmlNode& parent) {
  child.Fail("unknown element <" + std::string(child.Name()) + "> in <" +
             std::string(parent.Name()) + ">");
}

}  // namespace xmlfields

namespace {

using xmlfields::ReadColorAs;
using xmlfields::UnknownElement;
using xmlfields::WriteColorAs;

// A style index is written in at most 15 bits.
constexpr int64_t kMaxStyleIndex = (1 << 15) - 1;
// Edge deltas have at most 17 bits, a move to 31.
constexpr int64_t kEdgeMin = -(1 << 16), kEdgeMax = (1 << 16) - 1;

void WriteGradientXml(TSWFXmlWriter& xml, const TSWFGradientFill& fill, bool hasAlpha) {
  if (fill.SpreadMode != 0) xml.Int("SpreadMode", fill.SpreadMode & 3);
  if (fill.InterpolationMode != 0) xml.Int("InterpolationMode", fill.InterpolationMode & 3);
  if (const auto* focal = dynamic_cast<const TSWFFocalGradientFill*>(&fill))
    xml.Int("FocalPoint", focal->FocalPoint);
  WriteMatrixXml(xml, "Matrix", fill.Matrix);
  for (int n = 1; n <= std::min<int>(fill.Count, kMaxGradientRecords); ++n) {
    xml.Open("GradRecord");
    xml.Int("Ratio", fill.Record(n).Ratio);
    WriteColorAs(xml, "Color", fill.Record(n).Color, hasAlpha);
    xml.Close();
  }
}

void ReadGradientXml(const TSWFXmlNode& node, TSWFGradientFill& fill, bool hasAlpha) {
  if (auto* focal = dynamic_cast<TSWFFocalGradientFill*>(&fill))
    focal->FocalPoint = node.Get<int16_t>("FocalPoint");
  ReadMatrixXml(node.Child("Matrix"), fill.Matrix);
  fill.Count = 0;
  xmlfields::ReadGradientRecords(node, fill.SpreadMode, fill.InterpolationMode, {"Matrix"},
                                 [&](const TSWFXmlNode& child, int n) {
    fill.SetGradientRatio(n, child.Get<uint8_t>("Ratio"));
    ReadColorAs(child, "Color", fill.GradientColor(n), hasAlpha);
  });
}

}  // namespace

void WriteFillStyleXml(TSWFXmlWriter& xml, const TSWFFillStyle& fill, bool hasAlpha) {
  xml.Open(xmlfields::FillElement(fill.FillType));
  if (const auto* color = dynamic_cast<const TSWFColorFill*>(&fill)) {
    WriteColorAs(xml, "Color", color->Color, hasAlpha);
  } else if (const auto* image = dynamic_cast<const TSWFImageFill*>(&fill)) {
    xml.Int("BitmapId", image->ID);
    WriteMatrixXml(xml, "Matrix", image->Matrix);
  } else if (const auto* gradient = dynamic_cast<const TSWFGradientFill*>(&fill)) {
    WriteGradientXml(xml, *gradient, hasAlpha);
  }
  xml.Close();
}

void ReadFillFieldsXml(const TSWFXmlNode& node, TSWFFillStyle& fill, bool hasAlpha) {
  fill.HasAlpha = hasAlpha;
  if (auto* color = dynamic_cast<TSWFColorFill*>(&fill)) {
    ReadColorAs(node, "Color", color->Color, hasAlpha);
  } else if (auto* image = dynamic_cast<TSWFImageFill*>(&fill)) {
    image->ID = node.Get<uint16_t>("BitmapId");
    ReadMatrixXml(node.Child("Matrix"), image->Matrix);
  } else if (auto* gradient = dynamic_cast<TSWFGradientFill*>(&fill)) {
    ReadGradientXml(node, *gradient, hasAlpha);
  }
}

std::unique_ptr<TSWFFillStyle> ReadFillStyleXml(const TSWFXmlNode& node, bool hasAlpha) {
  auto fill = CreateFillStyle(xmlfields::FillTypeOf(node));
  ReadFillFieldsXml(node, *fill, hasAlpha);
  return fill;
}

void WriteLineStyleXml(TSWFXmlWriter& xml, const TSWFLineStyle& line, bool hasAlpha) {
  const auto* wide = dynamic_cast<const TSWFLineStyle2*>(&line);
  xml.Open(wide ? "LineStyle2" : "LineStyle");
  xml.Int("Width", line.Width);
  if (!wide) {
    WriteColorAs(xml, "Color", line.Color, hasAlpha);
  } else {
    TXmlOut out(xml);
    xmlfields::WideLineFields(out, *wide);
    if (!wide->HasFillFlag) {
      WriteColorAs(xml, "Color", line.Color, true);
    } else if (wide->FillStyle()) {
      WriteFillStyleXml(xml, *wide->FillStyle(), true);
    } else {
      // A line to be filled that was given no fill is filled with its colour.
      TSWFColorFill fill;
      fill.Color = line.Color;
      WriteFillStyleXml(xml, fill, true);
    }
  }
  xml.Close();
}

std::unique_ptr<TSWFLineStyle> ReadLineStyleXml(const TSWFXmlNode& node,
                                                const TShapeStyleFormat& format) {
  const std::string_view expected = format.LineStyle2 ? "LineStyle2" : "LineStyle";
  if (node.Name() != expected)
    node.Fail("<" + std::string(node.Name()) + "> where a <" + std::string(expected) + "> belongs");
  if (!format.LineStyle2) {
    auto line = std::make_unique<TSWFLineStyle>();
    line->Width = node.Get<uint16_t>("Width");
    ReadColorAs(node, "Color", line->Color, format.HasAlpha);
    return line;
  }
  auto line = std::make_unique<TSWFLineStyle2>();
  line->Width = node.Get<uint16_t>("Width");
  TXmlIn in(node);
  xmlfields::WideLineFields(in, *line);
  const auto fill = xmlfields::LineFillElement(node);
  line->HasFillFlag = fill.has_value();
  if (fill) ReadFillFieldsXml(*fill, *line->FillStyle(xmlfields::FillTypeOf(*fill)), true);
  else ReadColorAs(node, "Color", line->Color, true);
  return line;
}

// ---- style arrays --------------------------------------------------------------------------------

void WriteFillStylesXml(TSWFXmlWriter& xml, std::string_view element, const TFillStyleList& list,
                        bool hasAlpha) {
  xml.Open(element);
  for (const auto& fill : list) WriteFillStyleXml(xml, *fill, hasAlpha);
  xml.Close();
}

void ReadFillStylesXml(const TSWFXmlNode& node, TFillStyleList& list, bool hasAlpha) {
  list.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (!xmlfields::IsFillElement(child.Name())) UnknownElement(child, node);
    if (list.size() == 0xFFFF) child.Fail("a style array holds at most 65535 styles");
    list.push_back(ReadFillStyleXml(child, hasAlpha));
  }
}

void WriteLineStylesXml(TSWFXmlWriter& xml, std::string_view element, const TLineStyleList& list,
                        bool hasAlpha) {
  xml.Open(element);
  for (const auto& line : list) WriteLineStyleXml(xml, *line, hasAlpha);
  xml.Close();
}

void ReadLineStylesXml(const TSWFXmlNode& node, TLineStyleList& list,
                       const TShapeStyleFormat& format) {
  list.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (list.size() == 0xFFFF) child.Fail("a style array holds at most 65535 styles");
    list.push_back(ReadLineStyleXml(child, format));
  }
}

// ---- shape records -------------------------------------------------------------------------------

namespace {

void WriteStyleChangeXml(TSWFXmlWriter& xml, const TSWFStyleChangeRecord& rec,
                         const TShapeStyleFormat& format) {
  xml.Open("StyleChange");
  if (rec.StateMoveTo) {
    xml.Int("MoveX", rec.X);
    xml.Int("MoveY", rec.Y);
  }
  if (rec.StateFillStyle0) xml.Int("FillStyle0", rec.Fill0());
  if (rec.StateFillStyle1) xml.Int("FillStyle1", rec.Fill1());
  if (rec.StateLineStyle) xml.Int("LineStyle", rec.Line());
  if (rec.StateNewStyles) {
    WriteFillStylesXml(xml, "FillStyles", rec.NewFillStyles(), format.HasAlpha);
    WriteLineStylesXml(xml, "LineStyles", rec.NewLineStyles(), format.HasAlpha);
  }
  xml.Close();
}

// The style counts in force, which the indices of the records may not pass.
struct TStyleCounts {
  size_t Fill = 0, Line = 0;
};

int64_t IndexLimit(size_t count) { return std::min<int64_t>(static_cast<int64_t>(count), kMaxStyleIndex); }

std::unique_ptr<TSWFStyleChangeRecord> ReadStyleChangeXml(const TSWFXmlNode& node,
                                                          const TShapeStyleFormat& format,
                                                          TStyleCounts& counts) {
  auto rec = std::make_unique<TSWFStyleChangeRecord>();
  rec->HasAlpha = format.HasAlpha;
  const auto fills = node.FindChild("FillStyles");
  const auto lines = node.FindChild("LineStyles");
  if (fills || lines) {
    // The indices of this record may name the styles before it or the ones it brings.
    if (fills) ReadFillStylesXml(*fills, rec->NewFillStyles(), format.HasAlpha);
    if (lines) ReadLineStylesXml(*lines, rec->NewLineStyles(), format);
    counts.Fill = std::max(counts.Fill, std::as_const(*rec).NewFillStyles().size());
    counts.Line = std::max(counts.Line, std::as_const(*rec).NewLineStyles().size());
  }
  const auto move = [&](std::string_view name) {
    return static_cast<int32_t>(node.Has(name) ? node.Int(name, kFieldMin, kFieldMax) : 0);
  };
  if (node.Has("MoveX") || node.Has("MoveY")) rec->SetMoveTo(move("MoveX"), move("MoveY"));
  if (node.Has("FillStyle0"))
    rec->SetFill0(static_cast<uint16_t>(node.Int("FillStyle0", 0, IndexLimit(counts.Fill))));
  if (node.Has("FillStyle1"))
    rec->SetFill1(static_cast<uint16_t>(node.Int("FillStyle1", 0, IndexLimit(counts.Fill))));
  if (node.Has("LineStyle"))
    rec->SetLine(static_cast<uint16_t>(node.Int("LineStyle", 0, IndexLimit(counts.Line))));
  if (!rec->StateMoveTo && !rec->StateFillStyle0 && !rec->StateFillStyle1 &&
      !rec->StateLineStyle && !rec->StateNewStyles)
    node.Fail("<StyleChange> changes nothing: give it MoveX and MoveY, a style index or new styles");
  if (rec->StateNewStyles) {
    counts.Fill = std::as_const(*rec).NewFillStyles().size();
    counts.Line = std::as_const(*rec).NewLineStyles().size();
  }
  return rec;
}

}  // namespace

namespace {

void WriteShapeRecordElements(TSWFXmlWriter& xml, const TShapeRecordList& records,
                              const TShapeStyleFormat& format) {
  for (const auto& record : records) {
    switch (record->Kind) {
      case TShapeRecordKind::End:
        break;  // the list ends with one anyway
      case TShapeRecordKind::StyleChange:
        WriteStyleChangeXml(xml, static_cast<const TSWFStyleChangeRecord&>(*record), format);
        break;
      case TShapeRecordKind::StraightEdge: {
        const auto& edge = static_cast<const TSWFStraightEdgeRecord&>(*record);
        xml.Open("StraightEdge");
        xml.Int("DX", edge.X);
        xml.Int("DY", edge.Y);
        xml.Close();
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& edge = static_cast<const TSWFCurvedEdgeRecord&>(*record);
        // A curve that goes nowhere is not written to the movie either.
        if (edge.ControlX == 0 && edge.ControlY == 0 && edge.AnchorX == 0 && edge.AnchorY == 0)
          break;
        xml.Open("CurvedEdge");
        xml.Int("ControlDX", edge.ControlX);
        xml.Int("ControlDY", edge.ControlY);
        xml.Int("AnchorDX", edge.AnchorX);
        xml.Int("AnchorDY", edge.AnchorY);
        xml.Close();
        break;
      }
    }
  }
}

}  // namespace

void WriteShapeRecordsXml(TSWFXmlWriter& xml, std::string_view element,
                          const TShapeRecordList& records, const TShapeStyleFormat& format) {
  xml.Open(element);
  WriteShapeRecordElements(xml, records, format);
  xml.Close();
}

void ReadShapeRecordsXml(const TSWFXmlNode& node, TShapeRecordList& records,
                         const TShapeStyleFormat& format, size_t fillCount, size_t lineCount) {
  TShapeRecordList list;
  TStyleCounts counts{fillCount, lineCount};
  const auto delta = [](const TSWFXmlNode& edge, std::string_view name) {
    return static_cast<int32_t>(edge.Has(name) ? edge.Int(name, kEdgeMin, kEdgeMax) : 0);
  };
  for (const TSWFXmlNode& child : node.Elements()) {
    const std::string_view name = child.Name();
    if (name == "StyleChange") {
      list.push_back(ReadStyleChangeXml(child, format, counts));
    } else if (name == "StraightEdge") {
      list.push_back(std::make_unique<TSWFStraightEdgeRecord>(delta(child, "DX"), delta(child, "DY")));
    } else if (name == "CurvedEdge") {
      list.push_back(std::make_unique<TSWFCurvedEdgeRecord>(
          delta(child, "ControlDX"), delta(child, "ControlDY"), delta(child, "AnchorDX"),
          delta(child, "AnchorDY")));
    } else {
      UnknownElement(child, node);
    }
  }
  list.push_back(std::make_unique<TSWFEndShapeRecord>());
  records = std::move(list);
}

void WriteShapeXml(TSWFXmlWriter& xml, std::string_view element, const TShapeRecordList& records,
                   const std::function<void()>& attributes) {
  xml.Open(element);
  if (attributes) attributes();
  WriteShapeRecordElements(xml, records, TShapeStyleFormat{});
  xml.Close();
}

void ReadShapeXml(const TSWFXmlNode& node, TShapeRecordList& records) {
  // A glyph fills its outline with fill style 1 and draws no line.
  ReadShapeRecordsXml(node, records, TShapeStyleFormat{}, 1, 0);
}

}  // namespace tw::swf
