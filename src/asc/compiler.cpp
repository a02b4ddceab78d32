#include "asc/compiler.h"

#include <algorithm>

#include "asc/assembler.h"
#include "asc/classes.h"
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

// Code in two passes: the first only counts the strings, so that the pool can come first.
void Generate(const TProgram* program, std::span<const SClass* const> classes, TEmitter& emitter,
              int version, const TSourceNames& names) {
  swf::TSWFActionList scratch;
  TActionListEmitter scratchEmitter(scratch);
  TAssembler first(scratchEmitter, version, names);
  GenerateCode(program, first, {}, classes);

  TAssembler assembler(emitter, version, names);
  GenerateCode(program, assembler, PlanPool(first.StringUses()), classes);
  assembler.Finish();
}

}  // namespace

void CompileScript(std::string_view source, TEmitter& emitter, const TCompileOptions& options) {
  const TSourceFile file{options.SourceName, source};
  CompileScript(std::span<const TSourceFile>(&file, 1), emitter, options);
}

void CompileScript(std::span<const TSourceFile> sources, TEmitter& emitter,
                   const TCompileOptions& options) {
  TSourceNames names;
  for (const TSourceFile& f : sources) names.push_back(f.Name);
  if (options.Version < kMinVersion)
    throw ECompileError(names.empty() ? std::string() : names.front(), {},
                        "compiled ActionScript needs Flash Player " + std::to_string(kMinVersion) +
                            " or later; the movie is version " + std::to_string(options.Version));
  if (sources.size() > UINT16_MAX) throw ECompileError(std::string(), {}, "too many sources");
  TProgram program;
  for (size_t i = 0; i < sources.size(); ++i) {
    const std::string text = ToUtf8(sources[i].Text);
    const TSourcePos start{std::max<uint32_t>(sources[i].FirstLine, 1),
                           std::max<uint32_t>(sources[i].FirstColumn, 1), static_cast<uint16_t>(i)};
    TProgram part = ParseProgram(text, sources[i].Name, start);
    for (auto& s : part.Body) program.Body.push_back(std::move(s));
    for (auto& t : part.Types) program.Types.push_back(std::move(t));
  }
  TClassTable classes(options.ClassPath, names);
  classes.AddImports(program);
  classes.CheckTypes(program);
  ResolveScopes(program, options.Version, names, &classes);
  classes.ResolveAll(options.Version);
  const std::vector<const SClass*> ordered = classes.Ordered();

  if (options.ClassTarget && !ordered.empty()) {
    Generate(nullptr, ordered, options.ClassTarget(), options.Version, names);
    Generate(&program, {}, emitter, options.Version, names);
  } else {
    Generate(&program, ordered, emitter, options.Version, names);
  }
}

}  // namespace tw::asc
