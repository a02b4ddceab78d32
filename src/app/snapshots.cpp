#include "app/snapshots.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/paths.h"
#include "util/text.h"

namespace tw::app {
namespace fs = std::filesystem;

namespace {

size_t Index(int32_t value, size_t count) {
  return static_cast<size_t>(std::clamp<int32_t>(value, 0, static_cast<int32_t>(count) - 1));
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// The output folder as the window's text names it, or the working output folder.
std::string ResolveOutputFolder(const std::string& text) {
  std::string folder = Trim(text);
  // An empty text would name the root folder; it means "no choice" instead.
  if (!folder.empty()) {
    std::error_code ec;
    folder = IncludeTrailingSlash(fs::absolute(folder, ec).string());
    if (!IsFolder(folder)) fs::create_directory(folder, ec);  // the last level only
    if (IsFolder(folder)) return folder;
  }
  const std::string fallback = UserDataFolder() + "output/";
  std::error_code ec;
  fs::create_directories(fallback, ec);
  return fallback;
}

std::string ResolveOutputName(const std::string& text) {
  std::string name = Trim(text);
  if (ToLowerAscii(ExtractFileExt(name)) == ".swf") name.resize(name.size() - 4);
  if (name.empty()) name = "player";
  return name;
}

}  // namespace

std::unique_ptr<TMusicFileList> BuildMusicChain(const TProject& project) {
  std::unique_ptr<TMusicFileList> first;
  std::unique_ptr<TMusicFileList>* slot = &first;
  int32_t position = 0;
  for (const TMP3Info& info : project.Music) {
    auto node = std::make_unique<TMusicFileList>();
    node->FileName = info.Path;
    node->Title = info.Title;
    node->Artist = info.Artist;
    node->Album = info.Album;
    node->Position = ++position;
    *slot = std::move(node);
    slot = &(*slot)->Next;
  }
  return first;
}

TConvertOption GatherConvertOptions(TProject& project) {
  TConvertOption o;
  o.FlashVersionIndex = project.FlashVersionIndex;
  o.FrameRate = project.FrameRate;
  o.Music = BuildMusicChain(project);
  o.MusicCount = static_cast<int32_t>(project.Music.size());
  o.OutputFolder = ResolveOutputFolder(project.OutputFolder);
  o.OutputName = ResolveOutputName(project.OutputName);
  o.PublishOption = project.PublishOption;
  o.MusicFormat = project.MusicFormat;
  o.UseFullUrl = project.UseFullUrl;
  o.FullUrl = Trim(project.FullUrl);
  if (!o.FullUrl.empty() && o.FullUrl.back() != '/') o.FullUrl += '/';
  o.OnlyFlashPlayer = project.OnlyFlashPlayer;
  o.Ruffle = project.Ruffle;
  o.RuffleUrl = Trim(project.RuffleUrl);
  if (o.RuffleUrl.empty()) o.RuffleUrl = kDefaultRuffleUrl;
  o.Width = project.Width;
  o.Height = project.Height;
  o.Reencode = project.Reencode;

  // MPEG-2 rates (11025 and 22050 Hz) stop at 160 kbps; MPEG-1 at 44100 Hz starts at 32 kbps
  // and has no 144 kbps.
  const size_t rate = Index(project.SampleRateIndex, kSampleRates.size());
  if (rate <= 1 && project.BitRateIndex > 13) project.BitRateIndex = 13;
  if (rate == 2 && project.BitRateIndex < 3) project.BitRateIndex = 3;
  if (rate == 2 && project.BitRateIndex == 12) project.BitRateIndex = 11;
  const size_t bitRate = Index(project.BitRateIndex, kBitRates.size());
  const size_t channels = Index(project.ChannelsIndex, kChannels.size());

  o.LameSampleRate = kSampleRates[rate].Lame;
  o.LameBitRate = kBitRates[bitRate].Lame;
  o.LameMode = kChannels[channels].Lame;
  o.FfmpegSampleRate = kSampleRates[rate].Ffmpeg;
  o.FfmpegBitRate = kBitRates[bitRate].Ffmpeg;
  o.FfmpegChannels = kChannels[channels].Ffmpeg;
  return o;
}

std::unique_ptr<TStageSettings> GatherStageSettings(TProject& project) {
  auto s = std::make_unique<TStageSettings>();
  const TTemplateEntry* entry = project.Template();
  if (entry) {
    s->TemplateName = FixedText(entry->FileName);
    s->Template = entry->Info.get();
  }
  s->DefaultSize = project.DefaultSize;
  // A template without a description has no size of its own: the typed size stands.
  if (s->DefaultSize && s->Template) {
    s->Width = s->Template->DefaultWidth;
    s->Height = s->Template->DefaultHeight;
  } else {
    s->Width = project.Width;
    s->Height = project.Height;
  }
  s->PlayerPosition = project.PlayerPosition;
  s->Left = project.Left;
  s->Top = project.Top;
  s->XScale = RoundHalfEven(project.XScale);
  s->YScale = RoundHalfEven(project.YScale);
  s->Rotation = RoundHalfEven(project.Rotation);
  s->SolidBackground = project.Transparent ? 0 : 1;
  s->BackgroundColor = project.SolidColor;

  s->PreloaderOn = project.PreloaderOn;
  if (TPreloaderParams* preloader = project.Preloader()) {
    s->PreloaderName = preloader->FileName;
    for (TPreloaderParam& param : preloader->Params) {
      if (ToLowerAscii(param.TypeText) != "color") continue;
      const std::string name = ToLowerAscii(param.Name);
      if (name == "bg.color") param.Value = ColorToHex(project.PreloaderBarColor);
      else if (name == "bg.bgcolor") param.Value = ColorToHex(project.PreloaderBgColor);
    }
    s->Preloader = preloader;
  }

  s->FlashVersionIndex = project.FlashVersionIndex;
  s->FrameRate = project.FrameRate;
  s->PlayPercent = RoundHalfEven(project.PlayPercent);

  s->BgImagesOn = project.BgImagesOn;
  for (const TImageEntry& e : project.BgImages) s->BgImages.push_back(&e);
  s->FgImagesOn = project.FgImagesOn;
  for (auto it = project.FgImages.rbegin(); it != project.FgImages.rend(); ++it)
    s->FgImages.push_back(&*it);
  return s;
}

void FreeStageSettings(std::unique_ptr<TStageSettings>& settings) { settings.reset(); }

}  // namespace tw::app
