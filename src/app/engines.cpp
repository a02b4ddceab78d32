#include "app/engines.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "app/fileops.h"
#include "app/paths.h"
#include "util/files.h"

extern char** environ;

namespace tw::app {

namespace {

// ---- Reading numbers the way the progress texts need ----

// A whole decimal number, optionally signed and surrounded by blanks; none otherwise.
std::optional<long long> ReadInteger(std::string_view s) {
  const std::string t = Trim(s);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size() || t.size() - i > 12) return std::nullopt;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    v = v * 10 + (t[i] - '0');
  }
  return negative ? -v : v;
}

long long ReadIntegerOr0(std::string_view s) { return ReadInteger(s).value_or(0); }

// "hh:mm:ss" (any fraction already cut off) to seconds; a part that does not read counts 0.
long long ClockSeconds(std::string_view s) {
  const size_t c1 = s.find(':');
  const size_t c2 = c1 == std::string_view::npos ? c1 : s.find(':', c1 + 1);
  if (c1 == std::string_view::npos) return ReadIntegerOr0(s);
  const long long hours = ReadIntegerOr0(s.substr(0, c1));
  const long long minutes =
      ReadIntegerOr0(s.substr(c1 + 1, c2 == std::string_view::npos ? std::string_view::npos
                                                                    : c2 - c1 - 1));
  const long long seconds = c2 == std::string_view::npos ? 0 : ReadIntegerOr0(s.substr(c2 + 1));
  return hours * 3600 + minutes * 60 + seconds;
}

// The text up to its first zero byte: the pipe's bytes are read as one 8-bit text.
std::string_view UpToZero(std::string_view s) {
  const size_t z = s.find('\0');
  return z == std::string_view::npos ? s : s.substr(0, z);
}

}  // namespace

std::optional<TChunkProgress> EncoderChunkProgress(std::string_view chunk) {
  const std::string_view text = UpToZero(chunk);
  // A chunk holds every line printed since the last look; the newest one is the current state.
  const size_t p = text.rfind("%)|");
  // The "(" may stand at most four characters before "%": "(100%)|", "( 13%)|", "(  0%)|".
  if (p == std::string_view::npos || p < 5) return std::nullopt;
  std::string_view digits;
  for (size_t back = 4; back >= 1; --back) {
    if (text[p - back] == '(') {
      digits = text.substr(p - back + 1, back - 1);
      break;
    }
  }
  TChunkProgress progress;
  progress.Percent = static_cast<int>(ReadIntegerOr0(digits));
  progress.Text = Trim(digits) + "%";
  return progress;
}

std::optional<TChunkProgress> TConverterProgress::Chunk(std::string_view chunk) {
  const std::string_view text = UpToZero(chunk);
  std::string work;  // the text the duration is looked for in
  std::string_view rest = text;  // where the elapsed time is looked for
  bool durationNow = false;
  if (FDuration < 0) {
    // The "Duration:" line may arrive in pieces: keep the unfinished line for the next chunk.
    work = FPending + std::string(text);
    FPending.clear();
    const size_t d = work.find("Duration:");
    if (d != std::string::npos) {
      const size_t from = d + 9;
      // Old converters end the value with ", start:"; today's WAV input has ", bitrate:".
      size_t end = work.find(", start:", from);
      const size_t lineEnd = work.find_first_of(",\r\n", from);
      if (end == std::string::npos || (lineEnd != std::string::npos && lineEnd < end)) end = lineEnd;
      if (end == std::string::npos) {
        FPending = work.substr(d);
      } else {
        std::string value = Trim(std::string_view(work).substr(from, end - from));
        value = value.substr(0, value.find('.'));
        const long long seconds = ClockSeconds(value);
        if (seconds > 0) {
          FDuration = static_cast<int>(std::min<long long>(seconds, INT32_MAX));
          durationNow = true;
          rest = std::string_view(work).substr(end);
        }
      }
    } else {
      const size_t lastBreak = work.find_last_of("\r\n");
      FPending = lastBreak == std::string::npos ? work : work.substr(lastBreak + 1);
    }
    if (FPending.size() > 512) FPending.erase(0, FPending.size() - 512);
    // Before the duration is known, the bar stands at 0.
    if (FDuration < 0) return TChunkProgress{0, "0%"};
  }
  // A chunk without an elapsed time (a warning, the closing summary) leaves the bar as it is.
  const size_t t = rest.rfind("time=");
  if (t == std::string_view::npos) {
    if (durationNow) return TChunkProgress{0, "0%"};
    return std::nullopt;
  }
  std::string_view value = rest.substr(t + 5, 11);
  value = value.substr(0, value.find_first_of(". "));
  // Today's converters print the time as hh:mm:ss.ff, older ones as seconds.
  long long elapsed =
      value.find(':') != std::string_view::npos ? ClockSeconds(value) : ReadIntegerOr0(value);
  if (elapsed < 0) elapsed = 0;
  TChunkProgress progress;
  progress.Percent = static_cast<int>(std::min<long long>(elapsed * 100 / FDuration, 100));
  progress.Text = std::to_string(progress.Percent) + "%";
  return progress;
}

// ---- Finding the programs ----

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindEngine(std::string_view name) {
  const std::string beside = ProgramFolder() + "engine/" + std::string(name);
  if (IsExecutableFile(beside)) return beside;
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string_view dirs(path);
  while (true) {
    const size_t colon = dirs.find(':');
    std::string dir(dirs.substr(0, colon));
    // Only absolute folders: a relative PATH entry would make the program depend on the
    // current folder.
    if (!dir.empty() && dir.front() == '/') {
      const std::string candidate = IncludeTrailingSlash(dir) + std::string(name);
      if (IsExecutableFile(candidate)) return candidate;
    }
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return {};
}

// ---- The child process and its worker thread ----

namespace {

class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : FFd(fd) {}
  ~TFd() { Reset(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  void Reset(int fd = -1) {
    if (FFd >= 0) ::close(FFd);
    FFd = fd;
  }

 private:
  int FFd = -1;
};

std::string Reason(int error) { return std::strerror(error); }

// The run-and-wait hand-over: the worker says that the pipe holds bytes and waits until the
// calling thread has read and shown them; the calling thread is woken through an eventfd, so
// that it can wait for that and for the child's end at once.
class THandover {
 public:
  THandover()
      : FWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), FStop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (FWake.Get() < 0 || FStop.Get() < 0)
      throw std::runtime_error("Cannot create an event: " + Reason(errno));
  }
  int WakeFd() const { return FWake.Get(); }
  int StopFd() const { return FStop.Get(); }

  // Worker: false when the hand-over was stopped instead.
  bool Post() {
    std::unique_lock lock(FMutex);
    if (FStopping) return false;
    FPending = true;
    Signal(FWake.Get());
    FDone.wait(lock, [&] { return !FPending || FStopping; });
    return !FStopping;
  }
  // Calling thread: true when the worker waits for a chunk to be handled.
  bool Take() {
    uint64_t count;
    while (::read(FWake.Get(), &count, sizeof count) > 0) {
    }
    std::lock_guard lock(FMutex);
    return FPending;
  }
  void Done() {
    std::lock_guard lock(FMutex);
    FPending = false;
    FDone.notify_all();
  }
  void Stop() {
    std::lock_guard lock(FMutex);
    FStopping = true;
    Signal(FStop.Get());
    FDone.notify_all();
  }

 private:
  static void Signal(int fd) {
    const uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
  TFd FWake, FStop;
  std::mutex FMutex;
  std::condition_variable FDone;
  bool FPending = false;
  bool FStopping = false;
};

// The child: reaped exactly once, and never signalled after that (its pid may belong to
// another process by then).
class TChild {
 public:
  explicit TChild(pid_t pid) : FPid(pid), FPidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))) {}
  ~TChild() { Terminate(); }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  int PidFd() const { return FPidFd.Get(); }
  int Status() const { return FStatus; }

  bool TryReap() {
    if (FReaped) return true;
    int status = 0;
    const pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == FPid) {
      FReaped = true;
      FStatus = status;
    } else if (r < 0 && errno == ECHILD) {
      FReaped = true;  // someone else took it: its status is unknown
      FStatus = -1;
    }
    return FReaped;
  }

  // Asks the child's process group to end, and makes sure after two seconds.
  void Terminate() {
    if (TryReap()) return;
    Signal(SIGTERM);
    for (int waited = 0; waited < 2000; waited += 20) {
      if (TryReap()) return;
      WaitForEnd(20);
    }
    if (TryReap()) return;
    Signal(SIGKILL);
    int status = 0;
    while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
    }
    FReaped = true;
    FStatus = status;
  }

 private:
  // The group the child leads, and the child itself should it not lead one.
  void Signal(int sig) {
    ::kill(-FPid, sig);
    ::kill(FPid, sig);
  }
  void WaitForEnd(int ms) {
    if (FPidFd.Get() >= 0) {
      pollfd p{FPidFd.Get(), POLLIN, 0};
      ::poll(&p, 1, ms);
    } else {
      ::usleep(static_cast<useconds_t>(ms) * 1000);
    }
  }
  pid_t FPid;
  TFd FPidFd;
  bool FReaped = false;
  int FStatus = -1;
};

// The worker: while the child runs, it tells the calling thread each time the pipe holds bytes,
// then waits up to 100 ms for the child's end (the pipe's hang-up: no writer is left).
void WorkerLoop(int pipeFd, THandover& handover) {
  for (;;) {
    int available = 0;
    if (::ioctl(pipeFd, FIONREAD, &available) == 0 && available > 0 && !handover.Post()) return;
    pollfd fds[2] = {{pipeFd, 0, 0}, {handover.StopFd(), POLLIN, 0}};
    const int r = ::poll(fds, 2, 100);
    if (r < 0 && errno != EINTR) return;
    if (fds[1].revents & POLLIN) return;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return;
  }
}

// Stops and joins the worker when the run ends, however it ends.
class TWorker {
 public:
  TWorker(int pipeFd, THandover& handover)
      : FHandover(handover), FThread([pipeFd, &handover] { WorkerLoop(pipeFd, handover); }) {}
  ~TWorker() { Join(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;
  void Join() {
    if (!FThread.joinable()) return;
    FHandover.Stop();
    FThread.join();
  }

 private:
  THandover& FHandover;
  std::thread FThread;
};

// Reads what the pipe holds and shows the progress it gives (on the calling thread).
class TChunkHandler {
 public:
  TChunkHandler(int pipeFd, TEngineKind kind, TRunContext& ctx)
      : FFd(pipeFd), FKind(kind), FCtx(ctx) {}

  void Handle() {
    std::string chunk;
    char buffer[16384];
    // Whatever is there now, up to a bound, so that a flood of output cannot hold the thread.
    while (chunk.size() < (1u << 20)) {
      const ssize_t n = ::read(FFd, buffer, sizeof buffer);
      if (n > 0) {
        chunk.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    if (chunk.empty()) return;
    FTail += chunk;
    if (FTail.size() > 4096) FTail.erase(0, FTail.size() - 4096);
    if (FKind == TEngineKind::Encoder) {
      if (auto p = EncoderChunkProgress(chunk)) FCtx.Progress.SetSinglePercent(p->Percent, p->Text);
    } else {
      if (auto p = FConverter.Chunk(chunk)) FCtx.Progress.SetSinglePercent(p->Percent, p->Text);
    }
  }

  // The last line of the output that holds something readable, without terminal controls.
  std::string LastLine() const {
    std::string line, last;
    bool escape = false;
    for (char c : FTail) {
      if (escape) {
        escape = !(c >= '@' && c <= '~' && c != '[');  // the end of "ESC [ ... K"
      } else if (c == '\x1b') {
        escape = true;
      } else if (c == '\r' || c == '\n') {
        if (!Trim(line).empty()) last = Trim(line);
        line.clear();
      } else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
        line += c;
      }
    }
    if (!Trim(line).empty()) last = Trim(line);
    return last;
  }

 private:
  int FFd;
  TEngineKind FKind;
  TRunContext& FCtx;
  TConverterProgress FConverter;
  std::string FTail;
};

class TSpawnSetup {
 public:
  explicit TSpawnSetup(int outFd) {
    posix_spawn_file_actions_init(&FActions);
    posix_spawnattr_init(&FAttr);
    // The engines read nothing; the converter would otherwise take the terminal's keys.
    posix_spawn_file_actions_addopen(&FActions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&FActions, outFd, 1);
    posix_spawn_file_actions_adddup2(&FActions, outFd, 2);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(&FAttr, &none);
    posix_spawnattr_setsigdefault(&FAttr, &all);
    posix_spawnattr_setpgroup(&FAttr, 0);
    posix_spawnattr_setflags(&FAttr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                         POSIX_SPAWN_SETSIGDEF);
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&FActions);
    posix_spawnattr_destroy(&FAttr);
  }
  TSpawnSetup(const TSpawnSetup&) = delete;
  TSpawnSetup& operator=(const TSpawnSetup&) = delete;
  const posix_spawn_file_actions_t* Actions() const { return &FActions; }
  const posix_spawnattr_t* Attr() const { return &FAttr; }

 private:
  posix_spawn_file_actions_t FActions;
  posix_spawnattr_t FAttr;
};

}  // namespace

TEngineRun RunEngine(const std::vector<std::string>& argv, TEngineKind kind, TRunContext& ctx) {
  if (argv.empty()) throw std::runtime_error("No program to start");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("Cannot create a pipe: " + Reason(errno));
  TFd readEnd(fds[0]), writeEnd(fds[1]);
  ::fcntl(readEnd.Get(), F_SETFL, ::fcntl(readEnd.Get(), F_GETFL) | O_NONBLOCK);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const auto started = std::chrono::steady_clock::now();
  pid_t pid = -1;
  {
    TSpawnSetup setup(writeEnd.Get());
    const int rc = ::posix_spawn(&pid, args[0], setup.Actions(), setup.Attr(), args.data(), environ);
    if (rc != 0) throw std::runtime_error("Cannot start \"" + argv[0] + "\": " + Reason(rc));
  }
  // Only the child may hold the write end: its end then hangs the pipe up.
  writeEnd.Reset();

  TEngineRun run;
  TChild child(pid);
  THandover handover;
  TChunkHandler handler(readEnd.Get(), kind, ctx);
  TWorker worker(readEnd.Get(), handover);

  for (;;) {
    ctx.ProcessMessages();
    if (ctx.Cancelled()) {
      run.Cancelled = true;
      break;
    }
    pollfd waits[2] = {{handover.WakeFd(), POLLIN, 0}, {child.PidFd(), POLLIN, 0}};
    ::poll(waits, child.PidFd() >= 0 ? 2 : 1, 100);
    if ((waits[0].revents & POLLIN) && handover.Take()) {
      handler.Handle();
      handover.Done();
    }
    if (child.TryReap()) break;
  }
  if (run.Cancelled) child.Terminate();
  worker.Join();
  // What the child wrote just before it ended, so that the bar ends where the child did.
  if (!run.Cancelled) handler.Handle();

  const auto ended = std::chrono::steady_clock::now();
  run.Seconds = std::chrono::duration<double>(ended - started).count();
  const int status = child.Status();
  if (status >= 0 && WIFEXITED(status)) run.ExitStatus = WEXITSTATUS(status);
  if (status >= 0 && WIFSIGNALED(status)) run.Signal = WTERMSIG(status);
  run.LastLine = handler.LastLine();
  ++ctx.EngineRuns;
  ctx.EngineSeconds += run.Seconds;
  ctx.EngineSpans.push_back({started, ended});
  return run;
}

// ---- The two operations ----

namespace {

std::string FailureText(std::string_view program, const std::string& source, const TEngineRun& run) {
  std::string text = std::string(program) + " failed on \"" + ExtractFileName(source) + "\" (";
  text += run.Signal ? "ended by signal " + std::to_string(run.Signal)
                     : "exit status " + std::to_string(run.ExitStatus);
  text += ")";
  if (!run.LastLine.empty()) text += ": " + run.LastLine;
  return text;
}

// The copy of the source the engine reads: never the source itself.
void PrepareCopy(const std::string& source, const std::string& copy) {
  if (SameFile(source, copy))
    throw FileError("The song \"" + source + "\" lies where the working copy goes");
  RemoveFile(copy);
  CopyFileReplacing(source, copy);
}

}  // namespace

TEngineResult EncodeMp3(const std::string& source, const std::string& target,
                        const TConvertOption& options, TRunContext& ctx) {
  const std::string lame = FindEngine("lame");
  if (lame.empty()) {
    ctx.Host.ShowError(std::string(kLameMissing));
    return TEngineResult::Missing;
  }
  TTempFile copy(ctx.WorkFolder() + "encodemp3" + ExtractFileExt(source));
  PrepareCopy(source, copy.Path());
  TEngineRun run;
  try {
    run = RunEngine({lame, "--resample", options.LameSampleRate, "-b", options.LameBitRate, "-m",
                     options.LameMode, copy.Path(), target},
                    TEngineKind::Encoder, ctx);
  } catch (const std::exception& e) {
    ctx.ReportError(e.what());
    RemoveFile(target);
    return TEngineResult::Failed;
  }
  if (run.Cancelled) return TEngineResult::Cancelled;
  if (!run.Succeeded()) {
    // A half-written MP3 must not be taken for the song.
    RemoveFile(target);
    ctx.ReportError(FailureText("lame", source, run));
    return TEngineResult::Failed;
  }
  return TEngineResult::Done;
}

TEngineResult ConvertToFlv(const std::string& source, const std::string& target,
                           const TConvertOption& options, bool /*wholeSong*/, TRunContext& ctx) {
  const std::string ffmpeg = FindEngine("ffmpeg");
  if (ffmpeg.empty()) {
    ctx.Host.ShowError(std::string(kFfmpegMissing));
    return TEngineResult::Missing;
  }
  const std::string folder = ctx.WorkFolder();
  TTempFile in(folder + "convertflvin" + ExtractFileExt(source));
  TTempFile out(folder + "convertflvout" + ExtractFileExt(target));
  PrepareCopy(source, in.Path());
  RemoveFile(out.Path());
  TEngineRun run;
  try {
    run = RunEngine({ffmpeg, "-y", "-i", in.Path(), "-ar", options.FfmpegSampleRate, "-ab",
                     options.FfmpegBitRate, "-ac", options.FfmpegChannels, out.Path()},
                    TEngineKind::Converter, ctx);
  } catch (const std::exception& e) {
    ctx.ReportError(e.what());
    return TEngineResult::Failed;
  }
  if (run.Cancelled) return TEngineResult::Cancelled;
  if (!run.Succeeded() || !IsNonEmptyFile(out.Path())) {
    ctx.ReportError(FailureText("ffmpeg", source, run));
    return TEngineResult::Failed;
  }
  CopyFileReplacing(out.Path(), target);
  return TEngineResult::Done;
}

}  // namespace tw::app
