// Embedded video: the definition and frames a video writes, the frame each placement shows at
// each ShowFrame of a movie or a sprite, the versions codecs need, and FLV files a movie cannot
// use. The VP6 frame comes from a corpus movie, which the rebuilt movie must match.
#include <gtest/gtest.h>

#include "audio/flv.h"
#include "builder/movie.h"
#include "builder/objects_support.h"
#include "support/flv_fixtures.h"
#include "swf/display_tags.h"
#include "swf/sprite.h"
#include "swf/video_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;
using audio::TFLVReader;

// An H.263 clip of frames whose payloads are their numbers (1, 2, 3, ...).
TFLVReader NumberedClip(uint8_t codec, int frames) {
  TFLVBuilder b;
  b.MetaData({{"width", 32}, {"height", 24}, {"framerate", 10}});
  for (int i = 0; i < frames; ++i)
    b.Video(uint32_t(i * 100), i == 0 ? 1 : 2, codec, {uint8_t(i + 1)});
  return TFLVReader(b.bytes());
}

// "61:n" for a VideoFrame of frame n, "26:r" for a placement showing ratio r, "1" for ShowFrame.
std::string Timeline(const std::vector<std::unique_ptr<TSWFObject>>& tags) {
  std::string out;
  for (const auto& tag : tags) {
    std::string item = std::to_string(tag->TagID);
    if (auto* f = dynamic_cast<TSWFVideoFrame*>(tag.get())) item += ":" + std::to_string(f->FrameNum);
    if (auto* p = dynamic_cast<TSWFPlaceObject2*>(tag.get()))
      item += ":" + std::to_string(p->Ratio) + (p->Move ? "m" : "");
    out += (out.empty() ? "" : " ") + item;
  }
  return out;
}

std::string Timeline(TSWFStreamReader& r) {
  std::vector<std::unique_ptr<TSWFObject>> tags;
  for (const auto& t : r.TagList) tags.push_back(CloneTag(*t->TagObject()));
  return Timeline(tags);
}

TEST(Video, AMovieOfTheCorpusVP6FrameMatchesTheCorpusMovie) {
  TFLVBuilder b;
  b.MetaData({{"width", 640}, {"height", 480}, {"framerate", 25}});
  b.Video(0, 1, 4, CorpusVP6Frame());
  TFlashMovie movie(0, 0, 640, 480, 25, TSystemCoord::Pix);
  movie.SetVersion(6);
  TFlashVideo& video = movie.AddVideo();
  video.LoadFromFLV(TFLVReader(b.bytes()));
  movie.PlaceVideo(video, 1).Name("video");
  movie.ShowFrame();
  auto r = Reread(movie);

  EXPECT_EQ(r->Version(), 8);  // VP6 came with version 8
  EXPECT_EQ(Timeline(*r), "60 61:0 26:0 1 0");
  const Bytes corpusDefinition = TagBodyFromCorpus("visual__video__vp6_dispsize__test.swf", 1);
  auto* definition = dynamic_cast<TSWFDefineVideoStream*>(r->TagList[0]->TagObject());
  ASSERT_TRUE(definition);
  definition->ID = 0;  // the corpus movie's id
  EXPECT_EQ(ToHex(WriteBody(*definition)), ToHex(corpusDefinition));
  auto* frame = dynamic_cast<TSWFVideoFrame*>(r->TagList[1]->TagObject());
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->Data, CorpusVP6Frame());
}

TEST(Video, EachPlacementShowsOneFrameAtEveryShowFrameFromItsStart) {
  TFlashMovie movie(0, 0, 32, 24, 10, TSystemCoord::Pix);
  TFlashVideo& video = movie.AddVideo();
  video.LoadFromFLV(NumberedClip(2, 3));
  movie.ShowFrame();  // frame 0 without video
  TFlashPlaceVideo& place = movie.PlaceVideo(video, 3);
  EXPECT_EQ(place.StartFrame(), 1);
  EXPECT_EQ(movie.MaxDepth, 3);
  movie.ShowFrame(4);  // three frames of video, then one more: the last frame stays
  auto r = Reread(movie);
  EXPECT_EQ(Timeline(*r), "60 1 61:0 26:0 1 61:1 26:1m 1 61:2 26:2m 1 1 0");
  EXPECT_EQ(r->FrameCount(), 5);
  EXPECT_EQ(r->Version(), 6);  // the movie's 5 rises for H.263 video
  const auto* data = dynamic_cast<TSWFVideoFrame*>(r->TagList[5]->TagObject());
  ASSERT_TRUE(data);
  EXPECT_EQ(data->Data, Bytes{2});
  EXPECT_EQ(data->ID, video.CharacterId());
}

TEST(Video, ASpriteShowsOneVideoFramePerSpriteFrame) {
  TFlashMovie movie(0, 0, 32, 24, 10, TSystemCoord::Pix);
  TFlashSprite& sprite = movie.AddSprite();
  TFlashVideo& video = movie.AddVideo();  // defined after the sprite: placing moves it in front
  video.LoadFromFLV(NumberedClip(3, 2));
  sprite.PlaceVideo(video, 1);
  sprite.ShowFrame(3);
  movie.PlaceObject(sprite, 1);
  auto r = Reread(movie);
  EXPECT_EQ(r->Version(), 7);  // screen video
  ASSERT_EQ(r->TagList[0]->TagCode, 60);
  auto* defined = dynamic_cast<TSWFDefineSprite*>(r->TagList[1]->TagObject());
  ASSERT_TRUE(defined);
  EXPECT_EQ(Timeline(defined->ControlTags), "61:0 26:0 1 61:1 26:1m 1 1 0");

  // A copy of the sprite shows the video as well.
  TFlashSprite copy(&movie);
  copy.Assign(sprite);
  EXPECT_EQ(copy.PlacedVideos.size(), 1u);
  EXPECT_EQ(&copy.PlacedVideos[0]->Video(), &video);
}

TEST(Video, VersionsOfTheCodecsAndAVideoPlacedInNoFrame) {
  const struct {
    uint8_t codec;
    int version;
  } cases[] = {{2, 6}, {3, 7}, {4, 8}, {5, 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.codec));
    TFlashMovie movie(0, 0, 32, 24, 10, TSystemCoord::Pix);
    TFlashVideo& video = movie.AddVideo();
    video.LoadFromFLV(NumberedClip(c.codec, 2));
    movie.PlaceVideo(video, 1);
    auto r = Reread(movie);
    EXPECT_EQ(r->Version(), c.version);
    // Like any placement, it gets the one frame the movie is closed with.
    EXPECT_EQ(Timeline(*r), "60 61:0 26:0 1 0");
  }
}

TEST(Video, ClearForgetsTheVideoPlacements) {
  TFlashMovie movie(0, 0, 32, 24, 10, TSystemCoord::Pix);
  TFlashVideo& video = movie.AddVideo();
  video.LoadFromFLV(NumberedClip(2, 2));
  movie.PlaceVideo(video, 1);
  movie.Clear();
  EXPECT_EQ(movie.Videos.Count(), 0u);
  movie.ShowFrame();
  auto r = Reread(movie);  // the placement would write frames of the freed video
  EXPECT_EQ(Timeline(*r), "1 0");
}

TEST(Video, FLVFilesWithoutUsableVideoAreRefused) {
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"sound only", TFLVBuilder(true, false).Tag(8, 0, {0x2E, 0xFF, 0xFB}).bytes(), "holds no video"},
      {"H.264", TFLVBuilder().Video(0, 1, 7, {0, 0, 0, 0}).bytes(), "AVC (H.264)) cannot be embedded"},
      {"an unknown codec", TFLVBuilder().Video(0, 1, 12, {0}).bytes(), "codec 12"},
      {"a codec that changes",
       TFLVBuilder().Video(0, 1, 2, {1}).Video(100, 1, 3, {0, 0, 0, 0}).bytes(),
       "changes from Sorenson H.263 to Screen Video"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashMovie movie(0, 0, 32, 24, 10, TSystemCoord::Pix);
    try {
      movie.AddVideo().LoadFromFLV(TFLVReader(c.bytes));
      ADD_FAILURE() << "no error";
    } catch (const audio::EAudioError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace tw::builder
