#include "support/action_testing.h"

namespace tw::test {
using namespace tw::swf;

std::unique_ptr<TSWFActionList> ReadList(std::span<const uint8_t> bytes) {
  auto list = std::make_unique<TSWFActionList>();
  TMemoryStream s = TMemoryStream::View(bytes);
  TBitsEngine be(s);
  ReadActionList(be, *list, bytes.size());
  return list;
}

Bytes WriteList(TSWFActionList& list) {
  TMemoryStream s;
  TBitsEngine be(s);
  WriteActionList(be, list);
  return s.Release();
}

std::string Shape(const TSWFActionList& list) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (const auto& a : list) {
    if (!s.empty()) s += ' ';
    if (a->ActionCode == kActionMarker) {
      s += 'M';
    } else if (a->ActionCode == kActionByteCode) {
      s += "[" + ToHex(static_cast<const TSWFActionByteCode&>(*a).RawData) + "]";
    } else {
      s += kDigits[a->ActionCode >> 4];
      s += kDigits[a->ActionCode & 15];
    }
  }
  return s;
}

int IndexOf(const TSWFActionList& list, const TSWFAction* record) {
  for (size_t i = 0; i < list.Count(); ++i)
    if (&list[i] == record) return static_cast<int>(i);
  return -1;
}

}  // namespace tw::test
