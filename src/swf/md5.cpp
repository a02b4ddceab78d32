#include "swf/md5.h"

#include <cstring>

namespace tw::swf {
namespace {

constexpr uint32_t kK[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t Rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

}  // namespace

TMD5::TMD5() : FState{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, FBuffer{} {}

void TMD5::Transform(const uint8_t block[64]) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = block[4 * i] | (block[4 * i + 1] << 8) | (block[4 * i + 2] << 16) |
           (static_cast<uint32_t>(block[4 * i + 3]) << 24);
  uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) { f = (b & c) | (~b & d); g = i; }
    else if (i < 32) { f = (d & b) | (~d & c); g = (5 * i + 1) % 16; }
    else if (i < 48) { f = b ^ c ^ d; g = (3 * i + 5) % 16; }
    else { f = c ^ (b | ~d); g = (7 * i) % 16; }
    const uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kK[i] + m[g], kShift[i]);
    a = t;
  }
  FState[0] += a; FState[1] += b; FState[2] += c; FState[3] += d;
}

void TMD5::Update(std::span<const uint8_t> bytes) {
  FLength += bytes.size();
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t n = std::min(bytes.size() - i, 64 - FBuffered);
    std::memcpy(FBuffer + FBuffered, bytes.data() + i, n);
    FBuffered += n;
    i += n;
    if (FBuffered == 64) {
      Transform(FBuffer);
      FBuffered = 0;
    }
  }
}

std::array<uint8_t, 16> TMD5::Final() {
  const uint64_t bits = FLength * 8;
  static constexpr uint8_t kPad[64] = {0x80};
  const size_t padLen = FBuffered < 56 ? 56 - FBuffered : 120 - FBuffered;
  Update({kPad, padLen});
  uint8_t len[8];
  for (int i = 0; i < 8; ++i) len[i] = static_cast<uint8_t>(bits >> (8 * i));
  Update({len, 8});
  std::array<uint8_t, 16> out;
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 4; ++k) out[4 * i + k] = static_cast<uint8_t>(FState[i] >> (8 * k));
  return out;
}

std::string MD5Crypt(std::string_view password, std::string_view salt) {
  static constexpr std::string_view kMagic = "$1$";
  static constexpr char kItoa64[] =
      "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  salt = salt.substr(0, std::min<size_t>(salt.find('$'), 8));

  TMD5 alt;
  alt.Update(password);
  alt.Update(salt);
  alt.Update(password);
  auto altResult = alt.Final();

  TMD5 ctx;
  ctx.Update(password);
  ctx.Update(kMagic);
  ctx.Update(salt);
  for (size_t n = password.size(); n > 0; n -= std::min<size_t>(n, 16))
    ctx.Update({altResult.data(), std::min<size_t>(n, 16)});
  for (size_t n = password.size(); n; n >>= 1) {
    if (n & 1) ctx.Update(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("\0"), 1));
    else ctx.Update(password.substr(0, 1));
  }
  auto result = ctx.Final();

  for (int i = 0; i < 1000; ++i) {
    TMD5 round;
    if (i & 1) round.Update(password);
    else round.Update(result);
    if (i % 3) round.Update(salt);
    if (i % 7) round.Update(password);
    if (i & 1) round.Update(result);
    else round.Update(password);
    result = round.Final();
  }

  std::string out(kMagic);
  out += salt;
  out += '$';
  auto to64 = [&](uint32_t v, int n) {
    while (n-- > 0) {
      out += kItoa64[v & 0x3F];
      v >>= 6;
    }
  };
  to64((result[0] << 16) | (result[6] << 8) | result[12], 4);
  to64((result[1] << 16) | (result[7] << 8) | result[13], 4);
  to64((result[2] << 16) | (result[8] << 8) | result[14], 4);
  to64((result[3] << 16) | (result[9] << 8) | result[15], 4);
  to64((result[4] << 16) | (result[10] << 8) | result[5], 4);
  to64(result[11], 2);
  return out;
}

}  // namespace tw::swf
