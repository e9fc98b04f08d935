// Occurrences found by a load unit while its chunk is still in the cache: the mail marks, and
// the search string when the load is part of a search. The count and search units take them
// instead of reading the chunk from memory again, so a first search reads each byte once.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/search_state.h"

namespace tarsel {

class SearchState;

// A load's kept lists, per chunk of one search state.
class PrescanFinds {
  public:
    // A kept list: a piece of the store.
    struct Kept {
        const int* offsets = nullptr;
        int size = 0;
        bool valid = false;
    };
    struct ChunkFinds {
        std::uint64_t stamp = 0;  // the chunk's contents the lists belong to
        Kept marks;
        Kept hits;
    };

    PrescanFinds() = default;
    ~PrescanFinds();
    PrescanFinds(const PrescanFinds&) = delete;
    PrescanFinds& operator=(const PrescanFinds&) = delete;

    ChunkFinds finds[kChunkCapacity];
    std::string hitPattern;  // written before the load units start, read-only while they run
    // The kept lists of a load, one after another, with room taken as the lists are done. It
    // holds every list of a load whose chunks are all found twice (after blanking NULs), so
    // that no list goes unkept; its memory is only touched as far as it is used.
    int* store = nullptr;
    bool storeMapped = false;
    std::atomic<std::size_t> storeUsed{0};
};

std::unique_ptr<PrescanFinds> NewPrescanFinds();

// The driving thread, before the load units start: what they look for besides the marks
// (nothing when empty).
void BeginPrescan(SearchState& state, std::string searchPattern);
// Load unit c, on the bytes it has just read for chunk c: the occurrences of the mark and of
// the search string that lie wholly inside them. False when the bytes hold a NUL byte; the
// unit then blanks the NULs and calls again.
bool PrescanChunk(SearchState& state, int c, std::string_view bytes);
// Scan unit c: appends the occurrences of pattern wholly inside chunk c, as the load found
// them, until out holds limit entries, and forgets them. False when the load did not find
// them for the chunk as it now stands; the caller then scans the chunk itself.
bool TakePrescanned(SearchState& state, int c, std::string_view pattern, std::vector<int>& out,
                    std::size_t limit);

}  // namespace tarsel
