# Sourced by the end-to-end scripts: a private X server and the program's window, with every
# wait bounded so that a broken display fails the test in seconds instead of hanging it.
# The script that sources this defines fail() and sets $work (a scratch directory); it kills
# $xvfb_pid on exit.

# Limits, in seconds, for one call of an X client (xdotool, xwininfo, import).
x11_call_limit=10

# Runs the command $2... every 0.1 s until it succeeds; false once $1 seconds have passed.
# The limit is on the whole wait, so a command that is slow each time (a server that accepts
# connections but no longer answers) cannot stretch it.
retry_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Starts Xvfb on a free display and exports DISPLAY once the server accepts connections.
# -noreset: a server that resets when its last client leaves refuses connections now and then.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >/dev/null 2>&1 &
    xvfb_pid=$!
    retry_for 10 test -s "$work/display" || fail "Xvfb did not start within 10 s"
    export DISPLAY=":$(cat "$work/display")"
    retry_for 10 timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1 ||
        fail "Xvfb does not accept connections within 10 s"
}

# True when window $1 exists, is mapped and has the program's 800 x 480 size.
window_is_shown() {
    local info
    info=$(timeout "$x11_call_limit" xwininfo -id "$1" 2>/dev/null) || return 1
    grep -q 'Map State: IsViewable' <<<"$info" &&
        grep -q 'Width: 800$' <<<"$info" && grep -q 'Height: 480$' <<<"$info"
}

# Sets window_id to the window that process $1 shows (called directly, not in $(...), so
# that a failure ends the test). The program's first window can be destroyed and replaced by
# another while the video mode is set (the SDL layer recreates it for its renderer), so a
# window found by pid alone may already be gone: only a mapped window of the program's size
# counts, and callers look for it once frames are presented.
window_of_pid() {
    window_id=
    retry_for 10 shown_window_of_pid "$1" ||
        fail "no mapped 800x480 window of the program within 10 s"
}

# Sets window_id to a mapped 800 x 480 window of process $1; false when there is none yet.
shown_window_of_pid() {
    local id
    kill -0 "$1" 2>/dev/null || fail "the program ended before its window was found"
    for id in $(timeout "$x11_call_limit" xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        if window_is_shown "$id"; then
            window_id=$id
            return 0
        fi
    done
    return 1
}
