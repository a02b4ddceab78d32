// The project file (".prj"): an XML document with the root "options" that stores the whole
// project. The same format serves the start-up project "default.prj" beside the program, the
// projects the user opens and saves, and "config.prj" in the working folder, written when the
// window closes. Applying a file sets only the fields it names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/host.h"
#include "app/project.h"

namespace tw::app {

// A project file is refused above this size: parsing a file builds a node for every element,
// and no project the window makes comes near it (a song takes a few hundred bytes).
inline constexpr uint64_t kMaxProjectFileSize = 8u << 20;

// ---- Saving ---------------------------------------------------------------------------------

// The document of the project, pretty-printed UTF-8: the same project always gives the same
// bytes.
std::string ProjectFileText(const TProject& project);

// Writes the project file through a temporary beside the target and a rename, so that a failed
// save leaves the previous file as it was. A read-only target is refused. Throws tw::FileError.
void WriteProjectFile(const TProject& project, const std::string& path);

// Save: as WriteProjectFile; a failure shows "Error: " + the reason through the host and gives
// false.
bool SaveProjectFile(const TProject& project, const std::string& path, THost& host);

// ---- Applying -------------------------------------------------------------------------------

enum class TApplyStatus {
  Applied,   // every element was handled
  NotFound,  // no such file: nothing happens
  NoRoot,    // no root element, or a root other than "options": nothing is applied
  Failed,    // the file or a value could not be read; what came before it stays applied
};

struct TApplyOutcome {
  TApplyStatus Status = TApplyStatus::NotFound;
  std::string Error;  // the failure's message ("Error: " + it was shown), when Failed
  std::string Root;   // the root element's name, when there is one
  // The elements that set a field, as "group.element" ("encoding.samplerate", "player.style",
  // "player.bgimage", "files"), in the order they were applied, without repeats.
  std::vector<std::string> Applied;
  std::vector<std::string> DroppedSongs;  // listed songs that could not be read
  std::string MissingTemplate;            // a "style" name that names no template here
  std::string MissingPreloader;           // a "preloadername" that names no preloader here
};

// Apply: reads the file into the project. Songs are added after the existing ones (the callers
// empty the list first); a song whose file cannot be read is dropped silently. A failure shows
// "Error: " + the reason through the host; the fields applied before it keep their new values.
// The host's message queue runs after every song.
TApplyOutcome ApplyProjectFile(TProject& project, const std::string& path, THost& host);
// The same for a document in memory.
TApplyOutcome ApplyProjectText(TProject& project, std::string_view text, THost& host);

// ---- The project's uses ---------------------------------------------------------------------

// The program folder + "default.prj", and the working folder + "config.prj".
std::string StartupProjectPath();
std::string ClosingProjectPath();

// The project a new window starts with: the defaults, the template and preloader lists beside the
// program (the first of each selected), then the start-up project.
TProject MakeStartupProject(THost& host);

// "New project": an empty music list, then the start-up project; other fields the file does not
// name keep their values.
TApplyOutcome NewProject(TProject& project, THost& host);

// "Open project": an empty music list, then the file.
TApplyOutcome OpenProject(TProject& project, const std::string& path, THost& host);

// Closing the window: the project saved as "config.prj" in the working folder.
bool SaveClosingProject(const TProject& project, THost& host);

// ---- The emulator setting's names: "off", "link", "copy" ------------------------------------

std::string_view RuffleModeName(TRuffleMode mode);
// Any other name (and none) is "off": a page never gains a script the file did not clearly ask
// for.
TRuffleMode RuffleModeFromName(std::string_view name);

// ---- Lookups by file name (without regard to case) ------------------------------------------

// The index of the template or preloader of that file name in the project's lists, or -1.
int32_t FindTemplate(const TProject& project, std::string_view fileName);
int32_t FindPreloader(const TProject& project, std::string_view fileName);

}  // namespace tw::app
