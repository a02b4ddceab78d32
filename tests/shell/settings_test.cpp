#include "shell/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support/testing.h"

namespace tw::shell {
namespace {

namespace fs = std::filesystem;
namespace chr = std::chrono;
using test::TempDir;

constexpr chr::year_month_day Day(int y, unsigned m, unsigned d) {
  return {chr::year(y), chr::month(m), chr::day(d)};
}

void WriteFile(const fs::path& path, std::string_view text) { std::ofstream(path) << text; }

std::string ReadFile(const fs::path& path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

void ExpectDefaults(const TUserSettings& s) {
  EXPECT_EQ(s.Language, "English.ini");
  EXPECT_FALSE(s.UpdateDate.has_value());
  EXPECT_TRUE(s.AutoUpdate);
  EXPECT_EQ(s.UpdateDays, 15);
}

TEST(UserSettings, ReadsStoredValuesAndKeepsDefaultsForTheRest) {
  TempDir dir;
  const struct {
    const char* name;
    const char* file;
    const char* language;
    std::optional<chr::year_month_day> date;
    bool autoUpdate;
    int days;
  } cases[] = {
      {"all values", "[General]\nLanguage=German.ini\nUpdateDate=2026-11-20\nAutoUpdate=false\nUpdateDays=30\n",
       "German.ini", Day(2026, 11, 20), false, 30},
      {"names without regard to case", "[general]\nlanguage=French.ini\nAUTOUPDATE=0\nupdatedays=1\n",
       "French.ini", std::nullopt, false, 1},
      {"values that do not read", "[General]\nLanguage=\nUpdateDate=2026-02-30\nAutoUpdate=maybe\nUpdateDays=15x\n",
       "English.ini", std::nullopt, true, 15},
      {"a date not in ISO form", "[General]\nUpdateDate=20.11.2026\nUpdateDays=99999999999\n", "English.ini",
       std::nullopt, true, 15},
      {"another section", "[Other]\nLanguage=German.ini\nAutoUpdate=false\n", "English.ini", std::nullopt,
       true, 15},
      {"binary bytes", "\xFF\xFE[\x01\x80\n==\n[General", "English.ini", std::nullopt, true, 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "Sonafex.conf", c.file);
    const TUserSettings s = LoadUserSettings(dir / "Sonafex.conf");
    EXPECT_EQ(s.Language, c.language);
    EXPECT_EQ(s.UpdateDate, c.date);
    EXPECT_EQ(s.AutoUpdate, c.autoUpdate);
    EXPECT_EQ(s.UpdateDays, c.days);
  }
}

TEST(UserSettings, UnreadableFileGivesTheDefaults) {
  TempDir dir;
  fs::create_directory(dir / "folder.conf");
  ASSERT_EQ(::mkfifo((dir / "pipe.conf").c_str(), 0600), 0);
  for (const char* name : {"missing.conf", "folder.conf", "pipe.conf"}) {
    SCOPED_TRACE(name);
    ExpectDefaults(LoadUserSettings(dir / name));
  }
}

TEST(UserSettings, RoundTripThroughANewFolder) {
  TempDir dir;
  const fs::path file = dir / "Dovetek" / "Sonafex.conf";
  TUserSettings s;
  s.Language = "Español.ini";
  s.UpdateDate = Day(2026, 1, 5);
  s.AutoUpdate = false;
  s.UpdateDays = 1000;
  ASSERT_TRUE(SaveUserSettings(file, s));
  EXPECT_EQ(ReadFile(file),
            "[General]\nLanguage=Español.ini\nUpdateDate=2026-01-05\nAutoUpdate=false\nUpdateDays=1000\n");
  const TUserSettings back = LoadUserSettings(file);
  EXPECT_EQ(back.Language, s.Language);
  EXPECT_EQ(back.UpdateDate, s.UpdateDate);
  EXPECT_EQ(back.AutoUpdate, s.AutoUpdate);
  EXPECT_EQ(back.UpdateDays, s.UpdateDays);

  // A user who never saw the update window has no stored date.
  ASSERT_TRUE(SaveUserSettings(file, TUserSettings{}));
  ExpectDefaults(LoadUserSettings(file));
  // Only temporaries that were renamed away: the folder holds the file alone.
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
}

TEST(UserSettings, NameWithALineBreakCannotAddValues) {
  TempDir dir;
  TUserSettings s;
  s.Language = "German.ini\nAutoUpdate=false";
  ASSERT_TRUE(SaveUserSettings(dir / "s.conf", s));
  EXPECT_TRUE(LoadUserSettings(dir / "s.conf").AutoUpdate);
}

TEST(UserSettings, UnwritableFolderFailsAndKeepsTheOldFile) {
  TempDir dir;
  // A file where the folder should be stops even root, which file modes do not.
  WriteFile(dir / "Dovetek", "not a folder");
  EXPECT_FALSE(SaveUserSettings(dir / "Dovetek" / "Sonafex.conf", TUserSettings{}));
  EXPECT_EQ(ReadFile(dir / "Dovetek"), "not a folder");
  // The target itself a folder: the rename fails and nothing is replaced.
  fs::create_directories(dir / "target.conf" / "inside");
  EXPECT_FALSE(SaveUserSettings(dir / "target.conf", TUserSettings{}));
  EXPECT_TRUE(fs::is_directory(dir / "target.conf" / "inside"));
}

TEST(UserSettings, DaysBetweenIsTheAbsoluteDifference) {
  const struct {
    chr::year_month_day a, b;
    int days;
  } cases[] = {
      {Day(2026, 12, 10), Day(2026, 11, 20), 20},
      {Day(2026, 11, 20), Day(2026, 12, 10), 20},
      {Day(2026, 12, 10), Day(2026, 12, 10), 0},
      {Day(2025, 3, 1), Day(2024, 2, 28), 367},  // across a leap day
  };
  for (const auto& c : cases) EXPECT_EQ(DaysBetween(c.a, c.b), c.days);
}

TEST(UserSettings, PathFollowsXdgConfigHome) {
  TempDir dir;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  const fs::path path = UserSettingsPath();
  if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(path, dir / "Dovetek" / "Sonafex.conf");
}

}  // namespace
}  // namespace tw::shell
