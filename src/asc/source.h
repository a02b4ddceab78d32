// Where things are in a script, and the error a compile stops with.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw::asc {

// 1-based line and column; columns count characters (code points), a tab is one. File is the
// index of the source among those compiled together (see TSourceNames).
struct TSourcePos {
  uint32_t Line = 1;
  uint32_t Column = 1;
  uint16_t File = 0;
  bool operator==(const TSourcePos&) const = default;
};

// The names of the sources compiled together, by TSourcePos::File.
using TSourceNames = std::vector<std::string>;

// A compile error: where, and what in words. what() is the whole text: "FILE:LINE:COLUMN: MESSAGE",
// or "line LINE, column COLUMN: MESSAGE" for a script without a file name.
class ECompileError : public std::runtime_error {
 public:
  ECompileError(std::string_view sourceName, TSourcePos pos, std::string message);
  // The source named by the position's file.
  ECompileError(const TSourceNames& names, TSourcePos pos, std::string message);

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
