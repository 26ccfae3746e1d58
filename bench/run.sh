#!/usr/bin/env bash
# Benchmark of kavelon on generated inputs. Builds a release build with the
# benchmarks, then prints:
#   1. kavelon beside its peer (bench/peer_networkx.py: ElementTree and
#      networkx doing the same job) on realistic models of 10,000 and 30,000
#      activities, "-fXML": median wall time, processor time and peak memory
#      of whole runs, the speed-up over the peer, and whether the two reports
#      agree byte for byte (time stamp aside);
#   2. the run on 1,000,000 realistic activities written without white space
#      between the root's children (about 290 MB), "-fXML", kavelon only
#      unless --peer-large is given (the peer takes minutes and GBs there);
#      both run under a memory limit, so a build that would need more prints
#      "out of memory" instead of exhausting the machine;
#   3. the text and CSV reports at 10,000 activities against the time `cp`
#      takes to copy the report file they wrote;
#   4. for every size, shape and report format, the median wall and
#      processor time and the peak memory, with the growth exponent of the
#      wall time from the previous size (time ~ n^k);
#   5. whole runs with and without sequencing inside blocks ("-s",
#      "-sDIST") on the realistic 10,000 model, and the sequencing benchmark
#      (exact method and heuristic on random coupled blocks);
#   5b. whole runs with and without the plan ("-p", "-s -p") on the same
#      model with a duration for every activity, and the plan benchmark
#      (the plan stage alone at 10,000 and 1,000,000 activities);
#   6. the time of the fast ordering stages alone (Google Benchmark).
#
#   bench/run.sh               everything above (sizes 1000 3000 10000 in 4)
#   bench/run.sh --targets     only 1 to 3
#   bench/run.sh --peer-large  also the peer on the 1,000,000 input
#   bench/run.sh --check       first compare the peer's report with kavelon's
#                              at 1,000 and 10,000 activities of every shape
#   bench/run.sh --literal     also the step-by-step ordering against the fast
#                              one at 100, 300 and 1000 activities (slow)
# Environment: SIZES, SHAPES, FORMATS, RUNS (default 5) for tables 4 and 5;
# ROUNDS (random blocks per size in the sequencing benchmark, default 20);
# PEER_RUNS (default 3) for 1 and 3; PEER_SIZES (default "10000 30000") for
# 1; LARGE_N (default 1000000) for 2; the limits of every run of 1 to 3:
# MEM_LIMIT_MB (default 6144; the peer PEER_MEM_LIMIT_MB, default 12288) and
# TIME_LIMIT_S (default 900); BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/bench}
runs=${RUNS:-5}
peer_runs=${PEER_RUNS:-3}
peer_sizes=${PEER_SIZES:-"10000 30000"}
large_n=${LARGE_N:-1000000}
mem_limit_mb=${MEM_LIMIT_MB:-6144}
peer_mem_limit_mb=${PEER_MEM_LIMIT_MB:-12288}
time_limit_s=${TIME_LIMIT_S:-900}
sizes=${SIZES:-"1000 3000 10000"}
shapes=${SHAPES:-"realistic chain half cycles"}
formats=${FORMATS:-"XML TXT CSV"}
literal=0 targets_only=0 peer_large=0 check=0
for arg in "$@"; do
    case $arg in
        --literal) literal=1 ;;
        --targets) targets_only=1 ;;
        --peer-large) peer_large=1 ;;
        --check) check=1 ;;
        *) echo "usage: bench/run.sh [--targets] [--peer-large] [--check] [--literal]" >&2; exit 2 ;;
    esac
done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKAVELON_BENCH=ON -DKAVELON_TESTS=OFF > /dev/null
cmake --build "$build" -j2 > /dev/null
kavelon="$build/kavelon"
gen="$build/bench/kavelon_bench_gen"
peer="bench/peer_networkx.py"
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

# Runs a command under the memory and time limits, its output thrown away.
# Prints "wall-seconds peak-kB cpu-seconds status", the status being "ok",
# "out of memory", "time limit" or "failed (N)".
limited_run() {  # memory limit in MB, command...
    local limit=$1 start end status=0 peak user system
    shift
    start=$(date +%s%N)
    ( ulimit -v $((limit * 1024)); exec timeout "$time_limit_s" \
        /usr/bin/time -f '%M %U %S' -o "$work/mem" "$@" > /dev/null 2> "$work/err" ) || status=$?
    end=$(date +%s%N)
    peak=- user=0 system=0
    [ -s "$work/mem" ] && read -r peak user system < <(tail -n 1 "$work/mem")
    rm -f "$work/mem"
    local what=ok
    if [ "$status" = 124 ]; then
        what="time limit"
    elif grep -qi 'out of memory\|bad_alloc\|MemoryError\|cannot allocate' "$work/err"; then
        what="out of memory"
    elif [ "$status" != 0 ]; then
        what="failed ($status)"
    fi
    echo "$(( (end - start) / 1000 ))e-6 $peak $(awk -v u="$user" -v s="$system" 'BEGIN{print u + s}') $what"
}

# The report without its time stamp, the one line that differs between runs.
without_stamp() { grep -v '^<file_creation_time>' "$1"; }

have_peer=1
if ! python3 -c 'import networkx' 2> /dev/null; then
    have_peer=0
    echo "note: python3 with networkx not found, the peer is left out"
fi

input_of() {  # shape, n[, compact]: generates once, prints the path
    local path="$work/$1-$2${3:+-compact}.xml"
    [ -f "$path" ] || "$gen" ${3:+--compact} "$1" "$2" > "$path"
    echo "$path"
}

sec() { awk -v t="$1" 'BEGIN { if (t == "-") print "-"; else printf "%.3f", t }'; }
mb() { awk -v k="$1" 'BEGIN { if (k == "-") print "-"; else printf "%.1f", k / 1024 }'; }

# Median wall, median processor time, largest peak and the last status of
# several limited runs of one command; the report of the last run stays.
limited_runs() {  # count, memory limit in MB, command...
    local count=$1 limit=$2 r
    shift 2
    local walls=() cpus=() peak=0 status=ok
    for ((r = 0; r < count; r++)); do
        read -r t m c s < <(limited_run "$limit" "$@")
        walls+=("$t") cpus+=("$c") status=$s
        [ "$m" != - ] && (( m > peak )) && peak=$m
        [ "$s" = ok ] || break
    done
    echo "$(printf '%s\n' "${walls[@]}" | median) $(printf '%s\n' "${cpus[@]}" | median) $peak $status"
}

median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

if [ "$check" = 1 ] && [ "$have_peer" = 1 ]; then
    echo "Peer's report against kavelon's (time stamp aside):"
    for shape in realistic chain half cycles; do
        for n in 1000 10000; do
            input=$(input_of "$shape" "$n")
            "$kavelon" "$input" "-o$work/k.xml" -fXML > /dev/null
            python3 "$peer" "$input" "$work/p.xml"
            same=different
            cmp -s <(without_stamp "$work/k.xml") <(without_stamp "$work/p.xml") && same=identical
            printf '%-10s %8d  %s\n' "$shape" "$n" "$same"
        done
    done
    echo
fi

echo "1. Against the peer (realistic, -fXML; targets: >= 15 times faster, <= 100 MB at 30,000):"
printf '%-10s %6s %8s %9s %9s %8s %-14s %9s %9s %8s %-14s %8s %8s %s\n' input n input_MB \
    kav_wall kav_cpu kav_MB kav_status peer_wall peer_cpu peer_MB peer_status speed-up cpu_ratio same_report
for n in $peer_sizes; do
    input=$(input_of realistic "$n")
    read -r kt kc km ks < <(limited_runs "$peer_runs" "$mem_limit_mb" "$kavelon" "$input" "-o$work/k.xml" -fXML)
    pt=- pc=- pm=- ps="not run" speedup=- cpu_ratio=- same=-
    if [ "$have_peer" = 1 ]; then
        read -r pt pc pm ps < <(limited_runs "$peer_runs" "$peer_mem_limit_mb" python3 "$peer" "$input" "$work/p.xml")
        if [ "$ks" = ok ] && [ "$ps" = ok ]; then
            speedup=$(awk -v k="$kt" -v p="$pt" 'BEGIN { printf "%.1f", p / k }')
            cpu_ratio=$(awk -v k="$kc" -v p="$pc" 'BEGIN { if (k > 0) printf "%.1f", p / k; else print "-" }')
            same=no
            cmp -s <(without_stamp "$work/k.xml") <(without_stamp "$work/p.xml") && same=yes
        fi
    fi
    printf '%-10s %6d %8.1f %9.3f %9.2f %8s %-14s %9s %9s %8s %-14s %8s %8s %s\n' realistic "$n" \
        "$(awk -v b="$(stat -c %s "$input")" 'BEGIN{print b/1048576}')" "$kt" "$kc" "$(mb "$km")" "$ks" \
        "$(sec "$pt")" "$(sec "$pc")" "$(mb "$pm")" "$ps" "$speedup" "$cpu_ratio" "$same"
    rm -f "$work/k.xml" "$work/p.xml"
done
echo

echo "2. Large input without white space between the root's children (-fXML; target: <= 10 s, <= 3 GB;"
echo "   kavelon limited to $mem_limit_mb MB, the peer to $peer_mem_limit_mb MB, each to $time_limit_s s):"
input=$(input_of realistic "$large_n" compact)
printf '%-14s %8s %9s %9s %9s %9s  %s\n' program n input_MB wall_s cpu_s peak_MB status
read -r t c m s < <(limited_runs 1 "$mem_limit_mb" "$kavelon" "$input" "-o$work/k.xml" -fXML)
printf '%-14s %8d %9.1f %9.3f %9.2f %9s  %s\n' kavelon "$large_n" \
    "$(awk -v b="$(stat -c %s "$input")" 'BEGIN{print b/1048576}')" "$t" "$c" "$(mb "$m")" "$s"
if [ "$peer_large" = 1 ] && [ "$have_peer" = 1 ]; then
    read -r t c m s < <(limited_runs 1 "$peer_mem_limit_mb" python3 "$peer" "$input" "$work/p.xml")
    printf '%-14s %8d %9.1f %9.3f %9.2f %9s  %s\n' peer_networkx "$large_n" \
        "$(awk -v b="$(stat -c %s "$input")" 'BEGIN{print b/1048576}')" "$t" "$c" "$(mb "$m")" "$s"
else
    echo "(the peer on this input: bench/run.sh --peer-large)"
fi
rm -f "$work/k.xml" "$work/p.xml" "$input"
echo

echo "3. Text and CSV reports at 10,000 realistic activities against copying the report (target: <= 3 times cp):"
printf '%-6s %6s %9s %9s %9s %8s %-14s %9s %6s\n' format n report_MB kav_wall kav_cpu kav_MB kav_status cp_wall ratio
input=$(input_of realistic 10000)
for format in TXT CSV; do
    read -r kt kc km ks < <(limited_runs "$peer_runs" "$mem_limit_mb" "$kavelon" "$input" "-o$work/report" "-f$format")
    report_mb=- ct=- ratio=-
    if [ "$ks" = ok ]; then
        report_mb=$(awk -v b="$(stat -c %s "$work/report")" 'BEGIN{printf "%.1f", b/1048576}')
        read -r ct _ < <(limited_runs "$peer_runs" "$mem_limit_mb" cp "$work/report" "$work/copy")
        ratio=$(awk -v k="$kt" -v c="$ct" 'BEGIN { if (c > 0) printf "%.1f", k / c; else print "-" }')
    fi
    printf '%-6s %6d %9s %9.3f %9.2f %8s %-14s %9s %6s\n' "$format" 10000 "$report_mb" "$kt" "$kc" \
        "$(mb "$km")" "$ks" "$(sec "$ct")" "$ratio"
    rm -f "$work/report" "$work/copy"
done

if [ "$targets_only" = 1 ]; then exit 0; fi
echo
echo "4. Growth with the size:"
printf '%-10s %6s %-4s %9s %9s %9s %7s %9s %9s\n' shape n format wall_s cpu_s peak_MB growth limit_MB report_MB
for shape in $shapes; do
    for format in $formats; do
        prev_n='' prev_t=''
        for n in $sizes; do
            input=$(input_of "$shape" "$n")
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
echo "5. Sequencing inside blocks: whole runs on the realistic model of 10,000 activities (TXT):"
printf '%-8s %9s %9s %9s\n' option wall_s cpu_s peak_MB
input=$(input_of realistic 10000)
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
"$build/bench/kavelon_bench_mfas" "${MFAS_ROUNDS:-5}" 2

echo
echo "5b. The plan: whole runs on the realistic model of 10,000 activities with a duration each (XML):"
printf '%-16s %9s %9s %9s\n' option wall_s cpu_s peak_MB
input=$(input_of realistic 10000)
timed="$work/realistic-10000-durations.xml"
# Durations of 0 to 20 in tenths, the same for every run.
awk 'BEGIN { srand(7) } { line = $0; out = ""
       while ((i = index(line, "<design_activity>")) > 0) {
           out = out substr(line, 1, i + 16) "<duration>" int(rand() * 201) / 10 "</duration>"
           line = substr(line, i + 17) }
       print out line }' "$input" > "$timed"
for option in none -p "-s -p"; do
    extra=()
    [ "$option" = none ] || read -r -a extra <<< "$option"
    times=() cpus=() peak=0
    for ((r = 0; r < runs; r++)); do
        read -r t m c < <(one_run "$timed" XML "${extra[@]}")
        times+=("$t")
        cpus+=("$c")
        (( m > peak )) && peak=$m
    done
    printf '%-16s %9.3f %9.2f %9.1f\n' "$option" "$(printf '%s\n' "${times[@]}" | median)" \
        "$(printf '%s\n' "${cpus[@]}" | median)" "$(awk -v k="$peak" 'BEGIN{print k/1024}')"
done
echo
"$build/bench/kavelon_bench_plan" "${ROUNDS:-5}"

echo
echo "6. Ordering stages alone (identify blocks, sort, predecessors), fast path:"
"$build/bench/kavelon_bench_ordering" --benchmark_filter='^fast/' 2>/dev/null
if [ "$literal" = 1 ]; then
    echo
    echo "Step-by-step ordering, as in a debug run:"
    "$build/bench/kavelon_bench_ordering" --benchmark_filter='^literal/' 2>/dev/null
fi
