// The project: the user's document that the window edits and the project file stores, with the
// records that hang off it (music entries, image entries, template and preloader parameters) and
// the value tables of the encoder choices. A plain model: no window, no file, no engine.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw::app {

enum class TPublishOption : int32_t { PlayerAndMusicFiles = 0, SinglePlayer = 1, MusicFiles = 2 };
enum class TMusicFormat : int32_t { SWF = 0, FLV = 1, MP3 = 2 };
enum class TPlayerPosition : int32_t { Center = 0, Custom = 1 };
enum class TImagePosition : int32_t { Center = 0, Custom = 1, Stretch = 2, Tile = 3 };
enum class TParamType : int32_t { Color = 0, Integer = 1, Bool = 2, Selection = 3 };
// How the page brings the Ruffle emulator, which plays the movie where no Flash plug-in exists:
// not at all (the bare embed page), by one script line to its public release, or as files of
// its own copied beside the page.
enum class TRuffleMode : int32_t { Off = 0, Link = 1, Copy = 2 };

// A colour value of the platform: red in the low byte, then green, then blue.
using TColor = uint32_t;
constexpr TColor MakeColor(uint8_t red, uint8_t green, uint8_t blue) {
  return TColor{red} | (TColor{green} << 8) | (TColor{blue} << 16);
}

// The records' texts are buffers of at most this many UTF-16 code units.
inline constexpr size_t kFixedTextUnits = 255;
// A text cut to a fixed buffer: its first 255 UTF-16 code units, never half a character.
std::string FixedText(std::string_view text);

// ---- Value tables of the encoding choices ---------------------------------------------------

// One row: the caption the window shows, the MP3 encoder's argument, the converter's argument.
struct TEncoderValue {
  std::string_view Caption;
  std::string_view Lame;
  std::string_view Ffmpeg;
};

extern const std::array<TEncoderValue, 3> kSampleRates;
extern const std::array<TEncoderValue, 18> kBitRates;
extern const std::array<TEncoderValue, 2> kChannels;

struct TEncodingPreset {
  std::string_view Caption;
  int32_t SampleRate;  // indices into the value tables
  int32_t BitRate;
  int32_t Channels;
};
inline constexpr int32_t kCustomPreset = 4;
extern const std::array<TEncodingPreset, 5> kPresets;

// ---- Records --------------------------------------------------------------------------------

// One line of the music list.
struct TMP3Info {
  int32_t Kind = 0;          // 0 MP3, 1 WAV
  std::string Path;          // full path of the source file
  double Duration = 0;       // fraction of a day (seconds / 86400)
  int32_t SampleRate = 0;    // Hz
  int32_t BitRate = 0;       // kbit/s for MP3; channels x sample rate x bits per sample for WAV
  std::string Mode;          // "Mono", "Stereo" or the MP3 reader's mode name
  int32_t DataOffset = 0;    // WAV only: byte offset of the sample data
  std::string Title;         // fixed texts (FixedText)
  std::string Artist;
  std::string Album;
};

// One node of the song chain of a run. The chain owns its nodes through Next.
class TMusicFileList {
 public:
  TMusicFileList() = default;
  ~TMusicFileList();  // frees the rest of the chain without recursion
  TMusicFileList(const TMusicFileList&) = delete;
  TMusicFileList& operator=(const TMusicFileList&) = delete;

  std::string FileName;  // full path
  std::string Title;
  std::string Artist;
  std::string Album;
  // The song's 1-based position in the project's music list: a one-node copy still knows which
  // re-encoded file ("encode" + k + ".mp3") belongs to it, even when a song is listed twice.
  int32_t Position = 0;
  std::unique_ptr<TMusicFileList> Next;

  // A copy of this one node, without the rest of the chain.
  std::unique_ptr<TMusicFileList> CopyNode() const;
};

// One line of the background or foreground image list.
struct TImageEntry {
  std::string File;  // full path (fixed text)
  TImagePosition Position = TImagePosition::Center;
  int32_t Left = 0, Top = 0;           // pixels, -1000..1000
  int32_t XScale = 100, YScale = 100;  // percent, 1..1000
  int32_t Rotation = 0;                // degrees, 0..360
};

// One parameter of a player template, in a chain in definition order.
struct TTemplateParam {
  std::string Name;  // the element name, e.g. "Py.Autostart"
  std::string Caption;
  std::string DefaultValue;
  std::string Value;      // starts equal to the default
  std::string Selection;  // ";"-separated choices (selection type only)
  TParamType ParamType = TParamType::Color;
  std::unique_ptr<TTemplateParam> Next;
  ~TTemplateParam();  // frees the rest of the chain without recursion
};

// What a template declares about itself; a template file without a definition has none.
struct TTemplateInfo {
  int32_t DefaultWidth = 0;   // pixels: the template movie's frame size
  int32_t DefaultHeight = 0;
  int32_t ParamCount = 0;
  std::unique_ptr<TTemplateParam> FirstParam;
  // Appends at the end of the chain and counts it.
  TTemplateParam& AddParam(std::unique_ptr<TTemplateParam> param);
};

struct TPreloaderParam {
  std::string Name, Value, TypeText, Caption, DefaultValue, MinValue, MaxValue, Selection;
};

struct TPreloaderParams {
  std::string FileName;  // the preloader's file name (fixed text)
  std::vector<TPreloaderParam> Params;
  int32_t Count() const { return static_cast<int32_t>(Params.size()); }
};

// One entry of the template list: the file name and its description, when it has one.
struct TTemplateEntry {
  std::string FileName;
  std::unique_ptr<TTemplateInfo> Info;
};

// ---- The project ----------------------------------------------------------------------------

// The placeholder address the URL prefix starts with.
inline constexpr std::string_view kDefaultUrlPrefix = "http://www.example.com/music/";
// The emulator's public release, the script a linking page loads.
inline constexpr std::string_view kDefaultRuffleUrl = "https://unpkg.com/@ruffle-rs/ruffle";

struct TProject {
  // Music
  std::vector<TMP3Info> Music;

  // Encoding
  bool Reencode = true;
  int32_t PresetIndex = kCustomPreset;
  int32_t SampleRateIndex = 1;  // 22050 Hz
  int32_t BitRateIndex = 2;     // 24 kbps
  int32_t ChannelsIndex = 0;    // Mono

  // Template (the lists are filled from the "player" and "preloader" folders)
  std::vector<TTemplateEntry> Templates;  // sorted without regard to case
  int32_t SelectedTemplate = -1;          // -1 while the list is empty

  // Size: the stage takes the template's size, or the width and height typed here (0..5000)
  bool DefaultSize = true;
  int32_t Width = 400;
  int32_t Height = 300;

  // Player placement
  TPlayerPosition PlayerPosition = TPlayerPosition::Custom;
  int32_t Left = 0, Top = 0;           // 0..5000
  double XScale = 100, YScale = 100;   // percent, 1..1000
  double Rotation = 0;                 // degrees, 0..360

  // Background: transparent, or a solid colour
  bool Transparent = false;
  TColor SolidColor = MakeColor(0x00, 0x33, 0x66);

  // Preloader
  bool PreloaderOn = false;
  std::vector<TPreloaderParams> Preloaders;  // sorted without regard to case
  int32_t SelectedPreloader = -1;
  TColor PreloaderBarColor = 0;  // "Bg.Color" of the selected preloader
  TColor PreloaderBgColor = 0;   // "Bg.BgColor"

  // Flash
  int32_t FlashVersionIndex = 2;  // 0..2: SWF version 6 + index
  int32_t FrameRate = 12;         // 1..100
  double PlayPercent = 0;         // 0..100

  // Images
  bool BgImagesOn = false;
  std::vector<TImageEntry> BgImages;
  bool FgImagesOn = false;
  std::vector<TImageEntry> FgImages;

  // Publish
  std::string OutputFolder;  // empty: UserDataFolder + "output/"
  std::string OutputName = "player.swf";
  TPublishOption PublishOption = TPublishOption::SinglePlayer;
  TMusicFormat MusicFormat = TMusicFormat::SWF;
  bool UseFullUrl = false;
  std::string FullUrl{kDefaultUrlPrefix};
  bool OnlyFlashPlayer = false;
  TRuffleMode Ruffle = TRuffleMode::Off;
  std::string RuffleUrl{kDefaultRuffleUrl};

  // Choosing a preset sets the three encoder indices (Custom resets to its own fixed row).
  void ApplyPreset(int32_t index);
  // The template and preloader chosen, or null.
  const TTemplateEntry* Template() const;
  const TPreloaderParams* Preloader() const;
  TTemplateEntry* Template() {
    return const_cast<TTemplateEntry*>(std::as_const(*this).Template());
  }
  TPreloaderParams* Preloader() {
    return const_cast<TPreloaderParams*>(std::as_const(*this).Preloader());
  }
  // Selecting a template takes its size as the custom width and height.
  void SelectTemplate(int32_t index);
  // Selecting a preloader takes its two colours from its parameters.
  void SelectPreloader(int32_t index);
};

// A project with the start-up defaults, its output folder the working output folder.
TProject MakeDefaultProject();

}  // namespace tw::app
