#include "app/music_info.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "app/fileops.h"
#include "app/paths.h"
#include "audio/mpeg_info.h"
#include "audio/wave_info.h"
#include "util/text.h"

namespace tw::app {

namespace {

// The track reader keeps this many characters of a tag text, and of a file name standing in for
// a title.
constexpr size_t kId3v1TextUnits = 30;

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
  info.Title = FixedText(ToUtf8(mp3.Title()));
  info.Artist = FixedText(ToUtf8(mp3.Artist()));
  info.Album = FixedText(ToUtf8(mp3.Album()));
  // Without a tag the reader's title is the name of the file it analysed, which is the working
  // copy ("music.mp3"): the song gets its own name instead, as the reader gives it for a file it
  // reads where it lies (at most 30 characters).
  if (!mp3.HasTag()) {
    const std::string name = ToUtf8(ExtractFileName(path));
    info.Title = std::string(TruncateUtf16(name, kId3v1TextUnits));
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
  // A fifo or a device named like a song would block or never end: only files are songs.
  if (!FileExists(path)) return false;
  const std::string ext = ExtractFileExt(path);
  const std::string lower = ToLowerAscii(ext);
  if (lower == ".mp3") return ReadMp3Info(path, ext, info);
  if (lower == ".wav") return ReadWavInfo(path, info);
  return false;
}

bool WriteMusicTags(const TMP3Info& info, std::string* error) {
  auto fail = [&](std::string reason) {
    if (error) *error = std::move(reason);
    return false;
  };
  // A WAV record, or a file listed without information (whose record says MP3 by its zeros),
  // must never get an MP3 tag appended.
  const std::string ext = ExtractFileExt(info.Path);
  if (info.Kind != 0 || ToLowerAscii(ext) != ".mp3")
    return fail("\"" + info.Path + "\" is not an MP3 file: only MP3 files carry an ID3 tag");
  // The copy replaces the file a link points to, never the link.
  std::error_code ec;
  const std::string song = std::filesystem::canonical(info.Path, ec).string();
  if (ec || !FileExists(song)) return fail("Cannot open file \"" + info.Path + "\": No such file");
  // The copy goes back through a rename, which a read-only file would not stop (nor would its
  // permission bits stop the superuser): a file nobody may write is left alone.
  struct stat st {};
  if (::stat(song.c_str(), &st) != 0 || (st.st_mode & 0222) == 0 || ::access(song.c_str(), W_OK) != 0)
    return fail("Cannot write file \"" + info.Path + "\": the file is read-only");

  std::string copyPath = UserDataFolder() + "musicw" + ext;
  if (SameFile(song, copyPath)) copyPath = UserDataFolder() + "musicw~" + ext;
  TTempFile copy(copyPath);
  try {
    RemoveFile(copyPath);
    CopyFileReplacing(song, copyPath);
    audio::TMPEGAudio mp3;
    mp3.SetFileName(copyPath);  // analyses it
    if (mp3.Failed()) return fail("Error openning file: " + info.Path);
    mp3.SetTitle(info.Title);
    mp3.SetArtist(info.Artist);
    mp3.SetAlbum(info.Album);
    mp3.WriteTag();
    CopyFileReplacing(copyPath, song);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return true;
}

TMP3Info& AddMusicFile(TProject& project, const std::string& path) {
  TMP3Info& info = project.Music.emplace_back();
  ReadMusicInfo(path, info);
  info.Path = path;
  return info;
}

}  // namespace tw::app
