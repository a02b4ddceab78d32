// tunewright: the desktop window. `tunewright FILE.prj` opens that project; songs named (MP3,
// WAV) are added to the music list, as the desktop entry passes them.
#include <QApplication>
#include <QFileInfo>

#include "shell/main_form.h"
#include "shell/preview/ruffle_preview.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Dovetek Tunewright"));
  QApplication::setApplicationDisplayName(QStringLiteral("Dovetek Tunewright"));
  QApplication::setDesktopFileName(QStringLiteral("tunewright"));

  tw::shell::TShellServices services;
  services.Dialogs = tw::shell::CreateStandardDialogs();
  services.CreatePlayer = [] { return tw::shell::CreateMediaPlayer(); };
  services.CreatePreview = [](QWidget* parent) { return tw::shell::CreateRufflePreview(parent); };
  tw::shell::TFormMain window(std::move(services));
  window.show();
  QStringList songs;
  for (const QString& arg : QApplication::arguments().mid(1)) {
    const QString kind = QFileInfo(arg).suffix().toLower();
    if (kind == QLatin1String("prj"))
      window.OpenProjectFile(arg);
    else if (kind == QLatin1String("mp3") || kind == QLatin1String("wav"))
      songs << arg;
  }
  if (!songs.isEmpty()) window.AddMusicFiles(songs);
  return QApplication::exec();
}
