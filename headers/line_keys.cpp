// Marking line ends and key beginnings of a mail, 64 places at a time.
#include "headers/line_keys.h"

#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "decode/case_blind_word.h"
#include "headers/ascii_text.h"

namespace tarsel {
namespace {

struct Key {
    std::string_view name;  // upper case, letters only, at most eight of them
    std::size_t LineKeys::*place;
    CaseBlindWord word;

    constexpr Key(std::string_view keyName, std::size_t LineKeys::*keyPlace)
        : name(keyName), place(keyPlace), word(keyName) {}
};
constexpr std::array<Key, 3> kKeys = {
    {{"SUBJECT", &LineKeys::subject}, {"DATE", &LineKeys::date}, {"FROM", &LineKeys::sender}}};

bool IsLineEnd(char first, char second) {
    return first == '\r' && second == '\n';
}

bool MayBeginKey(char first, char second) {
    first = UpperAscii(first);
    second = UpperAscii(second);
    for (const Key& key : kKeys) {
        if (first == key.name[0] && second == key.name[1]) {
            return true;
        }
    }
    return false;
}

// Whether text holds the key at at, its letters compared in any case.
bool HoldsKey(std::string_view text, std::size_t at, const Key& key) {
    if (std::endian::native == std::endian::little && text.size() - at >= sizeof(std::uint64_t)) {
        return key.word.At(text.data() + at);
    }
    if (text.size() - at < key.name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < key.name.size(); ++i) {
        if (UpperAscii(text[at + i]) != key.name[i]) {
            return false;
        }
    }
    return true;
}

#if defined(__x86_64__)
#define TARSEL_WIDE __attribute__((target("avx2")))

TARSEL_WIDE __m256i WidePair(__m256i first, __m256i second, std::string_view key) {
    return _mm256_and_si256(
        _mm256_cmpeq_epi8(first, _mm256_set1_epi8(static_cast<char>(key[0] | 0x20))),
        _mm256_cmpeq_epi8(second, _mm256_set1_epi8(static_cast<char>(key[1] | 0x20))));
}

// The marks of the 64 places from at, 32 at a time; at[64] must be readable.
TARSEL_WIDE void MarkWide(const char* at, std::uint64_t& lineEnds, std::uint64_t& keyStarts) {
    const __m256i caseBit = _mm256_set1_epi8(0x20);
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    for (unsigned half = 0; half < 2; ++half, at += 32) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
        const __m256i firstCased = _mm256_or_si256(first, caseBit);
        const __m256i secondCased = _mm256_or_si256(second, caseBit);
        const __m256i ends =
            _mm256_and_si256(_mm256_cmpeq_epi8(first, cr), _mm256_cmpeq_epi8(second, lf));
        const __m256i keys =
            _mm256_or_si256(WidePair(firstCased, secondCased, kKeys[0].name),
                            _mm256_or_si256(WidePair(firstCased, secondCased, kKeys[1].name),
                                            WidePair(firstCased, secondCased, kKeys[2].name)));
        lineEnds |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(ends))}
                    << (32 * half);
        keyStarts |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(keys))}
                     << (32 * half);
    }
}
#undef TARSEL_WIDE
#endif

}  // namespace

bool CpuHasWideCompares() {
#if defined(__x86_64__)
    static const bool wide = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return wide;
#else
    return false;
#endif
}

void LineKeyScanner::MarkFrom(std::size_t base) {
    base_ = base;
    lineEnds_ = 0;
    keyStarts_ = 0;
    std::size_t i = 0;
#if defined(__x86_64__)
    if (wide_ && base + kMarkWindow + 1 <= text_.size()) {
        MarkWide(text_.data() + base, lineEnds_, keyStarts_);
        return;
    }
#endif
#if defined(__SSE2__)
    // With the case bit set, a letter matches its key letter in either case and nothing else
    // does; the CR LF is compared as it is.
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const auto pair = [&](__m128i first, __m128i second, std::string_view key) {
        return _mm_and_si128(
            _mm_cmpeq_epi8(first, _mm_set1_epi8(static_cast<char>(key[0] | 0x20))),
            _mm_cmpeq_epi8(second, _mm_set1_epi8(static_cast<char>(key[1] | 0x20))));
    };
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i < kMarkWindow && base + i + 17 <= text_.size(); i += 16) {
        const char* at = text_.data() + base + i;
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
        const __m128i firstCased = _mm_or_si128(first, caseBit);
        const __m128i secondCased = _mm_or_si128(second, caseBit);
        const __m128i ends = _mm_and_si128(_mm_cmpeq_epi8(first, cr), _mm_cmpeq_epi8(second, lf));
        const __m128i keys =
            _mm_or_si128(pair(firstCased, secondCased, kKeys[0].name),
                         _mm_or_si128(pair(firstCased, secondCased, kKeys[1].name),
                                      pair(firstCased, secondCased, kKeys[2].name)));
        lineEnds_ |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(ends)))
                     << i;
        keyStarts_ |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(keys)))
                      << i;
    }
#endif
    for (; i < kMarkWindow && base + i + 1 < text_.size(); ++i) {
        const char first = text_[base + i];
        const char second = text_[base + i + 1];
        if (IsLineEnd(first, second)) {
            lineEnds_ |= std::uint64_t{1} << i;
        } else if (MayBeginKey(first, second)) {
            keyStarts_ |= std::uint64_t{1} << i;
        }
    }
}

bool LineKeyScanner::NoteKey(std::size_t at, LineKeys& keys) const {
    // The first two letters tell which key it can be.
    const char first = UpperAscii(text_[at]);
    for (const Key& key : kKeys) {
        if (first == key.name[0]) {
            if (keys.*key.place == kNoPlace && HoldsKey(text_, at, key)) {
                keys.*key.place = at;
                return true;
            }
            return false;
        }
    }
    return false;
}

}  // namespace tarsel
