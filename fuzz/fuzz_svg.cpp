// Fuzz target of kavelon-svg: arbitrary bytes are the report, read as the
// program reads it and drawn into /dev/null. Whatever the bytes, the picture
// is drawn or the report refused with a message, and nothing is read out of
// bounds. The program never releases the report's tree; the target does, so
// that a leak of anything else is still caught. The messages of refused
// reports go to standard error; when fuzzing, -close_fd_mask=2 drops them
// while libFuzzer's and the sanitizers' reports still come through.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "svg/svg.h"

namespace {
FILE *sink = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    sink = std::fopen("/dev/null", "w");
    return sink == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // fmemopen does not take an empty buffer; an empty input is /dev/null.
    FILE *in = size > 0 ? fmemopen(const_cast<uint8_t *>(data), size, "r") : std::fopen("/dev/null", "r");
    if (in == nullptr) return 0;
    int errflag = 0;
    XMLENTITY *top = readfile_XMLENTITY(in, &errflag);
    std::fclose(in);
    XMLENTITY *root = top;
    while (root != nullptr && root->type != XMLENTITY_ELEMENT) root = root->next;
    SVGREPORT report;
    if (errflag == 0 && root != nullptr && kavelon_svg_read_report(root, "fuzz input", &report) == 0) {
        kavelon_svg_write_picture(&report, sink);
    }
    free_XMLENTITY(top);
    return 0;
}
