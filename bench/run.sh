#!/usr/bin/env bash
# Benchmark of kavelon on generated inputs: builds a release build with the
# benchmarks, then for every size, shape and report format prints the median
# wall time of whole runs, their median processor time (user and system,
# steadier than wall time on a busy machine) and their peak memory, with the
# growth exponent of the wall time from the previous size (time ~ n^k), and
# then whole runs with and without sequencing inside blocks ("-s", "-sDIST")
# and the sequencing benchmark, and finally the time of the fast ordering
# stages alone (Google Benchmark).
#
#   bench/run.sh              the full table (sizes 1000 3000 10000)
#   bench/run.sh --literal    also the step-by-step ordering against the fast
#                             one at 100, 300 and 1000 activities (slow)
# Environment: SIZES, SHAPES, FORMATS, RUNS (default 5), ROUNDS (random blocks
# per size in the sequencing benchmark, default 20), BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/bench}
runs=${RUNS:-5}
sizes=${SIZES:-"1000 3000 10000"}
shapes=${SHAPES:-"realistic chain half cycles"}
formats=${FORMATS:-"XML TXT CSV"}
literal=0
[ "${1:-}" = "--literal" ] && literal=1

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKAVELON_BENCH=ON -DKAVELON_TESTS=OFF > /dev/null
cmake --build "$build" -j2 > /dev/null
kavelon="$build/kavelon"
work=$(mktemp -d "${TMPDIR:-/tmp}/kavelon-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Prints "wall-seconds peak-kB cpu-seconds" for one run of kavelon.
one_run() {  # input, format, further options...
    local start end input=$1 format=$2
    shift 2
    start=$(date +%s%N)
    /usr/bin/time -f '%M %U %S' -o "$work/mem" "$kavelon" "$input" "-o$work/report" "-f$format" "$@" > /dev/null
    end=$(date +%s%N)
    read -r peak user system < <(tail -n 1 "$work/mem")
    echo "$(( (end - start) / 1000 ))e-6 $peak $(awk -v u="$user" -v s="$system" 'BEGIN{print u + s}')"
    rm -f "$work/report"
}

median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

printf '%-10s %6s %-4s %9s %9s %9s %7s %9s %9s\n' shape n format wall_s cpu_s peak_MB growth limit_MB report_MB
for shape in $shapes; do
    for format in $formats; do
        prev_n='' prev_t=''
        for n in $sizes; do
            input="$work/$shape-$n.xml"
            [ -f "$input" ] || "$build/bench/kavelon_bench_gen" "$shape" "$n" > "$input"
            times=() cpus=() peak=0
            for ((r = 0; r < runs; r++)); do
                read -r t m c < <(one_run "$input" "$format")
                times+=("$t")
                cpus+=("$c")
                (( m > peak )) && peak=$m
            done
            "$kavelon" "$input" "-o$work/report" "-f$format" > /dev/null
            report_bytes=$(stat -c %s "$work/report")
            rm -f "$work/report"
            median=$(printf '%s\n' "${times[@]}" | median)
            cpu=$(printf '%s\n' "${cpus[@]}" | median)
            growth=$(awk -v t="$median" -v pt="$prev_t" -v n="$n" -v pn="$prev_n" \
                'BEGIN { if (pt == "" || pt <= 0 || t <= 0) print "-"; else printf "%.2f", log(t/pt)/log(n/pn) }')
            printf '%-10s %6d %-4s %9.3f %9.2f %9.1f %7s %9.1f %9.1f\n' "$shape" "$n" "$format" "$median" "$cpu" \
                "$(awk -v k="$peak" 'BEGIN{print k/1024}')" "$growth" \
                "$(awk -v n="$n" 'BEGIN{print (3*n*n)/1048576 + 100}')" \
                "$(awk -v b="$report_bytes" 'BEGIN{print b/1048576}')"
            prev_n=$n prev_t=$median
        done
    done
done

echo
echo "Sequencing inside blocks: whole runs on the realistic model of 10,000 activities (TXT):"
printf '%-8s %9s %9s %9s\n' option wall_s cpu_s peak_MB
input="$work/realistic-10000.xml"
[ -f "$input" ] || "$build/bench/kavelon_bench_gen" realistic 10000 > "$input"
for option in none -s -sDIST; do
    extra=()
    [ "$option" = none ] || extra=("$option")
    times=() cpus=() peak=0
    for ((r = 0; r < runs; r++)); do
        read -r t m c < <(one_run "$input" TXT "${extra[@]}")
        times+=("$t")
        cpus+=("$c")
        (( m > peak )) && peak=$m
    done
    printf '%-8s %9.3f %9.2f %9.1f\n' "$option" "$(printf '%s\n' "${times[@]}" | median)" \
        "$(printf '%s\n' "${cpus[@]}" | median)" "$(awk -v k="$peak" 'BEGIN{print k/1024}')"
done
echo
"$build/bench/kavelon_bench_sequence" "${ROUNDS:-20}"

echo
echo "Ordering stages alone (identify blocks, sort, predecessors), fast path:"
"$build/bench/kavelon_bench_ordering" --benchmark_filter='^fast/' 2>/dev/null
if [ "$literal" = 1 ]; then
    echo
    echo "Step-by-step ordering, as in a debug run:"
    "$build/bench/kavelon_bench_ordering" --benchmark_filter='^literal/' 2>/dev/null
fi
