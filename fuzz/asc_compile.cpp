// Any bytes as an ActionScript source: the compiler either stops with a compile error or makes
// records that write without complaint, and read back as the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "asc/compiler.h"
#include "builder/action_script.h"
#include "swf/actions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tw;
  if (size == 0) return 0;
  // The first byte picks the version: the rest is the script.
  asc::TCompileOptions options;
  options.Version = 5 + data[0] % 6;
  const std::string_view source(reinterpret_cast<const char*>(data + 1), size - 1);
  swf::TSWFActionList list;
  builder::TFlashActionScript script(nullptr, &list);
  try {
    asc::CompileScript(source, script, options);
  } catch (const asc::ECompileError&) {
    return 0;
  }
  if (list.MinVersion() > options.Version) std::abort();
  swf::TMemoryStream out;
  swf::TBitsEngine writer(out);
  swf::WriteActionList(writer, list);  // a compiled list that does not write is a fault
  swf::TSWFActionList again;
  swf::TMemoryStream back = swf::TMemoryStream::View(out.Bytes());
  swf::TBitsEngine reader(back);
  swf::ReadActionList(reader, again, out.Size());
  LinkBranchesToMarkers(again);
  swf::TMemoryStream second;
  swf::TBitsEngine rewriter(second);
  swf::WriteActionList(rewriter, again);
  if (second.Size() != out.Size() ||
      !std::equal(out.Bytes().begin(), out.Bytes().end(), second.Bytes().begin()))
    std::abort();
  return 0;
}
