// Text conversions: Windows-1252, UTF-16 and limits counted in UTF-16 units.
#include "support/testing.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::test {
namespace {

TEST(Text, Conversions) {
  const struct {
    const char* name;
    std::string in;
    std::string out;
  } cases[] = {
      {"ASCII stays", "abc", "abc"},
      {"Latin-1 letter", "caf\xE9", "caf\xC3\xA9"},
      {"Windows-1252 euro and quotes", "\x80\x93", "\xE2\x82\xAC\xE2\x80\x9C"},
      {"undefined code", "\x81", "\xEF\xBF\xBD"},
      {"valid UTF-8 is not encoded twice", "caf\xC3\xA9", "caf\xC3\xA9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToUtf8(c.in), c.out);
  }
  EXPECT_FALSE(IsValidUtf8("\xC0\x80")) << "overlong";
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
  EXPECT_FALSE(IsValidUtf8("\xE2\x82")) << "cut short";
}

TEST(Text, Utf16) {
  EXPECT_EQ(Utf16ToUtf8(std::string("\x41\x00\xE9\x00", 4), false), "A\xC3\xA9");
  EXPECT_EQ(Utf16ToUtf8(std::string("\xD8\x3D\xDE\x00", 4), true), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::string("\x00\xD8", 2), false), "\xEF\xBF\xBD") << "lone surrogate";
  EXPECT_EQ(Utf16ToUtf8(std::string("\x41\x00\x42", 3), false), "A") << "odd byte dropped";
  // Limits count UTF-16 units and never cut a character.
  const std::string s = "a\xF0\x9F\x98\x80" "b";
  EXPECT_EQ(Utf16Length(s), 4u);
  EXPECT_EQ(TruncateUtf16(s, 2), "a");
  EXPECT_EQ(TruncateUtf16(s, 3), "a\xF0\x9F\x98\x80");
  EXPECT_EQ(TruncateUtf16(s, 10), s);
}

TEST(Json, DumpsNestedValues) {
  Json j = Json::MakeObject();
  j.Set("name", "a\"b\n").Set("n", 3).Set("f", 0.5).Set("ok", true).Set("none", nullptr);
  j.Set("list", Json::MakeArray().Push(1).Push("\xE9"));
  EXPECT_EQ(j.Dump(-1),
            "{\"name\":\"a\\\"b\\n\",\"n\":3,\"f\":0.5,\"ok\":true,\"none\":null,"
            "\"list\":[1,\"\xC3\xA9\"]}");
}

}  // namespace
}  // namespace tw::test
