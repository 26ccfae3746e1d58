// A report that cannot have the memory for a line ends with one message and
// status 1, having written only whole lines, instead of ending the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "report/report.h"
#include "report/report_fixture.h"

namespace {
// While set, every allocation through operator new fails.
bool refuse_memory = false;
}  // namespace

void *operator new(std::size_t size) {
    if (refuse_memory) throw std::bad_alloc();
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

using report_test::Model;

// Names longer than a string holds without the heap, so that every line
// needs memory.
void fill(Model &m) {
    m.activities = {{"Size the main spar of the wing", "spar dimensions of the wing", 1, 0, 0, "0S", "W"},
                    {"Check the flutter margin of it", "flutter margin of the wing", 1, 0, 0, "S0", "0"}};
    m.constraints = {"maximum take-off weight"};
    m.outputs = {{"certification report for it", "0I", "S"}};
}

struct Written {
    int result;
    std::string report;
    std::string messages;
};

Written write_refusing(int (*writer)(const KAVELON *, FILE *), const KAVELON *dt, bool refuse) {
    Written w{0, "", ""};
    testing::internal::CaptureStderr();
    w.report = test_util::written_by([&](FILE *out) {
        refuse_memory = refuse;
        w.result = writer(dt, out);
        refuse_memory = false;
    });
    w.messages = testing::internal::GetCapturedStderr();
    return w;
}

TEST(WritersOutOfMemory, DsmTableEndsWithAMessageAndStatusOne) {
    Model m;
    fill(m);
    const KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    const Written whole = write_refusing(kavelon_write_dsm, dt, false);
    EXPECT_EQ(whole.result, 0);
    EXPECT_EQ(whole.messages, "");
    EXPECT_EQ(whole.report,
              ",spar dimensions of the wing,flutter margin of the wing,Activity,Block,Predecessor block,"
              "Constraint: maximum take-off weight\n"
              "spar dimensions of the wing,X,S,Size the main spar of the wing,1,0,W\n"
              "flutter margin of the wing,S,X,Check the flutter margin of it,1,0,\n"
              "Output: certification report for it,,I,,0,0,S\n"
              "Design Process Name,,,Wing study,0,0,\n"
              "Version Number,,,3,0,0,\n"
              "Version Date,,,2021-06-26,0,0,\n"
              "Study Name,,,Concept,0,0,\n");

    const Written refused = write_refusing(kavelon_write_dsm, dt, true);
    EXPECT_EQ(refused.result, 1);
    EXPECT_EQ(refused.messages, " *** ERROR: Out of memory for a line of the DSM report\n");
    EXPECT_EQ(refused.report, "");
}

TEST(WritersOutOfMemory, CsvAndXmlReportsEndWithAMessageAndStatusOne) {
    Model m;
    fill(m);
    const KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    for (const bool xml : {false, true}) {
        SCOPED_TRACE(xml ? "xml" : "csv");
        const auto writer = xml ? kavelon_write_xml : kavelon_write_csv;
        const Written whole = write_refusing(writer, dt, false);
        EXPECT_EQ(whole.result, 0);
        EXPECT_EQ(whole.messages, "");
        const Written refused = write_refusing(writer, dt, true);
        EXPECT_EQ(refused.result, 1);
        EXPECT_EQ(refused.messages, xml ? " *** ERROR: Out of memory for the XML report\n"
                                        : " *** ERROR: Out of memory for a line of the CSV report\n");
        // What came out before the failure is the start of the whole report,
        // up to the end of a line.
        EXPECT_EQ(whole.report.compare(0, refused.report.size(), refused.report), 0);
        EXPECT_TRUE(refused.report.empty() || refused.report.back() == '\n');
        EXPECT_LT(refused.report.size(), whole.report.size());
    }
}

// The text report puts nothing together that it cannot write piece by
// piece, so it comes out whole without memory.
TEST(WritersOutOfMemory, TxtReportComesOutWholeWithoutMemory) {
    Model m;
    fill(m);
    const KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    const Written whole = write_refusing(kavelon_write_txt, dt, false);
    const Written refused = write_refusing(kavelon_write_txt, dt, true);
    EXPECT_EQ(refused.result, 0);
    EXPECT_EQ(refused.messages, "");
    EXPECT_EQ(refused.report, whole.report);
}

}  // namespace
