// Values at the edge of the widest bit fields: what is read from a 31-bit field is written back in
// one, and what fits no field fails instead of being written as something else.
#include "support/testing.h"
#include "swf/bits.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
using namespace tw::swf;

TEST(BitsEngine, WidestFieldsReadBack) {
  constexpr int32_t kLowest = -(1 << 30);
  TMemoryStream s;
  TBitsEngine be(s);
  be.WriteRect({kLowest, 0, 0, (1 << 30) - 1});
  be.WriteMatrix(MakeMatrixRec(true, true, kLowest, 1, kLowest, 2, kLowest, 3));
  EXPECT_EQ(s.Bytes()[0] >> 3, 31);
  TMemoryStream view = TMemoryStream::View(s.Bytes());
  TBitsEngine reader(view);
  EXPECT_EQ(reader.ReadRect(), (TRect{kLowest, 0, 0, (1 << 30) - 1}));
  EXPECT_EQ(reader.ReadMatrix(), MakeMatrixRec(true, true, kLowest, 1, kLowest, 2, kLowest, 3));
  EXPECT_EQ(view.Remaining(), 0u);
}

TEST(BitsEngine, ValuesBeyondTheWidestFieldFail) {
  TMemoryStream s;
  TBitsEngine be(s);
  EXPECT_THROW(be.WriteRect({0, 1 << 30, 0, 0}), ESWFError);
  EXPECT_THROW(be.WriteMatrix(MakeMatrixRec(false, false, 0, 0, 0, 0, INT32_MIN, 0)), ESWFError);
}

TEST(BitsEngine, ColorTransformTermsAtTheWidestField) {
  // The count has 4 bits: -16384 needs 15 bits, which the magnitude rule would make 16.
  TCXFormRec c;
  c.HasMult = true;
  c.MultR = -16384;
  c.MultG = 16383;
  TMemoryStream s;
  TBitsEngine be(s);
  be.WriteColorTransform(c);
  TMemoryStream view = TMemoryStream::View(s.Bytes());
  TBitsEngine reader(view);
  const TCXFormRec back = reader.ReadColorTransform(false);
  EXPECT_EQ(back.MultR, -16384);
  EXPECT_EQ(back.MultG, 16383);
  c.MultB = -16385;
  EXPECT_THROW(be.WriteColorTransform(c), ESWFError);
}

TEST(Stream, HeaderSizeMatchesTheWrittenRectangle) {
  TBasedSWFStream movie;
  movie.SetFrameRect({-(1 << 30), 0, 100, 100});
  TMemoryStream header;
  movie.WriteHeader(header, 0);
  EXPECT_EQ(header.Size(), movie.HeaderSize());
}

}  // namespace
}  // namespace tw::test
