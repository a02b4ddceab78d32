// Writing changes nothing: every tag object of the corpus, written twice into the movie it came
// from, gives the same bytes both times and keeps every field it had before the first write.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "display_fields.h"
#include "support/testing.h"
#include "swf/sprite.h"
#include "swf/stream.h"
#include "text_sound_fields.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// What a tag shows of itself: its one-line description and the fields the family tests compare.
std::string Description(const TSWFObject& tag) {
  TSWFFields fields;
  tag.Describe(fields);
  std::string s = TagClassName(tag) + " " + DisplayFieldsText(tag);
  for (const auto& [name, value] : fields) s += " " + name + "=" + value;
  return s;
}

void CheckWritesTwice(TSWFObject& tag, const TSWFWriteContext& context, const std::string& where,
                      std::map<std::string, int>& failures) {
  const auto before = CloneTag(tag);
  const std::string described = Description(tag);
  const Bytes first = WriteWhole(tag, context);
  const Bytes second = WriteWhole(tag, context);
  // The text, font and sound families are compared field by field; the others say so.
  const FieldComparison same = CompareFields(*before, tag);
  const bool compared = same.Difference().rfind("no comparison", 0) != 0;
  std::string fault;
  if (first != second) fault = "a second write gives other bytes";
  else if (Description(tag) != described) fault = "the description changed";
  else if (compared && !same.Same()) fault = "the field " + same.Difference() + " changed";
  else if (WriteWhole(*before, context) != first) fault = "a copy made before writing writes other bytes";
  if (!fault.empty()) {
    const std::string key = TagClassName(tag) + ": " + fault;
    if (failures[key]++ == 0) ADD_FAILURE() << key << " (first at " << where << ")";
  }
  if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(&tag))
    for (size_t i = 0; i < sprite->ControlTags.size(); ++i)
      CheckWritesTwice(*sprite->ControlTags[i], context, where + "/" + std::to_string(i), failures);
}

TEST(WriteTwice, EveryCorpusTagWritesTheSameAndKeepsItsFields) {
  std::map<std::string, int> failures;
  size_t tags = 0;
  for (const auto& file : CorpusMovies()) {
    TSWFStreamReader reader(file);
    reader.ParseTags(true, true);
    TSWFWriteContext context;
    context.Version = reader.Version();
    for (size_t i = 0; i < reader.TagList.size(); ++i) {
      TSWFObject* tag = reader.TagList[i]->TagObject();
      if (!tag) continue;
      ++tags;
      CheckWritesTwice(*tag, context, file.filename().string() + " tag " + std::to_string(i),
                       failures);
    }
  }
  EXPECT_GT(tags, 5000u);
  for (const auto& [what, count] : failures) std::printf("%5d  %s\n", count, what.c_str());
}

}  // namespace
}  // namespace tw::test
