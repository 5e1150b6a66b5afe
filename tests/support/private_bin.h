// A folder of stand-in programs that is the whole PATH while it lives, so a test never reaches
// the real desktop's tools.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class PrivateBin {
public:
    explicit PrivateBin(const std::filesystem::path& folder);
    ~PrivateBin();
    PrivateBin(const PrivateBin&) = delete;
    PrivateBin& operator=(const PrivateBin&) = delete;

    // An executable shell script; the system's own tools stay reachable inside it.
    void script(const std::string& name, const std::string& body) const;
    const std::filesystem::path& path() const { return folder_; }

private:
    std::filesystem::path folder_;
    std::string oldPath_;
};

}  // namespace testing_support
