// The chunk scan. Each occurrence is owned by the chunk that holds its last byte, so chunk c
// also looks at the m - 1 bytes before it: exactly the overlap that a scan in 100-byte blocks
// with m - 1 bytes of back-step covers, without copying any block.
#include "engine/chunk_scan.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/chunk_prescan.h"
#include "engine/pattern_finder.h"
#include "engine/search_state.h"

namespace tarsel {
namespace {

// Each pool thread keeps its own buffers across units: nothing is allocated per hit.
thread_local std::vector<int> t_found;
thread_local std::string t_edge;

}  // namespace

bool ScanChunk(SearchState& state, int c, const ScanTable& table) {
    const std::string_view pattern = state.m_pattern;
    const std::string_view chunk = state.m_fileChunks[c].view();
    const std::int64_t chunkStart = std::int64_t{c} * kChunkSize;
    // One more than can still be stored is enough to know that the table overflows: once
    // it is full, a unit stops at its first occurrence instead of scanning on.
    const int room = std::max(0, table.capacity - table.count->load());
    const std::size_t limit = table.keep != nullptr ? SIZE_MAX : static_cast<std::size_t>(room) + 1;

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
            const std::string_view before = state.m_fileChunks[ChunkOf(at)].view();
            t_edge.append(before.substr(std::min<std::size_t>(PlaceOf(at), before.size())));
            at = std::int64_t{ChunkOf(at) + 1} * kChunkSize;
        }
        t_edge.append(chunk.substr(0, std::min(ov, chunk.size())));
        FindAllOccurrences(t_edge, pattern, from, t_found, limit);
    }
    if (!TakePrescanned(state, c, pattern, t_found, limit)) {
        FindAllOccurrences(chunk, pattern, chunkStart, t_found, limit);
    }

    if (table.keep != nullptr) {
        table.keep(state, c, t_found);
    }
    // Reserve the entries in one step; whatever does not fit overflows the table.
    const int want = static_cast<int>(t_found.size());
    int old = table.count->load();
    int take = 0;
    do {
        take = std::clamp(table.capacity - old, 0, want);
    } while (!table.count->compare_exchange_weak(old, old + take));
    std::copy_n(t_found.begin(), take, table.entries + old);
    if (table.runs != nullptr) {
        table.runs[c] = ScanRun{old, take};
    }
    return take == want;
}

void SortScanTable(int* entries, int count, const ScanRun* runs, int chunks, int* room) {
    if (std::is_sorted(entries, entries + count)) {
        return;
    }
    // The tables are sorted one at a time, on the thread that drives the search, in the room
    // beside them; a table given no room or a larger one (a test's) gets a buffer of its own.
    thread_local std::vector<int> larger;
    if (room == nullptr || count > kSortRoom) {
        larger.resize(static_cast<std::size_t>(count));
        room = larger.data();
    }
    if (runs != nullptr) {
        // The runs of units that did not run are empty, and those that did never overlap: when
        // they add up to the table, they are all of it.
        long long covered = 0;
        for (int c = 0; c < chunks; ++c) {
            covered += runs[c].length;
        }
        if (covered == count) {
            int* to = room;
            for (int c = 0; c < chunks; ++c) {
                to = std::copy_n(entries + runs[c].first, runs[c].length, to);
            }
            std::copy(room, room + count, entries);
            return;
        }
    }
    const auto outside = [](int offset) { return offset < 0 || ChunkOf(offset) >= kChunkCapacity; };
    if (std::any_of(entries, entries + count, outside)) {
        std::sort(entries, entries + count);  // not offsets in a loaded file
        return;
    }
    // A stable counting sort by the chunk an offset lies in keeps each unit's run ascending;
    // only a chunk whose entries came from two units (an occurrence across its end) can
    // still be out of order, and only there is a general sort needed.
    thread_local std::vector<int> starts;
    starts.assign(kChunkCapacity + 1, 0);
    for (int i = 0; i < count; ++i) {
        ++starts[static_cast<std::size_t>(ChunkOf(entries[i])) + 1];
    }
    for (int c = 0; c < kChunkCapacity; ++c) {
        starts[c + 1] += starts[c];
    }
    std::vector<int> next(starts.begin(), starts.end() - 1);
    for (int i = 0; i < count; ++i) {
        room[next[static_cast<std::size_t>(ChunkOf(entries[i]))]++] = entries[i];
    }
    for (int c = 0; c < kChunkCapacity; ++c) {
        int* const from = room + starts[c];
        int* const to = room + starts[c + 1];
        if (!std::is_sorted(from, to)) {
            std::sort(from, to);
        }
    }
    std::copy(room, room + count, entries);
}

}  // namespace tarsel
