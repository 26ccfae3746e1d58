// The whole SVG document that kavelon-svg writes for a report, as a string.
#ifndef KAVELON_TEST_PICTURE_OF_H
#define KAVELON_TEST_PICTURE_OF_H

#include <cstdio>
#include <string>

#include "svg/svg.h"
#include "test_util.h"

inline std::string picture_of(const SVGREPORT &report) {
    return test_util::written_by([&report](FILE *out) { kavelon_svg_write_picture(&report, out); });
}

#endif
