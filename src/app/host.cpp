#include "app/host.h"

#include <algorithm>

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
  Changed();
}

void TProgress::SetSingleFile(std::string text) {
  FState.SingleFile = std::move(text);
  Changed();
}

void TProgress::SetSinglePercent(int percent, std::string text) {
  FState.SinglePercent = std::clamp(percent, 0, 100);
  FState.SingleProcessing = std::move(text);
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

void TRunContext::Checkpoint() {
  Host.ProcessMessages();
  if (Host.CancelRequested()) throw ECancelled();
}

void TRunContext::ReportError(std::string_view message) {
  Host.ShowError("Error: " + std::string(message));
}

}  // namespace tw::app
