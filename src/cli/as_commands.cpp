// as compile | disasm: write an ActionScript file into a movie, and read the action records of a
// movie back as assembly.
#include <charconv>
#include <filesystem>
#include <iostream>
#include <string>

#include "asc/compiler.h"
#include "builder/compile_context.h"
#include "builder/movie.h"
#include "cli/commands.h"
#include "swf/action_disasm.h"
#include "swf/action_tags.h"
#include "swf/sprite.h"
#include "swf/stream.h"

namespace tw::cli {
using namespace tw::swf;

namespace {

struct TSize {
  int Width = 550, Height = 400;
};

TSize ParseSize(const std::string& text) {
  TSize size;
  const auto x = text.find_first_of("xX");
  auto number = [&](std::string_view s, int& out) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && out >= 1 && out <= 8191;
  };
  if (x == std::string::npos || !number(std::string_view(text).substr(0, x), size.Width) ||
      !number(std::string_view(text).substr(x + 1), size.Height))
    throw CommandError("--size takes WIDTHxHEIGHT in pixels, each from 1 to 8191, not \"" + text + "\"");
  return size;
}

// A movie of one frame whose actions are the compiled script, made by the movie builder.
// Classes are found beside the script first, then in the folders of the class path.
void Compile(const std::string& file, const std::string& out, int version, const std::string& size,
             double fps, const std::vector<std::string>& classPath) {
  const TSize stage = ParseSize(size);
  builder::TFlashMovie movie(0, 0, stage.Width, stage.Height, fps, TSystemCoord::Pix);
  movie.SetVersion(static_cast<uint8_t>(version));
  std::vector<std::filesystem::path> folders{std::filesystem::path(file).parent_path()};
  if (folders.front().empty()) folders.front() = ".";
  folders.insert(folders.end(), classPath.begin(), classPath.end());
  movie.CompileContext().SetClassPath(std::move(folders));
  if (!movie.FrameActions().CompileScriptFile(file)) throw CommandError(movie.ErrorText());
  movie.ShowFrame();
  movie.BuildBody();
  movie.SaveToFile(out);
}

// The action lists of a tag and of the tags inside it (a sprite's); returns how many.
size_t PrintActions(const TSWFTagInfo& info, const std::string& where) {
  size_t lists = 0;
  const TSWFObject* tag = info.TagObject();
  if (const auto* a = dynamic_cast<const TSWFDoAction*>(tag)) {
    std::cout << where << TagClassName(*tag);
    if (const auto* init = dynamic_cast<const TSWFDoInitAction*>(tag))
      std::cout << " of sprite " << init->SpriteID;
    std::cout << ", frame " << info.FrameNumber << "\n" << DisassembleActions(a->Actions(), "  ");
    ++lists;
  }
  if (const auto* sprite = dynamic_cast<const TSWFDefineSprite*>(tag))
    for (const auto& sub : info.SubTags)
      lists += PrintActions(*sub, where + "Sprite " + std::to_string(sprite->SpriteID) + ": ");
  return lists;
}

void Disassemble(const std::string& file) {
  TSWFStreamReader reader;
  reader.LoadFromFile(file);
  if (!reader.IsSWF) throw CommandError(file + ": not a SWF movie");
  reader.ParseTags(true, true);
  size_t lists = 0;
  for (const auto& info : reader.TagList) lists += PrintActions(*info, "");
  if (lists == 0) std::cout << "(no action records)\n";
  std::cout.flush();
  if (reader.Truncated()) throw CommandError(file + ": the movie is truncated");
}

}  // namespace

void AddAsCommands(CLI::App& app) {
  auto* as = app.add_subcommand("as", "Compile ActionScript into movies and show action records");
  as->require_subcommand(1);

  struct CompileOptions {
    std::string file, out, size = "550x400";
    std::vector<std::string> classPath;
    int version = 8;
    double fps = 24;
  };
  auto compileOpts = std::make_shared<CompileOptions>();
  auto* compile = as->add_subcommand(
      "compile", "Compile an ActionScript file into a movie of one frame that runs it");
  compile->add_option("FILE", compileOpts->file, "The script (UTF-8 or Windows-1252 text)")->required();
  compile->add_option("-o,--output", compileOpts->out, "The movie to write")->required();
  compile->add_option("--flash-version", compileOpts->version,
                      "The Flash Player version to compile for (registers, try and throw from 7 "
                      "on; names ignore case up to 6)")
      ->check(CLI::Range(asc::kMinVersion, 32))
      ->capture_default_str();
  compile->add_option("--size", compileOpts->size, "The stage size in pixels, WIDTHxHEIGHT")
      ->capture_default_str();
  compile->add_option("--class-path", compileOpts->classPath,
                      "A folder where classes are found (a.b.C in a/b/C.as), after the script's own");
  compile->add_option("--fps", compileOpts->fps, "The frame rate")
      ->check(CLI::Range(1.0, 120.0))
      ->capture_default_str();
  compile->callback([compileOpts] {
    Compile(compileOpts->file, compileOpts->out, compileOpts->version, compileOpts->size,
            compileOpts->fps, compileOpts->classPath);
  });

  auto disasmFile = std::make_shared<std::string>();
  auto* disasm = as->add_subcommand("disasm", "Show the action records of a movie as assembly");
  disasm->add_option("FILE", *disasmFile, "The movie")->required();
  disasm->callback([disasmFile] { Disassemble(*disasmFile); });
}

}  // namespace tw::cli
