// The preview display playing real preview movies: for each bundled skin the stage movie of the
// start-up project, built for the preview as the window builds it, shown by the display in a
// window on a virtual X server (xvfb-run) and seen in a screenshot of that server. The movie must
// sit at its own size and show the player's pixels, not an empty area.
#include <QColor>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "app/host.h"
#include "app/paths.h"
#include "app/project_file.h"
#include "app/snapshots.h"
#include "app/stage_movie.h"
#include "app/templates.h"
#include "support/testing.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

class TQuietHost : public THost {
 public:
  std::vector<std::string> Errors;
  void ProgressChanged(const TProgressState&) override {}
  void ProcessMessages() override {}
  bool CancelRequested() override { return false; }
  void ClearCancel() override {}
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  void ShowResult(const TPublishResult&) override {}
};

struct Shot {
  std::string skin;
  fs::path movie, png;
  int width = 0, height = 0;  // the stage size the movie was built with
};

// What a screenshot holds inside a rectangle: how many colours, and the share of the commonest.
struct Variety {
  size_t colours = 0;
  double commonest = 1;
};

Variety ColoursIn(const QImage& image, int x0, int y0, int w, int h) {
  std::map<QRgb, size_t> counts;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) ++counts[image.pixel(x, y)];
  size_t most = 0;
  for (const auto& [colour, n] : counts) most = std::max(most, n);
  return {counts.size(), double(most) / double(std::max(1, w * h))};
}

TEST(RufflePreview, ShowsEachBundledSkinsPreviewAtItsOwnSize) {
  const fs::path program = ProgramDir();
  ASSERT_TRUE(fs::exists(program / "ruffle/ruffle.js"))
      << "the emulator is not in the program folder: run scripts/ruffle.sh and build again";
  TempDir dir;
  setenv("XDG_DOCUMENTS_DIR", (dir / "Documents").c_str(), 1);

  TQuietHost host;
  TRunContext ctx(host);
  const TStageFolders folders{(program / "player/").string(), (program / "preloader/").string()};
  TProject project = MakeDefaultProject();
  LoadTemplatesAndPreloaders(project, folders.Player, folders.Preloader);
  ApplyProjectFile(project, (program / "default.prj").string(), host);
  ASSERT_TRUE(host.Errors.empty()) << host.Errors.front();

  std::vector<Shot> shots;
  std::vector<std::string> command = {"xvfb-run", "-a", "-s", "-screen 0 800x600x24",
                                      TW_PREVIEW_SHOT, (program / "ruffle").string()};
  for (const TTemplateEntry& skin : project.Templates) {
    project.SelectedTemplate = FindTemplate(project, skin.FileName);
    // Each preview in a folder of its own, with the sample playlist beside it as in the working
    // folder.
    const fs::path folder = dir / skin.FileName;
    fs::create_directories(folder);
    fs::copy_file(program / "preview.xml", folder / "preview.xml");
    Shot shot{skin.FileName, folder / "preview.swf", folder / "shot.png"};
    std::unique_ptr<TStageSettings> settings = GatherStageSettings(project);
    shot.width = settings->Width;
    shot.height = settings->Height;
    BuildStageMovie(*settings, shot.movie.string(), false, nullptr, "", true, TConvertOption(),
                    ctx, folders);
    FreeStageSettings(settings);
    command.push_back(shot.movie.string() + "=" + shot.png.string());
    shots.push_back(shot);
  }
  ASSERT_GE(shots.size(), 3u) << "the bundled skins are missing in " << folders.Player;
  ASSERT_TRUE(host.Errors.empty()) << host.Errors.front();

  const CommandResult run = RunCommand(command);
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  std::istringstream lines(run.out);
  for (const Shot& shot : shots) {
    SCOPED_TRACE(shot.skin);
    std::string word;
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(lines >> word >> x >> y >> w >> h && word == "RECT") << run.out;
    // 1:1: the player element takes the stage size, and nothing scales it.
    EXPECT_EQ(w, shot.width);
    EXPECT_EQ(h, shot.height);
    const QImage image(QString::fromStdString(shot.png.string()));
    ASSERT_FALSE(image.isNull());
    ASSERT_LE(x + w, image.width());
    ASSERT_LE(y + h, image.height());
    // The player draws its face, buttons and texts: many colours, none covering nearly all. An
    // empty area or an unplayed movie is one colour.
    const Variety inside = ColoursIn(image, x, y, w, h);
    EXPECT_GE(inside.colours, 16u);
    EXPECT_LT(inside.commonest, 0.95);
  }
}

}  // namespace
}  // namespace tw::test
