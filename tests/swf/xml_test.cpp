// Movies as XML: the escapes that let any byte string through, the corpus compiled back from its
// XML to the bytes of a copy, and hand edits, good and bad.
#include <sstream>

#include "support/testing.h"
#include "swf/action_branches.h"
#include "swf/action_push.h"
#include "swf/action_tags.h"
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
      {"<End/>", "<RawTag Code=\"6\">AQ!=</RawTag>", "movie.xml:7: <RawTag> does not hold base64 data"},
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

// ---- actions ---------------------------------------------------------------------------------

std::string ActionMovie(std::string_view actions) {
  return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<SWF Version="8" Compressed="false" FrameRate="12" FrameCount="1">
  <FrameSize Xmin="0" Xmax="8000" Ymin="0" Ymax="6000"/>
  <DoAction>
)") + std::string(actions) + R"(  </DoAction>
  <ShowFrame/>
  <End/>
</SWF>
)";
}

// Line 5 of the movie is the first line here.
constexpr std::string_view kActions = R"(    <Push>
      <String Value="hello"/>
    </Push>
    <Trace/>
    <Push>
      <Boolean Value="true"/>
    </Push>
    <If Label="L1"/>
    <Push>
      <String Value="one"/>
    </Push>
    <Trace/>
    <Label Name="L1"/>
    <Push>
      <String Value="two"/>
    </Push>
    <Trace/>
    <Label Name="L2"/>
    <DefineFunction2 Name="f" RegisterCount="2">
      <Parameter Register="1" Name="x"/>
      <Body>
        <Push>
          <Register Number="1"/>
        </Push>
        <Return/>
      </Body>
    </DefineFunction2>
)";

using TEdits = std::vector<std::pair<std::string_view, std::string_view>>;

std::string EditedActions(const TEdits& edits) {
  std::string text(kActions);
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return ActionMovie(text);
}

// The compiled movie read back from its bytes, and the actions of its first DoAction as the
// library reads them (branch targets are markers placed from the numbers).
struct TCompiled {
  std::unique_ptr<TSWFStreamReader> Movie;
  const TSWFActionList* Actions = nullptr;
};

TCompiled CompiledActions(const std::string& text) {
  TCompiled c{std::make_unique<TSWFStreamReader>(Save(*ReadMovieXml(text, "movie.xml")))};
  c.Movie->ParseTags(true, true);
  for (const auto& info : c.Movie->TagList)
    if (auto* action = dynamic_cast<TSWFDoAction*>(info->TagObject()); action && !c.Actions) c.Actions = &action->Actions();
  return c;
}

size_t IndexOf(const TSWFActionList& list, const TSWFAction* record) {
  for (size_t i = 0; i < list.Count(); ++i)
    if (&list[i] == record) return i;
  return list.Count();
}

// "Push two" for a record pushing one string, else the record's name.
std::string Describe(const TSWFAction& a) {
  if (a.ActionCode == 0x96) {
    const auto& values = static_cast<const TSWFActionPush&>(a).Values;
    if (values.size() == 1 && values[0].ValueType == kPushString)
      return "Push " + std::get<std::string>(values[0].Value);
  }
  return ActionCodeName(a.ActionCode);
}

// The first record at or after a branch's marker, as the reader placed it from the number.
std::string TargetOf(const TSWFActionList& list, uint8_t code) {
  for (const auto& record : list) {
    if (record->ActionCode != code) continue;
    const auto* branch = static_cast<const TSWFBranchAction*>(record.get());
    for (size_t i = IndexOf(list, branch->FindMarker()); i < list.Count(); ++i)
      if (list[i].ActionCode != kActionMarker) return Describe(list[i]);
    return "the end";
  }
  return "no record";
}

// The records of a function's body: between the function and its marker.
std::vector<std::string> BodyOf(const TSWFActionList& list) {
  std::vector<std::string> body;
  for (size_t i = 0; i < list.Count(); ++i) {
    if (list[i].ActionCode != 0x8E) continue;
    const auto end = IndexOf(list, static_cast<const TSWFBranchAction&>(list[i]).FindMarker());
    for (size_t k = i + 1; k < end && k < list.Count(); ++k)
      if (list[k].ActionCode != kActionMarker) body.push_back(Describe(list[k]));
  }
  return body;
}

TEST(XmlActions, HandEditsReachTheCompiledBytes) {
  struct Case {
    TEdits edits;
    std::string firstPush, ifTarget;
    std::vector<std::string> body;
  };
  const std::vector<std::string> plainBody{"Push", "Return"};
  const Case cases[] = {
      {{}, "Push hello", "Push two", plainBody},
      {{{"Value=\"hello\"", "Value=\"caf\xC3\xA9\""}}, "Push caf\xC3\xA9", "Push two", plainBody},
      // The If goes to another label, one after its old target and one before it.
      {{{"<If Label=\"L1\"/>", "<If Label=\"L2\"/>"}}, "Push hello", "DefineFunction2", plainBody},
      {{{"<If Label=\"L1\"/>", "<If Label=\"L0\"/>"}, {"    <Push>\n      <String Value=\"hello\"/>", "    <Label Name=\"L0\"/>\n    <Push>\n      <String Value=\"hello\"/>"}},
       "Push hello", "Push hello", plainBody},
      // The function's size follows its body.
      {{{"<Return/>", "<Trace/><Push><Undefined/></Push><Return/>"}}, "Push hello", "Push two",
       {"Push", "Trace", "Push", "Return"}},
  };
  for (const auto& c : cases) {
    const std::string text = EditedActions(c.edits);
    const auto compiled = CompiledActions(text);
    ASSERT_TRUE(compiled.Actions && compiled.Actions->Count() > 0) << text;
    const TSWFActionList& list = *compiled.Actions;
    size_t first = 0;
    while (first < list.Count() && list[first].ActionCode == kActionMarker) ++first;
    ASSERT_LT(first, list.Count());
    EXPECT_EQ(Describe(list[first]), c.firstPush) << text;
    EXPECT_EQ(TargetOf(list, 0x9D), c.ifTarget) << text;
    EXPECT_EQ(BodyOf(list), c.body) << text;
  }
}

TEST(XmlActions, ABadEditNamesTheFileAndLine) {
  struct Case {
    std::string_view from, to, message;
  };
  const Case cases[] = {
      {"<Trace/>", "<Trcae/>", "movie.xml:8: unknown action <Trcae>"},
      {"<If Label=\"L1\"/>", "<If Label=\"L9\"/>", "movie.xml:12: no <Label Name=\"L9\"> in this action list"},
      {"<Register Number=\"1\"/>", "<Register Number=\"256\"/>", "movie.xml:27: Number=256 is out of range (0 to 255)"},
      {"<Parameter Register=\"1\"", "<Parameter Register=\"-1\"", "movie.xml:24: Register=-1 is out of range (0 to 255)"},
      {"<Label Name=\"L2\"/>", "<Label Name=\"L1\"/>", "movie.xml:22: a second <Label Name=\"L1\">"},
      {"<Boolean Value=\"true\"/>", "<Boolean Value=\"yes\"/>", "movie.xml:10: Value=\"yes\" is neither true nor false"},
      {"<String Value=\"one\"/>", "<Strnig Value=\"one\"/>", "movie.xml:14: unknown pushed value <Strnig>"},
      {"<Trace/>", "<Trace Value=\"x\"/>", "movie.xml:8: unknown attribute Value of <Trace>"},
      {"RegisterCount=\"2\"", "RegisterCount=\"2\" CodeSize=\"3\"", "movie.xml:25: a function with a CodeSize has no <Body>"},
      {"<If Label=\"L1\"/>", "<If Offset=\"40000\"/>", "movie.xml:12: Offset=40000 is out of range (-32768 to 32767)"},
      {"<Return/>", "<Action Code=\"0x07\">AA==</Action>", "movie.xml:29: an action code below 0x80 has no body"},
  };
  for (const auto& c : cases) {
    try {
      ReadMovieXml(EditedActions({{c.from, c.to}}), "movie.xml");
      ADD_FAILURE() << "accepted: " << c.to;
    } catch (const ESWFXmlError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, c.message.size()), c.message) << e.what();
    }
  }
}

// Forms the corpus lacks come back to the same text through the bytes.
TEST(XmlActions, RareFormsComeBackExactly) {
  const std::string_view cases[] = {
      // A branch into the middle of a record and one out of the list keep their numbers.
      "    <Jump Offset=\"1\"/>\n    <Push>\n      <Integer Value=\"-2147483648\"/>\n    </Push>\n",
      "    <If Offset=\"-200\"/>\n",
      "    <Jump Label=\"L1\"/>\n    <Label Name=\"L1\"/>\n    <Play/>\n",
      "    <Label Name=\"L1\"/>\n    <Play/>\n    <Jump Label=\"L1\"/>\n    <If Label=\"L1\"/>\n",
      "    <Push>\n      <Constant Index=\"3\" Wide=\"true\"/>\n      <Constant Index=\"300\"/>\n"
      "      <Constant Index=\"3\"/>\n      <Float Value=\"0.1\"/>\n      <Float Bits=\"0x7FC00001\"/>\n"
      "      <Double Bits=\"0x7FF8000000000001\"/>\n      <Double Value=\"-0\"/>\n"
      "      <Boolean Value=\"2\"/>\n      <Null/>\n      <String Value=\"a\\tb\"/>\n    </Push>\n",
      "    <Try CatchRegister=\"3\">\n      <Body>\n        <Throw/>\n      </Body>\n      <Catch/>\n"
      "      <Finally>\n        <Stop/>\n      </Finally>\n    </Try>\n",
      "    <Try CatchName=\"e\">\n      <Body/>\n      <Finally/>\n    </Try>\n",
      "    <With>\n      <With>\n        <Play/>\n      </With>\n    </With>\n    <With/>\n",
      "    <DefineFunction Name=\"g\">\n      <Parameter Name=\"a\"/>\n      <Body/>\n    </DefineFunction>\n",
      "    <Action Code=\"0x1\"/>\n    <Action Code=\"0x96\">BQ==</Action>\n",
      "    <GotoFrame2 PlayFlag=\"true\" SceneBias=\"7\"/>\n    <GetURL2 Method=\"2\" LoadTargetFlag=\"true\"/>\n"
      "    <GetURL URL=\"http://a/\" Target=\"_blank\"/>\n    <WaitForFrame Frame=\"2\" SkipCount=\"1\"/>\n",
  };
  for (const auto& actions : cases) {
    const std::string text = ActionMovie(actions);
    TSWFStreamReader movie(Save(*ReadMovieXml(text, "movie.xml")));
    movie.ParseTags(true, true);
    EXPECT_EQ(ToXml(movie), text);
  }
}

}  // namespace
}  // namespace tw::test
