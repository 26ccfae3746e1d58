// What-if variants of a run: weak or ICD dependencies counted as strong for
// the partition and the sequencing, while the reports still show each
// dependency as the input gives it.
#ifndef KAVELON_PLAN_WHAT_IF_H
#define KAVELON_PLAN_WHAT_IF_H

#include <vector>

#include "plan/plan.h"

// A cell of P that the variant made strong: the two activities by their
// ordering states, which travel with them through every permutation, and
// the code the input gave.
struct KAVPROMOTED {
    const ACTSTATE *consumer;
    const ACTSTATE *producer;
    char code;
};

// Before the partition: every cell of P off the diagonal that the variant
// counts as strong but that is not strong becomes strong, and is kept in
// promoted. Returns 0, or 1 when memory cannot be had (P then unchanged).
int kavelon_promote_what_if(KAVELON *dt, int32_t what_if, std::vector<KAVPROMOTED> *promoted);

// After the partition, the sort and the sequencing: gives every promoted
// cell its own code back, wherever its activities now stand. Returns 0, or
// 1 when memory cannot be had or a cell is not found (which the ordering's
// permutations never cause).
int kavelon_restore_what_if(KAVELON *dt, const std::vector<KAVPROMOTED> &promoted);

#endif
