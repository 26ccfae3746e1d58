// The fast ordering against results worked out by hand from the rules of the
// block search, the in-place sort and the predecessor blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavelon.h"
#include "ordering/ordering_fixture.h"

using ordering_test::make_record;

namespace {

// Runs the three fast stages; returns "block.subblock.predecessor" per row
// in final row order.
std::string order_fast(KAVELON &dt) {
    EXPECT_EQ(kavelon_fast_identify_blocks_subblocks(&dt), 0);
    EXPECT_EQ(kavelon_fast_sort_P(&dt), 0);
    EXPECT_EQ(kavelon_fast_identify_predecessor_blocks(&dt), 0);
    std::string s;
    for (int i = 0; i < dt.n; i++) {
        const ACTSTATE *a = dt.d[i];
        s += (i ? " " : "") + std::to_string(a->block_order) + "." + std::to_string(a->subblock_order) +
             "." + std::to_string(a->predecessor_block);
    }
    return s;
}

// Activity names in current row order, joined by blanks.
std::string order_of(const KAVELON &dt) {
    std::string s;
    for (const std::string &name : ordering_test::activity_order(dt)) s += (s.empty() ? "" : " ") + name;
    return s;
}

struct Case {
    const char *what;
    std::vector<std::string> p;
    int nblock;
    const char *order;   // activity names in final row order
    const char *states;  // block.subblock.predecessor per final row
};

}  // namespace

TEST(FastOrder, HandWorkedCases) {
    const std::vector<Case> cases = {
        {"single activity", {"0"}, 1, "a0", "1.1.0"},
        {"own data only, strong on the diagonal", {"S0", "0S"}, 1, "a0 a1", "1.1.0 1.2.0"},
        {"weak and ICD cycles hold nothing back", {"0W", "I0"}, 1, "a0 a1", "1.1.0 1.2.0"},
        // K on L, L on M: rows freed by a block wait for the next block.
        {"strong chain", {"0S0", "00S", "000"}, 3, "a2 a1 a0", "1.1.0 2.1.1 3.1.2"},
        {"two-cycle", {"0S", "S0"}, 1, "a0 a1", "1.0.0 1.0.0"},
        // Overview example: a1..a5 are rows 0..4; swaps 1/0, 4/1, 4/3.
        {"overview example",
         {"00S00", "00000", "SS000", "S000W", "00000"},
         3,
         "a1 a4 a2 a0 a3",
         "1.1.0 1.2.0 2.0.1 2.0.1 3.1.2"},
        // Disjoint 2-cycles {0,3} and {1,2}: the tie goes to the lowest row.
        {"equal-size sinks", {"000S", "00S0", "0S00", "S000"}, 2, "a0 a3 a2 a1",
         "1.0.0 1.0.0 2.0.0 2.0.0"},
        // 0 on 3, 3 on 2, 2 on 0, 1 on 4 and 0, 4 on 1 and 2.
        {"nested cycles", {"000S0", "S000S", "S0000", "00S00", "0SS00"}, 2, "a0 a2 a3 a1 a4",
         "1.0.0 1.0.0 1.0.0 2.0.1 2.0.1"},
        // A 3-cycle on rows 0..2 and a 2-cycle on rows 3, 4: the smaller first.
        {"smallest sink first", {"0S000", "00S00", "S0000", "0000S", "000S0"}, 2, "a3 a4 a2 a0 a1",
         "1.0.0 1.0.0 2.0.0 2.0.0 2.0.0"},
        // Row 2 is free while {0, 1} is coupled: single rows go first.
        {"free rows before a coupled block", {"0S0", "S00", "000"}, 2, "a2 a1 a0",
         "1.1.0 2.0.0 2.0.0"},
        // Blocks 2, 2, 1 in input order: the sort is not stable, K L M -> M L K.
        {"unstable sort", {"0SS", "S0S", "000"}, 2, "a2 a1 a0", "1.1.0 2.0.1 2.0.1"},
        // Row 3 depends on blocks 1 and 3; row 4, coupled with it, on nothing
        // else: the whole block takes 3.
        {"predecessor is the highest block",
         {"00000", "S0000", "0S000", "S0S0S", "000S0"},
         4,
         "a0 a1 a2 a3 a4",
         "1.1.0 2.1.1 3.1.2 4.0.3 4.0.3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto rec = make_record(c.p);
        EXPECT_EQ(order_fast(rec->dt), c.states);
        EXPECT_EQ(order_of(rec->dt), c.order);
        EXPECT_EQ(rec->dt.nblock, c.nblock);
    }
}

// The permutation reaches every per-activity table: rows and columns of P,
// rows of Q, columns of R; constraints and outputs keep their order.
TEST(FastOrder, PermutesEveryTable) {
    auto rec = make_record({"00S00", "00000", "SS000", "S000W", "00000"}, {},
                           {"S0", "0W", "00", "I0", "0S"}, {"SWI0S", "00000"}, {"WI", "00"});
    KAVELON &dt = rec->dt;
    order_fast(dt);
    // New order: a1 a4 a2 a0 a3, i.e. old rows 1 4 2 0 3.
    EXPECT_EQ(std::string(dt.P[0]), "00000");
    EXPECT_EQ(std::string(dt.P[1]), "00000");
    EXPECT_EQ(std::string(dt.P[2]), "S00S0");
    EXPECT_EQ(std::string(dt.P[3]), "00S00");
    EXPECT_EQ(std::string(dt.P[4]), "0W0S0");
    EXPECT_STREQ(dt.Q[0], "0W");
    EXPECT_STREQ(dt.Q[1], "0S");
    EXPECT_STREQ(dt.Q[2], "00");
    EXPECT_STREQ(dt.Q[3], "S0");
    EXPECT_STREQ(dt.Q[4], "I0");
    EXPECT_STREQ(dt.R[0], "WSIS0");
    EXPECT_STREQ(dt.R[1], "00000");
    EXPECT_STREQ(dt.T[0], "WI");
    EXPECT_STREQ(dt.design_data_name[2], "d2");
    EXPECT_STREQ(dt.design_data_name[4], "d3");
    // Each state travelled with its activity.
    EXPECT_EQ(dt.d[4], &rec->states[3]);
}

// An independent block that is not the first keeps its rows' input order,
// numbered 1, 2, ... in that order.
TEST(FastOrder, IndependentBlockNumbersRowsInInputOrder) {
    // Rows 1, 3 and 4 all depend only on the 2-cycle {0, 2}.
    auto rec = make_record({"00S00", "S0000", "S0000", "00S00", "S0S00"});
    EXPECT_EQ(order_fast(rec->dt), "1.0.0 1.0.0 2.1.1 2.2.1 2.3.1");
    EXPECT_EQ(order_of(rec->dt), "a0 a2 a1 a3 a4");
}
