// A camera's stream is outside input twice over: the Content-Type that names its boundary and the
// parts that follow. The input's first line is the type, the rest the stream. Read all at once
// or in the pieces the input's length suggests, the first part must be the same, and lie
// within the bytes read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "camera_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using sources::StreamPart;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // A body judged by its start: once decided, more bytes never change the judgement.
    const sources::StreamOpening opening = sources::StreamOpeningOf(input);
    if (opening.kind == sources::StreamOpening::Kind::Stream && opening.boundary.find_first_of("\r\n") != std::string::npos)
        std::abort();
    if (opening.kind != sources::StreamOpening::Kind::Undecided && size > 1 &&
        sources::StreamOpeningOf(input.substr(0, size - 1)).kind != sources::StreamOpening::Kind::Undecided &&
        sources::StreamOpeningOf(input.substr(0, size - 1)).kind != opening.kind)
        std::abort();
    const std::size_t lineEnd = input.find('\n');
    if (lineEnd == std::string_view::npos) return 0;
    const auto boundary = sources::StreamBoundary(input.substr(0, lineEnd));
    if (!boundary) return 0;
    if (boundary->find_first_of("\r\n") != std::string::npos) std::abort();
    const std::string_view stream = input.substr(lineEnd + 1);

    sources::StreamPartReader whole(*boundary);
    const StreamPart atOnce = whole.Examine(stream);
    if (atOnce.state == StreamPart::State::Complete &&
        (atOnce.size == 0 || atOnce.offset > stream.size() || atOnce.size > stream.size() - atOnce.offset))
        std::abort();

    // Pieces of a size from 1 to 61 bytes, as blocks come off a connection.
    const std::size_t piece = 1 + size % 61;
    sources::StreamPartReader piecemeal(*boundary);
    StreamPart part;
    std::size_t read = 0;
    do {
        read = std::min(stream.size(), read + piece);
        part = piecemeal.Examine(stream.substr(0, read));
    } while (part.state == StreamPart::State::NeedMore && read < stream.size());
    if (part.state != atOnce.state) std::abort();
    if (part.state == StreamPart::State::Complete && (part.offset != atOnce.offset || part.size != atOnce.size))
        std::abort();
    return 0;
}
