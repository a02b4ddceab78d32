// The result window offscreen over real publish runs: what it lists and says before and after a
// run, the page its web-browser action opens, the copy into another folder, the clipboard and a
// language switch.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "shell/result_form.h"
#include "shell_support.h"

using namespace tw::shell;
using namespace tw::shell::testing;

namespace {

const QString kNothingText = QStringLiteral(
    "You have not generated a Flash MP3 Player. Please select music files, and click "
    "\"Publish\" button in \"Publish\" panel firstly.");
const QString kUploadText = QStringLiteral(
    "Please upload all of these files to your webserver. These files are located in:");

// A short real song from the corpus, copied under the names a run is made of.
const char* const kSong = TW_CORPUS_DIR "/audio/avm1__sound_id3__noid3.mp3";

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  f.write(bytes);
}

TFormResult& ResultForm(TFormMain& window) {
  auto* form = window.findChild<TFormResult*>(QStringLiteral("TFormResult"));
  if (!form) qFatal("no result window");
  return *form;
}

QStringList Lines(const TFormResult& form) {
  QStringList lines;
  for (int i = 0; i < form.ListViewFiles->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = form.ListViewFiles->topLevelItem(i);
    lines << item->text(0) + " " + item->text(1);
  }
  return lines;
}

// Runs the window's Publish over songs a.mp3 and b.mp3 (kept as they are) into a folder of its
// own; setUp chooses the publish option. The result window the run opens is left as shown.
QString PublishAB(TWindowFixture& fixture, TFormMain& window,
                  const std::function<void(TFormMain&)>& setUp) {
  const QString songs = fixture.Home() + "/songs", out = fixture.Home() + "/out";
  QDir().mkpath(songs);
  QDir().mkpath(out);
  for (const char* name : {"a.mp3", "b.mp3"})
    if (!QFile::copy(QLatin1String(kSong), songs + "/" + name)) qFatal("cannot copy the song");
  window.AddMusicFiles({songs + "/a.mp3", songs + "/b.mp3"});
  if (window.ChkReencode->isChecked()) window.ChkReencode->click();
  window.edtOutputFolder->setText(out);
  setUp(window);
  window.btnConvert->click();
  return out + "/";
}

}  // namespace

class ResultFormTest : public QObject {
  Q_OBJECT

 private slots:
  void beforeAnyRun();
  void afterARun();
  void copyToAFolder();
  void languageSwitchKeepsTheAction();
};

void ResultFormTest::beforeAnyRun() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  TFormResult& form = ResultForm(*window);
  QCOMPARE(form.size(), QSize(930, 490));
  QCOMPARE(form.windowTitle(), QStringLiteral("Result"));
  QCOMPARE(form.CmbAction->currentIndex(), 1);
  QCOMPARE(form.ListViewFiles->columnWidth(0), 30);
  QCOMPARE(form.ListViewFiles->headerItem()->text(1), QStringLiteral("File name"));

  // The menu item and the tool button both open it; it says no player was generated and every
  // action does nothing.
  fixture.Script.ChosenFolder = fixture.Home();
  fixture.Script.OnModal = [&](QDialog&) {
    QCOMPARE(form.LblFile->text(), kNothingText);
    QVERIFY(!form.LblFolder->isVisible());
    QCOMPARE(form.ListViewFiles->topLevelItemCount(), 0);
    QCOMPARE(form.MemoPublishHTML->toPlainText(), QString());
    for (int action = 0; action < 3; ++action) {
      form.CmbAction->setCurrentIndex(action);
      form.BtnAction->click();
    }
    form.BtnClose->click();
  };
  window->findChild<QAction*>(QStringLiteral("mnuResult"))->trigger();
  window->findChild<QAbstractButton*>(QStringLiteral("btnResult"))->click();
  QCOMPARE(fixture.Script.Modals, QStringList({"TFormResult", "TFormResult"}));
  QVERIFY(fixture.Script.Opened.isEmpty());
  QVERIFY(fixture.Script.FolderTitles.isEmpty());
  QCOMPARE(QDir(fixture.Home()).entryList(QDir::Files), QStringList());
}

void ResultFormTest::afterARun() {
  struct Case {
    const char* name;
    std::function<void(TFormMain&)> setUp;
    QStringList lines;
    QString page;  // what the web-browser action opens, in the output folder
  };
  const Case cases[] = {
      {"music files: the first song's page",
       [](TFormMain& w) { w.RdoMusicFiles->click(); },
       {"1 a.swf", "2 a.html", "3 b.swf", "4 b.html"}, "a.html"},
      {"player and music files named B: the player's page",
       [](TFormMain& w) {
         w.RdoPlayerAndMusicfiles->click();
         w.edtOutputName->setText(QStringLiteral("B.swf"));
       },
       {"1 B.html", "2 B.swf", "3 B.xml", "4 a.swf", "5 b.swf"}, "B.html"},
      {"single player named B", [](TFormMain& w) {
         w.RdoSinglePlayer->click();
         w.edtOutputName->setText(QStringLiteral("B"));
       },
       {"1 B.html", "2 B.swf"}, "B.html"},
  };
  for (const Case& c : cases) {
    qInfo("%s", c.name);
    TWindowFixture fixture;
    auto window = fixture.MakeWindow();
    TFormResult& form = ResultForm(*window);
    QStringList shownLines;
    fixture.Script.OnModal = [&](QDialog&) { shownLines = Lines(form); };
    const QString out = PublishAB(fixture, *window, c.setUp);
    QVERIFY2(fixture.Script.Errors.isEmpty(), qPrintable(fixture.Script.Errors.join('\n')));
    QCOMPARE(fixture.Script.Modals, QStringList{"TFormResult"});  // opened by the run
    QCOMPARE(shownLines, c.lines);
    for (const QString& line : c.lines)
      QVERIFY2(QFileInfo(out + line.section(' ', 1)).size() > 0, qPrintable(line));
    QCOMPARE(form.LblFile->text(), kUploadText);
    QCOMPARE(form.LblFolder->text(), out);
    const QString code = QString::fromStdString(window->LastResult().EmbedCode);
    QVERIFY(code.contains(c.lines.front().endsWith(".swf") ? "a.swf" : "B.swf"));
    QCOMPARE(form.MemoPublishHTML->toPlainText(), code);

    // Opened again from the menu: the actions, the folder link and the clipboard.
    fixture.Script.OnModal = [&](QDialog&) {
      form.CmbAction->setCurrentIndex(TFormResult::OpenPage);
      form.BtnAction->click();
      form.CmbAction->setCurrentIndex(TFormResult::BrowseFiles);
      form.BtnAction->click();
      QTest::mouseClick(form.LblFolder, Qt::LeftButton);
      QGuiApplication::clipboard()->clear();
      form.BtnCopyHTML->click();
      form.BtnClose->click();
    };
    window->findChild<QAction*>(QStringLiteral("mnuResult"))->trigger();
    QCOMPARE(fixture.Script.Opened, QStringList({out + c.page, out, out}));
    QCOMPARE(QGuiApplication::clipboard()->text(), code);
  }
}

void ResultFormTest::copyToAFolder() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  TFormResult& form = ResultForm(*window);
  const QString out = PublishAB(fixture, *window, [](TFormMain& w) { w.RdoMusicFiles->click(); });
  const QStringList names = {"a.swf", "a.html", "b.swf", "b.html"};
  QVERIFY(!Bytes(out + "a.swf").isEmpty());
  const auto copyTo = [&](const QString& folder) {
    fixture.Script.ChosenFolder = folder;
    fixture.Script.OnModal = [&](QDialog&) {
      form.CmbAction->setCurrentIndex(TFormResult::CopyFiles);
      form.BtnAction->click();
    };
    window->findChild<QAction*>(QStringLiteral("mnuResult"))->trigger();
  };
  const auto sameAsOutput = [&](const QString& folder) {
    for (const QString& name : names)
      if (Bytes(folder + "/" + name) != Bytes(out + name)) return false;
    return true;
  };

  // A folder holding older files of the same names, and one that is not there yet.
  const QString site = fixture.Home() + "/site";
  QDir().mkpath(site);
  for (const QString& name : {QStringLiteral("a.swf"), QStringLiteral("b.html")})
    WriteFile(site + "/" + name, "older file");
  WriteFile(site + "/other.txt", "kept");
  copyTo(site);
  QCOMPARE(fixture.Script.FolderTitles.back(), QStringLiteral("Copy Generated Files to Directory:"));
  QVERIFY(sameAsOutput(site));
  QCOMPARE(Bytes(site + "/other.txt"), QByteArray("kept"));

  // The output folder itself: the files stay whole.
  const QByteArray before = Bytes(out + "a.swf");
  copyTo(out);
  QCOMPARE(Bytes(out + "a.swf"), before);
  QVERIFY(sameAsOutput(out));

  // Cancelled: nothing is copied, not even to a folder made of the empty answer.
  copyTo(QString());
  QVERIFY(!QFile::exists(QStringLiteral("a.swf")) && !QFile::exists(QStringLiteral("/a.swf")));
  QCOMPARE(fixture.Script.FolderTitles.size(), 3);
  QVERIFY(fixture.Script.Errors.isEmpty());

  // The emulator's files lie in a folder of their own beside the page: it is made in the
  // target. A name leading out of the output folder copies nothing outside the target.
  const QString made = fixture.Home() + "/made/";
  QDir().mkpath(made + "ruffle");
  WriteFile(made + "B.html", "page");
  WriteFile(made + "ruffle/ruffle.js", "script");
  WriteFile(fixture.Home() + "/secret.txt", "not generated");
  tw::app::TPublishResult result;
  result.Folder = made.toStdString();
  result.Name = "B";
  result.Files = {"B.html", "ruffle/ruffle.js", "../secret.txt"};
  const QString other = fixture.Home() + "/other/site";
  QDir().mkpath(other);
  fixture.Script.ChosenFolder = other;
  fixture.Script.OnModal = [&](QDialog&) {
    form.CmbAction->setCurrentIndex(TFormResult::CopyFiles);
    form.BtnAction->click();
  };
  form.ShowResult(result);
  QCOMPARE(Bytes(other + "/B.html"), QByteArray("page"));
  QCOMPARE(Bytes(other + "/ruffle/ruffle.js"), QByteArray("script"));
  QVERIFY(!QFile::exists(fixture.Home() + "/other/secret.txt"));
}

void ResultFormTest::languageSwitchKeepsTheAction() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  TFormResult& form = ResultForm(*window);
  const TLanguage german = TLanguage::Parse(
      "[interface]\n"
      "Result=Ergebnis\n"
      "to-do list=Aufgaben\n"
      "Browse Generated Files=Erzeugte Dateien anzeigen\n"
      "Open Flash MP3 Player with Web Browser=Flash-MP3-Player im Webbrowser öffnen\n"
      "Copy Generated Files to Directory=Erzeugte Dateien in einen Ordner kopieren\n"
      "Go=Los\n");
  for (int action = 0; action < 3; ++action) {
    form.CmbAction->setCurrentIndex(action);
    form.ApplyTexts(german);
    QCOMPARE(form.CmbAction->currentIndex(), action);
    QCOMPARE(form.CmbAction->count(), 3);
    QCOMPARE(form.CmbAction->itemText(2),
             QStringLiteral("Erzeugte Dateien in einen Ordner kopieren ... "));
    QCOMPARE(form.CmbAction->itemText(1),
             QStringLiteral("Flash-MP3-Player im Webbrowser öffnen"));
    form.ApplyTexts(TLanguage{});
    QCOMPARE(form.CmbAction->currentIndex(), action);
  }
  form.ApplyTexts(german);
  QCOMPARE(form.windowTitle(), QStringLiteral("Ergebnis"));
  QCOMPARE(form.LblAction->text(), QStringLiteral("Aufgaben:"));  // key matched without case
  QCOMPARE(form.BtnAction->text(), QStringLiteral("Los"));
  QCOMPARE(form.BtnClose->text(), QStringLiteral("Close"));  // not in the file: English
  QCOMPARE(form.LblFile->text(), kNothingText);

  // Through the main window's switch to a shipped language: this window follows, keeping its
  // action.
  form.CmbAction->setCurrentIndex(TFormResult::BrowseFiles);
  const std::filesystem::path shipped = TW_PROGRAM_DIR "/languages/German.ini";
  window->ApplyLanguage(shipped);
  const TLanguage file = TLanguage::Load(shipped);
  QCOMPARE(form.CmbAction->currentIndex(), int(TFormResult::BrowseFiles));
  QCOMPARE(form.CmbAction->itemText(0), QString::fromStdString(file.Text("Browse Generated Files")));
  QVERIFY(form.CmbAction->itemText(0) != QStringLiteral("Browse Generated Files"));
  form.ApplyTexts(german);

  // The folder picker's title is the translated one.
  PublishAB(fixture, *window, [](TFormMain& w) { w.RdoSinglePlayer->click(); });
  fixture.Script.OnModal = [&](QDialog&) {
    form.CmbAction->setCurrentIndex(TFormResult::CopyFiles);
    form.BtnAction->click();
  };
  window->findChild<QAction*>(QStringLiteral("mnuResult"))->trigger();
  QCOMPARE(fixture.Script.FolderTitles,
           QStringList{QStringLiteral("Erzeugte Dateien in einen Ordner kopieren:")});
}

QTEST_MAIN(ResultFormTest)
#include "result_form_test.moc"
