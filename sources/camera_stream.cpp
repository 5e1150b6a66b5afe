#include "camera_stream.h"

#include <algorithm>
#include <cstdint>

#include "text_compare.h"

namespace sources {

using platform::EqualsNoCase;
using platform::StartsWithNoCase;

namespace {

// What may come before the first delimiter, and the header lines of one part.
constexpr std::size_t kMaxPreamble = 64 * 1024;
constexpr std::size_t kMaxPartHeaders = 16 * 1024;
// A longer boundary than any sender uses is no boundary (RFC 2046 allows 70 characters).
constexpr std::size_t kMaxBoundary = 200;
// A part's Content-Length above this is a lie whatever the picture limit is.
constexpr std::size_t kMaxPartLength = std::size_t(1) << 31;
// Spaces a delimiter line may carry after the boundary.
constexpr std::size_t kMaxDelimiterPadding = 64;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// A parameter value: a token, or a quoted string with backslash escapes.
std::string ParameterValue(std::string_view text) {
    text = Trimmed(text);
    if (text.empty() || text.front() != '"') return std::string(text);
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '"') return value;
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        value.push_back(text[i]);
    }
    return "";  // no closing quote
}

// The value of a "Content-Length" header line; nothing for another line, too much for a lie.
std::optional<std::size_t> PartLength(std::string_view line, bool& malformed) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(Trimmed(line.substr(0, colon)), "Content-Length"))
        return std::nullopt;
    const std::string_view digits = Trimmed(line.substr(colon + 1));
    std::size_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;  // not a length: the part ends at its delimiter
        value = value * 10 + std::size_t(c - '0');
        if (value > kMaxPartLength) {
            malformed = true;
            return std::nullopt;
        }
    }
    if (digits.empty()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> StreamBoundary(std::string_view contentType) {
    contentType = Trimmed(contentType);
    constexpr std::string_view kStreamType = "multipart/x-mixed-replace";
    if (!StartsWithNoCase(contentType, kStreamType)) return std::nullopt;
    std::string_view parameters = contentType.substr(kStreamType.size());
    if (!parameters.empty() && parameters.front() != ';' && parameters.front() != ' ' && parameters.front() != '\t')
        return std::nullopt;  // another type that starts alike
    std::string boundary;
    while (!parameters.empty()) {
        const std::size_t semicolon = parameters.find(';');
        const std::string_view parameter = parameters.substr(0, semicolon);
        parameters = semicolon == std::string_view::npos ? std::string_view() : parameters.substr(semicolon + 1);
        const std::size_t equals = parameter.find('=');
        if (equals != std::string_view::npos && EqualsNoCase(Trimmed(parameter.substr(0, equals)), "boundary")) {
            // A quoted boundary may hold a ";": the value runs on to its closing quote.
            std::string_view value = parameter.substr(equals + 1);
            if (!Trimmed(value).empty() && Trimmed(value).front() == '"' && semicolon != std::string_view::npos)
                value = std::string_view(value.data(), value.size() + 1 + parameters.size());
            boundary = ParameterValue(value);
            break;
        }
    }
    if (boundary.size() > kMaxBoundary || boundary.find_first_of("\r\n") != std::string::npos) boundary.clear();
    return boundary;
}

StreamOpening StreamOpeningOf(std::string_view received) {
    StreamOpening opening;
    if (received.size() < 2) return opening;
    if (received.substr(0, 2) != "--") {
        opening.kind = StreamOpening::Kind::Other;
        return opening;
    }
    const std::size_t lineEnd = received.find('\n');
    if (lineEnd == std::string_view::npos) {
        if (received.size() > kMaxBoundary + 2 + kMaxDelimiterPadding + 1) opening.kind = StreamOpening::Kind::Other;
        return opening;
    }
    std::string_view line = received.substr(2, lineEnd - 2);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view boundary = Trimmed(line);
    const bool printable = std::all_of(boundary.begin(), boundary.end(), [](char c) { return c >= 0x20 && c != 0x7F; });
    opening.kind = boundary.empty() || boundary.size() > kMaxBoundary || !printable ? StreamOpening::Kind::Other
                                                                                    : StreamOpening::Kind::Stream;
    if (opening.kind == StreamOpening::Kind::Stream) opening.boundary = std::string(boundary);
    return opening;
}

StreamPartReader::StreamPartReader(std::string boundary) : boundary_(std::move(boundary)) {}

std::optional<StreamPartReader::Delimiter> StreamPartReader::FindDelimiter(std::string_view received,
                                                                           std::size_t from) {
    const bool dashedBoundary = boundary_.compare(0, 2, "--") == 0;
    const auto atLineStart = [&](std::size_t at) { return at == 0 || received[at - 1] == '\n'; };
    std::size_t p = std::max(scanFrom_, from);
    while ((p = received.find(boundary_, p)) != std::string_view::npos) {
        Delimiter found;
        if (p >= from + 2 && received.substr(p - 2, 2) == "--" && atLineStart(p - 2)) found.start = p - 2;
        else if (dashedBoundary && p >= from && atLineStart(p)) found.start = p;
        else {
            ++p;
            continue;
        }
        // The rest of the line: "--" on a closing delimiter, spaces, then the line break.
        std::size_t q = p + boundary_.size();
        const auto incomplete = [&] {
            scanFrom_ = p;  // decided when more has come
            return std::nullopt;
        };
        if (q < received.size() && received[q] == '-') {
            if (q + 1 >= received.size()) return incomplete();
            if (received[q + 1] == '-') {
                found.closing = true;
                q += 2;
            }
        }
        const std::size_t paddingEnd = q + kMaxDelimiterPadding;
        while (q < received.size() && q < paddingEnd && (received[q] == ' ' || received[q] == '\t')) ++q;
        if (q < received.size() && received[q] == '\r') ++q;
        if (q >= received.size()) return incomplete();
        if (received[q] != '\n') {  // the boundary's text inside a longer line
            ++p;
            continue;
        }
        found.end = q + 1;
        return found;
    }
    // Every match that fits has been looked at; one may yet end in bytes still to come.
    if (received.size() >= boundary_.size()) scanFrom_ = std::max(scanFrom_, received.size() - boundary_.size() + 1);
    return std::nullopt;
}

void StreamPartReader::StartPartAfter(const Delimiter& delimiter) {
    phase_ = Phase::Headers;
    headersFrom_ = scanFrom_ = delimiter.end;
    bodyLength_.reset();
}

StreamPart StreamPartReader::Examine(std::string_view received) {
    if (boundary_.empty()) return {StreamPart::State::Malformed};
    while (true) {
        switch (phase_) {
        case Phase::Preamble: {
            const auto delimiter = FindDelimiter(received, 0);
            if (!delimiter) {
                if (received.size() > kMaxPreamble) return {StreamPart::State::Malformed};
                return {};
            }
            // Judged by where the delimiter line ends, so the verdict does not depend on how the
            // bytes were cut.
            if (delimiter->end > kMaxPreamble || delimiter->closing) return {StreamPart::State::Malformed};
            StartPartAfter(*delimiter);
            break;
        }
        case Phase::Headers:
            // Line by line up to the empty one; scanFrom_ is always at a line's start.
            while (phase_ == Phase::Headers) {
                const std::size_t lineEnd = received.find('\n', scanFrom_);
                if (lineEnd == std::string_view::npos) {
                    if (received.size() - headersFrom_ > kMaxPartHeaders) return {StreamPart::State::Malformed};
                    return {};
                }
                std::string_view line = received.substr(scanFrom_, lineEnd - scanFrom_);
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                scanFrom_ = lineEnd + 1;
                if (scanFrom_ - headersFrom_ > kMaxPartHeaders) return {StreamPart::State::Malformed};
                if (line.empty()) {
                    phase_ = Phase::Body;
                    bodyFrom_ = scanFrom_;
                    if (bodyLength_ == 0u) bodyLength_.reset();  // an empty part: passed over at its delimiter
                    break;
                }
                bool malformed = false;
                if (const auto length = PartLength(line, malformed)) bodyLength_ = length;
                if (malformed) return {StreamPart::State::Malformed};
            }
            break;
        case Phase::Body: {
            if (bodyLength_) {
                if (received.size() - bodyFrom_ < *bodyLength_) return {};
                return {StreamPart::State::Complete, bodyFrom_, *bodyLength_};
            }
            const auto delimiter = FindDelimiter(received, bodyFrom_);
            if (!delimiter) return {};
            // The line break before the delimiter belongs to it.
            std::size_t end = delimiter->start;
            if (end > bodyFrom_ && received[end - 1] == '\n') --end;
            if (end > bodyFrom_ && received[end - 1] == '\r') --end;
            if (end > bodyFrom_) return {StreamPart::State::Complete, bodyFrom_, end - bodyFrom_};
            if (delimiter->closing) return {StreamPart::State::Malformed};
            StartPartAfter(*delimiter);  // an empty part
            break;
        }
        }
    }
}

}  // namespace sources
