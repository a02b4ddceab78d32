// Shared helpers of the tests: the corpus, hex byte strings, reading and writing tags.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "swf/stream.h"
#include "swf/tag.h"

namespace tw::test {

using Bytes = std::vector<uint8_t>;

// "78 00 05" -> bytes; spaces are ignored.
Bytes Hex(std::string_view hex);
std::string ToHex(std::span<const uint8_t> bytes);

// The shared corpus (../shared/corpus) and one of its files.
std::filesystem::path CorpusDir();
std::filesystem::path CorpusFile(std::string_view subdir, std::string_view name);
// The corpus movies that the reader takes: "FWS" and "CWS" files.
std::vector<std::filesystem::path> CorpusMovies(bool includeBroken = false);
// True for the deliberately broken movies of the corpus.
bool IsBrokenMovie(const std::filesystem::path& file);

// The program folder of the build tree, and a program in it.
std::filesystem::path ProgramDir();

// A fresh temporary folder removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return FPath; }
  std::filesystem::path operator/(std::string_view name) const { return FPath / name; }

 private:
  std::filesystem::path FPath;
};

// The body bytes of the tag at index of a corpus movie (tags counted from 0, top level).
Bytes TagBodyFromCorpus(std::string_view file, size_t index, uint8_t* version = nullptr);

// Reads a tag object of class T from body bytes with the given reading context.
template <class T>
std::unique_ptr<T> ReadTag(std::span<const uint8_t> body, swf::TSWFReadContext context = {}) {
  auto tag = std::make_unique<T>();
  tag->BodySize = static_cast<int32_t>(body.size());
  tag->SetReadContext(context);
  swf::TMemoryStream view = swf::TMemoryStream::View(body);
  swf::TBitsEngine be(view);
  tag->ReadFromStream(be);
  return tag;
}

// The write context of the movie a tag was read from: what it is written back into.
inline swf::TSWFWriteContext WriteContextOf(const swf::TSWFReadContext& read) {
  swf::TSWFWriteContext context;
  context.Version = read.Version;
  return context;
}

// The body a tag writes into a movie of the context's version.
Bytes WriteBody(swf::TSWFObject& tag, swf::TSWFWriteContext context = {});
// The whole tag (header and body) a tag writes.
Bytes WriteWhole(swf::TBasedSWFObject& tag, swf::TSWFWriteContext context = {});

// Runs a command line and returns its exit status; stdout and stderr are captured.
struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = {});

}  // namespace tw::test
