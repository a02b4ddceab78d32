// The publish run's host on a terminal: two live progress bars on stderr, messages on stderr,
// Ctrl-C (or SIGTERM) as the Cancel button.
#pragma once

#include <chrono>

#include <signal.h>

#include <string>
#include <vector>

#include "app/host.h"

namespace tw::cli {

class TTerminalHost : public app::THost {
 public:
  // Blocks SIGINT and SIGTERM for the whole process (create it before any thread) and reads
  // them from a signalfd at each "process messages"; the mask is restored at the end.
  explicit TTerminalHost(bool showProgress);
  ~TTerminalHost() override;
  TTerminalHost(const TTerminalHost&) = delete;
  TTerminalHost& operator=(const TTerminalHost&) = delete;

  void ProgressChanged(const app::TProgressState& state) override;
  void ProcessMessages() override;
  bool CancelRequested() override;
  void ClearCancel() override { FCancel = false; }
  void ShowError(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowResult(const app::TPublishResult& result) override;

  const std::vector<std::string>& Messages() const { return FMessages; }
  bool HasResult() const { return FHasResult; }
  const app::TPublishResult& Result() const { return FResult; }

 private:
  void PollSignals();
  void PollSignalsNowAndThen();
  bool FPolled = false;
  std::chrono::steady_clock::time_point FLastPoll;
  void Draw();
  void Erase();
  void Print(const std::string& text);

  bool FShowProgress;
  bool FCancel = false;
  int FSignalFd = -1;
  sigset_t FOldMask;
  app::TProgressState FState;
  int FDrawnLines = 0;
  std::vector<std::string> FMessages;
  bool FHasResult = false;
  app::TPublishResult FResult;
};

}  // namespace tw::cli
