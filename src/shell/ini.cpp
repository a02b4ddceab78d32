#include "shell/ini.h"

#include <sys/stat.h>

#include "app/paths.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::shell {

namespace {

// Sections and keys are English words; folding ASCII letters is the case rule they need, and it
// never changes the length or the bytes of other UTF-8 characters.
std::string FoldedName(std::string_view section, std::string_view key) {
  return ToLowerAscii(app::Trim(section)) + '\n' + ToLowerAscii(app::Trim(key));
}

}  // namespace

std::string DecodeTextFile(std::span<const uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  auto starts = [&](std::string_view mark) { return text.substr(0, mark.size()) == mark; };
  auto utf16 = [&](bool bigEndian) {
    std::string_view units = text.substr(2);
    return Utf16ToUtf8(units.substr(0, units.size() & ~size_t{1}), bigEndian);
  };
  if (starts("\xEF\xBB\xBF")) return ToUtf8(text.substr(3));
  if (starts("\xFF\xFE")) return utf16(false);
  if (starts("\xFE\xFF")) return utf16(true);
  return ToUtf8(text);
}

TIniFile TIniFile::Load(const std::filesystem::path& path) {
  // A pipe at the path would block the open; only a regular file is read.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  try {
    return Parse(DecodeTextFile(ReadWholeFile(path, kMaxFileSize)));
  } catch (const FileError&) {
    return {};
  }
}

TIniFile TIniFile::Parse(std::string_view utf8) {
  TIniFile ini;
  std::string section;
  bool inSection = false;
  size_t pos = 0;
  while (pos < utf8.size()) {
    size_t end = utf8.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = utf8.size();
    const std::string line = app::Trim(utf8.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      section = line.substr(1, line.size() - 2);
      inSection = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (!inSection || eq == std::string::npos) continue;
    ini.FValues.try_emplace(FoldedName(section, std::string_view(line).substr(0, eq)),
                            app::Trim(std::string_view(line).substr(eq + 1)));
  }
  return ini;
}

const std::string* TIniFile::Find(std::string_view section, std::string_view key) const {
  const auto it = FValues.find(FoldedName(section, key));
  return it == FValues.end() ? nullptr : &it->second;
}

}  // namespace tw::shell
