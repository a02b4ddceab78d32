// Tables of tags cut out of corpus movies: each row is read, checked and written back.
#pragma once

#include <functional>
#include <span>

#include "support/testing.h"
#include "swf/stream.h"
#include "text_sound_fields.h"

namespace tw::test {

template <class T>
struct TagCase {
  const char* name;
  const char* file;  // a movie of the corpus
  size_t index;      // the tag's index at the top level
  std::function<void(const T&)> check;
  // The body our writer gives for the body read: the same bytes, or a second encoding of the
  // same fields that the row names.
  std::function<Bytes(Bytes)> written = nullptr;
};

// The context the stream reader would hand the tag: the movie's version, actions parsed.
inline swf::TSWFReadContext CorpusContext(uint8_t version) {
  swf::TSWFReadContext context;
  context.Version = version;
  context.ParseActions = true;
  return context;
}

template <class T>
void CheckTagCases(std::span<const TagCase<T>> cases,
                   const swf::TSWFReadContext* context = nullptr) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t version = 0;
    const Bytes body = TagBodyFromCorpus(c.file, c.index, &version);
    const swf::TSWFReadContext ctx = context ? *context : CorpusContext(version);
    const auto tag = ReadTag<T>(body, ctx);
    c.check(*tag);
    // The fields a second encoding must keep are those read, taken before writing: a write
    // that changed its object would otherwise compare with itself.
    const auto asRead = CloneTag(*tag);
    const Bytes written = WriteBody(*tag, WriteContextOf(ctx));
    EXPECT_EQ(ToHex(written), ToHex(c.written ? c.written(body) : body));
    if (written != body) {
      const FieldComparison same = CompareFields(*asRead, *ReadTag<T>(written, ctx));
      EXPECT_TRUE(same.Same()) << "reads back with another " << same.Difference();
    }
  }
}

// Byte edits that describe a second encoding.
inline std::function<Bytes(Bytes)> EraseBytes(std::vector<size_t> positions) {
  return [positions](Bytes b) {
    for (auto it = positions.rbegin(); it != positions.rend(); ++it)
      b.erase(b.begin() + static_cast<ptrdiff_t>(*it));
    return b;
  };
}

inline std::function<Bytes(Bytes)> AppendBytes(Bytes tail) {
  return [tail](Bytes b) {
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
}

// A plain movie of the given tags, an End tag after them.
inline Bytes MovieOf(const std::vector<swf::TSWFObject*>& tags, uint8_t version = 6) {
  swf::TMemoryStream body;
  swf::TBitsEngine be(body);
  for (swf::TSWFObject* tag : tags) tag->WriteToStream(be);
  be.WriteWord(0);
  swf::TSWFStreamReader movie;
  movie.SetVersion(version);
  movie.SetOwnedBodyStream(std::make_unique<swf::TMemoryStream>(body.Release()));
  swf::TMemoryStream file;
  movie.SaveToStream(file);
  return file.Release();
}

}  // namespace tw::test
