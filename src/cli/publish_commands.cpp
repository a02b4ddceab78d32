// publish: songs in, a published player out, as the window's Publish button makes it.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>

#include "app/music_info.h"
#include "app/music_movie.h"
#include "app/stage_movie.h"
#include "app/paths.h"
#include "app/project.h"
#include "app/publish.h"
#include "cli/commands.h"
#include "cli/project_options.h"
#include "cli/terminal_host.h"
#include "util/json.h"

namespace tw::cli {
namespace fs = std::filesystem;
using namespace tw::app;

namespace {

struct PublishOptions {
  std::vector<std::string> inputs;  // songs, and at most one project file
  ProjectOptions project;
  bool json = false;
  std::string jobsText;
  std::optional<std::string> jobs;  // songs at work at once; none: one per core
};

// --jobs N: a whole number from 1 to kMaxJobs.
int Jobs(const std::optional<std::string>& given) {
  if (!given) return DefaultJobs();
  const std::string& text = *given;
  int jobs = 0;
  const bool digits = !text.empty() && text.size() <= 3 && std::all_of(text.begin(), text.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
  if (digits) jobs = std::stoi(text);
  if (jobs < 1 || jobs > kMaxJobs)
    throw CommandError("--jobs " + text + ": give the number of songs at work at once, from 1 to " +
                       std::to_string(kMaxJobs));
  return jobs;
}

std::string OptionName(TPublishOption o) {
  switch (o) {
    case TPublishOption::PlayerAndMusicFiles: return "player-and-music";
    case TPublishOption::SinglePlayer: return "single";
    case TPublishOption::MusicFiles: return "music-files";
  }
  return {};
}

const char* StatusName(TRunStatus s) {
  switch (s) {
    case TRunStatus::Finished: return "finished";
    case TRunStatus::NoMusic: return "no-music";
    case TRunStatus::Refused: return "refused";
    case TRunStatus::Cancelled: return "cancelled";
    case TRunStatus::Failed: return "failed";
  }
  return "failed";
}

// Every planned file was written by this run.
bool Complete(const TPublishOutcome& outcome) {
  return std::all_of(outcome.Files.begin(), outcome.Files.end(),
                     [](const TOutputFile& f) { return f.Written; });
}

void PrintOutcome(const TPublishOutcome& outcome, const TTerminalHost& host, bool json) {
  const TPublishResult& r = outcome.Result;
  const bool finished = outcome.Status == TRunStatus::Finished;
  if (json) {
    Json out = Json::MakeObject();
    out.Set("status", StatusName(outcome.Status));
    if (finished)
      out.Set("option", OptionName(r.Option)).Set("folder", r.Folder).Set("name", r.Name);
    Json files = Json::MakeArray();
    int n = 0;
    for (const TOutputFile& f : outcome.Files)
      files.Push(Json::MakeObject()
                     .Set("number", ++n)
                     .Set("name", f.Name)
                     .Set("state", f.Written ? "written" : "not written")
                     .Set("written", f.Written));
    out.Set("files", std::move(files));
    if (finished) out.Set("embedCode", r.EmbedCode);
    Json messages = Json::MakeArray();
    for (const std::string& m : host.Messages()) messages.Push(m);
    out.Set("messages", std::move(messages));
    out.Set("engines", Json::MakeObject()
                           .Set("runs", outcome.EngineRuns)
                           .Set("seconds", outcome.EngineSeconds)
                           .Set("busySeconds", outcome.EngineBusySeconds));
    std::cout << out.Dump() << "\n";
    return;
  }
  if (outcome.Status == TRunStatus::Cancelled) std::cerr << "Cancelled.\n";
  if (!finished) return;
  std::cout << "Generated files:\n";
  int n = 0;
  for (const TOutputFile& f : outcome.Files)
    std::cout << "  " << ++n << ". " << f.Name << (f.Written ? "" : "  (not written)") << "\n";
  std::cout << "Output folder: " << r.Folder << "\n"
            << "Embed code:\n"
            << r.EmbedCode << "\n";
}

void Publish(const PublishOptions& o) {
  const int jobs = Jobs(o.jobs);
  std::string projectFile;
  std::vector<std::string> songs;
  for (const std::string& input : o.inputs) {
    if (!IsProjectFile(input)) {
      songs.push_back(input);
      continue;
    }
    if (!projectFile.empty())
      throw CommandError("one project file at a time: " + projectFile + " and " + input);
    projectFile = input;
  }

  TStageMovieMakers makers;
  TPublishOutcome outcome;
  {
    TTerminalHost host(::isatty(STDERR_FILENO) == 1);
    TProject project = LoadProject(projectFile, host);
    for (const std::string& song : songs) AddMusicFile(project, fs::absolute(song).string());
    ApplyProjectOptions(o.project, project);
    for (const std::string& note : PlayerNotes(project)) host.ShowWarning(note);
    outcome = PublishRun(project, host, makers, jobs);
    std::cout.flush();
    PrintOutcome(outcome, host, o.json);
  }
  std::cout.flush();
  switch (outcome.Status) {
    case TRunStatus::Finished:
      if (Complete(outcome)) return;
      throw CommandError("the run finished, but not every file was written", 2);
    case TRunStatus::Cancelled: throw CommandError("the run was cancelled");
    case TRunStatus::NoMusic: throw CommandError("no songs to publish");
    case TRunStatus::Refused: throw CommandError("nothing was published");
    case TRunStatus::Failed: throw CommandError("the run failed");
  }
}

}  // namespace

void AddPublishCommands(CLI::App& app) {
  auto o = std::make_shared<PublishOptions>();
  CLI::App* cmd = app.add_subcommand(
      "publish",
      "Publish songs (MP3 or WAV) as a Flash MP3 player: the player, its playlist and HTML page, "
      "and the songs, into the output folder. A project file (.prj) gives the songs and the "
      "settings; songs named too are added after its own, and every option given overrides it. "
      "Ctrl-C cancels.");
  cmd->add_option("songs", o->inputs,
                  "A project file (.prj) and/or the songs, in playing order");
  AddProjectOptions(cmd, o->project);
  cmd->add_flag("--json", o->json, "Print the result as JSON");
  CLI::Option* jobs = cmd->add_option(
      "--jobs", o->jobsText,
      "How many songs are re-encoded and converted at once, 1 to " + std::to_string(kMaxJobs) +
          " (default: one per core, " + std::to_string(DefaultJobs()) + " here)");
  jobs->type_name("N");
  cmd->callback([o, jobs] {
    if (jobs->count() > 0) o->jobs = o->jobsText;
    Publish(*o);
  });
}

}  // namespace tw::cli
