// Run control: the command line, the fixed stage sequence and the report's
// output stream.
#include <cstdlib>
#include <cstring>

#include "driver/driver.h"
#include "model/model.h"
#include "ordering/ordering.h"
#include "report/report.h"
#include "xml/xmlentity.h"

namespace {

void print_banner() {
    std::fprintf(stdout, "\n KAVELON Version %s of %s\n\n", KAVELON_VERSION, KAVELON_VERSION_DATE);
    std::fprintf(stdout, " Orders the activities of a design process into blocks\n\n");
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
            } else {
                std::fprintf(stderr, " ***ERROR: Unknown File Format on command line (%s)\n", arg);
                return 1;
            }
        } else if (option == 'd') {
            dt->debug = 1;
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
            std::fprintf(stderr, " ****ERRROR: unknown argument (%s)\n", arg);
            return 1;
        }
    }
    if (dt->xml_filename == nullptr) {
        std::fprintf(stderr, " ***ERROR: xml file not specified on command line\n");
        return 1;
    }
    return 0;
}

int kavelon_read_xml_file(KAVELON *dt) {
    if (dt == nullptr || dt->xml_filename == nullptr) return 1;
    FILE *in = std::fopen(dt->xml_filename, "r");
    if (in == nullptr) {
        std::fprintf(stderr, " ***ERROR: unable to open xml file (%s)\n", dt->xml_filename);
        return 1;
    }
    int errflag = 0;
    dt->root = readfile_XMLENTITY(in, &errflag);
    std::fclose(in);
    if (dt->root == nullptr) return 1;
    if (errflag != 0) return 1;
    return 0;
}

void kavelon_write_debug_xml(KAVELON *dt) {
    FILE *out = std::fopen("debug.xml", "w");
    if (out == nullptr) {
        std::fprintf(stderr, " *** ERROR: Unable to open file debug.xml\n");
        std::exit(1);
    }
    print_XMLENTITY(out, dt->root, 1);
    // Closed at once, so the dump is complete whatever happens later.
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed) {
        std::fprintf(stderr, " *** ERROR: Unable to write file debug.xml\n");
        std::exit(1);
    }
}

int kavelon_write_output_file(KAVELON *dt) {
    FILE *out = stdout;
    if (dt->output_filename != nullptr) {
        out = std::fopen(dt->output_filename, "w");
        if (out == nullptr) {
            std::fprintf(stderr, " *** ERROR: Unable to open file (%s)\n", dt->output_filename);
            return 1;
        }
    }
    switch (dt->output_format) {
        case KAVELON_FORMAT_CSV: kavelon_write_csv(dt, out); break;
        case KAVELON_FORMAT_XML: kavelon_write_xml(dt, out); break;
        default: kavelon_write_txt(dt, out); break;
    }
    // A truncated report must not pass for a complete one.
    if (out != stdout) {
        const bool failed = std::ferror(out) != 0;
        if (std::fclose(out) != 0 || failed) {
            std::fprintf(stderr, " *** ERROR: Unable to write file (%s)\n", dt->output_filename);
            return 1;
        }
    } else if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, " *** ERROR: Unable to write file (standard output)\n");
        return 1;
    }
    return 0;
}

int kavelon_main(int argc, char **argv) {
    KAVELON dt;
    print_banner();
    if (kavelon_initialize(&dt) != 0) return stage_failed(" ***ERROR: kavelon_initialize()\n");
    if (kavelon_process_command_line(&dt, argc, argv) != 0)
        return stage_failed(" ***ERROR: kavelon_process_command_line()\n");
    if (kavelon_read_xml_file(&dt) != 0) return stage_failed(" ***ERROR: kavelon_read_xml_file()\n");
    if (dt.debug == 1) kavelon_write_debug_xml(&dt);
    if (kavelon_process_xml(&dt) != 0) return stage_failed(" ***ERROR: kavelon_process_xml()\n");
    // The debug trace shows every step of the block search, so only a debug
    // run takes the step-by-step operations; otherwise the fast ones give the
    // same result.
    const bool fast = dt.debug == 0;
    if ((fast ? kavelon_fast_identify_blocks_subblocks(&dt)
              : kavelon_identify_blocks_subblocks(&dt)) != 0)
        return stage_failed(" ***ERROR: kavelon_indentify_blocks_subblocks()\n");
    if ((fast ? kavelon_fast_sort_P(&dt) : kavelon_sort_P(&dt)) != 0)
        return stage_failed(" ***ERROR: kavelon_sort_P()\n");
    if (dt.debug == 1) kavelon_print_state(&dt, stdout);
    if ((fast ? kavelon_fast_identify_predecessor_blocks(&dt)
              : kavelon_identify_predecessor_blocks(&dt)) != 0)
        return stage_failed(" ***ERROR: kavelon_identify_predecessor_blocks()\n");
    if (dt.debug == 1) kavelon_print_state(&dt, stdout);
    if (kavelon_sequence_blocks(&dt) != 0) return stage_failed(" ***ERROR: kavelon_sequence_blocks()\n");
    if (kavelon_write_output_file(&dt) != 0)
        return stage_failed(" ***ERROR: kavelon_write_output_file()\n");
    return 0;
}
