#!/usr/bin/env bash
# Runs one end-to-end case of kavelon (or of another program) and compares,
# byte for byte, standard output, standard error, exit status and every file
# the run leaves in its working directory.
#
# A case is a folder:
#   args        the arguments, one per line (an empty line is an empty
#               argument); a missing file means no arguments
#   files/      copied into a fresh temporary directory, where the run happens
#   setup       optional shell script run in that directory before the run
#   stdin       optional; fed to standard input (otherwise /dev/null)
#   stdout      expected standard output (missing: must be empty)
#   stderr      expected standard error (missing: must be empty)
#   status      expected exit status (missing: 0)
#   expected/   every file the run must write (new or overwritten), exact
#               bytes; no other new file may appear
#   stdout_devfull  if present, standard output goes to /dev/full and is not
#               compared
#   program     optional: name of a program beside kavelon to run instead
#
# A report time stamp is matched by its shape: every text of the 24-character
# calendar form ("Tue Dec  8 18:49:48 2026") in an actual output becomes
# @TIMESTAMP@, which the expected file must hold at the same place.
#
# KAVELON_WRAPPER, when set, is put before the program (valgrind, say).
set -u
binary=$1
case_dir=$2
case_dir=$(cd "$case_dir" && pwd)
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")
if [ -f "$case_dir/program" ]; then
    binary="$(dirname "$binary")/$(tr -d '\n' < "$case_dir/program")"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kavelon-e2e.XXXXXX")
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
run_dir="$work/run"
mkdir "$run_dir"
if [ -d "$case_dir/files" ]; then
    cp -a "$case_dir/files/." "$run_dir/"
fi
if [ -f "$case_dir/setup" ]; then
    (cd "$run_dir" && bash "$case_dir/setup") || { echo "setup failed"; exit 1; }
fi
(cd "$run_dir" && find . -mindepth 1 | LC_ALL=C sort) > "$work/before.list"

args=()
if [ -f "$case_dir/args" ]; then
    mapfile -t args < "$case_dir/args"
fi
stdin_file=/dev/null
[ -f "$case_dir/stdin" ] && stdin_file="$case_dir/stdin"
stdout_target="$work/stdout"
[ -f "$case_dir/stdout_devfull" ] && stdout_target=/dev/full

wrapper=()
if [ -n "${KAVELON_WRAPPER:-}" ]; then
    read -r -a wrapper <<< "$KAVELON_WRAPPER"
fi
(cd "$run_dir" && exec "${wrapper[@]}" "$binary" "${args[@]}" < "$stdin_file" > "$stdout_target" 2> "$work/stderr")
status=$?

stamp='(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}'
normalise() { LC_ALL=C sed -E "s/$stamp/@TIMESTAMP@/g" "$1"; }

failed=0
compare() {  # label expected-file actual-file
    local expected=$2
    local actual="$work/actual.normalised"
    if [ -f "$3" ]; then normalise "$3" > "$actual"; else : > "$actual"; fi
    if [ ! -f "$expected" ]; then expected=/dev/null; fi
    if ! cmp -s "$expected" "$actual"; then
        echo "--- $1 differs (expected, actual):"
        diff -a "$expected" "$actual" | head -40
        failed=1
    fi
}

[ -f "$case_dir/stdout_devfull" ] || compare stdout "$case_dir/stdout" "$work/stdout"
compare stderr "$case_dir/stderr" "$work/stderr"
expected_status=0
[ -f "$case_dir/status" ] && expected_status=$(tr -d ' \n' < "$case_dir/status")
if [ "$status" != "$expected_status" ]; then
    echo "--- exit status $status, expected $expected_status"
    failed=1
fi

(cd "$run_dir" && find . -mindepth 1 | LC_ALL=C sort) > "$work/after.list"
expected_list="$work/expected.list"
: > "$expected_list"
if [ -d "$case_dir/expected" ]; then
    (cd "$case_dir/expected" && find . -mindepth 1 | LC_ALL=C sort) > "$expected_list"
fi
# Every new file must be expected; every expected file (new, or an input the
# run overwrote) must be there with the expected bytes.
unexpected=$(LC_ALL=C comm -23 <(LC_ALL=C comm -13 "$work/before.list" "$work/after.list") "$expected_list")
if [ -n "$unexpected" ]; then
    echo "--- unexpected files written:"
    echo "$unexpected"
    failed=1
fi
while IFS= read -r f; do
    if [ -d "$case_dir/expected/$f" ]; then
        [ -d "$run_dir/$f" ] || { echo "--- missing directory $f"; failed=1; }
    elif [ ! -e "$run_dir/$f" ]; then
        echo "--- missing file $f"
        failed=1
    else
        compare "file $f" "$case_dir/expected/$f" "$run_dir/$f"
    fi
done < "$expected_list"

if [ "$failed" != 0 ]; then
    echo "FAILED: $(basename "$case_dir")"
    exit 1
fi
exit 0
