// Values at the edge of the widest bit fields: what is read from a 31-bit field is written back in
// one, and what fits no field fails instead of being written as something else.
#include "support/testing.h"
#include "swf/bits.h"

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

}  // namespace
}  // namespace tw::test
