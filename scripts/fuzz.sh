#!/usr/bin/env bash
# scripts/fuzz.sh MINUTES [TARGET...]: a long fuzzing hunt. Runs the named fuzz targets (the names
# of fuzz/*.cpp; all of them when none are named) one after the other, sharing MINUTES between them,
# on one core. Each target's corpus grows in build-asan/fuzz-corpus/<target> from run to run,
# seeded as the test suite seeds it; inputs that crash, leak or hang land in
# build-asan/fuzz-crashes/<target>/ and are listed at the end. Exits nonzero when any target
# failed. TW_FUZZ_BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -eq 0 ]; then
  echo "usage: scripts/fuzz.sh MINUTES [TARGET...]" >&2
  exit 2
fi
minutes=$1
shift
build=${TW_FUZZ_BUILD:-build-asan}

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
for name in "${targets[@]}"; do
  if [ ! -f "fuzz/$name.cpp" ]; then
    echo "no fuzz target $name (see fuzz/*.cpp)" >&2
    exit 2
  fi
done

# The sanitizer build of test.sh, with the libraries instrumented for coverage.
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTW_SANITIZE=ON -DTW_WERROR=ON -DTW_BUILD_BENCH=OFF -DTW_BUILD_FUZZ=ON -DTW_FUZZ_COVERAGE=ON \
    "${launcher[@]}"
fi
build_args=()
for name in "${targets[@]}"; do build_args+=(--target "fuzz_$name"); done
cmake --build "$build" -j"$(nproc)" "${build_args[@]}"

seconds=$((minutes * 60 / ${#targets[@]}))
[ "$seconds" -ge 1 ] || seconds=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
failed=()
for name in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$name"
  crashes="$build/fuzz-crashes/$name"
  mkdir -p "$corpus" "$crashes"
  read -r -a seeds <"$build/fuzz/seeds_$name.txt"
  echo "== $name: ${seconds}s, corpus $corpus"
  # New inputs go to the first folder only, so the seeds stay as they are.
  if ! "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=65536 -timeout=30 \
      -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "${seeds[@]}" \
      >"$build/fuzz-crashes/$name.log" 2>&1; then
    failed+=("$name")
  fi
  { grep -E '^#[0-9]+ .*cov:' "$build/fuzz-crashes/$name.log" | tail -n 1
    grep -E '^stat::number_of_executed_units|ERROR|^SUMMARY' "$build/fuzz-crashes/$name.log"
  } || true
done

found=0
for name in "${targets[@]}"; do
  for file in "$build/fuzz-crashes/$name"/*; do
    [ -f "$file" ] || continue
    [ $found -eq 1 ] || echo "== inputs that broke a target (replay: $build/fuzz/fuzz_<target> FILE)"
    found=1
    echo "$file"
  done
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "== failed: ${failed[*]} (logs in $build/fuzz-crashes/<target>.log)"
  exit 1
fi
echo "== no target failed"
