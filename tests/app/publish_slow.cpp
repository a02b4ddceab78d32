// Whole publish runs with Debian's real lame and ffmpeg (the movies still made by the stand-in).
#include <set>

#include "app/app_support.h"
#include "app/publish.h"
#include "app/stage_movie.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using Names = std::vector<std::string>;

std::string Probe(const fs::path& file) {
  auto r = RunCommand({"ffprobe", "-v", "error", "-show_entries",
                       "stream=codec_name,sample_rate,channels,bit_rate:format=format_name", "-of",
                       "default=nw=1", file.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

struct RealRun : ::testing::Test {
  UserFolders user;
  TempDir songs, out;
  RecordingHost host;
  RecordingMovieMakers makers;
  TProject project = MakeDefaultProject();

  void AddSong(const std::string& name, double seconds, bool small = false) {
    MakeSong(songs / name, seconds, small);
    project.Music.emplace_back().Path = (songs / name).string();
  }
  void Options(TPublishOption option, TMusicFormat format) {
    project.PublishOption = option;
    project.MusicFormat = format;
    project.Reencode = true;
    project.OutputFolder = out.path().string();
  }
  TPublishOutcome Run() { return PublishRun(project, host, makers); }
};

TEST_F(RealRun, ThreeSongsAsFlvWithReencoding) {
  AddSong("My Song.mp3", 2);
  AddSong("b.wav", 2);
  AddSong("c d.wav", 2);
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::FLV);
  const TPublishOutcome r = Run();
  ASSERT_EQ(r.Status, TRunStatus::Finished) << ::testing::PrintToString(host.Errors);
  EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
  ASSERT_EQ(host.Results.size(), 1u);
  EXPECT_EQ(host.Results[0].Files, (Names{"player.html", "player.swf", "player.xml",
                                          "My_Song.flv", "b.flv", "c_d.flv"}));
  EXPECT_EQ(FolderFiles(out.path()), (Names{"My_Song.flv", "b.flv", "c_d.flv", "player.html",
                                            "player.swf", "player.xml"}));
  for (const char* flv : {"My_Song.flv", "b.flv", "c_d.flv"})
    EXPECT_EQ(Probe(out / flv), "codec_name=mp3\nsample_rate=22050\nchannels=1\nbit_rate=24000\n"
                                "format_name=flv\n")
        << flv;
  EXPECT_EQ(user.Files(), Names{});
  EXPECT_EQ(r.EngineRuns, 6);
  EXPECT_GT(r.EngineSeconds, 0);
  EXPECT_EQ(host.SingleFileTexts(),
            (Names{"Converting:", "Reencoding \"My Song.mp3\":", "Converting \"My Song.mp3\":",
                   "Reencoding \"b.wav\":", "Converting \"b.wav\":", "Reencoding \"c d.wav\":",
                   "Converting \"c d.wav\":"}));
}

TEST_F(RealRun, Mp3FilesCarryTheChosenEncoding) {
  AddSong("a.wav", 2);
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3);
  project.ApplyPreset(3);  // 44100 Hz, 128 kbps, stereo
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(Probe(out / "a.mp3"),
            "codec_name=mp3\nsample_rate=44100\nchannels=2\nbit_rate=128000\nformat_name=mp3\n");
}

TEST_F(RealRun, SinglePlayerCarriesTheReencodedSongs) {
  AddSong("a.wav", 2);
  AddSong("b.mp3", 2);
  Options(TPublishOption::SinglePlayer, TMusicFormat::SWF);
  std::vector<std::string> probed;
  makers.OnStageSong = [&](size_t, const std::string& source) { probed.push_back(Probe(source)); };
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  ASSERT_EQ(makers.StageCalls.size(), 1u);
  // The re-encoded songs, in the run's own working folder.
  const std::string f = makers.StageCalls[0].Folder;
  EXPECT_TRUE(f.starts_with(user.Work() + "run-")) << f;
  EXPECT_EQ(makers.StageCalls[0].Songs, (Names{f + "encode1.mp3", f + "encode2.mp3"}));
  // While the player was built they were the re-encoded songs; afterwards they are gone.
  ASSERT_EQ(probed.size(), 2u);
  for (const std::string& p : probed)
    EXPECT_EQ(p, "codec_name=mp3\nsample_rate=22050\nchannels=1\nbit_rate=24000\nformat_name=mp3\n");
  EXPECT_EQ(FolderFiles(out.path()), (Names{"player.html", "player.swf"}));
  EXPECT_EQ(user.WorkEntries(), Names{});
}

TEST_F(RealRun, MusicFilesGiveEachMovieItsOwnReencodedSong) {
  AddSong("a.wav", 1);
  AddSong("b.wav", 1);
  AddSong("c.mp3", 1);
  Options(TPublishOption::MusicFiles, TMusicFormat::SWF);
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  ASSERT_EQ(makers.StageCalls.size(), 3u);
  EXPECT_EQ(makers.StageCalls[2].Songs, Names{makers.StageCalls[2].Folder + "encode3.mp3"});
  EXPECT_TRUE(makers.StageCalls[2].Folder.starts_with(user.Work() + "run-"));
  EXPECT_EQ(FolderFiles(out.path()),
            (Names{"a.html", "a.swf", "b.html", "b.swf", "c.html", "c.swf"}));
}

TEST_F(RealRun, CancelWhileTheSecondOfThreeSongsConverts) {
  AddSong("a.wav", 2);
  AddSong("b.wav", 900, true);
  AddSong("c.wav", 2);
  // Cancel while lame re-encodes the second song, and while ffmpeg converts it.
  for (const bool reencode : {true, false}) {
    SCOPED_TRACE(reencode ? "re-encoding" : "converting");
    fs::remove_all(out.path());
    fs::create_directory(out.path());
    host = RecordingHost{};
    Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::FLV);
    project.Reencode = reencode;
    const std::string stage = reencode ? "Reencoding \"b.wav\":" : "Converting \"b.wav\":";
    host.OnMessages = [stage](RecordingHost& h) {
      const TProgressState& s = h.Progress.back();
      if (s.SingleFile == stage && s.SinglePercent > 0) h.Cancel = true;
    };
    const TPublishOutcome r = Run();
    EXPECT_EQ(r.Status, TRunStatus::Cancelled);
    EXPECT_TRUE(host.Results.empty());
    EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
    EXPECT_FALSE(host.Progress.back().Visible);
    // The first song's file stays; nothing of the second; no encode file; no temporaries.
    EXPECT_EQ(FolderFiles(out.path()), Names{"a.flv"});
    EXPECT_EQ(user.Files(), Names{});
  }
}

// Whatever the option, the music format and the flags, a real run writes to the output folder
// exactly the files of its plan, each marked written, and the result lists the same names: the
// list, the check and the writes cannot drift apart.
TEST_F(RealRun, TheOutputFolderHoldsExactlyThePlansFiles) {
  // At rates a movie carries: a song that cannot become a movie is rightly not written.
  MakeSong44(songs / "My Song.mp3", 0.5);
  project.Music.emplace_back().Path = (songs / "My Song.mp3").string();
  AddSong("b.wav", 0.5);
  TStageMovieMakers real(BundledStageFolders());
  struct Flags {
    const char* name;
    bool reencode, onlyPlayer;
  } flags[] = {{"as they are", false, false}, {"re-encoded", true, false},
               {"only the player", true, true}};
  for (const TPublishOption option : {TPublishOption::PlayerAndMusicFiles,
                                      TPublishOption::SinglePlayer, TPublishOption::MusicFiles})
    for (const TMusicFormat format : {TMusicFormat::SWF, TMusicFormat::FLV, TMusicFormat::MP3})
      for (const Flags& f : flags) {
        SCOPED_TRACE(std::to_string(static_cast<int>(option)) + " " +
                     std::to_string(static_cast<int>(format)) + " " + f.name);
        fs::remove_all(out.path());
        fs::create_directory(out.path());
        host = RecordingHost{};
        Options(option, format);
        project.Reencode = f.reencode;
        project.OnlyFlashPlayer = f.onlyPlayer;
        const TPublishOutcome r = PublishRun(project, host, real);
        ASSERT_EQ(r.Status, TRunStatus::Finished) << ::testing::PrintToString(host.Errors);
        EXPECT_EQ(host.Errors, Names{});
        std::set<std::string> planned;
        Names listed;
        for (const TOutputFile& file : r.Files) {
          planned.insert(file.Name);
          listed.push_back(file.Name);
          EXPECT_TRUE(file.Written) << file.Name;
        }
        EXPECT_EQ(FolderFiles(out.path()), Names(planned.begin(), planned.end()));
        ASSERT_EQ(host.Results.size(), 1u);
        EXPECT_EQ(host.Results[0].Files, listed);
        EXPECT_EQ(user.WorkEntries(), Names{});
      }
}

}  // namespace
}  // namespace tw::test
