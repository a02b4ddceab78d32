// The result window: what the last publish run wrote, where, the code to paste into web pages,
// and the follow-up actions (open the folder, open the page, copy the files elsewhere).
#pragma once

#include <QDialog>
#include <string>

#include "app/host.h"
#include "shell/language.h"
#include "shell/services.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace tw::shell {

class TFormResult : public QDialog {
 public:
  // The services are the main window's and outlive this window.
  TFormResult(QWidget* parent, const TShellServices& services,
              const TLanguage& language = TLanguage{});

  void ApplyTexts(const TLanguage& lang);

  // Fills the window from a run's result (nothing generated when it lists no files) and shows it
  // modally.
  void ShowResult(const app::TPublishResult& result);

  void LblFolderClick();
  void BtnCopyHTMLClick();
  void BtnActionClick();

  // The actions, in the order of CmbAction.
  enum TAction { BrowseFiles = 0, OpenPage = 1, CopyFiles = 2 };

  QGroupBox* GrpFile;
  QLabel* LblFile;
  QLabel* LblFolder;
  QTreeWidget* ListViewFiles;
  QGroupBox* GbxPublishHTML;
  QLabel* LblPublishHTML;
  QPushButton* BtnCopyHTML;
  QPlainTextEdit* MemoPublishHTML;
  QLabel* LblAction;
  QComboBox* CmbAction;
  QPushButton* BtnAction;
  QPushButton* BtnClose;

 private:
  bool HasFiles() const;
  void ShowFileText();

  const TShellServices& FServices;
  app::TPublishOption FPublishOption = app::TPublishOption::PlayerAndMusicFiles;
  std::string FResultName;
  QString FUploadText, FNothingText, FCopyTitle;
};

}  // namespace tw::shell
