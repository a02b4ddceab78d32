// TMemoryStream: the byte stream under every bit engine. It either owns a growable buffer
// (writing and reading) or views bytes it does not own (reading only), so that a tag body can be
// read where it lies in the movie without a copy, bounded by its declared length.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "swf/errors.h"

namespace tw::swf {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : FBuffer(std::move(bytes)) {}
  // A read-only view over bytes that must outlive the stream.
  static TMemoryStream View(std::span<const uint8_t> bytes) {
    TMemoryStream s;
    s.FView = bytes.data();
    s.FViewSize = bytes.size();
    s.FIsView = true;
    return s;
  }

  size_t Size() const { return FIsView ? FViewSize : FBuffer.size(); }
  size_t Position() const { return FPosition; }
  // Positions beyond the end are allowed; reading there fails and writing there zero-fills.
  void SetPosition(size_t position) { FPosition = position; }
  size_t Remaining() const { return FPosition < Size() ? Size() - FPosition : 0; }
  const uint8_t* Data() const { return FIsView ? FView : FBuffer.data(); }
  std::span<const uint8_t> Bytes() const { return {Data(), Size()}; }
  bool IsView() const { return FIsView; }

  // The owned buffer; a view has none.
  std::vector<uint8_t>& Buffer() { return FBuffer; }
  std::vector<uint8_t> Release() {
    FPosition = 0;
    return std::move(FBuffer);
  }
  void Clear() {
    FBuffer.clear();
    FView = nullptr;
    FViewSize = 0;
    FIsView = false;
    FPosition = 0;
  }

  uint8_t ReadByte() {
    if (FPosition >= Size()) ThrowReadError();
    return Data()[FPosition++];
  }
  void ReadBuffer(void* dest, size_t count) {
    if (count > Remaining()) ThrowReadError();
    if (count) std::memcpy(dest, Data() + FPosition, count);
    FPosition += count;
  }
  // The next count bytes where they lie; they stay valid until the stream changes.
  std::span<const uint8_t> ReadSpan(size_t count) {
    if (count > Remaining()) ThrowReadError();
    std::span<const uint8_t> s(Data() + FPosition, count);
    FPosition += count;
    return s;
  }
  void Skip(size_t count) {
    if (count > Remaining()) ThrowReadError();
    FPosition += count;
  }

  void WriteByte(uint8_t value) {
    if (FIsView) ThrowWriteError();
    if (FPosition == FBuffer.size()) {
      FBuffer.push_back(value);
    } else {
      if (FPosition > FBuffer.size()) FBuffer.resize(FPosition);
      if (FPosition == FBuffer.size()) FBuffer.push_back(value);
      else FBuffer[FPosition] = value;
    }
    ++FPosition;
  }
  void WriteBuffer(const void* source, size_t count) {
    if (FIsView) ThrowWriteError();
    if (count == 0) return;
    const auto* p = static_cast<const uint8_t*>(source);
    if (FPosition == FBuffer.size()) {
      FBuffer.insert(FBuffer.end(), p, p + count);
    } else {
      if (FPosition + count > FBuffer.size()) FBuffer.resize(FPosition + count);
      std::memmove(FBuffer.data() + FPosition, p, count);
    }
    FPosition += count;
  }
  void WriteBuffer(std::span<const uint8_t> bytes) { WriteBuffer(bytes.data(), bytes.size()); }

 private:
  [[noreturn]] static void ThrowReadError();
  [[noreturn]] static void ThrowWriteError();

  std::vector<uint8_t> FBuffer;
  const uint8_t* FView = nullptr;
  size_t FViewSize = 0;
  bool FIsView = false;
  size_t FPosition = 0;
};

}  // namespace tw::swf
