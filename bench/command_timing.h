// Timing whole program runs for the benchmarks that compare Tarsel with grep.
#pragma once

#include <string>
#include <vector>

namespace tarsel::bench {

// Where a timed command's standard output (and error) goes; read it after the run.
inline constexpr const char* kCommandOutput = "/tmp/tarsel-bench-out";

struct RunResult {
    double seconds;
    long peakKb;  // the child's peak resident memory
    int status;
    double cpuSeconds = 0;  // user and system time of the child, all its threads
};

// Runs args (found on PATH) to its end.
RunResult TimeCommand(const std::vector<std::string>& args);

double Median(std::vector<double> values);

}  // namespace tarsel::bench
