// The RIFF chunk walker: finds a form among the top-level chunks of a file and a chunk inside
// it, with the offset and size of its data. Sizes that run past the form or the file are cut
// to what is there, so that no caller trusts a declared size beyond the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "audio/source_stream.h"

namespace tw::audio {

struct TRiffForm {
  uint64_t Offset = 0;  // the first sub-chunk
  uint64_t End = 0;     // the end of the form, at most the end of the file
};

struct TRiffChunk {
  uint64_t Offset = 0;        // the first data byte
  uint32_t DeclaredSize = 0;  // the size the chunk header gives
  uint32_t Size = 0;          // the data bytes that lie inside the form
};

// The first "RIFF" chunk of the given form type (4 characters, e.g. "WAVE").
std::optional<TRiffForm> FindRiffForm(TSourceStream& stream, std::string_view formType);
// The first chunk with the given id (4 characters, e.g. "fmt ") inside a form.
std::optional<TRiffChunk> FindRiffChunk(TSourceStream& stream, const TRiffForm& form,
                                        std::string_view id);

}  // namespace tw::audio
