// Any bytes as a movie: load, parse into objects with actions, rebuild and save. Action tags
// decode their records only when asked, so every one is asked (sprites' inner tags too) before
// the rebuild writes them from their records.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "swf/action_tags.h"
#include "swf/stream.h"

namespace {

void DecodeActions(const std::vector<std::unique_ptr<tw::swf::TSWFTagInfo>>& tags) {
  for (const auto& info : tags) {
    if (auto* tag = dynamic_cast<tw::swf::TSWFDoAction*>(info->TagObject())) tag->Actions();
    DecodeActions(info->SubTags);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tw::swf::TSWFStreamReader reader(std::span<const uint8_t>(data, size));
    if (!reader.IsSWF) return 0;
    reader.ParseTags(true, true);
    DecodeActions(reader.TagList);
    reader.RenumberIDs(100);
    reader.BuildBody();
    tw::swf::TMemoryStream out;
    reader.SaveToStream(out);
  } catch (const tw::swf::ESWFError&) {
  }
  return 0;
}
