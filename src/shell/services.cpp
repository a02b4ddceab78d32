#include "shell/services.h"

#include <QDate>
#include <QDesktopServices>
#include <QDialog>
#include <QUrl>

#include "shell/settings.h"

namespace tw::shell {

namespace chr = std::chrono;

chr::year_month_day CurrentDate(const TShellServices& services) {
  if (services.Today) return services.Today();
  // The local calendar day, as the user reads it off the clock.
  const QDate today = QDate::currentDate();
  return {chr::year(today.year()), chr::month(static_cast<unsigned>(today.month())),
          chr::day(static_cast<unsigned>(today.day()))};
}

void OpenWithShell(const TShellServices& services, const QString& target) {
  if (services.OpenUrl) {
    services.OpenUrl(target);
    return;
  }
  // A failed launch is not reported: the desktop's opener says nothing useful about why.
  QDesktopServices::openUrl(target.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(target)
                                                                : QUrl(target));
}

std::filesystem::path UserSettingsFile(const TShellServices& services) {
  return services.SettingsFile.empty() ? UserSettingsPath() : services.SettingsFile;
}

int ShowModal(const TShellServices& services, QDialog& dialog) {
  if (!services.ShowModal) return dialog.exec();
  dialog.setResult(QDialog::Rejected);
  services.ShowModal(dialog);
  return dialog.result();
}

}  // namespace tw::shell
