// MD5 (RFC 1321) and the MD5-crypt password hash ("$1$salt$digest"), for the Protect tags.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tw::swf {

class TMD5 {
 public:
  TMD5();
  void Update(std::span<const uint8_t> bytes);
  void Update(std::string_view text) {
    Update({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  }
  std::array<uint8_t, 16> Final();

 private:
  void Transform(const uint8_t block[64]);
  uint32_t FState[4];
  uint64_t FLength = 0;
  uint8_t FBuffer[64];
  size_t FBuffered = 0;
};

// The MD5-crypt hash of a password with a salt of up to eight characters (1000 rounds).
std::string MD5Crypt(std::string_view password, std::string_view salt);

}  // namespace tw::swf
