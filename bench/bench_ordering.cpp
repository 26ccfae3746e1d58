// The step-by-step block search and the fast ordering side by side, on the
// same generated models: block identification, sorting and predecessors.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dsm_gen.h"

namespace {

// Cells in use at the start of a matrix's block: its rows fill it in order.
size_t used_cells(const KAVROW *rows, int count) {
    size_t cells = 0;
    for (int r = 0; rows != nullptr && r < count; r++) cells += static_cast<size_t>(rows[r].count);
    return cells;
}

// A record and a pristine copy of its tables, to start every run afresh. The
// orderings move rows and relabel cells of P and R in place.
struct Fixture {
    KAVELON dt;
    std::vector<KAVROW> P, Q, R;
    std::vector<KAVCELL> p_cells, r_cells;
    std::vector<char *> d_names, a_names;
    std::vector<ACTSTATE *> d;

    explicit Fixture(const GenModel &m) {
        fill_record(m, &dt);
        P.assign(dt.P, dt.P + dt.n);
        Q.assign(dt.Q, dt.Q + dt.n);
        R.assign(dt.R, dt.R + dt.nR);
        p_cells.assign(dt.P_cells, dt.P_cells + used_cells(dt.P, dt.n));
        r_cells.assign(dt.R_cells, dt.R_cells + used_cells(dt.R, dt.nR));
        a_names.assign(dt.design_activity_name, dt.design_activity_name + dt.n);
        d_names.assign(dt.design_data_name, dt.design_data_name + dt.n);
        d.assign(dt.d, dt.d + dt.n);
    }

    void reset() {
        std::copy(P.begin(), P.end(), dt.P);
        std::copy(Q.begin(), Q.end(), dt.Q);
        std::copy(R.begin(), R.end(), dt.R);
        std::copy(p_cells.begin(), p_cells.end(), dt.P_cells);
        std::copy(r_cells.begin(), r_cells.end(), dt.R_cells);
        for (int i = 0; i < dt.n; i++) {
            dt.design_activity_name[i] = a_names[i];
            dt.design_data_name[i] = d_names[i];
            dt.d[i] = d[i];
            *d[i] = ACTSTATE{};
        }
        dt.nblock = 0;
    }
};

void order(benchmark::State &state, const std::string &shape, bool fast) {
    GenModel m;
    generate_model(shape, static_cast<int32_t>(state.range(0)), 1, m);
    Fixture f(m);
    for (auto _ : state) {
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
        int failed = 0;
        if (fast) {
            failed |= kavelon_fast_identify_blocks_subblocks(&f.dt);
            failed |= kavelon_fast_sort_P(&f.dt);
            failed |= kavelon_fast_identify_predecessor_blocks(&f.dt);
        } else {
            failed |= kavelon_identify_blocks_subblocks(&f.dt);
            failed |= kavelon_sort_P(&f.dt);
            failed |= kavelon_identify_predecessor_blocks(&f.dt);
        }
        if (failed) state.SkipWithError("an ordering stage failed");
        benchmark::DoNotOptimize(f.dt.nblock);
    }
    state.counters["blocks"] = f.dt.nblock;
}

}  // namespace

int main(int argc, char **argv) {
    for (const char *shape : {"realistic", "chain", "half", "cycles"}) {
        for (bool fast : {false, true}) {
            const std::string name = std::string(fast ? "fast/" : "literal/") + shape;
            auto *b = benchmark::RegisterBenchmark(name.c_str(), order, std::string(shape), fast);
            b->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);
            // The step-by-step search would take far too long beyond that.
            if (fast) b->Arg(3000)->Arg(10000);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
