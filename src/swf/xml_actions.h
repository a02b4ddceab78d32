// Action lists as XML: one element per record, named after it (<Play/>, <GetURL URL=".."
// Target=".."/>), its fields as attributes, pushed values as typed child elements. Records the
// library keeps as bytes stay bytes (<Action Code="0x.."> or <ByteCode>, base64), so that any
// list comes back exactly.
#pragma once

#include <span>

#include "swf/actions.h"
#include "swf/xml.h"

namespace tw::swf {

// Writes the records as child elements of the element open now.
void WriteActionListXml(TSWFXmlWriter& xml, const TSWFActionList& list);

// Reads every child element of parent as a record and appends them to the list. An unknown
// element, a bad field or a branch to a label that does not exist throws ESWFXmlError with the
// line.
void ReadActionListXml(const TSWFXmlNode& parent, TSWFActionList& list);
// The same for elements the caller has taken from its own element (which may hold others).
void ReadActionListXml(std::span<const TSWFXmlNode> elements, TSWFActionList& list);

}  // namespace tw::swf
