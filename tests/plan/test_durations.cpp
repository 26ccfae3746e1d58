// Durations as the model builder reads them: only for a plan, the last of
// an activity's duration elements counting, 1 where there is none, and a
// bad one an error that still lets every other error be reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/model.h"
#include "test_util.h"

namespace {

struct Built {
    int result = -1;
    std::string err;
    std::vector<double> duration;  // empty when none were read
};

Built build(const char *text, int32_t plan) {
    Built b;
    KAVELON dt;
    kavelon_initialize(&dt);
    dt.plan = plan;
    const test_util::Read read = test_util::read_file(text);
    dt.root = read.first;
    testing::internal::CaptureStderr();
    b.result = kavelon_process_xml(&dt);
    b.err = testing::internal::GetCapturedStderr();
    if (dt.activity_duration != nullptr) b.duration.assign(dt.activity_duration, dt.activity_duration + dt.n);
    kavelon_release_tables(&dt);
    free_XMLENTITY(read.first);
    return b;
}

const char *const kThree =
    "<design_process>"
    "<design_activity><name>a</name><data>x</data><duration>4</duration><duration>2.5</duration></design_activity>"
    "<design_activity><name>b</name><data>y</data><strong>x</strong></design_activity>"
    "<design_activity><name>c</name><data>z</data><duration>0</duration></design_activity>"
    "</design_process>";

}  // namespace

TEST(Durations, ReadForAPlanOnlyTheLastCounting) {
    const Built planned = build(kThree, 1);
    EXPECT_EQ(planned.result, 0);
    EXPECT_EQ(planned.err, "");
    EXPECT_EQ(planned.duration, (std::vector<double>{2.5, 1, 0}));
    const Built plain = build(kThree, 0);
    EXPECT_EQ(plain.result, 0);
    EXPECT_TRUE(plain.duration.empty());
}

TEST(Durations, ABadOneIsCollectedWithTheOtherNamingErrors) {
    const Built b = build(
        "<design_process>"
        "<design_activity><name>a</name><data>x</data><strong>missing</strong><duration>1e3</duration></design_activity>"
        "<design_activity><name>b</name><data>y</data><duration>3</duration><duration>soon</duration></design_activity>"
        "<design_activity><name>c</name><data>z</data><duration>soon</duration><duration>3</duration></design_activity>"
        "</design_process>",
        1);
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.err,
              "*** ERROR: For design_activity (a) could not find (strong) data (missing)\n"
              "*** ERROR: For design_activity (a) invalid (duration) value (1e3)\n"
              "*** ERROR: For design_activity (b) invalid (duration) value (soon)\n");
    // Without a plan the durations are not read: a bad one stops nothing.
    EXPECT_EQ(build("<design_process><design_activity><name>a</name><data>x</data>"
                    "<duration>soon</duration></design_activity></design_process>",
                    0)
                  .result,
              0);
}
