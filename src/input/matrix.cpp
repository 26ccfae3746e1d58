// A design structure matrix kept in a spreadsheet, as the cells a CSV file
// or a workbook's sheet holds, turned into the very entity tree that the
// equivalent XML file gives, so that the model builder checks and reports it
// like any other input.
//
// Layout: a heading row holds a corner cell and one label per column, the
// label column one label per row, row and column labels the same and in the
// same order. Cell (row i, column j) is the dependency of activity i (the one
// that needs) on the data item of activity j (the one that provides); the
// diagonal is passed over. After the square part the "-fDSM" report adds
// columns "Activity" (the activity's name), "Block", "Predecessor block" and
// one "Constraint: <name>" per constraint, and one row "Output: <name>" per
// output; they are recognised by those labels and only after the square part,
// so a plain square matrix reads the same whatever its labels are.
//
// Spreadsheets keep more around the square: a title above it (the heading
// row is the first of the top rows whose first label pairs with the first
// row label below it), a column of row numbers between the labels and the
// marks (the "name, number, matrix" template, whose columns may be labelled
// by those numbers), and columns of notes after it (a column after the
// square whose cells hold text that is no mark).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "input/input.h"

namespace {

bool fail(KAVGRIDERROR *error, const KAVGRIDCELL &at, const std::string &what) {
    return kavelon_grid_fail(error, at.line, at.column, what);
}

// A positive decimal number ("1", "2", "0.5", "1E-3", or "0,5" as
// spreadsheets write it where the comma is the decimal mark): its value;
// zero ("0", "0.0"): 0; anything else: -1.
double mark_number(const std::string &s) {
    size_t at = 0;
    bool digits = false;
    bool point = false;
    std::string text;
    for (; at < s.size(); at++) {
        const char c = s[at];
        if ((c == '.' || c == ',') && !point) {
            point = true;
            text += '.';
        } else if (c >= '0' && c <= '9') {
            digits = true;
            text += c;
        } else {
            break;
        }
    }
    if (!digits) return -1;
    // An exponent, as spreadsheets write very small or large numbers.
    if (at < s.size() && (s[at] == 'E' || s[at] == 'e')) {
        text += 'e';
        at++;
        if (at < s.size() && (s[at] == '+' || s[at] == '-')) text += s[at++];
        bool exponent = false;
        for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; at++) {
            exponent = true;
            text += s[at];
        }
        if (!exponent) return -1;
    }
    if (at != s.size()) return -1;
    return std::strtod(text.c_str(), nullptr);
}

// The dependency element named by a mark: "strong", "weak" or "icd", or ""
// for no dependency; nullptr for a mark that means nothing. A number counts
// as strong from the run's threshold on ("-iMIN=V"), any positive one
// without it.
const char *mark_element(const KAVELON *dt, const std::string &mark) {
    if (mark.empty() || mark == "." || mark == "-") return "";
    if (mark.size() == 1) {
        switch (mark[0]) {
            case 'S': case 's': case 'X': case 'x': return kavelon_dependency_word(DEP_STRONG);
            case 'W': case 'w': return kavelon_dependency_word(DEP_WEAK);
            case 'I': case 'i': return kavelon_dependency_word(DEP_ICD);
            default: break;
        }
    }
    const double value = mark_number(mark);
    if (value < 0) return nullptr;
    if (value == 0 || value < dt->mark_minimum) return "";
    return kavelon_dependency_word(DEP_STRONG);
}

// Every row as wide as the heading row; rows above it may be of any width.
void drop_rows_above(KAVGRID &rows, int32_t heading) {
    if (heading > 0) rows.erase(rows.begin(), rows.begin() + heading);
}

// The "name, number, matrix" template: the row numbers' column is passed
// over, and column labels that are row numbers become that row's label.
void drop_number_column(KAVGRID &rows) {
    std::vector<std::pair<std::string, std::string>> numbers;  // number, label
    for (size_t r = 1; r < rows.size(); r++) {
        const std::vector<KAVGRIDCELL> &cells = rows[r].cells;
        if (cells.size() > 1 && cells[1].index == 1 && !cells[1].text.empty())
            numbers.push_back({cells[1].text, cells[0].text});
    }
    for (KAVGRIDCELL &cell : rows[0].cells) {
        if (cell.index < 2) continue;
        for (const auto &number : numbers) {
            if (cell.text == number.first) {
                cell.text = number.second;
                break;
            }
        }
    }
    for (KAVGRIDROW &row : rows) {
        std::vector<KAVGRIDCELL> &cells = row.cells;
        cells.erase(std::remove_if(cells.begin(), cells.end(), [](const KAVGRIDCELL &c) { return c.index == 1; }),
                    cells.end());
        for (KAVGRIDCELL &cell : cells) {
            if (cell.index > 1) cell.index--;
        }
        row.width = std::max(1, row.width - 1);
        if (row.filled > 1) row.filled--;
    }
}

// Spreadsheets export every cell once touched, so a matrix may come with
// columns after it that are empty in every line (their empty lines are
// already left out). Such trailing columns are dropped, but not one whose
// empty label pairs with an empty row label at the same place: that one is
// part of the square, and the model names the empty activity.
void drop_empty_columns(KAVGRID &rows) {
    int32_t used = 0;
    for (const KAVGRIDROW &row : rows) used = std::max(used, row.filled);
    int32_t width = rows[0].width;
    for (; width > used; width--) {
        const size_t last = static_cast<size_t>(width - 1);
        if (last < rows.size() && rows[last].cells[0].text.empty()) break;
    }
    if (width == rows[0].width) return;
    for (KAVGRIDROW &row : rows) {
        row.width = width;
        while (!row.cells.empty() && row.cells.back().index >= width) row.cells.pop_back();
    }
}

KAVGRID transposed(const KAVGRID &rows) {
    KAVGRID out(static_cast<size_t>(rows[0].width));
    for (size_t i = 0; i < rows.size(); i++) {
        for (const KAVGRIDCELL &cell : rows[i].cells) {
            KAVGRIDROW &to = out[static_cast<size_t>(cell.index)];
            to.cells.push_back(cell);
            to.cells.back().index = static_cast<int32_t>(i);
        }
    }
    for (KAVGRIDROW &row : out) row.width = static_cast<int32_t>(rows.size());
    return out;
}

// A label of the form "<prefix><name>". The prefix ends in a blank, which
// the reader trims off the label of a nameless output or constraint, as the
// "-fDSM" table writes it; the prefix without that blank names it too.
bool labelled(const std::string &label, const char *prefix) {
    const size_t length = std::strlen(prefix);
    return label.compare(0, length, prefix) == 0 || label.compare(0, std::string::npos, prefix, length - 1) == 0;
}

std::string name_after(const std::string &label, const char *prefix) {
    const size_t length = std::strlen(prefix);
    return label.size() > length ? label.substr(length) : std::string();
}

// Columns after the square part.
enum class Extra { none, activity, passed_over, constraint, notes };

Extra extra_column(const std::string &label) {
    if (label == kavelon_dsm_activity_label) return Extra::activity;
    if (label == kavelon_dsm_block_label || label == kavelon_dsm_predecessor_label || label == kavelon_dsm_level_label)
        return Extra::passed_over;
    if (labelled(label, kavelon_dsm_constraint_prefix)) return Extra::constraint;
    return Extra::none;
}

// The header values the "-fDSM" table writes after its outputs: the
// label, and the element of the design process it fills.
const char *header_element(const std::string &label) {
    static const char *const pairs[][2] = {{kavelon_dsm_name_label, "name"},
                                           {kavelon_dsm_version_label, "version"},
                                           {kavelon_dsm_version_date_label, "version_date"},
                                           {kavelon_dsm_study_name_label, "study_name"}};
    for (const auto &pair : pairs) {
        if (label == pair[0]) return pair[1];
    }
    return nullptr;
}

// An element as the XML reader gives it; one that holds only other elements
// has the empty text, like a start tag and end tag with white space between.
XMLENTITY *new_element(const char *name, const std::string &text = std::string()) {
    XMLENTITY *e = alloc_XMLENTITY();
    e->name = xmlcopystring(name);
    e->type = XMLENTITY_ELEMENT;
    e->text = xmlcopystring(text.c_str());
    return e;
}

// Children are appended through a pointer to the last link of the chain.
XMLENTITY **append(XMLENTITY **tail, XMLENTITY *e) {
    *tail = e;
    return &e->next;
}

// The dependencies of one consumer row, in column order: one for every
// marked cell in a column whose item `items` names (none: a column that
// holds no dependency), the diagonal column `skip` passed over.
bool add_dependencies(const KAVELON *dt, const KAVGRIDROW &row, const std::vector<const std::string *> &items,
                      size_t skip, XMLENTITY **tail, KAVGRIDERROR *error) {
    for (const KAVGRIDCELL &cell : row.cells) {
        if (cell.index == 0) continue;
        const size_t j = static_cast<size_t>(cell.index) - 1;
        if (j == skip || items[j] == nullptr) continue;
        const char *element = mark_element(dt, cell.text);
        if (element == nullptr) return fail(error, cell, "unknown mark (" + cell.text + ")");
        if (*element == '\0') continue;
        tail = append(tail, new_element(element, *items[j]));
    }
    return true;
}

// A column after the square whose cells hold some text that is no mark
// holds notes, not dependencies.
std::vector<char> notes_columns(const KAVELON *dt, const KAVGRID &rows, const std::vector<Extra> &kind) {
    std::vector<char> notes(kind.size(), 0);
    for (size_t r = 1; r < rows.size(); r++) {
        for (const KAVGRIDCELL &cell : rows[r].cells) {
            if (cell.index == 0) continue;
            const size_t j = static_cast<size_t>(cell.index) - 1;
            if (kind[j] == Extra::none && mark_element(dt, cell.text) == nullptr) notes[j] = 1;
        }
    }
    return notes;
}

// What the columns hold: the square's items, then the extras; the item a
// mark in each column depends on.
struct Columns {
    size_t n = 0;  // the square's size
    std::vector<Extra> kind;
    std::vector<std::string> constraints;
    std::vector<const std::string *> items;
    size_t activity = 0;  // the "Activity" column from 1, 0 for none
};

// Checks where the square ends: a column after it must be an extra or
// notes, a row after it an output or a header value.
bool check_square(const KAVELON *dt, const KAVGRID &rows, Columns &c, KAVGRIDERROR *error) {
    const std::vector<KAVGRIDCELL> &head = rows[0].cells;
    const size_t columns = head.size() - 1;
    const size_t count = rows.size() - 1;
    auto label = [&rows](size_t r) -> const KAVGRIDCELL & { return rows[r].cells[0]; };
    // Where the square part ends, a row that names no output is a label
    // that differs, whatever the column holds.
    if (c.n < columns && c.n < count && !labelled(label(c.n + 1).text, kavelon_dsm_output_prefix) &&
        header_element(label(c.n + 1).text) == nullptr) {
        return fail(error, label(c.n + 1),
                    "row label (" + label(c.n + 1).text + ") differs from column label (" + head[c.n + 1].text + ")");
    }
    const std::vector<char> notes = notes_columns(dt, rows, c.kind);
    for (size_t j = c.n; j < columns; j++) {
        if (c.kind[j] == Extra::none && notes[j] != 0) c.kind[j] = Extra::notes;
        if (c.kind[j] == Extra::none) return fail(error, head[j + 1], "column label (" + head[j + 1].text + ") has no row");
    }
    bool headers = false;
    for (size_t i = c.n; i < count; i++) {
        const bool header = header_element(label(i + 1).text) != nullptr;
        if (!header && (headers || !labelled(label(i + 1).text, kavelon_dsm_output_prefix)))
            return fail(error, label(i + 1), "row label (" + label(i + 1).text + ") has no column");
        headers = headers || header;
    }
    return true;
}

Columns find_columns(const KAVGRID &rows) {
    Columns c;
    const std::vector<KAVGRIDCELL> &head = rows[0].cells;
    const size_t columns = head.size() - 1;
    const size_t count = rows.size() - 1;
    while (c.n < columns && c.n < count && rows[c.n + 1].cells[0].text == head[c.n + 1].text) c.n++;
    c.kind.assign(columns, Extra::none);
    c.constraints.assign(columns, std::string());
    c.items.assign(columns, nullptr);
    for (size_t j = 0; j < columns; j++) {
        const std::string &text = head[j + 1].text;
        if (j < c.n) {
            c.items[j] = &text;
            continue;
        }
        c.kind[j] = extra_column(text);
        if (c.kind[j] == Extra::activity && c.activity == 0) c.activity = j + 1;
        if (c.kind[j] != Extra::constraint) continue;
        c.constraints[j] = name_after(text, kavelon_dsm_constraint_prefix);
        c.items[j] = &c.constraints[j];
    }
    return c;
}

// The text of a row's cell at `index`, "" when it holds none.
std::string cell_at(const KAVGRIDROW &row, size_t index) {
    for (const KAVGRIDCELL &cell : row.cells) {
        if (static_cast<size_t>(cell.index) == index) return cell.text;
    }
    return std::string();
}

// Builds the design_process tree from a rectangular grid, whose first row
// and first column hold every cell.
bool build_tree(const KAVELON *dt, const KAVGRID &rows, XMLENTITY **root, KAVGRIDERROR *error) {
    Columns c = find_columns(rows);
    if (!check_square(dt, rows, c, error)) return false;
    const size_t columns = rows[0].cells.size() - 1;
    const size_t count = rows.size() - 1;
    XMLENTITY *top = new_element("design_process");
    *root = top;
    XMLENTITY **tail = &top->child;
    for (size_t i = 0; i < c.n; i++) {
        const KAVGRIDROW &row = rows[i + 1];
        const std::string *name = &row.cells[0].text;
        for (const KAVGRIDCELL &cell : row.cells) {
            const size_t j = static_cast<size_t>(cell.index) - 1;
            if (cell.index > 0 && c.kind[j] == Extra::activity && !cell.text.empty()) name = &cell.text;
        }
        XMLENTITY *activity = new_element("design_activity");
        tail = append(tail, activity);
        XMLENTITY **inner = append(&activity->child, new_element("name", *name));
        inner = append(inner, new_element("data", row.cells[0].text));
        if (!add_dependencies(dt, row, c.items, i, inner, error)) return false;
    }
    for (size_t i = c.n; i < count; i++) {
        const KAVGRIDROW &row = rows[i + 1];
        const char *header = header_element(row.cells[0].text);
        if (header != nullptr) {
            tail = append(tail, new_element(header, cell_at(row, c.activity != 0 ? c.activity : 1)));
            continue;
        }
        const std::string name = name_after(row.cells[0].text, kavelon_dsm_output_prefix);
        XMLENTITY *output = new_element("output");
        tail = append(tail, output);
        XMLENTITY **inner = append(&output->child, new_element("name", name));
        if (!add_dependencies(dt, row, c.items, columns, inner, error)) return false;
    }
    for (size_t j = c.n; j < columns; j++) {
        if (c.kind[j] != Extra::constraint) continue;
        XMLENTITY *constraint = new_element("constraint");
        tail = append(tail, constraint);
        append(&constraint->child, new_element("data", *c.items[j]));
    }
    return true;
}

// The text of row r's cell at `index` among the whole rows above the
// matrix, "" when it holds none.
const std::string &head_text(const KAVGRID &rows, size_t r, size_t index) {
    static const std::string none;
    const std::vector<KAVGRIDCELL> &cells = rows[r].cells;
    return index < cells.size() && static_cast<size_t>(cells[index].index) == index ? cells[index].text : none;
}

}  // namespace

std::string kavelon_one_line(const std::string &text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n') {
            shown += "\\n";
        } else if (byte == '\r') {
            shown += "\\r";
        } else if (byte == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            shown += hex;
        } else {
            shown += c;
        }
    }
    return shown;
}

bool kavelon_grid_fail(KAVGRIDERROR *error, int32_t line, int32_t column, const std::string &what) {
    error->line = line;
    error->column = column;
    error->what = kavelon_one_line(what);
    return false;
}

bool kavelon_mark_says_nothing(const KAVELON *dt, const std::string &text) {
    const char *element = mark_element(dt, text);
    return element != nullptr && *element == '\0';
}

int32_t kavelon_grid_heading(const KAVGRID &rows, int32_t *first_column) {
    // An empty label would pair with any empty cell above it (a title
    // row's), so only a label that says something finds the heading row.
    const size_t top = std::min(rows.size(), static_cast<size_t>(KAVELON_GRID_HEAD_ROWS));
    for (size_t h = 0; h < top && h + 1 < rows.size(); h++) {
        const std::string &label = head_text(rows, h + 1, 0);
        if (label.empty()) continue;
        if (head_text(rows, h, 1) == label) {
            *first_column = 1;
            return static_cast<int32_t>(h);
        }
        // The template: row numbers from 1 between the labels and the
        // marks, the columns labelled by name or by number.
        const std::string &number = head_text(rows, h + 1, 1);
        const std::string &column = head_text(rows, h, 2);
        if (number == "1" && (column == label || column == number)) {
            *first_column = 2;
            return static_cast<int32_t>(h);
        }
    }
    *first_column = 1;
    return 0;
}

bool kavelon_grid_tree(KAVELON *dt, KAVGRID &rows, int32_t heading, int32_t first_column, XMLENTITY **root,
                       KAVGRIDERROR *error) {
    drop_rows_above(rows, heading);
    if (first_column == 2) drop_number_column(rows);
    drop_empty_columns(rows);
    if (dt->transpose == 1) rows = transposed(rows);
    return build_tree(dt, rows, root, error);
}
