// The playlist file, the inner playlist, the HTML page and its embed element.
#include <fstream>
#include <pugixml.hpp>

#include "app/app_support.h"
#include "app/paths.h"
#include "app/playlist.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

struct Song {
  const char* path;
  const char* title;
  const char* artist;
  const char* album;
};

TConvertOption OptionsWith(std::initializer_list<Song> songs, TMusicFormat format) {
  TConvertOption o;
  o.MusicFormat = format;
  std::unique_ptr<TMusicFileList>* slot = &o.Music;
  for (const Song& s : songs) {
    auto node = std::make_unique<TMusicFileList>();
    node->FileName = s.path;
    node->Title = s.title;
    node->Artist = s.artist;
    node->Album = s.album;
    node->Position = ++o.MusicCount;
    *slot = std::move(node);
    slot = &(*slot)->Next;
  }
  return o;
}

// Each track as "file|title|artist|album", read back with the XML parser.
std::vector<std::string> Tracks(const pugi::xml_document& doc) {
  std::vector<std::string> tracks;
  for (pugi::xml_node t : doc.child("player").child("playlist").children("track")) {
    std::string line;
    for (const char* e : {"file", "title", "artist", "album"}) {
      EXPECT_TRUE(t.child(e)) << e;
      EXPECT_FALSE(t.child(e).first_attribute());
      line += (line.empty() ? "" : "|") + std::string(t.child(e).text().get());
    }
    tracks.push_back(line);
  }
  return tracks;
}

TEST(Playlist, FileNamesTitlesAndPrefix) {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TConvertOption o = OptionsWith({{"/music/My Song.mp3", "", "A", ""},
                                  {"/music/b.wav", "Bé & <Co>", "", "Album \"1\""}},
                                 TMusicFormat::FLV);
  const fs::path file = dir / "player.xml";
  WritePlaylistFile(file.string(), o, host);
  EXPECT_TRUE(host.Errors.empty());
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(file.c_str()));
  EXPECT_EQ(Tracks(doc), (std::vector<std::string>{"My_Song.flv|My Song|A|",
                                                    "b.flv|Bé & <Co>||Album \"1\""}));
  // Pretty-printed UTF-8 with a declaration.
  const std::string text = ReadText(file);
  EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << text;
  EXPECT_NE(text.find("\n    <track>"), std::string::npos) << text;
  EXPECT_NE(text.find("B\xC3\xA9 &amp; &lt;Co&gt;"), std::string::npos) << text;

  o.UseFullUrl = true;
  o.FullUrl = "http://example.org/site/";
  o.MusicFormat = TMusicFormat::SWF;
  WritePlaylistFile(file.string(), o, host);
  ASSERT_TRUE(doc.load_file(file.c_str()));
  EXPECT_EQ(Tracks(doc)[0], "http://example.org/site/My_Song.swf|My Song|A|");
  o.MusicFormat = TMusicFormat::MP3;
  o.UseFullUrl = false;
  WritePlaylistFile(file.string(), o, host);
  ASSERT_TRUE(doc.load_file(file.c_str()));
  EXPECT_EQ(Tracks(doc)[1], "b.mp3|Bé & <Co>||Album \"1\"");
  // Nothing of the writing stays behind.
  EXPECT_EQ(FolderFiles(dir.path()), std::vector<std::string>{"player.xml"});
}

TEST(Playlist, InnerPlaylistIsCompactAndKeepsSpaces) {
  RecordingHost host;
  TConvertOption o = OptionsWith({{"/music/My Song.mp3", "", "A", ""}, {"/m/c.wav", "C", "", ""}},
                                 TMusicFormat::FLV);
  const std::string xml = BuildTrackListXml(o.Music.get(), host);
  EXPECT_EQ(xml,
            "<player><playlist><track><file>My Song.swf</file><title>My Song</title>"
            "<artist>A</artist><album/></track><track><file>c.swf</file><title>C</title>"
            "<artist/><album/></track></playlist></player>");
  EXPECT_EQ(BuildTrackListXml(nullptr, host), "<player><playlist/></player>");
  EXPECT_TRUE(host.Errors.empty());
}

TEST(Playlist, UnwritableTargetIsReportedAndTheRunGoesOn) {
  UserFolders user;
  RecordingHost host;
  TConvertOption o = OptionsWith({{"/m/a.mp3", "", "", ""}}, TMusicFormat::SWF);
  WritePlaylistFile("/nonexistent-folder/player.xml", o, host);
  ASSERT_EQ(host.Errors.size(), 1u);
  EXPECT_TRUE(host.Errors[0].starts_with("Error: ")) << host.Errors[0];
}

TEST(HtmlPage, TenLinesAroundTheEmbedElement) {
  UserFolders user;
  TempDir dir;
  const fs::path page = dir / "player.html";
  std::ofstream(page) << "an older and much longer page that must be replaced completely";
  WriteHtmlPage("player.swf", page.string(), true, 400, 300);
  const std::string expected =
      "<html>\r\n<head>\r\n<title>Dovetek Tunewright</title>\r\n</head>\r\n<body>\r\n"
      "<div align=\"center\">\r\n"
      "<embed src=\"player.swf\" quality=\"high\" type=\"application/x-shockwave-flash\" "
      "WMODE=\"transparent\" width=\"400\" height=\"300\" "
      "pluginspage=\"https://www.adobe.com/go/getflashplayer\" allowScriptAccess=\"always\" />"
      "\r\n</div>\r\n</body>\r\n</html>";
  EXPECT_EQ(ReadText(page), expected);
  // The working copy "html.html" is gone again.
  EXPECT_FALSE(fs::exists(user.Work() + "html.html"));
  EXPECT_EQ(FolderFiles(dir.path()), std::vector<std::string>{"player.html"});
  EXPECT_THROW(WriteHtmlPage("p.swf", "/nonexistent-folder/p.html", false, 1, 1), std::exception);
}

TEST(HtmlPage, TheEmulatorsScriptFollowsTheTitle) {
  UserFolders user;
  TempDir dir;
  const std::string embed =
      "<embed src=\"player.swf\" quality=\"high\" type=\"application/x-shockwave-flash\" "
      "width=\"360\" height=\"60\" pluginspage=\"https://www.adobe.com/go/getflashplayer\" "
      "allowScriptAccess=\"always\" />";
  auto page = [&](const std::string& script) {
    return "<html>\r\n<head>\r\n<title>Dovetek Tunewright</title>\r\n" + script +
           "</head>\r\n<body>\r\n<div align=\"center\">\r\n" + embed +
           "\r\n</div>\r\n</body>\r\n</html>";
  };
  struct Case {
    TRuffleMode mode;
    std::string url, line;
  } cases[] = {
      {TRuffleMode::Off, std::string(kDefaultRuffleUrl), ""},
      {TRuffleMode::Link, std::string(kDefaultRuffleUrl),
       "<script src=\"https://unpkg.com/@ruffle-rs/ruffle\"></script>"},
      // An address from a project file cannot end the attribute or open an element.
      {TRuffleMode::Link, "https://x.org/r.js?a=1&b=\"><script>alert(1)</script>\n",
       "<script src=\"https://x.org/r.js?a=1&amp;b=&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;"
       "\"></script>"},
      {TRuffleMode::Copy, "https://ignored.example/", "<script src=\"ruffle/ruffle.js\"></script>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string line = RuffleScriptLine(c.mode, c.url);
    EXPECT_EQ(line, c.line);
    const fs::path target = dir / "player.html";
    WriteHtmlPage("player.swf", target.string(), false, 360, 60, line);
    EXPECT_EQ(ReadText(target), page(line.empty() ? "" : line + "\r\n"));
  }
}

TEST(HtmlPage, EmbedElement) {
  const std::string solid = BuildEmbedCode("player.swf", false, 550, 400);
  EXPECT_EQ(solid.find("WMODE"), std::string::npos);
  EXPECT_NE(solid.find(" width=\"550\" height=\"400\" "), std::string::npos);
  EXPECT_TRUE(solid.starts_with("<embed src=\"player.swf\" quality=\"high\""));
  EXPECT_TRUE(solid.ends_with(" allowScriptAccess=\"always\" />"));

  // A name with a quote, an ampersand, a space or a non-ASCII letter stays one attribute value
  // and reaches the browser as the same bytes, whatever the page's encoding.
  const std::pair<const char*, const char*> names[] = {
      {"my \"best\" player.swf", "my%20%22best%22%20player.swf"},
      {"rock&roll.swf", "rock%26roll.swf"},
      {"Mötley.swf", "M%C3%B6tley.swf"},
      {"100%.swf", "100%25.swf"},
      {"a'b<c>.swf", "a%27b%3Cc%3E.swf"},
  };
  for (const auto& [name, src] : names) {
    SCOPED_TRACE(name);
    const std::string code = BuildEmbedCode(name, true, 1, 1);
    EXPECT_TRUE(code.starts_with("<embed src=\"" + std::string(src) + "\" quality")) << code;
    for (unsigned char c : code) EXPECT_LT(c, 0x80);
    // The whole page parses as one element with the expected attributes.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(code.c_str()));
    EXPECT_EQ(std::string(doc.child("embed").attribute("src").value()), src);
    EXPECT_EQ(std::string(doc.child("embed").attribute("allowScriptAccess").value()), "always");
  }
}

}  // namespace
}  // namespace tw::test
