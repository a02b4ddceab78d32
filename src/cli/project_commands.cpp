// project show | save: project files read and written as the window opens and saves them.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "app/music_list.h"
#include "app/paths.h"
#include "app/project.h"
#include "app/project_file.h"
#include "app/templates.h"
#include "audio/mpeg_info.h"
#include "cli/commands.h"
#include "cli/project_options.h"
#include "cli/terminal_host.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::cli {
namespace fs = std::filesystem;
using namespace tw::app;

namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

std::string YesNo(bool b) { return b ? "yes" : "no"; }

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

const char* PositionName(TImagePosition p) {
  switch (p) {
    case TImagePosition::Center: return "center";
    case TImagePosition::Custom: return "custom";
    case TImagePosition::Stretch: return "stretch";
    case TImagePosition::Tile: return "tile";
  }
  return "center";
}

// A field the file set: its value as the file has it (JSON) and as a person reads it, with the
// lines that follow it (parameters, image entries).
struct Field {
  Json json;
  std::string text;
  std::vector<std::string> lines;
};

Field Images(bool on, const std::vector<TImageEntry>& images) {
  Field f{Json::MakeObject(), "", {}};
  Json list = Json::MakeArray();
  for (size_t i = 0; i < images.size(); ++i) {
    const TImageEntry& e = images[i];
    list.Push(Json::MakeObject()
                  .Set("file", e.File)
                  .Set("position", PositionName(e.Position))
                  .Set("left", e.Left)
                  .Set("top", e.Top)
                  .Set("xScale", e.XScale)
                  .Set("yScale", e.YScale)
                  .Set("rotation", e.Rotation));
    std::string line = std::to_string(i + 1) + ". " + e.File + ": " + PositionName(e.Position);
    if (e.Position == TImagePosition::Custom)
      line += " left " + std::to_string(e.Left) + " top " + std::to_string(e.Top) + " scale " +
              std::to_string(e.XScale) + "% x " + std::to_string(e.YScale) + "% rotation " +
              std::to_string(e.Rotation);
    f.lines.push_back(line);
  }
  f.json.Set("checked", on).Set("images", std::move(list));
  f.text = std::string(on ? "on" : "off") + ", " + std::to_string(images.size()) + " image" +
           (images.size() == 1 ? "" : "s");
  return f;
}

template <class Table>
Field Choice(int32_t index, const Table& table) {
  const std::string caption = index >= 0 && static_cast<size_t>(index) < table.size()
                                  ? std::string(table[static_cast<size_t>(index)].Caption)
                                  : "?";
  return {index, caption, {}};
}

Field Text(const std::string& s) { return {s, Quoted(s), {}}; }
Field Bool(bool b) { return {b, YesNo(b), {}}; }
Field Int(int32_t v) { return {v, std::to_string(v), {}}; }
Field Real(double v) { return {v, Number(v), {}}; }
Field Colour(TColor c) { return {ColorToHex(c), ColorToHex(c), {}}; }

Field FieldOf(TProject& p, const std::string& key) {
  // encoding
  if (key == "encoding.breencode") return Bool(p.Reencode);
  if (key == "encoding.encodingoptions") return Choice(p.PresetIndex, kPresets);
  if (key == "encoding.samplerate") return Choice(p.SampleRateIndex, kSampleRates);
  if (key == "encoding.bitrate") return Choice(p.BitRateIndex, kBitRates);
  if (key == "encoding.channels") return Choice(p.ChannelsIndex, kChannels);
  // player
  if (key == "player.style") {
    const TTemplateEntry* t = p.Template();
    Field f{Json::MakeObject(), t ? t->FileName : "", {}};
    Json params = Json::MakeObject();
    if (t && t->Info)
      for (const TTemplateParam* q = t->Info->FirstParam.get(); q; q = q->Next.get()) {
        params.Set(q->Name, q->Value);
        f.lines.push_back(q->Name + " = " + Quoted(q->Value));
      }
    f.json.Set("name", f.text).Set("params", std::move(params));
    return f;
  }
  if (key == "player.bdefaultsize") return Bool(p.DefaultSize);
  if (key == "player.width") return Int(p.Width);
  if (key == "player.height") return Int(p.Height);
  if (key == "player.playerpos")
    return {static_cast<int32_t>(p.PlayerPosition),
            p.PlayerPosition == TPlayerPosition::Center ? "center" : "custom", {}};
  if (key == "player.left") return Int(p.Left);
  if (key == "player.top") return Int(p.Top);
  if (key == "player.rotate") return Real(p.Rotation);
  if (key == "player.xscale") return Real(p.XScale);
  if (key == "player.yscale") return Real(p.YScale);
  if (key == "player.btransparent") return Bool(p.Transparent);
  if (key == "player.solidcolor") return Colour(p.SolidColor);
  if (key == "player.bpreloader") return Bool(p.PreloaderOn);
  if (key == "player.preloadername") return Text(p.Preloader() ? p.Preloader()->FileName : "");
  if (key == "player.preloadercolor") return Colour(p.PreloaderBarColor);
  if (key == "player.preloaderbgcolor") return Colour(p.PreloaderBgColor);
  if (key == "player.iversion")
    return {p.FlashVersionIndex, "SWF version " + std::to_string(6 + p.FlashVersionIndex), {}};
  if (key == "player.iframerate") return Int(p.FrameRate);
  if (key == "player.playpercent") return Real(p.PlayPercent);
  if (key == "player.bgimage") return Images(p.BgImagesOn, p.BgImages);
  if (key == "player.fgimage") return Images(p.FgImagesOn, p.FgImages);
  // converting
  if (key == "converting.outputfolder") return Text(p.OutputFolder);
  if (key == "converting.outputfilename") return Text(p.OutputName);
  if (key == "converting.publishoption") {
    static const char* const kNames[] = {"player-and-music", "single", "music-files"};
    const auto i = static_cast<int32_t>(p.PublishOption);
    return {i, kNames[i], {}};
  }
  if (key == "converting.fileformat") {
    static const char* const kNames[] = {"swf", "flv", "mp3"};
    const auto i = static_cast<int32_t>(p.MusicFormat);
    return {i, kNames[i], {}};
  }
  if (key == "converting.bfullurl") return Bool(p.UseFullUrl);
  if (key == "converting.strfullurl") return Text(p.FullUrl);
  if (key == "converting.bonlyflashplayer") return Bool(p.OnlyFlashPlayer);
  if (key == "converting.ruffle") {
    const std::string name(RuffleModeName(p.Ruffle));
    return {name, name, {}};
  }
  if (key == "converting.ruffleurl") return Text(p.RuffleUrl);
  return {nullptr, "", {}};
}

uint64_t Seconds(const TMP3Info& song) {
  return static_cast<uint64_t>(std::llround(std::max(0.0, song.Duration) * 86400));
}

Json SongJson(size_t number, const TMP3Info& s) {
  return Json::MakeObject()
      .Set("number", number)
      .Set("path", s.Path)
      .Set("kind", s.Kind == 1 ? "wav" : "mp3")
      .Set("seconds", s.Duration * 86400)
      .Set("duration", audio::FormatDuration(Seconds(s)))
      .Set("sampleRate", s.SampleRate)
      .Set("bitRate", s.BitRate)
      .Set("mode", s.Mode)
      .Set("title", s.Title)
      .Set("artist", s.Artist)
      .Set("album", s.Album);
}

void PrintSong(size_t number, const TMP3Info& s) {
  std::cout << "  " << number << ". " << ExtractFileName(s.Path) << "  "
            << audio::FormatDuration(Seconds(s)) << "  " << (s.Kind == 1 ? "WAV" : "MP3") << ", "
            << s.SampleRate << " Hz, ";
  if (s.Kind == 1) std::cout << s.BitRate << " bit/s, ";
  else if (s.BitRate < 0) std::cout << "VBR, ";
  else std::cout << s.BitRate << " kbps, ";
  std::cout << s.Mode << "\n"
            << "     " << s.Path << "\n"
            << "     title " << Quoted(s.Title) << ", artist " << Quoted(s.Artist) << ", album "
            << Quoted(s.Album) << "\n";
}

std::string NotAProject(const std::string& file, const TApplyOutcome& outcome) {
  return file + ": not a project file (" +
         (outcome.Root.empty() ? std::string("no root element")
                               : "its root element is <" + outcome.Root + ">") +
         ", not <options>)";
}

struct ShowOptions {
  std::string file;
  bool json = false;
};

void Show(const ShowOptions& o) {
  std::error_code ec;
  if (!fs::exists(o.file, ec)) throw CommandError(o.file + ": no such project file");
  // The file's template and preloader are looked up among those beside the program.
  TProject p = MakeDefaultProject();
  LoadTemplatesAndPreloaders(p);
  TApplyOutcome outcome;
  {
    TTerminalHost host(false);
    outcome = ApplyProjectFile(p, fs::absolute(o.file).string(), host);
  }
  if (outcome.Status == TApplyStatus::NoRoot) throw CommandError(NotAProject(o.file, outcome));

  if (o.json) {
    Json out = Json::MakeObject();
    out.Set("file", fs::absolute(o.file).string());
    out.Set("status", outcome.Status == TApplyStatus::Failed ? "failed" : "applied");
    if (!outcome.Error.empty()) out.Set("error", outcome.Error);
    Json songs = Json::MakeArray();
    for (size_t i = 0; i < p.Music.size(); ++i) songs.Push(SongJson(i + 1, p.Music[i]));
    out.Set("songs", std::move(songs));
    Json dropped = Json::MakeArray();
    for (const std::string& d : outcome.DroppedSongs) dropped.Push(d);
    out.Set("droppedSongs", std::move(dropped));
    Json fields = Json::MakeObject();
    for (const std::string& key : outcome.Applied)
      if (key != "files") fields.Set(key, FieldOf(p, key).json);
    out.Set("fields", std::move(fields));
    if (!outcome.MissingTemplate.empty()) out.Set("missingTemplate", outcome.MissingTemplate);
    if (!outcome.MissingPreloader.empty()) out.Set("missingPreloader", outcome.MissingPreloader);
    std::cout << out.Dump() << "\n";
  } else {
    std::cout << "Project file: " << fs::absolute(o.file).string() << "\n";
    std::cout << "Songs: " << p.Music.size() << "\n";
    for (size_t i = 0; i < p.Music.size(); ++i) PrintSong(i + 1, p.Music[i]);
    for (const std::string& d : outcome.DroppedSongs)
      std::cout << "  (left out, cannot be read: " << d << ")\n";
    std::cout << "Settings the file makes:\n";
    for (const std::string& key : outcome.Applied) {
      if (key == "files") continue;
      const Field f = FieldOf(p, key);
      std::cout << "  " << key << ": " << f.text << "\n";
      for (const std::string& line : f.lines) std::cout << "    " << line << "\n";
    }
    if (!outcome.MissingTemplate.empty())
      std::cout << "  (player template " << Quoted(outcome.MissingTemplate)
                << " is not here: the template and its values are left as they are)\n";
    if (!outcome.MissingPreloader.empty())
      std::cout << "  (preloader " << Quoted(outcome.MissingPreloader) << " is not here)\n";
  }
  std::cout.flush();
  if (outcome.Status == TApplyStatus::Failed)
    throw CommandError(o.file + ": the project file could not be read to its end");
}

struct SaveOptions {
  std::string out;
  std::vector<std::string> songs;
  std::string from;
  ProjectOptions project;
  std::optional<size_t> edit;
  std::optional<std::string> title, artist, album;
  bool writeTag = false;
  std::vector<size_t> remove;
};

size_t SongIndex(const TProject& p, size_t number, const char* option) {
  if (number < 1 || number > p.Music.size())
    throw CommandError(std::string(option) + " " + std::to_string(number) + ": the project has " +
                       std::to_string(p.Music.size()) + " song" +
                       (p.Music.size() == 1 ? "" : "s"));
  return number - 1;
}

void Save(const SaveOptions& o) {
  TTerminalHost host(false);
  TProject p = LoadProject(o.from, host);
  const size_t before = p.Music.size();
  std::vector<std::string> songs;
  for (const std::string& s : o.songs) songs.push_back(fs::absolute(s).string());
  AddMusicFiles(p, songs);
  for (size_t i = before; i < p.Music.size(); ++i)
    if (p.Music[i].Mode.empty())
      host.ShowWarning(p.Music[i].Path +
                       ": not a song that can be read; it is listed by name, and opening the "
                       "project will leave it out");
  ApplyProjectOptions(o.project, p);

  std::string tagError;
  if (o.edit) {
    TMP3Info& song = p.Music[SongIndex(p, *o.edit, "--edit")];
    if (o.writeTag && !CanWriteTag(song))
      host.ShowWarning(song.Path + ": a WAV song has no tag; only the project takes the texts");
    if (!EditMusicTags(song, o.title.value_or(song.Title), o.artist.value_or(song.Artist),
                       o.album.value_or(song.Album), o.writeTag, &tagError))
      host.ShowError("Error: " + tagError);
  }
  std::vector<size_t> selected;
  for (size_t number : o.remove) selected.push_back(SongIndex(p, number, "--remove"));
  RemoveMusic(p, selected);

  if (!SaveProjectFile(p, o.out, host)) throw CommandError(o.out + ": the project was not saved");
  std::cout << o.out << ": " << p.Music.size() << " song" << (p.Music.size() == 1 ? "" : "s")
            << "\n";
  std::cout.flush();
  if (!tagError.empty())
    throw CommandError("the tag of song " + std::to_string(*o.edit) +
                       " was not written (the project has the new texts)");
}

}  // namespace

void AddProjectCommands(CLI::App& app) {
  CLI::App* project = app.add_subcommand(
      "project", "Project files (.prj): the songs and every setting of a player, as the window "
                 "saves and opens them");
  project->require_subcommand(1);

  auto show = std::make_shared<ShowOptions>();
  CLI::App* showCmd = project->add_subcommand(
      "show", "Print every setting the project file makes and the songs it lists, with their "
              "information; songs that cannot be read are left out, as opening the project does");
  showCmd->add_option("PROJECT", show->file, "The project file")->required();
  showCmd->add_flag("--json", show->json, "Print JSON");
  showCmd->callback([show] { Show(*show); });

  auto save = std::make_shared<SaveOptions>();
  CLI::App* saveCmd = project->add_subcommand(
      "save", "Write a project file from the start-up project (or --from), the songs and the "
              "options given");
  saveCmd->add_option("OUT", save->out, "The project file to write")->required();
  saveCmd->add_option("songs", save->songs, "Songs to add at the end of the list, in order");
  saveCmd->add_option("--from", save->from, "Start from this project file (its songs included)");
  AddProjectOptions(saveCmd, save->project);
  auto* edit = saveCmd->add_option(
      "--edit", save->edit,
      "Edit song N (1 = first, counted after the songs are added): --title, --artist, --album");
  saveCmd->add_option("--title", save->title, "The edited song's title")->needs(edit);
  saveCmd->add_option("--artist", save->artist, "The edited song's artist")->needs(edit);
  saveCmd->add_option("--album", save->album, "The edited song's album")->needs(edit);
  saveCmd->add_flag("--write-tag", save->writeTag,
                    "Write the edited texts into the MP3's ID3v1 tag too (at most 30 characters "
                    "each)")
      ->needs(edit);
  saveCmd->add_option("--remove", save->remove,
                      "Remove song N (counted as for --edit; repeatable; after the edit)")
      ->allow_extra_args(false);
  saveCmd->callback([save] { Save(*save); });
}

}  // namespace tw::cli
