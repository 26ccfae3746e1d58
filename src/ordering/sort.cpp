// Row sorting and predecessor blocks: brings every per-activity table into
// block order, then gives every block the highest earlier block it strongly
// depends on.
#include <algorithm>
#include <cstdio>
#include <utility>

#include "ordering/steps.h"

namespace {

template <typename T>
void swap_entries(T *table, int i, int j) {
    if (table != nullptr) std::swap(table[i], table[j]);
}

// Moves the cell at index t of a row to column `col`, keeping the row in
// column order; no column between holds a cell of its own.
void move_cell(KAVROW *row, int32_t t, int32_t col) {
    const KAVCELL moved{col, row->cell[t].code};
    for (; t + 1 < row->count && row->cell[t + 1].col < col; t++) row->cell[t] = row->cell[t + 1];
    for (; t > 0 && row->cell[t - 1].col > col; t--) row->cell[t] = row->cell[t - 1];
    row->cell[t] = moved;
}

// Exchanges two columns in every row of a matrix, in place: the sort needs
// no memory of its own, as the fast sort's fallback.
void swap_columns(KAVROW *rows, int nrows, int i, int j) {
    if (rows == nullptr) return;
    for (int r = 0; r < nrows; r++) {
        KAVROW *row = &rows[r];
        const int32_t ti = kavelon_first_cell_from(row, i);
        const int32_t tj = kavelon_first_cell_from(row, j);
        const bool has_i = ti < row->count && row->cell[ti].col == i;
        const bool has_j = tj < row->count && row->cell[tj].col == j;
        if (has_i && has_j) {
            std::swap(row->cell[ti].code, row->cell[tj].code);
        } else if (has_i) {
            move_cell(row, ti, j);
        } else if (has_j) {
            move_cell(row, tj, i);
        }
    }
}

// Gives rows first .. last - 1 the predecessor found for their block.
int fill_predecessor(KAVELON *dt, int first, int last, int32_t predecessor) {
    int j = first;
    for (; j < last; j++) dt->d[j]->predecessor_block = predecessor;
    return j;
}

}  // namespace

int kavelon_sort_P(KAVELON *dt) {
    if (dt == nullptr) return 1;
    kavelon_print_trace(dt, "enter kavelon_sort_P(KAVELON *dt)\n");
    // One pass per block moves its rows, in the order they stand at the
    // start of the pass, right after those of the block before. The last
    // pass is that of block nblock, so a row with an impossible block number
    // cannot keep the loop going.
    int j = 0;
    for (int32_t b = 1; j < dt->n && b <= dt->nblock; b++) {
        for (int k = j; k < dt->n; k++) {
            if (dt->d[k]->block_order != b) continue;
            if (k != j) {
                kavelon_print_trace(dt, "swap rows %d and %d\n", k, j);
                if (kavelon_swap_rows(dt, k, j) == 1) return 1;
            }
            j++;
        }
    }
    kavelon_print_trace(dt, "exit kavelon_sort_P(KAVELON *dt)\n");
    return 0;
}

int kavelon_swap_rows(KAVELON *dt, int i, int j) {
    if (dt == nullptr || i < 0 || i >= dt->n || j < 0 || j >= dt->n) {
        std::fprintf(stderr, " *** internal error in kavelon_swap_rows()\n");
        return 1;
    }
    // Rows and columns of P move alike, so the crossings of the two
    // activities, the diagonal included, travel with them. T has no
    // activity dimension and stays as it is.
    swap_entries(dt->P, i, j);
    swap_entries(dt->Q, i, j);
    swap_columns(dt->P, dt->n, i, j);
    swap_columns(dt->R, dt->nR, i, j);
    swap_entries(dt->d, i, j);
    swap_entries(dt->design_activity_name, i, j);
    swap_entries(dt->design_data_name, i, j);
    return 0;
}

int kavelon_identify_predecessor_blocks(KAVELON *dt) {
    if (dt == nullptr) return 0;
    kavelon_print_trace(dt, "enter kavelon_identify_predecessor_blocks(KAVELON *dt)\n");

    // Per activity: the rows are in block order, so the scan up to the first
    // row of its own block meets the earlier blocks in ascending order, and
    // the last strong input found is from the highest of them.
    for (int i = 0; i < dt->n; i++) {
        ACTSTATE *s = dt->d[i];
        s->predecessor_block = 0;
        int stop = 0;
        while (stop < dt->n && dt->d[stop]->block_order != s->block_order) stop++;
        const KAVROW &row = dt->P[i];
        for (int32_t t = 0; t < row.count && row.cell[t].col < stop; t++) {
            if (row.cell[t].code == DEP_STRONG)
                s->predecessor_block = dt->d[row.cell[t].col]->block_order;
        }
    }
    // Two blanks before "dt->n" and one before the newline: fixed wording that callers rely on.
    kavelon_print_trace(dt, "End of first step  dt->n = %d \n", dt->n);

    // Per block: every row of a block gets the highest value of its rows.
    // The last block is filled after the trace, which shows where it starts,
    // its highest value and where the block before it ended (j).
    int block_start = 0;
    int32_t max_block = 0;
    int j = 0;
    for (int first = 0; first < dt->n;) {
        const int end = kavelon_block_end(dt, first);
        max_block = 0;
        for (int k = first; k < end; k++) max_block = std::max(max_block, dt->d[k]->predecessor_block);
        block_start = first;
        if (end == dt->n) break;
        j = fill_predecessor(dt, first, end, max_block);
        first = end;
    }
    const int i = dt->n > 0 ? dt->n : 0;
    // "j =" without a blank after it: fixed wording that callers rely on.
    kavelon_print_trace(dt, "End of second step i = %d j =%d block_start = %d max_block = %d\n", i,
                        j, block_start, max_block);
    fill_predecessor(dt, block_start, dt->n, max_block);
    kavelon_print_trace(dt, "exit kavelon_identify_predecessor_blocks(KAVELON *dt)\n");
    return 0;
}
