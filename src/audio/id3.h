// ID3 tags: TID3v1 (the 128-byte record at the end of a song) and TID3v2 (the header and a few
// text frames at its start). Texts are UTF-8: 8-bit bytes that are not valid UTF-8 are read as
// Windows-1252, UTF-16 frames are converted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "audio/source_stream.h"

namespace tw::audio {

class TID3v1 {
 public:
  bool Exists = false;
  uint8_t VersionID = 1;  // 1 for ID3v1.0, 2 for ID3v1.1 (with a track number)
  std::string Title, Artist, Album, Year, Comment;
  uint8_t Track = 0;
  uint8_t Genre = 255;
  uint32_t TagSize = 0;  // 128 when a tag was found

  void Reset() { *this = TID3v1(); }
  // Reads the tag from the last 128 bytes; true unless reading fails (which throws).
  bool ReadTag(TSourceStream& stream);
  // Parses a 128-byte record.
  void ParseRecord(const uint8_t (&record)[128]);
};

class TID3v2 {
 public:
  bool Exists = false;
  uint8_t VersionID = 0;
  uint32_t Size = 0;  // the whole tag with its 10-byte header; 0 without a usable tag
  std::string Title, Artist, Album, Year, Genre, Comment;
  uint8_t Track = 0;

  void Reset() { *this = TID3v2(); }
  // Reads the header and, for version 3 tags, the text frames; true unless reading fails.
  bool ReadTag(TSourceStream& stream);
};

// Trims characters up to space (control bytes and zeros included) from both ends.
std::string_view TrimId3(std::string_view s);
// Trims them from the end only.
std::string_view TrimId3Right(std::string_view s);

// The text of an ID3v2 string in the given encoding (0 Latin-1, 1 UTF-16 with byte order mark,
// 2 UTF-16 big-endian, 3 UTF-8), ending at its terminator, as UTF-8.
std::string DecodeId3Text(uint8_t encoding, std::string_view bytes);

// The bytes of an ID3v1 field for a UTF-8 text: Windows-1252 when every character has a code
// there, else UTF-8; at most maxBytes, never cutting a character in half.
std::string EncodeId3v1Text(std::string_view utf8, size_t maxBytes);

}  // namespace tw::audio
