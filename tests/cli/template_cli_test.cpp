// tunewright-cli templates, and publish's --template, --preloader and --param: run from a copy of
// the program whose folders player/ and preloader/ hold templates made by the tests.
#include <filesystem>

#include "support/template_movies.h"
#include "support/testing.h"
#include "util/files.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

struct TemplateCli : ::testing::Test {
  TempDir dir;
  fs::path program = dir / "program";

  void SetUp() override {
    fs::create_directories(program / "player");
    fs::create_directories(program / "preloader");
    fs::copy_file(ProgramDir() / "tunewright-cli", program / "tunewright-cli");
  }
  void Templates() {
    WriteTemplate(program / "player" / "Classic.swf", UsualDefinition());
    TTemplateMovie wide;
    wide.Width = 640;
    wide.Height = 80;
    wide.Constants = {Definition({{"Py.Autostart", R"(caption="Play at once" type="bool" default="No")"}})};
    WriteTemplate(program / "player" / "wide.swf", wide);
    WriteTemplate(program / "player" / "broken.swf", "<ParamsDefine><A></ParamsDefine>");
    WriteWholeFile(program / "player" / "notes.swf", Hex("6E 6F 74 65"));
    WriteTemplate(program / "preloader" / "bar.swf",
                  Definition({{"Bg.Color", R"(caption="Bar" type="color" default="0xFF8000")"},
                              {"Bg.Mode", R"(caption="Mode" type="Selection" selection="a;b" default="a")"}}));
  }
  // The program with the user's folders inside the temporary folder.
  CommandResult Run(std::vector<std::string> args) {
    std::vector<std::string> cmd = {"/usr/bin/env", "HOME=" + (dir / "home").string(),
                                    "XDG_DOCUMENTS_DIR=" + (dir / "docs").string(),
                                    "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                    (program / "tunewright-cli").string()};
    cmd.insert(cmd.end(), args.begin(), args.end());
    return RunCommand(cmd);
  }
};

TEST_F(TemplateCli, ListsTemplatesAndPreloaders) {
  Templates();
  const auto r = Run({"templates"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string players = (program / "player").string() + "/";
  const std::string preloaders = (program / "preloader").string() + "/";
  EXPECT_EQ(r.out,
            "Player templates in " + players + ":\n"
            "  broken.swf  320 x 240  (the parameter definition is not well-formed XML (Start-end "
            "tags mismatch at offset 19))\n"
            "  Classic.swf  320 x 240\n"
            "    Py.Autostart  \"Auto start\"  bool  default \"Yes\"  value \"Yes\"\n"
            "    Py.Loop  \"Loop\"  bool  default \"Yes\"  value \"Yes\"\n"
            "    Py.Volume  \"Volume\"  integer  default \"80\"  value \"80\"\n"
            "    Py.Color  \"Colour\"  color  default \"0x336699\"  value \"0x336699\"\n"
            "    Py.Skin  \"Skin\"  selection  default \"dark\"  value \"dark\"  choices \"dark\", "
            "\"light\", \"\", \"blue\"\n"
            "    Py.Title  \"Title\"  color  default \"Grüße – ♫\"  value \"Grüße – ♫\"\n"
            "  notes.swf  (not a SWF movie)\n"
            "  wide.swf  640 x 80\n"
            "    Py.Autostart  \"Play at once\"  bool  default \"No\"  value \"No\"\n"
            "Preloaders in " + preloaders + ":\n"
            "  bar.swf  320 x 240\n"
            "    Bg.Color  \"Bar\"  color  default \"0xFF8000\"  value \"0xFF8000\"\n"
            "    Bg.Mode  \"Mode\"  Selection  default \"a\"  value \"a\"  choices \"a\", \"b\"\n");
}

TEST_F(TemplateCli, ListsAsJson) {
  Templates();
  const auto r = Run({"templates", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(R"("name": "wide.swf",
      "width": 640,
      "height": 80,
      "problem": null,
      "params": [
        {
          "name": "Py.Autostart",
          "caption": "Play at once",
          "type": "bool",
          "default": "No",
          "choices": null,
          "value": "No"
        }
      ])"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(R"("choices": [
            "dark",
            "light",
            "",
            "blue"
          ],)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(R"("name": "notes.swf",
      "width": null,
      "height": null,
      "problem": "not a SWF movie",
      "params": [])"),
            std::string::npos)
      << r.out;
}

TEST_F(TemplateCli, EmptyFolders) {
  fs::remove(program / "preloader");
  const auto r = Run({"templates"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "No player templates in " + (program / "player").string() + "/\n" +
                       "No preloaders in " + (program / "preloader").string() + "/\n");
  const auto j = Run({"templates", "--json"});
  EXPECT_NE(j.out.find("\"templates\": [],"), std::string::npos) << j.out;
}

// Wrong names and values stop publish before anything is done, with the reason.
TEST_F(TemplateCli, PublishChecksTemplateAndParameters) {
  Templates();
  const std::string song = (dir / "song.mp3").string();
  WriteWholeFile(song, Hex("00"));
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const std::string players = (program / "player").string() + "/";
  const Case cases[] = {
      {{"--template", "gone.swf"},
       "--template gone.swf: there is no such player template in " + players +
           "; choose one of broken.swf, Classic.swf, notes.swf, wide.swf"},
      {{"--preloader", "x.swf"},
       "--preloader x.swf: there is no such preloader in " + (program / "preloader").string() +
           "/; choose one of bar.swf"},
      {{"--template", "classic.swf", "--param", "Py.Speed=3"},
       "--param Py.Speed=3: the player template Classic.swf has no parameter Py.Speed; its "
       "parameters are Py.Autostart, Py.Loop, Py.Volume, Py.Color, Py.Skin, Py.Title"},
      {{"--template", "Classic.swf", "--param", "Py.Autostart=maybe"},
       "--param Py.Autostart=maybe: Py.Autostart is a yes-or-no parameter: write Yes or No"},
      {{"--template", "Classic.swf", "--param", "Py.Volume=loud"},
       "--param Py.Volume=loud: Py.Volume is a whole-number parameter: write a number such as 10"},
      {{"--template", "Classic.swf", "--param", "Py.Color=red"},
       "--param Py.Color=red: Py.Color is a colour parameter: write the colour as 0xRRGGBB"},
      {{"--template", "Classic.swf", "--param", "Py.Skin=green"},
       "--param Py.Skin=green: Py.Skin is a choice: choose one of \"dark\", \"light\", \"\", \"blue\""},
      {{"--template", "Classic.swf", "--param", "Py.Skin"},
       "--param Py.Skin: write the parameter as NAME=VALUE"},
      {{"--template", "broken.swf", "--param", "A=1"},
       "--param A=1: the player template broken.swf declares no parameters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    std::vector<std::string> args = {"publish", song};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tunewright-cli: error: " + c.error + "\n");
    EXPECT_EQ(r.out, "");
  }
}

// A template without a definition, or none at all, is published without a player: publish says
// so.
TEST_F(TemplateCli, PublishSaysWhenThereIsNoPlayer) {
  const std::string song = (dir / "song.mp3").string();
  WriteWholeFile(song, Hex("00"));
  auto r = Run({"publish", song, "--json", "--no-reencode"});
  EXPECT_NE(r.out.find("There is no player template in " + (program / "player").string() +
                       "/: the movie gets no player."),
            std::string::npos)
      << r.out << r.err;
  Templates();
  r = Run({"publish", song, "--json", "--no-reencode", "--template", "notes.swf"});
  EXPECT_NE(r.out.find("The player template notes.swf has no parameter definition: the movie "
                       "gets no player."),
            std::string::npos)
      << r.out << r.err;
  r = Run({"publish", song, "--json", "--no-reencode", "--template", "wide.swf", "--param",
           "py.autostart=yes", "--preloader", "BAR.swf"});
  EXPECT_EQ(r.out.find("gets no player"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(r.err.find("error: --"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tw::test
