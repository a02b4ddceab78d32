// Surface filters: the byte layout of each kind, read back to the same fields, including the
// kinds no corpus movie carries (bevel, convolution), and the list's failure on unknown ids.
#include <functional>

#include "display_fields.h"
#include "support/testing.h"

namespace tw::test {
namespace {
using namespace tw::swf;

std::string Written(const TSWFFilter& f) {
  TMemoryStream s;
  TBitsEngine be(s);
  f.WriteToStream(be);
  return ToHex(s.Bytes());
}

std::unique_ptr<TSWFFilter> ReadFilter(const Bytes& bytes) {
  TMemoryStream view = TMemoryStream::View(bytes);
  TBitsEngine be(view);
  auto filter = CreateFilter(be.ReadByte());
  filter->ReadFromStream(be);
  EXPECT_EQ(view.Remaining(), 0u);
  return filter;
}

TEST(Filters, EachKindWritesItsLayoutAndReadsBack) {
  struct Row {
    const char* name;
    std::function<std::unique_ptr<TSWFFilter>()> make;
    const char* bytes;
  };
  const Row rows[] = {
      {"blur: passes in the top five bits", [] {
         auto f = std::make_unique<TSWFBlurFilter>();
         f->BlurX = 4;
         f->BlurY = 2.5;
         return f;
       }, "01 00 00 04 00 00 80 02 00 08"},
      {"drop shadow: colour, four amounts, strength, flags with passes",
       [] {
         auto f = std::make_unique<TSWFDropShadowFilter>();
         f->Color.SetRGBA(MakeRGBA(0x11, 0x22, 0x33, 0x80));
         f->BlurX = f->BlurY = 1;
         f->Angle = 0.5;
         f->Distance = -2;
         f->Strength = 1.5;
         f->Knockout = true;
         f->Passes = 3;
         return f;
       },
       "00 11 22 33 80 00 00 01 00 00 00 01 00 00 80 00 00 00 00 FE FF 80 01 63"},
      {"glow: a negative strength stays negative", [] {
         auto f = std::make_unique<TSWFGlowFilter>();
         f->Color.SetRGBA(MakeRGBA(0xFF, 0, 0, 0xFF));
         f->Strength = -1.5;
         f->InnerGlow = true;
         f->CompositeSource = false;
         return f;
       }, "02 FF 00 00 FF 00 00 00 00 00 00 00 00 80 FE 81"},
      {"bevel: two colours, on top, four bits of passes", [] {
         auto f = std::make_unique<TSWFBevelFilter>();
         f->ShadowColor.SetRGBA(MakeRGBA(0, 0, 0, 0xFF));
         f->HighlightColor.SetRGBA(MakeRGBA(0xFF, 0xFF, 0xFF, 0xFF));
         f->BlurX = f->BlurY = 5;
         f->Angle = 0.75;
         f->Distance = 4;
         f->Strength = 2;
         f->OnTop = true;
         f->Passes = 15;
         return f;
       },
       "03 00 00 00 FF FF FF FF FF 00 00 05 00 00 00 05 00 00 C0 00 00 00 00 04 00 00 02 3F"},
      {"gradient glow: its two default stops", [] {
         auto f = std::make_unique<TSWFGradientGlowFilter>();
         return f;
       },
       "04 02 00 00 00 00 00 00 00 00 00 FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
       " 21"},
      {"convolution: a 2 by 1 matrix of floats, divisor, bias, default colour, flags", [] {
         auto f = std::make_unique<TSWFConvolutionFilter>();
         f->MatrixX = 2;
         f->MatrixY = 1;
         f->Divisor = 2;
         f->Bias = 0;
         f->Matrix = {1.0f, -1.0f};
         f->DefaultColor.SetRGBA(MakeRGBA(1, 2, 3, 4));
         f->Clamp = true;
         return f;
       },
       "05 02 01 00 00 00 40 00 00 00 00 00 00 80 3F 00 00 80 BF 01 02 03 04 02"},
      {"colour matrix: the identity by default", [] {
         return std::make_unique<TSWFColorMatrixFilter>();
       },
       "06 00 00 80 3F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80"
       " 3F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80 3F 00 00 00"
       " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80 3F 00 00 00 00"},
      {"gradient bevel: as the gradient glow, under its own id", [] {
         auto f = std::make_unique<TSWFGradientBevelFilter>();
         f->Stops.resize(1);
         f->Stops[0].Color.SetRGBA(MakeRGBA(9, 8, 7, 6));
         f->Stops[0].Ratio = 7;
         f->InnerShadow = true;
         return f;
       },
       "07 01 09 08 07 06 07 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 A1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto filter = row.make();
    EXPECT_EQ(Written(*filter), ToHex(Hex(row.bytes)));
    const auto back = ReadFilter(Hex(row.bytes));
    EXPECT_EQ(FieldText(*back), FieldText(*filter));
    const auto copy = back->Clone();
    EXPECT_EQ(Written(*copy), ToHex(Hex(row.bytes)));
  }
}

TEST(Filters, ListCountsItsFiltersAndRejectsUnknownIds) {
  TSWFFilterList list;
  list.Add<TSWFBlurFilter>().Passes = 2;
  list.Add<TSWFColorMatrixFilter>().Values[19] = 1;
  TMemoryStream out;
  TBitsEngine be(out);
  list.WriteToStream(be);
  const Bytes bytes = out.Release();
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[1], fidBlur);
  TSWFFilterList back;
  TMemoryStream view = TMemoryStream::View(bytes);
  TBitsEngine in(view);
  back.ReadFromStream(in);
  EXPECT_EQ(FieldText(&back), FieldText(&list));

  TSWFFilterList copy;
  copy.Assign(list);
  dynamic_cast<TSWFBlurFilter&>(copy.Filter(0)).Passes = 9;
  EXPECT_EQ(dynamic_cast<const TSWFBlurFilter&>(list.Filter(0)).Passes, 2) << "shares nothing";

  for (const char* damaged : {"01 08 00 00", "02 01 00 00 00 00 00 00 00 00 08", "01 04 10 00"}) {
    SCOPED_TRACE(damaged);  // an unknown id, a second filter missing, 16 stops missing
    const Bytes b = Hex(damaged);
    TMemoryStream v = TMemoryStream::View(b);
    TBitsEngine e(v);
    TSWFFilterList l;
    EXPECT_THROW(l.ReadFromStream(e), ESWFError);
  }
  // A convolution whose matrix the body cannot hold fails before it allocates.
  const Bytes huge = Hex("01 05 FF FF 00 00 80 3F 00 00 00 00");
  TMemoryStream v = TMemoryStream::View(huge);
  TBitsEngine e(v);
  TSWFFilterList l;
  EXPECT_THROW(l.ReadFromStream(e), ESWFError);
}

TEST(Filters, DefaultsAndTheIdentityMatrix) {
  TSWFColorMatrixFilter m;
  m.Values.fill(7);
  m.ResetValues();
  for (size_t i = 0; i < m.Values.size(); ++i)
    EXPECT_EQ(m.Values[i], i % 6 == 0 && i < 19 ? 1.0f : 0.0f) << i;
  TSWFDropShadowFilter d;
  EXPECT_EQ(d.Passes, 1);
  EXPECT_TRUE(d.CompositeSource);
  EXPECT_EQ(d.Color.A, 255);
  EXPECT_EQ(std::string(FilterName(fidGradientBevel)), "GradientBevel");
  EXPECT_EQ(CreateFilter(8), nullptr);
}

}  // namespace
}  // namespace tw::test
