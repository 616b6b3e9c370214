# For the e2e scripts (which set $demo): scratch folder, program, Xvfb, window; bounded waits.
work=$(mktemp -d)
xvfb_pid= demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/err" ] && tail -c 600 "$work/err" | tr '\r' '\n' | tail -5; exit 1; }
x11_call_limit=10 # seconds for one call of an X client

# Runs $2... every 0.1 s until it succeeds; false once $1 seconds have passed in all.
retry_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do [ "$SECONDS" -lt "$deadline" ] || return 1; sleep 0.1; done
}

# Xvfb on a free display (-noreset: one that resets with its last client refuses at times).
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >/dev/null 2>&1 &
    xvfb_pid=$!
    retry_for 10 test -s "$work/display" || fail "Xvfb did not start within 10 s"
    export DISPLAY=":$(cat "$work/display")" SDL_VIDEODRIVER=x11
    retry_for 10 timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1 ||
        fail "Xvfb does not accept connections within 10 s"
}

# The program with fresh output files, awaited until its first FPS line unless --no-wait.
start_demo() {
    rm -f "$work/out" "$work/err"
    "$demo" >"$work/out" 2>"$work/err" &
    demo_pid=$!
    [ "${1:-}" = --no-wait ] || retry_for 30 presenting || fail "no frame presented within 30 s"
}
presenting() {
    grep -q 'FPS:' "$work/err" 2>/dev/null && return 0
    ended && fail "the program ended before presenting a frame"
    return 1
}
ended() { ! kill -0 "$demo_pid" 2>/dev/null; }

# Waits (10 s at most) for the program to end with status $1; $2 says after what.
expect_exit() {
    retry_for 10 ended || fail "$2: still running after 10 s (hung?)"
    wait "$demo_pid"
    local rc=$?
    demo_pid=
    [ "$rc" -eq "$1" ] || fail "$2: exit status $rc, expected $1"
}

# True when window $1 is mapped at the program's 800 x 480.
window_is_shown() {
    local info
    info=$(timeout "$x11_call_limit" xwininfo -id "$1" 2>/dev/null) &&
        grep -q 'Map State: IsViewable' <<<"$info" &&
        grep -q 'Width: 800$' <<<"$info" && grep -q 'Height: 480$' <<<"$info"
}

# Sets window_id to the program's mapped 800x480 window (the first may be replaced).
window_of_pid() {
    window_id=
    retry_for 10 shown_window || fail "no mapped 800x480 window of the program within 10 s"
}
shown_window() {
    local id
    ended && fail "the program ended before its window was found"
    for id in $(timeout "$x11_call_limit" xdotool search --onlyvisible --pid "$demo_pid" 2>/dev/null); do
        window_is_shown "$id" && window_id=$id && return 0
    done
    return 1
}
