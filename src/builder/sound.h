// TFlashSound: a sound file (MP3 or WAV) as SWF sound. As an event sound it is one DefineSound
// tag holding all of its data; as a streaming sound it announces itself with a SoundStreamHead2
// and spreads its data over the timeline, one SoundStreamBlock per frame. The reader does the
// file work and the sample conversion; this class chooses the SWF format, rate and sizes and
// decides how much data each frame carries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/wave_reader.h"
#include "builder/objects.h"
#include "swf/sound_tags.h"

namespace tw::builder {

// SWF sound formats this class writes.
inline constexpr uint8_t kSwfSoundPCM = 0;
inline constexpr uint8_t kSwfSoundADPCM = 1;
inline constexpr uint8_t kSwfSoundMP3 = 2;

class TFlashSound : public TFlashStreamSound {
 public:
  // Loads the file when it exists; an empty name makes a sound without data.
  explicit TFlashSound(TFlashMovie* owner, const std::string& fileName = {});
  ~TFlashSound() override;

  // Opens the file and takes the values below from it. Throws audio::EAudioError when the file
  // cannot be opened, holds no audio the format carries or has a rate it has no code for; the
  // message is a clause to follow the file's name.
  void LoadFromFile(const std::string& fileName);
  const std::string& FileName() const { return FFileName; }
  // The reader, made empty on first use.
  audio::TWaveReader& WaveReader();

  // The ADPCM code size for PCM and Microsoft ADPCM sources; 0 keeps PCM uncompressed. Values
  // above 5 become 5 and 1 becomes 0.
  uint8_t WaveCompressBits() const { return FWaveCompressBits; }
  void SetWaveCompressBits(uint8_t bits);

  bool LoopStream = false;   // a stream runs on from its start when its data ends
  uint16_t FStartFrame = 0;  // the first frame that carries a block
  uint16_t InitialSeek = 0;

  // From the source.
  uint8_t SWFFormat = kSwfSoundPCM;
  uint8_t RateCode = 0;  // 0 = 5.5 kHz, 1 = 11 kHz, 2 = 22 kHz, 3 = 44 kHz
  bool Stereo = false;
  bool SixteenBit = false;
  uint8_t BitsPerSample = 0;
  uint16_t SampleRate = 0;
  double Duration = 0;  // seconds
  uint32_t SampleCount = 0;
  uint32_t DataOffset = 0;
  uint32_t DataSize = 0;
  uint16_t SamplesPerMPEGFrame = 0;
  uint16_t MPEGFrameSize = 0;
  uint32_t MPEGFrameCount = 0;  // a long song has more than 16 bits can count
  uint16_t BitRate = 0;

  // The samples per channel one SWF frame carries, as of the last FillStreamHead.
  uint16_t SamplesPerSWFFrame() const { return FSamplesPerSWFFrame; }

  void Assign(const swf::TBasedSWFObject& source) override;
  int MinVersion() const override;
  bool IsResource() const override { return true; }
  // The event sound: one DefineSound tag.
  void WriteToStream(swf::TBitsEngine& be) override;

  uint16_t StartFrame() const override { return FStartFrame; }
  void FillStreamHead(swf::TSWFSoundStreamHead2& head, double fps) override;
  void WriteStreamBlock(swf::TBitsEngine& be) override;
  // The payload of the DefineSound and SoundStreamBlock tags this object makes.
  void WriteSoundData(swf::TSWFDataObject& tag, swf::TBitsEngine& be);

  // A StartSound tag for this sound in the owner movie; null without an owner.
  swf::TSWFStartSound* StartSound();

 private:
  bool HasData() const;
  bool CompressesPCM() const { return SWFFormat == kSwfSoundPCM && FWaveCompressBits != 0; }
  void WriteMP3StreamBlock(swf::TBitsEngine& be);

  std::string FFileName;
  std::unique_ptr<audio::TWaveReader> FWaveReader;
  uint8_t FWaveCompressBits = 4;

  // Streaming state.
  uint32_t FBlockByteCount = 0;
  uint16_t FSamplesPerSWFFrame = 0;
  uint32_t FNextMP3Frame = 0;
  uint64_t FTotalSamples = 0;
  int64_t FSeek = 0;
  uint32_t FBlockSampleCount = 0;
  uint32_t FFramesInBlock = 0;
  uint32_t FBlockCounter = 0;
  uint32_t FAudioFramesLeft = 0;  // MP3 frames of the file not yet streamed
  bool FHeadFilled = false;
  // What the current tag's payload is: the whole sound or one block.
  bool FWritingEvent = false;
};

}  // namespace tw::builder
