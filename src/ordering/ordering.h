// The ordering stages: the partition of the activities into blocks, the
// reordering of every per-activity table into block order, and each block's
// predecessor block. The order inside each block is the sequencing's
// (sequence/sequence.h).
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

#endif
