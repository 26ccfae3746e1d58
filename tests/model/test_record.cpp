#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/record.h"
#include "test_util.h"

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
    char p0[] = "SW", p1[] = "SS", q0[] = "S0", q1[] = "00", r0[] = "WW", t0[] = "0I";
    char *P[] = {p0, p1};
    char *Q[] = {q0, q1};
    char *R[] = {r0};
    char *T[] = {t0};
    char a0[] = "Define geometry", a1[] = "Estimate weight of the wing";
    char d0[] = "geometry", d1[] = "weight", o0[] = "cost estimate";
    char *an[] = {a0, a1};
    char *dn[] = {d0, d1};
    char *on[] = {o0};
    ACTSTATE s0{1, 1, 0, 0, 0, 0, 0}, s1{2, 1, 1, 0, 0, 0, 0};
    ACTSTATE *d[] = {&s0, &s1};
    dt.n = 2; dt.nQ = 2; dt.nR = 1;
    dt.P = P; dt.Q = Q; dt.R = R; dt.T = T; dt.d = d;
    dt.design_activity_name = an; dt.design_data_name = dn; dt.output_name = on;

    EXPECT_EQ(print_to_string(&dt),
              std::string(kHeading) +
                  "   0      Define geometry             geometry  1  1  0  0. 0. 0. 0 XW S0\n"
                  "   1 Estimate weight of t               weight  2  1  1  0. 0. 0. 0 SX 00\n"
                  "   0              Output:        cost estimate  0  0  0  0. 0. 0. 0 WW 0I\n"
                  "\n");
    // The diagonal cells are back as they were.
    EXPECT_STREQ(p0, "SW");
    EXPECT_STREQ(p1, "SS");
}
