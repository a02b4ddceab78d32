// The progress window of a publish run, offscreen: the run's lines, one line for every song at
// work when several are, and its look in a screenshot kept in the build folder.
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "shell/progress_form.h"

using namespace tw::shell;
using tw::app::TProgressState;
using tw::app::TSongProgress;

class ProgressFormTest : public QObject {
  Q_OBJECT
 private slots:
  void everySongAtWorkHasItsLine();
};

namespace {

void Screenshot(QWidget& widget, const QString& name) {
  QDir().mkpath(QStringLiteral(TW_SCREENSHOT_DIR));
  QVERIFY(widget.grab().save(QStringLiteral(TW_SCREENSHOT_DIR "/") + name));
}

TProgressState Running(std::vector<TSongProgress> songs) {
  TProgressState s;
  s.Visible = true;
  s.SingleFile = songs.back().Action;
  s.SinglePercent = songs.back().Percent;
  s.SingleProcessing = QString::number(songs.back().Percent).toStdString() + "%";
  s.Files = "Converting files:";
  s.FilesProcessing = "3/5";
  s.FilesPosition = 3;
  s.FilesMax = 5;
  s.Running = std::move(songs);
  return s;
}

}  // namespace

void ProgressFormTest::everySongAtWorkHasItsLine() {
  TFormConvertProcessing form(nullptr);
  form.ShowState(Running({{1, "Converting \"first song.wav\":", 80},
                          {2, "Reencoding \"b.mp3\":", 35},
                          {3, "Reencoding \"c.mp3\":", 7}}));
  QVERIFY(form.isVisible());
  QCOMPARE(form.lblConvertSingleFile->text(), QStringLiteral("Converting \"first song.wav\":"));
  QCOMPARE(form.lblConvertSingleProcessing->text(), QStringLiteral("80%"));
  QCOMPARE(form.pbConvertSingleFile->value(), 80);
  QCOMPARE(form.lblConvertFilesProcessing->text(), QStringLiteral("3/5"));
  QCOMPARE(form.pbConvertFiles->value(), 3);
  const auto& lines = form.SongLines();
  QCOMPARE(lines.size(), size_t{2});
  const struct {
    QString action, processing;
    int percent;
  } expected[] = {{QStringLiteral("Reencoding \"b.mp3\":"), QStringLiteral("35%"), 35},
                  {QStringLiteral("Reencoding \"c.mp3\":"), QStringLiteral("7%"), 7}};
  for (size_t i = 0; i < lines.size(); ++i) {
    QCOMPARE(lines[i].Action->text(), expected[i].action);
    QCOMPARE(lines[i].Processing->text(), expected[i].processing);
    QCOMPARE(lines[i].Bar->value(), expected[i].percent);
    QVERIFY(lines[i].Action->isVisible() && lines[i].Bar->isVisible());
    // Below the first song's line and above the run's.
    QVERIFY(lines[i].Action->mapTo(&form, QPoint()).y() >
            form.pbConvertSingleFile->mapTo(&form, QPoint()).y());
    QVERIFY(lines[i].Bar->mapTo(&form, QPoint()).y() <
            form.lblConvertFiles->mapTo(&form, QPoint()).y());
  }
  Screenshot(form, QStringLiteral("three-songs.png"));

  // One song at work: the single-file line is the run's own again; the others hide, keeping
  // their room so that the window does not jump from song to song.
  const QSize size = form.size();
  TProgressState one = Running({{3, "Reencoding \"c.mp3\":", 50}});
  one.SingleProcessing = "50%";
  form.ShowState(one);
  QCOMPARE(form.lblConvertSingleFile->text(), QStringLiteral("Reencoding \"c.mp3\":"));
  QCOMPARE(form.lblConvertSingleProcessing->text(), QStringLiteral("50%"));
  QCOMPARE(form.pbConvertSingleFile->value(), 50);
  for (const auto& line : lines) QVERIFY(line.Action->isHidden() && line.Bar->isHidden());
  QCOMPARE(form.size(), size);
  Screenshot(form, QStringLiteral("one-song.png"));

  form.ShowState(TProgressState{});
  QVERIFY(!form.isVisible());
}

QTEST_MAIN(ProgressFormTest)
#include "progress_form_test.moc"
