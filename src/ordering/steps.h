// Inside the ordering: the steps of the block search and the sort, which the
// stages call and the tests drive one by one, and the debug trace they write.
#ifndef KAVELON_ORDERING_STEPS_H
#define KAVELON_ORDERING_STEPS_H

#include <cstdio>
#include <vector>

#include "ordering/ordering.h"

// Steps of the block search.
int kavelon_count_unassigned(KAVELON *dt);
int kavelon_find_order_n_block(KAVELON *dt, int n);
int kavelon_find_order_1_block(KAVELON *dt);
void kavelon_count_remaining_strong(KAVELON *dt);
int kavelon_eliminate_candidate_rows_1(KAVELON *dt);
int kavelon_reduce_candidate_block(KAVELON *dt, int n);
int kavelon_mark_trial_chain(KAVELON *dt);
void kavelon_delete_chain(KAVELON *dt);

// Step of the sort.
int kavelon_swap_rows(KAVELON *dt, int i, int j);

// A graph of rows as compressed lists: the arcs of row i lead to the rows
// input[first[i]] .. input[first[i + 1] - 1]. Offsets are 64 bits wide, as
// the cells of all rows may exceed 2^31.
struct ROWGRAPH {
    std::vector<size_t> first;
    std::vector<int32_t> input;
};
// Its strongly connected components, each numbered after every component it
// reaches: the component of each row, and the members of component c,
// member[first[c]] .. member[first[c + 1] - 1].
struct COMPONENTS {
    std::vector<int32_t> of_row;
    std::vector<int32_t> first;
    std::vector<int32_t> member;
};
void kavelon_find_components(const ROWGRAPH *g, int32_t n, COMPONENTS *c);

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

// The graph of the block on rows first .. first + count - 1 of the record.
void kavelon_build_block_graph(const KAVELON *dt, int32_t first, int32_t count, SEQGRAPH *g);

// The best order by the objective, the lexicographically smallest in row
// numbers among the best; n at most KAVELON_EXACT_LIMIT. Blocks of prune_from
// rows or more are searched within the cost of a heuristic order. Returns 0,
// or 1 when its memory cannot be had (order left empty).
int kavelon_order_exactly(const SEQGRAPH *g, int32_t objective, std::vector<int32_t> *order,
                          int32_t prune_from = KAVELON_PRUNE_FROM);
// A good order found by local search, and (with_bound) a lower bound of the
// objective and whether the order is proven best. Without the bound it is
// the exact method's upper bound and searches for a shorter while.
void kavelon_order_heuristically(const SEQGRAPH *g, int32_t objective, SEQRESULT *r, bool with_bound = true);
// The whole method for one block: the exact one where it fits, otherwise
// its parts without a cycle between them, each exactly or heuristically.
// exact_limit (at most KAVELON_EXACT_LIMIT) lets tests force the heuristic.
void kavelon_order_block(const SEQGRAPH *g, int32_t objective, int32_t exact_limit, SEQRESULT *r);
// Counts and distances of the feedback marks of an order.
void kavelon_measure_order(const SEQGRAPH *g, const std::vector<int32_t> &order, BLOCKSEQ *s);
// The objective's three criteria of a measured result, in comparison order.
void kavelon_objective_criteria(const BLOCKSEQ *s, int32_t objective, int64_t criteria[3]);

#endif
