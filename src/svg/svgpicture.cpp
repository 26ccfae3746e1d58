// Draws the partitioned design structure matrix as one SVG document: title,
// legend, caption, labels, block squares on the diagonal, the marks, and the
// constraint columns and output rows beside the activity matrix.
#include <algorithm>
#include <string>

#include "svg.h"

namespace {

constexpr double MARGIN = 16;
constexpr double TITLE_FONT = 20;
constexpr double TEXT_FONT = 12;
constexpr double LINE = 18;          // line height of the texts above the matrix
constexpr double CHAR_WIDTH = 0.6;   // estimated width of a character, in font sizes
constexpr int32_t LARGEST_CELL = 18;
constexpr int32_t SMALLEST_CELL = 2;
constexpr double TARGET_SIDE = 3000;  // the matrix shrinks its cells to stay near this
constexpr int32_t SMALLEST_LABELLED_CELL = 9;
constexpr int32_t SMALLEST_SHAPED_CELL = 6;  // below it, marks fill their cells and differ by shade
constexpr double STRIP = 10;         // header strips that carry the tooltips without labels
constexpr double TICK_FONT = 10;

double text_width(const std::string &text, double font) {
    return kavelon_svg_count_chars(text) * CHAR_WIDTH * font;
}

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

// Room the block labels need to the right of the activity matrix: a label
// starts just right of its square's top-right corner.
double block_label_overhang(const SVGREPORT *r, const SVGLAYOUT *l) {
    if (!l->block_labels) return 0;
    const double right = static_cast<double>(r->activities.size()) * l->cell;
    double overhang = 0;
    for (const SVGBLOCK &b : r->blocks) {
        const double end = (b.first + b.size) * l->cell + 3 + text_width(block_label(b), l->font);
        overhang = std::max(overhang, end - right);
    }
    return overhang;
}

// A block's label stands right of its square, in one of the block's rows:
// the first row whose cells under the label hold no mark, so that the label
// never hides a feedback mark; the block's first row if every row has one.
int32_t block_label_row(const SVGREPORT *r, const SVGLAYOUT *l, const SVGBLOCK &b) {
    const int32_t from = b.first + b.size;
    const int32_t to = from + static_cast<int32_t>((text_width(block_label(b), l->font) + 3) / l->cell) + 1;
    for (int32_t row = b.first; row < b.first + b.size; row++) {
        bool free = true;
        for (const SVGMARK &m : r->activities[static_cast<size_t>(row)].marks) {
            if (m.column >= from && m.column < to && m.column < static_cast<int32_t>(r->activities.size())) free = false;
        }
        if (free) return row;
    }
    return b.first;
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
// usual steps that leaves room for a number.
int32_t tick_step(int32_t cell) {
    static const int32_t steps[] = {5, 10, 20, 50, 100, 200, 500, 1000};
    for (const int32_t s : steps) {
        if (s * cell >= 36) return s;
    }
    return 1000;
}

void put_legend(FILE *out, double x, double y, bool tiny) {
    // First line: the marks.
    const double s = 14;
    double cx = x;
    const auto label = [&](const char *text) {
        std::fprintf(out, "<text x=\"%g\" y=\"%g\">%s</text>\n", cx + s + 5, y + s - 3, text);
        cx += s + 5 + text_width(text, TEXT_FONT) + 16;
    };
    std::fprintf(out, "<g class=\"legend\">\n");
    if (tiny) {
        // The marks as the matrix shows them: whole cells in three shades.
        for (const char *kind : {"s", "w", "i"}) {
            std::fprintf(out, "<rect class=\"%s t\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", kind, cx + 2,
                         y + 2, s - 4, s - 4);
            label(kind[0] == 's' ? "strong" : kind[0] == 'w' ? "weak" : "ICD");
        }
    } else {
        std::fprintf(out, "<rect class=\"s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", cx + 2, y + 2, s - 4,
                     s - 4);
        label("strong");
        std::fprintf(out, "<circle class=\"w\" cx=\"%g\" cy=\"%g\" r=\"%g\"/>\n", cx + s / 2, y + s / 2, 0.32 * s);
        label("weak");
        std::fprintf(out,
                     "<rect class=\"i\" style=\"stroke-width:1.5\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n",
                     cx + 3, y + 3, s - 6, s - 6);
        label("ICD");
    }
    std::fprintf(out, "<rect class=\"x\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", cx, y, s, s);
    label("diagonal: the activity itself");
    std::fprintf(out, "<rect class=\"fb\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", cx, y, s, s);
    std::fprintf(out, "<rect class=\"s%s f\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", tiny ? " t" : "", cx + 2,
                 y + 2, s - 4, s - 4);
    label("feedback: a mark above the diagonal");
    // Second line: the blocks.
    cx = x;
    y += LINE;
    std::fprintf(out, "<rect class=\"bc\" style=\"stroke-width:2\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n",
                 cx + 1, y + 1, s - 2, s - 2);
    label("coupled block");
    std::fprintf(out, "<rect class=\"bi\" style=\"stroke-width:1.5\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n",
                 cx + 1, y + 1, s - 2, s - 2);
    label("independent block");
    std::fprintf(out, "<text x=\"%g\" y=\"%g\">B3 \xE2\x86\x90 B2: block 3, its predecessor block 2</text>\n", cx,
                 y + s - 3);
    std::fprintf(out, "</g>\n");
}

double legend_width() {
    const char *texts[] = {"strong", "weak", "ICD", "diagonal: the activity itself",
                           "feedback: a mark above the diagonal"};
    double w = 0;
    for (const char *t : texts) w += 14 + 5 + text_width(t, TEXT_FONT) + 16;
    return w;
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
    l->font = std::min(12.0, l->cell - 2.0);
    l->block_labels = l->labels;

    if (l->labels) {
        size_t number_chars = row_number(r, n > 0 ? n - 1 : 0).size();
        if (nr > 0) number_chars = std::max(number_chars, row_number(r, n + nr - 1).size());
        size_t column_number_chars = column_number(r, n > 0 ? n - 1 : 0).size();
        if (nq > 0) column_number_chars = std::max(column_number_chars, column_number(r, n + nq - 1).size());
        double names = 0;
        for (size_t i = 0; i < n + nr; i++) {
            names = std::max(names, text_width(kavelon_svg_shorten_text(row_name(r, i), SVG_LABEL_CHARS), l->font));
        }
        double data = 0;
        for (size_t j = 0; j < n + nq; j++) {
            data = std::max(data, text_width(kavelon_svg_shorten_text(column_name(r, j), SVG_LABEL_CHARS), l->font));
        }
        l->number_width = static_cast<double>(number_chars) * CHAR_WIDTH * l->font + 8;
        l->row_label_width = l->number_width + names + 6;
        l->column_label_height = static_cast<double>(column_number_chars) * CHAR_WIDTH * l->font + 8 + data + 6;
    } else {
        // A ruler with tick numbers and a strip of tooltips per row/column.
        l->number_width = 0;
        l->row_label_width = 5 * CHAR_WIDTH * TICK_FONT + STRIP + 6;
        l->column_label_height = TICK_FONT + STRIP + 8;
    }

    double top = MARGIN + TITLE_FONT + 6;
    top += static_cast<double>(header_lines(r).size()) * LINE;
    top += 6 + 2 * LINE;  // legend
    top += LINE + 4;      // caption
    l->matrix_x = MARGIN + l->row_label_width + 4;
    l->matrix_y = top + l->column_label_height + 4;

    // The block labels may stand out to the right of the activity matrix;
    // the constraint columns keep clear of them.
    const double matrix_right = l->matrix_x + static_cast<double>(n) * l->cell;
    const double overhang = block_label_overhang(r, l);
    l->constraints_x = matrix_right + std::max<double>(l->gap, overhang + 4);
    l->outputs_y = l->matrix_y + static_cast<double>(n) * l->cell + l->gap;
    double right = matrix_right + overhang;
    if (nq > 0) right = l->constraints_x + static_cast<double>(nq) * l->cell;
    double bottom = l->matrix_y + static_cast<double>(n) * l->cell;
    if (nr > 0) bottom = l->outputs_y + static_cast<double>(nr) * l->cell;

    double text_right = MARGIN + legend_width();
    text_right = std::max(text_right, MARGIN + text_width(caption_line(r), TEXT_FONT));
    text_right = std::max(text_right, MARGIN + text_width(r->name, TITLE_FONT));
    for (const std::string &line : header_lines(r)) {
        text_right = std::max(text_right, MARGIN + text_width(line, TEXT_FONT));
    }
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
    const std::string title = r->name.empty() ? "Design structure matrix" : r->name;

    std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    std::fprintf(out,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" viewBox=\"0 0 %g %g\" "
                 "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"%g\">\n",
                 l->width, l->height, l->width, l->height, TEXT_FONT);
    const std::string document_title = r->name.empty() ? title : "Design structure matrix: " + title;
    std::fprintf(out, "<title>%s</title>\n", kavelon_svg_escape_text(document_title).c_str());
    std::fprintf(out,
                 "<style>\n"
                 ".region{fill:#fff}.frame{fill:none;stroke:#333;stroke-width:1}\n"
                 ".grid{fill:none;stroke:#ddd;stroke-width:0.5}\n"
                 ".x{fill:#c4c4c4}.fb{fill:#ffd2d2}\n"
                 ".s{fill:#000}.w{fill:#444}.i{fill:#fff;stroke:#000;stroke-width:%g}\n"
                 ".t{stroke:none}.w.t{fill:#707070}.i.t{fill:#ababab}\n"
                 ".s.f,.w.f{fill:#c8102e}.i.f{stroke:#c8102e}.i.t.f{fill:#e8808c}\n"
                 ".bc{fill:#ffe3b8;stroke:#d9822b;stroke-width:%g}\n"
                 ".bi{fill:#e1ecf8;stroke:#3d6fae;stroke-width:%g;stroke-dasharray:4 2}\n"
                 ".bo{fill:none}.blabel{font-weight:bold}.bl-c{fill:#a85a10}.bl-i{fill:#2d5a91}\n"
                 ".strip{fill:#e4e4e4}.strip2{fill:#c8c8c8}.tick{fill:#555}\n"
                 "</style>\n",
                 std::max(0.12 * c, 0.4), std::max(0.12 * c, 1.5), std::max(0.06 * c, 1.0));
    std::fprintf(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n");

    // Title, header values, legend and caption.
    double y = MARGIN + TITLE_FONT;
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-size=\"%g\" font-weight=\"bold\">%s</text>\n", MARGIN, y,
                 TITLE_FONT, kavelon_svg_escape_text(title).c_str());
    y += 6;
    for (const std::string &line : header_lines(r)) {
        y += LINE;
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" fill=\"#333\">%s</text>\n", MARGIN, y - 4,
                     kavelon_svg_escape_text(line).c_str());
    }
    put_legend(out, MARGIN, y + 6, l->cell < SMALLEST_SHAPED_CELL);
    y += 6 + 2 * LINE + LINE;
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" fill=\"#333\" font-style=\"italic\">%s</text>\n", MARGIN, y,
                 kavelon_svg_escape_text(caption_line(r)).c_str());

    // Regions: activity matrix, constraint columns, output rows, outputs on constraints.
    const double qx = l->constraints_x;
    const double ry = l->outputs_y;
    put_cells_rect(out, l, "region", l->matrix_x, l->matrix_y, n, n);
    put_cells_rect(out, l, "region", qx, l->matrix_y, n, nq);
    put_cells_rect(out, l, "region", l->matrix_x, ry, nr, n);
    put_cells_rect(out, l, "region", qx, ry, nr, nq);

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

    if (l->block_labels) {
        std::fprintf(out, "<g class=\"blabel\" font-size=\"%g\">\n", l->font);
        for (const SVGBLOCK &b : r->blocks) {
            const int32_t row = block_label_row(r, l, b);
            put_text(out, l->matrix_x + (b.first + b.size) * c + 3, l->matrix_y + row * c + c / 2 + 0.35 * l->font,
                     b.coupled ? " class=\"bl-c\"" : " class=\"bl-i\"", block_label(b), block_tooltip(b));
        }
        std::fprintf(out, "</g>\n");
    }

    // Row and column labels, or rulers with tooltips where labels would not be legible.
    if (l->labels) {
        std::fprintf(out, "<g font-size=\"%g\">\n", l->font);
        const double number_right = l->matrix_x - l->row_label_width + l->number_width - 6;
        const double name_left = l->matrix_x - l->row_label_width + l->number_width;
        for (size_t row = 0; row < n + nr; row++) {
            const double ty = row_y(r, l, row) + c / 2 + 0.35 * l->font;
            const std::string &name = row_name(r, row);
            const std::string tip = row_tooltip(r, row);
            put_text(out, number_right, ty, " text-anchor=\"end\" fill=\"#555\"", row_number(r, row), tip);
            put_text(out, name_left, ty, "", kavelon_svg_shorten_text(name, SVG_LABEL_CHARS), tip);
        }
        const double number_bottom = l->matrix_y - 4;
        size_t number_chars = column_number(r, n > 0 ? n - 1 : 0).size();
        if (nq > 0) number_chars = std::max(number_chars, column_number(r, n + nq - 1).size());
        const double name_start = number_bottom - static_cast<double>(number_chars) * CHAR_WIDTH * l->font - 6;
        for (size_t col = 0; col < n + nq; col++) {
            const double tx = column_x(r, l, col) + c / 2 + 0.35 * l->font;
            const std::string &name = column_name(r, col);
            const std::string tip = column_tooltip(r, col);
            std::fprintf(out, "<g fill=\"#555\">");
            put_rotated_text(out, tx, number_bottom, column_number(r, col), tip);
            std::fprintf(out, "</g>");
            put_rotated_text(out, tx, name_start, kavelon_svg_shorten_text(name, SVG_LABEL_CHARS), tip);
        }
        std::fprintf(out, "</g>\n");
    } else {
        const int32_t step = tick_step(l->cell);
        const double sx = l->matrix_x - STRIP - 2;
        const double sy = l->matrix_y - STRIP - 2;
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
                         l->matrix_y + centre + 0.35 * TICK_FONT, i);
            std::fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">%zu</text>\n", l->matrix_x + centre,
                         sy - 3, i);
        }
        std::fprintf(out, "</g>\n");
    }
    std::fprintf(out, "</svg>\n");
}
