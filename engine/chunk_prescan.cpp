// The occurrences a load unit finds for the later scan units of the same chunk.
#include "engine/chunk_prescan.h"

#include <algorithm>
#include <cstdint>

#include "engine/pattern_finder.h"
#include "engine/search_state.h"

namespace tarsel {
namespace {

// More occurrences than this in one chunk are not kept: the scan unit looks for them again.
// It bounds what the lists hold however the file is made.
constexpr std::size_t kKeptPerChunk = 2048;
constexpr std::string_view kMark = "\x7F\x20\x7F";

struct Found {
    std::vector<int> offsets;
    bool valid = false;
};

struct ChunkFinds {
    std::uint64_t stamp = 0;  // the chunk's contents the lists belong to
    Found marks;
    Found hits;
};

ChunkFinds g_finds[kChunkCapacity];
std::string g_hitPattern;  // written before the load units start, read-only while they run

void Find(std::string_view chunk, std::string_view pattern, std::int64_t base, Found& found) {
    found.offsets.clear();
    found.valid = false;
    if (pattern.empty()) {
        return;
    }
    FindAllOccurrences(chunk, pattern, base, found.offsets, kKeptPerChunk + 1);
    found.valid = found.offsets.size() <= kKeptPerChunk;
}

}  // namespace

void BeginPrescan(std::string searchPattern) {
    g_hitPattern = std::move(searchPattern);
}

void PrescanChunk(int c) {
    ChunkFinds& finds = g_finds[c];
    const std::string_view chunk = g_fileChunks[c].view();
    const std::int64_t base = std::int64_t{c} * kChunkSize;
    finds.stamp = g_fileChunks[c].stamp();
    Find(chunk, kMark, base, finds.marks);
    Find(chunk, g_hitPattern, base, finds.hits);
}

bool TakePrescanned(int c, std::string_view pattern, std::vector<int>& out, std::size_t limit) {
    ChunkFinds& finds = g_finds[c];
    if (finds.stamp != g_fileChunks[c].stamp()) {
        return false;
    }
    Found* found = nullptr;
    if (finds.marks.valid && pattern == kMark) {
        found = &finds.marks;
    } else if (finds.hits.valid && pattern == g_hitPattern) {
        found = &finds.hits;
    } else {
        return false;
    }
    found->valid = false;
    if (out.size() < limit) {
        const std::size_t take = std::min(found->offsets.size(), limit - out.size());
        out.insert(out.end(), found->offsets.begin(), found->offsets.begin() + take);
    }
    return true;
}

}  // namespace tarsel
