// An .xlsx workbook read as a grid of cell texts: the container opened with
// libzip, the workbook, its relationships, the shared strings and one sheet
// parsed with expat.
#ifndef KAVELON_INPUT_XLSX_H
#define KAVELON_INPUT_XLSX_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
