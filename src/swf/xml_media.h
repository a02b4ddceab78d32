// Helpers the media and display tags share for their XML: fields whose codes have names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "swf/xml.h"

namespace tw::swf {

// A field whose codes have names: written as the name, read as the name or as the number.
using TCodeName = std::string (*)(uint8_t code);
void WriteCodeXml(TSWFXmlWriter& xml, std::string_view attribute, uint8_t code, TCodeName name);
uint8_t ReadCodeXml(const TSWFXmlNode& node, std::string_view attribute, uint8_t max, TCodeName name);

// A set of flags written as the comma-separated names that name(set) gives ("EnterFrame,Load",
// "none" for an empty set), where name(1 << i) is the name of bit i for the first count bits.
// Bits in reserved come as one hex number ("0x80000").
uint32_t ReadNameSetXml(const TSWFXmlNode& node, std::string_view attribute, unsigned count,
                        std::string (*name)(uint32_t), uint32_t reserved);

}  // namespace tw::swf
