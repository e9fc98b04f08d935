// Occurrence search: the first and last byte of the pattern are compared at 64 positions at
// once (16 without AVX2 or AVX-512), and only positions where both agree are compared in full. Mail
// text rarely repeats the pair, so the scan runs at memory speed for typical patterns.
#include "engine/pattern_finder.h"

#include <cstring>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarsel {
namespace {

// Returns false once out is full.
inline bool Record(std::int64_t offset, std::vector<int>& out, std::size_t limit) {
    out.push_back(static_cast<int>(offset));
    return out.size() < limit;
}

void FindSingleByte(std::string_view text, char byte, std::int64_t base, std::vector<int>& out,
                    std::size_t limit) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (const char* p = begin; p < end;) {
        const void* hit = std::memchr(p, byte, static_cast<std::size_t>(end - p));
        if (hit == nullptr) {
            return;
        }
        const char* h = static_cast<const char*>(hit);
        if (!Record(base + (h - begin), out, limit)) {
            return;
        }
        p = h + 1;
    }
}

// For each prefix length k of the pattern, the length of its longest proper border (a prefix
// that is also a suffix). Kept per thread for the last long pattern: a phase uses one.
const std::vector<std::size_t>& BorderTable(std::string_view pattern) {
    thread_local std::string cachedPattern;
    thread_local std::vector<std::size_t> borders;
    if (cachedPattern != pattern || borders.size() != pattern.size() + 1) {
        cachedPattern.assign(pattern);
        borders.assign(pattern.size() + 1, 0);
        std::size_t k = 0;
        for (std::size_t i = 1; i < pattern.size(); ++i) {
            while (k > 0 && pattern[i] != pattern[k]) {
                k = borders[k];
            }
            if (pattern[i] == pattern[k]) {
                ++k;
            }
            borders[i + 1] = k;
        }
    }
    return borders;
}

// Knuth-Morris-Pratt: every position is looked at a bounded number of times, whatever the
// pattern repeats. After a match it goes on with the longest border (overlapping matches)
// or, with overlap false, from scratch after the match.
template <typename OnMatch>
void MatchLong(std::string_view text, std::string_view pattern, bool overlap, OnMatch onMatch) {
    const std::vector<std::size_t>& borders = BorderTable(pattern);
    const std::size_t m = pattern.size();
    std::size_t k = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        while (k > 0 && text[i] != pattern[k]) {
            k = borders[k];
        }
        if (text[i] == pattern[k]) {
            ++k;
        }
        if (k == m) {
            if (!onMatch(i + 1 - m)) {
                return;
            }
            k = overlap ? borders[m] : 0;
        }
    }
}

// Positions from `from` on, one at a time (used for the tail the vector loop cannot load).
bool FindScalar(std::string_view text, std::string_view pattern, std::size_t from,
                std::int64_t base, std::vector<int>& out, std::size_t limit) {
    const std::size_t m = pattern.size();
    for (std::size_t i = from; i + m <= text.size(); ++i) {
        if (text[i] == pattern[0] && text[i + m - 1] == pattern[m - 1] &&
            MiddleAgrees(text.data() + i, pattern)) {
            if (!Record(base + static_cast<std::int64_t>(i), out, limit)) {
                return false;
            }
        }
    }
    return true;
}

// Records the matches among the candidate positions i + bit of mask (first and last byte
// agree there); false once out is full.
inline bool RecordCandidates(std::uint64_t mask, std::string_view text, std::string_view pattern,
                             std::size_t i, std::int64_t base, std::vector<int>& out,
                             std::size_t limit) {
    while (mask != 0) {
        const auto bit = static_cast<unsigned>(__builtin_ctzll(mask));
        mask &= mask - 1;
        const std::size_t pos = i + bit;
        if (MiddleAgrees(text.data() + pos, pattern)) {
            if (!Record(base + static_cast<std::int64_t>(pos), out, limit)) {
                return false;
            }
        }
    }
    return true;
}

#if defined(__x86_64__)
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

bool HasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512bw");
    return has;
}

// The pair test on 64 positions a round in one register, where the processor has it: two
// loads and two compares into a mask a round, a third of the work of the AVX2 round, so the
// scan of a loaded file keeps up with the memory. Two rounds share one branch, and no prefetch
// is asked for: either cost more than they gained on a loaded archive. i is left as for
// FindPairsAvx2.
__attribute__((target("avx512bw"))) bool FindPairsAvx512(std::string_view text,
                                                         std::string_view pattern,
                                                         std::int64_t base, std::vector<int>& out,
                                                         std::size_t limit, std::size_t& i) {
    const std::size_t m = pattern.size();
    const __m512i first = _mm512_set1_epi8(pattern[0]);
    const __m512i last = _mm512_set1_epi8(pattern[m - 1]);
    const char* data = text.data();
    const auto round = [&](std::size_t at) __attribute__((target("avx512bw"))) {
        return static_cast<std::uint64_t>(_mm512_mask_cmpeq_epi8_mask(
            _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data + at), first),
            _mm512_loadu_si512(data + at + m - 1), last));
    };
    for (; i + m - 1 + 128 <= text.size(); i += 128) {
        const std::uint64_t low = round(i);
        const std::uint64_t high = round(i + 64);
        if ((low | high) == 0) {
            continue;
        }
        if ((low != 0 && !RecordCandidates(low, text, pattern, i, base, out, limit)) ||
            (high != 0 && !RecordCandidates(high, text, pattern, i + 64, base, out, limit))) {
            return false;
        }
    }
    for (; i + m - 1 + 64 <= text.size(); i += 64) {
        const std::uint64_t mask = round(i);
        if (mask != 0 && !RecordCandidates(mask, text, pattern, i, base, out, limit)) {
            return false;
        }
    }
    return true;
}

// 0xFF at each of the 32 positions from at where the first and last byte of a pattern of
// length m agree.
__attribute__((target("avx2"))) inline __m256i PairsAvx2(const char* at, std::size_t m,
                                                         __m256i first, __m256i last) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + m - 1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last));
}

// The pair test on 64 positions a round, where the processor has it; i is left at the first
// position not yet tested. False once out is full.
__attribute__((target("avx2"))) bool FindPairsAvx2(std::string_view text, std::string_view pattern,
                                                   std::int64_t base, std::vector<int>& out,
                                                   std::size_t limit, std::size_t& i) {
    const std::size_t m = pattern.size();
    const __m256i first = _mm256_set1_epi8(pattern[0]);
    const __m256i last = _mm256_set1_epi8(pattern[m - 1]);
    const char* data = text.data();
    // Every load of a round stays inside the text: i + m - 1 + 64 <= size.
    for (; i + m - 1 + 64 <= text.size(); i += 64) {
        _mm_prefetch(data + i + kPrefetchAhead, _MM_HINT_T0);
        const __m256i low = PairsAvx2(data + i, m, first, last);
        const __m256i high = PairsAvx2(data + i + 32, m, first, last);
        if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)) != 0) {
            continue;  // the usual case: no candidate in 64 positions
        }
        const std::uint64_t mask = static_cast<unsigned>(_mm256_movemask_epi8(low)) |
                                   std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(high))}
                                       << 32;
        if (!RecordCandidates(mask, text, pattern, i, base, out, limit)) {
            return false;
        }
    }
    return true;
}
#endif

}  // namespace

void FindAllOccurrences(std::string_view text, std::string_view pattern, std::int64_t base,
                        std::vector<int>& out, std::size_t limit) {
    const std::size_t m = pattern.size();
    if (m == 0 || text.size() < m || out.size() >= limit) {
        return;
    }
    if (m == 1) {
        FindSingleByte(text, pattern[0], base, out, limit);
        return;
    }
    if (m > kLongPattern) {
        MatchLong(text, pattern, true, [&](std::size_t pos) {
            return Record(base + static_cast<std::int64_t>(pos), out, limit);
        });
        return;
    }
    std::size_t i = 0;
#if defined(__x86_64__)
    if (HasAvx512()) {
        if (!FindPairsAvx512(text, pattern, base, out, limit, i)) {
            return;
        }
    }
    if (HasAvx2()) {
        if (!FindPairsAvx2(text, pattern, base, out, limit, i)) {
            return;
        }
    }
#endif
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(pattern[0]);
    const __m128i last = _mm_set1_epi8(pattern[m - 1]);
    const char* data = text.data();
    // Both loads of a round must stay inside the text: i + m - 1 + 16 <= size.
    for (; i + m - 1 + 16 <= text.size(); i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + m - 1));
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        if (!RecordCandidates(mask, text, pattern, i, base, out, limit)) {
            return;
        }
    }
#endif
    FindScalar(text, pattern, i, base, out, limit);
}

std::size_t FindFirstOccurrence(std::string_view text, std::string_view pattern) {
    if (pattern.size() <= kLongPattern) {
        return text.find(pattern);  // a candidate costs at most a short comparison
    }
    std::size_t found = std::string_view::npos;
    MatchLong(text, pattern, false, [&](std::size_t pos) {
        found = pos;
        return false;
    });
    return found;
}

}  // namespace tarsel
