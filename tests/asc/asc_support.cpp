#include "asc/asc_support.h"

#include <sstream>

#include "support/action_testing.h"
#include "swf/action_disasm.h"

namespace tw::test {

std::unique_ptr<swf::TSWFActionList> CompileToList(std::string_view source, int version) {
  auto list = std::make_unique<swf::TSWFActionList>();
  asc::TActionListEmitter emitter(*list);
  asc::TCompileOptions options;
  options.Version = version;
  asc::CompileScript(source, emitter, options);
  return list;
}

std::string CompileToText(std::string_view source, int version) {
  auto list = CompileToList(source, version);
  const Bytes bytes = WriteList(*list);
  auto read = ReadList(bytes);
  return Lines(swf::DisassembleActions(*read));
}

std::optional<asc::ECompileError> CompileError(std::string_view source, int version,
                                               std::string_view sourceName) {
  swf::TSWFActionList list;
  asc::TActionListEmitter emitter(list);
  asc::TCompileOptions options;
  options.Version = version;
  options.SourceName = sourceName;
  try {
    asc::CompileScript(source, emitter, options);
  } catch (const asc::ECompileError& e) {
    return e;
  }
  return std::nullopt;
}

std::string Lines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    line = line.substr(first);
    // Operands are aligned with runs of spaces; one space is enough to read them.
    std::string squeezed;
    for (char c : line)
      if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') squeezed += c;
    out += squeezed;
    out += '\n';
  }
  return out;
}

}  // namespace tw::test
