#include "asc/asc_support.h"

#include <sstream>

#include "builder/action_script.h"
#include "support/action_testing.h"
#include "swf/action_disasm.h"

namespace tw::test {

std::unique_ptr<swf::TSWFActionList> CompileToList(std::string_view source, int version) {
  auto list = std::make_unique<swf::TSWFActionList>();
  builder::TFlashActionScript script(nullptr, list.get());
  asc::TCompileOptions options;
  options.Version = version;
  asc::CompileScript(source, script, options);
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
  builder::TFlashActionScript script(nullptr);
  asc::TCompileOptions options;
  options.Version = version;
  options.SourceName = sourceName;
  try {
    asc::CompileScript(source, script, options);
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
