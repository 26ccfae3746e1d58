// The partitioned matrix as an .xlsx workbook, written with libxlsxwriter.
//
// First sheet "DSM": the very cells of the DSM table ("-fDSM", header
// value rows and all), so that
// kavelon reads the workbook back as it reads that table, drawn for a
// person: each block a bordered square on the diagonal (a medium border for
// a coupled block, a thin one for an independent block), feedback marks
// (a row needing a later row) highlighted, the diagonal shaded, the heading
// row and the label column frozen, the headings turned upright over narrow
// mark columns, the label and name columns as wide as their texts.
//
// Second sheet "Process": the header values, then one row per block with
// its predecessor, type and size; with "-s" each block's sequencing result
// and then the list of the inputs to assume; with "-p" each block's level
// and the blocks it strongly depends on.
//
// The workbook holds no clock time: its creation date is fixed, so that one
// model always gives the same bytes, as the DSM table does.
#include <xlsxwriter.h>

#include <algorithm>
#include <string>
#include <vector>

#include "input/input.h"
#include "plan/plan.h"
#include "report/report.h"

namespace {

const char *const kMatrixSheet = "DSM";
const char *const kProcessSheet = "Process";

// 1980-01-01 00:00:00 UTC, the earliest time a zip archive can carry.
constexpr time_t kFixedCreationTime = 315532800;

// A cell holds at most this many characters.
constexpr size_t kMaxCellCharacters = 32767;

// Characters of UTF-8 text; 0 with *valid false for bytes that are no UTF-8,
// which a workbook cannot hold.
size_t utf8_characters(const char *text, bool *valid) {
    size_t count = 0;
    *valid = true;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    while (*s != 0) {
        int follow = 0;
        uint32_t code = 0;
        if (*s < 0x80) {
            code = *s;
        } else if ((*s & 0xE0) == 0xC0) {
            follow = 1;
            code = *s & 0x1F;
        } else if ((*s & 0xF0) == 0xE0) {
            follow = 2;
            code = *s & 0x0F;
        } else if ((*s & 0xF8) == 0xF0) {
            follow = 3;
            code = *s & 0x07;
        } else {
            *valid = false;
            return 0;
        }
        s++;
        for (int k = 0; k < follow; k++, s++) {
            if ((*s & 0xC0) != 0x80) {
                *valid = false;
                return 0;
            }
            code = (code << 6) | (*s & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond Unicode.
        static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[follow] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            *valid = false;
            return 0;
        }
        count++;
    }
    return count;
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// A cell's text as the workbook stores it: a workbook writes a control
// character as "_xHHHH_" (which libxlsxwriter does), so a text that holds
// such a form itself has its underscore written as "_x005F_", and reads back
// as it was.
std::string stored_text(const char *text) {
    std::string stored;
    for (const char *s = text; *s != '\0'; s++) {
        if (s[0] == '_' && s[1] == 'x' && is_hex(s[2]) && is_hex(s[3]) && is_hex(s[4]) && is_hex(s[5]) && s[6] == '_') {
            stored += "_x005F";
        }
        stored += *s;
    }
    return stored;
}

// The workbook being written and the formats made for it as they are needed.
struct Book {
    lxw_workbook *workbook = nullptr;
    lxw_worksheet *matrix = nullptr;
    lxw_worksheet *process = nullptr;
    lxw_error error = LXW_NO_ERROR;  // the first libxlsxwriter fault
    std::string fault;               // the first fault of the model's texts
    // Cell formats of the matrix, by border (0 none, 1 thin, 2 medium),
    // sides bordered (1 top, 2 bottom, 4 left, 8 right) and kind of cell.
    lxw_format *cells[3][16][3] = {};
    lxw_format *heading = nullptr;
    lxw_format *label = nullptr;
    lxw_format *bold = nullptr;
};

enum CellKind { kMark = 0, kFeedback = 1, kDiagonal = 2 };

lxw_format *cell_format(Book *book, int border, int sides, CellKind kind) {
    lxw_format *&format = book->cells[border][sides][kind];
    if (format != nullptr) return format;
    format = workbook_add_format(book->workbook);
    format_set_align(format, LXW_ALIGN_CENTER);
    const uint8_t style = border == 2 ? LXW_BORDER_MEDIUM : LXW_BORDER_THIN;
    if (border != 0) {
        if ((sides & 1) != 0) format_set_top(format, style);
        if ((sides & 2) != 0) format_set_bottom(format, style);
        if ((sides & 4) != 0) format_set_left(format, style);
        if ((sides & 8) != 0) format_set_right(format, style);
    }
    if (kind == kFeedback) {
        format_set_bold(format);
        format_set_font_color(format, 0x9C0006);
        format_set_pattern(format, LXW_PATTERN_SOLID);
        format_set_bg_color(format, 0xFFC7CE);
    } else if (kind == kDiagonal) {
        format_set_pattern(format, LXW_PATTERN_SOLID);
        format_set_bg_color(format, 0xD9D9D9);
    }
    return format;
}

void note(Book *book, lxw_error error) {
    if (book->error == LXW_NO_ERROR) book->error = error;
}

// A text cell; texts that are no UTF-8 or too long for a cell are faults
// of the model, reported instead of a workbook that would not open.
void put_text(Book *book, lxw_worksheet *sheet, int32_t row, int32_t column, const char *text,
              lxw_format *format) {
    const char *shown = xmlnulltext(text);
    bool valid = true;
    const size_t characters = utf8_characters(shown, &valid);
    if (!valid || characters > kMaxCellCharacters) {
        if (book->fault.empty()) {
            book->fault = std::string(valid ? "a text longer than a cell holds (" : "a text that is not UTF-8 (") +
                          std::string(shown).substr(0, 40) + (valid ? "...)" : ")");
        }
        return;
    }
    if (*shown == '\0') {
        if (format != nullptr) note(book, worksheet_write_blank(sheet, row, column, format));
        return;
    }
    note(book, worksheet_write_string(sheet, row, column, stored_text(shown).c_str(), format));
}

void put_number(Book *book, lxw_worksheet *sheet, int32_t row, int32_t column, double value,
                lxw_format *format = nullptr) {
    note(book, worksheet_write_number(sheet, row, column, value, format));
}

// How wide a column must be for a text, in character widths.
double width_for(const char *text) {
    bool valid = true;
    const size_t characters = utf8_characters(xmlnulltext(text), &valid);
    return static_cast<double>(valid ? characters : std::strlen(xmlnulltext(text)));
}

double clamp(double value, double low, double high) { return std::max(low, std::min(high, value)); }

const char *mark_text(char code) {
    switch (code) {
        case DEP_STRONG: return "S";
        case DEP_WEAK: return "W";
        case DEP_ICD: return "I";
        default: return "";
    }
}

// The heading row: the corner, one upright heading per column. Its height
// is set before its cells, as rows go out in order.
void write_matrix_heading(Book *book, const KAVELON *dt) {
    lxw_worksheet *sheet = book->matrix;
    std::vector<std::string> headings;
    for (int j = 0; j < dt->n; j++) headings.push_back(xmlnulltext(dt->design_data_name[j]));
    headings.push_back(kavelon_dsm_activity_label);
    headings.push_back(kavelon_dsm_block_label);
    headings.push_back(kavelon_dsm_predecessor_label);
    if (dt->block_plan != nullptr) headings.push_back(kavelon_dsm_level_label);
    for (int m = 0; m < dt->nQ; m++)
        headings.push_back(std::string(kavelon_dsm_constraint_prefix) + xmlnulltext(dt->constraint_name[m]));
    double longest = 5;
    for (const std::string &text : headings) longest = std::max(longest, width_for(text.c_str()));
    // Upright text needs about six points a character; a row is at most 409.
    note(book, worksheet_set_row(sheet, 0, clamp(6.2 * longest + 10, 15, 409), nullptr));
    for (size_t c = 0; c < headings.size(); c++)
        put_text(book, sheet, 0, static_cast<int32_t>(c + 1), headings[c].c_str(), book->heading);
}

// The marks of row i of P, the diagonal and the border of the block that
// holds rows first .. end - 1, in column order.
void write_matrix_marks(Book *book, const KAVELON *dt, int32_t i, int32_t first, int32_t end, int border) {
    std::vector<int32_t> columns;
    const KAVROW &row = dt->P[i];
    for (int32_t t = 0; t < row.count; t++) columns.push_back(row.cell[t].col);
    columns.push_back(i);
    if (i == first || i == end - 1) {
        for (int32_t j = first; j < end; j++) columns.push_back(j);
    } else {
        columns.push_back(first);
        columns.push_back(end - 1);
    }
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    for (const int32_t j : columns) {
        int sides = 0;
        if (j >= first && j < end) {
            sides = (i == first ? 1 : 0) | (i == end - 1 ? 2 : 0) | (j == first ? 4 : 0) | (j == end - 1 ? 8 : 0);
        }
        if (j == i) {
            put_text(book, book->matrix, i + 1, j + 1, "X", cell_format(book, border, sides, kDiagonal));
            continue;
        }
        const char code = kavelon_code_at(&row, j);
        const CellKind kind = (code != DEP_NONE && j > i) ? kFeedback : kMark;
        lxw_format *format = (sides != 0 || kind != kMark) ? cell_format(book, border, sides, kind) : book->cells[0][0][kMark];
        put_text(book, book->matrix, i + 1, j + 1, mark_text(code), format);
    }
}

// Marks of one row on the constraints (or, for an output, on the
// activities), from column `offset` of the sheet.
void write_plain_marks(Book *book, int32_t sheet_row, const KAVROW *row, int32_t offset) {
    if (row == nullptr) return;
    for (int32_t t = 0; t < row->count; t++)
        put_text(book, book->matrix, sheet_row, offset + row->cell[t].col, mark_text(row->cell[t].code),
                 book->cells[0][0][kMark]);
}

// With a plan, each block's level follows the predecessor block, as in the
// DSM table; the constraint columns come after it.
int32_t constraint_column(const KAVELON *dt) { return dt->n + (dt->block_plan != nullptr ? 5 : 4); }

// Column widths go before the cells: the label column as wide as its
// longest label, the name column as its longest name, the rest narrow.
void set_matrix_columns(Book *book, const KAVELON *dt) {
    lxw_worksheet *sheet = book->matrix;
    double label_width = 8;
    double name_width = 10;
    for (int32_t i = 0; i < dt->n; i++) {
        label_width = std::max(label_width, width_for(dt->design_data_name[i]));
        name_width = std::max(name_width, width_for(dt->design_activity_name[i]));
    }
    for (int32_t k = 0; k < dt->nR; k++) label_width = std::max(label_width, 8 + width_for(dt->output_name[k]));
    note(book, worksheet_set_column(sheet, 0, 0, clamp(label_width + 2, 8, 60), nullptr));
    if (dt->n > 0) note(book, worksheet_set_column(sheet, 1, static_cast<lxw_col_t>(dt->n), 3.5, nullptr));
    note(book, worksheet_set_column(sheet, dt->n + 1, dt->n + 1, clamp(name_width + 2, 10, 60), nullptr));
    const int32_t constraints = constraint_column(dt);
    note(book, worksheet_set_column(sheet, dt->n + 2, constraints - 1, 5, nullptr));
    if (dt->nQ > 0) note(book, worksheet_set_column(sheet, constraints, constraints - 1 + dt->nQ, 3.5, nullptr));
    worksheet_freeze_panes(sheet, 1, 1);
}

void write_matrix(Book *book, const KAVELON *dt) {
    lxw_worksheet *sheet = book->matrix;
    set_matrix_columns(book, dt);
    write_matrix_heading(book, dt);
    for (int32_t first = 0; first < dt->n;) {
        const int32_t end = kavelon_block_end(dt, first);
        // A coupled block has no subblocks.
        const int border = dt->d[first]->subblock_order == 0 ? 2 : 1;
        for (int32_t i = first; i < end; i++) {
            put_text(book, sheet, i + 1, 0, dt->design_data_name[i], book->label);
            write_matrix_marks(book, dt, i, first, end, border);
            put_text(book, sheet, i + 1, dt->n + 1, dt->design_activity_name[i], nullptr);
            put_number(book, sheet, i + 1, dt->n + 2, dt->d[i]->block_order);
            put_number(book, sheet, i + 1, dt->n + 3, dt->d[i]->predecessor_block);
            if (dt->block_plan != nullptr)
                put_number(book, sheet, i + 1, dt->n + 4,
                           dt->block_plan->level[static_cast<size_t>(dt->d[i]->block_order - 1)]);
            if (dt->nQ > 0) write_plain_marks(book, i + 1, &dt->Q[i], constraint_column(dt));
        }
        first = end;
    }
    for (int32_t k = 0; k < dt->nR; k++) {
        const std::string label = std::string(kavelon_dsm_output_prefix) + xmlnulltext(dt->output_name[k]);
        put_text(book, sheet, dt->n + 1 + k, 0, label.c_str(), book->label);
        write_plain_marks(book, dt->n + 1 + k, &dt->R[k], 1);
        put_number(book, sheet, dt->n + 1 + k, dt->n + 2, 0);
        put_number(book, sheet, dt->n + 1 + k, dt->n + 3, 0);
        if (dt->block_plan != nullptr) put_number(book, sheet, dt->n + 1 + k, dt->n + 4, 0);
        if (dt->nQ > 0) write_plain_marks(book, dt->n + 1 + k, &dt->T[k], constraint_column(dt));
    }
    // The header values that are there, as the DSM table has them.
    int32_t row = dt->n + 1 + dt->nR;
    for (const KAVHEADERVALUE &v : kavelon_header_values(dt)) {
        if (v.value == nullptr) continue;
        put_text(book, sheet, row, 0, v.label, book->label);
        put_text(book, sheet, row, dt->n + 1, v.value, nullptr);
        put_number(book, sheet, row, dt->n + 2, 0);
        put_number(book, sheet, row, dt->n + 3, 0);
        if (dt->block_plan != nullptr) put_number(book, sheet, row, dt->n + 4, 0);
        row++;
    }
}

// One label and its value; an absent value leaves the value cell empty.
void write_value(Book *book, int32_t row, const char *label, const char *value) {
    put_text(book, book->process, row, 0, label, book->bold);
    if (value != nullptr) put_text(book, book->process, row, 1, value, nullptr);
}

// The sequencing columns of a block's row, with "-s".
void write_block_sequence(Book *book, const KAVELON *dt, int32_t row, int32_t block) {
    static const char *const methods[] = {"exact", "topological", "heuristic"};
    if (dt->block_sequence == nullptr || block < 1 || block > dt->nblock) return;
    const BLOCKSEQ *s = &dt->block_sequence[block - 1];
    put_number(book, book->process, row, 4, static_cast<double>(s->strong_inputs));
    put_number(book, book->process, row, 5, static_cast<double>(s->weak_inputs));
    put_number(book, book->process, row, 6, static_cast<double>(s->strong_distance + s->weak_distance));
    put_text(book, book->process, row, 7, s->method >= 0 && s->method <= 2 ? methods[s->method] : "heuristic",
             nullptr);
    put_text(book, book->process, row, 8, s->optimal != 0 ? "yes" : "no", nullptr);
}

// The inputs to assume, one row each, from `row` on; returns the next row.
int32_t write_assumed_inputs(Book *book, const KAVELON *dt, int32_t row) {
    static const char *const titles[] = {"Block", "Activity", "Needs data", "Kind", "Distance"};
    for (int32_t c = 0; c < 5; c++) put_text(book, book->process, row, c, titles[c], book->bold);
    row++;
    for (int32_t first = 0; first < dt->n;) {
        const int32_t end = kavelon_block_end(dt, first);
        for (int32_t i = first; i < end; i++) {
            const KAVROW &r = dt->P[i];
            for (int32_t t = kavelon_first_cell_from(&r, i + 1); t < r.count && r.cell[t].col < end; t++) {
                const char *kind = kavelon_dependency_word(r.cell[t].code);
                if (kind == nullptr) continue;
                put_number(book, book->process, row, 0, dt->d[i]->block_order);
                put_text(book, book->process, row, 1, dt->design_activity_name[i], nullptr);
                put_text(book, book->process, row, 2, dt->design_data_name[r.cell[t].col], nullptr);
                put_text(book, book->process, row, 3, kind, nullptr);
                put_number(book, book->process, row, 4, r.cell[t].col - i);
                row++;
            }
        }
        first = end;
    }
    return row;
}

// With a plan, the block's level and every block it strongly depends on,
// as the text report's plan gives them ("1 3", or "none"), in the two
// columns from `column` on.
void write_block_plan(Book *book, const KAVELON *dt, int32_t row, int32_t column, int32_t block) {
    const KAVPLAN *plan = dt->block_plan;
    if (plan == nullptr || block < 1 || block > plan->nblock) return;
    const size_t b = static_cast<size_t>(block - 1);
    put_number(book, book->process, row, column, plan->level[b]);
    // A list longer than a cell holds (a block after thousands of others)
    // ends with how many it leaves out; the text report has them all.
    std::string predecessors;
    const size_t first = plan->predecessor_first[b];
    const size_t end = plan->predecessor_first[b + 1];
    for (size_t t = first; t < end; t++) {
        if (predecessors.size() > kMaxCellCharacters - 40) {
            predecessors += " and " + std::to_string(end - t) + " more";
            break;
        }
        predecessors += (predecessors.empty() ? "" : " ") + std::to_string(plan->predecessor[t]);
    }
    put_text(book, book->process, row, column + 1, predecessors.empty() ? "none" : predecessors.c_str(), nullptr);
}

void write_process(Book *book, const KAVELON *dt) {
    const bool sequenced = dt->sequence != KAVELON_SEQUENCE_NONE && dt->block_sequence != nullptr;
    const bool planned = dt->block_plan != nullptr;
    // The plan's columns follow the block's own (and its sequencing columns).
    const int32_t plan_column = sequenced ? 9 : 4;
    const int32_t columns = plan_column + (planned ? 2 : 0);
    double width = 12;
    for (const char *value : {dt->xml_filename, dt->name, dt->version, dt->version_date, dt->study_name})
        width = std::max(width, width_for(value));
    note(book, worksheet_set_column(book->process, 0, 0, 24, nullptr));
    note(book, worksheet_set_column(book->process, 1, 1, clamp(width + 2, 18, 60), nullptr));
    note(book, worksheet_set_column(book->process, 2, columns - 1, 14, nullptr));
    write_value(book, 0, "kavelon version", KAVELON_VERSION);
    write_value(book, 1, "kavelon version date", KAVELON_VERSION_DATE);
    write_value(book, 2, "XML Input Filename", dt->xml_filename);
    int32_t row = 3;
    for (const KAVHEADERVALUE &v : kavelon_header_values(dt)) write_value(book, row++, v.label, v.value);
    static const char *const titles[] = {"Block", "Predecessor block", "Type", "Activities",
                                         "Strong inputs to assume", "Weak/ICD inputs to assume",
                                         "Feedback distance", "Method", "Optimal"};
    row = 8;
    for (int32_t c = 0; c < plan_column; c++) put_text(book, book->process, row, c, titles[c], book->bold);
    if (planned) {
        put_text(book, book->process, row, plan_column, kavelon_dsm_level_label, book->bold);
        put_text(book, book->process, row, plan_column + 1, "Predecessors", book->bold);
    }
    row++;
    for (int32_t first = 0; first < dt->n;) {
        const int32_t end = kavelon_block_end(dt, first);
        const ACTSTATE *s = dt->d[first];
        put_number(book, book->process, row, 0, s->block_order);
        put_number(book, book->process, row, 1, s->predecessor_block);
        put_text(book, book->process, row, 2, s->subblock_order != 0 ? "independent" : "dependent", nullptr);
        put_number(book, book->process, row, 3, end - first);
        if (sequenced) write_block_sequence(book, dt, row, s->block_order);
        if (planned) write_block_plan(book, dt, row, plan_column, s->block_order);
        row++;
        first = end;
    }
    if (sequenced) write_assumed_inputs(book, dt, row + 1);
}

// Rows the Process sheet needs: the header values, a gap, the block table,
// and with "-s" a gap, a heading and one row per input to assume.
int64_t process_rows(const KAVELON *dt) {
    int64_t rows = 9 + dt->nblock;
    if (dt->sequence == KAVELON_SEQUENCE_NONE || dt->block_sequence == nullptr) return rows;
    rows += 2;
    for (int32_t first = 0; first < dt->n;) {
        const int32_t end = kavelon_block_end(dt, first);
        for (int32_t i = first; i < end; i++) {
            const KAVROW &r = dt->P[i];
            for (int32_t t = kavelon_first_cell_from(&r, i + 1); t < r.count && r.cell[t].col < end; t++) rows++;
        }
        first = end;
    }
    return rows;
}

// Why the model does not fit a workbook's sheets, or "" when it does.
std::string too_large(const KAVELON *dt) {
    const int64_t columns = int64_t{1} + constraint_column(dt) - 1 + dt->nQ;
    const int64_t rows = int64_t{1} + dt->n + dt->nR + 4;
    if (columns > LXW_COL_MAX) {
        return std::to_string(dt->n) + " activities and " + std::to_string(dt->nQ) + " constraints need " +
               std::to_string(columns) + " columns, a worksheet has " + std::to_string(LXW_COL_MAX);
    }
    if (rows > LXW_ROW_MAX) {
        return std::to_string(dt->n) + " activities, " + std::to_string(dt->nR) + " outputs and the header values need " +
               std::to_string(rows) + " rows, a worksheet has " + std::to_string(LXW_ROW_MAX);
    }
    const int64_t process = process_rows(dt);
    if (process > LXW_ROW_MAX) {
        return "the block list needs " + std::to_string(process) + " rows, a worksheet has " +
               std::to_string(LXW_ROW_MAX);
    }
    return std::string();
}

void make_formats(Book *book) {
    book->heading = workbook_add_format(book->workbook);
    format_set_rotation(book->heading, 90);
    format_set_bold(book->heading);
    format_set_align(book->heading, LXW_ALIGN_CENTER);
    format_set_bottom(book->heading, LXW_BORDER_THIN);
    book->label = workbook_add_format(book->workbook);
    format_set_bold(book->label);
    format_set_right(book->label, LXW_BORDER_THIN);
    book->bold = workbook_add_format(book->workbook);
    format_set_bold(book->bold);
    cell_format(book, 0, 0, kMark);
}

}  // namespace

int kavelon_write_xlsx(const KAVELON *dt, const char *path) {
    const std::string size_fault = too_large(dt);
    if (!size_fault.empty()) {
        std::fprintf(stderr, " *** ERROR: Unable to write file (%s): %s\n", xmlnulltext(path), size_fault.c_str());
        return 1;
    }
    Book book;
    lxw_workbook_options options = {};
    // Rows go out as they are written instead of staying in memory, so a
    // large model's workbook takes little more memory than the model.
    options.constant_memory = LXW_TRUE;
    book.workbook = workbook_new_opt(path, &options);
    if (book.workbook == nullptr) {
        std::fprintf(stderr, " *** ERROR: Unable to write file (%s): out of memory\n", xmlnulltext(path));
        return 1;
    }
    lxw_doc_properties properties = {};
    properties.created = kFixedCreationTime;
    note(&book, workbook_set_properties(book.workbook, &properties));
    book.matrix = workbook_add_worksheet(book.workbook, kMatrixSheet);
    book.process = workbook_add_worksheet(book.workbook, kProcessSheet);
    make_formats(&book);
    if (book.matrix != nullptr && book.process != nullptr) {
        write_matrix(&book, dt);
        write_process(&book, dt);
    }
    const lxw_error closed = workbook_close(book.workbook);
    if (!book.fault.empty()) {
        std::fprintf(stderr, " *** ERROR: Unable to write file (%s): %s\n", xmlnulltext(path), book.fault.c_str());
        return 1;
    }
    const lxw_error error = book.error != LXW_NO_ERROR ? book.error : closed;
    if (error != LXW_NO_ERROR || book.matrix == nullptr || book.process == nullptr) {
        std::fprintf(stderr, " *** ERROR: Unable to write file (%s): %s\n", xmlnulltext(path),
                     lxw_strerror(error != LXW_NO_ERROR ? error : LXW_ERROR_MEMORY_MALLOC_FAILED));
        return 1;
    }
    return 0;
}
