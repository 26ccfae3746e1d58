// Inside kavelon-svg's picture: the measures and the words that its layout
// (svglayout.cpp) and its drawing (svgdraw.cpp) share, so that what is drawn is
// what room was made for. Not for use outside src/svg.
#ifndef KAVELON_SVG_PICTURE_H
#define KAVELON_SVG_PICTURE_H

#include <string>

#include "svg/svg.h"

constexpr double SVG_MARGIN = 16;
constexpr double SVG_TITLE_FONT = 20;
constexpr double SVG_TEXT_FONT = 12;
constexpr double SVG_LINE = 18;                  // line height of the texts above the matrix
constexpr int32_t SVG_SMALLEST_SHAPED_CELL = 6;  // below it, marks fill their cells and differ by shade
constexpr double SVG_STRIP = 10;                 // header strips that carry the tooltips without labels
constexpr double SVG_STRIP_GAP = 4;  // between a strip and the matrix: a feedback ground spills 3.5 over
constexpr double SVG_TICK_FONT = 10;
constexpr double SVG_SWATCH = 14;  // side of a legend swatch, about the height of its text
constexpr double SVG_INDEX_FONT = 10;
constexpr double SVG_INDEX_LINE = 14;
constexpr const char *SVG_INDEX_HEADING = "Block index";
constexpr double SVG_GANTT_MIN_WIDTH = 320;

// Height of a line of text, and the baseline that centres such a line on y.
inline double kavelon_svg_text_height(double font) { return (SVG_TEXT_ASCENT + SVG_TEXT_DESCENT) * font; }
inline double kavelon_svg_centred_baseline(double y, double font) {
    return y + (SVG_TEXT_ASCENT - SVG_TEXT_DESCENT) / 2 * font;
}
inline double kavelon_svg_plain_width(const std::string &text, double font) {
    return kavelon_svg_text_width(text, font, 0);
}
inline double kavelon_svg_bold_width(const std::string &text, double font) {
    return kavelon_svg_text_width(text, font, 1);
}

// The words of the picture that are both measured and drawn.
std::string kavelon_svg_number_text(int32_t n);
// A block's name: "B3 <- B2", with what its sequence assumes when it has one.
std::string kavelon_svg_block_label(const SVGBLOCK &b);
// A block's name in the Gantt chart: "B3" and its level, "B3 L2".
std::string kavelon_svg_gantt_name(const SVGBLOCK &b);
// The heading of the Gantt chart, and the words of its key, whose swatches
// are SVG_SWATCH wide with a gap of 4 before and 12 after each word.
std::string kavelon_svg_gantt_heading(const SVGREPORT *r);
constexpr const char *SVG_GANTT_KEY[3][2] = {
    {"gc", "critical"}, {"gb-c", "coupled block"}, {"gb-i", "independent block"}};
double kavelon_svg_gantt_key_width();
// A level's label in its band beside the matrix: "L2".
std::string kavelon_svg_level_label(int32_t level);
// A block's entry in the block index: its name and its rows.
std::string kavelon_svg_block_index_entry(const SVGBLOCK &b);
// Row numbers of activities and outputs ("O0", ...), column numbers of
// activities and constraints ("C0", ...), and their names.
std::string kavelon_svg_row_number(const SVGREPORT *r, size_t row);
std::string kavelon_svg_column_number(const SVGREPORT *r, size_t col);
const std::string &kavelon_svg_row_name(const SVGREPORT *r, size_t row);
const std::string &kavelon_svg_column_name(const SVGREPORT *r, size_t col);
// A row or column name as its label shows it: cut to the labels' width.
std::string kavelon_svg_shown_name(const SVGLAYOUT *l, const std::string &name);

#endif
