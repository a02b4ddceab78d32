#include "cli/terminal_host.h"

#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

#include "util/text.h"

namespace tw::cli {

namespace {

int TerminalColumns() {
  winsize ws{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) return ws.ws_col;
  return 80;
}

int TerminalRows() {
  winsize ws{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 4) return ws.ws_row;
  return 24;
}

std::string Bar(int position, int max, int width) {
  const int filled = max > 0 ? std::min(width, position * width / max) : 0;
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(width - filled), '-') + "]";
}

void WriteAll(const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = ::write(STDERR_FILENO, s.data() + done, s.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

TTerminalHost::TTerminalHost(bool showProgress) : FShowProgress(showProgress) {
  sigset_t cancelSignals;
  sigemptyset(&cancelSignals);
  sigaddset(&cancelSignals, SIGINT);
  sigaddset(&cancelSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &cancelSignals, &FOldMask);
  FSignalFd = ::signalfd(-1, &cancelSignals, SFD_NONBLOCK | SFD_CLOEXEC);
}

TTerminalHost::~TTerminalHost() {
  Erase();
  PollSignals();  // a signal still pending must not kill the program once unblocked
  if (FSignalFd >= 0) ::close(FSignalFd);
  pthread_sigmask(SIG_SETMASK, &FOldMask, nullptr);
}

void TTerminalHost::PollSignals() {
  if (FSignalFd < 0) return;
  signalfd_siginfo info;
  while (::read(FSignalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) FCancel = true;
}

void TTerminalHost::PollSignalsNowAndThen() {
  // A long song's movie looks at the host once per frame, tens of thousands of times; a read of
  // the signal descriptor each time would cost the build as much as the build itself. Ctrl-C
  // still counts within a few milliseconds.
  const auto now = std::chrono::steady_clock::now();
  if (FPolled && now - FLastPoll < std::chrono::milliseconds(5)) return;
  FPolled = true;
  FLastPoll = now;
  PollSignals();
}

void TTerminalHost::ProcessMessages() { PollSignalsNowAndThen(); }

bool TTerminalHost::CancelRequested() {
  PollSignalsNowAndThen();
  return FCancel;
}

void TTerminalHost::ProgressChanged(const app::TProgressState& state) {
  FState = state;
  if (!FState.Visible) {
    Erase();
    return;
  }
  Draw();
}

void TTerminalHost::Erase() {
  if (FDrawnLines == 0) return;
  std::string s = "\r\x1b[K";
  for (int i = 1; i < FDrawnLines; ++i) s += "\x1b[1A\x1b[K";
  WriteAll(s);
  FDrawnLines = 0;
}

void TTerminalHost::Draw() {
  if (!FShowProgress) return;
  const int columns = TerminalColumns();
  const int barWidth = std::max(10, std::min(40, columns / 3));
  auto fit = [&](std::string line) {
    return std::string(TruncateUtf16(line, static_cast<size_t>(columns - 1)));
  };
  std::vector<std::string> lines;
  lines.push_back(fit(Bar(FState.FilesPosition, FState.FilesMax, barWidth) + " " +
                      FState.FilesProcessing + "  " + FState.Files));
  // One line per song at work; between songs, the last song's line stays. The lines are
  // redrawn by moving up over them: they must fit on the screen, the last one saying how many
  // more songs are at work when they do not.
  const size_t songLines = static_cast<size_t>(TerminalRows() - 2);
  const size_t running = FState.Running.size();
  const size_t shown = running <= songLines ? running : songLines - 1;
  for (size_t i = 0; i < shown; ++i) {
    const app::TSongProgress& song = FState.Running[i];
    lines.push_back(fit(Bar(song.Percent, 100, barWidth) + " " + std::to_string(song.Percent) +
                        "%  " + song.Action));
  }
  if (shown < running)
    lines.push_back(fit("... and " + std::to_string(running - shown) + " songs more at work"));
  if (FState.Running.empty())
    lines.push_back(fit(Bar(FState.SinglePercent, 100, barWidth) + " " +
                        FState.SingleProcessing + "  " + FState.SingleFile));
  std::string s = "\r\x1b[K";
  for (int i = 1; i < FDrawnLines; ++i) s += "\x1b[1A\r\x1b[K";
  for (size_t i = 0; i < lines.size(); ++i) s += (i ? "\n\x1b[K" : "") + lines[i];
  WriteAll(s);
  FDrawnLines = static_cast<int>(lines.size());
}

void TTerminalHost::Print(const std::string& text) {
  Erase();
  WriteAll(text + "\n");
  if (FState.Visible) Draw();
}

void TTerminalHost::ShowError(const std::string& text) {
  FMessages.push_back(text);
  Print(text);
}

void TTerminalHost::ShowWarning(const std::string& text) {
  FMessages.push_back(text);
  Print(text);
}

void TTerminalHost::ShowResult(const app::TPublishResult& result) {
  FResult = result;
  FHasResult = true;
}

}  // namespace tw::cli
