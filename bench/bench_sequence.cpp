// Sequencing inside blocks, measured: the exact method on dense coupled
// blocks up to 24 rows (time and peak memory) and on 40 of 24 rows (total),
// the heuristic against the exact optimum on random coupled blocks of 20 to
// 24 rows (gap), a coupled block of 200 rows (time, bound, gap to the
// bound), and the sequencing stage on the realistic model of 10,000
// activities.
//
//   kavelon_bench_sequence [ROUNDS]   ROUNDS random blocks per size (default 10)
#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "dsm_gen.h"
#include "ordering/ordering.h"
#include "sequence/methods.h"
#include "sequence/sequence.h"

namespace {

// Processor time of this process: steadier than wall time on a shared machine.
double cpu_now() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}
double seconds_since(double start) { return cpu_now() - start; }

double peak_mb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// A coupled block: a strong ring through every row, then each other cell
// strong, weak or ICD with the given chances in percent.
SEQGRAPH coupled_block(int32_t n, int strong, int weak, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pct(0, 99);
    SEQGRAPH g;
    g.n = n;
    for (int32_t i = 0; i < n; i++) {
        for (int32_t j = 0; j < n; j++) {
            if (i == j) continue;
            if (j == (i + n - 1) % n) {
                g.marks.push_back({i, j, 1});
                continue;
            }
            const int p = pct(rng);
            if (p < strong) g.marks.push_back({i, j, 1});
            else if (p < strong + weak) g.marks.push_back({i, j, 0});
        }
    }
    return g;
}

void criteria(const SEQGRAPH &g, const std::vector<int32_t> &order, int32_t objective, int64_t c[3]) {
    BLOCKSEQ s{};
    kavelon_measure_order(&g, order, &s);
    kavelon_objective_criteria(&s, objective, c);
}

const char *name_of(int32_t objective) { return objective == KAVELON_SEQUENCE_DISTANCE ? "-sDIST" : "-s"; }

}  // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;

    std::printf("Exact method, dense coupled blocks (30%% strong, 20%% weak/ICD):\n");
    std::printf("%-7s %4s %9s %9s\n", "obj", "n", "cpu_s", "peak_MB");
    for (int32_t objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
        for (int32_t n : {16, 20, 22, 24}) {
            const SEQGRAPH g = coupled_block(n, 30, 20, 1);
            std::vector<int32_t> order;
            const double start = cpu_now();
            if (kavelon_order_exactly(&g, objective, &order) != 0) std::printf("no memory\n");
            std::printf("%-7s %4d %9.3f %9.1f\n", name_of(objective), n, seconds_since(start), peak_mb());
        }
    }

    // A model with many dense coupled blocks of the exact method's largest
    // size: the total of the method over 40 of them, each its own block.
    std::printf("\nExact method, 40 dense coupled blocks of 24 rows (30%% strong, 20%% weak/ICD):\n");
    std::printf("%-7s %9s %9s %9s\n", "obj", "total_s", "worst_s", "peak_MB");
    for (int32_t objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
        double total = 0, worst = 0;
        for (uint32_t b = 0; b < 40; b++) {
            const SEQGRAPH g = coupled_block(KAVELON_EXACT_LIMIT, 30, 20, 1000 + b);
            std::vector<int32_t> order;
            const double start = cpu_now();
            if (kavelon_order_exactly(&g, objective, &order) != 0) std::printf("no memory\n");
            const double t = seconds_since(start);
            total += t;
            worst = std::max(worst, t);
        }
        std::printf("%-7s %9.3f %9.3f %9.1f\n", name_of(objective), total, worst, peak_mb());
    }

    std::printf("\nHeuristic against the exact optimum, %d random coupled blocks per size\n", rounds);
    std::printf("(10%% strong, 10%% weak/ICD); gap = (heuristic - optimum) / optimum of the\n");
    std::printf("first criterion (strong inputs for -s, strong distance for -sDIST):\n");
    std::printf("%-7s %4s %9s %9s %9s %9s\n", "obj", "n", "mean_gap%", "max_gap%", "same_cost", "heur_cpu_s");
    for (int32_t objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
        double all_gaps = 0;
        int all_blocks = 0;
        for (int32_t n : {20, 22, 24}) {
            double gap_sum = 0, gap_max = 0, heuristic_time = 0;
            int same = 0;
            for (int r = 0; r < rounds; r++) {
                const SEQGRAPH g = coupled_block(n, 10, 10, 100 + static_cast<uint32_t>(r));
                std::vector<int32_t> exact;
                kavelon_order_exactly(&g, objective, &exact);
                const double start = cpu_now();
                SEQRESULT h;
                kavelon_order_heuristically(&g, objective, &h);
                heuristic_time += seconds_since(start);
                int64_t e[3], c[3];
                criteria(g, exact, objective, e);
                criteria(g, h.order, objective, c);
                const double gap = e[0] > 0 ? 100.0 * static_cast<double>(c[0] - e[0]) / static_cast<double>(e[0]) : 0.0;
                gap_sum += gap;
                gap_max = std::max(gap_max, gap);
                same += (c[0] == e[0] && c[1] == e[1] && c[2] == e[2]) ? 1 : 0;
            }
            std::printf("%-7s %4d %9.2f %9.2f %6d/%-2d %9.3f\n", name_of(objective), n, gap_sum / rounds,
                        gap_max, same, rounds, heuristic_time / rounds);
            all_gaps += gap_sum;
            all_blocks += rounds;
        }
        std::printf("%-7s %4s %9.2f  (mean over all %d blocks of 20 to 24 rows)\n", name_of(objective), "all",
                    all_gaps / all_blocks, all_blocks);
    }

    std::printf("\nLarge coupled blocks by the heuristic (5%% strong, 5%% weak/ICD); gap to the bound\n");
    std::printf("of the first criterion:\n");
    std::printf("%-7s %5s %9s %9s %9s %9s %8s\n", "obj", "n", "cpu_s", "result", "bound", "gap%", "optimal");
    for (int32_t objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
        for (int32_t n : {50, 100, 200}) {
            const SEQGRAPH g = coupled_block(n, 5, 5, 7);
            const double start = cpu_now();
            SEQRESULT r;
            kavelon_order_block(&g, objective, KAVELON_EXACT_LIMIT, &r, 0);
            const double t = seconds_since(start);
            int64_t c[3];
            kavelon_objective_criteria(&r.sequence, objective, c);
            const double gap = c[0] > 0 ? 100.0 * static_cast<double>(c[0] - r.sequence.bound[0]) / static_cast<double>(c[0]) : 0.0;
            std::printf("%-7s %5d %9.3f %9lld %9lld %9.1f %8s\n", name_of(objective), n, t,
                        static_cast<long long>(c[0]), static_cast<long long>(r.sequence.bound[0]), gap,
                        r.sequence.optimal ? "yes" : "no");
        }
    }

    std::printf("\nSequencing stage on generated models (after the fast ordering):\n");
    std::printf("%-10s %6s %-7s %9s %7s %9s\n", "shape", "n", "obj", "cpu_s", "blocks", "not_opt");
    for (const char *shape : {"realistic", "cycles"}) {
        for (int32_t objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
            GenModel m;
            generate_model(shape, 10000, 1, m);
            KAVELON dt;
            fill_record(m, &dt);
            if (kavelon_fast_identify_blocks_subblocks(&dt) != 0 || kavelon_fast_sort_P(&dt) != 0 ||
                kavelon_fast_identify_predecessor_blocks(&dt) != 0)
                return 1;
            dt.sequence = objective;
            const double start = cpu_now();
            if (kavelon_sequence_blocks(&dt) != 0) return 1;
            const double t = seconds_since(start);
            int not_optimal = 0;
            for (int32_t b = 0; b < dt.nblock; b++) not_optimal += dt.block_sequence[b].optimal ? 0 : 1;
            std::printf("%-10s %6d %-7s %9.3f %7d %9d\n", shape, dt.n, name_of(objective), t, dt.nblock,
                        not_optimal);
        }
    }
    return 0;
}
