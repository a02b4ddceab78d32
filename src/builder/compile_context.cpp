#include "builder/compile_context.h"

#include <string>
#include <vector>

#include "asc/compiler.h"
#include "builder/action_script.h"
#include "builder/movie.h"
#include "builder/sprite.h"

namespace tw::builder {
namespace {

class TMovieCompileContext final : public TCompileContext {
 public:
  explicit TMovieCompileContext(TFlashMovie& movie) : FMovie(movie) {}

  void Compile(std::string_view source, std::string_view sourceName,
               TFlashActionScript& target) override {
    asc::TCompileOptions options = Options();
    options.SourceName = std::string(sourceName);
    asc::CompileScript(source, target, options);
  }

  void Compile(std::span<const TScriptSource> sources, TFlashActionScript& target) override {
    std::vector<asc::TSourceFile> files;
    files.reserve(sources.size());
    for (const TScriptSource& s : sources) files.push_back({s.Name, s.Text, s.FirstLine, s.FirstColumn});
    asc::CompileScript(files, target, Options());
  }

  void SetClassPath(std::vector<std::filesystem::path> classPath) override {
    FClassPath = std::move(classPath);
  }

 private:
  asc::TCompileOptions Options() const {
    asc::TCompileOptions options;
    options.ClassPath = FClassPath;
    if (!FClassPath.empty())
      options.ClassTarget = [this]() -> asc::TEmitter& { return FMovie.AddSprite().InitActions(); };
    // The version decides what the code may use and how names are looked up, so it is the one
    // the movie has now; the version BuildBody raises the movie to later would come too late.
    options.Version = FMovie.Version();
    return options;
  }

  TFlashMovie& FMovie;  // the owner of this context
  std::vector<std::filesystem::path> FClassPath;
};

}  // namespace

std::unique_ptr<TCompileContext> NewCompileContext(TFlashMovie& movie) {
  return std::make_unique<TMovieCompileContext>(movie);
}

}  // namespace tw::builder
