// TMPEGAudio: track information of an MP3 file for the music list and the tag editor. It finds
// the first frame pair by the frame reader's scan and header decoder, estimates the duration from the file size and bit rate
// (or from a Xing header), reads the ID3v1 tag, and writes or removes ID3v1 tags.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "audio/mpeg_frames.h"
#include "audio/source_stream.h"

namespace tw::audio {

class TMPEGAudio {
 public:
  TMPEGAudio() = default;

  // Stores the name and, with AutoLoad, analyses the file.
  void SetFileName(const std::string& name);
  const std::string& FileName() const { return FFileName; }
  // Analyses FileName; 0 on success. Sets Failed.
  int ReadFileInfo();
  bool Failed() const { return FFailed; }

  // DefaultTitle (DefaultArtist) stands in when the file has no tag and the default is set.
  std::string Title() const;
  std::string Artist() const;
  const std::string& Album() const { return FAlbum; }
  const std::string& Year() const { return FYear; }
  const std::string& Comment() const { return FComment; }
  uint8_t GenreNr() const { return FGenreNr; }
  std::string_view Genre() const;
  uint8_t Track() const { return FTrack; }
  const std::string& TagSignature() const { return FTagSignature; }
  bool HasTag() const { return FTagSignature == "TAG"; }
  // Texts keep at most 30 characters.
  void SetTitle(std::string_view s);
  void SetArtist(std::string_view s);
  void SetAlbum(std::string_view s);

  uint32_t Duration() const { return FDuration; }  // whole seconds
  // The duration as a time of day (a fraction of a day).
  double DurationAsTime() const { return FDuration / 86400.0; }
  uint64_t Length() const { return FLength; }
  uint8_t Version() const { return FVersion; }  // 1 MPEG 1, 2 MPEG 2, 3 MPEG 2.5, 0 unknown
  uint8_t Layer() const { return FLayer; }      // 1, 2, 3; 0 unknown
  uint32_t SampleRate() const { return FSampleRate; }
  int32_t BitRate() const { return FBitRate; }  // kbit/s; -1 marks a Xing VBR file
  uint8_t Mode() const { return FMode; }        // channel mode 0-3
  std::string_view ModeName() const { return FMode == 3 ? "Mono" : "Stereo"; }
  bool Copyright() const { return FCopyright; }
  bool Original() const { return FOriginal; }
  bool ErrorProtection() const { return FErrorProtection; }
  bool Padding() const { return FPadding; }
  uint32_t FrameLength() const { return FFrameLength; }
  uint64_t HeaderPosition() const { return FHeaderPosition; }
  std::time_t FileDate() const { return FFileDate; }
  uint32_t FileAttributes() const { return FFileAttributes; }
  // The label of the file system that holds the file, when it has one (at most 20 characters).
  const std::string& VolumeLabel() const { return FVolumeLabel; }

  // Writes the ID3v1 tag into the file (replacing an old one) and analyses the file again.
  void WriteTag();
  // Removes an ID3v1 tag from the end of the file.
  void RemoveTag();

  // The message a window shows when the file cannot be read.
  std::string ReadErrorText() const { return "Error openning file: " + FFileName; }

  uint64_t SearchLimit = 0;
  bool AutoLoad = true;
  std::string DefaultTitle, DefaultArtist;
  // Called when the analysis fails; its result replaces the result code (4 retries).
  std::function<int(TMPEGAudio&)> OnReadError;
  // Called after each block of the header scan, so that a window can stay responsive.
  std::function<void()> OnProcessMessages;

 private:
  void ResetValues();
  void ResetHeader();
  void TakeHeader(const TMPEGFrameHeader& h);
  int Analyse(TSourceStream& stream);
  void ReadID3v1(TSourceStream& stream);

  std::string FFileName;
  std::string FTagSignature = "BAD";
  std::string FTitle, FArtist, FAlbum, FYear = "    ", FComment;
  uint8_t FGenreNr = 255;
  uint8_t FTrack = 0;
  uint32_t FDuration = 0;
  uint64_t FLength = 0;
  uint8_t FVersion = 0, FLayer = 0;
  uint32_t FSampleRate = 0;
  int32_t FBitRate = 0;
  uint8_t FMode = 0;
  bool FCopyright = false, FOriginal = false, FErrorProtection = false, FPadding = false;
  uint32_t FFrameLength = 0;
  uint64_t FHeaderPosition = 0;
  std::time_t FFileDate = 0;
  uint32_t FFileAttributes = 0;
  std::string FVolumeLabel;
  bool FFailed = false;
};

// "h:mm:ss" with hours as many as there are (a song of a day or more keeps counting hours).
std::string FormatDuration(uint64_t seconds);

}  // namespace tw::audio
