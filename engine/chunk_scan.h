// The scan unit shared by mail counting and the string search: every occurrence of
// g_pattern whose last byte lies in one chunk, appended to a shared table of fixed capacity.
#pragma once

#include <atomic>

namespace tarsel {

struct ScanTable {
    int* entries;
    std::atomic<int>* count;
    int capacity;
};

// Scans chunk c. Returns false when the table overflowed (the caller then stores its
// capacity code); otherwise every occurrence ending in chunk c has been stored once.
bool ScanChunk(int c, const ScanTable& table);

// Sorts the first count entries of a table the scan units filled. Each unit appends an
// ascending run, so ordering by chunk first leaves little to sort.
void SortScanTable(int* entries, int count);

}  // namespace tarsel
