// The XML report: header values, the blocks with their activities, the
// outputs and the constraints. Texts are written exactly as stored.
#include "report/report.h"

namespace {

// One dependency element named after the code; other codes write nothing.
void write_dependency(FILE *out, char code, const char *data) {
    switch (code) {
        case DEP_STRONG: std::fprintf(out, "<strong>%s</strong>\n", data); break;
        case DEP_WEAK: std::fprintf(out, "<weak>%s</weak>\n", data); break;
        case DEP_ICD: std::fprintf(out, "<icd>%s</icd>\n", data); break;
        default: break;
    }
}

// The dependencies of one row over the activity columns, then the
// constraint columns (a row with none when there are no constraints).
void write_dependencies(const KAVELON *dt, FILE *out, const KAVROW &on_activities,
                        const KAVROW &on_constraints) {
    for (int32_t t = 0; t < on_activities.count; t++)
        write_dependency(out, on_activities.cell[t].code, dt->design_data_name[on_activities.cell[t].col]);
    if (dt->nQ <= 0) return;
    for (int32_t t = 0; t < on_constraints.count; t++)
        write_dependency(out, on_constraints.cell[t].code, dt->constraint_name[on_constraints.cell[t].col]);
}

void write_header(const KAVELON *dt, FILE *out, const char *stamp) {
    std::fprintf(out, "<kavelon>\n");
    std::fprintf(out, "<kavelon_version>%s</kavelon_version>\n", KAVELON_VERSION);
    std::fprintf(out, "<kavelon_version_date>%s</kavelon_version_date>\n", KAVELON_VERSION_DATE);
    if (dt->xml_filename != nullptr) std::fprintf(out, "<xml_filename>%s</xml_filename>\n", dt->xml_filename);
    if (dt->name != nullptr) std::fprintf(out, "<name>%s</name>\n", dt->name);
    if (dt->version != nullptr) std::fprintf(out, "<version>%s</version>\n", dt->version);
    if (dt->version_date != nullptr) std::fprintf(out, "<version_date>%s</version_date>\n", dt->version_date);
    if (dt->study_name != nullptr) std::fprintf(out, "<study_name>%s</study_name>\n", dt->study_name);
    // An unknown time leaves the element out; the stamp goes in without its newline.
    if (stamp != nullptr) {
        std::fprintf(out, "<file_creation_time>%s</file_creation_time>\n", kavelon_stamp_text(stamp).c_str());
    }
}

// With "-s": the block's sequencing result after its size, with one
// element per input to assume (a dependency of a row on a later row of the
// block).
void write_sequence(const KAVELON *dt, FILE *out, int first, int end) {
    const int block = dt->d[first]->block_order;
    if (dt->block_sequence == nullptr || block < 1 || block > dt->nblock) return;
    const BLOCKSEQ *s = &dt->block_sequence[block - 1];
    const bool by_distance = dt->sequence == KAVELON_SEQUENCE_DISTANCE;
    static const char *const methods[] = {"exact", "topological", "heuristic"};
    std::fprintf(out, "<sequence>\n");
    std::fprintf(out, "<objective>%s</objective>\n", by_distance ? "smallest_distance" : "fewest_inputs");
    std::fprintf(out, "<method>%s</method>\n",
                 s->method >= 0 && s->method <= 2 ? methods[s->method] : "heuristic");
    if (s->memory_fallback != 0) std::fprintf(out, "<exact_method_memory>insufficient</exact_method_memory>\n");
    std::fprintf(out, "<strong_inputs>%lld</strong_inputs>\n", static_cast<long long>(s->strong_inputs));
    std::fprintf(out, "<weak_icd_inputs>%lld</weak_icd_inputs>\n", static_cast<long long>(s->weak_inputs));
    std::fprintf(out, "<strong_distance>%lld</strong_distance>\n", static_cast<long long>(s->strong_distance));
    std::fprintf(out, "<weak_icd_distance>%lld</weak_icd_distance>\n", static_cast<long long>(s->weak_distance));
    std::fprintf(out, "<feedback_distance>%lld</feedback_distance>\n",
                 static_cast<long long>(s->strong_distance + s->weak_distance));
    std::fprintf(out, "<bound>\n");
    if (by_distance) {
        std::fprintf(out, "<strong_distance>%lld</strong_distance>\n", static_cast<long long>(s->bound[0]));
        std::fprintf(out, "<weak_icd_distance>%lld</weak_icd_distance>\n", static_cast<long long>(s->bound[1]));
        std::fprintf(out, "<inputs>%lld</inputs>\n", static_cast<long long>(s->bound[2]));
    } else {
        std::fprintf(out, "<strong_inputs>%lld</strong_inputs>\n", static_cast<long long>(s->bound[0]));
        std::fprintf(out, "<weak_icd_inputs>%lld</weak_icd_inputs>\n", static_cast<long long>(s->bound[1]));
        std::fprintf(out, "<feedback_distance>%lld</feedback_distance>\n", static_cast<long long>(s->bound[2]));
    }
    std::fprintf(out, "</bound>\n");
    std::fprintf(out, "<optimal>%s</optimal>\n", s->optimal != 0 ? "yes" : "no");
    for (int i = first; i < end; i++) {
        const KAVROW &row = dt->P[i];
        for (int32_t t = kavelon_first_cell_from(&row, i + 1); t < row.count && row.cell[t].col < end; t++) {
            const int j = row.cell[t].col;
            const char code = row.cell[t].code;
            const char *kind = code == DEP_STRONG ? "strong" : code == DEP_WEAK ? "weak" : code == DEP_ICD ? "icd" : nullptr;
            if (kind == nullptr) continue;
            std::fprintf(out,
                         "<assumed_input>\n<activity>%s</activity>\n<data>%s</data>\n<kind>%s</kind>\n"
                         "<distance>%d</distance>\n</assumed_input>\n",
                         dt->design_activity_name[i], dt->design_data_name[j], kind, j - i);
        }
    }
    std::fprintf(out, "</sequence>\n");
}

// Closes the block of the rows before `end`.
void close_block(const KAVELON *dt, FILE *out, int size, int end) {
    std::fprintf(out, "<block_size>%d</block_size>\n", size);
    if (dt->sequence != KAVELON_SEQUENCE_NONE) write_sequence(dt, out, end - size, end);
    std::fprintf(out, "</block>\n");
}

// A block runs over consecutive rows of the same block number; its number,
// predecessor and kind come from its first row.
void write_blocks(const KAVELON *dt, FILE *out) {
    int open_block = -1;
    int size = 0;
    for (int i = 0; i < dt->n; i++) {
        const ACTSTATE *s = dt->d[i];
        if (s->block_order != open_block) {
            if (open_block != -1) close_block(dt, out, size, i);
            open_block = s->block_order;
            std::fprintf(out, "<block>\n");
            std::fprintf(out, "<block_number>%d</block_number>\n", s->block_order);
            std::fprintf(out, "<predecessor_block>%d</predecessor_block>\n", s->predecessor_block);
            if (s->subblock_order != 0) {
                std::fprintf(out, "<block_type>independent</block_type>\n");
            } else {
                std::fprintf(out, "<block_type>dependent</block_type>\n");
            }
            size = 0;
        }
        std::fprintf(out, "<design_activity>\n");
        std::fprintf(out, "<name>%s</name>\n", dt->design_activity_name[i]);
        std::fprintf(out, "<data>%s</data>\n", dt->design_data_name[i]);
        write_dependencies(dt, out, dt->P[i], dt->Q[i]);
        std::fprintf(out, "</design_activity>\n");
        size++;
    }
    if (open_block != -1) close_block(dt, out, size, dt->n);
}

void write_outputs(const KAVELON *dt, FILE *out) {
    for (int k = 0; k < dt->nR; k++) {
        std::fprintf(out, "<output>\n");
        std::fprintf(out, "<name>%s</name>\n", dt->output_name[k]);
        write_dependencies(dt, out, dt->R[k], dt->T[k]);
        std::fprintf(out, "</output>\n");
    }
}

void write_constraints(const KAVELON *dt, FILE *out) {
    for (int m = 0; m < dt->nQ; m++) {
        std::fprintf(out, "<constraint>\n<data>%s</data>\n</constraint>\n", dt->constraint_name[m]);
    }
}

}  // namespace

int kavelon_write_xml_with_stamp(const KAVELON *dt, FILE *out, const char *stamp) {
    write_header(dt, out, stamp);
    write_blocks(dt, out);
    write_outputs(dt, out);
    write_constraints(dt, out);
    std::fprintf(out, "</kavelon>\n");
    return 0;
}

int kavelon_write_xml(const KAVELON *dt, FILE *out) {
    char buf[26];
    return kavelon_write_xml_with_stamp(dt, out, kavelon_take_time_stamp(buf));
}
