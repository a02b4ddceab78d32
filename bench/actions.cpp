// Reading and writing action lists: the DoAction tags of the corpus movie with the most of them.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "swf/actions.h"
#include "swf/stream.h"

namespace {
using namespace tw::swf;

std::vector<std::vector<uint8_t>> ActionBodies() {
  TSWFStreamReader reader(std::filesystem::path(TW_CORPUS_DIR) / "swf" /
                          "from_gnash__actionscript.all__array-v8__test.swf");
  reader.ParseTags(false, false);
  const auto body = reader.BodyStream().Bytes();
  std::vector<std::vector<uint8_t>> bodies;
  for (const auto& info : reader.TagList) {
    if (info->TagCode != 12) continue;
    const size_t start = info->TagOffset + (info->LongHeader ? 6 : 2);
    bodies.emplace_back(body.begin() + static_cast<ptrdiff_t>(start),
                        body.begin() + static_cast<ptrdiff_t>(start + info->TagLength));
  }
  return bodies;
}

void BM_ReadActionLists(benchmark::State& state) {
  const auto bodies = ActionBodies();
  size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& b : bodies) {
      TSWFActionList list;
      TMemoryStream s = TMemoryStream::View(b);
      TBitsEngine be(s);
      ReadActionList(be, list, b.size());
      benchmark::DoNotOptimize(list.Count());
      bytes += b.size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadActionLists);

void BM_WriteActionLists(benchmark::State& state) {
  std::vector<TSWFActionList> lists;
  for (const auto& b : ActionBodies()) {
    TMemoryStream s = TMemoryStream::View(b);
    TBitsEngine be(s);
    ReadActionList(be, lists.emplace_back(), b.size());
  }
  size_t bytes = 0;
  for (auto _ : state) {
    for (auto& list : lists) {
      TMemoryStream out;
      TBitsEngine be(out);
      WriteActionList(be, list);
      bytes += out.Size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteActionLists);

}  // namespace

BENCHMARK_MAIN();
