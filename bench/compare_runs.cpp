// tarsel-bench-compare: times whole tarsel-search runs against grep -c -F counting the same
// JIS bytes, alternating the two so both see the same machine state, and times the string
// search phase on the loaded archive in-process between them. Prints medians, ratios and
// the peak memory of tarsel-search.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "decode/cp932.h"
#include "engine/search_controller.h"

namespace {

struct RunResult {
    double seconds;
    long peakKb;
    int status;
};

RunResult TimeCommand(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    // Not /dev/null: grep stops at the first match when its output goes nowhere.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/tmp/tarsel-bench-out",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return RunResult{0, 0, -1};
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return RunResult{took.count(), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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
