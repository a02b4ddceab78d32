// Whole-file reading and safe writing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {

// A file or folder operation that failed; the message names the file and the reason.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole file; throws FileError when it cannot be read or is larger than maxSize.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path,
                                   uint64_t maxSize = UINT64_MAX);

// Writes a file through a temporary beside it and a rename, so that a failure never leaves a
// half-written target: either the old file stays or the new one is complete. The writer gets
// the temporary's path; when it throws, the temporary is removed and the error passes on.
void WriteFileAtomic(const std::filesystem::path& path,
                     const std::function<void(const std::filesystem::path& temp)>& writer);
void WriteFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// Writes bytes to an open path (no temporary); throws FileError.
void WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace tw
