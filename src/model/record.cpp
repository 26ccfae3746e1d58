// The run record: its initial values and the diagnostic state table.
#include <cstring>

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
