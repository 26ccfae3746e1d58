#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "report.h"

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

TEST_F(TimeStamp, KnownTimesGiveTheCalendarText) {
    EXPECT_EQ(stamp_of(0), "Thu Jan  1 00:00:00 1970\n");
    EXPECT_EQ(stamp_of(1234567890), "Fri Feb 13 23:31:30 2009\n");
    EXPECT_EQ(stamp_of(1000000000), "Sun Sep  9 01:46:40 2001\n");
    EXPECT_EQ(stamp_of(253402300799), "Fri Dec 31 23:59:59 9999\n");
}

TEST_F(TimeStamp, ConvertsToLocalTime) {
    use_zone("EST5");
    EXPECT_EQ(stamp_of(0), "Wed Dec 31 19:00:00 1969\n");
    use_zone("JST-9");
    EXPECT_EQ(stamp_of(1234567890), "Sat Feb 14 08:31:30 2009\n");
}

TEST_F(TimeStamp, UnconvertibleTimesLeaveTheBufferEmpty) {
    EXPECT_EQ(stamp_of(-1, 1), "");
    EXPECT_EQ(stamp_of(253402300800, 1), "");  // the year 10000 needs five digits
    EXPECT_EQ(stamp_of(std::numeric_limits<std::time_t>::max(), 1), "");
}

TEST_F(TimeStamp, NamesStayEnglishInAnotherLocale) {
    const char *const candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                      "es_ES.UTF-8", "nl_NL.UTF-8"};
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char *found = nullptr;
    for (const char *name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            found = name;
            break;
        }
    }
    if (found == nullptr) GTEST_SKIP() << "no other locale installed";
    const std::string stamp = stamp_of(1234567890);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(stamp, "Fri Feb 13 23:31:30 2009\n") << "in locale " << found;
}

TEST_F(TimeStamp, ReadsTheClock) {
    char buf[26];
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(kavelon_time_stamp(buf), 0);
    const std::time_t after = std::time(nullptr);
    const std::string stamp = buf;
    EXPECT_TRUE(stamp == stamp_of(before) || stamp == stamp_of(after)) << stamp;
}
