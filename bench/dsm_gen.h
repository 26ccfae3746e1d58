// Generator of valid design processes for the benchmarks: realistic layered
// models and a few shapes that are hard for the block search.
#ifndef KAVELON_BENCH_DSM_GEN_H
#define KAVELON_BENCH_DSM_GEN_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/kavelon.h"

// One consumed item: an activity (index in file order) or a constraint.
struct GenInput {
    int32_t source;     // activity index, or constraint index when constraint is set
    bool constraint;
    char code;          // 'S', 'W' or 'I'
};

// A generated process; activity i is the i-th design_activity of the file.
struct GenModel {
    int32_t n = 0;
    int32_t nQ = 0;
    std::vector<std::vector<GenInput>> activity_inputs;  // n lists
    std::vector<std::vector<GenInput>> output_inputs;    // one list per output
};

// Shapes: "realistic", "chain", "half", "cycles". Returns false for an
// unknown shape.
bool generate_model(const std::string &shape, int32_t n, uint32_t seed, GenModel &m);

// Writes the model as an input file, one root child per line, or with no
// white space at all between the root's children (compact): the root's own
// text then stays empty, so models of any size stay within the reader's
// limit on an element's own text.
void write_model_xml(const GenModel &m, FILE *out, bool compact = false);

// Fills a run record with the model's matrices and names, as the model
// builder would: tables made by the run record, names on the heap, never
// released.
void fill_record(const GenModel &m, KAVELON *dt);

#endif
