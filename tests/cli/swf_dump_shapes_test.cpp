// `swf dump` shows the main fields of shapes, morph shapes and bitmaps of real movies.
#include "support/testing.h"

namespace tw::test {
namespace {

std::string Dump(std::string_view movie) {
  const CommandResult r = RunCommand({(ProgramDir() / "tunewright-cli").string(), "swf", "dump",
                                      CorpusFile("swf", movie).string()});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

TEST(SwfDumpShapes, ShowsBoundsRecordCountsAndBitmapSizes) {
  const struct {
    const char* movie;
    std::vector<std::string> lines;  // parts of lines the dump must have
  } cases[] = {
      {"from_shumway__bitmapbuttons__test.swf",
       {"TSWFDefineBits ", "id=1  image=jpeg  size=680x400  bytes=5226",
        "TSWFDefineBitsLossless ", "id=4  format=5  size=210x2  bytes=29",
        "TSWFDefineBitsJPEG3", "size=426x220  bytes=2140  alphabytes=2441",
        "TSWFDefineShape3",
        "id=10  bounds=0,0-840,840  fills=1  lines=0  records=10 (1 style, 4 straight, 4 curved)",
        "TSWFJPEGTables", "bytes=0"}},
      {"swfcrate__DefineMorphShape2.swf",
       {"TSWFDefineMorphShape2", "start=300,300-4500,4500  end=500,307-4241,2967",
        "startrecords=11 (2 style, 8 straight, 0 curved)", "startedges=400,400-4400,4400",
        "TSWFDefineShape4", "edges=520,327-4221,2947"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.movie);
    const std::string out = Dump(c.movie);
    for (const auto& part : c.lines) EXPECT_NE(out.find(part), std::string::npos) << part;
    for (int code : {2, 6, 8, 20, 21, 22, 32, 35, 36, 46, 83, 84})
      EXPECT_EQ(out.find("raw=" + std::to_string(code) + " "), std::string::npos) << code;
  }
}

}  // namespace
}  // namespace tw::test
