// The movie builder's body assembly: the corpus copied into builder movies and built, beside the
// reader rebuilding the same tags (the floor: writing every tag once), and the long timeline of a
// music movie, one stream block and one ShowFrame per frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

#include "builder/movie.h"
#include "swf/sound_tags.h"
#include "util/files.h"

namespace {
namespace fs = std::filesystem;
using namespace tw::swf;
using tw::builder::TFlashMovie;

std::vector<std::unique_ptr<TSWFStreamReader>> LoadCorpus() {
  std::vector<fs::path> paths;
  for (const auto& e : fs::directory_iterator(fs::path(TW_CORPUS_DIR) / "swf")) paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  std::vector<std::unique_ptr<TSWFStreamReader>> readers;
  for (const auto& p : paths) {
    const std::string name = p.filename().string();
    if (name.find("bad_swf") != std::string::npos || name.find("past_eof") != std::string::npos)
      continue;
    try {
      auto r = std::make_unique<TSWFStreamReader>(p);
      if (!r->IsSWF) continue;
      r->ParseTags(true, true);
      readers.push_back(std::move(r));
    } catch (const std::exception&) {
    }
  }
  return readers;
}

const std::vector<std::unique_ptr<TSWFStreamReader>>& Corpus() {
  static const auto corpus = LoadCorpus();
  return corpus;
}

void BM_ReaderBuildBody(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& r : Corpus()) {
      r->BuildBody();
      bytes += r->BodyStream().Size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReaderBuildBody)->Unit(benchmark::kMillisecond);

void BM_MovieBuildBody(benchmark::State& state) {
  std::vector<std::unique_ptr<TFlashMovie>> movies;
  for (const auto& r : Corpus()) {
    auto m = std::make_unique<TFlashMovie>(0, 0, 0, 0, r->FPS(), TSystemCoord::Twips);
    for (const auto& info : r->TagList)
      if (info->TagObject()) m->AddObject(CloneTag(*info->TagObject()));
    movies.push_back(std::move(m));
  }
  size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& m : movies) {
      m->BuildBody();
      bytes += m->BodyStream().Size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MovieBuildBody)->Unit(benchmark::kMillisecond);

// A sound whose every block is 418 bytes of MP3 frames (a 64 kbps stream at 12 frames per second).
class BlockSound : public tw::builder::TFlashStreamSound {
 public:
  using TFlashStreamSound::TFlashStreamSound;
  uint16_t StartFrame() const override { return 0; }
  void FillStreamHead(TSWFSoundStreamHead2& head, double) override { head.StreamSoundCompression = 2; }
  void WriteStreamBlock(TBitsEngine& be) override { FBlock.WriteToStream(be); }
  void WriteToStream(TBitsEngine&) override {}

 private:
  TSWFSoundStreamBlock FBlock = [] {
    TSWFSoundStreamBlock b;
    b.StreamSoundCompression = 2;
    b.Data.assign(418, 0xAA);
    return b;
  }();
};

void BM_MusicMovieTimeline(benchmark::State& state) {
  const auto frames = static_cast<uint16_t>(state.range(0));
  TFlashMovie movie(0, 0, 0, 0, 12, TSystemCoord::Twips);
  movie.SetStreamSound(std::make_unique<BlockSound>(&movie));
  movie.ShowFrame(frames);
  for (auto _ : state) {
    movie.BuildBody();
    benchmark::DoNotOptimize(movie.BodyStream().Size());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * frames);
}
BENCHMARK(BM_MusicMovieTimeline)->Arg(3600)->Arg(43200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
