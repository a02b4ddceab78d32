// The one narrow interface between the publishing workflow and whatever shows it: the terminal
// of tunewright-cli or the desktop window. The core never reaches further than this.
#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/project.h"

namespace tw::app {

// A song being re-encoded or converted. Songs may run side by side, each with its own percent.
struct TSongProgress {
  int Number = 0;      // the song's 1-based place in the music list
  std::string Action;  // "Reencoding \"a.mp3\":" or "Converting \"a.mp3\":"
  int Percent = 0;     // 0..100
  bool operator==(const TSongProgress&) const = default;
};

// What the progress window shows while a run goes on.
struct TProgressState {
  bool Visible = false;
  std::string SingleFile;        // what is being done to the current song
  std::string SingleProcessing;  // the current song's percent as text: "42%"
  int SinglePercent = 0;         // 0..100
  std::string Files;             // the overall stage of the run
  std::string FilesProcessing;   // "k/N", or empty
  int FilesPosition = 0;         // 0..FilesMax
  int FilesMax = 0;
  // Every song at work now, in song order; SingleFile and SinglePercent show the latest one.
  std::vector<TSongProgress> Running;
  bool operator==(const TProgressState&) const = default;
};

// What the result window shows after a finished run.
struct TPublishResult {
  TPublishOption Option = TPublishOption::SinglePlayer;
  std::vector<std::string> Files;  // generated file names without folder, in order
  std::string Folder;              // the output folder, ending with "/"
  std::string Name;                // the output name
  std::string EmbedCode;
};

class THost {
 public:
  virtual ~THost() = default;
  // The progress window opens (Visible), changes, or closes (not Visible).
  virtual void ProgressChanged(const TProgressState& state) = 0;
  // "Let the message queue run": repaint, and notice a Cancel.
  virtual void ProcessMessages() = 0;
  virtual bool CancelRequested() = 0;
  virtual void ClearCancel() = 0;
  // A message with one OK button; returns when it has been acknowledged. The text is complete
  // ("Error: ..." where the run reports a failure).
  virtual void ShowError(const std::string& text) = 0;
  // A message that the run goes on despite something the user should know.
  virtual void ShowWarning(const std::string& text) { ShowError(text); }
  virtual void ShowResult(const TPublishResult& result) = 0;
  // The main window shows its music page (nothing to publish).
  virtual void ShowMusicPage() {}
};

// Thrown at a checkpoint when Cancel was pressed; the run then takes its cancel path.
class ECancelled : public std::runtime_error {
 public:
  ECancelled() : std::runtime_error("Cancelled") {}
};

// The progress window as the run and its helpers change it: every change reaches the host.
class TProgress {
 public:
  explicit TProgress(THost& host) : FHost(host) {}
  const TProgressState& State() const { return FState; }

  void Open(int songCount);  // the initial state of a run
  void Close();              // closed and reset for the next run
  void SetSingleFile(std::string text);
  void SetSinglePercent(int percent, std::string text);
  void SetFiles(std::string text, std::string processing);
  void SetFilesPosition(int position, std::string processing);
  // A song starts one of its steps, or is done: its line in Running appears, changes or goes.
  // SetSinglePercent moves the percent of the song started last.
  void StartSong(int number, std::string action);
  void EndSong(int number);
  // The whole window at once: a run with songs at work on other threads puts their states
  // together and shows the sum here.
  void Show(TProgressState state);

 private:
  void Changed() { FHost.ProgressChanged(FState); }
  THost& FHost;
  TProgressState FState;
  int FCurrentSong = 0;
};

// What the steps of a run (engines, movie makers, text outputs) get from it.
class TRunContext {
 public:
  explicit TRunContext(THost& host) : Host(host), Progress(host) {}
  THost& Host;
  TProgress Progress;
  // The engines' share of the run: how many children ran, their summed wall time, and when
  // each ran (children of songs at work side by side overlap).
  using TClock = std::chrono::steady_clock;
  struct TSpan {
    TClock::time_point Start, End;
  };
  int EngineRuns = 0;
  double EngineSeconds = 0;
  std::vector<TSpan> EngineSpans;

  void ProcessMessages() { Host.ProcessMessages(); }
  bool Cancelled() { return Host.CancelRequested(); }
  // Lets the message queue run; throws ECancelled when Cancel was pressed.
  void Checkpoint();
  // "Error: " + message, with OK.
  void ReportError(std::string_view message);

  // The folder the working files of the steps live in: a publish run's own folder while it
  // runs, else the user's working folder.
  std::string WorkFolder() const;
  void SetWorkFolder(std::string folder) { FWorkFolder = std::move(folder); }

 private:
  std::string FWorkFolder;
};

}  // namespace tw::app
