// Hostile movies: lengths, sizes and nesting that a real movie never has. An error or the
// raw-bytes fallback, never a hang, a crash or an allocation the input cannot justify.
#include <zlib.h>

#include "support/testing.h"
#include "swf/sprite.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// The smallest plain header (a zero rectangle) in front of a body.
Bytes PlainMovie(const Bytes& body) {
  Bytes m = Hex("46 57 53 06 00 00 00 00 00 00 0C 01 00");
  const uint32_t size = static_cast<uint32_t>(m.size() + body.size());
  for (int i = 0; i < 4; ++i) m[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  m.insert(m.end(), body.begin(), body.end());
  return m;
}

Bytes Compress(const Bytes& data) {
  uLongf size = compressBound(data.size());
  Bytes out(size);
  compress(out.data(), &size, data.data(), data.size());
  out.resize(size);
  return out;
}

TEST(Hostile, HugeTagLengthsEndTheParse) {
  for (uint32_t length : {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
    SCOPED_TRACE(length);
    Bytes body = Hex("40 00  FF 00");  // a ShowFrame, then code 3 with the long header
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(length >> (8 * i)));
    body.insert(body.end(), {1, 2, 3, 0, 0});
    TSWFStreamReader reader(PlainMovie(body));
    reader.ParseTags(true, true);
    EXPECT_TRUE(reader.Truncated());
    ASSERT_EQ(reader.TagList.size(), 2u);
    auto* raw = dynamic_cast<TSWFByteCodeTag*>(reader.TagInfo(1).TagObject());
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->Data.size(), 5u) << "only the bytes that exist";
    TSWFStreamReader rawReader(PlainMovie(body));
    rawReader.ParseTags(false, false);
    rawReader.BuildBody();
    EXPECT_EQ(ToHex(rawReader.BodyStream().Bytes()), ToHex(body));
  }
}

TEST(Hostile, HeaderCutInHalfIsKept) {
  const Bytes body = Hex("40 00 FF 00 01");  // a long header with two of its four length bytes
  TSWFStreamReader reader(PlainMovie(body));
  reader.ParseTags(false, false);
  EXPECT_TRUE(reader.Truncated());
  EXPECT_EQ(reader.TagList.size(), 1u);
  reader.BuildBody();
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body));
}

TEST(Hostile, CompressedSizeTheBodyDoesNotHold) {
  Bytes file = Hex("43 57 53 06 FF FF FF FF");
  const Bytes packed = Compress(Hex("00 00 0C 01 00 40 00 00 00"));
  file.insert(file.end(), packed.begin(), packed.end());
  TSWFStreamReader reader;
  EXPECT_THROW(reader.LoadFromStream(std::span<const uint8_t>(file)), ESWFError);
}

TEST(Hostile, CorruptAndTruncatedZlib) {
  Bytes body(4000);
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 31 % 251);
  Bytes file = Hex("43 57 53 06 00 00 00 00");
  const uint32_t size = static_cast<uint32_t>(8 + 5 + body.size());
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  Bytes plain = Hex("00 00 0C 01 00");
  plain.insert(plain.end(), body.begin(), body.end());
  const Bytes packed = Compress(plain);
  file.insert(file.end(), packed.begin(), packed.end());
  {
    TSWFStreamReader ok(file);
    EXPECT_EQ(ok.BodyStream().Size(), body.size());
  }
  Bytes corrupt = file;
  corrupt[8] = 0x12;  // not a zlib header
  TSWFStreamReader reader;
  try {
    reader.LoadFromStream(std::span<const uint8_t>(corrupt));
    ADD_FAILURE() << "a corrupt zlib body must fail";
  } catch (const ESWFError& e) {
    EXPECT_NE(std::string(e.what()).find("Decompression error"), std::string::npos) << e.what();
  }
  Bytes truncated(file.begin(), file.begin() + static_cast<ptrdiff_t>(file.size() / 2));
  EXPECT_THROW(reader.LoadFromStream(std::span<const uint8_t>(truncated)), ESWFError);
}

TEST(Hostile, RectClaimingMoreBitsThanTheFileHolds) {
  // Nbits 31: four 31-bit fields need 17 bytes; the file has one.
  TSWFStreamReader reader;
  EXPECT_THROW(reader.LoadFromStream(std::span<const uint8_t>(Hex("46 57 53 06 09 00 00 00 F8"))),
               ESWFError);
}

// Sprites nested `depth` deep, each the only tag of the one around it.
Bytes NestedSprites(int depth) {
  Bytes content = Hex("40 00");  // the innermost timeline: one frame
  for (int i = 0; i < depth; ++i) {
    Bytes body = {static_cast<uint8_t>(i + 1), static_cast<uint8_t>((i + 1) >> 8), 1, 0};
    body.insert(body.end(), content.begin(), content.end());
    body.insert(body.end(), {0, 0});
    Bytes tag = {0xFF, 0x09};
    for (int k = 0; k < 4; ++k) tag.push_back(static_cast<uint8_t>(body.size() >> (8 * k)));
    tag.insert(tag.end(), body.begin(), body.end());
    content = std::move(tag);
  }
  return content;
}

// Compares long byte strings without printing them whole.
void ExpectSameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  ASSERT_EQ(a.size(), b.size());
  EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));
}

TEST(Hostile, SpritesNestedAThousandDeep) {
  const Bytes body = NestedSprites(1000);
  TSWFStreamReader reader(PlainMovie(body));
  reader.ParseTags(true, true);
  ASSERT_EQ(reader.TagList.size(), 1u);
  auto* raw = dynamic_cast<TSWFByteCodeTag*>(reader.TagInfo(0).TagObject());
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->Text, "Sprites are nested too deeply");
  EXPECT_EQ(reader.RenumberIDs(10), 11) << "the raw sprite's own id is still renumbered";
  reader.BuildBody();
  Bytes renumbered = body;
  renumbered[6] = 10;
  renumbered[7] = 0;
  ExpectSameBytes(reader.BodyStream().Bytes(), renumbered);
  // A few levels are read as objects.
  TSWFStreamReader shallow(PlainMovie(NestedSprites(3)));
  shallow.ParseTags(true, true);
  EXPECT_NE(dynamic_cast<TSWFDefineSprite*>(shallow.TagInfo(0).TagObject()), nullptr);
  EXPECT_EQ(shallow.TagInfo(0).SubTags.at(0)->SubTags.size(), 2u);
}

TEST(Hostile, SpriteTagRunningPastTheSprite) {
  // Sprite 1 whose inner tag claims 40 bytes of a 3-byte remainder.
  const Bytes body = Hex("CA 09 01 00 01 00 E8 00 01 02 03 40 00 00");
  TSWFStreamReader reader(PlainMovie(body));
  reader.ParseTags(true, true);
  EXPECT_EQ(reader.TagInfo(0).TagCode, kByteCodeTagID);
  EXPECT_FALSE(reader.Truncated());
  reader.BuildBody();
  EXPECT_EQ(ToHex(reader.BodyStream().Bytes()), ToHex(body));
}

}  // namespace
}  // namespace tw::test
