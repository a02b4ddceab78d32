// The technical information and tags of a song of the music list.
#pragma once

#include <string>

#include "app/project.h"

namespace tw::app {

// Reads an MP3's or a WAV's information into info; false when the file is neither or cannot be
// read (the record then keeps what it had).
bool ReadMusicInfo(const std::string& path, TMP3Info& info);

// Writes the record's title, artist and album into the ID3v1 tag of its MP3 file (at most 30
// characters of each), through a copy in the working folder that replaces the song only when
// the tag was written. False, with the reason in *error, when the record is not an MP3, the file
// is read-only, or it cannot be read or replaced: the song is then unchanged.
bool WriteMusicTags(const TMP3Info& info, std::string* error = nullptr);

// Adds a song at the end of the music list: its information when it can be read; the path is
// kept either way, so that the run can still publish the song or name it in its message.
TMP3Info& AddMusicFile(TProject& project, const std::string& path);

}  // namespace tw::app
