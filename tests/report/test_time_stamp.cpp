#include <gtest/gtest.h>

#include <cstring>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "report/report.h"

namespace {

// Runs the tests of this file in a fixed time zone and puts the old one back.
class TimeStamp : public ::testing::Test {
protected:
    void SetUp() override {
        const char *tz = std::getenv("TZ");
        had_tz_ = tz != nullptr;
        if (had_tz_) old_tz_ = tz;
        use_zone("UTC");
    }
    void TearDown() override {
        if (had_tz_) {
            setenv("TZ", old_tz_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    static void use_zone(const char *zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    static std::string stamp_of(std::time_t clock, int expected_result = 0) {
        char buf[26];
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(kavelon_format_time_stamp(clock, buf), expected_result);
        return std::string(buf);
    }

private:
    bool had_tz_ = false;
    std::string old_tz_;
};

}  // namespace

// Local calendar time in a fixed zone; a time that cannot be converted, or
// needs a five-digit year, leaves the buffer empty and says so.
TEST_F(TimeStamp, CalendarTextOrNothing) {
    const struct {
        const char *zone;
        std::time_t clock;
        const char *stamp;
    } cases[] = {
        {"UTC", 0, "Thu Jan  1 00:00:00 1970\n"},
        {"UTC", 1234567890, "Fri Feb 13 23:31:30 2009\n"},
        {"UTC", 1000000000, "Sun Sep  9 01:46:40 2001\n"},
        {"UTC", 253402300799, "Fri Dec 31 23:59:59 9999\n"},
        {"EST5", 0, "Wed Dec 31 19:00:00 1969\n"},
        {"JST-9", 1234567890, "Sat Feb 14 08:31:30 2009\n"},
        {"UTC", -1, ""},
        {"UTC", 253402300800, ""},
        {"UTC", std::numeric_limits<std::time_t>::max(), ""},
    };
    for (const auto &c : cases) {
        use_zone(c.zone);
        EXPECT_EQ(stamp_of(c.clock, c.stamp[0] == '\0' ? 1 : 0), c.stamp) << c.zone << " " << c.clock;
    }
}

TEST_F(TimeStamp, ReadsTheClock) {
    char buf[26];
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(kavelon_time_stamp(buf), 0);
    const std::time_t after = std::time(nullptr);
    const std::string stamp = buf;
    EXPECT_TRUE(stamp == stamp_of(before) || stamp == stamp_of(after)) << stamp;
}
