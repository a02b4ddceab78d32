// The update reminder offscreen, with the clock and the opener injected: the check at the main
// window's first activation, the menu item and tool button, the window's buttons and its settings
// dialog, each over a settings file written as a user's would be.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QUrl>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "shell/links.h"
#include "shell/settings.h"
#include "shell/update_form.h"
#include "shell_support.h"

using namespace tw::shell;
using namespace tw::shell::testing;
namespace chr = std::chrono;
namespace fs = std::filesystem;

namespace {

QString DateText(chr::year_month_day date) {
  return QString::asprintf("%04d-%02u-%02u", static_cast<int>(date.year()),
                           static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
}

chr::year_month_day DaysBefore(chr::year_month_day date, int days) {
  return chr::sys_days(date) - chr::days(days);
}

void WriteSettings(const fs::path& file, const QByteArray& text) {
  fs::create_directories(file.parent_path());
  QFile f(QString::fromStdString(file.string()));
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write the settings");
  f.write(text);
}

QByteArray ReadSettings(const fs::path& file) {
  QFile f(QString::fromStdString(file.string()));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TFormUpdate& UpdateForm(TFormMain& window) {
  auto* form = window.findChild<TFormUpdate*>(QStringLiteral("TFormUpdate"));
  if (!form) qFatal("no update window");
  return *form;
}

// Shows the window and waits until it is the active one, then lets the posted check run.
bool Activate(QWidget& window) {
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) return false;
  QCoreApplication::processEvents();
  return true;
}

}  // namespace

class UpdateFormTest : public QObject {
  Q_OBJECT

 private slots:
  void checkAtFirstActivation();
  void menuAndToolButtonShowTheWindow();
  void yesOpensTheUpdateRequest();
  void settingsDialog();
  void dayCountInAnotherLanguage();
};

void UpdateFormTest::checkAtFirstActivation() {
  struct Case {
    const char* name;
    std::optional<QByteArray> stored;  // the settings file; none: no file
    bool shown;
    int days;  // the count the window says
  };
  const auto today = TScript{}.Today;
  const auto before = [&](int days) { return DateText(DaysBefore(today, days)).toUtf8(); };
  const Case cases[] = {
      {"first start: no stored values", std::nullopt, false, 0},
      {"twenty days, every fifteen",
       "[General]\nLanguage=German.ini\nUpdateDate=" + before(20) + "\nAutoUpdate=true\nUpdateDays=15\n",
       true, 20},
      {"fifteen days, every fifteen", "[General]\nUpdateDate=" + before(15) + "\n", true, 15},
      {"fourteen days, every fifteen", "[General]\nUpdateDate=" + before(14) + "\n", false, 14},
      {"a date ahead of today counts as well", "[General]\nUpdateDate=" + DateText(chr::sys_days(today) + chr::days(3)).toUtf8() + "\nUpdateDays=2\n",
       true, 3},
      {"automatic checks off", "[General]\nUpdateDate=" + before(400) + "\nAutoUpdate=false\n",
       false, 400},
      {"a date that does not read counts from today",
       "[General]\nUpdateDate=last year\nUpdateDays=1\n", false, 0},
  };
  for (const Case& c : cases) {
    qInfo("%s", c.name);
    TWindowFixture fixture;
    if (c.stored) WriteSettings(fixture.SettingsFile(), *c.stored);
    auto window = fixture.MakeWindow();
    QString said;
    fixture.Script.OnModal = [&](QDialog&) {
      said = UpdateForm(*window).LblUpdateInfo->text();
    };
    QVERIFY(Activate(*window));
    QCOMPARE(fixture.Script.Modals, c.shown ? QStringList{"TFormUpdate"} : QStringList{});
    // In the stored language where the row names one.
    const QString info = UpdateForm(*window).LblUpdateInfo->text();
    if (c.stored && c.stored->contains("German"))
      QVERIFY2(info.contains(QStringLiteral(" %1 ").arg(c.days)), qPrintable(info));
    else
      QCOMPARE(info, QStringLiteral("The last time you ran this check was %1 day(s) ago.").arg(c.days));
    if (!c.shown) {
      QCOMPARE(fs::exists(fixture.SettingsFile()), c.stored.has_value());
      QCOMPARE(ReadSettings(fixture.SettingsFile()), c.stored.value_or(QByteArray()));
      continue;
    }
    QCOMPARE(said, UpdateForm(*window).LblUpdateInfo->text());
    const TUserSettings stored = LoadUserSettings(fixture.SettingsFile());
    QVERIFY(stored.UpdateDate == today);
    if (c.stored->contains("German")) QCOMPARE(stored.Language, std::string("German.ini"));

    // Later activations in the same run show nothing.
    QWidget other;
    QVERIFY(Activate(other));
    QVERIFY(Activate(*window));
    QCOMPARE(fixture.Script.Modals.size(), 1);
  }

  // Settings that cannot be read: the defaults hold, the window starts, and what stands at the
  // path is not replaced by a file of defaults.
  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    fs::file_type type;
  } unreadable[] = {
      {"a folder", [](const fs::path& p) { fs::create_directories(p); }, fs::file_type::directory},
      {"a pipe",
       [](const fs::path& p) {
         fs::create_directories(p.parent_path());
         QVERIFY(::mkfifo(p.c_str(), 0600) == 0);
       },
       fs::file_type::fifo},
      {"a file too large to be settings",
       [](const fs::path& p) {
         WriteSettings(p, "[General]\nLanguage=German.ini\n" + QByteArray(5 << 20, ';'));
       },
       fs::file_type::regular},
  };
  for (const auto& c : unreadable) {
    qInfo("%s", c.name);
    TWindowFixture fixture;
    c.make(fixture.SettingsFile());
    const auto size = c.type == fs::file_type::regular ? fs::file_size(fixture.SettingsFile()) : 0;
    auto window = fixture.MakeWindow();
    QVERIFY(Activate(*window));
    window->findChild<QAction*>(QStringLiteral("mnuUpdate"))->trigger();
    QCOMPARE(fixture.Script.Modals, QStringList{"TFormUpdate"});  // the menu item only
    QVERIFY(fs::status(fixture.SettingsFile()).type() == c.type);
    if (size) QCOMPARE(fs::file_size(fixture.SettingsFile()), size);
    QCOMPARE(UpdateForm(*window).LblUpdateInfo->text(),
             QStringLiteral("The last time you ran this check was 0 day(s) ago."));
  }
}

void UpdateFormTest::menuAndToolButtonShowTheWindow() {
  // Automatic checks off: the menu item and the tool button still show the window, and each
  // makes today the day of the last check, keeping the other values.
  TWindowFixture fixture;
  const auto lastCheck = DaysBefore(fixture.Script.Today, 40);
  WriteSettings(fixture.SettingsFile(), "[General]\nLanguage=French.ini\nUpdateDate=" +
                                            DateText(lastCheck).toUtf8() +
                                            "\nAutoUpdate=false\nUpdateDays=7\n");
  auto window = fixture.MakeWindow();
  QVERIFY(Activate(*window));
  QVERIFY(fixture.Script.Modals.isEmpty());
  const auto trigger = [&](bool menu) {
    if (menu)
      window->findChild<QAction*>(QStringLiteral("mnuUpdate"))->trigger();
    else
      window->findChild<QAbstractButton*>(QStringLiteral("btnUpdate"))->click();
  };
  for (bool menu : {true, false}) {
    fixture.Script.Today = chr::sys_days(fixture.Script.Today) + chr::days(1);
    fixture.Script.Modals.clear();
    trigger(menu);
    QCOMPARE(fixture.Script.Modals, QStringList{"TFormUpdate"});
    const TUserSettings stored = LoadUserSettings(fixture.SettingsFile());
    QVERIFY(stored.UpdateDate == fixture.Script.Today);
    QCOMPARE(stored.Language, std::string("French.ini"));
    QVERIFY(!stored.AutoUpdate);
    QCOMPARE(stored.UpdateDays, 7);
  }
  // The count was taken when the texts applied, at creation (in the stored French).
  const QString info = UpdateForm(*window).LblUpdateInfo->text();
  QVERIFY2(info.contains(QStringLiteral(" 40 ")), qPrintable(info));
}

void UpdateFormTest::yesOpensTheUpdateRequest() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  TFormUpdate& form = UpdateForm(*window);
  QVERIFY(form.BtnYes->isDefault());
  int result = -1;
  for (QPushButton* button : {form.BtnNo, form.BtnYes}) {
    fixture.Script.OnModal = [&](QDialog& dialog) {
      button->click();
      QVERIFY(!dialog.isVisible());  // either button closes it
      result = dialog.result();
    };
    form.CheckNow();
  }
  QCOMPARE(result, int(QDialog::Accepted));
  QCOMPARE(fixture.Script.Opened.size(), 1);  // Yes only
  const QUrl request(fixture.Script.Opened.front());
  QVERIFY(request.isValid());
  QCOMPARE(request.scheme(), QStringLiteral("https"));
  QCOMPARE(request.path(), QStringLiteral("/update/update.php"));
  QCOMPARE(request.query(), QStringLiteral("productid=0&version=3.4"));
  QCOMPARE(request.host(), QUrl(QLatin1String(links::kHomePage)).host());
}

void UpdateFormTest::settingsDialog() {
  struct Case {
    const char* name;
    std::optional<QByteArray> stored;
    bool showsEvery;
    int showsDays;
    std::function<void(TFormCheckUpdate&)> answer;  // then Ok, or Cancel when it says so
    bool ok;
    bool storedAuto;
    int storedDays;
  };
  const Case cases[] = {
      {"automatic checks off shows Manually; Cancel keeps it",
       "[General]\nAutoUpdate=false\nUpdateDays=30\n", false, 30,
       [](TFormCheckUpdate& d) { d.RdoCheckAuto->click(); }, false, false, 30},
      {"defaults; two days more by the arrows, Ok", std::nullopt, true, 15,
       [](TFormCheckUpdate& d) {
         d.SpinEditUpdateDays->stepUp();
         d.SpinEditUpdateDays->stepUp();
       },
       true, true, 17},
      {"Manually chosen, Ok", "[General]\nLanguage=Spanish.ini\nUpdateDays=3\n", true, 3,
       [](TFormCheckUpdate& d) { d.RdoCheckManually->click(); }, true, false, 3},
      {"the arrows stop at 1000", "[General]\nUpdateDays=999\n", true, 999,
       [](TFormCheckUpdate& d) {
         for (int i = 0; i < 5; ++i) d.SpinEditUpdateDays->stepUp();
       },
       true, true, 1000},
  };
  for (const Case& c : cases) {
    qInfo("%s", c.name);
    TWindowFixture fixture;
    if (c.stored) WriteSettings(fixture.SettingsFile(), *c.stored);
    auto window = fixture.MakeWindow();
    TFormUpdate& form = UpdateForm(*window);
    TFormCheckUpdate& dialog = *form.CheckUpdate();
    bool showsEvery = false, showsManually = false;
    int showsDays = 0;
    fixture.Script.OnModal = [&](QDialog& shown) {
      if (&shown == &form) {
        form.BtnSetting->click();
        form.BtnNo->click();
        return;
      }
      showsEvery = dialog.RdoCheckAuto->isChecked();
      showsManually = dialog.RdoCheckManually->isChecked();
      showsDays = dialog.SpinEditUpdateDays->value();
      c.answer(dialog);
      (c.ok ? dialog.BtnOk : dialog.BtnCancel)->click();
    };
    form.CheckNow();
    QCOMPARE(fixture.Script.Modals, QStringList({"TFormUpdate", "TFormCheckUpdate"}));
    QCOMPARE(showsEvery, c.showsEvery);
    QCOMPARE(showsManually, !c.showsEvery);
    QCOMPARE(showsDays, c.showsDays);
    const TUserSettings stored = LoadUserSettings(fixture.SettingsFile());
    QCOMPARE(stored.AutoUpdate, c.storedAuto);
    QCOMPARE(stored.UpdateDays, c.storedDays);
    QVERIFY(stored.UpdateDate == fixture.Script.Today);  // written when the window showed
    if (c.stored && c.stored->contains("Spanish"))
      QCOMPARE(stored.Language, std::string("Spanish.ini"));
  }
}

void UpdateFormTest::dayCountInAnotherLanguage() {
  TWindowFixture fixture;
  WriteSettings(fixture.SettingsFile(),
                "[General]\nUpdateDate=" + DateText(DaysBefore(fixture.Script.Today, 3)).toUtf8() + "\n");
  auto window = fixture.MakeWindow();
  TFormUpdate& form = UpdateForm(*window);
  // The count is taken again when the texts apply: a day later it says 4.
  fixture.Script.Today = chr::sys_days(fixture.Script.Today) + chr::days(1);
  const TLanguage german = TLanguage::Parse(
      "[INTERFACE]\nThe last time you ran this check was=Die letzte Suche war vor\n"
      "day(s) ago.=Tag(en).\nSettings=Einstellungen\nEvery=Alle\n");
  form.ApplyTexts(german);
  form.CheckUpdate()->ApplyTexts(german);
  QCOMPARE(form.LblUpdateInfo->text(), QStringLiteral("Die letzte Suche war vor 4 Tag(en)."));
  QCOMPARE(form.BtnSetting->text(), QStringLiteral("Einstellungen"));
  QCOMPARE(form.BtnYes->text(), QStringLiteral("Yes"));
  QCOMPARE(form.CheckUpdate()->windowTitle(), QStringLiteral("Einstellungen"));
  QCOMPARE(form.CheckUpdate()->RdoCheckAuto->text(), QStringLiteral("Alle"));
  QCOMPARE(form.CheckUpdate()->RdoCheckManually->text(), QStringLiteral("Manually"));

  // The main window's switch reaches both windows.
  const TLanguage shipped = TLanguage::Load(TW_PROGRAM_DIR "/languages/French.ini");
  window->ApplyLanguage(TW_PROGRAM_DIR "/languages/French.ini");
  QCOMPARE(form.BtnNo->text(), QString::fromStdString(shipped.Text("No")));
  QCOMPARE(form.CheckUpdate()->RdoCheckManually->text(),
           QString::fromStdString(shipped.Text("Manually")));
  QVERIFY(form.CheckUpdate()->RdoCheckManually->text() != QStringLiteral("Manually"));
}

QTEST_MAIN(UpdateFormTest)
#include "update_form_test.moc"
