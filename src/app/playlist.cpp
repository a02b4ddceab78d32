#include "app/playlist.h"

#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <system_error>
#include <vector>

#include "app/paths.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::app {
namespace fs = std::filesystem;

namespace {

std::string TitleOf(const TMusicFileList& song) {
  if (!song.Title.empty()) return ToUtf8(song.Title);
  return ToUtf8(ChangeFileExt(ExtractFileName(song.FileName), ""));
}

void AddTrack(pugi::xml_node playlist, const std::string& file, const TMusicFileList& song) {
  pugi::xml_node track = playlist.append_child("track");
  auto add = [&](const char* name, const std::string& text) {
    pugi::xml_node e = track.append_child(name);
    if (!text.empty()) e.text().set(text.c_str());
  };
  add("file", ToUtf8(file));
  add("title", TitleOf(song));
  add("artist", ToUtf8(song.Artist));
  add("album", ToUtf8(song.Album));
}

void RemoveIfExists(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

}  // namespace

std::string_view MusicFormatExt(TMusicFormat format) {
  switch (format) {
    case TMusicFormat::FLV: return ".flv";
    case TMusicFormat::MP3: return ".mp3";
    case TMusicFormat::SWF: break;
  }
  return ".swf";
}

std::string SongFileName(std::string_view songPath, TMusicFormat format) {
  return SpacesToUnderscores(ChangeFileExt(ExtractFileName(songPath), MusicFormatExt(format)));
}

void WritePlaylistFile(const std::string& target, const TConvertOption& options, THost& host) {
  try {
    RemoveIfExists(target);
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node playlist = doc.append_child("player").append_child("playlist");
    const std::string prefix = options.UseFullUrl ? options.FullUrl : std::string();
    for (const TMusicFileList* song = options.Music.get(); song; song = song->Next.get())
      AddTrack(playlist, prefix + SongFileName(song->FileName, options.MusicFormat), *song);
    WriteFileAtomic(target, [&](const fs::path& temp) {
      if (!doc.save_file(temp.c_str(), "  ", pugi::format_default, pugi::encoding_utf8))
        throw FileError("Cannot write file \"" + target + "\"");
    });
  } catch (const std::exception& e) {
    host.ShowError("Error: " + std::string(e.what()));
  }
}

std::string BuildTrackListXml(const TMusicFileList* first, THost& host) {
  pugi::xml_document doc;
  try {
    pugi::xml_node playlist = doc.append_child("player").append_child("playlist");
    for (const TMusicFileList* song = first; song; song = song->Next.get())
      AddTrack(playlist, ChangeFileExt(ExtractFileName(song->FileName), ".swf"), *song);
  } catch (const std::exception& e) {
    host.ShowError("Error: " + std::string(e.what()));
  }
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

std::string UrlEncodeFileName(std::string_view name) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
        b == '.' || b == '_' || b == '~') {
      out += c;
    } else {
      out += '%';
      out += kDigits[b >> 4];
      out += kDigits[b & 15];
    }
  }
  return out;
}

std::string BuildEmbedCode(const std::string& movieFileName, bool transparent, int width,
                           int height) {
  std::string s = "<embed";
  auto attr = [&](std::string_view name, std::string_view value) {
    s += ' ';
    s += name;
    s += "=\"";
    s += value;
    s += '"';
  };
  attr("src", UrlEncodeFileName(movieFileName));
  attr("quality", "high");
  attr("type", "application/x-shockwave-flash");
  if (transparent) attr("WMODE", "transparent");
  attr("width", std::to_string(width));
  attr("height", std::to_string(height));
  attr("pluginspage", kFlashPlayerPage);
  attr("allowScriptAccess", "always");
  s += " />";
  return s;
}

std::string RuffleScriptLine(TRuffleMode mode, std::string_view releaseUrl) {
  std::string src;
  switch (mode) {
    case TRuffleMode::Off: return {};
    case TRuffleMode::Link:
      // The address is a setting a project file carries: it must not end the attribute or
      // open markup of its own.
      for (char c : releaseUrl) {
        switch (c) {
          case '&': src += "&amp;"; break;
          case '"': src += "&quot;"; break;
          case '<': src += "&lt;"; break;
          case '>': src += "&gt;"; break;
          default:
            if (static_cast<unsigned char>(c) >= ' ') src += c;
        }
      }
      break;
    case TRuffleMode::Copy:
      src = std::string(kRuffleFolder) + std::string(kRuffleScript);
      break;
  }
  return "<script src=\"" + src + "\"></script>";
}

void WriteHtmlPage(const std::string& movieFileName, const std::string& target, bool transparent,
                   int width, int height, std::string_view scriptLine,
                   const std::string& workFolder) {
  std::vector<std::string> lines = {
      "<html>",
      "<head>",
      "<title>Dovetek Tunewright</title>",
      "</head>",
      "<body>",
      "<div align=\"center\">",
      BuildEmbedCode(movieFileName, transparent, width, height),
      "</div>",
      "</body>",
      "</html>",
  };
  if (!scriptLine.empty()) lines.insert(lines.begin() + 3, std::string(scriptLine));
  std::string page;
  for (const std::string& line : lines) {
    if (!page.empty()) page += "\r\n";
    page += line;
  }
  const std::string temp = (workFolder.empty() ? UserDataFolder() : workFolder) + "html.html";
  RemoveIfExists(temp);
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(page.data()), page.size());
  WriteFileAtomic(temp, bytes);
  RemoveIfExists(target);
  try {
    WriteFileAtomic(target, ReadWholeFile(temp));
  } catch (...) {
    RemoveIfExists(temp);
    throw;
  }
  RemoveIfExists(temp);
}

}  // namespace tw::app
