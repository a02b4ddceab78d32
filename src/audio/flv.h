// TFLVReader: the FLV container. It reads the header, every audio and video tag and the
// "onMetaData" script data (AMF0) into plain records: the metadata values by name, the video
// frames with their codec and frame type, and the audio packets with their sound format. The
// payloads are kept as a SWF movie carries them, so that the video builder copies them as they
// are. A file it cannot read whole throws EAudioError; it never reads past the bytes it has.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/source_stream.h"

namespace tw::audio {

// Video codec ids, the same in FLV tags and in SWF DefineVideoStream.
inline constexpr uint8_t kFLVCodecH263 = 2;
inline constexpr uint8_t kFLVCodecScreenVideo = 3;
inline constexpr uint8_t kFLVCodecVP6 = 4;
inline constexpr uint8_t kFLVCodecVP6Alpha = 5;

// Sound formats of FLV audio tags (0 to 3 and 6 are also SWF sound formats).
inline constexpr uint8_t kFLVSoundPCM = 0;  // in the byte order of the machine that wrote it
inline constexpr uint8_t kFLVSoundADPCM = 1;
inline constexpr uint8_t kFLVSoundMP3 = 2;
inline constexpr uint8_t kFLVSoundPCMLE = 3;
inline constexpr uint8_t kFLVSoundNellymoser = 6;
inline constexpr uint8_t kFLVSoundAAC = 10;
inline constexpr uint8_t kFLVSoundSpeex = 11;

// The frame type of an FLV video tag.
inline constexpr uint8_t kFLVKeyFrame = 1;
inline constexpr uint8_t kFLVInterFrame = 2;
inline constexpr uint8_t kFLVDisposableFrame = 3;
inline constexpr uint8_t kFLVCommandFrame = 5;  // carries no picture

// The message for an FLV file without video frames.
inline constexpr const char* kFLVNoVideo = "The FLV file holds no video";

// The name of an FLV codec or sound format for messages ("H.263", "AAC", "format 9").
std::string FLVVideoCodecName(uint8_t codec);
std::string FLVSoundFormatName(uint8_t format);

// The values of the "onMetaData" script data. Numbers, booleans and strings at its top level
// are kept by name; nested objects and arrays (key frame tables) are read and left out.
struct TFLVMetaData {
  std::map<std::string, double> Numbers;
  std::map<std::string, bool> Booleans;
  std::map<std::string, std::string> Strings;

  std::optional<double> Number(const std::string& name) const;
  // The common ones; none when the file does not give them.
  std::optional<double> Duration() const { return Number("duration"); }
  std::optional<double> Width() const { return Number("width"); }
  std::optional<double> Height() const { return Number("height"); }
  std::optional<double> FrameRate() const { return Number("framerate"); }
  std::optional<double> VideoCodecId() const { return Number("videocodecid"); }
  std::optional<double> AudioCodecId() const { return Number("audiocodecid"); }
};

struct TFLVVideoFrame {
  uint32_t Time = 0;  // milliseconds
  uint8_t FrameType = 0;
  uint8_t Codec = 0;
  // VP6 in FLV: the amounts cut from the coded width and height (the adjustment byte).
  uint8_t WidthAdjust = 0, HeightAdjust = 0;
  // The frame as a SWF VideoFrame carries it: the FLV frame type and codec byte is left out
  // (screen video keeps it), and so is the VP6 adjustment byte.
  std::vector<uint8_t> Data;
};

struct TFLVAudioPacket {
  uint32_t Time = 0;  // milliseconds
  uint8_t Format = 0;
  uint8_t RateCode = 0;  // 0 = 5.5 kHz, 1 = 11 kHz, 2 = 22 kHz, 3 = 44 kHz
  bool SixteenBit = false;
  bool Stereo = false;
  std::vector<uint8_t> Data;  // the sound data after the format byte (AAC: after its type byte)
};

// The coded picture size a key frame of the codec gives in its header; none when the header is
// not one of a key frame or too short.
struct TFLVPictureSize {
  uint16_t Width = 0, Height = 0;
};
std::optional<TFLVPictureSize> VideoFrameSize(const TFLVVideoFrame& frame);

class TFLVReader {
 public:
  // Reads a whole FLV file; throws EAudioError when it cannot be opened or read.
  static TFLVReader FromFile(const std::filesystem::path& fileName);
  // Reads an FLV file held in memory; throws EAudioError when it is not one or is damaged.
  explicit TFLVReader(std::span<const uint8_t> bytes);

  uint8_t Version = 0;
  bool HeaderHasAudio = false, HeaderHasVideo = false;  // the flags of the header
  TFLVMetaData MetaData;
  std::vector<TFLVVideoFrame> VideoFrames;  // in file order, command frames left out
  std::vector<TFLVAudioPacket> AudioPackets;

  // The video codec of the first frame, 0 without video.
  uint8_t VideoCodec() const { return VideoFrames.empty() ? 0 : VideoFrames.front().Codec; }
  // The picture size: the first key frame's, else the metadata's, else 0 x 0.
  TFLVPictureSize PictureSize() const;
  // Frames per second: the metadata's, else from the times of the frames, else 0.
  double FrameRate() const;

 private:
  void ReadTags(std::span<const uint8_t> bytes, size_t offset);
  void ReadVideo(uint32_t time, std::span<const uint8_t> data, size_t at);
  void ReadAudio(uint32_t time, std::span<const uint8_t> data);
  void ReadScript(std::span<const uint8_t> data);
};

}  // namespace tw::audio
