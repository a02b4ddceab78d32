#include "shell/update_form.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <optional>

#include "shell/ini.h"
#include "shell/links.h"
#include "shell/settings.h"
#include "shell/texts.h"
#include "shell/widgets.h"

namespace tw::shell {

namespace fs = std::filesystem;

namespace {

// The stored settings to change and write back, or none when something stands at the path that
// cannot be read: writing then would put the defaults in place of what the user chose.
std::optional<TUserSettings> SettingsToChange(const fs::path& file) {
  std::error_code ec;
  const fs::file_type type = fs::status(file, ec).type();
  if (type == fs::file_type::not_found) return TUserSettings{};
  if (type != fs::file_type::regular) return std::nullopt;
  if (const auto size = fs::file_size(file, ec); ec || size > TIniFile::kMaxFileSize)
    return std::nullopt;
  if (!std::ifstream(file).is_open()) return std::nullopt;
  return LoadUserSettings(file);
}

}  // namespace

// ---- Settings dialog -------------------------------------------------------------------------

TFormCheckUpdate::TFormCheckUpdate(QWidget* parent, const TShellServices& services,
                                   const TLanguage& language)
    : QDialog(parent), FServices(services) {
  setObjectName(QStringLiteral("TFormCheckUpdate"));
  GrpCheck = Named(new QGroupBox(this), "GrpCheck");
  RdoCheckAuto = Named(new QRadioButton(GrpCheck), "RdoCheckAuto");
  SpinEditUpdateDays = Named(new QSpinBox(GrpCheck), "SpinEditUpdateDays");
  SpinEditUpdateDays->setRange(1, 1000);
  SpinEditUpdateDays->setSingleStep(1);
  // Changed by its arrows only: nothing typed can leave a value that does not read.
  if (auto* edit = SpinEditUpdateDays->findChild<QLineEdit*>()) edit->setReadOnly(true);
  LblDays = Named(new QLabel(GrpCheck), "LblDays");
  RdoCheckManually = Named(new QRadioButton(GrpCheck), "RdoCheckManually");
  auto* every = new QHBoxLayout;
  every->addWidget(RdoCheckAuto);
  every->addWidget(SpinEditUpdateDays);
  every->addWidget(LblDays);
  every->addStretch(1);
  auto* choices = new QVBoxLayout(GrpCheck);
  choices->addLayout(every);
  choices->addWidget(RdoCheckManually);

  BtnOk = Named(new QPushButton(this), "BtnOk");
  BtnOk->setDefault(true);
  BtnCancel = Named(new QPushButton(this), "BtnCancel");
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  auto* box = new QVBoxLayout(this);
  box->addWidget(GrpCheck);
  box->addLayout(buttons);
  ApplyTexts(language);
}

void TFormCheckUpdate::ApplyTexts(const TLanguage& lang) {
  setWindowTitle(Tr(lang, "Settings"));
  GrpCheck->setTitle(Tr(lang, "Perform update check:"));
  RdoCheckAuto->setText(Tr(lang, "Every"));
  LblDays->setText(Tr(lang, "Day(s)."));
  RdoCheckManually->setText(Tr(lang, "Manually"));
  BtnOk->setText(Tr(lang, "Ok"));
  BtnCancel->setText(Tr(lang, "Cancel"));
}

void TFormCheckUpdate::Execute() {
  const fs::path file = UserSettingsFile(FServices);
  const TUserSettings stored = LoadUserSettings(file);
  RdoCheckAuto->setChecked(stored.AutoUpdate);
  RdoCheckManually->setChecked(!stored.AutoUpdate);
  SpinEditUpdateDays->setValue(stored.UpdateDays);
  if (ShowModal(FServices, *this) != QDialog::Accepted) return;
  if (std::optional<TUserSettings> settings = SettingsToChange(file)) {
    settings->AutoUpdate = RdoCheckAuto->isChecked();
    settings->UpdateDays = SpinEditUpdateDays->value();
    SaveUserSettings(file, *settings);
  }
}

// ---- Update window ---------------------------------------------------------------------------

TFormUpdate::TFormUpdate(QWidget* parent, const TShellServices& services,
                         const TLanguage& language)
    : QDialog(parent), FServices(services) {
  setObjectName(QStringLiteral("TFormUpdate"));
  setMinimumWidth(420);
  LblUpdateInfo = Named(new QLabel(this), "LblUpdateInfo");
  LblUpdateQuery = Named(new QLabel(this), "LblUpdateQuery");
  BtnYes = Named(new QPushButton(this), "BtnYes");
  BtnYes->setDefault(true);
  BtnNo = Named(new QPushButton(this), "BtnNo");
  BtnSetting = Named(new QPushButton(this), "BtnSetting");
  connect(BtnYes, &QPushButton::clicked, this, [this] { BtnYesClick(); });
  connect(BtnNo, &QPushButton::clicked, this, &QDialog::reject);
  connect(BtnSetting, &QPushButton::clicked, this, [this] { BtnSettingClick(); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnSetting);
  buttons->addStretch(1);
  buttons->addWidget(BtnYes);
  buttons->addWidget(BtnNo);
  auto* box = new QVBoxLayout(this);
  box->addWidget(LblUpdateInfo);
  box->addWidget(LblUpdateQuery);
  box->addSpacing(8);
  box->addLayout(buttons);
  FCheckUpdate = new TFormCheckUpdate(this, services, language);
  ApplyTexts(language);
}

void TFormUpdate::ApplyTexts(const TLanguage& lang) {
  setWindowTitle(Tr(lang, "Check for Updates"));
  const auto today = CurrentDate(FServices);
  const TUserSettings settings = LoadUserSettings(UserSettingsFile(FServices));
  const int days = DaysBetween(today, settings.UpdateDate.value_or(today));
  LblUpdateInfo->setText(Tr(lang, "The last time you ran this check was") + QLatin1Char(' ') +
                         QString::number(days) + QLatin1Char(' ') + Tr(lang, "day(s) ago."));
  LblUpdateQuery->setText(Tr(lang, "Would you like to check for updates now?"));
  BtnYes->setText(Tr(lang, "Yes"));
  BtnNo->setText(Tr(lang, "No"));
  BtnSetting->setText(Tr(lang, "Settings"));
}

void TFormUpdate::StoreCheckDate() {
  const fs::path file = UserSettingsFile(FServices);
  if (std::optional<TUserSettings> settings = SettingsToChange(file)) {
    settings->UpdateDate = CurrentDate(FServices);
    SaveUserSettings(file, *settings);
  }
}

void TFormUpdate::CheckOnStart() {
  const TUserSettings settings = LoadUserSettings(UserSettingsFile(FServices));
  const auto today = CurrentDate(FServices);
  if (!settings.AutoUpdate ||
      DaysBetween(today, settings.UpdateDate.value_or(today)) < settings.UpdateDays)
    return;
  CheckNow();
}

void TFormUpdate::CheckNow() {
  StoreCheckDate();
  ShowModal(FServices, *this);
}

void TFormUpdate::BtnYesClick() {
  OpenWithShell(FServices, QLatin1String(links::kUpdatePage));
  accept();
}

void TFormUpdate::BtnSettingClick() { FCheckUpdate->Execute(); }

}  // namespace tw::shell
