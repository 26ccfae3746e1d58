// The ordering stages: the partition of the activities into blocks, the
// reordering of every per-activity table into block order, and each block's
// predecessor block.
#ifndef KAVELON_ORDERING_ORDERING_H
#define KAVELON_ORDERING_ORDERING_H

#include "model/record.h"

// The step-by-step stages, traced in debug mode.
int kavelon_identify_blocks_subblocks(KAVELON *dt);
int kavelon_sort_P(KAVELON *dt);
int kavelon_identify_predecessor_blocks(KAVELON *dt);

// The same three ordering stages computed without the step-by-step search,
// for runs without the debug trace: identical blocks, row order and
// predecessor blocks, no trace and no use of the four work fields.
int kavelon_fast_identify_blocks_subblocks(KAVELON *dt);
int kavelon_fast_sort_P(KAVELON *dt);
int kavelon_fast_identify_predecessor_blocks(KAVELON *dt);

// With "-s": puts the rows of every block of two or more activities in the
// order that best serves the chosen objective (fewest inputs to assume, or
// smallest feedback distance), renumbers the positions of independent
// blocks, and keeps each block's result in block_sequence. Blocks, their
// numbers, kinds and predecessors stay. Returns 0, or 1 when the record's
// work memory cannot be had.
int kavelon_sequence_blocks(KAVELON *dt);

#endif
