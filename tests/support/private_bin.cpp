#include "private_bin.h"

#include <cstdlib>
#include <fstream>

namespace testing_support {

namespace fs = std::filesystem;

PrivateBin::PrivateBin(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder_);
    oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", folder_.c_str(), 1);
}

PrivateBin::~PrivateBin() { ::setenv("PATH", oldPath_.c_str(), 1); }

void PrivateBin::script(const std::string& name, const std::string& body) const {
    const fs::path file = folder_ / name;
    std::ofstream(file) << "#!/bin/sh\nPATH=\"" << folder_.string() << ":/usr/bin:/bin\"\n" << body;
    fs::permissions(file, fs::perms::owner_all);
}

}  // namespace testing_support
