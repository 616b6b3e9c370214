#!/usr/bin/env bash
# The program with each file of res/ broken in turn: missing, empty, a directory, cut in half,
# 4 KiB of random bytes and a pipe. A broken model, material or image ends it before the window
# opens, with status 1 and exactly one line on standard error naming that file and a fitting
# reason. A broken module does not stop the show: it starts all the same and names the file.
# Runs headless (SDL's dummy drivers), each case in a scratch copy of res/.
# usage: broken_resources.sh DEMO   (run from the repository root; VERBOSE=1 shows each line)
set -u
export LC_ALL=C SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
demo=$(realpath "$1")
res=$(realpath res)
work=$(mktemp -d)
demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0 cases=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The same 4 KiB in every run: SHA-256 of 1, 2, ... 128, end to end.
random_bytes() {
    local i
    for i in $(seq 128); do
        printf "$(printf '%s' "$i" | sha256sum | cut -c1-64 | sed 's/../\\x&/g')"
    done
}
random_bytes >"$work/random"

# Lays out a fresh copy of res/ in $work/case with `file` broken the way `how` says.
break_file() {
    local file=$1 how=$2
    rm -rf "$work/case"
    mkdir "$work/case" && cp -r "$res" "$work/case/res"
    local path=$work/case/res/$file
    case $how in
        missing) rm "$path" ;;
        empty) : >"$path" ;;
        directory) rm "$path" && mkdir "$path" ;;
        half) head -c "$(($(stat -c %s "$path") / 2))" "$res/$file" >"$path" ;;
        random) cp "$work/random" "$path" ;;
        pipe) rm "$path" && mkfifo "$path" ;;
    esac
}

# A refusal: status 1 within the limit, and standard error is one line
# "demo: res/FILE: REASON..." (REASON an extended regular expression), the only complaint: no
# line on standard output says the file cannot be had as well.
expect_refusal() {
    local file=$1 how=$2 reason=$3
    break_file "$file" "$how"
    (cd "$work/case" && exec timeout -k 1 2 "$demo" >"$work/out" 2>"$work/err")
    local rc=$? line
    line=$(head -n 1 "$work/err")
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
        fail "$file $how: still running after 2 s"
    elif [ "$rc" -ne 1 ]; then
        fail "$file $how: exit status $rc, expected 1"
    elif [ "$(wc -l <"$work/err")" -ne 1 ] || [ "$(wc -c <"$work/err")" -ne $((${#line} + 1)) ]; then
        fail "$file $how: standard error is not one line: $(od -c "$work/err" | head -5)"
    elif ! [[ $line =~ ^demo:\ res/$file:\ ($reason) ]]; then
        fail "$file $how: '$line' does not match 'demo: res/$file: $reason'"
    elif grep -q "Unable to load texture" "$work/out"; then
        fail "$file $how: a second message on standard output: $(grep Unable "$work/out")"
    elif [ -n "${VERBOSE:-}" ]; then
        echo "$file $how: $line"
    fi
}

# The show starts all the same: still running a second later, and its output names the file.
expect_show() {
    local file=$1 how=$2
    break_file "$file" "$how"
    (cd "$work/case" && exec timeout -k 1 60 "$demo" >"$work/out" 2>&1) &
    demo_pid=$!
    sleep 1
    if ! kill -0 "$demo_pid" 2>/dev/null; then
        wait "$demo_pid"
        fail "$file $how: the show ended at once with status $?"
    fi
    kill -TERM "$demo_pid" 2>/dev/null
    wait "$demo_pid" 2>/dev/null
    demo_pid=
    grep -q "res/$file" "$work/out" ||
        fail "$file $how: nothing names res/$file: $(tr '\r' '\n' <"$work/out" | grep -v '^FPS' | head -5)"
}

not_pcx='not a PCX image'
cannot_open='cannot open: No such file or directory'
# file | missing | empty | directory | half | random
table=(
    "tunnel.pcx|$cannot_open|empty|is a directory|cut short \([0-9]+ of [0-9]+ bytes|$not_pcx"
    "pumpkin.obj|$cannot_open|empty|is a directory|no usable face|no usable face|unusable face"
    "pumpkin.mtl|$cannot_open|empty|is a directory|names no texture|names no texture"
    "pumpkin.pcx|$cannot_open|empty|is a directory|cut short \([0-9]+ of [0-9]+ bytes|$not_pcx"
    "cube.obj|$cannot_open|empty|is a directory|unusable face on line [0-9]+|no usable face|unusable face"
    "cube.mtl|$cannot_open|empty|is a directory|names no texture|names no texture"
    "cube.pcx|$cannot_open|empty|is a directory|cut short \([0-9]+ of [0-9]+ bytes|$not_pcx"
)
hows=(missing empty directory half random)
for row in "${table[@]}"; do
    # The random bytes may read as one reason or another: the last field takes the rest of the
    # row, alternatives included.
    IFS='|' read -r file missing empty directory half random <<<"$row"
    reasons=("$missing" "$empty" "$directory" "$half" "$random")
    for i in "${!hows[@]}"; do
        expect_refusal "$file" "${hows[$i]}" "${reasons[$i]}"
        cases=$((cases + 1))
    done
done
# A pipe nobody writes to would hold start-up for ever, with the exit signals held too.
for row in "${table[@]}"; do
    expect_refusal "${row%%|*}" pipe 'not a regular file'
    cases=$((cases + 1))
done
for how in "${hows[@]}"; do
    expect_show brumo.mod "$how"
    cases=$((cases + 1))
done

echo "$((cases - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
