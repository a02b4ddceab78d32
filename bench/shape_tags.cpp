// Reading and writing the shape tags of the corpus movies: the tag parsing hot path of templates.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "swf/stream.h"

namespace {
using namespace tw::swf;

struct ShapeBody {
  uint16_t code;
  std::vector<uint8_t> body;
};

// Every top-level shape and morph shape of the plain and zlib movies.
const std::vector<ShapeBody>& CorpusShapes() {
  static const std::vector<ShapeBody> shapes = [] {
    std::vector<ShapeBody> out;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(TW_CORPUS_DIR "/swf", error)) {
      try {
        TSWFStreamReader reader(entry.path());
        if (!reader.IsSWF) continue;
        reader.ParseTags(false, false);
        const auto body = reader.BodyStream().Bytes();
        for (const auto& info : reader.TagList) {
          const uint16_t c = info->TagCode;
          if (c != 2 && c != 22 && c != 32 && c != 83 && c != 46 && c != 84) continue;
          const size_t start = info->TagOffset + (info->LongHeader ? 6 : 2);
          if (start + info->TagLength > body.size()) continue;
          out.push_back({c, {body.begin() + static_cast<ptrdiff_t>(start),
                             body.begin() + static_cast<ptrdiff_t>(start + info->TagLength)}});
        }
      } catch (const std::exception&) {
        // a movie the reader does not take is no shape source
      }
    }
    return out;
  }();
  return shapes;
}

void BM_ReadShapes(benchmark::State& state) {
  const auto& shapes = CorpusShapes();
  if (shapes.empty()) state.SkipWithError("no corpus at " TW_CORPUS_DIR);
  size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& s : shapes) {
      auto tag = CreateTagObject(s.code);
      tag->BodySize = static_cast<int32_t>(s.body.size());
      TMemoryStream view = TMemoryStream::View(s.body);
      TBitsEngine be(view);
      tag->ReadFromStream(be);
      benchmark::DoNotOptimize(tag.get());
      bytes += s.body.size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadShapes);

void BM_WriteShapes(benchmark::State& state) {
  if (CorpusShapes().empty()) state.SkipWithError("no corpus at " TW_CORPUS_DIR);
  std::vector<std::unique_ptr<TSWFObject>> tags;
  for (const auto& s : CorpusShapes()) {
    auto tag = CreateTagObject(s.code);
    tag->BodySize = static_cast<int32_t>(s.body.size());
    TMemoryStream view = TMemoryStream::View(s.body);
    TBitsEngine be(view);
    tag->ReadFromStream(be);
    tags.push_back(std::move(tag));
  }
  size_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream out;
    TBitsEngine be(out);
    for (auto& tag : tags) tag->WriteToStream(be);
    bytes += out.Size();
    benchmark::DoNotOptimize(out.Data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteShapes);

}  // namespace

BENCHMARK_MAIN();
