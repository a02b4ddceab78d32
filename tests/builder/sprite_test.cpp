// Placements and sprites: the transform a placement writes, PlaceObject2 against PlaceObject3,
// clip actions and the versions they need, and sprites with their own timelines, read back by
// our reader from the movie the builder saved.
#include <gtest/gtest.h>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "swf/action_tags.h"
#include "swf/display_tags.h"
#include "swf/filters.h"
#include "swf/sprite.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

// A 400 x 300 pixel movie of the version.
struct TPixelMovie : TFlashMovie {
  explicit TPixelMovie(uint8_t version = 6) : TFlashMovie(0, 0, 400, 300, 12, TSystemCoord::Pix) {
    SetVersion(version);
  }
};

// The tag codes of a parsed tag list, in order.
std::string Codes(const std::vector<std::unique_ptr<TSWFTagInfo>>& list) {
  std::string out;
  for (const auto& t : list) out += (out.empty() ? "" : " ") + std::to_string(t->TagCode);
  return out;
}

template <class T>
T* Find(TSWFStreamReader& r, uint16_t code, size_t nth = 0) {
  for (const auto& t : r.TagList)
    if (t->TagCode == code && nth-- == 0) return dynamic_cast<T*>(t->TagObject());
  return nullptr;
}

TEST(PlaceObject, Transforms) {
  TPixelMovie movie;
  TFlashShape& shape = movie.AddRectangle(0, 0, 10, 10);

  TFlashPlaceObject& untouched = movie.PlaceObject(shape, 1);
  untouched.SetTranslate(0, 0);
  EXPECT_FALSE(untouched.PlaceTag().HasMatrix);
  untouched.SetScale(1, 1);
  untouched.SetTranslate(0, 0);
  EXPECT_TRUE(untouched.PlaceTag().HasMatrix);
  EXPECT_EQ(untouched.PlaceTag().Matrix().TranslateX, 0);

  TFlashPlaceObject& turned = movie.PlaceObject(shape, 2);
  turned.SetPosition(12, 7);
  turned.SetScale(0.5, 0.5);
  turned.SetRotate(90);
  const TSWFMatrix& m = turned.PlaceTag().Matrix();
  EXPECT_EQ(m.TranslateX, 240);
  EXPECT_EQ(m.TranslateY, 140);
  EXPECT_NEAR(m.ScaleXf(), 0, 1e-4);
  EXPECT_NEAR(m.ScaleYf(), 0, 1e-4);
  EXPECT_NEAR(m.SkewXf(), 0.5, 1e-4);
  EXPECT_NEAR(m.SkewYf(), -0.5, 1e-4);

  // The origin of the placed object joins a translation, not a position.
  shape.OriginX = 3;
  TFlashPlaceObject& origin = movie.PlaceObject(shape, 3);
  origin.SetTranslate(1, 1);
  EXPECT_EQ(origin.PlaceTag().Matrix().TranslateX, 80);
  origin.SetPosition(1, 1);
  EXPECT_EQ(origin.PlaceTag().Matrix().TranslateX, 20);
  origin.Name("clip");
  origin.ClipDepth(9);
  origin.Ratio(7);
  origin.ColorTransform().SetAddR(10);
  EXPECT_EQ(movie.MaxDepth, 3);

  auto read = Reread(movie);
  auto* p = Find<TSWFPlaceObject2>(*read, 26, 1);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Depth, 2);
  EXPECT_EQ(p->CharacterId, shape.CharacterId());
  ASSERT_TRUE(p->FindMatrix());
  EXPECT_EQ(p->FindMatrix()->TranslateX, 240);
  EXPECT_NEAR(p->FindMatrix()->SkewXf(), 0.5, 1e-4);
  p = Find<TSWFPlaceObject2>(*read, 26, 2);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Name, "clip");
  EXPECT_EQ(p->ClipDepth, 9);
  EXPECT_EQ(p->Ratio, 7);
  ASSERT_TRUE(p->FindColorTransform());
  EXPECT_EQ(read->Version(), 6);
}

TEST(PlaceObject, VersionsAndTheTagWritten) {
  struct Case {
    const char* name;
    std::function<void(TFlashPlaceObject&)> set;
    uint16_t code;
    int minVersion;
  };
  const Case cases[] = {
      {"plain", [](TFlashPlaceObject&) {}, 26, 3},
      {"normal blend mode", [](TFlashPlaceObject& p) { p.BlendMode(1); }, 26, 3},
      {"multiply", [](TFlashPlaceObject& p) { p.BlendMode(3); }, 70, 8},
      {"a filter", [](TFlashPlaceObject& p) { p.Filters().Add<TSWFBlurFilter>(); }, 70, 8},
      {"bitmap caching", [](TFlashPlaceObject& p) { p.CacheAsBitmap(true); }, 70, 8},
      {"on release", [](TFlashPlaceObject& p) { p.OnRelease()->Stop(); }, 26, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPixelMovie movie(5);
    TFlashSprite& sprite = movie.AddSprite();
    TFlashPlaceObject& place = movie.PlaceObject(sprite, 1);
    c.set(place);
    EXPECT_EQ(place.MinVersion(), c.minVersion);
    auto read = Reread(movie);
    EXPECT_EQ(Codes(read->TagList), "39 " + std::to_string(c.code) + " 1 0");
    EXPECT_EQ(read->Version(), std::max(5, c.minVersion));
  }
}

TEST(PlaceObject, ClipActionsOfPlacedSprites) {
  TPixelMovie movie(6);
  TFlashShape& shape = movie.AddRectangle(0, 0, 10, 10);
  TFlashPlaceObject& shapePlace = movie.PlaceObject(shape, 1);
  EXPECT_EQ(shapePlace.OnRelease(), nullptr);
  EXPECT_EQ(shapePlace.FindClipAction(ceRelease, true), nullptr);

  TFlashSprite& sprite = movie.AddSprite();
  TFlashPlaceObject& place = movie.PlaceObject(sprite, 2);
  TFlashActionScript* script = place.OnRelease();
  ASSERT_TRUE(script);
  script->Stop();
  EXPECT_TRUE(place.PlaceTag().HasClipActions);
  EXPECT_EQ(place.OnRelease(), script);  // the same record again
  ASSERT_TRUE(place.CompileClipActions("onClipEvent(enterFrame) { stop(); }\non(press, rollOver) { play(); }"))
      << movie.ErrorText();
  EXPECT_FALSE(place.CompileClipActions("onClipEvent(nonsense) { }"));
  EXPECT_NE(movie.ErrorText().find("nonsense"), std::string::npos);
  EXPECT_EQ(place.MinVersion(), 5);

  auto read = Reread(movie);
  auto* p = Find<TSWFPlaceObject2>(*read, 26, 1);
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->FindClipActions());
  const TSWFClipActions& actions = *p->FindClipActions();
  ASSERT_EQ(actions.Count(), 3u);
  EXPECT_EQ(actions.Records[0]->EventFlags, uint32_t{ceRelease});
  EXPECT_EQ(actions.Records[1]->EventFlags, uint32_t{ceEnterFrame});
  EXPECT_EQ(actions.Records[2]->EventFlags, uint32_t{cePress | ceRollOver});
  // Each handler's body went through the compiler: stop (07), then play (06).
  for (size_t i = 0; i < 3; ++i) {
    const TSWFActionList& list = place.PlaceTag().FindClipActions()->Records[i]->Actions;
    std::string codes;
    for (size_t k = 0; k < list.Count(); ++k)
      if (list.Action(k).ActionCode < 0xF0) codes += std::to_string(list.Action(k).ActionCode) + " ";
    EXPECT_EQ(codes, i == 2 ? "6 " : "7 ");
  }
}

TEST(Sprite, TimelineFramesAndOrder) {
  TPixelMovie movie(6);
  TFlashSprite& empty = movie.AddSprite();
  TFlashSprite& sprite = movie.AddSprite();
  // A shape made after the sprite is moved in front of it when the sprite places it.
  TFlashShape& shape = movie.AddRectangle(0, 0, 10, 10);
  sprite.PlaceObject(shape, 4).SetPosition(1, 2);
  EXPECT_EQ(movie.ObjectList[1].get(), &shape);
  EXPECT_EQ(movie.ObjectList[2].get(), &sprite);
  sprite.FrameActions().Stop();
  sprite.ShowFrame();
  sprite.RemoveObject(4, &shape);
  sprite.ShowFrame(2);
  EXPECT_EQ(sprite.FrameCount(), 3);
  EXPECT_EQ(sprite.CurrentFrameIndex, 2);
  EXPECT_EQ(sprite.MaxDepth, 4);
  sprite.InitActions().Play();
  movie.PlaceObject(sprite, 1);

  TFlashSprite& ended = movie.AddSprite();
  ended.ShowFrame();
  ended.AddObject(std::make_unique<TSWFEnd>());

  auto read = Reread(movie);
  EXPECT_EQ(Codes(read->TagList), "39 22 39 59 26 39 1 0");
  auto* first = Find<TSWFDefineSprite>(*read, 39, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->SpriteID, empty.CharacterId());
  EXPECT_EQ(first->FrameCount, 1);
  EXPECT_EQ(Codes(read->TagList[0]->SubTags), "1 0");
  auto* second = Find<TSWFDefineSprite>(*read, 39, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->FrameCount, 3);
  EXPECT_EQ(Codes(read->TagList[2]->SubTags), "26 12 1 5 1 1 0");
  auto* init = Find<TSWFDoInitAction>(*read, 59);
  ASSERT_TRUE(init);
  EXPECT_EQ(init->SpriteID, sprite.CharacterId());
  // One End code only, though the list ends with an End tag.
  EXPECT_EQ(Codes(read->TagList[5]->SubTags), "1 0");
  EXPECT_EQ(read->TagList[5]->TagLength, 4u + 2 + 2);
  EXPECT_GE(read->Version(), 6);

  // Masking: a new sprite with the mask clipping the visual.
  TPixelMovie masked(6);
  TFlashShape& visual = masked.AddRectangle(0, 0, 10, 10);
  TFlashShape& mask = masked.AddEllipse(0, 0, 10, 10);
  TFlashSprite& holder = masked.AddSprite();
  TFlashPlaceObject& place = holder.PlaceMasked(visual, mask, 3);
  ASSERT_EQ(masked.Sprites.Count(), 2u);
  TFlashSprite* inner = masked.Sprites[1];
  EXPECT_EQ(place.PlacedCharacterId(), inner->CharacterId());
  ASSERT_EQ(inner->ObjectList.size(), 2u);
  auto& maskPlace = static_cast<TFlashPlaceObject&>(*inner->ObjectList[0]);
  EXPECT_EQ(maskPlace.PlacedCharacterId(), mask.CharacterId());
  EXPECT_EQ(maskPlace.PlaceTag().ClipDepth, 2);
  EXPECT_EQ(static_cast<TFlashPlaceObject&>(*inner->ObjectList[1]).Depth(), 2);
  // Every character is defined before the sprite that shows it.
  auto reread = Reread(masked);
  std::vector<uint16_t> defined;
  for (const auto& t : reread->TagList) {
    if (auto* s = dynamic_cast<TSWFDefineSprite*>(t->TagObject())) {
      for (const auto& inside : t->SubTags)
        if (auto* p = dynamic_cast<TSWFPlaceObject2*>(inside->TagObject())) {
          EXPECT_NE(std::find(defined.begin(), defined.end(), p->CharacterId), defined.end()) << p->CharacterId;
        }
      defined.push_back(s->SpriteID);
    } else {
      t->TagObject()->VisitDefinedIDs([&](uint16_t& id) { defined.push_back(id); });
    }
  }
  EXPECT_EQ(defined.size(), 4u);
}

TEST(Sprite, CopiesAreDeep) {
  TPixelMovie movie(6);
  TFlashShape& shape = movie.AddRectangle(0, 0, 10, 10);
  TFlashSprite& sprite = movie.AddSprite();
  sprite.PlaceObject(shape, 1).SetPosition(5, 5);
  sprite.ShowFrame();
  TFlashSprite copy(&movie);
  copy.Assign(sprite);
  ASSERT_EQ(copy.ObjectList.size(), 2u);
  auto& place = static_cast<TFlashPlaceObject&>(*copy.ObjectList[0]);
  EXPECT_NE(&place, sprite.ObjectList[0].get());
  place.SetPosition(9, 9);
  EXPECT_EQ(static_cast<TFlashPlaceObject&>(*sprite.ObjectList[0]).PlaceTag().Matrix().TranslateX, 100);
  EXPECT_EQ(copy.FrameCount(), 1);
}

}  // namespace
}  // namespace tw::builder
