#include "shell/preview/ruffle_preview.h"

#include <unistd.h>

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "app/paths.h"
#include "shell/preview/preview_server.h"

namespace tw::shell {
namespace {

// The engine's sandbox cannot run as root; the variable is read when the engine starts, at the
// first view.
void AllowWebEngineAsRoot() {
  if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

// Whatever a movie or a page asks for, the view fetches nothing but from the preview's own server
// (and the data it holds itself): the preview works offline and tells no one what it shows.
class TLoopbackOnly : public QWebEngineUrlRequestInterceptor {
 public:
  TLoopbackOnly(uint16_t port, QObject* parent)
      : QWebEngineUrlRequestInterceptor(parent), FPort(port) {}
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QUrl url = info.requestUrl();
    const QString scheme = url.scheme();
    const bool own = scheme == "http" && url.host() == "127.0.0.1" && url.port() == FPort;
    if (!own && scheme != "data" && scheme != "blob" && scheme != "about") info.block(true);
  }

 private:
  const uint16_t FPort;
};

constexpr char kEmptyPage[] =
    "<!DOCTYPE html><html><head><style>html,body{margin:0;background:#fff}</style></head>"
    "<body></body></html>";

class TRufflePreview : public TPreviewDisplay {
 public:
  TRufflePreview(QWidget* parent, const QString& ruffleFolder) : FServer(ruffleFolder) {
    AllowWebEngineAsRoot();
    FView = new QWebEngineView(parent);
    FView->setContextMenuPolicy(Qt::NoContextMenu);
    QWebEngineSettings* settings = FView->page()->settings();
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    FServer.Start();
    FView->page()->setUrlRequestInterceptor(new TLoopbackOnly(FServer.Port(), FView->page()));
    Clear();
  }

  QWidget* Widget() override { return FView; }

  void ShowMovie(const QString& swfPath) override {
    if (!FView) return;
    FServer.SetMovie(swfPath);
    // A new address every time: the same file name is loaded anew, never from a cache.
    FView->load(FServer.PageUrl(++FReloads));
  }

  void Clear() override {
    if (!FView) return;
    FServer.SetMovie({});
    FView->setHtml(kEmptyPage);
  }

 private:
  TPreviewServer FServer;
  QPointer<QWebEngineView> FView;  // owned by the parent widget
  uint32_t FReloads = 0;
};

}  // namespace

std::unique_ptr<TPreviewDisplay> CreateRufflePreview(QWidget* parent) {
  return CreateRufflePreview(parent, QString::fromStdString(app::ProgramFolder() + "ruffle"));
}

std::unique_ptr<TPreviewDisplay> CreateRufflePreview(QWidget* parent, const QString& ruffleFolder) {
  return std::make_unique<TRufflePreview>(parent, ruffleFolder);
}

}  // namespace tw::shell
