// Embedded movies: a small movie made by the builder and corpus movies embedded in every mode,
// renumbered and read back by our reader without id clashes; fonts renamed with a fixed seed.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/shape_tags.h"
#include "swf/sprite.h"
#include "swf/text_tags.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

std::string Codes(const std::vector<std::unique_ptr<TSWFTagInfo>>& list) {
  std::string out;
  for (const auto& t : list) out += (out.empty() ? "" : " ") + std::to_string(t->TagCode);
  return out;
}

uint16_t DefinedId(const TSWFTagInfo& info) {
  uint16_t id = 0;
  if (info.TagObject()) info.TagObject()->VisitDefinedIDs([&](uint16_t& v) { id = v; });
  return id;
}

// A version 8 movie with a background, file attributes, shapes 1 and 2, shape 2 placed in its
// only frame.
Bytes SmallMovie() {
  TFlashMovie movie(0, 0, 100, 100, 12, TSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BgColor() = {1, 2, 3};
  auto attributes = std::make_unique<TSWFFileAttributes>();
  movie.AddObject(std::move(attributes));
  movie.AddRectangle(0, 0, 10, 10).SetSolidColor(TSWFRGB{255, 0, 0});
  TFlashShape& second = movie.AddRectangle(0, 0, 20, 20);
  second.SetSolidColor(TSWFRGB{0, 255, 0});
  movie.PlaceObject(second, 1);
  movie.ShowFrame();
  movie.BuildBody();
  TMemoryStream out;
  movie.SaveToStream(out);
  return Bytes(out.Bytes().begin(), out.Bytes().end());
}

// A version 6 pixel movie whose next id is given.
struct THost : TFlashMovie {
  explicit THost(uint16_t currentId) : TFlashMovie(0, 0, 400, 300, 12, TSystemCoord::Pix) {
    SetVersion(6);
    CurrentID = currentId;
  }
};

TEST(ExternalMovie, AsASpriteRenumbered) {
  const Bytes small = SmallMovie();
  THost host(5);
  TFlashExternalMovie& external = host.AddExternalMovie(small, emSprite, true);
  EXPECT_EQ(external.CharacterId(), 5);
  ASSERT_TRUE(external.Sprite());
  EXPECT_EQ(external.Sprite()->CharacterId(), 5);
  EXPECT_EQ(external.DefinitionCount(), 2);
  EXPECT_EQ(host.CurrentID, 9);
  EXPECT_EQ(host.Sprites.Last(), external.Sprite());
  EXPECT_EQ(external.Reader().Width(), 2000);
  EXPECT_EQ(external.Reader().Version(), 8);
  host.PlaceObject(*external.Sprite(), 1);

  auto read = Reread(host);
  // Background, file attributes and the End tag of the embedded movie stay out.
  EXPECT_EQ(Codes(read->TagList), "22 22 39 26 1 0");
  EXPECT_EQ(DefinedId(*read->TagList[0]), 6);
  EXPECT_EQ(DefinedId(*read->TagList[1]), 7);
  auto* sprite = dynamic_cast<TSWFDefineSprite*>(read->TagList[2]->TagObject());
  ASSERT_TRUE(sprite);
  EXPECT_EQ(sprite->SpriteID, 5);
  EXPECT_EQ(sprite->FrameCount, 1);
  EXPECT_EQ(Codes(read->TagList[2]->SubTags), "26 1 0");
  auto* inner = dynamic_cast<TSWFPlaceObject2*>(read->TagList[2]->SubTags[0]->TagObject());
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->CharacterId, 7);
  // Embedding never raises the host's version.
  EXPECT_EQ(read->Version(), 6);

  // Written again: the same bytes (the sprite is rebuilt each time).
  const Bytes first(host.BodyStream().Bytes().begin(), host.BodyStream().Bytes().end());
  host.BuildBody();
  EXPECT_EQ(ToHex(host.BodyStream().Bytes()), ToHex(first));
}

TEST(ExternalMovie, OtherModes) {
  const Bytes small = SmallMovie();
  struct Case {
    uint8_t mode;
    const char* codes;
    uint16_t firstId, currentId;
    int frames;
  };
  const Case cases[] = {
      {emWholeMovie, "22 22 26 1 0", 5, 8, 1},
      {emDefinitions, "22 22 0", 5, 8, 0},  // nothing placed: no frame
      {emNoFrames, "22 22 26 1 0", 5, 8, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.mode));
    THost host(5);
    TFlashExternalMovie& external = host.AddExternalMovie(small, c.mode, true);
    EXPECT_EQ(external.Sprite(), nullptr);
    EXPECT_EQ(host.CurrentID, c.currentId);
    auto read = Reread(host);
    EXPECT_EQ(Codes(read->TagList), c.codes);
    EXPECT_EQ(DefinedId(*read->TagList[0]), c.firstId);
    EXPECT_EQ(read->FrameCount(), c.frames);
    if (c.mode != emDefinitions) {
      auto* place = dynamic_cast<TSWFPlaceObject2*>(read->TagList[2]->TagObject());
      ASSERT_TRUE(place);
      EXPECT_EQ(place->CharacterId, 6);
    }
  }
  // Frames of a whole movie merge with the host's own.
  THost host(1);
  host.AddExternalMovie(small, emWholeMovie, true);
  host.ShowFrame();
  EXPECT_EQ(Reread(host)->FrameCount(), 2);
}

// Tags that fail to parse are kept raw, and are sorted by the code they carry, as parsed ones:
// a damaged background is dropped, a damaged placement stays off the host's timeline in
// definitions mode, and a damaged definition is renumbered with the rest.
TEST(ExternalMovie, DamagedTagsFollowTheirOwnCode) {
  TBasedSWFStream damaged(0, 0, 100, 100, 12, TSystemCoord::Pix);
  damaged.SetVersion(6);
  damaged.SetFrameCount(1);
  // a background of one byte, a shape of only its id 1, a placement of only its flags, a
  // ShowFrame, an End
  damaged.BodyStream().WriteBuffer(Hex("41 02 FF  82 00 01 00  81 06 02  40 00  00 00"));
  TMemoryStream file;
  damaged.SaveToStream(file);
  const Bytes bytes(file.Bytes().begin(), file.Bytes().end());

  THost host(5);
  host.AddExternalMovie(bytes, emDefinitions, true);
  auto read = Reread(host);
  ASSERT_EQ(Codes(read->TagList), "240 0");
  auto* shape = dynamic_cast<TSWFByteCodeTag*>(read->TagList[0]->TagObject());
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->RawTagID, 2);
  EXPECT_EQ(DefinedId(*read->TagList[0]), 5);

  // The reader moves a raw definition to the front as it moves a parsed one.
  TSWFStreamReader reader(bytes);
  reader.ParseTags(true, false);
  reader.MoveResources(0, 1, 1);
  ASSERT_EQ(reader.TagList.size(), 5u);
}

TEST(ExternalMovie, NotAMovie) {
  THost host(3);
  const Bytes junk = Hex("00 01 02 03 04 05 06 07 08 09");
  EXPECT_THROW(host.AddExternalMovie(junk, emSprite, true), ESWFError);
  EXPECT_EQ(host.CurrentID, 3);
  EXPECT_TRUE(host.ObjectList.empty());
  EXPECT_THROW(host.AddExternalMovie(std::filesystem::path("/nonexistent/x.swf"), emSprite, true), std::exception);
}

TEST(ExternalMovie, FontsGetARepeatablePrefix) {
  const std::string kVerdana("Verdana\0", 8);
  const auto file = CorpusFile("swf", "swfcrate__DefineFont2-CS6.swf");
  std::string bodies[2];
  for (int round = 0; round < 2; ++round) {
    THost host(1);
    TFlashExternalMovie& external = host.AddExternalMovie(file, emSprite, true);
    external.SetFontPrefixSeed(1234);
    auto read = Reread(host);
    bodies[round] = ToHex(host.BodyStream().Bytes());
    const std::string prefix = external.FontPrefix();
    ASSERT_FALSE(prefix.empty());
    ASSERT_LE(std::stoi(prefix), 65534);
    TSWFDefineFont2* font = nullptr;
    TSWFDefineEditText* edit = nullptr;
    for (const auto& t : read->TagList) {
      if (!font) font = dynamic_cast<TSWFDefineFont2*>(t->TagObject());
      if (!edit) edit = dynamic_cast<TSWFDefineEditText*>(t->TagObject());
    }
    ASSERT_TRUE(font && edit);
    // The name keeps the NUL it had in the file.
    EXPECT_EQ(font->FontName, prefix + kVerdana);
    EXPECT_NE(edit->InitialText.find("face=\"" + prefix + "Verdana\""), std::string::npos) << edit->InitialText;
    // A second write starts from the names as read: one prefix, not two.
    external.SetFontPrefixSeed(99);
    host.BuildBody();
    const std::string second = external.FontPrefix();
    TMemoryStream out;
    host.SaveToStream(out);
    TSWFStreamReader again(out.Bytes());
    again.ParseTags(true, false);
    for (const auto& t : again.TagList) {
      if (auto* f = dynamic_cast<TSWFDefineFont2*>(t->TagObject())) {
        EXPECT_EQ(f->FontName, second + kVerdana);
      }
    }
  }
  EXPECT_EQ(bodies[0], bodies[1]);

  // Without renaming the font keeps its name.
  THost host(1);
  TFlashExternalMovie& external = host.AddExternalMovie(file, emSprite, true);
  external.RenameFonts = false;
  auto read = Reread(host);
  for (const auto& t : read->TagList) {
    if (auto* f = dynamic_cast<TSWFDefineFont2*>(t->TagObject())) {
      EXPECT_EQ(f->FontName, kVerdana);
    }
  }
}

// Corpus movies embedded as sprites between characters of the host: every id is defined once,
// and every reference inside resolves as well as it did in the movie alone.
TEST(ExternalMovie, CorpusMoviesEmbedWithoutIdClashes) {
  size_t embedded = 0;
  for (const auto& file : CorpusMovies()) {
    TSWFStreamReader alone(file);
    if (!alone.IsSWF) continue;
    try {
      alone.ParseTags(true, false);
    } catch (const std::exception&) {
      continue;
    }
    std::multiset<uint16_t> ownIds;
    for (const auto& t : alone.TagList)
      if (t->TagObject()) t->TagObject()->VisitDefinedIDs([&](uint16_t& id) { ownIds.insert(id); });
    if (ownIds.empty() || std::set<uint16_t>(ownIds.begin(), ownIds.end()).size() != ownIds.size()) continue;
    SCOPED_TRACE(file.filename().string());

    THost host(1);
    host.AddRectangle(0, 0, 10, 10);
    host.AddRectangle(0, 0, 20, 20);
    TFlashExternalMovie& external = host.AddExternalMovie(file, emSprite, true);
    TFlashShape& after = host.AddRectangle(0, 0, 30, 30);
    host.PlaceObject(*external.Sprite(), 1);
    host.PlaceObject(after, 2);
    std::unique_ptr<TSWFStreamReader> read;
    ASSERT_NO_THROW(read = Reread(host));

    std::map<uint16_t, int> defined;
    for (const auto& t : read->TagList)
      if (t->TagObject()) t->TagObject()->VisitDefinedIDs([&](uint16_t& id) { ++defined[id]; });
    for (const auto& [id, n] : defined) EXPECT_EQ(n, 1) << "id " << id << " defined " << n << " times";
    EXPECT_EQ(defined.size(), ownIds.size() + 4);
    EXPECT_EQ(defined.count(external.CharacterId()), 1u);
    EXPECT_LT(after.CharacterId(), host.CurrentID);
    EXPECT_GT(after.CharacterId(), external.CharacterId() + external.DefinitionCount());

    // Placements inside the sprite refer to defined characters as often as they did alone.
    auto unresolved = [](const std::vector<std::unique_ptr<TSWFTagInfo>>& tags, const auto& isDefined) {
      int n = 0;
      for (const auto& t : tags)
        if (auto* p = dynamic_cast<TSWFBasedPlaceObject*>(t->TagObject()); p && p->CharacterId && !isDefined(p->CharacterId)) ++n;
      return n;
    };
    const auto sprite = std::find_if(read->TagList.begin(), read->TagList.end(), [&](const auto& t) {
      return t->TagCode == 39 && DefinedId(*t) == external.CharacterId();
    });
    ASSERT_NE(sprite, read->TagList.end());
    EXPECT_EQ(unresolved((*sprite)->SubTags, [&](uint16_t id) { return defined.count(id) > 0; }),
              unresolved(alone.TagList, [&](uint16_t id) { return ownIds.count(id) > 0; }));
    ++embedded;
  }
  EXPECT_GT(embedded, 200u);
}

}  // namespace
}  // namespace tw::builder
