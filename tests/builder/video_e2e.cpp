// Video movies made by `tunewright-cli video-movie` from FLV clips of ffmpeg, played in a Flash
// runtime (Ruffle in headless Chromium, tests/e2e): the frames, each of its own colour, show one
// after the other in their order, for the codecs the runtime decodes (Sorenson H.263 and Screen
// Video).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "builder/objects_support.h"
#include "support/flv_fixtures.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

const fs::path kRunMovie = fs::path(TW_SOURCE_DIR) / "tests/e2e/run-movie.mjs";

struct TColour {
  const char* Name;  // ffmpeg's
  int R, G, B;
};
const TColour kColours[] = {{"red", 255, 0, 0}, {"lime", 0, 255, 0}, {"blue", 0, 0, 255}, {"yellow", 255, 255, 0}};
constexpr int kFrames = 4;

// The colour (in clip order) the pixel shows, or -1 for none (a codec's colours are near, not
// exact).
int FrameOf(const uint8_t* p) {
  for (int i = 0; i < kFrames; ++i)
    if (std::abs(p[0] - kColours[i].R) < 48 && std::abs(p[1] - kColours[i].G) < 48 &&
        std::abs(p[2] - kColours[i].B) < 48)
      return i;
  return -1;
}

TEST(VideoInFlash, TheFramesOfAClipShowInTheirOrder) {
  const struct {
    const char* codec;
    const char* audio;
  } cases[] = {{"flv", "libmp3lame"}, {"flashsv", ""}};
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codec);
    std::vector<std::string> names;
    for (const TColour& colour : kColours) names.push_back(colour.Name);
    const fs::path clip = dir / (std::string(c.codec) + ".flv"), movie = dir / (std::string(c.codec) + ".swf");
    // Two frames a second (ffmpeg's colour source keeps too few at one), a second per colour.
    ASSERT_TRUE(MakeColourClip(clip, names, 2, c.codec, c.audio));
    const CommandResult made = RunCommand({(ProgramDir() / "tunewright-cli").string(), "video-movie",
                                           clip.string(), movie.string()});
    ASSERT_EQ(made.status, 0) << made.err;

    // A screenshot in the middle of each colour's second.
    std::vector<std::string> argv = {"node", kRunMovie.string(), movie.string(), "--wait", "3600",
                                     "--timeout", "30000", "--no-errors"};
    std::vector<fs::path> shots;
    for (int i = 0; i < kFrames; ++i) {
      shots.push_back(dir / (std::string(c.codec) + std::to_string(i) + ".png"));
      argv.insert(argv.end(), {"--screenshot", shots.back().string() + "@" + std::to_string(500 + 1000 * i)});
    }
    const CommandResult r = RunCommand(argv);
    if (r.status == -1) FAIL() << "Node.js cannot be started: run bash tests/e2e/setup.sh";
    ASSERT_EQ(r.status, 0) << r.err << "\n" << r.out.substr(0, 3000);

    // Each shows a frame of the clip; each next one the same frame or the one after it (the
    // movie loops), and the four cover at least three frames.
    std::vector<int> seen;
    for (const fs::path& shot : shots) {
      const TRGBAImage image = DecodeWithFFmpeg(shot, 160, 120);
      ASSERT_FALSE(image.Pixels.empty());
      for (auto [x, y] : {std::pair{80, 60}, {10, 10}, {150, 110}}) {
        const int frame = FrameOf(image.At(x, y));
        ASSERT_GE(frame, 0) << shot << " at " << x << "," << y << ": " << int(image.At(x, y)[0]) << " "
                            << int(image.At(x, y)[1]) << " " << int(image.At(x, y)[2]);
        if (x == 80) seen.push_back(frame);
        else EXPECT_EQ(frame, seen.back()) << "one frame fills the stage";
      }
    }
    std::set<int> distinct(seen.begin(), seen.end());
    EXPECT_GE(distinct.size(), 3u);
    for (size_t i = 1; i < seen.size(); ++i)
      EXPECT_TRUE(seen[i] == seen[i - 1] || seen[i] == (seen[i - 1] + 1) % kFrames)
          << "frame " << seen[i] << " after frame " << seen[i - 1];
  }
}

}  // namespace
}  // namespace tw::test
