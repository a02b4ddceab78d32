#include "app/player_movie.h"

#include <filesystem>
#include <functional>

#include "app/paths.h"
#include "app/playlist.h"
#include "swf/errors.h"
#include "util/text.h"

namespace tw::app {

using namespace tw::swf;
using tw::builder::TFlashActionScript;
using tw::builder::TFlashMovie;

namespace {

void AppendElement(std::string& out, std::string_view name, std::string_view value) {
  out += '<';
  out += name;
  out += '>';
  out += value;
  out += "</";
  out += name;
  out += '>';
}

// A Push record's length field is 16 bits; what it holds besides the strings is the name's and
// the value's type bytes and terminators.
constexpr size_t kMaxPushBody = 0xFFFF;
constexpr size_t kPiece = 0xF000;

// The longest prefix of at most n bytes that does not cut a UTF-8 character in half.
size_t PieceLength(std::string_view text, size_t n) {
  if (text.size() <= n) return text.size();
  size_t end = n;
  while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
  return end == 0 ? n : end;
}

// The movie of a template or preloader file with the assignments in front of its first
// DoAction of the main timeline.
std::unique_ptr<TFlashMovie> RebuildWithAssignments(
    const std::string& path, std::string_view kind,
    const std::function<void(TFlashActionScript&)>& assign) {
  TSWFStreamReader reader(path);
  if (!reader.IsSWF)
    throw ESWFError("The " + std::string(kind) + " \"" + ExtractFileName(path) +
                    "\" is not a SWF movie");
  reader.ParseTags(true, true);

  const TRect& frame = reader.FrameRect();
  auto movie = std::make_unique<TFlashMovie>(frame.Left, frame.Top, frame.Right, frame.Bottom,
                                             reader.FPS(), TSystemCoord::Twips);
  movie->SetFrameRate(reader.FrameRate());
  movie->SetVersion(reader.Version());
  bool inserted = false;
  for (const auto& info : reader.TagList) {
    if (info->TagCode == 12 && !inserted) {
      assign(movie->FrameActions());
      movie->InsertFrameActions();
      inserted = true;
    }
    // The object's own class is copied: a tag the reader kept as bytes stays bytes.
    if (const TSWFObject* tag = info->TagObject()) movie->AddObject(CloneTag(*tag));
  }
  movie->BuildBody();
  return movie;
}

// The file of a template or preloader: a plain entry name of its folder.
std::string EntryPath(const std::string& folder, const std::string& name, std::string_view kind) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    throw ESWFError("\"" + name + "\" is not the name of a " + std::string(kind));
  return IncludeTrailingSlash(folder) + name;
}

}  // namespace

std::string PlayerParamsText(const TStageSettings& settings, bool preview) {
  std::string text = "<ParamsValue>";
  AppendElement(text, "Py.MovieFPS", std::to_string(settings.FrameRate));
  AppendElement(text, "Py.PlayPercent", std::to_string(settings.PlayPercent));
  if (settings.Template) {
    for (const TTemplateParam* p = settings.Template->FirstParam.get(); p; p = p->Next.get()) {
      const std::string name = ToLowerAscii(p->Name);
      const bool silenced = preview && (name == "py.autostart" || name == "py.loop");
      AppendElement(text, p->Name, silenced ? std::string_view("No") : std::string_view(p->Value));
    }
  }
  text += "</ParamsValue>";
  return text;
}

std::string PreloaderParamsText(const TPreloaderParams* params) {
  std::string text = "<ParamsValue>";
  if (params)
    for (const TPreloaderParam& p : params->Params) AppendElement(text, p.Name, p.Value);
  text += "</ParamsValue>";
  return text;
}

void AssignStringVariable(TFlashActionScript& script, std::string_view name, std::string_view value) {
  const TPushValue nameValue{std::string(name)};
  if (name.size() + value.size() + 4 <= kMaxPushBody) {
    script.Push({nameValue, TPushValue(std::string(value))}, {kPushString, kPushString});
    script.SetVariable();
    return;
  }
  // The empty text first: each piece then joins the Push before it, and StringAdd ends that Push
  // so that the next piece starts a record of its own.
  script.Push({nameValue, TPushValue(std::string())}, {kPushString, kPushString});
  while (!value.empty()) {
    const size_t n = PieceLength(value, kPiece);
    script.Push({TPushValue(std::string(value.substr(0, n)))}, {kPushString});
    script.StringAdd();
    value.remove_prefix(n);
  }
  script.SetVariable();
}

std::unique_ptr<TFlashMovie> BuildPlayerMovie(const TStageSettings& settings, bool withMusic,
                                              const TMusicFileList* firstSong, bool preview,
                                              THost& host, const std::string& playerFolder) {
  if (!settings.Template) return nullptr;
  const std::string params = ToUtf8(PlayerParamsText(settings, preview));
  std::string trackList;
  if (withMusic) trackList = ToUtf8(BuildTrackListXml(firstSong, host));
  return RebuildWithAssignments(
      EntryPath(playerFolder, settings.TemplateName, "player template"), "player template",
      [&](TFlashActionScript& s) {
        AssignStringVariable(s, "ParamsValue", params);
        s.Push({TPushValue(std::string("MAXWAITFRAME")), TPushValue(int64_t{60})},
               {kPushString, kPushInteger});
        s.SetVariable();
        s.Push({TPushValue(std::string("GlobalInner")), TPushValue(withMusic)},
               {kPushString, kPushBoolean});
        s.SetVariable();
        if (withMusic) AssignStringVariable(s, "GlobalXMLTrackList", trackList);
      });
}

std::unique_ptr<TFlashMovie> BuildPreloaderMovie(const TStageSettings& settings,
                                                 const std::string& preloaderFolder) {
  const std::string params = ToUtf8(PreloaderParamsText(settings.Preloader));
  return RebuildWithAssignments(EntryPath(preloaderFolder, settings.PreloaderName, "preloader"),
                                "preloader", [&](TFlashActionScript& s) {
                                  AssignStringVariable(s, "ParamsValue", params);
                                });
}

}  // namespace tw::app
