#include "audio/flv.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>

namespace tw::audio {

namespace {

constexpr size_t kHeaderSize = 9;
constexpr size_t kTagHeaderSize = 11;
// AMF0 values nest (objects in arrays in objects); a file could nest them without end.
constexpr int kMaxAmfDepth = 64;

[[noreturn]] void Damaged(const std::string& what) {
  throw EAudioError("The FLV file is damaged: " + what);
}

uint32_t BigEndian(std::span<const uint8_t> bytes) {
  uint32_t v = 0;
  for (uint8_t b : bytes) v = v << 8 | b;
  return v;
}

// Big-endian reads over the bytes of one script tag; running past them means the tag lies
// about its contents.
class TAmfCursor {
 public:
  explicit TAmfCursor(std::span<const uint8_t> bytes) : FBytes(bytes) {}

  bool AtEnd() const { return FAt >= FBytes.size(); }
  std::span<const uint8_t> Take(size_t count) {
    if (count > FBytes.size() - FAt) Damaged("its metadata runs past the end of its tag");
    const auto part = FBytes.subspan(FAt, count);
    FAt += count;
    return part;
  }
  uint8_t Byte() { return Take(1)[0]; }
  uint32_t Word() { return BigEndian(Take(2)); }
  uint32_t Long() { return BigEndian(Take(4)); }
  double Double() {
    const auto b = Take(8);
    uint64_t v = 0;
    for (uint8_t x : b) v = v << 8 | x;
    return std::bit_cast<double>(v);
  }
  std::string String(size_t length) {
    const auto b = Take(length);
    return std::string(b.begin(), b.end());
  }

 private:
  std::span<const uint8_t> FBytes;
  size_t FAt = 0;
};

// One AMF0 value; the ones the metadata keeps come back through the out-parameters.
struct TAmfValue {
  enum Kind { Other, Number, Boolean, Text, EndOfObject } Kind = Other;
  double N = 0;
  bool B = false;
  std::string S;
};

TAmfValue ReadAmfValue(TAmfCursor& c, int depth);

// Named properties up to the end marker (an empty name and type 9).
void ReadAmfProperties(TAmfCursor& c, int depth, TFLVMetaData* into) {
  for (;;) {
    if (c.AtEnd()) return;  // some writers leave the end marker out of the last object
    const std::string name = c.String(c.Word());
    const TAmfValue value = ReadAmfValue(c, depth + 1);
    if (value.Kind == TAmfValue::EndOfObject) return;
    if (!into) continue;
    if (value.Kind == TAmfValue::Number) into->Numbers[name] = value.N;
    if (value.Kind == TAmfValue::Boolean) into->Booleans[name] = value.B;
    if (value.Kind == TAmfValue::Text) into->Strings[name] = value.S;
  }
}

TAmfValue ReadAmfValue(TAmfCursor& c, int depth) {
  if (depth > kMaxAmfDepth) Damaged("its metadata nests too deep");
  TAmfValue v;
  switch (const uint8_t type = c.Byte()) {
    case 0:
      v.Kind = TAmfValue::Number;
      v.N = c.Double();
      break;
    case 1:
      v.Kind = TAmfValue::Boolean;
      v.B = c.Byte() != 0;
      break;
    case 2:
      v.Kind = TAmfValue::Text;
      v.S = c.String(c.Word());
      break;
    case 3:  // object
      ReadAmfProperties(c, depth, nullptr);
      break;
    case 5: case 6:  // null, undefined
      break;
    case 7:  // reference
      c.Take(2);
      break;
    case 8:  // ECMA array: a count nobody trusts, then properties as in an object
      c.Take(4);
      ReadAmfProperties(c, depth, nullptr);
      break;
    case 9:
      v.Kind = TAmfValue::EndOfObject;
      break;
    case 10: {  // strict array
      const uint32_t count = c.Long();
      for (uint32_t i = 0; i < count; ++i) ReadAmfValue(c, depth + 1);
      break;
    }
    case 11:  // date: milliseconds and a time zone
      c.Take(10);
      break;
    case 12: case 15:  // long string, XML
      v.Kind = TAmfValue::Text;
      v.S = c.String(c.Long());
      break;
    case 16:  // typed object: its class name, then properties
      c.Take(c.Word());
      ReadAmfProperties(c, depth, nullptr);
      break;
    default:
      Damaged("its metadata holds a value of unknown type " + std::to_string(type));
  }
  return v;
}

// The bits of a key frame header, most significant first.
class THeaderBits {
 public:
  explicit THeaderBits(std::span<const uint8_t> bytes) : FBytes(bytes) {}
  // Bits beyond the data read as none: the caller checks Enough() after reading.
  uint32_t Read(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i, ++FBit) {
      const size_t byte = FBit / 8;
      const uint32_t bit = byte < FBytes.size() ? (FBytes[byte] >> (7 - FBit % 8)) & 1 : 0;
      v = v << 1 | bit;
    }
    return v;
  }
  bool Enough() const { return FBit <= FBytes.size() * 8; }

 private:
  std::span<const uint8_t> FBytes;
  size_t FBit = 0;
};

std::optional<TFLVPictureSize> H263Size(std::span<const uint8_t> data) {
  THeaderBits b(data);
  if (b.Read(17) != 1) return std::nullopt;  // the picture start code
  b.Read(5 + 8);                             // version, temporal reference
  TFLVPictureSize size;
  switch (b.Read(3)) {
    case 0: size.Width = uint16_t(b.Read(8)), size.Height = uint16_t(b.Read(8)); break;
    case 1: size.Width = uint16_t(b.Read(16)), size.Height = uint16_t(b.Read(16)); break;
    case 2: size = {352, 288}; break;
    case 3: size = {176, 144}; break;
    case 4: size = {128, 96}; break;
    case 5: size = {320, 240}; break;
    case 6: size = {160, 120}; break;
    default: return std::nullopt;
  }
  if (!b.Enough()) return std::nullopt;
  return size;
}

std::optional<TFLVPictureSize> ScreenVideoSize(std::span<const uint8_t> data) {
  THeaderBits b(data);
  b.Read(4);
  const auto width = uint16_t(b.Read(12));
  b.Read(4);
  const auto height = uint16_t(b.Read(12));
  if (!b.Enough()) return std::nullopt;
  return TFLVPictureSize{width, height};
}

// A VP6 key frame: the coded size in macroblocks after the version byte (and a two-byte offset
// when the coefficients come apart or the simple profile is used).
std::optional<TFLVPictureSize> VP6Size(std::span<const uint8_t> data, int widthAdjust,
                                       int heightAdjust) {
  if (data.size() < 2 || (data[0] & 0x80)) return std::nullopt;  // not a key frame
  const bool separated = data[0] & 1;
  const bool simpleProfile = (data[1] & 0x06) == 0;
  const size_t at = separated || simpleProfile ? 4 : 2;
  if (data.size() < at + 2) return std::nullopt;
  const int height = data[at] * 16 - heightAdjust, width = data[at + 1] * 16 - widthAdjust;
  if (width <= 0 || height <= 0) return std::nullopt;
  return TFLVPictureSize{uint16_t(width), uint16_t(height)};
}

}  // namespace

std::string FLVVideoCodecName(uint8_t codec) {
  switch (codec) {
    case 2: return "Sorenson H.263";
    case 3: return "Screen Video";
    case 4: return "On2 VP6";
    case 5: return "On2 VP6 with alpha";
    case 6: return "Screen Video 2";
    case 7: return "AVC (H.264)";
    default: return "codec " + std::to_string(codec);
  }
}

std::string FLVSoundFormatName(uint8_t format) {
  switch (format) {
    case 0: case 3: return "PCM";
    case 1: return "ADPCM";
    case 2: return "MP3";
    case 4: case 5: case 6: return "Nellymoser";
    case 7: return "G.711 A-law";
    case 8: return "G.711 mu-law";
    case 10: return "AAC";
    case 11: return "Speex";
    case 14: return "MP3 at 8 kHz";
    default: return "sound format " + std::to_string(format);
  }
}

std::optional<double> TFLVMetaData::Number(const std::string& name) const {
  const auto it = Numbers.find(name);
  if (it == Numbers.end() || !std::isfinite(it->second)) return std::nullopt;
  return it->second;
}

std::optional<TFLVPictureSize> VideoFrameSize(const TFLVVideoFrame& frame) {
  const std::span<const uint8_t> data = frame.Data;
  switch (frame.Codec) {
    case kFLVCodecH263: return H263Size(data);
    case kFLVCodecScreenVideo:  // after the frame type and codec byte
      if (data.empty()) return std::nullopt;
      return ScreenVideoSize(data.subspan(1));
    case kFLVCodecVP6: return VP6Size(data, frame.WidthAdjust, frame.HeightAdjust);
    case kFLVCodecVP6Alpha:  // the colour data follows the offset of the alpha data
      if (data.size() < 3) return std::nullopt;
      return VP6Size(data.subspan(3), frame.WidthAdjust, frame.HeightAdjust);
    default: return std::nullopt;
  }
}

TFLVReader TFLVReader::FromFile(const std::filesystem::path& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EAudioError("Cannot open file \"" + fileName.string() + "\"");
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EAudioError("Cannot read file \"" + fileName.string() + "\"");
  return TFLVReader(bytes);
}

TFLVReader::TFLVReader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), "FLV", 3) != 0)
    throw EAudioError("The file is not an FLV file");
  Version = bytes[3];
  HeaderHasAudio = bytes[4] & 4;
  HeaderHasVideo = bytes[4] & 1;
  const uint32_t dataOffset = BigEndian(bytes.subspan(5, 4));
  if (dataOffset < kHeaderSize || dataOffset > bytes.size())
    Damaged("its header gives the start of its tags at byte " + std::to_string(dataOffset));
  ReadTags(bytes, dataOffset);
}

void TFLVReader::ReadTags(std::span<const uint8_t> bytes, size_t at) {
  at += 4;  // the size of the tag before the first: none
  while (at < bytes.size()) {
    if (bytes.size() - at < kTagHeaderSize)
      Damaged("it ends inside the header of the tag at byte " + std::to_string(at));
    const auto header = bytes.subspan(at, kTagHeaderSize);
    const uint32_t size = BigEndian(header.subspan(1, 3));
    const uint32_t time = BigEndian(header.subspan(4, 3)) | uint32_t{header[7]} << 24;
    const size_t dataAt = at + kTagHeaderSize;
    if (size > bytes.size() - dataAt)
      Damaged("the tag at byte " + std::to_string(at) + " runs past the end of the file");
    if (header[0] & 0x20) throw EAudioError("The FLV file is encrypted");
    const auto data = bytes.subspan(dataAt, size);
    switch (header[0] & 0x1F) {
      case 8: ReadAudio(time, data); break;
      case 9: ReadVideo(time, data, at); break;
      case 18: ReadScript(data); break;
      default: break;  // a tag of a kind the file format may add later
    }
    // The size of the tag just read follows it; a file may end without it.
    at = dataAt + size + 4;
  }
}

void TFLVReader::ReadVideo(uint32_t time, std::span<const uint8_t> data, size_t at) {
  if (data.empty()) return;
  TFLVVideoFrame frame;
  frame.Time = time;
  frame.FrameType = data[0] >> 4;
  frame.Codec = data[0] & 15;
  if (frame.FrameType == kFLVCommandFrame) return;
  // Screen video frames keep the byte: the packet itself does not say whether it is a key
  // frame, and the player reads that from the byte in a SWF movie too.
  size_t skip = frame.Codec == kFLVCodecScreenVideo ? 0 : 1;
  if (frame.Codec == kFLVCodecVP6 || frame.Codec == kFLVCodecVP6Alpha) {
    if (data.size() < 2) Damaged("the VP6 frame at byte " + std::to_string(at) + " is empty");
    frame.WidthAdjust = data[1] >> 4;
    frame.HeightAdjust = data[1] & 15;
    skip = 2;
  }
  frame.Data.assign(data.begin() + static_cast<ptrdiff_t>(skip), data.end());
  VideoFrames.push_back(std::move(frame));
}

void TFLVReader::ReadAudio(uint32_t time, std::span<const uint8_t> data) {
  if (data.empty()) return;
  TFLVAudioPacket packet;
  packet.Time = time;
  packet.Format = data[0] >> 4;
  packet.RateCode = (data[0] >> 2) & 3;
  packet.SixteenBit = data[0] & 2;
  packet.Stereo = data[0] & 1;
  size_t skip = 1;
  if (packet.Format == kFLVSoundAAC) skip = 2;  // the AAC packet type
  if (data.size() < skip) return;
  packet.Data.assign(data.begin() + static_cast<ptrdiff_t>(skip), data.end());
  AudioPackets.push_back(std::move(packet));
}

void TFLVReader::ReadScript(std::span<const uint8_t> data) {
  TAmfCursor c(data);
  const TAmfValue name = ReadAmfValue(c, 0);
  if (name.Kind != TAmfValue::Text || name.S != "onMetaData" || c.AtEnd()) return;
  switch (c.Byte()) {
    case 8:
      c.Take(4);
      [[fallthrough]];
    case 3:
      ReadAmfProperties(c, 0, &MetaData);
      break;
    default:
      break;  // metadata that is not a list of named values says nothing we use
  }
}

TFLVPictureSize TFLVReader::PictureSize() const {
  for (const TFLVVideoFrame& frame : VideoFrames) {
    if (frame.FrameType != kFLVKeyFrame) continue;
    if (const auto size = VideoFrameSize(frame)) return *size;
    break;
  }
  auto dimension = [](std::optional<double> v) -> uint16_t {
    return v && *v >= 1 && *v <= 65535 ? static_cast<uint16_t>(std::lround(*v)) : 0;
  };
  return {dimension(MetaData.Width()), dimension(MetaData.Height())};
}

double TFLVReader::FrameRate() const {
  if (const auto rate = MetaData.FrameRate(); rate && *rate > 0 && *rate < 1000) return *rate;
  if (VideoFrames.size() >= 2) {
    const uint32_t first = VideoFrames.front().Time, last = VideoFrames.back().Time;
    if (last > first) return 1000.0 * double(VideoFrames.size() - 1) / double(last - first);
  }
  return 0;
}

}  // namespace tw::audio
