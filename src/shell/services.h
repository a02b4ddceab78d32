// What the main window asks of the world outside it: dialogs, the song player for listening and
// the preview display. The program gives it the real ones; the tests give it recording fakes, so
// that the window's logic runs without a person, a sound device or a web engine.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>

class QWidget;

namespace tw::shell {

class TPreviewDisplay;

enum class TCloseAnswer { Yes, No, Cancel };

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // A message with one OK button.
  virtual void Error(QWidget* parent, const QString& text) = 0;
  // "Save the current project before exiting?" with Yes, No and Cancel.
  virtual TCloseAnswer AskSaveBeforeExit(QWidget* parent) = 0;
  // Existing files chosen in an open dialog; empty when cancelled.
  virtual QStringList OpenFiles(QWidget* parent, const QString& title, const QString& folder,
                                const QStringList& filters, bool many) = 0;
  // The target of a save dialog (".prj" added, replacing asked about); empty when cancelled.
  virtual QString SaveProjectFile(QWidget* parent, const QString& folder) = 0;
  // A folder; empty when cancelled.
  virtual QString Folder(QWidget* parent, const QString& title, const QString& start) = 0;
  // A colour; false when cancelled.
  virtual bool Color(QWidget* parent, unsigned& rgb) = 0;
};

// The platform's dialogs.
std::unique_ptr<TDialogs> CreateStandardDialogs();

// A song played for listening: open, play with an end notice, stop, length and position.
class TMusicPlayer {
 public:
  virtual ~TMusicPlayer() = default;
  virtual void Play(const QString& path) = 0;
  virtual void Stop() = 0;
  virtual qint64 Length() const = 0;    // milliseconds, 0 while unknown
  virtual qint64 Position() const = 0;  // milliseconds
  // Called once when the song played to its end (not after Stop).
  std::function<void()> OnEnd;
  // Called when the length became known.
  std::function<void()> OnLength;
};

// The platform's media player.
std::unique_ptr<TMusicPlayer> CreateMediaPlayer();

struct TShellServices {
  std::unique_ptr<TDialogs> Dialogs;
  std::function<std::unique_ptr<TMusicPlayer>()> CreatePlayer;
  // The preview display; its widget is made as a child of the widget given.
  std::function<std::unique_ptr<TPreviewDisplay>(QWidget*)> CreatePreview;
  // The folder the skins, preloaders, "default.prj" and "preview.xml" are found in, ending
  // with "/".
  std::string ProgramFolder;
  // The timers run by themselves; tests step them by hand.
  bool RunTimers = true;
  // The user's settings file; empty: UserSettingsPath().
  std::filesystem::path SettingsFile;
};

}  // namespace tw::shell
