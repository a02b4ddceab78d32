// Every placement, removal and button tag of the corpus, top level and inside sprites: read into
// its object (action lists both decoded and kept raw), written back to the same body or to a
// named second encoding that reads back to the same fields, and copied (factory + Assign) into
// an object that writes the same bytes after its source is gone.
#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "display_fields.h"
#include "support/corpus_tags.h"
#include "support/second_encodings.h"
#include "support/testing.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// The codes these tests own.
const std::set<uint16_t> kOwnedCodes = {
    4, 5, 26, 28, 70,  // PlaceObject 1 to 3, RemoveObject 1 and 2
    7, 17, 23, 34,     // DefineButton, DefineButtonSound, DefineButtonCxform, DefineButton2
};
// The codes that hold action lists, read both ways.
const std::set<uint16_t> kActionCodes = {7, 26, 34, 70};

std::unique_ptr<TSWFObject> ReadObject(uint16_t code, std::span<const uint8_t> body,
                                       const TSWFReadContext& context) {
  auto object = CreateTagObject(code);
  object->BodySize = static_cast<int32_t>(body.size());
  object->SetReadContext(context);
  TMemoryStream view = TMemoryStream::View(body);
  TBitsEngine be(view);
  if (!body.empty()) object->ReadFromStream(be);
  return object;
}

std::string FirstDifference(std::span<const uint8_t> want, std::span<const uint8_t> got) {
  size_t i = 0;
  while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
  auto around = [i](std::span<const uint8_t> s) {
    const size_t from = std::min(i >= 4 ? i - 4 : 0, s.size());
    return ToHex(s.subspan(from, std::min<size_t>(12, s.size() - from)));
  };
  return "sizes " + std::to_string(want.size()) + "/" + std::to_string(got.size()) +
         ", first difference at " + std::to_string(i) + ": want " + around(want) + " got " +
         around(got);
}

struct Tally {
  std::map<uint16_t, size_t> perCode;
  size_t exact = 0;
  std::map<std::string, size_t> perReason;
  std::set<const SecondEncoding*> used;
};

void CheckTag(const CorpusTag& tag, const TSWFReadContext& context, Tally& tally) {
  const std::string file = tag.file.filename().string();
  std::unique_ptr<TSWFObject> object;
  try {
    object = ReadObject(tag.code, tag.body, context);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "not read: " << e.what();
    return;
  }
  ASSERT_EQ(dynamic_cast<TSWFByteCodeTag*>(object.get()), nullptr);
  const std::string fields = DisplayFieldsText(*object);
  const auto asRead = CloneTag(*object);  // taken before writing
  const Bytes written = WriteBody(*object, WriteContextOf(context));
  if (std::equal(written.begin(), written.end(), tag.body.begin(), tag.body.end())) {
    ++tally.exact;
  } else {
    const auto again = ReadObject(tag.code, written, context);
    const char* reason = nullptr;
    if (const SecondEncoding* second = FindSecondEncoding(file, tag.where)) {
      EXPECT_EQ(second->code, tag.code);
      tally.used.insert(second);
      reason = second->reason;
      EXPECT_TRUE(SecondEncodingHolds(*second, *asRead, *again, tag.body, written))
          << "the difference is not the one named: " << FirstDifference(tag.body, written);
    } else {
      for (const auto& rule : SecondEncodingRules())
        if (rule.applies(*asRead, *again, tag.body, written)) {
          reason = rule.name;
          break;
        }
    }
    if (!reason) {
      ADD_FAILURE() << "written back differently for no known reason: "
                    << FirstDifference(tag.body, written);
    } else {
      ++tally.perReason[reason];
      SCOPED_TRACE(reason);
      EXPECT_EQ(DisplayFieldsText(*again), fields) << "our encoding reads back to other fields";
      EXPECT_EQ(WriteBody(*again, WriteContextOf(context)), written) << "our encoding is not stable";
    }
  }
  // The copy must own everything it writes: its source is gone before it writes.
  auto copy = CloneTag(*object);
  object.reset();
  EXPECT_EQ(DisplayFieldsText(*copy), fields);
  EXPECT_EQ(WriteBody(*copy, WriteContextOf(context)), written) << "the copy writes other bytes";
}

TEST(DisplayButtonCorpus, EveryTagReadsWritesAndCopies) {
  Tally tally;
  ForEachCorpusTag([&](const CorpusTag& tag) {
    if (!kOwnedCodes.count(tag.code)) return;
    ++tally.perCode[tag.code];
    for (bool parse : {true, false}) {
      if (!parse && !kActionCodes.count(tag.code)) continue;
      SCOPED_TRACE(tag.file.filename().string() + " " + tag.where + " code " +
                   std::to_string(tag.code) + (parse ? " parsed" : " raw actions"));
      TSWFReadContext context = tag.context;
      context.ParseActions = parse;
      CheckTag(tag, context, tally);
    }
  });
  // The corpus holds every owned code but RemoveObject (5), which no movie of it uses.
  for (uint16_t code : kOwnedCodes) {
    if (code == 5) continue;
    EXPECT_GT(tally.perCode[code], 0u) << "no tag of code " << code;
  }
  // Every case named for these codes still differs: the list stays honest.
  for (const auto& e : SecondEncodings()) {
    if (!kOwnedCodes.count(static_cast<uint16_t>(e.code))) continue;
    EXPECT_TRUE(tally.used.count(&e)) << e.file << " " << e.where << " is written as it was";
  }
  size_t total = 0;
  for (const auto& [code, n] : tally.perCode) total += n;
  std::printf("checked %zu tags, %zu readings byte for byte; second encodings:\n", total,
              tally.exact);
  for (const auto& [name, n] : tally.perReason) std::printf("  %4zu  %s\n", n, name.c_str());
}

// The reader itself: no tag of these codes falls back to raw bytes, at any depth.
void ExpectNoRawOwnedTags(const std::vector<std::unique_ptr<TSWFTagInfo>>& infos,
                          const std::string& file) {
  for (const auto& info : infos) {
    if (const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(info->TagObject())) {
      EXPECT_FALSE(kOwnedCodes.count(raw->RawTagID))
          << file << ": code " << raw->RawTagID << " kept raw: " << raw->Text;
    }
    ExpectNoRawOwnedTags(info->SubTags, file);
  }
}

TEST(DisplayButtonCorpus, ReaderKeepsNoneRaw) {
  for (const auto& file : CorpusMovies()) {
    for (bool parse : {true, false}) {
      TSWFStreamReader reader(file);
      reader.ParseTags(true, parse);
      ExpectNoRawOwnedTags(reader.TagList, file.filename().string());
    }
  }
}

// Damaged bodies: every owned code, cut short at many lengths and with bytes changed, reads or
// fails with the format error; it never reads out of bounds (AddressSanitizer), never hangs and
// never allocates beyond what the body can describe. What does read writes without failing.
TEST(DisplayButtonCorpus, DamagedBodiesFailCleanly) {
  std::map<uint16_t, int> sampled;
  std::mt19937 random(20240612);
  auto tryRead = [](uint16_t code, std::span<const uint8_t> body, const TSWFReadContext& c) {
    std::unique_ptr<TSWFObject> tag;
    try {
      tag = ReadObject(code, body, c);
    } catch (const ESWFError&) {
      return;
    }
    try {
      WriteBody(*tag, WriteContextOf(c));
    } catch (const ESWFError&) {
      // A read that found a record with no state (a zero flags byte) cannot be written back.
    }
  };
  ForEachCorpusTag([&](const CorpusTag& tag) {
    if (!kOwnedCodes.count(tag.code) || tag.body.empty()) return;
    // The larger bodies carry the clip actions, filters and condition actions worth damaging.
    if (tag.body.size() < 12 && sampled[tag.code] > 0) return;
    if (sampled[tag.code]++ >= 6) return;
    SCOPED_TRACE(tag.file.filename().string() + " " + tag.where);
    TSWFReadContext context = tag.context;
    context.ParseActions = true;
    for (size_t n = 0; n < tag.body.size(); ++n) tryRead(tag.code, tag.body.first(n), context);
    Bytes changed(tag.body.begin(), tag.body.end());
    for (int i = 0; i < 200; ++i) {
      const size_t at = random() % changed.size();
      const uint8_t old = changed[at];
      changed[at] = static_cast<uint8_t>(random());
      tryRead(tag.code, changed, context);
      changed[at] = old;
    }
  });
  EXPECT_GE(sampled.size(), kOwnedCodes.size() - 1);  // all but RemoveObject
}

// Renumbering a movie for embedding reaches the ids that placements, removals and buttons
// carry: the characters they place and show, the button a sound or colour transform is for,
// and the sounds a button plays.
TEST(DisplayButtonCorpus, RenumberingReachesEveryId) {
  struct Case {
    const char* file;
    std::map<uint16_t, std::vector<uint16_t>> ids;  // tag code -> the ids of its last tag after
  };
  const Case cases[] = {
      // shape 1, sound 2 and button 3 (three records of the shape, the sound on two
      // transitions, placed by a PlaceObject) become 100, 101 and 102
      {"swfcrate__DefineButtonCxformSound-MX.swf",
       {{7, {102, 100, 100, 100}}, {23, {102}}, {17, {102, 101, 101}}, {4, {102}}}},
      // shape 1, sprite 2 and shape 3 become 100 to 102; button 4 (showing the sprite and
      // shape 3, placed by a PlaceObject2) becomes 103
      {"swfcrate__DefineButton2-CS6.swf", {{34, {103, 101, 102}}, {26, {103}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TSWFStreamReader reader(CorpusFile("swf", c.file));
    reader.ParseTags(true, true);
    reader.RenumberIDs(100);
    std::map<uint16_t, std::vector<uint16_t>> seen;
    for (const auto& info : reader.TagList) {
      TSWFObject* tag = info->TagObject();
      if (!tag || !c.ids.count(tag->TagID)) continue;
      auto& ids = seen[tag->TagID];
      ids.clear();
      tag->VisitDefinedIDs([&](uint16_t& id) { ids.push_back(id); });
      tag->VisitReferencedIDs([&](uint16_t& id) { ids.push_back(id); });
    }
    EXPECT_EQ(seen, c.ids);
  }
}

}  // namespace
}  // namespace tw::test
