// The project's settings as command-line options, shared by `publish` and `project save`: each
// option given overrides what the start-up project or a project file set.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/host.h"
#include "app/project.h"

namespace tw::cli {

struct ProjectOptions {
  std::optional<std::string> option, format, outputFolder, name, urlPrefix, background,
      playerPosition, channels, templateName, preloader, preloaderColor, preloaderBgColor,
      ruffle, ruffleUrl;
  bool reencode = false, noReencode = false;
  std::optional<int> preset, sampleRate, bitRate, width, height, frameRate, flashVersion, left,
      top;
  std::optional<double> playPercent, xScale, yScale, rotation;
  std::vector<std::string> params;
  std::vector<std::string> bgImages, fgImages, bgLayouts, fgLayouts;
  bool onlyPlayer = false, noOnlyPlayer = false, noUrlPrefix = false;
  bool defaultSize = false, customSize = false, transparent = false;
  bool preloaderOn = false, noPreloader = false, noBgImages = false, noFgImages = false;
};

// Adds the options to a command.
void AddProjectOptions(CLI::App* cmd, ProjectOptions& o);

// Sets the project's fields from the options given. Throws CommandError for a value the
// project cannot take (a template or preloader it does not have, a colour not written 0xRRGGBB).
void ApplyProjectOptions(const ProjectOptions& o, app::TProject& project);

// What the user should know about the player the project will get: none when the selected
// template has a parameter definition.
std::vector<std::string> PlayerNotes(const app::TProject& project);

// The project a command starts from: the defaults, the template and preloader lists beside the
// program and the start-up project there,
// then, when a file is named, that project (its songs in place of none). A project file that
// cannot be read or is not a project ends the command.
app::TProject LoadProject(const std::string& projectFile, app::THost& host);

// True for a path ending in ".prj" (any case).
bool IsProjectFile(const std::string& path);

}  // namespace tw::cli
