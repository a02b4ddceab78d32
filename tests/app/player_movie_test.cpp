// The player and preloader movies: the template rebuilt tag for tag with the variables assigned
// in front of its first DoAction.
#include <filesystem>

#include "app/app_support.h"
#include "app/player_movie.h"
#include "app/playlist.h"
#include "support/template_movies.h"
#include "support/action_testing.h"
#include "swf/action_tags.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using namespace tw::swf;

std::string HexOf(std::string_view text) {
  return ToHex(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// A template folder with the usual template, its description and the stage settings that name
// it.
struct Fixture {
  TempDir dir;
  std::string folder = (dir / "player").string();
  std::unique_ptr<TTemplateInfo> info;
  TStageSettings settings;

  explicit Fixture(const TTemplateMovie& movie = TTemplateMovie{{UsualDefinition()}}) {
    fs::create_directories(folder);
    WriteTemplate(dir / "player" / "classic.swf", movie);
    info = ReadTemplateInfo(folder + "/classic.swf");
    settings.TemplateName = "classic.swf";
    settings.Template = info.get();
    settings.FrameRate = 24;
    settings.PlayPercent = 30;
  }
  Bytes TemplateFile() const { return ReadWholeFile(dir / "player" / "classic.swf"); }
};

std::unique_ptr<TMusicFileList> Songs(int count, std::string_view title = "Song") {
  std::unique_ptr<TMusicFileList> first;
  std::unique_ptr<TMusicFileList>* slot = &first;
  for (int i = 1; i <= count; ++i) {
    *slot = std::make_unique<TMusicFileList>();
    (*slot)->FileName = "/music/track " + std::to_string(i) + ".mp3";
    (*slot)->Title = std::string(title) + " " + std::to_string(i);
    (*slot)->Artist = "Artist";
    (*slot)->Position = i;
    slot = &(*slot)->Next;
  }
  return first;
}

// The records of the injected DoAction, read back from the rebuilt movie's body.
std::unique_ptr<TSWFStreamReader> Reread(builder::TFlashMovie& movie) {
  TMemoryStream out;
  movie.SaveToStream(out);
  auto reader = std::make_unique<TSWFStreamReader>(out.Bytes());
  reader->ParseTags(true, true);
  return reader;
}

const TSWFActionList& ActionsOf(const TSWFStreamReader& reader, size_t index) {
  return dynamic_cast<const TSWFDoAction&>(*reader.TagList.at(index)->TagObject()).Actions();
}

// The values a list assigns: name -> value, the strings joined as the player joins them.
std::vector<std::pair<std::string, std::string>> Assignments(const TSWFActionList& list) {
  std::vector<std::pair<std::string, std::string>> out;
  std::vector<std::string> stack;
  for (const auto& a : list) {
    if (a->ActionCode == 0x96) {
      for (const auto& v : static_cast<const TSWFActionPush&>(*a).Values)
        stack.push_back(v.ValueType == kPushBoolean ? (PushValueToInteger(v.Value) ? "true" : "false")
                                                    : PushValueToString(v.Value));
    } else if (a->ActionCode == 0x21) {
      const std::string b = stack.back();
      stack.pop_back();
      stack.back() += b;
    } else if (a->ActionCode == 0x1D) {
      out.emplace_back(stack[stack.size() - 2], stack.back());
      stack.resize(stack.size() - 2);
    }
  }
  return out;
}

TEST(PlayerMovie, ParamsTextExactly) {
  TTemplateInfo info;
  auto autostart = std::make_unique<TTemplateParam>();
  autostart->Name = "Py.Autostart";
  autostart->Value = "Yes";
  info.AddParam(std::move(autostart));
  auto second = std::make_unique<TTemplateParam>();
  second->Name = "py.LOOP";
  second->Value = "Yes";
  info.AddParam(std::move(second));
  TStageSettings s;
  s.FrameRate = 12;
  s.PlayPercent = 0;
  s.Template = &info;
  EXPECT_EQ(PlayerParamsText(s, false),
            "<ParamsValue><Py.MovieFPS>12</Py.MovieFPS><Py.PlayPercent>0</Py.PlayPercent>"
            "<Py.Autostart>Yes</Py.Autostart><py.LOOP>Yes</py.LOOP></ParamsValue>");
  EXPECT_EQ(PlayerParamsText(s, true),
            "<ParamsValue><Py.MovieFPS>12</Py.MovieFPS><Py.PlayPercent>0</Py.PlayPercent>"
            "<Py.Autostart>No</Py.Autostart><py.LOOP>No</py.LOOP></ParamsValue>");
  // Names and values go in as they are.
  info.FirstParam->Value = "a<b&c";
  EXPECT_NE(PlayerParamsText(s, false).find("<Py.Autostart>a<b&c</Py.Autostart>"), std::string::npos);

  TPreloaderParams table;
  table.Params.resize(2);
  table.Params[0].Name = "Bg.Color";
  table.Params[0].Value = "0x112233";
  table.Params[1].Name = "Bg.Speed";
  table.Params[1].Value = "5";
  EXPECT_EQ(PreloaderParamsText(&table),
            "<ParamsValue><Bg.Color>0x112233</Bg.Color><Bg.Speed>5</Bg.Speed></ParamsValue>");
  EXPECT_EQ(PreloaderParamsText(nullptr), "<ParamsValue></ParamsValue>");
}

// The rebuilt movie is the template with one DoAction more, right before the template's own:
// every other byte is the template's.
TEST(PlayerMovie, InsertedBeforeTheFirstMainDoAction) {
  Fixture f;
  RecordingHost host;
  auto movie = BuildPlayerMovie(f.settings, false, nullptr, false, host, f.folder);
  ASSERT_TRUE(movie);

  TSWFStreamReader original(f.TemplateFile());
  original.ParseTags(true, true);
  std::vector<int> codes;
  for (const auto& i : original.TagList) codes.push_back(i->TagCode);
  // SetBackgroundColor, the shape, its placement, the sprite (with its own DoAction), its
  // placement, the main DoAction, ShowFrame, End.
  ASSERT_EQ(codes, (std::vector<int>{9, 2, 26, 39, 26, 12, 1, 0}));
  const size_t at = original.TagList[5]->TagOffset;

  const std::string params =
      "<ParamsValue><Py.MovieFPS>24</Py.MovieFPS><Py.PlayPercent>30</Py.PlayPercent>"
      "<Py.Autostart>Yes</Py.Autostart><Py.Loop>Yes</Py.Loop><Py.Volume>80</Py.Volume>"
      "<Py.Color>0x336699</Py.Color><Py.Skin>dark</Py.Skin><Py.Title>Grüße – ♫</Py.Title>"
      "</ParamsValue>";
  const size_t pushLength = 15 + params.size();
  const std::string records =
      "96 " + ToHex(Bytes{static_cast<uint8_t>(pushLength), static_cast<uint8_t>(pushLength >> 8)}) +
      " 00 " + HexOf("ParamsValue") + " 00 00 " + HexOf(params) + " 00 1D " +
      "96 13 00 00 " + HexOf("MAXWAITFRAME") + " 00 07 3C 00 00 00 1D " +
      "96 0F 00 00 " + HexOf("GlobalInner") + " 00 05 00 1D 00";
  const size_t bodySize = Hex(records).size();
  const std::string injected =
      "3F 03 " + ToHex(Bytes{static_cast<uint8_t>(bodySize), static_cast<uint8_t>(bodySize >> 8), 0, 0}) +
      " " + records;

  const auto& body = original.BodyStream().Bytes();
  const std::string expected = ToHex(body.subspan(0, at)) + " " + injected + " " + ToHex(body.subspan(at));
  EXPECT_EQ(ToHex(movie->BodyStream().Bytes()), expected);
  EXPECT_EQ(movie->Version(), 8);
  EXPECT_EQ(movie->FrameRect(), original.FrameRect());
  EXPECT_EQ(movie->FrameRate(), original.FrameRate());
  EXPECT_EQ(movie->FrameCount(), 1);
  EXPECT_FALSE(movie->Compressed());
  EXPECT_TRUE(host.Errors.empty());
}

TEST(PlayerMovie, VariablesForEachPublishKind) {
  Fixture f;
  auto songs = Songs(2);
  struct Case {
    const char* name;
    bool withMusic, preview;
    std::vector<std::string> names;
    const char* autostart;
  };
  const Case cases[] = {
      {"player and music files", false, false, {"ParamsValue", "MAXWAITFRAME", "GlobalInner"}, "Yes"},
      {"single player", true, false,
       {"ParamsValue", "MAXWAITFRAME", "GlobalInner", "GlobalXMLTrackList"}, "Yes"},
      {"preview", true, true, {"ParamsValue", "MAXWAITFRAME", "GlobalInner", "GlobalXMLTrackList"}, "No"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    auto movie = BuildPlayerMovie(f.settings, c.withMusic, songs.get(), c.preview, host, f.folder);
    ASSERT_TRUE(movie);
    auto reader = Reread(*movie);
    const auto assigned = Assignments(ActionsOf(*reader, 5));
    std::vector<std::string> names;
    for (const auto& [name, value] : assigned) names.push_back(name);
    EXPECT_EQ(names, c.names);
    EXPECT_NE(assigned[0].second.find(std::string("<Py.Autostart>") + c.autostart + "<"),
              std::string::npos);
    EXPECT_EQ(assigned[1].second, "60");
    EXPECT_EQ(assigned[2].second, c.withMusic ? "true" : "false");
    if (c.withMusic) {
      EXPECT_EQ(assigned[3].second, BuildTrackListXml(songs.get(), host));
    }
    // The template's own script follows unchanged.
    EXPECT_EQ(tw::test::Shape(ActionsOf(*reader, 6)), "88 96 1C 26 96 1C 26 96 1C 26 96 1C 26 07");
  }
}

TEST(PlayerMovie, NonAsciiValuesReachTheMovieAsUtf8) {
  Fixture f;
  TTemplateParam* title = FindParam(*f.info, "Py.Title");
  ASSERT_TRUE(title);
  title->Value = "Ünïcødé 漢字 🎵";
  RecordingHost host;
  auto songs = Songs(1, "Café");
  auto movie = BuildPlayerMovie(f.settings, true, songs.get(), false, host, f.folder);
  auto reader = Reread(*movie);
  const auto assigned = Assignments(ActionsOf(*reader, 5));
  EXPECT_NE(assigned[0].second.find("<Py.Title>Ünïcødé 漢字 🎵</Py.Title>"), std::string::npos);
  EXPECT_NE(assigned[3].second.find("Café 1"), std::string::npos);
  // The bytes in the file are the UTF-8 bytes.
  const std::string bodyHex = ToHex(movie->BodyStream().Bytes());
  EXPECT_NE(bodyHex.find(HexOf("Ünïcødé 漢字 🎵")), std::string::npos);
}

// A Push record holds at most 65535 bytes: a longer playlist is pushed in pieces that the player
// joins back, none cut inside a character.
TEST(PlayerMovie, LongPlaylistIsPushedInPieces) {
  Fixture f;
  auto songs = Songs(1200, "Über – long title of the song");
  RecordingHost host;
  const std::string xml = BuildTrackListXml(songs.get(), host);
  ASSERT_GT(xml.size(), 130000u);
  auto movie = BuildPlayerMovie(f.settings, true, songs.get(), false, host, f.folder);
  auto reader = Reread(*movie);
  const TSWFActionList& list = ActionsOf(*reader, 5);
  const auto assigned = Assignments(list);
  ASSERT_EQ(assigned.size(), 4u);
  EXPECT_EQ(assigned[3].second, xml);
  EXPECT_EQ(tw::test::Shape(list).substr(0, 30), "96 1D 96 1D 96 1D 96 21 96 21 ");
  for (const auto& a : list) {
    if (a->ActionCode != 0x96) continue;
    for (const auto& v : static_cast<const TSWFActionPush&>(*a).Values)
      if (v.ValueType == kPushString) {
        EXPECT_TRUE(IsValidUtf8(PushValueToString(v.Value)));
      }
  }
}

TEST(PlayerMovie, TemplatesWithoutDescriptionOrScript) {
  {
    Fixture f;
    f.settings.Template = nullptr;
    RecordingHost host;
    EXPECT_EQ(BuildPlayerMovie(f.settings, true, nullptr, false, host, f.folder), nullptr);
  }
  {
    // No DoAction in the main timeline (the sprite's does not count): copied unchanged.
    TTemplateMovie plain;
    plain.MainScript = false;
    Fixture f(plain);
    TTemplateInfo info;
    f.settings.Template = &info;
    RecordingHost host;
    auto movie = BuildPlayerMovie(f.settings, true, nullptr, false, host, f.folder);
    ASSERT_TRUE(movie);
    TSWFStreamReader original(f.TemplateFile());
    EXPECT_EQ(ToHex(movie->BodyStream().Bytes()), ToHex(original.BodyStream().Bytes()));
  }
}

TEST(PlayerMovie, TemplateFilesThatFail) {
  Fixture f;
  RecordingHost host;
  WriteWholeFile(fs::path(f.folder) / "text.swf", Hex("68 69"));
  struct Case {
    const char* name;
    std::string message;
  };
  const Case cases[] = {
      {"text.swf", "The player template \"text.swf\" is not a SWF movie"},
      {"gone.swf", "gone.swf"},
      {"../player/classic.swf", "\"../player/classic.swf\" is not the name of a player template"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    f.settings.TemplateName = c.name;
    try {
      BuildPlayerMovie(f.settings, false, nullptr, false, host, f.folder);
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(PreloaderMovie, OnlyParamsValue) {
  TempDir dir;
  fs::create_directories(dir / "preloader");
  TTemplateMovie movie;
  movie.Constants = {Definition({{"Bg.Color", R"(type="color" default="0xFF0000")"}})};
  movie.Traced = {"ParamsValue"};
  WriteTemplate(dir / "preloader" / "bar.swf", movie);
  TPreloaderParams table;
  ASSERT_TRUE(ReadPreloaderParams((dir / "preloader" / "bar.swf").string(), table));
  table.Params[0].Value = "0x00FF00";
  TStageSettings s;
  s.PreloaderName = "bar.swf";
  s.Preloader = &table;
  auto built = BuildPreloaderMovie(s, (dir / "preloader").string());
  auto reader = Reread(*built);
  const auto assigned = Assignments(ActionsOf(*reader, 5));
  ASSERT_EQ(assigned.size(), 1u);
  EXPECT_EQ(assigned[0].first, "ParamsValue");
  EXPECT_EQ(assigned[0].second, "<ParamsValue><Bg.Color>0x00FF00</Bg.Color></ParamsValue>");

  // A preloader without a table still gets its (empty) parameter text.
  s.Preloader = nullptr;
  built = BuildPreloaderMovie(s, (dir / "preloader").string());
  reader = Reread(*built);
  EXPECT_EQ(Assignments(ActionsOf(*reader, 5))[0].second, "<ParamsValue></ParamsValue>");
}

}  // namespace
}  // namespace tw::test
