// The run record of kavelon: the options, the model, the matrices and the
// ordering state of one run.
#ifndef KAVELON_MODEL_RECORD_H
#define KAVELON_MODEL_RECORD_H

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

// The first column from j on, below n, whose code in row is not '0'; n if
// there is none. Most cells of a large matrix are '0', so 32 and then 8 codes
// are tested at a time.
inline int kavelon_next_dependency(const char *row, int j, int n) {
    const uint64_t no_codes = 0x3030303030303030ULL;  // eight '0'
    for (; j + 32 <= n; j += 32) {
        uint64_t codes[4];
        std::memcpy(codes, row + j, sizeof codes);
        if (((codes[0] ^ no_codes) | (codes[1] ^ no_codes) | (codes[2] ^ no_codes) |
             (codes[3] ^ no_codes)) != 0)
            break;
    }
    for (; j + 8 <= n; j += 8) {
        uint64_t codes;
        std::memcpy(&codes, row + j, sizeof codes);
        if (codes != no_codes) break;
    }
    while (j < n && row[j] == DEP_NONE) j++;
    return j;
}

// Report formats held in KAVELON::output_format.
enum : int32_t { KAVELON_FORMAT_CSV = 0, KAVELON_FORMAT_TXT = 1, KAVELON_FORMAT_XML = 2 };

// Sequencing objectives held in KAVELON::sequence: none, "-s" (fewest inputs
// to assume) and "-sDIST" (smallest feedback distance).
enum : int32_t { KAVELON_SEQUENCE_NONE = 0, KAVELON_SEQUENCE_INPUTS = 1, KAVELON_SEQUENCE_DISTANCE = 2 };

// How a block's order was found: every part by the exact method (or a part
// of one row), a topological order of a block without cycles, or at least
// one part by the heuristic.
enum : int32_t { KAVELON_METHOD_EXACT = 0, KAVELON_METHOD_TOPOLOGICAL = 1, KAVELON_METHOD_HEURISTIC = 2 };

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
// the entity tree under root; nothing is released before the process ends.
struct KAVELON {
    char **P;                      // n rows of n codes: activity on activity
    ACTSTATE **d;                  // n ordering states
    int32_t n;                     // number of design activities
    int32_t nblock;                // number of blocks formed
    char **design_activity_name;   // n names
    char **design_data_name;       // n names of the data items produced
    int32_t nQ;                    // number of constraints
    int32_t nR;                    // number of outputs
    char **Q;                      // n rows of nQ codes: activity on constraint
    char **R;                      // nR rows of n codes: output on activity
    char **T;                      // nR rows of nQ codes: output on constraint
    char **constraint_name;        // nQ names
    char **output_name;            // nR names
    char *name;                    // design process name, or nullptr
    char *version;
    char *version_date;
    char *study_name;
    XMLENTITY *root;               // first top-level entity of the input
    char *xml_filename;
    char *output_filename;         // nullptr: standard output
    int32_t output_format;         // KAVELON_FORMAT_*
    int32_t debug;                 // 1 with "-d"
    int32_t sequence;              // KAVELON_SEQUENCE_*, from "-s"
    BLOCKSEQ *block_sequence;      // nblock results once sequenced, else nullptr
};

// Run record.
int kavelon_initialize(KAVELON *dt);
void kavelon_print_state(KAVELON *dt, FILE *out);
// Puts the activity now at row perm[t] at row t, for every t below n, in
// every per-activity table: rows and columns of P, rows of Q, columns of R,
// the states and both name tables. perm must be a permutation of 0 .. n - 1.
// Returns 0, or 1 with nothing changed when its work tables cannot be had.
int kavelon_permute_rows(KAVELON *dt, const int32_t *perm);

#endif
