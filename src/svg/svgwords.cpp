// The words of the picture that its layout measures and its drawing shows:
// block names, row and column numbers and names. Each is made here alone, so
// that what a label shows is decided in one place.
#include <cstdio>
#include <string>

#include "svg/picture.h"

namespace {

constexpr double NAME_EMS = 24;  // row and column names are cut at this many font sizes

std::string block_rows(const SVGBLOCK &b) {
    const auto number = kavelon_svg_number_text;
    if (b.size == 1) return "row " + number(b.first);
    return "rows " + number(b.first) + "\xE2\x80\x93" + number(b.first + b.size - 1);  // en dash
}

}  // namespace

std::string kavelon_svg_number_text(int32_t n) { return std::to_string(n); }

std::string kavelon_svg_block_label(const SVGBLOCK &b) {
    const auto number = kavelon_svg_number_text;
    std::string label = "B" + number(b.number);
    if (b.predecessor != 0) label += " \xE2\x86\x90 B" + number(b.predecessor);  // left arrow
    // A sequenced block tells how many inputs its order must assume, and
    // whether no order of the block does better; a block that assumes
    // nothing is optimal by itself and says nothing more.
    if (b.sequenced && (!b.assumed.empty() || !b.optimal)) {
        label += " \xC2\xB7 " + number(static_cast<int32_t>(b.assumed.size())) + " assumed";  // middle dot
        if (!b.optimal) label += ", not proven optimal";
    }
    return label;
}

std::string kavelon_svg_block_index_entry(const SVGBLOCK &b) {
    return kavelon_svg_block_label(b) + ": " + block_rows(b);
}

// Rows are numbered from 0, as in kavelon's text report; outputs carry an
// 'O' and constraints a 'C' before their number.
std::string kavelon_svg_row_number(const SVGREPORT *r, size_t row) {
    const size_t n = r->activities.size();
    return row < n ? kavelon_svg_number_text(static_cast<int32_t>(row))
                   : "O" + kavelon_svg_number_text(static_cast<int32_t>(row - n));
}
std::string kavelon_svg_column_number(const SVGREPORT *r, size_t col) {
    const size_t n = r->activities.size();
    return col < n ? kavelon_svg_number_text(static_cast<int32_t>(col))
                   : "C" + kavelon_svg_number_text(static_cast<int32_t>(col - n));
}
const std::string &kavelon_svg_row_name(const SVGREPORT *r, size_t row) {
    const size_t n = r->activities.size();
    return row < n ? r->activities[row].name : r->outputs[row - n].name;
}
const std::string &kavelon_svg_column_name(const SVGREPORT *r, size_t col) {
    const size_t n = r->activities.size();
    return col < n ? r->activities[col].data : r->constraints[col - n];
}

std::string kavelon_svg_shown_name(const SVGLAYOUT *l, const std::string &name) {
    return kavelon_svg_fit_text(name, l->font, 0, NAME_EMS * l->font);
}

std::string kavelon_svg_gantt_name(const SVGBLOCK &b) {
    std::string name = "B" + kavelon_svg_number_text(b.number);
    if (b.level > 0) name += " " + kavelon_svg_level_label(b.level);
    return name;
}

std::string kavelon_svg_level_label(int32_t level) { return "L" + kavelon_svg_number_text(level); }

std::string kavelon_svg_gantt_heading(const SVGREPORT *r) {
    char total[40];
    std::snprintf(total, sizeof total, "%.15g", r->total_duration);
    return std::string("Plan: total duration ") + total;
}

double kavelon_svg_gantt_key_width() {
    double width = 0;
    for (const auto &entry : SVG_GANTT_KEY) width += SVG_SWATCH + 4 + kavelon_svg_plain_width(entry[1], SVG_TEXT_FONT) + 12;
    return width;
}
