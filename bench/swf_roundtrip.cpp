// The SWF round trip over the corpus (load, parse every tag into objects, rebuild the body,
// save compressed) beside zlib alone doing the same inflate and deflate, so that the ratio shows
// how close the library runs to the zlib floor.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "swf/stream.h"
#include "swf/xml_movie.h"
#include "util/files.h"

namespace {
namespace fs = std::filesystem;
using namespace tw::swf;

struct Corpus {
  std::vector<std::vector<uint8_t>> files;
  std::vector<std::vector<uint8_t>> bodies;  // uncompressed, after the 8-byte file header
  size_t bodyBytes = 0;
};

const Corpus& LoadCorpus() {
  static const Corpus corpus = [] {
    Corpus c;
    std::vector<fs::path> paths;
    for (const auto& e : fs::directory_iterator(fs::path(TW_CORPUS_DIR) / "swf")) paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
      const std::string name = p.filename().string();
      if (name.find("bad_swf") != std::string::npos || name.find("past_eof") != std::string::npos)
        continue;
      auto bytes = tw::ReadWholeFile(p);
      if (bytes.size() < 8 || (bytes[0] != 'F' && bytes[0] != 'C') || bytes[1] != 'W') continue;
      std::vector<uint8_t> body;
      if (bytes[0] == 'C') {
        const uint32_t size = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t(bytes[7]) << 24;
        body = InflateZlib(std::span<const uint8_t>(bytes).subspan(8), size - 8);
      } else {
        body.assign(bytes.begin() + 8, bytes.end());
      }
      c.bodyBytes += body.size();
      c.bodies.push_back(std::move(body));
      c.files.push_back(std::move(bytes));
    }
    return c;
  }();
  return corpus;
}

// Load, parse every tag into objects, rebuild the body and save: zlib-compressed for the round
// trip beside zlib alone, plain beside the XML export and import.
void BM_SwfRoundTrip(benchmark::State& state, bool compressed) {
  const Corpus& corpus = LoadCorpus();
  for (auto _ : state) {
    for (const auto& file : corpus.files) {
      TSWFStreamReader reader(file);
      reader.ParseTags(true, true);
      reader.BuildBody();
      reader.SetCompressed(compressed);
      TMemoryStream out;
      reader.SaveToStream(out);
      benchmark::DoNotOptimize(out.Size());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bodyBytes));
}
BENCHMARK_CAPTURE(BM_SwfRoundTrip, compressed, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SwfRoundTrip, plain, false)->Unit(benchmark::kMillisecond);

// Only the object layer: parse into objects and rebuild, no zlib.
void BM_ParseAndBuild(benchmark::State& state) {
  const Corpus& corpus = LoadCorpus();
  std::vector<std::unique_ptr<TSWFStreamReader>> readers;
  for (const auto& file : corpus.files) readers.push_back(std::make_unique<TSWFStreamReader>(file));
  for (auto _ : state) {
    for (auto& reader : readers) {
      reader->ParseTags(true, true);
      reader->BuildBody();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bodyBytes));
}
BENCHMARK(BM_ParseAndBuild)->Unit(benchmark::kMillisecond);

void BM_ZlibAlone(benchmark::State& state) {
  const Corpus& corpus = LoadCorpus();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    for (size_t i = 0; i < corpus.files.size(); ++i) {
      const auto& file = corpus.files[i];
      const auto& body = corpus.bodies[i];
      if (file[0] == 'C') {
        auto inflated = InflateZlib(std::span<const uint8_t>(file).subspan(8), body.size());
        benchmark::DoNotOptimize(inflated.data());
      }
      uLongf size = compressBound(body.size());
      out.resize(size);
      compress2(out.data(), &size, body.data(), body.size(), Z_DEFAULT_COMPRESSION);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bodyBytes));
}
BENCHMARK(BM_ZlibAlone)->Unit(benchmark::kMillisecond);

// The movies as XML text and back, beside the binary round trip without zlib (the movies are
// saved uncompressed here and in BM_SwfRoundTrip/plain, so that both sides do the same work).
std::vector<std::string> CorpusXml() {
  std::vector<std::string> texts;
  for (const auto& file : LoadCorpus().files) {
    TSWFStreamReader reader(file);
    reader.ParseTags(true, true);
    reader.SetCompressed(false);
    std::ostringstream out;
    WriteMovieXml(reader, out);
    texts.push_back(std::move(out).str());
  }
  return texts;
}

void BM_XmlExport(benchmark::State& state) {
  const Corpus& corpus = LoadCorpus();
  for (auto _ : state) {
    for (const auto& file : corpus.files) {
      TSWFStreamReader reader(file);
      reader.ParseTags(true, true);
      std::ostringstream out;
      WriteMovieXml(reader, out);
      benchmark::DoNotOptimize(out.tellp());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bodyBytes));
}
BENCHMARK(BM_XmlExport)->Unit(benchmark::kMillisecond);

void BM_XmlImport(benchmark::State& state) {
  const auto texts = CorpusXml();
  for (auto _ : state) {
    for (const auto& text : texts) {
      auto movie = ReadMovieXml(text, "movie.xml");
      TMemoryStream out;
      movie->SaveToStream(out);
      benchmark::DoNotOptimize(out.Size());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LoadCorpus().bodyBytes));
}
BENCHMARK(BM_XmlImport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
