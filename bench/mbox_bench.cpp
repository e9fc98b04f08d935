// tarsel-bench-mbox: whole tarsel-search runs on a large mbox against the line tools, alternating
// them with the page cache warm: the raw search against rg -c -F, the decoded search against
// grep -c -F of the word's UTF-8 bytes, and an export of the mails of a query against cp of a
// file of the exported bytes. Then the peak anonymous memory of the tarsel-search runs against
// the budget of 400 MB and 24 bytes a mail: the file is mapped, so its pages are in the peak
// resident memory but belong to the page cache, and only the anonymous part is the program's.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "bench/run_timing.h"

namespace {

using tarsel::bench::Median;
using tarsel::bench::RunResult;

constexpr const char* kCommandOutput = "/tmp/tarsel-bench-mbox-out";
constexpr double kRawMostTimes = 1.5;
constexpr double kDecodedMostTimes = 4.0;
constexpr double kExportMostTimes = 2.0;
constexpr double kBaseBudgetBytes = 400e6;
constexpr double kBudgetBytesPerMail = 24;
constexpr double kBudgetFileBytes = 4e9;  // the size of mbox the budget is stated for

RunResult Time(const std::vector<std::string>& args) {
    return tarsel::bench::TimeCommandPollingMemory(args, kCommandOutput);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string LoadAverage() {
    std::string text = ReadAll("/proc/loadavg");
    const auto fields = text.find(' ', text.find(' ', text.find(' ') + 1) + 1);
    return text.substr(0, fields);
}

// The counters of a --json run: the mails of the archive and the matching mails.
bool Counts(const std::vector<std::string>& args, long& mails, long& matching) {
    if (Time(args).status > 1) {
        return false;
    }
    const auto result = nlohmann::json::parse(ReadAll(kCommandOutput), nullptr, false);
    if (result.is_discarded() || !result.contains("mails")) {
        return false;
    }
    mails = result["mails"].get<long>();
    matching = result["matching"].get<long>();
    return true;
}

struct Series {
    std::vector<double> wall, cpu;
    long peakAnonKb = 0;
    long peakRssKb = 0;
    int status = 0;

    void Add(const RunResult& r) {
        wall.push_back(r.seconds);
        cpu.push_back(r.cpuSeconds);
        peakAnonKb = std::max(peakAnonKb, r.peakAnonKb);
        peakRssKb = std::max(peakRssKb, r.peakKb);
        status = std::max(status, r.status);
    }
    double Wall() const { return Median(wall); }
    double Cpu() const { return Median(cpu); }
};

bool Compare(const char* what, const Series& tool, const Series& other, const char* otherName,
             double mostTimes) {
    const double times = tool.Wall() / other.Wall();
    const bool met = times <= mostTimes;
    std::printf(
        "  %-8s %8.3f s (cpu %6.3f s)  %-6s %8.3f s (cpu %6.3f s)  %.2fx (target <= %.1fx): %s\n",
        what, tool.Wall(), tool.Cpu(), otherName, other.Wall(), other.Cpu(), times, mostTimes,
        met ? "met" : "MISSED");
    return met;
}

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: tarsel-bench-mbox TARSEL-SEARCH MBOX RAW-WORD DECODED-WORD "
                     "EXPORT-QUERY [RUNS]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::string mbox = argv[2];
    const std::string rawWord = argv[3];
    const std::string decodedWord = argv[4];
    const std::string exportQuery = argv[5];
    const int runs = argc > 6 ? std::max(1, std::atoi(argv[6])) : 5;
    // Next to the mbox: the exports are as large as a tenth of a search's matches.
    const std::string exported = mbox + ".export";
    const std::string copySource = mbox + ".export-source";
    const std::string copied = mbox + ".export-copy";
    const std::string loadBefore = LoadAverage();

    long mails = 0, exportMails = 0, unused = 0;
    if (!Counts({tool, "--json", "--page", "1", mbox, rawWord}, mails, unused) ||
        !Counts({tool, "--json", "--decoded", "--page", "1", mbox, exportQuery}, unused,
                exportMails)) {
        std::fprintf(stderr, "tarsel-search failed on %s\n", mbox.c_str());
        return 2;
    }
    // The file cp copies holds the bytes the export writes: one export made before the runs.
    RemoveFile(copySource);
    if (Time({tool, "--decoded", "--page", "1", "--export", "mbox", copySource, mbox, exportQuery})
            .status != 0) {
        std::fprintf(stderr, "the export failed\n");
        return 2;
    }
    const auto exportBytes = std::filesystem::file_size(copySource);

    const std::vector<std::string> exportRun = {
        tool, "--decoded", "--page", "1", "--export", "mbox", exported, mbox, exportQuery};
    const std::vector<std::string> queryRun = {tool, "--decoded", "--page", "1", mbox, exportQuery};
    Series rg, raw, grep, decoded, cp, exporting, query;
    for (int i = 0; i < runs; ++i) {
        rg.Add(Time({"rg", "-c", "-F", "--", rawWord, mbox}));
        raw.Add(Time({tool, "--page", "1", mbox, rawWord}));
        grep.Add(Time({"grep", "-c", "-F", "--", decodedWord, mbox}));
        decoded.Add(Time({tool, "--decoded", "--page", "1", mbox, decodedWord}));
        RemoveFile(copied);
        cp.Add(Time({"cp", copySource, copied}));
        RemoveFile(exported);
        exporting.Add(Time(exportRun));
        query.Add(Time(queryRun));
    }
    RemoveFile(exported);
    RemoveFile(copied);
    RemoveFile(copySource);
    if (raw.status > 1 || decoded.status > 1 || exporting.status != 0 || rg.status > 1 ||
        grep.status > 1 || cp.status != 0) {
        std::fprintf(stderr, "a command failed (tarsel-search %d %d %d, rg %d, grep %d, cp %d)\n",
                     raw.status, decoded.status, exporting.status, rg.status, grep.status,
                     cp.status);
        return 2;
    }

    const double fileBytes = double(std::filesystem::file_size(mbox));
    std::printf("%s: %.0f MB, %ld mails; median of %d alternating runs, page cache warm\n",
                mbox.c_str(), fileBytes / 1e6, mails, runs);
    bool met = Compare("raw", raw, rg, "rg", kRawMostTimes);
    met = Compare("decoded", decoded, grep, "grep", kDecodedMostTimes) && met;
    std::printf("  export of %ld mails (%.1f MB, query \"%s\"):\n", exportMails,
                double(exportBytes) / 1e6, exportQuery.c_str());
    // The whole run holds the search too; the target is the export's own share below.
    std::printf("  export   %8.3f s (cpu %6.3f s)  whole run, search included; cp %.3f s\n",
                exporting.Wall(), exporting.Cpu(), cp.Wall());
    // The export's own share: the same query's run without the export, taken off. Paired run by
    // run, since each pair ran side by side under the same load of the machine.
    std::vector<double> shares;
    for (std::size_t i = 0; i < exporting.wall.size(); ++i) {
        shares.push_back(exporting.wall[i] - query.wall[i]);
    }
    const double exportShare = Median(shares);
    const double shareTimes = exportShare / cp.Wall();
    std::printf(
        "  the export alone (the run less the same query's run without it): %.3f s, "
        "%.2fx cp (target <= %.1fx): %s\n",
        exportShare, shareTimes, kExportMostTimes,
        shareTimes <= kExportMostTimes ? "met" : "MISSED");
    met = shareTimes <= kExportMostTimes && met;

    long peakAnonKb = 0, peakRssKb = 0;
    for (const Series* s : {&raw, &decoded, &exporting, &query}) {
        peakAnonKb = std::max(peakAnonKb, s->peakAnonKb);
        peakRssKb = std::max(peakRssKb, s->peakRssKb);
    }
    const double budgetHere = kBaseBudgetBytes + kBudgetBytesPerMail * double(mails);
    const double mailsAt4Gb = double(mails) * kBudgetFileBytes / fileBytes;
    const double budgetAt4Gb = kBaseBudgetBytes + kBudgetBytesPerMail * mailsAt4Gb;
    const bool lean = double(peakAnonKb) * 1024 <= budgetHere;
    std::printf(
        "  peak anonymous memory of tarsel-search: %.1f MB (raw %.1f, decoded %.1f, "
        "export %.1f; peak resident with the mapped file %.1f MB)\n",
        double(peakAnonKb) * 1024 / 1e6, double(raw.peakAnonKb) * 1024 / 1e6,
        double(decoded.peakAnonKb) * 1024 / 1e6, double(exporting.peakAnonKb) * 1024 / 1e6,
        double(peakRssKb) * 1024 / 1e6);
    std::printf("    target 400 MB + 24 B x %ld mails = %.1f MB for this file: %s\n", mails,
                budgetHere / 1e6, lean ? "met" : "MISSED");
    std::printf("    (for a 4 GB mbox of these mails, about %.0f mails: %.1f MB)\n", mailsAt4Gb,
                budgetAt4Gb / 1e6);
    std::printf("  load average: %s before, %s after\n", loadBefore.c_str(), LoadAverage().c_str());
    return met && lean ? 0 : 1;
}
