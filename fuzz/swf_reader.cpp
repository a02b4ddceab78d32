// Any bytes as a movie: load, parse into objects with actions, rebuild and save.
#include <cstddef>
#include <cstdint>

#include "swf/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tw::swf::TSWFStreamReader reader(std::span<const uint8_t>(data, size));
    if (!reader.IsSWF) return 0;
    reader.ParseTags(true, true);
    reader.RenumberIDs(100);
    reader.BuildBody();
    tw::swf::TMemoryStream out;
    reader.SaveToStream(out);
  } catch (const tw::swf::ESWFError&) {
  }
  return 0;
}
