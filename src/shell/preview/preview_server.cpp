#include "shell/preview/preview_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <exception>
#include <span>

#include "swf/stream.h"

namespace tw::shell {
namespace {

// A request head longer than this is no request of the web view's.
constexpr qsizetype kMaxHead = 8192;
// A connection that has sent no whole request by then is dropped: nothing may keep one open.
constexpr int kIdleMs = 10000;
// The largest file served (the emulator's WebAssembly modules are about 15 MB).
constexpr qint64 kMaxFile = 64 * 1024 * 1024;

QByteArray MimeType(const QString& name) {
  const QString ext = QFileInfo(name).suffix().toLower();
  if (ext == "js") return "text/javascript; charset=utf-8";
  if (ext == "wasm") return "application/wasm";
  if (ext == "swf") return "application/x-shockwave-flash";
  if (ext == "xml") return "text/xml; charset=utf-8";
  if (ext == "html") return "text/html; charset=utf-8";
  if (ext == "json" || ext == "map") return "application/json";
  if (name.startsWith("LICENSE")) return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

TPreviewResponse Plain(int status, const QByteArray& text) {
  return {status, "text/plain; charset=utf-8", text + "\n", false, false};
}

QByteArray StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    default: return "Internal Server Error";
  }
}

// The stage size of a movie from its header, in pixels; 0 x 0 when it is no readable movie.
struct TStageSize {
  int Width = 0, Height = 0;
};

TStageSize MovieSize(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFile) return {};
  const QByteArray bytes = file.readAll();
  try {
    swf::TSWFStreamReader reader(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
    if (!reader.IsSWF) return {};
    // The header's rectangle is in twips, whatever unit the reader's public rectangle uses.
    const swf::TRect& r = reader.FrameRect();
    const int w = (r.Right - r.Left) / 20, h = (r.Bottom - r.Top) / 20;
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192) return {};
    return {w, h};
  } catch (const std::exception&) {
    return {};
  }
}

// The emulator as the preview wants it: the movie plays at once at its own size, with nothing
// drawn over it (no splash screen, no "click to unmute", no letterbox), without Ruffle's menu,
// and it opens nothing outside. The 2D canvas renderer: with a software WebGL Ruffle puts a
// notice over the stage at the first mouse-over.
constexpr char kRuffleConfig[] =
    R"({"autoplay":"on","unmuteOverlay":"hidden","splashScreen":false,"letterbox":"off",)"
    R"("contextMenu":"off","showSwfDownload":false,"warnOnUnsupportedContent":false,)"
    R"("upgradeToHttps":false,"openUrlMode":"deny","polyfills":false,"favorFlash":false,)"
    R"("scale":"noScale","forceScale":true,"wmode":"transparent","logLevel":"error",)"
    R"("preferredRenderer":"canvas","publicPath":"/ruffle/"})";

// Everything the page and the emulator load comes from this server: no other address is
// reachable from it, so the preview works offline and leaks nothing.
constexpr char kPagePolicy[] =
    "default-src 'self'; script-src 'self' 'unsafe-inline' 'wasm-unsafe-eval'; "
    "style-src 'self' 'unsafe-inline'; img-src 'self' data: blob:; media-src 'self' data: blob:; "
    "connect-src 'self'; worker-src 'self' blob:; font-src 'self' data:; object-src 'none'; "
    "frame-src 'none'; form-action 'none'; base-uri 'self'";

QByteArray PageHtml(const QUrl& movieUrl, TStageSize size, bool haveRuffle) {
  QByteArray html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Preview</title>\n"
      "<style>html,body{margin:0;padding:0;height:100%;background:#fff;overflow:hidden}"
      "body{display:flex;align-items:center;justify-content:center}"
      "p{font:13px sans-serif;color:#555;margin:1em}</style>\n";
  if (movieUrl.isEmpty() || size.Width == 0) return html + "</head><body></body></html>\n";
  if (!haveRuffle)
    return html +
           "</head><body><p>The Ruffle emulator is not installed beside the program "
           "(ruffle/ruffle.js): the preview cannot play.</p></body></html>\n";
  const QByteArray w = QByteArray::number(size.Width), h = QByteArray::number(size.Height);
  html += "<script>window.RufflePlayer=window.RufflePlayer||{};window.RufflePlayer.config=";
  html += kRuffleConfig;
  html += ";</script>\n<script src=\"/ruffle/ruffle.js\"></script>\n</head><body>\n";
  html += "<div id=\"stage\" style=\"flex:none;width:" + w + "px;height:" + h + "px\"></div>\n";
  html += "<script>\nconst player = window.RufflePlayer.newest().createPlayer();\n";
  html += "player.style.width = \"" + w + "px\";\nplayer.style.height = \"" + h + "px\";\n";
  html += "document.getElementById(\"stage\").appendChild(player);\n";
  // Encoded, the address holds no quote or angle bracket that could end the string or script.
  html += "player.ruffle().load({url: \"" + movieUrl.toEncoded() + "\"});\n";
  html += "</script>\n</body></html>\n";
  return html;
}

}  // namespace

TPreviewServer::TPreviewServer(QString ruffleFolder) : FRuffleFolder(std::move(ruffleFolder)) {}

TPreviewServer::~TPreviewServer() = default;

bool TPreviewServer::Start() {
  if (FServer && FServer->isListening()) return true;
  FServer = std::make_unique<QTcpServer>();
  QObject::connect(FServer.get(), &QTcpServer::newConnection, FServer.get(), [this] { Accept(); });
  return FServer->listen(QHostAddress::LocalHost, 0);
}

uint16_t TPreviewServer::Port() const { return FServer ? FServer->serverPort() : 0; }

void TPreviewServer::SetMovie(const QString& swfPath) {
  if (swfPath.isEmpty()) {
    FMovieFolder.clear();
    FMovieName.clear();
    FPlaylistName.clear();
    return;
  }
  const QFileInfo info(swfPath);
  FMovieFolder = info.absolutePath() + "/";
  FMovieName = info.fileName();
  FPlaylistName = info.completeBaseName() + ".xml";
}

QUrl TPreviewServer::PageUrl(uint32_t reload) const {
  return QUrl(QString("http://127.0.0.1:%1/?%2").arg(Port()).arg(reload));
}

void TPreviewServer::Accept() {
  while (QTcpSocket* socket = FServer->nextPendingConnection()) {
    // The socket is a child of the server: it goes with it at the latest.
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                     [this, socket, buffer] { Serve(*socket, *buffer); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kIdleMs, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
  }
}

void TPreviewServer::Serve(QTcpSocket& socket, QByteArray& buffer) {
  if (socket.property("answered").toBool()) {
    socket.readAll();
    return;
  }
  buffer += socket.readAll();
  TPreviewResponse response;
  const qsizetype end = buffer.indexOf("\r\n\r\n");
  if (end < 0) {
    if (buffer.size() <= kMaxHead) return;  // more to come
    response = Plain(431, "request too large");
  } else if (end > kMaxHead) {
    response = Plain(431, "request too large");
  } else {
    const QByteArray line = buffer.left(buffer.indexOf("\r\n"));
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1."))
      response = Plain(400, "bad request");
    else
      response = Answer(parts[0], parts[1]);
  }
  socket.setProperty("answered", true);
  QByteArray head = "HTTP/1.1 " + QByteArray::number(response.Status) + " " +
                    StatusText(response.Status) + "\r\nContent-Type: " + response.Type +
                    "\r\nContent-Length: " + QByteArray::number(response.Body.size()) +
                    "\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n";
  head += response.Cacheable ? "Cache-Control: max-age=3600\r\n" : "Cache-Control: no-store\r\n";
  if (response.Page) head += QByteArray("Content-Security-Policy: ") + kPagePolicy + "\r\n";
  if (response.Status == 405) head += "Allow: GET\r\n";
  socket.write(head + "\r\n");
  socket.write(response.Body);
  socket.disconnectFromHost();
  buffer.clear();
}

TPreviewResponse TPreviewServer::Answer(const QByteArray& method, const QByteArray& target) const {
  if (method != "GET") return Plain(405, "only GET");
  if (!target.startsWith('/')) return Plain(400, "bad request");
  qsizetype cut = target.indexOf('#');
  const QByteArray noFragment = cut < 0 ? target : target.left(cut);
  cut = noFragment.indexOf('?');
  const QByteArray rawPath = cut < 0 ? noFragment : noFragment.left(cut);
  const QByteArray query = cut < 0 ? QByteArray() : noFragment.mid(cut + 1);
  const QByteArray decoded = QByteArray::fromPercentEncoding(rawPath);
  if (decoded.contains('\0')) return Plain(400, "bad request");
  const QString path = QString::fromUtf8(decoded);

  if (path == "/" || path == "/index.html") return Page(query);
  // The emulator's own files lie flat in its folder: a plain name, nothing that climbs out.
  static const QRegularExpression kPlainName("^[A-Za-z0-9][A-Za-z0-9._-]*$");
  if (path.startsWith("/ruffle/")) {
    const QString name = path.mid(8);
    if (kPlainName.match(name).hasMatch() && !FRuffleFolder.isEmpty()) {
      TPreviewResponse r = File(QDir(FRuffleFolder).filePath(name));
      r.Cacheable = r.Status == 200;
      return r;
    }
    return Plain(404, "not found");
  }
  if (!FMovieName.isEmpty() && (path == "/" + FMovieName || path == "/" + FPlaylistName))
    return File(FMovieFolder + path.mid(1));
  return Plain(404, "not found");
}

TPreviewResponse TPreviewServer::Page(const QByteArray& query) const {
  // The reload number goes on to the movie's address, so that the view fetches it anew.
  static const QRegularExpression kNumber("^[0-9]{1,10}$");
  QUrl movieUrl;
  TStageSize size;
  if (!FMovieName.isEmpty()) {
    movieUrl.setPath("/" + FMovieName);
    if (kNumber.match(QString::fromLatin1(query)).hasMatch()) movieUrl.setQuery(QString::fromLatin1(query));
    size = MovieSize(FMovieFolder + FMovieName);
  }
  const bool haveRuffle =
      !FRuffleFolder.isEmpty() && QFileInfo(QDir(FRuffleFolder).filePath("ruffle.js")).isFile();
  return {200, "text/html; charset=utf-8", PageHtml(movieUrl, size, haveRuffle), false, true};
}

TPreviewResponse TPreviewServer::File(const QString& path) const {
  const QFileInfo info(path);
  if (!info.isFile()) return Plain(404, "not found");
  QFile file(path);
  if (info.size() > kMaxFile || !file.open(QIODevice::ReadOnly)) return Plain(404, "not found");
  return {200, MimeType(info.fileName()), file.readAll(), false, false};
}

}  // namespace tw::shell
