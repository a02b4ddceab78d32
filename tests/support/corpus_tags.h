// Every tag of the corpus movies, sprites' inner tags included, with the exact bytes of its body.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "swf/tag.h"

namespace tw::test {

struct CorpusTag {
  std::filesystem::path file;
  std::string where;  // "tag 12", or "tag 12/3" for the third inner tag of the sprite at 12
  uint16_t code = 0;
  std::span<const uint8_t> body;  // valid during the callback only
  swf::TSWFReadContext context;   // what the reader hands this tag
};

// Calls visit for each tag of each movie (the broken ones too when asked). Tags are found by
// their headers alone, so a tag that no class reads is still visited.
void ForEachCorpusTag(const std::function<void(const CorpusTag&)>& visit,
                      bool includeBroken = false);

}  // namespace tw::test
