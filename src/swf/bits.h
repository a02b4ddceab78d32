// TBitsEngine, the basic SWF records (RECT, RGB, RGBA, MATRIX, CXFORM) and the fixed-point and
// colour helpers. Every SWF header, tag body and record is read and written through these.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "swf/memstream.h"

namespace tw::swf {

// The platform colour value: red in the low byte, then green and blue. A value with the top bit
// set names a system colour by its index in the low byte.
using TColor = uint32_t;

// A platform rectangle; where an operation takes a rectangle in SWF order, Left, Top, Right and
// Bottom hold XMin, XMax, YMin and YMax.
struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TRect&) const = default;
};

struct TRGBRec {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRGBRec&) const = default;
};

struct TMatrixRec {
  bool HasScale = false, HasSkew = false;
  int32_t ScaleX = 0, ScaleY = 0, SkewX = 0, SkewY = 0;  // 16.16 fixed
  int32_t TranslateX = 0, TranslateY = 0;                // twips
  bool operator==(const TMatrixRec&) const = default;
};

struct TCXFormRec {
  int16_t AddR = 0, AddG = 0, AddB = 0, AddA = 0;
  int16_t MultR = 0, MultG = 0, MultB = 0, MultA = 0;
  bool HasAdd = false, HasMult = false, HasAlpha = false;
  // The width of the terms as read. Written when it holds every term (a movie may use a wider
  // one than needed, and one without terms still has the field); 0 writes the smallest.
  uint8_t Bits = 0;
  bool operator==(const TCXFormRec&) const = default;
};

// ---- free helpers ----------------------------------------------------------------------------

uint8_t BitsNeeded(uint32_t value);
uint8_t GetBitsCount(int64_t value, uint8_t extra);
// The width of a run of signed fields whose count allows at most maxBits: GetBitsCount's rule
// makes a negative power of two one bit wider than it needs, which at the widest field would not
// fit the count; such values keep maxBits, and a value that fits no width throws.
unsigned SignedFieldBits(std::initializer_list<int32_t> values, unsigned maxBits = 31);
int64_t MaxAbs(int64_t a, int64_t b);
int64_t MaxAbs(int64_t a, int64_t b, int64_t c, int64_t d);
bool TestBit(uint32_t value, int n);
float Fixed8ToFloat(uint16_t w);
uint16_t FloatToFixed8(double x);
double Fixed16ToFloat(int32_t v);
int32_t FloatToFixed16(double x);
TRGBRec MakeRGB(uint8_t r, uint8_t g, uint8_t b);
TColor ResolveSystemColor(TColor color);
TRGBRec ColorToRGBRec(TColor color);
uint32_t MakeRGBA(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
uint32_t ColorToRGBA(TColor color, uint8_t alpha);
uint32_t WithAlpha(uint8_t alpha, uint32_t color);
TRGBRec PackedToRGBRec(uint32_t value);
TRect NormalizeRect(const TRect& r);
TMatrixRec MakeMatrixRec(bool hasScale, bool hasSkew, int32_t scaleX, int32_t scaleY,
                         int32_t skewX, int32_t skewY, int32_t translateX, int32_t translateY);
double CubicBezierPoint(double p0, double p1, double p2, double p3, double t);
// Round to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double x);

// ---- TBitsEngine -----------------------------------------------------------------------------

// What a writer needs to know of the movie it writes into (mirrors TSWFReadContext). The stream
// fills it from its header when it builds the body; an engine made for an inner body takes the
// outer engine's context, so that every tag, at every depth, writes for the same movie.
struct TSWFWriteContext {
  uint8_t Version = 5;  // the movie's version, as its header gives it
};

// A bit-level writer and reader over a memory stream it does not own. One engine is used for one
// direction at a time. Bit fields are packed most significant bit first; the byte operations that
// go straight to the stream ignore pending bits, so a run of bit fields ends with FlushBits.
class TBitsEngine {
 public:
  explicit TBitsEngine(TMemoryStream& stream, const TSWFWriteContext& context = {})
      : Stream(stream), Context(context) {}

  TMemoryStream& Stream;
  TSWFWriteContext Context;  // what the writers read of the movie; unused by reading
  uint8_t BitBuffer = 0;
  uint8_t BitCount = 0;

  void FlushBits(bool writing = true) {
    if (BitCount > 0 && writing) WriteBits(0u, 8 - BitCount);
    BitBuffer = 0;
    BitCount = 0;
  }

  // ---- writing
  void WriteBits(uint32_t value, unsigned n) {
    // Most fields of a shape or a matrix end inside the pending byte: no call, no stream write.
    const unsigned total = BitCount + n;
    if (n > 0 && total < 8) {
      BitBuffer = static_cast<uint8_t>((BitBuffer << n) | (value & ((1u << n) - 1)));
      BitCount = static_cast<uint8_t>(total);
      return;
    }
    WriteBitsAcrossBytes(value, n);
  }
  void WriteBits(int32_t value, unsigned n) { WriteBits(static_cast<uint32_t>(value), n); }
  void WriteBit(bool value) { WriteBits(value ? 1u : 0u, 1); }
  void WriteByte(uint8_t value) {
    if (BitCount) WriteBits(static_cast<uint32_t>(value), 8);
    else Stream.WriteByte(value);
  }
  void WriteWord(uint16_t value) {
    FlushBits(true);
    const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    Stream.WriteBuffer(b, 2);
  }
  void WriteDWord(uint32_t value) {
    FlushBits(true);
    const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Stream.WriteBuffer(b, 4);
  }
  void WriteDWord(int32_t value) { WriteDWord(static_cast<uint32_t>(value)); }
  void WriteSingle(float value);
  void WriteFixed(double value) { WriteDWord(FloatToFixed16(value)); }
  void WriteDouble(double value);
  void WriteRGB(const TRGBRec& c) {
    const uint8_t b[3] = {c.R, c.G, c.B};
    Stream.WriteBuffer(b, 3);
  }
  void WriteRGBA(uint32_t packed) {
    const uint8_t b[4] = {static_cast<uint8_t>(packed), static_cast<uint8_t>(packed >> 8),
                          static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 24)};
    Stream.WriteBuffer(b, 4);
  }
  void WriteEncodedU32(uint32_t value);
  void WriteEncodedString(std::string_view s);
  // UTF8: convert from the platform code page; text that is already UTF-8 goes as it is.
  void WriteString(std::string_view s, bool nullTerminated = true, bool utf8 = false);
  void WriteChars(const char* chars, size_t count, bool nullTerminated = false);
  void WriteBytes(std::span<const uint8_t> bytes) {
    if (BitCount) {
      for (uint8_t b : bytes) WriteByte(b);
    } else {
      Stream.WriteBuffer(bytes);
    }
  }
  void WriteRect(const TRect& swfOrder);         // Left, Top, Right, Bottom = XMin, XMax, YMin, YMax
  void WritePlatformRect(const TRect& r) { WriteRect(NormalizeRect(r)); }
  void WriteMatrix(const TMatrixRec& m);
  void WriteColorTransform(const TCXFormRec& c);

  // ---- reading
  uint32_t ReadUBits(int n) {
    // Flags and short fields are often served by the bits already held.
    if (n > 0 && static_cast<unsigned>(n) <= BitCount) {
      const unsigned left = BitCount - static_cast<unsigned>(n);
      const uint32_t result = (static_cast<uint32_t>(BitBuffer) >> left) & ((1u << n) - 1);
      BitCount = static_cast<uint8_t>(left);
      BitBuffer = static_cast<uint8_t>(BitBuffer & ((1u << left) - 1));
      return result;
    }
    return ReadBitsAcrossBytes(n);
  }
  int32_t ReadSBits(int n) {
    if (n <= 0) return 0;
    uint32_t v = ReadUBits(n);
    if (n < 32 && (v & (1u << (n - 1)))) v |= ~0u << n;
    return static_cast<int32_t>(v);
  }
  bool ReadBit() { return ReadUBits(1) != 0; }
  uint8_t ReadByte() { return Stream.ReadByte(); }
  uint16_t ReadWord() {
    uint8_t b[2];
    Stream.ReadBuffer(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t ReadDWord() {
    uint8_t b[4];
    Stream.ReadBuffer(b, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }
  uint16_t ReadBEWord() {
    uint8_t b[2];
    Stream.ReadBuffer(b, 2);
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
  }
  uint32_t ReadBytesAsDWord(int count);
  float ReadSingle();
  double ReadFixed() { return static_cast<int32_t>(ReadDWord()) / 65536.0; }
  double ReadDouble();
  double ReadBEDouble();
  uint32_t ReadEncodedU32();
  std::string ReadString();
  std::string ReadFixedString(int length);
  std::string ReadLengthString(bool encodedLength);
  std::span<const uint8_t> ReadBytes(size_t count) { return Stream.ReadSpan(count); }
  TRGBRec ReadRGB() {
    uint8_t b[3];
    Stream.ReadBuffer(b, 3);
    return {b[0], b[1], b[2]};
  }
  uint32_t ReadRGBA() { return ReadDWord(); }
  TRect ReadRect();                // Left = XMin, Right = XMax, Top = YMin, Bottom = YMax
  TMatrixRec ReadMatrix();
  TCXFormRec ReadColorTransform(bool hasAlpha);

 private:
  // The general cases of WriteBits and ReadUBits: fields that reach past the pending byte.
  void WriteBitsAcrossBytes(uint32_t value, unsigned n);
  uint32_t ReadBitsAcrossBytes(int n);
};

// ---- record classes --------------------------------------------------------------------------

class TSWFRect {
 public:
  TSWFRect() = default;
  TSWFRect(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax) {
    SetRect({xMin, yMin, xMax, yMax});
  }
  int32_t XMin() const { return FXMin; }
  int32_t XMax() const { return FXMax; }
  int32_t YMin() const { return FYMin; }
  int32_t YMax() const { return FYMax; }
  // Each setter restores the invariant of its pair by swapping.
  void SetXMin(int32_t v) { FXMin = v; Normalize(); }
  void SetXMax(int32_t v) { FXMax = v; Normalize(); }
  void SetYMin(int32_t v) { FYMin = v; Normalize(); }
  void SetYMax(int32_t v) { FYMax = v; Normalize(); }
  // Left = XMin, Top = YMin, Right = XMax, Bottom = YMax.
  void SetRect(const TRect& r) {
    FXMin = r.Left; FYMin = r.Top; FXMax = r.Right; FYMax = r.Bottom;
    Normalize();
  }
  TRect GetRect() const { return {FXMin, FYMin, FXMax, FYMax}; }
  int32_t Width() const { return FXMax - FXMin; }
  int32_t Height() const { return FYMax - FYMin; }
  void Assign(const TSWFRect& source) { *this = source; }
  void Write(TBitsEngine& be) const { be.WriteRect({FXMin, FXMax, FYMin, FYMax}); }
  void Read(TBitsEngine& be) { SetRect(be.ReadRect()); }
  bool operator==(const TSWFRect&) const = default;

 private:
  void Normalize() {
    if (FXMax < FXMin) std::swap(FXMax, FXMin);
    if (FYMax < FYMin) std::swap(FYMax, FYMin);
  }
  int32_t FXMax = 0, FXMin = 0, FYMax = 0, FYMin = 0;
};

class TSWFRGB {
 public:
  TSWFRGB() = default;
  TSWFRGB(uint8_t r, uint8_t g, uint8_t b) : B(b), G(g), R(r) {}
  virtual ~TSWFRGB() = default;
  TSWFRGB(const TSWFRGB&) = default;
  TSWFRGB& operator=(const TSWFRGB&) = default;

  uint8_t B = 0, G = 0, R = 0;

  virtual void SetRGB(const TRGBRec& c) { R = c.R; G = c.G; B = c.B; }
  TRGBRec GetRGB() const { return {R, G, B}; }
  virtual void Assign(const TSWFRGB& source) { SetRGB(source.GetRGB()); }
};

class TSWFRGBA : public TSWFRGB {
 public:
  explicit TSWFRGBA(bool hasAlpha = false) { SetHasAlpha(hasAlpha); }

  uint8_t A = 0;
  bool HasAlpha = false;

  // Below 255 turns HasAlpha on; 255 never turns it off.
  void SetAlpha(uint8_t v) {
    A = v;
    if (v < 255) HasAlpha = true;
  }
  void SetHasAlpha(bool b) {
    HasAlpha = b;
    if (!b) A = 255;
  }
  void SetRGBA(uint32_t packed) {
    R = static_cast<uint8_t>(packed);
    G = static_cast<uint8_t>(packed >> 8);
    B = static_cast<uint8_t>(packed >> 16);
    SetAlpha(static_cast<uint8_t>(packed >> 24));
  }
  uint32_t GetRGBA() const { return MakeRGBA(R, G, B, A); }
  void SetRGB(const TRGBRec& c) override {
    TSWFRGB::SetRGB(c);
    SetAlpha(255);
  }
  void Assign(const TSWFRGB& source) override;
};

class TSWFMatrix {
 public:
  bool HasScale = false, HasSkew = false;
  int32_t ScaleX = 0, ScaleY = 0, SkewX = 0, SkewY = 0;  // 16.16 fixed
  int32_t TranslateX = 0, TranslateY = 0;                // twips

  void Assign(const TSWFMatrix& source) { *this = source; }
  TMatrixRec GetRec() const {
    return {HasScale, HasSkew, ScaleX, ScaleY, SkewX, SkewY, TranslateX, TranslateY};
  }
  void SetRec(const TMatrixRec& m) {
    HasScale = m.HasScale; HasSkew = m.HasSkew;
    ScaleX = m.ScaleX; ScaleY = m.ScaleY; SkewX = m.SkewX; SkewY = m.SkewY;
    TranslateX = m.TranslateX; TranslateY = m.TranslateY;
  }
  double ScaleXf() const { return Fixed16ToFloat(ScaleX); }
  double ScaleYf() const { return Fixed16ToFloat(ScaleY); }
  double SkewXf() const { return Fixed16ToFloat(SkewX); }
  double SkewYf() const { return Fixed16ToFloat(SkewY); }
  void SetScaleX(double v) { ScaleX = FloatToFixed16(v); HasScale = true; }
  void SetScaleY(double v) { ScaleY = FloatToFixed16(v); HasScale = true; }
  void SetSkewX(double v) { SkewX = FloatToFixed16(v); HasSkew = true; }
  void SetSkewY(double v) { SkewY = FloatToFixed16(v); HasSkew = true; }
  void SetScale(double sx, double sy) { SetScaleX(sx); SetScaleY(sy); }
  void SetSkew(double sx, double sy) { SetSkewX(sx); SetSkewY(sy); }
  // Composes a rotation (degrees) with the current terms; both flags become true.
  void SetRotate(double angle);
  void SetTranslate(int32_t x, int32_t y) { TranslateX = x; TranslateY = y; }
  void Write(TBitsEngine& be) const { be.WriteMatrix(GetRec()); }
  void Read(TBitsEngine& be) { SetRec(be.ReadMatrix()); }
  bool operator==(const TSWFMatrix&) const = default;
};

class TSWFColorTransform {
 public:
  int32_t AddA = 0, AddB = 0, AddG = 0, AddR = 0;
  bool HasAdd = false, HasAlpha = false, HasMult = false;
  int32_t MultA = 0, MultB = 0, MultG = 0, MultR = 0;

  // Add terms are kept in -255..255 and multiply terms in 0..256 (256 = 1.0).
  void SetAddR(int32_t v) { AddR = ClampAdd(v); HasAdd = true; }
  void SetAddG(int32_t v) { AddG = ClampAdd(v); HasAdd = true; }
  void SetAddB(int32_t v) { AddB = ClampAdd(v); HasAdd = true; }
  void SetAddA(int32_t v) { AddA = ClampAdd(v); HasAdd = true; HasAlpha = true; }
  void SetMultR(int32_t v) { MultR = ClampMult(v); HasMult = true; }
  void SetMultG(int32_t v) { MultG = ClampMult(v); HasMult = true; }
  void SetMultB(int32_t v) { MultB = ClampMult(v); HasMult = true; }
  void SetMultA(int32_t v) { MultA = ClampMult(v); HasMult = true; HasAlpha = true; }
  // The record to write: with the width it was read with while the terms are those read.
  TCXFormRec GetRec() const;
  void SetRec(const TCXFormRec& c);
  // The terms as the file has them, unclamped, and the width they came in.
  void SetAsRead(const TCXFormRec& c);
  void Assign(const TSWFColorTransform& source) { SetRec(source.GetRec()); }
  // By the terms alone: the width they were read in is an encoding, not a value.
  bool operator==(const TSWFColorTransform& o) const { return Terms() == o.Terms(); }

 private:
  static int32_t ClampAdd(int32_t v) { return v < -255 ? -255 : (v > 255 ? 255 : v); }
  static int32_t ClampMult(int32_t v) { return v < 0 ? 0 : (v > 256 ? 256 : v); }
  TCXFormRec Terms() const;
  TCXFormRec FAsRead;  // the terms and width read, to know whether they changed since
};

}  // namespace tw::swf
