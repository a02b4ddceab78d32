// What the workflow tests share: a host that records what the run shows, a stand-in for the
// movie makers, songs made by sox and lame, and the user's folders moved into a temporary folder.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/host.h"
#include "app/publish.h"
#include "app/stage_movie.h"
#include "app/templates.h"
#include "support/testing.h"

namespace tw::test {

// Sets an environment variable for the scope and puts the old value back.
class EnvGuard {
 public:
  EnvGuard(const char* name, const std::string& value);
  ~EnvGuard();
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

 private:
  std::string FName;
  bool FHad = false;
  std::string FOld;
};

// The documents folder (and so the working folder) inside a temporary folder for the test.
class UserFolders {
 public:
  UserFolders();
  std::string Documents() const { return (FDir / "Documents/").string(); }
  std::string Work() const { return (FDir / "Documents/Dovetek Software/Tunewright/").string(); }
  // Every file below the temporary folder, relative to it.
  std::vector<std::string> Files() const;
  // Everything in the working folder, folders included.
  std::vector<std::string> WorkEntries() const;

 private:
  TempDir FDir;
  EnvGuard FDocs, FConfig, FHome;
};

// Records everything the run shows; can press Cancel when a condition holds.
class RecordingHost : public app::THost {
 public:
  std::vector<app::TProgressState> Progress;
  std::vector<std::string> Errors;
  std::vector<std::string> Warnings;
  std::vector<app::TPublishResult> Results;
  int MusicPageShown = 0;
  int MessageRuns = 0;
  bool Cancel = false;
  // Called at every "process messages"; may set Cancel.
  std::function<void(RecordingHost&)> OnMessages;

  void ProgressChanged(const app::TProgressState& state) override { Progress.push_back(state); }
  void ProcessMessages() override {
    ++MessageRuns;
    if (OnMessages) OnMessages(*this);
  }
  bool CancelRequested() override { return Cancel; }
  void ClearCancel() override { Cancel = false; }
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  void ShowWarning(const std::string& text) override { Warnings.push_back(text); }
  void ShowResult(const app::TPublishResult& result) override { Results.push_back(result); }
  void ShowMusicPage() override { ++MusicPageShown; }

  // The single-file texts shown so far, without repeats in a row.
  std::vector<std::string> SingleFileTexts() const;
  int Count(std::string_view errorPart) const;
};

// Stands in for the movie builder: records each call and writes a small marker file. With
// music it takes the songs one by one and honours Cancel between them, as the real one must.
class RecordingMovieMakers : public app::TMovieMakers {
 public:
  struct StageCall {
    std::string Target;
    bool WithMusic;
    std::vector<std::string> Songs;    // the sources it would carry
    std::vector<int32_t> Positions;
    std::string Folder;
    int Width, Height;
  };
  struct MusicCall {
    std::string Source, Target;
  };
  std::vector<StageCall> StageCalls;
  std::vector<MusicCall> MusicCalls;
  // Called after each song of a stage movie has been taken (before the checkpoint), with the
  // file it was taken from.
  std::function<void(size_t songIndex, const std::string& source)> OnStageSong;

  void BuildStageMovie(const app::TStageSettings& settings, const std::string& target,
                       bool withMusic, const app::TMusicFileList* music,
                       const std::string& folder, bool preview,
                       const app::TConvertOption& options, app::TRunContext& ctx) override;
  bool WriteMusicMovieFile(const std::string& source, const std::string& target,
                           const app::TConvertOption& options, bool wholeSong,
                           app::TRunContext& ctx) override;
};

// A song made by sox (WAV) or sox and lame (MP3): a tone of the given length. Long songs for
// cancel tests are made small: 8000 Hz mono.
void MakeSong(const std::filesystem::path& path, double seconds, bool small = false);
// A song at 44100 Hz stereo (WAV, or MP3 that lame is told to keep at that rate, which it would
// otherwise lower for the bit rate): the rates a Flash movie carries.
void MakeSong44(const std::filesystem::path& path, double seconds);

// Runs ffmpeg quietly, overwriting its output; fails the test when it fails.
void Ffmpeg(std::vector<std::string> args);
// The input arguments of one picture of a flat colour "RRGGBBAA" for ffmpeg.
std::vector<std::string> FlatColour(const std::string& rgba, int width, int height);

// The names of the regular files in a folder, sorted.
std::vector<std::string> FolderFiles(const std::filesystem::path& folder);

std::string ReadText(const std::filesystem::path& path);

// The player and preloader folders beside the program, with the bundled skins.
app::TStageFolders BundledStageFolders();

// What a stage build needs: the user's folders, a temporary folder, a recording host, and
// settings that choose the bundled compact bar on a stage of the given size and a background of
// red 0x99, green 0x66, blue 0x33.
struct StageFixture : ::testing::Test {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  app::TRunContext ctx{host};
  std::unique_ptr<app::TTemplateInfo> info =
      app::ReadTemplateInfo(BundledStageFolders().Player + "compact.swf");
  app::TStageSettings s;
  app::TConvertOption options;

  StageFixture(int width, int height);
};

}  // namespace tw::test
