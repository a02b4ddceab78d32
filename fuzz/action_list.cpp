// Any bytes as an action list: read, listed, copied, written and read again.
#include <cstddef>
#include <cstdint>

#include "swf/action_disasm.h"
#include "swf/actions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tw::swf;
  TSWFActionList list;
  TMemoryStream in = TMemoryStream::View({data, size});
  TBitsEngine reader(in);
  ReadActionList(reader, list, size);
  (void)DisassembleActions(list);
  TSWFActionList copy;
  CopyActionList(list, copy);
  LinkBranchesToMarkers(copy);
  TMemoryStream out;
  TBitsEngine writer(out);
  WriteActionList(writer, copy);
  TSWFActionList again;
  TMemoryStream back = TMemoryStream::View(out.Bytes());
  TBitsEngine rereader(back);
  ReadActionList(rereader, again, out.Size());
  return 0;
}
