// The progress window of a publish run, and the run's host: the run goes on a worker thread, so
// the window repaints and its Cancel button answers at once; the run notices the Cancel at its
// next checkpoint.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>

#include <string>
#include <utility>
#include <vector>

#include "app/host.h"
#include "shell/language.h"
#include "shell/texts.h"

class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tw::shell {

class TFormConvertProcessing : public QDialog {
 public:
  explicit TFormConvertProcessing(QWidget* parent, const TLanguage& lang = {});
  // The run's texts begin with one of the progress messages ("Converting files:"); that
  // beginning is shown translated, the file name after it as it is.
  void ShowState(const app::TProgressState& state);
  void ApplyTexts(const TLanguage& lang);
  std::function<void()> OnCancel;

  QLabel* lblConvertSingleFile;
  QLabel* lblConvertSingleProcessing;
  QProgressBar* pbConvertSingleFile;
  QLabel* lblConvertFiles;
  QLabel* lblConvertFilesProcessing;
  QProgressBar* pbConvertFiles;
  QPushButton* btnCancel;

  // With several songs at work at once the single-file line shows the first of them and one
  // line more each shows another, in song order; they hide again (keeping their room, so that
  // the window does not jump) when fewer songs run.
  struct TSongLine {
    QLabel* Action;
    QLabel* Processing;
    QProgressBar* Bar;
  };
  const std::vector<TSongLine>& SongLines() const { return FSongLines; }

 protected:
  void reject() override {}  // Escape does not close it: only the run does

 private:
  QString Translated(const std::string& text) const;
  void ShowSongs(const std::vector<app::TSongProgress>& running);
  TTextBindings FTexts;
  QGridLayout* FSongGrid;
  std::vector<TSongLine> FSongLines;
  // The progress messages, English and translated, the longest English first.
  std::vector<std::pair<std::string, QString>> FMessages;
};

// The host of a run on a worker thread: every call that shows something is carried to the
// window's thread; a message waits there for its OK.
class TWindowHost : public app::THost {
 public:
  struct TCallbacks {
    std::function<void(const app::TProgressState&)> Progress;
    std::function<void(const QString&)> Error;
    std::function<void()> MusicPage;
  };
  TWindowHost(QObject* gui, TCallbacks callbacks) : FGui(gui), FCallbacks(std::move(callbacks)) {}

  void ProgressChanged(const app::TProgressState& state) override;
  void ProcessMessages() override {}
  bool CancelRequested() override { return FCancel.load(); }
  void ClearCancel() override { FCancel = false; }
  void ShowError(const std::string& text) override;
  void ShowResult(const app::TPublishResult& result) override { FResult = result; FHasResult = true; }
  void ShowMusicPage() override;

  void RequestCancel() { FCancel = true; }
  bool HasResult() const { return FHasResult; }
  const app::TPublishResult& Result() const { return FResult; }

 private:
  void OnGui(std::function<void()> fn, bool wait);
  QObject* FGui;
  TCallbacks FCallbacks;
  std::atomic<bool> FCancel{false};
  bool FHasResult = false;
  app::TPublishResult FResult;
};

}  // namespace tw::shell
