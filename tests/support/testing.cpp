#include "support/testing.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "util/files.h"
#include "util/text.h"

extern char** environ;

namespace tw::test {
namespace fs = std::filesystem;

Bytes Hex(std::string_view hex) {
  Bytes out;
  int nibble = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<uint8_t>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

std::string ToHex(std::span<const uint8_t> bytes) { return tw::HexBytes(bytes); }

fs::path CorpusDir() {
  const fs::path dir = TW_CORPUS_DIR;
  if (!fs::is_directory(dir / "swf"))
    throw std::runtime_error("the shared corpus is missing at " + dir.string());
  return dir;
}

fs::path CorpusFile(std::string_view subdir, std::string_view name) {
  return CorpusDir() / subdir / name;
}

bool IsBrokenMovie(const fs::path& file) {
  const std::string name = file.filename().string();
  return name.find("bad_swf") != std::string::npos || name.find("past_eof") != std::string::npos;
}

std::vector<fs::path> CorpusMovies(bool includeBroken) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(CorpusDir() / "swf")) {
    if (entry.path().extension() != ".swf") continue;
    if (!includeBroken && IsBrokenMovie(entry.path())) continue;
    char sig[3] = {};
    if (FILE* f = std::fopen(entry.path().c_str(), "rb")) {
      const size_t n = std::fread(sig, 1, 3, f);
      std::fclose(f);
      if (n == 3 && (sig[0] == 'F' || sig[0] == 'C') && sig[1] == 'W' && sig[2] == 'S')
        files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

fs::path ProgramDir() { return TW_PROGRAM_DIR; }

TempDir::TempDir() {
  std::random_device rd;
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    FPath = base / ("tw-test-" + std::to_string(rd()));
    if (fs::create_directory(FPath)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(FPath, ec);
}

Bytes TagBodyFromCorpus(std::string_view file, size_t index, uint8_t* version) {
  swf::TSWFStreamReader reader(CorpusFile("swf", file));
  reader.ParseTags(false, false);
  if (version) *version = reader.Version();
  const auto& info = reader.TagInfo(index);
  const auto body = reader.BodyStream().Bytes();
  const size_t start = info.TagOffset + (info.LongHeader ? 6 : 2);
  return Bytes(body.begin() + static_cast<ptrdiff_t>(start),
               body.begin() + static_cast<ptrdiff_t>(start + info.TagLength));
}

Bytes WriteBody(swf::TSWFObject& tag, swf::TSWFWriteContext context) {
  swf::TMemoryStream s;
  swf::TBitsEngine be(s, context);
  tag.WriteTagBody(be);
  be.FlushBits(true);
  return s.Release();
}

Bytes WriteWhole(swf::TBasedSWFObject& tag, swf::TSWFWriteContext context) {
  swf::TMemoryStream s;
  swf::TBitsEngine be(s, context);
  tag.WriteToStream(be);
  return s.Release();
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input) {
  CommandResult result;
  int outPipe[2], errPipe[2], inPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC) || pipe2(inPipe, O_CLOEXEC))
    return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  close(inPipe[0]);
  if (rc != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    close(inPipe[1]);
    result.err = "cannot start " + argv[0];
    return result;
  }
  if (!input.empty()) {
    const ssize_t w = write(inPipe[1], input.data(), input.size());
    (void)w;
  }
  close(inPipe[1]);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  char buf[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace tw::test
