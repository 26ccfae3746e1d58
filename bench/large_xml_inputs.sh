#!/usr/bin/env bash
# Generates the two large reader inputs and runs kavelon on each under
# /usr/bin/time -v, printing the exit status, the stage line and the peak
# memory:
#   deep.xml       1,000,000 nested elements around one character (7 MB)
#   deep_open.xml  1,000,000 nested start tags and no end tag (3 MB)
#   wide.xml       50 MB of small top-level elements
# Usage: bench/large_xml_inputs.sh path/to/kavelon
set -euo pipefail
kavelon=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/kavelon-large.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

levels=1000000
awk -v n=$levels 'BEGIN { for (i = 0; i < n; i++) printf "<a>"; printf "x"; for (i = 0; i < n; i++) printf "</a>" }' > deep.xml
awk -v n=$levels 'BEGIN { for (i = 0; i < n; i++) printf "<a>" }' > deep_open.xml
awk 'BEGIN { for (i = 0; size < 50000000; i++) { line = sprintf("<item id=\"%d\">value</item>\n", i); printf "%s", line; size += length(line) } }' > wide.xml

for input in deep.xml deep_open.xml wide.xml; do
    status=0
    /usr/bin/time -v "$kavelon" "$input" > stdout.txt 2> stderr.txt || status=$?
    printf '%-14s %9d bytes  status %d  %s  peak %s kB  %s\n' "$input" "$(stat -c %s "$input")" "$status" \
        "$(grep -o 'ERROR: [a-z_]*()' stderr.txt | head -1)" \
        "$(awk -F': ' '/Maximum resident/ { print $2 }' stderr.txt)" \
        "$(awk -F': ' '/Elapsed/ { print $2 }' stderr.txt)"
done
