// tunewright-cli project save | show, and publish from a project file, run as a user runs them
// with the user's folders in a temporary folder.
#include <fstream>

#include "support/template_movies.h"
#include "support/testing.h"
#include "util/files.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

std::string Text(const fs::path& p) {
  const Bytes b = ReadWholeFile(p);
  return std::string(b.begin(), b.end());
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Files(const fs::path& folder) {
  std::vector<std::string> files;
  if (fs::is_directory(folder))
    for (const auto& e : fs::directory_iterator(folder))
      if (e.is_regular_file()) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Click() {
  return CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__click.mp3").string();
}
std::string Stereo() {
  return CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__stereo8.mp3").string();
}

struct ProjectCli : ::testing::Test {
  TempDir dir;
  fs::path out = dir / "out";
  fs::path prj = dir / "p.prj";
  // The program (the build's, unless the first argument names another) with the user's folders
  // inside the temporary folder.
  CommandResult Run(std::vector<std::string> args, bool buildProgram = true) {
    std::vector<std::string> cmd = {"/usr/bin/env", "HOME=" + (dir / "home").string(),
                                    "XDG_DOCUMENTS_DIR=" + (dir / "docs").string(),
                                    "XDG_CONFIG_HOME=" + (dir / "config").string()};
    if (buildProgram) cmd.push_back((ProgramDir() / "tunewright-cli").string());
    cmd.insert(cmd.end(), args.begin(), args.end());
    return RunCommand(cmd);
  }
};

TEST_F(ProjectCli, SaveShowAndPublish) {
  // A real picture: the published stage carries it.
  auto png = RunCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=c=red:s=8x4",
                         "-frames:v", "1", (dir / "back.png").string()});
  ASSERT_EQ(png.status, 0) << png.err;
  auto r = Run({"project", "save", prj.string(), Click(), Stereo(), "--format", "mp3", "--option",
                "player-and-music", "--frame-rate", "24", "--url-prefix", "http://host/songs",
                "--bg-image", (dir / "back.png").string(), "--bg-image-layout",
                "custom,-5,20,50,60,90", "--preloader-color", "0x102030", "--edit", "2",
                "--title", "Second"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, prj.string() + ": 2 songs\n");
  const std::string file = Text(prj);
  EXPECT_TRUE(Has(file, "<iframerate>24</iframerate>")) << file;
  EXPECT_TRUE(Has(file, "<StrFullURL>http://host/songs/</StrFullURL>")) << file;

  r = Run({"project", "show", prj.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& part :
       {std::string("Songs: 2\n  1. from_gnash__actionscript.all__Sound-v5__click.mp3  0:00:12  "
                    "MP3, 44100 Hz, 32 kbps, Mono\n     " + Click() +
                    "\n     title \"Clicky\", artist \"Benjamin Wolsey\", album \"Gnash\"\n"),
        std::string("  2. from_gnash__actionscript.all__Sound-v5__stereo8.mp3  0:00:07  MP3, "
                    "8000 Hz, 24 kbps, Stereo\n"),
        std::string("title \"Second\", artist \"\""), std::string("  encoding.breencode: yes\n"),
        std::string("  encoding.samplerate: 22050 Hz\n"),
        std::string("  player.iframerate: 24\n"), std::string("  player.preloadercolor: 0x102030\n"),
        std::string("  player.bgimage: on, 1 image\n    1. " + (dir / "back.png").string() +
                    ": custom left -5 top 20 scale 50% x 60% rotation 90\n"),
        std::string("  converting.publishoption: player-and-music\n"),
        std::string("  converting.fileformat: mp3\n"),
        std::string("  converting.strfullurl: \"http://host/songs/\"\n")})
    EXPECT_TRUE(Has(r.out, part)) << part << "\n---\n" << r.out;
  // No template was chosen: the start-up project's compact bar stays.
  EXPECT_TRUE(Has(r.out, "  player.style: compact.swf\n")) << r.out;

  r = Run({"project", "show", "--json", prj.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* part : {"\"status\": \"applied\"", "\"converting.fileformat\": 2",
                           "\"player.iframerate\": 24", "\"title\": \"Second\"",
                           "\"kind\": \"mp3\"", "\"droppedSongs\": []", "\"position\": \"custom\""})
    EXPECT_TRUE(Has(r.out, part)) << part << "\n---\n" << r.out;

  // The project's settings, with the options given overriding them: another name.
  r = Run({"publish", prj.string(), "--output-folder", out.string(), "--no-reencode", "--name",
           "site.swf"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Files(out), (std::vector<std::string>{
                            "from_gnash__actionscript.all__Sound-v5__click.mp3",
                            "from_gnash__actionscript.all__Sound-v5__stereo8.mp3", "site.html",
                            "site.swf", "site.xml"}));
  const std::string xml = Text(out / "site.xml");
  EXPECT_TRUE(Has(xml, "<file>http://host/songs/from_gnash__actionscript.all__Sound-v5__click.mp3"
                       "</file>")) << xml;
  EXPECT_TRUE(Has(xml, "<title>Second</title>")) << xml;
  EXPECT_EQ(Text(out / "from_gnash__actionscript.all__Sound-v5__click.mp3"), Text(Click()));
}

TEST_F(ProjectCli, FromRemoveAndSongsThatAreGone) {
  const fs::path song = dir / "copy.mp3";
  fs::copy_file(Click(), song);
  auto r = Run({"project", "save", prj.string(), song.string(), Stereo()});
  ASSERT_EQ(r.status, 0) << r.err;
  fs::remove(song);
  // Opening drops the song that is gone, silently, as the window does; show names it.
  r = Run({"project", "show", prj.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Songs: 1\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "(left out, cannot be read: " + song.string() + ")")) << r.out;

  const fs::path second = dir / "second.prj";
  r = Run({"project", "save", second.string(), "--from", prj.string(), Click(), "--remove", "1",
           "--flash-version", "6"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, second.string() + ": 1 song\n");
  const std::string file = Text(second);
  EXPECT_TRUE(Has(file, "<file0 name=\"" + Click() + "\">")) << file;
  EXPECT_FALSE(Has(file, "stereo8")) << file;
  EXPECT_TRUE(Has(file, "<iversion>0</iversion>")) << file;

  r = Run({"project", "save", second.string(), "--remove", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "--remove 1: the project has 0 songs")) << r.err;
  r = Run({"project", "save", second.string(), "--template", "nosuch.swf"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "--template nosuch.swf: there is no such player template in ")) << r.err;
}

TEST_F(ProjectCli, TagEditsFromTheCommandLine) {
  const fs::path mp3 = dir / "locked.mp3";
  fs::copy_file(Stereo(), mp3);
  fs::permissions(mp3, fs::perms::owner_read);
  const std::string before = Text(mp3);
  auto r = Run({"project", "save", prj.string(), mp3.string(), "--edit", "1", "--title", "New",
                "--write-tag"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Error: Cannot write file \"" + mp3.string() +
                             "\": the file is read-only")) << r.err;
  EXPECT_TRUE(Has(r.err, "the tag of song 1 was not written (the project has the new texts)"))
      << r.err;
  EXPECT_EQ(Text(mp3), before);
  EXPECT_TRUE(Has(Text(prj), "<title>New</title>"));

  const fs::path wav = dir / "tone.wav";
  fs::copy_file(CorpusFile("audio", "swfcrate__test-sound.wav"), wav);
  r = Run({"project", "save", prj.string(), wav.string(), "--edit", "1", "--title", "Wave",
           "--write-tag"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "a WAV song has no tag; only the project takes the texts")) << r.err;
  EXPECT_EQ(Text(wav), Text(CorpusFile("audio", "swfcrate__test-sound.wav")));
  EXPECT_TRUE(Has(Text(prj), "<title>Wave</title>"));
}

TEST_F(ProjectCli, FilesThatAreNotProjects) {
  struct Case {
    const char* name;
    std::string content;
    const char* command;
    std::vector<std::string> errors;
  } cases[] = {
      {"broken.prj", "<options><player><width>1</player>", "show",
       {"Error: The project file \"", "\" is not valid XML: ",
        "broken.prj: the project file could not be read to its end"}},
      {"broken.prj", "<options><player><width>1</player>", "publish",
       {"Error: The project file \"", "broken.prj: the project file could not be applied"}},
      {"list.prj", "<playlist/>", "show",
       {"list.prj: not a project file (its root element is <playlist>, not <options>)"}},
      {"list.prj", "<playlist/>", "publish",
       {"list.prj: not a project file (its root element is <playlist>, not <options>)"}},
      {"text.prj", "just text", "show", {"text.prj: not a project file (no root element"}},
      {"number.prj", "<options><player><width>wide</width></player></options>", "show",
       {"Error: \"wide\" is not a valid integer value (width)"}},
      {"missing.prj", "", "publish", {"missing.prj: no such project file"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.command);
    const fs::path file = dir / c.name;
    if (std::string(c.name) != "missing.prj") std::ofstream(file) << c.content;
    auto r = std::string(c.command) == "show"
                 ? Run({"project", "show", file.string()})
                 : Run({"publish", file.string(), "--output-folder", out.string()});
    EXPECT_EQ(r.status, 1);
    for (const std::string& e : c.errors) EXPECT_TRUE(Has(r.err, e)) << e << "\n---\n" << r.err;
    EXPECT_EQ(Files(out), std::vector<std::string>{});
  }
  // One project at a time.
  auto r = Run({"publish", prj.string(), (dir / "other.PRJ").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "one project file at a time")) << r.err;
}

// A copy of the program with player templates and a preloader beside it, made by the tests.
struct ProjectTemplateCli : ProjectCli {
  fs::path program = dir / "program";
  void SetUp() override {
    fs::create_directories(program / "player");
    fs::create_directories(program / "preloader");
    fs::copy_file(ProgramDir() / "tunewright-cli", program / "tunewright-cli");
    // Sorted, the template without a definition comes first: a new project selects it.
    WriteWholeFile(program / "player" / "notes.swf", Hex("6E 6F 74 65"));
    WriteTemplate(program / "player" / "skin.swf", UsualDefinition());
    WriteTemplate(program / "preloader" / "bar.swf",
                  Definition({{"Bg.Color", R"(caption="Bar" type="color" default="0xFF8000")"}}));
    WriteWholeFile(dir / "song.mp3", Hex("00"));
  }
  CommandResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), (program / "tunewright-cli").string());
    return ProjectCli::Run(std::move(args), false);
  }
};

// The template, its values and the preloader chosen on the command line are saved; publish takes
// them from the project, and its own options override them.
TEST_F(ProjectTemplateCli, TheProjectsTemplateAndValuesReachPublish) {
  auto r = Run({"project", "save", prj.string(), "--template", "SKIN.swf", "--param",
                "Py.Volume=35", "--param", "py.skin=LIGHT", "--param", "Py.Color=0xabcdef",
                "--preloader", "bar.swf"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"project", "show", "--json", prj.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, R"("player.style": {
      "name": "skin.swf",
      "params": {
        "Py.Autostart": "Yes",
        "Py.Loop": "Yes",
        "Py.Volume": "35",
        "Py.Color": "0xABCDEF",
        "Py.Skin": "light",)"))
      << r.out;
  EXPECT_TRUE(Has(r.out, R"("player.preloadername": "bar.swf")")) << r.out;
  EXPECT_TRUE(Has(r.out, R"("player.bpreloader": true)")) << r.out;

  // A project made from it keeps the saved values and takes the new one.
  const fs::path second = dir / "second.prj";
  r = Run({"project", "save", second.string(), "--from", prj.string(), "--param", "Py.Loop=No"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string file = Text(second);
  for (const char* part : {"<style name=\"skin.swf\">", "<Py.Loop>No</Py.Loop>",
                           "<Py.Volume>35</Py.Volume>", "<Py.Skin>light</Py.Skin>"})
    EXPECT_TRUE(Has(file, part)) << part << "\n" << file;

  // publish uses the project's template (not the first of the folder, which has no player) ...
  const std::string song = (dir / "song.mp3").string();
  r = Run({"publish", prj.string(), song, "--json", "--no-reencode"});
  EXPECT_FALSE(Has(r.out, "gets no player")) << r.out << r.err;
  EXPECT_FALSE(Has(r.err, "error: --")) << r.err;
  // ... unless an option chooses another one.
  r = Run({"publish", prj.string(), song, "--json", "--no-reencode", "--template", "notes.swf"});
  EXPECT_TRUE(Has(r.out, "The player template notes.swf has no parameter definition")) << r.out;
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--param", "Py.Speed=3"},
       "--param Py.Speed=3: the player template skin.swf has no parameter Py.Speed; its "
       "parameters are Py.Autostart, Py.Loop, Py.Volume, Py.Color, Py.Skin, Py.Title"},
      {{"--param", "Py.Volume=loud"},
       "--param Py.Volume=loud: Py.Volume is a whole-number parameter: write a number such as 10"},
      {{"--template", "notes.swf", "--param", "Py.Volume=3"},
       "--param Py.Volume=3: the player template notes.swf declares no parameters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    std::vector<std::string> args = {"publish", prj.string(), song};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tunewright-cli: error: " + c.error + "\n");
  }
}

TEST_F(ProjectCli, TheStartupProjectLiesBesideTheProgram) {
  EXPECT_EQ(Text(ProgramDir() / "default.prj"), Text(fs::path(TW_SOURCE_DIR) / "default.prj"));
  // A project saved without options is the start-up project: applying it over the saved one
  // changes nothing, so show lists exactly what the start-up project sets, and more.
  auto r = Run({"project", "save", prj.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"project", "show", "--json", prj.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* part : {"\"encoding.breencode\": true", "\"encoding.encodingoptions\": 4",
                           "\"player.iversion\": 2", "\"player.iframerate\": 12",
                           "\"player.solidcolor\": \"0x003366\"",
                           "\"converting.outputfilename\": \"player.swf\"",
                           "\"converting.publishoption\": 1",
                           "\"converting.strfullurl\": \"http://www.example.com/music/\"",
                           // a new project has the compact bar and links the emulator
                           "\"player.style\": {\n      \"name\": \"compact.swf\"",
                           "\"converting.ruffle\": \"link\"",
                           "\"converting.ruffleurl\": \"https://unpkg.com/@ruffle-rs/ruffle\""})
    EXPECT_TRUE(Has(r.out, part)) << part << "\n---\n" << r.out;

  // The emulator's setting is saved and applied like the others.
  r = Run({"project", "save", prj.string(), "--ruffle", "copy", "--ruffle-url", "https://x.org/r.js"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"project", "show", prj.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "converting.ruffle")) << r.out;
  r = Run({"project", "show", "--json", prj.string()});
  EXPECT_TRUE(Has(r.out, "\"converting.ruffle\": \"copy\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"converting.ruffleurl\": \"https://x.org/r.js\"")) << r.out;
}

}  // namespace
}  // namespace tw::test
