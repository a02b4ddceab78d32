// Hostile audio input: MPEG frame scanning, ID3 tags, the RIFF walk, Microsoft ADPCM blocks, the
// track information and the sound source must neither crash nor read out of bounds.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/adpcm.h"
#include "audio/id3.h"
#include "audio/mpeg_frames.h"
#include "audio/mpeg_info.h"
#include "audio/riff.h"
#include "audio/wave_reader.h"

using namespace tw::audio;

namespace {

void Scan(std::span<const uint8_t> bytes) {
  TSourceStream s = TSourceStream::OpenMemory(bytes);
  TMPEGaudio mpeg;
  mpeg.Analyze(s);
  (void)mpeg.Duration();
  (void)mpeg.BitRate();
  if (!bytes.empty())
    (void)DecodeId3Text(bytes[0] & 3,
                        {reinterpret_cast<const char*>(bytes.data()) + 1, bytes.size() - 1});
  const auto form = FindRiffForm(s, "WAVE");
  if (!form) return;
  const auto fmt = FindRiffChunk(s, *form, "fmt ");
  const auto data = FindRiffChunk(s, *form, "data");
  if (!fmt || !data) return;
  const TMsAdpcmFormat format =
      TMsAdpcmFormat::Parse(bytes.subspan(fmt->Offset, std::min<size_t>(fmt->Size, 50)));
  std::vector<int16_t> out;
  for (uint64_t pos = data->Offset; pos < data->Offset + data->Size && format.BlockAlign > 0;
       pos += format.BlockAlign) {
    const size_t n = std::min<uint64_t>(format.BlockAlign, data->Offset + data->Size - pos);
    DecodeMsAdpcmBlock(format, bytes.subspan(pos, n), out);
    out.clear();
  }
}

// The readers that open files by name, with every kind of write the builder asks for.
void ReadAsFile(std::span<const uint8_t> bytes, const char* extension) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("tw-fuzz-" + std::to_string(::getpid()) + extension);
  {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  TMPEGAudio info;
  info.SetFileName(file.string());
  TWaveReader reader(file);
  tw::swf::TMemoryStream stream;
  tw::swf::TBitsEngine be(stream);
  for (int i = 0; i < 3; ++i) {
    reader.WriteWaveData(be, 1000, i == 1, static_cast<uint8_t>(i * 2));
    reader.WriteADPCMStreamBlock(be, 500, i == 1, 4);
    reader.WriteMP3Frames(be, static_cast<uint32_t>(i), i == 1, 3);
  }
  reader.WriteADPCMAll(be, 3);
  std::filesystem::remove(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  Scan(bytes);
  ReadAsFile(bytes, size > 0 && (data[0] & 1) ? ".wav" : ".mp3");
  return 0;
}
