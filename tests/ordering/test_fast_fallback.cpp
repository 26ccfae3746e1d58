// When the fast ordering cannot have its work arrays it hands over to the
// step-by-step operations, which need no memory: the result is the same.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "ordering/ordering.h"
#include "ordering/steps.h"
#include "sequence/methods.h"
#include "ordering/ordering_fixture.h"

namespace {
// While set, every allocation through operator new fails; so does every one
// above refuse_above bytes.
bool refuse_memory = false;
std::size_t refuse_above = static_cast<std::size_t>(-1);
}  // namespace

void *operator new(std::size_t size) {
    if (refuse_memory || size > refuse_above) throw std::bad_alloc();
    if (void *p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

TEST(FastOrderFallback, WithoutMemoryGivesTheSameResult) {
    // Nested cycles with an independent row after them.
    const std::vector<std::string> p = {"000S0", "S000S", "S0000", "00S00", "0SS00", "0S000"};
    auto with_rec = ordering_test::make_record(p), without_rec = ordering_test::make_record(p);
    KAVELON &with = with_rec->dt, &without = without_rec->dt;
    ASSERT_EQ(kavelon_fast_identify_blocks_subblocks(&with), 0);
    ASSERT_EQ(kavelon_fast_sort_P(&with), 0);
    ASSERT_EQ(kavelon_fast_identify_predecessor_blocks(&with), 0);

    refuse_memory = true;
    const int blocks = kavelon_fast_identify_blocks_subblocks(&without);
    const int sort = kavelon_fast_sort_P(&without);
    const int predecessors = kavelon_fast_identify_predecessor_blocks(&without);
    refuse_memory = false;
    ASSERT_EQ(blocks, 0);
    ASSERT_EQ(sort, 0);
    ASSERT_EQ(predecessors, 0);

    EXPECT_EQ(ordering_test::activity_order(without), ordering_test::activity_order(with));
    EXPECT_EQ(without.nblock, with.nblock);
    for (int i = 0; i < with.n; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ordering_test::row_codes(without.P[i], without.n),
                  ordering_test::row_codes(with.P[i], with.n));
        EXPECT_EQ(without.d[i]->block_order, with.d[i]->block_order);
        EXPECT_EQ(without.d[i]->subblock_order, with.d[i]->subblock_order);
        EXPECT_EQ(without.d[i]->predecessor_block, with.d[i]->predecessor_block);
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
    SEQRESULT r;
    kavelon_order_block(&g, KAVELON_SEQUENCE_INPUTS, KAVELON_EXACT_LIMIT, &r);
    refuse_above = static_cast<std::size_t>(-1);
    EXPECT_EQ(r.sequence.memory_fallback, 1);
    EXPECT_EQ(r.sequence.method, KAVELON_METHOD_HEURISTIC);
    EXPECT_EQ(r.sequence.strong_inputs, 1);
    EXPECT_EQ(r.sequence.strong_distance, n - 1);
    EXPECT_EQ(r.sequence.optimal, 1);
}
