// The progress line of a long search: its sizes and estimate, where a phase stands, and when
// the line is drawn (against a clock the test sets, so that nothing here waits).
#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "engine/search_state.h"

namespace tarsel::cli {
namespace {

constexpr std::uint64_t kKB = 1024;
constexpr std::uint64_t kMB = kKB * kKB;

TEST(ProgressLineTest, ByteCountsInTheUnitOfTheTotal) {
    const struct {
        std::uint64_t done, total;
        const char* text;
    } cases[] = {
        {0, 500, "0 / 0 KB"},
        {512 * kKB, 1000 * kKB, "512 / 1,000 KB"},
        {3 * kMB / 2, 19 * kMB / 2, "1.5 / 9.5 MB"},
        {10 * kMB - 1, 10 * kMB - 1, "9.9 / 9.9 MB"},
        {123 * kMB, 2048 * kMB, "123 / 2,048 MB"},
        {2048 * kMB - 1, 2048 * kMB - 1, "2,047 / 2,047 MB"},
        {12345 * kMB, 30720 * kMB, "12,345 / 30,720 MB"},
        {1234567 * kMB, 1234567 * kMB, "1,234,567 / 1,234,567 MB"},
        {20 * kMB, 10 * kMB, "10 / 10 MB"},  // a file that shrank is all done
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ByteCounts(c.done, c.total), c.text) << c.done << " of " << c.total;
    }
}

TEST(ProgressLineTest, TimeLeftInSecondsThenMinutesThenHours) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {-1, ""},
        {0, "残り約 1 秒"},
        {0.2, "残り約 1 秒"},
        {12, "残り約 12 秒"},
        {58.5, "残り約 59 秒"},
        {59.2, "残り約 1 分"},
        {89, "残り約 1 分"},
        {90, "残り約 2 分"},
        {3569, "残り約 59 分"},
        {3599, "残り約 1 時間"},
        {3900, "残り約 1 時間 5 分"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeLeft(c.seconds), c.text) << c.seconds;
    }
}

TEST(ProgressLineTest, ArchiveProgressCountsEachPassOfAPieceAsAThird) {
    const struct {
        const char* name;
        PhasePosition position;
        const char* phase;
        std::uint64_t done;
        double share;
    } cases[] = {
        {"loading half", {kStateLoading, 0, 100, 0.5, 100}, "読み込み", 50, 0.5 / 3},
        {"counting half", {kStateCounting, 0, 100, 0.5, 100}, "カウント", 50, 1.5 / 3},
        {"searching the second piece",
         {kStateSearching, 100, 100, 0.5, 200},
         "検索",
         150,
         (100 + 100 * 2.5 / 3) / 200},
        {"a piece at the end of the file", {kStateSearching, 150, 50, 1, 200}, "検索", 200, 1},
        {"a mail capacity stop while counting",
         {kStateMailCapacity, 0, 100, 0.25, 100},
         "カウント",
         25,
         1.25 / 3},
        {"headers after all the bytes", {kStateHeaders, 0, 100, 0.1, 100}, "ヘッダー", 100, 1},
        {"an empty file", {kStateLoading, 0, 0, 0, 0}, "読み込み", 0, 0},
    };
    for (const auto& c : cases) {
        const ProgressSample sample = ArchiveProgress(c.position);
        EXPECT_STREQ(sample.phase, c.phase) << c.name;
        EXPECT_EQ(sample.done, c.done) << c.name;
        EXPECT_EQ(sample.total, c.position.fileSize) << c.name;
        EXPECT_NEAR(sample.share, c.share, 1e-9) << c.name;
    }
}

// One call on the line at a moment after its start: Draw with the share of work done, or
// Erase (share below 0).
struct Step {
    int ms;
    double share;
};

std::string Written(bool shown, const std::vector<Step>& steps) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start{};
    Clock::time_point now = start;
    std::ostringstream err;
    ProgressLine line(err, shown, [&] { return now; });
    for (const Step& step : steps) {
        now = start + std::chrono::milliseconds(step.ms);
        if (step.share < 0) {
            line.Erase();
        } else {
            line.Draw(ProgressSample{"検索", 1 * kMB, 2 * kMB, step.share});
        }
    }
    return err.str();
}

TEST(ProgressLineTest, DrawsAfterASecondAFewTimesASecondAndErasesWhatItDrew) {
    const std::string kErase = "\r\x1b[K";
    const struct {
        const char* name;
        bool shown;
        std::vector<Step> steps;
        std::string written;
    } cases[] = {
        {"not a terminal", false, {{0, 0.5}, {2000, 0.5}, {5000, 0.9}, {6000, -1}}, ""},
        {"a short search", true, {{0, 0.2}, {900, 0.9}, {999, -1}}, ""},
        {"half done after two seconds",
         true,
         {{500, 0.1}, {2000, 0.5}, {3000, -1}},
         "\r検索  1.0 / 2.0 MB  残り約 2 秒\x1b[K" + kErase},
        {"too little done to estimate", true, {{1000, 0.005}}, "\r検索  1.0 / 2.0 MB\x1b[K"},
        {"all done", true, {{1000, 1}}, "\r検索  1.0 / 2.0 MB\x1b[K"},
        {"redrawn at most every quarter second",
         true,
         {{1000, 0.5}, {1100, 0.5}, {1249, 0.5}, {1250, 0.2}},
         "\r検索  1.0 / 2.0 MB  残り約 1 秒\x1b[K\r検索  1.0 / 2.0 MB  残り約 5 秒\x1b[K"},
        {"erased once",
         true,
         {{1000, 0.5}, {1100, -1}, {1200, -1}},
         "\r検索  1.0 / 2.0 MB  残り約 1 秒\x1b[K" + kErase},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Written(c.shown, c.steps), c.written) << c.name;
    }
}

}  // namespace
}  // namespace tarsel::cli
