// The progress of a long search on a terminal's standard error: one line, redrawn in place, with
// the running phase, the bytes it has gone through of all the archives' and the time it will
// probably still take. A search that ends within a second shows none of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace tarsel::cli {

// "123 / 2,048 MB": done and total in the unit that suits total (KB below a megabyte, MB with
// one decimal below ten), both rounded down so that they read alike at the end.
std::string ByteCounts(std::uint64_t done, std::uint64_t total);

// "残り約 12 秒", "残り約 3 分", "残り約 1 時間 5 分"; empty for a negative time (not known).
std::string TimeLeft(double seconds);

// Where a search stands: the phase's name, its bytes, and the share of the whole work done.
struct ProgressSample {
    const char* phase = "";
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    double share = 0;  // 0..1
};

// What the running phase of one archive's search has gone through: bytes of the file (its
// pieces before the loaded one counted whole) and the share of the file's work done, where
// loading, counting and searching are each a third of a piece's. The header phase comes after
// all of them.
struct PhasePosition {
    int state = 0;               // the running phase's code
    std::uint64_t offset = 0;    // where the loaded piece begins in its file
    std::uint64_t bytes = 0;     // the loaded piece's size
    double unitShare = 0;        // the phase's units done, 0..1
    std::uint64_t fileSize = 0;  // of the whole file
};
ProgressSample ArchiveProgress(const PhasePosition& position);

// The line itself. Nothing is written unless shown (standard error is a terminal).
class ProgressLine {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    ProgressLine(std::ostream& err, bool shown, Clock clock = std::chrono::steady_clock::now);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool Shown() const { return shown_; }
    // Whether Draw would write now: a second after the start, then a few times a second.
    bool Due();
    // Redraws the line when due; the time left is told once enough is done to tell it.
    void Draw(const ProgressSample& sample);
    // Removes the line, if one was drawn, so that what follows starts on a clean line.
    void Erase();

  private:
    std::ostream& err_;
    bool shown_;
    Clock clock_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point next_;
    bool drawn_ = false;
};

}  // namespace tarsel::cli
