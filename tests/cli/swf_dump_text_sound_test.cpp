// `swf dump` names the main fields of font, text, sound, video and DoABC tags of real movies.
#include "support/testing.h"

namespace tw::test {
namespace {

TEST(SwfDump, ShowsFontTextSoundVideoAndABCFields) {
  struct Case {
    const char* file;
    std::vector<const char*> lines;  // each a run of fields on one tag's line
  };
  const Case cases[] = {
      {"avm1__edittext_html_entity__test.swf",
       {"TSWFDefineFont3                     12139  id=1  name=\"Noto Sans\"  glyphs=114",
        "TSWFDefineFontAlignZones             1143  font=1  hint=1  zones=114",
        "TSWFDefineEditText                    265  id=2",
        "font=1  height=240  color=#000000FF",
        "TSWFCSMTextSettings                    12  text=2  flashtype=1  gridfit=pixel"}},
      {"avm2__simplebutton_soundtransform__test.swf",
       {"TSWFDefineSound                      4189  id=2  format=MP3  rate=44kHz  size=16bit  "
        "channels=mono  samples=46080",
        // inside a sprite
        "  TSWFStartSound                       68  sound=2  nomultiple=yes  envelope=8",
        "TSWFDoABC                           14742  name=\"\"  lazy=yes  abc=46.16  bytes=14733  "
        "methods=53  scripts=1  classes=1  names=MainTimeline"}},
      {"swfcrate__SoundStreamHead2.swf",
       {"TSWFSoundStreamHead2                    4  format=uncompressed-LE  rate=5.5kHz  "
        "size=16bit  channels=mono  samples=229",
        "TSWFSoundStreamBlock                  460  format=uncompressed-LE  bytes=460"}},
      {"visual__video__vp6_dispsize__test.swf",
       {"TSWFDefineVideoStream                  10  id=0  size=640x480  frames=1  codec=VP6",
        "TSWFVideoFrame                      20497  stream=0  frame=0  bytes=20493"}},
      {"from_gnash__misc-ming.all__DefineTextTest__test.swf",
       {"TSWFDefineText                         36  id=4  bounds=0,-2968-5761,54  records=2  "
        "glyphs=2  fonts=6@4000,6@4000"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto result = RunCommand({(ProgramDir() / "tunewright-cli").string(), "swf", "dump",
                                    CorpusFile("swf", c.file).string()});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* line : c.lines) EXPECT_NE(result.out.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace tw::test
