#include "app/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tw::app {
namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  }
  if (home.empty()) home = "/tmp";
  return home;
}

// XDG_DOCUMENTS_DIR as user-dirs.dirs writes it: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string DocumentsFromUserDirs() {
  std::ifstream in(fs::path(ConfigFolder()) / "user-dirs.dirs");
  std::string line;
  constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    const std::string t = Trim(line);
    if (t.compare(0, key.size(), key) != 0) continue;
    std::string value = t.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = HomeFolder() + value.substr(5);
    // A value of the home folder itself means "no documents folder".
    if (value.empty() || fs::path(value).lexically_normal() == fs::path(HomeFolder()).lexically_normal() ||
        value.front() != '/')
      return {};
    return value;
  }
  return {};
}

void CreateFolders(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte written by two hexadecimal digits at text[pos]; 0 when they do not read.
uint8_t HexByte(std::string_view text, size_t pos) {
  if (pos + 2 > text.size()) return 0;
  const int hi = HexDigit(text[pos]);
  const int lo = HexDigit(text[pos + 1]);
  if (hi < 0 || lo < 0) return 0;
  return static_cast<uint8_t>(hi * 16 + lo);
}

}  // namespace

std::string ConfigFolder() {
  std::string dir = Env("XDG_CONFIG_HOME");
  if (dir.empty() || dir.front() != '/') dir = HomeFolder() + "/.config";
  return IncludeTrailingSlash(dir);
}

std::string SettingsFile() { return ConfigFolder() + "Dovetek/Sonafex.conf"; }

std::string DocumentsFolder() {
  std::string dir = Env("XDG_DOCUMENTS_DIR");
  if (dir.empty() || dir.front() != '/') dir = DocumentsFromUserDirs();
  if (dir.empty()) dir = HomeFolder() + "/Documents";
  dir = IncludeTrailingSlash(dir);
  CreateFolders(dir);
  return dir;
}

std::string UserDataFolder() {
  const std::string dir = DocumentsFolder() + "Dovetek Software/Tunewright/";
  CreateFolders(dir);
  return dir;
}

std::string ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return IncludeTrailingSlash(fs::current_path(ec).string());
  return IncludeTrailingSlash(exe.parent_path().string());
}

std::string ColorToHex(TColor color) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "0x";
  for (int shift : {0, 8, 16}) {
    const unsigned b = (color >> shift) & 0xFF;
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

TColor HexToColor(std::string_view text) {
  return MakeColor(HexByte(text, 2), HexByte(text, 4), HexByte(text, 6));
}

int ImageKindOf(std::string_view path) {
  const std::string ext = ExtractFileExt(path);
  std::string lower;
  for (char c : ext) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower == ".bmp") return 0;
  if (lower == ".jpg" || lower == ".jpeg") return 1;
  if (lower == ".gif") return 2;
  if (lower == ".png") return 3;
  if (lower == ".swf") return 4;
  return -1;
}

std::string SpacesToUnderscores(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == ' ') c = '_';
  return out;
}

std::string ExtractFileName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFilePath(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

namespace {
// Position of the extension's "." (after the last "/"), or npos.
size_t ExtensionDot(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string_view::npos) return dot;
  if (slash != std::string_view::npos && dot < slash) return std::string_view::npos;
  return dot;
}
}  // namespace

std::string ExtractFileExt(std::string_view path) {
  const size_t dot = ExtensionDot(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const size_t dot = ExtensionDot(path);
  std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
  out += ext;
  return out;
}

std::string IncludeTrailingSlash(std::string_view folder) {
  std::string out(folder);
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return std::string(text.substr(b, e - b));
}

int32_t RoundHalfEven(double value) {
  if (!std::isfinite(value)) return 0;
  const double r = value - std::remainder(value, 1.0);
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}

}  // namespace tw::app
