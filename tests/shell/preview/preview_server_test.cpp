// The preview's loopback server spoken to over real sockets, as the web view speaks to it: what it
// serves, with which types, and that it serves nothing else and survives requests no browser
// sends.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <filesystem>
#include <fstream>

#include "shell/preview/preview_server.h"
#include "support/testing.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using shell::TPreviewServer;

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "preview_server_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

struct Reply {
  int status = 0;  // 0: no answer
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
};

// Sends raw bytes and reads until the server closes the connection.
Reply Send(uint16_t port, const std::string& request, bool closeEarly = false) {
  App();
  QTcpSocket socket;
  socket.connectToHost("127.0.0.1", port);
  QByteArray got;
  QElapsedTimer clock;
  clock.start();
  while (socket.state() != QAbstractSocket::ConnectedState && clock.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  socket.write(request.data(), static_cast<qint64>(request.size()));
  if (closeEarly) {
    socket.flush();
    socket.abort();
    return {};
  }
  while (socket.state() != QAbstractSocket::UnconnectedState && clock.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    got += socket.readAll();
  }
  got += socket.readAll();
  Reply r;
  const qsizetype end = got.indexOf("\r\n\r\n");
  if (end < 0) return r;
  const QList<QByteArray> lines = got.left(end).split('\n');
  r.status = lines[0].split(' ').value(1).toInt();
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].trimmed();
    const qsizetype colon = line.indexOf(':');
    if (colon > 0)
      r.headers[line.left(colon).toLower().toStdString()] = line.mid(colon + 1).trimmed().toStdString();
  }
  r.body = got.mid(end + 4).toStdString();
  return r;
}

Reply Get(uint16_t port, const std::string& target) {
  return Send(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

void Write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A real compressed movie of 50 x 300 pixels as the preview movie, its playlist, a file beside
// them that is not for the browser, and an emulator folder with a script and a module.
struct PreviewServer : ::testing::Test {
  TempDir dir;
  fs::path ruffle = dir / "ruffle", work = dir / "work";
  std::unique_ptr<TPreviewServer> server;
  uint16_t port = 0;

  void SetUp() override {
    fs::create_directories(ruffle);
    fs::create_directories(work);
    Write(ruffle / "ruffle.js", "/* the emulator */");
    Write(ruffle / "core.ruffle.0123abcd.js", "/* a chunk */");
    Write(ruffle / "0123abcd.wasm", std::string("\0asm\1\0\0\0", 8));
    Write(ruffle / "LICENSE_MIT", "MIT");
    fs::copy_file(CorpusFile("swf", "avm1__edittext_tag_indent__test.swf"), work / "preview.swf");
    Write(work / "preview.xml", "<playlist/>");
    Write(work / "config.prj", "not for the browser");
    Write(dir / "secret.txt", "not for the browser");
    App();
    server = std::make_unique<TPreviewServer>(QString::fromStdString(ruffle.string()));
    ASSERT_TRUE(server->Start());
    port = server->Port();
    ASSERT_NE(port, 0);
    server->SetMovie(QString::fromStdString((work / "preview.swf").string()));
  }
};

TEST_F(PreviewServer, ServesTheEmulatorTheMovieAndItsPlaylistWithTheirTypes) {
  struct Case {
    const char* target;
    fs::path file;
    const char* type;
  };
  const Case cases[] = {
      {"/ruffle/ruffle.js", ruffle / "ruffle.js", "text/javascript; charset=utf-8"},
      {"/ruffle/core.ruffle.0123abcd.js", ruffle / "core.ruffle.0123abcd.js",
       "text/javascript; charset=utf-8"},
      {"/ruffle/0123abcd.wasm", ruffle / "0123abcd.wasm", "application/wasm"},
      {"/ruffle/LICENSE_MIT", ruffle / "LICENSE_MIT", "text/plain; charset=utf-8"},
      {"/preview.swf?3", work / "preview.swf", "application/x-shockwave-flash"},
      {"/preview.xml", work / "preview.xml", "text/xml; charset=utf-8"},
      {"/prev%69ew.xml#top", work / "preview.xml", "text/xml; charset=utf-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const Reply r = Get(port, c.target);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), c.type);
    EXPECT_EQ(r.body, Read(c.file));
    EXPECT_EQ(r.header("content-length"), std::to_string(r.body.size()));
  }
  // The movie and its playlist change between reloads: never from a cache.
  EXPECT_EQ(Get(port, "/preview.swf").header("cache-control"), "no-store");
}

TEST_F(PreviewServer, ThePagePlaysTheMovieAtItsOwnSizeAndReachesNothingElse) {
  const Reply r = Get(port, "/?7");
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.header("content-type"), "text/html; charset=utf-8");
  EXPECT_EQ(r.header("cache-control"), "no-store");
  // The movie's header says 50 x 300; the player takes that size and never scales.
  EXPECT_NE(r.body.find("width:50px;height:300px"), std::string::npos) << r.body;
  EXPECT_NE(r.body.find("\"scale\":\"noScale\",\"forceScale\":true"), std::string::npos);
  EXPECT_NE(r.body.find("\"contextMenu\":\"off\""), std::string::npos);
  EXPECT_NE(r.body.find("\"splashScreen\":false"), std::string::npos);
  EXPECT_NE(r.body.find("\"letterbox\":\"off\""), std::string::npos);
  // The reload number reaches the movie's address, so the movie is fetched anew.
  EXPECT_NE(r.body.find("url: \"/preview.swf?7\""), std::string::npos);
  EXPECT_NE(r.body.find("src=\"/ruffle/ruffle.js\""), std::string::npos);
  EXPECT_EQ(r.body.find("http"), std::string::npos) << "an address outside the server";
  const std::string policy = r.header("content-security-policy");
  EXPECT_EQ(policy.rfind("default-src 'self';", 0), 0u) << policy;
  EXPECT_NE(policy.find("connect-src 'self';"), std::string::npos) << policy;
}

TEST_F(PreviewServer, WithoutAMovieOrWithABrokenOneThePageIsEmpty) {
  Write(work / "zip.swf", "PK\x03\x04 not a movie");
  Write(work / "cut.swf", std::string("CWS\x08\xff\x00\x00\x00\x78", 9));
  for (const fs::path& movie : {fs::path(), work / "zip.swf", work / "cut.swf", work / "missing.swf"}) {
    SCOPED_TRACE(movie.string());
    server->SetMovie(QString::fromStdString(movie.string()));
    const Reply r = Get(port, "/");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body.find("ruffle"), std::string::npos) << r.body;
  }
  EXPECT_EQ(Get(port, "/preview.swf").status, 404);
}

TEST_F(PreviewServer, ServesNothingElse) {
  const char* targets[] = {
      "/config.prj",
      "/ruffle/../work/config.prj",
      "/ruffle/%2e%2e/work/config.prj",
      "/ruffle/..%2f..%2fsecret.txt",
      "/%2e%2e/secret.txt",
      "/../secret.txt",
      "/preview.swf/../config.prj",
      "/ruffle/",
      "/ruffle/.hidden",
      "/ruffle//etc/passwd",
      "/ruffle/%00ruffle.js",
      "/work/preview.swf",
      "/other.swf",
      "/favicon.ico",
  };
  for (const char* target : targets) {
    SCOPED_TRACE(target);
    const Reply r = Get(port, target);
    EXPECT_TRUE(r.status == 404 || r.status == 400) << r.status;
    EXPECT_EQ(r.body.find("not for the browser"), std::string::npos);
  }
}

TEST_F(PreviewServer, RefusesWhatIsNoGetRequestAndGoesOn) {
  struct Case {
    const char* name;
    std::string request;
    int status;
  };
  const Case cases[] = {
      {"another method", "POST /preview.xml HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 405},
      {"HEAD", "HEAD /preview.xml HTTP/1.1\r\n\r\n", 405},
      {"no version", "GET /preview.xml\r\n\r\n", 400},
      {"not HTTP", "GET /preview.xml SPDY/3\r\n\r\n", 400},
      {"an absolute address", "GET http://127.0.0.1/preview.xml HTTP/1.1\r\n\r\n", 400},
      {"garbage", std::string("\x16\x03\x01\x02\0\x01\0\x01\xfc\x03\x03\r\n\r\n", 16), 400},
      {"a head without end", "GET / HTTP/1.1\r\nX: " + std::string(9000, 'a'), 431},
      {"a head too long", "GET / HTTP/1.1\r\nX: " + std::string(9000, 'a') + "\r\n\r\n", 431},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Send(port, c.request).status, c.status);
  }
  EXPECT_EQ(Send(port, "POST / HTTP/1.1\r\n\r\n").header("allow"), "GET");
  // A client that goes away halfway through a request harms no one.
  Send(port, "GET /preview.x", /*closeEarly=*/true);
  EXPECT_EQ(Get(port, "/preview.xml").status, 200);
}

TEST_F(PreviewServer, ListensOnTheLoopbackOnly) {
  App();
  QTcpSocket socket;
  // Any address of the machine but the loopback: nothing answers there.
  socket.connectToHost("127.0.0.2", port);
  EXPECT_FALSE(socket.waitForConnected(1000));
}

}  // namespace
}  // namespace tw::test
