// The main window's logic, offscreen: start-up state, enable rules, the preview's debounce, the
// image lists, the closing question, projects that cannot be applied, a publish without songs.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QDialog>
#include <QTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "shell_support.h"

using namespace tw::shell;
using namespace tw::shell::testing;

namespace {

template <class W = QWidget>
W* Find(QWidget& window, const char* name) {
  W* w = window.findChild<W*>(QLatin1String(name));
  if (!w) qFatal("no control %s", name);
  return w;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  f.write(bytes);
}

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpState();
  void enableRules();
  void tenQuickEditsRebuildThePreviewOnce();
  void imageListEdits();
  void musicListAndListening();
  void tagEditorOfAWavChangesTheListOnly();
  void closingQuestion();
  void publishWithoutSongs();
  void damagedProjectLeavesTheProjectAsItWas();
  void projectGivenOnOpen();
};

void MainFormTest::startUpState() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  QCOMPARE(window->CurrentPage(), int(TFormMain::MusicPage));
  QCOMPARE(window->size(), QSize(1167, 900));
  QCOMPARE(window->windowTitle(), QStringLiteral("Dovetek Tunewright"));
  QCOMPARE(window->cbbEncodingOptions->currentText(), QStringLiteral("Custom"));
  QCOMPARE(window->cbbSampleRate->currentIndex(), tw::app::kPresets[4].SampleRate);
  QCOMPARE(window->cbbBitRate->currentIndex(), tw::app::kPresets[4].BitRate);
  QCOMPARE(window->cbbChannels->currentIndex(), tw::app::kPresets[4].Channels);
  QVERIFY(window->RdoSinglePlayer->isChecked());
  QCOMPARE(window->edtOutputName->text(), QStringLiteral("player.swf"));
  QCOMPARE(window->CmbFlashVersion->currentText(), QStringLiteral("8"));
  QCOMPARE(window->SpinEditFrameRate->value(), 12);
  QVERIFY(window->ChkAutoPreview->isChecked());
  QVERIFY(window->cbbPlayerStyle->count() >= 3);
  QCOMPARE(window->cbbPlayerStyle->currentText(), QStringLiteral("compact.swf"));
  // The grid shows the start-up template's parameters, the caption its size.
  QVERIFY(window->lstOptions->rowCount() > 0);
  QVERIFY(window->RdoDefaultSize->text().contains(QStringLiteral("(360 * 60)")));

  // The working folder: its output folder, the sample playlist, and exactly one first preview.
  const QString data = QString::fromStdString(window->UserData());
  QVERIFY(data.startsWith(fixture.Home()));
  QVERIFY(QDir(data + "output").exists());
  QVERIFY(QFile::exists(data + "preview.xml"));
  QCOMPARE(fixture.Script.Movies, QStringList{data + "preview.swf"});
  QVERIFY(QFileInfo(data + "preview.swf").size() > 100);
  QVERIFY(fixture.Script.Errors.isEmpty());
}

void MainFormTest::enableRules() {
  // Each case sets the window up by its controls and names what must be enabled and disabled.
  struct Case {
    const char* name;
    std::function<void(TFormMain&)> setUp;
    std::vector<const char*> enabled, disabled;
  };
  const auto combo = [](TFormMain& w, const char* name, int index) {
    Find<QComboBox>(w, name)->setCurrentIndex(index);
  };
  const auto click = [](TFormMain& w, const char* name) { Find<QAbstractButton>(w, name)->click(); };
  const Case cases[] = {
      {"music files: no output name", [&](TFormMain& w) { click(w, "RdoMusicFiles"); },
       {}, {"edtOutputName", "lblOutputName", "grpMusicFormat", "ChkFullURL", "ChkOnlyFlashPlayer",
            "EdtFullURL"}},
      {"single player: no music format, URL prefix or player-only",
       [&](TFormMain& w) { click(w, "RdoSinglePlayer"); },
       {"edtOutputName", "lblOutputName"},
       {"grpMusicFormat", "ChkFullURL", "ChkOnlyFlashPlayer", "EdtFullURL"}},
      {"player and music files, URL prefix off",
       [&](TFormMain& w) { click(w, "RdoPlayerAndMusicfiles"); },
       {"edtOutputName", "grpMusicFormat", "ChkFullURL", "ChkOnlyFlashPlayer"}, {"EdtFullURL"}},
      {"player and music files, URL prefix on",
       [&](TFormMain& w) {
         click(w, "RdoPlayerAndMusicfiles");
         click(w, "ChkFullURL");
       },
       {"EdtFullURL"}, {}},
      {"URL prefix on, then single player",
       [&](TFormMain& w) {
         click(w, "RdoPlayerAndMusicfiles");
         click(w, "ChkFullURL");
         click(w, "RdoSinglePlayer");
       },
       {}, {"EdtFullURL"}},
      {"re-encoding off", [&](TFormMain& w) { click(w, "ChkReencode"); },
       {}, {"cbbEncodingOptions", "cbbSampleRate", "cbbBitRate", "cbbChannels"}},
      {"a fixed preset", [&](TFormMain& w) { combo(w, "cbbEncodingOptions", 1); },
       {"cbbEncodingOptions"}, {"cbbSampleRate", "cbbBitRate", "cbbChannels"}},
      {"preset Custom", [&](TFormMain& w) { combo(w, "cbbEncodingOptions", 4); },
       {"cbbEncodingOptions", "cbbSampleRate", "cbbBitRate", "cbbChannels"}, {}},
      {"default size: no size or position field",
       [&](TFormMain& w) { click(w, "RdoDefaultSize"); },
       {}, {"SpinEditWidth", "SpinEditHeight", "lblPlayerPos", "CmbPlayerPos", "SpinEditLeft",
            "SpinEditTop", "SpinEditRotate", "SpinEditXScale", "SpinEditYScale"}},
      {"custom size, position Center",
       [&](TFormMain& w) {
         click(w, "RdoCustomSize");
         combo(w, "CmbPlayerPos", 0);
       },
       {"SpinEditWidth", "SpinEditHeight", "lblWidth", "CmbPlayerPos"},
       {"SpinEditLeft", "SpinEditTop", "SpinEditRotate", "SpinEditXScale", "SpinEditYScale"}},
      {"custom size, position Custom",
       [&](TFormMain& w) {
         click(w, "RdoCustomSize");
         combo(w, "CmbPlayerPos", 1);
       },
       {"SpinEditLeft", "SpinEditTop", "SpinEditRotate", "SpinEditXScale", "SpinEditYScale"}, {}},
      {"transparent background", [&](TFormMain& w) { click(w, "RdoTransparent"); },
       {}, {"ColorBgColorSolid"}},
      {"solid background", [&](TFormMain& w) { click(w, "RdoSolid"); },
       {"ColorBgColorSolid"}, {}},
      {"preloader off", [](TFormMain&) {}, {}, {"CmbPreloader", "ColorPl", "ColorPlBg", "lblPl"}},
      {"preloader on", [&](TFormMain& w) { click(w, "ChkPreloader"); },
       {"CmbPreloader", "ColorPl", "ColorPlBg", "lblPlBg"}, {}},
      {"background images off", [](TFormMain&) {},
       {}, {"lstBgImage", "BtnBgImageAdd", "BtnBgImageDel", "CmbBgImagePosition",
            "SpinEditBgImageLeft"}},
      {"foreground images on, no line",
       [&](TFormMain& w) { click(w, "ChkFgImage"); },
       {"lstFgImage", "BtnFgImageAdd", "BtnFgImageDel", "BtnFgImageUp", "BtnFgImageDown",
        "CmbFgImagePosition"},
       {"SpinEditFgImageLeft", "SpinEditFgImageRotate"}},
      {"foreground image at a custom position",
       [&](TFormMain& w) {
         click(w, "ChkFgImage");
         w.AddImageFiles(w.Fg, {QStringLiteral("/nowhere/a.png")});
         combo(w, "CmbFgImagePosition", 1);
       },
       {"CmbFgImagePosition", "SpinEditFgImageLeft", "SpinEditFgImageTop",
        "SpinEditFgImageXScale", "SpinEditFgImageYScale", "SpinEditFgImageRotate"}, {}},
      {"a project applied: music files, custom size, transparent, preloader on",
       [](TFormMain& w) {
         const QString file = QDir::temp().filePath(QStringLiteral("tw_enable_rules.prj"));
         WriteFile(file, "<options><player><bdefaultsize>False</bdefaultsize>"
                         "<playerpos>0</playerpos><btransparent>True</btransparent>"
                         "<bpreloader>True</bpreloader></player>"
                         "<converting><publishoption>2</publishoption></converting></options>");
         w.OpenProjectFile(file);
         QFile::remove(file);
       },
       {"SpinEditWidth", "CmbPlayerPos", "CmbPreloader"},
       {"edtOutputName", "grpMusicFormat", "SpinEditLeft", "ColorBgColorSolid"}},
  };
  TWindowFixture fixture;
  for (const Case& c : cases) {
    auto window = fixture.MakeWindow();
    c.setUp(*window);
    for (const char* name : c.enabled)
      QVERIFY2(Find(*window, name)->isEnabled(), qPrintable(QString("%1: %2 is disabled")
                                                                .arg(c.name, name)));
    for (const char* name : c.disabled)
      QVERIFY2(!Find(*window, name)->isEnabled(), qPrintable(QString("%1: %2 is enabled")
                                                                 .arg(c.name, name)));
  }
  QVERIFY(fixture.Script.Errors.isEmpty());
}

void MainFormTest::tenQuickEditsRebuildThePreviewOnce() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  window->RdoCustomSize->click();
  window->CmbPlayerPos->setCurrentIndex(1);
  for (int i = 0; i < 4; ++i) window->TimerPreviewTimer();  // what the set-up asked for
  const qsizetype before = fixture.Script.Movies.size();

  // Ten edits in under a second: the 250 ms timer ticks between every second and third edit.
  for (int i = 0; i < 10; ++i) {
    window->PlayerFields[3]->setValue(110 + i);
    if (i % 5 == 1 || i % 5 == 3) window->TimerPreviewTimer();
  }
  QCOMPARE(fixture.Script.Movies.size(), before);
  window->TimerPreviewTimer();
  window->TimerPreviewTimer();
  QCOMPARE(fixture.Script.Movies.size(), before);  // not yet: the third tick builds
  window->TimerPreviewTimer();
  QCOMPARE(fixture.Script.Movies.size(), before + 1);
  for (int i = 0; i < 8; ++i) window->TimerPreviewTimer();
  QCOMPARE(fixture.Script.Movies.size(), before + 1);
  QCOMPARE(window->Project().XScale, 119.0);

  // Without "Auto Refresh" an edit asks for nothing.
  window->ChkAutoPreview->setChecked(false);
  window->PlayerFields[3]->setValue(150);
  QCOMPARE(window->PreviewCountdown(), -1);
}

void MainFormTest::imageListEdits() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  TImageListControls& bg = window->Bg;
  bg.Check->click();
  window->AddImageFiles(bg, {"/img/a.png"});
  window->AddImageFiles(bg, {"/img/b.png"});
  window->AddImageFiles(bg, {"/img/c.png"});
  QCOMPARE(bg.List->topLevelItemCount(), 3);
  QCOMPARE(bg.List->topLevelItem(2)->text(0), QStringLiteral("c.png"));
  QCOMPARE(bg.List->topLevelItem(2)->text(1), QStringLiteral("/img/"));

  // Give the second line its own properties, then remove the last line: the second is selected
  // and shown.
  bg.List->setCurrentItem(bg.List->topLevelItem(1));
  bg.Position->setCurrentIndex(1);
  bg.Fields[0]->setValue(7);
  bg.Fields[4]->setValue(45);
  bg.List->setCurrentItem(bg.List->topLevelItem(2));
  QCOMPARE(bg.Fields[0]->value(), 0);
  bg.Del->click();
  QCOMPARE(bg.List->topLevelItemCount(), 2);
  QCOMPARE(bg.List->selectedItems().size(), 1);
  QCOMPARE(bg.List->indexOfTopLevelItem(bg.List->selectedItems().front()), 1);
  QCOMPARE(bg.Position->currentIndex(), 1);
  QCOMPARE(bg.Fields[0]->value(), 7);
  QCOMPARE(bg.Fields[4]->value(), 45);
  const auto& entries = window->Project().BgImages;
  QCOMPARE(entries.size(), size_t(2));
  QCOMPARE(entries[1].File, std::string("/img/b.png"));
  QCOMPARE(entries[1].Left, 7);

  // Removing the first line moves the selection to the line now first.
  bg.List->setCurrentItem(bg.List->topLevelItem(0));
  bg.Del->click();
  QCOMPARE(bg.List->topLevelItemCount(), 1);
  QCOMPARE(bg.List->selectedItems().front()->text(0), QStringLiteral("b.png"));

  // Removing the only line: the properties show their empty state.
  bg.Del->click();
  QCOMPARE(bg.List->topLevelItemCount(), 0);
  QVERIFY(window->Project().BgImages.empty());
  QVERIFY(!bg.Position->isEnabled());
  QCOMPARE(bg.Position->currentText(), QStringLiteral("Center"));
  const int empty[] = {0, 0, 100, 100, 0};
  for (size_t k = 0; k < 5; ++k) QCOMPARE(bg.Fields[k]->value(), empty[k]);
  QVERIFY(!bg.Fields[0]->isEnabled());
  // Remove with nothing left does nothing.
  bg.Del->click();
  QVERIFY(fixture.Script.Errors.isEmpty());
}

void MainFormTest::musicListAndListening() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  // Without a selection every command of a line asks for one; the menu offers only "add".
  for (const char* name : {"btnRemoveMp3", "btnUpMp3", "btnDownMp3", "btnEditMp3", "btnPlayMp3"})
    Find<QPushButton>(*window, name)->click();
  QCOMPARE(fixture.Script.Errors, QStringList(5, QStringLiteral("Please select a file!")));
  fixture.Script.Errors.clear();

  // Files that are no songs are listed by their names alone, in the order given.
  const QString a = fixture.Home() + "/a.mp3", b = fixture.Home() + "/b.wav";
  WriteFile(a, "not audio");
  WriteFile(b, "not audio");
  window->AddMusicFiles({a, b, a});
  QTreeWidget* list = window->lvMp3;
  QCOMPARE(list->topLevelItemCount(), 3);
  QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("b.wav"));
  QCOMPARE(list->topLevelItem(1)->text(1), QString());
  const QList<QAction*> menu = window->pmMp3->actions();
  QVERIFY(menu.front()->isEnabled());
  for (qsizetype i = 1; i < menu.size(); ++i) QVERIFY(!menu[i]->isEnabled());

  // The bottom line down changes nothing; up moves it and keeps it selected.
  list->topLevelItem(2)->setSelected(true);
  Find<QPushButton>(*window, "btnDownMp3")->click();
  QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("a.mp3"));
  Find<QPushButton>(*window, "btnUpMp3")->click();
  QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("a.mp3"));
  QVERIFY(list->topLevelItem(1)->isSelected());

  // Listening: the bar shows and Play waits for the end of the song.
  window->btnPlayMp3->click();
  QCOMPARE(fixture.Script.Played, QStringList{a});
  QVERIFY(!window->pbMp3Progress->isHidden());
  QVERIFY(!window->btnPlayMp3->isEnabled());
  fixture.Script.Player->OnEnd();
  QVERIFY(window->pbMp3Progress->isHidden());
  QVERIFY(window->btnPlayMp3->isEnabled());

  // Removing two selected lines keeps the unselected one.
  list->topLevelItem(0)->setSelected(true);
  Find<QPushButton>(*window, "btnRemoveMp3")->click();
  QCOMPARE(list->topLevelItemCount(), 1);
  QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("b.wav"));
  QCOMPARE(window->Project().Music.size(), size_t(1));
  QVERIFY(fixture.Script.Errors.isEmpty());
}

void MainFormTest::tagEditorOfAWavChangesTheListOnly() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  // One second of 8 kHz mono silence.
  QByteArray wav("RIFF");
  const auto le32 = [](quint32 v) {
    return QByteArray(1, char(v)) + char(v >> 8) + char(v >> 16) + char(v >> 24);
  };
  const auto le16 = [](quint16 v) { return QByteArray(1, char(v)) + char(v >> 8); };
  wav += le32(36 + 16000) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
         le32(16000) + le16(2) + le16(16) + "data" + le32(16000) + QByteArray(16000, '\0');
  const QString file = fixture.Home() + "/quiet.wav";
  WriteFile(file, wav);
  window->AddMusicFiles({file});
  QCOMPARE(window->lvMp3->topLevelItem(0)->text(1), QStringLiteral("0:00:01"));

  bool checked = true, enabled = true;
  QTimer::singleShot(0, [&] {
    auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QVERIFY(editor);
    auto* box = editor->findChild<QCheckBox*>(QStringLiteral("chkChangeTag"));
    checked = box->isChecked();
    enabled = box->isEnabled();
    editor->findChild<QLineEdit*>(QStringLiteral("edtTitle"))->setText(QStringLiteral("Quiet"));
    editor->accept();
  });
  QTreeWidgetItem* line = window->lvMp3->topLevelItem(0);
  window->lvMp3->setCurrentItem(line);
  emit window->lvMp3->itemDoubleClicked(line, 0);
  QVERIFY(!checked);
  QVERIFY(!enabled);
  QCOMPARE(window->lvMp3->topLevelItem(0)->text(2), QStringLiteral("Quiet"));
  QCOMPARE(window->Project().Music[0].Title, std::string("Quiet"));
  QFile back(file);
  QVERIFY(back.open(QIODevice::ReadOnly));
  QCOMPARE(back.readAll(), wav);
}

void MainFormTest::closingQuestion() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  window->show();
  const QString config = QString::fromStdString(window->UserData()) + "config.prj";
  fixture.Script.CloseAnswers = {TCloseAnswer::Cancel};
  QVERIFY(!window->close());
  QVERIFY(window->isVisible());
  QVERIFY(!QFile::exists(config));

  window->edtOutputName->setText(QStringLiteral("closing.swf"));
  fixture.Script.CloseAnswers = {TCloseAnswer::No};
  QVERIFY(window->close());
  QCOMPARE(fixture.Script.Questions, 2);
  QFile file(config);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QVERIFY(file.readAll().contains("<outputfilename>closing.swf</outputfilename>"));

  // Yes: the save dialog first; its file and config.prj are both written.
  auto again = fixture.MakeWindow();
  again->show();
  fixture.Script.SaveTarget = fixture.Home() + "/saved.prj";
  fixture.Script.CloseAnswers = {TCloseAnswer::Yes};
  QVERIFY(again->close());
  QVERIFY(QFile::exists(fixture.Script.SaveTarget));
  QVERIFY(fixture.Script.Errors.isEmpty());
}

void MainFormTest::publishWithoutSongs() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  window->ShowPage(TFormMain::PublishPage);
  const QString output = QString::fromStdString(window->UserData()) + "output";
  window->btnConvert->click();
  QCOMPARE(fixture.Script.Errors, QStringList{QStringLiteral("Please add music file!")});
  QCOMPARE(window->CurrentPage(), int(TFormMain::MusicPage));
  QVERIFY(QDir(output).isEmpty());
  QVERIFY(!window->Running());
  QVERIFY(window->centralWidget()->isEnabled());
}

void MainFormTest::damagedProjectLeavesTheProjectAsItWas() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  window->edtOutputName->setText(QStringLiteral("mine.swf"));
  window->RdoMusicFiles->click();
  // Its first elements would apply; then a number that does not read.
  const QString file = fixture.Home() + "/damaged.prj";
  WriteFile(file,
            "<options><converting><outputfilename>theirs</outputfilename>"
            "<publishoption>0</publishoption></converting>"
            "<player><width>wide</width></player></options>");
  QVERIFY(!window->OpenProjectFile(file));
  QCOMPARE(fixture.Script.Errors.size(), 1);
  QVERIFY(fixture.Script.Errors.front().startsWith(QStringLiteral("Error: ")));
  QVERIFY(fixture.Script.Errors.front().contains(file));
  QCOMPARE(window->Project().OutputName, std::string("mine.swf"));
  QCOMPARE(window->edtOutputName->text(), QStringLiteral("mine.swf"));
  QVERIFY(window->RdoMusicFiles->isChecked());
  QVERIFY(!window->edtOutputName->isEnabled());

  // Not a project at all: named too, nothing changes.
  fixture.Script.Errors.clear();
  WriteFile(file, "<html/>");
  QVERIFY(!window->OpenProjectFile(file));
  QCOMPARE(fixture.Script.Errors.size(), 1);
  QVERIFY(fixture.Script.Errors.front().contains(file));
  QCOMPARE(window->Project().OutputName, std::string("mine.swf"));
}

void MainFormTest::projectGivenOnOpen() {
  // Saving and opening again brings every page's fields back; the list of songs is replaced.
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  window->RdoPlayerAndMusicfiles->click();
  window->CmbMusicFormat->setCurrentIndex(2);
  window->cbbPlayerStyle->setCurrentIndex(window->cbbPlayerStyle->findText("round.swf"));
  window->RdoCustomSize->click();
  window->SpinEditWidth->setValue(640);
  window->Fg.Check->click();
  window->AddImageFiles(window->Fg, {"/img/front.png"});
  fixture.Script.SaveTarget = fixture.Home() + "/mine.prj";
  window->SaveProjectAs();

  auto other = fixture.MakeWindow();
  QVERIFY(other->OpenProjectFile(fixture.Script.SaveTarget));
  QVERIFY(other->RdoPlayerAndMusicfiles->isChecked());
  QCOMPARE(other->CmbMusicFormat->currentText(), QStringLiteral("MP3"));
  QVERIFY(other->RdoCustomSize->isChecked());
  QCOMPARE(other->cbbPlayerStyle->currentText(), QStringLiteral("round.swf"));
  QCOMPARE(other->SpinEditWidth->value(), 640);
  QCOMPARE(other->Fg.List->topLevelItemCount(), 1);
  QVERIFY(other->Fg.Position->isEnabled());
  QVERIFY(fixture.Script.Errors.isEmpty());
}

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
