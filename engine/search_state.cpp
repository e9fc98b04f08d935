// Storage of the process-wide search state.
#include "engine/search_state.h"

#include <sys/mman.h>

#include <algorithm>
#include <iterator>

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

FileChunk g_fileChunks[kChunkCapacity];
int g_lastChunkSize = 0;
std::filesystem::path g_filePath;
int g_chunkCount = 0;
std::atomic<int> g_workersRunning{1};
std::atomic<int> g_unitsDone{0};
std::string g_pattern;
std::atomic<int> g_mailCount{0};
std::atomic<int> g_hitCount{0};

void* ReserveHugePageSpace(std::size_t bytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    // Whole huge pages from a boundary on: the slack before the boundary stays unused.
    const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
        return nullptr;
    }
    const auto at = (reinterpret_cast<std::uintptr_t>(p) + kHugePage - 1) & ~(kHugePage - 1);
    ::madvise(reinterpret_cast<void*>(at), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(at);
}

namespace {

// The mail table, the hit table and the sorting room, one after another with a page between
// them that sanitizer builds keep off limits, as they do the ends of a global array.
constexpr std::size_t kGuard = 4096;
constexpr std::size_t kMailBytes = std::size_t{kMailCapacity} * sizeof(int);
constexpr std::size_t kHitBytes = std::size_t{kHitCapacity} * sizeof(int);
constexpr std::size_t kSortBytes = std::size_t{kSortRoom} * sizeof(int);
constexpr std::size_t kTableBytes = kMailBytes + kHitBytes + kSortBytes + 3 * kGuard;

char* Tables() {
    static char* const tables = [] {
        auto* space = static_cast<char*>(ReserveHugePageSpace(kTableBytes));
        if (space == nullptr) {
            space = new char[kTableBytes]();
        }
        TARSEL_POISON(space + kMailBytes, kGuard);
        TARSEL_POISON(space + kMailBytes + kGuard + kHitBytes, kGuard);
        TARSEL_POISON(space + kTableBytes - kGuard, kGuard);
        return space;
    }();
    return tables;
}

}  // namespace

int* const g_mailStarts = reinterpret_cast<int*>(Tables());
int* const g_hits = reinterpret_cast<int*>(Tables() + kMailBytes + kGuard);
int* const g_sortRoom = reinterpret_cast<int*>(Tables() + kMailBytes + kGuard + kHitBytes + kGuard);
std::atomic<int> g_viewedFlags[kViewedCapacity];
std::atomic<bool> g_loadFailed{false};
CSearchController* g_mailView = nullptr;

namespace {

// One past the highest flag set since the last clearing. Marking and clearing are the
// driver's, on the thread that drives the search.
int g_viewedEnd = 0;

}  // namespace

void MarkViewed(int position) {
    g_viewedFlags[position] = 1;
    g_viewedEnd = std::max(g_viewedEnd, position + 1);
}

void ClearViewedFlags() {
    for (int p = 0; p < g_viewedEnd; ++p) {
        g_viewedFlags[p].store(0, std::memory_order_relaxed);
    }
    g_viewedEnd = 0;
}

namespace {

// Address space for the largest file, reserved at first use. Pages become memory only when
// a load writes them, and huge pages keep the cost of those first writes low: a fresh
// process spends most of its load time on page faults otherwise.
char* ChunkArena() {
    static char* const arena = [] {
        void* p = ReserveHugePageSpace(kMaxFileSize);
        if (p == nullptr) {
            return static_cast<char*>(nullptr);
        }
        // In sanitizer builds the arena is off limits except for the loaded bytes of each
        // chunk, so a read past a chunk's end is reported as it would be for a heap buffer.
        TARSEL_POISON(p, kMaxFileSize);
        return static_cast<char*>(p);
    }();
    return arena;
}

}  // namespace

char* FileChunk::Prepare() {
    if (slot_ == nullptr) {
        char* arena = ChunkArena();
        const auto index = this - std::begin(g_fileChunks);
        // Without an arena each chunk gets a buffer of its own, kept for later loads.
        slot_ = arena != nullptr ? arena + index * kChunkSize : new char[kChunkSize];
    }
    data_ = slot_;
    size_ = 0;
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

std::int64_t LoadedSize() {
    if (g_chunkCount == 0) {
        return 0;
    }
    return std::int64_t{g_chunkCount - 1} * kChunkSize + g_fileChunks[g_chunkCount - 1].size();
}

}  // namespace tarsel
