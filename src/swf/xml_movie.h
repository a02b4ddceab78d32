// A whole movie as XML and back: the header, every tag in order (sprites with their inner
// timelines), raw tags and the bytes after a sprite's End, so that a movie compiled from its XML has the bytes
// the library would write for the movie itself.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "swf/stream.h"
#include "swf/xml.h"

namespace tw::swf {

// Writes a movie whose tags were parsed into objects; a truncated movie is refused (ESWFError).
void WriteMovieXml(TSWFStreamReader& movie, std::ostream& out);
// Compiles a movie from its XML text: header and tags set, body built. Anything that cannot
// become a movie throws ESWFXmlError "FILE:LINE: message".
std::unique_ptr<TSWFStreamReader> ReadMovieXml(std::string_view text, const std::string& fileName);

// One tag as an element of its own (raw tags as <RawTag>).
void WriteTagXml(TSWFXmlWriter& xml, TSWFObject& tag);
// The tag an element describes, read in the context of the tags before it (which it updates).
std::unique_ptr<TSWFObject> ReadTagXml(const TSWFXmlNode& node, TSWFReadContext& context);

}  // namespace tw::swf
