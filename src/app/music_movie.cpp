#include "app/music_movie.h"

#include <cmath>
#include <limits>

#include "app/fileops.h"
#include "app/paths.h"
#include "builder/sound.h"
#include "util/files.h"

namespace tw::app {

namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The run's working folder; the user's for a build outside a run.
std::string WorkFolderOf(const TRunContext* ctx) {
  return ctx ? ctx->WorkFolder() : UserDataFolder();
}

// A fresh copy of the song in the working folder.
void PrepareCopy(const std::string& source, const std::string& copy) {
  if (SameFile(source, copy))
    throw FileError("The song " + Quoted(source) + " lies where the working copy goes");
  RemoveFile(copy);
  CopyFileReplacing(source, copy);
}

// Fills a music movie with the song: the stream sound without looping and its frames.
void FillMusicMovie(TMyMusicMovie& movie, const std::string& source, const std::string& copy,
                    const TConvertOption& options) {
  builder::TFlashSound& sound = movie.StreamSound();
  try {
    sound.LoadFromFile(copy);
  } catch (const std::exception& e) {
    throw std::runtime_error("Cannot make a music movie of the song " + Quoted(source) + ": " +
                             e.what());
  }
  sound.LoopStream = false;
  const int64_t frames = MusicMovieFrames(sound.Duration, options.FrameRate);
  if (frames > std::numeric_limits<uint16_t>::max())
    throw std::runtime_error("The song " + Quoted(source) + " lasts too long for a movie at " +
                             std::to_string(options.FrameRate) +
                             " frames per second (at most 65535 frames); lower the frame rate");
  movie.ShowFrame(static_cast<uint16_t>(frames));
}

std::unique_ptr<TMyMusicMovie> NewMusicMovie(const TConvertOption& options, TRunContext* ctx) {
  auto movie = std::make_unique<TMyMusicMovie>(0, 0, 0, 0, options.FrameRate,
                                               swf::TSystemCoord::Twips, true, ctx);
  movie->SetVersion(static_cast<uint8_t>(6 + options.FlashVersionIndex));
  return movie;
}

}  // namespace

TMyMusicMovie::TMyMusicMovie(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax, double fps,
                             swf::TSystemCoord coord, bool withProgress, TRunContext* ctx)
    : TFlashMovie(xMin, yMin, xMax, yMax, fps, coord), FContext(ctx) {
  if (withProgress && ctx)
    OnProgress = [this](swf::TBasedSWFStream&, int percent, int kind) {
      OnBuildProgress(percent, kind);
    };
}

void TMyMusicMovie::OnBuildProgress(int percent, int kind) {
  FContext->ProcessMessages();
  if (FContext->Cancelled()) throw EMovieCanceled();
  // The window changes only when the figure does: a long song reports once per frame.
  if (kind == swf::pkBuilding && percent != FShownPercent) {
    FShownPercent = percent;
    FContext->Progress.SetSinglePercent(percent, std::to_string(percent) + "%");
  }
}

int64_t MusicMovieFrames(double seconds, double frameRate) {
  const double frames = seconds * frameRate;
  if (!(frames > 0)) return 0;
  if (frames > 1e15) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(std::nearbyint(frames));  // the default mode: halves to even
}

std::unique_ptr<swf::TMemoryStream> BuildMusicMovieStream(const std::string& source,
                                                          const TConvertOption& options,
                                                          bool /*wholeSong*/, TRunContext* ctx) {
  TTempFile copy(WorkFolderOf(ctx) + "swfin" + ExtractFileExt(source));
  PrepareCopy(source, copy.Path());
  auto movie = NewMusicMovie(options, ctx);
  FillMusicMovie(*movie, source, copy.Path(), options);
  auto stream = std::make_unique<swf::TMemoryStream>();
  try {
    movie->BuildBody();
    movie->SaveToStream(*stream);
  } catch (const EMovieCanceled&) {
    return nullptr;
  }
  return stream;
}

bool WriteMusicMovieFile(const std::string& source, const std::string& target,
                         const TConvertOption& options, bool /*wholeSong*/, TRunContext* ctx) {
  const std::string folder = WorkFolderOf(ctx);
  TTempFile copy(folder + "convertswfin" + ExtractFileExt(source));
  TTempFile out(folder + "convertswfout" + ExtractFileExt(target));
  PrepareCopy(source, copy.Path());
  RemoveFile(out.Path());
  auto movie = NewMusicMovie(options, ctx);
  FillMusicMovie(*movie, source, copy.Path(), options);
  try {
    movie->BuildBody();
  } catch (const EMovieCanceled&) {
    return false;
  }
  movie->SaveToFile(out.Path());
  CopyFileReplacing(out.Path(), target);
  return true;
}

}  // namespace tw::app
