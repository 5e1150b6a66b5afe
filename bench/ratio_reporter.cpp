#include "ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

namespace bench {
namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            // Single runs count as they are; with repetitions, their median.
            if (run.run_type == Run::RT_Iteration && run.repetitions <= 1) times_[run.run_name.function_name] = run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                times_[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }

    void printRatios() const {
        std::printf("\nRatios (ours / reference time; below 1 means ours is faster):\n");
        for (const auto& [name, time] : times_) {
            if (name.rfind("ours/", 0) != 0) continue;
            // "ours/NAME@VARIANT" is measured against "reference/NAME" too.
            const std::string rest = name.substr(5);
            auto reference = times_.find("reference/" + rest.substr(0, rest.find('@')));
            if (reference == times_.end() || reference->second <= 0) continue;
            std::printf("  %-52s %.3f\n", rest.c_str(), time / reference->second);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int RunWithRatios(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
