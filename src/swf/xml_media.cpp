// Bitmap, sound and video tags as XML: their fields as attributes, their payloads as base64
// elements. The sounds a button plays are sound infos too, so DefineButtonSound is here.
#include <algorithm>
#include <charconv>
#include <string>

#include "swf/bitmap_tags.h"
#include "swf/button_tags.h"
#include "swf/sound_tags.h"
#include "swf/video_tags.h"
#include "swf/xml_fields.h"
#include "swf/xml_media.h"

namespace tw::swf {

namespace {

// The bytes a write event puts out.
std::vector<uint8_t> EventBytes(const TSWFDataObject::TDataWriter& write, TSWFDataObject& tag,
                                const TSWFWriteContext& context) {
  TMemoryStream data;
  TBitsEngine be(data, context);
  write(tag, be);
  be.FlushBits(true);
  return data.Release();
}

// The payload as the writer would put it: through the tag's write event when it has one.
void WritePayloadXml(TSWFXmlWriter& xml, std::string_view element, TSWFDataObject& tag) {
  if (!tag.OnDataWrite) return xml.DataElement(element, tag.Data);
  xml.DataElement(element, EventBytes(tag.OnDataWrite, tag, xml.Context));
}

void ReadPayloadXml(const TSWFXmlNode& node, std::string_view element, TSWFDataObject& tag) {
  tag.OnDataWrite = nullptr;
  tag.Data = node.DataElement(element);
}

std::string RateName(uint8_t rate) { return SoundRateName(rate); }
std::string SizeName(uint8_t size) { return size ? "16bit" : "8bit"; }
std::string TypeName(uint8_t type) { return type ? "stereo" : "mono"; }

// The four fields of a sound format byte, under the names the tag gives them.
struct TSoundFormatNames {
  std::string_view Format, Rate, Size, Type;
};
constexpr TSoundFormatNames kDefineSoundNames{"SoundFormat", "SoundRate", "SoundSize", "SoundType"};
constexpr TSoundFormatNames kStreamNames{"StreamSoundCompression", "StreamSoundRate",
                                         "StreamSoundSize", "StreamSoundType"};
constexpr TSoundFormatNames kPlaybackNames{"", "PlaybackSoundRate", "PlaybackSoundSize",
                                           "PlaybackSoundType"};

void WriteSoundFormatXml(TSWFXmlWriter& xml, const TSoundFormatNames& names, uint8_t format,
                         uint8_t rate, bool size, bool type) {
  if (!names.Format.empty()) WriteCodeXml(xml, names.Format, format, SoundFormatName);
  WriteCodeXml(xml, names.Rate, rate, RateName);
  WriteCodeXml(xml, names.Size, size, SizeName);
  WriteCodeXml(xml, names.Type, type, TypeName);
}

void ReadSoundFormatXml(const TSWFXmlNode& node, const TSoundFormatNames& names, uint8_t& format,
                        uint8_t& rate, bool& size, bool& type) {
  if (!names.Format.empty()) format = ReadCodeXml(node, names.Format, 15, SoundFormatName);
  rate = ReadCodeXml(node, names.Rate, 3, RateName);
  size = ReadCodeXml(node, names.Size, 1, SizeName) != 0;
  type = ReadCodeXml(node, names.Type, 1, TypeName) != 0;
}

// A JPEG part is written as it stands when it is a PNG or GIF image; the text says so only when
// the tag holds it otherwise.
bool ImageAsIsByDefault(std::span<const uint8_t> data) {
  static constexpr uint8_t kPNG[] = {0x89, 'P', 'N', 'G'}, kGIF[] = {'G', 'I', 'F', '8'};
  const auto starts = [&](std::span<const uint8_t> prefix) {
    return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
  };
  return starts(kPNG) || starts(kGIF);
}

void WriteJPEGPartXml(TSWFXmlWriter& xml, std::string_view element, TSWFDataObject& tag, bool asIs) {
  // A write event writes the part in its file form, which comes back as it stands.
  asIs = asIs || static_cast<bool>(tag.OnDataWrite);
  if (tag.OnDataWrite) {
    const auto data = EventBytes(tag.OnDataWrite, tag, xml.Context);
    if (asIs != ImageAsIsByDefault(data)) xml.Bool("AsIs", asIs);
    xml.DataElement(element, data);
    return;
  }
  if (asIs != ImageAsIsByDefault(tag.Data)) xml.Bool("AsIs", asIs);
  xml.DataElement(element, tag.Data);
}

void ReadJPEGPartXml(const TSWFXmlNode& node, std::string_view element, TSWFDataObject& tag, bool& asIs) {
  ReadPayloadXml(node, element, tag);
  asIs = node.Has("AsIs") ? node.Bool("AsIs") : ImageAsIsByDefault(tag.Data);
}

std::string_view JPEGElement(uint16_t tagID) { return tagID == 6 ? "JPEGData" : "ImageData"; }

}  // namespace

// ---- fields with names ---------------------------------------------------------------------------

void WriteCodeXml(TSWFXmlWriter& xml, std::string_view attribute, uint8_t code, TCodeName name) {
  xml.String(attribute, name(code));
}

uint8_t ReadCodeXml(const TSWFXmlNode& node, std::string_view attribute, uint8_t max, TCodeName name) {
  const std::string text = node.String(attribute);
  for (unsigned code = 0; code <= max; ++code)
    if (text == name(static_cast<uint8_t>(code))) return static_cast<uint8_t>(code);
  const bool number = text.starts_with("0x") || (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos);
  if (number)
    return static_cast<uint8_t>(node.Int(attribute, 0, max));
  std::string names;
  for (unsigned code = 0; code <= max; ++code) {
    const std::string n = name(static_cast<uint8_t>(code));
    if (n == std::to_string(code)) continue;  // a code without a name
    names += names.empty() ? "" : ", ";
    names += n;
  }
  node.Fail(std::string(attribute) + "=\"" + text + "\" is none of " + names + " nor a number from 0 to " +
            std::to_string(max));
}

uint32_t ReadNameSetXml(const TSWFXmlNode& node, std::string_view attribute, unsigned count,
                        std::string (*name)(uint32_t), uint32_t reserved) {
  const std::string text = node.String(attribute);
  if (text == "none") return 0;
  uint32_t set = 0;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(',', at);
    if (end == std::string::npos) end = text.size();
    std::string_view token = std::string_view(text).substr(at, end - at);
    while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
    at = end + 1;
    if (token.starts_with("0x") || token.starts_with("0X")) {
      uint32_t bits = 0;
      const auto r = std::from_chars(token.data() + 2, token.data() + token.size(), bits, 16);
      if (r.ec != std::errc() || r.ptr != token.data() + token.size() || token.size() == 2 ||
          (bits & ~reserved) != 0)
        node.Fail(std::string(attribute) + ": " + std::string(token) + " is not a set of reserved bits (within " +
                  name(reserved) + ")");
      set |= bits;
      continue;
    }
    unsigned i = 0;
    while (i < count && name(1u << i) != token) ++i;
    if (i == count) {
      std::string names;
      for (unsigned k = 0; k < count; ++k) names += (k ? ", " : "") + name(1u << k);
      node.Fail(std::string(attribute) + ": \"" + std::string(token) + "\" is none of " + names);
    }
    set |= 1u << i;
  }
  return set;
}

// ---- bitmaps -------------------------------------------------------------------------------------

void TSWFJPEGTables::WriteXml(TSWFXmlWriter& xml) { WriteJPEGPartXml(xml, "JPEGData", *this, DataAsIs); }
void TSWFJPEGTables::ReadXml(const TSWFXmlNode& node) { ReadJPEGPartXml(node, "JPEGData", *this, DataAsIs); }

void TSWFDefineBits::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", ID);
  WriteJPEGPartXml(xml, JPEGElement(TagID), *this, DataAsIs);
}
void TSWFDefineBits::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("CharacterId");
  ReadJPEGPartXml(node, JPEGElement(TagID), *this, DataAsIs);
}

void TSWFDefineBitsJPEG3::WriteXml(TSWFXmlWriter& xml) { WriteXmlParts(xml, nullptr); }
// The deblocking strength as a decimal number: every 8.8 value reads back exactly.
void TSWFDefineBitsJPEG3::WriteXmlParts(TSWFXmlWriter& xml, const uint16_t* deblockParam) {
  xml.Int("CharacterId", ID);
  if (deblockParam) xml.Number("DeblockParam", *deblockParam / 256.0);
  WriteJPEGPartXml(xml, JPEGElement(TagID), *this, DataAsIs);
  xml.DataElement("BitmapAlphaData",
                  OnAlphaDataWrite ? EventBytes(OnAlphaDataWrite, *this, xml.Context) : AlphaData);
}
void TSWFDefineBitsJPEG3::ReadXml(const TSWFXmlNode& node) {
  TSWFDefineBits::ReadXml(node);
  OnAlphaDataWrite = nullptr;
  AlphaData = node.DataElement("BitmapAlphaData");
}

void TSWFDefineBitsJPEG4::WriteXml(TSWFXmlWriter& xml) { WriteXmlParts(xml, &DeblockParam); }
void TSWFDefineBitsJPEG4::ReadXml(const TSWFXmlNode& node) {
  TSWFDefineBitsJPEG3::ReadXml(node);
  using xmlfields::kFixed8Scale;
  double deblock = 0;
  xmlfields::TXmlIn(node).Fixed("DeblockParam", deblock, kFixed8Scale, 0.0, 65535 / kFixed8Scale);
  DeblockParam = static_cast<uint16_t>(deblock * kFixed8Scale);
}

void TSWFDefineBitsLossless::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", ID);
  xml.Int("BitmapFormat", BitmapFormat);
  xml.Int("BitmapWidth", BitmapWidth);
  xml.Int("BitmapHeight", BitmapHeight);
  if (BitmapFormat == 3) xml.Int("BitmapColorTableSize", BitmapColorTableSize);
  WritePayloadXml(xml, "ZlibBitmapData", *this);
}
void TSWFDefineBitsLossless::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("CharacterId");
  BitmapFormat = node.Get<uint8_t>("BitmapFormat");
  BitmapWidth = node.Get<uint16_t>("BitmapWidth");
  BitmapHeight = node.Get<uint16_t>("BitmapHeight");
  // Only a colour-mapped bitmap has a colour table; the attribute is unknown to the others.
  BitmapColorTableSize = BitmapFormat == 3 ? node.Get<uint8_t>("BitmapColorTableSize") : 0;
  ReadPayloadXml(node, "ZlibBitmapData", *this);
}

// ---- sounds --------------------------------------------------------------------------------------

void TSWFDefineSound::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("SoundId", ID);
  WriteSoundFormatXml(xml, kDefineSoundNames, SoundFormat, SoundRate, SoundSize, SoundType);
  xml.Int("SoundSampleCount", SampleCount);
  if (SoundFormat == kSoundFormatMP3) xml.Int("SeekSamples", SeekSamples);
  WritePayloadXml(xml, "SoundData", *this);
}
void TSWFDefineSound::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("SoundId");
  ReadSoundFormatXml(node, kDefineSoundNames, SoundFormat, SoundRate, SoundSize, SoundType);
  SampleCount = node.Get<uint32_t>("SoundSampleCount");
  SeekSamples = SoundFormat == kSoundFormatMP3 ? node.Get<int16_t>("SeekSamples") : 0;
  ReadPayloadXml(node, "SoundData", *this);
}

namespace {

// SOUNDINFO: a point is present when its attribute is, the envelope when it has points.
void WriteSoundInfoXml(TSWFXmlWriter& xml, const TSWFStartSound& sound) {
  xml.Flag("SyncStop", sound.SyncStop);
  xml.Flag("SyncNoMultiple", sound.SyncNoMultiple);
  if (sound.HasInPoint) xml.Int("InPoint", sound.InPoint());
  if (sound.HasOutPoint) xml.Int("OutPoint", sound.OutPoint());
  if (sound.HasLoops) xml.Int("LoopCount", sound.LoopCount());
  if (!sound.HasEnvelope) return;
  for (const auto& point : sound.Envelope) {
    xml.Open("SoundEnvelope");
    xml.Int("Pos44", point.Pos44);
    xml.Int("LeftLevel", point.LeftLevel);
    xml.Int("RightLevel", point.RightLevel);
    xml.Close();
  }
}

void ReadSoundInfoXml(const TSWFXmlNode& node, TSWFStartSound& sound) {
  sound.SyncStop = node.Flag("SyncStop");
  sound.SyncNoMultiple = node.Flag("SyncNoMultiple");
  // The setters take a zero for "absent"; a movie may carry a present zero.
  sound.SetInPoint(node.Get<uint32_t>("InPoint", 0));
  sound.HasInPoint = node.Has("InPoint");
  sound.SetOutPoint(node.Get<uint32_t>("OutPoint", 0));
  sound.HasOutPoint = node.Has("OutPoint");
  sound.SetLoopCount(node.Get<uint16_t>("LoopCount", 0));
  sound.HasLoops = node.Has("LoopCount");
  sound.Envelope.clear();
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() != "SoundEnvelope") child.Fail("unknown element <" + std::string(child.Name()) + ">");
    if (sound.Envelope.size() == 255) child.Fail("a sound envelope holds at most 255 points");
    sound.Envelope.push_back({child.Get<uint16_t>("LeftLevel"), child.Get<uint32_t>("Pos44"),
                              child.Get<uint16_t>("RightLevel")});
  }
  sound.HasEnvelope = !sound.Envelope.empty();
}

}  // namespace

void TSWFStartSound::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("SoundId", ID);
  WriteSoundInfoXml(xml, *this);
}
void TSWFStartSound::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("SoundId");
  ReadSoundInfoXml(node, *this);
}

void TSWFStartSound2::WriteXml(TSWFXmlWriter& xml) {
  xml.String("SoundClassName", ClassName);
  WriteSoundInfoXml(xml, *this);
}
void TSWFStartSound2::ReadXml(const TSWFXmlNode& node) {
  ClassName = node.CString("SoundClassName");
  ReadSoundInfoXml(node, *this);
}

void TSWFSoundStreamHead::WriteXml(TSWFXmlWriter& xml) {
  WriteSoundFormatXml(xml, kPlaybackNames, 0, PlaybackSoundRate, PlaybackSoundSize, PlaybackSoundType);
  WriteSoundFormatXml(xml, kStreamNames, StreamSoundCompression, StreamSoundRate, StreamSoundSize,
                      StreamSoundType);
  xml.Int("StreamSoundSampleCount", SampleCount);
  if (StreamSoundCompression == kSoundFormatMP3) xml.Int("LatencySeek", LatencySeek);
  if (Reserved != 0) xml.Int("Reserved", Reserved);
}
void TSWFSoundStreamHead::ReadXml(const TSWFXmlNode& node) {
  uint8_t noFormat = 0;
  ReadSoundFormatXml(node, kPlaybackNames, noFormat, PlaybackSoundRate, PlaybackSoundSize, PlaybackSoundType);
  ReadSoundFormatXml(node, kStreamNames, StreamSoundCompression, StreamSoundRate, StreamSoundSize,
                     StreamSoundType);
  SampleCount = node.Get<uint16_t>("StreamSoundSampleCount");
  LatencySeek = StreamSoundCompression == kSoundFormatMP3 ? node.Get<int16_t>("LatencySeek") : 0;
  Reserved = static_cast<uint8_t>(node.Has("Reserved") ? node.Int("Reserved", 0, 15) : 0);
}

// The compression comes from the stream head before, as when reading bytes.
void TSWFSoundStreamBlock::WriteXml(TSWFXmlWriter& xml) {
  if (StreamSoundCompression == kSoundFormatMP3) {
    xml.Int("SampleCount", SampleCount);
    xml.Int("SeekSamples", SeekSamples);
  }
  WritePayloadXml(xml, "StreamSoundData", *this);
}
void TSWFSoundStreamBlock::ReadXml(const TSWFXmlNode& node) {
  if (StreamSoundCompression == kSoundFormatMP3) {
    SampleCount = node.Get<uint16_t>("SampleCount");
    SeekSamples = node.Get<int16_t>("SeekSamples");
  }
  ReadPayloadXml(node, "StreamSoundData", *this);
}

namespace {
constexpr std::string_view kButtonSoundNames[] = {"OverUpToIdle", "IdleToOverUp", "OverUpToOverDown",
                                                  "OverDownToOverUp"};
}  // namespace

// One element per transition that plays a sound, in the order of the file.
void TSWFDefineButtonSound::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("ButtonId", ButtonId);
  for (size_t i = 0; i < FSounds.size(); ++i) {
    if (!FSounds[i] || FSounds[i]->ID == 0) continue;
    xml.Open(kButtonSoundNames[i]);
    FSounds[i]->WriteXml(xml);
    xml.Close();
  }
}
void TSWFDefineButtonSound::ReadXml(const TSWFXmlNode& node) {
  ButtonId = node.Get<uint16_t>("ButtonId");
  for (auto& sound : FSounds) sound.reset();
  size_t next = 0;
  for (const TSWFXmlNode& child : node.Elements()) {
    size_t i = next;
    while (i < std::size(kButtonSoundNames) && child.Name() != kButtonSoundNames[i]) ++i;
    if (i == std::size(kButtonSoundNames))
      child.Fail("<" + std::string(child.Name()) +
                 "> is not a transition of <DefineButtonSound> in its place (OverUpToIdle, "
                 "IdleToOverUp, OverUpToOverDown, OverDownToOverUp, each once and in this order)");
    auto sound = std::make_unique<TSWFStartSound>();
    sound->ReadXml(child);
    // The file marks a transition without sound by the id 0.
    if (sound->ID == 0) child.Fail("SoundId=0 stands for no sound: leave the element out");
    FSounds[i] = std::move(sound);
    next = i + 1;
  }
}

// ---- video ---------------------------------------------------------------------------------------

void TSWFDefineVideoStream::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", ID);
  xml.Int("NumFrames", NumFrames);
  xml.Int("Width", Width);
  xml.Int("Height", Height);
  xml.Int("VideoFlagsDeblocking", VideoFlagsDeblocking);
  xml.Flag("VideoFlagsSmoothing", VideoFlagsSmoothing);
  if (VideoFlagsReserved != 0) xml.Int("VideoFlagsReserved", VideoFlagsReserved);
  xml.Int("CodecID", Codec);
}
void TSWFDefineVideoStream::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("CharacterId");
  NumFrames = node.Get<uint16_t>("NumFrames");
  Width = node.Get<uint16_t>("Width");
  Height = node.Get<uint16_t>("Height");
  VideoFlagsDeblocking = static_cast<uint8_t>(node.Int("VideoFlagsDeblocking", 0, 7));
  VideoFlagsSmoothing = node.Flag("VideoFlagsSmoothing");
  VideoFlagsReserved = static_cast<uint8_t>(node.Has("VideoFlagsReserved") ? node.Int("VideoFlagsReserved", 0, 15) : 0);
  Codec = node.Get<uint8_t>("CodecID");
}

void TSWFVideoFrame::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("StreamID", ID);
  xml.Int("FrameNum", FrameNum);
  WritePayloadXml(xml, "VideoData", *this);
}
void TSWFVideoFrame::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("StreamID");
  FrameNum = node.Get<uint16_t>("FrameNum");
  ReadPayloadXml(node, "VideoData", *this);
}

}  // namespace tw::swf
