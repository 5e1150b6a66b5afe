// Moments in local time, for tests of what is formatted or parsed in local time.
#pragma once

#include <ctime>

namespace testing_support {

// The broken-down local time with its weekday filled in.
inline std::tm LocalCalendar(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    std::mktime(&parts);
    return parts;
}

inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts = LocalCalendar(year, month, day, hour, minute, second);
    return std::mktime(&parts);
}

}  // namespace testing_support
