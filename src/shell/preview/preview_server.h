// The program's own small web server for the preview: on 127.0.0.1 at a port the system picks,
// it hands the web view the page that plays the preview movie in the Ruffle emulator, the
// emulator's files from the program folder, and the movie with its playlist. Ruffle fetches its
// WebAssembly and the movie over HTTP, which a page loaded from a file or a custom URL scheme
// cannot give it. Nothing else is served, and nothing comes from anywhere else.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace tw::shell {

// What one request is answered with.
struct TPreviewResponse {
  int Status = 404;
  QByteArray Type;     // Content-Type
  QByteArray Body;
  bool Cacheable = false;  // the emulator's files; the page, movie and playlist never are
  bool Page = false;       // the page: sent with a policy that keeps it on this server
};

class TPreviewServer {
 public:
  // ruffleFolder: the emulator's files (the program folder's ruffle/).
  explicit TPreviewServer(QString ruffleFolder);
  ~TPreviewServer();
  TPreviewServer(const TPreviewServer&) = delete;
  TPreviewServer& operator=(const TPreviewServer&) = delete;

  // Listens on 127.0.0.1 at an ephemeral port; false when that is impossible.
  bool Start();
  uint16_t Port() const;

  // The movie the page plays: the file and, beside it under the same base name, its playlist
  // ("preview.swf" and "preview.xml" in the working folder). An empty path: no movie.
  void SetMovie(const QString& swfPath);
  // The page's address; each reload number gives another address, so the view loads the page
  // and the movie anew even when the file's name stays the same.
  QUrl PageUrl(uint32_t reload) const;

 private:
  // The answer to a request line's method and target (for example "GET", "/ruffle/ruffle.js").
  TPreviewResponse Answer(const QByteArray& method, const QByteArray& target) const;
  void Accept();
  void Serve(QTcpSocket& socket, QByteArray& buffer);
  TPreviewResponse Page(const QByteArray& query) const;
  TPreviewResponse File(const QString& path) const;

  QString FRuffleFolder;
  QString FMovieFolder;    // ends with "/", or empty without a movie
  QString FMovieName;      // "preview.swf"
  QString FPlaylistName;   // "preview.xml"
  std::unique_ptr<QTcpServer> FServer;
};

}  // namespace tw::shell
