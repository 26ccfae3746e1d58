// The run record: its initial values, the creation and release of its
// tables, the moves of activities and the diagnostic state table.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "model/record.h"

namespace {

// Copies at most the first 20 bytes of a name, so that long names fit their
// column; a name that is none shows as "(null)" like a missing row.
void cut_name(char (&buf)[21], const char *name) {
    std::strncpy(buf, xmlnulltext(name), 20);
    buf[20] = '\0';
}

// A zero-filled block, or none after the given out-of-memory message.
void *new_block(size_t count, size_t size, const char *message) {
    void *block = std::calloc(count, size);
    if (block == nullptr) std::fputs(message, stderr);
    return block;
}

// The cells of a matrix, room for `cells` of them; an empty matrix needs no
// block. False after the message when the block cannot be had.
bool new_cells(KAVCELL **block, size_t cells, KAVROW *rows, const char *message) {
    if (cells == 0) return true;
    *block = static_cast<KAVCELL *>(new_block(cells, sizeof(KAVCELL), message));
    if (*block == nullptr) return false;
    rows[0].cell = *block;
    return true;
}

// In debug mode, the rows of matrix `matrix` ('P', 'Q', 'R' or 'T') as they
// read once created: `columns` codes '0' each.
void trace_new_rows(const KAVELON *dt, char matrix, int32_t count, int32_t columns) {
    if (!kavelon_debug_on(dt)) return;
    const KAVROW empty{nullptr, 0};
    for (int32_t r = 0; r < count; r++) {
        std::fprintf(stdout, "%c[%3d] = ", matrix, r);
        kavelon_write_codes(stdout, &empty, columns, -1);
        std::fputc('\n', stdout);
    }
}

// A row's codes, or "(null)" for a row of no columns, which the record does
// not hold as a row.
void write_row_or_null(FILE *out, const KAVROW *rows, int32_t r, int32_t columns, int32_t diagonal) {
    if (rows == nullptr || columns <= 0) {
        std::fputs(xmlnulltext(nullptr), out);
        return;
    }
    kavelon_write_codes(out, &rows[r], columns, diagonal);
}

// One line of the state table: index, two names cut to their columns, the
// seven state values and two rows.
void write_state_line(FILE *out, int32_t i, const char *name1, const char *name2, const ACTSTATE &s,
                      const KAVROW *rows1, int32_t columns1, int32_t diagonal, const KAVROW *rows2,
                      int32_t columns2) {
    std::fprintf(out, " %3d %20s %20s %2d %2d %2d %2d.%2d.%2d.%2d ", i, name1, name2, s.block_order,
                 s.subblock_order, s.predecessor_block, s.trial_chain, s.candidate_rows,
                 s.row_nbr_remaining_s, s.delete_chain);
    write_row_or_null(out, rows1, i, columns1, diagonal);
    std::fputc(' ', out);
    write_row_or_null(out, rows2, i, columns2, -1);
    std::fputc('\n', out);
}

// Puts entry perm[t] of a table at position t, for every t.
template <typename T>
void permute_entries(T *table, const std::vector<int32_t> &perm, std::vector<T> &tmp) {
    const size_t n = perm.size();
    for (size_t t = 0; t < n; t++) tmp[t] = table[perm[t]];
    std::copy(tmp.begin(), tmp.end(), table);
}

// Cells in column order; a row holds each column once, so any order of
// equal keys cannot arise.
void sort_cells(KAVROW *row) {
    std::sort(row->cell, row->cell + row->count,
              [](const KAVCELL &a, const KAVCELL &b) { return a.col < b.col; });
}

// Puts cells in column order keeping cells of one column in the order they
// came, without memory of its own: insertion for short stretches, merges by
// rotation above them (O(k log^2 k) moves for k cells).
void merge_cells(KAVCELL *first, KAVCELL *middle, KAVCELL *last) {
    if (first == middle || middle == last) return;
    if (last - first == 2) {
        if (middle->col < first->col) std::swap(*first, *middle);
        return;
    }
    auto before = [](const KAVCELL &c, int32_t col) { return c.col < col; };
    auto after = [](int32_t col, const KAVCELL &c) { return col < c.col; };
    KAVCELL *cut1;
    KAVCELL *cut2;
    if (middle - first > last - middle) {
        cut1 = first + (middle - first) / 2;
        cut2 = std::lower_bound(middle, last, cut1->col, before);
    } else {
        cut2 = middle + (last - middle) / 2;
        cut1 = std::upper_bound(first, middle, cut2->col, after);
    }
    KAVCELL *new_middle = std::rotate(cut1, middle, cut2);
    merge_cells(first, cut1, new_middle);
    merge_cells(new_middle, cut2, last);
}

void sort_cells_stably(KAVCELL *first, KAVCELL *last) {
    if (last - first < 2) return;
    if (last - first <= 32) {
        for (KAVCELL *c = first + 1; c < last; c++) {
            const KAVCELL moved = *c;
            KAVCELL *to = c;
            for (; to > first && (to - 1)->col > moved.col; to--) *to = *(to - 1);
            *to = moved;
        }
        return;
    }
    KAVCELL *middle = first + (last - first) / 2;
    sort_cells_stably(first, middle);
    sort_cells_stably(middle, last);
    merge_cells(first, middle, last);
}

// Puts column perm[u] of each row at column u, for every u; where is the
// inverse of perm.
void relabel_columns(KAVROW *rows, int32_t count, const std::vector<int32_t> &where) {
    for (int32_t r = 0; r < count; r++) {
        KAVROW *row = &rows[r];
        for (int32_t t = 0; t < row->count; t++) row->cell[t].col = where[row->cell[t].col];
        sort_cells(row);
    }
}

}  // namespace

int kavelon_initialize(KAVELON *dt) {
    // Every field starts as none or 0, but for the text report by default.
    *dt = KAVELON{};
    dt->output_format = KAVELON_FORMAT_TXT;
    return 0;
}

void kavelon_print_state(KAVELON *dt, FILE *out) {
    char name1[21];
    char name2[21];
    // A blank before the first newline, and " . " between some headings: fixed wording that callers rely on.
    std::fprintf(out,
                 " \nBLOCK_ORDER SUBBLOCK_ORDER PREDECESSOR_BLOCK TRIAL_CHAIN . CANDIDATE_ROWS . "
                 "ROW_NBR_REMAINING_S . DELETE_CHAIN\n");
    const ACTSTATE zero{};
    for (int i = 0; i < dt->n; i++) {
        cut_name(name1, dt->design_activity_name ? dt->design_activity_name[i] : nullptr);
        cut_name(name2, dt->design_data_name ? dt->design_data_name[i] : nullptr);
        const ACTSTATE *s = (dt->d != nullptr && dt->d[i] != nullptr) ? dt->d[i] : &zero;
        // The diagonal shows 'X' whatever it holds.
        write_state_line(out, i, name1, name2, *s, dt->P, dt->n, i, dt->Q, dt->nQ);
    }
    for (int o = 0; o < dt->nR; o++) {
        std::strcpy(name1, "Output:");
        cut_name(name2, dt->output_name ? dt->output_name[o] : nullptr);
        write_state_line(out, o, name1, name2, zero, dt->R, dt->n, -1, dt->T, dt->nQ);
    }
    std::fprintf(out, "\n");
    std::fflush(out);
}

int kavelon_create_tables(KAVELON *dt, size_t activity_cells, size_t output_cells) {
    const size_t n = static_cast<size_t>(dt->n);
    const size_t nR = static_cast<size_t>(dt->nR);
    dt->design_activity_name = static_cast<char **>(
        new_block(n, sizeof(char *), " *** ERROR: Out of memory for dt->design_activity_name\n"));
    if (dt->design_activity_name == nullptr) return 1;
    dt->design_data_name = static_cast<char **>(
        new_block(n, sizeof(char *), " *** ERROR: Out of memory for dt->design_data_name\n"));
    if (dt->design_data_name == nullptr) return 1;
    dt->P = static_cast<KAVROW *>(new_block(n, sizeof(KAVROW), " *** ERROR: Out of memory for dt->P\n"));
    if (dt->P == nullptr) return 1;
    dt->d = static_cast<ACTSTATE **>(
        new_block(n, sizeof(ACTSTATE *), " *** ERROR: Out of memory for dt->d\n"));
    if (dt->d == nullptr) return 1;
    // All rows of P share one block of cells and all states one block; each
    // block keeps the message of the per-activity blocks it stands for.
    if (!new_cells(&dt->P_cells, activity_cells, dt->P, " *** ERROR: Out of memory for dt->P[i]\n"))
        return 1;
    dt->states = static_cast<ACTSTATE *>(
        new_block(n, sizeof(ACTSTATE), " *** ERROR: Out of memory for dt->d[i]\n"));
    if (dt->states == nullptr) return 1;
    for (size_t i = 0; i < n; i++) dt->d[i] = &dt->states[i];
    trace_new_rows(dt, 'P', dt->n, dt->n);

    // Q always has n rows; they hold cells only when there are constraints.
    dt->Q = static_cast<KAVROW *>(new_block(n, sizeof(KAVROW), " *** ERROR: Out of memory for dt->Q\n"));
    if (dt->Q == nullptr) return 1;
    if (dt->nQ > 0) {
        dt->constraint_name = static_cast<char **>(new_block(static_cast<size_t>(dt->nQ), sizeof(char *),
                                                             " *** ERROR: Out of memory for dt->constraint_name\n"));
        if (dt->constraint_name == nullptr) return 1;
        if (!new_cells(&dt->Q_cells, activity_cells, dt->Q, " *** ERROR: Out of memory for dt->Q[i]\n"))
            return 1;
        trace_new_rows(dt, 'Q', dt->n, dt->nQ);
    }

    // Output names, R and T exist only when there are outputs; T holds
    // cells only when there are constraints as well.
    if (dt->nR <= 0) return 0;
    dt->output_name = static_cast<char **>(
        new_block(nR, sizeof(char *), " *** ERROR: Out of memory for dt->output_name\n"));
    if (dt->output_name == nullptr) return 1;
    dt->R = static_cast<KAVROW *>(new_block(nR, sizeof(KAVROW), " *** ERROR: Out of memory for dt->R\n"));
    if (dt->R == nullptr) return 1;
    dt->T = static_cast<KAVROW *>(new_block(nR, sizeof(KAVROW), " *** ERROR: Out of memory for dt->T\n"));
    if (dt->T == nullptr) return 1;
    if (!new_cells(&dt->R_cells, output_cells, dt->R, " *** ERROR: Out of memory for dt->R[i]\n"))
        return 1;
    trace_new_rows(dt, 'R', dt->nR, dt->n);
    if (dt->nQ <= 0) return 0;
    if (!new_cells(&dt->T_cells, output_cells, dt->T, " *** ERROR: Out of memory for dt->T[i]\n"))
        return 1;
    trace_new_rows(dt, 'T', dt->nR, dt->nQ);
    return 0;
}

void kavelon_release_tables(KAVELON *dt) {
    std::free(dt->design_activity_name);
    std::free(dt->design_data_name);
    std::free(dt->P);
    std::free(dt->d);
    std::free(dt->P_cells);
    std::free(dt->states);
    std::free(dt->Q);
    std::free(dt->constraint_name);
    std::free(dt->Q_cells);
    std::free(dt->output_name);
    std::free(dt->R);
    std::free(dt->T);
    std::free(dt->R_cells);
    std::free(dt->T_cells);
    delete[] dt->block_sequence;
    dt->block_sequence = nullptr;
    dt->design_activity_name = dt->design_data_name = dt->constraint_name = dt->output_name = nullptr;
    dt->P = dt->Q = dt->R = dt->T = nullptr;
    dt->P_cells = dt->Q_cells = dt->R_cells = dt->T_cells = nullptr;
    dt->d = nullptr;
    dt->states = nullptr;
}

void kavelon_close_row(KAVROW *rows, int32_t r, int32_t count) {
    KAVROW *row = &rows[r];
    sort_cells_stably(row->cell, row->cell + row->count);
    // A column named again takes the later code.
    int32_t kept = 0;
    for (int32_t t = 0; t < row->count; t++) {
        if (kept > 0 && row->cell[kept - 1].col == row->cell[t].col) {
            row->cell[kept - 1].code = row->cell[t].code;
        } else {
            row->cell[kept++] = row->cell[t];
        }
    }
    row->count = kept;
    if (r + 1 < count && row->cell != nullptr) rows[r + 1].cell = row->cell + kept;
}

void kavelon_write_codes(FILE *out, const KAVROW *row, int32_t columns, int32_t diagonal) {
    char chunk[16384];
    const int32_t width = static_cast<int32_t>(sizeof chunk);
    for (int32_t from = 0; from < columns; from += width) {
        const int32_t to = columns - from < width ? columns : from + width;
        kavelon_fill_codes(row, from, to, chunk);
        if (diagonal >= from && diagonal < to) chunk[diagonal - from] = DEP_DIAGONAL;
        std::fwrite(chunk, 1, static_cast<size_t>(to - from), out);
    }
}

int kavelon_permute_rows(KAVELON *dt, const int32_t *perm) {
    const int32_t n = dt->n;
    std::vector<int32_t> order, where;
    std::vector<KAVROW> row_tmp;
    std::vector<ACTSTATE *> state_tmp;
    std::vector<char *> name_tmp;
    try {
        order.assign(perm, perm + n);
        where.resize(n);
        row_tmp.resize(n);
        state_tmp.resize(n);
        name_tmp.resize(n);
    } catch (const std::bad_alloc &) {
        return 1;
    }
    for (int32_t t = 0; t < n; t++) where[order[t]] = t;
    // Rows and columns of P move alike, so the crossings of two activities,
    // the diagonal included, travel with them; T has no activity dimension.
    permute_entries(dt->P, order, row_tmp);
    relabel_columns(dt->P, n, where);
    if (dt->Q != nullptr) permute_entries(dt->Q, order, row_tmp);
    if (dt->nR > 0) relabel_columns(dt->R, dt->nR, where);
    permute_entries(dt->d, order, state_tmp);
    permute_entries(dt->design_activity_name, order, name_tmp);
    permute_entries(dt->design_data_name, order, name_tmp);
    return 0;
}
