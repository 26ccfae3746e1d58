// The run record: its initial values and the diagnostic state table.
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

const char *row_or_null(char **rows, int i) {
    return xmlnulltext(rows != nullptr ? rows[i] : nullptr);
}

// Puts entry perm[t] of a table at position t, for every t.
template <typename T>
void permute_entries(T **table, const std::vector<int32_t> &perm, std::vector<T *> &tmp) {
    const size_t n = perm.size();
    for (size_t t = 0; t < n; t++) tmp[t] = table[perm[t]];
    std::memcpy(table, tmp.data(), n * sizeof(T *));
}

// Puts column perm[u] of each row at column u, for every u; where is the
// inverse of perm. A row that is mostly '0', as the rows of large models are,
// is cleared and its few codes put back at their new columns; a fuller row is
// gathered through perm. tmp holds n codes, moved at least n / 16 + 1 cells.
void permute_columns(char **rows, int32_t count, const std::vector<int32_t> &perm,
                     const std::vector<int32_t> &where, std::vector<char> &tmp,
                     std::vector<int32_t> &moved) {
    const int32_t n = static_cast<int32_t>(perm.size());
    const size_t most_moved = moved.size();
    for (int32_t r = 0; r < count; r++) {
        char *row = rows[r];
        size_t k = 0;
        int32_t j = kavelon_next_dependency(row, 0, n);
        for (; j < n && k < most_moved; j = kavelon_next_dependency(row, j + 1, n)) moved[k++] = j;
        if (j >= n) {
            // tmp[t] keeps the code that belongs in column where[moved[t]].
            for (size_t t = 0; t < k; t++) tmp[t] = row[moved[t]];
            std::memset(row, DEP_NONE, static_cast<size_t>(n));
            for (size_t t = 0; t < k; t++) row[where[moved[t]]] = tmp[t];
            continue;
        }
        for (int32_t u = 0; u < n; u++) tmp[u] = row[perm[u]];
        std::memcpy(row, tmp.data(), static_cast<size_t>(n));
    }
}

}  // namespace

int kavelon_initialize(KAVELON *dt) {
    dt->P = nullptr;
    dt->d = nullptr;
    dt->n = 0;
    dt->nblock = 0;
    dt->design_activity_name = nullptr;
    dt->design_data_name = nullptr;
    dt->nQ = 0;
    dt->nR = 0;
    dt->Q = nullptr;
    dt->R = nullptr;
    dt->T = nullptr;
    dt->constraint_name = nullptr;
    dt->output_name = nullptr;
    dt->name = nullptr;
    dt->version = nullptr;
    dt->version_date = nullptr;
    dt->study_name = nullptr;
    dt->root = nullptr;
    dt->xml_filename = nullptr;
    dt->output_filename = nullptr;
    dt->output_format = KAVELON_FORMAT_TXT;
    dt->debug = 0;
    dt->sequence = KAVELON_SEQUENCE_NONE;
    dt->block_sequence = nullptr;
    return 0;
}

void kavelon_print_state(KAVELON *dt, FILE *out) {
    char name1[21];
    char name2[21];
    std::fprintf(out,
                 " \nBLOCK_ORDER SUBBLOCK_ORDER PREDECESSOR_BLOCK TRIAL_CHAIN . CANDIDATE_ROWS . "
                 "ROW_NBR_REMAINING_S . DELETE_CHAIN\n");
    for (int i = 0; i < dt->n; i++) {
        cut_name(name1, dt->design_activity_name ? dt->design_activity_name[i] : nullptr);
        cut_name(name2, dt->design_data_name ? dt->design_data_name[i] : nullptr);
        // The diagonal shows 'X' whatever it holds; the cell is put back after.
        char *row = (dt->P != nullptr) ? dt->P[i] : nullptr;
        char saved = '\0';
        if (row != nullptr) {
            saved = row[i];
            row[i] = DEP_DIAGONAL;
        }
        const ACTSTATE zero{};
        const ACTSTATE *s = (dt->d != nullptr && dt->d[i] != nullptr) ? dt->d[i] : &zero;
        std::fprintf(out, " %3d %20s %20s %2d %2d %2d %2d.%2d.%2d.%2d %s %s\n", i, name1, name2,
                     s->block_order, s->subblock_order, s->predecessor_block, s->trial_chain,
                     s->candidate_rows, s->row_nbr_remaining_s, s->delete_chain,
                     xmlnulltext(row), row_or_null(dt->Q, i));
        if (row != nullptr) row[i] = saved;
    }
    for (int o = 0; o < dt->nR; o++) {
        std::strcpy(name1, "Output:");
        cut_name(name2, dt->output_name ? dt->output_name[o] : nullptr);
        std::fprintf(out, " %3d %20s %20s %2d %2d %2d %2d.%2d.%2d.%2d %s %s\n", o, name1, name2, 0,
                     0, 0, 0, 0, 0, 0, row_or_null(dt->R, o), row_or_null(dt->T, o));
    }
    std::fprintf(out, "\n");
    std::fflush(out);
}

int kavelon_permute_rows(KAVELON *dt, const int32_t *perm) {
    const int32_t n = dt->n;
    std::vector<int32_t> order, where;
    std::vector<char *> row_tmp;
    std::vector<ACTSTATE *> state_tmp;
    std::vector<char> cell_tmp;
    std::vector<int32_t> moved_cells;
    try {
        order.assign(perm, perm + n);
        where.resize(n);
        row_tmp.resize(n);
        state_tmp.resize(n);
        cell_tmp.resize(n);
        moved_cells.resize(static_cast<size_t>(n) / 16 + 1);
    } catch (const std::bad_alloc &) {
        return 1;
    }
    for (int32_t t = 0; t < n; t++) where[order[t]] = t;
    // Rows and columns of P move alike, so the crossings of two activities,
    // the diagonal included, travel with them; T has no activity dimension.
    permute_entries(dt->P, order, row_tmp);
    permute_columns(dt->P, n, order, where, cell_tmp, moved_cells);
    if (dt->Q != nullptr) permute_entries(dt->Q, order, row_tmp);
    if (dt->nR > 0) permute_columns(dt->R, dt->nR, order, where, cell_tmp, moved_cells);
    permute_entries(dt->d, order, state_tmp);
    permute_entries(dt->design_activity_name, order, row_tmp);
    permute_entries(dt->design_data_name, order, row_tmp);
    return 0;
}
