#!/usr/bin/env bash
# The real program end to end under Xvfb with SDL's disk audio driver: it plays the intro and
# the scene into phase 3 at a steady frame rate, shows the pumpkin and the words, records
# music, and ends with status 0 on SIGTERM. Then, with a resource missing, it ends with
# status 1 and names the file before any window opens. Every wait is bounded and every
# external program runs under a time limit, so a broken display fails in seconds.
# usage: show_e2e.sh DEMO   (run from the repository root)
set -u
demo=$1
run_seconds=${SHOW_E2E_SECONDS:-30}
work=$(mktemp -d)
xvfb_pid= demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/err" ] && tail -c 600 "$work/err" | tr '\r' '\n' | tail -5; exit 1; }

. "$(dirname "$0")/../platform/x11_session.sh"
start_xvfb

export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/music.raw"
"$demo" >"$work/out" 2>"$work/err" &
demo_pid=$!
# The window is looked up once frames are presented: the first window the program makes can
# be replaced by another before then.
for _ in $(seq 300); do
    grep -q 'FPS:' "$work/err" 2>/dev/null && break
    kill -0 "$demo_pid" 2>/dev/null || fail "the program ended before presenting a frame"
    sleep 0.1
done
grep -q 'FPS:' "$work/err" || fail "no frame presented within 30 s"
window_of_pid "$demo_pid"
sleep "$run_seconds"
kill -0 "$demo_pid" 2>/dev/null || fail "the program ended on its own"
# import asks for a window to be clicked when the one named is gone, so it gets a time limit
# and the window is checked first.
window_is_shown "$window_id" || fail "window $window_id is gone or unmapped after $run_seconds s"
timeout "$x11_call_limit" import -window "$window_id" "$work/shot.png" </dev/null ||
    fail "no screenshot of window $window_id within $x11_call_limit s"
kill -TERM "$demo_pid"
for _ in $(seq 100); do kill -0 "$demo_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$demo_pid" 2>/dev/null && fail "still running 10 s after SIGTERM"
wait "$demo_pid"; rc=$?; demo_pid=
[ "$rc" -eq 0 ] || fail "exit status $rc after SIGTERM"

# The frame rate: the median of the last 600 "FPS" readings, near 1000 / 17 = 58.8.
fps=$(tr '\r' '\n' <"$work/err" | sed -n 's/^FPS: \([0-9.]*\)$/\1/p' | tail -600 | sort -n |
      awk '{v[NR]=$1} END {if (NR) print v[int((NR+1)/2)]; else print 0}')
echo "median frame rate: $fps (target 58.8)"
awk -v f="$fps" 'BEGIN {exit !(f >= 50 && f <= 62)}' || fail "frame rate $fps is not near 58.8"

# The screenshot, in phase 3: orange pumpkin pixels right of centre, coloured words on the
# left (the window shows the frame doubled, so frame (x, y) is window (2x, 2y)).
count() { timeout 30 convert "$work/shot.png" -crop "$1" +repage -fx "$2" -format '%[fx:mean*w*h]' info:; }
orange=$(count 360x300+320+150 '(r>0.5 && r>g+0.1 && g>b+0.05) ? 1 : 0')
words=$(count 380x140+0+250 '(r+g+b>0.2) ? 1 : 0')
echo "pumpkin pixels: $orange, word pixels: $words"
awk -v n="$orange" 'BEGIN {exit !(n > 5000)}' || fail "no pumpkin in the screenshot"
awk -v n="$words" 'BEGIN {exit !(n > 1000)}' || fail "no words in the screenshot"

# The music was played: the disk driver recorded sound, not silence.
peak=$(timeout 30 sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/music.raw" -n stat 2>&1 |
       sed -n 's/^Maximum amplitude: *//p')
echo "recorded music peak: $peak"
awk -v p="${peak:-0}" 'BEGIN {exit !(p > 0.1)}' || fail "no music recorded"

# A missing resource: one clear line naming it, status 1, no window.
mkdir "$work/show" && cp -r res "$work/show/res" && rm "$work/show/res/pumpkin.obj"
(cd "$work/show" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 20 "$demo" \
     >"$work/missing.out" 2>"$work/missing.err")
rc=$?
[ "$rc" -eq 1 ] || fail "missing res/pumpkin.obj: exit status $rc, expected 1"
grep -q 'res/pumpkin.obj' "$work/missing.out" || fail "the message does not name res/pumpkin.obj"
grep -q 'FPS' "$work/missing.err" && fail "frames were shown without the pumpkin"
echo "ok: show end to end"
