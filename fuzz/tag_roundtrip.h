// What the tag fuzz targets share: a tag read from a bare body by its code, and its body written.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "swf/tag.h"

namespace tw::fuzz {

inline std::unique_ptr<swf::TSWFObject> ReadTagBody(uint16_t code, std::span<const uint8_t> body,
                                                    const swf::TSWFReadContext& context) {
  auto tag = swf::CreateTagObject(code);
  tag->SetReadContext(context);
  tag->BodySize = static_cast<int32_t>(body.size());
  swf::TMemoryStream view = swf::TMemoryStream::View(body);
  swf::TBitsEngine be(view);
  tag->ReadFromStream(be);
  return tag;
}

// Written into a movie of the version it was read with: a placement read from a version 10 movie
// and written for 5 changes its clip event width, and reading that back as 10 misreads it.
inline std::vector<uint8_t> WriteTagBodyBytes(swf::TSWFObject& tag,
                                              const swf::TSWFReadContext& context) {
  swf::TMemoryStream out;
  swf::TBitsEngine be(out);
  be.Context.Version = context.Version;
  tag.WriteTagBody(be);
  be.FlushBits(true);
  return out.Release();
}

}  // namespace tw::fuzz
