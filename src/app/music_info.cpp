#include "app/music_info.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "app/fileops.h"
#include "app/paths.h"
#include "audio/mpeg_info.h"
#include "audio/wave_info.h"
#include "util/text.h"

namespace tw::app {

namespace {

int32_t Saturate(uint64_t v) { return static_cast<int32_t>(std::min<uint64_t>(v, INT32_MAX)); }

bool ReadMp3Info(const std::string& path, const std::string& ext, TMP3Info& info) {
  // The track reader works on a copy in the working folder (never on the user's file), which is
  // removed again whatever the reader found.
  const std::string copyPath = UserDataFolder() + "music" + ext;
  const bool inPlace = SameFile(path, copyPath);
  std::string analysed = path;
  std::optional<TTempFile> copy;
  if (!inPlace) {
    copy.emplace(copyPath);
    try {
      RemoveFile(copyPath);
      CopyFileReplacing(path, copyPath);
    } catch (const std::exception&) {
      return false;
    }
    analysed = copyPath;
  }
  info.Kind = 0;
  info.Path = path;
  audio::TMPEGAudio mp3;
  mp3.SetFileName(analysed);  // analyses it
  if (mp3.Failed()) return false;
  info.Duration = mp3.DurationAsTime();
  info.SampleRate = static_cast<int32_t>(mp3.SampleRate());
  info.BitRate = mp3.BitRate();
  info.Mode = std::string(mp3.ModeName());
  // Without a tag the reader names the file it read, which is the working copy: the title then
  // stays empty, and the playlist shows the song's own name.
  if (mp3.HasTag()) {
    info.Title = FixedText(ToUtf8(mp3.Title()));
    info.Artist = FixedText(ToUtf8(mp3.Artist()));
    info.Album = FixedText(ToUtf8(mp3.Album()));
  } else {
    info.Title.clear();
    info.Artist.clear();
    info.Album.clear();
  }
  return true;
}

bool ReadWavInfo(const std::string& path, TMP3Info& info) {
  const auto wave = audio::ReadWaveFormatInfo(path);
  if (!wave) return false;
  info.Kind = 1;
  info.Path = path;
  info.Duration = wave->Duration / 86400.0;
  info.SampleRate = Saturate(wave->SampleRate);
  info.BitRate = Saturate(uint64_t{wave->Channels} * wave->SampleRate * wave->BitsPerSample);
  info.Mode = wave->Channels == 1 ? "Mono" : "Stereo";
  info.DataOffset = Saturate(wave->DataOffset);
  info.Title.clear();
  info.Artist.clear();
  info.Album.clear();
  return true;
}

}  // namespace

bool ReadMusicInfo(const std::string& path, TMP3Info& info) {
  const std::string ext = ExtractFileExt(path);
  const std::string lower = ToLowerAscii(ext);
  if (lower == ".mp3") return ReadMp3Info(path, ext, info);
  if (lower == ".wav") return ReadWavInfo(path, info);
  return false;
}

TMP3Info& AddMusicFile(TProject& project, const std::string& path) {
  TMP3Info& info = project.Music.emplace_back();
  ReadMusicInfo(path, info);
  info.Path = path;
  return info;
}

}  // namespace tw::app
