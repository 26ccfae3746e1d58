// A design structure matrix kept as CSV text, split into the cells that
// the matrix reader turns into the design process (see kavelon_grid_tree).
//
// Spreadsheets write CSV in more than one way: the separator is a comma, a
// semicolon where the comma is the decimal mark, or a tab (a paste from a
// sheet, "Text (Tab delimited)"); lines end in LF, CRLF or CR alone; a UTF-8
// byte order mark may come first. "-iSEP=X" names the separator when the
// guess would be wrong.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "input/input.h"

namespace {

using Cell = KAVGRIDCELL;
using Row = KAVGRIDROW;
using Grid = KAVGRID;
using CsvError = KAVGRIDERROR;

bool fail(CsvError &error, int line, int column, const std::string &what) {
    return kavelon_grid_fail(&error, line, column, what);
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

// A line ends at LF, at CRLF, or at a CR alone; true at such an end, with
// `pos` after it.
bool line_end(const std::string &in, size_t &pos) {
    if (pos >= in.size()) return false;
    if (in[pos] == '\n') {
        pos++;
        return true;
    }
    if (in[pos] != '\r') return false;
    pos++;
    if (pos < in.size() && in[pos] == '\n') pos++;
    return true;
}

// How many of each candidate separator the lines hold outside quotes, for
// the first few lines that hold any (lines of none, such as empty lines
// above the matrix, which are skipped, do not count).
constexpr int kGuessLines = 8;
constexpr char kCandidates[] = {',', ';', '\t'};

// The separator the lines agree on: a matrix has as many cells in every
// line, so the candidate found the same number of times in each counted line
// wins over one whose count varies, and then the one found most often in the
// first line; ',' before ';' before a tab when that does not decide.
char detect_separator(const std::string &in, size_t pos) {
    int counts[kGuessLines][3] = {};
    int lines = 0;
    bool quoted = false;
    while (pos < in.size() && lines < kGuessLines) {
        const char c = in[pos];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            if (counts[lines][0] + counts[lines][1] + counts[lines][2] > 0) lines++;
            line_end(in, pos);
            continue;
        } else if (!quoted) {
            for (int k = 0; k < 3; k++) counts[lines][k] += c == kCandidates[k] ? 1 : 0;
        }
        pos++;
    }
    if (lines < kGuessLines && counts[lines][0] + counts[lines][1] + counts[lines][2] > 0) lines++;
    int best = 0;
    int best_score = -1;
    for (int k = 0; k < 3; k++) {
        bool same = lines > 0 && counts[0][k] > 0;
        for (int l = 1; l < lines; l++) same = same && counts[l][k] == counts[0][k];
        const int score = (same ? 1 << 24 : 0) + (lines > 0 ? counts[0][k] : 0);
        if (score > best_score) {
            best = k;
            best_score = score;
        }
    }
    return kCandidates[best];
}

// Reads one cell from `pos`, RFC 4180 quoting with doubled quotes;
// characters after a closing quote, up to the separator, are kept as part of
// the cell. Blanks before an opening quote are passed over, as blanks around
// a cell are, so that `, "a, b"` is one quoted cell. Sets *row_done at a line
// end or the end of the input. False after an unterminated quote.
bool read_cell(const std::string &in, size_t &pos, char separator, int &line, Cell &cell,
               bool *row_done, CsvError &error) {
    while (pos < in.size() && (in[pos] == ' ' || (in[pos] == '\t' && separator != '\t'))) pos++;
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
            if (c == '\n' || (c == '\r' && (pos >= in.size() || in[pos] != '\n'))) line++;
            cell.text += c;
        }
    }
    *row_done = true;
    while (pos < in.size()) {
        if (line_end(in, pos)) {
            line++;
            break;
        }
        const char c = in[pos++];
        if (c == separator) {
            *row_done = false;
            break;
        }
        cell.text += c;
    }
    // White space around a cell is not part of a label or a mark.
    trim(cell.text);
    return true;
}

// Splits the file into rows of cells: a UTF-8 byte order mark skipped, rows
// whose cells are all empty left out. Every cell of the first rows (where the
// heading row is looked for) and of the first column is kept, and every cell
// in a row or column labelled "Activity" (names, whatever they look like);
// of the others only those that are not empty and not a mark of no
// dependency.
bool split_cells(const KAVELON *dt, const std::string &in, Grid &rows, CsvError &error) {
    size_t pos = 0;
    if (in.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    const char separator = dt->csv_separator != 0 ? static_cast<char>(dt->csv_separator) : detect_separator(in, pos);
    std::vector<char> keep_column;
    // Widths of the rows where the heading row may be: a longer row is
    // named at the line where the cell one past such a width began.
    std::vector<int32_t> head_widths;
    int line = 1;
    while (pos < in.size()) {
        Row row;
        bool blank = true;
        const bool head = rows.size() < static_cast<size_t>(KAVELON_GRID_HEAD_ROWS);
        bool keep_row = head;
        for (bool row_done = false; !row_done;) {
            Cell cell{std::string(), row.width, line, row.width + 1};
            if (std::find(head_widths.begin(), head_widths.end(), row.width) != head_widths.end())
                row.line_at.push_back({row.width, line});
            row.last_line = line;
            if (!read_cell(in, pos, separator, line, cell, &row_done, error)) return false;
            blank = blank && cell.text.empty();
            if (!cell.text.empty()) row.filled = row.width + 1;
            if (cell.index == 0) keep_row = keep_row || cell.text == kavelon_dsm_activity_label;
            const bool keep = keep_row || cell.index == 0 ||
                              (static_cast<size_t>(cell.index) < keep_column.size() &&
                               keep_column[static_cast<size_t>(cell.index)] != 0) ||
                              !kavelon_mark_says_nothing(dt, cell.text);
            row.width++;
            if (keep) row.cells.push_back(std::move(cell));
        }
        if (blank) continue;
        if (head) {
            if (std::find(head_widths.begin(), head_widths.end(), row.width) == head_widths.end())
                head_widths.push_back(row.width);
            for (const Cell &cell : row.cells) {
                const size_t at = static_cast<size_t>(cell.index);
                if (keep_column.size() <= at) keep_column.resize(at + 1, 0);
                if (cell.text == kavelon_dsm_activity_label) keep_column[at] = 1;
            }
        }
        rows.push_back(std::move(row));
    }
    if (rows.empty()) return fail(error, 1, 1, "no matrix, the file is empty");
    return true;
}

// Every row from the heading row on as wide as it; a ragged row is named at
// its first extra or first missing cell.
bool check_rectangular(const Grid &rows, size_t heading, CsvError &error) {
    const int width = rows[heading].width;
    for (size_t r = heading; r < rows.size(); r++) {
        const Row &row = rows[r];
        if (row.width == width) continue;
        const bool longer = row.width > width;
        int line = row.last_line;
        for (const auto &at : row.line_at) {
            if (longer && at.first == width) line = at.second;
        }
        return fail(error, line, (longer ? width : row.width) + 1,
                    "row has " + std::to_string(row.width) + " cells, the " +
                        (heading == 0 ? "first" : "heading") + " row has " + std::to_string(width));
    }
    return true;
}

bool read_all(FILE *in, std::string &bytes) {
    char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) bytes.append(buf, got);
    return std::ferror(in) == 0;
}

// Spreadsheets write CSV in Windows-1252 unless told otherwise; a file that
// is not UTF-8 is read so, and said to be, since its names then change
// bytes on their way into the reports.
void read_as_utf8(const KAVELON *dt, std::string &bytes) {
    if (xmlutf8valid(bytes.data(), bytes.size()) == 1) return;
    std::fprintf(stderr, " *** WARNING: csv file (%s) is not UTF-8; read as Windows-1252\n",
                 xmlnulltext(dt->xml_filename));
    std::string converted;
    converted.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        char out[4];
        converted.append(out, static_cast<size_t>(xmlbytetoutf8(XMLENCODING_CP1252, static_cast<unsigned char>(c), out)));
    }
    bytes.swap(converted);
}

}  // namespace

int kavelon_read_csv_file(KAVELON *dt, FILE *in) {
    if (dt == nullptr || in == nullptr) return 1;
    CsvError error;
    bool good = false;
    try {
        std::string bytes;
        Grid rows;
        int32_t first_column = 1;
        const bool read = read_all(in, bytes);
        if (read) read_as_utf8(dt, bytes);
        if (!read) {
            fail(error, 1, 1, "read error");
        } else if (split_cells(dt, bytes, rows, error)) {
            const int32_t heading = kavelon_grid_heading(rows, &first_column);
            if (check_rectangular(rows, static_cast<size_t>(heading), error)) {
                XMLENTITY *root = nullptr;
                good = kavelon_grid_tree(dt, rows, heading, first_column, &root, &error);
                if (good) {
                    dt->entities = root;
                    dt->root = root;
                } else {
                    free_XMLENTITY(root);
                }
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
