// Where the lines of a mail end and where the keys of the header row stand in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarsel {

inline constexpr std::size_t kNoPlace = std::string_view::npos;
// How many places one marking covers: a bit each in a 64-bit word.
inline constexpr std::size_t kMarkWindow = 64;

// Where each key first stands in one line of a mail (kNoPlace when it does not), letters
// compared in any case.
struct LineKeys {
    std::size_t subject = kNoPlace;  // "SUBJECT"
    std::size_t date = kNoPlace;     // "DATE"
    std::size_t sender = kNoPlace;   // "FROM"
};

// Whether this processor has the 32-byte compares (AVX2) that the scanner can use.
bool CpuHasWideCompares();

// Marks a mail's lines and keys. The text is looked at 64 places at a time: one pass marks
// every CR LF and every place where a key's first two letters stand, and the reader takes the
// lines off those marks, so that no byte is looked at twice however short the lines are and a
// line without a key costs no more than its CR LF.
class LineKeyScanner {
  public:
    // wide: look at 32 places at a time instead of 16, for a processor that can.
    explicit LineKeyScanner(std::string_view text, bool wide = CpuHasWideCompares())
        : text_(text), wide_(wide) {
        MarkFrom(0);
    }

    // Takes the marks in order of place, window after window: lineEnd(place) for each CR LF,
    // until it returns false; keyStart(place) for each place where a key may begin (its line
    // is the one the next CR LF ends). No line needs a look of its own.
    template <class LineEnd, class KeyStart>
    void ReadMarks(LineEnd&& lineEnd, KeyStart&& keyStart) {
        for (;;) {
            const std::uint64_t ends = lineEnds_;
            for (std::uint64_t marks = ends | keyStarts_; marks != 0; marks &= marks - 1) {
                const auto bit = static_cast<unsigned>(__builtin_ctzll(marks));
                if ((ends >> bit & 1) == 0) {
                    keyStart(base_ + bit);
                } else if (!lineEnd(base_ + bit)) {
                    return;
                }
            }
            if (base_ + kMarkWindow + 1 >= text_.size()) {
                return;  // no place past this window has a byte after it
            }
            MarkFrom(base_ + kMarkWindow);
        }
    }
    // Notes the key that begins at at (a place keyStart was given) in keys, unless keys already
    // holds one of its kind; true when it noted one.
    bool NoteKey(std::size_t at, LineKeys& keys) const;

  private:
    void MarkFrom(std::size_t base);

    std::string_view text_;
    bool wide_;
    std::size_t base_ = 0;         // the place of bit 0 of the marks
    std::uint64_t lineEnds_ = 0;   // a CR LF begins there
    std::uint64_t keyStarts_ = 0;  // a key may begin there (its first two letters match)
};

}  // namespace tarsel
