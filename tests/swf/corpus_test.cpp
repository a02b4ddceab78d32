// The whole corpus of real movies: read, rebuilt, copied, every tag object written back.
#include <functional>
#include <map>
#include <set>

#include "support/second_encodings.h"
#include "support/testing.h"
#include "swf/sprite.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// A sprite's content: its id, frame count, inner tags as (code, body) and the bytes after its
// End tag. Movies often give a short inner tag the long header; our writer gives it the short
// one. Both encode the same length, so sprites are compared by content, not by bytes.
struct SpriteContent {
  uint16_t id = 0, frames = 0;
  std::vector<std::pair<uint16_t, Bytes>> tags;
  Bytes rest;
};

bool ParseSprite(const Bytes& body, SpriteContent& out) {
  size_t p = 4;
  if (body.size() < 4) return false;
  out.id = static_cast<uint16_t>(body[0] | body[1] << 8);
  out.frames = static_cast<uint16_t>(body[2] | body[3] << 8);
  while (p < body.size()) {
    if (p + 2 > body.size()) return false;
    const uint16_t word = static_cast<uint16_t>(body[p] | body[p + 1] << 8);
    p += 2;
    size_t length = word & 0x3F;
    if (length == 63) {
      if (p + 4 > body.size()) return false;
      length = body[p] | body[p + 1] << 8 | body[p + 2] << 16 | static_cast<size_t>(body[p + 3]) << 24;
      p += 4;
    }
    if (length > body.size() - p) return false;
    out.tags.emplace_back(word >> 6, Bytes(body.begin() + p, body.begin() + p + length));
    p += length;
    if (word == 0) break;
  }
  out.rest.assign(body.begin() + std::min(p, body.size()), body.end());
  return true;
}

// Whether a tag inside a sprite, written (first bytes) in other bytes than the source (second),
// is a named second encoding; given where it lies ("tag 12/3").
using InnerExplainer =
    std::function<bool(const std::string& where, uint16_t code, const Bytes&, const Bytes&)>;

// The same tag: the same bytes, or for sprites the same content, whose inner tags may be
// second encodings that explain accepts.
bool SameTag(uint16_t code, const Bytes& a, const Bytes& b, const std::string& where = {},
             const InnerExplainer& explain = nullptr) {
  if (a == b) return true;
  SpriteContent x, y;
  if (code != 39 || !ParseSprite(a, x) || !ParseSprite(b, y)) return false;
  if (x.id != y.id || x.frames != y.frames || x.rest != y.rest || x.tags.size() != y.tags.size())
    return false;
  for (size_t i = 0; i < x.tags.size(); ++i) {
    const uint16_t inner = x.tags[i].first;
    const std::string innerWhere = where + "/" + std::to_string(i);
    if (inner != y.tags[i].first) return false;
    if (!SameTag(inner, x.tags[i].second, y.tags[i].second, innerWhere, explain) &&
        !(explain && explain(innerWhere, inner, x.tags[i].second, y.tags[i].second)))
      return false;
  }
  return true;
}

InnerExplainer ExplainInner(const std::string& file, const TSWFReadContext& context) {
  return [file, context](const std::string& where, uint16_t code, const Bytes& written,
                         const Bytes& source) {
    return ExplainSecondEncoding(file, where, code, context, source, written) != nullptr;
  };
}

Bytes BodyOf(TSWFStreamReader& reader, const TSWFTagInfo& info) {
  const auto body = reader.BodyStream().Bytes();
  const size_t start = info.TagOffset + (info.LongHeader ? 6 : 2);
  const size_t end = std::min<size_t>(start + info.TagLength, body.size());
  return Bytes(body.begin() + static_cast<ptrdiff_t>(std::min(start, body.size())),
               body.begin() + static_cast<ptrdiff_t>(end));
}

Bytes Save(TBasedSWFStream& movie) {
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.Release();
}

// Reports at most a few failures in full, and counts them all.
class Failures {
 public:
  void Add(const std::string& what) {
    if (FCount++ < 20) ADD_FAILURE() << what;
  }
  ~Failures() { EXPECT_EQ(FCount, 0) << "failures in all"; }

 private:
  int FCount = 0;
};

TEST(Corpus, RawTagsRebuildTheBodyExactly) {
  Failures failures;
  const auto movies = CorpusMovies(true);
  ASSERT_GT(movies.size(), 600u);
  for (const auto& file : movies) {
    TSWFStreamReader reader;
    try {
      reader.LoadFromFile(file);
    } catch (const ESWFError& e) {
      if (!IsBrokenMovie(file)) failures.Add(file.filename().string() + ": " + e.what());
      continue;
    }
    const Bytes original(reader.BodyStream().Bytes().begin(), reader.BodyStream().Bytes().end());
    reader.ParseTags(false, false);
    reader.BuildBody();
    if (ToHex(reader.BodyStream().Bytes()) != ToHex(original))
      failures.Add(file.filename().string() + ": rebuilt body differs");
  }
}

TEST(Corpus, EveryTagObjectWritesTheBodyItRead) {
  Failures failures;
  std::map<uint16_t, int> unknownCodes;
  for (const auto& file : CorpusMovies()) {
    const std::string name = file.filename().string();
    TSWFStreamReader reader(file);
    reader.ParseTags(true, true);
    TSWFReadContext context;
    context.Version = reader.Version();
    context.ParseActions = true;
    for (const auto& info : reader.TagList) {
      TSWFObject* tag = info->TagObject();
      ASSERT_NE(tag, nullptr);
      if (info->TagCode == kByteCodeTagID) {
        auto* raw = dynamic_cast<TSWFByteCodeTag*>(tag);
        failures.Add(name + ": tag " + std::to_string(raw->RawTagID) + " fell back to raw bytes: " +
                     raw->Text);
        continue;
      }
      if (const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(tag)) {
        // Only codes outside the factory table stay raw bytes, under the factory's note.
        if (!dynamic_cast<TSWFByteCodeTag*>(CreateTagObject(raw->RawTagID).get()) ||
            raw->Text != kUnknownTagNote)
          failures.Add(name + ": code " + std::to_string(raw->RawTagID) + " kept raw: " + raw->Text);
        ++unknownCodes[raw->RawTagID];
      }
      const Bytes expected = BodyOf(reader, *info);
      const Bytes written = WriteBody(*tag, WriteContextOf(context));
      const size_t index = static_cast<size_t>(&info - reader.TagList.data());
      if (!SameTag(info->TagCode, written, expected, "tag " + std::to_string(index),
                   ExplainInner(name, context)) &&
          !ExplainSecondEncoding(name, index, info->TagCode, context, expected, written))
        failures.Add(name + ": " + TagClassName(*tag) + " (code " + std::to_string(info->TagCode) +
                     ") writes\n  " + ToHex(written).substr(0, 300) + "\ninstead of\n  " +
                     ToHex(expected).substr(0, 300));
    }
  }
  std::printf("codes outside the factory table, kept raw:");
  for (const auto& [code, n] : unknownCodes) std::printf(" %u (%d)", code, n);
  std::printf("\n");
}

TEST(Corpus, CopiesReadBackAndReachAFixedPoint) {
  Failures failures;
  for (const auto& file : CorpusMovies()) {
    const std::string name = file.filename().string();
    TSWFStreamReader original(file);
    original.ParseTags(false, false);
    std::vector<std::pair<uint16_t, Bytes>> originalTags;
    for (const auto& info : original.TagList)
      originalTags.emplace_back(info->TagCode, BodyOf(original, *info));

    TSWFReadContext context;
    context.Version = original.Version();
    context.ParseActions = true;
    TSWFStreamReader copier(file);
    copier.ParseTags(true, true);
    copier.BuildBody();
    const Bytes copy = Save(copier);

    TSWFStreamReader reread(copy);
    // The frame rectangle comes back as it was, even one whose maximum lies below its minimum.
    if (!reread.IsSWF || reread.Compressed() != original.Compressed() ||
        reread.Version() != original.Version() || reread.FrameRect() != original.FrameRect() ||
        reread.FrameRate() != original.FrameRate() ||
        reread.FrameCount() != original.FrameCount() ||
        reread.FileSize() != reread.HeaderSize() + reread.BodyStream().Size()) {
      failures.Add(name + ": the copy's header differs");
      continue;
    }
    reread.ParseTags(false, false);
    std::vector<std::pair<uint16_t, Bytes>> copiedTags;
    for (const auto& info : reread.TagList) copiedTags.emplace_back(info->TagCode, BodyOf(reread, *info));
    bool same = copiedTags.size() == originalTags.size();
    for (size_t i = 0; same && i < copiedTags.size(); ++i)
      same = copiedTags[i].first == originalTags[i].first &&
             (SameTag(copiedTags[i].first, copiedTags[i].second, originalTags[i].second,
                      "tag " + std::to_string(i), ExplainInner(name, context)) ||
              ExplainSecondEncoding(name, i, originalTags[i].first, context,
                                    originalTags[i].second, copiedTags[i].second));
    if (!same) failures.Add(name + ": the copy's tags differ");

    TSWFStreamReader again(copy);
    again.ParseTags(true, true);
    again.BuildBody();
    if (Save(again) != copy) failures.Add(name + ": a copy of the copy differs");
  }
}

TEST(Corpus, AssignedCopiesOwnEverything) {
  Failures failures;
  for (const auto& file : CorpusMovies()) {
    std::vector<std::unique_ptr<TSWFObject>> copies;
    std::vector<Bytes> expected;
    {
      TSWFStreamReader reader(file);
      reader.ParseTags(true, true);
      for (const auto& info : reader.TagList) {
        TSWFObject* tag = info->TagObject();
        expected.push_back(WriteWhole(*tag));
        copies.push_back(CloneTag(*tag));
      }
    }  // the sources are gone: a copy that shared anything with them now reads freed memory
    for (size_t i = 0; i < copies.size(); ++i) {
      if (WriteWhole(*copies[i]) != expected[i])
        failures.Add(file.filename().string() + ": the copy of tag " + std::to_string(i) +
                     " (" + TagClassName(*copies[i]) + ") writes other bytes");
    }
  }
}

TEST(Corpus, BrokenMoviesGiveAClearResult) {
  int broken = 0;
  for (const auto& file : CorpusMovies(true)) {
    if (!IsBrokenMovie(file)) continue;
    ++broken;
    SCOPED_TRACE(file.filename().string());
    try {
      TSWFStreamReader reader(file);
      reader.ParseTags(true, true);
      bool flagged = reader.Truncated();
      for (const auto& info : reader.TagList) flagged |= info->TagCode == kByteCodeTagID;
      EXPECT_TRUE(flagged) << "a broken movie must show what is wrong with it";
      reader.BuildBody();
      TMemoryStream out;
      reader.SaveToStream(out);
    } catch (const ESWFError& e) {
      EXPECT_NE(std::string(e.what()), "");
    }
  }
  EXPECT_GT(broken, 0);
}

}  // namespace
}  // namespace tw::test
