#include "app/fileops.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
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

namespace {

constexpr std::string_view kWorkFolderPrefix = "run-";

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// The name mkdtemp gives: the prefix and six characters.
bool IsWorkFolderName(const std::string& name) {
  return name.size() == kWorkFolderPrefix.size() + 6 && name.starts_with(kWorkFolderPrefix);
}

int LockFlags(bool wait) { return wait ? LOCK_EX : LOCK_EX | LOCK_NB; }

bool Lock(int fd, bool wait) {
  for (;;) {
    if (::flock(fd, LockFlags(wait)) == 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace

TWorkFolder::TWorkFolder(const std::string& parent) {
  // A new run may look at this folder between its making and its lock, find nobody holding it
  // and remove it; the lock then comes to an unlinked folder, and the run makes another.
  for (int attempt = 0;; ++attempt) {
    std::string pattern = WithSlash(parent) + std::string(kWorkFolderPrefix) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      throw FileError("Cannot make a working folder in \"" + parent + "\": " + std::strerror(errno));
    const int fd = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      ::rmdir(pattern.c_str());
      throw FileError("Cannot open the working folder \"" + pattern + "\": " + std::strerror(error));
    }
    // Where the file system has no locks the folder goes unprotected: no run can take it then
    // either, as taking it needs its lock.
    Lock(fd, true);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink > 0) {
      FPath = pattern + "/";
      FLock = fd;
      return;
    }
    ::close(fd);
    if (attempt == 10)
      throw FileError("Cannot keep a working folder in \"" + parent + "\": it was taken away");
  }
}

TWorkFolder::~TWorkFolder() {
  std::error_code ec;
  fs::remove_all(FPath, ec);
  if (FLock >= 0) ::close(FLock);
}

int RemoveAbandonedWorkFolders(const std::string& parent) {
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (!IsWorkFolderName(name) || !it->is_directory(typeError) || it->is_symlink(typeError))
      continue;
    const std::string path = it->path().string();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    // Held: its run lives. Taken: nobody holds it, and nobody can while this lock lasts.
    struct stat held {}, named {};
    if (Lock(fd, false) && ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      std::error_code removeError;
      fs::remove_all(path, removeError);
      if (!removeError) ++removed;
    }
    ::close(fd);
  }
  return removed;
}

}  // namespace tw::app
