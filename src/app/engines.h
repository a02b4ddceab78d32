// The two outside programs that do the audio work: the MP3 encoder (lame) re-encodes a song,
// the media converter (ffmpeg) turns one into FLV. Each runs as a child process whose output
// pipe a worker thread watches; the progress text is parsed on the calling thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/host.h"
#include "app/snapshots.h"

namespace tw::app {

// The messages shown when a program is missing, once for every song that needs it.
inline constexpr std::string_view kLameMissing =
    "Error: Lame encoding engine isn't in the right directory, the audio data will not be "
    "reencoded.\r\nPlease reinstall the software to fix this problem.";
inline constexpr std::string_view kFfmpegMissing =
    "Error: Ffmpeg converting engine isn't in the right directory.\r\nPlease reinstall the "
    "software to fix this problem.";

// engine/NAME beside the program when it is there, else NAME found on PATH; empty when neither.
std::string FindEngine(std::string_view name);

// ---- Progress text of the engines -----------------------------------------------------------

struct TChunkProgress {
  int Percent = 0;
  std::string Text;  // what the percent label shows, "13%"
};

// The encoder's progress line "  1520/11489  (13%)|": the last "%)|" of the chunk, the newest
// line. None when the chunk holds no progress line (the bar then stays as it is).
std::optional<TChunkProgress> EncoderChunkProgress(std::string_view chunk);

// The converter's progress: the song's duration from its "Duration:" line, then the elapsed
// time of each chunk's last "time=" (in the chunk that brought the duration too: a short song
// prints everything at once). Reads both the old forms ("time=102.50", "Duration: ...,
// start:") and today's ("time=00:01:42.50", a WAV input's "Duration: 00:00:40.00, bitrate:").
// 0 while the duration is unknown; none (the bar stays) for a chunk without an elapsed time.
class TConverterProgress {
 public:
  std::optional<TChunkProgress> Chunk(std::string_view chunk);
  int Duration() const { return FDuration; }  // whole seconds, -1 until known

 private:
  int FDuration = -1;
  std::string FPending;  // an unfinished line, kept while the duration is still unknown
};

// ---- Running an engine ----------------------------------------------------------------------

enum class TEngineKind { Encoder, Converter };

struct TEngineRun {
  bool Cancelled = false;  // Cancel was pressed: the child was terminated
  int ExitStatus = -1;     // the child's exit status, or -1
  int Signal = 0;          // the signal that ended it, or 0
  double Seconds = 0;      // wall time from start to end
  std::string LastLine;    // the last line of its output, for a failure message
  bool Succeeded() const { return !Cancelled && ExitStatus == 0; }
};

// Runs argv[0] (a full path) with standard input from /dev/null, standard output and error on a
// pipe, in a process group of its own (a Ctrl-C at the terminal reaches the run as Cancel, not
// the child). Waits in 100 ms steps, letting the host's messages run; on Cancel terminates it
// (SIGTERM, then SIGKILL). Throws std::runtime_error when the pipe or the child cannot be made.
TEngineRun RunEngine(const std::vector<std::string>& argv, TEngineKind kind, TRunContext& ctx);

enum class TEngineResult { Done, Missing, Failed, Cancelled };

// Re-encodes source into target at the options' sample rate, bit rate and mode. A failed child
// leaves no target. Throws tw::FileError when the source cannot be copied.
TEngineResult EncodeMp3(const std::string& source, const std::string& target,
                        const TConvertOption& options, TRunContext& ctx);

// Converts source into an FLV file at target. The target is written only from a finished
// conversion, never from a cancelled or failed one.
TEngineResult ConvertToFlv(const std::string& source, const std::string& target,
                           const TConvertOption& options, bool wholeSong, TRunContext& ctx);

}  // namespace tw::app
