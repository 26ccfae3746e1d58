// The picture drawn from plain report records, for what the end-to-end
// pictures are too small to show: cell size and labels by the size of the
// process, block labels beside marks, marks in tiny cells.
#include <gtest/gtest.h>

#include <cstdlib>

#include "picture_of.h"
#include "svg/svg.h"

namespace {

// n activities "a1", "a2", ... producing "d1", "d2", ..., in blocks of the
// given sizes (coupled where the size is above 1).
SVGREPORT make_report(const std::vector<int32_t> &sizes) {
    SVGREPORT r;
    int32_t first = 0;
    for (const int32_t size : sizes) {
        const int32_t number = static_cast<int32_t>(r.blocks.size()) + 1;
        r.blocks.push_back(SVGBLOCK{number, number - 1, size > 1 ? 1 : 0, first, size, 0, 0, {}});
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
    EXPECT_EQ(l.block_index, 0);

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
    EXPECT_EQ(l.block_index, 1);
    EXPECT_GE(l.width, l.matrix_x + 2000 * 2);
    EXPECT_GE(l.height, l.matrix_y + 2000 * 2);
}

TEST(SvgPicture, BlockLabelStandsBesideTheMatrixAtTheMiddleOfItsRows) {
    SVGREPORT r = make_report({3, 1, 1});
    // Feedback right of the block's square in every row: the label stays
    // clear of it, beside the matrix.
    r.activities[0].marks = {{DEP_WEAK, 3}, {DEP_WEAK, 4}};
    r.activities[1].marks = {{DEP_STRONG, 3}};
    r.activities[2].marks = {{DEP_ICD, 4}};
    const std::string svg = picture_of(r);
    SVGLAYOUT l{};
    kavelon_svg_plan_layout(&r, &l);
    EXPECT_GE(l.block_labels_x, l.matrix_x + 5 * l.cell);
    const double y = l.matrix_y + 1.5 * l.cell + (SVG_TEXT_ASCENT - SVG_TEXT_DESCENT) / 2 * l.font;
    char expected[128];
    std::snprintf(expected, sizeof expected, "<text x=\"%g\" y=\"%g\" class=\"bl-c\"><title>Block 1: coupled",
                  l.block_labels_x, y);
    EXPECT_NE(svg.find(expected), std::string::npos) << expected;
}

TEST(SvgPicture, LongTitleWrapsAtSpacesAndOnlyItsLastLineIsCut) {
    SVGREPORT r = make_report({1, 1});
    std::string words;
    for (int i = 0; i < 14; i++) words += (i ? " " : "") + std::string("WEIGHT") + std::to_string(i);
    r.name = words + " (REVISION C)";
    std::string svg = picture_of(r);
    // Lines of at most 1000 pixels: 14 words of about 95 pixels and the
    // revision take two lines, every word kept.
    std::string shown;
    for (size_t at = 0; (at = svg.find("font-size=\"20\" font-weight=\"bold\">", at)) != std::string::npos;) {
        at = svg.find('>', at) + 1;
        shown += (shown.empty() ? "" : " ") + svg.substr(at, svg.find('<', at) - at);
    }
    EXPECT_EQ(shown, r.name);
    // Three lines at most; a word wider than a line is cut.
    r.name = words + " " + words + " " + words + " " + std::string(200, 'W');
    svg = picture_of(r);
    EXPECT_NE(svg.find(">WEIGHT0 WEIGHT1 "), std::string::npos);
    // (The document's own title, a tooltip, keeps the whole name.)
    EXPECT_EQ(svg.find(std::string(100, 'W'), svg.find("</title>")), std::string::npos);
    size_t lines = 0;
    for (size_t at = 0; (at = svg.find("font-size=\"20\" font-weight=\"bold\">", at)) != std::string::npos; at++) lines++;
    EXPECT_EQ(lines, 3u);
    EXPECT_NE(svg.find("\xE2\x80\xA6</text>"), std::string::npos);
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

}  // namespace
