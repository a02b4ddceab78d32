// tunewright-cli: the command-line twin of the Tunewright window.
#include <cstdio>
#include <exception>
#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Tunewright turns MP3 and WAV songs into a web-ready Flash MP3 player.\n"
      "This is its command-line program; the SWF commands also read, show and copy any movie.",
      "tunewright-cli"};
  app.set_version_flag("--version", "tunewright-cli 0.1.0");
  app.require_subcommand(1);
  tw::cli::AddSwfCommands(app);
  tw::cli::AddAudioCommands(app);
  tw::cli::AddPublishCommands(app);
  tw::cli::AddProjectCommands(app);
  tw::cli::AddAsCommands(app);
  tw::cli::AddTemplateCommands(app);
  tw::cli::AddMovieCommands(app);
  tw::cli::AddSkinCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const tw::cli::CommandError& e) {
    std::cout.flush();
    std::fprintf(stderr, "tunewright-cli: error: %s\n", e.what());
    return e.Status;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::fprintf(stderr, "tunewright-cli: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
