// The global functions of ActionScript 1 that the player runs as action records of their own
// (trace, getTimer, gotoAndPlay, ...), and the movie clip properties that getProperty and
// setProperty name by number.
#pragma once

#include <optional>
#include <string_view>

#include "asc/emitter.h"

namespace tw::asc {

// How a call of the function becomes records.
enum class TBuiltinForm : uint8_t {
  Op,            // the arguments in order, then the record Op
  Goto,          // gotoAndPlay, gotoAndStop
  GetURL,        // getURL(url [, target [, method]])
  LoadMovie,     // loadMovie, loadVariables: (url, target [, method])
  LoadMovieNum,  // loadMovieNum, loadVariablesNum: (url, level [, method])
  UnloadMovie,   // unloadMovie(target)
  UnloadMovieNum,
  FSCommand,     // fscommand(command [, arguments])
  GetProperty,   // getProperty(target, property)
  SetProperty,   // setProperty(target, property, value)
  Duplicate,     // duplicateMovieClip(target, name, depth)
  StartDrag,     // startDrag(target [, lock [, left, top, right, bottom]])
  GetVersion,    // getVersion()
  Print,         // print, printAsBitmap: (target, bounding box)
  PrintNum,      // printNum, printAsBitmapNum: (level, bounding box)
};

struct TBuiltin {
  std::string_view Name;
  TBuiltinForm Form;
  int MinArgs, MaxArgs;
  TOp Op = TOp::Pop;        // for the Op form
  bool Result = false;      // the record leaves a value
  bool Play = false;        // gotoAndPlay; loadVariables for the load forms; as a bitmap for print
};

// The built-in function of that exact name, or null.
const TBuiltin* FindBuiltin(std::string_view name);

// The number getProperty and setProperty use for a property (_x is 0, ...), or none.
std::optional<int> PropertyIndex(std::string_view name);

}  // namespace tw::asc
