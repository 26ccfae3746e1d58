// The partitioned matrix alone, as a CSV table a spreadsheet opens as it is
// and kavelon reads back as input: one heading row, then one row per
// activity in report order, one row per output, one row per header value.
//
// Heading row: an empty corner cell, the data item of each activity in row
// order, "Activity", "Block", "Predecessor block", then "Constraint: <name>"
// for each constraint. Activity row: its data item, the marks "S", "W", "I"
// of what it needs from each column (empty for nothing, "X" on the
// diagonal), its name, its block and predecessor block, then its marks on
// the constraints. Output row: "Output: <name>", its marks on the
// activities, an empty name, block and predecessor 0, its marks on the
// constraints. Header value row: "Design Process Name", "Version Number",
// "Version Date" or "Study Name", empty marks, the value where a name goes,
// block and predecessor 0, empty marks.
#include <new>
#include <string>
#include <string_view>

#include "input/input.h"
#include "plan/plan.h"
#include "report/report.h"

namespace {

const char *mark(char code) {
    switch (code) {
        case DEP_STRONG: return "S";
        case DEP_WEAK: return "W";
        case DEP_ICD: return "I";
        default: return "";
    }
}

// A cell quoted only when it must be: a separator, a quote or a line end
// inside, or white space at an end, which a reader would trim.
void append_cell(std::string &line, std::string_view text) {
    bool quote = !text.empty() && (xmlisspace(static_cast<unsigned char>(text.front())) ||
                                   xmlisspace(static_cast<unsigned char>(text.back())));
    for (const char c : text) quote = quote || c == ',' || c == ';' || c == '"' || c == '\n' || c == '\r';
    if (!quote) {
        line += text;
        return;
    }
    line += '"';
    for (const char c : text) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

void append_cell(std::string &line, const char *text) { append_cell(line, std::string_view(xmlnulltext(text))); }

// Marks of one row on `count` columns; the column `diagonal` shows "X".
// The row's cells are met in column order as the line is written.
void append_marks(std::string &line, const KAVROW *matrix, int row, int count, int diagonal) {
    const KAVROW *r = &matrix[row];
    int32_t t = 0;
    for (int j = 0; j < count; j++) {
        line += ',';
        while (t < r->count && r->cell[t].col < j) t++;
        if (j == diagonal) {
            line += 'X';
        } else if (t < r->count && r->cell[t].col == j) {
            line += mark(r->cell[t].code);
        }
    }
}

void end_line(FILE *out, std::string &line) {
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
    line.clear();
}

void write_heading_row(const KAVELON *dt, FILE *out, std::string &line) {
    // The corner cell stays empty.
    for (int j = 0; j < dt->n; j++) {
        line += ',';
        append_cell(line, dt->design_data_name[j]);
    }
    for (const char *label : {kavelon_dsm_activity_label, kavelon_dsm_block_label, kavelon_dsm_predecessor_label}) {
        line += ',';
        line += label;
    }
    // With a plan, each block's level follows: blocks of one level may run
    // side by side.
    if (dt->block_plan != nullptr) {
        line += ',';
        line += kavelon_dsm_level_label;
    }
    for (int m = 0; m < dt->nQ; m++) {
        line += ',';
        append_cell(line, std::string(kavelon_dsm_constraint_prefix) + xmlnulltext(dt->constraint_name[m]));
    }
    end_line(out, line);
}

void write_activity_rows(const KAVELON *dt, FILE *out, std::string &line) {
    for (int i = 0; i < dt->n; i++) {
        append_cell(line, dt->design_data_name[i]);
        append_marks(line, dt->P, i, dt->n, i);
        line += ',';
        append_cell(line, dt->design_activity_name[i]);
        line += ',' + std::to_string(dt->d[i]->block_order) + ',' +
                std::to_string(dt->d[i]->predecessor_block);
        if (dt->block_plan != nullptr)
            line += ',' + std::to_string(dt->block_plan->level[static_cast<size_t>(dt->d[i]->block_order - 1)]);
        append_marks(line, dt->Q, i, dt->nQ, -1);
        end_line(out, line);
    }
}

void write_output_rows(const KAVELON *dt, FILE *out, std::string &line) {
    for (int k = 0; k < dt->nR; k++) {
        append_cell(line, std::string(kavelon_dsm_output_prefix) + xmlnulltext(dt->output_name[k]));
        append_marks(line, dt->R, k, dt->n, -1);
        // Block and predecessor 0 (and level 0 with a plan), as the CSV report
        // gives outputs, so that the columns hold whole numbers in every row.
        line += dt->block_plan != nullptr ? ",,0,0,0" : ",,0,0";
        append_marks(line, dt->T, k, dt->nQ, -1);
        end_line(out, line);
    }
}

// The header values that are there, one row each after the outputs: the
// label, empty marks, the value in the "Activity" column, block and
// predecessor 0. The reader takes them back from there.
void write_header_rows(const KAVELON *dt, FILE *out, std::string &line) {
    for (const KAVHEADERVALUE &v : kavelon_header_values(dt)) {
        if (v.value == nullptr) continue;
        line += v.label;
        line.append(static_cast<size_t>(dt->n) + 1, ',');
        append_cell(line, v.value);
        line += dt->block_plan != nullptr ? ",0,0,0" : ",0,0";
        line.append(static_cast<size_t>(dt->nQ), ',');
        end_line(out, line);
    }
}

}  // namespace

int kavelon_write_dsm(const KAVELON *dt, FILE *out) {
    // Lines are put together in memory, one at a time; a line that cannot
    // be had ends the table with a message rather than the process.
    try {
        std::string line;
        write_heading_row(dt, out, line);
        write_activity_rows(dt, out, line);
        write_output_rows(dt, out, line);
        write_header_rows(dt, out, line);
    } catch (const std::bad_alloc &) {
        std::fputs(" *** ERROR: Out of memory for a line of the DSM report\n", stderr);
        return 1;
    }
    // A write error stays on the stream, for the caller to report as it closes it.
    return std::ferror(out) != 0 ? 1 : 0;
}
