// The skins the program ships, built from skins/ by the build, and the source form they are made
// from: each built movie reads back tag for tag, declares its parameters where the program finds
// them, and a wrong source is refused with the file and the reason.
#include <algorithm>
#include <filesystem>

#include "app/skin_source.h"
#include "app/templates.h"
#include "support/testing.h"
#include "swf/action_push.h"
#include "swf/action_tags.h"
#include "swf/button_tags.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/shape_tags.h"
#include "swf/stream.h"
#include "swf/text_tags.h"
#include "util/files.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using namespace tw::swf;

void WriteText(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  WriteWholeFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::vector<uint8_t> SaveMovie(TBasedSWFStream& movie) {
  TMemoryStream stream;
  movie.SaveToStream(stream);
  return {stream.Bytes().begin(), stream.Bytes().end()};
}

struct Bundled {
  const char* kind;
  const char* name;
  int width, height;
  std::vector<std::string> params;  // name:type in declaration order
};

const std::vector<Bundled> kBundled = {
    {"player", "compact", 360, 60,
     {"Py.Autostart:bool", "Py.Loop:bool", "Py.Shuffle:bool", "Py.Volume:integer",
      "Py.BgColor:color", "Py.TextColor:color", "Py.ButtonColor:color", "Py.TimeDisplay:selection"}},
    {"player", "playlist", 320, 232,
     {"Py.Autostart:bool", "Py.Loop:bool", "Py.Shuffle:bool", "Py.Volume:integer",
      "Py.BgColor:color", "Py.TextColor:color", "Py.ButtonColor:color", "Py.MarkColor:color",
      "Py.TimeDisplay:selection"}},
    {"player", "round", 80, 80,
     {"Py.Autostart:bool", "Py.Loop:bool", "Py.Shuffle:bool", "Py.Volume:integer",
      "Py.BgColor:color", "Py.TextColor:color", "Py.ButtonColor:color", "Py.Click:selection"}},
    {"player", "modern", 360, 128,
     {"Py.Autostart:bool", "Py.Loop:bool", "Py.Shuffle:bool", "Py.Volume:integer",
      "Py.BgColor:color", "Py.TextColor:color", "Py.AccentColor:color", "Py.TimeDisplay:selection"}},
    {"preloader", "bar", 220, 44, {"Bg.Color:color", "Bg.BgColor:color"}},
    {"preloader", "percent", 120, 120, {"Bg.Color:color", "Bg.BgColor:color"}},
};

TEST(BundledSkins, ReadBackTagForTagWithTheirScriptsAndParameters) {
  for (const Bundled& b : kBundled) {
    SCOPED_TRACE(b.name);
    const fs::path file = ProgramDir() / b.kind / (std::string(b.name) + ".swf");
    ASSERT_TRUE(fs::exists(file)) << file;
    const std::vector<uint8_t> bytes = ReadWholeFile(file);
    TSWFStreamReader reader(bytes);
    ASSERT_TRUE(reader.IsSWF);
    reader.ParseTags(true, true);
    size_t doActions = 0, buttons = 0, texts = 0;
    for (const auto& info : reader.TagList) {
      ASSERT_NE(info->TagObject(), nullptr);
      EXPECT_EQ(dynamic_cast<TSWFByteCodeTag*>(info->TagObject()), nullptr)
          << "tag " << info->TagCode << " did not parse";
      if (auto* action = dynamic_cast<TSWFDoAction*>(info->TagObject())) {
        ++doActions;
        // The definition's pool, then the compiled script (its own pool and many records).
        ASSERT_GT(action->Actions().Count(), 10u);
        EXPECT_TRUE(dynamic_cast<TSWFActionConstantPool*>(&action->Actions().Action(0)));
      }
      if (info->TagCode == 34) ++buttons;
      if (info->TagCode == 37) ++texts;
    }
    EXPECT_EQ(doActions, 1u);
    EXPECT_GT(buttons + texts, 0u);
    // Written again from the objects read, the movie is the same bytes.
    reader.BuildBody();
    EXPECT_EQ(SaveMovie(reader), bytes);

    std::vector<std::string> params;
    if (std::string(b.kind) == "player") {
      std::string problem;
      auto info = ReadTemplateInfo(file.string(), &problem);
      ASSERT_TRUE(info) << problem;
      EXPECT_EQ(info->DefaultWidth, b.width);
      EXPECT_EQ(info->DefaultHeight, b.height);
      for (const TTemplateParam* p = info->FirstParam.get(); p; p = p->Next.get()) {
        params.push_back(p->Name + ":" + std::string(ParamTypeName(p->ParamType)));
        EXPECT_FALSE(p->Caption.empty()) << p->Name;
        EXPECT_EQ(p->Value, p->DefaultValue);
      }
      EXPECT_EQ(info->ParamCount, static_cast<int32_t>(b.params.size()));
    } else {
      TPreloaderParams table;
      ASSERT_TRUE(ReadPreloaderParams(file.string(), table));
      for (const TPreloaderParam& p : table.Params) {
        params.push_back(p.Name + ":" + p.TypeText);
        EXPECT_EQ(p.Value.substr(0, 2), "0x");
      }
    }
    EXPECT_EQ(params, b.params);
  }
}

TEST(SkinSource, BuildsClipsButtonsTextsAndTheDefinition) {
  TempDir dir;
  WriteText(dir / "s" / "skin.xml", R"(<skin kind="preloader" width="100" height="50">
  <params><Bg.Color caption="Bar &amp; text" type="color" default="0xFF8000"/>
    <Bg.Size caption="Size" type="integer" default="3" min="1" max="9"/></params>
  <clip name="face" x="10" y="20"><rect x="0" y="0" w="30" h="10" r="2" fill="0x336699"/>
    <circle cx="5" cy="5" r="4" fill="#FFFFFF" alpha="50" line="0x000000" lineWidth="2"/></clip>
  <button name="go" x="50" y="25"><up><polygon points="0,0 10,5 0,10" fill="0x00FF00"/></up>
    <action on="release">trace("go");</action><action on="rollOver" src="over.as"/></button>
  <text name="label" x="5" y="30" w="90" h="18" size="12" bold="true" align="center" text="hi"/>
  <script src="main.as"/>
  <script>trace("inline");</script>
</skin>)");
  WriteText(dir / "s" / "main.as", "var shown = 1;\ntrace(\"main\");\n");
  WriteText(dir / "s" / "over.as", "trace(\"over\");\n");
  TSkinBuildResult built = BuildSkinMovie(dir / "s");
  EXPECT_EQ(built.Kind, "preloader");
  EXPECT_EQ(built.Sources, (std::vector<fs::path>{dir / "s" / "skin.xml", dir / "s" / "over.as",
                                                  dir / "s" / "main.as"}));
  const std::vector<uint8_t> bytes = SaveMovie(*built.Movie);
  TSWFStreamReader reader(bytes);
  reader.ParseTags(true, true);

  std::vector<std::string> placed;
  const TSWFDefineButton2* button = nullptr;
  const TSWFDefineEditText* text = nullptr;
  const TSWFDefineFont2* font = nullptr;
  const TSWFDoAction* action = nullptr;
  for (const auto& info : reader.TagList) {
    TSWFObject* tag = info->TagObject();
    if (auto* p = dynamic_cast<TSWFPlaceObject2*>(tag))
      placed.push_back(p->Name + "@" + std::to_string(p->Depth) + "@" +
                       std::to_string(p->FindMatrix()->TranslateX / 20) + "," +
                       std::to_string(p->FindMatrix()->TranslateY / 20));
    if (auto* b = dynamic_cast<TSWFDefineButton2*>(tag)) button = b;
    if (auto* t = dynamic_cast<TSWFDefineEditText*>(tag)) text = t;
    if (auto* f = dynamic_cast<TSWFDefineFont2*>(tag)) font = f;
    if (auto* a = dynamic_cast<TSWFDoAction*>(tag)) action = a;
  }
  EXPECT_EQ(placed, (std::vector<std::string>{"face@1@10,20", "go@2@50,25", "label@3@5,30"}));
  ASSERT_TRUE(button && text && font && action);
  // Four states, the missing ones drawn as the up state; one condition action per event.
  ASSERT_EQ(button->Records.size(), 4u);
  EXPECT_EQ(button->Records[0]->CharacterId, button->Records[3]->CharacterId);
  ASSERT_EQ(button->CondActions.size(), 2u);
  EXPECT_EQ(button->CondActions[0]->Conditions, bcOverDownToOverUp);
  EXPECT_EQ(button->CondActions[1]->Conditions, bcIdleToOverUp);
  EXPECT_GT(button->CondActions[1]->Actions.Count(), 0u);
  EXPECT_EQ(font->FontName, "_sans");
  EXPECT_TRUE(font->Bold);
  EXPECT_EQ(text->FontID, font->FontId);
  EXPECT_EQ(text->FontHeight, 240);
  EXPECT_EQ(text->Align, 2);
  EXPECT_EQ(text->InitialText, "hi");
  EXPECT_EQ(text->Bounds, TSWFRect(0, 0, 1800, 360));

  const auto& pool = dynamic_cast<const TSWFActionConstantPool&>(action->Actions().Action(0));
  ASSERT_EQ(pool.Constants.size(), 1u);
  EXPECT_EQ(pool.Constants[0],
            "<ParamsDefine><Bg.Color caption=\"Bar &amp; text\" type=\"color\" default=\"0xFF8000\"/>"
            "<Bg.Size caption=\"Size\" type=\"integer\" default=\"3\" min=\"1\" max=\"9\"/>"
            "</ParamsDefine>");
  // The program reads that definition back.
  const fs::path file = dir / "built.swf";
  WriteWholeFile(file, bytes);
  TPreloaderParams table;
  ASSERT_TRUE(ReadPreloaderParams(file.string(), table));
  ASSERT_EQ(table.Params.size(), 2u);
  EXPECT_EQ(table.Params[0].Caption, "Bar & text");
  EXPECT_EQ(table.Params[1].MaxValue, "9");
}

// A font element embeds the glyphs of its characters: by default every printable character of
// Windows-1252, plus the texts that use it and its chars; texts in it draw with its outlines.
TEST(SkinSource, AFontElementEmbedsItsCharactersAndTheTextsUsingIt) {
  struct TCase {
    const char* font;
    std::vector<uint16_t> someCodes, absentCodes;
    size_t count;
  } const cases[] = {
      {R"(<font name="f" family="DejaVu Sans" style="bold" range="none" chars="&#xDC;&#x20AC;"/>)",
       {u'S', 0xF3, 0xDC, 0x20AC}, {u'a', 0xE9}, 6},  // S, o-acute, n, g and the two chars
      {R"(<font name="f" family="DejaVu Sans" style="bold"/>)", {u' ', u'~', 0xA0, 0xFF, 0x20AC, 0x2122},
       {0x7F, 0x81, 0xAD, 0x100}, 95 + 27 + 95},  // ASCII, the code page's marks, the upper half but the soft hyphen
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.font);
    TempDir dir;
    WriteText(dir / "s" / "skin.xml", std::string(R"(<skin width="100" height="50">)") + c.font +
                                          R"(<text name="t" x="0" y="0" w="90" h="18" font="f" text="S&#xF3;ng"/></skin>)");
    TSkinBuildResult built = BuildSkinMovie(dir / "s");
    const std::vector<uint8_t> bytes = SaveMovie(*built.Movie);
    TSWFStreamReader reader(bytes);
    reader.ParseTags(true, true);
    const TSWFDefineEditText* text = nullptr;
    const TSWFDefineFont2* font = nullptr;
    for (const auto& info : reader.TagList) {
      if (auto* t = dynamic_cast<TSWFDefineEditText*>(info->TagObject())) text = t;
      if (auto* f = dynamic_cast<TSWFDefineFont2*>(info->TagObject())) font = f;
    }
    ASSERT_TRUE(text && font);
    EXPECT_EQ(font->FontName, "DejaVu Sans");
    EXPECT_TRUE(font->Bold);
    EXPECT_TRUE(font->HasLayout);
    EXPECT_EQ(font->CodeTable.size(), c.count);
    EXPECT_EQ(font->GlyphShapeTable.size(), c.count);
    EXPECT_TRUE(std::is_sorted(font->CodeTable.begin(), font->CodeTable.end()));
    auto has = [&](uint16_t code) {
      return std::find(font->CodeTable.begin(), font->CodeTable.end(), code) != font->CodeTable.end();
    };
    for (uint16_t code : c.someCodes) EXPECT_TRUE(has(code)) << code;
    for (uint16_t code : c.absentCodes) EXPECT_FALSE(has(code)) << code;
    EXPECT_EQ(text->FontID, font->FontId);
    EXPECT_TRUE(text->UseOutlines);
    EXPECT_EQ(text->InitialText, "S\u00F3ng");
  }
}

// Where a point of a gradient's square (-16384..16384) lands in the drawing, in pixels.
std::pair<double, double> Through(const TSWFMatrix& m, double gx, double gy) {
  return {(m.ScaleXf() * gx + m.SkewXf() * gy + m.TranslateX) / 20,
          (m.SkewYf() * gx + m.ScaleYf() * gy + m.TranslateY) / 20};
}

// A figure filled with a gradient: its stops are where the source puts them, and it spans the
// figure's own box (not the whole drawing's); a figure without one keeps its colour.
TEST(SkinSource, FiguresTakeGradientsOverTheirOwnBox) {
  TempDir dir;
  WriteText(dir / "s" / "skin.xml", R"(<skin width="200" height="100"><clip name="c" x="5" y="5">
  <rect x="10" y="20" w="100" h="40" r="8">
    <linear angle="90"><stop at="0" color="#FFFFFF"/><stop at="50" color="#808080" alpha="50"/>
      <stop at="100" color="0x000000"/></linear></rect>
  <circle cx="150" cy="50" r="20"><radial cx="25" cy="50"><stop at="0" color="#FF0000"/>
    <stop at="100" color="#0000FF" alpha="0"/></radial></circle>
  <polygon points="0,0 40,0 0,10"><linear><stop at="20" color="#00FF00"/><stop at="80" color="#000000"/></linear></polygon>
  <rect x="0" y="90" w="10" h="10" fill="#336699"/>
</clip></skin>)");
  TSkinBuildResult built = BuildSkinMovie(dir / "s");
  const std::vector<uint8_t> bytes = SaveMovie(*built.Movie);
  TSWFStreamReader reader(bytes);
  reader.ParseTags(true, true);
  const TSWFDefineShape* shape = nullptr;
  for (const auto& info : reader.TagList)
    if (auto* s = dynamic_cast<TSWFDefineShape*>(info->TagObject())) shape = s;
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->TagID, 32) << "a stop below full alpha needs DefineShape3";
  ASSERT_EQ(shape->FillStyles.size(), 4u);

  const auto* linear = dynamic_cast<const TSWFGradientFill*>(shape->FillStyles[0].get());
  ASSERT_TRUE(linear);
  EXPECT_EQ(linear->FillType, kFillLinearGradient);
  ASSERT_EQ(linear->Count, 3);
  EXPECT_EQ(linear->Record(2).Ratio, 128);
  EXPECT_EQ(linear->Record(2).Color.R, 0x80);
  EXPECT_EQ(linear->Record(2).Color.A, 127);
  EXPECT_EQ(linear->Record(3).Ratio, 255);
  // Angle 90: from the rect's top edge to its bottom edge.
  auto [x0, y0] = Through(linear->Matrix, -16384, 0);
  auto [x1, y1] = Through(linear->Matrix, 16384, 0);
  EXPECT_NEAR(x0, 60, 0.2);
  EXPECT_NEAR(y0, 20, 0.2);
  EXPECT_NEAR(x1, 60, 0.2);
  EXPECT_NEAR(y1, 60, 0.2);

  const auto* radial = dynamic_cast<const TSWFGradientFill*>(shape->FillStyles[1].get());
  ASSERT_TRUE(radial);
  EXPECT_EQ(radial->FillType, kFillRadialGradient);
  EXPECT_EQ(radial->Record(2).Color.A, 0);
  // The centre a quarter into the circle's box, reaching as far as its radius.
  auto [cx, cy] = Through(radial->Matrix, 0, 0);
  auto [rx, ry] = Through(radial->Matrix, 16384, 0);
  EXPECT_NEAR(cx, 140, 0.2);
  EXPECT_NEAR(cy, 50, 0.2);
  EXPECT_NEAR(rx - cx, 20, 0.2);

  const auto* edge = dynamic_cast<const TSWFGradientFill*>(shape->FillStyles[2].get());
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->Record(1).Ratio, 51);
  EXPECT_EQ(edge->Record(2).Ratio, 204);
  // Angle 0 by default: across the polygon's box from left to right.
  EXPECT_NEAR(Through(edge->Matrix, -16384, 0).first, 0, 0.2);
  EXPECT_NEAR(Through(edge->Matrix, 16384, 0).first, 40, 0.2);
  EXPECT_NEAR(Through(edge->Matrix, 16384, 0).second, 5, 0.2);

  const auto* solid = dynamic_cast<const TSWFColorFill*>(shape->FillStyles[3].get());
  ASSERT_TRUE(solid);
  EXPECT_EQ(solid->Color.GetRGB(), (TRGBRec{0x33, 0x66, 0x99}));
}

TEST(SkinSource, RefusesWrongSourcesNamingFileAndReason) {
  const struct {
    const char* name;
    const char* xml;
    const char* script;  // main.as, when not null
    const char* message;
  } cases[] = {
      {"not XML", "<skin width=\"10\"", nullptr, "not well-formed XML"},
      {"other root", "<movie/>", nullptr, "the root element must be <skin>"},
      {"no width", "<skin height=\"10\"/>", nullptr, "<skin> needs the attribute width"},
      {"width not a number", "<skin width=\"ten\" height=\"10\"/>", nullptr, "width=\"ten\" is not a number"},
      {"unknown element", "<skin width=\"10\" height=\"10\"><blob/></skin>", nullptr, "unknown element <blob>"},
      {"bad colour", "<skin width=\"10\" height=\"10\"><clip><rect x=\"0\" y=\"0\" w=\"1\" h=\"1\" fill=\"red\"/></clip></skin>",
       nullptr, "fill=\"red\" is not a colour"},
      {"empty clip", "<skin width=\"10\" height=\"10\"><clip name=\"a\"/></skin>", nullptr, "a drawing without"},
      {"short polygon", "<skin width=\"10\" height=\"10\"><clip><polygon points=\"0,0 1,1\"/></clip></skin>",
       nullptr, "at least three points"},
      {"button without up", "<skin width=\"10\" height=\"10\"><button name=\"b\"/></skin>", nullptr, "needs an <up> state"},
      {"unknown event", "<skin width=\"10\" height=\"10\"><button><up><circle cx=\"0\" cy=\"0\" r=\"1\"/></up>"
       "<action on=\"wiggle\"/></button></skin>", nullptr, "unknown button event \"wiggle\""},
      {"missing script", "<skin width=\"10\" height=\"10\"><script src=\"none.as\"/></skin>", nullptr, "none.as"},
      {"script error", "<skin width=\"10\" height=\"10\"><script src=\"main.as\"/></skin>", "var = ;",
       "the frame script does not compile: "},
      {"kind", "<skin kind=\"stage\" width=\"10\" height=\"10\"/>", nullptr, "kind must be player or preloader"},
      {"font without name", "<skin width=\"10\" height=\"10\"><font/></skin>", nullptr, "<font> needs the attribute name"},
      {"font twice", "<skin width=\"10\" height=\"10\"><font name=\"f\"/><font name=\"f\"/></skin>", nullptr,
       "the font \"f\" is defined twice"},
      {"font style", "<skin width=\"10\" height=\"10\"><font name=\"f\" style=\"heavy\"/></skin>", nullptr,
       "style=\"heavy\" is not regular, bold, italic or bold italic"},
      {"gradient without stops", "<skin width=\"10\" height=\"10\"><clip><rect x=\"0\" y=\"0\" w=\"1\" h=\"1\">"
       "<linear/></rect></clip></skin>", nullptr, "<linear> needs one to eight <stop> elements"},
      {"stops out of order", "<skin width=\"10\" height=\"10\"><clip><circle cx=\"0\" cy=\"0\" r=\"1\"><radial>"
       "<stop at=\"60\"/><stop at=\"40\"/></radial></circle></clip></skin>", nullptr,
       "the stops of <radial> must stand in order of at"},
      {"stop beyond the end", "<skin width=\"10\" height=\"10\"><clip><rect x=\"0\" y=\"0\" w=\"1\" h=\"1\">"
       "<linear><stop at=\"120\"/></linear></rect></clip></skin>", nullptr, "at=\"120\" is not a percent"},
      {"two gradients", "<skin width=\"10\" height=\"10\"><clip><rect x=\"0\" y=\"0\" w=\"1\" h=\"1\">"
       "<linear><stop/></linear><radial><stop/></radial></rect></clip></skin>", nullptr,
       "<rect> holds one <linear> or <radial> fill, not <radial>"},
      {"something else in a stop list", "<skin width=\"10\" height=\"10\"><clip><rect x=\"0\" y=\"0\" w=\"1\" h=\"1\">"
       "<linear><stop/><color/></linear></rect></clip></skin>", nullptr, "<linear> holds <stop> elements, not <color>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteText(dir / "skin.xml", c.xml);
    if (c.script) WriteText(dir / "main.as", c.script);
    try {
      BuildSkinMovie(dir.path());
      ADD_FAILURE() << "built";
    } catch (const std::exception& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
  }
}

// A compile error names the file the script stands in, with the line and column there: a script
// file among several (counted in that file alone, wherever it stands in the order), a file of a
// folder beside the skin, or the text of a button action inside skin.xml.
TEST(SkinSource, CompileErrorsPointIntoTheFileOfTheScript) {
  const std::string button =
      "<button name=\"b\"><up><circle cx=\"0\" cy=\"0\" r=\"1\"/></up>\n"
      "  <action on=\"press\">trace(1);\n    trace(=);</action>\n</button>\n";
  const struct {
    const char* name;
    std::string body;  // inside <skin>
    const char* file;  // relative to the skin's folder
    int line, column;
  } cases[] = {
      {"second of three files", "<script src=\"a.as\"/><script src=\"bad.as\"/><script src=\"c.as\"/>",
       "bad.as", 3, 9},
      {"first of two", "<script src=\"bad.as\"/><script src=\"c.as\"/>", "bad.as", 3, 9},
      {"a shared file", "<script src=\"a.as\"/><script src=\"../common/shared.as\"/>",
       "../common/shared.as", 2, 1},
      {"a button action", "\n\n" + button, "skin.xml", 5, 11},
      {"a name unknown to a later file", "<script src=\"a.as\"/><script src=\"late.as\"/>", "late.as", 2, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path skin = dir / "skins" / "s";
    WriteText(skin / "skin.xml", "<skin width=\"10\" height=\"10\">" + c.body + "</skin>");
    WriteText(skin / "a.as", "var a = 1;\nvar b = 2;\nvar c = 3;\nvar d = 4;\n");
    WriteText(skin / "bad.as", "// three lines\nvar x = 1;\nx = x + ;\n");
    WriteText(skin / "c.as", "var c = 3;\n");
    WriteText(skin / "late.as", "function f() {\n  break;\n}\n");
    WriteText(dir / "skins" / "common" / "shared.as", "var s = 1;\n}\n");
    const std::string expected = (skin / c.file).lexically_normal().string() + ":" +
                                 std::to_string(c.line) + ":" + std::to_string(c.column) + ": ";
    try {
      BuildSkinMovie(skin);
      ADD_FAILURE() << "built";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace tw::test
