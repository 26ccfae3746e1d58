// Fuzz target: arbitrary bytes are read as an input file, every top-level
// entity is printed as the debug dump would print it, and the tree is
// released. The reader's trace is switched on (into /dev/null) so that its
// format strings are exercised as well.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "xml/xmlentity.h"

namespace {
FILE *sink = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    sink = std::fopen("/dev/null", "w");
    if (sink == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    xml_verbose_on();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // fmemopen does not take an empty buffer; an empty input is /dev/null.
    FILE *in = size > 0 ? fmemopen(const_cast<uint8_t *>(data), size, "r") : std::fopen("/dev/null", "r");
    if (in == nullptr) return 0;
    int errflag = 0;
    XMLENTITY *first = readfile_XMLENTITY(in, &errflag);
    std::fclose(in);
    for (XMLENTITY *e = first; e != nullptr; e = e->next) print_XMLENTITY(sink, e, 1);
    if (first != nullptr) {
        lowercase_XMLENTITY(first, 1);
        find_XMLENTITY(first, "a");
    }
    free_XMLENTITY(first);
    return 0;
}
