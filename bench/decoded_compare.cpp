// tarsel-bench-decoded: times whole `tarsel-search --decoded` runs on an archive of today's
// mail mix against grep -c -F counting the search string's UTF-8 bytes, alternating the two,
// and times the decoded search phase on the loaded archive in-process between them (the raw
// mode's whole run and the CPU time of each are printed beside them, since on a busy
// machine the wall-clock ratio mostly measures the wait for a core). Then
// measures the recall of the raw and the decoded mode against the generator's list of the
// mails in which a reader sees the word. Last, the decoded search of an archive whose mails
// name another charset in every part, cycling through 70, against the same archive in one
// charset: each converter is opened once per thread, so the first may take at most twice as
// long. Given a second archive with a word in over half of its mails, and a word in none, the
// decoded search of the rare word, the common one and the absent one each against grep, with
// its target, and the machine's load average beside them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/loaded_archive.h"
#include "bench/run_timing.h"
#include "engine/search_controller.h"

namespace {

using tarsel::bench::Median;
using tarsel::bench::RunResult;

// Where a timed command's standard output (and error) goes; read it after the run.
constexpr const char* kCommandOutput = "/tmp/tarsel-bench-out";

RunResult TimeCommand(const std::vector<std::string>& args) {
    return tarsel::bench::TimeCommand(args, kCommandOutput);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// The mails (by order in the archive) that a run of tarsel-search --json listed.
std::set<long> ListedMails(const std::vector<std::string>& args,
                           const std::vector<long>& mailStarts) {
    std::set<long> mails;
    if (TimeCommand(args).status > 1) {
        return mails;
    }
    const auto result = nlohmann::json::parse(ReadAll(kCommandOutput), nullptr, false);
    if (result.is_discarded()) {
        return mails;
    }
    for (const auto& row : result["rows"]) {
        const long body = std::stol(row["address"].get<std::string>().substr(2), nullptr, 16);
        const auto after = std::upper_bound(mailStarts.begin(), mailStarts.end(), body);
        mails.insert(static_cast<long>(after - mailStarts.begin()) - 1);
    }
    return mails;
}

// Charsets iconv knows, more of them than a small cache of converters holds.
constexpr const char* kCyclingCharsets[] = {
    "ISO-8859-1",  "ISO-8859-2",  "ISO-8859-3",  "ISO-8859-4",  "ISO-8859-5",  "ISO-8859-6",
    "ISO-8859-7",  "ISO-8859-8",  "ISO-8859-9",  "ISO-8859-10", "ISO-8859-11", "ISO-8859-13",
    "ISO-8859-14", "ISO-8859-15", "ISO-8859-16", "CP1250",      "CP1251",      "CP1252",
    "CP1253",      "CP1254",      "CP1255",      "CP1256",      "CP1257",      "CP1258",
    "CP437",       "CP737",       "CP775",       "CP850",       "CP852",       "CP855",
    "CP857",       "CP860",       "CP861",       "CP862",       "CP863",       "CP864",
    "CP865",       "CP866",       "CP869",       "CP874",       "CP932",       "CP936",
    "CP949",       "CP950",       "IBM037",      "IBM273",      "IBM277",      "IBM278",
    "IBM280",      "IBM284",      "IBM285",      "IBM297",      "IBM500",      "IBM1047",
    "KOI8-R",      "KOI8-U",      "KOI8-RU",     "MACINTOSH",   "MAC-UK",      "MACCYRILLIC",
    "BIG5",        "GBK",         "GB18030",     "EUC-KR",      "EUC-TW",      "TIS-620",
    "VISCII",      "ARMSCII-8",   "PT154",       "CP1125",
};

// Mails of 70 text parts "hello", each in the next charset of the list or all in the first,
// up to size bytes.
void WriteCharsetArchive(const std::filesystem::path& path, bool cycling, std::uintmax_t size) {
    std::string mail =
        "\x7f\x20\x7f"
        "From: a@example.org\r\nSubject: charsets\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (const char* charset : kCyclingCharsets) {
        mail += "--b\r\nContent-Type: text/plain; charset=";
        mail += cycling ? charset : kCyclingCharsets[0];
        mail += "\r\n\r\nhello\r\n";
    }
    mail += "--b--\r\n";
    std::ofstream out(path, std::ios::binary);
    for (std::uintmax_t written = 0; written + mail.size() <= size; written += mail.size()) {
        out << mail;
    }
}

// The load average over the last minute, five and fifteen, as the kernel gives it.
std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Medians of alternating runs of grep -c -F and the decoded search of one word.
struct PairedRuns {
    double grep = 0, tool = 0, grepCpu = 0, toolCpu = 0;
    std::string counters;  // the decoded search's first lines
};

PairedRuns TimePaired(const std::string& tool, const std::string& archive, const std::string& word,
                      int runs) {
    std::vector<double> grep, decoded, grepCpu, decodedCpu;
    PairedRuns paired;
    for (int i = 0; i < runs; ++i) {
        const RunResult g = TimeCommand({"grep", "-c", "-F", "--", word, archive});
        const RunResult t = TimeCommand({tool, "--decoded", "--page", "1", archive, word});
        grep.push_back(g.seconds);
        decoded.push_back(t.seconds);
        grepCpu.push_back(g.cpuSeconds);
        decodedCpu.push_back(t.cpuSeconds);
    }
    std::istringstream lines(ReadAll(kCommandOutput));
    for (std::string line; paired.counters.size() < 200 && std::getline(lines, line);) {
        if (line.find('\t') != std::string::npos) {
            break;  // the counters end where the rows begin
        }
        paired.counters += (paired.counters.empty() ? "" : ", ") + line;
    }
    paired.grep = Median(grep);
    paired.tool = Median(decoded);
    paired.grepCpu = Median(grepCpu);
    paired.toolCpu = Median(decodedCpu);
    return paired;
}

// One line of the three words' table; true when its target is met.
bool PrintWordLine(const char* label, const std::string& word, const PairedRuns& paired,
                   double target) {
    const bool met = paired.tool <= target * paired.grep;
    std::printf(
        "%-7s %-10s decoded %6.1f ms, grep %6.1f ms   ratio %.2f (target <= %.2f) %-6s "
        "cpu %.1f / %.1f ms, load %s\n        %s\n",
        label, word.c_str(), paired.tool * 1e3, paired.grep * 1e3, paired.tool / paired.grep,
        target, met ? "met" : "MISSED", paired.toolCpu * 1e3, paired.grepCpu * 1e3,
        LoadAverage().c_str(), paired.counters.c_str());
    return met;
}

double Recall(const std::set<long>& listed, const std::set<long>& truth) {
    long found = 0;
    for (const long mail : truth) {
        found += listed.count(mail);
    }
    return truth.empty() ? 1.0 : double(found) / double(truth.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: tarsel-bench-decoded TARSEL-SEARCH ARCHIVE TRUTH [RUNS "
                     "[COMMON-ARCHIVE COMMON-WORD ABSENT-WORD]]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::string archive = argv[2];
    const auto truthJson = nlohmann::json::parse(ReadAll(argv[3]));
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    const std::string search = truthJson["word"];

    tarsel::CSearchController loaded;
    tarsel::bench::LoadAndCount(loaded, archive);
    loaded.m_bDecoded = true;
    loaded.m_strSearchUtf8 = search;

    std::vector<double> grepTimes, toolTimes, phaseTimes, rawTimes, grepCpu, toolCpu, rawCpu;
    long peakKb = 0;
    int toolStatus = 0, grepStatus = 0;
    for (int i = 0; i < runs; ++i) {
        const RunResult g = TimeCommand({"grep", "-c", "-F", "--", search, archive});
        const RunResult t = TimeCommand({tool, "--decoded", "--page", "1", archive, search});
        const RunResult r = TimeCommand({tool, "--page", "1", archive, search});
        rawTimes.push_back(r.seconds);
        grepCpu.push_back(g.cpuSeconds);
        toolCpu.push_back(t.cpuSeconds);
        rawCpu.push_back(r.cpuSeconds);
        const auto start = std::chrono::steady_clock::now();
        loaded.StartStringSearch();
        tarsel::bench::WaitForUnits(loaded.State());
        const std::chrono::duration<double> phase = std::chrono::steady_clock::now() - start;
        loaded.CancelAndWait();
        grepTimes.push_back(g.seconds);
        toolTimes.push_back(t.seconds);
        phaseTimes.push_back(phase.count());
        peakKb = std::max(peakKb, t.peakKb);
        toolStatus = t.status;
        grepStatus = g.status;
    }

    std::vector<long> mailStarts;
    const std::string text = ReadAll(archive);
    for (auto at = text.find("\x7f\x20\x7f"); at != std::string::npos;
         at = text.find("\x7f\x20\x7f", at + 3)) {
        mailStarts.push_back(static_cast<long>(at));
    }
    const std::set<long> truth(truthJson["containing"].begin(), truthJson["containing"].end());
    const std::set<long> raw = ListedMails({tool, "--json", archive, search}, mailStarts);
    const std::set<long> decoded =
        ListedMails({tool, "--decoded", "--json", archive, search}, mailStarts);

    const double grep = Median(grepTimes);
    const double whole = Median(toolTimes);
    const double phase = Median(phaseTimes);
    const double fileMb = double(std::filesystem::file_size(archive)) / 1e6;
    const double peakMb = double(peakKb) * 1024 / 1e6;
    std::printf("archive                           %.1f MB, %zu mails, search %s, %d runs\n",
                fileMb, mailStarts.size(), search.c_str(), runs);
    std::printf("grep -c -F (UTF-8 bytes)          %7.1f ms median (exit %d)\n", grep * 1e3,
                grepStatus);
    std::printf(
        "tarsel-search --decoded --page 1  %7.1f ms median (exit %d)   ratio %.2f "
        "(target <= 3.00)\n",
        whole * 1e3, toolStatus, whole / grep);
    std::printf("tarsel-search --page 1 (raw)      %7.1f ms median             ratio %.2f\n",
                Median(rawTimes) * 1e3, Median(rawTimes) / grep);
    std::printf("CPU time (all threads)            grep %.1f ms, decoded %.1f ms, raw %.1f ms\n",
                Median(grepCpu) * 1e3, Median(toolCpu) * 1e3, Median(rawCpu) * 1e3);
    std::printf("second decoded search (phase)     %7.1f ms median             ratio %.2f\n",
                phase * 1e3, phase / grep);
    std::printf(
        "peak memory                       %7.1f MB                    limit %.1f MB "
        "(file + 200)\n",
        peakMb, fileMb + 200);
    std::printf(
        "recall of %zu mails a reader sees the word in: raw %.1f %%, decoded %.1f %% "
        "(%zu and %zu mails listed)\n",
        truth.size(), Recall(raw, truth) * 100, Recall(decoded, truth) * 100, raw.size(),
        decoded.size());
    // The charsets' archives lie beside the archive, made once.
    const std::filesystem::path dir = std::filesystem::path(archive).parent_path();
    const std::filesystem::path cyclingArchive = dir / "charsets-cycling-100mb.mbox";
    const std::filesystem::path oneArchive = dir / "charsets-one-100mb.mbox";
    for (const bool cycling : {true, false}) {
        const std::filesystem::path& path = cycling ? cyclingArchive : oneArchive;
        if (!std::filesystem::exists(path)) {
            WriteCharsetArchive(path, cycling, 100'000'000);
        }
    }
    std::vector<double> cyclingTimes, oneTimes;
    for (int i = 0; i < runs; ++i) {
        for (const bool cycling : {true, false}) {
            const RunResult r =
                TimeCommand({tool, "--decoded", "--json",
                             (cycling ? cyclingArchive : oneArchive).string(), "zqzqzq"});
            (cycling ? cyclingTimes : oneTimes).push_back(r.seconds);
        }
    }
    const double cyclingTime = Median(cyclingTimes);
    const double oneTime = Median(oneTimes);
    std::printf(
        "70 charsets cycling in each mail  %7.1f ms median, one charset %.1f ms   ratio %.2f "
        "(target <= 2.00)\n",
        cyclingTime * 1e3, oneTime * 1e3, cyclingTime / oneTime);

    bool ok = whole <= 3 * grep && peakMb <= fileMb + 200 && cyclingTime <= 2 * oneTime;
    if (argc > 7) {
        // The three words each in its own runs, so that each ratio pairs runs of one moment.
        std::printf("decoded search against grep -c -F, %d alternating runs each:\n", runs);
        ok &= PrintWordLine("rare", search, TimePaired(tool, archive, search, runs), 3.0);
        ok &= PrintWordLine("common", argv[6], TimePaired(tool, argv[5], argv[6], runs), 4.0);
        ok &= PrintWordLine("absent", argv[7], TimePaired(tool, archive, argv[7], runs), 2.0);
    }
    std::printf("%s\n", ok ? "all targets met" : "TARGET MISSED");
    return ok ? 0 : 1;
}
