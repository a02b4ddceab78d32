// The seam between the movie builder and the ActionScript compiler: the compiler's context for
// one movie, and the function that makes it.
#pragma once

#include <memory>
#include <string_view>

namespace tw::builder {

class TFlashMovie;
class TFlashActionScript;

// What the compiler keeps for the scripts of one movie (the classes and identifiers it has seen).
class TCompileContext {
 public:
  virtual ~TCompileContext() = default;
  // Compiles source text into the target, appending records through the target's operations
  // (markers for branches). A compile error is thrown as an exception derived from
  // std::exception whose message is the text to report.
  virtual void Compile(std::string_view source, TFlashActionScript& target) = 0;
};

// The compiler's context for a movie, or null when the program has no compiler.
std::unique_ptr<TCompileContext> NewCompileContext(TFlashMovie& movie);

// What a script reports when there is no compiler to compile it.
inline constexpr std::string_view kNoCompilerMessage = "No ActionScript compiler is present";

}  // namespace tw::builder
