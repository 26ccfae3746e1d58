// The CSV report: header lines, then the whole matrix with constraints and
// outputs. Each matrix line is put together in memory and written at once.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>

#include "report/report.h"

namespace {

// A double quote inside a quoted field is written twice, the CSV way, so that
// a name holding one cannot shift the fields of its line.
std::string doubled_quotes(const char *value) {
    // Most names hold none, and are taken whole.
    if (std::strchr(value, '"') == nullptr) return std::string(value);
    std::string text;
    for (const char *c = value; *c != '\0'; c++) {
        if (*c == '"') text += '"';
        text += *c;
    }
    return text;
}

__attribute__((format(printf, 2, 3))) void append_format(std::string &line, const char *format, ...) {
    char small[128];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) return;
    if (static_cast<size_t>(length) < sizeof small) {
        line.append(small, static_cast<size_t>(length));
        return;
    }
    const size_t start = line.size();
    line.resize(start + static_cast<size_t>(length) + 1);
    va_start(args, format);
    std::vsnprintf(&line[start], static_cast<size_t>(length) + 1, format, args);
    va_end(args);
    line.resize(start + static_cast<size_t>(length));
}

// ",c" for each code of columns from .. to - 1 of `row`, filled in place:
// every field "0" first, then the row's cells in their fields.
void append_codes(std::string &line, const KAVROW &row, int from, int to) {
    if (to <= from) return;
    const size_t start = line.size();
    line.resize(start + 2 * static_cast<size_t>(to - from));
    char *field = &line[start];
    // The empty fields are copied from a stretch of them, a row of a large
    // matrix being millions of bytes.
    static const std::string no_codes = [] {
        std::string pattern;
        for (int j = 0; j < 2048; j++) {
            pattern += ',';
            pattern += DEP_NONE;
        }
        return pattern;
    }();
    const size_t bytes = 2 * static_cast<size_t>(to - from);
    for (size_t done = 0; done < bytes; done += no_codes.size())
        std::memcpy(field + done, no_codes.data(), std::min(no_codes.size(), bytes - done));
    for (int32_t t = kavelon_first_cell_from(&row, from); t < row.count && row.cell[t].col < to; t++)
        field[2 * (row.cell[t].col - from) + 1] = row.cell[t].code;
}

void write_line(FILE *out, const std::string &line) {
    std::fwrite(line.data(), 1, line.size(), out);
}

// A header line whose value may be absent: absent leaves an empty line.
void write_optional_value(FILE *out, const char *label, const char *value) {
    if (value != nullptr) {
        std::fprintf(out, "\"%s\",\" %s\"\n", label, doubled_quotes(value).c_str());
    } else {
        std::fprintf(out, "\n");
    }
}

void write_header(const KAVELON *dt, FILE *out, const char *stamp) {
    std::fprintf(out, "\"kavelon version\",\" %s\"\n", KAVELON_VERSION);
    std::fprintf(out, "\"kavelon version date\",\" %s\"\n", KAVELON_VERSION_DATE);
    write_optional_value(out, "XML Input Filename", dt->xml_filename);
    write_optional_value(out, "Design Process Name", dt->name);
    write_optional_value(out, "Version Number", dt->version);
    write_optional_value(out, "Version Date", dt->version_date);
    // An absent study name leaves no line at all.
    if (dt->study_name != nullptr) {
        std::fprintf(out, "\"Study Name\",\" %s\"\n", doubled_quotes(dt->study_name).c_str());
    }
    const std::string time = kavelon_stamp_text(stamp != nullptr ? stamp : "unknown");
    std::fprintf(out, "\"File Creation Time\",\" %s\"\n\n", time.c_str());
}

void write_heading_row(const KAVELON *dt, FILE *out) {
    // "Design data" in lower case, a blank inside every quoted field: fixed wording that callers rely on.
    std::string line = "\" Design Activity Number\",\" Design Activity\",\" Design data\",\" Block Number\",";
    line += "\" Subblock Number\",\" Predecessor Block Number\"";
    for (int j = 0; j < dt->n; j++) {
        append_format(line, ",\" %s\"", doubled_quotes(dt->design_data_name[j]).c_str());
    }
    line += " , ";
    for (int m = 0; m < dt->nQ; m++) {
        append_format(line, ",\" %s\"", doubled_quotes(dt->constraint_name[m]).c_str());
    }
    line += '\n';
    write_line(out, line);
}

// The diagonal cell of an activity row shows the row number, whatever the
// matrix holds there.
void write_activity_rows(const KAVELON *dt, FILE *out) {
    std::string line;
    for (int i = 0; i < dt->n; i++) {
        const ACTSTATE *s = dt->d[i];
        line.clear();
        append_format(line, " %3d,\" %s\" ,\" %s\",%d,%d,%d ", i,
                      doubled_quotes(dt->design_activity_name[i]).c_str(),
                      doubled_quotes(dt->design_data_name[i]).c_str(), s->block_order,
                      s->subblock_order, s->predecessor_block);
        append_codes(line, dt->P[i], 0, i);
        append_format(line, ",%d", i);
        append_codes(line, dt->P[i], i + 1, dt->n);
        line += " , ";
        append_codes(line, dt->Q[i], 0, dt->nQ);
        line += '\n';
        write_line(out, line);
    }
}

void write_output_rows(const KAVELON *dt, FILE *out) {
    std::string line;
    for (int k = 0; k < dt->nR; k++) {
        line.clear();
        // "Output " with its trailing blank, a blank before the comma: fixed wording callers rely on.
        append_format(line, " %3d,\" %s\" ,\" %s\",%d,%d,%d ", k, "Output ",
                      doubled_quotes(dt->output_name[k]).c_str(), 0, 0, 0);
        append_codes(line, dt->R[k], 0, dt->n);
        line += " , ";
        append_codes(line, dt->T[k], 0, dt->nQ);
        line += '\n';
        write_line(out, line);
    }
}

}  // namespace

int kavelon_write_csv_with_stamp(const KAVELON *dt, FILE *out, const char *stamp) {
    // Lines are put together in memory, one at a time; a line that cannot
    // be had ends the report with a message rather than the process.
    try {
        write_header(dt, out, stamp);
        write_heading_row(dt, out);
        write_activity_rows(dt, out);
        write_output_rows(dt, out);
    } catch (const std::bad_alloc &) {
        std::fputs(" *** ERROR: Out of memory for a line of the CSV report\n", stderr);
        return 1;
    }
    std::fprintf(out, "\n");
    // A write error stays on the stream, for the caller to report as it closes it.
    return std::ferror(out) != 0 ? 1 : 0;
}

int kavelon_write_csv(const KAVELON *dt, FILE *out) {
    char buf[26];
    return kavelon_write_csv_with_stamp(dt, out, kavelon_take_time_stamp(buf));
}
