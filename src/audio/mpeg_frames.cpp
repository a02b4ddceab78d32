#include "audio/mpeg_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tw::audio {
namespace {

// kbit/s by [MPEG 1 or not][layer code][index]; index 0 (free format) and 15 give 0.
constexpr uint16_t kBitRates[2][4][16] = {
    {{0},  // MPEG 2 and 2.5
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    {{0},  // MPEG 1
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}}};

constexpr uint32_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// "LAME" and "UUUU" are not looked for: they are the encoder's ancillary filler in the last
// frames of a song, whose audio data lies in earlier frames through the bit reservoir.
bool IsHeaderFrameTag(const uint8_t* p) {
  return std::memcmp(p, "Info", 4) == 0 || std::memcmp(p, "Xing", 4) == 0 ||
         std::memcmp(p, "VBRI", 4) == 0;
}

}  // namespace

uint16_t FrameBitRate(uint8_t versionCode, uint8_t layerCode, uint8_t bitRateIndex) {
  if (versionCode > 3 || versionCode == kMPEGReserved || layerCode == 0 || layerCode > 3 ||
      bitRateIndex > 15)
    return 0;
  return kBitRates[versionCode == kMPEG1 ? 1 : 0][layerCode][bitRateIndex];
}

uint32_t FrameSampleRate(uint8_t versionCode, uint8_t sampleRateIndex) {
  if (versionCode > 3 || sampleRateIndex > 3) return 0;
  return kSampleRates[versionCode][sampleRateIndex];
}

uint16_t FrameSamples(uint8_t versionCode, uint8_t layerCode) {
  switch (layerCode) {
    case kLayerI:
      return 384;
    case kLayerII:
      return 1152;
    case kLayerIII:
      return versionCode == kMPEG1 ? 1152 : 576;
    default:
      return 0;
  }
}

uint16_t VBRHeaderOffset(uint8_t versionCode, uint8_t channelMode) {
  if (versionCode == kMPEG1) return channelMode == kChannelModeMono ? 21 : 36;
  return channelMode == kChannelModeMono ? 13 : 21;
}

// ---- TMPEGFrameHeader ----------------------------------------------------------------------

void TMPEGFrameHeader::Decode(const uint8_t* b) {
  std::memcpy(Data.data(), b, 4);
  VersionCode = (b[1] >> 3) & 3;
  LayerCode = (b[1] >> 1) & 3;
  HasCRC = !(b[1] & 1);
  BitRateIndex = b[2] >> 4;
  SampleRateIndex = (b[2] >> 2) & 3;
  Padding = (b[2] >> 1) & 1;
  PrivateBit = b[2] & 1;
  ChannelMode = b[3] >> 6;
  ModeExtension = (b[3] >> 4) & 3;
  Copyright = (b[3] >> 3) & 1;
  Original = (b[3] >> 2) & 1;
  Emphasis = b[3] & 3;
}

uint16_t TMPEGFrameHeader::Coefficient() const {
  // Samples per frame / 8: Layer II has 1152 samples in every version.
  return static_cast<uint16_t>(SamplesPerFrame() / 8);
}

uint8_t TMPEGFrameHeader::PaddingSize() const {
  if (!Padding) return 0;
  return LayerCode == kLayerI ? 4 : 1;
}

uint16_t TMPEGFrameHeader::FrameLength() const {
  const uint32_t rate = SampleRate();
  if (rate == 0) return 0;
  const uint32_t bits = uint32_t{BitRate()} * 1000;
  // Layer I counts in 4-byte slots: the slot count is truncated before it is multiplied.
  if (LayerCode == kLayerI) return static_cast<uint16_t>((12 * bits / rate + Padding) * 4);
  return static_cast<uint16_t>(Coefficient() * bits / rate + PaddingSize());
}

std::string_view TMPEGFrameHeader::VersionName() const {
  switch (VersionCode) {
    case kMPEG1:
      return "1";
    case kMPEG2:
      return "2";
    case kMPEG25:
      return "2.5";
    default:
      return "";
  }
}

std::string_view TMPEGFrameHeader::LayerName() const {
  switch (LayerCode) {
    case kLayerI:
      return "I";
    case kLayerII:
      return "II";
    case kLayerIII:
      return "III";
    default:
      return "";
  }
}

// ---- TMPEGaudio ----------------------------------------------------------------------------

void TMPEGaudio::Reset() {
  FileLength = 0;
  VBRHeader = TVBRHeader();
  FirstFrame = TMPEGFrameHeader();
  ID3v1.Reset();
  ID3v2.Reset();
  AudioFrameCount = 0;
}

TVBRHeader TMPEGaudio::ReadVBRHeader(std::span<const uint8_t> w, size_t q) {
  TVBRHeader v;
  if (q + 128 > w.size()) return v;
  const uint8_t* p = w.data() + q;
  if (std::memcmp(p, "Xing", 4) == 0) {
    v.FrameTotal = BigEndian32(p + 8);
    v.ByteTotal = BigEndian32(p + 12);
    v.Quality = p[119];
    v.Vendor.assign(reinterpret_cast<const char*>(p + 120), 8);
  } else if (std::memcmp(p, "VBRI", 4) == 0) {
    v.Quality = p[9];
    v.ByteTotal = BigEndian32(p + 10);
    v.FrameTotal = BigEndian32(p + 14);
  } else if (std::memcmp(p, "Info", 4) == 0) {
    const uint8_t flags = p[7];
    if (flags & 1) v.FrameTotal = BigEndian32(p + 8);
    if (flags & 2) v.ByteTotal = BigEndian32(p + 12);
    if (flags & 8) v.Quality = p[119];
  } else {
    return v;
  }
  v.Found = true;
  v.Tag.assign(reinterpret_cast<const char*>(p), 4);
  return v;
}

namespace {

// The length of the frame at p when its successor lies in the bytes and agrees with it, else 0.
size_t ConfirmedFrameLength(std::span<const uint8_t> w, size_t p) {
  if (p + 4 > w.size() || !IsUsableFrameHeader(w.data() + p)) return 0;
  TMPEGFrameHeader h;
  h.Decode(w.data() + p);
  const size_t length = h.FrameLength();
  const size_t next = p + length;
  if (length < 4 || next + 4 > w.size() || !IsUsableFrameHeader(w.data() + next) ||
      !FramesAgree(w.data() + p, w.data() + next))
    return 0;
  return length;
}

}  // namespace

uint64_t SkipStackedId3v2Tags(TSourceStream& stream, uint64_t offset) {
  const uint64_t size = stream.Size();
  for (;;) {
    uint8_t h[10];
    stream.Seek(offset);
    if (stream.ReadZeroFilled(h, sizeof h) < sizeof h || std::memcmp(h, "ID3", 3) != 0 ||
        h[3] == 0xFF || h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80))
      return offset;
    uint64_t length = 10 + ((uint64_t{h[6]} << 21) | (uint64_t{h[7]} << 14) |
                            (uint64_t{h[8]} << 7) | h[9]);
    if (h[3] >= 4 && (h[5] & 0x10)) length += 10;  // a footer
    if (offset + length > size) return offset;
    offset += length;
  }
}

std::optional<uint64_t> FindFrameForward(TSourceStream& stream, uint64_t offset, uint64_t limit,
                                         const std::function<void()>& progress) {
  // Blocks overlap by the longest frame and a header, so that a frame near the end of a block
  // is checked against its successor in the same buffer.
  constexpr size_t kBlock = 64 * 1024, kOverlap = kLongestFrame + 4;
  std::vector<uint8_t> buffer(kBlock + kOverlap);
  const uint64_t size = stream.Size();
  const uint64_t stop = limit == 0 ? size : std::min(size, limit + 1);
  for (uint64_t base = offset; base < stop; base += kBlock) {
    stream.Seek(base);
    const size_t have = stream.ReadZeroFilled(buffer.data(), buffer.size());
    const size_t end = static_cast<size_t>(std::min<uint64_t>({have, kBlock, stop - base}));
    for (size_t p = 0; p < end; ++p)
      if (buffer[p] == 0xFF && ConfirmedFrameLength(buffer, p) != 0) return base + p;
    if (progress) progress();
  }
  return std::nullopt;
}

TMPEGFrameHeader TMPEGaudio::FindFirstFrame(std::span<const uint8_t> w, TVBRHeader& vbr) {
  TMPEGFrameHeader frame;
  vbr = TVBRHeader();
  if (w.size() < kMinWindow) return frame;
  const size_t last = w.size() - kMinWindow;
  for (size_t p = 0; p <= last; ++p) {
    const size_t length = ConfirmedFrameLength(w, p);
    if (length == 0) continue;
    TMPEGFrameHeader candidate;
    candidate.Decode(w.data() + p);
    candidate.Found = true;
    candidate.Position = static_cast<int64_t>(p);
    candidate.Size = static_cast<uint16_t>(length);
    candidate.Empty = p + 10 <= w.size() && std::all_of(w.data() + p + 4, w.data() + p + 10,
                                                        [](uint8_t b) { return !b; });
    const TVBRHeader xing =
        ReadVBRHeader(w, p + VBRHeaderOffset(candidate.VersionCode, candidate.ChannelMode));
    if (xing.Found && xing.Tag != "VBRI") {
      vbr = xing;
    } else if (const TVBRHeader vbri = ReadVBRHeader(w, p + 4 + 32);
               vbri.Found && vbri.Tag == "VBRI") {
      vbr = vbri;
    }
    return candidate;
  }
  return frame;
}

bool TMPEGaudio::Analyze(TSourceStream& stream) {
  Reset();
  try {
    ID3v1.ReadTag(stream);
    ID3v2.ReadTag(stream);
  } catch (const EAudioError&) {
    Reset();
    return false;
  }
  try {
    FileLength = stream.Size();
    // The first frame lies after every tag at the start, however much else comes before it.
    const uint64_t start = SkipStackedId3v2Tags(stream, ID3v2.Size);
    if (const std::optional<uint64_t> first = FindFrameForward(stream, start)) {
      std::vector<uint8_t> window(kWindowSize);
      stream.Seek(*first);
      stream.ReadZeroFilled(window.data(), window.size());
      FirstFrame = FindFirstFrame(window, VBRHeader);
      if (FirstFrame.Found)
        FirstFrame.Position += static_cast<int64_t>(*first) - int64_t{ID3v2.Size};
    }
    if (FirstFrame.Found) {
      BuildFrameList(stream);
    } else {
      Reset();
    }
  } catch (const EAudioError&) {
    if (!FirstFrame.Found) Reset();
  }
  return true;
}

void TMPEGaudio::BuildFrameList(TSourceStream& stream) {
  AudioFrameCount = 0;
  FrameList.clear();
  const uint64_t size = stream.Size();
  uint64_t pos = FirstFrameOffset();
  if (pos >= size) return;
  // Room for the frames the file can hold at the first frame's length (never more than the
  // smallest frame allows), so that the list grows without copies in the usual case.
  const uint64_t estimate = (size - pos) / std::max<uint16_t>(FirstFrame.Size, 24) + 1;
  FrameList.reserve(static_cast<size_t>(std::min<uint64_t>(estimate, (size - pos) / 24 + 1)));
  // Only the first bytes of each frame are looked at, where the read buffer holds them: the
  // header, and the tag of an encoder's header frame just after the side information or at
  // byte 36. Frames follow each other, so the buffer moves through the file once.
  constexpr size_t kLook = 40;
  uint8_t lastHead[4] = {};
  uint16_t lastLength = 0;
  while (pos + ID3v1.TagSize < size) {
    const std::span<const uint8_t> look = stream.Peek(pos, kLook);
    if (look.size() < 4 || !IsUsableFrameHeader(look.data())) break;
    const uint8_t* head = look.data();
    TMP3FrameInfo info;
    info.Position = pos;
    std::memcpy(info.Header.data(), head, 4);
    // Nearly every frame repeats the header of the one before: its length is known then.
    if (std::memcmp(head, lastHead, 4) != 0) {
      TMPEGFrameHeader h;
      h.Decode(head);
      std::memcpy(lastHead, head, 4);
      lastLength = h.FrameLength();
    }
    info.Size = lastLength;
    // Bytes beyond the end of the file read as zeros, which no tag matches.
    auto tagAt = [&](size_t offset) {
      return offset + 4 <= look.size() && IsHeaderFrameTag(look.data() + offset);
    };
    const uint16_t offset = VBRHeaderOffset((head[1] >> 3) & 3, head[3] >> 6);
    info.IsAudio = !tagAt(36) && (offset == 36 || !tagAt(offset));
    if (info.IsAudio) ++AudioFrameCount;
    FrameList.push_back(info);
    pos += info.Size;
  }
}

uint16_t TMPEGaudio::BitRate() const {
  // A VBR header without its byte total cannot give an average: the frame's rate stands.
  if (VBRHeader.Found && VBRHeader.FrameTotal >= 1 && VBRHeader.ByteTotal > 0 &&
      FirstFrame.Coefficient() > 0) {
    const double perFrame = static_cast<double>(VBRHeader.ByteTotal) / VBRHeader.FrameTotal;
    const double rate = std::nearbyint((perFrame - FirstFrame.PaddingSize()) * SampleRate() /
                                       FirstFrame.Coefficient() / 1000);
    return rate <= 0 ? 0 : rate >= 65535 ? 65535 : static_cast<uint16_t>(rate);
  }
  return FirstFrame.BitRate();
}

uint32_t TMPEGaudio::FrameCount() const {
  if (!FrameList.empty()) return static_cast<uint32_t>(FrameList.size());
  if (VBRHeader.Found) return VBRHeader.FrameTotal;
  const uint16_t length = FirstFrame.FrameLength();
  if (!FirstFrame.Found || length == 0 || FileLength < FirstFrameOffset()) return 0;
  return static_cast<uint32_t>((FileLength - FirstFrameOffset()) / length);
}

double TMPEGaudio::Duration() const {
  if (!FirstFrame.Found || SampleRate() == 0) return 0;
  if (VBRHeader.Found && VBRHeader.FrameTotal > 0)
    return static_cast<double>(FirstFrame.SamplesPerFrame()) * VBRHeader.FrameTotal / SampleRate();
  const uint16_t rate = BitRate();
  if (rate == 0 || FileLength < FirstFrameOffset()) return 0;
  return double(FileLength - FirstFrameOffset()) * 8 / rate / 1000;
}

}  // namespace tw::audio
