#include "retry_after.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "profile.h"

namespace sources {
namespace {
constexpr const char* kSection = "Retry After";
}

std::optional<long> ParseRetryAfter(std::string_view value, std::time_t now) {
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    if (value.empty()) return std::nullopt;
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        long seconds = 0;
        for (char c : value) {
            seconds = seconds * 10 + (c - '0');
            if (seconds >= kLongestRetryAfterSeconds) return kLongestRetryAfterSeconds;
        }
        return seconds;
    }
    // The date form, as HTTP writes dates whatever the language: "Sun, 06 Nov 1994 08:49:37 GMT".
    static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::string text(value);
    char weekday[4] = {}, month[4] = {};
    std::tm parts{};
    int used = 0;
    if (std::sscanf(text.c_str(), "%3[A-Za-z], %2d %3[A-Za-z] %4d %2d:%2d:%2d GMT%n", weekday, &parts.tm_mday, month,
                    &parts.tm_year, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &used) != 7 ||
        used != int(text.size()))
        return std::nullopt;
    const size_t monthAt = kMonths.find(month);
    if (std::strlen(month) != 3 || monthAt == std::string_view::npos || monthAt % 3 != 0) return std::nullopt;
    parts.tm_mon = int(monthAt / 3);
    parts.tm_year -= 1900;
    const std::time_t when = timegm(&parts);
    return std::clamp<long>(long(when - now), 0, kLongestRetryAfterSeconds);
}

std::time_t StoredRetryNotBefore(const std::string& url) {
    if (url.empty()) return 0;
    const std::string stored = platform::GetProfileString(kSection, url.c_str(), "");
    return std::time_t(std::strtoll(stored.c_str(), nullptr, 10));
}

void StoreRetryNotBefore(const std::string& url, std::time_t notBefore) {
    if (url.empty() || notBefore == StoredRetryNotBefore(url)) return;
    platform::WriteProfileString(kSection, url.c_str(), notBefore ? std::to_string(notBefore) : std::string());
}

}  // namespace sources
