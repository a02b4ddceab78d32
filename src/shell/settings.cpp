#include "shell/settings.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/paths.h"
#include "shell/ini.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::shell {

namespace fs = std::filesystem;
namespace chr = std::chrono;

namespace {

constexpr std::string_view kSection = "General";

std::optional<int> ReadInt(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<bool> ReadBool(std::string_view text) {
  const std::string lower = ToLowerAscii(text);
  if (lower == "true" || lower == "1") return true;
  if (lower == "false" || lower == "0") return false;
  return std::nullopt;
}

// ISO 8601 calendar date: "2026-12-10".
std::optional<chr::year_month_day> ReadDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto y = ReadInt(text.substr(0, 4)), m = ReadInt(text.substr(5, 2)),
             d = ReadInt(text.substr(8, 2));
  if (!y || !m || !d || *m < 0 || *d < 0) return std::nullopt;
  const chr::year_month_day date{chr::year(*y), chr::month(static_cast<unsigned>(*m)),
                                 chr::day(static_cast<unsigned>(*d))};
  if (!date.ok()) return std::nullopt;
  return date;
}

std::string DateText(chr::year_month_day date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

}  // namespace

fs::path UserSettingsPath() { return app::SettingsFile(); }

TUserSettings LoadUserSettings(const fs::path& file) {
  TUserSettings settings;
  const TIniFile ini = TIniFile::Load(file);
  if (const std::string* v = ini.Find(kSection, "Language"); v && !v->empty())
    settings.Language = *v;
  if (const std::string* v = ini.Find(kSection, "UpdateDate")) settings.UpdateDate = ReadDate(*v);
  if (const std::string* v = ini.Find(kSection, "AutoUpdate"))
    settings.AutoUpdate = ReadBool(*v).value_or(settings.AutoUpdate);
  if (const std::string* v = ini.Find(kSection, "UpdateDays"))
    settings.UpdateDays = ReadInt(*v).value_or(settings.UpdateDays);
  return settings;
}

bool SaveUserSettings(const fs::path& file, const TUserSettings& settings) {
  std::string text = "[General]\n";
  // A line break in the name would open a line of its own in the file.
  std::string language = settings.Language;
  std::erase_if(language, [](char c) { return c == '\n' || c == '\r'; });
  text += "Language=" + language + "\n";
  if (settings.UpdateDate) text += "UpdateDate=" + DateText(*settings.UpdateDate) + "\n";
  text += std::string("AutoUpdate=") + (settings.AutoUpdate ? "true" : "false") + "\n";
  text += "UpdateDays=" + std::to_string(settings.UpdateDays) + "\n";
  try {
    std::error_code ec;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
    WriteFileAtomic(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

int DaysBetween(chr::year_month_day a, chr::year_month_day b) {
  const auto days = (chr::sys_days(a) - chr::sys_days(b)).count();
  return static_cast<int>(days < 0 ? -days : days);
}

}  // namespace tw::shell
