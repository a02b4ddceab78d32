#include "builder/compile_context.h"

#include <string>

#include "asc/compiler.h"
#include "builder/action_script.h"
#include "builder/movie.h"

namespace tw::builder {
namespace {

class TMovieCompileContext final : public TCompileContext {
 public:
  explicit TMovieCompileContext(TFlashMovie& movie) : FMovie(movie) {}

  void Compile(std::string_view source, std::string_view sourceName,
               TFlashActionScript& target) override {
    asc::TCompileOptions options;
    // The version decides what the code may use and how names are looked up, so it is the one
    // the movie has now; the version BuildBody raises the movie to later would come too late.
    options.Version = FMovie.Version();
    options.SourceName = std::string(sourceName);
    asc::CompileScript(source, target, options);
  }

 private:
  TFlashMovie& FMovie;  // the owner of this context
};

}  // namespace

std::unique_ptr<TCompileContext> NewCompileContext(TFlashMovie& movie) {
  return std::make_unique<TMovieCompileContext>(movie);
}

}  // namespace tw::builder
