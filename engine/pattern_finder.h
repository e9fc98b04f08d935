// Finding occurrences of a byte pattern in a text. Both searches take time linear in the text
// for long patterns too, so a hostile search string cannot stall a phase or the mail pane.
#pragma once

#include <cstdint>
#include <cstring>
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

// Whether the bytes between the first and the last byte of pattern agree with those of the
// candidate at at (where the first byte stands). A short middle (a search string of a few
// Japanese characters) is compared in place: a library call would cost more than the
// comparison, for each of the many candidates a scan meets.
inline bool MiddleAgrees(const char* at, std::string_view pattern) {
    constexpr std::size_t kShortMiddle = 16;
    const std::size_t m = pattern.size();
    if (m <= kShortMiddle + 2) {
        for (std::size_t k = 1; k + 1 < m; ++k) {
            if (at[k] != pattern[k]) {
                return false;
            }
        }
        return true;
    }
    return std::memcmp(at + 1, pattern.data() + 1, m - 2) == 0;
}

// How far ahead of the place it looks at a scan asks for the bytes it will look at next: the
// processor's own prefetch stops at each 4 KB page, and this request runs on ahead of it.
inline constexpr std::size_t kPrefetchAhead = 2048;

// Patterns longer than this are matched with a prefix table instead of being compared in
// full at every candidate position.
inline constexpr std::size_t kLongPattern = 64;

}  // namespace tarsel
