// Player templates and preloaders: finding their parameter definitions, reading them into the
// project's records, hostile files, and editing the values the project holds.
#include <filesystem>
#include <optional>
#include <tuple>

#include "app/app_support.h"
#include "app/paths.h"
#include "support/template_movies.h"
#include "app/templates.h"
#include "builder/movie.h"
#include "swf/action_tags.h"
#include "swf/sprite.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

struct ParamView {
  std::string Name, Caption, Default, Value, Selection;
  TParamType Type;
  bool operator==(const ParamView&) const = default;
};

std::vector<ParamView> Params(const TTemplateInfo& info) {
  std::vector<ParamView> out;
  for (const TTemplateParam* p = info.FirstParam.get(); p; p = p->Next.get())
    out.push_back({p->Name, p->Caption, p->DefaultValue, p->Value, p->Selection, p->ParamType});
  return out;
}

TEST(TemplateInfo, ReadsTheDefinitionOfATemplate) {
  TempDir dir;
  TTemplateMovie movie;
  movie.Width = 400;
  movie.Height = 150;
  movie.Constants = {"ParamsValue", UsualDefinition(), "MAXWAITFRAME"};
  WriteTemplate(dir / "classic.swf", movie);
  std::string problem;
  auto info = ReadTemplateInfo((dir / "classic.swf").string(), &problem);
  ASSERT_TRUE(info) << problem;
  EXPECT_EQ(info->DefaultWidth, 400);
  EXPECT_EQ(info->DefaultHeight, 150);
  EXPECT_EQ(info->ParamCount, 6);
  const std::vector<ParamView> expected = {
      {"Py.Autostart", "Auto start", "Yes", "Yes", "", TParamType::Bool},
      {"Py.Loop", "Loop", "Yes", "Yes", "", TParamType::Bool},
      {"Py.Volume", "Volume", "80", "80", "", TParamType::Integer},
      {"Py.Color", "Colour", "0x336699", "0x336699", "", TParamType::Color},
      {"Py.Skin", "Skin", "dark", "dark", "dark;light;;blue", TParamType::Selection},
      {"Py.Title", "Title", "Grüße – ♫", "Grüße – ♫", "", TParamType::Color},
  };
  EXPECT_EQ(Params(*info), expected);
}

// A movie of DoAction tags, each with the constant pools given, parsed as the readers parse it.
std::unique_ptr<swf::TSWFStreamReader> MovieOfPools(
    const std::vector<std::vector<std::vector<std::string>>>& doActions, bool inSprite = false) {
  builder::TFlashMovie movie(0, 0, 100, 100, 12, swf::TSystemCoord::Pix);
  movie.SetVersion(8);
  for (const auto& pools : doActions) {
    auto tag = std::make_unique<swf::TSWFDoAction>();
    builder::TFlashActionScript script(nullptr, &tag->Actions());
    for (const auto& pool : pools) {
      script.ConstantPool(pool);
      script.Pop();
    }
    if (inSprite) {
      auto sprite = std::make_unique<swf::TSWFDefineSprite>();
      sprite->SpriteID = 1;
      sprite->ControlTags.push_back(std::move(tag));
      movie.AddObject(std::move(sprite));
    } else {
      movie.AddObject(std::move(tag));
    }
  }
  movie.ShowFrame();
  movie.BuildBody();
  swf::TMemoryStream out;
  movie.SaveToStream(out);
  auto reader = std::make_unique<swf::TSWFStreamReader>(out.Bytes());
  reader->ParseTags(true, true);
  return reader;
}

TEST(TemplateInfo, WhichConstantIsTheDefinition) {
  const std::string a = "<ParamsDefine><A/></ParamsDefine>", b = "<paramsdefine><B/></paramsdefine>",
                    c = "<PARAMSDEFINE><C/></PARAMSDEFINE>";
  struct Case {
    const char* name;
    std::vector<std::vector<std::vector<std::string>>> doActions;
    bool inSprite;
    std::optional<std::string> found;
  };
  const Case cases[] = {
      {"the root start tag in any case", {{{"x", b}}}, false, b},
      {"the first qualifying constant of a pool", {{{a, c}}}, false, a},
      {"a later pool of the same DoAction replaces an earlier one", {{{a}, {"y"}, {c}}}, false, c},
      {"the first DoAction with a definition decides", {{{"x"}}, {{b}}, {{a}}}, false, b},
      {"the start tag alone is too short", {{{"<ParamsDefine>"}}}, false, std::nullopt},
      {"a declaration before the root hides it",
       {{{"<?xml version=\"1.0\"?><ParamsDefine><A/></ParamsDefine>"}}}, false, std::nullopt},
      {"whitespace before the root hides it", {{{" " + a}}}, false, std::nullopt},
      {"a sprite's script is not the main timeline's", {{{a}}}, true, std::nullopt},
      {"no constant pool at all", {{}}, false, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto reader = MovieOfPools(c.doActions, c.inSprite);
    EXPECT_EQ(FindParamsDefine(*reader), c.found);
  }
}

// Files that are no usable template stay in the list without a description; none of them may
// crash or hang the scan.
TEST(TemplateInfo, HostileFilesHaveNoDescription) {
  TempDir dir;
  auto withDefinition = [&](const char* name, const std::string& definition) {
    WriteTemplate(dir / name, definition);
  };
  withDefinition("lower_root.swf", "<paramsdefine><A type=\"bool\"/></paramsdefine>");
  withDefinition("unclosed.swf", "<ParamsDefine><A type=\"bool\"></ParamsDefine>");
  withDefinition("two_roots.swf", "<ParamsDefine><A/></ParamsDefine><ParamsDefine/>");
  withDefinition("text_after.swf", "<ParamsDefine><A/></ParamsDefine>junk");
  withDefinition("bad_attribute.swf", "<ParamsDefine><A caption=unquoted/></ParamsDefine>");
  TTemplateMovie none;
  WriteTemplate(dir / "no_definition.swf", none);
  WriteWholeFile(dir / "readme.swf", Hex("48 65 6C 6C 6F"));
  WriteWholeFile(dir / "empty.swf", {});
  Bytes whole = TemplateBytes(TTemplateMovie{{UsualDefinition()}});
  whole.resize(40);
  WriteWholeFile(dir / "cut.swf", whole);
  Bytes broken = TemplateBytes(TTemplateMovie{.Constants = {UsualDefinition()}, .Compressed = true});
  for (size_t i = 12; i < broken.size(); ++i) broken[i] ^= 0x5A;
  WriteWholeFile(dir / "corrupt_zlib.swf", broken);
  fs::create_directory(dir / "folder.swf");

  struct Case {
    const char* file;
    std::string problem;
  };
  const Case cases[] = {
      {"lower_root.swf", "the parameter definition's root element is not ParamsDefine"},
      {"unclosed.swf", "the parameter definition is not well-formed XML (Start-end tags mismatch at offset 31)"},
      {"two_roots.swf", "the parameter definition has more than one root element"},
      {"text_after.swf", "the parameter definition has text outside its root element"},
      {"bad_attribute.swf", "the parameter definition is not well-formed XML (Error parsing element attribute at offset 25)"},
      {"no_definition.swf", "no parameter definition"},
      {"readme.swf", "not a SWF movie"},
      {"empty.swf", "not a SWF movie"},
      {"cut.swf", "no parameter definition"},
      {"corrupt_zlib.swf", ""},
      {"folder.swf", "no such file"},
      {"missing.swf", "no such file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string problem;
    EXPECT_EQ(ReadTemplateInfo((dir / c.file).string(), &problem), nullptr);
    if (c.problem.empty()) EXPECT_EQ(problem.rfind("cannot be read: ", 0), 0u) << problem;
    else EXPECT_EQ(problem, c.problem);
    TPreloaderParams table;
    table.Params.push_back({});
    ReadPreloaderParams((dir / c.file).string(), table);
    EXPECT_TRUE(table.Params.empty());
  }
  const auto list = ScanTemplates(dir.path().string());
  ASSERT_EQ(list.size(), 11u);
  for (const auto& entry : list) EXPECT_EQ(entry.Info, nullptr) << entry.FileName;
}

TEST(TemplateInfo, ThousandsOfConstantsAndACompressedTemplate) {
  TempDir dir;
  TTemplateMovie movie;
  for (int i = 0; i < 5000; ++i) movie.Constants.push_back("c" + std::to_string(i));
  movie.Constants.push_back(UsualDefinition());
  movie.Compressed = true;
  WriteTemplate(dir / "big.swf", movie);
  auto info = ReadTemplateInfo((dir / "big.swf").string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->ParamCount, 6);
}

TEST(TemplateInfo, DefinitionBytesInWindows1252AndComments) {
  TempDir dir;
  // "M\xFCller" is Windows-1252 for "Müller"; a comment and stray text are no parameters.
  WriteTemplate(dir / "t.swf",
                std::string("<ParamsDefine><!-- skin --><Py.Name caption=\"M\xFCller\" default=\"\x80 5\"/>"
                            "text<Py.Loop type=\"BOOL\" default=\"No\"/></ParamsDefine>"));
  auto info = ReadTemplateInfo((dir / "t.swf").string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->ParamCount, 2);
  const std::vector<ParamView> expected = {
      {"Py.Name", "Müller", "€ 5", "€ 5", "", TParamType::Color},
      {"Py.Loop", "", "No", "No", "", TParamType::Bool},
  };
  EXPECT_EQ(Params(*info), expected);
}

TEST(TemplateInfo, LongTextsAreCutTo255Units) {
  TempDir dir;
  const std::string caption(300, 'c');
  std::string value;
  for (int i = 0; i < 200; ++i) value += "é";  // 200 units, 400 bytes
  value += std::string(100, 'v');
  WriteTemplate(dir / "t.swf", Definition({{"A", "caption=\"" + caption + "\" default=\"" + value + "\""}}));
  auto info = ReadTemplateInfo((dir / "t.swf").string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->FirstParam->Caption, std::string(255, 'c'));
  EXPECT_EQ(Utf16Length(info->FirstParam->Value), 255u);
  EXPECT_EQ(info->FirstParam->Value, value.substr(0, 400 + 55));
}

TEST(Preloaders, ReadTheTableAsWritten) {
  TempDir dir;
  WriteTemplate(dir / "bar.swf",
                Definition({
                    {"Bg.Color", R"(caption="Bar" type="Color" default="0xFF8000")"},
                    {"Bg.BgColor", R"(caption="Back" type="color" default="0x000033")"},
                    {"Bg.Speed", R"(caption="Speed" type="Integer" default="5" min="1" max="9" selection="x")"},
                    {"Bg.Style", R"(caption="Style" type="selection" default="flat" selection="flat;round" min="0")"},
                }));
  TPreloaderParams table;
  table.FileName = "bar.swf";
  EXPECT_TRUE(ReadPreloaderParams((dir / "bar.swf").string(), table));
  ASSERT_EQ(table.Count(), 4);
  EXPECT_EQ(table.FileName, "bar.swf");
  const TPreloaderParam& speed = table.Params[2];
  EXPECT_EQ(speed.TypeText, "Integer");
  EXPECT_EQ(speed.MinValue, "1");
  EXPECT_EQ(speed.MaxValue, "9");
  EXPECT_EQ(speed.Selection, "");
  const TPreloaderParam& style = table.Params[3];
  EXPECT_EQ(style.Selection, "flat;round");
  EXPECT_EQ(style.MinValue, "");
  EXPECT_EQ(table.Params[0].Value, "0xFF8000");
  EXPECT_EQ(table.Params[0].DefaultValue, "0xFF8000");
  EXPECT_EQ(table.Params[0].Caption, "Bar");

  // A definition whose root is wrong was found: true, with an empty table.
  WriteTemplate(dir / "wrong.swf", "<paramsdefine><A/></paramsdefine>");
  EXPECT_TRUE(ReadPreloaderParams((dir / "wrong.swf").string(), table));
  EXPECT_EQ(table.Count(), 0);
  TTemplateMovie none;
  WriteTemplate(dir / "none.swf", none);
  EXPECT_FALSE(ReadPreloaderParams((dir / "none.swf").string(), table));
}

TEST(TemplateLists, ScannedSortedWithoutRegardToCase) {
  TempDir dir;
  fs::create_directories(dir / "player");
  fs::create_directories(dir / "preloader");
  WriteTemplate(dir / "player" / "b.swf", UsualDefinition());
  WriteTemplate(dir / "player" / "A.swf", Definition({{"X", R"(type="bool" default="No")"}}));
  WriteWholeFile(dir / "player" / "c.txt", Hex("00"));
  fs::create_directory(dir / "player" / "Sub");
  WriteTemplate(dir / "preloader" / "z.swf",
                Definition({{"Bg.Color", R"(type="color" default="0x112233")"},
                            {"Bg.BgColor", R"(type="color" default="0x445566")"}}));
  WriteTemplate(dir / "preloader" / "Y.swf", TTemplateMovie{});

  const auto templates = ScanTemplates((dir / "player").string());
  std::vector<std::string> names;
  for (const auto& t : templates) names.push_back(t.FileName);
  EXPECT_EQ(names, (std::vector<std::string>{"A.swf", "b.swf", "c.txt", "Sub"}));
  EXPECT_TRUE(templates[0].Info);
  EXPECT_TRUE(templates[1].Info);
  EXPECT_FALSE(templates[2].Info);
  EXPECT_FALSE(templates[3].Info);

  TProject project;
  LoadTemplatesAndPreloaders(project, (dir / "player").string(), (dir / "preloader").string());
  EXPECT_EQ(project.SelectedTemplate, 0);
  EXPECT_EQ(project.Width, 320);
  EXPECT_EQ(project.Height, 240);
  ASSERT_EQ(project.Preloaders.size(), 2u);
  EXPECT_EQ(project.Preloaders[0].FileName, "Y.swf");
  EXPECT_EQ(project.Preloaders[0].Count(), 0);
  EXPECT_EQ(project.Preloaders[1].FileName, "z.swf");
  EXPECT_EQ(project.SelectedPreloader, 0);

  // Empty and missing folders give empty lists and no selection.
  fs::create_directories(dir / "empty");
  TProject bare;
  LoadTemplatesAndPreloaders(bare, (dir / "empty").string(), (dir / "missing").string());
  EXPECT_TRUE(bare.Templates.empty());
  EXPECT_TRUE(bare.Preloaders.empty());
  EXPECT_EQ(bare.Template(), nullptr);
  EXPECT_EQ(bare.Preloader(), nullptr);
}

TEST(TemplateParams, SelectionChoices) {
  struct Case {
    const char* selection;
    std::vector<std::string> choices;
  };
  const Case cases[] = {
      {"dark;light;blue", {"dark", "light", "blue"}},
      {"dark;;blue", {"dark", "", "blue"}},
      {"dark;blue;", {"dark", "blue"}},
      {";dark", {"", "dark"}},
      {"", {}},
      {"one", {"one"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.selection);
    EXPECT_EQ(SplitChoices(c.selection), c.choices);
  }
}

TEST(TemplateParams, EditingFindsTheFirstRowOfACaption) {
  TempDir dir;
  WriteTemplate(dir / "t.swf", Definition({{"A", R"(caption="Colour" type="color" default="0x000000")"},
                                           {"B", R"(caption="colour" type="color" default="0x111111")"}}));
  auto info = ReadTemplateInfo((dir / "t.swf").string());
  ASSERT_TRUE(info);
  EXPECT_TRUE(SetParamValueByCaption(*info, "COLOUR", "0xFFFFFF"));
  EXPECT_EQ(info->FirstParam->Value, "0xFFFFFF");
  EXPECT_EQ(info->FirstParam->Next->Value, "0x111111");
  EXPECT_FALSE(SetParamValueByCaption(*info, "Size", "1"));
  EXPECT_TRUE(SetParamValueByCaption(*info, "colour", std::string(300, 'x')));
  EXPECT_EQ(info->FirstParam->Value, std::string(255, 'x'));
  EXPECT_EQ(FindParam(*info, "b"), info->FirstParam->Next.get());
  EXPECT_EQ(FindParam(*info, "C"), nullptr);
}

TEST(TemplateParams, ValuesCheckedAgainstTypeAndChoices) {
  auto param = [](std::string name, TParamType type, std::string selection = {}) {
    auto p = std::make_unique<TTemplateParam>();
    p->Name = std::move(name);
    p->ParamType = type;
    p->Selection = std::move(selection);
    return p;
  };
  const auto flagParam = param("Py.Loop", TParamType::Bool);
  const auto numberParam = param("Py.Volume", TParamType::Integer);
  const auto colourParam = param("Py.Color", TParamType::Color);
  const auto skinParam = param("Py.Skin", TParamType::Selection, "dark;Light;;blue");
  const TTemplateParam &flag = *flagParam, &number = *numberParam, &colour = *colourParam,
                       &skin = *skinParam;
  struct Case {
    const TTemplateParam* param;
    std::string value;
    std::optional<std::string> accepted;
  };
  const Case cases[] = {
      {&flag, "yes", "Yes"},       {&flag, "NO", "No"},          {&flag, "true", std::nullopt},
      {&number, "42", "42"},       {&number, "-7", "-7"},        {&number, "+3", "3"},
      {&number, "4.5", std::nullopt}, {&number, "", std::nullopt}, {&number, "12a", std::nullopt},
      {&colour, "0xff8000", "0xFF8000"}, {&colour, "#FF8000", std::nullopt},
      {&colour, "0xFF80", std::nullopt},  {&colour, "0xGG8000", std::nullopt},
      {&skin, "blue", "blue"},     {&skin, "light", "Light"},    {&skin, "", ""},
      {&skin, "red", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.param->Name + "=" + c.value);
    const TParamValueCheck check = CheckParamValue(*c.param, c.value);
    EXPECT_EQ(check.Value, c.accepted);
    EXPECT_EQ(check.Error.empty(), c.accepted.has_value()) << check.Error;
  }
  EXPECT_EQ(CheckParamValue(skin, "red").Error,
            "Py.Skin is a choice: choose one of \"dark\", \"Light\", \"\", \"blue\"");
}

TEST(TemplateParams, ResetRestoresDefaultsAndSize) {
  TempDir dir;
  fs::create_directories(dir / "player");
  TTemplateMovie movie;
  movie.Constants = {UsualDefinition()};
  movie.Width = 500;
  movie.Height = 60;
  WriteTemplate(dir / "player" / "t.swf", movie);
  TProject project;
  LoadTemplatesAndPreloaders(project, (dir / "player").string(), (dir / "none").string());
  TTemplateInfo& info = *project.Template()->Info;
  ASSERT_TRUE(SetParamValueByCaption(info, "Auto start", "No"));
  ASSERT_TRUE(SetParamValueByCaption(info, "Volume", "10"));
  ASSERT_TRUE(SetParamValueByCaption(info, "Skin", "blue"));
  project.Width = 42;
  project.Height = 43;
  ASSERT_TRUE(ResetTemplate(project, (dir / "player").string()));
  const TTemplateInfo& fresh = *project.Template()->Info;
  for (const TTemplateParam* p = fresh.FirstParam.get(); p; p = p->Next.get())
    EXPECT_EQ(p->Value, p->DefaultValue) << p->Name;
  EXPECT_EQ(project.Width, 500);
  EXPECT_EQ(project.Height, 60);

  TProject none;
  EXPECT_FALSE(ResetTemplate(none, (dir / "player").string()));
}

TEST(Preloaders, ColourBinding) {
  TProject project;
  TPreloaderParams table;
  table.FileName = "bar.swf";
  for (auto [name, value, type] : {std::tuple{"bg.color", "0x112233", "COLOR"},
                                   std::tuple{"Bg.BgColor", "0x445566", "color"},
                                   std::tuple{"Bg.Color", "0x778899", "color"},
                                   std::tuple{"Bg.BgColor", "0x0000FF", "integer"}}) {
    TPreloaderParam p;
    p.Name = name;
    p.Value = value;
    p.TypeText = type;
    table.Params.push_back(p);
  }
  project.Preloaders.push_back(table);
  project.SelectedPreloader = 0;
  // Every colour entry applies in turn: the last one of a name wins.
  ApplyPreloaderColors(project, table);
  EXPECT_EQ(project.PreloaderBarColor, MakeColor(0x77, 0x88, 0x99));
  EXPECT_EQ(project.PreloaderBgColor, MakeColor(0x44, 0x55, 0x66));
  // A chosen colour goes to the first colour entry of its name only.
  SetPreloaderBarColor(project, MakeColor(0xAB, 0xCD, 0xEF));
  SetPreloaderBgColor(project, MakeColor(1, 2, 3));
  EXPECT_EQ(project.Preloaders[0].Params[0].Value, "0xABCDEF");
  EXPECT_EQ(project.Preloaders[0].Params[1].Value, "0x010203");
  EXPECT_EQ(project.Preloaders[0].Params[2].Value, "0x778899");
  EXPECT_EQ(project.Preloaders[0].Params[3].Value, "0x0000FF");
  EXPECT_EQ(project.PreloaderBarColor, MakeColor(0xAB, 0xCD, 0xEF));
  // Without a selected preloader only the project keeps the colour.
  project.SelectedPreloader = -1;
  SetPreloaderBarColor(project, MakeColor(9, 9, 9));
  EXPECT_EQ(project.PreloaderBarColor, MakeColor(9, 9, 9));
  EXPECT_EQ(project.Preloaders[0].Params[0].Value, "0xABCDEF");
}

}  // namespace
}  // namespace tw::test
