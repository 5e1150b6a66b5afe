// Test helper: writes COUNT values named PREFIX-N into HKEY_CURRENT_USER\Software\Test, printing
// "done N" once each write has returned.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "registry.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: registry_writer PREFIX COUNT\n");
        return 2;
    }
    const std::string prefix = argv[1];
    const int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        platform::RegKey key;
        if (platform::RegCreateKey(platform::HKEY_CURRENT_USER, "Software\\Test", key.out()) != platform::ERROR_SUCCESS)
            return 1;
        const std::string name = prefix + "-" + std::to_string(i);
        if (platform::RegWriteDword(key.get(), name.c_str(), platform::DWORD(i)) != platform::ERROR_SUCCESS) return 1;
        std::printf("done %d\n", i);
        std::fflush(stdout);
    }
    return 0;
}
