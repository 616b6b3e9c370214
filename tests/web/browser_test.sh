#!/usr/bin/env bash
# The browser build (in WEB_BUILD_DIR or build-web) against this build's capture and modplay.
# Usage: browser_test.sh BUILD_DIR SANITIZED   (run from the repository root)
set -euo pipefail
build=$1 repo=$(cd "$(dirname "$0")/../.." && pwd)
here=$repo/tests/web web_build=${WEB_BUILD_DIR:-$repo/build-web}
# Sanitizers change nothing in the browser build; the regular build's run checks it.
[ "$2" = 1 ] && { echo "skipped: the browser check runs in the regular build"; exit 77; }
for tool in emcmake node npm chromium; do
    command -v "$tool" >/dev/null ||
        { echo "browser_test: $tool not found (tools/deps.sh installs it: ./test.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== browser build in $web_build"
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
{ timeout 300 emcmake cmake -S "$repo" -B "$web_build" -DCMAKE_BUILD_TYPE=Release &&
    timeout 1200 cmake --build "$web_build" -j2; } >"$work/build.log" 2>&1 ||
    { cat "$work/build.log"; echo "browser_test: the browser build failed" >&2; exit 1; }
# puppeteer-core as the lock file pins it.
if [ ! -f "$here/node_modules/.package-lock.json" ] ||
    [ "$here/package-lock.json" -nt "$here/node_modules/.package-lock.json" ]; then
    echo "== npm ci"
    (cd "$here" && timeout 600 npm ci --no-audit --no-fund --loglevel=error)
fi

echo "== the native frames and music"
timeout 300 "$build/tools/capture/capture" --out "$work/frames" \
    --frame 0 --frame 200 --frame 888 --frame 1383 --frame 1595 >"$work/ticks.txt"
timeout 300 "$build/tools/modplay/modplay" "$repo/res/brumo.mod" -o "$work/music.wav" \
    --seconds 10 --loop >/dev/null

echo "== the page in Chromium"
timeout 600 node "$here/browser_test.mjs" --site "$web_build/site" --frames "$work/frames" \
    --ticks "$work/ticks.txt" --wav "$work/music.wav"
