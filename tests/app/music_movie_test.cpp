// Music movies: the movie of one song, its header and frames, the movie written as a stream
// against the builder's whole build, Cancel during the build, songs that cannot become a movie,
// and the publish run writing them. Songs are made by sox, lame and ffmpeg.
#include <algorithm>
#include <fstream>
#include <optional>

#include "app/app_support.h"
#include "app/music_movie.h"
#include "app/paths.h"
#include "app/publish.h"
#include "audio/audio_fixtures.h"
#include "builder/sound.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

struct MusicMovieFixture : ::testing::Test {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx{host};

  TConvertOption Options(int fps = 12, int versionIndex = 2) {
    TConvertOption o;
    o.FrameRate = fps;
    o.FlashVersionIndex = versionIndex;
    return o;
  }
  // Nothing of the build stays in the working folder.
  void ExpectNoWorkingFiles() {
    for (const std::string& f : FolderFiles(user.Work())) ADD_FAILURE() << "left behind: " << f;
  }
};

TEST_F(MusicMovieFixture, FramesAreTheSongsDurationTimesTheFrameRateRoundedHalfToEven) {
  const std::tuple<double, double, int64_t> cases[] = {
      {180, 12, 2160}, {180, 25, 4500}, {0.1, 12, 1}, {0.02, 12, 0},
      {0.125, 12, 2},  {0.375, 12, 4},  {0, 12, 0},   {-1, 12, 0}};
  for (auto [seconds, fps, frames] : cases)
    EXPECT_EQ(MusicMovieFrames(seconds, fps), frames) << seconds << " s at " << fps;
}

TEST_F(MusicMovieFixture, HeaderHasAZeroRectangleTheVersionAndTheSongsFrames) {
  struct Case {
    std::string name;
    int fps, versionIndex;
  };
  const Case cases[] = {{"song.mp3", 12, 0}, {"song.wav", 25, 2}, {"song.WAV", 8, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path song = dir / c.name;
    MakeSong44(song, 2.0);
    const fs::path target = dir / (c.name + ".swf");
    ASSERT_TRUE(WriteMusicMovieFile(song.string(), target.string(), Options(c.fps, c.versionIndex),
                                    true, &ctx));
    swf::TSWFStreamReader movie(target);
    EXPECT_EQ(movie.Version(), 6 + c.versionIndex);
    EXPECT_FALSE(movie.Compressed());
    EXPECT_EQ(movie.FrameRect().Left, 0);
    EXPECT_EQ(movie.FrameRect().Right, 0);
    EXPECT_EQ(movie.FrameRect().Bottom, 0);
    EXPECT_DOUBLE_EQ(movie.FPS(), c.fps);
    // Two seconds: the MP3 lasts a few frames of coding longer.
    EXPECT_NEAR(movie.FrameCount(), 2 * c.fps, 1);
    movie.ParseTags(false, false);
    ASSERT_FALSE(movie.TagList.empty());
    EXPECT_EQ(movie.TagList.front()->TagCode, 45);
    // The progress window showed the building up to 100%.
    ASSERT_FALSE(host.Progress.empty());
    EXPECT_EQ(host.Progress.back().SinglePercent, 100);
    EXPECT_EQ(host.Progress.back().SingleProcessing, "100%");
    ExpectNoWorkingFiles();
  }
}

// The movie as the builder makes it whole in memory (BuildBody, then SaveToStream): what the
// movie written as a stream must give byte for byte. Null when the song cannot be loaded.
std::optional<Bytes> WholeBuild(const fs::path& song, int fps, bool compressed,
                                std::vector<int>* buildProgress = nullptr) {
  TMyMusicMovie movie(0, 0, 0, 0, fps, swf::TSystemCoord::Twips, false);
  movie.SetVersion(8);
  movie.SetCompressed(compressed);
  builder::TFlashSound& sound = movie.StreamSound();
  try {
    sound.LoadFromFile(song.string());
  } catch (const std::exception&) {
    return std::nullopt;
  }
  sound.LoopStream = false;
  movie.ShowFrame(static_cast<uint16_t>(MusicMovieFrames(sound.Duration, fps)));
  if (buildProgress)
    movie.OnProgress = [&](swf::TBasedSWFStream&, int percent, int kind) {
      if (kind == swf::pkBuilding) buildProgress->push_back(percent);
    };
  movie.BuildBody();
  swf::TMemoryStream out;
  movie.SaveToStream(out);
  return out.Release();
}

// Keeps what a stream write hands on: the bytes, and the largest piece.
struct RecordingOutput : TMovieOutput {
  Bytes bytes;
  size_t largestPiece = 0;
  int patches = 0;
  void Write(std::span<const uint8_t> piece) override {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
    largestPiece = std::max(largestPiece, piece.size());
  }
  void PatchFileSize(uint32_t size) override {
    ++patches;
    for (int i = 0; i < 4; ++i) bytes.at(4 + i) = static_cast<uint8_t>(size >> (8 * i));
  }
};

// The songs of the corpus and songs made by lame and ffmpeg with the tags, headers, rates and
// modes the readers know, and cut or broken ones.
std::vector<fs::path> SongsOfEveryKind(const TempDir& dir) {
  std::vector<fs::path> songs;
  for (const auto& e : fs::directory_iterator(CorpusDir() / "audio")) songs.push_back(e.path());
  std::sort(songs.begin(), songs.end());
  auto lame = [](int rate, int channels, std::initializer_list<const char*> options) {
    CommandLine c = {"lame", "--quiet"};
    c.insert(c.end(), options.begin(), options.end());
    c.insert(c.end(), {"{tmp}", "{out}"});
    return std::vector<CommandLine>{SoxSignal("{tmp}", rate, channels, 3), c};
  };
  const std::pair<const char*, std::vector<CommandLine>> made[] = {
      {"cbr128-joint-info.mp3", lame(44100, 2, {"-b", "128", "-m", "j"})},
      {"vbr-xing-joint.mp3", lame(44100, 2, {"-V", "4", "-m", "j"})},
      {"cbr96-mono.mp3", lame(44100, 1, {"-b", "96", "-m", "m"})},
      {"mpeg2-vbr-stereo-22k.mp3", lame(22050, 2, {"-V", "5", "-m", "s"})},
      {"mpeg25-cbr16-mono-11k.mp3", lame(11025, 1, {"-b", "16", "-m", "m"})},
      {"cbr64-noheader.mp3", lame(44100, 2, {"-b", "64", "-t"})},
      {"id3v1.mp3", lame(44100, 2, {"-b", "128", "--id3v1-only", "--tt", "Tune Title"})},
      {"id3v2.mp3", lame(44100, 1, {"-b", "112", "-m", "m", "--id3v2-only", "--tt", "Tune"})},
      {"id3v24-v1-ffmpeg.mp3",
       {SoxSignal("{tmp}", 44100, 2, 3),
        {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", "{tmp}", "-c:a", "libmp3lame", "-b:a",
         "160k", "-id3v2_version", "4", "-write_id3v1", "1", "-metadata", "title=Tune",
         "{out}"}}},
      {"pcm8-mono-11k.wav", {SoxSignal("{tmp}", 11025, 1, 3), {"sox", "{tmp}", "-b", "8", "{out}"}}},
      {"adpcm-stereo-22k.wav",
       {SoxSignal("{tmp}", 22050, 2, 3), {"sox", "{tmp}", "-e", "ms-adpcm", "{out}"}}},
  };
  for (const auto& [name, recipe] : made) {
    const fs::path song = MakeAudio(name, recipe);
    EXPECT_FALSE(song.empty()) << name;
    if (!song.empty()) songs.push_back(song);
  }
  // Cut in the middle of its last frame; junk in the middle (the frame list ends there); a
  // second ID3v2 tag in front of the first.
  const fs::path whole = MakeAudio(made[0].first, made[0].second);
  const Bytes bytes = ReadBytes(whole);
  WriteBytes(dir / "cut.mp3", Bytes(bytes.begin(), bytes.end() - 200));
  Bytes junk(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(bytes.size() / 2));
  junk.insert(junk.end(), 100, 0x55);
  junk.insert(junk.end(), bytes.begin() + static_cast<ptrdiff_t>(bytes.size() / 2), bytes.end());
  WriteBytes(dir / "junk.mp3", junk);
  Bytes stacked = Hex("49 44 33 03 00 00 00 00 00 0A 00 00 00 00 00 00 00 00 00 00");
  const Bytes tagged = ReadBytes(MakeAudio(made[7].first, made[7].second));  // id3v2.mp3
  stacked.insert(stacked.end(), tagged.begin(), tagged.end());
  WriteBytes(dir / "stacked.mp3", stacked);
  for (const char* name : {"cut.mp3", "junk.mp3", "stacked.mp3"}) songs.push_back(dir / name);
  return songs;
}

TEST_F(MusicMovieFixture, WrittenAsAStreamTheMovieHasTheBytesOfTheWholeBuild) {
  size_t compared = 0;
  for (const fs::path& song : SongsOfEveryKind(dir)) {
    for (const auto& [fps, compressed] : {std::pair{12, false}, std::pair{30, true}}) {
      SCOPED_TRACE(song.filename().string() + " at " + std::to_string(fps) +
                   (compressed ? " fps, compressed" : " fps"));
      std::vector<int> wholeProgress;
      const std::optional<Bytes> whole = WholeBuild(song, fps, compressed, &wholeProgress);
      if (!whole) {
        // A song the sound cannot load makes no movie either way.
        EXPECT_THROW(WriteMusicMovieFile(song.string(), (dir / "out.swf").string(),
                                         Options(fps), true, &ctx),
                     std::exception);
        continue;
      }
      ++compared;
      TMyMusicMovie movie(0, 0, 0, 0, fps, swf::TSystemCoord::Twips, false);
      movie.SetVersion(8);
      movie.SetCompressed(compressed);
      builder::TFlashSound& sound = movie.StreamSound();
      sound.LoadFromFile(song.string());
      sound.LoopStream = false;
      movie.ShowFrame(static_cast<uint16_t>(MusicMovieFrames(sound.Duration, fps)));
      std::vector<int> streamProgress;
      movie.OnProgress = [&](swf::TBasedSWFStream&, int percent, int kind) {
        EXPECT_EQ(kind, swf::pkBuilding);
        streamProgress.push_back(percent);
      };
      RecordingOutput out;
      movie.SaveStreamed(out);
      ASSERT_EQ(out.bytes.size(), whole->size());
      EXPECT_TRUE(out.bytes == *whole);
      EXPECT_EQ(out.patches, 1);
      EXPECT_EQ(streamProgress, wholeProgress);
      // Memory holds one piece of the body: never more than the piece size and one tag (a
      // frame's sound block) beyond it; the compressor's pieces are its 64 KB buffer.
      swf::TSWFStreamReader reader{std::span<const uint8_t>(*whole)};
      reader.ParseTags(false, false);
      size_t largestTag = 0;
      for (const auto& info : reader.TagList)
        largestTag = std::max<size_t>(largestTag, info->TagLength + 6u);
      EXPECT_LE(out.largestPiece, TMyMusicMovie::kStreamPiece + largestTag);

      // The file of the music-files option and the stream of the stage movie.
      if (!compressed) {
        const fs::path target = dir / "out.swf";
        ASSERT_TRUE(WriteMusicMovieFile(song.string(), target.string(), Options(fps), true, &ctx));
        EXPECT_TRUE(ReadBytes(target) == *whole);
        const auto stream = BuildMusicMovieStream(song.string(), Options(fps), true, &ctx);
        ASSERT_NE(stream, nullptr);
        EXPECT_TRUE(Bytes(stream->Bytes().begin(), stream->Bytes().end()) == *whole);
      }
    }
  }
  EXPECT_GE(compared, 2 * 25u);
  ExpectNoWorkingFiles();
}

TEST_F(MusicMovieFixture, CancelStopsTheBuildAndLeavesNoFile) {
  const fs::path song = dir / "long.mp3";
  MakeSong44(song, 30.0);
  const fs::path target = dir / "long.swf";
  int calls = 0;
  host.OnMessages = [&](RecordingHost& h) {
    if (++calls == 50) h.Cancel = true;
  };
  EXPECT_FALSE(WriteMusicMovieFile(song.string(), target.string(), Options(), true, &ctx));
  EXPECT_EQ(calls, 50);  // the build stopped at the first look after Cancel
  EXPECT_FALSE(fs::exists(target));
  // Nor the temporary the movie was being written into.
  EXPECT_EQ(FolderFiles(dir.path()), std::vector<std::string>{"long.mp3"});
  ExpectNoWorkingFiles();

  calls = 0;
  host.Cancel = false;
  EXPECT_EQ(BuildMusicMovieStream(song.string(), Options(), true, &ctx), nullptr);
  ExpectNoWorkingFiles();
}

// Written onto its own song, the movie would destroy the song it is made of.
TEST_F(MusicMovieFixture, AMovieNeverReplacesItsOwnSong) {
  const fs::path song = dir / "song.mp3";
  MakeSong44(song, 1.0);
  const Bytes before = ReadBytes(song);
  fs::create_directories(dir / "sub");
  for (const fs::path& target : {song, dir / "sub" / ".." / "song.mp3"}) {
    SCOPED_TRACE(target.string());
    try {
      WriteMusicMovieFile(song.string(), target.string(), Options(), true, &ctx);
      ADD_FAILURE() << "written";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find("would replace the song"), std::string::npos)
          << e.what();
    }
    EXPECT_TRUE(ReadBytes(song) == before);
  }
  ExpectNoWorkingFiles();
}

TEST_F(MusicMovieFixture, SongsThatCannotBecomeAMovieFailWithTheirReason) {
  const fs::path junk = dir / "junk.mp3";
  std::ofstream(junk) << std::string(5000, 'x');
  const fs::path rate = dir / "rate.wav";
  ASSERT_EQ(RunCommand({"sox", "-n", "-r", "48000", "-c", "1", "-b", "16", rate.string(), "synth", "0.5",
                        "sine", "440"}).status, 0);
  // Eleven minutes at 100 frames per second are more frames than a movie can count.
  const fs::path longSong = dir / "long.wav";
  ASSERT_EQ(RunCommand({"sox", "-n", "-r", "5512", "-c", "1", "-b", "8", longSong.string(),
                        "synth", "660", "sine", "440"}).status, 0);
  const std::tuple<fs::path, int, std::string> cases[] = {
      {junk, 12, "Cannot make a music movie of the song"},
      {rate, 12, "48000 Hz"},
      {longSong, 100, "lasts too long"}};
  for (const auto& [song, fps, text] : cases) {
    SCOPED_TRACE(song.filename().string());
    const fs::path target = dir / "out.swf";
    std::ofstream(target) << "earlier";
    try {
      WriteMusicMovieFile(song.string(), target.string(), Options(fps), true, &ctx);
      ADD_FAILURE() << "written";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadText(target), "earlier");
    EXPECT_THROW(BuildMusicMovieStream(song.string(), Options(fps), true, &ctx),
                 std::exception);
    ExpectNoWorkingFiles();
  }
}

TEST_F(MusicMovieFixture, PublishWritesAMovieForEachReadableSongAndReportsTheOthers) {
  TProject project = MakeDefaultProject();
  TempDir out;
  const fs::path good = dir / "good.wav";
  MakeSong44(good, 1.0);
  const fs::path bad = dir / "bad.mp3";
  std::ofstream(bad) << std::string(3000, 'z');
  for (const fs::path& p : {bad, good}) project.Music.emplace_back().Path = p.string();
  project.PublishOption = TPublishOption::PlayerAndMusicFiles;
  project.MusicFormat = TMusicFormat::SWF;
  project.Reencode = false;
  project.OutputFolder = out.path().string();
  TStageMovieMakers makers{BundledStageFolders()};
  const TPublishOutcome outcome = PublishRun(project, host, makers);
  EXPECT_EQ(outcome.Status, TRunStatus::Finished);
  EXPECT_TRUE(fs::exists(out / "good.swf"));
  EXPECT_FALSE(fs::exists(out / "bad.swf"));
  EXPECT_EQ(host.Count("Error: Cannot make a music movie of the song"), 1) << ::testing::PrintToString(host.Errors);
  swf::TSWFStreamReader movie(out / "good.swf");
  EXPECT_EQ(movie.FrameCount(), 12);
}

}  // namespace
}  // namespace tw::test
