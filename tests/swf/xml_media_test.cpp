// Bitmap, sound, video, placement and button tags as XML: forms the corpus lacks come back to
// their bytes, hand edits reach the movie, bad edits name their line.
#include <functional>
#include <sstream>

#include "support/testing.h"
#include "swf/bitmap_tags.h"
#include "swf/button_tags.h"
#include "swf/display_tags.h"
#include "swf/sound_tags.h"
#include "swf/xml.h"
#include "swf/xml_movie.h"

namespace tw::test {
namespace {
using namespace tw::swf;

struct TagText {
  std::string xml;
  Bytes body;  // what the tag read back from the text writes
};

// A tag read from its body, written as XML and read back from the text.
TagText ThroughXml(uint16_t code, std::span<const uint8_t> body, const TSWFReadContext& context) {
  auto tag = CreateTagObject(code);
  tag->BodySize = static_cast<int32_t>(body.size());
  tag->SetReadContext(context);
  TMemoryStream view = TMemoryStream::View(body);
  TBitsEngine be(view);
  tag->ReadFromStream(be);
  std::ostringstream out;
  TSWFXmlWriter xml(out, WriteContextOf(context));
  xml.Open(TagCodeName(code));
  tag->WriteXml(xml);
  xml.Finish();
  TSWFXmlDocument document(out.str(), "tag.xml");
  auto back = CreateTagObject(code);
  back->SetReadContext(context);
  back->ReadXml(document.Root());
  document.CheckAllRead();
  return {out.str(), WriteBody(*back, WriteContextOf(context))};
}

TEST(XmlMedia, FormsTheCorpusLacksComeBackToTheirBytes) {
  struct Case {
    uint16_t code;
    std::string_view body, shows;
    uint8_t streamFormat = 0;
  };
  const Case cases[] = {
      // a PNG image goes as it stands, without a word about it
      {21, "0100 89504E470D0A1A0A 0000000D", "<ImageData>iVBORw0KGgoAAAAN</ImageData>"},
      // JPEG bytes whose markers fit neither form
      {21, "0100 FFD8FFD811FFD9", "AsIs=\"true\""},
      // the stripped form around bytes that look like a PNG
      {6, "0100 FFD8 89504E47 FFD9", "AsIs=\"false\""},
      {8, "FFD9FFD8 FFD8FFDB0002", "<JPEGData>/9j/2wAC</JPEGData>"},
      {35, "0100 06000000 FFD8AABBFFD9 789C01", "<BitmapAlphaData>eJwB</BitmapAlphaData>"},
      // the alpha offset of a DefineBitsJPEG4 counts the image alone, not the deblocking field
      {90, "0100 06000000 8000 FFD8AABBFFD9 789C01", "CharacterId=\"1\" DeblockParam=\"0.5\">"},
      {90, "0100 06000000 FFFF FFD8AABBFFD9", "DeblockParam=\"255.99609375\""},
      {20, "0100 03 0200 0200 07 789C", "BitmapColorTableSize=\"7\""},
      {36, "0100 05 0200 0200 789C", "BitmapFormat=\"5\""},
      {14, "0100 2F 10000000 FFFF FFFB", "SoundRate=\"44kHz\" SoundSize=\"16bit\" SoundType=\"stereo\""},
      {14, "0100 05 10000000 0102", "SoundFormat=\"uncompressed\" SoundRate=\"11kHz\" SoundSize=\"8bit\" SoundType=\"stereo\""},
      {14, "0100 F0 00000000", "SoundFormat=\"15\""},
      // a loop count present with the value 0, and an envelope
      {15, "0100 2C 0000 01 10000000 0080 0040", "LoopCount=\"0\""},
      {89, "536E6400 03 01000000 02000000", "SoundClassName=\"Snd\" InPoint=\"1\" OutPoint=\"2\""},
      {45, "5F 2E 4002 FEFF", "Reserved=\"5\""},
      {19, "4002 0000 FFFB", "SampleCount=\"576\" SeekSamples=\"0\"", kSoundFormatMP3},
      {19, "FFFB", "<StreamSoundData>//s=</StreamSoundData>"},
      {17, "0500 0000 0700 00 0000 0700 10", "<OverDownToOverUp SoundId=\"7\" SyncNoMultiple=\"true\"/>"},
      {60, "0100 0A00 4001 F000 5B 04", "VideoFlagsDeblocking=\"5\" VideoFlagsSmoothing=\"true\" VideoFlagsReserved=\"5\""},
      {61, "0100 0300 AABB", "<VideoData>qrs=</VideoData>"},
      {5, "0100 0200", "CharacterId=\"1\" Depth=\"2\""},
      {4, "0100 0200 00", "<Matrix TranslateX=\"0\" TranslateY=\"0\"/>"},
      {4, "0100 0200 00 89C0", "RedAddTerm=\"1\" GreenAddTerm=\"-1\""},
      {26, "82 0100 0200 0000 02000000 02000000 01000000 00 00000000", "AllEventFlags=\"EnterFrame\""},
      // a key press without actions and without their End code, and bytes after the records
      {26, "82 0100 0200 0000 00000200 00000200 01000000 0D 00000000 AABB",
       "EventFlags=\"KeyPress\" KeyCode=\"13\" EndCode=\"false\"/>\n    <Trailing>qrs=</Trailing>"},
      {70, "03 FE 0100 4300 0200 03 00 00 11223344",
       "ClassName=\"C\" PlaceFlagHasImage=\"true\" BlendMode=\"multiply\" BitmapCache=\"0\" Visible=\"0\" "
       "BackgroundColor=\"#11223344\" Reserved=\"true\""},
      {70, "00 01 0100 01 01 00000100 00000100 08", "<BlurFilter"},
      {7, "0100 0F 0200 0100 00 00 07 00", "ButtonStateUp=\"true\">"},
      {7, "0100 0F 0200 0100 00 00 07", "EndCode=\"false\""},
      {34, "0100 03 0B00 28 0200 0100 00 00 05 00 0000 01 1A 07 00",
       "<ButtonCondAction Conditions=\"IdleToOverUp\" KeyPress=\"13\">"},
      {23, "0100 89C0 89C0", "<ColorTransform RedAddTerm=\"1\" GreenAddTerm=\"-1\" BlueAddTerm=\"0\"/>\n  <ColorTransform"},
      {28, "0200", "Depth=\"2\""},
  };
  for (const auto& c : cases) {
    const Bytes body = Hex(c.body);
    TSWFReadContext context;
    context.Version = 10;
    context.ParseActions = true;
    context.StreamSoundFormat = c.streamFormat;
    const TagText through = ThroughXml(c.code, body, context);
    EXPECT_EQ(ToHex(through.body), ToHex(body)) << through.xml;
    EXPECT_NE(through.xml.find(c.shows), std::string::npos) << through.xml;
  }
}

// A small movie to edit by hand: a sound, its start, a placement.
constexpr std::string_view kMovie = R"(<?xml version="1.0" encoding="UTF-8"?>
<SWF Version="10" Compressed="false" FrameRate="12" FrameCount="1">
  <FrameSize Xmin="0" Xmax="8000" Ymin="0" Ymax="6000"/>
  <DefineSound SoundId="1" SoundFormat="MP3" SoundRate="44kHz" SoundSize="16bit" SoundType="stereo" SoundSampleCount="1152" SeekSamples="0">
    <SoundData>//s=</SoundData>
  </DefineSound>
  <StartSound SoundId="1" LoopCount="2">
    <SoundEnvelope Pos44="0" LeftLevel="32768" RightLevel="0"/>
  </StartSound>
  <DefineBitsLossless CharacterId="2" BitmapFormat="5" BitmapWidth="1" BitmapHeight="1">
    <ZlibBitmapData>eJxjYGD4DwABBAEA</ZlibBitmapData>
  </DefineBitsLossless>
  <PlaceObject2 Depth="1" CharacterId="2">
    <Matrix TranslateX="100" TranslateY="200"/>
    <ClipActions AllEventFlags="EnterFrame">
      <ClipActionRecord EventFlags="EnterFrame">
        <Stop/>
      </ClipActionRecord>
    </ClipActions>
  </PlaceObject2>
  <DefineButton2 ButtonId="3">
    <ButtonRecord CharacterId="2" PlaceDepth="1" ButtonStateUp="true">
      <Matrix TranslateX="0" TranslateY="0"/>
      <ColorTransform/>
    </ButtonRecord>
  </DefineButton2>
  <DefineBitsJPEG4 CharacterId="4" DeblockParam="0.5">
    <ImageData>/9iqu//Z</ImageData>
    <BitmapAlphaData>eJwB</BitmapAlphaData>
  </DefineBitsJPEG4>
  <ShowFrame/>
  <End/>
</SWF>
)";

std::string Edited(std::string_view from, std::string_view to) {
  std::string text(kMovie);
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The tag at index of the movie a text compiles to, as the library reads it back.
template <class T>
void CheckCompiled(const std::string& text, size_t index, const std::function<void(T&)>& check) {
  auto compiled = ReadMovieXml(text, "movie.xml");
  TMemoryStream bytes;
  compiled->SaveToStream(bytes);
  TSWFStreamReader movie(bytes.Bytes());
  movie.ParseTags(true, true);
  ASSERT_LT(index, movie.TagList.size());
  auto* tag = dynamic_cast<T*>(movie.TagList[index]->TagObject());
  ASSERT_NE(tag, nullptr) << TagCodeName(movie.TagList[index]->TagCode);
  check(*tag);
}

TEST(XmlMediaEdits, AnEditedFieldReachesTheCompiledMovie) {
  struct Case {
    std::string_view from, to;
    uint8_t rate;
    uint32_t samples;
  };
  const Case rates[] = {
      {"SoundRate=\"44kHz\"", "SoundRate=\"44kHz\"", 3, 1152},
      {"SoundRate=\"44kHz\"", "SoundRate=\"22kHz\"", 2, 1152},
      {"SoundRate=\"44kHz\"", "SoundRate=\"1\"", 1, 1152},
      {"SoundSampleCount=\"1152\"", "SoundSampleCount=\"4000000000\"", 3, 4000000000u},
  };
  for (const auto& c : rates) {
    CheckCompiled<TSWFDefineSound>(Edited(c.from, c.to), 0, [&](TSWFDefineSound& sound) {
      EXPECT_EQ(sound.SoundRate, c.rate) << c.to;
      EXPECT_EQ(sound.SampleCount, c.samples) << c.to;
      EXPECT_EQ(sound.SoundFormat, kSoundFormatMP3);
      EXPECT_EQ(sound.Data, Bytes({0xFF, 0xFB}));
    });
  }
  for (const auto& d : {std::pair{"1", 1}, {"300", 300}, {"65535", 65535}}) {
    CheckCompiled<TSWFPlaceObject2>(Edited("Depth=\"1\"", std::string("Depth=\"") + d.first + "\""), 3,
                                    [&](TSWFPlaceObject2& place) {
                                      EXPECT_EQ(place.Depth, d.second);
                                      EXPECT_EQ(place.CharacterId, 2);
                                      ASSERT_NE(place.FindMatrix(), nullptr);
                                      EXPECT_EQ(place.FindMatrix()->TranslateY, 200);
                                      ASSERT_NE(place.FindClipActions(), nullptr);
                                      EXPECT_EQ(place.FindClipActions()->Records.at(0)->EventFlags, ceEnterFrame);
                                    });
  }
  CheckCompiled<TSWFStartSound>(Edited("LoopCount=\"2\"", "LoopCount=\"9\" SyncStop=\"true\""), 1,
                                [](TSWFStartSound& start) {
                                  EXPECT_EQ(start.LoopCount(), 9);
                                  EXPECT_TRUE(start.SyncStop);
                                  ASSERT_EQ(start.Envelope.size(), 1u);
                                  EXPECT_EQ(start.Envelope[0].LeftLevel, 32768);
                                });
  for (const auto& d : {std::pair{"0.5", 128}, {"0", 0}, {"1", 256}, {"0.25", 64}}) {
    CheckCompiled<TSWFDefineBitsJPEG4>(
        Edited("DeblockParam=\"0.5\"", std::string("DeblockParam=\"") + d.first + "\""), 5,
        [&](TSWFDefineBitsJPEG4& image) {
          EXPECT_EQ(image.DeblockParam, d.second) << d.first;
          EXPECT_EQ(image.ID, 4);
          EXPECT_EQ(ToHex(image.Data), "FF D8 AA BB FF D9");
          EXPECT_EQ(ToHex(image.AlphaData), "78 9C 01");
        });
  }
}

TEST(XmlMediaEdits, ABadEditNamesTheFileAndLine) {
  struct Case {
    std::string_view from, to, message;
  };
  const Case cases[] = {
      {"SoundRate=\"44kHz\"", "SoundRate=\"48kHz\"",
       "movie.xml:4: SoundRate=\"48kHz\" is none of 5.5kHz, 11kHz, 22kHz, 44kHz nor a number from 0 to 3"},
      {"SoundRate=\"44kHz\"", "SoundRate=\"4\"", "movie.xml:4: SoundRate=4 is out of range (0 to 3)"},
      {"SoundType=\"stereo\"", "SoundType=\"quad\"", "movie.xml:4: SoundType=\"quad\" is none of mono, stereo"},
      {"SoundFormat=\"MP3\"", "SoundFormat=\"uncompressed\"", "movie.xml:4: unknown attribute SeekSamples of <DefineSound>"},
      {"SoundSampleCount=\"1152\"", "SoundSampleCount=\"-1\"", "movie.xml:4: SoundSampleCount=-1 is out of range"},
      {"<SoundData>//s=</SoundData>", "<SoundData>//s!</SoundData>", "movie.xml:5: <SoundData> does not hold base64 data"},
      {"LoopCount=\"2\"", "LoopCount=\"65536\"", "movie.xml:7: LoopCount=65536 is out of range (0 to 65535)"},
      {"<SoundEnvelope ", "<SoundEnvelop ", "movie.xml:8: unknown element <SoundEnvelop>"},
      {"BitmapFormat=\"5\"", "BitmapFormat=\"300\"", "movie.xml:10: BitmapFormat=300 is out of range (0 to 255)"},
      {"BitmapFormat=\"5\"", "BitmapFormat=\"5\" BitmapColorTableSize=\"3\"",
       "movie.xml:10: unknown attribute BitmapColorTableSize of <DefineBitsLossless>"},
      {"Depth=\"1\"", "Depth=\"65536\"", "movie.xml:13: Depth=65536 is out of range (0 to 65535)"},
      {"<ClipActionRecord EventFlags=\"EnterFrame\"", "<ClipActionRecord EventFlags=\"EnterFrame,Jump\"",
       "movie.xml:16: EventFlags: \"Jump\" is none of KeyUp, KeyDown"},
      {"<ClipActionRecord EventFlags=\"EnterFrame\"", "<ClipActionRecord EventFlags=\"none\"", "movie.xml:16: a <ClipActionRecord> needs at least one event"},
      {"<Stop/>", "<Stop/><Jump/>", "movie.xml:17: <Jump> lacks the attribute Label"},
      {" ButtonStateUp=\"true\"", "", "movie.xml:22: a <ButtonRecord> shows its character in no state"},
      {"<ColorTransform/>", "", "movie.xml:22: <ButtonRecord> lacks its <ColorTransform> element"},
      {"BitmapFormat=\"5\"", "BitmapFormat=\"3\"", "movie.xml:10: <DefineBitsLossless> lacks the attribute BitmapColorTableSize"},
      {"DeblockParam=\"0.5\"", "DeblockParam=\"256\"", "movie.xml:27: DeblockParam is out of range (0 to 255.99609375)"},
      {"DeblockParam=\"0.5\"", "DeblockParam=\"-1\"", "movie.xml:27: DeblockParam is out of range"},
      {" DeblockParam=\"0.5\"", "", "movie.xml:27: <DefineBitsJPEG4> lacks the attribute DeblockParam"},
  };
  for (const auto& c : cases) {
    try {
      ReadMovieXml(Edited(c.from, c.to), "movie.xml");
      ADD_FAILURE() << "accepted: " << c.to;
    } catch (const ESWFXmlError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, c.message.size()), c.message) << e.what();
    }
  }
  // An envelope has at most 255 points: the count is a byte.
  std::string points;
  for (int i = 0; i < 256; ++i) points += "<SoundEnvelope Pos44=\"0\" LeftLevel=\"0\" RightLevel=\"0\"/>";
  try {
    ReadMovieXml(Edited("<SoundEnvelope ", points + "<SoundEnvelope "), "movie.xml");
    ADD_FAILURE() << "256 envelope points accepted";
  } catch (const ESWFXmlError& e) {
    EXPECT_NE(std::string_view(e.what()).find("at most 255 points"), std::string_view::npos) << e.what();
  }
}

}  // namespace
}  // namespace tw::test
