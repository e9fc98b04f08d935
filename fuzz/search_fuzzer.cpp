// A whole search over an arbitrary archive, driven as the front ends drive it, checked against
// a naive reading of the whole text: mails, hits, matching mails, the rows and bodies shown.
// Then the chunk scan alone, on the same text filled straight into the chunks, must record
// exactly the offsets that a naive loop finds.
//
// The input is: one byte for the search string's length, two for where the archive sits
// relative to the first chunk edge, the search string, then the archive. The archive is
// written behind NUL padding so that it straddles the edge of the first chunk at a place the
// input chooses; NUL bytes load as blanks, which the naive reading does too.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "decode/jis.h"
#include "engine/chunk_scan.h"
#include "engine/messages.h"
#include "engine/search_controller.h"
#include "engine/search_state.h"
#include "fuzz/fuzz_support.h"
#include "headers/header_row.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_panes.h"

namespace tarsel::fuzz {
namespace {

// Pages stepped through and shown per input; enough to reach pages after the first.
constexpr int kPagesChecked = 3;

// One scratch file per fuzzing process, rewritten for every input.
const std::filesystem::path& ArchivePath() {
    static const std::filesystem::path path = [] {
        std::string name = (std::filesystem::temp_directory_path() / "tarsel-fuzz-XXXXXX").string();
        const int fd = ::mkstemp(name.data());
        Check(fd >= 0, "a scratch file can be made");
        ::close(fd);
        std::atexit([] { std::filesystem::remove(ArchivePath()); });
        return std::filesystem::path(name);
    }();
    return path;
}

void WriteArchive(const std::string& bytes) {
    const int fd = ::open(ArchivePath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    Check(fd >= 0, "the scratch file opens");
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        Check(n > 0, "the scratch file takes the archive");
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::vector<int> NaiveOccurrences(const std::string& text, const std::string& pattern) {
    // Every position, one after the other: a find resumes one byte after each match.
    std::vector<int> found;
    for (std::size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + 1)) {
        found.push_back(static_cast<int>(at));
    }
    return found;
}

// Where the mails begin: at the marks, or in a text that begins with "From " (an mbox) there
// and at every "From " right after an empty line.
std::vector<int> NaiveMailStarts(const std::string& text) {
    if (text.compare(0, 5, "From ") != 0) {
        return NaiveOccurrences(text, test::kMark);
    }
    std::vector<int> starts{0};
    for (const int at : NaiveOccurrences(text, "\nFrom ")) {
        const std::size_t end = static_cast<std::size_t>(at);
        if ((end >= 1 && text[end - 1] == '\n') ||
            (end >= 2 && text[end - 1] == '\r' && text[end - 2] == '\n')) {
            starts.push_back(at + 1);
        }
    }
    return starts;
}

// What the whole search must show, read naively off the loaded text.
struct Expected {
    std::vector<int> marks;
    std::vector<int> hits;
    std::vector<int> matching;  // mail indexes, ascending, each once

    std::string MailText(const std::string& text, int m) const {
        const std::size_t start = static_cast<std::size_t>(marks[std::size_t(m)]);
        const std::size_t end = std::size_t(m) + 1 < marks.size()
                                    ? static_cast<std::size_t>(marks[std::size_t(m) + 1])
                                    : text.size();
        return text.substr(start, end - start);
    }
};

Expected ReadNaively(const std::string& text, const std::string& pattern) {
    Expected expected;
    expected.marks = NaiveMailStarts(text);
    expected.hits = NaiveOccurrences(text, pattern);
    for (const int hit : expected.hits) {
        const auto after = std::upper_bound(expected.marks.begin(), expected.marks.end(), hit);
        const int mail = static_cast<int>(after - expected.marks.begin()) - 1;
        if (mail >= 0 && (expected.matching.empty() || expected.matching.back() != mail)) {
            expected.matching.push_back(mail);
        }
    }
    return expected;
}

// The rows and bodies of the first pages, stepping as the list's buttons do.
void CheckPages(CSearchController& controller, test::RecordingPanes& panes, const std::string& text,
                const std::string& search, const Expected& expected) {
    const int matches = static_cast<int>(expected.matching.size());
    for (int page = 0; page < kPagesChecked && page * kPageRows < matches; ++page) {
        if (page > 0) {
            Check(controller.StepPage(+1), "the next page exists");
            test::DriveToEnd(controller);
        }
        const int rows = std::min(kPageRows, matches - page * kPageRows);
        Check(static_cast<int>(panes.rows.size()) == rows, "a page lists its matching mails");
        for (int row = 0; row < rows; ++row) {
            const int m = expected.matching[std::size_t(page * kPageRows + row)];
            const std::string mail = expected.MailText(text, m);
            const HeaderRow want = ExtractHeaderRow(mail, expected.marks[std::size_t(m)]);
            const HeaderRow& got = panes.rows[std::size_t(row)];
            Check(got.sender == want.sender && got.subject == want.subject &&
                      got.date == want.date && got.address == want.address,
                  "each row shows the headers of its own mail");
            controller.SelectRow(row);
            Check(panes.position == page * kPageRows + row + 1, "the position counter follows");
            const std::vector<BodyRun> body = CSearchController::BodyRunsOf(mail, search);
            Check(panes.body.size() == body.size(), "the selected mail's body is shown");
            for (std::size_t i = 0; i < body.size(); ++i) {
                Check(panes.body[i].text == body[i].text && panes.body[i].hit == body[i].hit,
                      "the body shown is the selected mail's");
            }
        }
    }
}

// Runs one search (the file is loaded unless it already is) and checks what the panes show.
void SearchAndCheck(CSearchController& controller, const std::string& text,
                    const std::string& search) {
    test::RecordingPanes panes;
    controller.SetPanes(&panes);
    std::string pattern = search;
    if (!pattern.empty() && IsSjisLeadByte(static_cast<unsigned char>(pattern[0]))) {
        ConvertPatternToJis(pattern);
    }
    const bool loads = controller.m_bLoaded == 0;  // a loaded file is not counted again
    const bool started = controller.StartSearch("archive", search);
    if (search.size() < 2 || pattern.empty()) {
        Check(!started && panes.warnings.size() == 1 && panes.warnings[0] == msg::kNoSearch,
              "a search string without JIS pairs is refused");
        controller.SetPanes(nullptr);
        return;
    }
    Check(started, "a search on a regular file starts");
    test::DriveToEnd(controller);

    const Expected expected = ReadNaively(text, pattern);
    if (expected.hits.size() > std::size_t(kHitCapacity)) {
        Check(
            controller.m_nState == kStateHitCapacity && panes.warnings.back() == msg::HitCapacity(),
            "too many hits stop the search with the hit message");
        controller.SetPanes(nullptr);
        return;
    }
    Check(!loads || panes.mails == static_cast<int>(expected.marks.size()),
          "every mail mark is counted");
    Check(panes.hits == static_cast<int>(expected.hits.size()), "every hit is counted");
    Check(panes.matches == static_cast<int>(expected.matching.size()),
          "every matching mail is listed once");
    Check(panes.warnings.size() == 1 && panes.warnings[0] == msg::kSearchDone,
          "the search ends with its message");
    CheckPages(controller, panes, text, search, expected);
    controller.SetPanes(nullptr);
}

// The chunk scan on chunks filled directly: exactly the naive offsets, and a table one entry
// too small overflows with every stored entry a true hit.
void CheckChunkScan(const std::string& text, const std::string& pattern) {
    if (pattern.empty()) {
        return;
    }
    test::PutIntoChunks(text);
    test::State().m_pattern = pattern;
    const std::vector<int> naive = NaiveOccurrences(text, pattern);
    const int capacities[] = {static_cast<int>(naive.size()), static_cast<int>(naive.size()) - 1};
    for (const int capacity : capacities) {
        if (capacity < 0) {
            continue;
        }
        std::vector<int> entries(naive.size() + 1);
        std::atomic<int> count{0};
        bool complete = true;
        for (int c = 0; c < test::State().m_chunkCount; ++c) {
            complete &= ScanChunk(test::State(), c, ScanTable{entries.data(), &count, capacity});
        }
        entries.resize(std::size_t(count.load()));
        std::sort(entries.begin(), entries.end());
        if (capacity == static_cast<int>(naive.size())) {
            Check(complete && entries == naive, "the chunk scan finds exactly the naive hits");
        } else {
            Check(!complete && count.load() == capacity, "one hit too many overflows the table");
            Check(std::includes(naive.begin(), naive.end(), entries.begin(), entries.end()),
                  "an overflowing scan stores only true hits");
        }
    }
}

}  // namespace
}  // namespace tarsel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsel;
    fuzz::FuzzInput input(data, size);
    const std::size_t searchLength = input.TakeByte() % 16;
    const unsigned placement = input.TakeWord();
    const std::string search = input.TakeBytes(searchLength);
    const std::string archive = input.TakeRest();

    // Odd placements put archive bytes on both sides of the first chunk edge.
    std::size_t padding = 0;
    if (placement % 2 == 1) {
        padding = kChunkSize - (placement / 2) % (archive.size() + 1);
    }
    std::string file(padding, '\0');
    file += archive;
    fuzz::WriteArchive(file);
    std::string text = file;
    std::replace(text.begin(), text.end(), '\0', ' ');

    {
        CSearchController controller;
        controller.SetFilePath(fuzz::ArchivePath());
        fuzz::SearchAndCheck(controller, text, search);
        // The same file again with the string reversed: no reload, a fresh search.
        fuzz::SearchAndCheck(controller, text, std::string(search.rbegin(), search.rend()));
    }

    std::string pattern = search;
    if (!pattern.empty() && IsSjisLeadByte(static_cast<unsigned char>(pattern[0]))) {
        ConvertPatternToJis(pattern);
    }
    fuzz::CheckChunkScan(text, pattern);
    return 0;
}
