// The language files: INI files in "languages/" beside the program whose keys are the English
// texts of the interface and whose values are their translations.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "shell/ini.h"

namespace tw::shell {

// The file used when none is remembered or the remembered one is gone.
inline constexpr std::string_view kDefaultLanguage = "English.ini";

class TLanguage {
 public:
  TLanguage() = default;
  // Reads the file; a missing, unreadable or hostile file gives English throughout.
  static TLanguage Load(const std::filesystem::path& path);
  static TLanguage Parse(std::string_view utf8);

  // The translation of an English text, or the text itself when the file, the section or the
  // key is missing. Keys are compared trimmed, as the file's own lines are.
  std::string Text(std::string_view english) const;

  // Every key asked for from now on is added to the list: the tests check each against the
  // English file, so that a window cannot look up a text no language file has.
  void RecordLookups(std::vector<std::string>* into) { FLookups = into; }

 private:
  explicit TLanguage(TIniFile ini) : FIni(std::move(ini)) {}
  TIniFile FIni;
  std::vector<std::string>* FLookups = nullptr;
};

// The folder of the language files: programFolder ends with "/".
std::filesystem::path LanguageFolder(const std::string& programFolder);

// The language files of the folder by file name ("German.ini"), in menu order: sorted without
// regard to case. Only regular files ending in ".ini" count.
std::vector<std::string> LanguageFiles(const std::filesystem::path& folder);

// The menu caption of a language file: its name less ".ini".
std::string LanguageCaption(std::string_view fileName);

// The file of the remembered language, or "English.ini" of the folder when that file is missing
// (whether or not English exists). Only the file-name part of the remembered text counts, so a
// stored path cannot lead out of the folder.
std::filesystem::path LanguageFilePath(const std::string& programFolder,
                                       std::string_view remembered);

}  // namespace tw::shell
