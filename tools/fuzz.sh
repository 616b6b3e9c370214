#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 60), seeded from the shared corpus where it exists.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
need_packages clang libclang-rt-14-dev "${BUILD_PACKAGES[@]}" "$(sdl_package)"
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEMO_FUZZ=ON \
    -DDEMO_TESTS=OFF -DDEMO_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"
corpus_root=../shared/corpus
shopt -s nullglob
for target in build-fuzz/fuzz/*/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    work=build-fuzz/corpus-$name
    mkdir -p "$work"
    seeds=()
    options=()
    case $name in
        # The PCX reader reads a byte per call; large seeds would slow every run down.
        fuzz_pcx) seeds=("$corpus_root/pcx") options=(-max_len=16384) ;;
        fuzz_obj) seeds=(fuzz/loaders/seeds_obj "$corpus_root/obj") ;;
        fuzz_mod) seeds=("$corpus_root/mod") ;;
    esac
    existing=()
    for s in "${seeds[@]}"; do [ -d "$s" ] && existing+=("$s"); done
    echo "== $name for ${seconds}s =="
    log=build-fuzz/$name.log
    if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" \
            "${options[@]}" "$work" "${existing[@]}" >"$log" 2>&1; then
        tail -40 "$log"
        echo "fuzzer $name found a failing input (saved under $work)"
        exit 1
    fi
    grep -E 'stat::number_of_executed_units|Done' "$log" || true
done
