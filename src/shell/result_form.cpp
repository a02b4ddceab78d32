#include "shell/result_form.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <functional>

#include "shell/texts.h"
#include "shell/widgets.h"
#include "util/files.h"

namespace tw::shell {

namespace fs = std::filesystem;

namespace {

// A label that reads as a web link and answers a click.
class TLinkLabel : public QLabel {
 public:
  explicit TLinkLabel(QWidget* parent) : QLabel(parent) {
    setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    setCursor(Qt::PointingHandCursor);
  }
  std::function<void()> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick)
      OnClick();
    QLabel::mouseReleaseEvent(event);
  }
};

// A name the run gave its file, as a path below the output folder; empty for one that would
// lead out of it.
fs::path BelowFolder(const std::string& name) {
  const fs::path rel = fs::path(name).lexically_normal();
  if (rel.empty() || rel.is_absolute() || *rel.begin() == "..") return {};
  return rel;
}

// Copies the generated files into the folder, each in place of a file of the same name. The
// copy goes through a temporary, so a failed one leaves the old file whole, and a target that is
// the source itself (the output folder chosen again) is left alone instead of being emptied.
// Failures are not reported; the other files are still copied.
void CopyGeneratedFiles(const fs::path& from, const std::vector<std::string>& names,
                        const fs::path& to) {
  for (const std::string& name : names) {
    const fs::path rel = BelowFolder(name);
    if (rel.empty()) continue;
    const fs::path source = from / rel, target = to / rel;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) continue;
    if (fs::equivalent(source, target, ec)) continue;
    fs::create_directories(target.parent_path(), ec);  // the emulator's files lie in a folder
    try {
      WriteFileAtomic(target, [&](const fs::path& temp) {
        fs::copy_file(source, temp, fs::copy_options::overwrite_existing);
      });
    } catch (const std::exception&) {
    }
  }
}

}  // namespace

TFormResult::TFormResult(QWidget* parent, const TShellServices& services,
                         const TLanguage& language)
    : QDialog(parent), FServices(services) {
  setObjectName(QStringLiteral("TFormResult"));
  setFixedSize(930, 490);

  GrpFile = Named(new QGroupBox(this), "GrpFile");
  LblFile = Named(new QLabel(GrpFile), "LblFile");
  LblFile->setWordWrap(true);
  LblFile->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LblFile->setFixedHeight(LblFile->fontMetrics().lineSpacing() * 3 + 4);
  auto* link = new TLinkLabel(GrpFile);
  link->OnClick = [this] { LblFolderClick(); };
  LblFolder = link;
  LblFolder->setObjectName(QStringLiteral("LblFolder"));
  LblFolder->setTextInteractionFlags(Qt::NoTextInteraction);
  ListViewFiles = Named(new QTreeWidget(GrpFile), "ListViewFiles");
  ListViewFiles->setColumnCount(2);
  ListViewFiles->setRootIsDecorated(false);
  ListViewFiles->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListViewFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewFiles->header()->setStretchLastSection(true);
  ListViewFiles->header()->setSectionResizeMode(0, QHeaderView::Fixed);
  ListViewFiles->setColumnWidth(0, 30);
  auto* files = new QVBoxLayout(GrpFile);
  files->addWidget(LblFile);
  files->addWidget(LblFolder);
  files->addWidget(ListViewFiles, 1);

  GbxPublishHTML = Named(new QGroupBox(this), "GbxPublishHTML");
  LblPublishHTML = Named(new QLabel(GbxPublishHTML), "LblPublishHTML");
  LblPublishHTML->setWordWrap(true);
  BtnCopyHTML = Named(new QPushButton(GbxPublishHTML), "BtnCopyHTML");
  MemoPublishHTML = Named(new QPlainTextEdit(GbxPublishHTML), "MemoPublishHTML");
  MemoPublishHTML->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* html = new QVBoxLayout(GbxPublishHTML);
  html->addWidget(LblPublishHTML);
  html->addWidget(BtnCopyHTML, 0, Qt::AlignLeft);
  html->addWidget(MemoPublishHTML, 1);

  LblAction = Named(new QLabel(this), "LblAction");
  CmbAction = Named(new QComboBox(this), "CmbAction");
  CmbAction->setMinimumWidth(320);
  BtnAction = Named(new QPushButton(this), "BtnAction");
  BtnClose = Named(new QPushButton(this), "BtnClose");
  BtnClose->setDefault(true);

  auto* groups = new QHBoxLayout;
  groups->addWidget(GrpFile, 1);
  groups->addWidget(GbxPublishHTML, 1);
  auto* actions = new QHBoxLayout;
  actions->addWidget(LblAction);
  actions->addWidget(CmbAction);
  actions->addWidget(BtnAction);
  actions->addStretch(1);
  actions->addWidget(BtnClose);
  auto* box = new QVBoxLayout(this);
  box->addLayout(groups, 1);
  box->addLayout(actions);

  connect(BtnCopyHTML, &QPushButton::clicked, this, [this] { BtnCopyHTMLClick(); });
  connect(BtnAction, &QPushButton::clicked, this, [this] { BtnActionClick(); });
  connect(BtnClose, &QPushButton::clicked, this, &QDialog::accept);

  // Three empty entries hold the place until the texts fill them.
  CmbAction->addItems({QString(), QString(), QString()});
  CmbAction->setCurrentIndex(OpenPage);
  LblFolder->hide();
  ApplyTexts(language);
}

void TFormResult::ApplyTexts(const TLanguage& lang) {
  setWindowTitle(Tr(lang, "Result"));
  GrpFile->setTitle(Tr(lang, "Generated files"));
  FUploadText = Tr(lang,
                   "Please upload all of these files to your webserver. These files are located in:");
  FNothingText = Tr(lang,
                    "You have not generated a Flash MP3 Player. Please select music files, and "
                    "click \"Publish\" button in \"Publish\" panel firstly.");
  ShowFileText();
  ListViewFiles->setHeaderLabels({QStringLiteral("#"), Tr(lang, "File name")});
  GbxPublishHTML->setTitle(Tr(lang, "HTML code"));
  LblPublishHTML->setText(Tr(
      lang, "Please copy and paste this code to every webpage you want the Flash MP3 Player to appear:"));
  BtnCopyHTML->setText(Tr(lang, "Copy HTML code to clipboard"));
  BtnCopyHTML->setToolTip(Tr(lang, "Copy HTML code to clipboard and paste it to your webpage"));
  LblAction->setText(Tr(lang, "To-Do List") + QStringLiteral(":"));
  FCopyTitle = Tr(lang, "Copy Generated Files to Directory");
  const int action = CmbAction->currentIndex();
  CmbAction->clear();
  CmbAction->addItems({Tr(lang, "Browse Generated Files"),
                       Tr(lang, "Open Flash MP3 Player with Web Browser"),
                       FCopyTitle + QStringLiteral(" ... ")});
  CmbAction->setCurrentIndex(action);
  BtnAction->setText(Tr(lang, "Go"));
  BtnClose->setText(Tr(lang, "Close"));
}

bool TFormResult::HasFiles() const {
  return !LblFolder->isHidden() && ListViewFiles->topLevelItemCount() > 0;
}

void TFormResult::ShowFileText() { LblFile->setText(HasFiles() ? FUploadText : FNothingText); }

void TFormResult::ShowResult(const app::TPublishResult& result) {
  ListViewFiles->clear();
  // The option of the run whose files are listed: a run that did not finish left no result.
  FPublishOption = result.Option;
  LblFolder->setVisible(!result.Files.empty());
  LblFolder->setText(result.Files.empty() ? QString() : QString::fromStdString(result.Folder));
  int number = 0;
  for (const std::string& name : result.Files)
    new QTreeWidgetItem(ListViewFiles,
                        {QString::number(++number), QString::fromStdString(name)});
  ShowFileText();
  MemoPublishHTML->setPlainText(QString::fromStdString(result.EmbedCode));
  FResultName = result.Name;
  ShowModal(FServices, *this);
}

void TFormResult::LblFolderClick() { OpenWithShell(FServices, LblFolder->text()); }

void TFormResult::BtnCopyHTMLClick() {
  MemoPublishHTML->selectAll();
  MemoPublishHTML->copy();
}

void TFormResult::BtnActionClick() {
  if (!HasFiles()) return;
  // The output folder ends with "/": names are appended to it directly.
  const QString folder = LblFolder->text();
  std::vector<std::string> names;
  for (int i = 0; i < ListViewFiles->topLevelItemCount(); ++i)
    names.push_back(ListViewFiles->topLevelItem(i)->text(1).toStdString());
  switch (CmbAction->currentIndex()) {
    case BrowseFiles:
      OpenWithShell(FServices, folder);
      break;
    case OpenPage:
      if (FPublishOption == app::TPublishOption::MusicFiles) {
        for (const std::string& name : names)
          if (QString::fromStdString(name).endsWith(QStringLiteral(".html"), Qt::CaseInsensitive)) {
            OpenWithShell(FServices, folder + QString::fromStdString(name));
            break;
          }
      } else {
        OpenWithShell(FServices, folder + QString::fromStdString(FResultName) +
                                     QStringLiteral(".html"));
      }
      break;
    case CopyFiles: {
      const QString target =
          FServices.Dialogs->Folder(this, FCopyTitle + QStringLiteral(":"), QString());
      if (!target.isEmpty())
        CopyGeneratedFiles(folder.toStdString(), names, target.toStdString());
      break;
    }
    default:
      break;
  }
}

}  // namespace tw::shell
