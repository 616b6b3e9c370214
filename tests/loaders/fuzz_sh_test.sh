#!/usr/bin/env bash
# tools/fuzz.sh's command line: help (status 0) or a named error, usage and status 2. Run from root.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
seconds="fuzz.sh: SECONDS: needs a whole number of seconds from 1 to 999999999, got"
# arguments | status | stream that holds the first line | its start
for row in "--help|0|out|usage: tools/fuzz.sh" "-h|0|out|usage: tools/fuzz.sh" \
    "--seconds|2|err|fuzz.sh: --seconds: unknown option" "0|2|err|$seconds '0'" \
    "1.5|2|err|$seconds '1.5'" "1 2|2|err|fuzz.sh: too many arguments, got '1 2'"; do
    IFS='|' read -r args status stream start <<<"$row"
    # shellcheck disable=SC2086 # the arguments are split on purpose
    timeout 10 bash tools/fuzz.sh $args >"$work/out" 2>"$work/err"
    rc=$? first=$(head -n 1 "$work/$stream")
    if [ "$rc" -ne "$status" ] || [[ $first != "$start"* ]] ||
        { [ "$status" -eq 2 ] && { ! grep -q '^usage:' "$work/err" || [ -s "$work/out" ]; }; }; then
        echo "FAIL: fuzz.sh $args: status $rc, first line '$first'" && failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ]
