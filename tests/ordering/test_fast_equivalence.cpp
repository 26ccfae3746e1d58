// The fast ordering against the step-by-step operations on many matrices:
// every small strong pattern, then random matrices of 1 to 60 rows of every
// density, with planted and nested cycles, equal-size sink components,
// self-dependencies and weak and ICD cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ordering/ordering.h"
#include "ordering/ordering_fixture.h"

using ordering_test::make_record;
using ordering_test::row_codes;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kRandomMatrices = 2000;  // the sanitizers make every step slower
#else
constexpr int kRandomMatrices = 10000;
#endif

struct Dsm {
    std::vector<std::string> p, q, r;
};

// Everything the reports can see of an ordered record.
std::string seen(const KAVELON &dt) {
    std::string s = std::to_string(dt.nblock) + "\n";
    for (int i = 0; i < dt.n; i++) {
        const ACTSTATE &a = *dt.d[i];
        s += std::string(dt.design_activity_name[i]) + " " + dt.design_data_name[i] + " " +
             std::to_string(a.block_order) + "." + std::to_string(a.subblock_order) + "." +
             std::to_string(a.predecessor_block) + " " + row_codes(dt.P[i], dt.n) + " " +
             row_codes(dt.Q[i], dt.nQ) + "\n";
    }
    for (int o = 0; o < dt.nR; o++) s += row_codes(dt.R[o], dt.n) + "\n";
    return s;
}

// Orders one copy each way; the result must be the same.
void expect_same_order(const Dsm &m) {
    auto slow_rec = make_record(m.p, {}, m.q, m.r);
    auto fast_rec = make_record(m.p, {}, m.q, m.r);
    KAVELON &slow = slow_rec->dt, &fast = fast_rec->dt;
    ASSERT_TRUE(kavelon_identify_blocks_subblocks(&slow) == 0 && kavelon_sort_P(&slow) == 0 &&
                kavelon_identify_predecessor_blocks(&slow) == 0);
    ASSERT_TRUE(kavelon_fast_identify_blocks_subblocks(&fast) == 0 && kavelon_fast_sort_P(&fast) == 0 &&
                kavelon_fast_identify_predecessor_blocks(&fast) == 0);
    std::string matrix;
    for (const auto &row : m.p) matrix += row + "/";
    ASSERT_EQ(seen(fast), seen(slow)) << matrix;
}

struct Random {
    std::mt19937 engine{20261208};
    int range(int lo, int hi) { return lo + static_cast<int>(engine() % static_cast<unsigned>(hi - lo + 1)); }
    bool chance(double p) { return engine() % 10000 < p * 10000; }
};

// Strong edges along a cycle through the given rows.
void plant_cycle(Dsm &m, const std::vector<int> &rows) {
    for (size_t k = 0; k < rows.size(); k++) m.p[rows[k]][rows[(k + 1) % rows.size()]] = 'S';
}

std::vector<int> pick_rows(Random &rnd, int n, int count) {
    std::vector<int> all(n);
    for (int i = 0; i < n; i++) all[i] = i;
    std::shuffle(all.begin(), all.end(), rnd.engine);
    all.resize(std::min(count, n));
    return all;
}

Dsm random_dsm(Random &rnd) {
    // Every size up to 60, small ones more often: the step-by-step search
    // costs far more than cubic time on the large ones.
    const int band = rnd.range(0, 19);
    const int n = band < 12 ? rnd.range(1, 12) : band < 19 ? rnd.range(13, 30) : rnd.range(31, 60);
    Dsm m;
    m.p.assign(n, std::string(n, '0'));
    // Background density from almost empty to almost full.
    const double densities[] = {0.0, 0.01, 0.03, 0.06, 0.1, 0.2, 0.4, 0.7, 0.95};
    const double strong = densities[rnd.range(0, 8)];
    const double soft = rnd.chance(0.5) ? 0.1 : 0.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            if (rnd.chance(strong)) m.p[i][j] = 'S';
            else if (rnd.chance(soft)) m.p[i][j] = rnd.chance(0.5) ? 'W' : 'I';
        }
    const int shape = rnd.range(0, 3);
    if (shape == 1) {
        // Planted cycles of assorted lengths.
        for (int c = rnd.range(1, 6); c > 0; c--) plant_cycle(m, pick_rows(rnd, n, rnd.range(2, 8)));
    } else if (shape == 2) {
        // Nested cycles: a big one and smaller ones over some of its rows.
        std::vector<int> outer = pick_rows(rnd, n, rnd.range(2, 20));
        plant_cycle(m, outer);
        for (int c = rnd.range(1, 4); c > 0 && outer.size() > 2; c--) {
            std::shuffle(outer.begin(), outer.end(), rnd.engine);
            const int inner = rnd.range(2, static_cast<int>(outer.size()));
            plant_cycle(m, std::vector<int>(outer.begin(), outer.begin() + inner));
        }
    } else if (shape == 3) {
        // Equal-size sink components: disjoint cycles of one length that
        // depend on nothing, the other rows depending on them.
        const int len = rnd.range(2, 5);
        std::vector<int> rows = pick_rows(rnd, n, n);
        size_t used = 0;
        for (int c = rnd.range(2, 5); c > 0 && used + len <= rows.size(); c--, used += len) {
            std::vector<int> cyc(rows.begin() + used, rows.begin() + used + len);
            for (int r : cyc) {
                for (int j = 0; j < n; j++)
                    if (m.p[r][j] == 'S') m.p[r][j] = '0';
            }
            plant_cycle(m, cyc);
        }
    }
    // Self-dependencies, which never count.
    for (int i = 0; i < n; i++)
        if (rnd.chance(0.1)) m.p[i][i] = rnd.chance(0.7) ? 'S' : 'W';
    // Constraints and outputs travel along.
    if (rnd.chance(0.5)) {
        const int nq = rnd.range(1, 3);
        for (int i = 0; i < n; i++) {
            m.q.emplace_back(nq, '0');
            for (char &c : m.q.back()) c = "0SWI"[rnd.range(0, 3)];
        }
    }
    for (int o = rnd.range(0, 2); o > 0; o--) {
        m.r.emplace_back(n, '0');
        for (char &c : m.r.back()) c = "0SWI"[rnd.range(0, 3)];
    }
    return m;
}

}  // namespace

// Every pattern of strong cells off the diagonal up to four rows, with a
// strong diagonal on every other pattern.
TEST(FastOrderEquivalence, EverySmallStrongPattern) {
    for (int n = 1; n <= 4; n++) {
        const int cells = n * (n - 1);
        for (int bits = 0; bits < (1 << cells); bits++) {
            Dsm m;
            m.p.assign(n, std::string(n, '0'));
            int k = 0;
            for (int i = 0; i < n; i++)
                for (int j = 0; j < n; j++) {
                    if (i == j) {
                        if (bits % 2 == 1) m.p[i][j] = 'S';
                        continue;
                    }
                    if (bits & (1 << k)) m.p[i][j] = 'S';
                    k++;
                }
            expect_same_order(m);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(FastOrderEquivalence, RandomMatrices) {
    Random rnd;
    for (int t = 0; t < kRandomMatrices; t++) {
        const Dsm m = random_dsm(rnd);
        expect_same_order(m);
        if (HasFatalFailure()) return;
    }
}
