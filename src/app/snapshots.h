// The two snapshots a publish run or a preview build takes of the project: nothing builds from
// the live project directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/project.h"

namespace tw::app {

// Everything the publish run, the engines and the music movies need.
struct TConvertOption {
  int32_t FlashVersionIndex = 2;  // SWF version 6 + index
  int32_t FrameRate = 12;
  std::unique_ptr<TMusicFileList> Music;  // first song, list order
  int32_t MusicCount = 0;
  std::string OutputFolder;  // ends with "/"
  std::string OutputName;    // base name, no ".swf"
  int32_t Width = 0, Height = 0;  // the custom size as typed (informational)
  TPublishOption PublishOption = TPublishOption::SinglePlayer;
  TMusicFormat MusicFormat = TMusicFormat::SWF;
  bool UseFullUrl = false;
  std::string FullUrl;  // ends with "/" unless empty
  bool OnlyFlashPlayer = false;
  TRuffleMode Ruffle = TRuffleMode::Off;
  std::string RuffleUrl;  // the script a linking page loads
  bool Reencode = true;
  std::string LameSampleRate, LameBitRate, LameMode;
  std::string FfmpegSampleRate, FfmpegBitRate, FfmpegChannels;
};

// Everything the stage composition and the player movie need. The template, the preloader and
// the image entries are the project's own: the snapshot refers to them and owns only its two
// arrays, so it must not outlive the project.
struct TStageSettings {
  std::string TemplateName;               // the selected template's file name (fixed text)
  const TTemplateInfo* Template = nullptr;
  int32_t Width = 0, Height = 0;          // pixels: the stage size
  bool DefaultSize = false;
  int32_t SolidBackground = 1;            // 1 solid colour, 0 transparent
  TColor BackgroundColor = 0;
  bool PreloaderOn = false;
  std::string PreloaderName;
  const TPreloaderParams* Preloader = nullptr;
  int32_t FlashVersionIndex = 2;
  int32_t FrameRate = 12;
  int32_t PlayPercent = 0;
  TPlayerPosition PlayerPosition = TPlayerPosition::Custom;
  int32_t Left = 0, Top = 0;
  int32_t XScale = 100, YScale = 100;
  int32_t Rotation = 0;
  bool BgImagesOn = false;
  std::vector<const TImageEntry*> BgImages;  // list order
  bool FgImagesOn = false;
  std::vector<const TImageEntry*> FgImages;  // reverse list order: last line first
};

// The snapshot of a publish run. Always succeeds; as the window did, it limits the project's
// bit-rate choice to what the sample rate allows and may create the output folder.
TConvertOption GatherConvertOptions(TProject& project);

// The stage snapshot. Writes the preloader colours into the selected preloader's parameters.
std::unique_ptr<TStageSettings> GatherStageSettings(TProject& project);
void FreeStageSettings(std::unique_ptr<TStageSettings>& settings);

// The chain of a run: one node per line of the music list, in order.
std::unique_ptr<TMusicFileList> BuildMusicChain(const TProject& project);

}  // namespace tw::app
