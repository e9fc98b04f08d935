// Where the lines of a mail end and where the keys of the header row stand in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarsel {

inline constexpr std::size_t kNoPlace = std::string_view::npos;
// How many places one marking covers: a bit each in a 64-bit word.
inline constexpr std::size_t kMarkWindow = 64;

// One line of a mail: where its CR LF stands and where each key first stands before it
// (kNoPlace when it does not), letters compared in any case.
struct LineKeys {
    std::size_t end = kNoPlace;
    std::size_t subject = kNoPlace;  // "SUBJECT"
    std::size_t date = kNoPlace;     // "DATE"
    std::size_t sender = kNoPlace;   // "FROM"
};

// Whether this processor has the 32-byte compares (AVX2) that the scanner can use.
bool CpuHasWideCompares();

// Walks a mail's lines in order. The text is looked at 64 places at a time: one pass marks
// every CR LF and every place where a key's first two letters stand, and the lines are then
// read off those marks, so that no byte is looked at twice however short the lines are.
class LineKeyScanner {
  public:
    // wide: look at 32 places at a time instead of 16, for a processor that can.
    explicit LineKeyScanner(std::string_view text, bool wide = CpuHasWideCompares())
        : text_(text), wide_(wide) {
        MarkFrom(0);
    }

    // The line from from to its CR LF, with its keys; end stays kNoPlace when no CR LF follows.
    // Lines are asked for in order: from never lies before the previous line's end.
    LineKeys Next(std::size_t from);

  private:
    void MarkFrom(std::size_t base);
    void NoteKey(std::size_t at, LineKeys& keys) const;

    std::string_view text_;
    bool wide_;
    std::size_t base_ = 0;         // the place of bit 0 of the marks
    std::uint64_t lineEnds_ = 0;   // a CR LF begins there
    std::uint64_t keyStarts_ = 0;  // a key may begin there (its first two letters match)
};

// Inline: it runs once a line, and most lines end in the window where they start.
inline LineKeys LineKeyScanner::Next(std::size_t from) {
    LineKeys keys;
    if (from >= base_ + kMarkWindow) {
        MarkFrom(from);
    }
    for (;;) {
        const std::uint64_t ahead = ~std::uint64_t{0} << (from - base_);
        const std::uint64_t ends = lineEnds_ & ahead;
        // A key never holds a CR, so one that starts before the line's end ends in the line.
        const std::uint64_t before = ends == 0 ? ~std::uint64_t{0} : (ends & (0 - ends)) - 1;
        for (std::uint64_t starts = keyStarts_ & ahead & before; starts != 0;
             starts &= starts - 1) {
            NoteKey(base_ + static_cast<std::size_t>(__builtin_ctzll(starts)), keys);
        }
        if (ends != 0) {
            keys.end = base_ + static_cast<std::size_t>(__builtin_ctzll(ends));
            return keys;
        }
        if (base_ + kMarkWindow + 1 >= text_.size()) {
            return keys;  // no place past the window has a byte after it
        }
        MarkFrom(base_ + kMarkWindow);
        from = base_;
    }
}

}  // namespace tarsel
