// tarsel-bench-huge-mail: shows the body of one 100 MB mail with tarsel-search, as text and as
// JSON, and prints the wall time, processor time and peak memory of each against the bounds a
// huge mail must keep: at most 3 times the mail plus 64 MiB, and 2 seconds.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/run_timing.h"

namespace {

constexpr std::uintmax_t kMailSize = 100'000'000;

// One mail of about kMailSize bytes: ISO-2022-JP lines, every 15th holding 検索 (JIS "8!:w"),
// so the body has some 90000 red runs, below the hit capacity.
void WriteHugeMail(const std::filesystem::path& path) {
    const std::string plain =
        "Some body text \x1b$B$3$l$OK\\J8$G$9\x1b(B and more plain words to fill the line.\r\n";
    const std::string hit =
        "Some body text \x1b$B8!:w\x1b(B and more plain words here to fill the line..\r\n";
    std::string block;
    for (int i = 0; i < 14; ++i) {
        block += plain;
    }
    block += hit;
    std::ofstream out(path, std::ios::binary);
    out << "\x7f \x7f"
           "From: huge@example.jp\r\nSubject: huge\r\n"
        << "Date: Tue, 7 Dec 1999 12:34:56 +0900\r\n\r\n";
    for (std::uintmax_t size = 100; size + block.size() <= kMailSize; size += block.size()) {
        out << block;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarsel-bench-huge-mail TARSEL-SEARCH MAILFILE [RUNS]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::filesystem::path mail = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    if (!std::filesystem::exists(mail)) {
        WriteHugeMail(mail);
    }
    const double size = double(std::filesystem::file_size(mail));
    const double limitMb = (3 * size + 64.0 * 1024 * 1024) / 1e6;

    // Wall time depends on what else the machine runs; the load puts it in context.
    double load = 0;
    if (std::FILE* loadavg = std::fopen("/proc/loadavg", "r")) {
        (void)std::fscanf(loadavg, "%lf", &load);
        std::fclose(loadavg);
    }
    std::printf(
        "huge mail: %.1f MB in one mail; bounds %.0f MB peak (3x + 64 MiB), 2.0 s; load %.1f\n",
        size / 1e6, limitMb, load);
    for (const bool json : {false, true}) {
        std::vector<double> wall;
        std::vector<double> cpu;
        long peakKb = 0;
        for (int r = 0; r < runs; ++r) {
            std::vector<std::string> args{tool, "--show", "1", mail.string(), "検索"};
            if (json) {
                args.insert(args.begin() + 1, "--json");
            }
            const tarsel::bench::RunResult result = tarsel::bench::TimeCommand(args, "/dev/null");
            if (result.status != 0) {
                std::fprintf(stderr, "tarsel-search ended with status %d\n", result.status);
                return 1;
            }
            wall.push_back(result.seconds);
            cpu.push_back(result.cpuSeconds);
            peakKb = std::max(peakKb, result.peakKb);
        }
        const double peakMb = double(peakKb) * 1024 / 1e6;
        const double seconds = tarsel::bench::Median(wall);
        std::printf(
            "  %-16s median %.2f s (processor %.2f s), peak %.0f MB = %.2fx the mail  %s, %s\n",
            json ? "--json --show 1" : "--show 1", seconds, tarsel::bench::Median(cpu), peakMb,
            peakMb * 1e6 / size, peakMb <= limitMb ? "memory within" : "MEMORY OVER",
            seconds <= 2.0 ? "time within" : "TIME OVER");
    }
    return 0;
}
