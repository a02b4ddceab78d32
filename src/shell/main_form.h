// The main window: three pages (songs, player, publish) over one project, the menus and tool bar,
// the preview of the player page and the publish run with its progress window.
#pragma once

#include <QMainWindow>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/project.h"
#include "app/publish.h"
#include "shell/language.h"
#include "shell/services.h"
#include "shell/texts.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace tw::shell {

class TPreviewDisplay;
class TFormMp3Edit;
class TFormAbout;
class TFormConvertProcessing;

// The controls of one image list (background or foreground) and its property fields.
struct TImageListControls {
  bool Foreground = false;
  QCheckBox* Check = nullptr;
  QTreeWidget* List = nullptr;
  QPushButton* Add = nullptr;
  QPushButton* Del = nullptr;
  QPushButton* Up = nullptr;
  QPushButton* Down = nullptr;
  QLabel* PositionLabel = nullptr;
  QComboBox* Position = nullptr;
  // Left, top, X scale, Y scale, rotation.
  std::array<QLabel*, 5> FieldLabels{};
  std::array<QSpinBox*, 5> Fields{};
};

class TFormMain : public QMainWindow {
 public:
  enum TPage { MusicPage = 1, PlayerPage = 2, PublishPage = 3 };

  explicit TFormMain(TShellServices services, QWidget* parent = nullptr);
  ~TFormMain() override;

  app::TProject& Project() { return FProject; }
  const std::string& UserData() const { return FUserData; }
  int CurrentPage() const { return FPage; }
  void ShowPage(int page);

  // The preview: a change asks for it, the timer's third tick builds it.
  void UpdatePlayer();
  void TimerPreviewTimer();
  void BtnPreviewClick();
  int PreviewCountdown() const { return FPreviewCountdown; }

  // Project commands. Opening reads the whole file before the window changes: a file that cannot
  // be applied leaves the current project as it was. False when nothing was applied.
  bool OpenProjectFile(const QString& path);
  void NewProject();
  void SaveProjectAs();

  void AddMusicFiles(const QStringList& paths);
  void AddImageFiles(TImageListControls& list, const QStringList& paths);

  // The Publish button.
  app::TPublishOutcome btnConvertClick();
  const app::TPublishResult& LastResult() const { return FLastResult; }
  bool Running() const { return FRunning; }

  // Every enable rule, as after a project is applied.
  void RunEnableRules();

  // Every text of the window in the language given; the messages it shows are kept translated.
  void ApplyTexts(const TLanguage& lang);
  // Loads the language file once and applies it to this window and every other one.
  void ApplyLanguage(const std::filesystem::path& file);
  // The language in force, for the windows made later.
  const TLanguage& Language() const { return FLanguage; }

  // Controls the tests and the tour through the window reach by name as well.
  QTreeWidget* lvMp3;
  QProgressBar* pbMp3Progress;
  QPushButton *btnPlayMp3, *btnStopMp3;
  QMenu* pmMp3;
  QCheckBox* ChkReencode;
  QComboBox *cbbEncodingOptions, *cbbSampleRate, *cbbBitRate, *cbbChannels;
  QComboBox* cbbPlayerStyle;
  QTableWidget* lstOptions;
  QCheckBox* ChkAutoPreview;
  QTabWidget* PCPlayerOptions;
  QRadioButton *RdoDefaultSize, *RdoCustomSize;
  QLabel *lblWidth, *lblHeight, *lblPlayerPos;
  QSpinBox *SpinEditWidth, *SpinEditHeight;
  QComboBox* CmbPlayerPos;
  std::array<QLabel*, 5> PlayerFieldLabels{};  // left, top, rotation, X scale, Y scale
  std::array<QSpinBox*, 5> PlayerFields{};
  QRadioButton *RdoTransparent, *RdoSolid;
  QPushButton* ColorBgColorSolid;
  QCheckBox* ChkPreloader;
  QComboBox* CmbPreloader;
  QLabel *lblPl, *lblPlBg;
  QPushButton *ColorPl, *ColorPlBg;
  QComboBox* CmbFlashVersion;
  QSpinBox *SpinEditFrameRate, *SpinEditPlayPercent;
  TImageListControls Bg, Fg;
  QRadioButton *RdoPlayerAndMusicfiles, *RdoSinglePlayer, *RdoMusicFiles;
  QWidget* grpMusicFormat;
  QComboBox* CmbMusicFormat;
  QCheckBox *ChkFullURL, *ChkOnlyFlashPlayer;
  QLineEdit* EdtFullURL;
  QLabel* lblOutputName;
  QLineEdit *edtOutputName, *edtOutputFolder;
  QPushButton *btnConvert, *btnBrowse;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildLanguageMenu(QMenu* menu);
  QWidget* BuildMusicPage();
  QWidget* BuildPlayerPage();
  QWidget* BuildSizeTab();
  QWidget* BuildImageTab(TImageListControls& c, bool foreground);
  QWidget* BuildPublishPage();
  void Connect();
  void ConnectImageList(TImageListControls& c);

  // The widgets take the project's values, with every change handler muted.
  void FillFromProject();
  void FillMusicList(const std::vector<int>& select = {});
  void FillImageList(TImageListControls& c, int select);
  void ShowTemplateParams();
  void ShowColors();
  void ShowDefaultSizeText();
  bool Filling() const { return FFilling > 0; }

  // The enable rules, one per handler.
  void RdoPlayerAndMusicfilesClick();
  void ChkReencodeClick();
  void RdoDefaultSizeClick();
  void RdoTransparentClick();
  void ChkPreloaderEnable();
  void ChkImageClick(TImageListControls& c);

  // Music page.
  std::vector<int> SelectedSongs() const;
  bool NeedSelection(const std::vector<int>& selected);
  void btnAddMp3Click();
  void btnRemoveMp3Click();
  void MoveSong(bool up);
  void btnEditMp3Click();
  void btnPlayMp3Click();
  void btnStopMp3Click();
  void ListenTick();
  void UpdateMusicMenu();

  // Image lists.
  std::vector<app::TImageEntry>& Entries(const TImageListControls& c);
  bool& ListOn(const TImageListControls& c);
  int SelectedImage(const TImageListControls& c) const;
  void ShowImageProperties(TImageListControls& c);
  void ImageFieldsEnable(TImageListControls& c);
  void ImagePositionChange(TImageListControls& c);
  void ImageFieldChange(TImageListControls& c);
  void ImageDel(TImageListControls& c);
  void ImageMove(TImageListControls& c, bool up);

  // Player page.
  void cbbPlayerStyleChange(int index);
  void lstOptionsChanged(int row, const QString& value);
  void lstOptionsEditButtonClick(int row);
  void BtnResetClick();
  void ChooseColor(QPushButton* button);

  void Error(const QString& text);
  // A message text in the language in force; texts that are not messages stay as they are.
  QString Message(std::string_view english) const;
  void ShowResultList();
  void OpenUrl(const QString& url);
  void SetRunning(bool running);
  void ApplyText(const std::string& text);

  TShellServices FServices;
  std::string FUserData;
  app::TProject FProject;
  app::TPublishResult FLastResult;
  int FPage = MusicPage;
  bool FBusy = true;
  bool FRunning = false;
  int FFilling = 0;
  bool FImageProps = false;
  int FPreviewCountdown = -1;
  QTimer* TimerPreview;
  QTimer* FListenTimer;
  std::unique_ptr<TMusicPlayer> FPlayer;
  std::unique_ptr<TPreviewDisplay> FPreview;
  QStackedWidget* FPages;
  QListWidget* NavMain;
  QLabel* lblPreviewProblem;
  TFormMp3Edit* FMp3Edit;
  TFormAbout* FAbout;
  std::unique_ptr<TFormConvertProcessing> FProgress;
  QAction* FResultAction;
  TTextBindings FTexts;
  TLanguage FLanguage;
  std::map<std::string, QString, std::less<>> FMessages;
};

}  // namespace tw::shell
