// Cancel while a stage movie carries its songs: a ten-minute song (sox noise) is being made into
// its music sprite when Cancel is pressed. The build stops at its next look at the window, writes
// nothing, leaves no working file, and a stage published before stays whole.
#include <algorithm>
#include <fstream>

#include "app/app_support.h"
#include "app/paths.h"
#include "app/publish.h"
#include "app/stage_movie.h"
#include "app/templates.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using Names = std::vector<std::string>;

const TStageFolders& Bundled() {
  static const TStageFolders folders = BundledStageFolders();
  return folders;
}

const char* const kLong = "long noise.wav";
const char* const kConvertingLong = "Converting \"long noise.wav\":";

struct StageCancel : ::testing::Test {
  // Ten minutes of noise, 11025 Hz mono: made once for every test here.
  static inline std::unique_ptr<TempDir> songs;
  static void SetUpTestSuite() {
    songs = std::make_unique<TempDir>();
    const CommandResult r = RunCommand({"sox", "-n", "-r", "11025", "-c", "1", "-b", "16",
                                        (*songs / kLong).string(), "synth", "600", "whitenoise",
                                        "vol", "0.3"});
    ASSERT_EQ(r.status, 0) << r.err;
    MakeSong(*songs / "a.wav", 1);
  }
  static void TearDownTestSuite() { songs.reset(); }

  UserFolders user;
  TempDir out;
  RecordingHost host;
  int messagesAtCancel = -1;

  // Presses Cancel a third into the building of the long song's music movie (the 100 % of the
  // song before stays shown until the new one reports).
  void CancelDuringTheLongSong() {
    host.OnMessages = [this](RecordingHost& h) {
      if (h.Cancel || h.Progress.empty()) return;
      const TProgressState& s = h.Progress.back();
      if (s.SingleFile == kConvertingLong && s.SinglePercent >= 30 && s.SinglePercent < 100) {
        h.Cancel = true;
        messagesAtCancel = h.MessageRuns;
      }
    };
  }
  // What the run lets the message queue do after Cancel was pressed.
  int MessagesAfterCancel() const { return host.MessageRuns - messagesAtCancel; }

  // Neither working copies nor halves of written files: only what the test put there.
  void ExpectNoWorkingFiles(const Names& outputFiles) {
    EXPECT_EQ(user.Files(), Names{});
    EXPECT_EQ(FolderFiles(out.path()), outputFiles);
  }
};

std::unique_ptr<TMusicFileList> Song(const fs::path& file, int position) {
  auto node = std::make_unique<TMusicFileList>();
  node->FileName = file.string();
  node->Title = file.stem().string();
  node->Position = position;
  return node;
}

TEST_F(StageCancel, CancelDuringASongEndsTheBuildAndKeepsTheOldStage) {
  auto info = ReadTemplateInfo(Bundled().Player + "compact.swf");
  ASSERT_TRUE(info);
  TStageSettings s;
  s.TemplateName = "compact.swf";
  s.Template = info.get();
  s.Width = 400;
  s.Height = 300;
  s.FrameRate = 24;
  TConvertOption options;
  options.FrameRate = 24;
  auto chain = Song(*songs / "a.wav", 1);
  chain->Next = Song(*songs / kLong, 2);
  const fs::path target = out / "player.swf";
  const std::string folder = out.path().string() + "/";

  // Uncancelled, the build looks at the window once a frame of the long song: thousands of
  // times.
  {
    RecordingHost plain;
    TRunContext ctx(plain);
    BuildStageMovie(s, target.string(), true, chain.get(), folder, false, options, ctx, Bundled());
    EXPECT_GT(plain.MessageRuns, 10000);
    swf::TSWFStreamReader movie(target);
    movie.ParseTags(true, false);
    ExpectNoWorkingFiles({"player.swf"});
  }

  const std::string old = "the stage published before";
  std::ofstream(target, std::ios::binary) << old;
  CancelDuringTheLongSong();
  TRunContext ctx(host);
  EXPECT_THROW(BuildStageMovie(s, target.string(), true, chain.get(), folder, false, options, ctx,
                               Bundled()),
               ECancelled);
  ASSERT_GE(messagesAtCancel, 0) << "Cancel was never pressed";
  // It stopped at its first look after Cancel.
  EXPECT_LE(MessagesAfterCancel(), 1);
  EXPECT_LT(host.Progress.back().SinglePercent, 40);
  EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
  EXPECT_EQ(ReadText(target), old);
  ExpectNoWorkingFiles({"player.swf"});
}

struct StageCancelRun : StageCancel {
  TProject project = MakeDefaultProject();
  TStageMovieMakers makers{Bundled()};

  StageCancelRun() {
    project.Templates = ScanTemplates(Bundled().Player);
    for (size_t i = 0; i < project.Templates.size(); ++i)
      if (project.Templates[i].FileName == "compact.swf") project.SelectedTemplate = static_cast<int32_t>(i);
    project.Reencode = false;
    project.OutputFolder = out.path().string();
    project.Music.emplace_back().Path = (*songs / "a.wav").string();
    project.Music.emplace_back().Path = (*songs / kLong).string();
  }
};

// The publish run ends as cancelled: no result window, no message, and of the option's files
// only those finished before Cancel.
TEST_F(StageCancelRun, EveryOptionStopsWithinTheLongSong) {
  ASSERT_GE(project.SelectedTemplate, 0);
  struct Case {
    TPublishOption option;
    Names left;  // in the output folder afterwards
  };
  // The music movie files of the first option are built the same way, beside the player.
  project.MusicFormat = TMusicFormat::SWF;
  for (const Case& c : {Case{TPublishOption::SinglePlayer, {}},
                        Case{TPublishOption::MusicFiles, {"a.swf"}},
                        Case{TPublishOption::PlayerAndMusicFiles, {"a.swf"}}}) {
    SCOPED_TRACE(static_cast<int>(c.option));
    fs::remove_all(out.path());
    fs::create_directory(out.path());
    host = RecordingHost{};
    messagesAtCancel = -1;
    project.PublishOption = c.option;
    CancelDuringTheLongSong();
    const TPublishOutcome r = PublishRun(project, host, makers);
    EXPECT_EQ(r.Status, TRunStatus::Cancelled);
    ASSERT_GE(messagesAtCancel, 0) << "Cancel was never pressed";
    EXPECT_LE(MessagesAfterCancel(), 1);
    EXPECT_TRUE(host.Results.empty());
    EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
    EXPECT_FALSE(host.Progress.back().Visible);
    ExpectNoWorkingFiles(c.left);
    // What stays is whole: the first song's own movie reads to its end.
    for (const std::string& name : c.left) {
      swf::TSWFStreamReader movie(out / name);
      EXPECT_NO_THROW(movie.ParseTags(true, false)) << name;
      EXPECT_GT(movie.FrameCount(), 0) << name;
    }
  }
}

}  // namespace
}  // namespace tw::test
