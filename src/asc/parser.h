// The parser: tokens to the parse tree, by recursive descent with precedence climbing for the
// binary operators, JavaScript's precedence and automatic semicolons. Nesting is limited, so
// that hostile input ends with an error instead of exhausting the stack.
#pragma once

#include <string>
#include <string_view>

#include "asc/ast.h"
#include "asc/lexer.h"

namespace tw::asc {

// Brackets, blocks, operators and chained member accesses together may nest this deep. Every
// later stage walks the tree recursively within the same bound.
constexpr size_t kMaxNesting = 400;

// Throws ECompileError at the first syntax error.
// Start is where the text begins in its source.
TProgram ParseProgram(std::string_view text, std::string_view sourceName, TSourcePos start = {});

// A file of the class path: its imports and the one class or interface it defines, which must
// be className (dotted).
TProgram ParseClassFile(std::string_view text, std::string_view sourceName, TSourcePos start,
                        const std::string& className);

}  // namespace tw::asc
