#include "app/project.h"

#include "app/paths.h"
#include "app/templates.h"
#include "util/text.h"

namespace tw::app {

std::string FixedText(std::string_view text) {
  return std::string(TruncateUtf16(text, kFixedTextUnits));
}

const std::array<TEncoderValue, 3> kSampleRates = {{
    {"11025 Hz", "11.025", "11025"},
    {"22050 Hz", "22.05", "22050"},
    {"44100 Hz", "44.1", "44100"},
}};

const std::array<TEncoderValue, 18> kBitRates = {{
    {"8 kbps", "8", "8k"},       {"16 kbps", "16", "16k"},    {"24 kbps", "24", "24k"},
    {"32 kbps", "32", "32k"},    {"40 kbps", "40", "40k"},    {"48 kbps", "48", "48k"},
    {"56 kbps", "56", "56k"},    {"64 kbps", "64", "64k"},    {"80 kbps", "80", "80k"},
    {"96 kbps", "96", "96k"},    {"112 kbps", "112", "112k"}, {"128 kbps", "128", "128k"},
    {"144 kbps", "144", "144k"}, {"160 kbps", "160", "160k"}, {"192 kbps", "192", "192k"},
    {"224 kbps", "224", "224k"}, {"256 kbps", "256", "256k"}, {"320 kbps", "320", "320k"},
}};

const std::array<TEncoderValue, 2> kChannels = {{
    {"Mono", "m", "1"},
    {"Stereo", "s", "2"},
}};

const std::array<TEncodingPreset, 5> kPresets = {{
    {"Normal quality, small size(22050 Hz, 16 kbps, Mono)", 1, 1, 0},
    {"Good quality, small size(22050 Hz, 24 kbps, Mono)", 1, 2, 0},
    {"High quality, medium size(22050 Hz, 64 kbps, Mono)", 1, 7, 0},
    {"Very high quality, large size(44100 Hz, 128 kbps, Stereo)", 2, 11, 1},
    {"Custom", 1, 2, 0},
}};

TMusicFileList::~TMusicFileList() {
  // A chain of thousands of songs must not recurse once per node.
  std::unique_ptr<TMusicFileList> next = std::move(Next);
  while (next) next = std::move(next->Next);
}

std::unique_ptr<TMusicFileList> TMusicFileList::CopyNode() const {
  auto node = std::make_unique<TMusicFileList>();
  node->FileName = FileName;
  node->Title = Title;
  node->Artist = Artist;
  node->Album = Album;
  node->Position = Position;
  return node;
}

TTemplateParam::~TTemplateParam() {
  std::unique_ptr<TTemplateParam> next = std::move(Next);
  while (next) next = std::move(next->Next);
}

TTemplateParam& TTemplateInfo::AddParam(std::unique_ptr<TTemplateParam> param) {
  std::unique_ptr<TTemplateParam>* slot = &FirstParam;
  while (*slot) slot = &(*slot)->Next;
  *slot = std::move(param);
  ++ParamCount;
  return **slot;
}

void TProject::ApplyPreset(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(kPresets.size())) return;
  PresetIndex = index;
  SampleRateIndex = kPresets[static_cast<size_t>(index)].SampleRate;
  BitRateIndex = kPresets[static_cast<size_t>(index)].BitRate;
  ChannelsIndex = kPresets[static_cast<size_t>(index)].Channels;
}

const TTemplateEntry* TProject::Template() const {
  if (SelectedTemplate < 0 || SelectedTemplate >= static_cast<int32_t>(Templates.size()))
    return nullptr;
  return &Templates[static_cast<size_t>(SelectedTemplate)];
}

const TPreloaderParams* TProject::Preloader() const {
  if (SelectedPreloader < 0 || SelectedPreloader >= static_cast<int32_t>(Preloaders.size()))
    return nullptr;
  return &Preloaders[static_cast<size_t>(SelectedPreloader)];
}

void TProject::SelectTemplate(int32_t index) {
  SelectedTemplate = index;
  if (const TTemplateEntry* t = Template(); t && t->Info) {
    Width = t->Info->DefaultWidth;
    Height = t->Info->DefaultHeight;
  }
}

void TProject::SelectPreloader(int32_t index) {
  SelectedPreloader = index;
  if (const TPreloaderParams* p = Preloader()) ApplyPreloaderColors(*this, *p);
}

TProject MakeDefaultProject() {
  TProject project;
  project.OutputFolder = UserDataFolder() + "output/";
  return project;
}

}  // namespace tw::app
