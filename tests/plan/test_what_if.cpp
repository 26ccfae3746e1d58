// What-if variants against the same process written with the promoted
// dependencies as strong ones: the same blocks, order and predecessors, and
// afterwards every dependency back as the input gave it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ordering/ordering.h"
#include "sequence/sequence.h"
#include "ordering/ordering_fixture.h"
#include "plan/what_if.h"

using ordering_test::make_record;

namespace {

void order(KAVELON &dt, int32_t sequence) {
    ASSERT_EQ(kavelon_fast_identify_blocks_subblocks(&dt), 0);
    ASSERT_EQ(kavelon_fast_sort_P(&dt), 0);
    ASSERT_EQ(kavelon_fast_identify_predecessor_blocks(&dt), 0);
    dt.sequence = sequence;
    ASSERT_EQ(kavelon_sequence_blocks(&dt), 0);
}

}  // namespace

TEST(WhatIf, SameOrderAsStrongInputsAndCodesGivenBack) {
    std::mt19937 rng(2021);
    std::uniform_int_distribution<int> size(1, 12);
    std::uniform_int_distribution<int> pct(0, 99);
    const int32_t variants[] = {KAVELON_WHATIF_WEAK, KAVELON_WHATIF_ICD, KAVELON_WHATIF_WEAK | KAVELON_WHATIF_ICD};
    for (int round = 0; round < 300; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int n = size(rng);
        const int32_t what_if = variants[round % 3];
        const int32_t sequence = round % 2 == 0 ? KAVELON_SEQUENCE_NONE : KAVELON_SEQUENCE_INPUTS;
        std::vector<std::string> p(static_cast<size_t>(n)), as_strong(static_cast<size_t>(n));
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                const int r = pct(rng);
                const char c = r < 12 ? 'S' : r < 24 ? 'W' : r < 32 ? 'I' : '0';
                p[static_cast<size_t>(i)] += c;
                as_strong[static_cast<size_t>(i)] += i != j && kavelon_counts_as_strong(c, what_if) ? 'S' : c;
            }
        auto want = make_record(as_strong);
        order(want->dt, sequence);
        auto got = make_record(p);
        std::vector<KAVPROMOTED> promoted;
        ASSERT_EQ(kavelon_promote_what_if(&got->dt, what_if, &promoted), 0);
        order(got->dt, sequence);
        ASSERT_EQ(kavelon_restore_what_if(&got->dt, promoted), 0);

        ASSERT_EQ(ordering_test::activity_order(got->dt), ordering_test::activity_order(want->dt));
        ASSERT_EQ(got->dt.nblock, want->dt.nblock);
        for (int i = 0; i < n; i++) {
            ASSERT_EQ(got->dt.d[i]->block_order, want->dt.d[i]->block_order);
            ASSERT_EQ(got->dt.d[i]->subblock_order, want->dt.d[i]->subblock_order);
            ASSERT_EQ(got->dt.d[i]->predecessor_block, want->dt.d[i]->predecessor_block);
        }
        // Row i now holds input row origin[i]; its codes are the input's.
        std::vector<int> origin;
        for (int i = 0; i < n; i++) origin.push_back(std::stoi(got->dt.design_activity_name[i] + 1));
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++)
                ASSERT_EQ(kavelon_code_at(&got->dt.P[i], j),
                          p[static_cast<size_t>(origin[static_cast<size_t>(i)])][static_cast<size_t>(origin[static_cast<size_t>(j)])])
                    << "row " << i << " column " << j;
    }
}

TEST(WhatIf, NothingToPromoteChangesNothing) {
    auto rec = make_record({"0S", "W0"});
    std::vector<KAVPROMOTED> promoted;
    ASSERT_EQ(kavelon_promote_what_if(&rec->dt, KAVELON_WHATIF_ICD, &promoted), 0);
    EXPECT_TRUE(promoted.empty());
    EXPECT_EQ(ordering_test::row_codes(rec->dt.P[1], 2), "W0");
    EXPECT_EQ(kavelon_restore_what_if(&rec->dt, promoted), 0);
    // The diagonal is never promoted: it holds no one back.
    auto self = make_record({"W"});
    ASSERT_EQ(kavelon_promote_what_if(&self->dt, KAVELON_WHATIF_WEAK, &promoted), 0);
    EXPECT_TRUE(promoted.empty());
    EXPECT_EQ(ordering_test::row_codes(self->dt.P[0], 1), "W");
}
