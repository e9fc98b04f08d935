// tarsel-bench-archives: one search of five copies of an archive against the same search of one,
// with tarsel-search, alternating. An archive of a search of several must cost no more than its
// own search: at most 5.5 times the time of one, and at most one archive's peak memory plus
// 100 MB, since each archive's loaded bytes go before the next is loaded.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/run_timing.h"

namespace {

constexpr int kCopies = 5;
constexpr double kMostTimes = 5.5;
constexpr long kMostExtraKb = 100'000'000 / 1024;

// Reads the file once, so that every copy starts in the page cache as the original does.
void ReadThrough(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: tarsel-bench-archives TARSEL-SEARCH ARCHIVE [SEARCH] [RUNS]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::filesystem::path archive = argv[2];
    const std::string search = argc > 3 ? argv[3] : "検索";
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

    // Copies of their own, not links: each is read from its own pages, as separate archives are.
    const std::filesystem::path folder = archive.parent_path() / "copies";
    std::filesystem::create_directories(folder);
    std::vector<std::string> copies;
    for (int i = 1; i <= kCopies; ++i) {
        const std::filesystem::path copy = folder / ("copy-" + std::to_string(i) + ".mbox");
        std::error_code error;
        if (std::filesystem::file_size(copy, error) != std::filesystem::file_size(archive)) {
            std::filesystem::copy_file(archive, copy,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        ReadThrough(copy);
        copies.push_back(copy.string());
    }
    std::vector<std::string> one{tool, "--page", "1", copies.front(), search};
    std::vector<std::string> five{tool, "--page", "1"};
    five.insert(five.end(), copies.begin(), copies.end());
    five.push_back(search);

    std::vector<double> oneTimes;
    std::vector<double> fiveTimes;
    long onePeakKb = 0;
    long fivePeakKb = 0;
    int status = 0;
    for (int i = 0; i < runs; ++i) {
        const tarsel::bench::RunResult a = tarsel::bench::TimeCommand(one, "/tmp/tarsel-bench-out");
        const tarsel::bench::RunResult b =
            tarsel::bench::TimeCommand(five, "/tmp/tarsel-bench-out");
        oneTimes.push_back(a.seconds);
        fiveTimes.push_back(b.seconds);
        onePeakKb = std::max(onePeakKb, a.peakKb);
        fivePeakKb = std::max(fivePeakKb, b.peakKb);
        status = std::max(a.status, b.status) > 1 ? 2 : status;
    }
    if (status != 0) {
        std::fprintf(stderr, "tarsel-search failed\n");
        return 2;
    }
    const double oneTime = tarsel::bench::Median(oneTimes);
    const double fiveTime = tarsel::bench::Median(fiveTimes);
    const double times = fiveTime / oneTime;
    std::printf("five archives in one search (--page 1), median of %d:\n", runs);
    std::printf("  one archive    %8.3f s  peak %7ld KB\n", oneTime, onePeakKb);
    std::printf("  five archives  %8.3f s  peak %7ld KB\n", fiveTime, fivePeakKb);
    const bool fast = times <= kMostTimes;
    const bool lean = fivePeakKb <= onePeakKb + kMostExtraKb;
    std::printf("  time: %.2fx one archive (target <= %.1fx): %s\n", times, kMostTimes,
                fast ? "met" : "MISSED");
    std::printf("  peak memory: %+ld KB over one archive (target <= %+ld KB): %s\n",
                fivePeakKb - onePeakKb, kMostExtraKb, lean ? "met" : "MISSED");
    return fast && lean ? 0 : 1;
}
