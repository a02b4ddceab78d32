// Building the frame list of a one-hour MP3 (128 kbit/s joint stereo, made once with sox and
// lame and kept in the build folder's bench-cache), in MB/s. mp3_scan_ffprobe.sh beside this
// file times ffprobe counting the packets of the same file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "audio/mpeg_frames.h"
#include "audio/mpeg_info.h"
#include "util/files.h"

namespace fs = std::filesystem;
using namespace tw::audio;

namespace {

// The one-hour song; made on first use through a temporary, so that an interrupted run never
// leaves a short file behind.
const fs::path& OneHourSong() {
  static const fs::path song = [] {
    const fs::path dir = TW_BENCH_CACHE_DIR;
    const fs::path file = dir / "one-hour-128k.mp3";
    if (fs::exists(file)) return file;
    fs::create_directories(dir);
    const fs::path temp = dir / "one-hour-128k.mp3.part";
    std::fprintf(stderr, "Making %s once (sox and lame, a minute or two)...\n", file.c_str());
    const std::string command =
        "sox -q -V1 -n -r 44100 -c 2 -b 16 -t wav - synth 3600 sine 440 sine 660 synth pinknoise "
        "mix vol 0.5 | lame --quiet -b 128 -m j - '" +
        temp.string() + "'";
    if (std::system(command.c_str()) != 0 || !fs::exists(temp)) {
      std::fprintf(stderr,
                   "Cannot make the song: are the Debian packages sox and lame "
                   "installed?\n");
      std::exit(1);
    }
    fs::rename(temp, file);
    return file;
  }();
  return song;
}

void ReportFrames(benchmark::State& state, const TMPEGaudio& mpeg, uint64_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["frames"] = static_cast<double>(mpeg.FrameList.size());
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// Through the file (page cache warm after the first iteration), as the sound source reads it.
void BM_FrameListFromFile(benchmark::State& state) {
  const fs::path& file = OneHourSong();
  TMPEGaudio mpeg;
  for (auto _ : state) {
    TSourceStream stream = TSourceStream::OpenFile(file);
    mpeg.Analyze(stream);
    benchmark::DoNotOptimize(mpeg.FrameList.data());
  }
  ReportFrames(state, mpeg, fs::file_size(file));
}
BENCHMARK(BM_FrameListFromFile)->Unit(benchmark::kMillisecond);

// From bytes in memory: the scan alone.
void BM_FrameListFromMemory(benchmark::State& state) {
  const std::vector<uint8_t> bytes = tw::ReadWholeFile(OneHourSong());
  TMPEGaudio mpeg;
  for (auto _ : state) {
    TSourceStream stream = TSourceStream::OpenMemory(bytes);
    mpeg.Analyze(stream);
    benchmark::DoNotOptimize(mpeg.FrameList.data());
  }
  ReportFrames(state, mpeg, bytes.size());
}
BENCHMARK(BM_FrameListFromMemory)->Unit(benchmark::kMillisecond);

// The music list's track information: a scan of the start of the file only.
void BM_TrackInformation(benchmark::State& state) {
  const fs::path& file = OneHourSong();
  for (auto _ : state) {
    TMPEGAudio info;
    info.SetFileName(file.string());
    benchmark::DoNotOptimize(info.Duration());
  }
}
BENCHMARK(BM_TrackInformation)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
