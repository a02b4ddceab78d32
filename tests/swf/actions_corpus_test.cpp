// Every DoAction and DoInitAction of the corpus movies: decoded, written back byte for byte,
// copied, and written again from markers; and whole movies copied with decoded actions.
#include <map>

#include "support/testing.h"
#include "swf/action_disasm.h"
#include "swf/action_tags.h"
#include "swf/sprite.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// Records of the corpus that are not written back exactly, each with the reason: the key is
// "movie/action tag number/record index". Empty: every record is reproduced.
const std::map<std::string, std::string> kNotExact = {};

struct TActionTagBytes {
  uint16_t Code;
  Bytes Body;
};

// The bodies of the action tags of a movie body in reading order (a sprite's tags right after
// it), found by a walk of the tag headers that shares nothing with the reader.
void CollectActionTags(std::span<const uint8_t> body, std::vector<TActionTagBytes>& out, int depth = 0) {
  size_t p = 0;
  while (p + 2 <= body.size()) {
    const uint16_t word = static_cast<uint16_t>(body[p] | (body[p + 1] << 8));
    p += 2;
    const uint16_t code = word >> 6;
    size_t length = word & 0x3F;
    if (length == 63) {
      if (p + 4 > body.size()) return;
      length = body[p] | (body[p + 1] << 8) | (body[p + 2] << 16) | (size_t{body[p + 3]} << 24);
      p += 4;
    }
    if (length > body.size() - p) return;
    const auto tag = body.subspan(p, length);
    if (code == 12 || code == 59) out.push_back({code, Bytes(tag.begin(), tag.end())});
    if (code == 39 && length >= 4 && depth < 8) CollectActionTags(tag.subspan(4), out, depth + 1);
    if (code == 0 && depth > 0) return;
    p += length;
  }
}

void CollectActionObjects(const std::vector<std::unique_ptr<TSWFTagInfo>>& infos,
                          std::vector<TSWFObject*>& out) {
  for (const auto& info : infos) {
    const uint16_t code = info->TagObject() ? info->TagObject()->TagID : info->TagCode;
    const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(info->TagObject());
    const uint16_t realCode = raw ? raw->RawTagID : code;
    if (realCode == 12 || realCode == 59) out.push_back(info->TagObject());
    CollectActionObjects(info->SubTags, out);
  }
}

bool KnownCode(uint8_t code) { return code < kActionByteCode && CreateActionByCode(code) != nullptr; }

// One line per record: its code and the bytes it writes (a marker: its label).
std::vector<std::string> RecordSignature(const TSWFActionList& list) {
  std::vector<std::string> lines;
  for (const auto& record : list) {
    if (record->ActionCode == kActionMarker) {
      lines.push_back("marker " + static_cast<const TSWFOffsetMarker&>(*record).Label);
      continue;
    }
    TMemoryStream s;
    TBitsEngine be(s);
    record->WriteToStream(be);
    lines.push_back(std::to_string(record->ActionCode) + ": " + ToHex(s.Bytes()));
  }
  return lines;
}

struct TCorpusMovie {
  std::filesystem::path File;
  std::vector<TActionTagBytes> Tags;
};

// The corpus movies that hold action tags (the AVM1 movies).
const std::vector<TCorpusMovie>& ActionMovies() {
  static const std::vector<TCorpusMovie> movies = [] {
    std::vector<TCorpusMovie> list;
    for (const auto& file : CorpusMovies()) {
      TSWFStreamReader reader;
      try {
        reader.LoadFromFile(file);
      } catch (const std::exception&) {
        continue;
      }
      if (!reader.IsSWF) continue;
      TCorpusMovie movie{file, {}};
      CollectActionTags(reader.BodyStream().Bytes(), movie.Tags);
      if (!movie.Tags.empty()) list.push_back(std::move(movie));
    }
    return list;
  }();
  return movies;
}

TEST(ActionsCorpus, EveryActionTagDecodesAndWritesBackByteForByte) {
  const auto& movies = ActionMovies();
  ASSERT_GT(movies.size(), 150u) << "the corpus lost its AVM1 movies";
  size_t lists = 0, records = 0, branches = 0, placed = 0;
  for (const auto& movie : movies) {
    const std::string name = movie.File.filename().string();
    SCOPED_TRACE(name);
    TSWFStreamReader reader(movie.File);
    reader.ParseTags(true, true);
    std::vector<TSWFObject*> tags;
    CollectActionObjects(reader.TagList, tags);
    ASSERT_EQ(tags.size(), movie.Tags.size());
    for (size_t t = 0; t < tags.size(); ++t) {
      SCOPED_TRACE("action tag " + std::to_string(t));
      auto* tag = dynamic_cast<TSWFDoAction*>(tags[t]);
      ASSERT_NE(tag, nullptr) << "kept as a raw tag";
      const Bytes& original = movie.Tags[t].Body;
      ++lists;
      const TSWFActionList& list = tag->Actions();
      for (size_t k = 0; k < list.Count(); ++k) {
        const TSWFAction& record = list[k];
        ++records;
        if (dynamic_cast<const TSWFBranchAction*>(&record)) ++branches;
        if (record.ActionCode == kActionMarker) ++placed;
        if (record.ActionCode != kActionByteCode) continue;
        const auto& raw = static_cast<const TSWFActionByteCode&>(record).RawData;
        ASSERT_FALSE(raw.empty());
        EXPECT_FALSE(KnownCode(raw[0])) << "record " << k << " of known code " << int{raw[0]}
                                        << " kept as bytes: " << ToHex(raw);
      }
      const std::string key = name + "/" + std::to_string(t);
      const Bytes written = WriteBody(*tag);
      if (kNotExact.contains(key)) {
        EXPECT_NE(written, original) << key << " is written back exactly now; drop it from the list";
        continue;
      }
      EXPECT_EQ(ToHex(written), ToHex(original));

      // A copy writes the same bytes.
      auto copy = CloneTag(*tag);
      EXPECT_EQ(WriteBody(*copy), original) << "copy";

      // Branches computed from the markers the reader placed land where the stored numbers did.
      auto linked = CloneTag(*tag);
      LinkBranchesToMarkers(static_cast<TSWFDoAction&>(*linked).Actions());
      EXPECT_EQ(ToHex(WriteBody(*linked)), ToHex(original)) << "from markers";

      // The assembly listing does not fail on any real list.
      EXPECT_FALSE(DisassembleActions(list).empty() && !list.Empty());
    }
  }
  // The corpus exercises the branch machinery: most branches find their targets.
  EXPECT_GT(branches, 10000u);
  EXPECT_GT(placed, branches * 9 / 10);
  std::cout << lists << " action lists, " << records << " records, " << branches << " branches, "
            << placed << " markers placed\n";
}

TEST(ActionsCorpus, CopiedMoviesReReadToTheSameRecords) {
  for (const auto& movie : ActionMovies()) {
    SCOPED_TRACE(movie.File.filename().string());
    TSWFStreamReader reader(movie.File);
    reader.ParseTags(true, true);
    std::vector<TSWFObject*> before;
    CollectActionObjects(reader.TagList, before);
    std::vector<std::vector<std::string>> expected;
    for (auto* tag : before) {
      auto* doAction = dynamic_cast<TSWFDoAction*>(tag);
      ASSERT_NE(doAction, nullptr);
      expected.push_back(RecordSignature(doAction->Actions()));
    }
    reader.BuildBody();
    reader.SetCompressed(false);
    TMemoryStream saved;
    reader.SaveToStream(saved);

    TSWFStreamReader copy(saved.Bytes());
    copy.ParseTags(true, true);
    std::vector<TSWFObject*> after;
    CollectActionObjects(copy.TagList, after);
    ASSERT_EQ(after.size(), expected.size());
    for (size_t t = 0; t < after.size(); ++t) {
      auto* doAction = dynamic_cast<TSWFDoAction*>(after[t]);
      ASSERT_NE(doAction, nullptr);
      EXPECT_EQ(RecordSignature(doAction->Actions()), expected[t]) << "action tag " << t;
    }
  }
}

}  // namespace
}  // namespace tw::test
