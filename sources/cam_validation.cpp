#include "cam_validation.h"

#include "message_box.h"
#include "text_compare.h"

namespace sources {
namespace {

bool Reject(const std::string& text, platform::UINT style) {
    platform::MessageBox(nullptr, text.c_str(), "Kelvane Screen Saver", style);
    return false;
}

}  // namespace

bool ValidateCamName(std::string_view newName, std::string_view oldName, const std::vector<std::string>& otherNames) {
    if (newName.find_first_of("/\\:*?\"<>|") != std::string_view::npos)
        return Reject("A Cam Name cannot contain any of the following characters: \\/:*?\"<>| ", platform::MB_ICONSTOP);
    // Adding, or renaming to another spelling: no entry may carry the name, whatever its letter
    // case (the source's own entry included, so a change of case alone is refused too).
    if (oldName.empty() || newName != oldName) {
        for (const std::string& other : otherNames)
            if (platform::EqualsNoCase(other, newName))
                return Reject("Camera name already used. Please select another name.", platform::MB_ICONSTOP);
    }
    return true;
}

bool ValidateCamUrl(std::string_view url) {
    const bool streaming = url.substr(0, 7) == "rtsp://" || url.substr(0, 8) == "rtsps://";
    if (!streaming && (url.size() < 7 || url.substr(0, 4) != "http")) return Reject("The Cam URL must begin with http://", platform::MB_ICONSTOP);
    if (url.substr(url.size() - 5).find("htm") != std::string_view::npos)
        return Reject(std::string("You have entered the URL of a Web Page and not an image.\n") + kShownKinds +
                          "\nFor more information on finding Cam URLs please see\n     " + kCamUrlHelpPage + " ",
                      platform::MB_OK);
    return true;
}

std::string StorableCamUrl(std::string_view url) {
    std::string stored;
    for (char c : url) {
        if (c == '|') stored += "%7C";
        else stored += c;
    }
    return stored;
}

}  // namespace sources
