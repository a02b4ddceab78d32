#include "swf/bits.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "util/text.h"

namespace tw::swf {

void TMemoryStream::ThrowReadError() { throw ESWFError("Stream read error"); }
void TMemoryStream::ThrowWriteError() { throw ESWFError("Stream write error"); }

// ---- helpers ---------------------------------------------------------------------------------

uint8_t BitsNeeded(uint32_t value) {
  return value == 0 ? 0 : static_cast<uint8_t>(32 - std::countl_zero(value));
}

uint8_t GetBitsCount(int64_t value, uint8_t extra) {
  if (value == 0) return 0;
  const uint64_t a = value < 0 ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  const uint8_t n = a > 0xFFFFFFFFu ? 32 : BitsNeeded(static_cast<uint32_t>(a));
  return static_cast<uint8_t>(n + extra);
}

int64_t MaxAbs(int64_t a, int64_t b) {
  a = a < 0 ? -a : a;
  b = b < 0 ? -b : b;
  return a > b ? a : b;
}

int64_t MaxAbs(int64_t a, int64_t b, int64_t c, int64_t d) {
  return MaxAbs(MaxAbs(a, b), MaxAbs(c, d));
}

bool TestBit(uint32_t value, int n) {
  if (n < 1 || n > 16) return false;
  return ((value & 0xFFFF) >> (n - 1)) & 1;
}

float Fixed8ToFloat(uint16_t w) {
  return static_cast<float>(w >> 8) + static_cast<float>(w & 0xFF) / 256.0f;
}

double RoundHalfEven(double x) {
  const double r = std::round(x);  // halves away from zero
  if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
  return r;
}

uint16_t FloatToFixed8(double x) {
  if (!std::isfinite(x)) return 0;
  const double ip = std::trunc(x);
  const double fp = x - ip;
  const int64_t whole = static_cast<int64_t>(std::fmod(ip, 65536.0));
  const int64_t v = whole * 256 + static_cast<int64_t>(RoundHalfEven(fp * 256.0));
  return static_cast<uint16_t>(v);
}

double Fixed16ToFloat(int32_t v) { return v / 65536.0; }

int32_t FloatToFixed16(double x) {
  const double v = std::trunc(x * 65536.0);
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

TRGBRec MakeRGB(uint8_t r, uint8_t g, uint8_t b) { return {r, g, b}; }

TColor ResolveSystemColor(TColor color) {
  if (!(color & 0x80000000u)) return color & 0xFFFFFF;
  // The classic desktop palette, by system colour index: the nearest thing to a "system colour"
  // on a machine that has none.
  static constexpr TColor kSystem[31] = {
      0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
      0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
      0x808080, 0x808080, 0x000000, 0x000000, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
      0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xFF9933, 0xF0F0F0};
  const uint32_t index = color & 0xFF;
  return index < 31 ? kSystem[index] : 0;
}

TRGBRec ColorToRGBRec(TColor color) { return PackedToRGBRec(ResolveSystemColor(color)); }

uint32_t MakeRGBA(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return r | (g << 8) | (b << 16) | (static_cast<uint32_t>(a) << 24);
}

uint32_t ColorToRGBA(TColor color, uint8_t alpha) {
  const TRGBRec c = ColorToRGBRec(color);
  return MakeRGBA(c.R, c.G, c.B, alpha);
}

uint32_t WithAlpha(uint8_t alpha, uint32_t color) {
  return (static_cast<uint32_t>(alpha) << 24) | (color & 0xFFFFFF);
}

TRGBRec PackedToRGBRec(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16)};
}

TRect NormalizeRect(const TRect& r) {
  return {std::min(r.Left, r.Right), std::max(r.Left, r.Right), std::min(r.Top, r.Bottom),
          std::max(r.Top, r.Bottom)};
}

TMatrixRec MakeMatrixRec(bool hasScale, bool hasSkew, int32_t scaleX, int32_t scaleY,
                         int32_t skewX, int32_t skewY, int32_t translateX, int32_t translateY) {
  return {hasScale, hasSkew, scaleX, scaleY, skewX, skewY, translateX, translateY};
}

double CubicBezierPoint(double p0, double p1, double p2, double p3, double t) {
  const double f = 3.0 * (p1 - p0);
  const double g = 3.0 * (p2 - p1) - f;
  return p0 + t * f + t * t * g + t * t * t * (p3 - p0 - g - f);
}

// ---- TBitsEngine: writing --------------------------------------------------------------------

unsigned SignedFieldBits(std::initializer_list<int32_t> values, unsigned maxBits) {
  int64_t maxAbs = 0;
  for (int32_t v : values) maxAbs = MaxAbs(maxAbs, v);
  const unsigned n = GetBitsCount(maxAbs, 1);
  if (n <= maxBits) return n;
  const int64_t limit = int64_t{1} << (maxBits - 1);
  for (int32_t v : values) {
    if (v < -limit || v >= limit) throw ESWFError("Value too large for its bit field");
  }
  return maxBits;
}

void TBitsEngine::WriteBitsAcrossBytes(uint32_t value, unsigned n) {
  if (n == 0) return;
  if (n > 32) n = 32;
  const uint32_t v = n == 32 ? value : (value & ((1u << n) - 1));
  const unsigned total = BitCount + n;
  if (total < 8) {
    BitBuffer = static_cast<uint8_t>((BitBuffer << n) | v);
    BitCount = static_cast<uint8_t>(total);
    return;
  }
  // The pending bits followed by the value, at most 7 + 32 bits.
  const uint64_t acc = (static_cast<uint64_t>(BitBuffer) << n) | v;
  const unsigned rest = total & 7;
  const unsigned bytes = total >> 3;
  // Byte by byte: for one to five bytes a push is cheaper than a range insert.
  for (unsigned i = 0; i < bytes; ++i)
    Stream.WriteByte(static_cast<uint8_t>(acc >> (rest + 8 * (bytes - 1 - i))));
  BitBuffer = static_cast<uint8_t>(acc & ((1u << rest) - 1));
  BitCount = static_cast<uint8_t>(rest);
}

void TBitsEngine::WriteSingle(float value) {
  FlushBits(true);
  WriteDWord(std::bit_cast<uint32_t>(value));
}

void TBitsEngine::WriteDouble(double value) {
  const uint64_t v = std::bit_cast<uint64_t>(value);
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  Stream.WriteBuffer(b, 8);
}

void TBitsEngine::WriteEncodedU32(uint32_t value) {
  do {
    uint8_t group = value & 0x7F;
    value >>= 7;
    if (value) group |= 0x80;
    WriteByte(group);
  } while (value);
}

void TBitsEngine::WriteEncodedString(std::string_view s) {
  const auto len = static_cast<uint16_t>(s.size());
  WriteEncodedU32(len);
  for (size_t i = 0; i < len; ++i) WriteByte(static_cast<uint8_t>(s[i]));
}

void TBitsEngine::WriteString(std::string_view s, bool nullTerminated, bool utf8) {
  if (utf8 && !IsValidUtf8(s)) {
    const std::string converted = Cp1252ToUtf8(s);
    WriteBytes({reinterpret_cast<const uint8_t*>(converted.data()), converted.size()});
  } else {
    WriteBytes({reinterpret_cast<const uint8_t*>(s.data()), s.size()});
  }
  if (nullTerminated) WriteByte(0);
}

void TBitsEngine::WriteChars(const char* chars, size_t count, bool nullTerminated) {
  WriteBytes({reinterpret_cast<const uint8_t*>(chars), count});
  if (nullTerminated) WriteByte(0);
}

void TBitsEngine::WriteRect(const TRect& r) {
  // In SWF order: Left = XMin, Top = XMax, Right = YMin, Bottom = YMax.
  const unsigned nbits = SignedFieldBits({r.Left, r.Top, r.Right, r.Bottom});
  WriteBits(nbits, 5);
  WriteBits(r.Left, nbits);
  WriteBits(r.Top, nbits);
  WriteBits(r.Right, nbits);
  WriteBits(r.Bottom, nbits);
  FlushBits(true);
}

void TBitsEngine::WriteMatrix(const TMatrixRec& m) {
  WriteBit(m.HasScale);
  if (m.HasScale) {
    const unsigned n = SignedFieldBits({m.ScaleX, m.ScaleY});
    WriteBits(n, 5);
    WriteBits(m.ScaleX, n);
    WriteBits(m.ScaleY, n);
  }
  WriteBit(m.HasSkew);
  if (m.HasSkew) {
    const unsigned n = SignedFieldBits({m.SkewX, m.SkewY});
    WriteBits(n, 5);
    WriteBits(m.SkewY, n);
    WriteBits(m.SkewX, n);
  }
  const unsigned n = SignedFieldBits({m.TranslateX, m.TranslateY});
  WriteBits(n, 5);
  if (n > 0) {
    WriteBits(m.TranslateX, n);
    WriteBits(m.TranslateY, n);
  }
  FlushBits(true);
}

void TBitsEngine::WriteColorTransform(const TCXFormRec& c) {
  // The count has 4 bits, so no term may need more than 15.
  const unsigned addBits =
      c.HasAdd ? SignedFieldBits({c.AddR, c.AddG, c.AddB, c.HasAlpha ? c.AddA : int16_t{0}}, 15) : 0;
  const unsigned multBits =
      c.HasMult ? SignedFieldBits({c.MultR, c.MultG, c.MultB, c.HasAlpha ? c.MultA : int16_t{0}}, 15)
                : 0;
  const unsigned read = c.Bits <= 15 ? c.Bits : 0u;
  const unsigned n = std::max(std::max(addBits, multBits), read);
  WriteBit(c.HasAdd);
  WriteBit(c.HasMult);
  WriteBits(n, 4);
  if (c.HasAdd || c.HasMult) {
    if (c.HasMult) {
      WriteBits(static_cast<int32_t>(c.MultR), n);
      WriteBits(static_cast<int32_t>(c.MultG), n);
      WriteBits(static_cast<int32_t>(c.MultB), n);
      if (c.HasAlpha) WriteBits(static_cast<int32_t>(c.MultA), n);
    }
    if (c.HasAdd) {
      WriteBits(static_cast<int32_t>(c.AddR), n);
      WriteBits(static_cast<int32_t>(c.AddG), n);
      WriteBits(static_cast<int32_t>(c.AddB), n);
      if (c.HasAlpha) WriteBits(static_cast<int32_t>(c.AddA), n);
    }
  }
  FlushBits(true);
}

// ---- TBitsEngine: reading --------------------------------------------------------------------

uint32_t TBitsEngine::ReadBitsAcrossBytes(int n) {
  if (n <= 0) return 0;
  if (n > 32) n = 32;
  uint64_t acc = BitBuffer;
  unsigned have = BitCount;
  while (have < static_cast<unsigned>(n)) {
    acc = (acc << 8) | Stream.ReadByte();
    have += 8;
  }
  const unsigned left = have - n;
  const uint32_t result = static_cast<uint32_t>((acc >> left) & ((uint64_t{1} << n) - 1));
  BitCount = static_cast<uint8_t>(left);
  BitBuffer = static_cast<uint8_t>(acc & ((1u << left) - 1));
  return result;
}

uint32_t TBitsEngine::ReadBytesAsDWord(int count) {
  if (count > 4) count = 4;
  uint32_t v = 0;
  for (int i = 0; i < count; ++i) v |= static_cast<uint32_t>(Stream.ReadByte()) << (8 * i);
  return v;
}

float TBitsEngine::ReadSingle() { return std::bit_cast<float>(ReadDWord()); }

double TBitsEngine::ReadDouble() {
  uint8_t b[8];
  Stream.ReadBuffer(b, 8);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  return std::bit_cast<double>(v);
}

double TBitsEngine::ReadBEDouble() {
  uint8_t b[8];
  Stream.ReadBuffer(b, 8);
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | b[i];
  return std::bit_cast<double>(v);
}

uint32_t TBitsEngine::ReadEncodedU32() {
  uint32_t v = 0;
  for (int i = 0; i < 5; ++i) {
    const uint8_t b = Stream.ReadByte();
    v |= static_cast<uint32_t>(b & 0x7F) << (7 * i);
    if (!(b & 0x80)) break;
  }
  return v;
}

std::string TBitsEngine::ReadString() {
  const uint8_t* p = Stream.Data() + Stream.Position();
  const size_t remaining = Stream.Remaining();
  const void* zero = std::memchr(p, 0, remaining);
  if (!zero) {
    Stream.Skip(remaining);
    throw ESWFError("Stream read error");
  }
  const size_t len = static_cast<const uint8_t*>(zero) - p;
  std::string s(reinterpret_cast<const char*>(p), len);
  Stream.Skip(len + 1);
  return s;
}

std::string TBitsEngine::ReadFixedString(int length) {
  if (length <= 0) return {};
  const auto bytes = Stream.ReadSpan(static_cast<size_t>(length));
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  const size_t len = zero ? static_cast<const uint8_t*>(zero) - bytes.data() : bytes.size();
  return std::string(reinterpret_cast<const char*>(bytes.data()), len);
}

std::string TBitsEngine::ReadLengthString(bool encodedLength) {
  const auto len = static_cast<uint16_t>(encodedLength ? ReadEncodedU32() : ReadBEWord());
  if (len == 0) return {};
  if (len <= 255) return ReadFixedString(len);
  const auto bytes = Stream.ReadSpan(len);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TRect TBitsEngine::ReadRect() {
  const int n = static_cast<int>(ReadUBits(5));
  TRect r;
  r.Left = ReadSBits(n);
  r.Right = ReadSBits(n);
  r.Top = ReadSBits(n);
  r.Bottom = ReadSBits(n);
  FlushBits(false);
  return r;
}

TMatrixRec TBitsEngine::ReadMatrix() {
  TMatrixRec m;
  m.HasScale = ReadBit();
  if (m.HasScale) {
    const int n = static_cast<int>(ReadUBits(5));
    m.ScaleX = ReadSBits(n);
    m.ScaleY = ReadSBits(n);
  }
  m.HasSkew = ReadBit();
  if (m.HasSkew) {
    const int n = static_cast<int>(ReadUBits(5));
    m.SkewY = ReadSBits(n);
    m.SkewX = ReadSBits(n);
  }
  const int n = static_cast<int>(ReadUBits(5));
  m.TranslateX = ReadSBits(n);
  m.TranslateY = ReadSBits(n);
  FlushBits(false);
  return m;
}

TCXFormRec TBitsEngine::ReadColorTransform(bool hasAlpha) {
  TCXFormRec c;
  c.HasAdd = ReadBit();
  c.HasMult = ReadBit();
  // The width is there also without terms.
  const int n = static_cast<int>(ReadUBits(4));
  c.Bits = static_cast<uint8_t>(n);
  if (c.HasAdd || c.HasMult) {
    if (c.HasMult) {
      c.MultR = static_cast<int16_t>(ReadSBits(n));
      c.MultG = static_cast<int16_t>(ReadSBits(n));
      c.MultB = static_cast<int16_t>(ReadSBits(n));
      if (hasAlpha) c.MultA = static_cast<int16_t>(ReadSBits(n));
    }
    if (c.HasAdd) {
      c.AddR = static_cast<int16_t>(ReadSBits(n));
      c.AddG = static_cast<int16_t>(ReadSBits(n));
      c.AddB = static_cast<int16_t>(ReadSBits(n));
      if (hasAlpha) c.AddA = static_cast<int16_t>(ReadSBits(n));
    }
  }
  c.HasAlpha = hasAlpha;
  FlushBits(false);
  return c;
}

// ---- records ---------------------------------------------------------------------------------

void TSWFRGBA::Assign(const TSWFRGB& source) {
  if (const auto* rgba = dynamic_cast<const TSWFRGBA*>(&source)) {
    SetRGBA(rgba->GetRGBA());
  } else {
    SetRGB(source.GetRGB());
  }
}

void TSWFMatrix::SetRotate(double angle) {
  const double r = angle * M_PI / 180.0;
  const double c = std::cos(r);
  const double s = std::sin(r);
  const double sx = HasScale ? ScaleXf() : 1.0;
  const double sy = HasScale ? ScaleYf() : 1.0;
  const double kx = HasSkew ? SkewXf() : 0.0;
  const double ky = HasSkew ? SkewYf() : 0.0;
  SetScaleX(c * sx + s * ky);
  SetScaleY(c * sy - s * kx);
  SetSkewX(s * sy + c * kx);
  SetSkewY(c * ky - s * sx);
}

TCXFormRec TSWFColorTransform::GetRec() const {
  TCXFormRec c = Terms();
  TCXFormRec read = FAsRead;
  read.Bits = 0;
  if (c == read) c.Bits = FAsRead.Bits;
  return c;
}

void TSWFColorTransform::SetAsRead(const TCXFormRec& r) {
  HasAdd = r.HasAdd;
  HasMult = r.HasMult;
  HasAlpha = r.HasAlpha;
  AddR = r.AddR; AddG = r.AddG; AddB = r.AddB; AddA = r.AddA;
  MultR = r.MultR; MultG = r.MultG; MultB = r.MultB; MultA = r.MultA;
  FAsRead = Terms();
  FAsRead.Bits = r.Bits;
}

TCXFormRec TSWFColorTransform::Terms() const {
  TCXFormRec c;
  c.HasAdd = HasAdd;
  c.HasMult = HasMult;
  c.HasAlpha = HasAlpha;
  if (HasAdd) {
    c.AddR = static_cast<int16_t>(AddR);
    c.AddG = static_cast<int16_t>(AddG);
    c.AddB = static_cast<int16_t>(AddB);
    if (HasAlpha) c.AddA = static_cast<int16_t>(AddA);
  }
  if (HasMult) {
    c.MultR = static_cast<int16_t>(MultR);
    c.MultG = static_cast<int16_t>(MultG);
    c.MultB = static_cast<int16_t>(MultB);
    if (HasAlpha) c.MultA = static_cast<int16_t>(MultA);
  }
  return c;
}

void TSWFColorTransform::SetRec(const TCXFormRec& c) {
  HasAlpha = c.HasAlpha;
  if (c.HasAdd) {
    SetAddR(c.AddR);
    SetAddG(c.AddG);
    SetAddB(c.AddB);
    if (HasAlpha) SetAddA(c.AddA);
  } else {
    HasAdd = false;
  }
  if (c.HasMult) {
    SetMultR(c.MultR);
    SetMultG(c.MultG);
    SetMultB(c.MultB);
    if (HasAlpha) SetMultA(c.MultA);
  } else {
    HasMult = false;
  }
  // A copy keeps the width of its source while the terms survived the clamping.
  FAsRead = Terms();
  FAsRead.Bits = c.Bits;
}

}  // namespace tw::swf
