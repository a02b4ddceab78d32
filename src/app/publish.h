// The publish run: turns the project into files in the output folder in one pass over the
// music list, showing progress and honouring Cancel through the host.
#pragma once

#include <string>

#include "app/host.h"
#include "app/snapshots.h"

namespace tw::app {

// The two movies the run asks for and does not make itself: the stage movie (with the player,
// and the songs when they travel inside it) and the SWF music movie of one song.
class TMovieMakers {
 public:
  virtual ~TMovieMakers() = default;

  // Writes the stage movie to target, replacing an existing file. With music, the songs of the
  // chain go inside; a song's source is folder (the run's working folder) + "encode" + Position
  // + ".mp3" when that file holds bytes, else its own file. Between every two songs it calls
  // ctx.Checkpoint(): a Cancel then ends the call with ECancelled and no target is written.
  // Other failures throw and reach the run.
  virtual void BuildStageMovie(const TStageSettings& settings, const std::string& target,
                               bool withMusic, const TMusicFileList* music,
                               const std::string& folder, bool preview,
                               const TConvertOption& options, TRunContext& ctx) = 0;

  // Writes the song's music movie to target; false when Cancel ended the build (the run then
  // notices it at its next checkpoint). A song that cannot become a movie throws with the
  // reason, which the run reports before it goes on with the next song.
  //
  // A run with several songs at work at once calls WriteMusicMovieFile, and BuildStageMovie for
  // the movie of one song (music files), from several threads at once, each with a context of
  // its own song: makers must allow that.
  virtual bool WriteMusicMovieFile(const std::string& source, const std::string& target,
                                   const TConvertOption& options, bool wholeSong,
                                   TRunContext& ctx) = 0;
};

enum class TRunStatus {
  Finished,   // the result was shown
  NoMusic,    // "Please add music file!"
  Refused,    // a check before writing found a danger to the user's files; nothing was written
  Cancelled,  // Cancel was pressed; what was written stays, the temporaries are gone
  Failed,     // a step failed and ended the run; its error was shown
};

// A file the run means to make in the output folder.
enum class TOutputKind {
  Page,       // the player's page, or a song's page (music files)
  Player,     // the player movie, or a song's own movie (music files)
  Playlist,
  SongFile,   // a song in the music format
  Emulator,   // a file of the emulator, beside the pages
};

struct TOutputFile {
  std::string Name;  // in the output folder
  TOutputKind Kind = TOutputKind::Page;
  int Song = 0;      // the 1-based place of the song it is made from; 0 for the player's files
  bool Written = false;
  bool operator==(const TOutputFile&) const = default;
};

// Every file of a run, in the result's order, known from the options before anything is made.
std::vector<TOutputFile> OutputPlan(const TConvertOption& options);

struct TPublishOutcome {
  TRunStatus Status = TRunStatus::Failed;
  TPublishResult Result;  // complete when Finished
  // The run's plan, each file marked when this run wrote it (empty when there was nothing to
  // publish).
  std::vector<TOutputFile> Files;
  int Errors = 0;         // messages shown during the run
  int EngineRuns = 0;     // children started, and their summed wall time
  double EngineSeconds = 0;
  double EngineBusySeconds = 0;  // the wall time during which at least one child ran
};

// How many songs may be at work at once: 1 to this.
inline constexpr int kMaxJobs = 64;

// The number of songs at work at once when nobody says otherwise: one per core.
int DefaultJobs();

// The Publish button. The project is the window's: the snapshots are taken from it at the
// start (which may limit its bit-rate choice and create the output folder). Up to jobs songs are
// re-encoded and converted at once, each on a thread of its own; whatever order they finish in,
// the result, the files and the messages come in song order, as from one song after another.
// Only the calling thread talks to the host.
TPublishOutcome PublishRun(TProject& project, THost& host, TMovieMakers& makers, int jobs = 1);

// The Ruffle emulator's files the program ships (its folder "ruffle/"), by name, sorted: what a
// copying page needs, as the npm package lays them out. Empty when the program has none.
std::vector<std::string> ShippedRuffleFiles();

// The result's file names for the options: the names of the output plan.
std::vector<std::string> ResultFileNames(const TConvertOption& options);

}  // namespace tw::app
