// Wrapping a five-minute and a sixty-minute MP3 (128 kbit/s joint stereo, made once with sox and
// lame and kept in the build folder's bench-cache) into a music movie at 12 frames per second, in
// MB/s of song: built whole in memory by the builder, and written as a stream into a file as the
// music-files publish option does. music_movie_whole.sh beside this file times the whole command
// against ffmpeg doing the same job, with the peak memory of both.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/music_movie.h"
#include "builder/sound.h"
#include "swf/memstream.h"

namespace fs = std::filesystem;

namespace {

// The song of so many minutes, made on first use and kept.
fs::path Song(int minutes) {
  const fs::path dir = TW_BENCH_CACHE_DIR;
  const fs::path file = dir / (minutes == 5 ? std::string("five-minutes-128k.mp3")
                                            : std::to_string(minutes) + "-minutes-128k.mp3");
  if (fs::exists(file)) return file;
  fs::create_directories(dir);
  const fs::path temp = file.string() + ".part";
  std::fprintf(stderr, "Making %s once (sox and lame)...\n", file.c_str());
  const std::string command = "sox -q -V1 -n -r 44100 -c 2 -b 16 -t wav - synth " +
                              std::to_string(minutes * 60) +
                              " sine 440 sine 660 synth pinknoise mix vol 0.5 | lame --quiet -b "
                              "128 -m j - '" +
                              temp.string() + "'";
  if (std::system(command.c_str()) != 0 || !fs::exists(temp)) {
    std::fprintf(stderr, "Cannot make the song: are the Debian packages sox and lame installed?\n");
    std::exit(1);
  }
  fs::rename(temp, file);
  return file;
}

// Loading the song (its frame list), the body of 12 frames a second and the saved movie.
void BM_MusicMovieInMemory(benchmark::State& state) {
  const fs::path song = Song(static_cast<int>(state.range(0)));
  const uint64_t bytes = fs::file_size(song);
  size_t movieBytes = 0;
  for (auto _ : state) {
    tw::app::TMyMusicMovie movie(0, 0, 0, 0, 12, tw::swf::TSystemCoord::Twips, false);
    movie.SetVersion(8);
    tw::builder::TFlashSound& sound = movie.StreamSound();
    sound.LoadFromFile(song.string());
    sound.LoopStream = false;
    movie.ShowFrame(static_cast<uint16_t>(tw::app::MusicMovieFrames(sound.Duration, 12)));
    movie.BuildBody();
    tw::swf::TMemoryStream out;
    movie.SaveToStream(out);
    movieBytes = out.Size();
    benchmark::DoNotOptimize(out.Buffer().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["song_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["movie_MB"] = static_cast<double>(movieBytes) / 1e6;
}
BENCHMARK(BM_MusicMovieInMemory)->ArgName("minutes")->Arg(5)->Arg(60)->Unit(benchmark::kMillisecond);

// The music-files publish option's work: the working copy of the song, its frame list, and the
// movie written as a stream into a file (page cache warm after the first run).
void BM_MusicMovieStreamedToFile(benchmark::State& state) {
  const fs::path song = Song(static_cast<int>(state.range(0)));
  const uint64_t bytes = fs::file_size(song);
  const fs::path dir = fs::path(TW_BENCH_CACHE_DIR) / "music-movie-out";
  fs::create_directories(dir);
  setenv("XDG_DOCUMENTS_DIR", dir.c_str(), 1);
  const fs::path target = dir / "song.swf";
  tw::app::TConvertOption options;
  options.FrameRate = 12;
  options.FlashVersionIndex = 2;
  for (auto _ : state) {
    if (!tw::app::WriteMusicMovieFile(song.string(), target.string(), options, true, nullptr))
      state.SkipWithError("not written");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["song_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["movie_MB"] = static_cast<double>(fs::file_size(target)) / 1e6;
  fs::remove_all(dir);
}
BENCHMARK(BM_MusicMovieStreamedToFile)
    ->ArgName("minutes")
    ->Arg(5)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
