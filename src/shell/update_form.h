// The update reminder: the window that offers to open the maker's update page, its settings
// dialog (every so many days, or manually), and the two moments it is shown.
#pragma once

#include <QDialog>

#include "shell/language.h"
#include "shell/services.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tw::shell {

class TFormCheckUpdate : public QDialog {
 public:
  TFormCheckUpdate(QWidget* parent, const TShellServices& services,
                   const TLanguage& language = TLanguage{});
  void ApplyTexts(const TLanguage& lang);

  // Shows the stored choice; Ok stores the one made, Cancel nothing.
  void Execute();

  QGroupBox* GrpCheck;
  QRadioButton* RdoCheckAuto;
  QSpinBox* SpinEditUpdateDays;
  QLabel* LblDays;
  QRadioButton* RdoCheckManually;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 private:
  const TShellServices& FServices;
};

class TFormUpdate : public QDialog {
 public:
  // The services are the main window's and outlive this window. Makes its settings dialog.
  TFormUpdate(QWidget* parent, const TShellServices& services,
              const TLanguage& language = TLanguage{});
  // The day count since the last check is taken here, and stays until the texts apply again.
  void ApplyTexts(const TLanguage& lang);

  // The main window's first activation: when automatic checks are on and the interval has
  // passed, today becomes the day of the last check and the window shows.
  void CheckOnStart();
  // The menu item and tool button: today becomes the day of the last check, the window shows.
  void CheckNow();

  void BtnYesClick();
  void BtnSettingClick();

  TFormCheckUpdate* CheckUpdate() const { return FCheckUpdate; }

  QLabel* LblUpdateInfo;
  QLabel* LblUpdateQuery;
  QPushButton* BtnYes;
  QPushButton* BtnNo;
  QPushButton* BtnSetting;

 private:
  void StoreCheckDate();

  const TShellServices& FServices;
  TFormCheckUpdate* FCheckUpdate;
};

}  // namespace tw::shell
