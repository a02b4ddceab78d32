// Helpers of the action record tests: lists from bytes and back, and a short view of a list.
#pragma once

#include "support/testing.h"
#include "swf/actions.h"

namespace tw::test {

// The records of a list read from bytes (the whole of them is the list's extent).
std::unique_ptr<swf::TSWFActionList> ReadList(std::span<const uint8_t> bytes);
// The bytes a list writes, End code included.
Bytes WriteList(swf::TSWFActionList& list);
// The codes of a list in hex, a marker as "M", a raw record as "[bytes]"; "07 M 99".
std::string Shape(const swf::TSWFActionList& list);
// The index of a marker in a list, or -1.
int IndexOf(const swf::TSWFActionList& list, const swf::TSWFAction* record);

}  // namespace tw::test
