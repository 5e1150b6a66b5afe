// Runs the registered benchmarks and prints, for each pair "ours/NAME" and "reference/NAME",
// the ratio of their times: the figure the targets are stated in.
#pragma once

namespace bench {

int RunWithRatios(int argc, char** argv);

}  // namespace bench
