// Where the lines of a mail end: at CR LF, at a bare LF or at a bare CR, as mailers of every
// age have written them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarsel {

inline constexpr std::size_t kNoPlace = std::string_view::npos;
// How many places one marking covers: a bit each in a 64-byte word.
inline constexpr std::size_t kMarkWindow = 64;

// Whether this processor has the 32-byte compares (AVX2) that the marking can use.
bool CpuHasWideCompares();

// A bit for every CR and every LF among the 64 bytes of text from base (fewer at its end).
std::uint64_t MarkLineBreaks(std::string_view text, std::size_t base, bool wide);

// Calls line(start, end, next) for each line of text from `from` on, in order, until it returns
// false: the line's bytes run from start to end, its line end from end to next (where the next
// line starts). Bytes after the last line end are a last line with no end (next == end). The
// text is looked at 64 places at a time, so a short line costs no more than its line end.
template <class Line>
void ForEachLine(std::string_view text, std::size_t from, Line&& line,
                 bool wide = CpuHasWideCompares()) {
    std::size_t start = from;
    for (std::size_t base = from; base < text.size(); base += kMarkWindow) {
        for (std::uint64_t marks = MarkLineBreaks(text, base, wide); marks != 0;
             marks &= marks - 1) {
            const std::size_t at = base + static_cast<unsigned>(__builtin_ctzll(marks));
            if (at < start) {
                continue;  // the LF of a CR LF that ended the line before
            }
            const std::size_t next =
                text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? at + 2 : at + 1;
            if (!line(start, at, next)) {
                return;
            }
            start = next;
        }
    }
    if (start < text.size()) {
        line(start, text.size(), text.size());
    }
}

}  // namespace tarsel
