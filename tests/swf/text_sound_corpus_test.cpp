// Every font, text, sound, video and ABC tag of every movie of the corpus, top level and inside
// sprites: it reads into its object without falling back to raw bytes, writes back the bytes it
// was read from (or, where the format allows a second encoding, bytes that read back to the same
// fields), and a copy made by the factory and Assign writes the same bytes after its source is
// gone (run under AddressSanitizer this shows that the copy shares nothing with its source).
#include <functional>
#include <map>
#include <random>
#include <set>

#include "support/second_encodings.h"
#include "support/testing.h"
#include "swf/sprite.h"
#include "text_sound_fields.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// The codes whose tags this test checks; other families add their codes here.
const std::set<uint16_t> kCheckedCodes = {
    10, 13, 48, 62, 73, 75, 88,  // fonts
    11, 33, 37, 74,              // texts
    14, 15, 18, 19, 45, 89,      // sounds
    60, 61,                      // video
    82,                          // ActionScript 3
};

std::unique_ptr<TSWFObject> ReadAs(uint16_t code, std::span<const uint8_t> body,
                                   const TSWFReadContext& context) {
  auto tag = CreateTagObject(code);
  tag->SetReadContext(context);
  tag->BodySize = static_cast<int32_t>(body.size());
  TMemoryStream view = TMemoryStream::View(body);
  TBitsEngine be(view);
  tag->ReadFromStream(be);
  return tag;
}

struct Tally {
  std::map<uint16_t, size_t> perCode;
  size_t exact = 0;
  std::map<std::string, size_t> perEncoding;
};

void CheckTag(const std::string& where, uint16_t code, std::span<const uint8_t> body,
              TSWFReadContext& context, Tally& tally) {
  SCOPED_TRACE(where + " code " + std::to_string(code) +
               (code == 82 ? (context.ParseActions ? " parsed" : " raw") : ""));
  ++tally.perCode[code];
  ASSERT_EQ(dynamic_cast<TSWFByteCodeTag*>(CreateTagObject(code).get()), nullptr)
      << "the factory has no class for the code";
  std::unique_ptr<TSWFObject> tag;
  try {
    tag = ReadAs(code, body, context);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "falls back to raw bytes: " << e.what();
    return;
  }
  tag->UpdateReadContext(context);
  const auto asRead = ReadAs(code, body, context);  // kept apart: writing may settle fields

  const Bytes written = WriteBody(*tag, WriteContextOf(context));
  if (std::equal(written.begin(), written.end(), body.begin(), body.end())) {
    ++tally.exact;
  } else {
    const auto again = ReadAs(code, written, context);
    bool explained = false;
    for (const auto& e : SecondEncodingRules()) {
      if (!e.applies(*asRead, *again, body, written)) continue;
      explained = true;
      ++tally.perEncoding[e.name];
    }
    EXPECT_TRUE(explained) << "written back differently (" << body.size() << " -> "
                           << written.size() << " bytes) for no known reason";
    const FieldComparison same = CompareFields(*asRead, *again);
    EXPECT_TRUE(same.Same()) << "our encoding reads back with another " << same.Difference();
    EXPECT_EQ(WriteBody(*again, WriteContextOf(context)), written) << "our encoding is not stable";
  }

  auto copy = CreateTagObject(code);
  copy->Assign(*tag);
  const FieldComparison same = CompareFields(*copy, *tag);
  EXPECT_TRUE(same.Same()) << "the copy has another " << same.Difference();
  tag.reset();
  EXPECT_EQ(WriteBody(*copy, WriteContextOf(context)), written) << "the copy writes other bytes";
}

// Receives each checked tag with the context the reader would hand it; it updates the context
// for the tags that follow.
using TagVisitor = std::function<void(const std::string& where, uint16_t code,
                                      std::span<const uint8_t> body, TSWFReadContext& context)>;

// Walks the tags of a body (a movie's, or a sprite's after its id and frame count).
void WalkTags(const std::string& file, std::span<const uint8_t> body, TSWFReadContext context,
              int nesting, const TagVisitor& visit) {
  size_t pos = 0;
  for (size_t index = 0; pos + 2 <= body.size(); ++index) {
    const uint16_t word = static_cast<uint16_t>(body[pos] | body[pos + 1] << 8);
    const uint16_t code = word >> 6;
    size_t length = word & 63, header = 2;
    if (length == 63) {
      if (pos + 6 > body.size()) return;
      length = body[pos + 2] | body[pos + 3] << 8 | body[pos + 4] << 16 |
               static_cast<size_t>(body[pos + 5]) << 24;
      header = 6;
    }
    if (pos + header + length > body.size()) return;
    const auto tagBody = body.subspan(pos + header, length);
    const std::string where = file + (nesting ? " (in a sprite)" : "") + " tag " +
                              std::to_string(index);
    if (code == 39 && length >= 4 && nesting < 8) {
      TSWFReadContext inner;
      inner.Version = context.Version;
      WalkTags(file, tagBody.subspan(4), inner, nesting + 1, visit);
    }
    if (kCheckedCodes.count(code)) visit(where, code, tagBody, context);
    if (code == 0 && nesting > 0) return;
    pos += header + length;
  }
}

// The stream reader itself hands every tag its context: none of the checked codes may end up
// as raw bytes there either, in sprites included.
void ExpectNoRawTags(const std::vector<std::unique_ptr<TSWFTagInfo>>& infos,
                     const std::string& file) {
  for (const auto& info : infos) {
    if (const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(info->TagObject())) {
      EXPECT_FALSE(kCheckedCodes.count(raw->RawTagID))
          << file << ": code " << raw->RawTagID << " kept raw: " << raw->Text;
    }
    ExpectNoRawTags(info->SubTags, file);
  }
}

TEST(TextSoundCorpus, EveryTagReadsWritesAndCopies) {
  Tally tally;
  for (const auto& path : CorpusMovies(/*includeBroken=*/true)) {
    const std::string file = path.filename().string();
    TSWFStreamReader reader(path);
    ASSERT_TRUE(reader.IsSWF) << file;
    if (IsBrokenMovie(path)) {
      // A broken movie still parses; what cannot be read stays raw and is written back.
      EXPECT_NO_THROW(reader.ParseTags(true, true)) << file;
      continue;
    }
    TSWFReadContext context;
    context.Version = reader.Version();
    WalkTags(file, reader.BodyStream().Bytes(), context, 0,
             [&](const std::string& where, uint16_t code, std::span<const uint8_t> body,
                 TSWFReadContext& c) {
               if (code != 82) return CheckTag(where, code, body, c, tally);
               // DoABC both ways: kept as bytes, and parsed into its structures.
               for (bool parse : {false, true}) {
                 c.ParseActions = parse;
                 CheckTag(where, code, body, c, tally);
               }
             });
    reader.ParseTags(true, true);
    ExpectNoRawTags(reader.TagList, file);
  }
  // The corpus holds every checked code but SoundStreamHead (18); an empty walk proves nothing.
  for (uint16_t code : kCheckedCodes) {
    if (code == 18) continue;
    EXPECT_GT(tally.perCode[code], 0u) << "no tag of code " << code;
  }
  size_t total = 0;
  for (const auto& [code, n] : tally.perCode) total += n;
  std::printf("checked %zu tags, %zu of them byte for byte; second encodings:\n", total,
              tally.exact);
  for (const auto& [name, n] : tally.perEncoding) std::printf("  %4zu  %s\n", n, name.c_str());
}

// Renumbering a movie for embedding reaches the ids in fonts, texts, sounds and video.
TEST(TextSoundCorpus, RenumberingReachesEveryId) {
  struct Case {
    const char* file;
    std::map<uint16_t, std::vector<uint16_t>> ids;  // tag code -> the ids it carries afterwards
  };
  const Case cases[] = {
      // font 1 and edit text 2 become 100 and 101; the tags about them follow
      {"swfcrate__DefineFont3-CS6.swf", {{75, {100}}, {73, {100}}, {88, {100}}, {37, {101, 100}},
                                         {74, {101}}}},
      {"swfcrate__DefineSound.swf", {{14, {100}}, {15, {100}}}},
      {"swfcrate__DefineVideoStream.swf", {{60, {100}}, {61, {100}}}},
      {"swfcrate__DefineFont-MX.swf", {{10, {100}}, {13, {100}}, {11, {101, 100}}}},
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
      ids.clear();  // the last tag of each code
      tag->VisitDefinedIDs([&](uint16_t& id) { ids.push_back(id); });
      tag->VisitReferencedIDs([&](uint16_t& id) { ids.push_back(id); });
    }
    EXPECT_EQ(seen, c.ids);
  }
}

// Hostile bodies: every checked code, cut short at many lengths and with bytes changed, reads or
// fails with the format error; it never reads out of bounds (AddressSanitizer), never hangs and
// never allocates beyond what the body can describe.
TEST(TextSoundCorpus, DamagedBodiesFailCleanly) {
  std::map<uint16_t, int> sampled;
  std::mt19937 random(20240611);
  auto tryRead = [](uint16_t code, std::span<const uint8_t> body, const TSWFReadContext& c) {
    try {
      ReadAs(code, body, c);
    } catch (const ESWFError&) {
    }
  };
  for (const auto& path : CorpusMovies()) {
    TSWFStreamReader reader(path);
    TSWFReadContext context;
    context.Version = reader.Version();
    context.ParseActions = true;
    WalkTags(path.filename().string(), reader.BodyStream().Bytes(), context, 0,
             [&](const std::string& where, uint16_t code, std::span<const uint8_t> body,
                 TSWFReadContext& c) {
               ReadAs(code, body, c)->UpdateReadContext(c);
               if (sampled[code]++ >= 3 || body.empty()) return;
               SCOPED_TRACE(where + " code " + std::to_string(code));
               const size_t step = std::max<size_t>(1, body.size() / 200);
               for (size_t n = 0; n < body.size(); n += step) tryRead(code, body.first(n), c);
               Bytes changed(body.begin(), body.end());
               for (int i = 0; i < 100; ++i) {
                 const size_t at = random() % changed.size();
                 const uint8_t old = changed[at];
                 changed[at] = static_cast<uint8_t>(random());
                 tryRead(code, changed, c);
                 changed[at] = old;
               }
             });
  }
  EXPECT_GE(sampled.size(), kCheckedCodes.size() - 1);  // all but SoundStreamHead
}

}  // namespace
}  // namespace tw::test
