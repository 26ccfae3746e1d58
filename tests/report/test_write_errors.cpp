// A writer whose stream fails says so by its status, for every format, so
// that a report cut short never passes for a whole one.
#include <gtest/gtest.h>

#include <cstdio>

#include "report/report.h"
#include "report/report_fixture.h"

namespace {

TEST(WriteErrors, EveryWriterReturnsOneWhenItsStreamFails) {
    report_test::Model m;
    m.activities = {{"a", "x", 1, 0, 0, "0S", "S"}, {"b", "y", 1, 0, 0, "W0", "0"}};
    m.constraints = {"c"};
    m.outputs = {{"o", "I0", "S"}};
    const KAVELON *dt = m.build();
    ASSERT_NE(dt, nullptr);
    using Writer = int (*)(const KAVELON *, FILE *);
    const Writer writers[] = {kavelon_write_txt, kavelon_write_csv, kavelon_write_xml, kavelon_write_dsm};
    for (size_t w = 0; w < sizeof writers / sizeof writers[0]; w++) {
        SCOPED_TRACE(w);
        FILE *good = std::tmpfile();
        ASSERT_NE(good, nullptr);
        EXPECT_EQ(writers[w](dt, good), 0);
        std::fclose(good);
        // Unbuffered, the first write already fails.
        FILE *full = std::fopen("/dev/full", "w");
        ASSERT_NE(full, nullptr);
        std::setvbuf(full, nullptr, _IONBF, 0);
        EXPECT_EQ(writers[w](dt, full), 1);
        std::fclose(full);
    }
}

}  // namespace
