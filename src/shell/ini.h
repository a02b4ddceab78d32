// The INI text the language files and the settings file share: trimmed lines, ";" comments,
// "[section]" heads and "key=value" lines, sections and keys matched without regard to case.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tw::shell {

// The bytes of a text file as UTF-8: a byte-order mark picks UTF-16 LE, UTF-16 BE or UTF-8;
// without one the bytes are UTF-8 when valid, else Windows-1252. A lone last byte of UTF-16 is
// dropped.
std::string DecodeTextFile(std::span<const uint8_t> bytes);

class TIniFile {
 public:
  // Files larger than this are not read: no language or settings file comes near it.
  static constexpr uint64_t kMaxFileSize = 4u << 20;

  // An empty TIniFile when the file is missing, not a regular file, too large or unreadable;
  // never throws and never waits on a pipe or device standing at the path.
  static TIniFile Load(const std::filesystem::path& path);
  static TIniFile Parse(std::string_view utf8);

  // The value, or null when the section or the key is missing. The first line of a key wins.
  const std::string* Find(std::string_view section, std::string_view key) const;
  bool Empty() const { return FValues.empty(); }

 private:
  // Keyed by the folded section, a line break (never part of a name) and the folded key.
  std::unordered_map<std::string, std::string> FValues;
};

}  // namespace tw::shell
