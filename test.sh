#!/usr/bin/env bash
# Builds everything and runs every test: the release build (warnings are errors), then the
# AddressSanitizer + UndefinedBehaviorSanitizer build with the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)

scripts/deps.sh test
scripts/ruffle.sh
bash tests/e2e/setup.sh
# The private Node that setup.sh installs where the system's is too old.
[ -x tests/e2e/.runtime/bin/node ] && export PATH="$PWD/tests/e2e/.runtime/bin:$PATH"

echo "== release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_WERROR=ON \
  -DTW_BUILD_TESTS=ON -DTW_BUILD_BENCH=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== sanitizer build"
# The skins are built by the sanitized program itself, so the suppressions hold for the build too.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTW_SANITIZE=ON -DTW_WERROR=ON -DTW_BUILD_BENCH=OFF -DTW_BUILD_FUZZ=ON -DTW_FUZZ_COVERAGE=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE e2e

echo "== all tests passed"
