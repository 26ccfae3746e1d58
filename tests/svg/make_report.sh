#!/usr/bin/env bash
# Writes a large kavelon XML report to standard output, for looking at the
# picture of a big process and for measuring kavelon-svg:
#   tests/svg/make_report.sh ACTIVITIES [SEED] > report.xml
# Blocks of one to six activities (about one in four coupled), a few strong
# inputs from earlier blocks, weak and ICD marks in both directions,
# constraints and outputs at about one per fifty activities.
set -euo pipefail
n=$1
seed=${2:-1}
awk -v n="$n" -v seed="$seed" '
function pick(lo, hi) { return lo + int(rand() * (hi - lo + 1)) }
function dep(kind, col) { deps = deps sprintf("<%s>%s</%s>\n", kind, data[col], kind) }
BEGIN {
    srand(seed)
    nq = int(n / 50) + 1; nr = int(n / 50) + 1
    for (i = 0; i < n; i++) data[i] = sprintf("data item %d of the process", i + 1)
    for (m = 0; m < nq; m++) data[n + m] = sprintf("constraint %d", m + 1)
    print "<kavelon>\n<kavelon_version>2.0</kavelon_version>\n<kavelon_version_date>Jun 26 2021</kavelon_version_date>"
    printf "<name>Generated process of %d activities</name>\n<study_name>seed %d</study_name>\n", n, seed
    print "<file_creation_time>Tue Dec  8 19:30:00 2026</file_creation_time>"
    first = 0; number = 0
    while (first < n) {
        size = pick(1, 6); if (first + size > n) size = n - first
        coupled = (size > 1 && rand() < 0.25)
        number++
        printf "<block>\n<block_number>%d</block_number>\n<predecessor_block>%d</predecessor_block>\n", number, (number > 1 ? pick(1, number - 1) : 0)
        printf "<block_type>%s</block_type>\n", coupled ? "dependent" : "independent"
        for (i = first; i < first + size; i++) {
            deps = ""
            for (j = 0; j < n + nq; j++) code[j] = ""
            if (first > 0) for (k = pick(1, 3); k > 0; k--) code[pick(0, first - 1)] = "strong"
            if (coupled) code[i == first + size - 1 ? first : i + 1] = "strong"
            if (rand() < 0.3) code[pick(0, n - 1)] = rand() < 0.5 ? "weak" : "icd"
            if (rand() < 0.1) code[n + pick(0, nq - 1)] = "icd"
            for (j = 0; j < n + nq; j++) if (code[j] != "" && j != i) dep(code[j], j)
            printf "<design_activity>\n<name>Activity %d of block %d</name>\n<data>%s</data>\n%s</design_activity>\n", i + 1, number, data[i], deps
        }
        printf "<block_size>%d</block_size>\n</block>\n", size
        first += size
    }
    for (k = 0; k < nr; k++) {
        deps = ""
        for (j = 0; j < 3; j++) dep(j == 0 ? "strong" : (j == 1 ? "weak" : "icd"), pick(0, n - 1))
        printf "<output>\n<name>Output %d</name>\n%s</output>\n", k + 1, deps
    }
    for (m = 0; m < nq; m++) printf "<constraint>\n<data>%s</data>\n</constraint>\n", data[n + m]
    print "</kavelon>"
}'
