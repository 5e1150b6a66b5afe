// A camera's stream: an answer of type multipart/x-mixed-replace whose parts are pictures, one
// after another for as long as the connection stays open. A source that is a stream shows its
// first whole picture; the connection is closed once that part has come.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sources {

// For a Content-Type of multipart/x-mixed-replace, the boundary it names (quoted or not; "" when
// it names none usable); nothing for any other type.
std::optional<std::string> StreamBoundary(std::string_view contentType);

// A body sent without a telling type (application/octet-stream, as some stream servers label
// their streams), judged by its first line: a stream opens with a delimiter line, which names its
// boundary. Undecided until that line has come.
struct StreamOpening {
    enum class Kind { Undecided, Stream, Other };
    Kind kind = Kind::Undecided;
    std::string boundary;
};
StreamOpening StreamOpeningOf(std::string_view received);

// Where the first part stands in the bytes received so far.
struct StreamPart {
    enum class State { NeedMore, Complete, Malformed };
    State state = State::NeedMore;
    std::size_t offset = 0;  // the part's body, when Complete
    std::size_t size = 0;
};

// Finds the first part with a body in a stream's bytes as they arrive. A part ends at its
// Content-Length, or without one at the next delimiter line. Delimiters are "--" followed by the
// boundary, or the boundary alone when it already starts with "--" (as many cameras send it).
// Empty parts are passed over; a stream that closes before any part, or whose preamble or part
// headers run on without end, is malformed.
class StreamPartReader {
public:
    explicit StreamPartReader(std::string boundary);
    // received: every byte of the body so far, the earlier ones as they were at the last call.
    // Each call only looks at what is new, so reading a stream block by block stays linear.
    StreamPart Examine(std::string_view received);

private:
    enum class Phase { Preamble, Headers, Body };
    struct Delimiter {
        std::size_t start = 0;  // the delimiter line's first byte
        std::size_t end = 0;    // just past its line break
        bool closing = false;   // "--boundary--": no part follows
    };
    // The first delimiter line starting at or after from; nothing when none is complete yet.
    std::optional<Delimiter> FindDelimiter(std::string_view received, std::size_t from);
    void StartPartAfter(const Delimiter& delimiter);

    std::string boundary_;
    Phase phase_ = Phase::Preamble;
    std::size_t scanFrom_ = 0;     // where the search of the current phase goes on
    std::size_t headersFrom_ = 0;  // the current part's first header byte
    std::size_t bodyFrom_ = 0;
    std::optional<std::size_t> bodyLength_;
};

}  // namespace sources
