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
#include "swf/action_records.h"
#include "swf/action_tags.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "swf/display_tags.h"
#include "swf/shape_tags.h"
#include "swf/sprite.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using namespace tw::swf;
using Names = std::vector<std::string>;

const TStageFolders& Bundled() {
  static const TStageFolders folders = BundledStageFolders();
  return folders;
}

struct Stage : StageFixture {
  std::unique_ptr<TMusicFileList> songs;
  std::unique_ptr<TSWFStreamReader> movie;

  Stage() : StageFixture(500, 400) {}
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

  // Rotated by 90 degrees after the scale: x' = 0.5 y, y' = -2 x (anticlockwise on the screen).
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


// The preloader shrinks to fit the stage but never grows, and lies in its middle; its first
// frame is coloured by its "Bg.BgColor". The stage then stays on its own frame: looping back
// would show the preloader again and start the player anew every other frame.
TEST_F(Stage, PreloaderFitsTheStageAndThePlayerFrameStays) {
  TPreloaderParams pre;
  ASSERT_TRUE(ReadPreloaderParams(Bundled().Preloader + "bar.swf", pre));  // 220 x 44
  for (TPreloaderParam& p : pre.Params)
    if (p.Name == "Bg.BgColor") p.Value = "0x40C080";
  s.PreloaderOn = true;
  s.PreloaderName = "bar.swf";
  s.Preloader = &pre;
  struct Case {
    int32_t width, height;
    double scale;
    int32_t x, y;
  };
  for (const Case& c : {Case{400, 300, 1, 90, 128}, Case{110, 300, 0.5, 0, 139},
                        Case{880, 22, 0.5, 385, 0}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    s.Width = c.width;
    s.Height = c.height;
    Build(false);
    const TSWFMatrix* m = Placements()[2]->FindMatrix();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->TranslateX, c.x * 20);
    EXPECT_EQ(m->TranslateY, c.y * 20);
    EXPECT_NEAR(m->HasScale ? m->ScaleXf() : 1, c.scale, 1e-4);
    EXPECT_NEAR(m->HasScale ? m->ScaleYf() : 1, c.scale, 1e-4);
    const uint16_t rect = Placements()[1]->CharacterId;
    for (auto* shape : Tags<TSWFDefineShape>())
      if (shape->ID == rect) {
        ASSERT_EQ(shape->FillStyles.size(), 1u);
        auto* fill = dynamic_cast<TSWFColorFill*>(shape->FillStyles[0].get());
        ASSERT_TRUE(fill);
        EXPECT_EQ((std::vector<int>{fill->Color.R, fill->Color.G, fill->Color.B}),
                  (std::vector<int>{0x40, 0xC0, 0x80}));
      }
  }
  TSWFStreamReader actions(dir / "stage.swf");
  actions.ParseTags(true, true);
  ASSERT_EQ(actions.FrameCount(), 2);
  bool stops = false;
  for (const auto& info : actions.TagList)
    if (auto* script = dynamic_cast<TSWFDoAction*>(info->TagObject()); script && info->FrameNumber == 2)
      for (size_t i = 0; i < script->Actions().Count(); ++i)
        stops |= script->Actions()[i].ActionCode == TSWFActionStop().ActionCode;
  EXPECT_TRUE(stops) << "the stage's frame does not stop";
}

// ---- images ------------------------------------------------------------------------------------

// Three squares of 20 x 20 side by side, through the filter that follows the stacking.
void ThreeSquares(const fs::path& out, const std::string& a, const std::string& b,
                  const std::string& c, const std::string& filter,
                  std::vector<std::string> tail = {}) {
  std::vector<std::string> args;
  for (const std::string* colour : {&a, &b, &c})
    for (std::string& arg : FlatColour(*colour, 20, 20)) args.push_back(std::move(arg));
  args.insert(args.end(), {"-filter_complex", "[0][1][2]hstack=3," + filter});
  args.insert(args.end(), tail.begin(), tail.end());
  args.push_back(out.string());
  Ffmpeg(args);
}

// A palette PNG written byte by byte: ffmpeg writes no partly transparent palette entries.
void WritePalettePng(const fs::path& out, uint32_t width, const std::vector<uint8_t>& rgb,
                     const std::vector<uint8_t>& trns, const std::vector<uint8_t>& indices) {
  std::string png = "\x89PNG\r\n\x1a\n";
  auto be32 = [](std::string& to, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) to += static_cast<char>((v >> shift) & 0xFF);
  };
  auto chunk = [&](const char* type, const std::string& body) {
    be32(png, static_cast<uint32_t>(body.size()));
    const std::string typed = type + body;
    png += typed;
    be32(png, static_cast<uint32_t>(
                  crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
  };
  const uint32_t height = static_cast<uint32_t>(indices.size() / width);
  std::string header;
  be32(header, width);
  be32(header, height);
  header += std::string("\x08\x03\x00\x00\x00", 5);  // 8 bits, palette, no interlace
  chunk("IHDR", header);
  chunk("PLTE", std::string(rgb.begin(), rgb.end()));
  if (!trns.empty()) chunk("tRNS", std::string(trns.begin(), trns.end()));
  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), indices.begin() + y * width, indices.begin() + (y + 1) * width);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  ASSERT_EQ(compress(reinterpret_cast<Bytef*>(packed.data()), &size, raw.data(),
                     static_cast<uLong>(raw.size())),
            Z_OK);
  packed.resize(size);
  chunk("IDAT", packed);
  chunk("IEND", "");
  std::ofstream(out, std::ios::binary) << png;
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& data, size_t size) {
  std::vector<uint8_t> out(size + 1);
  uLongf got = static_cast<uLongf>(out.size());
  EXPECT_EQ(uncompress(out.data(), &got, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(got);
  return out;
}

struct Point {
  double x, y;
};

// A SWF matrix applied to a point: SkewX carries y into x, SkewY x into y.
Point Apply(const TSWFMatrix* m, Point p) {
  if (!m) return p;
  const double sx = m->HasScale ? m->ScaleXf() : 1, sy = m->HasScale ? m->ScaleYf() : 1;
  const double kx = m->HasSkew ? m->SkewXf() : 0, ky = m->HasSkew ? m->SkewYf() : 0;
  return {sx * p.x + kx * p.y + m->TranslateX, ky * p.x + sy * p.y + m->TranslateY};
}

// The pictures the image tests show, made once for all of them.
struct Pictures {
  TempDir dir;
  fs::path rgba = dir / "rgba.png", palette = dir / "palette.png", gif = dir / "transparent.gif",
           bmp = dir / "picture.bmp", jpeg = dir / "photo.jpg";
  Pictures() {
    // Opaque (200,100,50), (200,100,50) at alpha 0x66 (0.4), nothing.
    ThreeSquares(rgba, "C86432FF", "C8643266", "00000000", "format=rgba", {"-update", "1"});
    // Opaque (200,100,50), opaque (10,220,130), and the transparent colour.
    ThreeSquares(gif, "C86432FF", "0ADC82FF", "00000000",
                 "split[a][b];[a]palettegen=reserve_transparent=1[p];[b][p]paletteuse");
    std::vector<std::string> args = FlatColour("C86432FF", 48, 24);
    args.insert(args.end(), {"-pix_fmt", "bgr24", "-update", "1", bmp.string()});
    Ffmpeg(args);
    args = FlatColour("0ADC82FF", 40, 30);
    args.insert(args.end(), {"-update", "1", jpeg.string()});
    Ffmpeg(args);
    // Five by three: four colours, the second at alpha 102, the third invisible, the fourth
    // beyond the tRNS entries and so opaque.
    WritePalettePng(palette, 5, {200, 100, 50, 10, 220, 130, 77, 77, 77, 1, 2, 3}, {255, 102, 0},
                    {0, 1, 2, 3, 0, /**/ 1, 1, 1, 1, 1, /**/ 3, 2, 1, 0, 3});
  }
};

struct StageImages : Stage {
  static inline std::unique_ptr<Pictures> pictures;
  static void SetUpTestSuite() { pictures = std::make_unique<Pictures>(); }
  static void TearDownTestSuite() { pictures.reset(); }
  std::vector<std::unique_ptr<TImageEntry>> entries;

  StageImages() {
    s.PlayerPosition = TPlayerPosition::Custom;
    s.FgImagesOn = true;
    s.BgImagesOn = true;
  }
  TImageEntry& Entry(const fs::path& file, TImagePosition position = TImagePosition::Center) {
    entries.push_back(std::make_unique<TImageEntry>());
    entries.back()->File = file.string();
    entries.back()->Position = position;
    return *entries.back();
  }
  TSWFDefineShape* ShapeAt(uint16_t depth) {
    const auto placed = Placements();
    if (!placed.count(depth)) return nullptr;
    for (auto* shape : Tags<TSWFDefineShape>())
      if (shape->ID == placed.at(depth)->CharacterId) return shape;
    return nullptr;
  }
  const TSWFImageFill* FillAt(uint16_t depth) {
    TSWFDefineShape* shape = ShapeAt(depth);
    if (!shape || shape->FillStyles.size() != 1) return nullptr;
    return dynamic_cast<const TSWFImageFill*>(shape->FillStyles[0].get());
  }
  TSWFImageTag* BitmapAt(uint16_t depth) {
    const TSWFImageFill* fill = FillAt(depth);
    if (!fill) return nullptr;
    for (auto* image : Tags<TSWFImageTag>())
      if (image->ID == fill->ID) return image;
    return nullptr;
  }
  // Where a point of the bitmap lands on the stage, in pixels.
  Point OnStage(uint16_t depth, Point bitmapPixel) {
    const Point inShape = Apply(&FillAt(depth)->Matrix, bitmapPixel);
    const Point p = Apply(Placements().at(depth)->FindMatrix(), inShape);
    return {p.x / 20, p.y / 20};
  }
};

// The bitmap tag of an image: its code and size.
struct BitmapSize {
  uint16_t code;
  uint32_t width, height;
};

BitmapSize SizeOf(TSWFImageTag& tag) {
  if (auto* lossless = dynamic_cast<TSWFDefineBitsLossless*>(&tag))
    return {tag.TagID, lossless->BitmapWidth, lossless->BitmapHeight};
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(ImageDataSize(tag.Data, w, h));
  return {tag.TagID, w, h};
}

TEST_F(StageImages, EveryKindAtEveryPositionLandsWhereItBelongs) {
  struct Kind {
    const char* name;
    fs::path file;
    uint16_t code;  // 20 lossless, 36 lossless with alpha, 21 JPEG
    uint32_t width, height;
  };
  const Kind kinds[] = {
      {"PNG with alpha", pictures->rgba, 36, 60, 20},
      {"palette PNG", pictures->palette, 36, 5, 3},
      {"GIF with a transparent colour", pictures->gif, 36, 60, 20},
      {"BMP (stored as JPEG)", pictures->bmp, 21, 48, 24},
      {"JPEG", pictures->jpeg, 21, 40, 30},
  };
  struct Where {
    const char* name;
    TImagePosition position;
    int32_t left, top, xScale, yScale, rotation;
  };
  const Where places[] = {
      {"Center", TImagePosition::Center, 0, 0, 100, 100, 0},
      {"Custom scaled", TImagePosition::Custom, 30, 40, 200, 50, 0},
      {"Custom turned", TImagePosition::Custom, 300, 250, 100, 100, 90},
      {"Stretch", TImagePosition::Stretch, 0, 0, 100, 100, 0},
      {"Tile", TImagePosition::Tile, 0, 0, 100, 100, 0},
  };
  const double W = s.Width, H = s.Height;
  for (const Kind& kind : kinds)
    for (const Where& where : places) {
      SCOPED_TRACE(std::string(kind.name) + " at " + where.name);
      entries.clear();
      TImageEntry& e = Entry(kind.file, where.position);
      e.Left = where.left;
      e.Top = where.top;
      e.XScale = where.xScale;
      e.YScale = where.yScale;
      e.Rotation = where.rotation;
      s.FgImages = {&e};
      Build(false);
      EXPECT_EQ(Depths(), (std::vector<uint16_t>{3, 999, 1000}));
      TSWFImageTag* bitmap = BitmapAt(1000);
      ASSERT_TRUE(bitmap);
      const BitmapSize size = SizeOf(*bitmap);
      EXPECT_EQ(size.code, kind.code);
      EXPECT_EQ(size.width, kind.width);
      EXPECT_EQ(size.height, kind.height);

      const double iw = kind.width, ih = kind.height;
      // The bitmap's top-left and bottom-right corners on the stage.
      Point from{}, to{};
      switch (where.position) {
        case TImagePosition::Center:
          from = {std::floor((W - iw) / 2), std::floor((H - ih) / 2)};
          to = {std::floor((W + iw) / 2), std::floor((H + ih) / 2)};
          break;
        case TImagePosition::Custom: {
          // The scaled size rounds halves to even (3 x 50 % is 2); the turn is anticlockwise
          // on the screen: x' = x cos + y sin, y' = y cos - x sin.
          const double w = std::nearbyint(iw * where.xScale / 100);
          const double h = std::nearbyint(ih * where.yScale / 100);
          const double r = where.rotation * M_PI / 180, c = std::cos(r), sn = std::sin(r);
          from = {double(where.left), double(where.top)};
          to = {where.left + w * c + h * sn, where.top + h * c - w * sn};
          break;
        }
        case TImagePosition::Stretch: from = {0, 0}; to = {W, H}; break;
        case TImagePosition::Tile: from = {0, 0}; to = {iw, ih}; break;
      }
      const Point a = OnStage(1000, {0, 0}), b = OnStage(1000, {iw, ih});
      EXPECT_NEAR(a.x, from.x, 0.5);
      EXPECT_NEAR(a.y, from.y, 0.5);
      EXPECT_NEAR(b.x, to.x, 0.5);
      EXPECT_NEAR(b.y, to.y, 0.5);
      EXPECT_EQ(FillAt(1000)->FillType, where.position == TImagePosition::Tile
                                            ? kFillRepeatingBitmap
                                            : kFillClippedBitmap);
      // The shape is the picture's rectangle, or the whole stage for Stretch and Tile.
      const TSWFRect& bounds = ShapeAt(1000)->ShapeBounds;
      const Point low = Apply(Placements().at(1000)->FindMatrix(), {double(bounds.XMin()), double(bounds.YMin())});
      const Point high = Apply(Placements().at(1000)->FindMatrix(), {double(bounds.XMax()), double(bounds.YMax())});
      const Point wantLow = where.position == TImagePosition::Tile ? Point{0, 0} : from;
      const Point wantHigh = where.position == TImagePosition::Tile ? Point{W, H} : to;
      EXPECT_NEAR(low.x / 20, wantLow.x, 0.05);
      EXPECT_NEAR(low.y / 20, wantLow.y, 0.05);
      EXPECT_NEAR(high.x / 20, wantHigh.x, 0.05);
      EXPECT_NEAR(high.y / 20, wantHigh.y, 0.05);
    }
  EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
  EXPECT_EQ(user.Files(), Names{});
}

// A SWF image is embedded as a sprite and placed by its frame size, never tiled.
TEST_F(StageImages, SwfImagesArePlacedByTheirFrame) {
  const fs::path swf = Bundled().Preloader + "bar.swf";  // 220 x 44
  const double W = s.Width, H = s.Height, w = 220, h = 44;
  struct Case {
    TImagePosition position;
    Point from, to;  // the frame's corners on the stage
  };
  const double r = 90 * M_PI / 180;
  const Case cases[] = {
      {TImagePosition::Center, {140, 178}, {360, 222}},
      {TImagePosition::Custom, {30, 40}, {30 + 2 * w * std::cos(r) + 0.5 * h * std::sin(r),
                                          40 + 0.5 * h * std::cos(r) - 2 * w * std::sin(r)}},
      {TImagePosition::Stretch, {0, 0}, {W, H}},
      {TImagePosition::Tile, {0, 0}, {W, H}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.position));
    entries.clear();
    TImageEntry& e = Entry(swf, c.position);
    e.Left = 30;
    e.Top = 40;
    e.XScale = 200;
    e.YScale = 50;
    e.Rotation = 90;
    s.FgImages = {&e};
    Build(false);
    ASSERT_EQ(Depths(), (std::vector<uint16_t>{3, 999, 1000}));
    const TSWFPlaceObject2* place = Placements()[1000];
    bool sprite = false;
    for (const auto& info : movie->TagList)
      if (info->TagCode == 39)
        sprite |= static_cast<TSWFDefineSprite*>(info->TagObject())->SpriteID == place->CharacterId;
    EXPECT_TRUE(sprite);
    const Point a = Apply(place->FindMatrix(), {0, 0});
    const Point b = Apply(place->FindMatrix(), {w * 20, h * 20});
    EXPECT_NEAR(a.x / 20, c.from.x, 0.05);
    EXPECT_NEAR(a.y / 20, c.from.y, 0.05);
    EXPECT_NEAR(b.x / 20, c.to.x, 0.05);
    EXPECT_NEAR(b.y / 20, c.to.y, 0.05);
  }
}

// The lossless bitmaps with alpha hold colours multiplied by alpha; what is fully transparent
// is 0, 0, 0, 0.
TEST_F(StageImages, TransparentPixelsAreStoredPremultiplied) {
  s.FgImages = {&Entry(pictures->rgba), &Entry(pictures->palette), &Entry(pictures->gif)};
  Build(false);

  auto* rgba = dynamic_cast<TSWFDefineBitsLossless*>(BitmapAt(1000));
  ASSERT_TRUE(rgba);
  EXPECT_EQ(rgba->BitmapFormat, 5);
  const std::vector<uint8_t> argb = Inflate(rgba->Data, 60 * 20 * 4);
  ASSERT_EQ(argb.size(), 60u * 20 * 4);
  auto pixel = [&](int x, int y) {
    const size_t at = (static_cast<size_t>(y) * 60 + x) * 4;
    return std::vector<int>(argb.begin() + at, argb.begin() + at + 4);
  };
  for (int y : {0, 19}) {
    EXPECT_EQ(pixel(5, y), (std::vector<int>{255, 200, 100, 50}));
    EXPECT_EQ(pixel(25, y), (std::vector<int>{102, 80, 40, 20}));  // 0.4 of each colour
    EXPECT_EQ(pixel(59, y), (std::vector<int>{0, 0, 0, 0}));
  }

  auto* palette = dynamic_cast<TSWFDefineBitsLossless*>(BitmapAt(1001));
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette->BitmapFormat, 3);
  EXPECT_EQ(palette->BitmapColorTableSize, 3);
  // The colour table (RGBA), then three rows of five indices, each padded to eight bytes.
  EXPECT_EQ(Inflate(palette->Data, 16 + 24),
            (std::vector<uint8_t>{200, 100, 50, 255, 4, 88, 52, 102, 0, 0, 0, 0, 1, 2, 3, 255,
                                  0, 1, 2, 3, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0,
                                  3, 2, 1, 0, 3, 0, 0, 0}));

  auto* gif = dynamic_cast<TSWFDefineBitsLossless*>(BitmapAt(1002));
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->TagID, 36);
  EXPECT_EQ(gif->BitmapFormat, 3);
  const size_t colours = gif->BitmapColorTableSize + 1u;
  const std::vector<uint8_t> data = Inflate(gif->Data, colours * 4 + 60 * 20);
  ASSERT_EQ(data.size(), colours * 4 + 60 * 20);
  auto entry = [&](int x, int y) {
    const size_t index = data[colours * 4 + static_cast<size_t>(y) * 60 + x];
    EXPECT_LT(index, colours);
    return std::vector<int>(data.begin() + index * 4, data.begin() + index * 4 + 4);
  };
  for (int y : {0, 10, 19}) {
    EXPECT_EQ(entry(3, y), (std::vector<int>{200, 100, 50, 255}));
    EXPECT_EQ(entry(30, y), (std::vector<int>{10, 220, 130, 255}));
    EXPECT_EQ(entry(50, y), (std::vector<int>{0, 0, 0, 0}));
  }
}

// Foreground lines lie from depth 1000 upwards (the vector holds the last list line first),
// background lines from 998 downwards; a missing file or one of no image kind takes no depth.
TEST_F(StageImages, ImagesTakeTheirDepthsAndMissingOnesNone) {
  std::ofstream(dir / "notes.txt") << "not an image";
  s.FgImages = {&Entry(pictures->rgba), &Entry(dir / "gone.png"), &Entry(dir / "notes.txt"),
                &Entry(pictures->gif)};
  s.BgImages = {&Entry(pictures->bmp), &Entry(dir / "gone.jpg"), &Entry(pictures->jpeg)};
  Build(false);
  EXPECT_EQ(Depths(), (std::vector<uint16_t>{3, 997, 998, 999, 1000, 1001}));
  const std::map<uint16_t, std::pair<uint32_t, uint32_t>> want = {
      {1000, {60, 20}}, {1001, {60, 20}}, {998, {48, 24}}, {997, {40, 30}}};
  for (const auto& [depth, size] : want) {
    SCOPED_TRACE(depth);
    TSWFImageTag* bitmap = BitmapAt(depth);
    ASSERT_TRUE(bitmap);
    const BitmapSize got = SizeOf(*bitmap);
    EXPECT_EQ(std::make_pair(got.width, got.height), size);
  }
  // The PNG of true colour, then the GIF of a palette; the BMP, then the JPEG.
  auto format = [&](uint16_t depth) {
    auto* lossless = dynamic_cast<TSWFDefineBitsLossless*>(BitmapAt(depth));
    return lossless ? lossless->BitmapFormat : -1;
  };
  EXPECT_EQ(format(1000), 5);
  EXPECT_EQ(format(1001), 3);
  EXPECT_EQ(SizeOf(*BitmapAt(998)).code, 21);

  // Turned off, the lists give nothing.
  s.FgImagesOn = false;
  s.BgImagesOn = false;
  Build(false);
  EXPECT_EQ(Depths(), (std::vector<uint16_t>{3, 999}));
}

// An image that cannot be read ends the build with the reason; nothing is written and a
// stage published before stays as it was.
TEST_F(StageImages, AnUnreadableImageEndsTheBuildAndKeepsTheOldStage) {
  const std::string old = "the stage of the last run";
  std::ofstream(dir / "stage.swf", std::ios::binary) << old;
  std::string halfPng = ReadText(pictures->rgba);
  halfPng.resize(halfPng.size() / 2);
  std::string halfGif = ReadText(pictures->gif);
  halfGif.resize(20);
  const std::pair<const char*, std::string> bad[] = {
      {"noise.png", "not a picture at all"}, {"cut.png", halfPng},
      {"noise.gif", "not a picture at all"}, {"cut.gif", halfGif},
      {"noise.bmp", "BM not a picture"},     {"noise.jpg", "\xFF\xD8 not a picture"},
  };
  for (const auto& [name, bytes] : bad) {
    SCOPED_TRACE(name);
    std::ofstream(dir / name, std::ios::binary) << bytes;
    s.BgImages = {&Entry(dir / name, TImagePosition::Stretch)};
    try {
      Build(false);
      ADD_FAILURE() << "built";
    } catch (const std::exception& e) {
      // Of several images the message must tell which one failed.
      EXPECT_NE(std::string(e.what()).find((dir / name).string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadText(dir / "stage.swf"), old);
    EXPECT_EQ(user.Files(), Names{});
  }
  // No temporary beside the target either.
  Names left = {"stage.swf"};
  for (const auto& [name, bytes] : bad) left.push_back(name);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(FolderFiles(dir.path()), left);
}

}  // namespace
}  // namespace tw::test
