// A design structure matrix kept in a spreadsheet, read as input: a square
// CSV matrix whose row and column labels name the activities, turned into the
// very entity tree that the equivalent XML file gives, so that the model
// builder checks and reports it like any other input.
//
// Layout: the first row holds a corner cell and one label per column, the
// first column one label per row, row and column labels the same and in the
// same order. Cell (row i, column j) is the dependency of activity i (the one
// that needs) on the data item of activity j (the one that provides); the
// diagonal is passed over. After the square part the "-fDSM" report adds
// columns "Activity" (the activity's name), "Block", "Predecessor block" and
// one "Constraint: <name>" per constraint, and one row "Output: <name>" per
// output; they are recognised by those labels and only after the square part,
// so a plain square matrix reads the same whatever its labels are.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "input/input.h"

namespace {

// One cell as read: its text, trimmed, its place in its row (0 for the
// label) and where it starts in the file (line and column from 1, a column
// being one cell).
struct Cell {
    std::string text;
    int index;
    int line;
    int column;
};

// A row keeps its labels and the cells that say something; an empty cell or
// a mark of no dependency is left out, so a large matrix of mostly nothing
// takes little memory. `width` counts every cell, `filled` the cells up to
// the last one that is not empty; `line_at` is the line where the cell at
// `width_wanted` began, `last_line` where the last one began.
struct Row {
    std::vector<Cell> cells;
    int width = 0;
    int filled = 0;
    int line_at = 0;
    int last_line = 0;
};

using Grid = std::vector<Row>;

// The first bad thing found: where, and what.
struct CsvError {
    int line = 0;
    int column = 0;
    std::string what;
};

// A quoted cell may hold line breaks and other control characters; the
// message quotes cells, and must stay one line, so those are shown escaped.
std::string on_one_line(const std::string &text) {
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

bool fail(CsvError &error, int line, int column, const std::string &what) {
    error.line = line;
    error.column = column;
    error.what = on_one_line(what);
    return false;
}

bool fail(CsvError &error, const Cell &at, const std::string &what) {
    return fail(error, at.line, at.column, what);
}

void trim(std::string &s) {
    size_t end = s.size();
    while (end > 0 && xmlisspace(static_cast<unsigned char>(s[end - 1]))) end--;
    size_t start = 0;
    while (start < end && xmlisspace(static_cast<unsigned char>(s[start]))) start++;
    s = s.substr(start, end - start);
}

// ';' when the first line holds more of them than of ',' outside quotes,
// else ','. Lines that hold neither, such as empty lines above the matrix,
// which are skipped, do not count as the first.
char detect_separator(const std::string &in, size_t pos) {
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    for (; pos < in.size(); pos++) {
        const char c = in[pos];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '\n' && commas + semicolons > 0) {
            break;
        } else if (!quoted && c == ',') {
            commas++;
        } else if (!quoted && c == ';') {
            semicolons++;
        }
    }
    return semicolons > commas ? ';' : ',';
}

// A positive decimal number ("1", "2", "0.5", or "0,5" as spreadsheets
// write it where the comma is the decimal mark): true; zero ("0", "0.0")
// sets *zero instead; anything else is no number.
bool positive_number(const std::string &s, bool *zero) {
    bool digits = false;
    bool nonzero = false;
    bool point = false;
    for (const char c : s) {
        if ((c == '.' || c == ',') && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            nonzero = nonzero || c != '0';
        } else {
            return false;
        }
    }
    *zero = digits && !nonzero;
    return digits && nonzero;
}

// The dependency element named by a mark: "strong", "weak" or "icd", or ""
// for no dependency; nullptr for a mark that means nothing.
const char *mark_element(const std::string &mark) {
    if (mark.empty() || mark == "." || mark == "-") return "";
    if (mark.size() == 1) {
        switch (mark[0]) {
            case 'S': case 's': case 'X': case 'x': return kavelon_dependency_word(DEP_STRONG);
            case 'W': case 'w': return kavelon_dependency_word(DEP_WEAK);
            case 'I': case 'i': return kavelon_dependency_word(DEP_ICD);
            default: break;
        }
    }
    bool zero = false;
    if (positive_number(mark, &zero)) return kavelon_dependency_word(DEP_STRONG);
    return zero ? "" : nullptr;
}

// An empty cell or a mark of no dependency.
bool says_nothing(const std::string &text) {
    const char *element = mark_element(text);
    return element != nullptr && *element == '\0';
}

// Reads one cell from `pos`, RFC 4180 quoting with doubled quotes;
// characters after a closing quote, up to the separator, are kept as part of
// the cell. Blanks before an opening quote are passed over, as blanks around
// a cell are, so that `, "a, b"` is one quoted cell. Sets *row_done at a line
// end or the end of the input. False after an unterminated quote.
bool read_cell(const std::string &in, size_t &pos, char separator, int &line, Cell &cell,
               bool *row_done, CsvError &error) {
    while (pos < in.size() && (in[pos] == ' ' || in[pos] == '\t')) pos++;
    if (pos < in.size() && in[pos] == '"') {
        pos++;
        for (;;) {
            if (pos >= in.size()) {
                return fail(error, cell, "quoted cell not closed before the end of the file");
            }
            const char c = in[pos++];
            if (c == '"') {
                if (pos < in.size() && in[pos] == '"') {
                    cell.text += '"';
                    pos++;
                    continue;
                }
                break;
            }
            if (c == '\n') line++;
            cell.text += c;
        }
    }
    *row_done = true;
    while (pos < in.size()) {
        const char c = in[pos++];
        if (c == separator) {
            *row_done = false;
            break;
        }
        if (c == '\n') {
            line++;
            break;
        }
        cell.text += c;
    }
    // White space around a cell, a CR before the LF among it, is not part
    // of a label or a mark.
    trim(cell.text);
    return true;
}

// Splits the file into rows of cells: CRLF or LF line ends, a UTF-8 byte
// order mark skipped, rows whose cells are all empty left out. Every cell of
// the first row and of the first column is kept, and every cell in a row or
// column labelled "Activity" (names, whatever they look like); of the
// others only those that are not empty and not a mark of no dependency.
bool split_cells(const std::string &in, Grid &rows, CsvError &error) {
    size_t pos = 0;
    if (in.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    const char separator = detect_separator(in, pos);
    std::vector<char> keep_column;
    int width_wanted = -1;
    int line = 1;
    while (pos < in.size()) {
        Row row;
        bool blank = true;
        bool keep_row = rows.empty();
        for (bool row_done = false; !row_done;) {
            Cell cell{std::string(), row.width, line, row.width + 1};
            if (row.width == width_wanted) row.line_at = line;
            row.last_line = line;
            if (!read_cell(in, pos, separator, line, cell, &row_done, error)) return false;
            blank = blank && cell.text.empty();
            if (!cell.text.empty()) row.filled = row.width + 1;
            if (cell.index == 0) keep_row = keep_row || cell.text == kavelon_dsm_activity_label;
            const bool keep = keep_row || cell.index == 0 ||
                              (static_cast<size_t>(cell.index) < keep_column.size() &&
                               keep_column[static_cast<size_t>(cell.index)] != 0) ||
                              !says_nothing(cell.text);
            row.width++;
            if (keep) row.cells.push_back(std::move(cell));
        }
        if (blank) continue;
        if (rows.empty()) {
            width_wanted = row.width;
            for (const Cell &cell : row.cells) keep_column.push_back(cell.text == kavelon_dsm_activity_label);
        }
        rows.push_back(std::move(row));
    }
    if (rows.empty()) return fail(error, 1, 1, "no matrix, the file is empty");
    return true;
}

// Every row as wide as the first; a ragged row is named at its first extra
// or first missing cell.
bool check_rectangular(const Grid &rows, CsvError &error) {
    const int width = rows[0].width;
    for (const Row &row : rows) {
        if (row.width == width) continue;
        const bool longer = row.width > width;
        return fail(error, longer ? row.line_at : row.last_line, (longer ? width : row.width) + 1,
                    "row has " + std::to_string(row.width) + " cells, the first row has " +
                        std::to_string(width));
    }
    return true;
}

// Spreadsheets export every cell once touched, so a matrix may come with
// columns after it that are empty in every line (their empty lines are
// already left out). Such trailing columns are dropped, but not one whose
// empty label pairs with an empty row label at the same place: that one is
// part of the square, and the model names the empty activity.
void drop_empty_columns(Grid &rows) {
    int used = 0;
    for (const Row &row : rows) used = std::max(used, row.filled);
    int width = rows[0].width;
    for (; width > used; width--) {
        const size_t last = static_cast<size_t>(width - 1);
        if (last < rows.size() && rows[last].cells[0].text.empty()) break;
    }
    if (width == rows[0].width) return;
    for (Row &row : rows) {
        row.width = width;
        while (!row.cells.empty() && row.cells.back().index >= width) row.cells.pop_back();
    }
}

Grid transposed(const Grid &rows) {
    Grid out(static_cast<size_t>(rows[0].width));
    for (size_t i = 0; i < rows.size(); i++) {
        for (const Cell &cell : rows[i].cells) {
            Row &to = out[static_cast<size_t>(cell.index)];
            to.cells.push_back(cell);
            to.cells.back().index = static_cast<int>(i);
        }
    }
    for (Row &row : out) row.width = static_cast<int>(rows.size());
    return out;
}

// A label of the form "<prefix><name>". The prefix ends in a blank, which
// the reader trims off the label of a nameless output or constraint, as the
// "-fDSM" table writes it; the prefix without that blank names it too.
bool labelled(const std::string &label, const char *prefix) {
    const size_t length = std::strlen(prefix);
    return label.compare(0, length, prefix) == 0 ||
           label.compare(0, std::string::npos, prefix, length - 1) == 0;
}

std::string name_after(const std::string &label, const char *prefix) {
    const size_t length = std::strlen(prefix);
    return label.size() > length ? label.substr(length) : std::string();
}

// Columns after the square part.
enum class Extra { none, activity, passed_over, constraint };

Extra extra_column(const std::string &label) {
    if (label == kavelon_dsm_activity_label) return Extra::activity;
    if (label == kavelon_dsm_block_label || label == kavelon_dsm_predecessor_label) return Extra::passed_over;
    if (labelled(label, kavelon_dsm_constraint_prefix)) return Extra::constraint;
    return Extra::none;
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
bool add_dependencies(const Row &row, const std::vector<const std::string *> &items, size_t skip,
                      XMLENTITY **tail, CsvError &error) {
    for (const Cell &cell : row.cells) {
        if (cell.index == 0) continue;
        const size_t j = static_cast<size_t>(cell.index) - 1;
        if (j == skip || items[j] == nullptr) continue;
        const char *element = mark_element(cell.text);
        if (element == nullptr) return fail(error, cell, "unknown mark (" + cell.text + ")");
        if (*element == '\0') continue;
        tail = append(tail, new_element(element, *items[j]));
    }
    return true;
}

// Builds the design_process tree from a rectangular grid, whose first row
// and first column hold every cell.
bool build_tree(const Grid &rows, XMLENTITY **root, CsvError &error) {
    const std::vector<Cell> &head = rows[0].cells;
    const size_t columns = head.size() - 1;
    const size_t count = rows.size() - 1;
    auto label = [&rows](size_t r) -> const Cell & { return rows[r].cells[0]; };
    size_t n = 0;
    while (n < columns && n < count && label(n + 1).text == head[n + 1].text) n++;

    // What each column holds, and the item a mark in it depends on.
    std::vector<Extra> kind(columns, Extra::none);
    std::vector<std::string> constraints(columns);
    std::vector<const std::string *> items(columns, nullptr);
    for (size_t j = 0; j < columns; j++) {
        const std::string &text = head[j + 1].text;
        if (j < n) {
            items[j] = &text;
            continue;
        }
        kind[j] = extra_column(text);
        if (kind[j] != Extra::constraint) continue;
        constraints[j] = name_after(text, kavelon_dsm_constraint_prefix);
        items[j] = &constraints[j];
    }
    // Where the square part ends, a row that names no output is a label
    // that differs, whatever the column holds.
    if (n < columns && n < count && !labelled(label(n + 1).text, kavelon_dsm_output_prefix)) {
        return fail(error, label(n + 1),
                    "row label (" + label(n + 1).text + ") differs from column label (" +
                        head[n + 1].text + ")");
    }
    for (size_t j = n; j < columns; j++) {
        if (kind[j] == Extra::none) {
            return fail(error, head[j + 1], "column label (" + head[j + 1].text + ") has no row");
        }
    }
    for (size_t i = n; i < count; i++) {
        if (!labelled(label(i + 1).text, kavelon_dsm_output_prefix)) {
            return fail(error, label(i + 1), "row label (" + label(i + 1).text + ") has no column");
        }
    }

    XMLENTITY *top = new_element("design_process");
    *root = top;
    XMLENTITY **tail = &top->child;
    for (size_t i = 0; i < n; i++) {
        const Row &row = rows[i + 1];
        const std::string *name = &row.cells[0].text;
        for (const Cell &cell : row.cells) {
            const size_t j = static_cast<size_t>(cell.index) - 1;
            if (cell.index > 0 && kind[j] == Extra::activity && !cell.text.empty()) name = &cell.text;
        }
        XMLENTITY *activity = new_element("design_activity");
        tail = append(tail, activity);
        XMLENTITY **inner = append(&activity->child, new_element("name", *name));
        inner = append(inner, new_element("data", row.cells[0].text));
        if (!add_dependencies(row, items, i, inner, error)) return false;
    }
    for (size_t i = n; i < count; i++) {
        const Row &row = rows[i + 1];
        const std::string name = name_after(row.cells[0].text, kavelon_dsm_output_prefix);
        XMLENTITY *output = new_element("output");
        tail = append(tail, output);
        XMLENTITY **inner = append(&output->child, new_element("name", name));
        if (!add_dependencies(row, items, columns, inner, error)) return false;
    }
    for (size_t j = n; j < columns; j++) {
        if (kind[j] != Extra::constraint) continue;
        XMLENTITY *constraint = new_element("constraint");
        tail = append(tail, constraint);
        append(&constraint->child, new_element("data", *items[j]));
    }
    return true;
}

bool read_all(FILE *in, std::string &bytes) {
    char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) bytes.append(buf, got);
    return std::ferror(in) == 0;
}

}  // namespace

int kavelon_read_csv_file(KAVELON *dt, FILE *in) {
    if (dt == nullptr || in == nullptr) return 1;
    CsvError error;
    bool good = false;
    try {
        std::string bytes;
        Grid rows;
        if (!read_all(in, bytes)) {
            fail(error, 1, 1, "read error");
        } else if (split_cells(bytes, rows, error) && check_rectangular(rows, error)) {
            drop_empty_columns(rows);
            if (dt->transpose == 1) rows = transposed(rows);
            XMLENTITY *root = nullptr;
            good = build_tree(rows, &root, error);
            if (good) {
                dt->entities = root;
                dt->root = root;
            } else {
                free_XMLENTITY(root);
            }
        }
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, " *** ERROR: Out of memory reading csv file (%s)\n",
                     xmlnulltext(dt->xml_filename));
        return 1;
    }
    if (good) return 0;
    std::fprintf(stderr, " *** ERROR: csv file (%s) line %d column %d: %s\n",
                 xmlnulltext(dt->xml_filename), error.line, error.column, error.what.c_str());
    return 1;
}
