// Internals of the sequencing methods, for the stage and the tests: a block
// as a graph of its own, the exact method, the local search with its lower
// bound, and the measures of an order that all of them compare by.
#ifndef KAVELON_SEQUENCE_METHODS_H
#define KAVELON_SEQUENCE_METHODS_H

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "model/record.h"

// Sequencing within one block. The block is a graph of its own: rows 0 ..
// n - 1 in their present order, and the in-block dependencies as marks.
struct SEQMARK {
    int32_t consumer;  // the row that needs ...
    int32_t producer;  // ... the data of this row
    int32_t strong;    // 1 strong, 0 weak or ICD
};
struct SEQGRAPH {
    int32_t n;
    std::vector<SEQMARK> marks;  // no mark of a row on itself
};
// A block's order (order[t] is the row placed at t) and its result.
struct SEQRESULT {
    std::vector<int32_t> order;
    BLOCKSEQ sequence;
};

// Blocks up to this size are ordered by the exact method.
constexpr int32_t KAVELON_EXACT_LIMIT = 24;

// From this size on, the exact method is bounded by a heuristic order first.
constexpr int32_t KAVELON_PRUNE_FROM = 17;

// Indexes of the two kinds of marks in the methods' tables: strong, and
// weak or ICD.
constexpr int KAVELON_KIND_STRONG = 0;
constexpr int KAVELON_KIND_WEAK = 1;

// The objective's three criteria of counts and distances by kind, in
// comparison order. Inline: the local search weighs every move by it.
inline void kavelon_sequence_criteria(int32_t objective, const int64_t inputs[2], const int64_t distance[2],
                                      int64_t c[3]) {
    if (objective == KAVELON_SEQUENCE_DISTANCE) {
        c[0] = distance[KAVELON_KIND_STRONG];
        c[1] = distance[KAVELON_KIND_WEAK];
        c[2] = inputs[KAVELON_KIND_STRONG] + inputs[KAVELON_KIND_WEAK];
    } else {
        c[0] = inputs[KAVELON_KIND_STRONG];
        c[1] = inputs[KAVELON_KIND_WEAK];
        c[2] = distance[KAVELON_KIND_STRONG] + distance[KAVELON_KIND_WEAK];
    }
}

// Whether criteria a come before criteria b.
inline bool kavelon_criteria_less(const int64_t a[3], const int64_t b[3]) {
    return std::lexicographical_compare(a, a + 3, b, b + 3);
}

// The graph of the block on rows first .. first + count - 1 of the record.
void kavelon_build_block_graph(const KAVELON *dt, int32_t first, int32_t count, SEQGRAPH *g);

// The best order by the objective, the lexicographically smallest in row
// numbers among the best; n at most KAVELON_EXACT_LIMIT. Blocks of prune_from
// rows or more are searched within the cost of a heuristic order. Returns 0,
// or 1 when its memory cannot be had or, with a mark given many times over,
// its costs do not fit a word (order left empty).
int kavelon_order_exactly(const SEQGRAPH *g, int32_t objective, std::vector<int32_t> *order,
                          int32_t prune_from = KAVELON_PRUNE_FROM);
// A good order found by local search, and (with_bound) a lower bound of the
// objective and whether the order is proven best. Without the bound it is
// the exact method's upper bound and searches for a shorter while.
void kavelon_order_heuristically(const SEQGRAPH *g, int32_t objective, SEQRESULT *r, bool with_bound = true);
// An order improved by the local search from where it stands: by the
// objective's criteria in their order, so never worse in any of them before
// it is better in an earlier one.
void kavelon_improve_order(const SEQGRAPH *g, int32_t objective, std::vector<int32_t> *order);
// Shaken restarts of that local search until the deadline: a few rows of
// the current order moved at random (two more each round, up to an eighth
// of the rows, then two again), one descent from there, and the result the
// current order when no worse in the first two criteria. The order ends as
// the best met, never worse than it began. Seeded alike every time, so
// only the time given makes one run differ from another.
void kavelon_improve_order_until(const SEQGRAPH *g, int32_t objective,
                                 std::chrono::steady_clock::time_point deadline, std::vector<int32_t> *order);

// The integer program's time limit per block, in seconds, unless "-sTIME="
// says otherwise.
constexpr int32_t KAVELON_PROGRAM_SECONDS = 1;

// The whole method for one block: the exact one where it fits, otherwise
// its parts without a cycle between them, each exactly or, with "-s", by
// the integer program (from the heuristic's order, within `seconds` for
// the whole block; none at 0 or less), or else by the heuristic.
// exact_limit (at most KAVELON_EXACT_LIMIT) lets tests force the methods for
// larger parts.
void kavelon_order_block(const SEQGRAPH *g, int32_t objective, int32_t exact_limit, SEQRESULT *r,
                         double seconds = KAVELON_PROGRAM_SECONDS);
// Counts and distances of the feedback marks of an order.
void kavelon_measure_order(const SEQGRAPH *g, const std::vector<int32_t> &order, BLOCKSEQ *s);
// The objective's three criteria of a measured result, in comparison order.
void kavelon_objective_criteria(const BLOCKSEQ *s, int32_t objective, int64_t criteria[3]);

#endif
