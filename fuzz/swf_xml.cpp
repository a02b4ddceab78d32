// Any text as a movie's XML: refused with an error, or compiled into a movie that reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "swf/stream.h"
#include "swf/xml_movie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<tw::swf::TSWFStreamReader> movie;
  try {
    movie = tw::swf::ReadMovieXml({reinterpret_cast<const char*>(data), size}, "fuzz.xml");
  } catch (const tw::swf::ESWFError&) {
    return 0;
  }
  tw::swf::TMemoryStream out;
  movie->SaveToStream(out);
  tw::swf::TSWFStreamReader reader(out.Bytes());
  if (!reader.IsSWF || reader.Truncated()) std::abort();
  reader.ParseTags(true, true);
  if (reader.Truncated()) std::abort();
  return 0;
}
