// Fuzz target of a whole run on a CSV matrix: the run target, its input
// file named as a CSV matrix.
#define KAVELON_FUZZ_RUN_CSV 1
#include "fuzz_run.cpp"
