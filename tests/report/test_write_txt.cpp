#include <gtest/gtest.h>

#include "report_fixture.h"

using namespace report_test;

namespace {

const char *kFullHeader =
    "kavelon version      = 2.0\n"
    "kavelon version date = Jun 26 2021\n"
    "XML Input Filename  = design.xml\n"
    "Design Process Name = Wing study\n"
    "Version Number      = 3\n"
    "Version Date        = 2021-06-26\n"
    "Study Name          = Concept\n"
    "File Creation Time  = Fri Feb 13 23:31:30 2009\n"
    "\n";

const char *kExampleBody =
    "   0                   A3                   D3  1  1  0 XWI\n"
    "   1                   A1                   D1  2  0  1 SXS\n"
    "   2                   A2                   D2  2  0  1 WSX\n"
    "\n"
    "\n"
    "\n"
    "BLOCK Nbr  1 :  Depends on Predecessor BLOCK Nbr  0\n"
    "\n"
    "   Each design activity of the block can be performed independently\n"
    "\n"
    "\n"
    "   Design Activity A3 Produces Data D3 and depends on:\n"
    "      (WEAK last iteration)                             D1 (from design_activity A1)\n"
    "      (ICD)                             D2 (from design_activity A2)\n"
    "\n"
    "\n"
    "BLOCK Nbr  2 :  Depends on Predecessor BLOCK Nbr  1\n"
    "\n"
    "   All design activites of the block must be solved together\n"
    "\n"
    "\n"
    "   Design Activity A1 Produces Data D1 and depends on:\n"
    "      (STRONG)                             D3 (from design_activity A3)\n"
    "      (STRONG)                             D2 (from design_activity A2)\n"
    "\n"
    "   Design Activity A2 Produces Data D2 and depends on:\n"
    "      (WEAK already calculated)                             D3 (from design_activity A3)\n"
    "      (STRONG)                             D1 (from design_activity A1)\n";

std::string txt(const KAVELON *dt, const char *stamp = kStamp) {
    return write_report(kavelon_write_txt_with_stamp, dt, stamp);
}

}  // namespace

TEST(TxtReport, ReproducesWorkedExample) {
    Model m = example_model();
    KAVELON *dt = m.build();
    EXPECT_EQ(txt(dt), std::string(kFullHeader) + kExampleBody);
    // The 'X' of the table is never stored.
    EXPECT_STREQ(dt->P[0], "0WI");
    EXPECT_STREQ(dt->P[1], "S0S");
    EXPECT_STREQ(dt->P[2], "WS0");
}

TEST(TxtReport, AbsentHeaderValuesLeaveTheirLinesOutEmptyOnesStay) {
    Model m = example_model();
    m.xml_filename = nullptr;
    m.name = "";           // <name></name>
    m.version = nullptr;   // <version/> or no element at all
    m.version_date = "";
    m.study_name = nullptr;
    EXPECT_EQ(txt(m.build()),
              std::string("kavelon version      = 2.0\n"
                          "kavelon version date = Jun 26 2021\n"
                          "Design Process Name = \n"
                          "Version Date        = \n"
                          "File Creation Time  = Fri Feb 13 23:31:30 2009\n"
                          "\n") +
                  kExampleBody);
}

TEST(TxtReport, UnknownTimeKeepsTheLayout) {
    Model m = example_model();
    const std::string report = txt(m.build(), nullptr);
    const std::string header = kFullHeader;
    EXPECT_EQ(report, header.substr(0, header.find("File Creation Time")) +
                          "File Creation Time  = unknown\n\n" + kExampleBody);
}

TEST(TxtReport, LongNamesAreCutInTheTableOnly) {
    Model m;
    const std::string twenty = "Twenty bytes exactly";        // 20
    const std::string long_activity = "Estimate weight of wing";  // 23
    const std::string long_data = "weight of the wing with all its flaps";  // 37
    ASSERT_EQ(twenty.size(), 20u);
    m.activities = {{twenty, "short", 1, 1, 0, "00", ""}, {long_activity, long_data, 1, 2, 0, "I0", ""}};
    m.activities[0].p_row = "0W";
    const std::string report = txt(m.build());
    const std::vector<std::string> lines = lines_of(report);
    ASSERT_GE(lines.size(), 11u);
    EXPECT_EQ(lines[9], "   0 Twenty bytes exactly                short  1  1  0 XW");
    EXPECT_EQ(lines[10], "   1 Estimate weight of w weight of the wing w  1  2  0 IX");
    EXPECT_NE(report.find("   Design Activity Estimate weight of wing Produces Data " + long_data +
                          " and depends on:\n"),
              std::string::npos);
    // A data name longer than its 30 columns pushes the rest of the line.
    EXPECT_NE(report.find("      (WEAK) " + long_data + " (from design_activity " + long_activity + ")\n"),
              std::string::npos);
    EXPECT_NE(report.find("      (ICD)                          short (from design_activity " + twenty + ")\n"),
              std::string::npos);
}

TEST(TxtReport, NumbersOfThreeAndFourDigitsWidenTheirFields) {
    Model m;
    m.activities = {{"a", "d", 100, 1000, 99, "0", ""}};
    const std::vector<std::string> lines = lines_of(txt(m.build()));
    ASSERT_GE(lines.size(), 14u);
    EXPECT_EQ(lines[9], "   0                    a                    d 100 1000 99 X");
    EXPECT_EQ(lines[13], "BLOCK Nbr 100 :  Depends on Predecessor BLOCK Nbr 99");

    Model big = many_activities(1001);
    const std::vector<std::string> big_lines = lines_of(txt(big.build()));
    ASSERT_GE(big_lines.size(), 9u + 1001u);
    EXPECT_EQ(big_lines[9 + 999].substr(0, 46), " 999                 a999                 d999");
    EXPECT_EQ(big_lines[9 + 1000].substr(0, 50), " 1000                a1000                d1000  1");
}

TEST(TxtReport, SelfDependencyShowsXInTheTableAndItselfAsProducer) {
    Model m;
    m.activities = {{"Solve", "loads", 1, 1, 0, "S0", ""}, {"Check", "margin", 2, 1, 1, "SW", ""}};
    KAVELON *dt = m.build();
    const std::string report = txt(dt);
    EXPECT_NE(report.find("   0                Solve                loads  1  1  0 X0\n"), std::string::npos);
    EXPECT_NE(report.find("   1                Check               margin  2  1  1 SX\n"), std::string::npos);
    EXPECT_NE(report.find("depends on:\n      (STRONG)                          loads (from design_activity Solve)\n"),
              std::string::npos);
    // A weak self-dependency compares the block with itself: plain WEAK.
    EXPECT_NE(report.find("      (STRONG)                          loads (from design_activity Solve)\n"
                          "      (WEAK)                         margin (from design_activity Check)\n"),
              std::string::npos);
    EXPECT_STREQ(dt->P[0], "S0");
    EXPECT_STREQ(dt->P[1], "SW");
}

TEST(TxtReport, WeakLinesFollowTheBlockOfTheProducer) {
    Model m;
    // Row 1 (block 2) depends weakly on block 1, on its block mate, and on block 3.
    m.activities = {{"p", "early", 1, 1, 0, "0000", ""},
                    {"q", "same", 2, 1, 0, "WWWW", ""},
                    {"r", "mate", 2, 2, 0, "0000", ""},
                    {"s", "late", 3, 1, 0, "0000", ""}};
    const std::string report = txt(m.build());
    EXPECT_NE(report.find("   Design Activity q Produces Data same and depends on:\n"
                          "      (WEAK already calculated)                          early (from design_activity p)\n"
                          "      (WEAK)                           same (from design_activity q)\n"
                          "      (WEAK)                           mate (from design_activity r)\n"
                          "      (WEAK last iteration)                           late (from design_activity s)\n"
                          "\n"
                          "   Design Activity r"),
              std::string::npos);
    // Two rows of block 2 share one heading; an independent block says so.
    EXPECT_NE(report.find("BLOCK Nbr  2 :  Depends on Predecessor BLOCK Nbr  0\n\n"
                          "   Each design activity of the block can be performed independently\n\n\n"
                          "   Design Activity q"),
              std::string::npos);
    EXPECT_EQ(report.find("BLOCK Nbr  2", report.find("BLOCK Nbr  2") + 1), std::string::npos);
}

TEST(TxtReport, UnknownCodeWritesTheInternalErrorLineAndGoesOn) {
    Model m;
    m.activities = {{"a", "x", 1, 1, 0, "0?I", ""}, {"b", "y", 1, 2, 0, "000", ""}, {"c", "z", 1, 3, 0, "000", ""}};
    const std::string report = txt(m.build());
    EXPECT_NE(report.find("depends on:\n      *** Internal error ***\n      (ICD)                              z"),
              std::string::npos);
}

TEST(TxtReport, SingleActivity) {
    Model m;
    m.activities = {{"Only", "result", 1, 1, 0, "0", ""}};
    EXPECT_EQ(txt(m.build()), std::string(kFullHeader) +
                                  "   0                 Only               result  1  1  0 X\n"
                                  "\n\n\n"
                                  "BLOCK Nbr  1 :  Depends on Predecessor BLOCK Nbr  0\n\n"
                                  "   Each design activity of the block can be performed independently\n\n\n"
                                  "   Design Activity Only Produces Data result and depends on:\n");
}
