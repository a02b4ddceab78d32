#include "audio/id3.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "util/text.h"

namespace tw::audio {
namespace {

constexpr size_t kFrameBufferSize = 250;

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

std::string_view AsText(const uint8_t* p, size_t n) {
  return {reinterpret_cast<const char*>(p), n};
}

// A fixed-width field ends at its first zero byte; what follows is filler, sometimes garbage.
std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

std::string FieldText(const uint8_t* p, size_t n) {
  return ToUtf8(TrimId3Right(UpToZero(AsText(p, n))));
}

// The code of a Unicode character in Windows-1252, or -1.
int Cp1252Code(char32_t cp) {
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] != 0 && kHigh[i] == cp) return 0x80 + i;
  return -1;
}

// Decodes one UTF-8 character at s[i] (valid UTF-8 assumed) and advances i.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
  char32_t cp = b0 & (0x3F >> extra);
  while (extra-- > 0 && i < s.size()) cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  return cp;
}

// The length of the terminated string at the start of bytes in the given encoding (the
// terminator not included), and where the bytes after its terminator begin.
std::pair<size_t, size_t> TerminatedLength(uint8_t encoding, std::string_view bytes) {
  if (encoding == 1 || encoding == 2) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
      if (bytes[i] == 0 && bytes[i + 1] == 0) return {i, i + 2};
    const size_t even = bytes.size() & ~size_t{1};
    return {even, bytes.size()};
  }
  const size_t zero = bytes.find('\0');
  if (zero == std::string_view::npos) return {bytes.size(), bytes.size()};
  return {zero, zero + 1};
}

}  // namespace

std::string_view TrimId3Right(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string_view TrimId3(std::string_view s) {
  s = TrimId3Right(s);
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  return s;
}

std::string DecodeId3Text(uint8_t encoding, std::string_view bytes) {
  const auto [length, next] = TerminatedLength(encoding, bytes);
  (void)next;
  std::string_view text = bytes.substr(0, length);
  if (encoding != 1 && encoding != 2) return ToUtf8(text);
  bool bigEndian = encoding == 2;
  if (text.size() >= 2) {
    const auto b0 = static_cast<unsigned char>(text[0]);
    const auto b1 = static_cast<unsigned char>(text[1]);
    if (b0 == 0xFF && b1 == 0xFE) {
      bigEndian = false;
      text.remove_prefix(2);
    } else if (b0 == 0xFE && b1 == 0xFF) {
      bigEndian = true;
      text.remove_prefix(2);
    }
  }
  // A frame cut short may end in the first half of a surrogate pair: drop it, not a U+FFFD.
  if (text.size() >= 2) {
    const auto hi = static_cast<unsigned char>(text[text.size() - (bigEndian ? 2 : 1)]);
    if (hi >= 0xD8 && hi <= 0xDB) text.remove_suffix(2);
  }
  return Utf16ToUtf8(text, bigEndian);
}

std::string EncodeId3v1Text(std::string_view utf8, size_t maxBytes) {
  const std::string valid = ToUtf8(utf8);
  std::string out;
  bool fits = true;
  for (size_t i = 0; i < valid.size() && out.size() < maxBytes;) {
    const int code = Cp1252Code(NextCodePoint(valid, i));
    if (code < 0) {
      fits = false;
      break;
    }
    out.push_back(static_cast<char>(code));
  }
  if (fits) return out;
  size_t n = std::min(maxBytes, valid.size());
  if (n < valid.size())
    while (n > 0 && (static_cast<unsigned char>(valid[n]) & 0xC0) == 0x80) --n;
  return valid.substr(0, n);
}

// ---- TID3v1 --------------------------------------------------------------------------------

bool TID3v1::ReadTag(TSourceStream& stream) {
  Reset();
  if (stream.Size() < 128) return true;
  uint8_t record[128];
  stream.Seek(stream.Size() - 128);
  if (stream.Read(record, 128) < 128) return true;
  ParseRecord(record);
  return true;
}

void TID3v1::ParseRecord(const uint8_t (&b)[128]) {
  Reset();
  if (std::memcmp(b, "TAG", 3) != 0) return;
  TagSize = 128;
  Exists = true;
  VersionID = ((b[125] == 0 && b[126] != 0) || (b[125] == ' ' && b[126] != ' ')) ? 2 : 1;
  Title = FieldText(b + 3, 30);
  Artist = FieldText(b + 33, 30);
  Album = FieldText(b + 63, 30);
  Year = FieldText(b + 93, 4);
  if (VersionID == 1) {
    Comment = FieldText(b + 97, 30);
  } else {
    Comment = FieldText(b + 97, 28);
    Track = b[126];
  }
  Genre = b[127];
}

// ---- TID3v2 --------------------------------------------------------------------------------

bool TID3v2::ReadTag(TSourceStream& stream) {
  Reset();
  uint8_t h[10];
  stream.Seek(0);
  if (stream.Read(h, 10) < 10 || std::memcmp(h, "ID3", 3) != 0) return true;
  Exists = true;
  VersionID = h[3];
  Size = (uint32_t{h[6]} << 21) + (uint32_t{h[7]} << 14) + (uint32_t{h[8]} << 7) + h[9] + 10;
  if (Size > stream.Size()) Size = 0;
  if (VersionID != 3 || Size == 0) return true;

  const uint64_t end = std::min<uint64_t>(Size, stream.Size());
  uint64_t pos = 10;
  // An extended header sits between the tag header and the first frame.
  if (h[5] & 0x40) {
    uint8_t ext[4];
    stream.Seek(10);
    stream.ReadZeroFilled(ext, 4);
    pos = 14 + uint64_t{BigEndian32(ext)};
  }
  std::string title, artist, album, track, year, genre, comment;
  std::string* const fields[] = {&title, &artist, &album, &track, &year, &genre, &comment};
  static constexpr const char* kIDs[] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM"};
  while (pos < end) {
    uint8_t fh[10];
    stream.Seek(pos);
    stream.ReadZeroFilled(fh, 10);
    // Frame IDs are letters and digits: a zero byte starts the padding.
    if (fh[0] == 0) break;
    const uint32_t frameSize = BigEndian32(fh + 4);
    std::array<uint8_t, kFrameBufferSize> data{};
    const size_t n = std::min<size_t>(frameSize, kFrameBufferSize);
    stream.ReadZeroFilled(data.data(), n);
    for (size_t i = 0; i < 7; ++i) {
      if (std::memcmp(fh, kIDs[i], 4) != 0) continue;
      const uint8_t encoding = n > 0 ? data[0] : 0;
      const std::string_view body = AsText(data.data(), n);
      if (i == 6) {
        // Encoding, a 3-letter language, a short description, then the comment itself.
        std::string_view rest = body.size() > 4 ? body.substr(4) : std::string_view();
        rest = rest.substr(TerminatedLength(encoding, rest).second);
        *fields[i] = DecodeId3Text(encoding, rest);
      } else if (encoding <= 3) {
        *fields[i] = DecodeId3Text(encoding, body.substr(std::min<size_t>(1, body.size())));
      } else {
        // No encoding byte: the bytes are the text.
        *fields[i] = DecodeId3Text(0, body);
      }
    }
    pos += 10 + uint64_t{frameSize};
  }

  Title = TrimId3(title);
  Artist = TrimId3(artist);
  Album = TrimId3(album);
  Year = TrimId3(year);
  Comment = TrimId3(comment);
  const std::string_view trackText = TrimId3(track);
  const std::string_view number = trackText.substr(0, trackText.find('/'));
  unsigned value = 0;
  bool isNumber = !number.empty();
  for (char c : number) {
    if (c < '0' || c > '9') {
      isNumber = false;
      break;
    }
    value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 1000u);
  }
  Track = isNumber && value <= 255 ? static_cast<uint8_t>(value) : 0;
  std::string_view g = TrimId3(genre);
  if (const size_t paren = g.rfind(')'); paren != std::string_view::npos)
    g.remove_prefix(paren + 1);
  Genre = g;
  return true;
}

}  // namespace tw::audio
