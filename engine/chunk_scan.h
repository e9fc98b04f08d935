// The scan unit shared by mail counting and the string search: every occurrence of
// g_pattern whose last byte lies in one chunk, appended to a shared table of fixed capacity.
#pragma once

#include <atomic>

namespace tarsel {

struct ScanTable {
    int* entries;
    std::atomic<int>* count;
    int capacity;
    int overflowCode;  // state code stored when the table overflows
};

// Scans chunk c. Returns false when the table overflowed (the caller's state then takes
// table.overflowCode); otherwise every occurrence ending in chunk c has been stored once.
bool ScanChunk(int c, const ScanTable& table);

}  // namespace tarsel
