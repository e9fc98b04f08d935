// The search state of one archive: its tables and its chunk arena.
#include "engine/search_state.h"

#include <sys/mman.h>

#include <algorithm>
#include <iterator>

#include "engine/chunk_prescan.h"

#if defined(__SANITIZE_ADDRESS__)
#define TARSEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARSEL_ASAN 1
#endif
#endif

#if defined(TARSEL_ASAN)
#include <sanitizer/asan_interface.h>
#define TARSEL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define TARSEL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define TARSEL_POISON(p, n) ((void)(p), (void)(n))
#define TARSEL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace tarsel {

void* ReserveHugePageSpace(std::size_t bytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    // Whole huge pages from a boundary on: the slack before the boundary stays unused.
    const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
        return nullptr;
    }
    const auto base = reinterpret_cast<std::uintptr_t>(p);
    const auto at = (base + kHugePage - 1) & ~(kHugePage - 1);
    // The slack on either side goes back at once, so that the space is exactly what
    // ReleaseHugePageSpace gives back.
    if (at > base) {
        ::munmap(p, at - base);
    }
    if (const std::uintptr_t tail = base + length + kHugePage - (at + length); tail > 0) {
        ::munmap(reinterpret_cast<void*>(at + length), tail);
    }
    ::madvise(reinterpret_cast<void*>(at), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(at);
}

void ReleaseHugePageSpace(void* space, std::size_t bytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    ::munmap(space, length);
}

namespace {

// The mail table, the hit table, the sorting room and the viewed flags, one after another with
// a page between them that sanitizer builds keep off limits, as they do the ends of a global
// array. All of them fit one 2 MB page.
constexpr std::size_t kGuard = 4096;
constexpr std::size_t kMailBytes = std::size_t{kMailCapacity} * sizeof(int);
constexpr std::size_t kHitBytes = std::size_t{kHitCapacity} * sizeof(int);
constexpr std::size_t kSortBytes = std::size_t{kSortRoom} * sizeof(int);
constexpr std::size_t kViewedBytes = std::size_t{kViewedCapacity} * sizeof(int);
constexpr std::size_t kSortAt = kMailBytes + kGuard + kHitBytes + kGuard;
constexpr std::size_t kViewedAt = kSortAt + kSortBytes + kGuard;
constexpr std::size_t kTableBytes = kViewedAt + kViewedBytes + kGuard;
static_assert(kTableBytes <= std::size_t{2} << 20);

}  // namespace

SearchState::SearchState() : m_prescan(NewPrescanFinds()) {
    auto* space = static_cast<char*>(ReserveHugePageSpace(kTableBytes));
    m_tablesMapped = space != nullptr;
    if (space == nullptr) {
        space = new char[kTableBytes]();
    }
    TARSEL_POISON(space + kMailBytes, kGuard);
    TARSEL_POISON(space + kSortAt - kGuard, kGuard);
    TARSEL_POISON(space + kViewedAt - kGuard, kGuard);
    TARSEL_POISON(space + kTableBytes - kGuard, kGuard);
    m_tables = space;
    m_mailStarts = reinterpret_cast<int*>(space);
    m_hits = reinterpret_cast<int*>(space + kMailBytes + kGuard);
    m_sortRoom = reinterpret_cast<int*>(space + kSortAt);
    m_viewedFlags = reinterpret_cast<int*>(space + kViewedAt);

    // Address space for the largest file. Pages become memory only when a load writes them,
    // and huge pages keep the cost of those first writes low: a fresh process spends most of
    // its load time on page faults otherwise. In sanitizer builds a slot is off limits past its
    // chunk's loaded bytes once it has been loaded into (see FileChunk::Commit), so a read past
    // a chunk's end is reported as it would be for a heap buffer.
    m_arena = static_cast<char*>(ReserveHugePageSpace(kMaxFileSize));
    for (int c = 0; c < kChunkCapacity; ++c) {
        if (m_arena != nullptr) {
            m_fileChunks[c].slot_ = m_arena + std::size_t(c) * kChunkSize;
        }
    }
}

SearchState::~SearchState() {
    if (m_arena != nullptr) {
        // A later mapping at the same place must not find the sanitizer's marks of this one.
        for (FileChunk& chunk : m_fileChunks) {
            if (chunk.prepared_) {
                TARSEL_UNPOISON(chunk.slot_, kChunkSize);
            }
        }
        ReleaseHugePageSpace(m_arena, kMaxFileSize);
    }
    TARSEL_UNPOISON(m_tables, kTableBytes);
    if (m_tablesMapped) {
        ReleaseHugePageSpace(m_tables, kTableBytes);
    } else {
        delete[] m_tables;
    }
}

void SearchState::MarkViewed(int position) {
    m_viewedFlags[position] = 1;
    m_viewedEnd = std::max(m_viewedEnd, position + 1);
}

void SearchState::ClearViewedFlags() {
    for (int p = 0; p < m_viewedEnd; ++p) {
        m_viewedFlags[p] = 0;
    }
    m_viewedEnd = 0;
}

void SearchState::ReleaseChunks() {
    for (FileChunk& chunk : m_fileChunks) {
        chunk.Borrow(nullptr, 0);
        chunk.own_.reset();
        if (m_arena == nullptr) {
            chunk.slot_ = nullptr;
        }
    }
    if (m_arena != nullptr) {
        // The space stays reserved for the next load; only its memory goes.
        ::madvise(m_arena, kMaxFileSize, MADV_DONTNEED);
    }
}

char* FileChunk::Prepare() {
    if (slot_ == nullptr) {
        // Without an arena each chunk gets a buffer of its own, kept for later loads.
        own_ = std::make_unique<char[]>(kChunkSize);
        slot_ = own_.get();
    }
    data_ = slot_;
    size_ = 0;
    prepared_ = true;
    Restamp();
    TARSEL_UNPOISON(slot_, kChunkSize);
    return slot_;
}

void FileChunk::Commit(int size) {
    size_ = size;
    TARSEL_POISON(slot_ + size, kChunkSize - size);
}

void FileChunk::Borrow(const char* bytes, int size) {
    data_ = bytes;
    size_ = size;
    Restamp();
}

void FileChunk::Restamp() {
    static std::atomic<std::uint64_t> stamps{0};
    stamp_ = stamps.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::int64_t SearchState::LoadedSize() const {
    if (m_chunkCount == 0) {
        return 0;
    }
    return std::int64_t{m_chunkCount - 1} * kChunkSize + m_fileChunks[m_chunkCount - 1].size();
}

}  // namespace tarsel
