#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds,
# seeded from the shared corpus where it exists. Stopping the script (Ctrl-C, SIGTERM,
# SIGHUP) stops the build or the fuzzer it is running.
set -euo pipefail

usage() {
    cat <<'EOF'
usage: tools/fuzz.sh [SECONDS]
Builds the fuzz targets (in build-fuzz/, with clang) and runs each for SECONDS seconds
(default 60), seeded from ../shared/corpus when it is there. Inputs that fail are kept
under build-fuzz/corpus-TARGET/; the run then ends with status 1.
  -h, --help   show this help and exit
EOF
}

bad_usage() {
    echo "fuzz.sh: $1" >&2
    usage >&2
    exit 2
}

seconds=60
case $# in
    0) ;;
    1)
        case $1 in
            -h | --help)
                usage
                exit 0
                ;;
            -*) bad_usage "$1: unknown option" ;;
        esac
        if [[ ! $1 =~ ^[0-9]{1,9}$ ]] || [ "$((10#$1))" -lt 1 ]; then
            bad_usage "SECONDS: needs a whole number of seconds from 1 to 999999999, got '$1'"
        fi
        seconds=$((10#$1))
        ;;
    *) bad_usage "too many arguments, got '$*'" ;;
esac

cd "$(dirname "$0")/.."
. tools/deps.sh
need_packages clang libclang-rt-14-dev "${BUILD_PACKAGES[@]}" "$(sdl_package)"

# Each step runs in a process group of its own, so that stopping the script stops all of it.
# Descriptor 3 keeps the script's standard error for messages from a trap, which may run
# while a step's output goes to a log.
exec 3>&2
child=
scratch=
cleanup() {
    [ -n "$scratch" ] && rm -rf "$scratch"
    scratch=
}
stop() {
    trap - INT TERM HUP
    if [ -n "$child" ]; then
        kill -TERM -- "-$child" "$child" 2>/dev/null || true
        { sleep 5 && kill -KILL -- "-$child" "$child"; } 2>/dev/null &
        local killer=$!
        wait "$child" 2>/dev/null || true
        kill "$killer" 2>/dev/null || true
    fi
    cleanup
    echo "fuzz.sh: stopped" >&3
    exit "$1"
}
trap 'stop 130' INT
trap 'stop 143' TERM
trap 'stop 129' HUP
trap cleanup EXIT

# Runs a command as its own process group and waits for it; returns its status.
run() {
    setsid "$@" &
    child=$!
    local status=0
    wait "$child" || status=$?
    child=
    return "$status"
}

run env CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDEMO_FUZZ=ON -DDEMO_TESTS=OFF -DDEMO_BENCH=OFF >/dev/null
run cmake --build build-fuzz -j"$(nproc)"

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
        # Images beyond 64 KiB add time to every run and little to what is reached.
        fuzz_pcx) seeds=("$corpus_root/pcx") options=(-max_len=65536) ;;
        fuzz_obj) seeds=(fuzz/loaders/seeds_obj "$corpus_root/obj") ;;
        fuzz_mod) seeds=("$corpus_root/mod") ;;
    esac
    existing=()
    for s in "${seeds[@]}"; do [ -d "$s" ] && existing+=("$s"); done
    echo "== $name for ${seconds}s =="
    log=build-fuzz/$name.log
    # The targets' scratch files go here, and go with it whatever way the run ends.
    scratch=$(mktemp -d "build-fuzz/scratch-$name.XXXXXX")
    if ! run env TMPDIR="$PWD/$scratch" "$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$work/" "${options[@]}" "$work" "${existing[@]}" >"$log" 2>&1; then
        tail -40 "$log"
        echo "fuzzer $name found a failing input (saved under $work)"
        exit 1
    fi
    cleanup
    grep -E 'stat::number_of_executed_units|Done' "$log" || true
done
