// The scan unit shared by mail counting and the string search: every occurrence of
// its state's m_pattern whose last byte lies in one chunk, appended to a shared table of fixed
// capacity.
#pragma once

#include <atomic>
#include <vector>

#include "engine/search_state.h"

namespace tarsel {

struct ScanTable {
    int* entries;
    std::atomic<int>* count;
    int capacity;
    ScanRun* runs = nullptr;  // by chunk: each unit records its run there, when given
    // When given, rewrites the occurrences a unit found in its chunk (all of them, in order)
    // into the entries it stores, still ascending; the capacity applies to what it keeps.
    void (*keep)(const SearchState& state, int chunk, std::vector<int>& found) = nullptr;
};

// Scans chunk c. Returns false when the table overflowed (the caller then stores its
// capacity code); otherwise every occurrence ending in chunk c has been stored once.
bool ScanChunk(SearchState& state, int c, const ScanTable& table);

// Sorts the first count entries of a table the scan units filled. Each unit appends an
// ascending run, so ordering by chunk first leaves little to sort. With the runs the units
// of chunks 0..chunks-1 recorded (cleared before they ran), the runs are only put in chunk
// order: every occurrence a unit finds begins after those the units of earlier chunks find.
// room, when given, holds kSortRoom entries to sort in; else a buffer of the thread's is used.
void SortScanTable(int* entries, int count, const ScanRun* runs = nullptr, int chunks = 0,
                   int* room = nullptr);

}  // namespace tarsel
