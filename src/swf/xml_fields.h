// One description of a record's fields serves both directions: a function template names each
// field once with its range, and is called with a TXmlOut (writing the text) or a TXmlIn (reading
// it back with range checks). Used by the XML forms of the shared records and of the shape tags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "swf/xml.h"

namespace tw::swf::xmlfields {

// 16.16 and 8.8 fixed-point fields kept as doubles by the library.
inline constexpr double kFixed16Scale = 65536.0;
inline constexpr double kFixed8Scale = 256.0;

class TXmlOut {
 public:
  explicit TXmlOut(TSWFXmlWriter& xml) : Xml(xml) {}
  TSWFXmlWriter& Xml;

  template <class T>
  void Int(std::string_view name, const T& value, int64_t, int64_t) {
    Xml.Int(name, static_cast<int64_t>(value));
  }
  // Written only when it is not the value a reader takes for an absent field.
  template <class T>
  void Optional(std::string_view name, const T& value, T absent, int64_t, int64_t) {
    if (value != absent) Xml.Int(name, static_cast<int64_t>(value));
  }
  void Flag(std::string_view name, bool value) { Xml.Flag(name, value); }
  void Color(std::string_view name, const TSWFRGBA& color) { Xml.Color(name, color); }
  // A fixed-point field of `scale` steps per unit, signed or not.
  void Fixed(std::string_view name, double value, double, double, double) { Xml.Number(name, value); }
  void Fixed(std::string_view name, float value, double, double, double) { Xml.Number(name, value); }
  // A 32-bit float: its shortest text, or its bits in hex where text would lose them (a NaN).
  void Float(std::string_view name, float value);
};

class TXmlIn {
 public:
  explicit TXmlIn(const TSWFXmlNode& node) : Node(node) {}
  const TSWFXmlNode& Node;

  template <class T>
  void Int(std::string_view name, T& value, int64_t min, int64_t max) {
    value = static_cast<T>(Node.Int(name, min, max));
  }
  template <class T>
  void Optional(std::string_view name, T& value, T absent, int64_t min, int64_t max) {
    value = Node.Has(name) ? static_cast<T>(Node.Int(name, min, max)) : absent;
  }
  void Flag(std::string_view name, bool& value) { value = Node.Flag(name); }
  void Color(std::string_view name, TSWFRGBA& color) { Node.Color(name, color); }
  // Rounded to the nearest step, so that the object holds what the file will.
  void Fixed(std::string_view name, double& value, double scale, double min, double max) {
    value = ReadFixed(name, scale, min, max);
  }
  void Fixed(std::string_view name, float& value, double scale, double min, double max) {
    value = static_cast<float>(ReadFixed(name, scale, min, max));
  }
  void Float(std::string_view name, float& value);

 private:
  double ReadFixed(std::string_view name, double scale, double min, double max);
};

// A colour in the form its record stores: with alpha or not, whatever the object says of itself.
inline void WriteColorAs(TSWFXmlWriter& xml, std::string_view name, const TSWFRGBA& color,
                         bool hasAlpha) {
  TSWFRGBA stored = color;
  stored.HasAlpha = hasAlpha;
  xml.Color(name, stored);
}
inline void ReadColorAs(const TSWFXmlNode& node, std::string_view name, TSWFRGBA& color,
                        bool hasAlpha) {
  color.HasAlpha = hasAlpha;
  if (!hasAlpha) color.A = 255;
  node.Color(name, color);
}

// Fill styles and morph fill styles are elements named after their type byte.
std::string_view FillElement(uint8_t fillType);
// The type byte of a fill element; a name that is none fails at the node.
uint8_t FillTypeOf(const TSWFXmlNode& node);
// Whether an element names a fill style.
bool IsFillElement(std::string_view name);

// The one fill element of a wide line; none when the line has its colours instead.
std::optional<TSWFXmlNode> LineFillElement(const TSWFXmlNode& node);

// Refuses a child element by its name.
[[noreturn]] void UnknownElement(const TSWFXmlNode& child, const TSWFXmlNode& parent);

}  // namespace tw::swf::xmlfields
