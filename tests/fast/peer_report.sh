#!/usr/bin/env bash
# The benchmark's peer script (bench/peer_networkx.py) must write the same
# XML report as kavelon, the time stamp aside, or the benchmark compares
# unequal work. Both programs must succeed and write a report: two missing
# reports are not the same report. Skipped (status 77) where python3 or
# networkx is missing.
#   peer_report.sh KAVELON PEER INPUT.xml...
set -u
kavelon=$1
peer=$2
shift 2
if ! python3 -c 'import networkx' 2> /dev/null; then
    echo "python3 with networkx not found: skipped"
    exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kavelon-peer.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
for input in "$@"; do
    rm -f "$work/kavelon.xml" "$work/peer.xml"
    cp "$input" "$work/in.xml"
    if ! (cd "$work" && "$kavelon" in.xml -fXML -okavelon.xml > /dev/null); then
        echo "kavelon failed on $input"
        failed=1
        continue
    fi
    if ! (cd "$work" && python3 "$peer" in.xml peer.xml); then
        echo "the peer failed on $input"
        failed=1
        continue
    fi
    for f in kavelon.xml peer.xml; do
        if ! grep -q '^<design_activity>' "$work/$f" 2> /dev/null; then
            echo "no report with activities in $f for $input"
            failed=1
            continue 2
        fi
    done
    if ! diff <(grep -v '^<file_creation_time>' "$work/kavelon.xml") \
              <(grep -v '^<file_creation_time>' "$work/peer.xml"); then
        echo "different reports for $input"
        failed=1
    fi
done
exit $failed
