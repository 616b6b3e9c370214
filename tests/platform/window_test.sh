#!/usr/bin/env bash
# The program's exits: signals, Escape released, WM_DELETE_WINDOW, no display, invisible driver.
# usage: window_test.sh DEMO XCLOSE CASE [REPEATS]   (run from the repository root)
set -u
demo=$1 xclose=$2 case=$3 repeats=${4:-1}
. "$(dirname "$0")/session.sh"
export SDL_AUDIODRIVER=dummy
case $case in
signals-dummy | signals-x11)
    if [ "$case" = signals-x11 ]; then start_xvfb; else export SDL_VIDEODRIVER=dummy; fi
    for _ in $(seq "$repeats"); do
        for sig in INT QUIT HUP TERM; do
            start_demo
            kill -"$sig" "$demo_pid"
            expect_exit 0 "SIG$sig ($SDL_VIDEODRIVER driver)"
        done
    done ;;
escape-x11)
    start_xvfb && start_demo && window_of_pid
    timeout 10 xdotool keydown --window "$window_id" Escape || fail "xdotool keydown failed"
    sleep 0.5
    ended && fail "Escape pressed (not yet released) ended the program"
    timeout 10 xdotool keyup --window "$window_id" Escape || fail "xdotool keyup failed"
    expect_exit 0 "Escape released" ;;
close-x11)
    [ -x "$xclose" ] || { echo "xclose helper not built (no X11 development files)"; exit 77; }
    start_xvfb && start_demo && window_of_pid
    timeout 10 "$xclose" "$window_id" || fail "xclose failed"
    expect_exit 0 "window closed" ;;
no-display)
    unset DISPLAY
    export SDL_VIDEODRIVER=x11
    start_demo --no-wait
    expect_exit 1 "no display"
    grep -q '^demo: ' "$work/err" || fail "no message on standard error"
    grep -q 'FPS:' "$work/err" && fail "frames were presented without a display" ;;
fallback-notice)
    unset DISPLAY SDL_VIDEODRIVER
    start_demo
    kill -TERM "$demo_pid"
    grep -q "no window is shown" "$work/err" || fail "no notice about the invisible driver"
    expect_exit 0 "SIGTERM (fallback driver)" ;;
*) echo "unknown case $case"; exit 2 ;;
esac
echo "ok: $case"
