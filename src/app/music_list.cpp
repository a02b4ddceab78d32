#include "app/music_list.h"

#include <utility>
#include <vector>

#include "app/music_info.h"

namespace tw::app {

void AddMusicFiles(TProject& project, std::span<const std::string> paths,
                   const std::function<void()>& afterEach) {
  for (const std::string& path : paths) {
    AddMusicFile(project, path);
    if (afterEach) afterEach();
  }
}

size_t RemoveMusic(TProject& project, std::span<const size_t> selected) {
  std::vector<bool> remove(project.Music.size(), false);
  for (size_t i : selected)
    if (i < remove.size()) remove[i] = true;
  size_t kept = 0;
  for (size_t i = 0; i < project.Music.size(); ++i)
    if (!remove[i]) {
      if (kept != i) project.Music[kept] = std::move(project.Music[i]);
      ++kept;
    }
  const size_t removed = project.Music.size() - kept;
  project.Music.resize(kept);
  return removed;
}

size_t MoveMusicUp(TProject& project, size_t index) {
  if (index == 0 || index >= project.Music.size()) return index;
  std::swap(project.Music[index - 1], project.Music[index]);
  return index - 1;
}

size_t MoveMusicDown(TProject& project, size_t index) {
  if (index + 1 >= project.Music.size()) return index;
  std::swap(project.Music[index], project.Music[index + 1]);
  return index + 1;
}

bool CanWriteTag(const TMP3Info& info) { return info.Kind == 0; }

bool EditMusicTags(TMP3Info& info, std::string_view title, std::string_view artist,
                   std::string_view album, bool writeTag, std::string* error) {
  info.Title = FixedText(title);
  info.Artist = FixedText(artist);
  info.Album = FixedText(album);
  if (!writeTag || !CanWriteTag(info)) return true;
  return WriteMusicTags(info, error);
}

}  // namespace tw::app
