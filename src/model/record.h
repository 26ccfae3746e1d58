// The run record of kavelon: the options, the model, the matrices and the
// ordering state of one run.
#ifndef KAVELON_MODEL_RECORD_H
#define KAVELON_MODEL_RECORD_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "xml/xmlentity.h"

#define KAVELON_VERSION "2.0"
#define KAVELON_VERSION_DATE "Jun 26 2021"

// One-character dependency codes of the matrix cells.
constexpr char DEP_NONE = '0';
constexpr char DEP_STRONG = 'S';
constexpr char DEP_WEAK = 'W';
constexpr char DEP_ICD = 'I';
constexpr char DEP_DIAGONAL = 'X';  // shown on the diagonal of P, never stored

// The element a dependency code stands for in the input and the XML report:
// "strong", "weak" or "icd"; nullptr for any other code.
inline const char *kavelon_dependency_word(char code) {
    switch (code) {
        case DEP_STRONG: return "strong";
        case DEP_WEAK: return "weak";
        case DEP_ICD: return "icd";
        default: return nullptr;
    }
}

// The code of a dependency element's name; DEP_NONE when the name is none of
// the three (or none at all). Every element of a large model passes here, so
// the first letter picks the one word worth comparing.
inline char kavelon_dependency_code(const char *name) {
    if (name == nullptr) return DEP_NONE;
    switch (name[0]) {
        case 's': return std::strcmp(name, "strong") == 0 ? DEP_STRONG : DEP_NONE;
        case 'w': return std::strcmp(name, "weak") == 0 ? DEP_WEAK : DEP_NONE;
        case 'i': return std::strcmp(name, "icd") == 0 ? DEP_ICD : DEP_NONE;
        default: return DEP_NONE;
    }
}

// One cell of a sparse matrix row: a column and the code it holds there.
struct KAVCELL {
    int32_t col;  // column index
    char code;    // any code but DEP_NONE; the model builder stores S, W, I
};

// One row of a dependency matrix, kept sparse so that a model takes memory
// in proportion to its dependencies, not to the square of its size.
//
// The row holds the cells whose code is not '0', ascending by column, each
// column at most once; every other column of the row reads '0'. A row of m
// columns therefore reads as the m codes the dense form would hold: cell j is
// kavelon_code_at(row, j). An empty row has count 0 (cell may then be none).
//
// The diagonal cell of P is a cell like any other. Rows of a matrix of no
// columns (Q and T without constraints) exist and stay empty; the printers
// show such a row as "(null)", as they show one that does not exist.
//
// Reading a row: its dependencies in column order are
//     for (int32_t t = 0; t < row.count; t++) use(row.cell[t].col, row.cell[t].code);
// and those on columns first .. last - 1 (the activities of one block, say)
// start at t = kavelon_first_cell_from(&row, first) and run while
// row.cell[t].col < last. kavelon_code_at gives one cell, kavelon_fill_codes
// a stretch of the dense row.
//
// The cells of all rows of one matrix live in one heap block (see the
// *_cells fields of KAVELON); a row points at its own stretch of it. Moving
// an activity moves whole KAVROW records; a column permutation relabels
// cells in place and sorts each row again, so rows never grow once built.
struct KAVROW {
    KAVCELL *cell;  // count cells, ascending by col
    int32_t count;
};

// Index of the first cell of a row at column col or after; count if none.
inline int32_t kavelon_first_cell_from(const KAVROW *row, int32_t col) {
    int32_t lo = 0;
    int32_t hi = row->count;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (row->cell[mid].col < col) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// The code of a row at a column: '0' when the row holds no cell there.
inline char kavelon_code_at(const KAVROW *row, int32_t col) {
    const int32_t t = kavelon_first_cell_from(row, col);
    return (t < row->count && row->cell[t].col == col) ? row->cell[t].code : DEP_NONE;
}

// Writes the dense codes of columns from .. to - 1 of a row into line (to -
// from bytes, no terminator): '0' where the row holds no cell.
inline void kavelon_fill_codes(const KAVROW *row, int32_t from, int32_t to, char *line) {
    if (to <= from) return;
    std::memset(line, DEP_NONE, static_cast<size_t>(to - from));
    for (int32_t t = kavelon_first_cell_from(row, from); t < row->count && row->cell[t].col < to; t++)
        line[row->cell[t].col - from] = row->cell[t].code;
}

// Report formats held in KAVELON::output_format.
enum : int32_t {
    KAVELON_FORMAT_CSV = 0,
    KAVELON_FORMAT_TXT = 1,
    KAVELON_FORMAT_XML = 2,
    KAVELON_FORMAT_DSM = 3,  // the partitioned matrix alone, readable back as input
    KAVELON_FORMAT_XLSX = 4  // the DSM table and the block list as a workbook
};

// Sequencing objectives held in KAVELON::sequence: none, "-s" (fewest inputs
// to assume) and "-sDIST" (smallest feedback distance).
enum : int32_t { KAVELON_SEQUENCE_NONE = 0, KAVELON_SEQUENCE_INPUTS = 1, KAVELON_SEQUENCE_DISTANCE = 2 };

// How a block's order was found: every part by the exact method (or a part
// of one row), a topological order of a block without cycles, at least one
// part by the heuristic, or at least one part, too large for the exact
// method, by the integer program ("-s" only).
enum : int32_t {
    KAVELON_METHOD_EXACT = 0,
    KAVELON_METHOD_TOPOLOGICAL = 1,
    KAVELON_METHOD_HEURISTIC = 2,
    KAVELON_METHOD_PROGRAM = 3
};

// The sequencing result of one block. A feedback mark is an in-block
// dependency of a row on a row placed after it (an input to assume); its
// distance is how many rows later that row stands.
struct BLOCKSEQ {
    int32_t method;            // KAVELON_METHOD_*
    int32_t optimal;           // 1 when proven optimal
    int32_t memory_fallback;   // 1 when the exact method could not have its memory
    int64_t strong_inputs;     // strong feedback marks
    int64_t weak_inputs;       // weak and ICD feedback marks
    int64_t strong_distance;   // total distance of the strong ones
    int64_t weak_distance;     // total distance of the weak and ICD ones
    // A lower bound of the objective's three criteria, compared in order:
    // "-s" strong inputs, weak/ICD inputs, total distance; "-sDIST" strong
    // distance, weak/ICD distance, inputs. No order of the block is below it.
    int64_t bound[3];
    // With the integer program: 1 when the first two criteria (the inputs
    // to assume) are proven least, though the distance may not be; 1 when
    // its time limit ended it before it could prove them.
    int32_t inputs_optimal;
    int32_t time_limit_reached;
};

// Ordering state of one activity.
struct ACTSTATE {
    int32_t block_order;          // block number, 0 while unassigned
    int32_t subblock_order;       // position within an independent block, else 0
    int32_t predecessor_block;    // highest earlier block strongly depended on
    int32_t trial_chain;          // work mark of the coupled-block search
    int32_t candidate_rows;       // work mark: candidate of the current search
    int32_t row_nbr_remaining_s;  // work count: strong inputs from unassigned rows
    int32_t delete_chain;         // work mark of the coupled-block search
};

// The one record of a run. Names and header values point into the texts of
// the entity tree under root. The tables are created and released by
// kavelon_create_tables and kavelon_release_tables; the program itself
// releases nothing before the process ends.
struct KAVELON {
    KAVROW *P;                     // n rows of n columns: activity on activity
    ACTSTATE **d;                  // n ordering states
    int32_t n;                     // number of design activities
    int32_t nblock;                // number of blocks formed
    char **design_activity_name;   // n names
    char **design_data_name;       // n names of the data items produced
    int32_t nQ;                    // number of constraints
    int32_t nR;                    // number of outputs
    KAVROW *Q;                     // n rows of nQ columns: activity on constraint
    KAVROW *R;                     // nR rows of n columns: output on activity
    KAVROW *T;                     // nR rows of nQ columns: output on constraint
    char **constraint_name;        // nQ names
    char **output_name;            // nR names
    char *name;                    // design process name, or nullptr
    char *version;
    char *version_date;
    char *study_name;
    XMLENTITY *root;               // the document's root among the top-level entities
    char *xml_filename;
    char *output_filename;         // nullptr: standard output
    int32_t output_format;         // KAVELON_FORMAT_*
    int32_t debug;                 // 1 with "-d"
    XMLENTITY *entities;           // first top-level entity of the input
    int32_t transpose;             // 1 with "-t": a CSV matrix has providers in its rows
    int32_t warnings;              // 1 with "-w": warn of suspicious input
    int32_t text_after;            // top-level entities before the last text outside markup
    // The heap blocks behind the tables, kept for their release only: the
    // cells of all rows of each matrix, and the n ordering states d points at.
    KAVCELL *P_cells;
    KAVCELL *Q_cells;
    KAVCELL *R_cells;
    KAVCELL *T_cells;
    ACTSTATE *states;
    int32_t sequence;              // KAVELON_SEQUENCE_*, from "-s"
    BLOCKSEQ *block_sequence;      // nblock results once sequenced, else nullptr
    int32_t sequence_seconds;      // with sequence_seconds_given, the "-sTIME=" limit
    int32_t sequence_seconds_given;  // 0: the default limit of the integer program
    int32_t plan;                  // 1 with "-p": levels, times and the critical path
    double iteration_factor;       // passes over a coupled block, from "-pITER="; 0 for 1
    int32_t what_if;               // KAVELON_WHATIF_* bits, from "-x": what counts as strong
    // With "-p": the duration of each activity in input order, so that entry
    // k belongs to the activity whose state is states[k] wherever it stands.
    double *activity_duration;
    struct KAVPLAN *block_plan;    // the plan once made, else nullptr
    char *sheet_name;              // "-iSHEET=NAME": the workbook's sheet to read, nullptr for the first
    int32_t csv_separator;         // "-iSEP=X": the CSV separator, 0 to guess it
    double mark_minimum;           // "-iMIN=V": numeric marks below V are no dependency, 0 for any positive
};

// The debug switch ("-d"): the one test of it, so that every module reads
// the same meaning from the field.
inline bool kavelon_debug_on(const KAVELON *dt) { return dt->debug != 0; }

// The row after the last one of the block that row `first` belongs to: rows
// first .. end - 1 share its block number. Rows of one block stand together
// once the matrix is sorted; before, this finds the run of equal numbers.
inline int32_t kavelon_block_end(const KAVELON *dt, int32_t first) {
    int32_t end = first + 1;
    while (end < dt->n && dt->d[end]->block_order == dt->d[first]->block_order) end++;
    return end;
}

// The debug trace: written to standard output only when the run's debug
// switch is on.
__attribute__((format(printf, 2, 3))) inline void kavelon_print_trace(const KAVELON *dt,
                                                                      const char *format, ...) {
    if (!kavelon_debug_on(dt)) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

// Flushes the trace so far, so that it stands complete before anything a
// later failure writes to standard error.
inline void kavelon_flush_trace(const KAVELON *dt) {
    if (kavelon_debug_on(dt)) std::fflush(stdout);
}

// Run record.
int kavelon_initialize(KAVELON *dt);
void kavelon_print_state(KAVELON *dt, FILE *out);

// Creates every table of a model of dt->n activities (at least 1), dt->nQ
// constraints and dt->nR outputs, in this order, and in debug mode shows each
// matrix row as it is created:
//   design_activity_name, design_data_name, P, d, the cells of P and the
//   states (all seven fields 0), Q (n rows, always), and when nQ > 0
//   constraint_name and the cells of Q; when nR > 0 output_name, R, T and
//   the cells of R, and when nQ > 0 as well the cells of T.
// Names start as none and rows empty. All rows of P together may hold up to
// activity_cells cells, and so may all rows of Q; all rows of R, and all of
// T, up to output_cells. When a table cannot be had, writes its out-of-memory message
// and returns 1, keeping what was made so far; else returns 0.
int kavelon_create_tables(KAVELON *dt, size_t activity_cells, size_t output_cells);
// Releases whatever kavelon_create_tables made, whole or in part, and sets
// the tables to none; names, tree and file names are not the tables'.
void kavelon_release_tables(KAVELON *dt);

// Rows of a matrix are filled in row order: add the cells of row r with
// kavelon_add_cell (any column order; for a column given twice, the later
// code counts), then kavelon_close_row(rows, r, count), which sorts row r and
// starts row r + 1 right after it in the matrix's block. Every row is closed
// in turn, an empty one too. Closing never allocates.
inline void kavelon_add_cell(KAVROW *row, int32_t col, char code) {
    row->cell[row->count].col = col;
    row->cell[row->count].code = code;
    row->count++;
}
void kavelon_close_row(KAVROW *rows, int32_t r, int32_t count);

// Writes the codes of the first `columns` columns of a row, showing 'X' in
// column `diagonal` whatever the row holds there (no column when diagonal is
// negative); nothing is allocated.
void kavelon_write_codes(FILE *out, const KAVROW *row, int32_t columns, int32_t diagonal);

// Puts the activity now at row perm[t] at row t, for every t below n, in
// every per-activity table: rows and columns of P, rows of Q, columns of R,
// the states and both name tables. perm must be a permutation of 0 .. n - 1.
// Returns 0, or 1 with nothing changed when its work tables cannot be had.
int kavelon_permute_rows(KAVELON *dt, const int32_t *perm);

#endif
