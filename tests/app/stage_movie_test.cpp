// The stage movie, read back: the background, the bundled player placed at its depth, the songs
// as exported sprites under the names of the inner playlist, and images at their depths.
#include <zlib.h>

#include <fstream>
#include <map>

#include "app/app_support.h"
#include "app/paths.h"
#include "app/playlist.h"
#include "app/snapshots.h"
#include "app/stage_movie.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "swf/display_tags.h"
#include "swf/sprite.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using namespace tw::swf;
using Names = std::vector<std::string>;

TStageFolders Bundled() {
  return {(ProgramDir() / "player/").string(), (ProgramDir() / "preloader/").string()};
}

struct Stage : ::testing::Test {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  TRunContext ctx{host};
  std::unique_ptr<TTemplateInfo> info = ReadTemplateInfo(Bundled().Player + "compact.swf");
  TStageSettings s;
  TConvertOption options;
  std::unique_ptr<TMusicFileList> songs;
  std::unique_ptr<TSWFStreamReader> movie;

  Stage() {
    s.TemplateName = "compact.swf";
    s.Template = info.get();
    s.Width = 500;
    s.Height = 400;
    s.BackgroundColor = 0x336699;  // blue 0x33, green 0x66, red 0x99
    s.FrameRate = 24;
    options.FrameRate = 24;
  }
  void AddSong(const std::string& name, int position, bool make = true) {
    if (make) MakeSong44(dir / name, 1);
    std::unique_ptr<TMusicFileList>* slot = &songs;
    while (*slot) slot = &(*slot)->Next;
    *slot = std::make_unique<TMusicFileList>();
    (*slot)->FileName = (dir / name).string();
    (*slot)->Position = position;
  }
  void Build(bool withMusic) {
    const fs::path target = dir / "stage.swf";
    BuildStageMovie(s, target.string(), withMusic, songs.get(), dir.path().string() + "/", false,
                    options, ctx, Bundled());
    movie = std::make_unique<TSWFStreamReader>(target);
    movie->ParseTags(true, false);
  }
  template <class T>
  std::vector<T*> Tags() const {
    std::vector<T*> out;
    for (const auto& info : movie->TagList)
      if (auto* t = dynamic_cast<T*>(info->TagObject())) out.push_back(t);
    return out;
  }
  std::map<uint16_t, TSWFPlaceObject2*> Placements() const {
    std::map<uint16_t, TSWFPlaceObject2*> byDepth;
    for (auto* p : Tags<TSWFPlaceObject2>()) byDepth[p->Depth] = p;
    return byDepth;
  }
  std::vector<uint16_t> Depths() const {
    std::vector<uint16_t> d;
    for (auto& [depth, p] : Placements()) d.push_back(depth);
    return d;
  }
  Names Exports() const {
    Names names;
    for (auto* e : Tags<TSWFExportAssets>())
      for (const auto& a : e->Assets) names.push_back(a.Name);
    return names;
  }
};

TEST_F(Stage, SinglePlayerCarriesTheSongsUnderThePlaylistNames) {
  AddSong("a b.mp3", 1);
  AddSong("c.wav", 2);
  s.PlayerPosition = TPlayerPosition::Custom;
  s.Left = 30;
  s.Top = 40;
  s.XScale = 200;
  s.YScale = 50;
  s.Rotation = 90;
  s.FlashVersionIndex = 1;
  Build(true);
  EXPECT_EQ(movie->Version(), 7);
  EXPECT_TRUE(movie->Compressed());
  EXPECT_EQ(movie->FrameRect(), (TRect{0, 0, 10000, 8000}));
  EXPECT_EQ(movie->FrameCount(), 1);
  EXPECT_TRUE(Tags<TSWFSetBackgroundColor>().empty());
  EXPECT_EQ(Depths(), (std::vector<uint16_t>{3, 999}));

  // The exports name sprites of the movie and are exactly the inner playlist's file values.
  EXPECT_EQ(Exports(), (Names{"a b.swf", "c.swf"}));
  const std::string xml = BuildTrackListXml(songs.get(), host);
  EXPECT_NE(xml.find("<file>a b.swf</file>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<file>c.swf</file>"), std::string::npos) << xml;
  std::vector<uint16_t> sprites;
  for (const auto& info : movie->TagList)
    if (info->TagCode == 39) sprites.push_back(static_cast<TSWFDefineSprite*>(info->TagObject())->SpriteID);
  for (auto* e : Tags<TSWFExportAssets>())
    for (const auto& a : e->Assets)
      EXPECT_NE(std::find(sprites.begin(), sprites.end(), a.ID), sprites.end()) << a.Name;
  // The music sprites are not placed: only the player is.
  const uint16_t placed = Placements()[999]->CharacterId;
  for (auto* e : Tags<TSWFExportAssets>())
    for (const auto& a : e->Assets) EXPECT_NE(a.ID, placed) << a.Name;

  // Rotated by 90 degrees after the scale: x' = -0.5 y, y' = 2 x.
  const TSWFPlaceObject2* player = Placements()[999];
  ASSERT_TRUE(player->FindMatrix());
  const TSWFMatrix& m = *player->FindMatrix();
  EXPECT_EQ(m.TranslateX, 600);
  EXPECT_EQ(m.TranslateY, 800);
  EXPECT_NEAR(m.ScaleXf(), 0, 1e-3);
  EXPECT_NEAR(m.ScaleYf(), 0, 1e-3);
  EXPECT_NEAR(std::abs(Fixed16ToFloat(m.SkewX)) + std::abs(Fixed16ToFloat(m.SkewY)), 2.5, 1e-3);
  EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
  EXPECT_EQ(user.Files(), Names{});  // the working movie is gone
}

TEST_F(Stage, UnreadableSongIsReportedAndLeftOut) {
  AddSong("a.mp3", 1);
  std::ofstream(dir / "bad.mp3") << "not audio";
  AddSong("bad.mp3", 2, false);
  AddSong("gone.wav", 3, false);
  Build(true);
  EXPECT_EQ(Exports(), (Names{"a.swf"}));
  ASSERT_EQ(host.Errors.size(), 2u) << ::testing::PrintToString(host.Errors);
  for (const auto& e : host.Errors) EXPECT_EQ(e.rfind("Error: ", 0), 0u) << e;
}

TEST_F(Stage, ReencodedSongReplacesTheOriginal) {
  AddSong("long.wav", 1);
  // The run's re-encoded copy of song 1 lies in the folder; the stage takes it.
  MakeSong44(dir / "encode1.mp3", 3);
  Build(true);
  ASSERT_EQ(Exports(), (Names{"long.swf"}));
  uint32_t frames = 0;
  for (const auto& info : movie->TagList)
    if (info->TagCode == 39) frames = std::max<uint32_t>(frames, static_cast<TSWFDefineSprite*>(info->TagObject())->FrameCount);
  // 3 s at 24 frames per second, not the 1 s original.
  EXPECT_NEAR(frames, 72, 3);
}

TEST_F(Stage, PlayerCenteredAndTransparentBackground) {
  s.PlayerPosition = TPlayerPosition::Center;
  s.SolidBackground = 0;
  Build(false);
  EXPECT_EQ(Exports(), Names{});
  // (500 - 360) / 2, (400 - 60) / 2 in twips.
  const TSWFPlaceObject2* player = Placements()[999];
  ASSERT_TRUE(player->FindMatrix());
  EXPECT_EQ(player->FindMatrix()->TranslateX, 70 * 20);
  EXPECT_EQ(player->FindMatrix()->TranslateY, 170 * 20);
  s.DefaultSize = true;
  Build(false);
  const TSWFPlaceObject2* plain = Placements()[999];
  EXPECT_TRUE(!plain->FindMatrix() || (plain->FindMatrix()->TranslateX == 0 &&
                                       !plain->FindMatrix()->HasScale));
}

TEST_F(Stage, PreloaderFrameComesFirst) {
  auto names = ListFolderEntries(Bundled().Preloader);
  ASSERT_FALSE(names.empty());
  TPreloaderParams pre;
  ASSERT_TRUE(ReadPreloaderParams(Bundled().Preloader + names.front(), pre));
  s.PreloaderOn = true;
  s.PreloaderName = names.front();
  s.Preloader = &pre;
  Build(false);
  EXPECT_EQ(movie->FrameCount(), 2);
  std::vector<uint16_t> frame1;
  for (const auto& info : movie->TagList)
    if (info->FrameNumber == 1 && info->TagCode == 26)
      frame1.push_back(static_cast<TSWFPlaceObject2*>(info->TagObject())->Depth);
  EXPECT_EQ(frame1, (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(Tags<TSWFRemoveObject2>().size(), 2u);
}

}  // namespace
}  // namespace tw::test
