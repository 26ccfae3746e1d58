// Draws the partitioned design structure matrix as one SVG document from
// its layout: title, legend, caption, labels, block squares on the diagonal,
// the marks, and the constraint columns and output rows beside the activity
// matrix.
#include <algorithm>
#include <cmath>
#include <string>

#include "svg/picture.h"

namespace {

// A kind's word in a tooltip: the report's name of the dependency, but ICD,
// an abbreviation, in capitals.
const char *kind_word(char kind) {
    const char *word = kavelon_dependency_word(kind);
    return word == nullptr || kind == DEP_ICD ? "ICD" : word;
}

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

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
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" transform=\"rotate(-90 %g %g)\"><title>%s</title>%s</text>\n",
                 x, y, x, y, kavelon_svg_escape_text(tooltip).c_str(),
                 kavelon_svg_escape_text(shown).c_str());
}

// The ground of a feedback mark: larger than a small cell, so that feedback
// stands out even where a cell is a couple of pixels wide.
void put_feedback_ground(FILE *out, double x, double y, double c) {
    const double halo = std::max(c, 9.0);
    const double o = (halo - c) / 2;
    std::fprintf(out, "<rect class=\"fb\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", x - o, y - o,
                 halo, halo);
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
    if (c < SVG_SMALLEST_SHAPED_CELL) {
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
    return kavelon_svg_number_text(static_cast<int32_t>(i)) + " " + r->activities[i].name;
}

// Tooltips of a row's and a column's label.
std::string row_tooltip(const SVGREPORT *r, size_t row) {
    if (row < r->activities.size())
        return activity_text(r, row) + ", produces " + quoted(r->activities[row].data);
    return "Output " + kavelon_svg_row_number(r, row) + " " + kavelon_svg_row_name(r, row);
}
std::string column_tooltip(const SVGREPORT *r, size_t col) {
    if (col < r->activities.size())
        return quoted(kavelon_svg_column_name(r, col)) + ", produced by " + activity_text(r, col);
    return "Constraint " + kavelon_svg_column_number(r, col) + " " + quoted(kavelon_svg_column_name(r, col));
}

// The words of a cell's tooltip: who needs what from whom, and how.
std::string mark_tooltip(const SVGREPORT *r, size_t row, const SVGMARK &m, bool feedback) {
    const size_t n = r->activities.size();
    const size_t col = static_cast<size_t>(m.column);
    std::string s = row < n ? activity_text(r, row)
                            : "Output " + kavelon_svg_row_number(r, row) + " " + kavelon_svg_row_name(r, row);
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
    std::string s =
        "Block " + kavelon_svg_number_text(b.number) + (b.coupled ? ": coupled, " : ": independent, ");
    s += kavelon_svg_number_text(b.size) + (b.size == 1 ? " activity, " : " activities, ");
    s += b.predecessor != 0 ? "predecessor block " + kavelon_svg_number_text(b.predecessor)
                            : "no predecessor block";
    if (b.sequenced) {
        s += b.optimal ? "; sequenced: optimal order" : "; sequenced: order not proven optimal";
        if (b.assumed.empty()) s += ", no input to assume";
        for (size_t k = 0; k < b.assumed.size(); k++)
            s += (k == 0 ? "; inputs to assume: " : "; ") + b.assumed[k];
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
    for (size_t i = 1; i < rows; i++)
        std::fprintf(out, "M%g %gh%g", x, y + static_cast<double>(i) * l->cell, w);
    for (size_t j = 1; j < cols; j++)
        std::fprintf(out, "M%g %gv%g", x + static_cast<double>(j) * l->cell, y, h);
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

const char *block_class_attribute(const SVGBLOCK &b) {
    return b.coupled ? " class=\"bl-c\"" : " class=\"bl-i\"";
}

// One rectangle of a legend swatch; style is empty or a style attribute.
void put_swatch_rect(FILE *out, const char *cls, const char *style, double x, double y, double w, double h) {
    std::fprintf(out, "<rect class=\"%s\"%s x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", cls, style, x,
                 y, w, h);
}

// A legend entry's swatch, the element as the picture draws it, with its
// top left corner at (x, y).
void put_swatch(FILE *out, const SVGLAYOUT *l, const SVGLEGENDITEM &it, double x, double y) {
    const double s = SVG_SWATCH;
    const bool tiny = l->cell < SVG_SMALLEST_SHAPED_CELL;
    switch (it.swatch) {
        case SVG_SWATCH_STRONG:
        case SVG_SWATCH_WEAK:
        case SVG_SWATCH_ICD:
            if (tiny) {
                // The marks as the matrix shows them: whole cells in three shades.
                put_swatch_rect(out,
                                it.swatch == SVG_SWATCH_STRONG ? "s t"
                                : it.swatch == SVG_SWATCH_WEAK ? "w t"
                                                               : "i t",
                                "", x + 2, y + 2, s - 4, s - 4);
            } else if (it.swatch == SVG_SWATCH_STRONG) {
                put_swatch_rect(out, "s", "", x + 2, y + 2, s - 4, s - 4);
            } else if (it.swatch == SVG_SWATCH_WEAK) {
                std::fprintf(out, "<circle class=\"w\" cx=\"%g\" cy=\"%g\" r=\"%g\"/>\n", x + s / 2,
                             y + s / 2, 0.32 * s);
            } else {
                put_swatch_rect(out, "i", " style=\"stroke-width:1.5\"", x + 3, y + 3, s - 6, s - 6);
            }
            break;
        case SVG_SWATCH_DIAGONAL: put_swatch_rect(out, "x", "", x, y, s, s); break;
        case SVG_SWATCH_FEEDBACK:
            put_swatch_rect(out, "fb", "", x, y, s, s);
            put_swatch_rect(out, tiny ? "s t f" : "s f", "", x + 2, y + 2, s - 4, s - 4);
            break;
        case SVG_SWATCH_COUPLED:
            put_swatch_rect(out, "bc", " style=\"stroke-width:2\"", x + 1, y + 1, s - 2, s - 2);
            break;
        case SVG_SWATCH_INDEPENDENT:
            put_swatch_rect(out, "bi", " style=\"stroke-width:1.5\"", x + 1, y + 1, s - 2, s - 2);
            break;
        case SVG_SWATCH_BLOCK_NAME: {
            double tx = x;
            if (!l->block_index) {
                std::fprintf(out, "<path class=\"bk-c\" d=\"M%g %gh3V%gh-3\"/>\n", x, y + 1, y + s - 1);
                tx += 7;
            }
            std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-weight=\"bold\" class=\"bl-c\">%s</text>\n", tx,
                         kavelon_svg_centred_baseline(y + s / 2, SVG_TEXT_FONT),
                         kavelon_svg_escape_text(l->legend_sample).c_str());
            break;
        }
        case SVG_SWATCH_BANDS:
            put_swatch_rect(out, "strip", "", x, y, s / 2, s);
            put_swatch_rect(out, "strip2", "", x + s / 2, y, s / 2, s);
            break;
        case SVG_SWATCH_LEVELS:
            put_swatch_rect(out, "lv", "", x, y, s / 2, s);
            put_swatch_rect(out, "lv2", "", x + s / 2, y, s / 2, s);
            break;
        case SVG_SWATCH_CONSTRAINTS:
        case SVG_SWATCH_OUTPUTS:
            put_swatch_rect(out, it.swatch == SVG_SWATCH_CONSTRAINTS ? "rq" : "ro", " style=\"stroke:#333\"",
                            x + 0.5, y + 0.5, s - 1, s - 1);
            break;
    }
}

void put_legend(FILE *out, const SVGLAYOUT *l) {
    std::fprintf(out, "<g class=\"legend\">\n");
    for (const SVGLEGENDITEM &it : l->legend) {
        const double y = it.y + (SVG_LINE - SVG_SWATCH) / 2;  // the swatch's top
        put_swatch(out, l, it, it.x, y);
        std::fprintf(out, "<text x=\"%g\" y=\"%g\">%s</text>\n", it.text_x,
                     kavelon_svg_centred_baseline(y + SVG_SWATCH / 2, SVG_TEXT_FONT),
                     kavelon_svg_escape_text(it.text).c_str());
    }
    std::fprintf(out, "</g>\n");
}

// A level band's tooltip: the level, its blocks and their rows.
std::string level_tooltip(const SVGBLOCK &first, const SVGBLOCK &last) {
    const auto number = kavelon_svg_number_text;
    std::string s = "Level " + number(first.level) + ": ";
    s += first.number == last.number ? "block " + number(first.number)
                                     : "blocks " + number(first.number) + "\xE2\x80\x93" + number(last.number);
    const int32_t end = last.first + last.size - 1;
    s += end == first.first ? ", row " + number(first.first)
                            : ", rows " + number(first.first) + "\xE2\x80\x93" + number(end);  // en dash
    return s + "; blocks of one level may run side by side";
}

// With a plan, the levels beside the matrix: one band over each run of
// rows whose blocks share a level, in two shades that alternate with the
// level, named where the run is tall enough for its label.
void put_level_bands(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    if (l->level_bands == 0) return;
    std::fprintf(out, "<g font-size=\"%g\">\n", l->levels_font);
    for (size_t k = 0; k < r->blocks.size();) {
        const SVGBLOCK &first = r->blocks[k];
        size_t next = k + 1;
        while (next < r->blocks.size() && r->blocks[next].level == first.level) next++;
        const SVGBLOCK &last = r->blocks[next - 1];
        k = next;
        if (first.level <= 0) continue;
        const double top = l->matrix_y + first.first * l->cell;
        const double height = static_cast<double>(last.first + last.size - first.first) * l->cell;
        const std::string tip = level_tooltip(first, last);
        std::fprintf(
            out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
            first.level % 2 == 1 ? "lv" : "lv2", l->levels_x, top, l->levels_width, height,
            kavelon_svg_escape_text(tip).c_str());
        if (height >= kavelon_svg_text_height(l->levels_font))
            put_text(out, l->levels_x + l->levels_width / 2,
                     kavelon_svg_centred_baseline(top + height / 2, l->levels_font),
                     " text-anchor=\"middle\" class=\"lvt\"", kavelon_svg_level_label(first.level), tip);
    }
    std::fprintf(out, "</g>\n");
}

// Where a block's name stands beside its rows: the baseline that centres it
// on the block, just right of the bracket that spans the block's rows.
double block_label_baseline(const SVGLAYOUT *l, const SVGBLOCK &b) {
    return kavelon_svg_centred_baseline(l->matrix_y + (b.first + b.size / 2.0) * l->cell, l->font);
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
            std::fprintf(out, "<path class=\"%s\" d=\"M%g %gh3V%gh-3\"/>\n", b.coupled ? "bk-c" : "bk-i", bx,
                         top + 1, top + b.size * l->cell - 1);
            put_text(out, l->block_labels_x, block_label_baseline(l, b), block_class_attribute(b),
                     kavelon_svg_block_label(b), block_tooltip(b));
        }
        std::fprintf(out, "</g>\n");
        return;
    }
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-weight=\"bold\">%s</text>\n", l->index_x,
                 l->matrix_y - 4 - SVG_TEXT_DESCENT * SVG_TEXT_FONT, SVG_INDEX_HEADING);
    std::fprintf(out, "<g font-weight=\"bold\" font-size=\"%g\">\n", SVG_INDEX_FONT);
    for (size_t k = 0; k < r->blocks.size(); k++) {
        const SVGBLOCK &b = r->blocks[k];
        const size_t rows = static_cast<size_t>(l->index_rows);
        const double x = l->index_x + static_cast<double>(k / rows) * l->index_column_width;
        const double y = l->matrix_y + static_cast<double>(k % rows) * SVG_INDEX_LINE;
        put_text(out, x, kavelon_svg_centred_baseline(y + SVG_INDEX_LINE / 2, SVG_INDEX_FONT),
                 block_class_attribute(b), kavelon_svg_block_index_entry(b), block_tooltip(b));
    }
    std::fprintf(out, "</g>\n");
}

// The document's start: its size, its title (a tooltip that keeps the
// whole name), the style sheet and the white ground.
void put_document_start(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    const double c = l->cell;
    std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    std::fprintf(out,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" viewBox=\"0 0 %g %g\" "
                 "font-family=\"%s\" font-size=\"%g\">\n",
                 l->width, l->height, l->width, l->height, SVG_FONT_FAMILY, SVG_TEXT_FONT);
    const std::string document_title =
        r->name.empty() ? "Design structure matrix" : "Design structure matrix: " + r->name;
    std::fprintf(out, "<title>%s</title>\n", kavelon_svg_escape_text(document_title).c_str());
    // Texts are measured as the sums of their characters' advances: no
    // kerning or ligatures may make a text wider or narrower than that.
    std::fprintf(
        out,
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
        ".strip{fill:#e4e4e4}.strip2{fill:#c8c8c8}.tick{fill:#555}\n",
        std::max(0.12 * c, 0.4), std::max(0.12 * c, 1.5), std::max(0.06 * c, 1.0));
    // The Gantt chart's styles only in a picture that has one.
    if (r->planned != 0)
        std::fprintf(out, ".gc{fill:#c8102e}.gb-c{fill:#d9822b}.gb-i{fill:#3d6fae}.gs{stroke:#999;stroke-width:1}\n");
    // The level bands part from each other by a white edge, so that two
    // runs of levels of one parity next to each other still read as two.
    if (l->level_bands != 0)
        std::fprintf(out, ".lv{fill:#e0f2f1}.lv2{fill:#b9e0dc}.lv,.lv2{stroke:#fff;stroke-width:1}.lvt{fill:#22615b}\n");
    std::fprintf(out, "</style>\n");
    std::fprintf(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n");
}

// Title, header lines, legend and caption, as the layout made room for them.
void put_texts_above(FILE *out, const SVGLAYOUT *l) {
    for (const SVGLINE &line : l->title) {
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-size=\"%g\" font-weight=\"bold\">%s</text>\n",
                     SVG_MARGIN, line.y, SVG_TITLE_FONT, kavelon_svg_escape_text(line.text).c_str());
    }
    for (const SVGLINE &line : l->header) {
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" fill=\"#333\">%s</text>\n", SVG_MARGIN, line.y,
                     kavelon_svg_escape_text(line.text).c_str());
    }
    put_legend(out, l);
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" fill=\"#333\" font-style=\"italic\">%s</text>\n", SVG_MARGIN,
                 l->caption_y, kavelon_svg_escape_text(l->caption).c_str());
}

// The four parts of the matrix (activities, constraint columns, output rows,
// outputs on constraints): their grounds, or their frames over the marks.
void put_regions(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l, const char *cls_activities,
                 const char *cls_q, const char *cls_r) {
    const size_t n = r->activities.size();
    const size_t nq = r->constraints.size();
    const size_t nr = r->outputs.size();
    put_cells_rect(out, l, cls_activities, l->matrix_x, l->matrix_y, n, n);
    put_cells_rect(out, l, cls_q, l->constraints_x, l->matrix_y, n, nq);
    put_cells_rect(out, l, cls_r, l->matrix_x, l->outputs_y, nr, n);
    put_cells_rect(out, l, cls_r, l->constraints_x, l->outputs_y, nr, nq);
}

// Grounds, block squares and grid lines: everything under the marks.
void put_grounds(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const size_t nq = r->constraints.size();
    const size_t nr = r->outputs.size();
    const double c = l->cell;
    put_regions(out, r, l, "region", "rq", "ro");
    for (const SVGBLOCK &b : r->blocks) {
        const double bx = l->matrix_x + b.first * c;
        const double by = l->matrix_y + b.first * c;
        std::fprintf(
            out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
            b.coupled ? "bc" : "bi", bx, by, b.size * c, b.size * c,
            kavelon_svg_escape_text(block_tooltip(b)).c_str());
    }
    put_grid(out, l, l->matrix_x, l->matrix_y, n, n);
    put_grid(out, l, l->constraints_x, l->matrix_y, n, nq);
    put_grid(out, l, l->matrix_x, l->outputs_y, nr, n);
    put_grid(out, l, l->constraints_x, l->outputs_y, nr, nq);
}

// The diagonal, then the marks of every row.
void put_marks(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const size_t nr = r->outputs.size();
    const double c = l->cell;
    for (size_t i = 0; i < n; i++) {
        const SVGROW &a = r->activities[i];
        const std::string tip = activity_text(r, i) + " produces " + quoted(a.data) + ", block " +
                                kavelon_svg_number_text(r->blocks[static_cast<size_t>(a.block)].number);
        std::fprintf(
            out, "<rect class=\"x\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
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
            put_mark(out, m.kind, feedback, column_x(r, l, col), row_y(r, l, row), c,
                     mark_tooltip(r, row, m, feedback));
        }
    }
}

// Block outlines over the marks, so that every square is seen whole, and
// the frames of the matrix's parts.
void put_outlines(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    const double c = l->cell;
    for (const SVGBLOCK &b : r->blocks) {
        std::fprintf(out, "<rect class=\"%s bo\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n",
                     b.coupled ? "bc" : "bi", l->matrix_x + b.first * c, l->matrix_y + b.first * c,
                     b.size * c, b.size * c);
    }
    put_regions(out, r, l, "frame", "frame", "frame");
}

// Row and column labels: numbers and names, each with its tooltip.
void put_labels(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const double c = l->cell;
    std::fprintf(out, "<g font-size=\"%g\">\n", l->font);
    const double number_right = SVG_MARGIN + l->number_width;
    const double name_left = number_right + 6;
    for (size_t row = 0; row < n + r->outputs.size(); row++) {
        const double ty = kavelon_svg_centred_baseline(row_y(r, l, row) + c / 2, l->font);
        const std::string tip = row_tooltip(r, row);
        put_text(out, number_right, ty, " text-anchor=\"end\" fill=\"#555\"", kavelon_svg_row_number(r, row),
                 tip);
        put_text(out, name_left, ty, "", kavelon_svg_shown_name(l, kavelon_svg_row_name(r, row)), tip);
    }
    // Upright texts: the baseline centres them on their column, and
    // they run upwards from the bottom of their room.
    const double number_bottom = l->matrix_y - 4;
    const double name_bottom = number_bottom - l->column_number_height - 6;
    for (size_t col = 0; col < n + r->constraints.size(); col++) {
        const double tx = column_x(r, l, col) + c / 2 + (SVG_TEXT_ASCENT - SVG_TEXT_DESCENT) / 2 * l->font;
        const std::string tip = column_tooltip(r, col);
        std::fprintf(out, "<g fill=\"#555\">");
        put_rotated_text(out, tx, number_bottom, kavelon_svg_column_number(r, col), tip);
        std::fprintf(out, "</g>");
        put_rotated_text(out, tx, name_bottom, kavelon_svg_shown_name(l, kavelon_svg_column_name(r, col)),
                         tip);
    }
    std::fprintf(out, "</g>\n");
}

// Rulers where labels would not be legible: strips that carry the
// tooltips, shaded by block, and tick numbers.
void put_rulers(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    const size_t n = r->activities.size();
    const double c = l->cell;
    const int32_t step = tick_step(l->cell, l->number_width);
    const double sx = l->matrix_x - SVG_STRIP_GAP - SVG_STRIP;
    const double sy = l->matrix_y - SVG_STRIP_GAP - SVG_STRIP;
    for (size_t row = 0; row < n + r->outputs.size(); row++) {
        const bool dark = row < n ? r->activities[row].block % 2 == 1 : (row - n) % 2 == 1;
        const std::string tip = row_tooltip(r, row);
        std::fprintf(
            out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
            dark ? "strip2" : "strip", sx, row_y(r, l, row), SVG_STRIP, c,
            kavelon_svg_escape_text(tip).c_str());
    }
    for (size_t col = 0; col < n + r->constraints.size(); col++) {
        const bool dark = col < n ? r->activities[col].block % 2 == 1 : (col - n) % 2 == 1;
        const std::string tip = column_tooltip(r, col);
        std::fprintf(
            out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
            dark ? "strip2" : "strip", column_x(r, l, col), sy, c, SVG_STRIP,
            kavelon_svg_escape_text(tip).c_str());
    }
    std::fprintf(out, "<g class=\"tick\" font-size=\"%g\">\n", SVG_TICK_FONT);
    for (size_t i = static_cast<size_t>(step); i < n; i += static_cast<size_t>(step)) {
        const double centre = (static_cast<double>(i) + 0.5) * c;
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%zu</text>\n", sx - 3,
                     kavelon_svg_centred_baseline(l->matrix_y + centre, SVG_TICK_FONT), i);
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">%zu</text>\n", l->matrix_x + centre,
                     sy - 3 - SVG_TEXT_DESCENT * SVG_TICK_FONT, i);
    }
    std::fprintf(out, "</g>\n");
}


// The ticks of the Gantt chart's time axis: from 0 in steps of 1, 2 or 5
// times a power of ten, the one nearest a fifth of the total, so that every
// label has the same decimals ("0 2 4 6", "0.0 0.5 1.0"); four to eight
// ticks fit the narrowest chart. Totals far from everyday numbers, whose
// fixed decimals would be too long, get about three steps labelled in the
// short %g form, and a total too small to step through its five ticks a
// quarter apart.
struct GanttAxis {
    double step;
    double parts;  // the total in steps, for the ticks' places
    int count;     // ticks after the one at 0
    int decimals;  // -1 for the %g form
};

// The step of 1, 2 or 5 times a power of ten nearest rough (a normal
// number), as m * 10^k.
double nice_step(double rough, int *k) {
    *k = static_cast<int>(std::floor(std::log10(rough)));
    const double ratio = rough / std::pow(10.0, *k);
    double m = 1;
    if (ratio >= std::sqrt(50.0)) {
        ++*k;
    } else if (ratio >= std::sqrt(10.0)) {
        m = 5;
    } else if (ratio >= std::sqrt(2.0)) {
        m = 2;
    }
    return m * std::pow(10.0, *k);
}

GanttAxis gantt_axis(double total) {
    int k = 0;
    GanttAxis axis{total / 4, 4, 4, -1};
    if (total / 5 >= 1e-4 && total / 5 <= 1e4) {
        axis.step = nice_step(total / 5, &k);
        axis.decimals = std::max(0, -k);
    } else if (total / 3 >= 1e-300) {
        axis.step = nice_step(total / 3, &k);
    } else {
        return axis;
    }
    axis.parts = total / axis.step;
    axis.count = std::min(10, static_cast<int>(std::floor(axis.parts * (1 + 1e-9))));
    return axis;
}

// With a plan: the Gantt chart of the blocks, one row each in block order,
// a bar from earliest start to earliest finish (red on the critical path,
// else in the block's colour), a grey line on to the latest finish (the
// slack), and a time axis with ticks at round times.
void put_gantt(FILE *out, const SVGREPORT *r, const SVGLAYOUT *l) {
    if (r->planned == 0) return;
    std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-weight=\"bold\">%s</text>\n", SVG_MARGIN, l->gantt_y,
                 kavelon_svg_escape_text(kavelon_svg_gantt_heading(r)).c_str());
    const double total = r->total_duration > 0 ? r->total_duration : 1;
    const double scale = l->gantt_width / total;
    // The key, one line under the heading.
    std::fprintf(out, "<g class=\"legend\">\n");
    double x = SVG_MARGIN;
    const double key_y = l->gantt_y + 6 + (SVG_LINE - SVG_SWATCH) / 2;
    for (const auto &entry : SVG_GANTT_KEY) {
        std::fprintf(out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>\n", entry[0], x, key_y,
                     SVG_SWATCH, SVG_SWATCH);
        x += SVG_SWATCH + 4;
        std::fprintf(out, "<text x=\"%g\" y=\"%g\">%s</text>\n", x,
                     kavelon_svg_centred_baseline(key_y + SVG_SWATCH / 2, SVG_TEXT_FONT), entry[1]);
        x += kavelon_svg_plain_width(entry[1], SVG_TEXT_FONT) + 12;
    }
    std::fprintf(out, "</g>\n");
    const double top = l->gantt_y + 6 + SVG_LINE;
    for (size_t k = 0; k < r->blocks.size(); k++) {
        const SVGBLOCK &b = r->blocks[k];
        const double y = top + static_cast<double>(k) * l->gantt_row;
        const double bar = l->gantt_row - 4;
        char tip[160];
        std::snprintf(tip, sizeof tip, "B%d: start %.15g, finish %.15g, latest finish %.15g%s", b.number, b.start,
                      b.finish, b.late_finish, b.critical ? ", critical" : "");
        std::fprintf(out, "<text x=\"%g\" y=\"%g\" font-size=\"%g\" text-anchor=\"end\">%s</text>\n",
                     l->gantt_x - 6, kavelon_svg_centred_baseline(y + l->gantt_row / 2, SVG_INDEX_FONT),
                     SVG_INDEX_FONT, kavelon_svg_escape_text(kavelon_svg_gantt_name(b)).c_str());
        if (b.late_finish > b.finish)
            std::fprintf(out, "<line class=\"gs\" x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\"/>\n",
                         l->gantt_x + b.finish * scale, y + l->gantt_row / 2, l->gantt_x + b.late_finish * scale,
                         y + l->gantt_row / 2);
        std::fprintf(out, "<rect class=\"%s\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"><title>%s</title></rect>\n",
                     b.critical ? "gc" : b.coupled ? "gb-c" : "gb-i", l->gantt_x + b.start * scale,
                     y + (l->gantt_row - bar) / 2, std::max(1.0, (b.finish - b.start) * scale), bar,
                     kavelon_svg_escape_text(tip).c_str());
    }
    const double axis = top + static_cast<double>(r->blocks.size()) * l->gantt_row + 2;
    std::fprintf(out, "<line class=\"gs\" x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\"/>\n", l->gantt_x, axis,
                 l->gantt_x + l->gantt_width, axis);
    const GanttAxis ticks = gantt_axis(total);
    for (int t = 0; t <= ticks.count; t++) {
        char number[40];
        if (ticks.decimals >= 0) {
            std::snprintf(number, sizeof number, "%.*f", ticks.decimals, ticks.step * t);
        } else {
            std::snprintf(number, sizeof number, "%.2g", ticks.step * t);
        }
        std::fprintf(out,
                     "<text class=\"tick\" x=\"%g\" y=\"%g\" font-size=\"%g\" text-anchor=\"middle\">%s</text>\n",
                     l->gantt_x + l->gantt_width * t / ticks.parts, axis + 2 + SVG_TEXT_ASCENT * SVG_TICK_FONT,
                     SVG_TICK_FONT, number);
    }
}

}  // namespace

void kavelon_svg_write_picture(const SVGREPORT *r, FILE *out) {
    SVGLAYOUT layout;
    kavelon_svg_plan_layout(r, &layout);
    put_document_start(out, r, &layout);
    put_texts_above(out, &layout);
    put_grounds(out, r, &layout);
    put_marks(out, r, &layout);
    put_outlines(out, r, &layout);
    put_block_names(out, r, &layout);
    put_level_bands(out, r, &layout);
    if (layout.labels) {
        put_labels(out, r, &layout);
    } else {
        put_rulers(out, r, &layout);
    }
    put_gantt(out, r, &layout);
    std::fprintf(out, "</svg>\n");
}
