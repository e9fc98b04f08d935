// Marking the CR and LF bytes of a mail, 64 places at a time.
#include "headers/line_breaks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarsel {

bool CpuHasWideCompares() {
#if defined(__x86_64__)
    static const bool wide = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return wide;
#else
    return false;
#endif
}

std::uint64_t MarkLineBreaks(std::string_view text, std::size_t base) {
    const std::size_t count = text.size() - base < kMarkWindow ? text.size() - base : kMarkWindow;
    const char* const at = text.data() + base;
    std::size_t i = 0;
    std::uint64_t marks = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + i));
        const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf));
        marks |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(breaks))} << i;
    }
#endif
    for (; i < count; ++i) {
        if (at[i] == '\r' || at[i] == '\n') {
            marks |= std::uint64_t{1} << i;
        }
    }
    return marks;
}

}  // namespace tarsel
