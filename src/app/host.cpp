#include "app/host.h"

#include <algorithm>

#include "app/paths.h"

namespace tw::app {

void TProgress::Open(int songCount) {
  FState = TProgressState{};
  FState.Visible = true;
  FState.SingleFile = "Converting:";
  FState.SingleProcessing = "0%";
  FState.Files = "Converting files:";
  FState.FilesProcessing = "0/" + std::to_string(songCount);
  FState.FilesMax = songCount;
  Changed();
}

void TProgress::Close() {
  FState = TProgressState{};
  FCurrentSong = 0;
  Changed();
}

void TProgress::SetSingleFile(std::string text) {
  FState.SingleFile = std::move(text);
  Changed();
}

void TProgress::SetSinglePercent(int percent, std::string text) {
  FState.SinglePercent = std::clamp(percent, 0, 100);
  FState.SingleProcessing = std::move(text);
  for (TSongProgress& song : FState.Running)
    if (song.Number == FCurrentSong) song.Percent = FState.SinglePercent;
  Changed();
}

void TProgress::SetFiles(std::string text, std::string processing) {
  FState.Files = std::move(text);
  FState.FilesProcessing = std::move(processing);
  Changed();
}

void TProgress::SetFilesPosition(int position, std::string processing) {
  FState.FilesPosition = std::clamp(position, 0, std::max(FState.FilesMax, 0));
  FState.FilesProcessing = std::move(processing);
  Changed();
}

void TProgress::StartSong(int number, std::string action) {
  FCurrentSong = number;
  FState.SingleFile = action;
  auto at = std::find_if(FState.Running.begin(), FState.Running.end(),
                         [&](const TSongProgress& s) { return s.Number >= number; });
  if (at == FState.Running.end() || at->Number != number)
    at = FState.Running.insert(at, TSongProgress{number, {}, 0});
  at->Action = std::move(action);
  at->Percent = 0;
  Changed();
}

void TProgress::EndSong(int number) {
  std::erase_if(FState.Running, [&](const TSongProgress& s) { return s.Number == number; });
  if (FCurrentSong == number) FCurrentSong = 0;
  Changed();
}

void TProgress::Show(TProgressState state) {
  if (state == FState) return;
  FState = std::move(state);
  Changed();
}

void TRunContext::Checkpoint() {
  Host.ProcessMessages();
  if (Host.CancelRequested()) throw ECancelled();
}

std::string TRunContext::WorkFolder() const {
  return FWorkFolder.empty() ? UserDataFolder() : FWorkFolder;
}

void TRunContext::ReportError(std::string_view message) {
  Host.ShowError("Error: " + std::string(message));
}

}  // namespace tw::app
