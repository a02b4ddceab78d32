#include "swf/stream.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "swf/sprite.h"
#include "util/files.h"

namespace tw::swf {

// ---- zlib ------------------------------------------------------------------------------------

std::vector<uint8_t> InflateZlib(std::span<const uint8_t> compressed, size_t maxSize) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw ESWFError("Decompression error: cannot start zlib");
  std::vector<uint8_t> out;
  // A hostile header may claim far more than the data can hold: grow as the data delivers.
  out.resize(std::min<size_t>(maxSize, std::max<size_t>(compressed.size() * 4, 65536)));
  z.next_in = const_cast<Bytef*>(compressed.data());
  size_t inLeft = compressed.size();
  size_t produced = 0;
  int rc = Z_OK;
  while (produced < maxSize) {
    if (produced == out.size())
      out.resize(std::min<size_t>(maxSize, out.size() + std::max<size_t>(out.size(), 65536)));
    const uInt inChunk = static_cast<uInt>(std::min<size_t>(inLeft, 1u << 30));
    const uInt outChunk = static_cast<uInt>(std::min<size_t>(out.size() - produced, 1u << 30));
    z.avail_in = inChunk;
    z.next_out = out.data() + produced;
    z.avail_out = outChunk;
    rc = inflate(&z, Z_NO_FLUSH);
    inLeft -= inChunk - z.avail_in;
    produced += outChunk - z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR) {
      const std::string msg = z.msg ? z.msg : "corrupt data";
      inflateEnd(&z);
      throw ESWFError("Decompression error: " + msg);
    }
    if (rc == Z_BUF_ERROR && inLeft == 0) break;  // the data ends before the stream does
  }
  inflateEnd(&z);
  out.resize(produced);
  return out;
}

// ---- TBasedSWFStream -------------------------------------------------------------------------

namespace {

// A rectangle the program gives, with each maximum above its minimum. A movie read from a file
// keeps its rectangle as it is, even one whose maximum lies below its minimum.
TRect Ordered(const TRect& r) {
  return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
          std::max(r.Top, r.Bottom)};
}

}  // namespace

TBasedSWFStream::TBasedSWFStream(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                 double fps, TSystemCoord coord) {
  SetSystemCoord(coord);
  FVersion = 5;
  FFrameRect = Ordered({left * FTwipsPerUnit, top * FTwipsPerUnit, right * FTwipsPerUnit,
                        bottom * FTwipsPerUnit});
  SetFPS(fps);
}

TMemoryStream& TBasedSWFStream::BodyStream() {
  if (!FBody) {
    FOwnedBody = std::make_unique<TMemoryStream>();
    FBody = FOwnedBody.get();
  }
  return *FBody;
}

void TBasedSWFStream::SetBodyStream(TMemoryStream& stream) {
  FOwnedBody.reset();
  FBody = &stream;
}

void TBasedSWFStream::SetOwnedBodyStream(std::unique_ptr<TMemoryStream> stream) {
  FOwnedBody = std::move(stream);
  FBody = FOwnedBody.get();
}

// Compression leaves the version alone: the body was written for it, and the player runs the
// movie's scripts by it (a player that inflates a movie goes by the signature, not the version).
void TBasedSWFStream::SetCompressed(bool value) {
  FCompressed = value;
  Changed();
}

void TBasedSWFStream::SetVersion(uint8_t value) {
  FVersion = value;
  Changed();
}

void TBasedSWFStream::SetSystemCoord(TSystemCoord value) {
  FSystemCoord = value;
  FTwipsPerUnit = value == TSystemCoord::Pix ? 20 : 1;
}

TRect TBasedSWFStream::MovieRect() const {
  return {FFrameRect.Left / FTwipsPerUnit, FFrameRect.Top / FTwipsPerUnit,
          FFrameRect.Right / FTwipsPerUnit, FFrameRect.Bottom / FTwipsPerUnit};
}

void TBasedSWFStream::SetMovieRect(const TRect& r) {
  FFrameRect = Ordered({r.Left * FTwipsPerUnit, r.Top * FTwipsPerUnit, r.Right * FTwipsPerUnit,
                        r.Bottom * FTwipsPerUnit});
  Changed();
}

int32_t TBasedSWFStream::Width() const { return (FFrameRect.Right - FFrameRect.Left) / FTwipsPerUnit; }
int32_t TBasedSWFStream::Height() const { return (FFrameRect.Bottom - FFrameRect.Top) / FTwipsPerUnit; }
double TBasedSWFStream::FPS() const { return Fixed8ToFloat(FFrameRate); }

void TBasedSWFStream::SetFPS(double value) {
  FFrameRate = FloatToFixed8(value);
  Changed();
}

uint32_t TBasedSWFStream::HeaderSize() const {
  // The same width WriteRect gives the normalised rectangle.
  const unsigned nbits =
      SignedFieldBits({FFrameRect.Left, FFrameRect.Right, FFrameRect.Top, FFrameRect.Bottom});
  return (4 * nbits + 5 + 7) / 8 + 12;
}

void TBasedSWFStream::WriteHeader(TMemoryStream& stream, int part) const {
  TBitsEngine be(stream);
  if (part == 0 || part == 1) {
    be.WriteChars(FSignature, 3);
    be.WriteByte(FVersion);
    be.WriteDWord(FFileSize);
  }
  if (part == 0 || part == 2) {
    // As held: Left, Right, Top, Bottom are XMin, XMax, YMin, YMax.
    be.WriteRect({FFrameRect.Left, FFrameRect.Right, FFrameRect.Top, FFrameRect.Bottom});
    be.WriteWord(FFrameRate);
    be.WriteWord(FFrameCount);
  }
}

void TBasedSWFStream::SaveToSink(const TByteSink& sink) {
  TMemoryStream& body = BodyStream();
  FFileSize = static_cast<uint32_t>(body.Size() + HeaderSize());
  body.SetPosition(0);
  if (!FCompressed) {
    SetSignature("FWS");
    TMemoryStream header;
    WriteHeader(header, 0);
    sink(header.Bytes());
    sink(body.Bytes());
    return;
  }
  SetSignature("CWS");
  TMemoryStream head;
  WriteHeader(head, 1);
  sink(head.Bytes());
  TMemoryStream rest;
  WriteHeader(rest, 2);

  z_stream z{};
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK)
    throw ESWFError("Compression error: cannot start zlib");
  static constexpr size_t kOutSize = 65536;
  // Not zeroed: deflate overwrites what it hands on, and clearing 64 KB per saved movie costs
  // about as much as parsing a small one.
  const auto out = std::make_unique_for_overwrite<uint8_t[]>(kOutSize);
  const double progressBase = std::max<double>(1.0, static_cast<double>(body.Size()) - 22.0);
  auto feed = [&](std::span<const uint8_t> input, int flush) {
    z.next_in = const_cast<Bytef*>(input.data());
    size_t left = input.size();
    for (;;) {
      const uInt chunk = static_cast<uInt>(std::min<size_t>(left, 1u << 30));
      z.avail_in = chunk;
      const int f = (left == chunk) ? flush : Z_NO_FLUSH;
      int rc;
      do {
        z.next_out = out.get();
        z.avail_out = kOutSize;
        rc = deflate(&z, f);
        if (rc == Z_STREAM_ERROR) {
          deflateEnd(&z);
          throw ESWFError("Compression error");
        }
        const size_t have = kOutSize - z.avail_out;
        if (have) sink({out.get(), have});
        if (z.avail_out == 0 && OnProgress) {
          const double pct = RoundHalfEven(static_cast<double>(z.total_in) / progressBase * 100.0);
          Progress(static_cast<int>(std::clamp(pct, 0.0, 100.0)), pkCompressing);
        }
      } while (z.avail_out == 0);
      left -= chunk;
      if (left == 0) break;
    }
    return true;
  };
  try {
    feed(rest.Bytes(), Z_NO_FLUSH);
    feed(body.Bytes(), Z_FINISH);
  } catch (...) {
    deflateEnd(&z);
    throw;
  }
  deflateEnd(&z);
}

void TBasedSWFStream::SaveToStream(TMemoryStream& stream) {
  SaveToSink([&](std::span<const uint8_t> bytes) { stream.WriteBuffer(bytes); });
}

void TBasedSWFStream::SaveToFile(const std::filesystem::path& fileName) {
  WriteFileAtomic(fileName, [&](const std::filesystem::path& temp) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(temp.c_str(), "wb"), std::fclose);
    if (!f) throw FileError("Cannot create file \"" + fileName.string() + "\"");
    SaveToSink([&](std::span<const uint8_t> bytes) {
      if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        throw FileError("Cannot write file \"" + fileName.string() + "\"");
    });
    if (std::fclose(f.release()) != 0)
      throw FileError("Cannot write file \"" + fileName.string() + "\"");
  });
}

// ---- TSWFTagInfo -----------------------------------------------------------------------------

void TSWFTagInfo::SetObject(std::unique_ptr<TSWFObject> object) {
  FOwned = std::move(object);
  FObject = FOwned.get();
}

uint16_t TSWFTagInfo::OriginalCode() const {
  if (const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(FObject)) return raw->RawTagID;
  return TagCode;
}

void CheckCharacterIds(size_t first, size_t count) {
  if (first + count > 0xFFFF)
    throw ESWFError("Too many characters: character ids end at 65535");
}

void CheckFrameCount(size_t frames) {
  if (frames > 0xFFFF) throw ESWFError("Too many frames: a timeline ends at 65535 frames");
}

void TSWFTagInfo::SetUnownedObject(TSWFObject* object) {
  FOwned.reset();
  FObject = object;
}

std::unique_ptr<TSWFObject> TSWFTagInfo::ReleaseObject() {
  FObject = nullptr;
  return std::move(FOwned);
}

// ---- TSWFStreamReader: loading ---------------------------------------------------------------

TSWFStreamReader::TSWFStreamReader(const std::filesystem::path& fileName) {
  if (!fileName.empty()) LoadFromFile(fileName);
}

TSWFStreamReader::TSWFStreamReader(std::span<const uint8_t> bytes) { LoadFromStream(bytes); }

bool TSWFStreamReader::CheckSignature(std::span<const uint8_t> bytes) {
  IsSWF = bytes.size() > 3 && (bytes[0] == 'F' || bytes[0] == 'C') && bytes[1] == 'W' &&
          bytes[2] == 'S';
  if (IsSWF) SetCompressedField(bytes[0] == 'C');
  return IsSWF;
}

void TSWFStreamReader::LoadFromFile(const std::filesystem::path& fileName) {
  LoadFromStream(ReadWholeFile(fileName));
}

size_t TSWFStreamReader::ReadHeader(std::span<const uint8_t> bytes, int part) {
  size_t pos = 0;
  if (part == 0 || part == 1) {
    if (bytes.size() < 8) throw ESWFError("Stream read error");
    const char sig[3] = {static_cast<char>(bytes[0]), static_cast<char>(bytes[1]),
                         static_cast<char>(bytes[2])};
    SetSignature(sig);
    SetVersionField(bytes[3]);
    SetFileSizeField(bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) |
                     (static_cast<uint32_t>(bytes[7]) << 24));
    pos = 8;
  }
  if (part == 0 || part == 2) {
    TMemoryStream view = TMemoryStream::View(bytes.subspan(pos));
    TBitsEngine be(view);
    const TRect r = be.ReadRect();  // Left = XMin, Right = XMax, Top = YMin, Bottom = YMax
    SetFrameRectField(r);
    SetFrameRateField(be.ReadWord());
    SetFrameCount(be.ReadWord());
    pos += view.Position();
  }
  return pos;
}

void TSWFStreamReader::LoadFromStream(std::span<const uint8_t> bytes) {
  if (!CheckSignature(bytes)) return;
  FShortFile = false;
  if (!Compressed()) {
    const size_t n = ReadHeader(bytes, 0);
    FShortFile = bytes.size() < FileSize();
    auto body = std::make_unique<TMemoryStream>(std::vector<uint8_t>(bytes.begin() + n, bytes.end()));
    SetOwnedBodyStream(std::move(body));
    return;
  }
  ReadHeader(bytes, 1);
  const size_t expected = FileSize() >= 8 ? FileSize() - 8 : 0;
  std::vector<uint8_t> data = InflateZlib(bytes.subspan(8), expected);
  if (data.size() < expected)
    throw ESWFError("Stream read error: the compressed body ends before the size its header gives");
  const size_t n = ReadHeader(data, 2);
  data.erase(data.begin(), data.begin() + static_cast<ptrdiff_t>(n));
  SetOwnedBodyStream(std::make_unique<TMemoryStream>(std::move(data)));
}

void TSWFStreamReader::LoadFromStream(std::vector<uint8_t>&& bytes) {
  if (!CheckSignature(bytes)) return;
  if (Compressed()) {
    LoadFromStream(std::span<const uint8_t>(bytes));
    return;
  }
  // A plain file's body is the rest of the bytes it was read into: no copy.
  const size_t n = ReadHeader(bytes, 0);
  FShortFile = bytes.size() < FileSize();
  bytes.erase(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
  SetOwnedBodyStream(std::make_unique<TMemoryStream>(std::move(bytes)));
}

// ---- TSWFStreamReader: tags ------------------------------------------------------------------

namespace {

void FillSubTags(TSWFTagInfo& info, TSWFDefineSprite& sprite) {
  info.SubTags.clear();
  info.SubTags.reserve(sprite.ControlTags.size());
  for (const auto& tag : sprite.ControlTags) {
    auto sub = std::make_unique<TSWFTagInfo>();
    const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(tag.get());
    sub->TagCode = raw ? raw->RawTagID : tag->TagID;
    sub->TagLength = static_cast<uint32_t>(std::max(tag->BodySize, 0));
    sub->SetUnownedObject(tag.get());
    if (auto* inner = dynamic_cast<TSWFDefineSprite*>(tag.get())) FillSubTags(*sub, *inner);
    info.SubTags.push_back(std::move(sub));
  }
}

int Percent(double done, double total) {
  if (total <= 0) return 100;
  return static_cast<int>(RoundHalfEven(done / total * 100.0));
}

}  // namespace

void TSWFStreamReader::ParseTags(bool createObjects, bool parseActions) {
  TagList.clear();
  FTrailingOffset = FTrailingSize = 0;
  FTagPastEnd = false;
  TMemoryStream& body = BodyStream();
  const uint8_t* data = body.Data();
  const size_t size = body.Size();
  TSWFReadContext context;
  context.Version = Version();
  context.ParseActions = parseActions;
  uint32_t frame = 1;
  int lastPercent = -1;
  size_t pos = 0;
  while (pos < size) {
    if (OnProgress) {
      const int pct = Percent(static_cast<double>(pos), static_cast<double>(size));
      if (pct != lastPercent) Progress(lastPercent = pct, pkParsing);
    }
    // A header cut off by the end of the body is not a tag: its bytes are kept as they are.
    const size_t left = size - pos;
    const uint16_t word = left >= 2 ? static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8)) : 0;
    if (left < 2 || ((word & 0x3F) == 63 && left < 6)) {
      FTrailingOffset = pos;
      FTrailingSize = left;
      FTagPastEnd = true;
      break;
    }
    auto info = std::make_unique<TSWFTagInfo>();
    info->TagCode = word >> 6;
    info->TagOffset = pos;
    info->TagLength = word & 0x3F;
    size_t header = 2;
    if (info->TagLength == 63) {
      info->LongHeader = true;
      info->TagLength = data[pos + 2] | (data[pos + 3] << 8) | (data[pos + 4] << 16) |
                        (static_cast<uint32_t>(data[pos + 5]) << 24);
      header = 6;
    }
    info->FrameNumber = frame;
    if (info->TagCode == 1) ++frame;

    const size_t bodyStart = pos + header;
    const size_t available = std::min<size_t>(info->TagLength, size - bodyStart);
    std::unique_ptr<TSWFObject> object;
    if (createObjects) {
      bool parse = true;
      if (OnParseTag) OnParseTag(*info, parse);
      if (parse) object = CreateTagObject(info->TagCode);
    }
    if (object) {
      try {
        object->SetReadContext(context);
        object->BodySize = static_cast<int32_t>(std::min<uint32_t>(info->TagLength, INT32_MAX));
        if (available < info->TagLength)
          throw ESWFError("The tag runs past the end of the movie");
        TMemoryStream view = TMemoryStream::View({data + bodyStart, available});
        TBitsEngine be(view);
        object->ReadFromStream(be);
      } catch (const std::exception& e) {
        // The tag keeps its bytes; the reason stays with it.
        auto raw = std::make_unique<TSWFByteCodeTag>();
        raw->Text = e.what();
        raw->RawTagID = info->TagCode;
        raw->BodySize = static_cast<int32_t>(available);
        raw->Data.assign(data + bodyStart, data + bodyStart + available);
        object = std::move(raw);
        info->TagCode = kByteCodeTagID;
      }
      object->UpdateReadContext(context);
      if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(object.get())) FillSubTags(*info, *sprite);
    }
    if (object) info->SetObject(std::move(object));
    TagList.push_back(std::move(info));
    pos = bodyStart + available;
    if (available < TagList.back()->TagLength) {  // the tag ran past the end of the body
      FTagPastEnd = true;
      break;
    }
  }
  if (OnProgress && lastPercent != 100) Progress(100, pkParsing);
}

std::span<const uint8_t> TSWFStreamReader::TrailingBytes() const {
  if (FTrailingSize == 0) return {};
  auto* self = const_cast<TSWFStreamReader*>(this);
  return self->BodyStream().Bytes().subspan(FTrailingOffset, FTrailingSize);
}

size_t TSWFStreamReader::FrameEndIndex(int frame) {
  if (frame <= 0 || TagList.empty()) return 0;
  int seen = 0;
  for (size_t i = 0; i < TagList.size(); ++i) {
    if (TagList[i]->TagCode == 1 && ++seen == frame) return i;
  }
  return TagList.size() - 1;
}

void TSWFStreamReader::BuildBody() {
  TMemoryStream& old = BodyStream();
  const auto oldBytes = old.Bytes();
  auto fresh = std::make_unique<TMemoryStream>();
  fresh->Buffer().reserve(oldBytes.size());
  TSWFWriteContext context;
  context.Version = Version();
  TBitsEngine be(*fresh, context);
  const size_t count = TagList.size();
  int lastPercent = -1;
  for (size_t i = 0; i < count; ++i) {
    const TSWFTagInfo& info = *TagList[i];
    if (TSWFObject* object = info.TagObject()) {
      object->WriteToStream(be);
    } else {
      const size_t from = std::min(info.TagOffset, oldBytes.size());
      const size_t n = static_cast<size_t>(
          std::min<uint64_t>(info.FullSize(), oldBytes.size() - from));
      fresh->WriteBuffer(oldBytes.data() + from, n);
    }
    if (OnProgress) {
      const int pct = Percent(static_cast<double>(i + 1), static_cast<double>(count));
      if (pct != lastPercent) Progress(lastPercent = pct, pkBuilding);
    }
  }
  if (FTrailingSize) {
    const size_t at = fresh->Size();
    fresh->WriteBuffer(oldBytes.data() + FTrailingOffset, FTrailingSize);
    FTrailingOffset = at;
  }
  fresh->SetPosition(0);
  SetOwnedBodyStream(std::move(fresh));
}

void TSWFStreamReader::MoveResources(int toFrame, int fromFrame, int lastFrame) {
  if (TagList.empty()) return;
  if (toFrame > fromFrame) toFrame = fromFrame;
  if (lastFrame == -1) lastFrame = FrameCount();
  else if (lastFrame == 0 || lastFrame < fromFrame) lastFrame = fromFrame;

  size_t insert = FrameEndIndex(toFrame);
  if (TagList[insert]->TagCode == 1) ++insert;
  const size_t start = toFrame == fromFrame ? insert + 1 : FrameEndIndex(fromFrame) + 1;
  size_t end = FrameEndIndex(lastFrame + 1);
  if (TagList[end]->TagCode == 1 && end > 0) --end;
  if (start >= end) return;
  end = std::min(end, TagList.size() - 1);

  auto isResource = [](uint16_t code) {
    switch (code) {
      case 6: case 8: case 10: case 14: case 20: case 21: case 35: case 36: case 48: case 75:
        return true;
      default:
        return false;
    }
  };
  size_t moved = 0;
  for (size_t i = start; i <= end; ++i) {
    if (!isResource(TagList[i]->OriginalCode())) continue;
    auto info = std::move(TagList[i]);
    TagList.erase(TagList.begin() + static_cast<ptrdiff_t>(i));
    TagList.insert(TagList.begin() + static_cast<ptrdiff_t>(insert + moved), std::move(info));
    ++moved;
  }
}

uint16_t TSWFStreamReader::RenumberIDs(uint16_t base) {
  if (TagList.empty()) return base;
  // Counted first, so that a movie whose ids would pass 65535 is left as it was.
  std::vector<TSWFObject*> renumbered;
  size_t defined = 0;
  for (auto& info : TagList) {
    TSWFObject* object = info->TagObject();
    if (!object) continue;
    bool renumber = true;
    if (OnRenumberTag) OnRenumberTag(*object, renumber);
    if (!renumber) continue;
    renumbered.push_back(object);
    object->VisitDefinedIDs([&](uint16_t&) { ++defined; });
  }
  CheckCharacterIds(base, defined);
  std::vector<uint16_t> oldIDs;
  for (TSWFObject* object : renumbered) {
    object->VisitDefinedIDs([&](uint16_t& id) {
      oldIDs.push_back(id);
      id = static_cast<uint16_t>(base + oldIDs.size() - 1);
    });
  }
  std::unordered_map<uint16_t, uint16_t> firstNew;
  firstNew.reserve(oldIDs.size());
  for (size_t i = 0; i < oldIDs.size(); ++i)
    firstNew.emplace(oldIDs[i], static_cast<uint16_t>(base + i));
  for (auto& info : TagList) {
    if (TSWFObject* object = info->TagObject()) {
      object->VisitReferencedIDs([&](uint16_t& id) {
        if (auto it = firstNew.find(id); it != firstNew.end()) id = it->second;
      });
    }
  }
  return static_cast<uint16_t>(base + oldIDs.size());
}

}  // namespace tw::swf
