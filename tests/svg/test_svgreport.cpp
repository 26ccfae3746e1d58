// Reading kavelon's XML report into the picture's records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "svg/svg.h"

namespace {

// Reads a report text with the project's XML reader; returns 0 or 1 as
// kavelon_svg_read_report does.
int read_text(const char *text, SVGREPORT *report) {
    FILE *in = fmemopen(const_cast<char *>(text), std::strlen(text), "r");
    int errflag = 0;
    XMLENTITY *root = readfile_XMLENTITY(in, &errflag);
    std::fclose(in);
    EXPECT_EQ(errflag, 0);
    return kavelon_svg_read_report(root, "test", report);
}

// Kind and column of every mark of a row.
std::string marks(const SVGROW &row) {
    std::string s;
    for (const auto &m : row.marks) s += (s.empty() ? "" : " ") + std::string(1, m.kind) + std::to_string(m.column);
    return s;
}

TEST(SvgReadReport, BlocksActivitiesAndColumns) {
    const char *text =
        "<kavelon><kavelon_version>2.0</kavelon_version><name>P &amp; Q</name><version/>"
        "<study_name>s</study_name><file_creation_time>Tue Dec  8 19:30:00 2026</file_creation_time>"
        "<block><block_number>1</block_number><predecessor_block>0</predecessor_block>"
        "<block_type>independent</block_type>"
        "<design_activity><name>a</name><data>d1</data><strong>c2</strong></design_activity>"
        "<design_activity><name>b</name><data>d2</data></design_activity><block_size>2</block_size></block>"
        "<!-- a comment among the blocks -->"
        "<block><block_number>2</block_number><predecessor_block>1</predecessor_block>"
        "<block_type>dependent</block_type>"
        "<design_activity><name>c</name><data>d3</data><weak>d1</weak><strong>d4</strong><icd>d3</icd>"
        "</design_activity>"
        "<design_activity><name>e</name><data>d4</data><strong>d3</strong></design_activity></block>"
        "<output><name>o</name><icd>d4</icd><weak>c1</weak></output>"
        "<constraint><data>c1</data></constraint><constraint><data>c2</data></constraint></kavelon>";
    SVGREPORT r;
    ASSERT_EQ(read_text(text, &r), 0);
    EXPECT_EQ(r.name, "P & Q");
    EXPECT_EQ(r.version, "");
    EXPECT_EQ(r.study_name, "s");
    EXPECT_EQ(r.file_creation_time, "Tue Dec  8 19:30:00 2026");
    ASSERT_EQ(r.blocks.size(), 2u);
    const SVGBLOCK &b = r.blocks[1];
    EXPECT_EQ(std::vector<int32_t>({b.number, b.predecessor, b.coupled, b.first}), std::vector<int32_t>({2, 1, 1, 2}));
    EXPECT_EQ(b.size, 2);  // no block_size element: counted
    ASSERT_EQ(r.activities.size(), 4u);
    EXPECT_EQ(r.activities[2].block, 1);
    // Columns: d1..d4 are 0..3, constraints c1, c2 are 4, 5.
    EXPECT_EQ(marks(r.activities[0]), "S5");
    EXPECT_EQ(marks(r.activities[2]), "W0 S3 I2");  // the last on its own data item
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_EQ(marks(r.outputs[0]), "I3 W4");
    EXPECT_EQ(r.constraints.size(), 2u);
}

TEST(SvgReadReport, NamesMatchAsWrittenAndShowDecoded) {
    // Two data items that kavelon held apart, though both show as "A&B".
    const char *text =
        "<kavelon><block><block_number>1</block_number><predecessor_block>0</predecessor_block>"
        "<block_type>independent</block_type>"
        "<design_activity><name>x &lt; y</name><data>A&amp;B</data></design_activity>"
        "<design_activity><name>z</name><data>A&#38;B</data><strong>A&#38;B</strong><weak>A&amp;B</weak>"
        "</design_activity></block></kavelon>";
    SVGREPORT r;
    ASSERT_EQ(read_text(text, &r), 0);
    EXPECT_EQ(r.activities[0].name, "x < y");
    EXPECT_EQ(r.activities[0].data, "A&B");
    EXPECT_EQ(r.activities[1].data, "A&B");
    EXPECT_EQ(marks(r.activities[1]), "S1 W0");
}

}  // namespace

// A plan only adds the Gantt chart: every block must have one that reads as
// times in order, or the chart is left out and the picture is the same.
TEST(SvgReadReport, PlansOfEveryBlockOrNone) {
    const std::string head =
        "<kavelon><block><block_number>1</block_number><predecessor_block>0</predecessor_block>"
        "<block_type>independent</block_type><design_activity><name>a</name><data>x</data></design_activity>"
        "<block_size>1</block_size>";
    const std::string second =
        "</block><block><block_number>2</block_number><predecessor_block>1</predecessor_block>"
        "<block_type>independent</block_type><design_activity><name>b</name><data>y</data><strong>x</strong>"
        "</design_activity><block_size>1</block_size>";
    const std::string plan1 =
        "<plan><level>1</level><earliest_start>0</earliest_start><earliest_finish>2.5</earliest_finish>"
        "<latest_finish>3</latest_finish><critical>no</critical></plan>";
    const auto plan2 = [](const char *finish) {
        return std::string("<plan><level>2</level><predecessor>1</predecessor><earliest_start>2.5</earliest_start>"
                           "<earliest_finish>") +
               finish + "</earliest_finish><latest_finish>4</latest_finish><critical>yes</critical></plan>";
    };
    SVGREPORT r;
    ASSERT_EQ(read_text((head + plan1 + second + plan2("4") + "</block></kavelon>").c_str(), &r), 0);
    EXPECT_EQ(r.planned, 1);
    EXPECT_EQ(r.total_duration, 4.0);
    ASSERT_EQ(r.blocks.size(), 2u);
    EXPECT_EQ(r.blocks[0].finish, 2.5);
    EXPECT_EQ(r.blocks[0].late_finish, 3.0);
    EXPECT_EQ(r.blocks[0].critical, 0);
    EXPECT_EQ(r.blocks[1].level, 2);
    EXPECT_EQ(r.blocks[1].critical, 1);
    for (const char *bad : {"soon", "2", "-1", "nan", "5"}) {  // not a number, before the start, after the latest
        SVGREPORT damaged;
        ASSERT_EQ(read_text((head + plan1 + second + plan2(bad) + "</block></kavelon>").c_str(), &damaged), 0) << bad;
        EXPECT_EQ(damaged.planned, 0) << bad;
    }
    SVGREPORT half;
    ASSERT_EQ(read_text((head + plan1 + second + "</block></kavelon>").c_str(), &half), 0);
    EXPECT_EQ(half.planned, 0);
}
