// Draws the partitioned design structure matrix as one SVG document: title,
// legend, caption, labels, block squares on the diagonal, the marks, and the
// constraint columns and output rows beside the activity matrix.
#include <algorithm>
#include <string>

#include "svg/svg.h"

namespace {

constexpr double MARGIN = 16;
constexpr double TITLE_FONT = 20;
constexpr size_t TITLE_LINES = 3;    // a long title wraps onto this many lines, the last cut if need be
constexpr double TEXT_FONT = 12;
constexpr double LINE = 18;          // line height of the texts above the matrix
constexpr int32_t LARGEST_CELL = 18;
constexpr int32_t SMALLEST_CELL = 2;
constexpr double TARGET_SIDE = 3000;  // the matrix shrinks its cells to stay near this
constexpr int32_t SMALLEST_LABELLED_CELL = 9;
constexpr int32_t SMALLEST_SHAPED_CELL = 6;  // below it, marks fill their cells and differ by shade
constexpr double STRIP = 10;         // header strips that carry the tooltips without labels
constexpr double STRIP_GAP = 4;      // between a strip and the matrix: a feedback ground spills 3.5 over
constexpr double TICK_FONT = 10;
constexpr double NAME_EMS = 24;      // row and column names are cut at this many font sizes
constexpr double TEXT_LIMIT = 1000;  // the title and header lines may be this wide beside a narrower matrix
constexpr double LEGEND_LIMIT = 640; // the legend wraps at this width beside a narrower matrix
constexpr double SWATCH = 14;        // side of a legend swatch, about the height of its text
constexpr double ITEM_GAP = 16;      // between two legend entries
constexpr double INDEX_FONT = 10;
constexpr double INDEX_LINE = 14;
constexpr const char *INDEX_HEADING = "Block index";

// Height of a line of text, and the baseline that centres such a line on y.
double text_height(double font) { return (SVG_TEXT_ASCENT + SVG_TEXT_DESCENT) * font; }
double centred_baseline(double y, double font) { return y + (SVG_TEXT_ASCENT - SVG_TEXT_DESCENT) / 2 * font; }

double text_width(const std::string &text, double font) { return kavelon_svg_text_width(text, font, 0); }
double bold_width(const std::string &text, double font) { return kavelon_svg_text_width(text, font, 1); }

std::string number_text(int32_t n) { return std::to_string(n); }

const char *kind_word(char kind) {
    switch (kind) {
        case DEP_STRONG: return "strong";
        case DEP_WEAK: return "weak";
        default: return "ICD";
    }
}

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

std::string block_label(const SVGBLOCK &b) {
    std::string label = "B" + number_text(b.number);
    if (b.predecessor != 0) label += " \xE2\x86\x90 B" + number_text(b.predecessor);  // left arrow
    // A sequenced block tells how many inputs its order must assume, and
    // whether no order of the block does better; a block that assumes
    // nothing is optimal by itself and says nothing more.
    if (b.sequenced && (!b.assumed.empty() || !b.optimal)) {
        label += " \xC2\xB7 " + number_text(static_cast<int32_t>(b.assumed.size())) + " assumed";  // middle dot
        if (!b.optimal) label += ", not proven optimal";
    }
    return label;
}

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
    if (nq > 0) s += ", " + number_text(static_cast<int32_t>(nq)) + (nq == 1 ? " constraint" : " constraints");
    if (nr > 0) s += ", " + number_text(static_cast<int32_t>(nr)) + (nr == 1 ? " output" : " outputs");
    return s + ".";
}

// Rows are numbered from 0, as in kavelon's text report; outputs carry an
// 'O' and constraints a 'C' before their number.
std::string row_number(const SVGREPORT *r, size_t row) {
    const size_t n = r->activities.size();
    return row < n ? number_text(static_cast<int32_t>(row)) : "O" + number_text(static_cast<int32_t>(row - n));
}
std::string column_number(const SVGREPORT *r, size_t col) {
    const size_t n = r->activities.size();
    return col < n ? number_text(static_cast<int32_t>(col)) : "C" + number_text(static_cast<int32_t>(col - n));
}
const std::string &row_name(const SVGREPORT *r, size_t row) {
    const size_t n = r->activities.size();
    return row < n ? r->activities[row].name : r->outputs[row - n].name;
}
const std::string &column_name(const SVGREPORT *r, size_t col) {
    const size_t n = r->activities.size();
    return col < n ? r->activities[col].data : r->constraints[col - n];
}

// Where a column or row of the picture starts.
double column_x(const SVGREPORT *r, const SVGLAYOUT *l, size_t col) {
    const size_t n = r->activities.size();
    return col < n ? l->matrix_x + static_cast<double>(col) * l->cell
                   : l->constraints_x + static_cast<double>(col - n) * l->cell;
}
double row_y(const SVGREPORT *r, const SVGLAYOUT *l, size_t row) {
    const size_t n = r->activities.size();
    return row < n ? l->matrix_y + static_cast<double>(row) * l->cell
                   : l->outputs_y + static_cast<double>(row - n) * l->cell;
}

// Writes a text element with its tooltip; both are escaped here.
void put_text(FILE *out, double x, double y, const char *attributes, const std::string &shown,
              const std::string &tooltip) {
    std::fprintf(out, "<text x=\"%g\" y=\"%g\"%s><title>%s</title>%s</text>\n", x, y, attributes,
                 kavelon_svg_escape_text(tooltip).c_str(), kavelon_svg_escape_text(shown).c_str());
}

void put_rotated_text(FILE *out, double x, double y, const std::string &shown, const std::string &tooltip) {
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" transform=\"rotate(-90 %g %g)\"><title>%s</title>%s</text>\n", x, y,
                 x, y, kavelon_svg_escape_text(tooltip).c_str(), kavelon_svg_escape_text(shown).c_str());
}

// The ground of a feedback mark: larger than a small cell, so that feedback
// stands out even where a cell is a couple of pixels wide.
void put_feedback_ground(FILE *out, double x, double y, double c) {
    const double halo = std::max(c, 9.0);
    const double o = (halo - c) / 2;
    std::fprintf(out, "<rect class=\"fb\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", x - o, y - o, halo, halo);
}

const char *kind_class(char kind) {
    switch (kind) {
        case DEP_STRONG: return "s";
        case DEP_WEAK: return "w";
        default: return "i";
    }
}

// One mark in a cell: class "s", "w" or "i" by kind, with " f" for feedback.
// In cells too small for a shape to be seen, every mark fills its cell and
// the kinds differ by shade (class "t").
void put_mark(FILE *out, char kind, bool feedback, double x, double y, double c, const std::string &tooltip) {
    const std::string title = "<title>" + kavelon_svg_escape_text(tooltip) + "</title>";
    const char *f = feedback ? " f" : "";
    if (c < SMALLEST_SHAPED_CELL) {
        std::fprintf(out, "<rect class=\"%s t%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\">%s</rect>\n",
                     kind_class(kind), f, x, y, c, c, title.c_str());
    } else if (kind == DEP_STRONG) {
        std::fprintf(out, "<rect class=\"s%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\">%s</rect>\n", f,
                     x + 0.15 * c, y + 0.15 * c, 0.7 * c, 0.7 * c, title.c_str());
    } else if (kind == DEP_WEAK) {
        std::fprintf(out, "<circle class=\"w%s\" cx=\"%g\" cy=\"%g\" r=\"%g\">%s</circle>\n", f, x + 0.5 * c,
                     y + 0.5 * c, 0.36 * c, title.c_str());
    } else {
        std::fprintf(out, "<rect class=\"i%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\">%s</rect>\n", f,
                     x + 0.22 * c, y + 0.22 * c, 0.56 * c, 0.56 * c, title.c_str());
    }
}

std::string activity_text(const SVGREPORT *r, size_t i) {
    return number_text(static_cast<int32_t>(i)) + " " + r->activities[i].name;
}

// Tooltips of a row's and a column's label.
std::string row_tooltip(const SVGREPORT *r, size_t row) {
    if (row < r->activities.size()) return activity_text(r, row) + ", produces " + quoted(r->activities[row].data);
    return "Output " + row_number(r, row) + " " + row_name(r, row);
}
std::string column_tooltip(const SVGREPORT *r, size_t col) {
    if (col < r->activities.size()) return quoted(column_name(r, col)) + ", produced by " + activity_text(r, col);
    return "Constraint " + column_number(r, col) + " " + quoted(column_name(r, col));
}

// The words of a cell's tooltip: who needs what from whom, and how.
std::string mark_tooltip(const SVGREPORT *r, size_t row, const SVGMARK &m, bool feedback) {
    const size_t n = r->activities.size();
    const size_t col = static_cast<size_t>(m.column);
    std::string s = row < n ? activity_text(r, row) : "Output " + row_number(r, row) + " " + row_name(r, row);
    if (col >= n) {
        s += " needs constraint " + quoted(r->constraints[col - n]);
    } else if (col == row) {
        s += " needs its own data item " + quoted(r->activities[col].data);
    } else {
        s += " needs " + quoted(r->activities[col].data) + " from " + activity_text(r, col);
    }
    s += ": ";
    s += kind_word(m.kind);
    if (feedback) s += ", feedback";
    return s;
}

std::string block_tooltip(const SVGBLOCK &b) {
    std::string s = "Block " + number_text(b.number) + (b.coupled ? ": coupled, " : ": independent, ");
    s += number_text(b.size) + (b.size == 1 ? " activity, " : " activities, ");
    s += b.predecessor != 0 ? "predecessor block " + number_text(b.predecessor) : "no predecessor block";
    if (b.sequenced) {
        s += b.optimal ? "; sequenced: optimal order" : "; sequenced: order not proven optimal";
        if (b.assumed.empty()) s += ", no input to assume";
        for (size_t k = 0; k < b.assumed.size(); k++) s += (k == 0 ? "; inputs to assume: " : "; ") + b.assumed[k];
    }
    return s;
}

// A rectangle over rows x cols cells of one part of the matrix: its white
// ground (class "region") or its border drawn over the marks (class "frame").
void put_cells_rect(FILE *out, const SVGLAYOUT *l, const char *cls, double x, double y, size_t rows,
                    size_t cols) {
    if (rows == 0 || cols == 0) return;
    std::fprintf(out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", cls, x, y,
                 static_cast<double>(cols) * l->cell, static_cast<double>(rows) * l->cell);
}

void put_grid(FILE *out, const SVGLAYOUT *l, double x, double y, size_t rows, size_t cols) {
    if (l->cell < 6 || rows == 0 || cols == 0 || rows + cols == 2) return;  // nothing between the cells
    const double w = static_cast<double>(cols) * l->cell;
    const double h = static_cast<double>(rows) * l->cell;
    std::fprintf(out, "<path class=\"grid\" d=\"");
    for (size_t i = 1; i < rows; i++) std::fprintf(out, "M%g %gh%g", x, y + static_cast<double>(i) * l->cell, w);
    for (size_t j = 1; j < cols; j++) std::fprintf(out, "M%g %gv%g", x + static_cast<double>(j) * l->cell, y, h);
    std::fprintf(out, "\"/>\n");
}

// Tick step for the rulers drawn instead of labels: the smallest of the
// usual steps that leaves room for the widest number.
int32_t tick_step(int32_t cell, double widest) {
    static const int32_t steps[] = {5, 10, 20, 50, 100, 200, 500, 1000};
    for (const int32_t s : steps) {
        if (s * cell >= std::max(36.0, widest + 8)) return s;
    }
    return 1000;
}

// The names of the blocks, beside their rows or in the block index, are
// written here alone, so that what a block shows is decided in one place.
std::string block_rows(const SVGBLOCK &b) {
    if (b.size == 1) return "row " + number_text(b.first);
    return "rows " + number_text(b.first) + "\xE2\x80\x93" + number_text(b.first + b.size - 1);  // en dash
}
std::string block_index_entry(const SVGBLOCK &b) { return block_label(b) + ": " + block_rows(b); }
const char *block_class_attribute(const SVGBLOCK &b) { return b.coupled ? " class=\"bl-c\"" : " class=\"bl-i\""; }

// The legend entries: a swatch that shows the element as the picture draws
// it, and its words.
enum LEGENDSWATCH {
    LG_STRONG,
    LG_WEAK,
    LG_ICD,
    LG_DIAGONAL,
    LG_FEEDBACK,
    LG_COUPLED,
    LG_INDEPENDENT,
    LG_BLOCK_NAME,
    LG_BANDS,
    LG_CONSTRAINTS,
    LG_OUTPUTS,
};

struct LEGENDITEM {
    LEGENDSWATCH swatch;
    std::string text;
    double x;  // left edge of the swatch
    double y;  // top of the entry's line
};

// The sample block name of the legend, in the form the picture uses.
std::string legend_block_sample(const SVGLAYOUT *l) {
    SVGBLOCK b{3, 2, 1, 5, 5, 0, 0, {}};
    if (l->sequenced) {
        b.sequenced = 1;
        b.optimal = 1;
        b.assumed.push_back("");
    }
    return l->block_index ? block_index_entry(b) : block_label(b);
}

double swatch_width(const SVGLAYOUT *l, LEGENDSWATCH swatch) {
    if (swatch == LG_BLOCK_NAME) return (l->block_index ? 0 : 7) + bold_width(legend_block_sample(l), TEXT_FONT);
    return SWATCH;
}

// What the sample block name of the legend says.
std::string legend_block_words(const SVGLAYOUT *l) {
    std::string words = l->block_index ? "block index: block 3, its predecessor block 2" : "block 3, its predecessor block 2";
    if (l->sequenced) words += ", its order assumes 1 input (a feedback mark)";
    if (l->block_index) words += ", its rows";
    return words;
}

// Lays the legend out in lines from (x, y), wrapping at the legend limit;
// marks, blocks and the parts of the picture each start a line. Returns the
// number of lines.
int32_t plan_legend(const SVGREPORT *r, const SVGLAYOUT *l, double x, double y, std::vector<LEGENDITEM> *items) {
    const std::vector<std::vector<std::pair<LEGENDSWATCH, std::string>>> groups = {
        {{LG_STRONG, "strong"},
         {LG_WEAK, "weak"},
         {LG_ICD, "ICD"},
         {LG_DIAGONAL, "diagonal: the activity itself"},
         {LG_FEEDBACK, "feedback: a mark above the diagonal"}},
        {{LG_COUPLED, "coupled block"},
         {LG_INDEPENDENT, "independent block"},
         {LG_BLOCK_NAME, legend_block_words(l)}},
        {}};
    std::vector<std::pair<LEGENDSWATCH, std::string>> parts;
    if (!r->constraints.empty()) parts.push_back({LG_CONSTRAINTS, "constraint columns C0, C1, \xE2\x80\xA6"});
    if (!r->outputs.empty()) parts.push_back({LG_OUTPUTS, "output rows O0, O1, \xE2\x80\xA6"});
    if (!l->labels) parts.push_back({LG_BANDS, "ruler bands: one shade per block, alternating"});
    int32_t lines = 0;
    for (size_t g = 0; g < groups.size(); g++) {
        const auto &group = g + 1 < groups.size() ? groups[g] : parts;
        double cx = x;
        if (!group.empty()) lines++;
        for (const auto &entry : group) {
            const double w = swatch_width(l, entry.first) + 5 + text_width(entry.second, TEXT_FONT);
            if (cx > x && cx + w > x + l->legend_limit) {
                cx = x;
                lines++;
            }
            items->push_back(LEGENDITEM{entry.first, entry.second, cx, y + (lines - 1) * LINE});
            cx += w + ITEM_GAP;
        }
    }
    return lines;
}

double legend_right(const std::vector<LEGENDITEM> &items, const SVGLAYOUT *l) {
    double right = 0;
    for (const LEGENDITEM &it : items) {
        right = std::max(right, it.x + swatch_width(l, it.swatch) + 5 + text_width(it.text, TEXT_FONT));
    }
    return right;
}

// One rectangle of a legend swatch; style is empty or a style attribute.
void put_swatch_rect(FILE *out, const char *cls, const char *style, double x, double y, double w, double h) {
    std::fprintf(out, "<rect class=\"%s\"%s x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", cls, style, x, y, w, h);
}

void put_legend(FILE *out, const SVGLAYOUT *l, const std::vector<LEGENDITEM> &items) {
    const double s = SWATCH;
    const bool tiny = l->cell < SMALLEST_SHAPED_CELL;
    std::fprintf(out, "<g class=\"legend\">\n");
    for (const LEGENDITEM &it : items) {
        const double x = it.x;
        const double y = it.y + (LINE - s) / 2;  // the swatch's top
        switch (it.swatch) {
            case LG_STRONG:
            case LG_WEAK:
            case LG_ICD:
                if (tiny) {
                    // The marks as the matrix shows them: whole cells in three shades.
                    put_swatch_rect(out, it.swatch == LG_STRONG ? "s t" : it.swatch == LG_WEAK ? "w t" : "i t", "",
                                    x + 2, y + 2, s - 4, s - 4);
                } else if (it.swatch == LG_STRONG) {
                    put_swatch_rect(out, "s", "", x + 2, y + 2, s - 4, s - 4);
                } else if (it.swatch == LG_WEAK) {
                    std::fprintf(out, "<circle class=\"w\" cx=\"%g\" cy=\"%g\" r=\"%g\"/>\n", x + s / 2, y + s / 2,
                                 0.32 * s);
                } else {
                    put_swatch_rect(out, "i", " style=\"stroke-width:1.5\"", x + 3, y + 3, s - 6, s - 6);
                }
                break;
            case LG_DIAGONAL:
                put_swatch_rect(out, "x", "", x, y, s, s);
                break;
            case LG_FEEDBACK:
                put_swatch_rect(out, "fb", "", x, y, s, s);
                put_swatch_rect(out, tiny ? "s t f" : "s f", "", x + 2, y + 2, s - 4, s - 4);
                break;
            case LG_COUPLED:
                put_swatch_rect(out, "bc", " style=\"stroke-width:2\"", x + 1, y + 1, s - 2, s - 2);
                break;
            case LG_INDEPENDENT:
                put_swatch_rect(out, "bi", " style=\"stroke-width:1.5\"", x + 1, y + 1, s - 2, s - 2);
                break;
            case LG_BLOCK_NAME: {
                double tx = x;
                if (!l->block_index) {
                    std::fprintf(out, "<path class=\"bk-c\" d=\"M%g %gh3V%gh-3\"/>\n", x, y + 1, y + s - 1);
                    tx += 7;
                }
                std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-weight=\"bold\" class=\"bl-c\">%s</text>\n", tx,
                             centred_baseline(y + s / 2, TEXT_FONT),
                             kavelon_svg_escape_text(legend_block_sample(l)).c_str());
                break;
            }
            case LG_BANDS:
                put_swatch_rect(out, "strip", "", x, y, s / 2, s);
                put_swatch_rect(out, "strip2", "", x + s / 2, y, s / 2, s);
                break;
            case LG_CONSTRAINTS:
            case LG_OUTPUTS:
                put_swatch_rect(out, it.swatch == LG_CONSTRAINTS ? "rq" : "ro", " style=\"stroke:#333\"", x + 0.5,
                                y + 0.5, s - 1, s - 1);
                break;
        }
        std::fprintf(out, "<text x=\"%g\" y=\"%g\">%s</text>\n", x + swatch_width(l, it.swatch) + 5,
                     centred_baseline(y + s / 2, TEXT_FONT), kavelon_svg_escape_text(it.text).c_str());
    }
    std::fprintf(out, "</g>\n");
}

// The title as shown: wrapped at spaces onto up to TITLE_LINES lines of the
// text limit; a word wider than a line, or what the last line cannot hold,
// is cut with an ellipsis.
std::vector<std::string> title_lines(const SVGREPORT *r, const SVGLAYOUT *l) {
    std::string rest = r->name.empty() ? "Design structure matrix" : r->name;
    std::vector<std::string> lines;
    while (lines.size() + 1 < TITLE_LINES) {
        const size_t fit = kavelon_svg_fit_prefix(rest, TITLE_FONT, 1, l->text_limit);
        if (fit == rest.size()) break;
        const size_t space = rest.rfind(' ', fit);
        if (space == std::string::npos || space == 0) break;
        lines.push_back(rest.substr(0, space));
        const size_t next = rest.find_first_not_of(' ', space);
        rest = next == std::string::npos ? "" : rest.substr(next);
    }
    lines.push_back(kavelon_svg_fit_text(rest, TITLE_FONT, 1, l->text_limit));
    return lines;
}
// The header lines as shown: each cut at the text limit.
std::vector<std::string> shown_header_lines(const SVGREPORT *r, const SVGLAYOUT *l) {
    std::vector<std::string> lines = header_lines(r);
    for (std::string &line : lines) line = kavelon_svg_fit_text(line, TEXT_FONT, 0, l->text_limit);
    return lines;
}
std::string shown_name(const SVGLAYOUT *l, const std::string &name) {
    return kavelon_svg_fit_text(name, l->font, 0, NAME_EMS * l->font);
}
std::string tick_text(size_t i) { return std::to_string(i); }

// Where a block's name stands beside its rows: the baseline that centres it
// on the block, just right of the bracket that spans the block's rows.
double block_label_baseline(const SVGLAYOUT *l, const SVGBLOCK &b) {
    return centred_baseline(l->matrix_y + (b.first + b.size / 2.0) * l->cell, l->font);
}

// The names of the blocks. Beside the matrix, each block has a bracket over
// its rows and its name at the middle of them, clear of every mark: a line
// of text is no taller than a cell, so that the names of neighbouring
// blocks never meet. Where cells are too small for that, the names go to
// an index of blocks with their rows, in columns right of the matrix.
void put_block_names(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    if (!l->block_index) {
        std::fprintf(out, "<g font-weight=\"bold\" font-size=\"%g\">\n", l->font);
        const double bx = l->block_labels_x - 7;
        for (const SVGBLOCK &b : r->blocks) {
            const double top = l->matrix_y + b.first * l->cell;
            std::fprintf(out, "<path class=\"%s\" d=\"M%g %gh3V%gh-3\"/>\n", b.coupled ? "bk-c" : "bk-i", bx, top + 1,
                         top + b.size * l->cell - 1);
            put_text(out, l->block_labels_x, block_label_baseline(l, b),
                     block_class_attribute(b), block_label(b), block_tooltip(b));
        }
        std::fprintf(out, "</g>\n");
        return;
    }
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-weight=\"bold\">%s</text>\n", l->index_x,
                 l->matrix_y - 4 - SVG_TEXT_DESCENT * TEXT_FONT, INDEX_HEADING);
    std::fprintf(out, "<g font-weight=\"bold\" font-size=\"%g\">\n", INDEX_FONT);
    for (size_t k = 0; k < r->blocks.size(); k++) {
        const SVGBLOCK &b = r->blocks[k];
        const size_t rows = static_cast<size_t>(l->index_rows);
        const double x = l->index_x + static_cast<double>(k / rows) * l->index_column_width;
        const double y = l->matrix_y + static_cast<double>(k % rows) * INDEX_LINE;
        put_text(out, x, centred_baseline(y + INDEX_LINE / 2, INDEX_FONT),
                 block_class_attribute(b), block_index_entry(b), block_tooltip(b));
    }
    std::fprintf(out, "</g>\n");
}

}  // namespace

void kavelon_svg_plan_layout(const SVGREPORT *r, SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const size_t nq = r->constraints.size();
    const size_t nr = r->outputs.size();
    const double span = static_cast<double>(std::max(n + nq, n + nr));
    int32_t cell = static_cast<int32_t>(TARGET_SIDE / std::max(span, 1.0));
    l->cell = std::max(SMALLEST_CELL, std::min(LARGEST_CELL, cell));
    l->gap = std::max(l->cell, 8);
    l->labels = l->cell >= SMALLEST_LABELLED_CELL ? 1 : 0;
    // A line of label text is no taller than a cell.
    l->font = std::min(12.0, l->cell - 2.0);
    l->block_index = l->labels ? 0 : 1;
    l->sequenced = 0;
    for (const SVGBLOCK &b : r->blocks) l->sequenced |= b.sequenced;
    const double c = l->cell;

    // Across: row labels (or the ruler), the matrix, the block names beside
    // it, the constraint columns, the block index.
    l->number_width = 0;
    l->name_width = 0;
    l->column_number_height = 0;
    double names_height = 0;
    if (l->labels) {
        for (size_t i = 0; i < n + nr; i++) {
            l->number_width = std::max(l->number_width, text_width(row_number(r, i), l->font));
            l->name_width = std::max(l->name_width, text_width(shown_name(l, row_name(r, i)), l->font));
        }
        for (size_t j = 0; j < n + nq; j++) {
            l->column_number_height = std::max(l->column_number_height, text_width(column_number(r, j), l->font));
            names_height = std::max(names_height, text_width(shown_name(l, column_name(r, j)), l->font));
        }
        l->matrix_x = MARGIN + l->number_width + 6 + l->name_width + 6;
        l->column_label_height = 4 + l->column_number_height + 6 + names_height;
    } else {
        for (size_t i = 0; i < n; i++) l->number_width = std::max(l->number_width, text_width(tick_text(i), TICK_FONT));
        l->matrix_x = MARGIN + l->number_width + 3 + STRIP + STRIP_GAP;
        l->column_label_height = STRIP_GAP + STRIP + 3 + text_height(TICK_FONT);
    }
    const double matrix_right = l->matrix_x + static_cast<double>(n) * c;
    double right = matrix_right;
    l->block_labels_x = matrix_right + 10;
    if (!l->block_index) {
        double widest = 0;
        for (const SVGBLOCK &b : r->blocks) widest = std::max(widest, bold_width(block_label(b), l->font));
        right = l->block_labels_x + widest;
    }
    l->constraints_x = right + l->gap;
    if (nq > 0) right = l->constraints_x + static_cast<double>(nq) * c;
    const double body_height = static_cast<double>(n) * c + (nr > 0 ? l->gap + static_cast<double>(nr) * c : 0);
    l->index_x = right + 16;
    l->index_rows = 1;
    l->index_column_width = 0;
    double body_bottom_extra = 0;  // how far the index reaches below the matrix
    if (l->block_index) {
        const size_t nb = r->blocks.size();
        l->index_rows = std::max<int32_t>(1, static_cast<int32_t>(body_height / INDEX_LINE));
        if (static_cast<size_t>(l->index_rows) > nb) l->index_rows = static_cast<int32_t>(std::max<size_t>(nb, 1));
        double widest = 0;
        for (const SVGBLOCK &b : r->blocks) widest = std::max(widest, bold_width(block_index_entry(b), INDEX_FONT));
        l->index_column_width = widest + 16;
        const size_t columns = (nb + static_cast<size_t>(l->index_rows) - 1) / static_cast<size_t>(l->index_rows);
        right = l->index_x + std::max(static_cast<double>(columns) * l->index_column_width - 16,
                                      bold_width(INDEX_HEADING, TEXT_FONT));
        body_bottom_extra = std::max(0.0, l->index_rows * INDEX_LINE - body_height);
    }
    const double drawing_width = right - MARGIN;
    l->text_limit = std::max(drawing_width, TEXT_LIMIT);
    l->legend_limit = std::max(drawing_width, LEGEND_LIMIT);

    // Down: title, header lines, legend, caption, column labels, matrix.
    double y = MARGIN;
    l->title_y = y + SVG_TEXT_ASCENT * TITLE_FONT;
    double text_right = 0;
    for (const std::string &line : title_lines(r, l)) {
        text_right = std::max(text_right, MARGIN + bold_width(line, TITLE_FONT));
        y += text_height(TITLE_FONT);
    }
    y += 4;
    for (const std::string &line : shown_header_lines(r, l)) {
        text_right = std::max(text_right, MARGIN + text_width(line, TEXT_FONT));
        y += LINE;
    }
    y += 4;
    l->legend_y = y;
    std::vector<LEGENDITEM> items;
    y += plan_legend(r, l, MARGIN, y, &items) * LINE + 4;
    text_right = std::max(text_right, legend_right(items, l));
    l->caption_y = centred_baseline(y + LINE / 2, TEXT_FONT);
    text_right = std::max(text_right, MARGIN + text_width(caption_line(r), TEXT_FONT));
    y += LINE + 6;
    l->matrix_y = y + l->column_label_height + 4;
    l->outputs_y = l->matrix_y + static_cast<double>(n) * c + l->gap;

    const double bottom = l->matrix_y + body_height + body_bottom_extra;
    l->width = static_cast<double>(static_cast<int64_t>(std::max(right, text_right) + MARGIN + 1));
    l->height = static_cast<double>(static_cast<int64_t>(bottom + MARGIN + 1));
}

void kavelon_svg_write_picture(const SVGREPORT *r, FILE *out) {
    SVGLAYOUT layout{};
    kavelon_svg_plan_layout(r, &layout);
    const SVGLAYOUT *l = &layout;
    const size_t n = r->activities.size();
    const size_t nq = r->constraints.size();
    const size_t nr = r->outputs.size();
    const double c = l->cell;

    std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    std::fprintf(out,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" viewBox=\"0 0 %g %g\" "
                 "font-family=\"%s\" font-size=\"%g\">\n",
                 l->width, l->height, l->width, l->height, SVG_FONT_FAMILY, TEXT_FONT);
    const std::string document_title = r->name.empty() ? "Design structure matrix" : "Design structure matrix: " + r->name;
    std::fprintf(out, "<title>%s</title>\n", kavelon_svg_escape_text(document_title).c_str());
    // Texts are measured as the sums of their characters' advances: no
    // kerning or ligatures may make a text wider or narrower than that.
    std::fprintf(out,
                 "<style>\n"
                 "text{font-kerning:none;font-variant-ligatures:none}\n"
                 ".region{fill:#fff}.rq{fill:#eef5e6}.ro{fill:#f3eef9}.frame{fill:none;stroke:#333;stroke-width:1}\n"
                 ".grid{fill:none;stroke:#ddd;stroke-width:0.5}\n"
                 ".x{fill:#c4c4c4}.fb{fill:#ffd2d2}\n"
                 ".s{fill:#000}.w{fill:#444}.i{fill:#fff;stroke:#000;stroke-width:%g}\n"
                 ".t{stroke:none}.w.t{fill:#707070}.i.t{fill:#ababab}\n"
                 ".s.f,.w.f{fill:#c8102e}.i.f{stroke:#c8102e}.i.t.f{fill:#e8808c}\n"
                 ".bc{fill:#ffe3b8;stroke:#d9822b;stroke-width:%g}\n"
                 ".bi{fill:#e1ecf8;stroke:#3d6fae;stroke-width:%g;stroke-dasharray:4 2}\n"
                 ".bo{fill:none}.bl-c{fill:#a85a10}.bl-i{fill:#2d5a91}\n"
                 ".bk-c{fill:none;stroke:#d9822b;stroke-width:1.5}.bk-i{fill:none;stroke:#3d6fae;stroke-width:1.5}\n"
                 ".strip{fill:#e4e4e4}.strip2{fill:#c8c8c8}.tick{fill:#555}\n"
                 "</style>\n",
                 std::max(0.12 * c, 0.4), std::max(0.12 * c, 1.5), std::max(0.06 * c, 1.0));
    std::fprintf(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n");

    // Title, header values, legend and caption.
    double y = l->title_y - SVG_TEXT_ASCENT * TITLE_FONT;
    for (const std::string &line : title_lines(r, l)) {
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-size=\"%g\" font-weight=\"bold\">%s</text>\n", MARGIN,
                     y + SVG_TEXT_ASCENT * TITLE_FONT, TITLE_FONT, kavelon_svg_escape_text(line).c_str());
        y += text_height(TITLE_FONT);
    }
    y += 4;
    for (const std::string &line : shown_header_lines(r, l)) {
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" fill=\"#333\">%s</text>\n", MARGIN,
                     centred_baseline(y + LINE / 2, TEXT_FONT), kavelon_svg_escape_text(line).c_str());
        y += LINE;
    }
    std::vector<LEGENDITEM> items;
    plan_legend(r, l, MARGIN, l->legend_y, &items);
    put_legend(out, l, items);
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" fill=\"#333\" font-style=\"italic\">%s</text>\n", MARGIN, l->caption_y,
                 kavelon_svg_escape_text(caption_line(r)).c_str());

    // Regions: activity matrix, constraint columns, output rows, outputs on constraints.
    const double qx = l->constraints_x;
    const double ry = l->outputs_y;
    put_cells_rect(out, l, "region", l->matrix_x, l->matrix_y, n, n);
    put_cells_rect(out, l, "rq", qx, l->matrix_y, n, nq);
    put_cells_rect(out, l, "ro", l->matrix_x, ry, nr, n);
    put_cells_rect(out, l, "ro", qx, ry, nr, nq);
    // Block squares under everything else.
    for (const SVGBLOCK &b : r->blocks) {
        const double bx = l->matrix_x + b.first * c;
        const double by = l->matrix_y + b.first * c;
        std::fprintf(out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
                     b.coupled ? "bc" : "bi", bx, by, b.size * c, b.size * c,
                     kavelon_svg_escape_text(block_tooltip(b)).c_str());
    }
    put_grid(out, l, l->matrix_x, l->matrix_y, n, n);
    put_grid(out, l, qx, l->matrix_y, n, nq);
    put_grid(out, l, l->matrix_x, ry, nr, n);
    put_grid(out, l, qx, ry, nr, nq);

    // The diagonal, then the marks of every row.
    for (size_t i = 0; i < n; i++) {
        const SVGROW &a = r->activities[i];
        const std::string tip = activity_text(r, i) + " produces " + quoted(a.data) + ", block " +
                                number_text(r->blocks[static_cast<size_t>(a.block)].number);
        std::fprintf(out, "<rect class=\"x\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
                     l->matrix_x + static_cast<double>(i) * c, l->matrix_y + static_cast<double>(i) * c, c, c,
                     kavelon_svg_escape_text(tip).c_str());
    }
    // Feedback grounds first: where they spill over a small cell they must
    // not cover a neighbouring mark.
    for (size_t row = 0; row < n; row++) {
        for (const SVGMARK &m : r->activities[row].marks) {
            const size_t col = static_cast<size_t>(m.column);
            if (col < n && col > row) put_feedback_ground(out, column_x(r, l, col), row_y(r, l, row), c);
        }
    }
    for (size_t row = 0; row < n + nr; row++) {
        const SVGROW &rw = row < n ? r->activities[row] : r->outputs[row - n];
        for (const SVGMARK &m : rw.marks) {
            const size_t col = static_cast<size_t>(m.column);
            const bool feedback = row < n && col < n && col > row;
            put_mark(out, m.kind, feedback, column_x(r, l, col), row_y(r, l, row), c, mark_tooltip(r, row, m, feedback));
        }
    }

    // Block outlines over the marks, so that every square is seen whole.
    for (const SVGBLOCK &b : r->blocks) {
        std::fprintf(out, "<rect class=\"%s bo\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n",
                     b.coupled ? "bc" : "bi", l->matrix_x + b.first * c, l->matrix_y + b.first * c, b.size * c,
                     b.size * c);
    }
    put_cells_rect(out, l, "frame", l->matrix_x, l->matrix_y, n, n);
    put_cells_rect(out, l, "frame", qx, l->matrix_y, n, nq);
    put_cells_rect(out, l, "frame", l->matrix_x, ry, nr, n);
    put_cells_rect(out, l, "frame", qx, ry, nr, nq);

    put_block_names(out, r, l);

    // Row and column labels, or rulers with tooltips where labels would not be legible.
    if (l->labels) {
        std::fprintf(out, "<g font-size=\"%g\">\n", l->font);
        const double number_right = MARGIN + l->number_width;
        const double name_left = number_right + 6;
        for (size_t row = 0; row < n + nr; row++) {
            const double ty = centred_baseline(row_y(r, l, row) + c / 2, l->font);
            const std::string tip = row_tooltip(r, row);
            put_text(out, number_right, ty, " text-anchor=\"end\" fill=\"#555\"", row_number(r, row), tip);
            put_text(out, name_left, ty, "", shown_name(l, row_name(r, row)), tip);
        }
        // Upright texts: the baseline centres them on their column, and
        // they run upwards from the bottom of their room.
        const double number_bottom = l->matrix_y - 4;
        const double name_bottom = number_bottom - l->column_number_height - 6;
        for (size_t col = 0; col < n + nq; col++) {
            const double tx = column_x(r, l, col) + c / 2 + (SVG_TEXT_ASCENT - SVG_TEXT_DESCENT) / 2 * l->font;
            const std::string tip = column_tooltip(r, col);
            std::fprintf(out, "<g fill=\"#555\">");
            put_rotated_text(out, tx, number_bottom, column_number(r, col), tip);
            std::fprintf(out, "</g>");
            put_rotated_text(out, tx, name_bottom, shown_name(l, column_name(r, col)), tip);
        }
        std::fprintf(out, "</g>\n");
    } else {
        const int32_t step = tick_step(l->cell, l->number_width);
        const double sx = l->matrix_x - STRIP_GAP - STRIP;
        const double sy = l->matrix_y - STRIP_GAP - STRIP;
        for (size_t row = 0; row < n + nr; row++) {
            const bool dark = row < n ? r->activities[row].block % 2 == 1 : (row - n) % 2 == 1;
            const std::string tip = row_tooltip(r, row);
            std::fprintf(out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
                         dark ? "strip2" : "strip", sx, row_y(r, l, row), STRIP, c,
                         kavelon_svg_escape_text(tip).c_str());
        }
        for (size_t col = 0; col < n + nq; col++) {
            const bool dark = col < n ? r->activities[col].block % 2 == 1 : (col - n) % 2 == 1;
            const std::string tip = column_tooltip(r, col);
            std::fprintf(out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
                         dark ? "strip2" : "strip", column_x(r, l, col), sy, c, STRIP,
                         kavelon_svg_escape_text(tip).c_str());
        }
        std::fprintf(out, "<g class=\"tick\" font-size=\"%g\">\n", TICK_FONT);
        for (size_t i = static_cast<size_t>(step); i < n; i += static_cast<size_t>(step)) {
            const double centre = (static_cast<double>(i) + 0.5) * c;
            std::fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%zu</text>\n", sx - 3,
                         centred_baseline(l->matrix_y + centre, TICK_FONT), i);
            std::fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">%zu</text>\n", l->matrix_x + centre,
                         sy - 3 - SVG_TEXT_DESCENT * TICK_FONT, i);
        }
        std::fprintf(out, "</g>\n");
    }
    std::fprintf(out, "</svg>\n");
}
