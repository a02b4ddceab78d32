#include "app/video_movie.h"

#include <algorithm>
#include <array>

#include "app/engines.h"
#include "app/fileops.h"
#include "audio/flv.h"
#include "audio/mpeg_frames.h"
#include "builder/movie.h"
#include "builder/sound.h"
#include "util/files.h"

namespace tw::app {

namespace {

using audio::EAudioError;
using audio::TFLVReader;

// A frame rate the header's 8.8 fixed-point number holds; a clip of one frame has none.
constexpr double kDefaultFrameRate = 12;
constexpr double kHighestFrameRate = 255;

enum class TAudioRoute { None, MP3, PCM, Reencode };

TAudioRoute RouteOf(const TFLVReader& flv) {
  if (flv.AudioPackets.empty()) return TAudioRoute::None;
  const uint8_t format = flv.AudioPackets.front().Format;
  const bool oneFormat = std::all_of(flv.AudioPackets.begin(), flv.AudioPackets.end(),
                                     [&](const auto& p) { return p.Format == format; });
  if (!oneFormat) return TAudioRoute::Reencode;
  switch (format) {
    case audio::kFLVSoundMP3: return TAudioRoute::MP3;
    case audio::kFLVSoundPCM: case audio::kFLVSoundPCMLE: return TAudioRoute::PCM;
    // ADPCM packets hold 4096 samples each, which no frame rate cuts into whole blocks.
    default: return TAudioRoute::Reencode;
  }
}

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// The MP3 frames of the packets, one after the other, as an MP3 file holds them.
std::vector<uint8_t> MP3Of(const TFLVReader& flv) {
  std::vector<uint8_t> bytes;
  for (const auto& packet : flv.AudioPackets) Append(bytes, packet.Data);
  return bytes;
}

// The samples of the packets as a WAV file; the format of the first packet holds for all.
std::vector<uint8_t> WaveOf(const TFLVReader& flv) {
  static constexpr std::array<uint32_t, 4> kRates = {5512, 11025, 22050, 44100};
  const audio::TFLVAudioPacket& first = flv.AudioPackets.front();
  const uint16_t channels = first.Stereo ? 2 : 1, bits = first.SixteenBit ? 16 : 8;
  const uint32_t rate = kRates[first.RateCode];
  std::vector<uint8_t> data;
  for (const auto& packet : flv.AudioPackets) Append(data, packet.Data);
  // A sample frame cut in half at the end is left out.
  data.resize(data.size() - data.size() % (channels * bits / 8u));
  std::vector<uint8_t> w;
  auto text = [&](const char* s) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(s[i]));
  };
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto size = static_cast<uint32_t>(std::min<size_t>(data.size(), 0xFFFFFFFFu - 36));
  text("RIFF"), le(36 + size, 4), text("WAVE");
  text("fmt "), le(16, 4), le(1, 2), le(channels, 2), le(rate, 4);
  le(rate * channels * bits / 8, 4), le(channels * bits / 8u, 2), le(bits, 2);
  text("data"), le(size, 4);
  Append(w, std::span<const uint8_t>(data).first(size));
  return w;
}

// The sound of the file as MP3 at 44.1 kHz, made by the media converter. False on Cancel.
bool Reencode(const std::string& source, const std::string& target, uint8_t format,
              TRunContext& ctx) {
  const std::string ffmpeg = FindEngine("ffmpeg");
  const std::string what = "The FLV file's sound (" + audio::FLVSoundFormatName(format) +
                           ") cannot go into a SWF sound stream as it is";
  if (ffmpeg.empty())
    throw EAudioError(what + ", and the media converter that would re-encode it is missing");
  const TEngineRun run = RunEngine({ffmpeg, "-y", "-i", source, "-vn", "-ar", "44100", "-c:a",
                                    "libmp3lame", "-b:a", "128k", target},
                                   TEngineKind::Converter, ctx);
  if (run.Cancelled) return false;
  if (!run.Succeeded() || !IsNonEmptyFile(target))
    throw EAudioError(what + ", and the media converter could not re-encode it: " + run.LastLine);
  return true;
}

// The sample rate of the first MP3 frame header; 0 when there is none.
uint32_t MP3SampleRate(std::span<const uint8_t> mp3) {
  for (size_t i = 0; i + 4 <= mp3.size(); ++i) {
    if (!audio::IsUsableFrameHeader(&mp3[i])) continue;
    audio::TMPEGFrameHeader header;
    header.Decode(&mp3[i]);
    return header.SampleRate();
  }
  return 0;
}

bool CarriesMP3Rate(uint32_t rate) { return rate == 11025 || rate == 22050 || rate == 44100; }

}  // namespace

bool WriteVideoMovieFile(const std::string& source, const std::string& target, int flashVersion,
                         TRunContext& ctx) {
  const TFLVReader flv = TFLVReader::FromFile(source);
  if (flv.VideoFrames.empty()) throw EAudioError(audio::kFLVNoVideo);
  const audio::TFLVPictureSize size = flv.PictureSize();
  if (size.Width == 0 || size.Height == 0)
    throw EAudioError("The FLV file does not give the size of its video");
  double fps = flv.FrameRate();
  if (fps <= 0) fps = kDefaultFrameRate;
  if (fps > kHighestFrameRate)
    throw EAudioError("The FLV file's frame rate (" + std::to_string(fps) +
                      ") is higher than a SWF movie can play");

  // The working files of the sound stay until the movie is built, which reads them.
  const TWorkFolder work(ctx.WorkFolder());
  builder::TFlashMovie movie(0, 0, size.Width, size.Height, fps, swf::TSystemCoord::Pix);
  movie.SetVersion(static_cast<uint8_t>(flashVersion));
  builder::TFlashVideo& video = movie.AddVideo();
  video.LoadFromFLV(flv);
  movie.PlaceVideo(video, 1);
  movie.ShowFrame(video.FrameCount());

  const std::string sound = work.Path() + "sound";
  TAudioRoute route = RouteOf(flv);
  auto load = [&](const std::string& file) {
    builder::TFlashSound& stream = movie.StreamSound();
    stream.LoopStream = false;  // the sound of a clip ends with it
    stream.LoadFromFile(file);
  };
  if (route == TAudioRoute::MP3) {
    const std::vector<uint8_t> mp3 = MP3Of(flv);
    // MP3 at 48, 32 or 24 kHz has no SWF rate code: the player would play it at the wrong speed.
    if (CarriesMP3Rate(MP3SampleRate(mp3))) {
      WriteWholeFile(sound + ".mp3", mp3);
      load(sound + ".mp3");
    } else {
      route = TAudioRoute::Reencode;
    }
  } else if (route == TAudioRoute::PCM) {
    WriteWholeFile(sound + ".wav", WaveOf(flv));
    load(sound + ".wav");
  }
  if (route == TAudioRoute::Reencode) {
    if (!Reencode(source, sound + "-44k.mp3", flv.AudioPackets.front().Format, ctx)) return false;
    load(sound + "-44k.mp3");
  }

  movie.BuildBody();
  const std::string out = work.Path() + "movie.swf";
  movie.SaveToFile(out);
  CopyFileReplacing(out, target);
  return true;
}

}  // namespace tw::app
