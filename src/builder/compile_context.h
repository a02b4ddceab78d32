// The seam between the movie builder and the ActionScript compiler: the compiler's context for
// one movie, and the function that makes it.
#pragma once

#include <memory>
#include <string_view>

namespace tw::builder {

class TFlashMovie;
class TFlashActionScript;

// What the compiler keeps for the scripts of one movie.
class TCompileContext {
 public:
  virtual ~TCompileContext() = default;
  // Compiles source text into the target, appending records through the target's operations
  // (markers for branches). SourceName (empty when the text has no file) goes into messages. A
  // compile error is thrown as an exception derived from std::exception whose message is the
  // text to report, with the file, line and column where the script went wrong.
  virtual void Compile(std::string_view source, std::string_view sourceName,
                       TFlashActionScript& target) = 0;
};

// The context of the project's ActionScript compiler for a movie: every script is compiled for
// the movie's version as it stands when the script is compiled.
std::unique_ptr<TCompileContext> NewCompileContext(TFlashMovie& movie);

}  // namespace tw::builder
