// The "About" page: the product, its version and licence, its maker, and two ways to the
// project's web site.
#pragma once

#include <functional>
#include <string>

#include "sheet_page.h"

namespace config {

// The address both buttons open.
constexpr const char* kMakerSite = "http://www.vessory.example/";

class CAboutBox : public SheetPage {
public:
    // opener opens a web address; 1 when a browser started.
    CAboutBox(SheetServices services, std::function<int(const std::string&)> opener);

    void LinkToYourWebsite();
    void VisitOurWebsite();

private:
    std::function<int(const std::string&)> opener_;
};

}  // namespace config
