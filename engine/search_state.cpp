// Storage of the process-wide search state.
#include "engine/search_state.h"

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

char* FileChunk::Prepare() {
    // Allocated once and kept: a later file reuses the buffer instead of freeing it.
    if (!data_) {
        data_.reset(new char[kChunkSize]);
    }
    size_ = 0;
    return data_.get();
}

std::int64_t LoadedSize() {
    if (g_chunkCount == 0) {
        return 0;
    }
    return std::int64_t{g_chunkCount - 1} * kChunkSize + g_fileChunks[g_chunkCount - 1].size();
}

}  // namespace tarsel
