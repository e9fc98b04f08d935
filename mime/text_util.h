// Small byte-string helpers of the MIME scanner: ASCII case folding, trimming, finding.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarsel::mime {

inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Eight bytes with those of A-Z in lower case: a byte's low seven bits at or above 'A' and not
// above 'Z' carry into its top bit, which then marks an ASCII capital.
inline std::uint64_t LowerAsciiEight(std::uint64_t bytes) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    const std::uint64_t low = bytes & (0x7F * kOnes);
    const std::uint64_t capitals =
        (low + (0x80 - 'A') * kOnes) & ~(low + (0x80 - 'Z' - 1) * kOnes) & ~bytes & (0x80 * kOnes);
    return bytes | (capitals >> 2);
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    // Eight bytes at a step: header names share long beginnings ("Content-").
    std::size_t i = 0;
    for (; a.size() - i >= 8; i += 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y && LowerAsciiEight(x) != LowerAsciiEight(y)) {
            return false;
        }
    }
    for (; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The value of a hexadecimal digit of either case, -1 for any other character.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = LowerAscii(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Position of needle in text at or after from, or npos. Short needles are looked for by
// their first and last byte sixteen positions at a time; long ones with glibc's memmem.
std::size_t FindBytes(std::string_view text, std::string_view needle, std::size_t from = 0);

// True when a byte of text is 0x80 or above.
bool HasEightBitByte(std::string_view text);

// Occurrences of needle in text, overlapping ones included. needle must not be empty.
inline std::size_t CountOccurrences(std::string_view text, std::string_view needle) {
    std::size_t count = 0;
    for (std::size_t at = FindBytes(text, needle); at != std::string_view::npos;
         at = FindBytes(text, needle, at + 1)) {
        ++count;
    }
    return count;
}

// Decoded text shows a NUL as a blank (as the file's own text is shown), so that nothing
// downstream takes it for the end of the text.
inline void BlankNuls(std::string& text, std::size_t from = 0) {
    // Looked for first: text seldom holds one, and memchr passes over it many bytes at a step.
    if (from < text.size() &&
        std::memchr(text.data() + from, '\0', text.size() - from) != nullptr) {
        std::replace(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), '\0', ' ');
    }
}

}  // namespace tarsel::mime
