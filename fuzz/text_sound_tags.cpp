// Font, text, sound, video and DoABC bodies from arbitrary bytes: reading fails with the format
// error or succeeds, and what was read writes bytes that read back and write the same again.
#include <cstdlib>

#include "tag_roundtrip.h"

namespace {

using namespace tw::swf;

constexpr uint16_t kCodes[] = {10, 13, 48, 62, 73, 75, 88, 11, 33, 37, 74,
                               14, 15, 18, 19, 45, 89, 60, 61, 82};

using tw::fuzz::ReadTagBody;
using tw::fuzz::WriteTagBodyBytes;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint16_t code = kCodes[data[0] % std::size(kCodes)];
  TSWFReadContext context;
  context.Version = static_cast<uint8_t>(1 + (data[1] & 15));
  context.ParseActions = data[1] & 0x10;
  context.StreamSoundFormat = (data[1] >> 5) & 3;
  const std::span<const uint8_t> body(data + 2, size - 2);
  std::unique_ptr<TSWFObject> tag;
  try {
    tag = ReadTagBody(code, body, context);
  } catch (const ESWFError&) {
    return 0;
  }
  std::vector<uint8_t> first;
  try {
    first = WriteTagBodyBytes(*tag, context);
  } catch (const ESWFError&) {
    return 0;  // a value the format cannot carry
  }
  const auto again = ReadTagBody(code, first, context);
  if (WriteTagBodyBytes(*again, context) != first) std::abort();
  return 0;
}
