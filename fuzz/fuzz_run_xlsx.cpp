// Fuzz target of a whole run on an .xlsx workbook: the run target, its
// input file named as a workbook.
#define KAVELON_FUZZ_RUN_CSV 1
#define KAVELON_FUZZ_RUN_SUFFIX ".xlsx"
#include "fuzz_run.cpp"
