// tunewright-cli swf info | dump | copy, run as a user runs them.
#include <algorithm>
#include <fstream>

#include "support/testing.h"
#include "util/files.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

std::string Cli() { return (ProgramDir() / "tunewright-cli").string(); }

size_t Lines(const std::string& s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

TEST(SwfCli, InfoShowsTheHeaderAndTagCounts) {
  const auto movie = CorpusFile("swf", "avm1__add2__test.swf");
  auto r = RunCommand({Cli(), "swf", "info", movie.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Version:     8"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("550 x 400 pixels"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Frame rate:  24 fps"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("DoAction"), std::string::npos) << r.out;

  r = RunCommand({Cli(), "swf", "info", "--json", movie.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"frameCount\": 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"width\": 550"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"name\": \"SetBackgroundColor\""), std::string::npos) << r.out;
}

TEST(SwfCli, DumpShowsOneLinePerTag) {
  const auto movie = CorpusFile("swf", "avm1__add2__test.swf");
  auto r = RunCommand({Cli(), "swf", "dump", movie.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), 1u + 5u) << r.out;  // a heading and five tags
  EXPECT_NE(r.out.find("TSWFSetBackgroundColor"), std::string::npos);
  EXPECT_NE(r.out.find("color=#FFFFFF"), std::string::npos);
}

TEST(SwfCli, CopyKeepsOrChangesCompression) {
  TempDir dir;
  const auto plain = CorpusFile("swf", "avm1__add2__test.swf");
  struct Case {
    const char* option;
    const char* signature;
  };
  for (const Case& c : {Case{"", "FWS"}, Case{"--compress", "CWS"}, Case{"--plain", "FWS"}}) {
    SCOPED_TRACE(c.option);
    const auto out = dir / ("copy" + std::string(c.option) + ".swf");
    std::vector<std::string> args = {Cli(), "swf", "copy"};
    if (*c.option) args.push_back(c.option);
    args.push_back(plain.string());
    args.push_back(out.string());
    auto r = RunCommand(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes bytes = ReadWholeFile(out);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), c.signature);
    // A copy of the copy is the same file.
    const auto again = dir / "again.swf";
    ASSERT_EQ(RunCommand({Cli(), "swf", "copy", out.string(), again.string()}).status, 0);
    EXPECT_EQ(ReadWholeFile(again), bytes);
  }
}

TEST(SwfCli, BadMoviesGiveOneErrorLineAndNoOutput) {
  TempDir dir;
  const Bytes good = ReadWholeFile(CorpusFile("swf", "avm1__add2__test.swf"));
  const Bytes compressed = [&] {
    const auto out = dir / "compressed.swf";
    RunCommand({Cli(), "swf", "copy", "--compress", CorpusFile("swf", "avm1__add2__test.swf").string(),
                out.string()});
    return ReadWholeFile(out);
  }();
  ASSERT_GT(compressed.size(), 100u);
  Bytes corrupt = compressed;
  for (size_t i = 20; i < 60; ++i) corrupt[i] ^= 0x5A;
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"text.swf", Bytes{'h', 'e', 'l', 'l', 'o'}, "not a SWF movie"},
      {"lzma.swf", ReadWholeFile(CorpusFile("swf", "swfcrate__lzma.swf")), "LZMA"},
      {"truncated.swf", Bytes(good.begin(), good.begin() + 900), "truncated"},
      {"corrupt.swf", corrupt, "error"},
      {"empty.swf", Bytes{}, "not a SWF movie"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto in = dir / c.name;
    WriteWholeFile(in, c.bytes);
    const auto out = dir / (std::string("out-") + c.name);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{Cli(), "swf", "copy", in.string(), out.string()},
          std::vector<std::string>{Cli(), "swf", "info", in.string()}}) {
      auto r = RunCommand(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(Lines(r.err), 1u) << r.err;
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(out));
  }
  auto r = RunCommand({Cli(), "swf", "info", (dir / "missing.swf").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.swf"), std::string::npos) << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 6) << "no temporary left";
}

TEST(XmlCommands, ToXmlAndFromXmlGiveTheCopyAndABadEditWritesNothing) {
  TempDir dir;
  const auto movie = CorpusFile("swf", "visual__video__vp6_dispsize__test.swf");
  const auto xml = dir / "movie.xml", copy = dir / "copy.swf", compiled = dir / "compiled.swf";
  ASSERT_EQ(RunCommand({Cli(), "swf", "to-xml", movie.string(), "-o", xml.string()}).status, 0);
  ASSERT_EQ(RunCommand({Cli(), "swf", "copy", movie.string(), copy.string()}).status, 0);
  ASSERT_EQ(RunCommand({Cli(), "swf", "from-xml", xml.string(), "-o", compiled.string()}).status, 0);
  EXPECT_EQ(ReadWholeFile(compiled), ReadWholeFile(copy));

  // To standard output as well.
  const auto printed = RunCommand({Cli(), "swf", "to-xml", movie.string()});
  EXPECT_EQ(printed.status, 0);
  const Bytes xmlBytes = ReadWholeFile(xml);
  EXPECT_EQ(printed.out, std::string(xmlBytes.begin(), xmlBytes.end()));

  std::string text(xmlBytes.begin(), xmlBytes.end());
  text.replace(text.find("Version=\""), 9, "Versio=\"");
  WriteWholeFile(xml, Bytes(text.begin(), text.end()));
  const auto refused = RunCommand({Cli(), "swf", "from-xml", xml.string(), "-o", compiled.string()});
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.err.find(xml.string() + ":2: <SWF> lacks the attribute Version"), std::string::npos)
      << refused.err;
  EXPECT_EQ(ReadWholeFile(compiled), ReadWholeFile(copy));  // the earlier result is untouched
}

}  // namespace
}  // namespace tw::test
