// The SWF container: TBasedSWFStream (header values, body, writing a whole movie), TSWFTagInfo
// (one tag found in a file) and TSWFStreamReader (a file read into a list of tag objects).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "swf/tag.h"

namespace tw::swf {

enum class TSystemCoord : uint8_t { Twips = 0, Pix = 1 };

// Kinds of progress reported through OnProgress.
enum TProgressKind : int { pkParsing = 0, pkBuilding = 1, pkCompressing = 2 };

class TBasedSWFStream;
using TProgressEvent = std::function<void(TBasedSWFStream& sender, int percent, int kind)>;
// Receives the bytes of a movie being written, in order.
using TByteSink = std::function<void(std::span<const uint8_t> bytes)>;

class TBasedSWFStream {
 public:
  TBasedSWFStream() = default;
  TBasedSWFStream(int32_t left, int32_t top, int32_t right, int32_t bottom, double fps,
                  TSystemCoord coord);
  virtual ~TBasedSWFStream() = default;
  TBasedSWFStream(const TBasedSWFStream&) = delete;
  TBasedSWFStream& operator=(const TBasedSWFStream&) = delete;

  TProgressEvent OnProgress;

  // Called after a header value changes.
  virtual void Changed() {}
  // The index of the last tag of frame N (see the reader and the movie builder).
  virtual size_t FrameEndIndex(int frame) { (void)frame; return 0; }
  virtual void BuildBody() {}
  virtual void MoveResources(int toFrame, int fromFrame, int lastFrame) {
    (void)toFrame; (void)fromFrame; (void)lastFrame;
  }

  // The tag bytes after the header; created empty (and owned) on first use.
  TMemoryStream& BodyStream();
  // Takes a body the caller keeps owning.
  void SetBodyStream(TMemoryStream& stream);
  // Takes ownership of a new body.
  void SetOwnedBodyStream(std::unique_ptr<TMemoryStream> stream);
  bool OwnsBody() const { return FOwnedBody != nullptr; }

  bool Compressed() const { return FCompressed; }
  void SetCompressed(bool value);
  uint8_t Version() const { return FVersion; }
  void SetVersion(uint8_t value);
  TSystemCoord SystemCoord() const { return FSystemCoord; }
  void SetSystemCoord(TSystemCoord value);
  uint8_t TwipsPerUnit() const { return FTwipsPerUnit; }
  const char* Signature() const { return FSignature; }
  uint32_t FileSize() const { return FFileSize; }
  // The frame rectangle in twips: Left = XMin, Top = YMin, Right = XMax, Bottom = YMax.
  const TRect& FrameRect() const { return FFrameRect; }
  void SetFrameRect(const TRect& twips) { FFrameRect = twips; Changed(); }
  uint16_t FrameRate() const { return FFrameRate; }  // 8.8 fixed
  void SetFrameRate(uint16_t value) { FFrameRate = value; Changed(); }
  uint16_t FrameCount() const { return FFrameCount; }
  void SetFrameCount(uint16_t value) { FFrameCount = value; }

  // The frame rectangle in the units of SystemCoord.
  TRect MovieRect() const;
  void SetMovieRect(const TRect& r);
  int32_t Width() const;
  int32_t Height() const;
  double FPS() const;
  void SetFPS(double value);

  // The uncompressed header length.
  uint32_t HeaderSize() const;
  // part 0 writes the whole header, 1 the first 8 bytes, 2 frame size, rate and count.
  void WriteHeader(TMemoryStream& stream, int part) const;

  // Writes the whole movie; FileSize is recomputed.
  void SaveToSink(const TByteSink& sink);
  void SaveToStream(TMemoryStream& stream);
  // Writes through a temporary and a rename: a failure leaves an existing file as it was.
  void SaveToFile(const std::filesystem::path& fileName);

 protected:
  void SetSignature(const char* s) { std::copy(s, s + 3, FSignature); }
  void SetFileSizeField(uint32_t v) { FFileSize = v; }
  void SetCompressedField(bool v) { FCompressed = v; }
  void SetVersionField(uint8_t v) { FVersion = v; }
  void SetFrameRectField(const TRect& r) { FFrameRect = r; }
  void SetFrameRateField(uint16_t v) { FFrameRate = v; }
  void Progress(int percent, int kind) {
    if (OnProgress) OnProgress(*this, percent, kind);
  }

 private:
  std::unique_ptr<TMemoryStream> FOwnedBody;
  TMemoryStream* FBody = nullptr;
  bool FCompressed = false;
  uint8_t FTwipsPerUnit = 1;
  TSystemCoord FSystemCoord = TSystemCoord::Twips;
  char FSignature[3] = {'F', 'W', 'S'};
  uint8_t FVersion = 5;
  uint32_t FFileSize = 0;
  TRect FFrameRect;
  uint16_t FFrameRate = 0;
  uint16_t FFrameCount = 0;
};

class TSWFTagInfo {
 public:
  uint32_t TagLength = 0;     // body length from the tag header
  uint32_t FrameNumber = 0;   // 1-based; a ShowFrame belongs to the frame it ends
  bool LongHeader = false;
  size_t TagOffset = 0;       // of the tag header in the body it was parsed from
  std::vector<std::unique_ptr<TSWFTagInfo>> SubTags;  // the inner tags of a DefineSprite
  uint16_t TagCode = 0;

  TSWFObject* TagObject() const { return FObject; }
  // The code the tag was read with and is written with: a raw tag's own code, not TagCode's 240.
  uint16_t OriginalCode() const;
  bool OwnsObject() const { return FOwned != nullptr; }
  void SetObject(std::unique_ptr<TSWFObject> object);
  void SetUnownedObject(TSWFObject* object);
  std::unique_ptr<TSWFObject> ReleaseObject();
  // The whole tag size in the body: header and declared body.
  uint64_t FullSize() const { return (LongHeader ? 6u : 2u) + uint64_t{TagLength}; }

 private:
  std::unique_ptr<TSWFObject> FOwned;
  TSWFObject* FObject = nullptr;
};

class TSWFStreamReader : public TBasedSWFStream {
 public:
  using TParseTagEvent = std::function<void(TSWFTagInfo& info, bool& parse)>;
  using TRenumberTagEvent = std::function<void(TSWFObject& tag, bool& renumber)>;

  TSWFStreamReader() = default;
  explicit TSWFStreamReader(const std::filesystem::path& fileName);
  explicit TSWFStreamReader(std::span<const uint8_t> bytes);

  bool IsSWF = false;
  TParseTagEvent OnParseTag;
  TRenumberTagEvent OnRenumberTag;
  std::vector<std::unique_ptr<TSWFTagInfo>> TagList;

  bool CheckSignature(std::span<const uint8_t> bytes);
  void LoadFromFile(const std::filesystem::path& fileName);
  // Fills the header and the body; a stream that is not a SWF leaves everything as it was.
  void LoadFromStream(std::span<const uint8_t> bytes);
  void LoadFromStream(std::vector<uint8_t>&& bytes);
  // Reads a header part (as WriteHeader) from the start of bytes; returns the bytes consumed.
  size_t ReadHeader(std::span<const uint8_t> bytes, int part);

  void ParseTags(bool createObjects, bool parseActions);
  TSWFTagInfo& TagInfo(size_t index) { return *TagList.at(index); }

  size_t FrameEndIndex(int frame) override;
  void BuildBody() override;
  void MoveResources(int toFrame, int fromFrame, int lastFrame) override;
  uint16_t RenumberIDs(uint16_t base);

  // Bytes after the last whole tag header that could not form a tag; kept so that the body
  // is rebuilt as it was.
  std::span<const uint8_t> TrailingBytes() const;

  // The movie is cut short: a plain file shorter than its header's FileSize, or a tag (or tag
  // header) that runs past the end of the body.
  bool Truncated() const { return FShortFile || FTagPastEnd; }

 private:
  bool FShortFile = false;
  bool FTagPastEnd = false;
  size_t FTrailingOffset = 0;
  size_t FTrailingSize = 0;
};

// Character ids are 16 bits: count ids handed out from first on, and the next free one after
// them, must stay at or below 65535. Throws ESWFError otherwise.
void CheckCharacterIds(size_t first, size_t count);
// Frame counts are 16 bits as well.
void CheckFrameCount(size_t frames);

// Inflates a zlib stream into at most maxSize bytes (fewer when the stream ends first).
std::vector<uint8_t> InflateZlib(std::span<const uint8_t> compressed, size_t maxSize);

}  // namespace tw::swf
