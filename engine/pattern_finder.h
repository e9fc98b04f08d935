// Finding every occurrence of a byte pattern in a text, overlapping ones included.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarsel {

// Appends base + position of every occurrence of pattern in text to out, in ascending
// order, until out holds limit entries (so a caller that can store no more stops early).
// The pattern must not be empty.
void FindAllOccurrences(std::string_view text, std::string_view pattern, std::int64_t base,
                        std::vector<int>& out, std::size_t limit);

}  // namespace tarsel
