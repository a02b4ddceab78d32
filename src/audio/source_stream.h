// TSourceStream: the read-only byte source under every audio reader. It reads a file through a
// buffer (MP3 scanning reads a few bytes per frame and must not cost a system call each) or views
// bytes in memory. Reading past the end returns fewer bytes; it never fails for that reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::audio {

// A failure of the audio layer; the message is the text the user sees.
class EAudioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TSourceStream {
 public:
  TSourceStream() = default;
  ~TSourceStream();
  TSourceStream(TSourceStream&& other) noexcept;
  TSourceStream& operator=(TSourceStream&& other) noexcept;
  TSourceStream(const TSourceStream&) = delete;
  TSourceStream& operator=(const TSourceStream&) = delete;

  // Opens a file for reading (others may read and write it); throws EAudioError.
  static TSourceStream OpenFile(const std::filesystem::path& path);
  // A view over bytes that must outlive the stream.
  static TSourceStream OpenMemory(std::span<const uint8_t> bytes);

  bool IsOpen() const { return FFd >= 0 || FIsMemory; }
  // The size when opened.
  uint64_t Size() const { return FSize; }
  uint64_t Position() const { return FPosition; }
  // Positions beyond the end are allowed; reading there returns nothing.
  void Seek(uint64_t position) { FPosition = position; }
  void Skip(uint64_t count) { FPosition += count; }

  // Reads up to count bytes and returns how many were read (fewer only at the end of the file).
  // Throws EAudioError on an I/O error.
  size_t Read(void* dest, size_t count);
  // Reads exactly count bytes, the missing ones beyond the end as zeros; returns the count read.
  size_t ReadZeroFilled(void* dest, size_t count);
  // Up to count bytes (at most kPeekLimit) at position, where they lie in the buffer or in
  // memory, without a copy and without moving the reading position; fewer only at the end of
  // the file. They stay valid until the next call. A scan that looks at a few bytes here and
  // there (the headers of MP3 frames) pays neither a copy nor a call per look.
  std::span<const uint8_t> Peek(uint64_t position, size_t count);
  static constexpr size_t kPeekLimit = 4096;

 private:
  size_t ReadFromFile(uint8_t* dest, size_t count);
  void Fill(uint64_t position);

  int FFd = -1;
  bool FIsMemory = false;
  std::span<const uint8_t> FMemory;
  std::string FName;
  uint64_t FSize = 0;
  uint64_t FPosition = 0;
  // The buffered window of the file: FBuffer holds FBufferLength bytes from FBufferStart.
  std::vector<uint8_t> FBuffer;
  uint64_t FBufferStart = 0;
  size_t FBufferLength = 0;
};

}  // namespace tw::audio
