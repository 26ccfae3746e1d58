// Both orderings, the literal step-by-step one and the fast one, against
// results worked out by hand; the literal steps' edge cases with their exact
// debug traces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ordering/steps.h"
#include "ordering/ordering_fixture.h"

using ordering_test::capture_trace;
using ordering_test::field;
using ordering_test::make_record;
using ordering_test::row_codes;
using ordering_test::set_field;
using V = std::vector<int>;

namespace {

// Activity names, then "block.subblock.predecessor", per final row.
std::string outcome(const KAVELON &dt) {
    std::string names, states;
    for (int i = 0; i < dt.n; i++) {
        const ACTSTATE *a = dt.d[i];
        names += std::string(i ? " " : "") + dt.design_activity_name[i];
        states += (i ? " " : "") + std::to_string(a->block_order) + "." + std::to_string(a->subblock_order) + "." +
                  std::to_string(a->predecessor_block);
    }
    return names + " | " + states + " | " + std::to_string(dt.nblock);
}

const char *kEnter = "Enter kavelon_identify_blocks_subblocks(KAVELON *dt)\n";
const char *kExit = "Exit kavelon_identify_blocks_subblocks(KAVELON *dt)\n";
const char *kFindOne =
    "enter kavelon_find_order_1_block(dt)\n"
    "entering kavelon_count_remaining_strong(dt)\n"
    "exiting kavelon_count_remaining_strong(dt)\n";
const char *kElimination =
    "entering kavelon_eliminate_candidate_rows_1(dt)\n"
    "exiting kavelon_eliminate_candidate_rows_1(dt)\n";
const char *kStateHeading =
    " \nBLOCK_ORDER SUBBLOCK_ORDER PREDECESSOR_BLOCK TRIAL_CHAIN . CANDIDATE_ROWS . "
    "ROW_NBR_REMAINING_S . DELETE_CHAIN\n";

std::string find_n_start(int n, int candidates) {
    return "Enter kavelon_find_order_n_block(dt," + std::to_string(n) +
           ")\n"
           "entering kavelon_count_remaining_strong(dt)\n"
           "exiting kavelon_count_remaining_strong(dt)\n"
           "After initial search of candidate rows, n = " +
           std::to_string(n) + " nbr_candidate_rows = " + std::to_string(candidates) + "\n";
}

}  // namespace

TEST(Order, HandWorkedCasesBothWays) {
    const struct {
        std::vector<std::string> p;
        const char *expected;
    } cases[] = {
        {{"0"}, "a0 | 1.1.0 | 1"},
        // Strong self-dependencies never count; weak and ICD cycles hold
        // nothing back.
        {{"S0", "SS"}, "a0 a1 | 1.1.0 2.1.1 | 2"},
        {{"0WI0", "W00I", "I0W0", "0W0I"}, "a0 a1 a2 a3 | 1.1.0 1.2.0 1.3.0 1.4.0 | 1"},
        // K on L, L on M: rows freed by a block wait for the next block.
        {{"0S0", "00S", "000"}, "a2 a1 a0 | 1.1.0 2.1.1 3.1.2 | 3"},
        {{"0S", "S0"}, "a0 a1 | 1.0.0 1.0.0 | 1"},
        // Row 0 needs the 2-cycle {1, 2}: seed 0 reaches all three rows and
        // is rejected.
        {{"0S0", "00S", "0S0"}, "a1 a2 a0 | 1.0.0 1.0.0 2.1.1 | 2"},
        // The typical run: a1..a5 are rows 0..4; swaps 1/0, 4/1, 4/3.
        {{"00S00", "00000", "SS000", "S000W", "00000"}, "a1 a4 a2 a0 a3 | 1.1.0 1.2.0 2.0.1 2.0.1 3.1.2 | 3"},
        // Disjoint 2-cycles {0,3} and {1,2}: the tie goes to the lowest row.
        {{"000S", "00S0", "0S00", "S000"}, "a0 a3 a2 a1 | 1.0.0 1.0.0 2.0.0 2.0.0 | 2"},
        // 0 on 3, 3 on 2, 2 on 0, 1 on 4 and 0, 4 on 1 and 2: the seed is
        // rejected at size 2 and accepted at 3.
        {{"000S0", "S000S", "S0000", "00S00", "0SS00"}, "a0 a2 a3 a1 a4 | 1.0.0 1.0.0 1.0.0 2.0.1 2.0.1 | 2"},
        // A 3-cycle on rows 0..2 and a 2-cycle on rows 3, 4: the smaller first.
        {{"0S000", "00S00", "S0000", "0000S", "000S0"}, "a3 a4 a2 a0 a1 | 1.0.0 1.0.0 2.0.0 2.0.0 2.0.0 | 2"},
        // Row 2 is free while {0, 1} is coupled: single rows go first.
        {{"0S0", "S00", "000"}, "a2 a1 a0 | 1.1.0 2.0.0 2.0.0 | 2"},
        // Blocks 2, 2, 1 in input order: the sort is not stable, K L M -> M L K.
        {{"0SS", "S0S", "000"}, "a2 a1 a0 | 1.1.0 2.0.1 2.0.1 | 2"},
        // Row 3 depends on blocks 1 and 3, row 4 coupled with it on nothing
        // else: the whole block takes 3.
        {{"00000", "S0000", "0S000", "S0S0S", "000S0"}, "a0 a1 a2 a3 a4 | 1.1.0 2.1.1 3.1.2 4.0.3 4.0.3 | 4"},
        // An independent block after the first numbers its rows in input order.
        {{"00S00", "S0000", "S0000", "00S00", "S0S00"}, "a0 a2 a1 a3 a4 | 1.0.0 1.0.0 2.1.1 2.2.1 2.3.1 | 2"},
    };
    for (const auto &c : cases) {
        auto literal = make_record(c.p), fast = make_record(c.p);
        EXPECT_EQ(kavelon_identify_blocks_subblocks(&literal->dt), 0);
        EXPECT_EQ(kavelon_sort_P(&literal->dt), 0);
        EXPECT_EQ(kavelon_identify_predecessor_blocks(&literal->dt), 0);
        EXPECT_EQ(outcome(literal->dt), c.expected) << "literal";
        EXPECT_EQ(kavelon_fast_identify_blocks_subblocks(&fast->dt), 0);
        EXPECT_EQ(kavelon_fast_sort_P(&fast->dt), 0);
        EXPECT_EQ(kavelon_fast_identify_predecessor_blocks(&fast->dt), 0);
        EXPECT_EQ(outcome(fast->dt), c.expected) << "fast";
    }
}

TEST(OrderTrace, TwoCycleIsOneCoupledBlock) {
    auto rec = make_record({"0S", "S0"});
    EXPECT_EQ(capture_trace(rec->dt, kavelon_identify_blocks_subblocks),
              std::string(kEnter) + kFindOne + "flag = 0   ncnt = 2   block_size = 1\n" + find_n_start(2, 2) +
                  kElimination +
                  "After search for self contained set of rows, n = 2 nbr_candidate_rows = 2\n"
                  "Numberof candidate rows == n (2)\n"
                  " exiting kavelon_find_order_n_block() with value 1\n"
                  "flag = 1   ncnt = 2   block_size = 2\n" +
                  kStateHeading +
                  "   0                   a0                   d0  1  0  0  0. 0. 1. 0 XS (null)\n"
                  "   1                   a1                   d1  1  0  0  0. 0. 1. 0 SX (null)\n\n" +
                  kExit);
}

// Strong inputs: 0 on 3, 3 on 2, 2 on 0, 1 on 4 and 0, 4 on 1 and 2.
TEST(OrderTrace, SeedRejectedAtTwoAcceptedAtThree) {
    auto rec = make_record({"000S0", "S000S", "S0000", "00S00", "0SS00"});
    EXPECT_EQ(
        capture_trace(rec->dt, kavelon_identify_blocks_subblocks),
        std::string(kEnter) + kFindOne + "flag = 0   ncnt = 5   block_size = 1\n" + find_n_start(2, 3) +
            kElimination +
            "After search for self contained set of rows, n = 2 nbr_candidate_rows = 3\n"
            " entering kavelon_reduce_candidate_block(dt,2)\n"
            "exiting kavelon_mark_trial_chain(dt)\n"
            "candidate row for chain = 0   nbr in the chain = 3 n = 2\n"
            "In kavelon_delete_chain, deleting following Candidate Rows:  0 2 3\n"
            "exiting kavelon_reduce_candidate_block(dt,2) with value 0\n"
            "After searching for smaller blocks, n = 2 nbr_candidate_rows = 0\n"
            " exiting kavelon_find_order_n_block() with value 0)\n"
            "flag = 0   ncnt = 5   block_size = 2\n" +
            find_n_start(3, 5) + kElimination +
            "After search for self contained set of rows, n = 3 nbr_candidate_rows = 5\n"
            " entering kavelon_reduce_candidate_block(dt,3)\n"
            "exiting kavelon_mark_trial_chain(dt)\n"
            "candidate row for chain = 0   nbr in the chain = 3 n = 3\n"
            "exiting kavelon_reduce_candidate_block(dt,3) with value 3\n"
            "After searching for smaller blocks, n = 3 nbr_candidate_rows = 3\n"
            " exiting kavelon_find_order_n_block() with value 1)\n"
            "flag = 1   ncnt = 5   block_size = 3\n" +
            kStateHeading +
            "   0                   a0                   d0  1  0  0  0. 0. 1. 0 X00S0 (null)\n"
            "   1                   a1                   d1  0  0  0  0. 0. 2. 0 SX00S (null)\n"
            "   2                   a2                   d2  1  0  0  0. 0. 1. 0 S0X00 (null)\n"
            "   3                   a3                   d3  1  0  0  0. 0. 1. 0 00SX0 (null)\n"
            "   4                   a4                   d4  0  0  0  0. 0. 2. 0 0SS0X (null)\n"
            "\n" +
            kFindOne + "flag = 0   ncnt = 2   block_size = 1\n" + find_n_start(2, 2) + kElimination +
            "After search for self contained set of rows, n = 2 nbr_candidate_rows = 2\n"
            "Numberof candidate rows == n (2)\n"
            " exiting kavelon_find_order_n_block() with value 1\n"
            "flag = 1   ncnt = 2   block_size = 2\n" +
            kStateHeading +
            "   0                   a0                   d0  1  0  0  0. 0. 0. 0 X00S0 (null)\n"
            "   1                   a1                   d1  2  0  0  0. 0. 1. 0 SX00S (null)\n"
            "   2                   a2                   d2  1  0  0  0. 0. 0. 0 S0X00 (null)\n"
            "   3                   a3                   d3  1  0  0  0. 0. 0. 0 00SX0 (null)\n"
            "   4                   a4                   d4  2  0  0  0. 0. 1. 0 0SS0X (null)\n"
            "\n" +
            kExit);
}

// K and L need each other, L also needs M: blocks 2, 2, 1. Every table
// follows its activity; only L has a strong input from block 1, yet K
// shares the predecessor.
TEST(OrderTrace, SortAndPredecessorsOfKlm) {
    auto rec = make_record({"0S0", "S0S", "000"}, {"K", "L", "M"}, {"S0", "0W", "I0"}, {"SWI", "0S0"},
                           {"0I", "W0"});
    KAVELON &dt = rec->dt;
    ASSERT_EQ(kavelon_identify_blocks_subblocks(&dt), 0);
    EXPECT_EQ(capture_trace(dt, kavelon_sort_P),
              "enter kavelon_sort_P(KAVELON *dt)\nswap rows 2 and 0\nexit kavelon_sort_P(KAVELON *dt)\n");
    EXPECT_EQ(capture_trace(dt, kavelon_identify_predecessor_blocks),
              "enter kavelon_identify_predecessor_blocks(KAVELON *dt)\n"
              "End of first step  dt->n = 3 \n"
              "End of second step i = 3 j =1 block_start = 1 max_block = 1\n"
              "exit kavelon_identify_predecessor_blocks(KAVELON *dt)\n");
    EXPECT_EQ(outcome(dt), "M L K | 1.1.0 2.0.1 2.0.1 | 2");
    EXPECT_STREQ(dt.design_data_name[0], "d2");
    EXPECT_EQ(dt.d[0], &rec->states[2]);
    EXPECT_EQ((std::vector<std::string>{row_codes(dt.P[0], 3), row_codes(dt.P[1], 3), row_codes(dt.P[2], 3),
                                        row_codes(dt.Q[0], 2), row_codes(dt.Q[2], 2), row_codes(dt.R[0], 3),
                                        row_codes(dt.T[0], 2)}),
              (std::vector<std::string>{"000", "S0S", "0S0", "I0", "S0", "IWS", "0I"}));
}

// The steps of the block search on their own, with the marks set by hand.
TEST(OrderSteps, SearchForABlockOfSizeN) {
    auto rec = make_record({"0SS", "S0S", "000"});
    EXPECT_EQ(kavelon_find_order_n_block(&rec->dt, 0), -1);
    // Rows 0 and 1 both need two unassigned rows: at size 2 only row 2 is a
    // candidate, too few.
    EXPECT_EQ(capture_trace(rec->dt, [](KAVELON *dt) { return kavelon_find_order_n_block(dt, 2); }),
              find_n_start(2, 1) + "exiting kavelon_find_order_n_block(dt,2) with value 0\n");
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 0, 1}));
    EXPECT_EQ(rec->dt.nblock, 0);
}

TEST(OrderSteps, EliminationRestartsAfterEachRemovalAndSkipsAssignedRows) {
    // Row 0 needs row 1, row 1 needs the unassigned non-candidate row 2.
    // Removing row 1 disqualifies row 0, which the pass had already passed.
    auto rec = make_record({"0S0", "00S", "000"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 0});
    EXPECT_EQ(kavelon_eliminate_candidate_rows_1(&rec->dt), 0);
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 0, 0}));

    auto assigned = make_record({"0SS", "S00", "000"});
    assigned->dt.d[2]->block_order = 1;
    set_field(assigned->dt, &ACTSTATE::candidate_rows, {1, 1, 0});
    EXPECT_EQ(kavelon_eliminate_candidate_rows_1(&assigned->dt), 2);
}

TEST(OrderSteps, TrialChainStepsBackToEarlierRows) {
    // Seed 3 needs row 1, which needs row 0: both lie before the row that
    // marks them. Row 2 is not a candidate, so row 0's need of it is no link.
    auto rec = make_record({"00S0", "S000", "0000", "0S00"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 0, 1});
    set_field(rec->dt, &ACTSTATE::trial_chain, {0, 0, 0, 1});
    EXPECT_EQ(kavelon_mark_trial_chain(&rec->dt), 3);
    EXPECT_EQ(field(rec->dt, &ACTSTATE::trial_chain), V({1, 1, 0, 1}));
}

TEST(OrderSteps, DeleteChainFollowsDependentsBackwards) {
    // Row 1 needs seed 3 and row 0 needs row 1: the delete chain is 0, 1, 3.
    // Row 2 needs the seed too but is no candidate; row 4 keeps its trial
    // mark, which only the next seed clears.
    auto rec = make_record({"0S000", "000S0", "000S0", "00000", "000S0"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 0, 1, 0});
    set_field(rec->dt, &ACTSTATE::trial_chain, {1, 0, 1, 1, 1});
    set_field(rec->dt, &ACTSTATE::delete_chain, {0, 0, 0, 1, 0});
    EXPECT_EQ(capture_trace(rec->dt,
                            [](KAVELON *dt) {
                                kavelon_delete_chain(dt);
                                return 0;
                            }),
              "In kavelon_delete_chain, deleting following Candidate Rows:  0 1 3\n");
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 0, 0, 0, 0}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::delete_chain), V({0, 0, 0, 0, 0}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::trial_chain), V({0, 0, 1, 0, 1}));
}

TEST(OrderSteps, ReductionSkipsDeletedSeedsAndTakesTheFirstFittingChain) {
    // Row 0 needs row 1, rows 1 and 2 need each other, row 3 needs row 0.
    // Seed 0 reaches 0, 1, 2 (three rows) and deletes itself and row 3,
    // which depends on it; seed 1 gives the 2-cycle.
    auto rec = make_record({"0S00", "00S0", "0S00", "S000"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 1, 1});
    EXPECT_EQ(capture_trace(rec->dt, [](KAVELON *dt) { return kavelon_reduce_candidate_block(dt, 2); }),
              " entering kavelon_reduce_candidate_block(dt,2)\n"
              "exiting kavelon_mark_trial_chain(dt)\n"
              "candidate row for chain = 0   nbr in the chain = 3 n = 2\n"
              "In kavelon_delete_chain, deleting following Candidate Rows:  0 3\n"
              "exiting kavelon_mark_trial_chain(dt)\n"
              "candidate row for chain = 1   nbr in the chain = 2 n = 2\n"
              "exiting kavelon_reduce_candidate_block(dt,2) with value 2\n");
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 1, 1, 0}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::trial_chain), V({0, 0, 0, 0}));
}

TEST(OrderSteps, SortLeavesImpossibleBlockNumbersBehindAndSwapChecksItsRows) {
    auto rec = make_record({"S00", "0W0", "00I"});
    KAVELON &dt = rec->dt;
    set_field(dt, &ACTSTATE::block_order, {0, 7, 1});
    dt.nblock = 1;
    EXPECT_EQ(kavelon_sort_P(&dt), 0);
    EXPECT_EQ(field(dt, &ACTSTATE::block_order), V({1, 7, 0}));
    EXPECT_EQ(row_codes(dt.P[0], 3), "I00");  // the diagonal cells move with their rows
    EXPECT_EQ(row_codes(dt.P[2], 3), "00S");
    for (auto [i, j] : {std::pair{-1, 0}, std::pair{0, 3}, std::pair{3, 1}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(kavelon_swap_rows(&dt, i, j), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), " *** internal error in kavelon_swap_rows()\n");
    }
    EXPECT_EQ(row_codes(dt.P[0], 3), "I00");
}
