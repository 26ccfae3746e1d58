// Fuzz target of a whole run: arbitrary bytes are the input file, and one
// input goes through every stage the program has, in the order the program
// takes them, with every output thrown away: the command line, the reader,
// the tree dump, the model builder with its trace, the step-by-step ordering
// with its trace and state tables, the fast ordering, the sequencing inside
// blocks, and the three reports.
//
// The step-by-step ordering runs on the model, the fast one on a deep copy
// of it taken before either started, and the two must agree on every row's
// block, subblock and predecessor, on the final row order and on the number
// of blocks; any difference aborts.
//
// The program never releases its model; the target does, so that a leak of
// anything else is still caught by the leak checker.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/kavelon.h"

namespace {

FILE *sink = nullptr;      // reports and the tree dump
int input_fd = -1;         // in-memory file holding the current input
char input_path[64] = "";  // that file's name, as the command line gives it

[[noreturn]] void fail(const char *what, int row) {
    std::fprintf(stderr, "fuzz_run: fast and step-by-step ordering disagree: %s (row %d)\n", what,
                 row);
    std::abort();
}

void *checked_calloc(size_t count, size_t size) {
    void *block = std::calloc(count > 0 ? count : 1, size);
    if (block == nullptr) std::abort();
    return block;
}

// A copy of `count` rows of `width` codes each; rows that are none stay none.
char **copy_rows(char *const *rows, int count, int width) {
    if (rows == nullptr) return nullptr;
    auto **copy = static_cast<char **>(checked_calloc(static_cast<size_t>(count), sizeof(char *)));
    for (int i = 0; i < count; i++) {
        if (rows[i] == nullptr) continue;
        copy[i] = static_cast<char *>(checked_calloc(static_cast<size_t>(width) + 1, 1));
        std::memcpy(copy[i], rows[i], static_cast<size_t>(width) + 1);
    }
    return copy;
}

// A copy of a name table; the names themselves belong to the entity tree.
char **copy_names(char *const *names, int count) {
    if (names == nullptr) return nullptr;
    auto **copy = static_cast<char **>(checked_calloc(static_cast<size_t>(count), sizeof(char *)));
    std::memcpy(copy, names, static_cast<size_t>(count) * sizeof(char *));
    return copy;
}

// A deep copy of everything the model builder allocated: matrices, name
// tables and ordering states. Names, header values, file names and the tree
// are shared with the original.
KAVELON copy_model(const KAVELON &dt) {
    KAVELON copy = dt;
    copy.P = copy_rows(dt.P, dt.n, dt.n);
    copy.Q = copy_rows(dt.Q, dt.n, dt.nQ);
    copy.R = copy_rows(dt.R, dt.nR, dt.n);
    copy.T = copy_rows(dt.T, dt.nR, dt.nQ);
    copy.design_activity_name = copy_names(dt.design_activity_name, dt.n);
    copy.design_data_name = copy_names(dt.design_data_name, dt.n);
    copy.constraint_name = copy_names(dt.constraint_name, dt.nQ);
    copy.output_name = copy_names(dt.output_name, dt.nR);
    if (dt.d != nullptr) {
        copy.d = static_cast<ACTSTATE **>(checked_calloc(static_cast<size_t>(dt.n), sizeof(ACTSTATE *)));
        for (int i = 0; i < dt.n; i++) {
            if (dt.d[i] == nullptr) continue;
            copy.d[i] = static_cast<ACTSTATE *>(checked_calloc(1, sizeof(ACTSTATE)));
            *copy.d[i] = *dt.d[i];
        }
    }
    return copy;
}

void free_rows(char **rows, int count) {
    if (rows == nullptr) return;
    for (int i = 0; i < count; i++) std::free(rows[i]);
    std::free(rows);
}

// Releases what the model builder allocates (whole or in part, as a failed
// build leaves it), not the tree nor the file names.
void free_model(KAVELON &dt) {
    free_rows(dt.P, dt.n);
    free_rows(dt.Q, dt.n);
    free_rows(dt.R, dt.nR);
    free_rows(dt.T, dt.nR);
    if (dt.d != nullptr) {
        for (int i = 0; i < dt.n; i++) std::free(dt.d[i]);
        std::free(dt.d);
    }
    delete[] dt.block_sequence;
    std::free(dt.design_activity_name);
    std::free(dt.design_data_name);
    std::free(dt.constraint_name);
    std::free(dt.output_name);
}

bool same_row(const char *a, const char *b) {
    if (a == nullptr || b == nullptr) return a == b;
    return std::strcmp(a, b) == 0;
}

// Both copies started from one model, so an activity is known by its name
// pointers, which the ordering moves but never changes.
void compare_orderings(const KAVELON &lit, const KAVELON &fast) {
    if (lit.nblock != fast.nblock) fail("nblock", -1);
    for (int i = 0; i < lit.n; i++) {
        if (lit.design_activity_name[i] != fast.design_activity_name[i] ||
            lit.design_data_name[i] != fast.design_data_name[i])
            fail("row order", i);
        if (lit.d[i]->block_order != fast.d[i]->block_order) fail("block_order", i);
        if (lit.d[i]->subblock_order != fast.d[i]->subblock_order) fail("subblock_order", i);
        if (lit.d[i]->predecessor_block != fast.d[i]->predecessor_block)
            fail("predecessor_block", i);
        if (!same_row(lit.P[i], fast.P[i])) fail("row of P", i);
        if (lit.Q != nullptr && !same_row(lit.Q[i], fast.Q[i])) fail("row of Q", i);
    }
    for (int o = 0; o < lit.nR; o++) {
        if (!same_row(lit.R[o], fast.R[o])) fail("row of R", o);
    }
}

// The ordering stages as the program takes them; the state tables are those
// of a debug run. Returns the number of the stage that failed, or 0.
int order_literal(KAVELON &dt) {
    if (kavelon_identify_blocks_subblocks(&dt) != 0) return 1;
    if (kavelon_sort_P(&dt) != 0) return 2;
    if (dt.debug == 1) kavelon_print_state(&dt, stdout);
    if (kavelon_identify_predecessor_blocks(&dt) != 0) return 3;
    if (dt.debug == 1) kavelon_print_state(&dt, stdout);
    return 0;
}

// Sequencing must keep every block as it was: the same activities under
// each block number, the same kinds and predecessors; only the order inside
// a block and the positions of independent blocks may change.
void check_sequencing(KAVELON &dt, const KAVELON &unsequenced, int32_t objective) {
    dt.sequence = objective;
    if (kavelon_sequence_blocks(&dt) != 0) std::abort();
    for (int first = 0, end = 0; first < dt.n; first = end) {
        const int32_t block = dt.d[first]->block_order;
        for (end = first + 1; end < dt.n && dt.d[end]->block_order == block;) end++;
        for (int i = first; i < end; i++) {
            const ACTSTATE *s = dt.d[i], *u = unsequenced.d[i];
            if (u->block_order != block || s->predecessor_block != u->predecessor_block ||
                (s->subblock_order != 0) != (u->subblock_order != 0) ||
                (s->subblock_order != 0 && s->subblock_order != i - first + 1))
                fail("sequencing changed a block", i);
            bool found = false;
            for (int j = first; j < end && !found; j++)
                found = dt.design_activity_name[i] == unsequenced.design_activity_name[j];
            if (!found) fail("sequencing moved an activity out of its block", i);
        }
    }
}

int order_fast(KAVELON &dt) {
    if (kavelon_fast_identify_blocks_subblocks(&dt) != 0) return 1;
    if (kavelon_fast_sort_P(&dt) != 0) return 2;
    if (kavelon_fast_identify_predecessor_blocks(&dt) != 0) return 3;
    return 0;
}

// Puts the input into the in-memory file, from its start.
bool store_input(const uint8_t *data, size_t size) {
    if (ftruncate(input_fd, 0) != 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t w = pwrite(input_fd, data + done, size - done, static_cast<off_t>(done));
        if (w <= 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The banner-free stages still trace to standard output in debug mode.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    sink = std::fopen("/dev/null", "w");
    input_fd = memfd_create("kavelon-fuzz-input", 0);
    if (sink == nullptr || input_fd < 0) std::abort();
    std::snprintf(input_path, sizeof input_path, "/proc/self/fd/%d", input_fd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!store_input(data, size)) std::abort();

    KAVELON dt;
    kavelon_initialize(&dt);
    char program[] = "kavelon";
    char debug[] = "-d";
    char format[] = "-fXML";
    char output[] = "-o/dev/null";
    char *argv[] = {program, input_path, debug, format, output, nullptr};
    if (kavelon_process_command_line(&dt, 5, argv) != 0) std::abort();

    if (kavelon_read_xml_file(&dt) == 0) {
        // The debug dump, as "debug.xml" would hold it.
        print_XMLENTITY(sink, dt.root, 1);
        if (kavelon_process_xml(&dt) == 0) {
            KAVELON fast = copy_model(dt);
            fast.debug = 0;
            const int literal_failed = order_literal(dt);
            const int fast_failed = order_fast(fast);
            if (literal_failed != fast_failed) fail("stage result", literal_failed);
            if (literal_failed == 0) {
                compare_orderings(dt, fast);
                check_sequencing(dt, fast,
                                 size % 2 == 0 ? KAVELON_SEQUENCE_INPUTS : KAVELON_SEQUENCE_DISTANCE);
                kavelon_write_txt(&dt, sink);
                kavelon_write_csv(&dt, sink);
                if (kavelon_write_output_file(&dt) != 0) std::abort();
            }
            free_model(fast);
        }
    }
    free_model(dt);
    free_XMLENTITY(dt.root);
    std::free(dt.xml_filename);
    std::free(dt.output_filename);
    return 0;
}
