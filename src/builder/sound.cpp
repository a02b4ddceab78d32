#include "builder/sound.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "builder/movie.h"

namespace tw::builder {

using namespace tw::swf;
using audio::EAudioError;
using audio::TWaveReader;

namespace {

// The rate code of a sample rate, or none: the header has a code for four rates only, and a
// sound announced at a rate other than its own would play at the wrong speed.
std::optional<uint8_t> RateCodeOf(uint32_t rate) {
  switch (rate) {
    case 5512: case 5513: return 0;
    case 11025: return 1;
    case 22050: return 2;
    case 44100: return 3;
    default: return std::nullopt;
  }
}

}  // namespace

TFlashSound::TFlashSound(TFlashMovie* owner, const std::string& fileName) : TFlashStreamSound(owner) {
  std::error_code ec;
  if (!fileName.empty() && std::filesystem::exists(fileName, ec)) LoadFromFile(fileName);
}

TFlashSound::~TFlashSound() = default;

TWaveReader& TFlashSound::WaveReader() {
  if (!FWaveReader) FWaveReader = std::make_unique<TWaveReader>();
  return *FWaveReader;
}

void TFlashSound::SetWaveCompressBits(uint8_t bits) {
  if (bits > 5) bits = 5;
  if (bits == 1) bits = 0;
  FWaveCompressBits = bits;
}

void TFlashSound::LoadFromFile(const std::string& fileName) {
  auto reader = std::make_unique<TWaveReader>(fileName);
  const TWaveReader& r = *reader;

  uint8_t format = 0;
  bool usable = r.HasSource();
  switch (r.FormatTag) {
    case audio::kWaveFormatPCM:
      format = kSwfSoundPCM;
      // The format carries 8-bit and 16-bit samples only.
      usable = usable && (r.BitsPerSample == 8 || r.BitsPerSample == 16);
      break;
    case audio::kWaveFormatMsAdpcm:
      format = kSwfSoundADPCM;
      break;
    case audio::kFormatMP3File:
    case audio::kWaveFormatMPEGLayer3:
      format = kSwfSoundMP3;
      // Layer I and II frames inside a WAV file are not what the format calls MP3.
      usable = usable && reader->HasMPEGInfo() && reader->MPEGInfo().FirstFrame.Found &&
               reader->MPEGInfo().FirstFrame.LayerName() == "III";
      break;
    default:
      usable = false;
      break;
  }
  usable = usable && (r.Channels == 1 || r.Channels == 2);
  if (!usable) throw EAudioError("it holds no audio that a Flash movie can carry");
  const auto rate = RateCodeOf(r.SampleRate);
  if (!rate)
    throw EAudioError("its sample rate of " + std::to_string(r.SampleRate) +
                      " Hz cannot be carried by a Flash movie (5512, 11025, 22050 or 44100 Hz)");

  FFileName = fileName;
  FWaveReader = std::move(reader);
  SWFFormat = format;
  RateCode = *rate;
  Stereo = r.Channels == 2;
  SixteenBit = !(r.FormatTag == audio::kWaveFormatPCM && r.BitsPerSample == 8);
  BitsPerSample = static_cast<uint8_t>(r.BitsPerSample);
  SampleRate = static_cast<uint16_t>(r.SampleRate);
  Duration = r.Duration;
  SampleCount = r.SampleCount;
  DataOffset = static_cast<uint32_t>(std::min<uint64_t>(r.DataOffset, UINT32_MAX));
  DataSize = r.DataSize;
  SamplesPerMPEGFrame = r.SamplesPerFrame;
  MPEGFrameSize = r.FrameSize;
  MPEGFrameCount = r.FrameCount;
  BitRate = r.BitRate;
  FHeadFilled = false;
}

bool TFlashSound::HasData() const { return FWaveReader && FWaveReader->HasSource(); }

void TFlashSound::Assign(const TBasedSWFObject& source) {
  TFlashIDObject::Assign(source);
  const auto& s = SourceAs<TFlashSound>(source);
  FWaveCompressBits = s.FWaveCompressBits;
  LoopStream = s.LoopStream;
  FStartFrame = s.FStartFrame;
  InitialSeek = s.InitialSeek;
  SWFFormat = s.SWFFormat;
  RateCode = s.RateCode;
  Stereo = s.Stereo;
  SixteenBit = s.SixteenBit;
  BitsPerSample = s.BitsPerSample;
  SampleRate = s.SampleRate;
  Duration = s.Duration;
  SampleCount = s.SampleCount;
  DataOffset = s.DataOffset;
  DataSize = s.DataSize;
  SamplesPerMPEGFrame = s.SamplesPerMPEGFrame;
  MPEGFrameSize = s.MPEGFrameSize;
  MPEGFrameCount = s.MPEGFrameCount;
  BitRate = s.BitRate;
  FBlockByteCount = s.FBlockByteCount;
  FSamplesPerSWFFrame = s.FSamplesPerSWFFrame;
  FNextMP3Frame = s.FNextMP3Frame;
  FTotalSamples = s.FTotalSamples;
  FSeek = s.FSeek;
  FBlockSampleCount = s.FBlockSampleCount;
  FFramesInBlock = s.FFramesInBlock;
  FBlockCounter = s.FBlockCounter;
  FAudioFramesLeft = s.FAudioFramesLeft;
  FHeadFilled = s.FHeadFilled;
}

int TFlashSound::MinVersion() const {
  switch (SWFFormat) {
    case 2: case 3: return 4;
    case 5: return 8;
    case 6: return 6;
    default: return 1;
  }
}

// ---- event sound -----------------------------------------------------------------------------

void TFlashSound::WriteToStream(TBitsEngine& be) {
  TSWFDefineSound tag;
  tag.ID = CharacterId();
  tag.SoundFormat = CompressesPCM() ? kSwfSoundADPCM : SWFFormat;
  tag.SoundRate = RateCode;
  tag.SoundSize = SWFFormat != kSwfSoundPCM || FWaveCompressBits != 0 || SixteenBit;
  tag.SoundType = Stereo;
  tag.SampleCount = HasData() ? SampleCount : 0;
  tag.SeekSamples = static_cast<int16_t>(InitialSeek);
  tag.OnDataWrite = [this](TSWFDataObject& sender, TBitsEngine& body) {
    WriteSoundData(sender, body);
  };
  FWritingEvent = true;
  try {
    tag.WriteToStream(be);
  } catch (...) {
    FWritingEvent = false;
    throw;
  }
  FWritingEvent = false;
}

// ---- streaming -------------------------------------------------------------------------------

void TFlashSound::FillStreamHead(TSWFSoundStreamHead2& head, double fps) {
  head.StreamSoundCompression = CompressesPCM() ? kSwfSoundADPCM : SWFFormat;
  head.StreamSoundRate = RateCode;
  head.StreamSoundSize = SWFFormat != kSwfSoundPCM || FWaveCompressBits != 0 || SixteenBit;
  head.StreamSoundType = Stereo;
  FSamplesPerSWFFrame =
      fps > 0 ? static_cast<uint16_t>(std::min(std::trunc(SampleRate / fps), 65535.0)) : 0;
  head.SampleCount = FSamplesPerSWFFrame;
  head.PlaybackSoundRate = head.StreamSoundRate;
  head.PlaybackSoundSize = head.StreamSoundSize;
  head.PlaybackSoundType = head.StreamSoundType;
  if (SWFFormat == kSwfSoundMP3) head.LatencySeek = 0;

  FTotalSamples = 0;
  FNextMP3Frame = 0;
  FSeek = InitialSeek;
  FBlockCounter = 0;
  FHeadFilled = true;
  FBlockByteCount = uint32_t{FSamplesPerSWFFrame} * (1 + Stereo) * (1 + SixteenBit);
  // Back to the start of the data: a second build streams the sound again from its beginning.
  FAudioFramesLeft = 0;
  if (HasData()) {
    FWaveReader->SeekSource(DataOffset);
    FWaveReader->ResetStreaming();
    if (SWFFormat == kSwfSoundMP3) FAudioFramesLeft = FWaveReader->AudioFrameCount();
  }
}

void TFlashSound::WriteStreamBlock(TBitsEngine& be) {
  if (!FHeadFilled) return;
  if (SWFFormat == kSwfSoundMP3) {
    WriteMP3StreamBlock(be);
    return;
  }
  if (!HasData() || (FWaveReader->AtDataEnd() && !LoopStream)) return;
  TSWFSoundStreamBlock tag;
  tag.StreamSoundCompression = CompressesPCM() ? kSwfSoundADPCM : SWFFormat;
  tag.OnDataWrite = [this](TSWFDataObject& sender, TBitsEngine& body) {
    WriteSoundData(sender, body);
  };
  tag.WriteToStream(be);
}

void TFlashSound::WriteMP3StreamBlock(TBitsEngine& be) {
  const int64_t n0 = FSamplesPerSWFFrame;
  const int64_t p = SamplesPerMPEGFrame;
  int64_t frames = (p == 0 || std::llabs(FSeek) > p) ? 0 : (n0 + FSeek) / p;
  if (FBlockCounter == 0 && frames == 0) frames = 1;
  ++FBlockCounter;
  // A sound that does not loop has only the frames of its file: a block never announces more,
  // nor fills the missing ones with bytes that are no audio.
  if (!LoopStream) frames = std::min<int64_t>(frames, FAudioFramesLeft);
  if (!HasData()) frames = 0;
  int64_t blockSamples = frames * p;
  if (FBlockCounter == 1) {
    FSeek = InitialSeek;
  } else {
    FSeek = int64_t{FBlockCounter - 1} * n0 - static_cast<int64_t>(FTotalSamples);
    if (std::llabs(FSeek) > p) {
      blockSamples = 0;
      FSeek = 0;
      frames = 0;
    }
  }
  FFramesInBlock = static_cast<uint32_t>(frames);
  FBlockSampleCount = static_cast<uint32_t>(blockSamples);

  if (blockSamples == 0) {
    // An empty block: SampleCount 0 and SeekSamples 0 in a long header.
    be.FlushBits(true);
    be.WriteWord(0x04FF);
    be.WriteDWord(4);
    be.WriteDWord(0);
  } else {
    TSWFSoundStreamBlock tag;
    tag.StreamSoundCompression = kSwfSoundMP3;
    tag.SampleCount = static_cast<uint16_t>(blockSamples);
    tag.SeekSamples = static_cast<int16_t>(FSeek);
    tag.OnDataWrite = [this](TSWFDataObject& sender, TBitsEngine& body) {
      WriteSoundData(sender, body);
    };
    tag.WriteToStream(be);
  }
  FTotalSamples += static_cast<uint64_t>(blockSamples);
  FAudioFramesLeft -= std::min<uint64_t>(FAudioFramesLeft, static_cast<uint64_t>(frames));
  FSeek = int64_t{FBlockCounter} * n0 - static_cast<int64_t>(FTotalSamples);
}

void TFlashSound::WriteSoundData(TSWFDataObject& tag, TBitsEngine& be) {
  (void)tag;
  if (!HasData()) return;
  TWaveReader& r = *FWaveReader;
  if (FWritingEvent) {
    switch (SWFFormat) {
      case kSwfSoundMP3:
        r.SeekSource(DataOffset);
        r.CopySource(be, DataSize);
        break;
      case kSwfSoundADPCM:
        r.WriteADPCMAll(be, FWaveCompressBits);
        break;
      default:
        r.SeekSource(DataOffset);
        r.WriteWaveData(be, DataSize, false, FWaveCompressBits);
        break;
    }
    return;
  }
  switch (SWFFormat) {
    case kSwfSoundMP3:
      // SampleCount and SeekSamples are the tag's own fields, written before this payload.
      if (FFramesInBlock > 0)
        FNextMP3Frame = r.WriteMP3Frames(be, FNextMP3Frame, LoopStream, FFramesInBlock);
      break;
    case kSwfSoundADPCM:
      r.WriteADPCMStreamBlock(be, FSamplesPerSWFFrame, LoopStream, FWaveCompressBits);
      break;
    default:
      r.WriteWaveData(be, FBlockByteCount, LoopStream, FWaveCompressBits);
      break;
  }
}

TSWFStartSound* TFlashSound::StartSound() {
  if (!Owner()) return nullptr;
  return &Owner()->StartSound(CharacterId());
}

}  // namespace tw::builder
