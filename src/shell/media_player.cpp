#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

#include "shell/services.h"

namespace tw::shell {

namespace {

class TMediaPlayer : public TMusicPlayer {
 public:
  TMediaPlayer() {
    FPlayer.setAudioOutput(&FOutput);
    QObject::connect(&FPlayer, &QMediaPlayer::mediaStatusChanged,
                     [this](QMediaPlayer::MediaStatus status) {
                       if (status == QMediaPlayer::EndOfMedia && OnEnd) OnEnd();
                     });
    QObject::connect(&FPlayer, &QMediaPlayer::durationChanged, [this](qint64) {
      if (OnLength) OnLength();
    });
  }
  void Play(const QString& path) override {
    FPlayer.stop();
    FPlayer.setSource(QUrl::fromLocalFile(path));
    FPlayer.play();
  }
  void Stop() override { FPlayer.stop(); }
  qint64 Length() const override { return FPlayer.duration(); }
  qint64 Position() const override { return FPlayer.position(); }

 private:
  QAudioOutput FOutput;
  QMediaPlayer FPlayer;
};

}  // namespace

std::unique_ptr<TMusicPlayer> CreateMediaPlayer() { return std::make_unique<TMediaPlayer>(); }

}  // namespace tw::shell
