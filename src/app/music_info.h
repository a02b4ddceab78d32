// The technical information and tags of a song of the music list.
#pragma once

#include <string>

#include "app/project.h"

namespace tw::app {

// Reads an MP3's or a WAV's information into info; false when the file is neither or cannot be
// read (the record then keeps what it had).
bool ReadMusicInfo(const std::string& path, TMP3Info& info);

// Adds a song at the end of the music list: its information when it can be read; the path is
// kept either way, so that the run can still publish the song or name it in its message.
TMP3Info& AddMusicFile(TProject& project, const std::string& path);

}  // namespace tw::app
