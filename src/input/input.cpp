// The chooser: which reader a file is read with.
#include <strings.h>

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
    FILE *in = std::fopen(dt->xml_filename, "r");
    if (in == nullptr) {
        std::fprintf(stderr, " ***ERROR: unable to open xml file (%s)\n", dt->xml_filename);
        return 1;
    }
    int result = 0;
    if (has_suffix(dt->xml_filename, ".csv")) {
        result = kavelon_read_csv_file(dt, in);
    } else {
        result = kavelon_read_xml_document(dt, in);
    }
    std::fclose(in);
    return result;
}
