// Block identification: partitions the activities into numbered blocks using
// the strong dependencies of P only.
//
// Blocks are formed one at a time. First all activities that are free (no
// strong input from another unassigned activity) are taken together as one
// independent block. When none is free, the smallest set of activities that
// strongly depend on each other, and on nothing unassigned outside the set,
// becomes a coupled block. Every step keeps its work marks in the ACTSTATE
// records, which the debug state tables show, so each operation leaves them
// exactly as its steps do, leftover marks included.
#include <cstdio>

#include "ordering/steps.h"

namespace {

bool is_unassigned(const KAVELON *dt, int i) { return dt->d[i]->block_order == 0; }

bool is_candidate(const KAVELON *dt, int i) { return dt->d[i]->candidate_rows == 1; }

// Turns the current candidates into the next block; coupled activities keep
// subblock 0.
void form_coupled_block(KAVELON *dt) {
    dt->nblock++;
    for (int i = 0; i < dt->n; i++) {
        if (dt->d[i]->candidate_rows != 0) {
            dt->d[i]->block_order = dt->nblock;
            dt->d[i]->candidate_rows = 0;
        }
    }
}

// Which work mark a chain closure sets, and which way its links run.
enum class Chain { trial, remove };

int32_t &chain_mark(KAVELON *dt, Chain chain, int i) {
    return (chain == Chain::trial) ? dt->d[i]->trial_chain : dt->d[i]->delete_chain;
}

// Marks row j when it is a candidate not yet marked; true when it was marked
// now.
bool mark_candidate(KAVELON *dt, Chain chain, int j) {
    if (!is_candidate(dt, j) || chain_mark(dt, chain, j) != 0) return false;
    chain_mark(dt, chain, j) = 1;
    return true;
}

// Marks the candidates row i links to, in column order, up to the first
// one before i; returns that one, or -1. A trial chain follows what a row
// depends on, its strong cells; a delete chain follows the rows that depend
// on it.
int mark_links(KAVELON *dt, Chain chain, int i) {
    if (chain == Chain::trial) {
        const KAVROW &row = dt->P[i];
        for (int32_t t = 0; t < row.count; t++) {
            const int j = row.cell[t].col;
            if (row.cell[t].code == DEP_STRONG && mark_candidate(dt, chain, j) && j < i) return j;
        }
        return -1;
    }
    for (int j = 0; j < dt->n; j++) {
        // The cheap tests first: looking up a cell searches the row.
        if (!is_candidate(dt, j) || chain_mark(dt, chain, j) != 0) continue;
        if (kavelon_code_at(&dt->P[j], i) != DEP_STRONG) continue;
        chain_mark(dt, chain, j) = 1;
        if (j < i) return j;
    }
    return -1;
}

// Marks every candidate reachable from the marked ones over the chain's
// links. A row marked before the one being scanned sends the scan back to
// it, so nothing reachable is missed without keeping a work list.
void close_chain(KAVELON *dt, Chain chain) {
    int i = 0;
    while (i < dt->n) {
        int back_to = -1;
        if (is_candidate(dt, i) && chain_mark(dt, chain, i) != 0) back_to = mark_links(dt, chain, i);
        i = (back_to >= 0) ? back_to : i + 1;
    }
}

}  // namespace

int kavelon_identify_blocks_subblocks(KAVELON *dt) {
    if (dt == nullptr) return 1;
    kavelon_print_trace(dt, "Enter kavelon_identify_blocks_subblocks(KAVELON *dt)\n");
    int block_size = 0;
    for (;;) {
        const int ncnt = kavelon_count_unassigned(dt);
        if (ncnt <= 0) {
            kavelon_print_trace(dt, "Exit kavelon_identify_blocks_subblocks(KAVELON *dt)\n");
            return 0;
        }
        block_size++;
        if (block_size > ncnt) {
            // Two blanks after "ERROR:": fixed wording that callers rely on.
            std::fprintf(stderr,
                         " *** ERROR:  block_size > ncnt in kavelon_identify_blocks_subblocks "
                         "(%d) > (%d)\n",
                         block_size, ncnt);
            return 1;
        }
        const int flag = kavelon_find_order_n_block(dt, block_size);
        kavelon_print_trace(dt, "flag = %d   ncnt = %d   block_size = %d\n", flag, ncnt,
                            block_size);
        if (flag == 1 && kavelon_debug_on(dt)) kavelon_print_state(dt, stdout);
        if (flag == -1) return 1;
        // After every block the search starts again with single free rows.
        if (flag == 1) block_size = 0;
    }
}

int kavelon_count_unassigned(KAVELON *dt) {
    int count = 0;
    for (int i = 0; i < dt->n; i++) {
        if (is_unassigned(dt, i)) count++;
    }
    return count;
}

int kavelon_find_order_n_block(KAVELON *dt, int n) {
    if (n < 1) return -1;
    if (n == 1) return kavelon_find_order_1_block(dt);

    kavelon_print_trace(dt, "Enter kavelon_find_order_n_block(dt,%d)\n", n);
    kavelon_flush_trace(dt);
    kavelon_count_remaining_strong(dt);

    // A row with n or more remaining strong inputs cannot belong to a set of
    // n rows that depends on nothing unassigned outside itself.
    int count = 0;
    for (int i = 0; i < dt->n; i++) {
        ACTSTATE *s = dt->d[i];
        s->candidate_rows = 0;
        if (s->block_order == 0 && s->row_nbr_remaining_s < n) {
            s->candidate_rows = 1;
            count++;
        }
    }
    kavelon_print_trace(dt,
                        "After initial search of candidate rows, n = %d nbr_candidate_rows = %d\n",
                        n, count);
    kavelon_flush_trace(dt);
    if (count < n) {
        kavelon_print_trace(dt, "exiting kavelon_find_order_n_block(dt,%d) with value 0\n", n);
        kavelon_flush_trace(dt);
        return 0;
    }

    count = kavelon_eliminate_candidate_rows_1(dt);
    kavelon_print_trace(
        dt, "After search for self contained set of rows, n = %d nbr_candidate_rows = %d\n", n,
        count);
    kavelon_flush_trace(dt);
    if (count < n) {
        kavelon_print_trace(dt, "exiting kavelon_find_order_n_block(dt,%d) with value 0\n", n);
        kavelon_flush_trace(dt);
        return 0;
    }
    if (count == n) {
        form_coupled_block(dt);
        // "Numberof" in one word; ")" after "value 1" below but not here: fixed wording callers rely on.
        kavelon_print_trace(dt, "Numberof candidate rows == n (%d)\n", n);
        kavelon_print_trace(dt, " exiting kavelon_find_order_n_block() with value 1\n");
        kavelon_flush_trace(dt);
        return 1;
    }

    count = kavelon_reduce_candidate_block(dt, n);
    kavelon_print_trace(dt, "After searching for smaller blocks, n = %d nbr_candidate_rows = %d\n",
                        n, count);
    if (count == n) {
        form_coupled_block(dt);
        kavelon_print_trace(dt, " exiting kavelon_find_order_n_block() with value 1)\n");
        kavelon_flush_trace(dt);
        return 1;
    }
    kavelon_print_trace(dt, " exiting kavelon_find_order_n_block() with value 0)\n");
    kavelon_flush_trace(dt);
    return 0;
}

int kavelon_find_order_1_block(KAVELON *dt) {
    kavelon_print_trace(dt, "enter kavelon_find_order_1_block(dt)\n");
    kavelon_count_remaining_strong(dt);
    int position = 1;
    int found = 0;
    for (int i = 0; i < dt->n; i++) {
        ACTSTATE *s = dt->d[i];
        if (s->block_order != 0 || s->row_nbr_remaining_s > 0) continue;
        // All free rows of one call share one block.
        if (found == 0) {
            found = 1;
            dt->nblock++;
        }
        s->block_order = dt->nblock;
        s->subblock_order = position;
        position++;
    }
    kavelon_flush_trace(dt);
    return found;
}

void kavelon_count_remaining_strong(KAVELON *dt) {
    kavelon_print_trace(dt, "entering kavelon_count_remaining_strong(dt)\n");
    for (int i = 0; i < dt->n; i++) {
        ACTSTATE *s = dt->d[i];
        s->row_nbr_remaining_s = 0;
        if (s->block_order != 0) continue;
        // The diagonal never counts, whatever it holds.
        const KAVROW &row = dt->P[i];
        for (int32_t t = 0; t < row.count; t++) {
            const int j = row.cell[t].col;
            if (j != i && is_unassigned(dt, j) && row.cell[t].code == DEP_STRONG)
                s->row_nbr_remaining_s++;
        }
    }
    kavelon_print_trace(dt, "exiting kavelon_count_remaining_strong(dt)\n");
    kavelon_flush_trace(dt);
}

int kavelon_eliminate_candidate_rows_1(KAVELON *dt) {
    kavelon_print_trace(dt, "entering kavelon_eliminate_candidate_rows_1(dt)\n");
    kavelon_flush_trace(dt);
    // A candidate that needs an unassigned row outside the set cannot be in
    // a self-contained block. Each removal may disqualify others, so the
    // pass starts over; the count of the last, clean pass is the result.
    int count = 0;
    int i = 0;
    while (i < dt->n) {
        bool removed = false;
        if (dt->d[i]->candidate_rows != 0) {
            const KAVROW &row = dt->P[i];
            for (int32_t t = 0; t < row.count; t++) {
                const int j = row.cell[t].col;
                if (is_unassigned(dt, j) && dt->d[j]->candidate_rows == 0 &&
                    row.cell[t].code == DEP_STRONG) {
                    dt->d[i]->candidate_rows = 0;
                    removed = true;
                    break;
                }
            }
            if (!removed) count++;
        }
        if (removed) {
            count = 0;
            i = 0;
        } else {
            i++;
        }
    }
    kavelon_print_trace(dt, "exiting kavelon_eliminate_candidate_rows_1(dt)\n");
    kavelon_flush_trace(dt);
    return count;
}

int kavelon_reduce_candidate_block(KAVELON *dt, int n) {
    kavelon_print_trace(dt, " entering kavelon_reduce_candidate_block(dt,%d)\n", n);
    kavelon_flush_trace(dt);
    for (int seed = 0; seed < dt->n; seed++) {
        if (dt->d[seed]->candidate_rows == 0) continue;
        for (int i = 0; i < dt->n; i++) dt->d[i]->trial_chain = 0;
        dt->d[seed]->trial_chain = 1;
        const int chain_size = kavelon_mark_trial_chain(dt);
        kavelon_print_trace(dt, "candidate row for chain = %d   nbr in the chain = %d n = %d\n",
                            seed, chain_size, n);
        kavelon_flush_trace(dt);
        if (chain_size == n) {
            for (int i = 0; i < dt->n; i++) {
                ACTSTATE *s = dt->d[i];
                s->candidate_rows = s->trial_chain;
                s->trial_chain = 0;
                s->delete_chain = 0;
            }
            break;
        }
        // The seed and everything that depends on it cannot start a chain
        // of exactly n rows either.
        for (int i = 0; i < dt->n; i++) dt->d[i]->delete_chain = 0;
        dt->d[seed]->delete_chain = 1;
        kavelon_delete_chain(dt);
    }
    int count = 0;
    for (int i = 0; i < dt->n; i++) {
        if (dt->d[i]->candidate_rows != 0) count++;
    }
    kavelon_print_trace(dt, "exiting kavelon_reduce_candidate_block(dt,%d) with value %d\n", n,
                        count);
    kavelon_flush_trace(dt);
    return count;
}

int kavelon_mark_trial_chain(KAVELON *dt) {
    close_chain(dt, Chain::trial);
    int count = 0;
    for (int i = 0; i < dt->n; i++) {
        if (dt->d[i]->trial_chain != 0) count++;
    }
    kavelon_print_trace(dt, "exiting kavelon_mark_trial_chain(dt)\n");
    kavelon_flush_trace(dt);
    return count;
}

void kavelon_delete_chain(KAVELON *dt) {
    close_chain(dt, Chain::remove);
    kavelon_print_trace(dt, "In kavelon_delete_chain, deleting following Candidate Rows: ");
    for (int i = 0; i < dt->n; i++) {
        ACTSTATE *s = dt->d[i];
        if (s->delete_chain != 1) continue;
        kavelon_print_trace(dt, " %d", i);
        s->candidate_rows = 0;
        s->trial_chain = 0;
        s->delete_chain = 0;
    }
    kavelon_print_trace(dt, "\n");
}
