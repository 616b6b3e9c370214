#!/usr/bin/env bash
# tools/fuzz.sh's command line: help on standard output with status 0; an unknown option or a
# bad number of seconds named on standard error, then the usage, status 2, and nothing built.
# usage: fuzz_sh_test.sh   (run from the repository root)
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 cases=0
# arguments | status | stream that holds the first line | its start
table=(
    "--help|0|out|usage: tools/fuzz.sh"
    "-h|0|out|usage: tools/fuzz.sh"
    "--seconds|2|err|fuzz.sh: --seconds: unknown option"
    "0|2|err|fuzz.sh: SECONDS: needs a whole number of seconds from 1 to 999999999, got '0'"
    "1.5|2|err|fuzz.sh: SECONDS: needs a whole number of seconds from 1 to 999999999, got '1.5'"
    "ten|2|err|fuzz.sh: SECONDS: needs a whole number"
    "1 2|2|err|fuzz.sh: too many arguments, got '1 2'"
)
for row in "${table[@]}"; do
    IFS='|' read -r args status stream start <<<"$row"
    cases=$((cases + 1))
    # shellcheck disable=SC2086 # the arguments are split on purpose
    timeout 10 bash tools/fuzz.sh $args >"$work/out" 2>"$work/err"
    rc=$?
    first=$(head -n 1 "$work/$stream")
    if [ "$rc" -ne "$status" ] || [[ $first != "$start"* ]]; then
        echo "FAIL: fuzz.sh $args: status $rc, first line '$first'"
        failures=$((failures + 1))
    elif [ "$status" -eq 2 ] && ! grep -q '^usage:' "$work/err"; then
        echo "FAIL: fuzz.sh $args: no usage after the message"
        failures=$((failures + 1))
    elif [ "$status" -eq 2 ] && [ -s "$work/out" ]; then
        echo "FAIL: fuzz.sh $args: wrote to standard output"
        failures=$((failures + 1))
    fi
done
echo "$((cases - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
