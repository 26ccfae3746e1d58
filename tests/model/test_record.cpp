#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/record.h"
#include "test_util.h"
#include "model/rows_fixture.h"

namespace {

std::string print_to_string(KAVELON *dt) {
    return test_util::written_by([&](FILE *out) { kavelon_print_state(dt, out); });
}

const char *kHeading =
    " \nBLOCK_ORDER SUBBLOCK_ORDER PREDECESSOR_BLOCK TRIAL_CHAIN . CANDIDATE_ROWS . "
    "ROW_NBR_REMAINING_S . DELETE_CHAIN\n";

}  // namespace

// Two activities, two constraints and one output after ordering.
TEST(Record, StateTableReproducesExample) {
    KAVELON dt;
    kavelon_initialize(&dt);
    dt.n = 2; dt.nQ = 2; dt.nR = 1;
    ASSERT_EQ(kavelon_create_tables(&dt, 4, 2), 0);
    rows_test::fill_rows(dt.P, 2, {"SW", "SS"});
    rows_test::fill_rows(dt.Q, 2, {"S0", "00"});
    rows_test::fill_rows(dt.R, 1, {"WW"});
    rows_test::fill_rows(dt.T, 1, {"0I"});
    char a0[] = "Define geometry", a1[] = "Estimate weight of the wing";
    char d0[] = "geometry", d1[] = "weight", o0[] = "cost estimate";
    dt.design_activity_name[0] = a0; dt.design_activity_name[1] = a1;
    dt.design_data_name[0] = d0; dt.design_data_name[1] = d1;
    dt.output_name[0] = o0;
    *dt.d[0] = ACTSTATE{1, 1, 0, 0, 0, 0, 0};
    *dt.d[1] = ACTSTATE{2, 1, 1, 0, 0, 0, 0};

    EXPECT_EQ(print_to_string(&dt),
              std::string(kHeading) +
                  "   0      Define geometry             geometry  1  1  0  0. 0. 0. 0 XW S0\n"
                  "   1 Estimate weight of t               weight  2  1  1  0. 0. 0. 0 SX 00\n"
                  "   0              Output:        cost estimate  0  0  0  0. 0. 0. 0 WW 0I\n"
                  "\n");
    // The diagonal cells are as they were.
    EXPECT_EQ(rows_test::row_codes(dt.P[0], 2), "SW");
    EXPECT_EQ(rows_test::row_codes(dt.P[1], 2), "SS");
    kavelon_release_tables(&dt);
    EXPECT_EQ(dt.P, nullptr);
}

// A row longer than the writer's work buffer is written in pieces; the cells
// and the diagonal must land in their columns across the joins.
TEST(Record, LongRowsAreWrittenWholeAcrossTheBufferJoins) {
    const int columns = 40000;
    std::string dense(columns, '0');
    for (int j : {0, 16383, 16384, 16385, 32767, 32768, 39999}) dense[static_cast<size_t>(j)] = "SWI"[j % 3];
    KAVELON dt;
    kavelon_initialize(&dt);
    dt.n = 1;
    dt.nR = 1;
    ASSERT_EQ(kavelon_create_tables(&dt, 0, 7), 0);
    rows_test::fill_rows(dt.R, 1, {dense});
    for (int diagonal : {-1, 16383, 16384, 39999}) {
        SCOPED_TRACE(diagonal);
        std::string expected = dense;
        if (diagonal >= 0) expected[static_cast<size_t>(diagonal)] = 'X';
        char *buf = nullptr;
        size_t len = 0;
        FILE *out = open_memstream(&buf, &len);
        kavelon_write_codes(out, &dt.R[0], columns, diagonal);
        std::fclose(out);
        EXPECT_EQ(std::string(buf, len), expected);
        std::free(buf);
    }
    kavelon_release_tables(&dt);
}
