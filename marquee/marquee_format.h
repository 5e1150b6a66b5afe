// The pieces of the marquee line that are formatted from times and from the download manager's
// answers. Month and weekday names are English and the designators AM and PM whatever the
// user's locale; a '#' after '%' drops leading zeros.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace marquee {

// strftime's directives %a %A %b %B %d %H %I %m %M %p %S %y %Y %%, with the '#' flag.
std::string FormatCalendar(std::string_view format, const std::tm& time);

// Index 0-5 into the date formats, 0-3 into the time formats; other indices give "".
std::string FormatMarqueeDate(int index, const std::tm& time);
std::string FormatMarqueeTime(int index, const std::tm& time);

// %D whole days, %H %M %S two-digit hours, minutes, seconds within their unit; other characters
// copied.
std::string FormatTimeSpan(std::string_view format, long long seconds);

std::string FormatElapsedTime(std::time_t start, std::time_t now);
std::string FormatMillenniumCountdown(std::time_t now);

// One download-manager item as shown: " / " before all but the first, then fields 1 and 3.
std::string FormatGetRightItem(std::string_view item, bool first);

}  // namespace marquee
