#include "app/music_info.h"

#include "app/paths.h"
#include "util/text.h"

namespace tw::app {

bool ReadMusicInfo(const std::string& path, TMP3Info& info) {
  const std::string ext = ToLowerAscii(ExtractFileExt(path));
  // WAITING for the audio library (MPEG audio track information, WAV format information):
  // until it is merged, no song's information can be read.
  (void)info;
  if (ext == ".mp3" || ext == ".wav") return false;
  return false;
}

TMP3Info& AddMusicFile(TProject& project, const std::string& path) {
  TMP3Info& info = project.Music.emplace_back();
  ReadMusicInfo(path, info);
  info.Path = path;
  return info;
}

}  // namespace tw::app
