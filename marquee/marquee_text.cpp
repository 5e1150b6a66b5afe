#include "marquee_text.h"

#include "cam_list.h"
#include "marquee_format.h"

namespace marquee {

namespace {

class Line {
public:
    void add(const std::string& content, bool first = false) {
        if (!first && !text_.empty()) text_ += "- ";
        text_ += content;
        text_ += ' ';
    }
    std::string& text() { return text_; }

private:
    std::string text_;
};

}  // namespace

std::string ComposeMarqueeText(const saver::SaverSettings& s, const MarqueeMoment& moment) {
    std::tm local{};
    localtime_r(&moment.now, &local);
    Line line;
    if (s.ShowDate) line.add(FormatMarqueeDate(s.DateFormat, local), true);
    if (s.ShowTime) line.add(FormatMarqueeTime(s.TimeFormat, local));
    if (s.ShowFileName) line.add(s.CurrentCam);
    if (s.UsePath) line.add("Last Update: " + sources::GetCamField(s, s.CurrentCam, sources::kCamLastUpdate));
    if (s.UseExtension) line.add("Last Result: " + sources::GetCamField(s, s.CurrentCam, sources::kCamLastResult));
    if (s.ShowStatus) line.add(moment.status);
    if (s.ShowGetRight) line.add(moment.getRightText);
    if (s.ShowElapsedTime) line.add(FormatElapsedTime(moment.start, moment.now));
    if (s.ShowMillenniumCountDown) line.add(FormatMillenniumCountdown(moment.now));
    if (s.ShowPersonalMessage && !s.PersonalMessage.empty()) line.add(s.PersonalMessage);
    if (s.UseMovement == 0) line.text() += "          ";
    return std::move(line.text());
}

}  // namespace marquee
