// The fewest inputs to assume in one block, exactly: a weighted minimum
// feedback mark set found by an integer program whose constraints, one per
// cycle ("every cycle keeps at least one feedback mark"), are added as the
// program's own answers leave cycles unbroken. Strong marks weigh more than
// all weak and ICD marks together, so the one program settles both counts:
// strong first, then weak/ICD.
#ifndef KAVELON_SEQUENCE_MFAS_H
#define KAVELON_SEQUENCE_MFAS_H

#include <cstdint>
#include <vector>

// A dependency of row `consumer` on the data of row `producer`. It is a
// feedback mark of an order when the producer stands after the consumer.
struct FEEDBACKMARK {
    int32_t consumer;
    int32_t producer;
    int32_t strong;  // 1 strong, 0 weak or ICD
};

// Rows 0 .. n - 1 and their marks. A mark of a row on itself is never
// feedback and is passed over; a mark given twice counts twice.
struct FEEDBACKGRAPH {
    int32_t n;
    std::vector<FEEDBACKMARK> marks;
};

// What the program came to.
enum : int32_t {
    KAVELON_PROGRAM_SOLVED = 0,     // the counts are proven least
    KAVELON_PROGRAM_STOPPED = 1,    // the time ran out first: best order found, and the bound
    KAVELON_PROGRAM_NO_MEMORY = 2,  // memory ran out: no order
    KAVELON_PROGRAM_FAILED = 3,     // the solver gave no usable answer: no order
    KAVELON_PROGRAM_INVALID = 4     // a mark names a row outside 0 .. n - 1, or the start is
                                    // no order of the rows: no order
};

struct FEEDBACKRESULT {
    int32_t status;             // KAVELON_PROGRAM_*
    std::vector<int32_t> order;  // order[t] is the row placed at t; empty on a failure
    // Feedback marks of the order, and their total distance (how many rows
    // later than its consumer each producer stands).
    int64_t strong_inputs;
    int64_t weak_inputs;
    int64_t strong_distance;
    int64_t weak_distance;
    // No order has fewer strong feedback marks than bound[0], nor as few
    // and fewer weak/ICD ones than bound[1]; nor, with counts equal to the
    // bound, a smaller total distance than bound[2].
    int64_t bound[3];
    int32_t proven;           // 1: the counts equal the bound's
    int32_t distance_proven;  // 1: and so does the total distance
    int32_t rounds;           // programs solved
    int64_t cycles;           // cycle constraints in the last program
};

// Orders the rows of g so that the fewest marks are feedback, strong ones
// first; among the orders with the feedback marks found, a short total
// distance is sought but rarely proven. `start`, when given and not empty,
// is an order to begin from (one found by other means): the result is never
// worse in its counts, nor in its distance at equal counts. `seconds` (wall
// clock) bounds the whole search; at 0 or less no program is solved and the
// result is the better of the start and a constructive order, with a bound
// proven only for a graph without cycles. Writes nothing to standard output
// or error. Returns r->status.
int32_t kavelon_order_by_program(const FEEDBACKGRAPH *g, double seconds, const std::vector<int32_t> *start,
                                 FEEDBACKRESULT *r);

#endif
