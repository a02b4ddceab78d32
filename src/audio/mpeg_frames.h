// TMPEGaudio: the frame reader of the SWF sound layer. It skips the ID3 tags, finds the first
// MPEG audio frame, reads a VBR header held by that frame, and lists every frame with its file
// position and length, so that whole frames can be copied into SWF sound tags.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/id3.h"
#include "audio/source_stream.h"

namespace tw::audio {

// Version codes of a frame header (bits 4-3 of byte 1).
inline constexpr uint8_t kMPEG25 = 0, kMPEGReserved = 1, kMPEG2 = 2, kMPEG1 = 3;
// Layer codes (bits 2-1 of byte 1): 1 is Layer III, 2 Layer II, 3 Layer I.
inline constexpr uint8_t kLayerIII = 1, kLayerII = 2, kLayerI = 3;
inline constexpr uint8_t kChannelModeMono = 3;

// True when the 4 bytes form a frame header the reader accepts (free format is not accepted).
inline bool IsUsableFrameHeader(const uint8_t* b) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
  const unsigned version = (b[1] >> 3) & 3, layer = (b[1] >> 1) & 3;
  const unsigned bitRate = b[2] >> 4, sampleRate = (b[2] >> 2) & 3;
  return version != kMPEGReserved && layer != 0 && bitRate != 0 && bitRate != 15 &&
         sampleRate != 3 && (b[3] & 3) != 2;
}

// True when two frame headers belong to one stream: the same version, layer and sample rate.
// A sync word in other data rarely has a successor that agrees with it.
inline bool FramesAgree(const uint8_t* a, const uint8_t* b) {
  return (a[1] & 0x1E) == (b[1] & 0x1E) && (a[2] & 0x0C) == (b[2] & 0x0C);
}

// The longest frame any header describes (Layer II at 384 kbit/s and 32000 Hz, padded).
inline constexpr size_t kLongestFrame = 1729;

// The table values of a frame header, from its 4 bytes.
uint16_t FrameBitRate(uint8_t versionCode, uint8_t layerCode, uint8_t bitRateIndex);  // kbit/s
uint32_t FrameSampleRate(uint8_t versionCode, uint8_t sampleRateIndex);               // Hz
uint16_t FrameSamples(uint8_t versionCode, uint8_t layerCode);  // samples per frame
// The byte offset of the VBR header in a frame: just after the header and the side information.
uint16_t VBRHeaderOffset(uint8_t versionCode, uint8_t channelMode);

struct TMPEGFrameHeader {
  bool Found = false;
  // The frame's offset counted from the end of the ID3v2 tag (negative only when a frame was
  // found in a second window that starts inside the tag).
  int64_t Position = 0;
  uint16_t Size = 0;
  bool Empty = false;  // the 6 bytes after the header are zero, as in a frame holding a VBR header
  std::array<uint8_t, 4> Data{};
  uint8_t VersionCode = kMPEGReserved;
  uint8_t LayerCode = 0;
  bool HasCRC = false;
  uint8_t BitRateIndex = 0;
  uint8_t SampleRateIndex = 3;
  bool Padding = false;
  bool PrivateBit = false;
  uint8_t ChannelMode = 4;
  uint8_t ModeExtension = 4;
  bool Copyright = false;
  bool Original = false;
  uint8_t Emphasis = 2;

  void Decode(const uint8_t* b);
  uint16_t BitRate() const { return FrameBitRate(VersionCode, LayerCode, BitRateIndex); }
  uint32_t SampleRate() const { return FrameSampleRate(VersionCode, SampleRateIndex); }
  uint16_t SamplesPerFrame() const { return FrameSamples(VersionCode, LayerCode); }
  // Bytes of the frame per unit of bit rate and sample rate: samples per frame / 8.
  uint16_t Coefficient() const;
  uint8_t PaddingSize() const;
  uint16_t FrameLength() const;
  // "1", "2", "2.5", "" and "I", "II", "III", "".
  std::string_view VersionName() const;
  std::string_view LayerName() const;
};

// The end of ID3v2 tags stacked one behind another from offset (a tool that adds cover art may
// put a second tag behind the first); offset itself when no tag starts there.
uint64_t SkipStackedId3v2Tags(TSourceStream& stream, uint64_t offset);

// The file offset of the first frame at or after offset whose successor, one frame length later,
// agrees with it; nothing when the rest of the file holds none. Reads the file once, forward.
// A limit other than 0 ends the search at headers that start beyond it; progress, when set, is
// called after each block of the scan, so that a window can stay responsive.
std::optional<uint64_t> FindFrameForward(TSourceStream& stream, uint64_t offset,
                                         uint64_t limit = 0,
                                         const std::function<void()>& progress = {});

struct TVBRHeader {
  bool Found = false;
  std::string Tag;  // "Xing", "VBRI" or "Info"
  uint32_t FrameTotal = 0;
  uint32_t ByteTotal = 0;
  uint8_t Quality = 0;
  std::string Vendor;  // 8 bytes as found
};

struct TMP3FrameInfo {
  uint64_t Position = 0;  // absolute file offset of the header
  uint16_t Size = 0;
  bool IsAudio = true;  // false for a frame holding a VBR or encoder header
  std::array<uint8_t, 4> Header{};
};

class TMPEGaudio {
 public:
  // The first-frame search looks at this many bytes and tries the first N - kMinWindow + 1
  // positions of them.
  static constexpr size_t kWindowSize = 3458;
  static constexpr size_t kMinWindow = 1729;

  std::vector<TMP3FrameInfo> FrameList;
  uint64_t FileLength = 0;
  TVBRHeader VBRHeader;
  TMPEGFrameHeader FirstFrame;
  TID3v1 ID3v1;
  TID3v2 ID3v2;
  uint32_t AudioFrameCount = 0;

  // Analyses the stream; true when both tags could be read. The frame values are valid only
  // when FirstFrame.Found. Read errors end the analysis with what was found so far.
  bool Analyze(TSourceStream& stream);
  // Empties every value and the tags (not the frame list).
  void Reset();

  uint16_t BitRate() const;  // kbit/s
  uint32_t SampleRate() const { return FirstFrame.SampleRate(); }
  uint32_t FrameCount() const;
  double Duration() const;  // seconds
  // The absolute file offset of the first frame.
  uint64_t FirstFrameOffset() const {
    return static_cast<uint64_t>(FirstFrame.Position + int64_t{ID3v2.Size});
  }

  // Searches a window for a frame header followed by another that agrees with it one frame
  // length later; fills vbr from a VBR header in that frame: Xing or Info just after the side
  // information, VBRI always 32 bytes after the header. Position is the index in the window.
  static TMPEGFrameHeader FindFirstFrame(std::span<const uint8_t> window, TVBRHeader& vbr);
  // Reads a VBR header at window index q; Found stays false when none is there.
  static TVBRHeader ReadVBRHeader(std::span<const uint8_t> window, size_t q);

 private:
  void BuildFrameList(TSourceStream& stream);
};

}  // namespace tw::audio
