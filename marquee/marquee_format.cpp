#include "marquee_format.h"

#include <array>
#include <cstdio>

namespace marquee {

namespace {

constexpr std::array<const char*, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",   "May",      "June",
                                                 "July",    "August",   "September", "October", "November", "December"};

constexpr std::array<const char*, 6> kDateFormats = {"%b.%#d,%Y",    "%B %#d, %Y",   "%A, %B %#d, %Y",
                                                     "%a. %b.%#d,%Y", "%#m/%#d/%y", "%a %#m/%#d/%y"};
constexpr std::array<const char*, 4> kTimeFormats = {"%#I:%M %p", "%H:%M", "%#I:%M:%S %p", "%H:%M:%S"};

void AppendNumber(std::string& out, int value, bool dropZeros) {
    char digits[16];
    std::snprintf(digits, sizeof digits, dropZeros ? "%d" : "%02d", value);
    out += digits;
}

template <size_t N>
const char* NameOf(const std::array<const char*, N>& names, int index) {
    return index >= 0 && size_t(index) < N ? names[size_t(index)] : "?";
}

}  // namespace

std::string FormatCalendar(std::string_view format, const std::tm& time) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out.push_back(format[i]);
            continue;
        }
        char directive = format[++i];
        const bool dropZeros = directive == '#' && i + 1 < format.size();
        if (dropZeros) directive = format[++i];
        const int hour12 = time.tm_hour % 12 == 0 ? 12 : time.tm_hour % 12;
        switch (directive) {
        case 'a': out.append(std::string_view(NameOf(kWeekdays, time.tm_wday)).substr(0, 3)); break;
        case 'A': out += NameOf(kWeekdays, time.tm_wday); break;
        case 'b': out.append(std::string_view(NameOf(kMonths, time.tm_mon)).substr(0, 3)); break;
        case 'B': out += NameOf(kMonths, time.tm_mon); break;
        case 'd': AppendNumber(out, time.tm_mday, dropZeros); break;
        case 'H': AppendNumber(out, time.tm_hour, dropZeros); break;
        case 'I': AppendNumber(out, hour12, dropZeros); break;
        case 'm': AppendNumber(out, time.tm_mon + 1, dropZeros); break;
        case 'M': AppendNumber(out, time.tm_min, dropZeros); break;
        case 'S': AppendNumber(out, time.tm_sec, dropZeros); break;
        case 'y': AppendNumber(out, (time.tm_year + 1900) % 100, dropZeros); break;
        case 'Y': AppendNumber(out, time.tm_year + 1900, true); break;
        case 'p': out += time.tm_hour < 12 ? "AM" : "PM"; break;
        case '%': out.push_back('%'); break;
        default:
            out.push_back('%');
            out.push_back(directive);
            break;
        }
    }
    return out;
}

std::string FormatMarqueeDate(int index, const std::tm& time) {
    if (index < 0 || size_t(index) >= kDateFormats.size()) return {};
    return FormatCalendar(kDateFormats[size_t(index)], time);
}

std::string FormatMarqueeTime(int index, const std::tm& time) {
    if (index < 0 || size_t(index) >= kTimeFormats.size()) return {};
    std::string text = FormatCalendar(kTimeFormats[size_t(index)], time);
    if (index == 0 && !text.empty() && text[0] == '0') text.erase(0, 1);
    return text;
}

std::string FormatTimeSpan(std::string_view format, long long seconds) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out.push_back(format[i]);
            continue;
        }
        const char directive = format[++i];
        char digits[32];
        switch (directive) {
        case 'D': std::snprintf(digits, sizeof digits, "%lld", seconds / 86400); break;
        case 'H': std::snprintf(digits, sizeof digits, "%02lld", seconds / 3600 % 24); break;
        case 'M': std::snprintf(digits, sizeof digits, "%02lld", seconds / 60 % 60); break;
        case 'S': std::snprintf(digits, sizeof digits, "%02lld", seconds % 60); break;
        default: std::snprintf(digits, sizeof digits, "%%%c", directive); break;
        }
        out += digits;
    }
    return out;
}

namespace {

// A unit appears once the span reaches it; the seconds always do.
std::string SpanWithUnits(long long span, const char* days, const char* hours, const char* minutes) {
    std::string text;
    if (span / 86400 > 0) text += FormatTimeSpan(days, span);
    if (span / 3600 > 0) text += FormatTimeSpan(hours, span);
    if (span / 60 > 0) text += FormatTimeSpan(minutes, span);
    text += FormatTimeSpan("%Ss", span);
    return text;
}

}  // namespace

std::string FormatElapsedTime(std::time_t start, std::time_t now) {
    return "Gone for: " + SpanWithUnits(static_cast<long long>(now - start), "%Dd", "%Hh", "%Mm");
}

std::string FormatMillenniumCountdown(std::time_t now) {
    std::tm target{};
    target.tm_year = 100;
    target.tm_mon = 0;
    target.tm_mday = 1;
    target.tm_isdst = -1;
    const long long span = static_cast<long long>(std::mktime(&target)) - static_cast<long long>(now);
    if (span < 0) return "The New Millennium is here! Don't wait for the next! :-)";
    return "Millennium Countdown: " + SpanWithUnits(span, "%Dd:", "%Hh:", "%Mm:");
}

std::string FormatGetRightItem(std::string_view item, bool first) {
    std::string text = first ? "" : " / ";
    const size_t bar1 = item.find('|');
    const size_t bar2 = bar1 == std::string_view::npos ? bar1 : item.find('|', bar1 + 1);
    const size_t bar3 = bar2 == std::string_view::npos ? bar2 : item.find('|', bar2 + 1);
    if (bar1 != std::string_view::npos) text.append(item.substr(0, bar1));
    text.push_back(' ');
    if (bar3 != std::string_view::npos) text.append(item.substr(bar2 + 1, bar3 - bar2 - 1));
    return text;
}

}  // namespace marquee
