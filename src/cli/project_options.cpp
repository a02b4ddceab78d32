#include "cli/project_options.h"

#include <filesystem>
#include <map>
#include <sstream>

#include "app/paths.h"
#include "app/project_file.h"
#include "app/templates.h"
#include "cli/commands.h"
#include "util/text.h"

namespace tw::cli {
namespace fs = std::filesystem;
using namespace tw::app;

namespace {

const std::map<std::string, TPublishOption> kOptionNames = {
    {"player-and-music", TPublishOption::PlayerAndMusicFiles},
    {"single", TPublishOption::SinglePlayer},
    {"music-files", TPublishOption::MusicFiles}};
const std::map<std::string, TMusicFormat> kFormatNames = {
    {"swf", TMusicFormat::SWF}, {"flv", TMusicFormat::FLV}, {"mp3", TMusicFormat::MP3}};
const std::map<std::string, TImagePosition> kImagePositions = {
    {"center", TImagePosition::Center},
    {"custom", TImagePosition::Custom},
    {"stretch", TImagePosition::Stretch},
    {"tile", TImagePosition::Tile}};

// The row of a value table whose converter argument is the number given.
int32_t TableIndex(std::string_view what, const auto& table, const std::string& value) {
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].Ffmpeg == value || table[i].Ffmpeg == value + "k") return static_cast<int32_t>(i);
  std::string allowed;
  for (const auto& row : table) allowed += (allowed.empty() ? "" : ", ") + std::string(row.Caption);
  throw CommandError("--" + std::string(what) + " " + value + ": choose one of " + allowed);
}

TColor Colour(std::string_view option, const std::string& c) {
  if (c.size() != 8 || (c.compare(0, 2, "0x") != 0 && c.compare(0, 2, "0X") != 0) ||
      c.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
    throw CommandError("--" + std::string(option) + " " + c + ": write the colour as 0xRRGGBB");
  return HexToColor(c);
}

// "center", "stretch", "tile", or "custom,LEFT,TOP,XSCALE,YSCALE,ROTATION".
void ApplyLayout(std::string_view option, const std::string& layout, TImageEntry& image) {
  std::vector<std::string> parts;
  std::stringstream in(layout);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(Trim(part));
  const auto position = parts.empty() ? kImagePositions.end() : kImagePositions.find(parts[0]);
  const bool custom = position != kImagePositions.end() && position->second == TImagePosition::Custom;
  if (position == kImagePositions.end() || (custom ? parts.size() != 6 : parts.size() != 1))
    throw CommandError("--" + std::string(option) + " " + layout +
                       ": write center, stretch, tile or custom,LEFT,TOP,XSCALE,YSCALE,ROTATION");
  image.Position = position->second;
  if (!custom) return;
  struct Field {
    int32_t* value;
    int32_t min, max;
  } fields[] = {{&image.Left, -1000, 1000},  {&image.Top, -1000, 1000},
                {&image.XScale, 1, 1000},     {&image.YScale, 1, 1000},
                {&image.Rotation, 0, 360}};
  for (size_t i = 0; i < 5; ++i) {
    size_t used = 0;
    int v = 0;
    try {
      v = std::stoi(parts[i + 1], &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != parts[i + 1].size() || v < fields[i].min || v > fields[i].max)
      throw CommandError("--" + std::string(option) + " " + layout + ": \"" + parts[i + 1] +
                         "\" is not a number from " + std::to_string(fields[i].min) + " to " +
                         std::to_string(fields[i].max));
    *fields[i].value = v;
  }
}

void AddImages(std::string_view kind, const std::vector<std::string>& files,
               const std::vector<std::string>& layouts, bool& on, std::vector<TImageEntry>& list) {
  if (layouts.size() > files.size())
    throw CommandError("--" + std::string(kind) + "-image-layout: more layouts than --" +
                       std::string(kind) + "-image files");
  for (size_t i = 0; i < files.size(); ++i) {
    on = true;
    TImageEntry image{FixedText(fs::absolute(files[i]).string())};
    if (i < layouts.size()) ApplyLayout(std::string(kind) + "-image-layout", layouts[i], image);
    list.push_back(image);
  }
}

// The entry of a list by its name: exactly, else without regard to case; -1 when none.
template <class List, class Name>
int32_t FindEntry(const List& list, const std::string& wanted, Name name) {
  int32_t loose = -1;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string& n = name(list[i]);
    if (n == wanted) return static_cast<int32_t>(i);
    if (loose < 0 && ToLowerAscii(n) == ToLowerAscii(wanted)) loose = static_cast<int32_t>(i);
  }
  return loose;
}

template <class List, class Name>
std::string EntryNames(const List& list, Name name) {
  std::string names;
  for (const auto& e : list) names += (names.empty() ? "" : ", ") + name(e);
  return names;
}

const std::string& TemplateName(const TTemplateEntry& e) { return e.FileName; }
const std::string& PreloaderName(const TPreloaderParams& e) { return e.FileName; }

void SelectTemplateByName(TProject& p, const std::string& name) {
  const int32_t i = FindEntry(p.Templates, name, TemplateName);
  if (i < 0)
    throw CommandError("--template " + name + ": there is no such player template in " +
                       PlayerFolder() +
                       (p.Templates.empty() ? std::string(" (it holds none)")
                                            : "; choose one of " + EntryNames(p.Templates, TemplateName)));
  p.SelectTemplate(i);
}

void SelectPreloaderByName(TProject& p, const std::string& name) {
  const int32_t i = FindEntry(p.Preloaders, name, PreloaderName);
  if (i < 0)
    throw CommandError("--preloader " + name + ": there is no such preloader in " + PreloaderFolder() +
                       (p.Preloaders.empty() ? std::string(" (it holds none)")
                                             : "; choose one of " + EntryNames(p.Preloaders, PreloaderName)));
  p.SelectPreloader(i);  // takes the preloader's own colours, as choosing it in the window
  p.PreloaderOn = true;
}

// A value of the selected template's parameter grid, checked against the parameter's type and
// choices.
void SetParam(TProject& p, const std::string& assignment) {
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0)
    throw CommandError("--param " + assignment + ": write the parameter as NAME=VALUE");
  const std::string name = assignment.substr(0, eq), value = assignment.substr(eq + 1);
  TTemplateEntry* t = p.Template();
  if (!t) throw CommandError("--param " + assignment + ": there is no player template in " + PlayerFolder());
  if (!t->Info)
    throw CommandError("--param " + assignment + ": the player template " + t->FileName +
                       " declares no parameters");
  TTemplateParam* param = FindParam(*t->Info, name);
  if (!param) {
    std::string names;
    for (const TTemplateParam* q = t->Info->FirstParam.get(); q; q = q->Next.get())
      names += (names.empty() ? "" : ", ") + q->Name;
    throw CommandError("--param " + assignment + ": the player template " + t->FileName +
                       " has no parameter " + name + "; its parameters are " + names);
  }
  const TParamValueCheck check = CheckParamValue(*param, value);
  if (!check.Value) throw CommandError("--param " + assignment + ": " + check.Error);
  param->Value = *check.Value;
}

}  // namespace

bool IsProjectFile(const std::string& path) {
  return ToLowerAscii(ExtractFileExt(path)) == ".prj";
}

void AddProjectOptions(CLI::App* cmd, ProjectOptions& o) {
  cmd->add_option("--option", o.option,
                  "player-and-music: player, playlist, page and one music file per song; "
                  "single: one player with every song inside (the default, unless --format, "
                  "--url-prefix or --only-player ask for player-and-music); "
                  "music-files: one player and page per song")
      ->check(CLI::IsMember({"player-and-music", "single", "music-files"}));
  cmd->add_option("--format", o.format, "Music files of player-and-music: swf (default), flv, mp3")
      ->check(CLI::IsMember({"swf", "flv", "mp3"}));
  cmd->add_option("--output-folder", o.outputFolder,
                  "Where the files go (default: the working folder's output/)");
  cmd->add_option("--name", o.name, "The output name (default player.swf)");
  auto* reencode = cmd->add_flag("--reencode", o.reencode, "Re-encode the songs with lame (default)");
  cmd->add_flag("--no-reencode", o.noReencode, "Use the songs as they are")->excludes(reencode);
  cmd->add_option("--preset", o.preset,
                  "Encoding preset: 0 normal, 1 good, 2 high, 3 very high quality, 4 custom")
      ->check(CLI::Range(0, 4));
  cmd->add_option("--sample-rate", o.sampleRate, "11025, 22050 or 44100 (Hz)")
      ->check(CLI::IsMember({11025, 22050, 44100}));
  cmd->add_option("--bit-rate", o.bitRate, "8 to 320 (kbps, the MP3 bit rates)");
  cmd->add_option("--channels", o.channels, "mono or stereo")
      ->check(CLI::IsMember({"mono", "stereo", "1", "2"}));
  auto* url = cmd->add_option("--url-prefix", o.urlPrefix,
                              "Web address the playlist puts before each song file");
  cmd->add_flag("--no-url-prefix", o.noUrlPrefix, "The playlist names the song files alone")
      ->excludes(url);
  auto* only = cmd->add_flag("--only-player", o.onlyPlayer, "player-and-music: make no music files");
  cmd->add_flag("--no-only-player", o.noOnlyPlayer, "player-and-music: make the music files too")
      ->excludes(only);
  cmd->add_option("--ruffle", o.ruffle,
                  "The Ruffle emulator on the page, so that it plays without a Flash plug-in: "
                  "off (the plain page, the program's default), link (one script line to "
                  "--ruffle-url) or copy (its files copied beside the page, into ruffle/)")
      ->check(CLI::IsMember({"off", "link", "copy"}));
  cmd->add_option("--ruffle-url", o.ruffleUrl,
                  "The emulator's script a linking page loads (default " +
                      std::string(kDefaultRuffleUrl) + ")");

  cmd->add_option("--template", o.templateName,
                  "The player template, a file of the folder player/ beside the program "
                  "(default: the first; tunewright-cli templates lists them)");
  cmd->add_option("--param", o.params,
                  "NAME=VALUE: a parameter of the player template (repeatable), checked against "
                  "its type: Yes or No, a whole number, a colour 0xRRGGBB, or one of its choices")
      ->allow_extra_args(false);
  cmd->add_option("--width", o.width, "Stage width in pixels (0..5000)")->check(CLI::Range(0, 5000));
  cmd->add_option("--height", o.height, "Stage height in pixels (0..5000)")->check(CLI::Range(0, 5000));
  auto* defaultSize = cmd->add_flag("--default-size", o.defaultSize,
                                    "The stage takes the template's own size (default)");
  cmd->add_flag("--custom-size", o.customSize, "The stage takes --width and --height")
      ->excludes(defaultSize);
  cmd->add_flag("--transparent", o.transparent, "Transparent background");
  cmd->add_option("--background", o.background, "Solid background colour 0xRRGGBB (default 0x003366)");
  cmd->add_option("--preloader", o.preloader,
                  "Show this preloader, a file of the folder preloader/ beside the program");
  auto* preloaderOn = cmd->add_flag("--preloader-on", o.preloaderOn, "Show the preloader");
  cmd->add_flag("--no-preloader", o.noPreloader, "No preloader")->excludes(preloaderOn);
  cmd->add_option("--preloader-color", o.preloaderColor, "The preloader's bar colour 0xRRGGBB");
  cmd->add_option("--preloader-bg-color", o.preloaderBgColor,
                  "The preloader's background colour 0xRRGGBB");
  cmd->add_option("--frame-rate", o.frameRate, "Frames per second (1..100, default 12)")
      ->check(CLI::Range(1, 100));
  cmd->add_option("--flash-version", o.flashVersion, "SWF version 6, 7 or 8 (default 8)")
      ->check(CLI::Range(6, 8));
  cmd->add_option("--play-percent", o.playPercent, "Percent loaded before playing (0..100)")
      ->check(CLI::Range(0.0, 100.0));
  cmd->add_option("--player-position", o.playerPosition, "center or custom (default custom)")
      ->check(CLI::IsMember({"center", "custom"}));
  cmd->add_option("--left", o.left, "Player left, pixels")->check(CLI::Range(0, 5000));
  cmd->add_option("--top", o.top, "Player top, pixels")->check(CLI::Range(0, 5000));
  cmd->add_option("--x-scale", o.xScale, "Player X scale, percent")->check(CLI::Range(1.0, 1000.0));
  cmd->add_option("--y-scale", o.yScale, "Player Y scale, percent")->check(CLI::Range(1.0, 1000.0));
  cmd->add_option("--rotation", o.rotation, "Player rotation, degrees")->check(CLI::Range(0.0, 360.0));
  cmd->add_option("--bg-image", o.bgImages, "A background image, centred (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--bg-image-layout", o.bgLayouts,
                  "The layout of the n-th --bg-image: center, stretch, tile or "
                  "custom,LEFT,TOP,XSCALE,YSCALE,ROTATION (repeatable)")
      ->allow_extra_args(false);
  cmd->add_flag("--no-bg-images", o.noBgImages, "Leave the background images out");
  cmd->add_option("--fg-image", o.fgImages, "A foreground image, centred (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--fg-image-layout", o.fgLayouts,
                  "The layout of the n-th --fg-image, as --bg-image-layout (repeatable)")
      ->allow_extra_args(false);
  cmd->add_flag("--no-fg-images", o.noFgImages, "Leave the foreground images out");
}

void ApplyProjectOptions(const ProjectOptions& o, TProject& p) {
  if (o.option) p.PublishOption = kOptionNames.at(*o.option);
  // The music format, the URL prefix and "only the player" belong to player-and-music alone:
  // asking for one of them without an --option asks for that option.
  else if (o.format || o.urlPrefix || o.onlyPlayer) p.PublishOption = TPublishOption::PlayerAndMusicFiles;
  if (o.format) p.MusicFormat = kFormatNames.at(*o.format);
  if (o.outputFolder) p.OutputFolder = *o.outputFolder;
  if (o.name) p.OutputName = *o.name;
  if (o.reencode) p.Reencode = true;
  if (o.noReencode) p.Reencode = false;
  if (o.preset) p.ApplyPreset(*o.preset);
  // A choice of its own makes the preset "Custom", as in the window.
  if (o.sampleRate || o.bitRate || o.channels) p.PresetIndex = kCustomPreset;
  if (o.sampleRate) p.SampleRateIndex = TableIndex("sample-rate", kSampleRates, std::to_string(*o.sampleRate));
  if (o.bitRate) p.BitRateIndex = TableIndex("bit-rate", kBitRates, std::to_string(*o.bitRate));
  if (o.channels) p.ChannelsIndex = (*o.channels == "stereo" || *o.channels == "2") ? 1 : 0;
  if (o.urlPrefix) {
    p.UseFullUrl = true;
    p.FullUrl = *o.urlPrefix;
  }
  if (o.noUrlPrefix) p.UseFullUrl = false;
  if (o.onlyPlayer) p.OnlyFlashPlayer = true;
  if (o.noOnlyPlayer) p.OnlyFlashPlayer = false;
  if (o.ruffle) p.Ruffle = RuffleModeFromName(*o.ruffle);
  if (o.ruffleUrl) {
    if (Trim(*o.ruffleUrl).empty()) throw CommandError("--ruffle-url: give the script's address");
    p.RuffleUrl = Trim(*o.ruffleUrl);
  }
  // The template first: choosing one takes its size, which --width and --height then override.
  if (o.templateName) SelectTemplateByName(p, *o.templateName);
  for (const std::string& param : o.params) SetParam(p, param);
  if (o.width) p.Width = *o.width;
  if (o.height) p.Height = *o.height;
  if (o.width || o.height || o.customSize) p.DefaultSize = false;
  if (o.defaultSize) p.DefaultSize = true;
  if (o.transparent) p.Transparent = true;
  if (o.background) {
    p.SolidColor = Colour("background", *o.background);
    p.Transparent = false;
  }
  if (o.preloader) SelectPreloaderByName(p, *o.preloader);
  if (o.preloaderOn) p.PreloaderOn = true;
  if (o.noPreloader) p.PreloaderOn = false;
  if (o.preloaderColor) p.PreloaderBarColor = Colour("preloader-color", *o.preloaderColor);
  if (o.preloaderBgColor) p.PreloaderBgColor = Colour("preloader-bg-color", *o.preloaderBgColor);
  if (o.frameRate) p.FrameRate = *o.frameRate;
  if (o.flashVersion) p.FlashVersionIndex = *o.flashVersion - 6;
  if (o.playPercent) p.PlayPercent = *o.playPercent;
  if (o.playerPosition)
    p.PlayerPosition = *o.playerPosition == "center" ? TPlayerPosition::Center : TPlayerPosition::Custom;
  if (o.left) p.Left = *o.left;
  if (o.top) p.Top = *o.top;
  if (o.xScale) p.XScale = *o.xScale;
  if (o.yScale) p.YScale = *o.yScale;
  if (o.rotation) p.Rotation = *o.rotation;
  AddImages("bg", o.bgImages, o.bgLayouts, p.BgImagesOn, p.BgImages);
  AddImages("fg", o.fgImages, o.fgLayouts, p.FgImagesOn, p.FgImages);
  if (o.noBgImages) p.BgImagesOn = false;
  if (o.noFgImages) p.FgImagesOn = false;
}

std::vector<std::string> PlayerNotes(const TProject& p) {
  std::vector<std::string> notes;
  if (const TTemplateEntry* t = p.Template(); !t)
    notes.push_back("There is no player template in " + PlayerFolder() + ": the movie gets no player.");
  else if (!t->Info)
    notes.push_back("The player template " + t->FileName +
                    " has no parameter definition: the movie gets no player.");
  return notes;
}

TProject LoadProject(const std::string& projectFile, THost& host) {
  TProject project = MakeStartupProject(host);
  if (projectFile.empty()) return project;
  std::error_code ec;
  if (!fs::exists(projectFile, ec)) throw CommandError(projectFile + ": no such project file");
  const TApplyOutcome outcome = OpenProject(project, fs::absolute(projectFile).string(), host);
  switch (outcome.Status) {
    case TApplyStatus::Applied: return project;
    case TApplyStatus::NotFound: throw CommandError(projectFile + ": no such project file");
    case TApplyStatus::NoRoot:
      throw CommandError(projectFile + ": not a project file (" +
                         (outcome.Root.empty() ? std::string("no root element")
                                               : "its root element is <" + outcome.Root + ">") +
                         ", not <options>)");
    case TApplyStatus::Failed: break;
  }
  // The reason was shown as "Error: ..."; a half-applied project is not published.
  throw CommandError(projectFile + ": the project file could not be applied");
}

}  // namespace tw::cli
