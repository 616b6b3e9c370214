#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Extra arguments go to ctest (for example: ./test.sh -R Palette).
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "$(sdl_package)"
build=${BUILD_DIR:-build}
# Benchmarks on, whatever an earlier run.sh left in the cache (CMAKE_ARGS may turn them off).
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=ON -DDEMO_BENCH=ON ${CMAKE_ARGS:-} \
    >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
