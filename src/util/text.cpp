#include "util/text.h"

namespace tw {
namespace {

// Code points of 0x80..0x9F in Windows-1252; zero marks the undefined ones.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return 1;
  size_t len;
  char32_t min;
  char32_t cp;
  if ((b0 & 0xE0) == 0xC0) { len = 2; min = 0x80; cp = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { len = 3; min = 0x800; cp = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { len = 4; min = 0x10000; cp = b0 & 0x07; }
  else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Cp1252ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 2);
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else if (b < 0xA0) {
      const char16_t cp = kCp1252High[b - 0x80];
      AppendUtf8(out, cp ? cp : 0xFFFD);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

std::string ToUtf8(std::string_view s) {
  if (IsValidUtf8(s)) return std::string(s);
  return Cp1252ToUtf8(s);
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t i) -> char16_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? static_cast<char16_t>((a << 8) | b) : static_cast<char16_t>((b << 8) | a);
  };
  const size_t n = bytes.size() / 2;
  for (size_t k = 0; k < n; ++k) {
    const char16_t u = unit(2 * k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
      const char16_t v = unit(2 * (k + 1));
      if (v >= 0xDC00 && v <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (v - 0xDC00));
        ++k;
        continue;
      }
    }
    AppendUtf8(out, u);  // an unpaired surrogate becomes U+FFFD there
  }
  return out;
}

char16_t Cp1252ToUtf16(uint8_t b) {
  if (b < 0x80 || b >= 0xA0) return b;
  const char16_t cp = kCp1252High[b - 0x80];
  return cp ? cp : b;
}

std::string Utf16ToCp1252(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t u : s) {
    char c = '?';
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      c = static_cast<char>(u);
    } else {
      for (int b = 0x80; b < 0xA0; ++b)
        if (Cp1252ToUtf16(static_cast<uint8_t>(b)) == u) c = static_cast<char>(b);
    }
    out.push_back(c);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  const std::string utf8 = ToUtf8(s);
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = Utf8SequenceLength(utf8, i);
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    char32_t cp = n == 1 ? b0 : n == 2 ? (b0 & 0x1F) : n == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string bytes;
  bytes.reserve(s.size() * 2);
  for (char16_t u : s) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return Utf16ToUtf8(bytes, false);
}

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = Utf8SequenceLength(utf8, i);
    units += (n == 4) ? 2 : 1;
    i += n ? n : 1;
  }
  return units;
}

std::string_view TruncateUtf16(std::string_view utf8, size_t maxUnits) {
  size_t units = 0;
  size_t i = 0;
  while (i < utf8.size()) {
    size_t n = Utf8SequenceLength(utf8, i);
    const size_t u = (n == 4) ? 2 : 1;
    if (n == 0) n = 1;
    if (units + u > maxUnits) break;
    units += u;
    i += n;
  }
  return utf8.substr(0, i);
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string HexBytes(std::span<const uint8_t> bytes, std::string_view separator) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * (2 + separator.size()));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) s += separator;
    s += kDigits[bytes[i] >> 4];
    s += kDigits[bytes[i] & 15];
  }
  return s;
}

}  // namespace tw
