#include "shell/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/music_info.h"
#include "app/music_list.h"
#include "app/paths.h"
#include "app/project_file.h"
#include "app/snapshots.h"
#include "app/stage_movie.h"
#include "app/templates.h"
#include "shell/links.h"
#include "shell/preview_display.h"
#include "shell/progress_form.h"
#include "shell/result_form.h"
#include "shell/settings.h"
#include "shell/small_forms.h"
#include "shell/texts.h"
#include "shell/update_form.h"
#include "shell/widgets.h"

namespace tw::shell {

namespace fs = std::filesystem;
using namespace tw::app;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// The platform colour (red in the low byte) and Qt's 0xRRGGBB.
unsigned ToRgb(TColor c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
TColor FromRgb(unsigned rgb) {
  return MakeColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                   static_cast<uint8_t>(rgb));
}

void SetSwatch(QPushButton* button, TColor color) {
  button->setProperty("rgb", ToRgb(color));
  button->setStyleSheet(QStringLiteral("background-color: #%1;")
                            .arg(ToRgb(color), 6, 16, QLatin1Char('0')));
}

QSpinBox* Spin(QWidget* parent, const char* name, int min, int max) {
  auto* spin = Named(new QSpinBox(parent), name);
  spin->setRange(min, max);
  return spin;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items) {
  auto* combo = Named(new QComboBox(parent), name);
  combo->addItems(items);
  return combo;
}

template <size_t N>
QStringList Captions(const std::array<TEncoderValue, N>& table) {
  QStringList list;
  for (const TEncoderValue& v : table) list << QString::fromUtf8(v.Caption.data(),
                                                                  static_cast<int>(v.Caption.size()));
  return list;
}

// A host for what runs on the window's own thread outside a publish run (project files, the
// preview): messages go to a function, the rest has nothing to show.
class TInlineHost : public THost {
 public:
  explicit TInlineHost(std::function<void(const std::string&)> error) : FError(std::move(error)) {}
  void ProgressChanged(const TProgressState&) override {}
  void ProcessMessages() override {}
  bool CancelRequested() override { return false; }
  void ClearCancel() override {}
  void ShowError(const std::string& text) override {
    if (FError) FError(text);
  }
  void ShowResult(const TPublishResult&) override {}

 private:
  std::function<void(const std::string&)> FError;
};

// Reads a whole file of at most the project file's size limit; the reason when it cannot.
bool ReadWhole(const std::string& path, std::string& text, std::string& problem) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) {
    problem = ec.message();
    return false;
  }
  if (size > kMaxProjectFileSize) {
    problem = "the file is too large for a project file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (!in.good() && !in.eof()) {
    problem = "the file cannot be read";
    return false;
  }
  text = buffer.str();
  return true;
}

QStringList LocalFiles(const QMimeData* mime) {
  QStringList files;
  if (!mime || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files << url.toLocalFile();
  return files;
}

constexpr int kListeningUnits = 1000;  // the listening bar counts milliseconds

// The texts the window shows in messages and dialogs, kept translated.
constexpr std::string_view kMessages[] = {
    "Please select a file!", "Please add music file!", "Select output folder", "Open Project",
    "Add Songs", "Add image and Flash movie", "Default size of Flash Movie"};

}  // namespace

// ---- Creation --------------------------------------------------------------------------------

TFormMain::TFormMain(TShellServices services, QWidget* parent)
    : QMainWindow(parent), FServices(std::move(services)) {
  setObjectName(QStringLiteral("TFormMain"));
  FTexts.Bind([this](const TLanguage& l) { setWindowTitle(Tr(l, "Dovetek Tunewright")); });
  if (FServices.ProgramFolder.empty()) FServices.ProgramFolder = ProgramFolder();
  if (!FServices.Dialogs) FServices.Dialogs = CreateStandardDialogs();
  if (FServices.SettingsFile.empty()) FServices.SettingsFile = UserSettingsPath();
  // The remembered language, read before any window is made: each applies it at its creation.
  FLanguage = TLanguage::Load(LanguageFilePath(FServices.ProgramFolder,
                                               LoadUserSettings(FServices.SettingsFile).Language));

  // The working folder, its output folder and the sample playlist the preview movie reads.
  FUserData = UserDataFolder();
  std::error_code ec;
  fs::create_directories(FUserData + "output/", ec);
  if (!fs::exists(FUserData + "preview.xml", ec))
    fs::copy_file(FServices.ProgramFolder + "preview.xml", FUserData + "preview.xml", ec);

  FMp3Edit = new TFormMp3Edit(this, FLanguage);
  FAbout = new TFormAbout(this, FLanguage);
  FResult = new TFormResult(this, FServices, FLanguage);
  FUpdate = new TFormUpdate(this, FServices, FLanguage);

  TimerPreview = new QTimer(this);
  TimerPreview->setInterval(250);
  FListenTimer = new QTimer(this);
  FListenTimer->setInterval(1000);

  BuildMenus();
  auto* central = new QWidget(this);
  auto* row = new QHBoxLayout(central);
  NavMain = Named(new QListWidget(central), "NavMain");
  auto* navGroup = new QListWidgetItem(NavMain);
  navGroup->setFlags(Qt::NoItemFlags);
  FTexts.Text(navGroup, "Tasks");
  for (const char* item : {"Add Songs", "Flash Player", "Publish"})
    FTexts.Text(new QListWidgetItem(NavMain), item);
  NavMain->setFixedWidth(150);
  FPages = new QStackedWidget(central);
  FPages->addWidget(BuildMusicPage());
  FPages->addWidget(BuildPlayerPage());
  FPages->addWidget(BuildPublishPage());
  row->addWidget(NavMain);
  row->addWidget(FPages, 1);
  setCentralWidget(central);
  statusBar();

  FPlayer = FServices.CreatePlayer ? FServices.CreatePlayer() : nullptr;
  if (FPlayer) {
    FPlayer->OnEnd = [this] { btnStopMp3Click(); };
    FPlayer->OnLength = [this] {
      pbMp3Progress->setMaximum(static_cast<int>(std::max<qint64>(FPlayer->Length(), 1)));
    };
  }

  // The project: defaults, the template and preloader lists, then the start-up project.
  FProject = MakeDefaultProject();
  LoadTemplatesAndPreloaders(FProject, FServices.ProgramFolder + "player/",
                             FServices.ProgramFolder + "preloader/");
  Connect();
  FillFromProject();
  ShowPage(MusicPage);
  ApplyText({});  // the start-up project below
  ApplyTexts(FLanguage);
  resize(1167, 900);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (FServices.RunTimers) TimerPreview->start();
  FBusy = false;
  BtnPreviewClick();
}

TFormMain::~TFormMain() = default;

void TFormMain::BuildMenus() {
  auto action = [this](const char* name, const QString& text, auto slot) {
    auto* a = new QAction(text, this);
    a->setObjectName(QLatin1String(name));
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  QAction* newProject = action("mnuNewProject", QStringLiteral("New Project"), [this] { NewProject(); });
  QAction* openProject = action("mnuOpenProject", QStringLiteral("Open Project"), [this] {
    const QStringList files = FServices.Dialogs->OpenFiles(
        this, Message("Open Project"), QDir::currentPath(),
        {QStringLiteral("Project configuration files (*.prj)")}, false);
    if (!files.isEmpty()) OpenProjectFile(files.front());
  });
  QAction* saveProject =
      action("mnuSaveProjectAs", QStringLiteral("Save Project"), [this] { SaveProjectAs(); });
  QAction* exit = action("mnuExit", QStringLiteral("Exit"), [this] { close(); });
  QAction* music = action("mnuMP3", QStringLiteral("Add Songs"), [this] { ShowPage(MusicPage); });
  QAction* player = action("mnuSWF", QStringLiteral("Flash Player"), [this] { ShowPage(PlayerPage); });
  QAction* publish = action("mnuPublish", QStringLiteral("Publish"), [this] { ShowPage(PublishPage); });
  FResultAction = action("mnuResult", QStringLiteral("Result Window"), [this] { BtnResultClick(); });
  QAction* update =
      action("mnuUpdate", QStringLiteral("Check for Updates"), [this] { FUpdate->CheckNow(); });
  QAction* help = action("mnuHelpDoc", QStringLiteral("Help Document"), [this] {
    OpenUrl(Q(FServices.ProgramFolder) + QStringLiteral("help/index.html"));
  });
  QAction* faq = action("mnuOnlineFaq", QStringLiteral("Online FAQ"),
                        [this] { OpenUrl(QLatin1String(links::kFaqPage)); });
  QAction* home = action("mnuHomepage", QStringLiteral("Homepage"),
                         [this] { OpenUrl(QLatin1String(links::kHomePage)); });
  QAction* contact = action("mnuContactus", QStringLiteral("Contact Us"),
                            [this] { OpenUrl(QLatin1String(links::kContactPage)); });
  QAction* about = action("mnuAbout", QStringLiteral("About ..."), [this] { FAbout->exec(); });
  for (const auto& [a, key] : std::initializer_list<std::pair<QAction*, const char*>>{
           {newProject, "New Project"}, {openProject, "Open Project"}, {saveProject, "Save Project"},
           {exit, "Exit"}, {music, "Add Songs"}, {player, "Flash Player"}, {publish, "Publish"},
           {FResultAction, "Result Window"}, {update, "Check for Updates"},
           {help, "Help Document"}, {faq, "Online FAQ"}, {home, "Homepage"},
           {contact, "Contact Us"}})
    FTexts.Text(a, key);
  FTexts.Text(about, "About", " ...");

  QMenu* project = FTexts.Title(menuBar()->addMenu(QString()), "Project");
  project->addActions({newProject, openProject, saveProject});
  project->addSeparator();
  project->addAction(exit);
  QMenu* tasks = FTexts.Title(menuBar()->addMenu(QString()), "Tasks");
  tasks->addActions({music, player, publish});
  tasks->addSeparator();
  tasks->addAction(FResultAction);
  QMenu* helpMenu = FTexts.Title(menuBar()->addMenu(QString()), "Help");
  QMenu* languages = FTexts.Title(helpMenu->addMenu(QString()), "Languages");
  languages->setObjectName(QStringLiteral("mnuLanguages"));
  BuildLanguageMenu(languages);
  helpMenu->addActions({update, help, faq, home, contact});
  helpMenu->addSeparator();
  helpMenu->addAction(about);

  QToolBar* bar = addToolBar(QStringLiteral("Tools"));
  bar->setObjectName(QStringLiteral("ToolBar"));
  bar->setMovable(false);
  // The buttons trigger their actions but keep texts of their own: a caption (none for new,
  // open and save) and a hint.
  const auto tool = [&](QAction* a, const char* name, const char* caption, const char* hint,
                        QStyle::StandardPixmap icon) {
    auto* button = Named(new QToolButton(bar), name);
    connect(button, &QToolButton::clicked, a, &QAction::trigger);
    button->setIcon(style()->standardIcon(icon));
    if (caption) {
      FTexts.Text(button, caption);
      button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    } else {
      button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    FTexts.Hint(button, hint);
    bar->addWidget(button);
  };
  tool(newProject, "btnNewProject", nullptr, "New Project", QStyle::SP_FileIcon);
  tool(openProject, "btnOpenProject", nullptr, "Open Project", QStyle::SP_DialogOpenButton);
  tool(saveProject, "btnSaveProjectAs", nullptr, "Save Project", QStyle::SP_DialogSaveButton);
  bar->addSeparator();
  tool(FResultAction, "btnResult", "Result", "Click to Display Result Window",
       QStyle::SP_FileDialogDetailedView);
  bar->addSeparator();
  tool(update, "btnUpdate", "Update", "Check for Updates", QStyle::SP_BrowserReload);
  tool(help, "btnHelpDoc", "Help", "Help Document", QStyle::SP_DialogHelpButton);
}

void TFormMain::BuildLanguageMenu(QMenu* menu) {
  // The captions are the files' own names: they stay as they are in every language.
  const fs::path folder = LanguageFolder(FServices.ProgramFolder);
  for (const std::string& file : LanguageFiles(folder)) {
    QAction* item = menu->addAction(Q(LanguageCaption(file)));
    connect(item, &QAction::triggered, this, [this, file, folder] {
      TUserSettings settings = LoadUserSettings(FServices.SettingsFile);
      settings.Language = file;
      SaveUserSettings(FServices.SettingsFile, settings);  // a failure keeps the choice for now
      ApplyLanguage(folder / file);
    });
  }
}

void TFormMain::ApplyLanguage(const fs::path& file) {
  FLanguage = TLanguage::Load(file);
  ApplyTexts(FLanguage);
  FMp3Edit->ApplyTexts(FLanguage);
  if (FProgress) FProgress->ApplyTexts(FLanguage);
  FAbout->ApplyTexts(FLanguage);
  FUpdate->ApplyTexts(FLanguage);
  FUpdate->CheckUpdate()->ApplyTexts(FLanguage);
  FResult->ApplyTexts(FLanguage);
}

void TFormMain::ApplyTexts(const TLanguage& lang) {
  ++FFilling;  // no change handler runs while the lists are translated
  FTexts.Apply(lang);
  FMessages.clear();
  for (std::string_view key : kMessages) FMessages.emplace(key, Tr(lang, key));
  ShowDefaultSizeText();
  --FFilling;
}

QString TFormMain::Message(std::string_view english) const {
  const auto it = FMessages.find(english);
  return it != FMessages.end() ? it->second : QString::fromUtf8(english.data(), static_cast<int>(english.size()));
}

namespace {

QWidget* Heading(QWidget* parent, TTextBindings& texts, std::string_view step,
                 std::string_view text) {
  auto* label = new QLabel(parent);
  label->setWordWrap(true);
  texts.Bind([label, step, text](const TLanguage& l) {
    label->setText(
        QStringLiteral("<h2>%1</h2>%2").arg(Tr(l, step).toHtmlEscaped(), Tr(l, text).toHtmlEscaped()));
  });
  return label;
}

}  // namespace

QWidget* TFormMain::BuildMusicPage() {
  auto* page = Named(new QWidget, "pnlMp3");
  auto* box = new QVBoxLayout(page);
  box->addWidget(Heading(page, FTexts, "Step 1", "Select music files"));
  auto* tools = new QHBoxLayout;
  pmMp3 = Named(new QMenu(page), "pmMp3");
  // Icon buttons with the text as their hint; the list's context menu shows the same texts.
  const auto button = [&](const char* name, const char* text, QStyle::StandardPixmap icon, auto slot) {
    auto* b = Named(new QPushButton(style()->standardIcon(icon), QString(), page), name);
    FTexts.Hint(b, text);
    connect(b, &QPushButton::clicked, this, slot);
    tools->addWidget(b);
    QAction* a = FTexts.Text(pmMp3->addAction(QString(), this, slot), text);
    a->setObjectName(QStringLiteral("pm_") + QLatin1String(name));
    return b;
  };
  button("btnAddMp3", "Add music files", QStyle::SP_FileDialogNewFolder, [this] { btnAddMp3Click(); });
  button("btnRemoveMp3", "Remove the selected file", QStyle::SP_DialogDiscardButton,
         [this] { btnRemoveMp3Click(); });
  button("btnUpMp3", "Move the selected file up", QStyle::SP_ArrowUp, [this] { MoveSong(true); });
  button("btnDownMp3", "Move the selected file down", QStyle::SP_ArrowDown,
         [this] { MoveSong(false); });
  button("btnEditMp3", "Edit ID3 tag of the selected file", QStyle::SP_FileDialogContentsView,
         [this] { btnEditMp3Click(); });
  btnPlayMp3 = button("btnPlayMp3", "Play the selected file", QStyle::SP_MediaPlay,
                      [this] { btnPlayMp3Click(); });
  btnStopMp3 = button("btnStopMp3", "Stop playing", QStyle::SP_MediaStop, [this] { btnStopMp3Click(); });
  tools->addStretch();
  box->addLayout(tools);

  lvMp3 = Named(new QTreeWidget(page), "lvMp3");
  FTexts.Heads(lvMp3, {"File name", "Duration", "Title", "Artist"});
  lvMp3->setRootIsDecorated(false);
  lvMp3->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvMp3->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvMp3->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvMp3->setColumnWidth(0, 125 * 2);
  lvMp3->setColumnWidth(1, 90);
  lvMp3->setColumnWidth(2, 110 * 2);
  lvMp3->setContextMenuPolicy(Qt::CustomContextMenu);
  lvMp3->setAcceptDrops(true);
  lvMp3->viewport()->setAcceptDrops(true);
  lvMp3->viewport()->setProperty("twDrop", QStringLiteral("music"));
  lvMp3->viewport()->installEventFilter(this);
  box->addWidget(lvMp3, 1);
  pbMp3Progress = Named(new QProgressBar(page), "pbMp3Progress");
  pbMp3Progress->setRange(0, 100);
  pbMp3Progress->setTextVisible(false);
  pbMp3Progress->setMaximumHeight(8);
  pbMp3Progress->hide();
  box->addWidget(pbMp3Progress);

  auto* encoding = FTexts.Title(new QGroupBox(page), "MP3 encoding");
  auto* grid = new QGridLayout(encoding);
  ChkReencode = FTexts.Text(Named(new QCheckBox(encoding), "ChkReencode"), "Reencoding music data");
  std::vector<std::string_view> presets;
  for (const TEncodingPreset& p : kPresets) presets.push_back(p.Caption);
  cbbEncodingOptions = FTexts.Items(Named(new QComboBox(encoding), "cbbEncodingOptions"), presets);
  cbbSampleRate = Combo(encoding, "cbbSampleRate", Captions(kSampleRates));
  cbbBitRate = Combo(encoding, "cbbBitRate", Captions(kBitRates));
  cbbChannels = Combo(encoding, "cbbChannels", Captions(kChannels));
  grid->addWidget(ChkReencode, 0, 0);
  grid->addWidget(FTexts.Text(new QLabel(encoding), "Preset:"), 0, 1);
  grid->addWidget(cbbEncodingOptions, 0, 2, 1, 3);
  grid->addWidget(FTexts.Text(new QLabel(encoding), "Sampling rate:"), 1, 0);
  grid->addWidget(cbbSampleRate, 1, 1);
  grid->addWidget(FTexts.Text(new QLabel(encoding), "Bit rate:"), 1, 2);
  grid->addWidget(cbbBitRate, 1, 3);
  grid->addWidget(FTexts.Text(new QLabel(encoding), "Channels:"), 1, 4);
  grid->addWidget(cbbChannels, 1, 5);
  box->addWidget(encoding);
  return page;
}

QWidget* TFormMain::BuildPlayerPage() {
  auto* page = Named(new QWidget, "pnlSWF");
  auto* box = new QVBoxLayout(page);
  box->addWidget(Heading(page, FTexts, "Step 2", "Select and customize Flash MP3 player"));
  auto* top = new QHBoxLayout;
  auto* previewArea = Named(new QWidget(page), "flashPlayerStyle");
  auto* previewBox = new QVBoxLayout(previewArea);
  previewBox->setContentsMargins(0, 0, 0, 0);
  FPreview = FServices.CreatePreview ? FServices.CreatePreview(previewArea) : nullptr;
  if (FPreview) previewBox->addWidget(FPreview->Widget(), 1);
  lblPreviewProblem = Named(new QLabel(previewArea), "lblPreviewProblem");
  lblPreviewProblem->setWordWrap(true);
  lblPreviewProblem->hide();
  previewBox->addWidget(lblPreviewProblem);
  top->addWidget(previewArea, 3);

  auto* select = FTexts.Title(new QGroupBox(page), "Select player");
  auto* sbox = new QVBoxLayout(select);
  cbbPlayerStyle = Named(new QComboBox(select), "cbbPlayerStyle");
  lstOptions = Named(new QTableWidget(0, 2, select), "lstOptions");
  // The template's own captions name the rows; the grid needs no heads.
  lstOptions->horizontalHeader()->hide();
  lstOptions->horizontalHeader()->setStretchLastSection(true);
  lstOptions->verticalHeader()->hide();
  lstOptions->setColumnWidth(0, 150);
  auto* buttons = new QHBoxLayout;
  auto* refresh = FTexts.Text(Named(new QPushButton(select), "BtnPreview"), "Refresh");
  FTexts.Hint(refresh, "Refresh Flash Player Preview");
  ChkAutoPreview = FTexts.Text(Named(new QCheckBox(select), "ChkAutoPreview"), "Auto Refresh");
  ChkAutoPreview->setChecked(true);
  auto* reset = FTexts.Text(Named(new QPushButton(select), "BtnReset"), "Reset");
  FTexts.Hint(reset, "Reset to Default Parameters");
  connect(refresh, &QPushButton::clicked, this, [this] { BtnPreviewClick(); });
  connect(reset, &QPushButton::clicked, this, [this] { BtnResetClick(); });
  buttons->addWidget(refresh);
  buttons->addWidget(ChkAutoPreview);
  buttons->addStretch();
  buttons->addWidget(reset);
  sbox->addWidget(cbbPlayerStyle);
  sbox->addWidget(lstOptions, 1);
  sbox->addLayout(buttons);
  top->addWidget(select, 2);
  box->addLayout(top, 1);

  PCPlayerOptions = Named(new QTabWidget(page), "PCPlayerOptions");
  PCPlayerOptions->addTab(BuildSizeTab(), QString());
  PCPlayerOptions->addTab(BuildImageTab(Bg, false), QString());
  PCPlayerOptions->addTab(BuildImageTab(Fg, true), QString());
  FTexts.Bind([this](const TLanguage& l) {
    int tab = 0;
    for (const char* key : {"Size and Color", "Background Image", "Foreground Image"})
      PCPlayerOptions->setTabText(tab++, Tr(l, key));
  });
  box->addWidget(PCPlayerOptions);
  return page;
}

QWidget* TFormMain::BuildSizeTab() {
  auto* tab = new QWidget;
  auto* grid = new QGridLayout(tab);
  const auto label = [this](QWidget* parent, const char* key, const char* addition = "") {
    return FTexts.Text(new QLabel(parent), key, addition);
  };
  auto* size = FTexts.Title(new QGroupBox(tab), "Size");
  auto* sg = new QGridLayout(size);
  RdoDefaultSize = Named(new QRadioButton(size), "RdoDefaultSize");  // its text: ShowDefaultSizeText
  FTexts.Hint(RdoDefaultSize, "Default size of player");
  RdoCustomSize = FTexts.Text(Named(new QRadioButton(size), "RdoCustomSize"),
                              "Custom size of Flash Movie");
  lblWidth = Named(label(size, "Width:"), "lblWidth");
  lblHeight = Named(label(size, "Height:"), "lblHeight");
  SpinEditWidth = Spin(size, "SpinEditWidth", 0, 5000);
  SpinEditHeight = Spin(size, "SpinEditHeight", 0, 5000);
  sg->addWidget(RdoDefaultSize, 0, 0, 1, 4);
  sg->addWidget(RdoCustomSize, 1, 0, 1, 4);
  sg->addWidget(lblWidth, 2, 0);
  sg->addWidget(SpinEditWidth, 2, 1);
  sg->addWidget(lblHeight, 2, 2);
  sg->addWidget(SpinEditHeight, 2, 3);
  grid->addWidget(size, 0, 0);

  auto* pos = FTexts.Title(new QGroupBox(tab), "Size and position of Player:");
  auto* pg = new QGridLayout(pos);
  lblPlayerPos = Named(label(pos, "Position:"), "lblPlayerPos");
  CmbPlayerPos = FTexts.Items(Named(new QComboBox(pos), "CmbPlayerPos"), {"Center", "Custom"});
  pg->addWidget(lblPlayerPos, 0, 0);
  pg->addWidget(CmbPlayerPos, 0, 1, 1, 3);
  const char* names[] = {"SpinEditLeft", "SpinEditTop", "SpinEditRotate", "SpinEditXScale",
                         "SpinEditYScale"};
  const char* captions[] = {"Left:", "Top:", "Rotate:", "X Scale:", "Y Scale:"};
  const int ranges[][2] = {{0, 5000}, {0, 5000}, {0, 360}, {1, 1000}, {1, 1000}};
  for (size_t i = 0; i < 5; ++i) {
    PlayerFieldLabels[i] = label(pos, captions[i]);
    PlayerFields[i] = Spin(pos, names[i], ranges[i][0], ranges[i][1]);
    const int r = 1 + static_cast<int>(i) / 2, c = static_cast<int>(i) % 2 * 2;
    pg->addWidget(PlayerFieldLabels[i], r, c);
    pg->addWidget(PlayerFields[i], r, c + 1);
  }
  grid->addWidget(pos, 0, 1);

  auto* bg = FTexts.Title(new QGroupBox(tab), "Background color");
  auto* bgl = new QGridLayout(bg);
  RdoTransparent = FTexts.Text(Named(new QRadioButton(bg), "RdoTransparent"), "Transparent");
  RdoSolid = FTexts.Text(Named(new QRadioButton(bg), "RdoSolid"), "Solid color");
  ColorBgColorSolid = Named(new QPushButton(bg), "ColorBgColorSolid");
  ColorBgColorSolid->setFixedWidth(48);
  bgl->addWidget(RdoTransparent, 0, 0, 1, 2);
  bgl->addWidget(RdoSolid, 1, 0);
  bgl->addWidget(ColorBgColorSolid, 1, 1);
  grid->addWidget(bg, 0, 2);

  auto* pre = new QGroupBox(tab);
  auto* prl = new QGridLayout(pre);
  ChkPreloader = FTexts.Text(Named(new QCheckBox(pre), "ChkPreloader"), "Add Preloader");
  CmbPreloader = Named(new QComboBox(pre), "CmbPreloader");
  lblPl = Named(label(pre, "Color", ":"), "lblPl");
  lblPlBg = Named(label(pre, "Background", ":"), "lblPlBg");
  ColorPl = Named(new QPushButton(pre), "ColorPl");
  ColorPlBg = Named(new QPushButton(pre), "ColorPlBg");
  ColorPl->setFixedWidth(48);
  ColorPlBg->setFixedWidth(48);
  prl->addWidget(ChkPreloader, 0, 0);
  prl->addWidget(CmbPreloader, 0, 1, 1, 3);
  prl->addWidget(lblPl, 1, 0);
  prl->addWidget(ColorPl, 1, 1);
  prl->addWidget(lblPlBg, 1, 2);
  prl->addWidget(ColorPlBg, 1, 3);
  grid->addWidget(pre, 1, 0, 1, 2);

  auto* flash = FTexts.Title(new QGroupBox(tab), "Flash Options");
  auto* fl = new QGridLayout(flash);
  CmbFlashVersion = Combo(flash, "CmbFlashVersion",
                          {QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")});
  SpinEditFrameRate = Spin(flash, "SpinEditFrameRate", 1, 100);
  SpinEditPlayPercent = Spin(flash, "SpinEditPlayPercent", 0, 100);
  // The captions wrap: some languages make them long, and this column sets the window's width.
  const auto wrapped = [&](const char* key) {
    QLabel* l = label(flash, key, ":");
    l->setWordWrap(true);
    return l;
  };
  fl->addWidget(wrapped("Version"), 0, 0);
  fl->addWidget(CmbFlashVersion, 0, 1);
  fl->addWidget(wrapped("Framerate"), 1, 0);
  fl->addWidget(SpinEditFrameRate, 1, 1);
  fl->addWidget(wrapped("Start playing after music data is downloaded"), 2, 0);
  fl->addWidget(SpinEditPlayPercent, 2, 1);
  fl->addWidget(label(flash, "Percent"), 2, 2);
  fl->setColumnStretch(0, 1);
  grid->addWidget(flash, 1, 2);
  return tab;
}

QWidget* TFormMain::BuildImageTab(TImageListControls& c, bool foreground) {
  c.Foreground = foreground;
  const QString kind = foreground ? QStringLiteral("Fg") : QStringLiteral("Bg");
  const auto name = [&](const char* pattern) { return QString::fromLatin1(pattern).arg(kind); };
  auto* tab = new QWidget;
  auto* grid = new QGridLayout(tab);
  c.Check = FTexts.Text(new QCheckBox(tab), foreground ? "Add images and Flash movies to foreground"
                                                       : "Add images and Flash movies to background");
  c.Check->setObjectName(name("Chk%1Image"));
  c.List = new QTreeWidget(tab);
  c.List->setObjectName(name("lst%1Image"));
  FTexts.Heads(c.List, {"File name", "Folder"});
  c.List->setColumnWidth(0, 125);
  c.List->setRootIsDecorated(false);
  c.List->setSelectionMode(QAbstractItemView::SingleSelection);
  c.List->setEditTriggers(QAbstractItemView::NoEditTriggers);
  c.List->setAcceptDrops(true);
  c.List->viewport()->setAcceptDrops(true);
  c.List->viewport()->setProperty("twDrop", kind);
  c.List->viewport()->installEventFilter(this);
  // Icon buttons with the text as their hint, as on the music page.
  auto* buttons = new QVBoxLayout;
  const auto button = [&](const char* pattern, const char* hint, QStyle::StandardPixmap icon) {
    auto* b = FTexts.Hint(new QPushButton(style()->standardIcon(icon), QString(), tab), hint);
    b->setObjectName(name(pattern));
    buttons->addWidget(b);
    return b;
  };
  c.Add = button("Btn%1ImageAdd", "Add image and Flash movie", QStyle::SP_FileDialogNewFolder);
  c.Del = button("Btn%1ImageDel", "Remove file", QStyle::SP_DialogDiscardButton);
  c.Up = button("Btn%1ImageUp", "Move up", QStyle::SP_ArrowUp);
  c.Down = button("Btn%1ImageDown", "Move down", QStyle::SP_ArrowDown);
  buttons->addStretch();
  auto* propsBox = FTexts.Title(new QGroupBox(tab), "Property");
  auto* props = new QGridLayout(propsBox);
  c.PositionLabel = FTexts.Text(new QLabel(propsBox), "Position:");
  c.Position = FTexts.Items(new QComboBox(propsBox), {"Center", "Custom", "Stretch", "Tile"});
  c.Position->setObjectName(name("Cmb%1ImagePosition"));
  props->addWidget(c.PositionLabel, 0, 0);
  props->addWidget(c.Position, 0, 1);
  const char* names[] = {"SpinEdit%1ImageLeft", "SpinEdit%1ImageTop", "SpinEdit%1ImageXScale",
                         "SpinEdit%1ImageYScale", "SpinEdit%1ImageRotate"};
  const char* captions[] = {"Left:", "Top:", "X Scale:", "Y Scale:", "Rotate:"};
  const int ranges[][2] = {{-1000, 1000}, {-1000, 1000}, {0, 1000}, {0, 1000}, {0, 360}};
  for (size_t i = 0; i < 5; ++i) {
    c.FieldLabels[i] = FTexts.Text(new QLabel(propsBox), captions[i]);
    c.Fields[i] = new QSpinBox(propsBox);
    c.Fields[i]->setObjectName(name(names[i]));
    c.Fields[i]->setRange(ranges[i][0], ranges[i][1]);
    props->addWidget(c.FieldLabels[i], static_cast<int>(i) + 1, 0);
    props->addWidget(c.Fields[i], static_cast<int>(i) + 1, 1);
  }
  grid->addWidget(c.Check, 0, 0, 1, 3);
  grid->addWidget(c.List, 1, 0);
  grid->addLayout(buttons, 1, 1);
  grid->addWidget(propsBox, 1, 2);
  grid->setColumnStretch(0, 1);
  return tab;
}

QWidget* TFormMain::BuildPublishPage() {
  auto* page = Named(new QWidget, "pnlConvert");
  auto* box = new QVBoxLayout(page);
  box->addWidget(Heading(page, FTexts, "Step 3",
                         "Click \"Publish\" button to convert MP3 files to SWF files and generate "
                         "Flash Player"));
  btnConvert = FTexts.Text(Named(new QPushButton(page), "btnConvert"), "Publish");
  btnConvert->setMinimumHeight(40);
  box->addWidget(btnConvert, 0, Qt::AlignLeft);

  auto* options = FTexts.Title(new QGroupBox(page), "Publish Options");
  auto* ol = new QGridLayout(options);
  const auto radio = [&](const char* name, const char* key) {
    return FTexts.Text(Named(new QRadioButton(options), name), key);
  };
  RdoPlayerAndMusicfiles = radio("RdoPlayerAndMusicfiles",
                                 "Convert MP3 to SWF/FLV/MP3 files, and generate a Flash shell player.");
  RdoSinglePlayer = radio("RdoSinglePlayer",
                          "Generate one Flash player, and incorporate all of the music files and "
                          "track list file to it.");
  RdoMusicFiles = radio("RdoMusicFiles",
                        "Convert MP3 to SWF files, and incorporate a Flash player to each SWF file.");
  grpMusicFormat = FTexts.Title(Named(new QGroupBox(options), "grpMusicFormat"),
                                "Select output music file format");
  auto* fmt = new QHBoxLayout(grpMusicFormat);
  CmbMusicFormat = Combo(grpMusicFormat, "CmbMusicFormat",
                         {QStringLiteral("SWF"), QStringLiteral("FLV"), QStringLiteral("MP3")});
  fmt->addWidget(CmbMusicFormat);
  ChkFullURL = FTexts.Text(Named(new QCheckBox(options), "ChkFullURL"),
                           "Add URL prefix to music file address");
  EdtFullURL = Named(new QLineEdit(options), "EdtFullURL");
  ChkOnlyFlashPlayer = FTexts.Text(Named(new QCheckBox(options), "ChkOnlyFlashPlayer"),
                                   "Only generate Flash player swf file");
  ol->addWidget(RdoPlayerAndMusicfiles, 0, 0, 1, 2);
  ol->addWidget(grpMusicFormat, 1, 0);
  ol->addWidget(ChkOnlyFlashPlayer, 1, 1);
  ol->addWidget(ChkFullURL, 2, 0);
  ol->addWidget(EdtFullURL, 2, 1);
  ol->addWidget(RdoSinglePlayer, 3, 0, 1, 2);
  ol->addWidget(RdoMusicFiles, 4, 0, 1, 2);
  box->addWidget(options);

  auto* output = FTexts.Title(new QGroupBox(page), "Output");
  auto* outl = new QGridLayout(output);
  edtOutputFolder = Named(new QLineEdit(output), "edtOutputFolder");
  btnBrowse = FTexts.Text(Named(new QPushButton(output), "btnBrowse"), "Browse");
  lblOutputName = FTexts.Text(Named(new QLabel(output), "lblOutputName"),
                              "Filename of Flash player", " :");
  edtOutputName = Named(new QLineEdit(output), "edtOutputName");
  outl->addWidget(FTexts.Text(new QLabel(output), "Select output folder", " :"), 0, 0);
  outl->addWidget(edtOutputFolder, 0, 1);
  outl->addWidget(btnBrowse, 0, 2);
  outl->addWidget(lblOutputName, 1, 0);
  outl->addWidget(edtOutputName, 1, 1);
  box->addWidget(output);
  box->addStretch();
  return page;
}

// ---- Wiring ----------------------------------------------------------------------------------

void TFormMain::Connect() {
  connect(NavMain, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 1 && row <= 3 && row != FPage) ShowPage(row);
  });
  connect(TimerPreview, &QTimer::timeout, this, [this] { TimerPreviewTimer(); });
  connect(FListenTimer, &QTimer::timeout, this, [this] { ListenTick(); });

  // Music page.
  connect(lvMp3, &QTreeWidget::itemDoubleClicked, this, [this] { btnEditMp3Click(); });
  connect(lvMp3, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateMusicMenu();
    pmMp3->popup(lvMp3->viewport()->mapToGlobal(at));
  });
  connect(ChkReencode, &QCheckBox::toggled, this, [this](bool on) {
    if (Filling()) return;
    FProject.Reencode = on;
    ChkReencodeClick();
  });
  connect(cbbEncodingOptions, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (Filling() || i < 0) return;
    FProject.ApplyPreset(i);
    ++FFilling;
    cbbSampleRate->setCurrentIndex(FProject.SampleRateIndex);
    cbbBitRate->setCurrentIndex(FProject.BitRateIndex);
    cbbChannels->setCurrentIndex(FProject.ChannelsIndex);
    --FFilling;
    ChkReencodeClick();
  });
  const auto index = [this](QComboBox* combo, int32_t TProject::*field) {
    connect(combo, &QComboBox::currentIndexChanged, this, [this, field](int i) {
      if (!Filling() && i >= 0) FProject.*field = i;
    });
  };
  index(cbbSampleRate, &TProject::SampleRateIndex);
  index(cbbBitRate, &TProject::BitRateIndex);
  index(cbbChannels, &TProject::ChannelsIndex);

  // Player page.
  connect(cbbPlayerStyle, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!Filling()) cbbPlayerStyleChange(i);
  });
  connect(RdoDefaultSize, &QRadioButton::toggled, this, [this] {
    if (Filling()) return;
    FProject.DefaultSize = RdoDefaultSize->isChecked();
    RdoDefaultSizeClick();
    UpdatePlayer();
  });
  connect(CmbPlayerPos, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (Filling() || i < 0) return;
    FProject.PlayerPosition = static_cast<TPlayerPosition>(i);
    RdoDefaultSizeClick();
    UpdatePlayer();
  });
  const auto stage = [this](QSpinBox* spin, auto store) {
    connect(spin, &QSpinBox::valueChanged, this, [this, store](int v) {
      if (Filling()) return;
      store(v);
      UpdatePlayer();
    });
  };
  stage(SpinEditWidth, [this](int v) { FProject.Width = v; });
  stage(SpinEditHeight, [this](int v) { FProject.Height = v; });
  stage(PlayerFields[0], [this](int v) { FProject.Left = v; });
  stage(PlayerFields[1], [this](int v) { FProject.Top = v; });
  stage(PlayerFields[2], [this](int v) { FProject.Rotation = v; });
  stage(PlayerFields[3], [this](int v) { FProject.XScale = v; });
  stage(PlayerFields[4], [this](int v) { FProject.YScale = v; });
  stage(SpinEditPlayPercent, [this](int v) { FProject.PlayPercent = v; });
  connect(SpinEditFrameRate, &QSpinBox::valueChanged, this, [this](int v) {
    if (!Filling()) FProject.FrameRate = v;
  });
  connect(CmbFlashVersion, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!Filling() && i >= 0) FProject.FlashVersionIndex = i;
  });
  connect(RdoTransparent, &QRadioButton::toggled, this, [this] {
    if (Filling()) return;
    FProject.Transparent = RdoTransparent->isChecked();
    RdoTransparentClick();
    UpdatePlayer();
  });
  for (QPushButton* b : {ColorBgColorSolid, ColorPl, ColorPlBg})
    connect(b, &QPushButton::clicked, this, [this, b] { ChooseColor(b); });
  connect(ChkPreloader, &QCheckBox::toggled, this, [this](bool on) {
    if (Filling()) return;
    FProject.PreloaderOn = on;
    ChkPreloaderEnable();
    UpdatePlayer();
  });
  connect(CmbPreloader, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (Filling() || i < 0) return;
    FProject.SelectPreloader(i);
    ShowColors();
    UpdatePlayer();
  });
  ConnectImageList(Bg);
  ConnectImageList(Fg);

  // Publish page.
  for (QRadioButton* r : {RdoPlayerAndMusicfiles, RdoSinglePlayer, RdoMusicFiles})
    connect(r, &QRadioButton::toggled, this, [this, r](bool on) {
      if (Filling() || !on) return;
      FProject.PublishOption = r == RdoPlayerAndMusicfiles ? TPublishOption::PlayerAndMusicFiles
                               : r == RdoSinglePlayer      ? TPublishOption::SinglePlayer
                                                           : TPublishOption::MusicFiles;
      RdoPlayerAndMusicfilesClick();
    });
  connect(CmbMusicFormat, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!Filling() && i >= 0) FProject.MusicFormat = static_cast<TMusicFormat>(i);
  });
  connect(ChkFullURL, &QCheckBox::toggled, this, [this](bool on) {
    if (Filling()) return;
    FProject.UseFullUrl = on;
    RdoPlayerAndMusicfilesClick();
  });
  connect(EdtFullURL, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (!Filling()) FProject.FullUrl = S(t);
  });
  connect(ChkOnlyFlashPlayer, &QCheckBox::toggled, this, [this](bool on) {
    if (!Filling()) FProject.OnlyFlashPlayer = on;
  });
  connect(edtOutputFolder, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (!Filling()) FProject.OutputFolder = S(t);
  });
  connect(edtOutputName, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (!Filling()) FProject.OutputName = S(t);
  });
  connect(btnBrowse, &QPushButton::clicked, this, [this] {
    const QString folder = FServices.Dialogs->Folder(this, Message("Select output folder") + ':',
                                                     edtOutputFolder->text());
    if (!folder.isEmpty()) edtOutputFolder->setText(folder);
  });
  connect(btnConvert, &QPushButton::clicked, this, [this] { btnConvertClick(); });
}

void TFormMain::ConnectImageList(TImageListControls& c) {
  TImageListControls* p = &c;
  connect(c.Check, &QCheckBox::toggled, this, [this, p](bool on) {
    if (Filling()) return;
    ListOn(*p) = on;
    ChkImageClick(*p);
    UpdatePlayer();
  });
  connect(c.List, &QTreeWidget::itemSelectionChanged, this, [this, p] {
    if (!Filling()) ShowImageProperties(*p);
  });
  connect(c.Add, &QPushButton::clicked, this, [this, p] {
    const QStringList files = FServices.Dialogs->OpenFiles(
        this, Message("Add image and Flash movie"), Q(FServices.ProgramFolder) + QStringLiteral("resources"),
        {QStringLiteral("Images and SWF files (*.bmp *.jpg *.jpeg *.gif *.png *.swf)"),
         QStringLiteral("Image files (*.bmp *.jpg *.jpeg *.gif *.png)"),
         QStringLiteral("SWF files (*.swf)"), QStringLiteral("All files (*)")},
        false);
    AddImageFiles(*p, files);
  });
  connect(c.Del, &QPushButton::clicked, this, [this, p] { ImageDel(*p); });
  connect(c.Up, &QPushButton::clicked, this, [this, p] { ImageMove(*p, true); });
  connect(c.Down, &QPushButton::clicked, this, [this, p] { ImageMove(*p, false); });
  connect(c.Position, &QComboBox::currentIndexChanged, this, [this, p] {
    if (!Filling() && !FImageProps) ImagePositionChange(*p);
  });
  for (QSpinBox* field : c.Fields)
    connect(field, &QSpinBox::valueChanged, this, [this, p] {
      if (!Filling() && !FImageProps) ImageFieldChange(*p);
    });
}

// ---- Filling the widgets from the project ----------------------------------------------------

void TFormMain::FillFromProject() {
  ++FFilling;
  const TProject& p = FProject;
  FillMusicList();
  ChkReencode->setChecked(p.Reencode);
  cbbEncodingOptions->setCurrentIndex(p.PresetIndex);
  cbbSampleRate->setCurrentIndex(p.SampleRateIndex);
  cbbBitRate->setCurrentIndex(p.BitRateIndex);
  cbbChannels->setCurrentIndex(p.ChannelsIndex);

  cbbPlayerStyle->clear();
  for (const TTemplateEntry& t : p.Templates) cbbPlayerStyle->addItem(Q(t.FileName));
  cbbPlayerStyle->setCurrentIndex(p.SelectedTemplate);
  ShowTemplateParams();
  (p.DefaultSize ? RdoDefaultSize : RdoCustomSize)->setChecked(true);
  SpinEditWidth->setValue(p.Width);
  SpinEditHeight->setValue(p.Height);
  CmbPlayerPos->setCurrentIndex(static_cast<int>(p.PlayerPosition));
  PlayerFields[0]->setValue(p.Left);
  PlayerFields[1]->setValue(p.Top);
  PlayerFields[2]->setValue(RoundHalfEven(p.Rotation));
  PlayerFields[3]->setValue(RoundHalfEven(p.XScale));
  PlayerFields[4]->setValue(RoundHalfEven(p.YScale));
  (p.Transparent ? RdoTransparent : RdoSolid)->setChecked(true);
  ChkPreloader->setChecked(p.PreloaderOn);
  CmbPreloader->clear();
  for (const TPreloaderParams& pl : p.Preloaders) CmbPreloader->addItem(Q(pl.FileName));
  CmbPreloader->setCurrentIndex(p.SelectedPreloader);
  ShowColors();
  CmbFlashVersion->setCurrentIndex(p.FlashVersionIndex);
  SpinEditFrameRate->setValue(p.FrameRate);
  SpinEditPlayPercent->setValue(RoundHalfEven(p.PlayPercent));
  Bg.Check->setChecked(p.BgImagesOn);
  Fg.Check->setChecked(p.FgImagesOn);
  FillImageList(Bg, static_cast<int>(p.BgImages.size()) - 1);
  FillImageList(Fg, static_cast<int>(p.FgImages.size()) - 1);

  switch (p.PublishOption) {
    case TPublishOption::PlayerAndMusicFiles: RdoPlayerAndMusicfiles->setChecked(true); break;
    case TPublishOption::SinglePlayer: RdoSinglePlayer->setChecked(true); break;
    case TPublishOption::MusicFiles: RdoMusicFiles->setChecked(true); break;
  }
  CmbMusicFormat->setCurrentIndex(static_cast<int>(p.MusicFormat));
  ChkFullURL->setChecked(p.UseFullUrl);
  EdtFullURL->setText(Q(p.FullUrl));
  ChkOnlyFlashPlayer->setChecked(p.OnlyFlashPlayer);
  edtOutputFolder->setText(Q(p.OutputFolder));
  edtOutputName->setText(Q(p.OutputName));
  --FFilling;
  RunEnableRules();
}

void TFormMain::FillMusicList(const std::vector<int>& select) {
  ++FFilling;
  lvMp3->clear();
  for (const TMP3Info& m : FProject.Music) {
    auto* item = new QTreeWidgetItem(lvMp3);
    item->setText(0, Q(ExtractFileName(m.Path)));
    if (m.SampleRate > 0) {  // the information was read
      item->setText(1, DurationText(m.Duration));
      item->setText(2, Q(m.Title));
      item->setText(3, Q(m.Artist));
    }
  }
  for (int i : select)
    if (QTreeWidgetItem* item = lvMp3->topLevelItem(i)) item->setSelected(true);
  if (!select.empty()) lvMp3->setCurrentItem(lvMp3->topLevelItem(select.back()),
                                             0, QItemSelectionModel::NoUpdate);
  --FFilling;
}

void TFormMain::ShowTemplateParams() {
  ++FFilling;
  lstOptions->setRowCount(0);
  const TTemplateEntry* entry = FProject.Template();
  if (entry && entry->Info) {
    int row = 0;
    for (const TTemplateParam* p = entry->Info->FirstParam.get(); p; p = p->Next.get(), ++row) {
      lstOptions->insertRow(row);
      auto* key = new QTableWidgetItem(Q(p->Caption));
      key->setFlags(Qt::ItemIsEnabled);
      lstOptions->setItem(row, 0, key);
      const QString value = Q(p->Value);
      QWidget* editor = nullptr;
      if (p->ParamType == TParamType::Bool || p->ParamType == TParamType::Selection) {
        auto* combo = new QComboBox(lstOptions);
        if (p->ParamType == TParamType::Bool) {
          combo->addItems({QStringLiteral("Yes"), QStringLiteral("No")});
        } else {
          for (const std::string& choice : SplitChoices(p->Selection)) combo->addItem(Q(choice));
        }
        if (combo->findText(value) < 0) combo->addItem(value);
        combo->setCurrentIndex(combo->findText(value));
        connect(combo, &QComboBox::currentTextChanged, this,
                [this, row](const QString& v) { lstOptionsChanged(row, v); });
        editor = combo;
      } else {
        auto* cell = new QWidget(lstOptions);
        auto* line = new QHBoxLayout(cell);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(0);
        auto* edit = new QLineEdit(value, cell);
        edit->setObjectName(QStringLiteral("value"));
        line->addWidget(edit);
        connect(edit, &QLineEdit::textChanged, this,
                [this, row](const QString& v) { lstOptionsChanged(row, v); });
        if (p->ParamType == TParamType::Color) {
          auto* ellipsis = new QToolButton(cell);
          ellipsis->setText(QStringLiteral("..."));
          ellipsis->setObjectName(QStringLiteral("ellipsis"));
          line->addWidget(ellipsis);
          connect(ellipsis, &QToolButton::clicked, this,
                  [this, row] { lstOptionsEditButtonClick(row); });
        }
        editor = cell;
      }
      lstOptions->setCellWidget(row, 1, editor);
    }
  }
  ShowDefaultSizeText();
  lstOptions->setCurrentCell(lstOptions->rowCount() > 0 ? 0 : -1, 1);
  --FFilling;
}

void TFormMain::ShowDefaultSizeText() {
  QString text = Message("Default size of Flash Movie");
  const TTemplateEntry* entry = FProject.Template();
  if (entry && entry->Info)
    text += QStringLiteral(" (%1 * %2) ").arg(entry->Info->DefaultWidth).arg(entry->Info->DefaultHeight);
  RdoDefaultSize->setText(text);
}

void TFormMain::ShowColors() {
  SetSwatch(ColorBgColorSolid, FProject.SolidColor);
  SetSwatch(ColorPl, FProject.PreloaderBarColor);
  SetSwatch(ColorPlBg, FProject.PreloaderBgColor);
}

void TFormMain::FillImageList(TImageListControls& c, int select) {
  ++FFilling;
  c.List->clear();
  for (const TImageEntry& e : Entries(c)) {
    auto* item = new QTreeWidgetItem(c.List);
    item->setText(0, Q(ExtractFileName(e.File)));
    item->setText(1, Q(ExtractFilePath(e.File)));
  }
  if (QTreeWidgetItem* item = c.List->topLevelItem(select)) {
    c.List->setCurrentItem(item);
    item->setSelected(true);
  }
  --FFilling;
  ShowImageProperties(c);
}

// ---- Enable rules ----------------------------------------------------------------------------

void TFormMain::RunEnableRules() {
  RdoPlayerAndMusicfilesClick();
  ChkReencodeClick();
  RdoDefaultSizeClick();
  RdoTransparentClick();
  ChkPreloaderEnable();
  ChkImageClick(Bg);
  ChkImageClick(Fg);
  UpdateMusicMenu();
}

void TFormMain::RdoPlayerAndMusicfilesClick() {
  const TPublishOption o = FProject.PublishOption;
  const bool named = o != TPublishOption::MusicFiles;
  const bool separate = o == TPublishOption::PlayerAndMusicFiles;
  lblOutputName->setEnabled(named);
  edtOutputName->setEnabled(named);
  grpMusicFormat->setEnabled(separate);
  ChkFullURL->setEnabled(separate);
  ChkOnlyFlashPlayer->setEnabled(separate);
  EdtFullURL->setEnabled(separate && FProject.UseFullUrl);
}

void TFormMain::ChkReencodeClick() {
  const bool on = FProject.Reencode;
  const bool custom = on && FProject.PresetIndex == kCustomPreset;
  cbbEncodingOptions->setEnabled(on);
  for (QComboBox* c : {cbbSampleRate, cbbBitRate, cbbChannels}) c->setEnabled(custom);
}

void TFormMain::RdoDefaultSizeClick() {
  const bool custom = !FProject.DefaultSize;
  for (QWidget* w : std::initializer_list<QWidget*>{lblWidth, SpinEditWidth, lblHeight,
                                                    SpinEditHeight, lblPlayerPos, CmbPlayerPos})
    w->setEnabled(custom);
  const bool placed = custom && FProject.PlayerPosition == TPlayerPosition::Custom;
  for (size_t i = 0; i < 5; ++i) {
    PlayerFieldLabels[i]->setEnabled(placed);
    PlayerFields[i]->setEnabled(placed);
  }
}

void TFormMain::RdoTransparentClick() { ColorBgColorSolid->setEnabled(!FProject.Transparent); }

void TFormMain::ChkPreloaderEnable() {
  const bool on = FProject.PreloaderOn;
  for (QWidget* w : std::initializer_list<QWidget*>{CmbPreloader, lblPl, lblPlBg, ColorPl, ColorPlBg})
    w->setEnabled(on);
}

void TFormMain::ChkImageClick(TImageListControls& c) {
  const bool on = ListOn(c);
  for (QWidget* w : std::initializer_list<QWidget*>{c.List, c.Add, c.Del, c.Up, c.Down,
                                                    c.PositionLabel, c.Position})
    w->setEnabled(on);
  ImageFieldsEnable(c);
}

// ---- Pages -----------------------------------------------------------------------------------

void TFormMain::ShowPage(int page) {
  if (page < MusicPage || page > PublishPage) return;
  const bool wasBusy = FBusy;
  if (page == PlayerPage) FBusy = true;  // the switch itself asks for no preview
  FPage = page;
  FPages->setCurrentIndex(page - 1);
  NavMain->blockSignals(true);
  NavMain->setCurrentRow(page);
  NavMain->blockSignals(false);
  FBusy = wasBusy;
}

// ---- Preview ---------------------------------------------------------------------------------

void TFormMain::UpdatePlayer() {
  if (FBusy || Filling()) return;
  if (ChkAutoPreview->isChecked()) FPreviewCountdown = 2;
}

void TFormMain::TimerPreviewTimer() {
  if (FPreviewCountdown < 0) return;
  if (FPreviewCountdown == 0) {
    if (FRunning) return;  // held until the run is over
    FPreviewCountdown = -1;
    BtnPreviewClick();
    return;
  }
  --FPreviewCountdown;
}

void TFormMain::BtnPreviewClick() {
  if (FBusy || FRunning) return;
  const std::string target = FUserData + "preview.swf";
  std::string problem;
  TInlineHost host([&](const std::string& text) {
    if (problem.empty()) problem = text;
  });
  TRunContext ctx(host);
  std::unique_ptr<TStageSettings> settings = GatherStageSettings(FProject);
  TConvertOption options;
  options.FlashVersionIndex = FProject.FlashVersionIndex;
  options.FrameRate = FProject.FrameRate;
  try {
    BuildStageMovie(*settings, target, false, nullptr, std::string(), true, options, ctx,
                    TStageFolders{FServices.ProgramFolder + "player/",
                                  FServices.ProgramFolder + "preloader/"});
  } catch (const std::exception& e) {
    problem = std::string("Error: ") + e.what();
  }
  FreeStageSettings(settings);
  lblPreviewProblem->setText(Q(problem));
  lblPreviewProblem->setVisible(!problem.empty());
  if (FPreview) FPreview->ShowMovie(Q(target));
}

// ---- Project commands ------------------------------------------------------------------------

void TFormMain::ApplyText(const std::string& text) {
  // Empty: the start-up project beside the program.
  TInlineHost host([this](const std::string& t) { Error(Q(t)); });
  const bool wasBusy = FBusy;
  FBusy = true;
  if (text.empty())
    ApplyProjectFile(FProject, FServices.ProgramFolder + "default.prj", host);
  else
    ApplyProjectText(FProject, text, host);
  FillFromProject();
  FBusy = wasBusy;
}

bool TFormMain::OpenProjectFile(const QString& path) {
  const std::string file = S(QFileInfo(path).absoluteFilePath());
  std::string text, problem;
  if (!ReadWhole(file, text, problem)) {
    Error(QStringLiteral("Error: %1: %2").arg(Q(file), Q(problem)));
    return false;
  }
  // A trial on a scratch project first: a file that fails part way must not leave the window
  // with half of it applied over the user's project.
  {
    TProject scratch = MakeDefaultProject();
    TInlineHost quiet({});
    const TApplyOutcome trial = ApplyProjectText(scratch, text, quiet);
    if (trial.Status == TApplyStatus::Failed) {
      Error(QStringLiteral("Error: %1: %2").arg(Q(file), Q(trial.Error)));
      return false;
    }
    if (trial.Status != TApplyStatus::Applied) {
      Error(QStringLiteral("Error: %1 is not a project file").arg(Q(file)));
      return false;
    }
  }
  btnStopMp3Click();
  FProject.Music.clear();
  ApplyText(text);
  BtnPreviewClick();
  return true;
}

void TFormMain::NewProject() {
  btnStopMp3Click();
  FProject.Music.clear();
  ApplyText({});
  BtnPreviewClick();
}

void TFormMain::SaveProjectAs() {
  const QString target = FServices.Dialogs->SaveProjectFile(this, QDir::currentPath());
  if (target.isEmpty()) return;
  TInlineHost host([this](const std::string& t) { Error(Q(t)); });
  SaveProjectFile(FProject, S(target), host);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (FRunning) {
    event->ignore();
    return;
  }
  switch (FServices.Dialogs->AskSaveBeforeExit(this)) {
    case TCloseAnswer::Cancel: event->ignore(); return;
    case TCloseAnswer::Yes: SaveProjectAs(); break;
    case TCloseAnswer::No: break;
  }
  btnStopMp3Click();
  TimerPreview->stop();
  FLastResult = {};
  TInlineHost host([this](const std::string& t) { Error(Q(t)); });
  SaveProjectFile(FProject, FUserData + "config.prj", host);
  event->accept();
}

// ---- Music page ------------------------------------------------------------------------------

std::vector<int> TFormMain::SelectedSongs() const {
  std::vector<int> rows;
  for (int i = 0; i < lvMp3->topLevelItemCount(); ++i)
    if (lvMp3->topLevelItem(i)->isSelected()) rows.push_back(i);
  return rows;
}

bool TFormMain::NeedSelection(const std::vector<int>& selected) {
  if (!selected.empty()) return true;
  Error(Message("Please select a file!"));
  return false;
}

void TFormMain::AddMusicFiles(const QStringList& paths) {
  std::vector<std::string> files;
  for (const QString& p : paths) files.push_back(S(QFileInfo(p).absoluteFilePath()));
  app::AddMusicFiles(FProject, files, [] { QCoreApplication::processEvents(); });
  FillMusicList();
  UpdateMusicMenu();
}

void TFormMain::btnAddMp3Click() {
  AddMusicFiles(FServices.Dialogs->OpenFiles(
      this, Message("Add Songs"), QString(),
      {QStringLiteral("All music files (*.mp3 *.wav)"), QStringLiteral("MP3 files (*.mp3)"),
       QStringLiteral("WAV files (*.wav)")},
      true));
}

void TFormMain::btnRemoveMp3Click() {
  const std::vector<int> selected = SelectedSongs();
  if (!NeedSelection(selected)) return;
  std::vector<size_t> rows(selected.begin(), selected.end());
  RemoveMusic(FProject, rows);
  FillMusicList();
  UpdateMusicMenu();
}

void TFormMain::MoveSong(bool up) {
  const std::vector<int> selected = SelectedSongs();
  if (!NeedSelection(selected)) return;
  const auto row = static_cast<size_t>(selected.front());
  const size_t now = up ? MoveMusicUp(FProject, row) : MoveMusicDown(FProject, row);
  FillMusicList({static_cast<int>(now)});
}

void TFormMain::btnEditMp3Click() {
  const std::vector<int> selected = SelectedSongs();
  if (!NeedSelection(selected)) return;
  TMP3Info& info = FProject.Music[static_cast<size_t>(selected.front())];
  FMp3Edit->Show(info);
  if (FMp3Edit->exec() != QDialog::Accepted) return;
  std::string error;
  EditMusicTags(info, S(FMp3Edit->edtTitle->text()), S(FMp3Edit->edtArtist->text()),
                S(FMp3Edit->edtAlbum->text()),
                FMp3Edit->chkChangeTag->isEnabled() && FMp3Edit->chkChangeTag->isChecked(),
                &error);
  FillMusicList(selected);
}

void TFormMain::btnPlayMp3Click() {
  const std::vector<int> selected = SelectedSongs();
  if (!NeedSelection(selected) || !FPlayer) return;
  FPlayer->Stop();
  const TMP3Info& info = FProject.Music[static_cast<size_t>(selected.front())];
  const std::string& path = info.Path;
  pbMp3Progress->setRange(0, std::max(1, static_cast<int>(info.Duration * 86400.0 * kListeningUnits)));
  pbMp3Progress->setValue(0);
  pbMp3Progress->show();
  FListenTimer->start();
  btnPlayMp3->setEnabled(false);
  FPlayer->Play(Q(path));
}

void TFormMain::btnStopMp3Click() {
  if (FPlayer) FPlayer->Stop();
  pbMp3Progress->hide();
  pbMp3Progress->setValue(0);
  FListenTimer->stop();
  btnPlayMp3->setEnabled(true);
}

void TFormMain::ListenTick() {
  if (!FPlayer) return;
  const qint64 length = FPlayer->Length();
  const qint64 position = FPlayer->Position();
  pbMp3Progress->setValue(static_cast<int>(std::min<qint64>(position, pbMp3Progress->maximum())));
  if (length > 0 && position >= length) btnStopMp3Click();
}

void TFormMain::UpdateMusicMenu() {
  const bool any = !SelectedSongs().empty();
  const QList<QAction*> actions = pmMp3->actions();
  for (qsizetype i = 1; i < actions.size(); ++i) actions[i]->setEnabled(any);
}

// ---- Image lists -----------------------------------------------------------------------------

std::vector<TImageEntry>& TFormMain::Entries(const TImageListControls& c) {
  return c.Foreground ? FProject.FgImages : FProject.BgImages;
}

bool& TFormMain::ListOn(const TImageListControls& c) {
  return c.Foreground ? FProject.FgImagesOn : FProject.BgImagesOn;
}

int TFormMain::SelectedImage(const TImageListControls& c) const {
  const QList<QTreeWidgetItem*> items = c.List->selectedItems();
  return items.isEmpty() ? -1 : c.List->indexOfTopLevelItem(items.front());
}

void TFormMain::AddImageFiles(TImageListControls& c, const QStringList& paths) {
  if (paths.isEmpty()) return;
  for (const QString& p : paths) {
    TImageEntry entry;
    entry.File = FixedText(S(QFileInfo(p).absoluteFilePath()));
    Entries(c).push_back(entry);
  }
  FillImageList(c, static_cast<int>(Entries(c).size()) - 1);
  UpdatePlayer();
}

void TFormMain::ShowImageProperties(TImageListControls& c) {
  FImageProps = true;
  const int i = SelectedImage(c);
  if (i >= 0 && static_cast<size_t>(i) < Entries(c).size()) {
    const TImageEntry& e = Entries(c)[static_cast<size_t>(i)];
    c.Position->setEnabled(ListOn(c));
    c.Position->setCurrentIndex(static_cast<int>(e.Position));
    const int values[] = {e.Left, e.Top, e.XScale, e.YScale, e.Rotation};
    for (size_t k = 0; k < 5; ++k) c.Fields[k]->setValue(values[k]);
  } else {
    c.Position->setEnabled(false);
    c.Position->setCurrentIndex(0);
    const int values[] = {0, 0, 100, 100, 0};
    for (size_t k = 0; k < 5; ++k) c.Fields[k]->setValue(values[k]);
  }
  ImageFieldsEnable(c);
  FImageProps = false;
}

void TFormMain::ImageFieldsEnable(TImageListControls& c) {
  const bool on = ListOn(c) && c.Position->currentIndex() == static_cast<int>(TImagePosition::Custom);
  for (size_t k = 0; k < 5; ++k) {
    c.FieldLabels[k]->setEnabled(on);
    c.Fields[k]->setEnabled(on);
  }
}

void TFormMain::ImagePositionChange(TImageListControls& c) {
  ImageFieldsEnable(c);
  const int i = SelectedImage(c);
  if (i < 0) return;
  Entries(c)[static_cast<size_t>(i)].Position =
      static_cast<TImagePosition>(c.Position->currentIndex());
  UpdatePlayer();
}

void TFormMain::ImageFieldChange(TImageListControls& c) {
  const int i = SelectedImage(c);
  if (i < 0) return;
  TImageEntry& e = Entries(c)[static_cast<size_t>(i)];
  e.Left = c.Fields[0]->value();
  e.Top = c.Fields[1]->value();
  e.XScale = c.Fields[2]->value();
  e.YScale = c.Fields[3]->value();
  e.Rotation = c.Fields[4]->value();
  UpdatePlayer();
}

void TFormMain::ImageDel(TImageListControls& c) {
  const int i = SelectedImage(c);
  if (i < 0) return;
  auto& entries = Entries(c);
  entries.erase(entries.begin() + i);
  FillImageList(c, std::min(i, static_cast<int>(entries.size()) - 1));
  UpdatePlayer();
}

void TFormMain::ImageMove(TImageListControls& c, bool up) {
  const int i = SelectedImage(c);
  auto& entries = Entries(c);
  const int j = up ? i - 1 : i + 1;
  if (i < 0 || j < 0 || j >= static_cast<int>(entries.size())) return;
  std::swap(entries[static_cast<size_t>(i)], entries[static_cast<size_t>(j)]);
  FillImageList(c, j);
  UpdatePlayer();
}

// ---- Player page -----------------------------------------------------------------------------

void TFormMain::cbbPlayerStyleChange(int index) {
  if (index < 0) return;
  FProject.SelectTemplate(index);
  ++FFilling;
  ShowTemplateParams();
  SpinEditWidth->setValue(FProject.Width);
  SpinEditHeight->setValue(FProject.Height);
  --FFilling;
  BtnPreviewClick();
}

void TFormMain::lstOptionsChanged(int row, const QString& value) {
  if (Filling()) return;
  TTemplateEntry* entry = FProject.Template();
  const QTableWidgetItem* key = lstOptions->item(row, 0);
  if (!entry || !entry->Info || !key) return;
  SetParamValueByCaption(*entry->Info, S(key->text()), S(value));
  UpdatePlayer();
}

void TFormMain::lstOptionsEditButtonClick(int row) {
  QWidget* cell = lstOptions->cellWidget(row, 1);
  auto* edit = cell ? cell->findChild<QLineEdit*>(QStringLiteral("value")) : nullptr;
  if (!edit) return;
  unsigned rgb = ToRgb(HexToColor(S(edit->text())));
  if (!FServices.Dialogs->Color(this, rgb)) return;
  edit->setText(Q(ColorToHex(FromRgb(rgb))));  // the change rule stores it
}

void TFormMain::BtnResetClick() {
  if (!ResetTemplate(FProject, FServices.ProgramFolder + "player/")) return;
  ++FFilling;
  ShowTemplateParams();
  SpinEditWidth->setValue(FProject.Width);
  SpinEditHeight->setValue(FProject.Height);
  --FFilling;
  BtnPreviewClick();
}

void TFormMain::ChooseColor(QPushButton* button) {
  unsigned rgb = button->property("rgb").toUInt();
  if (!FServices.Dialogs->Color(this, rgb)) return;
  const TColor color = FromRgb(rgb);
  if (button == ColorBgColorSolid) {
    FProject.SolidColor = color;
  } else if (!FProject.Preloader()) {
    return;  // a preloader without a table binds no colour
  } else if (button == ColorPl) {
    SetPreloaderBarColor(FProject, color);
  } else {
    SetPreloaderBgColor(FProject, color);
  }
  ShowColors();
  UpdatePlayer();
}

// ---- Publish ---------------------------------------------------------------------------------

void TFormMain::SetRunning(bool running) {
  FRunning = running;
  centralWidget()->setEnabled(!running);
  menuBar()->setEnabled(!running);
  for (QToolBar* bar : findChildren<QToolBar*>()) bar->setEnabled(!running);
}

TPublishOutcome TFormMain::btnConvertClick() {
  TPublishOutcome outcome;
  if (FRunning) return outcome;
  btnStopMp3Click();
  FPreviewCountdown = -1;
  FProgress = std::make_unique<TFormConvertProcessing>(this, FLanguage);
  TWindowHost host(this, {[this](const TProgressState& s) {
                            if (FProgress) FProgress->ShowState(s);
                          },
                          [this](const QString& text) { Error(Message(S(text))); },
                          [this] { ShowPage(MusicPage); }});
  FProgress->OnCancel = [&host] { host.RequestCancel(); };
  TStageMovieMakers makers(
      TStageFolders{FServices.ProgramFolder + "player/", FServices.ProgramFolder + "preloader/"});
  SetRunning(true);
  QEventLoop loop;
  std::string failure;
  std::thread worker([&] {
    try {
      outcome = PublishRun(FProject, host, makers, DefaultJobs());
    } catch (const std::exception& e) {
      failure = e.what();
    }
    QMetaObject::invokeMethod(this, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  FProgress.reset();  // made anew for the next run
  SetRunning(false);
  if (!failure.empty()) Error(QStringLiteral("Error: ") + Q(failure));
  if (outcome.Status == TRunStatus::Finished) {
    FLastResult = outcome.Result;
    BtnResultClick();
  }
  FillFromProject();  // the run may have limited the bit rate to the sample rate
  return outcome;
}

void TFormMain::BtnResultClick() { FResult->ShowResult(FLastResult); }

// ---- Helpers ---------------------------------------------------------------------------------

void TFormMain::Error(const QString& text) { FServices.Dialogs->Error(this, text); }

void TFormMain::OpenUrl(const QString& url) { OpenWithShell(FServices, url); }

bool TFormMain::event(QEvent* event) {
  // The update reminder once, when the window first comes up; posted, so that the window is
  // drawn before a dialog covers it.
  if (event->type() == QEvent::WindowActivate && FFirstActivation) {
    FFirstActivation = false;
    QMetaObject::invokeMethod(this, [this] { FUpdate->CheckOnStart(); }, Qt::QueuedConnection);
  }
  return QMainWindow::event(event);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  // The lists' viewports say which list they belong to: the filter sees events (polishing) while
  // the window is still being built.
  const QString target = watched->property("twDrop").toString();
  TImageListControls* images = target == QLatin1String("Bg")   ? &Bg
                               : target == QLatin1String("Fg") ? &Fg
                                                               : nullptr;
  const bool music = target == QLatin1String("music");
  if (!music && !images) return QMainWindow::eventFilter(watched, event);
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDropEvent*>(event);
    if (!LocalFiles(drag->mimeData()).isEmpty()) {
      drag->acceptProposedAction();
      return true;
    }
  } else if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = LocalFiles(drop->mimeData());
    if (music) {
      QStringList songs;
      for (const QString& f : files)
        if (f.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive) ||
            f.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive))
          songs << f;
      AddMusicFiles(songs);
    } else if (ListOn(*images)) {
      AddImageFiles(*images, files);
    }
    drop->acceptProposedAction();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace tw::shell
