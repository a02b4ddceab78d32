#include "shell/language.h"

#include <algorithm>
#include <system_error>

#include "util/text.h"

namespace tw::shell {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSection = "INTERFACE";
constexpr std::string_view kExtension = ".ini";

bool HasIniExtension(std::string_view name) {
  return name.size() > kExtension.size() &&
         ToLowerAscii(name.substr(name.size() - kExtension.size())) == kExtension;
}

}  // namespace

TLanguage TLanguage::Load(const fs::path& path) { return TLanguage(TIniFile::Load(path)); }

TLanguage TLanguage::Parse(std::string_view utf8) { return TLanguage(TIniFile::Parse(utf8)); }

std::string TLanguage::Text(std::string_view english) const {
  if (FLookups) FLookups->emplace_back(english);
  const std::string* value = FIni.Find(kSection, english);
  return value ? *value : std::string(english);
}

fs::path LanguageFolder(const std::string& programFolder) {
  return fs::path(programFolder) / "languages";
}

std::vector<std::string> LanguageFiles(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    const std::string name = it->path().filename().string();
    if (HasIniExtension(name) && it->is_regular_file(typeError)) names.push_back(name);
  }
  // Case decides only between names that are otherwise equal, so the order never depends on the
  // order the folder lists its entries in.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = ToLowerAscii(a), lb = ToLowerAscii(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

std::string LanguageCaption(std::string_view fileName) {
  return std::string(fileName.substr(0, fileName.size() - std::min(fileName.size(), kExtension.size())));
}

fs::path LanguageFilePath(const std::string& programFolder, std::string_view remembered) {
  const fs::path folder = LanguageFolder(programFolder);
  const fs::path name = fs::path(std::string(remembered)).filename();
  if (!name.empty() && name != "." && name != "..") {
    std::error_code ec;
    const fs::path chosen = folder / name;
    if (fs::is_regular_file(chosen, ec)) return chosen;
  }
  return folder / std::string(kDefaultLanguage);
}

}  // namespace tw::shell
