// The sequencing stage: the order of the rows inside each block, chosen by
// the run's objective. What the driver calls.
#ifndef KAVELON_SEQUENCE_SEQUENCE_H
#define KAVELON_SEQUENCE_SEQUENCE_H

#include "model/record.h"

// With "-s": puts the rows of every block of two or more activities in the
// order that best serves the chosen objective (fewest inputs to assume, or
// smallest feedback distance), renumbers the positions of independent
// blocks, and keeps each block's result in block_sequence. Blocks, their
// numbers, kinds and predecessors stay. Returns 0, or 1 when the record's
// work memory cannot be had.
int kavelon_sequence_blocks(KAVELON *dt);

#endif
