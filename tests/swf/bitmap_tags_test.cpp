// Bitmap tags: real tags read and written back, the two forms of JPEG data, images that are not
// JPEG, the alpha offset, the lossless header and copying.
#include <functional>

#include "support/testing.h"
#include "swf/bitmap_tags.h"

namespace tw::test {
namespace {
using namespace tw::swf;

std::unique_ptr<TSWFObject> ReadCorpusTag(std::string_view file, size_t index, uint16_t& code) {
  TSWFStreamReader reader(CorpusFile("swf", file));
  reader.ParseTags(true, false);
  code = reader.TagInfo(index).TagCode;
  return CloneTag(*reader.TagInfo(index).TagObject());
}

std::string Prefix(const std::vector<uint8_t>& data, size_t n) {
  return ToHex(std::span(data).first(std::min(n, data.size())));
}

struct Size {
  uint32_t width = 0, height = 0;
};

Size ImageSize(const std::vector<uint8_t>& data) {
  Size s;
  EXPECT_TRUE(ImageDataSize(data, s.width, s.height));
  return s;
}

struct TagCase {
  const char* name;
  const char* file;
  size_t index;
  uint16_t code;
  uint8_t version;
  std::function<void(const TSWFObject&)> check;
};

// Expected values read off the bytes by a separate decoder.
const TagCase kBitmapCases[] = {
    {"DefineBits with its markers stripped", "from_shumway__bitmapbuttons__test.swf", 5, 6, 9,
     [](const TSWFObject& t) {
       const auto& b = dynamic_cast<const TSWFDefineBits&>(t);
       EXPECT_EQ(b.ID, 1);
       EXPECT_FALSE(b.DataAsIs);
       EXPECT_EQ(b.DataSize(), 5232u - 6);
       EXPECT_EQ(Prefix(b.Data, 2), "FF E0");
       EXPECT_EQ(ImageSize(b.Data).width, 680u);
       EXPECT_EQ(ImageSize(b.Data).height, 400u);
       EXPECT_EQ(b.MinVersion(), 1);
     }},
    {"an empty JPEGTables", "from_shumway__bitmapbuttons__test.swf", 4, 8, 9,
     [](const TSWFObject& t) { EXPECT_TRUE(dynamic_cast<const TSWFJPEGTables&>(t).Data.empty()); }},
    {"JPEGTables with the shared tables", "swfcrate__DefineBits-JpegTables-MX.swf", 1, 8, 1,
     [](const TSWFObject& t) {
       const auto& j = dynamic_cast<const TSWFJPEGTables&>(t);
       EXPECT_EQ(j.DataSize(), 570u);
       EXPECT_EQ(Prefix(j.Data, 2), "FF DB");
     }},
    {"DefineBits that uses the shared tables", "swfcrate__DefineBits-JpegTables-MX.swf", 2, 6, 1,
     [](const TSWFObject& t) {
       const auto& b = dynamic_cast<const TSWFDefineBits&>(t);
       EXPECT_EQ(b.DataSize(), 62u);
       EXPECT_EQ(ImageSize(b.Data).width, 6u);
       EXPECT_EQ(ImageSize(b.Data).height, 5u);
     }},
    {"DefineBitsJPEG2", "swfcrate__DefineBitsJpeg2-MX.swf", 1, 21, 2,
     [](const TSWFObject& t) {
       const auto& b = dynamic_cast<const TSWFDefineBitsJPEG2&>(t);
       EXPECT_EQ(b.ID, 1);
       EXPECT_EQ(b.DataSize(), 636u);
       EXPECT_EQ(ImageSize(b.Data).width, 5u);
       EXPECT_EQ(b.MinVersion(), 2);
     }},
    {"DefineBitsJPEG3 with its alpha channel", "from_shumway__bitmapbuttons__test.swf", 10, 35, 9,
     [](const TSWFObject& t) {
       const auto& b = dynamic_cast<const TSWFDefineBitsJPEG3&>(t);
       EXPECT_EQ(b.ID, 5);
       EXPECT_EQ(b.DataSize(), 2144u - 4);
       EXPECT_EQ(b.AlphaDataSize(), 2441u);
       EXPECT_EQ(Prefix(b.AlphaData, 2), "78 DA");
       EXPECT_EQ(ImageSize(b.Data).width, 426u);
       EXPECT_EQ(ImageSize(b.Data).height, 220u);
       EXPECT_EQ(b.MinVersion(), 3);
     }},
    {"DefineBitsLossless", "from_shumway__bitmapbuttons__test.swf", 9, 20, 9,
     [](const TSWFObject& t) {
       const auto& b = dynamic_cast<const TSWFDefineBitsLossless&>(t);
       EXPECT_EQ(b.ID, 4);
       EXPECT_EQ(b.BitmapFormat, 5);
       EXPECT_EQ(b.BitmapWidth, 210);
       EXPECT_EQ(b.BitmapHeight, 2);
       EXPECT_EQ(b.DataSize(), 36u - 7);
       EXPECT_EQ(b.MinVersion(), 2);
     }},
    {"DefineBitsLossless2", "swfcrate__DefineBitsLossless2.swf", 3, 36, 12,
     [](const TSWFObject& t) {
       const auto& b = dynamic_cast<const TSWFDefineBitsLossless2&>(t);
       EXPECT_EQ(b.BitmapWidth, 8);
       EXPECT_EQ(b.BitmapHeight, 8);
       EXPECT_EQ(Prefix(b.Data, 2), "78 DA");
       EXPECT_EQ(b.MinVersion(), 3);
     }},
};

TEST(BitmapTags, ReadAndWriteRealBytes) {
  for (const auto& c : kBitmapCases) {
    SCOPED_TRACE(c.name);
    uint8_t version = 0;
    const Bytes body = TagBodyFromCorpus(c.file, c.index, &version);
    EXPECT_EQ(version, c.version);
    uint16_t code = 0;
    auto tag = ReadCorpusTag(c.file, c.index, code);
    ASSERT_EQ(code, c.code);
    c.check(*tag);
    EXPECT_EQ(WriteBody(*tag), body);
  }
}

// A JPEG file of the kind the builder stores: a complete stream.
Bytes SmallJPEG(size_t size) {
  Bytes jpeg = Hex("FF D8 FF DB 00 04 00 00 FF C0 00 0B 08 00 05 00 07 01 01 11 00 FF DA");
  jpeg.resize(size - 2, 0x11);
  jpeg.push_back(0xFF);
  jpeg.push_back(0xD9);
  return jpeg;
}

TEST(BitmapTags, CompleteJPEGIsWrittenAfterTheMarkerPair) {
  const Bytes jpeg = SmallJPEG(100);
  TSWFDefineBitsJPEG2 tag;
  tag.ID = 3;
  tag.Data = jpeg;
  const Bytes body = WriteBody(tag);
  ASSERT_EQ(body.size(), 2 + 4 + jpeg.size());
  EXPECT_EQ(ToHex(std::span(body).first(8)), "03 00 FF D9 FF D8 FF D8");
  auto back = ReadTag<TSWFDefineBitsJPEG2>(body);
  EXPECT_EQ(back->Data, jpeg);
  EXPECT_FALSE(back->DataAsIs);
  EXPECT_EQ(WriteBody(*back), body);
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(ImageDataSize(back->Data, w, h));
  EXPECT_EQ(w, 7u);
  EXPECT_EQ(h, 5u);
}

TEST(BitmapTags, StrippedJPEGIsWrittenBetweenItsMarkers) {
  const Bytes body = Hex("07 00 FF D8 01 02 03 FF D9");
  auto tag = ReadTag<TSWFDefineBits>(body);
  EXPECT_EQ(tag->ID, 7);
  EXPECT_EQ(ToHex(tag->Data), "01 02 03");
  EXPECT_EQ(WriteBody(*tag), body);
}

// Bytes that fit neither form would lose their first and last two bytes to the markers.
TEST(BitmapTags, OtherImageBytesAreKeptAsTheyAre) {
  const struct {
    const char* name;
    const char* jpegPart;
  } cases[] = {
      {"a PNG image", "89 50 4E 47 0D 0A 1A 0A 00 00 00 0D 49 48 44 52 00 00 00 02 00 00 00 03"},
      {"a GIF image", "47 49 46 38 39 61 02 00 03 00 00 00 3B"},
      {"a JPEG with bytes after its end", "FF D8 FF DB 00 02 FF D9 00 00"},
      {"a marker pair before a stream without its own start", "FF D9 FF D8 FF DB 00 02 FF D9"},
      {"nothing but the two markers", "FF D8 FF D9"},
      {"too short for any marker", "FF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body = Hex("01 00");
    const Bytes part = Hex(c.jpegPart);
    body.insert(body.end(), part.begin(), part.end());
    auto tag = ReadTag<TSWFDefineBitsJPEG2>(body);
    EXPECT_TRUE(tag->DataAsIs);
    EXPECT_EQ(tag->Data, part);
    EXPECT_EQ(WriteBody(*tag), body);
    auto copy = CloneTag(*tag);
    tag.reset();
    EXPECT_EQ(WriteBody(*copy), body);
  }
}

TEST(BitmapTags, ImageSizesFromHeaders) {
  const struct {
    const char* name;
    const char* bytes;
    uint32_t width, height;
  } cases[] = {
      {"PNG", "89 50 4E 47 0D 0A 1A 0A 00 00 00 0D 49 48 44 52 00 00 01 02 00 00 00 03", 258, 3},
      {"GIF", "47 49 46 38 39 61 02 01 03 00", 258, 3},
      {"JPEG tables before the image", "FF D8 FF DB 00 02 FF D9 FF D8 FF C2 00 0B 08 00 03 01 02",
       258, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(ImageDataSize(Hex(c.bytes), w, h));
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
  }
  uint32_t w = 0, h = 0;
  EXPECT_FALSE(ImageDataSize(Hex("FF D8 FF DA 00 02"), w, h));
  EXPECT_FALSE(ImageDataSize(Hex("FF D8 FF E0 FF FF"), w, h));
  EXPECT_FALSE(ImageDataSize({}, w, h));
}

TEST(BitmapTags, JPEG3OffsetCountsTheMarkerPair) {
  TSWFDefineBitsJPEG3 tag;
  tag.ID = 2;
  tag.Data = SmallJPEG(1000);
  tag.AlphaData = Hex("78 DA 01 02");
  const Bytes body = WriteBody(tag);
  EXPECT_EQ(ToHex(std::span(body).subspan(2, 4)), "EC 03 00 00");  // 1004
  EXPECT_EQ(ToHex(std::span(body).last(4)), "78 DA 01 02");
  auto back = ReadTag<TSWFDefineBitsJPEG3>(body);
  EXPECT_EQ(back->Data, tag.Data);
  EXPECT_EQ(back->AlphaData, tag.AlphaData);
}

// DefineBitsJPEG4 is a DefineBitsJPEG3 with a deblocking field after the alpha offset, which
// counts the image bytes alone in both.
TEST(BitmapTags, JPEG4KeepsItsDeblockingBetweenTheOffsetAndTheImage) {
  TSWFDefineBitsJPEG4 tag;
  tag.ID = 7;
  tag.DeblockParam = 0x0180;
  tag.Data = SmallJPEG(300);
  tag.AlphaData = Hex("78 DA 05");
  const Bytes body = WriteBody(tag);
  EXPECT_EQ(ToHex(std::span(body).first(8)), "07 00 30 01 00 00 80 01");  // 304 image bytes
  EXPECT_EQ(ToHex(std::span(body).subspan(8, 4)), "FF D9 FF D8");
  EXPECT_EQ(ToHex(std::span(body).last(3)), "78 DA 05");
  auto back = ReadTag<TSWFDefineBitsJPEG4>(body);
  EXPECT_EQ(back->ID, 7);
  EXPECT_EQ(back->DeblockParam, 0x0180);
  EXPECT_EQ(back->Data, tag.Data);
  EXPECT_EQ(back->AlphaData, tag.AlphaData);
  TSWFDefineBitsJPEG4 copy;
  copy.Assign(tag);
  EXPECT_EQ(WriteBody(copy), body);
  EXPECT_EQ(copy.MinVersion(), 10);
  EXPECT_THROW(ReadTag<TSWFDefineBitsJPEG4>(Hex("01 00 10 00 00 00 00 01 FF D8 FF D9")), ESWFError);

  // A movie holding the tag reads it back as its own class.
  Bytes movie = Hex("46 57 53 0A 00 00 00 00 00 00 0C 01 00");
  const Bytes whole = WriteWhole(tag);
  movie.insert(movie.end(), whole.begin(), whole.end());
  movie.insert(movie.end(), {0x40, 0x00, 0x00, 0x00});  // ShowFrame, End
  const auto size = static_cast<uint32_t>(movie.size());
  for (int i = 0; i < 4; ++i) movie[4 + i] = static_cast<uint8_t>(size >> 8 * i);
  TSWFStreamReader reader(movie);
  reader.ParseTags(true, false);
  ASSERT_FALSE(reader.Truncated());
  const auto* read = dynamic_cast<const TSWFDefineBitsJPEG4*>(reader.TagInfo(0).TagObject());
  ASSERT_NE(read, nullptr) << TagCodeName(reader.TagInfo(0).TagCode);
  EXPECT_EQ(read->DeblockParam, 0x0180);
  EXPECT_EQ(read->Data, tag.Data);
}

TEST(BitmapTags, JPEG3WithAnOffsetPastTheBodyFails) {
  EXPECT_THROW(ReadTag<TSWFDefineBitsJPEG3>(Hex("01 00 10 00 00 00 FF D8 FF D9")), ESWFError);
}

TEST(BitmapTags, LosslessColourTableSizeOnlyForFormat3) {
  TSWFDefineBitsLossless tag;
  tag.ID = 1;
  tag.BitmapWidth = 2;
  tag.BitmapHeight = 3;
  tag.BitmapColorTableSize = 15;
  tag.Data = Hex("78 9C");
  tag.BitmapFormat = 5;
  EXPECT_EQ(ToHex(WriteBody(tag)), "01 00 05 02 00 03 00 78 9C");
  tag.BitmapFormat = 3;
  const Bytes body = WriteBody(tag);
  EXPECT_EQ(ToHex(body), "01 00 03 02 00 03 00 0F 78 9C");
  auto back = ReadTag<TSWFDefineBitsLossless>(body);
  EXPECT_EQ(back->BitmapColorTableSize, 15);
  EXPECT_EQ(ToHex(back->Data), "78 9C");
  // A short lossless tag still gets the long header.
  const Bytes whole = WriteWhole(tag);
  EXPECT_EQ(ToHex(std::span(whole).first(6)), "3F 05 0A 00 00 00");
}

TEST(BitmapTags, EmptyJPEGTablesHasAnEmptyBody) {
  TSWFJPEGTables tables;
  EXPECT_TRUE(WriteBody(tables).empty());
  EXPECT_EQ(ToHex(WriteWhole(tables)), "00 02");
}

TEST(BitmapTags, CopyTakesTheWriterOrTheBytes) {
  TSWFDefineBitsJPEG3 source;
  source.ID = 4;
  source.Data = Hex("01");
  source.AlphaData = Hex("02");
  source.OnDataWrite = [](TSWFDataObject&, TBitsEngine& be) { be.WriteByte(0xAA); };
  TSWFDefineBitsJPEG3 copy;
  copy.Assign(source);
  EXPECT_TRUE(copy.Data.empty());
  EXPECT_EQ(copy.AlphaData, source.AlphaData);
  EXPECT_EQ(ToHex(WriteBody(copy)), "04 00 01 00 00 00 AA 02");
  source.OnDataWrite = nullptr;
  source.OnAlphaDataWrite = [](TSWFDataObject&, TBitsEngine& be) { be.WriteByte(0xBB); };
  copy.Assign(source);
  EXPECT_TRUE(copy.AlphaData.empty());
  EXPECT_EQ(ToHex(WriteBody(copy)), "04 00 05 00 00 00 FF D8 01 FF D9 BB");
}

TEST(BitmapTags, DefineAndReferNothingElse) {
  TSWFDefineBitsLossless2 tag;
  tag.ID = 12;
  std::vector<uint16_t> ids;
  tag.VisitDefinedIDs([&](uint16_t& id) { ids.push_back(id); id = 40; });
  tag.VisitReferencedIDs([&](uint16_t& id) { ids.push_back(id); });
  EXPECT_EQ(ids, (std::vector<uint16_t>{12}));
  EXPECT_EQ(tag.ID, 40);
}

}  // namespace
}  // namespace tw::test
