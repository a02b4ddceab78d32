#include "util/json.h"

#include <cmath>
#include <cstdio>

#include "util/text.h"

namespace tw {

Json& Json::Set(std::string key, Json value) {
  if (!std::holds_alternative<Object>(FValue)) FValue = Object{};
  std::get<Object>(FValue).emplace_back(std::move(key), std::move(value));
  return *this;
}

Json& Json::Push(Json value) {
  if (!std::holds_alternative<Array>(FValue)) FValue = Array{};
  std::get<Array>(FValue).push_back(std::move(value));
  return *this;
}

std::string JsonQuote(std::string_view raw) {
  const std::string s = ToUtf8(raw);
  std::string out = "\"";
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string Json::Dump(int indent) const {
  std::string out;
  DumpTo(out, indent, 0);
  return out;
}

void Json::DumpTo(std::string& out, int indent, int level) const {
  auto newline = [&](int lvl) {
    if (indent < 0) return;
    out += '\n';
    out.append(static_cast<size_t>(indent * lvl), ' ');
  };
  if (std::holds_alternative<std::nullptr_t>(FValue)) {
    out += "null";
  } else if (const bool* b = std::get_if<bool>(&FValue)) {
    out += *b ? "true" : "false";
  } else if (const int64_t* i = std::get_if<int64_t>(&FValue)) {
    out += std::to_string(*i);
  } else if (const double* d = std::get_if<double>(&FValue)) {
    if (!std::isfinite(*d)) {
      out += "null";
    } else {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.10g", *d);
      out += buf;
    }
  } else if (const std::string* s = std::get_if<std::string>(&FValue)) {
    out += JsonQuote(*s);
  } else if (const Array* a = std::get_if<Array>(&FValue)) {
    if (a->empty()) { out += "[]"; return; }
    out += '[';
    for (size_t k = 0; k < a->size(); ++k) {
      if (k) out += ',';
      newline(level + 1);
      (*a)[k].DumpTo(out, indent, level + 1);
    }
    newline(level);
    out += ']';
  } else if (const Object* o = std::get_if<Object>(&FValue)) {
    if (o->empty()) { out += "{}"; return; }
    out += '{';
    for (size_t k = 0; k < o->size(); ++k) {
      if (k) out += ',';
      newline(level + 1);
      out += JsonQuote((*o)[k].first);
      out += indent < 0 ? ":" : ": ";
      (*o)[k].second.DumpTo(out, indent, level + 1);
    }
    newline(level);
    out += '}';
  }
}

}  // namespace tw
