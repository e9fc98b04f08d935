// tarsel-bench-compare: times whole tarsel-search runs against grep -c -F counting the same
// JIS bytes, alternating the two so both see the same machine state, and times the string
// search phase on the loaded archive in-process between them. Prints medians, ratios and
// the peak memory of tarsel-search.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/command_timing.h"
#include "decode/cp932.h"
#include "engine/search_controller.h"

namespace {

using tarsel::bench::Median;
using tarsel::bench::RunResult;
using tarsel::bench::TimeCommand;

void WaitForUnits() {
    for (int left = tarsel::g_workersRunning.load(); left != 0;
         left = tarsel::g_workersRunning.load()) {
        tarsel::g_workersRunning.wait(left);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarsel-bench-compare TARSEL-SEARCH ARCHIVE [SEARCH] [RUNS]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::string archive = argv[2];
    const std::string search = argc > 3 ? argv[3] : "検索";
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

    const std::string jis = tarsel::CSearchController::SearchPattern(tarsel::Utf8ToCp932(search));

    // The archive loaded once in this process, for the second-search timings.
    tarsel::CSearchController loaded;
    loaded.m_strFilePath = archive;
    loaded.StartLoading();
    WaitForUnits();
    loaded.CancelAndWait();
    loaded.StartMailCount();
    WaitForUnits();
    loaded.CancelAndWait();
    loaded.m_strSearch = tarsel::Utf8ToCp932(search);

    std::vector<double> grepTimes, toolTimes, phaseTimes;
    long peakKb = 0;
    int toolStatus = 0, grepStatus = 0;
    for (int i = 0; i < runs; ++i) {
        const RunResult g = TimeCommand({"grep", "-c", "-F", "--", jis, archive});
        const RunResult t = TimeCommand({tool, "--page", "1", archive, search});
        const auto start = std::chrono::steady_clock::now();
        loaded.StartStringSearch();
        WaitForUnits();
        const std::chrono::duration<double> phase = std::chrono::steady_clock::now() - start;
        loaded.CancelAndWait();
        grepTimes.push_back(g.seconds);
        toolTimes.push_back(t.seconds);
        phaseTimes.push_back(phase.count());
        peakKb = std::max(peakKb, t.peakKb);
        toolStatus = t.status;
        grepStatus = g.status;
    }

    const double grep = Median(grepTimes);
    const double whole = Median(toolTimes);
    const double phase = Median(phaseTimes);
    const double fileMb = double(std::filesystem::file_size(archive)) / 1e6;
    const double peakMb = double(peakKb) * 1024 / 1e6;
    std::printf("archive                 %.1f MB, search %s (JIS %zu bytes), %d alternating runs\n",
                fileMb, search.c_str(), jis.size(), runs);
    std::printf("grep -c -F              %7.1f ms median (exit %d)\n", grep * 1e3, grepStatus);
    std::printf("tarsel-search --page 1  %7.1f ms median (exit %d)   ratio %.2f (target <= 2.00)\n",
                whole * 1e3, toolStatus, whole / grep);
    std::printf("second search (phase)   %7.1f ms median             ratio %.2f (target <= 1.00)\n",
                phase * 1e3, phase / grep);
    std::printf("peak memory             %7.1f MB                    limit %.1f MB (file + 64)\n",
                peakMb, fileMb + 64);
    const bool ok = whole <= 2 * grep && phase <= grep && peakMb <= fileMb + 64;
    std::printf("%s\n", ok ? "all targets met" : "TARGET MISSED");
    return ok ? 0 : 1;
}
