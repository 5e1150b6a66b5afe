// What every program of the suite answers to "--help" and "--version".
#pragma once

namespace platform {

// The suite's version, as the build gives it.
const char* SuiteVersion();

// When the only argument is exactly "--help" or "--version", prints the usage text or
// "PROGRAM VERSION" on stdout and returns true: the program then ends with status 0. Any other
// command line is left to the program.
bool AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage);

}  // namespace platform
