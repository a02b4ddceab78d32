// Sounds: how a stream sound spreads MP3 frames and PCM over the frames of a movie, what its
// head announces, the event sound, and sources the format cannot carry. The MP3 and WAV files
// are made by lame and sox.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audio/source_stream.h"
#include "builder/movie.h"
#include "builder/sound.h"
#include "support/testing.h"
#include "swf/sound_tags.h"

namespace tw::builder {
namespace {

namespace fs = std::filesystem;
using namespace tw::swf;
using tw::test::RunCommand;
using tw::test::TempDir;

// A tone of the given length made by sox; an MP3 is then coded by lame (CBR at the bit rate).
fs::path MakeSource(const TempDir& dir, const std::string& name, int rate, int channels,
                    double seconds, int bits = 16, int kbps = 64) {
  const fs::path wav = dir / (name + ".wav");
  auto r = RunCommand({"sox", "-q", "-n", "-r", std::to_string(rate), "-c",
                       std::to_string(channels), "-b", std::to_string(bits), wav.string(), "synth",
                       std::to_string(seconds), "sine", "440"});
  EXPECT_EQ(r.status, 0) << r.err;
  if (fs::path(name).extension() == ".wav") {
    fs::rename(wav, dir / name);
    return dir / name;
  }
  const fs::path mp3 = dir / name;
  // lame would resample low bit rates to a rate of its choice.
  r = RunCommand({"lame", "--silent", "--cbr", "-b", std::to_string(kbps), "--resample",
                  std::to_string(rate / 1000.0), wav.string(), mp3.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  return mp3;
}

// The stream head and the blocks of a built movie, read back by the reader.
struct StreamTags {
  std::unique_ptr<TSWFStreamReader> reader;
  TSWFSoundStreamHead* head = nullptr;
  std::vector<TSWFSoundStreamBlock*> blocks;
  int showFrames = 0;
};

StreamTags BuildAndRead(TFlashMovie& movie, TMemoryStream& file) {
  movie.BuildBody();
  movie.SaveToStream(file);
  StreamTags t;
  t.reader = std::make_unique<TSWFStreamReader>(file.Bytes());
  t.reader->ParseTags(true, false);
  for (auto& info : t.reader->TagList) {
    if (info->TagCode == 45) t.head = dynamic_cast<TSWFSoundStreamHead*>(info->TagObject());
    if (info->TagCode == 19) t.blocks.push_back(dynamic_cast<TSWFSoundStreamBlock*>(info->TagObject()));
    if (info->TagCode == 1) ++t.showFrames;
  }
  return t;
}

TEST(FlashSound, Mp3BlocksCarryWholeFramesAndTheirLeadAsSeekSamples) {
  TempDir dir;
  struct Case {
    int rate;
    double fps;
    uint16_t perSwfFrame;
    std::vector<uint16_t> frames;  // MPEG frames of the first blocks
    std::vector<int16_t> seeks;
  };
  const Case cases[] = {
      {44100, 12, 3675, {3, 3, 3, 3, 3, 4}, {0, 219, 438, 657, 876, 1095}},
      {22050, 30, 735, {1, 1, 1, 2}, {0, 159, 318, 477}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    const fs::path mp3 = MakeSource(dir, std::to_string(c.rate) + ".mp3", c.rate, 2, 2.0);
    TFlashMovie movie(0, 0, 0, 0, c.fps, TSystemCoord::Twips);
    TFlashSound& sound = movie.StreamSound();
    sound.LoadFromFile(mp3.string());
    sound.LoopStream = false;
    movie.ShowFrame(static_cast<uint16_t>(c.frames.size()));
    TMemoryStream file;
    StreamTags t = BuildAndRead(movie, file);
    ASSERT_NE(t.head, nullptr);
    EXPECT_EQ(t.head->StreamSoundCompression, 2);
    EXPECT_EQ(t.head->SampleCount, c.perSwfFrame);
    EXPECT_EQ(t.head->LatencySeek, 0);
    ASSERT_EQ(t.blocks.size(), c.frames.size());
    const uint16_t p = c.rate == 44100 ? 1152 : 576;
    for (size_t i = 0; i < c.frames.size(); ++i) {
      SCOPED_TRACE(i);
      ASSERT_NE(t.blocks[i], nullptr);
      EXPECT_EQ(t.blocks[i]->SampleCount, c.frames[i] * p);
      EXPECT_EQ(t.blocks[i]->SeekSamples, c.seeks[i]);
      // Whole frames: the payload is the frames' bytes, each beginning with a frame sync.
      ASSERT_FALSE(t.blocks[i]->Data.empty());
      EXPECT_EQ(t.blocks[i]->Data[0], 0xFF);
    }
  }
}

TEST(FlashSound, Mp3StreamEndsWithTheFileAndNeverPadsWithFalseFrames) {
  TempDir dir;
  const fs::path mp3 = MakeSource(dir, "short.mp3", 44100, 1, 1.0);
  audio::TWaveReader reader(mp3);
  const uint32_t audioFrames = reader.AudioFrameCount();
  ASSERT_GT(audioFrames, 30u);

  // Twice the frames the song needs: the blocks after its end are empty.
  TFlashMovie movie(0, 0, 0, 0, 12, TSystemCoord::Twips);
  TFlashSound& sound = movie.StreamSound();
  sound.LoadFromFile(mp3.string());
  sound.LoopStream = false;
  movie.ShowFrame(24);
  TMemoryStream file;
  StreamTags t = BuildAndRead(movie, file);
  ASSERT_EQ(t.blocks.size(), 24u);
  uint64_t samples = 0;
  size_t bytes = 0;
  for (auto* b : t.blocks) {
    samples += b->SampleCount;
    bytes += b->Data.size();
    if (b->SampleCount == 0) {
      EXPECT_TRUE(b->Data.empty());
    }
  }
  EXPECT_EQ(samples, uint64_t{audioFrames} * 1152);
  // Every byte written is a byte of an audio frame of the file.
  size_t frameBytes = 0;
  for (const auto& f : reader.MPEGInfo().FrameList)
    if (f.IsAudio) frameBytes += f.Size;
  EXPECT_EQ(bytes, frameBytes);
  EXPECT_EQ(t.blocks.back()->SampleCount, 0);
}

TEST(FlashSound, LoopingStreamStartsOverInsteadOfEnding) {
  TempDir dir;
  const fs::path mp3 = MakeSource(dir, "loop.mp3", 44100, 1, 0.5);
  TFlashMovie movie(0, 0, 0, 0, 12, TSystemCoord::Twips);
  TFlashSound& sound = movie.StreamSound();
  EXPECT_TRUE(sound.LoopStream);
  sound.LoadFromFile(mp3.string());
  movie.ShowFrame(30);
  TMemoryStream file;
  StreamTags t = BuildAndRead(movie, file);
  ASSERT_EQ(t.blocks.size(), 30u);
  for (auto* b : t.blocks) EXPECT_GE(b->SampleCount, 3 * 1152);
}

TEST(FlashSound, PcmBlocksAndWhatTheHeadAnnounces) {
  TempDir dir;
  const fs::path wav8 = MakeSource(dir, "mono8.wav", 11025, 1, 1.0, 8);
  const fs::path wav16 = MakeSource(dir, "stereo16.wav", 22050, 2, 1.0, 16);
  struct Case {
    fs::path file;
    uint8_t bits;
    uint8_t compression;  // announced
    bool size16;
    bool stereo;
    uint8_t rate;
    uint16_t perFrame;
    size_t blockBytes;  // 0: not checked (ADPCM)
  };
  const Case cases[] = {
      {wav8, 0, 0, false, false, 1, 918, 918},
      {wav8, 4, 1, true, false, 1, 918, 0},
      {wav16, 0, 0, true, true, 2, 1837, 1837 * 4},
      {wav16, 2, 1, true, true, 2, 1837, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.filename().string() + " bits " + std::to_string(c.bits));
    TFlashMovie movie(0, 0, 0, 0, 12, TSystemCoord::Twips);
    TFlashSound& sound = movie.StreamSound();
    sound.SetWaveCompressBits(c.bits);
    sound.LoadFromFile(c.file.string());
    sound.LoopStream = false;
    movie.ShowFrame(14);  // more frames than the second of sound fills
    TMemoryStream file;
    StreamTags t = BuildAndRead(movie, file);
    ASSERT_NE(t.head, nullptr);
    EXPECT_EQ(t.head->StreamSoundCompression, c.compression);
    EXPECT_EQ(t.head->StreamSoundSize, c.size16);
    EXPECT_EQ(t.head->StreamSoundType, c.stereo);
    EXPECT_EQ(t.head->StreamSoundRate, c.rate);
    EXPECT_EQ(t.head->SampleCount, c.perFrame);
    // One second at 12 frames per second: 12 blocks hold the data and 1 the rest; then the
    // sound has ended and the frames carry no blocks.
    const size_t expected = (sound.SampleCount + c.perFrame - 1) / c.perFrame;
    EXPECT_EQ(t.blocks.size(), expected);
    EXPECT_EQ(t.showFrames, 14);
    for (auto* b : t.blocks) {
      if (c.blockBytes) {
        EXPECT_EQ(b->Data.size(), c.blockBytes);
      } else {
        // SWF ADPCM: the code size in the first two bits.
        ASSERT_FALSE(b->Data.empty());
        EXPECT_EQ((b->Data[0] >> 6) + 2, c.bits);
      }
    }
  }
}

TEST(FlashSound, MicrosoftAdpcmStreamsEverySampleOfTheFile) {
  TempDir dir;
  const fs::path pcm = MakeSource(dir, "tone.wav", 22050, 2, 1.3);
  const fs::path adpcm = dir / "adpcm.wav";
  ASSERT_EQ(RunCommand({"sox", pcm.string(), "-e", "ms-adpcm", adpcm.string()}).status, 0);
  TFlashMovie movie(0, 0, 0, 0, 12, TSystemCoord::Twips);
  TFlashSound& sound = movie.StreamSound();
  sound.LoadFromFile(adpcm.string());
  sound.LoopStream = false;
  EXPECT_EQ(sound.SWFFormat, kSwfSoundADPCM);
  movie.ShowFrame(40);
  TMemoryStream file;
  StreamTags t = BuildAndRead(movie, file);
  ASSERT_NE(t.head, nullptr);
  EXPECT_EQ(t.head->StreamSoundCompression, 1);
  EXPECT_TRUE(t.head->StreamSoundType);
  // The samples decoded ahead of the file position still get their blocks.
  const size_t perFrame = t.head->SampleCount;
  EXPECT_EQ(t.blocks.size(), (sound.SampleCount + perFrame - 1) / perFrame);
}

TEST(FlashSound, BuildingTwiceStreamsTheSoundFromItsStartAgain) {
  TempDir dir;
  const fs::path wav = MakeSource(dir, "again.wav", 11025, 1, 0.5);
  TFlashMovie movie(0, 0, 0, 0, 12, TSystemCoord::Twips);
  TFlashSound& sound = movie.StreamSound();
  sound.LoadFromFile(wav.string());
  sound.LoopStream = false;
  movie.ShowFrame(6);
  movie.BuildBody();
  const std::vector<uint8_t> first(movie.BodyStream().Bytes().begin(),
                                   movie.BodyStream().Bytes().end());
  movie.BuildBody();
  const auto second = movie.BodyStream().Bytes();
  EXPECT_TRUE(std::equal(first.begin(), first.end(), second.begin(), second.end()));
}

TEST(FlashSound, WaveCompressBitsKeepsWhatTheFormatHas) {
  const std::pair<uint8_t, uint8_t> cases[] = {{0, 0}, {1, 0}, {2, 2}, {3, 3}, {4, 4},
                                               {5, 5}, {6, 5}, {9, 5}, {255, 5}};
  TFlashSound sound(nullptr);
  EXPECT_EQ(sound.WaveCompressBits(), 4);
  for (auto [in, out] : cases) {
    sound.SetWaveCompressBits(in);
    EXPECT_EQ(sound.WaveCompressBits(), out) << int(in);
  }
}

TEST(FlashSound, SourcesTheFormatCannotCarryAreRefused) {
  TempDir dir;
  const fs::path wav48 = MakeSource(dir, "48k.wav", 48000, 2, 0.2);
  const fs::path mp348 = MakeSource(dir, "48k.mp3", 48000, 2, 0.2);
  const fs::path wav16k = MakeSource(dir, "16k.wav", 16000, 1, 0.2);
  const fs::path wav24 = MakeSource(dir, "24bit.wav", 44100, 1, 0.2, 24);
  const fs::path junk = dir / "junk.mp3";
  tw::test::RunCommand({"sh", "-c", "head -c 20000 /dev/zero > " + junk.string()});
  const std::pair<fs::path, std::string> cases[] = {
      {wav48, "48000 Hz"}, {mp348, "48000 Hz"}, {wav16k, "16000 Hz"},
      {wav24, "no audio"}, {junk, "no audio"},  {dir / "missing.wav", ""}};
  for (const auto& [file, text] : cases) {
    SCOPED_TRACE(file.filename().string());
    TFlashSound sound(nullptr);
    try {
      sound.LoadFromFile(file.string());
      ADD_FAILURE() << "loaded";
    } catch (const audio::EAudioError& e) {
      EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
    }
    // The sound stays without data and writes nothing wrong: an empty event sound.
    EXPECT_EQ(sound.SampleCount, 0u);
  }
}

TEST(FlashSound, EventSoundHoldsTheWholeFile) {
  TempDir dir;
  const fs::path mp3 = MakeSource(dir, "event.mp3", 22050, 1, 1.0);
  const fs::path wav = MakeSource(dir, "event.wav", 11025, 2, 0.5);
  TFlashMovie movie(0, 0, 100, 100, 12, TSystemCoord::Twips);
  TFlashSound& a = movie.AddSound(mp3.string());
  a.SetWaveCompressBits(0);
  TFlashSound& b = movie.AddSound(wav.string());
  b.SetWaveCompressBits(0);
  ASSERT_NE(a.StartSound(), nullptr);
  movie.ShowFrame();
  EXPECT_EQ(movie.Sounds.Count(), 2u);
  EXPECT_EQ(a.CharacterId(), 1);
  EXPECT_EQ(b.CharacterId(), 2);
  TMemoryStream file;
  StreamTags t = BuildAndRead(movie, file);
  std::vector<TSWFDefineSound*> sounds;
  for (auto& info : t.reader->TagList)
    if (info->TagCode == 14) sounds.push_back(dynamic_cast<TSWFDefineSound*>(info->TagObject()));
  ASSERT_EQ(sounds.size(), 2u);
  EXPECT_EQ(sounds[0]->SoundFormat, 2);
  EXPECT_EQ(sounds[0]->SoundRate, 2);
  EXPECT_EQ(sounds[0]->SampleCount, a.SampleCount);
  EXPECT_EQ(sounds[0]->Data.size(), a.DataSize);
  EXPECT_EQ(sounds[1]->SoundFormat, 0);
  EXPECT_TRUE(sounds[1]->SoundType);
  EXPECT_EQ(sounds[1]->Data.size(), b.DataSize);
  EXPECT_EQ(sounds[1]->SampleCount, b.SampleCount);
  EXPECT_GE(t.reader->Version(), 4);
}

}  // namespace
}  // namespace tw::builder
