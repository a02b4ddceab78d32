// Player templates and preloaders for the tests, made with the movie builder itself: never a
// template file from elsewhere.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/testing.h"

namespace tw::test {

// A template movie: a background colour, a rectangle shape placed at depth 1, a sprite with a
// script of its own (it traces SpriteTrace) placed at depth 2, then the main script: a
// ConstantPool of Constants and the names in Traced, code that traces the value of every name
// in Traced, and a stop.
struct TTemplateMovie {
  std::vector<std::string> Constants;  // put the definition among them
  std::vector<std::string> Traced = {"ParamsValue", "MAXWAITFRAME", "GlobalInner",
                                     "GlobalXMLTrackList"};
  std::string SpriteTrace = "sprite";
  bool MainScript = true;  // false: no DoAction on the main timeline at all
  uint8_t Version = 8;
  int Width = 320, Height = 240;  // pixels
  bool Compressed = false;
};

Bytes TemplateBytes(const TTemplateMovie& movie);
void WriteTemplate(const std::filesystem::path& file, const TTemplateMovie& movie);
// A template whose definition is the given text.
void WriteTemplate(const std::filesystem::path& file, const std::string& definition);

// A definition with the parameters as elements: {name, attributes text}.
std::string Definition(const std::vector<std::pair<std::string, std::string>>& params);

// The definition of the tests' usual template: Py.Autostart, Py.Loop (bool, Yes), Py.Volume
// (integer 80), Py.Color (color 0x336699), Py.Skin (selection of "dark;light;;blue", dark) and
// Py.Title (a text of non-ASCII letters read as colour type).
std::string UsualDefinition();

}  // namespace tw::test
