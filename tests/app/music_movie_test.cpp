// Music movies: the movie of one song, its header and frames, Cancel during the build, songs
// that cannot become a movie, and the publish run writing them. Songs are made by sox and lame.
#include <fstream>

#include "app/app_support.h"
#include "app/music_movie.h"
#include "app/paths.h"
#include "app/publish.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

struct MusicMovieFixture : ::testing::Test {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx{host};

  TConvertOption Options(int fps = 12, int versionIndex = 2) {
    TConvertOption o;
    o.FrameRate = fps;
    o.FlashVersionIndex = versionIndex;
    return o;
  }
  // Nothing of the build stays in the working folder.
  void ExpectNoWorkingFiles() {
    for (const std::string& f : FolderFiles(user.Work())) ADD_FAILURE() << "left behind: " << f;
  }
};

TEST_F(MusicMovieFixture, FramesAreTheSongsDurationTimesTheFrameRateRoundedHalfToEven) {
  const std::tuple<double, double, int64_t> cases[] = {
      {180, 12, 2160}, {180, 25, 4500}, {0.1, 12, 1}, {0.02, 12, 0},
      {0.125, 12, 2},  {0.375, 12, 4},  {0, 12, 0},   {-1, 12, 0}};
  for (auto [seconds, fps, frames] : cases)
    EXPECT_EQ(MusicMovieFrames(seconds, fps), frames) << seconds << " s at " << fps;
}

TEST_F(MusicMovieFixture, HeaderHasAZeroRectangleTheVersionAndTheSongsFrames) {
  struct Case {
    std::string name;
    int fps, versionIndex;
  };
  const Case cases[] = {{"song.mp3", 12, 0}, {"song.wav", 25, 2}, {"song.WAV", 8, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path song = dir / c.name;
    MakeSong44(song, 2.0);
    const fs::path target = dir / (c.name + ".swf");
    ASSERT_TRUE(WriteMusicMovieFile(song.string(), target.string(), Options(c.fps, c.versionIndex),
                                    true, &ctx));
    swf::TSWFStreamReader movie(target);
    EXPECT_EQ(movie.Version(), 6 + c.versionIndex);
    EXPECT_FALSE(movie.Compressed());
    EXPECT_EQ(movie.FrameRect().Left, 0);
    EXPECT_EQ(movie.FrameRect().Right, 0);
    EXPECT_EQ(movie.FrameRect().Bottom, 0);
    EXPECT_DOUBLE_EQ(movie.FPS(), c.fps);
    // Two seconds: the MP3 lasts a few frames of coding longer.
    EXPECT_NEAR(movie.FrameCount(), 2 * c.fps, 1);
    movie.ParseTags(false, false);
    ASSERT_FALSE(movie.TagList.empty());
    EXPECT_EQ(movie.TagList.front()->TagCode, 45);
    // The progress window showed the building up to 100%.
    ASSERT_FALSE(host.Progress.empty());
    EXPECT_EQ(host.Progress.back().SinglePercent, 100);
    EXPECT_EQ(host.Progress.back().SingleProcessing, "100%");
    ExpectNoWorkingFiles();
  }
}

TEST_F(MusicMovieFixture, CancelStopsTheBuildAndLeavesNoFile) {
  const fs::path song = dir / "long.mp3";
  MakeSong44(song, 30.0);
  const fs::path target = dir / "long.swf";
  int calls = 0;
  host.OnMessages = [&](RecordingHost& h) {
    if (++calls == 50) h.Cancel = true;
  };
  EXPECT_FALSE(WriteMusicMovieFile(song.string(), target.string(), Options(), true, &ctx));
  EXPECT_EQ(calls, 50);  // the build stopped at the first look after Cancel
  EXPECT_FALSE(fs::exists(target));
  ExpectNoWorkingFiles();

  calls = 0;
  host.Cancel = false;
  EXPECT_EQ(BuildMusicMovieStream(song.string(), Options(), true, &ctx), nullptr);
  ExpectNoWorkingFiles();
}

TEST_F(MusicMovieFixture, SongsThatCannotBecomeAMovieFailWithTheirReason) {
  const fs::path junk = dir / "junk.mp3";
  std::ofstream(junk) << std::string(5000, 'x');
  const fs::path rate = dir / "rate.wav";
  ASSERT_EQ(RunCommand({"sox", "-n", "-r", "48000", "-c", "1", "-b", "16", rate.string(), "synth", "0.5",
                        "sine", "440"}).status, 0);
  // Eleven minutes at 100 frames per second are more frames than a movie can count.
  const fs::path longSong = dir / "long.wav";
  ASSERT_EQ(RunCommand({"sox", "-n", "-r", "5512", "-c", "1", "-b", "8", longSong.string(),
                        "synth", "660", "sine", "440"}).status, 0);
  const std::tuple<fs::path, int, std::string> cases[] = {
      {junk, 12, "Cannot make a music movie of the song"},
      {rate, 12, "48000 Hz"},
      {longSong, 100, "lasts too long"}};
  for (const auto& [song, fps, text] : cases) {
    SCOPED_TRACE(song.filename().string());
    const fs::path target = dir / "out.swf";
    std::ofstream(target) << "earlier";
    try {
      WriteMusicMovieFile(song.string(), target.string(), Options(fps), true, &ctx);
      ADD_FAILURE() << "written";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadText(target), "earlier");
    EXPECT_THROW(BuildMusicMovieStream(song.string(), Options(fps), true, &ctx),
                 std::exception);
    ExpectNoWorkingFiles();
  }
}

TEST_F(MusicMovieFixture, PublishWritesAMovieForEachReadableSongAndReportsTheOthers) {
  TProject project = MakeDefaultProject();
  TempDir out;
  const fs::path good = dir / "good.wav";
  MakeSong44(good, 1.0);
  const fs::path bad = dir / "bad.mp3";
  std::ofstream(bad) << std::string(3000, 'z');
  for (const fs::path& p : {bad, good}) project.Music.emplace_back().Path = p.string();
  project.PublishOption = TPublishOption::PlayerAndMusicFiles;
  project.MusicFormat = TMusicFormat::SWF;
  project.Reencode = false;
  project.OutputFolder = out.path().string();
  TStageMovieMakers makers{BundledStageFolders()};
  const TPublishOutcome outcome = PublishRun(project, host, makers);
  EXPECT_EQ(outcome.Status, TRunStatus::Finished);
  EXPECT_TRUE(fs::exists(out / "good.swf"));
  EXPECT_FALSE(fs::exists(out / "bad.swf"));
  EXPECT_EQ(host.Count("Error: Cannot make a music movie of the song"), 1) << ::testing::PrintToString(host.Errors);
  swf::TSWFStreamReader movie(out / "good.swf");
  EXPECT_EQ(movie.FrameCount(), 12);
}

}  // namespace
}  // namespace tw::test
