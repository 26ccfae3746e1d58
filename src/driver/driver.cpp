// Run control: the command line, the fixed stage sequence and the report's
// output stream.
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/driver.h"
#include "input/input.h"
#include "model/model.h"
#include "ordering/ordering.h"
#include "sequence/sequence.h"
#include "report/report.h"
#include "xml/xmlentity.h"

namespace {

void print_banner() {
    std::fprintf(stdout, "\n KAVELON Version %s of %s\n\n", KAVELON_VERSION, KAVELON_VERSION_DATE);
    std::fprintf(stdout, " Orders the activities of a design process into blocks\n\n");
}

// Whether writing `path` would replace the input file: the same file by
// device and inode, however either name is spelled. Only a regular file is
// lost that way; a device such as /dev/null may be both.
bool is_input_file(const KAVELON *dt, const char *path) {
    struct stat input;
    struct stat output;
    if (dt->xml_filename == nullptr || path == nullptr) return false;
    if (stat(dt->xml_filename, &input) != 0 || stat(path, &output) != 0) return false;
    return S_ISREG(input.st_mode) && input.st_dev == output.st_dev && input.st_ino == output.st_ino;
}

// Flushes, checks and closes an output; standard output is flushed and
// checked but stays open. False when anything written to it may be lost, so
// that a truncated file never passes for a complete one.
bool close_checked(FILE *out) {
    if (out == stdout) return std::fflush(out) == 0 && std::ferror(out) == 0;
    const bool failed = std::ferror(out) != 0;
    return std::fclose(out) == 0 && !failed;
}

// A threshold for numeric marks: a decimal number, its point a '.' or ',',
// with an exponent if need be; false for anything else.
bool threshold(const char *text, double *value) {
    std::string number;
    bool digits = false;
    bool point = false;
    const char *s = text;
    for (; (*s >= '0' && *s <= '9') || ((*s == '.' || *s == ',') && !point); s++) {
        point = point || *s == '.' || *s == ',';
        digits = digits || (*s >= '0' && *s <= '9');
        number += *s == ',' ? '.' : *s;
    }
    if (digits && (*s == 'e' || *s == 'E')) {
        number += *s++;
        if (*s == '+' || *s == '-') number += *s++;
        if (*s < '0' || *s > '9') return false;
        while (*s >= '0' && *s <= '9') number += *s++;
    }
    if (!digits || *s != '\0') return false;
    *value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(*value);
}

// "-iSHEET=NAME" (a workbook's sheet), "-iSEP=X" (the CSV separator: one
// character, or TAB) and "-iMIN=V" (the threshold of numeric marks); false
// for anything else, or a value that cannot be one.
bool input_option(KAVELON *dt, const char *value) {
    if (std::strncmp(value, "SHEET=", 6) == 0 && value[6] != '\0') {
        dt->sheet_name = xmlcopystring(value + 6);
        return true;
    }
    if (std::strncmp(value, "SEP=", 4) == 0) {
        const char *sep = value + 4;
        if (std::strcmp(sep, "TAB") == 0) {
            dt->csv_separator = '\t';
            return true;
        }
        // A quote starts a quoted cell and a line end ends a row; neither
        // can part cells.
        if (sep[0] == '\0' || sep[1] != '\0' || sep[0] == '"' || sep[0] == '\n' || sep[0] == '\r') return false;
        dt->csv_separator = static_cast<unsigned char>(sep[0]);
        return true;
    }
    if (std::strncmp(value, "MIN=", 4) == 0) return threshold(value + 4, &dt->mark_minimum);
    return false;
}

// Ends the run after a failed stage: one line naming the stage.
int stage_failed(const char *message) {
    std::fputs(message, stderr);
    return 1;
}

}  // namespace

int kavelon_process_command_line(KAVELON *dt, int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (arg[0] != '-') {
            if (dt->xml_filename != nullptr) {
                std::fprintf(stderr,
                             " ***ERROR: xml file defined multiple times on command line (%s) (%s)\n",
                             dt->xml_filename, arg);
                return 1;
            }
            dt->xml_filename = xmlcopystring(arg);
            continue;
        }
        // Options are glued to their values: "-oFILE", "-fCSV".
        const char option = arg[1];
        const char *value = (option != '\0') ? arg + 2 : arg + 1;
        if (option == 'o') {
            dt->output_filename = xmlcopystring(value);
        } else if (option == 'f') {
            if (std::strncmp(value, "TXT", 3) == 0) {
                dt->output_format = KAVELON_FORMAT_TXT;
            } else if (std::strncmp(value, "CSV", 3) == 0) {
                dt->output_format = KAVELON_FORMAT_CSV;
            } else if (std::strncmp(value, "XML", 3) == 0) {
                dt->output_format = KAVELON_FORMAT_XML;
            } else if (std::strncmp(value, "DSM", 3) == 0) {
                dt->output_format = KAVELON_FORMAT_DSM;
            } else if (std::strncmp(value, "XLSX", 4) == 0) {
                dt->output_format = KAVELON_FORMAT_XLSX;
            } else {
                std::fprintf(stderr, " ***ERROR: Unknown File Format on command line (%s)\n", arg);
                return 1;
            }
        } else if (option == 'i') {
            if (!input_option(dt, value)) {
                std::fprintf(stderr, " ***ERROR: Unknown Input Option on command line (%s)\n", arg);
                return 1;
            }
        } else if (option == 'd') {
            dt->debug = 1;
        } else if (option == 't') {
            dt->transpose = 1;
        } else if (option == 'w') {
            dt->warnings = 1;
        } else if (option == 's') {
            // "-s" leaves the fewest inputs to assume, "-sDIST" the shortest feedback.
            if (value[0] == '\0') {
                dt->sequence = KAVELON_SEQUENCE_INPUTS;
            } else if (std::strcmp(value, "DIST") == 0) {
                dt->sequence = KAVELON_SEQUENCE_DISTANCE;
            } else {
                std::fprintf(stderr, " ***ERROR: Unknown Sequencing Objective on command line (%s)\n", arg);
                return 1;
            }
        } else {
            // Four stars and "ERRROR" as spelt: fixed wording that callers rely on.
            std::fprintf(stderr, " ****ERRROR: unknown argument (%s)\n", arg);
            return 1;
        }
    }
    if (dt->xml_filename == nullptr) {
        std::fprintf(stderr, " ***ERROR: xml file not specified on command line\n");
        return 1;
    }
    // A workbook is a zip archive, written where it can be sought in.
    if (dt->output_format == KAVELON_FORMAT_XLSX && dt->output_filename == nullptr) {
        std::fprintf(stderr, " ***ERROR: -fXLSX needs -oFILE: a workbook is not written to standard output\n");
        return 1;
    }
    return 0;
}

void kavelon_write_debug_xml(KAVELON *dt) {
    if (is_input_file(dt, "debug.xml")) {
        std::fprintf(stderr, " *** ERROR: debug.xml is the input file (%s); not overwritten\n",
                     dt->xml_filename);
        std::exit(1);
    }
    FILE *out = std::fopen("debug.xml", "w");
    if (out == nullptr) {
        std::fprintf(stderr, " *** ERROR: Unable to open file debug.xml\n");
        std::exit(1);
    }
    print_XMLENTITY(out, dt->root, 1);
    // Closed at once, so the dump is complete whatever happens later.
    if (!close_checked(out)) {
        std::fprintf(stderr, " *** ERROR: Unable to write file debug.xml\n");
        std::exit(1);
    }
}

namespace {

// The workbook: the file is opened here, as every report's is, so that one
// that cannot be written is named alike; libxlsxwriter then writes it whole
// when the workbook is closed.
int write_workbook(KAVELON *dt) {
    if (is_input_file(dt, dt->output_filename)) {
        std::fprintf(stderr, " *** ERROR: Output file (%s) is the input file (%s); not overwritten\n",
                     dt->output_filename, dt->xml_filename);
        return 1;
    }
    FILE *out = std::fopen(dt->output_filename, "w");
    if (out == nullptr) {
        std::fprintf(stderr, " *** ERROR: Unable to open file (%s)\n", dt->output_filename);
        return 1;
    }
    std::fclose(out);
    return kavelon_write_xlsx(dt, dt->output_filename);
}

}  // namespace

int kavelon_write_output_file(KAVELON *dt) {
    if (dt->output_format == KAVELON_FORMAT_XLSX && dt->output_filename != nullptr) return write_workbook(dt);
    FILE *out = stdout;
    if (dt->output_filename != nullptr) {
        // Checked before the open, which would empty the file.
        if (is_input_file(dt, dt->output_filename)) {
            std::fprintf(stderr, " *** ERROR: Output file (%s) is the input file (%s); not overwritten\n",
                         dt->output_filename, dt->xml_filename);
            return 1;
        }
        out = std::fopen(dt->output_filename, "w");
        if (out == nullptr) {
            std::fprintf(stderr, " *** ERROR: Unable to open file (%s)\n", dt->output_filename);
            return 1;
        }
        // The matrix lines of a large model run to hundreds of megabytes;
        // written a few kilobytes per system call, they would cost more
        // than putting them together. The run writes one report.
        static char buffer[1 << 18];
        std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
    }
    // The one place that chooses the writer; any unknown format writes text.
    int written = 0;
    switch (dt->output_format) {
        case KAVELON_FORMAT_CSV: written = kavelon_write_csv(dt, out); break;
        case KAVELON_FORMAT_XML: written = kavelon_write_xml(dt, out); break;
        case KAVELON_FORMAT_DSM: written = kavelon_write_dsm(dt, out); break;
        default: written = kavelon_write_txt(dt, out); break;
    }
    const bool to_stdout = out == stdout;
    if (!close_checked(out)) {
        if (to_stdout) {
            std::fprintf(stderr, " *** ERROR: Unable to write file (standard output)\n");
        } else {
            std::fprintf(stderr, " *** ERROR: Unable to write file (%s)\n", dt->output_filename);
        }
        return 1;
    }
    // A writer that stopped short has said why.
    return written != 0 ? 1 : 0;
}

int kavelon_main(int argc, char **argv) {
    KAVELON dt;
    // The command line writes nothing on standard output, so the banner
    // still comes first there; it is left out only where it would spoil a
    // matrix written to standard output for another program.
    if (kavelon_initialize(&dt) != 0) {
        print_banner();
        return stage_failed(" ***ERROR: kavelon_initialize()\n");
    }
    const int command_line = kavelon_process_command_line(&dt, argc, argv);
    if (command_line != 0 || dt.output_format != KAVELON_FORMAT_DSM || dt.output_filename != nullptr)
        print_banner();
    if (command_line != 0) return stage_failed(" ***ERROR: kavelon_process_command_line()\n");
    if (kavelon_read_xml_file(&dt) != 0) return stage_failed(" ***ERROR: kavelon_read_xml_file()\n");
    if (kavelon_debug_on(&dt)) kavelon_write_debug_xml(&dt);
    if (kavelon_process_xml(&dt) != 0) return stage_failed(" ***ERROR: kavelon_process_xml()\n");
    // The debug trace shows every step of the block search, so only a debug
    // run takes the step-by-step operations; otherwise the fast ones give the
    // same result.
    const bool fast = !kavelon_debug_on(&dt);
    // "indentify" as spelt in the stage line: fixed wording that callers rely on.
    if ((fast ? kavelon_fast_identify_blocks_subblocks(&dt)
              : kavelon_identify_blocks_subblocks(&dt)) != 0)
        return stage_failed(" ***ERROR: kavelon_indentify_blocks_subblocks()\n");
    if ((fast ? kavelon_fast_sort_P(&dt) : kavelon_sort_P(&dt)) != 0)
        return stage_failed(" ***ERROR: kavelon_sort_P()\n");
    if (kavelon_debug_on(&dt)) kavelon_print_state(&dt, stdout);
    if ((fast ? kavelon_fast_identify_predecessor_blocks(&dt)
              : kavelon_identify_predecessor_blocks(&dt)) != 0)
        return stage_failed(" ***ERROR: kavelon_identify_predecessor_blocks()\n");
    if (kavelon_debug_on(&dt)) kavelon_print_state(&dt, stdout);
    if (kavelon_sequence_blocks(&dt) != 0) return stage_failed(" ***ERROR: kavelon_sequence_blocks()\n");
    if (kavelon_write_output_file(&dt) != 0)
        return stage_failed(" ***ERROR: kavelon_write_output_file()\n");
    return 0;
}
