#include "program_info.h"

#include <cstdio>
#include <cstring>

namespace platform {

const char* SuiteVersion() { return KELVANE_VERSION; }

bool AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage) {
    if (argc != 2) return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", program, SuiteVersion());
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return true;
    }
    return false;
}

}  // namespace platform
