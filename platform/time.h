// Local calendar time with the C library's rules (time zone from TZ, daylight saving decided by the library).
#pragma once

#include <cstdint>
#include <string>

namespace vaultra::platform {

// Broken-down local time. month 1..12, weekday 0 = Sunday .. 6 = Saturday.
struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;
};

// Seconds since 1 January 1970 UTC.
int64_t CurrentTime();

// The local calendar fields of a point in time.
LocalDateTime ToLocalTime(int64_t seconds);

// The point in time of a local date and time, normalised like mktime: fields out of range roll over
// (day 31 of April is 1 May, month 13 is January of the next year) and daylight saving is the library's
// choice.
int64_t FromLocalTime(int year, int month, int day, int hour, int minute, int second);

// strftime of the local time; empty when the format yields nothing.
std::string FormatLocalTime(int64_t seconds, const char* format);

// Selects the time zone for this process (e.g. "Europe/Berlin"), as the TZ variable would at start.
void SetTimeZone(const std::string& zone);

}  // namespace vaultra::platform
