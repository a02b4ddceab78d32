// Helpers of the compiler tests: compiling a script into a list through the builder's action
// script object (as movies do), and the list as the text of what a player would read.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "asc/compiler.h"
#include "support/testing.h"
#include "swf/actions.h"

namespace tw::test {

// The records of a script compiled for a version (throws asc::ECompileError).
std::unique_ptr<swf::TSWFActionList> CompileToList(std::string_view source, int version = 8);

// The script compiled, written to bytes, read back and disassembled: the branches show where
// their written offsets land.
std::string CompileToText(std::string_view source, int version = 8);

// The error a script stops with, or none when it compiles.
std::optional<asc::ECompileError> CompileError(std::string_view source, int version = 8,
                                               std::string_view sourceName = "test.as");

// The lines of a text that contain none of the given words, trimmed; for comparing the part of a
// listing that matters.
std::string Lines(const std::string& text);

}  // namespace tw::test
