// What-if variants: the codes the variant counts as strong are made strong
// for the ordering and given back before the reports.
#include "plan/what_if.h"

#include <new>

int kavelon_promote_what_if(KAVELON *dt, int32_t what_if, std::vector<KAVPROMOTED> *promoted) {
    promoted->clear();
    try {
        for (int32_t i = 0; i < dt->n; i++) {
            const KAVROW &row = dt->P[i];
            for (int32_t t = 0; t < row.count; t++) {
                const char code = row.cell[t].code;
                if (row.cell[t].col == i || code == DEP_STRONG || !kavelon_counts_as_strong(code, what_if)) continue;
                promoted->push_back(KAVPROMOTED{dt->d[i], dt->d[row.cell[t].col], code});
            }
        }
    } catch (const std::bad_alloc &) {
        std::vector<KAVPROMOTED>().swap(*promoted);
        return 1;
    }
    // Only once every cell is listed, so that a failure changes nothing.
    for (int32_t i = 0; i < dt->n; i++) {
        const KAVROW &row = dt->P[i];
        for (int32_t t = 0; t < row.count; t++)
            if (row.cell[t].col != i && kavelon_counts_as_strong(row.cell[t].code, what_if))
                row.cell[t].code = DEP_STRONG;
    }
    return 0;
}

int kavelon_restore_what_if(KAVELON *dt, const std::vector<KAVPROMOTED> &promoted) {
    if (promoted.empty()) return 0;
    if (dt->states == nullptr) return 1;
    // The row where each activity now stands, by its state's place in the
    // block of states.
    std::vector<int32_t> row_of;
    try {
        row_of.assign(static_cast<size_t>(dt->n), -1);
    } catch (const std::bad_alloc &) {
        return 1;
    }
    for (int32_t i = 0; i < dt->n; i++) {
        const ptrdiff_t at = dt->d[i] - dt->states;
        if (at < 0 || at >= dt->n) return 1;
        row_of[static_cast<size_t>(at)] = i;
    }
    int result = 0;
    for (const KAVPROMOTED &p : promoted) {
        const int32_t i = row_of[static_cast<size_t>(p.consumer - dt->states)];
        const int32_t j = row_of[static_cast<size_t>(p.producer - dt->states)];
        if (i < 0 || j < 0) {
            result = 1;
            continue;
        }
        const KAVROW &row = dt->P[i];
        const int32_t t = kavelon_first_cell_from(&row, j);
        if (t < row.count && row.cell[t].col == j && row.cell[t].code == DEP_STRONG) {
            row.cell[t].code = p.code;
        } else {
            result = 1;
        }
    }
    return result;
}
