// The chooser: which reader a file is read with.
#include <strings.h>

#include <cerrno>
#include <cstring>

#include "input/input.h"

namespace {

// Whether a name ends in the suffix, in any case.
bool has_suffix(const char *name, const char *suffix) {
    const size_t length = std::strlen(name);
    const size_t wanted = std::strlen(suffix);
    return length >= wanted && strcasecmp(name + length - wanted, suffix) == 0;
}

}  // namespace

int kavelon_read_xml_file(KAVELON *dt) {
    if (dt == nullptr || dt->xml_filename == nullptr) return 1;
    // "-" is standard input, read as XML.
    if (std::strcmp(dt->xml_filename, "-") == 0) return kavelon_read_xml_document(dt, stdin);
    FILE *in = std::fopen(dt->xml_filename, "r");
    if (in == nullptr) {
        std::fprintf(stderr, " ***ERROR: unable to open xml file (%s): %s\n", dt->xml_filename, std::strerror(errno));
        return 1;
    }
    // Options for another kind of input are said to do nothing rather than
    // let them pass for applied.
    const bool csv = has_suffix(dt->xml_filename, ".csv");
    const bool workbook = has_suffix(dt->xml_filename, ".xlsx");
    if (dt->sheet_name != nullptr && !workbook)
        std::fprintf(stderr, " *** WARNING: -iSHEET applies to .xlsx workbooks only; ignored for (%s)\n", dt->xml_filename);
    if (dt->csv_separator != 0 && !csv)
        std::fprintf(stderr, " *** WARNING: -iSEP applies to CSV matrices only; ignored for (%s)\n", dt->xml_filename);
    if (dt->mark_minimum != 0 && !csv && !workbook)
        std::fprintf(stderr, " *** WARNING: -iMIN applies to CSV matrices and .xlsx workbooks only; ignored for (%s)\n",
                     dt->xml_filename);
    int result = 0;
    if (csv) {
        result = kavelon_read_csv_file(dt, in);
    } else if (workbook) {
        result = kavelon_read_xlsx_file(dt, in);
    } else {
        result = kavelon_read_xml_document(dt, in);
    }
    std::fclose(in);
    return result;
}
