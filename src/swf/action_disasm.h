// Action lists as readable assembly: one record per line with its operands, push values with
// their types, branch targets as labels, and the bodies of functions, with-blocks and
// try-blocks indented between braces.
#pragma once

#include <string>
#include <string_view>

#include "swf/actions.h"

namespace tw::swf {

// Every line starts with indent and ends with a line feed. Text is UTF-8: strings that are not
// are read as Windows-1252, and control characters are escaped.
std::string DisassembleActions(const TSWFActionList& actions, std::string_view indent = {});

}  // namespace tw::swf
