#include "shell/language.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "app/paths.h"
#include "support/testing.h"

namespace tw::shell {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string Bytes(std::string_view mark, std::string_view body) {
  return std::string(mark) + std::string(body);
}

// The compiler lays out the UTF-16 code units; the test only orders their bytes.
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string out;
  for (char16_t unit : text) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct TextCase {
  const char* name;
  std::string file;
  const char* key;
  const char* expected;
};

const TextCase kTextCases[] = {
    {"UTF-16 LE with a mark", Bytes("\xFF\xFE", Utf16(u"[INTERFACE]\r\nPublish=Veröffentlichen\r\n", false)),
     "Publish", "Veröffentlichen"},
    {"UTF-16 BE with a mark", Bytes("\xFE\xFF", Utf16(u"[INTERFACE]\r\nPublish=Публикация\r\n", true)),
     "Publish", "Публикация"},
    {"UTF-16 outside the first plane", Bytes("\xFF\xFE", Utf16(u"[INTERFACE]\nOk=\U0001F44D", false)),
     "Ok", "\U0001F44D"},
    {"UTF-8 with a mark", "\xEF\xBB\xBF[INTERFACE]\nPublish=Publicar\n", "Publish", "Publicar"},
    {"UTF-8 without a mark", "[INTERFACE]\nPublish=Veröffentlichen\n", "Publish", "Veröffentlichen"},
    {"Windows-1252 without a mark", "[INTERFACE]\nPublish=Ver\xF6" "ffentlichen \x80\n", "Publish",
     "Veröffentlichen €"},
    {"keys and sections differing in case", "[interface]\npUBLISH=Publier\n", "Publish", "Publier"},
    {"blanks around names and values", "  [ INTERFACE ]  \n\t Publish \t=  Publier  \n", "Publish",
     "Publier"},
    {"a looked-up key with a trailing space", "[INTERFACE]\nCopy generated files to directory ...=Copier ...\n",
     "Copy generated files to directory ... ", "Copier ..."},
    {"the value runs to the end of its line, = included", "[INTERFACE]\nA=b=c\nB=x\n", "A", "b=c"},
    {"an empty value is a translation", "[INTERFACE]\nPublish=\n", "Publish", ""},
    {"the first line of a key wins", "[INTERFACE]\nPublish=One\n[INTERFACE]\npublish=Two\n", "Publish",
     "One"},
    {"lines ending in a lone CR", "[INTERFACE]\rPublish=Publier\rExit=Quitter", "Exit", "Quitter"},
    {"a comment defines nothing", "[INTERFACE]\n;Publish=Publier\n  ; Exit=Quitter\n", "Publish", "Publish"},
    {"lines before the first section", "Publish=Publier\n[INTERFACE]\n", "Publish", "Publish"},
    {"another section", "[OTHER]\nPublish=Publier\n", "Publish", "Publish"},
    {"a line without =", "[INTERFACE]\nPublish\n", "Publish", "Publish"},
    {"a missing key", "[INTERFACE]\nExit=Quitter\n", "Publish", "Publish"},
    {"an empty file", "", "Publish", "Publish"},
    {"UTF-16 cut inside a code unit",
     Bytes("\xFF\xFE", Utf16(u"[INTERFACE]\nExit=Beenden\nPublish=Ver", false) + "\x6F"), "Exit",
     "Beenden"},
    {"a lone UTF-16 mark byte", "\xFF", "Exit", "Exit"},
    {"binary bytes", std::string("\0\x01\xFF[INTERFACE\0]\n=\n\x80\x81=\xC3\n[", 24), "Exit", "Exit"},
    {"an unpaired surrogate", Bytes("\xFF\xFE", Utf16(u"[INTERFACE]\nExit=\xD800!", false)), "Exit",
     "\xEF\xBF\xBD!"},
};

TEST(Language, ReadsTextsOfEveryEncodingAndLayout) {
  TempDir dir;
  for (const auto& c : kTextCases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "x.ini", c.file);
    EXPECT_EQ(TLanguage::Load(dir / "x.ini").Text(c.key), c.expected);
  }
}

TEST(Language, UnusableFilesGiveTheEnglishKey) {
  TempDir dir;
  const std::string one = "[INTERFACE]\nPublish=Publier\n";
  std::string huge = one;
  while (huge.size() <= TIniFile::kMaxFileSize) huge += std::string(1 << 16, ';') + "\n";
  WriteFile(dir / "huge.ini", huge);
  fs::create_directory(dir / "folder.ini");
  ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
  // A pipe nobody writes to would hold the start of the program if it were opened.
  for (const char* name : {"missing.ini", "huge.ini", "folder.ini", "pipe.ini"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(TLanguage::Load(dir / name).Text("Publish"), "Publish");
  }
  EXPECT_EQ(TLanguage().Text("Exit"), "Exit");
}

TEST(Language, MenuListsIniFilesSortedWithoutRegardToCase) {
  TempDir dir;
  for (const char* name : {"b.ini", "c.INI", "A.ini", "notes.txt", ".ini", "B.ini"})
    WriteFile(dir / name, "");
  fs::create_directory(dir / "d.ini");
  EXPECT_EQ(LanguageFiles(dir.path()),
            (std::vector<std::string>{"A.ini", "B.ini", "b.ini", "c.INI"}));
  EXPECT_EQ(LanguageCaption("German.ini"), "German");
  EXPECT_TRUE(LanguageFiles(dir / "missing").empty());
}

TEST(Language, FilePathFallsBackToEnglish) {
  TempDir dir;
  const std::string program = dir.path().string() + "/";
  fs::create_directory(dir / "languages");
  WriteFile(dir / "languages" / "German.ini", "");
  WriteFile(dir / "secret.ini", "");
  const fs::path english = dir / "languages" / "English.ini";
  const struct {
    const char* remembered;
    fs::path expected;
  } cases[] = {
      {"German.ini", dir / "languages" / "German.ini"},
      {"French.ini", english},  // removed since it was chosen
      {"", english},
      {"../secret.ini", english},  // only the name counts
      {"/elsewhere/German.ini", dir / "languages" / "German.ini"},
      {"..", english},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.remembered);
    EXPECT_EQ(LanguageFilePath(program, c.remembered), c.expected);
  }
}

TEST(Language, ShippedEnglishFileHoldsTheInterfaceTexts) {
  const fs::path file = test::ProgramDir() / "languages" / "English.ini";
  const TIniFile ini = TIniFile::Load(file);
  ASSERT_FALSE(ini.Empty()) << file;
  for (const char* key :
       {"Dovetek Tunewright", "Publish", "Preset:", "Normal quality, small size(22050 Hz, 16 kbps, Mono)",
        "Click \"Publish\" button to convert MP3 files to SWF files and generate Flash Player",
        "Copy generated files to directory ... ", "day(s) ago.", "Day(s).", "MP3 ID3 tag",
        "Copy HTML code to clipboard and paste it to your webpage", "Close"}) {
    SCOPED_TRACE(key);
    const std::string* value = ini.Find("INTERFACE", key);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, app::Trim(key));
  }
}

// The keys of the shipped English file, read line by line as it is written.
std::vector<std::string> EnglishKeys() {
  std::ifstream in(test::ProgramDir() / "languages" / "English.ini");
  std::vector<std::string> keys;
  for (std::string line; std::getline(in, line);) {
    line = app::Trim(line);
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == ';' || line[0] == '[' || eq == std::string::npos) continue;
    keys.push_back(app::Trim(line.substr(0, eq)));
  }
  return keys;
}

TEST(Language, ShippedFilesTranslateEveryKey) {
  const std::vector<std::string> keys = EnglishKeys();
  ASSERT_GT(keys.size(), 100u);
  const fs::path folder = test::ProgramDir() / "languages";
  const std::vector<std::string> files = LanguageFiles(folder);
  for (const char* name : {"English.ini", "French.ini", "German.ini", "Spanish.ini"})
    EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name;
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    std::ifstream in(folder / name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Read as UTF-8: a file in another encoding would be taken for Windows-1252 and show
    // garbled letters without any fault.
    const std::string_view body =
        std::string_view(bytes).starts_with("\xEF\xBB\xBF") ? std::string_view(bytes).substr(3) : bytes;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(DecodeTextFile({data, bytes.size()}), body);
    const TIniFile ini = TIniFile::Parse(body);
    for (const std::string& key : keys) {
      const std::string* value = ini.Find("INTERFACE", key);
      ASSERT_NE(value, nullptr) << key;
      EXPECT_FALSE(value->empty()) << key;
      if (name == "English.ini") {
        EXPECT_EQ(*value, key);
      }
    }
  }
}

}  // namespace
}  // namespace tw::shell
