#include "app/fileops.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "util/files.h"

namespace tw::app {
namespace fs = std::filesystem;

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    const bool same = fs::equivalent(a, b, ec);
    if (!ec) return same;
  }
  const fs::path ca = fs::weakly_canonical(fs::absolute(a, ec), ec);
  const fs::path cb = fs::weakly_canonical(fs::absolute(b, ec), ec);
  return ca == cb;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool IsNonEmptyFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  const auto size = fs::file_size(path, ec);
  return !ec && size > 0;
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  if (fs::is_regular_file(fs::symlink_status(path, ec)) || fs::is_symlink(fs::symlink_status(path, ec)))
    fs::remove(path, ec);
}

void CopyFileReplacing(const std::string& source, const std::string& target) {
  if (SameFile(source, target))
    throw FileError("Cannot copy \"" + source + "\" onto itself");
  std::error_code ec;
  if (!fs::is_regular_file(source, ec))
    throw FileError("Cannot open file \"" + source + "\": No such file");
  WriteFileAtomic(target, [&](const fs::path& temp) {
    std::error_code copyError;
    fs::copy_file(source, temp, fs::copy_options::overwrite_existing, copyError);
    if (copyError)
      throw FileError("Cannot copy \"" + source + "\" to \"" + target + "\": " +
                      copyError.message());
  });
}

TWorkFolder::TWorkFolder(const std::string& parent) {
  std::string pattern = parent;
  if (pattern.empty() || pattern.back() != '/') pattern += '/';
  pattern += "run-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw FileError("Cannot make a working folder in \"" + parent + "\": " + std::strerror(errno));
  FPath = pattern + "/";
}

TWorkFolder::~TWorkFolder() {
  std::error_code ec;
  fs::remove_all(FPath, ec);
}

}  // namespace tw::app
