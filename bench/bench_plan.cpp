// The plan stage, measured: predecessors, levels, times, the critical path
// and the inputs to assume of generated models of 10,000 and 1,000,000
// activities with random durations, after the fast ordering. The stage
// should add well under 0.2 s to a run of 10,000 activities.
//
//   kavelon_bench_plan [ROUNDS]   ROUNDS timed runs per model (default 5)
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>
#include <algorithm>

#include "dsm_gen.h"
#include "ordering/ordering.h"
#include "plan/plan.h"

namespace {

// Processor time of this process: steadier than wall time on a shared machine.
double cpu_now() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("Plan stage on generated models (median processor time of %d runs):\n", rounds);
    std::printf("%-10s %8s %7s %7s %-9s %9s %10s\n", "shape", "n", "blocks", "levels", "assumed", "cpu_s",
                "total");
    for (const char *shape : {"realistic", "cycles"}) {
        for (int32_t n : {10000, 1000000}) {
            if (n > 10000 && shape[0] == 'c') continue;
            GenModel m;
            if (!generate_model(shape, n, 1, m)) return 1;
            KAVELON dt;
            fill_record(m, &dt);
            if (kavelon_fast_identify_blocks_subblocks(&dt) != 0 || kavelon_fast_sort_P(&dt) != 0 ||
                kavelon_fast_identify_predecessor_blocks(&dt) != 0)
                return 1;
            std::mt19937 rng(7);
            std::uniform_int_distribution<int> tenths(0, 200);
            std::vector<double> duration;
            for (int32_t i = 0; i < dt.n; i++) duration.push_back(tenths(rng) / 10.0);
            for (bool with_assumed : {false, true}) {
                std::vector<double> times;
                KAVPLAN plan;
                for (int r = 0; r < rounds; r++) {
                    const double start = cpu_now();
                    if (kavelon_make_plan(&dt, duration.data(), 1.5, KAVELON_WHATIF_NONE, with_assumed, &plan) != 0)
                        return 1;
                    times.push_back(cpu_now() - start);
                }
                std::sort(times.begin(), times.end());
                std::printf("%-10s %8d %7d %7d %-9s %9.4f %10.1f\n", shape, dt.n, plan.nblock, plan.nlevel,
                            with_assumed ? "listed" : "no", times[times.size() / 2], plan.total_duration);
            }
        }
    }
    return 0;
}
