// The shared records as XML.
#include "swf/xml_records.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace tw::swf {

namespace {

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

}  // namespace tw::swf
