// The ActionScript 1 compiler: source text to action records, appended through an emitter.
// Stages: lexer.h (tokens), parser.h (parse tree, ast.h), scopes.h (names, jumps, registers),
// codegen.h (records, through assembler.h and emitter.h).
#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <vector>
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
  // The folders where a class a.b.C named by a script is found, as a/b/C.as.
  std::vector<std::filesystem::path> ClassPath;
  // Where the classes go, asked for only when there are any: the actions of a DoInitAction, so
  // that they are defined before any frame runs. None: at the start of the script itself.
  std::function<TEmitter&()> ClassTarget;
};

// One of the sources compiled together into one script: a file, or a piece of one.
struct TSourceFile {
  std::string Name;       // for messages; empty for a script without a file
  std::string_view Text;  // UTF-8, or Windows-1252 when it is not
  // Where the text begins in the file, when it is a piece of a larger one.
  uint32_t FirstLine = 1, FirstColumn = 1;
};

// The oldest player that runs the code this compiler makes.
constexpr int kMinVersion = 5;

// Compiles a script and appends its records, starting with its constant pool. The text is
// UTF-8; text that is not is read as Windows-1252. Throws ECompileError (file, line, column and
// message) for anything wrong with the script. Only code too long for the fields of its records
// is found after appending; the records appended stay then.
void CompileScript(std::string_view source, TEmitter& emitter, const TCompileOptions& options);

// Compiles sources into one script as if they were one text, but each keeps its own name,
// lines and columns in messages. Their functions are defined before any of them runs.
// options.SourceName is not used.
void CompileScript(std::span<const TSourceFile> sources, TEmitter& emitter,
                   const TCompileOptions& options);

}  // namespace tw::asc
