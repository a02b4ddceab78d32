// A small JSON value for the command line's --json output: objects keep their keys in order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tw {

class Json {
 public:
  using Array = std::vector<Json>;
  using Object = std::vector<std::pair<std::string, Json>>;

  Json() : FValue(nullptr) {}
  Json(std::nullptr_t) : FValue(nullptr) {}
  Json(bool v) : FValue(v) {}
  Json(int v) : FValue(static_cast<int64_t>(v)) {}
  Json(unsigned v) : FValue(static_cast<int64_t>(v)) {}
  Json(long v) : FValue(static_cast<int64_t>(v)) {}
  Json(unsigned long v) : FValue(static_cast<int64_t>(v)) {}
  Json(long long v) : FValue(static_cast<int64_t>(v)) {}
  Json(unsigned long long v) : FValue(static_cast<int64_t>(v)) {}
  Json(double v) : FValue(v) {}
  Json(const char* v) : FValue(std::string(v)) {}
  Json(std::string v) : FValue(std::move(v)) {}
  Json(std::string_view v) : FValue(std::string(v)) {}
  Json(Array v) : FValue(std::move(v)) {}
  Json(Object v) : FValue(std::move(v)) {}

  static Json MakeObject() { return Json(Object{}); }
  static Json MakeArray() { return Json(Array{}); }

  // Appends a member (objects) or an element (arrays).
  Json& Set(std::string key, Json value);
  Json& Push(Json value);

  // Compact with indent < 0, else pretty-printed with that many spaces a level.
  std::string Dump(int indent = 2) const;

 private:
  void DumpTo(std::string& out, int indent, int level) const;
  std::variant<std::nullptr_t, bool, int64_t, double, std::string, Array, Object> FValue;
};

// A JSON string literal, quotes included.
std::string JsonQuote(std::string_view s);

}  // namespace tw
