#!/usr/bin/env bash
# Builds the show for web browsers into build-web/site (index.html, demo.js, demo.wasm,
# demo.data (the packaged res/ folder), and the music's music-link.js, music-worklet.js and
# player.wasm) and serves that folder on http://127.0.0.1:PORT/.
# Usage: tools/web.sh [--build-only] [PORT]   (default port 8000)
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    echo "usage: tools/web.sh [--build-only] [PORT]"
    echo "Builds the browser version into build-web/site and serves it on 127.0.0.1:PORT"
    echo "(default 8000); --build-only stops after the build."
}

serve=1
port=8000
for arg in "$@"; do
    case $arg in
    -h | --help) usage; exit 0 ;;
    --build-only) serve=0 ;;
    *[!0-9]* | '')
        echo "web.sh: PORT: not an option or a port number, got $arg" >&2
        usage >&2
        exit 2
        ;;
    *) port=$arg ;;
    esac
done

. tools/deps.sh
need_packages "${WEB_BUILD_PACKAGES[@]}"

# emcc's JavaScript optimiser finds Debian's acorn only through NODE_PATH when the Node.js on
# the path is not Debian's.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j"$(nproc)"
echo "Built build-web/site ($(du -sh build-web/site | cut -f1)); publish that folder as it is."
[ "$serve" = 1 ] || exit 0

echo "Serving on http://127.0.0.1:$port/ (Ctrl-C stops)"
exec python3 - "$port" <<'PY'
import functools, http.server, sys

handler = http.server.SimpleHTTPRequestHandler
handler.extensions_map[".wasm"] = "application/wasm"
server = http.server.ThreadingHTTPServer(
    ("127.0.0.1", int(sys.argv[1])),
    functools.partial(handler, directory="build-web/site"))
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PY
