// Run control of kavelon-svg: the command line, reading the report, and
// writing the picture to standard output or to the "-o" file.
#include <new>

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

// The streams a run holds open, so that a run cut short by running out of
// memory still closes its files.
struct SVGFILES {
    FILE *in = nullptr;
    FILE *out = nullptr;
};

// Reads the report and writes its picture; returns the exit status. Throws
// std::bad_alloc when memory runs out, with the streams it opened in files.
int draw_report(const char *report_file, const char *output_file, const char *source, SVGFILES *files) {
    files->in = stdin;
    if (report_file != nullptr) {
        files->in = std::fopen(report_file, "r");
        if (files->in == nullptr) {
            std::fprintf(stderr, "kavelon-svg: cannot open report (%s)\n", source);
            return 1;
        }
    }
    int errflag = 0;
    XMLENTITY *top = readfile_XMLENTITY(files->in, &errflag);
    const bool unreadable = std::ferror(files->in) != 0;
    if (files->in != stdin) std::fclose(files->in);
    files->in = nullptr;
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
    files->out = stdout;
    if (output_file != nullptr) {
        files->out = std::fopen(output_file, "w");
        if (files->out == nullptr) {
            std::fprintf(stderr, "kavelon-svg: cannot open output file (%s)\n", output_file);
            return 1;
        }
    }
    kavelon_svg_write_picture(&report, files->out);
    FILE *out = files->out;
    files->out = nullptr;
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
            std::fprintf(stderr,
                         "kavelon-svg: unknown argument (%s); usage: kavelon-svg [REPORT.xml] [-oFILE]\n",
                         arg);
            return 1;
        }
    }
    const char *source = report_file != nullptr ? report_file : "standard input";
    // Every step from the report's records to the picture's texts takes its
    // memory as it goes; wherever it runs out, the run ends here with a
    // message instead of the process aborting. A picture cut short is never
    // passed off as complete: the status says it failed.
    SVGFILES files;
    try {
        return draw_report(report_file, output_file, source, &files);
    } catch (const std::bad_alloc &) {
        if (files.in != nullptr && files.in != stdin) std::fclose(files.in);
        if (files.out != nullptr && files.out != stdout) {
            std::fclose(files.out);
        } else if (files.out == stdout) {
            std::fflush(stdout);
        }
        std::fprintf(stderr, "kavelon-svg: out of memory (%s)\n", source);
        return 1;
    }
}
