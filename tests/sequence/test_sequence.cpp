// Sequencing inside blocks: the exact method against every order of small
// random blocks, the heuristic and its bound against the exact method, and
// the published examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "ordering/ordering_fixture.h"
#include "sequence/methods.h"
#include "sequence/sequence.h"

using ordering_test::make_record;

namespace {

// Cost of an order straight from its definition: for every dependency of a
// row on a row placed after it, by kind, the count and the distance.
struct Cost {
    long strong_n = 0, weak_n = 0, strong_d = 0, weak_d = 0;
};

Cost cost_of(const std::vector<std::string> &p, const std::vector<int32_t> &order) {
    const int n = static_cast<int>(p.size());
    int pos[32];
    for (int t = 0; t < n; t++) pos[order[t]] = t;
    Cost c;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            const char code = p[i][j];
            if (i == j || code == '0' || pos[j] <= pos[i]) continue;
            const int d = pos[j] - pos[i];
            if (code == 'S') {
                c.strong_n++;
                c.strong_d += d;
            } else {
                c.weak_n++;
                c.weak_d += d;
            }
        }
    return c;
}

std::vector<long> key(const Cost &c, int objective) {
    if (objective == KAVELON_SEQUENCE_DISTANCE) return {c.strong_d, c.weak_d, c.strong_n + c.weak_n};
    return {c.strong_n, c.weak_n, c.strong_d + c.weak_d};
}

// The graph of a whole matrix taken as one block, through the record.
SEQGRAPH graph_of(const std::vector<std::string> &p) {
    auto rec = make_record(p);
    SEQGRAPH g;
    kavelon_build_block_graph(&rec->dt, 0, rec->dt.n, &g);
    return g;
}

std::vector<std::string> random_block(std::mt19937 &rng, int n, int percent) {
    std::uniform_int_distribution<int> pct(0, 99), kind(0, 2);
    std::vector<std::string> p(n, std::string(n, '0'));
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            if (pct(rng) < percent) p[i][j] = "SWI"[kind(rng)];
    return p;
}

std::vector<int32_t> shaja8_order(const std::vector<std::string> &p, int objective) {
    SEQGRAPH g = graph_of(p);
    std::vector<int32_t> order;
    EXPECT_EQ(kavelon_order_exactly(&g, objective, &order), 0);
    return order;
}

// "i: j, k" rows, 1-based, all strong.
std::vector<std::string> strong_matrix(int n, const std::vector<std::vector<int>> &needs) {
    std::vector<std::string> p(n, std::string(n, '0'));
    for (int i = 0; i < n; i++)
        for (int j : needs[i]) p[i][j - 1] = 'S';
    return p;
}

std::vector<int32_t> identity(int n) {
    std::vector<int32_t> v(n);
    std::iota(v.begin(), v.end(), 0);
    return v;
}

}  // namespace

TEST(Sequence, ExactMatchesEveryOrderOfSmallBlocks) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; round++) {
        const int n = 1 + round % 8;
        const auto p = random_block(rng, n, 15 + round % 4 * 15);
        const SEQGRAPH g = graph_of(p);
        // For each objective the first best order met in lexicographic
        // enumeration of all orders.
        std::vector<int32_t> perm = identity(n);
        std::vector<std::vector<int32_t>> best_orders(3, perm);
        std::vector<std::vector<long>> bests(3);
        for (int objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE})
            bests[objective] = key(cost_of(p, perm), objective);
        while (std::next_permutation(perm.begin(), perm.end())) {
            const Cost c = cost_of(p, perm);
            for (int objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
                const auto k = key(c, objective);
                if (k < bests[objective]) {
                    bests[objective] = k;
                    best_orders[objective] = perm;
                }
            }
        }
        for (int objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
            const std::vector<int32_t> &best_order = best_orders[objective];
            const std::vector<long> &best = bests[objective];
            std::vector<int32_t> exact, bounded;
            ASSERT_EQ(kavelon_order_exactly(&g, objective, &exact), 0);
            EXPECT_EQ(exact, best_order) << "round " << round << " objective " << objective;
            // Bounded by a heuristic order first, the search must find the same.
            ASSERT_EQ(kavelon_order_exactly(&g, objective, &bounded, 0), 0);
            EXPECT_EQ(bounded, best_order) << "round " << round << " objective " << objective;

            // The heuristic is never better than the best, its bound never above it.
            SEQRESULT h;
            kavelon_order_block(&g, objective, 0, &h, 0);
            std::vector<int32_t> sorted = h.order;
            std::sort(sorted.begin(), sorted.end());
            ASSERT_EQ(sorted, identity(n));
            const auto hk = key(cost_of(p, h.order), objective);
            EXPECT_GE(hk, best);
            const std::vector<long> bound(h.sequence.bound, h.sequence.bound + 3);
            EXPECT_LE(bound, best) << "round " << round;
            EXPECT_EQ(h.sequence.optimal == 1, hk == bound);
            int64_t measured[3];
            kavelon_objective_criteria(&h.sequence, objective, measured);
            EXPECT_EQ(std::vector<long>(measured, measured + 3), hk);
        }
    }
}

TEST(Sequence, ExactMethodPassesOverMarksOutsideTheBlockOrOnARowItself) {
    // Such marks never come from a block of the record, but a caller's graph
    // may hold them: they are no feedback, and must not reach the tables.
    std::mt19937 rng(19);
    // Sparse, so that blocks from 17 rows on take the heuristic's bound.
    for (int round = 0; round < 36; round++) {
        const int n = 3 + round % 18;
        const SEQGRAPH clean = graph_of(random_block(rng, n, 10));
        SEQGRAPH noisy = clean;
        noisy.marks.push_back({0, 0, 1});
        noisy.marks.push_back({n - 1, n - 1, 0});
        noisy.marks.push_back({0, n, 1});
        noisy.marks.push_back({-1, 0, 0});
        noisy.marks.push_back({1, 31, 1});
        for (int objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
            std::vector<int32_t> want, got;
            ASSERT_EQ(kavelon_order_exactly(&clean, objective, &want), 0);
            ASSERT_EQ(kavelon_order_exactly(&noisy, objective, &got), 0);
            EXPECT_EQ(got, want) << "round " << round << " objective " << objective;
        }
    }
}

TEST(Sequence, PublishedExamples) {
    // shaja8: given order distance 12; best 2 marks (distance 5).
    const auto shaja8 = strong_matrix(8, {{}, {1, 5}, {1, 2, 5, 8}, {1, 3, 5}, {1, 4}, {4, 5, 7}, {6}, {2}});
    const Cost given = cost_of(shaja8, identity(8));
    EXPECT_EQ(given.strong_d, 12);
    Cost c = cost_of(shaja8, shaja8_order(shaja8, KAVELON_SEQUENCE_INPUTS));
    EXPECT_EQ(c.strong_n, 2);
    EXPECT_EQ(c.strong_d, 5);
    c = cost_of(shaja8, shaja8_order(shaja8, KAVELON_SEQUENCE_DISTANCE));
    EXPECT_EQ(c.strong_d, 5);

    // tarjans8: given 5 marks, distance 14; best 2 marks, distance 5.
    const auto tarjans8 = strong_matrix(8, {{8}, {1}, {2, 5}, {3, 7}, {4}, {5, 7}, {3, 8}, {2}});
    EXPECT_EQ(cost_of(tarjans8, identity(8)).strong_n, 5);
    EXPECT_EQ(cost_of(tarjans8, identity(8)).strong_d, 14);
    c = cost_of(tarjans8, shaja8_order(tarjans8, KAVELON_SEQUENCE_INPUTS));
    EXPECT_EQ(c.strong_n, 2);
    EXPECT_EQ(c.strong_d, 5);

    // conflict5: the two objectives disagree.
    const auto conflict5 = strong_matrix(5, {{4}, {1, 3}, {1, 5}, {1, 2, 3, 5}, {3, 4}});
    const auto fewest = shaja8_order(conflict5, KAVELON_SEQUENCE_INPUTS);
    EXPECT_EQ(fewest, (std::vector<int32_t>{0, 2, 1, 3, 4}));
    c = cost_of(conflict5, fewest);
    EXPECT_EQ(c.strong_n, 3);
    EXPECT_EQ(c.strong_d, 7);
    const auto shortest = shaja8_order(conflict5, KAVELON_SEQUENCE_DISTANCE);
    c = cost_of(conflict5, shortest);
    EXPECT_EQ(c.strong_n, 4);
    EXPECT_EQ(c.strong_d, 6);
}

TEST(Sequence, StageKeepsBlocksAndReportsWhatTheRowsShow) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; round++) {
        const int n = 2 + round % 30;
        std::uniform_int_distribution<int> pct(0, 99), kind(0, 2);
        std::vector<std::string> p(n, std::string(n, '0'));
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++)
                if (pct(rng) < 12) p[i][j] = "SWI"[kind(rng)];
        auto plain = make_record(p);
        auto seq = make_record(p);
        for (auto *rec : {plain.get(), seq.get()}) {
            ASSERT_EQ(kavelon_fast_identify_blocks_subblocks(&rec->dt), 0);
            ASSERT_EQ(kavelon_fast_sort_P(&rec->dt), 0);
            ASSERT_EQ(kavelon_fast_identify_predecessor_blocks(&rec->dt), 0);
        }
        KAVELON &dt = seq->dt;
        dt.sequence = round % 2 ? KAVELON_SEQUENCE_DISTANCE : KAVELON_SEQUENCE_INPUTS;
        ASSERT_EQ(kavelon_sequence_blocks(&dt), 0);
        ASSERT_NE(dt.block_sequence, nullptr);

        const auto before = ordering_test::activity_order(plain->dt);
        const auto after = ordering_test::activity_order(dt);
        auto where = [&](const std::string &name) {
            return static_cast<int>(std::find(before.begin(), before.end(), name) - before.begin());
        };
        for (int first = 0, end = 0; first < n; first = end) {
            const int block = dt.d[first]->block_order;
            for (end = first + 1; end < n && dt.d[end]->block_order == block;) end++;
            long strong_n = 0, weak_n = 0, strong_d = 0, weak_d = 0;
            for (int i = first; i < end; i++) {
                const int was = where(after[i]);
                ASSERT_TRUE(was >= first && was < end) << "round " << round;
                EXPECT_EQ(dt.d[i]->predecessor_block, plain->dt.d[was]->predecessor_block);
                EXPECT_EQ(dt.d[i]->subblock_order,
                          plain->dt.d[first]->subblock_order != 0 ? i - first + 1 : 0);
                const std::string row = ordering_test::row_codes(dt.P[i], n);
                const std::string row_before = ordering_test::row_codes(plain->dt.P[was], n);
                for (int j = 0; j < n; j++) {
                    // Every dependency still joins the same two activities.
                    EXPECT_EQ(row[j], row_before[where(after[j])]);
                    if (j <= i || j >= end || row[j] == '0') continue;
                    (row[j] == 'S' ? strong_n : weak_n)++;
                    (row[j] == 'S' ? strong_d : weak_d) += j - i;
                }
            }
            const BLOCKSEQ &r = dt.block_sequence[block - 1];
            EXPECT_EQ(r.strong_inputs, strong_n);
            EXPECT_EQ(r.weak_inputs, weak_n);
            EXPECT_EQ(r.strong_distance, strong_d);
            EXPECT_EQ(r.weak_distance, weak_d);
            if (end - first <= KAVELON_EXACT_LIMIT) {
                EXPECT_EQ(r.optimal, 1);
            }
        }
    }
}

TEST(Sequence, BoundedExactSearchAgreesOnLargerBlocks) {
    std::mt19937 rng(5);
    for (int round = 0; round < 6; round++) {
        const int n = 17 + round % 3;
        const auto p = random_block(rng, n, 8 + 10 * (round % 2));
        const SEQGRAPH g = graph_of(p);
        for (int objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
            std::vector<int32_t> bounded, full;
            ASSERT_EQ(kavelon_order_exactly(&g, objective, &bounded, 0), 0);
            ASSERT_EQ(kavelon_order_exactly(&g, objective, &full, KAVELON_EXACT_LIMIT + 1), 0);
            EXPECT_EQ(bounded, full) << "round " << round;
        }
    }
    // Dense, with more weak/ICD marks than the bound numbers for its cycles.
    std::mt19937 dense_rng(11);
    const auto p = random_block(dense_rng, 18, 35);
    const SEQGRAPH g = graph_of(p);
    int64_t weak = 0;
    for (const SEQMARK &m : g.marks) weak += m.strong ? 0 : 1;
    ASSERT_GT(weak, 64);
    for (int objective : {KAVELON_SEQUENCE_INPUTS, KAVELON_SEQUENCE_DISTANCE}) {
        std::vector<int32_t> bounded, full;
        ASSERT_EQ(kavelon_order_exactly(&g, objective, &bounded, 0), 0);
        ASSERT_EQ(kavelon_order_exactly(&g, objective, &full, KAVELON_EXACT_LIMIT + 1), 0);
        EXPECT_EQ(bounded, full) << "dense block, objective " << objective;
    }
}
