// Finding occurrences of a byte pattern in a text. Both searches take time linear in the text
// for long patterns too, so a hostile search string cannot stall a phase or the mail pane.
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

// Position of the first occurrence of pattern in text, or std::string_view::npos.
std::size_t FindFirstOccurrence(std::string_view text, std::string_view pattern);

// Patterns longer than this are matched with a prefix table instead of being compared in
// full at every candidate position.
inline constexpr std::size_t kLongPattern = 64;

}  // namespace tarsel
