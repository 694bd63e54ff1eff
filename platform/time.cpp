#include "platform/time.h"

#include <stdlib.h>
#include <time.h>

namespace vaultra::platform {

int64_t CurrentTime() {
    return static_cast<int64_t>(::time(nullptr));
}

LocalDateTime ToLocalTime(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    LocalDateTime out;
    if (::localtime_r(&t, &tm) == nullptr) {
        return out;
    }
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    out.weekday = tm.tm_wday;
    return out;
}

int64_t FromLocalTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(::mktime(&tm));
}

std::string FormatLocalTime(int64_t seconds, const char* format) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    if (::localtime_r(&t, &tm) == nullptr) {
        return {};
    }
    char buffer[128];
    const size_t n = ::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

void SetTimeZone(const std::string& zone) {
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
}

}  // namespace vaultra::platform
