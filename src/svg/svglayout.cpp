// The plan of the picture, from the report alone: cell size, where the
// labels, the matrix, the block names, the constraint columns and the block
// index go, and the texts above the matrix (title, header lines, legend,
// caption) as they will be shown, each measured once here.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "svg/picture.h"

namespace {

constexpr size_t TITLE_LINES = 3;  // a long title wraps onto this many lines, the last cut if need be
constexpr int32_t LARGEST_CELL = 18;
constexpr int32_t SMALLEST_CELL = 2;
constexpr double TARGET_SIDE = 3000;  // the matrix shrinks its cells to stay near this
constexpr int32_t SMALLEST_LABELLED_CELL = 9;
constexpr double TEXT_LIMIT = 1000;   // the title and header lines may be this wide beside a narrower matrix
constexpr double LEGEND_LIMIT = 640;  // the legend wraps at this width beside a narrower matrix
constexpr double ITEM_GAP = 16;       // between two legend entries

double text_width(const std::string &text, double font) { return kavelon_svg_plain_width(text, font); }
double bold_width(const std::string &text, double font) { return kavelon_svg_bold_width(text, font); }
std::string number_text(int32_t n) { return kavelon_svg_number_text(n); }

// How far the parts across the matrix reach.
struct ACROSS {
    double right;         // right edge of the rightmost part
    double body_height;   // the activity rows and the output rows
    double bottom_extra;  // how far the block index reaches below them
};

std::vector<std::string> header_lines(const SVGREPORT *r) {
    std::vector<std::string> lines;
    std::string line;
    const auto add = [&line](const std::string &part) {
        if (!line.empty()) line += "  \xC2\xB7  ";  // middle dot
        line += part;
    };
    if (!r->study_name.empty()) add("Study: " + r->study_name);
    if (!r->version.empty() || !r->version_date.empty()) {
        std::string v = "Version";
        if (!r->version.empty()) v += " " + r->version;
        if (!r->version_date.empty()) v += " of " + r->version_date;
        add(v);
    }
    if (!line.empty()) lines.push_back(line);
    line.clear();
    if (!r->file_creation_time.empty()) add("Report created " + r->file_creation_time);
    if (!r->xml_filename.empty()) add("Input: " + r->xml_filename);
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string caption_line(const SVGREPORT *r) {
    const size_t n = r->activities.size();
    std::string s = "Row: consuming activity. Column: producing activity, by the data item it produces. ";
    s += number_text(static_cast<int32_t>(n)) + (n == 1 ? " activity in " : " activities in ");
    s += number_text(static_cast<int32_t>(r->blocks.size())) + (r->blocks.size() == 1 ? " block" : " blocks");
    const size_t nq = r->constraints.size();
    const size_t nr = r->outputs.size();
    if (nq > 0)
        s += ", " + number_text(static_cast<int32_t>(nq)) + (nq == 1 ? " constraint" : " constraints");
    if (nr > 0) s += ", " + number_text(static_cast<int32_t>(nr)) + (nr == 1 ? " output" : " outputs");
    return s + ".";
}

// The title as shown: wrapped at spaces onto up to TITLE_LINES lines of the
// text limit; a word wider than a line, or what the last line cannot hold,
// is cut with an ellipsis.
std::vector<std::string> title_lines(const SVGREPORT *r, const SVGLAYOUT *l) {
    std::string rest = r->name.empty() ? "Design structure matrix" : r->name;
    std::vector<std::string> lines;
    while (lines.size() + 1 < TITLE_LINES) {
        const size_t fit = kavelon_svg_fit_prefix(rest, SVG_TITLE_FONT, 1, l->text_limit);
        if (fit == rest.size()) break;
        const size_t space = rest.rfind(' ', fit);
        if (space == std::string::npos || space == 0) break;
        lines.push_back(rest.substr(0, space));
        const size_t next = rest.find_first_not_of(' ', space);
        rest = next == std::string::npos ? "" : rest.substr(next);
    }
    lines.push_back(kavelon_svg_fit_text(rest, SVG_TITLE_FONT, 1, l->text_limit));
    return lines;
}

// The sample block name of the legend, in the form the picture uses.
std::string legend_block_sample(const SVGLAYOUT *l) {
    SVGBLOCK b{3, 2, 1, 5, 5, 0, 0, {}};
    if (l->sequenced) {
        b.sequenced = 1;
        b.optimal = 1;
        b.assumed.push_back("");
    }
    return l->block_index ? kavelon_svg_block_index_entry(b) : kavelon_svg_block_label(b);
}

// What the sample block name of the legend says.
std::string legend_block_words(const SVGLAYOUT *l) {
    std::string words =
        l->block_index ? "block index: block 3, its predecessor block 2" : "block 3, its predecessor block 2";
    if (l->sequenced) words += ", its order assumes 1 input (a feedback mark)";
    if (l->block_index) words += ", its rows";
    return words;
}

double swatch_width(const SVGLAYOUT *l, SVGSWATCH swatch) {
    if (swatch == SVG_SWATCH_BLOCK_NAME)
        return (l->block_index ? 0 : 7) + bold_width(l->legend_sample, SVG_TEXT_FONT);
    return SVG_SWATCH;
}

// Lays the legend out in lines from (x, y) into l->legend, wrapping at the
// legend limit; marks, blocks and the parts of the picture each start a
// line. Returns the number of lines.
int32_t plan_legend(const SVGREPORT *r, SVGLAYOUT *l, double x, double y) {
    const std::vector<std::vector<std::pair<SVGSWATCH, std::string>>> groups = {
        {{SVG_SWATCH_STRONG, "strong"},
         {SVG_SWATCH_WEAK, "weak"},
         {SVG_SWATCH_ICD, "ICD"},
         {SVG_SWATCH_DIAGONAL, "diagonal: the activity itself"},
         {SVG_SWATCH_FEEDBACK, "feedback: a mark above the diagonal"}},
        {{SVG_SWATCH_COUPLED, "coupled block"},
         {SVG_SWATCH_INDEPENDENT, "independent block"},
         {SVG_SWATCH_BLOCK_NAME, legend_block_words(l)}},
        {}};
    std::vector<std::pair<SVGSWATCH, std::string>> parts;
    if (!r->constraints.empty())
        parts.push_back({SVG_SWATCH_CONSTRAINTS, "constraint columns C0, C1, \xE2\x80\xA6"});
    if (!r->outputs.empty()) parts.push_back({SVG_SWATCH_OUTPUTS, "output rows O0, O1, \xE2\x80\xA6"});
    if (!l->labels) parts.push_back({SVG_SWATCH_BANDS, "ruler bands: one shade per block, alternating"});
    if (l->level_bands)
        parts.push_back(
            {SVG_SWATCH_LEVELS, "level bands L1, L2, \xE2\x80\xA6: blocks of one level may run side by side"});
    int32_t lines = 0;
    for (size_t g = 0; g < groups.size(); g++) {
        const auto &group = g + 1 < groups.size() ? groups[g] : parts;
        double cx = x;
        if (!group.empty()) lines++;
        for (const auto &entry : group) {
            const double sw = swatch_width(l, entry.first);
            const double w = sw + 5 + text_width(entry.second, SVG_TEXT_FONT);
            if (cx > x && cx + w > x + l->legend_limit) {
                cx = x;
                lines++;
            }
            l->legend.push_back(
                SVGLEGENDITEM{entry.first, entry.second, cx, y + (lines - 1) * SVG_LINE, cx + sw + 5});
            cx += w + ITEM_GAP;
        }
    }
    return lines;
}

double legend_right(const SVGLAYOUT *l) {
    double right = 0;
    for (const SVGLEGENDITEM &it : l->legend)
        right = std::max(right, it.text_x + text_width(it.text, SVG_TEXT_FONT));
    return right;
}

std::string tick_text(size_t i) { return std::to_string(i); }

// Cell size and what the cells leave room for.
void plan_cells(const SVGREPORT *r, SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const double span = static_cast<double>(std::max(n + r->constraints.size(), n + r->outputs.size()));
    int32_t cell = static_cast<int32_t>(TARGET_SIDE / std::max(span, 1.0));
    l->cell = std::max(SMALLEST_CELL, std::min(LARGEST_CELL, cell));
    l->gap = std::max(l->cell, 8);
    l->labels = l->cell >= SMALLEST_LABELLED_CELL ? 1 : 0;
    // A line of label text is no taller than a cell.
    l->font = std::min(12.0, l->cell - 2.0);
    l->block_index = l->labels ? 0 : 1;
    l->sequenced = 0;
    for (const SVGBLOCK &b : r->blocks) l->sequenced |= b.sequenced;
}

// Room left of and above the matrix for the row and column labels, or for
// the rulers that take their place.
void plan_labels(const SVGREPORT *r, SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const size_t nq = r->constraints.size();
    const size_t nr = r->outputs.size();
    l->number_width = 0;
    l->name_width = 0;
    l->column_number_height = 0;
    if (!l->labels) {
        for (size_t i = 0; i < n; i++)
            l->number_width = std::max(l->number_width, text_width(tick_text(i), SVG_TICK_FONT));
        l->matrix_x = SVG_MARGIN + l->number_width + 3 + SVG_STRIP + SVG_STRIP_GAP;
        l->column_label_height = SVG_STRIP_GAP + SVG_STRIP + 3 + kavelon_svg_text_height(SVG_TICK_FONT);
        return;
    }
    double names_height = 0;
    for (size_t i = 0; i < n + nr; i++) {
        l->number_width = std::max(l->number_width, text_width(kavelon_svg_row_number(r, i), l->font));
        l->name_width = std::max(l->name_width,
                                 text_width(kavelon_svg_shown_name(l, kavelon_svg_row_name(r, i)), l->font));
    }
    for (size_t j = 0; j < n + nq; j++) {
        l->column_number_height =
            std::max(l->column_number_height, text_width(kavelon_svg_column_number(r, j), l->font));
        names_height = std::max(
            names_height, text_width(kavelon_svg_shown_name(l, kavelon_svg_column_name(r, j)), l->font));
    }
    l->matrix_x = SVG_MARGIN + l->number_width + 6 + l->name_width + 6;
    l->column_label_height = 4 + l->column_number_height + 6 + names_height;
}

// Across, right of the row labels: the matrix, the block names beside it,
// the constraint columns, the block index.
ACROSS plan_across(const SVGREPORT *r, SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const size_t nq = r->constraints.size();
    const size_t nr = r->outputs.size();
    const double c = l->cell;
    const double matrix_right = l->matrix_x + static_cast<double>(n) * c;
    ACROSS a{matrix_right, static_cast<double>(n) * c + (nr > 0 ? l->gap + static_cast<double>(nr) * c : 0),
             0};
    l->block_labels_x = matrix_right + 10;
    if (!l->block_index) {
        double widest = 0;
        for (const SVGBLOCK &b : r->blocks)
            widest = std::max(widest, bold_width(kavelon_svg_block_label(b), l->font));
        a.right = l->block_labels_x + widest;
    }
    // The level bands, with a plan: each as wide as the widest level's label.
    // A report whose plan gives no levels has none to show.
    l->levels_font = l->labels ? l->font : SVG_INDEX_FONT;
    double widest = 0;
    for (const SVGBLOCK &b : r->blocks) {
        if (r->planned != 0 && b.level > 0)
            widest = std::max(widest, text_width(kavelon_svg_level_label(b.level), l->levels_font));
    }
    l->level_bands = widest > 0 ? 1 : 0;
    l->levels_width = 0;
    if (l->level_bands) {
        l->levels_width = widest + 8;
        l->levels_x = a.right + 8;
        a.right = l->levels_x + l->levels_width;
    }
    l->constraints_x = a.right + l->gap;
    if (nq > 0) a.right = l->constraints_x + static_cast<double>(nq) * c;
    l->index_x = a.right + 16;
    l->index_rows = 1;
    l->index_column_width = 0;
    if (l->block_index) {
        const size_t nb = r->blocks.size();
        l->index_rows = std::max<int32_t>(1, static_cast<int32_t>(a.body_height / SVG_INDEX_LINE));
        if (static_cast<size_t>(l->index_rows) > nb)
            l->index_rows = static_cast<int32_t>(std::max<size_t>(nb, 1));
        double widest = 0;
        for (const SVGBLOCK &b : r->blocks) {
            widest = std::max(widest, bold_width(kavelon_svg_block_index_entry(b), SVG_INDEX_FONT));
        }
        l->index_column_width = widest + 16;
        const size_t columns =
            (nb + static_cast<size_t>(l->index_rows) - 1) / static_cast<size_t>(l->index_rows);
        a.right = l->index_x + std::max(static_cast<double>(columns) * l->index_column_width - 16,
                                        bold_width(SVG_INDEX_HEADING, SVG_TEXT_FONT));
        a.bottom_extra = std::max(0.0, l->index_rows * SVG_INDEX_LINE - a.body_height);
    }
    return a;
}

// Down from the top margin: title, header lines, legend and caption, each
// line kept with its place. Returns the top of what comes below them and
// sets *text_right to the right edge of the widest of them.
double plan_texts_above(const SVGREPORT *r, SVGLAYOUT *l, double *text_right) {
    double y = SVG_MARGIN;
    l->title_y = y + SVG_TEXT_ASCENT * SVG_TITLE_FONT;
    double right = 0;
    for (std::string &line : title_lines(r, l)) {
        right = std::max(right, SVG_MARGIN + bold_width(line, SVG_TITLE_FONT));
        l->title.push_back(SVGLINE{std::move(line), y + SVG_TEXT_ASCENT * SVG_TITLE_FONT});
        y += kavelon_svg_text_height(SVG_TITLE_FONT);
    }
    y += 4;
    for (const std::string &full : header_lines(r)) {
        std::string line = kavelon_svg_fit_text(full, SVG_TEXT_FONT, 0, l->text_limit);
        right = std::max(right, SVG_MARGIN + text_width(line, SVG_TEXT_FONT));
        l->header.push_back(
            SVGLINE{std::move(line), kavelon_svg_centred_baseline(y + SVG_LINE / 2, SVG_TEXT_FONT)});
        y += SVG_LINE;
    }
    y += 4;
    l->legend_y = y;
    l->legend_sample = legend_block_sample(l);
    y += plan_legend(r, l, SVG_MARGIN, y) * SVG_LINE + 4;
    right = std::max(right, legend_right(l));
    l->caption = caption_line(r);
    l->caption_y = kavelon_svg_centred_baseline(y + SVG_LINE / 2, SVG_TEXT_FONT);
    right = std::max(right, SVG_MARGIN + text_width(l->caption, SVG_TEXT_FONT));
    *text_right = right;
    return y + SVG_LINE + 6;
}

}  // namespace

void kavelon_svg_plan_layout(const SVGREPORT *r, SVGLAYOUT *l) {
    *l = SVGLAYOUT{};
    plan_cells(r, l);
    plan_labels(r, l);
    const ACROSS across = plan_across(r, l);
    const double drawing_width = across.right - SVG_MARGIN;
    l->text_limit = std::max(drawing_width, TEXT_LIMIT);
    l->legend_limit = std::max(drawing_width, LEGEND_LIMIT);

    double text_right = 0;
    const double below_texts = plan_texts_above(r, l, &text_right);
    l->matrix_y = below_texts + l->column_label_height + 4;
    l->outputs_y = l->matrix_y + static_cast<double>(r->activities.size()) * l->cell + l->gap;

    double bottom = l->matrix_y + across.body_height + across.bottom_extra;
    double right = std::max(across.right, text_right);
    if (r->planned != 0) {
        // The Gantt chart: a heading, one row per block with its name left
        // of the bars, and a time axis; its bars span the matrix's width but
        // never less than SVG_GANTT_MIN_WIDTH.
        double names = 0;
        for (const SVGBLOCK &b : r->blocks)
            names = std::max(names, kavelon_svg_plain_width(kavelon_svg_gantt_name(b), SVG_INDEX_FONT));
        // Every row keeps the height of a line of names, however many
        // blocks there are: the chart grows rather than lose them.
        l->gantt_row = SVG_INDEX_LINE;
        l->gantt_y = bottom + SVG_MARGIN + kavelon_svg_text_height(SVG_TEXT_FONT);
        l->gantt_x = SVG_MARGIN + names + 6;
        l->gantt_width = std::max(SVG_GANTT_MIN_WIDTH, right - l->gantt_x);
        right = std::max({right, l->gantt_x + l->gantt_width + 2 * SVG_TICK_FONT,
                          SVG_MARGIN + kavelon_svg_plain_width(kavelon_svg_gantt_heading(r), SVG_TEXT_FONT),
                          SVG_MARGIN + kavelon_svg_gantt_key_width()});
        bottom = l->gantt_y + 6 + SVG_LINE + static_cast<double>(r->blocks.size()) * l->gantt_row + 4 +
                 kavelon_svg_text_height(SVG_TICK_FONT) + 2;
    }
    l->width = static_cast<double>(static_cast<int64_t>(right + SVG_MARGIN + 1));
    l->height = static_cast<double>(static_cast<int64_t>(bottom + SVG_MARGIN + 1));
}
