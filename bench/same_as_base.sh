#!/usr/bin/env bash
# Holds the current build against an earlier commit: both are built in
# release form, then run on the same inputs in every report format, with and
# without "-d", and must give byte for byte the same report, standard output,
# standard error, exit status and "debug.xml" (the report time stamp aside).
#
# Inputs: every XML file the tests, the examples and the fuzz corpora hold,
# and generated models (bench/dsm_gen) of every shape at the sizes in SIZES.
# A debug run writes every matrix row at every state table, so "-d" runs
# only up to DEBUG_SIZE activities.
#
#   bench/same_as_base.sh [COMMIT]     (default: the commit before the sparse
#                                       rows, b662441)
# Environment: SIZES (default "1000 10000 30000"), SHAPES (default
# "realistic chain half cycles"), DEBUG_SIZE (default 1000), BUILD_DIR,
# FORMATS (default "TXT CSV XML"), MODES (default "plain debug"; "seq" and
# "dist" add "-s" and "-sDIST", "seqdebug" both "-s" and "-d").
# Slow at the larger sizes; not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
base_commit=${1:-b662441}
sizes=${SIZES:-"1000 10000 30000"}
shapes=${SHAPES:-"realistic chain half cycles"}
debug_size=${DEBUG_SIZE:-1000}
formats=${FORMATS:-"TXT CSV XML"}
modes=${MODES:-"plain debug"}
build=${BUILD_DIR:-build/bench}
work=$(mktemp -d "${TMPDIR:-/tmp}/kavelon-base.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "building the current tree and $base_commit"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKAVELON_BENCH=ON -DKAVELON_TESTS=OFF > /dev/null
cmake --build "$build" -j2 > /dev/null
mkdir "$work/base"
git archive "$base_commit" | tar -x -C "$work/base"
cmake -S "$work/base" -B "$work/base/build" -DCMAKE_BUILD_TYPE=Release -DKAVELON_TESTS=OFF > /dev/null
cmake --build "$work/base/build" -j2 --target kavelon > /dev/null
current=$(realpath "$build/kavelon")
base=$work/base/build/kavelon

mkdir "$work/inputs"
for shape in $shapes; do
    for n in $sizes; do
        "$build/bench/kavelon_bench_gen" "$shape" "$n" > "$work/inputs/$shape-$n.xml"
    done
done
mapfile -t test_inputs < <(find tests examples fuzz/corpus/run -name '*.xml' -type f | sort)

stamp='[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9] [0-9][0-9][0-9][0-9]'

# Runs one program on one input in a fresh folder: "$3/dir" gets report,
# stdout, stderr, status and, in debug mode, debug.xml.
run_one() {  # program, input, into, format, mode
    local dir=$3
    rm -rf "$dir" && mkdir "$dir"
    local extra=()
    case $5 in
        debug) extra=(-d) ;;
        seq) extra=(-s) ;;
        dist) extra=(-sDIST) ;;
        seqdebug) extra=(-s -d) ;;
    esac
    (cd "$dir" && "$1" "$2" -oreport "-f$4" "${extra[@]}" > stdout 2> stderr; echo $? > status) || true
    [ -f "$dir/report" ] && sed -i "s/$stamp/@TIMESTAMP@/" "$dir/report"
    return 0
}

runs=0
failed=0
compare() {  # input, format, mode
    run_one "$base" "$1" "$work/a" "$2" "$3"
    run_one "$current" "$1" "$work/b" "$2" "$3"
    runs=$((runs + 1))
    if ! diff -rq "$work/a" "$work/b" > /dev/null; then
        echo "DIFFERS $1 -f$2 $3"
        diff -rq "$work/a" "$work/b" | head -5
        failed=$((failed + 1))
    fi
}

echo "test inputs: ${#test_inputs[@]} files"
for input in "${test_inputs[@]}"; do
    for format in $formats; do
        for mode in $modes; do compare "$(realpath "$input")" "$format" "$mode"; done
    done
done
for shape in $shapes; do
    for n in $sizes; do
        input=$work/inputs/$shape-$n.xml
        for format in $formats; do
            for mode in $modes; do
                case $mode in
                    *debug) if [ "$n" -le "$debug_size" ]; then compare "$input" "$format" "$mode"; fi ;;
                    *) compare "$input" "$format" "$mode" ;;
                esac
            done
        done
        echo "generated $shape $n: done"
    done
done
echo "$runs comparisons, $failed differ"
[ "$failed" = 0 ]
