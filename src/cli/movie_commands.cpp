// music-movie: one song as a music movie, the file the music-files publish option writes.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "app/music_movie.h"
#include "app/paths.h"
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
}

}  // namespace tw::cli
