// Player templates and preloaders: the SWF files in the folders "player/" and "preloader/" beside
// the program. Each declares its settings in a parameter definition, an XML text with the root
// ParamsDefine kept as a constant string of its ActionScript. This finds them, reads the
// definitions into the project's records and edits the values the project holds.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/project.h"

namespace tw::swf {
class TSWFStreamReader;
}

namespace tw::app {

// The folders beside the program, ending with "/".
std::string PlayerFolder();
std::string PreloaderFolder();

// The entries of a folder, files and folders alike, sorted without regard to case; none when
// the folder is missing or cannot be listed.
std::vector<std::string> ListFolderEntries(const std::string& folder);

// The parameter definition of a movie parsed with its action records (at least the DoAction
// tags of the main timeline), as UTF-8: the constant of a ConstantPool that begins with
// "<ParamsDefine>" in any case. The first DoAction holding one decides; within it a later one
// replaces an earlier one.
std::optional<std::string> FindParamsDefine(const swf::TSWFStreamReader& reader);

// The parameters of a definition text (the size is left 0), or null when it is not well-formed
// XML with the root element ParamsDefine; problem, when given, receives the reason.
std::unique_ptr<TTemplateInfo> ParseTemplateDefinition(std::string_view text,
                                                       std::string* problem = nullptr);

// Why a template or preloader yields no description, for the user.
inline constexpr std::string_view kNotAMovie = "not a SWF movie";
inline constexpr std::string_view kNoDefinition = "no parameter definition";

// The description of a template file, or null: when the file is missing or cannot be read, is
// not a SWF movie, holds no definition, or the definition is not well-formed XML with the root
// ParamsDefine. problem, when given, receives the reason.
std::unique_ptr<TTemplateInfo> ReadTemplateInfo(const std::string& path,
                                                std::string* problem = nullptr);

// Fills the preloader's table from its file (an empty table when there is no usable
// definition) and returns whether a definition was found. The file name is left as it is.
bool ReadPreloaderParams(const std::string& path, TPreloaderParams& params,
                         std::string* problem = nullptr);

// The template list: every entry of the folder with its description or none.
std::vector<TTemplateEntry> ScanTemplates(const std::string& folder = PlayerFolder());
// The preloader list: every entry of the folder with its table; FileName is the entry name.
std::vector<TPreloaderParams> ScanPreloaders(const std::string& folder = PreloaderFolder());

// What the window does at start-up: the template list with the first template selected, and the
// preloader list with the first preloader selected and its colours applied.
void LoadTemplatesAndPreloaders(TProject& project, const std::string& playerFolder = PlayerFolder(),
                                const std::string& preloaderFolder = PreloaderFolder());

// ---- parameters ------------------------------------------------------------------------------

// "color", "integer", "bool" or "selection".
std::string_view ParamTypeName(TParamType type);
// The type of a type text, without regard to case; any other text is a colour.
TParamType ParamTypeOf(std::string_view typeText);

// The choices of a selection: split at every ";"; an empty piece between two separators is a
// choice of its own, a trailing separator adds nothing.
std::vector<std::string> SplitChoices(std::string_view selection);

// The parameter of that name (exactly, else without regard to case), or null.
TTemplateParam* FindParam(TTemplateInfo& info, std::string_view name);
// The first parameter whose caption equals the text without regard to case, or null: the grid
// finds the row's parameter so.
TTemplateParam* FindParamByCaption(TTemplateInfo& info, std::string_view caption);

// A grid row changed: the first parameter with the row's caption takes the value (at most 255
// UTF-16 code units). False when no parameter has that caption.
bool SetParamValueByCaption(TTemplateInfo& info, std::string_view caption, std::string_view value);

// A value checked against the parameter's type and choices, in the form the definition writes
// it ("Yes"/"No", a decimal number, "0x" and six upper-case hexadecimal digits, the choice as
// listed). An error text for the user instead when it does not fit.
struct TParamValueCheck {
  std::optional<std::string> Value;
  std::string Error;
};
TParamValueCheck CheckParamValue(const TTemplateParam& param, std::string_view value);

// Reset: the selected template's file is read again, its fresh description replaces the old one
// (every value back to its default) and the custom size becomes the template's size. False when
// no template is selected.
bool ResetTemplate(TProject& project, const std::string& playerFolder = PlayerFolder());

// The preloader's colour entries (type "color", names "Bg.Color" and "Bg.BgColor", without regard
// to case) set the project's bar and background colours.
void ApplyPreloaderColors(TProject& project, const TPreloaderParams& params);
// A colour chosen for the bar (or the background): the project keeps it and the first colour
// entry of that name in the selected preloader's table takes it as "0xRRGGBB".
void SetPreloaderBarColor(TProject& project, TColor color);
void SetPreloaderBgColor(TProject& project, TColor color);

}  // namespace tw::app
