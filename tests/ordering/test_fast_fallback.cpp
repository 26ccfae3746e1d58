// When the fast ordering cannot have its work arrays it hands over to the
// step-by-step operations, which need no memory: the result is the same.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "ordering/ordering.h"
#include "ordering/steps.h"
#include "sequence/methods.h"
#include "ordering/ordering_fixture.h"

namespace {
// While allow_news is not negative, that many more allocations through
// operator new succeed and every later one fails; every allocation above
// refuse_above bytes fails too. refused counts the failures, so that a test
// can tell that the way without memory was taken at all.
long allow_news = -1;
std::size_t refuse_above = static_cast<std::size_t>(-1);
long refused = 0;

struct Ordered {
    std::vector<std::string> order;
    int32_t nblock;
    std::vector<std::string> rows;
    std::vector<int32_t> block, subblock, predecessor;
};

Ordered ordered(const KAVELON &dt) {
    Ordered o{ordering_test::activity_order(dt), dt.nblock, {}, {}, {}, {}};
    for (int i = 0; i < dt.n; i++) {
        o.rows.push_back(ordering_test::row_codes(dt.P[i], dt.n));
        o.block.push_back(dt.d[i]->block_order);
        o.subblock.push_back(dt.d[i]->subblock_order);
        o.predecessor.push_back(dt.d[i]->predecessor_block);
    }
    return o;
}
}  // namespace

void *operator new(std::size_t size) {
    if (allow_news == 0 || size > refuse_above) {
        refused++;
        throw std::bad_alloc();
    }
    if (allow_news > 0) allow_news--;
    if (void *p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// The deletes free what the operator new above took from malloc. Once g++ 12
// inlines them into a caller it sees only the pair "operator new, free" and
// warns of a mismatch (in optimised builds); the pair is matched here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

TEST(FastOrderFallback, MemoryFailingAtAnyPointGivesTheSameResult) {
    // Nested cycles with an independent row after them.
    const std::vector<std::string> p = {"000S0", "S000S", "S0000", "00S00", "0SS00", "0S000"};
    auto with_rec = ordering_test::make_record(p);
    KAVELON &with = with_rec->dt;
    ASSERT_EQ(kavelon_fast_identify_blocks_subblocks(&with), 0);
    ASSERT_EQ(kavelon_fast_sort_P(&with), 0);
    ASSERT_EQ(kavelon_fast_identify_predecessor_blocks(&with), 0);
    const Ordered expected = ordered(with);

    // The first allocation fails, then the second, and so on, until the
    // stages find all the memory they ask for: a failure half-way through
    // must leave nothing behind that the way without memory would keep.
    bool failed_somewhere = true;
    for (long k = 0; failed_somewhere; k++) {
        SCOPED_TRACE(k);
        ASSERT_LT(k, 1000);
        auto rec = ordering_test::make_record(p);
        KAVELON &without = rec->dt;
        refused = 0;
        allow_news = k;
        const int blocks = kavelon_fast_identify_blocks_subblocks(&without);
        const int sort = kavelon_fast_sort_P(&without);
        const int predecessors = kavelon_fast_identify_predecessor_blocks(&without);
        allow_news = -1;
        failed_somewhere = refused > 0;
        ASSERT_EQ(blocks, 0);
        ASSERT_EQ(sort, 0);
        ASSERT_EQ(predecessors, 0);
        const Ordered got = ordered(without);
        EXPECT_EQ(got.order, expected.order);
        EXPECT_EQ(got.nblock, expected.nblock);
        EXPECT_EQ(got.rows, expected.rows);
        EXPECT_EQ(got.block, expected.block);
        EXPECT_EQ(got.subblock, expected.subblock);
        EXPECT_EQ(got.predecessor, expected.predecessor);
        // Without any memory at all the stages must have asked for some:
        // otherwise this test never reaches the way without memory.
        if (k == 0) {
            EXPECT_GT(refused, 0);
        }
    }
}

// The exact sequencing of a block needs a table of 2^n words; without it the
// heuristic orders the block, and the result says so.
TEST(SequenceFallback, WithoutTheExactTableTheHeuristicOrders) {
    // A strong ring of 20 rows, each row needing the one before it, placed
    // backwards: one input must be assumed, the bound proves it.
    const int n = 20;
    SEQGRAPH g;
    g.n = n;
    for (int i = 0; i < n; i++) g.marks.push_back({i, (i + 1) % n, 1});
    refuse_above = std::size_t{1} << 20;
    refused = 0;
    SEQRESULT r;
    kavelon_order_block(&g, KAVELON_SEQUENCE_INPUTS, KAVELON_EXACT_LIMIT, &r);
    refuse_above = static_cast<std::size_t>(-1);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(r.sequence.memory_fallback, 1);
    EXPECT_EQ(r.sequence.method, KAVELON_METHOD_HEURISTIC);
    EXPECT_EQ(r.sequence.strong_inputs, 1);
    EXPECT_EQ(r.sequence.strong_distance, n - 1);
    EXPECT_EQ(r.sequence.optimal, 1);
}
