// Sparse matrix rows for the tests, written and read as the dense rows of
// codes they stand for ("0S0W").
#ifndef KAVELON_TESTS_ROWS_FIXTURE_H
#define KAVELON_TESTS_ROWS_FIXTURE_H

#include <string>
#include <vector>

#include "model/record.h"

namespace rows_test {

// The dense codes of the first `columns` columns of a row.
inline std::string row_codes(const KAVROW &row, int columns) {
    std::string codes(static_cast<size_t>(columns > 0 ? columns : 0), DEP_NONE);
    kavelon_fill_codes(&row, 0, columns, codes.data());
    return codes;
}

// Cells that dense rows hold: their codes other than '0'.
inline size_t cells_in(const std::vector<std::string> &rows) {
    size_t count = 0;
    for (const auto &row : rows)
        for (char c : row) count += c != DEP_NONE;
    return count;
}

// Fills rows 0 .. count - 1 of a matrix, made by kavelon_create_tables with
// room for their cells, from dense rows; rows past the given ones stay empty.
inline void fill_rows(KAVROW *rows, int count, const std::vector<std::string> &dense) {
    for (int r = 0; r < count; r++) {
        if (r < static_cast<int>(dense.size())) {
            const std::string &codes = dense[static_cast<size_t>(r)];
            for (size_t j = 0; j < codes.size(); j++)
                if (codes[j] != DEP_NONE) kavelon_add_cell(&rows[r], static_cast<int32_t>(j), codes[j]);
        }
        kavelon_close_row(rows, r, count);
    }
}

}  // namespace rows_test

#endif
