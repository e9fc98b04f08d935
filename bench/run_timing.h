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
    long peakAnonKb;    // peak anonymous memory (RssAnon) when polled, otherwise 0
};

// Runs args[0] (looked up on PATH) with standard output and error in outPath.
RunResult TimeCommand(const std::vector<std::string>& args, const std::string& outPath);

// The same, and polls the command's anonymous memory every few milliseconds while it runs. The
// peak resident memory of a program that maps its input counts the mapped file's pages, which
// the page cache holds anyway; the anonymous part is what the program itself costs.
RunResult TimeCommandPollingMemory(const std::vector<std::string>& args,
                                   const std::string& outPath);

double Median(std::vector<double> values);

}  // namespace tarsel::bench
