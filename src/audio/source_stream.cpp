#include "audio/source_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tw::audio {
namespace {

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

TSourceStream::~TSourceStream() {
  if (FFd >= 0) ::close(FFd);
}

TSourceStream::TSourceStream(TSourceStream&& other) noexcept { *this = std::move(other); }

TSourceStream& TSourceStream::operator=(TSourceStream&& other) noexcept {
  if (this != &other) {
    if (FFd >= 0) ::close(FFd);
    FFd = std::exchange(other.FFd, -1);
    FIsMemory = std::exchange(other.FIsMemory, false);
    FMemory = std::exchange(other.FMemory, {});
    FName = std::move(other.FName);
    FSize = std::exchange(other.FSize, 0);
    FPosition = std::exchange(other.FPosition, 0);
    FBuffer = std::move(other.FBuffer);
    FBufferStart = std::exchange(other.FBufferStart, 0);
    FBufferLength = std::exchange(other.FBufferLength, 0);
  }
  return *this;
}

TSourceStream TSourceStream::OpenFile(const std::filesystem::path& path) {
  TSourceStream s;
  s.FName = path.string();
  // Without O_NONBLOCK, opening a named pipe would wait for a writer that may never come.
  s.FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (s.FFd < 0) throw EAudioError("Cannot open file \"" + s.FName + "\": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(s.FFd, &st) != 0 || !S_ISREG(st.st_mode))
    throw EAudioError("Cannot open file \"" + s.FName + "\": not a regular file");
  ::fcntl(s.FFd, F_SETFL, O_RDONLY);
  s.FSize = static_cast<uint64_t>(st.st_size);
  return s;
}

TSourceStream TSourceStream::OpenMemory(std::span<const uint8_t> bytes) {
  TSourceStream s;
  s.FIsMemory = true;
  s.FMemory = bytes;
  s.FSize = bytes.size();
  return s;
}

size_t TSourceStream::Read(void* dest, size_t count) {
  if (FPosition >= FSize || count == 0) return 0;
  count = static_cast<size_t>(std::min<uint64_t>(count, FSize - FPosition));
  auto* out = static_cast<uint8_t*>(dest);
  size_t done;
  if (FIsMemory) {
    std::memcpy(out, FMemory.data() + FPosition, count);
    done = count;
  } else {
    done = ReadFromFile(out, count);
  }
  FPosition += done;
  return done;
}

size_t TSourceStream::ReadZeroFilled(void* dest, size_t count) {
  const size_t n = Read(dest, count);
  if (n < count) std::memset(static_cast<uint8_t*>(dest) + n, 0, count - n);
  return n;
}

std::span<const uint8_t> TSourceStream::Peek(uint64_t position, size_t count) {
  if (position >= FSize) return {};
  count = static_cast<size_t>(std::min<uint64_t>({count, kPeekLimit, FSize - position}));
  if (FIsMemory) return FMemory.subspan(static_cast<size_t>(position), count);
  if (position < FBufferStart || position + count > FBufferStart + FBufferLength) {
    Fill(position);
    count = std::min(count, FBufferLength);
  }
  return {FBuffer.data() + (position - FBufferStart), count};
}

size_t TSourceStream::ReadFromFile(uint8_t* dest, size_t count) {
  size_t done = 0;
  while (done < count) {
    const uint64_t pos = FPosition + done;
    if (pos >= FBufferStart && pos < FBufferStart + FBufferLength) {
      const size_t offset = static_cast<size_t>(pos - FBufferStart);
      const size_t n = std::min(count - done, FBufferLength - offset);
      std::memcpy(dest + done, FBuffer.data() + offset, n);
      done += n;
      continue;
    }
    // Large reads go straight to the caller; small ones refill the window.
    if (count - done >= kBufferSize) {
      const ssize_t n = ::pread(FFd, dest + done, count - done, static_cast<off_t>(pos));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw EAudioError("Cannot read file \"" + FName + "\": " + std::strerror(errno));
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
      continue;
    }
    Fill(pos);
    if (FBufferLength == 0) break;
  }
  return done;
}

void TSourceStream::Fill(uint64_t position) {
  // Never more than the file holds: a tiny file gets a tiny buffer.
  if (FBuffer.empty()) FBuffer.resize(static_cast<size_t>(std::min<uint64_t>(kBufferSize, FSize)));
  FBufferStart = position;
  FBufferLength = 0;
  for (;;) {
    const ssize_t n = ::pread(FFd, FBuffer.data(), FBuffer.size(), static_cast<off_t>(position));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EAudioError("Cannot read file \"" + FName + "\": " + std::strerror(errno));
    }
    FBufferLength = static_cast<size_t>(n);
    return;
  }
}

}  // namespace tw::audio
