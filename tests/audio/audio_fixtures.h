// Test audio made by sox, lame and ffmpeg (cached under the build folder, never committed), and
// ffprobe and ffmpeg as second opinions.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/testing.h"

namespace tw::test {

namespace fs = std::filesystem;

inline fs::path AudioCacheDir() {
  const fs::path dir = TW_AUDIO_CACHE_DIR;
  fs::create_directories(dir);
  return dir;
}

using CommandLine = std::vector<std::string>;

// Runs a command and fails the test with its output when it does not succeed.
inline bool RunTool(const CommandLine& argv) {
  const CommandResult r = RunCommand(argv);
  if (r.status != 0) {
    std::string line;
    for (const auto& a : argv) line += a + " ";
    ADD_FAILURE() << "command failed (" << r.status << "): " << line << "\n"
                  << r.err << (r.status == -1 ? " (is the Debian package installed?)" : "");
    return false;
  }
  return true;
}

// Makes a file once: the commands run with "{out}" replaced by a temporary output path and
// "{tmp}" by a scratch path (both keep the name's extension, which the tools look at). The file
// is renamed into the cache only when every command succeeded, so parallel tests never see a
// half-made file. The cached name carries a hash of the commands: a changed recipe remakes it.
inline fs::path MakeAudio(const std::string& name, const std::vector<CommandLine>& commands) {
  std::string recipe;
  for (const auto& c : commands)
    for (const auto& a : c) recipe += a + '\x1f';
  const std::string hash = std::to_string(std::hash<std::string>{}(recipe) % 1000000007);
  const fs::path target = AudioCacheDir() / (hash + "-" + name);
  if (fs::exists(target)) return target;
  const std::string ext = fs::path(name).extension().string();
  const std::string unique = std::to_string(::getpid()) + "-" + hash;
  const fs::path out = AudioCacheDir() / (".out-" + unique + ext);
  const fs::path tmp = AudioCacheDir() / (".tmp-" + unique + ".wav");
  for (CommandLine c : commands) {
    for (auto& a : c) {
      for (size_t at; (at = a.find("{out}")) != std::string::npos;) a.replace(at, 5, out.string());
      for (size_t at; (at = a.find("{tmp}")) != std::string::npos;) a.replace(at, 5, tmp.string());
    }
    if (!RunTool(c)) {
      fs::remove(out);
      fs::remove(tmp);
      return {};
    }
  }
  fs::remove(tmp);
  fs::rename(out, target);
  return target;
}

// A sox command that writes a test signal: a tone per channel (440 and 660 Hz) mixed with pink
// noise, so that encoders have something to code.
inline CommandLine SoxSignal(const std::string& out, int rate, int channels, double seconds) {
  CommandLine c = {
      "sox", "-q", "-n", "-r",    std::to_string(rate),    "-c",   std::to_string(channels),
      "-b",  "16", out,  "synth", std::to_string(seconds), "sine", "440"};
  if (channels == 2) c.insert(c.end(), {"sine", "660"});
  c.insert(c.end(), {"synth", "pinknoise", "mix", "vol", "0.5"});
  return c;
}

struct ProbeInfo {
  std::string codec;
  int sampleRate = 0;
  int channels = 0;
  double duration = 0;  // of the container
  long packets = 0;
};

inline ProbeInfo Probe(const fs::path& file) {
  const CommandResult r = RunCommand(
      {"ffprobe", "-v", "error", "-select_streams", "a:0", "-count_packets", "-show_entries",
       "stream=codec_name,sample_rate,channels,nb_read_packets:format=duration", "-of",
       "default=noprint_wrappers=1", file.string()});
  EXPECT_EQ(r.status, 0) << "ffprobe " << file << ": " << r.err;
  std::map<std::string, std::string> values;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  ProbeInfo p;
  p.codec = values["codec_name"];
  p.sampleRate = std::atoi(values["sample_rate"].c_str());
  p.channels = std::atoi(values["channels"].c_str());
  p.duration = std::atof(values["duration"].c_str());
  p.packets = std::atol(values["nb_read_packets"].c_str());
  return p;
}

// The samples ffmpeg decodes from a file, as signed 16-bit values, interleaved.
inline std::vector<int16_t> FfmpegDecode(const fs::path& file) {
  TempDir dir;
  const fs::path raw = dir / "decoded.raw";
  if (!RunTool({"ffmpeg", "-v", "error", "-nostdin", "-i", file.string(), "-f", "s16le", "-c:a",
                "pcm_s16le", raw.string()}))
    return {};
  std::ifstream in(raw, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// Signal-to-noise ratio in dB of a decoded signal against its source.
inline double SignalToNoise(const std::vector<int16_t>& source,
                            const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  const size_t n = std::min(source.size(), decoded.size());
  for (size_t i = 0; i < n; ++i) {
    signal += double(source[i]) * source[i];
    const double d = double(source[i]) - decoded[i];
    noise += d * d;
  }
  if (noise == 0) return 200;
  return 10 * std::log10(signal / noise);
}

inline void WriteBytes(const fs::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void PutLE16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutLE32(Bytes& b, uint32_t v) {
  PutLE16(b, v & 0xFFFF);
  PutLE16(b, v >> 16);
}
inline void PutBE32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
inline void PutText(Bytes& b, std::string_view s) { b.insert(b.end(), s.begin(), s.end()); }

}  // namespace tw::test
