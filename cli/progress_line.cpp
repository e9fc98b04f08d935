// The progress line of a long search.
#include "cli/progress_line.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/search_state.h"

namespace tarsel::cli {
namespace {

// The first second of a search draws nothing: most searches are over by then, and a line that
// flashes up and vanishes only disturbs. After it, a few redraws a second keep the line alive
// without the terminal's output costing the search.
constexpr std::chrono::milliseconds kQuietStart{1000};
constexpr std::chrono::milliseconds kRedraw{250};
// Below this share of the work done, the time left would be a guess from too little.
constexpr double kShareToEstimate = 0.01;

std::string Grouped(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

std::string Tenths(std::uint64_t bytes, std::uint64_t unit) {
    const std::uint64_t tenths = bytes * 10 / unit;
    return Grouped(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string ByteCounts(std::uint64_t done, std::uint64_t total) {
    constexpr std::uint64_t kKilo = 1024;
    constexpr std::uint64_t kMega = kKilo * kKilo;
    done = std::min(done, total);
    if (total < kMega) {
        return Grouped(done / kKilo) + " / " + Grouped(total / kKilo) + " KB";
    }
    if (total < 10 * kMega) {
        return Tenths(done, kMega) + " / " + Tenths(total, kMega) + " MB";
    }
    return Grouped(done / kMega) + " / " + Grouped(total / kMega) + " MB";
}

std::string TimeLeft(double seconds) {
    if (!(seconds >= 0)) {
        return "";
    }
    const auto whole = std::max<long long>(static_cast<long long>(std::ceil(seconds)), 1);
    if (whole < 60) {
        return "残り約 " + std::to_string(whole) + " 秒";
    }
    const long long minutes = (whole + 30) / 60;
    if (minutes < 60) {
        return "残り約 " + std::to_string(minutes) + " 分";
    }
    std::string text = "残り約 " + std::to_string(minutes / 60) + " 時間";
    if (minutes % 60 != 0) {
        text += " " + std::to_string(minutes % 60) + " 分";
    }
    return text;
}

ProgressSample ArchiveProgress(const PhasePosition& position) {
    ProgressSample sample;
    sample.total = position.fileSize;
    int passes = 0;  // of the loaded piece before this phase
    // A unit that stops at a capacity leaves its code in place of the phase's until the
    // driver sees the end.
    switch (position.state) {
        case kStateLoading:
        case kStateFileCapacity:
            sample.phase = "読み込み";
            break;
        case kStateCounting:
        case kStateMailCapacity:
            sample.phase = "カウント";
            passes = 1;
            break;
        case kStateSearching:
        case kStateHitCapacity:
            sample.phase = "検索";
            passes = 2;
            break;
        default:
            sample.phase = "ヘッダー";
            sample.done = position.fileSize;
            sample.share = 1;
            return sample;
    }
    const double unitShare = std::clamp(position.unitShare, 0.0, 1.0);
    const double bytes = static_cast<double>(position.bytes);
    sample.done = std::min(position.offset + static_cast<std::uint64_t>(unitShare * bytes),
                           position.fileSize);
    if (position.fileSize > 0) {
        const double work = static_cast<double>(position.offset) + bytes * (passes + unitShare) / 3;
        sample.share = std::min(work / static_cast<double>(position.fileSize), 1.0);
    }
    return sample;
}

ProgressLine::ProgressLine(std::ostream& err, bool shown, Clock clock)
    : err_(err), shown_(shown), clock_(std::move(clock)) {
    start_ = clock_();
    next_ = start_ + kQuietStart;
}

bool ProgressLine::Due() {
    return shown_ && clock_() >= next_;
}

void ProgressLine::Draw(const ProgressSample& sample) {
    const auto now = clock_();
    if (!shown_ || now < next_) {
        return;
    }
    next_ = now + kRedraw;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const bool estimated = sample.share >= kShareToEstimate && sample.share < 1;
    const std::string left =
        estimated ? TimeLeft(elapsed * (1 - sample.share) / sample.share) : std::string();
    // The line is cleared to its end after the text: a shorter line leaves nothing behind.
    err_ << "\r" << sample.phase << "  " << ByteCounts(sample.done, sample.total)
         << (left.empty() ? "" : "  ") << left << "\x1b[K" << std::flush;
    drawn_ = true;
}

void ProgressLine::Erase() {
    if (drawn_) {
        err_ << "\r\x1b[K" << std::flush;
        drawn_ = false;
    }
}

}  // namespace tarsel::cli
