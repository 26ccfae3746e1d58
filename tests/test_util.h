// Helpers shared by the unit tests: output caught in a string, streams that
// deliver given bytes, and the entity tree the reader makes of a text.
#ifndef KAVELON_TESTS_TEST_UTIL_H
#define KAVELON_TESTS_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "xml/xmlentity.h"

namespace test_util {

// Everything `write` puts on the stream it is handed.
template <typename Write>
std::string written_by(Write write) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    EXPECT_NE(out, nullptr);
    if (out == nullptr) return "";
    write(out);
    std::fclose(out);
    std::string s(buf, len);
    std::free(buf);
    return s;
}

// What `run` writes to standard output.
template <typename Run>
std::string stdout_of(Run run) {
    testing::internal::CaptureStdout();
    run();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// A stream that delivers exactly the given bytes, NUL bytes included.
inline FILE *stream_of(const std::string &bytes) {
    FILE *in = std::tmpfile();
    EXPECT_NE(in, nullptr);
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), in), bytes.size());
    }
    std::rewind(in);
    return in;
}

// The chain of top-level entities read from the bytes, and the reader's flag.
struct Read {
    XMLENTITY *first;
    int flag;
};

inline Read read_file(const std::string &bytes, int incoming_flag = 0) {
    FILE *in = stream_of(bytes);
    Read read = {nullptr, incoming_flag};
    read.first = readfile_XMLENTITY(in, &read.flag);
    std::fclose(in);
    return read;
}

}  // namespace test_util

#endif
