#include <gtest/gtest.h>

#include <string>

#include "camera_stream.h"

using namespace sources;

namespace {

// The first part found when the bytes come all at once, and again when they come one by one:
// both must agree, as the fetcher sees a stream block by block.
StreamPart FirstPart(const std::string& boundary, const std::string& bytes) {
    StreamPartReader whole(boundary);
    const StreamPart atOnce = whole.Examine(bytes);
    StreamPartReader piecemeal(boundary);
    StreamPart part;
    for (std::size_t size = 1; size <= bytes.size(); ++size) {
        part = piecemeal.Examine(std::string_view(bytes).substr(0, size));
        if (part.state != StreamPart::State::NeedMore) break;
    }
    EXPECT_EQ(int(part.state), int(atOnce.state)) << bytes;
    EXPECT_EQ(part.offset, atOnce.offset) << bytes;
    EXPECT_EQ(part.size, atOnce.size) << bytes;
    return atOnce;
}

std::string Body(const std::string& bytes, const StreamPart& part) {
    if (part.state != StreamPart::State::Complete) return "<" + std::to_string(int(part.state)) + ">";
    return bytes.substr(part.offset, part.size);
}

}  // namespace

TEST(CameraStreamTest, TheBoundaryComesFromAStreamsTypeOnly) {
    EXPECT_EQ(StreamBoundary("multipart/x-mixed-replace; boundary=frame"), "frame");
    EXPECT_EQ(StreamBoundary("Multipart/X-Mixed-Replace;Boundary=--myboundary"), "--myboundary");
    EXPECT_EQ(StreamBoundary("multipart/x-mixed-replace; charset=x; boundary=\"a;b \\\"c\\\"\""), "a;b \"c\"");
    EXPECT_EQ(StreamBoundary("multipart/x-mixed-replace"), "");
    EXPECT_EQ(StreamBoundary("multipart/x-mixed-replace; boundary=\"unclosed"), "");
    EXPECT_EQ(StreamBoundary("multipart/x-mixed-replace; boundary=" + std::string(201, 'b')), "");
    EXPECT_EQ(StreamBoundary("image/jpeg"), std::nullopt);
    EXPECT_EQ(StreamBoundary("multipart/x-mixed-replacement; boundary=frame"), std::nullopt);
}

TEST(CameraStreamTest, TheFirstPartWithABodyIsFoundHoweverTheStreamIsCut) {
    const std::string jpeg = "\xFF\xD8\xFF picture\r\n--frame inside, not a delimiter\r\n";
    const std::string part = "Content-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) + "\r\n\r\n" + jpeg;
    // With its length; after a preamble; with a bare line feed and padding on the delimiter.
    std::string bytes = "--frame\r\n" + part + "\r\n--frame\r\n";
    EXPECT_EQ(Body(bytes, FirstPart("frame", bytes)), jpeg);
    bytes = "preamble\r\n--frame  \n" + part;
    EXPECT_EQ(Body(bytes, FirstPart("frame", bytes)), jpeg);
    // Without a length the part ends at the next delimiter, its line break not included; an
    // empty part first is passed over; a boundary announced with its dashes is sent as it stands.
    bytes = "--frame\r\n\r\n--frame\r\nContent-Type: image/jpeg\r\n\r\nJPEG\r\n--frame--\r\n";
    EXPECT_EQ(Body(bytes, FirstPart("frame", bytes)), "JPEG");
    bytes = "--myboundary\r\nContent-Length: 0\r\n\r\n\r\n--myboundary\r\n\r\nJPEG\n--myboundary\r\n";
    EXPECT_EQ(Body(bytes, FirstPart("--myboundary", bytes)), "JPEG");
    EXPECT_EQ(Body(bytes, FirstPart("myboundary", bytes)), "JPEG");
    // The boundary's text inside a longer line is not a delimiter.
    bytes = "--frame\r\n\r\nJPEG\r\n--frameX\r\nmore\r\n--frame\r\n";
    EXPECT_EQ(Body(bytes, FirstPart("frame", bytes)), "JPEG\r\n--frameX\r\nmore");
    // Still waiting: a part shorter than its length, or one whose delimiter has not come.
    EXPECT_EQ(FirstPart("frame", "--frame\r\nContent-Length: 10\r\n\r\n12345").state, StreamPart::State::NeedMore);
    EXPECT_EQ(FirstPart("frame", "--frame\r\n\r\nJPEG\r\n--fra").state, StreamPart::State::NeedMore);
}

TEST(CameraStreamTest, AStreamWithoutAPictureOrWithEndlessHeadersIsMalformed) {
    EXPECT_EQ(FirstPart("frame", "--frame\r\n\r\n\r\n--frame--\r\n").state, StreamPart::State::Malformed);
    EXPECT_EQ(FirstPart("frame", "--frame--\r\n").state, StreamPart::State::Malformed);
    EXPECT_EQ(FirstPart("frame", std::string(70000, 'x')).state, StreamPart::State::Malformed);
    EXPECT_EQ(FirstPart("frame", "--frame\r\n" + std::string(17000, 'h')).state, StreamPart::State::Malformed);
    EXPECT_EQ(FirstPart("frame", "--frame\r\nContent-Length: 99999999999\r\n\r\n").state, StreamPart::State::Malformed);
    EXPECT_EQ(FirstPart("", "--\r\n\r\nJPEG\r\n--\r\n").state, StreamPart::State::Malformed);
}
