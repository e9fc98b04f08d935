// tarsel-bench-queries: whole `tarsel-search --decoded` runs of queries on an archive of
// today's mail mix in which the word stands in over half of the mails, against grep -c -F
// counting the word's UTF-8 bytes, alternating them: a folded one-word query and a
// three-word query with one word excluded, each with its target ratio.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/run_timing.h"

namespace {

constexpr const char* kCommandOutput = "/tmp/tarsel-bench-query-out";

struct Timed {
    std::string label;
    std::vector<std::string> args;
    double target;  // the ratio to grep's time that the run must stay within
    std::vector<double> times;
    std::string counters;  // the first lines of its output
};

std::string FirstLines(int lines) {
    std::ifstream in(kCommandOutput);
    std::string text, line;
    for (int i = 0; i < lines && std::getline(in, line); ++i) {
        text += (i == 0 ? "" : ", ") + line;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(
            stderr,
            "usage: tarsel-bench-queries TARSEL-SEARCH ARCHIVE WORD OTHER EXCLUDED [RUNS]\n");
        return 2;
    }
    const std::string tool = argv[1], archive = argv[2], word = argv[3];
    const std::string other = argc > 4 ? argv[4] : "会議";
    const std::string excluded = argc > 5 ? argv[5] : "請求";
    const int runs = argc > 6 ? std::max(1, std::atoi(argv[6])) : 5;
    std::vector<double> grepTimes;
    std::vector<Timed> queries = {
        {"one folded word", {tool, "--decoded", "--page", "1", archive, word}, 4.0, {}, {}},
        {"three words, one excluded",
         {tool, "--decoded", "--page", "1", archive, word + " " + other + " -" + excluded},
         6.0,
         {},
         {}},
    };
    for (int i = 0; i < runs; ++i) {
        grepTimes.push_back(
            tarsel::bench::TimeCommand({"grep", "-c", "-F", "--", word, archive}, kCommandOutput)
                .seconds);
        for (Timed& query : queries) {
            query.times.push_back(tarsel::bench::TimeCommand(query.args, kCommandOutput).seconds);
            query.counters = FirstLines(3);
        }
    }
    const double grep = tarsel::bench::Median(grepTimes);
    std::ifstream loadavg("/proc/loadavg");
    std::string one, five, fifteen;
    loadavg >> one >> five >> fifteen;
    std::printf("queries on %s, word %s, %d runs, load average %s %s %s\n", archive.c_str(),
                word.c_str(), runs, one.c_str(), five.c_str(), fifteen.c_str());
    std::printf("grep -c -F (UTF-8 bytes)          %7.1f ms median\n", grep * 1e3);
    bool ok = true;
    for (const Timed& query : queries) {
        const double time = tarsel::bench::Median(query.times);
        const bool met = time <= query.target * grep;
        ok &= met;
        std::printf("%-33s %7.1f ms median   ratio %.2f (target <= %.2f) %s\n    %s: %s\n",
                    query.label.c_str(), time * 1e3, time / grep, query.target,
                    met ? "met" : "MISSED", query.args.back().c_str(), query.counters.c_str());
    }
    std::printf("%s\n", ok ? "all targets met" : "TARGET MISSED");
    return ok ? 0 : 1;
}
