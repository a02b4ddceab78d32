// Writing through a temporary and a rename: the old file or the new one, never half of one.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support/testing.h"
#include "util/files.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

std::string Text(const fs::path& p) {
  const Bytes b = ReadWholeFile(p);
  return std::string(b.begin(), b.end());
}

size_t Entries(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(WriteFileAtomic, ReplacesKeepingModeAndOwner) {
  TempDir dir;
  const fs::path file = dir / "kept.txt";
  std::ofstream(file) << "old";
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  // The superuser writing someone else's file gives it back to them.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(file.c_str(), 1234, 5678), 0);
  }
  const std::string text = "new contents";
  WriteFileAtomic(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  EXPECT_EQ(Text(file), text);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
  }
  EXPECT_EQ(Entries(dir.path()), 1u);

  // A writer that fails leaves the old file and no temporary.
  EXPECT_THROW(WriteFileAtomic(file, [](const fs::path& temp) {
                 std::ofstream(temp) << "half";
                 throw FileError("disk full");
               }),
               FileError);
  EXPECT_EQ(Text(file), text);
  EXPECT_EQ(Entries(dir.path()), 1u);
}

}  // namespace
}  // namespace tw::test
