#include "asc/compiler.h"

#include <algorithm>
#include <unordered_map>

#include "asc/assembler.h"
#include "asc/codegen.h"
#include "asc/parser.h"
#include "asc/scopes.h"
#include "util/text.h"

namespace tw::asc {
namespace {

// The strings a first pass pushed, most used first (ties in order of first use): the ones
// used most get the one-byte indexes. The two strings a Push record would read as null and
// undefined are always in the pool.
std::vector<std::string> PlanPool(const swf::TSWFActionList& firstPass) {
  std::unordered_map<std::string, size_t> index;
  std::vector<std::pair<std::string, size_t>> counts;
  auto count = [&](const std::string& s, size_t n) {
    auto [it, added] = index.emplace(s, counts.size());
    if (added) counts.emplace_back(s, 0);
    counts[it->second].second += n;
  };
  for (const auto& record : firstPass) {
    if (record->ActionCode != 0x96) continue;
    for (const auto& v : static_cast<const swf::TSWFActionPush&>(*record).Values)
      if (v.ValueType == swf::kPushString) count(std::get<std::string>(v.Value), 1);
  }
  for (const char* special : {"FlashVar_null", "FlashVar_undefined"})
    if (index.contains(special)) counts[index[special]].second = SIZE_MAX;
  std::stable_sort(counts.begin(), counts.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  std::vector<std::string> pool;
  pool.reserve(counts.size());
  for (auto& c : counts) pool.push_back(std::move(c.first));
  return pool;
}

}  // namespace

void CompileScript(std::string_view source, TEmitter& emitter, const TCompileOptions& options) {
  if (options.Version < kMinVersion)
    throw ECompileError(options.SourceName, {},
                        "compiled ActionScript needs Flash Player " + std::to_string(kMinVersion) +
                            " or later; the movie is version " + std::to_string(options.Version));
  const std::string text = ToUtf8(source);
  TProgram program = ParseProgram(text, options.SourceName);
  ResolveScopes(program, options.Version, options.SourceName);

  // The first pass only counts the strings, so that the pool can come first.
  swf::TSWFActionList scratch;
  TActionListEmitter scratchEmitter(scratch);
  TAssembler first(scratchEmitter, options.Version, options.SourceName);
  GenerateCode(program, first, {});

  TAssembler assembler(emitter, options.Version, options.SourceName);
  GenerateCode(program, assembler, PlanPool(scratch));
  assembler.Finish();
}

}  // namespace tw::asc
