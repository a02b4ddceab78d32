#include "app/music_movie.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "app/fileops.h"
#include "app/paths.h"
#include "builder/sound.h"
#include "util/files.h"

namespace tw::app {

namespace {

// The code a tag object is written with (a tag kept as raw bytes counts as the tag it is).
uint16_t WrittenCode(const swf::TSWFObject& tag) {
  if (tag.TagID == swf::kByteCodeTagID)
    return static_cast<const swf::TSWFByteCodeTag&>(tag).RawTagID;
  return tag.TagID;
}

int Percent(size_t done, size_t total) {
  return static_cast<int>(
      swf::RoundHalfEven(static_cast<double>(done) / static_cast<double>(total) * 100.0));
}

// The body of a compressed movie: one zlib stream at the default level, fed piece by piece.
// zlib gives the same bytes however its input is cut, so the file is that of a whole build.
class TDeflatingOutput {
 public:
  explicit TDeflatingOutput(TMovieOutput& out) : FOut(out), FBuffer(64 * 1024) {
    if (deflateInit(&FZ, Z_DEFAULT_COMPRESSION) != Z_OK)
      throw swf::ESWFError("Compression error: cannot start zlib");
  }
  ~TDeflatingOutput() { deflateEnd(&FZ); }
  TDeflatingOutput(const TDeflatingOutput&) = delete;
  TDeflatingOutput& operator=(const TDeflatingOutput&) = delete;

  void Write(std::span<const uint8_t> bytes) { Run(bytes, Z_NO_FLUSH); }
  void Finish() { Run({}, Z_FINISH); }

 private:
  void Run(std::span<const uint8_t> bytes, int flush) {
    FZ.next_in = const_cast<Bytef*>(bytes.data());
    FZ.avail_in = static_cast<uInt>(bytes.size());
    for (;;) {
      FZ.next_out = FBuffer.data();
      FZ.avail_out = static_cast<uInt>(FBuffer.size());
      const int rc = deflate(&FZ, flush);
      if (rc == Z_STREAM_ERROR) throw swf::ESWFError("Compression error");
      const size_t have = FBuffer.size() - FZ.avail_out;
      if (have) FOut.Write({FBuffer.data(), have});
      if (flush == Z_FINISH ? rc == Z_STREAM_END : FZ.avail_out != 0) return;
    }
  }

  TMovieOutput& FOut;
  z_stream FZ{};
  std::vector<uint8_t> FBuffer;
};

// A movie written into a file that is open for this alone.
class TFileMovieOutput : public TMovieOutput {
 public:
  TFileMovieOutput(const std::string& path, std::string shownName)
      : FName(std::move(shownName)) {
    FFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFd < 0) Fail("Cannot create file");
  }
  ~TFileMovieOutput() override {
    if (FFd >= 0) ::close(FFd);
  }
  TFileMovieOutput(const TFileMovieOutput&) = delete;
  TFileMovieOutput& operator=(const TFileMovieOutput&) = delete;

  void Write(std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(FFd, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) Fail("Cannot write file");
      bytes = bytes.subspan(static_cast<size_t>(n));
    }
  }
  void PatchFileSize(uint32_t fileSize) override {
    const uint8_t b[4] = {static_cast<uint8_t>(fileSize), static_cast<uint8_t>(fileSize >> 8),
                          static_cast<uint8_t>(fileSize >> 16),
                          static_cast<uint8_t>(fileSize >> 24)};
    if (::pwrite(FFd, b, sizeof b, 4) != static_cast<ssize_t>(sizeof b)) Fail("Cannot write file");
  }
  // A full disk may show only when the file is closed.
  void Close() {
    const int fd = std::exchange(FFd, -1);
    if (::close(fd) != 0) Fail("Cannot write file");
  }

 private:
  [[noreturn]] void Fail(const char* what) const {
    throw FileError(std::string(what) + " \"" + FName + "\": " + std::strerror(errno));
  }

  int FFd = -1;
  std::string FName;
};

// A movie written into memory.
class TMemoryMovieOutput : public TMovieOutput {
 public:
  explicit TMemoryMovieOutput(swf::TMemoryStream& stream) : FStream(stream) {}
  void Write(std::span<const uint8_t> bytes) override { FStream.WriteBuffer(bytes); }
  void PatchFileSize(uint32_t fileSize) override {
    std::vector<uint8_t>& b = FStream.Buffer();
    for (size_t i = 0; i < 4; ++i) b.at(4 + i) = static_cast<uint8_t>(fileSize >> (8 * i));
  }

 private:
  swf::TMemoryStream& FStream;
};

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The run's working folder; the user's for a build outside a run.
std::string WorkFolderOf(const TRunContext* ctx) {
  return ctx ? ctx->WorkFolder() : UserDataFolder();
}

// A fresh copy of the song in the working folder.
void PrepareCopy(const std::string& source, const std::string& copy) {
  if (SameFile(source, copy))
    throw FileError("The song " + Quoted(source) + " lies where the working copy goes");
  RemoveFile(copy);
  CopyFileReplacing(source, copy);
}

// Fills a music movie with the song: the stream sound without looping and its frames.
void FillMusicMovie(TMyMusicMovie& movie, const std::string& source, const std::string& copy,
                    const TConvertOption& options) {
  builder::TFlashSound& sound = movie.StreamSound();
  try {
    sound.LoadFromFile(copy);
  } catch (const std::exception& e) {
    throw std::runtime_error("Cannot make a music movie of the song " + Quoted(source) + ": " +
                             e.what());
  }
  sound.LoopStream = false;
  const int64_t frames = MusicMovieFrames(sound.Duration, options.FrameRate);
  if (frames > std::numeric_limits<uint16_t>::max())
    throw std::runtime_error("The song " + Quoted(source) + " lasts too long for a movie at " +
                             std::to_string(options.FrameRate) +
                             " frames per second (at most 65535 frames); lower the frame rate");
  movie.ShowFrame(static_cast<uint16_t>(frames));
}

std::unique_ptr<TMyMusicMovie> NewMusicMovie(const TConvertOption& options, TRunContext* ctx) {
  auto movie = std::make_unique<TMyMusicMovie>(0, 0, 0, 0, options.FrameRate,
                                               swf::TSystemCoord::Twips, true, ctx);
  movie->SetVersion(static_cast<uint8_t>(6 + options.FlashVersionIndex));
  return movie;
}

}  // namespace

TMyMusicMovie::TMyMusicMovie(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax, double fps,
                             swf::TSystemCoord coord, bool withProgress, TRunContext* ctx)
    : TFlashMovie(xMin, yMin, xMax, yMax, fps, coord), FContext(ctx) {
  if (withProgress && ctx)
    OnProgress = [this](swf::TBasedSWFStream&, int percent, int kind) {
      OnBuildProgress(percent, kind);
    };
}

void TMyMusicMovie::OnBuildProgress(int percent, int kind) {
  FContext->ProcessMessages();
  if (FContext->Cancelled()) throw EMovieCanceled();
  // The window changes only when the figure does: a long song reports once per frame.
  if (kind == swf::pkBuilding && percent != FShownPercent) {
    FShownPercent = percent;
    FContext->Progress.SetSinglePercent(percent, std::to_string(percent) + "%");
  }
}

void TMyMusicMovie::SaveStreamed(TMovieOutput& out) {
  using namespace swf;
  if (!PlacedVideos.empty())
    throw std::logic_error("A movie with videos cannot be written as a stream");
  // The header goes first, so it carries now what BuildBody learns at its end: the version the
  // body is written for (the highest any object needs) and the frames.
  builder::TFlashStreamSound* sound = HasStreamSound ? StreamSoundObject() : nullptr;
  int version = Version();
  if (sound) version = std::max(version, sound->MinVersion());
  size_t frames = 0;
  bool hasPlacement = false;
  for (const auto& object : ObjectList) {
    if (object->IsBuilderObject())
      throw std::logic_error("Only a movie of plain tags can be written as a stream");
    version = std::max(version, object->MinVersion());
    switch (WrittenCode(static_cast<const TSWFObject&>(*object))) {
      case 1: ++frames; break;
      case 4: case 26: case 70: hasPlacement = true; break;
      default: break;
    }
  }
  // Objects placed in no frame show in one frame added for them.
  const bool closingFrame = frames == 0 && hasPlacement;
  if (closingFrame) frames = 1;
  CheckFrameCount(frames);
  SetFrameCount(static_cast<uint16_t>(frames));
  if (version > Version()) SetVersion(static_cast<uint8_t>(version));

  SetSignature(Compressed() ? "CWS" : "FWS");
  SetFileSizeField(0);  // written over at the end
  TMemoryStream head;
  WriteHeader(head, 1);
  out.Write(head.Bytes());
  std::optional<TDeflatingOutput> deflater;
  if (Compressed()) deflater.emplace(out);
  uint64_t bodyLength = 0;
  auto pass = [&](std::span<const uint8_t> bytes) {
    if (deflater) deflater->Write(bytes);
    else out.Write(bytes);
  };
  TMemoryStream rest;
  WriteHeader(rest, 2);
  pass(rest.Bytes());

  TMemoryStream piece;
  TSWFWriteContext context;
  context.Version = static_cast<uint8_t>(version);
  TBitsEngine be(piece, context);
  auto handOn = [&] {
    bodyLength += piece.Size();
    pass(piece.Bytes());
    piece.Clear();
  };
  if (BgColorSet) {
    TSWFSetBackgroundColor tag;
    tag.Color.SetRGB(BgColor().GetRGB());
    tag.WriteToStream(be);
  }
  if (sound) {
    TSWFSoundStreamHead2 streamHead;
    sound->FillStreamHead(streamHead, FPS());
    streamHead.WriteToStream(be);
  }
  const size_t count = ObjectList.size();
  int32_t frameNumber = 0;
  for (size_t i = 0; i < count; ++i) {
    TSWFObject& tag = static_cast<TSWFObject&>(*ObjectList[i]);
    if (OnProgress) Progress(Percent(i + 1, count), pkBuilding);
    if (WrittenCode(tag) == 1) {
      // The sound's block belongs to the frame this ShowFrame closes, from its start frame on.
      if (sound && sound->StartFrame() <= frameNumber) sound->WriteStreamBlock(be);
      ++frameNumber;
    }
    tag.WriteToStream(be);
    if (piece.Size() >= kStreamPiece) handOn();
  }
  if (closingFrame) be.WriteWord(1 << 6);
  const TSWFObject* last =
      ObjectList.empty() ? nullptr : static_cast<const TSWFObject*>(ObjectList.back().get());
  if (!last || WrittenCode(*last) != 0) be.WriteWord(0);
  handOn();
  if (deflater) deflater->Finish();

  const uint64_t fileSize = uint64_t{HeaderSize()} + bodyLength;
  if (fileSize > std::numeric_limits<uint32_t>::max())
    throw ESWFError("The movie is longer than the 4 GB a SWF file can hold");
  SetFileSizeField(static_cast<uint32_t>(fileSize));
  out.PatchFileSize(static_cast<uint32_t>(fileSize));
}

int64_t MusicMovieFrames(double seconds, double frameRate) {
  const double frames = seconds * frameRate;
  if (!(frames > 0)) return 0;
  if (frames > 1e15) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(std::nearbyint(frames));  // the default mode: halves to even
}

std::unique_ptr<swf::TMemoryStream> BuildMusicMovieStream(const std::string& source,
                                                          const TConvertOption& options,
                                                          bool /*wholeSong*/, TRunContext* ctx) {
  TTempFile copy(WorkFolderOf(ctx) + "swfin" + ExtractFileExt(source));
  PrepareCopy(source, copy.Path());
  auto movie = NewMusicMovie(options, ctx);
  FillMusicMovie(*movie, source, copy.Path(), options);
  auto stream = std::make_unique<swf::TMemoryStream>();
  // An MP3 song's frames go into the movie as they are: room for them and a little per movie
  // frame, so that the buffer never grows by copying itself.
  const builder::TFlashSound& sound = movie->StreamSound();
  if (sound.SWFFormat == builder::kSwfSoundMP3)
    stream->Buffer().reserve(size_t{sound.DataSize} + 16 * size_t{movie->FrameCount()} + 4096);
  TMemoryMovieOutput out(*stream);
  try {
    movie->SaveStreamed(out);
  } catch (const EMovieCanceled&) {
    return nullptr;
  }
  return stream;
}

bool WriteMusicMovieFile(const std::string& source, const std::string& target,
                         const TConvertOption& options, bool /*wholeSong*/, TRunContext* ctx) {
  // The movie would take the song's place, and the song be lost.
  if (SameFile(source, target))
    throw FileError("The movie of the song " + Quoted(source) + " would replace the song itself");
  const std::string folder = WorkFolderOf(ctx);
  TTempFile copy(folder + "convertswfin" + ExtractFileExt(source));
  PrepareCopy(source, copy.Path());
  auto movie = NewMusicMovie(options, ctx);
  FillMusicMovie(*movie, source, copy.Path(), options);
  // The movie goes straight into a temporary beside the target, which takes the target's place
  // only once it is whole: a failure or Cancel leaves an existing target as it was.
  try {
    WriteFileAtomic(target, [&](const std::filesystem::path& temp) {
      TFileMovieOutput out(temp.string(), target);
      movie->SaveStreamed(out);
      out.Close();
    });
  } catch (const EMovieCanceled&) {
    return false;
  }
  return true;
}

}  // namespace tw::app
