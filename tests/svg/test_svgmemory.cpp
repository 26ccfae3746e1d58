// kavelon-svg when memory runs out: wherever an allocation fails, from the
// reading of the report's records to the last text of the picture, the run
// ends with one line on standard error and status 1, and what it wrote is
// the start of the picture it would have drawn, never anything else.
//
// This binary replaces the global operator new, which is why it is a binary
// of its own and not part of the shared unit tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "svg/svg.h"

namespace {

// While armed, allocations are counted, and the one numbered fail_from and
// every one after it fail, as when memory has run out for good.
bool armed = false;
size_t allocations = 0;
size_t fail_from = static_cast<size_t>(-1);

}  // namespace

void *operator new(std::size_t size) {
    if (armed && allocations++ >= fail_from) throw std::bad_alloc();
    if (void *p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// The deletes free what the operator new above took from malloc. Once g++ 12
// inlines them into a caller it sees only the pair "operator new, free" and
// warns of a mismatch (in optimised builds); the pair is matched here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

std::string file_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool file_exists(const std::string &path) {
    std::FILE *f = std::fopen(path.c_str(), "r");
    if (f != nullptr) std::fclose(f);
    return f != nullptr;
}

// A report's time stamp written as the end-to-end cases expect it.
std::string stamped(const std::string &text) {
    static const std::regex stamp("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}");
    return std::regex_replace(text, stamp, "@TIMESTAMP@");
}

struct RUN {
    int status;
    std::string out;  // standard output
    std::string err;  // standard error
    size_t allocations;
};

// Runs kavelon-svg with the arguments, the allocation numbered fail
// and every later one failing.
RUN run_svg(std::vector<std::string> args, size_t fail) {
    std::vector<char *> argv;
    args.insert(args.begin(), "kavelon-svg");
    for (std::string &a : args) argv.push_back(&a[0]);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    allocations = 0;
    fail_from = fail;
    armed = true;
    const int status = kavelon_svg_main(static_cast<int>(argv.size()), argv.data());
    armed = false;
    const size_t made = allocations;
    std::fflush(stdout);
    RUN r{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr(), made};
    return r;
}

// The allocations to fail, out of total: each of the first ones, where the
// report's records are made, then a spread over the rest, the last included.
std::vector<size_t> failure_points(size_t total) {
    std::vector<size_t> points;
    for (size_t k = 0; k < total && k < 100; k++) points.push_back(k);
    const size_t step = std::max<size_t>(1, total / 150);
    for (size_t k = 100; k < total; k += step) points.push_back(k);
    if (total > 0) points.push_back(total - 1);
    return points;
}

const std::string CASES = KAVELON_SVG_E2E_CASES;

TEST(SvgOutOfMemory, AnyFailedAllocationEndsTheRunWithAMessageToAFile) {
    // A sequenced report and one with outputs and constraints, with the
    // pictures their end-to-end cases expect.
    const std::vector<std::pair<std::string, std::string>> reports = {
        {CASES + "/svg_sequenced_blocks/stdin", CASES + "/svg_sequenced_blocks/stdout"},
        {CASES + "/svg_mixed_to_file/stdin", CASES + "/svg_mixed_to_file/expected/matrix.svg"},
    };
    char dir_template[] = "/tmp/kavelon-svg-memory.XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string picture_file = std::string(dir_template) + "/matrix.svg";
    for (const auto &report : reports) {
        SCOPED_TRACE(report.first);
        const std::vector<std::string> args = {report.first, "-o" + picture_file};
        const RUN whole = run_svg(args, static_cast<size_t>(-1));
        ASSERT_EQ(whole.status, 0) << whole.err;
        EXPECT_EQ(whole.err, "");
        const std::string picture = file_text(picture_file);
        ASSERT_EQ(stamped(picture), file_text(report.second));
        ASSERT_GT(whole.allocations, 100u);

        const std::string message = "kavelon-svg: out of memory (" + report.first + ")\n";
        for (const size_t fail : failure_points(whole.allocations)) {
            SCOPED_TRACE(fail);
            std::remove(picture_file.c_str());
            const RUN cut = run_svg(args, fail);
            EXPECT_EQ(cut.status, 1);
            EXPECT_EQ(cut.err, message);
            EXPECT_EQ(cut.out, "");
            // The file is opened once the report is read; what it holds then
            // is the picture's start, every byte put before memory ran out.
            if (file_exists(picture_file)) {
                const std::string written = file_text(picture_file);
                EXPECT_EQ(written, picture.substr(0, written.size()));
                EXPECT_LT(written.size(), picture.size());
            }
        }
    }
    std::remove(picture_file.c_str());
    rmdir(dir_template);
}

TEST(SvgOutOfMemory, PictureOnStandardOutputStopsWhereMemoryRanOut) {
    const std::string report = CASES + "/svg_sequenced_blocks/stdin";
    const RUN whole = run_svg({report}, static_cast<size_t>(-1));
    ASSERT_EQ(whole.status, 0);
    const std::string &picture = whole.out;
    ASSERT_EQ(stamped(picture), file_text(CASES + "/svg_sequenced_blocks/stdout"));
    // Late in the drawing, when part of the picture has been put.
    const RUN cut = run_svg({report}, whole.allocations - whole.allocations / 10);
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "kavelon-svg: out of memory (" + report + ")\n");
    EXPECT_FALSE(cut.out.empty());
    EXPECT_LT(cut.out.size(), picture.size());
    EXPECT_EQ(cut.out, picture.substr(0, cut.out.size()));
}

}  // namespace
