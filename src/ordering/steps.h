// Inside the ordering: the steps of the block search and the sort, which the
// stages call and the tests drive one by one.
#ifndef KAVELON_ORDERING_STEPS_H
#define KAVELON_ORDERING_STEPS_H

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

#endif
