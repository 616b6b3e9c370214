#!/usr/bin/env bash
# One tool's conventions: help on standard output (0); bad argument named, usage (2); else one line (1).
# usage: conventions_test.sh TOOL EXECUTABLE   (run from the repository root)
set -u
tool=$1 exe=$2 root=$PWD work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
failures=0 rows=0
bad() { echo "FAIL: $tool $what: $1"; failures=$((failures + 1)); }

# row STATUS SETUP PATTERN [ARGS...]: SETUP -, res (a copy), dir or file (named out); PATTERN an ERE
# for output's first line (0) or the error after "TOOL: "; 1+: a late failure, its line the last.
row() {
    local want=$1 setup=$2 pattern=$3 rc before first loose=
    shift 3
    [ "$want" = 1+ ] && want=1 loose=1
    what="[$*]" run=$work/run$rows
    rows=$((rows + 1))
    mkdir "$run"
    case $setup in
    res) cp -r "$root/res" "$run/res" ;;
    dir) mkdir "$run/out" ;;
    file) echo text >"$run/out" ;;
    esac
    before=$(cd "$run" && find . | sort)
    (cd "$run" && timeout 60 "$exe" "$@" >"$work/out" 2>"$work/err")
    rc=$?
    [ "$rc" -eq "$want" ] || bad "exit status $rc, expected $want"
    if [ "$want" -eq 0 ]; then
        first=$(head -n1 "$work/out")
        [ -z "$pattern" ] || grep -Eq -- "$pattern" <<<"$first" ||
            bad "standard output begins '$first', expected /$pattern/"
        [ "$pattern" = "^usage: $tool" ] && [ -s "$work/err" ] && bad "wrote to standard error with the help"
        return
    fi
    if [ -n "$loose" ]; then
        first=$(tail -n1 "$work/err")
        grep -q '^$' "$work/err" && bad "an empty line on standard error"
    else
        first=$(head -n1 "$work/err")
        [ -s "$work/out" ] && bad "wrote to standard output on failure"
    fi
    grep -Eq -- "^$tool: $pattern" <<<"$first" || bad "standard error says '$first', expected /$tool: $pattern/"
    if [ "$want" -eq 2 ]; then
        grep -q "^usage: $tool" "$work/err" || bad "no usage after a usage error"
    else
        grep -q "^usage:" "$work/err" && bad "the usage after an error that is not one"
        [ -n "$loose" ] || [ "$(wc -l <"$work/err")" -eq 1 ] || bad "standard error is not one line: $(cat "$work/err")"
    fi
    [ "$(cd "$run" && find . | sort)" = "$before" ] || bad "created files"
    grep -q 'FPS' "$work/err" && bad "presented frames"
}
help() { row 0 - "^usage: $tool" "$@"; }

case $tool in
particles)
    help --frames 5 -h
    row 2 - '--bogus: unknown option' --bogus
    row 2 - '--frames: needs a value' --frames
    row 2 - '--frames: needs a whole number of at least 1, got 0' --frames 0
    row 2 - '--frames: needs a whole number of at least 1, got -1$' --frames -1
    row 2 - '--frames: .* got 3x$' --frames 3x
    row 2 - '--frames: .* got 18446744073709551616$' --frames 18446744073709551616
    row 1 - 'res/tunnel.pcx: cannot open' --frames 1 --frames 18446744073709551615
    row 0 res '' --frames 3 ;;
resgen)
    help -h --bogus
    row 2 - '--bogus: unknown option' --bogus
    row 2 dir 'more: unexpected argument' out more
    row 1 - 'res: No such file' # the default directory
    row 1 - 'missing: No such file' missing
    row 1 file 'out: not a directory' out
    row 0 dir '^out/.*: [0-9]+ bytes$' out
    # A small file fails only at its close: the reason must be that failure's, not a stale errno.
    mkdir "$work/full" && ln -s /dev/full "$work/full/pumpkin.mtl.part"
    what="[full disk]"
    timeout 60 "$exe" "$work/full" >/dev/null 2>"$work/err"
    [ $? -eq 1 ] || bad "exit status not 1"
    grep -q "^resgen: cannot write $work/full/pumpkin.mtl: No space left on device$" "$work/err" ||
        bad "standard error is '$(cat "$work/err")'" ;;
fontgen)
    help -h
    row 2 - '--bogus: unknown option' --bogus
    row 2 - 'b.ttf: unexpected argument' a.ttf b.ttf
    row 1 - 'cannot open missing.ttf' -o glyphs.cpp missing.ttf
    row 1 file 'out is not a font' -o glyphs.cpp out
    font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
    if [ -f "$font" ]; then
        row 0 - '' -o glyphs.cpp
        cmp -s "$work/run$((rows - 1))/glyphs.cpp" "$root/src/text/font_glyphs.cpp" ||
            bad "the table differs from src/text/font_glyphs.cpp"
    fi ;;
font_preview)
    help -h
    row 2 - '--bogus: unknown option' --bogus
    row 2 - 'needs the name of the PNG file to write'
    row 2 - 'b.png: unexpected argument' a.png b.png
    row 2 - '-: unexpected argument' -
    row 1 - 'cannot write missing/a.png' missing/a.png
    row 0 - '' a.png
    [ -s "$work/run$((rows - 1))/a.png" ] || bad "no PNG written" ;;
capture)
    help --out x -h --every 0
    row 2 - '--bogus: unknown option' --bogus
    row 2 - 'nothing to write' --seconds 2
    row 2 - '--seconds: 0 s from 3 s holds no frame' --out png --from 3 --seconds 0
    row 2 - '--wav: the music starts after the 5.1 s silent intro' --wav music.wav --seconds 1
    row 2 - '--video: the file name must end in .mp4 or .webm, got show.avi' --video show.avi
    row 2 - '--video: .*it does not combine with --every' --video show.mp4 --every 2
    row 2 - '--seconds: a video needs at least one frame' --video show.webm --seconds 0.01
    row 2 - '--frame: needs a whole number from 0 to 211764, got 211765$' --out png --frame 211765
    row 1+ - 'cannot load the show from res/' --out png --frame 0 --frame 211764
    row 1+ - 'cannot load the show from res/' --out png --wav music.wav --seconds 6
    row 1+ res 'no music from none.mod' --out png --module none.mod
    row 1+ res 'no/music.wav: cannot create: No such file or directory$' --out png --wav no/music.wav --seconds 6
    row 1+ res 'cannot create /dev/null/png' --out /dev/null/png --wav music.wav --seconds 6
    row 1+ res 'png/show.mp4: cannot create: No such file or directory$' --video png/show.mp4 ;;
modplay)
    help a.mod --help
    row 2 - '--bogus: unknown option' --bogus a.mod
    row 2 - '--seconds: needs a number of seconds from 0 to 21600 \(like 1.5\), got abc' a.mod --seconds abc -o x.wav
    row 2 - '--seconds: needs a number .* got 21600.5$' a.mod --seconds 21600.5
    row 2 - '--seconds: needs a number .* got \.$' a.mod --seconds .
    row 2 - '--seconds: needs a number .* got 1\.2\.3$' a.mod --seconds 1.2.3
    row 2 - '--seconds: needs a number .* got 0x10$' a.mod --seconds 0x10
    row 2 - '--seconds: needs at least one frame \(1/44100 s\), got 0$' a.mod -o x.wav --seconds 0
    row 2 - '--loop: needs --seconds with -o' a.mod -o x.wav --loop
    row 2 - 'no module given' -o x.wav
    row 2 - 'b.mod: unexpected argument' a.mod b.mod -o x.wav
    row 1 - 'missing.mod: cannot open: No such file or directory$' missing.mod -o -h --seconds 21600
    row 1 res 'res/tunnel.pcx: not a 4-channel module' res/tunnel.pcx -o x.wav ;;
*) echo "unknown tool $tool"; exit 2 ;;
esac
what="[-h to a full disk]"
timeout 60 "$exe" -h >/dev/full 2>"$work/err"
[ $? -eq 1 ] && grep -q "^$tool: cannot write the usage: No space left on device$" "$work/err" || bad "$(cat "$work/err")"
[ "$failures" -eq 0 ] || { echo "$failures failed checks in $rows rows"; exit 1; }
echo "ok: $tool, $rows rows"
