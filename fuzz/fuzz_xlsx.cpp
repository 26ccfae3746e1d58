// Fuzz target of the .xlsx sheet reader: arbitrary bytes as a workbook,
// read for its first sheet and for a sheet named "DSM". A sheet read must
// hold cells by row and column, each place once, within the sheet size
// the format allows, none empty, and every fault must say what it is.
// Parts are limited to 16 MiB uncompressed, so that an input that inflates
// costs the fuzzer little time.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "input/input.h"

namespace {

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "fuzz_xlsx: %s\n", what);
    std::abort();
}

void check(const char *bytes, size_t size, const char *wanted) {
    KAVSHEET sheet;
    KAVSHEETERROR error;
    const int status = kavelon_read_xlsx_sheet(bytes, size, wanted, size_t{16} << 20, &sheet, &error);
    if (status != 0) {
        if (error.what.empty()) fail("a fault without a message");
        if (error.row >= KAVELON_XLSX_MAX_ROWS || error.column > KAVELON_XLSX_MAX_COLUMNS) fail("a fault beyond the sheet");
        return;
    }
    for (size_t k = 0; k < sheet.cells.size(); k++) {
        const KAVSHEETCELL &c = sheet.cells[k];
        if (c.text.empty()) fail("an empty cell kept");
        if (c.row < 0 || c.row >= KAVELON_XLSX_MAX_ROWS || c.column < 0 || c.column >= KAVELON_XLSX_MAX_COLUMNS)
            fail("a cell beyond the sheet");
        int32_t row = -1;
        int32_t column = -1;
        if (!kavelon_parse_cell_reference(kavelon_cell_reference(c.row, c.column).c_str(), &row, &column) ||
            row != c.row || column != c.column)
            fail("a cell reference that does not read back");
        if (k == 0) continue;
        const KAVSHEETCELL &p = sheet.cells[k - 1];
        if (p.row > c.row || (p.row == c.row && p.column >= c.column)) fail("cells out of order or twice");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *bytes = reinterpret_cast<const char *>(data);
    check(bytes, size, nullptr);
    check(bytes, size, "DSM");
    return 0;
}
