#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <regex>
#include <string>

#include "report_fixture.h"

using namespace report_test;

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

const std::regex kShape(
    "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    "[ 1-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");

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

// The public writers take the stamp from the clock as their first action.
TEST_F(TimeStamp, EveryWriterCarriesTheCurrentTime) {
    Model m = example_model();
    KAVELON *dt = m.build();
    const Writer wrapped[] = {
        [](const KAVELON *r, FILE *out, const char *) { return kavelon_write_txt(const_cast<KAVELON *>(r), out); },
        [](const KAVELON *r, FILE *out, const char *) { return kavelon_write_csv(const_cast<KAVELON *>(r), out); },
        [](const KAVELON *r, FILE *out, const char *) { return kavelon_write_xml(const_cast<KAVELON *>(r), out); },
    };
    const char *const expected_line[] = {
        "File Creation Time  = @\n\n", "\"File Creation Time\",\" @\"\n\n",
        "<file_creation_time>@</file_creation_time>\n"};
    for (int k = 0; k < 3; k++) {
        const std::string report = write_report(wrapped[k], dt);
        std::smatch match;
        ASSERT_TRUE(std::regex_search(report, match, kShape)) << report;
        std::string line = expected_line[k];
        line.replace(line.find('@'), 1, match.str());
        EXPECT_NE(report.find(line), std::string::npos) << report;
    }
}
