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

void close_block(FILE *out, int size) {
    std::fprintf(out, "<block_size>%d</block_size>\n</block>\n", size);
}

// A block runs over consecutive rows of the same block number; its number,
// predecessor and kind come from its first row.
void write_blocks(const KAVELON *dt, FILE *out) {
    int open_block = -1;
    int size = 0;
    for (int i = 0; i < dt->n; i++) {
        const ACTSTATE *s = dt->d[i];
        if (s->block_order != open_block) {
            if (open_block != -1) close_block(out, size);
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
    if (open_block != -1) close_block(out, size);
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
