// `swf dump` names the main fields of placement and button tags of real movies, and with
// --actions lists their clip actions and button actions.
#include "support/testing.h"

namespace tw::test {
namespace {

struct DumpCase {
  const char* file;
  bool actions;
  std::vector<const char*> runs;  // each a run of text of the dump, in order
};

const DumpCase kCases[] = {
    {"swfcrate__DefineButtonCxformSound-MX.swf", false,
     {"TSWFDefineButton                       31  id=3  records=1@1:u,1@1:o,1@1:dh  actions=0",
      "TSWFDefineButtonCxform                 29  button=3  cxform=mult 256,0,0 add 1,0,0  "
      "cxform=mult 0,256,0 add 0,1,0  cxform=mult 0,0,256 add 0,0,1",
      "TSWFDefineButtonSound                  14  button=3  idletooverup=2  overuptooverdown=2",
      "TSWFPlaceObject                         8  depth=1  character=3  matrix=750,460"}},
    {"swfcrate__PlaceObject3-theworks.swf", false,
     {"TSWFPlaceObject3                      151  depth=1  character=2  matrix=200,200 scale 2,2"
      "  cxform=mult 128,64,192,256 add 60,40,20,80  name=\"test\"  clipactions=2  "
      "events=RollOver,ReleaseOutside,Data  blend=7  filters=GradientBevel,GradientGlow,Blur  "
      "cache=1  visible=0  background=#FF0000FF"}},
    {"swfcrate__PlaceObject3-Image.swf", false,
     {"TSWFPlaceObject3                        7  depth=1  character=1  matrix=0,0  image=1"}},
    {"avm1__movieclip_invalid_get_bounds_6__BoundsChild8.swf", false,
     {"TSWFPlaceObject2                    136  depth=1  character=33  matrix=77,17  ratio=1  "
      "clipactions=1  events=Initialize"}},
    {"swfcrate__PlaceObject2-ClipActions-CS6.swf", true,
     {"clipactions=3  events=EnterFrame,Release,Press,KeyPress\n",
      "      on Release,Press:\n", "Push            \"A\"\n", "Trace\n",
      "      on KeyPress key=99:\n", "Push            \"B\"\n",
      "      on EnterFrame:\n", "Push            \"C\"\n"}},
    {"swfcrate__DefineButton2-CS6.swf", true,
     {"TSWFDefineButton2                      66  id=4  records=2@1:uo,3@1:dh  menu=1  "
      "condactions=2\n",
      "      on OverDownToOverUp:\n", "Push            \"A\"\n",
      "      on key=3:\n", "Push            \"B\"\n"}},
};

TEST(SwfDump, ShowsPlacementAndButtonFieldsAndActions) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    std::vector<std::string> argv = {(ProgramDir() / "tunewright-cli").string(), "swf", "dump"};
    if (c.actions) argv.push_back("--actions");
    argv.push_back(CorpusFile("swf", c.file).string());
    const auto result = RunCommand(argv);
    ASSERT_EQ(result.status, 0) << result.err;
    size_t at = 0;
    for (const char* run : c.runs) {
      const size_t found = result.out.find(run, at);
      EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << run;
      if (found != std::string::npos) at = found + 1;
    }
  }
}

}  // namespace
}  // namespace tw::test
