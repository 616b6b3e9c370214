#!/usr/bin/env bash
# End-to-end exits of the real program: terminating signals, Escape released, the window
# closed by a WM_DELETE_WINDOW message, and a display that cannot be opened.
# usage: window_test.sh DEMO XCLOSE CASE [REPEATS]
# Runs from the repository root (the program opens res/ relative to it). Every wait is
# bounded, every external program runs under a time limit, and every process started here is
# cleaned up on exit.
set -u
demo=$1 xclose=$2 case=$3 repeats=${4:-1}

work=$(mktemp -d)
xvfb_pid=
demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; [ -f "$work/err" ] && tail -c 600 "$work/err" | tr '\r' '\n' | tail -5; exit 1; }

. "$(dirname "$0")/x11_session.sh"

start_demo() {
    # A fresh file: the previous run's frame-rate lines must not count for this one.
    rm -f "$work/out" "$work/err"
    "$demo" >"$work/out" 2>"$work/err" &
    demo_pid=$!
}

# Waits until the program presents frames: its first frame-rate line.
wait_for_frames() {
    for _ in $(seq 300); do
        grep -q 'FPS:' "$work/err" 2>/dev/null && return 0
        kill -0 "$demo_pid" 2>/dev/null || fail "the program ended before presenting a frame"
        sleep 0.1
    done
    fail "no frame presented within 30 s"
}

# Waits (bounded) for the program to end and checks its status.
expect_exit() {
    local want=$1 what=$2 rc
    for _ in $(seq 100); do kill -0 "$demo_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$demo_pid" 2>/dev/null; then fail "$what: still running after 10 s (hung?)"; fi
    wait "$demo_pid"
    rc=$?
    demo_pid=
    [ "$rc" -eq "$want" ] || fail "$what: exit status $rc, expected $want"
}

export SDL_AUDIODRIVER=dummy
case $case in
signals-dummy|signals-x11)
    if [ "$case" = signals-x11 ]; then start_xvfb; export SDL_VIDEODRIVER=x11
    else export SDL_VIDEODRIVER=dummy; fi
    for _ in $(seq "$repeats"); do
        for sig in INT QUIT HUP TERM; do
            start_demo; wait_for_frames
            kill -"$sig" "$demo_pid"; expect_exit 0 "SIG$sig ($SDL_VIDEODRIVER driver)"
        done
    done ;;
escape-x11)
    start_xvfb; export SDL_VIDEODRIVER=x11
    start_demo; wait_for_frames; window_of_pid "$demo_pid"
    timeout 10 xdotool keydown --window "$window_id" Escape || fail "xdotool keydown failed"
    sleep 0.5
    kill -0 "$demo_pid" 2>/dev/null || fail "Escape pressed (not yet released) ended the program"
    timeout 10 xdotool keyup --window "$window_id" Escape || fail "xdotool keyup failed"
    expect_exit 0 "Escape released" ;;
close-x11)
    [ -x "$xclose" ] || { echo "xclose helper not built (no X11 development files)"; exit 77; }
    start_xvfb; export SDL_VIDEODRIVER=x11
    start_demo; wait_for_frames; window_of_pid "$demo_pid"
    timeout 10 "$xclose" "$window_id" || fail "xclose failed"
    expect_exit 0 "window closed" ;;
no-display)
    unset DISPLAY; export SDL_VIDEODRIVER=x11
    start_demo; expect_exit 1 "no display"
    grep -q '^demo: ' "$work/err" || fail "no message on standard error"
    grep -q 'FPS:' "$work/err" && fail "frames were presented without a display" ;;
fallback-notice)
    unset DISPLAY SDL_VIDEODRIVER
    start_demo; wait_for_frames
    grep -q "no window is shown" "$work/err" || fail "no notice about the invisible driver"
    kill -TERM "$demo_pid"; expect_exit 0 "SIGTERM (fallback driver)" ;;
*) echo "unknown case $case"; exit 2 ;;
esac
echo "ok: $case"
