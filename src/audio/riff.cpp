#include "audio/riff.h"

#include <algorithm>
#include <cstring>

namespace tw::audio {
namespace {

uint32_t LittleEndian32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// The next chunk header at or after position; chunks are padded to even sizes.
uint64_t NextChunk(uint64_t position, uint32_t size) {
  return position + 8 + uint64_t{size} + (size & 1);
}

}  // namespace

std::optional<TRiffForm> FindRiffForm(TSourceStream& stream, std::string_view formType) {
  const uint64_t fileSize = stream.Size();
  for (uint64_t pos = 0; pos + 12 <= fileSize;) {
    uint8_t h[12];
    stream.Seek(pos);
    if (stream.Read(h, 12) < 12) break;
    const uint32_t size = LittleEndian32(h + 4);
    if (std::memcmp(h, "RIFF", 4) == 0 && formType.size() == 4 &&
        std::memcmp(h + 8, formType.data(), 4) == 0) {
      TRiffForm form;
      form.Offset = pos + 12;
      // A form that claims more than the file holds ends with the file; one that claims less
      // than its type field (as a stream writer that never came back to fill it) likewise.
      form.End = size < 4 ? fileSize : std::min(pos + 8 + uint64_t{size}, fileSize);
      return form;
    }
    pos = NextChunk(pos, size);
  }
  return std::nullopt;
}

std::optional<TRiffChunk> FindRiffChunk(TSourceStream& stream, const TRiffForm& form,
                                        std::string_view id) {
  if (id.size() != 4) return std::nullopt;
  for (uint64_t pos = form.Offset; pos + 8 <= form.End;) {
    uint8_t h[8];
    stream.Seek(pos);
    if (stream.Read(h, 8) < 8) break;
    const uint32_t size = LittleEndian32(h + 4);
    if (std::memcmp(h, id.data(), 4) == 0) {
      TRiffChunk chunk;
      chunk.Offset = pos + 8;
      chunk.DeclaredSize = size;
      chunk.Size = static_cast<uint32_t>(std::min<uint64_t>(size, form.End - chunk.Offset));
      return chunk;
    }
    pos = NextChunk(pos, size);
  }
  return std::nullopt;
}

}  // namespace tw::audio
