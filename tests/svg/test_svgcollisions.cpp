// The picture without collisions: every text's box is worked out from the
// SVG as written (position, size, weight, anchor, rotation) and the font's
// widths, and no text may leave the canvas or overlap another text or a
// shape. Checked on the golden pictures of the end-to-end cases and on
// awkward processes: wide capitals, long titles, early rows full of
// estimates, a few hundred and a couple of thousand activities.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "picture_of.h"
#include "svg/picture.h"
#include "svg/svg.h"

namespace {

struct BOX {
    double x0, y0, x1, y1;
    std::string what;  // the text, or the shape's class
};

struct PICTURE {
    double width = 0;
    double height = 0;
    std::vector<BOX> texts;
    std::vector<BOX> shapes;
    std::set<std::string> drawn_classes;   // first class of each shape outside the legend
    std::set<std::string> legend_classes;  // ... and inside it
};

std::string attribute(const std::string &tag, const char *name) {
    const std::string key = std::string(" ") + name + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string::npos) return "";
    const size_t from = at + key.size();
    return tag.substr(from, tag.find('"', from) - from);
}

double number(const std::string &tag, const char *name) { return std::atof(attribute(tag, name).c_str()); }

std::string unescape(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        static const std::pair<const char *, char> refs[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'},
                                                             {"&quot;", '"'}};
        bool done = false;
        for (const auto &ref : refs) {
            if (s.compare(i, std::strlen(ref.first), ref.first) == 0) {
                out += ref.second;
                i += std::strlen(ref.first) - 1;
                done = true;
                break;
            }
        }
        if (!done) out += s[i];
    }
    return out;
}

std::string first_class(const std::string &tag) {
    const std::string cls = attribute(tag, "class");
    return cls.substr(0, cls.find(' '));
}

// Reads the picture as kavelon-svg writes it: one element to a tag, font
// size and weight inherited from the svg element and the groups.
PICTURE parse_picture(const std::string &svg) {
    PICTURE p;
    struct STYLE {
        double font;
        bool bold;
        bool legend;
    };
    std::vector<STYLE> styles{{12, false, false}};
    size_t pos = 0;
    while ((pos = svg.find('<', pos)) != std::string::npos) {
        const size_t close = svg.find('>', pos);
        if (close == std::string::npos) break;
        const std::string tag = svg.substr(pos, close - pos + 1);
        pos = close + 1;
        const bool self_closing = tag[tag.size() - 2] == '/';
        if (tag.rfind("<svg", 0) == 0 || (tag.rfind("<g", 0) == 0 && tag[2] == ' ')) {
            STYLE s = styles.back();
            if (!attribute(tag, "font-size").empty()) s.font = number(tag, "font-size");
            if (attribute(tag, "font-weight") == "bold") s.bold = true;
            if (attribute(tag, "class") == "legend") s.legend = true;
            if (tag.rfind("<svg", 0) == 0) {
                p.width = number(tag, "width");
                p.height = number(tag, "height");
            }
            if (!self_closing) styles.push_back(s);
        } else if (tag == "</g>" || tag == "</svg>") {
            if (styles.size() > 1) styles.pop_back();
        } else if (tag == "<style>" || tag == "<title>") {
            pos = svg.find(tag == "<style>" ? "</style>" : "</title>", pos);
        } else if (tag.rfind("<text", 0) == 0) {
            const size_t end = svg.find("</text>", pos);
            std::string content = svg.substr(pos, end - pos);
            const size_t title_end = content.find("</title>");
            if (title_end != std::string::npos) content = content.substr(title_end + 8);
            content = unescape(content);
            pos = end;
            const double font = attribute(tag, "font-size").empty() ? styles.back().font : number(tag, "font-size");
            const bool bold = styles.back().bold || attribute(tag, "font-weight") == "bold";
            const double w = kavelon_svg_text_width(content, font, bold ? 1 : 0);
            const double x = number(tag, "x");
            const double y = number(tag, "y");
            const std::string anchor = attribute(tag, "text-anchor");
            const double start = anchor == "end" ? w : anchor == "middle" ? w / 2 : 0;
            if (!attribute(tag, "transform").empty()) {
                EXPECT_EQ(attribute(tag, "transform").rfind("rotate(-90 ", 0), 0u) << tag;
                p.texts.push_back(BOX{x - SVG_TEXT_ASCENT * font, y - w + start, x + SVG_TEXT_DESCENT * font,
                                      y + start, content});
            } else {
                p.texts.push_back(BOX{x - start, y - SVG_TEXT_ASCENT * font, x - start + w,
                                      y + SVG_TEXT_DESCENT * font, content});
            }
        } else if (tag.rfind("<rect", 0) == 0 || tag.rfind("<circle", 0) == 0 || tag.rfind("<path", 0) == 0) {
            BOX b{0, 0, 0, 0, first_class(tag)};
            if (tag.rfind("<rect", 0) == 0) {
                if (attribute(tag, "width") == "100%") continue;  // the white ground
                b.x0 = number(tag, "x");
                b.y0 = number(tag, "y");
                b.x1 = b.x0 + number(tag, "width");
                b.y1 = b.y0 + number(tag, "height");
            } else if (tag.rfind("<circle", 0) == 0) {
                const double r = number(tag, "r");
                b.x0 = number(tag, "cx") - r;
                b.y0 = number(tag, "cy") - r;
                b.x1 = b.x0 + 2 * r;
                b.y1 = b.y0 + 2 * r;
            } else {
                // Only the block brackets are paths that count; the grid
                // lies within the matrix.
                if (b.what == "grid") continue;
                double x = 0, y = 0, bottom = 0;
                EXPECT_EQ(std::sscanf(attribute(tag, "d").c_str(), "M%lf %lfh3V%lfh-3", &x, &y, &bottom), 3) << tag;
                b = BOX{x, y, x + 3, bottom, b.what};
            }
            (styles.back().legend ? p.legend_classes : p.drawn_classes).insert(b.what);
            p.shapes.push_back(b);
        }
    }
    return p;
}

bool overlap(const BOX &a, const BOX &b) {
    const double e = 0.01;  // boxes that only touch do not overlap
    return a.x0 < b.x1 - e && b.x0 < a.x1 - e && a.y0 < b.y1 - e && b.y0 < a.y1 - e;
}

// A level's label stands on its band, wholly inside it; nothing else may.
bool is_level_band(const BOX &b) { return b.what == "lv" || b.what == "lv2"; }
bool within(const BOX &inner, const BOX &outer) {
    const double e = 0.01;
    return inner.x0 >= outer.x0 - e && inner.x1 <= outer.x1 + e && inner.y0 >= outer.y0 - e && inner.y1 <= outer.y1 + e;
}

// Every text inside the canvas and clear of every other text and shape;
// every kind of shape drawn shown in the legend.
void expect_no_collisions(const std::string &svg, const std::string &what) {
    const PICTURE p = parse_picture(svg);
    ASSERT_GT(p.width, 0) << what;
    ASSERT_FALSE(p.texts.empty()) << what;
    int32_t faults = 0;
    const auto fault = [&](const std::string &message) {
        if (++faults <= 10) ADD_FAILURE() << what << ": " << message;
    };
    for (size_t i = 0; i < p.texts.size(); i++) {
        const BOX &t = p.texts[i];
        if (t.x0 < 0 || t.y0 < 0 || t.x1 > p.width || t.y1 > p.height) fault("outside the canvas: " + t.what);
        for (size_t j = i + 1; j < p.texts.size(); j++) {
            if (overlap(t, p.texts[j])) fault("texts overlap: " + t.what + " | " + p.texts[j].what);
        }
        for (const BOX &s : p.shapes) {
            if (overlap(t, s) && !(is_level_band(s) && within(t, s)))
                fault("text over a shape of class " + s.what + ": " + t.what);
        }
    }
    for (size_t i = 0; i < p.shapes.size(); i++) {
        const BOX &s = p.shapes[i];
        if (s.x0 < 0 || s.y0 < 0 || s.x1 > p.width || s.y1 > p.height) fault("shape outside the canvas: " + s.what);
        // A level band lies beside the matrix, clear of every other shape.
        if (!is_level_band(s)) continue;
        for (size_t j = 0; j < p.shapes.size(); j++) {
            if (j != i && overlap(s, p.shapes[j])) fault("level band over a shape of class " + p.shapes[j].what);
        }
    }
    for (std::string cls : p.drawn_classes) {
        if (cls == "region" || cls == "frame") continue;  // the white ground and border of the matrix
        if (cls == "bk-i") cls = "bk-c";                   // one bracket shows both kinds
        if (p.legend_classes.count(cls) == 0) fault("no legend entry for shapes of class " + cls);
    }
}

// Every block's name is in the picture, beside its rows or in the index.
void expect_every_block_named(const SVGREPORT &r, const std::string &svg) {
    const PICTURE p = parse_picture(svg);
    std::set<std::string> texts;
    for (const BOX &t : p.texts) texts.insert(t.what.substr(0, t.what.find_first_of(" :")));
    for (const SVGBLOCK &b : r.blocks) EXPECT_EQ(texts.count("B" + std::to_string(b.number)), 1u) << b.number;
}

// A process of n activities in blocks of one to six (every third coupled),
// named by the given functions, with strong marks on earlier blocks, weak
// and ICD marks anywhere, and nq constraints and nr outputs.
SVGREPORT awkward_report(int32_t n, int32_t nq, int32_t nr, const std::string &name, const std::string &data) {
    SVGREPORT r;
    r.name = "PROCESS " + std::to_string(n);
    r.study_name = "AWKWARD";
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t mod) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % mod;
    };
    for (int32_t first = 0; first < n;) {
        const int32_t size = std::min<int32_t>(n - first, 1 + static_cast<int32_t>(next(6)));
        const int32_t number = static_cast<int32_t>(r.blocks.size()) + 1;
        r.blocks.push_back(SVGBLOCK{number, number / 2, number % 3 == 0 ? 1 : 0, first, size, 0, 0, {}});
        for (int32_t i = first; i < first + size; i++) {
            SVGROW row{name + std::to_string(i), data + std::to_string(i), number - 1, {}};
            if (first > 0) row.marks.push_back({DEP_STRONG, static_cast<int32_t>(next(static_cast<uint32_t>(first)))});
            row.marks.push_back({next(2) ? DEP_WEAK : DEP_ICD, static_cast<int32_t>(next(static_cast<uint32_t>(n)))});
            if (nq > 0 && next(4) == 0) row.marks.push_back({DEP_ICD, n + static_cast<int32_t>(next(nq))});
            r.activities.push_back(row);
        }
        first += size;
    }
    for (int32_t q = 0; q < nq; q++) r.constraints.push_back(data + "C" + std::to_string(q));
    for (int32_t o = 0; o < nr; o++) {
        r.outputs.push_back(SVGROW{name + "O" + std::to_string(o), "", -1,
                                   {{DEP_STRONG, static_cast<int32_t>(next(static_cast<uint32_t>(n)))}}});
    }
    return r;
}

// The report with a plan: levels in runs of one to three blocks that rise
// and fall again, so that a level comes back after others, and times that
// leave some blocks slack.
void add_plan(SVGREPORT &r) {
    r.planned = 1;
    double start = 0;
    for (size_t k = 0; k < r.blocks.size(); k++) {
        SVGBLOCK &b = r.blocks[k];
        b.planned = 1;
        b.level = 1 + static_cast<int32_t>((k / (1 + k % 3)) % 7);
        b.start = start;
        b.finish = start + b.size;
        b.late_finish = b.finish + static_cast<double>(k % 4);
        b.critical = k % 4 == 0;
        start = b.finish;
        r.total_duration = std::max(r.total_duration, b.late_finish);
    }
}

// Every block has its row in the Gantt chart, named.
void expect_every_gantt_row_named(const SVGREPORT &r, const std::string &svg) {
    const PICTURE p = parse_picture(svg);
    std::set<std::string> texts;
    for (const BOX &t : p.texts) texts.insert(t.what);
    for (const SVGBLOCK &b : r.blocks)
        EXPECT_EQ(texts.count(kavelon_svg_gantt_name(b)), 1u) << b.number << " of " << r.blocks.size();
}

TEST(SvgCollisions, GoldenPictures) {
    int32_t checked = 0;
    for (const auto &entry : std::filesystem::directory_iterator(KAVELON_SVG_E2E_CASES)) {
        if (entry.path().filename().string().rfind("svg_", 0) != 0) continue;
        std::vector<std::filesystem::path> files{entry.path() / "stdout"};
        if (std::filesystem::is_directory(entry.path() / "expected")) {
            for (const auto &f : std::filesystem::directory_iterator(entry.path() / "expected")) files.push_back(f);
        }
        for (const auto &f : files) {
            std::ifstream in(f, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            std::string svg = text.str();
            if (svg.rfind("<?xml", 0) != 0 || svg.find("<svg") == std::string::npos) continue;
            // The harness matches a report's time stamp by its shape; put
            // one of the widest back.
            for (size_t at; (at = svg.find("@TIMESTAMP@")) != std::string::npos;) {
                svg.replace(at, 11, "Wed May 28 00:00:00 2026");
            }
            expect_no_collisions(svg, f.string());
            checked++;
        }
    }
    EXPECT_GE(checked, 4);
}

TEST(SvgCollisions, WideCapitalsAndLongTexts) {
    const std::string w40(40, 'W');
    SVGREPORT r = awkward_report(14, 2, 2, w40, std::string(40, 'M'));
    r.name = std::string(150, 'W') + " (REVISION C)";
    r.study_name = std::string(120, 'M');
    r.xml_filename = "/" + std::string(300, 'W') + ".xml";
    r.version = "VERSION " + std::string(60, 'W');
    // Names of every kind of character: accents, ideographs the font lacks,
    // bytes that are not UTF-8, markup, tabs.
    r.activities[3].name = std::string(30, 'W') + "\xC3\xA9\xC3\x89\xE4\xB8\x80\xE4\xB8\x80\xFF\xFE<&>\"\t";
    r.activities[4].data = std::string(20, '\xE4') + "\xE4\xB8\x80\xE4\xB8\x80\xE4\xB8\x80";
    r.blocks.back().number = 1234567;
    r.blocks.back().predecessor = 7654321;
    const std::string svg = picture_of(r);
    expect_no_collisions(svg, "wide capitals");
    expect_every_block_named(r, svg);
}

TEST(SvgCollisions, EarlyRowsFullOfEstimates) {
    // The first rows need everything after them: every cell right of the
    // first blocks holds a mark.
    SVGREPORT r = awkward_report(20, 1, 1, "Estimate ", "Estimated value ");
    for (int32_t row = 0; row < 4; row++) {
        for (int32_t col = row + 1; col < 21; col++) r.activities[static_cast<size_t>(row)].marks.push_back({DEP_WEAK, col});
    }
    const std::string svg = picture_of(r);
    expect_no_collisions(svg, "early estimates");
    expect_every_block_named(r, svg);
}

TEST(SvgCollisions, EverySizeOfPicture) {
    // Across the sizes where labels shrink, give way to rulers, and marks
    // fill their cells.
    for (const int32_t n : {1, 2, 60, 150, 300, 333, 400, 2000}) {
        const SVGREPORT r = awkward_report(n, n / 50 + 1, n / 40 + 1, "Activity Name ", "DATA ITEM ");
        const std::string svg = picture_of(r);
        expect_no_collisions(svg, std::to_string(n) + " activities");
        expect_every_block_named(r, svg);
    }
    // With a plan: level bands beside the matrix and a Gantt chart below
    // it, whose rows keep their names however many there are.
    for (const int32_t n : {10, 60, 400}) {
        SVGREPORT r = awkward_report(n, n / 50 + 1, n / 40 + 1, "Activity Name ", "DATA ITEM ");
        add_plan(r);
        const std::string svg = picture_of(r);
        expect_no_collisions(svg, std::to_string(n) + " activities with a plan");
        expect_every_block_named(r, svg);
        expect_every_gantt_row_named(r, svg);
        EXPECT_NE(svg.find("<rect class=\"lv2\""), std::string::npos);
    }
    // Many constraints and outputs beside few activities.
    const SVGREPORT r = awkward_report(12, 60, 45, "A", "D");
    expect_no_collisions(picture_of(r), "many constraints and outputs");
}

// The time axis of the narrowest Gantt chart: its labels share their
// decimals and stay clear of each other, however long the plan (a plan of
// zero times draws an axis of one unit).
TEST(SvgCollisions, GanttAxisLabelsShareTheirForm) {
    const std::pair<double, const char *> cases[] = {
        {14, "0 2 4 6 8 10 12 14"},
        {15.8, "0 2 4 6 8 10 12 14"},
        {23.5, "0 5 10 15 20"},
        {0.3, "0.00 0.05 0.10 0.15 0.20 0.25 0.30"},
        {0.0049, "0.000 0.001 0.002 0.003 0.004"},
        {0, "0.0 0.2 0.4 0.6 0.8 1.0"},
        {70000, "0 2e+04 4e+04 6e+04"},
        {1.7e308, "0 5e+307 1e+308 1.5e+308"},
    };
    for (const auto &[total, labels] : cases) {
        SVGREPORT r = awkward_report(2, 0, 0, "A", "D");
        r.planned = 1;
        for (SVGBLOCK &b : r.blocks) {
            b.planned = 1;
            b.level = b.number;
            b.start = b.number == 1 ? 0 : total / 2;
            b.finish = b.late_finish = b.number == 1 ? total / 2 : total;
        }
        r.total_duration = total;
        const std::string svg = picture_of(r);
        std::string found;
        const std::string tick = "<text class=\"tick\"";
        for (size_t at = svg.find(tick); at != std::string::npos; at = svg.find(tick, at + 1)) {
            const size_t from = svg.find('>', at) + 1;
            found += (found.empty() ? "" : " ") + svg.substr(from, svg.find('<', from) - from);
        }
        EXPECT_EQ(found, labels) << total;
        expect_no_collisions(svg, "a plan of total " + std::to_string(total));
    }
}

}  // namespace
