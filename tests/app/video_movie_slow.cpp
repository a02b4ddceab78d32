// Video movies of FLV clips made by ffmpeg: the picture, the frames and the stream sound, which
// a SWF stream carries as it is or gets re-encoded by ffmpeg; and the errors of clips that
// cannot be used.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "app/app_support.h"
#include "app/video_movie.h"
#include "audio/flv.h"
#include "support/flv_fixtures.h"
#include "swf/sound_tags.h"
#include "swf/stream.h"
#include "swf/video_tags.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace tw::app;
using namespace tw::swf;

std::unique_ptr<TSWFStreamReader> ReadMovie(const fs::path& file) {
  auto r = std::make_unique<TSWFStreamReader>(file);
  r->ParseTags(true, false);
  return r;
}

template <class T>
T* Find(TSWFStreamReader& r, uint16_t code) {
  for (const auto& t : r.TagList)
    if (t->TagCode == code) return dynamic_cast<T*>(t->TagObject());
  return nullptr;
}

size_t Count(TSWFStreamReader& r, uint16_t code) {
  size_t n = 0;
  for (const auto& t : r.TagList) n += t->TagCode == code;
  return n;
}

TEST(VideoMovie, StreamsTheSoundAsASWFStreamCarriesIt) {
  const struct {
    const char* name;
    const char* codec;
    int rate;
    uint8_t compression, rateCode;  // of the stream head written
  } cases[] = {
      {"MP3 at 44.1 kHz, as it is", "libmp3lame", 44100, 2, 3},
      {"MP3 at 22.05 kHz, as it is", "libmp3lame", 22050, 2, 2},
      {"MP3 at 48 kHz, re-encoded", "libmp3lame", 48000, 2, 3},
      {"PCM, compressed to ADPCM", "pcm_s16le", 11025, 1, 1},
      {"ADPCM, re-encoded", "adpcm_swf", 22050, 2, 3},
      {"Nellymoser, re-encoded", "nellymoser", 22050, 2, 3},
      {"AAC, re-encoded", "aac", 44100, 2, 3},
  };
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx(host);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path clip = dir / "clip.flv", movie = dir / "clip.swf";
    ASSERT_TRUE(MakeColourClip(clip, {"red", "blue"}, 5, "flv", c.codec, c.rate));
    const audio::TFLVReader flv = audio::TFLVReader::FromFile(clip);
    ASSERT_TRUE(WriteVideoMovieFile(clip.string(), movie.string(), 8, ctx));
    auto r = ReadMovie(movie);
    EXPECT_EQ(r->FrameCount(), flv.VideoFrames.size());
    EXPECT_DOUBLE_EQ(r->FPS(), 5);
    auto* video = Find<TSWFDefineVideoStream>(*r, 60);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->Codec, 2);
    EXPECT_EQ(video->Width, 160);
    EXPECT_EQ(video->NumFrames, flv.VideoFrames.size());
    EXPECT_EQ(Count(*r, 61), flv.VideoFrames.size());
    auto* head = Find<TSWFSoundStreamHead2>(*r, 45);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->StreamSoundCompression, c.compression);
    EXPECT_EQ(head->StreamSoundRate, c.rateCode);
    // Two seconds of sound over two seconds of frames: a block in (nearly) every frame.
    EXPECT_GE(Count(*r, 19) + 1, flv.VideoFrames.size());
  }
  EXPECT_TRUE(user.WorkEntries().empty()) << "working files stay behind";
}

TEST(VideoMovie, ClipsItCannotUseGiveClearErrors) {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx(host);
  const fs::path sound = dir / "sound.flv", aac = dir / "aac.flv";
  const CommandResult made = RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                         "sine=d=1", "-c:a", "libmp3lame", sound.string()});
  ASSERT_EQ(made.status, 0) << made.err;
  ASSERT_TRUE(MakeColourClip(aac, {"red"}, 5, "flv", "aac", 44100));
  const fs::path text = dir / "text.flv";
  std::ofstream(text) << "hello world";
  const struct {
    const char* name;
    fs::path clip;
    const char* path;  // PATH while it runs
    const char* message;
  } cases[] = {
      {"no FLV file", text, nullptr, "The file is not an FLV file"},
      {"sound only", sound, nullptr, "The FLV file holds no video"},
      {"AAC without the media converter", aac, "",
       "The FLV file's sound (AAC) cannot go into a SWF sound stream as it is, and the media "
       "converter that would re-encode it is missing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<EnvGuard> path;
    if (c.path) path.emplace("PATH", c.path);
    const fs::path target = dir / "movie.swf";
    try {
      WriteVideoMovieFile(c.clip.string(), target.string(), 8, ctx);
      ADD_FAILURE() << "no error";
    } catch (const audio::EAudioError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_FALSE(fs::exists(target));
  }
}

}  // namespace
}  // namespace tw::test
