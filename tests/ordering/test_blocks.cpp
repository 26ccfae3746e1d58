// Block identification on small hand-built matrices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavelon.h"
#include "ordering/ordering_fixture.h"

using ordering_test::blocks;
using ordering_test::capture_trace;
using ordering_test::field;
using ordering_test::kStateHeading;
using ordering_test::make_record;
using ordering_test::set_field;
using ordering_test::subblocks;
using V = std::vector<int>;

namespace {

const char *kEnter = "Enter kavelon_identify_blocks_subblocks(KAVELON *dt)\n";
const char *kExit = "Exit kavelon_identify_blocks_subblocks(KAVELON *dt)\n";
const char *kFindOne =
    "enter kavelon_find_order_1_block(dt)\n"
    "entering kavelon_count_remaining_strong(dt)\n"
    "exiting kavelon_count_remaining_strong(dt)\n";
const char *kElimination =
    "entering kavelon_eliminate_candidate_rows_1(dt)\n"
    "exiting kavelon_eliminate_candidate_rows_1(dt)\n";

std::string find_n_start(int n, int candidates) {
    return "Enter kavelon_find_order_n_block(dt," + std::to_string(n) +
           ")\n"
           "entering kavelon_count_remaining_strong(dt)\n"
           "exiting kavelon_count_remaining_strong(dt)\n"
           "After initial search of candidate rows, n = " +
           std::to_string(n) + " nbr_candidate_rows = " + std::to_string(candidates) + "\n";
}

}  // namespace

TEST(Blocks, SingleActivity) {
    auto rec = make_record({"0"}, {"only"});
    int result = -1;
    const std::string out = capture_trace(rec->dt, kavelon_identify_blocks_subblocks, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rec->dt.nblock, 1);
    EXPECT_EQ(blocks(rec->dt), V({1}));
    EXPECT_EQ(subblocks(rec->dt), V({1}));
    EXPECT_EQ(out, std::string(kEnter) + kFindOne + "flag = 1   ncnt = 1   block_size = 1\n" +
                       kStateHeading +
                       "   0                 only                   d0  1  1  0  0. 0. 0. 0 X "
                       "(null)\n\n" +
                       kExit);
}

TEST(Blocks, NoStrongCellGivesOneIndependentBlock) {
    // Weak and ICD inputs, cycles among them included, hold nothing back.
    auto rec = make_record({"0WI0", "W00I", "I0W0", "0W0I"});
    EXPECT_EQ(kavelon_identify_blocks_subblocks(&rec->dt), 0);
    EXPECT_EQ(rec->dt.nblock, 1);
    EXPECT_EQ(blocks(rec->dt), V({1, 1, 1, 1}));
    EXPECT_EQ(subblocks(rec->dt), V({1, 2, 3, 4}));
}

TEST(Blocks, ChainWithoutCycleGivesOneBlockPerActivity) {
    // K depends on L, L depends on M.
    auto rec = make_record({"0S0", "00S", "000"}, {"K", "L", "M"});
    EXPECT_EQ(kavelon_identify_blocks_subblocks(&rec->dt), 0);
    EXPECT_EQ(rec->dt.nblock, 3);
    EXPECT_EQ(blocks(rec->dt), V({3, 2, 1}));
    EXPECT_EQ(subblocks(rec->dt), V({1, 1, 1}));
}

TEST(Blocks, TwoCycleIsOneCoupledBlock) {
    auto rec = make_record({"0S", "S0"});
    int result = -1;
    const std::string out = capture_trace(rec->dt, kavelon_identify_blocks_subblocks, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(blocks(rec->dt), V({1, 1}));
    EXPECT_EQ(subblocks(rec->dt), V({0, 0}));
    EXPECT_EQ(out, std::string(kEnter) + kFindOne + "flag = 0   ncnt = 2   block_size = 1\n" +
                       find_n_start(2, 2) + kElimination +
                       "After search for self contained set of rows, n = 2 nbr_candidate_rows = "
                       "2\n"
                       "Numberof candidate rows == n (2)\n"
                       " exiting kavelon_find_order_n_block() with value 1\n"
                       "flag = 1   ncnt = 2   block_size = 2\n" +
                       kStateHeading +
                       "   0                   a0                   d0  1  0  0  0. 0. 1. 0 XS "
                       "(null)\n"
                       "   1                   a1                   d1  1  0  0  0. 0. 1. 0 SX "
                       "(null)\n\n" +
                       kExit);
}

TEST(Blocks, StrongSelfDependencyIsIgnored) {
    // Row 0 names its own data strongly; row 1 needs row 0 and itself.
    auto rec = make_record({"S0", "SS"});
    EXPECT_EQ(kavelon_identify_blocks_subblocks(&rec->dt), 0);
    EXPECT_EQ(blocks(rec->dt), V({1, 2}));
    EXPECT_EQ(subblocks(rec->dt), V({1, 1}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::row_nbr_remaining_s), V({0, 0}));
}

TEST(Blocks, TwoDisjointTwoCycles) {
    auto rec = make_record({"000S", "00S0", "0S00", "S000"});
    int result = -1;
    const std::string out = capture_trace(rec->dt, kavelon_identify_blocks_subblocks, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(blocks(rec->dt), V({1, 2, 2, 1}));
    EXPECT_EQ(subblocks(rec->dt), V({0, 0, 0, 0}));
    EXPECT_EQ(out,
              std::string(kEnter) + kFindOne + "flag = 0   ncnt = 4   block_size = 1\n" +
                  find_n_start(2, 4) + kElimination +
                  "After search for self contained set of rows, n = 2 nbr_candidate_rows = 4\n"
                  " entering kavelon_reduce_candidate_block(dt,2)\n"
                  "exiting kavelon_mark_trial_chain(dt)\n"
                  "candidate row for chain = 0   nbr in the chain = 2 n = 2\n"
                  "exiting kavelon_reduce_candidate_block(dt,2) with value 2\n"
                  "After searching for smaller blocks, n = 2 nbr_candidate_rows = 2\n"
                  " exiting kavelon_find_order_n_block() with value 1)\n"
                  "flag = 1   ncnt = 4   block_size = 2\n" +
                  kStateHeading +
                  "   0                   a0                   d0  1  0  0  0. 0. 1. 0 X00S (null)\n"
                  "   1                   a1                   d1  0  0  0  0. 0. 1. 0 0XS0 (null)\n"
                  "   2                   a2                   d2  0  0  0  0. 0. 1. 0 0SX0 (null)\n"
                  "   3                   a3                   d3  1  0  0  0. 0. 1. 0 S00X (null)\n"
                  "\n" +
                  kFindOne + "flag = 0   ncnt = 2   block_size = 1\n" + find_n_start(2, 2) +
                  kElimination +
                  "After search for self contained set of rows, n = 2 nbr_candidate_rows = 2\n"
                  "Numberof candidate rows == n (2)\n"
                  " exiting kavelon_find_order_n_block() with value 1\n"
                  "flag = 1   ncnt = 2   block_size = 2\n" +
                  kStateHeading +
                  "   0                   a0                   d0  1  0  0  0. 0. 0. 0 X00S (null)\n"
                  "   1                   a1                   d1  2  0  0  0. 0. 1. 0 0XS0 (null)\n"
                  "   2                   a2                   d2  2  0  0  0. 0. 1. 0 0SX0 (null)\n"
                  "   3                   a3                   d3  1  0  0  0. 0. 0. 0 S00X (null)\n"
                  "\n" +
                  kExit);
}

// Strong inputs: 0 on 3, 3 on 2, 2 on 0, 1 on 4 and 0, 4 on 1 and 2.
TEST(Blocks, FiveRowsSeedRejectedAtTwoAcceptedAtThree) {
    auto rec = make_record({"000S0", "S000S", "S0000", "00S00", "0SS00"});
    int result = -1;
    const std::string out = capture_trace(rec->dt, kavelon_identify_blocks_subblocks, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rec->dt.nblock, 2);
    EXPECT_EQ(blocks(rec->dt), V({1, 2, 1, 1, 2}));
    EXPECT_EQ(subblocks(rec->dt), V({0, 0, 0, 0, 0}));
    EXPECT_EQ(
        out,
        std::string(kEnter) + kFindOne + "flag = 0   ncnt = 5   block_size = 1\n" +
            find_n_start(2, 3) + kElimination +
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
            kFindOne + "flag = 0   ncnt = 2   block_size = 1\n" + find_n_start(2, 2) +
            kElimination +
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

TEST(Blocks, ActivityDependingOnTwoCycleFormsNextBlock) {
    // Row 0 needs row 1; rows 1 and 2 form a 2-cycle. Seed 0 reaches all
    // three rows and is rejected; seed 1 gives the 2-cycle.
    auto rec = make_record({"0S0", "00S", "0S0"});
    EXPECT_EQ(kavelon_identify_blocks_subblocks(&rec->dt), 0);
    EXPECT_EQ(rec->dt.nblock, 2);
    EXPECT_EQ(blocks(rec->dt), V({2, 1, 1}));
    EXPECT_EQ(subblocks(rec->dt), V({1, 0, 0}));
}

TEST(Blocks, WithoutDebugNothingIsWritten) {
    auto rec = make_record({"000S0", "S000S", "S0000", "00S00", "0SS00"});
    testing::internal::CaptureStdout();
    EXPECT_EQ(kavelon_identify_blocks_subblocks(&rec->dt), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(blocks(rec->dt), V({1, 2, 1, 1, 2}));
}

TEST(Blocks, FindOrderNBlockRejectsSizeBelowOne) {
    auto rec = make_record({"0S", "S0"});
    EXPECT_EQ(capture_trace(rec->dt, [](KAVELON *dt) { return kavelon_find_order_n_block(dt, 0); }),
              "");
    EXPECT_EQ(kavelon_find_order_n_block(&rec->dt, 0), -1);
    EXPECT_EQ(rec->dt.nblock, 0);
}

TEST(Blocks, FindOrderNBlockStopsWhenTooFewCandidates) {
    // Rows 0 and 1 both need two unassigned rows: at size 2 only row 2 is a
    // candidate; its mark stays until the next attempt resets it.
    auto rec = make_record({"0SS", "S0S", "000"});
    int result = -1;
    const std::string out = capture_trace(
        rec->dt, [](KAVELON *dt) { return kavelon_find_order_n_block(dt, 2); }, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(out, find_n_start(2, 1) + "exiting kavelon_find_order_n_block(dt,2) with value 0\n");
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 0, 1}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::row_nbr_remaining_s), V({2, 2, 0}));
}

TEST(Blocks, EliminationRestartsAfterEachRemoval) {
    // Row 0 needs row 1, row 1 needs the unassigned non-candidate row 2.
    // Removing row 1 disqualifies row 0, which the pass had already passed.
    auto rec = make_record({"0S0", "00S", "000"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 0});
    int result = -1;
    const std::string out = capture_trace(rec->dt, kavelon_eliminate_candidate_rows_1, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 0, 0}));
    EXPECT_EQ(out, kElimination);
}

TEST(Blocks, EliminationIgnoresAssignedRows) {
    auto rec = make_record({"0SS", "S00", "000"});
    rec->dt.d[2]->block_order = 1;
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 0});
    EXPECT_EQ(kavelon_eliminate_candidate_rows_1(&rec->dt), 2);
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({1, 1, 0}));
}

TEST(Blocks, TrialChainStepsBackToEarlierRows) {
    // Seed 3 needs row 1, which needs row 0: both lie before the row that
    // marks them. Row 2 is not a candidate, so row 0's need of it is no link.
    auto rec = make_record({"00S0", "S000", "0000", "0S00"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 0, 1});
    set_field(rec->dt, &ACTSTATE::trial_chain, {0, 0, 0, 1});
    int result = -1;
    const std::string out = capture_trace(rec->dt, kavelon_mark_trial_chain, &result);
    EXPECT_EQ(out, "exiting kavelon_mark_trial_chain(dt)\n");
    EXPECT_EQ(result, 3);
    EXPECT_EQ(field(rec->dt, &ACTSTATE::trial_chain), V({1, 1, 0, 1}));
}

TEST(Blocks, DeleteChainFollowsDependentsBackwards) {
    // Row 1 needs seed 3 and row 0 needs row 1: the delete chain is 0, 1, 3.
    // Row 2 needs the seed too but is no candidate; row 4 keeps its trial
    // mark, which only the next seed clears.
    auto rec = make_record({"0S000", "000S0", "000S0", "00000", "000S0"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 0, 1, 0});
    set_field(rec->dt, &ACTSTATE::trial_chain, {1, 0, 1, 1, 1});
    set_field(rec->dt, &ACTSTATE::delete_chain, {0, 0, 0, 1, 0});
    const std::string out = capture_trace(rec->dt, [](KAVELON *dt) {
        kavelon_delete_chain(dt);
        return 0;
    });
    EXPECT_EQ(out, "In kavelon_delete_chain, deleting following Candidate Rows:  0 1 3\n");
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 0, 0, 0, 0}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::delete_chain), V({0, 0, 0, 0, 0}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::trial_chain), V({0, 0, 1, 0, 1}));
}

TEST(Blocks, ReductionSkipsDeletedSeedsAndTakesTheFirstFittingChain) {
    // Candidates 0 to 3: row 0 needs row 1, rows 1 and 2 need each other,
    // row 3 needs row 0. Seed 0 reaches 0, 1, 2 (three rows) and deletes
    // itself and row 3, which depends on it; seed 1 gives the 2-cycle.
    auto rec = make_record({"0S00", "00S0", "0S00", "S000"});
    set_field(rec->dt, &ACTSTATE::candidate_rows, {1, 1, 1, 1});
    int result = -1;
    const std::string out = capture_trace(
        rec->dt, [](KAVELON *dt) { return kavelon_reduce_candidate_block(dt, 2); }, &result);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(out,
              " entering kavelon_reduce_candidate_block(dt,2)\n"
              "exiting kavelon_mark_trial_chain(dt)\n"
              "candidate row for chain = 0   nbr in the chain = 3 n = 2\n"
              "In kavelon_delete_chain, deleting following Candidate Rows:  0 3\n"
              "exiting kavelon_mark_trial_chain(dt)\n"
              "candidate row for chain = 1   nbr in the chain = 2 n = 2\n"
              "exiting kavelon_reduce_candidate_block(dt,2) with value 2\n");
    EXPECT_EQ(field(rec->dt, &ACTSTATE::candidate_rows), V({0, 1, 1, 0}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::trial_chain), V({0, 0, 0, 0}));
    EXPECT_EQ(field(rec->dt, &ACTSTATE::delete_chain), V({0, 0, 0, 0}));
}
