// The music list's operations on the project: adding songs, removing and reordering lines, and
// the tag editor's OK. The window shows the list; these keep the project right.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "app/project.h"

namespace tw::app {

// Adds the songs at the end of the list in the order given, each with its information when it
// can be read and by its name alone otherwise. afterEach runs after every song (the window lets
// its message queue run there).
void AddMusicFiles(TProject& project, std::span<const std::string> paths,
                   const std::function<void()>& afterEach = {});

// Removes the lines at the given indices (the selection, in any order; repeats and indices past
// the end are ignored). Returns how many lines went.
size_t RemoveMusic(TProject& project, std::span<const size_t> selected);

// Moves a line one place up or down; nothing at the top or bottom end (or past the end).
// Returns the line's index afterwards, so that it stays selected.
size_t MoveMusicUp(TProject& project, size_t index);
size_t MoveMusicDown(TProject& project, size_t index);

// The tag editor's OK: the record takes the texts (at most 255 UTF-16 units each); with writeTag
// an MP3's ID3v1 tag is written too (WriteMusicTags). A WAV's file is never written: the box is
// off and disabled for it. Returns false only when a write was asked for and failed (the reason
// in *error); the record keeps the edited texts either way.
bool EditMusicTags(TMP3Info& info, std::string_view title, std::string_view artist,
                   std::string_view album, bool writeTag, std::string* error = nullptr);

// Whether the tag editor offers to write the file's tag: MP3 records only.
bool CanWriteTag(const TMP3Info& info);

}  // namespace tw::app
