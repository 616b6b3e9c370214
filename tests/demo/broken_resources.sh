#!/usr/bin/env bash
# The program (headless) with each res/ file missing, empty, a directory, half, random or a pipe:
# a model, material or image is refused before the window opens (status 1, one line naming the
# file and reason); a module is named with its reason in one line and the show goes on.
# usage: broken_resources.sh DEMO   (run from the repository root)
set -u
export LC_ALL=C SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
demo=$(realpath "$1") res=$(realpath res) work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 cases=0
fail() { echo "FAIL: $file $how: $*"; failures=$((failures + 1)); }
# The same 4 KiB in every run: SHA-256 of 1, 2, ... 128, end to end.
for i in $(seq 128); do printf '%s' "$i" | sha256sum | cut -c1-64; done | tr -d '\n' |
    tr a-f A-F | basenc --base16 -d >"$work/random"

# A fresh copy of res/ with $file broken the way $how says, and the program there for $1 s at most.
run_broken() {
    rm -rf "$work/case" && mkdir "$work/case" && cp -r "$res" "$work/case/res"
    local path=$work/case/res/$file
    case $how in
        missing) rm "$path" ;;
        empty) : >"$path" ;;
        directory) rm "$path" && mkdir "$path" ;;
        half) head -c "$(($(stat -c %s "$path") / 2))" "$res/$file" >"$path" ;;
        random) cp "$work/random" "$path" ;;
        pipe) rm "$path" && mkfifo "$path" ;;
    esac
    cd "$work/case" && exec timeout -k 1 "$1" "$demo" >"$work/out" 2>"$work/err"
}

# A refusal: status 1 within 2 s, standard error the one line "demo: res/FILE: $reason".
expect_refusal() {
    (run_broken 2)
    local rc=$? line
    line=$(head -n 1 "$work/err")
    if [ "$rc" -ne 1 ]; then fail "exit status $rc, expected 1 (124 or 137: still running after 2 s)"
    elif [ "$(wc -c <"$work/err")" -ne $((${#line} + 1)) ]; then
        fail "standard error is not one line: $(od -c "$work/err" | head -5)"
    elif ! [[ $line =~ ^demo:\ res/$file:\ ($reason) ]]; then fail "'$line' does not match '$reason'"
    elif grep -q "Unable to load texture" "$work/out"; then
        fail "a second message: $(cat "$work/out")"
    fi
}

# The show goes on (its 1 s time limit ends it: 124), with one line "res/FILE: $reason".
expect_show() {
    (run_broken 1)
    local rc=$? lines
    lines=$(tr '\r' '\n' <"$work/err" | grep "res/$file")
    if [ "$rc" -ne 124 ]; then fail "the show ended at once (status $rc)"
    elif [ "$(grep -c . <<<"$lines")" -ne 1 ] || ! [[ $lines =~ ^res/$file:\ ($reason)$ ]]; then
        fail "'$lines' is not one line 'res/$file: $reason'"
    fi
}

gone='cannot open: No such file or directory' dir='is a directory' not_pcx='not a PCX image'
cut_short='cut short \([0-9]+ of [0-9]+ bytes' silent='; playing without music'
# file | missing | empty | directory | half | random (the rest of the row: alternatives); a pipe
# is "not a regular file" (one nobody writes to would hold start-up for ever).
table=(
    "tunnel.pcx|$gone|empty|$dir|$cut_short|$not_pcx"
    "pumpkin.obj|$gone|empty|$dir|no usable face|no usable face|unusable face"
    "pumpkin.mtl|$gone|empty|$dir|names no texture|names no texture"
    "pumpkin.pcx|$gone|empty|$dir|$cut_short|$not_pcx"
    "cube.obj|$gone|empty|$dir|unusable face on line [0-9]+|no usable face|unusable face"
    "cube.mtl|$gone|empty|$dir|names no texture|names no texture"
    "cube.pcx|$gone|empty|$dir|$cut_short|$not_pcx"
    "brumo.mod|$gone$silent|empty$silent|$dir$silent|sample data $cut_short\); playing what is there|not a 4-channel module .*$silent"
)
for row in "${table[@]}"; do
    IFS='|' read -r file missing empty directory half random <<<"$row"
    for how in missing empty directory half random pipe; do
        reason=${!how:-not a regular file}
        if [ "$file" = brumo.mod ]; then
            [ "$how" = pipe ] && reason="not a regular file$silent"
            expect_show
        else expect_refusal; fi
        cases=$((cases + 1))
    done
done
echo "$((cases - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
