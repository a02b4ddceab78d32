// Player skins and preloaders written as source (skins/NAME/skin.xml with its ActionScript files)
// and built into the template movies the program ships in player/ and preloader/. The source
// form is described in skins/README.md.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "builder/movie.h"

namespace tw::app {

struct TSkinBuildResult {
  std::unique_ptr<builder::TFlashMovie> Movie;
  std::string Kind;                               // "player" or "preloader"
  std::vector<std::filesystem::path> Sources;     // skin.xml and every script it names
};

// Builds the movie of a skin folder. Throws std::runtime_error naming the file (and for scripts
// the compiler's message) when the source is wrong or a script does not compile.
TSkinBuildResult BuildSkinMovie(const std::filesystem::path& skinDir);

}  // namespace tw::app
