// kavelon-svg: turns kavelon's XML report into a standalone SVG picture of
// the partitioned design structure matrix.
#ifndef KAVELON_SVG_H
#define KAVELON_SVG_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/record.h"
#include "xml/xmlentity.h"

// One mark of a matrix row: the kind of dependency ('S', 'W' or 'I') and the
// column it falls in. Columns 0 .. n-1 are the activities in report order,
// n .. n+nQ-1 the constraints.
struct SVGMARK {
    char kind;
    int32_t column;
};

// One row of the picture: an activity (with the data item it produces and
// its block) or an output (data empty, block -1). Texts are decoded: a
// character reference in the report is already the character it stands for.
struct SVGROW {
    std::string name;
    std::string data;
    int32_t block;               // index into SVGREPORT::blocks
    std::vector<SVGMARK> marks;  // in report order
};

struct SVGBLOCK {
    int32_t number;       // block number as reported
    int32_t predecessor;  // predecessor block, 0 for none
    int32_t coupled;      // 1 for a "dependent" block, 0 for "independent"
    int32_t first;        // first activity row
    int32_t size;         // number of activity rows
    // The order inside the block, when the report was sequenced ("-s").
    int32_t sequenced = 0;              // 1 when the report gives the block's sequence
    int32_t optimal = 0;                // 1 when that order is proven optimal
    std::vector<std::string> assumed;   // inputs to assume: "data for activity (kind, distance d)"
    // The block's plan, when the report has one ("-p").
    int32_t planned = 0;       // 1 when start, finish and latest finish were read
    int32_t critical = 0;      // 1 when the block is on a zero-slack chain
    int32_t level = 0;
    double start = 0;          // earliest start
    double finish = 0;         // earliest finish
    double late_finish = 0;    // latest finish
};

// Everything the picture shows, read from the report. Header texts are empty
// when the report does not have them.
struct SVGREPORT {
    std::string name;
    std::string version;
    std::string version_date;
    std::string study_name;
    std::string file_creation_time;
    std::string xml_filename;
    std::vector<SVGROW> activities;
    std::vector<SVGBLOCK> blocks;
    std::vector<SVGROW> outputs;
    std::vector<std::string> constraints;
    int32_t planned = 0;          // 1 when every block has a plan: the picture adds a Gantt chart
    double total_duration = 0;    // the latest finish of all blocks
};

// A line of text above the matrix as shown (wrapped or cut), at its baseline.
struct SVGLINE {
    std::string text;
    double y;
};

// What a legend entry's swatch shows: a kind of mark, ground, block or
// region of the picture.
enum SVGSWATCH {
    SVG_SWATCH_STRONG,
    SVG_SWATCH_WEAK,
    SVG_SWATCH_ICD,
    SVG_SWATCH_DIAGONAL,
    SVG_SWATCH_FEEDBACK,
    SVG_SWATCH_COUPLED,
    SVG_SWATCH_INDEPENDENT,
    SVG_SWATCH_BLOCK_NAME,
    SVG_SWATCH_BANDS,
    SVG_SWATCH_LEVELS,
    SVG_SWATCH_CONSTRAINTS,
    SVG_SWATCH_OUTPUTS,
};

// One legend entry: its swatch and its words, placed.
struct SVGLEGENDITEM {
    SVGSWATCH swatch;
    std::string text;
    double x;       // left edge of the swatch
    double y;       // top of the entry's line
    double text_x;  // left edge of the words, after the swatch
};

// Geometry of the picture, worked out from the report alone. Every text is
// placed from its measured width, so that none leaves the canvas or runs
// into another text or a mark. The texts above the matrix are kept here as
// measured, so that the drawing shows exactly what was made room for.
struct SVGLAYOUT {
    int32_t cell;          // side of one matrix cell
    int32_t gap;           // space between the activity matrix and the extra rows/columns
    int32_t labels;        // 1 when row and column labels are drawn, 0 for rulers
    double font;           // label font size
    int32_t block_index;   // 1 when the blocks are named in an index beside the matrix, 0 beside their rows
    int32_t sequenced;     // 1 when some block's sequence is given: block names tell its inputs to assume
    double text_limit;     // the title and the header lines are cut at this width
    double legend_limit;   // the legend wraps at this width
    double title_y;        // baseline of the title
    double legend_y;       // top of the legend
    double caption_y;      // baseline of the caption
    double number_width;   // widest row number (ruler: widest tick number)
    double name_width;     // widest row name as shown
    double column_number_height;  // widest column number, standing upright
    double column_label_height;   // room above the matrix for column numbers and names (or the ruler)
    double matrix_x;       // top-left corner of the activity matrix
    double matrix_y;
    double block_labels_x; // left edge of the block labels beside the matrix
    // With a plan, the blocks' levels as bands beside the block names (or
    // beside the matrix when the names are in the index).
    int32_t level_bands;   // 1 when drawn
    double levels_x;       // left edge of the bands
    double levels_width;
    double levels_font;    // size of the level labels in the bands
    double constraints_x;  // left edge of the constraint columns
    double outputs_y;      // top edge of the output rows
    double index_x;        // left edge of the block index
    int32_t index_rows;    // block index entries in one column of the index
    double index_column_width;
    double width;          // whole picture
    double height;
    // The Gantt chart of the blocks below everything else, with a plan.
    double gantt_y;         // baseline of its heading
    double gantt_x;         // left edge of its bars' area (time 0)
    double gantt_width;     // width of that area (the total duration)
    double gantt_row;       // height of one block's row
    std::vector<SVGLINE> title;          // the title's lines
    std::vector<SVGLINE> header;         // study, version, creation time and input, as shown
    std::vector<SVGLEGENDITEM> legend;   // every legend entry
    std::string legend_sample;           // the legend's sample block name, in the form the blocks use
    std::string caption;
};

// The picture's font, whose advance widths kavelon-svg measures texts with;
// the others are narrower, so that a text measured for it fits in them too.
constexpr const char *SVG_FONT_FAMILY = "DejaVu Sans, Arial, Helvetica, sans-serif";
// A line of text reaches this far above and below its baseline, in font sizes.
constexpr double SVG_TEXT_ASCENT = 1901.0 / 2048;
constexpr double SVG_TEXT_DESCENT = 483.0 / 2048;

// Text handling.
// Expands the five predefined entities and numeric character references;
// anything else, a lone '&' included, stays as written.
std::string kavelon_svg_decode_text(const char *text);
// Makes a text safe as XML character data in UTF-8: escapes '&', '<', '>'
// and '"', and replaces bytes that are not valid UTF-8 and characters that
// XML does not allow by U+FFFD.
std::string kavelon_svg_escape_text(const std::string &text);
// Width of a text as the picture shows it (after the clean-up of
// kavelon_svg_escape_text), at the given font size, bold or not.
double kavelon_svg_text_width(const std::string &text, double font, int32_t bold);
// Bytes of the longest start of the text, in whole characters, that is at
// most max_width wide.
size_t kavelon_svg_fit_prefix(const std::string &text, double font, int32_t bold, double max_width);
// The text itself if it is at most max_width wide, otherwise as many of its
// first characters as leave room for an ellipsis, and the ellipsis; empty if
// not even the ellipsis fits. Never cuts inside a UTF-8 sequence.
std::string kavelon_svg_fit_text(const std::string &text, double font, int32_t bold, double max_width);

// Reads the report tree under root into report. source names the report in
// messages. Returns 0, or 1 after one line on standard error.
int kavelon_svg_read_report(XMLENTITY *root, const char *source, SVGREPORT *report);

// Works out the picture's geometry and its texts above the matrix; whatever
// layout held before is replaced.
void kavelon_svg_plan_layout(const SVGREPORT *report, SVGLAYOUT *layout);
// Writes the whole SVG document to out.
void kavelon_svg_write_picture(const SVGREPORT *report, FILE *out);

// The whole program; returns the exit status. Memory running out at any
// point after the command line is read ends the run with one line on
// standard error and status 1.
int kavelon_svg_main(int argc, char **argv);

#endif
