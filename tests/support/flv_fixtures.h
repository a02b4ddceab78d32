// FLV files for the tests: a writer of the container (header, tags, AMF0 metadata) for files
// built from frames of real movies and for damaged files, and FLV clips made by ffmpeg.
#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/testing.h"

namespace tw::test {

class TFLVBuilder {
 public:
  // The header with its audio and video flags, and the size of the tag before the first (0).
  explicit TFLVBuilder(bool audio = false, bool video = true) {
    Text("FLV");
    Bytes_.push_back(1);
    Bytes_.push_back(static_cast<uint8_t>((audio ? 4 : 0) | (video ? 1 : 0)));
    BE(9, 4);
    BE(0, 4);
  }

  // A tag of the type (8 audio, 9 video, 18 script) with its data; the size of the tag after it.
  TFLVBuilder& Tag(uint8_t type, uint32_t time, const Bytes& data) {
    const size_t start = Bytes_.size();
    Bytes_.push_back(type);
    BE(static_cast<uint32_t>(data.size()), 3);
    BE(time & 0xFFFFFF, 3);
    Bytes_.push_back(static_cast<uint8_t>(time >> 24));
    BE(0, 3);
    Bytes_.insert(Bytes_.end(), data.begin(), data.end());
    BE(static_cast<uint32_t>(Bytes_.size() - start), 4);
    return *this;
  }
  // A video tag: the frame type and codec byte, for VP6 the adjustment byte, then the frame.
  TFLVBuilder& Video(uint32_t time, uint8_t frameType, uint8_t codec, const Bytes& frame) {
    Bytes data = {static_cast<uint8_t>(frameType << 4 | codec)};
    if (codec == 4 || codec == 5) data.push_back(0);
    data.insert(data.end(), frame.begin(), frame.end());
    return Tag(9, time, data);
  }
  // "onMetaData" with an ECMA array of numbers.
  TFLVBuilder& MetaData(const std::vector<std::pair<std::string, double>>& numbers) {
    Bytes d;
    AmfString(d, "onMetaData");
    d.push_back(8);
    for (int i = 3; i >= 0; --i) d.push_back(static_cast<uint8_t>(numbers.size() >> (8 * i)));
    for (const auto& [name, value] : numbers) {
      AmfName(d, name);
      d.push_back(0);
      const auto bits = std::bit_cast<uint64_t>(value);
      for (int i = 7; i >= 0; --i) d.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    }
    d.insert(d.end(), {0, 0, 9});
    return Tag(18, 0, d);
  }

  const Bytes& bytes() const { return Bytes_; }

  static void AmfName(Bytes& d, const std::string& s) {
    d.push_back(static_cast<uint8_t>(s.size() >> 8));
    d.push_back(static_cast<uint8_t>(s.size()));
    d.insert(d.end(), s.begin(), s.end());
  }
  static void AmfString(Bytes& d, const std::string& s) {
    d.push_back(2);
    AmfName(d, s);
  }

 private:
  void Text(const char* s) {
    for (; *s; ++s) Bytes_.push_back(static_cast<uint8_t>(*s));
  }
  void BE(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) Bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  Bytes Bytes_;
};

// The VP6 key frame of the corpus movie (640 x 480), as its VideoFrame tag carries it.
inline Bytes CorpusVP6Frame() {
  const Bytes body = TagBodyFromCorpus("visual__video__vp6_dispsize__test.swf", 2);
  return Bytes(body.begin() + 4, body.end());  // after the stream id and frame number
}

// An FLV clip made by ffmpeg at file: frames of solid colours (ffmpeg colour names), one second
// each at the frame rate, with the video codec ("flv" or "flashsv") and, unless audio is empty,
// a 440 Hz tone in that audio codec and at that rate. Fails the test when ffmpeg fails.
inline bool MakeColourClip(const std::filesystem::path& file, const std::vector<std::string>& colours,
                           int frameRate, const std::string& videoCodec,
                           const std::string& audioCodec = {}, int audioRate = 44100) {
  std::string graph;
  for (size_t i = 0; i < colours.size(); ++i)
    graph += "color=c=" + colours[i] + ":s=160x120:r=" + std::to_string(frameRate) + ":d=1[v" +
             std::to_string(i) + "];";
  for (size_t i = 0; i < colours.size(); ++i) graph += "[v" + std::to_string(i) + "]";
  graph += "concat=n=" + std::to_string(colours.size()) + ":v=1:a=0,format=yuv420p";
  if (videoCodec == "flashsv") graph += ",format=bgr24";
  graph += "[v]";
  std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-filter_complex", graph};
  if (!audioCodec.empty())
    argv.insert(argv.end(), {"-f", "lavfi", "-i",
                             "sine=f=440:r=" + std::to_string(audioRate) + ":d=" +
                                 std::to_string(colours.size())});
  argv.insert(argv.end(), {"-map", "[v]", "-c:v", videoCodec});
  if (!audioCodec.empty())
    argv.insert(argv.end(), {"-map", "0:a", "-c:a", audioCodec, "-ar", std::to_string(audioRate)});
  argv.push_back(file.string());
  const CommandResult r = RunCommand(argv);
  EXPECT_EQ(r.status, 0) << "ffmpeg: " << r.err;
  return r.status == 0;
}

}  // namespace tw::test
