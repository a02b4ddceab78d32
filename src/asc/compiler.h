// The ActionScript 1 compiler: source text to action records, appended through an emitter.
// Stages: lexer.h (tokens), parser.h (parse tree, ast.h), scopes.h (names, jumps, registers),
// codegen.h (records, through assembler.h and emitter.h).
#pragma once

#include <string>
#include <string_view>

#include "asc/emitter.h"
#include "asc/source.h"

namespace tw::asc {

struct TCompileOptions {
  // The Flash Player version the movie is made for: it decides which records exist (registers,
  // try and throw from 7 on, strict equality and instanceof from 6 on) and how names are looked
  // up (regardless of case up to 6).
  int Version = 8;
  // The file the source comes from, for messages; empty for a script without one.
  std::string SourceName;
};

// The oldest player that runs the code this compiler makes.
constexpr int kMinVersion = 5;

// Compiles a script and appends its records, starting with its constant pool. The text is
// UTF-8; text that is not is read as Windows-1252. Throws ECompileError (file, line, column and
// message) for anything wrong with the script. Only code too long for the fields of its records
// is found after appending; the records appended stay then.
void CompileScript(std::string_view source, TEmitter& emitter, const TCompileOptions& options);

}  // namespace tw::asc
