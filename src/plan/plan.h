// The plan of an ordered process: which blocks each block waits for, the
// levels of work that may run side by side, how long each block takes, when
// it can start and finish at the earliest and at the latest, the critical
// path, and the inputs each block must assume before it can start.
#ifndef KAVELON_PLAN_PLAN_H
#define KAVELON_PLAN_PLAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/record.h"

// What-if variants: weak and ICD dependencies may count as strong for the
// partition, the sequencing and the plan. Bits of one value.
enum : int32_t { KAVELON_WHATIF_NONE = 0, KAVELON_WHATIF_WEAK = 1, KAVELON_WHATIF_ICD = 2 };

// Whether a dependency code holds its consumer back in the given variant.
inline bool kavelon_counts_as_strong(char code, int32_t what_if) {
    return code == DEP_STRONG || (code == DEP_WEAK && (what_if & KAVELON_WHATIF_WEAK) != 0) ||
           (code == DEP_ICD && (what_if & KAVELON_WHATIF_ICD) != 0);
}

// An input a block must assume: the consumer needs the data of a producer
// that is not done before it. Either a feedback mark of the block (the
// producer is a later row of the same block) or a weak or ICD input from a
// later block, a "last iteration" estimate. When its value changes, rows
// consumer .. producer must be done again: everything from the row that used
// the estimate up to the row that gives the real value.
struct KAVASSUMED {
    int32_t consumer;  // row
    int32_t producer;  // row, after the consumer
    char code;         // DEP_STRONG, DEP_WEAK or DEP_ICD
    int32_t later;     // 1: the producer is of a later block; 0: of the same block
};

// The plan; blocks are numbered from 1 as in the record, and entry b - 1 of
// every per-block table belongs to block b. Rows are the record's rows.
//
// Timing model: an activity takes its duration (1 when none is given). The
// activities of an independent block need none of each other, so they run
// side by side and the block takes as long as its longest activity. The
// activities of a coupled block are solved together in passes over all of
// them: one pass takes the sum of their durations and the block takes that
// times the iteration factor, the number of passes expected. A block starts
// once every block it strongly depends on has finished.
struct KAVPLAN {
    int32_t nblock;
    std::vector<int32_t> block_first;  // nblock + 1: block b is rows block_first[b-1] .. block_first[b]-1
    std::vector<int32_t> coupled;      // per block: 1 when its activities must be solved together
    // All blocks each block strongly depends on, ascending: those of block
    // b are predecessor[predecessor_first[b-1]] .. predecessor[predecessor_first[b]-1].
    std::vector<size_t> predecessor_first;
    std::vector<int32_t> predecessor;
    std::vector<int32_t> level;           // per block: longest chain of blocks before it, plus 1
    int32_t nlevel;                       // the highest level
    std::vector<int32_t> activity_level;  // per row: its level within its independent block; 0 in a coupled one
    std::vector<double> activity_duration;  // per row
    double iteration_factor;
    std::vector<double> duration;         // per block
    std::vector<double> earliest_start;   // per block
    std::vector<double> earliest_finish;
    std::vector<double> latest_start;
    std::vector<double> latest_finish;
    std::vector<double> slack;            // exactly 0 on a critical block
    std::vector<int32_t> critical;        // per block: 1 when its slack is 0
    std::vector<int32_t> critical_path;   // block numbers of one zero-slack chain, first to last
    double total_duration;                // the earliest finish of the whole process
    // Filled only when asked for (with the inputs to assume): ascending by
    // consumer, then producer; those of block b are
    // assumed[assumed_first[b-1]] .. assumed[assumed_first[b]-1].
    std::vector<KAVASSUMED> assumed;
    std::vector<size_t> assumed_first;
    std::vector<int64_t> assumed_in_block;  // per block: feedback marks among them
    std::vector<int64_t> assumed_later;     // per block: inputs from later blocks among them
};

// The times of one activity in a plan. An activity of a coupled block spans
// its block; one of an independent block starts with its block and may end
// as late as the block's latest finish.
struct KAVTIMES {
    double earliest_start;
    double earliest_finish;
    double latest_start;
    double latest_finish;
    double slack;
};

// Works out the plan of an ordered record: its rows in ascending block order
// (blocks 1 .. nblock, each used), block kinds from subblock_order. Which
// codes hold an activity back is what_if's choice (KAVELON_WHATIF_*); the
// partition must have been made the same way. duration gives each row's
// duration (non-negative, finite), or is none for 1 each; iteration_factor
// (positive, finite) multiplies the duration of a coupled block. With
// with_assumed the inputs to assume are listed as well. Returns 0, or 1
// when the record is not ordered or memory cannot be had (plan then holds
// nothing of use). Time and memory grow with the rows and their cells.
int kavelon_make_plan(const KAVELON *dt, const double *duration, double iteration_factor, int32_t what_if,
                      bool with_assumed, KAVPLAN *plan);

// The plan stage: with "-p", the plan of the ordered record into
// dt->block_plan, from the activities' durations (1 each where none is
// given) and the iteration factor, counting as strong what the what-if
// variant does, and with "-s" the inputs to assume as well. Returns 0, or 1
// after a message when memory cannot be had; without "-p" does nothing.
int kavelon_plan_blocks(KAVELON *dt);
// Releases the plan the stage made, if any, and sets it to none. The program
// itself ends without; a caller that runs many models (a fuzz target) calls it.
void kavelon_release_plan(KAVELON *dt);

// The block number of row i of a plan's record (0 for a row outside it),
// and the times of the activity there.
int32_t kavelon_plan_block_of(const KAVPLAN *plan, int32_t i);
KAVTIMES kavelon_activity_times(const KAVPLAN *plan, int32_t i);

#endif
