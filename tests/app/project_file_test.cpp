// Project files: saving and applying every field, the file's own rules (boolean forms, the
// parameter cursor, image lists, the converting group), and hostile files.
#include <signal.h>
#include <sys/resource.h>

#include <fstream>

#include "app/app_support.h"
#include "app/music_info.h"
#include "app/paths.h"
#include "app/project_file.h"
#include "app/templates.h"
#include "support/template_movies.h"
#include "util/files.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

std::string Click() {
  return CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__click.mp3").string();
}
std::string Chord() {
  return CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__brokenchord.wav").string();
}

TMP3Info SongAt(std::string path) {
  TMP3Info song;
  song.Path = std::move(path);
  return song;
}

TTemplateEntry MakeTemplate(std::string file, int32_t width, int32_t height,
                            std::vector<std::pair<std::string, std::string>> params) {
  TTemplateEntry t{std::move(file), std::make_unique<TTemplateInfo>()};
  t.Info->DefaultWidth = width;
  t.Info->DefaultHeight = height;
  for (auto& [name, value] : params) {
    auto param = std::make_unique<TTemplateParam>();
    param->Name = name;
    param->Caption = name + " caption";
    param->DefaultValue = param->Value = value;
    t.Info->AddParam(std::move(param));
  }
  return t;
}

TPreloaderParams MakePreloader(std::string file, std::string bar, std::string background) {
  TPreloaderParams p{std::move(file), {}};
  p.Params.push_back({"Bg.Color", bar, "color", "Bar", bar, "", "", ""});
  p.Params.push_back({"Bg.BgColor", background, "color", "Background", background, "", "", ""});
  return p;
}

// A project with the lists the scan of the player and preloader folders would give.
TProject ProjectWithLists() {
  TProject p = MakeDefaultProject();
  p.Templates.push_back(MakeTemplate(
      "Basic.swf", 300, 40, {{"Py.Autostart", "Yes"}, {"Py.Loop", "No"}, {"Py.Color", "0x112233"}}));
  p.Templates.push_back(TTemplateEntry{"plain.swf", nullptr});
  p.Templates.push_back(MakeTemplate("compact.swf", 200, 20, {{"Py.Volume", "80"}}));
  p.SelectTemplate(0);
  p.Preloaders.push_back(MakePreloader("bar.swf", "0xFF0000", "0x000000"));
  p.Preloaders.push_back(MakePreloader("ring.swf", "0x00FF00", "0xFFFFFF"));
  p.SelectPreloader(0);
  return p;
}

std::vector<std::string> ParamValues(const TTemplateEntry& t) {
  std::vector<std::string> values;
  if (t.Info)
    for (const TTemplateParam* q = t.Info->FirstParam.get(); q; q = q->Next.get())
      values.push_back(q->Name + "=" + q->Value);
  return values;
}

void ExpectSameImages(const std::vector<TImageEntry>& a, const std::vector<TImageEntry>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE("image " + std::to_string(i));
    EXPECT_EQ(a[i].File, b[i].File);
    EXPECT_EQ(a[i].Position, b[i].Position);
    EXPECT_EQ(a[i].Left, b[i].Left);
    EXPECT_EQ(a[i].Top, b[i].Top);
    EXPECT_EQ(a[i].XScale, b[i].XScale);
    EXPECT_EQ(a[i].YScale, b[i].YScale);
    EXPECT_EQ(a[i].Rotation, b[i].Rotation);
  }
}

void ExpectSameProject(const TProject& a, const TProject& b) {
  ASSERT_EQ(a.Music.size(), b.Music.size());
  for (size_t i = 0; i < a.Music.size(); ++i) {
    SCOPED_TRACE("song " + std::to_string(i));
    const TMP3Info &x = a.Music[i], &y = b.Music[i];
    EXPECT_EQ(x.Kind, y.Kind);
    EXPECT_EQ(x.Path, y.Path);
    EXPECT_EQ(x.Duration, y.Duration);
    EXPECT_EQ(x.SampleRate, y.SampleRate);
    EXPECT_EQ(x.BitRate, y.BitRate);
    EXPECT_EQ(x.Mode, y.Mode);
    EXPECT_EQ(x.DataOffset, y.DataOffset);
    EXPECT_EQ(x.Title, y.Title);
    EXPECT_EQ(x.Artist, y.Artist);
    EXPECT_EQ(x.Album, y.Album);
  }
  EXPECT_EQ(a.Reencode, b.Reencode);
  EXPECT_EQ(a.PresetIndex, b.PresetIndex);
  EXPECT_EQ(a.SampleRateIndex, b.SampleRateIndex);
  EXPECT_EQ(a.BitRateIndex, b.BitRateIndex);
  EXPECT_EQ(a.ChannelsIndex, b.ChannelsIndex);
  EXPECT_EQ(a.SelectedTemplate, b.SelectedTemplate);
  ASSERT_EQ(a.Templates.size(), b.Templates.size());
  for (size_t i = 0; i < a.Templates.size(); ++i)
    EXPECT_EQ(ParamValues(a.Templates[i]), ParamValues(b.Templates[i]));
  EXPECT_EQ(a.DefaultSize, b.DefaultSize);
  EXPECT_EQ(a.Width, b.Width);
  EXPECT_EQ(a.Height, b.Height);
  EXPECT_EQ(a.PlayerPosition, b.PlayerPosition);
  EXPECT_EQ(a.Left, b.Left);
  EXPECT_EQ(a.Top, b.Top);
  EXPECT_EQ(a.XScale, b.XScale);
  EXPECT_EQ(a.YScale, b.YScale);
  EXPECT_EQ(a.Rotation, b.Rotation);
  EXPECT_EQ(a.Transparent, b.Transparent);
  EXPECT_EQ(a.SolidColor, b.SolidColor);
  EXPECT_EQ(a.PreloaderOn, b.PreloaderOn);
  EXPECT_EQ(a.SelectedPreloader, b.SelectedPreloader);
  EXPECT_EQ(a.PreloaderBarColor, b.PreloaderBarColor);
  EXPECT_EQ(a.PreloaderBgColor, b.PreloaderBgColor);
  EXPECT_EQ(a.FlashVersionIndex, b.FlashVersionIndex);
  EXPECT_EQ(a.FrameRate, b.FrameRate);
  EXPECT_EQ(a.PlayPercent, b.PlayPercent);
  EXPECT_EQ(a.BgImagesOn, b.BgImagesOn);
  ExpectSameImages(a.BgImages, b.BgImages);
  EXPECT_EQ(a.FgImagesOn, b.FgImagesOn);
  ExpectSameImages(a.FgImages, b.FgImages);
  EXPECT_EQ(a.OutputFolder, b.OutputFolder);
  EXPECT_EQ(a.OutputName, b.OutputName);
  EXPECT_EQ(a.PublishOption, b.PublishOption);
  EXPECT_EQ(a.MusicFormat, b.MusicFormat);
  EXPECT_EQ(a.UseFullUrl, b.UseFullUrl);
  EXPECT_EQ(a.FullUrl, b.FullUrl);
  EXPECT_EQ(a.OnlyFlashPlayer, b.OnlyFlashPlayer);
  EXPECT_EQ(a.Ruffle, b.Ruffle);
  EXPECT_EQ(a.RuffleUrl, b.RuffleUrl);
}

// A project in which every field differs from the defaults.
TProject EveryFieldChanged(const std::string& outputFolder) {
  TProject p = ProjectWithLists();
  AddMusicFile(p, Click());
  AddMusicFile(p, Chord());
  AddMusicFile(p, Click());  // the same song twice
  p.Music[0].Title = "Edited <title> & \"quotes\"";
  p.Music[1].Artist = "Ärtist of a WAV";
  p.Music[2].Album = "  spaced  ";
  p.Reencode = false;
  p.PresetIndex = kCustomPreset;
  p.SampleRateIndex = 2;
  p.BitRateIndex = 17;
  p.ChannelsIndex = 1;
  p.SelectTemplate(2);
  p.Templates[2].Info->FirstParam->Value = "35";
  p.Templates[0].Info->FirstParam->Value = "No";  // not the selected one: not saved
  p.DefaultSize = false;
  p.Width = 640;
  p.Height = 480;
  p.PlayerPosition = TPlayerPosition::Center;
  p.Left = 12;
  p.Top = 5000;
  p.XScale = 50;
  p.YScale = 1000;
  p.Rotation = 360;
  p.Transparent = true;
  p.SolidColor = MakeColor(0xAB, 0xCD, 0xEF);
  p.PreloaderOn = true;
  p.SelectPreloader(1);
  p.PreloaderBarColor = MakeColor(1, 2, 3);
  p.PreloaderBgColor = MakeColor(0xFE, 0xDC, 0xBA);
  p.FlashVersionIndex = 0;
  p.FrameRate = 100;
  p.PlayPercent = 40;
  p.BgImagesOn = true;
  p.BgImages = {TImageEntry{"/img/back.png", TImagePosition::Custom, -1000, 1000, 1, 999, 45},
                TImageEntry{"/img/tile.gif", TImagePosition::Tile, 0, 0, 100, 100, 0}};
  p.FgImagesOn = false;
  p.FgImages = {TImageEntry{"/img/logo.swf", TImagePosition::Stretch, 3, 4, 5, 6, 7}};
  p.OutputFolder = outputFolder;
  p.OutputName = "My Player.SWF";
  p.PublishOption = TPublishOption::MusicFiles;
  p.MusicFormat = TMusicFormat::FLV;
  p.UseFullUrl = true;
  p.FullUrl = "http://example.org/songs/";
  p.OnlyFlashPlayer = true;
  p.Ruffle = TRuffleMode::Copy;
  p.RuffleUrl = "https://cdn.example.org/ruffle/ruffle.js?v=1&x=\"2\"";
  return p;
}

TEST(ProjectFile, SaveThenApplyRestoresEveryField) {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  const TProject saved = EveryFieldChanged(dir.path().string());
  const std::string path = (dir / "every field.prj").string();
  ASSERT_TRUE(SaveProjectFile(saved, path, host));

  // Applied to a project as the window holds it at start: every field comes back, the
  // unselected template keeping its own values.
  TProject applied = ProjectWithLists();
  const TApplyOutcome outcome = OpenProject(applied, path, host);
  EXPECT_EQ(outcome.Status, TApplyStatus::Applied);
  EXPECT_EQ(host.Errors, std::vector<std::string>{});
  EXPECT_EQ(outcome.DroppedSongs, std::vector<std::string>{});
  TProject expected = EveryFieldChanged(dir.path().string());
  expected.Templates[0].Info->FirstParam->Value = "Yes";
  ExpectSameProject(applied, expected);
  EXPECT_EQ(host.MessageRuns, 3);  // the message queue ran after each song

  // A second save of what was applied is byte for byte the first.
  const std::string again = (dir / "again.prj").string();
  ASSERT_TRUE(SaveProjectFile(applied, again, host));
  EXPECT_EQ(ReadText(again), ReadText(path));
  EXPECT_EQ(ReadText(path), ProjectFileText(saved));
  EXPECT_EQ(FolderFiles(dir.path()), (std::vector<std::string>{"again.prj", "every field.prj"}));
}

// Templates and preloaders as the program finds them beside itself, made by the movie builder:
// the selection and the edited values go through a file and come back into freshly read lists.
TEST(ProjectFile, RealTemplatesSaveAndApply) {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  const fs::path player = dir / "player", preloader = dir / "preloader";
  fs::create_directories(player);
  fs::create_directories(preloader);
  WriteTemplate(player / "skin.swf", UsualDefinition());
  TTemplateMovie wide;
  wide.Width = 640;
  wide.Height = 80;
  wide.Constants = {Definition({{"Py.Autostart", R"(caption="Play at once" type="bool" default="No")"}})};
  WriteTemplate(player / "wide.swf", wide);
  tw::WriteWholeFile(player / "notes.swf", Hex("6E 6F 74 65"));
  WriteTemplate(preloader / "bar.swf",
                Definition({{"Bg.Color", R"(caption="Bar" type="color" default="0xFF8000")"},
                            {"Bg.BgColor", R"(caption="Back" type="color" default="0x112233")"}}));
  WriteTemplate(preloader / "ring.swf",
                Definition({{"Bg.Color", R"(caption="Bar" type="color" default="0x00FF00")"}}));
  auto scanned = [&] {
    TProject p = MakeDefaultProject();
    LoadTemplatesAndPreloaders(p, player.string() + "/", preloader.string() + "/");
    return p;
  };

  TProject p = scanned();
  ASSERT_EQ(p.Templates.size(), 3u);
  const int32_t skin = FindTemplate(p, "SKIN.swf"), wideIndex = FindTemplate(p, "wide.swf");
  ASSERT_GE(skin, 0);
  ASSERT_TRUE(p.Templates[static_cast<size_t>(skin)].Info);
  // The window edits the grid of one template, then of another that ends up selected.
  p.SelectTemplate(wideIndex);
  ASSERT_TRUE(SetParamValueByCaption(*p.Template()->Info, "Play at once", "Yes"));
  p.SelectTemplate(skin);
  TTemplateInfo& info = *p.Template()->Info;
  for (const auto& [caption, value] :
       std::vector<std::pair<std::string, std::string>>{{"Loop", "No"},
                                                        {"Volume", "35"},
                                                        {"Colour", "0xABCDEF"},
                                                        {"Skin", ""},
                                                        {"Title", "Neu – ☂ <&> \"q\""}})
    ASSERT_TRUE(SetParamValueByCaption(info, caption, value)) << caption;
  p.DefaultSize = false;
  p.Width = 500;
  p.Height = 60;
  p.PreloaderOn = true;
  p.SelectPreloader(FindPreloader(p, "ring.swf"));
  p.PreloaderBgColor = MakeColor(1, 2, 3);

  const std::string path = (dir / "skin.prj").string();
  ASSERT_TRUE(SaveProjectFile(p, path, host));
  const std::string text = ReadText(path);
  EXPECT_NE(text.find("    <style name=\"skin.swf\">\n"
                      "      <Py.Autostart>Yes</Py.Autostart>\n"
                      "      <Py.Loop>No</Py.Loop>\n"
                      "      <Py.Volume>35</Py.Volume>\n"
                      "      <Py.Color>0xABCDEF</Py.Color>\n"
                      "      <Py.Skin />\n"
                      "      <Py.Title>Neu – ☂ &lt;&amp;&gt; \"q\"</Py.Title>\n"
                      "    </style>\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<preloadername>ring.swf</preloadername>"), std::string::npos) << text;

  // A fresh start: the lists read again, the first template and preloader selected, then the file.
  TProject q = scanned();
  EXPECT_EQ(q.Template()->FileName, "notes.swf");
  const TApplyOutcome outcome = OpenProject(q, path, host);
  EXPECT_EQ(outcome.Status, TApplyStatus::Applied);
  EXPECT_EQ(host.Errors, std::vector<std::string>{});
  EXPECT_EQ(q.SelectedTemplate, skin);
  EXPECT_EQ(ParamValues(q.Templates[static_cast<size_t>(skin)]),
            ParamValues(p.Templates[static_cast<size_t>(skin)]));
  // Only the selected template's values are saved: the other one has its defaults again.
  EXPECT_EQ(ParamValues(q.Templates[static_cast<size_t>(wideIndex)]),
            std::vector<std::string>{"Py.Autostart=No"});
  EXPECT_EQ(q.Width, 500);
  EXPECT_EQ(q.Height, 60);
  EXPECT_EQ(q.Preloader()->FileName, "ring.swf");
  // The colours are the file's, and the preloader's own table is left as it was read.
  EXPECT_EQ(q.PreloaderBarColor, p.PreloaderBarColor);
  EXPECT_EQ(q.PreloaderBgColor, MakeColor(1, 2, 3));
  EXPECT_EQ(q.Preloader()->Params.at(0).Value, "0x00FF00");
  const std::string again = (dir / "again.prj").string();
  ASSERT_TRUE(SaveProjectFile(q, again, host));
  EXPECT_EQ(ReadText(again), text);

  // A template without a description: named, no values; applying it selects it.
  q.SelectTemplate(FindTemplate(q, "notes.swf"));
  ASSERT_TRUE(SaveProjectFile(q, again, host));
  EXPECT_NE(ReadText(again).find("<style name=\"notes.swf\" />"), std::string::npos);
  TProject r = scanned();
  r.SelectTemplate(skin);
  EXPECT_EQ(OpenProject(r, again, host).Status, TApplyStatus::Applied);
  EXPECT_EQ(r.Template()->FileName, "notes.swf");
}

TEST(ProjectFile, DocumentLayout) {
  UserFolders user;
  TProject p = ProjectWithLists();
  AddMusicFile(p, Click());
  p.Music[0].Album.clear();
  p.FgImagesOn = true;
  p.FgImages = {TImageEntry{"/img/a b.png"}};
  p.OutputFolder = " ";
  p.FullUrl = " http://example.com/x ";
  p.XScale = 50.5;  // held with a fraction, written rounded (halves to even)
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<options>\n"
      "  <files>\n"
      "    <file0 name=\"" + Click() + "\">\n"
      "      <title>Clicky</title>\n"
      "      <artist>Benjamin Wolsey</artist>\n"
      "      <album />\n"
      "    </file0>\n"
      "  </files>\n"
      "  <encoding>\n"
      "    <breencode>True</breencode>\n"
      "    <encodingoptions>4</encodingoptions>\n"
      "    <samplerate>1</samplerate>\n"
      "    <bitrate>2</bitrate>\n"
      "    <channels>0</channels>\n"
      "  </encoding>\n"
      "  <player>\n"
      "    <style name=\"Basic.swf\">\n"
      "      <Py.Autostart>Yes</Py.Autostart>\n"
      "      <Py.Loop>No</Py.Loop>\n"
      "      <Py.Color>0x112233</Py.Color>\n"
      "    </style>\n"
      "    <bdefaultsize>True</bdefaultsize>\n"
      "    <width>300</width>\n"
      "    <height>40</height>\n"
      "    <playerpos>1</playerpos>\n"
      "    <left>0</left>\n"
      "    <top>0</top>\n"
      "    <rotate>0</rotate>\n"
      "    <xscale>50</xscale>\n"
      "    <yscale>100</yscale>\n"
      "    <btransparent>False</btransparent>\n"
      "    <solidcolor>0x003366</solidcolor>\n"
      "    <bpreloader>False</bpreloader>\n"
      "    <preloadername>bar.swf</preloadername>\n"
      "    <preloadercolor>0xFF0000</preloadercolor>\n"
      "    <preloaderbgcolor>0x000000</preloaderbgcolor>\n"
      "    <iversion>2</iversion>\n"
      "    <iframerate>12</iframerate>\n"
      "    <playpercent>0</playpercent>\n"
      "    <bgimage checked=\"0\" count=\"0\" />\n"
      "    <fgimage checked=\"-1\" count=\"1\">\n"
      "      <fgimage0>\n"
      "        <file>/img/a b.png</file>\n"
      "        <imageposition>0</imageposition>\n"
      "        <imageleft>0</imageleft>\n"
      "        <imagetop>0</imagetop>\n"
      "        <imagexscale>100</imagexscale>\n"
      "        <imageyscale>100</imageyscale>\n"
      "        <imagerotate>0</imagerotate>\n"
      "      </fgimage0>\n"
      "    </fgimage>\n"
      "  </player>\n"
      "  <converting>\n"
      "    <outputfilename>player.swf</outputfilename>\n"
      "    <publishoption>1</publishoption>\n"
      "    <fileformat>0</fileformat>\n"
      "    <bFullURL>0</bFullURL>\n"
      "    <StrFullURL>http://example.com/x/</StrFullURL>\n"
      "    <bOnlyFlashPlayer>0</bOnlyFlashPlayer>\n"
      "    <ruffle>off</ruffle>\n"
      "    <ruffleurl>https://unpkg.com/@ruffle-rs/ruffle</ruffleurl>\n"
      "  </converting>\n"
      "</options>\n";
  EXPECT_EQ(ProjectFileText(p), expected);

  // A template without a description contributes no parameters; no choice names no file.
  p.SelectTemplate(1);
  p.SelectedPreloader = -1;
  p.FullUrl = "  ";
  const std::string text = ProjectFileText(p);
  EXPECT_NE(text.find("<style name=\"plain.swf\" />"), std::string::npos) << text;
  EXPECT_NE(text.find("<preloadername />"), std::string::npos) << text;
  EXPECT_NE(text.find("<StrFullURL />"), std::string::npos) << text;
}

// Applies a document to the start-up state with the lists; returns the outcome.
TApplyOutcome ApplyDoc(TProject& p, const std::string& body, RecordingHost& host) {
  return ApplyProjectText(p, "<?xml version=\"1.0\"?><options>" + body + "</options>", host);
}

TEST(ProjectFile, AppliesTheFilesOwnRules) {
  UserFolders user;
  TempDir dir;
  struct Case {
    const char* name;
    std::string body;
    std::function<void(const TProject&, const TApplyOutcome&)> check;
  } cases[] = {
      {"both boolean forms, other numbers, any case of the element names",
       "<ENCODING><BReencode>true</BReencode></ENCODING><converting><bFullURL>-1</bFullURL>"
       "<BONLYFLASHPLAYER>7</BONLYFLASHPLAYER></converting><player><btransparent>True"
       "</btransparent><bpreloader> 0 </bpreloader><bdefaultsize>FALSE</bdefaultsize></player>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_TRUE(p.Reencode);
         EXPECT_TRUE(p.UseFullUrl);
         EXPECT_TRUE(p.OnlyFlashPlayer);
         EXPECT_TRUE(p.Transparent);
         EXPECT_FALSE(p.PreloaderOn);
         EXPECT_FALSE(p.DefaultSize);
       }},
      {"parameters in another order than the definition: the cursor passes what it skips",
       "<player><style name=\"BASIC.SWF\"><Py.Color>0xABCDEF</Py.Color><py.autostart>No"
       "</py.autostart></style></player>",
       [](const TProject& p, const TApplyOutcome& o) {
         EXPECT_EQ(p.SelectedTemplate, 0);
         EXPECT_EQ(ParamValues(p.Templates[0]), (std::vector<std::string>{
                                                     "Py.Autostart=Yes", "Py.Loop=No",
                                                     "Py.Color=0xABCDEF"}));
         EXPECT_EQ(o.Applied, std::vector<std::string>{"player.style"});
       }},
      {"an element that matches no parameter ends the matching",
       "<player><style name=\"Basic.swf\"><Py.Autostart>No</Py.Autostart><Py.Gone>1</Py.Gone>"
       "<Py.Loop>Yes</Py.Loop></style></player>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(ParamValues(p.Templates[0]), (std::vector<std::string>{
                                                     "Py.Autostart=No", "Py.Loop=No",
                                                     "Py.Color=0x112233"}));
       }},
      {"a template that is not here changes nothing; its values are not applied",
       "<player><style name=\"gone.swf\"><Py.Autostart>No</Py.Autostart></style>"
       "<preloadername>gone.swf</preloadername></player>",
       [](const TProject& p, const TApplyOutcome& o) {
         EXPECT_EQ(p.SelectedTemplate, 0);
         EXPECT_EQ(ParamValues(p.Templates[0])[0], "Py.Autostart=Yes");
         EXPECT_EQ(p.SelectedPreloader, 0);
         EXPECT_EQ(o.MissingTemplate, "gone.swf");
         EXPECT_EQ(o.MissingPreloader, "gone.swf");
         EXPECT_EQ(o.Applied, std::vector<std::string>{});
       }},
      {"a template takes its size unless the file names one after it",
       "<player><style name=\"compact.swf\"/><height>77</height></player>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.SelectedTemplate, 2);
         EXPECT_EQ(p.Width, 200);
         EXPECT_EQ(p.Height, 77);
       }},
      {"choosing a preloader keeps the colours; the colour elements set them",
       "<player><preloadername>Ring.swf</preloadername><preloaderbgcolor>0x0A0B0C"
       "</preloaderbgcolor></player>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.SelectedPreloader, 1);
         EXPECT_EQ(ColorToHex(p.PreloaderBarColor), "0xFF0000");
         EXPECT_EQ(ColorToHex(p.PreloaderBgColor), "0x0A0B0C");
       }},
      {"an image entry without scales has scales 0; a count of 0 keeps the list",
       "<player><bgimage checked=\"-1\" count=\"1\"><bgimage0><file>/a.png</file>"
       "<imageposition>1</imageposition><imageleft>-5</imageleft></bgimage0></bgimage>"
       "<fgimage checked=\"True\" count=\"0\"><fgimage0><file>/b.png</file></fgimage0>"
       "</fgimage></player>",
       [](const TProject& p, const TApplyOutcome&) {
         ASSERT_EQ(p.BgImages.size(), 1u);
         EXPECT_EQ(p.BgImages[0].File, "/a.png");
         EXPECT_EQ(p.BgImages[0].Position, TImagePosition::Custom);
         EXPECT_EQ(p.BgImages[0].Left, -5);
         EXPECT_EQ(p.BgImages[0].XScale, 0);
         EXPECT_EQ(p.BgImages[0].YScale, 0);
         EXPECT_TRUE(p.BgImagesOn);
         EXPECT_TRUE(p.FgImagesOn);
         ASSERT_EQ(p.FgImages.size(), 1u);
         EXPECT_EQ(p.FgImages[0].File, "/kept.png");
       }},
      {"entries come in index order, below the count, first of an index",
       "<player><bgimage checked=\"0\" count=\"3\"><bgimage2><file>/c</file></bgimage2>"
       "<bgimage0><file>/a</file></bgimage0><bgimage0><file>/dup</file></bgimage0>"
       "<bgimage3><file>/beyond</file></bgimage3><bgimage01><file>/zero</file></bgimage01>"
       "<BGIMAGE1><file>/b</file></BGIMAGE1></bgimage></player>",
       [](const TProject& p, const TApplyOutcome&) {
         ASSERT_EQ(p.BgImages.size(), 3u);
         EXPECT_EQ(p.BgImages[0].File, "/a");
         EXPECT_EQ(p.BgImages[1].File, "/b");
         EXPECT_EQ(p.BgImages[2].File, "/c");
         EXPECT_FALSE(p.BgImagesOn);
       }},
      {"indices outside their lists are left alone, from below as from above",
       "<encoding><samplerate>-1</samplerate><bitrate>18</bitrate><channels>1</channels>"
       "<encodingoptions>-1</encodingoptions><encodingoptions>5</encodingoptions></encoding>"
       "<player><playerpos>2</playerpos><iversion>-1</iversion><bgimage checked=\"0\" "
       "count=\"1\"><bgimage0><imageposition>4</imageposition></bgimage0></bgimage></player>"
       "<converting><fileformat>3</fileformat></converting>",
       [](const TProject& p, const TApplyOutcome& o) {
         EXPECT_EQ(p.SampleRateIndex, 1);
         EXPECT_EQ(p.BitRateIndex, 2);
         EXPECT_EQ(p.ChannelsIndex, 1);
         EXPECT_EQ(p.PresetIndex, kCustomPreset);
         EXPECT_EQ(p.PlayerPosition, TPlayerPosition::Custom);
         EXPECT_EQ(p.FlashVersionIndex, 2);
         EXPECT_EQ(p.BgImages.at(0).Position, TImagePosition::Center);
         EXPECT_EQ(p.MusicFormat, TMusicFormat::SWF);
         EXPECT_EQ(o.Applied, (std::vector<std::string>{"encoding.channels", "player.bgimage"}));
       }},
      {"a preset overwrites the indices before it, not those after it",
       "<encoding><samplerate>0</samplerate><encodingoptions>3</encodingoptions>"
       "<channels>0</channels></encoding>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.PresetIndex, 3);
         EXPECT_EQ(p.SampleRateIndex, 2);
         EXPECT_EQ(p.BitRateIndex, 11);
         EXPECT_EQ(p.ChannelsIndex, 0);
       }},
      {"spin fields keep to their ranges",
       "<player><width>99999</width><height>-3</height><left>5001</left><iframerate>0"
       "</iframerate><rotate>361</rotate><xscale>0</xscale><yscale>12.5</yscale>"
       "<playpercent>101</playpercent></player>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.Width, 5000);
         EXPECT_EQ(p.Height, 0);
         EXPECT_EQ(p.Left, 5000);
         EXPECT_EQ(p.FrameRate, 1);
         EXPECT_EQ(p.Rotation, 360);
         EXPECT_EQ(p.XScale, 1);
         EXPECT_EQ(p.YScale, 12.5);
         EXPECT_EQ(p.PlayPercent, 100);
       }},
      {"colours of other forms read what they can, never past their end",
       "<player><solidcolor>0x1</solidcolor><preloadercolor>0xABC</preloadercolor>"
       "<preloaderbgcolor>red</preloaderbgcolor></player>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.SolidColor, 0u);
         EXPECT_EQ(p.PreloaderBarColor, MakeColor(0xAB, 0, 0));
         EXPECT_EQ(p.PreloaderBgColor, 0u);
       }},
      {"output name and folder, publish option and URL as the converting group takes them",
       "<converting><outputfilename> song </outputfilename><publishoption>2</publishoption>"
       "<StrFullURL> http://x.org/a </StrFullURL></converting>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.OutputName, "song.swf");
         EXPECT_EQ(p.PublishOption, TPublishOption::MusicFiles);
         EXPECT_EQ(p.FullUrl, " http://x.org/a ");  // as written
       }},
      {"a name ending in .SWF stays; blanks and a folder that is not there are not taken",
       "<converting><outputfilename>Big.SWF</outputfilename><outputfilename>  "
       "</outputfilename><outputfolder>/no/such/folder</outputfolder><publishoption>7"
       "</publishoption></converting>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.OutputName, "Big.SWF");
         EXPECT_EQ(p.OutputFolder, "/kept/");
         EXPECT_EQ(p.PublishOption, TPublishOption::PlayerAndMusicFiles);
       }},
      {"a song that is gone is left out without a word; the file's texts replace the tags",
       "<files><file0 name=\"/no/such/song.mp3\"><title>Gone</title></file0>"
       "<file1 name=\"" + Click() + "\"><ARTIST>Someone</ARTIST><title>Named</title></file1>"
       "<file2/><file3 name=\"" + Chord() + "\"/></files>",
       [](const TProject& p, const TApplyOutcome& o) {
         ASSERT_EQ(p.Music.size(), 3u);  // after the song that was there
         EXPECT_EQ(p.Music[1].Title, "Named");
         EXPECT_EQ(p.Music[1].Artist, "Someone");
         EXPECT_EQ(p.Music[1].Album, "Gnash");  // from the tag
         EXPECT_EQ(p.Music[2].Kind, 1);
         EXPECT_EQ(o.DroppedSongs, (std::vector<std::string>{"/no/such/song.mp3", ""}));
       }},
      {"the emulator's setting by name in any case; an empty address is not taken",
       "<converting><ruffle> COPY </ruffle><ruffleurl> https://x.org/r.js </ruffleurl>"
       "<ruffleurl>  </ruffleurl></converting>",
       [](const TProject& p, const TApplyOutcome& o) {
         EXPECT_EQ(p.Ruffle, TRuffleMode::Copy);
         EXPECT_EQ(p.RuffleUrl, "https://x.org/r.js");
         EXPECT_EQ(o.Applied, (std::vector<std::string>{"converting.ruffle",
                                                        "converting.ruffleurl"}));
       }},
      {"an emulator setting the program does not know turns the emulator off",
       "<converting><ruffle>link</ruffle><ruffle>inline</ruffle></converting>",
       [](const TProject& p, const TApplyOutcome&) { EXPECT_EQ(p.Ruffle, TRuffleMode::Off); }},
      {"text that is not UTF-8 is taken as Windows-1252",
       "<files><file0 name=\"" + Chord() + "\"><title>Caf\xE9</title></file0></files>",
       [](const TProject& p, const TApplyOutcome&) {
         EXPECT_EQ(p.Music.at(1).Title, "Caf\xC3\xA9");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TProject p = ProjectWithLists();
    p.Music.push_back(SongAt("/already/there.mp3"));
    p.FgImages = {TImageEntry{"/kept.png"}};
    p.OutputFolder = "/kept/";
    RecordingHost host;
    const TApplyOutcome o = ApplyDoc(p, c.body, host);
    EXPECT_EQ(o.Status, TApplyStatus::Applied);
    EXPECT_EQ(host.Errors, std::vector<std::string>{});
    c.check(p, o);
  }
}

TEST(ProjectFile, HostileFiles) {
  UserFolders user;
  TempDir dir;
  std::string nested = "<options><player>";
  for (int i = 0; i < 1'000'000; ++i) nested += "<a>";
  std::string closedNested = nested;
  for (int i = 0; i < 1'000'000; ++i) closedNested += "</a>";
  closedNested += "<width>320</width></player></options>";
  nested += "<width>320</width>";

  struct Case {
    const char* name;
    std::string text;
    TApplyStatus status;
    std::string error;  // the start of the message shown after "Error: "
    std::function<void(const TProject&)> check;
  } cases[] = {
      {"a text without markup has no root", "this is not a project", TApplyStatus::NoRoot, "",
       nullptr},
      {"an empty file", "", TApplyStatus::NoRoot, "", nullptr},
      {"malformed XML", "<options><encoding><breencode>False</encoding></options>",
       TApplyStatus::Failed, "The project is not valid XML: ",
       [](const TProject& p) { EXPECT_TRUE(p.Reencode); }},
      {"binary bytes without an element", std::string("\x89PNG\r\n\x1a\n\0\0<\xff\xfe", 14),
       TApplyStatus::NoRoot, "", nullptr},
      {"another root", "<playlist><player><width>10</width></player></playlist>",
       TApplyStatus::NoRoot, "", [](const TProject& p) { EXPECT_EQ(p.Width, 300); }},
      {"a number that does not read: what came before stays",
       "<options><encoding><breencode>False</breencode><samplerate>2</samplerate><bitrate>fast"
       "</bitrate><channels>1</channels></encoding><player><width>10</width></player></options>",
       TApplyStatus::Failed, "\"fast\" is not a valid integer value (bitrate)",
       [](const TProject& p) {
         EXPECT_FALSE(p.Reencode);
         EXPECT_EQ(p.SampleRateIndex, 2);
         EXPECT_EQ(p.BitRateIndex, 2);
         EXPECT_EQ(p.ChannelsIndex, 0);
         EXPECT_EQ(p.Width, 300);
       }},
      {"a number beyond 32 bits", "<options><player><iframerate>99999999999</iframerate>"
       "</player></options>", TApplyStatus::Failed,
       "\"99999999999\" is not a valid integer value (iframerate)", nullptr},
      {"a boolean that does not read", "<options><converting><bFullURL>maybe</bFullURL>"
       "</converting></options>", TApplyStatus::Failed,
       "\"maybe\" is not a valid boolean value (bFullURL)", nullptr},
      {"a count that does not read keeps the list",
       "<options><player><bgimage checked=\"-1\" count=\"many\"/></player></options>",
       TApplyStatus::Failed, "\"many\" is not a valid integer value (count)",
       [](const TProject& p) {
         EXPECT_TRUE(p.BgImagesOn);
         EXPECT_EQ(p.BgImages.size(), 1u);
       }},
      {"a count of a million with two entries present makes two lines",
       "<options><player><bgimage checked=\"-1\" count=\"1000000\"><bgimage0><file>/a</file>"
       "</bgimage0><bgimage999999><file>/z</file></bgimage999999></bgimage></player></options>",
       TApplyStatus::Applied, "",
       [](const TProject& p) {
         ASSERT_EQ(p.BgImages.size(), 2u);
         EXPECT_EQ(p.BgImages[1].File, "/z");
       }},
      {"a million nested elements, closed", closedNested, TApplyStatus::Applied, "",
       [](const TProject& p) { EXPECT_EQ(p.Width, 320); }},
      {"a million nested elements, never closed", nested, TApplyStatus::Failed,
       "The project is not valid XML: ", [](const TProject& p) { EXPECT_EQ(p.Width, 300); }},
      {"a long quoted value is cut in the message",
       "<options><player><width>" + std::string(5000, '9') + "x</width></player></options>",
       TApplyStatus::Failed, "\"" + std::string(60, '9') + "...\" is not a valid integer value",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TProject p = ProjectWithLists();
    p.BgImages = {TImageEntry{"/kept.png"}};
    RecordingHost host;
    const TApplyOutcome o = ApplyProjectText(p, c.text, host);
    EXPECT_EQ(o.Status, c.status);
    if (c.error.empty()) {
      EXPECT_EQ(host.Errors, std::vector<std::string>{});
    } else {
      ASSERT_EQ(host.Errors.size(), 1u);
      EXPECT_EQ(host.Errors[0].rfind("Error: " + c.error, 0), 0u) << host.Errors[0];
      EXPECT_EQ(host.Errors[0], "Error: " + o.Error);
    }
    if (c.check) c.check(p);
  }

  // A 50 MB file is refused before it is read.
  const fs::path big = dir / "big.prj";
  {
    std::ofstream out(big, std::ios::binary);
    out << "<options><player><width>10</width></player>";
    out << std::string(50u << 20, ' ');
    out << "</options>";
  }
  TProject p = ProjectWithLists();
  RecordingHost host;
  const TApplyOutcome o = ApplyProjectFile(p, big.string(), host);
  EXPECT_EQ(o.Status, TApplyStatus::Failed);
  ASSERT_EQ(host.Errors.size(), 1u);
  EXPECT_EQ(host.Errors[0], "Error: The project file \"" + big.string() + "\" is too large (" +
                                std::to_string(fs::file_size(big)) +
                                " bytes; a project file holds at most 8 MB)");
  EXPECT_EQ(p.Width, 300);

  // A file that is not there: nothing happens, nothing is said; a folder: an error.
  host.Errors.clear();
  EXPECT_EQ(ApplyProjectFile(p, (dir / "none.prj").string(), host).Status, TApplyStatus::NotFound);
  EXPECT_EQ(ApplyProjectFile(p, dir.path().string(), host).Status, TApplyStatus::Failed);
  ASSERT_EQ(host.Errors.size(), 1u);
  EXPECT_NE(host.Errors[0].find("Is a directory"), std::string::npos) << host.Errors[0];
}

TEST(ProjectFile, ImageValuesAreKeptInTheirRanges) {
  UserFolders user;
  // Values the window's fields could never hold; the largest would overflow the picture's size.
  TProject p = ProjectWithLists();
  RecordingHost host;
  const TApplyOutcome o = ApplyDoc(
      p,
      "<player><fgimage checked=\"-1\" count=\"2\"><fgimage0><file>/a.png</file>"
      "<imageposition>3</imageposition><imageleft>-2147483648</imageleft><imagetop>99999"
      "</imagetop><imagexscale>2147483647</imagexscale><imageyscale>-5</imageyscale>"
      "<imagerotate>400</imagerotate></fgimage0><fgimage1><file>/b.png</file>"
      "<imageleft>-1000</imageleft><imagetop>1000</imagetop><imagexscale>1</imagexscale>"
      "<imageyscale>1000</imageyscale><imagerotate>360</imagerotate></fgimage1></fgimage>"
      "</player>",
      host);
  EXPECT_EQ(o.Status, TApplyStatus::Applied);
  ASSERT_EQ(p.FgImages.size(), 2u);
  const TImageEntry& a = p.FgImages[0];
  EXPECT_EQ((std::vector<int32_t>{a.Left, a.Top, a.XScale, a.YScale, a.Rotation}),
            (std::vector<int32_t>{-1000, 1000, 1000, 0, 360}));
  ASSERT_EQ(host.Warnings.size(), 5u) << ::testing::PrintToString(host.Warnings);
  EXPECT_EQ(host.Warnings[2],
            "Warning: The image value \"2147483647\" (imagexscale) is outside 0..1000; 1000 is "
            "used.");
  // The ends of the ranges are taken as they are, without a word.
  const TImageEntry& b = p.FgImages[1];
  EXPECT_EQ((std::vector<int32_t>{b.Left, b.Top, b.XScale, b.YScale, b.Rotation}),
            (std::vector<int32_t>{-1000, 1000, 1, 1000, 360}));
  EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);

  // An entry that names no scale holds 0, is saved so, and reads back the same, silently.
  TProject bare = ProjectWithLists();
  RecordingHost quiet;
  ApplyDoc(bare,
           "<player><fgimage checked=\"-1\" count=\"1\"><fgimage0><file>/c.png</file>"
           "</fgimage0></fgimage></player>",
           quiet);
  ASSERT_EQ(bare.FgImages.size(), 1u);
  const std::string saved = ProjectFileText(bare);
  TProject again = ProjectWithLists();
  EXPECT_EQ(ApplyProjectText(again, saved, quiet).Status, TApplyStatus::Applied);
  EXPECT_EQ(ProjectFileText(again), saved);
  EXPECT_TRUE(quiet.Warnings.empty()) << ::testing::PrintToString(quiet.Warnings);
}

TEST(ProjectFile, AFailedSaveKeepsThePreviousFile) {
  UserFolders user;
  TempDir dir;
  const std::string path = (dir / "project.prj").string();
  const TProject small = MakeDefaultProject();
  RecordingHost host;
  ASSERT_TRUE(SaveProjectFile(small, path, host));
  const std::string before = ReadText(path);

  // A write that fails half-way (the file-size limit of the process stands in for a full disk).
  TProject large = EveryFieldChanged(dir.path().string());
  ASSERT_GT(ProjectFileText(large).size(), before.size() + 100);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit limit = old;
  limit.rlim_cur = before.size() + 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool saved = SaveProjectFile(large, path, host);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(saved);
  ASSERT_EQ(host.Errors.size(), 1u);
  EXPECT_EQ(host.Errors[0].rfind("Error: Cannot write file", 0), 0u) << host.Errors[0];
  EXPECT_EQ(ReadText(path), before);
  EXPECT_EQ(FolderFiles(dir.path()), std::vector<std::string>{"project.prj"});

  // A target that is a folder.
  host.Errors.clear();
  EXPECT_FALSE(SaveProjectFile(small, dir.path().string(), host));
  EXPECT_EQ(host.Errors.size(), 1u);
  EXPECT_EQ(FolderFiles(dir.path()), std::vector<std::string>{"project.prj"});

  // A read-only target stays as it is, also for the superuser, whom its bits would not stop.
  host.Errors.clear();
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(SaveProjectFile(large, path, host));
  EXPECT_EQ(host.Errors, std::vector<std::string>{"Error: Cannot write file \"" + path +
                                                  "\": the file is read-only"});
  EXPECT_EQ(ReadText(path), before);
  EXPECT_EQ(FolderFiles(dir.path()), std::vector<std::string>{"project.prj"});
}

TEST(ProjectFile, StartupNewAndClosingProjects) {
  UserFolders user;
  TempDir dir;
  RecordingHost host;
  EXPECT_EQ(ClosingProjectPath(), user.Work() + "config.prj");

  // The shipped start-up project sets the documented defaults over whatever a project held;
  // it names no song, no size, no folder; it selects the compact bar (which brings its size)
  // and links the emulator.
  TProject p = EveryFieldChanged(dir.path().string());
  p.FgImagesOn = true;
  const std::string shipped = std::string(TW_SOURCE_DIR) + "/default.prj";
  const TApplyOutcome o = ApplyProjectFile(p, shipped, host);
  ASSERT_EQ(o.Status, TApplyStatus::Applied);
  EXPECT_EQ(host.Errors, std::vector<std::string>{});
  const TProject d;
  TProject expected = EveryFieldChanged(dir.path().string());
  expected.Reencode = d.Reencode;
  expected.PresetIndex = d.PresetIndex;
  expected.SampleRateIndex = d.SampleRateIndex;
  expected.BitRateIndex = d.BitRateIndex;
  expected.ChannelsIndex = d.ChannelsIndex;
  expected.DefaultSize = d.DefaultSize;
  expected.PlayerPosition = d.PlayerPosition;
  expected.Left = d.Left;
  expected.Top = d.Top;
  expected.Rotation = d.Rotation;
  expected.XScale = d.XScale;
  expected.YScale = d.YScale;
  expected.Transparent = d.Transparent;
  expected.SolidColor = d.SolidColor;
  expected.PreloaderOn = d.PreloaderOn;
  expected.FlashVersionIndex = d.FlashVersionIndex;
  expected.FrameRate = d.FrameRate;
  expected.PlayPercent = d.PlayPercent;
  expected.BgImagesOn = d.BgImagesOn;  // a count of 0 keeps the lists themselves
  expected.FgImagesOn = d.FgImagesOn;
  expected.OutputName = d.OutputName;
  expected.PublishOption = d.PublishOption;
  expected.MusicFormat = d.MusicFormat;
  expected.UseFullUrl = d.UseFullUrl;
  expected.FullUrl = d.FullUrl;
  expected.OnlyFlashPlayer = d.OnlyFlashPlayer;
  expected.SelectedTemplate = 2;
  expected.Width = 200;
  expected.Height = 20;
  expected.Ruffle = TRuffleMode::Link;
  ExpectSameProject(p, expected);

  // "New project" empties the music list and applies the program's default.prj; this test
  // program has none beside it, so only the list changes.
  TProject q = EveryFieldChanged(dir.path().string());
  EXPECT_EQ(StartupProjectPath(), ProgramFolder() + "default.prj");
  EXPECT_EQ(NewProject(q, host).Status, TApplyStatus::NotFound);
  EXPECT_TRUE(q.Music.empty());
  EXPECT_FALSE(q.Reencode);

  // Closing writes config.prj into the working folder; it opens as the same project.
  ASSERT_TRUE(SaveClosingProject(q, host));
  TProject reopened = ProjectWithLists();
  reopened.Music.push_back(SongAt("/dropped/on/open.mp3"));
  EXPECT_EQ(OpenProject(reopened, ClosingProjectPath(), host).Status, TApplyStatus::Applied);
  TProject expectedQ = EveryFieldChanged(dir.path().string());
  expectedQ.Music.clear();
  expectedQ.Templates[0].Info->FirstParam->Value = "Yes";
  ExpectSameProject(reopened, expectedQ);
}

TEST(ProjectFile, LookupsIgnoreCase) {
  const TProject p = ProjectWithLists();
  EXPECT_EQ(FindTemplate(p, "COMPACT.swf"), 2);
  EXPECT_EQ(FindTemplate(p, "basic"), -1);
  EXPECT_EQ(FindTemplate(p, ""), -1);
  EXPECT_EQ(FindPreloader(p, "Ring.SWF"), 1);
  EXPECT_EQ(FindPreloader(p, "none.swf"), -1);
}

}  // namespace
}  // namespace tw::test
