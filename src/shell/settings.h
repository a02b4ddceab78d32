// The per-user settings: the chosen language and the update reminder's three values, kept in
// the [General] section of the user's "Dovetek/Sonafex.conf".
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace tw::shell {

struct TUserSettings {
  // The language file's name with its extension, without folder.
  std::string Language = "English.ini";
  // The day of the last update check; none until the update window was first shown, so that
  // the automatic check counts from today.
  std::optional<std::chrono::year_month_day> UpdateDate;
  bool AutoUpdate = true;
  int UpdateDays = 15;
};

// The settings file of the current user (its folder is not created).
std::filesystem::path UserSettingsPath();

// The stored values; each value that is missing or does not read keeps its default, and a file
// that cannot be read gives the defaults. Never throws.
TUserSettings LoadUserSettings(const std::filesystem::path& file);

// Writes every value through a temporary beside the file and a rename, creating the folder.
// False when that fails (the old file then stays as it was); never throws.
bool SaveUserSettings(const std::filesystem::path& file, const TUserSettings& settings);

// The day count between two dates: the absolute difference in whole days.
int DaysBetween(std::chrono::year_month_day a, std::chrono::year_month_day b);

}  // namespace tw::shell
