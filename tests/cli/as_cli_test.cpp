// tunewright-cli as compile | disasm, run as a user runs them.
#include <fstream>

#include "support/testing.h"
#include "swf/action_tags.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

std::string Cli() { return (ProgramDir() / "tunewright-cli").string(); }

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

TEST(AsCli, CompilesAScriptIntoAMovieOfOneFrame) {
  TempDir dir;
  WriteText(dir / "hello.as", "var greeting = 'hello';\ntrace(greeting + ' world');\n");
  auto r = RunCommand({Cli(), "as", "compile", (dir / "hello.as").string(), "-o",
                       (dir / "hello.swf").string(), "--flash-version", "7", "--size", "320x240"});
  ASSERT_EQ(r.status, 0) << r.err;
  swf::TSWFStreamReader movie(dir / "hello.swf");
  ASSERT_TRUE(movie.IsSWF);
  movie.ParseTags(true, true);
  EXPECT_EQ(movie.Version(), 7);
  EXPECT_EQ(movie.FrameCount(), 1);
  EXPECT_EQ(movie.FrameRect().Right, 320 * 20);
  EXPECT_EQ(movie.FrameRect().Bottom, 240 * 20);
  ASSERT_EQ(movie.TagList.size(), 3u);  // DoAction, ShowFrame, End
  const auto* doAction = dynamic_cast<const swf::TSWFDoAction*>(movie.TagList[0]->TagObject());
  ASSERT_NE(doAction, nullptr);
  EXPECT_GT(doAction->Actions().Count(), 3u);

  r = RunCommand({Cli(), "as", "disasm", (dir / "hello.swf").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "TSWFDoAction, frame 1\n"
            "    ConstantPool    \"greeting\", \"hello\", \" world\"\n"
            "    Push            constant 0 \"greeting\", constant 1 \"hello\"\n"
            "    DefineLocal\n"
            "    Push            constant 0 \"greeting\"\n"
            "    GetVariable\n"
            "    Push            constant 2 \" world\"\n"
            "    Add2\n"
            "    Trace\n");
}

TEST(AsCli, ReportsErrorsAndWritesNothing) {
  TempDir dir;
  WriteText(dir / "bad.as", "if (a) {\n  b();\n");
  const auto out = dir / "bad.swf";
  struct TCase {
    std::vector<std::string> Args;
    std::string Error;
  };
  const TCase cases[] = {
      {{"as", "compile", (dir / "bad.as").string(), "-o", out.string()},
       (dir / "bad.as").string() + ":1:8: '{' is never closed: the file ends before its '}'"},
      {{"as", "compile", (dir / "missing.as").string(), "-o", out.string()}, "missing.as"},
      {{"as", "compile", (dir / "bad.as").string(), "-o", out.string(), "--size", "10by10"},
       "--size takes WIDTHxHEIGHT in pixels, each from 1 to 8191, not \"10by10\""},
      {{"as", "disasm", (dir / "bad.as").string()}, "bad.as: not a SWF movie"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args[1]);
    std::vector<std::string> argv = {Cli()};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    auto r = RunCommand(argv);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.Error), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
  }
  // A version the compiler does not take is refused by the option itself.
  auto r = RunCommand({Cli(), "as", "compile", (dir / "bad.as").string(), "-o", out.string(),
                       "--flash-version", "4"});
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(fs::exists(out));
}

TEST(AsCli, DisassemblesTheActionsOfARealMovie) {
  const auto movie = CorpusFile("swf", "swfcrate__DoAction-CS6.swf");
  auto r = RunCommand({Cli(), "as", "disasm", movie.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Push            \"Testing!\"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Trace\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace tw::test
