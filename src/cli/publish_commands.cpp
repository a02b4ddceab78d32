// publish: songs in, a published player out, as the window's Publish button makes it.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <optional>

#include "app/music_info.h"
#include "app/paths.h"
#include "app/project.h"
#include "app/publish.h"
#include "app/templates.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::cli {
namespace fs = std::filesystem;
using namespace tw::app;

namespace {

struct PublishOptions {
  std::vector<std::string> songs;
  std::optional<std::string> option, format, outputFolder, name, urlPrefix, background,
      playerPosition, channels;
  bool reencode = false, noReencode = false;
  std::optional<int> preset, sampleRate, bitRate, width, height, frameRate, flashVersion,
      left, top;
  std::optional<double> playPercent, xScale, yScale, rotation;
  std::vector<std::string> bgImages, fgImages;
  std::optional<std::string> templateName, preloaderName;
  std::vector<std::string> params;
  bool onlyPlayer = false, defaultSize = false, customSize = false, transparent = false;
  bool json = false;
};

const std::map<std::string, TPublishOption> kOptionNames = {
    {"player-and-music", TPublishOption::PlayerAndMusicFiles},
    {"single", TPublishOption::SinglePlayer},
    {"music-files", TPublishOption::MusicFiles}};
const std::map<std::string, TMusicFormat> kFormatNames = {
    {"swf", TMusicFormat::SWF}, {"flv", TMusicFormat::FLV}, {"mp3", TMusicFormat::MP3}};

std::string OptionName(TPublishOption o) {
  for (const auto& [name, value] : kOptionNames)
    if (value == o) return name;
  return {};
}

// The row of a value table whose converter argument is the number given.
int32_t TableIndex(std::string_view what, const auto& table, const std::string& value) {
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].Ffmpeg == value || table[i].Ffmpeg == value + "k") return static_cast<int32_t>(i);
  std::string allowed;
  for (const auto& row : table) allowed += (allowed.empty() ? "" : ", ") + std::string(row.Caption);
  throw CommandError("--" + std::string(what) + " " + value + ": choose one of " + allowed);
}

void ApplyOptions(const PublishOptions& o, TProject& p) {
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
  if (o.onlyPlayer) p.OnlyFlashPlayer = true;
  if (o.width) p.Width = *o.width;
  if (o.height) p.Height = *o.height;
  if (o.width || o.height || o.customSize) p.DefaultSize = false;
  if (o.defaultSize) p.DefaultSize = true;
  if (o.transparent) p.Transparent = true;
  if (o.background) {
    const std::string& c = *o.background;
    if (c.size() != 8 || (c.compare(0, 2, "0x") != 0 && c.compare(0, 2, "0X") != 0) ||
        c.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
      throw CommandError("--background " + c + ": write the colour as 0xRRGGBB");
    p.Transparent = false;
    p.SolidColor = HexToColor(c);
  }
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
  for (const std::string& f : o.bgImages) {
    p.BgImagesOn = true;
    p.BgImages.push_back(TImageEntry{FixedText(fs::absolute(f).string())});
  }
  for (const std::string& f : o.fgImages) {
    p.FgImagesOn = true;
    p.FgImages.push_back(TImageEntry{FixedText(fs::absolute(f).string())});
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

// --template, --preloader and --param choose from the lists beside the program, as the window's
// combo boxes and parameter grid do. Returns what the user should know about the player.
std::vector<std::string> ApplyTemplateOptions(const PublishOptions& o, TProject& p) {
  auto templateName = [](const TTemplateEntry& e) -> const std::string& { return e.FileName; };
  auto preloaderName = [](const TPreloaderParams& e) -> const std::string& { return e.FileName; };
  if (o.templateName) {
    const int32_t i = FindEntry(p.Templates, *o.templateName, templateName);
    if (i < 0)
      throw CommandError("--template " + *o.templateName + ": there is no such player template in " +
                         PlayerFolder() +
                         (p.Templates.empty() ? std::string(" (it holds none)")
                                              : "; choose one of " + EntryNames(p.Templates, templateName)));
    p.SelectTemplate(i);
  }
  if (o.preloaderName) {
    const int32_t i = FindEntry(p.Preloaders, *o.preloaderName, preloaderName);
    if (i < 0)
      throw CommandError("--preloader " + *o.preloaderName + ": there is no such preloader in " +
                         PreloaderFolder() +
                         (p.Preloaders.empty() ? std::string(" (it holds none)")
                                               : "; choose one of " + EntryNames(p.Preloaders, preloaderName)));
    p.PreloaderOn = true;
    p.SelectPreloader(i);
  }
  for (const std::string& assignment : o.params) {
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
  std::vector<std::string> notes;
  if (const TTemplateEntry* t = p.Template(); !t)
    notes.push_back("There is no player template in " + PlayerFolder() + ": the movie gets no player.");
  else if (!t->Info)
    notes.push_back("The player template " + t->FileName +
                    " has no parameter definition: the movie gets no player.");
  return notes;
}

const char* StatusName(TRunStatus s) {
  switch (s) {
    case TRunStatus::Finished: return "finished";
    case TRunStatus::NoMusic: return "no-music";
    case TRunStatus::Refused: return "refused";
    case TRunStatus::Cancelled: return "cancelled";
    case TRunStatus::Failed: return "failed";
  }
  return "failed";
}

bool Written(const TPublishResult& r, const std::string& name) {
  std::error_code ec;
  return fs::is_regular_file(fs::path(r.Folder) / name, ec);
}

void PrintOutcome(const TPublishOutcome& outcome, const TTerminalHost& host, bool json) {
  const TPublishResult& r = outcome.Result;
  const bool finished = outcome.Status == TRunStatus::Finished;
  if (json) {
    Json out = Json::MakeObject();
    out.Set("status", StatusName(outcome.Status));
    if (finished) {
      Json files = Json::MakeArray();
      int n = 0;
      for (const std::string& f : r.Files)
        files.Push(Json::MakeObject().Set("number", ++n).Set("name", f).Set("written", Written(r, f)));
      out.Set("option", OptionName(r.Option))
          .Set("folder", r.Folder)
          .Set("name", r.Name)
          .Set("files", std::move(files))
          .Set("embedCode", r.EmbedCode);
    }
    Json messages = Json::MakeArray();
    for (const std::string& m : host.Messages()) messages.Push(m);
    out.Set("messages", std::move(messages));
    out.Set("engines", Json::MakeObject()
                           .Set("runs", outcome.EngineRuns)
                           .Set("seconds", outcome.EngineSeconds));
    std::cout << out.Dump() << "\n";
    return;
  }
  if (outcome.Status == TRunStatus::Cancelled) std::cerr << "Cancelled.\n";
  if (!finished) return;
  std::cout << "Generated files:\n";
  int n = 0;
  for (const std::string& f : r.Files)
    std::cout << "  " << ++n << ". " << f << (Written(r, f) ? "" : "  (not written)") << "\n";
  std::cout << "Output folder: " << r.Folder << "\n"
            << "Embed code:\n"
            << r.EmbedCode << "\n";
}

void Publish(const PublishOptions& o) {
  TProject project = MakeDefaultProject();
  LoadTemplatesAndPreloaders(project);
  for (const std::string& song : o.songs) AddMusicFile(project, fs::absolute(song).string());
  const std::vector<std::string> notes = ApplyTemplateOptions(o, project);
  ApplyOptions(o, project);

  TUnavailableMovieMakers makers;
  TPublishOutcome outcome;
  {
    TTerminalHost host(::isatty(STDERR_FILENO) == 1);
    for (const std::string& note : notes) host.ShowWarning(note);
    outcome = PublishRun(project, host, makers);
    std::cout.flush();
    PrintOutcome(outcome, host, o.json);
  }
  std::cout.flush();
  switch (outcome.Status) {
    case TRunStatus::Finished: return;
    case TRunStatus::Cancelled: throw CommandError("the run was cancelled");
    case TRunStatus::NoMusic: throw CommandError("no songs to publish");
    case TRunStatus::Refused: throw CommandError("nothing was published");
    case TRunStatus::Failed: throw CommandError("the run failed");
  }
}

}  // namespace

void AddPublishCommands(CLI::App& app) {
  auto o = std::make_shared<PublishOptions>();
  CLI::App* cmd = app.add_subcommand(
      "publish",
      "Publish songs (MP3 or WAV) as a Flash MP3 player: the player, its playlist and HTML page, "
      "and the songs, into the output folder. Ctrl-C cancels.");
  cmd->add_option("songs", o->songs, "The songs, in playing order");

  cmd->add_option("--option", o->option,
                  "player-and-music: player, playlist, page and one music file per song; "
                  "single: one player with every song inside (the default, unless --format, "
                  "--url-prefix or --only-player ask for player-and-music); "
                  "music-files: one player and page per song")
      ->check(CLI::IsMember({"player-and-music", "single", "music-files"}));
  cmd->add_option("--format", o->format, "Music files of player-and-music: swf (default), flv, mp3")
      ->check(CLI::IsMember({"swf", "flv", "mp3"}));
  cmd->add_option("--output-folder", o->outputFolder,
                  "Where the files go (default: the working folder's output/)");
  cmd->add_option("--name", o->name, "The output name (default player.swf)");
  auto* reencode = cmd->add_flag("--reencode", o->reencode, "Re-encode the songs with lame (default)");
  cmd->add_flag("--no-reencode", o->noReencode, "Use the songs as they are")->excludes(reencode);
  cmd->add_option("--preset", o->preset,
                  "Encoding preset: 0 normal, 1 good, 2 high, 3 very high quality, 4 custom")
      ->check(CLI::Range(0, 4));
  cmd->add_option("--sample-rate", o->sampleRate, "11025, 22050 or 44100 (Hz)")
      ->check(CLI::IsMember({11025, 22050, 44100}));
  cmd->add_option("--bit-rate", o->bitRate, "8 to 320 (kbps, the MP3 bit rates)");
  cmd->add_option("--channels", o->channels, "mono or stereo")
      ->check(CLI::IsMember({"mono", "stereo", "1", "2"}));
  cmd->add_option("--url-prefix", o->urlPrefix, "Web address the playlist puts before each song file");
  cmd->add_flag("--only-player", o->onlyPlayer, "player-and-music: make no music files");

  cmd->add_option("--width", o->width, "Stage width in pixels (0..5000)")->check(CLI::Range(0, 5000));
  cmd->add_option("--height", o->height, "Stage height in pixels (0..5000)")->check(CLI::Range(0, 5000));
  auto* defaultSize = cmd->add_flag("--default-size", o->defaultSize,
                                    "The stage takes the template's own size (default)");
  cmd->add_flag("--custom-size", o->customSize, "The stage takes --width and --height")
      ->excludes(defaultSize);
  cmd->add_flag("--transparent", o->transparent, "Transparent background");
  cmd->add_option("--background", o->background, "Solid background colour 0xRRGGBB (default 0x003366)");
  cmd->add_option("--frame-rate", o->frameRate, "Frames per second (1..100, default 12)")
      ->check(CLI::Range(1, 100));
  cmd->add_option("--flash-version", o->flashVersion, "SWF version 6, 7 or 8 (default 8)")
      ->check(CLI::Range(6, 8));
  cmd->add_option("--play-percent", o->playPercent, "Percent loaded before playing (0..100)")
      ->check(CLI::Range(0.0, 100.0));
  cmd->add_option("--player-position", o->playerPosition, "center or custom (default custom)")
      ->check(CLI::IsMember({"center", "custom"}));
  cmd->add_option("--left", o->left, "Player left, pixels")->check(CLI::Range(0, 5000));
  cmd->add_option("--top", o->top, "Player top, pixels")->check(CLI::Range(0, 5000));
  cmd->add_option("--x-scale", o->xScale, "Player X scale, percent")->check(CLI::Range(1.0, 1000.0));
  cmd->add_option("--y-scale", o->yScale, "Player Y scale, percent")->check(CLI::Range(1.0, 1000.0));
  cmd->add_option("--rotation", o->rotation, "Player rotation, degrees")->check(CLI::Range(0.0, 360.0));
  cmd->add_option("--bg-image", o->bgImages, "A background image, centred (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--fg-image", o->fgImages, "A foreground image, centred (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--template", o->templateName,
                  "The player template, a file of the folder player/ beside the program "
                  "(default: the first; tunewright-cli templates lists them)");
  cmd->add_option("--preloader", o->preloaderName,
                  "Show this preloader, a file of the folder preloader/ beside the program");
  cmd->add_option("--param", o->params,
                  "NAME=VALUE: a parameter of the player template (repeatable), checked against "
                  "its type: Yes or No, a whole number, a colour 0xRRGGBB, or one of its choices")
      ->allow_extra_args(false);
  cmd->add_flag("--json", o->json, "Print the result as JSON");
  cmd->callback([o] { Publish(*o); });
}

}  // namespace tw::cli
