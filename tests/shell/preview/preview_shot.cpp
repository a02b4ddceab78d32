// preview_shot RUFFLE_FOLDER MOVIE=SHOT.png...: shows each movie in the program's preview display, in a
// frameless window at the top left of the X display, and once the emulator has played it for a
// moment takes a screenshot of the whole X display with ImageMagick's import (a web view grabbed
// from inside Qt often comes out blank). For each movie it prints "RECT x y width height", where
// the page put the movie, in display pixels. Exit status 0 when every screenshot was taken, 2
// when a movie did not start playing in time, 1 for a bad command line.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdio>
#include <memory>

#include "shell/preview/ruffle_preview.h"

namespace {

// Runs the event loop for so long.
void Pause(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The movie's rectangle on the page once Ruffle knows its stage, as "x y width height".
constexpr char kPlayerRect[] =
    "(() => { const p = document.querySelector('ruffle-player');"
    "  const m = p && p.ruffle && p.ruffle().metadata;"
    "  if (!m) return '';"
    "  const r = p.getBoundingClientRect();"
    "  return [r.x, r.y, r.width, r.height].map(Math.round).join(' '); })()";

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window(nullptr, Qt::FramelessWindowHint);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: preview_shot RUFFLE_FOLDER MOVIE=SHOT.png...\n");
    return 1;
  }
  std::unique_ptr<tw::shell::TPreviewDisplay> display =
      tw::shell::CreateRufflePreview(&window, QString::fromLocal8Bit(argv[1]));
  layout->addWidget(display->Widget());
  window.setGeometry(0, 0, 760, 560);
  window.show();
  auto* view = qobject_cast<QWebEngineView*>(display->Widget());
  if (!view) return 1;

  for (int i = 2; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    const qsizetype eq = arg.lastIndexOf('=');
    if (eq <= 0) {
      std::fprintf(stderr, "usage: preview_shot RUFFLE_FOLDER MOVIE=SHOT.png...\n");
      return 1;
    }
    // The answers count from the new page on: until it has loaded, the old one still answers.
    auto loaded = std::make_shared<bool>(false);
    const QMetaObject::Connection connection = QObject::connect(
        view, &QWebEngineView::loadFinished, view, [loaded](bool ok) { *loaded = ok; });
    display->ShowMovie(arg.left(eq));
    // Answers may come after the loop below has ended: they land in a place of their own.
    auto answer = std::make_shared<QString>();
    QElapsedTimer clock;
    clock.start();
    while (answer->isEmpty()) {
      if (clock.elapsed() > 30000) {
        std::fprintf(stderr, "preview_shot: %s did not start playing\n", argv[i]);
        return 2;
      }
      if (*loaded)
        view->page()->runJavaScript(kPlayerRect,
                                    [answer](const QVariant& v) { *answer = v.toString(); });
      Pause(100);
    }
    QObject::disconnect(connection);
    const QString rect = *answer;
    // A few frames of the movie, drawn and composed onto the X display.
    Pause(1500);
    const QPoint origin = view->mapTo(&window, QPoint(0, 0)) + window.geometry().topLeft();
    const QStringList parts = rect.split(' ');
    std::printf("RECT %d %d %s %s\n", origin.x() + parts.value(0).toInt(),
                origin.y() + parts.value(1).toInt(), qPrintable(parts.value(2)),
                qPrintable(parts.value(3)));
    std::fflush(stdout);
    if (QProcess::execute("import", {"-window", "root", arg.mid(eq + 1)}) != 0) return 2;
  }
  return 0;
}
