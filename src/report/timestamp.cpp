// The time stamp every report carries. The text is put together here from the
// broken-down local time instead of with ctime or strftime, so that the day
// and month names are English whatever locale the process runs in.
#include <ctime>

#include "report/report.h"

namespace {

const char *const kWeekday[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const kMonth[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void put_name(char *at, const char *name) {
    at[0] = name[0];
    at[1] = name[1];
    at[2] = name[2];
}

// Two digits, the first a zero or, when asked, a blank for values below 10.
void put_two_digits(char *at, int value, char lead) {
    at[0] = value < 10 ? lead : static_cast<char>('0' + value / 10);
    at[1] = static_cast<char>('0' + value % 10);
}

}  // namespace

int kavelon_format_time_stamp(std::time_t clock, char buf[26]) {
    buf[0] = '\0';
    if (clock < 0) return 1;
    std::tm local{};
    if (localtime_r(&clock, &local) == nullptr) return 1;
    // The fixed 24-character form has room for four-digit years only.
    const long year = 1900L + local.tm_year;
    if (year < 1000 || year > 9999) return 1;
    if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11 ||
        local.tm_mday < 1 || local.tm_mday > 31 || local.tm_hour < 0 || local.tm_hour > 23 ||
        local.tm_min < 0 || local.tm_min > 59 || local.tm_sec < 0 || local.tm_sec > 60) {
        return 1;
    }
    put_name(buf, kWeekday[local.tm_wday]);
    buf[3] = ' ';
    put_name(buf + 4, kMonth[local.tm_mon]);
    buf[7] = ' ';
    put_two_digits(buf + 8, local.tm_mday, ' ');
    buf[10] = ' ';
    put_two_digits(buf + 11, local.tm_hour, '0');
    buf[13] = ':';
    put_two_digits(buf + 14, local.tm_min, '0');
    buf[16] = ':';
    put_two_digits(buf + 17, local.tm_sec, '0');
    buf[19] = ' ';
    put_two_digits(buf + 20, static_cast<int>(year / 100), '0');
    put_two_digits(buf + 22, static_cast<int>(year % 100), '0');
    buf[24] = '\n';
    buf[25] = '\0';
    return 0;
}

int kavelon_time_stamp(char buf[26]) {
    return kavelon_format_time_stamp(std::time(nullptr), buf);
}

const char *kavelon_take_time_stamp(char buf[26]) {
    return kavelon_time_stamp(buf) == 0 ? buf : nullptr;
}

std::string kavelon_stamp_text(const char *stamp) {
    std::string text = stamp;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}
