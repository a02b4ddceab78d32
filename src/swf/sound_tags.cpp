#include "swf/sound_tags.h"

#include <algorithm>

namespace tw::swf {
namespace {

void DescribeFormat(TSWFFields& f, uint8_t format, uint8_t rate, bool size, bool type) {
  f.emplace_back("format", SoundFormatName(format));
  f.emplace_back("rate", SoundRateName(rate));
  f.emplace_back("size", size ? "16bit" : "8bit");
  f.emplace_back("channels", type ? "stereo" : "mono");
}

uint8_t PackFormat(uint8_t format, uint8_t rate, bool size, bool type) {
  return static_cast<uint8_t>((format & 15) << 4 | (rate & 3) << 2 | (size ? 2 : 0) |
                              (type ? 1 : 0));
}

void ReadPayload(TBitsEngine& be, std::vector<uint8_t>& data) {
  const auto bytes = be.ReadBytes(be.Stream.Remaining());
  data.assign(bytes.begin(), bytes.end());
}

}  // namespace

std::string SoundFormatName(uint8_t format) {
  switch (format) {
    case 0: return "uncompressed";
    case 1: return "ADPCM";
    case 2: return "MP3";
    case 3: return "uncompressed-LE";
    case 4: return "Nellymoser-16kHz";
    case 5: return "Nellymoser-8kHz";
    case 6: return "Nellymoser";
    case 11: return "Speex";
    default: return std::to_string(format);
  }
}

const char* SoundRateName(uint8_t rate) {
  static constexpr const char* kRates[] = {"5.5kHz", "11kHz", "22kHz", "44kHz"};
  return kRates[rate & 3];
}

// ---- DefineSound -----------------------------------------------------------------------------

void TSWFDefineSound::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineSound>(source);
  SeekSamples = s.SeekSamples;
  SoundFormat = s.SoundFormat;
  ID = s.ID;
  SoundRate = s.SoundRate;
  SampleCount = s.SampleCount;
  SoundSize = s.SoundSize;
  SoundType = s.SoundType;
}

int TSWFDefineSound::MinVersion() const {
  if (SoundFormat == 2 || SoundFormat == 3) return 4;
  return SoundFormat == 6 ? 6 : 1;
}

void TSWFDefineSound::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  const uint8_t format = be.ReadByte();
  SoundFormat = format >> 4;
  SoundRate = (format >> 2) & 3;
  SoundSize = format & 2;
  SoundType = format & 1;
  SampleCount = be.ReadDWord();
  if (SoundFormat == kSoundFormatMP3) SeekSamples = static_cast<int16_t>(be.ReadWord());
  ReadPayload(be, Data);
}

void TSWFDefineSound::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  be.WriteByte(PackFormat(SoundFormat, SoundRate, SoundSize, SoundType));
  be.WriteDWord(SampleCount);
  if (SoundFormat == kSoundFormatMP3) be.WriteWord(static_cast<uint16_t>(SeekSamples));
  WriteData(be);
}

void TSWFDefineSound::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ID));
  DescribeFormat(f, SoundFormat, SoundRate, SoundSize, SoundType);
  f.emplace_back("samples", std::to_string(SampleCount));
  if (SoundFormat == kSoundFormatMP3) f.emplace_back("seek", std::to_string(SeekSamples));
  f.emplace_back("bytes", std::to_string(DataSize()));
}

// ---- StartSound, StartSound2 -----------------------------------------------------------------

void TSWFStartSound::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFStartSound>(source);
  // Values and presence flags are copied as they are: going through the setters would drop a
  // loop count, in-point or out-point that is present with the value 0.
  HasEnvelope = s.HasEnvelope;
  HasInPoint = s.HasInPoint;
  HasLoops = s.HasLoops;
  HasOutPoint = s.HasOutPoint;
  FInPoint = s.FInPoint;
  FOutPoint = s.FOutPoint;
  FLoopCount = s.FLoopCount;
  ClassName = s.ClassName;
  Envelope = s.Envelope;
  ID = s.ID;
  SyncNoMultiple = s.SyncNoMultiple;
  SyncStop = s.SyncStop;
}

void TSWFStartSound::ReadSoundInfo(TBitsEngine& be) {
  const uint8_t flags = be.ReadByte();
  SyncStop = flags & 0x20;
  SyncNoMultiple = flags & 0x10;
  HasEnvelope = flags & 0x08;
  HasLoops = flags & 0x04;
  HasOutPoint = flags & 0x02;
  HasInPoint = flags & 0x01;
  if (HasInPoint) FInPoint = be.ReadDWord();
  if (HasOutPoint) FOutPoint = be.ReadDWord();
  if (HasLoops) FLoopCount = be.ReadWord();
  Envelope.clear();
  if (HasEnvelope) {
    Envelope.resize(be.ReadByte());
    for (auto& point : Envelope) {
      point.Pos44 = be.ReadDWord();
      point.LeftLevel = be.ReadWord();
      point.RightLevel = be.ReadWord();
    }
  }
}

void TSWFStartSound::WriteSoundInfo(TBitsEngine& be) {
  if (Envelope.size() > 255) throw ESWFError("A sound envelope holds more than 255 points");
  HasEnvelope = HasEnvelope && !Envelope.empty();
  be.WriteByte(static_cast<uint8_t>((SyncStop ? 0x20 : 0) | (SyncNoMultiple ? 0x10 : 0) |
                                    (HasEnvelope ? 0x08 : 0) | (HasLoops ? 0x04 : 0) |
                                    (HasOutPoint ? 0x02 : 0) | (HasInPoint ? 0x01 : 0)));
  if (HasInPoint) be.WriteDWord(FInPoint);
  if (HasOutPoint) be.WriteDWord(FOutPoint);
  if (HasLoops) be.WriteWord(FLoopCount);
  if (HasEnvelope) {
    be.WriteByte(static_cast<uint8_t>(Envelope.size()));
    for (const auto& point : Envelope) {
      be.WriteDWord(point.Pos44);
      be.WriteWord(point.LeftLevel);
      be.WriteWord(point.RightLevel);
    }
  }
}

void TSWFStartSound::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  ReadSoundInfo(be);
}

void TSWFStartSound::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  WriteSoundInfo(be);
}

void TSWFStartSound::DescribeSoundInfo(TSWFFields& f) const {
  if (SyncStop) f.emplace_back("stop", "yes");
  if (SyncNoMultiple) f.emplace_back("nomultiple", "yes");
  if (HasInPoint) f.emplace_back("in", std::to_string(FInPoint));
  if (HasOutPoint) f.emplace_back("out", std::to_string(FOutPoint));
  if (HasLoops) f.emplace_back("loops", std::to_string(FLoopCount));
  if (HasEnvelope) f.emplace_back("envelope", std::to_string(Envelope.size()));
}

void TSWFStartSound::Describe(TSWFFields& f) const {
  f.emplace_back("sound", std::to_string(ID));
  DescribeSoundInfo(f);
}

void TSWFStartSound2::ReadFromStream(TBitsEngine& be) {
  ClassName = be.ReadString();
  ReadSoundInfo(be);
}

void TSWFStartSound2::WriteTagBody(TBitsEngine& be) {
  be.WriteString(ClassName, true);
  WriteSoundInfo(be);
}

void TSWFStartSound2::Describe(TSWFFields& f) const {
  f.emplace_back("class", "\"" + ClassName + "\"");
  DescribeSoundInfo(f);
}

// ---- SoundStreamHead, SoundStreamHead2 -------------------------------------------------------

void TSWFSoundStreamHead::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFSoundStreamHead>(source);
  LatencySeek = s.LatencySeek;
  PlaybackSoundRate = s.PlaybackSoundRate;
  PlaybackSoundSize = s.PlaybackSoundSize;
  PlaybackSoundType = s.PlaybackSoundType;
  StreamSoundCompression = s.StreamSoundCompression;
  StreamSoundRate = s.StreamSoundRate;
  SampleCount = s.SampleCount;
  StreamSoundSize = s.StreamSoundSize;
  StreamSoundType = s.StreamSoundType;
  Reserved = s.Reserved;
}

void TSWFSoundStreamHead::ReadFromStream(TBitsEngine& be) {
  const uint8_t playback = be.ReadByte();
  Reserved = playback >> 4;
  PlaybackSoundRate = (playback >> 2) & 3;
  PlaybackSoundSize = playback & 2;
  PlaybackSoundType = playback & 1;
  const uint8_t stream = be.ReadByte();
  StreamSoundCompression = stream >> 4;
  StreamSoundRate = (stream >> 2) & 3;
  StreamSoundSize = stream & 2;
  StreamSoundType = stream & 1;
  SampleCount = be.ReadWord();
  LatencySeek = 0;
  if (StreamSoundCompression == kSoundFormatMP3 && BodySize > 4)
    LatencySeek = static_cast<int16_t>(be.ReadWord());
}

void TSWFSoundStreamHead::WriteTagBody(TBitsEngine& be) {
  be.WriteByte(static_cast<uint8_t>((Reserved & 15) << 4 | PackFormat(0, PlaybackSoundRate,
                                                                       PlaybackSoundSize,
                                                                       PlaybackSoundType)));
  be.WriteByte(
      PackFormat(StreamSoundCompression, StreamSoundRate, StreamSoundSize, StreamSoundType));
  be.WriteWord(SampleCount);
  if (StreamSoundCompression == kSoundFormatMP3) be.WriteWord(static_cast<uint16_t>(LatencySeek));
}

void TSWFSoundStreamHead::Describe(TSWFFields& f) const {
  DescribeFormat(f, StreamSoundCompression, StreamSoundRate, StreamSoundSize, StreamSoundType);
  f.emplace_back("samples", std::to_string(SampleCount));
  if (StreamSoundCompression == kSoundFormatMP3)
    f.emplace_back("latency", std::to_string(LatencySeek));
  f.emplace_back("playback", std::string(SoundRateName(PlaybackSoundRate)) + "/" +
                                 (PlaybackSoundSize ? "16bit" : "8bit") + "/" +
                                 (PlaybackSoundType ? "stereo" : "mono"));
}

int TSWFSoundStreamHead2::MinVersion() const {
  if (StreamSoundCompression == 2) return 4;
  return StreamSoundCompression == 6 ? 6 : 3;
}

// ---- SoundStreamBlock ------------------------------------------------------------------------

void TSWFSoundStreamBlock::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& s = SourceAs<TSWFSoundStreamBlock>(source);
  SampleCount = s.SampleCount;
  SeekSamples = s.SeekSamples;
  StreamSoundCompression = s.StreamSoundCompression;
}

void TSWFSoundStreamBlock::ReadFromStream(TBitsEngine& be) {
  if (StreamSoundCompression == kSoundFormatMP3) {
    SampleCount = be.ReadWord();
    SeekSamples = static_cast<int16_t>(be.ReadWord());
  }
  ReadPayload(be, Data);
}

void TSWFSoundStreamBlock::WriteTagBody(TBitsEngine& be) {
  if (StreamSoundCompression == kSoundFormatMP3) {
    be.WriteWord(SampleCount);
    be.WriteWord(static_cast<uint16_t>(SeekSamples));
  }
  WriteData(be);
}

void TSWFSoundStreamBlock::Describe(TSWFFields& f) const {
  f.emplace_back("format", SoundFormatName(StreamSoundCompression));
  if (StreamSoundCompression == kSoundFormatMP3) {
    f.emplace_back("samples", std::to_string(SampleCount));
    f.emplace_back("seek", std::to_string(SeekSamples));
  }
  f.emplace_back("bytes", std::to_string(DataSize()));
}

}  // namespace tw::swf
