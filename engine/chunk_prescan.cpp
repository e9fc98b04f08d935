// The occurrences a load unit finds for the later scan units of the same chunk.
#include "engine/chunk_prescan.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/pattern_finder.h"
#include "engine/search_state.h"

namespace tarsel {
namespace {

// More occurrences than this in one chunk are not kept: the scan unit looks for them again.
// It bounds what the lists hold however the file is made.
constexpr std::size_t kKeptPerChunk = 2048;
constexpr std::string_view kMark = "\x7F\x20\x7F";

// A list as a unit finds it, in a buffer its thread keeps, so that finding allocates nothing.
struct Found {
    std::vector<int> offsets;
    bool valid = false;
};

using Kept = PrescanFinds::Kept;
using ChunkFinds = PrescanFinds::ChunkFinds;

constexpr std::size_t kStoreCapacity = std::size_t{kChunkCapacity} * 2 * 2 * kKeptPerChunk;

Kept Stored(PrescanFinds& prescan, const Found& found) {
    if (!found.valid) {
        return {};
    }
    const std::size_t size = found.offsets.size();
    const std::size_t at = prescan.storeUsed.fetch_add(size);
    if (at + size > kStoreCapacity) {
        return {};
    }
    std::copy(found.offsets.begin(), found.offsets.end(), prescan.store + at);
    return Kept{prescan.store + at, static_cast<int>(size), true};
}

Found& ThreadList(int which) {
    thread_local Found lists[2];
    Found& list = lists[which];
    list.offsets.reserve(kKeptPerChunk + 1);  // the most a list holds: it never grows after
    list.offsets.clear();
    list.valid = false;
    return list;
}

void Find(std::string_view chunk, std::string_view pattern, std::int64_t base, Found& found) {
    if (pattern.empty()) {
        return;
    }
    FindAllOccurrences(chunk, pattern, base, found.offsets, kKeptPerChunk + 1);
    found.valid = found.offsets.size() <= kKeptPerChunk;
}

#if defined(__x86_64__)
// One pattern of the fused pass: where its first and last byte agree, and what it found.
struct Needle {
    std::string_view pattern;
    Found* found;
};

// Appends the matches among the candidates pos + bit of mask, whose first and last bytes
// agree; stops keeping them (and leaves the list invalid) once there are more than a chunk
// keeps.
__attribute__((always_inline)) inline void Keep(unsigned mask, std::string_view text,
                                                std::size_t pos, std::int64_t base,
                                                const Needle& needle) {
    const std::string_view p = needle.pattern;
    std::vector<int>& out = needle.found->offsets;
    while (mask != 0 && out.size() <= kKeptPerChunk)
        [[unlikely]] {
            const std::size_t at = pos + static_cast<unsigned>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (MiddleAgrees(text.data() + at, p)) {
                out.push_back(static_cast<int>(base + static_cast<std::int64_t>(at)));
            }
        }
}

// Appends the marks among the candidates pos + bit of mask, whose first byte agrees: the other
// two bytes of the mark are compared as they are.
__attribute__((always_inline)) inline void KeepMarks(std::uint64_t mask, const char* data,
                                                     std::size_t pos, std::int64_t base,
                                                     std::vector<int>& out) {
    static_assert(kMark.size() == 3);
    while (mask != 0 && out.size() <= kKeptPerChunk) {
        const std::size_t at = pos + static_cast<unsigned>(__builtin_ctzll(mask));
        mask &= mask - 1;
        if (data[at + 1] == kMark[1] && data[at + 2] == kMark[2]) {
            out.push_back(static_cast<int>(base + static_cast<std::int64_t>(at)));
        }
    }
}

// The first and last byte of a pattern, 32 times over.
struct Ends {
    __m256i first;
    __m256i last;
    std::size_t reach;  // pattern length - 1
};

__attribute__((target("avx2"))) inline Ends EndsOf(std::string_view pattern) {
    return {_mm256_set1_epi8(pattern.front()), _mm256_set1_epi8(pattern.back()),
            pattern.size() - 1};
}

// 0xFF at each of the 32 positions from at where both ends of a pattern agree.
__attribute__((target("avx2"))) inline __m256i Agree(const char* at, __m256i bytes,
                                                     const Ends& ends) {
    const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + ends.reach));
    return _mm256_and_si256(_mm256_cmpeq_epi8(bytes, ends.first),
                            _mm256_cmpeq_epi8(last, ends.last));
}

__attribute__((target("avx2"))) inline unsigned MaskOf(__m256i lanes) {
    return static_cast<unsigned>(_mm256_movemask_epi8(lanes));
}

// The mark (mark.pattern is kMark), the search string and NUL bytes in one pass of 64
// positions a round over the chunk, while it is in the cache. Without a search string the
// mark stands in for it and its second list is not kept. False when the text holds a NUL
// byte: the lists are then of no use.
__attribute__((target("avx2"))) bool FindFused(std::string_view text, std::int64_t base,
                                               const Needle& mark, const Needle& hit) {
    mark.found->offsets.clear();
    hit.found->offsets.clear();
    const bool hits = hit.pattern.data() != mark.pattern.data();
    const Ends markEnds = EndsOf(mark.pattern);
    const Ends hitEnds = EndsOf(hit.pattern);
    const std::size_t reach = std::max(markEnds.reach, hitEnds.reach);
    const char* data = text.data();
    const __m256i zero = _mm256_setzero_si256();
    __m256i nul = zero;
    std::size_t i = 0;
    for (; i + reach + 64 <= text.size(); i += 64) {
        _mm_prefetch(data + i + kPrefetchAhead, _MM_HINT_T0);
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 32));
        nul = _mm256_or_si256(nul, _mm256_cmpeq_epi8(_mm256_min_epu8(low, high), zero));
        // The mark's first byte is rare enough in mail text to stand for it alone.
        const __m256i markLow = _mm256_cmpeq_epi8(low, markEnds.first);
        const __m256i markHigh = _mm256_cmpeq_epi8(high, markEnds.first);
        const __m256i hitLow = Agree(data + i, low, hitEnds);
        const __m256i hitHigh = Agree(data + i + 32, high, hitEnds);
        const __m256i any =
            _mm256_or_si256(_mm256_or_si256(markLow, markHigh), _mm256_or_si256(hitLow, hitHigh));
        if (_mm256_testz_si256(any, any) != 0) {
            continue;  // the usual case: nothing in 64 positions
        }
        KeepMarks(MaskOf(markLow) | std::uint64_t{MaskOf(markHigh)} << 32, data, i, base,
                  mark.found->offsets);
        if (hits) {
            Keep(MaskOf(hitLow), text, i, base, hit);
            Keep(MaskOf(hitHigh), text, i + 32, base, hit);
        }
    }
    if (_mm256_testz_si256(nul, nul) == 0 || std::memchr(data + i, 0, text.size() - i) != nullptr) {
        return false;
    }
    for (const Needle* needle : {&mark, &hit}) {
        const std::string_view p = needle->pattern;
        if (needle == &hit && !hits) {
            break;
        }
        for (std::size_t at = i; at + p.size() <= text.size(); ++at) {
            if (text[at] == p.front() && text[at + p.size() - 1] == p.back()) {
                Keep(1, text, at, base, *needle);
            }
        }
        needle->found->valid = needle->found->offsets.size() <= kKeptPerChunk;
    }
    return true;
}
#endif

// The marks and hits of one chunk into the thread's lists; false when the bytes hold a NUL.
bool FindLists(std::string_view bytes, std::int64_t base, const std::string& hitPattern,
               Found& marks, Found& hits) {
#if defined(__x86_64__)
    if (hitPattern.size() <= kLongPattern && __builtin_cpu_supports("avx2")) {
        const Needle mark{kMark, &marks};
        return FindFused(bytes, base, mark, hitPattern.empty() ? mark : Needle{hitPattern, &hits});
    }
#endif
    if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
        return false;
    }
    Find(bytes, kMark, base, marks);
    Find(bytes, hitPattern, base, hits);
    return true;
}

}  // namespace

PrescanFinds::~PrescanFinds() {
    if (storeMapped) {
        ReleaseHugePageSpace(store, kStoreCapacity * sizeof(int));
    } else {
        delete[] store;
    }
}

std::unique_ptr<PrescanFinds> NewPrescanFinds() {
    return std::make_unique<PrescanFinds>();
}

void BeginPrescan(SearchState& state, std::string searchPattern) {
    PrescanFinds& prescan = state.Prescan();
    prescan.hitPattern = std::move(searchPattern);
    if (prescan.store == nullptr) {
        prescan.store = static_cast<int*>(ReserveHugePageSpace(kStoreCapacity * sizeof(int)));
        prescan.storeMapped = prescan.store != nullptr;
    }
    if (prescan.store == nullptr) {
        prescan.store = new int[kStoreCapacity];
    }
    prescan.storeUsed = 0;
    for (ChunkFinds& finds : prescan.finds) {
        finds.marks = {};
        finds.hits = {};
    }
}

bool PrescanChunk(SearchState& state, int c, std::string_view bytes) {
    PrescanFinds& prescan = state.Prescan();
    ChunkFinds& finds = prescan.finds[c];
    const std::int64_t base = std::int64_t{c} * kChunkSize;
    finds.stamp = state.m_fileChunks[c].stamp();
    finds.marks = {};
    finds.hits = {};
    Found& marks = ThreadList(0);
    Found& hits = ThreadList(1);
    const bool clean = FindLists(bytes, base, prescan.hitPattern, marks, hits);
    if (clean) {
        finds.marks = Stored(prescan, marks);
        finds.hits = Stored(prescan, hits);
    }
    return clean;
}

bool TakePrescanned(SearchState& state, int c, std::string_view pattern, std::vector<int>& out,
                    std::size_t limit) {
    PrescanFinds& prescan = state.Prescan();
    ChunkFinds& finds = prescan.finds[c];
    if (finds.stamp != state.m_fileChunks[c].stamp()) {
        return false;
    }
    Kept* found = nullptr;
    if (finds.marks.valid && pattern == kMark) {
        found = &finds.marks;
    } else if (finds.hits.valid && pattern == prescan.hitPattern) {
        found = &finds.hits;
    } else {
        return false;
    }
    found->valid = false;
    if (out.size() < limit) {
        const std::size_t take =
            std::min(static_cast<std::size_t>(found->size), limit - out.size());
        out.insert(out.end(), found->offsets, found->offsets + take);
    }
    return true;
}

}  // namespace tarsel
