// The plan's numbers as read and written, and its report sections as bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ordering/ordering.h"
#include "ordering/ordering_fixture.h"
#include "plan/plan_report.h"

using ordering_test::make_record;

TEST(PlanReport, ReadsPlainDecimalsOnly) {
    const std::vector<std::pair<std::string, double>> good = {
        {"5", 5}, {" 2.5\n", 2.5}, {".5", 0.5}, {"5.", 5}, {"0", 0}, {"\t007 ", 7},
        {"999999999999999", 999999999999999.0}, {"0.1000000000000000000000000000000000000000000000000000000000000000009", 0.1}};
    for (const auto &[text, want] : good) {
        double value = -1;
        EXPECT_EQ(kavelon_read_plan_number(text.c_str(), &value), 0) << text;
        EXPECT_EQ(value, want) << text;
    }
    const char *bad[] = {"", "  ", ".", "-1", "+1", "1e3", "1,5", "inf", "nan", "0x10", "1.2.3", "1 2", "five",
                         "1234567890123456", "-0"};
    for (const char *text : bad) {
        double value = -1;
        EXPECT_EQ(kavelon_read_plan_number(text, &value), 1) << text;
        EXPECT_EQ(value, -1) << text;
    }
    double value = -1;
    EXPECT_EQ(kavelon_read_plan_number(nullptr, &value), 1);
}

TEST(PlanReport, WritesNumbersWithoutBinaryNoise) {
    char text[32];
    kavelon_format_plan_number(0.1 + 0.2, text);
    EXPECT_STREQ(text, "0.3");
    kavelon_format_plan_number(-0.0, text);
    EXPECT_STREQ(text, "0");
    kavelon_format_plan_number(2, text);
    EXPECT_STREQ(text, "2");
    kavelon_format_plan_number(1e20, text);
    EXPECT_STREQ(text, "1e+20");
    kavelon_format_plan_number(-1.7976931348623157e308, text);
    EXPECT_STREQ(text, "-1.79769313486232e+308");
}

namespace {

// a free (5); b and c need each other (1 and 2.5), b also weakly needs d;
// d (0.1) needs a and c. Coupled blocks take two passes.
struct Sample {
    std::unique_ptr<ordering_test::Record> rec;
    KAVPLAN plan;
};

Sample sample(bool with_assumed) {
    Sample s;
    s.rec = make_record({"0000", "00SW", "0S00", "S0S0"}, {"a", "b", "c", "d"});
    KAVELON &dt = s.rec->dt;
    EXPECT_EQ(kavelon_fast_identify_blocks_subblocks(&dt), 0);
    EXPECT_EQ(kavelon_fast_sort_P(&dt), 0);
    EXPECT_EQ(kavelon_fast_identify_predecessor_blocks(&dt), 0);
    const std::vector<double> duration = {5, 1, 2.5, 0.1};
    EXPECT_EQ(kavelon_make_plan(&dt, duration.data(), 2, KAVELON_WHATIF_NONE, with_assumed, &s.plan), 0);
    return s;
}

}  // namespace

TEST(PlanReport, TextSection) {
    const std::string head =
        "\n\nPLAN: 2 levels, total duration 7.1, iteration factor 2\n\n"
        "   Critical path: BLOCK Nbr 2 -> 3\n\n"
        "   Level  1: BLOCK Nbr 1 2\n"
        "   Level  2: BLOCK Nbr 3\n\n"
        " BLOCK LEVEL     DURATION        START       FINISH   LATE START  LATE FINISH        SLACK CRITICAL  PREDECESSORS\n"
        "     1     1            5            0            5            2            7            2       no  none\n"
        "     2     1            7            0            7            0            7            0      yes  none\n"
        "     3     2          0.1            7          7.1            7          7.1            0      yes  1 2\n\n"
        " ROW             ACTIVITY BLOCK LEVEL     DURATION        START       FINISH   LATE START  LATE FINISH        SLACK\n"
        "   0                    a     1     1            5            0            5            2            7            2\n"
        "   1                    b     2     -            1            0            7            0            7            0\n"
        "   2                    c     2     -          2.5            0            7            0            7            0\n"
        "   3                    d     3     1          0.1            7          7.1            7          7.1            0\n";
    const Sample plain = sample(false);
    EXPECT_EQ(test_util::written_by([&](FILE *out) { kavelon_write_plan_txt(&plain.rec->dt, &plain.plan, out); }),
              head);
    const Sample listed = sample(true);
    EXPECT_EQ(test_util::written_by([&](FILE *out) { kavelon_write_plan_txt(&listed.rec->dt, &listed.plan, out); }),
              head +
                  "\n   Inputs to assume in BLOCK Nbr  2: 1 in the block, 1 from later blocks\n"
                  "      (STRONG) d2 for b (from design_activity c in BLOCK Nbr 2): redo rows 1 to 2\n"
                  "      (WEAK last iteration) d3 for b (from design_activity d in BLOCK Nbr 3): redo rows 1 to 3\n");
}

TEST(PlanReport, XmlElements) {
    const Sample s = sample(true);
    EXPECT_EQ(test_util::written_by([&](FILE *out) { kavelon_write_plan_xml_block(&s.rec->dt, &s.plan, 3, out); }),
              "<plan>\n<level>2</level>\n<predecessor>1</predecessor>\n<predecessor>2</predecessor>\n"
              "<duration>0.1</duration>\n<earliest_start>7</earliest_start>\n<earliest_finish>7.1</earliest_finish>\n"
              "<latest_start>7</latest_start>\n<latest_finish>7.1</latest_finish>\n<slack>0</slack>\n"
              "<critical>yes</critical>\n"
              "<activity>\n<name>d</name>\n<level>1</level>\n<duration>0.1</duration>\n"
              "<earliest_start>7</earliest_start>\n<earliest_finish>7.1</earliest_finish>\n"
              "<latest_start>7</latest_start>\n<latest_finish>7.1</latest_finish>\n<slack>0</slack>\n</activity>\n"
              "</plan>\n");
    const std::string block2 =
        test_util::written_by([&](FILE *out) { kavelon_write_plan_xml_block(&s.rec->dt, &s.plan, 2, out); });
    EXPECT_NE(block2.find("<activity>\n<name>b</name>\n<duration>1</duration>\n"), std::string::npos) << block2;
    EXPECT_NE(block2.find("<assumed_input>\n<activity>b</activity>\n<data>d3</data>\n<kind>weak</kind>\n"
                          "<source>later_block</source>\n<producer>d</producer>\n<producer_block>3</producer_block>\n"
                          "<redo_from>1</redo_from>\n<redo_to>3</redo_to>\n</assumed_input>\n</plan>\n"),
              std::string::npos)
        << block2;
    EXPECT_EQ(test_util::written_by([&](FILE *out) { kavelon_write_plan_xml_block(&s.rec->dt, &s.plan, 4, out); }),
              "");
    EXPECT_EQ(test_util::written_by([&](FILE *out) { kavelon_write_plan_xml_summary(&s.plan, out); }),
              "<plan_summary>\n<levels>2</levels>\n<total_duration>7.1</total_duration>\n"
              "<iteration_factor>2</iteration_factor>\n<critical_path>\n<block_number>2</block_number>\n"
              "<block_number>3</block_number>\n</critical_path>\n</plan_summary>\n");
}
