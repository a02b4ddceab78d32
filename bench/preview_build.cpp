// The preview rebuild as the window runs it after an edit of the player page: the stage snapshot
// of the start-up project (default.prj beside the program) with one bundled skin selected, the
// stage movie built without music for the preview into preview.swf of a working folder in a
// temporary folder. One benchmark per skin of the program folder's player/, reported as the
// median of ten runs; the window rebuilds on the third 250 ms tick after the last edit, so a
// rebuild should stay well below a tick.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/host.h"
#include "app/paths.h"
#include "app/project_file.h"
#include "app/snapshots.h"
#include "app/stage_movie.h"
#include "app/templates.h"

namespace fs = std::filesystem;
using namespace tw::app;

namespace {

const std::string kProgramDir = std::string(TW_PROGRAM_DIR) + "/";

// Errors would only be seen as a failed benchmark: the window shows them the same way.
class TQuietHost : public THost {
 public:
  std::string Error;
  void ProgressChanged(const TProgressState&) override {}
  void ProcessMessages() override {}
  bool CancelRequested() override { return false; }
  void ClearCancel() override {}
  void ShowError(const std::string& text) override { Error = text; }
  void ShowResult(const TPublishResult&) override {}
};

void BM_PreviewBuild(benchmark::State& state, const std::string& skin) {
  TQuietHost host;
  TRunContext ctx(host);
  const TStageFolders folders{kProgramDir + "player/", kProgramDir + "preloader/"};
  TProject project = MakeDefaultProject();
  LoadTemplatesAndPreloaders(project, folders.Player, folders.Preloader);
  ApplyProjectFile(project, kProgramDir + "default.prj", host);
  project.SelectedTemplate = FindTemplate(project, skin);
  if (project.SelectedTemplate < 0 || !host.Error.empty()) {
    state.SkipWithError(("cannot set up the project: " + host.Error).c_str());
    return;
  }
  const std::string target = UserDataFolder() + "preview.swf";
  const TConvertOption options;
  for (auto _ : state) {
    std::unique_ptr<TStageSettings> settings = GatherStageSettings(project);
    BuildStageMovie(*settings, target, false, nullptr, "", true, options, ctx, folders);
    FreeStageSettings(settings);
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(target));
  if (!host.Error.empty()) state.SkipWithError(host.Error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // The working folder (preview.swf and the composition's temporary movie.swf) in a temporary
  // folder of its own, as a user's documents folder.
  char pattern[] = "/tmp/tw-preview-bench-XXXXXX";
  const char* home = mkdtemp(pattern);
  if (!home) return 1;
  setenv("XDG_DOCUMENTS_DIR", (std::string(home) + "/Documents").c_str(), 1);

  const std::vector<TTemplateEntry> skins = ScanTemplates(kProgramDir + "player/");
  if (skins.empty()) {
    std::fprintf(stderr, "No skins in %splayer/: build the target skins first\n", kProgramDir.c_str());
    return 1;
  }
  for (const TTemplateEntry& skin : skins)
    benchmark::RegisterBenchmark(("BM_PreviewBuild/" + skin.FileName).c_str(), BM_PreviewBuild,
                                 skin.FileName)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(10)
        ->ReportAggregatesOnly(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(home);
  return 0;
}
