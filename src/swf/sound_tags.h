// Sound tags: the event sound DefineSound with StartSound and StartSound2, and the streaming
// sound SoundStreamHead, SoundStreamHead2 and SoundStreamBlock.
//
// Sound format codes (SoundFormat, StreamSoundCompression): 0 uncompressed (platform byte order),
// 1 ADPCM, 2 MP3, 3 uncompressed little-endian, 6 Nellymoser; other codes are carried as they are.
// Rate codes: 0 = 5.5 kHz, 1 = 11 kHz, 2 = 22 kHz, 3 = 44 kHz. Size true = 16-bit samples;
// type true = stereo.
#pragma once

#include <string>
#include <vector>

#include "swf/tag.h"

namespace tw::swf {

constexpr uint8_t kSoundFormatMP3 = 2;

// "MP3", "ADPCM" ... for the codes above; other codes as their number.
std::string SoundFormatName(uint8_t format);
// "5.5kHz", "11kHz", "22kHz" or "44kHz" for the two bits of a rate code.
const char* SoundRateName(uint8_t rate);

// An event sound: all of its data in one tag. The payload (Data, or what OnDataWrite writes)
// follows the fixed fields; for MP3 it is the MPEG frames after SeekSamples.
class TSWFDefineSound : public TSWFDataObject {
 public:
  TSWFDefineSound() : TSWFDataObject(14) {}

  int16_t SeekSamples = 0;  // MP3 only
  uint8_t SoundFormat = 0;  // 4 bits
  uint16_t ID = 0;
  uint8_t SoundRate = 0;    // 2 bits
  uint32_t SampleCount = 0;  // samples per channel
  bool SoundSize = false;
  bool SoundType = false;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(ID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

struct TSWFSoundEnvelope {
  uint16_t LeftLevel = 0;
  uint32_t Pos44 = 0;  // position in samples at 44 kHz
  uint16_t RightLevel = 0;
  bool operator==(const TSWFSoundEnvelope&) const = default;
};

class TSWFStartSound : public TSWFObject {
 public:
  TSWFStartSound() : TSWFObject(15) {}

  bool HasEnvelope = false, HasInPoint = false, HasLoops = false, HasOutPoint = false;
  std::string ClassName;  // StartSound2 names its sound by class instead of by id
  std::vector<TSWFSoundEnvelope> Envelope;  // at most 255 points
  uint16_t ID = 0;
  bool SyncNoMultiple = false, SyncStop = false;

  // Each setter sets the presence flag to (value != 0).
  uint32_t InPoint() const { return FInPoint; }
  void SetInPoint(uint32_t v) { FInPoint = v; HasInPoint = v != 0; }
  uint32_t OutPoint() const { return FOutPoint; }
  void SetOutPoint(uint32_t v) { FOutPoint = v; HasOutPoint = v != 0; }
  uint16_t LoopCount() const { return FLoopCount; }
  void SetLoopCount(uint16_t v) { FLoopCount = v; HasLoops = v != 0; }

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(ID); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFStartSound(uint16_t tagID) : TSWFObject(tagID) {}
  void ReadSoundInfo(TBitsEngine& be);
  void WriteSoundInfo(TBitsEngine& be);
  void DescribeSoundInfo(TSWFFields& fields) const;

 private:
  uint32_t FInPoint = 0;
  uint16_t FLoopCount = 0;
  uint32_t FOutPoint = 0;
};

class TSWFStartSound2 : public TSWFStartSound {
 public:
  TSWFStartSound2() : TSWFStartSound(89) {}
  int MinVersion() const override { return 9; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor&) override {}
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// The announcement of a streaming sound: the blocks that follow carry its data, one per frame.
class TSWFSoundStreamHead : public TSWFObject {
 public:
  TSWFSoundStreamHead() : TSWFObject(18) {}

  int16_t LatencySeek = 0;  // MP3 only
  uint8_t PlaybackSoundRate = 0;  // 2 bits
  bool PlaybackSoundSize = false;
  bool PlaybackSoundType = false;
  uint8_t StreamSoundCompression = 0;  // 4 bits: the sound format of the blocks
  uint8_t StreamSoundRate = 0;         // 2 bits
  uint16_t SampleCount = 0;            // average samples per channel in one SWF frame
  bool StreamSoundSize = false;
  bool StreamSoundType = false;
  // The four bits above the playback fields; zero in a new tag, kept as found (some authoring
  // tools set them).
  uint8_t Reserved = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return StreamSoundCompression == 2 ? 4 : 1; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  // The blocks that follow read with this compression.
  void UpdateReadContext(TSWFReadContext& context) const override {
    context.StreamSoundFormat = StreamSoundCompression;
  }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFSoundStreamHead(uint16_t tagID) : TSWFObject(tagID) {}
};

class TSWFSoundStreamHead2 : public TSWFSoundStreamHead {
 public:
  TSWFSoundStreamHead2() : TSWFSoundStreamHead(45) {}
  int MinVersion() const override;
};

// One frame's share of a streaming sound. With MP3 compression SampleCount and SeekSamples come
// before the payload; a builder that supplies the payload through OnDataWrite sets them (and
// StreamSoundCompression) and writes only the MPEG frames.
class TSWFSoundStreamBlock : public TSWFDataObject {
 public:
  TSWFSoundStreamBlock() : TSWFDataObject(19) {}

  uint16_t SampleCount = 0;  // MP3 only
  int16_t SeekSamples = 0;   // MP3 only
  uint8_t StreamSoundCompression = 0;

  void Assign(const TBasedSWFObject& source) override;
  void SetReadContext(const TSWFReadContext& context) override {
    StreamSoundCompression = context.StreamSoundFormat;
  }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

}  // namespace tw::swf
