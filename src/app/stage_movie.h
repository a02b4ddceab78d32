// The stage movie: the published SWF of the chosen size holding the optional preloader frame,
// the background, the player as a sprite, the images around it and, when the songs travel inside
// the movie, one exported music sprite per song.
#pragma once

#include <string>

#include "app/host.h"
#include "app/music_movie.h"
#include "app/publish.h"
#include "app/snapshots.h"
#include "app/templates.h"
#include "builder/movie.h"

namespace tw::app {

// Where the player templates and preloaders are found.
struct TStageFolders {
  std::string Player = PlayerFolder();
  std::string Preloader = PreloaderFolder();
};

// A new image of the movie holding the PNG's pixels with alpha (colours premultiplied by alpha,
// as the lossless bitmap with alpha wants them). A file that is no readable PNG throws.
builder::TFlashImage& LoadPngImage(builder::TFlashMovie& movie, const std::string& fileName);

// A new image of the movie holding the first picture of the GIF; its transparent colour, when it
// has one, becomes fully transparent. A file that is no readable GIF throws.
builder::TFlashImage& LoadGifImage(builder::TFlashMovie& movie, const std::string& fileName);

// Writes the stage movie to target, replacing an existing file. With music, every song of the
// chain becomes a music sprite exported under its file name with ".swf"; a song whose audio
// cannot be read is reported through ctx and left out. Cancel ends the call with ECancelled and
// writes nothing; builder failures throw and write nothing.
void BuildStageMovie(const TStageSettings& settings, const std::string& target, bool withMusic,
                     const TMusicFileList* music, const std::string& folder, bool preview,
                     const TConvertOption& options, TRunContext& ctx,
                     const TStageFolders& folders = {});

// The movie makers of the program: the stage movie and the music movies by the movie builder.
class TStageMovieMakers : public TMovieMakers {
 public:
  TStageMovieMakers() = default;
  explicit TStageMovieMakers(TStageFolders folders) : FFolders(std::move(folders)) {}
  void BuildStageMovie(const TStageSettings& settings, const std::string& target, bool withMusic,
                       const TMusicFileList* music, const std::string& folder, bool preview,
                       const TConvertOption& options, TRunContext& ctx) override;
  bool WriteMusicMovieFile(const std::string& source, const std::string& target,
                           const TConvertOption& options, bool wholeSong,
                           TRunContext& ctx) override {
    return app::WriteMusicMovieFile(source, target, options, wholeSong, &ctx);
  }

 private:
  TStageFolders FFolders;
};

}  // namespace tw::app
