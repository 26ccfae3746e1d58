// The whole SVG document that kavelon-svg writes for a report, as a string.
#ifndef KAVELON_TEST_PICTURE_OF_H
#define KAVELON_TEST_PICTURE_OF_H

#include <cstdio>
#include <cstdlib>
#include <string>

#include "svg.h"

inline std::string picture_of(const SVGREPORT &report) {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    kavelon_svg_write_picture(&report, out);
    std::fclose(out);
    std::string s(buffer, size);
    std::free(buffer);
    return s;
}

#endif
