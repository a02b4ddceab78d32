// The bit engine and the basic records, against the exact bytes the format gives.
#include <cmath>
#include <functional>

#include "support/testing.h"
#include "swf/bits.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// Runs a writer over a fresh engine and returns the bytes, flushed.
Bytes Written(const std::function<void(TBitsEngine&)>& write) {
  TMemoryStream s;
  TBitsEngine be(s);
  write(be);
  be.FlushBits(true);
  return s.Release();
}

struct WriteCase {
  const char* name;
  std::function<void(TBitsEngine&)> write;
  const char* bytes;
};

TEST(BitsEngine, WritesExactBytes) {
  const WriteCase cases[] = {
      {"550 x 400 frame rectangle, Nbits 15",
       [](TBitsEngine& be) { be.WriteRect({0, 11000, 0, 8000}); }, "78 00 05 5F 00 00 0F A0 00"},
      {"platform rectangle is normalised first",
       [](TBitsEngine& be) { be.WritePlatformRect({11000, 8000, 0, 0}); },
       "78 00 05 5F 00 00 0F A0 00"},
      {"zero rectangle is one byte", [](TBitsEngine& be) { be.WriteRect({0, 0, 0, 0}); }, "00"},
      {"identity matrix is one byte", [](TBitsEngine& be) { be.WriteMatrix({}); }, "00"},
      {"matrix with translation (100, 200) only",
       [](TBitsEngine& be) { be.WriteMatrix(MakeMatrixRec(false, false, 0, 0, 0, 0, 100, 200)); },
       "12 64 64 00"},
      {"matrix writes SkewY before SkewX",
       [](TBitsEngine& be) { be.WriteMatrix(MakeMatrixRec(false, true, 0, 0, 1, -1, 0, 0)); },
       // 0, 1, Nbits 2 = 00010, SkewY -1 = 11, SkewX 1 = 01, Nbits 0 = 00000
       "45 A0"},
      {"empty colour transform is one byte", [](TBitsEngine& be) { be.WriteColorTransform({}); },
       "00"},
      {"multiply terms of 256 need 10 bits",
       [](TBitsEngine& be) {
         TCXFormRec c;
         c.HasMult = true;
         c.MultR = c.MultG = c.MultB = 256;
         be.WriteColorTransform(c);
       },
       // 0 1 1010 0100000000 x3, flushed
       "69 00 40 10 00"},
      {"alpha terms only with HasAlpha",
       [](TBitsEngine& be) {
         TCXFormRec c;
         c.HasAdd = true;
         c.HasAlpha = true;
         c.AddR = 1; c.AddG = -1; c.AddB = 0; c.AddA = 1;
         be.WriteColorTransform(c);
       },
       // 1 0 0010 01 11 00 01
       "89 C4"},
      {"byte after three pending bits",
       [](TBitsEngine& be) { be.WriteBits(5u, 3); be.WriteByte(0xFF); },
       "BF E0"},
      {"word flushes pending bits first",
       [](TBitsEngine& be) { be.WriteBit(true); be.WriteWord(0x1234); }, "80 34 12"},
      {"EncodedU32 of 0", [](TBitsEngine& be) { be.WriteEncodedU32(0); }, "00"},
      {"EncodedU32 of 128", [](TBitsEngine& be) { be.WriteEncodedU32(128); }, "80 01"},
      {"EncodedU32 of 16384", [](TBitsEngine& be) { be.WriteEncodedU32(16384); }, "80 80 01"},
      {"EncodedU32 of FFFFFFFF", [](TBitsEngine& be) { be.WriteEncodedU32(0xFFFFFFFF); },
       "FF FF FF FF 0F"},
      {"fixed 1.5", [](TBitsEngine& be) { be.WriteFixed(1.5); }, "00 80 01 00"},
      {"single 1.0", [](TBitsEngine& be) { be.WriteSingle(1.0f); }, "00 00 80 3F"},
      {"double 1.0 little-endian", [](TBitsEngine& be) { be.WriteDouble(1.0); },
       "00 00 00 00 00 00 F0 3F"},
      {"RGBA packed", [](TBitsEngine& be) { be.WriteRGBA(MakeRGBA(1, 2, 3, 4)); }, "01 02 03 04"},
      {"string converted to UTF-8 from Windows-1252",
       [](TBitsEngine& be) { be.WriteString("\xE9", true, true); }, "C3 A9 00"},
      {"string already UTF-8 is not encoded twice",
       [](TBitsEngine& be) { be.WriteString("\xC3\xA9", true, true); }, "C3 A9 00"},
      {"string as it is", [](TBitsEngine& be) { be.WriteString("\xE9", false, false); }, "E9"},
      {"encoded string", [](TBitsEngine& be) { be.WriteEncodedString("ab"); }, "02 61 62"},
      {"32-bit field", [](TBitsEngine& be) { be.WriteBits(0xDEADBEEFu, 32); }, "DE AD BE EF"},
      {"negative value keeps its low bits", [](TBitsEngine& be) { be.WriteBits(-1, 4); }, "F0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToHex(Written(c.write)), ToHex(Hex(c.bytes)));
  }
}

TEST(BitsEngine, ReadsWhatItWrites) {
  const TMatrixRec matrices[] = {
      {},
      MakeMatrixRec(true, false, 65536, 131072, 0, 0, 0, 0),
      MakeMatrixRec(true, true, -65536, 32768, 12345, -54321, -2000, 7),
      MakeMatrixRec(false, true, 0, 0, 1, -1, 0x3FFFFFF, -0x3FFFFFF),
  };
  for (const auto& m : matrices) {
    Bytes b = Written([&](TBitsEngine& be) { be.WriteMatrix(m); });
    TMemoryStream s(b);
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadMatrix(), m);
    EXPECT_EQ(s.Position(), b.size());
  }
  TCXFormRec c;
  c.HasAdd = c.HasMult = c.HasAlpha = true;
  c.AddR = -255; c.AddG = 255; c.AddB = 0; c.AddA = 17;
  c.MultR = 256; c.MultG = 0; c.MultB = 128; c.MultA = 3;
  Bytes b = Written([&](TBitsEngine& be) { be.WriteColorTransform(c); });
  TMemoryStream s(b);
  TBitsEngine be(s);
  TCXFormRec expected = c;
  expected.Bits = 10;  // the smallest width of the terms, read with them
  const TCXFormRec read = be.ReadColorTransform(true);
  EXPECT_EQ(read, expected);
  EXPECT_EQ(Written([&](TBitsEngine& w) { w.WriteColorTransform(read); }), b);
}

TEST(BitsEngine, ReadsBitsAndStrings) {
  {
    TMemoryStream s(Hex("80"));
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadUBits(0), 0u) << "reads nothing";
    EXPECT_EQ(s.Position(), 0u);
    EXPECT_EQ(be.ReadSBits(5), -16) << "10000 sign-extends";
  }
  {
    TMemoryStream s(Hex("00"));
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadRect(), (TRect{0, 0, 0, 0}));
    EXPECT_EQ(s.Position(), 1u);
  }
  {
    TMemoryStream s(Hex("78 00 05 5F 00 00 0F A0 00"));
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadRect(), (TRect{0, 0, 11000, 8000}));
  }
  {
    TMemoryStream s(Hex("41 00 42 43 44"));
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadFixedString(4), "A");
    EXPECT_EQ(s.Position(), 4u);
  }
  {
    TMemoryStream s(Hex("FF FF FF FF 0F 80 01"));
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadEncodedU32(), 0xFFFFFFFFu);
    EXPECT_EQ(be.ReadEncodedU32(), 128u);
  }
  {
    // Lengths: 16-bit big-endian; above 255 the bytes are taken whole, zeros included.
    Bytes b = Hex("00 03 61 00 62  01 00");
    b.resize(b.size() + 256, 'x');
    b[7 + 10] = 0;
    TMemoryStream s(b);
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadLengthString(false), "a");
    const std::string long_ = be.ReadLengthString(false);
    EXPECT_EQ(long_.size(), 256u);
    EXPECT_EQ(long_[10], '\0');
  }
  {
    TMemoryStream s(Hex("01 02 03 04 05"));
    TBitsEngine be(s);
    EXPECT_EQ(be.ReadBytesAsDWord(7), 0x04030201u) << "counts above 4 read 4";
    EXPECT_EQ(be.ReadByte(), 5);
  }
}

TEST(BitsEngine, ReadingPastTheEndFails) {
  TMemoryStream s(Hex("61 62"));
  TBitsEngine be(s);
  EXPECT_THROW(be.ReadString(), ESWFError) << "no terminating zero";
  TMemoryStream t(Hex("FF"));
  TBitsEngine be2(t);
  EXPECT_THROW(be2.ReadRect(), ESWFError) << "31-bit fields in one byte";
}

TEST(Helpers, FixedPointAndBits) {
  EXPECT_EQ(FloatToFixed8(12), 0x0C00);
  EXPECT_EQ(FloatToFixed8(12.5), 0x0C80);
  EXPECT_EQ(FloatToFixed8(29.97), 0x1DF8);
  EXPECT_FLOAT_EQ(Fixed8ToFloat(0x1DF8), 29.96875f);
  EXPECT_EQ(FloatToFixed16(-0.5), -32768);
  EXPECT_EQ(FloatToFixed16(1.99999), 131071);
  EXPECT_EQ(FloatToFixed16(1e12), INT32_MAX) << "saturates instead of overflowing";
  EXPECT_EQ(BitsNeeded(0), 0);
  EXPECT_EQ(BitsNeeded(1), 1);
  EXPECT_EQ(BitsNeeded(255), 8);
  EXPECT_EQ(BitsNeeded(256), 9);
  EXPECT_EQ(BitsNeeded(0x80000000u), 32);
  EXPECT_EQ(GetBitsCount(0, 1), 0);
  EXPECT_EQ(GetBitsCount(-256, 1), 10);
  EXPECT_EQ(MaxAbs(-7, 3, 5, -2), 7);
  EXPECT_TRUE(TestBit(0x8000, 16));
  EXPECT_FALSE(TestBit(0x18000, 17));
  EXPECT_EQ(MakeRGBA(1, 2, 3, 4), 0x04030201u);
  EXPECT_EQ(WithAlpha(0x80, 0xFF123456), 0x80123456u);
  EXPECT_EQ(NormalizeRect({10, 20, 5, 2}), (TRect{5, 10, 2, 20}));
  EXPECT_DOUBLE_EQ(CubicBezierPoint(0, 1, 2, 3, 0.5), 1.5);
  EXPECT_DOUBLE_EQ(CubicBezierPoint(0, 0, 10, 10, 1.0), 10.0);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
}

TEST(Records, RectKeepsItsInvariant) {
  TSWFRect r;
  r.SetXMin(100);
  EXPECT_EQ(r.XMin(), 0) << "setting XMin above XMax swaps them";
  EXPECT_EQ(r.XMax(), 100);
  r.SetXMax(-50);
  EXPECT_EQ(r.XMin(), -50);
  EXPECT_EQ(r.XMax(), 0);
  r.SetRect({10, 40, 0, 20});
  EXPECT_EQ(r.GetRect(), (TRect{0, 20, 10, 40}));
  EXPECT_EQ(r.Width(), 10);
  EXPECT_EQ(r.Height(), 20);
}

TEST(Records, AlphaRules) {
  TSWFRGBA plain(false);
  EXPECT_EQ(plain.A, 255);
  EXPECT_FALSE(plain.HasAlpha);
  TSWFRGBA withAlpha(true);
  EXPECT_EQ(withAlpha.A, 0);
  withAlpha.SetAlpha(255);
  EXPECT_TRUE(withAlpha.HasAlpha) << "255 never clears HasAlpha";
  plain.SetAlpha(10);
  EXPECT_TRUE(plain.HasAlpha);
  plain.SetRGB({1, 2, 3});
  EXPECT_EQ(plain.A, 255);
  plain.SetHasAlpha(false);
  EXPECT_EQ(plain.GetRGBA(), MakeRGBA(1, 2, 3, 255));
  TSWFRGBA copy;
  TSWFRGB rgb(9, 8, 7);
  copy.Assign(rgb);
  EXPECT_EQ(copy.GetRGBA(), MakeRGBA(9, 8, 7, 255));
  TSWFRGBA source(true);
  source.SetRGBA(MakeRGBA(1, 2, 3, 4));
  copy.Assign(source);
  EXPECT_EQ(copy.GetRGBA(), MakeRGBA(1, 2, 3, 4));
  EXPECT_TRUE(copy.HasAlpha);
}

TEST(Records, ColorTransformClampsAndFlags) {
  TSWFColorTransform c;
  c.SetAddR(300);
  c.SetMultG(-5);
  c.SetMultA(1000);
  EXPECT_EQ(c.AddR, 255);
  EXPECT_EQ(c.MultG, 0);
  EXPECT_EQ(c.MultA, 256);
  EXPECT_TRUE(c.HasAdd && c.HasMult && c.HasAlpha);
  TCXFormRec rec = c.GetRec();
  EXPECT_EQ(rec.MultA, 256);
  TSWFColorTransform d;
  rec.HasAlpha = false;
  d.SetRec(rec);
  EXPECT_FALSE(d.HasAlpha);
  EXPECT_EQ(d.MultA, 0) << "alpha terms only when HasAlpha";
  EXPECT_EQ(d.GetRec().AddR, 255);
}

TEST(Records, RotationComposes) {
  TSWFMatrix m;
  m.SetRotate(90);
  EXPECT_TRUE(m.HasScale && m.HasSkew);
  EXPECT_NEAR(m.ScaleXf(), 0.0, 1e-4);
  EXPECT_NEAR(m.SkewXf(), 1.0, 1e-4);
  EXPECT_NEAR(m.SkewYf(), -1.0, 1e-4);
  TSWFMatrix n;
  n.SetScale(2, 2);
  n.SetRotate(30);
  n.SetRotate(-30);
  EXPECT_NEAR(n.ScaleXf(), 2.0, 1e-3);
  EXPECT_NEAR(n.SkewXf(), 0.0, 1e-3);
  n.SetTranslate(5, 6);
  EXPECT_EQ(n.TranslateX, 5);
}

}  // namespace
}  // namespace tw::test
