#include "util/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace tw {
namespace fs = std::filesystem;

namespace {

std::string Reason() { return std::strerror(errno); }

// Closes a descriptor when the scope ends.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() { int f = fd_; fd_ = -1; return f; }
 private:
  int fd_;
};

}  // namespace

std::vector<uint8_t> ReadWholeFile(const fs::path& path, uint64_t maxSize) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw FileError("Cannot open file \"" + path.string() + "\": " + Reason());
  std::vector<uint8_t> data;
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode))
    throw FileError("Cannot open file \"" + path.string() + "\": Is a directory");
  if (st.st_size > 0) {
    if (static_cast<uint64_t>(st.st_size) > maxSize)
      throw FileError("File \"" + path.string() + "\" is too large");
    data.reserve(static_cast<size_t>(st.st_size));
  }
  uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("Cannot read file \"" + path.string() + "\": " + Reason());
    }
    if (n == 0) break;
    if (data.size() + static_cast<size_t>(n) > maxSize)
      throw FileError("File \"" + path.string() + "\" is too large");
    data.insert(data.end(), buffer, buffer + n);
  }
  return data;
}

void WriteWholeFile(const fs::path& path, std::span<const uint8_t> bytes) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.get() < 0) throw FileError("Cannot create file \"" + path.string() + "\": " + Reason());
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("Cannot write file \"" + path.string() + "\": " + Reason());
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd.release()) != 0)
    throw FileError("Cannot write file \"" + path.string() + "\": " + Reason());
}

void WriteFileAtomic(const fs::path& path,
                     const std::function<void(const fs::path& temp)>& writer) {
  std::random_device rd;
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
  fs::path temp;
  for (int attempt = 0;; ++attempt) {
    temp = dir / ("." + path.filename().string() + ".tmp" + std::to_string(rd() % 1000000));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) { ::close(fd); break; }
    if (errno != EEXIST || attempt > 50)
      throw FileError("Cannot create file \"" + path.string() + "\": " + Reason());
  }
  try {
    writer(temp);
    // A file that existed keeps its owner (where we may give it) and its permission bits.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      if (::chown(temp.c_str(), st.st_uid, st.st_gid) != 0) {
        // Only the superuser gives files away; anyone else keeps the file as theirs.
      }
      ::chmod(temp.c_str(), st.st_mode & 07777);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0)
      throw FileError("Cannot create file \"" + path.string() + "\": " + Reason());
  } catch (...) {
    std::error_code ec;
    fs::remove(temp, ec);
    throw;
  }
}

void WriteFileAtomic(const fs::path& path, std::span<const uint8_t> bytes) {
  WriteFileAtomic(path, [&](const fs::path& temp) { WriteWholeFile(temp, bytes); });
}

}  // namespace tw
