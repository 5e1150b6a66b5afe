// A private KELVANE_ROOT for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path userRegistry() const { return path_ / "config" / "user.reg"; }
    std::string readUserRegistry() const;

private:
    std::filesystem::path path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Drops everything waiting in the calling thread's queue.
void DrainQueue();

}  // namespace testing_support
