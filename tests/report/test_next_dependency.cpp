// The writers skip runs of '0' cells eight at a time; they must still find
// every other code, at every position of rows of every length.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "report.h"

TEST(NextDependency, FindsEveryCodeInOrder) {
    std::mt19937 engine(7);
    for (int n = 0; n <= 40; n++) {
        for (int round = 0; round < 50; round++) {
            std::string row(n, '0');
            // From no code at all to every cell holding one.
            const unsigned density = round % 5;
            for (char &c : row)
                if (engine() % 4 < density) c = "SWIx"[engine() % 4];
            std::string expected, found;
            for (int j = 0; j < n; j++)
                if (row[j] != '0') expected += std::to_string(j) + " ";
            for (int j = kavelon_next_dependency(row.c_str(), 0, n); j < n;
                 j = kavelon_next_dependency(row.c_str(), j + 1, n))
                found += std::to_string(j) + " ";
            ASSERT_EQ(found, expected) << "row " << row;
        }
    }
    // The end is n even when the row goes on beyond it.
    EXPECT_EQ(kavelon_next_dependency("00000000000S", 0, 11), 11);
    EXPECT_EQ(kavelon_next_dependency("00000000000S", 0, 12), 11);
}
