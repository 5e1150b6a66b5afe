#include "connectivity.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "clock.h"

namespace platform {
namespace {

std::mutex gMutex;
std::optional<bool> gOverride;
std::uint64_t gCheckedAt = 0;
bool gCached = false;
bool gEverChecked = false;

// /proc/net/route: a row with destination 00000000 on an interface other than "lo".
bool HasDefaultRoute() {
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line);  // the column names
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string interface, destination;
        fields >> interface >> destination;
        if (destination == "00000000" && interface != "lo") return true;
    }
    std::ifstream routes6("/proc/net/ipv6_route");
    while (std::getline(routes6, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, rest, interface;
        fields >> destination >> prefix;
        for (int i = 0; i < 7 && fields >> rest; ++i) interface = rest;
        fields >> interface;
        if (destination == std::string(32, '0') && prefix == "00" && interface != "lo") return true;
    }
    return false;
}

}  // namespace

bool IsOnline() {
    std::lock_guard lock(gMutex);
    if (gOverride) return *gOverride;
    if (const char* forced = std::getenv("KELVANE_ONLINE"); forced && *forced) return std::strcmp(forced, "0") != 0;
    const std::uint64_t now = Clock::instance().nowMicros();
    if (!gEverChecked || now - gCheckedAt >= 1000000) {
        gCached = HasDefaultRoute();
        gCheckedAt = now;
        gEverChecked = true;
    }
    return gCached;
}

void SetOnlineOverride(std::optional<bool> online) {
    std::lock_guard lock(gMutex);
    gOverride = online;
}

}  // namespace platform
