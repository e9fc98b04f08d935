// Occurrences found by a load unit while its chunk is still in the cache: the mail marks, and
// the search string when the load is part of a search. The count and search units take them
// instead of reading the chunk from memory again, so a first search reads each byte once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarsel {

// Main thread, before the load units start: what they look for besides the marks (nothing
// when empty).
void BeginPrescan(std::string searchPattern);
// Load unit c, on the bytes it has just read for chunk c: the occurrences of the mark and of
// the search string that lie wholly inside them. False when the bytes hold a NUL byte; the
// unit then blanks the NULs and calls again.
bool PrescanChunk(int c, std::string_view bytes);
// Scan unit c: appends the occurrences of pattern wholly inside chunk c, as the load found
// them, until out holds limit entries, and forgets them. False when the load did not find
// them for the chunk as it now stands; the caller then scans the chunk itself.
bool TakePrescanned(int c, std::string_view pattern, std::vector<int>& out, std::size_t limit);

}  // namespace tarsel
