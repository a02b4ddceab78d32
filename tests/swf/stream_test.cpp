// The container: header, compression, parsing into tag infos, rebuilding, moving resources,
// renumbering ids.
#include <random>

#include "support/testing.h"
#include "swf/control_tags.h"
#include "swf/display_tags.h"
#include "swf/sprite.h"
#include "swf/stream.h"
#include "util/files.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// A movie of 550 x 400 pixels at 12 fps whose body is the given tag bytes.
Bytes Movie(const Bytes& body, bool compressed = false, uint8_t version = 6) {
  TBasedSWFStream movie(0, 0, 550, 400, 12, TSystemCoord::Pix);
  movie.SetVersion(version);
  movie.SetFrameCount(1);
  movie.SetCompressed(compressed);
  movie.BodyStream().WriteBuffer(body);
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.Release();
}

// Bytes that zlib cannot shrink, so that its output buffer fills and reports progress.
Bytes Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A whole raw tag of a code with the given body.
Bytes RawTag(uint16_t code, const Bytes& body) {
  TSWFByteCodeTag t;
  t.RawTagID = code;
  t.Data = body;
  return WriteWhole(t);
}

const Bytes kShowFrame = Hex("40 00");
const Bytes kEnd = Hex("00 00");

TEST(Stream, SmallestMovieIsExact) {
  EXPECT_EQ(ToHex(Movie(kEnd)),
            "46 57 53 06 17 00 00 00 78 00 05 5F 00 00 0F A0 00 00 0C 01 00 00 00");
}

// The tags are written for the header's version before compression is chosen, and the player
// runs a movie's scripts by its version: compressing never changes the version.
TEST(Stream, CompressionKeepsTheVersion) {
  TBasedSWFStream movie;
  EXPECT_EQ(movie.Version(), 5);
  movie.SetCompressed(true);
  EXPECT_EQ(movie.Version(), 5);
  movie.SetVersion(4);
  EXPECT_EQ(movie.Version(), 4);
}

// A frame rectangle whose maximum lies below its minimum is kept as the file has it: a copy
// must not change the stage.
TEST(Stream, ASwappedFrameRectangleIsKept) {
  struct Row {
    int32_t xMin, xMax, yMin, yMax;
  };
  // x swapped, y swapped, both
  const Row rows[] = {{200, 0, 0, 100}, {0, 300, 100, -20}, {40, 20, 60, 10}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.xMin);
    // The record's writer takes the fields in the file's order; the stream holds a TRect.
    const TRect rect{row.xMin, row.xMax, row.yMin, row.yMax};
    const TRect held{row.xMin, row.yMin, row.xMax, row.yMax};
    TMemoryStream head;
    TBitsEngine be(head);
    be.WriteChars("FWS", 3);
    be.WriteByte(6);
    be.WriteDWord(uint32_t{0});
    be.WriteRect(rect);
    be.WriteWord(uint16_t{12 << 8});
    be.WriteWord(uint16_t{1});
    Bytes file = Concat({Bytes(head.Bytes().begin(), head.Bytes().end()), kEnd});
    file[4] = static_cast<uint8_t>(file.size());
    TSWFStreamReader reader(file);
    EXPECT_EQ(reader.FrameRect(), held);
    reader.ParseTags(true, false);
    reader.BuildBody();
    TMemoryStream out;
    reader.SaveToStream(out);
    EXPECT_EQ(ToHex(out.Bytes()), ToHex(file));
  }
}

TEST(Stream, HeaderValuesAndUnits) {
  TBasedSWFStream pix(0, 0, 550, 400, 29.97, TSystemCoord::Pix);
  EXPECT_EQ(pix.FrameRect(), (TRect{0, 0, 11000, 8000}));
  EXPECT_EQ(pix.Width(), 550);
  EXPECT_EQ(pix.Height(), 400);
  EXPECT_EQ(pix.FrameRate(), 0x1DF8);
  EXPECT_EQ(pix.HeaderSize(), 21u);
  TBasedSWFStream twips(0, 0, 550, 400, 12, TSystemCoord::Twips);
  EXPECT_EQ(twips.Width(), 550);
  EXPECT_EQ(twips.FrameRect().Right, 550);
  pix.SetMovieRect({10, 10, 20, 30});
  EXPECT_EQ(pix.FrameRect(), (TRect{200, 200, 400, 600}));
}

TEST(Stream, CompressedMovieReadsBack) {
  const Bytes body = Concat({RawTag(3, Bytes(5000, 7)), kShowFrame, kEnd});
  const Bytes file = Movie(body, true, 5);
  ASSERT_EQ(std::string(file.begin(), file.begin() + 3), "CWS");
  EXPECT_EQ(file[3], 5);
  TSWFStreamReader reader(file);
  ASSERT_TRUE(reader.IsSWF);
  EXPECT_TRUE(reader.Compressed());
  EXPECT_EQ(reader.FileSize(), body.size() + 21);
  EXPECT_EQ(reader.FrameRect(), (TRect{0, 0, 11000, 8000}));
  EXPECT_EQ(reader.FrameRate(), 0x0C00);
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body));
}

// This corpus movie is "CWS" of version 5; its parseInt results depend on that version (octal
// strings), so a copy written as version 6 traces other numbers in the player.
TEST(Stream, CompressedMovieOfAnOlderVersionKeepsItsVersion) {
  const auto source = ReadWholeFile(CorpusFile("swf", "avm1__swf5_global_funcs__test.swf"));
  ASSERT_EQ(ToHex({source.data(), 4}), "43 57 53 05");
  TSWFStreamReader reader(source);
  reader.ParseTags(true, true);
  reader.BuildBody();
  TMemoryStream out;
  reader.SaveToStream(out);
  EXPECT_EQ(ToHex(out.Bytes().first(4)), "43 57 53 05");
  TSWFStreamReader again(out.Bytes());
  EXPECT_EQ(again.Version(), 5);
  EXPECT_EQ(ToHex(again.BodyStream().Bytes()), ToHex(reader.BodyStream().Bytes()));

  // A plain version 5 movie compressed after its body was built (as `swf copy --compress` does)
  // stays a version 5 movie: its clip-event flags were written 2 bytes wide, as 5 reads them.
  const auto plainFile = ReadWholeFile(CorpusFile("swf", "swfcrate__PlaceObject2-ClipActionsV5-CS6.swf"));
  ASSERT_EQ(ToHex({plainFile.data(), 4}), "46 57 53 05");
  TSWFStreamReader plain(plainFile);
  plain.ParseTags(true, true);
  plain.BuildBody();
  plain.SetCompressed(true);
  TMemoryStream compressed;
  plain.SaveToStream(compressed);
  EXPECT_EQ(ToHex(compressed.Bytes().first(4)), "43 57 53 05");
  TSWFStreamReader back(compressed.Bytes());
  EXPECT_EQ(back.Version(), 5);
  EXPECT_EQ(ToHex(back.BodyStream().Bytes()), ToHex(plain.BodyStream().Bytes()));
  back.ParseTags(true, true);
  for (const auto& info : back.TagList) EXPECT_NE(info->TagCode, kByteCodeTagID) << "read back whole";
}

TEST(Stream, ProgressIsReportedForEachKind) {
  Bytes body;
  for (int i = 0; i < 200; ++i) {
    const Bytes tag = RawTag(3, Noise(1000, static_cast<uint32_t>(i)));
    body.insert(body.end(), tag.begin(), tag.end());
  }
  TSWFStreamReader reader(Movie(Concat({body, kEnd})));
  std::vector<std::pair<int, int>> seen;
  reader.OnProgress = [&](TBasedSWFStream&, int percent, int kind) { seen.emplace_back(kind, percent); };
  reader.ParseTags(true, false);
  reader.BuildBody();
  reader.SetCompressed(true);
  TMemoryStream out;
  reader.SaveToStream(out);
  for (int kind : {0, 1, 2}) {
    SCOPED_TRACE(kind);
    std::vector<int> percents;
    for (auto [k, p] : seen)
      if (k == kind) percents.push_back(p);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LE(percents.back(), 100);
    EXPECT_GE(percents.back(), kind == 2 ? 50 : 100);
  }
}

TEST(Stream, NotASWFLeavesEverythingAsItWas) {
  TSWFStreamReader reader;
  for (const char* bytes : {"", "46 57 53", "5A 57 53 0A 00 00 00 00", "47 49 46 38 39 61"}) {
    reader.LoadFromStream(std::span<const uint8_t>(Hex(bytes)));
    EXPECT_FALSE(reader.IsSWF) << bytes;
    EXPECT_EQ(reader.Version(), 5);
    EXPECT_EQ(reader.BodyStream().Size(), 0u);
  }
}

TEST(Stream, ParseTagsFillsInfos) {
  const Bytes body = Concat({RawTag(3, Bytes(70, 1)), kShowFrame, RawTag(9, Hex("FF 00 00")),
                             kShowFrame, kEnd});
  TSWFStreamReader reader(Movie(body));
  reader.ParseTags(false, false);
  ASSERT_EQ(reader.TagList.size(), 5u);
  const auto& first = reader.TagInfo(0);
  EXPECT_EQ(first.TagCode, 3);
  EXPECT_TRUE(first.LongHeader);
  EXPECT_EQ(first.TagLength, 70u);
  EXPECT_EQ(first.TagOffset, 0u);
  EXPECT_EQ(first.TagObject(), nullptr);
  EXPECT_EQ(reader.TagInfo(1).FrameNumber, 1u) << "a ShowFrame belongs to the frame it ends";
  EXPECT_EQ(reader.TagInfo(2).FrameNumber, 2u);
  EXPECT_EQ(reader.TagInfo(2).TagOffset, 78u);
  EXPECT_EQ(reader.FrameEndIndex(0), 0u);
  EXPECT_EQ(reader.FrameEndIndex(2), 3u);
  EXPECT_EQ(reader.FrameEndIndex(3), 4u) << "fewer frames give the last index";

  reader.BuildBody();
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body));

  reader.ParseTags(true, false);
  auto* background = dynamic_cast<TSWFSetBackgroundColor*>(reader.TagInfo(2).TagObject());
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->Color.R, 255);
  EXPECT_TRUE(reader.TagInfo(2).OwnsObject());
}

TEST(Stream, OnParseTagChoosesWhichTagsBecomeObjects) {
  TSWFStreamReader reader(Movie(Concat({RawTag(9, Hex("01 02 03")), kShowFrame, kEnd})));
  reader.OnParseTag = [](TSWFTagInfo& info, bool& parse) { parse = info.TagCode != 9; };
  reader.ParseTags(true, false);
  EXPECT_EQ(reader.TagInfo(0).TagObject(), nullptr);
  EXPECT_NE(reader.TagInfo(1).TagObject(), nullptr);
}

TEST(Stream, FailedTagIsKeptAsRawBytes) {
  // An ExportAssets whose count the body cannot hold, between two good tags.
  const Bytes bad = RawTag(56, Hex("05 00 01 00 61 00"));
  const Bytes body = Concat({RawTag(9, Hex("01 02 03")), bad, kShowFrame, kEnd});
  TSWFStreamReader reader(Movie(body));
  reader.ParseTags(true, true);
  ASSERT_EQ(reader.TagList.size(), 4u);
  const auto& info = reader.TagInfo(1);
  EXPECT_EQ(info.TagCode, kByteCodeTagID);
  auto* raw = dynamic_cast<TSWFByteCodeTag*>(info.TagObject());
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->RawTagID, 56);
  EXPECT_EQ(raw->Text, "Stream read error");
  EXPECT_NE(dynamic_cast<TSWFShowFrame*>(reader.TagInfo(2).TagObject()), nullptr);
  reader.BuildBody();
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body));
}

TEST(Stream, UnknownCodeSurvivesTwoWrites) {
  const Bytes body = Concat({RawTag(3, Hex("0A 0B")), kEnd});
  TSWFStreamReader reader(Movie(body));
  reader.ParseTags(true, true);
  auto* raw = dynamic_cast<TSWFByteCodeTag*>(reader.TagInfo(0).TagObject());
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->Text, "Uniknow tag");
  EXPECT_EQ(reader.TagInfo(0).TagCode, 3) << "an unknown code keeps its code in the info";
  reader.BuildBody();
  reader.BuildBody();
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body));
}

TEST(Stream, SpritesListTheirTags) {
  const Bytes spriteBody = Concat({Hex("05 00 02 00"), RawTag(3, Hex("01")), kShowFrame, kShowFrame, kEnd});
  const Bytes body = Concat({RawTag(39, spriteBody), kShowFrame, kEnd});
  TSWFStreamReader reader(Movie(body));
  reader.ParseTags(true, true);
  const auto& info = reader.TagInfo(0);
  auto* sprite = dynamic_cast<TSWFDefineSprite*>(info.TagObject());
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->SpriteID, 5);
  EXPECT_EQ(sprite->FrameCount, 2);
  ASSERT_EQ(info.SubTags.size(), 4u);
  EXPECT_EQ(info.SubTags[0]->TagCode, 3);
  EXPECT_EQ(info.SubTags[0]->TagLength, 1u);
  EXPECT_FALSE(info.SubTags[0]->OwnsObject());
  EXPECT_EQ(info.SubTags[0]->TagObject(), sprite->ControlTags[0].get());
  EXPECT_EQ(info.SubTags[3]->TagCode, 0);
  reader.BuildBody();
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body)) << "no second End tag";
}

TEST(Stream, SpriteWithoutEndGetsOne) {
  TSWFDefineSprite sprite;
  sprite.SpriteID = 1;
  sprite.ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  EXPECT_EQ(ToHex(WriteBody(sprite)), "01 00 00 00 40 00 00 00");
}

// Resources (here raw DefineBits tags, code 6) in frames 2 and 3 of a four-frame movie.
Bytes FourFrames() {
  return Concat({RawTag(9, Hex("00 00 00")), kShowFrame,           // frame 1: 0, 1
                 RawTag(43, Hex("61 00")), RawTag(6, Hex("01 00")), kShowFrame,  // frame 2: 2-4
                 RawTag(6, Hex("02 00")), RawTag(14, Hex("03 00 00 00 00 00 00")), kShowFrame,  // frame 3: 5-7
                 RawTag(6, Hex("04 00")), kShowFrame, kEnd});                     // frame 4: 8-10
}

std::vector<std::string> Order(const TSWFStreamReader& reader) {
  std::vector<std::string> out;
  for (const auto& info : reader.TagList) {
    std::string s = std::to_string(info->TagCode);
    if (info->TagCode == 6 || info->TagCode == 14) {
      info->TagObject()->VisitDefinedIDs([&](uint16_t& id) { s += ":" + std::to_string(id); });
    }
    out.push_back(s);
  }
  return out;
}

TEST(Stream, MoveResourcesToAnEarlierFrame) {
  struct Case {
    const char* name;
    int to, from, last;
    std::vector<std::string> order;
  };
  // Frames count as the operation counts them: ToFrame N inserts after the N-th ShowFrame,
  // and the range runs from after the FromFrame-th to the (LastFrame + 1)-th.
  const Case cases[] = {
      {"frame 2 to the start of the movie", 0, 1, 1,
       {"6:1", "9", "1", "43", "1", "6:2", "14:3", "1", "6:4", "1", "0"}},
      {"everything after frame 1 to frame 2, -1 meaning all frames", 1, 1, -1,
       {"9", "1", "6:1", "6:2", "14:3", "6:4", "43", "1", "1", "1", "0"}},
      {"last frame 0 means the first frame of the range", 1, 2, 0,
       {"9", "1", "6:2", "14:3", "43", "6:1", "1", "1", "6:4", "1", "0"}},
      {"nothing to move when the range is empty", 3, 3, 3,
       {"9", "1", "43", "6:1", "1", "6:2", "14:3", "1", "6:4", "1", "0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFStreamReader reader(Movie(FourFrames()));
    reader.SetFrameCount(4);
    reader.ParseTags(true, false);
    reader.MoveResources(c.to, c.from, c.last);
    EXPECT_EQ(Order(reader), c.order);
  }
}

// A tag that fails to parse keeps the code it was read with for what the reader does with it.
TEST(Stream, MoveResourcesMovesARawDefinitionToo) {
  // ShowFrame, ShowFrame, a DefineBits of one byte, ShowFrame, End
  TSWFStreamReader reader(Movie(Hex("40 00  40 00  81 01 00  40 00  00 00")));
  reader.SetFrameCount(3);
  reader.ParseTags(true, false);
  ASSERT_EQ(reader.TagInfo(2).TagCode, kByteCodeTagID);
  reader.MoveResources(1, 1, -1);
  EXPECT_EQ(reader.TagInfo(1).TagCode, kByteCodeTagID) << "moved to the start of frame 2";
}

// Tags of known codes with an empty body are kept empty, on the main timeline and in sprites:
// neither a black background nor an End code appear.
TEST(Stream, EmptyTagsOfKnownCodesStayEmpty) {
  // SetBackgroundColor, DoAction, a sprite holding an empty DoAction and an empty
  // SetBackgroundColor, ShowFrame, End
  const Bytes body = Hex("40 02  00 03  CC 09 01 00 01 00 00 03 40 02 40 00 00 00  40 00  00 00");
  TSWFStreamReader reader(Movie(body));
  reader.ParseTags(true, true);
  reader.BuildBody();
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body));
}

// Ids are 16 bits: renumbering whose ids, or the next free id it returns, would pass 65535
// refuses and changes nothing.
TEST(Stream, RenumberingPast65535Refuses) {
  // two binary data definitions, ids 1 and 2
  const Bytes movie = Movie(Concat({RawTag(87, Hex("01 00 00 00 00 00")),
                                    RawTag(87, Hex("02 00 00 00 00 00")), kEnd}));
  TSWFStreamReader reader(movie);
  reader.ParseTags(true, false);
  EXPECT_EQ(reader.RenumberIDs(65533), 65535);
  TSWFStreamReader again(movie);
  again.ParseTags(true, false);
  EXPECT_THROW(again.RenumberIDs(65534), ESWFError);
  uint16_t first = 0;
  again.TagInfo(0).TagObject()->VisitDefinedIDs([&](uint16_t& id) { first = id; });
  EXPECT_EQ(first, 1);
}

TEST(Stream, RenumberIDs) {
  // Shapes 1 and 2 (raw: their id is their first field), a placement of shape 2 (a
  // PlaceObject), an export of 2, binary data 1 (a second definition of old id 1), a scaling
  // grid for 1, a font of the unknown code 91 and a symbol class naming id 0 (the main timeline).
  auto symbols = std::make_unique<TSWFSymbolClass>();
  symbols->AddAsset("Main", 0);
  symbols->AddAsset("Shape", 1);
  const Bytes body = Concat({RawTag(2, Hex("01 00 AA")), RawTag(2, Hex("02 00 BB")),
                             RawTag(4, Hex("02 00 01 00 00")), RawTag(56, Hex("01 00 02 00 73 00")),
                             RawTag(87, Hex("01 00 00 00 00 00")), RawTag(78, Hex("01 00 00")),
                             RawTag(91, Hex("07 00 00")), WriteWhole(*symbols), kShowFrame, kEnd});
  TSWFStreamReader reader(Movie(body));
  reader.ParseTags(true, false);
  EXPECT_EQ(reader.RenumberIDs(100), 104);
  auto raw = [&](size_t i) { return dynamic_cast<TSWFByteCodeTag*>(reader.TagInfo(i).TagObject()); };
  EXPECT_EQ(ToHex(raw(0)->Data), "64 00 AA");
  EXPECT_EQ(ToHex(raw(1)->Data), "65 00 BB");
  auto* place = dynamic_cast<TSWFPlaceObject*>(reader.TagInfo(2).TagObject());
  EXPECT_EQ(place->CharacterId, 101) << "the placement follows its shape";
  EXPECT_EQ(ToHex(WriteBody(*place)), "65 00 01 00 00");
  auto* exports = dynamic_cast<TSWFExportAssets*>(reader.TagInfo(3).TagObject());
  EXPECT_EQ(exports->Assets[0].ID, 101);
  auto* binary = dynamic_cast<TSWFDefineBinaryData*>(reader.TagInfo(4).TagObject());
  EXPECT_EQ(binary->ID, 102);
  auto* grid = dynamic_cast<TSWFDefineScalingGrid*>(reader.TagInfo(5).TagObject());
  EXPECT_EQ(grid->ID, 100) << "a reference takes the first definition of its old id";
  EXPECT_EQ(ToHex(raw(6)->Data), "67 00 00");
  auto* classes = dynamic_cast<TSWFSymbolClass*>(reader.TagInfo(7).TagObject());
  EXPECT_EQ(classes->Assets[0].ID, 0) << "id 0 is not a character";
  EXPECT_EQ(classes->Assets[1].ID, 100);

  TSWFStreamReader empty;
  EXPECT_EQ(empty.RenumberIDs(7), 7);
}

TEST(Stream, RenumberAsksOnlyForDefinitions) {
  const Bytes body = Concat({RawTag(2, Hex("01 00")), RawTag(2, Hex("02 00")),
                             RawTag(4, Hex("02 00 01 00 00")), kEnd});
  TSWFStreamReader reader(Movie(body));
  reader.ParseTags(true, false);
  int asked = 0;
  reader.OnRenumberTag = [&](TSWFObject& tag, bool& renumber) {
    ++asked;
    auto* raw = dynamic_cast<TSWFByteCodeTag*>(&tag);
    renumber = !raw || raw->Data[0] != 1;  // keep shape 1
  };
  EXPECT_EQ(reader.RenumberIDs(50), 51);
  EXPECT_EQ(asked, 4);
  auto raw = [&](size_t i) { return dynamic_cast<TSWFByteCodeTag*>(reader.TagInfo(i).TagObject()); };
  EXPECT_EQ(raw(0)->Data[0], 1);
  EXPECT_EQ(raw(1)->Data[0], 50);
  EXPECT_EQ(dynamic_cast<TSWFPlaceObject*>(reader.TagInfo(2).TagObject())->CharacterId, 50);
}

TEST(Stream, SaveToFileNeverLeavesAHalfWrittenFile) {
  TempDir dir;
  const auto path = dir / "movie.swf";
  TSWFStreamReader reader(Movie(kEnd));
  reader.SaveToFile(path);
  const Bytes first = ReadWholeFile(path);
  EXPECT_EQ(first, Movie(kEnd));
  // A body writer that fails half way: the file on disk stays the old one.
  reader.SetCompressed(true);
  reader.OnProgress = [](TBasedSWFStream&, int, int) { throw std::runtime_error("stop"); };
  reader.BodyStream().WriteBuffer(Noise(1 << 20, 1));
  EXPECT_THROW(reader.SaveToFile(path), std::runtime_error);
  EXPECT_EQ(ReadWholeFile(path), first);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_THROW(reader.SaveToFile(dir / "missing" / "movie.swf"), FileError);
}

}  // namespace
}  // namespace tw::test
