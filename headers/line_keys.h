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

    // The marks of the window, to be taken in order of place: bit i of each stands for place
    // Base() + i.
    std::size_t Base() const { return base_; }
    std::uint64_t LineEnds() const { return lineEnds_; }
    std::uint64_t KeyStarts() const { return keyStarts_; }
    // Marks the window after this one; false when no place past this one has a byte after it.
    bool MarkNextWindow() {
        if (base_ + kMarkWindow + 1 >= text_.size()) {
            return false;
        }
        MarkFrom(base_ + kMarkWindow);
        return true;
    }
    // Notes the key that begins at at (a place of KeyStarts()) in keys, unless keys already
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
