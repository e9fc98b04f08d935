// The chunk scan. Each occurrence is owned by the chunk that holds its last byte, so chunk c
// also looks at the m - 1 bytes before it: exactly the overlap that a scan in 100-byte blocks
// with m - 1 bytes of back-step covers, without copying any block.
#include "engine/chunk_scan.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/pattern_finder.h"
#include "engine/search_state.h"

namespace tarsel {
namespace {

// Each pool thread keeps its own buffers across units: nothing is allocated per hit.
thread_local std::vector<int> t_found;
thread_local std::string t_edge;

}  // namespace

bool ScanChunk(int c, const ScanTable& table) {
    const std::string_view pattern = g_pattern;
    const std::string_view chunk = g_fileChunks[c].view();
    const std::int64_t chunkStart = std::int64_t{c} * kChunkSize;
    // One more than can be stored is enough to know that the table overflows.
    const std::size_t limit = static_cast<std::size_t>(table.capacity) + 1;

    t_found.clear();
    const std::size_t ov = pattern.size() - 1;
    if (c > 0 && ov > 0) {
        // Occurrences that begin in the previous chunk and end in this one: the m - 1 bytes
        // before the chunk and its first m - 1 bytes, which cannot hold one wholly.
        const std::string_view prev = g_fileChunks[c - 1].view();
        const std::size_t tail = std::min(ov, prev.size());
        t_edge.assign(prev.substr(prev.size() - tail));
        t_edge.append(chunk.substr(0, std::min(ov, chunk.size())));
        FindAllOccurrences(t_edge, pattern, chunkStart - static_cast<std::int64_t>(tail), t_found,
                           limit);
    }
    FindAllOccurrences(chunk, pattern, chunkStart, t_found, limit);

    // Reserve the entries in one step; whatever does not fit overflows the table.
    const int want = static_cast<int>(t_found.size());
    int old = table.count->load();
    int take = 0;
    do {
        take = std::clamp(table.capacity - old, 0, want);
    } while (!table.count->compare_exchange_weak(old, old + take));
    std::copy_n(t_found.begin(), take, table.entries + old);
    return take == want;
}

}  // namespace tarsel
