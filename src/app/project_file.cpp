#include "app/project_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <span>
#include <stdexcept>

#include "app/music_info.h"
#include "app/paths.h"
#include "app/templates.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::app {
namespace fs = std::filesystem;

namespace {

// ---- Names and values -----------------------------------------------------------------------

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// Element names are compared without regard to case.
bool NameIs(const pugi::xml_node& node, std::string_view name) {
  return EqualsNoCase(node.name(), name);
}

// A value that does not read ends the applying; the message names the value and its element.
class EProjectValue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// A decimal integer with an optional sign and blanks around it.
bool ParseInt(std::string_view text, int32_t& value) {
  std::string_view t = TrimView(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty() || t.front() == '+') return false;
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || end != t.data() + t.size() || v < INT32_MIN || v > INT32_MAX)
    return false;
  value = static_cast<int32_t>(v);
  return true;
}

std::string Quote(std::string_view text) {
  // A message quotes at most a line's worth of the value.
  const std::string utf8 = ToUtf8(text);
  std::string shown(TruncateUtf16(utf8, 60));
  if (shown.size() < utf8.size()) shown += "...";
  return "\"" + shown + "\"";
}

int32_t ReadInt(std::string_view text, std::string_view what) {
  int32_t v = 0;
  if (!ParseInt(text, v))
    throw EProjectValue(Quote(text) + " is not a valid integer value (" + std::string(what) + ")");
  return v;
}

// "True" and "False" (without regard to case), or a decimal number: 0 false, anything else true.
bool ReadBool(std::string_view text, std::string_view what) {
  const std::string_view t = TrimView(text);
  if (EqualsNoCase(t, "true")) return true;
  if (EqualsNoCase(t, "false")) return false;
  int32_t v = 0;
  if (!ParseInt(t, v))
    throw EProjectValue(Quote(text) + " is not a valid boolean value (" + std::string(what) + ")");
  return v != 0;
}

// The player's rotation, scales and play percent are held as numbers with a fraction.
double ReadNumber(std::string_view text, std::string_view what) {
  std::string_view t = TrimView(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v))
    throw EProjectValue(Quote(text) + " is not a valid number (" + std::string(what) + ")");
  return v;
}

int32_t ReadInt(const pugi::xml_node& node) { return ReadInt(node.child_value(), node.name()); }
bool ReadBool(const pugi::xml_node& node) { return ReadBool(node.child_value(), node.name()); }
double ReadNumber(const pugi::xml_node& node) {
  return ReadNumber(node.child_value(), node.name());
}

// A text of a fixed buffer. Paths keep their bytes; texts that are not UTF-8 are taken as
// Windows-1252, as everywhere else.
std::string ReadText(const pugi::xml_node& node) { return FixedText(ToUtf8(node.child_value())); }

// An index of a list of choices: taken only when the list has it.
bool ReadChoice(const pugi::xml_node& node, int32_t count, int32_t& index) {
  const int32_t v = ReadInt(node);
  if (v < 0 || v >= count) return false;
  index = v;
  return true;
}

// ---- Writing --------------------------------------------------------------------------------

const char* TrueFalse(bool b) { return b ? "True" : "False"; }
const char* MinusOneZero(bool b) { return b ? "-1" : "0"; }

pugi::xml_node Add(pugi::xml_node parent, const std::string& name, const std::string& value) {
  pugi::xml_node node = parent.append_child(name.c_str());
  if (!value.empty()) node.text().set(value.c_str());
  return node;
}
pugi::xml_node Add(pugi::xml_node parent, const std::string& name, int32_t value) {
  return Add(parent, name, std::to_string(value));
}

void AddImages(pugi::xml_node player, const std::string& name, bool on,
               const std::vector<TImageEntry>& images) {
  pugi::xml_node list = player.append_child(name.c_str());
  list.append_attribute("checked") = MinusOneZero(on);
  list.append_attribute("count") = std::to_string(images.size()).c_str();
  for (size_t i = 0; i < images.size(); ++i) {
    const TImageEntry& e = images[i];
    pugi::xml_node entry = list.append_child((name + std::to_string(i)).c_str());
    Add(entry, "file", e.File);
    Add(entry, "imageposition", static_cast<int32_t>(e.Position));
    Add(entry, "imageleft", e.Left);
    Add(entry, "imagetop", e.Top);
    Add(entry, "imagexscale", e.XScale);
    Add(entry, "imageyscale", e.YScale);
    Add(entry, "imagerotate", e.Rotation);
  }
}

void BuildDocument(const TProject& p, pugi::xml_document& doc) {
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = doc.append_child("options");

  pugi::xml_node files = root.append_child("files");
  for (size_t i = 0; i < p.Music.size(); ++i) {
    const TMP3Info& song = p.Music[i];
    pugi::xml_node file = files.append_child(("file" + std::to_string(i)).c_str());
    file.append_attribute("name") = song.Path.c_str();
    Add(file, "title", song.Title);
    Add(file, "artist", song.Artist);
    Add(file, "album", song.Album);
  }

  pugi::xml_node encoding = root.append_child("encoding");
  Add(encoding, "breencode", TrueFalse(p.Reencode));
  Add(encoding, "encodingoptions", p.PresetIndex);
  Add(encoding, "samplerate", p.SampleRateIndex);
  Add(encoding, "bitrate", p.BitRateIndex);
  Add(encoding, "channels", p.ChannelsIndex);

  pugi::xml_node player = root.append_child("player");
  pugi::xml_node style = player.append_child("style");
  const TTemplateEntry* t = p.Template();
  style.append_attribute("name") = t ? t->FileName.c_str() : "";
  // A template without a description contributes no parameters.
  if (t && t->Info)
    for (const TTemplateParam* param = t->Info->FirstParam.get(); param; param = param->Next.get())
      Add(style, param->Name, param->Value);
  Add(player, "bdefaultsize", TrueFalse(p.DefaultSize));
  Add(player, "width", p.Width);
  Add(player, "height", p.Height);
  Add(player, "playerpos", static_cast<int32_t>(p.PlayerPosition));
  Add(player, "left", p.Left);
  Add(player, "top", p.Top);
  Add(player, "rotate", RoundHalfEven(p.Rotation));
  Add(player, "xscale", RoundHalfEven(p.XScale));
  Add(player, "yscale", RoundHalfEven(p.YScale));
  Add(player, "btransparent", TrueFalse(p.Transparent));
  Add(player, "solidcolor", ColorToHex(p.SolidColor));
  Add(player, "bpreloader", TrueFalse(p.PreloaderOn));
  const TPreloaderParams* preloader = p.Preloader();
  Add(player, "preloadername", preloader ? preloader->FileName : std::string());
  Add(player, "preloadercolor", ColorToHex(p.PreloaderBarColor));
  Add(player, "preloaderbgcolor", ColorToHex(p.PreloaderBgColor));
  Add(player, "iversion", p.FlashVersionIndex);
  Add(player, "iframerate", p.FrameRate);
  Add(player, "playpercent", RoundHalfEven(p.PlayPercent));
  AddImages(player, "bgimage", p.BgImagesOn, p.BgImages);
  AddImages(player, "fgimage", p.FgImagesOn, p.FgImages);

  pugi::xml_node converting = root.append_child("converting");
  if (const std::string folder = Trim(p.OutputFolder); !folder.empty())
    Add(converting, "outputfolder", folder);
  if (const std::string name = Trim(p.OutputName); !name.empty())
    Add(converting, "outputfilename", name);
  Add(converting, "publishoption", static_cast<int32_t>(p.PublishOption));
  Add(converting, "fileformat", static_cast<int32_t>(p.MusicFormat));
  Add(converting, "bFullURL", MinusOneZero(p.UseFullUrl));
  // An empty prefix stays empty: a lone "/" would make every song address absolute.
  std::string url = Trim(p.FullUrl);
  if (!url.empty() && url.back() != '/') url += '/';
  Add(converting, "StrFullURL", url);
  Add(converting, "bOnlyFlashPlayer", MinusOneZero(p.OnlyFlashPlayer));
  Add(converting, "ruffle", std::string(RuffleModeName(p.Ruffle)));
  Add(converting, "ruffleurl", Trim(p.RuffleUrl));
}

class TStringWriter : public pugi::xml_writer {
 public:
  std::string Text;
  void write(const void* data, size_t size) override {
    Text.append(static_cast<const char*>(data), size);
  }
};

// ---- Applying -------------------------------------------------------------------------------

// The elements are read one level at a time, each group by a loop of its own: however deeply a
// hostile file nests its elements, nothing here descends further than an image entry's fields.
class TApplier {
 public:
  TApplier(TProject& project, THost& host, TApplyOutcome& outcome)
      : P(project), Host(host), Out(outcome) {}

  void Root(const pugi::xml_node& root) {
    for (pugi::xml_node group = root.first_child(); group; group = group.next_sibling()) {
      if (group.type() != pugi::node_element) continue;
      if (NameIs(group, "files")) Files(group);
      else if (NameIs(group, "encoding")) Encoding(group);
      else if (NameIs(group, "player")) Player(group);
      else if (NameIs(group, "converting")) Converting(group);
    }
  }

 private:
  void Mark(std::string_view group, std::string_view element) {
    std::string key(group);
    if (!element.empty()) key += "." + ToLowerAscii(element);
    if (std::find(Out.Applied.begin(), Out.Applied.end(), key) == Out.Applied.end())
      Out.Applied.push_back(std::move(key));
  }

  void Files(const pugi::xml_node& files) {
    Mark("files", "");
    for (pugi::xml_node file = files.first_child(); file; file = file.next_sibling()) {
      if (file.type() != pugi::node_element) continue;
      const std::string path = file.attribute("name").value();
      TMP3Info info;
      bool read = false;
      try {
        read = ReadMusicInfo(path, info);
      } catch (const std::exception&) {
        read = false;
      }
      if (read) {
        for (pugi::xml_node text = file.first_child(); text; text = text.next_sibling()) {
          if (NameIs(text, "title")) info.Title = ReadText(text);
          else if (NameIs(text, "artist")) info.Artist = ReadText(text);
          else if (NameIs(text, "album")) info.Album = ReadText(text);
        }
        P.Music.push_back(std::move(info));
      } else {
        Out.DroppedSongs.push_back(path);
      }
      Host.ProcessMessages();
    }
  }

  void Encoding(const pugi::xml_node& group) {
    for (pugi::xml_node e = group.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      bool set = false;
      if (NameIs(e, "breencode")) {
        P.Reencode = ReadBool(e);
        set = true;
      } else if (NameIs(e, "encodingoptions")) {
        int32_t preset = 0;
        if ((set = ReadChoice(e, static_cast<int32_t>(kPresets.size()), preset)))
          P.ApplyPreset(preset);
      } else if (NameIs(e, "samplerate")) {
        set = ReadChoice(e, static_cast<int32_t>(kSampleRates.size()), P.SampleRateIndex);
      } else if (NameIs(e, "bitrate")) {
        set = ReadChoice(e, static_cast<int32_t>(kBitRates.size()), P.BitRateIndex);
      } else if (NameIs(e, "channels")) {
        set = ReadChoice(e, static_cast<int32_t>(kChannels.size()), P.ChannelsIndex);
      }
      if (set) Mark("encoding", e.name());
    }
  }

  void Player(const pugi::xml_node& group) {
    for (pugi::xml_node e = group.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      if (PlayerField(e)) Mark("player", e.name());
    }
  }

  // One element of the player group; true when it set a field. The spin fields take their
  // value limited to their range, as the window's spin edits do.
  bool PlayerField(const pugi::xml_node& e) {
    int32_t choice = 0;
    if (NameIs(e, "style")) return Style(e);
    if (NameIs(e, "bdefaultsize")) P.DefaultSize = ReadBool(e);
    else if (NameIs(e, "width")) P.Width = std::clamp(ReadInt(e), 0, 5000);
    else if (NameIs(e, "height")) P.Height = std::clamp(ReadInt(e), 0, 5000);
    else if (NameIs(e, "playerpos")) {
      if (!ReadChoice(e, 2, choice)) return false;
      P.PlayerPosition = static_cast<TPlayerPosition>(choice);
    } else if (NameIs(e, "left")) P.Left = std::clamp(ReadInt(e), 0, 5000);
    else if (NameIs(e, "top")) P.Top = std::clamp(ReadInt(e), 0, 5000);
    else if (NameIs(e, "rotate")) P.Rotation = std::clamp(ReadNumber(e), 0.0, 360.0);
    else if (NameIs(e, "xscale")) P.XScale = std::clamp(ReadNumber(e), 1.0, 1000.0);
    else if (NameIs(e, "yscale")) P.YScale = std::clamp(ReadNumber(e), 1.0, 1000.0);
    else if (NameIs(e, "btransparent")) P.Transparent = ReadBool(e);
    else if (NameIs(e, "solidcolor")) P.SolidColor = HexToColor(e.child_value());
    else if (NameIs(e, "preloadercolor")) P.PreloaderBarColor = HexToColor(e.child_value());
    else if (NameIs(e, "preloaderbgcolor")) P.PreloaderBgColor = HexToColor(e.child_value());
    else if (NameIs(e, "bpreloader")) P.PreloaderOn = ReadBool(e);
    else if (NameIs(e, "preloadername")) {
      const int32_t index = FindPreloader(P, e.child_value());
      if (index < 0) {
        Out.MissingPreloader = e.child_value();
        return false;
      }
      // Only the choice: the colours come from the file's own colour elements, as the window
      // changes no colour while a file is applied.
      P.SelectedPreloader = index;
    } else if (NameIs(e, "iversion")) {
      if (!ReadChoice(e, 3, P.FlashVersionIndex)) return false;
    } else if (NameIs(e, "iframerate")) P.FrameRate = std::clamp(ReadInt(e), 1, 100);
    else if (NameIs(e, "playpercent")) P.PlayPercent = std::clamp(ReadNumber(e), 0.0, 100.0);
    else if (NameIs(e, "bgimage")) Images(e, "bgimage", P.BgImagesOn, P.BgImages);
    else if (NameIs(e, "fgimage")) Images(e, "fgimage", P.FgImagesOn, P.FgImages);
    else return false;
    return true;
  }

  bool Style(const pugi::xml_node& style) {
    const std::string name = style.attribute("name").value();
    const int32_t index = FindTemplate(P, name);
    if (index < 0) {
      Out.MissingTemplate = name;
      return false;
    }
    // Selecting it shows its parameters, and its size in the width and height.
    P.SelectTemplate(index);
    TTemplateInfo* info = P.Templates[static_cast<size_t>(index)].Info.get();
    if (!info) return true;
    // The values must follow the definition order: a cursor walks the parameters forward to the
    // one each element names and stays there; past the end nothing more is matched.
    TTemplateParam* cursor = info->FirstParam.get();
    for (pugi::xml_node e = style.first_child(); e && cursor; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      while (cursor && !EqualsNoCase(cursor->Name, e.name())) cursor = cursor->Next.get();
      if (cursor) cursor->Value = ReadText(e);
    }
    return true;
  }

  // The file's count only limits which entries are read: an entry is made for every element
  // "bgimage" + i (i below the count) that is present, in the order of i. A count far beyond
  // the entries present thus makes no empty lines.
  void Images(const pugi::xml_node& list, std::string_view prefix, bool& on,
              std::vector<TImageEntry>& images) {
    on = ReadBool(list.attribute("checked").value(), "checked");
    const int32_t count = ReadInt(list.attribute("count").value(), "count");
    if (count <= 0) return;  // the current list stays
    images.clear();
    std::map<int32_t, pugi::xml_node> entries;
    for (pugi::xml_node e = list.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      const std::string_view name = e.name();
      if (name.size() <= prefix.size() || !EqualsNoCase(name.substr(0, prefix.size()), prefix))
        continue;
      const std::string_view digits = name.substr(prefix.size());
      // Exactly the name the index gives: no sign, no leading zeros.
      if (digits.find_first_not_of("0123456789") != std::string_view::npos ||
          (digits.size() > 1 && digits.front() == '0'))
        continue;
      int32_t i = 0;
      if (!ParseInt(digits, i) || i >= count) continue;
      entries.emplace(i, e);  // the first element of an index counts
    }
    for (const auto& [i, e] : entries) images.push_back(ImageEntry(e));
  }

  // An image value limited to the range the window's fields hold: a value from outside would
  // reach the picture's size and placement, where it cannot be represented.
  int32_t ImageValue(const pugi::xml_node& e, int32_t min, int32_t max) {
    const int32_t v = ReadInt(e);
    const int32_t bounded = std::clamp(v, min, max);
    if (bounded != v)
      Host.ShowWarning("Warning: The image value " + Quote(e.child_value()) + " (" +
                       std::string(e.name()) + ") is outside " + std::to_string(min) + ".." +
                       std::to_string(max) + "; " + std::to_string(bounded) + " is used.");
    return bounded;
  }

  TImageEntry ImageEntry(const pugi::xml_node& entry) {
    TImageEntry image{};
    image.XScale = image.YScale = 0;  // fields the entry does not name stay 0
    for (pugi::xml_node e = entry.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      int32_t choice = 0;
      if (NameIs(e, "file")) image.File = FixedText(e.child_value());
      else if (NameIs(e, "imageposition")) {
        if (ReadChoice(e, 4, choice)) image.Position = static_cast<TImagePosition>(choice);
      } else if (NameIs(e, "imageleft")) image.Left = ImageValue(e, -1000, 1000);
      else if (NameIs(e, "imagetop")) image.Top = ImageValue(e, -1000, 1000);
      // A scale of 0 is what an entry without one holds, so a saved file must read it back.
      else if (NameIs(e, "imagexscale")) image.XScale = ImageValue(e, 0, 1000);
      else if (NameIs(e, "imageyscale")) image.YScale = ImageValue(e, 0, 1000);
      else if (NameIs(e, "imagerotate")) image.Rotation = ImageValue(e, 0, 360);
    }
    return image;
  }

  void Converting(const pugi::xml_node& group) {
    for (pugi::xml_node e = group.first_child(); e; e = e.next_sibling()) {
      if (e.type() != pugi::node_element) continue;
      if (ConvertingField(e)) Mark("converting", e.name());
    }
  }

  bool ConvertingField(const pugi::xml_node& e) {
    int32_t choice = 0;
    if (NameIs(e, "outputfolder")) {
      const std::string folder = Trim(e.child_value());
      std::error_code ec;
      if (folder.empty() || !fs::is_directory(folder, ec)) return false;
      P.OutputFolder = folder;
    } else if (NameIs(e, "outputfilename")) {
      std::string name = Trim(e.child_value());
      if (name.empty()) return false;
      if (ToLowerAscii(ExtractFileExt(name)) != ".swf") name += ".swf";
      P.OutputName = name;
    } else if (NameIs(e, "publishoption")) {
      const std::string_view option = TrimView(e.child_value());
      P.PublishOption = option == "1"   ? TPublishOption::SinglePlayer
                        : option == "2" ? TPublishOption::MusicFiles
                                        : TPublishOption::PlayerAndMusicFiles;
    } else if (NameIs(e, "fileformat")) {
      if (!ReadChoice(e, 3, choice)) return false;
      P.MusicFormat = static_cast<TMusicFormat>(choice);
    } else if (NameIs(e, "bfullurl")) P.UseFullUrl = ReadBool(e);
    else if (NameIs(e, "strfullurl")) P.FullUrl = ToUtf8(e.child_value());
    else if (NameIs(e, "bonlyflashplayer")) P.OnlyFlashPlayer = ReadBool(e);
    else if (NameIs(e, "ruffle")) P.Ruffle = RuffleModeFromName(TrimView(e.child_value()));
    else if (NameIs(e, "ruffleurl")) {
      // An empty address would make a page that loads nothing: the setting stays as it was.
      std::string url = Trim(ToUtf8(e.child_value()));
      if (url.empty()) return false;
      P.RuffleUrl = std::move(url);
    } else return false;
    return true;
  }

  TProject& P;
  THost& Host;
  TApplyOutcome& Out;
};

// Whitespace alone in an element is a value (a title of one blank); between elements it is the
// layout of the file. Line ends inside a value are kept as they are: the writer leaves a
// carriage return in a text unescaped, and the text must come back as it was saved.
constexpr unsigned kParseOptions =
    (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single;

std::string TooLarge(const std::string& what, uint64_t size) {
  return what + " is too large (" + std::to_string(size) + " bytes; a project file holds at most " +
         std::to_string(kMaxProjectFileSize >> 20) + " MB)";
}

TApplyOutcome Apply(TProject& project, std::span<const char> text, const std::string& what,
                    THost& host) {
  TApplyOutcome out;
  auto fail = [&](std::string message) {
    out.Status = TApplyStatus::Failed;
    out.Error = std::move(message);
    host.ShowError("Error: " + out.Error);
    return out;
  };
  if (text.size() > kMaxProjectFileSize) return fail(TooLarge(what, text.size()));
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_auto);
  if (parsed.status == pugi::status_no_document_element) {
    out.Status = TApplyStatus::NoRoot;
    return out;
  }
  if (!parsed)
    return fail(what + " is not valid XML: " + parsed.description() + " (at byte " +
                std::to_string(parsed.offset) + ")");
  const pugi::xml_node root = doc.document_element();
  out.Root = root.name();
  if (!NameIs(root, "options")) {
    out.Status = TApplyStatus::NoRoot;
    return out;
  }
  try {
    TApplier(project, host, out).Root(root);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  out.Status = TApplyStatus::Applied;
  return out;
}

}  // namespace

std::string ProjectFileText(const TProject& project) {
  pugi::xml_document doc;
  BuildDocument(project, doc);
  TStringWriter writer;
  doc.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
  return std::move(writer.Text);
}

void WriteProjectFile(const TProject& project, const std::string& path) {
  // The rename would replace a read-only file (and keep it read-only): the save dialog refuses
  // such a target, and so does every save.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0))
    throw FileError("Cannot write file \"" + path + "\": the file is read-only");
  const std::string text = ProjectFileText(project);
  WriteFileAtomic(path, [&](const fs::path& temp) {
    try {
      WriteWholeFile(temp, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    } catch (const FileError& e) {
      // The user knows the file by its own name, not by the temporary's.
      std::string message = e.what();
      if (const size_t at = message.find(temp.string()); at != std::string::npos)
        message.replace(at, temp.string().size(), path);
      throw FileError(message);
    }
  });
}

bool SaveProjectFile(const TProject& project, const std::string& path, THost& host) {
  try {
    WriteProjectFile(project, path);
    return true;
  } catch (const std::exception& e) {
    host.ShowError("Error: " + std::string(e.what()));
    return false;
  }
}

TApplyOutcome ApplyProjectFile(TProject& project, const std::string& path, THost& host) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return {};
  const std::string what = "The project file \"" + path + "\"";
  std::vector<uint8_t> bytes;
  try {
    // The size is known before anything is read: a huge file is refused at once.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uint64_t>(st.st_size) > kMaxProjectFileSize)
      throw FileError(TooLarge(what, static_cast<uint64_t>(st.st_size)));
    bytes = ReadWholeFile(path, kMaxProjectFileSize);
  } catch (const std::exception& e) {
    TApplyOutcome out;
    out.Status = TApplyStatus::Failed;
    out.Error = e.what();
    host.ShowError("Error: " + out.Error);
    return out;
  }
  return Apply(project, std::span(reinterpret_cast<const char*>(bytes.data()), bytes.size()), what,
               host);
}

TApplyOutcome ApplyProjectText(TProject& project, std::string_view text, THost& host) {
  return Apply(project, std::span(text.data(), text.size()), "The project", host);
}

std::string StartupProjectPath() { return ProgramFolder() + "default.prj"; }
std::string ClosingProjectPath() { return UserDataFolder() + "config.prj"; }

TProject MakeStartupProject(THost& host) {
  TProject project = MakeDefaultProject();
  LoadTemplatesAndPreloaders(project);
  ApplyProjectFile(project, StartupProjectPath(), host);
  return project;
}

TApplyOutcome NewProject(TProject& project, THost& host) {
  project.Music.clear();
  return ApplyProjectFile(project, StartupProjectPath(), host);
}

TApplyOutcome OpenProject(TProject& project, const std::string& path, THost& host) {
  project.Music.clear();
  return ApplyProjectFile(project, path, host);
}

bool SaveClosingProject(const TProject& project, THost& host) {
  return SaveProjectFile(project, ClosingProjectPath(), host);
}

std::string_view RuffleModeName(TRuffleMode mode) {
  switch (mode) {
    case TRuffleMode::Link: return "link";
    case TRuffleMode::Copy: return "copy";
    case TRuffleMode::Off: break;
  }
  return "off";
}

TRuffleMode RuffleModeFromName(std::string_view name) {
  if (EqualsNoCase(name, "link")) return TRuffleMode::Link;
  if (EqualsNoCase(name, "copy")) return TRuffleMode::Copy;
  return TRuffleMode::Off;
}

int32_t FindTemplate(const TProject& project, std::string_view fileName) {
  for (size_t i = 0; i < project.Templates.size(); ++i)
    if (EqualsNoCase(project.Templates[i].FileName, fileName)) return static_cast<int32_t>(i);
  return -1;
}

int32_t FindPreloader(const TProject& project, std::string_view fileName) {
  for (size_t i = 0; i < project.Preloaders.size(); ++i)
    if (EqualsNoCase(project.Preloaders[i].FileName, fileName)) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace tw::app
