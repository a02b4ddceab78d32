// Music movies played in a Flash runtime (Ruffle in headless Chromium, tests/e2e): a movie of an
// MP3 song and one of a WAV song load, play for a while without an error, and the runtime reads
// the header we wrote.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app_support.h"
#include "app/music_movie.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

const fs::path kRunMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/run-movie.mjs";

// The number after "key": in the runner's JSON; -1 when the key is missing.
double JsonNumber(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return -1;
  return std::atof(json.c_str() + at + key.size() + 3);
}

TEST(MusicMovieInFlash, MoviesOfMp3AndWavSongsPlayWithoutError) {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx(host);
  for (const std::string name : {"song.mp3", "song.wav"}) {
    SCOPED_TRACE(name);
    const fs::path song = dir / name;
    MakeSong44(song, 4.0);
    const fs::path movie = dir / (name + ".swf");
    TConvertOption options;
    options.FrameRate = 15;
    ASSERT_TRUE(WriteMusicMovieFile(song.string(), movie.string(), options, true, &ctx));
    const CommandResult r = RunCommand({"node", kRunMovie.string(), movie.string(), "--wait",
                                        "2500", "--timeout", "30000", "--no-errors"});
    if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    EXPECT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 4000);
    EXPECT_EQ(JsonNumber(r.out, "frameRate"), 15) << r.out.substr(0, 2000);
    EXPECT_EQ(JsonNumber(r.out, "swfVersion"), 8);
    EXPECT_NEAR(JsonNumber(r.out, "numFrames"), 60, 1);  // four seconds at 15 per second
  }
}

}  // namespace
}  // namespace tw::test
