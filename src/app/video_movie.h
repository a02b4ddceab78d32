// Video movies: an FLV file wrapped as a SWF movie of its picture size and frame rate, its video
// embedded one frame per movie frame and its sound, when it has one, as the movie's stream
// sound. The counterpart of the music movie for a clip.
#pragma once

#include <string>

#include "app/host.h"

namespace tw::app {

// Writes the video movie of an FLV file to target (replacing it) for the SWF version given;
// the version rises when the video needs a newer one. Sound goes into the stream as it is when
// a SWF stream carries it (MP3 at 11, 22 or 44 kHz; PCM, ADPCM-compressed by the sound builder);
// any other (AAC, Nellymoser, Speex, MP3 at other rates, ADPCM packets that cannot be cut into
// frames) is re-encoded to MP3 by the media converter. Throws audio::EAudioError for a file it
// cannot use (with the reason), and when the sound needs re-encoding and the converter is
// missing or fails. True when written; false when Cancel stopped the re-encoding.
bool WriteVideoMovieFile(const std::string& source, const std::string& target, int flashVersion,
                         TRunContext& ctx);

}  // namespace tw::app
