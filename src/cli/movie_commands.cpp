// music-movie: one song as a music movie, the file the music-files publish option writes.
// video-movie: an FLV clip as a movie, its video shown frame by frame and its sound streamed.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "app/music_movie.h"
#include "app/paths.h"
#include "app/video_movie.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"

namespace tw::cli {
namespace fs = std::filesystem;

namespace {

struct MusicMovieOptions {
  std::string song;
  std::string target;
  int frameRate = 12;
  int flashVersion = 8;
};

void MakeMusicMovie(const MusicMovieOptions& o) {
  if (!fs::is_regular_file(o.song)) throw CommandError("Cannot open file \"" + o.song + "\"");
  app::TConvertOption options;
  options.FrameRate = o.frameRate;
  options.FlashVersionIndex = o.flashVersion - 6;
  bool written = false;
  {
    TTerminalHost host(::isatty(STDERR_FILENO) == 1);
    app::TRunContext ctx(host);
    ctx.Progress.Open(1);
    ctx.Progress.SetSingleFile("Converting \"" + app::ExtractFileName(o.song) + "\":");
    try {
      written = app::WriteMusicMovieFile(fs::absolute(o.song).string(),
                                         fs::absolute(o.target).string(), options, true, &ctx);
    } catch (...) {
      ctx.Progress.Close();
      throw;
    }
    ctx.Progress.Close();
  }
  if (!written) throw CommandError("cancelled; nothing was written");
  std::cout << "Written: " << o.target << "\n";
}

struct VideoMovieOptions {
  std::string clip;
  std::string target;
  int flashVersion = 8;
};

void MakeVideoMovie(const VideoMovieOptions& o) {
  if (!fs::is_regular_file(o.clip)) throw CommandError("Cannot open file \"" + o.clip + "\"");
  TTerminalHost host(::isatty(STDERR_FILENO) == 1);
  app::TRunContext ctx(host);
  if (!app::WriteVideoMovieFile(fs::absolute(o.clip).string(), fs::absolute(o.target).string(),
                                o.flashVersion, ctx))
    throw CommandError("cancelled; nothing was written");
  std::cout << "Written: " << o.target << "\n";
}

}  // namespace

void AddMovieCommands(CLI::App& app) {
  auto o = std::make_shared<MusicMovieOptions>();
  CLI::App* cmd = app.add_subcommand(
      "music-movie",
      "Make the music movie of one song (MP3 or WAV): a SWF that streams the song and shows "
      "nothing, the file publish writes per song with --format swf. Ctrl-C cancels.");
  cmd->add_option("song", o->song, "The song")->required();
  cmd->add_option("target", o->target, "The movie to write (replaced when it exists)")->required();
  cmd->add_option("--frame-rate", o->frameRate, "Frames per second (1..100, default 12)")
      ->check(CLI::Range(1, 100));
  cmd->add_option("--flash-version", o->flashVersion, "SWF version 6, 7 or 8 (default 8)")
      ->check(CLI::Range(6, 8));
  cmd->callback([o] { MakeMusicMovie(*o); });

  auto v = std::make_shared<VideoMovieOptions>();
  CLI::App* video = app.add_subcommand(
      "video-movie",
      "Make a movie of an FLV clip (Sorenson H.263, Screen Video, VP6): its picture size and "
      "frame rate, one video frame per movie frame, and its sound as stream sound (sound a SWF "
      "stream cannot carry, such as AAC, is re-encoded to MP3 with ffmpeg). Ctrl-C cancels.");
  video->add_option("clip", v->clip, "The FLV file")->required();
  video->add_option("target", v->target, "The movie to write (replaced when it exists)")->required();
  video->add_option("--flash-version", v->flashVersion,
                    "SWF version 6 to 10 (default 8); a video that needs a newer one raises it")
      ->check(CLI::Range(6, 10));
  video->callback([v] { MakeVideoMovie(*v); });
}

}  // namespace tw::cli
