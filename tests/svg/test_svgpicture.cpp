// The picture drawn from plain report records: cell size and labels by the
// size of the process, feedback marks, block labels, escaping.
#include <gtest/gtest.h>

#include <cstdlib>

#include "svg.h"

namespace {

std::string picture_of(const SVGREPORT &report) {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    kavelon_svg_write_picture(&report, out);
    std::fclose(out);
    std::string s(buffer, size);
    std::free(buffer);
    return s;
}

size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// n activities "a1", "a2", ... producing "d1", "d2", ..., in blocks of the
// given sizes (coupled where the size is above 1).
SVGREPORT make_report(const std::vector<int32_t> &sizes) {
    SVGREPORT r;
    int32_t first = 0;
    for (const int32_t size : sizes) {
        const int32_t number = static_cast<int32_t>(r.blocks.size()) + 1;
        r.blocks.push_back(SVGBLOCK{number, number - 1, size > 1 ? 1 : 0, first, size});
        for (int32_t i = 0; i < size; i++) {
            const std::string k = std::to_string(first + i + 1);
            r.activities.push_back(SVGROW{"a" + k, "d" + k, number - 1, {}});
        }
        first += size;
    }
    return r;
}

TEST(SvgLayout, CellSizeAndLabelsFollowTheSizeOfTheProcess) {
    SVGLAYOUT l{};
    SVGREPORT one = make_report({1});
    kavelon_svg_plan_layout(&one, &l);
    EXPECT_EQ(l.cell, 18);
    EXPECT_EQ(l.labels, 1);
    EXPECT_EQ(l.block_labels, 1);

    SVGREPORT mid = make_report(std::vector<int32_t>(300, 1));
    kavelon_svg_plan_layout(&mid, &l);
    EXPECT_EQ(l.cell, 10);
    EXPECT_EQ(l.labels, 1);

    // Constraints widen the matrix as much as activities do.
    mid.constraints.assign(34, "c");
    kavelon_svg_plan_layout(&mid, &l);
    EXPECT_EQ(l.cell, 8);
    EXPECT_EQ(l.labels, 0);

    SVGREPORT big = make_report(std::vector<int32_t>(2000, 1));
    kavelon_svg_plan_layout(&big, &l);
    EXPECT_EQ(l.cell, 2);
    EXPECT_EQ(l.labels, 0);
    EXPECT_EQ(l.block_labels, 0);
    EXPECT_GE(l.width, l.matrix_x + 2000 * 2);
    EXPECT_GE(l.height, l.matrix_y + 2000 * 2);
}

TEST(SvgPicture, MarksAboveTheDiagonalOfTheActivitiesAreFeedback) {
    SVGREPORT r = make_report({1, 3});
    r.constraints = {"c1"};
    r.activities[1].marks = {{DEP_STRONG, 0}, {DEP_STRONG, 3}, {DEP_ICD, 4}};  // row 2: d1, feedback d4, c1
    r.activities[2].marks = {{DEP_WEAK, 2}};                                    // row 3: its own data
    r.activities[3].marks = {{DEP_STRONG, 1}, {DEP_WEAK, 2}};
    r.outputs.push_back(SVGROW{"o1", "", -1, {{DEP_STRONG, 3}, {DEP_ICD, 4}}});
    const std::string all = picture_of(r);
    const std::string svg = all.substr(all.find("class=\"region\""));  // the legend left out
    EXPECT_EQ(count(svg, "<rect class=\"s f\" x="), 1u);
    EXPECT_EQ(count(svg, "<rect class=\"fb\" x="), 1u);
    EXPECT_EQ(count(svg, "<rect class=\"s\" x="), 3u);
    EXPECT_EQ(count(svg, "<circle class=\"w\" cx="), 2u);
    EXPECT_EQ(count(svg, "<rect class=\"i\" x="), 2u);
    EXPECT_NE(svg.find("<title>1 a2 needs &quot;d4&quot; from 3 a4: strong, feedback</title>"), std::string::npos);
    EXPECT_NE(svg.find("<title>2 a3 needs its own data item &quot;d3&quot;: weak</title>"), std::string::npos);
    EXPECT_NE(svg.find("<title>Output O0 o1 needs constraint &quot;c1&quot;: ICD</title>"), std::string::npos);
    // Every activity has its diagonal cell.
    EXPECT_EQ(count(svg, "<rect class=\"x\" x="), 4u);
    EXPECT_EQ(count(svg, "<rect class=\"bc\" x="), 1u);
    EXPECT_EQ(count(svg, "<rect class=\"bi\" x="), 1u);
}

TEST(SvgPicture, BlockLabelAvoidsRowsWithMarksBesideTheSquare) {
    SVGREPORT r = make_report({3, 1, 1});
    // The block's first row has feedback just right of the square; its
    // second row is clear.
    r.activities[0].marks = {{DEP_WEAK, 3}};
    const std::string svg = picture_of(r);
    SVGLAYOUT l{};
    kavelon_svg_plan_layout(&r, &l);
    const double y = l.matrix_y + 1 * l.cell + l.cell / 2.0 + 0.35 * l.font;
    char expected[128];
    std::snprintf(expected, sizeof expected, "<text x=\"%g\" y=\"%g\" class=\"bl-c\"><title>Block 1: coupled",
                  l.matrix_x + 3 * l.cell + 3, y);
    EXPECT_NE(svg.find(expected), std::string::npos) << expected;
}

TEST(SvgPicture, LabelsGiveWayToRulersButTooltipsStay) {
    SVGREPORT r = make_report(std::vector<int32_t>(500, 1));
    r.activities[499].name = "the last activity";
    const std::string svg = picture_of(r);
    EXPECT_EQ(svg.find(">the last activity</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>499 the last activity, produces &quot;d500&quot;</title>"), std::string::npos);
    EXPECT_NE(svg.find("<title>&quot;d500&quot;, produced by 499 the last activity</title>"), std::string::npos);
    EXPECT_NE(svg.find("text-anchor=\"end\">490</text>"), std::string::npos);  // ruler tick
}

TEST(SvgPicture, MarksInTinyCellsFillTheirCells) {
    SVGREPORT r = make_report(std::vector<int32_t>(1000, 1));
    r.activities[10].marks = {{DEP_WEAK, 2}, {DEP_ICD, 20}};
    const std::string svg = picture_of(r);
    SVGLAYOUT l{};
    kavelon_svg_plan_layout(&r, &l);
    ASSERT_EQ(l.cell, 3);
    char weak[96];
    std::snprintf(weak, sizeof weak, "<rect class=\"w t\" x=\"%g\" y=\"%g\" width=\"3\" height=\"3\">", l.matrix_x + 6,
                  l.matrix_y + 30);
    EXPECT_NE(svg.find(weak), std::string::npos) << weak;
    // Feedback keeps a ground larger than its cell.
    char ground[96];
    std::snprintf(ground, sizeof ground, "<rect class=\"fb\" x=\"%g\" y=\"%g\" width=\"9\" height=\"9\"/>",
                  l.matrix_x + 60 - 3, l.matrix_y + 30 - 3);
    EXPECT_NE(svg.find(ground), std::string::npos) << ground;
    EXPECT_NE(svg.find("<rect class=\"i t f\""), std::string::npos);
}

TEST(SvgPicture, NamesAreEscapedAndLongOnesCut) {
    SVGREPORT r = make_report({1});
    r.name = "R&D <wing>";
    r.activities[0].name = std::string(45, 'n');
    r.activities[0].data = "x<y & \"z\"";
    const std::string svg = picture_of(r);
    EXPECT_NE(svg.find(">R&amp;D &lt;wing&gt;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">" + std::string(39, 'n') + "\xE2\x80\xA6</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>0 " + std::string(45, 'n') + ", produces"), std::string::npos);
    EXPECT_NE(svg.find(">x&lt;y &amp; &quot;z&quot;</text>"), std::string::npos);
    EXPECT_EQ(svg.find("x<y"), std::string::npos);
}

}  // namespace
