// The real window on an X server (xvfb-run), driven as a person would with the mouse and the
// keyboard: two songs made by sox and lame added through the file dialog, a skin chosen, a
// publish through the progress window, screenshots taken from the X server. The files it writes
// are the files tunewright-cli writes for the same songs and skin.
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QImage>
#include <QWebEngineView>

#include "shell/main_form.h"
#include "shell/preview/ruffle_preview.h"
#include "shell/progress_form.h"

using namespace tw::shell;

namespace {

bool Run(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(120000)) return false;
  if (out) *out = p.readAllStandardOutput();
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return false;
  }
  return true;
}

// Runs fn on the next modal window that opens, once it is up.
void OnNextModal(std::function<void(QWidget*)> fn) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, fn] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    fn(modal);
  });
  timer->start(50);
}

QByteArray Digest(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

void Screenshot(const QString& name, int settle = 300) {
  const QString dir = QStringLiteral(TW_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  QApplication::processEvents();
  QTest::qWait(settle);
  QVERIFY(Run(QStringLiteral("import"), {"-window", "root", dir + "/" + name}));
}

// Waits until the emulator in the preview knows the movie's stage, then a few frames more.
bool WaitForPreviewPlaying(TFormMain& w) {
  auto* view = w.findChild<QWebEngineView*>();
  if (!view) return false;
  const QString playerRect =
      "(() => { const p = document.querySelector('ruffle-player');"
      "  return p && p.ruffle && p.ruffle().metadata ? 'playing' : ''; })()";
  auto answer = std::make_shared<QString>();
  QElapsedTimer clock;
  clock.start();
  while (answer->isEmpty() && clock.elapsed() < 30000) {
    view->page()->runJavaScript(playerRect, [answer](const QVariant& v) { *answer = v.toString(); });
    QTest::qWait(100);
  }
  QTest::qWait(1500);
  return !answer->isEmpty();
}

// How many pixels of the preview area in a screenshot are not the empty page's white.
int InkInPreview(TFormMain& w, const QString& shot) {
  const QImage image(QStringLiteral(TW_SCREENSHOT_DIR) + "/" + shot);
  auto* area = w.findChild<QWidget*>(QStringLiteral("flashPlayerStyle"));
  const QRect r(area->mapToGlobal(QPoint(0, 0)), area->size());
  int ink = 0;
  for (int y = r.top(); y <= r.bottom(); y += 2)
    for (int x = r.left(); x <= r.right(); x += 2)
      if (image.valid(x, y) && (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++ink;
  return ink;
}

void ClickNav(TFormMain& w, int row) {
  auto* nav = w.findChild<QListWidget*>(QStringLiteral("NavMain"));
  const QRect r = nav->visualItemRect(nav->item(row));
  QTest::mouseClick(nav->viewport(), Qt::LeftButton, {}, r.center());
}

}  // namespace

class WindowE2E : public QObject {
  Q_OBJECT

 private slots:
  void publishTwoSongsThroughTheWindow();
};

void WindowE2E::publishTwoSongsThroughTheWindow() {
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_DOCUMENTS_DIR", (home.path() + "/Documents").toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  const QString songs = home.path() + "/songs";
  QDir().mkpath(songs);
  const QStringList names = {"first song.mp3", "second.mp3"};
  for (int i = 0; i < 2; ++i) {
    const QString wav = songs + QStringLiteral("/%1.wav").arg(i);
    QVERIFY(Run("sox", {"-n", "-r", "22050", "-c", "1", wav, "synth", "20", "sine",
                        QString::number(330 + 110 * i)}));
    QVERIFY(Run("lame", {"--quiet", "-b", "64", wav, songs + "/" + names[i]}));
  }

  TShellServices services;
  services.Dialogs = CreateStandardDialogs();
  services.CreatePlayer = [] { return CreateMediaPlayer(); };
  services.CreatePreview = [](QWidget* parent) {
    return CreateRufflePreview(parent, QStringLiteral(TW_PROGRAM_DIR "/ruffle"));
  };
  services.ProgramFolder = TW_PROGRAM_DIR "/";
  TFormMain window(std::move(services));
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));

  // Add: the file dialog takes both names typed into its name field.
  OnNextModal([&](QWidget* dialog) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) {
      qWarning("no name field in %s", dialog->metaObject()->className());
      for (QLineEdit* e : dialog->findChildren<QLineEdit*>()) qWarning("  %s", qPrintable(e->objectName()));
      dialog->close();
      return;
    }
    // Pasted rather than typed: the name completer's pop-up would take the Return.
    name->setText(QStringLiteral("\"%1/%2\" \"%1/%3\"").arg(songs, names[0], names[1]));
    QTest::keyClick(name, Qt::Key_Return);
  });
  QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btnAddMp3")), Qt::LeftButton);
  QTRY_COMPARE(window.lvMp3->topLevelItemCount(), 2);
  QCOMPARE(window.lvMp3->topLevelItem(0)->text(0), names[0]);
  QCOMPARE(window.lvMp3->topLevelItem(0)->text(1), QStringLiteral("0:00:20"));
  Screenshot("1-songs.png");

  // The player page: the playlist skin chosen from the list by keyboard.
  ClickNav(window, 2);
  QCOMPARE(window.CurrentPage(), int(TFormMain::PlayerPage));
  const int playlist = window.cbbPlayerStyle->findText("playlist.swf");
  QVERIFY(playlist >= 0);
  window.cbbPlayerStyle->setFocus();
  while (window.cbbPlayerStyle->currentIndex() < playlist)
    QTest::keyClick(window.cbbPlayerStyle, Qt::Key_Down);
  while (window.cbbPlayerStyle->currentIndex() > playlist)
    QTest::keyClick(window.cbbPlayerStyle, Qt::Key_Up);
  QCOMPARE(window.Project().Template()->FileName, std::string("playlist.swf"));
  QVERIFY(window.RdoDefaultSize->text().contains("(320 * 232)"));
  QVERIFY(WaitForPreviewPlaying(window));
  Screenshot("2-player.png");
  // The playlist skin's stage on the solid background fills the area's corner.
  QVERIFY(InkInPreview(window, "2-player.png") > 320 * 232 / 4 / 2);

  // Publish into a folder typed in; the progress window shows, then the list of files.
  ClickNav(window, 3);
  const QString out = home.path() + "/out-window";
  QDir().mkpath(out);
  window.edtOutputFolder->selectAll();
  QTest::keyClicks(window.edtOutputFolder, out);
  bool progressSeen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (dynamic_cast<TFormConvertProcessing*>(top) && top->isVisible()) {
        if (!progressSeen) Screenshot("3-progress.png", 100);
        progressSeen = true;
      }
  });
  watch.start(20);
  QStringList listed;
  OnNextModal([&](QWidget* result) {
    QCOMPARE(result->objectName(), QStringLiteral("TFormResult"));
    auto* files = result->findChild<QTreeWidget*>(QStringLiteral("ListViewFiles"));
    for (int i = 0; files && i < files->topLevelItemCount(); ++i)
      listed << files->topLevelItem(i)->text(0) + " " + files->topLevelItem(i)->text(1);
    Screenshot("4-result.png");
    QTest::mouseClick(result->findChild<QPushButton*>(QStringLiteral("BtnClose")), Qt::LeftButton);
  });
  QTest::mouseClick(window.btnConvert, Qt::LeftButton);
  QTRY_VERIFY(!window.Running());
  watch.stop();
  QVERIFY(progressSeen);
  QVERIFY(window.findChild<QWidget*>(QStringLiteral("TFormConvertProcessing")) == nullptr);  // made anew next run
  QCOMPARE(window.LastResult().Files,
           (std::vector<std::string>{"player.html", "player.swf"}));
  QCOMPARE(listed, QStringList({"1 player.html", "2 player.swf"}));
  QVERIFY(QFileInfo(out + "/player.swf").size() > 10000);  // both songs inside

  // The same publish from the command line writes the same bytes.
  const QString cli = home.path() + "/out-cli";
  QDir().mkpath(cli);
  QVERIFY(Run(TW_PROGRAM_DIR "/tunewright-cli",
              {"publish", songs + "/" + names[0], songs + "/" + names[1], "--template",
               "playlist.swf", "--output-folder", cli}));
  const QStringList made = QDir(out).entryList(QDir::Files);
  QCOMPARE(made, QDir(cli).entryList(QDir::Files));
  for (const QString& f : made) QCOMPARE(Digest(out + "/" + f), Digest(cli + "/" + f));

  // A second run, cancelled: the window's own thread never stalls while the run works, so the
  // Cancel button answers at once; the run stops at its next checkpoint and leaves no temporaries.
  // A song of three minutes joins the list first, so that the run is still at its songs when the
  // click comes: the two short ones, re-encoded side by side, are done within a few ticks.
  const QString longSong = songs + "/long song.mp3";
  QVERIFY(Run("sox", {"-n", "-r", "22050", "-c", "1", songs + "/long.wav", "synth", "180", "sine", "550"}));
  QVERIFY(Run("lame", {"--quiet", "-b", "64", songs + "/long.wav", longSong}));
  OnNextModal([&](QWidget* dialog) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name);
    name->setText(QStringLiteral("\"%1\"").arg(longSong));
    QTest::keyClick(name, Qt::Key_Return);
  });
  ClickNav(window, 1);
  QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btnAddMp3")), Qt::LeftButton);
  QTRY_COMPARE(window.lvMp3->topLevelItemCount(), 3);
  ClickNav(window, 3);
  const QString cancelled = home.path() + "/out-cancelled";
  QDir().mkpath(cancelled);
  window.edtOutputFolder->selectAll();
  QTest::keyClicks(window.edtOutputFolder, cancelled);
  QElapsedTimer sinceTick;
  qint64 longestGap = 0;
  int ticksDuringRun = 0;
  bool cancelClicked = false;
  QTimer cancelWatch;
  QObject::connect(&cancelWatch, &QTimer::timeout, [&] {
    auto* progress = dynamic_cast<TFormConvertProcessing*>(
        window.findChild<QWidget*>(QStringLiteral("TFormConvertProcessing")));
    // The gaps between ticks while the progress window is up: how long a click would wait.
    if (progress && progress->isVisible()) {
      ++ticksDuringRun;
      if (sinceTick.isValid()) longestGap = std::max(longestGap, sinceTick.elapsed());
      sinceTick.restart();
    }
    // A run that finished before the click opens its list: closed, the test then fails.
    if (QWidget* modal = QApplication::activeModalWidget())
      if (modal->objectName() == QStringLiteral("TFormResult")) modal->close();
    if (!cancelClicked && progress && progress->isVisible() && ticksDuringRun >= 4) {
      cancelClicked = true;
      QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
      QVERIFY(!progress->btnCancel->isEnabled());
    }
  });
  cancelWatch.start(20);
  QTest::mouseClick(window.btnConvert, Qt::LeftButton);
  cancelWatch.stop();
  QVERIFY(cancelClicked);  // after four ticks: the window's thread went on while the run worked
  // Figures for the record, not a timed assertion: the machine may be loaded.
  qInfo("window events during the run: %d ticks of 20 ms, longest gap %lld ms", ticksDuringRun,
        longestGap);
  for (QWidget* top : QApplication::topLevelWidgets())
    QVERIFY(!(top->objectName() == "TFormResult" && top->isVisible()));
  QVERIFY(QDir(cancelled).entryList({"encode*"}, QDir::Files).isEmpty());
  QVERIFY(!QFile::exists(cancelled + "/player.swf"));
  QCOMPARE(window.LastResult().Folder, (out + "/").toStdString());  // the last finished run's

  // The update reminder from its tool button, and its settings dialog, answered by hand.
  bool settingsSeen = false;
  OnNextModal([&](QWidget* update) {
    QCOMPARE(update->objectName(), QStringLiteral("TFormUpdate"));
    Screenshot("6-update.png");
    OnNextModal([&](QWidget* settings) {
      QCOMPARE(settings->objectName(), QStringLiteral("TFormCheckUpdate"));
      settingsSeen = true;
      Screenshot("7-update-settings.png");
      QTest::mouseClick(settings->findChild<QPushButton*>(QStringLiteral("BtnCancel")),
                        Qt::LeftButton);
    });
    QTest::mouseClick(update->findChild<QPushButton*>(QStringLiteral("BtnSetting")), Qt::LeftButton);
    QTest::mouseClick(update->findChild<QPushButton*>(QStringLiteral("BtnNo")), Qt::LeftButton);
  });
  QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("btnUpdate")), Qt::LeftButton);
  QVERIFY(settingsSeen);
  QVERIFY(QFile::exists(home.path() + "/config/Dovetek/Sonafex.conf"));  // the day of the check

  // In German from the Languages menu, the result window of the last run again.
  auto* languages = window.findChild<QMenu*>(QStringLiteral("mnuLanguages"));
  QVERIFY(languages);
  for (QAction* item : languages->actions())
    if (item->text() == QStringLiteral("German")) item->trigger();
  bool germanSeen = false;
  OnNextModal([&](QWidget* result) {
    auto* close = result->findChild<QPushButton*>(QStringLiteral("BtnClose"));
    germanSeen = close->text() != QStringLiteral("Close");
    Screenshot("8-result-german.png");
    QTest::mouseClick(close, Qt::LeftButton);
  });
  QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("btnResult")), Qt::LeftButton);
  QVERIFY(germanSeen);

  // Closing asks; No closes and keeps the project as config.prj.
  ClickNav(window, 2);
  Screenshot("5-player-after.png");
  OnNextModal([](QWidget* question) {
    auto* box = qobject_cast<QMessageBox*>(question);
    QVERIFY(box);
    box->button(QMessageBox::No)->click();
  });
  QVERIFY(window.close());
  QVERIFY(QFile::exists(home.path() + "/Documents/Dovetek Software/Tunewright/config.prj"));
}

QTEST_MAIN(WindowE2E)
#include "window_e2e.moc"
