// A desktop of the test's own: XDG_CURRENT_DESKTOP names it, its settings tools are stand-ins on
// a private PATH that write down every call and keep their settings in plain files, and there is
// no X display unless the test gives one. The real desktop is never touched.
#pragma once

#include <filesystem>
#include <string>

#include "private_bin.h"

namespace testing_support {

class StandInDesktop {
public:
    // An empty name leaves XDG_CURRENT_DESKTOP unset.
    StandInDesktop(const std::filesystem::path& folder, const std::string& name);
    ~StandInDesktop();
    StandInDesktop(const StandInDesktop&) = delete;
    StandInDesktop& operator=(const StandInDesktop&) = delete;

    // gsettings keeping "schema key=value" lines; xfconf-query keeping "property=value" lines.
    void gsettings(const std::string& initialSettings) const;
    void xfconfQuery(const std::string& initialSettings) const;
    // qdbus reaching a Plasma shell whose first desktop shows the picture address.
    void qdbus(const std::string& shownImage) const;
    // A tool that only writes down its arguments.
    void recorder(const std::string& name) const;
    // A tool that writes down its arguments and fails.
    void failing(const std::string& name) const;

    // Every call, one line each: the tool's name and its arguments.
    std::string calls() const;
    // The settings a stand-in keeps ("gsettings" or "xfconf-query").
    std::string settings(const std::string& tool) const;

private:
    // A stand-in that writes down its call, then runs the body.
    void tool(const std::string& name, const std::string& body) const;
    // One that also keeps "name=value" lines in a file of its own ($store), with put, drop and get.
    void storeTool(const std::string& name, const std::string& initialSettings, const std::string& body) const;

    std::filesystem::path folder_;
    PrivateBin bin_;
    std::string oldDesktop_, oldDisplay_;
    bool hadDesktop_ = false, hadDisplay_ = false;
};

}  // namespace testing_support
