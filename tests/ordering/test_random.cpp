// The ordering checked against its properties on many random matrices: an
// independent oracle works out, block by block, which rows had to form each
// block, and the sort and the predecessor blocks are checked against the
// original tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ordering/steps.h"
#include "ordering/ordering_fixture.h"

using ordering_test::make_record;
using ordering_test::row_codes;

namespace {

std::string random_row(std::mt19937 &rng, int length, int strong_percent) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::string row;
    for (int j = 0; j < length; j++) {
        const int p = percent(rng);
        if (p < strong_percent)
            row += 'S';
        else if (p < strong_percent + 10)
            row += 'W';
        else if (p < strong_percent + 15)
            row += 'I';
        else
            row += '0';
    }
    return row;
}

bool strong(const std::vector<std::string> &p, int i, int j) { return i != j && p[i][j] == 'S'; }

// reach[i][j]: row j is reachable from row i over strong inputs among the
// rows of `set` (every row reaches itself).
std::vector<std::vector<bool>> reachability(const std::vector<std::string> &p,
                                            const std::vector<bool> &set) {
    const int n = static_cast<int>(p.size());
    std::vector<std::vector<bool>> reach(n, std::vector<bool>(n, false));
    for (int i = 0; i < n; i++) {
        if (!set[i]) continue;
        reach[i][i] = true;
        for (int j = 0; j < n; j++) reach[i][j] = reach[i][j] || (set[j] && strong(p, i, j));
    }
    for (int k = 0; k < n; k++)
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++)
                if (reach[i][k] && reach[k][j]) reach[i][j] = true;
    return reach;
}

// The rows that must form the next block, given the unassigned rows: all
// free rows if there are any, else the smallest terminal strongly connected
// set, the one holding the lowest row among equals in size.
std::vector<int> expected_next_block(const std::vector<std::string> &p,
                                     const std::vector<bool> &unassigned, bool *independent) {
    const int n = static_cast<int>(p.size());
    std::vector<int> free_rows;
    for (int i = 0; i < n; i++) {
        if (!unassigned[i]) continue;
        bool is_free = true;
        for (int j = 0; j < n; j++)
            if (unassigned[j] && strong(p, i, j)) is_free = false;
        if (is_free) free_rows.push_back(i);
    }
    *independent = !free_rows.empty();
    if (*independent) return free_rows;

    const auto reach = reachability(p, unassigned);
    std::vector<int> best;
    for (int i = 0; i < n; i++) {
        if (!unassigned[i]) continue;
        // Terminal: every row that i reaches reaches i back.
        std::vector<int> component;
        bool terminal = true;
        for (int j = 0; j < n; j++) {
            if (!reach[i][j]) continue;
            if (!reach[j][i]) terminal = false;
            component.push_back(j);
        }
        if (terminal && (best.empty() || component.size() < best.size())) best = component;
    }
    return best;
}

// Checks the blocks of one matrix, block by block, against the oracle.
void check_blocks(const std::vector<std::string> &p, const KAVELON &dt) {
    const int n = dt.n;
    ASSERT_GE(dt.nblock, 1);
    std::vector<bool> unassigned(n, true);
    for (int b = 1; b <= dt.nblock; b++) {
        bool independent = false;
        const std::vector<int> expected = expected_next_block(p, unassigned, &independent);
        std::vector<int> actual;
        for (int i = 0; i < n; i++)
            if (dt.d[i]->block_order == b) actual.push_back(i);
        ASSERT_EQ(actual, expected) << "block " << b;
        for (size_t k = 0; k < actual.size(); k++) {
            const int want = independent ? static_cast<int>(k) + 1 : 0;
            ASSERT_EQ(dt.d[actual[k]]->subblock_order, want) << "block " << b;
        }
        if (!independent) {
            // Strongly connected, and nothing unassigned outside it needed.
            std::vector<bool> in_block(n, false);
            for (int i : actual) in_block[i] = true;
            const auto reach = reachability(p, in_block);
            for (int i : actual)
                for (int j : actual) ASSERT_TRUE(reach[i][j]) << "block " << b;
            for (int i : actual)
                for (int j = 0; j < n; j++)
                    ASSERT_FALSE(unassigned[j] && !in_block[j] && strong(p, i, j))
                        << "block " << b;
        }
        for (int i : actual) unassigned[i] = false;
    }
    // Every row got a block, so no number is skipped.
    for (int i = 0; i < n; i++) ASSERT_FALSE(unassigned[i]) << "row " << i;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            if (strong(p, i, j)) {
                ASSERT_LE(dt.d[j]->block_order, dt.d[i]->block_order);
            }

    // Work fields as the steps leave them: no candidate or delete marks;
    // the remaining counts of the last attempt, which formed the last block.
    for (int i = 0; i < n; i++) {
        const ACTSTATE *s = dt.d[i];
        ASSERT_EQ(s->candidate_rows, 0);
        ASSERT_EQ(s->delete_chain, 0);
        ASSERT_EQ(s->trial_chain, 0);
        int remaining = 0;
        if (s->block_order == dt.nblock)
            for (int j = 0; j < n; j++)
                if (dt.d[j]->block_order == dt.nblock && strong(p, i, j)) remaining++;
        ASSERT_EQ(s->row_nbr_remaining_s, remaining) << "row " << i;
    }
}

}  // namespace

TEST(OrderingRandom, PropertiesHoldOnRandomMatrices) {
    std::mt19937 rng(20210626);
    std::uniform_int_distribution<int> size(1, 11);
    std::uniform_int_distribution<int> density(0, 45);
    std::uniform_int_distribution<int> extra(0, 2);
    for (int round = 0; round < 1000; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int n = size(rng);
        const int strong_percent = density(rng);
        const int nq = extra(rng);
        const int nr = extra(rng);
        std::vector<std::string> p, q, r, t;
        for (int i = 0; i < n; i++) p.push_back(random_row(rng, n, strong_percent));
        if (nq > 0)
            for (int i = 0; i < n; i++) q.push_back(random_row(rng, nq, 30));
        for (int o = 0; o < nr; o++) r.push_back(random_row(rng, n, 30));
        if (nq > 0)
            for (int o = 0; o < nr; o++) t.push_back(random_row(rng, nq, 30));
        auto rec = make_record(p, {}, q, r, t);
        KAVELON &dt = rec->dt;

        // Every tenth matrix with the debug trace on, which must not change
        // the result.
        if (round % 10 == 0) {
            int result = -1;
            ordering_test::capture_trace(dt, kavelon_identify_blocks_subblocks, &result);
            ASSERT_EQ(result, 0);
        } else {
            ASSERT_EQ(kavelon_identify_blocks_subblocks(&dt), 0);
        }
        check_blocks(p, dt);
        std::vector<int> original_block;
        for (int i = 0; i < n; i++) original_block.push_back(dt.d[i]->block_order);
        const int nblock = dt.nblock;

        ASSERT_EQ(kavelon_sort_P(&dt), 0);
        ASSERT_EQ(dt.nblock, nblock);
        // origin[i]: the input row now standing at row i.
        std::vector<int> origin;
        for (int i = 0; i < n; i++) {
            origin.push_back(std::stoi(dt.design_activity_name[i] + 1));
            ASSERT_EQ(dt.design_data_name[i], "d" + std::to_string(origin[i]));
            ASSERT_EQ(dt.d[i], &rec->states[origin[i]]);
        }
        for (int i = 0; i + 1 < n; i++)
            ASSERT_LE(dt.d[i]->block_order, dt.d[i + 1]->block_order);
        std::vector<int> first_block_rows;
        for (int i = 0; i < n; i++)
            if (original_block[origin[i]] == 1) first_block_rows.push_back(origin[i]);
        ASSERT_TRUE(std::is_sorted(first_block_rows.begin(), first_block_rows.end()));
        for (int i = 0; i < n; i++) {
            for (int j = 0; j < n; j++) ASSERT_EQ(row_codes(dt.P[i], n)[j], p[origin[i]][origin[j]]);
            if (nq > 0) {
                ASSERT_EQ(row_codes(dt.Q[i], nq), q[origin[i]]);
            }
        }
        for (int o = 0; o < nr; o++) {
            for (int j = 0; j < n; j++) ASSERT_EQ(row_codes(dt.R[o], n)[j], r[o][origin[j]]);
            if (nq > 0) {
                ASSERT_EQ(row_codes(dt.T[o], nq), t[o]);
            }
        }

        ASSERT_EQ(kavelon_identify_predecessor_blocks(&dt), 0);
        std::vector<int> expected_predecessor(nblock + 1, 0);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++)
                if (strong(p, i, j) && original_block[j] < original_block[i])
                    expected_predecessor[original_block[i]] =
                        std::max(expected_predecessor[original_block[i]], original_block[j]);
        for (int i = 0; i < n; i++) {
            ASSERT_EQ(dt.d[i]->predecessor_block, expected_predecessor[dt.d[i]->block_order]);
            ASSERT_LT(dt.d[i]->predecessor_block, dt.d[i]->block_order);
        }
    }
}
