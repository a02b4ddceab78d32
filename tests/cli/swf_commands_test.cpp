// tunewright-cli swf dump --actions and swf copy, run as a program.
#include "support/testing.h"
#include "swf/action_tags.h"

namespace tw::test {
namespace {
using namespace tw::swf;

std::string Cli() { return (ProgramDir() / "tunewright-cli").string(); }

TEST(SwfDumpActions, PrintsEachActionListAsAssembly) {
  const auto movie = CorpusFile("swf", "avm1__add2__test.swf").string();
  const auto r = RunCommand({Cli(), "swf", "dump", "--actions", movie});
  ASSERT_EQ(r.status, 0) << r.err;
  // The tag line, then its listing: a function with its body indented and closed.
  EXPECT_NE(r.out.find("TSWFDoAction                         1911  records="), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n        DefineFunction2 \"testAdd\" (r1 a, r2 b) registers 5, suppress super, "
                       "suppress arguments, suppress this {\n"
                       "          Push            register 1, constant 0 \"name\"\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n        }\n"), std::string::npos);
  EXPECT_NE(r.out.find("          If              label_"), std::string::npos);

  // Without the option the actions stay raw and nothing is listed.
  const auto plain = RunCommand({Cli(), "swf", "dump", movie});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(plain.out.find("raw=1910 bytes"), std::string::npos) << plain.out;
  EXPECT_EQ(plain.out.find("Push"), std::string::npos);
}

TEST(SwfDumpActions, ListsActionsInsideSprites) {
  const auto movie = CorpusFile("swf", "avm1__target_paths__swf4__test.swf").string();
  const auto r = RunCommand({Cli(), "swf", "dump", "--actions", movie});
  ASSERT_EQ(r.status, 0) << r.err;
  // An inner tag line is indented by two, its listing by two more.
  EXPECT_NE(r.out.find("       12   TSWFDoAction"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n          Push            \"variable\"\n          Push            \"value\"\n"
                       "          DefineLocal\n"),
            std::string::npos)
      << r.out;
}

TEST(SwfCopy, CopiesMoviesWithDecodedActions) {
  TempDir dir;
  const auto movie = CorpusFile("swf", "avm1__try_catch_finally__test.swf");
  const auto out = dir / "copy.swf";
  const auto r = RunCommand({Cli(), "swf", "copy", movie.string(), out.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  TSWFStreamReader original(movie), copy(out);
  original.ParseTags(true, true);
  copy.ParseTags(true, true);
  ASSERT_EQ(copy.TagList.size(), original.TagList.size());
  size_t actions = 0;
  for (size_t i = 0; i < original.TagList.size(); ++i) {
    auto* a = dynamic_cast<TSWFDoAction*>(original.TagList[i]->TagObject());
    if (!a) continue;
    auto* b = dynamic_cast<TSWFDoAction*>(copy.TagList[i]->TagObject());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(WriteBody(*b), WriteBody(*a));
    ++actions;
  }
  EXPECT_GT(actions, 0u);
}

}  // namespace
}  // namespace tw::test
