// Run control of kavelon-svg: the command line, reading the report, and
// writing the picture to standard output or to the "-o" file.
#include "svg/svg.h"

namespace {

// The report's root: the first element among the top-level entities (an XML
// declaration or a comment may come before it).
XMLENTITY *first_element(XMLENTITY *top) {
    for (XMLENTITY *e = top; e != nullptr; e = e->next) {
        if (e->type == XMLENTITY_ELEMENT) return e;
    }
    return nullptr;
}

}  // namespace

int kavelon_svg_main(int argc, char **argv) {
    const char *report_file = nullptr;
    const char *output_file = nullptr;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (arg[0] != '-') {
            if (report_file != nullptr) {
                std::fprintf(stderr, "kavelon-svg: more than one report named (%s) (%s)\n", report_file, arg);
                return 1;
            }
            report_file = arg;
        } else if (arg[1] == 'o') {
            output_file = arg + 2;  // glued to the option, as in kavelon: "-omatrix.svg"
        } else {
            std::fprintf(stderr, "kavelon-svg: unknown argument (%s); usage: kavelon-svg [REPORT.xml] [-oFILE]\n",
                         arg);
            return 1;
        }
    }

    const char *source = report_file != nullptr ? report_file : "standard input";
    FILE *in = stdin;
    if (report_file != nullptr) {
        in = std::fopen(report_file, "r");
        if (in == nullptr) {
            std::fprintf(stderr, "kavelon-svg: cannot open report (%s)\n", source);
            return 1;
        }
    }
    int errflag = 0;
    XMLENTITY *top = readfile_XMLENTITY(in, &errflag);
    const bool unreadable = std::ferror(in) != 0;
    if (in != stdin) std::fclose(in);
    if (unreadable) {
        std::fprintf(stderr, "kavelon-svg: cannot read report (%s)\n", source);
        return 1;
    }
    if (errflag != 0) {
        std::fprintf(stderr, "kavelon-svg: report is not well-formed XML (%s)\n", source);
        return 1;
    }
    XMLENTITY *root = first_element(top);
    if (root == nullptr) {
        std::fprintf(stderr, "kavelon-svg: report holds no XML element (%s)\n", source);
        return 1;
    }
    SVGREPORT report;
    if (kavelon_svg_read_report(root, source, &report) != 0) return 1;

    // The output is opened only now, so that a bad report leaves an existing
    // file untouched.
    FILE *out = stdout;
    if (output_file != nullptr) {
        out = std::fopen(output_file, "w");
        if (out == nullptr) {
            std::fprintf(stderr, "kavelon-svg: cannot open output file (%s)\n", output_file);
            return 1;
        }
    }
    kavelon_svg_write_picture(&report, out);
    bool failed = std::ferror(out) != 0;
    if (out != stdout) {
        failed = std::fclose(out) != 0 || failed;
    } else {
        failed = std::fflush(stdout) != 0 || failed;
    }
    if (failed) {
        std::fprintf(stderr, "kavelon-svg: cannot write picture (%s)\n",
                     output_file != nullptr ? output_file : "standard output");
        return 1;
    }
    return 0;
}
