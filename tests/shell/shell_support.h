// The main window with recording fakes in place of the person, the sound device and the web
// engine, in a working folder of its own.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <filesystem>
#include <memory>

#include "shell/main_form.h"
#include "shell/preview_display.h"
#include "shell/services.h"

namespace tw::shell::testing {

struct TScript {
  QStringList Errors;
  std::deque<TCloseAnswer> CloseAnswers;  // Cancel when empty
  std::deque<QStringList> OpenFiles;      // nothing chosen when empty
  QString SaveTarget;
  int Questions = 0;
  QStringList Movies;  // every ShowMovie, in order
  QStringList Played;  // every song the player was told to play
  int Stops = 0;
  class TFakePlayer* Player = nullptr;  // the last window's
};

class TFakePlayer : public TMusicPlayer {
 public:
  explicit TFakePlayer(TScript& script) : F(script) {}
  void Play(const QString& path) override { F.Played << path; }
  void Stop() override { ++F.Stops; }
  qint64 Length() const override { return 2000; }
  qint64 Position() const override { return 0; }

 private:
  TScript& F;
};

class TFakeDialogs : public TDialogs {
 public:
  explicit TFakeDialogs(TScript& script) : F(script) {}
  void Error(QWidget*, const QString& text) override { F.Errors << text; }
  TCloseAnswer AskSaveBeforeExit(QWidget*) override {
    ++F.Questions;
    if (F.CloseAnswers.empty()) return TCloseAnswer::Cancel;
    const TCloseAnswer a = F.CloseAnswers.front();
    F.CloseAnswers.pop_front();
    return a;
  }
  QStringList OpenFiles(QWidget*, const QString&, const QString&, const QStringList&,
                        bool) override {
    if (F.OpenFiles.empty()) return {};
    QStringList files = F.OpenFiles.front();
    F.OpenFiles.pop_front();
    return files;
  }
  QString SaveProjectFile(QWidget*, const QString&) override { return F.SaveTarget; }
  QString Folder(QWidget*, const QString&, const QString&) override { return {}; }
  bool Color(QWidget*, unsigned&) override { return false; }

 private:
  TScript& F;
};

class TFakePreview : public TPreviewDisplay {
 public:
  TFakePreview(QWidget* parent, TScript& script) : FWidget(new QWidget(parent)), F(script) {}
  QWidget* Widget() override { return FWidget; }
  void ShowMovie(const QString& swfPath) override { F.Movies << swfPath; }
  void Clear() override {}

 private:
  QWidget* FWidget;
  TScript& F;
};

// A fresh HOME and documents folder, so that the working folder and config.prj are the test's.
class TWindowFixture {
 public:
  TWindowFixture() {
    qputenv("HOME", FHome.path().toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", (FHome.path() + "/Documents").toUtf8());
    qputenv("XDG_CONFIG_HOME", (FHome.path() + "/config").toUtf8());
  }
  // The program folder ends with "/"; the settings file is the HOME's when none is given.
  std::unique_ptr<TFormMain> MakeWindow(std::string programFolder = TW_PROGRAM_DIR "/",
                                        std::filesystem::path settingsFile = {}) {
    TShellServices services;
    services.Dialogs = std::make_unique<TFakeDialogs>(Script);
    services.CreatePreview = [this](QWidget* parent) {
      return std::make_unique<TFakePreview>(parent, Script);
    };
    services.CreatePlayer = [this] {
      auto player = std::make_unique<TFakePlayer>(Script);
      Script.Player = player.get();
      return player;
    };
    services.ProgramFolder = std::move(programFolder);
    services.RunTimers = false;
    services.SettingsFile = std::move(settingsFile);
    return std::make_unique<TFormMain>(std::move(services));
  }
  QString Home() const { return FHome.path(); }

  TScript Script;

 private:
  QTemporaryDir FHome;
};

}  // namespace tw::shell::testing
