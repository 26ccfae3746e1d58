#!/usr/bin/env bash
# Draws a picture from every test report (the inputs of the svg_ end-to-end
# cases that draw one, and two generated large reports) and has xmllint parse
# each picture: whatever the names hold, the SVG must be well-formed.
#   check_wellformed.sh KAVELON-SVG XMLLINT E2E-CASES-DIR
set -u
svg=$1
xmllint=$2
cases=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kavelon-svg-wf.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$(dirname "$0")/make_report.sh" 300 7 > "$work/generated-300.xml"
"$(dirname "$0")/make_report.sh" 1200 3 > "$work/generated-1200.xml"
inputs=("$work"/generated-*.xml)
for c in "$cases"/svg_*; do
    [ -f "$c/status" ] && [ "$(tr -d ' \n' < "$c/status")" != 0 ] && continue
    [ -f "$c/stdin" ] && inputs+=("$c/stdin")
    for f in "$c"/files/*.xml; do [ -f "$f" ] && inputs+=("$f"); done
done

failed=0
drawn=0
for input in "${inputs[@]}"; do
    if ! "$svg" < "$input" > "$work/picture.svg" 2> "$work/stderr"; then
        # Reports meant to be rejected are tested elsewhere; all of these must draw.
        echo "kavelon-svg failed on $input: $(cat "$work/stderr")"
        failed=1
        continue
    fi
    drawn=$((drawn + 1))
    if ! "$xmllint" --noout "$work/picture.svg"; then
        echo "not well-formed: picture of $input"
        failed=1
    fi
done
echo "$drawn pictures checked"
[ "$drawn" -ge 5 ] || { echo "too few pictures drawn"; failed=1; }
exit $failed
