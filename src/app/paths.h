// The folders of the program and the user, and the small text helpers shared by the workflow:
// colour texts, image kinds and file-name texts. Folders end with "/".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/project.h"

namespace tw::app {

// The user's documents folder: XDG_DOCUMENTS_DIR (the environment, then user-dirs.dirs in the
// configuration folder), else $HOME/Documents. Created when missing.
std::string DocumentsFolder();
// The per-user working folder: DocumentsFolder + "Dovetek Software/Tunewright/". Every temporary
// file lives here; created with every missing parent.
std::string UserDataFolder();
// The per-user configuration folder: $XDG_CONFIG_HOME, else $HOME/.config (not created).
std::string ConfigFolder();
// The settings file that stands in for the registry key "\Software\Dovetek\Sonafex".
std::string SettingsFile();
// The folder of the running program (/proc/self/exe).
std::string ProgramFolder();

// "0x" and red, green, blue as two upper-case hexadecimal digits each: 0x003366.
std::string ColorToHex(TColor color);
// Reads characters 3-4 as red, 5-6 as green and 7-8 as blue; a pair that does not read counts 0.
TColor HexToColor(std::string_view text);

// By the extension, without regard to case: bmp 0, jpg and jpeg 1, gif 2, png 3, swf 4, else -1.
int ImageKindOf(std::string_view path);

// Every space replaced by "_"; nothing else changes.
std::string SpacesToUnderscores(std::string_view text);

// File-name texts, split at the last "/".
std::string ExtractFileName(std::string_view path);  // after the last "/"
std::string ExtractFilePath(std::string_view path);  // up to and including the last "/"
// From the last "." of the file name on, or empty.
std::string ExtractFileExt(std::string_view path);
// Replaces the extension (appends when there is none; an empty one removes it).
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// The folder with "/" at its end.
std::string IncludeTrailingSlash(std::string_view folder);

// Text without blanks at either end.
std::string Trim(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour.
int32_t RoundHalfEven(double value);

}  // namespace tw::app
