// Hostile project files: applying any bytes must neither crash, hang nor read out of bounds, and
// what a file set must save as a document that applies back to the same document.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/project_file.h"

using namespace tw::app;

namespace {

class TQuietHost : public THost {
 public:
  void ProgressChanged(const TProgressState&) override {}
  void ProcessMessages() override {}
  bool CancelRequested() override { return false; }
  void ClearCancel() override {}
  void ShowError(const std::string&) override {}
  void ShowResult(const TPublishResult&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Songs named by a file are read through copies in the working folder: keep it private.
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("tw-fuzz-project-" + std::to_string(::getpid())))
          .string();
  ::setenv("XDG_DOCUMENTS_DIR", folder.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TQuietHost host;
  TProject project;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (ApplyProjectText(project, text, host).Status != TApplyStatus::Applied) return 0;
  const std::string saved = ProjectFileText(project);
  TProject again;
  if (ApplyProjectText(again, saved, host).Status != TApplyStatus::Applied) std::abort();
  if (ProjectFileText(again) != saved) std::abort();
  return 0;
}
