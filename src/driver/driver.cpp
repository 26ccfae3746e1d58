// Run control: the command line, the fixed stage sequence and the report's
// output stream.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "input/input.h"
#include "model/model.h"
#include "ordering/ordering.h"
#include "sequence/sequence.h"
#include "plan/plan_report.h"
#include "plan/what_if.h"
#include "report/report.h"
#include "xml/xmlentity.h"

namespace {

void print_banner() {
    std::fprintf(stdout, "\n KAVELON Version %s of %s\n\n", KAVELON_VERSION, KAVELON_VERSION_DATE);
    std::fprintf(stdout, " Orders the activities of a design process into blocks\n\n");
}

// Every option the program takes, for "-h" and "--help".
const char kUsage[] =
    "Usage: kavelon INPUT [options]\n"
    "  INPUT           the design process: an XML file, a CSV matrix (a name ending\n"
    "                  in .csv), an .xlsx workbook, or - for an XML file on standard\n"
    "                  input; XML in UTF-8, US-ASCII, ISO-8859-1 or Windows-1252\n"
    "  -oFILE          write the report to FILE instead of standard output\n"
    "  -fTXT, -fCSV, -fXML, -fDSM, -fXLSX\n"
    "                  report format: text (the default), CSV, XML, the partitioned\n"
    "                  matrix as a CSV table, or a workbook (needs -o)\n"
    "  -s, -sDIST      sequence the activities inside each block: fewest inputs to\n"
    "                  assume, or smallest feedback distance\n"
    "  -sTIME=SECONDS  time limit of the integer program for each block\n"
    "  -p              plan: levels, all predecessors, durations, critical path\n"
    "  -pITER=F        the plan's iteration factor\n"
    "  -xW, -xI, -xWI  what-if: weak, ICD, or both, dependencies count as strong\n"
    "  -iSHEET=NAME    the sheet of an .xlsx input to read\n"
    "  -iSEP=X         the separator of a CSV input: one character, or TAB\n"
    "  -iMIN=V         the least number that counts as a mark in a matrix input\n"
    "  -t              a matrix input has the providers in its rows\n"
    "  -w              warn of suspicious input\n"
    "  -d              debug mode: dump the input to debug.xml, trace every step\n"
    "  -h, --help      this text\n"
    "  --version       the version line\n"
    "Options and their values are not separated by a blank.\n";

// "-h", "--help" and "--version" answer at once, whatever else the command
// line holds: 1 when one of them was given and answered.
int answer_help(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 1;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fprintf(stdout, "kavelon %s of %s\n", KAVELON_VERSION, KAVELON_VERSION_DATE);
            return 1;
        }
    }
    return 0;
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

// The most seconds "-sTIME=" takes: a day.
constexpr int kMostSeconds = 86400;

// A time limit in whole seconds, digits only, 0 to kMostSeconds.
bool parse_seconds(const char *text, int32_t *seconds) {
    if (text[0] == '\0') return false;
    int32_t value = 0;
    for (const char *c = text; *c != '\0'; c++) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + (*c - '0');
        if (value > kMostSeconds) return false;
    }
    *seconds = value;
    return true;
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
        // A lone "-" names standard input.
        if (arg[0] != '-' || arg[1] == '\0') {
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
            if (value[0] == '\0') {
                std::fprintf(stderr, " ***ERROR: no file name after -o on command line (%s); write -oFILE\n", arg);
                return 1;
            }
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
                std::fprintf(stderr,
                             " ***ERROR: Unknown File Format on command line (%s); valid are -fTXT, -fCSV, -fXML, "
                             "-fDSM and -fXLSX\n",
                             arg);
                return 1;
            }
        } else if (option == 'i') {
            if (!input_option(dt, value)) {
                std::fprintf(stderr, " ***ERROR: Unknown Input Option on command line (%s); valid are -iSHEET=NAME, -iSEP=X and -iMIN=V\n", arg);
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
            } else if (std::strncmp(value, "TIME=", 5) == 0) {
                // The integer program's limit per block; alone it asks for "-s".
                if (!parse_seconds(value + 5, &dt->sequence_seconds)) {
                    std::fprintf(stderr,
                                 " ***ERROR: Bad Sequencing Time Limit on command line (%s): "
                                 "whole seconds from 0 to %d\n",
                                 arg, kMostSeconds);
                    return 1;
                }
                dt->sequence_seconds_given = 1;
                if (dt->sequence == KAVELON_SEQUENCE_NONE) dt->sequence = KAVELON_SEQUENCE_INPUTS;
            } else {
                std::fprintf(stderr,
                             " ***ERROR: Unknown Sequencing Objective on command line (%s); valid are -s, -sDIST "
                             "and -sTIME=SECONDS\n",
                             arg);
                return 1;
            }
        } else if (option == 'p') {
            // "-p" makes the plan; "-pITER=F" with F passes over each coupled block.
            if (std::strncmp(value, "ITER=", 5) == 0) {
                double factor = 0.0;
                if (kavelon_read_plan_number(value + 5, &factor) != 0 || !(factor > 0.0)) {
                    std::fprintf(stderr, " ***ERROR: Invalid Iteration Factor on command line (%s): a number above 0, as in -pITER=2\n", arg);
                    return 1;
                }
                dt->iteration_factor = factor;
            } else if (value[0] != '\0') {
                std::fprintf(stderr, " ***ERROR: Unknown Plan Option on command line (%s); valid are -p and -pITER=F\n", arg);
                return 1;
            }
            dt->plan = 1;
        } else if (option == 'x') {
            // "-xW", "-xI", "-xWI": weak, ICD or both count as strong.
            int32_t what_if = KAVELON_WHATIF_NONE;
            for (const char *v = value; *v != '\0'; v++) {
                if (*v == 'W') {
                    what_if |= KAVELON_WHATIF_WEAK;
                } else if (*v == 'I') {
                    what_if |= KAVELON_WHATIF_ICD;
                } else {
                    what_if = KAVELON_WHATIF_NONE;
                    break;
                }
            }
            if (what_if == KAVELON_WHATIF_NONE) {
                std::fprintf(stderr, " ***ERROR: Unknown What-if Variant on command line (%s); valid are -xW, -xI and -xWI\n", arg);
                return 1;
            }
            dt->what_if = what_if;
        } else {
            // Four stars and "ERRROR" as spelt: fixed wording that callers rely on.
            std::fprintf(stderr, " ****ERRROR: unknown argument (%s); kavelon -h lists the valid ones\n", arg);
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
            std::fprintf(stderr, " *** ERROR: Unable to open file (%s): %s\n", dt->output_filename,
                         std::strerror(errno));
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
    if (answer_help(argc, argv) != 0) return 0;
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
    // A what-if variant orders the process with its dependencies made
    // strong; the reports get them back as the input gives them.
    std::vector<KAVPROMOTED> promoted;
    if (dt.what_if != KAVELON_WHATIF_NONE && kavelon_promote_what_if(&dt, dt.what_if, &promoted) != 0) {
        std::fputs(" *** ERROR: Out of memory for the what-if variant\n", stderr);
        return stage_failed(" ***ERROR: kavelon_promote_what_if()\n");
    }
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
    if (kavelon_restore_what_if(&dt, promoted) != 0) {
        std::fputs(" *** ERROR: Out of memory for the what-if variant\n", stderr);
        return stage_failed(" ***ERROR: kavelon_restore_what_if()\n");
    }
    if (kavelon_plan_blocks(&dt) != 0) return stage_failed(" ***ERROR: kavelon_plan_blocks()\n");
    if (kavelon_write_output_file(&dt) != 0)
        return stage_failed(" ***ERROR: kavelon_write_output_file()\n");
    return 0;
}
