// The byte search of the MIME scanner. Mail text repeats a needle's first byte often (a
// UTF-8 lead byte, a boundary's dash) but rarely its first and last together, so comparing
// both at sixteen (or, where the processor can, thirty-two) positions at once leaves few
// candidates to compare in full.
#include "mime/text_util.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tarsel::mime {
namespace {

constexpr std::size_t kShortNeedle = 64;

std::size_t FindWithMemmem(std::string_view text, std::string_view needle, std::size_t from) {
    const void* hit =
        ::memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

#if defined(__x86_64__)
// The same comparison of first and last byte, thirty-two positions at a time: from i on, the
// needle's first position, or npos once fewer than thirty-two positions are left, with i
// where the caller goes on.
__attribute__((target("avx2"))) std::size_t FindShortWide(std::string_view text,
                                                          std::string_view needle, std::size_t& i) {
    const std::size_t m = needle.size();
    const char* data = text.data();
    const __m256i first = _mm256_set1_epi8(needle[0]);
    const __m256i last = _mm256_set1_epi8(needle[m - 1]);
    for (; i + m - 1 + 32 <= text.size(); i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + m - 1));
        auto mask = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
        while (mask != 0) {
            const std::size_t pos = i + static_cast<unsigned>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (std::memcmp(data + pos + 1, needle.data() + 1, m - 2) == 0) {
                return pos;
            }
        }
    }
    return std::string_view::npos;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

bool HasEightBitByte(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        if (_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) != 0) {
            return true;
        }
    }
#endif
    unsigned high = 0;
    for (; p < end; ++p) {
        high |= static_cast<unsigned char>(*p) & 0x80u;
    }
    return high != 0;
}

std::size_t FindBytes(std::string_view text, std::string_view needle, std::size_t from) {
    const std::size_t m = needle.size();
    if (from > text.size() || text.size() - from < m) {
        return std::string_view::npos;
    }
    if (m == 0) {
        return from;
    }
    if (m == 1 || m > kShortNeedle) {
        return FindWithMemmem(text, needle, from);
    }
    std::size_t i = from;
    const char* data = text.data();
#if defined(__x86_64__)
    if (HasAvx2()) {
        if (const std::size_t found = FindShortWide(text, needle, i);
            found != std::string_view::npos) {
            return found;
        }
    }
#endif
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[m - 1]);
    // Both loads of a round stay inside the text: i + m - 1 + 16 <= size.
    for (; i + m - 1 + 16 <= text.size(); i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + m - 1));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (mask != 0) {
            const std::size_t pos = i + static_cast<unsigned>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (std::memcmp(data + pos + 1, needle.data() + 1, m - 2) == 0) {
                return pos;
            }
        }
    }
#endif
    // What is left is short (a header value, the end of a text): a call of memmem would cost
    // more than looking.
    if (text.size() - i > 16 + kShortNeedle) {
        return FindWithMemmem(text, needle, i);
    }
    for (; i + m <= text.size(); ++i) {
        if (data[i] == needle[0] && std::memcmp(data + i + 1, needle.data() + 1, m - 1) == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace tarsel::mime
