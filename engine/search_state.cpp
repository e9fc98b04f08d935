// Storage of the process-wide search state.
#include "engine/search_state.h"

#include <sys/mman.h>

#include <iterator>

namespace tarsel {

FileChunk g_fileChunks[kChunkCapacity];
int g_lastChunkSize = 0;
std::filesystem::path g_filePath;
int g_chunkCount = 0;
std::atomic<int> g_workersRunning{1};
std::atomic<int> g_unitsDone{0};
std::string g_pattern;
std::atomic<int> g_mailCount{0};
int g_mailStarts[kMailCapacity];
std::atomic<int> g_hitCount{0};
int g_hits[kHitCapacity];
std::atomic<int> g_viewedFlags[kViewedCapacity];
std::atomic<bool> g_loadFailed{false};
CSearchController* g_mailView = nullptr;

namespace {

// Address space for the largest file, reserved at first use. Pages become memory only when
// a load writes them, and huge pages keep the cost of those first writes low: a fresh
// process spends most of its load time on page faults otherwise.
char* ChunkArena() {
    static char* const arena = [] {
        void* p = ::mmap(nullptr, kMaxFileSize, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) {
            return static_cast<char*>(nullptr);
        }
        ::madvise(p, kMaxFileSize, MADV_HUGEPAGE);
        return static_cast<char*>(p);
    }();
    return arena;
}

}  // namespace

char* FileChunk::Prepare() {
    if (data_ == nullptr) {
        char* arena = ChunkArena();
        const auto index = this - std::begin(g_fileChunks);
        // Without an arena each chunk gets a buffer of its own, kept for later loads.
        data_ = arena != nullptr ? arena + index * kChunkSize : new char[kChunkSize];
    }
    size_ = 0;
    return data_;
}

std::int64_t LoadedSize() {
    if (g_chunkCount == 0) {
        return 0;
    }
    return std::int64_t{g_chunkCount - 1} * kChunkSize + g_fileChunks[g_chunkCount - 1].size();
}

}  // namespace tarsel
