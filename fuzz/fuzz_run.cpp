// Fuzz target of a whole run: arbitrary bytes are the input file, and one
// input goes through every stage the program has, in the order the program
// takes them, with every output thrown away: the command line, the reader,
// the tree dump, the model builder with its trace, the step-by-step ordering
// with its trace and state tables, the fast ordering, the sequencing inside
// blocks, and the four reports.
// Built with KAVELON_FUZZ_RUN_CSV, the input is a CSV matrix instead (the
// input file's name ends in ".csv"), read transposed when its size is odd;
// with KAVELON_FUZZ_RUN_SUFFIX ".xlsx" as well, it is a workbook.
//
// The "-fDSM" table of every ordered model is read back as a CSV matrix and
// must give the same activities in the same order, with the same blocks and
// predecessor blocks; any difference aborts.
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

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <expat.h>

#include "model/kavelon.h"

namespace {

FILE *sink = nullptr;      // reports and the tree dump
int input_fd = -1;         // in-memory file holding the current input
char input_path[64] = "";  // that file's name, as the command line gives it

#ifndef KAVELON_FUZZ_RUN_CSV
#define KAVELON_FUZZ_RUN_CSV 0
#endif
// The file name's ending, which chooses the reader of a matrix.
#ifndef KAVELON_FUZZ_RUN_SUFFIX
#define KAVELON_FUZZ_RUN_SUFFIX ".csv"
#endif

[[noreturn]] void fail(const char *what, int row) {
    std::fprintf(stderr, "fuzz_run: fast and step-by-step ordering disagree: %s (row %d)\n", what,
                 row);
    std::abort();
}

// Cells in all rows of a matrix.
size_t cells_of(const KAVROW *rows, int count) {
    size_t cells = 0;
    for (int r = 0; rows != nullptr && r < count; r++) cells += static_cast<size_t>(rows[r].count);
    return cells;
}

// Copies the cells of `count` rows into the rows of a copy made for them.
void copy_rows(const KAVROW *from, KAVROW *to, int count) {
    for (int r = 0; r < count; r++) {
        for (int32_t t = 0; t < from[r].count; t++)
            kavelon_add_cell(&to[r], from[r].cell[t].col, from[r].cell[t].code);
        kavelon_close_row(to, r, count);
    }
}

template <typename T>
void copy_table(const T *from, T *to, int count) {
    if (from != nullptr && to != nullptr) std::memcpy(to, from, static_cast<size_t>(count) * sizeof(T));
}

// A deep copy of a complete model: its own matrices, name tables and
// ordering states, made as the model builder makes them. Names, header
// values, file names and the tree are shared with the original.
KAVELON copy_model(const KAVELON &dt) {
    KAVELON copy = dt;
    copy.debug = 0;  // no creation trace
    copy.activity_duration = nullptr;  // the original's, released with it
    const size_t activity_cells = std::max(cells_of(dt.P, dt.n), cells_of(dt.Q, dt.n));
    const size_t output_cells = std::max(cells_of(dt.R, dt.nR), cells_of(dt.T, dt.nR));
    if (kavelon_create_tables(&copy, activity_cells, output_cells) != 0) std::abort();
    copy_table(dt.design_activity_name, copy.design_activity_name, dt.n);
    copy_table(dt.design_data_name, copy.design_data_name, dt.n);
    copy_table(dt.constraint_name, copy.constraint_name, dt.nQ);
    copy_table(dt.output_name, copy.output_name, dt.nR);
    for (int i = 0; i < dt.n; i++) *copy.d[i] = *dt.d[i];
    copy_rows(dt.P, copy.P, dt.n);
    copy_rows(dt.Q, copy.Q, dt.n);
    if (dt.nR > 0) {
        copy_rows(dt.R, copy.R, dt.nR);
        copy_rows(dt.T, copy.T, dt.nR);
    }
    return copy;
}

// Rows hold their cells in strictly ascending columns below the matrix's
// width, and never a '0'.
void check_rows(const KAVROW *rows, int count, int columns, const char *what) {
    for (int r = 0; rows != nullptr && r < count; r++) {
        for (int32_t t = 0; t < rows[r].count; t++) {
            const KAVCELL &c = rows[r].cell[t];
            if (c.col < 0 || c.col >= columns || c.code == DEP_NONE ||
                (t > 0 && rows[r].cell[t - 1].col >= c.col))
                fail(what, r);
        }
    }
}

bool same_row(const KAVROW &a, const KAVROW &b) {
    if (a.count != b.count) return false;
    for (int32_t t = 0; t < a.count; t++) {
        if (a.cell[t].col != b.cell[t].col || a.cell[t].code != b.cell[t].code) return false;
    }
    return true;
}

// Both copies started from one model, so an activity is known by its name
// pointers, which the ordering moves but never changes.
void compare_orderings(const KAVELON &lit, const KAVELON &fast) {
    if (lit.nblock != fast.nblock) fail("nblock", -1);
    check_rows(lit.P, lit.n, lit.n, "cells of P, step by step");
    check_rows(fast.P, fast.n, fast.n, "cells of P, fast");
    check_rows(lit.R, lit.nR, lit.n, "cells of R, step by step");
    check_rows(fast.R, fast.nR, fast.n, "cells of R, fast");
    for (int i = 0; i < lit.n; i++) {
        if (lit.design_activity_name[i] != fast.design_activity_name[i] ||
            lit.design_data_name[i] != fast.design_data_name[i])
            fail("row order", i);
        if (lit.d[i]->block_order != fast.d[i]->block_order) fail("block_order", i);
        if (lit.d[i]->subblock_order != fast.d[i]->subblock_order) fail("subblock_order", i);
        if (lit.d[i]->predecessor_block != fast.d[i]->predecessor_block)
            fail("predecessor_block", i);
        if (!same_row(lit.P[i], fast.P[i])) fail("row of P", i);
        if (!same_row(lit.Q[i], fast.Q[i])) fail("row of Q", i);
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

[[noreturn]] void fail_round_trip(const char *what, int row) {
    std::fprintf(stderr, "fuzz_run: -fDSM read back differs: %s (row %d)\n", what, row);
    std::abort();
}

// The "-fDSM" table of an ordered model, read back and ordered again.
void check_dsm_round_trip(const KAVELON &dt) {
    char *table = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&table, &size);
    if (out == nullptr) std::abort();
    kavelon_write_dsm(const_cast<KAVELON *>(&dt), out);
    std::fclose(out);
    FILE *in = fmemopen(table, size, "r");
    if (in == nullptr) std::abort();
    KAVELON back;
    kavelon_initialize(&back);
    if (kavelon_read_csv_file(&back, in) != 0 || kavelon_process_xml(&back) != 0 ||
        order_fast(back) != 0)
        fail_round_trip("the table is not read back", -1);
    std::fclose(in);
    if (back.n != dt.n || back.nQ != dt.nQ || back.nR != dt.nR) fail_round_trip("counts", -1);
    if (back.nblock != dt.nblock) fail_round_trip("nblock", -1);
    for (int i = 0; i < dt.n; i++) {
        if (std::strcmp(back.design_data_name[i], dt.design_data_name[i]) != 0)
            fail_round_trip("row order", i);
        if (back.d[i]->block_order != dt.d[i]->block_order) fail_round_trip("block_order", i);
        if (back.d[i]->predecessor_block != dt.d[i]->predecessor_block)
            fail_round_trip("predecessor_block", i);
    }
    kavelon_release_tables(&back);
    free_XMLENTITY(back.entities);
    std::free(table);
}

// Every report of an accepted input is sound text: the XML report is a
// well-formed UTF-8 document, as an XML parser sees it, and the text report
// is UTF-8.
void check_reports_are_sound(const KAVELON &dt) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    if (out == nullptr) std::abort();
    kavelon_write_xml(const_cast<KAVELON *>(&dt), out);
    std::fclose(out);
    XML_Parser parser = XML_ParserCreate("UTF-8");
    if (parser == nullptr) std::abort();
    if (XML_Parse(parser, text, static_cast<int>(size), 1) != XML_STATUS_OK) {
        std::fprintf(stderr, "fuzz_run: the XML report is not well-formed: %s (line %lu)\n",
                     XML_ErrorString(XML_GetErrorCode(parser)), static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)));
        std::abort();
    }
    XML_ParserFree(parser);
    std::free(text);
    out = open_memstream(&text, &size);
    if (out == nullptr) std::abort();
    kavelon_write_txt(const_cast<KAVELON *>(&dt), out);
    std::fclose(out);
    if (xmlutf8valid(text, size) != 1) {
        std::fprintf(stderr, "fuzz_run: the text report is not UTF-8\n");
        std::abort();
    }
    std::free(text);
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

void remove_input_file() { unlink(input_path); }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The banner-free stages still trace to standard output in debug mode.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    sink = std::fopen("/dev/null", "w");
    if (KAVELON_FUZZ_RUN_CSV) {
        // The reader is chosen by the file name, so the input needs a real one.
        std::snprintf(input_path, sizeof input_path, "/tmp/kavelon-fuzz-XXXXXX%s", KAVELON_FUZZ_RUN_SUFFIX);
        input_fd = mkstemps(input_path, static_cast<int>(std::strlen(KAVELON_FUZZ_RUN_SUFFIX)));
        if (input_fd >= 0) std::atexit(remove_input_file);
    } else {
        input_fd = memfd_create("kavelon-fuzz-input", 0);
        std::snprintf(input_path, sizeof input_path, "/proc/self/fd/%d", input_fd);
    }
    if (sink == nullptr || input_fd < 0) std::abort();
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
    char warnings[] = "-w";
    char plan[] = "-p";
    char transpose[] = "-t";
    char *argv[] = {program, input_path, debug, format, output, warnings, plan, transpose, nullptr};
    const int argc = KAVELON_FUZZ_RUN_CSV && size % 2 == 1 ? 8 : 7;
    if (kavelon_process_command_line(&dt, argc, argv) != 0) std::abort();

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
                if (kavelon_plan_blocks(&dt) != 0) std::abort();
                kavelon_write_txt(&dt, sink);
                kavelon_write_csv(&dt, sink);
                kavelon_write_dsm(&dt, sink);
                if (kavelon_write_output_file(&dt) != 0) std::abort();
                check_dsm_round_trip(dt);
                check_reports_are_sound(dt);
            }
            kavelon_release_tables(&fast);
        }
    }
    kavelon_release_plan(&dt);
    kavelon_release_tables(&dt);
    free_XMLENTITY(dt.entities);
    std::free(dt.xml_filename);
    std::free(dt.output_filename);
    return 0;
}
