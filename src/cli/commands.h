// The command groups of tunewright-cli; each file adds its subcommands to the app.
#pragma once

#include <CLI/CLI.hpp>

namespace tw::cli {

void AddSwfCommands(CLI::App& app);
void AddAudioCommands(CLI::App& app);
void AddPublishCommands(CLI::App& app);
void AddProjectCommands(CLI::App& app);
void AddAsCommands(CLI::App& app);
void AddTemplateCommands(CLI::App& app);
void AddMovieCommands(CLI::App& app);
void AddSkinCommands(CLI::App& app);

// A failure to report as one line on stderr with exit status 1.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // The exit status: 1, or another for a command that documents its own.
  explicit CommandError(const std::string& what, int status)
      : std::runtime_error(what), Status(status) {}
  int Status = 1;
};

}  // namespace tw::cli
