// Compiling ActionScript: a script of 2,000 lines (functions, loops, objects, closures, try),
// and the same script eight times as long, to see that time grows with the length. The records
// go through the builder's action script object, as a movie's scripts do.
#include <benchmark/benchmark.h>

#include <string>

#include "asc/compiler.h"
#include "builder/action_script.h"
#include "builder/movie.h"

namespace {
using namespace tw;

// Ten lines per block, as ordinary player code is written.
std::string Script(int lines) {
  std::string s;
  for (int i = 0; s.empty() || i * 10 < lines; ++i) {
    const std::string n = std::to_string(i);
    s += "function step" + n + "(list, scale) {\n"
         "  var total = 0, names = {first: list[0], count: list.length};\n"
         "  for (var i = 0; i < list.length; i++) { if (list[i] < 0) continue; total += list[i] * scale; }\n"
         "  for (var key in names) { trace(key + '=' + names[key]); }\n"
         "  switch (scale) { case 1: total++; break; case 2: total--; break; default: total = -total; }\n"
         "  try { if (total > 100) throw 'big ' + total; } catch (e) { trace(e); }\n"
         "  var add = function (x) { return x + total; };\n"
         "  return add(scale) > 10 ? 'large' : 'small';\n"
         "}\n"
         "trace(step" + n + "([1, 2, 3], " + n + "));\n";
  }
  return s;
}

void BM_Compile(benchmark::State& state) {
  const std::string source = Script(static_cast<int>(state.range(0)));
  asc::TCompileOptions options;
  options.Version = 8;
  for (auto _ : state) {
    swf::TSWFActionList list;
    builder::TFlashActionScript script(nullptr, &list);
    asc::CompileScript(source, script, options);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
  state.counters["lines"] = static_cast<double>(state.range(0));
  state.SetComplexityN(state.range(0));
}
// The fitted complexity shows whether time stays linear in the length of the script.
BENCHMARK(BM_Compile)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Arg(16000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// The whole way a movie compiles a script: CompileScript on its frame actions, the movie's
// compile context, and the DoAction written by BuildBody.
void BM_CompileIntoMovie(benchmark::State& state) {
  const std::string source = Script(2000);
  for (auto _ : state) {
    builder::TFlashMovie movie(0, 0, 550, 400, 24, swf::TSystemCoord::Pix);
    movie.SetVersion(8);
    if (!movie.FrameActions().CompileScript(std::string_view(source))) {
      state.SkipWithError(movie.ErrorText().c_str());
      break;
    }
    movie.ShowFrame();
    movie.BuildBody();
    benchmark::DoNotOptimize(movie.BodyStream().Size());
  }
}
BENCHMARK(BM_CompileIntoMovie)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
