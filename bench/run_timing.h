// Timing a whole run of another program: wall time, processor time and peak memory.
#pragma once

#include <string>
#include <vector>

namespace tarsel::bench {

struct RunResult {
    double seconds;     // wall time
    double cpuSeconds;  // user and system time
    long peakKb;        // peak resident memory
    int status;         // exit status, -1 when it did not exit normally or did not start
};

// Runs args[0] (looked up on PATH) with standard output and error in outPath.
RunResult TimeCommand(const std::vector<std::string>& args, const std::string& outPath);

double Median(std::vector<double> values);

}  // namespace tarsel::bench
