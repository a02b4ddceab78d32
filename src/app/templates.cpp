#include "app/templates.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <pugixml.hpp>
#include <system_error>

#include "app/paths.h"
#include "swf/action_push.h"
#include "swf/action_tags.h"
#include "swf/stream.h"
#include "util/text.h"

namespace tw::app {
namespace fs = std::filesystem;
using namespace tw::swf;

namespace {

constexpr std::string_view kDefinitionStart = "<ParamsDefine>";

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ToLowerAscii(a) == ToLowerAscii(b);
}

bool IsDefinition(const std::string& constant) {
  return constant.size() > kDefinitionStart.size() &&
         EqualsIgnoreCase(std::string_view(constant).substr(0, kDefinitionStart.size()),
                          kDefinitionStart);
}

// Reads a movie for its definition: only the DoAction tags become objects, the rest of a large
// template is not decoded.
std::optional<std::string> ReadDefinition(const std::string& path, TSWFStreamReader& reader,
                                          std::string* problem) {
  auto fail = [&](std::string_view why) {
    if (problem) *problem = why;
    return std::nullopt;
  };
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return fail("no such file");
  try {
    reader.LoadFromFile(path);
    if (!reader.IsSWF) return fail(kNotAMovie);
    reader.OnParseTag = [](TSWFTagInfo& info, bool& parse) { parse = info.TagCode == 12; };
    reader.ParseTags(true, true);
  } catch (const std::exception& e) {
    return fail("cannot be read: " + std::string(e.what()));
  }
  std::optional<std::string> text = FindParamsDefine(reader);
  if (!text) return fail(kNoDefinition);
  return text;
}

// The root element of a well-formed definition, or an empty node. The parser is lenient where
// the text is not: a second root or text beside the root make it no definition.
pugi::xml_node DefinitionRoot(pugi::xml_document& doc, std::string_view text,
                              std::string* problem) {
  const pugi::xml_parse_result r =
      doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_fragment,
                      pugi::encoding_utf8);
  std::string why;
  pugi::xml_node root;
  if (!r) {
    why = "the parameter definition is not well-formed XML (" + std::string(r.description()) +
          " at offset " + std::to_string(r.offset) + ")";
  } else {
    for (pugi::xml_node n : doc.children()) {
      if (n.type() == pugi::node_element) {
        if (root) why = "the parameter definition has more than one root element";
        root = n;
      } else if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
        if (std::string_view(n.value()).find_first_not_of(" \t\r\n") != std::string_view::npos)
          why = "the parameter definition has text outside its root element";
      }
    }
    if (why.empty() && std::string_view(root.name()) != "ParamsDefine")
      why = "the parameter definition's root element is not ParamsDefine";
  }
  if (!why.empty()) {
    if (problem) *problem = why;
    return {};
  }
  return root;
}

std::string Attribute(pugi::xml_node node, const char* name) {
  return FixedText(node.attribute(name).value());
}

int CompareIgnoreCase(const std::string& a, const std::string& b) {
  const std::string la = ToLowerAscii(a), lb = ToLowerAscii(b);
  if (la != lb) return la < lb ? -1 : 1;
  return a == b ? 0 : (a < b ? -1 : 1);
}

bool IsPreloaderColor(const TPreloaderParam& p, std::string_view name) {
  return EqualsIgnoreCase(p.TypeText, "color") && EqualsIgnoreCase(p.Name, name);
}

void SetPreloaderColor(TProject& project, std::string_view name, TColor color) {
  TPreloaderParams* table = project.Preloader();
  if (!table) return;
  for (TPreloaderParam& p : table->Params) {
    if (!IsPreloaderColor(p, name)) continue;
    p.Value = ColorToHex(color);
    return;
  }
}

}  // namespace

std::string PlayerFolder() { return ProgramFolder() + "player/"; }
std::string PreloaderFolder() { return ProgramFolder() + "preloader/"; }

std::vector<std::string> ListFolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareIgnoreCase(a, b) < 0; });
  return names;
}

std::optional<std::string> FindParamsDefine(const TSWFStreamReader& reader) {
  for (const auto& info : reader.TagList) {
    if (info->TagCode != 12) continue;
    const auto* tag = dynamic_cast<const TSWFDoAction*>(info->TagObject());
    if (!tag) continue;
    const std::string* found = nullptr;
    for (const auto& record : tag->Actions()) {
      if (record->ActionCode != 0x88) continue;
      for (const std::string& constant : static_cast<const TSWFActionConstantPool&>(*record).Constants) {
        if (!IsDefinition(constant)) continue;
        found = &constant;
        break;
      }
    }
    // The constant's bytes are 8-bit text: UTF-8 when they are valid UTF-8, else Windows-1252.
    if (found) return ToUtf8(*found);
  }
  return std::nullopt;
}

std::unique_ptr<TTemplateInfo> ParseTemplateDefinition(std::string_view text, std::string* problem) {
  pugi::xml_document doc;
  const pugi::xml_node root = DefinitionRoot(doc, text, problem);
  if (!root) return nullptr;
  auto info = std::make_unique<TTemplateInfo>();
  // Only elements are parameters: a comment or a stray text inside the root is none.
  for (pugi::xml_node node : root.children()) {
    if (node.type() != pugi::node_element) continue;
    auto param = std::make_unique<TTemplateParam>();
    param->Name = FixedText(node.name());
    param->Caption = Attribute(node, "caption");
    param->DefaultValue = Attribute(node, "default");
    param->Value = param->DefaultValue;
    param->ParamType = ParamTypeOf(node.attribute("type").value());
    if (param->ParamType == TParamType::Selection) param->Selection = Attribute(node, "selection");
    info->AddParam(std::move(param));
  }
  return info;
}

std::unique_ptr<TTemplateInfo> ReadTemplateInfo(const std::string& path, std::string* problem) {
  TSWFStreamReader reader;
  reader.SetSystemCoord(TSystemCoord::Pix);
  const std::optional<std::string> text = ReadDefinition(path, reader, problem);
  if (!text) return nullptr;
  auto info = ParseTemplateDefinition(*text, problem);
  if (!info) return nullptr;
  const TRect& frame = reader.FrameRect();
  info->DefaultWidth = (frame.Right - frame.Left) / 20;
  info->DefaultHeight = (frame.Bottom - frame.Top) / 20;
  return info;
}

bool ReadPreloaderParams(const std::string& path, TPreloaderParams& params, std::string* problem) {
  params.Params.clear();
  TSWFStreamReader reader;
  const std::optional<std::string> text = ReadDefinition(path, reader, problem);
  if (!text) return false;
  pugi::xml_document doc;
  const pugi::xml_node root = DefinitionRoot(doc, *text, problem);
  if (!root) return true;
  for (pugi::xml_node node : root.children()) {
    if (node.type() != pugi::node_element) continue;
    TPreloaderParam p;
    p.Name = FixedText(node.name());
    p.DefaultValue = Attribute(node, "default");
    p.Value = p.DefaultValue;
    p.TypeText = Attribute(node, "type");
    p.Caption = Attribute(node, "caption");
    if (EqualsIgnoreCase(p.TypeText, "integer")) {
      p.MinValue = Attribute(node, "min");
      p.MaxValue = Attribute(node, "max");
    } else if (EqualsIgnoreCase(p.TypeText, "selection")) {
      p.Selection = Attribute(node, "selection");
    }
    params.Params.push_back(std::move(p));
  }
  return true;
}

std::vector<TTemplateEntry> ScanTemplates(const std::string& folder) {
  std::vector<TTemplateEntry> list;
  const std::string base = IncludeTrailingSlash(folder);
  for (std::string& name : ListFolderEntries(folder)) {
    TTemplateEntry entry;
    entry.Info = ReadTemplateInfo(base + name);
    entry.FileName = std::move(name);
    list.push_back(std::move(entry));
  }
  return list;
}

std::vector<TPreloaderParams> ScanPreloaders(const std::string& folder) {
  std::vector<TPreloaderParams> list;
  const std::string base = IncludeTrailingSlash(folder);
  for (const std::string& name : ListFolderEntries(folder)) {
    TPreloaderParams table;
    ReadPreloaderParams(base + name, table);
    table.FileName = FixedText(name);
    list.push_back(std::move(table));
  }
  return list;
}

void LoadTemplatesAndPreloaders(TProject& project, const std::string& playerFolder,
                                const std::string& preloaderFolder) {
  project.Templates = ScanTemplates(playerFolder);
  project.SelectedTemplate = -1;
  if (!project.Templates.empty()) project.SelectTemplate(0);
  project.Preloaders = ScanPreloaders(preloaderFolder);
  project.SelectedPreloader = -1;
  if (!project.Preloaders.empty()) project.SelectPreloader(0);
}

// ---- parameters ------------------------------------------------------------------------------

std::string_view ParamTypeName(TParamType type) {
  switch (type) {
    case TParamType::Integer: return "integer";
    case TParamType::Bool: return "bool";
    case TParamType::Selection: return "selection";
    case TParamType::Color: break;
  }
  return "color";
}

TParamType ParamTypeOf(std::string_view typeText) {
  const std::string t = ToLowerAscii(typeText);
  if (t == "bool") return TParamType::Bool;
  if (t == "integer") return TParamType::Integer;
  if (t == "selection") return TParamType::Selection;
  return TParamType::Color;
}

std::vector<std::string> SplitChoices(std::string_view selection) {
  std::vector<std::string> choices;
  size_t start = 0;
  while (start < selection.size()) {
    const size_t end = std::min(selection.find(';', start), selection.size());
    choices.emplace_back(selection.substr(start, end - start));
    start = end + 1;
  }
  return choices;
}

TTemplateParam* FindParam(TTemplateInfo& info, std::string_view name) {
  TTemplateParam* loose = nullptr;
  for (TTemplateParam* p = info.FirstParam.get(); p; p = p->Next.get()) {
    if (p->Name == name) return p;
    if (!loose && EqualsIgnoreCase(p->Name, name)) loose = p;
  }
  return loose;
}

TTemplateParam* FindParamByCaption(TTemplateInfo& info, std::string_view caption) {
  for (TTemplateParam* p = info.FirstParam.get(); p; p = p->Next.get())
    if (EqualsIgnoreCase(p->Caption, caption)) return p;
  return nullptr;
}

bool SetParamValueByCaption(TTemplateInfo& info, std::string_view caption, std::string_view value) {
  TTemplateParam* p = FindParamByCaption(info, caption);
  if (!p) return false;
  p->Value = FixedText(value);
  return true;
}

TParamValueCheck CheckParamValue(const TTemplateParam& param, std::string_view value) {
  TParamValueCheck check;
  switch (param.ParamType) {
    case TParamType::Bool:
      if (EqualsIgnoreCase(value, "yes")) check.Value = "Yes";
      else if (EqualsIgnoreCase(value, "no")) check.Value = "No";
      else check.Error = param.Name + " is a yes-or-no parameter: write Yes or No";
      break;
    case TParamType::Integer: {
      int64_t n = 0;
      const std::string_view digits = !value.empty() && value[0] == '+' ? value.substr(1) : value;
      const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), n);
      if (!digits.empty() && r.ec == std::errc() && r.ptr == digits.data() + digits.size())
        check.Value = std::to_string(n);
      else
        check.Error = param.Name + " is a whole-number parameter: write a number such as 10";
      break;
    }
    case TParamType::Color: {
      const bool ok = value.size() == 8 && (value.substr(0, 2) == "0x" || value.substr(0, 2) == "0X") &&
                      value.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string_view::npos;
      if (ok) {
        std::string v = "0x";
        for (char c : value.substr(2)) v += static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
        check.Value = v;
      } else {
        check.Error = param.Name + " is a colour parameter: write the colour as 0xRRGGBB";
      }
      break;
    }
    case TParamType::Selection: {
      const std::vector<std::string> choices = SplitChoices(param.Selection);
      for (const std::string& c : choices)
        if (c == value) check.Value = c;
      if (!check.Value)
        for (const std::string& c : choices)
          if (!check.Value && EqualsIgnoreCase(c, value)) check.Value = c;
      if (!check.Value) {
        std::string list;
        for (const std::string& c : choices) list += (list.empty() ? "\"" : ", \"") + c + "\"";
        check.Error = param.Name + " is a choice: choose one of " + (list.empty() ? "(none)" : list);
      }
      break;
    }
  }
  if (check.Value && Utf16Length(*check.Value) > kFixedTextUnits) {
    check.Value.reset();
    check.Error = param.Name + ": the value is longer than 255 characters";
  }
  return check;
}

bool ResetTemplate(TProject& project, const std::string& playerFolder) {
  TTemplateEntry* entry = project.Template();
  if (!entry) return false;
  entry->Info = ReadTemplateInfo(IncludeTrailingSlash(playerFolder) + entry->FileName);
  if (entry->Info) {
    project.Width = entry->Info->DefaultWidth;
    project.Height = entry->Info->DefaultHeight;
  }
  return true;
}

void ApplyPreloaderColors(TProject& project, const TPreloaderParams& params) {
  for (const TPreloaderParam& p : params.Params) {
    if (IsPreloaderColor(p, "Bg.Color")) project.PreloaderBarColor = HexToColor(p.Value);
    else if (IsPreloaderColor(p, "Bg.BgColor")) project.PreloaderBgColor = HexToColor(p.Value);
  }
}

void SetPreloaderBarColor(TProject& project, TColor color) {
  project.PreloaderBarColor = color;
  SetPreloaderColor(project, "Bg.Color", color);
}

void SetPreloaderBgColor(TProject& project, TColor color) {
  project.PreloaderBgColor = color;
  SetPreloaderColor(project, "Bg.BgColor", color);
}

}  // namespace tw::app
