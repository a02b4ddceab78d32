#include "asc/source.h"

#include <cstdio>

namespace tw::asc {
namespace {

std::string Format(std::string_view sourceName, TSourcePos pos, const std::string& message) {
  if (sourceName.empty())
    return "line " + std::to_string(pos.Line) + ", column " + std::to_string(pos.Column) + ": " +
           message;
  return std::string(sourceName) + ":" + std::to_string(pos.Line) + ":" +
         std::to_string(pos.Column) + ": " + message;
}

}  // namespace

ECompileError::ECompileError(std::string_view sourceName, TSourcePos pos, std::string message)
    : std::runtime_error(Format(sourceName, pos, message)),
      FSourceName(sourceName),
      FPos(pos),
      FMessage(std::move(message)) {}

ECompileError::ECompileError(const TSourceNames& names, TSourcePos pos, std::string message)
    : ECompileError(pos.File < names.size() ? std::string_view(names[pos.File]) : std::string_view(),
                    pos, std::move(message)) {}

std::string QuoteForMessage(std::string_view text, size_t maxCharacters) {
  std::string out = "\"";
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // Continuation bytes belong to the character before them.
    if ((c & 0xC0) != 0x80 && ++characters > maxCharacters) {
      out += "...";
      break;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}

}  // namespace tw::asc
