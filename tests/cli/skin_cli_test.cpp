// tunewright-cli skin build, and the templates command over the skins the build put beside the
// program.
#include <filesystem>

#include "support/testing.h"
#include "util/files.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

void WriteText(const fs::path& path, std::string_view text) {
  WriteWholeFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadWholeFile(path);
  return {bytes.begin(), bytes.end()};
}

TEST(SkinCli, BuildWritesTheMovieAndItsDependencies) {
  TempDir dir;
  fs::create_directories(dir / "my skin");
  WriteText(dir / "my skin" / "skin.xml",
            "<skin width=\"50\" height=\"40\"><params><Py.Loop type=\"bool\" default=\"No\"/></params>"
            "<clip><circle cx=\"5\" cy=\"5\" r=\"5\"/></clip><script src=\"a.as\"/></skin>");
  WriteText(dir / "my skin" / "a.as", "trace(1);\n");
  const fs::path out = dir / "out.swf", dep = dir / "out.d";
  auto r = RunCommand({(ProgramDir() / "tunewright-cli").string(), "skin", "build",
                       (dir / "my skin").string(), "-o", out.string(), "--depfile", dep.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, out.string() + ": player 50x40\n");
  EXPECT_EQ(ReadText(out).substr(0, 3), "FWS");
  auto escaped = [](std::string s) {
    std::string e;
    for (char ch : s) e += ch == ' ' ? std::string("\\ ") : std::string(1, ch);
    return e;
  };
  EXPECT_EQ(ReadText(dep), escaped(out.string()) + ": " + escaped((dir / "my skin" / "skin.xml").string()) +
                               " " + escaped((dir / "my skin" / "a.as").string()) + "\n");

  // A script that does not compile: an error, and the old movie stays as it was.
  WriteText(dir / "my skin" / "a.as", "trace(;\n");
  const std::string before = ReadText(out);
  r = RunCommand({(ProgramDir() / "tunewright-cli").string(), "skin", "build",
                  (dir / "my skin").string(), "-o", out.string()});
  EXPECT_EQ(r.status, 1);
  // The message names the script file itself, with line and column.
  EXPECT_NE(r.err.find("the frame script does not compile: " + (dir / "my skin" / "a.as").string() +
                       ":1:7: "),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadText(out), before);
}

TEST(SkinCli, TemplatesListsTheBundledSkins) {
  TempDir dir;
  const auto r = RunCommand({"/usr/bin/env", "HOME=" + (dir / "home").string(),
                             "XDG_DOCUMENTS_DIR=" + (dir / "docs").string(),
                             "XDG_CONFIG_HOME=" + (dir / "config").string(),
                             (ProgramDir() / "tunewright-cli").string(), "templates"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line :
       {"  compact.swf  360 x 60\n", "  playlist.swf  320 x 232\n", "  round.swf  80 x 80\n",
        "  modern.swf  360 x 128\n",
        "  bar.swf  220 x 44\n", "  percent.swf  120 x 120\n",
        "    Py.TimeDisplay  \"Time display\"  selection  default \"Elapsed\"  value \"Elapsed\"  "
        "choices \"Elapsed\", \"Remaining\"\n",
        "    Bg.BgColor  \"Background color\"  color  default \"0x20262E\"  value \"0x20262E\"\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
}

}  // namespace
}  // namespace tw::test
