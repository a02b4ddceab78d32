// Where things are in a script, and the error a compile stops with.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tw::asc {

// 1-based line and column; columns count characters (code points), a tab is one.
struct TSourcePos {
  uint32_t Line = 1;
  uint32_t Column = 1;
  bool operator==(const TSourcePos&) const = default;
};

// A compile error: where, and what in words. what() is the whole text: "FILE:LINE:COLUMN: MESSAGE",
// or "line LINE, column COLUMN: MESSAGE" for a script without a file name.
class ECompileError : public std::runtime_error {
 public:
  ECompileError(std::string_view sourceName, TSourcePos pos, std::string message);

  const std::string& SourceName() const { return FSourceName; }
  TSourcePos Pos() const { return FPos; }
  const std::string& Message() const { return FMessage; }

 private:
  std::string FSourceName;
  TSourcePos FPos;
  std::string FMessage;
};

// A piece of source text for a message: quoted, shortened, control characters escaped.
std::string QuoteForMessage(std::string_view text, size_t maxCharacters = 40);

}  // namespace tw::asc
