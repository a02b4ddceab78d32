// skin build: a skin's source folder (skins/NAME) into its template movie, as the build does for
// the skins the program ships.
#include <fstream>
#include <iostream>

#include "app/skin_source.h"
#include "cli/commands.h"
#include "swf/memstream.h"
#include "util/files.h"

namespace tw::cli {
namespace {
namespace fs = std::filesystem;

struct SkinBuildOptions {
  std::string dir, output, depfile;
};

// A file name as make and ninja read it in a dependency file.
std::string DepfileName(const std::string& name) {
  std::string out;
  for (char ch : name) {
    if (ch == ' ' || ch == '#' || ch == '\\') out += '\\';
    if (ch == '$') out += '$';
    out += ch;
  }
  return out;
}

void BuildSkin(const SkinBuildOptions& o) {
  app::TSkinBuildResult result = app::BuildSkinMovie(o.dir);
  swf::TMemoryStream stream;
  result.Movie->SaveToStream(stream);
  WriteFileAtomic(o.output, stream.Bytes());
  if (!o.depfile.empty()) {
    std::string text = DepfileName(o.output) + ":";
    for (const fs::path& source : result.Sources) text += " " + DepfileName(source.string());
    text += "\n";
    WriteFileAtomic(o.depfile, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  std::cout << o.output << ": " << result.Kind << " " << result.Movie->FrameRect().Right / 20
            << "x" << result.Movie->FrameRect().Bottom / 20 << "\n";
}

}  // namespace

void AddSkinCommands(CLI::App& app) {
  CLI::App* skin = app.add_subcommand("skin", "Player skins and preloaders from their sources");
  skin->require_subcommand(1);
  auto o = std::make_shared<SkinBuildOptions>();
  CLI::App* build = skin->add_subcommand(
      "build", "Build a skin folder (skin.xml and its scripts) into a template movie");
  build->add_option("dir", o->dir, "The skin's folder")->required()->check(CLI::ExistingDirectory);
  build->add_option("-o,--output", o->output, "The movie to write")->required();
  build->add_option("--depfile", o->depfile, "Also write the files it was made from (make form)");
  build->callback([o] { BuildSkin(*o); });
}

}  // namespace tw::cli
