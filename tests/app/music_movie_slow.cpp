// Music movies against a real decoder: for MP3 songs of every rate, mode and coding, and for PCM
// and ADPCM WAV songs, ffprobe reads the movie as the song's one audio stream and ffmpeg decodes
// as many samples from it as the song holds, within one frame of the movie.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "app/app_support.h"
#include "app/music_movie.h"
#include "audio/audio_fixtures.h"
#include "audio/wave_reader.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

// ffmpeg's guess of the format takes a movie for SWF only when its frame is at least a pixel
// wide and high: a music movie's frame has no size, so the tools are told that it is SWF.
CommandLine AsSwf(const fs::path& file) {
  if (file.extension() == ".swf") return {"-f", "swf"};
  return {};
}

// The samples per channel ffmpeg decodes. For an MP3 song every sample of its frames: a movie
// carries no gapless information, so the encoder's delay and padding play there as well.
long DecodedSamples(const fs::path& file, int channels, bool untrimmed) {
  TempDir dir;
  const fs::path raw = dir / "decoded.raw";
  CommandLine c = {"ffmpeg", "-v", "error", "-nostdin"};
  if (untrimmed) c.insert(c.end(), {"-flags2", "+skip_manual"});
  const CommandLine format = AsSwf(file);
  c.insert(c.end(), format.begin(), format.end());
  c.insert(c.end(), {"-i", file.string(), "-f", "s16le", "-c:a", "pcm_s16le", raw.string()});
  if (!RunTool(c)) return -1;
  return static_cast<long>(fs::file_size(raw) / 2 / static_cast<uintmax_t>(channels));
}

struct MovieProbe {
  int audioStreams = 0, otherStreams = 0, sampleRate = 0, channels = 0;
};

MovieProbe ProbeMovie(const fs::path& file) {
  const CommandResult r =
      RunCommand({"ffprobe", "-v", "error", "-f", "swf", "-show_entries",
                  "stream=codec_type,sample_rate,channels", "-of", "csv=p=0", file.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  MovieProbe p;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("audio,", 0) == 0) {
      ++p.audioStreams;
      std::sscanf(line.c_str(), "audio,%d,%d", &p.sampleRate, &p.channels);
    } else if (!line.empty()) {
      ++p.otherStreams;
    }
  }
  return p;
}

struct Source {
  std::string name;
  int rate, channels;
  std::vector<CommandLine> recipe;  // after the signal in {tmp}
};

TEST(MusicMovieDecoding, EverySourceBecomesOneStreamOfItsRateChannelsAndLength) {
  const double seconds = 3;
  std::vector<Source> sources;
  for (int rate : {11025, 22050, 44100})
    for (int channels : {1, 2})
      for (bool vbr : {false, true}) {
        Source s{std::to_string(rate) + (channels == 2 ? "-stereo" : "-mono") +
                     (vbr ? "-vbr" : "-cbr") + ".mp3",
                 rate, channels, {}};
        // lame would resample low bit rates to a rate of its choice.
        CommandLine lame = {"lame", "--silent", "--resample", std::to_string(rate / 1000.0)};
        if (vbr) lame.insert(lame.end(), {"-V", "5"});
        else lame.insert(lame.end(), {"--cbr", "-b", "64"});
        lame.insert(lame.end(), {"{tmp}", "{out}"});
        s.recipe = {lame};
        sources.push_back(s);
      }
  sources.push_back({"pcm16-stereo-44100.wav", 44100, 2, {{"sox", "{tmp}", "{out}"}}});
  sources.push_back({"pcm8-mono-11025.wav", 11025, 1, {{"sox", "{tmp}", "-b", "8", "{out}"}}});
  sources.push_back(
      {"adpcm-stereo-22050.wav", 22050, 2, {{"sox", "{tmp}", "-e", "ms-adpcm", "{out}"}}});
  sources.push_back(
      {"adpcm-mono-11025.wav", 11025, 1, {{"sox", "{tmp}", "-e", "ms-adpcm", "{out}"}}});

  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx(host);
  for (const Source& s : sources) {
    for (int fps : {12, 30}) {
      SCOPED_TRACE(s.name + " at " + std::to_string(fps) + " fps");
      std::vector<CommandLine> commands = {SoxSignal("{tmp}", s.rate, s.channels, seconds)};
      commands.insert(commands.end(), s.recipe.begin(), s.recipe.end());
      const fs::path song = MakeAudio(s.name, commands);
      ASSERT_FALSE(song.empty());
      const bool mp3 = song.extension() == ".mp3";

      TConvertOption options;
      options.FrameRate = fps;
      const fs::path movie = dir / (s.name + ".swf");
      ASSERT_TRUE(WriteMusicMovieFile(song.string(), movie.string(), options, true, &ctx));

      const MovieProbe probe = ProbeMovie(movie);
      EXPECT_EQ(probe.audioStreams, 1);
      EXPECT_EQ(probe.otherStreams, 0);
      EXPECT_EQ(probe.sampleRate, s.rate);
      EXPECT_EQ(probe.channels, s.channels);

      const long source = DecodedSamples(song, s.channels, mp3);
      const long decoded = DecodedSamples(movie, s.channels, false);
      // One frame of the movie, or for an MP3 song one MPEG frame when that is longer: the
      // blocks carry whole MPEG frames, so the stream ends on the boundary of one.
      const long mpegFrame = mp3 ? (s.rate >= 32000 ? 1152 : 576) : 0;
      const long perFrame = std::max<long>(s.rate / fps, mpegFrame);
      EXPECT_GT(source, s.rate * (seconds - 0.1));
      EXPECT_LE(std::labs(decoded - source), perFrame) << decoded << " against " << source;

      // The frames: the song's duration times the frame rate, halves to even.
      audio::TWaveReader reader(song);
      swf::TSWFStreamReader header(movie);
      EXPECT_EQ(header.FrameCount(), std::nearbyint(reader.Duration * fps));
      EXPECT_NEAR(header.FrameCount(), static_cast<double>(source) / s.rate * fps, 1.0);
    }
  }
}

TEST(MusicMovieDecoding, TheCommandWritesTheMovieOfASong) {
  UserFolders user;
  TempDir dir;
  const fs::path song = MakeAudio("cli-22050.mp3", {SoxSignal("{tmp}", 22050, 2, 2),
                                                    {"lame", "--silent", "--resample", "22.05", "{tmp}", "{out}"}});
  ASSERT_FALSE(song.empty());
  const fs::path movie = dir / "song.swf";
  const fs::path cli = ProgramDir() / "tunewright-cli";
  CommandResult r = RunCommand({cli.string(), "music-movie", song.string(), movie.string(),
                                "--frame-rate", "20", "--flash-version", "7"});
  ASSERT_EQ(r.status, 0) << r.err;
  swf::TSWFStreamReader header(movie);
  EXPECT_EQ(header.Version(), 7);
  EXPECT_DOUBLE_EQ(header.FPS(), 20);
  EXPECT_NEAR(header.FrameCount(), 40, 1);
  EXPECT_EQ(ProbeMovie(movie).sampleRate, 22050);

  r = RunCommand({cli.string(), "music-movie", (dir / "none.mp3").string(), movie.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("tunewright-cli: error:"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tw::test
