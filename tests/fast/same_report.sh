#!/usr/bin/env bash
# Runs kavelon on each input with and without "-d", in every report format,
# and checks that both runs write the same report (the time stamp aside),
# the same standard error and the same exit status. Without "-d" the fast
# ordering runs, with it the step-by-step search.
#   same_report.sh KAVELON INPUT.xml...
set -u
kavelon=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/kavelon-same.XXXXXX")
trap 'rm -rf "$work"' EXIT
stamp='[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9] [0-9][0-9][0-9][0-9]'
failed=0
for input in "$@"; do
    for format in TXT CSV XML; do
        for mode in plain debug; do
            dir="$work/$mode"
            rm -rf "$dir" && mkdir "$dir" && cp "$input" "$dir/in.xml"
            extra=()
            [ "$mode" = debug ] && extra=(-d)
            (cd "$dir" && "$kavelon" in.xml -oreport "-f$format" "${extra[@]}" > /dev/null 2> stderr)
            echo $? > "$dir/status"
            [ -f "$dir/report" ] && sed -i "s/$stamp/@TIMESTAMP@/" "$dir/report"
        done
        name="$(basename "$input") -f$format"
        if [ ! -s "$work/plain/report" ]; then
            echo "FAIL $name: no report"
            failed=1
        fi
        # Every input here is a valid process: failing alike both ways is no pass.
        if [ "$(cat "$work/plain/status")" != 0 ]; then
            echo "FAIL $name: exit status $(cat "$work/plain/status")"
            failed=1
        fi
        for f in report stderr status; do
            if ! cmp -s "$work/plain/$f" "$work/debug/$f"; then
                echo "FAIL $name: $f differs with and without -d"
                diff "$work/plain/$f" "$work/debug/$f" | head -20
                failed=1
            fi
        done
        [ "$failed" = 0 ] && echo "ok   $name"
    done
done
exit $failed
