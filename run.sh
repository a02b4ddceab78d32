#!/usr/bin/env bash
# Builds what the program needs and runs its main job.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/lib/tunewright/tunewright-cli --help "$@"
