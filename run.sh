#!/usr/bin/env bash
# Installs what is missing, builds the demo and plays it from the repository root.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "$(sdl_package)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=OFF -DDEMO_BENCH=OFF >/dev/null
cmake --build build --target demo -j"$(nproc)"
exec ./build/demo
