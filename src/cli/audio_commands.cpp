// info | tag: what the music list shows of a song, and the tag editor's ID3v1 writing.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "audio/mpeg_frames.h"
#include "audio/mpeg_info.h"
#include "audio/wave_info.h"
#include "audio/wave_reader.h"
#include "cli/commands.h"
#include "util/files.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::cli {
namespace fs = std::filesystem;
using namespace tw::audio;

namespace {

// One line of the music list, with the frame details on request.
struct SongInfo {
  std::string file;
  double seconds = 0;
  uint64_t wholeSeconds = 0;
  uint32_t sampleRate = 0;
  double bitRate = 0;  // kbit/s; negative for a VBR file
  std::string mode, title, artist, album;
  Json frames;  // null unless asked for
  std::vector<std::pair<std::string, std::string>> frameLines;
};

std::string Format(const char* format, double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

void AddMpegFrames(SongInfo& song) {
  TSourceStream stream = TSourceStream::OpenFile(song.file);
  TMPEGaudio mpeg;
  mpeg.Analyze(stream);
  const TMPEGFrameHeader& f = mpeg.FirstFrame;
  Json frames = Json::MakeObject();
  if (!f.Found) {
    frames.Set("found", false);
    song.frameLines.push_back({"Frames", "no MPEG audio frame found"});
    song.frames = std::move(frames);
    return;
  }
  static constexpr const char* kModes[] = {"stereo", "joint stereo", "dual channel", "mono"};
  const std::string mode = f.ChannelMode < 4 ? kModes[f.ChannelMode] : "";
  frames.Set("found", true)
      .Set("version", f.VersionName())
      .Set("layer", f.LayerName())
      .Set("channelMode", mode)
      .Set("sampleRate", mpeg.SampleRate())
      .Set("bitRate", mpeg.BitRate())
      .Set("frameCount", mpeg.FrameCount())
      .Set("audioFrameCount", mpeg.AudioFrameCount)
      .Set("firstFramePosition", mpeg.FirstFrameOffset())
      .Set("firstFrameSize", f.Size)
      .Set("duration", mpeg.Duration());
  song.frameLines.push_back({"MPEG", "version " + std::string(f.VersionName()) + ", Layer " +
                                         std::string(f.LayerName()) + ", " + mode});
  song.frameLines.push_back({"Frames", std::to_string(mpeg.FrameCount()) + " (" +
                                           std::to_string(mpeg.AudioFrameCount) + " audio)"});
  song.frameLines.push_back({"First frame", "byte " + std::to_string(mpeg.FirstFrameOffset()) +
                                                ", " + std::to_string(f.Size) + " bytes"});
  song.frameLines.push_back({"Frame time", Format("%.3f s", mpeg.Duration())});
  const TVBRHeader& v = mpeg.VBRHeader;
  if (v.Found) {
    const std::string vendor = ToUtf8(v.Vendor.substr(0, v.Vendor.find('\0')));
    frames.Set("vbrHeader", Json::MakeObject()
                                .Set("tag", v.Tag)
                                .Set("frames", v.FrameTotal)
                                .Set("bytes", v.ByteTotal)
                                .Set("quality", v.Quality)
                                .Set("vendor", vendor));
    song.frameLines.push_back({"VBR header", v.Tag + ", " + std::to_string(v.FrameTotal) +
                                                 " frames, " + std::to_string(v.ByteTotal) +
                                                 " bytes, quality " + std::to_string(v.Quality) +
                                                 (vendor.empty() ? "" : ", " + Quoted(vendor))});
  } else {
    frames.Set("vbrHeader", nullptr);
    song.frameLines.push_back({"VBR header", "none"});
  }
  const TID3v2& t = mpeg.ID3v2;
  if (t.Exists) {
    frames.Set("id3v2", Json::MakeObject()
                            .Set("version", t.VersionID)
                            .Set("size", t.Size)
                            .Set("title", t.Title)
                            .Set("artist", t.Artist)
                            .Set("album", t.Album));
    std::string line =
        "version 2." + std::to_string(t.VersionID) + ", " + std::to_string(t.Size) + " bytes";
    if (!t.Title.empty()) line += ", title " + Quoted(t.Title);
    if (!t.Artist.empty()) line += ", artist " + Quoted(t.Artist);
    if (!t.Album.empty()) line += ", album " + Quoted(t.Album);
    song.frameLines.push_back({"ID3v2", line});
  } else {
    frames.Set("id3v2", nullptr);
    song.frameLines.push_back({"ID3v2", "none"});
  }
  frames.Set("id3v1", mpeg.ID3v1.Exists);
  song.frameLines.push_back({"ID3v1", mpeg.ID3v1.Exists ? "present" : "none"});
  song.frames = std::move(frames);
}

void AddWaveFrames(SongInfo& song) {
  TWaveReader reader(song.file);
  Json frames = Json::MakeObject();
  frames.Set("formatTag", reader.FormatTag)
      .Set("channels", reader.Channels)
      .Set("bitsPerSample", reader.BitsPerSample)
      .Set("sampleCount", reader.SampleCount)
      .Set("dataOffset", reader.DataOffset)
      .Set("dataSize", reader.DataSize);
  std::string format = std::to_string(reader.FormatTag);
  if (reader.FormatTag == kWaveFormatPCM)
    format += " (PCM)";
  else if (reader.FormatTag == kWaveFormatMsAdpcm)
    format += " (Microsoft ADPCM)";
  else if (reader.FormatTag == kWaveFormatMPEGLayer3)
    format += " (MPEG Layer III)";
  song.frameLines.push_back({"Format", format});
  song.frameLines.push_back({"Channels", std::to_string(reader.Channels)});
  song.frameLines.push_back({"Sample size", std::to_string(reader.BitsPerSample) + " bits"});
  song.frameLines.push_back({"Samples", std::to_string(reader.SampleCount)});
  song.frameLines.push_back({"Data", "byte " + std::to_string(reader.DataOffset) + ", " +
                                         std::to_string(reader.DataSize) + " bytes"});
  if (reader.FormatTag == kWaveFormatMsAdpcm) {
    const TMsAdpcmFormat& a = reader.AdpcmFormat();
    frames.Set("blockAlign", a.BlockAlign).Set("samplesPerBlock", a.SamplesPerBlock);
    song.frameLines.push_back({"Blocks", std::to_string(a.BlockAlign) + " bytes, " +
                                             std::to_string(a.SamplesPerBlock) + " samples"});
  }
  song.frames = std::move(frames);
}

// What the music list reads of a song; throws with the reason when it cannot.
SongInfo ReadSong(const std::string& file, bool withFrames) {
  SongInfo song;
  song.file = file;
  const std::string ext = ToLowerAscii(fs::path(file).extension().string());
  if (ext == ".mp3") {
    TMPEGAudio mpeg;
    mpeg.SetFileName(file);
    if (mpeg.Failed()) throw CommandError(mpeg.ReadErrorText());
    song.seconds = mpeg.Duration();
    song.wholeSeconds = mpeg.Duration();
    song.sampleRate = mpeg.SampleRate();
    song.bitRate = mpeg.BitRate();
    song.mode = mpeg.ModeName();
    song.title = mpeg.Title();
    song.artist = mpeg.Artist();
    song.album = mpeg.Album();
    if (withFrames) AddMpegFrames(song);
  } else if (ext == ".wav") {
    const auto wave = ReadWaveFormatInfo(file);
    if (!wave) throw CommandError(file + ": not a WAV file that can be read");
    song.seconds = wave->Duration;
    // Whole seconds as a clock shows them; the millisecond rounding keeps 2.9999997 at 3.
    song.wholeSeconds = static_cast<uint64_t>(std::floor(std::round(wave->Duration * 1000) / 1000));
    song.sampleRate = wave->SampleRate;
    song.bitRate = double(wave->Channels) * wave->SampleRate * wave->BitsPerSample / 1000;
    song.mode = wave->Channels == 1 ? "Mono" : "Stereo";
    if (withFrames) AddWaveFrames(song);
  } else {
    throw CommandError(file + ": not an MP3 or WAV file");
  }
  return song;
}

void PrintSong(const SongInfo& s) {
  const std::string bitRate = s.bitRate < 0 ? "VBR" : Format("%g kbit/s", s.bitRate);
  std::cout << "File:        " << s.file << "\n"
            << "Duration:    " << FormatDuration(s.wholeSeconds) << "\n"
            << "Sample rate: " << s.sampleRate << " Hz\n"
            << "Bit rate:    " << bitRate << "\n"
            << "Mode:        " << s.mode << "\n"
            << "Title:       " << s.title << "\n"
            << "Artist:      " << s.artist << "\n"
            << "Album:       " << s.album << "\n";
  for (const auto& [key, value] : s.frameLines) {
    std::string label = key + ":";
    label.resize(std::max<size_t>(label.size() + 1, 13), ' ');
    std::cout << label << value << "\n";
  }
}

Json SongJson(const SongInfo& s) {
  Json out = Json::MakeObject();
  out.Set("file", s.file)
      .Set("duration", s.wholeSeconds)
      .Set("durationText", FormatDuration(s.wholeSeconds))
      .Set("seconds", s.seconds)
      .Set("sampleRate", s.sampleRate)
      .Set("bitRate", s.bitRate < 0 ? Json(-1) : Json(s.bitRate))
      .Set("vbr", s.bitRate < 0)
      .Set("mode", s.mode)
      .Set("title", s.title)
      .Set("artist", s.artist)
      .Set("album", s.album);
  if (!s.frameLines.empty()) out.Set("frames", s.frames);
  return out;
}

void Info(const std::vector<std::string>& files, bool json, bool withFrames) {
  std::vector<std::string> errors;
  Json all = Json::MakeArray();
  bool first = true;
  for (const auto& file : files) {
    try {
      const SongInfo song = ReadSong(file, withFrames);
      if (json) {
        all.Push(SongJson(song));
      } else {
        if (!first) std::cout << "\n";
        PrintSong(song);
        first = false;
      }
    } catch (const std::exception& e) {
      errors.push_back(e.what());
      if (json) all.Push(Json::MakeObject().Set("file", file).Set("error", e.what()));
    }
  }
  if (json) std::cout << all.Dump() << "\n";
  std::cout.flush();
  if (errors.empty()) return;
  // Every failure is reported; the last one through the common error path.
  for (size_t i = 0; i + 1 < errors.size(); ++i)
    std::fprintf(stderr, "tunewright-cli: error: %s\n", errors[i].c_str());
  throw CommandError(errors.back());
}

struct TagOptions {
  std::string file;
  std::optional<std::string> title, artist, album;
};

void Tag(const TagOptions& o) {
  if (ToLowerAscii(fs::path(o.file).extension().string()) != ".mp3")
    throw CommandError(o.file + ": only MP3 files carry an ID3 tag");
  if (!fs::is_regular_file(o.file)) throw CommandError(o.file + ": no such file");
  // Through a symbolic link the song it names is tagged; the link stays a link.
  std::error_code ec;
  const std::string song = fs::canonical(o.file, ec).string();
  if (ec) throw CommandError(o.file + ": " + ec.message());
  // The copy replaces the song by a rename, which neither a read-only file nor, for the
  // superuser, its permission bits would stop.
  struct stat st {};
  if (::stat(song.c_str(), &st) != 0 || (st.st_mode & 0222) == 0 ||
      ::access(song.c_str(), W_OK) != 0)
    throw CommandError(o.file + ": the file is read-only");
  TMPEGAudio written;
  // The tag is written into a copy that replaces the song only when everything worked.
  WriteFileAtomic(song, [&](const fs::path& temp) {
    fs::copy_file(song, temp, fs::copy_options::overwrite_existing);
    TMPEGAudio mpeg;
    mpeg.SetFileName(temp.string());
    if (mpeg.Failed()) throw CommandError("Error openning file: " + o.file);
    // Without a tag the reader's title is the file's name (here the copy's): not a title.
    const bool tagged = mpeg.HasTag();
    mpeg.SetTitle(o.title.value_or(tagged ? mpeg.Title() : ""));
    mpeg.SetArtist(o.artist.value_or(tagged ? mpeg.Artist() : ""));
    mpeg.SetAlbum(o.album.value_or(tagged ? mpeg.Album() : ""));
    mpeg.WriteTag();
    if (mpeg.Failed()) throw CommandError("Error openning file: " + o.file);
    written = mpeg;
  });
  std::cout << o.file << ": title " << Quoted(written.Title()) << ", artist "
            << Quoted(written.Artist()) << ", album " << Quoted(written.Album()) << "\n";
}

}  // namespace

void AddAudioCommands(CLI::App& app) {
  struct InfoOptions {
    std::vector<std::string> files;
    bool json = false, frames = false;
  };
  auto infoOpts = std::make_shared<InfoOptions>();
  auto* info = app.add_subcommand(
      "info", "What the music list shows of MP3 and WAV songs: duration, format and tags");
  info->add_option("FILE", infoOpts->files, "The songs")->required();
  info->add_flag("--json", infoOpts->json, "Print JSON (an array with one object per song)");
  info->add_flag("--frames", infoOpts->frames,
                 "Add the MPEG frame details (version, layer, frames, VBR header) or the WAV "
                 "format details");
  info->callback([infoOpts] { Info(infoOpts->files, infoOpts->json, infoOpts->frames); });

  auto tagOpts = std::make_shared<TagOptions>();
  auto* tag = app.add_subcommand(
      "tag",
      "Write title, artist and album into the ID3v1 tag of an MP3 file; texts not given "
      "keep their value");
  tag->add_option("FILE", tagOpts->file, "The MP3 file")->required();
  tag->add_option("--title", tagOpts->title, "The title (at most 30 characters are kept)");
  tag->add_option("--artist", tagOpts->artist, "The artist (at most 30 characters are kept)");
  tag->add_option("--album", tagOpts->album, "The album (at most 30 characters are kept)");
  tag->callback([tagOpts] { Tag(*tagOpts); });
}

}  // namespace tw::cli
