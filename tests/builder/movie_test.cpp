// The movie builder's core: the body it assembles from its object list, frames, ids, versions,
// the lazily made members and the moving of resources.
#include <gtest/gtest.h>

#include <stdexcept>

#include "builder/movie.h"
#include "builder/sprite.h"
#include "support/testing.h"
#include "swf/action_tags.h"
#include "swf/control_tags.h"
#include "swf/shape_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using tw::test::Bytes;
using tw::test::Hex;
using tw::test::ToHex;

std::string Body(TFlashMovie& movie) { return ToHex(movie.BodyStream().Bytes()); }

TFlashMovie NewMovie(TSystemCoord coord = TSystemCoord::Twips) {
  return TFlashMovie(0, 0, 400, 300, 12, coord);
}

// A tag that the reader keeps as raw bytes: an unknown code, or a placement without a class.
std::unique_ptr<TSWFByteCodeTag> RawTag(uint16_t code, std::string_view hex) {
  auto tag = std::make_unique<TSWFByteCodeTag>();
  tag->RawTagID = code;
  tag->Data = Hex(hex);
  return tag;
}

// A placement as the body assembly sees it: it notes the version it writes for and writes a
// PlaceObject2 of character 1 at depth 1 (flags 02: a character).
class FakePlacement : public TFlashObject {
 public:
  explicit FakePlacement(TFlashMovie* owner, int minVersion = 3)
      : TFlashObject(owner), FMinVersion(minVersion) {}
  int ToldVersion = 0;
  int MinVersion() const override { return FMinVersion; }
  void PrepareBodyWrite(TBodyWriteState& state) override { state.HasPlacement = true; }
  void WriteToStream(TBitsEngine& be) override {
    ToldVersion = be.Context.Version;
    RawTag(26, "02 01 00 01 00")->WriteToStream(be);
  }

 private:
  int FMinVersion;
};

// A character that writes a DefineShape-like raw tag with its id.
class FakeCharacter : public TFlashVisualObject {
 public:
  using TFlashVisualObject::TFlashVisualObject;
  void WriteToStream(TBitsEngine& be) override {
    const uint16_t id = CharacterId();
    RawTag(2, ToHex(std::vector<uint8_t>{static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)}))
        ->WriteToStream(be);
  }
};

// A streaming sound whose blocks carry their number, so that the test sees which frame got which.
class FakeStreamSound : public TFlashStreamSound {
 public:
  FakeStreamSound(TFlashMovie* owner, uint16_t startFrame, int minVersion)
      : TFlashStreamSound(owner), FStart(startFrame), FMinVersion(minVersion) {}
  double HeadFps = 0;
  int MinVersion() const override { return FMinVersion; }
  uint16_t StartFrame() const override { return FStart; }
  void FillStreamHead(TSWFSoundStreamHead2& head, double fps) override {
    HeadFps = fps;
    head.StreamSoundCompression = 2;
    head.SampleCount = 1837;
    FBlock = 0;
  }
  void WriteStreamBlock(TBitsEngine& be) override {
    RawTag(19, ToHex(std::vector<uint8_t>{static_cast<uint8_t>(FBlock++)}))->WriteToStream(be);
  }
  void WriteToStream(TBitsEngine&) override {}  // a stream sound is no event sound

 private:
  uint16_t FStart;
  int FMinVersion;
  uint8_t FBlock = 0;
};

class ThrowingObject : public TFlashObject {
 public:
  using TFlashObject::TFlashObject;
  int MinVersion() const override { return 9; }
  void WriteToStream(TBitsEngine&) override { throw std::runtime_error("image gone"); }
};

TEST(Movie, NewMovieBuildsToEndOnly) {
  TFlashMovie movie = NewMovie();
  movie.BuildBody();
  EXPECT_EQ(Body(movie), "00 00");
  EXPECT_EQ(movie.FrameCount(), 0);
  EXPECT_EQ(movie.Version(), 5);
  EXPECT_EQ(movie.CurrentID, 1);
  EXPECT_TRUE(movie.CorrectImageFill);
}

TEST(Movie, PlacementWithoutShowFrameGetsOneFrame) {
  struct Case {
    const char* name;
    std::function<void(TFlashMovie&)> fill;
    std::string body;
    int frames;
  };
  const Case cases[] = {
      {"a builder placement",
       [](TFlashMovie& m) {
         m.AddObject(RawTag(2, "01 00"));
         m.AddObject(std::make_unique<FakePlacement>(&m));
       },
       "82 00 01 00 85 06 02 01 00 01 00 40 00 00 00", 1},
      {"a PlaceObject2 the reader kept as bytes",
       [](TFlashMovie& m) {
         m.AddObject(RawTag(2, "01 00"));
         m.AddObject(RawTag(26, "02 01 00 01 00"));
       },
       "82 00 01 00 85 06 02 01 00 01 00 40 00 00 00", 1},
      {"definitions alone make no frame",
       [](TFlashMovie& m) { m.AddObject(RawTag(2, "01 00")); }, "82 00 01 00 00 00", 0},
      {"a placement in a closed frame adds none",
       [](TFlashMovie& m) {
         m.AddObject(std::make_unique<FakePlacement>(&m));
         m.ShowFrame();
       },
       "85 06 02 01 00 01 00 40 00 00 00", 1},
      {"a copied End tag is not doubled",
       [](TFlashMovie& m) {
         m.AddObject(std::make_unique<TSWFShowFrame>());
         m.AddObject(std::make_unique<TSWFEnd>());
       },
       "40 00 00 00", 1},
      {"an End in the middle still gets one at the end",
       [](TFlashMovie& m) {
         m.AddObject(std::make_unique<TSWFEnd>());
         m.AddObject(std::make_unique<TSWFShowFrame>());
       },
       "00 00 40 00 00 00", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashMovie movie = NewMovie();
    c.fill(movie);
    movie.BuildBody();
    EXPECT_EQ(Body(movie), c.body);
    EXPECT_EQ(movie.FrameCount(), c.frames);
  }
}

TEST(Movie, ShowFrameClosesFramesAfterPendingActions) {
  TFlashMovie movie = NewMovie();
  movie.ShowFrame(0);
  EXPECT_EQ(movie.FrameCount(), 1);
  EXPECT_EQ(movie.CurrentFrameIndex, 0);
  movie.FrameActions().Stop();
  movie.ShowFrame(3);
  EXPECT_EQ(movie.FrameCount(), 4);
  EXPECT_EQ(movie.CurrentFrameIndex, 3);
  EXPECT_FALSE(movie.HasFrameActions());
  ASSERT_EQ(movie.ObjectList.size(), 5u);
  EXPECT_TRUE(movie.ObjectList[1]->IsBuilderObject());
  // The script's DoAction lies right before the first ShowFrame of the call.
  movie.BuildBody();
  EXPECT_EQ(Body(movie), "40 00 02 03 07 00 40 00 40 00 40 00 00 00");
  EXPECT_EQ(movie.FrameCount(), 4);

  // Actions requested after that are a new script; without a ShowFrame they are not written.
  movie.FrameActions().Play();
  movie.BuildBody();
  EXPECT_EQ(Body(movie), "40 00 02 03 07 00 40 00 40 00 40 00 00 00");
  movie.InsertFrameActions();
  movie.InsertFrameActions();  // nothing pending: nothing happens
  movie.BuildBody();
  EXPECT_EQ(Body(movie), "40 00 02 03 07 00 40 00 40 00 40 00 02 03 06 00 00 00");
}

TEST(Movie, VersionIsTheHighestMetAndNeverLowered) {
  struct Case {
    const char* name;
    uint8_t version;
    int placementNeeds;
    int expected;
  };
  const Case cases[] = {
      {"a version 6 movie with a placement that needs 8", 6, 8, 8},
      {"a version 8 movie with version 6 objects", 8, 6, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashMovie movie = NewMovie();
    movie.SetVersion(c.version);
    auto& first = movie.AddObject(std::make_unique<FakePlacement>(&movie, c.placementNeeds));
    auto& second = movie.AddObject(std::make_unique<FakePlacement>(&movie, 3));
    movie.BuildBody();
    EXPECT_EQ(movie.Version(), c.expected);
    // Every placement writes for the version of the whole body, its own need included.
    EXPECT_EQ(first.ToldVersion, c.expected);
    EXPECT_EQ(second.ToldVersion, c.expected);
  }
}

// Character ids and frame counts are 16 bits: what would pass 65535 is refused, never wrapped.
TEST(Movie, CountersRefuseToPass65535) {
  TFlashMovie movie = NewMovie();
  movie.CurrentID = 65534;
  EXPECT_EQ(movie.AddShape().CharacterId(), 65534);
  EXPECT_THROW(movie.AddShape(), ESWFError) << "the next id would be 65536";
  EXPECT_EQ(movie.Shapes.Count(), 1u);

  movie.SetFrameCount(65534);
  movie.ShowFrame();
  EXPECT_EQ(movie.FrameCount(), 65535);
  EXPECT_THROW(movie.ShowFrame(), ESWFError);
  EXPECT_EQ(movie.FrameCount(), 65535);

  movie.CurrentID = 1;
  TFlashSprite& sprite = movie.AddSprite();
  sprite.SetFrameCount(65535);
  EXPECT_THROW(sprite.ShowFrame(), ESWFError);
  EXPECT_EQ(sprite.FrameCount(), 65535);

  // Frames the body assembly counts (merged ones included) are checked as well.
  TFlashMovie many = NewMovie();
  for (int i = 0; i < 65536; ++i) many.AddObject(std::make_unique<TSWFShowFrame>());
  EXPECT_THROW(many.BuildBody(), ESWFError);
}

TEST(Movie, CorrectImageFillEndsAboveVersion7) {
  TFlashMovie movie = NewMovie();
  movie.SetVersion(7);
  EXPECT_TRUE(movie.CorrectImageFill);
  movie.SetVersion(8);
  EXPECT_FALSE(movie.CorrectImageFill);
  movie.SetVersion(6);
  EXPECT_FALSE(movie.CorrectImageFill);

  // A build that raises the version does the same.
  TFlashMovie raised = NewMovie();
  raised.AddObject(std::make_unique<FakePlacement>(&raised, 8));
  raised.BuildBody();
  EXPECT_FALSE(raised.CorrectImageFill);
}

TEST(Movie, BackgroundColourComesFirst) {
  TFlashMovie movie = NewMovie();
  EXPECT_FALSE(movie.BgColorSet);
  movie.ShowFrame();
  movie.BgColor().SetRGB({0x00, 0x33, 0x66});
  EXPECT_TRUE(movie.BgColorSet);
  movie.BuildBody();
  EXPECT_EQ(Body(movie), "43 02 00 33 66 40 00 00 00");
  // Clear forgets the colour tag but not the frame count.
  movie.Clear();
  movie.BuildBody();
  EXPECT_EQ(Body(movie), "00 00");
}

TEST(Movie, StreamSoundHeadThenOneBlockBeforeEachShowFrame) {
  TFlashMovie movie(0, 0, 0, 0, 24, TSystemCoord::Twips);
  movie.BgColor().SetRGB({1, 2, 3});
  auto sound = std::make_unique<FakeStreamSound>(&movie, 0, 4);
  FakeStreamSound& s = *sound;
  movie.SetStreamSound(std::move(sound));
  EXPECT_TRUE(movie.HasStreamSound);
  movie.ShowFrame(2);
  movie.BuildBody();
  EXPECT_EQ(s.HeadFps, 24);
  // SetBackgroundColor, SoundStreamHead2 (MP3, 1837 samples), then per frame a block (long
  // header) and the ShowFrame.
  EXPECT_EQ(Body(movie),
            "43 02 01 02 03 46 0B 00 20 2D 07 00 00 "
            "FF 04 01 00 00 00 00 40 00 FF 04 01 00 00 00 01 40 00 00 00");
  EXPECT_EQ(movie.Version(), 5);

  // A second build starts a new streaming pass; a sound that needs a higher version raises it.
  TFlashMovie late(0, 0, 0, 0, 12, TSystemCoord::Twips);
  late.SetStreamSound(std::make_unique<FakeStreamSound>(&late, 1, 6));
  late.ShowFrame(3);
  late.BuildBody();
  late.BuildBody();
  // The blocks start with the sound's start frame.
  EXPECT_EQ(Body(late),
            "46 0B 00 20 2D 07 00 00 40 00 FF 04 01 00 00 00 00 40 00 FF 04 01 00 00 00 01 40 00 00 00");
  EXPECT_EQ(late.Version(), 6);
}

TEST(Movie, ProgressOncePerObject) {
  TFlashMovie movie = NewMovie();
  movie.ShowFrame(3);
  std::vector<std::pair<int, int>> calls;
  movie.OnProgress = [&](TBasedSWFStream&, int percent, int kind) { calls.emplace_back(percent, kind); };
  movie.BuildBody();
  const std::vector<std::pair<int, int>> expected = {{33, 1}, {67, 1}, {100, 1}};
  EXPECT_EQ(calls, expected);
}

TEST(Movie, FailingObjectLeavesFrameCountAndVersion) {
  TFlashMovie movie = NewMovie();
  movie.ShowFrame();
  movie.BuildBody();
  movie.AddObject(std::make_unique<TSWFShowFrame>());
  movie.AddObject(std::make_unique<ThrowingObject>(&movie));
  EXPECT_THROW(movie.BuildBody(), std::runtime_error);
  EXPECT_EQ(movie.FrameCount(), 1);
  EXPECT_EQ(movie.Version(), 5);
}

TEST(Movie, CharacterIdsComeFromCurrentID) {
  TFlashMovie movie = NewMovie();
  TFlashObjectList<FakeCharacter> list;
  auto& a = movie.RegisterCharacter(std::make_unique<FakeCharacter>(&movie), list);
  auto& b = movie.RegisterCharacter(std::make_unique<FakeCharacter>(&movie), list);
  EXPECT_EQ(a.CharacterId(), 1);
  EXPECT_EQ(b.CharacterId(), 2);
  EXPECT_EQ(movie.CurrentID, 3);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.FindByID(2), &b);
  EXPECT_EQ(list.FindByID(7), nullptr);
  EXPECT_EQ(list.Last(), &b);
  movie.BuildBody();
  EXPECT_EQ(Body(movie), "82 00 01 00 82 00 02 00 00 00");

  movie.Clear();
  EXPECT_TRUE(movie.ObjectList.empty());
  list.Clear();
  EXPECT_EQ(list.Last(), nullptr);
  auto& again = movie.RegisterCharacter(std::make_unique<FakeCharacter>(&movie), list);
  EXPECT_EQ(again.CharacterId(), 1);
}

TEST(Movie, AssignOfTheBases) {
  TFlashMovie pixels = NewMovie(TSystemCoord::Pix);
  FakeCharacter source(&pixels);
  source.SetCharacterId(9);
  source.OriginX = -4;
  source.OriginY = 7;
  FakeCharacter copy(nullptr);
  EXPECT_EQ(copy.TwipsPerUnit(), 1);
  copy.Assign(source);
  EXPECT_EQ(copy.Owner(), &pixels);
  EXPECT_EQ(copy.TwipsPerUnit(), 20);
  EXPECT_EQ(copy.CharacterId(), 9);
  EXPECT_EQ(copy.OriginX, -4);
  EXPECT_EQ(copy.OriginY, 7);
  // An owner of its own is kept.
  TFlashMovie other = NewMovie();
  FakeCharacter owned(&other);
  owned.Assign(source);
  EXPECT_EQ(owned.Owner(), &other);
  // Objects of another class are refused.
  FakePlacement placement(&pixels);
  EXPECT_THROW(copy.Assign(placement), std::bad_cast);
}

TEST(Movie, PlacementsRaiseMaxDepth) {
  TFlashMovie movie = NewMovie();
  EXPECT_EQ(movie.MaxDepth, 0);
  auto& first = movie.AddPlacement(std::make_unique<FakePlacement>(&movie), 3);
  movie.AddPlacement(std::make_unique<FakePlacement>(&movie), 2);
  EXPECT_EQ(movie.MaxDepth, 3);
  EXPECT_EQ(movie.ObjectList.front().get(), &first);
  EXPECT_EQ(movie.ObjectList.size(), 2u);
}

TEST(Movie, DisplayListTagsAndExports) {
  TFlashMovie movie = NewMovie();
  FakeCharacter character(&movie);
  character.SetCharacterId(0x0102);
  movie.RemoveObject(3, &character);
  movie.RemoveObject(0x0405);
  movie.StartSound(7);
  movie.ExportAssets("song", 2);
  movie.BuildBody();
  EXPECT_EQ(Body(movie),
            "44 01 02 01 03 00 "        // RemoveObject: character 0x102 at depth 3
            "02 07 05 04 "              // RemoveObject2 at depth 0x405
            "C3 03 07 00 00 "           // StartSound of sound 7, no sound info
            "09 0E 01 00 02 00 73 6F 6E 67 00 "  // ExportAssets: id 2 as "song"
            "00 00");
  EXPECT_EQ(movie.Version(), 5);
}

TEST(Movie, FrameEndIndex) {
  TFlashMovie movie = NewMovie();
  EXPECT_EQ(movie.FrameEndIndex(1), 0u);
  movie.AddObject(RawTag(2, "01 00"));
  movie.ShowFrame();
  movie.AddObject(RawTag(2, "02 00"));
  movie.ShowFrame();
  movie.AddObject(RawTag(2, "03 00"));
  EXPECT_EQ(movie.FrameEndIndex(0), 0u);
  EXPECT_EQ(movie.FrameEndIndex(1), 1u);
  EXPECT_EQ(movie.FrameEndIndex(2), 3u);
  EXPECT_EQ(movie.FrameEndIndex(3), 4u);
  EXPECT_EQ(movie.FrameEndIndex(99), 4u);
}

// The codes of a list of objects; raw tags by the code they write.
std::vector<int> Codes(const TFlashMovie& movie) {
  std::vector<int> out;
  for (const auto& o : movie.ObjectList) {
    const auto& t = static_cast<const TSWFObject&>(*o);
    out.push_back(t.TagID == kByteCodeTagID ? static_cast<const TSWFByteCodeTag&>(t).RawTagID : t.TagID);
  }
  return out;
}
std::vector<int> Codes(const TSWFStreamReader& reader) {
  std::vector<int> out;
  for (const auto& info : reader.TagList) out.push_back(info->TagCode);
  return out;
}

// The reader moves resources by the same frame arithmetic: copied into a movie, a real movie's
// tags must end in the same order.
TEST(Movie, MoveResourcesAgreesWithTheReaderOnRealMovies) {
  struct Range {
    int to, from, last;
  };
  const Range ranges[] = {{0, 1, 1}, {0, 2, -1}, {1, 1, -1}, {1, 2, 0}, {0, 0, 0}, {2, 1, 3}, {5, 5, 9}};
  int movies = 0, changed = 0;
  for (const auto& file : tw::test::CorpusMovies()) {
    TSWFStreamReader probe(file);
    probe.ParseTags(true, false);
    int resources = 0, frames = 0;
    for (const auto& info : probe.TagList) {
      const uint16_t c = info->TagCode;
      resources += c == 6 || c == 8 || c == 10 || c == 14 || c == 20 || c == 21 || c == 35 ||
                   c == 36 || c == 48 || c == 75;
      frames += c == 1;
    }
    if (resources == 0 || frames < 2) continue;
    ++movies;
    for (const auto& r : ranges) {
      SCOPED_TRACE(file.filename().string() + " " + std::to_string(r.to) + "," +
                   std::to_string(r.from) + "," + std::to_string(r.last));
      TSWFStreamReader reader(file);
      reader.ParseTags(true, false);
      TFlashMovie movie = NewMovie();
      for (const auto& info : reader.TagList) movie.AddObject(CloneTag(*info->TagObject()));
      reader.SetFrameCount(static_cast<uint16_t>(frames));
      movie.SetFrameCount(static_cast<uint16_t>(frames));
      const auto before = Codes(movie);
      reader.MoveResources(r.to, r.from, r.last);
      movie.MoveResources(r.to, r.from, r.last);
      EXPECT_EQ(Codes(movie), Codes(reader));
      changed += Codes(movie) != before;
    }
  }
  EXPECT_GT(movies, 5);
  EXPECT_GT(changed, 5);
}

TEST(Movie, MoveResourcesTakesBuilderResources) {
  class FakeImage : public FakeCharacter {
   public:
    using FakeCharacter::FakeCharacter;
    bool IsResource() const override { return true; }
  };
  TFlashMovie movie = NewMovie();
  movie.AddObject(RawTag(2, "01 00"));
  movie.ShowFrame();
  movie.AddObject(std::make_unique<FakePlacement>(&movie));
  auto& image = movie.AddObject(std::make_unique<FakeImage>(&movie));
  movie.AddObject(RawTag(6, "05 00"));
  movie.ShowFrame();
  auto& bitmap = *movie.ObjectList[4];
  movie.MoveResources(0, 1, 1);
  // The image and the bitmap of frame 2 go to the start of the movie, in their order.
  ASSERT_EQ(movie.ObjectList.size(), 6u);
  EXPECT_EQ(movie.ObjectList[0].get(), &image);
  EXPECT_EQ(movie.ObjectList[1].get(), &bitmap);
  EXPECT_TRUE(movie.ObjectList[4]->IsBuilderObject());  // the placement stays in frame 2
}

// A real movie copied tag by tag (factory and Assign) builds the body the reader rebuilds.
TEST(Movie, CopiedCorpusMoviesBuildTheSameBody) {
  int copied = 0;
  for (const auto& file : tw::test::CorpusMovies()) {
    TSWFStreamReader reader(file);
    if (!reader.IsSWF) continue;
    reader.ParseTags(true, true);
    if (reader.TagList.empty() || reader.TagList.back()->TagCode != 0 ||
        !reader.TrailingBytes().empty())
      continue;
    SCOPED_TRACE(file.filename().string());
    TFlashMovie movie(0, 0, 0, 0, reader.FPS(), TSystemCoord::Twips);
    movie.SetFrameRect(reader.FrameRect());
    movie.SetVersion(reader.Version());
    for (const auto& info : reader.TagList) movie.AddObject(CloneTag(*info->TagObject()));
    reader.BuildBody();
    movie.BuildBody();
    ASSERT_EQ(ToHex(movie.BodyStream().Bytes()), ToHex(reader.BodyStream().Bytes()));
    ++copied;
  }
  EXPECT_GT(copied, 300);
}

}  // namespace
}  // namespace tw::builder
