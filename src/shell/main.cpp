// tunewright: the desktop window. `tunewright FILE.prj` opens that project.
#include <QApplication>
#include <QFileInfo>

#include "shell/main_form.h"
#include "shell/plain_preview.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Dovetek Tunewright"));
  QApplication::setApplicationDisplayName(QStringLiteral("Dovetek Tunewright"));
  QApplication::setDesktopFileName(QStringLiteral("tunewright"));

  tw::shell::TShellServices services;
  services.Dialogs = tw::shell::CreateStandardDialogs();
  services.CreatePlayer = [] { return tw::shell::CreateMediaPlayer(); };
  services.CreatePreview = [](QWidget* parent) { return tw::shell::CreatePlainPreview(parent); };
  tw::shell::TFormMain window(std::move(services));
  window.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1 && QFileInfo(args[1]).suffix().compare(QStringLiteral("prj"),
                                                             Qt::CaseInsensitive) == 0)
    window.OpenProjectFile(args[1]);
  return QApplication::exec();
}
