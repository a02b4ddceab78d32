// Movies as XML: the escapes that let any byte string through, the corpus compiled back from its
// XML to the bytes of a copy, and hand edits, good and bad.
#include <sstream>

#include "support/testing.h"
#include "swf/control_tags.h"
#include "swf/stream.h"
#include "swf/xml_movie.h"
#include "util/files.h"

namespace tw::test {
namespace {
using namespace tw::swf;

TEST(XmlEscapes, AnyByteStringComesBackAndReadableTextStaysReadable) {
  struct Case {
    std::string bytes, text;
  };
  const Case cases[] = {
      {"plain text", "plain text"},
      {"a\\b", "a\\\\b"},
      {"line\nnext\r\ttab", "line\\nnext\\r\\ttab"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"\x7F", "\\x7F"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
      {"latin1 caf\xE9", "latin1 caf\\xE9"},               // an 8-bit text of a version-5 movie
      {"\xC3", "\\xC3"},                                   // a sequence cut short
      {"\xC0\xAF", "\\xC0\\xAF"},                          // an overlong form
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                 // a surrogate
      {"\xEF\xBF\xBF", "\\xEF\\xBF\\xBF"},                 // U+FFFF is no XML character
      {"<&\">", "<&\">"},                                  // markup is the writer's business
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeXmlString(c.bytes), c.text) << ToHex(Bytes(c.bytes.begin(), c.bytes.end()));
    EXPECT_EQ(UnescapeXmlString(c.text), c.bytes) << c.text;
  }
  for (const char* broken : {"\\", "ends with \\", "\\q", "\\x4", "\\xG0", "\\X41"})
    EXPECT_EQ(UnescapeXmlString(broken), std::nullopt) << broken;
}

TEST(XmlEscapes, Base64FollowsTheStandardVectorsAndRefusesTheRest) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, coded] : vectors) {
    const Bytes bytes(plain.begin(), plain.end());
    EXPECT_EQ(EncodeBase64(bytes), coded);
    EXPECT_EQ(DecodeBase64(coded), bytes) << coded;
  }
  EXPECT_EQ(DecodeBase64("Zm9v\n  YmFy\n"), Bytes({'f', 'o', 'o', 'b', 'a', 'r'}));
  for (const char* bad : {"Zg=", "Zg===", "Z", "Zm9v!", "Zh==", "Zg==Zg==", "Zm8=x"})
    EXPECT_EQ(DecodeBase64(bad), std::nullopt) << bad;
}

Bytes Save(TBasedSWFStream& movie) {
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.Release();
}

std::string ToXml(TSWFStreamReader& movie) {
  std::ostringstream out;
  WriteMovieXml(movie, out);
  return out.str();
}

// The bytes `swf copy` writes for a movie.
Bytes CopyOf(std::span<const uint8_t> bytes) {
  TSWFStreamReader copier(bytes);
  copier.ParseTags(true, true);
  copier.BuildBody();
  return Save(copier);
}

TEST(XmlCorpus, EveryMovieCompilesBackToTheBytesOfItsCopyAndItsXmlIsAFixedPoint) {
  int checked = 0, failed = 0;
  for (const auto& file : CorpusMovies()) {
    const std::string name = file.filename().string();
    const Bytes original = ReadWholeFile(file);
    TSWFStreamReader reader(original);
    if (reader.Truncated()) continue;  // `swf copy` refuses it as well
    reader.ParseTags(true, true);
    if (reader.Truncated()) continue;
    const std::string xml = ToXml(reader);
    std::unique_ptr<TSWFStreamReader> compiled;
    try {
      compiled = ReadMovieXml(xml, name + ".xml");
    } catch (const std::exception& e) {
      if (failed++ < 10) ADD_FAILURE() << name << ": " << e.what();
      continue;
    }
    const Bytes bytes = Save(*compiled);
    ++checked;
    if (bytes != CopyOf(original)) {
      if (failed++ < 10) ADD_FAILURE() << name << ": the compiled movie differs from the copy";
      continue;
    }
    TSWFStreamReader again(bytes);
    again.ParseTags(true, true);
    if (ToXml(again) != xml && failed++ < 10)
      ADD_FAILURE() << name << ": the XML of the compiled movie differs";
  }
  EXPECT_EQ(failed, 0);
  EXPECT_GT(checked, 600);
}

// A small movie as text, to edit by hand.
constexpr std::string_view kMovie = R"(<?xml version="1.0" encoding="UTF-8"?>
<SWF Version="6" Compressed="false" FrameRate="12" FrameCount="1">
  <FrameSize Xmin="0" Xmax="8000" Ymin="0" Ymax="6000"/>
  <SetBackgroundColor Color="#336699"/>
  <FrameLabel Name="start"/>
  <ShowFrame/>
  <End/>
</SWF>
)";

std::string Edited(std::string_view from, std::string_view to) {
  std::string text(kMovie);
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(XmlEdits, AnEditedValueReachesTheCompiledMovie) {
  auto plain = ReadMovieXml(kMovie, "movie.xml");
  TSWFStreamReader movie(Save(*plain));
  movie.ParseTags(true, true);
  ASSERT_EQ(movie.TagList.size(), 4u);
  EXPECT_EQ(movie.Version(), 6);
  EXPECT_EQ(movie.FrameRect(), (TRect{0, 0, 8000, 6000}));
  EXPECT_EQ(movie.FrameRate(), 12 * 256);
  auto* background = dynamic_cast<TSWFSetBackgroundColor*>(movie.TagList[0]->TagObject());
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->Color.GetRGB(), MakeRGB(0x33, 0x66, 0x99));

  auto recoloured = ReadMovieXml(Edited("#336699", "#FF0080"), "movie.xml");
  TSWFStreamReader again(Save(*recoloured));
  again.ParseTags(true, true);
  background = dynamic_cast<TSWFSetBackgroundColor*>(again.TagList[0]->TagObject());
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->Color.GetRGB(), MakeRGB(0xFF, 0x00, 0x80));

  auto relabelled = ReadMovieXml(Edited("\"start\"", "\"caf\xC3\xA9\\x01\""), "movie.xml");
  TSWFStreamReader third(Save(*relabelled));
  third.ParseTags(true, true);
  auto* label = dynamic_cast<TSWFFrameLabel*>(third.TagList[1]->TagObject());
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Name, "caf\xC3\xA9\x01");

  auto halfFrame = ReadMovieXml(Edited("FrameRate=\"12\"", "FrameRate=\"24.5\""), "movie.xml");
  EXPECT_EQ(halfFrame->FrameRate(), 24 * 256 + 128);
}

TEST(XmlEdits, ABadEditNamesTheFileAndLine) {
  struct Case {
    std::string_view from, to, message;
  };
  const Case cases[] = {
      {"<FrameLabel Name=\"start\"/>", "<FrameLabel Name=\"start\">", "movie.xml:8: Start-end tags mismatch"},
      {"<ShowFrame/>", "<ShowFrame/><Nonsense/>", "movie.xml:6: unknown element <Nonsense>"},
      {"#336699", "#3366", "movie.xml:4: Color=\"#3366\" is not a colour #RRGGBB"},
      {"Color=\"#336699\"", "Colour=\"#336699\"", "movie.xml:4: <SetBackgroundColor> lacks the attribute Color"},
      {"Name=\"start\"", "Name=\"start\" Anchor=\"yes\"", "movie.xml:5: Anchor=\"yes\" is neither true nor false"},
      {"Name=\"start\"", "Name=\"start\" Colour=\"red\"", "movie.xml:5: unknown attribute Colour of <FrameLabel>"},
      {"Name=\"start\"", "Name=\"st\\art\"", "movie.xml:5: Name has a broken escape"},
      {"Name=\"start\"", "Name=\"st\\x00art\"", "movie.xml:5: Name may not hold the byte \\x00"},
      {"Version=\"6\"", "Version=\"300\"", "movie.xml:2: Version=300 is out of range (0 to 255)"},
      {"FrameCount=\"1\"", "FrameCount=\"one\"", "movie.xml:2: FrameCount=\"one\" is not a whole number"},
      {"FrameRate=\"12\"", "FrameRate=\"12.1\"", "movie.xml:2: FrameRate must be a multiple of 1/256"},
      {"  <FrameSize Xmin=\"0\" Xmax=\"8000\" Ymin=\"0\" Ymax=\"6000\"/>\n", "",
       "movie.xml:2: <SWF> lacks its <FrameSize> element"},
      {"<ShowFrame/>", "<ShowFrame>text</ShowFrame>", "movie.xml:6: unexpected text in <ShowFrame>"},
      {"<End/>", "<RawTag Code=\"2000\">AAAA</RawTag>", "movie.xml:7: Code=2000 is out of range"},
      {"<End/>", "<DoAction><Action Code=\"0x96\">AA=A</Action></DoAction>", "movie.xml:7: <Action> does not hold base64 data"},
      {"<End/>", "<DefineShape><Body>AQA=</Body></DefineShape>", "movie.xml:7: the body of <DefineShape> cannot be read"},
  };
  for (const auto& c : cases) {
    const std::string text = Edited(c.from, c.to);
    try {
      ReadMovieXml(text, "movie.xml");
      ADD_FAILURE() << "accepted: " << c.to;
    } catch (const ESWFXmlError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, c.message.size()), c.message) << e.what();
    }
  }
}

}  // namespace
}  // namespace tw::test
