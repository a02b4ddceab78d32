#include "asc/builtins.h"

#include <array>

namespace tw::asc {
namespace {

using F = TBuiltinForm;

constexpr std::array kBuiltins = {
    // Values.
    TBuiltin{"trace", F::Op, 1, 1, TOp::Trace},
    TBuiltin{"getTimer", F::Op, 0, 0, TOp::GetTime, true},
    TBuiltin{"int", F::Op, 1, 1, TOp::ToInteger, true},
    TBuiltin{"random", F::Op, 1, 1, TOp::RandomNumber, true},
    TBuiltin{"chr", F::Op, 1, 1, TOp::AsciiToChar, true},
    TBuiltin{"ord", F::Op, 1, 1, TOp::CharToAscii, true},
    TBuiltin{"mbchr", F::Op, 1, 1, TOp::MBAsciiToChar, true},
    TBuiltin{"mbord", F::Op, 1, 1, TOp::MBCharToAscii, true},
    TBuiltin{"length", F::Op, 1, 1, TOp::StringLength, true},
    TBuiltin{"mblength", F::Op, 1, 1, TOp::MBStringLength, true},
    TBuiltin{"substring", F::Op, 3, 3, TOp::StringExtract, true},
    TBuiltin{"mbsubstring", F::Op, 3, 3, TOp::MBStringExtract, true},
    TBuiltin{"eval", F::Op, 1, 1, TOp::GetVariable, true},
    TBuiltin{"set", F::Op, 2, 2, TOp::SetVariable},
    TBuiltin{"targetPath", F::Op, 1, 1, TOp::TargetPath, true},
    TBuiltin{"getVersion", F::GetVersion, 0, 0, TOp::GetVariable, true},
    // The timeline.
    TBuiltin{"play", F::Op, 0, 0, TOp::Play},
    TBuiltin{"stop", F::Op, 0, 0, TOp::Stop},
    TBuiltin{"nextFrame", F::Op, 0, 0, TOp::NextFrame},
    TBuiltin{"prevFrame", F::Op, 0, 0, TOp::PreviousFrame},
    TBuiltin{"stopAllSounds", F::Op, 0, 0, TOp::StopSounds},
    TBuiltin{"toggleHighQuality", F::Op, 0, 0, TOp::ToggleQuality},
    TBuiltin{"call", F::Op, 1, 1, TOp::Call},
    // Going to a frame stops there; gotoAndPlay adds Play.
    TBuiltin{"gotoAndPlay", F::Goto, 1, 1, TOp::Play, false, true},
    TBuiltin{"gotoAndStop", F::Goto, 1, 1, TOp::Play, false, false},
    // Movie clips.
    TBuiltin{"removeMovieClip", F::Op, 1, 1, TOp::RemoveSprite},
    TBuiltin{"duplicateMovieClip", F::Duplicate, 3, 3, TOp::CloneSprite},
    TBuiltin{"getProperty", F::GetProperty, 2, 2, TOp::GetProperty, true},
    TBuiltin{"setProperty", F::SetProperty, 3, 3, TOp::SetProperty},
    TBuiltin{"startDrag", F::StartDrag, 1, 6, TOp::StartDrag},
    TBuiltin{"stopDrag", F::Op, 0, 0, TOp::EndDrag},
    // Loading and the browser.
    TBuiltin{"getURL", F::GetURL, 1, 3},
    // Printing is a GetURL2 to a "print:" address naming the bounding box.
    TBuiltin{"print", F::Print, 2, 2, TOp::Pop, false, false},
    TBuiltin{"printAsBitmap", F::Print, 2, 2, TOp::Pop, false, true},
    TBuiltin{"printNum", F::PrintNum, 2, 2, TOp::Pop, false, false},
    TBuiltin{"printAsBitmapNum", F::PrintNum, 2, 2, TOp::Pop, false, true},
    TBuiltin{"loadMovie", F::LoadMovie, 2, 3, TOp::Pop, false, false},
    TBuiltin{"loadVariables", F::LoadMovie, 2, 3, TOp::Pop, false, true},
    TBuiltin{"loadMovieNum", F::LoadMovieNum, 2, 3, TOp::Pop, false, false},
    TBuiltin{"loadVariablesNum", F::LoadMovieNum, 2, 3, TOp::Pop, false, true},
    TBuiltin{"unloadMovie", F::UnloadMovie, 1, 1},
    TBuiltin{"unloadMovieNum", F::UnloadMovieNum, 1, 1},
    TBuiltin{"fscommand", F::FSCommand, 1, 2},
};

constexpr std::array<std::string_view, 22> kProperties = {
    "_x",         "_y",         "_xscale",   "_yscale",     "_currentframe", "_totalframes",
    "_alpha",     "_visible",   "_width",    "_height",     "_rotation",     "_target",
    "_framesloaded", "_name",   "_droptarget", "_url",      "_highquality",  "_focusrect",
    "_soundbuftime", "_quality", "_xmouse",  "_ymouse",
};

}  // namespace

const TBuiltin* FindBuiltin(std::string_view name) {
  for (const auto& b : kBuiltins)
    if (b.Name == name) return &b;
  return nullptr;
}

std::optional<int> PropertyIndex(std::string_view name) {
  for (size_t i = 0; i < kProperties.size(); ++i)
    if (kProperties[i] == name) return static_cast<int>(i);
  return std::nullopt;
}

}  // namespace tw::asc
