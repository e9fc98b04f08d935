// The loaded file mapped read-only into memory, so that loading a chunk costs no copy. A
// page that the file no longer backs (it shrank after it was mapped) reads as blanks instead
// of ending the process.
#pragma once

#include <cstdint>

namespace tarsel {

// Maps size bytes of the open file fd in place of the previous mapping; nullptr when the
// file cannot be mapped (the caller then reads it) or when mapping is off in this build.
const char* MapLoadFile(int fd, std::uint64_t size);
// Ends the current mapping; the chunks that showed it must have been refilled or forgotten.
void UnmapLoadFile();

}  // namespace tarsel
