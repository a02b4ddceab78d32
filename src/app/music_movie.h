// Music movies: a SWF that holds one song as streaming sound and nothing else (no picture, a
// frame rectangle of zero size, as many frames as the song lasts). The music-files publish
// option writes one beside the player per song; the stage movie embeds one per song.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "app/host.h"
#include "app/publish.h"
#include "app/snapshots.h"
#include "builder/movie.h"
#include "swf/memstream.h"

namespace tw::app {

// The text of a build ended by Cancel.
inline constexpr const char* kMakeMovieCanceled = "Make movie canceled.";

// A build ended by Cancel from the movie's progress handler.
class EMovieCanceled : public std::runtime_error {
 public:
  EMovieCanceled() : std::runtime_error(kMakeMovieCanceled) {}
};

// Where a movie goes while it is written as a stream: its bytes in order, and at the end the
// file length of the header, which only the finished body tells, written over its place at
// offset 4 (those bytes are never compressed).
class TMovieOutput {
 public:
  virtual ~TMovieOutput() = default;
  virtual void Write(std::span<const uint8_t> bytes) = 0;
  virtual void PatchFileSize(uint32_t fileSize) = 0;
};

// A movie whose progress handler (when asked for, and given a run) shows the building of its
// body in the progress window and ends the build with EMovieCanceled when Cancel is pressed.
class TMyMusicMovie : public builder::TFlashMovie {
 public:
  TMyMusicMovie(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax, double fps,
                swf::TSystemCoord coord, bool withProgress, TRunContext* ctx = nullptr);

  // The body bytes a stream write gathers before it hands them on (or to the compressor).
  static constexpr size_t kStreamPiece = 64 * 1024;

  // Writes the whole movie as it is made, without BuildBody: the header first, then frame by
  // frame the song's block read when its turn comes and the ShowFrame, deflated on the way when
  // the movie is compressed, and at last the file length. So memory holds one piece of the body
  // whatever the song's length. The bytes are those BuildBody and SaveToStream give; progress
  // and Cancel come per object as in BuildBody. Only a movie of plain tags and its stream sound
  // (a music movie) can be written so: anything else throws std::logic_error.
  void SaveStreamed(TMovieOutput& out);

 private:
  void OnBuildProgress(int percent, int kind);
  TRunContext* FContext;
  int FShownPercent = -1;
};

// The frames a song of this many seconds fills at the frame rate: rounded to the nearest
// integer, halves to even.
int64_t MusicMovieFrames(double seconds, double frameRate);

// The complete music movie of a song (header included), built in memory. Throws when the song
// cannot be read or is too long for the frame count of a movie; returns null when Cancel ended
// the build. The working copy of the song is gone afterwards, whatever happened.
std::unique_ptr<swf::TMemoryStream> BuildMusicMovieStream(const std::string& source,
                                                          const TConvertOption& options,
                                                          bool wholeSong, TRunContext* ctx);

// Writes the music movie of a song to target, replacing an existing file. True when it was
// written; false when Cancel ended the build (nothing is written then). Throws on a failure,
// leaving an existing target as it was. No working file stays behind.
bool WriteMusicMovieFile(const std::string& source, const std::string& target,
                         const TConvertOption& options, bool wholeSong, TRunContext* ctx);

}  // namespace tw::app
