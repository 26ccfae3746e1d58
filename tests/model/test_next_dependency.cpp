// The writers and the fast ordering skip runs of '0' cells many at a time;
// they must still find every other code, at every position of rows of every
// length.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "model/record.h"

namespace {

std::string found_columns(const std::string &row) {
    const int n = static_cast<int>(row.size());
    std::string found;
    for (int j = kavelon_next_dependency(row.c_str(), 0, n); j < n;
         j = kavelon_next_dependency(row.c_str(), j + 1, n))
        found += std::to_string(j) + " ";
    return found;
}

}  // namespace

TEST(NextDependency, FindsEveryCodeInOrder) {
    // One code at every position of every length, and none at all.
    for (int n = 1; n <= 80; n++) {
        EXPECT_EQ(found_columns(std::string(n, '0')), "") << n;
        for (int p = 0; p < n; p++) {
            std::string row(n, '0');
            row[p] = "SWIx"[p % 4];
            ASSERT_EQ(found_columns(row), std::to_string(p) + " ") << "row " << row;
        }
    }
    std::mt19937 engine(7);
    const unsigned per_thousand[] = {20, 100, 500, 1000};
    for (int n = 0; n <= 80; n++) {
        for (int round = 0; round < 40; round++) {
            std::string row(n, '0');
            const unsigned density = per_thousand[round % 4];
            for (char &c : row)
                if (engine() % 1000 < density) c = "SWIx"[engine() % 4];
            std::string expected;
            for (int j = 0; j < n; j++)
                if (row[j] != '0') expected += std::to_string(j) + " ";
            ASSERT_EQ(found_columns(row), expected) << "row " << row;
        }
    }
    // The end is n even when the row goes on beyond it.
    EXPECT_EQ(kavelon_next_dependency("00000000000S", 0, 11), 11);
    EXPECT_EQ(kavelon_next_dependency("00000000000S", 0, 12), 11);
}
