#!/usr/bin/env bash
# The real program under Xvfb with SDL's disk audio: into phase 3 never faster than its pace, the
# pumpkin and the words on screen, the music recorded, status 0 on SIGTERM.
# usage: show_e2e.sh DEMO   (run from the repository root)
set -u
demo=$1 run_seconds=${SHOW_E2E_SECONDS:-30}
. "$(dirname "$0")/../platform/session.sh"
start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/music.raw"
start_demo && window_of_pid
sleep "$run_seconds"
ended && fail "the program ended on its own"
# import asks for a click when the window named is gone: the window is checked first.
window_is_shown "$window_id" || fail "window $window_id is gone or unmapped after $run_seconds s"
timeout "$x11_call_limit" import -window "$window_id" "$work/shot.png" </dev/null ||
    fail "no screenshot of window $window_id within $x11_call_limit s"
kill -TERM "$demo_pid"
expect_exit 0 "SIGTERM"

# within WHAT VALUE LOW [HIGH]: prints the figure, fails unless LOW <= VALUE <= HIGH.
within() {
    echo "$1: $2"
    awk -v v="${2:-0}" -v lo="$3" -v hi="${4:-1e99}" 'BEGIN {exit !(v >= lo && v <= hi)}' ||
        fail "$1 is $2, not within $3 .. ${4:-}"
}
# The median of the last 600 frame rates, near 1000 / 17 = 58.8: only a pace not kept can pass
# 62, while a busy machine may fall short of it, so only the upper bound is checked.
within "median frame rate" "$(tr '\r' '\n' <"$work/err" | sed -n 's/^FPS: \([0-9.]*\)$/\1/p' |
    tail -600 | sort -n | awk '{v[NR]=$1} END {print NR ? v[int((NR+1)/2)] : 0}')" 1 62
# Phase 3 on screen (the frame doubled): orange pumpkin right of centre, coloured words left.
count() { timeout 30 convert "$work/shot.png" -crop "$1" +repage -fx "$2" -format '%[fx:mean*w*h]' info:; }
within "pumpkin pixels" "$(count 360x300+320+150 '(r>0.5 && r>g+0.1 && g>b+0.05) ? 1 : 0')" 5000
within "word pixels" "$(count 380x140+0+250 '(r+g+b>0.2) ? 1 : 0')" 1000
within "recorded music peak" "$(timeout 30 sox -t raw -r 44100 -e signed -b 16 -c 2 \
    "$work/music.raw" -n stat 2>&1 | sed -n 's/^Maximum amplitude: *//p')" 0.1
echo "ok: show end to end"
