// Sound tags against bytes cut out of real movies, and the layouts that writing must get right.
#include "swf/sound_tags.h"

#include "tag_case_table.h"

namespace tw::test {
namespace {
using namespace tw::swf;

TEST(SoundTags, ReadAndWriteRealBytes) {
  const TagCase<TSWFDefineSound> sounds[] = {
      {"ten 16-bit little-endian samples", "swfcrate__DefineSound.swf", 4,
       [](const TSWFDefineSound& t) {
         EXPECT_EQ(t.ID, 1);
         EXPECT_EQ(t.SoundFormat, 3);
         EXPECT_EQ(t.SoundRate, 3);
         EXPECT_TRUE(t.SoundSize);
         EXPECT_FALSE(t.SoundType);
         EXPECT_EQ(t.SampleCount, 10u);
         EXPECT_EQ(t.DataSize(), 20u);
         EXPECT_EQ(t.MinVersion(), 4);
       }},
      {"MP3 at 44 kHz", "avm2__simplebutton_soundtransform__test.swf", 7,
       [](const TSWFDefineSound& t) {
         EXPECT_EQ(t.ID, 2);
         EXPECT_EQ(t.SoundFormat, kSoundFormatMP3);
         EXPECT_EQ(t.SoundRate, 3);
         EXPECT_EQ(t.SampleCount, 46080u);  // 40 MPEG frames of 1152 samples
         EXPECT_EQ(t.SeekSamples, 0);
         ASSERT_EQ(t.DataSize(), 4189u - 9);
         EXPECT_EQ(t.Data[0], 0xFF);  // an MPEG frame header follows SeekSamples
         EXPECT_EQ(t.Data[1], 0xFB);
       }},
  };
  CheckTagCases<TSWFDefineSound>(sounds);

  const TagCase<TSWFStartSound> starts[] = {
      {"three loops, no multiple", "swfcrate__DefineSound.swf", 5,
       [](const TSWFStartSound& t) {
         EXPECT_EQ(t.ID, 1);
         EXPECT_TRUE(t.SyncNoMultiple);
         EXPECT_FALSE(t.SyncStop || t.HasEnvelope || t.HasInPoint || t.HasOutPoint);
         EXPECT_TRUE(t.HasLoops);
         EXPECT_EQ(t.LoopCount(), 3);
       }},
  };
  CheckTagCases<TSWFStartSound>(starts);

  const TagCase<TSWFStartSound2> starts2[] = {
      {"by class name, with an envelope", "swfcrate__StartSound2.swf", 5,
       [](const TSWFStartSound2& t) {
         EXPECT_EQ(t.ClassName, "TestSound");
         EXPECT_TRUE(t.HasEnvelope);
         EXPECT_EQ(t.Envelope, (std::vector<TSWFSoundEnvelope>{{0, 0, 0x8000}}));
         EXPECT_EQ(t.MinVersion(), 9);
       }},
  };
  CheckTagCases<TSWFStartSound2>(starts2);

  const TagCase<TSWFSoundStreamHead2> heads[] = {
      {"uncompressed little-endian stream", "swfcrate__SoundStreamHead2.swf", 3,
       [](const TSWFSoundStreamHead2& t) {
         EXPECT_EQ(t.StreamSoundCompression, 3);
         EXPECT_EQ(t.StreamSoundRate, 0);
         EXPECT_TRUE(t.StreamSoundSize);
         EXPECT_FALSE(t.StreamSoundType);
         EXPECT_EQ(t.SampleCount, 229);
         EXPECT_TRUE(t.PlaybackSoundSize);
         EXPECT_EQ(t.Reserved, 0);
       }},
      {"the bits above the playback fields are kept", "avm2__simplebutton_soundtransform__test.swf",
       5,
       [](const TSWFSoundStreamHead2& t) {
         EXPECT_EQ(t.Reserved, 2);
         EXPECT_EQ(t.PlaybackSoundRate, 1);
         EXPECT_TRUE(t.PlaybackSoundSize && t.PlaybackSoundType);
         EXPECT_EQ(t.StreamSoundCompression, 0);
       }},
  };
  CheckTagCases<TSWFSoundStreamHead2>(heads);

  TSWFReadContext afterHead = CorpusContext(31);
  afterHead.StreamSoundFormat = 3;
  const TagCase<TSWFSoundStreamBlock> blocks[] = {
      {"a block of uncompressed samples", "swfcrate__SoundStreamHead2.swf", 4,
       [](const TSWFSoundStreamBlock& t) {
         EXPECT_EQ(t.StreamSoundCompression, 3);
         EXPECT_EQ(t.DataSize(), 460u);
       }},
  };
  CheckTagCases<TSWFSoundStreamBlock>(blocks, &afterHead);
}

TEST(SoundTags, StreamHeadWritesLatencyForMP3) {
  // An MP3 head of four bytes has no LatencySeek: it reads as 0 and is written with it.
  const auto head = ReadTag<TSWFSoundStreamHead2>(Hex("0E 2E 40 06"));
  EXPECT_EQ(head->StreamSoundCompression, kSoundFormatMP3);
  EXPECT_EQ(head->LatencySeek, 0);
  EXPECT_EQ(ToHex(WriteBody(*head)), "0E 2E 40 06 00 00");
  EXPECT_EQ(head->MinVersion(), 4);
  const auto six = ReadTag<TSWFSoundStreamHead2>(Hex("0E 2E 40 06 FE FF"));
  EXPECT_EQ(six->LatencySeek, -2);
}

TEST(SoundTags, SoundInfoLayouts) {
  struct Case {
    const char* name;
    std::function<void(TSWFStartSound&)> set;
    const char* bytes;
  };
  const Case cases[] = {
      {"an envelope flag without points is dropped",
       [](TSWFStartSound& t) { t.HasEnvelope = true; }, "05 00 00"},
      {"in-point then loop count, no out-point",
       [](TSWFStartSound& t) {
         t.SetInPoint(0x11223344);
         t.SetLoopCount(2);
       },
       "05 00 05 44 33 22 11 02 00"},
      {"stop", [](TSWFStartSound& t) { t.SyncStop = true; }, "05 00 20"},
      {"two envelope points",
       [](TSWFStartSound& t) {
         t.HasEnvelope = true;
         t.Envelope = {{1, 2, 3}, {4, 5, 6}};
       },
       "05 00 08 02 02 00 00 00 01 00 03 00 05 00 00 00 04 00 06 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFStartSound t;
    t.ID = 5;
    c.set(t);
    const Bytes body = WriteBody(t);
    EXPECT_EQ(ToHex(body), c.bytes);
    const auto back = ReadTag<TSWFStartSound>(body);
    EXPECT_TRUE(CompareFields(t, *back).Same()) << CompareFields(t, *back).Difference();
  }
  TSWFStartSound tooMany;
  tooMany.HasEnvelope = true;
  tooMany.Envelope.resize(256);
  EXPECT_THROW(WriteBody(tooMany), ESWFError);
}

TEST(SoundTags, CopyKeepsALoopCountOfZero) {
  // Present with the value 0: a copy must write it as the source does.
  auto source = ReadTag<TSWFStartSound>(Hex("01 00 04 00 00"));
  ASSERT_TRUE(source->HasLoops);
  auto copy = CloneTag(*source);
  const Bytes expected = WriteBody(*source);
  source.reset();
  EXPECT_EQ(ToHex(WriteBody(*copy)), ToHex(expected));
}

TEST(SoundTags, DefineSoundFixedFields) {
  struct Case {
    uint8_t format;
    size_t fixed;
  };
  for (const Case c : {Case{kSoundFormatMP3, 9}, Case{1, 7}}) {
    SCOPED_TRACE(int{c.format});
    TSWFDefineSound sound;
    sound.SoundFormat = c.format;
    sound.Data = {1, 2, 3};
    EXPECT_EQ(WriteBody(sound).size(), c.fixed + 3);
  }
}

TEST(SoundTags, BuilderSuppliesThePayloadAfterTheFixedFields) {
  TSWFSoundStreamBlock block;
  block.StreamSoundCompression = kSoundFormatMP3;
  block.SampleCount = 1152;
  block.SeekSamples = 219;
  block.OnDataWrite = [](TSWFDataObject&, TBitsEngine& be) { be.WriteBytes(Hex("FF FB")); };
  // The tag is always written with the long header.
  EXPECT_EQ(ToHex(WriteWhole(block)), "FF 04 06 00 00 00 80 04 DB 00 FF FB");
  // A copy writes through the same callback.
  const auto copy = CloneTag(block);
  EXPECT_EQ(ToHex(WriteBody(*copy)), "80 04 DB 00 FF FB");
}

TEST(SoundTags, StreamBlocksReadWithTheFormatOfTheirHead) {
  struct Case {
    const char* name;
    uint8_t compression;
    uint16_t sampleCount;
    size_t payload;
  };
  const Case cases[] = {
      {"after an MP3 head: four bytes of sample count and seek", kSoundFormatMP3, 0x10, 2},
      {"after an ADPCM head: all payload", 1, 0, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFSoundStreamHead head;
    head.StreamSoundCompression = c.compression;
    TSWFSoundStreamBlock block;  // written as raw bytes: no format of its own
    block.Data = Hex("10 00 20 00 AA BB");
    TSWFStreamReader reader(MovieOf({&head, &block}));
    reader.ParseTags(true, false);
    const auto* read = dynamic_cast<const TSWFSoundStreamBlock*>(reader.TagList.at(1)->TagObject());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->StreamSoundCompression, c.compression);
    EXPECT_EQ(read->SampleCount, c.sampleCount);
    EXPECT_EQ(read->DataSize(), c.payload);
  }
}

TEST(SoundTags, IdsForRenumbering) {
  TSWFDefineSound sound;
  sound.ID = 3;
  TSWFStartSound start;
  start.ID = 3;
  TSWFStartSound2 byClass;
  std::vector<uint16_t> seen;
  sound.VisitDefinedIDs([&](uint16_t& id) { seen.push_back(id); });
  start.VisitReferencedIDs([&](uint16_t& id) { seen.push_back(id); });
  byClass.VisitReferencedIDs([&](uint16_t& id) { seen.push_back(id); });
  EXPECT_EQ(seen, (std::vector<uint16_t>{3, 3}));
}

}  // namespace
}  // namespace tw::test
