#include "shell/progress_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

namespace tw::shell {

namespace {

// Longest first, so that "Converting files" is not taken for "Converting".
constexpr std::string_view kProgressMessages[] = {"Generating Flash player", "Generating HTML page",
                                                  "Converting files", "Reencoding", "Converting"};

}  // namespace

TFormConvertProcessing::TFormConvertProcessing(QWidget* parent, const TLanguage& lang)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("TFormConvertProcessing"));
  FTexts.Bind([this](const TLanguage& l) { setWindowTitle(Tr(l, "Converting") + QStringLiteral(" ... ")); });
  FTexts.Bind([this](const TLanguage& l) {
    FMessages.clear();
    for (std::string_view key : kProgressMessages) FMessages.emplace_back(key, Tr(l, key));
  });
  setModal(false);
  auto* grid = new QGridLayout(this);
  lblConvertSingleFile = new QLabel(this);
  lblConvertSingleProcessing = new QLabel(this);
  pbConvertSingleFile = new QProgressBar(this);
  lblConvertFiles = new QLabel(this);
  lblConvertFilesProcessing = new QLabel(this);
  pbConvertFiles = new QProgressBar(this);
  btnCancel = FTexts.Text(new QPushButton(this), "Cancel");
  for (QProgressBar* bar : {pbConvertSingleFile, pbConvertFiles}) bar->setTextVisible(false);
  lblConvertSingleFile->setObjectName(QStringLiteral("lblConvertSingleFile"));
  lblConvertSingleProcessing->setObjectName(QStringLiteral("lblConvertSingleProcessing"));
  lblConvertFiles->setObjectName(QStringLiteral("lblConvertFiles"));
  lblConvertFilesProcessing->setObjectName(QStringLiteral("lblConvertFilesProcessing"));
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  lblConvertSingleFile->setMinimumWidth(360);
  grid->addWidget(lblConvertSingleFile, 0, 0);
  grid->addWidget(lblConvertSingleProcessing, 0, 1, Qt::AlignRight);
  grid->addWidget(pbConvertSingleFile, 1, 0, 1, 2);
  auto* songs = new QWidget(this);
  songs->setObjectName(QStringLiteral("pnlRunningSongs"));
  FSongGrid = new QGridLayout(songs);
  FSongGrid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(songs, 2, 0, 1, 2);
  grid->addWidget(lblConvertFiles, 3, 0);
  grid->addWidget(lblConvertFilesProcessing, 3, 1, Qt::AlignRight);
  grid->addWidget(pbConvertFiles, 4, 0, 1, 2);
  grid->addWidget(btnCancel, 5, 0, 1, 2, Qt::AlignCenter);
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    btnCancel->setEnabled(false);  // answered at once; the run stops at its next checkpoint
    if (OnCancel) OnCancel();
  });
  ApplyTexts(lang);
}

void TFormConvertProcessing::ApplyTexts(const TLanguage& lang) { FTexts.Apply(lang); }

QString TFormConvertProcessing::Translated(const std::string& text) const {
  for (const auto& [english, translated] : FMessages)
    if (text.starts_with(english)) return translated + QString::fromStdString(text.substr(english.size()));
  return QString::fromStdString(text);
}

void TFormConvertProcessing::ShowSongs(const std::vector<app::TSongProgress>& running) {
  const auto percentText = [](int percent) { return QString::number(percent) + QStringLiteral("%"); };
  if (running.size() > 1) {
    lblConvertSingleFile->setText(Translated(running[0].Action));
    lblConvertSingleProcessing->setText(percentText(running[0].Percent));
    pbConvertSingleFile->setValue(running[0].Percent);
  }
  const size_t more = running.empty() ? 0 : running.size() - 1;
  while (FSongLines.size() < more) {
    const int row = static_cast<int>(FSongLines.size()) * 2;
    const QString number = QString::number(FSongLines.size() + 2);
    TSongLine line{new QLabel(this), new QLabel(this), new QProgressBar(this)};
    line.Action->setObjectName(QStringLiteral("lblRunningSong") + number);
    line.Processing->setObjectName(QStringLiteral("lblRunningSongProcessing") + number);
    line.Bar->setObjectName(QStringLiteral("pbRunningSong") + number);
    line.Bar->setRange(0, 100);
    line.Bar->setTextVisible(false);
    FSongGrid->addWidget(line.Action, row, 0);
    FSongGrid->addWidget(line.Processing, row, 1, Qt::AlignRight);
    FSongGrid->addWidget(line.Bar, row + 1, 0, 1, 2);
    for (QWidget* w : {static_cast<QWidget*>(line.Action), static_cast<QWidget*>(line.Processing),
                       static_cast<QWidget*>(line.Bar)}) {
      QSizePolicy policy = w->sizePolicy();
      policy.setRetainSizeWhenHidden(true);
      w->setSizePolicy(policy);
    }
    FSongLines.push_back(line);
  }
  for (size_t i = 0; i < FSongLines.size(); ++i) {
    const TSongLine& line = FSongLines[i];
    const bool shown = i < more;
    if (shown) {
      const app::TSongProgress& song = running[i + 1];
      line.Action->setText(Translated(song.Action));
      line.Processing->setText(percentText(song.Percent));
      line.Bar->setValue(song.Percent);
    }
    line.Action->setVisible(shown);
    line.Processing->setVisible(shown);
    line.Bar->setVisible(shown);
  }
}

void TFormConvertProcessing::ShowState(const app::TProgressState& s) {
  lblConvertSingleFile->setText(Translated(s.SingleFile));
  lblConvertSingleProcessing->setText(Translated(s.SingleProcessing));
  pbConvertSingleFile->setRange(0, 100);
  pbConvertSingleFile->setValue(s.SinglePercent);
  ShowSongs(s.Running);
  lblConvertFiles->setText(Translated(s.Files));
  lblConvertFilesProcessing->setText(Translated(s.FilesProcessing));
  pbConvertFiles->setRange(0, std::max(s.FilesMax, 1));
  pbConvertFiles->setValue(s.FilesPosition);
  if (s.Visible && !isVisible()) {
    if (parentWidget()) {
      adjustSize();
      move(parentWidget()->geometry().center() - rect().center());
    }
    show();
  } else if (!s.Visible && isVisible()) {
    hide();
  }
}

void TWindowHost::OnGui(std::function<void()> fn, bool wait) {
  if (QThread::currentThread() == FGui->thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(FGui, std::move(fn),
                            wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void TWindowHost::ProgressChanged(const app::TProgressState& state) {
  if (FCallbacks.Progress) OnGui([this, state] { FCallbacks.Progress(state); }, false);
}

void TWindowHost::ShowError(const std::string& text) {
  if (FCallbacks.Error)
    OnGui([this, t = QString::fromStdString(text)] { FCallbacks.Error(t); }, true);
}

void TWindowHost::ShowMusicPage() {
  if (FCallbacks.MusicPage) OnGui([this] { FCallbacks.MusicPage(); }, false);
}

}  // namespace tw::shell
