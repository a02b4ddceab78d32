// Any bytes as a player template: a movie whose parameter definition is looked up and parsed,
// and the same bytes as a definition text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/templates.h"
#include "swf/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tw::swf;
  (void)tw::app::ParseTemplateDefinition(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    TSWFStreamReader reader(std::span<const uint8_t>(data, size));
    if (!reader.IsSWF) return 0;
    reader.OnParseTag = [](TSWFTagInfo& info, bool& parse) { parse = info.TagCode == 12; };
    reader.ParseTags(true, true);
    if (const auto text = tw::app::FindParamsDefine(reader)) (void)tw::app::ParseTemplateDefinition(*text);
  } catch (const ESWFError&) {
    // A header or zlib body that cannot be read: the template has no description.
  }
  return 0;
}
