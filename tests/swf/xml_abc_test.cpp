// DoABC as XML: a hand-written file compiled into a movie and read back, hand edits good and bad
// (each bad one named with its file and line), and the forms of the ABC file the corpus never
// uses, each carried through the text to the bytes it came from.
#include <sstream>

#include "support/testing.h"
#include "swf/abc.h"
#include "swf/stream.h"
#include "swf/xml_movie.h"

namespace tw::test {
namespace {
using namespace tw::swf;

std::string MovieWith(std::string_view tags) {
  return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<SWF Version="10" Compressed="false" FrameRate="24" FrameCount="1">
  <FrameSize Xmin="0" Xmax="8000" Ymin="0" Ymax="6000"/>
)") + std::string(tags) + "  <ShowFrame/>\n  <End/>\n</SWF>\n";
}

// Every field form once: options, parameter names, metadata on a slot with a value, a class
// trait, an exception.
constexpr std::string_view kAbc = R"(  <DoABC Name="frame1" LazyInitialize="true" MinorVersion="16" MajorVersion="46">
    <ConstantPool>
      <Int Value="-7"/>
      <Double Value="2.5"/>
      <String Value="Main"/>
      <String Value="hello"/>
      <Namespace Kind="PackageNamespace" Name="0"/>
      <NamespaceSet Namespaces="1"/>
      <QName NS="1" Name="1"/>
      <Multiname Name="2" NSSet="1"/>
    </ConstantPool>
    <Method Name="2" ReturnType="0" ParamTypes="1" ParamNames="2">
      <Option Value="1" Kind="Int"/>
    </Method>
    <Method Name="0" ReturnType="0"/>
    <Metadata Name="1">
      <Item Key="2" Value="1"/>
    </Metadata>
    <Instance Name="1" SuperName="0" ClassSealed="true" Iinit="0">
      <Trait Kind="Slot" Name="2" SpecID="1" Index="0" VIndex="1" VKind="Double" Metadata="0"/>
    </Instance>
    <Class Init="1"/>
    <Script Init="1">
      <Trait Kind="Class" Name="1" SpecID="1" Index="0"/>
    </Script>
    <MethodBody Method="0" MaxStack="1" LocalCount="2" InitScopeDepth="0" MaxScopeDepth="1">
      <Code>0DBH</Code>
      <Exception From="0" To="2" Target="2" ExcType="0" VarName="2"/>
    </MethodBody>
  </DoABC>
)";

Bytes Save(TBasedSWFStream& movie) {
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.Release();
}

// The text compiled and the movie read back by the library; its first tag is the DoABC.
struct Compiled {
  std::unique_ptr<TSWFStreamReader> movie;
  TSWFDoABC* abc = nullptr;
};

Compiled Compile(const std::string& text) {
  Compiled c;
  auto made = ReadMovieXml(text, "abc.xml");
  c.movie = std::make_unique<TSWFStreamReader>(Save(*made));
  c.movie->ParseTags(true, true);
  if (!c.movie->TagList.empty()) c.abc = dynamic_cast<TSWFDoABC*>(c.movie->TagList[0]->TagObject());
  return c;
}

std::string Edited(std::string_view from, std::string_view to, size_t* line = nullptr) {
  std::string text = MovieWith(kAbc);
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at == std::string::npos) return text;
  if (line) *line = 1 + std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(at), '\n');
  text.replace(at, from.size(), to);
  return text;
}

TEST(XmlAbc, AHandWrittenFileCompilesToTheStructuresItSpells) {
  const Compiled c = Compile(MovieWith(kAbc));
  ASSERT_NE(c.abc, nullptr);
  const TSWFDoABC& t = *c.abc;
  EXPECT_TRUE(t.ParseActions);
  EXPECT_TRUE(t.LazyInitializeFlag);
  EXPECT_EQ(t.Name, "frame1");
  EXPECT_EQ(t.ConstantPool.Int, (std::vector<int32_t>{-7}));
  EXPECT_EQ(t.ConstantPool.Double, (std::vector<double>{2.5}));
  EXPECT_EQ(t.ConstantPool.Strings, (std::vector<std::string>{"Main", "hello"}));
  ASSERT_EQ(t.ConstantPool.Namespaces.size(), 1u);
  EXPECT_EQ(t.ConstantPool.Namespaces[0].Kind, 0x16);
  ASSERT_EQ(t.ConstantPool.Multinames.size(), 2u);
  EXPECT_EQ(t.ConstantPool.Multinames[0]->Kind, 0x07);
  const auto* multiname = dynamic_cast<const TSWFmnMultiname*>(t.ConstantPool.Multinames[1].get());
  ASSERT_NE(multiname, nullptr);
  EXPECT_EQ(multiname->NSSet, 1u);
  ASSERT_EQ(t.Methods.size(), 2u);
  EXPECT_EQ(t.Methods[0].Flags, TSWFAS3Method::kHasOptional | TSWFAS3Method::kHasParamNames);
  EXPECT_EQ(t.Methods[0].Options, (TSWFAS3MethodOptions{{1, 0x03}}));
  EXPECT_EQ(t.Methods[0].ParamNames, (TSWFIntegerList{2}));
  ASSERT_EQ(t.Metadata.size(), 1u);
  EXPECT_EQ(t.Metadata[0].Items, (std::vector<TSWFAS3MetadataItem>{{2, 1}}));
  ASSERT_EQ(t.Instances.size(), 1u);
  EXPECT_EQ(t.Instances[0].Flags, TSWFAS3InstanceItem::kClassSealed);
  ASSERT_EQ(t.Instances[0].Traits.size(), 1u);
  const TSWFAS3Trait& slot = t.Instances[0].Traits[0];
  EXPECT_EQ(slot.TraitType, 0);
  EXPECT_EQ(slot.VIndex, 1u);
  EXPECT_EQ(slot.VKind, 0x06);
  EXPECT_TRUE(slot.HasMetadata);
  EXPECT_EQ(slot.Metadata, (TSWFIntegerList{0}));
  ASSERT_EQ(t.Scripts.size(), 1u);
  ASSERT_EQ(t.Scripts[0].Traits.size(), 1u);
  EXPECT_EQ(t.Scripts[0].Traits[0].TraitType, 4);
  ASSERT_EQ(t.MethodBodies.size(), 1u);
  EXPECT_EQ(t.MethodBodies[0].Code, Hex("D0 30 47"));
  EXPECT_EQ(t.MethodBodies[0].Exceptions, (std::vector<TSWFAS3Exception>{{0, 2, 2, 0, 2}}));
}

TEST(XmlAbc, AnEditedFieldReachesTheCompiledMovie) {
  struct Case {
    std::string_view from, to;
    std::function<void(const TSWFDoABC&)> check;
  };
  const Case cases[] = {
      {"\"hello\"", "\"bonjour \\xE9\"",
       [](const TSWFDoABC& t) { EXPECT_EQ(t.ConstantPool.Strings.at(1), "bonjour \xE9"); }},
      {"LazyInitialize=\"true\" ", "", [](const TSWFDoABC& t) { EXPECT_FALSE(t.LazyInitializeFlag); }},
      {"\"-7\"", "\"2147483647\"",
       [](const TSWFDoABC& t) { EXPECT_EQ(t.ConstantPool.Int.at(0), 2147483647); }},
      {"\"PackageNamespace\"", "\"PrivateNs\"",
       [](const TSWFDoABC& t) { EXPECT_EQ(t.ConstantPool.Namespaces.at(0).Kind, 0x05); }},
      {"MaxStack=\"1\"", "MaxStack=\"3\"",
       [](const TSWFDoABC& t) { EXPECT_EQ(t.MethodBodies.at(0).MaxStack, 3u); }},
      {"<Code>0DBH</Code>", "<Code>0DAwRw==</Code>",  // one more pushscope
       [](const TSWFDoABC& t) { EXPECT_EQ(t.MethodBodies.at(0).Code, Hex("D0 30 30 47")); }},
      {"<String Value=\"hello\"/>", "<String Value=\"hello\"/>\n      <String Value=\"added\"/>",
       [](const TSWFDoABC& t) { EXPECT_EQ(t.ConstantPool.Strings.at(2), "added"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.to);
    const Compiled compiled = Compile(Edited(c.from, c.to));
    ASSERT_NE(compiled.abc, nullptr);
    c.check(*compiled.abc);
  }
}

TEST(XmlAbc, ABadEditNamesTheFileAndLine) {
  struct Case {
    std::string_view from, to, message;
  };
  const Case cases[] = {
      {"<QName NS=\"1\" Name=\"1\"/>", "<QName NS=\"1\" Name=\"5\"/>",
       "Name=5 is beyond the string pool (0 to 2)"},
      {"<QName NS=\"1\"", "<QName NS=\"2\"", "NS=2 is beyond the namespace pool (0 to 1)"},
      {"Name=\"2\" NSSet=\"1\"", "Name=\"2\" NSSet=\"2\"", "NSSet=2 is beyond the namespace-set pool (0 to 1)"},
      {"Namespaces=\"1\"", "Namespaces=\"1 2\"", "Namespaces=2 is beyond the namespace pool (0 to 1)"},
      {"ParamTypes=\"1\"", "ParamTypes=\"3\"", "ParamTypes=3 is beyond the multiname pool (0 to 2)"},
      {"Value=\"1\" Kind=\"Int\"", "Value=\"2\" Kind=\"Int\"", "Value=2 is beyond the int pool (0 to 1)"},
      {"Iinit=\"0\"", "Iinit=\"2\"", "Iinit=2 is beyond the methods (0 to 1)"},
      {"Kind=\"Class\" Name=\"1\" SpecID=\"1\" Index=\"0\"", "Kind=\"Class\" Name=\"1\" SpecID=\"1\" Index=\"1\"",
       "Index=1 is beyond the classes (0 to 0)"},
      {"Metadata=\"0\"", "Metadata=\"1\"", "Metadata=1 is beyond the metadata (0 to 0)"},
      {"VIndex=\"1\"", "VIndex=\"2\"", "VIndex=2 is beyond the double pool (0 to 1)"},
      {"<MethodBody Method=\"0\"", "<MethodBody Method=\"5\"", "Method=5 is beyond the methods (0 to 1)"},
      {"VarName=\"2\"", "VarName=\"3\"", "VarName=3 is beyond the multiname pool (0 to 2)"},
      {"<Multiname Name", "<Multiname2 Name", "unknown element <Multiname2> in <ConstantPool>"},
      {"<Multiname Name=\"2\" NSSet=\"1\"/>", "<MultinameL Kind=\"0x07\" NSSet=\"1\"/>",
       "Kind=7 has an element of its own: <QName>"},
      {"Kind=\"Slot\"", "Kind=\"Variable\"", "Kind=\"Variable\" is not a trait kind"},
      {"Kind=\"Int\"", "Kind=\"Float\"", "Kind=\"Float\" is not a constant kind"},
      {"ParamNames=\"2\"", "ParamNames=\"2 1\"", "ParamNames has 2 names for 1 parameters"},
      {"ParamTypes=\"1\"", "ParamTypes=\"1,2\"", "ParamTypes=\"1,2\" is not a list of whole numbers"},
      {"ClassSealed=\"true\"", "ReservedFlags=\"0x01\"", "ReservedFlags may only hold the bits without a name"},
      {"<DoABC Name", "<DoABC ReservedFlags=\"3\" Name", "ReservedFlags may not hold bit 0"},
      {"<Class Init=\"1\"/>", "<Class Init=\"1\"/><Class Init=\"0\"/>",
       "<DoABC> has 1 <Instance> and 2 <Class> elements"},
      {"<Code>0DBH</Code>", "<Code>0DBH</Code><Trait Kind=\"Const\" Name=\"9\" SpecID=\"0\" Index=\"0\"/>",
       "Name=9 is beyond the multiname pool (0 to 2)"},
      // The bytes of a file the text could not check stand alone: fields beside them are refused.
      {"<ConstantPool>", "<ABCData>AA==</ABCData><ConstantPool>",
       "unknown element <ConstantPool> in <DoABC>"},
  };
  for (const auto& c : cases) {
    size_t line = 0;
    const std::string text = Edited(c.from, c.to, &line);
    const std::string expected = "abc.xml:" + std::to_string(line) + ": " + std::string(c.message);
    try {
      ReadMovieXml(text, "abc.xml");
      ADD_FAILURE() << "accepted: " << c.to;
    } catch (const ESWFXmlError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, expected.size()), expected) << e.what();
    }
  }
}

std::string TagXml(TSWFObject& tag) {
  std::ostringstream out;
  TSWFXmlWriter xml(out);
  WriteTagXml(xml, tag);
  xml.Finish();
  std::string text = out.str();
  return text.substr(text.find('\n') + 1);  // without the declaration
}

// Flags 0 with reserved bits as given, an empty name, version 46.16, then the ABC file.
Bytes AbcBody(std::string_view flags, std::string_view abc) {
  return Hex(std::string(flags) + " 00 10 00 2E 00 " + std::string(abc));
}

TEST(XmlAbc, FormsTheCorpusLacksComeBackToTheirBytes) {
  constexpr std::string_view kNoLists = " 00 00 00 00 00";  // methods .. bodies
  struct Case {
    const char* name;
    std::string flags, abc;
    bool parse;
    std::string_view shows;  // in the text
  };
  const Case cases[] = {
      {"not parsed: the bytes", "01 00 00 00", "00 00 00 00 00 00 00 00 00 00 00 00", false,
       "<ABCData>AAAAAAAAAAAAAAAA</ABCData>"},
      {"flag bits besides the lazy one", "03 00 00 80", "00 00 00 00 00 00 00" + std::string(kNoLists),
       true, "LazyInitialize=\"true\" ReservedFlags=\"0x80000002\""},
      {"an index beyond its pool keeps the file as bytes", "00 00 00 00",
       "00 00 00 00 00 00 02 20 05" + std::string(kNoLists), true, "<ABCData>"},
      {"a multiname kind of its own", "00 00 00 00",
       "00 00 00 00 00 02 00 02 20 01" + std::string(kNoLists), true,
       "<MultinameL Kind=\"0x20\" NSSet=\"1\"/>"},
      {"a NaN keeps its payload", "00 00 00 00",
       "00 00 02 01 00 00 00 00 00 F8 7F 00 00 00 00" + std::string(kNoLists), true,
       "<Double Bits=\"0x7FF8000000000001\"/>"},
      {"empty pools counted 1", "00 00 00 00", "01 00 01 00 00 01 00" + std::string(kNoLists), true,
       "<ConstantPool EmptyCountsOfOne=\"0x25\"/>"},
      {"optional flag without options, names of no parameters, bits without names", "00 00 00 00",
       "00 00 00 00 00 00 00 01 00 00 00 B8 00 00 00 00 00", true,
       "ParamNames=\"\" HasOptional=\"true\" ReservedFlags=\"0x30\""},
      {"instance flag bits without names", "00 00 00 00",
       "00 00 00 00 00 00 00  01 00 00 00 00  00  01  00 00 F1 00 00 00  00 00  00  00", true,
       "ClassSealed=\"true\" ReservedFlags=\"0xF0\""},
      {"a const trait", "00 00 00 00",
       "00 00 00 00 00 00 00  01 00 00 00 00  00  00  01 00 01 00 06 00 00 00  00", true,
       "<Trait Kind=\"Const\" Name=\"0\" SpecID=\"0\" Index=\"0\"/>"},
      {"a trait of kind 9 keeps the file as bytes", "00 00 00 00",
       "00 00 00 00 00 00 00  01 00 00 00 00  00  00  01 00 01 00 09 00 00  00", true, "<ABCData>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes body = AbcBody(c.flags, c.abc);
    TSWFReadContext context;
    context.ParseActions = c.parse;
    const auto abc = ReadTag<TSWFDoABC>(body, context);
    ASSERT_EQ(ToHex(WriteBody(*abc)), ToHex(body));
    const std::string xml = TagXml(*abc);
    EXPECT_NE(xml.find(c.shows), std::string::npos) << xml;
    const Compiled compiled = Compile(MovieWith(xml));
    ASSERT_NE(compiled.abc, nullptr);
    EXPECT_EQ(ToHex(WriteBody(*compiled.abc)), ToHex(body));
    // Bytes that parse are read back as fields: only a parsed file is a fixed point at once.
    if (c.parse) {
      EXPECT_EQ(TagXml(*compiled.abc), xml);
    }
  }
}

}  // namespace
}  // namespace tw::test
