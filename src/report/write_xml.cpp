// The XML report: header values, the blocks with their activities, the
// outputs and the constraints. Texts are written exactly as stored.
#include <cstring>
#include <new>
#include <vector>

#include "report/report.h"

namespace {

// The names of a matrix's columns copied side by side, each with its
// length: a large model's dependencies name its data items in random order,
// and names read from one compact block instead of from all over the entity
// tree cost far fewer cache misses. A name that is none reads "(null)", as
// the formatted output writes it. When the copy cannot be had, the names are
// read where they are.
struct ColumnNames {
    std::vector<char> text;
    std::vector<size_t> start;  // name j is text[start[j] .. start[j + 1])
    char *const *table = nullptr;
};

void collect_names(ColumnNames &names, char *const *table, int32_t count) {
    names.table = table;
    if (count <= 0) return;
    try {
        names.start.reserve(static_cast<size_t>(count) + 1);
        names.start.push_back(0);
        for (int32_t j = 0; j < count; j++) {
            if (j + 8 < count && table[j + 8] != nullptr) __builtin_prefetch(table[j + 8]);
            const char *name = xmlnulltext(table[j]);
            names.text.insert(names.text.end(), name, name + std::strlen(name));
            names.start.push_back(names.text.size());
        }
    } catch (const std::bad_alloc &) {
        std::vector<char>().swap(names.text);
        std::vector<size_t>().swap(names.start);
    }
}

void row_put_name(KAVTEXT *row, const ColumnNames &names, int32_t j) {
    const auto at = static_cast<size_t>(j);
    if (names.start.empty()) {
        const char *name = xmlnulltext(names.table[j]);
        kavelon_put_text(row, name, std::strlen(name));
    } else {
        kavelon_put_text(row, names.text.data() + names.start[at], names.start[at + 1] - names.start[at]);
    }
}

// One dependency element named after the code, as "<strong>%s</strong>\n",
// "<weak>%s</weak>\n" or "<icd>%s</icd>\n" would write it; other codes
// write nothing.
void write_dependency(KAVTEXT *row, char code, const ColumnNames &names, int32_t j) {
    switch (code) {
        case DEP_STRONG:
            kavelon_put_text(row, "<strong>", 8);
            row_put_name(row, names, j);
            kavelon_put_text(row, "</strong>\n", 10);
            break;
        case DEP_WEAK:
            kavelon_put_text(row, "<weak>", 6);
            row_put_name(row, names, j);
            kavelon_put_text(row, "</weak>\n", 8);
            break;
        case DEP_ICD:
            kavelon_put_text(row, "<icd>", 5);
            row_put_name(row, names, j);
            kavelon_put_text(row, "</icd>\n", 7);
            break;
        default: break;
    }
}

// Asks for the places of a row's names before they are read: their columns
// are scattered, and each would otherwise wait for memory in turn.
void prefetch_names(const ColumnNames &names, const KAVROW &row) {
    if (names.start.empty()) return;
    for (int32_t t = 0; t < row.count; t++) __builtin_prefetch(&names.start[static_cast<size_t>(row.cell[t].col)]);
}

void write_row_dependencies(KAVTEXT *row, const ColumnNames &names, const KAVROW &cells) {
    prefetch_names(names, cells);
    for (int32_t t = 0; t < cells.count; t++) {
        if (t + 2 < cells.count && !names.start.empty())
            __builtin_prefetch(names.text.data() + names.start[static_cast<size_t>(cells.cell[t + 2].col)]);
        write_dependency(row, cells.cell[t].code, names, cells.cell[t].col);
    }
}

// The names the dependencies of the report's rows point at.
struct DependencyNames {
    ColumnNames data;         // by activity column
    ColumnNames constraints;  // by constraint column
};

// The dependencies of one row over the activity columns, then the
// constraint columns (a row with none when there are no constraints).
void write_dependencies(const KAVELON *dt, KAVTEXT *row, const DependencyNames &names,
                        const KAVROW &on_activities, const KAVROW &on_constraints) {
    write_row_dependencies(row, names.data, on_activities);
    if (dt->nQ > 0) write_row_dependencies(row, names.constraints, on_constraints);
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
            const char *kind = kavelon_dependency_word(code);
            if (kind == nullptr) continue;
            std::fprintf(out,
                         "<assumed_input>\n<activity>%s</activity>\n<data>%s</data>\n<kind>%s</kind>\n"
                         "<distance>%d</distance>\n</assumed_input>\n",
                         dt->design_activity_name[i], dt->design_data_name[j], kind, j - i);
        }
    }
    std::fprintf(out, "</sequence>\n");
}

// The heading of the block whose first row is `first`: its number,
// predecessor and kind come from that row.
void open_block(const KAVELON *dt, FILE *out, int first) {
    const ACTSTATE *s = dt->d[first];
    std::fprintf(out, "<block>\n");
    std::fprintf(out, "<block_number>%d</block_number>\n", s->block_order);
    std::fprintf(out, "<predecessor_block>%d</predecessor_block>\n", s->predecessor_block);
    if (s->subblock_order != 0) {
        std::fprintf(out, "<block_type>independent</block_type>\n");
    } else {
        std::fprintf(out, "<block_type>dependent</block_type>\n");
    }
}

// Closes the block of rows first .. end - 1.
void close_block(const KAVELON *dt, FILE *out, int first, int end) {
    std::fprintf(out, "<block_size>%d</block_size>\n", end - first);
    if (dt->sequence != KAVELON_SEQUENCE_NONE) write_sequence(dt, out, first, end);
    std::fprintf(out, "</block>\n");
}

// One activity row with its dependencies.
void write_activity(const KAVELON *dt, FILE *out, const DependencyNames &names, int i) {
    // Rows are in block order, their names wherever they were read.
    if (i + 4 < dt->n) {
        if (dt->design_activity_name[i + 4] != nullptr) __builtin_prefetch(dt->design_activity_name[i + 4]);
        if (dt->design_data_name[i + 4] != nullptr) __builtin_prefetch(dt->design_data_name[i + 4]);
    }
    // "<design_activity>\n<name>%s</name>\n<data>%s</data>\n", without
    // formatting a million times over, put together with the row's
    // dependencies and written at once.
    KAVTEXT row;
    kavelon_start_text(&row, out);
    kavelon_put_string(&row, "<design_activity>\n<name>");
    kavelon_put_string(&row, xmlnulltext(dt->design_activity_name[i]));
    kavelon_put_string(&row, "</name>\n<data>");
    kavelon_put_string(&row, xmlnulltext(dt->design_data_name[i]));
    kavelon_put_string(&row, "</data>\n");
    write_dependencies(dt, &row, names, dt->P[i], dt->Q[i]);
    kavelon_put_string(&row, "</design_activity>\n");
    kavelon_flush_text(&row);
}

// A block runs over consecutive rows of the same block number.
void write_blocks(const KAVELON *dt, FILE *out, const DependencyNames &names) {
    for (int first = 0; first < dt->n;) {
        const int end = kavelon_block_end(dt, first);
        open_block(dt, out, first);
        for (int i = first; i < end; i++) write_activity(dt, out, names, i);
        close_block(dt, out, first, end);
        first = end;
    }
}

void write_outputs(const KAVELON *dt, FILE *out, const DependencyNames &names) {
    for (int k = 0; k < dt->nR; k++) {
        std::fprintf(out, "<output>\n");
        std::fprintf(out, "<name>%s</name>\n", dt->output_name[k]);
        KAVTEXT row;
        kavelon_start_text(&row, out);
        write_dependencies(dt, &row, names, dt->R[k], dt->T[k]);
        kavelon_flush_text(&row);
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
    // The name tables fall back to the names themselves; what else needs
    // memory ends the report with a message rather than the process.
    try {
        write_header(dt, out, stamp);
        DependencyNames names;
        collect_names(names.data, dt->design_data_name, dt->n);
        collect_names(names.constraints, dt->constraint_name, dt->nQ);
        write_blocks(dt, out, names);
        write_outputs(dt, out, names);
        write_constraints(dt, out);
    } catch (const std::bad_alloc &) {
        std::fputs(" *** ERROR: Out of memory for the XML report\n", stderr);
        return 1;
    }
    std::fprintf(out, "</kavelon>\n");
    // A write error stays on the stream, for the caller to report as it closes it.
    return std::ferror(out) != 0 ? 1 : 0;
}

int kavelon_write_xml(const KAVELON *dt, FILE *out) {
    char buf[26];
    return kavelon_write_xml_with_stamp(dt, out, kavelon_take_time_stamp(buf));
}
