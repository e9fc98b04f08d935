// Where the lines of a mail end: at CR LF, at a bare LF or at a bare CR, as mailers of every
// age have written them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tarsel {

inline constexpr std::size_t kNoPlace = std::string_view::npos;
// How many places one marking covers: a bit each in a 64-byte word.
inline constexpr std::size_t kMarkWindow = 64;

// Whether this processor has the 32-byte compares (AVX2) that the marking can use.
bool CpuHasWideCompares();

// A bit for every CR and every LF among the 64 bytes of text from base (fewer at its end): the
// marking of a window that the walk's inline markings do not cover.
std::uint64_t MarkLineBreaks(std::string_view text, std::size_t base);

namespace line_walk {

// The markings of whole windows, inline in the walk: a header block is a dozen windows, and a
// call for each cost as much as finding its lines. They mark the line ends alone: the LF of a
// CR LF within the window goes unmarked, as most mails end every line so and the walk would
// step over it once a line (the walk still steps over one left in the window after).
inline std::uint64_t LineEnds(std::uint64_t crs, std::uint64_t lfs) {
    return crs | (lfs & ~(crs << 1));
}

#if defined(__x86_64__)
struct NarrowMarks {
    static std::uint64_t Of(const char* at) {
        std::uint64_t crs = 0, lfs = 0;
        for (unsigned quarter = 0; quarter < 4; ++quarter) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * quarter));
            crs |= Bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))) << (16 * quarter);
            lfs |= Bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))) << (16 * quarter);
        }
        return LineEnds(crs, lfs);
    }
    static std::uint64_t Bits(__m128i lanes) {
        return static_cast<std::uint16_t>(_mm_movemask_epi8(lanes));
    }
};

struct WideMarks {
    __attribute__((target("avx2"))) static std::uint64_t Of(const char* at) {
        std::uint64_t crs = 0, lfs = 0;
        for (unsigned half = 0; half < 2; ++half) {
            const __m256i bytes =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32 * half));
            crs |= Bits(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r'))) << (32 * half);
            lfs |= Bits(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n'))) << (32 * half);
        }
        return LineEnds(crs, lfs);
    }
    __attribute__((target("avx2"))) static std::uint64_t Bits(__m256i lanes) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(lanes));
    }
};
#else
struct NarrowMarks {
    static std::uint64_t Of(const char* at) {
        return MarkLineBreaks(std::string_view(at, kMarkWindow), 0);
    }
};
#endif

// The walk of ForEachLine with the windows marked by Marks; always inlined, so that the
// marking inlines where the caller may use the wide compares.
template <class Marks, class Line>
[[gnu::always_inline]] inline void Walk(std::string_view text, std::size_t from, Line& line) {
    std::size_t start = from;
    for (std::size_t base = from; base < text.size(); base += kMarkWindow) {
        std::uint64_t marks = text.size() - base >= kMarkWindow ? Marks::Of(text.data() + base)
                                                                : MarkLineBreaks(text, base);
        for (; marks != 0; marks &= marks - 1) {
            const std::size_t at = base + static_cast<unsigned>(__builtin_ctzll(marks));
            if (at < start) {
                continue;  // the LF of a CR LF that ended the line before, left marked
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

#if defined(__x86_64__)
template <class Line>
__attribute__((target("avx2"))) void WalkWide(std::string_view text, std::size_t from, Line& line) {
    Walk<WideMarks>(text, from, line);
}
#endif

}  // namespace line_walk

// Calls line(start, end, next) for each line of text from `from` on, in order, until it returns
// false: the line's bytes run from start to end, its line end from end to next (where the next
// line starts). Bytes after the last line end are a last line with no end (next == end). The
// text is looked at 64 places at a time, so a short line costs no more than its line end.
template <class Line>
void ForEachLine(std::string_view text, std::size_t from, Line&& line,
                 bool wide = CpuHasWideCompares()) {
#if defined(__x86_64__)
    if (wide) {
        line_walk::WalkWide(text, from, line);
        return;
    }
#else
    (void)wide;
#endif
    line_walk::Walk<line_walk::NarrowMarks>(text, from, line);
}

}  // namespace tarsel
