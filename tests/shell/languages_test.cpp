// The languages applied to the windows, offscreen: a translation renames exactly the controls of
// its key, lists keep their selection, the choice is stored and read at the next start, and every
// text a window looks up is a key of the English file.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <map>

#include "shell/ini.h"
#include "shell/progress_form.h"
#include "shell/settings.h"
#include "shell/small_forms.h"
#include "shell_support.h"

using namespace tw::shell;
using namespace tw::shell::testing;

namespace {

namespace fs = std::filesystem;

const fs::path kShipped = fs::path(TW_PROGRAM_DIR) / "languages";

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  f.write(bytes);
}

QByteArray Utf16Le(const QString& text) {
  QByteArray bytes("\xFF\xFE", 2);
  for (QChar c : text) {
    bytes += static_cast<char>(c.unicode() & 0xFF);
    bytes += static_cast<char>(c.unicode() >> 8);
  }
  return bytes;
}

// A program folder of the test's own: the real one's skins and start-up project, and a
// "languages" folder holding only the files given.
std::string ProgramFolderWith(const QTemporaryDir& dir, const std::map<QString, QByteArray>& files) {
  const QDir real(QStringLiteral(TW_PROGRAM_DIR));
  for (const QString& entry : real.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
    if (entry != QLatin1String("languages"))
      QFile::link(real.filePath(entry), dir.filePath(entry));
  QDir(dir.path()).mkdir(QStringLiteral("languages"));
  for (const auto& [name, bytes] : files) WriteFile(dir.filePath("languages/" + name), bytes);
  return dir.path().toStdString() + "/";
}

// The windows made by the main one, by name: they have no meta-objects of their own.
template <class W>
W* Child(TFormMain& window, const char* name) {
  auto* w = window.findChild<QDialog*>(QLatin1String(name));
  if (!w) qFatal("no window %s", name);
  return static_cast<W*>(w);
}

QAction* LanguageItem(TFormMain& window, const QString& caption) {
  auto* menu = window.findChild<QMenu*>(QStringLiteral("mnuLanguages"));
  if (!menu) qFatal("no language menu");
  for (QAction* a : menu->actions())
    if (a->text() == caption) return a;
  qFatal("no language %s", qPrintable(caption));
}

// Every text the window and its child windows show, each under a name of its control that stays
// the same across a switch.
std::map<QString, QString> AllTexts(QWidget& window) {
  std::map<QString, QString> texts;
  const auto put = [&](const QObject* o, const QString& part, const QString& text) {
    QString name = o->objectName();
    if (name.isEmpty()) name = QStringLiteral("%1@%2").arg(o->metaObject()->className()).arg(
                           quintptr(o), 0, 16);
    texts[name + part] = text;
  };
  QList<QObject*> objects = window.findChildren<QObject*>();
  objects.prepend(&window);
  for (QObject* o : objects) {
    if (auto* w = qobject_cast<QWidget*>(o)) {
      if (w->isWindow()) put(w, "/title", w->windowTitle());
      if (!w->toolTip().isEmpty()) put(w, "/hint", w->toolTip());
    }
    if (auto* b = qobject_cast<QAbstractButton*>(o)) put(b, "/text", b->text());
    if (auto* l = qobject_cast<QLabel*>(o)) put(l, "/text", l->text());
    if (auto* a = qobject_cast<QAction*>(o)) put(a, "/text", a->text());
    if (auto* g = qobject_cast<QGroupBox*>(o)) put(g, "/title", g->title());
    if (auto* m = qobject_cast<QMenu*>(o)) put(m, "/title", m->title());
    if (auto* c = qobject_cast<QComboBox*>(o))
      for (int i = 0; i < c->count(); ++i) put(c, QStringLiteral("/item%1").arg(i), c->itemText(i));
    if (auto* t = qobject_cast<QTreeWidget*>(o))
      for (int i = 0; i < t->columnCount(); ++i)
        put(t, QStringLiteral("/head%1").arg(i), t->headerItem()->text(i));
    if (auto* l = qobject_cast<QListWidget*>(o))
      for (int i = 0; i < l->count(); ++i) put(l, QStringLiteral("/item%1").arg(i), l->item(i)->text());
    if (auto* t = qobject_cast<QTabWidget*>(o))
      for (int i = 0; i < t->count(); ++i) put(t, QStringLiteral("/tab%1").arg(i), t->tabText(i));
  }
  return texts;
}

}  // namespace

class LanguagesTest : public QObject {
  Q_OBJECT

 private slots:
  void publishRenamesItsThreeControlsOnly();
  void filesReadThroughTheMenu_data();
  void filesReadThroughTheMenu();
  void menuListsFilesWithoutRegardToCase();
  void listsKeepTheirSelection();
  void fixedAdditionsFollowTheTranslation();
  void choiceIsRememberedAtTheNextStart();
  void everyKeyLookedUpIsInTheEnglishFile();
};

void LanguagesTest::publishRenamesItsThreeControlsOnly() {
  TWindowFixture fixture;
  QTemporaryDir dir;
  auto window = fixture.MakeWindow();
  const std::map<QString, QString> before = AllTexts(*window);
  WriteFile(dir.filePath("German.ini"), "[INTERFACE]\nPublish=Veröffentlichen\n");
  window->ApplyLanguage(dir.filePath("German.ini").toStdString());
  const std::map<QString, QString> after = AllTexts(*window);

  QCOMPARE(after.size(), before.size());
  QStringList changed;
  for (const auto& [name, text] : after) {
    QVERIFY2(before.count(name), qPrintable(name));
    if (before.at(name) == text) continue;
    changed << name;
    QCOMPARE(before.at(name), QStringLiteral("Publish"));
    QCOMPARE(text, QStringLiteral("Veröffentlichen"));
  }
  QCOMPARE(changed, (QStringList{"NavMain/item3", "btnConvert/text", "mnuPublish/text"}));
  // English is back in full, and nothing else was found to compare: the window has many texts.
  window->ApplyLanguage(dir.filePath("missing.ini").toStdString());
  QVERIFY(AllTexts(*window) == before);
  QVERIFY(before.size() > 150);
}

void LanguagesTest::filesReadThroughTheMenu_data() {
  QTest::addColumn<QByteArray>("bytes");
  const QString text = QStringLiteral("[INTERFACE]\r\nPublish=Veröffentlichen\r\nExit=Schließen\r\n");
  QTest::newRow("UTF-16 LE with a mark") << Utf16Le(text);
  QTest::newRow("UTF-8 with a mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
  QTest::newRow("UTF-8 without a mark") << text.toUtf8();
  QTest::newRow("8-bit without a mark") << text.toLatin1();
  QTest::newRow("keys and section differing in case")
      << QByteArray("[interface]\npUBLISH=Veröffentlichen\nEXIT=Schließen\n");
}

void LanguagesTest::filesReadThroughTheMenu() {
  QFETCH(QByteArray, bytes);
  TWindowFixture fixture;
  QTemporaryDir dir;
  auto window = fixture.MakeWindow(ProgramFolderWith(dir, {{"Deutsch.ini", bytes}}));
  LanguageItem(*window, "Deutsch")->trigger();
  QCOMPARE(window->btnConvert->text(), QStringLiteral("Veröffentlichen"));
  QCOMPARE(window->findChild<QAction*>("mnuExit")->text(), QStringLiteral("Schließen"));
  QCOMPARE(window->findChild<QAction*>("mnuNewProject")->text(), QStringLiteral("New Project"));
}

void LanguagesTest::menuListsFilesWithoutRegardToCase() {
  TWindowFixture fixture;
  QTemporaryDir dir;
  auto window = fixture.MakeWindow(
      ProgramFolderWith(dir, {{"b.ini", {}}, {"A.ini", {}}, {"c.ini", {}}, {"notes.txt", {}}}));
  QStringList captions;
  for (QAction* a : window->findChild<QMenu*>("mnuLanguages")->actions()) {
    captions << a->text();
    QVERIFY(!a->isCheckable());  // no item is marked as the current one
  }
  QCOMPARE(captions, (QStringList{"A", "b", "c"}));
}

void LanguagesTest::listsKeepTheirSelection() {
  // Each list is set away from its start; a switch there and back keeps the index, translates
  // the items, and announces no change: a preset announced again would reset the custom rates.
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  window->findChild<QAbstractButton*>("RdoCustomSize")->click();
  window->findChild<QAbstractButton*>("ChkBgImage")->click();
  const TLanguage german = TLanguage::Load(kShipped / "German.ini");
  const struct {
    const char* list;
    int index;
    const char* key;
  } cases[] = {{"cbbEncodingOptions", 2, "High quality, medium size(22050 Hz, 64 kbps, Mono)"},
               {"cbbEncodingOptions", tw::app::kCustomPreset, "Custom"},
               {"CmbPlayerPos", 0, "Center"},
               {"CmbBgImagePosition", 3, "Tile"}};
  for (const auto& c : cases) {
    auto* list = window->findChild<QComboBox*>(c.list);
    list->setCurrentIndex(c.index);
    window->cbbSampleRate->setCurrentIndex(0);  // a rate of its own, not the preset's
    const int preset = window->Project().PresetIndex, rate = window->Project().SampleRateIndex;
    const auto position = window->Project().PlayerPosition;
    window->ApplyLanguage(kShipped / "German.ini");
    QCOMPARE(list->currentIndex(), c.index);
    QCOMPARE(list->currentText(), Tr(german, c.key));
    QVERIFY(list->currentText() != QLatin1String(c.key));
    QCOMPARE(window->Project().PresetIndex, preset);
    QCOMPARE(window->Project().SampleRateIndex, rate);
    QCOMPARE(window->Project().PlayerPosition, position);
    window->ApplyLanguage(kShipped / "English.ini");
    QCOMPARE(list->currentIndex(), c.index);
    QCOMPARE(list->currentText(), QLatin1String(c.key));
  }
}

void LanguagesTest::fixedAdditionsFollowTheTranslation() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  window->ApplyLanguage(kShipped / "French.ini");
  const TLanguage french = TLanguage::Load(kShipped / "French.ini");
  auto* about = Child<TFormAbout>(*window, "TFormAbout");
  QStringList aboutTexts;
  for (QLabel* l : about->findChildren<QLabel*>()) aboutTexts << l->text();
  TFormConvertProcessing progress(nullptr, french);
  progress.ShowState({.Visible = false,
                      .SingleFile = "Reencoding \"Converting files.mp3\":",
                      .SingleProcessing = "10%",
                      .SinglePercent = 10,
                      .Files = "Converting files:",
                      .FilesProcessing = "1/2",
                      .FilesPosition = 1,
                      .FilesMax = 2,
                      .Running = {}});
  const struct {
    const char* name;
    QString shown, expected;
  } cases[] = {
      {"About menu item", window->findChild<QAction*>("mnuAbout")->text(), Tr(french, "About") + " ..."},
      {"output name label", window->lblOutputName->text(), Tr(french, "Filename of Flash player") + " :"},
      {"default size with the template's", window->RdoDefaultSize->text(),
       Tr(french, "Default size of Flash Movie") + " (360 * 60) "},
      {"preloader colour", window->lblPl->text(), Tr(french, "Color") + ":"},
      {"About box version", aboutTexts.filter("3.4").join('|'), Tr(french, "Version") + " 3.4"},
      {"About box engine", aboutTexts.filter("LAME").join('|'),
       Tr(french, "MP3 encoding engine") + ":  LAME"},
      {"progress caption", progress.windowTitle(), Tr(french, "Converting") + " ... "},
      {"progress song", progress.lblConvertSingleFile->text(),
       Tr(french, "Reencoding") + " \"Converting files.mp3\":"},
      {"progress files, the longer message first", progress.lblConvertFiles->text(),
       Tr(french, "Converting files") + ":"},
  };
  for (const auto& c : cases) {
    QVERIFY2(c.shown == c.expected, qPrintable(QStringLiteral("%1: %2 / %3").arg(c.name, c.shown, c.expected)));
  }

  // The messages the window shows are kept translated as well.
  window->ShowPage(TFormMain::PublishPage);
  window->btnConvert->click();
  window->findChild<QPushButton*>("btnRemoveMp3")->click();
  QCOMPARE(fixture.Script.Errors, (QStringList{Tr(french, "Please add music file!"),
                                               Tr(french, "Please select a file!")}));
}

void LanguagesTest::choiceIsRememberedAtTheNextStart() {
  TWindowFixture fixture;
  QTemporaryDir dir;
  const std::string program = ProgramFolderWith(
      dir, {{"English.ini", "[INTERFACE]\nPublish=Publish!\n"},  // marked, to be told from no file
            {"German.ini", "[INTERFACE]\nPublish=Veröffentlichen\nOk=Jawohl\n"}});
  const fs::path settings = (dir.path() + "/config/settings.conf").toStdString();
  {
    auto first = fixture.MakeWindow(program, settings);
    QCOMPARE(first->btnConvert->text(), QStringLiteral("Publish!"));
    LanguageItem(*first, "German")->trigger();
  }
  QCOMPARE(LoadUserSettings(settings).Language, std::string("German.ini"));
  auto second = fixture.MakeWindow(program, settings);
  QCOMPARE(second->btnConvert->text(), QStringLiteral("Veröffentlichen"));
  // The windows made with the main one start in its language too.
  for (QWidget* child : {static_cast<QWidget*>(Child<TFormAbout>(*second, "TFormAbout")),
                         static_cast<QWidget*>(Child<TFormMp3Edit>(*second, "TFormMp3Edit"))}) {
    QStringList buttons;
    for (QAbstractButton* b : child->findChildren<QAbstractButton*>()) buttons << b->text();
    QVERIFY2(buttons.contains("Jawohl"), qPrintable(buttons.join('|')));
  }
  // Back to English through the menu: stored as well.
  LanguageItem(*second, "English")->trigger();
  QCOMPARE(second->btnConvert->text(), QStringLiteral("Publish!"));
  QCOMPARE(LoadUserSettings(settings).Language, std::string("English.ini"));

  // A remembered language whose file was removed starts in English.
  LanguageItem(*second, "German")->trigger();
  QVERIFY(QFile::remove(dir.filePath("languages/German.ini")));
  auto third = fixture.MakeWindow(program, settings);
  QCOMPARE(third->btnConvert->text(), QStringLiteral("Publish!"));
}

void LanguagesTest::everyKeyLookedUpIsInTheEnglishFile() {
  TWindowFixture fixture;
  auto window = fixture.MakeWindow();
  std::vector<std::string> asked;
  TLanguage recorder;
  recorder.RecordLookups(&asked);
  window->ApplyTexts(recorder);
  Child<TFormMp3Edit>(*window, "TFormMp3Edit")->ApplyTexts(recorder);
  Child<TFormAbout>(*window, "TFormAbout")->ApplyTexts(recorder);
  TFormConvertProcessing progress(nullptr);
  progress.ApplyTexts(recorder);
  // Found as the program finds it: trimmed, without regard to case.
  const TIniFile english = TIniFile::Load(kShipped / "English.ini");
  QVERIFY(asked.size() > 100);
  for (const std::string& key : asked) QVERIFY2(english.Find("INTERFACE", key), key.c_str());
}

QTEST_MAIN(LanguagesTest)
#include "languages_test.moc"
