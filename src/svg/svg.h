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
};

// Geometry of the picture, worked out from the report alone.
struct SVGLAYOUT {
    int32_t cell;          // side of one matrix cell
    int32_t gap;           // space between the activity matrix and the extra rows/columns
    int32_t labels;        // 1 when row and column labels are drawn
    double font;           // label font size
    int32_t block_labels;  // 1 when the block squares carry their labels
    double number_width;   // width of the row number column
    double row_label_width;     // row numbers and names together
    double column_label_height; // column numbers and names together
    double matrix_x;       // top-left corner of the activity matrix
    double matrix_y;
    double constraints_x;  // left edge of the constraint columns
    double outputs_y;      // top edge of the output rows
    double width;          // whole picture
    double height;
};

// Labels longer than this many characters are cut and end in an ellipsis.
constexpr int32_t SVG_LABEL_CHARS = 40;

// Text handling.
// Expands the five predefined entities and numeric character references;
// anything else, a lone '&' included, stays as written.
std::string kavelon_svg_decode_text(const char *text);
// Makes a text safe as XML character data in UTF-8: escapes '&', '<', '>'
// and '"', and replaces bytes that are not valid UTF-8 and characters that
// XML does not allow by U+FFFD.
std::string kavelon_svg_escape_text(const std::string &text);
// Number of characters (not bytes) of a UTF-8 text.
int32_t kavelon_svg_count_chars(const std::string &text);
// The text itself up to max_chars characters, otherwise its first
// max_chars - 1 characters and an ellipsis.
std::string kavelon_svg_shorten_text(const std::string &text, int32_t max_chars);

// Reads the report tree under root into report. source names the report in
// messages. Returns 0, or 1 after one line on standard error.
int kavelon_svg_read_report(XMLENTITY *root, const char *source, SVGREPORT *report);

// Works out the picture's geometry.
void kavelon_svg_plan_layout(const SVGREPORT *report, SVGLAYOUT *layout);
// Writes the whole SVG document to out.
void kavelon_svg_write_picture(const SVGREPORT *report, FILE *out);

// The whole program; returns the exit status.
int kavelon_svg_main(int argc, char **argv);

#endif
