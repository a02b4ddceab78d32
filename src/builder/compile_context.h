// The seam between the movie builder and the ActionScript compiler: the compiler's context for
// one movie, and the function that makes it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tw::builder {

class TFlashMovie;
class TFlashActionScript;

// A piece of source text with the name its messages give it, and where it begins in that file
// when it is a piece of a larger one.
struct TScriptSource {
  std::string Name;
  std::string Text;
  uint32_t FirstLine = 1, FirstColumn = 1;
};

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
  // Sources compiled together as one script, each named in messages with its own lines.
  virtual void Compile(std::span<const TScriptSource> sources, TFlashActionScript& target) = 0;
  // The folders where the classes scripts name are found (a.b.C as a/b/C.as). Classes go into
  // the initialisation actions of a sprite of their own, run before the first frame.
  virtual void SetClassPath(std::vector<std::filesystem::path> classPath) = 0;
};

// The context of the project's ActionScript compiler for a movie: every script is compiled for
// the movie's version as it stands when the script is compiled.
std::unique_ptr<TCompileContext> NewCompileContext(TFlashMovie& movie);

}  // namespace tw::builder
