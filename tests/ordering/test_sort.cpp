// Row sorting and predecessor blocks on small hand-built records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavelon.h"
#include "ordering/ordering_fixture.h"

using ordering_test::activity_order;
using ordering_test::blocks;
using ordering_test::capture_trace;
using ordering_test::make_record;
using ordering_test::p_matrix;
using ordering_test::predecessors;
using ordering_test::subblocks;
using S = std::vector<std::string>;
using V = std::vector<int>;

namespace {

const char *kSortEnter = "enter kavelon_sort_P(KAVELON *dt)\n";
const char *kSortExit = "exit kavelon_sort_P(KAVELON *dt)\n";

void set_blocks(KAVELON &dt, const V &b) {
    for (int i = 0; i < dt.n; i++) dt.d[i]->block_order = b[i];
}

std::string predecessor_trace(int n, int j, int block_start, int max_block) {
    return "enter kavelon_identify_predecessor_blocks(KAVELON *dt)\n"
           "End of first step  dt->n = " +
           std::to_string(n) + " \nEnd of second step i = " + std::to_string(n) +
           " j =" + std::to_string(j) + " block_start = " + std::to_string(block_start) +
           " max_block = " + std::to_string(max_block) +
           "\nexit kavelon_identify_predecessor_blocks(KAVELON *dt)\n";
}

}  // namespace

// K and L need each other, L also needs M: blocks 2, 2, 1.
TEST(Sort, KlmSwapsRowsTwoAndZero) {
    auto rec = make_record({"0S0", "S0S", "000"}, {"K", "L", "M"}, {"S0", "0W", "I0"},
                           {"SWI", "0S0"}, {"0I", "W0"});
    KAVELON &dt = rec->dt;
    ASSERT_EQ(kavelon_identify_blocks_subblocks(&dt), 0);
    ASSERT_EQ(blocks(dt), V({2, 2, 1}));
    ACTSTATE *state_of_k = dt.d[0];
    ACTSTATE *state_of_m = dt.d[2];
    char *t_row = dt.T[0];

    int result = -1;
    EXPECT_EQ(capture_trace(dt, kavelon_sort_P, &result),
              std::string(kSortEnter) + "swap rows 2 and 0\n" + kSortExit);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(activity_order(dt), S({"M", "L", "K"}));
    EXPECT_EQ(dt.design_data_name[0], std::string("d2"));
    EXPECT_EQ(dt.design_data_name[2], std::string("d0"));
    EXPECT_EQ(blocks(dt), V({1, 2, 2}));
    EXPECT_EQ(subblocks(dt), V({1, 0, 0}));
    EXPECT_EQ(dt.d[0], state_of_m);
    EXPECT_EQ(dt.d[2], state_of_k);
    // P keeps its meaning: consumer by row, producer by column.
    EXPECT_EQ(p_matrix(dt), S({"000", "S0S", "0S0"}));
    EXPECT_EQ(S({dt.Q[0], dt.Q[1], dt.Q[2]}), S({"I0", "0W", "S0"}));
    EXPECT_EQ(S({dt.R[0], dt.R[1]}), S({"IWS", "0S0"}));
    EXPECT_EQ(dt.T[0], t_row);
    EXPECT_EQ(S({dt.T[0], dt.T[1]}), S({"0I", "W0"}));

    // Only L has a strong input from block 1, yet K shares the predecessor.
    EXPECT_EQ(capture_trace(dt, kavelon_identify_predecessor_blocks, &result),
              predecessor_trace(3, 1, 1, 1));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(predecessors(dt), V({0, 1, 1}));
}

TEST(Sort, RowsAlreadyInOrderAreNotSwapped) {
    auto rec = make_record({"0I0", "S00", "0SW"});
    KAVELON &dt = rec->dt;
    ASSERT_EQ(kavelon_identify_blocks_subblocks(&dt), 0);
    ASSERT_EQ(blocks(dt), V({1, 2, 3}));
    EXPECT_EQ(capture_trace(dt, kavelon_sort_P), std::string(kSortEnter) + kSortExit);
    EXPECT_EQ(activity_order(dt), S({"a0", "a1", "a2"}));
    EXPECT_EQ(p_matrix(dt), S({"0I0", "S00", "0SW"}));
    EXPECT_EQ(kavelon_identify_predecessor_blocks(&dt), 0);
    EXPECT_EQ(predecessors(dt), V({0, 1, 2}));
}

TEST(Sort, FirstBlockKeepsInputOrder) {
    // Blocks 2, 1, 3, 1: block 1 comes out as rows 1 and 3 in that order.
    auto rec = make_record({"000S", "0000", "S000", "0000"});
    KAVELON &dt = rec->dt;
    set_blocks(dt, {2, 1, 3, 1});
    dt.nblock = 3;
    EXPECT_EQ(capture_trace(dt, kavelon_sort_P),
              std::string(kSortEnter) +
                  "swap rows 1 and 0\n"
                  "swap rows 3 and 1\n"
                  "swap rows 3 and 2\n" +
                  kSortExit);
    // 1 and 0: a1 a0 a2 a3; 3 and 1: a1 a3 a2 a0; 3 and 2: a1 a3 a0 a2.
    EXPECT_EQ(activity_order(dt), S({"a1", "a3", "a0", "a2"}));
    EXPECT_EQ(blocks(dt), V({1, 1, 2, 3}));
    EXPECT_EQ(p_matrix(dt), S({"0000", "0000", "0S00", "00S0"}));
}

TEST(Sort, SingleActivity) {
    auto rec = make_record({"S"});
    KAVELON &dt = rec->dt;
    ASSERT_EQ(kavelon_identify_blocks_subblocks(&dt), 0);
    EXPECT_EQ(capture_trace(dt, kavelon_sort_P), std::string(kSortEnter) + kSortExit);
    EXPECT_EQ(capture_trace(dt, kavelon_identify_predecessor_blocks),
              predecessor_trace(1, 0, 0, 0));
    EXPECT_EQ(predecessors(dt), V({0}));
    EXPECT_EQ(dt.P[0], std::string("S"));
}

TEST(Sort, ImpossibleBlockNumbersEndTheSortAfterTheLastBlock) {
    // Block 0 and a number above nblock never match a pass; the sort stops
    // after the pass for block nblock and leaves them behind.
    auto rec = make_record({"000", "000", "000"});
    KAVELON &dt = rec->dt;
    set_blocks(dt, {0, 7, 1});
    dt.nblock = 1;
    int result = -1;
    EXPECT_EQ(capture_trace(dt, kavelon_sort_P, &result),
              std::string(kSortEnter) + "swap rows 2 and 0\n" + kSortExit);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(blocks(dt), V({1, 7, 0}));
}

TEST(Sort, SwapRowsRejectsPositionsOutOfRange) {
    auto rec = make_record({"0S", "W0"}, {}, {"S", "I"}, {"SW"});
    KAVELON &dt = rec->dt;
    for (auto [i, j] : {std::pair{-1, 0}, std::pair{0, 2}, std::pair{2, 1}, std::pair{1, -5}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(kavelon_swap_rows(&dt, i, j), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  " *** internal error in kavelon_swap_rows()\n");
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(kavelon_swap_rows(nullptr, 0, 0), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              " *** internal error in kavelon_swap_rows()\n");
    EXPECT_EQ(p_matrix(dt), S({"0S", "W0"}));
    EXPECT_EQ(S({dt.Q[0], dt.Q[1]}), S({"S", "I"}));
    EXPECT_EQ(dt.R[0], std::string("SW"));
    EXPECT_EQ(activity_order(dt), S({"a0", "a1"}));

    // A valid swap moves the diagonal cells with their activities.
    auto diag = make_record({"S0", "IW"});
    EXPECT_EQ(kavelon_swap_rows(&diag->dt, 0, 1), 0);
    EXPECT_EQ(p_matrix(diag->dt), S({"WI", "0S"}));
}

TEST(Predecessors, HighestEarlierBlockOfAnyRowOfTheBlock) {
    // Blocks 1, 2, 3, 4, 4. Row 3 needs blocks 1 and 3 (and row 4 of its own
    // block); row 4 has only weak inputs from earlier blocks.
    auto rec = make_record({"00000", "00000", "0S000", "S0S0S", "WI0S0"});
    KAVELON &dt = rec->dt;
    set_blocks(dt, {1, 2, 3, 4, 4});
    dt.nblock = 4;
    EXPECT_EQ(capture_trace(dt, kavelon_identify_predecessor_blocks),
              predecessor_trace(5, 3, 3, 3));
    EXPECT_EQ(predecessors(dt), V({0, 0, 2, 3, 3}));
}

TEST(Predecessors, WeakAndIcdInputsDoNotCount) {
    auto rec = make_record({"000", "W00", "0IS"});
    KAVELON &dt = rec->dt;
    set_blocks(dt, {1, 2, 3});
    dt.nblock = 3;
    dt.d[2]->predecessor_block = 9;  // stale values are overwritten
    EXPECT_EQ(kavelon_identify_predecessor_blocks(&dt), 0);
    EXPECT_EQ(predecessors(dt), V({0, 0, 0}));
}

// Five activities in input order: a1 needs d3; a2 needs nothing; a3 needs
// d1 and d2; a4 needs d1 (and d5 weakly); a5 needs nothing.
TEST(Sort, TypicalRunFromBlocksToPredecessors) {
    auto rec = make_record({"00S00", "00000", "SS000", "S000W", "00000"},
                           {"a1", "a2", "a3", "a4", "a5"});
    KAVELON &dt = rec->dt;
    ASSERT_EQ(kavelon_identify_blocks_subblocks(&dt), 0);
    EXPECT_EQ(blocks(dt), V({2, 1, 2, 3, 1}));
    EXPECT_EQ(subblocks(dt), V({0, 1, 0, 1, 2}));
    EXPECT_EQ(capture_trace(dt, kavelon_sort_P),
              std::string(kSortEnter) +
                  "swap rows 1 and 0\n"
                  "swap rows 4 and 1\n"
                  "swap rows 4 and 3\n" +
                  kSortExit);
    EXPECT_EQ(activity_order(dt), S({"a2", "a5", "a3", "a1", "a4"}));
    EXPECT_EQ(p_matrix(dt), S({"00000", "00000", "S00S0", "00S00", "0W0S0"}));
    EXPECT_EQ(capture_trace(dt, kavelon_identify_predecessor_blocks),
              predecessor_trace(5, 4, 4, 2));
    EXPECT_EQ(predecessors(dt), V({0, 0, 1, 1, 2}));
}
