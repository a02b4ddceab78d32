#include "audio/mpeg_info.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>

#include "audio/genres.h"
#include "audio/id3.h"
#include "audio/mpeg_frames.h"
#include "util/text.h"

namespace tw::audio {
namespace fs = std::filesystem;
namespace {

constexpr size_t kTextLimit = 30;


std::string ClipText(std::string_view s) {
  return std::string(TruncateUtf16(ToUtf8(s), kTextLimit));
}

// udev writes unusual characters of a label as \xNN.
std::string UnescapeLabel(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
      const std::string hex(s.substr(i + 2, 2));
      char* end = nullptr;
      const long v = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out.push_back(static_cast<char>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

// The label of the block device that holds a file, found among /dev/disk/by-label.
std::string VolumeLabelOf(dev_t device) {
  std::string label;
  DIR* dir = ::opendir("/dev/disk/by-label");
  if (!dir) return label;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string path = std::string("/dev/disk/by-label/") + e->d_name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == device) {
      label = TruncateUtf16(ToUtf8(UnescapeLabel(e->d_name)), 20);
      break;
    }
  }
  ::closedir(dir);
  return label;
}

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

std::string FormatDuration(uint64_t seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
  return buf;
}

void TMPEGAudio::SetFileName(const std::string& name) {
  FFileName = name;
  if (AutoLoad) ReadFileInfo();
}

std::string TMPEGAudio::Title() const {
  if (!HasTag() && !DefaultTitle.empty()) return DefaultTitle;
  return FTitle;
}

std::string TMPEGAudio::Artist() const {
  if (!HasTag() && !DefaultArtist.empty()) return DefaultArtist;
  return FArtist;
}

std::string_view TMPEGAudio::Genre() const { return GenreName(FGenreNr); }

void TMPEGAudio::SetTitle(std::string_view s) { FTitle = ClipText(s); }
void TMPEGAudio::SetArtist(std::string_view s) { FArtist = ClipText(s); }
void TMPEGAudio::SetAlbum(std::string_view s) { FAlbum = ClipText(s); }

void TMPEGAudio::ResetHeader() {
  FVersion = FLayer = 0;
  FSampleRate = 0;
  FBitRate = 0;
  FMode = 0;
  FCopyright = FOriginal = FErrorProtection = FPadding = false;
  FFrameLength = 0;
  FDuration = 0;
  FHeaderPosition = 0;
}

void TMPEGAudio::ResetValues() {
  ResetHeader();
  FTagSignature = "BAD";
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FComment.clear();
  FYear = "    ";
  FGenreNr = 255;
  FTrack = 0;
  FLength = 0;
  FFileDate = 0;
  FFileAttributes = 0;
  FVolumeLabel.clear();
}

void TMPEGAudio::TakeHeader(const TMPEGFrameHeader& h) {
  ResetHeader();
  static constexpr uint8_t kVersions[4] = {3, 0, 2, 1};
  FVersion = kVersions[h.VersionCode & 3];
  FLayer = h.LayerCode == 0 ? 0 : static_cast<uint8_t>(4 - h.LayerCode);
  FSampleRate = h.SampleRate();
  FBitRate = h.BitRate();
  // The protection bit as it stands: 1 when no CRC follows the header.
  FErrorProtection = !h.HasCRC;
  FPadding = h.Padding;
  FMode = h.ChannelMode;
  FCopyright = h.Copyright;
  FOriginal = h.Original;
  FFrameLength = h.FrameLength();
}

int TMPEGAudio::ReadFileInfo() {
  int result;
  do {
    ResetValues();
    std::error_code ec;
    const fs::path full = fs::absolute(FFileName, ec);
    if (!ec) FFileName = full.lexically_normal().string();
    result = -1;
    struct stat st {};
    const bool exists = ::stat(FFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (exists) {
      try {
        TSourceStream stream = TSourceStream::OpenFile(FFileName);
        if (stream.Size() > 5) {
          FFileDate = st.st_mtime;
          FFileAttributes = st.st_mode;
          FVolumeLabel = VolumeLabelOf(st.st_dev);
          FLength = stream.Size();
          result = Analyse(stream);
        }
      } catch (const EAudioError&) {
        result = -1;
      }
    } else {
      FTitle = ClipText("[not found: " + fs::path(FFileName).filename().string() + "]");
    }
    if (result != 0 && OnReadError) result = OnReadError(*this);
  } while (result == 4);
  FFailed = result != 0;
  return result;
}

int TMPEGAudio::Analyse(TSourceStream& stream) {
  // The scan starts behind the ID3v2 tags: their texts and pictures hold sync patterns, some
  // in pairs a frame length apart.
  const std::optional<uint64_t> found =
      FindFrameForward(stream, SkipStackedId3v2Tags(stream, 0), SearchLimit, OnProcessMessages);
  if (!found) return -1;
  uint8_t bytes[4];
  stream.Seek(*found);
  stream.ReadZeroFilled(bytes, 4);
  TMPEGFrameHeader first;
  first.Decode(bytes);
  TakeHeader(first);
  FHeaderPosition = *found;
  // The second frame agrees with the first (the scan saw to that); an "Info" header takes its
  // values.
  stream.Seek(FHeaderPosition + FFrameLength);
  stream.ReadZeroFilled(bytes, 4);
  TMPEGFrameHeader second;
  second.Decode(bytes);

  uint8_t xing[120];
  stream.Seek(FHeaderPosition + VBRHeaderOffset(first.VersionCode, first.ChannelMode));
  stream.ReadZeroFilled(xing, sizeof xing);
  if (FLength > 128) ReadID3v1(stream);
  // The bytes before the first frame (an ID3v2 tag) and an ID3v1 tag are not sound.
  const uint64_t tagBytes = FHeaderPosition + (HasTag() ? 128 : 0);
  const uint64_t audioBytes = FLength > tagBytes ? FLength - tagBytes : 0;
  FDuration = static_cast<uint32_t>(audioBytes * 8 / (uint64_t(FBitRate) * 1000));
  const bool isXing = std::memcmp(xing, "Xing", 4) == 0;
  // The "Info" header of a constant bit rate file is laid out like a Xing header; the frame
  // that holds it may have a higher bit rate than the sound frames, so these take theirs.
  const bool isInfo = std::memcmp(xing, "Info", 4) == 0;
  if (isXing || isInfo) {
    const uint32_t flags = BigEndian32(xing + 4);
    const uint32_t frames = flags & 1 ? BigEndian32(xing + 8) : 0;
    // Without a frame count the header says nothing about the length: the estimate from the
    // bit rate stands.
    if (frames > 0) {
      const uint16_t samples = first.SamplesPerFrame();
      FDuration = static_cast<uint32_t>(
          std::nearbyint(static_cast<double>(samples) / FSampleRate * frames));
      if (isXing) {
        FBitRate = -1;
        FFrameLength = static_cast<uint32_t>(FLength / frames);
      } else {
        FBitRate = second.BitRate();
        FFrameLength = second.FrameLength();
        FPadding = second.Padding;
      }
    }
  }
  return 0;
}

void TMPEGAudio::ReadID3v1(TSourceStream& stream) {
  uint8_t b[128];
  stream.Seek(FLength - 128);
  if (stream.Read(b, 128) < 128) return;
  if (std::memcmp(b, "TAG", 3) != 0) {
    FTitle = ClipText(fs::path(FFileName).filename().string());
    return;
  }
  FTagSignature = "TAG";
  auto field = [&](size_t offset, size_t size) {
    std::string_view s(reinterpret_cast<const char*>(b + offset), size);
    s = s.substr(0, s.find('\0'));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return ToUtf8(s);
  };
  FTitle = field(3, 30);
  FArtist = field(33, 30);
  FAlbum = field(63, 30);
  FYear = ToUtf8(std::string_view(reinterpret_cast<const char*>(b + 93), 4));
  FComment = field(97, 30);
  FTrack = b[126];
  FGenreNr = b[127];
}

void TMPEGAudio::RemoveTag() {
  struct stat st {};
  if (::stat(FFileName.c_str(), &st) != 0 || st.st_size <= 128) return;
  TSourceStream stream = TSourceStream::OpenFile(FFileName);
  uint8_t head[3];
  stream.Seek(stream.Size() - 128);
  if (stream.Read(head, 3) < 3 || std::memcmp(head, "TAG", 3) != 0) return;
  if (::truncate(FFileName.c_str(), st.st_size - 128) != 0)
    throw EAudioError("Cannot write file \"" + FFileName + "\": " + std::strerror(errno));
}

void TMPEGAudio::WriteTag() {
  uint8_t record[128] = {};
  std::memcpy(record, "TAG", 3);
  auto put = [&](size_t offset, std::string_view text, size_t size) {
    const std::string bytes = EncodeId3v1Text(text, size);
    std::memcpy(record + offset, bytes.data(), bytes.size());
  };
  put(3, FTitle, 30);
  put(33, FArtist, 30);
  put(63, FAlbum, 30);
  put(93, FYear, 4);
  put(97, FComment, 30);
  record[126] = FTrack;
  record[127] = FGenreNr;
  RemoveTag();
  const int fd = ::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) throw EAudioError("Cannot write file \"" + FFileName + "\": " + std::strerror(errno));
  size_t done = 0;
  while (done < sizeof record) {
    const ssize_t n = ::write(fd, record + done, sizeof record - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = std::strerror(errno);
      ::close(fd);
      throw EAudioError("Cannot write file \"" + FFileName + "\": " + reason);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0)
    throw EAudioError("Cannot write file \"" + FFileName + "\": " + std::strerror(errno));
  ReadFileInfo();
}

}  // namespace tw::audio
