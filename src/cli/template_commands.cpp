// templates: the player templates and preloaders beside the program, with their sizes and the
// parameters each declares.
#include <iostream>
#include <optional>

#include "app/paths.h"
#include "app/templates.h"
#include "cli/commands.h"
#include "swf/stream.h"
#include "util/json.h"

namespace tw::cli {
using namespace tw::app;

namespace {

struct TemplatesOptions {
  bool json = false;
};

struct Size {
  int32_t Width = 0, Height = 0;
};

// The frame size of a movie file in pixels, when it is one.
std::optional<Size> MovieSize(const std::string& path) {
  try {
    swf::TSWFStreamReader reader(path);
    if (!reader.IsSWF) return std::nullopt;
    const swf::TRect& r = reader.FrameRect();
    return Size{(r.Right - r.Left) / 20, (r.Bottom - r.Top) / 20};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

struct ParamRow {
  std::string Name, Caption, Type, Default, Value;
  std::vector<std::string> Choices;
  bool HasChoices = false;
};

struct Listing {
  std::string FileName;
  std::optional<Size> MovieSize;
  std::string Problem;  // empty when it has parameters to show
  std::vector<ParamRow> Params;
};

std::vector<Listing> ListTemplates(const std::string& folder) {
  std::vector<Listing> out;
  for (const std::string& name : ListFolderEntries(folder)) {
    Listing l;
    l.FileName = name;
    const auto info = ReadTemplateInfo(folder + name, &l.Problem);
    if (info) {
      l.Problem.clear();
      l.MovieSize = Size{info->DefaultWidth, info->DefaultHeight};
      for (const TTemplateParam* p = info->FirstParam.get(); p; p = p->Next.get()) {
        ParamRow row{p->Name, p->Caption, std::string(ParamTypeName(p->ParamType)), p->DefaultValue,
                     p->Value, {}, p->ParamType == TParamType::Selection};
        if (row.HasChoices) row.Choices = SplitChoices(p->Selection);
        l.Params.push_back(std::move(row));
      }
    } else {
      l.MovieSize = MovieSize(folder + name);
    }
    out.push_back(std::move(l));
  }
  return out;
}

std::vector<Listing> ListPreloaders(const std::string& folder) {
  std::vector<Listing> out;
  for (const std::string& name : ListFolderEntries(folder)) {
    Listing l;
    l.FileName = name;
    TPreloaderParams table;
    ReadPreloaderParams(folder + name, table, &l.Problem);
    if (table.Count() > 0) l.Problem.clear();
    else if (l.Problem.empty()) l.Problem = "no parameters";
    l.MovieSize = MovieSize(folder + name);
    for (const TPreloaderParam& p : table.Params) {
      ParamRow row{p.Name, p.Caption, p.TypeText, p.DefaultValue, p.Value, {},
                   ParamTypeOf(p.TypeText) == TParamType::Selection};
      if (row.HasChoices) row.Choices = SplitChoices(p.Selection);
      l.Params.push_back(std::move(row));
    }
    out.push_back(std::move(l));
  }
  return out;
}

Json ToJson(const std::vector<Listing>& list) {
  Json array = Json::MakeArray();
  for (const Listing& l : list) {
    Json entry = Json::MakeObject();
    entry.Set("name", l.FileName);
    if (l.MovieSize) entry.Set("width", l.MovieSize->Width).Set("height", l.MovieSize->Height);
    else entry.Set("width", nullptr).Set("height", nullptr);
    entry.Set("problem", l.Problem.empty() ? Json() : Json(l.Problem));
    Json params = Json::MakeArray();
    for (const ParamRow& p : l.Params) {
      Json row = Json::MakeObject();
      row.Set("name", p.Name).Set("caption", p.Caption).Set("type", p.Type).Set("default", p.Default);
      if (p.HasChoices) {
        Json choices = Json::MakeArray();
        for (const std::string& c : p.Choices) choices.Push(c);
        row.Set("choices", std::move(choices));
      } else {
        row.Set("choices", nullptr);
      }
      row.Set("value", p.Value);
      params.Push(std::move(row));
    }
    entry.Set("params", std::move(params));
    array.Push(std::move(entry));
  }
  return array;
}

void PrintListing(const char* title, const char* none, const std::string& folder,
                  const std::vector<Listing>& list) {
  if (list.empty()) {
    std::cout << none << " in " << folder << "\n";
    return;
  }
  std::cout << title << " in " << folder << ":\n";
  for (const Listing& l : list) {
    std::cout << "  " << l.FileName;
    if (l.MovieSize) std::cout << "  " << l.MovieSize->Width << " x " << l.MovieSize->Height;
    if (!l.Problem.empty()) std::cout << "  (" << l.Problem << ")";
    std::cout << "\n";
    for (const ParamRow& p : l.Params) {
      std::cout << "    " << p.Name << "  \"" << p.Caption << "\"  " << p.Type << "  default "
                << JsonQuote(p.Default) << "  value " << JsonQuote(p.Value);
      if (p.HasChoices) {
        std::cout << "  choices";
        for (size_t i = 0; i < p.Choices.size(); ++i)
          std::cout << (i ? ", " : " ") << JsonQuote(p.Choices[i]);
      }
      std::cout << "\n";
    }
  }
}

void Templates(const TemplatesOptions& o) {
  const std::string players = PlayerFolder(), preloaders = PreloaderFolder();
  const auto templates = ListTemplates(players);
  const auto loaders = ListPreloaders(preloaders);
  if (o.json) {
    Json out = Json::MakeObject();
    out.Set("playerFolder", players)
        .Set("templates", ToJson(templates))
        .Set("preloaderFolder", preloaders)
        .Set("preloaders", ToJson(loaders));
    std::cout << out.Dump() << "\n";
    return;
  }
  PrintListing("Player templates", "No player templates", players, templates);
  PrintListing("Preloaders", "No preloaders", preloaders, loaders);
}

}  // namespace

void AddTemplateCommands(CLI::App& app) {
  auto o = std::make_shared<TemplatesOptions>();
  CLI::App* cmd = app.add_subcommand(
      "templates",
      "List the player templates (folder player/ beside the program) and the preloaders (folder "
      "preloader/) with their size and the parameters each declares: name, caption, type, "
      "default, choices and value. Choose them for publish with --template, --preloader and "
      "--param NAME=VALUE.");
  cmd->add_flag("--json", o->json, "Print the lists as JSON");
  cmd->callback([o] { Templates(*o); });
}

}  // namespace tw::cli
