// The project model, its snapshots and the small helpers.
#include <filesystem>
#include <fstream>

#include "app/app_support.h"
#include "app/paths.h"
#include "app/project.h"
#include "app/snapshots.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

TEST(ProjectHelpers, ColorTexts) {
  const TColor deepBlue = MakeColor(0x00, 0x33, 0x66);
  EXPECT_EQ(ColorToHex(deepBlue), "0x003366");
  EXPECT_EQ(HexToColor("0x003366"), deepBlue);
  EXPECT_EQ(ColorToHex(MakeColor(0xFF, 0x0A, 0xB0)), "0xFF0AB0");
  EXPECT_EQ(HexToColor("0xff0ab0"), MakeColor(0xFF, 0x0A, 0xB0));
  // Text of another form gives what can be read of it, never a failure.
  EXPECT_EQ(HexToColor("0x12"), MakeColor(0x12, 0, 0));
  EXPECT_EQ(HexToColor("0xZZ3366"), MakeColor(0, 0x33, 0x66));
  EXPECT_EQ(HexToColor(""), 0u);
}

TEST(ProjectHelpers, ImageKinds) {
  const std::pair<const char*, int> cases[] = {
      {"/a/b.bmp", 0}, {"/a/b.JPG", 1}, {"/a/photo.JPEG", 1}, {"x.gif", 2}, {"x.Png", 3},
      {"x.swf", 4},    {"/a/b.tif", -1}, {"/a/noext", -1},    {"/a.jpg/noext", -1}, {"", -1}};
  for (const auto& [path, kind] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ImageKindOf(path), kind);
  }
}

TEST(ProjectHelpers, FileNameTexts) {
  EXPECT_EQ(SpacesToUnderscores("My  Song .mp3"), "My__Song_.mp3");
  EXPECT_EQ(ExtractFileName("/music/My Song.mp3"), "My Song.mp3");
  EXPECT_EQ(ExtractFileName("plain"), "plain");
  EXPECT_EQ(ExtractFilePath("/music/My Song.mp3"), "/music/");
  EXPECT_EQ(ExtractFilePath("plain"), "");
  EXPECT_EQ(ExtractFileExt("/music.d/song"), "");
  EXPECT_EQ(ExtractFileExt("/music/song.tar.MP3"), ".MP3");
  EXPECT_EQ(ChangeFileExt("/music/a b.mp3", ".swf"), "/music/a b.swf");
  EXPECT_EQ(ChangeFileExt("/music.d/song", ".swf"), "/music.d/song.swf");
  EXPECT_EQ(ChangeFileExt("/music/song.mp3", ""), "/music/song");
  EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
}

TEST(ProjectHelpers, RoundsHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.6), 3);
  EXPECT_EQ(RoundHalfEven(1e300), INT32_MAX);
}

TEST(ProjectHelpers, FixedTextKeeps255Utf16Units) {
  EXPECT_EQ(FixedText(std::string(300, 'a')).size(), 255u);
  // U+1D11E takes two UTF-16 units: 127 of them fill 254 units, the 128th does not fit.
  std::string clefs;
  for (int i = 0; i < 130; ++i) clefs += "\xF0\x9D\x84\x9E";
  EXPECT_EQ(FixedText(clefs).size(), 127u * 4);
}

TEST(ProjectHelpers, FoldersFollowTheEnvironment) {
  UserFolders user;
  EXPECT_EQ(DocumentsFolder(), user.Documents());
  EXPECT_EQ(UserDataFolder(), user.Work());
  EXPECT_TRUE(fs::is_directory(user.Work()));
  {
    // Without XDG_DOCUMENTS_DIR: user-dirs.dirs of the configuration folder, then $HOME/Documents.
    TempDir home;
    EnvGuard noDocs("XDG_DOCUMENTS_DIR", "");
    EnvGuard homeVar("HOME", home.path().string());
    EnvGuard config("XDG_CONFIG_HOME", (home / "cfg").string());
    EXPECT_EQ(DocumentsFolder(), (home / "Documents/").string());
    fs::create_directories(home / "cfg");
    std::ofstream(home / "cfg" / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                    << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(DocumentsFolder(), (home / "Dokumente/").string());
    EXPECT_TRUE(fs::is_directory(home / "Dokumente"));
    EXPECT_EQ(SettingsFile(), (home / "cfg" / "Dovetek/Sonafex.conf").string());
  }
}

TEST(Project, DefaultsAndPresets) {
  UserFolders user;
  TProject p = MakeDefaultProject();
  EXPECT_TRUE(p.Reencode);
  EXPECT_EQ(p.PresetIndex, 4);
  EXPECT_EQ(p.OutputFolder, user.Work() + "output/");
  EXPECT_EQ(p.OutputName, "player.swf");
  EXPECT_EQ(p.PublishOption, TPublishOption::SinglePlayer);
  EXPECT_EQ(ColorToHex(p.SolidColor), "0x003366");
  EXPECT_EQ(p.FlashVersionIndex, 2);
  EXPECT_EQ(p.FrameRate, 12);

  p.ApplyPreset(3);
  EXPECT_EQ(kSampleRates[static_cast<size_t>(p.SampleRateIndex)].Caption, "44100 Hz");
  EXPECT_EQ(kBitRates[static_cast<size_t>(p.BitRateIndex)].Caption, "128 kbps");
  EXPECT_EQ(kChannels[static_cast<size_t>(p.ChannelsIndex)].Caption, "Stereo");
  p.ApplyPreset(kCustomPreset);  // Custom resets to its own row
  EXPECT_EQ(p.SampleRateIndex, 1);
  EXPECT_EQ(p.BitRateIndex, 2);
  EXPECT_EQ(p.ChannelsIndex, 0);
  EXPECT_EQ(kBitRates.front().Ffmpeg, "8k");
  EXPECT_EQ(kBitRates.back().Lame, "320");
}

TEST(ConvertOptions, OutputNames) {
  UserFolders user;
  const std::pair<const char*, const char*> cases[] = {
      {"player.swf", "player"}, {"  My Player.SWF  ", "My Player"}, {"a.swf.swf", "a.swf"},
      {"   ", "player"},        {".swf", "player"},                  {"song.mp3", "song.mp3"},
      {"x.Swf", "x"}};
  for (const auto& [text, name] : cases) {
    SCOPED_TRACE(text);
    TProject p = MakeDefaultProject();
    p.OutputName = text;
    EXPECT_EQ(GatherConvertOptions(p).OutputName, name);
  }
}

TEST(ConvertOptions, BitRateLimitsOfTheSampleRate) {
  UserFolders user;
  struct Case {
    int rate, bitRate;
    const char* lame;
  } cases[] = {{0, 17, "160"}, {1, 14, "160"}, {2, 0, "32"}, {2, 12, "128"},
               {1, 0, "8"},    {2, 17, "320"}, {0, 13, "160"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + "/" + std::to_string(c.bitRate));
    TProject p = MakeDefaultProject();
    p.SampleRateIndex = c.rate;
    p.BitRateIndex = c.bitRate;
    const TConvertOption o = GatherConvertOptions(p);
    EXPECT_EQ(o.LameBitRate, c.lame);
    EXPECT_EQ(o.FfmpegBitRate, std::string(c.lame) + "k");
    // The limit is the window's own choice from now on.
    EXPECT_EQ(kBitRates[static_cast<size_t>(p.BitRateIndex)].Lame, c.lame);
  }
}

TEST(ConvertOptions, EncoderArgumentsAndUrlPrefix) {
  UserFolders user;
  TProject p = MakeDefaultProject();
  p.SampleRateIndex = 0;
  p.BitRateIndex = 3;
  p.ChannelsIndex = 1;
  p.FullUrl = "  http://example.org/songs ";
  TConvertOption o = GatherConvertOptions(p);
  EXPECT_EQ(o.LameSampleRate, "11.025");
  EXPECT_EQ(o.FfmpegSampleRate, "11025");
  EXPECT_EQ(o.LameBitRate, "32");
  EXPECT_EQ(o.LameMode, "s");
  EXPECT_EQ(o.FfmpegChannels, "2");
  EXPECT_EQ(o.FullUrl, "http://example.org/songs/");
  p.FullUrl = "http://example.org/songs/";
  EXPECT_EQ(GatherConvertOptions(p).FullUrl, "http://example.org/songs/");
  p.FullUrl = "  ";
  EXPECT_EQ(GatherConvertOptions(p).FullUrl, "");  // no prefix, not the site's root
  // Indices out of the tables (a hostile project file) stay inside them.
  p.SampleRateIndex = 7;
  p.BitRateIndex = -3;
  p.ChannelsIndex = 9;
  o = GatherConvertOptions(p);
  EXPECT_EQ(o.LameSampleRate, "44.1");
  EXPECT_EQ(o.LameBitRate, "32");
  EXPECT_EQ(o.LameMode, "s");
}

TEST(ConvertOptions, MusicChainAndOutputFolder) {
  UserFolders user;
  TempDir dir;
  TProject p = MakeDefaultProject();
  for (const char* name : {"/m/a.mp3", "/m/b.wav", "/m/a.mp3"}) {
    TMP3Info& info = p.Music.emplace_back();
    info.Path = name;
    info.Title = std::string("T ") + name;
  }
  // The last level of the folder is created; more than that is not, and the working output
  // folder takes its place.
  p.OutputFolder = (dir / "new").string();
  TConvertOption o = GatherConvertOptions(p);
  EXPECT_EQ(o.OutputFolder, (dir / "new/").string());
  EXPECT_TRUE(fs::is_directory(dir / "new"));
  EXPECT_EQ(o.MusicCount, 3);
  std::vector<std::string> chain;
  std::vector<int> positions;
  for (const TMusicFileList* s = o.Music.get(); s; s = s->Next.get()) {
    chain.push_back(s->FileName + "|" + s->Title);
    positions.push_back(s->Position);
  }
  EXPECT_EQ(chain, (std::vector<std::string>{"/m/a.mp3|T /m/a.mp3", "/m/b.wav|T /m/b.wav",
                                              "/m/a.mp3|T /m/a.mp3"}));
  EXPECT_EQ(positions, (std::vector<int>{1, 2, 3}));

  for (const std::string& folder : {(dir / "x/y/z").string(), std::string(""), std::string("  "),
                                    (dir / "new" / "file").string()}) {
    SCOPED_TRACE(folder);
    if (folder.ends_with("file")) std::ofstream(folder) << "a file, not a folder";
    p.OutputFolder = folder;
    EXPECT_EQ(GatherConvertOptions(p).OutputFolder, user.Work() + "output/");
    EXPECT_TRUE(fs::is_directory(user.Work() + "output/"));
  }
  EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST(ConvertOptions, LongChainIsFreedWithoutRecursion) {
  UserFolders user;
  TProject p = MakeDefaultProject();
  p.Music.resize(200000);
  TConvertOption o = GatherConvertOptions(p);
  EXPECT_EQ(o.MusicCount, 200000);
  o.Music.reset();  // would overflow the stack if each node freed the next recursively
}

TEST(StageSettings, SnapshotOfTheStage) {
  UserFolders user;
  TProject p = MakeDefaultProject();
  p.Templates.push_back({"blue.swf", std::make_unique<TTemplateInfo>()});
  p.Templates[0].Info->DefaultWidth = 320;
  p.Templates[0].Info->DefaultHeight = 240;
  p.Templates.push_back({"plain.swf", nullptr});
  p.SelectTemplate(0);
  p.Width = 500;
  p.Height = 400;
  p.XScale = 150.5;
  p.YScale = 151.5;
  p.Rotation = 44.5;
  p.PlayPercent = 12.5;
  p.Transparent = true;
  for (const char* f : {"A", "B", "C"}) p.FgImages.push_back({f});
  for (const char* f : {"D", "E"}) p.BgImages.push_back({f});
  p.FgImagesOn = true;

  auto s = GatherStageSettings(p);
  EXPECT_EQ(s->TemplateName, "blue.swf");
  EXPECT_EQ(s->Template, p.Templates[0].Info.get());
  EXPECT_EQ(s->Width, 320);  // default size: the template's own
  EXPECT_EQ(s->Height, 240);
  EXPECT_EQ(s->XScale, 150);
  EXPECT_EQ(s->YScale, 152);
  EXPECT_EQ(s->Rotation, 44);
  EXPECT_EQ(s->PlayPercent, 12);
  EXPECT_EQ(s->SolidBackground, 0);
  ASSERT_EQ(s->FgImages.size(), 3u);
  EXPECT_EQ(s->FgImages[0]->File, "C");
  EXPECT_EQ(s->FgImages[2]->File, "A");
  ASSERT_EQ(s->BgImages.size(), 2u);
  EXPECT_EQ(s->BgImages[0]->File, "D");
  EXPECT_TRUE(s->FgImagesOn);
  EXPECT_FALSE(s->BgImagesOn);
  FreeStageSettings(s);
  EXPECT_EQ(s, nullptr);

  p.DefaultSize = false;
  s = GatherStageSettings(p);
  EXPECT_EQ(s->Width, 500);
  // A template without a description has no size: the typed size stands.
  p.SelectTemplate(1);
  p.DefaultSize = true;
  s = GatherStageSettings(p);
  EXPECT_EQ(s->Template, nullptr);
  EXPECT_EQ(s->TemplateName, "plain.swf");
  EXPECT_EQ(s->Width, 500);
  EXPECT_EQ(s->Height, 400);
}

TEST(StageSettings, PreloaderColoursGoIntoItsParameters) {
  UserFolders user;
  TProject p = MakeDefaultProject();
  TPreloaderParams bar{"bar.swf",
                       {{"Bg.Color", "0x000000", "color", "Bar", "0x000000", "", "", ""},
                        {"bg.bgcolor", "0x000000", "COLOR", "Back", "0x000000", "", "", ""},
                        {"Bg.Color", "0x000000", "integer", "Not a colour", "", "", "", ""},
                        {"Speed", "5", "integer", "Speed", "5", "1", "9", ""}}};
  p.Preloaders.push_back(bar);
  p.SelectPreloader(0);
  p.PreloaderOn = true;
  p.PreloaderBarColor = MakeColor(0xFF, 0x80, 0x00);
  p.PreloaderBgColor = MakeColor(0x01, 0x02, 0x03);
  auto s = GatherStageSettings(p);
  EXPECT_TRUE(s->PreloaderOn);
  EXPECT_EQ(s->PreloaderName, "bar.swf");
  ASSERT_EQ(s->Preloader, &p.Preloaders[0]);
  EXPECT_EQ(s->Preloader->Params[0].Value, "0xFF8000");
  EXPECT_EQ(s->Preloader->Params[1].Value, "0x010203");
  EXPECT_EQ(s->Preloader->Params[2].Value, "0x000000");  // not of type "color"
  EXPECT_EQ(s->Preloader->Params[3].Value, "5");
}

}  // namespace
}  // namespace tw::test
