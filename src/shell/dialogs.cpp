#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "shell/services.h"

namespace tw::shell {

namespace {

class TStandardDialogs : public TDialogs {
 public:
  void Error(QWidget* parent, const QString& text) override {
    QMessageBox::critical(parent, QStringLiteral("Error"), text, QMessageBox::Ok);
  }

  TCloseAnswer AskSaveBeforeExit(QWidget* parent) override {
    const auto answer = QMessageBox::question(
        parent, QStringLiteral("Dovetek Tunewright"),
        QStringLiteral("Save the current project before exiting?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return TCloseAnswer::Yes;
    if (answer == QMessageBox::No) return TCloseAnswer::No;
    return TCloseAnswer::Cancel;
  }

  QStringList OpenFiles(QWidget* parent, const QString& title, const QString& folder,
                        const QStringList& filters, bool many) override {
    QFileDialog dialog(parent, title, folder);
    dialog.setFileMode(many ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
  }

  QString SaveProjectFile(QWidget* parent, const QString& folder) override {
    for (;;) {
      QFileDialog dialog(parent, QStringLiteral("Save Project"), folder);
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setNameFilter(QStringLiteral("Project configuration files (*.prj)"));
      dialog.setDefaultSuffix(QStringLiteral("prj"));
      // The dialog asks before replacing a file.
      if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
      const QString target = dialog.selectedFiles().front();
      const QFileInfo info(target);
      if (info.exists() && !info.isWritable()) {
        QMessageBox::warning(parent, QStringLiteral("Save Project"),
                             target + QStringLiteral(" is read-only.\nChoose another file."));
        continue;
      }
      return target;
    }
  }

  QString Folder(QWidget* parent, const QString& title, const QString& start) override {
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
  }

  bool Color(QWidget* parent, unsigned& rgb) override {
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(rgb), parent);
    if (!chosen.isValid()) return false;
    rgb = chosen.rgb() & 0xFFFFFFu;
    return true;
  }
};

}  // namespace

std::unique_ptr<TDialogs> CreateStandardDialogs() { return std::make_unique<TStandardDialogs>(); }

}  // namespace tw::shell
