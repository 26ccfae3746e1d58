// Input: reading the file named on the command line into the entity tree of
// a design process, whatever its format. An XML file gives its tree as it
// stands; any other format is turned into the very tree the equivalent XML
// file gives, so that the model builder checks and reports every input
// alike. A new format is one reader here and one line in the chooser
// (kavelon_read_xml_file).
#ifndef KAVELON_INPUT_INPUT_H
#define KAVELON_INPUT_INPUT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "model/record.h"

// The labels of the "-fDSM" table beyond its square part: columns for the
// activity's name, its block and predecessor block (and with a plan the
// block's level), one column per
// constraint and one row per output, the last two followed by the name. The
// DSM writer puts them and the CSV reader recognises them, so that the table
// reads back as the model it shows.
inline constexpr char kavelon_dsm_activity_label[] = "Activity";
inline constexpr char kavelon_dsm_block_label[] = "Block";
inline constexpr char kavelon_dsm_predecessor_label[] = "Predecessor block";
inline constexpr char kavelon_dsm_level_label[] = "Level";  // with a plan only
inline constexpr char kavelon_dsm_constraint_prefix[] = "Constraint: ";
inline constexpr char kavelon_dsm_output_prefix[] = "Output: ";

// Opens dt->xml_filename and reads it with the reader its name calls for:
// a name ending in ".csv", in any case, is a CSV matrix, one ending in
// ".xlsx" a workbook, any other an XML file. Sets dt->entities and dt->root; returns 0, or 1 after a message.
int kavelon_read_xml_file(KAVELON *dt);

// Reads an XML document from `in` into the entity tree (entities, root and
// text_after of the record); returns 0, or 1 after the reader's message.
int kavelon_read_xml_document(KAVELON *dt, FILE *in);

// Reads a square CSV matrix from `in` into the entity tree the equivalent
// XML file gives (root and entities of the record); returns 0, or 1 after one
// line naming the file, line, column and fault.
int kavelon_read_csv_file(KAVELON *dt, FILE *in);

// The header values the "-fDSM" table writes after its outputs, labelled as
// the CSV report labels them, each value in the "Activity" column, so that
// the table reads back with them.
inline constexpr char kavelon_dsm_name_label[] = "Design Process Name";
inline constexpr char kavelon_dsm_version_label[] = "Version Number";
inline constexpr char kavelon_dsm_version_date_label[] = "Version Date";
inline constexpr char kavelon_dsm_study_name_label[] = "Study Name";

// One header value of a design process and its label.
struct KAVHEADERVALUE {
    const char *label;
    const char *value;  // nullptr when the file gives none
};

// The header values of a design process, in the order the "-fDSM" table
// and the workbook write them.
inline std::array<KAVHEADERVALUE, 4> kavelon_header_values(const KAVELON *dt) {
    return {{{kavelon_dsm_name_label, dt->name},
             {kavelon_dsm_version_label, dt->version},
             {kavelon_dsm_version_date_label, dt->version_date},
             {kavelon_dsm_study_name_label, dt->study_name}}};
}

// Reads the first sheet of an .xlsx workbook from `in` (or the one
// "-iSHEET=NAME" names) as a matrix laid out as a CSV matrix is; returns 0,
// or 1 after one line naming the file, the sheet, the cell and the fault.
int kavelon_read_xlsx_file(KAVELON *dt, FILE *in);

// ---- The matrix as the cells of a file, shared by the CSV and workbook
// readers: the cells are read by the file's own reader, and turned into the
// design process by one matrix reader, so both follow the same rules.

// One cell: its text, trimmed, its place in its row (0 for the label) and
// where it stands in the file, as that file's messages name it (a CSV line
// and cell from 1; a sheet's row and column from 0).
struct KAVGRIDCELL {
    std::string text;
    int32_t index;
    int32_t line;
    int32_t column;
};

// A row keeps its labels and the cells that say something; an empty cell or
// a mark of no dependency may be left out, so a large matrix of mostly
// nothing takes little memory. `width` counts every cell, `filled` the cells
// up to the last one that is not empty; a CSV row also keeps where its last
// cell began and where the cell after each width of the first rows began,
// for the message about a ragged row.
struct KAVGRIDROW {
    std::vector<KAVGRIDCELL> cells;
    int32_t width = 0;
    int32_t filled = 0;
    int32_t last_line = 0;
    std::vector<std::pair<int32_t, int32_t>> line_at;
};

using KAVGRID = std::vector<KAVGRIDROW>;

// The first bad thing found: where, and what.
struct KAVGRIDERROR {
    int32_t line = 0;
    int32_t column = 0;
    std::string what;
};

// The first rows are kept whole, every cell of them: the heading row is
// looked for among them, below a title or a few notes.
constexpr int32_t KAVELON_GRID_HEAD_ROWS = 16;

// A text as a message shows it on one line: line breaks, tabs and other
// control characters as \n, \r, \t or \xHH.
std::string kavelon_one_line(const std::string &text);
// Sets the error (its text made one line); returns false.
bool kavelon_grid_fail(KAVGRIDERROR *error, int32_t line, int32_t column, const std::string &what);
// Whether a cell's text is empty or a mark of no dependency, so that a
// reader may leave it out.
bool kavelon_mark_says_nothing(const KAVELON *dt, const std::string &text);
// The heading row among the first rows, and the column where the marks
// start (1, or 2 in the "name, number, matrix" template); row 0 and column
// 1 when no row pairs with the labels below it.
int32_t kavelon_grid_heading(const KAVGRID &rows, int32_t *first_column);
// Turns the rows from the heading on into the design_process tree (in
// *root, also when it fails part way, for its release); false with the
// fault in *error.
bool kavelon_grid_tree(KAVELON *dt, KAVGRID &rows, int32_t heading, int32_t first_column, XMLENTITY **root,
                       KAVGRIDERROR *error);

// ---- The workbook reader's own parts: an .xlsx workbook read as a grid of
// cell texts, the container opened with libzip, the workbook, its
// relationships, the shared strings and one sheet parsed with expat.

// One cell that holds something, at its 0-based row and column: the text a
// spreadsheet shows for it before formatting. A number is its stored text
// ("1", "0.05"), a shared or inline string its characters, a boolean "TRUE"
// or "FALSE", an error value its code ("#N/A"), a formula its last result.
struct KAVSHEETCELL {
    int32_t row;
    int32_t column;
    std::string text;
};

// The sheet read: its name as the workbook lists it, and its cells that
// are not empty, by row and, within a row, by column.
struct KAVSHEET {
    std::string name;
    std::vector<KAVSHEETCELL> cells;
};

// What went wrong: the fault, and the cell it was found at (row -1 when it
// belongs to no cell). `sheet` tells whether the sheet's name in KAVSHEET is
// known yet, so that a message can name it.
struct KAVSHEETERROR {
    int32_t row = -1;
    int32_t column = -1;
    bool sheet = false;
    std::string what;
};

// The largest part of a workbook that is read, uncompressed. A workbook
// whose XML would go beyond it (a zip bomb, or a sheet far beyond any design
// matrix) is refused rather than read into memory.
constexpr size_t KAVELON_XLSX_MAX_PART_BYTES = size_t{256} << 20;
// The sheet size the format allows: columns A to XFD, rows 1 to 1048576.
constexpr int32_t KAVELON_XLSX_MAX_COLUMNS = 16384;
constexpr int32_t KAVELON_XLSX_MAX_ROWS = 1048576;

// Reads the sheet named `sheet_name` (nullptr: the first sheet of the
// workbook) of the workbook held in `bytes`. Parts larger than
// `max_part_bytes` uncompressed are refused. Returns 0 with the sheet
// filled, or 1 with the fault in *error (and the sheet's name in sheet->name
// once known). Any bytes at all may be given.
int kavelon_read_xlsx_sheet(const char *bytes, size_t size, const char *sheet_name, size_t max_part_bytes,
                            KAVSHEET *sheet, KAVSHEETERROR *error);

// The cell reference a spreadsheet shows: column letters and row number
// from 1, "A1", "B7", "XFD1048576".
std::string kavelon_cell_reference(int32_t row, int32_t column);

// Parses a cell reference such as "B7" (column letters in either case, then
// the row number, nothing else) into 0-based row and column; false when the
// text is no reference or lies beyond the sheet size the format allows.
bool kavelon_parse_cell_reference(const char *text, int32_t *row, int32_t *column);

#endif
