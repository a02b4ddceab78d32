#include "asc/compiler.h"

#include <algorithm>

#include "asc/assembler.h"
#include "asc/codegen.h"
#include "asc/parser.h"
#include "asc/scopes.h"
#include "util/text.h"

namespace tw::asc {
namespace {

// The strings a first pass pushed, most used first (ties in order of first use): the ones
// used most get the one-byte indexes. The two strings a Push record would read as null and
// undefined come first of all, so that they are always in the pool.
std::vector<std::string> PlanPool(std::vector<std::pair<std::string, size_t>> uses) {
  for (auto& [s, n] : uses)
    if (s == "FlashVar_null" || s == "FlashVar_undefined") n = SIZE_MAX;
  std::stable_sort(uses.begin(), uses.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  std::vector<std::string> pool;
  pool.reserve(uses.size());
  for (auto& u : uses) pool.push_back(std::move(u.first));
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
  GenerateCode(program, assembler, PlanPool(first.StringUses()));
  assembler.Finish();
}

}  // namespace tw::asc
