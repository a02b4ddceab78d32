// The player movie and the preloader movie: a template (or preloader) rebuilt tag for tag as a
// new movie, with one DoAction in front of its own first DoAction that hands its scripts the
// publish-time variables. The stage composition embeds the result as a sprite.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/host.h"
#include "app/snapshots.h"
#include "app/templates.h"
#include "builder/movie.h"

namespace tw::app {

// The parameter text of the player: <ParamsValue>, the stage frame rate and play percent as
// Py.MovieFPS and Py.PlayPercent, every template parameter as <name>value</name> in definition
// order (Py.Autostart and Py.Loop read "No" in a preview), </ParamsValue>. Nothing is escaped.
std::string PlayerParamsText(const TStageSettings& settings, bool preview);
// The parameter text of a preloader: its table's entries alone.
std::string PreloaderParamsText(const TPreloaderParams* params);

// Assigns a text to a variable: a Push of the name and the value (push type string) and a
// SetVariable. A value too long for one Push record is pushed in pieces joined by StringAdd.
void AssignStringVariable(builder::TFlashActionScript& script, std::string_view name,
                          std::string_view value);

// The template named by the settings, rebuilt with ParamsValue, MAXWAITFRAME (60), GlobalInner
// (the with-music flag) and, with music, GlobalXMLTrackList (the inner playlist of the songs)
// assigned before its first DoAction. Null when the settings have no template description. A
// template that cannot be read or is no SWF movie throws. The caller owns the movie.
std::unique_ptr<builder::TFlashMovie> BuildPlayerMovie(const TStageSettings& settings,
                                                       bool withMusic,
                                                       const TMusicFileList* firstSong,
                                                       bool preview, THost& host,
                                                       const std::string& playerFolder = PlayerFolder());

// The preloader named by the settings, rebuilt with ParamsValue alone.
std::unique_ptr<builder::TFlashMovie> BuildPreloaderMovie(
    const TStageSettings& settings, const std::string& preloaderFolder = PreloaderFolder());

}  // namespace tw::app
