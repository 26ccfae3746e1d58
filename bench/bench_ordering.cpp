// The step-by-step block search and the fast ordering side by side, on the
// same generated models: block identification, sorting and predecessors.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "dsm_gen.h"

namespace {

// A record and a pristine copy of its matrices, to start every run afresh.
struct Fixture {
    KAVELON dt;
    std::vector<std::string> p_rows, q_rows, r_rows;
    std::vector<char *> P, Q, d_names, a_names;
    std::vector<ACTSTATE *> d;

    explicit Fixture(const GenModel &m) {
        fill_record(m, &dt);
        for (int i = 0; i < dt.n; i++) {
            p_rows.emplace_back(dt.P[i]);
            q_rows.emplace_back(dt.Q[i] ? dt.Q[i] : "");
        }
        for (int o = 0; o < dt.nR; o++) r_rows.emplace_back(dt.R[o]);
        P.assign(dt.P, dt.P + dt.n);
        Q.assign(dt.Q, dt.Q + dt.n);
        a_names.assign(dt.design_activity_name, dt.design_activity_name + dt.n);
        d_names.assign(dt.design_data_name, dt.design_data_name + dt.n);
        d.assign(dt.d, dt.d + dt.n);
    }

    void reset() {
        for (int i = 0; i < dt.n; i++) {
            dt.P[i] = P[i];
            std::memcpy(P[i], p_rows[i].data(), dt.n);
            dt.Q[i] = Q[i];
            if (Q[i]) std::memcpy(Q[i], q_rows[i].data(), dt.nQ);
            dt.design_activity_name[i] = a_names[i];
            dt.design_data_name[i] = d_names[i];
            dt.d[i] = d[i];
            *d[i] = ACTSTATE{};
        }
        for (int o = 0; o < dt.nR; o++) std::memcpy(dt.R[o], r_rows[o].data(), dt.n);
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
