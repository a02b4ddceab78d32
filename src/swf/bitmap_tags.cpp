#include "swf/bitmap_tags.h"

#include <string>

namespace tw::swf {
namespace {

bool StartsWith(std::span<const uint8_t> s, std::initializer_list<uint8_t> prefix) {
  if (s.size() < prefix.size()) return false;
  size_t i = 0;
  for (uint8_t b : prefix) {
    if (s[i++] != b) return false;
  }
  return true;
}

bool StartsWithSOI(std::span<const uint8_t> s) { return StartsWith(s, {0xFF, 0xD8}); }

// Chooses the form of the JPEG part that writes its bytes back unchanged (see the header).
void ReadJPEGPart(TBitsEngine& be, size_t length, std::vector<uint8_t>& data, bool& asIs) {
  const auto part = be.ReadBytes(length);
  asIs = false;
  if (StartsWith(part, {0xFF, 0xD9, 0xFF, 0xD8}) && StartsWithSOI(part.subspan(4))) {
    data.assign(part.begin() + 4, part.end());
    return;
  }
  const size_t n = part.size();
  if (n > 4 && StartsWithSOI(part) && part[n - 2] == 0xFF && part[n - 1] == 0xD9 &&
      !StartsWithSOI(part.subspan(2))) {
    data.assign(part.begin() + 2, part.end() - 2);
    return;
  }
  // PNG and GIF images, and JPEG bytes whose markers fit neither form: the bytes themselves.
  data.assign(part.begin(), part.end());
  asIs = true;
}

void WriteJPEGPart(TBitsEngine& be, TSWFDataObject& tag, bool asIs) {
  if (tag.OnDataWrite) {
    tag.OnDataWrite(tag, be);
    return;
  }
  if (asIs) {
    be.WriteBytes(tag.Data);
    return;
  }
  static constexpr uint8_t kEOI[2] = {0xFF, 0xD9};
  static constexpr uint8_t kSOI[2] = {0xFF, 0xD8};
  const bool complete = StartsWithSOI(tag.Data);
  if (complete) be.WriteBytes(kEOI);
  be.WriteBytes(kSOI);
  be.WriteBytes(tag.Data);
  if (!complete) be.WriteBytes(kEOI);
}

std::string SizeText(std::span<const uint8_t> data) {
  uint32_t w = 0, h = 0;
  if (!ImageDataSize(data, w, h)) return {};
  return std::to_string(w) + "x" + std::to_string(h);
}

const char* ImageKind(std::span<const uint8_t> data) {
  if (StartsWith(data, {0x89, 'P', 'N', 'G'})) return "png";
  if (StartsWith(data, {'G', 'I', 'F', '8'})) return "gif";
  return "jpeg";
}

void DescribeImage(TSWFFields& f, const std::vector<uint8_t>& data, bool asIs) {
  f.emplace_back("image", asIs ? ImageKind(data) : "jpeg");
  if (const std::string size = SizeText(data); !size.empty()) f.emplace_back("size", size);
  f.emplace_back("bytes", std::to_string(data.size()));
}

}  // namespace

bool ImageDataSize(std::span<const uint8_t> d, uint32_t& width, uint32_t& height) {
  auto be16 = [&](size_t i) { return static_cast<uint32_t>(d[i] << 8 | d[i + 1]); };
  if (StartsWith(d, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
    if (d.size() < 24) return false;
    width = be16(16) << 16 | be16(18);
    height = be16(20) << 16 | be16(22);
    return true;
  }
  if (StartsWith(d, {'G', 'I', 'F', '8'})) {
    if (d.size() < 10) return false;
    width = static_cast<uint32_t>(d[6] | d[7] << 8);
    height = static_cast<uint32_t>(d[8] | d[9] << 8);
    return true;
  }
  // JPEG: walk the marker segments up to the frame header. Tables and images may follow each
  // other (FF D9 FF D8 between them), and the stripped form starts at its first segment.
  size_t p = 0;
  while (p + 1 < d.size()) {
    if (d[p] != 0xFF) return false;
    const uint8_t marker = d[p + 1];
    if (marker == 0xFF) {  // fill byte
      ++p;
      continue;
    }
    if (marker == 0xD8 || marker == 0xD9 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      p += 2;
      continue;
    }
    if (p + 4 > d.size()) return false;
    const uint32_t length = be16(p + 2);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                       marker != 0xCC;
    if (frame) {
      if (p + 9 > d.size()) return false;
      height = be16(p + 5);
      width = be16(p + 7);
      return true;
    }
    if (marker == 0xDA || length < 2) return false;  // entropy-coded data follows
    p += 2 + length;
  }
  return false;
}

// ---- JPEGTables ------------------------------------------------------------------------------

void TSWFJPEGTables::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  DataAsIs = SourceAs<TSWFJPEGTables>(source).DataAsIs;
}

void TSWFJPEGTables::ReadFromStream(TBitsEngine& be) {
  ReadJPEGPart(be, be.Stream.Remaining(), Data, DataAsIs);
}

void TSWFJPEGTables::WriteTagBody(TBitsEngine& be) {
  // An empty JPEGTables stands for tables that each image carries itself.
  if (OnDataWrite || !Data.empty()) WriteJPEGPart(be, *this, DataAsIs);
}

void TSWFJPEGTables::Describe(TSWFFields& f) const {
  f.emplace_back("bytes", std::to_string(Data.size()));
}

// ---- DefineBits, DefineBitsJPEG2, DefineBitsJPEG3 --------------------------------------------

void TSWFImageTag::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  ID = SourceAs<TSWFImageTag>(source).ID;
}

void TSWFDefineBits::Assign(const TBasedSWFObject& source) {
  TSWFImageTag::Assign(source);
  DataAsIs = SourceAs<TSWFDefineBits>(source).DataAsIs;
}

void TSWFDefineBits::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  ReadJPEGPart(be, be.Stream.Remaining(), Data, DataAsIs);
}

void TSWFDefineBits::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  WriteJPEGPart(be, *this, DataAsIs);
}

void TSWFDefineBits::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ID));
  DescribeImage(f, Data, DataAsIs);
}

void TSWFDefineBitsJPEG3::Assign(const TBasedSWFObject& source) {
  TSWFDefineBitsJPEG2::Assign(source);
  const auto& s = SourceAs<TSWFDefineBitsJPEG3>(source);
  if (s.OnAlphaDataWrite) {
    OnAlphaDataWrite = s.OnAlphaDataWrite;
    AlphaData.clear();
  } else {
    OnAlphaDataWrite = nullptr;
    AlphaData = s.AlphaData;
  }
}

void TSWFDefineBitsJPEG3::ReadFromStream(TBitsEngine& be) { ReadParts(be, nullptr); }

void TSWFDefineBitsJPEG3::WriteTagBody(TBitsEngine& be) { WriteParts(be, nullptr); }

void TSWFDefineBitsJPEG3::ReadParts(TBitsEngine& be, uint16_t* deblockParam) {
  ID = be.ReadWord();
  const uint32_t alphaDataOffset = be.ReadDWord();
  if (deblockParam) *deblockParam = be.ReadWord();
  ReadJPEGPart(be, alphaDataOffset, Data, DataAsIs);
  const auto alpha = be.ReadBytes(be.Stream.Remaining());
  AlphaData.assign(alpha.begin(), alpha.end());
}

void TSWFDefineBitsJPEG3::WriteParts(TBitsEngine& be, const uint16_t* deblockParam) {
  const size_t start = be.Stream.Position();
  be.WriteWord(ID);
  be.WriteDWord(0u);
  if (deblockParam) be.WriteWord(*deblockParam);
  const size_t image = be.Stream.Position();
  WriteJPEGPart(be, *this, DataAsIs);
  be.FlushBits(true);
  const size_t end = be.Stream.Position();
  // The offset counts the image bytes alone.
  be.Stream.SetPosition(start + 2);
  be.WriteDWord(static_cast<uint32_t>(end - image));
  be.Stream.SetPosition(end);
  if (OnAlphaDataWrite) OnAlphaDataWrite(*this, be);
  else be.WriteBytes(AlphaData);
}

void TSWFDefineBitsJPEG3::Describe(TSWFFields& f) const {
  TSWFDefineBitsJPEG2::Describe(f);
  f.emplace_back("alphabytes", std::to_string(AlphaData.size()));
}

void TSWFDefineBitsJPEG4::Assign(const TBasedSWFObject& source) {
  TSWFDefineBitsJPEG3::Assign(source);
  DeblockParam = SourceAs<TSWFDefineBitsJPEG4>(source).DeblockParam;
}

void TSWFDefineBitsJPEG4::Describe(TSWFFields& f) const {
  TSWFDefineBitsJPEG3::Describe(f);
  f.emplace_back("deblock", std::to_string(DeblockParam));
}

// ---- DefineBitsLossless, DefineBitsLossless2 -------------------------------------------------

void TSWFDefineBitsLossless::Assign(const TBasedSWFObject& source) {
  TSWFImageTag::Assign(source);
  const auto& s = SourceAs<TSWFDefineBitsLossless>(source);
  BitmapColorTableSize = s.BitmapColorTableSize;
  BitmapFormat = s.BitmapFormat;
  BitmapHeight = s.BitmapHeight;
  BitmapWidth = s.BitmapWidth;
}

void TSWFDefineBitsLossless::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  BitmapFormat = be.ReadByte();
  BitmapWidth = be.ReadWord();
  BitmapHeight = be.ReadWord();
  if (BitmapFormat == 3) BitmapColorTableSize = be.ReadByte();
  const auto rest = be.ReadBytes(be.Stream.Remaining());
  Data.assign(rest.begin(), rest.end());
}

void TSWFDefineBitsLossless::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  be.WriteByte(BitmapFormat);
  be.WriteWord(BitmapWidth);
  be.WriteWord(BitmapHeight);
  if (BitmapFormat == 3) be.WriteByte(BitmapColorTableSize);
  WriteData(be);
}

void TSWFDefineBitsLossless::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ID));
  f.emplace_back("format", std::to_string(BitmapFormat));
  f.emplace_back("size", std::to_string(BitmapWidth) + "x" + std::to_string(BitmapHeight));
  if (BitmapFormat == 3) f.emplace_back("colors", std::to_string(BitmapColorTableSize + 1));
  f.emplace_back("bytes", std::to_string(Data.size()));
}

}  // namespace tw::swf
