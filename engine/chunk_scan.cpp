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
    // One more than can still be stored is enough to know that the table overflows: once
    // it is full, a unit stops at its first occurrence instead of scanning on.
    const int room = std::max(0, table.capacity - table.count->load());
    const std::size_t limit = static_cast<std::size_t>(room) + 1;

    t_found.clear();
    const std::size_t ov = pattern.size() - 1;
    if (c > 0 && ov > 0) {
        // Occurrences that begin before this chunk and end in it: the m - 1 bytes before the
        // chunk and its first m - 1 bytes, which cannot hold one wholly. A string longer than
        // a chunk reaches back over more than one (full) earlier chunk.
        const std::int64_t from =
            std::max<std::int64_t>(0, chunkStart - static_cast<std::int64_t>(ov));
        t_edge.clear();
        for (std::int64_t at = from; at < chunkStart;) {
            const std::string_view before = g_fileChunks[ChunkOf(at)].view();
            t_edge.append(before.substr(std::min<std::size_t>(PlaceOf(at), before.size())));
            at = std::int64_t{ChunkOf(at) + 1} * kChunkSize;
        }
        t_edge.append(chunk.substr(0, std::min(ov, chunk.size())));
        FindAllOccurrences(t_edge, pattern, from, t_found, limit);
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
