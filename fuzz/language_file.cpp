// Hostile language and settings files: any bytes decode to valid UTF-8 and parse without a crash,
// a hang or a read out of bounds, and every value found is valid UTF-8 as well.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "shell/ini.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = tw::shell::DecodeTextFile(std::span(data, size));
  if (!tw::IsValidUtf8(text)) std::abort();
  const tw::shell::TIniFile ini = tw::shell::TIniFile::Parse(text);
  for (const char* key : {"Publish", "Language", "UpdateDate", ""}) {
    for (const char* section : {"INTERFACE", "General"}) {
      const std::string* value = ini.Find(section, key);
      if (value && !tw::IsValidUtf8(*value)) std::abort();
    }
  }
  return 0;
}
